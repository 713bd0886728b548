// libFuzzer target: profile files as the store reads them. The input is compact: bytes 0-31 the
// header, byte 32 = k, then k records of 7 bytes (entry u16, type u8, value u32) set entries of
// the image, and whatever follows is appended after the 32,832-byte image (macro records, pool).
// Checking and parsing must stay inside the bytes, and a parsed file saved again must parse back
// to the same macros and texts.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/byte_order.h"
#include "model/profile_config.h"
#include "model/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  std::vector<uint8_t> file(kProfileImageSize, 0);
  std::memcpy(file.data(), data, size < 32 ? size : 32);
  size_t at = 32;
  size_t k = at < size ? data[at++] : 0;
  for (; k > 0 && at + 7 <= size; --k, at += 7) {
    const size_t entry = LoadU16(data + at) % kTextSlotCount;
    uint8_t* e = file.data() + 64 + 16 * entry;
    e[0] = data[at + 2] % 10;
    std::memcpy(e + 4, data + at + 3, 4);
  }
  if (at < size) file.insert(file.end(), data + at, data + size);

  CheckProfileHeader(std::span<const uint8_t, 32>(file.data(), 32));
  ProfileConfig parsed;
  if (!ParseProfileFile(file, parsed)) return 0;
  if (!parsed.image || parsed.macros.size() > size_t(kMaxMacros)) __builtin_trap();

  ProfileConfig copy = parsed.Copy();
  auto saved = BuildProfileFileBytes(copy);
  if (!saved) __builtin_trap();
  if (CheckProfileHeader(std::span<const uint8_t, 32>(saved->data(), 32)) != HeaderCheck::kOk)
    __builtin_trap();
  ProfileConfig again;
  if (!ParseProfileFile(*saved, again)) __builtin_trap();
  if (!(again.macros == parsed.macros) || !(again.texts == parsed.texts)) __builtin_trap();
  return 0;
}
