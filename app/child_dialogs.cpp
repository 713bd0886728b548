#include "app/child_dialogs.h"

#include "store/folders.h"
#include "ui/editors/profile_dialog.h"
#include "ui/main/main_commands.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/png_button.h"
#include "ui/skin/qt_file_dialog.h"
#include "ui/update/update_dialog.h"

namespace orvane {

ChildDialogs::ChildDialogs(COrvaneDlg& window)
    : window_(window), files_(std::make_unique<QtFileDialog>(&window, ProfileFolder())) {
  const MainDialogServices& s = window.services();
  // One file dialog for the whole program, so that every dialog opens where the user last was.
  window.commands().SetFileChooser([this](const FileDialogRequest& request) { return files_->Choose(request); });
  ProfileManagerServices profile(s.config, s.protocol, s.texts, s.settings, window.prompt(), *files_, window.link());
  profile.skin_folder = s.paths.profile_skin_folder;
  profile.apply_pending = [&window] { return window.IsApplyPending(); };
  // The Apply command runs to its end before DispatchCommand returns.
  profile.apply = [&window] { window.DispatchCommand(ids::main::kApply); };
  profile.composite_open = [&window] { return window.hooks().composite_open && window.hooks().composite_open(); };
  profile.set_profiles_button = [&window](const std::string& caption, const std::string& tooltip) {
    if (auto* button = window.ControlAs<CPngButton>(ids::main::kProfiles)) {
      button->setText(QString::fromStdString(caption));
      button->SetTooltip(tooltip, true);
      button->Repaint();
    }
  };
  profile.show_current_profile = [&window] { window.ShowCurrentProfile(); };
  profile.help = [&window] {
    if (window.hooks().help) window.hooks().help();
  };
  profiles_ = std::make_unique<COrvane_DlgProfile>(std::move(profile), &window);

  MainDialogHooks& hooks = window.hooks();
  hooks.open_profile_manager = [this] {
    if (!profiles_->isOpen()) profiles_->DoModal();
  };
  hooks.cancel_profile_manager = [this] {
    if (profiles_->isOpen()) profiles_->OnCancel();
  };
  hooks.switch_profile = [this](int profile) { return profiles_->SwitchProfile(profile); };
  hooks.refresh_profile_button = [this] { profiles_->RefreshProfileButton(); };
  hooks.open_update_dialog = [this] {
    const MainDialogServices& services = window_.services();
    UpdateDialogServices update(services.config.editing, services.protocol, services.texts, window_.prompt(), *files_);
    update.skin_folder = services.paths.update_skin_folder;
    update.package_folder = services.paths.package_folder;
    COrvane_DlgUpdate dialog(std::move(update), &window_);
    dialog.DoModal();
  };
}

ChildDialogs::~ChildDialogs() {
  MainDialogHooks& hooks = window_.hooks();
  // The hooks capture this object; the window may outlive it by a moment at shutdown.
  hooks.open_profile_manager = nullptr;
  hooks.cancel_profile_manager = nullptr;
  hooks.switch_profile = nullptr;
  hooks.refresh_profile_button = nullptr;
  hooks.open_update_dialog = nullptr;
  window_.commands().SetFileChooser(nullptr);
}

}  // namespace orvane
