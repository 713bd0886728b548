// The main-window link with real device-side threads: messages and host calls reach the GUI
// thread in order, a worker's Send waits for its handler, and shutdown frees every waiting sender.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/pump_events.h"
#include "ui/main/qt_main_window_link.h"
#include "ui/skin/window_message.h"

namespace orvane {
namespace {

using testing_support::PumpUntil;

// The main window as the link sees it: every message and host call goes into one journal, with
// a mark when it ran off the GUI thread.
class FakeWindow : public QObject, public IMainWindowHost {
 public:
  std::vector<std::string> journal;
  bool apply_pending = false;

  void Note(const std::string& what) {
    journal.push_back(QThread::currentThread() == thread() ? what : what + "(off the GUI thread)");
  }
  bool event(QEvent* e) override {
    if (e->type() != WindowMessageEvent::EventType()) return QObject::event(e);
    auto* m = static_cast<WindowMessageEvent*>(e);
    Note("msg " + std::to_string(m->message()));
    m->setResult(intptr_t(m->wparam()) * 2);
    return true;
  }
  void SetTimer(int id, uint32_t ms) override { Note("timer " + std::to_string(id) + "/" + std::to_string(ms)); }
  void SetTrayState(int icon) override { Note("tray " + std::to_string(icon)); }
  void Hide() override { Note("hide"); }
  void SetApplyPending(bool p) override {
    apply_pending = p;
    Note(p ? "pending" : "applied");
  }
  bool IsApplyPending() const override { return apply_pending; }
  void RefreshKeyMatrix() override { Note("matrix"); }
};

TEST(QtMainWindowLinkTest, OnTheGuiThreadSendIsDirectAndPostIsQueued) {
  FakeWindow window;
  QtMainWindowLink link(&window, window);
  EXPECT_EQ(link.Send(WM_MAIN_SHOW, 21, 0), 42);
  link.Post(WM_MAIN_INITDONE, 0, 0);
  link.SetTrayState(kTrayIconPresent);  // host calls on the GUI thread run at once
  EXPECT_EQ(window.journal, (std::vector<std::string>{"msg 21328", "tray 141"}));
  QCoreApplication::processEvents();
  EXPECT_EQ(window.journal.back(), "msg 19790");
}

TEST(QtMainWindowLinkTest, AWorkersCallsReachTheGuiThreadInOrderAndSendWaitsForTheHandler) {
  FakeWindow window;
  QtMainWindowLink link(&window, window);
  std::atomic<bool> done{false};
  intptr_t result = 0;
  bool pending_seen = false;
  std::thread monitor([&] {
    // A presence monitor's arrival: tray icon, apply state, a send that must have been handled
    // before the thread goes on, and the first show request.
    link.SetTrayState(kTrayIconPresent);
    link.Post(WM_MAIN_SHOW, CheckWord('O', 'P', 'E', 'N'), 0);
    link.SetApplyPending(true);
    pending_seen = link.IsApplyPending();
    link.SetTimer(kTimerLightingReread, 0);
    result = link.Send(WM_MAIN_PROFILE, 50, 0);
    link.Hide();
    link.RefreshKeyMatrix();
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  monitor.join();
  PumpUntil([&] { return window.journal.size() >= 7; });
  EXPECT_EQ(result, 100);
  EXPECT_TRUE(pending_seen);
  EXPECT_EQ(window.journal, (std::vector<std::string>{"tray 141", "msg 21328", "pending", "timer 1051/0",
                                                       "msg 21586", "hide", "matrix"}));
}

TEST(QtMainWindowLinkTest, ShutdownFreesASenderTheGuiThreadIsJoiningAndDeliversNothingMore) {
  FakeWindow window;
  QtMainWindowLink link(&window, window);
  std::atomic<bool> sending{false};
  intptr_t result = -1;
  std::thread monitor([&] {
    sending = true;
    result = link.Send(WM_MAIN_DEVICELOST, 5, 0);
    // The rest of a loss after the window stopped listening.
    link.Post(WM_MAIN_SHOW, 0, 0);
    link.SetTrayState(kTrayIconProgram);
    EXPECT_EQ(link.Send(WM_MAIN_PROFILE, 5, 0), 0);
    EXPECT_FALSE(link.IsApplyPending());
  });
  while (!sending) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // The GUI thread stops the monitor without taking events: only BeginShutdown lets the join end.
  link.BeginShutdown();
  monitor.join();
  EXPECT_EQ(result, 0);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(window.journal.empty());
  EXPECT_EQ(link.Send(WM_MAIN_SHOW, 1, 0), 0);
}

TEST(QtMainWindowLinkTest, AWorkersMessagesWaitForTheBusyBracketToClose) {
  FakeWindow window;
  QtMainWindowLink link(&window, window);
  EnterBusyBracket();
  std::atomic<bool> done{false};
  intptr_t result = 0;
  std::thread monitor([&] {
    link.Post(WM_MAIN_SHOW, 0, 0);
    link.SetTrayState(kTrayIconSpecial);  // the tray is not part of the write
    result = link.Send(WM_MAIN_PROFILE, 4, 0);
    done = true;
  });
  PumpUntil([&] { return !window.journal.empty(); });
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(window.journal, std::vector<std::string>{"tray 142"});
  EXPECT_FALSE(done.load());
  LeaveBusyBracket();
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  monitor.join();
  EXPECT_EQ(result, 8);
  EXPECT_EQ(window.journal, (std::vector<std::string>{"tray 142", "msg 21328", "msg 21586"}));
}

}  // namespace
}  // namespace orvane
