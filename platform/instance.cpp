#include "platform/instance.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string_view>
#include <cstring>

#include "platform/paths.h"

namespace orvane {
namespace {

constexpr uint32_t kRequestMagic = 0x4F525651;  // "ORVQ"
constexpr uint32_t kAnswerMagic = 0x4F525641;   // "ORVA"
// A client that connects and then sends nothing does not hold the server up longer than this.
constexpr int kRequestReadMs = 2000;

struct RequestWire {
  uint32_t magic;
  uint32_t tag;
  uint32_t message;
  uint32_t reserved;
  uint64_t wparam;
  int64_t lparam;
};
struct AnswerWire {
  uint32_t magic;
  uint32_t handled;  // 1 when the tag matched and the handler ran
  int64_t result;
};
static_assert(sizeof(RequestWire) == 32 && sizeof(AnswerWire) == 16);

std::string FolderOr(const std::string& folder) { return folder.empty() ? InstanceFolder() : folder; }

// Reads exactly size bytes; false on end of file, error or (timeout_ms >= 0) time-out.
bool ReadAll(int fd, void* data, size_t size, int timeout_ms) {
  auto* p = static_cast<uint8_t*>(data);
  size_t got = 0;
  while (got < size) {
    if (timeout_ms >= 0) {
      pollfd pfd{fd, POLLIN, 0};
      int r = ::poll(&pfd, 1, timeout_ms);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
    }
    ssize_t n = ::read(fd, p + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += size_t(n);
  }
  return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  size_t put = 0;
  while (put < size) {
    ssize_t n = ::send(fd, p + put, size - put, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    put += size_t(n);
  }
  return true;
}

// A socket address for path. Paths too long for sun_path go through the folder's descriptor
// ("/proc/self/fd/N/name"), which the caller keeps open in *dir_fd while it binds or connects.
bool SocketAddress(const std::string& path, sockaddr_un* address, int* dir_fd) {
  *dir_fd = -1;
  std::memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  std::string usable = path;
  if (usable.size() >= sizeof(address->sun_path)) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return false;
    *dir_fd = ::open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (*dir_fd < 0) return false;
    usable = "/proc/self/fd/" + std::to_string(*dir_fd) + path.substr(slash);
    if (usable.size() >= sizeof(address->sun_path)) {
      ::close(*dir_fd);
      *dir_fd = -1;
      return false;
    }
  }
  std::memcpy(address->sun_path, usable.c_str(), usable.size() + 1);
  return true;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

}  // namespace

std::string InstanceFolder() {
  const std::string folder = JoinPath(RuntimeFolder(), "orvane");
  if (!CreateFolders(folder)) return {};
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
  if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return {};
  return folder;
}

// ---- instance mutex -------------------------------------------------------------------------

CInstanceMutex::State CInstanceMutex::Acquire(const std::string& name, const std::string& folder) {
  Close();
  const std::string dir = FolderOr(folder);
  if (dir.empty() || name.empty()) return State::Failed;
  const std::string path = JoinPath(dir, name);
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) return State::Failed;
  // The lock dies with its holder, so a file left by a killed instance is free to take.
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return State::Existing;
    ::close(fd_);
    fd_ = -1;
    return State::Failed;
  }
  held_ = true;
  return State::Created;
}

void CInstanceMutex::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  fd_ = -1;
  held_ = false;
}

// ---- tagged window ----------------------------------------------------------------------------

std::string TaggedWindowPath(pid_t pid, const std::string& folder) {
  const std::string dir = FolderOr(folder);
  if (dir.empty()) return {};
  return JoinPath(dir, "window-" + std::to_string(pid));
}

CWindowTagServer::~CWindowTagServer() { Join(); }

bool CWindowTagServer::Start(uint32_t tag, Handler handler, const std::string& folder) {
  if (thread_.joinable() || listening_.load()) return false;
  path_ = TaggedWindowPath(::getpid(), folder);
  if (path_.empty()) return false;
  tag_ = tag;
  handler_ = std::move(handler);

  sockaddr_un address;
  int dir_fd = -1;
  if (!SocketAddress(path_, &address, &dir_fd)) return false;
  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool ok = listen_fd_ >= 0;
  if (ok) {
    // A socket of our pid can only be a leftover of a process that had this pid before.
    ::unlink(path_.c_str());
    const mode_t old_mask = ::umask(077);
    ok = ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::umask(old_mask);
    ok = ok && ::listen(listen_fd_, 8) == 0;
  }
  if (dir_fd >= 0) ::close(dir_fd);
  if (ok) {
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ok = wake_fd_ >= 0;
  }
  if (ok) {
    stopping_.store(false);
    listening_.store(true);
    try {
      thread_ = std::thread([this] { Serve(); });
    } catch (...) {
      ok = false;
      listening_.store(false);
    }
  }
  if (!ok) {
    if (listen_fd_ >= 0) {
      ::close(listen_fd_);
      ::unlink(path_.c_str());
    }
    if (wake_fd_ >= 0) ::close(wake_fd_);
    listen_fd_ = wake_fd_ = -1;
  }
  return ok;
}

void CWindowTagServer::Close() {
  if (!listening_.exchange(false)) return;
  stopping_.store(true);
  ::unlink(path_.c_str());
  if (wake_fd_ >= 0) {
    const uint64_t one = 1;
    ssize_t ignored = ::write(wake_fd_, &one, sizeof(one));
    (void)ignored;
  }
}

void CWindowTagServer::Join() {
  Close();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
  if (wake_fd_ >= 0) ::close(wake_fd_);
  listen_fd_ = wake_fd_ = -1;
}

void CWindowTagServer::Serve() {
  while (!stopping_.load()) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (stopping_.load() || (fds[1].revents & POLLIN)) return;
    if (!(fds[0].revents & POLLIN)) continue;
    const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ServeOne(client);
    ::close(client);
  }
}

void CWindowTagServer::ServeOne(int client) {
  ucred peer{};
  socklen_t length = sizeof(peer);
  if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) return;
  RequestWire request{};
  if (!ReadAll(client, &request, sizeof(request), kRequestReadMs) || request.magic != kRequestMagic) return;
  AnswerWire answer{kAnswerMagic, 0, 0};
  if (request.tag == tag_ && handler_) {
    answer.handled = 1;
    answer.result = handler_(request.message, uintptr_t(request.wparam), intptr_t(request.lparam));
  }
  WriteAll(client, &answer, sizeof(answer));
}

std::optional<intptr_t> SendToTaggedWindow(pid_t pid, uint32_t tag, const TaggedRequest& request,
                                           const std::string& folder) {
  if (pid <= 0) return std::nullopt;
  const std::string path = TaggedWindowPath(pid, folder);
  if (path.empty()) return std::nullopt;
  sockaddr_un address;
  int dir_fd = -1;
  if (!SocketAddress(path, &address, &dir_fd)) return std::nullopt;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool ok = fd >= 0;
  while (ok && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    if (errno == EINTR) continue;
    ok = false;  // no such socket, or a leftover nobody listens on
  }
  if (dir_fd >= 0) ::close(dir_fd);
  std::optional<intptr_t> result;
  if (ok) {
    const RequestWire wire{kRequestMagic, tag, request.message, 0, request.wparam, request.lparam};
    AnswerWire answer{};
    // The handler may show a message box first: the wait has no limit, as a sent message's.
    if (WriteAll(fd, &wire, sizeof(wire)) && ReadAll(fd, &answer, sizeof(answer), -1) &&
        answer.magic == kAnswerMagic && answer.handled == 1)
      result = intptr_t(answer.result);
  }
  if (fd >= 0) ::close(fd);
  return result;
}

// ---- processes ------------------------------------------------------------------------------

std::string BareFileName(const std::string& path) {
  std::string name = path;
  // An executable replaced while it runs shows as "<path> (deleted)".
  constexpr std::string_view kDeleted = " (deleted)";
  if (name.size() > kDeleted.size() && name.compare(name.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
    name.resize(name.size() - kDeleted.size());
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::vector<ProcessEntry> ProcessSnapshot(const std::string& proc_root) {
  std::vector<ProcessEntry> entries;
  DIR* dir = ::opendir(proc_root.c_str());
  if (dir == nullptr) return entries;
  while (dirent* e = ::readdir(dir)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || pid <= 0 || pid > INT_MAX) continue;
    // Processes of other users do not show their executable; they could not be reached anyway.
    const std::string link = JoinPath(JoinPath(proc_root, e->d_name), "exe");
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof(buf) - 1);
    if (n <= 0) continue;
    entries.push_back({pid_t(pid), BareFileName(std::string(buf, size_t(n)))});
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return entries;
}

pid_t FindProcessByName(const std::string& name, const std::string& proc_root) {
  // A Windows snapshot starts with the idle process, which the walk skips; /proc has no such
  // entry, so every entry is examined. The caller itself is not left out.
  for (const ProcessEntry& e : ProcessSnapshot(proc_root))
    if (EqualNoCase(e.exe_name, name)) return e.pid;
  return 0;
}

pid_t FindInstanceProcess(const std::string& name, const std::string& folder,
                          const std::string& proc_root) {
  pid_t first = 0;
  for (const ProcessEntry& e : ProcessSnapshot(proc_root)) {
    if (!EqualNoCase(e.exe_name, name)) continue;
    if (first == 0) first = e.pid;
    struct stat st{};
    if (::lstat(TaggedWindowPath(e.pid, folder).c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return e.pid;
  }
  return first;
}

// ---- named objects --------------------------------------------------------------------------

size_t CNamedObjects::Create(const std::vector<std::string>& names, const std::string& folder) {
  Close();
  const std::string base = FolderOr(folder);
  if (base.empty()) return 0;
  const std::string dir = JoinPath(base, "objects");
  if (!CreateFolders(dir)) return 0;
  paths_.reserve(names.size());
  for (const std::string& name : names) {
    if (name.empty() || name.find('/') != std::string::npos) continue;
    const std::string path = JoinPath(dir, name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) continue;
    ::close(fd);
    paths_.push_back(path);
  }
  return paths_.size();
}

void CNamedObjects::Close() {
  for (const std::string& path : paths_) ::unlink(path.c_str());
  paths_.clear();
}

}  // namespace orvane
