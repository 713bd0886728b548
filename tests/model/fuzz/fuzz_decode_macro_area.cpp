// libFuzzer target: macro areas as read from the keyboard.
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "model/macro.h"
#include "tests/support/doubles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const orvane::MapTextSource texts(
      std::map<std::string, std::string>{{"TEXT/MACRO_NEW_PREFIX", "Macro"}});
  // The input follows the area's magic, so that the fuzzer spends its time inside areas.
  std::vector<uint8_t> area = {0xAA, 0x55};
  area.insert(area.end(), data, data + size);
  auto macros = orvane::DecodeMacroArea(area, texts);
  if (macros.size() > size_t(orvane::kMaxMacros)) __builtin_trap();
  for (const auto& m : macros)
    if (m.actionCount > orvane::kMaxMacroActions) __builtin_trap();
  // What was decoded must encode again within its own computed size.
  auto sizes = orvane::MacroAreaSizes(macros);
  auto again = orvane::EncodeMacroArea(macros, sizes.withNames, true);
  if (again.size() != sizes.withNames) __builtin_trap();
  return 0;
}
