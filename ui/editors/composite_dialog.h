// Orvane_DlgComposite, the composite key dialog (template 134, "Skins\Composite.ini"): what one key
// does in the keyboard's current on-board profile. Four panels - a single key or mouse button
// captured from the keyboard, a macro (the macro panel, macro_panel_host.h), a media function, a
// keyboard function - and Clear, which gives the key back its factory function. Apply and OK write
// the chosen assignment into the editing instance and mark the main window's Apply as pending;
// writing to the keyboard is the main window's business.
//
// The dialog object lives as long as the main window and is shown modally at each opening
// (OpenComposite). Keys are captured through CKeyHook while the single-key panel is shown.
#pragma once

#include <QRect>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "model/config_context.h"
#include "model/profile_config.h"
#include "platform/prompt.h"
#include "platform/text_source.h"
#include "ui/editors/macro_panel_host.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/skin_layout.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace orvane {

class AppSettings;
class CKeyHook;
class CPngButton;
class LanguageFiles;
struct KeyHookMessage;

// What the dialog works with; everything outlives it.
struct CompositeServices {
  CompositeServices(ProfileInstance& editing_in, const LanguageFiles& languages_in, const ITextSource& texts_in,
                    IPrompt& prompt_in, AppSettings& settings_in)
      : editing(editing_in), languages(languages_in), texts(texts_in), prompt(prompt_in), settings(settings_in) {}

  ProfileInstance& editing;
  const LanguageFiles& languages;
  const ITextSource& texts;
  IPrompt& prompt;
  AppSettings& settings;
  std::string ini_path;     // "Skins\Composite.ini" in the program folder
  std::string skin_folder;  // where its pictures are
  MacroPanelFactory macro_panel;  // makes the macro panel; empty: no macro panel
};

// The main window's side.
struct CompositeHost {
  // The keyboard's current on-board profile (0-2, -1 when it cannot be read).
  std::function<int()> current_profile;
  // The screen rectangle of the main window's button with this ID (empty when unknown).
  std::function<QRect(int button)> button_rect;
  // Gives the button its highlighted pictures (true) or its normal ones back (false).
  std::function<void(int button, bool highlighted)> highlight_button;
  // Steps 1 and 2 of RefreshKeyMatrix: the keys' selected marks and tooltips.
  std::function<void()> refresh_key_matrix;
  std::function<void()> set_apply_pending;
  // The main window's help command.
  std::function<void()> help;
  // The on-screen keyboard's program (nothing: none is installed) and how it is started (a result
  // above 32 is success). Empty: the desktop's own (onboard or florence), started detached.
  std::function<std::string()> on_screen_keyboard;
  std::function<int(const std::string& program)> start_program;
};

// The dialog's modes: the KeyAction types it edits.
inline constexpr uint16_t kModeDefault = kActionDefault;
inline constexpr uint16_t kModeSingleKey = kActionSingleKey;
inline constexpr uint16_t kModeMacro = kActionPlayMacro;
inline constexpr uint16_t kModeMedia = kActionMedia;
inline constexpr uint16_t kModeFunction = kActionFunction;

// Where the dialog goes beside the button it was opened from: the first of right-below,
// right-above, left-below, left-above that fits on the screen (right-below when none does), or
// centred on the screen.
QPoint CompositePlacement(const QRect& screen, const QRect& button, const QSize& dialog, bool centred);

class Orvane_DlgComposite : public CBaseDialog, private IMacroPanelHost {
  Q_OBJECT
 public:
  Orvane_DlgComposite(CompositeServices services, CompositeHost host, QWidget* parent = nullptr);
  ~Orvane_DlgComposite() override;

  // Steps 1-4 of an opening: the entry of the button (the 104 key buttons, the nine G keys; 1143
  // is G9, which opens the macro editor), then the modal run. An unknown ID does nothing. With
  // the current profile unreadable the dialog does not open; false then (and for unknown IDs).
  bool OpenComposite(int button);
  // The same without the modal run: the dialog is initialised and shown and stays open until
  // OK, Cancel or CloseComposite (the modal run is this plus an event loop).
  bool Open(int button);
  // Cancels the dialog if it is open (keyboard loss, shutdown).
  void CloseComposite();
  bool IsOpen() const { return open_count_ > 0; }
  // Loads the skin and the five picture sets and creates the controls ahead of the first opening
  // (the main window does it once it is idle after start-up), so that a key's first click costs
  // what every later one does. Nothing is shown; later calls do nothing.
  void Prepare();
  int openCount() const { return open_count_; }

  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  // Relabels from section TEXT of the language with this index.
  void Relabel(int language_index);

  // State, for the main window and tests.
  uint16_t mode() const { return mode_; }
  int entryIndex() const { return entry_index_; }
  int buttonId() const { return button_; }
  bool macroOnly() const { return g9_; }
  uint16_t capturedKey() const { return captured_; }
  bool changed() const { return changed_; }
  bool captureInstalled() const;
  IMacroPanel* macroPanel() const { return panel_.get(); }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  // IMacroPanelHost.
  CBaseDialog& Dialog() override { return *this; }
  const SkinPictures& MacroPictures() const override { return macro_set_; }
  ProfileInstance& Editing() override { return services_.editing; }
  const ITextSource& Texts() const override { return services_.texts; }
  const LanguageFiles& Languages() const override { return services_.languages; }
  AppSettings& Settings() override { return services_.settings; }
  IPrompt& Prompt() override { return services_.prompt; }
  void SetChanged() override;

  void CreateControls();
  void PreparePictureSets();
  void PlaceControls();
  void FillLists();
  void ReadEntry();
  void Place();
  void ShowPanel(bool opening);
  void ChoosePanel(uint16_t mode);
  void OnCapture(const KeyHookMessage& message);
  void OnRadio(bool mouse);
  void OnClear();
  void OnOnScreenKeyboard();
  void Apply();
  void Close();
  void SetChangedFlag(bool on);
  void SetPanelBackground(const SkinPictures& set);
  std::string Text(const std::string& key) const;
  int LanguageIndex() const;
  CPngButton* Button(int id) const;

  CompositeServices services_;
  CompositeHost host_;
  std::unique_ptr<IMacroPanel> panel_;
  std::unique_ptr<CKeyHook> capture_;
  bool built_ = false;
  // The five picture sets (key, macro, macro2, media, function).
  SkinPictures key_set_, macro_set_, macro2_set_, media_set_, function_set_;

  // One opening.
  int entry_index_ = -1;
  int button_ = 0;
  int profile_ = 0;
  bool g9_ = false;
  uint16_t mode_ = 0;
  uint32_t value_ = 0;
  uint16_t code_ = 0;
  uint16_t captured_ = 0;
  bool changed_ = false;
  bool macro_shown_ = false;  // the macro panel was shown in this opening
  int open_count_ = 0;
  bool closing_ = false;
  // An entry of a type only files make (1, 3, 5, 6) stays as it was until the user picks a panel,
  // captures a key or clears.
  bool keep_entry_ = false;
  KeyAction opened_entry_{};
};

}  // namespace orvane
