// The busy indicator's frames and timing, and RunBusy: the window keeps painting and animating
// while a slow write runs on a worker, user input is dropped, a box the write asks for still takes
// input, deferred work waits, and the result comes back in place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/paths.h"
#include "tests/support/pump_events.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main/busy_indicator.h"
#include "ui/skin/gui_thread.h"
#include "ui/skin/qt_prompt.h"
#include "ui/skin/skin_layout.h"

namespace orvane {
namespace {

using testing_support::PumpUntil;

const std::string kSkins = std::string(ORVANE_DATA_DIR) + "/Skins";

QImage Frame(int n) { return LoadImageFile(JoinPath(kSkins, layout::BusyFrameBitmap(n))); }

TEST(BusyIndicatorTest, ShowsAfterTheDelayStepsThroughTenFramesAndHidesAfterTheEnd) {
  QWidget window;
  auto* busy = new QLabel(&window);
  window.show();
  CBusyIndicator indicator(busy);
  ASSERT_TRUE(indicator.LoadFrames(kSkins));
  EXPECT_FALSE(indicator.shown());

  indicator.Begin();
  EXPECT_FALSE(indicator.shown());  // not before its delay
  ASSERT_TRUE(PumpUntil([&] { return indicator.shown(); }));
  EXPECT_TRUE(indicator.animating());
  // The animation runs by itself.
  const int first = indicator.frame();
  ASSERT_TRUE(PumpUntil([&] { return indicator.frame() != first; }));

  // Frames 1 to 10, then 1 again, each one the skin's picture.
  while (indicator.frame() != 10) indicator.NextFrame();
  EXPECT_EQ(busy->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
            Frame(10).convertToFormat(QImage::Format_RGB32));
  indicator.NextFrame();
  EXPECT_EQ(indicator.frame(), 1);
  EXPECT_EQ(busy->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
            Frame(1).convertToFormat(QImage::Format_RGB32));

  // Nested applies: only the outermost end hides it, and not at once.
  indicator.Begin();
  indicator.End();
  indicator.End();
  EXPECT_TRUE(indicator.shown());
  ASSERT_TRUE(PumpUntil([&] { return !indicator.shown(); }));
  EXPECT_FALSE(indicator.animating());

  // Another apply right after the end keeps it up instead of hiding and showing again.
  indicator.Begin();
  ASSERT_TRUE(PumpUntil([&] { return indicator.shown(); }));
  indicator.End();
  indicator.Begin();
  for (int i = 0; i < 30; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(indicator.shown());
  indicator.End();
}

TEST(BusyIndicatorTest, TheFramesFitTheBusyStaticOfTheMainWindow) {
  const layout::SkinControl* busy = layout::FindControl(layout::SkinDialog::Main, "CONTROL_JDTStatic");
  ASSERT_NE(busy, nullptr);
  EXPECT_EQ(busy->id, CBusyIndicator::kControlId);
  const SkinRect r = ReadSkinRect(kSkins + "/" + layout::LayoutFileName(layout::SkinDialog::Main),
                                  std::string(layout::kSectionButtons), busy->key);
  for (int n = 1; n <= CBusyIndicator::kFrameCount; ++n) EXPECT_EQ(Frame(n).size(), QSize(r.w, r.h)) << n;
}

TEST(BusyIndicatorTest, AnApplyOverBeforeItsDelayShowsNothing) {
  QLabel busy;
  CBusyIndicator indicator(&busy);
  indicator.Begin();
  indicator.End();
  bool ever_shown = false;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 3 * CBusyIndicator::kShowDelayMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ever_shown = ever_shown || indicator.shown();
  }
  EXPECT_FALSE(ever_shown);
}

// A window with a button, an edit and a painted counter, as the main window is during an apply.
struct Scene {
  QWidget window;
  QPushButton* button;
  QLineEdit* edit;
  QLabel* busy;
  int clicks = 0;
  int paints = 0;

  Scene() {
    window.resize(300, 120);
    button = new QPushButton("Apply", &window);
    button->setGeometry(10, 10, 100, 30);
    edit = new QLineEdit(&window);
    edit->setGeometry(10, 50, 200, 26);
    busy = new QLabel(&window);
    busy->setGeometry(250, 10, 26, 26);
    QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
    window.installEventFilter(new PaintCounter(&paints, &window));
    window.show();
    QCoreApplication::processEvents();
  }

  void Click(QWidget* target) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  }
  void Type(QWidget* target, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  }

  class PaintCounter : public QObject {
   public:
    PaintCounter(int* count, QObject* parent) : QObject(parent), count_(count) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++*count_;
      return false;
    }

   private:
    int* count_;
  };
};

TEST(RunBusyTest, ASlowWriteKeepsPaintingAndAnimatingDropsInputAndReturnsItsResult) {
  Scene scene;
  scene.edit->setFocus();
  CBusyIndicator indicator(scene.busy);
  indicator.LoadFrames(kSkins);

  std::atomic<bool> release_write{false};
  std::atomic<bool> write_on_worker{false};
  int paints_during = 0, ticks = 0, frames_seen = 0, deferred_runs = 0;
  bool shown_during = false, deferred_during = false;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(10);

  // What happens on the GUI thread while the write runs: input, repaints, deferred work.
  QTimer driver;
  int last_frame = 0;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    scene.Click(scene.button);
    scene.Type(scene.edit, "a");
    scene.window.update();
    if (indicator.frame() != last_frame) {
      last_frame = indicator.frame();
      ++frames_seen;
    }
    shown_during = shown_during || indicator.shown();
    if (frames_seen >= 4 && scene.paints > 3 && ticks > 10) release_write = true;
  });
  driver.start(20);
  const int paints_before = scene.paints;

  const int result = RunBusy(&indicator, [&] {
    write_on_worker = QThread::currentThread() != qApp->thread();
    QMetaObject::invokeMethod(qApp, [&] {
      WhenNotBusy([&] { ++deferred_runs; });
      deferred_during = deferred_runs > 0;
    });
    QElapsedTimer limit;
    limit.start();
    while (!release_write && limit.elapsed() < 10000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return 7;
  });
  driver.stop();
  paints_during = scene.paints - paints_before;

  EXPECT_EQ(result, 7);
  EXPECT_TRUE(release_write.load()) << "the GUI thread stopped while the write ran";
  EXPECT_TRUE(write_on_worker.load());
  EXPECT_GT(paints_during, 3);
  EXPECT_GE(frames_seen, 4);
  EXPECT_TRUE(shown_during);
  EXPECT_EQ(scene.clicks, 0);
  EXPECT_EQ(scene.edit->text(), QString());
  EXPECT_FALSE(deferred_during);
  EXPECT_EQ(deferred_runs, 1);
  // The indicator goes 100 ms after the end; input works again at once.
  EXPECT_TRUE(PumpUntil([&] { return !indicator.shown(); }));
  scene.Click(scene.button);
  scene.Type(scene.edit, "a");
  EXPECT_EQ(scene.clicks, 1);
  EXPECT_EQ(scene.edit->text(), "a");
}

TEST(RunBusyTest, AnImmediateWriteReturnsAtOnceAndABoxItAsksForTakesInput) {
  Scene scene;
  CBusyIndicator indicator(scene.busy);
  EXPECT_EQ(RunBusy(&indicator, [] { return -103; }), -103);
  EXPECT_EQ(RunBusy(nullptr, []() -> int { throw std::runtime_error("no memory"); }), 0);

  // The write asks a question from its thread; the box is a window of its own and is answered by
  // a real click while the main window's input is still held off.
  QtPrompt prompt;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    scene.Click(scene.button);
    scene.Click(box->button(QMessageBox::Yes));
  });
  answer.start(20);
  const int result = RunBusy(&indicator, [&] { return prompt.AskYesNo("Write without names?") ? 1 : 0; });
  answer.stop();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(scene.clicks, 0);
}

TEST(RunBusyTest, OffTheGuiThreadTheWriteRunsInPlace) {
  std::thread::id ran_on;
  std::thread caller([&] {
    EXPECT_EQ(RunBusy(nullptr, [&] {
                ran_on = std::this_thread::get_id();
                return 1;
              }),
              1);
    EXPECT_EQ(ran_on, std::this_thread::get_id());
  });
  caller.join();
}

}  // namespace
}  // namespace orvane
