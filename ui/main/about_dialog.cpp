#include "ui/main/about_dialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/main_window_link.h"
#include "store/language.h"
#include "ui/controls/color_static.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"
#include "ui/skin/theme.h"

namespace orvane {

namespace A = ids::about;

namespace {

constexpr uint32_t kLanguageWord = CheckWord('L', 'A', 'N', 'G');
constexpr ColorRef kLabelColour = 0x000000;

int ClampLanguageIndex(intptr_t index) { return index < 0 || index >= 4 ? 0 : int(index); }

QString Text(const LanguageFiles& languages, const char* key, int index) {
  return QString::fromStdString(languages.LoadText(key, index));
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent, std::string ini_path, std::string skin_folder, const LanguageFiles& languages,
                     std::string logo_link, QIcon icon)
    : CBaseDialog(ids::templates::kAbout, parent, std::move(ini_path), std::move(skin_folder)),
      languages_(languages),
      logo_link_(std::move(logo_link)),
      icon_(std::move(icon)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  OnMessage(WM_MAIN_LANGUAGE, [this](uintptr_t word, intptr_t index) -> intptr_t {
    if (word != kLanguageWord) return 0;
    Relabel(ClampLanguageIndex(index));
    return 1;
  });
}

bool CAboutDlg::OnInitDialog() {
  CBaseDialog::OnInitDialog();
  if (!built_) {
    built_ = true;
    const std::string buttons(layout::kSectionButtons);
    for (const layout::SkinControl& c : layout::Controls(layout::SkinDialog::About)) {
      QWidget* control = nullptr;
      if (c.id == A::kDescription || c.id == A::kCopyright) {
        control = new ColorStatic(this);
      } else if (c.id == A::kLink) {
        auto* link = new CHyperLink(this);
        // The link's background is the sheet it sits on, as a dialog face would be.
        const QColor sheet = LoadSkinTheme(skinFolder()).paper;
        QPalette p = link->palette();
        p.setColor(QPalette::Button, sheet);
        p.setColor(QPalette::Window, sheet);
        link->setPalette(p);
        control = link;
      } else if (c.id == A::kOk) {
        auto* ok = new QPushButton(this);
        ok->setDefault(true);
        ok->setAutoDefault(true);
        control = ok;
      } else if (c.id == ids::kNoControl) {
        auto* picture = new QLabel(this);
        picture->setAlignment(Qt::AlignCenter);
        control = picture;
      }
      if (control == nullptr) continue;
      AddControl(control, c.id);
      PlaceSkinControl(control, iniPath(), buttons, c.key);
      if (auto* picture = qobject_cast<QLabel*>(control); picture != nullptr && c.id == ids::kNoControl)
        picture->setPixmap(icon_.pixmap(picture->size()));
    }
  }
  if (auto* link = ControlAs<CHyperLink>(A::kLink)) {
    link->setText(QString::fromStdString(logo_link_));
    link->SetURL(logo_link_);
  }
  // Beside the main window when it is on screen, else in the middle of the screen.
  const QWidget* owner = parentWidget();
  QRect area = owner != nullptr && owner->isVisible() ? owner->frameGeometry() : QRect();
  if (area.isEmpty() && QGuiApplication::primaryScreen() != nullptr)
    area = QGuiApplication::primaryScreen()->availableGeometry();
  if (!area.isEmpty()) move(area.center() - rect().center());
  show();
  SendWindowMessage(this, WM_MAIN_LANGUAGE, kLanguageWord, intptr_t(ClampLanguageIndex(languages_.GetLanguageIndex())));
  if (QWidget* ok = Control(A::kOk)) ok->setFocus();
  return true;
}

void CAboutDlg::Relabel(int index) {
  index = ClampLanguageIndex(index);
  setWindowTitle(Text(languages_, "LANG_ABOUT_TITLE", index));
  for (auto [id, key] : {std::pair{A::kDescription, "GUANYU_JIESHAO"}, std::pair{A::kCopyright, "GUANYU_BANQUAN"}}) {
    if (auto* label = ControlAs<ColorStatic>(id)) {
      label->setText(Text(languages_, key, index));
      label->SetTextColor(kLabelColour);
      label->repaint();
    }
  }
  if (auto* ok = ControlAs<QPushButton>(A::kOk)) ok->setText(Text(languages_, "LANG_ABOUT_OK", index));
}

void CAboutDlg::OnOK() { Destroy(); }
void CAboutDlg::OnCancel() { Destroy(); }

void CAboutDlg::Destroy() {
  if (destroying_) return;
  destroying_ = true;
  ReleaseSkin();
  hide();
  deleteLater();
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    if (help_) help_();
    event->accept();
    return;
  }
  CBaseDialog::keyPressEvent(event);
}

// ---- AboutDialogSlot ------------------------------------------------------------------------

CAboutDlg* AboutDialogSlot::dialog() const {
  return dialog_.isNull() || dialog_->destroying() ? nullptr : dialog_.data();
}

bool AboutDialogSlot::Open(const Factory& make) {
  if (dialog() != nullptr || !make) return false;
  CAboutDlg* made = make();
  if (made == nullptr) return false;
  dialog_ = made;
  made->CreateModeless();
  return true;
}

void AboutDialogSlot::Destroy() {
  if (CAboutDlg* d = dialog()) d->Destroy();
}

}  // namespace orvane
