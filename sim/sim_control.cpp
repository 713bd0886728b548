#include "sim/sim_control.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace orvane {

namespace {

bool ParseNumber(const std::string& text, long long min, long long max, long long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

// "all" means until cleared; a missing count means once.
bool ParseCount(const std::vector<std::string>& words, size_t index, int* out) {
  if (words.size() <= index) {
    *out = 1;
    return true;
  }
  if (words[index] == "all") {
    *out = -1;
    return true;
  }
  long long v = 0;
  if (!ParseNumber(words[index], 1, 1000000, &v)) return false;
  *out = static_cast<int>(v);
  return true;
}

std::string Fault(CSimHub& hub, const std::vector<std::string>& w) {
  if (w.size() < 2) return "error fault needs a kind";
  SimFaults f = hub.Keyboard().Faults();
  long long v = 0;
  const std::string& kind = w[1];
  if (kind == "none") {
    f = SimFaults{};
  } else if (kind == "noreply") {
    if (!ParseCount(w, 2, &f.no_reply)) return "error bad count";
  } else if (kind == "late") {
    if (w.size() < 3 || !ParseNumber(w[2], 1, 600000, &v)) return "error late needs milliseconds";
    f.late_ms = static_cast<uint32_t>(v);
    if (!ParseCount(w, 3, &f.late_reply)) return "error bad count";
  } else if (kind == "status") {
    std::string byte = w.size() < 3 ? std::string() : w[2];
    if (byte.rfind("0x", 0) != 0 && byte.rfind("0X", 0) != 0) byte = "0x" + byte;  // hex either way
    if (w.size() < 3 || !ParseNumber(byte, 0, 255, &v)) {
      return "error status needs a byte";
    }
    f.error_status = static_cast<uint8_t>(v);
    if (!ParseCount(w, 3, &f.error_status_count)) return "error bad count";
    f.error_status_after = 0;
    if (w.size() >= 6 && w[4] == "after") {
      if (!ParseNumber(w[5], 0, 1000000, &v)) return "error bad count";
      f.error_status_after = static_cast<int>(v);
    }
  } else if (kind == "vanish") {
    if (w.size() < 3 || !ParseNumber(w[2], 0, 1000000, &v)) return "error vanish needs a count";
    f.vanish_after = static_cast<int>(v);
  } else if (kind == "refuse") {
    if (w.size() < 3 || (w[2] != "on" && w[2] != "off")) return "error refuse needs on or off";
    f.refuse_writes = w[2] == "on";
  } else if (kind == "echo") {
    if (w.size() < 3 || (w[2] != "on" && w[2] != "off")) return "error echo needs on or off";
    f.no_echo = w[2] == "off";
  } else if (kind == "stall") {
    if (w.size() < 3 || !ParseNumber(w[2], 1, 600000, &v)) return "error stall needs milliseconds";
    f.stall_ms = static_cast<uint32_t>(v);
    if (!ParseCount(w, 3, &f.stall_writes)) return "error bad count";
  } else {
    return "error unknown fault " + kind;
  }
  hub.Keyboard().SetFaults(f);
  return "ok";
}

}  // namespace

std::string ExecuteControlCommand(CSimHub& hub, const std::string& line, bool* quit) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string word; in >> word;) w.push_back(word);
  if (w.empty()) return "error empty command";
  const std::string& cmd = w[0];
  long long v = 0;
  std::string error;
  if (cmd == "plug") {
    hub.Plug();
  } else if (cmd == "unplug") {
    hub.Unplug();
  } else if (cmd == "event") {
    if (w.size() != 2 || !ParseNumber(w[1], 0, 0xFFFF, &v)) return "error event needs a usage";
    hub.SendConsumerEvent(static_cast<uint16_t>(v));
  } else if (cmd == "fault") {
    return Fault(hub, w);
  } else if (cmd == "reset") {
    hub.Keyboard().LeaveBootMode();
  } else if (cmd == "dump" || cmd == "load") {
    if (w.size() != 2) return "error " + cmd + " needs a file";
    const bool ok = cmd == "dump" ? hub.Keyboard().SaveFile(w[1], &error)
                                  : hub.Keyboard().LoadFile(w[1], &error);
    if (!ok) return "error " + error;
  } else if (cmd == "status") {
    return "ok plugged=" + std::to_string(hub.IsPlugged() ? 1 : 0) +
           " boot=" + std::to_string(hub.Keyboard().InBootMode() ? 1 : 0) +
           " requests=" + std::to_string(hub.Keyboard().RequestCount());
  } else if (cmd == "quit") {
    if (quit) *quit = true;
  } else {
    return "error unknown command " + cmd;
  }
  return "ok";
}

}  // namespace orvane
