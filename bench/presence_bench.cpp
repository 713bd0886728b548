// The presence monitor's running costs with its real waits (100 ms probes while the keyboard is
// there, 1 s scans while it is not): CPU time the process spends per second of idling, and the
// time from unplugging or replugging the keyboard to the main window hearing of it. The FUSE
// cases run the real hidraw backend against orvane-simkbd (the server's own CPU time is not
// counted) and are skipped where FUSE cannot be used.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "device/presence.h"
#include "tests/support/doubles.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_backend.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;
using Call = RecordingMainWindowLink::Call;
using Kind = RecordingMainWindowLink::Kind;

constexpr int kIdleSeconds = 3;
constexpr int kWaitMs = 10000;

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A keyboard that can be plugged and unplugged, with a running monitor watching it.
struct Rig {
  std::unique_ptr<SimHidBackend> sim;
  std::unique_ptr<SimKbdProcess> process;
  std::unique_ptr<HidrawBackend> hidraw;
  CDeviceProtocol proto;
  RecordingMainWindowLink link;
  ScriptedPrompt prompt;
  MapTextSource texts;
  std::unique_ptr<CPresenceMonitor> monitor;
  std::string error;

  static std::unique_ptr<Rig> Make(bool fuse) {
    auto rig = std::make_unique<Rig>();
    IHidBackend* backend = nullptr;
    if (fuse) {
      if (!FuseUsable(&rig->error)) return rig;
      rig->process = std::make_unique<SimKbdProcess>();
      if (!rig->process->Start({}, &rig->error)) return rig;
      rig->hidraw =
          std::make_unique<HidrawBackend>(rig->process->SysRoot(), rig->process->DevRoot());
      backend = rig->hidraw.get();
    } else {
      rig->sim = std::make_unique<SimHidBackend>();
      backend = rig->sim.get();
    }
    rig->monitor = std::make_unique<CPresenceMonitor>(rig->proto, rig->link, rig->prompt,
                                                      rig->texts, backend);
    rig->monitor->SetStartSilent(true);
    if (!rig->monitor->Start()) rig->error = "threads would not start";
    return rig;
  }
  ~Rig() { monitor.reset(); }

  bool Ready() const { return monitor != nullptr && error.empty(); }
  void SetPlugged(bool plugged) {
    if (sim) {
      if (plugged) sim->Hub().Plug(); else sim->Hub().Unplug();
    } else {
      process->Control(plugged ? "plug" : "unplug");
    }
  }
  // Waits until the monitor has reported the state: the icon that goes with it, then the state
  // itself (stored just after).
  bool WaitState(int state) {
    const int icon = state ? kTrayIconPresent : kTrayIconProgram;
    if (!link.WaitFor(
            [&](const Call& c) {
              return c.kind == Kind::SetTrayState && c.message == static_cast<uint32_t>(icon);
            },
            kWaitMs)) {
      return false;
    }
    const auto end = Clock::now() + std::chrono::milliseconds(kWaitMs);
    while (monitor->ConnectionState() != state) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
};

void IdleCpu(benchmark::State& state, bool fuse, bool present) {
  auto rig = Rig::Make(fuse);
  if (!rig->Ready()) {
    state.SkipWithError(("no keyboard rig: " + rig->error).c_str());
    return;
  }
  if (!rig->WaitState(1)) {
    state.SkipWithError("keyboard never connected");
    return;
  }
  if (!present) {
    rig->link.Clear();
    rig->SetPlugged(false);
    if (!rig->WaitState(0)) {
      state.SkipWithError("unplug never noticed");
      return;
    }
  }
  // Let the listener settle into its read (or its rescan sleep).
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const double c0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const double w = std::chrono::duration<double>(Clock::now() - t0).count();
    const double c = ProcessCpuSeconds() - c0;
    state.SetIterationTime(w);
    cpu += c;
    wall += w;
  }
  state.counters["cpu_ms_per_s"] = wall > 0 ? cpu * 1000 / wall : 0;
  state.counters["cpu_percent"] = wall > 0 ? cpu * 100 / wall : 0;
}

// unplug: time from unplugging to the icon 128; otherwise from plugging in to the icon 141.
void DetectionLatency(benchmark::State& state, bool fuse, bool unplug) {
  auto rig = Rig::Make(fuse);
  if (!rig->Ready() || !rig->WaitState(1)) {
    state.SkipWithError(("no keyboard rig: " + rig->error).c_str());
    return;
  }
  double worst = 0;
  int round = 0;
  for (auto _ : state) {
    // Start from the other state.
    rig->link.Clear();
    if (rig->monitor->ConnectionState() != (unplug ? 1 : 0)) {
      rig->SetPlugged(unplug);
      if (!rig->WaitState(unplug ? 1 : 0)) {
        state.SkipWithError("could not reach the starting state");
        return;
      }
    }
    // Spread the change over the monitor's wait (100 ms probes, 1 s scans) in eight steps.
    const int step_ms = unplug ? 12 : 125;
    std::this_thread::sleep_for(std::chrono::milliseconds(step_ms * (round++ % 8)));
    rig->link.Clear();
    const auto t0 = Clock::now();
    rig->SetPlugged(!unplug);
    if (!rig->WaitState(unplug ? 0 : 1)) {
      state.SkipWithError("change never noticed");
      return;
    }
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    worst = std::max(worst, s);
    state.SetIterationTime(s);
  }
  state.counters["worst_ms"] = worst * 1000;
}

BENCHMARK_CAPTURE(IdleCpu, in_process_present, false, true)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IdleCpu, in_process_absent, false, false)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IdleCpu, fuse_present, true, true)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IdleCpu, fuse_absent, true, false)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DetectionLatency, in_process_unplug, false, true)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DetectionLatency, in_process_replug, false, false)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DetectionLatency, fuse_unplug, true, true)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DetectionLatency, fuse_replug, true, false)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane
