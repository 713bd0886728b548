// Window messages on Qt: a custom event that carries a message number with its (wParam, lParam)
// pair, so dialogs, controls and the tray icon talk to their owners the way the rest of the
// program expects (control IDs in commands, slider positions, tray notifications). Also the
// control ID every control of a skinned dialog carries, and colours in the 0x00BBGGRR form that
// layout and language code hand around.
#pragma once

#include <QColor>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <cstdint>

#include "ui/layout/control_ids.h"  // IDOK, IDCANCEL

namespace orvane {

// Standard message numbers the skin framework uses.
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;

// Notification codes a control sends its dialog in the high word of WM_COMMAND's wParam (the low
// word is the control's ID). A dialog's command table takes them as (ID, code) pairs.
namespace notify {
inline constexpr int kClicked = 0;        // a button was clicked: the plain command
inline constexpr int kSelChange = 1;      // the user chose another item (list, drop-down list)
inline constexpr int kEditChange = 5;     // the user changed the edit field of a combo box
inline constexpr int kTextChange = 0x300; // the user changed the text of an edit field
inline constexpr int kCheckChange = 0x0F01;  // a row of a list was checked or unchecked
}  // namespace notify

// WM_COMMAND's wParam for a control's notification.
constexpr uintptr_t CommandWParam(int id, int code) {
  return (uintptr_t(uint16_t(code)) << 16) | uint16_t(id);
}

class WindowMessageEvent : public QEvent {
 public:
  WindowMessageEvent(uint32_t message, uintptr_t wparam, intptr_t lparam)
      : QEvent(EventType()), message_(message), wparam_(wparam), lparam_(lparam) {}

  // The Qt event type registered for window messages (one per process).
  static QEvent::Type EventType();

  uint32_t message() const { return message_; }
  uintptr_t wparam() const { return wparam_; }
  intptr_t lparam() const { return lparam_; }

  // A handler's answer, returned by SendWindowMessage.
  intptr_t result() const { return result_; }
  void setResult(intptr_t result) { result_ = result; }

 private:
  uint32_t message_;
  uintptr_t wparam_;
  intptr_t lparam_;
  intptr_t result_ = 0;
};

// Queues the message for the target's thread (PostMessage). Safe from any thread.
void PostWindowMessage(QObject* target, uint32_t message, uintptr_t wparam, intptr_t lparam);
// Delivers the message at once on the calling thread and returns the handler's result
// (SendMessage on the window's own thread). A null target gives 0.
intptr_t SendWindowMessage(QObject* target, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Sends the control's notification to its window (the dialog holding it) as WM_COMMAND with the
// control's ID and the code; nothing happens for a control without an ID or a window.
void NotifyOwner(QWidget* control, int code);

// Control IDs: every control of a dialog carries one, dialogs find controls by it.
void SetControlId(QWidget* control, int id);
// The control's ID, or 0 when it has none.
int ControlId(const QObject* control);

// Colours as the layout and the dialogs give them: 0x00BBGGRR.
using ColorRef = uint32_t;
constexpr ColorRef Rgb(int r, int g, int b) {
  return ColorRef(uint8_t(r)) | (ColorRef(uint8_t(g)) << 8) | (ColorRef(uint8_t(b)) << 16);
}
inline QColor ToQColor(ColorRef c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
inline ColorRef FromQColor(const QColor& c) { return Rgb(c.red(), c.green(), c.blue()); }

}  // namespace orvane
