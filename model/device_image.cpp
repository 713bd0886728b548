// Key block encoding and decoding, and what the program learns from the keyboard.
#include "model/device_image.h"

#include <algorithm>

#include "model/key_table.h"

namespace orvane {
namespace {

// clang-format off
constexpr KeyBlock kCompiledDefaultBlock = {
    // 0-7
    0x05,0x00,0x00, 0x05,0x00,0x00, 0x05,0x00,0x00, 0x05,0x00,0x00, 0x05,0x00,0x00, 0x05,0x00,0x00, 0x00,0x00,0x00, 0x00,0x00,0x00,
    // 8-15
    0x02,0x02,0x29, 0x02,0x02,0x35, 0x02,0x02,0x2B, 0x02,0x02,0x39, 0x02,0x01,0x02, 0x02,0x01,0x01, 0x00,0x00,0x00, 0x00,0x00,0x00,
    // 16-23
    0x02,0x02,0x3A, 0x02,0x02,0x1E, 0x02,0x02,0x14, 0x02,0x02,0x04, 0x02,0x02,0x1D, 0x02,0x01,0x08, 0x00,0x00,0x00, 0x00,0x00,0x00,
    // 24-31
    0x02,0x02,0x3B, 0x02,0x02,0x1F, 0x02,0x02,0x1A, 0x02,0x02,0x16, 0x02,0x02,0x1B, 0x02,0x01,0x04, 0x00,0x00,0x00, 0x00,0x00,0x00,
    // 32-39
    0x02,0x02,0x3C, 0x02,0x02,0x20, 0x02,0x02,0x08, 0x02,0x02,0x07, 0x02,0x02,0x06, 0x02,0x02,0x2C, 0x02,0x02,0x46, 0x00,0x00,0x00,
    // 40-47
    0x02,0x02,0x3D, 0x02,0x02,0x21, 0x02,0x02,0x15, 0x02,0x02,0x09, 0x02,0x02,0x19, 0x02,0x01,0x40, 0x02,0x02,0x47, 0x00,0x00,0x00,
    // 48-55
    0x02,0x02,0x3E, 0x02,0x02,0x22, 0x02,0x02,0x17, 0x02,0x02,0x0A, 0x02,0x02,0x05, 0x05,0x02,0x02, 0x02,0x02,0x2E, 0x00,0x00,0x00,
    // 56-63
    0x02,0x02,0x3F, 0x02,0x02,0x23, 0x02,0x02,0x1C, 0x02,0x02,0x0B, 0x02,0x02,0x11, 0x02,0x02,0x65, 0x02,0x02,0x48, 0x00,0x00,0x00,
    // 64-71
    0x02,0x02,0x40, 0x02,0x02,0x24, 0x02,0x02,0x18, 0x02,0x02,0x0D, 0x02,0x02,0x10, 0x02,0x01,0x10, 0x02,0x02,0x49, 0x00,0x00,0x00,
    // 72-79
    0x02,0x02,0x41, 0x02,0x02,0x25, 0x02,0x02,0x0C, 0x02,0x02,0x0E, 0x02,0x02,0x36, 0x02,0x02,0x50, 0x02,0x02,0x4A, 0x00,0x00,0x00,
    // 80-87
    0x02,0x02,0x42, 0x02,0x02,0x26, 0x02,0x02,0x12, 0x02,0x02,0x0F, 0x02,0x02,0x37, 0x02,0x02,0x51, 0x02,0x02,0x4B, 0x00,0x00,0x00,
    // 88-95
    0x02,0x02,0x43, 0x02,0x02,0x27, 0x02,0x02,0x13, 0x02,0x02,0x33, 0x02,0x02,0x38, 0x02,0x02,0x52, 0x02,0x02,0x4C, 0x00,0x00,0x00,
    // 96-103
    0x02,0x02,0x44, 0x02,0x02,0x2D, 0x02,0x02,0x2F, 0x02,0x02,0x34, 0x02,0x01,0x20, 0x02,0x02,0x4F, 0x02,0x02,0x4D, 0x00,0x00,0x00,
    // 104-111
    0x02,0x02,0x45, 0x02,0x02,0x2E, 0x02,0x02,0x30, 0x02,0x02,0x31, 0x00,0x00,0x00, 0x00,0x00,0x00, 0x00,0x00,0x00, 0x00,0x00,0x00,
    // 112-125: nothing
};
// clang-format on

struct Entry3 {
  uint8_t kind, b1, b2;
  bool operator==(const Entry3&) const = default;
};

Entry3 EntryAtPosition(std::span<const uint8_t, kKeyBlockBytes> block, int p) {
  const size_t at = size_t(p) * 3;
  return {block[at], block[at + 1], block[at + 2]};
}

// The entry a SingleKey assignment stands for; only the key code part of the value counts.
Entry3 SingleKeyEntry(uint32_t value) {
  const uint16_t code = uint16_t(value);
  if (uint8_t bit = ModifierBitOfCode(code)) return {2, 1, bit};
  switch (code) {
    case 0x171: return {1, 1, 1};
    case 0x172: return {1, 1, 2};
    case 0x173: return {1, 1, 4};
    case 0x161: return {1, 5, 0x01};
    case 0x162: return {1, 5, 0xFF};
    default: break;
  }
  const DeviceUsage usage = DeviceUsageOf(code);
  if (usage.kind == kUsageKeyboard) return {2, 2, uint8_t(usage.value)};
  // A media key goes into the key block by its usage byte, which the keyboard-usage form carries
  // and which reads back as the same key (macro actions keep the consumer form instead).
  if (usage.kind == kUsageConsumer) return {2, 2, KeyEntryOf(code)->usage};
  return {2, 2, 0};
}

// The entry for one layer entry, given the position's default entry.
Entry3 EntryOfAction(const KeyAction& action, Entry3 def, std::span<const MacroRecord> macros) {
  switch (action.type) {
    case kActionDefault: return def;
    case kActionDisabled: return {0, 0, 0};
    case kActionSingleKey: return SingleKeyEntry(action.value);
    case kActionLaunchProgram: return def;  // the keyboard cannot start programs
    case kActionPlayMacro:
      return {5, 1, uint8_t(MacroPosition(macros, uint16_t(action.value)))};
    case kActionStopMacro: return {5, 2, 0};
    case kActionPlayText: return {0, 0, 0};
    case kActionMedia: {
      // An index past the table is not a function the keyboard knows: keep the default.
      if (action.value >= uint32_t(kMediaFunctionCount)) return def;
      const uint16_t usage = MediaFunctions()[action.value].consumerUsage;
      return {3, uint8_t(usage), uint8_t(usage >> 8)};
    }
    case kActionFunction: return {5, 5, uint8_t(action.value)};
    default: return def;  // a type the keyboard has no form for
  }
}

}  // namespace

const KeyBlock& CompiledDefaultKeyBlock() { return kCompiledDefaultBlock; }

KeyBlock KeyboardFacts::DefaultKeyBlock() const {
  std::lock_guard lock(mutex_);
  return default_block_;
}

void KeyboardFacts::SetDefaultKeyBlock(std::span<const uint8_t, kKeyBlockBytes> block) {
  std::lock_guard lock(mutex_);
  std::copy(block.begin(), block.end(), default_block_.begin());
}

uint16_t KeyCodeOfBlockEntry(std::span<const uint8_t, kKeyBlockBytes> block, int position) {
  if (position < 0 || position >= kKeyBlockEntryCount) return 0;
  const Entry3 e = EntryAtPosition(block, position);
  return KeyCodeOfDefaultEntry(e.kind, e.b1, e.b2);
}

KeyBlock EncodeKeyBlock(const ProfileImage& image, int layer, std::span<const MacroRecord> macros,
                        std::span<const uint8_t, kKeyBlockBytes> defaults) {
  KeyBlock out;
  std::copy(defaults.begin(), defaults.end(), out.begin());
  if (layer < 0 || layer >= kLayerCount) return out;
  for (int p = 0; p < kKeyBlockEntryCount; ++p) {
    const uint16_t code = KeyCodeOfBlockEntry(defaults, p);
    if (code == 0) continue;
    const KeyAction* action = image.EntryAt(layer, KeyIndexOf(code));
    if (!action) continue;
    const Entry3 e = EntryOfAction(*action, EntryAtPosition(defaults, p), macros);
    out[size_t(p) * 3] = e.kind;
    out[size_t(p) * 3 + 1] = e.b1;
    out[size_t(p) * 3 + 2] = e.b2;
  }
  return out;
}

void DecodeKeyBlock(std::span<const uint8_t, kKeyBlockBytes> block, ProfileImage& image, int layer,
                    std::span<const uint8_t, kKeyBlockBytes> defaults) {
  if (layer < 0 || layer >= kLayerCount) return;
  ClearLayer(image, layer);
  for (int p = 0; p < kKeyBlockEntryCount; ++p) {
    const Entry3 d = EntryAtPosition(defaults, p);
    const Entry3 e = EntryAtPosition(block, p);
    if (e == d) continue;
    const int index = KeyIndexOf(KeyCodeOfDefaultEntry(d.kind, d.b1, d.b2));
    if (index == 0) continue;
    KeyAction* action = image.EntryAt(layer, index);
    if (!action) continue;
    action->type = kActionDisabled;
    switch (e.kind) {
      case 5:
        if (e.b1 == 1) {
          action->type = kActionPlayMacro;
          action->value = uint32_t(e.b2) + 1;
        } else if (e.b1 == 2) {
          action->type = kActionStopMacro;
        } else if (e.b1 == 5) {
          action->type = kActionFunction;
          action->value = e.b2;
        }
        break;
      case 3: {
        const int k = MediaIndexOfUsage(uint16_t(e.b1 | (e.b2 << 8)));
        if (k >= 0 && k < kMediaFunctionCount) {
          action->type = kActionMedia;
          action->value = uint32_t(k);
        }
        break;
      }
      case 1:
        // A mouse entry the keyboard does not define still acts as a key; it gets no code.
        action->type = kActionSingleKey;
        action->value = KeyCodeOfDefaultEntry(e.kind, e.b1, e.b2);
        break;
      case 2:
        if (e.b1 == 2) {
          if (uint16_t code = KeyCodeOfDeviceUsage(kUsageKeyboard, e.b2)) {
            action->type = kActionSingleKey;
            action->value = code;
          }
        } else if (uint16_t code = ModifierCodeOfBits(e.b2)) {
          // No modifier bit at all names no key, so the position stays disabled.
          action->type = kActionSingleKey;
          action->value = code;
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace orvane
