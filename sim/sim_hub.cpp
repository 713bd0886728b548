#include "sim/sim_hub.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/tick.h"

namespace orvane {

namespace {

const std::vector<uint8_t> kBootKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,              // modifiers E0-E7
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,  //
    0x81, 0x02,                                      // Input (Data, Var, Abs)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01,  // LEDs
    0x29, 0x05, 0x91, 0x02,                          //
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // six keys
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  // Input (Data, Array, Abs)
    0xC0,
};

const std::vector<uint8_t> kVendorNodeDescriptor = {
    // Consumer control: one 16-bit usage per report.
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // Consumer, Consumer Control, Application
    0x85, kSimConsumerReportId,          // Report ID
    0x15, 0x00, 0x26, 0xFF, 0x1F,        // Logical 0..0x1FFF
    0x19, 0x00, 0x2A, 0xFF, 0x1F,        // Usage 0..0x1FFF
    0x75, 0x10, 0x95, 0x01,              // 16 bits x 1
    0x81, 0x00,                          // Input (Data, Array, Abs)
    0xC0,
    // Vendor command channel: 63 data bytes each way behind report ID 4.
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01,  // Usage Page 0xFF1C, Usage 0x92, Application
    0x85, kCommandReportId,                  // Report ID
    0x15, 0x00, 0x26, 0xFF, 0x00,              // Logical 0..255
    0x75, 0x08, 0x95, 0x3F,                    // 8 bits x 63
    0x09, 0x01, 0x81, 0x02,                    // Input (Data, Var, Abs)
    0x09, 0x01, 0x91, 0x02,                    // Output (Data, Var, Abs)
    0xC0,
};

}  // namespace

const std::vector<uint8_t>& SimReportDescriptor(int node) {
  return node == kSimBootKeyboardNode ? kBootKeyboardDescriptor : kVendorNodeDescriptor;
}

CSimHub::CSimHub() : CSimHub(SimMemory::Factory()) {}

CSimHub::CSimHub(SimMemory memory) : keyboard_(std::move(memory)) {
  timer_thread_ = std::thread([this] { TimerLoop(); });
}

CSimHub::~CSimHub() {
  {
    std::lock_guard<std::mutex> lock(timer_mutex_);
    stopping_ = true;
  }
  timer_cv_.notify_all();
  timer_thread_.join();
}

bool CSimHub::IsPlugged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return plugged_;
}

void CSimHub::SetPlugListener(std::function<void(bool)> listener) {
  std::lock_guard<std::mutex> lock(listener_mutex_);
  plug_listener_ = std::move(listener);
}

void CSimHub::NotifyPlug(bool plugged) {
  std::lock_guard<std::mutex> lock(listener_mutex_);
  if (plug_listener_) plug_listener_(plugged);
}

uint64_t CSimHub::Epoch() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return epoch_;
}

void CSimHub::Plug() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugged_) return;
    plugged_ = true;
    ++epoch_;
  }
  // A keyboard that comes back has restarted, so it is out of its boot loader.
  keyboard_.LeaveBootMode();
  NotifyPlug(true);
}

void CSimHub::Unplug() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!plugged_) return;
    plugged_ = false;
    for (auto& ep : endpoints_) {
      ep->gone = true;
      if (ep->on_change) ep->on_change();
    }
    endpoints_.clear();
  }
  changed_.notify_all();
  NotifyPlug(false);
}

std::shared_ptr<SimEndpoint> CSimHub::Open(int node, bool read, bool write, HidOpenError* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!plugged_ || node < 0 || node >= kSimNodeCount) {
    if (error) *error = HidOpenError::NotFound;
    return nullptr;
  }
  auto ep = std::make_shared<SimEndpoint>();
  ep->node = node;
  ep->epoch = epoch_;
  ep->readable = read;
  ep->writable = write;
  endpoints_.push_back(ep);
  if (error) *error = HidOpenError::None;
  return ep;
}

void CSimHub::Close(const std::shared_ptr<SimEndpoint>& endpoint) {
  if (!endpoint) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    endpoints_.erase(std::remove(endpoints_.begin(), endpoints_.end(), endpoint), endpoints_.end());
    endpoint->gone = true;
    ++endpoint->cancel_count;
  }
  changed_.notify_all();
}

void CSimHub::DeliverLocked(int node, uint64_t epoch, const uint8_t* data, size_t size) {
  if (!plugged_ || epoch != epoch_) return;  // a reply of a keyboard that has since gone
  for (auto& ep : endpoints_) {
    if (ep->node != node || ep->gone || !ep->readable) continue;
    if (ep->queue.size() >= kSimInputQueueLimit) continue;
    ep->queue.emplace_back(data, data + size);
    if (ep->on_change) ep->on_change();
  }
  changed_.notify_all();
}

void CSimHub::InjectInput(int node, const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  DeliverLocked(node, epoch_, data, size);
}

void CSimHub::SendConsumerEvent(uint16_t usage) {
  const SimReport press = CSimKeyboard::ConsumerReport(usage);
  const SimReport release = CSimKeyboard::ConsumerReport(0);
  std::lock_guard<std::mutex> lock(mutex_);
  DeliverLocked(kSimVendorNode, epoch_, press.data(), 3);
  DeliverLocked(kSimVendorNode, epoch_, release.data(), 3);
}

HidIoStatus CSimHub::Write(SimEndpoint& endpoint, const uint8_t* data, size_t size) {
  uint64_t epoch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endpoint.gone || !plugged_) return HidIoStatus::Disconnected;
    if (!endpoint.writable) return HidIoStatus::Error;
    epoch = endpoint.epoch;
  }
  if (endpoint.node != kSimVendorNode) return HidIoStatus::Ok;  // LED reports: nothing to do
  if (keyboard_.RefusesWrites()) return HidIoStatus::Error;
  const SimOutcome outcome = keyboard_.HandleRequest(data, size);
  if (outcome.reply) {
    const SimReport reply = *outcome.reply;
    if (outcome.delay_ms == 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      DeliverLocked(kSimVendorNode, epoch, reply.data(), reply.size());
    } else {
      RunAfter(outcome.delay_ms, [this, epoch, reply] {
        std::lock_guard<std::mutex> lock(mutex_);
        DeliverLocked(kSimVendorNode, epoch, reply.data(), reply.size());
      });
    }
  }
  if (outcome.vanish) Unplug();
  return HidIoStatus::Ok;
}

bool CSimHub::PopLocked(SimEndpoint& endpoint, std::vector<uint8_t>* report) {
  if (endpoint.queue.empty()) return false;
  *report = std::move(endpoint.queue.front());
  endpoint.queue.pop_front();
  return true;
}

HidIoStatus CSimHub::Read(SimEndpoint& endpoint, uint8_t* buf, size_t cap, size_t* got,
                          int timeout_ms) {
  if (got) *got = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!endpoint.readable) return HidIoStatus::Error;
  const uint64_t cancel_at_start = endpoint.cancel_count;
  auto ready = [&] {
    return !endpoint.queue.empty() || endpoint.gone || endpoint.cancel_count != cancel_at_start;
  };
  if (timeout_ms < 0) {
    changed_.wait(lock, ready);
  } else {
    changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
  }
  std::vector<uint8_t> report;
  if (PopLocked(endpoint, &report)) {
    const size_t n = std::min(cap, report.size());
    if (n > 0) std::memcpy(buf, report.data(), n);
    if (got) *got = n;
    return HidIoStatus::Ok;
  }
  if (endpoint.cancel_count != cancel_at_start) return HidIoStatus::Cancelled;
  if (endpoint.gone) return HidIoStatus::Disconnected;
  return HidIoStatus::Timeout;
}

bool CSimHub::WaitInterruptibly(SimEndpoint& endpoint, uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t cancel_at_start = endpoint.cancel_count;
  changed_.wait_for(lock, std::chrono::milliseconds(ms),
                    [&] { return endpoint.gone || endpoint.cancel_count != cancel_at_start; });
  return !endpoint.gone && endpoint.cancel_count == cancel_at_start;
}

void CSimHub::Drain(SimEndpoint& endpoint) {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoint.queue.clear();
}

void CSimHub::Cancel(SimEndpoint& endpoint) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++endpoint.cancel_count;
  }
  changed_.notify_all();
}

void CSimHub::RunAfter(uint32_t ms, std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(timer_mutex_);
    timers_.push_back(Timer{TickCountMs() + ms, timer_seq_++, std::move(fn)});
  }
  timer_cv_.notify_all();
}

void CSimHub::TimerLoop() {
  std::unique_lock<std::mutex> lock(timer_mutex_);
  while (!stopping_) {
    if (timers_.empty()) {
      timer_cv_.wait(lock);
      continue;
    }
    auto next = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
      return a.due_ms != b.due_ms ? a.due_ms < b.due_ms : a.seq < b.seq;
    });
    const uint64_t now = TickCountMs();
    if (next->due_ms > now) {
      timer_cv_.wait_for(lock, std::chrono::milliseconds(next->due_ms - now));
      continue;
    }
    std::function<void()> fn = std::move(next->fn);
    timers_.erase(next);
    lock.unlock();
    fn();
    lock.lock();
  }
}

}  // namespace orvane
