// Whole-file reads and crash-safe whole-file writes. A write goes to a temporary file in the same
// folder, is flushed to disk, then renamed over the target: readers see the old file or the new
// one, never a half-written one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// The file's bytes, or nothing if it cannot be read. Files over max_size are refused.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path,
                                                  size_t max_size = 64u << 20);
std::optional<std::string> ReadTextFile(const std::string& path, size_t max_size = 64u << 20);

// False (and the old file untouched) when any step fails.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size);
inline bool WriteFileAtomic(const std::string& path, const std::string& text) {
  return WriteFileAtomic(path, text.data(), text.size());
}
inline bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  return WriteFileAtomic(path, bytes.data(), bytes.size());
}

// An advisory lock held for the object's lifetime on a lock file (created if needed), so that
// several processes can serialise read-modify-write cycles of a shared file.
class FileLock {
 public:
  FileLock(const std::string& lock_path, bool exclusive);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace orvane
