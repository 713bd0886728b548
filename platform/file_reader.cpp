// Reads of parts of one file.
#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvane {

ReadOnlyFile::ReadOnlyFile(const std::string& path) {
  do {
    // Non-blocking, so a FIFO put where a file was expected cannot hang the open.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd_ < 0 && errno == EINTR);
  missing_ = fd_ < 0 && errno == ENOENT;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool ReadOnlyFile::RegularSize(uint64_t* size) const {
  struct stat st{};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = uint64_t(st.st_size);
  return true;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, uint8_t* out, size_t count) const {
  if (fd_ < 0) return false;
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, out + done, count - done, off_t(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += size_t(got);
  }
  return true;
}

bool NoRegularFileAt(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  return !S_ISREG(st.st_mode);
}

}  // namespace orvane
