#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>

#include "skin_fixture.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/png_button.h"
#include "ui/skin/region_from_mask.h"

namespace orvane {
namespace {

using testing::SolidImage;
using testing::TempSkin;

// True when the region holds exactly the pixels that are not pure white.
void ExpectRegionMatchesOpaquePixels(const QRegion& region, const QImage& image) {
  int mismatches = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const bool opaque = (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
      if (region.contains(QPoint(x, y)) != opaque && ++mismatches <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") opaque=" << opaque;
    }
  EXPECT_EQ(mismatches, 0);
  EXPECT_FALSE(region.boundingRect().intersects(QRect(image.width(), 0, 1000, 1000)));
}

TEST(RegionFromMaskTest, WhiteBorderGivesTheInnerShape) {
  QImage image = SolidImage(QSize(40, 30), Qt::white);
  for (int y = 5; y < 25; ++y)
    for (int x = 8; x < 32; ++x) image.setPixel(x, y, qRgb(30, 60, 90));
  image.setPixel(0, 0, qRgb(254, 255, 255));  // not the key colour: opaque
  image.setPixel(39, 29, qRgb(255, 255, 254));
  const QRegion region = RegionFromMask(image);
  ExpectRegionMatchesOpaquePixels(region, image);
  EXPECT_TRUE(region.contains(QPoint(0, 0)));
  EXPECT_FALSE(region.contains(QPoint(1, 0)));
}

TEST(RegionFromMaskTest, RunsBeyondOneBatchAreAllKept) {
  // Every other pixel opaque: one run per two pixels, so these sizes give exactly 2,000, 2,001
  // and 4,000 runs, around and on the batch boundary.
  for (int runs : {kRegionBatch - 1, kRegionBatch, kRegionBatch + 1, 2 * kRegionBatch}) {
    const int width = 100;  // 50 runs a row
    const int height = (runs + 49) / 50;
    QImage image = SolidImage(QSize(width, height), Qt::white);
    int made = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width && made < runs; x += 2, ++made) image.setPixel(x, y, qRgb(0, 0, 0));
    SCOPED_TRACE(runs);
    ExpectRegionMatchesOpaquePixels(RegionFromMask(image), image);
  }
}

TEST(RegionFromMaskTest, AllWhiteGivesNoRegionAndToleranceWidensTheKey) {
  EXPECT_TRUE(RegionFromMask(SolidImage(QSize(20, 20), Qt::white)).isEmpty());
  EXPECT_TRUE(RegionFromMask(QImage()).isEmpty());
  QImage image = SolidImage(QSize(4, 1), QColor(250, 250, 250));
  image.setPixel(3, 0, qRgb(249, 250, 250));
  const QRegion region = RegionFromMask(image, qRgb(250, 250, 250), qRgb(10, 10, 10));
  EXPECT_EQ(region, QRegion(3, 0, 1, 1));
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = skin_.Path("Skins/Profile.ini");
    QImage background = SolidImage(QSize(120, 80), QColor(20, 40, 60));
    background.setPixel(5, 5, qRgb(200, 100, 50));
    skin_.WriteImage("Skins/bg.png", background);
    QImage outline = SolidImage(QSize(120, 80), Qt::white);
    for (int y = 10; y < 70; ++y)
      for (int x = 10; x < 110; ++x) outline.setPixel(x, y, qRgb(0, 0, 0));
    skin_.WriteImage("Skins/outline.png", outline);
    skin_.SetValue("Skins/Profile.ini", "SCREEN", "Main", "bg.png");
  }
  TempSkin skin_;
  std::string ini_;
};

TEST_F(DialogTest, SizesToTheBackgroundPaintsItAndTakesTheOutlineShape) {
  skin_.SetValue("Skins/Profile.ini", "SCREEN", "Mask", "outline.png");
  CBaseDialog dialog(128, nullptr, ini_, skin_.skins());
  dialog.move(30, 40);
  ASSERT_TRUE(dialog.OnInitDialog());
  EXPECT_FALSE(dialog.loading());
  EXPECT_EQ(dialog.size(), QSize(120, 80));
  EXPECT_EQ(dialog.pos(), QPoint(30, 40));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.mask().xored(QRegion(10, 10, 100, 60)).isEmpty());
  const QImage shown = dialog.grab().toImage();
  EXPECT_EQ(shown.pixel(5, 5), qRgb(200, 100, 50));
  EXPECT_EQ(shown.pixel(60, 40), qRgb(20, 40, 60));
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(DialogTest, MissingMaskUsesTheBackgroundAsOutline) {
  QImage background = SolidImage(QSize(50, 40), Qt::white);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) background.setPixel(x, y, qRgb(9, 9, 9));
  skin_.WriteImage("Skins/bg2.png", background);
  skin_.SetValue("Skins/Profile.ini", "SCREEN", "Main", "bg2.png");
  CBaseDialog dialog(1, nullptr, ini_, skin_.skins());
  dialog.OnInitDialog();
  EXPECT_TRUE(dialog.mask().xored(QRegion(0, 0, 30, 20)).isEmpty());
}

TEST_F(DialogTest, OkReleasesThePicturesAndTheNextOpeningLoadsThemAgain) {
  CBaseDialog dialog(1, nullptr, ini_, skin_.skins());
  dialog.OnInitDialog();
  EXPECT_FALSE(dialog.background().isNull());
  dialog.DispatchCommand(IDOK);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog.background().isNull());
  EXPECT_TRUE(dialog.outline().isNull());
  dialog.OnInitDialog();
  EXPECT_EQ(dialog.background().size(), QSize(120, 80));
}

TEST_F(DialogTest, ControlsAreFoundByIdAndCommandsAndMessagesGoThroughTheTables) {
  CBaseDialog dialog(1, nullptr, ini_, skin_.skins());
  auto* apply = new CPngButton;
  auto* other = new QPushButton;
  dialog.AddControl(apply, ids::main::kApply);
  dialog.AddControl(other, ids::main::kMacro);
  EXPECT_EQ(dialog.Control(ids::main::kApply), apply);
  EXPECT_EQ(dialog.ControlAs<CPngButton>(ids::main::kApply), apply);
  EXPECT_EQ(dialog.ControlAs<CPngButton>(ids::main::kMacro), nullptr);
  EXPECT_EQ(dialog.Control(4242), nullptr);
  EXPECT_EQ(apply->parentWidget(), &dialog);

  std::vector<int> commands;
  dialog.OnCommand(ids::main::kApply, [&] { commands.push_back(ids::main::kApply); });
  dialog.OnCommand(ids::menu::kTrayOpen, [&] { commands.push_back(ids::menu::kTrayOpen); });
  apply->click();
  other->click();  // no handler: nothing happens
  SendWindowMessage(&dialog, WM_COMMAND, ids::menu::kTrayOpen, 0);
  EXPECT_EQ(commands, (std::vector<int>{ids::main::kApply, ids::menu::kTrayOpen}));
  EXPECT_FALSE(dialog.DispatchCommand(ids::main::kMacro));

  dialog.OnMessage(0x5350, [](uintptr_t w, intptr_t l) { return intptr_t(w) + l; });
  EXPECT_EQ(SendWindowMessage(&dialog, 0x5350, 40, 2), 42);
  EXPECT_EQ(SendWindowMessage(&dialog, 0x9999, 40, 2), 0);

  dialog.DispatchCommand(IDCANCEL);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

// IDs repeat between dialogs (the key dialog's on-screen keyboard button has the main window's
// left arrow's): a dialog's lookups never reach into a child dialog of its own.
TEST_F(DialogTest, ControlsOfAChildDialogAreNotTheOwners) {
  CBaseDialog owner(1, nullptr, ini_, skin_.skins());
  auto* child = new CBaseDialog(2, &owner, ini_, skin_.skins());
  ASSERT_TRUE(child->isWindow());
  auto* childs_button = new CPngButton;
  child->AddControl(childs_button, ids::main::kLeftArrow);  // made first, as the key dialog is
  auto* holder = new QWidget(&owner);  // controls may sit in a panel of the dialog's own
  auto* owners_button = new CPngButton(holder);
  SetControlId(owners_button, ids::main::kLeftArrow);
  auto* childs_only = new CPngButton;
  child->AddControl(childs_only, ids::main::kFlip2);

  EXPECT_EQ(owner.Control(ids::main::kLeftArrow), owners_button);
  EXPECT_EQ(child->Control(ids::main::kLeftArrow), childs_button);
  EXPECT_EQ(owner.Control(ids::main::kFlip2), nullptr);
  EXPECT_EQ(child->Control(ids::main::kFlip2), childs_only);
}

TEST_F(DialogTest, PressOnTheBodyDragsTheWindow) {
  CBaseDialog dialog(1, nullptr, ini_, skin_.skins());
  dialog.OnInitDialog();
  dialog.move(100, 100);
  dialog.show();
  const QPoint start = dialog.pos();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(start + QPoint(10, 10)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&dialog, &press);
  QMouseEvent drag(QEvent::MouseMove, QPointF(50, 30), QPointF(start + QPoint(50, 30)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&dialog, &drag);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 30), QPointF(start + QPoint(50, 30)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&dialog, &release);
  EXPECT_EQ(dialog.pos(), start + QPoint(40, 20));
  dialog.hide();
}

TEST_F(DialogTest, DeathMissingBackgroundEndsTheProcessNamingTheFile) {
  EXPECT_EXIT(
      {
        skin_.SetValue("Skins/Profile.ini", "SCREEN", "Main", "gone.jpg");
        CBaseDialog dialog(1, nullptr, ini_, skin_.skins());
        dialog.OnInitDialog();
      },
      ::testing::ExitedWithCode(3), "gone\\.jpg");
  EXPECT_EXIT(
      {
        skin_.SetValue("Skins/Profile.ini", "SCREEN", "Main", "");
        CBaseDialog dialog(1, nullptr, ini_, skin_.skins());
        dialog.OnInitDialog();
      },
      ::testing::ExitedWithCode(3), "skin picture");
}

}  // namespace
}  // namespace orvane
