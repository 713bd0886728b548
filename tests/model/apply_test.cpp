// Apply, the configuration write and the keyboard read-back against the in-process simulated
// keyboard: full round trips, the capacity rules, the reports sent and the failure results.
#include "model/apply.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "model/device_image.h"
#include "model/key_table.h"
#include "model/macro.h"
#include "model/profile_file.h"
#include "tests/support/doubles.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/model/sim_keyboard_link.h"

namespace orvane {
namespace {

using testing_support::ConfigState;
using testing_support::SimKeyboardLink;

constexpr uint16_t kMacroIds[] = {5, 2, 9};

// A keyboard whose default block gives G keys positions of their own (06 A2 n), so that G-key
// entries of a layer take part in the round trip.
SimMemory KeyboardWithGKeys() {
  SimMemory m = SimMemory::Factory();
  const uint8_t g_numbers[] = {1, 2, 3, 4, 5, 6, 10, 18};
  const int positions[] = {0, 1, 2, 3, 4, 5, 6, 7};
  for (size_t i = 0; i < 8; ++i) {
    const size_t at = size_t(positions[i]) * 3;
    m.default_key_block[at] = 6;
    m.default_key_block[at + 1] = 0xA2;
    m.default_key_block[at + 2] = g_numbers[i];
  }
  for (auto& block : m.key_blocks) block = m.default_key_block;
  return m;
}

MacroRecord MakeMacro(uint16_t id, const std::u16string& name, int actions) {
  MacroRecord m{};
  m.id = id;
  m.cycles = uint8_t(id);
  SetMacroName(m, std::u16string_view(name));
  m.actionCount = uint16_t(actions);
  for (int i = 0; i < actions; ++i)
    m.actions[size_t(i)] = {uint32_t(10 * (i % 50)), uint16_t(0x010 + i % 20), uint16_t(i % 2)};
  return m;
}

// Layer indices some position of the block names.
std::set<int> ConfigurableIndices(const KeyBlock& defaults) {
  std::set<int> out;
  for (int p = 0; p < kKeyBlockEntryCount; ++p)
    if (uint16_t code = KeyCodeOfBlockEntry(defaults, p)) out.insert(KeyIndexOf(code));
  return out;
}

// Every entry type on every configurable key of every layer, texts for types 3 and 6, and
// three macros.
ProfileConfig FullConfig(const KeyBlock& defaults) {
  ProfileConfig c;
  c.image = std::make_unique<ProfileImage>();
  WriteDeviceIdentity(*c.image);
  for (int layer = 0; layer < kLayerCount; ++layer) ClearLayer(*c.image, layer);
  const uint16_t keys[] = {0x01E, 0x02A, 0x15C, 0x171, 0x162, 0x14B, 0x039};
  int n = 0;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    for (int index : ConfigurableIndices(defaults)) {
      KeyAction& a = *c.image->EntryAt(layer, index);
      const int k = n++;
      switch (k % 9) {
        case 0: a.type = kActionDefault; break;
        case 1: a.type = kActionDisabled; break;
        case 2: a.type = kActionSingleKey; a.value = keys[k % 7]; break;
        case 3:
          a.type = kActionLaunchProgram;
          c.texts.Set(layer * kLayerEntries + index, u"/usr/bin/true");
          break;
        case 4: a.type = kActionPlayMacro; a.value = kMacroIds[k % 3]; break;
        case 5: a.type = kActionStopMacro; break;
        case 6:
          a.type = kActionPlayText;
          c.texts.Set(layer * kLayerEntries + index, u"hello");
          break;
        case 7: a.type = kActionMedia; a.value = uint32_t(k % kMediaFunctionCount); break;
        default: a.type = kActionFunction; a.value = uint32_t(1 + k % 11); break;
      }
    }
  }
  c.macros = {MakeMacro(5, u"first", 30), MakeMacro(2, u"second", 3), MakeMacro(9, u"third", 0)};
  return c;
}

// What a layer written to the keyboard reads back as.
KeyAction Expected(const KeyAction& sent, int index, const std::vector<MacroRecord>& macros) {
  KeyAction want{};
  want.code = sent.code;
  if (sent.type == kActionSingleKey && sent.value == KeyCodeOf(index)) return want;  // itself
  switch (sent.type) {
    case kActionLaunchProgram: want.type = kActionDefault; break;  // never sent
    case kActionPlayText: want.type = kActionDisabled; break;      // sent as "nothing"
    case kActionPlayMacro:
      want.type = kActionPlayMacro;
      want.value = uint32_t(MacroPosition(macros, uint16_t(sent.value)) + 1);
      break;
    default:
      want.type = sent.type;
      want.value = sent.value;
  }
  return want;
}

class ApplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(link_.Connect());
    texts_.Set("TEXT", "MACRO_NEW_PREFIX", "Macro ");
    texts_.Set("TEXT", "EXTRA_MACRO_TOO_LONG", "too many macros");
    texts_.Set("TEXT", "EXTRA_PROFILE_SPACE_TIGHT", "names left out");
    char dir[] = "/tmp/orvane-apply-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    file_ = dir_ + "/keyboard.orv";
  }
  void TearDown() override {
    std::remove(file_.c_str());
    rmdir(dir_.c_str());
  }

  void Edit(ProfileConfig c) { state_.editing.Replace(std::move(c)); }
  int DoApply(bool all_layers) {
    auto lock = state_.editing.Acquire();
    return Apply(state_.Context(), all_layers, link_.Proto(), prompt_, texts_);
  }
  ProfileConfig ReadBack() {
    ProfileConfig back;
    EXPECT_EQ(BuildImageFromKeyboard(state_.keyboard, file_, link_.Proto(), texts_), 1);
    auto bytes = ReadWholeFile(file_);
    EXPECT_TRUE(bytes.has_value());
    if (bytes) {
      EXPECT_EQ(CheckProfileHeader(std::span<const uint8_t, 32>(bytes->data(), 32)), HeaderCheck::kOk);
      EXPECT_TRUE(ParseProfileFile(*bytes, back));
    }
    return back;
  }
  void SetCurrentProfile(uint8_t profile) {
    SimMemory m = link_.Keyboard().Memory();
    m.settings[kSimSettingsProfileByte] = profile;
    link_.Keyboard().SetMemory(m);
    link_.Proto().ClearProfileCache();
  }
  void ExpectLayerReadBack(const ProfileImage& sent, const ProfileConfig& back, int layer,
                           const std::vector<MacroRecord>& macros) {
    const std::set<int> configurable = ConfigurableIndices(state_.keyboard.DefaultKeyBlock());
    ProfileImage cleared{};
    ClearLayer(cleared, layer);
    for (int i = 0; i < kLayerEntries; ++i) {
      const KeyAction want = configurable.count(i) ? Expected(*sent.EntryAt(layer, i), i, macros)
                                                   : *cleared.EntryAt(layer, i);
      ASSERT_EQ(*back.image->EntryAt(layer, i), want) << "layer " << layer << " entry " << i;
    }
  }
  size_t Reports(size_t area_size, int key_blocks) {
    return 2 + (area_size + 55) / 56 + 7 * size_t(key_blocks);
  }

  ConfigState state_;
  SimKeyboardLink link_{state_.keyboard, KeyboardWithGKeys()};
  ScriptedPrompt prompt_;
  MapTextSource texts_;
  std::string dir_, file_;
};

TEST_F(ApplyTest, AllLayersRoundTripThroughTheKeyboard) {
  ProfileConfig config = FullConfig(state_.keyboard.DefaultKeyBlock());
  const ProfileImage sent = *config.image;
  const std::vector<MacroRecord> macros = config.macros;
  // The G keys of this keyboard are configurable: at least one is assigned something.
  ASSERT_TRUE(ConfigurableIndices(state_.keyboard.DefaultKeyBlock()).count(kGKeySetA));
  Edit(std::move(config));

  const size_t before = link_.Requests();
  ASSERT_EQ(DoApply(true), 1);
  // The fewest reports the format allows: bracket, macro area chunks, seven per key block.
  EXPECT_EQ(link_.Requests() - before, Reports(MacroAreaSizes(macros).withNames, 3));
  EXPECT_TRUE(prompt_.Shown().empty());

  const ProfileConfig back = ReadBack();
  ASSERT_TRUE(back.image);
  EXPECT_EQ(back.image->header.textSize, 0u);
  EXPECT_EQ(back.image->header.macroCount, 3);
  EXPECT_EQ(back.image->identity, kDeviceIdentity);
  for (int layer = 0; layer < 3; ++layer) ExpectLayerReadBack(sent, back, layer, macros);
  ProfileImage cleared{};
  ClearLayer(cleared, 3);
  for (int i = 0; i < kLayerEntries; ++i) EXPECT_EQ(*back.image->EntryAt(3, i), *cleared.EntryAt(3, i));
  // Macros come back by position, with their names, cycles and actions.
  ASSERT_EQ(back.macros.size(), 3u);
  for (size_t p = 0; p < 3; ++p) {
    EXPECT_EQ(back.macros[p].id, p + 1);
    EXPECT_EQ(MacroName(back.macros[p]), MacroName(macros[p]));
    EXPECT_EQ(back.macros[p].cycles, macros[p].cycles);
    ASSERT_EQ(back.macros[p].actionCount, macros[p].actionCount);
    for (int i = 0; i < macros[p].actionCount; ++i)
      EXPECT_EQ(back.macros[p].actions[size_t(i)], macros[p].actions[size_t(i)]);
  }
  for (int slot = 0; slot < kTextSlotCount; ++slot) ASSERT_EQ(back.texts.Text(slot), nullptr);

  // The applied instance holds the snapshot: fresh header, macros, packed texts.
  auto lock = state_.applied.Acquire();
  const ProfileConfig& applied = state_.applied.Config();
  ASSERT_TRUE(applied.image);
  EXPECT_EQ(applied.image->header.macroCount, 3);
  EXPECT_EQ(applied.packedTexts.size(), applied.image->header.textSize);
  EXPECT_GT(applied.packedTexts.size(), 0u);
  TextPool unpacked;
  ASSERT_TRUE(UnpackTexts(*applied.image, applied.packedTexts, unpacked));
  auto editing_lock = state_.editing.Acquire();
  EXPECT_EQ(unpacked, state_.editing.Config().texts);
}

TEST_F(ApplyTest, MediaKeysGivenAsKeysComeBackFromTheKeyboardAsThemselves) {
  ProfileConfig config;
  config.image = NewDefaultImage();
  const std::set<int> configurable = ConfigurableIndices(state_.keyboard.DefaultKeyBlock());
  const std::vector<int> indices(configurable.begin(), configurable.end());
  ASSERT_GE(indices.size(), size_t(kMediaFunctionCount));
  MacroRecord macro = MakeMacro(1, u"media", 0);
  for (int n = 0; n < kMediaFunctionCount; ++n) {
    const uint16_t code = MediaFunctions()[size_t(n)].code;
    ASSERT_EQ(DeviceUsageOf(code).kind, kUsageConsumer) << std::hex << code;
    *config.image->EntryAt(0, indices[size_t(n)]) = {kActionSingleKey, 0, code};
    macro.actions[macro.actionCount++] = {0, code, kPress};
  }
  config.macros = {macro};
  Edit(std::move(config));
  ASSERT_EQ(DoApply(true), 1);

  // In the key block each is the keyboard-usage form with the key's own usage byte ...
  const auto written = link_.Keyboard().Memory().key_blocks[0];
  for (int n = 0; n < kMediaFunctionCount; ++n) {
    const uint16_t code = MediaFunctions()[size_t(n)].code;
    for (int p = 0; p < kKeyBlockEntryCount; ++p) {
      if (KeyIndexOf(KeyCodeOfBlockEntry(state_.keyboard.DefaultKeyBlock(), p)) != indices[size_t(n)]) continue;
      EXPECT_EQ(written[size_t(p) * 3], 2) << std::hex << code;
      EXPECT_EQ(written[size_t(p) * 3 + 1], 2) << std::hex << code;
      EXPECT_EQ(written[size_t(p) * 3 + 2], KeyEntryOf(code)->usage) << std::hex << code;
    }
  }
  // ... and reads back as the same key; the macro's actions keep their consumer form.
  const ProfileConfig back = ReadBack();
  ASSERT_TRUE(back.image);
  ASSERT_EQ(back.macros.size(), 1u);
  ASSERT_EQ(back.macros[0].actionCount, kMediaFunctionCount);
  for (int n = 0; n < kMediaFunctionCount; ++n) {
    const uint16_t code = MediaFunctions()[size_t(n)].code;
    const KeyAction& got = *back.image->EntryAt(0, indices[size_t(n)]);
    EXPECT_EQ(got.type, kActionSingleKey) << std::hex << code;
    EXPECT_EQ(got.value, code);
    EXPECT_EQ(back.macros[0].actions[size_t(n)].keyCode, code);
    EXPECT_EQ(MacroKeyFormOf(code).kind, 3) << std::hex << code;
  }
}

TEST_F(ApplyTest, CurrentLayerOnlyWritesTheCurrentProfilesBlock) {
  SetCurrentProfile(1);
  ProfileConfig config = FullConfig(state_.keyboard.DefaultKeyBlock());
  const ProfileImage sent = *config.image;
  const std::vector<MacroRecord> macros = config.macros;
  Edit(std::move(config));

  const size_t before = link_.Requests();
  ASSERT_EQ(DoApply(false), 1);
  // One settings read for the current profile, then the write itself.
  EXPECT_EQ(link_.Requests() - before, 1 + Reports(MacroAreaSizes(macros).withNames, 1));
  const SimMemory memory = link_.Keyboard().Memory();
  EXPECT_EQ(memory.key_blocks[0], memory.default_key_block);
  EXPECT_EQ(memory.key_blocks[2], memory.default_key_block);
  EXPECT_EQ(memory.key_blocks[1], EncodeKeyBlock(sent, 1, macros, state_.keyboard.DefaultKeyBlock()));

  const ProfileConfig back = ReadBack();
  ASSERT_TRUE(back.image);
  ExpectLayerReadBack(sent, back, 1, macros);
  ProfileImage cleared{};
  ClearLayer(cleared, 0);
  for (int i = 0; i < kLayerEntries; ++i) ASSERT_EQ(*back.image->EntryAt(0, i), *cleared.EntryAt(0, i));
}

TEST_F(ApplyTest, OneLayerGoesIntoTheProfileOfItsNumberWhateverIsCurrent) {
  SetCurrentProfile(0);
  ProfileConfig config = FullConfig(state_.keyboard.DefaultKeyBlock());
  const ProfileImage sent = *config.image;
  const std::vector<MacroRecord> macros = config.macros;
  Edit(std::move(config));

  const size_t before = link_.Requests();
  {
    auto lock = state_.editing.Acquire();
    ASSERT_EQ(ApplyLayer(state_.Context(), 2, link_.Proto(), prompt_, texts_), 1);
  }
  // No settings read: the layer names its block.
  EXPECT_EQ(link_.Requests() - before, Reports(MacroAreaSizes(macros).withNames, 1));
  const SimMemory memory = link_.Keyboard().Memory();
  EXPECT_EQ(memory.key_blocks[0], memory.default_key_block);
  EXPECT_EQ(memory.key_blocks[1], memory.default_key_block);
  EXPECT_EQ(memory.key_blocks[2], EncodeKeyBlock(sent, 2, macros, state_.keyboard.DefaultKeyBlock()));
  // The plan of that write is what the keyboard now holds.
  auto lock = state_.applied.Acquire();
  std::optional<ConfigurationWrite> plan = PlanConfigurationWrite(state_.applied.Config(), {2}, state_.keyboard);
  ASSERT_TRUE(plan);
  ASSERT_EQ(plan->blocks.size(), 1u);
  EXPECT_EQ(plan->blocks[0].first, 2);
  EXPECT_EQ(plan->blocks[0].second, memory.key_blocks[2]);
  EXPECT_TRUE(std::equal(plan->area.begin(), plan->area.end(), memory.macro_area.begin()));
  // Layers outside 0-2 send nothing.
  const size_t after = link_.Requests();
  EXPECT_EQ(ApplyLayer(state_.Context(), 3, link_.Proto(), prompt_, texts_), 0);
  EXPECT_EQ(ApplyLayer(state_.Context(), -1, link_.Proto(), prompt_, texts_), 0);
  EXPECT_EQ(link_.Requests(), after);
  EXPECT_FALSE(PlanConfigurationWrite(state_.applied.Config(), {3}, state_.keyboard).has_value());
}

TEST_F(ApplyTest, CapacityDecidesNamesOrNothing) {
  ProfileConfig config = FullConfig(state_.keyboard.DefaultKeyBlock());
  const MacroAreaSize sizes = MacroAreaSizes(config.macros);
  ASSERT_LT(sizes.withoutNames, sizes.withNames);
  Edit(std::move(config));

  // Just large enough for names: written with them, no message.
  state_.keyboard.SetMacroCapacity(sizes.withNames);
  ASSERT_EQ(DoApply(true), 1);
  EXPECT_TRUE(prompt_.Shown().empty());
  EXPECT_EQ(MacroName(ReadBack().macros.at(1)), u"second");

  // One byte short for names: written without them, then the notice; still a success.
  state_.keyboard.SetMacroCapacity(sizes.withNames - 1);
  size_t before = link_.Requests();
  ASSERT_EQ(DoApply(true), 1);
  EXPECT_EQ(link_.Requests() - before, Reports(sizes.withoutNames, 3));
  ASSERT_EQ(prompt_.Shown().size(), 1u);
  EXPECT_EQ(prompt_.Shown()[0].text, "names left out");
  EXPECT_TRUE(prompt_.Shown()[0].topmost);
  EXPECT_EQ(prompt_.Shown()[0].buttons, PromptButtons::Ok);
  const ProfileConfig back = ReadBack();
  ASSERT_EQ(back.macros.size(), 3u);
  EXPECT_EQ(MacroName(back.macros[1]), u"Macro 2");
  EXPECT_EQ(back.macros[0].actionCount, 30);

  // Too small even without names: the notice, and nothing at all is sent.
  state_.keyboard.SetMacroCapacity(sizes.withoutNames - 1);
  const SimMemory memory_before = link_.Keyboard().Memory();
  before = link_.Requests();
  EXPECT_EQ(DoApply(true), 0);
  EXPECT_EQ(link_.Requests(), before);
  ASSERT_EQ(prompt_.Shown().size(), 2u);
  EXPECT_EQ(prompt_.Shown()[1].text, "too many macros");
  EXPECT_TRUE(prompt_.Shown()[1].topmost);
  EXPECT_EQ(link_.Keyboard().Memory().key_blocks, memory_before.key_blocks);
}

TEST_F(ApplyTest, NoCapacityYetRefusesEvenAnEmptyMacroList) {
  ProfileConfig config;
  config.image = std::make_unique<ProfileImage>();
  Edit(std::move(config));
  state_.keyboard.SetMacroCapacity(0);
  const size_t before = link_.Requests();
  EXPECT_EQ(DoApply(false), 0);
  EXPECT_EQ(link_.Requests(), before);
  ASSERT_EQ(prompt_.Shown().size(), 1u);
  EXPECT_EQ(prompt_.Shown()[0].text, "too many macros");
}

TEST_F(ApplyTest, FailedWritesAreReportedButDoNotStopTheOthers) {
  ProfileConfig config = FullConfig(state_.keyboard.DefaultKeyBlock());
  const ProfileImage sent = *config.image;
  const std::vector<MacroRecord> macros = config.macros;
  Edit(std::move(config));

  // The keyboard rejects the first macro area report (after BeginAccess): every key block is
  // still written, but the result says the write failed.
  SimFaults f;
  f.error_status_after = 1;
  f.error_status_count = 1;
  link_.Keyboard().SetFaults(f);
  EXPECT_EQ(DoApply(true), 0);
  link_.Keyboard().ClearFaults();
  SimMemory memory = link_.Keyboard().Memory();
  for (int n = 0; n < 3; ++n)
    EXPECT_EQ(memory.key_blocks[size_t(n)], EncodeKeyBlock(sent, n, macros, state_.keyboard.DefaultKeyBlock())) << n;

  // Key block 0 fails: blocks 1 and 2 are written all the same, and the result is 0 although the
  // last block succeeded.
  for (auto& block : memory.key_blocks) block = memory.default_key_block;
  link_.Keyboard().SetMemory(memory);
  const size_t area_reports = (MacroAreaSizes(macros).withNames + 55) / 56;
  f.error_status_after = int(1 + area_reports);
  link_.Keyboard().SetFaults(f);
  EXPECT_EQ(DoApply(true), 0);
  link_.Keyboard().ClearFaults();
  memory = link_.Keyboard().Memory();
  EXPECT_EQ(memory.key_blocks[0], memory.default_key_block);
  EXPECT_EQ(memory.key_blocks[1], EncodeKeyBlock(sent, 1, macros, state_.keyboard.DefaultKeyBlock()));
  EXPECT_EQ(memory.key_blocks[2], EncodeKeyBlock(sent, 2, macros, state_.keyboard.DefaultKeyBlock()));
  EXPECT_TRUE(prompt_.Shown().empty());
}

// Someone else has the keyboard (here another thread, in its own exchange) for longer than the
// write may wait: nothing is written, and the user is told the keyboard is busy.
TEST_F(ApplyTest, AKeyboardHeldElsewhereIsToldAndNothingIsWritten) {
  Edit(FullConfig(state_.keyboard.DefaultKeyBlock()));
  texts_.Set("TEXT", kTextKeyboardBusy, "keyboard busy");
  std::atomic<bool> holding{false}, release{false};
  std::thread holder([&] {
    CDeviceProtocol::Exchange exchange(link_.Proto());
    EXPECT_EQ(link_.Proto().TestCommand(), kResultOk);
    holding = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const size_t before = link_.Requests();
  EXPECT_EQ(DoApply(true), 0);
  EXPECT_EQ(link_.Requests(), before);
  release = true;
  holder.join();
  ASSERT_EQ(prompt_.Shown().size(), 1u);
  EXPECT_EQ(prompt_.Shown()[0].text, "keyboard busy");
  // Once it is free again, the write goes through.
  EXPECT_EQ(DoApply(true), 1);
}

TEST_F(ApplyTest, NoKeyboardOrNoUsableProfileSendsNothing) {
  Edit(FullConfig(state_.keyboard.DefaultKeyBlock()));
  // A current profile outside 0-2 has no key block: the single-layer write is refused.
  SetCurrentProfile(7);
  size_t before = link_.Requests();
  EXPECT_EQ(DoApply(false), 0);
  for (uint8_t command : link_.CommandsSince(before)) EXPECT_EQ(command, kCmdReadSettings);

  // The keyboard does not answer the settings read at all.
  SetCurrentProfile(0);
  SimFaults f;
  f.no_reply = -1;
  link_.Keyboard().SetFaults(f);
  before = link_.Requests();
  EXPECT_EQ(DoApply(false), 0);
  link_.Keyboard().ClearFaults();
  for (uint8_t command : link_.CommandsSince(before)) EXPECT_EQ(command, kCmdReadSettings);

  // No keyboard: the result is 0 and no message of its own.
  link_.Proto().SetOpen(false);
  before = link_.Requests();
  EXPECT_EQ(DoApply(true), 0);
  EXPECT_EQ(link_.Requests(), before);
  EXPECT_TRUE(prompt_.Shown().empty());

  // No editing image: nothing to apply.
  link_.Proto().SetOpen(true);
  state_.editing.Discard();
  EXPECT_EQ(DoApply(true), 0);
  EXPECT_EQ(link_.Requests(), before);
}

TEST_F(ApplyTest, ReadBackFailsAsAWholeAndLeavesTheFileAlone) {
  ASSERT_TRUE(WriteFileAtomic(file_, std::string("previous")));
  for (int fail_after : {1, 3, 22}) {  // settings, a key block, the macro area
    link_.Proto().ClearProfileCache();
    SimFaults f;
    f.error_status_after = fail_after;
    f.error_status_count = -1;
    link_.Keyboard().SetFaults(f);
    EXPECT_EQ(BuildImageFromKeyboard(state_.keyboard, file_, link_.Proto(), texts_), 0) << fail_after;
    link_.Keyboard().ClearFaults();
    EXPECT_EQ(ReadTextFile(file_).value_or(""), "previous");
  }
}

TEST_F(ApplyTest, DamagedMacroAreaHeadersReadBackSafely) {
  struct Case {
    uint16_t size, count;
  };
  for (Case c : {Case{4, 300}, Case{16, 3}, Case{0xFFFF, 2}, Case{200, 100}}) {
    SimMemory m = link_.Keyboard().Memory();
    std::fill(m.macro_area.begin(), m.macro_area.end(), 0xEE);
    m.macro_area[0] = 0xAA;
    m.macro_area[1] = 0x55;
    m.macro_area[2] = uint8_t(c.size);
    m.macro_area[3] = uint8_t(c.size >> 8);
    m.macro_area[4] = uint8_t(c.count);
    m.macro_area[5] = uint8_t(c.count >> 8);
    link_.Keyboard().SetMemory(m);
    std::remove(file_.c_str());
    const int result = BuildImageFromKeyboard(state_.keyboard, file_, link_.Proto(), texts_);
    if (result == 0) {
      EXPECT_FALSE(FileExists(file_));  // e.g. the keyboard refused a read past its area
      continue;
    }
    auto bytes = ReadWholeFile(file_);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(CheckProfileHeader(std::span<const uint8_t, 32>(bytes->data(), 32)), HeaderCheck::kOk);
    ProfileConfig back;
    ASSERT_TRUE(ParseProfileFile(*bytes, back));
    EXPECT_EQ(back.macros.size(), std::min<size_t>(c.count, 100));
    EXPECT_EQ(bytes->size(), kProfileImageSize + back.macros.size() * kMacroRecordSize);
  }
}

}  // namespace
}  // namespace orvane
