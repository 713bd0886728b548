// orvane-simkbd: the simulated keyboard as a process of its own. It builds <folder>/sys (a
// sysfs-like tree listing the hidraw nodes) and mounts <folder>/dev through FUSE, so the real
// Linux HID backend, the GUI and the CLI find it as they would find the keyboard. A Unix socket
// <folder>/control takes line commands (sim_control.h).
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

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

// The control socket. It is this user's alone (0600, whatever the umask), so nobody else can make
// the server read or write files; several clients are served at once, each by a thread of its
// own, so one that connects and stays silent holds up nobody. Commands run one at a time.
class ControlChannel {
 public:
  ControlChannel(orvane::CSimHub& hub, orvane::CFuseHidServer& server) : hub_(hub), server_(server) {}
  ~ControlChannel() { Stop(); }

  bool Start(const std::string& path, std::string* error) {
    path_ = path;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path)) {
      *error = "cannot create the control socket " + path + " (path too long)";
      return false;
    }
    // Only a socket (one left by an earlier run) is replaced; anything else stays as it is.
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0) {
      if (!S_ISSOCK(st.st_mode)) {
        *error = path + " exists and is not a socket; not replacing it";
        return false;
      }
      unlink(path.c_str());
    }
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) {
      *error = std::string("cannot create the control socket: ") + std::strerror(errno);
      return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // The socket file takes the mode of the socket less the umask when it is bound, so it is
    // never open to others, not even for a moment; the chmod then fixes it whatever the umask.
    fchmod(listen_fd_, 0600);
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(listen_fd_, 16) != 0) {
      *error = "cannot listen on " + path + ": " + std::strerror(errno);
      close(listen_fd_);
      listen_fd_ = -1;
      return false;
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
  }

  void Stop() {
    if (listen_fd_ < 0) return;
    stopping_ = true;
    shutdown(listen_fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    std::vector<std::thread> clients;
    {
      std::lock_guard<std::mutex> lock(clients_mutex_);
      for (int fd : client_fds_) shutdown(fd, SHUT_RDWR);
      clients.swap(client_threads_);
    }
    for (std::thread& t : clients) t.join();
    close(listen_fd_);
    listen_fd_ = -1;
    unlink(path_.c_str());
  }

 private:
  static constexpr size_t kMaxClients = 32;

  void Serve() {
    while (!stopping_) {
      const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;
      }
      std::lock_guard<std::mutex> lock(clients_mutex_);
      if (stopping_ || client_fds_.size() >= kMaxClients) {
        close(fd);
        continue;
      }
      client_fds_.insert(fd);
      client_threads_.emplace_back([this, fd] {
        ServeClient(fd);
        std::lock_guard<std::mutex> done(clients_mutex_);
        client_fds_.erase(fd);
        close(fd);
      });
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
        std::string answer;
        {
          std::lock_guard<std::mutex> lock(command_mutex_);
          answer = orvane::ExecuteControlCommand(hub_, line, &quit) + "\n";
        }
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
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::mutex command_mutex_;
  std::mutex clients_mutex_;
  std::set<int> client_fds_;
  std::vector<std::thread> client_threads_;
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
