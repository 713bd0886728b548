#include "ui/skin/theme.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolTip>

#include "platform/ini_file.h"
#include "platform/paths.h"

namespace orvane {

namespace {

struct Field {
  const char* key;
  QColor SkinTheme::*colour;
};

constexpr Field kFields[] = {
    {"window", &SkinTheme::window}, {"card", &SkinTheme::card},     {"field", &SkinTheme::field},
    {"border", &SkinTheme::border}, {"cap", &SkinTheme::cap},       {"capTop", &SkinTheme::capTop},
    {"text", &SkinTheme::text},     {"dim", &SkinTheme::dim},       {"faint", &SkinTheme::faint},
    {"accent", &SkinTheme::accent}, {"accentFill", &SkinTheme::accentFill}, {"paper", &SkinTheme::paper},
};

QString Hex(const QColor& c) { return c.name(QColor::HexRgb); }

QColor Mix(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t), float(a.greenF() * (1 - t) + b.greenF() * t),
                          float(a.blueF() * (1 - t) + b.blueF() * t));
}

// Fusion with the indicators drawn in the theme's colours: Fusion outlines them a shade darker
// than the window, which vanishes on a dark one.
class ThemeStyle : public QProxyStyle {
 public:
  explicit ThemeStyle(const SkinTheme& theme) : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), t_(theme) {}

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    switch (element) {
      case PE_IndicatorCheckBox:
        DrawCheck(option, painter);
        return;
      case PE_IndicatorRadioButton:
        DrawRadio(option, painter);
        return;
      case PE_IndicatorSpinUp:
      case PE_IndicatorSpinPlus:
        DrawArrow(PE_IndicatorArrowUp, option, painter);
        return;
      case PE_IndicatorSpinDown:
      case PE_IndicatorSpinMinus:
        DrawArrow(PE_IndicatorArrowDown, option, painter);
        return;
      case PE_IndicatorArrowDown:
      case PE_IndicatorArrowUp:
      case PE_IndicatorArrowLeft:
      case PE_IndicatorArrowRight:
        DrawArrow(element, option, painter);
        return;
      default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
  }

 private:
  bool Enabled(const QStyleOption* o) const { return o->state & State_Enabled; }
  bool Hot(const QStyleOption* o) const { return Enabled(o) && (o->state & (State_MouseOver | State_HasFocus)); }

  // The indicator's square, centred in the option's rectangle.
  static QRectF Box(const QStyleOption* o, qreal size) {
    const qreal side = std::min<qreal>(size, std::min(o->rect.width(), o->rect.height()));
    QRectF r(0, 0, side - 1, side - 1);
    r.moveCenter(QRectF(o->rect).center());
    return r;
  }

  void DrawCheck(const QStyleOption* o, QPainter* p) const {
    const bool on = o->state & State_On, partial = o->state & State_NoChange;
    const QRectF r = Box(o, 14);
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    const QColor edge = !Enabled(o) ? t_.border : (on || partial || Hot(o)) ? t_.accent : t_.dim;
    p->setPen(QPen(edge, 1.0));
    p->setBrush(on && Enabled(o) ? t_.accentFill : t_.field);
    p->drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    const QColor mark = Enabled(o) ? QColor(0xff, 0xff, 0xff) : t_.faint;
    if (on) {
      QPainterPath tick;
      tick.moveTo(r.left() + r.width() * 0.24, r.top() + r.height() * 0.52);
      tick.lineTo(r.left() + r.width() * 0.43, r.top() + r.height() * 0.72);
      tick.lineTo(r.left() + r.width() * 0.77, r.top() + r.height() * 0.3);
      p->setPen(QPen(mark, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p->setBrush(Qt::NoBrush);
      p->drawPath(tick);
    } else if (partial) {
      p->setPen(QPen(t_.accent, 2.0, Qt::SolidLine, Qt::RoundCap));
      p->drawLine(QPointF(r.left() + r.width() * 0.28, r.center().y()), QPointF(r.right() - r.width() * 0.28, r.center().y()));
    }
    p->restore();
  }

  void DrawRadio(const QStyleOption* o, QPainter* p) const {
    const bool on = o->state & State_On;
    const QRectF r = Box(o, 14);
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    const QColor edge = !Enabled(o) ? t_.border : (on || Hot(o)) ? t_.accent : t_.dim;
    p->setPen(QPen(edge, 1.0));
    p->setBrush(t_.field);
    p->drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    if (on) {
      p->setPen(Qt::NoPen);
      p->setBrush(Enabled(o) ? t_.accent : t_.faint);
      const qreal inset = r.width() * 0.3;
      p->drawEllipse(r.adjusted(inset, inset, -inset, -inset));
    }
    p->restore();
  }

  void DrawArrow(PrimitiveElement element, const QStyleOption* o, QPainter* p) const {
    const QRectF r = Box(o, 9);
    QPolygonF shape;
    const QPointF c = r.center();
    const qreal h = r.width() * 0.3, w = r.width() * 0.5;
    switch (element) {
      case PE_IndicatorArrowUp: shape << QPointF(c.x() - w, c.y() + h) << QPointF(c.x() + w, c.y() + h) << QPointF(c.x(), c.y() - h); break;
      case PE_IndicatorArrowLeft: shape << QPointF(c.x() + h, c.y() - w) << QPointF(c.x() + h, c.y() + w) << QPointF(c.x() - h, c.y()); break;
      case PE_IndicatorArrowRight: shape << QPointF(c.x() - h, c.y() - w) << QPointF(c.x() - h, c.y() + w) << QPointF(c.x() + h, c.y()); break;
      default: shape << QPointF(c.x() - w, c.y() - h) << QPointF(c.x() + w, c.y() - h) << QPointF(c.x(), c.y() + h); break;
    }
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setPen(Qt::NoPen);
    p->setBrush(!Enabled(o) ? t_.faint : Hot(o) || (o->state & State_Sunken) ? t_.accent : t_.dim);
    p->drawPolygon(shape);
    p->restore();
  }

  SkinTheme t_;
};

}  // namespace

SkinTheme DefaultSkinTheme() {
  SkinTheme t;
  t.window = QColor(0x11, 0x13, 0x18);
  t.card = QColor(0x1a, 0x1d, 0x23);
  t.field = QColor(0x0d, 0x0e, 0x12);
  t.border = QColor(0x27, 0x2b, 0x33);
  t.cap = QColor(0x2a, 0x2e, 0x37);
  t.capTop = QColor(0x32, 0x37, 0x42);
  t.text = QColor(0xdf, 0xe3, 0xea);
  t.dim = QColor(0x8a, 0x92, 0xa0);
  t.faint = QColor(0x54, 0x5b, 0x68);
  t.accent = QColor(0x2b, 0xb8, 0xf0);
  t.accentFill = QColor(0x16, 0x83, 0xb8);
  t.paper = QColor(0xe8, 0xec, 0xf1);
  return t;
}

SkinTheme LoadSkinTheme(const std::string& skin_folder, bool* complete) {
  SkinTheme theme = DefaultSkinTheme();
  const std::string path = JoinPath(skin_folder, kThemeFileName);
  bool all = true;
  for (const Field& f : kFields) {
    const std::string value = IniReadString(path, kThemeSection, f.key, "");
    // Only "#rrggbb": colour names and other forms Qt would accept are not part of the format.
    const QColor colour(QString::fromStdString(value));
    if (value.size() == 7 && value[0] == '#' && colour.isValid())
      theme.*f.colour = colour;
    else
      all = false;
  }
  if (complete != nullptr) *complete = all;
  return theme;
}

QPalette ThemePalette(const SkinTheme& t) {
  QPalette p;
  const QColor white(0xff, 0xff, 0xff);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const bool off = group == QPalette::Disabled;
    p.setColor(group, QPalette::Window, t.window);
    p.setColor(group, QPalette::WindowText, off ? t.faint : t.text);
    p.setColor(group, QPalette::Base, off ? t.window : t.field);
    p.setColor(group, QPalette::AlternateBase, t.card);
    p.setColor(group, QPalette::ToolTipBase, t.card);
    p.setColor(group, QPalette::ToolTipText, t.text);
    p.setColor(group, QPalette::PlaceholderText, t.faint);
    p.setColor(group, QPalette::Text, off ? t.faint : t.text);
    p.setColor(group, QPalette::Button, t.cap);
    p.setColor(group, QPalette::ButtonText, off ? t.faint : t.text);
    p.setColor(group, QPalette::BrightText, white);
    p.setColor(group, QPalette::Light, t.capTop);
    p.setColor(group, QPalette::Midlight, Mix(t.cap, t.capTop, 0.5));
    p.setColor(group, QPalette::Mid, t.border);
    p.setColor(group, QPalette::Dark, t.field);
    p.setColor(group, QPalette::Shadow, QColor(0, 0, 0));
    p.setColor(group, QPalette::Highlight, off ? t.border : t.accentFill);
    p.setColor(group, QPalette::HighlightedText, off ? t.dim : white);
    p.setColor(group, QPalette::Link, t.accent);
    p.setColor(group, QPalette::LinkVisited, Mix(t.accent, t.dim, 0.5));
  }
  return p;
}

QString ThemeStyleSheet(const SkinTheme& t) {
  // Only native controls are styled: labels, image buttons and the skinned dialogs paint themselves
  // (a rule for QLabel would override the colours the colour labels set).
  QString s = QStringLiteral(R"(
QLineEdit, QPlainTextEdit, QTextEdit {
  background: @field; color: @text; border: 1px solid @border; border-radius: 4px;
  selection-background-color: @accentFill; selection-color: #ffffff;
}
QLineEdit { padding: 2px 6px; min-height: 18px; }
QLineEdit:hover, QPlainTextEdit:hover, QTextEdit:hover { border-color: @dim; }
QLineEdit:focus, QPlainTextEdit:focus, QTextEdit:focus { border-color: @accent; }
QLineEdit:disabled, QPlainTextEdit:disabled, QTextEdit:disabled { color: @faint; background: @window; }
QComboBox QLineEdit, QAbstractSpinBox QLineEdit { border: none; border-radius: 0; padding: 0; background: transparent; }
QComboBox QAbstractItemView {
  background: @card; color: @text; border: 1px solid @border; outline: 0;
  selection-background-color: @accentFill; selection-color: #ffffff;
}
QAbstractItemView {
  background: @field; alternate-background-color: @card; color: @text; border: 1px solid @border;
  selection-background-color: @accentFill; selection-color: #ffffff; outline: 0;
}
QAbstractItemView:focus { border-color: @accent; }
QAbstractItemView:disabled { color: @faint; }
QHeaderView::section {
  background: @card; color: @dim; border: none; border-right: 1px solid @border;
  border-bottom: 1px solid @border; padding: 3px 6px;
}
QTableCornerButton::section { background: @card; border: none; }
QCheckBox, QRadioButton { color: @text; spacing: 6px; background: transparent; }
QCheckBox:disabled, QRadioButton:disabled { color: @faint; }
QScrollBar:vertical { background: @window; width: 10px; margin: 0; border: none; }
QScrollBar:horizontal { background: @window; height: 10px; margin: 0; border: none; }
QScrollBar::handle:vertical { background: @cap; border-radius: 4px; min-height: 24px; margin: 1px; }
QScrollBar::handle:horizontal { background: @cap; border-radius: 4px; min-width: 24px; margin: 1px; }
QScrollBar::handle:hover { background: @faint; }
QScrollBar::handle:pressed { background: @accentFill; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
QToolTip { background: @card; color: @text; border: 1px solid @border; padding: 3px 6px; }
QMenu { background: @card; color: @text; border: 1px solid @border; padding: 4px 0; }
QMenu::item { padding: 5px 22px 5px 18px; background: transparent; }
QMenu::item:selected { background: @accentFill; color: #ffffff; }
QMenu::item:disabled { color: @faint; }
QMenu::separator { height: 1px; background: @border; margin: 4px 8px; }
QMessageBox, QFileDialog, QInputDialog, QProgressDialog { background: @window; }
QMessageBox QLabel, QFileDialog QLabel, QInputDialog QLabel { color: @text; }
QPushButton {
  background: @cap; color: @text; border: 1px solid @border; border-radius: 5px;
  padding: 5px 16px; min-width: 64px;
}
QPushButton:hover { background: @capTop; border-color: @dim; }
QPushButton:pressed { background: @accentFill; color: #ffffff; }
QPushButton:default, QPushButton:focus { border-color: @accent; }
QPushButton:disabled { color: @faint; background: @window; }
QToolButton { background: transparent; color: @text; border: 1px solid transparent; border-radius: 4px; padding: 2px; }
QToolButton:hover { background: @cap; border-color: @border; }
QToolButton:checked, QToolButton:pressed { background: @accentFill; }
QGroupBox { color: @dim; border: 1px solid @border; border-radius: 6px; margin-top: 10px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; }
QSplitter::handle { background: @border; }
)");
  const std::pair<const char*, QColor> colours[] = {
      {"@window", t.window}, {"@card", t.card},     {"@field", t.field},     {"@border", t.border},
      {"@capTop", t.capTop}, {"@cap", t.cap},       {"@text", t.text},       {"@dim", t.dim},
      {"@faint", t.faint},   {"@accentFill", t.accentFill}, {"@accent", t.accent},
  };
  // Longer names first where one starts with another (capTop/cap, accentFill/accent).
  for (const auto& [name, colour] : colours) s.replace(QLatin1String(name), Hex(colour));
  return s;
}

void ApplySkinTheme(QApplication& app, const SkinTheme& theme) {
  // Fusion draws everything from the palette, whatever the desktop's style.
  app.setStyle(new ThemeStyle(theme));
  // The desktop's file dialogs would come in its own (light) theme.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
  const QPalette palette = ThemePalette(theme);
  app.setPalette(palette);
  QToolTip::setPalette(palette);
  app.setStyleSheet(ThemeStyleSheet(theme));
}

void ApplySkinTheme(QApplication& app, const std::string& skin_folder) {
  ApplySkinTheme(app, LoadSkinTheme(skin_folder));
}

}  // namespace orvane
