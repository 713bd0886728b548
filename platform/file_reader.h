// Reading one input file through a descriptor held for one operation: judge its size and
// identity, then read exactly the bytes wanted at an offset, or all of it. For files that outside
// hands put in place (profile, language, skin, JSON, state files): the open never blocks, so a
// FIFO or a device where a file was expected is refused at once, and only regular files are kept
// open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// Why a file could not be read.
enum class ReadError {
  kNone,
  kMissing,     // no such file (or a folder on the way is missing)
  kDenied,      // this user may not read it
  kNotRegular,  // a folder, FIFO, socket or device
  kTooLarge,    // larger than the caller allows
  kFailed,      // any other failure of the open or the read
};
// A few words for messages: "no such file", "permission denied", "not a regular file", ...
const char* ReadErrorText(ReadError error);

// What a file's content is known by: a file changed in place or replaced gets another identity
// (the modification time is kept to the nanosecond).
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t mtime_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};

// A regular file open for reading, for one operation. The open never blocks.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  ReadError Error() const { return error_; }
  const FileIdentity& Identity() const { return identity_; }
  uint64_t Size() const { return identity_.size; }

  // Exactly count bytes from offset, or false (also at the end of the file).
  bool ReadAt(uint64_t offset, uint8_t* out, size_t count) const;
  // The whole file; nothing (and *error set) when it is larger than max_size or a read fails.
  std::optional<std::vector<uint8_t>> ReadAll(size_t max_size, ReadError* error = nullptr) const;
  // The same as text, without a copy.
  std::optional<std::string> ReadAllText(size_t max_size, ReadError* error = nullptr) const;

 private:
  int fd_ = -1;
  ReadError error_ = ReadError::kNone;
  FileIdentity identity_;
};

}  // namespace orvane
