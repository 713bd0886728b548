// The simulated keyboard's control language: one command per line, one answer line per command
// ("ok ..." or "error <why>"). orvane-simkbd reads it from its control socket; tests drive the
// in-process keyboard with it too.
//
//   plug | unplug                       the keyboard arrives / drops off the bus
//   event <usage>                       a consumer-control press and release (0x0401, 0x1810, ...)
//   fault none                          clear every fault
//   fault noreply [n|all]               the next n requests (default 1) get no reply
//   fault late <ms> [n|all]             the next n replies arrive ms late
//   fault status <fe|ff> [n|all] [after k]  after k normal replies, n replies carry that status
//   fault vanish <n>                    answer n more requests, then drop off the bus
//   fault refuse on|off                 writes to the command channel fail
//   fault stall <ms> [n|all]            the next n writes are held ms before they complete
//   reset                               leave boot mode (as after an update)
//   dump <file> | load <file>           save / load the memory file
//   status                              "ok plugged=<0|1> boot=<0|1> requests=<count>"
//   quit                                stop the server
#pragma once

#include <string>

#include "sim/sim_hub.h"

namespace orvane {

// Runs one control line against hub; *quit is set by "quit".
std::string ExecuteControlCommand(CSimHub& hub, const std::string& line, bool* quit);

}  // namespace orvane
