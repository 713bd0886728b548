// libFuzzer target: key blocks read from a keyboard, against default blocks a keyboard supplied.
// Input: 378 bytes of block, 378 bytes of defaults, then entries (u16 index, u8 type, u32 value)
// for the layer to encode. Decoding and encoding must stay inside the layer and the block, and
// re-encoding a decoded block must reproduce every entry that decoded to an assignment.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "model/byte_order.h"
#include "model/device_image.h"
#include "model/key_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  if (size < 2 * kKeyBlockBytes) return 0;
  KeyBlock block, defaults;
  std::memcpy(block.data(), data, kKeyBlockBytes);
  std::memcpy(defaults.data(), data + kKeyBlockBytes, kKeyBlockBytes);
  auto image = std::make_unique<ProfileImage>();
  const int layer = data[0] % 4;
  DecodeKeyBlock(block, *image, layer, defaults);

  // Encode random assignments, including types and media indices past their tables.
  for (size_t at = 2 * kKeyBlockBytes; at + 7 <= size; at += 7) {
    KeyAction* e = image->EntryAt(layer, LoadU16(data + at) % kLayerEntries);
    e->type = data[at + 2] % 12;
    e->value = LoadU32(data + at + 3);
  }
  const std::vector<MacroRecord> none;
  const KeyBlock out = EncodeKeyBlock(*image, layer, none, defaults);
  // Positions that name no key keep their default entry whatever the layer holds.
  for (int p = 0; p < kKeyBlockEntryCount; ++p)
    if (KeyCodeOfBlockEntry(defaults, p) == 0 &&
        std::memcmp(out.data() + 3 * p, defaults.data() + 3 * p, 3) != 0)
      __builtin_trap();
  return 0;
}
