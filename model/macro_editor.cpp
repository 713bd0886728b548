// The macro editor's rules.
#include "model/macro_editor.h"

#include <algorithm>
#include <new>
#include <utility>

#include "model/key_table.h"
#include "platform/tick.h"

namespace orvane {

MacroEditor::MacroEditor(std::function<void(uint32_t ms)> wait) : wait_(std::move(wait)) {
  if (!wait_) wait_ = [](uint32_t ms) { SleepMs(ms); };
}

bool MacroEditor::Load(const ProfileInstance& editing) {
  StopRecording();
  macros_.clear();
  selected_ = -1;
  try {
    auto lock = editing.Acquire();
    macros_ = editing.Config().macros;
  } catch (const std::bad_alloc&) {
    macros_.clear();
    return false;
  }
  for (MacroRecord& m : macros_) {
    m.isNew = 0;
    m.actionCount = uint16_t(ValidActionCount(m));
    for (int i = 0; i < m.actionCount; ++i)
      if (m.actions[size_t(i)].direction > kRelease) m.actions[size_t(i)].direction = kPress;
  }
  return true;
}

void MacroEditor::Release() {
  StopRecording();
  macros_.clear();
  macros_.shrink_to_fit();
}

void MacroEditor::Select(int position) {
  StopRecording();
  selected_ = (position >= 0 && position < Count()) ? position : -1;
}

const MacroRecord* MacroEditor::SelectedMacro() const {
  return selected_ >= 0 && selected_ < Count() ? &macros_[size_t(selected_)] : nullptr;
}

MacroRecord* MacroEditor::Selection() {
  return selected_ >= 0 && selected_ < Count() ? &macros_[size_t(selected_)] : nullptr;
}

int MacroEditor::PositionOfId(uint16_t id) const {
  for (int p = 0; p < Count(); ++p)
    if (macros_[size_t(p)].id == id) return p;
  return -1;
}

std::u16string MacroEditor::Generate(std::span<const MacroRecord> list, const ITextSource& texts) {
  return GenerateMacroName(name_counter_, list, texts, wait_);
}

MacroEditor::AddResult MacroEditor::Add(const ITextSource& texts) {
  if (Count() >= kMaxMacros) return AddResult::Full;
  StopRecording();
  const std::u16string name = Generate(macros_, texts);
  try {
    macros_.push_back(NewMacro(name, macros_));
  } catch (const std::bad_alloc&) {
    return AddResult::NoMemory;
  }
  selected_ = Count() - 1;
  return AddResult::Added;
}

int MacroEditor::Rename(std::string_view typed, const ITextSource& texts) {
  const std::u16string text = Utf8ToUtf16(typed);
  if (macros_.empty()) {
    const std::u16string name = text.empty() ? Generate(macros_, texts) : text;
    try {
      macros_.insert(macros_.begin(), NewMacro(name, macros_));
    } catch (const std::bad_alloc&) {
      return -1;
    }
    selected_ = 0;
    return 0;
  }
  MacroRecord* selected = Selection();
  if (!selected) return -1;
  // The names of the other macros, as if the selected one were taken out of the list.
  std::vector<std::u16string> others;
  others.reserve(macros_.size());
  for (int p = 0; p < Count(); ++p)
    if (p != selected_) others.push_back(MacroName(macros_[size_t(p)]));
  const bool begins_other = std::any_of(others.begin(), others.end(), [&](const std::u16string& other) {
    return NameBeginsWith(other, text);
  });
  if (text.empty() || begins_other) {
    SetMacroName(*selected, std::u16string_view(
                                GenerateMacroNameAmong(name_counter_, std::span<const std::u16string>(others), texts, wait_)));
  } else {
    SetMacroName(*selected, std::u16string_view(text));
  }
  return selected_;
}

bool MacroEditor::DeleteSelected(const ProfileInstance& editing, const ITextSource& texts, IPrompt& prompt) {
  const MacroRecord* selected = SelectedMacro();
  if (!selected) return false;
  if (!ConfirmMacroDelete(*selected, editing, texts, prompt)) return false;
  StopRecording();
  const int position = selected_;
  macros_.erase(macros_.begin() + position);
  selected_ = macros_.empty() ? -1 : std::max(position - 1, 0);
  return true;
}

void MacroEditor::SetCyclesText(std::string_view text) {
  if (MacroRecord* m = Selection()) m->cycles = CyclesOfText(text);
}

int MacroEditor::ActionCount() const {
  const MacroRecord* m = SelectedMacro();
  return m ? ValidActionCount(*m) : 0;
}

const MacroAction* MacroEditor::Action(int row) const {
  const MacroRecord* m = SelectedMacro();
  if (!m || row < 0 || row >= ValidActionCount(*m)) return nullptr;
  return &m->actions[size_t(row)];
}

bool MacroEditor::DeleteAction(int row) {
  MacroRecord* m = Selection();
  const int count = m ? ValidActionCount(*m) : 0;
  if (row < 0 || row >= count) return false;
  std::move(m->actions.begin() + row + 1, m->actions.begin() + count, m->actions.begin() + row);
  m->actions[size_t(count - 1)] = MacroAction{};
  m->actionCount = uint16_t(count - 1);
  return true;
}

int MacroEditor::MoveAction(int row, ActionMove move) {
  MacroRecord* m = Selection();
  const int count = m ? ValidActionCount(*m) : 0;
  if (row < 0 || row >= count) return -1;
  int to = row;
  switch (move) {
    case ActionMove::Top: to = 0; break;
    case ActionMove::Up: to = std::max(row - 1, 0); break;
    case ActionMove::Down: to = std::min(row + 1, count - 1); break;
    case ActionMove::Bottom: to = count - 1; break;
  }
  auto first = m->actions.begin();
  if (to < row) std::rotate(first + to, first + row, first + row + 1);
  if (to > row) std::rotate(first + row, first + row + 1, first + to + 1);
  return to;
}

bool MacroEditor::ClearActions() {
  MacroRecord* m = Selection();
  if (!m || ValidActionCount(*m) == 0) return false;
  StopRecording();
  m->actions.fill(MacroAction{});
  m->actionCount = 0;
  return true;
}

bool MacroEditor::SetActionDelayText(int row, std::string_view text, bool* over_limit) {
  if (over_limit) *over_limit = false;
  MacroRecord* m = Selection();
  if (!m || row < 0 || row >= ValidActionCount(*m)) return false;
  const uint32_t delay = TypedDelayOfText(text, over_limit);
  MacroAction& a = m->actions[size_t(row)];
  const bool changed = a.delay != delay;
  a.delay = delay;
  return changed;
}

bool MacroEditor::SetActionKeyPosition(int row, int list_position) {
  MacroRecord* m = Selection();
  if (!m || row < 0 || row >= ValidActionCount(*m)) return false;
  if (list_position < 0 || list_position >= kListPositionCount) return false;
  const uint16_t code = KeyCodeAtListPosition(uint16_t(list_position));
  MacroAction& a = m->actions[size_t(row)];
  if (code == 0 || a.keyCode == code) return false;
  a.keyCode = code;
  return true;
}

bool MacroEditor::SetActionDirection(int row, uint16_t direction) {
  MacroRecord* m = Selection();
  if (!m || row < 0 || row >= ValidActionCount(*m)) return false;
  const uint16_t d = direction == kRelease ? kRelease : kPress;
  MacroAction& a = m->actions[size_t(row)];
  if (a.direction == d) return false;
  a.direction = d;
  return true;
}

bool MacroEditor::StartRecording(int after_row, uint64_t tick, bool record_delay) {
  MacroRecord* m = Selection();
  if (!m) return false;
  recorder_.Start(*m, after_row, tick, record_delay);
  return true;
}

void MacroEditor::StopRecording() { recorder_.Stop(); }

template <class F>
MacroEditor::Recorded MacroEditor::Record(int after_row, F&& feed) {
  Recorded r;
  if (!recorder_.Recording()) return r;
  recorder_.InsertAfter(after_row);
  r.first = recorder_.InsertRow();
  const int before = recorder_.Inserted();
  r.outcome = feed();
  r.count = recorder_.Inserted() - before;
  return r;
}

MacroEditor::Recorded MacroEditor::OnKeyMessage(int after_row, uint32_t virtual_key, uint32_t flags,
                                                uint64_t tick) {
  return Record(after_row, [&] { return recorder_.OnKeyMessage(virtual_key, flags, tick); });
}

MacroEditor::Recorded MacroEditor::OnWindowsKey(int after_row, bool right, bool down, uint64_t tick) {
  return Record(after_row, [&] { return recorder_.OnWindowsKey(right, down, tick); });
}

bool MacroEditor::Apply(ProfileInstance& editing, bool* assignments_changed) {
  if (assignments_changed) *assignments_changed = false;
  StopRecording();
  std::vector<MacroRecord> copy;
  try {
    copy = macros_;
  } catch (const std::bad_alloc&) {
    return false;
  }
  const bool changed = ReconcileMacroAssignments(editing, std::move(copy));
  for (MacroRecord& m : macros_) m.isNew = 0;
  if (assignments_changed) *assignments_changed = changed;
  return true;
}

}  // namespace orvane
