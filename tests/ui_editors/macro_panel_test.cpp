// The macro panel driven by control ID on the generated skin and the shipped language files, in a
// dialog of its own that stands in for the composite key dialog: the macro list, the repeat
// field, cell edits, the action buttons, recording with Windows-form key messages, the
// record-delay option, Apply and Cancel, and the memory meter. Its looks are written to
// <build>/gallery/macro_panel_*.png.
#include "ui/editors/macro_panel.h"

#include <gtest/gtest.h>

#include <QHeaderView>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <fstream>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "model/apply.h"
#include "model/key_table.h"
#include "platform/registry.h"
#include "store/language.h"
#include "store/settings.h"
#include "tests/support/doubles.h"
#include "tests/cli/cli_run.h"
#include "tests/model/sim_keyboard_link.h"
#include "tests/support/pump_events.h"
#include "tests/ui_editors/editor_fixture.h"
#include "tests/ui/skin_fixture.h"
#include "ui/controls/edit_combo.h"
#include "ui/controls/report_list.h"
#include "ui/editors/composite_dialog.h"
#include "ui/editors/macro_meter.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/theme.h"
#include "ui/skin/window_message.h"

namespace orvane {
namespace {

namespace C = ids::composite;
const std::string kData = ORVANE_DATA_DIR;
const std::string kSkins = kData + "/Skins";
constexpr uint32_t kVkA = 'A';

// The program draws every window with the skin's theme (the application's style, palette and style
// sheet); the pictures are taken with it too, and the application's own come back afterwards.
class ThemedApplication {
 public:
  ThemedApplication() : app_(qobject_cast<QApplication*>(QCoreApplication::instance())) {
    palette_ = app_->palette();
    sheet_ = app_->styleSheet();
    style_ = QApplication::style()->name();
    ApplySkinTheme(*app_, theme_);
  }
  ~ThemedApplication() {
    app_->setStyleSheet(sheet_);
    app_->setPalette(palette_);
    QApplication::setStyle(QStyleFactory::create(style_));
  }
  const SkinTheme& theme() const { return theme_; }

 private:
  QApplication* app_;
  SkinTheme theme_ = LoadSkinTheme(kSkins);
  QPalette palette_;
  QString sheet_;
  QString style_;
};

uint32_t Down(uint16_t scan) { return KeyFlagsOfScanCode(scan); }
uint32_t Up(uint16_t scan) { return KeyFlagsOfScanCode(scan) | kKeyFlagPreviousState | kKeyFlagTransition; }
uint32_t Repeat(uint16_t scan) { return KeyFlagsOfScanCode(scan) | kKeyFlagPreviousState; }

// The composite key dialog as far as the panel sees it.
class TestHost : public IMacroPanelHost {
 public:
  TestHost(ProfileInstance& editing, const LanguageFiles& languages, AppSettings& settings)
      : editing_(editing), languages_(languages), texts_(languages), settings_(settings),
        dialog_(ids::templates::kComposite, nullptr, kSkins + "/" + layout::LayoutFileName(layout::SkinDialog::Composite),
                kSkins) {
    dialog_.OnInitDialog();
    const QSize client = dialog_.background().size();
    const layout::FaceFiles faces = layout::FaceFilesOf(layout::Faces::CompositeMacro);
    for (size_t i = 0; i < faces.size(); ++i)
      pictures_[i] = RenderSkinImage(LoadImageFile(kSkins + "/" + std::string(faces[i])), client);
    set_ = {&pictures_[0], &pictures_[1], &pictures_[2], &pictures_[3], &pictures_[4]};
  }
  CBaseDialog& Dialog() override { return dialog_; }
  const SkinPictures& MacroPictures() const override { return set_; }
  ProfileInstance& Editing() override { return editing_; }
  const ITextSource& Texts() const override { return texts_; }
  const LanguageFiles& Languages() const override { return languages_; }
  AppSettings& Settings() override { return settings_; }
  IPrompt& Prompt() override { return prompt; }
  void SetChanged() override { ++changes; }

  ScriptedPrompt prompt;
  int changes = 0;

 private:
  ProfileInstance& editing_;
  const LanguageFiles& languages_;
  LanguageTextSource texts_;
  AppSettings& settings_;
  CBaseDialog dialog_;
  std::array<QPixmap, 5> pictures_;
  SkinPictures set_;
};

MacroRecord Stored(std::u16string_view name, uint16_t id, std::vector<MacroAction> actions) {
  MacroRecord m{};
  SetMacroName(m, name);
  m.id = id;
  m.cycles = 1;
  m.actionCount = uint16_t(actions.size());
  std::copy(actions.begin(), actions.end(), m.actions.begin());
  return m;
}

class MacroPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProfileConfig config;
    config.image = std::make_unique<ProfileImage>();
    editing_.Replace(std::move(config));
    keyboard_.SetMacroCapacity(4096);
    Open();
  }
  // One opening of the dialog: the steps the composite dialog runs for its macro panel.
  void Open(uint32_t value = 0) {
    panel_->Create();
    panel_->ReadRecordDelay();
    panel_->LoadMacroList();
    panel_->ShowPanel(true, true, value);
    panel_->SetPanelVisible(true);
    panel_->Relabel(0);
    host_.Dialog().show();
  }
  void Install(std::vector<MacroRecord> macros) {
    auto lock = editing_.Acquire();
    editing_.Config().macros = std::move(macros);
  }
  void Click(int id) { ASSERT_TRUE(host_.Dialog().DispatchCommand(id)) << id; }
  void TypeName(const std::string& text) {
    panel_->macroList()->SetEditText(text);
    ASSERT_TRUE(host_.Dialog().DispatchNotify(C::kMacroList, notify::kEditChange));
  }
  void TypeRepeat(const std::string& text) {
    panel_->repeatField()->setText(QString::fromStdString(text));
    ASSERT_TRUE(host_.Dialog().DispatchNotify(C::kMacroCycles, notify::kTextChange));
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (int i = 0; i < panel_->macroList()->ItemCount(); ++i) items.push_back(panel_->macroList()->ItemText(i));
    return items;
  }
  std::vector<std::vector<std::string>> Rows() const {
    std::vector<std::vector<std::string>> rows;
    CReportList* list = panel_->actionList();
    for (int r = 0; r < list->RowCount(); ++r)
      rows.push_back({list->CellText(r, 0), list->CellText(r, 1), list->CellText(r, 2)});
    return rows;
  }
  std::string Delay(int row) const { return panel_->actionList()->CellText(row, 2); }
  // Types into a pause cell and ends the edit as Enter does.
  void EditPause(int row, const std::string& text) {
    CReportList* list = panel_->actionList();
    list->SelectRow(row);
    ASSERT_TRUE(list->BeginEdit(row, 2));
    auto* field = qobject_cast<QLineEdit*>(list->ActiveEditor());
    ASSERT_NE(field, nullptr);
    field->setText(QString::fromStdString(text));
    list->CommitEdit();
  }
  // Opens a drop-down cell and closes it on an entry.
  void Choose(int row, int column, int index) {
    CReportList* list = panel_->actionList();
    list->SelectRow(row);
    ASSERT_TRUE(list->BeginEdit(row, column));
    auto* combo = qobject_cast<QComboBox*>(list->ActiveEditor());
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(index);
    combo->hidePopup();
    // The list finishes the edit once the combo box has taken the entry.
    ASSERT_TRUE(testing_support::PumpUntil([list] { return list->ActiveEditor() == nullptr; }));
  }
  void Save(const std::string& name) {
    QDir().mkpath(QString::fromStdString(kData + "/gallery"));
    ThemedApplication themed;
    host_.Dialog().grab().save(QString::fromStdString(kData + "/gallery/macro_panel_" + name + ".png"));
  }

  testing::TempSkin temp_;
  RegistryStore registry_{temp_.Path("registry.reg")};
  LanguageFiles languages_{nullptr, kData, [] { return uint16_t(0x0409); }};
  AppSettings settings_{&registry_, temp_.root()};
  ProfileInstance editing_;
  KeyboardFacts keyboard_;
  uint64_t now_ = 10000;
  TestHost host_{editing_, languages_, settings_};
  std::unique_ptr<CMacroPanel> panel_ =
      std::make_unique<CMacroPanel>(host_, keyboard_, [this] { return now_; });
};

TEST_F(MacroPanelTest, AddNameDeleteAndTheLimit) {
  const std::string prefix = languages_.LoadText("MACRO_NEW_PREFIX", 0);
  EXPECT_TRUE(Items().empty());
  // Without a macro the action buttons are off.
  EXPECT_FALSE(panel_->button(C::kRecord)->isEnabled());
  Click(C::kMacroAdd);
  Click(C::kMacroAdd);
  EXPECT_EQ(Items(), (std::vector<std::string>{prefix + "1", prefix + "2"}));
  EXPECT_EQ(panel_->editor().Macros()[1].id, 2);
  EXPECT_EQ(panel_->macroList()->Selected(), 1);
  EXPECT_EQ(panel_->repeatField()->text(), "1");
  EXPECT_TRUE(panel_->button(C::kRecord)->isEnabled());
  EXPECT_EQ(host_.changes, 2);

  // Delete Macro1, add again: the id comes back.
  panel_->macroList()->Select(0);
  ASSERT_TRUE(host_.Dialog().DispatchNotify(C::kMacroList, notify::kSelChange));
  Click(C::kMacroDelete);
  EXPECT_EQ(Items(), (std::vector<std::string>{prefix + "2"}));
  Click(C::kMacroAdd);
  EXPECT_EQ(panel_->editor().Macros()[1].id, 1);
  EXPECT_EQ(panel_->macroList()->Selected(), 1);

  // Typing "Mac" while a name begins with it gives a generated name, shown in the field.
  TypeName("Mac");
  const std::string renamed = Items()[1];
  EXPECT_NE(renamed, "Mac");
  EXPECT_EQ(renamed.rfind(prefix, 0), 0u);
  EXPECT_EQ(panel_->macroList()->EditText(), renamed);
  TypeName("Sprint");
  EXPECT_EQ(Items()[1], "Sprint");

  while (panel_->editor().Count() < 100) Click(C::kMacroAdd);
  EXPECT_EQ(Items().size(), 100u);
  Click(C::kMacroAdd);
  EXPECT_EQ(Items().size(), 100u);
  ASSERT_EQ(host_.prompt.Shown().size(), 1u);
  EXPECT_EQ(host_.prompt.Shown()[0].text, "You can create at most 100 macros.");
}

TEST_F(MacroPanelTest, NamingAnEmptyListCreatesTheMacro) {
  TypeName("Combo");
  EXPECT_EQ(Items(), (std::vector<std::string>{"Combo"}));
  EXPECT_EQ(panel_->SelectedPosition(), 0);
  EXPECT_TRUE(panel_->button(C::kRecord)->isEnabled());
  EXPECT_FALSE(panel_->Empty());
}

TEST_F(MacroPanelTest, RepeatFieldAndPauseCells) {
  Install({Stored(u"five", 1, {{10, 0x01E, kPress}, {10, 0x01E, kRelease}, {10, 0x030, kPress}})});
  Open();
  TypeRepeat("0");
  EXPECT_EQ(panel_->repeatField()->text(), "1");
  TypeRepeat("300");
  EXPECT_EQ(panel_->repeatField()->text(), "255");
  EXPECT_EQ(panel_->RepeatCount(), 255);
  TypeRepeat("x");
  EXPECT_EQ(panel_->RepeatCount(), 1);
  TypeRepeat("17");
  EXPECT_EQ(panel_->editor().SelectedMacro()->cycles, 17);

  EditPause(0, "12345");
  EXPECT_EQ(Delay(0), "12340");
  EXPECT_EQ(panel_->editor().Action(0)->delay, 12340u);
  EXPECT_TRUE(host_.prompt.Shown().empty());
  EditPause(1, "50000");
  EXPECT_EQ(Delay(1), "40000");
  EXPECT_EQ(panel_->editor().Action(1)->delay, 40000u);
  ASSERT_EQ(host_.prompt.Shown().size(), 1u);
  EXPECT_EQ(host_.prompt.Shown()[0].text, "A delay can be at most 40000 ms.");

  // The key column offers list positions 0-110; B changes the key, B again changes nothing.
  const int b = ListPositionOf(0x030);
  const int changes = host_.changes;
  Choose(0, 0, b);
  EXPECT_EQ(panel_->editor().Action(0)->keyCode, 0x030);
  EXPECT_EQ(Rows()[0][0], KeyDisplayName(LanguageTextSource(languages_), 0x030));
  EXPECT_EQ(host_.changes, changes + 1);
  Choose(0, 0, b);
  EXPECT_EQ(host_.changes, changes + 1);
  Choose(2, 1, 1);
  EXPECT_EQ(panel_->editor().Action(2)->direction, kRelease);
  EXPECT_EQ(Rows()[2][1], "  ↑");
}

TEST_F(MacroPanelTest, ActionButtons) {
  Install({Stored(u"abc", 1, {{1, 0x01E, kPress}, {2, 0x030, kPress}, {3, 0x02E, kPress}})});
  Open();
  CReportList* list = panel_->actionList();
  ASSERT_EQ(list->RowCount(), 3);
  list->SelectRow(0);
  Click(C::kActionUp);
  EXPECT_EQ(list->SelectedRow(), 0);
  EXPECT_EQ(Delay(0), "1");
  list->SelectRow(2);
  Click(C::kActionDown);
  EXPECT_EQ(list->SelectedRow(), 2);
  EXPECT_EQ(Delay(2), "3");
  Click(C::kActionTop);
  EXPECT_EQ(list->SelectedRow(), 0);
  EXPECT_EQ((std::vector<std::string>{Delay(0), Delay(1), Delay(2)}), (std::vector<std::string>{"3", "1", "2"}));
  Click(C::kActionBottom);
  EXPECT_EQ(list->SelectedRow(), 2);
  EXPECT_EQ((std::vector<std::string>{Delay(0), Delay(1), Delay(2)}), (std::vector<std::string>{"1", "2", "3"}));
  list->SelectRow(1);
  Click(C::kActionDelete);
  EXPECT_EQ(list->RowCount(), 2);
  EXPECT_EQ(panel_->editor().ActionCount(), 2);
  EXPECT_EQ(Delay(1), "3");

  // Clear asks first; No keeps the rows.
  host_.prompt.Script({PromptAnswer::No, PromptAnswer::Yes});
  Click(C::kActionClear);
  EXPECT_EQ(list->RowCount(), 2);
  Click(C::kActionClear);
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(panel_->editor().ActionCount(), 0);
  Click(C::kActionClear);  // no rows: no question
  EXPECT_EQ(host_.prompt.Shown().size(), 2u);
  EXPECT_EQ(host_.prompt.Shown()[0].buttons, PromptButtons::YesNo);
}

TEST_F(MacroPanelTest, RecordingWithAndWithoutDelays) {
  Install({Stored(u"empty", 1, {})});
  for (bool record_delay : {true, false}) {
    Open();
    if (panel_->recordDelay() != record_delay) Click(C::kRecordDelay);
    ASSERT_EQ(panel_->recordDelay(), record_delay);
    EXPECT_EQ(panel_->recordDelayBox()->isChecked(), record_delay);
    EXPECT_EQ(settings_.RecordDelay(LanguageTextSource(languages_)), record_delay ? "1" : "0");

    Click(C::kRecord);
    ASSERT_TRUE(panel_->Recording());
    EXPECT_EQ(panel_->button(C::kRecord)->text(), "Stop");
    EXPECT_FALSE(panel_->macroList()->isEnabled());
    EXPECT_FALSE(panel_->button(C::kMacroAdd)->isEnabled());
    EXPECT_FALSE(panel_->button(C::kMacroDelete)->isEnabled());
    if (record_delay) Save("recording");

    EXPECT_TRUE(panel_->RecordKeyMessage(kVkA, Down(0x1E), now_));
    EXPECT_TRUE(panel_->RecordKeyMessage(kVkA, Repeat(0x1E), now_ + 100));  // consumed, not recorded
    EXPECT_TRUE(panel_->RecordKeyMessage(kVkA, Up(0x1E), now_ + 200));
    EXPECT_FALSE(panel_->RecordKeyMessage(0xAD, KeyFlagsOfScanCode(0x120), now_ + 250));  // mute passes on
    const std::string pause = record_delay ? "200" : "50";
    const std::string a = KeyDisplayName(LanguageTextSource(languages_), 0x01E);
    EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{{a, "↓", pause}, {a, "  ↑", "0"}}));
    EXPECT_EQ(panel_->actionList()->SelectedRow(), 1);

    Click(C::kRecord);
    EXPECT_FALSE(panel_->Recording());
    EXPECT_EQ(panel_->button(C::kRecord)->text(), "Record");
    EXPECT_TRUE(panel_->macroList()->isEnabled());
    EXPECT_FALSE(panel_->RecordKeyMessage(kVkA, Down(0x1E), now_ + 300));
    panel_->Free();
  }
}

TEST_F(MacroPanelTest, RecordingInsertsAfterTheSelectedRowAndStopsForAPauseEdit) {
  std::vector<MacroAction> five;
  for (uint16_t code : {0x010, 0x011, 0x012, 0x013, 0x014}) five.push_back({10, code, kPress});
  Install({Stored(u"five", 1, five)});
  Open();
  Click(C::kRecordDelay);
  ASSERT_TRUE(panel_->recordDelay());
  panel_->actionList()->SelectRow(2);
  Click(C::kRecord);
  panel_->RecordKeyMessage(kVkA, Down(0x1E), now_ + 30);
  panel_->RecordKeyMessage(kVkA, Up(0x1E), now_ + 80);
  // The left Windows key comes through the same way; its second key-down adds nothing.
  panel_->RecordKeyMessage(0x5B, Down(0x15B), now_ + 90);
  panel_->RecordKeyMessage(0x5B, Down(0x15B), now_ + 95);
  panel_->RecordKeyMessage(0x5B, Up(0x15B), now_ + 120);
  std::vector<uint16_t> codes;
  for (int r = 0; r < panel_->editor().ActionCount(); ++r) codes.push_back(panel_->editor().Action(r)->keyCode);
  EXPECT_EQ(codes, (std::vector<uint16_t>{0x010, 0x011, 0x012, 0x01E, 0x01E, 0x15B, 0x15B, 0x013, 0x014}));
  EXPECT_EQ(panel_->actionList()->RowCount(), 9);
  // Every row shows its action.
  for (int r = 0; r < 9; ++r) EXPECT_EQ(Delay(r), std::to_string(panel_->editor().Action(r)->delay)) << r;
  EXPECT_EQ(Delay(2), "30");
  EXPECT_EQ(Delay(6), "10");  // the last new row took the pause the third row had

  ASSERT_TRUE(panel_->Recording());
  ASSERT_TRUE(panel_->actionList()->BeginEdit(0, 2));
  EXPECT_FALSE(panel_->Recording());
  panel_->actionList()->CancelEdit();
}

TEST_F(MacroPanelTest, ApplyReplacesTheMacrosAndCancelLeavesThem) {
  Install({Stored(u"kept", 1, {{0, 0x01E, kPress}})});
  Open(1);
  Click(C::kMacroAdd);
  // Cancel: the dialog closes without applying.
  panel_->Free();
  {
    auto lock = editing_.Acquire();
    ASSERT_EQ(editing_.Config().macros.size(), 1u);
    EXPECT_EQ(MacroNameUtf8(editing_.Config().macros[0]), "kept");
  }
  Open(1);
  EXPECT_EQ(Items(), (std::vector<std::string>{"kept"}));
  Click(C::kMacroAdd);
  TypeRepeat("5");
  ASSERT_TRUE(panel_->ApplyMacroList());
  auto lock = editing_.Acquire();
  ASSERT_EQ(editing_.Config().macros.size(), 2u);
  EXPECT_EQ(editing_.Config().macros[1].cycles, 5);
  EXPECT_EQ(editing_.Config().macros[1].isNew, 0);
  EXPECT_EQ(panel_->RepeatCount(), 5);
}

TEST_F(MacroPanelTest, RecordDelayOptionIsNormalisedWhenRead) {
  const LanguageTextSource texts(languages_);
  settings_.WriteProfileString(kProfilesSection, texts.Text("MACRO_ACTION_RECORD_DELAY"), "7");
  panel_->ReadRecordDelay();
  EXPECT_FALSE(panel_->recordDelay());
  EXPECT_EQ(settings_.RecordDelay(texts), "0");
  settings_.WriteProfileString(kProfilesSection, texts.Text("MACRO_ACTION_RECORD_DELAY"), "1");
  panel_->ReadRecordDelay();
  EXPECT_TRUE(panel_->recordDelay());
  EXPECT_TRUE(panel_->recordDelayBox()->isChecked());
}

// The meter shows the model's sizes of the list as it stands, marked at both limits.
TEST_F(MacroPanelTest, MeterFollowsTheListAndMarksBothLimits) {
  // "abc" with two actions: 30 bytes without names, 36 with.
  Install({Stored(u"abc", 1, {{120, 0x01E, kPress}, {0, 0x01E, kRelease}})});
  struct Case {
    size_t capacity;
    MacroAreaFit fit;
    std::string text;
  } cases[] = {
      {37, MacroAreaFit::WithNames, "Macro memory: 36 of 37 bytes"},
      {36, MacroAreaFit::WithNames, "Macro memory: 36 of 36 bytes"},
      {35, MacroAreaFit::WithoutNames, "Macro memory: 30 of 35 bytes – without names"},
      {30, MacroAreaFit::WithoutNames, "Macro memory: 30 of 30 bytes – without names"},
      {29, MacroAreaFit::TooLong, "Macro memory: 30 of 29 bytes – too long"},
  };
  for (const Case& c : cases) {
    keyboard_.SetMacroCapacity(c.capacity);
    Open(1);
    CMacroMeter* meter = panel_->meter();
    EXPECT_EQ(meter->use().fit, c.fit) << c.capacity;
    EXPECT_EQ(meter->text().toStdString(), c.text);
    EXPECT_EQ(meter->use().sizes.withNames, 36u);
    if (c.capacity == 35) Save("tight");
    if (c.capacity == 29) {
      EXPECT_DOUBLE_EQ(meter->fraction(), 1.0);
      Save("full");
    }
  }
  // Every change moves it: a recorded row (4 bytes), a rename (2 bytes a character), a delete.
  keyboard_.SetMacroCapacity(4096);
  Open(1);
  EXPECT_EQ(panel_->meter()->use().used, 36u);
  Click(C::kRecord);
  panel_->RecordKeyMessage(kVkA, Down(0x1E), now_ + 10);
  EXPECT_EQ(panel_->meter()->use().used, 40u);
  Click(C::kRecord);
  TypeName("abcd");
  EXPECT_EQ(panel_->meter()->use().used, 42u);
  Click(C::kMacroAdd);
  EXPECT_EQ(panel_->meter()->use().used, 42u + 2 + 4 + 2 * 7);  // "Macro 1" is 7 characters
  Click(C::kMacroDelete);
  EXPECT_EQ(panel_->meter()->use().used, 42u);
  Save("idle");
}

// The panel in the composite key dialog, with keys as X11 delivers them: the macro editor (G9)
// records through the editors' key hook, and the dialog's Apply stores the macro and the key.
TEST(MacroPanelInDialog, RecordedKeysReachTheEditingInstanceOnApply) {
  namespace ev = testing::evdev;
  KeyboardFacts keyboard;  // outlives the dialog and its panel
  keyboard.SetMacroCapacity(4096);
  testing::CompositeFixture f;
  Orvane_DlgComposite& dlg = f.Dialog(MakeMacroPanelFactory(keyboard));
  ASSERT_TRUE(dlg.Open(GKeyButtons()[8]));
  auto* panel = dynamic_cast<CMacroPanel*>(dlg.macroPanel());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(dlg.DispatchCommand(C::kMacroAdd));
  ASSERT_FALSE(panel->recordDelay());  // every pause 50 ms, whatever the clock does
  ASSERT_TRUE(dlg.DispatchCommand(C::kRecord));
  ASSERT_TRUE(panel->Recording());
  QWidget* target = dlg.Control(C::kActionList);
  testing::SendKey(target, ev::kA, false);
  testing::SendKey(target, ev::kA, false, true);  // auto-repeat: nothing
  testing::SendKey(target, ev::kA, true, true);   // X11's release between repeats: nothing
  testing::SendKey(target, ev::kVolumeUp, false);  // passes on
  testing::SendKey(target, ev::kA, true);
  ASSERT_EQ(panel->editor().ActionCount(), 2);
  {
    // The action list is as dark as the dialog's other fields: its rows below the last one show
    // the theme's field colour, not the desktop's white.
    ThemedApplication themed;
    CReportList* list = panel->actionList();
    EXPECT_EQ(list->palette().color(QPalette::Base), themed.theme().field);
    const QImage rows = list->viewport()->grab().toImage();
    ASSERT_GT(rows.height(), 8);
    EXPECT_EQ(rows.pixelColor(rows.width() / 2, rows.height() - 4), themed.theme().field);
    f.Render("macro_panel_in_dialog");
  }

  ASSERT_TRUE(dlg.DispatchCommand(C::kApply));
  EXPECT_FALSE(panel->Recording());
  {
    auto lock = f.editing.Acquire();
    ASSERT_EQ(f.editing.Config().macros.size(), 1u);
    const MacroRecord& m = f.editing.Config().macros[0];
    EXPECT_EQ(m.isNew, 0);
    ASSERT_EQ(m.actionCount, 2);
    EXPECT_EQ(m.actions[0], (MacroAction{50, 0x01E, kPress}));
    EXPECT_EQ(m.actions[1], (MacroAction{0, 0x01E, kRelease}));
  }
  const KeyAction g9 = f.Entry(256 + 8);
  EXPECT_EQ(g9.type, kActionPlayMacro);
  EXPECT_EQ(g9.value, 1u);
  EXPECT_EQ(g9.code, 1);
  dlg.DispatchCommand(IDCANCEL);
}

// A macro recorded for G1 in the dialog and applied to the simulated keyboard comes back from the
// keyboard's macro memory with the same actions, decoded here and read by the command-line tool.
TEST(MacroPanelInDialog, RecordedOnG1AppliedAndReadBackFromTheKeyboard) {
  namespace ev = testing::evdev;
  ProfileInstance applied;
  KeyboardFacts keyboard;
  testing_support::SimKeyboardLink link(keyboard);
  ASSERT_TRUE(link.Connect());
  testing::CompositeFixture f;
  f.current_profile = 0;
  Orvane_DlgComposite& dlg = f.Dialog(MakeMacroPanelFactory(keyboard));
  ASSERT_TRUE(dlg.Open(GKeyButtons()[0]));
  ASSERT_TRUE(dlg.DispatchCommand(C::kMacroPanel));
  auto* panel = dynamic_cast<CMacroPanel*>(dlg.macroPanel());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(dlg.DispatchCommand(C::kMacroAdd));
  ASSERT_TRUE(dlg.DispatchCommand(C::kRecord));
  QWidget* target = dlg.Control(C::kActionList);
  for (uint32_t key : {ev::kA, ev::kB}) {
    testing::SendKey(target, key, false);
    testing::SendKey(target, key, true);
  }
  ASSERT_EQ(panel->editor().ActionCount(), 4);
  EXPECT_EQ(panel->meter()->use().used, 16u + 2 + 4 + 4 * 4 + 2 * 7);  // "Macro 1"
  ASSERT_TRUE(dlg.DispatchCommand(C::kApply));
  dlg.DispatchCommand(IDCANCEL);

  ScriptedPrompt prompt;
  ASSERT_EQ(Apply(ConfigContext{f.editing, applied, keyboard}, true, link.Proto(), prompt, *f.texts), 1);
  EXPECT_TRUE(prompt.Shown().empty());
  const std::vector<MacroRecord> back = DecodeMacroArea(link.Keyboard().Memory().macro_area, *f.texts);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(MacroNameUtf8(back[0]), f.texts->Text("MACRO_NEW_PREFIX") + "1");  // names fit: kept
  ASSERT_EQ(back[0].actionCount, 4);
  const uint16_t codes[] = {0x01E, 0x01E, 0x030, 0x030};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(back[0].actions[size_t(i)].keyCode, codes[i]) << i;
    EXPECT_EQ(back[0].actions[size_t(i)].direction, i % 2 ? kRelease : kPress) << i;
    EXPECT_EQ(back[0].actions[size_t(i)].delay, i == 3 ? 0u : 50u) << i;
  }
  const KeyAction g1 = f.Entry(256);
  EXPECT_EQ(g1.type, kActionPlayMacro);
  EXPECT_EQ(g1.value, 1u);

  // The command-line tool reads the same keyboard (its memory handed over as a state file).
  ScratchFolder dir;
  const std::vector<uint8_t> state = link.Keyboard().Memory().Serialize();
  std::ofstream(dir.File("keyboard.bin"), std::ios::binary)
      .write(reinterpret_cast<const char*>(state.data()), std::streamsize(state.size()));
  ToolRun r = RunTool({"--simulate=" + dir.File("keyboard.bin"), "read", dir.File("back.orv")});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunTool({"show", dir.File("back.orv")});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string listed = "1 \"" + f.texts->Text("MACRO_NEW_PREFIX") + "1\", played 1 time(s), 4 action(s)\n"
                             "    press   A, then 50 ms\n    release A, then 50 ms\n"
                             "    press   B, then 50 ms\n    release B, then 0 ms\n";
  EXPECT_NE(r.out.find(listed), std::string::npos) << r.out;
}

TEST_F(MacroPanelTest, TheActionListsNarrowColumnsShowTheirWholeCaptionsInBothLanguages) {
  ThemedApplication themed;  // the fonts the program draws with
  CReportList* actions = panel_->actionList();
  QHeaderView* header = actions->horizontalHeader();
  for (int index : {0, 1}) {
    panel_->Relabel(index);
    for (int column = 0; column < header->count(); ++column) {
      const QString caption = actions->model()->headerData(column, Qt::Horizontal).toString();
      EXPECT_FALSE(caption.isEmpty());
      // The header's own measure of what the caption needs, with the style's margins.
      EXPECT_LE(header->sectionSizeHint(column), header->sectionSize(column))
          << caption.toStdString() << " is cut in language " << index;
    }
  }
}

}  // namespace
}  // namespace orvane
