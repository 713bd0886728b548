// Turns keyboard events, as the recording dialog receives them, into macro actions. The dialog
// feeds it key messages in the Windows form (virtual key, keystroke flags, millisecond tick) and
// the Windows keys separately; the recorder decides what is recorded and inserts the actions into
// the macro after the chosen row, so that every action's delay is the pause to the next one:
//  - key code 0 is ignored; the 18 media keys are not recorded and pass on to the system;
//  - auto-repeat key-downs (and a second key-down of a Windows key still held) are ignored;
//  - pauses are measured between accepted events (the first from the start of recording), capped
//    at 40,000 ms, or 50 ms each when the record-delay option is off;
//  - Sys Req (0x054), KL (0x071), KR (0x072) and Print Screen (0x137) get an extra press before
//    each of their events (the system hides their key-down): the measured pause goes before the
//    extra press, a short pause (2 ms, or 50 ms with the option off) between it and the event;
//  - each inserted action takes over the delay of the action before it, which takes the pause;
//    in an empty macro the first action's delay is 0;
//  - actions beyond 2,000 are dropped without a message.
#pragma once

#include <cstdint>

#include "model/macro_record.h"

namespace orvane {

class MacroRecorder {
 public:
  enum class Outcome {
    Recorded,  // one or more actions were inserted
    Ignored,   // nothing recorded (no key, auto-repeat, macro full, not recording)
    PassOn,    // a media key: let the system have it
  };

  // Starts recording into macro, inserting after row after_row (a negative row or one past the
  // end means at the end). The macro must outlive the recording.
  void Start(MacroRecord& macro, int after_row, uint64_t start_tick, bool record_delay);
  void Stop();
  // Moves the insertion point after another row (the row the user selected meanwhile), keeping
  // the pause measurement and the held Windows keys; the same rules as Start.
  void InsertAfter(int after_row);
  bool Recording() const { return macro_ != nullptr; }

  // A key-down or key-up message: virtual key and keystroke flags (scan code in bits 16-23,
  // extended bit 24, previous state bit 30, transition bit 31).
  Outcome OnKeyMessage(uint32_t virtual_key, uint32_t flags, uint64_t tick);
  // A Windows key event (left: 0x15B, right: 0x15C).
  Outcome OnWindowsKey(bool right, bool down, uint64_t tick);

  // Row where the next action will go, and the number of actions inserted since Start.
  int InsertRow() const { return insert_row_; }
  int Inserted() const { return inserted_; }

 private:
  Outcome Record(uint16_t code, bool release, uint64_t tick);
  bool Insert(MacroAction action, uint32_t pause);

  MacroRecord* macro_ = nullptr;
  int insert_row_ = 0;
  int inserted_ = 0;
  uint64_t last_tick_ = 0;
  bool record_delay_ = true;
  bool left_win_down_ = false;
  bool right_win_down_ = false;
};

}  // namespace orvane
