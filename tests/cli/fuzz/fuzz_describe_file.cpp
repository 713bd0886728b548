// libFuzzer target: descriptor files as `describe` reads them (raw bytes, or hex text as HID
// tools print it), then parsed and shown as text and JSON. The bytes found in a text file,
// printed again as plain hex, must read back the same; a raw file is its own bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "cli/describe.h"
#include "cli/json.h"
#include "platform/hid_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  const std::span<const uint8_t> file(data, size);
  std::vector<uint8_t> bytes;
  std::string error;
  if (!DescriptorBytesFromFile(file, &bytes, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (bytes.size() > size) __builtin_trap();
  std::string hex;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02x%c", bytes[i], i % 16 == 15 ? '\n' : ' ');
    hex += b;
  }
  std::vector<uint8_t> again;
  const std::span<const uint8_t> hex_file(reinterpret_cast<const uint8_t*>(hex.data()), hex.size());
  if (!bytes.empty() && (!DescriptorBytesFromFile(hex_file, &again, &error) || again != bytes))
    __builtin_trap();

  HidDescriptor parsed;
  if (!ParseHidDescriptor(bytes.data(), bytes.size(), &parsed, &error)) return 0;
  JsonValue collections = JsonValue::Array();
  std::string text;
  for (const HidCollectionInfo& c : parsed.collections) {
    collections.Push(CollectionToJson(c));
    text += CollectionToText(c, "  ");
  }
  JsonValue back;
  if (!ParseJson(WriteJson(collections), &back, &error) || !(back == collections)) __builtin_trap();
  return 0;
}
