// The image button of every skinned dialog: its face is cut from a whole-dialog state picture
// (normal, over, down, disabled, selected) at the button's own position, optionally with a
// caption drawn over it (own font, colours per state, insets, rotation), a frame instead of the
// picture, a tooltip that appears 300 ms after the mouse comes to rest, and a paint callback that
// lets a dialog repaint overlapping neighbours. Painting never decodes or scales a picture.
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <array>
#include <functional>
#include <string>

#include "ui/skin/skin_layout.h"
#include "ui/skin/window_message.h"

class QTimer;

namespace orvane {

// Text-drawing flags of captions (the values the layout code passes around).
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_NOPREFIX = 0x800;
constexpr unsigned kDefaultTextFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;  // 37

// A tooltip that appears after its own delay while the mouse rests over its widget.
class SkinToolTip : public QObject {
  Q_OBJECT
 public:
  explicit SkinToolTip(QWidget* widget);
  void SetText(const std::string& text) { text_ = text; }
  const std::string& text() const { return text_; }
  void SetDelay(int ms) { delay_ms_ = ms; }
  int delay() const { return delay_ms_; }
  void Activate(bool on);
  bool active() const { return active_; }
  // Starts the delay; the tip shows when it ends and the tooltip is still active.
  void Arm();
  void Hide();
  bool pending() const;

 private:
  QWidget* widget_;
  QTimer* timer_;
  std::string text_;
  int delay_ms_ = 300;
  bool active_ = false;
};

class CPngButton : public QAbstractButton {
  Q_OBJECT
 public:
  using PaintCallback = std::function<void(CPngButton* button, bool shows_normal)>;

  explicit CPngButton(QWidget* parent = nullptr);
  ~CPngButton() override;

  void SetSkinImages(int x, int y, const SkinPictures& pictures);
  void SetImages(const SkinPictures& pictures);
  void SetToggleImages(const QPixmap* off, const QPixmap* on, bool toggle_mode, bool on_state);
  void SetSelected(bool selected, bool repaint_now);
  void SetTextStyle(bool show_text, int font_size, const std::string& face_name, ColorRef normal,
                    ColorRef over, ColorRef down, ColorRef disabled, ColorRef selected,
                    unsigned text_format);
  void SetTextInsets(int left, int right, int top, int bottom);
  void SetTextRotation(int escapement, bool rotated);
  void SetFrame(ColorRef colour, int value, bool on);
  // An empty text changes nothing.
  void SetTooltip(const std::string& text, bool activate);
  // Called at the end of every paint; a callback that repaints neighbours should schedule them
  // (update()), since a widget cannot be repainted from inside its own paint.
  void SetPaintCallback(PaintCallback callback) { paint_callback_ = std::move(callback); }
  // Paints the current state at once.
  void Repaint();

  // State, for the dialogs that build on the button and for tests.
  const SkinPictures& pictures() const { return pictures_; }
  int offsetX() const { return offset_x_; }
  int offsetY() const { return offset_y_; }
  bool selected() const { return selected_; }
  bool hovering() const { return hover_; }
  bool tracking() const { return tracking_; }
  bool toggleMode() const { return toggle_mode_; }
  bool toggleOn() const { return toggle_on_; }
  bool frameMode() const { return frame_mode_; }
  int frameValue() const { return frame_value_; }
  ColorRef frameColour() const { return frame_colour_; }
  int escapement() const { return escapement_; }
  bool rotated() const { return rotated_; }
  unsigned textFormat() const { return text_format_; }
  const std::string& faceName() const { return face_name_; }
  int fontSize() const { return font_size_; }
  // The picture chosen by the last paint (null before the first one).
  const QPixmap* lastPicture() const { return last_picture_; }
  const std::string& tooltipText() const { return tooltip_text_; }
  SkinToolTip* tooltip() const { return tooltip_; }
  // The font the caption is drawn with.
  QFont CaptionFont() const;

  // The box the caption is drawn in: the client rectangle moved by the insets, and, for a rotated
  // caption, adjusted so the turned text sits centred. Public so layouts can be checked.
  QRect CaptionBox(const QString& caption, const QFont& font) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QTimer* hover_timer_;
  void OnMouseHover();
  void OnMouseLeave();
  void ArmTracking();
  // The picture and text colour of the current state.
  const QPixmap* ChoosePicture(ColorRef* colour) const;

  SkinPictures pictures_;
  const QPixmap* last_picture_ = nullptr;
  const QPixmap* toggle_off_ = nullptr;
  const QPixmap* toggle_on_picture_ = nullptr;
  bool hover_ = false;
  bool tracking_ = false;
  bool selected_ = false;
  bool toggle_mode_ = false;
  bool toggle_on_ = false;
  int offset_x_ = 0;
  int offset_y_ = 0;
  bool show_text_ = false;
  int font_size_ = 8;
  std::string face_name_ = "Tahoma Unicode MS";
  std::array<ColorRef, kSkinRoleCount> text_colours_{};
  unsigned text_format_ = kDefaultTextFormat;
  int inset_left_ = 0, inset_right_ = 0, inset_top_ = 0, inset_bottom_ = 0;
  int escapement_ = 0;
  bool rotated_ = false;
  PaintCallback paint_callback_;
  std::string tooltip_text_;
  QPointer<SkinToolTip> tooltip_;
  bool frame_mode_ = false;
  ColorRef frame_colour_ = 0;
  int frame_value_ = 0;
};

}  // namespace orvane
