// The keyboard's presence monitor and event listener. Two worker threads watch the keyboard: the
// presence monitor finds the vendor collection, opens it as the command channel, probes it while
// it is there and rescans while it is not, and runs the connection handler on every change (the
// keyboard's default key block and macro capacity are read, the main window is told, the tray icon
// is set). The event listener opens the consumer-control collection and reacts to the codes the
// keyboard sends there when its own settings change (lighting re-read timer, tray icon).
//
// Everything outward goes through interfaces: the main window through IMainWindowLink, message
// boxes through IPrompt with texts from ITextSource, and the values the connection handler hands
// to the model (default key block, macro capacity) through callbacks, so this library stays below
// the model.
//
// A keyboard can vanish and come back between two probes of the presence monitor; opening the
// node then still succeeds while the command channel is dead. The probe therefore also compares
// the node's identity (device number and sysfs device) with the one seen at connection, and
// looks at the command channel's own hang-up: a changed identity or a hung-up channel is a loss.
// A failed read on the event channel is not: the listener reopens its channel and nothing else,
// so a keyboard whose event reads fail while it stays plugged in keeps its connection (and the
// user's unapplied edits).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "platform/hid_backend.h"
#include "platform/main_window_link.h"
#include "platform/prompt.h"
#include "platform/text_source.h"

namespace orvane {

constexpr uint16_t kKeyboardVendorId = 0x0C45;
constexpr uint16_t kKeyboardProductId = 0x7650;
constexpr uint16_t kCommandUsagePage = 0xFF1C;
constexpr uint16_t kCommandUsage = 0x92;
constexpr uint16_t kConsumerUsagePage = 0x0C;
constexpr uint16_t kConsumerControlUsage = 0x01;

// Vendor codes the keyboard sends on its consumer-control collection.
constexpr uint16_t kEventLightingChanged = 0x0401;
constexpr uint16_t kEventSpecialIconOn = 0x1811;
constexpr uint16_t kEventSpecialIconOff = 0x1810;

constexpr uint32_t kCheckWordProfile = CheckWord('P', 'R', 'O', 'F');
constexpr uint32_t kCheckWordOpen = CheckWord('O', 'P', 'E', 'N');
static_assert(kCheckWordProfile == 0x50524F46 && kCheckWordOpen == 0x4F50454E);

// The number after `tag` ("vid_", "pid_") in path, read as hexadecimal; the tag is searched for
// without regard to case. 0 when the tag is absent or no hex digit follows it.
uint32_t HexNumberAfter(const std::string& path, const char* tag);

class CPresenceMonitor {
 public:
  // How long the threads wait; tests shorten them.
  struct Waits {
    uint32_t start_silent_ms = 10;    // before the first scan when started silent
    uint32_t present_ms = 100;        // between probes while the keyboard is there
    uint32_t absent_ms = 1000;        // between scans while it is not
    uint32_t listener_rescan_ms = 1000;
    uint32_t icon_turn_ms = 1;        // icon-change threads: poll and hold time
  };

  // Where the connection handler puts what it read from the keyboard. Unset ones are skipped.
  struct KeyboardValueSinks {
    std::function<void(std::span<const uint8_t, kKeyBlockBytes>)> set_default_key_block;
    std::function<void(size_t)> set_macro_capacity;
  };

  enum class Threads { Both, PresenceOnly, ListenerOnly };

  // The monitor owns the command channel and makes it protocol's channel; protocol, link, prompt
  // and texts must outlive it. backend nullptr: the platform's default backend at each call.
  CPresenceMonitor(CDeviceProtocol& protocol, IMainWindowLink& link, IPrompt& prompt,
                   const ITextSource& texts, IHidBackend* backend = nullptr);
  CPresenceMonitor(CDeviceProtocol& protocol, IMainWindowLink& link, IPrompt& prompt,
                   const ITextSource& texts, IHidBackend* backend, const Waits& waits);
  // Stops and joins every thread, then leaves the protocol without a channel.
  ~CPresenceMonitor();
  CPresenceMonitor(const CPresenceMonitor&) = delete;
  CPresenceMonitor& operator=(const CPresenceMonitor&) = delete;

  // Set before Start.
  void SetKeyboardValueSinks(KeyboardValueSinks sinks);
  // Called on the event listener's thread with the first usage of every consumer report (0 for
  // a release); for tools that show the keyboard's events. Set before Start.
  void SetEventObserver(std::function<void(uint16_t usage)> observer);

  // The start-silent flag: set when the program was started with "/Start"; the monitor also
  // sets it after the first connection and when the first scan finds nothing.
  void SetStartSilent(bool silent) { start_silent_.store(silent); }
  bool StartSilent() const { return start_silent_.load(); }
  // The state last reported to the connection handler: 0 absent, 1 present.
  int ConnectionState() const { return connection_state_.load(); }
  // The tray icon the connection handler set last (128 until the keyboard is first found).
  int ConnectionIcon() const { return connection_icon_.load(); }
  CHidDevice& CommandChannel() { return command_channel_; }

  // Starts the worker threads (once; later calls do nothing until Stop). False when a thread
  // could not be created (whatever did start is stopped again).
  bool Start(Threads which = Threads::Both);
  // Asks every thread to end, cancels waiting reads and sleeps, and joins them; the command
  // channel is closed and the open flag cleared. A connection handler still running elsewhere
  // sends nothing more. Must not be called from the thread that serves the link's Send, since
  // the presence monitor may be waiting there.
  void Stop();
  bool Running() const;

  // The thread bodies. They return when asked to stop, or when device enumeration fails.
  void RunPresenceMonitor();
  void RunEventListener();
  // The connection handler (state 0 absent, 1 present); run by the presence monitor's thread.
  void ConnectionChanged(int state);

 private:
  // Scans the channel's path list for the wanted collection; true with the channel left open on
  // the first match. Paths that open but do not match are closed again.
  // *caps gets the matched collection's capabilities.
  bool ScanFor(CHidDevice& channel, uint16_t usage_page, uint16_t usage, bool write, HidCaps* caps);
  // Opens channel at path unless stopping, and copies what the match needs while Stop cannot
  // close the channel under it; false when stopping or the open failed.
  bool OpenUnlessStopping(CHidDevice& channel, const std::string& path, bool write, HidCaps* caps,
                          HidAttributes* attributes);
  // True while the keyboard of the open command channel is still there: the channel has not hung
  // up, its node opens (with no access rights) and still has the identity it had at connection.
  bool ProbeCommandChannel();
  std::string IdentityOf(const std::string& interface_path);
  // Waits up to ms; false when asked to stop.
  bool Pause(uint32_t ms);
  bool Stopping() const { return stopping_.load(); }

  // The tray icon in the main window's (special, icon) form: (1, x) the special icon 142, (0, 0)
  // back to the connection icon, (0, icon) a new connection icon. Waits its turn behind icon
  // changes asked for earlier.
  void SetIcon(int special, int icon);
  // An icon change on a short-lived thread of its own, in the order the changes were asked for.
  void SpawnIconChange(int special, int icon);
  void RunIconTurn(uint64_t ticket, int special, int icon);
  void ReapIconThreads(bool all);
  // Raises the stop flag, wakes the sleeps and closes both channels; the threads then end.
  void RequestStop();
  void HandleUsage(uint16_t usage);

  CDeviceProtocol& protocol_;
  IMainWindowLink& link_;
  IPrompt& prompt_;
  const ITextSource& texts_;
  IHidBackend* backend_;
  Waits waits_;
  KeyboardValueSinks sinks_;
  std::function<void(uint16_t)> event_observer_;

  CHidDevice command_channel_;
  std::string command_path_;  // the path the command channel was opened at; probed while open
  CHidDevice event_channel_;
  std::string command_identity_;  // the node's identity when the command channel was opened
  std::atomic<int> connection_state_{0};
  std::atomic<bool> start_silent_{false};
  std::atomic<int> connection_icon_{kTrayIconProgram};

  // Icon changes take turns in the order they were asked for (a ticket each).
  std::atomic<uint64_t> icon_next_ticket_{0};
  std::atomic<uint64_t> icon_now_serving_{0};
  struct IconThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::mutex icon_threads_mutex_;
  std::vector<IconThread> icon_threads_;

  // Opening a channel and deciding to stop are exclusive, so Stop never misses a channel that
  // is about to start a read without limit.
  std::mutex stop_mutex_;
  std::condition_variable stop_cv_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex threads_mutex_;  // Start/Stop
  std::thread presence_thread_;
  std::thread listener_thread_;
};

}  // namespace orvane
