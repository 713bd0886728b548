// The skin theme: the generated Theme.ini carries the skin source's colours, a damaged one falls
// back colour by colour, and every native control drawn with the theme is dark (each sample is
// also written to <build>/gallery/theme/ to be looked at).
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "skin_fixture.h"
#include "ui/skin/theme.h"

namespace orvane {
namespace {

std::map<std::string, std::string> SourceThemeColours() {
  std::ifstream in(std::string(ORVANE_SOURCE_DIR) + "/assets/skin/orvane.skin");
  std::map<std::string, std::string> colours;
  const std::regex line(R"(^theme\s+(\w+)\s+(#[0-9a-fA-F]{6})\s*$)");
  std::string text;
  while (std::getline(in, text)) {
    std::smatch m;
    if (std::regex_match(text, m, line)) colours[m[1]] = m[2];
  }
  return colours;
}

TEST(SkinThemeTest, TheGeneratedSkinCarriesTheSourceColoursAndTheDefaultIsTheShippedTheme) {
  const std::map<std::string, std::string> source = SourceThemeColours();
  ASSERT_GE(source.size(), 10u);
  bool complete = false;
  const SkinTheme loaded = LoadSkinTheme(std::string(ORVANE_DATA_DIR) + "/Skins", &complete);
  EXPECT_TRUE(complete);
  const std::pair<const char*, QColor> fields[] = {
      {"window", loaded.window}, {"card", loaded.card}, {"border", loaded.border}, {"cap", loaded.cap},
      {"capTop", loaded.capTop}, {"text", loaded.text}, {"dim", loaded.dim},       {"faint", loaded.faint},
      {"accent", loaded.accent}, {"accentFill", loaded.accentFill}, {"paper", loaded.paper},
  };
  for (const auto& [name, colour] : fields) {
    ASSERT_TRUE(source.count(name)) << name;
    EXPECT_EQ(colour, QColor(QString::fromStdString(source.at(name)))) << name;
  }
  // The field colour is derived by the generator; the fallback must agree with the whole file.
  const SkinTheme fallback = DefaultSkinTheme();
  EXPECT_EQ(ThemeStyleSheet(fallback), ThemeStyleSheet(loaded));
}

TEST(SkinThemeTest, ADamagedThemeFileKeepsTheDefaultForEachBadOrMissingColour) {
  testing::TempSkin skin;
  skin.SetValue("Skins/Theme.ini", "THEME", "window", "#010203");
  skin.SetValue("Skins/Theme.ini", "THEME", "accent", "red");        // a name, not #rrggbb
  skin.SetValue("Skins/Theme.ini", "THEME", "text", "#12345");       // too short
  skin.SetValue("Skins/Theme.ini", "THEME", "card", "#zzzzzz");
  bool complete = true;
  const SkinTheme t = LoadSkinTheme(skin.skins(), &complete);
  EXPECT_FALSE(complete);
  const SkinTheme d = DefaultSkinTheme();
  EXPECT_EQ(t.window, QColor(1, 2, 3));
  EXPECT_EQ(t.accent, d.accent);
  EXPECT_EQ(t.text, d.text);
  EXPECT_EQ(t.card, d.card);
  EXPECT_EQ(t.field, d.field);
  // No file at all: the default theme.
  EXPECT_EQ(ThemeStyleSheet(LoadSkinTheme(skin.root() + "/nowhere")), ThemeStyleSheet(d));
}

double Luminance(const QColor& c) { return (0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF()); }

// Share of the image's pixels brighter than a dark surface can be (text and marks are a few).
double LightShare(const QImage& image) {
  int light = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Luminance(image.pixelColor(x, y)) > 0.45) ++light;
  return double(light) / double(std::max(1, image.width() * image.height()));
}

class ThemedControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app_, nullptr);
    saved_palette_ = app_->palette();
    saved_sheet_ = app_->styleSheet();
    ApplySkinTheme(*app_, std::string(ORVANE_DATA_DIR) + "/Skins");
    out_ = QString::fromStdString(std::string(ORVANE_DATA_DIR) + "/../gallery/theme");
    QDir().mkpath(out_);
  }
  void TearDown() override {
    app_->setStyleSheet(saved_sheet_);
    app_->setPalette(saved_palette_);
  }

  // Saves the picture and checks that at most `limit` of it is light.
  void ExpectDark(const QImage& image, const char* name, double limit = 0.12) {
    ASSERT_FALSE(image.isNull()) << name;
    image.save(out_ + "/" + name + ".png");
    EXPECT_LT(LightShare(image), limit) << name << " draws light over the dark skin";
  }

  QApplication* app_ = nullptr;
  QPalette saved_palette_;
  QString saved_sheet_;
  QString out_;
};

TEST_F(ThemedControlsTest, EveryNativeControlIsDarkWithTheAccent) {
  EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));

  QWidget panel;
  panel.resize(360, 520);
  auto* layout = new QVBoxLayout(&panel);
  auto* combo = new QComboBox;
  combo->addItems({"Wave", "Breathing", "Reactive", "Ripple", "Static"});
  auto* editable = new QComboBox;
  editable->setEditable(true);
  editable->addItems({"125 Hz", "1000 Hz"});
  auto* edit = new QLineEdit("Macro 1");
  auto* empty_edit = new QLineEdit;
  empty_edit->setPlaceholderText("Name");
  auto* disabled_edit = new QLineEdit("disabled");
  disabled_edit->setEnabled(false);
  auto* spin = new QSpinBox;
  spin->setValue(3);
  auto* list = new QListWidget;
  for (int i = 0; i < 30; ++i) list->addItem(QString("Action %1").arg(i));
  list->setCurrentRow(2);
  auto* table = new QTableWidget(12, 3);
  table->setHorizontalHeaderLabels({"Name", "Keys", "Delay"});
  auto* radio_on = new QRadioButton("Keyboard");
  radio_on->setChecked(true);
  auto* radio_off = new QRadioButton("Mouse");
  auto* check = new QCheckBox("Record delays");
  check->setChecked(true);
  auto* text = new QPlainTextEdit("Free text\nwith lines");
  for (QWidget* w : std::initializer_list<QWidget*>{combo, editable, edit, empty_edit, disabled_edit, spin, list, table, radio_on,
                                                    radio_off, check, text})
    layout->addWidget(w);
  panel.show();
  QCoreApplication::processEvents();

  // The palette is the skin's, and the accent marks focus and selection.
  const SkinTheme theme = LoadSkinTheme(std::string(ORVANE_DATA_DIR) + "/Skins");
  EXPECT_EQ(combo->palette().color(QPalette::Base), theme.field);
  EXPECT_EQ(list->palette().color(QPalette::Highlight), theme.accentFill);
  EXPECT_TRUE(app_->styleSheet().contains(theme.accent.name()));

  ExpectDark(panel.grab().toImage(), "panel");
  ExpectDark(combo->grab().toImage(), "combo");
  ExpectDark(edit->grab().toImage(), "edit");
  ExpectDark(list->grab().toImage(), "list");
  ExpectDark(table->grab().toImage(), "table");
  ExpectDark(list->verticalScrollBar()->grab().toImage(), "scrollbar");
  ExpectDark(radio_on->grab().toImage(), "radio", 0.2);
  ExpectDark(check->grab().toImage(), "checkbox", 0.2);

  combo->showPopup();
  QCoreApplication::processEvents();
  ExpectDark(combo->view()->window()->grab().toImage(), "combo_popup");
  combo->hidePopup();

  QMenu menu;
  menu.addAction("Open");
  menu.addAction("About");
  menu.addSeparator();
  menu.addAction("Exit");
  menu.ensurePolished();
  menu.adjustSize();
  ExpectDark(menu.grab().toImage(), "menu");

  QToolTip::showText(panel.mapToGlobal(QPoint(20, 20)), "Minimize", &panel);
  QCoreApplication::processEvents();
  QWidget* tip = nullptr;
  // Offscreen the tip is made but not shown; drawn it looks as it would on screen.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->inherits("QTipLabel")) tip = w;
  ASSERT_NE(tip, nullptr);
  tip->ensurePolished();
  tip->adjustSize();
  ExpectDark(tip->grab().toImage(), "tooltip");
  QToolTip::hideText();
}

TEST_F(ThemedControlsTest, MessageBoxesAndFileDialogsAreDarkToo) {
  QMessageBox box(QMessageBox::NoIcon, "", "There is no keyboard connected.", QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.show();
  QCoreApplication::processEvents();
  ExpectDark(box.grab().toImage(), "message_box");
  box.hide();

  QFileDialog dialog(nullptr, "Load a profile", QDir::tempPath(), "Profiles (*.pro)");
  dialog.resize(640, 420);
  dialog.show();
  QCoreApplication::processEvents();
  // Qt's own dialog, not the desktop's.
  EXPECT_NE(dialog.findChild<QAbstractItemView*>(), nullptr);
  ExpectDark(dialog.grab().toImage(), "file_dialog");
}

}  // namespace
}  // namespace orvane
