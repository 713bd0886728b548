// COrvane_DlgUpdate, the update dialog (template 149, "Skins\UpdateDlg.ini"): the user picks the
// keyboard's update program (from the Package folder beside the program), may back up the current
// configuration to a profile file first, and Update switches the keyboard into its boot loader and
// starts the program detached, after which this program gets out of the way. Nothing is flashed
// here. The chosen path is process-wide and outlives the dialog until Update or Cancel update
// clears it. Only a file this user can run is taken as the update program: anything else is
// refused before the keyboard leaves its normal mode, so it is never left waiting in its boot
// loader for a program that cannot start.
#pragma once

#include <QPixmap>
#include <functional>
#include <string>

#include "device/protocol.h"
#include "model/profile_config.h"
#include "platform/file_dialog.h"
#include "platform/prompt.h"
#include "platform/text_source.h"
#include "ui/skin/base_dialog.h"

namespace orvane {

struct UpdateDialogServices {
  UpdateDialogServices(ProfileInstance& editing_in, CDeviceProtocol& protocol_in, const ITextSource& texts_in,
                       IPrompt& prompt_in, IFileDialog& files_in)
      : editing(editing_in), protocol(protocol_in), texts(texts_in), prompt(prompt_in), files(files_in) {}

  ProfileInstance& editing;
  CDeviceProtocol& protocol;
  const ITextSource& texts;
  IPrompt& prompt;
  IFileDialog& files;
  std::string skin_folder;     // holds UpdateDlg.ini and its pictures
  std::string package_folder;  // where the update program is delivered
  // Starts the program detached without arguments; a result above 32 is success. Empty: the
  // platform's StartDetached.
  std::function<int(const std::string& program)> start_program;
};

// The messages: language keys, and the texts shown when a language file lacks them.
struct UpdateMessage {
  const char* key;
  const char* fixed;
};
inline constexpr UpdateMessage kUpdateNoFile{"UPDATE_ERR_NO_FILE", "请选择正确的更新文件! "};
inline constexpr UpdateMessage kUpdateNoBootMode{"UPDATE_ERR_BOOT_MODE", "无法进入Boot模式! "};
inline constexpr UpdateMessage kUpdateNotStarted{"UPDATE_ERR_START", "无法执行更新文件! "};
inline constexpr UpdateMessage kUpdateBackupDone{"UPDATE_BACKUP_DONE", "备份成功!"};
inline constexpr UpdateMessage kUpdateBackupFailed{"UPDATE_BACKUP_FAILED", "备份失败,请重新备份!"};

// The open dialog's filter: any file (the update program is an executable of any name), then the
// Windows programs.
inline constexpr const char* kUpdateProgramFilter = "(*)|*|MyType Files (*.exe)|*.exe||";

// The process-wide update path: empty at start.
const std::string& UpdatePath();
void SetUpdatePath(std::string path);

class COrvane_DlgUpdate : public CBaseDialog {
  Q_OBJECT
 public:
  explicit COrvane_DlgUpdate(UpdateDialogServices services, QWidget* parent = nullptr);
  ~COrvane_DlgUpdate() override;

  bool OnInitDialog() override;

  void OnOpen();
  void OnUpdate();
  void OnCancelUpdate();
  void OnBackup();

 private:
  void ShowMessage(const UpdateMessage& message);
  void PlaceControls();

  UpdateDialogServices services_;
  bool built_ = false;
  bool pictures_prepared_ = false;
  QPixmap normal_, over_;
};

}  // namespace orvane
