// Terminal and interrupt signals.
#include "platform/console.h"

#include <signal.h>
#include <unistd.h>

namespace orvane {

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

void InstallInterruptHandler(void (*handler)(int signal)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

void ExitImmediately(int code) { ::_exit(code); }

}  // namespace orvane
