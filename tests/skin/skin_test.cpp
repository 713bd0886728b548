// The generated Skins folder against the dialogs' control tables: every key a dialog reads is in
// its layout file, the key buttons do not overlap, every picture exists with the right size, the
// button faces differ by state and line up with the background, and generation is repeatable.
// Also writes a preview of each dialog into the build folder for review.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "platform/ini_file.h"
#include "tools/skingen/skin_source.h"
#include "ui/layout/dialog_layout.h"

namespace orvane {
namespace {

using layout::SkinDialog;

void EnsureApp() {
  static int argc = 1;
  static char name[] = "skin_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
}

const std::string kBin = ORVANE_DATA_DIR;
const std::string kSkins = kBin + "/Skins/";

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Intersects(const Rect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
};

bool ParseRect(const std::string& value, Rect& r) {
  return std::sscanf(value.c_str(), "%d,%d,%d,%d", &r.x, &r.y, &r.w, &r.h) == 4;
}

IniDocument Layout(SkinDialog d) { return IniDocument::Load(kSkins + layout::LayoutFileName(d)); }

Rect RectOf(SkinDialog d, const std::string& section, const std::string& key) {
  Rect r;
  EXPECT_TRUE(ParseRect(Layout(d).Get(section, key, ""), r)) << key;
  return r;
}

QImage Load(const std::string& name) {
  EnsureApp();
  return QImage(QString::fromStdString(kSkins + name));
}

QSize DialogSize(SkinDialog d) {
  std::string bg = Layout(d).Get("SCREEN", "Main", "");
  return Load(bg).size();
}

// Mean absolute difference per channel between two equally sized images.
double MeanDifference(const QImage& a, const QImage& b) {
  QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  if (x.size() != y.size() || x.isNull()) return 1e9;
  double sum = 0;
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col) {
      QRgb p = x.pixel(col, row), q = y.pixel(col, row);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * x.width() * x.height());
}

// The main window's keyboard keys: the key buttons, the G keys and Fn.
bool IsKeyboardKey(SkinDialog d, int id) {
  if (d != SkinDialog::Main) return false;
  if (id == ids::main::kFn || GKeyOfButton(id) > 0) return true;
  for (const layout::KeyButton& k : layout::KeyButtons())
    if (k.controlId == id) return true;
  return false;
}

// A button's face in a state picture: its client size, cut one pixel up and left of its position.
QImage Face(const QImage& picture, const Rect& r) { return picture.copy(r.x - 1, r.y - 1, r.w, r.h); }

TEST(SkinLayout, LayoutFilesHoldEveryKeyTheDialogsRead) {
  for (SkinDialog d : layout::kSkinDialogs) {
    SCOPED_TRACE(layout::LayoutFileName(d));
    IniDocument ini = Layout(d);
    ASSERT_TRUE(ini.Has("SCREEN", "Main"));
    EXPECT_TRUE(ini.Has("SCREEN", "Mask"));
    for (const layout::SkinControl& c : layout::Controls(d)) {
      ASSERT_TRUE(ini.Has(std::string(c.section), c.key)) << c.key;
      Rect r;
      ASSERT_TRUE(ParseRect(ini.Get(std::string(c.section), c.key, ""), r)) << c.key;
      EXPECT_GT(r.w, 0) << c.key;
      EXPECT_GT(r.h, 0) << c.key;
      // Controls with a role of their own sit inside the dialog and away from the disable sentinel.
      if (c.id != 0 && c.placement != layout::Placement::Picture && c.key != "CONTROL_UPCombox") {
        QSize size = DialogSize(d);
        EXPECT_FALSE(r.x == 1 && r.y == 1) << c.key << " is parked at (1, 1)";
        EXPECT_LE(r.x + r.w, size.width()) << c.key;
        EXPECT_LE(r.y + r.h, size.height()) << c.key;
      }
    }
  }
  IniDocument main = Layout(SkinDialog::Main);
  for (std::string_view key : layout::kMainLinkKeys)
    EXPECT_EQ(main.Get("SCREEN", std::string(key), "").rfind("https://", 0), 0u) << key;
}

// F1 to F4 and the flip keys D1 to D6 share one place; only one of the two blocks is ever shown.
bool FlipBlocks(const std::string& a, const std::string& b) {
  auto f_key = [](const std::string& key) {
    for (uint16_t code : {0x03B, 0x03C, 0x03D, 0x03E})
      if (key == layout::KeyButtonKey(code)) return true;
    return false;
  };
  auto d_key = [](const std::string& key) { return key.rfind("KEY_D", 0) == 0; };
  return (f_key(a) && d_key(b)) || (d_key(a) && f_key(b));
}

TEST(SkinLayout, ImageButtonsOfTheMainWindowDoNotOverlap) {
  // Includes the 104 key buttons; an overlap would let one key's face paint over another's.
  // The two flip blocks are the exception: they take turns at the same place.
  std::vector<std::pair<std::string, Rect>> buttons;
  for (const layout::SkinControl& c : layout::Controls(SkinDialog::Main)) {
    if (c.placement != layout::Placement::Button && c.placement != layout::Placement::ButtonFrom) continue;
    Rect r = RectOf(SkinDialog::Main, "BUTTONINFO", c.key);
    if (r.x == 1 && r.y == 1) continue;
    buttons.emplace_back(c.key, r);
  }
  int keys = 0;
  for (const layout::KeyButton& k : layout::KeyButtons())
    for (auto& [key, r] : buttons) keys += key == layout::KeyButtonKey(k.code);
  EXPECT_EQ(keys, layout::kKeyButtonCount);
  for (size_t i = 0; i < buttons.size(); ++i)
    for (size_t j = i + 1; j < buttons.size(); ++j)
      EXPECT_EQ(buttons[i].second.Intersects(buttons[j].second) && !FlipBlocks(buttons[i].first, buttons[j].first),
                false)
          << buttons[i].first << " overlaps " << buttons[j].first;
  // D1 to D6 lie between Esc and F5, in one row with F1 to F4.
  const Rect esc = RectOf(SkinDialog::Main, "BUTTONINFO", layout::KeyButtonKey(0x001));
  const Rect f5 = RectOf(SkinDialog::Main, "BUTTONINFO", layout::KeyButtonKey(0x03F));
  for (int n = 1; n <= 6; ++n) {
    const Rect d = RectOf(SkinDialog::Main, "BUTTONINFO", layout::FlipKeyKey(n));
    EXPECT_GE(d.x, esc.x + esc.w) << n;
    EXPECT_LE(d.x + d.w, f5.x) << n;
    EXPECT_EQ(d.y, esc.y) << n;
  }
}

TEST(SkinPictures, EveryPictureExistsWithItsDialogsSize) {
  for (SkinDialog d : layout::kSkinDialogs) {
    SCOPED_TRACE(layout::LayoutFileName(d));
    IniDocument ini = Layout(d);
    QImage background = Load(ini.Get("SCREEN", "Main", ""));
    QImage mask = Load(ini.Get("SCREEN", "Mask", ""));
    ASSERT_FALSE(background.isNull());
    ASSERT_EQ(mask.size(), background.size());
    // Pure white outside the rounded corners, opaque inside.
    EXPECT_EQ(mask.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(mask.pixel(mask.width() - 1, mask.height() - 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(mask.pixel(mask.width() / 2, mask.height() / 2) & 0xFFFFFF, 0xFFFFFFu);
    const QSize state_size = background.size() + QSize(100, 100);
    for (const std::string& name : layout::StatePictureFiles(d)) {
      QImage picture = Load(name);
      ASSERT_FALSE(picture.isNull()) << name;
      EXPECT_EQ(picture.size(), state_size) << name;
    }
  }
  const QSize main = DialogSize(SkinDialog::Main);
  EXPECT_GE(main.width(), 1000);
  EXPECT_LE(main.width(), 1200);
}

TEST(SkinPictures, LightingBitmapsFitTheirControls) {
  auto size_of = [](const char* key) {
    Rect r = RectOf(SkinDialog::Main, "BUTTONINFO", key);
    return QSize(r.w, r.h);
  };
  std::map<std::string, QSize> expected;
  for (int level = 0; level <= 24; ++level) expected[layout::BrightnessBitmap(level)] = size_of("CONTROL_LightSlider");
  for (int pos = 0; pos <= 4; ++pos) expected[layout::SpeedBitmap(pos)] = size_of("CONTROL_SpeedSlider");
  for (int frame = 1; frame <= 10; ++frame) expected[layout::BusyFrameBitmap(frame)] = size_of("CONTROL_JDTStatic");
  for (const char* n : {"dengup.bmp", "dengdown.bmp"}) expected[n] = size_of("CONTROL_DengStaPic");
  for (const char* n : {"sjsup.bmp", "sjsdown.bmp"}) expected[n] = size_of("CONTROL_HXsjsStaPic");
  for (const char* n : {"ledsjsup.bmp", "ledsjsdown.bmp"}) expected[n] = size_of("CONTROL_LEDsjsStaPic");
  for (const char* n : {"leftup.bmp", "leftdown.bmp", "upup.bmp", "updown.bmp", "kuosan.bmp", "kuosandown.bmp"})
    expected[n] = size_of("CONTROL_BLFXLStaPic");
  for (const std::string& name : layout::LightingBitmapFiles()) {
    QImage bitmap = Load(name);
    ASSERT_FALSE(bitmap.isNull()) << name;
    auto it = expected.find(name);
    if (it != expected.end()) {
      EXPECT_EQ(bitmap.size(), it->second) << name;
    }
  }
  // Each level of a slider is a picture of its own.
  EXPECT_NE(Load("0.bmp"), Load("24.bmp"));
  EXPECT_NE(Load("25.bmp"), Load("29.bmp"));
  EXPECT_NE(Load("dengup.bmp"), Load("dengdown.bmp"));
  // "All keys off" and "all keys on" look different, chosen or not.
  for (const char* off : {"sjsup.bmp", "sjsdown.bmp"})
    for (const char* on : {"ledsjsup.bmp", "ledsjsdown.bmp"}) EXPECT_GT(MeanDifference(Load(off), Load(on)), 4.0);
  EXPECT_NE(Load("jdt1.bmp"), Load("jdt2.bmp"));
}

TEST(SkinPictures, FacesDifferByStateAndLineUpWithTheBackground) {
  for (SkinDialog d : layout::kSkinDialogs) {
    SCOPED_TRACE(layout::LayoutFileName(d));
    QImage background = Load(Layout(d).Get("SCREEN", "Main", ""));
    std::map<std::string, QImage> pictures;
    auto picture = [&](std::string_view name) -> const QImage& {
      auto [it, added] = pictures.try_emplace(std::string(name));
      if (added) it->second = Load(std::string(name));
      return it->second;
    };
    for (const layout::SkinControl& c : layout::Controls(d)) {
      const bool own_place = c.placement == layout::Placement::ButtonFrom && !c.picture_key.empty();
      if (c.placement != layout::Placement::Button && !own_place) continue;
      Rect r = RectOf(d, "BUTTONINFO", c.key);
      if (r.x == 1 && r.y == 1) continue;
      layout::FaceFiles files = layout::FaceFilesOf(c.faces);
      // A flip block's place shows neither block in the background: the keys there are faces
      // of whichever block is shown, never a seam of the other one.
      bool shared = false;
      for (const layout::SkinControl& o : layout::Controls(d))
        shared = shared || FlipBlocks(c.key, o.key);
      if (shared) {
        const QImage under = background.copy(r.x, r.y, r.w, r.h);
        // The flip keys' faces are cut at their own place, below the dialog in each picture.
        if (own_place) {
          const Rect at = RectOf(d, "BUTTONINFO2", c.picture_key);
          EXPECT_EQ(at.w, r.w) << c.key;
          EXPECT_EQ(at.h, r.h) << c.key;
          EXPECT_GE(at.y, DialogSize(d).height()) << c.key;
          r = at;
        }
        const QImage normal = Face(picture(files[0]), r);
        EXPECT_GT(MeanDifference(normal, under), 8.0) << c.key << ": the background shows a key at the shared place";
        EXPECT_GT(MeanDifference(normal, Face(picture(files[size_t(SkinRole::Selected)]), r)), 1.0) << c.key;
        continue;
      }
      QImage normal = Face(picture(files[0]), r);
      const bool static_face = c.key == "KALVEN_VER" || c.key == "CONTROL_MASK" || c.key == "CONTROL_TITLE";
      QImage under = background.copy(r.x, r.y, r.w, r.h);
      if (IsKeyboardKey(d, c.id)) {
        // A key's normal face continues the background exactly where the key sits (frame mode
        // shows the background's key through the frame): one pixel off would be a seam.
        QImage beside = background.copy(r.x + 1, r.y + 1, r.w, r.h);
        EXPECT_LT(MeanDifference(normal, under), 8.0) << c.key;
        if (MeanDifference(under, beside) > 4.0) {
          EXPECT_LT(MeanDifference(normal, under), MeanDifference(normal, beside)) << c.key;
        }
      } else {
        // Any other button's face is not in the background, so a hidden button leaves nothing
        // behind; the strip just above it continues the background without a seam.
        if (!static_face) {
          EXPECT_GT(MeanDifference(normal, under), 1.0) << c.key << " is drawn into the background";
        }
        const Rect strip{r.x, r.y - 4, r.w, 3};
        bool on_other_button = false;  // a strip over another button shows that button's face
        for (const layout::SkinControl& o : layout::Controls(d))
          if (o.placement == layout::Placement::Button && o.key != c.key)
            on_other_button = on_other_button || RectOf(d, "BUTTONINFO", o.key).Intersects(strip);
        if (r.y >= 5 && !on_other_button) {
          EXPECT_LT(MeanDifference(Face(picture(files[0]), strip), background.copy(strip.x, strip.y, strip.w, strip.h)),
                    8.0)
              << c.key;
        }
      }
      if (static_face) continue;
      const SkinRole roles[] = {SkinRole::Over, SkinRole::Down, SkinRole::Selected,
                                    SkinRole::Disabled};
      std::vector<QImage> seen{normal};
      std::vector<std::string_view> seen_files{files[0]};
      for (SkinRole role : roles) {
        std::string_view file = files[size_t(role)];
        if (std::find(seen_files.begin(), seen_files.end(), file) != seen_files.end()) continue;  // shared picture
        seen_files.push_back(file);
        QImage face = Face(picture(file), r);
        for (const QImage& other : seen)
          EXPECT_GT(MeanDifference(face, other), 1.0) << c.key << " looks the same in " << file;
        seen.push_back(face);
      }
    }
  }
}

TEST(SkinPictures, IconsExistInEverySize) {
  for (int resource : layout::kIconResources)
    for (int size : layout::kIconSizes) {
      QImage icon(QString::fromStdString(kBin + "/" + layout::IconFileName(resource, size)));
      ASSERT_FALSE(icon.isNull()) << resource << " " << size;
      EXPECT_EQ(icon.size(), QSize(size, size));
      EXPECT_TRUE(icon.hasAlphaChannel());
    }
  EXPECT_NE(QImage(QString::fromStdString(kBin + "/" + layout::IconFileName(128, 32))),
            QImage(QString::fromStdString(kBin + "/" + layout::IconFileName(141, 32))));
}

std::map<QString, QByteArray> ReadTree(const QString& root) {
  std::map<QString, QByteArray> files;
  for (const QString& sub : {QStringLiteral("Skins"), QStringLiteral("icons")}) {
    QDir dir(root + "/" + sub);
    for (const QString& name : dir.entryList(QDir::Files)) {
      QFile f(dir.filePath(name));
      if (f.open(QIODevice::ReadOnly)) files[sub + "/" + name] = f.readAll();
    }
  }
  return files;
}

TEST(SkinGenerator, SameSourceGivesTheSameBytes) {
  EnsureApp();
  QTemporaryDir first, second;
  ASSERT_TRUE(first.isValid() && second.isValid());
  const QString source = QStringLiteral(ORVANE_SOURCE_DIR "/assets/skin/orvane.skin");
  for (const QTemporaryDir* dir : {&first, &second}) {
    QProcess run;
    run.start(QStringLiteral(ORVANE_SKINGEN), {source, dir->path()});
    ASSERT_TRUE(run.waitForFinished(120000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  }
  auto a = ReadTree(first.path()), b = ReadTree(second.path());
  EXPECT_GT(a.size(), 100u);
  ASSERT_EQ(a.size(), b.size());
  for (const auto& [name, bytes] : a) EXPECT_TRUE(bytes == b[name]) << name.toStdString() << " differs";
}

TEST(SkinGenerator, LayoutSourceErrorsAreReportedWithTheirLine) {
  struct Case {
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {"dialog Main 100 100\nbtn KEY_001 1 2 3\n", "line 2"},
      {"dialog Main 100 100\nrow 0 001:Esc\n", "line 2"},  // no keyboard line yet
      {"dialog Main 100 100\nkeyboard 0 0 40 4\nrow 0 xyz:Q\n", "line 3"},
      {"dialog Main 100 100\nkeyboard 0 0 40 4\nrow 0 010/-1:Q\n", "line 3"},
      {"btn KEY_001 1 2 3 4 key\n", "line 1"},  // before any dialog
      {"dialog Main -5 100\n", "line 1"},
      {"theme accent blue\n", "line 1"},
      {"dialog Main 100 100\nbogus 1 2 3 4\n", "line 2"},
  };
  for (const Case& c : cases) {
    skingen::SkinSource source;
    std::string error;
    EXPECT_FALSE(skingen::ParseSkinSource(c.text, source, error)) << c.text;
    EXPECT_NE(error.find(c.line), std::string::npos) << c.text << " -> " << error;
  }
  // Legends: "|" splits upper from lower, "_" is a blank, a backslash takes the next character.
  struct Legend {
    const char* text;
    const char* upper;
    const char* lower;
  };
  const Legend legends[] = {
      {"\\_|-", "_", "-"},    {"\\||\\\\", "|", "\\"}, {"Caps_Lock", "", "Caps Lock"},
      {"_", "", " "},         {"~|`", "~", "`"},       {"a\\b", "", "ab"},
  };
  for (const Legend& l : legends) {
    std::string upper, lower, why;
    ASSERT_TRUE(skingen::ParseLegend(l.text, upper, lower, why)) << l.text << ": " << why;
    EXPECT_EQ(upper, l.upper) << l.text;
    EXPECT_EQ(lower, l.lower) << l.text;
  }
  for (const char* bad : {"a|b|c", "x\\"}) {
    std::string upper, lower, why;
    EXPECT_FALSE(skingen::ParseLegend(bad, upper, lower, why)) << bad;
  }
  {
    skingen::SkinSource broken;
    std::string error;
    EXPECT_FALSE(skingen::ParseSkinSource("dialog Main 100 100\nkeyboard 0 0 40 4\nrow 0 00C:a|b|c\n", broken, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  }
  // Key rows become buttons named after the key index, placed by unit and gap.
  skingen::SkinSource source;
  std::string error;
  ASSERT_TRUE(skingen::ParseSkinSource("dialog Main 600 300\nkeyboard 10 20 40 4\nrow 1 001:Esc +1 11D/1.5:Ctrl\n",
                                       source, error))
      << error;
  ASSERT_EQ(source.dialogs[0].items.size(), 2u);
  const skingen::Item& ctrl = source.dialogs[0].items[1];
  EXPECT_EQ(ctrl.key, "KEY_09D");
  EXPECT_EQ(ctrl.rect.x, 10 + 2 * 40);
  EXPECT_EQ(ctrl.rect.y, 20 + 40);
  EXPECT_EQ(ctrl.rect.w, 56);
  EXPECT_EQ(ctrl.rect.h, 36);
}

TEST(HelpPage, BothLanguagesAreBesideTheProgramAndTheirLinksResolve) {
  // The English page and its Russian translation, each linking to the other; both list the same
  // sections, so neither falls behind.
  std::set<QString> section_ids[2];
  const char* pages[] = {"index.html", "index.ru.html"};
  for (int page = 0; page < 2; ++page) {
    SCOPED_TRACE(pages[page]);
    QFile file(QString::fromStdString(kBin + "/Help/" + pages[page]));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("70-orvane.rules")));
    EXPECT_TRUE(html.contains(QStringLiteral("~/.config/orvane/registry.reg")));
    EXPECT_TRUE(html.contains(QStringLiteral("dwLanguageId")));
    std::set<QString>& ids = section_ids[page];
    for (qsizetype at = 0; (at = html.indexOf(QStringLiteral("id=\""), at)) >= 0;) {
      at += 4;
      ids.insert(html.mid(at, html.indexOf(QLatin1Char('"'), at) - at));
    }
    // Every link inside the page has its target, the other page is the only one named, and the
    // page needs nothing from the network.
    int links = 0;
    bool other = false;
    for (qsizetype at = 0; (at = html.indexOf(QStringLiteral("href=\""), at)) >= 0;) {
      at += 6;
      const QString target = html.mid(at, html.indexOf(QLatin1Char('"'), at) - at);
      if (target == QLatin1String(pages[1 - page])) {
        other = true;
        continue;
      }
      ASSERT_TRUE(target.startsWith(QLatin1Char('#'))) << target.toStdString();
      EXPECT_TRUE(ids.count(target.mid(1))) << target.toStdString();
      ++links;
    }
    EXPECT_TRUE(other);
    EXPECT_GT(links, 10);
    EXPECT_FALSE(html.contains(QStringLiteral("src=\"http")));
  }
  EXPECT_EQ(section_ids[0], section_ids[1]);
}

// Not a check: writes the normal picture of each dialog, and the main window's keyboard in every
// state, into the build folder for people to look at.
TEST(SkinPreview, WritesPreviewPictures) {
  const QString out = QStringLiteral(ORVANE_DATA_DIR "/../skin-preview");
  ASSERT_TRUE(QDir().mkpath(out));
  for (SkinDialog d : layout::kSkinDialogs) {
    QSize size = DialogSize(d);
    // The About dialog has no image buttons: its background is its picture.
    std::string normal = d == SkinDialog::About
                             ? Layout(d).Get("SCREEN", "Main", "")
                             : std::string(layout::FaceFilesOf(d == SkinDialog::Main      ? layout::Faces::MainStandard
                                                               : d == SkinDialog::Profile ? layout::Faces::Profile
                                                               : d == SkinDialog::Update  ? layout::Faces::Update
                                                                                          : layout::Faces::CompositeKey)[0]);
    QImage preview = Load(normal).copy(0, 0, size.width(), size.height());
    ASSERT_TRUE(preview.save(out + "/" + QString::fromStdString(std::string(layout::DialogName(d))) + ".png"));
  }
  std::vector<std::string> states = {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg"};
  QImage sheet(1100, 340 * int(states.size()), QImage::Format_RGB32);
  QPainter p(&sheet);
  for (size_t i = 0; i < states.size(); ++i) p.drawImage(0, int(i) * 340, Load(states[i]).copy(0, 60, 1100, 340));
  p.end();
  ASSERT_TRUE(sheet.save(out + "/Main-states.png"));
  // The main window with its lighting panel shown, as the program will put the bitmaps there.
  QImage lit = Load("main_normal.jpg").copy(-1, -1, 1100, 600);
  QPainter l(&lit);
  const std::pair<const char*, std::string> bitmaps[] = {
      {"CONTROL_LightSlider", layout::BrightnessBitmap(16)}, {"CONTROL_SpeedSlider", layout::SpeedBitmap(2)},
      {"CONTROL_DengStaPic", "dengdown.bmp"},                {"CONTROL_HXsjsStaPic", "sjsup.bmp"},
      {"CONTROL_LEDsjsStaPic", "sjsdown.bmp"},               {"CONTROL_USERgjStaPic1", "user1down.bmp"},
      {"CONTROL_USERgjStaPic2", "user2up.bmp"},              {"CONTROL_BLFXLStaPic", "leftdown.bmp"},
      {"CONTROL_BLFXRStaPic", "rightup.bmp"},                {"CONTROL_JDTStatic", layout::BusyFrameBitmap(3)},
  };
  for (const auto& [key, file] : bitmaps) {
    Rect r = RectOf(SkinDialog::Main, "BUTTONINFO", key);
    l.drawImage(r.x, r.y, Load(file));
  }
  // The arrows as placed with the flip setting 0.
  for (auto [button, picture] : {std::pair{"LEFT_ARROW", "DOWN_ARROW_LEFT1"}, std::pair{"RIGHT_ARROW", "DOWN_ARROW_RIGHT1"}}) {
    Rect place = RectOf(SkinDialog::Main, "BUTTONINFO", button);
    Rect offset = RectOf(SkinDialog::Main, "BUTTONINFO2", picture);
    l.drawImage(place.x, place.y, Face(Load("Arrow.jpg"), Rect{offset.x, offset.y, place.w, place.h}));
  }
  Rect selected = RectOf(SkinDialog::Main, "BUTTONINFO", "FUNC_REPORT4");
  l.drawImage(selected.x, selected.y, Face(Load("main_disable.jpg"), selected));
  l.end();
  ASSERT_TRUE(lit.save(out + "/Main-lighting.png"));
  std::vector<std::string> sets = {"key_normal.jpg", "key_over.jpg", "key_down.jpg", "macro_normal.jpg",
                                   "macro_disable.jpg", "macro2_disable.jpg", "media_normal.jpg", "function_normal.jpg"};
  QImage composite(640 * 2, 444 * 4, QImage::Format_RGB32);
  QPainter q(&composite);
  for (size_t i = 0; i < sets.size(); ++i)
    q.drawImage(int(i % 2) * 640, int(i / 2) * 444, Load(sets[i]).copy(0, 0, 640, 444));
  q.end();
  ASSERT_TRUE(composite.save(out + "/Composite-sets.png"));
}

}  // namespace
}  // namespace orvane
