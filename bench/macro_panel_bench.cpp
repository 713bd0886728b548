// Recording into the macro panel, on the offscreen platform with the generated skin: the cost of
// one recorded row (the row inserted, its neighbour's pause updated, the meter recomputed and the
// list repainted) with 0 to 1,999 rows already in the macro. The figures should stay flat: no
// step may touch the whole list per row.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <array>
#include <memory>

#include "model/device_image.h"
#include "model/key_table.h"
#include "store/language.h"
#include "store/settings.h"
#include "tests/support/doubles.h"
#include "ui/controls/report_list.h"
#include "ui/editors/macro_panel.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/skin_layout.h"

namespace {

using namespace orvane;

const std::string kData = ORVANE_DATA_DIR;
const std::string kSkins = kData + "/Skins";

class BenchHost : public IMacroPanelHost {
 public:
  BenchHost()
      : languages_(nullptr, kData, [] { return uint16_t(0x0409); }),
        texts_(languages_),
        settings_(nullptr, "/tmp"),
        dialog_(ids::templates::kComposite, nullptr,
                kSkins + "/" + layout::LayoutFileName(layout::SkinDialog::Composite), kSkins) {
    ProfileConfig config;
    config.image = std::make_unique<ProfileImage>();
    MacroRecord m{};
    SetMacroName(m, std::u16string_view(u"bench"));
    m.id = 1;
    m.cycles = 1;
    config.macros.push_back(m);
    editing_.Replace(std::move(config));
    dialog_.OnInitDialog();
    const QSize client = dialog_.background().size();
    const layout::FaceFiles faces = layout::FaceFilesOf(layout::Faces::CompositeMacro);
    for (size_t i = 0; i < faces.size(); ++i)
      pictures_[i] = RenderSkinImage(LoadImageFile(kSkins + "/" + std::string(faces[i])), client);
    set_ = {&pictures_[0], &pictures_[1], &pictures_[2], &pictures_[3], &pictures_[4]};
  }
  CBaseDialog& Dialog() override { return dialog_; }
  const SkinPictures& MacroPictures() const override { return set_; }
  ProfileInstance& Editing() override { return editing_; }
  const ITextSource& Texts() const override { return texts_; }
  const LanguageFiles& Languages() const override { return languages_; }
  AppSettings& Settings() override { return settings_; }
  IPrompt& Prompt() override { return prompt_; }
  void SetChanged() override {}

 private:
  LanguageFiles languages_;
  LanguageTextSource texts_;
  AppSettings settings_;
  ScriptedPrompt prompt_;
  ProfileInstance editing_;
  CBaseDialog dialog_;
  std::array<QPixmap, 5> pictures_;
  SkinPictures set_;
};

void BM_RecordRow(benchmark::State& state) {
  BenchHost host;
  KeyboardFacts keyboard;
  keyboard.SetMacroCapacity(65536);
  uint64_t now = 1000;
  CMacroPanel panel(host, keyboard, [&now] { return now; });
  panel.Create();
  panel.LoadMacroList();
  panel.ShowPanel(true, true, 1);
  panel.SetPanelVisible(true);
  host.Dialog().show();
  panel.ToggleRecording();
  const uint32_t a = KeyFlagsOfScanCode(0x1E);
  const uint32_t a_up = a | kKeyFlagPreviousState | kKeyFlagTransition;
  // The rows already there, recorded the same way.
  for (int i = 0; i < state.range(0); ++i) panel.RecordKeyMessage('A', i % 2 ? a_up : a, now += 7);
  QCoreApplication::processEvents();
  CReportList* list = panel.actionList();
  const int last = int(state.range(0));
  for (auto _ : state) {
    panel.RecordKeyMessage('A', last % 2 ? a_up : a, now += 7);
    QCoreApplication::processEvents();  // the list paints what changed
    state.PauseTiming();
    // Take the row out again, so every round appends the same row to the same list.
    list->SelectRow(last);
    host.Dialog().DispatchCommand(ids::composite::kActionDelete);
    if (last > 0) list->SelectRow(last - 1);
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["rows"] = double(list->RowCount());
}
BENCHMARK(BM_RecordRow)->Arg(0)->Arg(500)->Arg(1000)->Arg(1999)->ArgName("rows_before")->Unit(benchmark::kMicrosecond);

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
