// The simulated keyboard's memory and its file form.
//
// The memory file has one fixed binary layout, in this order (all offsets in bytes):
//
//   offset  size           content
//   0       48             settings record (byte 10 current profile, byte 11 macro capacity in
//                          units of 128 bytes, bytes 16-47 the offered lighting modes)
//   48      378            default key block (read-only for the host)
//   426     3 x 378        key blocks 0, 1, 2
//   1560    3 x 42         lighting records 0, 1, 2
//   1686    3 x 256        colour pages 0, 1, 2
//   2454    1              boot-mode flag (0 normal, 1 waiting for an update program)
//   2455    byte 11 x 128  macro area
//
// The file is exactly 2,455 + (settings byte 11) x 128 bytes long; anything else is refused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/keyboard_format.h"

namespace orvane {

constexpr size_t kSimKeyBlocks = 3;
constexpr size_t kSimProfiles = 3;
constexpr size_t kSimMacroUnitBytes = 128;

constexpr size_t kSimFileSettingsOffset = 0;
constexpr size_t kSimFileDefaultBlockOffset = kSimFileSettingsOffset + kSettingsBytes;
constexpr size_t kSimFileKeyBlocksOffset = kSimFileDefaultBlockOffset + kKeyBlockBytes;
constexpr size_t kSimFileLightingOffset = kSimFileKeyBlocksOffset + kSimKeyBlocks * kKeyBlockBytes;
constexpr size_t kSimFileColourOffset = kSimFileLightingOffset + kSimProfiles * kLightingRecordBytes;
constexpr size_t kSimFileBootFlagOffset = kSimFileColourOffset + kSimProfiles * kColourPageBytes;
constexpr size_t kSimFileMacroOffset = kSimFileBootFlagOffset + 1;

// Byte positions inside the settings record that the firmware itself interprets.
constexpr size_t kSimSettingsProfileByte = 10;
constexpr size_t kSimSettingsCapacityByte = 11;
constexpr size_t kSimSettingsModesOffset = 16;
constexpr size_t kSimSettingsModeCount = 32;

// The factory key assignment compiled into the firmware (126 entries of kind, b1, b2). Unlike the
// program's compiled-in default block it names G1-G5 and G9 at positions 0-5, so they are configurable.
extern const std::array<uint8_t, kKeyBlockBytes> kSimFactoryKeyBlock;
// The factory colour page (key masks of the three user modes and the light layout).
extern const std::array<uint8_t, kColourPageBytes> kSimFactoryColourPage;

struct SimMemory {
  std::array<uint8_t, kSettingsBytes> settings{};
  std::array<uint8_t, kKeyBlockBytes> default_key_block{};
  std::array<std::array<uint8_t, kKeyBlockBytes>, kSimKeyBlocks> key_blocks{};
  std::array<std::array<uint8_t, kLightingRecordBytes>, kSimProfiles> lighting{};
  std::array<std::array<uint8_t, kColourPageBytes>, kSimProfiles> colour_pages{};
  uint8_t boot_mode = 0;
  std::vector<uint8_t> macro_area;  // always settings[11] x 128 bytes

  // What a keyboard of this kind holds out of the box: profile 0, 8,192 bytes of macro space,
  // twenty-one lighting modes (254 among them, with an empty slot and a 16 in the list), each
  // profile's lighting at mode 1 / brightness 24 / speed 2, the factory colour page in every
  // page and the factory key block in every key block.
  static SimMemory Factory();

  size_t FileSize() const { return kSimFileMacroOffset + macro_area.size(); }
  std::vector<uint8_t> Serialize() const;
  // False (and *out untouched) for a file of the wrong length.
  static bool Deserialize(const uint8_t* data, size_t size, SimMemory* out, std::string* error);

  // Keeps the macro area's size in line with settings byte 11 (contents kept, new space zeroed).
  void FitMacroArea();
};

}  // namespace orvane
