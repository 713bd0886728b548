// orvane-cli entry point: the arguments go to RunCli; Ctrl-C ends `watch` cleanly (the presence
// monitor is stopped and joined) and any other command at once. No command leaves a partial
// output file behind, as every file is written to a temporary name and renamed into place.
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/console.h"

namespace {

void OnSignal(int sig) {
  if (orvane::CliWatching()) {
    orvane::RequestCliStop();
    return;
  }
  orvane::ExitImmediately(128 + sig);
}

}  // namespace

int main(int argc, char** argv) {
  orvane::InstallInterruptHandler(OnSignal);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  // The process's configuration: the editing and applied instances and what the keyboard tells.
  orvane::ProfileInstance editing;
  orvane::ProfileInstance applied;
  orvane::KeyboardFacts keyboard;
  const int code = orvane::RunCli({editing, applied, keyboard}, args, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
