#include "ui/editors/key_hook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "model/key_table.h"
#include "platform/key_translation.h"
#include "platform/tick.h"

namespace orvane {

namespace {

// The code a key event stands for, whether it is a message of its own or not.
uint16_t CodeOfEvent(const QKeyEvent& key) {
  const bool release = key.type() == QEvent::KeyRelease;
  // An auto-repeat release has no message; its key's code comes from the press it belongs to.
  const auto message = TranslateNativeKey(key.nativeScanCode(), release && !key.isAutoRepeat(), key.isAutoRepeat());
  return message ? KeyCodeOfMessage(message->virtualKey, message->flags) : 0;
}

bool Consumed(uint16_t code) { return code != 0 && !IsMediaKeyCode(code); }

}  // namespace

CKeyHook::CKeyHook(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {}

CKeyHook::~CKeyHook() { Remove(); }

void CKeyHook::Install() {
  if (installed_ || QCoreApplication::instance() == nullptr) return;
  QCoreApplication::instance()->installEventFilter(this);
  installed_ = true;
}

void CKeyHook::Remove() {
  if (!installed_) return;
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
  installed_ = false;
}

bool CKeyHook::AimedAtOwner(QObject* receiver) const {
  if (owner_ == nullptr) return true;
  // The top-level widget the key goes to: the widget's own window, or the widget of the window.
  QWidget* top = nullptr;
  if (auto* widget = qobject_cast<QWidget*>(receiver)) {
    top = widget->window();
  } else if (auto* window = qobject_cast<QWindow*>(receiver)) {
    for (QWidget* candidate : QApplication::topLevelWidgets())
      if (candidate->windowHandle() == window) top = candidate;
  }
  if (top == nullptr || top == owner_->window()) return true;
  // A popup of the owner (a drop-down list) counts as the owner; any other window does not.
  if (top->windowType() != Qt::Popup) return false;
  for (QWidget* up = top->parentWidget(); up != nullptr; up = up->parentWidget())
    if (up == owner_) return true;
  return false;
}

bool CKeyHook::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
    return QObject::eventFilter(watched, event);
  if (!AimedAtOwner(watched)) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (!Consumed(CodeOfEvent(*key))) return false;
  // Claiming the shortcut override keeps shortcuts from taking the key; its press follows.
  event->accept();
  if (type == QEvent::ShortcutOverride) return true;
  const bool release = type == QEvent::KeyRelease;
  if (release && key->isAutoRepeat()) return true;
  const auto message = TranslateNativeKey(key->nativeScanCode(), release, key->isAutoRepeat());
  if (!message) return true;
  KeyHookMessage out;
  out.virtualKey = message->virtualKey;
  out.flags = message->flags;
  out.code = KeyCodeOfMessage(message->virtualKey, message->flags);
  out.release = release;
  out.autoRepeat = message->autoRepeat();
  out.tick = TickCountMs();
  if (handler_) handler_(out);
  return true;
}

}  // namespace orvane
