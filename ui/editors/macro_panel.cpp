// The macro panel.
#include "ui/editors/macro_panel.h"

#include <QCheckBox>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>

#include "model/key_table.h"
#include "platform/format.h"
#include "platform/tick.h"
#include "store/language.h"
#include "store/settings.h"
#include "ui/controls/color_static.h"
#include "ui/controls/edit_combo.h"
#include "ui/controls/report_list.h"
#include "ui/editors/key_hook.h"
#include "ui/editors/macro_meter.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_placement.h"
#include "ui/skin/window_message.h"

namespace orvane {
namespace {

namespace C = ids::composite;

constexpr const char* kFontFace = "Arial Unicode MS";
constexpr int kListFontPoints = 12;
constexpr int kActionFontPoints = 8;
constexpr int kColumnWidth = 60;
constexpr int kKeyDropRows = 20;
constexpr int kDirectionDropRows = 6;
constexpr ColorRef kCaptionWhite = 0xFFFFFF;
constexpr ColorRef kCaptionGrey = 0x7F7F7F;
constexpr int kCaptionPoints = 9;
constexpr int kNameFieldLimit = 259;  // what the name field takes; names keep 249
constexpr ColorRef kStaticColour = 0xE4E4E4;

enum Column { kKeyColumn = 0, kDirectionColumn = 1, kDelayColumn = 2 };

// The panel's controls and their layout keys, in the order they are placed.
struct PanelControl {
  int id;
  const char* key;
  bool image_button;
};
constexpr PanelControl kControls[] = {
    {C::kMacroName, "MARCO_NAME_SETTING", false},
    {C::kMacroList, "FUNC_MACRO_LIST", false},
    {C::kMacroAdd, "FUNC_MACRO_ADD", true},
    {C::kMacroDelete, "FUNC_MACRO_DELETE", true},
    {C::kMacroCyclesPrompt, "FUNC_MACRO_CYCLES_PROMPT", false},
    {C::kMacroCycles, "FUNC_MACRO_CYCLES", false},
    {C::kActionList, "FUNC_MACRO_LIST2", false},
    {C::kRecord, "FUNC_MACRO_RECORD", true},
    {C::kActionTop, "FUNC_MACRO_UP_TOP", true},
    {C::kActionUp, "FUNC_MACRO_UP", true},
    {C::kActionDown, "FUNC_MACRO_DOWN", true},
    {C::kActionBottom, "FUNC_MACRO_DOWN_BOTTOM", true},
    {C::kActionDelete, "FUNC_MACRO_DELETE2", true},
    {C::kActionClear, "FUNC_MACRO_CLEAR", true},
    {C::kMacroMemory, "FUNC_MACRO_MEMORY", false},
    {C::kRecordDelay, "FUNC_MACRO_RECORD_DELAY", false},
    {C::kRecordDelayCaption, "FUNC_MACRO_RECORD_DELAY2", false},
};

// The buttons that work on the selected macro's actions (enabled exactly when a macro is selected).
constexpr int kActionButtons[] = {C::kRecord,   C::kActionDelete, C::kActionClear, C::kActionTop,
                                  C::kActionUp, C::kActionDown,   C::kActionBottom};

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CMacroPanel::CMacroPanel(IMacroPanelHost& host, const KeyboardFacts& keyboard, std::function<uint64_t()> tick)
    : host_(host), keyboard_(keyboard), tick_(std::move(tick)) {
  if (!tick_) tick_ = [] { return TickCountMs(); };
  // The hook hands over every key but the media keys and unknown ones, consumed; its tick is
  // taken from the panel's clock too, so pauses and the start of recording agree.
  hook_ = std::make_unique<CKeyHook>(
      [this](const KeyHookMessage& m) { RecordKeyMessage(m.virtualKey, m.flags, tick_()); });
  hook_->SetOwner(&host_.Dialog());
}

MacroPanelFactory MakeMacroPanelFactory(const KeyboardFacts& keyboard) {
  return [&keyboard](IMacroPanelHost& host) -> std::unique_ptr<IMacroPanel> {
    return std::make_unique<CMacroPanel>(host, keyboard);
  };
}

CMacroPanel::~CMacroPanel() = default;

std::string CMacroPanel::Text(const std::string& key) const {
  return language_ < 0 ? host_.Texts().Text(key) : host_.Languages().LoadText(key, language_);
}

CPngButton* CMacroPanel::button(int id) const { return host_.Dialog().ControlAs<CPngButton>(id); }

// ---- creating and placing -------------------------------------------------------------------

void CMacroPanel::Create() {
  if (!created_) {
    CreateControls();
    RegisterHandlers();
    created_ = true;
  }
  PlaceControls();
}

void CMacroPanel::CreateControls() {
  CBaseDialog& dialog = host_.Dialog();
  auto add = [&](QWidget* control, int id, const char* key) {
    control->setObjectName(key);
    dialog.AddControl(control, id);
    controls_.push_back(control);
  };
  for (const PanelControl& c : kControls) {
    QWidget* control = nullptr;
    if (c.image_button) {
      auto* b = new CPngButton(&dialog);
      StyleCaption(b);
      control = b;
    } else {
      switch (c.id) {
        case C::kMacroList: {
          macro_list_ = new CEditCombo(&dialog);
          macro_list_->setFont(QFont(kFontFace, kListFontPoints));
          macro_list_->SetEditLimit(kNameFieldLimit);
          control = macro_list_;
          break;
        }
        case C::kMacroCycles:
          repeat_ = new QLineEdit(&dialog);
          repeat_->setText("1");
          control = repeat_;
          break;
        case C::kActionList: {
          action_list_ = new CReportList(&dialog);
          action_list_->setFont(QFont(kFontFace, kActionFontPoints));
          control = action_list_;
          break;
        }
        case C::kRecordDelay:
          record_delay_box_ = new QCheckBox(&dialog);
          control = record_delay_box_;
          break;
        case C::kMacroMemory:
          meter_ = new CMacroMeter(&dialog);
          control = meter_;
          break;
        default: {
          auto* label = new ColorStatic(&dialog);
          label->SetTextColor(kStaticColour);
          if (c.id == C::kMacroName) name_caption_ = label;
          if (c.id == C::kMacroCyclesPrompt) repeat_caption_ = label;
          if (c.id == C::kRecordDelayCaption) record_delay_caption_ = label;
          control = label;
          break;
        }
      }
    }
    add(control, c.id, c.key);
  }

  // The action list: three columns, the first two grey, each cell edited in place.
  action_list_->AddColumn(Text("MACRO_KEYS_TISHI"), kColumnWidth);
  action_list_->AddColumn(Text("MACRO_ACTION_TISHI"), kColumnWidth);
  action_list_->AddColumn(Text("MACRO_DELAY_MS"), kColumnWidth);
  // The pause column takes the rest of the list's width, so its header is never cut.
  action_list_->horizontalHeader()->setStretchLastSection(true);
  action_list_->SetGreyColumn(kKeyColumn, true);
  action_list_->SetGreyColumn(kDirectionColumn, true);
  action_list_->SetColumnEditor(kKeyColumn, CReportList::Editor::DropDown);
  action_list_->SetColumnEditor(kDirectionColumn, CReportList::Editor::DropDown);
  action_list_->SetColumnEditor(kDelayColumn, CReportList::Editor::DigitsEdit);
  action_list_->SetDropDown(
      kKeyColumn,
      [this](int row) {
        CReportList::DropDownItems items;
        const ITextSource& texts = host_.Texts();
        for (int p = 0; p < kListPositionCount; ++p) items.items.push_back(ListDisplayName(texts, uint16_t(p)));
        if (const MacroAction* a = editor_.Action(row)) {
          const uint16_t position = ListPositionOf(a->keyCode);
          items.selected = (position & kNotInLists) ? -1 : int(position);
        }
        return items;
      },
      kKeyDropRows);
  action_list_->SetDropDown(
      kDirectionColumn,
      [this](int row) {
        CReportList::DropDownItems items;
        items.items = {DirectionText(kPress), DirectionText(kRelease)};
        const MacroAction* a = editor_.Action(row);
        items.selected = a && a->direction == kRelease ? 1 : 0;
        return items;
      },
      kDirectionDropRows);
  action_list_->OnEditStarting([this](int row, int column) { OnEditStarting(row, column); });
  action_list_->OnTextEdited([this](int row, int column, const std::string& text) { OnTextEdited(row, column, text); });
  action_list_->OnItemChosen([this](int row, int column, int index) { OnItemChosen(row, column, index); });
  // The check box's caption is the separate static beside it.
  record_delay_box_->setText(QString());
}

void CMacroPanel::StyleCaption(CPngButton* b) {
  b->SetTextStyle(true, kCaptionPoints, kFontFace, kCaptionWhite, kCaptionWhite, kCaptionWhite, kCaptionGrey,
                  kCaptionWhite, kDefaultTextFormat);
}

void CMacroPanel::PlaceControls() {
  CBaseDialog& dialog = host_.Dialog();
  const std::string& ini = dialog.iniPath();
  const std::string section = "BUTTONINFO";
  for (const PanelControl& c : kControls) {
    QWidget* control = dialog.Control(c.id);
    if (!control) continue;
    if (c.image_button)
      PlaceSkinButton(static_cast<CPngButton*>(control), ini, section, c.key, host_.MacroPictures());
    else
      PlaceSkinControl(control, ini, section, c.key);
  }
}

void CMacroPanel::RegisterHandlers() {
  CBaseDialog& d = host_.Dialog();
  d.OnNotify(C::kMacroList, notify::kSelChange, [this] { OnSelChange(); });
  d.OnNotify(C::kMacroList, notify::kEditChange, [this] { OnEditChange(); });
  d.OnNotify(C::kMacroCycles, notify::kTextChange, [this] { OnRepeatChange(); });
  d.OnCommand(C::kMacroAdd, [this] { OnAdd(); });
  d.OnCommand(C::kMacroDelete, [this] { OnDelete(); });
  d.OnCommand(C::kRecord, [this] { ToggleRecording(); });
  d.OnCommand(C::kActionDelete, [this] { OnDeleteAction(); });
  d.OnCommand(C::kActionClear, [this] { OnClearActions(); });
  d.OnCommand(C::kActionTop, [this] { OnMoveAction(ActionMove::Top); });
  d.OnCommand(C::kActionUp, [this] { OnMoveAction(ActionMove::Up); });
  d.OnCommand(C::kActionDown, [this] { OnMoveAction(ActionMove::Down); });
  d.OnCommand(C::kActionBottom, [this] { OnMoveAction(ActionMove::Bottom); });
  d.OnCommand(C::kRecordDelay, [this] { OnRecordDelay(); });
}

void CMacroPanel::Relabel(int language_index) {
  language_ = language_index;
  if (!created_) return;
  name_caption_->setText(Q(Text("MACRO_NAME_SETTING")));
  repeat_caption_->setText(Q(Text("MACRO_CYCLES")));
  record_delay_caption_->setText(Q(Text("RECORD_DELAY")));
  const std::pair<int, const char*> captions[] = {
      {C::kActionTop, "A_TOP"},   {C::kActionUp, "A_UP"},         {C::kActionDown, "A_DOWN"},
      {C::kActionBottom, "A_BOTTOM"}, {C::kActionClear, "A_CLEAR"}, {C::kActionDelete, "A_DELETE"}};
  for (const auto& [id, key] : captions)
    if (CPngButton* b = button(id)) b->setText(Q(Text(key)));
  if (CPngButton* record = button(C::kRecord))
    record->setText(Q(Text(Recording() ? "MACRO_ACTION_STOP_RECORD" : "A_RECORD")));
  action_list_->SetColumnCaption(kKeyColumn, Text("MACRO_KEYS_TISHI"));
  action_list_->SetColumnCaption(kDirectionColumn, Text("MACRO_ACTION_TISHI"));
  action_list_->SetColumnCaption(kDelayColumn, Text("MACRO_DELAY_MS"));
  // Key names follow the language too.
  for (int r = 0; r < action_list_->RowCount(); ++r)
    if (const MacroAction* a = editor_.Action(r)) action_list_->SetCellText(r, kKeyColumn, KeyDisplayName(host_.Texts(), a->keyCode));
  UpdateMeter();
}

void CMacroPanel::SetPanelVisible(bool visible) {
  if (!visible) StopRecording();
  for (QWidget* control : controls_) control->setVisible(visible);
}

// ---- the record-delay option -----------------------------------------------------------------

void CMacroPanel::ReadRecordDelay() {
  const ITextSource& texts = host_.Texts();
  const std::string stored = host_.Settings().RecordDelay(texts);
  record_delay_ = LeadingNumber(stored).value_or(0) == 1;
  host_.Settings().WriteRecordDelay(texts, record_delay_ ? "1" : "0");
  if (record_delay_box_) record_delay_box_->setChecked(record_delay_);
}

void CMacroPanel::OnRecordDelay() {
  record_delay_ = !record_delay_;
  host_.Settings().WriteRecordDelay(host_.Texts(), record_delay_ ? "1" : "0");
  record_delay_box_->setChecked(record_delay_);
}

// ---- the macro list --------------------------------------------------------------------------

void CMacroPanel::LoadMacroList() {
  StopRecording();
  editor_.Load(host_.Editing());
  updating_ = true;
  macro_list_->ClearItems();
  for (const MacroRecord& m : editor_.Macros()) macro_list_->AddItem(MacroNameUtf8(m));
  macro_list_->Select(-1);
  updating_ = false;
  ShowSelectedMacro();
}

void CMacroPanel::SelectListItem(int position) {
  updating_ = true;
  editor_.Select(position);
  macro_list_->Select(editor_.Selected());
  updating_ = false;
}

void CMacroPanel::ShowPanel(bool opening, bool first_time, uint32_t value) {
  if (opening) {
    const int position = value == 0 ? -1 : editor_.PositionOfId(uint16_t(value));
    SelectListItem(position >= 0 ? position : 0);
    ShowSelectedMacro();
  } else if (first_time && value == 0) {
    SelectListItem(0);
    ShowSelectedMacro();
  }
  UpdateMeter();
}

std::vector<std::string> CMacroPanel::RowTexts(const MacroAction& a) const {
  return {KeyDisplayName(host_.Texts(), a.keyCode), DirectionText(a.direction), std::to_string(a.delay)};
}

void CMacroPanel::ShowSelectedMacro() {
  action_list_->Clear();
  const MacroRecord* m = editor_.SelectedMacro();
  if (m) {
    repeat_->setText(QString::number(m->cycles));
    for (int r = 0; r < editor_.ActionCount(); ++r) action_list_->AppendRow(RowTexts(*editor_.Action(r)));
  }
  for (int id : kActionButtons)
    if (CPngButton* b = button(id)) b->setEnabled(m != nullptr);
  UpdateMeter();
}

void CMacroPanel::OnSelChange() {
  if (updating_) return;
  editor_.Select(macro_list_->Selected());
  ShowSelectedMacro();
}

void CMacroPanel::OnEditChange() {
  if (updating_) return;
  const bool was_empty = editor_.Count() == 0;
  const std::string typed = macro_list_->EditText();
  const int position = editor_.Rename(typed, host_.Texts());
  if (position < 0) return;
  const std::string name = MacroNameUtf8(editor_.Macros()[size_t(position)]);
  updating_ = true;
  if (was_empty) {
    macro_list_->InsertItem(0, name);
    macro_list_->Select(0);
  } else {
    macro_list_->SetItemText(position, name);
  }
  if (name != typed) macro_list_->SetEditText(name);
  updating_ = false;
  if (was_empty) ShowSelectedMacro();
  UpdateMeter();
  Changed();
}

void CMacroPanel::OnAdd() {
  switch (editor_.Add(host_.Texts())) {
    case MacroEditor::AddResult::Full:
      host_.Prompt().Notice(FormatChecked(Text("MACRO_ERR_MAX"), {int64_t(kMaxMacros)}));
      return;
    case MacroEditor::AddResult::NoMemory: return;
    case MacroEditor::AddResult::Added: break;
  }
  updating_ = true;
  macro_list_->AddItem(MacroNameUtf8(editor_.Macros().back()));
  macro_list_->Select(editor_.Selected());
  updating_ = false;
  ShowSelectedMacro();
  Changed();
}

void CMacroPanel::OnDelete() {
  const int position = editor_.Selected();
  if (position < 0) return;
  if (!editor_.DeleteSelected(host_.Editing(), host_.Texts(), host_.Prompt())) return;
  updating_ = true;
  macro_list_->RemoveItem(position);
  macro_list_->Select(editor_.Selected());
  if (editor_.Selected() < 0) macro_list_->SetEditText(std::string());
  updating_ = false;
  ShowSelectedMacro();
  Changed();
}

void CMacroPanel::OnRepeatChange() {
  const std::string text = repeat_->text().toStdString();
  if (const auto corrected = CyclesFieldCorrection(text)) repeat_->setText(Q(*corrected));
  editor_.SetCyclesText(text);
  Changed();
}

uint16_t CMacroPanel::RepeatCount() const { return CyclesOfText(repeat_ ? repeat_->text().toStdString() : ""); }

// ---- the actions ----------------------------------------------------------------------------

void CMacroPanel::OnDeleteAction() {
  const int row = action_list_->SelectedRow();
  if (!editor_.DeleteAction(row)) return;
  action_list_->RemoveRow(row);
  UpdateMeter();
  Changed();
}

void CMacroPanel::OnMoveAction(ActionMove move) {
  const int row = action_list_->SelectedRow();
  const int to = editor_.MoveAction(row, move);
  if (to < 0) return;
  if (to != row) action_list_->MoveRow(row, to);
  action_list_->SelectRow(to);
  action_list_->EnsureVisible(to);
  Changed();
}

void CMacroPanel::OnClearActions() {
  if (action_list_->RowCount() == 0) return;
  if (!host_.Prompt().AskYesNo(Text("MACRO_ACTION_CLEAR_CONFIRM"))) return;
  editor_.ClearActions();
  action_list_->Clear();
  UpdateMeter();
  Changed();
}

void CMacroPanel::OnEditStarting(int, int column) {
  if (column == kDelayColumn) StopRecording();
}

void CMacroPanel::OnTextEdited(int row, int column, const std::string& text) {
  if (column != kDelayColumn || editor_.Action(row) == nullptr) return;
  bool over = false;
  editor_.SetActionDelayText(row, text, &over);
  if (over) host_.Prompt().Notice(FormatChecked(Text("MACRO_ACTION_ERR_DELAY_MAX"), {int64_t(kMaxMacroDelay)}));
  action_list_->SetCellText(row, kDelayColumn, std::to_string(editor_.Action(row)->delay));
  Changed();
}

void CMacroPanel::OnItemChosen(int row, int column, int index) {
  bool changed = false;
  if (column == kKeyColumn) changed = editor_.SetActionKeyPosition(row, index);
  if (column == kDirectionColumn) changed = editor_.SetActionDirection(row, uint16_t(index));
  if (!changed) return;
  const std::vector<std::string> texts = RowTexts(*editor_.Action(row));
  action_list_->SetCellText(row, column, texts[size_t(column)]);
  Changed();
}

void CMacroPanel::EndCellEdit() {
  if (action_list_ && action_list_->ActiveEditor()) action_list_->CommitEdit();
}

// ---- recording -------------------------------------------------------------------------------

void CMacroPanel::ToggleRecording() {
  if (Recording()) {
    StopRecording();
    return;
  }
  if (!editor_.StartRecording(action_list_->SelectedRow(), tick_(), record_delay_)) return;
  hook_->Install();
  SetRecordingControls(true);
}

void CMacroPanel::StopRecording() {
  if (!Recording()) return;
  editor_.StopRecording();
  hook_->Remove();
  SetRecordingControls(false);
}

void CMacroPanel::SetRecordingControls(bool recording) {
  if (CPngButton* record = button(ids::composite::kRecord)) {
    record->setText(Q(Text(recording ? "MACRO_ACTION_STOP_RECORD" : "MACRO_ACTION_RECORD")));
    record->SetSelected(recording, true);
  }
  for (int id : {C::kMacroAdd, C::kMacroDelete, C::kMacroList})
    if (QWidget* control = host_.Dialog().Control(id)) control->setEnabled(!recording);
}

bool CMacroPanel::RecordKeyMessage(uint32_t virtual_key, uint32_t flags, uint64_t tick) {
  if (!Recording()) return false;
  const uint16_t code = KeyCodeOfMessage(virtual_key, flags);
  const int after = action_list_->SelectedRow();
  MacroEditor::Recorded r;
  if (code == 0x15B || code == 0x15C)
    r = editor_.OnWindowsKey(after, code == 0x15C, (flags & kKeyFlagTransition) == 0, tick);
  else
    r = editor_.OnKeyMessage(after, virtual_key, flags, tick);
  if (code == 0 || r.outcome == MacroRecorder::Outcome::PassOn) return false;
  if (r.count == 0) return true;
  // Only the new rows and the row before them change: constant work per event at any length.
  for (int i = 0; i < r.count; ++i)
    action_list_->InsertRow(r.first + i, RowTexts(*editor_.Action(r.first + i)));
  if (r.first > 0)
    action_list_->SetCellText(r.first - 1, kDelayColumn, std::to_string(editor_.Action(r.first - 1)->delay));
  action_list_->SelectRow(r.first + r.count - 1);
  UpdateMeter();
  Changed();
  return true;
}

// ---- apply and closing -----------------------------------------------------------------------

bool CMacroPanel::ApplyMacroList() {
  StopRecording();
  bool assignments_changed = false;
  const bool ok = editor_.Apply(host_.Editing(), &assignments_changed);
  UpdateMeter();
  return ok;
}

void CMacroPanel::Free() {
  StopRecording();
  editor_.Release();
  if (!created_) return;
  updating_ = true;
  macro_list_->ClearItems();
  macro_list_->SetEditText(std::string());
  updating_ = false;
  action_list_->Clear();
}

// ---- the meter -------------------------------------------------------------------------------

void CMacroPanel::UpdateMeter() {
  if (!meter_) return;
  const MacroMemoryUse use = editor_.Memory(keyboard_.MacroCapacity());
  std::string text = FormatChecked(Text("MACRO_MEMORY_USE"), {int64_t(use.used), int64_t(use.available)});
  std::string tip = Text("MACRO_MEMORY_TIP");
  if (use.fit == MacroAreaFit::WithoutNames) {
    text += " – " + Text("MACRO_MEMORY_TIGHT");
    tip = Text("MACRO_MEMORY_TIGHT_TIP");
  } else if (use.fit == MacroAreaFit::TooLong) {
    text += " – " + Text("MACRO_MEMORY_FULL");
    tip = Text("MACRO_MEMORY_FULL_TIP");
  }
  meter_->SetUse(use, Q(text), Q(tip));
}

void CMacroPanel::Changed() { host_.SetChanged(); }

}  // namespace orvane
