// libFuzzer target: text pools as read from profile files. The input is a compact description of
// the image's entries followed by the packed pool: byte 0 = k, then k records of 7 bytes (slot
// u16, type u8, value u32), then the pool bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "model/byte_order.h"
#include "model/profile_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto image = std::make_unique<orvane::ProfileImage>();
  size_t k = data[0];
  size_t at = 1;
  for (; k > 0 && at + 7 <= size; --k, at += 7) {
    auto& e = image->entries[orvane::LoadU16(data + at) % orvane::kTextSlotCount];
    e.type = data[at + 2] % 10;
    e.value = orvane::LoadU32(data + at + 3);
  }
  orvane::TextPool pool;
  orvane::UnpackTexts(*image, std::span<const uint8_t>(data + at, size - at), pool);
  // Packing again must stay inside a buffer of the pool's total and place every text.
  orvane::WriteProfileHeader(*image, 0, pool.Total(), 0);
  auto packed = orvane::PackTexts(*image, pool);
  if (packed.size() != pool.Total()) __builtin_trap();
  // Every text comes back from the repacked pool (entries without a text keep their old value,
  // which may now point at someone else's text, so only the texts are compared).
  orvane::TextPool again;
  orvane::UnpackTexts(*image, packed, again);
  for (int slot = 0; slot < orvane::kTextSlotCount; ++slot) {
    const std::u16string* t = pool.Text(slot);
    const std::u16string* u = again.Text(slot);
    if (t && (!u || *t != *u)) __builtin_trap();
  }
  return 0;
}
