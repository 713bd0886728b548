// Damaged and random input for the parsers of outside data: they must never read or write outside
// their buffers (the sanitizer build runs this) and must keep the record invariants.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "model/macro.h"
#include "tests/support/doubles.h"

namespace orvane {
namespace {

void CheckDecoded(const std::vector<MacroRecord>& macros) {
  ASSERT_LE(macros.size(), size_t(kMaxMacros));
  for (size_t p = 0; p < macros.size(); ++p) {
    EXPECT_EQ(macros[p].id, p + 1);
    EXPECT_EQ(macros[p].isNew, 0);
    EXPECT_LE(macros[p].actionCount, kMaxMacroActions);
    EXPECT_EQ(macros[p].name[kMacroNameChars], 0);
    EXPECT_FALSE(MacroName(macros[p]).empty());
    const auto& a = macros[p].actions;
    EXPECT_TRUE(std::all_of(a.begin() + macros[p].actionCount, a.end(),
                            [](const MacroAction& x) { return x == MacroAction{}; }));
  }
}

TEST(HostileInput, DecodeMacroAreaOfRandomBytes) {
  MapTextSource texts;
  texts.Set("TEXT", "MACRO_NEW_PREFIX", "M");
  std::mt19937 rng(4242);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> area(rng() % 600);
    for (uint8_t& b : area) b = uint8_t(rng());
    if (area.size() >= 6 && rng() % 4 != 0) {
      area[0] = 0xAA;
      area[1] = 0x55;
      if (rng() % 4 != 0) {  // mostly a few macros, so that their offsets get followed
        area[4] = uint8_t(rng() % 8);
        area[5] = 0;
      }
    }
    CheckDecoded(DecodeMacroArea(area, texts));
  }
}

TEST(HostileInput, DecodeMacroAreaWithLyingFields) {
  MapTextSource texts;
  texts.Set("TEXT", "MACRO_NEW_PREFIX", "M");
  MacroRecord m{};
  SetMacroName(m, std::u16string_view(u"name"));
  m.cycles = 1;
  m.actionCount = 3;
  std::vector<MacroRecord> macros = {m, m};
  MacroAreaSize s = MacroAreaSizes(macros);
  const std::vector<uint8_t> good = EncodeMacroArea(macros, s.withNames, true);

  std::vector<uint8_t> area = good;
  area[4] = 0xFF;  // 255 macros claimed, 2 present
  area[5] = 0xFF;
  std::vector<MacroRecord> out = DecodeMacroArea(area, texts);
  ASSERT_EQ(out.size(), size_t(kMaxMacros));
  CheckDecoded(out);
  EXPECT_EQ(MacroName(out[0]), u"name");
  EXPECT_EQ(out[99].actionCount, 0);  // block outside the area: an empty macro
  EXPECT_EQ(MacroName(out[99]), u"M100");

  area = good;
  area[20] = 0xD0;  // first block claims 2,000 actions: cut to the whole actions present
  area[21] = 0x07;
  out = DecodeMacroArea(area, texts);
  CheckDecoded(out);
  EXPECT_EQ(out[0].actionCount, (good.size() - 20 - 4) / 4);

  area = good;
  area[16] = 0xF0;  // first offset past the end
  area[17] = 0xFF;
  out = DecodeMacroArea(area, texts);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].actionCount, 0);
  EXPECT_EQ(out[1].actionCount, 3);  // the second keeps its position and content

  area = good;
  area.resize(good.size() - 3);  // name cut short: what is there is kept
  out = DecodeMacroArea(area, texts);
  EXPECT_EQ(MacroName(out[1]), u"na");

  EXPECT_TRUE(DecodeMacroArea(std::span(good).first(15), texts).empty());
  area = good;
  area[0] = 0;  // not an area
  EXPECT_TRUE(DecodeMacroArea(area, texts).empty());
}

TEST(HostileInput, UnpackTextsOfRandomImages) {
  std::mt19937 rng(777);
  auto image = std::make_unique<ProfileImage>();
  TextPool pool;
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> packed(rng() % 300);
    for (uint8_t& b : packed) b = uint8_t(rng() % 4 == 0 ? 0 : rng());
    for (KeyAction& e : image->entries) {
      e.type = uint16_t(rng() % 10);
      e.value = rng() % 3 == 0 ? uint32_t(rng()) : uint32_t(rng() % 320);
    }
    ASSERT_TRUE(UnpackTexts(*image, packed, pool));
    uint32_t total = 0;
    for (int slot = 0; slot < kTextSlotCount; ++slot) {
      const std::u16string* t = pool.Text(slot);
      if (!t) continue;
      EXPECT_TRUE(HasText(image->entries[size_t(slot)].type));
      EXPECT_LE((image->entries[size_t(slot)].value & ~1u) + 2 * t->size(), packed.size());
      total += pool.SizeOf(slot);
    }
    EXPECT_EQ(total, pool.Total());
  }
}

}  // namespace
}  // namespace orvane
