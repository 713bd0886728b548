// The macro memory meter of the macro panel: a bar that shows how many bytes of the keyboard's
// macro memory the macro list would take when applied, of how many there are. Its mark follows
// the fit: plain while the macros fit with their names, amber when they fit only without names
// (Apply then writes them without, "EXTRA_PROFILE_SPACE_TIGHT"), red when they do not fit at all
// (Apply writes nothing, "EXTRA_MACRO_TOO_LONG"). The panel gives it the figures from the
// model's own sizing (MacroMemoryUseOf) and the texts from the language file.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "model/macro.h"

namespace orvane {

class CMacroMeter : public QWidget {
  Q_OBJECT
 public:
  explicit CMacroMeter(QWidget* parent = nullptr);

  // The figures, the text written on the bar and the tooltip.
  void SetUse(const MacroMemoryUse& use, const QString& text, const QString& tooltip);
  const MacroMemoryUse& use() const { return use_; }
  QString text() const { return text_; }
  // Share of the bar that is filled, 0 to 1 (1 also when nothing is available).
  double fraction() const;
  // Colours of the bar's fill for each fit; the skin's accent, warning and danger colours.
  void SetColours(QColor fits, QColor tight, QColor too_long, QColor track, QColor text);
  QColor fillColour() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  MacroMemoryUse use_;
  QString text_;
  QColor fits_{0x2b, 0xb8, 0xf0};
  QColor tight_{0xf5, 0xa5, 0x24};
  QColor too_long_{0xe5, 0x48, 0x4d};
  QColor track_{0x1a, 0x1d, 0x23};
  QColor text_colour_{0xe4, 0xe4, 0xe4};
};

}  // namespace orvane
