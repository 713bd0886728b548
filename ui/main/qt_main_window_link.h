// The main-window link (platform/main_window_link.h) on Qt, the way the device threads reach the
// main window:
//  - Post queues a window message (WindowMessageEvent) for the window;
//  - Send on the GUI thread delivers it at once; from another thread it waits until the GUI thread
//    has handled it and returns the handler's result;
//  - the host calls (timers, tray state, hiding, the Apply button's state, the key matrix) run on
//    the GUI thread: directly there, queued from other threads in order with the messages
//    (IsApplyPending waits for its answer).
// Messages from other threads are handled outside a busy bracket (a long write in progress, see
// ui/skin/gui_thread.h): they wait, as the window would not have taken them during the write.
// Once BeginShutdown is called no message is delivered any more, Send (also one already waiting)
// returns 0 at once and other threads' host calls are dropped (IsApplyPending answers false), so
// a thread the GUI thread is stopping can never hang on the window.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>

#include "platform/main_window_link.h"
#include "ui/skin/gui_thread.h"

namespace orvane {

// What the main window does for the link; called on the GUI thread only.
class IMainWindowHost {
 public:
  virtual ~IMainWindowHost() = default;
  virtual void SetTimer(int id, uint32_t interval_ms) = 0;
  virtual void SetTrayState(int icon) = 0;
  virtual void Hide() = 0;
  virtual void SetApplyPending(bool pending) = 0;
  virtual bool IsApplyPending() const = 0;
  virtual void RefreshKeyMatrix() = 0;
};

class QtMainWindowLink : public IMainWindowLink {
 public:
  // window receives the messages; both live on the GUI thread and outlast every thread using the
  // link until BeginShutdown.
  QtMainWindowLink(QObject* window, IMainWindowHost& host);
  ~QtMainWindowLink() override;

  void Post(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  intptr_t Send(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void SetTimer(int id, uint32_t interval_ms) override;
  void SetTrayState(int icon) override;
  void Hide() override;
  void SetApplyPending(bool pending) override;
  bool IsApplyPending() const override;
  void RefreshKeyMatrix() override;

  // Any thread; cannot be undone.
  void BeginShutdown();
  bool shuttingDown() const { return caller_.released(); }

 private:
  // Runs fn on the GUI thread: at once there, queued from elsewhere (until shutdown).
  void OnGui(std::function<void()> fn);

  QPointer<QObject> window_;
  IMainWindowHost& host_;
  mutable GuiThreadCaller caller_;
};

}  // namespace orvane
