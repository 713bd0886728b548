// The macro memory meter.
#include "ui/editors/macro_meter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace orvane {

CMacroMeter::CMacroMeter(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CMacroMeter::SetUse(const MacroMemoryUse& use, const QString& text, const QString& tooltip) {
  use_ = use;
  text_ = text;
  setToolTip(tooltip);
  update();
}

double CMacroMeter::fraction() const {
  if (use_.available == 0) return 1.0;
  return std::min(1.0, double(use_.used) / double(use_.available));
}

void CMacroMeter::SetColours(QColor fits, QColor tight, QColor too_long, QColor track, QColor text) {
  fits_ = fits;
  tight_ = tight;
  too_long_ = too_long;
  track_ = track;
  text_colour_ = text;
  update();
}

QColor CMacroMeter::fillColour() const {
  switch (use_.fit) {
    case MacroAreaFit::WithNames: return fits_;
    case MacroAreaFit::WithoutNames: return tight_;
    case MacroAreaFit::TooLong: break;
  }
  return too_long_;
}

void CMacroMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const qreal radius = std::min<qreal>(4, r.height() / 2);
  QPainterPath track;
  track.addRoundedRect(r, radius, radius);
  p.fillPath(track, track_);
  p.setPen(QPen(fillColour().darker(160), 1));
  p.drawPath(track);
  // The fill, clipped to the track so its end follows the rounded corners.
  p.save();
  p.setClipPath(track);
  // Darkened so the light text stays readable over the warning colours.
  QColor fill = use_.fit == MacroAreaFit::WithNames ? fillColour() : fillColour().darker(150);
  fill.setAlpha(use_.fit == MacroAreaFit::WithNames ? 150 : 230);
  p.fillRect(QRectF(r.left(), r.top(), r.width() * fraction(), r.height()), fill);
  p.restore();
  p.setPen(text_colour_);
  p.drawText(rect().adjusted(6, 0, -6, 0), Qt::AlignCenter | Qt::TextSingleLine, text_);
}

}  // namespace orvane
