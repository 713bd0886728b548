// How the composite key dialog and its macro panel meet. The dialog (composite_dialog.h) owns the
// panel through IMacroPanel and calls it at the steps of its own life: creating and placing the
// panel's controls, loading the macro list, showing and hiding the panel, relabelling, the macro
// part of Apply, and closing. The panel reaches the dialog through IMacroPanelHost: the window its
// controls live in (they carry the IDs of ids::composite and are placed from "Skins\Composite.ini"),
// the macro picture set, the editing instance, texts, questions and the changed flag.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "model/profile_config.h"
#include "platform/prompt.h"
#include "platform/text_source.h"
#include "ui/skin/skin_layout.h"

namespace orvane {

class CBaseDialog;
class AppSettings;
class LanguageFiles;

class IMacroPanelHost {
 public:
  virtual ~IMacroPanelHost() = default;
  // The dialog the panel's controls are children of (AddControl, Control(id), OnCommand).
  virtual CBaseDialog& Dialog() = 0;
  // The macro picture set (normal, over, down, disabled, down as selected) for the panel's
  // image buttons, prepared once for the run.
  virtual const SkinPictures& MacroPictures() const = 0;
  virtual ProfileInstance& Editing() = 0;
  virtual const ITextSource& Texts() const = 0;
  virtual const LanguageFiles& Languages() const = 0;
  virtual AppSettings& Settings() = 0;
  virtual IPrompt& Prompt() = 0;
  // The dialog's changed flag: set, it enables Apply.
  virtual void SetChanged() = 0;
};

class IMacroPanel {
 public:
  virtual ~IMacroPanel() = default;

  // Initialisation step 2 and the panel's share of step 4: creates its controls on the first
  // opening (the action list's columns and callbacks included), places them from the layout file
  // and gives its image buttons the macro picture set. Called at every opening.
  virtual void Create() = 0;
  // Step 5: reads the record-delay option and sets the check box to match.
  virtual void ReadRecordDelay() = 0;
  // Step 8 (LoadMacroList): the list from the editing instance; no recording.
  virtual void LoadMacroList() = 0;
  // Showing the macro panel. Opening: the macro whose id equals value is selected, or item 0 when
  // value is 0 or no macro has that id. Later (first_time: the first time this opening shows the
  // macro panel): when value is 0, item 0 is selected. The selected macro's actions are shown.
  virtual void ShowPanel(bool opening, bool first_time, uint32_t value) = 0;
  // Shows or hides the panel's controls (the dialog shows exactly one panel).
  virtual void SetPanelVisible(bool visible) = 0;
  // Texts of the panel's controls from section TEXT of the language with this index.
  virtual void Relabel(int language_index) = 0;

  virtual bool Recording() const = 0;
  virtual void StopRecording() = 0;
  // Apply step 1: ends a cell edit of the action list, keeping its text.
  virtual void EndCellEdit() = 0;
  // Apply step 2 (ApplyMacroList): the selected macro stored, assignments reconciled, the list
  // made the editing instance's macro array. False when that could not be done (nothing changed).
  virtual bool ApplyMacroList() = 0;
  // What Apply step 4 stores for a macro assignment: whether the list is empty, the position of
  // the selected macro (-1: none) and the repeat field as a number from 1 to 255.
  virtual bool Empty() const = 0;
  virtual int SelectedPosition() const = 0;
  virtual uint16_t RepeatCount() const = 0;
  // Closing (FreeMacroPanel): recording stopped, both lists emptied.
  virtual void Free() = 0;
};

using MacroPanelFactory = std::function<std::unique_ptr<IMacroPanel>(IMacroPanelHost& host)>;

}  // namespace orvane
