// Reaching the GUI thread from worker threads, and the GUI thread's busy bracket.
//
// GuiThreadCaller runs functions on the thread of a context object (the GUI thread): queued
// (Post) or waiting for the result (Call). Once released (at shutdown) a Call returns at once
// without a result and a Call already waiting is let go, so a thread that the GUI thread is
// joining can never hang on it. Functions own what they use (capture by value): a released caller
// no longer waits for a function that may still run later.
//
// The busy bracket is the span of a long keyboard write during which the GUI thread waits in a
// local event loop (RunBusy, ui/main/busy_indicator.h). Work that must not run inside an apply's
// access bracket (messages sent by the device threads, the lighting reread, requests of another
// instance) goes through WhenNotBusy and runs when the bracket closes. GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace orvane {

// When a function queued for the GUI thread runs: as soon as it is reached, or (Deferred) only
// outside a busy bracket.
enum class GuiTiming { Immediate, Deferred };

class GuiThreadCaller {
 public:
  // context lives on the GUI thread; functions run in its thread and never after it is gone.
  explicit GuiThreadCaller(QObject* context);
  ~GuiThreadCaller();
  GuiThreadCaller(const GuiThreadCaller&) = delete;
  GuiThreadCaller& operator=(const GuiThreadCaller&) = delete;

  // True on the context's thread.
  bool OnGuiThread() const;
  // Queues fn for the GUI thread (also when called there). Dropped once released.
  void Post(std::function<void()> fn, GuiTiming timing = GuiTiming::Immediate);
  // Runs fn on the GUI thread and waits for its result: directly when called there, else queued.
  // Nothing when released before fn finished (fn may then still run on the GUI thread). A call on
  // the GUI thread itself runs at once whatever the timing.
  std::optional<intptr_t> Call(std::function<intptr_t()> fn, GuiTiming timing = GuiTiming::Immediate);
  // From now on nothing more is queued, Call returns nothing at once, and every waiting Call is
  // let go. Any thread; cannot be undone.
  void Release();
  bool released() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
  QPointer<QObject> context_;
};

// The busy bracket (GUI thread only).
bool BusyBracketActive();
// Runs fn now outside a busy bracket, else when the outermost bracket closes (in request order).
void WhenNotBusy(std::function<void()> fn);
// Opened and closed by RunBusy; closing the outermost bracket runs the deferred work.
void EnterBusyBracket();
void LeaveBusyBracket();

}  // namespace orvane
