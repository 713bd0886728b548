// orvane-cli: the command-line tool over the same core as the program, for scripting and for
// people without a desktop. RunCli parses the arguments, runs one command and returns its exit
// code; main() only adds signal handling. docs/cli.md describes every command.
//
// Exit codes: 0 success, 1 keyboard or operation failure, 2 usage error, 3 invalid file.
// Every error is one line on the error stream naming what failed.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "model/config_context.h"

namespace orvane {

enum CliExitCode : int {
  kExitSuccess = 0,
  kExitFailure = 1,
  kExitUsage = 2,
  kExitInvalidFile = 3,
};

// Runs the tool with its arguments (without the program name) on the configuration instances and
// keyboard facts of context. Normal output goes to out, messages and errors to err.
int RunCli(const ConfigContext& context, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err);

// Asks a running `watch` to end (async-signal-safe, for SIGINT/SIGTERM handlers).
void RequestCliStop();
// True while `watch` runs: an interrupt then ends the command instead of the process.
bool CliWatching();

}  // namespace orvane
