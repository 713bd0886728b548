// Device link throughput. The FUSE cases start orvane-simkbd once and share it; they are skipped
// where FUSE cannot be used.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_backend.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

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

// One keyboard with its channel and protocol, in-process or over FUSE.
struct Link {
  std::unique_ptr<SimHidBackend> sim;
  std::unique_ptr<SimKbdProcess> process;
  std::unique_ptr<HidrawBackend> hidraw;
  std::unique_ptr<CHidDevice> channel;
  std::unique_ptr<CDeviceProtocol> proto;
  std::string error;

  bool Ready() const { return proto != nullptr; }

  // The largest macro area a keyboard can have: 255 x 128 bytes.
  bool MaximiseMacroArea() {
    DeviceSettings s;
    if (proto->ReadSettings(&s) != kResultOk) return false;
    s.bytes[DeviceSettings::kCapacityByte] = 255;
    return proto->WriteSettings(s) == kResultOk;
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

void Transactions(benchmark::State& state, Link& link) {
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

void BM_TransactInProcess(benchmark::State& state) { Transactions(state, InProcess()); }
void BM_TransactFuse(benchmark::State& state) { Transactions(state, OverFuse()); }

// The same exchange without CHidDevice and the protocol: write, poll, read on the node itself.
void BM_RawWriteReadFuse(benchmark::State& state) {
  Link& link = OverFuse();
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

void KeyBlockWrite(benchmark::State& state, Link& link) {
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

void BM_WriteKeyBlockInProcess(benchmark::State& state) { KeyBlockWrite(state, InProcess()); }
void BM_WriteKeyBlockFuse(benchmark::State& state) { KeyBlockWrite(state, OverFuse()); }

void MacroAreaWrite(benchmark::State& state, Link& link) {
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

void BM_WriteFullMacroAreaInProcess(benchmark::State& state) { MacroAreaWrite(state, InProcess()); }
void BM_WriteFullMacroAreaFuse(benchmark::State& state) { MacroAreaWrite(state, OverFuse()); }

BENCHMARK(BM_TransactInProcess);
BENCHMARK(BM_TransactFuse)->UseRealTime();
BENCHMARK(BM_RawWriteReadFuse)->UseRealTime();
BENCHMARK(BM_WriteKeyBlockInProcess);
BENCHMARK(BM_WriteKeyBlockFuse)->UseRealTime();
BENCHMARK(BM_WriteFullMacroAreaInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFullMacroAreaFuse)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane
