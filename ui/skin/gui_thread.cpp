#include "ui/skin/gui_thread.h"

#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace orvane {

struct GuiThreadCaller::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<bool> released{false};

  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      released = true;
    }
    changed.notify_all();
  }
};

namespace {

// One waiting Call: written on the GUI thread, read by the caller, both under State::mutex.
struct Slot {
  bool done = false;
  intptr_t result = 0;
};

}  // namespace

GuiThreadCaller::GuiThreadCaller(QObject* context) : state_(std::make_shared<State>()), context_(context) {
  if (context == nullptr) {
    state_->released = true;
    return;
  }
  // Queued functions die with their context, so nobody may keep waiting for them.
  std::shared_ptr<State> state = state_;
  QObject::connect(context, &QObject::destroyed, [state] { state->Release(); });
}

GuiThreadCaller::~GuiThreadCaller() { Release(); }

bool GuiThreadCaller::OnGuiThread() const {
  return !context_.isNull() && context_->thread() == QThread::currentThread();
}

void GuiThreadCaller::Release() { state_->Release(); }

bool GuiThreadCaller::released() const { return state_->released.load(); }

void GuiThreadCaller::Post(std::function<void()> fn, GuiTiming timing) {
  if (state_->released || context_.isNull()) return;
  std::shared_ptr<State> state = state_;
  std::function<void()> run = [state, fn = std::move(fn)] {
    if (!state->released) fn();
  };
  QMetaObject::invokeMethod(
      context_.data(),
      [run = std::move(run), timing] {
        if (timing == GuiTiming::Deferred) WhenNotBusy(run);
        else run();
      },
      Qt::QueuedConnection);
}

std::optional<intptr_t> GuiThreadCaller::Call(std::function<intptr_t()> fn, GuiTiming timing) {
  if (state_->released || context_.isNull()) return std::nullopt;
  if (OnGuiThread()) return fn();

  std::shared_ptr<State> state = state_;
  auto slot = std::make_shared<Slot>();
  std::function<void()> run = [state, slot, fn = std::move(fn)] {
    if (state->released) return;
    const intptr_t result = fn();
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      slot->done = true;
      slot->result = result;
    }
    state->changed.notify_all();
  };
  QMetaObject::invokeMethod(
      context_.data(),
      [run = std::move(run), timing] {
        if (timing == GuiTiming::Deferred) WhenNotBusy(run);
        else run();
      },
      Qt::QueuedConnection);

  std::unique_lock<std::mutex> lock(state->mutex);
  state->changed.wait(lock, [&] { return slot->done || state->released.load(); });
  if (slot->done) return slot->result;
  return std::nullopt;
}

// ---- busy bracket ---------------------------------------------------------------------------

namespace {

struct Bracket {
  int depth = 0;
  std::deque<std::function<void()>> deferred;
};

Bracket& TheBracket() {
  static Bracket bracket;
  return bracket;
}

}  // namespace

bool BusyBracketActive() { return TheBracket().depth > 0; }

void WhenNotBusy(std::function<void()> fn) {
  Bracket& b = TheBracket();
  if (b.depth > 0) {
    b.deferred.push_back(std::move(fn));
    return;
  }
  fn();
}

void EnterBusyBracket() { ++TheBracket().depth; }

void LeaveBusyBracket() {
  Bracket& b = TheBracket();
  if (b.depth > 0) --b.depth;
  // A deferred function may open a bracket of its own; the rest then waits for that one to close.
  while (b.depth == 0 && !b.deferred.empty()) {
    std::function<void()> fn = std::move(b.deferred.front());
    b.deferred.pop_front();
    fn();
  }
}

}  // namespace orvane
