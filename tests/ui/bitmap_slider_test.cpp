#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <utility>
#include <vector>

#include "platform/main_window_link.h"
#include "ui/controls/bitmap_slider.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/window_message.h"

namespace orvane {
namespace {

// A parent that records the slider messages posted to it.
class Panel : public QWidget {
 public:
  std::vector<std::pair<uintptr_t, intptr_t>> moves;
  // Delivers what was posted and returns it, clearing the record.
  std::vector<std::pair<uintptr_t, intptr_t>> Take() {
    QCoreApplication::sendPostedEvents(this, WindowMessageEvent::EventType());
    return std::exchange(moves, {});
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() == WindowMessageEvent::EventType()) {
      auto* m = static_cast<WindowMessageEvent*>(e);
      if (m->message() == WM_SLIDER_MOVING) moves.emplace_back(m->wparam(), m->lparam());
      return true;
    }
    return QWidget::event(e);
  }
};

using Moves = std::vector<std::pair<uintptr_t, intptr_t>>;

constexpr uintptr_t kSlider = ids::main::kSpeedSlider;

class SliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    slider_ = new CBitmapSlider(&panel_);
    SetControlId(slider_, kSlider);
    QPixmap picture(100, 12);
    picture.fill(Qt::darkGray);
    slider_->move(7, 9);
    slider_->SetPicture(picture);
    slider_->SetRange(0, 4);
  }
  void Mouse(QEvent::Type type, int x, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(x, 5), QPointF(x, 5), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  held, Qt::NoModifier);
    QCoreApplication::sendEvent(slider_, &e);
  }
  void Key(int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(slider_, &e);
  }
  void Wheel(int delta) {
    QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(slider_, &e);
  }

  Panel panel_;
  CBitmapSlider* slider_ = nullptr;
};

TEST_F(SliderTest, SetPictureSizesWithoutMovingAndSetPosClamps) {
  EXPECT_EQ(slider_->geometry(), QRect(7, 9, 100, 12));
  slider_->SetRange(0, 24);
  slider_->SetPos(30);
  EXPECT_EQ(slider_->GetPos(), 24);
  slider_->SetPos(-1);
  EXPECT_EQ(slider_->GetPos(), 0);
  EXPECT_TRUE(panel_.Take().empty());  // SetPos posts nothing
  EXPECT_EQ(slider_->SetPageSize(50), 10);
  EXPECT_EQ(slider_->SetPageSize(5), 50);
}

TEST_F(SliderTest, KeysMoveAndPostEveryTime) {
  slider_->SetRange(0, 24);
  slider_->SetPageSize(50);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(slider_->GetPos(), 24);
  slider_->SetRange(0, 4);
  slider_->SetPos(0);
  slider_->SetPageSize(10);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(slider_->GetPos(), 4);
  Key(Qt::Key_Left);
  Key(Qt::Key_Up);
  EXPECT_EQ(slider_->GetPos(), 2);
  Key(Qt::Key_Home);
  Key(Qt::Key_Right);
  Key(Qt::Key_Down);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_End);
  EXPECT_EQ(slider_->GetPos(), 4);
  EXPECT_EQ(panel_.Take(), (Moves{{kSlider, 24}, {kSlider, 4}, {kSlider, 3}, {kSlider, 2}, {kSlider, 0}, {kSlider, 1}, {kSlider, 2},
                                  {kSlider, 0}, {kSlider, 4}}));
  Key(Qt::Key_A);  // not the slider's
  EXPECT_TRUE(panel_.Take().empty());
}

TEST_F(SliderTest, ClicksMapWithTheTenPixelOffset) {
  slider_->SetPos(2);
  Mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton);  // (0 + 10) / 100 * 4 = 0.4
  EXPECT_EQ(slider_->GetPos(), 0);
  EXPECT_TRUE(slider_->active());
  EXPECT_TRUE(slider_->dragging());
  Mouse(QEvent::MouseMove, 90, Qt::LeftButton);  // dragging: (90 + 10) / 100 * 4 = 4
  EXPECT_EQ(slider_->GetPos(), 4);
  Mouse(QEvent::MouseButtonRelease, 90, Qt::NoButton);
  EXPECT_FALSE(slider_->dragging());
  EXPECT_EQ(panel_.Take(), (Moves{{kSlider, 0}, {kSlider, 4}, {kSlider, 4}}));
  Mouse(QEvent::MouseMove, 10, Qt::NoButton);  // not dragging: nothing moves
  EXPECT_EQ(slider_->GetPos(), 4);
  EXPECT_EQ(slider_->CoordinateOf(2), 50);
}

TEST_F(SliderTest, PressOnTheCurrentPlaceChangesNothingButReleasePostsAnyway) {
  slider_->SetPos(2);
  Mouse(QEvent::MouseButtonPress, 50, Qt::LeftButton);  // already where position 2 is drawn
  EXPECT_TRUE(panel_.Take().empty());
  Mouse(QEvent::MouseButtonRelease, 50, Qt::NoButton);
  EXPECT_EQ(slider_->GetPos(), 2);
  EXPECT_EQ(panel_.Take(), (Moves{{kSlider, 2}}));
}

TEST_F(SliderTest, WheelWorksOnlyWhileActive) {
  slider_->SetPos(2);
  Wheel(120);
  Wheel(-120);
  EXPECT_EQ(slider_->GetPos(), 2);
  EXPECT_TRUE(panel_.Take().empty());

  Mouse(QEvent::MouseButtonPress, 50, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, 50, Qt::NoButton);
  panel_.Take();
  Wheel(120);  // one notch away from the user lowers
  EXPECT_EQ(slider_->GetPos(), 1);
  Wheel(-120);  // toward the user raises
  EXPECT_EQ(slider_->GetPos(), 2);
  Wheel(240);  // more than one notch away also raises
  EXPECT_EQ(slider_->GetPos(), 3);
  Wheel(60);  // anything else leaves it, but still posts
  EXPECT_EQ(slider_->GetPos(), 3);
  EXPECT_EQ(panel_.Take(), (Moves{{kSlider, 1}, {kSlider, 2}, {kSlider, 3}, {kSlider, 3}}));

  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(slider_, &leave);
  EXPECT_FALSE(slider_->active());
  Wheel(120);
  EXPECT_EQ(slider_->GetPos(), 3);
  EXPECT_TRUE(panel_.Take().empty());
}

TEST_F(SliderTest, RangeOrPictureOfZeroWidthKeepsThePosition) {
  slider_->SetRange(3, 3);
  slider_->SetPos(3);
  Mouse(QEvent::MouseButtonPress, 80, Qt::LeftButton);
  Mouse(QEvent::MouseMove, 20, Qt::LeftButton);
  EXPECT_EQ(slider_->GetPos(), 3);
  Mouse(QEvent::MouseButtonRelease, 20, Qt::NoButton);

  slider_->SetRange(0, 10);
  slider_->SetPicture(QPixmap());
  slider_->SetPos(6);
  EXPECT_EQ(slider_->PositionAt(40), 6);
  Mouse(QEvent::MouseButtonPress, 40, Qt::LeftButton);
  EXPECT_EQ(slider_->GetPos(), 6);
}

TEST_F(SliderTest, ArrowKeysAreClaimedUnlessTabIsHeld) {
  auto claimed = [&](int key) {
    QKeyEvent e(QEvent::ShortcutOverride, key, Qt::NoModifier);
    e.ignore();
    QCoreApplication::sendEvent(slider_, &e);
    return e.isAccepted();
  };
  EXPECT_TRUE(claimed(Qt::Key_Left));
  EXPECT_TRUE(claimed(Qt::Key_Down));
  EXPECT_FALSE(claimed(Qt::Key_Return));
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QCoreApplication::sendEvent(slider_, &tab);
  EXPECT_FALSE(slider_->WantsArrowKeys());
  EXPECT_FALSE(claimed(Qt::Key_Left));
  QKeyEvent tab_up(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
  QCoreApplication::sendEvent(slider_, &tab_up);
  EXPECT_TRUE(slider_->WantsArrowKeys());
}

TEST_F(SliderTest, ReplacePictureShowsTheNewLevel) {
  QPixmap level(100, 12);
  level.fill(QColor(200, 0, 0));
  slider_->ReplacePicture(level);
  EXPECT_EQ(slider_->grab().toImage().pixel(50, 6), qRgb(200, 0, 0));
}

}  // namespace
}  // namespace orvane
