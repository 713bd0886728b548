#include "ui/skin/png_button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <cmath>

#include "platform/ini_file.h"

namespace orvane {

// ---- SkinToolTip ----------------------------------------------------------------------------

SkinToolTip::SkinToolTip(QWidget* widget) : QObject(widget), widget_(widget), timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] {
    if (!active_ || text_.empty() || !widget_->isVisible()) return;
    QToolTip::showText(QCursor::pos(), QString::fromStdString(text_), widget_, widget_->rect());
  });
}

void SkinToolTip::Activate(bool on) {
  active_ = on;
  if (!on) Hide();
}

void SkinToolTip::Arm() {
  if (active_) timer_->start(delay_ms_);
}

void SkinToolTip::Hide() {
  timer_->stop();
  if (QToolTip::isVisible() && QToolTip::text() == QString::fromStdString(text_)) QToolTip::hideText();
}

bool SkinToolTip::pending() const { return timer_->isActive(); }

// ---- CPngButton -----------------------------------------------------------------------------

namespace {

constexpr int kNormalWeight = 400;
constexpr int kHeavyWeight = 956;
constexpr size_t kCaptionMax = 260;

int AlignmentOf(unsigned format) {
  int flags = 0;
  if (format & DT_CENTER)
    flags |= Qt::AlignHCenter;
  else if (format & DT_RIGHT)
    flags |= Qt::AlignRight;
  else
    flags |= Qt::AlignLeft;
  // Vertical placement only applies to single-line captions; others start at the top.
  if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
    flags |= Qt::AlignVCenter;
  else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
    flags |= Qt::AlignBottom;
  else
    flags |= Qt::AlignTop;
  if (format & DT_SINGLELINE)
    flags |= Qt::TextSingleLine;
  else if (format & DT_WORDBREAK)
    flags |= Qt::TextWordWrap;
  if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;
  return flags;
}

}  // namespace

CPngButton::CPngButton(QWidget* parent) : QAbstractButton(parent), hover_timer_(new QTimer(this)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  hover_timer_->setSingleShot(true);
  connect(hover_timer_, &QTimer::timeout, this, &CPngButton::OnMouseHover);
}

CPngButton::~CPngButton() { delete tooltip_.data(); }

namespace {
// Buttons being painted right now; a paint callback that re-places a neighbour must not start a
// nested paint, so repaints asked for meanwhile are scheduled instead.
int g_painting = 0;
}  // namespace

void CPngButton::Repaint() {
  if (isVisible() && g_painting == 0)
    repaint();
  else
    update();
}

void CPngButton::SetSkinImages(int x, int y, const SkinPictures& pictures) {
  offset_x_ = x;
  offset_y_ = y;
  SetImages(pictures);
}

void CPngButton::SetImages(const SkinPictures& pictures) {
  pictures_ = pictures;
  hover_ = false;
  tracking_ = false;
  hover_timer_->stop();
  setDown(false);
  Repaint();
}

void CPngButton::SetToggleImages(const QPixmap* off, const QPixmap* on, bool toggle_mode, bool on_state) {
  toggle_off_ = off;
  toggle_on_picture_ = on;
  toggle_mode_ = toggle_mode;
  toggle_on_ = on_state;
  hover_ = false;
  tracking_ = false;
  hover_timer_->stop();
  setDown(false);
  Repaint();
}

void CPngButton::SetSelected(bool selected, bool repaint_now) {
  selected_ = selected;
  if (repaint_now) Repaint();
}

void CPngButton::SetTextStyle(bool show_text, int font_size, const std::string& face_name, ColorRef normal,
                              ColorRef over, ColorRef down, ColorRef disabled, ColorRef selected,
                              unsigned text_format) {
  show_text_ = show_text;
  font_size_ = font_size;
  face_name_ = face_name;
  text_colours_ = {normal, over, down, disabled, selected};
  text_format_ = text_format;
  update();
}

void CPngButton::SetTextInsets(int left, int right, int top, int bottom) {
  inset_left_ = left;
  inset_right_ = right;
  inset_top_ = top;
  inset_bottom_ = bottom;
  update();
}

void CPngButton::SetTextRotation(int escapement, bool rotated) {
  escapement_ = escapement;
  rotated_ = rotated;
  update();
}

void CPngButton::SetFrame(ColorRef colour, int value, bool on) {
  frame_colour_ = colour;
  frame_value_ = on && value > 100 ? 100 : value;
  frame_mode_ = on;
  Repaint();
}

void CPngButton::SetTooltip(const std::string& text, bool activate) {
  if (text.empty()) return;
  if (!tooltip_) tooltip_ = new SkinToolTip(this);
  tooltip_text_ = text;
  tooltip_->SetText(text);
  tooltip_->SetDelay(300);
  tooltip_->Activate(activate);
}

const QPixmap* CPngButton::ChoosePicture(ColorRef* colour) const {
  auto pick = [&](SkinRole role) {
    *colour = text_colours_[size_t(role)];
    return pictures_.Get(role);
  };
  if (!isEnabled()) return pick(SkinRole::Disabled);
  if (toggle_mode_) {
    *colour = text_colours_[size_t(SkinRole::Normal)];
    return toggle_on_ ? toggle_on_picture_ : toggle_off_;
  }
  if (isDown()) return pick(SkinRole::Down);
  if (hover_) return pick(SkinRole::Over);
  if (selected_) return pick(SkinRole::Selected);
  return pick(SkinRole::Normal);
}

QFont CPngButton::CaptionFont() const {
  QFont font(QString::fromStdString(face_name_));
  // Points to a character height in pixels at the screen's vertical resolution.
  const int pixels = font_size_ * logicalDpiY() / 72;
  font.setPixelSize(pixels > 0 ? pixels : 1);
  font.setWeight(QFont::Weight(rotated_ ? kHeavyWeight : kNormalWeight));
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QRect CPngButton::CaptionBox(const QString& caption, const QFont& font) const {
  // Edges as left, top, right, bottom (right and bottom exclusive), insets added to each.
  int left = inset_left_, top = inset_top_;
  int right = width() + inset_right_, bottom = height() + inset_bottom_;
  if (rotated_) {
    const QFontMetrics metrics(font);
    const int w = metrics.horizontalAdvance(caption);
    const int c = metrics.height();
    const double a = escapement_ / 10.0 * 3.1415927 / 180.0;
    const int box_w = right - left, box_h = bottom - top;
    const int run_x = int(w * std::cos(a));
    const int run_y = int(w * std::sin(a));
    if (run_x < box_w) left += (box_w - run_x) / 2 - int(std::sin(a) * c * 0.5);
    if (run_y < box_h) bottom += -(box_h - run_y) / 2 - int(std::cos(a) * c * -0.5);
  }
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void CPngButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  ColorRef colour = 0;
  const QPixmap* picture = ChoosePicture(&colour);
  // One block copy of the client-sized piece at (offset - 1); parts outside the picture stay as
  // they are.
  auto draw_face = [&](const QPixmap* face) {
    if (face == nullptr || face->isNull()) return;
    const QRect wanted(offset_x_ - 1, offset_y_ - 1, width(), height());
    const QRect source = wanted.intersected(face->rect());
    if (!source.isEmpty()) painter.drawPixmap(source.topLeft() - wanted.topLeft(), *face, source);
  };
  if (frame_mode_) {
    // The key under the frame is the button's own normal face: where two blocks of keys share a
    // place (F1-F4 and D1-D6), the background shows neither.
    draw_face(pictures_.Get(SkinRole::Normal));
    QPen pen(ToQColor(frame_colour_));
    pen.setWidth(2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(1, 1, width() - 2, height() - 2));
  } else {
    draw_face(picture);
  }
  last_picture_ = picture;

  if (show_text_) {
    const QString caption = QString::fromStdString(TruncateUtf8(text().toStdString(), kCaptionMax - 1));
    const QFont font = CaptionFont();
    painter.setFont(font);
    painter.setPen(ToQColor(colour));
    const QRect box = CaptionBox(caption, font);
    const int flags = AlignmentOf(text_format_);
    if (escapement_ == 0) {
      painter.drawText(box, flags, caption);
    } else {
      // A turned caption is laid out as if level, then turned about the start of its first line.
      const QFontMetrics metrics(font);
      const int w = metrics.horizontalAdvance(caption);
      const int c = metrics.height();
      int x = box.left(), y = box.top();
      if (flags & Qt::AlignHCenter)
        x = box.left() + (box.width() - w) / 2;
      else if (flags & Qt::AlignRight)
        x = box.right() + 1 - w;
      if (flags & Qt::AlignVCenter)
        y = box.top() + (box.height() - c) / 2;
      else if (flags & Qt::AlignBottom)
        y = box.bottom() + 1 - c;
      painter.save();
      painter.setRenderHint(QPainter::TextAntialiasing);
      painter.translate(x, y);
      painter.rotate(-escapement_ / 10.0);
      painter.drawText(QPoint(0, metrics.ascent()), caption);
      painter.restore();
    }
  }
  painter.end();
  if (paint_callback_) {
    ++g_painting;
    paint_callback_(this, last_picture_ != nullptr && last_picture_ == pictures_.normal);
    --g_painting;
  }
}

void CPngButton::ArmTracking() {
  if (tracking_) return;
  tracking_ = true;
  hover_timer_->start(1);
}

void CPngButton::mouseMoveEvent(QMouseEvent* event) {
  ArmTracking();
  QAbstractButton::mouseMoveEvent(event);
}

void CPngButton::enterEvent(QEnterEvent* event) {
  ArmTracking();
  QAbstractButton::enterEvent(event);
}

void CPngButton::leaveEvent(QEvent* event) {
  OnMouseLeave();
  QAbstractButton::leaveEvent(event);
}

void CPngButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double click is a second press, so quick repeated clicks all count.
  mousePressEvent(event);
}

void CPngButton::OnMouseHover() {
  hover_ = true;
  update();
  // The tooltip is made anew on every hover, so it always starts its delay from here.
  delete tooltip_.data();
  tooltip_ = nullptr;
  SetTooltip(tooltip_text_, true);
  if (tooltip_) tooltip_->Arm();
}

void CPngButton::OnMouseLeave() {
  hover_timer_->stop();
  tracking_ = false;
  hover_ = false;
  if (tooltip_) tooltip_->Hide();
  update();
}

bool CPngButton::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip:
      return true;  // our own tooltip with its own delay
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (tooltip_) tooltip_->Hide();
      break;
    default:
      break;
  }
  return QAbstractButton::event(event);
}

}  // namespace orvane
