// Drawing of the skin's parts: the theme, button faces in each visual state, icons, the lighting
// panel's small bitmaps and the program icons. Everything is vector drawing into QImages, so the
// same input always gives the same pixels.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <map>
#include <string>
#include <vector>

namespace orvane::skingen {

struct Theme {
  QColor window, header, card, border, cap, capTop, capEdge, text, dim, faint, accent, accentFill, danger, good,
      warn, paper;
  // Fills the colours from name -> "#rrggbb"; false (with the missing name) when one is absent.
  bool Load(const std::map<std::string, std::string>& colours, std::string& missing);
};

// How a button looks in one picture.
enum class Visual { Normal, Hover, Pressed, Selected, Disabled };

// Which alternative picture set a face is drawn for (the composite dialog's panels).
enum class Variant { Plain, Key, Macro, Macro2, Media, Function };

QFont UiFont(int pixel_size, bool bold = false);

class Kit {
 public:
  explicit Kit(const Theme& theme) : t_(theme) {}
  const Theme& theme() const { return t_; }

  // Decoration of backgrounds.
  void Card(QPainter& p, const QRect& r) const;
  void Rule(QPainter& p, const QRect& r) const;
  void Field(QPainter& p, const QRect& r) const;
  // A light panel for dark text, with an accent edge at its top.
  void Sheet(QPainter& p, const QRect& r) const;
  // The inside of a sunken field; plain controls drawn there (edits, lists) use it as their base.
  QColor FieldColour() const;
  void Title(QPainter& p, int x, int y, int size, const QString& text) const;
  void WindowFrame(QPainter& p, int w, int h) const;

  // One button face. style and args come from the layout source.
  void Face(QPainter& p, const QRect& r, const std::string& style, const std::vector<std::string>& args, Visual v,
            Variant variant) const;

  // Named icon drawn centred in r with colour c.
  void Icon(QPainter& p, const std::string& name, const QRectF& r, const QColor& c) const;

  // Lighting-panel bitmaps, drawn over a copy of what lies beneath them.
  // A slider level: the knob's middle at pixel column knob_x of the picture.
  void Slider(QPainter& p, const QRect& r, double knob_x) const;
  // "All keys off" (lit false) or "all keys on" (lit true), chosen (on) or not.
  void AllKeys(QPainter& p, const QRect& r, bool lit, bool on) const;
  void Toggle(QPainter& p, const QRect& r, bool on) const;
  void Radio(QPainter& p, const QRect& r, bool on) const;
  void ToolTile(QPainter& p, const QRect& r, const std::string& icon, bool on) const;
  void Spinner(QPainter& p, const QRect& r, int frame) const;

  // Program icon: resource 128 plain, 141 with a "present" dot, 142 with a "special state" dot.
  QImage ProgramIcon(int resource, int size) const;

 private:
  // upper is empty for a key with one legend.
  void Keycap(QPainter& p, const QRect& r, const QString& upper, const QString& lower, Visual v, bool gkey) const;
  void Pill(QPainter& p, const QRect& r, Visual v, bool primary) const;
  void IconButton(QPainter& p, const QRect& r, const std::string& icon, Visual v) const;
  void Chip(QPainter& p, const QRect& r, const QString& label, Visual v) const;
  void Lock(QPainter& p, const QRect& r, const QString& label, Visual v) const;
  void Logo(QPainter& p, const QRect& r, Visual v) const;
  void Pictogram(QPainter& p, const QRect& r, const std::string& icon, Visual v, bool primary) const;
  void Labelled(QPainter& p, const QRect& r, const std::string& icon, const QString& text, Visual v,
                bool primary) const;
  void Tab(QPainter& p, const QRect& r, Visual v) const;
  void Panel(QPainter& p, const QRect& r, Variant variant) const;
  void Record(QPainter& p, const QRect& r, Visual v) const;
  void FlipBase(QPainter& p, const QRect& r, const QString& label, Visual v) const;

  Theme t_;
};

}  // namespace orvane::skingen
