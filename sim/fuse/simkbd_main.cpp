// orvane-simkbd: the simulated keyboard as a process of its own. It builds <folder>/sys (a
// sysfs-like tree listing the hidraw nodes) and mounts <folder>/dev through FUSE, so the real
// Linux HID backend, the GUI and the CLI find it as they would find the keyboard. A Unix socket
// <folder>/control takes line commands (sim_control.h).
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "sim/fuse/fuse_server.h"
#include "sim/sim_control.h"
#include "sim/sim_hub.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane-simkbd <folder> [--state FILE] [--unplugged]\n"
    "  Serves a simulated keyboard as <folder>/dev/hidraw0 (boot keyboard) and\n"
    "  <folder>/dev/hidraw1 (consumer control + command channel), listed under\n"
    "  <folder>/sys/class/hidraw. Control it through the Unix socket <folder>/control.\n"
    "  Point the programs at it with ORVANE_SYS_ROOT=<folder>/sys ORVANE_DEV_ROOT=<folder>/dev.\n";

class ControlChannel {
 public:
  ControlChannel(orvane::CSimHub& hub, orvane::CFuseHidServer& server) : hub_(hub), server_(server) {}
  ~ControlChannel() { Stop(); }

  bool Start(const std::string& path, std::string* error) {
    path_ = path;
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (listen_fd_ < 0 || path.size() >= sizeof(addr.sun_path)) {
      *error = "cannot create the control socket (path too long?)";
      return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str());
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(listen_fd_, 4) != 0) {
      *error = "cannot listen on " + path + ": " + std::strerror(errno);
      return false;
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
  }

  void Stop() {
    if (listen_fd_ < 0) return;
    stopping_ = true;
    shutdown(listen_fd_, SHUT_RDWR);
    const int client = client_fd_.load();
    if (client >= 0) shutdown(client, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    close(listen_fd_);
    listen_fd_ = -1;
    unlink(path_.c_str());
  }

 private:
  void Serve() {
    while (!stopping_) {
      const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR) continue;
        return;
      }
      client_fd_ = fd;
      if (stopping_) shutdown(fd, SHUT_RDWR);
      ServeClient(fd);
      client_fd_ = -1;
      close(fd);
    }
  }

  void ServeClient(int fd) {
    std::string pending;
    char buf[512];
    while (!stopping_) {
      const ssize_t n = read(fd, buf, sizeof(buf));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      pending.append(buf, static_cast<size_t>(n));
      if (pending.size() > 65536) return;  // nobody sends lines this long
      size_t eol;
      while ((eol = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, eol);
        pending.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool quit = false;
        const std::string answer = orvane::ExecuteControlCommand(hub_, line, &quit) + "\n";
        if (send(fd, answer.data(), answer.size(), MSG_NOSIGNAL) < 0) return;
        if (quit) {
          server_.Stop();
          return;
        }
      }
    }
  }

  orvane::CSimHub& hub_;
  orvane::CFuseHidServer& server_;
  std::string path_;
  int listen_fd_ = -1;
  std::atomic<int> client_fd_{-1};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  std::string state_file;
  bool unplugged = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--state" && i + 1 < argc) {
      state_file = argv[++i];
    } else if (arg == "--unplugged") {
      unplugged = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (folder.empty() && !arg.empty() && arg[0] != '-') {
      folder = arg;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (folder.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();

  // Only the FUSE loop's thread takes the stop signals: block them before any thread starts.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  orvane::CSimHub hub;
  std::string error;
  if (!state_file.empty() && access(state_file.c_str(), F_OK) == 0 &&
      !hub.Keyboard().LoadFile(state_file, &error)) {
    std::fprintf(stderr, "orvane-simkbd: %s\n", error.c_str());
    return 1;
  }
  if (unplugged) hub.Unplug();

  int status = 0;
  {
    orvane::CFuseHidServer server(hub, folder);
    ControlChannel control(hub, server);
    if (!server.Start(&error) || !control.Start(folder + "/control", &error)) {
      std::fprintf(stderr, "orvane-simkbd: %s\n", error.c_str());
      status = 1;
    } else {
      std::printf("orvane-simkbd: serving %s/dev, control socket %s/control\n", folder.c_str(),
                  folder.c_str());
      std::fflush(stdout);
      pthread_sigmask(SIG_UNBLOCK, &stop_signals, nullptr);
      server.Run();
      pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    }
    control.Stop();
    server.Shutdown();
  }
  if (!state_file.empty() && !hub.Keyboard().SaveFile(state_file, &error)) {
    std::fprintf(stderr, "orvane-simkbd: %s\n", error.c_str());
    status = 1;
  }
  return status;
}
