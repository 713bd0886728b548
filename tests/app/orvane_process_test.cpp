// The program as real processes: a first instance, later starts, /Kill, and what a killed instance
// leaves behind. Each test runs its own copy of the program under a name of its own (the instance
// lookup goes by name), with its own runtime, configuration and data folders, offscreen, and a
// stand-in daemon that notes every launch.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

class Program {
 public:
  Program() {
    static int counter = 0;
    name_ = "orvt" + std::to_string(::getpid()) + "x" + std::to_string(counter++);
    root_ = fs::temp_directory_path() / ("orvane-proc-" + name_);
    const fs::path bin = ORVANE_DATA_DIR;
    fs::create_directories(root_ / "program");
    for (const char* shared : {"Skins", "Help", "icons", "Lang0409.ini", "Lang0419.ini"})
      if (fs::exists(bin / shared)) fs::create_symlink(bin / shared, root_ / "program" / shared);
    fs::copy_file(bin / "orvane", exe());
    {
      std::ofstream daemon(root_ / "program/KbDaemon");
      daemon << "#!/bin/sh\necho started >> '" << (root_ / "daemon.log").string() << "'\n";
    }
    fs::permissions(root_ / "program/KbDaemon", fs::perms::owner_all);
    for (const char* d : {"runtime", "config", "data", "empty-hid/sys", "empty-hid/dev"}) fs::create_directories(root_ / d);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
  }
  ~Program() {
    for (pid_t pid : running_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  fs::path exe() const { return root_ / "program" / name_; }
  fs::path instance() const { return root_ / "runtime/orvane"; }
  fs::path TagOf(pid_t pid) const { return instance() / ("window-" + std::to_string(pid)); }
  std::string ErrorsOf(pid_t pid) const {
    std::ifstream in(root_ / ("stderr-" + std::to_string(pid)));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  int DaemonLaunches() const {
    std::ifstream in(root_ / "daemon.log");
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
  }
  std::string EmptyHidRoot() const { return (root_ / "empty-hid").string(); }

  pid_t Spawn(const std::vector<std::string>& args, int prompt_ms = 200) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const std::string errors = (root_ / ("stderr-" + std::to_string(::getpid()))).string();
      const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) {
        ::dup2(fd, 2);
        ::dup2(fd, 1);
      }
      ::setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
      ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::setenv("ORVANE_PROMPT_AUTOANSWER_MS", std::to_string(prompt_ms).c_str(), 1);
      ::unsetenv("ORVANE_PROGRAM_DIR");
      std::vector<std::string> all{exe().string()};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    running_.push_back(pid);
    return pid;
  }

  // The exit code, or -1 when the process did not end within the limit.
  int WaitExit(pid_t pid, int limit_ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        std::erase(running_, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  bool Running(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
  }
  // Waits until the instance answers requests (its window tag is there).
  bool WaitForTag(pid_t pid, int limit_ms = 15000) { return WaitForFile(pid, TagOf(pid), limit_ms); }
  bool WaitForFile(pid_t pid, const fs::path& file, int limit_ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (std::chrono::steady_clock::now() < end) {
      if (fs::exists(file)) return true;
      if (!Running(pid)) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Kill9(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::erase(running_, pid);
  }

 private:
  std::string name_;
  fs::path root_;
  std::vector<pid_t> running_;
};

TEST(OrvaneProcess, KillEndsTheRunningInstanceAndShowsNothingItself) {
  Program p;
  const pid_t first = p.Spawn({"--simulate", "/Start"});
  ASSERT_TRUE(p.WaitForTag(first)) << p.ErrorsOf(first);
  EXPECT_EQ(p.DaemonLaunches(), 1);
  EXPECT_TRUE(fs::exists(p.instance() / "QX27M40B"));

  const pid_t kill = p.Spawn({"/Kill", "/Start"});
  EXPECT_EQ(p.WaitExit(kill), 0);
  EXPECT_EQ(p.WaitExit(first), 0) << p.ErrorsOf(first);
  EXPECT_EQ(p.ErrorsOf(kill).find("prompt"), std::string::npos);  // no box
  EXPECT_EQ(p.DaemonLaunches(), 1);                                // the /Kill run launched none
  EXPECT_FALSE(fs::exists(p.TagOf(first)));
  EXPECT_FALSE(fs::exists(p.instance() / "objects/Orvane_Event_Main_01"));
}

TEST(OrvaneProcess, KillAloneEndsAtOnce) {
  Program p;
  const pid_t kill = p.Spawn({"/kill"});
  EXPECT_EQ(p.WaitExit(kill), 0);
  EXPECT_EQ(p.DaemonLaunches(), 0);
  EXPECT_FALSE(fs::exists(p.TagOf(kill)));
}

TEST(OrvaneProcess, SwitchesAreWholeArgumentsAndASecondStartOpensTheFirst) {
  Program p;
  const pid_t first = p.Spawn({"--simulate", "/START"});
  ASSERT_TRUE(p.WaitForTag(first)) << p.ErrorsOf(first);
  // "/Kill" inside a longer argument is no switch: this is a second start.
  const pid_t second = p.Spawn({"x/Kill"});
  EXPECT_EQ(p.WaitExit(second), 0);
  EXPECT_TRUE(p.Running(first));
  EXPECT_EQ(p.DaemonLaunches(), 1);
  const pid_t kill = p.Spawn({"/KILL"});
  EXPECT_EQ(p.WaitExit(kill), 0);
  EXPECT_EQ(p.WaitExit(first), 0);
}

TEST(OrvaneProcess, ASecondStartWaitsUntilTheNoKeyboardBoxIsDismissed) {
  Program p;
  // No keyboard anywhere; boxes are answered 1.5 s after they open.
  const pid_t first = p.Spawn({"--hid-root", p.EmptyHidRoot(), "/Start"}, 1500);
  ASSERT_TRUE(p.WaitForTag(first)) << p.ErrorsOf(first);
  const pid_t second = p.Spawn({});
  EXPECT_EQ(p.WaitExit(second), 0);
  // By the time the second start has ended, the first has shown the box and seen it answered.
  const std::string said = p.ErrorsOf(first);
  const size_t shown = said.find("orvane: prompt shown: No VELMORA Q5 keyboard");
  ASSERT_NE(shown, std::string::npos) << said;
  EXPECT_NE(said.find("orvane: prompt answered", shown), std::string::npos) << said;
  const pid_t kill = p.Spawn({"/Kill"});
  EXPECT_EQ(p.WaitExit(kill), 0);
  EXPECT_EQ(p.WaitExit(first), 0);
}

TEST(OrvaneProcess, AKilledInstancesLeftoversDoNotBlockTheNextStart) {
  Program p;
  const pid_t first = p.Spawn({"--simulate", "/Start"});
  ASSERT_TRUE(p.WaitForTag(first)) << p.ErrorsOf(first);
  ASSERT_TRUE(p.WaitForFile(first, p.instance() / "objects/Orvane_Event_Main_208"));
  p.Kill9(first);
  EXPECT_TRUE(fs::exists(p.instance() / "QX27M40B"));
  EXPECT_TRUE(fs::exists(p.TagOf(first)));
  EXPECT_TRUE(fs::exists(p.instance() / "objects/Orvane_Event_Main_208"));

  const pid_t next = p.Spawn({"--simulate", "/Start"});
  ASSERT_TRUE(p.WaitForTag(next)) << p.ErrorsOf(next);  // a first instance again
  EXPECT_EQ(p.DaemonLaunches(), 2);
  const pid_t kill = p.Spawn({"/Kill"});
  EXPECT_EQ(p.WaitExit(kill), 0);
  EXPECT_EQ(p.WaitExit(next), 0);
}

TEST(OrvaneProcess, AskedToEndFromOutsideItRunsItsExitSequence) {
  Program p;
  const pid_t first = p.Spawn({"--simulate", "/Start"});
  ASSERT_TRUE(p.WaitForFile(first, p.instance() / "objects/Orvane_Event_Main_208")) << p.ErrorsOf(first);
  ::kill(first, SIGTERM);
  EXPECT_EQ(p.WaitExit(first), 0);
  EXPECT_FALSE(fs::exists(p.TagOf(first)));
  EXPECT_FALSE(fs::exists(p.instance() / "objects/Orvane_Event_Main_208"));
}

}  // namespace
}  // namespace orvane
