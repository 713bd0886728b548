#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

namespace orvane {
namespace {

constexpr const char* kTempMarker = ".tmp-";
constexpr int kMaxLinkHops = 40;

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= size_t(w);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ErrnoText(int error) {
  switch (error) {
    case EACCES: return "permission denied";
    case EPERM: return "operation not permitted";
    case EROFS: return "read-only file system";
    case ENOENT: return "no such file or folder";
    case ENOTDIR: return "a part of the path is not a folder";
    case EISDIR: return "is a folder";
    case ENOSPC: return "no space left on the device";
    case EDQUOT: return "disk quota exceeded";
    case ELOOP: return "too many symbolic links";
    case ENAMETOOLONG: return "file name too long";
    default: return std::strerror(error);
  }
}

bool SetWhy(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

// The file a path names once symbolic links are followed (the path itself when it is no link,
// or when it does not exist). False for a loop of links.
bool FollowLinks(const std::string& path, std::string* target) {
  std::string p = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st{};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = p;
      return true;
    }
    std::string link(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
    if (n < 0 || size_t(n) >= link.size()) return false;
    link.resize(size_t(n));
    p = (link.empty() || link[0] == '/') ? link : FolderOf(p) + "/" + link;
  }
  errno = ELOOP;
  return false;
}

// What the replacement of an existing target must keep.
struct Existing {
  bool exists = false;
  struct stat st{};
};

// The checks made before anything is written: the target, when it exists, is a regular file
// that this process may open for writing.
bool CheckTarget(const std::string& target, Existing* existing, std::string* why) {
  struct stat st{};
  if (::stat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) return SetWhy(why, ErrnoText(errno));
    existing->exists = false;
    return true;
  }
  if (S_ISDIR(st.st_mode)) return SetWhy(why, "is a folder");
  if (!S_ISREG(st.st_mode)) return SetWhy(why, "not a regular file");
  // Opening without truncation changes nothing; it asks the system exactly what a writer would.
  int fd;
  do {
    fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return SetWhy(why, ErrnoText(errno));
  ::close(fd);
  existing->exists = true;
  existing->st = st;
  return true;
}

// "<name>.tmp-<pid>-<number>": the pid, or 0 when the name is not one of our temporary files.
pid_t WriterOfTempName(const std::string& name) {
  const size_t at = name.rfind(kTempMarker);
  if (at == std::string::npos || at == 0) return 0;
  size_t i = at + std::strlen(kTempMarker);
  uint64_t pid = 0;
  const size_t pid_start = i;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - pid_start < 10)
    pid = pid * 10 + uint64_t(name[i++] - '0');
  if (i == pid_start || i >= name.size() || name[i] != '-') return 0;
  const size_t rand_start = ++i;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
  if (i == rand_start || i != name.size() || pid == 0 || pid > 0x7FFFFFFF) return 0;
  return pid_t(pid);
}

// Removes temporary files in the folder whose writer is gone (killed between create and rename).
// Only this user's regular files are touched, and never those of a process that still runs.
void RemoveStaleTemps(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const pid_t self = ::getpid();
  const uid_t user = ::geteuid();
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    const pid_t writer = WriterOfTempName(name);
    if (writer == 0 || writer == self) continue;
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;  // still running (or not ours to ask)
    struct stat st{};
    const std::string path = folder + "/" + name;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != user) continue;
    ::unlink(path.c_str());
  }
  ::closedir(dir);
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t max_size,
                                                  ReadError* error) {
  InputFile file(path);
  return file.ReadAll(max_size, error);
}

std::optional<std::string> ReadTextFile(const std::string& path, size_t max_size, ReadError* error) {
  InputFile file(path);
  return file.ReadAllText(max_size, error);
}

bool AppendToFile(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            WriteAll(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (close(fd) != 0) ok = false;
  return ok;
}

bool CanWriteFileAtomic(const std::string& path, std::string* why) {
  std::string target;
  if (!FollowLinks(path, &target)) return SetWhy(why, ErrnoText(errno));
  Existing existing;
  if (!CheckTarget(target, &existing, why)) return false;
  const std::string folder = FolderOf(target);
  struct stat st{};
  if (::stat(folder.c_str(), &st) != 0) return SetWhy(why, ErrnoText(errno));
  if (!S_ISDIR(st.st_mode)) return SetWhy(why, ErrnoText(ENOTDIR));
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return SetWhy(why, ErrnoText(errno));
  return true;
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* why,
                     unsigned new_file_mode) {
  std::string target;
  if (!FollowLinks(path, &target)) return SetWhy(why, ErrnoText(errno));
  Existing existing;
  if (!CheckTarget(target, &existing, why)) return false;
  const std::string folder = FolderOf(target);
  RemoveStaleTemps(folder);

  // The temporary name is unique per writer, so concurrent writers never share a temporary file.
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  const std::string tmp = folder + "/" + BaseOf(target) + kTempMarker + std::to_string(getpid()) +
                          "-" + std::to_string(rng() % 1000000007);
  const mode_t create_mode = existing.exists ? 0600 : mode_t(new_file_mode & 07777);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
  if (fd < 0) return SetWhy(why, ErrnoText(errno));
  if (existing.exists) {
    // Owner and group first: changing them may clear set-id bits, which the mode then restores.
    mode_t mode = existing.st.st_mode & 07777;
    if (::fchown(fd, existing.st.st_uid, existing.st.st_gid) != 0 &&
        ::fchown(fd, uid_t(-1), existing.st.st_gid) != 0)
      mode &= ~mode_t(S_IRWXG | S_ISGID);  // another group must not gain what the old one had
    ::fchmod(fd, mode);
  }
  bool ok = WriteAll(fd, static_cast<const uint8_t*>(data), size) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return SetWhy(why, ErrnoText(error));
  }
  // Make the rename itself durable.
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

FileLock::FileLock(const std::string& lock_path, bool exclusive) {
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace orvane
