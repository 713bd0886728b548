// Reading whole input files safely and replacing whole files crash-safely.
//
// Reads go through InputFile (platform/file_reader.h): every input is opened without blocking and
// must be a regular file, so a FIFO, a device or a folder where a file was expected is refused at
// once instead of hanging the program.
//
// Writes: a whole-file write goes to a temporary file in the target's folder, is flushed to disk,
// then renamed over the target: readers see the old file or the new one, never a half-written
// one. The replacement respects the file it replaces (see WriteFileAtomic).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_reader.h"

namespace orvane {

// The file's bytes, or nothing if it cannot be read (*error says why). Files over max_size are
// refused without being read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path,
                                                  size_t max_size = 64u << 20,
                                                  ReadError* error = nullptr);
std::optional<std::string> ReadTextFile(const std::string& path, size_t max_size = 64u << 20,
                                        ReadError* error = nullptr);

// Permission bits a newly created file gets before the umask is applied.
inline constexpr unsigned kNewFileMode = 0666;

// Replaces the whole file at path, crash-safely:
//  - a symbolic link is followed: the file it points to is replaced and the link stays a link;
//  - an existing file must be a regular file that this process may open for writing; otherwise
//    the write fails as such an open would, and the file is left untouched;
//  - the new file keeps the old one's permission bits (owner and group too where the process may
//    set them; group bits are dropped when the group cannot be kept); a file that did not exist
//    gets new_file_mode less the umask;
//  - temporary files that writers killed before their rename left in the folder are removed
//    once their process is gone.
// False (and the old file untouched) when any step fails; *why then says what went wrong
// ("permission denied", "not a regular file", ...).
bool WriteFileAtomic(const std::string& path, const void* data, size_t size,
                     std::string* why = nullptr, unsigned new_file_mode = kNewFileMode);
inline bool WriteFileAtomic(const std::string& path, const std::string& text,
                            std::string* why = nullptr, unsigned new_file_mode = kNewFileMode) {
  return WriteFileAtomic(path, text.data(), text.size(), why, new_file_mode);
}
inline bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes,
                            std::string* why = nullptr, unsigned new_file_mode = kNewFileMode) {
  return WriteFileAtomic(path, bytes.data(), bytes.size(), why, new_file_mode);
}

// Whether WriteFileAtomic could replace or create path, judged without writing anything (the
// same checks it makes first). False with *why when it could not.
bool CanWriteFileAtomic(const std::string& path, std::string* why = nullptr);

// Appends text to the file at path (created with mode 0600 when missing) in one write, so lines
// that several threads or processes append never interleave. A symbolic link or anything but a
// regular file at path is refused. False when the file cannot be opened or written.
bool AppendToFile(const std::string& path, const std::string& text);

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
