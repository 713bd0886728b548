#include "ui/controls/color_static.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <cstdlib>
#include <vector>

#include "platform/prompt.h"
#include "platform/shell.h"

namespace orvane {

namespace {
// As the skin's theme: its text colour (#dfe3ea) and heading size.
constexpr ColorRef kDialogHeadingColour = Rgb(0xDF, 0xE3, 0xEA);
constexpr int kDialogHeadingPixels = 15;
}  // namespace

// ---- ColorStatic ----------------------------------------------------------------------------

ColorStatic::ColorStatic(QWidget* parent) : QLabel(parent) {
  // A plain static: text from the top left, wrapped at word boundaries, nothing painted under it.
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setWordWrap(true);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
  SetTextColor(colour_);
}

void ColorStatic::SetTextColor(ColorRef colour) {
  colour_ = colour;
  QPalette p = palette();
  p.setColor(QPalette::WindowText, ToQColor(colour));
  p.setColor(QPalette::Text, ToQColor(colour));
  setPalette(p);
  if (isVisible()) repaint();
}

ColorStatic* NewDialogHeading(QWidget* dialog) {
  auto* heading = new ColorStatic(dialog);
  heading->SetTextColor(kDialogHeadingColour);
  QFont f = heading->font();
  f.setPixelSize(kDialogHeadingPixels);
  f.setBold(true);
  heading->setFont(f);
  heading->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  heading->setWordWrap(false);
  return heading;
}

void ColorStatic::SetFontSize(int size) {
  QFont f = font();
  f.setPixelSize(size > 0 ? size : 1);
  setFont(f);
  if (isVisible()) repaint();
}

// ---- CHyperLink -----------------------------------------------------------------------------

namespace {

constexpr int kHoverTimerMs = 100;
constexpr const char* kUnableToOpen = "Unable to open hyperlink:\n\n";

// Splits a command line at blanks, keeping double-quoted pieces together.
std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> parts;
  std::string current;
  bool quoted = false, have = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      have = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (have) parts.push_back(current);
      current.clear();
      have = false;
    } else {
      current += c;
      have = true;
    }
  }
  if (have) parts.push_back(current);
  return parts;
}

}  // namespace

std::string HyperLinkErrorReason(int result) {
  switch (result) {
    case 0: return "The operating system is out\nof memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied\naccess to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred. ";
    case 27: return "The filename association is\nincomplete or invalid.";
    case 28: return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
      return "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
    case 31: return "There is no application associated\nwith the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return "Unknown Error (" + std::to_string(result) + ") occurred.";
  }
}

std::string HyperLinkErrorText(int result) { return kUnableToOpen + HyperLinkErrorReason(result); }

std::string BrowserCommandLine(const std::string& command, const std::string& address) {
  size_t cut = std::string::npos;
  for (const char* placeholder : {"\"%1\"", "\"%s\""}) {
    const size_t at = command.find(placeholder);
    if (at != std::string::npos && at < cut) cut = at;
  }
  if (cut == std::string::npos) {
    for (const char* placeholder : {"%1", "%s"}) {
      const size_t at = command.find(placeholder);
      if (at != std::string::npos && at < cut) cut = at;
    }
  }
  std::string line = cut == std::string::npos ? command : command.substr(0, cut);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line + " " + address;
}

CHyperLink::Shell CHyperLink::DefaultShell() {
  Shell shell;
  shell.open = [](const std::string& address) { return ShellOpen(address); };
  shell.browser_command = [] { return PreferredBrowser(); };
  shell.run = [](const std::string& line) {
    std::vector<std::string> parts = SplitCommandLine(line);
    if (parts.empty()) return kShellFileNotFound;
    const std::string program = parts.front();
    parts.erase(parts.begin());
    return StartDetached(program, parts);
  };
  return shell;
}

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent), hover_timer_(new QTimer(this)), shell_(DefaultShell()) {
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setMouseTracking(true);
  // The background is erased with the button face; the text is drawn over it.
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, p.color(QPalette::Button));
  setPalette(p);
  hover_timer_->setInterval(kHoverTimerMs);
  connect(hover_timer_, &QTimer::timeout, this, &CHyperLink::CheckHover);
}

CHyperLink::~CHyperLink() { hover_timer_->stop(); }

void CHyperLink::Attach() {
  if (attached_) return;
  attached_ = true;
  if (address_.empty()) address_ = text().toStdString();
  if (text().isEmpty()) setText(QString::fromStdString(address_));
  normal_font_ = font();
  underline_font_ = normal_font_;
  underline_font_.setUnderline(true);
  FitToText();
  if (!cursor_) SetLinkCursor(std::nullopt);
  ApplyFonts();
  setToolTip(QString::fromStdString(address_));
}

void CHyperLink::showEvent(QShowEvent* event) {
  Attach();
  QLabel::showEvent(event);
}

void CHyperLink::SetURL(const std::string& address) {
  address_ = address;
  if (attached_) {
    FitToText();
    setToolTip(QString::fromStdString(address_));
  }
}

void CHyperLink::ApplyFonts() { setFont(underline_ == 1 || (underline_ == -1 && hovering_) ? underline_font_ : normal_font_); }

void CHyperLink::SetUnderline(int mode) {
  underline_ = mode;
  if (attached_) {
    setFont(mode == 1 ? underline_font_ : normal_font_);
    update();
  }
}

void CHyperLink::SetAutoSize(bool fit) {
  fit_ = fit;
  if (attached_) FitToText();
}

void CHyperLink::SetLinkCursor(const std::optional<QCursor>& cursor) {
  cursor_ = cursor ? *cursor : QCursor(Qt::PointingHandCursor);
  setCursor(*cursor_);
}

void CHyperLink::SetColours(ColorRef link, ColorRef visited, ColorRef hover) {
  link_colour_ = link;
  visited_colour_ = visited;
  hover_colour_ = hover;
  update();
}

void CHyperLink::SetVisited(bool visited) {
  visited_ = visited;
  update();
}

ColorRef CHyperLink::currentColour() const {
  if (hovering_) return hover_colour_;
  return visited_ ? visited_colour_ : link_colour_;
}

void CHyperLink::FitToText() {
  if (!fit_) return;
  const QFontMetrics metrics(font());
  const QRect text_box = metrics.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, text());
  const int frame_w = width() - contentsRect().width();
  const int frame_h = height() - contentsRect().height();
  const int w = text_box.width() + frame_w;
  const int h = text_box.height() + frame_h;
  const QRect old = geometry();
  int x = old.left(), y = old.top();
  const Qt::Alignment a = alignment();
  if (a & Qt::AlignHCenter)
    x = old.left() + (old.width() - w) / 2;
  else if (a & Qt::AlignRight)
    x = old.right() + 1 - w;
  if (a & Qt::AlignVCenter) y = old.top() + (old.height() - h) / 2;
  setGeometry(x, y, w, h);
}

void CHyperLink::StartHover() {
  hovering_ = true;
  if (underline_ == -1) setFont(underline_font_);
  update();
  hover_timer_->start();
}

void CHyperLink::CheckHover() {
  if (rect().contains(last_mouse_)) return;
  hovering_ = false;
  hover_timer_->stop();
  if (underline_ != 1) setFont(normal_font_);
  update();
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event) {
  last_mouse_ = event->position().toPoint();
  if (!hovering_) StartHover();
  QLabel::mouseMoveEvent(event);
}

void CHyperLink::enterEvent(QEnterEvent* event) {
  last_mouse_ = event->position().toPoint();
  if (!hovering_) StartHover();
  QLabel::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
  // The pointer is elsewhere now; the hover timer notices within its period.
  last_mouse_ = QPoint(-1, -1);
  QLabel::leaveEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    Open();
    event->accept();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

int CHyperLink::Open() {
  hovering_ = false;
  hover_timer_->stop();
  if (underline_ != 1) setFont(normal_font_);
  int result = shell_.open ? shell_.open(address_) : kShellNoAssociation;
  if (result <= 32 && shell_.browser_command && shell_.run) {
    if (std::optional<std::string> command = shell_.browser_command())
      result = shell_.run(BrowserCommandLine(*command, address_));
  }
  visited_ = result > 32;
  if (visited_)
    update();
  else
    ReportFailure(result);
  return result;
}

void CHyperLink::ReportFailure(int result) {
  QApplication::beep();
  const std::string text = HyperLinkErrorText(result);
  if (prompt_ != nullptr) {
    prompt_->Notice(text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, QString(), QString::fromStdString(text), QMessageBox::Ok, this);
  box.exec();
}

void CHyperLink::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(ToQColor(currentColour()));
  painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
}

}  // namespace orvane
