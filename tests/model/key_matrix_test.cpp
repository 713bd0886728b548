// The keyboard picture's rules: which entry each button edits, the tooltip text of every kind of
// entry (cut to the tooltip buffer), and the Default clear of the 113 entries of one layer.
#include "model/key_matrix.h"

#include <gtest/gtest.h>

#include "model/profile_file.h"
#include "tests/support/doubles.h"

namespace orvane {
namespace {

MapTextSource Texts() {
  MapTextSource t;
  t.Set("TEXT", "KEY_PROMPT_SET", " -> ");
  t.Set("TEXT", "KEY_PROMPT_SINGLE", "Key (");
  t.Set("TEXT", "KEY_PROMPT_MACRO", "Macro (");
  t.Set("TEXT", "KEY_PROMPT_MEDIA", "Media (");
  t.Set("TEXT", "KEY_PROMPT_FUNCTION", "Function (");
  t.Set("TEXT", "FUNC_KEY_DESC1", "Lock Win");
  t.Set("TEXT", "FUNC_KEY_DESC11", "Last");
  for (uint16_t code : {uint16_t(0x01E), uint16_t(0x030)}) {
    const KeyEntry* e = KeyEntryOf(code);
    t.Set("TEXT", e->languageKey, e->name);
  }
  const KeyEntry* mute = KeyEntryOf(MediaFunctions()[0].code);
  t.Set("TEXT", mute->languageKey, "Mute");
  return t;
}

MacroRecord Macro(uint16_t id, std::u16string_view name) {
  MacroRecord m{};
  m.id = id;
  SetMacroName(m, name);
  return m;
}

TEST(KeyMatrixTooltip, NamesWhatEachKindOfEntryDoes) {
  const MapTextSource texts = Texts();
  const std::vector<MacroRecord> macros = {Macro(3, u"Combo"), Macro(9, u"Другой")};
  struct Case {
    KeyAction entry;
    std::string tooltip;
  };
  const Case cases[] = {
      {{kActionDefault, 0, 0x01E, 0, 0}, "B"},  // default: the base text alone, value or not
      {{kActionSingleKey, 0, 0x01E, 0, 0}, "B -> Key (A)"},
      {{kActionPlayMacro, 1, 9, 0, 0}, "B -> Macro (Другой)"},
      {{kActionPlayMacro, 1, 4, 0, 0}, "B -> Macro ()"},  // no macro of that ID any more
      {{kActionMedia, 0, 0, 0, 0}, "B -> Media (Mute)"},
      {{kActionMedia, 0, uint32_t(kMediaFunctionCount), 0, 0}, "B -> Media ()"},  // outside the table
      {{kActionFunction, 0, 0, 0, 0}, "B -> Function (Lock Win)"},
      {{kActionFunction, 0, 10, 0, 0}, "B -> Function (Last)"},
      {{kActionFunction, 0, 11, 0, 0}, "B -> Function ()"},
      {{kActionSingleKey, 0, 0x10000, 0, 0}, "B -> Key ()"},  // not a 16-bit key code
      {{kActionDisabled, 0, 0, 0, 0}, "B -> "},
      {{kActionLaunchProgram, 0, 0, 0, 0}, "B -> "},
      {{kActionStopMacro, 0, 0, 0, 0}, "B -> "},
      {{kActionPlayText, 0, 0, 0, 0}, "B -> "},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyTooltipText(texts, "B", c.entry, macros), c.tooltip) << c.entry.type;
}

TEST(KeyMatrixTooltip, IsCutToTheBufferWithoutSplittingACharacter) {
  MapTextSource texts = Texts();
  texts.Set("TEXT", "KEY_PROMPT_SET", std::string(200, '-'));
  texts.Set("TEXT", "KEY_PROMPT_MACRO", "Ж");
  const std::string base(57, 'b');  // 57 + 200 = 257 characters, then "Ж" and the name
  const std::vector<MacroRecord> macros = {Macro(1, u"ЖЖЖЖ")};
  const std::string tip = KeyTooltipText(texts, base, {kActionPlayMacro, 1, 1, 0, 0}, macros);
  EXPECT_EQ(tip, base + std::string(200, '-') + "ЖЖ");  // 259 characters
}

TEST(KeyMatrixEntries, ButtonsNameTheirLayerEntries) {
  EXPECT_EQ(MatrixEntryOfButton(GKeyButtons()[0]), kGKeySetA);
  EXPECT_EQ(MatrixEntryOfButton(GKeyButtons()[8]), kGKeySetA + 8);
  EXPECT_EQ(MatrixEntryOfButton(ButtonOfKeyCode(0x01E)), 0x01E);
  EXPECT_EQ(MatrixEntryOfButton(ButtonOfKeyCode(0x11D)), KeyIndexOf(0x11D));
  for (int other : {0, 1, 1174, 1016, 1129, 99999}) EXPECT_EQ(MatrixEntryOfButton(other), -1) << other;
  EXPECT_EQ(GKeyBaseText(1), "G1");
  EXPECT_EQ(GKeyBaseText(9), "G9");
}

TEST(KeyMatrixEntries, DefaultClearsTheEntriesOfThePictureInOneLayerOnly) {
  std::unique_ptr<ProfileImage> image = NewDefaultImage();
  const KeyAction set{kActionSingleKey, 7, 0x030, 1, 2};
  for (int layer = 0; layer < kLayerCount; ++layer)
    for (int i = 0; i < kLayerEntries; ++i) *image->EntryAt(layer, i) = set;
  ASSERT_TRUE(ClearMatrixEntries(*image, 1));
  int cleared = 0;
  for (int i = 0; i < kLayerEntries; ++i) cleared += *image->EntryAt(1, i) == KeyAction{};
  EXPECT_EQ(cleared, kMatrixEntryCount);
  for (int j = 0; j < kGKeyCount; ++j) EXPECT_EQ(*image->EntryAt(1, kGKeySetA + j), KeyAction{});  // code too
  for (const KeyButton& k : KeyButtons()) EXPECT_EQ(*image->EntryAt(1, KeyIndexOf(k.code)), KeyAction{});
  EXPECT_EQ(*image->EntryAt(1, kGKeySetB), set);  // set B is not behind the picture
  for (int layer : {0, 2, 3})
    for (int i = 0; i < kLayerEntries; ++i) ASSERT_EQ(*image->EntryAt(layer, i), set) << layer << " " << i;
  // A layer the keyboard cannot name changes nothing.
  const ProfileImage before = *image;
  EXPECT_FALSE(ClearMatrixEntries(*image, -1));
  EXPECT_FALSE(ClearMatrixEntries(*image, kLayerCount));
  EXPECT_EQ(*image, before);
}

}  // namespace
}  // namespace orvane
