// One keyboard, one user of it at a time, across every process of this user: an advisory lock
// (flock) on a file in the per-user runtime folder whose name comes from the keyboard's interface
// path. The lock is taken only for the length of one exchange with the keyboard and dropped by
// the kernel when its holder ends, however it ends (a killed holder frees the keyboard at once).
#pragma once

#include <memory>
#include <string>

namespace orvane {

class KeyboardLockFile {
 public:
  // Opens (creating, mode 0600) the lock file for the keyboard at interface_path in folder
  // (RuntimeFolder() when empty). nullptr when it cannot be opened.
  static std::unique_ptr<KeyboardLockFile> Open(const std::string& interface_path,
                                                const std::string& folder = std::string());
  ~KeyboardLockFile();  // closing releases a lock still held
  KeyboardLockFile(const KeyboardLockFile&) = delete;
  KeyboardLockFile& operator=(const KeyboardLockFile&) = delete;

  // Takes the lock, waiting up to timeout_ms for another holder to let go; false if it did not.
  // A file system that cannot lock at all counts as taken: the lock is advisory, the keyboard
  // must stay usable.
  bool Lock(int timeout_ms);
  void Unlock();
  const std::string& Path() const { return path_; }

 private:
  KeyboardLockFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

// The lock file's name (no folder) for an interface path: readable characters of the path and a
// hash of all of it, so two paths never share a file and the name stays short.
std::string KeyboardLockFileName(const std::string& interface_path);

}  // namespace orvane
