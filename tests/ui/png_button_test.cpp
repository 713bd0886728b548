#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPointer>
#include <functional>

#include "skin_fixture.h"
#include "ui/skin/png_button.h"

namespace orvane {
namespace {

using testing::SolidImage;

// Runs the event loop until the condition holds (or a generous limit passes).
bool WaitUntil(const std::function<bool()>& condition) {
  QElapsedTimer timer;
  timer.start();
  while (!condition() && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

class PngButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QColor colours[kSkinRoleCount] = {QColor(10, 10, 10), QColor(20, 20, 20), QColor(30, 30, 30),
                                            QColor(40, 40, 40), QColor(50, 50, 50)};
    for (int i = 0; i < kSkinRoleCount; ++i) faces_[i] = QPixmap::fromImage(SolidImage(QSize(200, 100), colours[i]));
    toggle_off_ = QPixmap::fromImage(SolidImage(QSize(200, 100), QColor(60, 60, 60)));
    toggle_on_ = QPixmap::fromImage(SolidImage(QSize(200, 100), QColor(70, 70, 70)));
    button_.setGeometry(11, 11, 40, 20);
    button_.SetSkinImages(11, 11, {&faces_[0], &faces_[1], &faces_[2], &faces_[3], &faces_[4]});
  }
  // The grey level of the face shown now (each state picture is one flat grey).
  int Face() { return qRed(button_.grab().toImage().pixel(20, 10)); }

  void MoveInto() {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button_, &move);
    ASSERT_TRUE(WaitUntil([&] { return button_.hovering(); }));
  }
  void Leave() {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button_, &leave);
  }

  QPixmap faces_[kSkinRoleCount];
  QPixmap toggle_off_, toggle_on_;
  CPngButton button_;
};

TEST_F(PngButtonTest, StateRulesApplyInTheirOrder) {
  EXPECT_EQ(Face(), 10);
  button_.SetSelected(true, false);
  EXPECT_EQ(Face(), 50);
  button_.setDown(true);
  EXPECT_EQ(Face(), 30);  // pressed beats selected
  button_.SetToggleImages(&toggle_off_, &toggle_on_, true, true);
  EXPECT_EQ(Face(), 70);  // toggle beats everything but disabled
  button_.SetToggleImages(&toggle_off_, &toggle_on_, true, false);
  EXPECT_EQ(Face(), 60);
  button_.setEnabled(false);
  EXPECT_EQ(Face(), 40);  // disabled in toggle mode shows the disabled face
  EXPECT_EQ(button_.lastPicture(), &faces_[3]);
}

TEST_F(PngButtonTest, HoverBeatsSelectedUntilTheMouseLeaves) {
  button_.SetSelected(true, true);
  MoveInto();
  EXPECT_EQ(Face(), 20);
  Leave();
  EXPECT_FALSE(button_.hovering());
  EXPECT_FALSE(button_.tracking());
  EXPECT_EQ(Face(), 50);
  // New pictures clear the hover state.
  MoveInto();
  button_.SetImages({&faces_[0], &faces_[1], &faces_[2], &faces_[3], &faces_[4]});
  EXPECT_FALSE(button_.hovering());
}

TEST_F(PngButtonTest, DoubleClickCountsAsTwoClicks) {
  int clicks = 0;
  QObject::connect(&button_, &QAbstractButton::clicked, [&] { ++clicks; });
  const QPointF at(5, 5);
  auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, at, Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&button_, &e);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  EXPECT_EQ(clicks, 2);
}

TEST_F(PngButtonTest, TooltipKeepsItsTextOnEmptyAndIsRemadeOnHover) {
  EXPECT_EQ(button_.tooltip(), nullptr);
  button_.SetTooltip("", true);
  EXPECT_EQ(button_.tooltip(), nullptr);
  button_.SetTooltip("Close", true);
  ASSERT_NE(button_.tooltip(), nullptr);
  button_.SetTooltip("", false);
  EXPECT_EQ(button_.tooltipText(), "Close");
  EXPECT_EQ(button_.tooltip()->text(), "Close");
  EXPECT_TRUE(button_.tooltip()->active());

  QPointer<SkinToolTip> before = button_.tooltip();
  MoveInto();
  EXPECT_TRUE(before.isNull());  // destroyed and made again
  ASSERT_NE(button_.tooltip(), nullptr);
  EXPECT_EQ(button_.tooltip()->text(), "Close");
  EXPECT_EQ(button_.tooltip()->delay(), 300);
  EXPECT_TRUE(button_.tooltip()->active());
  EXPECT_TRUE(button_.tooltip()->pending());
  Leave();
  EXPECT_FALSE(button_.tooltip()->pending());
}

// The frame replaces the state picture; inside it the key keeps its normal face (the button's
// client area is never erased to the window's background), whatever state it is in.
TEST_F(PngButtonTest, FrameModeDrawsAFrameOverTheNormalFace) {
  button_.SetSelected(true, false);
  button_.SetFrame(Rgb(255, 0, 0), 250, true);
  EXPECT_EQ(button_.frameValue(), 100);
  const QImage face = button_.grab().toImage();
  EXPECT_EQ(face.pixel(1, 1), qRgb(255, 0, 0));
  EXPECT_EQ(face.pixel(38, 10), qRgb(255, 0, 0));
  EXPECT_EQ(face.pixel(20, 10), qRgb(10, 10, 10));  // inside: the normal face, not the selected one
  button_.SetSelected(false, false);
  button_.SetFrame(Rgb(255, 0, 0), 250, false);
  EXPECT_EQ(button_.frameValue(), 250);
  EXPECT_EQ(Face(), 10);
}

TEST_F(PngButtonTest, PaintCallbackTellsWhetherTheNormalFaceWasShown) {
  std::vector<bool> calls;
  button_.SetPaintCallback([&](CPngButton* b, bool normal) {
    EXPECT_EQ(b, &button_);
    calls.push_back(normal);
  });
  button_.grab();
  button_.SetSelected(true, false);
  button_.grab();
  EXPECT_EQ(calls, (std::vector<bool>{true, false}));
}

TEST_F(PngButtonTest, CallbackMayReplaceANeighboursPicturesWhileShown) {
  QWidget window;
  window.resize(100, 50);
  auto* flip = new CPngButton(&window);
  auto* arrow = new CPngButton(&window);
  flip->setGeometry(0, 0, 40, 20);
  arrow->setGeometry(50, 0, 40, 20);
  flip->SetImages(SkinPictures::All(&faces_[0]));
  int calls = 0;
  flip->SetPaintCallback([&](CPngButton*, bool normal) {
    ++calls;
    if (normal) arrow->SetSkinImages(61, 1, SkinPictures::All(&faces_[1]));
  });
  window.show();
  flip->Repaint();
  ASSERT_TRUE(WaitUntil([&] { return arrow->lastPicture() == &faces_[1]; }));
  EXPECT_GE(calls, 1);
  window.hide();
}

TEST_F(PngButtonTest, CaptionIsDrawnInTheColourOfTheState) {
  button_.setGeometry(0, 0, 120, 40);
  button_.setText("WWWW");
  auto count = [&](QRgb colour) {
    const QImage face = button_.grab().toImage();
    int n = 0;
    for (int y = 0; y < face.height(); ++y)
      for (int x = 0; x < face.width(); ++x) n += (face.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
  };
  EXPECT_EQ(count(qRgb(255, 255, 255)), 0);  // no caption until asked for
  button_.SetTextStyle(true, 12, "DejaVu Sans", Rgb(255, 255, 255), Rgb(255, 255, 0), Rgb(255, 255, 255),
                       Rgb(0x7F, 0x7F, 0x7F), Rgb(255, 255, 255), kDefaultTextFormat);
  EXPECT_GT(count(qRgb(255, 255, 255)), 10);
  button_.setEnabled(false);
  EXPECT_EQ(count(qRgb(255, 255, 255)), 0);
  EXPECT_GT(count(qRgb(0x7F, 0x7F, 0x7F)), 10);
  EXPECT_EQ(button_.CaptionFont().pixelSize(), 12 * button_.logicalDpiY() / 72);
  EXPECT_EQ(button_.CaptionFont().weight(), 400);
}

TEST_F(PngButtonTest, RotatedCaptionIsHeavyAndTurned) {
  button_.setGeometry(0, 0, 120, 60);
  button_.setText("PROFILES");
  button_.SetTextStyle(true, 10, "DejaVu Sans", Rgb(255, 255, 255), 0, 0, 0, 0, DT_SINGLELINE | DT_BOTTOM);
  auto rows_with_text = [&] {
    const QImage face = button_.grab().toImage();
    int top = face.height(), bottom = -1;
    for (int y = 0; y < face.height(); ++y)
      for (int x = 0; x < face.width(); ++x)
        if (qRed(face.pixel(x, y)) > 128) {
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    return bottom - top + 1;
  };
  const int level = rows_with_text();
  button_.SetTextRotation(268, true);
  EXPECT_EQ(button_.CaptionFont().weight(), 956);
  const int turned = rows_with_text();
  // The caption's width turned by 26.8 degrees rises by about half its width.
  const int width = QFontMetrics(button_.CaptionFont()).horizontalAdvance("PROFILES");
  EXPECT_GT(turned, level + width / 3);
  EXPECT_LT(turned, level + width * 2 / 3);
}

TEST_F(PngButtonTest, ButtonWithoutPicturesPaintsNothingAndDoesNotFail) {
  CPngButton bare;
  bare.resize(10, 10);
  bare.grab();
  EXPECT_EQ(bare.lastPicture(), nullptr);
}

}  // namespace
}  // namespace orvane
