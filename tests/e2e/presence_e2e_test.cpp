// The presence monitor and the event listener end to end: the real hidraw backend against
// orvane-simkbd over FUSE, with the monitor's own waits (100 ms probes, 1 s scans). Hotplug is
// driven through the server's control channel; open file descriptors on its device tree show
// which collections stay open.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "device/presence.h"
#include "tests/support/doubles.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_memory.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

using Call = RecordingMainWindowLink::Call;
using Kind = RecordingMainWindowLink::Kind;
using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 8000;  // only a hang or a missing message runs into this

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool IsSend(const Call& c, uint32_t message) { return c.kind == Kind::Send && c.message == message; }
bool IsTray(const Call& c, int icon) {
  return c.kind == Kind::SetTrayState && c.message == static_cast<uint32_t>(icon);
}

// How many of this process's file descriptors point at each file under root.
std::map<std::string, int> OpenFilesUnder(const std::string& root) {
  std::map<std::string, int> counts;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return counts;
  while (dirent* e = readdir(dir)) {
    char target[4096];
    const std::string link = std::string("/proc/self/fd/") + e->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    const std::string path(target, static_cast<size_t>(n));
    if (path.rfind(root + "/", 0) == 0) ++counts[path.substr(root.size() + 1)];
  }
  closedir(dir);
  return counts;
}

class PresenceE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVANE_SKIP_WITHOUT_FUSE();
  }
  void TearDown() override { monitor_.reset(); }

  void StartServer(const std::vector<std::string>& args = {}) {
    std::string error;
    ASSERT_TRUE(sim_.Start(args, &error)) << error;
    backend_ = std::make_unique<HidrawBackend>(sim_.SysRoot(), sim_.DevRoot());
    monitor_ = std::make_unique<CPresenceMonitor>(proto_, link_, prompt_, texts_, backend_.get());
    CPresenceMonitor::KeyboardValueSinks sinks;
    sinks.set_default_key_block = [this](std::span<const uint8_t, kKeyBlockBytes> b) {
      std::lock_guard lock(mutex_);
      default_blocks_.emplace_back(b.begin(), b.end());
    };
    sinks.set_macro_capacity = [this](size_t bytes) {
      std::lock_guard lock(mutex_);
      capacities_.push_back(bytes);
    };
    monitor_->SetKeyboardValueSinks(std::move(sinks));
  }

  bool WaitForCall(const std::function<bool(const Call&)>& pred) {
    return link_.WaitFor(pred, kWaitMs);
  }
  static bool Eventually(const std::function<bool()>& cond) { return PollUntil(cond, kWaitMs, 5); }
  size_t CountCalls(const std::function<bool(const Call&)>& pred) const {
    const auto calls = link_.Calls();
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), pred));
  }
  bool WaitConnected() {
    return WaitForCall([](const Call& c) { return IsTray(c, kTrayIconPresent); }) &&
           Eventually([&] { return monitor_->ConnectionState() == 1; });
  }
  int OpenCount(const std::string& node) { return OpenFilesUnder(sim_.DevRoot())[node]; }
  int OpenTotal() {
    int n = 0;
    for (const auto& [name, count] : OpenFilesUnder(sim_.DevRoot())) n += count;
    return n;
  }

  // Declared first so everything that uses the server goes before it.
  SimKbdProcess sim_;
  std::unique_ptr<HidrawBackend> backend_;
  CDeviceProtocol proto_;
  RecordingMainWindowLink link_;
  ScriptedPrompt prompt_;
  MapTextSource texts_;
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> default_blocks_;
  std::vector<size_t> capacities_;
  std::unique_ptr<CPresenceMonitor> monitor_;
};

TEST_F(PresenceE2e, ConnectsOnTheVendorCollectionAndOpensTheWindowOnce) {
  StartServer();
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitForCall([](const Call& c) { return c.kind == Kind::Post; }));
  // A few probes later nothing more has been said: the first pass's repeated report of the
  // same state did nothing.
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  const auto calls = link_.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(IsSend(calls[0], WM_MAIN_PROFILE));
  EXPECT_EQ(calls[0].wparam, kCheckWordProfile);
  EXPECT_TRUE(IsTray(calls[1], kTrayIconPresent));
  EXPECT_EQ(calls[2].message, WM_MAIN_SHOW);
  EXPECT_EQ(calls[2].wparam, kCheckWordOpen);
  EXPECT_TRUE(monitor_->StartSilent());
  EXPECT_TRUE(proto_.IsOpen());
  EXPECT_NE(monitor_->CommandChannel().DevicePath().find("col02"), std::string::npos);
  {
    std::lock_guard lock(mutex_);
    ASSERT_EQ(default_blocks_.size(), 1u);
    EXPECT_TRUE(std::equal(default_blocks_[0].begin(), default_blocks_[0].end(),
                           kSimFactoryKeyBlock.begin()));
    ASSERT_EQ(capacities_.size(), 1u);
    EXPECT_EQ(capacities_[0], 8192u);
  }
  // The boot keyboard and the consumer-control collection were opened, rejected and closed:
  // only the command channel holds a node.
  EXPECT_EQ(OpenCount("hidraw0"), 0);
  EXPECT_EQ(OpenCount("hidraw1"), 1);
  // And it works as the command channel.
  DeviceSettings settings;
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultOk);
}

TEST_F(PresenceE2e, UnplugAndReplug) {
  StartServer();
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitForCall([](const Call& c) { return c.kind == Kind::Post; }));
  ASSERT_TRUE(Eventually([&] { return OpenCount("hidraw1") == 2; }));  // both channels
  link_.Clear();

  auto start = Clock::now();
  ASSERT_EQ(sim_.Control("unplug"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconProgram); }));
  const long long lost_ms = MsSince(start);
  auto calls = link_.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(IsSend(calls[0], WM_MAIN_DEVICELOST));
  EXPECT_EQ(calls[1].kind, Kind::Hide);
  EXPECT_TRUE(Eventually([&] { return monitor_->ConnectionState() == 0; }));
  EXPECT_FALSE(proto_.IsOpen());
  // Both channels let go of the vanished node.
  EXPECT_TRUE(Eventually([&] { return OpenTotal() == 0; }));

  link_.Clear();
  start = Clock::now();
  ASSERT_EQ(sim_.Control("plug"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }));
  const long long back_ms = MsSince(start);
  ASSERT_TRUE(WaitConnected());
  EXPECT_TRUE(proto_.IsOpen());
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::Post; }), 0u);
  std::printf("unplug noticed after %lld ms, replug after %lld ms\n", lost_ms, back_ms);
}

TEST_F(PresenceE2e, QuickReplugLeavesAWorkingChannel) {
  StartServer();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitConnected());
  ASSERT_TRUE(Eventually([&] { return OpenCount("hidraw1") == 2; }));
  link_.Clear();
  // Back at once: the probe may never see the node missing.
  ASSERT_EQ(sim_.Control("unplug"), "ok");
  ASSERT_EQ(sim_.Control("plug"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }));
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }));
  ASSERT_TRUE(Eventually([&] { return monitor_->ConnectionState() == 1 && proto_.IsOpen(); }));
  DeviceSettings settings;
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultOk);
  EXPECT_TRUE(Eventually([&] { return OpenCount("hidraw1") == 2; }));
}

// The same quick replug with the presence monitor alone: the node's identity (its sysfs device
// is a new one) tells the loss, once, and the keyboard arrives once.
TEST_F(PresenceE2e, QuickReplugIsOneLossAndOneArrivalByTheNodesIdentity) {
  StartServer();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitConnected());
  link_.Clear();
  ASSERT_EQ(sim_.Control("unplug"), "ok");
  ASSERT_EQ(sim_.Control("plug"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }));
  ASSERT_TRUE(Eventually([&] { return monitor_->ConnectionState() == 1 && proto_.IsOpen(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // several probes more
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }), 1u);
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }), 1u);
  DeviceSettings settings;
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultOk);
}

TEST_F(PresenceE2e, StartedSilentNeverOpensTheWindow) {
  StartServer();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitConnected());
  ASSERT_EQ(sim_.Control("unplug"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }));
  ASSERT_EQ(sim_.Control("plug"), "ok");
  ASSERT_TRUE(Eventually(
      [&] { return CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }) == 2; }));
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::Post; }), 0u);
}

TEST_F(PresenceE2e, NothingAtStartSetsStartSilent) {
  StartServer({"--unplugged"});
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(Eventually([&] { return monitor_->StartSilent(); }));
  EXPECT_TRUE(link_.Calls().empty());
  EXPECT_EQ(monitor_->ConnectionState(), 0);

  ASSERT_EQ(sim_.Control("plug"), "ok");
  ASSERT_TRUE(WaitConnected());
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::Post; }), 0u);
}

TEST_F(PresenceE2e, ConsumerEventsReachTheWindow) {
  StartServer();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitConnected());
  ASSERT_TRUE(Eventually([&] { return OpenCount("hidraw1") == 2; }));
  link_.Clear();

  ASSERT_EQ(sim_.Control("event 0x0401"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) {
    return c.kind == Kind::SetTimer && c.message == static_cast<uint32_t>(kTimerLightingReread) &&
           c.wparam == 0;
  }));
  ASSERT_EQ(sim_.Control("event 0x1811"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconSpecial); }));
  ASSERT_EQ(sim_.Control("event 0x1810"), "ok");
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconPresent); }));
  EXPECT_EQ(link_.TrayState(), kTrayIconPresent);
  // Commands on the command channel do not disturb the listener, nor it them.
  DeviceSettings settings;
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultOk);
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::SetTimer; }), 1u);
}

TEST_F(PresenceE2e, StopReturnsWhileTheListenerWaits) {
  StartServer();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitConnected());
  ASSERT_TRUE(Eventually([&] { return OpenCount("hidraw1") == 2; }));
  const auto start = Clock::now();
  monitor_->Stop();
  EXPECT_LT(MsSince(start), 5000);
  EXPECT_EQ(OpenTotal(), 0);
  EXPECT_FALSE(proto_.IsOpen());
}

}  // namespace
}  // namespace orvane
