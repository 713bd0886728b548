#include "platform/instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>

#include "platform/paths.h"
#include "platform/program_paths.h"
#include "temp_dir.h"

namespace orvane {
namespace {

using testing::TempDir;
constexpr uint32_t kTag = 0x4D41494E;

TEST(InstanceMutex, OneHolderAtATimeAndLeftoversOfAKilledHolderAreTakenOver) {
  TempDir dir;
  CInstanceMutex first;
  EXPECT_EQ(first.Acquire("QX27M40B", dir.path()), CInstanceMutex::State::Created);
  EXPECT_TRUE(first.Held());
  {
    CInstanceMutex second;
    EXPECT_EQ(second.Acquire("QX27M40B", dir.path()), CInstanceMutex::State::Existing);
    EXPECT_FALSE(second.Held());
    EXPECT_TRUE(second.IsOpen());
  }
  first.Close();
  CInstanceMutex again;
  EXPECT_EQ(again.Acquire("QX27M40B", dir.path()), CInstanceMutex::State::Created);
  again.Close();

  // A holder killed outright leaves its file behind; the next one takes it over.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CInstanceMutex held;
    const char ok = held.Acquire("QX27M40B", dir.path()) == CInstanceMutex::State::Created ? '1' : '0';
    if (write(ready[1], &ok, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, '1');
  CInstanceMutex while_alive;
  EXPECT_EQ(while_alive.Acquire("QX27M40B", dir.path()), CInstanceMutex::State::Existing);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_TRUE(std::filesystem::exists(dir.File("QX27M40B")));
  CInstanceMutex after;
  EXPECT_EQ(after.Acquire("QX27M40B", dir.path()), CInstanceMutex::State::Created);
  EXPECT_EQ(after.Acquire("", dir.path()), CInstanceMutex::State::Failed);
  EXPECT_EQ(after.Acquire("QX27M40B", dir.File("missing/folder")), CInstanceMutex::State::Failed);
}

TEST(WindowTag, RequestsWaitForTheHandlerAndCarryTheTag) {
  TempDir dir;
  std::mutex m;
  std::condition_variable cv;
  bool release = false;
  std::atomic<int> calls{0};
  CWindowTagServer server;
  ASSERT_TRUE(server.Start(
      kTag,
      [&](uint32_t message, uintptr_t wparam, intptr_t lparam) -> intptr_t {
        ++calls;
        if (message == 0x5350) {  // held until the test lets it go, like a message box
          std::unique_lock lock(m);
          cv.wait(lock, [&] { return release; });
        }
        return intptr_t(message + wparam) + lparam;
      },
      dir.path()));
  EXPECT_EQ(server.SocketPath(), TaggedWindowPath(getpid(), dir.path()));
  struct stat st {};
  ASSERT_EQ(stat(server.SocketPath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 077, 0u);

  EXPECT_EQ(SendToTaggedWindow(getpid(), kTag, {0x10, 0x20, 3}, dir.path()), 0x33);
  // Another tag: nothing is handled.
  EXPECT_EQ(SendToTaggedWindow(getpid(), kTag + 1, {0x10, 0, 0}, dir.path()), std::nullopt);
  EXPECT_EQ(calls.load(), 1);
  // No tagged window of that process.
  EXPECT_EQ(SendToTaggedWindow(getpid() + 100000, kTag, {0x10, 0, 0}, dir.path()), std::nullopt);

  // The sender waits until the handler is done.
  auto pending = std::async(std::launch::async, [&] {
    return SendToTaggedWindow(getpid(), kTag, {0x5350, 0x4F50454E, 0}, dir.path());
  });
  EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  {
    std::lock_guard lock(m);
    release = true;
  }
  cv.notify_all();
  EXPECT_EQ(pending.get(), intptr_t(0x5350 + 0x4F50454E));

  server.Join();
  EXPECT_FALSE(std::filesystem::exists(server.SocketPath()));
  EXPECT_EQ(SendToTaggedWindow(getpid(), kTag, {0x10, 0, 0}, dir.path()), std::nullopt);
}

TEST(WindowTag, ClosingFromTheHandlerStillAnswersAndLeftoversAreReplaced) {
  // A deep folder: its socket path is longer than a socket address holds.
  TempDir top;
  std::string deep = top.path();
  while (deep.size() < 150) deep += "/a-rather-long-folder-name";
  ASSERT_TRUE(CreateFolders(deep));
  // Something left at this pid's socket path by an earlier process of the same number.
  { std::ofstream(TaggedWindowPath(getpid(), deep)) << "leftover"; }
  ASSERT_GE(TaggedWindowPath(getpid(), deep).size(), 108u);

  CWindowTagServer server;
  ASSERT_TRUE(server.Start(
      kTag,
      [&](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == 0x4D4B) server.Close();  // the exit request closes the window tag
        return 7;
      },
      deep));
  EXPECT_EQ(SendToTaggedWindow(getpid(), kTag, {0x4D4B, 0x4C4C494B, 0}, deep), 7);
  EXPECT_FALSE(server.Listening());
  EXPECT_EQ(SendToTaggedWindow(getpid(), kTag, {0x4D4B, 0x4C4C494B, 0}, deep), std::nullopt);
  server.Join();
}

TEST(WindowTag, AStaleSocketIsNotAWindow) {
  TempDir dir;
  // A socket file nobody listens on (its process was killed).
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CWindowTagServer s;
    if (!s.Start(kTag, [](uint32_t, uintptr_t, intptr_t) { return intptr_t(1); }, dir.path())) _exit(1);
    raise(SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(std::filesystem::exists(TaggedWindowPath(child, dir.path())));
  EXPECT_EQ(SendToTaggedWindow(child, kTag, {0x5350, 0, 0}, dir.path()), std::nullopt);
}

TEST(WindowTag, OtherUsersAreNotAnswered) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::atomic<int> calls{0};
  CWindowTagServer server;
  ASSERT_TRUE(server.Start(kTag, [&](uint32_t, uintptr_t, intptr_t) { return intptr_t(++calls); }, dir.path()));
  chmod(server.SocketPath().c_str(), 0777);  // even a socket open to all answers only its user
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(SendToTaggedWindow(getppid(), kTag, {0x5350, 0, 0}, dir.path()).has_value() ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(calls.load(), 0);
  server.Join();
}

TEST(Processes, LookupByBareNameWithoutCaseInProcessOrderIncludingOurselves) {
  TempDir proc;
  auto add = [&](const std::string& pid, const std::string& target) {
    std::filesystem::create_directories(proc.File(pid));
    std::filesystem::create_symlink(target, proc.File(pid + "/exe"));
  };
  add("100", "/opt/b/ORVANE");
  add("20", "/usr/bin/orvane (deleted)");
  add("3", "/usr/bin/orvane-cli");
  add("self", "/usr/bin/orvane");  // not a process number
  std::filesystem::create_directories(proc.File("7"));  // another user's: no readable exe
  const auto snapshot = ProcessSnapshot(proc.path());
  ASSERT_EQ(snapshot.size(), 3u);
  EXPECT_EQ(snapshot[0].pid, 3);
  EXPECT_EQ(snapshot[1].exe_name, "orvane");
  EXPECT_EQ(FindProcessByName("Orvane", proc.path()), 20);
  EXPECT_EQ(FindProcessByName("orvane-cli", proc.path()), 3);
  EXPECT_EQ(FindProcessByName("orvan", proc.path()), 0);
  EXPECT_EQ(FindProcessByName("orvane", proc.File("missing")), 0);

  // The real table holds this very process.
  const std::string own = BareFileName(ProgramFilePath());
  const pid_t found = FindProcessByName(own);
  EXPECT_GT(found, 0);
  EXPECT_LE(found, getpid());
}

TEST(Processes, TheInstanceIsTheProcessOfThatNameWhoseWindowListensInOurFolder) {
  TempDir proc, ours, theirs;
  auto add = [&](const std::string& pid, const std::string& target) {
    std::filesystem::create_directories(proc.File(pid));
    std::filesystem::create_symlink(target, proc.File(pid + "/exe"));
  };
  add("30", "/usr/bin/orvane");  // another session's instance: its socket is in its own folder
  add("41", "/usr/bin/orvane");  // ours
  add("55", "/usr/bin/orvane");  // the start asking
  CWindowTagServer their_window, our_window;
  ASSERT_TRUE(their_window.Start(kTag, [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; }, theirs.path()));
  ASSERT_TRUE(our_window.Start(kTag, [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; }, ours.path()));
  // The servers are named after this process; give their sockets the pids of the fake table.
  std::filesystem::rename(their_window.SocketPath(), TaggedWindowPath(30, theirs.path()));
  std::filesystem::rename(our_window.SocketPath(), TaggedWindowPath(41, ours.path()));
  { std::ofstream(TaggedWindowPath(55, ours.path())) << "a plain file is no window"; }

  EXPECT_EQ(FindProcessByName("orvane", proc.path()), 30);
  EXPECT_EQ(FindInstanceProcess("orvane", ours.path(), proc.path()), 41);
  EXPECT_EQ(FindInstanceProcess("orvane", theirs.path(), proc.path()), 30);
  // Nobody listens here: the plain lookup's answer, as before.
  TempDir empty;
  EXPECT_EQ(FindInstanceProcess("orvane", empty.path(), proc.path()), 30);
  EXPECT_EQ(FindInstanceProcess("orvane-cli", ours.path(), proc.path()), 0);
  their_window.Join();
  our_window.Join();
}

TEST(NamedObjects, CreatedReusedAndRemoved) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("objects"));
  { std::ofstream(dir.File("objects/Orvane_Event_Main_02")) << "left by a crash"; }
  CNamedObjects objects;
  EXPECT_EQ(objects.Create({"Orvane_Event_Main_01", "Orvane_Event_Main_02", "bad/name", ""}, dir.path()), 2u);
  EXPECT_TRUE(std::filesystem::exists(dir.File("objects/Orvane_Event_Main_01")));
  objects.Close();
  EXPECT_EQ(objects.Count(), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("objects/Orvane_Event_Main_01")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("objects/Orvane_Event_Main_02")));
}

TEST(InstanceFolder, PrivateToTheUser) {
  TempDir dir;
  const char* old = getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  std::filesystem::create_directories(dir.File("orvane"));
  chmod(dir.File("orvane").c_str(), 0777);
  EXPECT_EQ(InstanceFolder(), dir.File("orvane"));
  struct stat st {};
  ASSERT_EQ(stat(dir.File("orvane").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A link in its place is not followed.
  std::filesystem::remove(dir.File("orvane"));
  std::filesystem::create_directories(dir.File("elsewhere"));
  std::filesystem::create_directory_symlink(dir.File("elsewhere"), dir.File("orvane"));
  EXPECT_EQ(InstanceFolder(), "");
  if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1); else unsetenv("XDG_RUNTIME_DIR");
}

TEST(ProgramPathsTest, FormedFromTheProgramFolderAndNeverCut) {
  std::string dir = "/opt";
  while (dir.size() < 400) dir += "/a-deep-install-folder";
  const ProgramPaths p = FormProgramPaths(dir + "/orvane", dir);
  EXPECT_EQ(p.bare_name, "orvane");
  EXPECT_EQ(p.main_skin, dir + "/Skins/Main.ini");
  EXPECT_EQ(p.main_skin_folder, dir + "/Skins");
  EXPECT_EQ(p.composite_skin, dir + "/Skins/Composite.ini");
  EXPECT_EQ(p.update_skin, dir + "/Skins/UpdateDlg.ini");
  EXPECT_EQ(p.help_folder, dir + "/Help/");
  EXPECT_EQ(p.package_folder, dir + "/Package");
  EXPECT_EQ(p.daemon, dir + "/KbDaemon");
}

}  // namespace
}  // namespace orvane
