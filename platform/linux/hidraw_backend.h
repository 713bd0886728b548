// The Linux HID node layer: hidraw nodes found under <sys root>/class/hidraw, opened under
// <dev root>. Both roots are constructor arguments so the same code runs against a tree made by
// the simulated keyboard or a test. The default instance takes them from ORVANE_SYS_ROOT and
// ORVANE_DEV_ROOT (default "/sys" and "/dev"). OpenNode opens only what is a hidraw node: the
// character device whose number sysfs gives for the entry, or a file served through FUSE (the
// simulated keyboard); anything else fails with NotADevice.
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
  // The node's device number and the sysfs device its class entry leads to (the kernel gives a
  // re-plugged device a new one even when the node keeps its name and number).
  std::string NodeIdentity(const std::string& node) override;

  // false: OpenNode opens whatever the path names, for a test whose FIFO stands in for a device.
  void SetNodeCheck(bool check) { node_check_ = check; }

  const std::string& SysRoot() const { return sys_root_; }
  const std::string& DevRoot() const { return dev_root_; }

 private:
  // True when the open fd is the node it claims to be (see OpenNode's NotADevice).
  bool IsHidrawNode(int fd, const std::string& node) const;

  std::string sys_root_;
  std::string dev_root_;
  bool node_check_ = true;
};

// Bus, vendor and product from the HID_ID line of a HID device's sysfs uevent file
// ("HID_ID=0003:00000C45:00007650", fields in hex). False when the line is missing or malformed;
// info is then left as it was.
bool ParseHidUevent(const std::vector<uint8_t>& text, HidNodeInfo* info);

// One open hidraw node (or anything that behaves like one: a test may hand in a socket).
// Reads poll the descriptor and an eventfd used as the cancel event. Writes run on the node's own
// writer thread: write() on hidraw can block in the kernel for seconds on a stuck device, so the
// report is copied into a buffer the thread owns, the caller waits only its time-out, and no new
// write starts while one is still in the kernel (Busy). Destroying the node never waits for such
// a write: the thread is left with the descriptor and its buffer and ends when the kernel returns.
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
  struct Shared;
  HidrawNode(std::shared_ptr<Shared> shared, int cancel_fd);
  static void WriterLoop(std::shared_ptr<Shared> shared);
  static HidIoStatus WriteNow(Shared& shared);

  std::shared_ptr<Shared> s_;
  int fd_;         // s_->fd, for reads
  int cancel_fd_;  // eventfd: Cancel()
  std::atomic<uint64_t> cancel_gen_{0};
  std::mutex read_mutex_;
  std::vector<uint8_t> read_buf_;
  std::thread writer_;
};

}  // namespace orvane
