// The main window's commands.
#include "ui/main/main_commands.h"

#include <QCursor>
#include <QMenu>
#include <QShortcut>
#include <QTimer>

#include "model/key_matrix.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "store/help_page.h"
#include "store/profile_store.h"
#include "ui/controls/color_static.h"  // the desktop opener with its browser fallback
#include "ui/main/busy_indicator.h"
#include "ui/main/key_matrix.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/png_button.h"
#include "ui/skin/qt_file_dialog.h"
#include "ui/skin/resources.h"

namespace orvane {

namespace {

namespace m = ids::main;

// The parameter text the help and the logo area pass.
constexpr const char* kNullText = "NULL";

}  // namespace

CMainCommands::CMainCommands(COrvaneDlg& dialog, CKeyMatrix& matrix) : dialog_(dialog), matrix_(matrix) {
  dialog_.OnCommand(m::kApply, [this] { ApplyConfiguration(); });
  for (size_t n = 0; n < m::kProfileButtons.size(); ++n)
    dialog_.OnCommand(m::kProfileButtons[n], [this, n] { SelectProfileButton(int(n)); });
  dialog_.OnCommand(m::kProfiles, [this] {
    if (dialog_.hooks().open_profile_manager) dialog_.hooks().open_profile_manager();
  });
  // The macro editor is the key dialog of G9, in its macro-only form.
  dialog_.OnCommand(m::kMacro, [this] { matrix_.OpenComposite(GKeyButtons()[kGKeyCount - 1]); });
  dialog_.OnCommand(m::kDefault, [this] { RestoreDefaults(); });
  dialog_.OnCommand(m::kMenu, [this] { ShowBackupMenu(); });
  dialog_.OnCommand(ids::menu::kBackupRestore, [this] { Restore(); });
  dialog_.OnCommand(ids::menu::kBackupSave, [this] { Backup(); });
  dialog_.OnCommand(m::kHelp, [this] { Help(); });
  for (int id : {m::kLogoLink, m::kFacebookLink, m::kTwitterLink, m::kNetwork})
    dialog_.OnCommand(id, [this, id] { OpenLink(id); });
  dialog_.OnCommand(ids::menu::kUpdateCommand, [this] {
    if (dialog_.hooks().open_update_dialog) dialog_.hooks().open_update_dialog();
  });
  // A later start with "/Update": answered at once, the dialog opens when the queue gets here.
  dialog_.OnMessage(WM_MAIN_UPDATE, [this](uintptr_t wparam, intptr_t) -> intptr_t {
    if (wparam != kCheckWordUpdate) return 0;
    QTimer::singleShot(0, &dialog_, [this] { dialog_.DispatchCommand(ids::menu::kUpdateCommand); });
    return 1;
  });
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), &dialog_);
  QObject::connect(help, &QShortcut::activated, &dialog_, [this] { Help(); });

  RegisterMenuResource(ids::menu::kBackup, MenuResource{{{{ids::menu::kBackupRestore, "Restore"},
                                                           {ids::menu::kBackupSave, "Backup"},
                                                           {0, ""}}}});
}

CMainCommands::~CMainCommands() = default;

bool CMainCommands::PaintingMode() const {
  const MainDialogHooks& hooks = dialog_.hooks();
  return hooks.painting_mode && hooks.painting_mode();
}

void CMainCommands::ApplyConfiguration() {
  const MainDialogServices& s = dialog_.services();
  CBusyIndicator* busy = dialog_.busyIndicator();
  if (!dialog_.IsApplyPending()) {
    // Nothing to write; the indicator still goes through its start and stop.
    RunBusy(busy, [] { return 1; });
    return;
  }
  const int result = ApplyEdits(s.config, s.protocol, dialog_.prompt(), s.texts,
                                [busy](const std::function<int()>& write) { return RunBusy(busy, write); });
  if (result == 1) dialog_.SetApplyPending(false);
}

void CMainCommands::SelectProfileButton(int n) {
  const MainDialogHooks& hooks = dialog_.hooks();
  if (hooks.set_lighting_profile) hooks.set_lighting_profile(n);
  if (hooks.load_lighting) hooks.load_lighting();
  if (hooks.rebuild_lighting) hooks.rebuild_lighting();
  // Per-key editing is switched off as its own switch does.
  if (PaintingMode()) dialog_.DispatchCommand(m::kPerKeySwitch);
  if (n == dialog_.services().protocol.CurrentProfile()) return;
  if (!hooks.switch_profile || hooks.switch_profile(n) == 0) return;
  for (size_t i = 0; i < m::kProfileButtons.size(); ++i)
    if (CPngButton* b = dialog_.ControlAs<CPngButton>(m::kProfileButtons[i])) b->SetSelected(int(i) == n, true);
  matrix_.ClearHighlights();
}

void CMainCommands::RestoreDefaults() {
  const MainDialogServices& s = dialog_.services();
  if (!dialog_.prompt().AskYesNo(s.texts.Text("MAIN_PROMPT_DEFAULT"))) return;
  {
    auto lock = s.config.editing.Acquire();
    ProfileConfig& config = s.config.editing.Config();
    const int layer = s.protocol.CurrentProfile();
    // No profile the keyboard can name: nothing to clear, nothing to write.
    if (!config.image || !ClearMatrixEntries(*config.image, layer)) return;
    matrix_.RefreshEntries();
    dialog_.SetApplyPending(true);
  }
  if (PaintingMode() && dialog_.hooks().reset_lighting) dialog_.hooks().reset_lighting();
  for (int id : m::kReportRateButtons)
    if (CPngButton* b = dialog_.ControlAs<CPngButton>(id)) b->SetSelected(id == m::kReportRate1, true);
  ApplyConfiguration();
}

std::unique_ptr<QMenu> CMainCommands::BuildBackupMenu() {
  std::unique_ptr<QMenu> menu = LoadMenuResource(ids::menu::kBackup);
  if (!menu) return menu;
  const ITextSource& texts = dialog_.services().texts;
  for (QAction* action : menu->actions()) {
    if (MenuCommand(action) == ids::menu::kBackupRestore) action->setText(QString::fromStdString(texts.Text("MENU_1")));
    if (MenuCommand(action) == ids::menu::kBackupSave) action->setText(QString::fromStdString(texts.Text("MENU_2")));
  }
  return menu;
}

void CMainCommands::ShowBackupMenu() {
  std::unique_ptr<QMenu> menu = BuildBackupMenu();
  if (!menu) return;
  const QPoint at = QCursor::pos();
  QAction* chosen = run_menu_ ? run_menu_(*menu, at) : menu->exec(at);
  if (const int command = MenuCommand(chosen); command != 0) dialog_.DispatchCommand(command);
}

void CMainCommands::Restore() {
  const std::optional<std::string> path = ChooseFile(ProfileFileRequest(false));
  if (!path) return;
  const MainDialogServices& s = dialog_.services();
  CBusyIndicator* busy = dialog_.busyIndicator();
  const ImportResult result =
      ImportProfileFile(s.config, *path, s.protocol, dialog_.prompt(), s.texts,
                        [busy](const std::function<int()>& write) { return RunBusy(busy, write); });
  if (result == ImportResult::kInvalid) {
    dialog_.prompt().Notice(s.texts.Text("MAIN_PROMPT_INPORT"));
    return;
  }
  matrix_.RefreshKeyMatrix();
  // The file is in the editing instance either way; Apply stays offered until the keyboard
  // holds it too.
  dialog_.SetApplyPending(result != ImportResult::kWritten);
}

void CMainCommands::Backup() {
  const std::optional<std::string> path = ChooseFile(ProfileFileRequest(true));
  if (!path) return;
  // Not reported, whatever the result.
  SaveProfileFile(dialog_.services().config.editing, *path);
}

std::optional<std::string> CMainCommands::ChooseFile(const FileDialogRequest& request) {
  if (choose_file_) return choose_file_(request);
  return QtFileDialog(&dialog_).Choose(request);
}

void CMainCommands::Help() {
  const std::string& folder = dialog_.services().paths.help_folder;
  // The English page, or its translation beside it for the language in use.
  const std::string page = HelpPageName(folder, dialog_.services().languages.GetLanguageId());
  Shell(ShellRequest{JoinPath(folder, page), kNullText, folder});
}

void CMainCommands::OpenLink(int command) {
  const std::array<std::string, 3>& links = dialog_.linkAddresses();
  switch (command) {
    case m::kLogoLink: Shell(ShellRequest{links[0], {}, {}}); break;
    case m::kFacebookLink: Shell(ShellRequest{links[1], {}, {}}); break;
    case m::kTwitterLink: Shell(ShellRequest{links[2], {}, {}}); break;
    case m::kNetwork: Shell(ShellRequest{links[0], kNullText, kNullText}); break;
    default: break;
  }
}

int CMainCommands::Shell(const ShellRequest& request) const {
  int result = kShellFileNotFound;
  if (shell_) {
    result = shell_(request);
  } else if (!request.target.empty()) {
    // Documents and links go to the desktop's opener, which takes no parameters or folder, and
    // else to the user's browser.
    const CHyperLink::Shell desktop = CHyperLink::DefaultShell();
    result = desktop.open(request.target);
    if (result <= 32)
      if (std::optional<std::string> browser = desktop.browser_command())
        result = desktop.run(BrowserCommandLine(*browser, request.target));
  }
  // A click that opens nothing says so, and what it tried to open.
  if (result <= 32)
    dialog_.prompt().Notice(dialog_.services().texts.Text("MAIN_OPEN_FAILED") + "\n\n" + request.target);
  return result;
}

}  // namespace orvane
