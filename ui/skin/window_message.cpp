#include "ui/skin/window_message.h"

#include <QCoreApplication>
#include <QVariant>

namespace orvane {

namespace {
constexpr const char* kControlIdProperty = "orvaneControlId";
}

QEvent::Type WindowMessageEvent::EventType() {
  static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
  return type;
}

void PostWindowMessage(QObject* target, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (target == nullptr) return;
  QCoreApplication::postEvent(target, new WindowMessageEvent(message, wparam, lparam));
}

intptr_t SendWindowMessage(QObject* target, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (target == nullptr) return 0;
  WindowMessageEvent event(message, wparam, lparam);
  QCoreApplication::sendEvent(target, &event);
  return event.result();
}

void NotifyOwner(QWidget* control, int code) {
  if (control == nullptr) return;
  const int id = ControlId(control);
  QWidget* owner = control->window();
  if (id == 0 || owner == nullptr || owner == control) return;
  SendWindowMessage(owner, WM_COMMAND, CommandWParam(id, code), 0);
}

void SetControlId(QWidget* control, int id) {
  if (control != nullptr) control->setProperty(kControlIdProperty, id);
}

int ControlId(const QObject* control) {
  if (control == nullptr) return 0;
  const QVariant v = control->property(kControlIdProperty);
  return v.isValid() ? v.toInt() : 0;
}

}  // namespace orvane
