// The Linux HID node layer: hidraw nodes found under <sys root>/class/hidraw, opened under
// <dev root>. Both roots are constructor arguments so the same code runs against a tree made by
// the simulated keyboard or a test. The default instance takes them from ORVANE_SYS_ROOT and
// ORVANE_DEV_ROOT (default "/sys" and "/dev").
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/hid_backend.h"

namespace orvane {

class HidrawBackend : public IHidBackend {
 public:
  explicit HidrawBackend(std::string sys_root = "/sys", std::string dev_root = "/dev");
  // Roots from ORVANE_SYS_ROOT / ORVANE_DEV_ROOT when set and not empty.
  static std::unique_ptr<HidrawBackend> FromEnvironment();

  std::vector<HidNodeInfo> EnumerateNodes() override;
  std::unique_ptr<IHidNode> OpenNode(const std::string& node, bool read, bool write,
                                     HidOpenError* error) override;

  const std::string& SysRoot() const { return sys_root_; }
  const std::string& DevRoot() const { return dev_root_; }

 private:
  std::string sys_root_;
  std::string dev_root_;
};

// Bus, vendor and product from the HID_ID line of a HID device's sysfs uevent file
// ("HID_ID=0003:00000C45:00007650", fields in hex). False when the line is missing or malformed;
// info is then left as it was.
bool ParseHidUevent(const std::vector<uint8_t>& text, HidNodeInfo* info);

// One open hidraw node (or anything that behaves like one: a test may hand in a socket).
// Reads poll the descriptor and an eventfd used as the cancel event. Writes run on the node's own
// writer thread: write() on hidraw can block in the kernel for seconds on a stuck device, so the
// report is copied into a buffer the thread owns, the caller waits only its time-out, and no new
// write starts while one is still in the kernel (Busy).
class HidrawNode : public IHidNode {
 public:
  // Takes ownership of fd (made non-blocking). nullptr if the helper objects cannot be created
  // (fd is closed then).
  static std::unique_ptr<HidrawNode> Adopt(int fd);
  ~HidrawNode() override;
  HidrawNode(const HidrawNode&) = delete;
  HidrawNode& operator=(const HidrawNode&) = delete;

  HidIoStatus Write(const uint8_t* data, size_t size, int timeout_ms) override;
  HidIoStatus Read(uint8_t* buf, size_t cap, size_t* got, int timeout_ms) override;
  void DrainInput() override;
  void Cancel() override;

  // True while a write handed to the writer thread has not come back from the kernel.
  bool WriteInFlight();

 private:
  HidrawNode(int fd, int cancel_fd, int stop_fd);
  void WriterLoop();
  HidIoStatus WriteNow(const std::vector<uint8_t>& data);

  int fd_;
  int cancel_fd_;  // eventfd: Cancel()
  int stop_fd_;    // eventfd: destruction, wakes the writer from a poll
  std::atomic<uint64_t> cancel_gen_{0};
  std::atomic<bool> dead_{false};

  std::mutex read_mutex_;
  std::vector<uint8_t> read_buf_;

  std::mutex write_mutex_;
  std::condition_variable write_cv_;
  std::vector<uint8_t> write_buf_;  // owned here until the kernel returns
  bool job_ = false;
  bool in_flight_ = false;
  bool stop_ = false;
  uint64_t job_seq_ = 0;
  uint64_t done_seq_ = 0;
  HidIoStatus write_result_ = HidIoStatus::Ok;
  std::thread writer_;
};

}  // namespace orvane
