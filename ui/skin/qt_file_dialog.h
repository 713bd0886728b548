// The file-dialog interface (platform/file_dialog.h) on QFileDialog, in the skin's colours: the
// request's filter as name filters, its folder and name preselected, the default extension added,
// and the overwrite question on saves when asked for. Tests and unattended runs answer through an
// interceptor that sees the request instead of a dialog.
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

  explicit QtFileDialog(QWidget* owner = nullptr) : owner_(owner) {}
  std::optional<std::string> Choose(const FileDialogRequest& request) override;

  static void SetGlobalInterceptor(Interceptor interceptor);
  // The dialog as Choose sets it up (not yet shown). Caller owns it.
  static QFileDialog* MakeDialog(const FileDialogRequest& request, QWidget* owner);

 private:
  QWidget* owner_;
};

}  // namespace orvane
