// orvane-cli against orvane-simkbd over FUSE: the real hidraw backend finds the keyboard under
// --hid-root, exactly as it would find the real one under /sys and /dev.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "cli/json.h"
#include "platform/files.h"
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

}  // namespace
}  // namespace orvane
