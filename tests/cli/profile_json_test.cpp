// Profile files in JSON form: lossless both ways, readable where it can be, strict on input.
// Also the descriptor file reader of `describe`.
#include "cli/profile_json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "cli/describe.h"
#include "cli/json.h"
#include "model/key_table.h"
#include "model/macro_record.h"
#include "model/profile_config.h"
#include "model/profile_file.h"

namespace orvane {
namespace {

// A configuration with every entry type, both G-key sets, layer 3, texts and macros, saved as
// the program saves it.
std::vector<uint8_t> RichProfileFile() {
  ProfileConfig config;
  config.image = NewDefaultImage();
  ProfileImage& img = *config.image;
  img.EntryAt(0, KeyIndexOf(0x01E))->type = kActionSingleKey;
  img.EntryAt(0, KeyIndexOf(0x01E))->value = 0x02A;
  img.EntryAt(0, KeyIndexOf(0x030))->type = kActionDisabled;
  *img.EntryAt(0, KeyIndexOf(0x147)) = KeyAction{kActionMedia, 0, 7, 0, 0};
  *img.EntryAt(1, KeyIndexOf(0x03B)) = KeyAction{kActionFunction, 0, 10, 0, 0};
  *img.EntryAt(1, kGKeySetA) = KeyAction{kActionPlayMacro, 3, 2, 0, 0};
  *img.EntryAt(2, kGKeySetB + 8) = KeyAction{kActionStopMacro, 0x1309, 0, 0, 0};
  *img.EntryAt(3, KeyIndexOf(0x010)) = KeyAction{kActionPlayText, 0, 0, 0, 0};
  *img.EntryAt(2, KeyIndexOf(0x011)) = KeyAction{kActionLaunchProgram, 0, 0, 0, 0};
  config.texts.Set(3 * kLayerEntries + KeyIndexOf(0x010), u"h\u00e9llo \"world\"\n");
  config.texts.Set(2 * kLayerEntries + KeyIndexOf(0x011), u"/usr/bin/xterm");
  for (uint16_t id : {2, 5}) {
    MacroRecord m;
    SetMacroName(m, std::u16string_view(id == 2 ? u"Macro \u043c" : u"second"));
    m.cycles = static_cast<uint8_t>(id);
    m.id = id;
    m.actionCount = 3;
    m.actions[0] = MacroAction{120, 0x01E, kPress};
    m.actions[1] = MacroAction{0, 0x01E, kRelease};
    m.actions[2] = MacroAction{40000, 0x162, kPress};
    config.macros.push_back(m);
  }
  auto bytes = BuildProfileFileBytes(config);
  EXPECT_TRUE(bytes.has_value());
  return bytes ? *bytes : std::vector<uint8_t>{};
}

std::vector<uint8_t> DefaultProfileFile() {
  ProfileConfig config;
  config.image = NewDefaultImage();
  return *BuildProfileFileBytes(config);
}

JsonValue ToJson(const std::vector<uint8_t>& file) {
  JsonValue json;
  std::string error;
  EXPECT_TRUE(ProfileToJson(file, &json, &error)) << error;
  return json;
}

// Bytes -> JSON text -> parsed -> bytes must give the same bytes.
void ExpectRoundTrip(const std::vector<uint8_t>& file) {
  const std::string text = WriteJson(ToJson(file));
  JsonValue parsed;
  std::string error;
  ASSERT_TRUE(ParseJson(text, &parsed, &error)) << error;
  std::vector<uint8_t> back;
  ASSERT_TRUE(ProfileFromJson(parsed, &back, &error)) << error;
  ASSERT_EQ(back.size(), file.size());
  EXPECT_TRUE(back == file);
}

void Fix(std::vector<uint8_t>& file) {
  ProfileHeader h = HeaderFromBytes(std::span<const uint8_t, 32>(file.data(), 32));
  h.checksum = HeaderChecksum(h);
  const auto b = HeaderToBytes(h);
  std::copy(b.begin(), b.end(), file.begin());
}

TEST(ProfileJson, ProgramWrittenFilesComeBackByteForByte) {
  ExpectRoundTrip(DefaultProfileFile());
  ExpectRoundTrip(RichProfileFile());
}

TEST(ProfileJson, ReadableFormNamesWhatTheBytesNumber) {
  const std::string text = WriteJson(ToJson(RichProfileFile()));
  for (const char* expected : {
           R"({"key": "0x01E", "type": "SingleKey", "value": "0x02A"})",
           R"({"key": "0x030", "type": "Disabled"})",
           R"({"key": "0x147", "type": "Media", "value": 7})",
           R"({"gkey": "A1", "type": "PlayMacro", "code": "0x003", "value": 2})",
           R"({"gkey": "B9", "type": "StopMacro", "code": "0x1309"})",
           R"({"key": "0x010", "type": "PlayText", "text": "h\u00e9llo \"world\"\n"})",
           R"({"key": "0x011", "type": "LaunchProgram", "text": "/usr/bin/xterm"})",
           R"({"key": "0x01E", "direction": "press", "delay": 120})",
           R"({"key": "0x162", "direction": "press", "delay": 40000})",
           R"("name": "Macro м")",
       }) {
    std::string want = expected;
    // The writer keeps UTF-8 as it is.
    const size_t esc = want.find("\\u00e9");
    if (esc != std::string::npos) want.replace(esc, 6, "\xC3\xA9");
    EXPECT_NE(text.find(want), std::string::npos) << "missing " << want << " in\n" << text;
  }
  EXPECT_EQ(text.find("text_pool"), std::string::npos);
  EXPECT_EQ(text.find("\"raw\""), std::string::npos);
}

TEST(ProfileJson, WhatTheReadableFormCannotSayTravelsAsHex) {
  std::vector<uint8_t> file = RichProfileFile();
  // A macro with bytes after its name's terminator, an action past its count and an unpaired
  // surrogate in the other macro's name.
  const size_t m0 = kProfileImageSize;
  file[m0 + 2 * 20] = 0x55;
  file[m0 + 512 + 3 * 8] = 0x01;
  const size_t m1 = m0 + kMacroRecordSize;
  file[m1] = 0x00;
  file[m1 + 1] = 0xD8;
  ExpectRoundTrip(file);
  const std::string text = WriteJson(ToJson(file));
  size_t raws = 0;
  for (size_t at = text.find("\"raw\""); at != std::string::npos; at = text.find("\"raw\"", at + 1)) ++raws;
  EXPECT_EQ(raws, 2u);

  // A pool the program would not pack this way (the last text's terminator overwritten) is kept
  // as it stands.
  std::vector<uint8_t> pool_gap = RichProfileFile();
  pool_gap.back() = 0x7A;
  ExpectRoundTrip(pool_gap);
  EXPECT_NE(WriteJson(ToJson(pool_gap)).find("\"text_pool\""), std::string::npos);

  // Flag 1, reserved header fields, and bytes after the declared end.
  std::vector<uint8_t> odd = DefaultProfileFile();
  odd[30] = 1;
  odd[21] = 0x12;
  odd[29] = 0x34;
  Fix(odd);
  odd.push_back(0xAB);
  odd.push_back(0xCD);
  ExpectRoundTrip(odd);
  const std::string odd_text = WriteJson(ToJson(odd));
  EXPECT_NE(odd_text.find("\"flag\": 1"), std::string::npos);
  EXPECT_NE(odd_text.find("\"trailing\": \"abcd\""), std::string::npos);
  EXPECT_NE(odd_text.find("\"header_reserved\": [4608, 0, 13312]"), std::string::npos) << odd_text;
}

TEST(ProfileJson, FilesThatAreNotProfileFilesAreRefused) {
  std::string error;
  JsonValue json;
  std::vector<uint8_t> file = DefaultProfileFile();
  EXPECT_FALSE(ProfileToJson(std::span<const uint8_t>(file.data(), file.size() - 1), &json, &error));
  EXPECT_NE(error.find("shorter"), std::string::npos) << error;

  std::vector<uint8_t> bad_magic = file;
  bad_magic[0] ^= 1;
  Fix(bad_magic);
  EXPECT_FALSE(ProfileToJson(bad_magic, &json, &error));
  EXPECT_NE(error.find("magic"), std::string::npos) << error;

  std::vector<uint8_t> bad_sum = file;
  bad_sum[20] = 9;  // reserved byte changed, checksum not
  EXPECT_FALSE(ProfileToJson(bad_sum, &json, &error));
  EXPECT_NE(error.find("checksum"), std::string::npos) << error;

  // The header declares one macro that the file does not hold.
  const std::vector<uint8_t> rich = RichProfileFile();
  ASSERT_GT(rich.size(), kProfileImageSize + kMacroRecordSize);
  const std::vector<uint8_t> missing(rich.begin(), rich.end() - long(kMacroRecordSize));
  EXPECT_FALSE(ProfileToJson(missing, &json, &error));
  EXPECT_NE(error.find("shorter than its header says"), std::string::npos) << error;
}

// Each case: text to replace in the JSON of the rich file, its replacement, and the start of the
// error, which names the member.
TEST(ProfileJson, WrongMembersAreNamed) {
  const std::string base = WriteJson(ToJson(RichProfileFile()));
  struct Case {
    const char* from;
    const char* to;
    const char* error;
  } cases[] = {
      {"\"format\": \"orvane-profile\"", "\"format\": \"other\"", "format: expected"},
      {"\"version\": 1", "\"version\": 2", "version: 2 is out of range"},
      {"\"version\": 1", "\"colour\": 1, \"version\": 1", "colour: unknown member"},
      {"\"identity\": \"4b48", "\"identity\": \"4b", "identity: expected 32 bytes"},
      {"\"identity\": \"4b48", "\"identity\": \"zz48", "identity: not an even number of hex"},
      {"\"type\": \"Disabled\"", "\"type\": \"Off\"", "layers[0][1].type: unknown type \"Off\""},
      {"\"type\": \"Disabled\"", "\"type\": true", "layers[0][1].type: expected an integer"},
      {"{\"key\": \"0x030\"", "{\"key\": \"0x080\"", "layers[0][1].key: 0x080 is not a key code"},
      {"{\"key\": \"0x030\"", "{\"key\": \"0x01E\"", "layers[0][1]: entry 30 is listed twice"},
      {"{\"key\": \"0x030\"", "{\"key\": \"0x030\", \"index\": 5", "layers[0][1]: needs exactly one"},
      {"{\"key\": \"0x030\", \"type\": \"Disabled\"}", "{\"key\": \"0x030\", \"type\": \"Disabled\", \"text\": \"x\"}",
       "layers[0][1].text: only LaunchProgram and PlayText"},
      {"\"text\": \"/usr/bin/xterm\"", "\"text\": \"/usr/bin/xterm\", \"value\": 4", "layers[2][0]: gives both"},
      {"{\"gkey\": \"B9\"", "{\"gkey\": \"C9\"", "layers[0][20].gkey: \"C9\" is not a G key"},
      {"\"value\": \"0x02A\"", "\"value\": \"0x1FFFFFFFF\"", "layers[0][0].value: 8589934591 is out of range"},
      {"\"value\": \"0x02A\"", "\"value\": -1", "layers[0][0].value: -1 is out of range"},
      {"\"value\": \"0x02A\"", "\"value\": \"42\"", "layers[0][0].value: expected a number or"},
      {"\"value\": \"0x02A\"", "\"value\": 1.5", "layers[0][0].value: expected an integer"},
      {"\"cycles\": 2", "\"cycles\": 300", "macros[0].cycles: 300 is out of range 0..255"},
      {"\"cycles\": 2", "\"cycle\": 2", "macros[0].cycle: unknown member"},
      {"\"id\": 5,", "", "macros[1].id: missing"},
      {"\"direction\": \"release\"", "\"direction\": \"up\"", "macros[0].actions[1].direction: expected \"press\" or \"release\""},
      {"\"delay\": 40000", "\"delay\": 40000, \"speed\": 1", "macros[0].actions[2].speed: unknown member"},
      {"\"name\": \"second\"", "\"name\": 7", "macros[1].name: expected a string"},
      {"\"macros\": [", "\"macros\": {\"x\": [", "(never: not valid JSON)"},
  };
  for (const Case& c : cases) {
    std::string text = base;
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, std::strlen(c.from), c.to);
    JsonValue json;
    std::string error;
    if (!ParseJson(text, &json, &error)) {
      EXPECT_STREQ(c.error, "(never: not valid JSON)") << error;
      continue;
    }
    std::vector<uint8_t> out;
    EXPECT_FALSE(ProfileFromJson(json, &out, &error)) << c.to;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error << "\nwant: " << c.error;
  }
}

// The ranges the readable form promises; each fault names its member.
TEST(ProfileJson, ValuesOutsideWhatTheirTypeAllowsAreNamed) {
  const std::string base = WriteJson(ToJson(RichProfileFile()));
  struct Case {
    const char* from;
    const char* to;
    const char* error;
  } cases[] = {
      {"\"type\": \"Media\", \"value\": 7", "\"type\": \"Media\", \"value\": 18",
       "layers[0][2].value: 18 is out of range 0..17"},
      {"\"type\": \"Function\", \"value\": 10", "\"type\": \"Function\", \"value\": 11",
       "layers[1][0].value: 11 is out of range 0..10"},
      {"\"value\": \"0x02A\"", "\"value\": \"0x0FF\"", "layers[0][0].value: 0x0FF is not a key code"},
      {"\"value\": \"0x02A\"", "\"value\": \"0x201\"", "layers[0][0].value: 0x201 is not a key code"},
      {"\"type\": \"SingleKey\", \"value\": \"0x02A\"", "\"type\": \"SingleKey\"",
       "layers[0][0].value: 0x000 is not a key code"},
      {"\"code\": \"0x003\", \"value\": 2", "\"code\": \"0x003\", \"value\": 3",
       "layers[1][1].value: no macro of the file has id 3"},
      {"\"id\": 5,", "\"id\": 2,", "macros[1].id: 2 is the id of an earlier macro"},
      {"\"id\": 5,", "\"id\": 0,", "macros[1].id: 0 is out of range 1..100"},
      {"\"id\": 5,", "\"id\": 101,", "macros[1].id: 101 is out of range 1..100"},
  };
  for (const Case& c : cases) {
    std::string text = base;
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, std::strlen(c.from), c.to);
    JsonValue json;
    std::string error;
    ASSERT_TRUE(ParseJson(text, &json, &error, &ProfileJsonShape())) << error;
    std::vector<uint8_t> out;
    EXPECT_FALSE(ProfileFromJson(json, &out, &error)) << c.to;
    EXPECT_EQ(error, c.error);
  }
}

// Files the readable form cannot vouch for still travel whole: an entry whose value its type
// does not allow keeps its type as a number, a macro with a taken or impossible id goes raw.
TEST(ProfileJson, ValuesTheFormWouldRefuseTravelWithNumberedTypes) {
  std::vector<uint8_t> file = RichProfileFile();
  ProfileConfig config;
  ASSERT_TRUE(ParseProfileFile(file, config));
  *config.image->EntryAt(0, KeyIndexOf(0x147)) = {kActionMedia, 0, 18, 0, 0};
  *config.image->EntryAt(1, KeyIndexOf(0x03B)) = {kActionFunction, 0, 200, 0, 0};
  *config.image->EntryAt(1, KeyIndexOf(0x01E)) = {kActionSingleKey, 0, 0, 0, 0};
  *config.image->EntryAt(1, kGKeySetA) = {kActionPlayMacro, 3, 9, 0, 0};
  config.macros[1].id = 2;  // the first macro's id
  config.macros.push_back(config.macros[0]);
  config.macros.back().id = 0;
  file = *BuildProfileFileBytes(config);
  ExpectRoundTrip(file);
  const std::string text = WriteJson(ToJson(file));
  for (const char* expected : {R"({"key": "0x147", "type": 7, "value": 18})",
                               R"({"key": "0x03B", "type": 8, "value": 200})",
                               R"({"key": "0x01E", "type": 2})",
                               R"({"gkey": "A1", "type": 4, "code": "0x003", "value": 9})"})
    EXPECT_NE(text.find(expected), std::string::npos) << "missing " << expected << " in\n" << text;
  size_t raws = 0;
  for (size_t at = text.find("\"raw\""); at != std::string::npos; at = text.find("\"raw\"", at + 1)) ++raws;
  EXPECT_EQ(raws, 2u);
}

TEST(ProfileJson, TheShapeStopsAtTheFormsLimitsWhileParsing) {
  const std::string base = WriteJson(ToJson(RichProfileFile()));
  JsonValue json;
  std::string error;
  ASSERT_TRUE(ParseJson(base, &json, &error, &ProfileJsonShape())) << error;
  std::string many = "\"macros\": [";
  for (int i = 0; i < 5000; ++i) many += std::string(i ? "," : "") + "{}";
  std::string t = base;
  t.replace(t.find("\"macros\": ["), 11, many + ",");
  EXPECT_FALSE(ParseJson(t, &json, &error, &ProfileJsonShape()));
  EXPECT_EQ(error.rfind("macros: more than 100 macros (line ", 0), 0u) << error;
  t = base;
  t.replace(t.find("\"version\": 1"), 12, "\"version\": 1, \"junk\": [" + std::string(100000, '[') );
  EXPECT_FALSE(ParseJson(t, &json, &error, &ProfileJsonShape()));
  EXPECT_EQ(error.rfind("junk: unknown member", 0), 0u) << error;
  t = base;
  t.replace(t.find("\"name\": \"second\""), 16, "\"name\": \"" + std::string(250, 'n') + "\"");
  EXPECT_FALSE(ParseJson(t, &json, &error, &ProfileJsonShape()));
  EXPECT_EQ(error.rfind("macros[1].name: longer than 249 UTF-16 characters", 0), 0u) << error;
}

TEST(ProfileJson, LimitsOfTheFileFormatHold) {
  JsonValue json = ToJson(DefaultProfileFile());
  std::string text = WriteJson(json);
  std::string error;
  std::vector<uint8_t> out;

  std::string many = "\"macros\": [";
  for (int i = 0; i < 101; ++i)
    many += std::string(i ? "," : "") + "{\"id\": 1, \"name\": \"m\", \"cycles\": 1, \"actions\": []}";
  many += "]";
  std::string t = text;
  t.replace(t.find("\"macros\": []"), 12, many);
  ASSERT_TRUE(ParseJson(t, &json, &error)) << error;
  EXPECT_FALSE(ProfileFromJson(json, &out, &error));
  EXPECT_EQ(error, "macros: 101 macros, at most 100");

  t = text;
  t.replace(t.find("\"macros\": []"), 12,
            "\"macros\": [{\"id\": 1, \"name\": \"" + std::string(250, 'n') +
                "\", \"cycles\": 1, \"actions\": []}]");
  ASSERT_TRUE(ParseJson(t, &json, &error)) << error;
  EXPECT_FALSE(ProfileFromJson(json, &out, &error));
  EXPECT_EQ(error.rfind("macros[0].name: longer than 249", 0), 0u) << error;

  // An edited file gets a header that fits what it now holds.
  t = text;
  t.replace(t.find("\"macros\": []"), 12,
            "\"macros\": [{\"id\": 9, \"name\": \"new\", \"cycles\": 1, \"actions\": "
            "[{\"key\": 30, \"direction\": \"press\", \"delay\": 10}]}]");
  ASSERT_TRUE(ParseJson(t, &json, &error)) << error;
  ASSERT_TRUE(ProfileFromJson(json, &out, &error)) << error;
  ASSERT_EQ(out.size(), kProfileImageSize + kMacroRecordSize);
  EXPECT_EQ(CheckProfileHeader(std::span<const uint8_t, 32>(out.data(), 32)), HeaderCheck::kOk);
  ProfileConfig back;
  ASSERT_TRUE(ParseProfileFile(out, back));
  ASSERT_EQ(back.macros.size(), 1u);
  EXPECT_EQ(back.macros[0].id, 9);
  EXPECT_EQ(back.macros[0].actions[0], (MacroAction{10, 0x01E, kPress}));
}

// Any valid file, however odd its content, survives the round trip: random layers, macros and
// pools under a correct header (fixed seed, so a failure repeats).
TEST(ProfileJson, RandomValidFilesSurviveTheRoundTrip) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 40; ++round) {
    const uint16_t macros = static_cast<uint16_t>(rng() % 3);
    const uint32_t text_size = rng() % 3 == 0 ? 0 : rng() % 200;
    ProfileImage header_only;
    WriteProfileHeader(header_only, macros, text_size, static_cast<uint8_t>(rng() % 2));
    std::vector<uint8_t> file(kProfileImageSize + macros * kMacroRecordSize + text_size +
                              (rng() % 4 == 0 ? rng() % 9 : 0));
    for (uint8_t& b : file) b = static_cast<uint8_t>(rng() % 5 == 0 ? rng() : 0);
    // Some entries with text types pointing into the pool, so both text forms are exercised.
    for (int k = 0; k < 6; ++k) {
      const size_t at = 64 + (rng() % kTextSlotCount) * 16;
      file[at] = rng() % 2 ? 3 : 6;
      file[at + 1] = 0;
      file[at + 4] = static_cast<uint8_t>(text_size ? rng() % text_size : 0);
    }
    const auto h = HeaderToBytes(header_only.header);
    std::copy(h.begin(), h.end(), file.begin());
    ExpectRoundTrip(file);
  }
}

// Damaged JSON never crashes the reader; whatever it accepts converts back to the same JSON.
TEST(ProfileJson, MutatedJsonIsReadSafely) {
  const std::string base = WriteJson(ToJson(RichProfileFile()));
  std::mt19937 rng(99);
  const char alphabet[] = "{}[]\",:0123456789-xAZaz \\";
  int accepted = 0;
  for (int round = 0; round < 600; ++round) {
    std::string text = base;
    for (int m = 0; m < 1 + round % 2; ++m) {
      const size_t at = rng() % text.size();
      switch (rng() % 3) {
        case 0: text[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
        case 1: text.erase(at, 1 + rng() % 8); break;
        default: text.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
      }
    }
    JsonValue json;
    std::string error;
    if (!ParseJson(text, &json, &error)) continue;
    std::vector<uint8_t> file;
    if (!ProfileFromJson(json, &file, &error)) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    ++accepted;
    JsonValue again;
    ASSERT_TRUE(ProfileToJson(file, &again, &error)) << error;
    std::vector<uint8_t> file2;
    ASSERT_TRUE(ProfileFromJson(again, &file2, &error)) << error;
    EXPECT_TRUE(file == file2);
  }
  EXPECT_GT(accepted, 0);  // some mutations (inside strings, numbers) stay valid
}

TEST(DescriptorFile, ReadsRawBytesAndTheTextToolsPrint) {
  const std::vector<uint8_t> expected = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0xC0};
  std::vector<uint8_t> out;
  std::string error;
  auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };

  std::vector<uint8_t> raw = expected;
  ASSERT_TRUE(DescriptorBytesFromFile(raw, &out, &error));
  EXPECT_EQ(out, expected);

  for (const std::string& form : {
           std::string("05 01 09 06 a1 01 c0\n"),
           std::string("0x05, 0x01, 0x09, 0x06,\n0xA1, 0x01,\n0xC0"),
           std::string("# hid-tools\nR: 7 05 01 09 06 a1 01 c0\nN: Some keyboard\n"),
           std::string("00000000  05 01 09 06 a1 01 c0  |.......|\n00000007\n"),
           std::string("001:002:000:DESCRIPTOR         1.234\n 05 01 09 06 A1 01\n C0\n"),
       }) {
    ASSERT_TRUE(DescriptorBytesFromFile(text(form), &out, &error)) << form << ": " << error;
    EXPECT_EQ(out, expected) << form;
  }
  EXPECT_FALSE(DescriptorBytesFromFile(text("no hex here\n"), &out, &error));
  EXPECT_EQ(error, "no hex bytes found in the text");
}

}  // namespace
}  // namespace orvane
