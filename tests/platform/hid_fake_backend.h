// An in-memory IHidBackend for tests: nodes with a descriptor, an input queue the test fills,
// and a record of every write. Each open gets its own input queue, as hidraw gives each open
// its own copy of the input.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/hid_backend.h"

namespace orvane::test {

class FakeHidNode;

struct FakeNodeShared {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<FakeHidNode*> opens;
  std::vector<std::vector<uint8_t>> writes;
  // Called for every write, with the lock released; may Push a reply.
  std::function<void(const std::vector<uint8_t>&)> on_write;
  bool gone = false;
  // Pause at the start of every Read, before it starts waiting: widens the window in which a
  // Cancel arrives too early to end that wait.
  std::atomic<int> read_entry_delay_ms{0};
};

class FakeHidNode : public IHidNode {
 public:
  explicit FakeHidNode(std::shared_ptr<FakeNodeShared> s) : s_(std::move(s)) {
    std::lock_guard lock(s_->mutex);
    s_->opens.push_back(this);
  }
  ~FakeHidNode() override {
    std::lock_guard lock(s_->mutex);
    std::erase(s_->opens, this);
  }
  HidIoStatus Write(const uint8_t* data, size_t size, int) override {
    std::vector<uint8_t> w(data, data + size);
    std::function<void(const std::vector<uint8_t>&)> hook;
    {
      std::lock_guard lock(s_->mutex);
      if (s_->gone) return HidIoStatus::Disconnected;
      s_->writes.push_back(w);
      hook = s_->on_write;
    }
    if (hook) hook(w);
    return HidIoStatus::Ok;
  }
  HidIoStatus Read(uint8_t* buf, size_t cap, size_t* got, int timeout_ms) override {
    *got = 0;
    if (const int delay = s_->read_entry_delay_ms.load())
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    std::unique_lock lock(s_->mutex);
    const uint64_t gen = cancel_gen_;
    auto ready = [&] { return !queue_.empty() || s_->gone || cancel_gen_ != gen; };
    if (timeout_ms < 0) {
      s_->cv.wait(lock, ready);
    } else if (!s_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
      return HidIoStatus::Timeout;
    }
    if (cancel_gen_ != gen) return HidIoStatus::Cancelled;
    if (queue_.empty()) return HidIoStatus::Disconnected;
    const auto& r = queue_.front();
    const size_t n = std::min(cap, r.size());
    std::copy(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n), buf);
    *got = n;
    queue_.pop_front();
    return HidIoStatus::Ok;
  }
  void DrainInput() override {
    std::lock_guard lock(s_->mutex);
    queue_.clear();
  }
  void Cancel() override {
    std::lock_guard lock(s_->mutex);
    ++cancel_gen_;
    s_->cv.notify_all();
  }
  // Called with s_->mutex held.
  void PushLocked(std::vector<uint8_t> r) { queue_.push_back(std::move(r)); }

 private:
  std::shared_ptr<FakeNodeShared> s_;
  std::deque<std::vector<uint8_t>> queue_;
  uint64_t cancel_gen_ = 0;
};

class FakeHidBackend : public IHidBackend {
 public:
  // Adds a node; returns its shared state (input queue owner, write record).
  std::shared_ptr<FakeNodeShared> AddNode(const std::string& node, uint16_t vid, uint16_t pid,
                                          std::vector<uint8_t> descriptor, uint16_t version = 0) {
    HidNodeInfo info;
    info.node = node;
    info.vendor_id = vid;
    info.product_id = pid;
    info.version = version;
    info.bus_type = 3;
    info.report_descriptor = std::move(descriptor);
    std::lock_guard lock(mutex_);
    nodes_.push_back({info, std::make_shared<FakeNodeShared>()});
    return nodes_.back().shared;
  }
  // Queues an input report on every open of the node, as the device sending it would.
  static void Push(FakeNodeShared& s, std::vector<uint8_t> report) {
    std::lock_guard lock(s.mutex);
    for (FakeHidNode* n : s.opens) n->PushLocked(report);
    s.cv.notify_all();
  }
  static void Unplug(FakeNodeShared& s) {
    std::lock_guard lock(s.mutex);
    s.gone = true;
    s.cv.notify_all();
  }
  std::vector<HidNodeInfo> EnumerateNodes() override {
    std::lock_guard lock(mutex_);
    std::vector<HidNodeInfo> out;
    for (const auto& n : nodes_) out.push_back(n.info);
    return out;
  }
  std::unique_ptr<IHidNode> OpenNode(const std::string& node, bool, bool,
                                     HidOpenError* error) override {
    std::lock_guard lock(mutex_);
    for (const auto& n : nodes_) {
      if (n.info.node != node) continue;
      if (!n.info.accessible) {
        *error = HidOpenError::NoPermission;
        return nullptr;
      }
      *error = HidOpenError::None;
      return std::make_unique<FakeHidNode>(n.shared);
    }
    *error = HidOpenError::NotFound;
    return nullptr;
  }
  // Nodes of a test: never locked against other processes (tests run side by side).
  bool NodesPrivateToProcess() const override { return true; }
  void SetAccessible(const std::string& node, bool accessible) {
    std::lock_guard lock(mutex_);
    for (auto& n : nodes_)
      if (n.info.node == node) n.info.accessible = accessible;
  }

 private:
  struct Entry {
    HidNodeInfo info;
    std::shared_ptr<FakeNodeShared> shared;
  };
  std::mutex mutex_;
  std::vector<Entry> nodes_;
};

// Descriptors of real device kinds, written out by hand.
namespace descriptors {

// Boot keyboard: modifiers, reserved byte, six-key array; five LEDs out.
inline const std::vector<uint8_t> kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,              // Keyboard page, LeftControl..RightGUI
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,  // 0..1, 8 x 1 bit
    0x81, 0x02,                                      // Input (Data, Variable, Absolute)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // reserved byte (Constant)
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08,              // 5 x 1 bit, LED page
    0x19, 0x01, 0x29, 0x05, 0x91, 0x02,              // Num Lock..Kana, Output
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // 6 x 8 bit, 0..101
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  // key array
    0xC0};

// Consumer control with report ID 2: one 16-bit usage array.
inline const std::vector<uint8_t> kConsumer = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02,  // Consumer, Consumer Control, ID 2
    0x15, 0x00, 0x26, 0xFF, 0x3F,                    // logical 0..0x3FFF
    0x19, 0x00, 0x2A, 0xFF, 0x3F,                    // usages 0..0x3FFF
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,              // 1 x 16 bit array
    0xC0};

// Vendor collection: page 0xFF1C, usage 0x92, report ID 4, 64-byte reports both ways.
inline const std::vector<uint8_t> kVendor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04,  //
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F,  // 63 bytes of 0..255
    0x09, 0x92, 0x81, 0x02,                                // Input
    0x09, 0x92, 0x91, 0x02,                                // Output
    0xC0};

// Three-button mouse with wheel, physical collection inside the application collection.
inline const std::vector<uint8_t> kMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,  // Mouse { Pointer {
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,  // buttons 1..3
    0x95, 0x03, 0x75, 0x01, 0x81, 0x02,                          //
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,                          // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,              // X, Y, Wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06,  // -127..127, relative
    0xC0, 0xC0};

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace descriptors
}  // namespace orvane::test
