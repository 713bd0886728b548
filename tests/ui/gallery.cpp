// orvane-gallery: renders the skin framework's controls in each of their states, and a shaped
// dialog built from a generated skin, to PNG files, so anyone can look at them.
//   orvane-gallery <output folder>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QAction>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <string>
#include <vector>

#include "skin_fixture.h"
#include "ui/controls/bitmap_slider.h"
#include "ui/controls/color_static.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/png_button.h"
#include "ui/skin/resources.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"
#include "ui/skin/tray_icon.h"

namespace orvane {
namespace {

constexpr QSize kDialog(520, 340);
const QColor kAccent(0, 190, 255);
const QColor kAccentWarm(255, 138, 36);

enum class Face { Normal, Over, Down, Disabled, Selected };

struct ButtonSpec {
  const char* key;
  QRect rect;
  const char* caption;
  bool round = false;
};

const std::vector<ButtonSpec>& Buttons() {
  static const std::vector<ButtonSpec> buttons = {
      {"FUNC_PROFILE1", {28, 78, 118, 36}, "PROFILE 1"},
      {"FUNC_PROFILE2", {156, 78, 118, 36}, "PROFILE 2"},
      {"FUNC_PROFILE3", {284, 78, 118, 36}, "PROFILE 3"},
      {"FUNC_PROFILES", {410, 136, 84, 96}, "PROFILES"},
      {"CONTROL_OK", {196, 280, 96, 34}, "OK"},
      {"CONTROL_CANCEL", {302, 280, 96, 34}, "Cancel"},
      {"CONTROL2_APPLY", {408, 280, 86, 34}, "Apply"},
      {"CONTROL_CLOSE", {470, 18, 28, 28}, "", true},
      {"CONTROL_MINIMIZE", {436, 18, 28, 28}, "", true},
  };
  return buttons;
}

QPainterPath Outline() {
  QPainterPath path;
  path.addRoundedRect(QRectF(6, 6, kDialog.width() - 12, kDialog.height() - 12), 22, 22);
  return path;
}

// The dialog's body without any button: a dark brushed panel with a glowing edge.
QImage Background() {
  QImage image(kDialog, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient body(0, 0, 0, kDialog.height());
  body.setColorAt(0, QColor(38, 43, 54));
  body.setColorAt(1, QColor(16, 18, 24));
  p.fillPath(Outline(), body);
  QRadialGradient glow(QPointF(kDialog.width() * 0.25, 0), kDialog.width() * 0.7);
  glow.setColorAt(0, QColor(0, 190, 255, 60));
  glow.setColorAt(1, QColor(0, 190, 255, 0));
  p.fillPath(Outline(), glow);
  p.setPen(QPen(QColor(0, 190, 255, 150), 1.5));
  p.drawPath(Outline());
  // Title and separators.
  QFont title("DejaVu Sans");
  title.setPixelSize(20);
  title.setWeight(QFont::Black);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRect(28, 18, 200, 30), Qt::AlignLeft | Qt::AlignVCenter, "ORVANE");
  QFont small("DejaVu Sans");
  small.setPixelSize(11);
  p.setFont(small);
  p.setPen(QColor(140, 150, 170));
  p.drawText(QRect(150, 18, 200, 30), Qt::AlignLeft | Qt::AlignVCenter, "VELMORA Q5");
  p.setPen(QPen(QColor(255, 255, 255, 28), 1));
  p.drawLine(24, 60, kDialog.width() - 24, 60);
  p.drawLine(24, 262, kDialog.width() - 24, 262);
  // A recessed well behind the sliders.
  QPainterPath well;
  well.addRoundedRect(QRectF(24, 130, 374, 114), 12, 12);
  p.fillPath(well, QColor(0, 0, 0, 70));
  p.setPen(QPen(QColor(255, 255, 255, 22), 1));
  p.drawPath(well);
  return image;
}

void DrawFace(QPainter& p, const ButtonSpec& b, Face face) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // A button shows its face from one pixel up and left of its own position.
  const QRectF r = QRectF(b.rect.translated(-1, -1)).adjusted(0.5, 0.5, -0.5, -0.5);
  const qreal radius = b.round ? r.height() / 2 : 8;
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  QLinearGradient fill(r.topLeft(), r.bottomLeft());
  QColor edge;
  switch (face) {
    case Face::Normal:
      fill.setColorAt(0, QColor(58, 64, 78));
      fill.setColorAt(1, QColor(40, 44, 55));
      edge = QColor(255, 255, 255, 40);
      break;
    case Face::Over:
      fill.setColorAt(0, QColor(64, 88, 110));
      fill.setColorAt(1, QColor(42, 60, 78));
      edge = kAccent;
      break;
    case Face::Down:
      fill.setColorAt(0, QColor(10, 90, 130));
      fill.setColorAt(1, QColor(0, 130, 180));
      edge = kAccent.lighter(130);
      break;
    case Face::Disabled:
      fill.setColorAt(0, QColor(44, 46, 52));
      fill.setColorAt(1, QColor(36, 38, 43));
      edge = QColor(255, 255, 255, 18);
      break;
    case Face::Selected:
      fill.setColorAt(0, kAccentWarm.lighter(115));
      fill.setColorAt(1, kAccentWarm.darker(125));
      edge = QColor(255, 210, 160);
      break;
  }
  if (face == Face::Over) {
    // A soft outer glow so the hovered button stands out.
    for (int i = 3; i >= 1; --i) {
      QPainterPath halo;
      halo.addRoundedRect(r.adjusted(-i, -i, i, i), radius + i, radius + i);
      p.setPen(QPen(QColor(0, 190, 255, 40 / i), 1));
      p.drawPath(halo);
    }
  }
  p.fillPath(path, fill);
  p.setPen(QPen(edge, 1));
  p.drawPath(path);
  if (b.round) {
    // Pictograms of the window buttons belong to the picture, not the caption.
    const QPointF c = r.center();
    p.setPen(QPen(face == Face::Disabled ? QColor(110, 110, 110) : QColor(230, 236, 245), 2, Qt::SolidLine, Qt::RoundCap));
    if (std::string(b.key) == "CONTROL_CLOSE") {
      p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
      p.drawLine(c + QPointF(-5, 5), c + QPointF(5, -5));
    } else {
      p.drawLine(c + QPointF(-6, 0), c + QPointF(6, 0));
    }
  }
  p.restore();
}

QImage StatePicture(const QImage& background, Face face) {
  QImage image = background;
  QPainter p(&image);
  for (const ButtonSpec& b : Buttons()) DrawFace(p, b, face);
  return image;
}

// The slider picture of one level: a track, the filled part and a knob.
// The picture is drawn on the piece of the dialog's background it covers, as a skin's would be.
QPixmap SliderLevel(const QImage& beneath, int level, int levels, QColor colour) {
  QImage image = beneath.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF track(10, 10, 280, 6);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(62, 66, 78));
  p.drawRoundedRect(track, 3, 3);
  const qreal x = track.left() + track.width() * level / levels;
  QLinearGradient filled(track.topLeft(), track.topRight());
  filled.setColorAt(0, colour.darker(160));
  filled.setColorAt(1, colour);
  p.setBrush(filled);
  p.drawRoundedRect(QRectF(track.left(), track.top(), x - track.left(), track.height()), 3, 3);
  for (int i = 0; i <= levels; ++i) {
    p.setBrush(i <= level ? colour.lighter(130) : QColor(90, 95, 110));
    p.drawEllipse(QPointF(track.left() + track.width() * i / levels, 21.5), 1.5, 1.5);
  }
  QRadialGradient knob(QPointF(x - 2, 11), 10);
  knob.setColorAt(0, Qt::white);
  knob.setColorAt(1, QColor(200, 210, 225));
  p.setBrush(knob);
  p.setPen(QPen(colour, 2));
  p.drawEllipse(QPointF(x, 13), 8, 8);
  p.end();
  return QPixmap::fromImage(image);
}

bool WaitUntil(const std::function<bool()>& condition) {
  QElapsedTimer timer;
  timer.start();
  while (!condition() && timer.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

void Hover(CPngButton* button) {
  QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(button, &move);
  WaitUntil([&] { return button->hovering(); });
}

void Unhover(CPngButton* button) {
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(button, &leave);
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
  const QString path = folder + "/" + name;
  const bool ok = image.save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toStdString().c_str());
  return ok;
}

// A sheet of labelled pictures in one row per entry.
QImage Sheet(const std::vector<std::pair<QString, QImage>>& entries, int label_width) {
  int width = 0, height = 16;
  for (const auto& e : entries) {
    width = std::max(width, e.second.width());
    height += std::max(e.second.height(), 20) + 14;
  }
  QImage sheet(QSize(label_width + width + 32, height), QImage::Format_RGB32);
  sheet.fill(QColor(24, 26, 32));
  QPainter p(&sheet);
  QFont f("DejaVu Sans");
  f.setPixelSize(12);
  p.setFont(f);
  int y = 16;
  for (const auto& e : entries) {
    const int h = std::max(e.second.height(), 20);
    p.setPen(QColor(170, 180, 195));
    p.drawText(QRect(16, y, label_width - 16, h), Qt::AlignLeft | Qt::AlignVCenter, e.first);
    p.drawImage(QPoint(label_width + 16, y + (h - e.second.height()) / 2), e.second);
    y += h + 14;
  }
  return sheet;
}

int Run(const QString& out) {
  QDir().mkpath(out);
  testing::TempSkin skin;
  const QImage background = Background();
  QImage mask(kDialog, QImage::Format_RGB32);
  mask.fill(Qt::white);
  {
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(Outline(), Qt::black);
  }
  skin.WriteImage("Skins/gallery_bg.png", background);
  skin.WriteImage("Skins/gallery_mask.png", mask);
  const char* names[] = {"normal", "over", "down", "disable", "selected"};
  for (int f = 0; f < 5; ++f)
    skin.WriteImage(std::string("Skins/gallery_") + names[f] + ".png", StatePicture(background, Face(f)));
  const std::string ini = skin.Path("Skins/Gallery.ini");
  skin.SetValue("Skins/Gallery.ini", "SCREEN", "Main", "gallery_bg.png");
  skin.SetValue("Skins/Gallery.ini", "SCREEN", "Mask", "gallery_mask.png");
  for (const ButtonSpec& b : Buttons()) {
    const QRect& r = b.rect;
    skin.SetValue("Skins/Gallery.ini", "BUTTONINFO", b.key,
                  std::to_string(r.x()) + "," + std::to_string(r.y()) + "," + std::to_string(r.width()) + "," +
                      std::to_string(r.height()));
  }
  skin.SetValue("Skins/Gallery.ini", "BUTTONINFO", "CONTROL_LightStatic", "40,140,200,20");
  skin.SetValue("Skins/Gallery.ini", "BUTTONINFO", "CONTROL_LightSlider", "40,162,300,26");
  skin.SetValue("Skins/Gallery.ini", "BUTTONINFO", "CONTROL_SpeedStatic", "40,192,200,20");
  skin.SetValue("Skins/Gallery.ini", "BUTTONINFO", "CONTROL_SpeedSlider", "40,214,300,26");
  skin.SetValue("Skins/Gallery.ini", "BUTTONINFO", "CONTROL_Network", "28,288,150,18");

  CBaseDialog dialog(102, nullptr, ini, skin.skins());
  dialog.OnInitDialog();
  SkinStateImages states;
  states.Prepare({"Skins\\gallery_normal.png", "Skins\\gallery_over.png", "Skins\\gallery_down.png",
                  "Skins\\gallery_disable.png", "Skins\\gallery_selected.png"},
                 dialog.size());
  std::map<std::string, CPngButton*> buttons;
  int id = 1000;
  for (const ButtonSpec& b : Buttons()) {
    auto* button = new CPngButton;
    dialog.AddControl(button, id++);
    button->setText(b.caption);
    PlaceSkinButton(button, ini, "BUTTONINFO", b.key, states.Pictures());
    button->SetTextStyle(true, 10, "Arial Unicode MS", 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x7F7F7F, 0xFFFFFF,
                         kDefaultTextFormat);
    buttons[b.key] = button;
  }
  buttons["FUNC_PROFILES"]->SetTextRotation(268, true);
  buttons["FUNC_PROFILES"]->SetTextStyle(true, 10, "Arial Unicode MS", 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x7F7F7F,
                                          0xFFFFFF, DT_SINGLELINE | DT_BOTTOM);
  buttons["FUNC_PROFILE1"]->SetSelected(true, false);
  buttons["CONTROL2_APPLY"]->setEnabled(false);

  auto* light_label = new ColorStatic;
  dialog.AddControl(light_label, 1150);
  light_label->setText("Brightness");
  light_label->SetFontSize(13);
  PlaceSkinControl(light_label, ini, "BUTTONINFO", "CONTROL_LightStatic");
  auto* speed_label = new ColorStatic;
  dialog.AddControl(speed_label, 1151);
  speed_label->setText("Speed");
  speed_label->SetFontSize(13);
  speed_label->SetTextColor(Rgb(170, 180, 195));
  PlaceSkinControl(speed_label, ini, "BUTTONINFO", "CONTROL_SpeedStatic");
  auto* light = new CBitmapSlider;
  dialog.AddControl(light, 1170);
  PlaceSkinControl(light, ini, "BUTTONINFO", "CONTROL_LightSlider");
  const QRect light_rect(40, 162, 300, 26), speed_rect(40, 214, 300, 26);
  light->SetPicture(SliderLevel(background.copy(light_rect), 3, 4, kAccent));
  light->SetRange(0, 4);
  light->SetPos(3);
  auto* speed = new CBitmapSlider;
  dialog.AddControl(speed, 1171);
  PlaceSkinControl(speed, ini, "BUTTONINFO", "CONTROL_SpeedSlider");
  speed->SetPicture(SliderLevel(background.copy(speed_rect), 1, 4, kAccentWarm));
  speed->SetRange(0, 4);
  speed->SetPos(1);
  auto* link = new CHyperLink;
  dialog.AddControl(link, 1124);
  PlaceSkinControl(link, ini, "BUTTONINFO", "CONTROL_Network");
  link->SetColours(Rgb(0, 190, 255), Rgb(180, 140, 255), Rgb(255, 255, 255));
  link->setText("orvane.example/support");
  link->setAutoFillBackground(false);  // over a skin the link draws on the picture
  link->Attach();

  bool ok = true;
  // The whole dialog, outside its outline transparent.
  {
    Hover(buttons["CONTROL_OK"]);
    QImage shown = dialog.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRegion region = dialog.mask();
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        if (!region.contains(QPoint(x, y))) shown.setPixel(x, y, qRgba(0, 0, 0, 0));
    ok &= Save(shown, out, "dialog_shaped.png");
    Unhover(buttons["CONTROL_OK"]);
  }

  // One button in each of its states.
  {
    CPngButton* b = buttons["CONTROL_CANCEL"];
    std::vector<std::pair<QString, QImage>> entries;
    auto add = [&](const QString& label) { entries.emplace_back(label, b->grab().toImage()); };
    add("normal");
    Hover(b);
    add("over (mouse on it)");
    Unhover(b);
    b->setDown(true);
    add("down (pressed)");
    b->setDown(false);
    b->SetSelected(true, false);
    add("selected");
    Hover(b);
    add("selected + over");
    Unhover(b);
    b->SetSelected(false, false);
    b->setEnabled(false);
    add("disabled");
    b->setEnabled(true);
    b->SetFrame(Rgb(0, 190, 255), 40, true);
    add("frame mode");
    b->SetFrame(0, 0, false);
    QPixmap off = *states.Picture(SkinRole::Normal), on = *states.Picture(SkinRole::Selected);
    b->SetToggleImages(&off, &on, true, true);
    add("toggle on");
    b->SetToggleImages(&off, &on, true, false);
    add("toggle off");
    b->SetToggleImages(nullptr, nullptr, false, false);
    entries.emplace_back("rotated caption 26.8\u00B0", buttons["FUNC_PROFILES"]->grab().toImage());
    ok &= Save(Sheet(entries, 190), out, "button_states.png");
  }

  // The slider at every level.
  {
    std::vector<std::pair<QString, QImage>> entries;
    for (int level = 0; level <= 4; ++level) {
      light->ReplacePicture(SliderLevel(background.copy(light_rect), level, 4, kAccent));
      light->SetPos(level);
      entries.emplace_back(QString("position %1 of 0..4").arg(level), light->grab().toImage());
    }
    ok &= Save(Sheet(entries, 170), out, "slider_levels.png");
  }

  // Labels: the colour label and the hyperlink's states, over the dialog's picture.
  {
    std::vector<std::pair<QString, QImage>> entries;
    const QRect area(24, 276, 166, 40);
    auto crop = [&] { return dialog.grab(area).toImage(); };
    light_label->move(28, 275);
    light_label->SetTextColor(0xFFFFFF);
    link->hide();
    entries.emplace_back("ColorStatic (white)", dialog.grab(QRect(24, 270, 166, 30)).toImage());
    light_label->SetTextColor(Rgb(255, 138, 36));
    entries.emplace_back("ColorStatic (orange)", dialog.grab(QRect(24, 270, 166, 30)).toImage());
    light_label->hide();
    link->show();
    entries.emplace_back("hyperlink", crop());
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(link, &move);
    entries.emplace_back("hyperlink, mouse over", crop());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(link, &leave);
    WaitUntil([&] { return !link->hovering(); });
    link->SetVisited(true);
    entries.emplace_back("hyperlink, visited", crop());
    ok &= Save(Sheet(entries, 190), out, "labels.png");
  }
  // The tray icon's popup menu: first item the default (bold), captions from the menu callback.
  {
    RegisterMenuResource(140, MenuResource{{{{32771, "open"}, {32773, "about"}, {0, ""}, {32774, "exit"}}}});
    CTrayIcon tray;
    QPixmap icon(16, 16);
    icon.fill(kAccent);
    tray.Create(&dialog, 1725, "Orvane keyboard", QIcon(icon), 140);
    tray.SetMenuCallback([](QMenu* popup) {
      const std::map<int, QString> captions = {{32771, "Open"}, {32773, "About Orvane"}, {32774, "Exit"}};
      for (QAction* a : popup->actions())
        if (auto it = captions.find(MenuCommand(a)); it != captions.end()) a->setText(it->second);
    });
    tray.OnTrayNotification(140, WM_RBUTTONUP);
    if (QMenu* popup = tray.popup()) {
      ok &= Save(popup->grab().toImage(), out, "tray_menu.png");
      popup->hide();
    } else {
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  // Pictures only: no screen is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath() + "/gallery";
  return orvane::Run(out);
}
