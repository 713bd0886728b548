// The terminal a command-line program runs in: whether someone can answer a question on it, and
// the interrupt signals that should end a long command cleanly rather than the process.
#pragma once

namespace orvane {

// True when the standard input is a terminal (someone can type an answer).
bool StdinIsTerminal();

// Routes SIGINT and SIGTERM to handler (which must be async-signal-safe) and ignores SIGPIPE, so
// a closed pipe shows as a failed write instead of ending the process.
void InstallInterruptHandler(void (*handler)(int signal));

// Ends the process at once with the code, running no destructors or exit handlers (safe inside a
// signal handler).
[[noreturn]] void ExitImmediately(int code);

}  // namespace orvane
