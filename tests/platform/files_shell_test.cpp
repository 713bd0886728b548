#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/tick.h"
#include "temp_dir.h"

namespace orvane {
namespace {

using testing::TempDir;

TEST(Files, AtomicWriteReplacesAndKeepsOldOnFailure) {
  TempDir dir;
  std::string path = dir.File("f.bin");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("old")));
  ASSERT_TRUE(WriteFileAtomic(path, std::string("new contents")));
  EXPECT_EQ(ReadTextFile(path), "new contents");
  // A folder we cannot write into: the write fails and the old file stays.
  if (geteuid() != 0) {
    chmod(dir.path().c_str(), 0500);
    EXPECT_FALSE(WriteFileAtomic(path, std::string("lost")));
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(ReadTextFile(path), "new contents");
  }
  EXPECT_FALSE(WriteFileAtomic(dir.File("missing/f.bin"), std::string("x")));
  // No temporary files are left behind.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);
  EXPECT_FALSE(ReadWholeFile(path, 3).has_value());  // larger than allowed
}

TEST(Paths, FoldersFollowTheEnvironment) {
  TempDir dir;
  setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
  EXPECT_EQ(LocalAppDataFolder(), dir.File("data"));
  EXPECT_EQ(ConfigFolder(), dir.File("config"));
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", dir.path().c_str(), 1);
  EXPECT_EQ(LocalAppDataFolder(), dir.File(".local/share"));
  EXPECT_TRUE(CreateFolders(dir.File("a/b/c")));
  EXPECT_TRUE(FileExists(dir.File("a/b/c")));
  EXPECT_EQ(JoinPath("a/", "/b"), "a/b");
  EXPECT_EQ(JoinPath("a", "b"), "a/b");
  // The program folder is where this test binary lives.
  EXPECT_TRUE(FileExists(JoinPath(ProgramFolder(), "platform_tests")));
}

TEST(Shell, ReportsMissingTargetsAndStartsPrograms) {
  TempDir dir;
  EXPECT_EQ(ShellOpen(dir.File("nothing.html")), kShellFileNotFound);
  EXPECT_EQ(ShellOpen(""), kShellFileNotFound);
  EXPECT_EQ(StartDetached(dir.File("no-such-program")), kShellFileNotFound);
  // A program is started detached with its arguments.
  std::string script = dir.File("prog.sh");
  ASSERT_TRUE(WriteFileAtomic(script, "#!/bin/sh\necho \"$1\" > \"" + dir.File("out.txt") + "\"\n"));
  chmod(script.c_str(), 0755);
  EXPECT_GT(ShellOpen(script, {"hello"}), 32);
  std::optional<std::string> out;
  for (uint64_t start = TickCountMs(); TickCountMs() - start < 5000 && !(out = ReadTextFile(dir.File("out.txt")));)
    SleepMs(10);
  EXPECT_EQ(out, "hello\n");
  // A file that is not a program cannot be executed.
  std::string not_exec = dir.File("data.bin");
  ASSERT_TRUE(WriteFileAtomic(not_exec, std::string("\x7F" "ELF garbage")));
  chmod(not_exec.c_str(), 0755);
  EXPECT_EQ(StartDetached(not_exec), kShellBadFormat);
  EXPECT_TRUE(LooksLikeUrl("https://example.org/x"));
  EXPECT_TRUE(LooksLikeUrl("mailto:a@b.c"));
  EXPECT_FALSE(LooksLikeUrl("/usr/share/doc"));
  EXPECT_FALSE(LooksLikeUrl("C:\\help.html"));
}

}  // namespace
}  // namespace orvane
