// The dialogs' control tables: IDs and keys are unique where the dialogs look controls up by them,
// key names follow the key index, and the picture names are the ones the dialogs load.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "ui/layout/dialog_layout.h"

namespace orvane {
namespace {

using layout::Placement;
using layout::SkinDialog;

TEST(LayoutTables, ControlIdsAndKeysAreUniquePerDialog) {
  for (SkinDialog d : layout::kSkinDialogs) {
    SCOPED_TRACE(std::string(layout::DialogName(d)));
    std::map<int, std::string> ids;
    std::set<std::pair<std::string, std::string>> keys;
    for (const layout::SkinControl& c : layout::Controls(d)) {
      EXPECT_TRUE(keys.insert({std::string(c.section), c.key}).second) << c.key << " listed twice";
      EXPECT_EQ(c.placement == Placement::Picture, c.section == layout::kSectionPictures) << c.key;
      EXPECT_EQ(c.faces == layout::Faces::None,
                c.placement == Placement::Control || c.placement == Placement::Move)
          << c.key;
      // A moved place belongs to a control that is also placed; every other ID names one control.
      if (c.id == 0 || c.placement == Placement::Move || c.placement == Placement::Picture) continue;
      auto [it, added] = ids.emplace(c.id, c.key);
      EXPECT_TRUE(added) << "ID " << c.id << " used by " << it->second << " and " << c.key;
    }
    for (const layout::SkinControl& c : layout::Controls(d)) {
      if (c.placement == Placement::Move) {
        EXPECT_TRUE(ids.count(c.id)) << c.key << " moves a control nobody places";
      }
    }
  }
}

TEST(LayoutTables, MainWindowKeysFollowTheKeyIndex) {
  std::set<std::string> keys;
  for (const layout::KeyButton& k : layout::KeyButtons()) keys.insert(layout::KeyButtonKey(k.code));
  EXPECT_EQ(keys.size(), size_t(layout::kKeyButtonCount));
  // E0-prefixed keys land on their index (code - 0x80), three upper-case hex digits.
  EXPECT_EQ(layout::KeyButtonKey(0x11D), "KEY_09D");
  EXPECT_EQ(layout::KeyButtonKey(0x145), "KEY_0C5");
  EXPECT_EQ(layout::KeyButtonKey(0x01E), "KEY_01E");
  const layout::SkinControl* ctrl = layout::FindControl(SkinDialog::Main, "KEY_09D");
  ASSERT_NE(ctrl, nullptr);
  EXPECT_EQ(ctrl->id, ButtonOfKeyCode(0x11D));
  const layout::SkinControl* g6 = layout::FindControl(SkinDialog::Main, "FUNC_G6");
  ASSERT_NE(g6, nullptr);
  EXPECT_EQ(g6->id, GKeyButtons()[5]);
  // A key found in both sections is looked up in BUTTONINFO first.
  EXPECT_EQ(layout::FindControl(SkinDialog::Main, "UP_ARROW_LEFT1")->section, layout::kSectionPictures);
  EXPECT_EQ(layout::FindControl(SkinDialog::Main, "NO_SUCH_KEY"), nullptr);
}

TEST(LayoutTables, DialogsLoadTheirNamedPictures) {
  auto sorted = [](std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  EXPECT_EQ(sorted(layout::StatePictureFiles(SkinDialog::Main)),
            sorted({"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg", "main_color0.jpg",
                    "main_color1.jpg", "Arrow.jpg"}));
  EXPECT_EQ(sorted(layout::StatePictureFiles(SkinDialog::Profile)),
            sorted({"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg"}));
  EXPECT_EQ(sorted(layout::StatePictureFiles(SkinDialog::Update)), sorted({"update_normal.jpg", "update_over.jpg"}));
  std::vector<std::string> composite;
  for (const char* set : {"key", "media", "function"})
    for (const char* role : {"normal", "over", "down"}) composite.push_back(std::string(set) + "_" + role + ".jpg");
  for (const char* set : {"macro", "macro2"})
    for (const char* role : {"normal", "over", "down", "disable"})
      composite.push_back(std::string(set) + "_" + role + ".jpg");
  EXPECT_EQ(sorted(layout::StatePictureFiles(SkinDialog::Composite)), sorted(composite));
  EXPECT_EQ(layout::LightingBitmapFiles().size(), 25u + 5u + 22u + 10u);
  EXPECT_EQ(layout::SpeedBitmap(0), "25.bmp");
  EXPECT_EQ(layout::SpeedBitmap(4), "29.bmp");
}

// Share of a bitmap's pixels in the accent colour: a slider shows more of it the higher its level.
int AccentPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      QRgb p = image.pixel(x, y);
      if (qBlue(p) > 180 && qBlue(p) > qRed(p) + 80) ++count;
    }
  return count;
}

TEST(LayoutTables, SliderPicturesGrowWithTheirLevel) {
  static int argc = 1;
  static char name[] = "skin_tests";
  static char* argv[] = {name, nullptr};
  if (QGuiApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
  }
  const std::string skins = std::string(ORVANE_DATA_DIR) + "/Skins/";
  auto accent = [&](const std::string& file) {
    QImage image(QString::fromStdString(skins + file));
    EXPECT_FALSE(image.isNull()) << file;
    return AccentPixels(image);
  };
  for (int level = 1; level <= 24; ++level)
    EXPECT_GT(accent(layout::BrightnessBitmap(level)), accent(layout::BrightnessBitmap(level - 1))) << level;
  for (int pos = 1; pos <= 4; ++pos)
    EXPECT_GT(accent(layout::SpeedBitmap(pos)), accent(layout::SpeedBitmap(pos - 1))) << pos;
  // Of each two-state pair the "down" picture is the one marked.
  for (const char* pair : {"deng", "sjs", "user1", "user2", "left", "right", "up", "down"})
    EXPECT_GT(accent(std::string(pair) + "down.bmp"), accent(std::string(pair) + "up.bmp")) << pair;
  EXPECT_GT(accent("kuosandown.bmp"), accent("kuosan.bmp"));
  EXPECT_GT(accent("julongdown.bmp"), accent("julong.bmp"));
}

}  // namespace
}  // namespace orvane
