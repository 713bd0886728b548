// The main window's commands that act on the configuration as a whole: Apply (with the busy
// indicator), the three profile buttons, the profile manager, the macro editor, Default, the
// backup menu with Restore (import) and Backup (export), Help, the four links and the firmware
// update command. The work itself is the core's (store/profile_store.h, model/key_matrix.h); the
// commands ask the user, call it, and redraw what changed.
//
// The file dialogs, the shell and the popup menu go through replaceable functions, so tests can
// answer them; the defaults are Qt's file dialogs, the platform shell and QMenu::exec.
#pragma once

#include <QPoint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_dialog.h"

class QAction;
class QMenu;
class QWidget;

namespace orvane {

class CKeyMatrix;
class COrvaneDlg;

// The chosen path, or nothing when the user cancelled.
using FileChooser = std::function<std::optional<std::string>(const FileDialogRequest&)>;

// A shell "open": the target, its parameter text and working folder as given (empty: none).
struct ShellRequest {
  std::string target;
  std::string parameters;
  std::string folder;
};
using ShellOpener = std::function<int(const ShellRequest&)>;

// Shows a popup menu at a global position; the chosen action or null.
using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& at)>;

class CMainCommands {
 public:
  CMainCommands(COrvaneDlg& dialog, CKeyMatrix& matrix);
  ~CMainCommands();

  // Apply: saves the cache file and writes the current profile when changes are pending; the
  // Apply button stays enabled when either fails. Shows the busy indicator while it writes.
  void ApplyConfiguration();
  // Profile button n (0-2).
  void SelectProfileButton(int n);
  void RestoreDefaults();
  void ShowBackupMenu();
  // The backup menu as it is shown: two items relabelled from the language file.
  std::unique_ptr<QMenu> BuildBackupMenu();
  void Restore();
  void Backup();
  void Help();
  void OpenLink(int command);

  // Restore and Backup ask this chooser (the program's shared file dialog); without one they show
  // a dialog of their own.
  void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }
  void SetShellOpener(ShellOpener opener) { shell_ = std::move(opener); }
  void SetMenuRunner(MenuRunner runner) { run_menu_ = std::move(runner); }

 private:
  std::optional<std::string> ChooseFile(const FileDialogRequest& request);
  int Shell(const ShellRequest& request) const;
  bool PaintingMode() const;

  COrvaneDlg& dialog_;
  CKeyMatrix& matrix_;
  FileChooser choose_file_;
  ShellOpener shell_;
  MenuRunner run_menu_;
};

}  // namespace orvane
