// COrvane_DlgProfile, the profile manager (template 131, "Skins\Profile.ini"): a modal dialog that
// lists the keyboard's three on-board profiles and any profile files the user adds or loads,
// lets the user mark one row as the active profile (exclusive check boxes; every change enables
// Apply) and on Apply persists the list and makes the marked row the keyboard's current profile.
// Only the first three rows are on-board profiles: a later row marked as active is refused with a
// message and nothing is sent.
//
// The same object carries the operations that switch the current profile from anywhere in the
// program (SwitchProfile: the main window's three profile buttons), show a profile's keys
// (ShowProfileView) and label the main window's profiles button (RefreshProfileButton). It lives
// as long as the main window; each opening initialises it again. What it needs of the main window
// comes through ProfileManagerServices, so it knows nothing of the window's class.
#pragma once

#include <functional>
#include <string>

#include "device/protocol.h"
#include "model/config_context.h"
#include "platform/file_dialog.h"
#include "platform/main_window_link.h"
#include "platform/prompt.h"
#include "platform/text_source.h"
#include "store/settings.h"
#include "ui/skin/base_dialog.h"

namespace orvane {

class CPngButton;
class CReportList;

struct ProfileManagerServices {
  ProfileManagerServices(ConfigContext config_in, CDeviceProtocol& protocol_in, const ITextSource& texts_in,
                         AppSettings& settings_in, IPrompt& prompt_in, IFileDialog& files_in,
                         IMainWindowLink& link_in)
      : config(config_in),
        protocol(protocol_in),
        texts(texts_in),
        settings(settings_in),
        prompt(prompt_in),
        files(files_in),
        link(link_in) {}

  ConfigContext config;
  CDeviceProtocol& protocol;
  const ITextSource& texts;
  AppSettings& settings;
  IPrompt& prompt;
  IFileDialog& files;
  IMainWindowLink& link;  // the main window's Apply state and key matrix
  std::string skin_folder;  // holds Profile.ini and its pictures
  // The main window: whether its Apply is pending; its Apply command, run to the end; whether the
  // composite key dialog is open; the caption and tooltip of its profiles button; the help page.
  std::function<bool()> apply_pending;
  std::function<void()> apply;
  std::function<bool()> composite_open;
  std::function<void(const std::string& caption, const std::string& tooltip)> set_profiles_button;
  std::function<void()> help;
  // The main window marks the keyboard's current profile on its profile buttons and shows that
  // profile's lighting (Apply may have made another profile current).
  std::function<void()> show_current_profile;
};

// The list's column captions: language keys, and the texts shown when a language file lacks them.
inline constexpr const char* kProfileColumnKeys[3] = {"PROFILE_COLUMN_ACTIVE", "PROFILE_COLUMN_NAME",
                                                      "PROFILE_COLUMN_PATH"};
inline constexpr const char* kProfileColumnTexts[3] = {"激活", "名称", "路径"};
inline constexpr int kProfileColumnWidths[3] = {60, 120, 230};

class COrvane_DlgProfile : public CBaseDialog {
  Q_OBJECT
 public:
  COrvane_DlgProfile(ProfileManagerServices services, QWidget* parent = nullptr);
  ~COrvane_DlgProfile() override;

  bool OnInitDialog() override;
  // Apply, then close.
  void OnOK() override;
  // Close; nothing is written.
  void OnCancel() override;

  // Rows: the three on-board profiles again (unless initial, the list is emptied first), the
  // keyboard's current one checked when it can be read; not modified afterwards.
  void FillProfileList(bool initial);
  // Makes profile n (0 when n is not an on-board profile) the keyboard's current one, asking first
  // about unapplied changes; refused (0) while the composite key dialog is open, else 1.
  int SwitchProfile(int n);
  // The key matrix again from the layer of the keyboard's current profile.
  void ShowProfileView(int n);
  // The main window's profiles button: the current profile's name, and the tooltip before it.
  void RefreshProfileButton();

  // State, for the main window and tests.
  bool modified() const { return modified_; }
  int openCount() const { return open_count_; }
  bool isOpen() const { return open_count_ > 0; }
  CReportList* list() const { return list_; }
  // A question of SwitchProfile is open (one at a time in the process).
  static bool asking() { return asking_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void PlaceControls();
  void SetModified(bool modified);
  void OnAdd();
  void OnLoad();
  void OnDelete();
  void OnApply();
  void AppendFileRow(const std::string& path);
  std::string Text(const char* key) const;
  std::string TextOr(const char* key, const char* fixed) const;

  ProfileManagerServices services_;
  CReportList* list_ = nullptr;
  bool built_ = false;
  bool pictures_prepared_ = false;
  QPixmap normal_, over_, down_;
  bool modified_ = false;
  int open_count_ = 0;
  static inline bool asking_ = false;
};

}  // namespace orvane
