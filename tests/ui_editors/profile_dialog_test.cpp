// The profile manager driven by control ID on the generated skin against the simulated keyboard:
// opening on the keyboard's profile, checking rows, Cancel, Apply, Add, Load, Delete, the
// persisted list, the rows that cannot become the keyboard's profile, and the profile switch of
// the main window with its question. The dialog's look goes to <build>/gallery/profile_manager.png.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <deque>

#include "model/apply.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "store/folders.h"
#include "store/language.h"
#include "store/profile_store.h"
#include "tests/model/sim_keyboard_link.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/doubles.h"
#include "ui/controls/report_list.h"
#include "ui/editors/profile_dialog.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/png_button.h"
#include "ui/skin/theme.h"

namespace orvane {
namespace {

namespace P = ids::profile;
const std::string kSkins = std::string(ORVANE_DATA_DIR) + "/Skins";

// File dialogs answered from a script; every request is kept.
class ScriptedFileDialog : public IFileDialog {
 public:
  std::deque<std::optional<std::string>> answers;
  std::vector<FileDialogRequest> requests;
  std::optional<std::string> Choose(const FileDialogRequest& request) override {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> a = answers.front();
    answers.pop_front();
    return a;
  }
};

class ProfileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_xdg_ = old;
    setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
    ASSERT_TRUE(keyboard_.Connect());
    ASSERT_EQ(keyboard_.Proto().SelectProfile(2), 1);
    for (auto [key, text] : {std::pair{"PROFILE_COLUMN_ACTIVE", "Active"}, std::pair{"PROFILE_COLUMN_NAME", "Name"},
                             std::pair{"PROFILE_COLUMN_PATH", "Folder"}, std::pair{"PROFILE_TIP", "Current: "},
                             std::pair{"DEFAULT_PROFILE_NAME", "Default"}, std::pair{"PROFILE_NEW", "/New profile.orv"},
                             std::pair{"PROFILE_ROW_NOT_ONBOARD", "not on board"},
                             std::pair{"PROFILE_SELECT_PROMPT", "apply first?"},
                             std::pair{"PROFILE_SEELCT_PROMPT2", "close the key window"}})
      texts_.Set("TEXT", key, text);
    ProfileManagerServices services(state_.Context(), keyboard_.Proto(), texts_, settings_, prompt_, files_, window_);
    services.skin_folder = kSkins;
    services.apply_pending = [this] { return window_.IsApplyPending(); };
    services.apply = [this] { ++main_applies_; window_.SetApplyPending(false); };
    services.composite_open = [this] { return composite_open_; };
    services.set_profiles_button = [this](const std::string& caption, const std::string& tip) {
      button_caption_ = caption;
      button_tip_ = tip;
    };
    services.help = [this] { ++help_; };
    services.show_current_profile = [this] { shown_profiles_.push_back(KeyboardProfile()); };
    dialog_ = std::make_unique<COrvane_DlgProfile>(std::move(services));
  }
  void TearDown() override {
    dialog_.reset();
    if (old_xdg_) setenv("XDG_DATA_HOME", old_xdg_->c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
  }

  void Open() {
    ASSERT_TRUE(dialog_->OnInitDialog());
    dialog_->show();
    QApplication::processEvents();
  }
  CReportList& List() { return *dialog_->list(); }
  bool Enabled(int id) { return dialog_->Control(id)->isEnabled(); }
  void Click(int id) {
    auto* button = dialog_->ControlAs<CPngButton>(id);
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->isEnabled()) << id;
    button->click();
  }
  int KeyboardProfile() { return keyboard_.Keyboard().Memory().settings[kSimSettingsProfileByte]; }
  // Selection commands (settings writes) since the count was taken.
  int SettingsWritesSince(size_t from) {
    int n = 0;
    for (uint8_t c : keyboard_.CommandsSince(from)) n += c == kCmdWriteSettings;
    return n;
  }
  std::string Setting(const std::string& name) { return settings_.ReadProfileString(kProfilesSection, name, "-"); }

  testing::TempDir dir_;
  std::optional<std::string> old_xdg_;
  testing_support::ConfigState state_;
  testing_support::SimKeyboardLink keyboard_{state_.keyboard};
  MapTextSource texts_;
  RegistryStore registry_{dir_.File("registry.reg")};
  AppSettings settings_{&registry_, dir_.File("data/ZR4410_VELMORA_Q5")};
  ScriptedPrompt prompt_;
  ScriptedFileDialog files_;
  RecordingMainWindowLink window_;
  std::unique_ptr<COrvane_DlgProfile> dialog_;
  bool composite_open_ = false;
  int main_applies_ = 0;
  int help_ = 0;
  std::vector<int> shown_profiles_;  // the keyboard's profile each time the window was told to show it
  std::string button_caption_, button_tip_;
};

TEST_F(ProfileDialogTest, OpensOnTheKeyboardsProfileAndCancelSendsNothing) {
  Open();
  EXPECT_EQ(dialog_->openCount(), 1);
  ASSERT_EQ(List().RowCount(), 3);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(List().CellText(r, 0), "");
    EXPECT_EQ(List().CellText(r, 1), "$Profile0");
    EXPECT_EQ(List().CellText(r, 2), ProfileFolder() + "/");
  }
  EXPECT_EQ(List().CheckedRow(), 2);
  EXPECT_FALSE(dialog_->modified());
  EXPECT_FALSE(Enabled(P::kApply));
  EXPECT_TRUE(List().hasCheckBoxes());
  EXPECT_EQ(List().model()->headerData(1, Qt::Horizontal).toString(), "Name");
  EXPECT_EQ(List().columnWidth(2), 230);

  const size_t before = keyboard_.Requests();
  List().SetChecked(0, true);
  EXPECT_EQ(List().CheckedRow(), 0);
  EXPECT_TRUE(dialog_->modified());
  EXPECT_TRUE(Enabled(P::kApply));
  Click(P::kCancel);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->openCount(), 0);
  EXPECT_EQ(SettingsWritesSince(before), 0);
  EXPECT_EQ(KeyboardProfile(), 2);
  EXPECT_EQ(Setting("PROFILE00"), "-");  // nothing persisted

  // The next opening starts over from the keyboard, with captions of a language lacking the keys.
  texts_ = MapTextSource();
  Open();
  EXPECT_EQ(List().RowCount(), 3);
  EXPECT_EQ(List().CheckedRow(), 2);
  EXPECT_EQ(List().model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("激活"));
  EXPECT_EQ(List().model()->headerData(2, Qt::Horizontal).toString(), QString::fromUtf8("路径"));
}

TEST_F(ProfileDialogTest, ApplyOfRowOneSwitchesReloadsAndDisablesBothApplyButtons) {
  Open();
  window_.SetApplyPending(true);
  window_.Clear();
  List().SetChecked(1, true);
  Click(P::kApply);
  EXPECT_EQ(KeyboardProfile(), 1);
  EXPECT_FALSE(Enabled(P::kApply));
  EXPECT_FALSE(window_.IsApplyPending());
  bool refreshed = false;
  for (const auto& call : window_.Calls()) refreshed |= call.kind == RecordingMainWindowLink::Kind::RefreshKeyMatrix;
  EXPECT_TRUE(refreshed);  // the reload from the keyboard redraws the keys
  // The main window's profile buttons and lighting follow the new current profile.
  EXPECT_EQ(shown_profiles_, std::vector<int>{1});
  EXPECT_TRUE(FileExists(CacheFile(0)));
  EXPECT_EQ(button_caption_, "$Profile0");
  EXPECT_EQ(button_tip_, "Current: $Profile0");
  EXPECT_EQ(Setting("PROFILE00"), "3");
  EXPECT_EQ(Setting("PROFILE02"), ProfileFolder() + "/$Profile0.orv");
  EXPECT_TRUE(dialog_->isVisible());

  // OK applies too, then closes.
  List().SetChecked(0, true);
  Click(IDOK);
  EXPECT_EQ(KeyboardProfile(), 0);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->openCount(), 0);
}

TEST_F(ProfileDialogTest, AddLoadDeleteAndTheFourthRowThatCannotBecomeTheProfile) {
  Open();
  // Add: a save dialog starting at the new-profile name, a default profile written there.
  const std::string added = dir_.File("mine/Gaming.orv");
  std::filesystem::create_directories(dir_.File("mine"));
  files_.answers = {added, std::nullopt, dir_.File("other/Work.profile.orv")};
  Click(P::kAdd);
  ASSERT_EQ(files_.requests.size(), 1u);
  const FileDialogRequest& save = files_.requests[0];
  EXPECT_TRUE(save.save);
  EXPECT_TRUE(save.overwrite_prompt);
  EXPECT_EQ(save.initial_name, LocalAppDataFolder() + "/ZR4410_VELMORA_Q5/New profile.orv");
  EXPECT_EQ(save.default_extension, "orv");
  EXPECT_EQ(save.filter, "(*.orv)|*.orv|(*.*)|*.*||");
  EXPECT_EQ(ValidateProfileFile(added, prompt_, texts_), 1);
  ASSERT_EQ(List().RowCount(), 4);
  EXPECT_EQ(List().CellText(3, 1), "Gaming");
  EXPECT_EQ(List().CellText(3, 2), dir_.File("mine/"));
  EXPECT_TRUE(Enabled(P::kApply));

  // Load cancelled: nothing added. Load of a file that does not exist: listed all the same.
  Click(P::kApply);
  Click(P::kLoad);
  EXPECT_EQ(List().RowCount(), 4);
  EXPECT_FALSE(Enabled(P::kApply));
  Click(P::kLoad);
  ASSERT_EQ(files_.requests.size(), 3u);
  EXPECT_FALSE(files_.requests[2].save);
  EXPECT_EQ(files_.requests[2].initial_name, ProfileFolder() + "/*.orv");
  ASSERT_EQ(List().RowCount(), 5);
  EXPECT_EQ(List().CellText(4, 1), "Work.profile");

  // Delete without a selected row does nothing; deleting the last row selects the new last row.
  List().SelectRow(-1);
  Click(P::kDelete);
  EXPECT_EQ(List().RowCount(), 5);
  List().SelectRow(4);
  Click(P::kDelete);
  EXPECT_EQ(List().RowCount(), 4);
  EXPECT_EQ(List().SelectedRow(), 3);
  // A middle row hands the selection to the row after it.
  List().SelectRow(1);
  Click(P::kDelete);
  EXPECT_EQ(List().RowCount(), 3);
  EXPECT_EQ(List().SelectedRow(), 1);
  EXPECT_EQ(List().CellText(2, 1), "Gaming");
  EXPECT_TRUE(std::filesystem::exists(added));  // no file is deleted

  // Four rows, the fourth marked: the list is persisted, the keyboard is told nothing and keeps
  // its profile, which the marks show again.
  files_.answers = {dir_.File("x/Fourth.orv")};
  Click(P::kLoad);
  ASSERT_EQ(List().RowCount(), 4);
  List().SetChecked(3, true);
  const size_t before = keyboard_.Requests();
  Click(P::kApply);
  EXPECT_EQ(SettingsWritesSince(before), 0);
  EXPECT_EQ(KeyboardProfile(), 2);
  ASSERT_FALSE(prompt_.Shown().empty());
  EXPECT_EQ(prompt_.Shown().back().text, "not on board");
  EXPECT_EQ(List().CheckedRow(), 2);
  EXPECT_EQ(Setting("PROFILE00"), "4");
  EXPECT_EQ(Setting("PROFILE01"), ProfileFolder() + "/$Profile0.orv");
  EXPECT_EQ(Setting("PROFILE03"), dir_.File("mine/Gaming.orv"));
  EXPECT_EQ(Setting("PROFILE04"), dir_.File("x/Fourth.orv"));
  EXPECT_FALSE(Enabled(P::kApply));
}

TEST_F(ProfileDialogTest, SwitchProfileRules) {
  // Out of range: profile 0. The view and the profiles button follow.
  window_.Clear();
  EXPECT_EQ(dialog_->SwitchProfile(5), 1);
  EXPECT_EQ(KeyboardProfile(), 0);
  EXPECT_EQ(window_.Calls().front().kind, RecordingMainWindowLink::Kind::RefreshKeyMatrix);
  EXPECT_EQ(button_caption_, "$Profile0");
  EXPECT_TRUE(prompt_.Shown().empty());

  // The composite key dialog open: a notice, nothing sent.
  composite_open_ = true;
  size_t before = keyboard_.Requests();
  EXPECT_EQ(dialog_->SwitchProfile(1), 0);
  EXPECT_EQ(keyboard_.Requests(), before);
  ASSERT_EQ(prompt_.Shown().size(), 1u);
  EXPECT_EQ(prompt_.Shown()[0].text, "close the key window");
  composite_open_ = false;

  // Unapplied changes answered No: the cache file (what the keyboard holds) replaces them.
  ReloadFromKeyboard(state_.Context(), keyboard_.Proto(), texts_, window_);
  const uint16_t original = state_.editing.Config().image->EntryAt(0, 0x1E)->type;
  state_.editing.Config().image->EntryAt(0, 0x1E)->type = original == kActionDisabled ? kActionSingleKey : kActionDisabled;
  window_.SetApplyPending(true);
  EXPECT_EQ(dialog_->SwitchProfile(1), 1);
  ASSERT_EQ(prompt_.Shown().size(), 2u);
  EXPECT_EQ(prompt_.Shown()[1].text, "apply first?");
  EXPECT_EQ(prompt_.Shown()[1].buttons, PromptButtons::YesNo);
  EXPECT_EQ(state_.editing.Config().image->EntryAt(0, 0x1E)->type, original);
  EXPECT_FALSE(window_.IsApplyPending());
  EXPECT_EQ(KeyboardProfile(), 1);
  EXPECT_EQ(main_applies_, 0);

  // Answered Yes: the main window's Apply runs first.
  window_.SetApplyPending(true);
  prompt_.Script({PromptAnswer::Yes});
  EXPECT_EQ(dialog_->SwitchProfile(2), 1);
  EXPECT_EQ(main_applies_, 1);
  EXPECT_EQ(KeyboardProfile(), 2);

  // With the manager open and nothing pending: no question, its row follows and it is not
  // modified afterwards.
  Open();
  const size_t questions = prompt_.Shown().size();
  EXPECT_EQ(dialog_->SwitchProfile(0), 1);
  EXPECT_EQ(prompt_.Shown().size(), questions);
  EXPECT_EQ(List().CheckedRow(), 0);
  EXPECT_FALSE(dialog_->modified());
  // The manager modified counts as unapplied changes.
  List().SetChecked(1, true);
  EXPECT_EQ(dialog_->SwitchProfile(0), 1);
  EXPECT_EQ(prompt_.Shown().size(), questions + 1);
}

TEST_F(ProfileDialogTest, ASecondSwitchWhileTheQuestionIsOpenSelectsAtOnce) {
  window_.SetApplyPending(true);
  // The box's own event loop lets another profile button run.
  class ReenteringPrompt : public ScriptedPrompt {
   public:
    std::function<void()> during;
    PromptAnswer Show(const PromptRequest& r) override {
      if (during) std::exchange(during, nullptr)();
      return ScriptedPrompt::Show(r);
    }
  } prompt;
  ProfileManagerServices services(state_.Context(), keyboard_.Proto(), texts_, settings_, prompt, files_, window_);
  services.skin_folder = kSkins;
  services.apply_pending = [this] { return window_.IsApplyPending(); };
  COrvane_DlgProfile dialog(std::move(services));
  int inner = -1;
  prompt.during = [&] {
    EXPECT_TRUE(COrvane_DlgProfile::asking());
    inner = dialog.SwitchProfile(1);
    EXPECT_EQ(KeyboardProfile(), 1);
  };
  EXPECT_EQ(dialog.SwitchProfile(0), 1);
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(prompt.Shown().size(), 1u);  // one question only
  EXPECT_FALSE(COrvane_DlgProfile::asking());
  EXPECT_EQ(KeyboardProfile(), 0);
}

TEST_F(ProfileDialogTest, KeyboardUnreadableMarksNoRowAndF1AsksForHelp) {
  keyboard_.Proto().ClearProfileCache();
  keyboard_.Proto().SetOpen(false);
  Open();
  EXPECT_EQ(List().RowCount(), 3);
  EXPECT_EQ(List().CheckedRow(), -1);
  dialog_->RefreshProfileButton();
  EXPECT_EQ(button_caption_, "Default");
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(dialog_.get(), &f1);
  EXPECT_EQ(help_, 1);
  // Escape is Cancel.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(dialog_.get(), &escape);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->openCount(), 0);
}

TEST_F(ProfileDialogTest, LooksRightInTheSkinInBothLanguages) {
  ApplySkinTheme(*qApp, kSkins);
  const QString out = QString::fromStdString(std::string(ORVANE_DATA_DIR) + "/../gallery");
  QDir().mkpath(out);
  for (auto [language, name] : {std::pair{uint16_t(0x0409), "en"}, std::pair{uint16_t(0x0419), "ru"}}) {
    SCOPED_TRACE(name);
    // The shipped language files name the columns.
    LanguageFiles languages(nullptr, ORVANE_DATA_DIR, [language] { return language; });
    LanguageTextSource shipped(languages);
    ProfileManagerServices services(state_.Context(), keyboard_.Proto(), shipped, settings_, prompt_, files_, window_);
    services.skin_folder = kSkins;
    COrvane_DlgProfile dialog(std::move(services));
    files_.answers = {dir_.File("mine/Gaming.orv")};
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    dialog.ControlAs<CPngButton>(P::kLoad)->click();
    dialog.list()->SelectRow(1);
    QApplication::processEvents();
    const QString caption = dialog.list()->model()->headerData(1, Qt::Horizontal).toString();
    EXPECT_EQ(caption.toStdString(), languages.LoadText("PROFILE_COLUMN_NAME", language == 0x0409 ? 0 : 1));
    EXPECT_NE(caption.toStdString(), kMissingText);
    // The window is named in the same language.
    EXPECT_EQ(dialog.windowTitle().toStdString(),
              languages.LoadText("PROFILE_MANAGER_CAPTION", language == 0x0409 ? 0 : 1));
    EXPECT_NE(dialog.windowTitle().toStdString(), kMissingText);
    // ... and so is its heading: the skin draws no words of its own.
    const auto* heading = dialog.ControlAs<QLabel>(P::kHeading);
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->text(), dialog.windowTitle());
    EXPECT_TRUE(heading->isVisible());
    EXPECT_GE(heading->width(), heading->sizeHint().width()) << "the heading is cut";
    const QImage shot = dialog.grab().toImage();
    EXPECT_EQ(shot.size(), dialog.background().size());
    EXPECT_TRUE(shot.save(out + "/profile_manager_" + name + ".png"));
  }
}

}  // namespace
}  // namespace orvane
