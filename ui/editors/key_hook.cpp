#include "ui/editors/key_hook.h"

#include <QCoreApplication>
#include <QKeyEvent>

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

bool CKeyHook::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
    return QObject::eventFilter(watched, event);
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
