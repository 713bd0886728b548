#include "platform/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"

namespace orvane {
namespace {

int CodeOfErrno(int err) {
  switch (err) {
    case ENOENT: return kShellFileNotFound;
    case ENOTDIR: return kShellPathNotFound;
    case EACCES:
    case EPERM: return kShellAccessDenied;
    case ENOMEM: return kShellOutOfMemory;
    case ENOEXEC: return kShellBadFormat;
    default: return kShellFileNotFound;
  }
}

// The program's full path through PATH, or empty.
std::string FindInPath(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string candidate = JoinPath(dir.empty() ? "." : dir, program);
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return {};
}

}  // namespace

bool LooksLikeUrl(const std::string& t) {
  if (t.rfind("mailto:", 0) == 0) return true;
  size_t colon = t.find(':');
  if (colon == std::string::npos || colon == 0 || t.compare(colon, 3, "://") != 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = t[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

int StartDetached(const std::string& program, const std::vector<std::string>& args) {
  std::string exe = FindInPath(program);
  if (exe.empty()) return kShellFileNotFound;
  std::vector<std::string> argv_s{exe};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The grandchild reports a failed exec through this pipe; a closed pipe means it started.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return kShellOutOfMemory;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return kShellOutOfMemory;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here: the parent may have other threads.
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      ::close(devnull);
    }
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(argv[0], argv.data());
    int err = errno;
    ssize_t ignored = ::write(report[1], &err, sizeof(err));
    (void)ignored;
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  do {
    n = ::read(report[0], &err, sizeof(err));
  } while (n < 0 && errno == EINTR);
  ::close(report[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return kShellOutOfMemory;
  if (n == ssize_t(sizeof(err))) return CodeOfErrno(err);
  return kShellSuccess;
}

int ShellOpen(const std::string& target, const std::vector<std::string>& args) {
  if (target.empty()) return kShellFileNotFound;
  if (!LooksLikeUrl(target)) {
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) return CodeOfErrno(errno);
    if (S_ISREG(st.st_mode) && ::access(target.c_str(), X_OK) == 0) return StartDetached(target, args);
  }
  std::string opener = FindInPath("xdg-open");
  if (opener.empty()) return kShellNoAssociation;
  return StartDetached(opener, {target});
}

std::optional<std::string> PreferredBrowser() {
  const char* browser = std::getenv("BROWSER");
  if (browser == nullptr || *browser == '\0') return std::nullopt;
  std::string first(browser);
  first = first.substr(0, first.find(':'));
  if (first.empty()) return std::nullopt;
  return first;
}

}  // namespace orvane

namespace orvane {

std::string FindOnScreenKeyboard(const std::string& path_list) {
  for (const char* program : {"onboard", "florence"}) {
    size_t start = 0;
    while (start <= path_list.size()) {
      size_t end = path_list.find(':', start);
      if (end == std::string::npos) end = path_list.size();
      const std::string folder = path_list.substr(start, end - start);
      start = end + 1;
      // An empty entry is the current directory, which never decides what we start.
      if (folder.empty() || folder[0] != '/') continue;
      const std::string candidate = JoinPath(folder, program);
      struct stat st {};
      if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
  }
  return std::string();
}

std::string FindOnScreenKeyboard() {
  const char* path = std::getenv("PATH");
  return FindOnScreenKeyboard(path != nullptr ? std::string(path) : std::string());
}

}  // namespace orvane
