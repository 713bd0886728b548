#include "platform/keyboard_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "platform/paths.h"

namespace orvane {

namespace {
constexpr size_t kReadablePart = 80;
constexpr int kPollMs = 5;
}  // namespace

std::string KeyboardLockFileName(const std::string& interface_path) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : interface_path) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  std::string readable;
  for (char c : interface_path) {
    if (readable.size() >= kReadablePart) break;
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    readable += plain ? c : '_';
  }
  char tail[24];
  std::snprintf(tail, sizeof tail, "-%016llx", static_cast<unsigned long long>(hash));
  return "orvane-keyboard-" + readable + tail + ".lock";
}

std::unique_ptr<KeyboardLockFile> KeyboardLockFile::Open(const std::string& interface_path,
                                                         const std::string& folder) {
  const std::string dir = folder.empty() ? RuntimeFolder() : folder;
  const std::string path = JoinPath(dir, KeyboardLockFileName(interface_path));
  // O_NOFOLLOW: a link planted in a shared folder must not make us create or lock another file.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
  if (fd < 0) return nullptr;
  return std::unique_ptr<KeyboardLockFile>(new KeyboardLockFile(fd, path));
}

KeyboardLockFile::~KeyboardLockFile() { ::close(fd_); }

bool KeyboardLockFile::Lock(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;  // this folder cannot lock at all: go on without
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
}

void KeyboardLockFile::Unlock() {
  while (::flock(fd_, LOCK_UN) != 0 && errno == EINTR) {
  }
}

}  // namespace orvane
