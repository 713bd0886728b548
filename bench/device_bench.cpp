// Device link throughput. The FUSE cases start orvane-simkbd once and share it; they are skipped
// where FUSE cannot be used.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/keyboard_link.h"
#include "device/hid_device.h"
#include "device/protocol.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_backend.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

void Transactions(benchmark::State& state, bench::KeyboardLink& link) {
  if (!link.Ready()) {
    state.SkipWithError(link.error.c_str());
    return;
  }
  const DeviceReport req = DeviceReport::Request(kCmdTestCommand, 0, 0);
  DeviceReport reply;
  for (auto _ : state) {
    if (link.proto->Transact(req.bytes.data(), 64, reply.bytes.data(), 64) != kResultOk) {
      state.SkipWithError("transaction failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_TransactInProcess(benchmark::State& state) { Transactions(state, bench::InProcessKeyboard()); }
void BM_TransactFuse(benchmark::State& state) { Transactions(state, bench::FuseKeyboard()); }

// The same exchange without CHidDevice and the protocol: write, poll, read on the node itself.
void BM_RawWriteReadFuse(benchmark::State& state) {
  bench::KeyboardLink& link = bench::FuseKeyboard();
  if (!link.Ready()) {
    state.SkipWithError(link.error.c_str());
    return;
  }
  const int fd = open((link.process->DevRoot() + "/hidraw1").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    state.SkipWithError("cannot open the node");
    return;
  }
  const DeviceReport req = DeviceReport::Request(kCmdTestCommand, 0, 0);
  uint8_t buf[64];
  for (auto _ : state) {
    pollfd pfd{fd, POLLIN, 0};
    if (write(fd, req.bytes.data(), 64) != 64 || poll(&pfd, 1, 1000) != 1 ||
        read(fd, buf, sizeof(buf)) != 64) {
      state.SkipWithError("raw exchange failed");
      break;
    }
  }
  close(fd);
  state.SetItemsProcessed(state.iterations());
}

// The two above interleaved on the same node in one run, in short rounds, so a change in the
// machine's load hits both alike: counters "ratio" (median round of transactions over median
// round of raw exchanges) and "best_ratio" (fastest round over fastest round).
void BM_TransactVersusRawFuse(benchmark::State& state) {
  bench::KeyboardLink& link = bench::FuseKeyboard();
  if (!link.Ready()) {
    state.SkipWithError(link.error.c_str());
    return;
  }
  const int fd = open((link.process->DevRoot() + "/hidraw1").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    state.SkipWithError("cannot open the node");
    return;
  }
  using Clock = std::chrono::steady_clock;
  constexpr int kRound = 25;
  const DeviceReport req = DeviceReport::Request(kCmdTestCommand, 0, 0);
  DeviceReport reply;
  uint8_t buf[64];
  std::vector<double> raw, transact;
  auto drain_raw = [&] {
    pollfd pfd{fd, POLLIN, 0};
    while (poll(&pfd, 1, 0) == 1 && read(fd, buf, sizeof(buf)) > 0) {
    }
  };
  for (auto _ : state) {
    // Each open gets every reply: the other side's replies are thrown away outside the timing.
    drain_raw();
    auto t0 = Clock::now();
    for (int i = 0; i < kRound; ++i) {
      pollfd pfd{fd, POLLIN, 0};
      if (write(fd, req.bytes.data(), 64) != 64 || poll(&pfd, 1, 1000) != 1 ||
          read(fd, buf, sizeof(buf)) != 64) {
        state.SkipWithError("raw exchange failed");
        close(fd);
        return;
      }
    }
    raw.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    link.channel->DrainInput();
    t0 = Clock::now();
    {
      // As the program sends a sequence: one turn at the keyboard for the whole round.
      CDeviceProtocol::Exchange exchange(*link.proto);
      for (int i = 0; i < kRound; ++i) {
        if (link.proto->Transact(req.bytes.data(), 64, reply.bytes.data(), 64) != kResultOk) {
          state.SkipWithError("transaction failed");
          close(fd);
          return;
        }
      }
    }
    transact.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
  }
  close(fd);
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  state.counters["raw_us"] = median(raw) * 1e6 / kRound;
  state.counters["transact_us"] = median(transact) * 1e6 / kRound;
  state.counters["ratio"] = median(transact) / median(raw);
  state.counters["best_ratio"] = *std::min_element(transact.begin(), transact.end()) /
                                 *std::min_element(raw.begin(), raw.end());
  state.SetItemsProcessed(state.iterations() * kRound * 2);
}

void KeyBlockWrite(benchmark::State& state, bench::KeyboardLink& link) {
  if (!link.Ready()) {
    state.SkipWithError(link.error.c_str());
    return;
  }
  std::array<uint8_t, kKeyBlockBytes> block{};
  block.fill(0x21);
  for (auto _ : state) {
    if (link.proto->WriteKeyBlock(block, 1) != kResultOk) {
      state.SkipWithError("key block write failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kKeyBlockBytes));
}

void BM_WriteKeyBlockInProcess(benchmark::State& state) { KeyBlockWrite(state, bench::InProcessKeyboard()); }
void BM_WriteKeyBlockFuse(benchmark::State& state) { KeyBlockWrite(state, bench::FuseKeyboard()); }

void MacroAreaWrite(benchmark::State& state, bench::KeyboardLink& link) {
  if (!link.Ready() || !link.MaximiseMacroArea()) {
    state.SkipWithError(link.error.empty() ? "keyboard not ready" : link.error.c_str());
    return;
  }
  std::vector<uint8_t> area(255 * 128);
  for (size_t i = 0; i < area.size(); ++i) area[i] = static_cast<uint8_t>(i);
  for (auto _ : state) {
    if (link.proto->WriteMacroArea(area) != kResultOk) {
      state.SkipWithError("macro area write failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(area.size()));
}

void BM_WriteFullMacroAreaInProcess(benchmark::State& state) { MacroAreaWrite(state, bench::InProcessKeyboard()); }
void BM_WriteFullMacroAreaFuse(benchmark::State& state) { MacroAreaWrite(state, bench::FuseKeyboard()); }

BENCHMARK(BM_TransactInProcess);
BENCHMARK(BM_TransactFuse)->UseRealTime();
BENCHMARK(BM_RawWriteReadFuse)->UseRealTime();
BENCHMARK(BM_TransactVersusRawFuse)->UseRealTime()->Iterations(400);
BENCHMARK(BM_WriteKeyBlockInProcess);
BENCHMARK(BM_WriteKeyBlockFuse)->UseRealTime();
BENCHMARK(BM_WriteFullMacroAreaInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFullMacroAreaFuse)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane
