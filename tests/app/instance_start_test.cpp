#include "app/instance_start.h"
#include "app/orvane_app.h"

#include <gtest/gtest.h>

#include "platform/main_window_link.h"

namespace orvane {
namespace {

// Records what the start-up asks of the system, in order.
class FakeSystem : public IInstanceSystem {
 public:
  pid_t found = 0;  // what the lookup returns
  bool window = true;
  CInstanceMutex::State mutex = CInstanceMutex::State::Created;
  std::vector<std::string> log;

  pid_t FindProcess(const std::string& name) override {
    log.push_back("find " + name);
    return found;
  }
  bool SendRequest(pid_t pid, uint32_t message, uint32_t wparam) override {
    char text[64];
    std::snprintf(text, sizeof text, "send %d %04X %08X", int(pid), message, wparam);
    log.push_back(text);
    return window;
  }
  CInstanceMutex::State AcquireMutex() override {
    log.push_back("mutex");
    return mutex;
  }
  void LaunchDaemon() override { log.push_back("daemon"); }
};

using Log = std::vector<std::string>;

TEST(CommandLine, SwitchesAreWholeArgumentsWithoutCase) {
  EXPECT_TRUE(IsSwitch("/KILL", "/Kill"));
  EXPECT_TRUE(IsSwitch("/start", "/Start"));
  EXPECT_FALSE(IsSwitch("/Killer", "/Kill"));
  EXPECT_FALSE(IsSwitch("x/Kill", "/Kill"));
  EXPECT_FALSE(IsSwitch("-Kill", "/Kill"));

  FakeSystem s;
  InstanceStart r = HandleCommandLine({"--/Kill", "/Kill2", "/STARTx"}, "orvane", s);
  EXPECT_FALSE(r.end_process);
  EXPECT_FALSE(r.start_silent);
  EXPECT_EQ(s.log, (Log{"mutex", "daemon"}));  // nothing looked up for arguments that are not switches

  FakeSystem t;
  r = HandleCommandLine({"/sTaRt"}, "orvane", t);
  EXPECT_TRUE(r.start_silent);
  EXPECT_FALSE(r.end_process);
}

TEST(CommandLine, KillSendsTheExitRequestAndEndsBeforeLaterArguments) {
  FakeSystem s;
  s.found = 4242;
  InstanceStart r = HandleCommandLine({"/kill", "/Start"}, "orvane", s);
  EXPECT_TRUE(r.end_process);
  EXPECT_FALSE(r.start_silent);  // the run ended before /Start was read
  // No lock taken, no daemon launched.
  EXPECT_EQ(s.log, (Log{"find orvane", "send 4242 4D4B 4C4C494B"}));

  // The lookup found only this process (no tagged window): nothing reached, still the end.
  FakeSystem self;
  self.found = 77;
  self.window = false;
  EXPECT_TRUE(HandleCommandLine({"/Kill"}, "orvane", self).end_process);
  EXPECT_EQ(self.log.back(), "send 77 4D4B 4C4C494B");

  // No process at all: carry on with the next argument and as a first instance.
  FakeSystem none;
  r = HandleCommandLine({"/Kill", "/Start"}, "orvane", none);
  EXPECT_FALSE(r.end_process);
  EXPECT_TRUE(r.start_silent);
  EXPECT_EQ(none.log, (Log{"find orvane", "mutex", "daemon"}));
}

TEST(CommandLine, UpdateAsksTheRunningInstanceForItsUpdateDialog) {
  FakeSystem s;
  s.found = 4242;
  InstanceStart r = HandleCommandLine({"/UPDATE"}, "orvane", s);
  EXPECT_TRUE(r.end_process);
  EXPECT_EQ(s.log, (Log{"find orvane", "send 4242 5544 55504454"}));
  // No running instance: a normal first start.
  FakeSystem none;
  r = HandleCommandLine({"/Update"}, "orvane", none);
  EXPECT_FALSE(r.end_process);
  EXPECT_EQ(none.log, (Log{"find orvane", "mutex", "daemon"}));
}

TEST(CommandLine, ASecondStartAsksTheFirstToShowItself) {
  FakeSystem s;
  s.mutex = CInstanceMutex::State::Existing;
  s.found = 100;
  InstanceStart r = HandleCommandLine({}, "Orvane", s);
  EXPECT_TRUE(r.end_process);
  EXPECT_EQ(s.log, (Log{"mutex", "find Orvane", "send 100 5350 4F50454E"}));

  // The lock is held but no process of our name runs: this becomes the first instance.
  FakeSystem orphan;
  orphan.mutex = CInstanceMutex::State::Existing;
  r = HandleCommandLine({"/Start"}, "orvane", orphan);
  EXPECT_FALSE(r.end_process);
  EXPECT_TRUE(r.start_silent);
  EXPECT_EQ(orphan.log, (Log{"mutex", "find orvane", "daemon"}));

  // No usable instance folder: the program still runs.
  FakeSystem failed;
  failed.mutex = CInstanceMutex::State::Failed;
  EXPECT_FALSE(HandleCommandLine({}, "orvane", failed).end_process);
  EXPECT_EQ(failed.log, (Log{"mutex", "daemon"}));
}

TEST(AppOptionsTest, ProgramOptionsAreTakenOutAndTheRestKeepsItsOrder) {
  AppOptions o = ParseAppOptions({"/Start", "--simulate=kbd.state", "x/Kill", "/Kill"});
  EXPECT_TRUE(o.simulate);
  EXPECT_EQ(o.simulate_state, "kbd.state");
  EXPECT_EQ(o.switches, (std::vector<std::string>{"/Start", "x/Kill", "/Kill"}));
  EXPECT_TRUE(o.error.empty());
  o = ParseAppOptions({"--hid-root", "/tmp/kbd", "/start"});
  EXPECT_EQ(o.hid_root, "/tmp/kbd");
  EXPECT_EQ(o.switches, (std::vector<std::string>{"/start"}));
  EXPECT_FALSE(ParseAppOptions({"--simulate", "--hid-root=/tmp/kbd"}).error.empty());
  EXPECT_FALSE(ParseAppOptions({"--hid-root"}).error.empty());
  EXPECT_FALSE(ParseAppOptions({"--simulate="}).error.empty());
  EXPECT_TRUE(ParseAppOptions({"--help"}).help);
}

}  // namespace
}  // namespace orvane
