// Native key events into the Windows key message form: the key codes the key table sees for the
// keys of the board, and the keystroke flags of presses, repeats and releases.
#include "platform/key_translation.h"

#include <gtest/gtest.h>

#include <set>

#include "model/key_table.h"

namespace orvane {
namespace {

constexpr uint32_t X(uint32_t evdev) { return evdev + kXKeyCodeOffset; }

uint16_t CodeOf(uint32_t evdev, bool release = false, bool repeat = false) {
  const auto m = TranslateNativeKey(X(evdev), release, repeat);
  return m ? KeyCodeOfMessage(m->virtualKey, m->flags) : 0;
}

TEST(KeyTranslation, EveryKeyButtonAndMediaFunctionIsReachableAndNothingElse) {
  std::set<uint16_t> reachable;
  for (uint32_t evdev = 0; evdev < 256; ++evdev)
    if (const auto m = TranslateNativeKey(X(evdev), false, false)) reachable.insert(KeyCodeOfMessage(m->virtualKey, m->flags));
  for (const KeyButton& button : KeyButtons())
    EXPECT_TRUE(reachable.count(button.code)) << "key button code 0x" << std::hex << button.code;
  for (const MediaFunction& media : MediaFunctions())
    EXPECT_TRUE(reachable.count(media.code)) << "media code 0x" << std::hex << media.code;
  // Every translated key names a key the table has (no stray codes).
  // Every key translated is one the key table names.
  for (uint16_t code : reachable) EXPECT_TRUE(IsKeyCode(code)) << "stray code 0x" << std::hex << code;
}

TEST(KeyTranslation, KeysWhoseCodesAreEasyToGetWrong) {
  EXPECT_EQ(CodeOf(30), 0x01E);    // A
  EXPECT_EQ(CodeOf(58), 0x03A);    // Caps Lock
  EXPECT_EQ(CodeOf(119), 0x045);   // Pause: not extended
  EXPECT_EQ(CodeOf(69), 0x145);    // Num Lock: extended
  EXPECT_EQ(CodeOf(99), 0x137);    // Print Screen
  EXPECT_EQ(CodeOf(54), 0x036);    // Right Shift
  EXPECT_EQ(CodeOf(96), 0x11C);    // keypad Enter
  EXPECT_EQ(CodeOf(28), 0x01C);    // Enter
  EXPECT_EQ(CodeOf(98), 0x135);    // keypad /
  EXPECT_EQ(CodeOf(55), 0x037);    // keypad *
  EXPECT_EQ(CodeOf(82), 0x052);    // keypad 0
  EXPECT_EQ(CodeOf(110), 0x152);   // Insert
  EXPECT_EQ(CodeOf(97), 0x11D);    // Right Ctrl
  EXPECT_EQ(CodeOf(100), 0x138);   // Right Alt
  EXPECT_EQ(CodeOf(125), kLeftWindowsKeyCode);
  EXPECT_EQ(CodeOf(126), kRightWindowsKeyCode);
  EXPECT_EQ(CodeOf(127), kMenuKeyCode);
  EXPECT_EQ(CodeOf(115), 0x130);   // volume up
  EXPECT_TRUE(IsMediaKeyCode(CodeOf(115)));
  EXPECT_TRUE(IsMediaKeyCode(CodeOf(171)));  // media select as USB keyboards send it
  EXPECT_EQ(CodeOf(183), 0x064);   // F13
  // Virtual keys follow the US layout.
  EXPECT_EQ(TranslateNativeKey(X(30), false, false)->virtualKey, uint32_t('A'));
  EXPECT_EQ(TranslateNativeKey(X(82), false, false)->virtualKey, 0x60u);  // VK_NUMPAD0
  EXPECT_EQ(TranslateNativeKey(X(99), false, false)->virtualKey, 0x2Cu);  // VK_SNAPSHOT
}

TEST(KeyTranslation, FlagsOfPressRepeatAndRelease) {
  const auto press = TranslateNativeKey(X(30), false, false);
  ASSERT_TRUE(press);
  EXPECT_EQ(press->flags, 0x001E0001u);
  EXPECT_FALSE(press->release());
  EXPECT_FALSE(press->autoRepeat());

  const auto repeat = TranslateNativeKey(X(30), false, true);
  ASSERT_TRUE(repeat);
  EXPECT_EQ(repeat->flags, 0x401E0001u);
  EXPECT_TRUE(repeat->autoRepeat());

  const auto release = TranslateNativeKey(X(30), true, false);
  ASSERT_TRUE(release);
  EXPECT_EQ(release->flags, 0xC01E0001u);
  EXPECT_TRUE(release->release());
  EXPECT_FALSE(release->autoRepeat());

  const auto extended = TranslateNativeKey(X(103), false, false);  // Up arrow
  ASSERT_TRUE(extended);
  EXPECT_EQ(extended->flags, 0x01480001u);
  EXPECT_EQ(extended->scanCode(), 0x148);
}

TEST(KeyTranslation, UnknownCodesAndRepeatReleasesGiveNoMessage) {
  // X11's release between two repeated presses is no key-up of its own.
  EXPECT_FALSE(TranslateNativeKey(X(30), true, true));
  EXPECT_FALSE(TranslateNativeKey(0, false, false));
  EXPECT_FALSE(TranslateNativeKey(7, false, false));   // below the X offset
  EXPECT_FALSE(TranslateNativeKey(X(0), false, false));
  EXPECT_FALSE(TranslateNativeKey(X(248), false, false));
  EXPECT_FALSE(TranslateNativeKey(X(184), false, false));  // F14: no key of the table
  EXPECT_FALSE(TranslateNativeKey(X(255), false, false));
  EXPECT_FALSE(TranslateNativeKey(100000, false, false));
  EXPECT_FALSE(EvdevKeyOf(256));
  EXPECT_FALSE(EvdevKeyOf(0xFFFFFFFFu));
}

}  // namespace
}  // namespace orvane
