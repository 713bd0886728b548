// The file-dialog interface (platform/file_dialog.h) on QFileDialog, in the skin's colours: the
// request's filter as name filters, its folder and name preselected, the default extension added,
// and the overwrite question on saves when asked for. A request that names no folder opens where
// the user last chose a file through this object, or at first in its start folder (the profile
// folder), never in whatever the working directory happens to be. Tests and unattended runs
// answer through an interceptor that sees the request instead of a dialog.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "platform/file_dialog.h"

class QFileDialog;

namespace orvane {

class QtFileDialog : public IFileDialog {
 public:
  // An answer replaces the dialog; nothing lets the dialog run.
  using Interceptor = std::function<std::optional<std::optional<std::string>>(const FileDialogRequest&)>;

  explicit QtFileDialog(QWidget* owner = nullptr, std::string start_folder = {})
      : owner_(owner), start_folder_(std::move(start_folder)) {}
  std::optional<std::string> Choose(const FileDialogRequest& request) override;

  // Where a request without a folder of its own opens now.
  const std::string& folderWithoutRequest() const { return last_folder_.empty() ? start_folder_ : last_folder_; }

  static void SetGlobalInterceptor(Interceptor interceptor);
  // The dialog as Choose sets it up (not yet shown), opening in fallback_folder when the request
  // names no folder. Caller owns it.
  static QFileDialog* MakeDialog(const FileDialogRequest& request, QWidget* owner,
                                 const std::string& fallback_folder = {});

 private:
  QWidget* owner_;
  std::string start_folder_;
  std::string last_folder_;
};

}  // namespace orvane
