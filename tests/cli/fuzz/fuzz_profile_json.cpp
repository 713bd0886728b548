// libFuzzer target: profiles in JSON form as import-json reads them. A form that is accepted
// gives a profile file that exports again (through JSON text, as export-json writes it) to a form
// that imports to the very same bytes; a form that is refused names the member at fault.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/json.h"
#include "cli/profile_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  JsonValue json;
  std::string error;
  if (!ParseJson(std::string_view(reinterpret_cast<const char*>(data), size), &json, &error))
    return 0;
  std::vector<uint8_t> file;
  if (!ProfileFromJson(json, &file, &error)) {
    if (error.empty() || error.find(": ") == std::string::npos) __builtin_trap();
    return 0;
  }
  JsonValue exported;
  if (!ProfileToJson(file, &exported, &error)) __builtin_trap();
  JsonValue reread;
  if (!ParseJson(WriteJson(exported), &reread, &error)) __builtin_trap();
  std::vector<uint8_t> again;
  if (!ProfileFromJson(reread, &again, &error) || again != file) __builtin_trap();
  return 0;
}
