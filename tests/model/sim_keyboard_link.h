// The configuration state one program run owns (the two instances and the keyboard facts), and a
// simulated keyboard on the in-process backend with an open command channel and protocol that
// fills the keyboard facts (default key block, macro capacity) as the presence monitor does. Used
// by the apply and profile store tests; each test gets its own of both.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "model/config_context.h"
#include "model/device_image.h"
#include "sim/sim_backend.h"

namespace orvane::testing_support {

inline CDeviceProtocol::Timing FastTiming() {
  CDeviceProtocol::Timing t;
  t.write_timeout_ms = 500;
  t.read_timeout_ms = 40;
  t.end_access_pause_ms = 0;
  t.busy_wait_ms = 300;
  return t;
}

struct ConfigState {
  ProfileInstance editing;
  ProfileInstance applied;
  KeyboardFacts keyboard;
  ConfigContext Context() { return {editing, applied, keyboard}; }
};

class SimKeyboardLink {
 public:
  explicit SimKeyboardLink(KeyboardFacts& keyboard, SimMemory memory = SimMemory::Factory())
      : keyboard_(keyboard), backend_(std::move(memory)) {}

  // Opens the vendor collection and reads the default block and capacity; false on failure.
  bool Connect() {
    if (!channel_.Enumerate()) return false;
    while (auto path = channel_.NextPath()) {
      if (!channel_.Open(*path, true, true, true, false)) continue;
      if (channel_.Caps().usage_page == 0xFF1C && channel_.Caps().usage == 0x92) break;
      channel_.Close();
    }
    channel_.FreePaths();
    if (!channel_.IsOpen()) return false;
    proto_.SetOpen(true);
    std::array<uint8_t, kKeyBlockBytes> block{};
    if (proto_.ReadDefaultKeyBlock(block) != kResultOk) return false;
    keyboard_.SetDefaultKeyBlock(block);
    DeviceSettings settings;
    if (proto_.ReadSettings(&settings) != kResultOk) return false;
    keyboard_.SetMacroCapacity(settings.MacroCapacityBytes());
    proto_.ClearProfileCache();
    return true;
  }

  CDeviceProtocol& Proto() { return proto_; }
  CSimKeyboard& Keyboard() { return backend_.Keyboard(); }
  size_t Requests() { return backend_.Keyboard().RequestCount(); }
  // Commands of the requests received since `from` (a RequestCount taken earlier).
  std::vector<uint8_t> CommandsSince(size_t from) {
    const auto all = Keyboard().Requests();
    const size_t total = Keyboard().RequestCount();
    std::vector<uint8_t> out;
    const size_t fresh = total - from;
    for (size_t i = all.size() - std::min(all.size(), fresh); i < all.size(); ++i)
      out.push_back(all[i][3]);
    return out;
  }

 private:
  KeyboardFacts& keyboard_;
  SimHidBackend backend_;
  CHidDevice channel_{&backend_};
  CDeviceProtocol proto_{&channel_, FastTiming()};
};

}  // namespace orvane::testing_support
