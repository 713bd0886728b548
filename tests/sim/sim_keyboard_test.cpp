// The simulated keyboard's firmware and memory file: what a host reads back after writing, the
// memory file's fixed layout, and the faults it can be told to produce.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "sim/sim_keyboard.h"
#include "sim/sim_memory.h"

namespace orvane {
namespace {

SimReport Request(uint8_t command, uint8_t length, uint16_t address,
                  const std::vector<uint8_t>& data = {}, bool good_checksum = true) {
  SimReport r{};
  r[0] = kCommandReportId;
  r[3] = command;
  r[4] = length;
  r[5] = static_cast<uint8_t>(address & 0xFF);
  r[6] = static_cast<uint8_t>(address >> 8);
  std::copy(data.begin(), data.end(), r.begin() + 8);
  uint16_t sum = CSimKeyboard::Checksum(r.data());
  if (!good_checksum) ++sum;
  r[1] = static_cast<uint8_t>(sum & 0xFF);
  r[2] = static_cast<uint8_t>(sum >> 8);
  return r;
}

SimReport Answer(CSimKeyboard& kb, const SimReport& request) {
  const SimOutcome out = kb.HandleRequest(request.data(), request.size());
  EXPECT_TRUE(out.reply.has_value());
  return out.reply.value_or(SimReport{});
}

TEST(SimMemoryTest, FactoryStateIsWhatAKeyboardOfThisKindHolds) {
  const SimMemory m = SimMemory::Factory();
  EXPECT_EQ(m.settings[kSimSettingsProfileByte], 0);
  EXPECT_EQ(m.settings[kSimSettingsCapacityByte], 0x40);
  EXPECT_EQ(m.macro_area.size(), 8192u);
  const auto modes_begin = m.settings.begin() + kSimSettingsModesOffset;
  const auto modes_end = modes_begin + kSimSettingsModeCount;
  EXPECT_NE(std::find(modes_begin, modes_end, 254), modes_end);
  EXPECT_NE(std::find(modes_begin, modes_end, 16), modes_end);
  // An empty slot before the last mode, so a reader has to skip it rather than stop.
  const auto first_zero = std::find(modes_begin, modes_end, 0);
  EXPECT_LT(first_zero, std::find(modes_begin, modes_end, 254));
  EXPECT_GE(std::count_if(modes_begin, modes_end, [](uint8_t v) { return v != 0 && v != 16; }), 18);
  for (const auto& rec : m.lighting) {
    EXPECT_EQ(rec[0], 1);
    EXPECT_EQ(rec[1], 24);
    EXPECT_EQ(rec[2], 2);
  }
  for (const auto& block : m.key_blocks) EXPECT_EQ(block, m.default_key_block);
  for (const auto& page : m.colour_pages) EXPECT_EQ(page, kSimFactoryColourPage);
  // Spot checks of the factory tables: both positions of usage 0x2E, the stop-macro entry, the
  // WASD mask of user mode 0.
  const auto entry = [&](size_t p) {
    return std::vector<uint8_t>(m.default_key_block.begin() + p * 3, m.default_key_block.begin() + p * 3 + 3);
  };
  EXPECT_EQ(entry(54), (std::vector<uint8_t>{2, 2, 0x2E}));
  EXPECT_EQ(entry(105), (std::vector<uint8_t>{2, 2, 0x2E}));
  EXPECT_EQ(entry(53), (std::vector<uint8_t>{5, 2, 2}));
  EXPECT_EQ(entry(125), (std::vector<uint8_t>{0, 0, 0}));
  EXPECT_EQ(kSimFactoryColourPage[1], 0x08);
  EXPECT_EQ(kSimFactoryColourPage[2], 0x0C);
  EXPECT_EQ(kSimFactoryColourPage[181], 0x02);
}

TEST(SimMemoryTest, FileLayoutIsFixedAndLengthChecked) {
  SimMemory m = SimMemory::Factory();
  m.settings[5] = 0xA5;
  m.default_key_block[0] = 0xD0;
  m.key_blocks[1][0] = 0xB1;
  m.key_blocks[2][377] = 0xB2;
  m.lighting[2][41] = 0xC2;
  m.colour_pages[1][0] = 0xE1;
  m.boot_mode = 1;
  m.macro_area.back() = 0x77;
  const std::vector<uint8_t> file = m.Serialize();
  ASSERT_EQ(file.size(), 2455u + 8192u);
  EXPECT_EQ(file[5], 0xA5);
  EXPECT_EQ(file[48], 0xD0);
  EXPECT_EQ(file[48 + 378 + 378], 0xB1);
  EXPECT_EQ(file[48 + 378 + 3 * 378 - 1], 0xB2);
  EXPECT_EQ(file[1560 + 3 * 42 - 1], 0xC2);
  EXPECT_EQ(file[1686 + 256], 0xE1);
  EXPECT_EQ(file[2454], 1);
  EXPECT_EQ(file.back(), 0x77);

  SimMemory back;
  ASSERT_TRUE(SimMemory::Deserialize(file.data(), file.size(), &back, nullptr));
  EXPECT_EQ(back.Serialize(), file);

  // A file whose length disagrees with its own macro capacity, or that is cut short, is refused.
  std::string error;
  EXPECT_FALSE(SimMemory::Deserialize(file.data(), file.size() - 1, &back, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(SimMemory::Deserialize(file.data(), 100, &back, nullptr));
  EXPECT_FALSE(SimMemory::Deserialize(nullptr, 0, &back, nullptr));
  std::vector<uint8_t> no_macros(file.begin(), file.begin() + 2455);
  no_macros[kSimSettingsCapacityByte] = 0;
  ASSERT_TRUE(SimMemory::Deserialize(no_macros.data(), no_macros.size(), &back, nullptr));
  EXPECT_TRUE(back.macro_area.empty());
}

TEST(SimKeyboardTest, WrittenDataReadsBackEverywhere) {
  CSimKeyboard kb;
  std::vector<uint8_t> chunk(56);
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>(0x80 + i);

  // Key block 2, the last chunk (42 bytes at offset 336).
  SimReport r = Answer(kb, Request(0x08, 42, 2 * 512 + 336, chunk));
  EXPECT_EQ(r[7], kSimStatusOk);
  EXPECT_EQ(r[3], 0x08);  // echo of command, length, address
  EXPECT_EQ(r[4], 42);
  EXPECT_EQ(r[5] | (r[6] << 8), 2 * 512 + 336);
  r = Answer(kb, Request(0x07, 42, 2 * 512 + 336));
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.begin() + 42, r.begin() + 8));
  EXPECT_EQ(kb.Memory().key_blocks[2][336], 0x80);
  EXPECT_EQ(kb.Memory().key_blocks[1][336], kSimFactoryKeyBlock[336]);

  // Macro area, lighting, colour pages.
  EXPECT_EQ(Answer(kb, Request(0x0A, 56, 8192 - 56, chunk))[7], kSimStatusOk);
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), Answer(kb, Request(0x09, 56, 8192 - 56)).begin() + 8));
  EXPECT_EQ(Answer(kb, Request(0x06, 3, 42 + 15, {3, 1, 0}))[7], kSimStatusOk);
  EXPECT_EQ(kb.Memory().lighting[1][15], 3);
  EXPECT_EQ(Answer(kb, Request(0x11, 1, 256 + 1, {0x55}))[7], kSimStatusOk);
  EXPECT_EQ(Answer(kb, Request(0x10, 4, 256))[9], 0x55);

  // Settings: byte 10 is the current profile; byte 11 resizes the macro area.
  SimReport s = Answer(kb, Request(0x03, 0x30, 0));
  std::vector<uint8_t> settings(s.begin() + 8, s.begin() + 8 + 48);
  settings[10] = 2;
  settings[11] = 255;
  EXPECT_EQ(Answer(kb, Request(0x04, 0x30, 0, settings))[7], kSimStatusOk);
  EXPECT_EQ(kb.Memory().settings[10], 2);
  EXPECT_EQ(kb.Memory().macro_area.size(), 255u * 128u);
}

TEST(SimKeyboardTest, RefusesWhatDoesNotFitAndBadChecksums) {
  CSimKeyboard kb;
  const SimMemory before = kb.Memory();
  std::vector<uint8_t> chunk(56, 0xAB);
  EXPECT_EQ(Answer(kb, Request(0x08, 56, 3 * 512, chunk))[7], kSimStatusFailed);        // block 3
  EXPECT_EQ(Answer(kb, Request(0x08, 56, 336, chunk))[7], kSimStatusFailed);            // past 378
  EXPECT_EQ(Answer(kb, Request(0x0A, 56, 8192 - 55, chunk))[7], kSimStatusFailed);      // past capacity
  EXPECT_EQ(Answer(kb, Request(0x06, 56, 84, chunk))[7], kSimStatusFailed);             // past record 2
  EXPECT_EQ(Answer(kb, Request(0x08, 56, 0, chunk, false))[7], kSimStatusFailed);       // checksum
  EXPECT_EQ(Answer(kb, Request(0x42, 0, 0))[7], kSimStatusFailed);                      // unknown
  EXPECT_EQ(kb.Memory().Serialize(), before.Serialize());

  // Reads that start inside a space but run past its end come back zero-filled.
  const SimReport r = Answer(kb, Request(0x05, 56, 84));
  EXPECT_EQ(r[7], kSimStatusOk);
  EXPECT_EQ(r[8], 1);
  EXPECT_TRUE(std::all_of(r.begin() + 8 + 42, r.end(), [](uint8_t v) { return v == 0; }));

  // Reports that are not command reports are ignored.
  SimReport other = Request(0x03, 0x30, 0);
  other[0] = 2;
  EXPECT_FALSE(kb.HandleRequest(other.data(), other.size()).reply.has_value());
}

TEST(SimKeyboardTest, BootModeStopsAnswering) {
  CSimKeyboard kb;
  SimReport boot{};
  boot[0] = 4;
  boot[3] = 0xEE;
  boot[4] = 0xEE;  // no checksum
  EXPECT_FALSE(kb.HandleRequest(boot.data(), boot.size()).reply.has_value());
  EXPECT_TRUE(kb.InBootMode());
  EXPECT_EQ(kb.Memory().Serialize()[kSimFileBootFlagOffset], 1);
  EXPECT_FALSE(kb.HandleRequest(Request(0x0D, 0, 0).data(), 64).reply.has_value());
  kb.LeaveBootMode();
  EXPECT_TRUE(kb.HandleRequest(Request(0x0D, 0, 0).data(), 64).reply.has_value());
}

TEST(SimKeyboardTest, FaultsApplyToTheCountedRequestsOnly) {
  CSimKeyboard kb;
  const SimReport test = Request(0x0D, 0, 0);
  SimFaults f;
  f.no_reply = 2;
  kb.SetFaults(f);
  EXPECT_FALSE(kb.HandleRequest(test.data(), 64).reply.has_value());
  EXPECT_FALSE(kb.HandleRequest(test.data(), 64).reply.has_value());
  EXPECT_TRUE(kb.HandleRequest(test.data(), 64).reply.has_value());

  f = SimFaults{};
  f.late_reply = 1;
  f.late_ms = 250;
  kb.SetFaults(f);
  EXPECT_EQ(kb.HandleRequest(test.data(), 64).delay_ms, 250u);
  EXPECT_EQ(kb.HandleRequest(test.data(), 64).delay_ms, 0u);

  // A failing status does not store the data.
  f = SimFaults{};
  f.error_status = kSimStatusBusy;
  f.error_status_count = 1;
  f.error_status_after = 1;
  kb.SetFaults(f);
  EXPECT_EQ(Answer(kb, test)[7], kSimStatusOk);
  EXPECT_EQ(Answer(kb, Request(0x06, 1, 0, {9}))[7], kSimStatusBusy);
  EXPECT_EQ(kb.Memory().lighting[0][0], 1);
  EXPECT_EQ(Answer(kb, test)[7], kSimStatusOk);

  f = SimFaults{};
  f.vanish_after = 1;
  kb.SetFaults(f);
  EXPECT_FALSE(kb.HandleRequest(test.data(), 64).vanish);
  const SimOutcome gone = kb.HandleRequest(test.data(), 64);
  EXPECT_TRUE(gone.vanish);
  EXPECT_FALSE(gone.reply.has_value());
  EXPECT_FALSE(kb.HandleRequest(test.data(), 64).vanish);  // once only
  EXPECT_EQ(kb.RequestCount(), 11u);
}

}  // namespace
}  // namespace orvane
