#include "model/key_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/support/doubles.h"

namespace orvane {
namespace {

TEST(KeyTable, TablesAreComplete) {
  int defined = 0;
  for (const KeyEntry& e : KeyEntries())
    if (e.name[0] != '\0') ++defined;
  EXPECT_EQ(defined, 157);

  EXPECT_EQ(KeyButtons().size(), 104u);
  std::set<int> ids;
  std::set<uint16_t> codes;
  for (const KeyButton& b : KeyButtons()) {
    ids.insert(b.controlId);
    codes.insert(b.code);
    // Every button's key is a real key offered in the choice lists.
    EXPECT_EQ(ListPositionOf(b.code) & kNotInLists, 0) << std::hex << b.code;
  }
  EXPECT_EQ(ids.size(), 104u);
  EXPECT_EQ(codes.size(), 104u);
  for (int g : GKeyButtons()) EXPECT_EQ(ids.count(g), 0u);

  int vk_defined = int(std::count_if(VirtualKeyTable().begin(), VirtualKeyTable().end(),
                                     [](uint16_t c) { return c != 0; }));
  EXPECT_EQ(vk_defined, 129);
  // Every virtual key leads to a key the table describes.
  for (uint16_t c : VirtualKeyTable()) {
    if (c == 0) continue;
    EXPECT_NE(KeyEntryOf(c)->name[0], '\0') << std::hex << c;
  }

  EXPECT_EQ(MediaFunctions().size(), 18u);
}

TEST(KeyTable, MediaFunctionsAgreeWithTheKeyTable) {
  // A media function's key must send exactly the consumer usage the function stands for.
  std::set<uint16_t> codes;
  for (const MediaFunction& m : MediaFunctions()) {
    EXPECT_EQ(DeviceUsageOf(m.code), (DeviceUsage{kUsageConsumer, m.consumerUsage})) << std::hex << m.code;
    EXPECT_TRUE(IsMediaKeyCode(m.code));
    codes.insert(m.code);
  }
  EXPECT_EQ(codes.size(), 18u);
  EXPECT_EQ(MediaIndexOfUsage(0x0CD), 1);
  EXPECT_EQ(MediaIndexOfUsage(0x123), -1);
  EXPECT_FALSE(IsMediaKeyCode(0x01E));
}

TEST(KeyTable, LanguageKeys) {
  std::vector<std::string> keys = KeyTableLanguageKeys();
  EXPECT_EQ(keys.size(), 155u);
  int media = 0, keyboard = 0;
  for (const std::string& k : keys) {
    if (k.rfind("MEDIA_", 0) == 0) ++media;
    if (k.rfind("IDS_KEYBOARD_", 0) == 0) ++keyboard;
  }
  EXPECT_EQ(media, 18);
  EXPECT_EQ(keyboard, 137);
  EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());
}

TEST(KeyTable, KeyIndexConversions) {
  EXPECT_EQ(KeyIndexOf(0x11D), 0x9D);
  EXPECT_EQ(KeyIndexOf(0x145), 0xC5);
  EXPECT_EQ(KeyIndexOf(0x301), 0x201);
  EXPECT_EQ(KeyIndexOf(0x1FF + 1), 256);  // G1 lands on the first G-key entry
  EXPECT_EQ(KeyIndexOf(0x1FF + 18), 273);
  EXPECT_EQ(KeyIndexOf(0x185), 0x05);
  EXPECT_EQ(KeyCodeOf(0x9D), 0x11D);
  for (int i = 0; i < kKeyTableSize; ++i) {
    EXPECT_EQ(KeyIndexOf(KeyCodeOf(i)), i);
    EXPECT_EQ(KeyEntries()[size_t(i)].code, KeyCodeOf(i));
  }
  EXPECT_EQ(KeyCodeOf(0x201), 0x301);
  EXPECT_EQ(KeyCodeOf(-1), 0);
  EXPECT_EQ(KeyEntryOf(0x301), nullptr);
}

TEST(KeyTable, ListPositions) {
  EXPECT_EQ(ListPositionOf(0x01E), 0);
  EXPECT_EQ(ListPositionOf(0x162), 110);
  EXPECT_EQ(ListPositionOf(0x054), kNotInLists);
  EXPECT_EQ(ListPositionOf(0x301), kNotInLists);
  // Every position of the lists has its key, and a listed key maps back to itself or, for the
  // fake shift 0x136, to the Right Shift that shares its position.
  for (uint16_t p = 0; p < kListPositionCount; ++p) EXPECT_NE(KeyCodeAtListPosition(p), 0) << p;
  EXPECT_EQ(KeyCodeAtListPosition(111), 0);
  EXPECT_EQ(KeyCodeAtListPosition(kNotInLists), 0);  // entry 0, which names no key
  for (const KeyEntry& e : KeyEntries()) {
    if (e.listPosition & kNotInLists) continue;
    uint16_t back = KeyCodeAtListPosition(e.listPosition);
    EXPECT_TRUE(back == e.code || (e.code == 0x136 && back == 0x036)) << std::hex << e.code;
  }
}

TEST(KeyTable, DeviceUsages) {
  EXPECT_EQ(DeviceUsageOf(0x01E), (DeviceUsage{kUsageKeyboard, 0x04}));
  EXPECT_EQ(DeviceUsageOf(0x15E), (DeviceUsage{kUsageSystem, 0x81}));
  EXPECT_EQ(DeviceUsageOf(0x162), (DeviceUsage{kUsageMouse, 0xF5}));
  EXPECT_EQ(DeviceUsageOf(0x120), (DeviceUsage{kUsageConsumer, 0x0E2}));
  EXPECT_EQ(DeviceUsageOf(0x174), DeviceUsage{});  // Zoom-: empty consumer table entry
  EXPECT_EQ(DeviceUsageOf(0x064), DeviceUsage{});  // F13: no usage
  EXPECT_EQ(DeviceUsageOf(0x301), DeviceUsage{});

  EXPECT_EQ(KeyCodeOfDeviceUsage(7, 0x04), 0x01E);
  EXPECT_EQ(KeyCodeOfDeviceUsage(7, 0x48), 0x045);  // Pause, not Break: first entry wins
  EXPECT_EQ(KeyCodeOfDeviceUsage(7, 0xE5), 0x036);
  EXPECT_EQ(KeyCodeOfDeviceUsage(7, 0x00), 0);
  EXPECT_EQ(KeyCodeOfDeviceUsage(7, 0x104), 0);
  EXPECT_EQ(KeyCodeOfDeviceUsage(12, 0x0CD), 0x122);
  EXPECT_EQ(KeyCodeOfDeviceUsage(12, 0x123), 0);
  EXPECT_EQ(KeyCodeOfDeviceUsage(12, 0), 0);
  EXPECT_EQ(KeyCodeOfDeviceUsage(1, 0x83), 0x163);
  EXPECT_EQ(KeyCodeOfDeviceUsage(1, 0x84), 0);
  EXPECT_EQ(KeyCodeOfDeviceUsage(2, 0xF1), 0);  // kind 2 is not looked up
}

TEST(KeyTable, Modifiers) {
  EXPECT_EQ(ModifierCodeOfBits(0x22), 0x02A);
  EXPECT_EQ(ModifierCodeOfBits(0), 0);
  const uint16_t expected[8] = {0x01D, 0x02A, 0x038, 0x15B, 0x11D, 0x036, 0x138, 0x15C};
  for (int bit = 0; bit < 8; ++bit) {
    EXPECT_EQ(ModifierCodeOfBits(uint8_t(1 << bit)), expected[bit]);
    EXPECT_EQ(ModifierBitOfCode(expected[bit]), 1 << bit);
  }
  EXPECT_EQ(ModifierBitOfCode(0x136), 0);
}

TEST(KeyTable, KeyCodeOfDefaultEntry) {
  EXPECT_EQ(KeyCodeOfDefaultEntry(1, 1, 2), 0x172);
  EXPECT_EQ(KeyCodeOfDefaultEntry(1, 1, 3), 0);
  EXPECT_EQ(KeyCodeOfDefaultEntry(1, 5, 0xFF), 0x162);
  EXPECT_EQ(KeyCodeOfDefaultEntry(1, 2, 1), 0);
  EXPECT_EQ(KeyCodeOfDefaultEntry(2, 2, 0x29), 0x001);
  EXPECT_EQ(KeyCodeOfDefaultEntry(2, 1, 0x40), 0x138);
  EXPECT_EQ(KeyCodeOfDefaultEntry(2, 7, 0x02), 0x02A);  // any b1 but 2 is a modifier mask
  EXPECT_EQ(KeyCodeOfDefaultEntry(3, 0xCD, 0x00), 0x122);
  EXPECT_EQ(KeyCodeOfDefaultEntry(4, 0x82, 0x00), 0x15F);
  EXPECT_EQ(KeyCodeOfDefaultEntry(4, 0x82, 0x01), 0);
  EXPECT_EQ(KeyCodeOfDefaultEntry(5, 1, 3), 0);
  EXPECT_EQ(KeyCodeOfDefaultEntry(6, 0xA2, 1), 0x200);
  EXPECT_EQ(KeyCodeOfDefaultEntry(6, 0xA2, 0), 0);
  EXPECT_EQ(KeyCodeOfDefaultEntry(6, 0xA2, 19), 0);
  EXPECT_EQ(KeyCodeOfDefaultEntry(6, 0xA1, 1), 0);
  EXPECT_EQ(KeyCodeOfDefaultEntry(7, 2, 4), 0);
}

TEST(KeyTable, KeyCodeOfMessage) {
  constexpr uint32_t kVkRShift = 0xA1;
  EXPECT_EQ(KeyCodeOfMessage(kVkRShift, KeyFlagsOfScanCode(0x036)), 0x036);
  EXPECT_EQ(KeyCodeOfMessage(kVkRShift, KeyFlagsOfScanCode(0x136)), 0x036);
  EXPECT_EQ(KeyCodeOfMessage(kVkRShift, 0), 0x036);  // no scan code: the virtual-key table
  EXPECT_EQ(KeyCodeOfMessage(0x6E, 0), 0x053);       // VK_DECIMAL
  EXPECT_EQ(KeyCodeOfMessage(0x6F, 0), 0x135);       // VK_DIVIDE
  EXPECT_EQ(KeyCodeOfMessage(0x7C, 0), 0x064);       // VK_F13
  EXPECT_EQ(KeyCodeOfMessage(0xAD, 0), 0x120);       // VK_VOLUME_MUTE
  EXPECT_EQ(KeyCodeOfMessage(0x11, kKeyFlagExtended), 0x01D);  // extended bit alone: no scan code
  EXPECT_EQ(KeyCodeOfMessage('A', KeyFlagsOfScanCode(0x054)), 0x137);  // Alt+Print Screen
  EXPECT_EQ(KeyCodeOfMessage(0x13, KeyFlagsOfScanCode(0x146)), 0x045);  // Ctrl+Pause
  EXPECT_EQ(KeyCodeOfMessage(0xFF, 0), 0);
  EXPECT_EQ(KeyCodeOfMessage(0xFF, KeyFlagsOfScanCode(0x11D) | kKeyFlagTransition), 0x11D);
  EXPECT_EQ(KeyCodeOfMessage(0x1234, 0), 0);
  EXPECT_EQ(KeyCodeOfMessage(0x07, 0), 0);  // undefined virtual key
}

TEST(KeyTable, DisplayNames) {
  MapTextSource texts;
  texts.Set("TEXT", "IDS_KEYBOARD_A", "A");
  texts.Set("TEXT", "IDS_KEYBOARD_ESC", "");
  texts.Set("TEXT", "IDS_KEYBOARD_UP", "Стрелка вверх");
  texts.Set("TEXT", "UNKNOWN_KEY", "Key 0x%X");

  EXPECT_EQ(KeyDisplayName(texts, 0x01E), "A");
  EXPECT_EQ(KeyDisplayName(texts, 0x064), "Key 0x64");  // F13 has no language key
  EXPECT_EQ(KeyDisplayName(texts, 0x001), "Key 0x1");   // empty text
  EXPECT_EQ(KeyDisplayName(texts, 0x301), "Key 0x301");  // outside the table
  EXPECT_EQ(KeyDisplayName(texts, 0x030), "#Error");     // key missing from the language file
  // Cut to capacity - 1 characters, never inside a character.
  EXPECT_EQ(KeyDisplayName(texts, 0x148, 8), "Стрелка");
  EXPECT_EQ(KeyDisplayName(texts, 0x064, 4), "Key");
  EXPECT_EQ(KeyDisplayName(texts, 0x01E, 1), "");
  EXPECT_EQ(KeyDisplayName(texts, 0x01E, 0), "");

  // A damaged format never crashes and never reads a missing argument.
  texts.Set("TEXT", "UNKNOWN_KEY", "%s %s %n");
  std::string damaged = KeyDisplayName(texts, 0x064);
  EXPECT_NE(damaged.find("100"), std::string::npos);

  EXPECT_EQ(ListDisplayName(texts, 0), "A");
  EXPECT_EQ(ListDisplayName(texts, 1), "#Error");
  EXPECT_EQ(ListDisplayName(texts, 111), "");
}

TEST(KeyTable, Buttons) {
  EXPECT_EQ(KeyButtons().front().code, 0x01E);
  EXPECT_EQ(KeyButtons().front().controlId, 1058);
  EXPECT_EQ(KeyButtons().back().code, 0x04E);
  EXPECT_EQ(KeyButtons().back().controlId, 1111);
  EXPECT_EQ(KeyCodeOfButton(1091), 0x137);
  EXPECT_EQ(KeyCodeOfButton(1000), 0);
  EXPECT_EQ(ButtonOfKeyCode(0x135), 1105);
  EXPECT_EQ(ButtonOfKeyCode(0x064), 0);
  EXPECT_EQ(GKeyOfButton(1000), 1);
  EXPECT_EQ(GKeyOfButton(1140), 6);
  EXPECT_EQ(GKeyOfButton(1143), 9);
  EXPECT_EQ(GKeyOfButton(1005), 0);
}

}  // namespace
}  // namespace orvane
