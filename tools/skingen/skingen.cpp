// skingen: builds the Skins folder and the program icons from the skin's layout source.
//
//   skingen SOURCE OUTPUT_DIR
//
// writes OUTPUT_DIR/Skins/{Main,Profile,UpdateDlg,Composite,About}.ini, every picture the dialogs load
// (backgrounds, outlines, state pictures, the lighting panel's bitmaps), the colours of the native
// controls (Skins/Theme.ini) and OUTPUT_DIR/icons/.
// The keys each dialog reads come from the dialogs' own control tables, so a layout that misses
// one, or names one no dialog reads, stops the build. Runs without a display.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#ifdef ORVANE_HAVE_LIBJPEG
#include <jpeglib.h>
#endif

#include "tools/skingen/painter_kit.h"
#include "tools/skingen/skin_source.h"
#include "ui/layout/dialog_layout.h"
#include "ui/layout/slider_mapping.h"

namespace orvane::skingen {
namespace {

using layout::Faces;
using layout::Placement;
using layout::SkinDialog;

constexpr int kMargin = 100;  // state pictures are larger than their dialog by this much each way

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "skingen: %s\n", message.c_str());
  std::exit(1);
}

const char* KindOf(Placement placement) {
  switch (placement) {
    case Placement::Button:
    case Placement::ButtonFrom: return "btn";
    case Placement::Control: return "ctl";
    case Placement::Move: return "move";
    case Placement::Picture: return "pic";
  }
  return "";
}

Variant VariantOf(Faces faces) {
  switch (faces) {
    case Faces::CompositeKey: return Variant::Key;
    case Faces::CompositeMacro: return Variant::Macro;
    case Faces::CompositeMacro2: return Variant::Macro2;
    case Faces::CompositeMedia: return Variant::Media;
    case Faces::CompositeFunction: return Variant::Function;
    default: return Variant::Plain;
  }
}

// How a button looks in a picture that serves the given roles of its face set: a picture that is
// the normal face shows it normal; otherwise hover, pressed, selected, disabled in that order.
Visual VisualOfRoles(const layout::FaceFiles& files, const std::string& picture) {
  bool role[kSkinRoleCount] = {};
  for (int r = 0; r < kSkinRoleCount; ++r) role[r] = files[size_t(r)] == picture;
  if (role[int(SkinRole::Normal)]) return Visual::Normal;
  if (role[int(SkinRole::Over)]) return Visual::Hover;
  if (role[int(SkinRole::Down)]) return Visual::Pressed;
  if (role[int(SkinRole::Selected)]) return Visual::Selected;
  return Visual::Disabled;
}

#ifdef ORVANE_HAVE_LIBJPEG
// JPEG without chroma subsampling: thin coloured lines and small legends stay sharp, so a face cut
// from a state picture matches the background around it.
bool WriteJpeg444(const QImage& image, const QString& path, int quality) {
  QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = JDIMENSION(rgb.width());
  info.image_height = JDIMENSION(rgb.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  for (int c = 0; c < info.num_components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}
#endif

void Save(const QImage& image, const QString& path, const char* format, int quality = -1) {
#ifdef ORVANE_HAVE_LIBJPEG
  if (std::string_view(format) == "JPEG") {
    if (!WriteJpeg444(image, path, quality)) Fail("cannot write " + path.toStdString());
    return;
  }
#endif
  QImageWriter writer(path, format);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(image)) Fail("cannot write " + path.toStdString() + ": " + writer.errorString().toStdString());
}

class DialogRenderer {
 public:
  DialogRenderer(const Kit& kit, const DialogSource& source, SkinDialog dialog)
      : kit_(kit), src_(source), dialog_(dialog) {}

  void Validate() const {
    std::set<std::pair<std::string, std::string>> seen;
    for (const Item& item : src_.items) {
      if (item.kind != "btn" && item.kind != "ctl" && item.kind != "move" && item.kind != "pic") continue;
      if (!seen.insert({item.kind, item.key}).second)
        Fail(src_.name + ", line " + std::to_string(item.line) + ": " + item.key + " given twice");
      bool known = false;
      for (const layout::SkinControl& c : layout::Controls(dialog_))
        if (c.key == item.key && item.kind == KindOf(c.placement)) known = true;
      if (!known)
        Fail(src_.name + ", line " + std::to_string(item.line) + ": no control of this dialog reads " + item.kind +
             " " + item.key);
    }
    for (const layout::SkinControl& c : layout::Controls(dialog_))
      if (Find(KindOf(c.placement), c.key) == nullptr)
        Fail(src_.name + ": the layout misses " + std::string(KindOf(c.placement)) + " " + c.key);
  }

  const Item* Find(const std::string& kind, const std::string& key) const {
    for (const Item& item : src_.items)
      if (item.kind == kind && item.key == key) return &item;
    return nullptr;
  }

  void Write(const QString& skins) {
    RenderBase();
    QImage background = Compose("", false).copy(0, 0, src_.width, src_.height);
    background_ = background;
    const QString name = QString::fromStdString(src_.name);
    Save(background, skins + "/" + name + "_bg.png", "PNG");
    Save(Mask(), skins + "/" + name + "_mask.png", "PNG");
    for (const std::string& picture : layout::StatePictureFiles(dialog_))
      Save(Compose(picture, true), skins + "/" + QString::fromStdString(picture), "JPEG", 95);
    WriteIni(skins + "/" + QString::fromStdString(layout::LayoutFileName(dialog_)));
  }

  const QImage& background() const { return background_; }

 private:
  void RenderBase() {
    base_ = QImage(src_.width + kMargin, src_.height + kMargin, QImage::Format_RGB32);
    base_.fill(kit_.theme().window);
    QPainter p(&base_);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    kit_.WindowFrame(p, src_.width, src_.height);
    for (const Item& item : src_.items) {
      QRect r(item.rect.x, item.rect.y, item.rect.w, item.rect.h);
      if (item.kind == "card") kit_.Card(p, r);
      else if (item.kind == "rule") kit_.Rule(p, r);
      else if (item.kind == "field") kit_.Field(p, r);
      else if (item.kind == "sheet") kit_.Sheet(p, r);
      else if (item.kind == "glyph")
        kit_.Icon(p, item.key, QRectF(r).adjusted(5, 5, -5, -5),
                  item.style == "accent" ? kit_.theme().accent : kit_.theme().dim);
      else if (item.kind == "title")
        kit_.Title(p, item.rect.x, item.rect.y, item.rect.h, QString::fromStdString(item.args.empty() ? "" : item.args[0]));
    }
  }

  // The base with every image button drawn as it looks in the picture; a state picture is shifted
  // one pixel up and left, because a button's face is cut one pixel up and left of its position.
  QImage Compose(const std::string& picture, bool shifted) const {
    QImage img = base_.copy();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    if (shifted) {
      p.fillRect(img.rect(), kit_.theme().window);
      p.translate(-1, -1);
      p.drawImage(0, 0, base_);
    }
    for (const Item& item : src_.items) {
      if (item.kind != "btn") continue;
      const layout::SkinControl* c = layout::FindControl(dialog_, item.key);
      if (c == nullptr) continue;
      // Buttons that share their place with buttons whose faces are drawn elsewhere (the two flip
      // blocks) are never shown together with them: the background shows neither, so the gaps of
      // whichever block is shown stay clean.
      if (picture.empty() && SharesPlace(item)) continue;
      Visual visual = Visual::Normal;
      Variant variant = VariantOf(c->faces);
      std::vector<Faces> sets{c->faces};
      for (Faces alt : layout::AlternateFaces(dialog_, item.key)) sets.push_back(alt);
      // The background shows no button's face, so a button that is hidden leaves nothing behind.
      // The keyboard's keys are the exception: the key picture under a key button is what the
      // button's frame mode (per-key lighting) shows through its frame, and keys are never hidden.
      const bool keyboard_key = item.style == "key" || item.style == "gkey";
      if (picture.empty() && !keyboard_key) continue;
      bool uses = picture.empty();
      for (Faces set : sets) {
        if (picture.empty()) break;
        layout::FaceFiles files = layout::FaceFilesOf(set);
        for (std::string_view f : files) uses = uses || f == picture;
        if (!uses) continue;
        visual = VisualOfRoles(files, picture);
        variant = VariantOf(set);
        break;
      }
      // The colour pictures show the keyboard, the second one with every key marked.
      if (picture == "main_color0.jpg" || picture == "main_color1.jpg") {
        uses = true;
        if (picture == "main_color1.jpg" && (item.style == "key" || item.style == "gkey")) visual = Visual::Selected;
      }
      // A button is drawn only into the pictures its faces come from: a panel background cut from
      // a picture must not show the buttons of another panel.
      if (!uses) continue;
      kit_.Face(p, QRect(item.rect.x, item.rect.y, item.rect.w, item.rect.h), item.style, item.args, visual, variant);
    }
    for (const Item& item : src_.items) {
      if (item.kind != "pic") continue;
      const layout::SkinControl* c = layout::FindControl(dialog_, item.key);
      if (c == nullptr) continue;
      if (c->faces != Faces::MainArrow) {
        // A button's faces drawn at a place of their own, in each state picture of its set.
        const layout::FaceFiles files = layout::FaceFilesOf(c->faces);
        const bool colour = picture == "main_color0.jpg" || picture == "main_color1.jpg";
        if (!colour && std::find(files.begin(), files.end(), picture) == files.end()) continue;
        const Visual visual = picture == "main_color1.jpg" ? Visual::Selected
                              : colour                     ? Visual::Normal
                                                           : VisualOfRoles(files, picture);
        kit_.Face(p, QRect(item.rect.x, item.rect.y, item.rect.w, item.rect.h), item.style, item.args, visual,
                  VariantOf(c->faces));
        continue;
      }
      if (layout::FaceFilesOf(c->faces)[0] != picture) continue;
      QRect r(item.rect.x, item.rect.y, item.rect.w, item.rect.h);
      p.fillRect(r, kit_.theme().card);
      kit_.Icon(p, item.style, QRectF(r).adjusted(3, 3, -3, -3),
                !item.args.empty() && item.args[0] == "accent" ? kit_.theme().accent : kit_.theme().faint);
    }
    return img;
  }

  // True for a button whose faces are cut at a place of their own, and for a button whose
  // rectangle meets such a button's.
  bool SharesPlace(const Item& item) const {
    auto faces_elsewhere = [this](const Item& i) {
      const layout::SkinControl* c = layout::FindControl(dialog_, i.key);
      return c != nullptr && !c->picture_key.empty();
    };
    if (faces_elsewhere(item)) return true;
    const QRect r(item.rect.x, item.rect.y, item.rect.w, item.rect.h);
    for (const Item& other : src_.items) {
      if (&other == &item || other.kind != "btn" || !faces_elsewhere(other)) continue;
      if (r.intersects(QRect(other.rect.x, other.rect.y, other.rect.w, other.rect.h))) return true;
    }
    return false;
  }

  // Pure white outside the rounded window, black inside; hard edges, as the window's region is
  // built from exact white.
  QImage Mask() const {
    QImage mask(src_.width, src_.height, QImage::Format_RGB32);
    mask.fill(Qt::white);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(0, 0, src_.width, src_.height), 14, 14);
    return mask;
  }

  void WriteIni(const QString& path) const {
    std::ostringstream ini;
    ini << "; Generated from the skin's layout source. Do not edit: edit the source instead.\n";
    ini << "[SCREEN]\nMain=" << src_.name << "_bg.png\nMask=" << src_.name << "_mask.png\n";
    for (const auto& [key, value] : src_.screen) ini << key << "=" << value << "\n";
    auto section = [&](const char* name, bool pictures) {
      ini << "\n[" << name << "]\n";
      for (const Item& item : src_.items) {
        bool is_pic = item.kind == "pic";
        if (is_pic != pictures || (item.kind != "btn" && item.kind != "ctl" && item.kind != "move" && !is_pic))
          continue;
        ini << item.key << "=" << item.rect.x << "," << item.rect.y << "," << item.rect.w << "," << item.rect.h << "\n";
      }
    };
    section("BUTTONINFO", false);
    bool has_pictures = false;
    for (const Item& item : src_.items) has_pictures = has_pictures || item.kind == "pic";
    if (has_pictures) section("BUTTONINFO2", true);
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << ini.str();
    if (!out) Fail("cannot write " + path.toStdString());
  }

  const Kit& kit_;
  const DialogSource& src_;
  SkinDialog dialog_;
  QImage base_;
  QImage background_;
};

// Where the knob of a slider level is drawn: in the middle of the pixels a click turns into that
// level. A picture too narrow for every level to be clicked stops the build.
double SliderKnobX(int width, int maximum, int level) {
  const double x = layout::SliderKnobCentre(width, 0, maximum, level);
  if (x < 0)
    Fail("a slider " + std::to_string(width) + " pixels wide leaves level " + std::to_string(level) + " of " +
         std::to_string(maximum) + " without a pixel to click");
  return x;
}

// The lighting panel's bitmaps and the busy indicator's frames, each drawn over what lies beneath
// its control in the main window's background.
void WriteLightingBitmaps(const Kit& kit, const DialogRenderer& main, const QString& skins) {
  auto rect_of = [&](const char* key) {
    const Item* item = main.Find("ctl", key);
    if (item == nullptr) Fail(std::string("the layout misses ctl ") + key);
    return QRect(item->rect.x, item->rect.y, item->rect.w, item->rect.h);
  };
  int written = 0;
  auto write = [&](const std::string& name, const QRect& r, auto&& draw) {
    QImage img = main.background().copy(r);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.translate(-r.topLeft());
    draw(p, r);
    p.end();
    Save(img.convertToFormat(QImage::Format_RGB888), skins + "/" + QString::fromStdString(name), "BMP");
    ++written;
  };
  const QRect light = rect_of("CONTROL_LightSlider"), speed = rect_of("CONTROL_SpeedSlider");
  // Each level's knob sits where a click selects that level.
  for (int level = 0; level <= 24; ++level)
    write(layout::BrightnessBitmap(level), light,
          [&](QPainter& p, const QRect& r) { kit.Slider(p, r, SliderKnobX(r.width(), 24, level)); });
  for (int pos = 0; pos <= 4; ++pos)
    write(layout::SpeedBitmap(pos), speed,
          [&](QPainter& p, const QRect& r) { kit.Slider(p, r, SliderKnobX(r.width(), 4, pos)); });
  const QRect deng = rect_of("CONTROL_DengStaPic");
  write("dengup.bmp", deng, [&](QPainter& p, const QRect& r) { kit.Toggle(p, r, false); });
  write("dengdown.bmp", deng, [&](QPainter& p, const QRect& r) { kit.Toggle(p, r, true); });
  // "All keys off" and "all keys on" each have a pair of their own: a dark and a lit keycap.
  const QRect all_off = rect_of("CONTROL_HXsjsStaPic"), all_on = rect_of("CONTROL_LEDsjsStaPic");
  write("sjsup.bmp", all_off, [&](QPainter& p, const QRect& r) { kit.AllKeys(p, r, false, false); });
  write("sjsdown.bmp", all_off, [&](QPainter& p, const QRect& r) { kit.AllKeys(p, r, false, true); });
  write("ledsjsup.bmp", all_on, [&](QPainter& p, const QRect& r) { kit.AllKeys(p, r, true, false); });
  write("ledsjsdown.bmp", all_on, [&](QPainter& p, const QRect& r) { kit.AllKeys(p, r, true, true); });
  const QRect tool1 = rect_of("CONTROL_USERgjStaPic1"), tool2 = rect_of("CONTROL_USERgjStaPic2");
  for (bool on : {false, true}) {
    const char* state = on ? "down" : "up";
    write(std::string("user1") + state + ".bmp", tool1, [&](QPainter& p, const QRect& r) { kit.ToolTile(p, r, "brush", on); });
    write(std::string("user2") + state + ".bmp", tool2, [&](QPainter& p, const QRect& r) { kit.ToolTile(p, r, "eraser", on); });
  }
  const QRect left = rect_of("CONTROL_BLFXLStaPic"), right = rect_of("CONTROL_BLFXRStaPic");
  struct Pair {
    const char* up;
    const char* down;
    const char* icon;
    bool left_side;
  };
  const Pair pairs[] = {
      {"leftup", "leftdown", "arrowleft", true},  {"rightup", "rightdown", "arrowright", false},
      {"upup", "updown", "arrowup", true},        {"downup", "downdown", "arrowdown", false},
      {"kuosan", "kuosandown", "spread", true},   {"julong", "julongdown", "converge", false},
  };
  for (const Pair& pair : pairs) {
    const QRect r = pair.left_side ? left : right;
    write(std::string(pair.up) + ".bmp", r, [&](QPainter& p, const QRect& rr) { kit.ToolTile(p, rr, pair.icon, false); });
    write(std::string(pair.down) + ".bmp", r, [&](QPainter& p, const QRect& rr) { kit.ToolTile(p, rr, pair.icon, true); });
  }
  const QRect busy = rect_of("CONTROL_JDTStatic");
  for (int frame = 1; frame <= 10; ++frame)
    write(layout::BusyFrameBitmap(frame), busy, [&](QPainter& p, const QRect& r) { kit.Spinner(p, r, frame - 1); });
  if (written != int(layout::LightingBitmapFiles().size())) Fail("lighting bitmaps out of step with the table");
}

// The theme for the native controls the program puts on its dialogs (read at start-up): every
// colour of the source and the inside of a sunken field.
void WriteTheme(const Kit& kit, const std::map<std::string, std::string>& colours, const QString& skins) {
  std::ostringstream ini;
  ini << "; Generated from the skin's layout source. Do not edit: edit the source instead.\n[THEME]\n";
  for (const auto& [name, value] : colours)
    ini << name << "=" << QColor(QString::fromStdString(value)).name().toStdString() << "\n";
  ini << "field=" << kit.FieldColour().name().toStdString() << "\n";
  const std::string path = (skins + "/Theme.ini").toStdString();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << ini.str();
  if (!out) Fail("cannot write " + path);
}

void WriteIcons(const Kit& kit, const QString& out) {
  QDir().mkpath(out + "/icons");
  for (int resource : layout::kIconResources)
    for (int size : layout::kIconSizes)
      Save(kit.ProgramIcon(resource, size), out + "/" + QString::fromStdString(layout::IconFileName(resource, size)),
           "PNG");
}

int Run(const std::string& source_path, const std::string& out_dir) {
  std::ifstream in(source_path, std::ios::binary);
  if (!in) Fail("cannot read " + source_path);
  std::stringstream text;
  text << in.rdbuf();
  SkinSource source;
  std::string error;
  if (!ParseSkinSource(text.str(), source, error)) Fail(source_path + ": " + error);
  Theme theme;
  std::string missing;
  if (!theme.Load(source.theme, missing)) Fail(source_path + ": theme colour '" + missing + "' missing or invalid");
  Kit kit(theme);
  const QString out = QString::fromStdString(out_dir);
  const QString skins = out + "/Skins";
  if (!QDir().mkpath(skins)) Fail("cannot create " + skins.toStdString());
  for (SkinDialog dialog : layout::kSkinDialogs) {
    const DialogSource* src = nullptr;
    for (const DialogSource& d : source.dialogs)
      if (d.name == layout::DialogName(dialog)) src = &d;
    if (src == nullptr) Fail("the source has no dialog " + std::string(layout::DialogName(dialog)));
    DialogRenderer renderer(kit, *src, dialog);
    renderer.Validate();
    renderer.Write(skins);
    if (dialog == SkinDialog::Main) WriteLightingBitmaps(kit, renderer, skins);
  }
  WriteTheme(kit, source.theme, skins);
  WriteIcons(kit, out);
  return 0;
}

}  // namespace
}  // namespace orvane::skingen

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: skingen SOURCE OUTPUT_DIR\n");
    return 2;
  }
  // Pictures only: never needs a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  return orvane::skingen::Run(argv[1], argv[2]);
}
