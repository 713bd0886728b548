// The presence monitor and the event listener against the in-process simulated keyboard: path
// matching, connection and loss, the start-silent rules, the connection handler's reads and
// messages, consumer events and the tray icon, and stopping while threads wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/presence.h"
#include "tests/support/doubles.h"
#include "sim/sim_backend.h"

namespace orvane {
namespace {

using Call = RecordingMainWindowLink::Call;
using Kind = RecordingMainWindowLink::Kind;
using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 5000;  // generous: only a hang or a missing call should run into it

// The simulated keyboard plus a device of another vendor, with a log of every open and a count
// of the opens still alive per node.
class CountingBackend : public IHidBackend {
 public:
  static constexpr const char* kForeignNode = "other:/dev/hidraw9";

  struct OpenRecord {
    std::string node;
    bool read;
    bool write;
  };

  std::vector<HidNodeInfo> EnumerateNodes() override {
    std::vector<HidNodeInfo> nodes = sim_.EnumerateNodes();
    HidNodeInfo foreign;
    foreign.node = kForeignNode;
    foreign.vendor_id = 0x046D;
    foreign.product_id = 0xC52B;
    foreign.bus_type = 3;
    foreign.report_descriptor = SimReportDescriptor(kSimVendorNode);
    nodes.insert(nodes.begin(), foreign);
    return nodes;
  }

  std::unique_ptr<IHidNode> OpenNode(const std::string& node, bool read, bool write,
                                     HidOpenError* error) override {
    {
      std::lock_guard lock(mutex_);
      opens_.push_back({node, read, write});
    }
    if (node == kForeignNode) {
      if (error) *error = HidOpenError::NotFound;
      return nullptr;
    }
    std::unique_ptr<IHidNode> inner = sim_.OpenNode(node, read, write, error);
    if (!inner) return nullptr;
    const std::string key = Key(node, read, write);
    {
      std::lock_guard lock(mutex_);
      ++live_[key];
    }
    return std::make_unique<Counted>(std::move(inner), this, key, read && !write);
  }

  bool NodesPrivateToProcess() const override { return true; }
  std::string NodeIdentity(const std::string& node) override { return sim_.NodeIdentity(node); }

  // From now on every read of a read-only open (the event channel) fails, with the keyboard
  // still plugged in.
  void FailEventReads(bool fail) { fail_event_reads_.store(fail); }

  std::vector<OpenRecord> Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
  }
  // Opens of node with the given access that are still alive.
  int Live(const std::string& node, bool read, bool write) const {
    std::lock_guard lock(mutex_);
    auto it = live_.find(Key(node, read, write));
    return it == live_.end() ? 0 : it->second;
  }
  int LiveAnyAccess(const std::string& node) const {
    return Live(node, true, true) + Live(node, true, false) + Live(node, false, true);
  }
  size_t ProbeCount() const {
    std::lock_guard lock(mutex_);
    return std::count_if(opens_.begin(), opens_.end(),
                         [](const OpenRecord& r) { return !r.read && !r.write; });
  }

  SimHidBackend& Sim() { return sim_; }

 private:
  static std::string Key(const std::string& node, bool read, bool write) {
    return node + (read ? "r" : "-") + (write ? "w" : "-");
  }
  class Counted : public IHidNode {
   public:
    Counted(std::unique_ptr<IHidNode> inner, CountingBackend* owner, std::string key,
            bool read_only)
        : inner_(std::move(inner)), owner_(owner), key_(std::move(key)), read_only_(read_only) {}
    ~Counted() override {
      std::lock_guard lock(owner_->mutex_);
      --owner_->live_[key_];
    }
    HidIoStatus Write(const uint8_t* d, size_t n, int t) override { return inner_->Write(d, n, t); }
    HidIoStatus Read(uint8_t* b, size_t c, size_t* g, int t) override {
      *g = 0;
      if (read_only_ && owner_->fail_event_reads_.load()) return HidIoStatus::Error;
      return inner_->Read(b, c, g, t);
    }
    void DrainInput() override { inner_->DrainInput(); }
    void Cancel() override { inner_->Cancel(); }

   private:
    std::unique_ptr<IHidNode> inner_;
    CountingBackend* owner_;
    std::string key_;
    bool read_only_;
  };

  SimHidBackend sim_;
  mutable std::mutex mutex_;
  std::vector<OpenRecord> opens_;
  std::map<std::string, int> live_;
  std::atomic<bool> fail_event_reads_{false};
};

CDeviceProtocol::Timing FastTiming() {
  CDeviceProtocol::Timing t;
  t.write_timeout_ms = 300;
  t.read_timeout_ms = 50;
  t.end_access_pause_ms = 0;
  return t;
}

CPresenceMonitor::Waits FastWaits() {
  CPresenceMonitor::Waits w;
  w.present_ms = 20;
  w.absent_ms = 60;
  w.listener_rescan_ms = 60;
  return w;
}

bool IsSend(const Call& c, uint32_t message) { return c.kind == Kind::Send && c.message == message; }
bool IsTray(const Call& c, int icon) {
  return c.kind == Kind::SetTrayState && c.message == static_cast<uint32_t>(icon);
}

class PresenceTest : public ::testing::Test {
 protected:
  void MakeMonitor(const CPresenceMonitor::Waits& waits = FastWaits()) {
    monitor_ = std::make_unique<CPresenceMonitor>(proto_, link_, prompt_, texts_, &backend_, waits);
    CPresenceMonitor::KeyboardValueSinks sinks;
    sinks.set_default_key_block = [this](std::span<const uint8_t, kKeyBlockBytes> b) {
      std::lock_guard lock(sink_mutex_);
      default_blocks_.emplace_back(b.begin(), b.end());
    };
    sinks.set_macro_capacity = [this](size_t bytes) {
      std::lock_guard lock(sink_mutex_);
      capacities_.push_back(bytes);
    };
    monitor_->SetKeyboardValueSinks(std::move(sinks));
    monitor_->SetEventObserver([this](uint16_t usage) {
      std::lock_guard lock(sink_mutex_);
      usages_.push_back(usage);
    });
  }

  bool WaitForCall(const std::function<bool(const Call&)>& pred) {
    return link_.WaitFor(pred, kWaitMs);
  }
  // Polls cond until true or the generous limit passes.
  static bool Eventually(const std::function<bool()>& cond) { return PollUntil(cond, kWaitMs, 2); }
  // Waits until the presence loop has been round a few more times.
  void LetMonitorRun() {
    const size_t probes = backend_.ProbeCount();
    ASSERT_TRUE(Eventually([&] { return backend_.ProbeCount() >= probes + 3; }));
  }
  size_t CountCalls(const std::function<bool(const Call&)>& pred) const {
    const auto calls = link_.Calls();
    return std::count_if(calls.begin(), calls.end(), pred);
  }
  // Index of the first call matching pred, or npos.
  size_t IndexOf(const std::function<bool(const Call&)>& pred) const {
    const auto calls = link_.Calls();
    auto it = std::find_if(calls.begin(), calls.end(), pred);
    return it == calls.end() ? std::string::npos : static_cast<size_t>(it - calls.begin());
  }
  bool WaitConnected() {
    return WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }) &&
           Eventually([&] { return monitor_->ConnectionIcon() == kTrayIconPresent; });
  }

  CSimHub& Hub() { return backend_.Sim().Hub(); }

  CountingBackend backend_;
  CDeviceProtocol proto_{nullptr, FastTiming()};
  RecordingMainWindowLink link_;
  ScriptedPrompt prompt_;
  MapTextSource texts_{{{"TEXT/MAIN_DEFAULT_MATRIX_PROMPT", "factory layout unreadable"}}};
  std::mutex sink_mutex_;
  std::vector<std::vector<uint8_t>> default_blocks_;
  std::vector<size_t> capacities_;
  std::vector<uint16_t> usages_;
  std::unique_ptr<CPresenceMonitor> monitor_;  // last, so it stops before the rest goes
};

TEST(HexNumberAfterTest, FindsTagWithoutRegardToCase) {
  EXPECT_EQ(HexNumberAfter("/dev/hidraw3#vid_0c45&pid_7650&col02", "vid_"), 0x0C45u);
  EXPECT_EQ(HexNumberAfter("/dev/hidraw3#vid_0c45&pid_7650&col02", "pid_"), 0x7650u);
  EXPECT_EQ(HexNumberAfter("\\\\?\\HID#VID_0C45&PID_7650&MI_01", "vid_"), 0x0C45u);
  EXPECT_EQ(HexNumberAfter("\\\\?\\HID#VID_0C45&PID_7650&MI_01", "pid_"), 0x7650u);
  // The first occurrence counts; no tag or no digits is 0.
  EXPECT_EQ(HexNumberAfter("vid_1&vid_0c45", "vid_"), 1u);
  EXPECT_EQ(HexNumberAfter("/dev/hidraw0", "vid_"), 0u);
  EXPECT_EQ(HexNumberAfter("x#vid_&pid_7650", "vid_"), 0u);
  EXPECT_EQ(HexNumberAfter("x#vid_", "vid_"), 0u);
  // Overlong numbers saturate instead of wrapping onto a valid ID.
  EXPECT_EQ(HexNumberAfter("vid_1000000000C45", "vid_"), 0xFFFFFFFFu);
}

TEST_F(PresenceTest, FirstConnectionReadsKeyboardAndOpensWindowOnce) {
  SimMemory memory = backend_.Sim().Keyboard().Memory();
  memory.settings[11] = 12;
  memory.default_key_block[5] = 0xA7;
  backend_.Sim().Keyboard().SetMemory(memory);

  MakeMonitor();
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitForCall([](const Call& c) { return c.kind == Kind::Post; }));
  LetMonitorRun();

  const auto calls = link_.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(IsSend(calls[0], WM_MAIN_PROFILE));
  EXPECT_EQ(calls[0].wparam, 0x50524F46u);
  EXPECT_TRUE(IsTray(calls[1], kTrayIconPresent));
  EXPECT_EQ(calls[2].kind, Kind::Post);
  EXPECT_EQ(calls[2].message, WM_MAIN_SHOW);
  EXPECT_EQ(calls[2].wparam, 0x4F50454Eu);

  {
    std::lock_guard lock(sink_mutex_);
    ASSERT_EQ(default_blocks_.size(), 1u);
    EXPECT_TRUE(std::equal(default_blocks_[0].begin(), default_blocks_[0].end(),
                           memory.default_key_block.begin()));
    ASSERT_EQ(capacities_.size(), 1u);
    EXPECT_EQ(capacities_[0], 12u * 128);
  }
  EXPECT_TRUE(prompt_.Shown().empty());
  EXPECT_TRUE(monitor_->StartSilent());
  EXPECT_EQ(monitor_->ConnectionState(), 1);
  EXPECT_TRUE(proto_.IsOpen());
  EXPECT_EQ(proto_.Channel(), &monitor_->CommandChannel());
}

TEST_F(PresenceTest, OnlyTheVendorCollectionStaysOpen) {
  MakeMonitor();
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitConnected());
  LetMonitorRun();

  const std::string boot = backend_.Sim().NodeName(kSimBootKeyboardNode);
  const std::string vendor = backend_.Sim().NodeName(kSimVendorNode);
  const auto opens = backend_.Opens();
  // The other vendor's device is never opened: its path already fails the ID check.
  EXPECT_TRUE(std::none_of(opens.begin(), opens.end(), [](const CountingBackend::OpenRecord& r) {
    return r.node == CountingBackend::kForeignNode;
  }));
  // The boot keyboard and the consumer-control collection were opened read/write, found wanting
  // and closed again; one read/write open of the vendor node remains: the command channel.
  auto rw_opens = [&](const std::string& node) {
    return std::count_if(opens.begin(), opens.end(), [&](const CountingBackend::OpenRecord& r) {
      return r.node == node && r.read && r.write;
    });
  };
  EXPECT_GE(rw_opens(boot), 2);    // first scan and connecting scan
  EXPECT_GE(rw_opens(vendor), 4);  // consumer control + vendor, twice
  EXPECT_EQ(backend_.LiveAnyAccess(boot), 0);
  EXPECT_EQ(backend_.Live(vendor, true, true), 1);
  EXPECT_EQ(backend_.LiveAnyAccess(vendor), 1);
  // While present, the monitor only probes with no access rights.
  EXPECT_GE(backend_.ProbeCount(), 3u);
}

TEST_F(PresenceTest, UnplugAndReplugWithoutStartSilent) {
  MakeMonitor();
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitForCall([](const Call& c) { return c.kind == Kind::Post; }));
  ASSERT_EQ(proto_.CurrentProfile(), 0);
  ASSERT_EQ(proto_.CachedProfile(), 0);
  link_.Clear();

  Hub().Unplug();
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconProgram); }));
  auto calls = link_.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(IsSend(calls[0], WM_MAIN_DEVICELOST));
  EXPECT_EQ(calls[0].wparam, 0u);
  EXPECT_EQ(calls[1].kind, Kind::Hide);
  EXPECT_TRUE(Eventually([&] { return monitor_->ConnectionState() == 0; }));
  EXPECT_FALSE(proto_.IsOpen());
  EXPECT_EQ(proto_.CachedProfile(), -1);
  EXPECT_FALSE(monitor_->CommandChannel().IsOpen());

  link_.Clear();
  Hub().Plug();
  ASSERT_TRUE(WaitConnected());
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconPresent); }));
  EXPECT_TRUE(Eventually([&] { return monitor_->ConnectionState() == 1; }));
  EXPECT_TRUE(proto_.IsOpen());
  // A reconnection never opens the main window.
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::Post; }), 0u);
  std::lock_guard lock(sink_mutex_);
  EXPECT_EQ(default_blocks_.size(), 2u);
  EXPECT_EQ(capacities_.size(), 2u);
}

TEST_F(PresenceTest, ReplugBetweenProbesReconnects) {
  // Probes far apart: the keyboard is back before the monitor could see it gone. The presence
  // monitor runs alone, so only the node's identity can tell it.
  CPresenceMonitor::Waits waits = FastWaits();
  waits.present_ms = 400;
  MakeMonitor(waits);
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitConnected());
  link_.Clear();

  Hub().Unplug();
  Hub().Plug();
  // The old command channel is dead; the keyboard is reported lost once and connected afresh.
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }));
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }));
  ASSERT_TRUE(Eventually([&] { return monitor_->ConnectionState() == 1 && proto_.IsOpen(); }));
  DeviceSettings settings;
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultOk);
  LetMonitorRun();
  LetMonitorRun();
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }), 1u);
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }), 1u);
}

TEST_F(PresenceTest, FailingEventReadsOnAPresentKeyboardAreNoLoss) {
  MakeMonitor();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitConnected());
  const std::string vendor = backend_.Sim().NodeName(kSimVendorNode);
  ASSERT_TRUE(Eventually([&] { return backend_.Live(vendor, true, false) == 1; }));
  const auto event_opens = [&] {
    const auto opens = backend_.Opens();
    return std::count_if(opens.begin(), opens.end(), [&](const CountingBackend::OpenRecord& r) {
      return r.node == vendor && r.read && !r.write;
    });
  };
  const auto before = event_opens();
  link_.Clear();

  backend_.FailEventReads(true);
  Hub().SendConsumerEvent(kEventLightingChanged);  // wakes the waiting read, which now fails
  // The listener reopens its channel (again and again, each read failing)...
  ASSERT_TRUE(Eventually([&] { return event_opens() >= before + 2; }));
  LetMonitorRun();
  // ...and the keyboard is neither lost nor found again, so nothing is reloaded.
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }), 0u);
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }), 0u);
  EXPECT_EQ(monitor_->ConnectionState(), 1);
  EXPECT_TRUE(proto_.IsOpen());

  // Reads work again: events arrive as before.
  link_.Clear();
  backend_.FailEventReads(false);
  ASSERT_TRUE(Eventually([&] { return backend_.Live(vendor, true, false) == 1; }));
  Hub().SendConsumerEvent(kEventLightingChanged);
  EXPECT_TRUE(WaitForCall([](const Call& c) { return c.kind == Kind::SetTimer; }));
}

TEST_F(PresenceTest, StartedSilentNeverOpensWindow) {
  MakeMonitor();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitConnected());
  Hub().Unplug();
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }));
  link_.Clear();
  Hub().Plug();
  ASSERT_TRUE(WaitConnected());
  LetMonitorRun();
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::Post; }), 0u);
  EXPECT_TRUE(monitor_->StartSilent());
}

TEST_F(PresenceTest, NothingFoundAtStartSetsStartSilentAndSendsNothing) {
  Hub().Unplug();
  MakeMonitor();
  ASSERT_FALSE(monitor_->StartSilent());
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(Eventually([&] { return monitor_->StartSilent(); }));
  // Absent from the start: the connection state never changed, so nothing was said.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_TRUE(link_.Calls().empty());
  EXPECT_EQ(monitor_->ConnectionState(), 0);
  EXPECT_FALSE(proto_.IsOpen());

  Hub().Plug();
  ASSERT_TRUE(WaitConnected());
  LetMonitorRun();
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::Post; }), 0u);
}

TEST_F(PresenceTest, UnreadableKeyboardIsReportedAndKeepsOldValues) {
  SimFaults faults;
  faults.error_status_count = 1000000;
  backend_.Sim().Keyboard().SetFaults(faults);
  MakeMonitor();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start(CPresenceMonitor::Threads::PresenceOnly));
  ASSERT_TRUE(WaitConnected());

  const auto shown = prompt_.Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "factory layout unreadable");
  EXPECT_EQ(shown[0].buttons, PromptButtons::Ok);
  std::lock_guard lock(sink_mutex_);
  EXPECT_TRUE(default_blocks_.empty());
  EXPECT_TRUE(capacities_.empty());
}

TEST_F(PresenceTest, HandlerIgnoresRepeatedState) {
  // No threads: the handler is driven directly, with no keyboard behind the protocol.
  MakeMonitor();
  monitor_->SetStartSilent(true);
  monitor_->ConnectionChanged(1);
  monitor_->ConnectionChanged(1);
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_PROFILE); }), 1u);
  EXPECT_EQ(CountCalls([](const Call& c) { return IsTray(c, kTrayIconPresent); }), 1u);
  EXPECT_EQ(prompt_.Shown().size(), 1u);  // the default key block could not be read

  monitor_->ConnectionChanged(0);
  monitor_->ConnectionChanged(0);
  EXPECT_EQ(CountCalls([](const Call& c) { return IsSend(c, WM_MAIN_DEVICELOST); }), 1u);
  EXPECT_EQ(CountCalls([](const Call& c) { return c.kind == Kind::Hide; }), 1u);
  EXPECT_EQ(link_.Calls().size(), 5u);  // profile, icon 141; device lost, hide, icon 128
  EXPECT_EQ(monitor_->ConnectionState(), 0);
}

TEST_F(PresenceTest, ConsumerEventsSetTimerAndTrayIcon) {
  MakeMonitor();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitConnected());
  // The listener's read-only open of the vendor node is up.
  const std::string vendor = backend_.Sim().NodeName(kSimVendorNode);
  ASSERT_TRUE(Eventually([&] { return backend_.Live(vendor, true, false) == 1; }));
  link_.Clear();

  Hub().SendConsumerEvent(kEventLightingChanged);
  ASSERT_TRUE(WaitForCall([](const Call& c) { return c.kind == Kind::SetTimer; }));
  auto calls = link_.Calls();
  EXPECT_EQ(calls[0].message, static_cast<uint32_t>(kTimerLightingReread));
  EXPECT_EQ(calls[0].wparam, 0u);

  // Special on then off at once: the icon changes take turns in order and end on the
  // connection icon.
  link_.Clear();
  Hub().SendConsumerEvent(kEventSpecialIconOn);
  Hub().SendConsumerEvent(kEventSpecialIconOff);
  ASSERT_TRUE(Eventually([&] {
    return CountCalls([](const Call& c) { return c.kind == Kind::SetTrayState; }) == 2;
  }));
  calls = link_.Calls();
  EXPECT_TRUE(IsTray(calls[0], kTrayIconSpecial));
  EXPECT_TRUE(IsTray(calls[1], kTrayIconPresent));

  // Anything else is seen but does nothing.
  link_.Clear();
  Hub().SendConsumerEvent(0x00E9);
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard lock(sink_mutex_);
    return std::count(usages_.begin(), usages_.end(), 0x00E9) == 1;
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(link_.Calls().empty());
  std::lock_guard lock(sink_mutex_);
  const std::vector<uint16_t> expected = {kEventLightingChanged, 0, kEventSpecialIconOn, 0,
                                          kEventSpecialIconOff,  0, 0x00E9,             0};
  EXPECT_EQ(usages_, expected);
}

TEST_F(PresenceTest, ListenerRescansAfterReplugAndUnplugEndsSpecialIcon) {
  MakeMonitor();
  monitor_->SetStartSilent(true);
  ASSERT_TRUE(monitor_->Start());
  ASSERT_TRUE(WaitConnected());
  Hub().Unplug();
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconProgram); }));
  Hub().Plug();
  ASSERT_TRUE(WaitConnected());
  const std::string vendor = backend_.Sim().NodeName(kSimVendorNode);
  ASSERT_TRUE(Eventually([&] { return backend_.Live(vendor, true, false) == 1; }));
  // Events still reach the listener after it rescanned.
  link_.Clear();
  Hub().SendConsumerEvent(kEventSpecialIconOn);
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconSpecial); }));
  Hub().Unplug();
  ASSERT_TRUE(WaitForCall([](const Call& c) { return IsTray(c, kTrayIconProgram); }));
  EXPECT_EQ(monitor_->ConnectionIcon(), kTrayIconProgram);
  EXPECT_EQ(link_.TrayState(), kTrayIconProgram);
}

TEST_F(PresenceTest, StopEndsWaitingReadsAndSleepsPromptly) {
  // Waits far longer than the test could sit out: Stop must cut them short.
  CPresenceMonitor::Waits slow;
  slow.present_ms = 60000;
  slow.absent_ms = 60000;
  slow.listener_rescan_ms = 60000;

  for (bool present : {true, false}) {
    SCOPED_TRACE(present ? "keyboard present" : "keyboard absent");
    if (present) Hub().Plug(); else Hub().Unplug();
    link_.Clear();
    MakeMonitor(slow);
    monitor_->SetStartSilent(true);
    ASSERT_TRUE(monitor_->Start());
    const std::string vendor = backend_.Sim().NodeName(kSimVendorNode);
    if (present) {
      ASSERT_TRUE(WaitConnected());
      // The listener sits in a read without limit.
      ASSERT_TRUE(Eventually([&] { return backend_.Live(vendor, true, false) == 1; }));
    } else {
      ASSERT_TRUE(Eventually([&] { return backend_.Opens().size() >= 2; }));
    }
    const auto start = Clock::now();
    monitor_->Stop();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_LT(took.count(), 10000);
    EXPECT_FALSE(monitor_->Running());
    EXPECT_FALSE(proto_.IsOpen());
    EXPECT_EQ(backend_.LiveAnyAccess(vendor), 0);
    monitor_.reset();
    EXPECT_EQ(proto_.Channel(), nullptr);
  }
}

TEST_F(PresenceTest, StopDuringConnectionSkipsItsMessages) {
  CDeviceProtocol::Timing slow_reads = FastTiming();
  slow_reads.read_timeout_ms = 2000;  // four attempts: 8 s per unanswered command
  CDeviceProtocol proto(nullptr, slow_reads);
  CPresenceMonitor monitor(proto, link_, prompt_, texts_, &backend_, FastWaits());
  monitor.SetStartSilent(true);
  CHidDevice& channel = monitor.CommandChannel();
  ASSERT_TRUE(channel.Enumerate());
  while (auto path = channel.NextPath()) {
    if (!channel.Open(*path, true, true, true, false)) continue;
    if (channel.Caps().usage_page == kCommandUsagePage) break;
    channel.Close();
  }
  ASSERT_TRUE(channel.IsOpen());
  proto.SetOpen(true);

  // Every reply is held back, so the handler is stuck reading when Stop comes.
  SimFaults faults;
  faults.no_reply = 1000000;
  backend_.Sim().Keyboard().SetFaults(faults);
  std::thread handler([&] { monitor.ConnectionChanged(1); });
  ASSERT_TRUE(Eventually([&] { return backend_.Sim().Keyboard().RequestCount() >= 1; }));
  const auto start = Clock::now();
  monitor.Stop();
  handler.join();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_LT(took.count(), 6000);
  // Its reads failed because the program is stopping, not because of the keyboard: no prompt,
  // no messages to a window that is going away.
  EXPECT_TRUE(link_.Calls().empty());
  EXPECT_TRUE(prompt_.Shown().empty());
  EXPECT_EQ(monitor.ConnectionState(), 0);
}

}  // namespace
}  // namespace orvane
