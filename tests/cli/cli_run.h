// Runs the built orvane-cli as a child process with captured output, for the end-to-end tests,
// and gives each test a scratch folder (also used as the per-user data and config folders, so
// the tool never touches the real ones).
#pragma once

#include <string>
#include <vector>

namespace orvane {

struct ToolRun {
  int code = -1;  // exit code; -1 when it did not end in time (then it was killed)
  std::string out;
  std::string err;
};

std::string CliPath();

// Runs orvane-cli with args; stdin is /dev/null. Kills it after timeout_ms. With interrupt_ms
// >= 0 it is sent SIGINT that long after the start, as Ctrl-C would.
ToolRun RunTool(const std::vector<std::string>& args, int timeout_ms = 60000,
                int interrupt_ms = -1);

// A fresh folder under /tmp, removed with its content on destruction; XDG_DATA_HOME and
// XDG_CONFIG_HOME point into it while it lives.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace orvane
