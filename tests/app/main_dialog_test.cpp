// The main window driven by control ID and by its messages, offscreen, with the device threads
// running against the built-in simulated keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/child_dialogs.h"
#include "model/device_image.h"
#include "model/profile_config.h"
#include "platform/instance.h"
#include "platform/program_paths.h"
#include "platform/registry.h"
#include "sim/sim_backend.h"
#include "store/language.h"
#include "store/settings.h"
#include "ui/main/about_dialog.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/png_button.h"
#include "ui/skin/resources.h"
#include "ui/skin/window_message.h"

namespace orvane {
namespace {

namespace m = ids::main;

// A keyboard that is plugged in but that this user may not open.
class LockedBackend : public IHidBackend {
 public:
  explicit LockedBackend(IHidBackend& inner) : inner_(inner) {}
  std::vector<HidNodeInfo> EnumerateNodes() override {
    std::vector<HidNodeInfo> nodes = inner_.EnumerateNodes();
    for (HidNodeInfo& n : nodes) n.accessible = false;
    return nodes;
  }
  std::unique_ptr<IHidNode> OpenNode(const std::string&, bool, bool, HidOpenError* error) override {
    if (error) *error = HidOpenError::NoPermission;
    return nullptr;
  }

 private:
  IHidBackend& inner_;
};

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("orvane-main-" + std::to_string(::getpid()) + "-" +
                                                      std::to_string(counter_++));
    std::filesystem::create_directories(root_ / "data");
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "instance");
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    registry_ = std::make_unique<RegistryStore>((root_ / "config/registry.reg").string());
    languages_ = std::make_unique<LanguageFiles>(registry_.get(), ORVANE_DATA_DIR, [] { return uint16_t(0x0409); });
    texts_ = std::make_unique<LanguageTextSource>(*languages_);
    settings_ = std::make_unique<AppSettings>(registry_.get(), (root_ / "data").string());
    sim_ = std::make_unique<SimHidBackend>();
    QtPrompt::SetGlobalInterceptor([this](QMessageBox&, const PromptRequest& request) -> std::optional<PromptAnswer> {
      prompts_.push_back(request.text);
      return QtPrompt::DefaultAnswer(request);
    });
  }

  void TearDown() override {
    if (dialog_ && !dialog_->ended()) dialog_->ExitSequence();
    dialog_.reset();
    QtPrompt::SetGlobalInterceptor(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  MainDialogServices Services(bool start_silent, TrayPresence tray = TrayPresence::Present,
                              IHidBackend* backend = nullptr) {
    MainDialogServices s(ConfigContext{editing_, applied_, keyboard_}, protocol_, *languages_, *texts_, *settings_);
    s.backend = backend != nullptr ? backend : sim_.get();
    s.registry = registry_.get();
    s.paths = FormProgramPaths(std::string(ORVANE_DATA_DIR) + "/orvane", ORVANE_DATA_DIR);
    s.mutex = &mutex_;
    s.start_silent = start_silent;
    s.instance_folder = (root_ / "instance").string();
    s.waits = {1, 20, 20, 20, 1};
    s.tray = tray;
    SimHidBackend* sim = sim_.get();
    s.simulation.plug = [sim] { sim->Hub().Plug(); };
    s.simulation.unplug = [sim] { sim->Hub().Unplug(); };
    s.simulation.send_event = [sim](uint16_t usage) { sim->Hub().SendConsumerEvent(usage); };
    return s;
  }

  void Start(bool start_silent, TrayPresence tray = TrayPresence::Present, IHidBackend* backend = nullptr) {
    ASSERT_EQ(mutex_.Acquire("QX27M40B", (root_ / "instance").string()), CInstanceMutex::State::Created);
    dialog_ = std::make_unique<COrvaneDlg>(Services(start_silent, tray, backend));
    // Whatever happens from here on, the window must not flash before a show request.
    dialog_->installEventFilter(&show_watch_);
    ASSERT_TRUE(dialog_->OnInitDialog());
  }

  // Runs the event loop until pred holds (false after the limit).
  static bool WaitFor(const std::function<bool()>& pred, int limit_ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QThread::msleep(2);
    }
    return true;
  }
  // Lets the window take what is queued for a while.
  static void Settle(int ms = 150) {
    WaitFor([] { return false; }, ms);
  }

  std::string Text(const char* key, int language = 0) const { return languages_->LoadText(key, language); }
  CPngButton* Button(int id) const { return dialog_->ControlAs<CPngButton>(id); }
  void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  }

  class ShowWatch : public QObject {
   public:
    int shows = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Show) ++shows;
      return false;
    }
  };

  static inline int counter_ = 0;
  std::filesystem::path root_;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<LanguageFiles> languages_;
  std::unique_ptr<LanguageTextSource> texts_;
  std::unique_ptr<AppSettings> settings_;
  std::unique_ptr<SimHidBackend> sim_;
  // A backend put between the window and the simulated keyboard; it outlives the window, whose
  // device threads use it until the exit sequence in TearDown has stopped them.
  std::unique_ptr<IHidBackend> wrapper_;
  ProfileInstance editing_;
  ProfileInstance applied_;
  KeyboardFacts keyboard_;
  CDeviceProtocol protocol_;
  CInstanceMutex mutex_;
  ShowWatch show_watch_;
  std::vector<std::string> prompts_;
  std::unique_ptr<COrvaneDlg> dialog_;
};

TEST_F(MainDialogTest, KeyboardPresentOpensTheWindowOnceWithoutFlashing) {
  Start(false);
  EXPECT_FALSE(dialog_->isVisible());
  ASSERT_TRUE(WaitFor([&] { return dialog_->initialised(); }));
  // The keyboard is found: icon 141, the window opens by itself, once.
  ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible(); }));
  EXPECT_EQ(show_watch_.shows, 1);
  EXPECT_EQ(dialog_->shownTrayIcon(), kTrayIconPresent);
  EXPECT_EQ(dialog_->tray().currentIconResource(), kTrayIconPresent);
  EXPECT_NE(dialog_->windowFlags() & Qt::WindowType_Mask, Qt::Tool);  // a normal window with its task-bar button
  // The keyboard's current profile is marked.
  EXPECT_TRUE(Button(m::kProfile1)->selected());
  EXPECT_FALSE(Button(m::kProfile2)->selected());
  EXPECT_TRUE(prompts_.empty());

  // Cancel hides; unplug and replug: the window stays hidden and the icon follows.
  dialog_->DispatchCommand(m::kCancel);
  EXPECT_FALSE(dialog_->isVisible());
  sim_->Hub().Unplug();
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconProgram; }));
  sim_->Hub().Plug();
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  Settle();
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(show_watch_.shows, 1);
}

TEST_F(MainDialogTest, StartSilentStaysInTheTrayUntilOpened) {
  Start(true);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  Settle();
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(show_watch_.shows, 0);
  // Even a stray show before a request stays hidden.
  dialog_->show();
  EXPECT_FALSE(dialog_->isVisible());
  // The tray's Open.
  dialog_->DispatchCommand(ids::menu::kTrayOpen);
  EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(MainDialogTest, PluggedInLaterTheIconTurnsButTheWindowStaysClosed) {
  sim_->Hub().Unplug();
  Start(false);
  ASSERT_TRUE(WaitFor([&] { return dialog_->initialised(); }));
  Settle();
  EXPECT_EQ(dialog_->shownTrayIcon(), kTrayIconProgram);
  // A show request without the keyboard: the no-keyboard notice, the window stays hidden.
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_SHOW, kCheckWordOpen, 0), 1);
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0], Text("MAIN_NO_DEVICE_PROMPT"));
  EXPECT_FALSE(dialog_->isVisible());

  sim_->Hub().Plug();
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  Settle();
  EXPECT_FALSE(dialog_->isVisible());
  dialog_->DispatchCommand(ids::menu::kTrayOpen);
  EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(MainDialogTest, UnpluggingClosesTheAboutDialogAndHidesTheWindow) {
  bool composite_open = true;
  int composite_closed = 0, manager_cancelled = 0;
  Start(false);
  dialog_->hooks().composite_open = [&] { return composite_open; };
  dialog_->hooks().close_composite = [&] {
    ++composite_closed;
    composite_open = false;
  };
  dialog_->hooks().cancel_profile_manager = [&] { ++manager_cancelled; };
  ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible(); }));
  dialog_->DispatchCommand(ids::menu::kTrayAbout);
  ASSERT_NE(dialog_->about(), nullptr);
  CAboutDlg* first = dialog_->about();
  dialog_->DispatchCommand(m::kSysMenuAbout);  // one at a time
  EXPECT_EQ(dialog_->about(), first);

  sim_->Hub().Unplug();
  ASSERT_TRUE(WaitFor([&] { return dialog_->about() == nullptr && !dialog_->isVisible(); }));
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconProgram; }));
  EXPECT_EQ(composite_closed, 1);
  EXPECT_GE(manager_cancelled, 1);
  sim_->Hub().Plug();
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  Settle();
  EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(MainDialogTest, EnterAndEscapeDoNothingAndArrowsStopAtTheModeCombo) {
  int applied = 0;
  Start(false);
  dialog_->hooks().apply = [&] { ++applied; };
  ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible(); }));
  for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape)}) {
    Key(dialog_.get(), key);
    Key(Button(m::kOk), key);
  }
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_EQ(applied, 0);

  auto* mode = dialog_->ControlAs<QComboBox>(m::kModeCombo);
  auto* user = dialog_->ControlAs<QComboBox>(m::kUserModeCombo);
  ASSERT_NE(mode, nullptr);
  ASSERT_NE(user, nullptr);
  mode->addItems({"a", "b", "c"});
  mode->setCurrentIndex(1);
  Key(mode, Qt::Key_Down);
  Key(mode, Qt::Key_Up);
  Key(mode, Qt::Key_Up);
  EXPECT_EQ(mode->currentIndex(), 1);
  // Elsewhere the arrows pass.
  ASSERT_EQ(user->count(), 3);
  EXPECT_EQ(user->itemText(0).toStdString(), Text("USER_MODE1"));
  user->setCurrentIndex(0);
  Key(user, Qt::Key_Down);
  EXPECT_EQ(user->currentIndex(), 1);

  // OK applies, then hides.
  dialog_->DispatchCommand(m::kOk);
  EXPECT_EQ(applied, 1);
  EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(MainDialogTest, MessagesWithAWrongCheckWordAreIgnoredAndAnswerZero) {
  Start(true);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  dialog_->SetApplyPending(true);
  const std::string caption = Button(m::kProfile1)->text().toStdString();
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_SHOW, kCheckWordOpen + 1, 0), 0);
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_EXIT, CheckWord('K', 'I', 'L', 'L'), 0), 0);
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_PROFILE, 0, 0), 0);
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_INITDONE, kCheckWordOpen, 0), 0);
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_LANGUAGE, kCheckWordOpen, 1), 0);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_FALSE(dialog_->ended());
  EXPECT_TRUE(dialog_->IsApplyPending());  // no reload happened
  EXPECT_TRUE(dialog_->Control(m::kApply)->isEnabled());
  EXPECT_EQ(Button(m::kProfile1)->text().toStdString(), caption);
  // The right words work.
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_PROFILE, kCheckWordProfile, 0), 1);
  EXPECT_FALSE(dialog_->IsApplyPending());
  EXPECT_FALSE(dialog_->Control(m::kApply)->isEnabled());
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_LANGUAGE, kCheckWordLanguage, 1), 1);
  EXPECT_EQ(Button(m::kProfile1)->text().toStdString(), Text("PROFILE_1", 1));
  EXPECT_EQ(Button(m::kApply)->text().toStdString(), Text("PROFILE_APPLY", 1));
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_DEVICELOST, 12345, 0), 1);  // any word
}

TEST_F(MainDialogTest, TheProfilesButtonNamesTheCurrentProfileFromArrival) {
  Start(true);
  ChildDialogs children(*dialog_);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  ASSERT_TRUE(WaitFor([&] { return !Button(m::kProfiles)->text().isEmpty(); }));
  const std::string name = Button(m::kProfiles)->text().toStdString();
  EXPECT_EQ(name, "$Profile0");  // the cache file of the keyboard's profile 1
  EXPECT_EQ(Button(m::kProfiles)->tooltipText(), Text("PROFILE_TIP") + name);
}

TEST_F(MainDialogTest, NoPermissionIsNotNoKeyboard) {
  wrapper_ = std::make_unique<LockedBackend>(*sim_);
  Start(false, TrayPresence::Present, wrapper_.get());
  ASSERT_TRUE(WaitFor([&] { return dialog_->initialised(); }));
  dialog_->DispatchCommand(ids::menu::kTrayOpen);
  ASSERT_FALSE(prompts_.empty());
  for (const std::string& prompt : prompts_) EXPECT_EQ(prompt, Text("MAIN_NO_PERMISSION_PROMPT"));
  EXPECT_NE(prompts_.back().find("udev"), std::string::npos);
  EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(MainDialogTest, TimersAndTheSimulatedKeyboardsMenu) {
  int rereads = 0;
  Start(true);
  dialog_->hooks().reread_lighting = [&] { ++rereads; };
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  // The keyboard reports a lighting change: timer 1051 fires once and rereads.
  dialog_->DispatchCommand(m::kSimLightingEvent);
  ASSERT_TRUE(WaitFor([&] { return rereads == 1; }));
  Settle(100);
  EXPECT_EQ(rereads, 1);
  EXPECT_FALSE(dialog_->TimerActive(m::kTimerLightingReread));
  // The special state's icon comes and goes.
  dialog_->DispatchCommand(m::kSimSpecialOn);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconSpecial; }));
  dialog_->DispatchCommand(m::kSimSpecialOff);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  dialog_->DispatchCommand(m::kSimUnplug);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconProgram; }));

  // The tray menu, as the desktop opens it: labels from the language file and the submenu.
  QMenu* menu = dialog_->tray().popup();
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  QStringList texts;
  QMenu* sim = nullptr;
  for (QAction* a : menu->actions()) {
    texts << a->text();
    if (a->menu() != nullptr) sim = a->menu();
  }
  EXPECT_TRUE(texts.contains(QString::fromStdString(Text("MENU_11"))));
  EXPECT_TRUE(texts.contains(QString::fromStdString(Text("MENU_33"))));
  ASSERT_NE(sim, nullptr);
  ASSERT_EQ(sim->actions().size(), 5);
  EXPECT_EQ(sim->actions()[0]->text().toStdString(), Text("MENU_SIM_PLUG"));
  sim->actions()[0]->trigger();  // plug in again through the menu
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
}

TEST_F(MainDialogTest, TrayExitRunsTheExitSequence) {
  Start(true);
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  // The window's named objects and tag exist while it runs.
  EXPECT_EQ(dialog_->namedObjects().Count(), size_t(m::kNamedObjectCount));
  EXPECT_EQ(NamedObjectName(1), "Orvane_Event_Main_01");
  EXPECT_EQ(NamedObjectName(208), "Orvane_Event_Main_208");
  EXPECT_TRUE(std::filesystem::exists(root_ / "instance/objects/Orvane_Event_Main_208"));
  const std::string tag = dialog_->windowTag().SocketPath();
  EXPECT_TRUE(std::filesystem::exists(tag));
  EXPECT_TRUE(mutex_.Held());
  // A request of a later start reaches the window through its tag and waits for the answer.
  intptr_t answer = -1;
  std::thread second([&] {
    answer = SendToTaggedWindow(::getpid(), kMainWindowTag, {WM_MAIN_SHOW, kCheckWordOpen, 0},
                                (root_ / "instance").string())
                 .value_or(-1);
  });
  ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible(); }));
  second.join();
  EXPECT_EQ(answer, 1);

  // Exit chosen from the tray's menu.
  QMenu* menu = dialog_->tray().popup();
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  QAction* exit = nullptr;
  for (QAction* a : menu->actions())
    if (MenuCommand(a) == ids::menu::kTrayExit) exit = a;
  ASSERT_NE(exit, nullptr);
  exit->trigger();
  ASSERT_TRUE(WaitFor([&] { return dialog_->ended(); }));
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_FALSE(dialog_->tray().added());
  EXPECT_EQ(dialog_->shownTrayIcon(), 0);
  EXPECT_FALSE(mutex_.Held());
  EXPECT_FALSE(std::filesystem::exists(tag));
  EXPECT_FALSE(std::filesystem::exists(root_ / "instance/objects/Orvane_Event_Main_01"));
  EXPECT_FALSE(dialog_->monitor().Running());
  {
    auto lock = editing_.Acquire();
    EXPECT_EQ(editing_.Config().image, nullptr);
  }
  Settle(50);  // the menu and icon go once the loop has them back
}

TEST_F(MainDialogTest, AnExitRequestCancelsTheCompositeDialogBeforeAnythingGoes) {
  bool composite_open = true;
  bool lock_held_when_cancelled = false, icon_there_when_cancelled = false;
  Start(true);
  dialog_->hooks().composite_open = [&] { return composite_open; };
  dialog_->hooks().close_composite = [&] {
    lock_held_when_cancelled = mutex_.Held();
    icon_there_when_cancelled = dialog_->tray().added();
    composite_open = false;
  };
  ASSERT_TRUE(WaitFor([&] { return dialog_->shownTrayIcon() == kTrayIconPresent; }));
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_EXIT, kCheckWordExit, 0), 1);
  EXPECT_TRUE(dialog_->ended());
  EXPECT_FALSE(composite_open);
  EXPECT_TRUE(lock_held_when_cancelled);
  EXPECT_TRUE(icon_there_when_cancelled);
  // Nothing more is done once ended: a late show request and a late icon change are ignored.
  EXPECT_EQ(SendWindowMessage(dialog_.get(), WM_MAIN_SHOW, kCheckWordOpen, 0), 1);
  EXPECT_FALSE(dialog_->isVisible());
  dialog_->SetTrayState(kTrayIconSpecial);
  EXPECT_EQ(dialog_->shownTrayIcon(), 0);
  EXPECT_TRUE(prompts_.empty());
}

TEST_F(MainDialogTest, WithoutANotificationAreaTheWindowOpensOnArrivalAndMinimises) {
  Start(true, TrayPresence::Absent);
  // Said once, in the language file's words.
  ASSERT_TRUE(WaitFor([&] { return !prompts_.empty(); }));
  EXPECT_EQ(prompts_[0], Text("MAIN_NO_TRAY_PROMPT"));
  // Opened when the keyboard is found, even under /Start.
  ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible(); }));
  dialog_->DispatchCommand(m::kCancel);
  EXPECT_TRUE(dialog_->isVisible() || dialog_->isMinimized());
  EXPECT_FALSE(dialog_->isHidden());
  dialog_->ExitSequence();
  dialog_.reset();
  mutex_.Close();
  // The next run does not say it again.
  prompts_.clear();
  Start(true, TrayPresence::Absent);
  ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible(); }));
  Settle();
  EXPECT_TRUE(prompts_.empty());
}

TEST_F(MainDialogTest, AnExitRequestWhileANoticeIsOpenClosesItAndEndsTheRun) {
  // The notice of a desktop without a notification area is left open, as a user would leave it,
  // and the session ends (a logout's SIGTERM arrives as this request).
  bool closed_by_guard = false;
  QtPrompt::SetGlobalInterceptor([&](QMessageBox& box, const PromptRequest&) -> std::optional<PromptAnswer> {
    PostWindowMessage(dialog_.get(), WM_MAIN_EXIT, kCheckWordExit, 0);
    QTimer::singleShot(5000, &box, [&] {
      closed_by_guard = true;
      box.reject();
    });
    return std::nullopt;  // the box runs
  });
  Start(true, TrayPresence::Absent);
  ASSERT_TRUE(WaitFor([&] { return dialog_->ended(); }, 8000));
  EXPECT_FALSE(closed_by_guard);
  EXPECT_FALSE(mutex_.Held());
}

}  // namespace
}  // namespace orvane
