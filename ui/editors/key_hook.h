// The keyboard hook of the editors: an application-wide event filter that sees every key the
// program's windows get, in the Windows key message form (platform/key_translation.h), before any
// widget does. It stands in for both hooks the editors install - the thread keyboard hook and the
// low-level one for the Windows keys - because a system-wide hook is not available to an
// unprivileged Linux program: the Windows and Menu keys reach it through the same filter, and only
// while one of our windows has the keyboard focus.
//
// Key code 0 (keys the table does not know) and the 18 media keys pass on to the widgets and the
// system. Every other key event is consumed: the handler gets it once (a consumed event goes no
// further, so Qt's propagation to parent widgets cannot deliver it again), shortcuts do not fire
// for it, and the release X11 sends between two auto-repeats is swallowed without a message.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

class QWidget;

namespace orvane {

struct KeyHookMessage {
  uint32_t virtualKey = 0;
  uint32_t flags = 0;  // keystroke flags: scan code, extended, previous state, transition
  uint16_t code = 0;   // KeyCodeOfMessage of the two
  bool release = false;
  bool autoRepeat = false;
  uint64_t tick = 0;   // TickCountMs when the event was handled
};

class CKeyHook : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(const KeyHookMessage& message)>;

  explicit CKeyHook(Handler handler, QObject* parent = nullptr);
  ~CKeyHook() override;

  // Installing twice or removing an uninstalled hook changes nothing.
  void Install();
  void Remove();
  bool installed() const { return installed_; }
  // The window whose keys are taken; none: every key of the program.
  void SetOwner(QWidget* owner) { owner_ = owner; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool AimedAtOwner(QObject* receiver) const;

  Handler handler_;
  bool installed_ = false;
  QWidget* owner_ = nullptr;
};

}  // namespace orvane
