// The Qt file dialog as a user meets it: where it opens, what its filters read, and that it
// remembers the folder of the last file chosen (and not of a cancelled one).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ui/skin/qt_file_dialog.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

class QtFileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    root_ = dir_.path().toStdString();
    for (const char* folder : {"start", "other", "named"}) fs::create_directories(fs::path(root_) / folder);
    std::ofstream(fs::path(root_) / "other" / "a.orv") << "x";
  }
  std::string Folder(const char* name) const { return (fs::path(root_) / name).string(); }

  // Runs Choose; while its dialog is open, `act` sees it and answers (accept or reject).
  std::optional<std::string> ChooseWith(QtFileDialog& files, const FileDialogRequest& request,
                                        const std::function<void(QFileDialog&)>& act) {
    seen_folder_.clear();
    seen_filters_.clear();
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      seen_folder_ = QDir(dialog->directory()).absolutePath().toStdString();
      seen_filters_ = dialog->nameFilters();
      act(*dialog);
    });
    return files.Choose(request);
  }

  QTemporaryDir dir_;
  std::string root_;
  std::string seen_folder_;
  QStringList seen_filters_;
};

FileDialogRequest ProfileRequest(bool save) {
  FileDialogRequest request;
  request.save = save;
  request.initial_name = "*.orv";
  request.default_extension = "orv";
  request.filter = "(*.orv)|*.orv|(*.*)|*.*||";
  return request;
}

TEST_F(QtFileDialogTest, OpensInTheStartFolderThenWhereTheLastFileWasChosen) {
  QtFileDialog files(nullptr, Folder("start"));
  const std::string chosen = Folder("other") + "/a.orv";

  // A cancelled dialog changes nothing.
  EXPECT_FALSE(ChooseWith(files, ProfileRequest(false), [](QFileDialog& d) { d.reject(); }));
  EXPECT_EQ(seen_folder_, Folder("start"));
  // The captions that show their own patterns are not repeated: "(*.orv)", not "(*.orv) (*.orv)".
  EXPECT_EQ(seen_filters_, QStringList({"(*.orv)", "(*.*)"}));

  auto pick = [&](QFileDialog& d) {
    d.selectFile(QString::fromStdString(chosen));
    static_cast<QDialog&>(d).accept();  // QFileDialog::accept, as the Open button calls it
  };
  EXPECT_EQ(ChooseWith(files, ProfileRequest(false), pick), chosen);
  EXPECT_EQ(files.folderWithoutRequest(), Folder("other"));

  // The next dialog, a save this time, opens there.
  EXPECT_FALSE(ChooseWith(files, ProfileRequest(true), [](QFileDialog& d) { d.reject(); }));
  EXPECT_EQ(seen_folder_, Folder("other"));
  EXPECT_EQ(files.folderWithoutRequest(), Folder("other"));

  // A request that names its folder, or a path in its name, opens there all the same.
  FileDialogRequest named = ProfileRequest(false);
  named.initial_folder = Folder("named");
  ChooseWith(files, named, [](QFileDialog& d) { d.reject(); });
  EXPECT_EQ(seen_folder_, Folder("named"));
  FileDialogRequest by_path = ProfileRequest(false);
  by_path.initial_name = Folder("named") + "/*.orv";
  ChooseWith(files, by_path, [](QFileDialog& d) { d.reject(); });
  EXPECT_EQ(seen_folder_, Folder("named"));
  // A named folder that is not there counts as none.
  named.initial_folder = Folder("gone");
  ChooseWith(files, named, [](QFileDialog& d) { d.reject(); });
  EXPECT_EQ(seen_folder_, Folder("other"));
}

TEST_F(QtFileDialogTest, ACaptionWithoutPatternsGetsThemAdded) {
  FileDialogRequest request;
  request.filter = "Programs|*.sh;*.bin|(*)|*||";
  QtFileDialog files;
  ChooseWith(files, request, [](QFileDialog& d) { d.reject(); });
  EXPECT_EQ(seen_filters_, QStringList({"Programs (*.sh *.bin)", "(*)"}));
}

}  // namespace
}  // namespace orvane
