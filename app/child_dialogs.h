// The main window's child dialogs that live outside ui/main, bound to the window's hooks where the
// window is built: the profile manager (its opening, cancelling on keyboard loss and shutdown, the
// profile switch and the profiles button's label) and the update dialog (a fresh one per opening;
// the chosen program's path is process-wide). The file dialogs they show are owned here.
#pragma once

#include <memory>

#include "ui/main/orvane_dlg.h"

namespace orvane {

class COrvane_DlgProfile;
class QtFileDialog;

class ChildDialogs {
 public:
  // Binds the hooks; the window and its services outlive this object, which clears them again.
  explicit ChildDialogs(COrvaneDlg& window);
  ~ChildDialogs();

  COrvane_DlgProfile& profileManager() { return *profiles_; }

 private:
  COrvaneDlg& window_;
  std::unique_ptr<QtFileDialog> files_;
  std::unique_ptr<COrvane_DlgProfile> profiles_;
};

}  // namespace orvane
