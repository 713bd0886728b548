// The main window's busy indicator and the way a long keyboard write runs without freezing it.
//
// CBusyIndicator animates the ten frames "jdt1.bmp" to "jdt10.bmp" of the skin folder on the
// busy static: shown 100 ms after an apply begins, stepping every 50 ms (the main window's timer
// 1050), hidden 100 ms after the apply ends. An apply that is over before its indicator is due
// shows nothing (it would only flicker).
//
// RunBusy runs a write on a worker thread while the GUI thread waits in a local event loop: the
// windows keep painting and the indicator keeps turning, but user input (mouse, keyboard, wheel,
// touch, closing by the window manager) to the windows that existed when the write began is held
// off and dropped; boxes the write itself asks for (prompts from the worker) take input as usual.
// Work queued for "not busy" (ui/skin/gui_thread.h: the device threads' messages, the lighting
// reread) waits until the write is over. The caller gets the write's result as if it had run in
// place.
//
// Locks: plan the write on the GUI thread under the editing and device locks and release the
// device lock before RunBusy; the write takes the device lock (and the I/O lock) itself on the
// worker and never needs the editing lock, which the GUI thread may keep holding. A write started
// while the device lock is held on the GUI thread would wait for it forever.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <string>

#include "ui/layout/control_ids.h"

namespace orvane {

class CBusyIndicator : public QObject {
  Q_OBJECT
 public:
  // The static it animates and the main window's timer that steps it (the indicator runs the
  // timer itself).
  static constexpr int kControlId = ids::main::kBusy;
  static constexpr int kTimerId = ids::main::kTimerBusy;
  static constexpr int kFrameCount = 10;
  static constexpr int kFrameMs = 50;
  static constexpr int kShowDelayMs = 100;
  static constexpr int kHideDelayMs = 100;

  // target: the busy static, control kControlId of the main window (hidden until an apply needs it).
  explicit CBusyIndicator(QLabel* target, QObject* parent = nullptr);

  // Loads the frames from the skin folder (with the lighting panel's bitmaps). A frame that is
  // missing shows as nothing; false when any is missing.
  bool LoadFrames(const std::string& skin_folder);

  // An apply begins / has ended. Calls nest; the outermost pair counts.
  void Begin();
  void End();

  // Timer 1050's work: the next frame, 1 to 10 then 1 again.
  void NextFrame();

  int frame() const { return frame_; }
  bool shown() const;
  bool animating() const { return frame_timer_.isActive(); }
  QLabel* target() const { return target_; }

 private:
  void Show();
  void HideNow();

  QPointer<QLabel> target_;
  std::array<QPixmap, kFrameCount> frames_;
  int frame_ = 1;
  int depth_ = 0;
  QTimer frame_timer_;
  QTimer show_timer_;
  QTimer hide_timer_;
};

// Runs write (on a worker thread) as described above and returns its result; indicator may be
// null. Called off the GUI thread, inside another RunBusy, or when no thread can be started, the
// write runs in place on the calling thread. A write that throws gives 0.
int RunBusy(CBusyIndicator* indicator, const std::function<int()>& write);

}  // namespace orvane
