#include "ui/skin/qt_file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace orvane {

namespace {

QtFileDialog::Interceptor& GlobalInterceptor() {
  static QtFileDialog::Interceptor interceptor;
  return interceptor;
}

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void QtFileDialog::SetGlobalInterceptor(Interceptor interceptor) { GlobalInterceptor() = std::move(interceptor); }

QFileDialog* QtFileDialog::MakeDialog(const FileDialogRequest& request, QWidget* owner,
                                      const std::string& fallback_folder) {
  auto* dialog = new QFileDialog(owner);
  // Qt's own dialog, so it follows the application's palette and style sheet.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.overwrite_prompt);
  dialog->setOption(QFileDialog::ReadOnly, false);
  if (!request.default_extension.empty()) dialog->setDefaultSuffix(ToQ(request.default_extension));
  QStringList filters;
  for (const auto& [caption, patterns] : ParseFileFilter(request.filter)) {
    // A caption that already shows its patterns ("(*.orv)") is used as it stands.
    const QString shown = ToQ(caption);
    QString list = ToQ(patterns);
    list.replace(';', ' ');
    filters << (shown.contains('(') ? shown : shown + " (" + list + ")");
  }
  if (!filters.isEmpty()) dialog->setNameFilters(filters);
  // The initial name may be a pattern ("*.exe"), a bare name or a full path.
  const QString name = ToQ(request.initial_name);
  const QFileInfo info(name);
  QString folder = ToQ(request.initial_folder);
  if (folder.isEmpty() && name.contains('/')) folder = info.path();
  // A folder that is not there (the Package folder of a build, say) counts as none.
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = ToQ(fallback_folder);
  if (!folder.isEmpty()) dialog->setDirectory(folder);
  const QString file = name.contains('/') ? info.fileName() : name;
  if (!file.isEmpty() && !file.contains('*')) dialog->selectFile(file);
  return dialog;
}

std::optional<std::string> QtFileDialog::Choose(const FileDialogRequest& request) {
  if (const Interceptor& intercept = GlobalInterceptor()) {
    if (std::optional<std::optional<std::string>> answer = intercept(request)) return *answer;
  }
  QFileDialog* dialog = MakeDialog(request, owner_, folderWithoutRequest());
  std::optional<std::string> chosen;
  if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
    const QString file = dialog->selectedFiles().first();
    chosen = file.toStdString();
    last_folder_ = QFileInfo(file).absolutePath().toStdString();
  }
  delete dialog;
  return chosen;
}

}  // namespace orvane
