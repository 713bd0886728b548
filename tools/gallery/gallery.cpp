// orvane-gallery: renders what users see, from the skin the program ships: each skinned dialog
// with every control its layout file places, an image button of the main window in each of its
// states, the brightness slider at several levels, the labels and the hyperlink, the About dialog
// and the tray menu, to PNG files.
//   orvane-gallery <output folder>
// It runs from the build tree's program folder (or an installed one), whose Skins folder and
// language files it reads; nothing is written outside the output folder.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/registry.h"
#include "store/language.h"
#include "ui/controls/bitmap_slider.h"
#include "ui/controls/color_static.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main/about_dialog.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/png_button.h"
#include "ui/skin/resources.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"
#include "ui/skin/tray_icon.h"

namespace orvane {
namespace {

using layout::Faces;
using layout::Placement;
using layout::SkinControl;
using layout::SkinDialog;

struct DialogView {
  SkinDialog dialog;
  int template_id;
};
constexpr DialogView kViews[] = {{SkinDialog::Main, ids::templates::kMain},
                                 {SkinDialog::Profile, ids::templates::kProfile},
                                 {SkinDialog::Update, ids::templates::kUpdate},
                                 {SkinDialog::Composite, ids::templates::kComposite}};

// Main-window buttons that carry a caption, with its language key (section TEXT).
const std::map<std::string, std::string> kMainCaptions = {
    {"FUNC_PROFILE1", "PROFILE_1"},   {"FUNC_PROFILE2", "PROFILE_2"},    {"FUNC_PROFILE3", "PROFILE_3"},
    {"FUNC_MACRO", "PROFILE_MACRO"},  {"FUNC_DEFAULT", "PROFILE_DEFAULT"}, {"CONTROL_OK", "PROFILE_OK"},
    {"CONTROL_CANCEL", "PROFILE_CANCLE"}, {"CONTROL2_APPLY", "PROFILE_APPLY"}};
// Lighting-panel labels of the main window, with their language key (section LIGHT).
const std::map<int, std::string> kLightingLabels = {
    {ids::main::kLightingTitle, "Deng"}, {ids::main::kBrightnessStatic, "Light"}, {ids::main::kSpeedStatic, "Speed"},
    {ids::main::kDirectionStatic, "FX"}, {ids::main::kUsbStatic, "Usb"}};

// A bitmap of the skin folder ("0.bmp" ...).
QPixmap SkinBitmap(const std::string& name) { return QPixmap::fromImage(LoadSkinImage("Skins\\" + name)); }

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
  const bool ok = !image.isNull() && image.save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toStdString().c_str());
  return ok;
}

// The dialog as it shows on the desktop: transparent outside its outline.
QImage Shaped(CBaseDialog& dialog) {
  QImage shown = dialog.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRegion region = dialog.mask();
  if (region.isEmpty()) return shown;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (!region.contains(QPoint(x, y))) shown.setPixel(x, y, qRgba(0, 0, 0, 0));
  return shown;
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

// A skinned dialog with the controls its layout file places, built the way the dialogs build
// theirs: state pictures prepared once per picture set, image buttons placed with them.
class SkinnedView {
 public:
  SkinnedView(const DialogView& view, const LanguageFiles& languages)
      : view_(view),
        ini_(SkinPath("Skins\\" + layout::LayoutFileName(view.dialog))),
        dialog_(view.template_id, nullptr, ini_, SkinFolder()) {
    dialog_.OnInitDialog();
    const int language = languages.GetLanguageIndex();
    for (const SkinControl& c : layout::Controls(view.dialog)) {
      if (c.placement == Placement::Button) {
        auto* button = new CPngButton;
        dialog_.AddControl(button, c.id);
        PlaceSkinButton(button, ini_, std::string(c.section), c.key, Pictures(c.faces));
        if (view.dialog == SkinDialog::Main) {
          if (auto it = kMainCaptions.find(c.key); it != kMainCaptions.end()) {
            button->setText(QString::fromStdString(languages.LoadText(it->second, language)));
            button->SetTextStyle(true, 10, "Arial Unicode MS", 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x7F7F7F, 0xFFFFFF,
                                 kDefaultTextFormat);
          }
        }
        buttons_[c.key] = button;
      } else if (c.placement == Placement::Control && view.dialog == SkinDialog::Main) {
        PlaceMainControl(c, languages, language);
      }
    }
  }

  CBaseDialog& dialog() { return dialog_; }
  const std::string& ini() const { return ini_; }
  CPngButton* Button(const std::string& key) const {
    auto it = buttons_.find(key);
    return it == buttons_.end() ? nullptr : it->second;
  }
  CBitmapSlider* brightness() const { return brightness_; }

 private:
  SkinPictures Pictures(Faces faces) {
    auto it = images_.find(faces);
    if (it == images_.end()) {
      const layout::FaceFiles files = layout::FaceFilesOf(faces);
      auto skin = [](std::string_view name) { return "Skins\\" + std::string(name); };
      it = images_.emplace(faces, std::make_unique<SkinStateImages>()).first;
      it->second->Prepare({skin(files[0]), skin(files[1]), skin(files[2]), skin(files[3]), skin(files[4])},
                          dialog_.size());
    }
    return it->second->Pictures();
  }

  // The lighting panel's labels and sliders, as the main window shows them on a new keyboard.
  void PlaceMainControl(const SkinControl& c, const LanguageFiles& languages, int language) {
    if (auto it = kLightingLabels.find(c.id); it != kLightingLabels.end()) {
      auto* label = new ColorStatic;
      dialog_.AddControl(label, c.id);
      label->setText(QString::fromStdString(languages.LoadLightText(it->second, language)));
      PlaceSkinControl(label, ini_, std::string(c.section), c.key);
    } else if (c.id == ids::main::kBrightnessSlider || c.id == ids::main::kSpeedSlider) {
      auto* slider = new CBitmapSlider;
      dialog_.AddControl(slider, c.id);
      PlaceSkinControl(slider, ini_, std::string(c.section), c.key);
      const bool brightness = c.id == ids::main::kBrightnessSlider;
      slider->SetPicture(SkinBitmap(brightness ? layout::BrightnessBitmap(24) : layout::SpeedBitmap(2)));
      slider->SetRange(0, brightness ? 24 : 4);
      slider->SetPos(brightness ? 24 : 2);
      if (brightness) brightness_ = slider;
    }
  }

  DialogView view_;
  std::string ini_;
  CBaseDialog dialog_;
  std::map<Faces, std::unique_ptr<SkinStateImages>> images_;
  std::map<std::string, CPngButton*> buttons_;
  CBitmapSlider* brightness_ = nullptr;
};

int Run(const QString& out) {
  if (!QFile::exists(QString::fromStdString(SkinPath("Skins\\Main.ini")))) {
    std::fprintf(stderr, "orvane-gallery: no skin in %s (build the orvane_skin target first)\n",
                 SkinFolder().c_str());
    return 1;
  }
  QDir().mkpath(out);
  RegistryStore registry;
  LanguageFiles languages(&registry, ProgramFolder());
  const int language = languages.GetLanguageIndex();
  bool ok = true;

  std::vector<std::unique_ptr<SkinnedView>> views;
  for (const DialogView& view : kViews) {
    views.push_back(std::make_unique<SkinnedView>(view, languages));
    ok &= Save(Shaped(views.back()->dialog()), out,
               QString("dialog_%1.png").arg(QString::fromUtf8(layout::DialogName(view.dialog).data(),
                                                               int(layout::DialogName(view.dialog).size()))));
  }
  SkinnedView& main = *views.front();

  // One image button of the main window in each of its states.
  if (CPngButton* b = main.Button("CONTROL_CANCEL")) {
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
    b->SetSelected(false, false);
    b->setEnabled(false);
    add("disabled");
    b->setEnabled(true);
    b->SetFrame(Rgb(255, 255, 255), 40, true);
    add("frame (per-key lighting)");
    b->SetFrame(0, 0, false);
    ok &= Save(Sheet(entries, 190), out, "button_states.png");
  } else {
    ok = false;
  }

  // The brightness slider at several levels, each with its own picture.
  if (CBitmapSlider* slider = main.brightness()) {
    std::vector<std::pair<QString, QImage>> entries;
    for (int level : {0, 6, 12, 18, 24}) {
      slider->ReplacePicture(SkinBitmap(layout::BrightnessBitmap(level)));
      slider->SetPos(level);
      entries.emplace_back(QString("brightness %1 of 0..24").arg(level), slider->grab().toImage());
    }
    ok &= Save(Sheet(entries, 190), out, "slider_levels.png");
  } else {
    ok = false;
  }

  // The hyperlink over the main window's picture: normal, mouse over, visited.
  {
    auto* link = new CHyperLink(&main.dialog());
    link->setText(QString::fromStdString(main.dialog().ini().Read("SCREEN", "Link", "").value_or("")));
    link->SetAutoSize(true);
    link->setAutoFillBackground(false);
    link->move(24, main.dialog().height() - 40);
    link->Attach();
    link->show();
    std::vector<std::pair<QString, QImage>> entries;
    auto crop = [&] { return main.dialog().grab(link->geometry().adjusted(-6, -4, 6, 4)).toImage(); };
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

  // The About dialog as the tray menu opens it.
  {
    const std::string about_ini = SkinPath("Skins\\About.ini");
    const std::string logo = main.dialog().ini().Read("SCREEN", "Link", "").value_or("");
    auto* about = new CAboutDlg(nullptr, about_ini, SkinFolder(), languages, logo,
                                QIcon(QString::fromStdString(JoinPath(ProgramFolder(), layout::IconFileName(128, 32)))));
    about->OnInitDialog();
    QCoreApplication::processEvents();
    ok &= Save(Shaped(*about), out, "dialog_About.png");
    delete about;
  }

  // The tray icon's menu: first item the default (bold), captions from the language file.
  {
    RegisterMenuResource(ids::menu::kTray, MenuResource{{{{ids::menu::kTrayOpen, "open"},
                                                          {ids::menu::kTrayAbout, "about"},
                                                          {0, ""},
                                                          {ids::menu::kTrayExit, "exit"}}}});
    CTrayIcon tray;
    const QIcon icon(QString::fromStdString(JoinPath(ProgramFolder(), layout::IconFileName(128, 16))));
    tray.Create(&main.dialog(), ids::main::kTrayCallbackMessage,
                languages.LoadText("KEYBOARD_TRAY_DESC", language), icon, ids::menu::kTray);
    const std::map<int, std::string> keys = {
        {ids::menu::kTrayOpen, "MENU_11"}, {ids::menu::kTrayAbout, "MENU_22"}, {ids::menu::kTrayExit, "MENU_33"}};
    tray.SetMenuCallback([&](QMenu* popup) {
      for (QAction* a : popup->actions())
        if (auto it = keys.find(MenuCommand(a)); it != keys.end())
          a->setText(QString::fromStdString(languages.LoadText(it->second, language)));
    });
    if (QMenu* popup = tray.popup()) {
      emit popup->aboutToShow();
      ok &= Save(popup->grab().toImage(), out, "tray_menu.png");
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
