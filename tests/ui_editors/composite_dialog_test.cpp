// The composite key dialog driven by control ID and by key events that carry native scan codes:
// opening for a key shows the panel of its assignment, capture takes what it should and lets the
// rest go, Clear, the radios and the lists, and what Apply, OK and Cancel leave in the editing
// instance. The look of every panel is written to <build>/gallery/composite_*.png.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "model/key_table.h"
#include "model/macro.h"
#include "tests/ui_editors/editor_fixture.h"
#include "ui/editors/key_hook.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/png_button.h"
#include "ui/skin/theme.h"
#include "platform/main_window_link.h"
#include "ui/controls/color_static.h"

namespace orvane {
namespace {

namespace C = ids::composite;
namespace ev = testing::evdev;
using testing::KeyCounter;
using testing::SendKey;

constexpr int kG3 = 1002;
constexpr int kG9 = 1143;
const int kCapsButton = ButtonOfKeyCode(0x03A);
const int kCapsIndex = KeyIndexOf(0x03A);
const int kAButton = ButtonOfKeyCode(0x01E);

// A stand-in for the macro panel: a list of macros whose selection and repeat count the test sets,
// and a record of what the dialog asked of it.
class FakeMacroPanel : public IMacroPanel {
 public:
  explicit FakeMacroPanel(IMacroPanelHost& host) : host_(host) {}
  void Create() override { calls.push_back("Create"); }
  void ReadRecordDelay() override { calls.push_back("ReadRecordDelay"); }
  void LoadMacroList() override {
    calls.push_back("LoadMacroList");
    auto lock = host_.Editing().Acquire();
    list = host_.Editing().Config().macros;
  }
  void ShowPanel(bool opening, bool first_time, uint32_t value) override {
    calls.push_back(std::string("ShowPanel ") + (opening ? "opening " : "later ") + (first_time ? "first " : "again ") +
                    std::to_string(value));
    selected = list.empty() ? -1 : std::max(0, MacroPosition(list, uint16_t(value)));
  }
  void SetPanelVisible(bool v) override { visible = v; }
  void Relabel(int) override {}
  bool Recording() const override { return recording; }
  void StopRecording() override {
    recording = false;
    calls.push_back("StopRecording");
  }
  void EndCellEdit() override { calls.push_back("EndCellEdit"); }
  bool ApplyMacroList() override {
    calls.push_back("ApplyMacroList");
    ReconcileMacroAssignments(host_.Editing(), list);
    return true;
  }
  bool Empty() const override { return list.empty(); }
  int SelectedPosition() const override { return selected; }
  uint16_t RepeatCount() const override { return repeat; }
  void Free() override {
    calls.push_back("Free");
    list.clear();
  }

  IMacroPanelHost& host_;
  std::vector<MacroRecord> list;
  std::vector<std::string> calls;
  int selected = -1;
  uint16_t repeat = 1;
  bool visible = false;
  bool recording = false;
};

class CompositeDialogTest : public ::testing::Test {
 protected:
  Orvane_DlgComposite& Open(int button, bool with_panel = false) {
    MacroPanelFactory factory;
    if (with_panel)
      factory = [this](IMacroPanelHost& host) {
        auto panel = std::make_unique<FakeMacroPanel>(host);
        panel_ = panel.get();
        return panel;
      };
    Orvane_DlgComposite& dlg = f_.Dialog(std::move(factory));
    EXPECT_TRUE(dlg.Open(button));
    return dlg;
  }
  QWidget* KeyInput(Orvane_DlgComposite& dlg) { return dlg.Control(C::kKeyInput); }
  QString KeyName(Orvane_DlgComposite& dlg) { return dlg.ControlAs<QLineEdit>(C::kKeyInput)->text(); }
  bool Visible(Orvane_DlgComposite& dlg, int id) { return dlg.Control(id)->isVisible(); }
  bool ApplyEnabled(Orvane_DlgComposite& dlg) { return dlg.Control(C::kApply)->isEnabled(); }
  void Press(Orvane_DlgComposite& dlg, uint32_t code) {
    SendKey(KeyInput(dlg), code, false);
    SendKey(KeyInput(dlg), code, true);
  }
  static MacroRecord Macro(uint16_t id, const char16_t* name) {
    MacroRecord r = NewMacro(name, {});
    r.id = id;
    r.isNew = 0;
    return r;
  }

  testing::CompositeFixture f_;
  FakeMacroPanel* panel_ = nullptr;
};

TEST_F(CompositeDialogTest, CapsLockAtItsDefaultTakesTheKeyPressedOnce) {
  Orvane_DlgComposite& dlg = Open(kCapsButton);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.openCount(), 1);
  EXPECT_EQ(f_.highlights, (std::vector<std::pair<int, bool>>{{kCapsButton, true}}));
  EXPECT_EQ(dlg.mode(), kModeDefault);
  EXPECT_EQ(dlg.entryIndex(), kCapsIndex);
  EXPECT_TRUE(Visible(dlg, C::kKeyInput));
  EXPECT_TRUE(Visible(dlg, C::kMouseCombo));
  EXPECT_FALSE(Visible(dlg, C::kMediaSelect));
  EXPECT_FALSE(Visible(dlg, C::kFunctionSelect));
  EXPECT_TRUE(dlg.ControlAs<QRadioButton>(C::kKeyboardRadio)->isChecked());
  EXPECT_FALSE(dlg.Control(C::kMouseCombo)->isEnabled());
  EXPECT_TRUE(dlg.ControlAs<CPngButton>(C::kKeyPanel)->selected());
  EXPECT_TRUE(dlg.captureInstalled());
  EXPECT_EQ(KeyName(dlg), QString());
  EXPECT_FALSE(ApplyEnabled(dlg));

  // Choosing the key panel again leaves a key at its factory function alone.
  dlg.DispatchCommand(C::kKeyPanel);
  EXPECT_EQ(dlg.mode(), kModeDefault);
  EXPECT_FALSE(ApplyEnabled(dlg));

  // A held A: the press captures; repeats and the release are taken without effect, and a repeat
  // without a fresh press (B) captures nothing.
  KeyCounter seen(KeyInput(dlg));
  SendKey(KeyInput(dlg), ev::kA, false);
  for (int i = 0; i < 5; ++i) SendKey(KeyInput(dlg), ev::kA, false, true);
  SendKey(KeyInput(dlg), ev::kA, true);
  SendKey(KeyInput(dlg), ev::kB, false, true);
  SendKey(KeyInput(dlg), ev::kB, true);
  EXPECT_EQ(seen.presses + seen.releases, 0);
  EXPECT_EQ(dlg.capturedKey(), 0x01E);
  EXPECT_EQ(KeyName(dlg).toStdString(), KeyDisplayName(*f_.texts, 0x01E));
  EXPECT_EQ(dlg.mode(), kModeSingleKey);
  EXPECT_TRUE(ApplyEnabled(dlg));

  dlg.DispatchCommand(C::kApply);
  EXPECT_EQ(f_.Entry(kCapsIndex), (KeyAction{kActionSingleKey, 0, 0x01E, 0, 0}));
  EXPECT_FALSE(ApplyEnabled(dlg));
  EXPECT_EQ(f_.refreshes, 1);
  EXPECT_EQ(f_.apply_pending, 1);
  EXPECT_TRUE(dlg.isVisible());  // Apply stays open

  // Caps Lock pressed in its own dialog gives the key its factory function back; OK closes.
  Press(dlg, ev::kCapsLock);
  EXPECT_EQ(dlg.capturedKey(), 0x03A);
  dlg.DispatchCommand(IDOK);
  EXPECT_EQ(f_.Entry(kCapsIndex), KeyAction{});
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.openCount(), 0);
  EXPECT_FALSE(dlg.captureInstalled());
  EXPECT_EQ(f_.highlights.back(), (std::pair<int, bool>{kCapsButton, false}));
  // Closed, keys reach the widgets again.
  KeyCounter after(KeyInput(dlg));
  SendKey(KeyInput(dlg), ev::kA, false);
  EXPECT_EQ(after.presses, 1);
}

TEST_F(CompositeDialogTest, WindowsKeysAreTakenWhateverTheRadiosAndMediaKeysGoOn) {
  Orvane_DlgComposite& dlg = Open(kAButton);
  dlg.DispatchCommand(C::kMouseRadio);
  EXPECT_TRUE(dlg.Control(C::kMouseCombo)->isEnabled());
  EXPECT_FALSE(KeyInput(dlg)->isEnabled());
  EXPECT_FALSE(ApplyEnabled(dlg));  // a radio alone changes nothing to apply
  KeyCounter seen(KeyInput(dlg));
  // Ordinary keys are consumed but not captured while the mouse radio is selected.
  Press(dlg, ev::kB);
  EXPECT_EQ(dlg.capturedKey(), 0);
  // A volume key is neither captured nor consumed.
  SendKey(KeyInput(dlg), ev::kVolumeUp, false);
  SendKey(KeyInput(dlg), ev::kVolumeUp, true);
  EXPECT_EQ(seen.presses, 1);
  EXPECT_EQ(seen.releases, 1);
  EXPECT_EQ(dlg.capturedKey(), 0);
  // The left Windows key is captured with the mouse radio selected, and the key then counts as
  // the keyboard key it is.
  SendKey(KeyInput(dlg), ev::kLeftMeta, false);
  EXPECT_EQ(dlg.capturedKey(), 0x15B);
  SendKey(KeyInput(dlg), ev::kLeftMeta, true);
  EXPECT_EQ(seen.presses, 1);  // nothing more reached the dialog's controls
  EXPECT_TRUE(dlg.ControlAs<QRadioButton>(C::kKeyboardRadio)->isChecked());
  dlg.DispatchCommand(C::kApply);
  EXPECT_EQ(f_.Entry(KeyIndexOf(0x01E)), (KeyAction{kActionSingleKey, 0, 0x15B, 0, 0}));
  // The Menu key likewise; Print Screen is captured on its release too.
  SendKey(KeyInput(dlg), ev::kCompose, true);
  EXPECT_EQ(dlg.capturedKey(), 0x15D);
  SendKey(KeyInput(dlg), ev::kPrintScreen, true);
  EXPECT_EQ(dlg.capturedKey(), 0x137);
  SendKey(KeyInput(dlg), ev::kKeypadEnter, false);
  EXPECT_EQ(dlg.capturedKey(), 0x11C);
  // Cancel after a capture leaves the entry as the last Apply left it.
  dlg.DispatchCommand(IDCANCEL);
  EXPECT_EQ(f_.Entry(KeyIndexOf(0x01E)), (KeyAction{kActionSingleKey, 0, 0x15B, 0, 0}));
  EXPECT_EQ(dlg.openCount(), 0);
}

TEST_F(CompositeDialogTest, MouseButtonsAndTheMouseEntryOnOpening) {
  Orvane_DlgComposite& dlg = Open(kAButton);
  dlg.DispatchCommand(C::kMouseRadio);
  auto* mouse = dlg.ControlAs<QComboBox>(C::kMouseCombo);
  ASSERT_EQ(mouse->count(), 5);
  EXPECT_EQ(mouse->itemText(4).toStdString(), f_.texts->Text("IDS_KEYBOARD_ROLL_DOWN"));
  mouse->setCurrentIndex(4);
  dlg.DispatchCommand(C::kApply);
  EXPECT_EQ(f_.Entry(KeyIndexOf(0x01E)), (KeyAction{kActionSingleKey, 0, 0x162, 0, 0}));
  dlg.DispatchCommand(IDOK);
  // The next opening shows the mouse button on the mouse radio.
  Open(kAButton);
  EXPECT_TRUE(dlg.ControlAs<QRadioButton>(C::kMouseRadio)->isChecked());
  EXPECT_EQ(mouse->currentIndex(), 4);
  EXPECT_FALSE(KeyInput(dlg)->isEnabled());
  EXPECT_EQ(KeyName(dlg), QString());
  dlg.DispatchCommand(IDCANCEL);
}

TEST_F(CompositeDialogTest, MediaAndFunctionPanelsAndClear) {
  f_.SetEntry(kCapsIndex, KeyAction{kActionMedia, 0, 3, 0, 0});
  Orvane_DlgComposite& dlg = Open(kCapsButton);
  EXPECT_EQ(dlg.mode(), kModeMedia);
  EXPECT_TRUE(Visible(dlg, C::kMediaSelect));
  EXPECT_FALSE(Visible(dlg, C::kKeyInput));
  EXPECT_FALSE(dlg.captureInstalled());
  EXPECT_TRUE(dlg.ControlAs<CPngButton>(C::kMediaPanel)->selected());
  auto* media = dlg.ControlAs<QComboBox>(C::kMediaSelect);
  ASSERT_EQ(media->count(), kMediaFunctionCount);
  EXPECT_EQ(media->currentIndex(), 3);
  EXPECT_EQ(media->itemText(3).toStdString(), KeyDisplayName(*f_.texts, MediaFunctions()[3].code));

  // Enter and Escape close nothing; F1 asks for help.
  SendKey(&dlg, ev::kEscape, false, false, Qt::Key_Escape);
  SendKey(&dlg, ev::kEnter, false, false, Qt::Key_Return);
  EXPECT_TRUE(dlg.isVisible());
  SendKey(&dlg, ev::kF1, false, false, Qt::Key_F1);
  EXPECT_EQ(f_.help, 1);

  dlg.DispatchCommand(C::kFunctionPanel);
  EXPECT_EQ(dlg.mode(), kModeFunction);
  EXPECT_TRUE(ApplyEnabled(dlg));
  auto* functions = dlg.ControlAs<QComboBox>(C::kFunctionSelect);
  ASSERT_EQ(functions->count(), kKeyboardFunctionCount);
  functions->setCurrentIndex(10);
  dlg.DispatchCommand(C::kApply);
  EXPECT_EQ(f_.Entry(kCapsIndex), (KeyAction{kActionFunction, 0, 10, 0, 0}));

  // Clear answered No changes nothing; Yes goes to the single-key panel and stores Default.
  dlg.DispatchCommand(C::kMediaPanel);
  f_.prompt.Script({PromptAnswer::No});
  dlg.DispatchCommand(C::kClear);
  EXPECT_EQ(dlg.mode(), kModeMedia);
  f_.prompt.Script({PromptAnswer::Yes});
  dlg.DispatchCommand(C::kClear);
  ASSERT_EQ(f_.prompt.Shown().size(), 2u);
  EXPECT_EQ(f_.prompt.Shown()[1].text, f_.texts->Text("COMPOSITE_PROMPT_TEXT_CLEAR"));
  EXPECT_EQ(f_.prompt.Shown()[1].buttons, PromptButtons::YesNo);
  EXPECT_EQ(dlg.mode(), kModeDefault);
  EXPECT_TRUE(Visible(dlg, C::kKeyInput));
  EXPECT_TRUE(dlg.captureInstalled());
  dlg.DispatchCommand(IDOK);
  EXPECT_EQ(f_.Entry(kCapsIndex), KeyAction{});
}

TEST_F(CompositeDialogTest, MacroAssignmentsOfGKeysAndTheMacroOnlyEditor) {
  {
    auto lock = f_.editing.Acquire();
    f_.editing.Config().macros = {Macro(4, u"Macro4"), Macro(7, u"Macro7")};
  }
  // G3 on the macro panel: the repeat field's number replaces the G key's code.
  f_.SetEntry(kGKeySetA + 2, KeyAction{kActionPlayMacro, 0x303, 7, 0, 0});
  Orvane_DlgComposite& dlg = Open(kG3, true);
  ASSERT_NE(panel_, nullptr);
  EXPECT_EQ(dlg.mode(), kModeMacro);
  EXPECT_TRUE(panel_->visible);
  EXPECT_FALSE(Visible(dlg, C::kKeyInput));
  EXPECT_EQ(panel_->selected, 1);
  EXPECT_EQ(panel_->calls, (std::vector<std::string>{"Create", "ReadRecordDelay", "LoadMacroList",
                                                    "ShowPanel opening first 7"}));
  panel_->selected = 0;
  panel_->repeat = 5;
  panel_->recording = true;
  panel_->calls.clear();
  dlg.DispatchCommand(C::kApply);
  EXPECT_EQ(panel_->calls, (std::vector<std::string>{"EndCellEdit", "StopRecording", "ApplyMacroList"}));
  EXPECT_EQ(f_.Entry(kGKeySetA + 2), (KeyAction{kActionPlayMacro, 5, 4, 0, 0}));
  // Leaving the macro panel for the key panel: a G key keeps its code.
  dlg.DispatchCommand(C::kKeyPanel);
  EXPECT_FALSE(panel_->visible);
  Press(dlg, ev::kB);
  dlg.DispatchCommand(IDOK);
  EXPECT_EQ(f_.Entry(kGKeySetA + 2), (KeyAction{kActionSingleKey, 0x303, 0x030, 0, 0}));
  EXPECT_EQ(panel_->calls.back(), "Free");

  // G9 opens the macro editor centred, with only the macro panel usable.
  f_.button_rect = QRect(10, 10, 40, 40);
  Open(kG9, true);
  EXPECT_TRUE(dlg.macroOnly());
  EXPECT_EQ(dlg.mode(), kModeMacro);
  for (int id : {C::kKeyPanel, C::kMediaPanel, C::kFunctionPanel, C::kClear})
    EXPECT_FALSE(dlg.Control(id)->isEnabled()) << id;
  EXPECT_TRUE(dlg.Control(C::kMacroPanel)->isEnabled());
  EXPECT_EQ(dlg.ControlAs<CPngButton>(C::kKeyPanel)->text(), QString());
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(dlg.pos(), QPoint((screen.width() - dlg.width()) / 2, (screen.height() - dlg.height()) / 2));
  // With no macros left the key gets its factory function.
  panel_->list.clear();
  dlg.DispatchCommand(IDOK);
  EXPECT_EQ(f_.Entry(kGKeySetA + 8), (KeyAction{kActionDefault, 0x309, 0, 0, 0}));
}

TEST_F(CompositeDialogTest, EntriesOnlyFilesMakeStayAsTheyWereUntilTheUserChanges) {
  // A program-launch entry with its text in the pool.
  const int slot = f_.current_profile * kLayerEntries + kCapsIndex;
  f_.SetEntry(kCapsIndex, KeyAction{kActionLaunchProgram, 0, 0, 0, 0});
  {
    auto lock = f_.editing.Acquire();
    f_.editing.Config().texts.Set(slot, u"/usr/bin/true");
  }
  Orvane_DlgComposite& dlg = Open(kCapsButton);
  EXPECT_EQ(dlg.mode(), kActionLaunchProgram);
  EXPECT_TRUE(Visible(dlg, C::kKeyInput));
  dlg.DispatchCommand(C::kApply);
  EXPECT_EQ(f_.Entry(kCapsIndex).type, kActionLaunchProgram);
  {
    auto lock = f_.editing.Acquire();
    ASSERT_NE(f_.editing.Config().texts.Text(slot), nullptr);
  }
  // A captured key replaces it, and its text goes.
  Press(dlg, ev::kA);
  dlg.DispatchCommand(IDOK);
  EXPECT_EQ(f_.Entry(kCapsIndex), (KeyAction{kActionSingleKey, 0, 0x01E, 0, 0}));
  auto lock = f_.editing.Acquire();
  EXPECT_EQ(f_.editing.Config().texts.Text(slot), nullptr);
  EXPECT_EQ(f_.editing.Config().texts.Total(), 0u);
}

TEST_F(CompositeDialogTest, UnknownProfileUnknownButtonsAndTheOnScreenKeyboard) {
  Orvane_DlgComposite& dlg = f_.Dialog();
  // Prepared ahead, the dialog stays hidden and closed.
  dlg.Prepare();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.openCount(), 0);
  f_.current_profile = -1;
  EXPECT_FALSE(dlg.Open(kCapsButton));
  EXPECT_FALSE(dlg.isVisible());
  ASSERT_EQ(f_.prompt.Shown().size(), 1u);
  EXPECT_EQ(f_.prompt.Shown()[0].text, f_.texts->Text("MAIN_NO_DEVICE_PROMPT"));
  EXPECT_TRUE(f_.highlights.empty());
  f_.current_profile = 0;
  EXPECT_FALSE(dlg.Open(4242));
  EXPECT_EQ(dlg.openCount(), 0);

  ASSERT_TRUE(dlg.Open(kCapsButton));
  EXPECT_FALSE(dlg.Open(kAButton));  // one opening at a time
  dlg.DispatchCommand(C::kOnScreenKeyboard);
  ASSERT_EQ(f_.prompt.Shown().size(), 2u);
  EXPECT_EQ(f_.prompt.Shown()[1].text, f_.texts->Text("COMPOSITE_OSK_MISSING"));
  f_.osk_program = "/usr/bin/onboard";
  dlg.DispatchCommand(C::kOnScreenKeyboard);
  EXPECT_EQ(f_.started, std::vector<std::string>{"/usr/bin/onboard"});
  dlg.CloseComposite();
  EXPECT_EQ(dlg.openCount(), 0);
  EXPECT_FALSE(dlg.isVisible());
  dlg.CloseComposite();  // closed already: nothing
  EXPECT_EQ(dlg.openCount(), 0);
}

// With the theme and the shipped language files: every panel in both languages has all its texts,
// and the prompts fit their labels. The pictures go to <build>/gallery/composite_*.png.
TEST_F(CompositeDialogTest, EveryPanelInBothLanguages) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  const QPalette palette = app->palette();
  const QString sheet = app->styleSheet();
  ApplySkinTheme(*app, std::string(ORVANE_DATA_DIR) + "/Skins");
  {
    auto lock = f_.editing.Acquire();
    f_.editing.Config().macros = {Macro(1, u"Macro1")};
  }
  Orvane_DlgComposite& dlg = Open(kCapsButton, true);
  Press(dlg, ev::kCapsLock);
  const std::pair<int, const char*> panels[] = {{C::kKeyPanel, "key"},
                                                {C::kMacroPanel, "macro"},
                                                {C::kMediaPanel, "media"},
                                                {C::kFunctionPanel, "function"}};
  for (int index : {0, 1}) {
    SendWindowMessage(&dlg, WM_MAIN_LANGUAGE, kCheckWordLanguage, index);
    // The window is named by its title text, so that window lists can tell it.
    EXPECT_EQ(dlg.windowTitle().toStdString(), f_.languages->LoadText("KEY_SETTING_TISHI", index));
    for (const auto& [button, name] : panels) {
      dlg.DispatchCommand(button);
      if (button == C::kKeyPanel) {
        Press(dlg, ev::kCapsLock);
        dlg.DispatchCommand(C::kKeyPanel);
      }
      for (int id : {C::kKeySetting, C::kSinglePrompt, C::kMediaPrompt, C::kFunctionPrompt, C::kKeyboardRadioStatic,
                     C::kMouseRadioStatic}) {
        auto* label = dlg.ControlAs<QLabel>(id);
        EXPECT_NE(label->text().toStdString(), kMissingText) << id;
        if (label->isVisible()) {
          EXPECT_LE(label->heightForWidth(label->width()), label->height()) << id << " is cut in language " << index;
        }
      }
      EXPECT_EQ(dlg.ControlAs<QComboBox>(C::kMouseCombo)->itemText(0).toStdString(),
                f_.languages->LoadText("IDS_KEYBOARD_MOU_LEFT", index));
      EXPECT_EQ(dlg.ControlAs<QComboBox>(C::kFunctionSelect)->itemText(10).toStdString(),
                f_.languages->LoadText("FUNC_KEY_DESC11", index));
      for (int id : {C::kKeyPanel, C::kMacroPanel, C::kMediaPanel, C::kFunctionPanel, C::kApply, IDOK, IDCANCEL})
        EXPECT_NE(dlg.ControlAs<CPngButton>(id)->text().toStdString(), kMissingText) << id;
      f_.Render(std::string("composite_") + name + (index == 0 ? "_en" : "_ru"));
    }
  }
  dlg.DispatchCommand(IDCANCEL);
  // The macro editor's longer title fits its label in both languages too.
  Open(kG9, true);
  for (int index : {1, 0}) {
    SendWindowMessage(&dlg, WM_MAIN_LANGUAGE, kCheckWordLanguage, index);
    EXPECT_EQ(dlg.windowTitle().toStdString(), f_.languages->LoadText("MACRO_EDIT_TISHI", index));
    auto* title = dlg.ControlAs<QLabel>(C::kKeySetting);
    EXPECT_EQ(title->text().toStdString(), f_.languages->LoadText("MACRO_EDIT_TISHI", index));
    EXPECT_LE(title->heightForWidth(title->width()), title->height()) << "the title is cut in language " << index;
    f_.Render(std::string("composite_macro_editor_") + (index == 0 ? "en" : "ru"));
  }
  dlg.DispatchCommand(IDCANCEL);
  app->setStyleSheet(sheet);
  app->setPalette(palette);
}

TEST(CompositePlacement, FirstOfTheFourPositionsThatFitsElseCentred) {
  const QRect screen(0, 0, 1600, 1000);
  const QSize size(640, 444);
  EXPECT_EQ(CompositePlacement(screen, QRect(100, 100, 40, 40), size, false), QPoint(140, 140));   // right, below
  EXPECT_EQ(CompositePlacement(screen, QRect(100, 700, 40, 40), size, false), QPoint(140, 256));   // right, above
  EXPECT_EQ(CompositePlacement(screen, QRect(1200, 100, 40, 40), size, false), QPoint(560, 140));  // left, below
  EXPECT_EQ(CompositePlacement(screen, QRect(1200, 700, 40, 40), size, false), QPoint(560, 256));  // left, above
  // Nothing fits: right of and below the button.
  EXPECT_EQ(CompositePlacement(QRect(0, 0, 700, 500), QRect(300, 200, 40, 40), size, false), QPoint(340, 240));
  // Exactly fitting still fits.
  EXPECT_EQ(CompositePlacement(screen, QRect(0, 0, 960, 556), size, false), QPoint(960, 556));
  EXPECT_EQ(CompositePlacement(screen, QRect(100, 100, 40, 40), size, true), QPoint(480, 278));
  // A second screen to the right.
  EXPECT_EQ(CompositePlacement(QRect(1600, 0, 1600, 1000), QRect(2900, 100, 40, 40), size, false), QPoint(2260, 140));
}

}  // namespace
}  // namespace orvane
