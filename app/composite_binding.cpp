#include "app/composite_binding.h"

#include <QTimer>
#include <map>

#include "model/key_table.h"
#include "platform/paths.h"
#include "ui/layout/control_ids.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/png_button.h"

namespace orvane {

namespace {

}  // namespace

std::unique_ptr<Orvane_DlgComposite> BindCompositeDialog(COrvaneDlg& window, MacroPanelFactory macro_panel) {
  const MainDialogServices& s = window.services();
  CompositeServices services(s.config.editing, s.languages, s.texts, window.prompt(), s.settings);
  services.ini_path = s.paths.composite_skin;
  services.skin_folder = s.paths.composite_skin_folder;
  services.macro_panel = std::move(macro_panel);

  CompositeHost host;
  COrvaneDlg* main = &window;
  host.current_profile = [main] { return main->services().protocol.CurrentProfile(); };
  host.button_rect = [main](int button) {
    const QWidget* b = main->Control(button);
    if (b == nullptr || !b->isVisible()) return QRect();
    return QRect(b->mapToGlobal(QPoint(0, 0)), b->size());
  };
  // While the dialog is open its key shows the over picture as its normal, over and selected
  // faces; closing gives the key its own faces back.
  auto saved = std::make_shared<std::map<int, SkinPictures>>();
  host.highlight_button = [main, saved](int button, bool on) {
    auto* b = main->ControlAs<CPngButton>(button);
    if (b == nullptr) return;
    if (on) {
      const SkinPictures own = b->pictures();
      (*saved)[button] = own;
      b->SetImages(SkinPictures{own.over, own.over, own.down, own.normal, own.over});
    } else if (auto it = saved->find(button); it != saved->end()) {
      b->SetImages(it->second);
      saved->erase(it);
    }
    b->update();
  };
  host.refresh_key_matrix = [main] { main->RefreshKeyMatrix(); };
  host.set_apply_pending = [main] { main->SetApplyPending(true); };
  host.help = [main] {
    if (main->hooks().help) main->hooks().help();
  };

  auto dialog = std::make_unique<Orvane_DlgComposite>(std::move(services), std::move(host), &window);
  Orvane_DlgComposite* d = dialog.get();
  MainDialogHooks& hooks = window.hooks();
  hooks.open_composite = [d](int button) { d->OpenComposite(button == ids::main::kMacro ? GKeyButtons().back() : button); };
  hooks.composite_open = [d] { return d->IsOpen(); };
  hooks.close_composite = [d] { d->CloseComposite(); };
  hooks.composite_language = [d](int language) { d->Relabel(language); };
  // The skin and pictures are ready before the first click.
  QTimer::singleShot(0, d, [d] { d->Prepare(); });
  return dialog;
}

}  // namespace orvane
