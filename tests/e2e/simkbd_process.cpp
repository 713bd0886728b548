#include "tests/e2e/simkbd_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace orvane {

namespace {

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool FuseUsable(std::string* why) {
  const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    *why = std::string("/dev/fuse cannot be opened: ") + std::strerror(errno);
    return false;
  }
  close(fd);
  if (geteuid() != 0 && !OnPath("fusermount3")) {
    *why = "not root and no fusermount3";
    return false;
  }
  if (access(SimKbdPath().c_str(), X_OK) != 0) {
    *why = SimKbdPath() + " was not built (libfuse3 missing?)";
    return false;
  }
  return true;
}

bool FuseRequired() {
  const char* v = std::getenv("ORVANE_REQUIRE_FUSE");
  return v != nullptr && std::string(v) == "1";
}

std::string SimKbdPath() { return std::string(ORVANE_DATA_DIR) + "/orvane-simkbd"; }

SimKbdProcess::SimKbdProcess() {
  char tmpl[] = "/tmp/orvane-e2e-XXXXXX";
  if (mkdtemp(tmpl) != nullptr) folder_ = tmpl;
}

SimKbdProcess::~SimKbdProcess() {
  Stop();
  if (!folder_.empty() && !Mounted()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

bool SimKbdProcess::Mounted() const {
  std::ifstream in("/proc/self/mountinfo");
  const std::string dev = " " + DevRoot() + " ";
  for (std::string line; std::getline(in, line);) {
    if (line.find(dev) != std::string::npos) return true;
  }
  return false;
}

bool SimKbdProcess::Start(const std::vector<std::string>& extra_args, std::string* error) {
  if (folder_.empty()) {
    *error = "no temporary folder";
    return false;
  }
  const std::string program = SimKbdPath();
  std::vector<std::string> args = {program, folder_};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  pid_ = fork();
  if (pid_ < 0) {
    *error = "fork failed";
    return false;
  }
  if (pid_ == 0) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) dup2(null_fd, STDOUT_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      *error = "orvane-simkbd ended at start with status " + std::to_string(status);
      return false;
    }
    struct stat st;
    if (stat((folder_ + "/control").c_str(), &st) == 0 && Control("status").rfind("ok", 0) == 0) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  *error = "orvane-simkbd did not come up";
  return false;
}

int SimKbdProcess::WaitExit(int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

int SimKbdProcess::Terminate() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  return WaitExit(5000);
}

int SimKbdProcess::Stop() {
  if (pid_ <= 0) return -1;
  Control("quit");
  int status = WaitExit(5000);
  if (status < 0 && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (Mounted()) umount2(DevRoot().c_str(), MNT_DETACH);
  return status;
}

std::string SimKbdProcess::Control(const std::string& line) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "";
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string path = folder_ + "/control";
  std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
  std::string answer;
  // A server that does not answer gives "" after a while instead of holding the test.
  const timeval patience{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
    const std::string out = line + "\n";
    if (send(fd, out.data(), out.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(out.size())) {
      char c;
      while (read(fd, &c, 1) == 1 && c != '\n') answer.push_back(c);
    }
  }
  close(fd);
  return answer;
}

}  // namespace orvane
