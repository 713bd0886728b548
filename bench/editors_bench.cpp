// The composite key dialog: from a key's click (the open call the main window's dispatch makes) to
// the dialog shown and painted, on the generated skin and the shipped language files, offscreen.
// The skin, the five picture sets and the controls are prepared ahead (the main window does it
// once it is idle after start-up); that and the first opening after it are counters of their own.
// Target: 50 ms per opening, the first one included.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <ctime>

#include "model/key_table.h"
#include "store/language.h"
#include "store/profile_store.h"
#include "store/settings.h"
#include "tests/support/doubles.h"
#include "ui/editors/composite_dialog.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"

namespace {

using namespace orvane;

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Editor {
  Editor() {
    CreateDefaultProfile(editing, std::string(), true);
    CompositeServices services(editing, languages, texts, prompt, settings);
    const std::string skins = std::string(ORVANE_DATA_DIR) + "/Skins";
    services.ini_path = skins + "/" + layout::LayoutFileName(layout::SkinDialog::Composite);
    services.skin_folder = skins;
    CompositeHost host;
    host.current_profile = [] { return 0; };
    host.button_rect = [](int) { return QRect(300, 300, 40, 40); };
    dialog = std::make_unique<Orvane_DlgComposite>(std::move(services), std::move(host));
  }
  // Opens, lets it paint, and returns the milliseconds that took (and the CPU milliseconds of this
  // thread, which a loaded machine does not inflate); then cancels.
  double OpenOnce(int button, double* cpu_ms = nullptr) {
    QElapsedTimer clock;
    const double cpu_start = ThreadCpuMs();
    clock.start();
    dialog->Open(button);
    QApplication::processEvents();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (cpu_ms != nullptr) *cpu_ms = ThreadCpuMs() - cpu_start;
    dialog->CloseComposite();
    QApplication::processEvents();
    return ms;
  }

  ProfileInstance editing;
  LanguageFiles languages{nullptr, ORVANE_DATA_DIR, [] { return uint16_t(0x0409); }};
  LanguageTextSource texts{languages};
  ScriptedPrompt prompt;
  AppSettings settings{nullptr, "/tmp"};
  std::unique_ptr<Orvane_DlgComposite> dialog;
};

Editor& Shared() {
  static Editor editor;
  return editor;
}

void BM_KeyClickToDialogShown(benchmark::State& state) {
  Editor& e = Shared();
  static const double prepare = [&] {
    QElapsedTimer clock;
    clock.start();
    e.dialog->Prepare();
    return double(clock.nsecsElapsed()) / 1e6;
  }();
  static double first_cpu = 0;
  static const double first = e.OpenOnce(ButtonOfKeyCode(0x01E), &first_cpu);
  const int button = state.range(0) == 0 ? ButtonOfKeyCode(0x03A) : 1143;  // Caps Lock, or G9
  double worst = 0;
  for (auto _ : state) {
    const double ms = e.OpenOnce(button);
    worst = std::max(worst, ms);
    state.SetIterationTime(ms / 1000.0);
  }
  state.counters["prepare_ms"] = prepare;
  state.counters["first_opening_ms"] = first;
  state.counters["first_opening_cpu_ms"] = first_cpu;
  state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_KeyClickToDialogShown)->Arg(0)->Arg(1)->ArgName("macro_editor")->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
