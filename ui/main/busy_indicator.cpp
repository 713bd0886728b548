#include "ui/main/busy_indicator.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QSet>
#include <QThread>
#include <QWindow>
#include <atomic>
#include <system_error>
#include <thread>

#include "platform/paths.h"
#include "ui/layout/dialog_layout.h"
#include "ui/skin/gui_thread.h"
#include "ui/skin/skin_layout.h"

namespace orvane {

// ---- CBusyIndicator -------------------------------------------------------------------------

CBusyIndicator::CBusyIndicator(QLabel* target, QObject* parent) : QObject(parent), target_(target) {
  frame_timer_.setInterval(kFrameMs);
  show_timer_.setSingleShot(true);
  show_timer_.setInterval(kShowDelayMs);
  hide_timer_.setSingleShot(true);
  hide_timer_.setInterval(kHideDelayMs);
  connect(&frame_timer_, &QTimer::timeout, this, &CBusyIndicator::NextFrame);
  connect(&show_timer_, &QTimer::timeout, this, &CBusyIndicator::Show);
  connect(&hide_timer_, &QTimer::timeout, this, &CBusyIndicator::HideNow);
  if (target_ != nullptr) target_->hide();
}

bool CBusyIndicator::LoadFrames(const std::string& skin_folder) {
  bool all = true;
  for (int i = 0; i < kFrameCount; ++i) {
    const QImage image = LoadImageFile(JoinPath(skin_folder, layout::BusyFrameBitmap(i + 1)));
    frames_[size_t(i)] = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    all = all && !image.isNull();
  }
  return all;
}

bool CBusyIndicator::shown() const { return target_ != nullptr && !target_->isHidden(); }

void CBusyIndicator::Begin() {
  if (depth_++ > 0) return;
  // A new apply right after the last one keeps the indicator up.
  hide_timer_.stop();
  if (!animating()) show_timer_.start();
}

void CBusyIndicator::End() {
  if (depth_ == 0 || --depth_ > 0) return;
  if (show_timer_.isActive()) {
    show_timer_.stop();
    return;
  }
  hide_timer_.start();
}

void CBusyIndicator::Show() {
  if (depth_ == 0) return;  // over before it was due
  if (target_ != nullptr) {
    target_->setPixmap(frames_[size_t(frame_ - 1)]);
    target_->show();
    target_->raise();
  }
  frame_timer_.start();
}

void CBusyIndicator::HideNow() {
  show_timer_.stop();
  frame_timer_.stop();
  if (target_ != nullptr) target_->hide();
}

void CBusyIndicator::NextFrame() {
  frame_ = frame_ % kFrameCount + 1;
  if (target_ != nullptr) target_->setPixmap(frames_[size_t(frame_ - 1)]);
}

// ---- RunBusy --------------------------------------------------------------------------------

namespace {

bool IsUserInput(const QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
      return true;
    case QEvent::Close:
      // The window manager's close; the program's own closing is not input.
      return event->spontaneous();
    default:
      return false;
  }
}

// Holds off user input to the windows that exist while it lives; windows opened later (a box the
// write asks for) get theirs.
class InputHold : public QObject {
 public:
  InputHold() : buttons_down_(QGuiApplication::mouseButtons()) {
    for (QWidget* w : QApplication::topLevelWidgets()) Remember(w);
    for (QWindow* w : QGuiApplication::allWindows()) Remember(w);
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~InputHold() override { QCoreApplication::instance()->removeEventFilter(this); }

  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (!IsUserInput(event) || !Held(receiver)) return false;
    // A button pressed before the write began may still be let go.
    if (event->type() == QEvent::MouseButtonRelease) {
      const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
      if (buttons_down_ & button) {
        buttons_down_ &= ~button;
        return false;
      }
    }
    return true;
  }

 private:
  void Remember(QObject* window) {
    if (windows_.contains(window)) return;
    windows_.insert(window);
    connect(window, &QObject::destroyed, this, [this, window] { windows_.remove(window); });
  }

  bool Held(QObject* receiver) const {
    if (auto* widget = qobject_cast<QWidget*>(receiver)) return windows_.contains(widget->window());
    if (auto* window = qobject_cast<QWindow*>(receiver)) return windows_.contains(window);
    // Anything else belongs to no window opened for the write.
    return true;
  }

  QSet<QObject*> windows_;
  Qt::MouseButtons buttons_down_;
};

int RunGuarded(const std::function<int()>& write) {
  try {
    return write();
  } catch (...) {
    return 0;
  }
}

}  // namespace

int RunBusy(CBusyIndicator* indicator, const std::function<int()>& write) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() != app->thread() || BusyBracketActive()) return RunGuarded(write);

  QEventLoop loop;
  std::atomic<bool> done{false};
  int result = 0;
  std::thread worker;
  try {
    worker = std::thread([&] {
      result = RunGuarded(write);
      done = true;
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread: the write still runs, only without the indicator.
    return RunGuarded(write);
  }

  EnterBusyBracket();
  if (indicator != nullptr) indicator->Begin();
  {
    InputHold hold;
    if (!done) loop.exec();
  }
  worker.join();
  if (indicator != nullptr) indicator->End();
  LeaveBusyBracket();
  return result;
}

}  // namespace orvane
