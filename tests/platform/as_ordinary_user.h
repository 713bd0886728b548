// Runs part of a test as an ordinary user. The tests run as root in CI, where permission bits do
// not bind; a forked child that drops to the unprivileged user 65534 sees them as any user does.
// A test run by an ordinary user already runs the body directly.
#pragma once

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace orvane::testing {

inline constexpr uid_t kOrdinaryUser = 65534;
inline constexpr int kCouldNotDropRoot = 250;

// The body's result (0 to 249), or kCouldNotDropRoot when the child could not become the user.
// The body runs in a child process when the test runs as root: gtest assertions do not reach
// the parent from there, so the body reports through its result.
inline int RunAsOrdinaryUser(const std::function<int()>& body) {
  if (geteuid() != 0) return body();
  const pid_t pid = fork();
  if (pid < 0) return kCouldNotDropRoot;
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kOrdinaryUser) != 0 || setuid(kOrdinaryUser) != 0)
      _exit(kCouldNotDropRoot);
    _exit(body() & 0xFF);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : kCouldNotDropRoot;
}

// Hands a folder (and so what is created in it by the test) to the ordinary user, so that the
// body can work in it. Nothing to do when the test is not root.
inline bool GiveToOrdinaryUser(const std::string& path) {
  if (geteuid() != 0) return true;
  return chown(path.c_str(), kOrdinaryUser, kOrdinaryUser) == 0;
}

}  // namespace orvane::testing
