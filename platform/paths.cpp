#include "platform/paths.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace orvane {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

}  // namespace

std::string ProgramFolder() {
  if (const char* dir = std::getenv("ORVANE_PROGRAM_DIR"); dir && *dir) return dir;
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return ".";
  std::string exe(buf, size_t(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : exe.substr(0, slash));
}

std::string ProgramFilePath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

std::string LocalAppDataFolder() { return EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share"); }

std::string ConfigFolder() { return EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config"); }

std::string RuntimeFolder() {
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) return dir;
  std::string own = "/tmp/orvane-" + std::to_string(getuid());
  CreateFolders(own);
  return own;
}

bool CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (!CreateFolders(path.substr(0, slash))) return false;
  }
  if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}

std::string JoinPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  bool a_slash = a.back() == '/';
  bool b_slash = b.front() == '/';
  if (a_slash && b_slash) return a + b.substr(1);
  if (a_slash || b_slash) return a + b;
  return a + "/" + b;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string CurrentDirectory() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string();
}

bool SetCurrentDirectory(const std::string& path) { return !path.empty() && chdir(path.c_str()) == 0; }

}  // namespace orvane
