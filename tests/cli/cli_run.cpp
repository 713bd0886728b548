#include "tests/cli/cli_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace orvane {

std::string CliPath() { return std::string(ORVANE_DATA_DIR) + "/orvane-cli"; }

ToolRun RunTool(const std::vector<std::string>& args, int timeout_ms, int interrupt_ms) {
  ToolRun run;
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return run;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return run;
  }
  std::vector<std::string> argv_store = {CliPath()};
  argv_store.insert(argv_store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_store) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    unsetenv("ORVANE_PROGRAM_DIR");
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return run;
  }
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeout_ms);
  bool interrupted = interrupt_ms < 0;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  bool killed = false;
  int open_fds = 2;
  while (open_fds > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    int wait = static_cast<int>(left);
    if (!interrupted) {
      const auto until = std::chrono::duration_cast<std::chrono::milliseconds>(
                             start + std::chrono::milliseconds(interrupt_ms) -
                             std::chrono::steady_clock::now())
                             .count();
      if (until <= 0) {
        kill(pid, SIGINT);
        interrupted = true;
        continue;
      }
      wait = std::min<int>(wait, static_cast<int>(until));
    }
    if (poll(fds, 2, wait) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? run.out : run.err).append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  for (pollfd& f : fds)
    if (f.fd >= 0) close(f.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (killed) run.code = -1;
  else if (WIFEXITED(status)) run.code = WEXITSTATUS(status);
  else run.code = 128 + WTERMSIG(status);
  return run;
}

ScratchFolder::ScratchFolder() {
  char tmpl[] = "/tmp/orvane-cli-test-XXXXXX";
  if (mkdtemp(tmpl)) path_ = tmpl;
  setenv("XDG_DATA_HOME", (path_ + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace orvane
