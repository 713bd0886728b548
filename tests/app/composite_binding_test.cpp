// The composite key dialog in the running main window, against the built-in simulated keyboard:
// a key's click opens it modally for the keyboard's current profile, with the key highlighted,
// OK writes the editing instance and sets Apply pending, the macro button opens the macro editor,
// and unplugging the keyboard cancels it. A macro recorded in the macro editor reaches the
// keyboard through the main window's Apply, and the command-line tool reads it back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/composite_binding.h"
#include "model/key_table.h"
#include "platform/instance.h"
#include "platform/program_paths.h"
#include "platform/registry.h"
#include "model/macro.h"
#include "sim/sim_backend.h"
#include "sim/sim_hub.h"
#include "store/language.h"
#include "store/settings.h"
#include "tests/cli/cli_run.h"
#include "ui/editors/macro_panel.h"
#include "ui/layout/control_ids.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/png_button.h"
#include "ui/skin/qt_prompt.h"

namespace orvane {
namespace {

class CompositeBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("orvane-composite-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_ / "data");
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "instance");
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    registry_ = std::make_unique<RegistryStore>((root_ / "config/registry.reg").string());
    languages_ = std::make_unique<LanguageFiles>(registry_.get(), ORVANE_DATA_DIR, [] { return uint16_t(0x0409); });
    texts_ = std::make_unique<LanguageTextSource>(*languages_);
    settings_ = std::make_unique<AppSettings>(registry_.get(), (root_ / "data").string());
    QtPrompt::SetGlobalInterceptor([](QMessageBox&, const PromptRequest& request) -> std::optional<PromptAnswer> {
      return QtPrompt::DefaultAnswer(request);
    });
    ASSERT_EQ(mutex_.Acquire("QX27M40B", (root_ / "instance").string()), CInstanceMutex::State::Created);
    MainDialogServices s(ConfigContext{editing_, applied_, keyboard_}, protocol_, *languages_, *texts_, *settings_);
    s.backend = &sim_;
    s.registry = registry_.get();
    s.paths = FormProgramPaths(std::string(ORVANE_DATA_DIR) + "/orvane", ORVANE_DATA_DIR);
    s.mutex = &mutex_;
    s.instance_folder = (root_ / "instance").string();
    s.waits = {1, 20, 20, 20, 1};
    s.tray = TrayPresence::Present;
    window_ = std::make_unique<COrvaneDlg>(std::move(s));
    ASSERT_TRUE(window_->OnInitDialog());
    composite_ = BindCompositeDialog(*window_);
    ASSERT_TRUE(WaitFor([&] { return window_->isVisible(); }));
  }

  void TearDown() override {
    if (window_ && !window_->ended()) window_->ExitSequence();
    composite_.reset();
    window_.reset();
    QtPrompt::SetGlobalInterceptor(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
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
  // Runs body once the modal run of the dialog has started.
  static void WhenOpen(std::function<void()> body) { QTimer::singleShot(0, std::move(body)); }

  KeyAction Entry(int layer, int index) {
    auto lock = editing_.Acquire();
    return *editing_.Config().image->EntryAt(layer, index);
  }

  std::filesystem::path root_;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<LanguageFiles> languages_;
  std::unique_ptr<LanguageTextSource> texts_;
  std::unique_ptr<AppSettings> settings_;
  SimHidBackend sim_;
  ProfileInstance editing_;
  ProfileInstance applied_;
  KeyboardFacts keyboard_;
  CDeviceProtocol protocol_;
  CInstanceMutex mutex_;
  std::unique_ptr<COrvaneDlg> window_;
  std::unique_ptr<Orvane_DlgComposite> composite_;
};

TEST_F(CompositeBindingTest, AKeyClickOpensItModallyAndOkWritesTheCurrentProfile) {
  const int profile = protocol_.CurrentProfile();
  ASSERT_GE(profile, 0);
  const int button = ButtonOfKeyCode(0x03A);  // Caps Lock
  bool checked = false;
  WhenOpen([&] {
    checked = true;
    EXPECT_TRUE(window_->hooks().composite_open());
    EXPECT_TRUE(composite_->isVisible());
    EXPECT_TRUE(composite_->isModal());
    EXPECT_EQ(composite_->parentWidget(), window_.get());
    EXPECT_EQ(composite_->entryIndex(), KeyIndexOf(0x03A));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 30 + 8, 0, 0);
    QApplication::sendEvent(composite_->Control(ids::composite::kKeyInput), &press);
    composite_->DispatchCommand(IDOK);
  });
  window_->hooks().open_composite(button);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(window_->hooks().composite_open());
  EXPECT_EQ(Entry(profile, KeyIndexOf(0x03A)), (KeyAction{kActionSingleKey, 0, 0x01E, 0, 0}));
  EXPECT_TRUE(window_->IsApplyPending());
}

TEST_F(CompositeBindingTest, TheMacroButtonOpensTheMacroEditorAndUnpluggingCancelsIt) {
  bool checked = false;
  WhenOpen([&] {
    checked = true;
    EXPECT_TRUE(composite_->macroOnly());
    EXPECT_EQ(composite_->entryIndex(), kGKeySetA + 8);
    sim_.Hub().Unplug();
  });
  window_->hooks().open_composite(ids::main::kMacro);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(composite_->IsOpen());
  EXPECT_FALSE(composite_->isVisible());
  EXPECT_FALSE(window_->IsApplyPending());
}

TEST_F(CompositeBindingTest, AMacroRecordedInTheMacroEditorReachesTheKeyboardThroughApply) {
  namespace c = ids::composite;
  composite_.reset();
  composite_ = BindCompositeDialog(*window_, MakeMacroPanelFactory(keyboard_));
  const int profile = protocol_.CurrentProfile();
  ASSERT_GE(profile, 0);
  bool recorded = false;
  WhenOpen([&] {
    IMacroPanel* panel = composite_->macroPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(composite_->DispatchCommand(c::kMacroAdd));
    ASSERT_TRUE(composite_->DispatchCommand(c::kRecord));
    QWidget* list = composite_->Control(c::kActionList);
    for (int native : {30 + 8, 48 + 8}) {  // A, then B, as X delivers them
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, quint32(native), 0, 0);
      QApplication::sendEvent(list, &press);
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, quint32(native), 0, 0);
      QApplication::sendEvent(list, &release);
    }
    ASSERT_TRUE(composite_->DispatchCommand(c::kRecord));  // stop
    recorded = true;
    composite_->DispatchCommand(IDOK);
  });
  window_->DispatchCommand(ids::main::kMacro);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(Entry(profile, kGKeySetA + 8).type, kActionPlayMacro);
  ASSERT_TRUE(window_->IsApplyPending());

  window_->DispatchCommand(ids::main::kApply);
  ASSERT_TRUE(WaitFor([&] { return !window_->IsApplyPending(); }));

  // The keyboard names G9 at position 5: it now plays the first macro of the macro area.
  const SimMemory memory = sim_.Hub().Keyboard().Memory();
  const uint8_t* g9 = &memory.key_blocks[size_t(profile)][5 * 3];
  EXPECT_EQ(std::vector<uint8_t>(g9, g9 + 3), (std::vector<uint8_t>{0x05, 0x01, 0x00}));
  const std::vector<MacroRecord> back = DecodeMacroArea(memory.macro_area, *texts_);
  ASSERT_EQ(back.size(), 1u);
  ASSERT_EQ(back[0].actionCount, 4);
  const uint16_t codes[] = {0x01E, 0x01E, 0x030, 0x030};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(back[0].actions[size_t(i)].keyCode, codes[i]) << i;
    EXPECT_EQ(back[0].actions[size_t(i)].direction, i % 2 ? kRelease : kPress) << i;
  }

  // The command-line tool reads the same memory and lists the macro with its keys.
  const std::vector<uint8_t> state = memory.Serialize();
  const std::string state_file = (root_ / "keyboard.bin").string();
  const std::string back_file = (root_ / "back.orv").string();
  std::ofstream(state_file, std::ios::binary)
      .write(reinterpret_cast<const char*>(state.data()), std::streamsize(state.size()));
  ToolRun r = RunTool({"--simulate=" + state_file, "read", back_file});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunTool({"show", back_file});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("4 action(s)\n    press   A, then"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("    release B, then 0 ms\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace orvane
