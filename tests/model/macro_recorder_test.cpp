#include "model/macro_recorder.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/key_table.h"

namespace orvane {
namespace {

using Outcome = MacroRecorder::Outcome;

constexpr uint32_t kVkA = 'A';
constexpr uint32_t kVkSnapshot = 0x2C;

uint32_t Down(uint16_t scan) { return KeyFlagsOfScanCode(scan); }
uint32_t Repeat(uint16_t scan) { return KeyFlagsOfScanCode(scan) | kKeyFlagPreviousState; }
uint32_t Up(uint16_t scan) {
  return KeyFlagsOfScanCode(scan) | kKeyFlagPreviousState | kKeyFlagTransition;
}

std::vector<MacroAction> Actions(const MacroRecord& m) {
  return std::vector<MacroAction>(m.actions.begin(), m.actions.begin() + m.actionCount);
}

TEST(MacroRecorder, PauseBetweenPressAndRelease) {
  for (bool record_delay : {true, false}) {
    MacroRecord m{};
    MacroRecorder rec;
    rec.Start(m, -1, 1000, record_delay);
    EXPECT_EQ(rec.OnKeyMessage(kVkA, Down(0x1E), 1500), Outcome::Recorded);
    EXPECT_EQ(rec.OnKeyMessage(kVkA, Up(0x1E), 1800), Outcome::Recorded);
    uint32_t pause = record_delay ? 300 : 50;
    EXPECT_EQ(Actions(m), (std::vector<MacroAction>{{pause, 0x01E, kPress}, {0, 0x01E, kRelease}}))
        << record_delay;
  }
}

TEST(MacroRecorder, IgnoresAutoRepeatAndUnknownKeysPassesMediaKeys) {
  MacroRecord m{};
  MacroRecorder rec;
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Down(0x1E), 0), Outcome::Ignored);  // not recording
  rec.Start(m, -1, 0, true);
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Down(0x1E), 100), Outcome::Recorded);
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Repeat(0x1E), 130), Outcome::Ignored);
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Repeat(0x1E), 160), Outcome::Ignored);
  EXPECT_EQ(rec.OnKeyMessage(0xAD, 0, 170), Outcome::PassOn);  // volume mute
  EXPECT_EQ(rec.OnKeyMessage(0x07, 0, 180), Outcome::Ignored);  // no key
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Up(0x1E), 400), Outcome::Recorded);
  // The ignored events did not restart the pause.
  EXPECT_EQ(Actions(m), (std::vector<MacroAction>{{300, 0x01E, kPress}, {0, 0x01E, kRelease}}));
  rec.Stop();
  EXPECT_FALSE(rec.Recording());
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Down(0x1E), 500), Outcome::Ignored);
}

TEST(MacroRecorder, PrintScreenGetsItsPressBeforeTheRelease) {
  MacroRecord m{};
  MacroRecorder rec;
  rec.Start(m, -1, 0, true);
  rec.OnKeyMessage(kVkA, Down(0x1E), 100);
  rec.OnKeyMessage(kVkA, Up(0x1E), 200);
  EXPECT_EQ(rec.OnKeyMessage(kVkSnapshot, Up(0x137), 500), Outcome::Recorded);
  // The measured 300 ms lead to the extra press, the short 2 ms to the release itself.
  EXPECT_EQ(Actions(m), (std::vector<MacroAction>{{100, 0x01E, kPress},
                                                  {300, 0x01E, kRelease},
                                                  {2, 0x137, kPress},
                                                  {0, 0x137, kRelease}}));

  MacroRecord alone{};
  rec.Start(alone, -1, 0, false);
  rec.OnKeyMessage(kVkSnapshot, Up(0x137), 900);
  EXPECT_EQ(Actions(alone), (std::vector<MacroAction>{{50, 0x137, kPress}, {0, 0x137, kRelease}}));
  // Alt+Print Screen arrives as Sys Req and is recorded as Print Screen.
  rec.OnKeyMessage(kVkSnapshot, Up(0x054), 950);
  EXPECT_EQ(alone.actionCount, 4);
  EXPECT_EQ(alone.actions[3].keyCode, 0x137);
}

TEST(MacroRecorder, WindowsKeys) {
  MacroRecord m{};
  MacroRecorder rec;
  rec.Start(m, -1, 0, true);
  EXPECT_EQ(rec.OnWindowsKey(false, true, 10), Outcome::Recorded);
  EXPECT_EQ(rec.OnWindowsKey(false, true, 20), Outcome::Ignored);  // still held
  EXPECT_EQ(rec.OnWindowsKey(true, true, 30), Outcome::Recorded);
  EXPECT_EQ(rec.OnWindowsKey(true, false, 40), Outcome::Recorded);
  EXPECT_EQ(rec.OnWindowsKey(false, false, 60), Outcome::Recorded);
  EXPECT_EQ(rec.OnWindowsKey(false, true, 70), Outcome::Recorded);  // pressed again after release
  EXPECT_EQ(Actions(m), (std::vector<MacroAction>{{20, 0x15B, kPress},
                                                  {10, 0x15C, kPress},
                                                  {20, 0x15C, kRelease},
                                                  {10, 0x15B, kRelease},
                                                  {0, 0x15B, kPress}}));
}

TEST(MacroRecorder, InsertsAfterTheChosenRow) {
  MacroRecord m{};
  m.actionCount = 5;
  for (int i = 0; i < 5; ++i) m.actions[size_t(i)] = {uint32_t(1000 + i), uint16_t(0x10 + i), kPress};
  MacroRecorder rec;
  rec.Start(m, 2, 0, true);  // after the third row
  EXPECT_EQ(rec.InsertRow(), 3);
  rec.OnKeyMessage(kVkA, Down(0x1E), 40);
  rec.OnKeyMessage(kVkA, Up(0x1E), 90);
  EXPECT_EQ(rec.Inserted(), 2);
  EXPECT_EQ(Actions(m), (std::vector<MacroAction>{{1000, 0x10, kPress},
                                                  {1001, 0x11, kPress},
                                                  {40, 0x12, kPress},
                                                  {50, 0x01E, kPress},
                                                  {1002, 0x01E, kRelease},
                                                  {1003, 0x13, kPress},
                                                  {1004, 0x14, kPress}}));
}

TEST(MacroRecorder, LimitsPausesAndActionCount) {
  MacroRecord m{};
  m.actionCount = kMaxMacroActions - 1;
  MacroRecorder rec;
  rec.Start(m, -1, 0, true);
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Down(0x1E), 100000), Outcome::Recorded);
  EXPECT_EQ(m.actions[kMaxMacroActions - 2].delay, kMaxMacroDelay);
  EXPECT_EQ(rec.OnKeyMessage(kVkA, Up(0x1E), 100001), Outcome::Ignored);  // 2,001st dropped
  EXPECT_EQ(m.actionCount, kMaxMacroActions);
  EXPECT_EQ(m.actions[kMaxMacroActions - 1], (MacroAction{0, 0x01E, kPress}));
}

}  // namespace
}  // namespace orvane
