// The macro editor's working state, without any window: the macros the user edits (private copies
// of the editing instance's records), which one is selected, the name counter that lives for the
// whole run, the recorder, and every rule of adding, naming, deleting, repeat counts and editing
// actions. The macro panel (ui/editors/macro_panel.h) shows this state in its controls and calls
// these operations; nothing reaches the configuration until Apply.
//
// Edits go straight into the selected record, so storing the selected macro before another is
// shown, or before Apply, needs no step of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/macro.h"
#include "model/macro_record.h"
#include "model/macro_recorder.h"
#include "model/profile_config.h"
#include "platform/prompt.h"
#include "platform/text_source.h"

namespace orvane {

enum class ActionMove { Top, Up, Down, Bottom };

class MacroEditor {
 public:
  // wait: how the name generator waits its 16 ms between tries (sleeps for real when empty).
  explicit MacroEditor(std::function<void(uint32_t ms)> wait = {});

  // Copies the editing instance's macros under its lock, each with isNew 0 and every direction
  // above 1 read as a press; nothing is selected. False (and an empty list) when memory runs out.
  bool Load(const ProfileInstance& editing);
  // Releases every record (the dialog closes); the selected position stays as it was.
  void Release();

  const std::vector<MacroRecord>& Macros() const { return macros_; }
  int Count() const { return int(macros_.size()); }
  // The selected position, or -1.
  int Selected() const { return selected_; }
  // -1, or a position outside the list, selects nothing. Stops a recording.
  void Select(int position);
  const MacroRecord* SelectedMacro() const;
  // Position of the macro with this id, or -1.
  int PositionOfId(uint16_t id) const;
  int NameCounter() const { return name_counter_; }

  // ---- the macro list ----
  enum class AddResult { Added, Full, NoMemory };
  // A new macro at the end with a generated name and the lowest free id; it becomes selected.
  // Full at 100 macros (the caller shows "MACRO_ERR_MAX" with 100).
  AddResult Add(const ITextSource& texts);
  // The name typed into the list's edit field. An empty list gets a new macro at position 0
  // named by the text (generated when empty). Otherwise the selected macro takes the text, or a
  // generated name when the text is empty or begins another macro's name (letter case ignored).
  // Names are cut to 249 characters. Returns the named macro's position (-1: nothing selected or
  // no memory).
  int Rename(std::string_view typed, const ITextSource& texts);
  // Deletes the selected macro after ConfirmMacroDelete; the macro before it (or the first)
  // becomes selected. False when nothing was deleted.
  bool DeleteSelected(const ProfileInstance& editing, const ITextSource& texts, IPrompt& prompt);
  // The selected macro's repeat count from its field's text (CyclesOfText).
  void SetCyclesText(std::string_view text);

  // ---- the selected macro's actions (rows) ----
  int ActionCount() const;
  const MacroAction* Action(int row) const;
  bool DeleteAction(int row);
  // Moves a row; returns its new row, or -1 when there is no such row. Moves past either end stop
  // there.
  int MoveAction(int row, ActionMove move);
  bool ClearActions();
  // Cell edits; each returns whether the action changed. A typed pause goes through
  // TypedDelayOfText (over_limit: the caller shows "MACRO_ACTION_ERR_DELAY_MAX" with 40000).
  bool SetActionDelayText(int row, std::string_view text, bool* over_limit);
  // A list position 0-110 of the key table; others change nothing.
  bool SetActionKeyPosition(int row, int list_position);
  bool SetActionDirection(int row, uint16_t direction);

  // ---- recording into the selected macro ----
  bool StartRecording(int after_row, uint64_t tick, bool record_delay);
  void StopRecording();
  bool Recording() const { return recorder_.Recording(); }
  // One event, inserted after after_row (the row selected now). Rows [first, first + count) are
  // new; the row before first (if any) took a new delay.
  struct Recorded {
    MacroRecorder::Outcome outcome = MacroRecorder::Outcome::Ignored;
    int first = 0;
    int count = 0;
  };
  Recorded OnKeyMessage(int after_row, uint32_t virtual_key, uint32_t flags, uint64_t tick);
  Recorded OnWindowsKey(int after_row, bool right, bool down, uint64_t tick);

  // ---- memory and apply ----
  MacroMemoryUse Memory(size_t capacity) const { return MacroMemoryUseOf(macros_, capacity); }
  // Stops a recording, then reconciles the key assignments with the list and makes the list the
  // editing instance's macro array; afterwards every record of the list has isNew 0. The copy is
  // made first: when memory runs out nothing changes and the result is false.
  // assignments_changed: whether a key assignment changed (the main window's apply-pending flag).
  bool Apply(ProfileInstance& editing, bool* assignments_changed);

 private:
  MacroRecord* Selection();
  std::u16string Generate(std::span<const MacroRecord> list, const ITextSource& texts);
  template <class F>
  Recorded Record(int after_row, F&& feed);

  std::function<void(uint32_t)> wait_;
  std::vector<MacroRecord> macros_;
  int selected_ = -1;
  int name_counter_ = 0;
  MacroRecorder recorder_;
};

}  // namespace orvane
