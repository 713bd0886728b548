// Reading parts of one file through a descriptor held for one operation: judge its size, then
// read exactly the bytes wanted at an offset. For files that outside hands put in place (profile
// files): a FIFO or a device where a file was expected never blocks the open, and anything but a
// regular file has no size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane {

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // Why the open failed: true when nothing is there (so the caller need not tell "missing" from
  // "unreadable" by the system's error numbers).
  bool Missing() const { return missing_; }
  // Size of a regular file; false for anything else.
  bool RegularSize(uint64_t* size) const;
  // Exactly count bytes from offset, or false.
  bool ReadAt(uint64_t offset, uint8_t* out, size_t count) const;

 private:
  int fd_ = -1;
  bool missing_ = false;
};

// True when there is no regular file at path: nothing there (or a missing folder on the way), or
// something else (a folder, a FIFO, a device).
bool NoRegularFileAt(const std::string& path);

}  // namespace orvane
