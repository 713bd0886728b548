// Apply throughput against the simulated keyboard, in-process and over the FUSE node. Each case
// reports "reports" (requests the keyboard received per apply) and "minimum" (what the format
// needs: BeginAccess and EndAccess, one report per 56 bytes of macro area, seven per key block).
// The FUSE cases start orvane-simkbd once and are skipped where FUSE cannot be used.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/keyboard_link.h"
#include "device/hid_device.h"
#include "device/protocol.h"
#include "model/apply.h"
#include "model/device_image.h"
#include "model/macro.h"
#include "model/profile_file.h"
#include "tests/support/doubles.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_backend.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

constexpr size_t kFullCapacity = 255 * 128;

// Every configurable key of layers 0-2 reassigned, and (full) eight macros of 1,000 actions with
// 36-character names: 16 + 8 x 2 + 8 x (4 + 4,000 + 72) = 32,640 bytes, the largest area there is.
ProfileConfig Configuration(bool full) {
  ProfileConfig c;
  c.image = NewDefaultImage();
  for (int layer = 0; layer < 3; ++layer)
    for (int i = 1; i < 256; ++i) *c.image->EntryAt(layer, i) = {kActionSingleKey, 0, 0x01E};
  if (full) {
    for (uint16_t id = 1; id <= 8; ++id) {
      MacroRecord m{};
      m.id = id;
      m.cycles = 1;
      SetMacroName(m, std::u16string(36, char16_t(u'a' + id)));
      m.actionCount = 1000;
      for (int i = 0; i < 1000; ++i) m.actions[size_t(i)] = {10, 0x01E, uint16_t(i % 2)};
      c.macros.push_back(m);
    }
  }
  return c;
}

void ApplyCase(benchmark::State& state, bench::KeyboardLink& link, bool all_layers) {
  if (!link.Ready() || !link.MaximiseMacroArea()) {
    state.SkipWithError(link.error.empty() ? "keyboard not ready" : link.error.c_str());
    return;
  }
  ProfileInstance editing;
  ProfileInstance applied;
  KeyboardFacts keyboard;
  const ConfigContext context{editing, applied, keyboard};
  keyboard.SetMacroCapacity(kFullCapacity);  // what the program learns from the settings record
  editing.Replace(Configuration(all_layers));
  const MacroAreaSize sizes = MacroAreaSizes(editing);
  if (all_layers && sizes.withNames != kFullCapacity) {
    state.SkipWithError("the macro area is not at full capacity");
    return;
  }
  ScriptedPrompt prompt;
  MapTextSource texts;
  link.proto->CurrentProfile();  // cached from here on, as in a running program
  const size_t before = link.Requests();
  for (auto _ : state) {
    auto lock = editing.Acquire();
    if (Apply(context, all_layers, *link.proto, prompt, texts) != 1) {
      state.SkipWithError("apply failed");
      return;
    }
  }
  const double per_apply = double(link.Requests() - before) / double(state.iterations());
  state.counters["reports"] = per_apply;
  state.counters["minimum"] =
      double(2 + (sizes.withNames + kReportDataBytes - 1) / kReportDataBytes + 7 * (all_layers ? 3 : 1));
}

void BM_ApplyCurrentLayerInProcess(benchmark::State& state) { ApplyCase(state, bench::InProcessKeyboard(), false); }
void BM_ApplyAllLayersFullMacrosInProcess(benchmark::State& state) { ApplyCase(state, bench::InProcessKeyboard(), true); }
void BM_ApplyCurrentLayerFuse(benchmark::State& state) { ApplyCase(state, bench::FuseKeyboard(), false); }
void BM_ApplyAllLayersFullMacrosFuse(benchmark::State& state) { ApplyCase(state, bench::FuseKeyboard(), true); }

BENCHMARK(BM_ApplyCurrentLayerInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ApplyAllLayersFullMacrosInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ApplyCurrentLayerFuse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ApplyAllLayersFullMacrosFuse)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane
