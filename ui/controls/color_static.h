// Labels drawn over skin pictures: ColorStatic, text in a chosen colour on a transparent
// background with a font size of its own; CHyperLink, a link label that underlines on hover,
// shows its address as a tooltip, opens it through the desktop (with a fallback to the user's
// browser command) and turns to the visited colour only when that worked.
#pragma once

#include <QCursor>
#include <QLabel>
#include <functional>
#include <optional>
#include <string>

#include "ui/skin/window_message.h"

class QTimer;

namespace orvane {

class IPrompt;

class ColorStatic : public QLabel {
  Q_OBJECT
 public:
  explicit ColorStatic(QWidget* parent = nullptr);

  void SetTextColor(ColorRef colour);
  ColorRef textColor() const { return colour_; }
  // A font of its own, with a character height of `size` pixels.
  void SetFontSize(int size);

 private:
  ColorRef colour_ = 0xFFFFFF;
};

// A skinned dialog's heading, beside its icon: the skin leaves the room and draws no words, so the
// heading is a label in the program's language (the caller sets its text), bold, 15 pixels high,
// in the theme's text colour.
ColorStatic* NewDialogHeading(QWidget* dialog);

// Why a link could not be opened, for a shell result code.
std::string HyperLinkErrorReason(int result);
// The whole message shown when a link cannot be opened.
std::string HyperLinkErrorText(int result);
// The command line that opens the address with a browser command: cut at the first placeholder
// ("%1", or "%s" as browser commands write it), with the quote before it when it is quoted, then
// a blank and the address.
std::string BrowserCommandLine(const std::string& command, const std::string& address);

class CHyperLink : public QLabel {
  Q_OBJECT
 public:
  // How a click reaches the desktop; tests and other platforms replace it.
  struct Shell {
    // Opens the address; a result above 32 is success.
    std::function<int(const std::string& address)> open;
    // The user's browser command line with "%1" or "%s" where the address goes, or nothing.
    std::function<std::optional<std::string>()> browser_command;
    // Starts a command line; a result above 32 is success.
    std::function<int(const std::string& command_line)> run;
  };
  static Shell DefaultShell();

  explicit CHyperLink(QWidget* parent = nullptr);
  ~CHyperLink() override;

  void SetURL(const std::string& address);
  const std::string& url() const { return address_; }
  // 1 always underlined, 0 never, -1 while the mouse is over it.
  void SetUnderline(int mode);
  int underline() const { return underline_; }
  void SetAutoSize(bool fit);
  // A null cursor brings back the hand cursor.
  void SetLinkCursor(const std::optional<QCursor>& cursor);
  void SetColours(ColorRef link, ColorRef visited, ColorRef hover);
  void SetVisited(bool visited);
  void SetShell(Shell shell) { shell_ = std::move(shell); }
  // Where failures are reported; without one a message box is shown.
  void SetPrompt(IPrompt* prompt) { prompt_ = prompt; }

  // Takes over the control once its text is known: an empty address becomes the text and an
  // empty text the address; fonts, size, cursor and tooltip are set up. Done by the first show
  // if nobody called it.
  void Attach();
  // What a click does: opens the address, returns the result (above 32 is success).
  int Open();

  bool hovering() const { return hovering_; }
  bool visited() const { return visited_; }
  ColorRef currentColour() const;
  bool underlined() const { return font().underline(); }
  QString toolTipText() const { return toolTip(); }

  // Refits the control to its text, keeping the edge or centre its alignment anchors.
  void FitToText();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void StartHover();
  void CheckHover();
  void ApplyFonts();
  void ReportFailure(int result);

  std::string address_;
  ColorRef link_colour_ = 0xEE0000;
  ColorRef visited_colour_ = 0x8B1A55;
  ColorRef hover_colour_ = 0x0000FF;
  bool hovering_ = false;
  bool visited_ = false;
  int underline_ = -1;
  bool fit_ = true;
  bool attached_ = false;
  QTimer* hover_timer_;
  QPoint last_mouse_{-1, -1};
  std::optional<QCursor> cursor_;
  QFont normal_font_;
  QFont underline_font_;
  Shell shell_;
  IPrompt* prompt_ = nullptr;
};

}  // namespace orvane
