// A horizontal slider whose whole face is one picture that the owner replaces at every change
// (each level has its own picture). Mouse, keys and wheel move an integer position between a
// minimum and a maximum; every change is posted to the parent as WM_SLIDER_MOVING (control ID,
// position).
#pragma once

#include <QPixmap>
#include <QWidget>

namespace orvane {

class CBitmapSlider : public QWidget {
  Q_OBJECT
 public:
  explicit CBitmapSlider(QWidget* parent = nullptr);

  // The first picture: the control takes its size (without moving).
  void SetPicture(const QPixmap& picture);
  // Another picture of the same size, shown at once.
  void ReplacePicture(const QPixmap& picture);
  void SetRange(int minimum, int maximum);
  // Returns the previous page size.
  int SetPageSize(int page);
  // Clamps to the maximum, then to the minimum, stores and redraws. Posts nothing.
  void SetPos(int position);
  void SetVertical(bool vertical) { vertical_ = vertical; }

  int GetPos() const { return position_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int pageSize() const { return page_; }
  bool active() const { return active_; }
  bool dragging() const { return dragging_; }
  const QPixmap& picture() const { return picture_; }

  // The mapping between positions and client coordinates. A range of zero width or a picture of
  // zero size cannot be mapped: PositionAt then gives the current position.
  int CoordinateOf(int position) const;
  int PositionAt(int coordinate) const;

  // Whether the control takes the arrow keys itself rather than letting the dialog move the focus
  // with them: yes, except while Tab is held down.
  bool WantsArrowKeys() const { return !tab_down_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void PostMoving();
  int MouseCoordinate(const QPointF& point) const;

  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
  int page_ = 10;
  int picture_width_ = 0;
  int picture_height_ = 0;
  bool vertical_ = false;
  bool dragging_ = false;
  bool active_ = false;
  bool tab_down_ = false;
  QPixmap picture_;
};

}  // namespace orvane
