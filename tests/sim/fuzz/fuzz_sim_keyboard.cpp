// Feeds arbitrary bytes to the simulated keyboard: as a memory file, as a stream of command
// reports (64 bytes each) and as control lines. Files and control lines come from outside.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/sim_control.h"
#include "sim/sim_hub.h"
#include "sim/sim_keyboard.h"
#include "sim/sim_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  SimMemory memory;
  if (SimMemory::Deserialize(data, size, &memory, nullptr)) {
    if (memory.Serialize().size() != size) __builtin_trap();
  }
  CSimKeyboard keyboard;
  for (size_t at = 0; at < size; at += kReportBytes) {
    keyboard.HandleRequest(data + at, size - at < kReportBytes ? size - at : kReportBytes);
  }
  static CSimHub hub;
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    // Files named by the fuzzer would land anywhere; the file commands have their own tests.
    if (line.rfind("dump", 0) != 0 && line.rfind("load", 0) != 0 && line.rfind("quit", 0) != 0) {
      bool quit = false;
      ExecuteControlCommand(hub, line, &quit);
    }
    start = end + 1;
  }
  hub.Keyboard().ClearFaults();
  hub.Plug();
  return 0;
}
