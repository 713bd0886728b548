#include "sim/sim_memory.h"

#include <algorithm>
#include <cstring>

namespace orvane {

namespace {

constexpr std::array<uint8_t, kKeyBlockBytes> MakeFactoryKeyBlock() {
  // Positions 0-111; 112-125 are empty. Positions 0-4 name G1-G5 and position 5 names G9, the
  // key the program's macro button edits (06 A2 n), so their assignments reach the keyboard; the
  // block compiled into the program leaves them at their factory function (05 00 00) until a
  // keyboard answers with its own block.
  constexpr uint8_t kEntries[112][3] = {
      {6, 0xA2, 1}, {6, 0xA2, 2}, {6, 0xA2, 3}, {6, 0xA2, 4}, {6, 0xA2, 5}, {6, 0xA2, 9}, {0, 0, 0}, {0, 0, 0},
      {2, 2, 0x29}, {2, 2, 0x35}, {2, 2, 0x2B}, {2, 2, 0x39}, {2, 1, 0x02}, {2, 1, 0x01}, {0, 0, 0}, {0, 0, 0},
      {2, 2, 0x3A}, {2, 2, 0x1E}, {2, 2, 0x14}, {2, 2, 0x04}, {2, 2, 0x1D}, {2, 1, 0x08}, {0, 0, 0}, {0, 0, 0},
      {2, 2, 0x3B}, {2, 2, 0x1F}, {2, 2, 0x1A}, {2, 2, 0x16}, {2, 2, 0x1B}, {2, 1, 0x04}, {0, 0, 0}, {0, 0, 0},
      {2, 2, 0x3C}, {2, 2, 0x20}, {2, 2, 0x08}, {2, 2, 0x07}, {2, 2, 0x06}, {2, 2, 0x2C}, {2, 2, 0x46}, {0, 0, 0},
      {2, 2, 0x3D}, {2, 2, 0x21}, {2, 2, 0x15}, {2, 2, 0x09}, {2, 2, 0x19}, {2, 1, 0x40}, {2, 2, 0x47}, {0, 0, 0},
      {2, 2, 0x3E}, {2, 2, 0x22}, {2, 2, 0x17}, {2, 2, 0x0A}, {2, 2, 0x05}, {5, 2, 0x02}, {2, 2, 0x2E}, {0, 0, 0},
      {2, 2, 0x3F}, {2, 2, 0x23}, {2, 2, 0x1C}, {2, 2, 0x0B}, {2, 2, 0x11}, {2, 2, 0x65}, {2, 2, 0x48}, {0, 0, 0},
      {2, 2, 0x40}, {2, 2, 0x24}, {2, 2, 0x18}, {2, 2, 0x0D}, {2, 2, 0x10}, {2, 1, 0x10}, {2, 2, 0x49}, {0, 0, 0},
      {2, 2, 0x41}, {2, 2, 0x25}, {2, 2, 0x0C}, {2, 2, 0x0E}, {2, 2, 0x36}, {2, 2, 0x50}, {2, 2, 0x4A}, {0, 0, 0},
      {2, 2, 0x42}, {2, 2, 0x26}, {2, 2, 0x12}, {2, 2, 0x0F}, {2, 2, 0x37}, {2, 2, 0x51}, {2, 2, 0x4B}, {0, 0, 0},
      {2, 2, 0x43}, {2, 2, 0x27}, {2, 2, 0x13}, {2, 2, 0x33}, {2, 2, 0x38}, {2, 2, 0x52}, {2, 2, 0x4C}, {0, 0, 0},
      {2, 2, 0x44}, {2, 2, 0x2D}, {2, 2, 0x2F}, {2, 2, 0x34}, {2, 1, 0x20}, {2, 2, 0x4F}, {2, 2, 0x4D}, {0, 0, 0},
      {2, 2, 0x45}, {2, 2, 0x2E}, {2, 2, 0x30}, {2, 2, 0x31}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
  };
  std::array<uint8_t, kKeyBlockBytes> block{};
  for (size_t p = 0; p < 112; ++p) {
    for (size_t b = 0; b < 3; ++b) block[p * 3 + b] = kEntries[p][b];
  }
  return block;
}

constexpr std::array<uint8_t, kColourPageBytes> MakeFactoryColourPage() {
  std::array<uint8_t, kColourPageBytes> page{};
  constexpr uint8_t kHead[4] = {0x00, 0x08, 0x0C, 0x08};  // user mode 0 lights W, A, S, D
  for (size_t i = 0; i < 4; ++i) page[i] = kHead[i];
  page[63] = 0x25;
  constexpr uint8_t kRow64[9] = {0x0A, 0x1E, 0x3A, 0x1A, 0x12, 0x02, 0x00, 0x00, 0x08};
  for (size_t i = 0; i < 9; ++i) page[64 + i] = kRow64[i];
  constexpr uint8_t kRow80[15] = {0x00, 0x19, 0x0C, 0x1C, 0x0C, 0x10, 0x00, 0x00,
                                  0x00, 0x20, 0x20, 0x20, 0x00, 0x00, 0x10};
  for (size_t i = 0; i < 15; ++i) page[80 + i] = kRow80[i];
  page[105] = 0x02;
  page[124] = 0x02;
  page[143] = 0x02;
  page[162] = 0x02;
  page[181] = 0x02;
  return page;
}

// Twenty-one modes; the empty slot and the 16 are there on purpose, as real mode lists have them.
constexpr uint8_t kFactoryModes[kSimSettingsModeCount] = {
    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 17, 18, 19, 20, 254,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

}  // namespace

const std::array<uint8_t, kKeyBlockBytes> kSimFactoryKeyBlock = MakeFactoryKeyBlock();
const std::array<uint8_t, kColourPageBytes> kSimFactoryColourPage = MakeFactoryColourPage();

SimMemory SimMemory::Factory() {
  SimMemory m;
  m.settings[0] = 0x01;  // firmware version 1.05, for tools that show it
  m.settings[1] = 0x05;
  m.settings[kSimSettingsProfileByte] = 0;
  m.settings[kSimSettingsCapacityByte] = 0x40;  // 8,192 bytes
  std::memcpy(&m.settings[kSimSettingsModesOffset], kFactoryModes, kSimSettingsModeCount);
  m.default_key_block = kSimFactoryKeyBlock;
  for (auto& block : m.key_blocks) block = kSimFactoryKeyBlock;
  for (auto& record : m.lighting) {
    record.fill(0);
    record[0] = 1;   // mode
    record[1] = 24;  // brightness
    record[2] = 2;   // speed
  }
  for (auto& page : m.colour_pages) page = kSimFactoryColourPage;
  m.boot_mode = 0;
  m.FitMacroArea();
  return m;
}

void SimMemory::FitMacroArea() {
  macro_area.resize(size_t{settings[kSimSettingsCapacityByte]} * kSimMacroUnitBytes, 0);
}

std::vector<uint8_t> SimMemory::Serialize() const {
  std::vector<uint8_t> out(FileSize());
  uint8_t* p = out.data();
  std::memcpy(p + kSimFileSettingsOffset, settings.data(), settings.size());
  std::memcpy(p + kSimFileDefaultBlockOffset, default_key_block.data(), default_key_block.size());
  for (size_t i = 0; i < kSimKeyBlocks; ++i) {
    std::memcpy(p + kSimFileKeyBlocksOffset + i * kKeyBlockBytes, key_blocks[i].data(),
                kKeyBlockBytes);
  }
  for (size_t i = 0; i < kSimProfiles; ++i) {
    std::memcpy(p + kSimFileLightingOffset + i * kLightingRecordBytes, lighting[i].data(),
                kLightingRecordBytes);
    std::memcpy(p + kSimFileColourOffset + i * kColourPageBytes, colour_pages[i].data(),
                kColourPageBytes);
  }
  p[kSimFileBootFlagOffset] = boot_mode;
  if (!macro_area.empty()) std::memcpy(p + kSimFileMacroOffset, macro_area.data(), macro_area.size());
  return out;
}

bool SimMemory::Deserialize(const uint8_t* data, size_t size, SimMemory* out, std::string* error) {
  auto fail = [error](const char* why) {
    if (error) *error = why;
    return false;
  };
  if (data == nullptr || size < kSimFileMacroOffset) return fail("memory file too short");
  const size_t macro = size_t{data[kSimFileSettingsOffset + kSimSettingsCapacityByte]} * kSimMacroUnitBytes;
  if (size != kSimFileMacroOffset + macro) return fail("memory file length does not match its macro capacity");
  SimMemory m;
  std::memcpy(m.settings.data(), data + kSimFileSettingsOffset, kSettingsBytes);
  std::memcpy(m.default_key_block.data(), data + kSimFileDefaultBlockOffset, kKeyBlockBytes);
  for (size_t i = 0; i < kSimKeyBlocks; ++i) {
    std::memcpy(m.key_blocks[i].data(), data + kSimFileKeyBlocksOffset + i * kKeyBlockBytes,
                kKeyBlockBytes);
  }
  for (size_t i = 0; i < kSimProfiles; ++i) {
    std::memcpy(m.lighting[i].data(), data + kSimFileLightingOffset + i * kLightingRecordBytes,
                kLightingRecordBytes);
    std::memcpy(m.colour_pages[i].data(), data + kSimFileColourOffset + i * kColourPageBytes,
                kColourPageBytes);
  }
  m.boot_mode = data[kSimFileBootFlagOffset] != 0 ? 1 : 0;
  m.macro_area.assign(data + kSimFileMacroOffset, data + size);
  *out = std::move(m);
  return true;
}

}  // namespace orvane
