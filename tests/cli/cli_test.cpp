// orvane-cli end to end: the built program run as a child process against the in-process
// simulated keyboard (--simulate=STATE keeps its memory in a file between runs), and RunCli
// in-process against a keyboard this user may not open.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/json.h"
#include "model/profile_config.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/hid_backend.h"
#include "sim/sim_hub.h"
#include "sim/sim_memory.h"
#include "tests/cli/cli_run.h"
#include "tests/platform/hid_fake_tree.h"
#include "tests/platform/as_ordinary_user.h"

namespace orvane {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

JsonValue ParseOut(const ToolRun& run) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(ParseJson(run.out, &v, &error)) << error << "\n" << run.out;
  return v;
}

SimMemory LoadState(const std::string& path) {
  SimMemory memory;
  const auto bytes = ReadWholeFile(path);
  EXPECT_TRUE(bytes.has_value()) << path;
  std::string error;
  if (bytes) {
    EXPECT_TRUE(SimMemory::Deserialize(bytes->data(), bytes->size(), &memory, &error)) << error;
  }
  return memory;
}

void SaveState(const std::string& path, const SimMemory& memory) {
  ASSERT_TRUE(WriteFileAtomic(path, memory.Serialize()));
}

// A profile with a key remapped on layer 1, a key playing a macro, and the macro.
const char* kEditedProfile = R"({
  "format": "orvane-profile", "version": 1,
  "identity": "4b482000208000000400000200000000450c50764f1c0e000000000000000000",
  "layers": [
    [],
    [{"key": "0x01E", "type": "SingleKey", "value": "0x02A"},
     {"key": "0x030", "type": "PlayMacro", "value": 1}],
    [{"key": "0x010", "type": "Disabled"}],
    []
  ],
  "macros": [{"id": 1, "name": "Hello", "cycles": 2, "actions": [
    {"key": "0x01E", "direction": "press", "delay": 100},
    {"key": "0x01E", "direction": "release", "delay": 0}]}]
})";

// Key block positions (of the factory default block) of A, B and Q.
constexpr size_t kPosA = 19, kPosB = 52, kPosQ = 18;

class CliSim : public ::testing::Test {
 protected:
  std::vector<std::string> Sim(std::vector<std::string> args) {
    args.insert(args.begin(), "--simulate=" + state_);
    return args;
  }
  ToolRun RunSim(std::vector<std::string> args) { return RunTool(Sim(std::move(args))); }

  ScratchFolder dir_;
  std::string state_ = dir_.File("keyboard.bin");
};

TEST_F(CliSim, HelpAndUsageErrors) {
  ToolRun r = RunTool({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "Commands:")) << r.out;
  for (const char* cmd : {"list", "describe", "info", "read", "write", "apply", "select", "show",
                          "validate", "new", "export-json", "import-json", "lighting", "watch"}) {
    r = RunTool({cmd, "--help"});
    EXPECT_EQ(r.code, 0) << cmd;
    EXPECT_TRUE(Contains(r.out, std::string("Usage: orvane-cli [OPTIONS] ") + cmd)) << r.out;
  }
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{"--frob", "info"}, "unknown option --frob"},
      {{"info", "--verify"}, "info: unknown option --verify"},
      {{"--device"}, "option --device needs a value"},
      {{"--json=1", "info"}, "option --json takes no value"},
      {{"show"}, "usage: orvane-cli show FILE.orv"},
      {{"validate", "a", "b"}, "usage: orvane-cli validate FILE.orv"},
      {{"--simulate", "select", "3"}, "select: \"3\" is not 0, 1 or 2"},
      {{"--simulate", "select", "-1"}, "select: \"-1\" is not 0, 1 or 2"},
      {{"--simulate", "apply", "x.orv"}, "apply needs --profile N"},
      {{"--simulate", "apply", "x.orv", "--profile", "one"}, "--profile: \"one\" is not 0, 1 or 2"},
      {{"--simulate", "lighting", "set", "--profile", "0"}, "give at least one of --mode"},
      {{"--simulate", "lighting", "set", "--profile", "0", "--brightness", "25"},
       "--brightness: \"25\" is not a number from 0 to 24"},
      {{"--simulate", "lighting", "set", "--profile", "0", "--direction", "7"}, "--direction: \"7\" is not 0 or 255"},
      {{"--simulate", "lighting", "set", "--profile", "0", "--mode", "16"}, "does not offer mode 16"},
      {{"--simulate", "lighting", "--mode", "1"}, "belongs to \"lighting set\""},
      {{"--simulate", "lighting", "off"}, "unknown argument \"off\""},
      {{"--simulate", "--hid-root", "/tmp", "info"}, "cannot be used together"},
      {{"--simulate", "watch", "--timeout", "soon"}, "--timeout: \"soon\" is not a number"},
  };
  for (const Case& c : cases) {
    r = RunTool(c.args);
    EXPECT_EQ(r.code, 2) << c.message << "\n" << r.err;
    EXPECT_TRUE(Contains(r.err, c.message)) << "want: " << c.message << "\ngot: " << r.err;
  }
}

TEST_F(CliSim, NoKeyboardIsAFailureThatSaysSo) {
  const ToolRun r = RunTool({"--hid-root", dir_.Path(), "info"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "no keyboard found")) << r.err;
  const ToolRun d = RunTool({"--simulate", "--device", "/dev/hidraw9", "select", "1"});
  EXPECT_EQ(d.code, 1);
  EXPECT_TRUE(Contains(d.err, "no HID device at /dev/hidraw9")) << d.err;
  const ToolRun l = RunTool({"--hid-root", dir_.Path(), "list"});
  EXPECT_EQ(l.code, 0);
  EXPECT_TRUE(Contains(l.out, "No keyboard found.")) << l.out;
}

TEST_F(CliSim, BadProfileFilesGiveExitCode3) {
  const std::string missing = dir_.File("missing.orv");
  ToolRun r = RunTool({"validate", missing});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, missing + ": no such file")) << r.err;

  const std::string shorty = dir_.File("short.orv");
  ASSERT_TRUE(WriteFileAtomic(shorty, std::string(100, 'x')));
  r = RunTool({"show", shorty});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, "too short for a profile file (100 bytes)")) << r.err;

  const std::string good = dir_.File("good.orv");
  ASSERT_EQ(RunTool({"new", good}).code, 0);
  auto bytes = *ReadWholeFile(good);
  bytes[4] = 4;  // version, checksum not updated
  const std::string bad = dir_.File("bad.orv");
  ASSERT_TRUE(WriteFileAtomic(bad, bytes));
  for (std::vector<std::string> args : {std::vector<std::string>{"validate", bad},
                                        {"show", bad},
                                        {"export-json", bad, dir_.File("x.json")},
                                        {"--simulate", "write", bad},
                                        {"--simulate", "apply", bad, "--profile", "0"}}) {
    r = RunTool(args);
    EXPECT_EQ(r.code, 3) << args[0];
    // The store's own message, naming the file.
    EXPECT_TRUE(Contains(r.err, "The file \"" + bad + "\" is not a valid profile file")) << r.err;
  }
  EXPECT_FALSE(FileExists(dir_.File("x.json")));
}

TEST_F(CliSim, NewValidateShowAndOverwriteRules) {
  const std::string file = dir_.File("p.orv");
  ToolRun r = RunTool({"new", file});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunTool({"validate", file});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "valid profile file"));
  r = RunTool({"--json", "validate", file});
  EXPECT_EQ(ParseOut(r).Find("valid")->AsBool(), true);
  r = RunTool({"show", file});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "No macros.\n");

  // An existing file is replaced only after a Yes.
  ASSERT_TRUE(WriteFileAtomic(file, std::string("keep me")));
  r = RunTool({"new", file});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, file + " exists and was not replaced (give --yes")) << r.err;
  EXPECT_EQ(*ReadTextFile(file), "keep me");
  r = RunTool({"--yes", "new", file});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(RunTool({"validate", file}).code, 0);
}

TEST_F(CliSim, JsonRoundTripsAndBadJson) {
  const std::string json = dir_.File("edit.json");
  ASSERT_TRUE(WriteFileAtomic(json, std::string(kEditedProfile)));
  const std::string orv = dir_.File("edit.orv");
  ToolRun r = RunTool({"import-json", json, orv});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(RunTool({"validate", orv}).code, 0);
  const std::string json2 = dir_.File("again.json");
  ASSERT_EQ(RunTool({"export-json", orv, json2}).code, 0);
  const std::string orv2 = dir_.File("again.orv");
  ASSERT_EQ(RunTool({"import-json", json2, orv2}).code, 0);
  EXPECT_EQ(*ReadWholeFile(orv), *ReadWholeFile(orv2));

  const std::string broken = dir_.File("broken.json");
  ASSERT_TRUE(WriteFileAtomic(broken, std::string("{\"format\": \"orvane-profile\",\n  \"version\" 1}")));
  r = RunTool({"import-json", broken, dir_.File("out.orv")});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, broken + ": line 2, column 13: expected ':'")) << r.err;

  std::string wrong(kEditedProfile);
  wrong.replace(wrong.find("\"cycles\": 2"), 11, "\"cycles\": 999");
  ASSERT_TRUE(WriteFileAtomic(broken, wrong));
  r = RunTool({"import-json", broken, dir_.File("out.orv")});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, "macros[0].cycles: 999 is out of range 0..255")) << r.err;
  EXPECT_FALSE(FileExists(dir_.File("out.orv")));

  r = RunTool({"import-json", dir_.File("nothing.json"), dir_.File("out.orv")});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, "nothing.json: cannot be read")) << r.err;
}

TEST_F(CliSim, ReadWriteApplySelectAgainstTheSimulatedKeyboard) {
  // A state file that does not exist yet starts from the factory memory.
  ToolRun r = RunSim({"--json", "info"});
  ASSERT_EQ(r.code, 0) << r.err;
  JsonValue info = ParseOut(r);
  EXPECT_EQ(info.Find("current_profile")->AsInt(), 0);
  EXPECT_EQ(info.Find("macro_capacity")->AsInt(), 8192);
  EXPECT_TRUE(info.Find("colour_pages")->AsBool());
  EXPECT_EQ(info.Find("default_key_block")->AsString(), "keyboard");
  ASSERT_TRUE(FileExists(state_));

  const std::string factory = dir_.File("factory.orv");
  ASSERT_EQ(RunSim({"read", factory}).code, 0);
  r = RunTool({"show", factory});
  EXPECT_EQ(r.out, "No macros.\n");  // factory keyboard: every key at its default

  const std::string json = dir_.File("edit.json");
  ASSERT_TRUE(WriteFileAtomic(json, std::string(kEditedProfile)));
  const std::string edit = dir_.File("edit.orv");
  ASSERT_EQ(RunTool({"import-json", json, edit}).code, 0);

  r = RunSim({"write", edit, "--verify"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "(verified)"));
  SimMemory mem = LoadState(state_);
  const auto entry = [&](int block, size_t pos) {
    const auto& b = mem.key_blocks[size_t(block)];
    return std::vector<uint8_t>(b.begin() + long(3 * pos), b.begin() + long(3 * pos + 3));
  };
  EXPECT_EQ(entry(1, kPosA), (std::vector<uint8_t>{0x02, 0x01, 0x02}));  // Left Shift
  EXPECT_EQ(entry(1, kPosB), (std::vector<uint8_t>{0x05, 0x01, 0x00}));  // macro at position 0
  EXPECT_EQ(entry(2, kPosQ), (std::vector<uint8_t>{0x00, 0x00, 0x00}));  // disabled
  EXPECT_EQ(mem.key_blocks[0], mem.default_key_block);
  EXPECT_EQ(mem.macro_area[0], 0xAA);
  EXPECT_EQ(mem.macro_area[1], 0x55);

  // Read back: what the keyboard holds comes back as the same assignments and macro.
  const std::string back = dir_.File("back.orv");
  ASSERT_EQ(RunSim({"read", back}).code, 0);
  r = RunTool({"--json", "show", back});
  ASSERT_EQ(r.code, 0) << r.err;
  JsonValue shown = ParseOut(r);
  const auto& layers = shown.Find("layers")->Items();
  ASSERT_EQ(layers.size(), 4u);
  const auto& keys1 = layers[1].Find("keys")->Items();
  ASSERT_EQ(keys1.size(), 2u);
  EXPECT_EQ(keys1[0].Find("key")->AsString(), "0x01E");
  EXPECT_EQ(keys1[0].Find("name")->AsString(), "A");
  EXPECT_EQ(keys1[0].Find("type")->AsString(), "SingleKey");
  EXPECT_EQ(keys1[0].Find("value_name")->AsString(), "Left Shift");
  EXPECT_EQ(keys1[1].Find("type")->AsString(), "PlayMacro");
  EXPECT_EQ(keys1[1].Find("does")->AsString(), "play macro 1 \"Hello\"");
  const auto& macros = shown.Find("macros")->Items();
  ASSERT_EQ(macros.size(), 1u);
  EXPECT_EQ(macros[0].Find("name")->AsString(), "Hello");
  EXPECT_EQ(macros[0].Find("cycles")->AsInt(), 2);
  ASSERT_EQ(macros[0].Find("actions")->Items().size(), 2u);
  EXPECT_EQ(macros[0].Find("actions")->Items()[0].Find("delay")->AsInt(), 100);
  r = RunTool({"show", back});
  EXPECT_TRUE(Contains(r.out, "Layer 1:\n  A: key Left Shift\n  B: play macro 1 \"Hello\"\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Layer 2:\n  Q: disabled\n")) << r.out;

  // apply writes one layer only: the file's layer 2 into key block 2.
  const std::string fresh = dir_.File("fresh.orv");
  ASSERT_EQ(RunTool({"new", fresh}).code, 0);
  const SimMemory before = LoadState(state_);
  r = RunSim({"apply", fresh, "--profile", "2", "--verify"});
  ASSERT_EQ(r.code, 0) << r.err;
  mem = LoadState(state_);
  EXPECT_EQ(mem.key_blocks[2], mem.default_key_block);
  EXPECT_EQ(mem.key_blocks[1], before.key_blocks[1]);
  EXPECT_EQ(mem.key_blocks[0], before.key_blocks[0]);

  // select changes the current profile, and it persists in the state file.
  ASSERT_EQ(RunSim({"select", "2"}).code, 0);
  EXPECT_EQ(LoadState(state_).settings[10], 2);
  EXPECT_EQ(ParseOut(RunSim({"--json", "info"})).Find("current_profile")->AsInt(), 2);
}

TEST_F(CliSim, MacrosThatDoNotFitAreRefusedWithTheProgramsMessage) {
  SimMemory mem = SimMemory::Factory();
  mem.settings[11] = 0;  // no macro space at all
  mem.FitMacroArea();
  SaveState(state_, mem);
  const std::string json = dir_.File("edit.json");
  ASSERT_TRUE(WriteFileAtomic(json, std::string(kEditedProfile)));
  const std::string edit = dir_.File("edit.orv");
  ASSERT_EQ(RunTool({"import-json", json, edit}).code, 0);
  const ToolRun r = RunSim({"write", edit});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "do not fit in the keyboard's memory")) << r.err;
  EXPECT_TRUE(Contains(r.err, "writing " + edit + " to the keyboard failed")) << r.err;
  EXPECT_EQ(LoadState(state_).key_blocks[1], mem.key_blocks[1]);  // nothing was sent
}

TEST_F(CliSim, AFileShorterThanItsHeaderSaysIsReportedAsDamaged) {
  const std::string json = dir_.File("edit.json");
  ASSERT_TRUE(WriteFileAtomic(json, std::string(kEditedProfile)));
  const std::string whole = dir_.File("whole.orv");
  ASSERT_EQ(RunTool({"import-json", json, whole}).code, 0);
  std::vector<uint8_t> bytes = *ReadWholeFile(whole);
  bytes.resize(bytes.size() - 100);  // the macro record is cut short; the header is intact
  const std::string cut = dir_.File("cut.orv");
  ASSERT_TRUE(WriteFileAtomic(cut, bytes));
  for (std::vector<std::string> args : {std::vector<std::string>{"validate", cut},
                                        {"show", cut},
                                        {"--simulate", "write", cut},
                                        {"--simulate", "apply", cut, "--profile", "1"},
                                        {"export-json", cut, dir_.File("cut.json")}}) {
    const ToolRun r = RunTool(args);
    EXPECT_EQ(r.code, 3) << args[0];
    EXPECT_TRUE(Contains(r.err, cut + ": damaged: the file is shorter than its header says (" +
                                    std::to_string(bytes.size()) + " of " +
                                    std::to_string(bytes.size() + 100) + " bytes); missing: macro 1 of 1"))
        << r.err;
  }
  const ToolRun j = RunTool({"--json", "validate", cut});
  EXPECT_EQ(j.code, 3);
  EXPECT_FALSE(ParseOut(j).Find("valid")->AsBool());
  EXPECT_FALSE(FileExists(dir_.File("cut.json")));
}

TEST_F(CliSim, InputsThatAreNotRegularFilesFailAtOnce) {
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (std::vector<std::string> args : {std::vector<std::string>{"validate", fifo},
                                        {"show", fifo},
                                        {"--simulate", "write", fifo},
                                        {"describe", fifo},
                                        {"import-json", fifo, dir_.File("out.orv")},
                                        {"--simulate=" + fifo, "info"},
                                        {"validate", dir_.Path()}}) {
    const ToolRun r = RunTool(args, 10000);
    EXPECT_EQ(r.code, 3) << args[0] << " " << args[1] << ": " << r.err;  // -1: it hung
    EXPECT_TRUE(Contains(r.err, "not a regular file")) << r.err;
  }
  EXPECT_FALSE(FileExists(dir_.File("out.orv")));
}

TEST_F(CliSim, OutputFilesRespectTheFilesTheyReplace) {
  // Through a link: the file it points to is replaced, the link stays.
  ASSERT_EQ(RunTool({"new", dir_.File("real.orv")}).code, 0);
  ASSERT_EQ(symlink("real.orv", dir_.File("link.orv").c_str()), 0);
  const std::string json = dir_.File("edit.json");
  ASSERT_TRUE(WriteFileAtomic(json, std::string(kEditedProfile)));
  ToolRun r = RunTool({"--yes", "import-json", json, dir_.File("link.orv")});
  ASSERT_EQ(r.code, 0) << r.err;
  struct stat st{};
  ASSERT_EQ(lstat(dir_.File("link.orv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_TRUE(Contains(RunTool({"show", dir_.File("real.orv")}).out, "Hello"));

  // The permission bits of the file replaced are kept.
  ASSERT_EQ(chmod(dir_.File("real.orv").c_str(), 0640), 0);
  ASSERT_EQ(RunTool({"--yes", "new", dir_.File("real.orv")}).code, 0);
  ASSERT_EQ(stat(dir_.File("real.orv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A read-only file of an ordinary user: each writing command fails as opening it would.
  const std::string ro = dir_.File("ro.orv");
  ASSERT_EQ(RunTool({"new", ro}).code, 0);
  const auto before = ReadWholeFile(ro);
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
  for (const std::string& path : {dir_.Path(), ro, json})
    ASSERT_TRUE(testing::GiveToOrdinaryUser(path));
  const std::string messages = dir_.File("messages.txt");
  const int result = testing::RunAsOrdinaryUser([&] {
    std::string all;
    int worst = 0;
    for (std::vector<std::string> args : {std::vector<std::string>{"--yes", "new", ro},
                                          {"--yes", "import-json", json, ro},
                                          {"--yes", "--simulate", "read", ro}}) {
      const ToolRun run = RunTool(args);
      if (run.code != 1) worst = 10 + run.code;
      all += run.err;
    }
    return WriteFileAtomic(messages, all) ? worst : 99;
  });
  if (result == testing::kCouldNotDropRoot) GTEST_SKIP() << "cannot become an ordinary user here";
  EXPECT_EQ(result, 0);
  const std::string err = ReadTextFile(messages).value_or("");
  const std::string want = "orvane-cli: cannot write " + ro + ": permission denied\n";
  EXPECT_EQ(err, want + want + want);
  EXPECT_EQ(ReadWholeFile(ro), before);
}

TEST_F(CliSim, ControlCharactersInFileNamesNeverBreakTheLine) {
  const std::string odd = dir_.File("a\nb\x1b[31mc\xc2\x9b" "d.orv");
  const std::string shown = dir_.File("a\\nb\\x1b[31mc\\u009bd.orv");
  ToolRun r = RunTool({"validate", odd});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err, "orvane-cli: " + shown + ": no such file\n");
  // Messages of the core that carry the name (the store's format message, questions).
  std::vector<uint8_t> bad = std::vector<uint8_t>(kProfileImageSize, 0);
  ASSERT_TRUE(WriteFileAtomic(odd, bad));
  r = RunTool({"validate", odd});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_TRUE(Contains(r.err, shown)) << r.err;
  r = RunTool({"new", odd});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;  // the question, the refusal
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  ASSERT_EQ(RunTool({"--yes", "new", odd}).code, 0);
  r = RunTool({"validate", odd});
  EXPECT_EQ(r.out, shown + ": valid profile file\n");
}

TEST_F(CliSim, BrokenStateFileIsAnInvalidFile) {
  ASSERT_TRUE(WriteFileAtomic(state_, std::string(10, '\0')));
  const ToolRun r = RunSim({"info"});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, "simulated keyboard state " + state_)) << r.err;
}

TEST_F(CliSim, LightingIsDecodedAndSetFieldByField) {
  ToolRun r = RunSim({"lighting", "set", "--profile", "1", "--mode", "5", "--brightness", "10",
                      "--speed", "3", "--direction", "255", "--rate", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  const SimMemory mem = LoadState(state_);
  EXPECT_EQ(mem.lighting[1][0], 5);
  EXPECT_EQ(mem.lighting[1][1], 10);
  EXPECT_EQ(mem.lighting[1][2], 3);
  EXPECT_EQ(mem.lighting[1][4], 255);
  EXPECT_EQ(mem.lighting[1][15], 2);
  EXPECT_EQ(mem.lighting[0], SimMemory::Factory().lighting[0]);

  r = RunSim({"--json", "lighting"});
  ASSERT_EQ(r.code, 0) << r.err;
  const JsonValue lighting = ParseOut(r);
  const auto& profiles = lighting.Find("profiles")->Items();
  ASSERT_EQ(profiles.size(), 3u);
  EXPECT_EQ(profiles[1].Find("mode")->AsInt(), 5);
  EXPECT_EQ(profiles[1].Find("mode_name")->AsString(), "Static");
  EXPECT_EQ(profiles[1].Find("direction")->AsInt(), 255);
  EXPECT_EQ(profiles[1].Find("report_rate")->AsInt(), 2);
  EXPECT_EQ(profiles[0].Find("brightness")->AsInt(), 24);
  r = RunSim({"lighting"});
  EXPECT_TRUE(Contains(r.out, "Profile 1: mode 5 (Static), brightness 10, speed 3, direction 255"))
      << r.out;
}

TEST_F(CliSim, ListAndDescribeShowTheCollections) {
  ToolRun r = RunTool({"--simulate", "--json", "list"});
  ASSERT_EQ(r.code, 0) << r.err;
  const JsonValue listed = ParseOut(r);
  const auto& devices = listed.Find("devices")->Items();
  bool command = false, events = false;
  for (const JsonValue& d : devices) {
    for (const JsonValue& c : d.Find("collections")->Items()) {
      const JsonValue* role = c.Find("role");
      if (role && role->AsString() == "command channel") {
        command = true;
        EXPECT_EQ(c.Find("usage_page")->AsInt(), 0xFF1C);
        EXPECT_EQ(c.Find("input_report_length")->AsInt(), 64);  // report ID byte included
        EXPECT_TRUE(Contains(c.Find("path")->AsString(), "#vid_0c45&pid_7650&col"));
      }
      if (role && role->AsString() == "event channel") events = true;
    }
  }
  EXPECT_TRUE(command && events) << r.out;

  // describe reads the same descriptor from raw bytes and from hex text.
  const std::vector<uint8_t>& desc = SimReportDescriptor(kSimVendorNode);
  const std::string raw = dir_.File("desc.bin");
  ASSERT_TRUE(WriteFileAtomic(raw, desc));
  std::string hex;
  for (uint8_t b : desc) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02x ", b);
    hex += buf;
  }
  const std::string text = dir_.File("desc.txt");
  ASSERT_TRUE(WriteFileAtomic(text, hex + "\n"));
  const ToolRun a = RunTool({"--json", "describe", raw});
  const ToolRun b = RunTool({"--json", "describe", text});
  ASSERT_EQ(a.code, 0) << a.err;
  EXPECT_EQ(a.out, b.out);
  const JsonValue described = ParseOut(a);
  const auto& cols = described.Find("collections")->Items();
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[1].Find("usage")->AsInt(), 0x92);
  EXPECT_EQ(cols[1].Find("output_report_length")->AsInt(), 64);
  r = RunTool({"describe", raw});
  EXPECT_TRUE(Contains(r.out, "usage page 0xFF1C, usage 0x0092")) << r.out;

  const std::string junk = dir_.File("junk.bin");
  ASSERT_TRUE(WriteFileAtomic(junk, std::vector<uint8_t>{0xC0, 0xC0, 0xFF}));
  r = RunTool({"describe", junk});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, junk + ": not a valid report descriptor")) << r.err;
}

TEST_F(CliSim, CtrlCEndsWatchCleanlyAndOtherCommandsAtOnce) {
  const ToolRun r = RunTool({"--simulate", "watch"}, 60000, 1500);
  EXPECT_EQ(r.code, 0) << r.err;  // the monitor was stopped and joined, not killed
  EXPECT_TRUE(Contains(r.out, "keyboard arrived")) << r.out;
  const ToolRun j = RunTool({"--simulate", "--json", "watch", "--timeout", "1"});
  EXPECT_EQ(j.code, 0) << j.err;
  JsonValue line;
  std::string error;
  ASSERT_TRUE(ParseJson(j.out.substr(0, j.out.find('\n')), &line, &error)) << error << j.out;
  EXPECT_EQ(line.Find("event")->AsString(), "arrived");
}

// A keyboard that is plugged in but whose nodes this user may not open.
class LockedBackend : public IHidBackend {
 public:
  std::vector<HidNodeInfo> EnumerateNodes() override {
    HidNodeInfo n;
    n.node = "/dev/hidraw7";
    n.vendor_id = kSimVendorId;
    n.product_id = kSimProductId;
    n.bus_type = 3;
    n.report_descriptor = SimReportDescriptor(kSimVendorNode);
    n.accessible = false;
    return {n};
  }
  std::unique_ptr<IHidNode> OpenNode(const std::string&, bool, bool, HidOpenError* error) override {
    if (error) *error = HidOpenError::NoPermission;
    return nullptr;
  }
};

TEST(CliPermission, AKeyboardWithoutPermissionIsNamedWithTheUdevHint) {
  ScratchFolder dir;
  LockedBackend locked;
  IHidBackend* const before = SetDefaultHidBackend(&locked);
  ProfileInstance editing, applied;
  KeyboardFacts keyboard;
  const ConfigContext context{editing, applied, keyboard};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(context, {"info"}, out, err), 1);
  EXPECT_TRUE(Contains(err.str(), "the keyboard is plugged in (/dev/hidraw7), but this user may "
                                  "not open it: install the udev rule"))
      << err.str();
  std::ostringstream lout, lerr;
  EXPECT_EQ(RunCli(context, {"list"}, lout, lerr), 0);
  EXPECT_TRUE(Contains(lout.str(), "/dev/hidraw7  0x0C45:7650  VELMORA Q5  NO PERMISSION")) << lout.str();
  EXPECT_TRUE(Contains(lout.str(), "install the udev rule")) << lout.str();
  std::ostringstream jout, jerr;
  EXPECT_EQ(RunCli(context, {"--json", "list"}, jout, jerr), 0);
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(jout.str(), &v, &error)) << error;
  EXPECT_FALSE(v.Find("devices")->Items()[0].Find("accessible")->AsBool());
  EXPECT_NE(v.Find("hint"), nullptr);
  SetDefaultHidBackend(before);
}

// What the keyboard's node claims to be must be what it is: a FIFO, a plain file or another
// character device under --hid-root is refused at open, with a message, instead of hanging or
// answering our requests with our own bytes.
TEST(CliNodeCheck, ANodeThatIsNoHidrawDeviceIsRefused) {
  const std::vector<uint8_t> descriptor = {
      0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00,
      0x75, 0x08, 0x95, 0x3F, 0x09, 0x92, 0x81, 0x02, 0x09, 0x92, 0x91, 0x02, 0xC0};
  for (const std::string kind : {"fifo", "file", "zero"}) {
    test::FakeTree tree;
    tree.AddNode(1, "HID_ID=0003:00000C45:00007650", descriptor, nullptr, kind == "fifo");
    if (kind == "file") std::ofstream(tree.NodePath(1)) << std::string(64, '\x04');
    if (kind == "zero") {
      std::filesystem::create_symlink("/dev/zero", tree.NodePath(1));
      tree.SetDevNumber(1, "241:1");
    }
    const std::string root = tree.Sys().substr(0, tree.Sys().size() - 4);
    const ToolRun r = RunTool({"--hid-root", root, "info"}, 20000);
    EXPECT_EQ(r.code, 1) << kind << ": " << r.err;
    EXPECT_TRUE(Contains(r.err, tree.NodePath(1) + " is not a HID device node")) << kind << ": " << r.err;
  }
}

}  // namespace
}  // namespace orvane
