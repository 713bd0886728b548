// hidraw enumeration through sysfs files (uevent, report_descriptor, the USB parent's
// bcdDevice) and node I/O with poll(), an eventfd cancel event and a writer thread.
#include "platform/linux/hidraw_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <linux/futex.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "platform/files.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxSysfsFile = 65536;
constexpr size_t kReadBuffer = 16384;    // larger than any report hidraw hands out
constexpr int kMaxDrainReports = 4096;   // a device flooding input cannot hold DrainInput forever
constexpr unsigned long kFuseSuperMagic = 0x65735546;

// The writer hand-off waits on bare futex words: a mutex and condition variable cost a woken
// thread a second sleep on the mutex its waker still holds, which doubled the switches of a
// transaction. A waiter reads the word, checks its condition, and sleeps only while the word
// still holds what it read, so a change made in between is never missed.
void FutexWait(std::atomic<uint32_t>& word, uint32_t seen, const timespec* relative) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, seen, relative,
            nullptr, 0);
}

void FutexWakeAll(std::atomic<uint32_t>& word) {
  word.fetch_add(1);
  ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr,
            nullptr, 0);
}

bool ReadSmallFile(const std::string& path, std::vector<uint8_t>* out) {
  // Through the platform's reader, so a FIFO or a device put into a tree given as the sysfs root
  // is refused at once instead of blocking the enumeration.
  auto bytes = ReadWholeFile(path, kMaxSysfsFile);
  if (!bytes) {
    out->clear();
    return false;
  }
  *out = std::move(*bytes);
  return true;
}

bool ParseHexField(const std::string& s, uint32_t* out) {
  if (s.empty() || s.size() > 8) return false;
  uint32_t v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  *out = v;
  return true;
}

// "HID_ID=0003:00000C45:00007650" -> bus, vendor, product.
bool ParseUevent(const std::vector<uint8_t>& text, HidNodeInfo* info) {
  const std::string s(text.begin(), text.end());
  size_t pos = 0;
  while (pos < s.size()) {
    size_t end = s.find('\n', pos);
    if (end == std::string::npos) end = s.size();
    const std::string line = s.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("HID_ID=", 0) != 0) continue;
    const std::string v = line.substr(7);
    const size_t c1 = v.find(':');
    const size_t c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
    if (c2 == std::string::npos) return false;
    uint32_t bus, vid, pid;
    if (!ParseHexField(v.substr(0, c1), &bus) || !ParseHexField(v.substr(c1 + 1, c2 - c1 - 1), &vid) ||
        !ParseHexField(v.substr(c2 + 1), &pid) || bus > 0xFFFF || vid > 0xFFFF || pid > 0xFFFF)
      return false;
    info->bus_type = static_cast<uint16_t>(bus);
    info->vendor_id = static_cast<uint16_t>(vid);
    info->product_id = static_cast<uint16_t>(pid);
    return true;
  }
  return false;
}

// The version is the USB device's bcdDevice, a few levels above the HID device in sysfs.
uint16_t FindVersion(const std::string& device_dir, const std::string& sys_root) {
  std::error_code ec;
  fs::path dir = fs::canonical(device_dir, ec);
  if (ec) return 0;
  const fs::path root = fs::canonical(sys_root, ec);
  for (int level = 0; level < 4 && !dir.empty(); ++level) {
    std::vector<uint8_t> text;
    if (ReadSmallFile((dir / "bcdDevice").string(), &text)) {
      std::string s(text.begin(), text.end());
      while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
      uint32_t v;
      return ParseHexField(s, &v) && v <= 0xFFFF ? static_cast<uint16_t>(v) : 0;
    }
    if (dir == root || dir == dir.parent_path()) break;
    dir = dir.parent_path();
  }
  return 0;
}

// hidraw2 before hidraw10.
bool NodeNameLess(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool IsGoneErrno(int e) { return e == ENODEV || e == EIO || e == ESHUTDOWN || e == EPIPE || e == ENXIO; }

std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

}  // namespace

bool ParseHidUevent(const std::vector<uint8_t>& text, HidNodeInfo* info) {
  return ParseUevent(text, info);
}

HidrawBackend::HidrawBackend(std::string sys_root, std::string dev_root)
    : sys_root_(std::move(sys_root)), dev_root_(std::move(dev_root)) {}

std::unique_ptr<HidrawBackend> HidrawBackend::FromEnvironment() {
  return std::make_unique<HidrawBackend>(EnvOr("ORVANE_SYS_ROOT", "/sys"),
                                         EnvOr("ORVANE_DEV_ROOT", "/dev"));
}

std::vector<HidNodeInfo> HidrawBackend::EnumerateNodes() {
  std::vector<HidNodeInfo> nodes;
  const std::string class_dir = sys_root_ + "/class/hidraw";
  DIR* dir = ::opendir(class_dir.c_str());
  if (!dir) return nodes;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() > 6 && name.compare(0, 6, "hidraw") == 0 &&
        std::all_of(name.begin() + 6, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), NodeNameLess);
  for (const std::string& name : names) {
    const std::string device_dir = class_dir + "/" + name + "/device";
    HidNodeInfo info;
    std::vector<uint8_t> uevent;
    if (!ReadSmallFile(device_dir + "/uevent", &uevent) || !ParseUevent(uevent, &info)) continue;
    if (!ReadSmallFile(device_dir + "/report_descriptor", &info.report_descriptor)) continue;
    info.node = dev_root_ + "/" + name;
    struct stat st;
    if (::stat(info.node.c_str(), &st) != 0) continue;  // listed, but no node: not usable
    info.accessible = ::access(info.node.c_str(), R_OK | W_OK) == 0;
    info.version = FindVersion(device_dir, sys_root_);
    nodes.push_back(std::move(info));
  }
  return nodes;
}

std::unique_ptr<IHidNode> HidrawBackend::OpenNode(const std::string& node, bool read, bool write,
                                                  HidOpenError* error) {
  HidOpenError scratch;
  if (!error) error = &scratch;
  int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  const int fd = ::open(node.c_str(), flags);
  if (fd < 0) {
    switch (errno) {
      case ENOENT: case ENODEV: case ENXIO: *error = HidOpenError::NotFound; break;
      case EACCES: case EPERM: *error = HidOpenError::NoPermission; break;
      case EBUSY: *error = HidOpenError::Busy; break;
      default: *error = HidOpenError::Other; break;
    }
    return nullptr;
  }
  if (node_check_ && !IsHidrawNode(fd, node)) {
    ::close(fd);
    *error = HidOpenError::NotADevice;
    return nullptr;
  }
  auto n = HidrawNode::Adopt(fd);
  *error = n ? HidOpenError::None : HidOpenError::Other;
  return n;
}

std::string HidrawBackend::NodeIdentity(const std::string& node) {
  struct stat st;
  if (::stat(node.c_str(), &st) != 0) return {};
  const size_t slash = node.rfind('/');
  const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
  std::error_code ec;
  const fs::path device = fs::canonical(sys_root_ + "/class/hidraw/" + name, ec);
  if (ec) return {};
  return std::to_string(static_cast<unsigned long long>(st.st_rdev)) + " " + device.string();
}

// A FIFO or a plain file would hang a read or hand our own requests back as replies, and another
// character device (/dev/zero) answers anything: the node must be the character device that
// sysfs lists for this hidraw entry. A file served from user space through FUSE stands in for
// one, as the simulated keyboard serves its nodes (a device file on a FUSE mount would open the
// kernel's driver instead).
bool HidrawBackend::IsHidrawNode(int fd, const std::string& node) const {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  if (S_ISREG(st.st_mode)) {
    struct statfs fs;
    return ::fstatfs(fd, &fs) == 0 && static_cast<unsigned long>(fs.f_type) == kFuseSuperMagic;
  }
  if (!S_ISCHR(st.st_mode)) return false;
  const size_t slash = node.rfind('/');
  const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
  std::vector<uint8_t> text;
  if (!ReadSmallFile(sys_root_ + "/class/hidraw/" + name + "/dev", &text)) return false;
  std::string s(text.begin(), text.end());
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  const size_t colon = s.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= s.size() || s.size() > 24) return false;
  unsigned long major = 0, minor = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i == colon) continue;
    if (s[i] < '0' || s[i] > '9') return false;
    unsigned long& part = i < colon ? major : minor;
    part = part * 10 + static_cast<unsigned long>(s[i] - '0');
  }
  return st.st_rdev == makedev(major, minor);
}

// ---------------------------------------------------------------------------------------------

// What the node and its writer thread share. The thread holds its own reference, so a node
// destroyed while a write is stuck in the kernel leaves this (and the descriptors, closed with
// it) to the thread, which lets go when the kernel gives the write back, or when the process ends.
struct HidrawNode::Shared {
  Shared(int fd_in, int stop_fd_in) : fd(fd_in), stop_fd(stop_fd_in) {}
  ~Shared() {
    ::close(fd);
    ::close(stop_fd);
  }
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;

  const int fd;
  const int stop_fd;  // eventfd: the node is going, wakes the writer from a poll
  std::atomic<bool> dead{false};

  std::mutex mutex;          // guards buf, in_flight and result
  std::vector<uint8_t> buf;  // owned here until the kernel returns
  bool in_flight = false;
  HidIoStatus result = HidIoStatus::Ok;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> job_seq{0};   // the latest write handed over
  std::atomic<uint64_t> done_seq{0};  // the latest write the kernel returned
  std::atomic<uint32_t> writer_wake{0};  // changes on a new job and on stop
  std::atomic<uint32_t> caller_wake{0};  // changes when a write ends, on cancel and on stop
};

std::unique_ptr<HidrawNode> HidrawNode::Adopt(int fd) {
  if (fd < 0) return nullptr;
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl | O_NONBLOCK);
  const int cancel_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  const int stop_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (cancel_fd < 0 || stop_fd < 0) {
    if (cancel_fd >= 0) ::close(cancel_fd);
    if (stop_fd >= 0) ::close(stop_fd);
    ::close(fd);
    return nullptr;
  }
  std::shared_ptr<Shared> shared;
  try {
    shared = std::make_shared<Shared>(fd, stop_fd);
  } catch (...) {
    ::close(fd);
    ::close(cancel_fd);
    ::close(stop_fd);
    return nullptr;
  }
  try {
    return std::unique_ptr<HidrawNode>(new HidrawNode(std::move(shared), cancel_fd));
  } catch (...) {  // allocation failed; shared closes fd and stop_fd
    ::close(cancel_fd);
    return nullptr;
  }
}

HidrawNode::HidrawNode(std::shared_ptr<Shared> shared, int cancel_fd)
    : s_(std::move(shared)), fd_(s_->fd), cancel_fd_(cancel_fd), read_buf_(kReadBuffer) {}

HidrawNode::~HidrawNode() {
  bool stuck = false;
  {
    std::lock_guard lock(s_->mutex);
    s_->stop = true;
    stuck = s_->in_flight;
  }
  FutexWakeAll(s_->writer_wake);
  FutexWakeAll(s_->caller_wake);
  const uint64_t one = 1;
  (void)!::write(s_->stop_fd, &one, sizeof one);
  if (writer_.joinable()) {
    // A write still in the kernel may stay there for as long as the device likes; ending the
    // program must not wait for it. The thread keeps what it uses and ends on its own.
    if (stuck) writer_.detach();
    else writer_.join();
  }
  ::close(cancel_fd_);
}

void HidrawNode::Cancel() {
  cancel_gen_.fetch_add(1);
  const uint64_t one = 1;
  (void)!::write(cancel_fd_, &one, sizeof one);
  FutexWakeAll(s_->caller_wake);
}

HidIoStatus HidrawNode::Read(uint8_t* buf, size_t cap, size_t* got, int timeout_ms) {
  *got = 0;
  if (s_->dead) return HidIoStatus::Disconnected;
  std::lock_guard lock(read_mutex_);
  const uint64_t gen = cancel_gen_.load();
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    const ssize_t n = ::read(fd_, read_buf_.data(), read_buf_.size());
    if (n > 0) {
      const size_t copy = std::min(static_cast<size_t>(n), cap);
      if (copy) std::memcpy(buf, read_buf_.data(), copy);
      *got = copy;
      return HidIoStatus::Ok;
    }
    if (n == 0) {  // end of file: the other side is gone
      s_->dead = true;
      return HidIoStatus::Disconnected;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      if (IsGoneErrno(errno)) {
        s_->dead = true;
        return HidIoStatus::Disconnected;
      }
      return HidIoStatus::Error;
    }
    int wait = -1;
    if (timeout_ms >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return HidIoStatus::Timeout;
      wait = static_cast<int>(left);
    }
    pollfd fds[2] = {{fd_, POLLIN, 0}, {cancel_fd_, POLLIN, 0}};
    const int r = ::poll(fds, 2, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      return HidIoStatus::Error;
    }
    if (r == 0) return HidIoStatus::Timeout;
    if (fds[1].revents & POLLIN) {
      if (cancel_gen_.load() != gen) return HidIoStatus::Cancelled;
      uint64_t count;  // left over from a Cancel before this read began
      (void)!::read(cancel_fd_, &count, sizeof count);
    }
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLIN)) {
      s_->dead = true;
      return HidIoStatus::Disconnected;
    }
  }
}

void HidrawNode::DrainInput() {
  if (s_->dead) return;
  // With a write still in the kernel the next write is refused anyway, and a read on the same
  // descriptor may have to wait behind the stuck write (it does on a FUSE-served node).
  if (WriteInFlight()) return;
  std::lock_guard lock(read_mutex_);
  for (int i = 0; i < kMaxDrainReports; ++i) {
    const ssize_t n = ::read(fd_, read_buf_.data(), read_buf_.size());
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (n < 0 && IsGoneErrno(errno))) s_->dead = true;
    return;
  }
}

bool HidrawNode::WriteInFlight() {
  std::lock_guard lock(s_->mutex);
  return s_->in_flight;
}

HidIoStatus HidrawNode::Write(const uint8_t* data, size_t size, int timeout_ms) {
  if (s_->dead) return HidIoStatus::Disconnected;
  if (size == 0) return HidIoStatus::Error;
  Shared& s = *s_;
  const uint64_t gen = cancel_gen_.load();
  uint64_t seq = 0;
  {
    std::lock_guard lock(s.mutex);
    if (s.in_flight) return HidIoStatus::Busy;
    try {
      s.buf.assign(data, data + size);
      // The writer starts with the first write: opens that only read, or only probe that the
      // node is still there, cost no thread.
      if (!writer_.joinable()) writer_ = std::thread([shared = s_] { WriterLoop(shared); });
    } catch (...) {  // allocation or thread creation failed
      return HidIoStatus::Error;
    }
    s.in_flight = true;
    seq = s.job_seq.load() + 1;
    s.job_seq.store(seq);
  }
  FutexWakeAll(s.writer_wake);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    const uint32_t seen = s.caller_wake.load();
    if (s.done_seq.load() == seq || cancel_gen_.load() != gen || s.stop) break;
    if (timeout_ms < 0) {
      FutexWait(s.caller_wake, seen, nullptr);
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    const timespec wait{static_cast<time_t>(left.count() / 1000000000),
                        static_cast<long>(left.count() % 1000000000)};
    FutexWait(s.caller_wake, seen, &wait);
  }
  std::lock_guard lock(s.mutex);
  if (s.done_seq.load() == seq) return s.result;
  // The write stays with the writer thread and its buffer until the kernel returns.
  return cancel_gen_.load() != gen ? HidIoStatus::Cancelled : HidIoStatus::Timeout;
}

HidIoStatus HidrawNode::WriteNow(Shared& s) {
  for (;;) {
    const ssize_t n = ::write(s.fd, s.buf.data(), s.buf.size());
    if (n == static_cast<ssize_t>(s.buf.size())) return HidIoStatus::Ok;
    if (n >= 0) return HidIoStatus::Error;  // hidraw takes a report whole or not at all
    const int e = errno;
    if (e == EINTR) continue;
    if (e == EPIPE) {  // a socket or FIFO stand-in: consume the SIGPIPE blocked in this thread
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      const timespec zero{0, 0};
      ::sigtimedwait(&pipe, nullptr, &zero);
    }
    if (IsGoneErrno(e)) {
      s.dead = true;
      return HidIoStatus::Disconnected;
    }
    if (e != EAGAIN && e != EWOULDBLOCK) return HidIoStatus::Error;
    pollfd fds[2] = {{s.fd, POLLOUT, 0}, {s.stop_fd, POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0 && errno != EINTR) return HidIoStatus::Error;
    if (fds[1].revents & POLLIN) return HidIoStatus::Cancelled;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLOUT)) {
      s.dead = true;
      return HidIoStatus::Disconnected;
    }
  }
}

void HidrawNode::WriterLoop(std::shared_ptr<Shared> shared) {
  // A vanished reader of a socket or FIFO stand-in must not kill the process.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  Shared& s = *shared;
  uint64_t handled = 0;
  for (;;) {
    const uint32_t seen = s.writer_wake.load();
    if (s.stop) return;
    const uint64_t seq = s.job_seq.load();
    if (seq == handled) {
      FutexWait(s.writer_wake, seen, nullptr);
      continue;
    }
    handled = seq;
    const HidIoStatus result = WriteNow(s);  // buffer untouched while in_flight
    {
      std::lock_guard lock(s.mutex);
      s.result = result;
      s.in_flight = false;
      s.done_seq.store(seq);
    }
    FutexWakeAll(s.caller_wake);
  }
}

}  // namespace orvane
