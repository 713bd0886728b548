// CMacroPanel, the macro panel of the composite key dialog: the editable macro list (add, name by
// typing, delete), the repeat field, the action list with its in-place cell editors, the action
// buttons, recording from the keyboard with the record-delay option, and the macro memory meter.
// The rules are the model's (MacroEditor, model/macro_editor.h); the panel keeps its controls in
// step with the editor and reports every change to the dialog through IMacroPanelHost.
//
// The panel lives as long as its dialog (the name counter lasts for the run); its controls are
// created on the first opening. While recording it takes the keyboard through the editors' key
// hook (ui/editors/key_hook.h); RecordKeyMessage is the same entry for messages that come
// another way.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/device_image.h"
#include "model/macro_editor.h"
#include "ui/editors/macro_panel_host.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace orvane {

class CEditCombo;
class CKeyHook;
class CMacroMeter;
class CPngButton;
class CReportList;

class CMacroPanel : public QObject, public IMacroPanel {
  Q_OBJECT
 public:
  // keyboard: where the macro capacity comes from. tick: the millisecond clock recording
  // measures pauses with (TickCountMs when empty).
  CMacroPanel(IMacroPanelHost& host, const KeyboardFacts& keyboard, std::function<uint64_t()> tick = {});
  ~CMacroPanel() override;

  // IMacroPanel.
  void Create() override;
  void ReadRecordDelay() override;
  void LoadMacroList() override;
  void ShowPanel(bool opening, bool first_time, uint32_t value) override;
  void SetPanelVisible(bool visible) override;
  void Relabel(int language_index) override;
  bool Recording() const override { return editor_.Recording(); }
  void StopRecording() override;
  void EndCellEdit() override;
  bool ApplyMacroList() override;
  bool Empty() const override { return editor_.Count() == 0; }
  int SelectedPosition() const override { return editor_.Selected(); }
  uint16_t RepeatCount() const override;
  void Free() override;

  // Recording: starts or stops it (button 1020).
  void ToggleRecording();
  // A key message while recording (virtual key, keystroke flags, millisecond tick). True when it
  // is consumed; false when it passes on (not recording, no key, a media key).
  bool RecordKeyMessage(uint32_t virtual_key, uint32_t flags, uint64_t tick);

  // State and controls, for the dialog and the tests.
  const MacroEditor& editor() const { return editor_; }
  bool recordDelay() const { return record_delay_; }
  CEditCombo* macroList() const { return macro_list_; }
  CReportList* actionList() const { return action_list_; }
  QLineEdit* repeatField() const { return repeat_; }
  QCheckBox* recordDelayBox() const { return record_delay_box_; }
  CMacroMeter* meter() const { return meter_; }
  CPngButton* button(int id) const;
  // Every control of the panel (shown and hidden together).
  const std::vector<QWidget*>& controls() const { return controls_; }

 private:
  void CreateControls();
  void PlaceControls();
  void RegisterHandlers();
  std::string Text(const std::string& key) const;
  void StyleCaption(CPngButton* b);

  // ShowSelectedMacro with reload: repeat field, rows, action buttons.
  void ShowSelectedMacro();
  std::vector<std::string> RowTexts(const MacroAction& action) const;
  void SelectListItem(int position);
  void UpdateMeter();
  void Changed();

  void OnSelChange();
  void OnEditChange();
  void OnAdd();
  void OnDelete();
  void OnRepeatChange();
  void OnDeleteAction();
  void OnMoveAction(ActionMove move);
  void OnClearActions();
  void OnRecordDelay();
  void OnEditStarting(int row, int column);
  void OnTextEdited(int row, int column, const std::string& text);
  void OnItemChosen(int row, int column, int index);
  void SetRecordingControls(bool recording);

  IMacroPanelHost& host_;
  const KeyboardFacts& keyboard_;
  std::function<uint64_t()> tick_;
  MacroEditor editor_;
  bool record_delay_ = false;
  bool updating_ = false;
  bool created_ = false;
  int language_ = -1;  // the language the captions came from (-1: the current one)

  CEditCombo* macro_list_ = nullptr;
  CReportList* action_list_ = nullptr;
  QLineEdit* repeat_ = nullptr;
  QCheckBox* record_delay_box_ = nullptr;
  QLabel* name_caption_ = nullptr;
  QLabel* repeat_caption_ = nullptr;
  QLabel* record_delay_caption_ = nullptr;
  CMacroMeter* meter_ = nullptr;
  std::vector<QWidget*> controls_;
  std::unique_ptr<CKeyHook> hook_;  // installed exactly while recording
};

// The factory the composite key dialog makes its macro panel with.
MacroPanelFactory MakeMacroPanelFactory(const KeyboardFacts& keyboard);

}  // namespace orvane
