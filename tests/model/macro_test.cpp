#include "model/macro.h"

#include <gtest/gtest.h>

#include <random>

#include "model/key_table.h"
#include "tests/support/doubles.h"

namespace orvane {
namespace {

MapTextSource Texts() {
  MapTextSource texts;
  texts.Set("TEXT", "MACRO_NEW_PREFIX", "Macro");
  texts.Set("TEXT", "MACRO_DELETE_CONFIRM_OF_KEYS", "Keys use this macro. Delete it?");
  return texts;
}

MacroRecord Macro(std::u16string_view name, uint16_t id, std::vector<MacroAction> actions,
                  uint8_t cycles = 1) {
  MacroRecord m{};
  SetMacroName(m, name);
  m.id = id;
  m.cycles = cycles;
  m.actionCount = uint16_t(actions.size());
  std::copy(actions.begin(), actions.end(), m.actions.begin());
  return m;
}

uint16_t U16At(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

TEST(MacroRecord, NamesAndByteForm) {
  MacroRecord m{};
  SetMacroName(m, std::u16string(300, u'x'));
  EXPECT_EQ(MacroName(m).size(), 249u);
  EXPECT_EQ(m.name[249], 0);
  SetMacroName(m, std::string_view("Тест 😀"));
  EXPECT_EQ(MacroNameUtf8(m), "Тест 😀");
  // A cut never leaves half a surrogate pair.
  std::u16string pairs = std::u16string(248, u'a') + u"😀";
  SetMacroName(m, pairs);
  EXPECT_EQ(MacroName(m).size(), 248u);

  m.cycles = 3;
  m.isNew = 1;
  m.playMode = 0x0102;
  m.id = 0x0304;
  m.actionCount = 1;
  m.actions[0] = {0x01020304, 0x0506, 1};
  m.actions[1999] = {7, 8, 9};
  std::vector<uint8_t> bytes(kMacroRecordSize);
  MacroRecordToBytes(m, std::span<uint8_t, kMacroRecordSize>(bytes.data(), kMacroRecordSize));
  EXPECT_EQ(bytes[0], 'a');
  EXPECT_EQ(bytes[500], 3);
  EXPECT_EQ(U16At(bytes, 502), 1);
  EXPECT_EQ(U16At(bytes, 504), 0x0102);
  EXPECT_EQ(U16At(bytes, 506), 0x0304);
  EXPECT_EQ(U16At(bytes, 508), 1);
  EXPECT_EQ(bytes[512], 0x04);
  EXPECT_EQ(bytes[515], 0x01);
  EXPECT_EQ(U16At(bytes, 516), 0x0506);
  EXPECT_EQ(U16At(bytes, 518), 1);
  EXPECT_EQ(U16At(bytes, 512 + 1999 * 8 + 6), 9);
  MacroRecord back{};
  ASSERT_TRUE(MacroRecordFromBytes(bytes, back));
  EXPECT_EQ(back, m);
  // An unterminated name field still reads as at most 249 characters.
  for (size_t i = 0; i < 500; ++i) bytes[i] = 'z';
  ASSERT_TRUE(MacroRecordFromBytes(bytes, back));
  EXPECT_EQ(MacroName(back).size(), 249u);
  EXPECT_FALSE(MacroRecordFromBytes(std::span(bytes).first(100), back));
}

TEST(MacroRecord, Utf8Conversion) {
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a€😀")), "a€😀");
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\xFFFD");          // truncated sequence
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\xFFFD\xFFFD");  // overlong
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
}

TEST(Macro, NewMacroAndIds) {
  std::vector<MacroRecord> list = {Macro(u"a", 1, {}), Macro(u"b", 2, {}), Macro(u"c", 4, {})};
  EXPECT_EQ(NextFreeMacroId(list), 3);
  MacroRecord m = NewMacro(u"new one", list);
  EXPECT_EQ(MacroName(m), u"new one");
  EXPECT_EQ(m.cycles, 1);
  EXPECT_EQ(m.isNew, 1);
  EXPECT_EQ(m.playMode, 0);
  EXPECT_EQ(m.id, 3);
  EXPECT_EQ(m.actionCount, 0);
  EXPECT_EQ(NextFreeMacroId({}), 1);
  std::vector<MacroRecord> full(100);
  for (int i = 0; i < 100; ++i) full[size_t(i)].id = uint16_t(i + 1);
  EXPECT_EQ(NextFreeMacroId(full), 0);
}

TEST(Macro, GeneratedNames) {
  MapTextSource texts = Texts();
  std::vector<uint32_t> waits;
  auto wait = [&](uint32_t ms) { waits.push_back(ms); };
  int counter = 7;
  EXPECT_EQ(GenerateMacroName(counter, {}, texts, wait), u"Macro1");  // empty list resets
  EXPECT_TRUE(waits.empty());

  // "macro1" (any case) blocks 1, "Macro2x" blocks 2, "Macro3" is free: two waits of 16 ms.
  std::vector<MacroRecord> list = {Macro(u"MACRO1", 1, {}), Macro(u"Macro2x", 2, {})};
  counter = 0;
  EXPECT_EQ(GenerateMacroName(counter, list, texts, wait), u"Macro3");
  EXPECT_EQ(counter, 3);
  EXPECT_EQ(waits, (std::vector<uint32_t>{16, 16}));
  // The counter runs on for the whole program run.
  EXPECT_EQ(GenerateMacroName(counter, list, texts, wait), u"Macro4");

  MapTextSource cyrillic;
  cyrillic.Set("TEXT", "MACRO_NEW_PREFIX", "Макрос");
  std::vector<MacroRecord> ru = {Macro(u"МАКРОС1", 1, {})};
  counter = 0;
  EXPECT_EQ(GenerateMacroName(counter, ru, cyrillic, wait), u"Макрос2");
}

TEST(Macro, TypedLimits) {
  bool over = false;
  EXPECT_EQ(NormalizeTypedDelay(125, &over), 120u);
  EXPECT_FALSE(over);
  EXPECT_EQ(NormalizeTypedDelay(40001, &over), 40000u);
  EXPECT_TRUE(over);
  EXPECT_EQ(NormalizeTypedDelay(-5, &over), 0u);
  EXPECT_EQ(ClampCycles(0), 1);
  EXPECT_EQ(ClampCycles(256), 255);
  EXPECT_EQ(ClampCycles(17), 17);
}

TEST(MacroArea, EmptyArray) {
  MacroAreaSize s = MacroAreaSizes(std::span<const MacroRecord>());
  EXPECT_EQ(s.withNames, 16u);
  EXPECT_EQ(s.withoutNames, 16u);
  std::vector<uint8_t> area = EncodeMacroArea(std::span<const MacroRecord>(), 16, true);
  EXPECT_EQ(area, (std::vector<uint8_t>{0xAA, 0x55, 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(DecodeMacroArea(area, Texts()).empty());
}

TEST(MacroArea, OneMacroExactBytes) {
  std::vector<MacroRecord> macros = {Macro(u"abc", 1, {{120, 0x01E, kPress}, {0, 0x01E, kRelease}})};
  MacroAreaSize s = MacroAreaSizes(macros);
  EXPECT_EQ(s.withoutNames, 30u);
  EXPECT_EQ(s.withNames, 36u);

  std::vector<uint8_t> area = EncodeMacroArea(macros, s.withNames, true);
  const std::vector<uint8_t> expected = {
      0xAA, 0x55, 36, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // header
      18, 0,                                                  // offset table
      2, 0, 1, 3,                                             // count, cycles, name length
      0x0C, 0xA0, 0x02, 0x04,                                 // press A, 120 ms
      0x00, 0x20, 0x02, 0x04,                                 // release A, 0 ms
      'a', 0, 'b', 0, 'c', 0};
  EXPECT_EQ(area, expected);

  std::vector<uint8_t> bare = EncodeMacroArea(macros, s.withoutNames, false);
  ASSERT_EQ(bare.size(), 30u);
  EXPECT_EQ(bare[6], 0);   // no names
  EXPECT_EQ(bare[21], 0);  // name length 0

  std::vector<MacroRecord> back = DecodeMacroArea(area, Texts());
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0], macros[0]);
}

TEST(MacroArea, ActionForms) {
  EXPECT_EQ(EncodeMacroAction({125, 0x01E, kPress}).word0 & 0xFFF, 12);
  EXPECT_EQ(DecodeMacroAction(EncodeMacroAction({125, 0x01E, kPress})).delay, 120u);
  EXPECT_EQ(EncodeMacroAction({0, 0x02A, kPress}), (EncodedMacroAction{0xA000, 0x0201}));
  EXPECT_EQ(EncodeMacroAction({0, 0x162, kRelease}), (EncodedMacroAction{0x1000, 0xFF05}));
  EXPECT_EQ(EncodeMacroAction({0, 0x173, 5}).word0, 0x9000);  // direction above 1: press
  EXPECT_EQ(MacroKeyFormOf(0x15C), (DeviceKeyForm{2, 1, 0x80}));
  EXPECT_EQ(MacroKeyFormOf(0x171), (DeviceKeyForm{1, 1, 1}));
  EXPECT_EQ(MacroKeyFormOf(0x161), (DeviceKeyForm{1, 5, 1}));
  EXPECT_EQ(MacroKeyFormOf(0x15E), (DeviceKeyForm{4, 0x81, 0}));
  EXPECT_EQ(MacroKeyFormOf(0x122), (DeviceKeyForm{3, 0xCD, 0}));
  EXPECT_EQ(MacroKeyFormOf(0x16B), (DeviceKeyForm{3, 0x94, 0x01}));
  EXPECT_EQ(MacroKeyFormOf(0x064), DeviceKeyForm{});
  EXPECT_EQ(MacroKeyFormOf(0x177), DeviceKeyForm{});  // Cut: nothing the keyboard can send
  EXPECT_EQ(EncodeMacroAction({99999, 0x01E, kPress}).word0 & 0xFFF, 0xFFF);  // never wraps
}

TEST(MacroArea, EveryKeyRoundTripsToAKeyThatSendsTheSame) {
  for (const KeyEntry& e : KeyEntries()) {
    if (e.code == 0) continue;
    MacroAction back = DecodeMacroAction(EncodeMacroAction({0, e.code, kPress}));
    if (e.code == 0x136) {
      // The fake shift is sent as usage 0xE5 and read back as the Right Shift modifier: the
      // keyboard sends the same for both.
      EXPECT_EQ(back.keyCode, 0x036);
    } else if (MacroKeyFormOf(e.code) == DeviceKeyForm{}) {
      EXPECT_EQ(back.keyCode, 0) << std::hex << e.code;
    } else {
      EXPECT_EQ(MacroKeyFormOf(back.keyCode), MacroKeyFormOf(e.code)) << std::hex << e.code;
      EXPECT_NE(back.keyCode, 0) << std::hex << e.code;
    }
  }
  // Media keys come back as themselves (not as a keyboard key).
  for (const MediaFunction& m : MediaFunctions())
    EXPECT_EQ(DecodeMacroAction(EncodeMacroAction({0, m.code, kRelease})).keyCode, m.code);
}

TEST(MacroArea, DecodeWithoutNamesGeneratesThem) {
  std::vector<MacroRecord> macros = {Macro(u"first", 9, {{10, 0x01E, kPress}}, 3),
                                     Macro(u"second", 4, {})};
  MacroAreaSize s = MacroAreaSizes(macros);
  std::vector<MacroRecord> back = DecodeMacroArea(EncodeMacroArea(macros, s.withoutNames, false), Texts());
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(MacroName(back[0]), u"Macro1");
  EXPECT_EQ(MacroName(back[1]), u"Macro2");
  EXPECT_EQ(back[0].id, 1);
  EXPECT_EQ(back[1].id, 2);
  EXPECT_EQ(back[0].cycles, 3);
  EXPECT_EQ(back[0].actionCount, 1);
  EXPECT_EQ(back[1].actionCount, 0);
}

TEST(MacroArea, TooSmallAreaIsNeverOverrun) {
  std::vector<MacroRecord> macros = {Macro(u"abc", 1, {{120, 0x01E, kPress}, {0, 0x01E, kRelease}}),
                                     Macro(u"de", 2, {{0, 0x02C, kPress}})};
  MacroAreaSize s = MacroAreaSizes(macros);
  std::vector<uint8_t> full = EncodeMacroArea(macros, s.withNames, true);
  for (size_t size : {size_t(0), size_t(5), size_t(20), s.withNames - 1}) {
    std::vector<uint8_t> cut = EncodeMacroArea(macros, size, true);
    ASSERT_EQ(cut.size(), size);
    for (size_t i = 8; i < size; ++i) EXPECT_EQ(cut[i], full[i]) << size << " " << i;
  }
}

TEST(MacroArea, RandomArraysRoundTrip) {
  // Keys a user can record: the main window's keys, mouse buttons, the wheel and media keys.
  std::vector<uint16_t> keys;
  for (const KeyButton& b : KeyButtons()) keys.push_back(b.code);
  for (uint16_t c : {0x161, 0x162, 0x171, 0x172, 0x173}) keys.push_back(uint16_t(c));
  for (const MediaFunction& m : MediaFunctions()) keys.push_back(m.code);

  std::mt19937 rng(20261209);
  for (int round = 0; round < 20; ++round) {
    std::vector<MacroRecord> macros(rng() % 8);
    for (size_t p = 0; p < macros.size(); ++p) {
      MacroRecord& m = macros[p];
      std::u16string name;
      for (size_t n = rng() % 40 + 1; n > 0; --n) name.push_back(char16_t(u'A' + rng() % 26 + (rng() % 2) * 0x3F0));
      SetMacroName(m, name);
      m.cycles = uint8_t(rng() % 255 + 1);
      m.id = uint16_t(p + 1);
      m.actionCount = uint16_t(rng() % 300);
      for (int i = 0; i < m.actionCount; ++i)
        m.actions[size_t(i)] = {uint32_t(rng() % 40001), keys[rng() % keys.size()], uint16_t(rng() % 2)};
    }
    MacroAreaSize s = MacroAreaSizes(macros);
    std::vector<MacroRecord> back = DecodeMacroArea(EncodeMacroArea(macros, s.withNames, true), Texts());
    ASSERT_EQ(back.size(), macros.size());
    for (size_t p = 0; p < macros.size(); ++p) {
      MacroRecord expected = macros[p];
      for (int i = 0; i < expected.actionCount; ++i) expected.actions[size_t(i)].delay -= expected.actions[size_t(i)].delay % 10;
      EXPECT_EQ(back[p], expected) << "round " << round << " macro " << p;
    }
  }
}

class MacroAssignments : public ::testing::Test {
 protected:
  void SetUp() override {
    ProfileConfig config;
    config.image = std::make_unique<ProfileImage>();
    config.macros = {Macro(u"one", 1, {}), Macro(u"five", 5, {})};
    editing.Replace(std::move(config));
  }
  KeyAction& Entry(int layer, int index) { return *editing.Config().image->EntryAt(layer, index); }

  ProfileInstance editing;
  MapTextSource texts = Texts();
  ScriptedPrompt prompt;
};

TEST_F(MacroAssignments, LookUps) {
  Entry(3, 260) = KeyAction{kActionPlayMacro, 1, 5, 0, 0};
  EXPECT_TRUE(IsMacroAssigned(editing, 5));
  EXPECT_FALSE(IsMacroAssigned(editing, 1));
  Entry(3, 260).type = kActionPlayText;  // same value, other type
  EXPECT_FALSE(IsMacroAssigned(editing, 5));
  EXPECT_EQ(MacroIdAtPosition(editing, 1), 5);
  EXPECT_EQ(MacroIdAtPosition(editing, 2), 0);
  EXPECT_EQ(MacroIdAtPosition(editing, -1), 0);
}

TEST_F(MacroAssignments, ConfirmDelete) {
  Entry(0, 0x1E) = KeyAction{kActionPlayMacro, 1, 5, 0, 0};
  MacroRecord assigned = editing.Config().macros[1];
  MacroRecord unassigned = editing.Config().macros[0];
  MacroRecord fresh = assigned;
  fresh.isNew = 1;

  EXPECT_TRUE(ConfirmMacroDelete(fresh, editing, texts, prompt));
  EXPECT_TRUE(ConfirmMacroDelete(unassigned, editing, texts, prompt));
  EXPECT_TRUE(prompt.Shown().empty());

  prompt.Script({PromptAnswer::No, PromptAnswer::Yes});
  EXPECT_FALSE(ConfirmMacroDelete(assigned, editing, texts, prompt));
  EXPECT_TRUE(ConfirmMacroDelete(assigned, editing, texts, prompt));
  ASSERT_EQ(prompt.Shown().size(), 2u);
  EXPECT_EQ(prompt.Shown()[0].text, "Keys use this macro. Delete it?");
  EXPECT_EQ(prompt.Shown()[0].buttons, PromptButtons::YesNo);
}

TEST_F(MacroAssignments, ReconcileResetsReusedIdsAndFillsZero) {
  Entry(0, 0x1E) = KeyAction{kActionPlayMacro, 1, 5, 0, 0};  // macro 5 deleted, id reused below
  Entry(1, 0x30) = KeyAction{kActionPlayMacro, 1, 1, 0, 0};  // macro 1 kept
  Entry(2, 256) = KeyAction{kActionPlayMacro, 2, 0, 0, 0};   // points at nothing yet
  Entry(3, 0x10) = KeyAction{kActionPlayMacro, 1, 77, 0, 0};  // unknown id
  MacroRecord reused = NewMacro(u"new five", std::vector<MacroRecord>{Macro(u"", 1, {}), Macro(u"", 2, {}),
                                                                   Macro(u"", 3, {}), Macro(u"", 4, {})});
  ASSERT_EQ(reused.id, 5);
  std::vector<MacroRecord> list = {editing.Config().macros[0], reused};

  EXPECT_TRUE(ReconcileMacroAssignments(editing, list));
  EXPECT_EQ(Entry(0, 0x1E).type, kActionDefault);
  EXPECT_EQ(Entry(1, 0x30), (KeyAction{kActionPlayMacro, 1, 1, 0, 0}));
  EXPECT_EQ(Entry(2, 256), (KeyAction{kActionPlayMacro, 2, 1, 0, 0}));
  EXPECT_EQ(Entry(3, 0x10).type, kActionDefault);
  ASSERT_EQ(editing.Config().macros.size(), 2u);
  EXPECT_EQ(editing.Config().macros[1].id, 5);
  EXPECT_EQ(editing.Config().macros[1].isNew, 0);

  // Now that the new macro is applied, a key may name it; nothing changes on the next apply.
  Entry(0, 0x1E) = KeyAction{kActionPlayMacro, 1, 5, 0, 0};
  EXPECT_FALSE(ReconcileMacroAssignments(editing, editing.Config().macros));
  EXPECT_EQ(Entry(0, 0x1E).type, kActionPlayMacro);
}

TEST_F(MacroAssignments, ValueZeroWithNoMacrosStaysAndFreeing) {
  Entry(0, 0x1E) = KeyAction{kActionPlayMacro, 1, 0, 0, 0};
  EXPECT_FALSE(ReconcileMacroAssignments(editing, {}));
  EXPECT_EQ(Entry(0, 0x1E), (KeyAction{kActionPlayMacro, 1, 0, 0, 0}));
  EXPECT_TRUE(editing.Config().macros.empty());

  editing.Config().macros.resize(3);
  FreeMacroArray(editing);
  EXPECT_TRUE(editing.Config().macros.empty());
  EXPECT_EQ(MacroAreaSizes(editing).withNames, 16u);
}

}  // namespace
}  // namespace orvane
