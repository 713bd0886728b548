#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "as_ordinary_user.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/tick.h"
#include "temp_dir.h"

namespace orvane {
namespace {

using testing::TempDir;

mode_t ModeOf(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Names in the folder, sorted.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

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

TEST(Files, SavesThroughALinkReplaceTheFileItPointsToAndKeepTheLink) {
  TempDir dir;
  ASSERT_TRUE(CreateFolders(dir.File("real")));
  const std::string target = dir.File("real/profile.orv");
  ASSERT_TRUE(WriteFileAtomic(target, std::string("old")));
  // A relative link, and a link to that link.
  ASSERT_EQ(symlink("real/profile.orv", dir.File("link.orv").c_str()), 0);
  ASSERT_EQ(symlink(dir.File("link.orv").c_str(), dir.File("link2.orv").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir.File("link2.orv"), std::string("new")));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link.orv"))));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link2.orv"))));
  EXPECT_EQ(ReadTextFile(target), "new");
  // The temporary file lived beside the target, and is gone.
  EXPECT_EQ(Entries(dir.File("real")), std::vector<std::string>{"profile.orv"});
  // A link to a file not there yet creates that file, as opening through the link would.
  ASSERT_EQ(symlink("real/later.orv", dir.File("dangling.orv").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir.File("dangling.orv"), std::string("made")));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("dangling.orv"))));
  EXPECT_EQ(ReadTextFile(dir.File("real/later.orv")), "made");
  // A loop of links is refused.
  ASSERT_EQ(symlink("loop-b", dir.File("loop-a").c_str()), 0);
  ASSERT_EQ(symlink("loop-a", dir.File("loop-b").c_str()), 0);
  std::string why;
  EXPECT_FALSE(WriteFileAtomic(dir.File("loop-a"), std::string("x"), &why));
  EXPECT_EQ(why, "too many symbolic links");
}

TEST(Files, AReadOnlyFileOfAnOrdinaryUserIsNotReplaced) {
  TempDir dir;
  const std::string path = dir.File("ro.orv");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("keep me")));
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ASSERT_TRUE(testing::GiveToOrdinaryUser(dir.path()));
  ASSERT_TRUE(testing::GiveToOrdinaryUser(path));
  // The folder is writable by that user, so only the check of the file itself can stop the save.
  const int result = testing::RunAsOrdinaryUser([&] {
    std::string why, can_why;
    const bool can = CanWriteFileAtomic(path, &can_why);
    const bool wrote = WriteFileAtomic(path, std::string("lost"), &why);
    if (can || wrote) return 1;
    if (why != "permission denied" || can_why != why) return 2;
    return Entries(dir.path()) == std::vector<std::string>{"ro.orv"} ? 0 : 3;
  });
  if (result == testing::kCouldNotDropRoot) GTEST_SKIP() << "cannot become an ordinary user here";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadTextFile(path), "keep me");
  EXPECT_EQ(ModeOf(path) & 07777, 0444u);
}

TEST(Files, ReplacementsKeepTheModeAndNewFilesFollowTheUmask) {
  TempDir dir;
  const std::string path = dir.File("f.orv");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("1")));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomic(path, std::string("2")));
  EXPECT_EQ(ModeOf(path) & 07777, 0640u);
  ASSERT_EQ(chmod(path.c_str(), 0604), 0);
  ASSERT_TRUE(WriteFileAtomic(path, std::string("3")));
  EXPECT_EQ(ModeOf(path) & 07777, 0604u);

  const mode_t old_umask = umask(027);
  EXPECT_TRUE(WriteFileAtomic(dir.File("new.orv"), std::string("x")));
  EXPECT_TRUE(WriteFileAtomic(dir.File("private"), std::string("x"), nullptr, 0600));
  umask(old_umask);
  EXPECT_EQ(ModeOf(dir.File("new.orv")) & 07777, 0640u);
  EXPECT_EQ(ModeOf(dir.File("private")) & 07777, 0600u);
}

TEST(Files, OnlyRegularFilesAreReplaced) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_TRUE(CreateFolders(dir.File("folder")));
  std::string why;
  EXPECT_FALSE(WriteFileAtomic(dir.File("fifo"), std::string("x"), &why));
  EXPECT_EQ(why, "not a regular file");
  EXPECT_TRUE(S_ISFIFO(ModeOf(dir.File("fifo"))));
  EXPECT_FALSE(CanWriteFileAtomic(dir.File("folder"), &why));
  EXPECT_EQ(why, "is a folder");
  EXPECT_FALSE(CanWriteFileAtomic(dir.File("missing/f"), &why));
  EXPECT_EQ(why, "no such file or folder");
  EXPECT_TRUE(CanWriteFileAtomic(dir.File("new")));
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"fifo", "folder"}));
}

TEST(Files, TemporaryFilesOfWritersThatDiedAreRemovedByTheNextSave) {
  TempDir dir;
  // A writer that is gone: a child that has exited and been reaped.
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  ASSERT_GT(dead, 0);
  waitpid(dead, nullptr, 0);
  // A writer that still runs.
  const pid_t alive = fork();
  if (alive == 0) {
    pause();
    _exit(0);
  }
  ASSERT_GT(alive, 0);
  const std::string dead_temp = "a.orv.tmp-" + std::to_string(dead) + "-12345";
  const std::string live_temp = "b.orv.tmp-" + std::to_string(alive) + "-678";
  const std::vector<std::string> not_temps = {"c.orv.tmp-" + std::to_string(dead),
                                              "d.orv.tmp-" + std::to_string(dead) + "-1x",
                                              "notes.tmp"};
  for (const std::string& name : {dead_temp, live_temp})
    ASSERT_TRUE(WriteFileAtomic(dir.File(name), std::string("partial")));
  for (const std::string& name : not_temps) ASSERT_TRUE(WriteFileAtomic(dir.File(name), std::string("user")));

  ASSERT_TRUE(WriteFileAtomic(dir.File("a.orv"), std::string("saved")));
  kill(alive, SIGKILL);
  waitpid(alive, nullptr, 0);
  std::vector<std::string> want = not_temps;
  want.push_back("a.orv");
  want.push_back(live_temp);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(Entries(dir.path()), want);
}

TEST(Files, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ReadError error = ReadError::kNone;
  // None of these may wait: a FIFO without a writer, a device, a folder.
  for (const std::string& path : {dir.File("fifo"), std::string("/dev/zero"), dir.path()}) {
    EXPECT_FALSE(ReadWholeFile(path, 1024, &error).has_value()) << path;
    EXPECT_EQ(error, ReadError::kNotRegular) << path;
  }
  EXPECT_FALSE(ReadTextFile(dir.File("missing"), 1024, &error).has_value());
  EXPECT_EQ(error, ReadError::kMissing);
  ASSERT_TRUE(WriteFileAtomic(dir.File("big"), std::string(5000, 'x')));
  EXPECT_FALSE(ReadWholeFile(dir.File("big"), 4999, &error).has_value());
  EXPECT_EQ(error, ReadError::kTooLarge);
  EXPECT_EQ(ReadWholeFile(dir.File("big"), 5000, &error)->size(), 5000u);
  EXPECT_EQ(error, ReadError::kNone);

  const InputFile file(dir.File("big"));
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 5000u);
  uint8_t tail[10];
  EXPECT_TRUE(file.ReadAt(4990, tail, sizeof tail));
  EXPECT_FALSE(file.ReadAt(4991, tail, sizeof tail));  // past the end
  // Another content, even of the same size, is another identity.
  const FileIdentity before = file.Identity();
  ASSERT_TRUE(WriteFileAtomic(dir.File("big"), std::string(5000, 'y')));
  EXPECT_FALSE(InputFile(dir.File("big")).Identity() == before);
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

TEST(Shell, TheOnScreenKeyboardIsTheFirstExecutableOfItsNamesOnThePath) {
  TempDir first, second;
  auto make = [](const std::string& path, mode_t mode) {
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), mode);
  };
  EXPECT_EQ(FindOnScreenKeyboard(first.path() + ":" + second.path()), "");
  make(first.File("onboard"), 0644);  // not executable
  std::filesystem::create_directory(first.File("florence"));  // not a file
  make(second.File("florence"), 0755);
  EXPECT_EQ(FindOnScreenKeyboard(first.path() + ":" + second.path()), second.File("florence"));
  make(second.File("onboard"), 0755);
  EXPECT_EQ(FindOnScreenKeyboard("::" + first.path() + ":" + second.path()), second.File("onboard"));
  // Relative entries never name the program started.
  EXPECT_EQ(FindOnScreenKeyboard("."), "");
  EXPECT_EQ(FindOnScreenKeyboard(""), "");
}

TEST(Shell, ReportsMissingTargetsAndStartsPrograms) {
  TempDir dir;
  EXPECT_EQ(ShellOpen(dir.File("nothing.html")), kShellFileNotFound);
  EXPECT_EQ(ShellOpen(""), kShellFileNotFound);
  EXPECT_EQ(StartDetached(dir.File("no-such-program")), kShellFileNotFound);
  // A program is started detached with its arguments.
  std::string script = dir.File("prog.sh");
  // The answer is written aside and renamed, so the test never reads it half written.
  ASSERT_TRUE(WriteFileAtomic(script, "#!/bin/sh\necho \"$1\" > \"" + dir.File("out.tmp") + "\" && mv \"" +
                                          dir.File("out.tmp") + "\" \"" + dir.File("out.txt") + "\"\n"));
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
