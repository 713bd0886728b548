// libFuzzer target: macro areas as read from the keyboard.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/macro.h"
#include "platform/doubles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const orvane::MapTextSource texts({{"TEXT/MACRO_NEW_PREFIX", "Macro"}});
  auto macros = orvane::DecodeMacroArea(std::span<const uint8_t>(data, size), texts);
  if (macros.size() > size_t(orvane::kMaxMacros)) __builtin_trap();
  for (const auto& m : macros)
    if (m.actionCount > orvane::kMaxMacroActions) __builtin_trap();
  // What was decoded must encode again within its own computed size.
  auto sizes = orvane::MacroAreaSizes(macros);
  auto area = orvane::EncodeMacroArea(macros, sizes.withNames, true);
  if (area.size() != sizes.withNames) __builtin_trap();
  return 0;
}
