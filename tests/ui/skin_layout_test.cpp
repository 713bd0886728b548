#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>
#include <filesystem>

#include "skin_fixture.h"
#include "ui/skin/ini_file.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"

namespace orvane {
namespace {

using testing::CoordinateImage;
using testing::OriginOf;
using testing::TempSkin;

TEST(SkinRectTest, ScansFourIntegersAndStopsAtTheFirstMismatch) {
  struct Case {
    const char* value;
    SkinRect expected;
  } cases[] = {
      {"10,20,30,40 any text after", {10, 20, 30, 40}},
      {"1,1,1,1,x", {1, 1, 1, 1}},
      {"-5,+6, 7,\t8", {-5, 6, 7, 8}},  // like %d: sign and leading blanks accepted
      {"5,6", {5, 6, 0, 0}},             // unread fields are 0
      {"7 ,8,9,10", {7, 0, 0, 0}},       // a blank before the comma ends the scan
      {"", {0, 0, 0, 0}},
      {"x,1,2,3", {0, 0, 0, 0}},
      {"99999999999,-99999999999,3,4", {2147483647, -2147483647 - 1, 3, 4}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSkinRect(c.value), c.expected) << '"' << c.value << '"';
}

TEST(SkinRectTest, MissingKeyAndUnreadableFileReadTheDefault) {
  TempSkin skin;
  skin.SetValue("Skins/Profile.ini", "BUTTONINFO", "FUNC_ADD", "12,13,14,15");
  EXPECT_EQ(ReadSkinRect(skin.Path("Skins/Profile.ini"), "buttoninfo", "func_add"), (SkinRect{12, 13, 14, 15}));
  EXPECT_EQ(ReadSkinRect(skin.Path("Skins/Profile.ini"), "BUTTONINFO", "CONTROL_OK"), (SkinRect{1, 1, 1, 1}));
  EXPECT_EQ(ReadSkinRect(skin.Path("Skins/None.ini"), "BUTTONINFO", "CONTROL_OK"), (SkinRect{1, 1, 1, 1}));
}

TEST(CIniFileTest, EmptyOrMissingValuesGiveNothingAndLongOnesAreCut) {
  TempSkin skin;
  skin.SetValue("Skins/Update.ini", "SCREEN", "Main", "update_bg.jpg");
  skin.SetValue("Skins/Update.ini", "SCREEN", "Empty", "");
  skin.SetValue("Skins/Update.ini", "SCREEN", "Long", std::string(3000, 'v'));
  CIniFile ini;
  ini.SetPath(skin.Path("Skins/Update.ini"));
  EXPECT_EQ(ini.Read("screen", "MAIN"), "update_bg.jpg");
  EXPECT_EQ(ini.Read("SCREEN", "Empty", "fallback"), std::nullopt);  // present but empty
  EXPECT_EQ(ini.Read("SCREEN", "Mask"), std::nullopt);
  EXPECT_EQ(ini.Read("SCREEN", "Mask", "update_bg.jpg"), "update_bg.jpg");
  EXPECT_EQ(ini.Read("SCREEN", "Long").value_or("").size(), 2047u);
}

TEST(CIniFileTest, APathDeeperThanTheOldBufferIsKeptWhole) {
  TempSkin skin;
  std::string deep = "Skins";
  while (deep.size() < 320) deep += "/installed-rather-deep";
  std::filesystem::create_directories(skin.Path(deep));
  skin.SetValue(deep + "/Main.ini", "SCREEN", "Main", "main_bg.jpg");
  CIniFile ini;
  ini.SetPath(skin.Path(deep + "/Main.ini"));
  EXPECT_EQ(ini.path(), skin.Path(deep + "/Main.ini"));
  EXPECT_EQ(ini.Read("SCREEN", "Main"), "main_bg.jpg");
}

TEST(SkinPathTest, SkinNamesLiveUnderTheProgramFolder) {
  TempSkin skin;
  EXPECT_EQ(SkinFolder(), skin.root() + "/Skins");
  EXPECT_EQ(SkinPath("Skins\\main_normal.jpg"), skin.root() + "/Skins/main_normal.jpg");
}

class PlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = skin_.Path("Skins/Profile.ini");
    // Five different pictures, each pixel naming its own coordinates and its role.
    for (int role = 0; role < kSkinRoleCount; ++role)
      pixmaps_[role] = QPixmap::fromImage(CoordinateImage(QSize(300, 200), 10 + role));
    pictures_ = {&pixmaps_[0], &pixmaps_[1], &pixmaps_[2], &pixmaps_[3], &pixmaps_[4]};
    parent_.resize(300, 200);
  }

  TempSkin skin_;
  std::string ini_;
  QPixmap pixmaps_[kSkinRoleCount];
  SkinPictures pictures_;
  QWidget parent_;
};

TEST_F(PlacementTest, AbsentButtonKeyLeavesADisabledOnePixelButtonAtOneOne) {
  CPngButton button(&parent_);
  PlaceSkinButton(&button, ini_, "BUTTONINFO", "CONTROL_OK", pictures_);
  EXPECT_EQ(button.geometry(), QRect(1, 1, 1, 1));
  EXPECT_FALSE(button.isEnabled());
}

TEST_F(PlacementTest, ButtonAtOneOneIsDisabledWhateverItsSize) {
  skin_.SetValue("Skins/Profile.ini", "BUTTONINFO", "CONTROL_OK", "1,1,80,20");
  skin_.SetValue("Skins/Profile.ini", "BUTTONINFO", "CONTROL_CANCEL", "1,2,80,20");
  CPngButton ok(&parent_), cancel(&parent_);
  PlaceSkinButton(&ok, ini_, "BUTTONINFO", "CONTROL_OK", pictures_);
  PlaceSkinButton(&cancel, ini_, "BUTTONINFO", "CONTROL_CANCEL", pictures_);
  EXPECT_EQ(ok.geometry(), QRect(1, 1, 80, 20));
  EXPECT_FALSE(ok.isEnabled());
  EXPECT_EQ(cancel.geometry(), QRect(1, 2, 80, 20));
  EXPECT_TRUE(cancel.isEnabled());
}

TEST_F(PlacementTest, PlainControlShrinksButStaysEnabled) {
  QLabel label("list", &parent_);
  label.setGeometry(40, 40, 100, 30);
  PlaceSkinControl(&label, ini_, "BUTTONINFO", "PROGRAM_LIST");
  EXPECT_EQ(label.geometry(), QRect(1, 1, 1, 1));
  EXPECT_TRUE(label.isEnabled());
}

TEST_F(PlacementTest, MoveKeepsTheControlsSize) {
  skin_.SetValue("Skins/Profile.ini", "BUTTONINFO", "CONTROL_BLFXStatic", "5,6,999,999");
  QLabel label("x", &parent_);
  label.setGeometry(40, 40, 100, 30);
  MoveSkinControl(&label, ini_, "BUTTONINFO", "CONTROL_BLFXStatic");
  EXPECT_EQ(label.geometry(), QRect(5, 6, 100, 30));
}

TEST_F(PlacementTest, FaceIsCutOnePixelUpAndLeftOfTheButtonInEveryState) {
  skin_.SetValue("Skins/Profile.ini", "BUTTONINFO", "FUNC_ADD", "101,51,40,20");
  CPngButton button(&parent_);
  PlaceSkinButton(&button, ini_, "BUTTONINFO", "FUNC_ADD", pictures_);
  ASSERT_TRUE(button.isEnabled());
  EXPECT_EQ(button.offsetX(), 101);
  EXPECT_EQ(button.offsetY(), 51);

  auto face_origin = [&] {
    const QImage face = button.grab().toImage();
    const testing::PixelOrigin top_left = OriginOf(face.pixel(0, 0));
    const testing::PixelOrigin bottom_right = OriginOf(face.pixel(39, 19));
    EXPECT_EQ(bottom_right.x, 139);
    EXPECT_EQ(bottom_right.y, 69);
    return top_left;
  };
  auto expect_face = [&](int tag) {
    const testing::PixelOrigin o = face_origin();
    EXPECT_EQ(o.x, 100);
    EXPECT_EQ(o.y, 50);
    EXPECT_EQ(o.tag, tag);
  };
  expect_face(10);  // normal
  button.SetSelected(true, true);
  expect_face(14);
  button.setDown(true);
  expect_face(12);
  button.setDown(false);
  button.SetSelected(false, true);
  button.setEnabled(false);
  expect_face(13);
}

TEST_F(PlacementTest, PlaceFromTakesPositionAndPictureOffsetFromTwoKeys) {
  skin_.SetValue("Skins/Main.ini", "BUTTONINFO", "LEFT_ARROW", "20,30,16,12");
  skin_.SetValue("Skins/Main.ini", "BUTTONINFO2", "UP_ARROW_LEFT1", "61,41,1,1");
  CPngButton arrow(&parent_);
  PlaceSkinButtonFrom(&arrow, skin_.Path("Skins/Main.ini"), "BUTTONINFO", "LEFT_ARROW", "BUTTONINFO2",
                      "UP_ARROW_LEFT1", &pixmaps_[2]);
  EXPECT_EQ(arrow.geometry(), QRect(20, 30, 16, 12));
  for (int role = 0; role < kSkinRoleCount; ++role) EXPECT_EQ(arrow.pictures().Get(SkinRole(role)), &pixmaps_[2]);
  const testing::PixelOrigin o = OriginOf(arrow.grab().toImage().pixel(0, 0));
  EXPECT_EQ(o.x, 60);
  EXPECT_EQ(o.y, 40);
}

TEST(SkinStateImagesTest, PreparedOnceAtDialogSizePlusHundredAndSharedByName) {
  TempSkin skin;
  skin.WriteImage("Skins/u_normal.png", CoordinateImage(QSize(120, 90), 1));
  skin.WriteImage("Skins/u_over.png", CoordinateImage(QSize(400, 300), 2));
  SkinStateImages images;
  const SkinStateSet set{"Skins\\u_normal.png", "Skins\\u_over.png", "Skins\\u_over.png", "Skins\\u_over.png",
                         "Skins\\u_over.png"};
  images.Prepare(set, QSize(150, 100));
  ASSERT_TRUE(images.prepared());
  const QPixmap* normal = images.Picture(SkinRole::Normal);
  ASSERT_NE(normal, nullptr);
  EXPECT_EQ(normal->size(), QSize(250, 200));
  EXPECT_EQ(images.Picture(SkinRole::Over), images.Picture(SkinRole::Selected));
  EXPECT_NE(images.Picture(SkinRole::Over), normal);

  const QImage prepared = normal->toImage();
  EXPECT_EQ(OriginOf(prepared.pixel(119, 89)).x, 119);  // pixel for pixel, not scaled
  EXPECT_EQ(OriginOf(prepared.pixel(119, 89)).y, 89);
  EXPECT_EQ(prepared.pixel(200, 150), qRgb(0, 0, 0));   // beyond the picture
  EXPECT_EQ(images.Picture(SkinRole::Over)->toImage().pixel(249, 199), qRgb(249, 199, 2));  // cut at the size

  // Once prepared, the files are not needed again.
  std::filesystem::remove(skin.Path("Skins/u_normal.png"));
  images.Prepare(set, QSize(150, 100));
  EXPECT_EQ(images.Picture(SkinRole::Normal), normal);
}

// The skin folder is made outside the dying statement, so this process removes it afterwards.
TEST(SkinStateImagesDeathTest, MissingPictureEndsTheProcessNamingTheFile) {
  TempSkin skin;
  skin.WriteImage("Skins/update_normal.png", CoordinateImage(QSize(10, 10), 1));
  EXPECT_EXIT(
      {
        SkinStateImages images;
        images.Prepare({"Skins\\update_normal.png", "Skins\\update_over.jpg", "Skins\\update_over.jpg",
                        "Skins\\update_over.jpg", "Skins\\update_over.jpg"},
                       QSize(50, 50));
      },
      ::testing::ExitedWithCode(kExitMissingSkinPicture), "update_over\\.jpg");
}

TEST(SkinStateImagesDeathTest, UndecodablePictureEndsTheProcess) {
  TempSkin skin;
  EXPECT_EXIT(
      {
        skin.SetValue("Skins/not_a_picture.jpg", "A", "B", "C");  // a text file with a picture's name
        PrepareSkinPicture("Skins\\not_a_picture.jpg", QSize(10, 10));
      },
      ::testing::ExitedWithCode(kExitMissingSkinPicture), "not_a_picture\\.jpg");
}

}  // namespace
}  // namespace orvane
