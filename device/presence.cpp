// The presence monitor, the connection handler and the event listener.
#include "device/presence.h"

#include <chrono>
#include <system_error>

#include "platform/hid_interfaces.h"
#include "platform/tick.h"

namespace orvane {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

uint32_t HexNumberAfter(const std::string& path, const char* tag) {
  const std::string t(tag);
  if (t.empty() || path.size() < t.size()) return 0;
  for (size_t i = 0; i + t.size() <= path.size(); ++i) {
    size_t k = 0;
    while (k < t.size() && Lower(path[i + k]) == Lower(t[k])) ++k;
    if (k != t.size()) continue;
    uint64_t value = 0;
    for (size_t j = i + t.size(); j < path.size(); ++j) {
      const int d = HexDigit(path[j]);
      if (d < 0) break;
      value = value * 16 + static_cast<uint64_t>(d);
      // Far too long to be an ID: saturate, so it can never match one.
      if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
  }
  return 0;
}

CPresenceMonitor::CPresenceMonitor(CDeviceProtocol& protocol, IMainWindowLink& link,
                                   IPrompt& prompt, const ITextSource& texts,
                                   IHidBackend* backend)
    : CPresenceMonitor(protocol, link, prompt, texts, backend, Waits{}) {}

CPresenceMonitor::CPresenceMonitor(CDeviceProtocol& protocol, IMainWindowLink& link,
                                   IPrompt& prompt, const ITextSource& texts,
                                   IHidBackend* backend, const Waits& waits)
    : protocol_(protocol),
      link_(link),
      prompt_(prompt),
      texts_(texts),
      backend_(backend),
      waits_(waits),
      command_channel_(backend),
      event_channel_(backend) {
  protocol_.SetOpen(false);
  protocol_.SetChannel(&command_channel_);
}

CPresenceMonitor::~CPresenceMonitor() {
  Stop();
  protocol_.SetOpen(false);
  if (protocol_.Channel() == &command_channel_) protocol_.SetChannel(nullptr);
}

void CPresenceMonitor::SetKeyboardValueSinks(KeyboardValueSinks sinks) { sinks_ = std::move(sinks); }

void CPresenceMonitor::SetEventObserver(std::function<void(uint16_t)> observer) {
  event_observer_ = std::move(observer);
}

bool CPresenceMonitor::Start(Threads which) {
  std::lock_guard threads_lock(threads_mutex_);
  if (presence_thread_.joinable() || listener_thread_.joinable()) return true;
  stopping_.store(false);
  try {
    if (which != Threads::ListenerOnly) presence_thread_ = std::thread([this] { RunPresenceMonitor(); });
    if (which != Threads::PresenceOnly) listener_thread_ = std::thread([this] { RunEventListener(); });
  } catch (const std::system_error&) {
    RequestStop();
    if (presence_thread_.joinable()) presence_thread_.join();
    return false;
  }
  return true;
}

void CPresenceMonitor::RequestStop() {
  {
    std::lock_guard lock(stop_mutex_);
    stopping_.store(true);
  }
  stop_cv_.notify_all();
  // Closing ends a read without limit on the event channel, and makes the connection handler's
  // commands fail at once instead of running through their time-outs.
  event_channel_.Close();
  protocol_.SetOpen(false);
  command_channel_.Close();
}

void CPresenceMonitor::Stop() {
  std::lock_guard threads_lock(threads_mutex_);
  RequestStop();
  if (presence_thread_.joinable()) presence_thread_.join();
  if (listener_thread_.joinable()) listener_thread_.join();
  ReapIconThreads(true);
  // The flag stays up until the next Start, so a handler still running on another thread
  // knows its reads failed because of the stop.
}

bool CPresenceMonitor::Running() const {
  std::lock_guard threads_lock(threads_mutex_);
  return presence_thread_.joinable() || listener_thread_.joinable();
}

bool CPresenceMonitor::Pause(uint32_t ms) {
  std::unique_lock lock(stop_mutex_);
  return !stop_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Stopping(); });
}

bool CPresenceMonitor::OpenUnlessStopping(CHidDevice& channel, const std::string& path, bool write,
                                          HidCaps* caps, HidAttributes* attributes) {
  std::lock_guard lock(stop_mutex_);
  if (Stopping()) return false;
  // Shared access; overlapped, as every read and write here is time-limited or cancellable.
  if (!channel.Open(path, true, write, true, false)) return false;
  *caps = channel.Caps();
  *attributes = channel.Attributes();
  return true;
}

bool CPresenceMonitor::ScanFor(CHidDevice& channel, uint16_t usage_page, uint16_t usage,
                               bool write, HidCaps* caps) {
  while (std::optional<std::string> path = channel.NextPath()) {
    if (Stopping()) return false;
    // The IDs in the path are checked first, so other devices are never opened at all.
    if (HexNumberAfter(*path, "vid_") != kKeyboardVendorId ||
        HexNumberAfter(*path, "pid_") != kKeyboardProductId) {
      continue;
    }
    HidCaps c;
    HidAttributes a;
    if (!OpenUnlessStopping(channel, *path, write, &c, &a)) continue;
    if (a.vendor_id == kKeyboardVendorId && a.product_id == kKeyboardProductId &&
        c.usage_page == usage_page && c.usage == usage) {
      *caps = c;
      return true;
    }
    // Another collection of the keyboard (or a device whose path lied): not ours.
    channel.Close();
  }
  return false;
}

bool CPresenceMonitor::ProbeCommandChannel() {
  if (command_channel_.HungUp()) return false;
  // Opening the node with no access rights costs nothing on the device and fails once it has
  // gone; the command channel itself is left alone.
  HidInterfacePathParts parts;
  if (!ParseHidInterfacePath(command_path_, &parts)) return false;
  IHidBackend& backend = backend_ ? *backend_ : DefaultHidBackend();
  HidOpenError error = HidOpenError::None;
  std::unique_ptr<IHidNode> probe = backend.OpenNode(parts.node, false, false, &error);
  if (probe == nullptr) return false;
  // Gone and back between two probes: the name is there again, the device behind it is new.
  return command_identity_.empty() || backend.NodeIdentity(parts.node) == command_identity_;
}

std::string CPresenceMonitor::IdentityOf(const std::string& path) {
  HidInterfacePathParts parts;
  if (!ParseHidInterfacePath(path, &parts)) return {};
  IHidBackend& backend = backend_ ? *backend_ : DefaultHidBackend();
  return backend.NodeIdentity(parts.node);
}

void CPresenceMonitor::RunPresenceMonitor() {
  if (StartSilent() && !Pause(waits_.start_silent_ms)) return;

  // First scan: talk to the keyboard once if it is there, then let it go again; the loop below
  // makes the connection.
  if (Stopping() || !command_channel_.Enumerate()) return;
  HidCaps caps;
  if (ScanFor(command_channel_, kCommandUsagePage, kCommandUsage, true, &caps)) {
    protocol_.SetOpen(true);
    DeviceSettings settings;
    protocol_.ReadSettings(&settings);
    protocol_.SetOpen(false);
    command_channel_.Close();
  }
  command_channel_.FreePaths();
  protocol_.SetOpen(false);

  bool first_pass = true;
  while (!Stopping()) {
    if (protocol_.IsOpen()) {
      if (!ProbeCommandChannel()) {
        if (Stopping()) break;
        // The channel is closed at once rather than at the next open; commands see the open
        // flag clear first.
        protocol_.SetOpen(false);
        command_channel_.Close();
        ConnectionChanged(0);
      }
    } else {
      if (!command_channel_.Enumerate()) return;
      if (ScanFor(command_channel_, kCommandUsagePage, kCommandUsage, true, &caps)) {
        command_path_ = command_channel_.DevicePath();
        command_identity_ = IdentityOf(command_path_);
        protocol_.SetOpen(true);
        ConnectionChanged(1);
      }
      if (first_pass && !Stopping()) {
        const bool found = protocol_.IsOpen();
        ConnectionChanged(found ? 1 : 0);
        if (!found) start_silent_.store(true);
      }
      command_channel_.FreePaths();
    }
    first_pass = false;
    if (!Pause(protocol_.IsOpen() ? waits_.present_ms : waits_.absent_ms)) break;
  }
}

void CPresenceMonitor::ConnectionChanged(int state) {
  state = state != 0 ? 1 : 0;
  if (state == connection_state_.load()) return;
  if (state == 0) {
    protocol_.ClearProfileCache();
    link_.Send(WM_MAIN_DEVICELOST, 0, 0);
    link_.Hide();
    SetIcon(0, kTrayIconProgram);
  } else {
    std::array<uint8_t, kKeyBlockBytes> block{};
    DeviceSettings settings;
    bool block_read = false, settings_read = false, busy = false;
    {
      // One exchange, let go before the main window is told: its reload runs while we wait.
      CDeviceProtocol::Exchange exchange(protocol_);
      block_read = protocol_.ReadSteadyDefaultKeyBlock(
                       std::span<uint8_t, kKeyBlockBytes>(block)) == kResultOk;
      settings_read = protocol_.ReadSettings(&settings) == kResultOk;
      busy = exchange.Busy();
    }
    // Stopping closed the channel under these reads: their failure says nothing about the
    // keyboard, and the main window is going away.
    if (Stopping()) return;
    if (block_read) {
      if (sinks_.set_default_key_block) sinks_.set_default_key_block(block);
    } else {
      prompt_.Notice(texts_.Text(busy ? kTextKeyboardBusy : "MAIN_DEFAULT_MATRIX_PROMPT"));
    }
    if (settings_read && sinks_.set_macro_capacity) {
      sinks_.set_macro_capacity(settings.MacroCapacityBytes());
    }
    link_.Send(WM_MAIN_PROFILE, kCheckWordProfile, 0);
    SetIcon(0, kTrayIconPresent);
  }
  connection_state_.store(state);
  if (!start_silent_.load()) {
    if (state == 1) link_.Post(WM_MAIN_SHOW, kCheckWordOpen, 0);
    start_silent_.store(true);
  }
}

void CPresenceMonitor::RunEventListener() {
  while (!Stopping()) {
    if (!event_channel_.Enumerate()) return;
    HidCaps caps;
    if (ScanFor(event_channel_, kConsumerUsagePage, kConsumerControlUsage, false, &caps)) {
      std::vector<uint8_t> report(caps.input_report_byte_length > 0 ? caps.input_report_byte_length
                                                                    : 1);
      for (;;) {
        size_t got = 0;
        if (!event_channel_.ReadReport(report.data(), report.size(), &got, kInfinite)) break;
        bool have_usage = false;
        uint16_t usage = 0;
        {
          // Stop closes the channel only after taking this lock, so the input data list
          // cannot be cleared while it is read.
          std::lock_guard lock(stop_mutex_);
          if (Stopping()) break;
          if (event_channel_.UnpackInputReport(report.data(), got)) {
            const std::vector<HidData>& data = event_channel_.InputData();
            if (!data.empty() && data.front().is_button && !data.front().usages.empty()) {
              usage = data.front().usages.front();
              have_usage = true;
            }
          }
        }
        if (have_usage) {
          if (event_observer_) event_observer_(usage);
          HandleUsage(usage);
        }
      }
      // The keyboard has gone, the channel was closed, or the read failed on a keyboard that is
      // still there: reopen after the pause. Whether the keyboard is gone is the presence
      // monitor's to tell, from the command channel.
      event_channel_.Close();
    }
    event_channel_.FreePaths();
    if (!Pause(waits_.listener_rescan_ms)) return;
  }
}

void CPresenceMonitor::HandleUsage(uint16_t usage) {
  switch (usage) {
    case kEventLightingChanged:
      link_.SetTimer(kTimerLightingReread, 0);
      break;
    case kEventSpecialIconOn:
      SpawnIconChange(1, 0);
      break;
    case kEventSpecialIconOff:
      SpawnIconChange(0, 0);
      break;
    default:
      break;
  }
}

void CPresenceMonitor::SetIcon(int special, int icon) {
  RunIconTurn(icon_next_ticket_.fetch_add(1), special, icon);
}

void CPresenceMonitor::RunIconTurn(uint64_t ticket, int special, int icon) {
  // Turns are served in ticket order, so a quick "special on, special off" from the keyboard
  // always ends on the connection icon.
  while (icon_now_serving_.load() != ticket) SleepMs(waits_.icon_turn_ms);
  int shown = kTrayIconSpecial;
  if (special == 0) {
    if (icon != 0) connection_icon_.store(icon);
    shown = connection_icon_.load();
  }
  link_.SetTrayState(shown);
  SleepMs(waits_.icon_turn_ms);
  icon_now_serving_.fetch_add(1);
}

void CPresenceMonitor::SpawnIconChange(int special, int icon) {
  ReapIconThreads(false);
  const uint64_t ticket = icon_next_ticket_.fetch_add(1);
  try {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(icon_threads_mutex_);
    // Room first, so a thread once created always lands in the list.
    icon_threads_.reserve(icon_threads_.size() + 1);
    icon_threads_.push_back(IconThread{std::thread([this, ticket, special, icon, done] {
                                         RunIconTurn(ticket, special, icon);
                                         done->store(true);
                                       }),
                                       done});
  } catch (const std::exception&) {
    // No thread to be had: the turn is taken here, or every later icon change would wait for it.
    RunIconTurn(ticket, special, icon);
  }
}

void CPresenceMonitor::ReapIconThreads(bool all) {
  std::vector<IconThread> finished;
  {
    std::lock_guard lock(icon_threads_mutex_);
    for (auto it = icon_threads_.begin(); it != icon_threads_.end();) {
      if (all || it->done->load()) {
        finished.push_back(std::move(*it));
        it = icon_threads_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (IconThread& t : finished)
    if (t.thread.joinable()) t.thread.join();
}

}  // namespace orvane
