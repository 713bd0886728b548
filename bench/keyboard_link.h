// The simulated keyboard with its command channel and protocol, for benchmarks: in-process, or
// over the FUSE node of an orvane-simkbd started once per benchmark program. Where FUSE cannot be
// used the link stays not ready and says why, and the benchmark skips.
#pragma once

#include <memory>
#include <string>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_backend.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane::bench {

struct KeyboardLink {
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

  // The largest macro area a keyboard can have: 255 x 128 bytes.
  bool MaximiseMacroArea() {
    DeviceSettings s;
    if (proto->ReadSettings(&s) != kResultOk) return false;
    s.bytes[DeviceSettings::kCapacityByte] = 255;
    return proto->WriteSettings(s) == kResultOk;
  }
};

inline bool OpenVendorCollection(CHidDevice& dev) {
  if (!dev.Enumerate()) return false;
  while (auto path = dev.NextPath()) {
    if (!dev.Open(*path, true, true, true, false)) continue;
    if (dev.Caps().usage_page == 0xFF1C && dev.Caps().usage == 0x92) break;
    dev.Close();
  }
  dev.FreePaths();
  return dev.IsOpen();
}

inline void OpenProtocol(KeyboardLink& l, IHidBackend* backend) {
  l.channel = std::make_unique<CHidDevice>(backend);
  if (!OpenVendorCollection(*l.channel)) {
    l.error = "vendor collection not found";
    return;
  }
  l.proto = std::make_unique<CDeviceProtocol>(l.channel.get());
  l.proto->SetOpen(true);
}

inline KeyboardLink& InProcessKeyboard() {
  static KeyboardLink link = [] {
    KeyboardLink l;
    l.sim = std::make_unique<SimHidBackend>();
    OpenProtocol(l, l.sim.get());
    return l;
  }();
  return link;
}

inline KeyboardLink& FuseKeyboard() {
  static KeyboardLink link = [] {
    KeyboardLink l;
    if (!FuseUsable(&l.error)) return l;
    l.process = std::make_unique<SimKbdProcess>();
    if (!l.process->Start({}, &l.error)) return l;
    l.hidraw = std::make_unique<HidrawBackend>(l.process->SysRoot(), l.process->DevRoot());
    OpenProtocol(l, l.hidraw.get());
    return l;
  }();
  return link;
}

}  // namespace orvane::bench
