// CSimHub puts the simulated keyboard on a pretend bus: two HID nodes (a boot keyboard, and the
// node with the consumer-control and vendor collections), plugging and unplugging, and one input
// queue per open of a node, each getting its own copy of every input report as hidraw gives them.
// Replies that the firmware holds back arrive later through the hub's timer thread.
//
// The in-process backend (sim_backend.h) and the FUSE server (orvane-simkbd) are both built on it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/hid_backend.h"
#include "sim/sim_keyboard.h"

namespace orvane {

constexpr int kSimBootKeyboardNode = 0;
constexpr int kSimVendorNode = 1;
constexpr int kSimNodeCount = 2;
constexpr uint16_t kSimVendorId = 0x0C45;
constexpr uint16_t kSimProductId = 0x7650;
constexpr uint16_t kSimVersion = 0x0105;
constexpr size_t kSimInputQueueLimit = 64;  // as hidraw: reports beyond this are dropped

// The report descriptor of each node: node 0 a boot keyboard; node 1 a consumer-control
// collection (report ID 2, one 16-bit usage) and the vendor collection (usage page 0xFF1C,
// usage 0x92, report ID 4, 64-byte input and output reports).
const std::vector<uint8_t>& SimReportDescriptor(int node);

// One open of a node. The queue and the flags are guarded by CSimHub::Mutex().
struct SimEndpoint {
  int node = 0;
  uint64_t epoch = 0;
  bool readable = false;
  bool writable = false;
  bool gone = false;          // the keyboard was unplugged after this open
  uint64_t cancel_count = 0;  // bumped by Cancel
  std::deque<std::vector<uint8_t>> queue;
  // Called with the hub's mutex held whenever input arrives or the endpoint goes; transports that
  // serve the endpoint themselves (the FUSE server) hook in here.
  std::function<void()> on_change;
};

class CSimHub {
 public:
  CSimHub();
  explicit CSimHub(SimMemory memory);
  ~CSimHub();
  CSimHub(const CSimHub&) = delete;
  CSimHub& operator=(const CSimHub&) = delete;

  CSimKeyboard& Keyboard() { return keyboard_; }

  bool IsPlugged() const;
  // Counts arrivals: each plug makes a new device of the same nodes.
  uint64_t Epoch() const;
  void Plug();
  void Unplug();
  // Told (outside the hub's lock) about every plug and unplug, including a vanishing keyboard.
  void SetPlugListener(std::function<void(bool plugged)> listener);

  std::shared_ptr<SimEndpoint> Open(int node, bool read, bool write, HidOpenError* error);
  void Close(const std::shared_ptr<SimEndpoint>& endpoint);

  // Hands one output report to the keyboard. Replies are queued to every open of the node.
  HidIoStatus Write(SimEndpoint& endpoint, const uint8_t* data, size_t size);
  // Blocking read for in-process use; timeout_ms < 0 waits without limit.
  HidIoStatus Read(SimEndpoint& endpoint, uint8_t* buf, size_t cap, size_t* got, int timeout_ms);
  void Drain(SimEndpoint& endpoint);
  void Cancel(SimEndpoint& endpoint);
  // Waits (interruptibly by Cancel) for up to ms; false if cancelled or the keyboard went.
  bool WaitInterruptibly(SimEndpoint& endpoint, uint32_t ms);

  // A consumer-control press of usage followed by its release, on the vendor node.
  void SendConsumerEvent(uint16_t usage);
  // Queues an input report on every open of node (as if the keyboard sent it).
  void InjectInput(int node, const uint8_t* data, size_t size);

  std::mutex& Mutex() { return mutex_; }
  // With Mutex() held: the oldest waiting report of endpoint, if any.
  bool PopLocked(SimEndpoint& endpoint, std::vector<uint8_t>* report);

  // Runs fn on the hub's timer thread after ms (without the hub's lock).
  void RunAfter(uint32_t ms, std::function<void()> fn);

 private:
  struct Timer {
    uint64_t due_ms;
    uint64_t seq;
    std::function<void()> fn;
  };
  void DeliverLocked(int node, uint64_t epoch, const uint8_t* data, size_t size);
  void TimerLoop();
  void NotifyPlug(bool plugged);

  CSimKeyboard keyboard_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool plugged_ = true;
  uint64_t epoch_ = 1;
  std::vector<std::shared_ptr<SimEndpoint>> endpoints_;
  std::function<void(bool)> plug_listener_;
  std::mutex listener_mutex_;

  std::mutex timer_mutex_;
  std::condition_variable timer_cv_;
  std::vector<Timer> timers_;
  uint64_t timer_seq_ = 0;
  bool stopping_ = false;
  std::thread timer_thread_;
};

}  // namespace orvane
