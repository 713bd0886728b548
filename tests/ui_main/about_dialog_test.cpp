// The About dialog driven by control ID on the generated skin: one at a time, labelled from the
// language its message carries, destroyed by OK, Escape and the main window, F1 for help. Each
// language's look is written to <build>/gallery/about_*.png.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPushButton>
#include <fstream>

#include "platform/main_window_link.h"
#include "tests/ui/skin_fixture.h"
#include "store/language.h"
#include "ui/controls/color_static.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main/about_dialog.h"
#include "ui/skin/theme.h"

namespace orvane {
namespace {

namespace A = ids::about;
constexpr uint32_t kLang = CheckWord('L', 'A', 'N', 'G');
const std::string kSkins = std::string(ORVANE_DATA_DIR) + "/Skins";
const std::string kLogo = "https://orvane.org/";

class AboutDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("Lang0409.ini", "[TEXT]\nLANG_ABOUT_TITLE=About Orvane\nGUANYU_JIESHAO=Orvane configures the keyboard.\n"
                          "GUANYU_BANQUAN=Copyright Orvane Quorlan\nLANG_ABOUT_OK=OK\n");
    Write("Lang0419.ini", "[TEXT]\nLANG_ABOUT_TITLE=О программе\nGUANYU_JIESHAO=Orvane настраивает клавиатуру.\n"
                          "GUANYU_BANQUAN=© Orvane Quorlan\nLANG_ABOUT_OK=Готово\n");
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(skin_.Path(name), std::ios::binary) << text;
  }

  AboutDialogSlot::Factory Factory(QWidget* owner = nullptr) {
    return [this, owner] {
      auto* dlg = new CAboutDlg(owner, kSkins + "/" + layout::LayoutFileName(layout::SkinDialog::About), kSkins,
                                languages_, kLogo, QIcon(QString::fromStdString(std::string(ORVANE_DATA_DIR) +
                                                                                "/icons/orvane-128-64.png")));
      dlg->SetHelpHandler([this] { ++help_requests_; });
      return dlg;
    };
  }

  QString LabelText(CAboutDlg* dlg, int id) { return dlg->ControlAs<QLabel>(id)->text(); }

  testing::TempSkin skin_;
  LanguageFiles languages_{nullptr, skin_.root(), [] { return uint16_t(0x0409); }};
  int help_requests_ = 0;
};

TEST_F(AboutDialogTest, OpensOnceLabelsItselfAndRelabelsFromTheLanguageItsMessageCarries) {
  AboutDialogSlot slot;
  ASSERT_TRUE(slot.Open(Factory()));
  CAboutDlg* dlg = slot.dialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->isModal());
  EXPECT_EQ(dlg->templateId(), ids::templates::kAbout);
  // A second request while it exists does nothing.
  EXPECT_FALSE(slot.Open(Factory()));
  EXPECT_EQ(slot.dialog(), dlg);

  EXPECT_EQ(dlg->windowTitle(), "About Orvane");
  EXPECT_EQ(LabelText(dlg, A::kDescription), "Orvane configures the keyboard.");
  EXPECT_EQ(LabelText(dlg, A::kCopyright), "Copyright Orvane Quorlan");
  EXPECT_EQ(dlg->ControlAs<QPushButton>(A::kOk)->text(), "OK");
  auto* link = dlg->ControlAs<CHyperLink>(A::kLink);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->text().toStdString(), kLogo);
  EXPECT_EQ(link->url(), kLogo);
  for (int id : {A::kDescription, A::kCopyright}) EXPECT_EQ(dlg->ControlAs<ColorStatic>(id)->textColor(), 0x000000u);
  // Every control sits inside the dialog, where its layout key put it.
  for (int id : {A::kDescription, A::kCopyright, A::kLink, A::kOk}) {
    QWidget* c = dlg->Control(id);
    ASSERT_NE(c, nullptr) << id;
    EXPECT_TRUE(dlg->rect().contains(c->geometry())) << id;
    EXPECT_GT(c->width(), 1) << id;
  }

  // A message without its check word changes nothing.
  EXPECT_EQ(SendWindowMessage(dlg, WM_MAIN_LANGUAGE, 0x1234, 1), 0);
  EXPECT_EQ(dlg->windowTitle(), "About Orvane");
  SendWindowMessage(dlg, WM_MAIN_LANGUAGE, kLang, 1);
  EXPECT_EQ(dlg->windowTitle(), "О программе");
  EXPECT_EQ(LabelText(dlg, A::kDescription), "Orvane настраивает клавиатуру.");
  EXPECT_EQ(LabelText(dlg, A::kCopyright), "© Orvane Quorlan");
  EXPECT_EQ(dlg->ControlAs<QPushButton>(A::kOk)->text(), "Готово");
  // An index of 4 or more is the first language.
  SendWindowMessage(dlg, WM_MAIN_LANGUAGE, kLang, 9);
  EXPECT_EQ(dlg->windowTitle(), "About Orvane");
}

TEST_F(AboutDialogTest, TheLabelsAreDarkTextOnALightSheet) {
  AboutDialogSlot slot;
  ASSERT_TRUE(slot.Open(Factory()));
  CAboutDlg* dlg = slot.dialog();
  const QImage shot = dlg->grab().toImage();
  const QColor paper = LoadSkinTheme(kSkins).paper;
  for (int id : {A::kDescription, A::kCopyright}) {
    const QRect r = dlg->Control(id)->geometry();
    int dark = 0, sheet = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (c.lightness() < 90) ++dark;
        if (std::abs(c.red() - paper.red()) < 6 && std::abs(c.blue() - paper.blue()) < 6) ++sheet;
      }
    EXPECT_GT(dark, 20) << id << ": no text drawn";
    EXPECT_GT(sheet, r.width() * r.height() / 2) << id << ": not on the sheet";
  }
}

TEST_F(AboutDialogTest, OkEscapeAndTheMainWindowDestroyItAndItCanBeOpenedAgain) {
  AboutDialogSlot slot;
  ASSERT_TRUE(slot.Open(Factory()));
  QPointer<CAboutDlg> first = slot.dialog();
  first->ControlAs<QPushButton>(A::kOk)->click();
  EXPECT_EQ(slot.dialog(), nullptr);
  EXPECT_FALSE(first->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());

  ASSERT_TRUE(slot.Open(Factory()));
  QPointer<CAboutDlg> second = slot.dialog();
  // F1 asks for help and leaves the dialog open.
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(second, &f1);
  EXPECT_EQ(help_requests_, 1);
  EXPECT_EQ(slot.dialog(), second.data());
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(second, &escape);
  EXPECT_EQ(slot.dialog(), nullptr);

  ASSERT_TRUE(slot.Open(Factory()));
  // Keyboard loss: the main window destroys it.
  slot.Destroy();
  EXPECT_EQ(slot.dialog(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(slot.Open(Factory()));
  slot.Destroy();
}

// With the shipped language files and the theme: every text fits its label in both languages.
TEST_F(AboutDialogTest, TheShippedTextsFitInBothLanguages) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  const QPalette palette = app->palette();
  const QString sheet = app->styleSheet();
  ApplySkinTheme(*app, kSkins);
  LanguageFiles shipped(nullptr, ORVANE_DATA_DIR, [] { return uint16_t(0x0409); });
  CAboutDlg* dlg = new CAboutDlg(nullptr, kSkins + "/" + layout::LayoutFileName(layout::SkinDialog::About), kSkins,
                                 shipped, kLogo, QIcon(QString::fromStdString(std::string(ORVANE_DATA_DIR) +
                                                                              "/icons/orvane-128-64.png")));
  AboutDialogSlot slot;
  ASSERT_TRUE(slot.Open([dlg] { return dlg; }));
  const QString out = QString::fromStdString(std::string(ORVANE_DATA_DIR) + "/../gallery");
  QDir().mkpath(out);
  for (int index : {0, 1}) {
    SendWindowMessage(dlg, WM_MAIN_LANGUAGE, kLang, index);
    EXPECT_NE(dlg->windowTitle().toStdString(), kMissingText);
    for (int id : {A::kDescription, A::kCopyright}) {
      auto* label = dlg->ControlAs<QLabel>(id);
      EXPECT_NE(label->text().toStdString(), kMissingText) << id;
      EXPECT_LE(label->heightForWidth(label->width()), label->height()) << id << " is cut in language " << index;
    }
    dlg->grab().save(out + (index == 0 ? "/about_en.png" : "/about_ru.png"));
  }
  slot.Destroy();
  app->setStyleSheet(sheet);
  app->setPalette(palette);
}

}  // namespace
}  // namespace orvane
