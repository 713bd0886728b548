#include "ui/skin/base_dialog.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "platform/paths.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/png_button.h"
#include "ui/skin/region_from_mask.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"

namespace orvane {

CBaseDialog::CBaseDialog(int template_id, QWidget* parent, std::string ini_path, std::string skin_folder)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      template_id_(template_id),
      ini_path_(std::move(ini_path)),
      skin_folder_(std::move(skin_folder)) {
  // The background covers the whole client area; nothing is erased under it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

CBaseDialog::~CBaseDialog() = default;

int CBaseDialog::DoModal() {
  if (!OnInitDialog()) return QDialog::Rejected;
  return exec();
}

void CBaseDialog::CreateModeless() {
  OnInitDialog();
  show();
}

bool CBaseDialog::OnInitDialog() {
  LoadSkin();
  return true;
}

void CBaseDialog::OnOK() {
  ReleaseSkin();
  QDialog::accept();
}

void CBaseDialog::OnCancel() { QDialog::reject(); }

void CBaseDialog::accept() { OnOK(); }
void CBaseDialog::reject() { OnCancel(); }

QPixmap CBaseDialog::LoadPicture(const std::string& name) const {
  const std::string path = JoinPath(skin_folder_, name);
  const QImage image = name.empty() ? QImage() : LoadImageFile(path);
  if (image.isNull()) ExitForMissingSkinPicture(path);
  return QPixmap::fromImage(image);
}

QPixmap CBaseDialog::LoadFacePicture(std::string_view name) const {
  const std::string path = JoinPath(skin_folder_, std::string(name));
  const QImage image = LoadImageFile(path);
  if (image.isNull()) ExitForMissingSkinPicture(path);
  return RenderSkinImage(image, background_.size());
}

namespace {

// The control with the ID among the widgets below parent, leaving out other windows (a child
// dialog, a menu, a message box) with everything in them: their controls are their own, and IDs
// repeat between dialogs.
// A control without an ID is found by its object name, the same way.
QWidget* FindControl(const QObject* parent, int id, const QString& name = {}) {
  for (QObject* object : parent->children()) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || widget->isWindow()) continue;
    if (id != ids::kNoControl ? ControlId(widget) == id : widget->objectName() == name) return widget;
    if (QWidget* found = FindControl(widget, id, name)) return found;
  }
  return nullptr;
}

}  // namespace

void CBaseDialog::PlaceSkinControls(layout::SkinDialog dialog, const FacePictureSets& pictures,
                                    const OtherPlacement& other) {
  for (const layout::SkinControl& c : layout::Controls(dialog)) {
    QWidget* control = FindControl(this, c.id, QString::fromStdString(c.key));
    if (control == nullptr) continue;
    const std::string section(c.section);
    switch (c.placement) {
      case layout::Placement::Button:
        if (const std::optional<SkinPictures> set = pictures(c.faces))
          PlaceSkinButton(static_cast<CPngButton*>(control), ini_path_, section, c.key, *set);
        break;
      case layout::Placement::Control: PlaceSkinControl(control, ini_path_, section, c.key); break;
      default:
        if (other) other(c, control);
        break;
    }
  }
}

void CBaseDialog::PlaceSkinControls(layout::SkinDialog dialog, const SkinPictures& pictures) {
  PlaceSkinControls(dialog, [&](layout::Faces) { return std::optional<SkinPictures>(pictures); });
}

void CBaseDialog::LoadSkin() {
  loading_ = true;
  ini_.SetPath(ini_path_);
  const std::string main = ini_.Read("SCREEN", "Main", "").value_or("");
  const std::string mask = ini_.Read("SCREEN", "Mask", main).value_or("");
  background_ = LoadPicture(main);
  outline_ = LoadPicture(mask).toImage();

  const bool was_visible = isVisible();
  const QPoint top_left = pos();
  setFixedSize(background_.size());
  move(top_left);
  if (!was_visible) hide();
  raise();

  const QRegion region = RegionFromMask(outline_);
  if (!region.isEmpty()) setMask(region);
  update();
  loading_ = false;
}

void CBaseDialog::ReleaseSkin() {
  background_ = QPixmap();
  outline_ = QImage();
}

void CBaseDialog::AddControl(QWidget* control, int id) {
  if (control == nullptr) return;
  if (control->parentWidget() != this) control->setParent(this);
  SetControlId(control, id);
  if (auto* button = dynamic_cast<QAbstractButton*>(control)) {
    // The ID is read at click time, so a control given a new ID keeps working.
    connect(button, &QAbstractButton::clicked, this, [this, button] { DispatchCommand(ControlId(button)); });
  } else if (auto* edit = dynamic_cast<QLineEdit*>(control)) {
    // Only the user's edits notify: a handler that rewrites the text does not call itself again.
    connect(edit, &QLineEdit::textEdited, this,
            [this, edit] { DispatchNotify(ControlId(edit), notify::kTextChange); });
  }
}


QWidget* CBaseDialog::Control(int id) const {
  if (id == 0) return nullptr;
  return FindControl(this, id);
}

void CBaseDialog::OnCommand(int id, CommandHandler handler) { commands_[id] = std::move(handler); }

bool CBaseDialog::DispatchCommand(int id) {
  auto it = commands_.find(id);
  if (it != commands_.end() && it->second) {
    // A copy, so a handler may replace its own table entry.
    CommandHandler handler = it->second;
    handler();
    return true;
  }
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

void CBaseDialog::OnNotify(int id, int code, CommandHandler handler) {
  if (code == notify::kClicked) {
    OnCommand(id, std::move(handler));
    return;
  }
  notifications_[{id, code}] = std::move(handler);
}

bool CBaseDialog::DispatchNotify(int id, int code) {
  if (code == notify::kClicked) return DispatchCommand(id);
  auto it = notifications_.find({id, code});
  if (it == notifications_.end() || !it->second) return false;
  CommandHandler handler = it->second;
  handler();
  return true;
}

void CBaseDialog::OnMessage(uint32_t message, MessageHandler handler) { messages_[message] = std::move(handler); }

intptr_t CBaseDialog::WindowMessage(uint32_t, uintptr_t, intptr_t) { return 0; }

bool CBaseDialog::event(QEvent* event) {
  if (event->type() == WindowMessageEvent::EventType()) {
    auto* message = static_cast<WindowMessageEvent*>(event);
    auto it = messages_.find(message->message());
    if (it != messages_.end() && it->second) {
      MessageHandler handler = it->second;
      message->setResult(handler(message->wparam(), message->lparam()));
    } else if (message->message() == WM_COMMAND) {
      // The low word of wParam is the command ID, the high word the notification code.
      const int id = int(message->wparam() & 0xFFFF);
      const int code = int((message->wparam() >> 16) & 0xFFFF);
      message->setResult(DispatchNotify(id, code) ? 0 : 1);
    } else {
      message->setResult(WindowMessage(message->message(), message->wparam(), message->lparam()));
    }
    return true;
  }
  return QDialog::event(event);
}

void CBaseDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!background_.isNull()) painter.drawPixmap(QPoint(0, 0), background_);
}

void CBaseDialog::mousePressEvent(QMouseEvent* event) {
  // A press on the body (no control took it) moves the window like a caption would.
  if (event->button() == Qt::LeftButton) {
    QWindow* window = windowHandle();
    if (window != nullptr && window->startSystemMove()) return;
    dragging_ = true;
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

void CBaseDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - drag_offset_);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ && event->button() == Qt::LeftButton) {
    dragging_ = false;
    update();
    event->accept();
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

}  // namespace orvane
