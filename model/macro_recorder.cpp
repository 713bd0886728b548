// Recording rules.
#include "model/macro_recorder.h"

#include <algorithm>

#include "model/key_table.h"

namespace orvane {
namespace {

constexpr uint32_t kFixedPause = 50;  // every pause when the record-delay option is off
constexpr uint32_t kExtraPressPause = 2;

bool NeedsExtraPress(uint16_t code) {
  return code == 0x054 || code == 0x071 || code == 0x072 || code == 0x137;
}

}  // namespace

void MacroRecorder::Start(MacroRecord& macro, int after_row, uint64_t start_tick, bool record_delay) {
  macro_ = &macro;
  const int count = ValidActionCount(macro);
  macro.actionCount = uint16_t(count);
  insert_row_ = (after_row < 0 || after_row >= count) ? count : after_row + 1;
  inserted_ = 0;
  last_tick_ = start_tick;
  record_delay_ = record_delay;
  left_win_down_ = false;
  right_win_down_ = false;
}

void MacroRecorder::Stop() { macro_ = nullptr; }

void MacroRecorder::InsertAfter(int after_row) {
  if (!macro_) return;
  const int count = ValidActionCount(*macro_);
  insert_row_ = (after_row < 0 || after_row >= count) ? count : after_row + 1;
}

MacroRecorder::Outcome MacroRecorder::OnKeyMessage(uint32_t virtual_key, uint32_t flags,
                                                   uint64_t tick) {
  if (!macro_) return Outcome::Ignored;
  const uint16_t code = KeyCodeOfMessage(virtual_key, flags);
  if (code == 0) return Outcome::Ignored;
  if (IsMediaKeyCode(code)) return Outcome::PassOn;
  const bool release = (flags & kKeyFlagTransition) != 0;
  if (!release && (flags & kKeyFlagPreviousState)) return Outcome::Ignored;  // auto-repeat
  return Record(code, release, tick);
}

MacroRecorder::Outcome MacroRecorder::OnWindowsKey(bool right, bool down, uint64_t tick) {
  if (!macro_) return Outcome::Ignored;
  bool& held = right ? right_win_down_ : left_win_down_;
  if (down && held) return Outcome::Ignored;
  held = down;
  return Record(right ? 0x15C : 0x15B, !down, tick);
}

MacroRecorder::Outcome MacroRecorder::Record(uint16_t code, bool release, uint64_t tick) {
  const uint64_t elapsed = tick >= last_tick_ ? tick - last_tick_ : 0;
  const uint32_t measured =
      record_delay_ ? uint32_t(std::min<uint64_t>(elapsed, kMaxMacroDelay)) : kFixedPause;
  const uint32_t short_pause = record_delay_ ? kExtraPressPause : kFixedPause;
  bool any = false;
  uint32_t pause = measured;
  if (NeedsExtraPress(code)) {
    any = Insert(MacroAction{0, code, kPress}, measured);
    pause = short_pause;
  }
  any = Insert(MacroAction{0, code, release ? kRelease : kPress}, pause) || any;
  last_tick_ = tick;
  return any ? Outcome::Recorded : Outcome::Ignored;
}

bool MacroRecorder::Insert(MacroAction action, uint32_t pause) {
  MacroRecord& m = *macro_;
  const int count = ValidActionCount(m);
  if (count >= kMaxMacroActions) return false;
  auto& actions = m.actions;
  if (count == 0) {
    action.delay = 0;
  } else if (insert_row_ > 0) {
    MacroAction& before = actions[size_t(insert_row_ - 1)];
    action.delay = before.delay;
    before.delay = pause;
  } else {
    // Start never puts the insertion point in front of existing rows; should the macro change
    // under the recorder, the new action at least keeps the pause that leads into the rest.
    action.delay = pause;
  }
  std::move_backward(actions.begin() + insert_row_, actions.begin() + count,
                     actions.begin() + count + 1);
  actions[size_t(insert_row_)] = action;
  m.actionCount = uint16_t(count + 1);
  ++insert_row_;
  ++inserted_;
  return true;
}

}  // namespace orvane
