// libFuzzer target: JSON text as the tool reads it from files. Whatever parses must write out,
// compact and indented, as text that parses back to the same value and soon writes the same;
// whatever does not parse must say where (a line and a column).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  JsonValue value;
  std::string error;
  if (!ParseJson(text, &value, &error)) {
    if (error.rfind("line ", 0) != 0 || error.find(", column ") == std::string::npos)
      __builtin_trap();
    return 0;
  }
  for (int indent : {-1, 2}) {
    // The first writing may still change how a number is spelled (-0.0 is written "-0", which
    // reads as the integer 0); from then on the text stays as it is.
    const std::string written = WriteJson(value, indent);
    JsonValue again, third;
    if (!ParseJson(written, &again, &error) || !(again == value)) __builtin_trap();
    const std::string rewritten = WriteJson(again, indent);
    if (!ParseJson(rewritten, &third, &error) || !(third == value) ||
        WriteJson(third, indent) != rewritten)
      __builtin_trap();
  }
  return 0;
}
