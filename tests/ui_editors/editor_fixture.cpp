#include "tests/ui_editors/editor_fixture.h"

#include <QDir>

#include "store/profile_store.h"
#include "ui/layout/dialog_layout.h"

namespace orvane::testing {

bool SendKey(QWidget* target, uint32_t evdev_code, bool release, bool auto_repeat, int qt_key) {
  QKeyEvent event(release ? QEvent::KeyRelease : QEvent::KeyPress, qt_key, Qt::NoModifier, evdev_code + 8, 0, 0,
                  QString(), auto_repeat);
  return QApplication::sendEvent(target, &event);
}

CompositeFixture::CompositeFixture() {
  CreateDefaultProfile(editing, std::string(), true);
  languages = std::make_unique<LanguageFiles>(nullptr, ORVANE_DATA_DIR, [] { return uint16_t(0x0409); });
  texts = std::make_unique<LanguageTextSource>(*languages);
  settings = std::make_unique<AppSettings>(nullptr, QDir::tempPath().toStdString());
}

CompositeFixture::~CompositeFixture() {
  if (dialog_) dialog_->CloseComposite();
}

Orvane_DlgComposite& CompositeFixture::Dialog(MacroPanelFactory panel) {
  if (dialog_) return *dialog_;
  CompositeServices services(editing, *languages, *texts, prompt, *settings);
  const std::string skins = std::string(ORVANE_DATA_DIR) + "/Skins";
  services.ini_path = skins + "/" + layout::LayoutFileName(layout::SkinDialog::Composite);
  services.skin_folder = skins;
  services.macro_panel = std::move(panel);
  CompositeHost host;
  host.current_profile = [this] { return current_profile; };
  host.button_rect = [this](int) { return button_rect; };
  host.highlight_button = [this](int button, bool on) { highlights.emplace_back(button, on); };
  host.refresh_key_matrix = [this] { ++refreshes; };
  host.set_apply_pending = [this] { ++apply_pending; };
  host.help = [this] { ++help; };
  host.on_screen_keyboard = [this] { return osk_program; };
  host.start_program = [this](const std::string& program) {
    started.push_back(program);
    return 42;
  };
  dialog_ = std::make_unique<Orvane_DlgComposite>(std::move(services), std::move(host));
  return *dialog_;
}

KeyAction CompositeFixture::Entry(int index) {
  auto lock = editing.Acquire();
  return *editing.Config().image->EntryAt(current_profile, index);
}

void CompositeFixture::SetEntry(int index, KeyAction action) {
  auto lock = editing.Acquire();
  *editing.Config().image->EntryAt(current_profile, index) = action;
}

void CompositeFixture::Render(const std::string& name) {
  const QString folder = QString::fromStdString(std::string(ORVANE_DATA_DIR) + "/../gallery");
  QDir().mkpath(folder);
  QApplication::processEvents();
  dialog_->grab().save(folder + "/" + QString::fromStdString(name) + ".png");
}

}  // namespace orvane::testing
