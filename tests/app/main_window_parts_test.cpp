// The keyboard picture and the main commands of the main window, driven by control ID offscreen
// against the built-in simulated keyboard: marks and tooltips, the click dispatch, the flip
// blocks, Apply, the profile buttons, Default, Restore, Backup, the backup menu, help and links,
// and the "/Update" request.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "model/apply.h"
#include "model/device_image.h"
#include "model/key_matrix.h"
#include "model/profile_config.h"
#include "model/profile_file.h"
#include "platform/instance.h"
#include "platform/program_paths.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "sim/sim_backend.h"
#include "store/language.h"
#include "store/profile_store.h"
#include "store/settings.h"
#include "ui/main/key_matrix.h"
#include "ui/main/main_commands.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/png_button.h"

namespace orvane {
namespace {

namespace m = ids::main;
namespace fs = std::filesystem;

class MainWindowPartsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("orvane-parts-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    for (const char* sub : {"data", "config", "instance", "files"}) fs::create_directories(root_ / sub);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    registry_ = std::make_unique<RegistryStore>((root_ / "config/registry.reg").string());
    languages_ = std::make_unique<LanguageFiles>(registry_.get(), ORVANE_DATA_DIR, [] { return uint16_t(0x0409); });
    texts_ = std::make_unique<LanguageTextSource>(*languages_);
    settings_ = std::make_unique<AppSettings>(registry_.get(), (root_ / "data").string());
    sim_ = std::make_unique<SimHidBackend>();
    QtPrompt::SetGlobalInterceptor([this](QMessageBox&, const PromptRequest& request) -> std::optional<PromptAnswer> {
      prompts_.push_back(request.text);
      if (request.buttons == PromptButtons::YesNo) return answer_yes_ ? PromptAnswer::Yes : PromptAnswer::No;
      return PromptAnswer::Ok;
    });
  }

  void TearDown() override {
    if (dialog_ && !dialog_->ended()) dialog_->ExitSequence();
    dialog_.reset();
    QtPrompt::SetGlobalInterceptor(nullptr);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // The window with the keyboard found and its configuration read, shown.
  void Start() {
    ASSERT_EQ(mutex_.Acquire("QX27M40B", (root_ / "instance").string()), CInstanceMutex::State::Created);
    MainDialogServices s(ConfigContext{editing_, applied_, keyboard_}, protocol_, *languages_, *texts_, *settings_);
    s.backend = sim_.get();
    s.registry = registry_.get();
    s.paths = FormProgramPaths(std::string(ORVANE_DATA_DIR) + "/orvane", ORVANE_DATA_DIR);
    s.mutex = &mutex_;
    s.start_silent = false;
    s.instance_folder = (root_ / "instance").string();
    s.waits = {1, 20, 20, 20, 1};
    s.tray = TrayPresence::Present;
    dialog_ = std::make_unique<COrvaneDlg>(std::move(s));
    dialog_->commands().SetShellOpener([this](const ShellRequest& r) {
      shell_.push_back(r);
      return 42;
    });
    dialog_->commands().SetFileChooser([this](const FileDialogRequest& r) -> std::optional<std::string> {
      files_.push_back(r);
      return chosen_;
    });
    ASSERT_TRUE(dialog_->OnInitDialog());
    ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible() && !dialog_->IsApplyPending(); }));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(CacheFile(0)); }));
    Settle();
  }

  static bool WaitFor(const std::function<bool()>& pred, int limit_ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(2);
    }
    return true;
  }
  static void Settle(int ms = 150) { WaitFor([] { return false; }, ms); }

  std::string Text(const char* key) const { return languages_->LoadText(key, 0); }
  std::string Name(uint16_t code) const { return KeyDisplayName(*texts_, code); }
  CPngButton* Button(int id) const { return dialog_->ControlAs<CPngButton>(id); }
  int KeyButton(uint16_t code) const { return ButtonOfKeyCode(code); }
  KeyAction Entry(int layer, int index) {
    auto lock = editing_.Acquire();
    return *editing_.Config().image->EntryAt(layer, index);
  }
  void SetEntry(int layer, int index, const KeyAction& entry) {
    auto lock = editing_.Acquire();
    *editing_.Config().image->EntryAt(layer, index) = entry;
  }
  size_t Requests() { return sim_->Keyboard().RequestCount(); }
  // The keyboard's configuration read back into a profile file and loaded.
  ProfileConfig ReadBack() {
    const std::string path = (root_ / "files/readback.orv").string();
    EXPECT_EQ(BuildImageFromKeyboard(keyboard_, path, protocol_, *texts_), 1);
    ProfileInstance read;
    EXPECT_EQ(LoadProfileFile(read, path), 1);
    return read.Config().Copy();
  }

  static inline int counter_ = 0;
  fs::path root_;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<LanguageFiles> languages_;
  std::unique_ptr<LanguageTextSource> texts_;
  std::unique_ptr<AppSettings> settings_;
  std::unique_ptr<SimHidBackend> sim_;
  ProfileInstance editing_;
  ProfileInstance applied_;
  KeyboardFacts keyboard_;
  CDeviceProtocol protocol_;
  CInstanceMutex mutex_;
  std::vector<std::string> prompts_;
  bool answer_yes_ = false;
  std::vector<ShellRequest> shell_;
  std::vector<FileDialogRequest> files_;
  std::optional<std::string> chosen_;
  std::unique_ptr<COrvaneDlg> dialog_;
};

TEST_F(MainWindowPartsTest, KeysShowTheirAssignmentAndClicksGoWhereTheModeSays) {
  Start();
  const int a = KeyButton(0x01E), b = KeyButton(0x030), c = KeyButton(0x02E), esc = KeyButton(0x001);
  SetEntry(0, 0x030, {kActionSingleKey, 0, 0x01E, 0, 0});  // B sends A
  SetEntry(0, 0x02E, {kActionPlayMacro, 1, 42, 0, 0});     // C plays a macro that is gone
  SetEntry(0, 0x01E, {kActionDisabled, 0, 0, 0, 0});       // A is disabled
  SetEntry(1, 0x001, {kActionDisabled, 0, 0, 0, 0});       // another profile's layer
  SetEntry(0, kGKeySetA + 2, {kActionMedia, 0x303, 0, 0, 0});
  dialog_->RefreshKeyMatrix();
  const std::string set = Text("KEY_PROMPT_SET");
  EXPECT_EQ(Button(b)->tooltipText(), Name(0x030) + set + Text("KEY_PROMPT_SINGLE") + Name(0x01E) + ")");
  EXPECT_EQ(Button(c)->tooltipText(), Name(0x02E) + set + Text("KEY_PROMPT_MACRO") + ")");
  EXPECT_EQ(Button(a)->tooltipText(), Name(0x01E) + set);
  EXPECT_EQ(Button(esc)->tooltipText(), Name(0x001));
  EXPECT_EQ(Button(GKeyButtons()[2])->tooltipText(), "G3" + set + Text("KEY_PROMPT_MEDIA") +
                                                          Name(MediaFunctions()[0].code) + ")");
  EXPECT_EQ(Button(GKeyButtons()[0])->tooltipText(), "G1");
  for (int id : {a, b, c, GKeyButtons()[2]}) EXPECT_TRUE(Button(id)->selected()) << id;
  for (int id : {esc, GKeyButtons()[0]}) EXPECT_FALSE(Button(id)->selected()) << id;
  // G6 to G9, FLIP_0, the arrows and the lock indicators cannot be clicked.
  for (int id : {GKeyButtons()[5], GKeyButtons()[8], m::kFlip0, m::kLeftArrow, m::kCapsLock, m::kAbLock})
    EXPECT_FALSE(Button(id)->isEnabled()) << id;
  EXPECT_TRUE(Button(GKeyButtons()[4])->isEnabled());

  // Per-key editing off, no key dialog yet: a key is highlighted; G1, G5 and Fn do nothing.
  bool painting = false;
  std::vector<int> painted, opened;
  dialog_->hooks().painting_mode = [&] { return painting; };
  dialog_->hooks().paint_key = [&](int id) { painted.push_back(id); };
  const SkinPictures own = Button(esc)->pictures();
  Button(esc)->click();
  EXPECT_EQ(dialog_->keyMatrix().highlighted(), esc);
  EXPECT_EQ(Button(esc)->pictures().normal, own.over);
  EXPECT_EQ(Button(esc)->pictures().down, own.down);
  EXPECT_EQ(Button(esc)->pictures().disabled, own.normal);
  Button(a)->click();  // the next key takes the highlight
  EXPECT_EQ(Button(esc)->pictures().normal, own.normal);
  for (int id : {GKeyButtons()[0], GKeyButtons()[4], m::kFn}) {
    Button(id)->click();
    EXPECT_EQ(dialog_->keyMatrix().highlighted(), a) << id;
  }
  // With the key dialog: its hook gets the key; the macro editor is G9's dialog.
  dialog_->hooks().open_composite = [&](int id) { opened.push_back(id); };
  Button(b)->click();
  Button(GKeyButtons()[0])->click();
  dialog_->DispatchCommand(m::kMacro);
  EXPECT_EQ(opened, (std::vector<int>{b, GKeyButtons()[8]}));
  // Painting: keys, Fn and G1 to G4 paint; G5 and the flip keys do not; nothing opens.
  painting = true;
  for (int id : {b, m::kFn, GKeyButtons()[0], GKeyButtons()[3], GKeyButtons()[4], m::kFlipKeys[0]})
    dialog_->DispatchCommand(id);
  EXPECT_EQ(painted, (std::vector<int>{b, m::kFn, GKeyButtons()[0], GKeyButtons()[3]}));
  EXPECT_EQ(opened.size(), 2u);
  EXPECT_TRUE(prompts_.empty());
}

void SavePreview(COrvaneDlg& dialog, const char* name) {
  const char* folder = std::getenv("ORVANE_PREVIEW_DIR");
  if (folder == nullptr) return;
  dialog.grab().save(QString::fromUtf8(folder) + "/" + name);
}

TEST_F(MainWindowPartsTest, FlipButtonsSwitchTheKeyBlockAndItsArrows) {
  Start();
  std::vector<int> f_keys;
  for (uint16_t code : kFlipBlockKeyCodes) f_keys.push_back(KeyButton(code));
  auto block_is = [&](bool d_keys) {
    for (int id : f_keys)
      if (Button(id)->isEnabled() == d_keys || Button(id)->isVisible() == d_keys) return false;
    for (int id : m::kFlipKeys)
      if (Button(id)->isEnabled() != d_keys || Button(id)->isVisible() != d_keys) return false;
    return true;
  };
  EXPECT_EQ(settings_->Flip(), "0");
  EXPECT_TRUE(block_is(false));
  const int left_flip0 = Button(m::kLeftArrow)->offsetY(), right_flip0 = Button(m::kRightArrow)->offsetY();
  SavePreview(*dialog_, "main_flip0.png");
  // D1-D6 sit where F1-F4 are, between Esc and F5.
  const QRect esc = Button(KeyButton(0x001))->geometry(), f5 = Button(KeyButton(0x03F))->geometry();
  for (int id : m::kFlipKeys) {
    EXPECT_GT(Button(id)->geometry().left(), esc.right()) << id;
    EXPECT_LT(Button(id)->geometry().right(), f5.left()) << id;
  }

  Button(m::kFlip1)->click();
  EXPECT_EQ(settings_->Flip(), "1");
  EXPECT_TRUE(block_is(true));
  EXPECT_NE(Button(m::kLeftArrow)->offsetY(), left_flip0);
  EXPECT_NE(Button(m::kRightArrow)->offsetY(), right_flip0);
  SavePreview(*dialog_, "main_flip1.png");
  Button(m::kFlip2)->click();
  EXPECT_EQ(settings_->Flip(), "0");
  EXPECT_TRUE(block_is(false));
  EXPECT_EQ(Button(m::kLeftArrow)->offsetY(), left_flip0);

  // "7" counts as 1 at the next refresh and is written back as "0" by the next toggle.
  ASSERT_TRUE(settings_->WriteProfileString(kProfilesSection, kFlipValue, "7"));
  dialog_->RefreshKeyMatrix();
  EXPECT_TRUE(block_is(true));
  Button(m::kFlip1)->click();
  EXPECT_EQ(settings_->Flip(), "0");
  EXPECT_TRUE(block_is(false));
}

TEST_F(MainWindowPartsTest, ApplyWritesOnlyWhatIsPendingAndProfileButtonsSwitchThroughTheManager) {
  Start();
  const int current = protocol_.CurrentProfile();
  ASSERT_EQ(current, 0);
  // Nothing pending: nothing goes to the keyboard.
  size_t before = Requests();
  dialog_->DispatchCommand(m::kApply);
  Settle();
  EXPECT_EQ(Requests(), before);

  // A change: Apply writes the current profile and turns itself off.
  SetEntry(0, 0x030, {kActionSingleKey, 0, 0x01E, 0, 0});
  dialog_->SetApplyPending(true);
  dialog_->DispatchCommand(m::kApply);
  EXPECT_FALSE(dialog_->IsApplyPending());
  EXPECT_EQ(ReadBack().image->EntryAt(0, 0x030)->value, 0x01Eu);

  // The keyboard does not answer: the change stays pending.
  SetEntry(0, 0x031, {kActionDisabled, 0, 0, 0, 0});
  dialog_->SetApplyPending(true);
  SimFaults silent;
  silent.no_reply = -1;
  sim_->Keyboard().SetFaults(silent);
  dialog_->DispatchCommand(m::kApply);
  sim_->Keyboard().ClearFaults();
  EXPECT_TRUE(dialog_->IsApplyPending());
  dialog_->SetApplyPending(false);

  // The current profile's button rereads the lighting and selects nothing.
  std::vector<std::string> calls;
  dialog_->hooks().set_lighting_profile = [&](int n) { calls.push_back("profile " + std::to_string(n)); };
  dialog_->hooks().load_lighting = [&] { calls.push_back("load"); };
  dialog_->hooks().rebuild_lighting = [&] { calls.push_back("rebuild"); };
  dialog_->hooks().switch_profile = [&](int n) {
    calls.push_back("switch " + std::to_string(n));
    return n == 2 ? 1 : 0;
  };
  before = Requests();
  dialog_->DispatchCommand(m::kProfile1);
  EXPECT_EQ(calls, (std::vector<std::string>{"profile 0", "load", "rebuild"}));
  EXPECT_EQ(Requests(), before);
  // Another profile goes through the manager's switch; the buttons follow only when it switched.
  calls.clear();
  dialog_->DispatchCommand(m::kProfile2);
  EXPECT_EQ(calls, (std::vector<std::string>{"profile 1", "load", "rebuild", "switch 1"}));
  EXPECT_TRUE(Button(m::kProfile1)->selected());
  dialog_->DispatchCommand(m::kProfile3);
  EXPECT_TRUE(Button(m::kProfile3)->selected());
  EXPECT_FALSE(Button(m::kProfile1)->selected());
}

TEST_F(MainWindowPartsTest, DefaultClearsTheCurrentLayerOnlyWhenTheAnswerIsYes) {
  Start();
  for (int layer = 0; layer < 3; ++layer) {
    SetEntry(layer, 0x030, {kActionSingleKey, 0, 0x01E, 0, 0});
    SetEntry(layer, kGKeySetA, {kActionDisabled, 0x301, 0, 0, 0});
  }
  {
    auto lock = editing_.Acquire();
    ASSERT_EQ(Apply(ConfigContext{editing_, applied_, keyboard_}, true, protocol_, dialog_->prompt(), *texts_), 1);
  }
  dialog_->RefreshKeyMatrix();
  ASSERT_TRUE(Button(KeyButton(0x030))->selected());
  bool reset = false;
  dialog_->hooks().painting_mode = [] { return true; };
  dialog_->hooks().reset_lighting = [&] { reset = true; };

  answer_yes_ = false;
  dialog_->DispatchCommand(m::kDefault);
  ASSERT_EQ(prompts_, (std::vector<std::string>{Text("MAIN_PROMPT_DEFAULT")}));
  EXPECT_EQ(Entry(0, 0x030).type, kActionSingleKey);
  EXPECT_FALSE(reset);
  EXPECT_FALSE(dialog_->IsApplyPending());

  answer_yes_ = true;
  dialog_->DispatchCommand(m::kDefault);
  EXPECT_EQ(Entry(0, 0x030), KeyAction{});
  EXPECT_EQ(Entry(0, kGKeySetA), KeyAction{});
  EXPECT_EQ(Entry(1, 0x030).type, kActionSingleKey);  // the other profiles keep theirs
  EXPECT_FALSE(Button(KeyButton(0x030))->selected());
  EXPECT_EQ(Button(KeyButton(0x030))->tooltipText(), Name(0x030));
  EXPECT_TRUE(reset);
  EXPECT_TRUE(Button(m::kReportRate1)->selected());
  EXPECT_FALSE(Button(m::kReportRate2)->selected());
  // ... and it was applied: the keyboard's profile 0 has the factory key, profile 1 still not.
  EXPECT_FALSE(dialog_->IsApplyPending());
  const ProfileConfig back = ReadBack();
  EXPECT_EQ(back.image->EntryAt(0, 0x030)->type, kActionDefault);
  EXPECT_EQ(back.image->EntryAt(1, 0x030)->type, kActionSingleKey);
}

TEST_F(MainWindowPartsTest, RestoreWritesAValidFileToAllThreeProfilesAndRefusesAnInvalidOne) {
  Start();
  const std::string bad = (root_ / "files/bad.orv").string(), good = (root_ / "files/good.orv").string();
  { std::ofstream(bad) << "not a profile"; }
  {
    ProfileInstance file;
    ProfileConfig c;
    c.image = NewDefaultImage();
    for (int layer = 0; layer < 3; ++layer) c.image->EntryAt(layer, 0x030)->type = kActionDisabled;
    c.image->EntryAt(2, 0x02E)->type = kActionDisabled;
    file.Replace(std::move(c));
    ASSERT_TRUE(SaveProfileFile(file, good));
  }
  SetEntry(0, 0x01E, {kActionDisabled, 0, 0, 0, 0});
  dialog_->RefreshKeyMatrix();

  chosen_ = bad;
  dialog_->DispatchCommand(ids::menu::kBackupRestore);
  ASSERT_EQ(files_.size(), 1u);
  EXPECT_FALSE(files_[0].save);
  EXPECT_EQ(files_[0].default_extension, "orv");
  EXPECT_EQ(files_[0].filter, "(*.orv)|*.orv|(*.*)|*.*||");
  ASSERT_FALSE(prompts_.empty());
  EXPECT_EQ(prompts_.back(), Text("MAIN_PROMPT_INPORT"));
  EXPECT_TRUE(Button(KeyButton(0x01E))->selected());  // the picture is as it was
  EXPECT_EQ(Entry(0, 0x01E).type, kActionDisabled);

  // Cancelled: nothing happens.
  chosen_.reset();
  prompts_.clear();
  dialog_->DispatchCommand(ids::menu::kBackupRestore);
  EXPECT_TRUE(prompts_.empty());

  chosen_ = good;
  dialog_->SetApplyPending(true);
  dialog_->DispatchCommand(ids::menu::kBackupRestore);
  EXPECT_TRUE(prompts_.empty());
  EXPECT_FALSE(dialog_->IsApplyPending());
  EXPECT_FALSE(Button(KeyButton(0x01E))->selected());
  EXPECT_TRUE(Button(KeyButton(0x030))->selected());
  const ProfileConfig back = ReadBack();
  for (int layer = 0; layer < 3; ++layer) EXPECT_EQ(back.image->EntryAt(layer, 0x030)->type, kActionDisabled);
  EXPECT_EQ(back.image->EntryAt(2, 0x02E)->type, kActionDisabled);
  EXPECT_EQ(back.image->EntryAt(0, 0x01E)->type, kActionDefault);

  // A restore the keyboard does not take leaves Apply offered: the keyboard does not hold the file.
  SimFaults silent;
  silent.no_reply = -1;
  sim_->Keyboard().SetFaults(silent);
  dialog_->DispatchCommand(ids::menu::kBackupRestore);
  sim_->Keyboard().ClearFaults();
  EXPECT_TRUE(dialog_->IsApplyPending());
}

TEST_F(MainWindowPartsTest, BackupMenuHelpAndLinks) {
  Start();
  // The backup menu: two items labelled from the language file; the second one backs up.
  std::unique_ptr<QMenu> menu = dialog_->commands().BuildBackupMenu();
  ASSERT_TRUE(menu);
  std::vector<std::string> labels;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) labels.push_back(action->text().toStdString());
  EXPECT_EQ(labels, (std::vector<std::string>{Text("MENU_1"), Text("MENU_2")}));

  const std::string target = (root_ / "files/backup.orv").string();
  { std::ofstream(target) << "old"; }
  chosen_ = target;
  dialog_->commands().SetMenuRunner([](QMenu& shown, const QPoint&) { return shown.actions().value(1); });
  dialog_->DispatchCommand(m::kMenu);
  ASSERT_EQ(files_.size(), 1u);
  EXPECT_TRUE(files_[0].save);
  EXPECT_TRUE(files_[0].overwrite_prompt);  // an existing file is asked about before it is replaced
  EXPECT_EQ(files_[0].default_extension, "orv");
  EXPECT_EQ(ValidateProfileFile(target, dialog_->prompt(), *texts_), 1);
  EXPECT_TRUE(prompts_.empty());  // the result is not reported

  dialog_->DispatchCommand(m::kHelp);
  dialog_->DispatchCommand(m::kLogoLink);
  dialog_->DispatchCommand(m::kFacebookLink);
  dialog_->DispatchCommand(m::kTwitterLink);
  dialog_->DispatchCommand(m::kNetwork);
  const auto& links = dialog_->linkAddresses();
  const std::string help = dialog_->services().paths.help_folder;
  ASSERT_EQ(shell_.size(), 5u);
  EXPECT_EQ(shell_[0].target, help + "index.html");
  EXPECT_TRUE(fs::exists(shell_[0].target));
  EXPECT_EQ(shell_[0].parameters, "NULL");
  EXPECT_EQ(shell_[0].folder, help);
  // With Russian chosen, the Russian page beside the English one.
  ASSERT_TRUE(registry_->WriteDword(kAppRegistryKey, kLanguageIdValue, 0x0419));
  dialog_->DispatchCommand(m::kHelp);
  ASSERT_EQ(shell_.size(), 6u);
  EXPECT_EQ(shell_[5].target, help + "index.ru.html");
  EXPECT_TRUE(fs::exists(shell_[5].target));
  ASSERT_TRUE(registry_->WriteDword(kAppRegistryKey, kLanguageIdValue, 0x0409));
  EXPECT_EQ(shell_[1].target, links[0]);
  EXPECT_TRUE(shell_[1].parameters.empty());
  EXPECT_EQ(shell_[2].target, links[1]);
  EXPECT_EQ(shell_[3].target, links[2]);
  EXPECT_EQ(shell_[4].target, links[0]);
  EXPECT_EQ(shell_[4].parameters, "NULL");
  EXPECT_EQ(shell_[4].folder, "NULL");
  EXPECT_TRUE(prompts_.empty());

  // Nothing on the desktop opens them (no opener, no browser): the click says so, and what.
  dialog_->commands().SetShellOpener([](const ShellRequest&) { return kShellNoAssociation; });
  dialog_->DispatchCommand(m::kHelp);
  dialog_->DispatchCommand(m::kFacebookLink);
  EXPECT_EQ(prompts_, (std::vector<std::string>{Text("MAIN_OPEN_FAILED") + "\n\n" + help + "index.html",
                                                Text("MAIN_OPEN_FAILED") + "\n\n" + links[1]}));
  EXPECT_NE(Text("MAIN_OPEN_FAILED"), kMissingText);
}

// An unplug in the middle of Apply loses nothing: the changes stay on screen with Apply offered
// when the keyboard is back, and the next Apply writes them. With nothing pending, a return
// shows what the keyboard holds, as always.
TEST_F(MainWindowPartsTest, ChangesTheKeyboardLacksWhenItGoesOutliveItsReturn) {
  Start();
  auto present = [&] { return dialog_->shownTrayIcon() == kTrayIconPresent; };
  SetEntry(0, 0x030, {kActionSingleKey, 0, 0x01E, 0, 0});  // B sends A
  dialog_->SetApplyPending(true);
  SimFaults vanish;
  vanish.vanish_after = 1;  // the access bracket opens, then the keyboard is gone
  sim_->Keyboard().SetFaults(vanish);
  dialog_->DispatchCommand(m::kApply);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconProgram; }));
  sim_->Keyboard().ClearFaults();
  sim_->Hub().Plug();
  ASSERT_TRUE(WaitFor(present));
  Settle(300);
  EXPECT_EQ(Entry(0, 0x030).type, kActionSingleKey);
  EXPECT_TRUE(dialog_->IsApplyPending());
  EXPECT_EQ(ReadBack().image->EntryAt(0, 0x030)->type, kActionDefault) << "the keyboard lacks it";
  dialog_->DispatchCommand(m::kApply);
  EXPECT_FALSE(dialog_->IsApplyPending());
  EXPECT_EQ(ReadBack().image->EntryAt(0, 0x030)->value, 0x01Eu);

  // Nothing pending: the keyboard's own configuration comes back with it.
  sim_->Hub().Unplug();
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconProgram; }));
  SetEntry(0, 0x031, {kActionDisabled, 0, 0, 0, 0});  // a stale picture, not a change of the user's
  sim_->Hub().Plug();
  ASSERT_TRUE(WaitFor(present));
  ASSERT_TRUE(WaitFor([&] { return Entry(0, 0x031).type == kActionDefault; }));
  EXPECT_EQ(Entry(0, 0x030).value, 0x01Eu);
  EXPECT_FALSE(dialog_->IsApplyPending());
}

TEST_F(MainWindowPartsTest, UpdateRequestOfALaterStartOpensTheUpdateDialogAfterAnswering) {
  Start();
  int opened = 0, managers = 0;
  dialog_->hooks().open_update_dialog = [&] { ++opened; };
  dialog_->hooks().open_profile_manager = [&] { ++managers; };
  dialog_->DispatchCommand(m::kProfiles);
  EXPECT_EQ(managers, 1);
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_UPDATE, kCheckWordShow, 0), 0);  // wrong word
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_UPDATE, kCheckWordUpdate, 0), 1);
  EXPECT_EQ(opened, 0);  // not inside the request
  ASSERT_TRUE(WaitFor([&] { return opened == 1; }));
  Settle();
  EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace orvane
