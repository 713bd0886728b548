// Reads of one input file.
#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace orvane {
namespace {

ReadError ReadErrorOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ReadError::kMissing;
    case EACCES:
    case EPERM: return ReadError::kDenied;
    default: return ReadError::kFailed;
  }
}


// The whole file into a byte container (bytes or text), read in place.
template <typename Container>
std::optional<Container> ReadAllInto(int fd, ReadError open_error, const FileIdentity& identity,
                                     size_t max_size, ReadError* error) {
  auto fail = [&](ReadError e) -> std::optional<Container> {
    if (error) *error = e;
    return std::nullopt;
  };
  if (fd < 0) return fail(open_error);
  if (identity.size > max_size) return fail(ReadError::kTooLarge);
  // The size is what fstat said; a file that grows meanwhile is read up to the limit only.
  Container out(size_t(identity.size), 0);
  size_t done = 0;
  for (;;) {
    if (done == out.size()) {
      if (out.size() >= max_size) {
        uint8_t probe;
        const ssize_t more = ::pread(fd, &probe, 1, off_t(done));
        if (more > 0) return fail(ReadError::kTooLarge);
        if (more < 0 && errno == EINTR) continue;
        if (more < 0) return fail(ReadError::kFailed);
        break;
      }
      out.resize(std::min(max_size, out.size() + 16384));
    }
    const ssize_t got = ::pread(fd, &out[0] + done, out.size() - done, off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fail(ReadError::kFailed);
    if (got == 0) break;
    done += size_t(got);
  }
  out.resize(done);
  if (error) *error = ReadError::kNone;
  return out;
}

}  // namespace

const char* ReadErrorText(ReadError error) {
  switch (error) {
    case ReadError::kNone: return "no error";
    case ReadError::kMissing: return "no such file";
    case ReadError::kDenied: return "permission denied";
    case ReadError::kNotRegular: return "not a regular file";
    case ReadError::kTooLarge: return "too large";
    case ReadError::kFailed: return "cannot be read";
  }
  return "cannot be read";
}

InputFile::InputFile(const std::string& path) {
  do {
    // Non-blocking, so that opening a FIFO without a writer (or a device) returns at once.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    error_ = ReadErrorOfErrno(errno);
    return;
  }
  struct stat st{};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = ReadError::kNotRegular;
    ::close(fd_);
    fd_ = -1;
    return;
  }
  identity_.device = uint64_t(st.st_dev);
  identity_.inode = uint64_t(st.st_ino);
  identity_.size = uint64_t(st.st_size);
  identity_.mtime_ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::ReadAt(uint64_t offset, uint8_t* out, size_t count) const {
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

std::optional<std::vector<uint8_t>> InputFile::ReadAll(size_t max_size, ReadError* error) const {
  return ReadAllInto<std::vector<uint8_t>>(fd_, error_, identity_, max_size, error);
}

std::optional<std::string> InputFile::ReadAllText(size_t max_size, ReadError* error) const {
  return ReadAllInto<std::string>(fd_, error_, identity_, max_size, error);
}

}  // namespace orvane
