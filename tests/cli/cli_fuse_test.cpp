// orvane-cli against orvane-simkbd over FUSE: the real hidraw backend finds the keyboard under
// --hid-root, exactly as it would find the real one under /sys and /dev.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <chrono>
#include <future>
#include <iterator>
#include <thread>

#include "cli/json.h"
#include "platform/files.h"
#include "platform/keyboard_lock.h"
#include "platform/paths.h"
#include "sim/sim_memory.h"
#include "tests/cli/cli_run.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliFuse : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVANE_SKIP_WITHOUT_FUSE();
    std::string error;
    ASSERT_TRUE(sim_.Start({"--state", state_}, &error)) << error;
  }

  ToolRun Run(std::vector<std::string> args, int timeout_ms = 60000) {
    args.insert(args.begin(), {"--hid-root", sim_.Folder()});
    return RunTool(args, timeout_ms);
  }

  SimMemory Dump() {
    const std::string file = dir_.File("dump.bin");
    EXPECT_EQ(sim_.Control("dump " + file).rfind("ok", 0), 0u);
    SimMemory memory;
    const auto bytes = ReadWholeFile(file);
    std::string error;
    EXPECT_TRUE(bytes && SimMemory::Deserialize(bytes->data(), bytes->size(), &memory, &error))
        << error;
    return memory;
  }

  ScratchFolder dir_;
  std::string state_ = dir_.File("state.bin");
  SimKbdProcess sim_;
};

TEST_F(CliFuse, EveryKeyboardCommandWorksOverTheRealBackend) {
  ToolRun r = Run({"--json", "info"});
  ASSERT_EQ(r.code, 0) << r.err;
  JsonValue info;
  std::string error;
  ASSERT_TRUE(ParseJson(r.out, &info, &error)) << error;
  EXPECT_TRUE(Contains(info.Find("device")->AsString(), sim_.DevRoot() + "/hidraw"));
  EXPECT_EQ(info.Find("macro_capacity")->AsInt(), 8192);

  r = Run({"list"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "(command channel)")) << r.out;
  EXPECT_TRUE(Contains(r.out, "(event channel)")) << r.out;

  // A profile with a remapped key and a macro, written to all profiles, verified, read back.
  const std::string json = dir_.File("p.json");
  ASSERT_TRUE(WriteFileAtomic(json, std::string(R"({"format": "orvane-profile", "version": 1,
    "identity": "4b482000208000000400000200000000450c50764f1c0e000000000000000000",
    "layers": [[{"key": "0x01E", "type": "Media", "value": 1}], [], [], []],
    "macros": [{"id": 1, "name": "M", "cycles": 1, "actions": [
      {"key": "0x171", "direction": "press", "delay": 20}]}]})")));
  const std::string orv = dir_.File("p.orv");
  ASSERT_EQ(RunTool({"import-json", json, orv}).code, 0);
  r = Run({"write", orv, "--verify"});
  ASSERT_EQ(r.code, 0) << r.err;
  SimMemory mem = Dump();
  EXPECT_EQ(mem.key_blocks[0][3 * 19], 0x03);      // consumer usage
  EXPECT_EQ(mem.key_blocks[0][3 * 19 + 1], 0xCD);  // play/pause
  const std::string back = dir_.File("back.orv");
  ASSERT_EQ(Run({"read", back}).code, 0);
  r = RunTool({"show", back});
  EXPECT_TRUE(Contains(r.out, "A: media: Play/Pause")) << r.out;
  EXPECT_TRUE(Contains(r.out, "press   Mouse Left, then 20 ms")) << r.out;

  const std::string fresh = dir_.File("fresh.orv");
  ASSERT_EQ(RunTool({"new", fresh}).code, 0);
  ASSERT_EQ(Run({"apply", fresh, "--profile", "0"}).code, 0);
  EXPECT_EQ(Dump().key_blocks[0], mem.default_key_block);

  ASSERT_EQ(Run({"select", "1"}).code, 0);
  EXPECT_EQ(Dump().settings[10], 1);
  ASSERT_EQ(Run({"lighting", "set", "--profile", "2", "--brightness", "3"}).code, 0);
  EXPECT_EQ(Dump().lighting[2][1], 3);
  r = Run({"lighting"});
  EXPECT_TRUE(Contains(r.out, "Profile 2: mode 1 (Rainbow Wave), brightness 3")) << r.out;
}

TEST_F(CliFuse, KeyboardFailuresGiveExitCode1) {
  // A keyboard that refuses every write cannot even be read on arrival.
  const std::string orv = dir_.File("p.orv");
  ASSERT_EQ(RunTool({"new", orv}).code, 0);
  ASSERT_EQ(sim_.Control("fault refuse on").rfind("ok", 0), 0u);
  ToolRun r = Run({"write", orv}, 120000);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(Contains(r.err, "reading the keyboard's settings failed")) << r.err;
  ASSERT_EQ(sim_.Control("fault none").rfind("ok", 0), 0u);

  // Error statuses once the arrival reads (the default key block twice, seven chunks each, and
  // the settings) are done: the configuration write fails and says so.
  ASSERT_EQ(sim_.Control("fault status ff all after 15").rfind("ok", 0), 0u);
  r = Run({"write", orv}, 120000);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(Contains(r.err, "writing " + orv + " to the keyboard failed")) << r.err;
  ASSERT_EQ(sim_.Control("fault none").rfind("ok", 0), 0u);

  // Error statuses on the key block reads make read fail and leave no file behind.
  ASSERT_EQ(sim_.Control("fault status ff all after 16").rfind("ok", 0), 0u);
  const std::string out = dir_.File("out.orv");
  r = Run({"read", out}, 120000);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(Contains(r.err, "reading the configuration from the keyboard failed")) << r.err;
  EXPECT_FALSE(FileExists(out));
  ASSERT_EQ(sim_.Control("fault none").rfind("ok", 0), 0u);

  ASSERT_EQ(sim_.Control("unplug").rfind("ok", 0), 0u);
  r = Run({"info"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "no keyboard found")) << r.err;
}

TEST_F(CliFuse, WatchPrintsArrivalsRemovalsAndEvents) {
  auto watch = std::async(std::launch::async, [&] { return Run({"watch", "--timeout", "6"}); });
  // Give the monitor time to find the keyboard, then play the keyboard's part.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(sim_.Control("event 0x0401").rfind("ok", 0), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(sim_.Control("unplug").rfind("ok", 0), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(sim_.Control("plug").rfind("ok", 0), 0u);
  const ToolRun r = watch.get();
  EXPECT_EQ(r.code, 0) << r.err;
  const size_t arrived = r.out.find("keyboard arrived");
  const size_t event = r.out.find("event 0x0401: lighting changed on the keyboard");
  const size_t removed = r.out.find("keyboard removed");
  const size_t again = r.out.find("keyboard arrived", removed == std::string::npos ? 0 : removed);
  ASSERT_NE(arrived, std::string::npos) << r.out;
  ASSERT_NE(event, std::string::npos) << r.out;
  ASSERT_NE(removed, std::string::npos) << r.out;
  ASSERT_NE(again, std::string::npos) << r.out;
  EXPECT_LT(arrived, event);
  EXPECT_LT(event, removed);
  EXPECT_LT(removed, again);
}

// Two profile files that differ in every on-board profile and in their macros.
std::string ProfileJson(const char* key, int media, const char* macro_name, int delay) {
  return std::string(R"({"format": "orvane-profile", "version": 1,
    "identity": "4b482000208000000400000200000000450c50764f1c0e000000000000000000",
    "layers": [[{"key": ")") + key + R"(", "type": "Media", "value": )" + std::to_string(media) +
         R"(}, {"key": "0x010", "type": "Disabled"}],
               [{"key": "0x011", "type": "SingleKey", "value": "0x01E"}],
               [{"key": ")" + key + R"(", "type": "Disabled"}], []],
    "macros": [{"id": 1, "name": ")" + macro_name + R"(", "cycles": 1, "actions": [
      {"key": "0x171", "direction": "press", "delay": )" + std::to_string(delay) + R"(},
      {"key": "0x171", "direction": "release", "delay": 5}]}]})";
}

class CliFuseFaults : public CliFuse {
 protected:
  void SetUp() override {
    CliFuse::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    factory_ = dir_.File("factory.bin");
    ASSERT_EQ(sim_.Control("dump " + factory_), "ok");
  }
  std::string MakeProfile(const std::string& name, const std::string& json) {
    const std::string j = dir_.File(name + ".json"), orv = dir_.File(name + ".orv");
    EXPECT_TRUE(WriteFileAtomic(j, json));
    EXPECT_EQ(RunTool({"import-json", j, orv}).code, 0);
    return orv;
  }
  void Factory() { ASSERT_EQ(sim_.Control("load " + factory_), "ok"); }
  // What a clean write of orv leaves in the keyboard, from the factory state.
  SimMemory CleanWrite(const std::string& orv) {
    Factory();
    const ToolRun r = Run({"write", orv});
    EXPECT_EQ(r.code, 0) << r.err;
    return Dump();
  }
  // The key blocks, and the macro area as far as want's header says it reaches (a shorter area
  // written over a longer one leaves the old tail, which nothing reads).
  static bool SameConfiguration(const SimMemory& got, const SimMemory& want) {
    if (got.key_blocks != want.key_blocks || want.macro_area.size() < 4) return false;
    const size_t used = std::min<size_t>(want.macro_area[2] | (want.macro_area[3] << 8),
                                         want.macro_area.size());
    return got.macro_area.size() >= used &&
           std::equal(want.macro_area.begin(), want.macro_area.begin() + used,
                      got.macro_area.begin());
  }
  std::string factory_;
};

struct Late {
  int ms;
  int count;
};
constexpr Late kLateReplies[] = {{305, 1}, {350, 5}, {420, 12}, {560, 3}, {700, 40}};

// Replies that come after their attempt gave up must never make a write look verified when the
// keyboard holds something else.
TEST_F(CliFuseFaults, LateRepliesNeverMakeAFalseVerifiedWrite) {
  const std::string orv = MakeProfile("a", ProfileJson("0x01E", 1, "A", 20));
  const SimMemory want = CleanWrite(orv);
  int verified = 0;
  for (const Late& late : kLateReplies) {
    Factory();
    ASSERT_EQ(sim_.Control("fault late " + std::to_string(late.ms) + " " +
                           std::to_string(late.count)), "ok");
    const ToolRun r = Run({"write", orv, "--verify"});
    ASSERT_EQ(sim_.Control("fault none"), "ok");
    const SimMemory got = Dump();
    if (r.code == 0) {
      ++verified;
      EXPECT_TRUE(Contains(r.out, "(verified)")) << r.out;
      EXPECT_TRUE(SameConfiguration(got, want))
          << "late " << late.ms << " x" << late.count << ": verified, but the keyboard differs";
    }
  }
  // Late replies are told from fresh ones: the retries carry every write through.
  EXPECT_EQ(verified, static_cast<int>(std::size(kLateReplies)));
}

TEST_F(CliFuseFaults, LateRepliesNeverSaveAWrongBackup) {
  const std::string orv = MakeProfile("a", ProfileJson("0x01E", 1, "A", 20));
  CleanWrite(orv);
  const std::string clean = dir_.File("clean.orv");
  ASSERT_EQ(Run({"read", clean}).code, 0);
  const auto clean_bytes = ReadWholeFile(clean);
  ASSERT_TRUE(clean_bytes);
  int saved = 0;
  for (const Late& late : {Late{305, 1}, Late{350, 5}, Late{560, 24}}) {
    const std::string back = dir_.File("back" + std::to_string(late.ms) + ".orv");
    ASSERT_EQ(sim_.Control("fault late " + std::to_string(late.ms) + " " +
                           std::to_string(late.count)), "ok");
    const ToolRun r = Run({"read", back});
    ASSERT_EQ(sim_.Control("fault none"), "ok");
    if (r.code == 0) {
      ++saved;
      const auto got = ReadWholeFile(back);
      ASSERT_TRUE(got);
      size_t first = 0;
      while (first < got->size() && first < clean_bytes->size() && (*got)[first] == (*clean_bytes)[first])
        ++first;
      EXPECT_EQ(*got, *clean_bytes) << "late " << late.ms << " x" << late.count
                                    << ": first difference at byte " << first << " of " << got->size() << "\n" << r.err;
    } else {
      EXPECT_FALSE(FileExists(back));
    }
  }
  EXPECT_EQ(saved, 3);
}

// Two writers at once: each keyboard command is one exchange, so the keyboard ends with one
// whole file, never a mix of both.
TEST_F(CliFuseFaults, ConcurrentWritersLeaveOneWholeFile) {
  const std::string a = MakeProfile("a", ProfileJson("0x01E", 1, "A", 20));
  const std::string b = MakeProfile("b", ProfileJson("0x01F", 2, "Bee", 35));
  const SimMemory want_a = CleanWrite(a);
  const SimMemory want_b = CleanWrite(b);
  ASSERT_FALSE(SameConfiguration(want_a, want_b));
  for (int round = 0; round < 8; ++round) {
    Factory();
    auto first = std::async(std::launch::async, [&] { return Run({"write", a}); });
    auto second = std::async(std::launch::async, [&] { return Run({"write", b}); });
    const ToolRun ra = first.get(), rb = second.get();
    EXPECT_EQ(ra.code, 0) << ra.err;
    EXPECT_EQ(rb.code, 0) << rb.err;
    const SimMemory got = Dump();
    EXPECT_TRUE(SameConfiguration(got, want_a) || SameConfiguration(got, want_b))
        << "round " << round << ": the keyboard holds a mix of both files";
  }
}

// While another program has the keyboard, a command waits its 5 s and then says so; a holder
// killed with SIGKILL frees the keyboard at once.
TEST_F(CliFuseFaults, BusyKeyboardIsToldAndAKilledHolderFreesIt) {
  const std::string path = sim_.DevRoot() + "/hidraw1#vid_0c45&pid_7650&col02";
  {
    auto lock = KeyboardLockFile::Open(path);
    ASSERT_NE(lock, nullptr);
    ASSERT_TRUE(lock->Lock(0));
    const ToolRun r = Run({"info"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "The keyboard is busy: another Orvane program is using it."))
        << r.err;
  }

  // A writer slowed down by late replies holds the keyboard for seconds; it is killed while
  // it writes.
  const std::string orv = MakeProfile("a", ProfileJson("0x01E", 1, "A", 20));
  ASSERT_EQ(sim_.Control("fault late 200 all"), "ok");
  const ToolRun killed = Run({"write", orv}, 1500);
  EXPECT_EQ(killed.code, -1) << "the write was meant to be still running";
  ASSERT_EQ(sim_.Control("fault none"), "ok");
  const auto start = std::chrono::steady_clock::now();
  const ToolRun r = Run({"info"});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_LT(took, std::chrono::seconds(3)) << "the command waited for a holder that is gone";
}

// A keyboard that drops off the bus in the middle of a write: the message says so, rather than
// that a request could not be written.
TEST_F(CliFuseFaults, UnplugDuringAWriteIsToldAsSuch) {
  const std::string orv = MakeProfile("a", ProfileJson("0x01E", 1, "A", 20));
  ASSERT_EQ(sim_.Control("fault vanish 30"), "ok");  // past the arrival reads, into the write
  const ToolRun r = Run({"write", orv});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "to the keyboard failed (the keyboard was unplugged)")) << r.err;
  EXPECT_FALSE(Contains(r.err, "could not be written")) << r.err;
}

// A write that stays in the kernel: the command gives up after its time and ends, and Ctrl-C
// ends it at once, without waiting for the stuck write.
TEST_F(CliFuseFaults, AStalledWriteDoesNotHoldTheTool) {
  ASSERT_EQ(sim_.Control("fault stall 100000 1"), "ok");
  auto start = std::chrono::steady_clock::now();
  ToolRun r = Run({"info"}, 30000);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_LT(took, std::chrono::seconds(10));

  ASSERT_EQ(sim_.Control("fault stall 100000 1"), "ok");
  start = std::chrono::steady_clock::now();
  r = RunTool({"--hid-root", sim_.Folder(), "info"}, 30000, 400);
  took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.code, 128 + SIGINT);
  EXPECT_LT(took, std::chrono::milliseconds(400 + 2000));
  // The keyboard is usable again.
  EXPECT_EQ(Run({"info"}).code, 0);
}

}  // namespace
}  // namespace orvane
