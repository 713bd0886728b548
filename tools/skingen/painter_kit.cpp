// Drawing of the skin's parts.
#include "tools/skingen/painter_kit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace orvane::skingen {
namespace {

QColor Mix(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t), float(a.greenF() * (1 - t) + b.greenF() * t),
                          float(a.blueF() * (1 - t) + b.blueF() * t), float(a.alphaF() * (1 - t) + b.alphaF() * t));
}

QColor WithAlpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

// A rectangle inset by half a pixel so a 1-pixel pen lands on whole pixels.
QRectF Crisp(const QRect& r) { return QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5); }

void RoundFill(QPainter& p, const QRectF& r, double radius, const QBrush& fill, const QColor& border = QColor()) {
  p.save();
  p.setPen(border.isValid() ? QPen(border, 1.0) : Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(r, radius, radius);
  p.restore();
}

void CenteredText(QPainter& p, const QRectF& r, const QString& text, const QFont& f, const QColor& c,
                  int flags = Qt::AlignCenter) {
  p.save();
  p.setFont(f);
  p.setPen(c);
  p.drawText(r, flags, text);
  p.restore();
}

}  // namespace

QFont UiFont(int pixel_size, bool bold) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(pixel_size);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

bool Theme::Load(const std::map<std::string, std::string>& colours, std::string& missing) {
  const std::pair<const char*, QColor*> fields[] = {
      {"window", &window}, {"header", &header}, {"card", &card},       {"border", &border},
      {"cap", &cap},       {"capTop", &capTop}, {"capEdge", &capEdge}, {"text", &text},
      {"dim", &dim},       {"faint", &faint},   {"accent", &accent},   {"accentFill", &accentFill},
      {"danger", &danger}, {"good", &good},     {"warn", &warn},       {"paper", &paper},
  };
  for (auto& [name, colour] : fields) {
    auto it = colours.find(name);
    if (it == colours.end()) {
      missing = name;
      return false;
    }
    *colour = QColor(QString::fromStdString(it->second));
    if (!colour->isValid()) {
      missing = name;
      return false;
    }
  }
  return true;
}

// ------------------------------------------------------------------ backgrounds

void Kit::WindowFrame(QPainter& p, int w, int h) const {
  QLinearGradient g(0, 0, 0, 64);
  g.setColorAt(0, t_.header);
  g.setColorAt(1, t_.window);
  p.fillRect(QRect(0, 0, w, 64), g);
  RoundFill(p, QRectF(0.5, 0.5, w - 1, h - 1), 14, Qt::NoBrush, t_.border);
}

void Kit::Card(QPainter& p, const QRect& r) const { RoundFill(p, Crisp(r), 12, t_.card, t_.border); }

void Kit::Rule(QPainter& p, const QRect& r) const { p.fillRect(r, t_.border); }

void Kit::Sheet(QPainter& p, const QRect& r) const {
  RoundFill(p, Crisp(r), 10, t_.paper, Mix(t_.paper, t_.border, 0.5));
  p.save();
  p.setClipRect(QRect(r.x(), r.y(), r.width(), 3));
  RoundFill(p, QRectF(r).adjusted(0, 0, 0, -0.5), 10, t_.accent);
  p.restore();
}

QColor Kit::FieldColour() const { return Mix(t_.window, QColor(0, 0, 0), 0.25); }

void Kit::Field(QPainter& p, const QRect& r) const { RoundFill(p, Crisp(r), 6, FieldColour(), t_.border); }

void Kit::Title(QPainter& p, int x, int y, int size, const QString& text) const {
  p.save();
  p.setFont(UiFont(size, true));
  p.setPen(t_.text);
  QFontMetrics m(p.font());
  p.drawText(x, y + m.ascent(), text);
  p.restore();
}

// ------------------------------------------------------------------ faces

void Kit::Face(QPainter& p, const QRect& r, const std::string& style, const std::vector<std::string>& args, Visual v,
               Variant variant) const {
  auto arg = [&](size_t i) { return i < args.size() ? args[i] : std::string(); };
  auto text_from = [&](size_t i) {
    QString s;
    for (size_t k = i; k < args.size(); ++k) {
      if (!s.isEmpty()) s += QLatin1Char(' ');
      s += QString::fromStdString(args[k]);
    }
    return s;
  };
  if (style == "key") {
    // Key rows give the lower legend and then the upper one, already decoded.
    Keycap(p, r, QString::fromStdString(arg(1)), QString::fromStdString(arg(0)), v, false);
  } else if (style == "gkey") {
    Keycap(p, r, QString(), QString::fromStdString(arg(0)), v, true);
  } else if (style == "pill") {
    Pill(p, r, v, false);
  } else if (style == "primary") {
    Pill(p, r, v, true);
  } else if (style == "icon") {
    // In the macro editor's pictures the icon buttons that use them (Clear) are out of use.
    IconButton(p, r, arg(0), variant == Variant::Macro2 ? Visual::Disabled : v);
  } else if (style == "chip") {
    Chip(p, r, QString::fromStdString(arg(0)), v);
  } else if (style == "lock") {
    Lock(p, r, QString::fromStdString(arg(0)), v);
  } else if (style == "logo") {
    Logo(p, r, v);
  } else if (style == "pictogram" || style == "pictogramprimary") {
    Pictogram(p, r, arg(0), v, style == "pictogramprimary");
  } else if (style == "labelled" || style == "labelledprimary") {
    Labelled(p, r, arg(0), text_from(1), v, style == "labelledprimary");
  } else if (style == "tab") {
    Tab(p, r, variant == Variant::Macro2 ? Visual::Disabled : v);
  } else if (style == "titleicon") {
    Icon(p, variant == Variant::Macro2 ? "macro" : "key", QRectF(r).adjusted(3, 3, -3, -3), t_.accent);
  } else if (style == "panel") {
    Panel(p, r, variant);
  } else if (style == "record") {
    Record(p, r, v);
  } else if (style == "flipbase") {
    FlipBase(p, r, QString::fromStdString(arg(0)), v);
  }
  // "blank" and "arrow" draw nothing here: the background shows, or the face comes from
  // another picture.
}

void Kit::Keycap(QPainter& p, const QRect& r, const QString& upper, const QString& lower, Visual v,
                 bool gkey) const {
  QRectF body = Crisp(r);
  QColor edge = t_.capEdge, top0 = t_.capTop, top1 = t_.cap, ink = gkey ? Mix(t_.dim, t_.accent, 0.35) : t_.text;
  QColor outline = Mix(t_.capEdge, QColor(0, 0, 0), 0.3);
  double lift = 3;  // height of the cap's front edge
  switch (v) {
    case Visual::Normal: break;
    case Visual::Hover:
      top0 = top0.lighter(122);
      top1 = top1.lighter(122);
      ink = QColor(255, 255, 255);
      outline = WithAlpha(t_.accent, 190);
      break;
    case Visual::Pressed:
      top0 = Mix(t_.cap, QColor(0, 0, 0), 0.25);
      top1 = top0;
      lift = 1;
      ink = t_.accent;
      outline = t_.accent;
      break;
    case Visual::Selected:
      top0 = Mix(t_.capTop, t_.accentFill, 0.45);
      top1 = Mix(t_.cap, t_.accentFill, 0.35);
      edge = Mix(t_.capEdge, t_.accentFill, 0.5);
      ink = QColor(255, 255, 255);
      outline = Mix(t_.accent, t_.capEdge, 0.35);
      break;
    case Visual::Disabled:
      top0 = Mix(t_.cap, t_.card, 0.6);
      top1 = top0;
      ink = t_.faint;
      break;
  }
  RoundFill(p, body, 5, edge, outline);
  QRectF top = body.adjusted(1.5, v == Visual::Pressed ? 2.0 : 1.0, -1.5, -lift);
  QLinearGradient g(top.topLeft(), top.bottomLeft());
  g.setColorAt(0, top0);
  g.setColorAt(1, top1);
  RoundFill(p, top, 4, g);
  if (v == Visual::Normal || v == Visual::Hover) {
    // A faint highlight along the top edge gives the cap its shape.
    p.save();
    p.setPen(QPen(QColor(255, 255, 255, v == Visual::Hover ? 40 : 22), 1.0));
    p.drawLine(QPointF(top.left() + 4, top.top() + 0.5), QPointF(top.right() - 4, top.top() + 0.5));
    p.restore();
  }
  if (v == Visual::Selected) {
    // Assigned keys carry an accent dot in the corner.
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(t_.accent);
    p.drawEllipse(QPointF(top.right() - 5, top.top() + 5), 2.2, 2.2);
    p.restore();
  }
  QRectF text_box = top.adjusted(2, 1, -2, -1);
  if (!upper.trimmed().isEmpty()) {
    QColor up_ink = v == Visual::Disabled ? t_.faint : Mix(ink, t_.card, 0.35);
    CenteredText(p, QRectF(text_box.left(), text_box.top(), text_box.width(), text_box.height() / 2 + 1), upper,
                 UiFont(10), up_ink, Qt::AlignHCenter | Qt::AlignBottom);
    CenteredText(p, QRectF(text_box.left(), text_box.center().y() + 1, text_box.width(), text_box.height() / 2 - 1),
                 lower, UiFont(11), ink, Qt::AlignHCenter | Qt::AlignTop);
    return;
  }
  int size = 13;
  bool bold = false;
  if (gkey) {
    size = 11;
    bold = true;
  } else if (lower.size() > 1) {
    size = lower.size() > 5 ? 9 : 10;
  }
  if (lower.size() == 1 && lower[0].unicode() > 0x2000) size = 10;  // arrow glyphs
  CenteredText(p, text_box, lower, UiFont(size, bold), ink);
}

void Kit::Pill(QPainter& p, const QRect& r, Visual v, bool primary) const {
  QColor fill, border;
  if (primary) {
    switch (v) {
      case Visual::Normal: fill = t_.accentFill; border = Mix(t_.accentFill, t_.accent, 0.5); break;
      case Visual::Hover: fill = t_.accentFill.lighter(118); border = t_.accent; break;
      case Visual::Pressed:
      case Visual::Selected: fill = t_.accentFill.darker(125); border = t_.accent; break;
      case Visual::Disabled: fill = Mix(t_.card, t_.accentFill, 0.18); border = Mix(t_.border, t_.accentFill, 0.2); break;
    }
  } else {
    switch (v) {
      case Visual::Normal: fill = QColor(0x26, 0x2a, 0x32); border = QColor(0x31, 0x36, 0x40); break;
      case Visual::Hover: fill = QColor(0x30, 0x35, 0x3f); border = WithAlpha(t_.accent, 150); break;
      case Visual::Pressed: fill = QColor(0x1c, 0x1f, 0x25); border = t_.accent; break;
      case Visual::Selected: fill = t_.accentFill; border = t_.accent; break;
      case Visual::Disabled: fill = QColor(0x1f, 0x22, 0x28); border = QColor(0x26, 0x29, 0x30); break;
    }
  }
  QRectF box = Crisp(r);
  double radius = std::min(8.0, box.height() / 2);
  if (v == Visual::Normal || v == Visual::Hover || (primary && v != Visual::Disabled)) {
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, fill.lighter(108));
    g.setColorAt(1, fill);
    RoundFill(p, box, radius, g, border);
  } else {
    RoundFill(p, box, radius, fill, border);
  }
}

void Kit::IconButton(QPainter& p, const QRect& r, const std::string& icon, Visual v) const {
  QColor ink = t_.dim;
  QRectF box = Crisp(r);
  bool danger = icon == "close";
  switch (v) {
    case Visual::Normal: break;
    case Visual::Hover:
      RoundFill(p, box, 7, danger ? t_.danger : QColor(0x2a, 0x2e, 0x37));
      ink = QColor(255, 255, 255);
      break;
    case Visual::Pressed:
    case Visual::Selected:
      RoundFill(p, box, 7, danger ? t_.danger.darker(130) : QColor(0x1c, 0x1f, 0x25), danger ? QColor() : t_.accent);
      ink = danger ? QColor(255, 255, 255) : t_.accent;
      break;
    case Visual::Disabled: ink = t_.faint; break;
  }
  double s = std::min(r.width(), r.height()) * 0.56;
  QRectF ir(box.center().x() - s / 2, box.center().y() - s / 2, s, s);
  Icon(p, icon, ir, ink);
}

void Kit::Chip(QPainter& p, const QRect& r, const QString& label, Visual v) const {
  QColor fill(0x22, 0x26, 0x2d), border(0x30, 0x35, 0x3e), ink = t_.dim;
  switch (v) {
    case Visual::Normal: break;
    case Visual::Hover: fill = QColor(0x2c, 0x31, 0x3a); border = WithAlpha(t_.accent, 150); ink = t_.text; break;
    case Visual::Pressed: fill = QColor(0x1a, 0x1d, 0x22); border = t_.accent; ink = t_.accent; break;
    case Visual::Selected: fill = t_.accentFill; border = t_.accent; ink = QColor(255, 255, 255); break;
    case Visual::Disabled: fill = QColor(0x1e, 0x21, 0x27); border = QColor(0x26, 0x29, 0x30); ink = t_.faint; break;
  }
  QRectF box = Crisp(r);
  RoundFill(p, box, std::min(7.0, box.height() / 2), fill, border);
  CenteredText(p, box, label, UiFont(10, v == Visual::Selected), ink);
}

void Kit::Lock(QPainter& p, const QRect& r, const QString& label, Visual v) const {
  bool lit = v == Visual::Selected;
  QPointF dot(r.left() + 8.5, r.center().y() + 0.5);
  p.save();
  p.setPen(Qt::NoPen);
  if (lit) {
    QRadialGradient glow(dot, 7);
    glow.setColorAt(0, WithAlpha(t_.accent, 160));
    glow.setColorAt(1, WithAlpha(t_.accent, 0));
    p.setBrush(glow);
    p.drawEllipse(dot, 7, 7);
  }
  p.setBrush(lit ? t_.accent : QColor(0x3a, 0x3f, 0x49));
  p.drawEllipse(dot, 3, 3);
  p.restore();
  CenteredText(p, QRectF(r.left() + 14, r.top(), r.width() - 14, r.height()), label, UiFont(9),
               lit ? t_.text : t_.dim, Qt::AlignVCenter | Qt::AlignLeft);
}

void Kit::Logo(QPainter& p, const QRect& r, Visual v) const {
  QColor mark = t_.accent, ink = t_.text;
  if (v == Visual::Hover) ink = QColor(255, 255, 255), mark = t_.accent.lighter(120);
  if (v == Visual::Pressed || v == Visual::Selected) ink = t_.accent;
  // The mark: a keycap seen from above with a ring, the program's initial.
  QRectF cap(r.left() + 4.5, r.top() + 3.5, r.height() - 7, r.height() - 7);
  RoundFill(p, cap, 6, Qt::NoBrush, mark);
  p.save();
  p.setPen(QPen(mark, 2.4));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(cap.center(), cap.width() * 0.22, cap.width() * 0.22);
  p.restore();
  QFont f = UiFont(18, true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
  CenteredText(p, QRectF(cap.right() + 9, r.top(), r.right() - cap.right() - 9, r.height()), QStringLiteral("ORVANE"),
               f, ink, Qt::AlignVCenter | Qt::AlignLeft);
}

void Kit::Pictogram(QPainter& p, const QRect& r, const std::string& icon, Visual v, bool primary) const {
  Pill(p, r, v, primary);
  QColor ink = primary ? QColor(255, 255, 255) : t_.text;
  if (v == Visual::Pressed && !primary) ink = t_.accent;
  if (v == Visual::Disabled) ink = t_.faint;
  const double s = std::min(18.0, r.height() * 0.52);
  Icon(p, icon, QRectF(r.center().x() + 0.5 - s / 2, r.center().y() + 0.5 - s / 2, s, s), ink);
}

void Kit::Labelled(QPainter& p, const QRect& r, const std::string& icon, const QString& text, Visual v,
                   bool primary) const {
  Pill(p, r, v, primary);
  QColor ink = primary ? QColor(255, 255, 255) : t_.text;
  if (v == Visual::Pressed && !primary) ink = t_.accent;
  if (v == Visual::Disabled) ink = t_.faint;
  QFont f = UiFont(12, primary);
  QFontMetricsF m(f);
  double icon_w = icon == "none" ? 0 : 14;
  double gap = icon_w > 0 ? 7 : 0;
  double total = icon_w + gap + m.horizontalAdvance(text);
  double x = r.center().x() + 0.5 - total / 2;
  if (icon_w > 0) Icon(p, icon, QRectF(x, r.center().y() + 0.5 - 7, 14, 14), ink);
  CenteredText(p, QRectF(x + icon_w + gap, r.top(), total, r.height()), text, f, ink,
               Qt::AlignVCenter | Qt::AlignLeft);
}

void Kit::Tab(QPainter& p, const QRect& r, Visual v) const {
  QRectF box = Crisp(r);
  switch (v) {
    case Visual::Normal: RoundFill(p, box, 8, QColor(0x1c, 0x1f, 0x25), QColor(0x24, 0x27, 0x2e)); break;
    case Visual::Hover: RoundFill(p, box, 8, QColor(0x29, 0x2d, 0x36), WithAlpha(t_.accent, 120)); break;
    case Visual::Pressed:
    case Visual::Selected: {
      RoundFill(p, box, 8, Mix(t_.card, t_.accentFill, 0.35), Mix(t_.border, t_.accent, 0.6));
      p.save();
      p.setPen(Qt::NoPen);
      p.setBrush(t_.accent);
      p.drawRoundedRect(QRectF(box.left() + 1, box.top() + 9, 3, box.height() - 18), 1.5, 1.5);
      p.restore();
      break;
    }
    case Visual::Disabled: RoundFill(p, box, 8, QColor(0x17, 0x19, 0x1e)); break;
  }
  // The caption is drawn centred by the dialog, so the tab carries no icon that could collide.
}

void Kit::Panel(QPainter& p, const QRect& r, Variant variant) const {
  QRectF box = Crisp(r);
  RoundFill(p, box, 12, t_.card, t_.border);
  const char* mark = nullptr;
  switch (variant) {
    case Variant::Key: mark = "key"; break;
    case Variant::Media: mark = "media"; break;
    case Variant::Function: mark = "function"; break;
    default: break;
  }
  if (mark != nullptr) {
    // A large faint watermark of the panel's kind in the lower right corner.
    double s = 120;
    Icon(p, mark, QRectF(box.right() - s - 22, box.bottom() - s - 18, s, s), Mix(t_.card, t_.dim, 0.12));
  }
}

void Kit::Record(QPainter& p, const QRect& r, Visual v) const {
  QRectF box = Crisp(r);
  QColor fill(0x26, 0x2a, 0x32), border(0x31, 0x36, 0x40), dot = t_.danger;
  switch (v) {
    case Visual::Normal: break;
    case Visual::Hover: fill = QColor(0x30, 0x35, 0x3f); border = WithAlpha(t_.danger, 170); break;
    case Visual::Pressed:
    case Visual::Selected: fill = t_.danger.darker(160); border = t_.danger; dot = QColor(255, 255, 255); break;
    case Visual::Disabled: fill = QColor(0x1f, 0x22, 0x28); border = QColor(0x26, 0x29, 0x30); dot = t_.faint; break;
  }
  RoundFill(p, box, 8, fill, border);
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(dot);
  p.drawEllipse(QPointF(box.left() + 13, box.center().y()), 4, 4);
  p.restore();
}

void Kit::FlipBase(QPainter& p, const QRect& r, const QString& label, Visual v) const {
  QRectF box = Crisp(r);
  bool on = v == Visual::Selected;
  RoundFill(p, box, 7, on ? QBrush(Mix(t_.card, t_.accentFill, 0.3)) : QBrush(Qt::NoBrush),
            on ? t_.accent : QColor(0x2c, 0x30, 0x39));
  QFont f = UiFont(9, true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
  CenteredText(p, box, label, f, on ? t_.accent : t_.faint);
}

// ------------------------------------------------------------------ icons

void Kit::Icon(QPainter& p, const std::string& name, const QRectF& r, const QColor& c) const {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  double s = std::min(r.width(), r.height());
  double lw = std::max(1.3, s / 11.0);
  QPen pen(c, lw, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  QPointF o = r.center();
  auto P = [&](double x, double y) { return QPointF(o.x() + x * s / 2, o.y() + y * s / 2); };
  if (name == "close") {
    p.drawLine(P(-0.6, -0.6), P(0.6, 0.6));
    p.drawLine(P(0.6, -0.6), P(-0.6, 0.6));
  } else if (name == "minimize") {
    p.drawLine(P(-0.65, 0.15), P(0.65, 0.15));
  } else if (name == "menu") {
    for (double y : {-0.55, 0.0, 0.55}) p.drawLine(P(-0.7, y), P(0.7, y));
  } else if (name == "help") {
    p.drawEllipse(o, s * 0.47, s * 0.47);
    QPainterPath q;
    q.moveTo(P(-0.3, -0.22));
    q.cubicTo(P(-0.3, -0.62), P(0.32, -0.62), P(0.32, -0.25));
    q.cubicTo(P(0.32, 0.02), P(0.0, 0.02), P(0.0, 0.25));
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(P(0.0, 0.5), lw * 0.75, lw * 0.75);
  } else if (name == "facebook") {
    p.drawRoundedRect(QRectF(P(-0.8, -0.8), P(0.8, 0.8)), s * 0.18, s * 0.18);
    QPainterPath f;
    f.moveTo(P(0.05, 0.8));
    f.lineTo(P(0.05, -0.2));
    f.cubicTo(P(0.05, -0.5), P(0.2, -0.55), P(0.45, -0.55));
    p.drawPath(f);
    p.drawLine(P(-0.2, 0.0), P(0.42, 0.0));
  } else if (name == "twitter") {
    // A bird in flight, simplified to a single stroke shape.
    QPainterPath b;
    b.moveTo(P(-0.85, 0.45));
    b.cubicTo(P(-0.3, 0.75), P(0.55, 0.45), P(0.55, -0.35));
    b.lineTo(P(0.85, -0.6));
    b.lineTo(P(0.5, -0.55));
    b.cubicTo(P(0.3, -0.85), P(-0.15, -0.7), P(-0.05, -0.3));
    b.cubicTo(P(-0.4, -0.3), P(-0.65, -0.5), P(-0.75, -0.65));
    b.cubicTo(P(-0.85, -0.3), P(-0.6, -0.05), P(-0.45, 0.05));
    b.cubicTo(P(-0.5, 0.2), P(-0.3, 0.35), P(-0.15, 0.35));
    b.cubicTo(P(-0.35, 0.48), P(-0.6, 0.5), P(-0.85, 0.45));
    p.drawPath(b);
  } else if (name == "globe") {
    p.drawEllipse(o, s * 0.45, s * 0.45);
    p.drawEllipse(o, s * 0.18, s * 0.45);
    p.drawLine(P(-0.9, 0.0), P(0.9, 0.0));
  } else if (name == "keyboard") {
    p.drawRoundedRect(QRectF(P(-0.9, -0.55), P(0.9, 0.55)), s * 0.1, s * 0.1);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    double d = lw * 0.7;
    for (double x : {-0.55, -0.2, 0.15, 0.5}) {
      p.drawEllipse(P(x, -0.22), d, d);
      p.drawEllipse(P(x + 0.05, 0.06), d, d);
    }
    p.setPen(pen);
    p.drawLine(P(-0.35, 0.33), P(0.35, 0.33));
  } else if (name == "eraser") {
    QPainterPath e;
    e.moveTo(P(-0.15, 0.65));
    e.lineTo(P(-0.75, 0.05));
    e.lineTo(P(0.05, -0.75));
    e.lineTo(P(0.75, -0.05));
    e.lineTo(P(0.05, 0.65));
    e.closeSubpath();
    p.drawPath(e);
    p.drawLine(P(-0.35, -0.35), P(0.35, 0.35));
    p.drawLine(P(-0.15, 0.65), P(0.8, 0.65));
  } else if (name == "check") {
    QPainterPath t;
    t.moveTo(P(-0.7, 0.05));
    t.lineTo(P(-0.2, 0.55));
    t.lineTo(P(0.75, -0.5));
    pen.setWidthF(lw * 1.25);
    p.setPen(pen);
    p.drawPath(t);
  } else if (name == "apply") {
    // An arrow into a tray: the settings go into the keyboard.
    p.drawLine(P(0, -0.85), P(0, 0.25));
    p.drawLine(P(-0.4, -0.15), P(0, 0.25));
    p.drawLine(P(0.4, -0.15), P(0, 0.25));
    QPainterPath t;
    t.moveTo(P(-0.8, 0.2));
    t.lineTo(P(-0.8, 0.8));
    t.lineTo(P(0.8, 0.8));
    t.lineTo(P(0.8, 0.2));
    p.drawPath(t);
  } else if (name == "plus") {
    p.drawLine(P(-0.6, 0), P(0.6, 0));
    p.drawLine(P(0, -0.6), P(0, 0.6));
  } else if (name == "trash") {
    p.drawLine(P(-0.7, -0.5), P(0.7, -0.5));
    p.drawLine(P(-0.22, -0.75), P(0.22, -0.75));
    QPainterPath t;
    t.moveTo(P(-0.5, -0.5));
    t.lineTo(P(-0.4, 0.8));
    t.lineTo(P(0.4, 0.8));
    t.lineTo(P(0.5, -0.5));
    p.drawPath(t);
    p.drawLine(P(-0.12, -0.2), P(-0.12, 0.5));
    p.drawLine(P(0.12, -0.2), P(0.12, 0.5));
  } else if (name == "folder") {
    QPainterPath f;
    f.moveTo(P(-0.85, 0.7));
    f.lineTo(P(-0.85, -0.65));
    f.lineTo(P(-0.3, -0.65));
    f.lineTo(P(-0.15, -0.45));
    f.lineTo(P(0.85, -0.45));
    f.lineTo(P(0.85, 0.7));
    f.closeSubpath();
    p.drawPath(f);
    p.drawLine(P(-0.85, -0.2), P(0.85, -0.2));
  } else if (name == "save") {
    QPainterPath f;
    f.moveTo(P(-0.8, -0.8));
    f.lineTo(P(0.5, -0.8));
    f.lineTo(P(0.8, -0.5));
    f.lineTo(P(0.8, 0.8));
    f.lineTo(P(-0.8, 0.8));
    f.closeSubpath();
    p.drawPath(f);
    p.drawRect(QRectF(P(-0.4, -0.8), P(0.3, -0.35)));
    p.drawRect(QRectF(P(-0.5, 0.15), P(0.5, 0.8)));
  } else if (name == "bolt") {
    QPainterPath b;
    b.moveTo(P(0.15, -0.9));
    b.lineTo(P(-0.55, 0.1));
    b.lineTo(P(0.0, 0.1));
    b.lineTo(P(-0.15, 0.9));
    b.lineTo(P(0.55, -0.1));
    b.lineTo(P(0.0, -0.1));
    b.closeSubpath();
    p.setBrush(c);
    p.drawPath(b);
  } else if (name == "profiles") {
    p.drawRoundedRect(QRectF(P(-0.85, -0.35), P(0.55, 0.85)), s * 0.08, s * 0.08);
    p.drawLine(P(-0.6, -0.6), P(0.8, -0.6));
    p.drawLine(P(0.8, -0.6), P(0.8, 0.55));
    p.drawLine(P(-0.35, -0.85), P(0.95, -0.85));
  } else if (name == "chip") {
    p.drawRoundedRect(QRectF(P(-0.55, -0.55), P(0.55, 0.55)), s * 0.08, s * 0.08);
    p.drawRect(QRectF(P(-0.22, -0.22), P(0.22, 0.22)));
    for (double k : {-0.3, 0.0, 0.3}) {
      p.drawLine(P(k, -0.55), P(k, -0.85));
      p.drawLine(P(k, 0.55), P(k, 0.85));
      p.drawLine(P(-0.55, k), P(-0.85, k));
      p.drawLine(P(0.55, k), P(0.85, k));
    }
  } else if (name == "key") {
    p.drawRoundedRect(QRectF(P(-0.85, -0.85), P(0.85, 0.85)), s * 0.16, s * 0.16);
    p.drawRoundedRect(QRectF(P(-0.55, -0.6), P(0.55, 0.4)), s * 0.1, s * 0.1);
  } else if (name == "macro") {
    for (double y : {-0.55, -0.05, 0.45}) p.drawLine(P(-0.85, y), P(0.05, y));
    QPainterPath t;
    t.moveTo(P(0.3, -0.35));
    t.lineTo(P(0.9, 0.05));
    t.lineTo(P(0.3, 0.45));
    t.closeSubpath();
    p.setBrush(c);
    p.drawPath(t);
  } else if (name == "media") {
    p.drawLine(P(-0.3, 0.55), P(-0.3, -0.7));
    p.drawLine(P(-0.3, -0.7), P(0.7, -0.9));
    p.drawLine(P(0.7, -0.9), P(0.7, 0.35));
    p.setBrush(c);
    p.drawEllipse(P(-0.5, 0.6), s * 0.16, s * 0.13);
    p.drawEllipse(P(0.5, 0.4), s * 0.16, s * 0.13);
  } else if (name == "function") {
    p.drawRoundedRect(QRectF(P(-0.85, -0.85), P(0.85, 0.85)), s * 0.16, s * 0.16);
    QFont f = UiFont(std::max(6, int(s * 0.5)), true);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("Fn"));
  } else if (name == "arrowup" || name == "arrowdown" || name == "arrowleft" || name == "arrowright") {
    QPainterPath a;
    a.moveTo(P(-0.5, 0.25));
    a.lineTo(P(0, -0.3));
    a.lineTo(P(0.5, 0.25));
    QTransform rot;
    double angle = name == "arrowup" ? 0 : name == "arrowdown" ? 180 : name == "arrowleft" ? 270 : 90;
    rot.translate(o.x(), o.y());
    rot.rotate(angle);
    rot.translate(-o.x(), -o.y());
    pen.setWidthF(lw * 1.3);
    p.setPen(pen);
    p.drawPath(rot.map(a));
  } else if (name == "spread" || name == "converge") {
    bool out = name == "spread";
    p.drawLine(P(0, -0.7), P(0, 0.7));
    for (double side : {-1.0, 1.0}) {
      double tip = out ? side * 0.9 : side * 0.2;
      double tail = out ? side * 0.25 : side * 0.95;
      p.drawLine(P(tail, 0), P(tip, 0));
      double back = out ? -side * 0.3 : side * 0.3;
      p.drawLine(P(tip, 0), P(tip + back, -0.3));
      p.drawLine(P(tip, 0), P(tip + back, 0.3));
    }
  } else if (name == "brush") {
    QPainterPath b;
    b.moveTo(P(0.75, -0.85));
    b.lineTo(P(-0.05, 0.05));
    p.drawPath(b);
    QPainterPath tip;
    tip.moveTo(P(-0.05, 0.05));
    tip.cubicTo(P(-0.35, -0.1), P(-0.6, 0.2), P(-0.55, 0.5));
    tip.cubicTo(P(-0.55, 0.75), P(-0.75, 0.8), P(-0.85, 0.85));
    tip.cubicTo(P(-0.3, 0.95), P(0.1, 0.6), P(-0.05, 0.05));
    p.setBrush(c);
    p.drawPath(tip);
  }
  p.restore();
}

// ------------------------------------------------------------------ lighting bitmaps

void Kit::Slider(QPainter& p, const QRect& r, double knob_x) const {
  // A thin track across the whole picture, filled up to the knob, and an upright knob whose
  // middle is the pixel column knob_x (in pixels from the picture's left edge).
  const double cy = r.top() + r.height() / 2.0;
  const double x = r.left() + std::clamp(knob_x, 0.0, double(r.width() - 1)) + 0.5;
  RoundFill(p, QRectF(r.left(), cy - 2, r.width(), 4), 2, QColor(0x2a, 0x2e, 0x37));
  RoundFill(p, QRectF(r.left(), cy - 2, x - r.left(), 4), 2, t_.accent);
  const double w = 6, h = r.height() - 4;
  RoundFill(p, QRectF(x - w / 2, cy - h / 2, w, h), 3, QColor(0xf2, 0xf5, 0xf9), t_.accent);
}

void Kit::AllKeys(QPainter& p, const QRect& r, bool lit, bool on) const {
  // A keycap, dark or lit, in a ring that is accented while its state is the chosen one.
  QRectF box = QRectF(r).adjusted(1, 1, -1, -1);
  RoundFill(p, box, 5, on ? Mix(t_.card, t_.accentFill, 0.35) : QColor(0x1f, 0x22, 0x29),
            on ? t_.accent : QColor(0x4a, 0x50, 0x5c));
  QRectF cap = box.adjusted(box.width() * 0.22, box.height() * 0.22, -box.width() * 0.22, -box.height() * 0.22);
  if (lit) {
    RoundFill(p, cap, 2.5, QColor(0xff, 0xff, 0xff), t_.accent);
  } else {
    RoundFill(p, cap, 2.5, QColor(0x14, 0x16, 0x1b), QColor(0x5a, 0x60, 0x6c));
  }
}

void Kit::Toggle(QPainter& p, const QRect& r, bool on) const {
  QRectF track = QRectF(r).adjusted(1, 2, -1, -2);
  double radius = track.height() / 2;
  RoundFill(p, track, radius, on ? t_.accentFill : QColor(0x2c, 0x30, 0x39), on ? t_.accent : QColor(0x3a, 0x3f, 0x49));
  double knob = radius - 3;
  double cx = on ? track.right() - radius : track.left() + radius;
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(on ? QColor(255, 255, 255) : t_.dim);
  p.drawEllipse(QPointF(cx, track.center().y()), knob, knob);
  p.restore();
}

void Kit::Radio(QPainter& p, const QRect& r, bool on) const {
  QPointF c = QRectF(r).center();
  double radius = std::min(r.width(), r.height()) / 2.0 - 2;
  p.save();
  p.setPen(QPen(on ? t_.accent : QColor(0x4a, 0x50, 0x5c), 2));
  p.setBrush(on ? Mix(t_.card, t_.accentFill, 0.3) : QColor(0x1f, 0x22, 0x29));
  p.drawEllipse(c, radius, radius);
  if (on) {
    p.setPen(Qt::NoPen);
    p.setBrush(t_.accent);
    p.drawEllipse(c, radius * 0.45, radius * 0.45);
  }
  p.restore();
}

void Kit::ToolTile(QPainter& p, const QRect& r, const std::string& icon, bool on) const {
  QRectF box = Crisp(r).adjusted(0, 0, 0, 0);
  RoundFill(p, box, 7, on ? t_.accentFill : QColor(0x24, 0x28, 0x2f), on ? t_.accent : QColor(0x31, 0x36, 0x40));
  double s = std::min(r.width(), r.height()) * 0.55;
  Icon(p, icon, QRectF(box.center().x() - s / 2, box.center().y() - s / 2, s, s),
       on ? QColor(255, 255, 255) : t_.dim);
}

void Kit::Spinner(QPainter& p, const QRect& r, int frame) const {
  QRectF box = QRectF(r).adjusted(4, 4, -4, -4);
  p.save();
  p.setPen(QPen(QColor(0x2c, 0x30, 0x39), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawEllipse(box);
  p.setPen(QPen(t_.accent, 3, Qt::SolidLine, Qt::RoundCap));
  int start = 90 - frame * 36;  // ten frames, one full turn
  p.drawArc(box, start * 16, -100 * 16);
  p.restore();
}

// ------------------------------------------------------------------ program icons

QImage Kit::ProgramIcon(int resource, int size) const {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const double s = size;
  // A keyboard seen from above: a wide body with rows of light keys and a space bar. Small icons
  // get fewer, larger keys on whole pixels, so they stay keys rather than a grey smear.
  const bool small = size < 32;
  const int columns = small ? 4 : 7;
  const int rows = small ? 2 : 3;
  const double margin = small ? 0.0 : std::round(s * 0.04);
  const double body_w = s - 2 * margin;
  const double body_h = std::round(body_w * (small ? 0.72 : 0.62));
  const QRectF body(margin, std::round((s - body_h) / 2), body_w, body_h);
  QLinearGradient g(body.topLeft(), body.bottomLeft());
  g.setColorAt(0, QColor(0x34, 0x3a, 0x46));
  g.setColorAt(1, QColor(0x1a, 0x1d, 0x24));
  p.setPen(small ? Qt::NoPen : QPen(QColor(0x0b, 0x0c, 0x10), std::max(1.0, s / 48)));
  p.setBrush(g);
  p.drawRoundedRect(body, std::max(1.5, s * 0.09), std::max(1.5, s * 0.09));
  // Keys: columns x rows, then the space bar under the middle keys. The border round the keys is
  // at least one pixel, the gap between them at least one pixel.
  const double pad = std::max(1.0, std::round(s * 0.08));
  const double gap = std::max(1.0, std::round(s * 0.035));
  const QRectF keys = body.adjusted(pad, pad, -pad, -pad);
  const double kw = (keys.width() - gap * (columns - 1)) / columns;
  const double kh = (keys.height() - gap * rows) / (rows + 1);
  const double round = std::max(0.5, kw * 0.18);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xdf, 0xe3, 0xea));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c)
      p.drawRoundedRect(QRectF(keys.left() + c * (kw + gap), keys.top() + r * (kh + gap), kw, kh), round, round);
  const double space_left = keys.left() + (kw + gap) * (small ? 1 : 2);
  const double space_right = keys.right() - (kw + gap) * (small ? 1 : 2);
  p.setBrush(t_.accent);
  p.drawRoundedRect(QRectF(space_left, keys.top() + rows * (kh + gap), space_right - space_left, kh), round, round);
  if (resource == 141 || resource == 142) {
    // The keyboard's state: green while it is connected, amber while it shows its special state.
    const QColor dot = resource == 141 ? t_.good : t_.warn;
    const double d = std::max(6.0, std::round(s * 0.42));
    const QRectF badge(s - d, s - d, d, d);
    p.setPen(QPen(QColor(0x11, 0x13, 0x18), std::max(1.0, s / 20)));
    p.setBrush(dot);
    p.drawEllipse(badge.adjusted(0.5, 0.5, -0.5, -0.5));
  }
  p.end();
  return img;
}

}  // namespace orvane::skingen
