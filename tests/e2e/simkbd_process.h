// Runs orvane-simkbd as a child process in a temporary folder for the end-to-end tests, and talks
// to its control socket. Also decides whether FUSE can be used here at all.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace orvane {

// True when /dev/fuse can be opened and a mount is possible (root, or fusermount3 present);
// otherwise *why says what is missing.
bool FuseUsable(std::string* why);
// ORVANE_REQUIRE_FUSE=1: missing FUSE is a failure, not a reason to skip.
bool FuseRequired();
std::string SimKbdPath();

// For a test's SetUp: skips the test where FUSE cannot be used, or fails it when FUSE is required.
#define ORVANE_SKIP_WITHOUT_FUSE()                                                        \
  do {                                                                                    \
    std::string orvane_fuse_why;                                                          \
    if (!::orvane::FuseUsable(&orvane_fuse_why)) {                                        \
      if (::orvane::FuseRequired()) FAIL() << "FUSE is required here but " << orvane_fuse_why; \
      GTEST_SKIP() << "FUSE not usable: " << orvane_fuse_why;                             \
    }                                                                                     \
  } while (0)

class SimKbdProcess {
 public:
  SimKbdProcess();
  ~SimKbdProcess();
  SimKbdProcess(const SimKbdProcess&) = delete;
  SimKbdProcess& operator=(const SimKbdProcess&) = delete;

  // Starts the server in the folder and waits until its nodes and control socket are there.
  bool Start(const std::vector<std::string>& extra_args, std::string* error);
  // "quit" and wait; falls back to SIGKILL and a lazy unmount. Returns the exit status or -1.
  int Stop();
  // Sends SIGTERM and waits for the exit status (-1 when it did not end in time).
  int Terminate();
  // One control line; returns the answer line without its newline ("" when unreachable).
  std::string Control(const std::string& line);

  const std::string& Folder() const { return folder_; }
  std::string SysRoot() const { return folder_ + "/sys"; }
  std::string DevRoot() const { return folder_ + "/dev"; }
  bool Mounted() const;

 private:
  int WaitExit(int timeout_ms);

  std::string folder_;
  pid_t pid_ = -1;
};

}  // namespace orvane
