// The update dialog driven by control ID on the generated skin against the simulated keyboard:
// Update before Open, the path kept across openings, a cancelled Open, Cancel update, the current
// directory, a program that cannot run, a start that fails, and Backup with and without the
// keyboard. The started program is a real script that says where it ran. The dialog's look goes
// to <build>/gallery/update_dialog.png.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <fstream>

#include "model/profile_file.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "store/profile_store.h"
#include "tests/model/sim_keyboard_link.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/doubles.h"
#include "tests/support/pump_events.h"
#include "ui/controls/color_static.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/png_button.h"
#include "ui/skin/theme.h"
#include "ui/update/update_dialog.h"

namespace orvane {
namespace {

namespace U = ids::update;
const std::string kSkins = std::string(ORVANE_DATA_DIR) + "/Skins";

class ScriptedFileDialog : public IFileDialog {
 public:
  std::vector<std::optional<std::string>> answers;
  std::vector<FileDialogRequest> requests;
  std::optional<std::string> Choose(const FileDialogRequest& request) override {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
};

class UpdateDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = CurrentDirectory();
    SetUpdatePath({});
    ASSERT_TRUE(CreateFolders(package_));
    ASSERT_TRUE(keyboard_.Connect());
    state_.editing.Replace([] {
      ProfileConfig c;
      c.image = NewDefaultImage();
      return c;
    }());
    // The update program: writes the folder it runs in, then ends.
    program_ = package_ + "/flash-tool";
    std::ofstream(program_) << "#!/bin/sh\npwd > \"" << dir_.File("ran") << ".tmp\" && mv \"" << dir_.File("ran")
                            << ".tmp\" \"" << dir_.File("ran") << "\"\n";
    ASSERT_EQ(chmod(program_.c_str(), 0755), 0);
  }
  void TearDown() override {
    dialog_.reset();
    SetCurrentDirectory(old_cwd_);
    SetUpdatePath({});
  }

  COrvane_DlgUpdate& Open() {
    UpdateDialogServices services(state_.editing, keyboard_.Proto(), texts_, prompt_, files_);
    services.skin_folder = kSkins;
    services.package_folder = package_;
    services.start_program = start_;
    dialog_ = std::make_unique<COrvane_DlgUpdate>(std::move(services));
    EXPECT_TRUE(dialog_->OnInitDialog());
    dialog_->show();
    QApplication::processEvents();
    return *dialog_;
  }
  void Click(int id) {
    auto* button = dialog_->ControlAs<CPngButton>(id);
    ASSERT_NE(button, nullptr) << id;
    button->click();
  }
  std::string PathShown() { return dialog_->ControlAs<ColorStatic>(U::kPath)->text().toStdString(); }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const PromptRequest& r : prompt_.Shown()) out.push_back(r.text);
    return out;
  }
  int BootModeRequests(size_t from) {
    int n = 0;
    for (uint8_t c : keyboard_.CommandsSince(from)) n += c == kCmdEnterBootMode;
    return n;
  }

  testing::TempDir dir_;
  std::string package_ = dir_.File("program/Package");
  std::string program_;
  std::string old_cwd_;
  testing_support::ConfigState state_;
  testing_support::SimKeyboardLink keyboard_{state_.keyboard};
  MapTextSource texts_;
  ScriptedPrompt prompt_;
  ScriptedFileDialog files_;
  std::function<int(const std::string&)> start_;
  std::unique_ptr<COrvane_DlgUpdate> dialog_;
};

TEST_F(UpdateDialogTest, UpdateBeforeOpenAndAfterACancelledOpenSendsNothing) {
  Open();
  EXPECT_FALSE(dialog_->Control(U::kSpareCombo)->isVisible());
  const size_t before = keyboard_.Requests();
  Click(U::kUpdate);
  EXPECT_EQ(Messages(), std::vector<std::string>{"请选择正确的更新文件! "});
  EXPECT_TRUE(dialog_->isVisible());

  // A cancelled Open empties the path and still moves to the Package folder.
  SetUpdatePath(program_);
  Click(U::kOpen);
  ASSERT_EQ(files_.requests.size(), 1u);
  EXPECT_FALSE(files_.requests[0].save);
  EXPECT_EQ(files_.requests[0].initial_folder, package_);
  EXPECT_EQ(files_.requests[0].initial_name, "*.exe");
  EXPECT_EQ(files_.requests[0].default_extension, "exe");
  EXPECT_EQ(ParseFileFilter(files_.requests[0].filter).back().second, "*.exe");
  EXPECT_EQ(UpdatePath(), "");
  EXPECT_EQ(CurrentDirectory(), package_);
  texts_.Set("TEXT", "UPDATE_ERR_NO_FILE", "Choose the update program first.");
  Click(U::kUpdate);
  EXPECT_EQ(Messages().back(), "Choose the update program first.");

  // A file that is there but cannot be run is no update program either.
  const std::string text_file = package_ + "/readme.exe";
  std::ofstream(text_file) << "not a program";
  files_.answers = {text_file};
  Click(U::kOpen);
  EXPECT_EQ(PathShown(), text_file);
  Click(U::kUpdate);
  EXPECT_EQ(Messages().size(), 3u);
  EXPECT_EQ(BootModeRequests(before), 0);
  EXPECT_FALSE(keyboard_.Keyboard().InBootMode());
}

TEST_F(UpdateDialogTest, ThePathOutlivesTheDialogAndUpdateStartsTheProgramInThePackageFolder) {
  Open();
  files_.answers = {program_};
  Click(U::kOpen);
  EXPECT_EQ(UpdatePath(), program_);
  EXPECT_EQ(PathShown(), program_);
  dialog_->reject();  // Cancel keeps the path
  EXPECT_FALSE(dialog_->isVisible());

  // Opened again: the display is empty until Open, Update uses the path chosen before; the
  // program runs in the current directory, which the earlier Open made the Package folder.
  Open();
  EXPECT_EQ(PathShown(), "");
  EXPECT_EQ(UpdatePath(), program_);
  const size_t before = keyboard_.Requests();
  Click(U::kUpdate);
  EXPECT_EQ(BootModeRequests(before), 1);
  EXPECT_TRUE(keyboard_.Keyboard().InBootMode());
  EXPECT_EQ(UpdatePath(), "");
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_TRUE(Messages().empty());
  ASSERT_TRUE(testing_support::PumpUntil([&] { return FileExists(dir_.File("ran")); }));
  std::ifstream ran(dir_.File("ran"));
  std::string where;
  std::getline(ran, where);
  EXPECT_EQ(where, package_);
}

TEST_F(UpdateDialogTest, FailuresKeepOrClearThePathAsTheyShould) {
  Open();
  files_.answers = {program_};
  Click(U::kOpen);
  // No keyboard: boot mode fails, the path stays for another try.
  keyboard_.Proto().SetOpen(false);
  Click(U::kUpdate);
  EXPECT_EQ(Messages(), std::vector<std::string>{"无法进入Boot模式! "});
  EXPECT_EQ(UpdatePath(), program_);
  EXPECT_TRUE(dialog_->isVisible());
  // Cancel update empties it even so, and closes.
  Click(U::kCancelUpdate);
  EXPECT_EQ(UpdatePath(), "");
  EXPECT_FALSE(dialog_->isVisible());

  // The program does not start: the keyboard stays in its boot loader, the path is gone, the
  // dialog stays.
  keyboard_.Proto().SetOpen(true);
  start_ = [](const std::string&) { return kShellFileNotFound; };
  Open();
  files_.answers = {program_};
  Click(U::kOpen);
  Click(U::kUpdate);
  EXPECT_EQ(Messages().back(), "无法执行更新文件! ");
  EXPECT_TRUE(keyboard_.Keyboard().InBootMode());
  EXPECT_EQ(UpdatePath(), "");
  EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(UpdateDialogTest, BackupWritesTheEditingInstanceWithOrWithoutTheKeyboard) {
  keyboard_.Proto().SetOpen(false);
  Open();
  const std::string backup = dir_.File("backup.orv");
  files_.answers = {backup, dir_.File("no/such/folder/b.orv"), std::nullopt};
  Click(U::kBackup);
  ASSERT_EQ(files_.requests.size(), 1u);
  EXPECT_TRUE(files_.requests[0].save);
  EXPECT_TRUE(files_.requests[0].overwrite_prompt);
  EXPECT_EQ(files_.requests[0].default_extension, "orv");
  EXPECT_EQ(Messages(), std::vector<std::string>{"备份成功!"});
  EXPECT_EQ(ValidateProfileFile(backup, prompt_, texts_), 1);
  Click(U::kBackup);
  EXPECT_EQ(Messages().back(), "备份失败,请重新备份!");
  Click(U::kBackup);  // cancelled: no message
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(UpdateDialogTest, LooksRightInTheSkin) {
  ApplySkinTheme(*qApp, kSkins);
  texts_.Set("TEXT", "MENU_4", "Update firmware");
  Open();
  files_.answers = {program_};
  Click(U::kOpen);
  const QString out = QString::fromStdString(std::string(ORVANE_DATA_DIR) + "/../gallery");
  QDir().mkpath(out);
  const QImage shot = dialog_->grab().toImage();
  EXPECT_EQ(shot.size(), dialog_->background().size());
  EXPECT_TRUE(shot.save(out + "/update_dialog.png"));
  // Named as the menu entry that opens it.
  EXPECT_EQ(dialog_->windowTitle().toStdString(), "Update firmware");
  const auto* heading = dialog_->ControlAs<QLabel>(U::kHeading);
  ASSERT_NE(heading, nullptr);
  EXPECT_EQ(heading->text().toStdString(), "Update firmware");
  EXPECT_TRUE(heading->isVisible());
}

}  // namespace
}  // namespace orvane
