#include "ui/controls/bitmap_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <climits>
#include <cstdint>

#include "platform/main_window_link.h"
#include "ui/layout/slider_mapping.h"
#include "ui/skin/window_message.h"

namespace orvane {

namespace {

// One wheel notch.
constexpr unsigned kWheelDelta = 120;

int ClampToInt(long long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v); }


}  // namespace

CBitmapSlider::CBitmapSlider(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CBitmapSlider::SetPicture(const QPixmap& picture) {
  picture_ = picture;
  picture_width_ = picture.width();
  picture_height_ = picture.height();
  resize(picture_width_, picture_height_);
  update();
}

void CBitmapSlider::ReplacePicture(const QPixmap& picture) {
  picture_ = picture;
  if (isVisible())
    repaint();
  else
    update();
}

void CBitmapSlider::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

int CBitmapSlider::SetPageSize(int page) {
  const int previous = page_;
  page_ = page;
  return previous;
}

void CBitmapSlider::SetPos(int position) {
  if (position > maximum_) position = maximum_;
  if (position < minimum_) position = minimum_;
  position_ = position;
  update();
}

int CBitmapSlider::CoordinateOf(int position) const {
  return layout::SliderCoordinateOf(position, minimum_, maximum_, vertical_ ? picture_height_ : picture_width_);
}

int CBitmapSlider::PositionAt(int coordinate) const {
  return layout::SliderPositionAt(coordinate, vertical_ ? 0.0 : layout::kSliderMouseOffset, minimum_, maximum_,
                                  vertical_ ? picture_height_ : picture_width_, position_);
}

int CBitmapSlider::MouseCoordinate(const QPointF& point) const {
  return vertical_ ? int(point.y()) : int(point.x());
}

void CBitmapSlider::PostMoving() { PostWindowMessage(parentWidget(), WM_SLIDER_MOVING, uintptr_t(ControlId(this)), position_); }

void CBitmapSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!picture_.isNull()) painter.drawPixmap(QPoint(0, 0), picture_);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  // Qt keeps the mouse with this control until the button is released.
  setFocus(Qt::MouseFocusReason);
  active_ = true;
  dragging_ = true;
  const int at = MouseCoordinate(event->position());
  if (at != CoordinateOf(position_)) {
    SetPos(PositionAt(at));
    PostMoving();
  }
  event->accept();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  const int at = MouseCoordinate(event->position());
  if (dragging_ && at != CoordinateOf(position_)) {
    SetPos(PositionAt(at));
    PostMoving();
  }
  event->accept();
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  dragging_ = false;
  // The parent hears the final position even when nothing moved.
  PostMoving();
  event->accept();
}

void CBitmapSlider::leaveEvent(QEvent* event) {
  active_ = false;
  QWidget::leaveEvent(event);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
  long long target = 0;
  switch (event->key()) {
    case Qt::Key_PageUp: target = (long long)position_ - page_; break;
    case Qt::Key_PageDown: target = (long long)position_ + page_; break;
    case Qt::Key_End: target = maximum_; break;
    case Qt::Key_Home: target = minimum_; break;
    case Qt::Key_Left:
    case Qt::Key_Up: target = (long long)position_ - 1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: target = (long long)position_ + 1; break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  SetPos(ClampToInt(target));
  PostMoving();
  event->accept();
}

void CBitmapSlider::wheelEvent(QWheelEvent* event) {
  if (active_) {
    // The notch as the wheel message's unsigned 16-bit word: one notch away from the user is
    // exactly 120 and lowers the position; anything larger (every movement toward the user
    // reads as a large unsigned number) raises it.
    const unsigned delta = uint16_t(int16_t(ClampToInt(event->angleDelta().y())));
    if (delta == kWheelDelta)
      SetPos(ClampToInt((long long)position_ - 1));
    else if (delta > kWheelDelta)
      SetPos(ClampToInt((long long)position_ + 1));
    PostMoving();
  }
  QWidget::wheelEvent(event);  // then handled as usual (passed on to the parent)
}

bool CBitmapSlider::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // Claim the arrow keys so that no dialog shortcut or focus move takes them.
      auto* key = static_cast<QKeyEvent*>(event);
      const int k = key->key();
      if ((k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down) && WantsArrowKeys()) {
        event->accept();
        return true;
      }
      break;
    }
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab) tab_down_ = true;
      break;
    case QEvent::KeyRelease:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab) tab_down_ = false;
      break;
    case QEvent::FocusIn:
      tab_down_ = false;
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

}  // namespace orvane
