// File-dialog requests: the filter form the program writes, default extensions, and the checks the
// update dialog relies on (an executable file, the current directory).
#include "platform/file_dialog.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "platform/paths.h"
#include "temp_dir.h"

namespace orvane {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(FileDialogTest, FiltersParseUpToTheEmptyPairAndNeverPastTheEnd) {
  EXPECT_EQ(ParseFileFilter("(*.orv)|*.orv|(*.*)|*.*||"), (Pairs{{"(*.orv)", "*.orv"}, {"(*.*)", "*.*"}}));
  EXPECT_EQ(ParseFileFilter("MyType Files (*.exe)|*.exe||"), (Pairs{{"MyType Files (*.exe)", "*.exe"}}));
  EXPECT_EQ(ParseFileFilter("A|*.a||B|*.b||"), (Pairs{{"A", "*.a"}}));  // stops at the empty pair
  EXPECT_EQ(ParseFileFilter("A|*.a|B"), (Pairs{{"A", "*.a"}}));         // an odd field is dropped
  EXPECT_EQ(ParseFileFilter("A|*.a"), (Pairs{{"A", "*.a"}}));            // no closing pair
  EXPECT_TRUE(ParseFileFilter("").empty());
  EXPECT_TRUE(ParseFileFilter("||||").empty());
}

TEST(FileDialogTest, DefaultExtensionOnlyForNamesWithoutOne) {
  EXPECT_EQ(WithDefaultExtension("/home/u/Gaming", "orv"), "/home/u/Gaming.orv");
  EXPECT_EQ(WithDefaultExtension("/home/u/Gaming.orv", "orv"), "/home/u/Gaming.orv");
  EXPECT_EQ(WithDefaultExtension("/home/u/Gaming.txt", "orv"), "/home/u/Gaming.txt");
  EXPECT_EQ(WithDefaultExtension("/home/u.v/Gaming", "orv"), "/home/u.v/Gaming.orv");  // a dot in a folder
  EXPECT_EQ(WithDefaultExtension("/home/u/", "orv"), "/home/u/");
  EXPECT_EQ(WithDefaultExtension("Gaming", ""), "Gaming");
}

TEST(FileDialogTest, ExecutableFilesAndTheCurrentDirectory) {
  testing::TempDir dir;
  const std::string script = dir.File("tool");
  std::ofstream(script) << "#!/bin/sh\n";
  EXPECT_FALSE(IsExecutableFile(script));
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  EXPECT_TRUE(IsExecutableFile(script));
  EXPECT_FALSE(IsExecutableFile(dir.path()));  // a folder is searchable, not runnable
  EXPECT_FALSE(IsExecutableFile(dir.File("missing")));
  EXPECT_FALSE(IsExecutableFile(""));

  const std::string before = CurrentDirectory();
  ASSERT_FALSE(before.empty());
  EXPECT_TRUE(SetCurrentDirectory(dir.path()));
  EXPECT_EQ(CurrentDirectory(), dir.path());
  EXPECT_FALSE(SetCurrentDirectory(dir.File("missing")));
  EXPECT_EQ(CurrentDirectory(), dir.path());
  EXPECT_TRUE(SetCurrentDirectory(before));
}

}  // namespace
}  // namespace orvane
