// Requests to end the process from outside (SIGTERM at logout, SIGINT from a terminal, SIGHUP),
// turned into a descriptor that an event loop can watch, so the program ends through its own exit
// sequence instead of leaving its lock, window tag and named objects behind.
#pragma once

namespace orvane {

// Installs the handlers (once) and returns a descriptor that becomes readable when a request
// arrives; -1 when that cannot be set up (the signals then keep their default effect).
int TerminationRequestFd();
// Reads the pending requests off the descriptor; true when there was at least one.
bool TakeTerminationRequests(int fd);

}  // namespace orvane
