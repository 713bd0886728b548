// Apply throughput against the simulated keyboard, in-process and over the FUSE node. Each case
// reports "reports" (requests the keyboard received per apply) and "minimum" (what the format
// needs: BeginAccess and EndAccess, one report per 56 bytes of macro area, seven per key block).
// The FUSE cases start orvane-simkbd once and are skipped where FUSE cannot be used.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "model/apply.h"
#include "model/device_image.h"
#include "model/macro.h"
#include "model/profile_file.h"
#include "platform/doubles.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_backend.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

constexpr size_t kFullCapacity = 255 * 128;

bool OpenVendor(CHidDevice& dev) {
  if (!dev.Enumerate()) return false;
  while (auto path = dev.NextPath()) {
    if (!dev.Open(*path, true, true, true, false)) continue;
    if (dev.Caps().usage_page == 0xFF1C && dev.Caps().usage == 0x92) break;
    dev.Close();
  }
  dev.FreePaths();
  return dev.IsOpen();
}

struct Link {
  std::unique_ptr<SimHidBackend> sim;
  std::unique_ptr<SimKbdProcess> process;
  std::unique_ptr<HidrawBackend> hidraw;
  std::unique_ptr<CHidDevice> channel;
  std::unique_ptr<CDeviceProtocol> proto;
  std::string error;

  bool Ready() const { return proto != nullptr; }
  // Requests the keyboard has received so far.
  size_t Requests() {
    if (sim) return sim->Keyboard().RequestCount();
    const std::string status = process->Control("status");
    const size_t at = status.find("requests=");
    return at == std::string::npos ? 0 : std::stoul(status.substr(at + 9));
  }
  // The largest macro area a keyboard can have, on both sides.
  bool MaximiseMacroArea() {
    DeviceSettings s;
    if (proto->ReadSettings(&s) != kResultOk) return false;
    s.bytes[DeviceSettings::kCapacityByte] = 255;
    if (proto->WriteSettings(s) != kResultOk) return false;
    SetMacroCapacity(s.MacroCapacityBytes());
    return true;
  }
};

Link& InProcess() {
  static Link link = [] {
    Link l;
    l.sim = std::make_unique<SimHidBackend>();
    l.channel = std::make_unique<CHidDevice>(l.sim.get());
    if (OpenVendor(*l.channel)) {
      l.proto = std::make_unique<CDeviceProtocol>(l.channel.get());
      l.proto->SetOpen(true);
    }
    return l;
  }();
  return link;
}

Link& OverFuse() {
  static Link link = [] {
    Link l;
    if (!FuseUsable(&l.error)) return l;
    l.process = std::make_unique<SimKbdProcess>();
    if (!l.process->Start({}, &l.error)) return l;
    l.hidraw = std::make_unique<HidrawBackend>(l.process->SysRoot(), l.process->DevRoot());
    l.channel = std::make_unique<CHidDevice>(l.hidraw.get());
    if (!OpenVendor(*l.channel)) {
      l.error = "vendor collection not found";
      return l;
    }
    l.proto = std::make_unique<CDeviceProtocol>(l.channel.get());
    l.proto->SetOpen(true);
    return l;
  }();
  return link;
}

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

void ApplyCase(benchmark::State& state, Link& link, bool all_layers) {
  if (!link.Ready() || !link.MaximiseMacroArea()) {
    state.SkipWithError(link.error.empty() ? "keyboard not ready" : link.error.c_str());
    return;
  }
  EditingInstance().Replace(Configuration(all_layers));
  const MacroAreaSize sizes = MacroAreaSizes(EditingInstance());
  if (all_layers && sizes.withNames != kFullCapacity) {
    state.SkipWithError("the macro area is not at full capacity");
    return;
  }
  ScriptedPrompt prompt;
  MapTextSource texts;
  link.proto->CurrentProfile();  // cached from here on, as in a running program
  const size_t before = link.Requests();
  for (auto _ : state) {
    auto lock = EditingInstance().Acquire();
    if (Apply(all_layers, *link.proto, prompt, texts) != 1) {
      state.SkipWithError("apply failed");
      return;
    }
  }
  const double per_apply = double(link.Requests() - before) / double(state.iterations());
  state.counters["reports"] = per_apply;
  state.counters["minimum"] =
      double(2 + (sizes.withNames + kReportDataBytes - 1) / kReportDataBytes + 7 * (all_layers ? 3 : 1));
  EditingInstance().Discard();
  AppliedInstance().Discard();
}

void BM_ApplyCurrentLayerInProcess(benchmark::State& state) { ApplyCase(state, InProcess(), false); }
void BM_ApplyAllLayersFullMacrosInProcess(benchmark::State& state) { ApplyCase(state, InProcess(), true); }
void BM_ApplyCurrentLayerFuse(benchmark::State& state) { ApplyCase(state, OverFuse(), false); }
void BM_ApplyAllLayersFullMacrosFuse(benchmark::State& state) { ApplyCase(state, OverFuse(), true); }

BENCHMARK(BM_ApplyCurrentLayerInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ApplyAllLayersFullMacrosInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ApplyCurrentLayerFuse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ApplyAllLayersFullMacrosFuse)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane
