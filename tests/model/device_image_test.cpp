// Key block encoding and decoding against the compiled-in default block, and the run-wide values.
#include "model/device_image.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "model/key_table.h"

namespace orvane {
namespace {

struct E3 {
  uint8_t kind, b1, b2;
  bool operator==(const E3&) const = default;
};
std::ostream& operator<<(std::ostream& os, const E3& e) {
  return os << int(e.kind) << ' ' << int(e.b1) << ' ' << int(e.b2);
}

E3 At(const KeyBlock& block, int p) {
  return {block[size_t(p) * 3], block[size_t(p) * 3 + 1], block[size_t(p) * 3 + 2]};
}
void Put(KeyBlock& block, int p, E3 e) {
  block[size_t(p) * 3] = e.kind;
  block[size_t(p) * 3 + 1] = e.b1;
  block[size_t(p) * 3 + 2] = e.b2;
}

// Position of the first default entry equal to e.
int PositionOf(E3 e) {
  for (int p = 0; p < kKeyBlockEntryCount; ++p)
    if (At(CompiledDefaultKeyBlock(), p) == e) return p;
  return -1;
}

MacroRecord Macro(uint16_t id) {
  MacroRecord m{};
  m.id = id;
  m.cycles = 1;
  return m;
}

class DeviceImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = std::make_unique<ProfileImage>();
    for (int layer = 0; layer < kLayerCount; ++layer) ClearLayer(*image_, layer);
  }
  KeyBlock Encode(int layer, std::span<const MacroRecord> macros = {}) {
    return EncodeKeyBlock(*image_, layer, macros, CompiledDefaultKeyBlock());
  }
  KeyAction& Entry(int layer, uint16_t code) { return *image_->EntryAt(layer, KeyIndexOf(code)); }

  std::unique_ptr<ProfileImage> image_;
  const int pos_a_ = PositionOf({2, 2, 0x04});  // the A key
};

TEST_F(DeviceImageTest, DefaultLayerEncodesToTheDefaultBlockItself) {
  EXPECT_EQ(Encode(0), CompiledDefaultKeyBlock());
  // Also with a block the keyboard supplied, where positions map to other keys.
  KeyBlock other = CompiledDefaultKeyBlock();
  Put(other, 7, {2, 2, 0x3A});
  Put(other, 8, {0, 0, 0});
  EXPECT_EQ(EncodeKeyBlock(*image_, 2, {}, other), other);
  // A layer outside 0-3 gives the defaults untouched instead of reading past the image.
  Entry(0, 0x01E) = {kActionDisabled};
  EXPECT_EQ(Encode(4), CompiledDefaultKeyBlock());
  EXPECT_EQ(Encode(-1), CompiledDefaultKeyBlock());
}

TEST_F(DeviceImageTest, SingleKeyForms) {
  ASSERT_GE(pos_a_, 0);
  struct Case {
    uint32_t value;
    E3 want;
  };
  const Case cases[] = {
      {0x02A, {2, 1, 0x02}},     // Left Shift
      {0x01D, {2, 1, 0x01}},     // Left Ctrl
      {0x15C, {2, 1, 0x80}},     // Right Win
      {0x01E, {2, 2, 0x04}},     // A
      {0x15E, {2, 2, 0x00}},     // Power: a system-control code has no keyboard usage
      {0x110, {2, 2, 0xD0}},     // Prev Track: a media key goes by its usage byte
      {0x122, {2, 2, KeyEntryOf(0x122)->usage}},
      {0x171, {1, 1, 1}},        {0x172, {1, 1, 2}}, {0x173, {1, 1, 4}},
      {0x161, {1, 5, 0x01}},     {0x162, {1, 5, 0xFF}},
      {0x7002A, {2, 1, 0x02}},   // only the key code part of the value counts
      {0x50171, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    Entry(1, 0x01E) = {kActionSingleKey, 0, c.value};
    EXPECT_EQ(At(Encode(1), pos_a_), c.want) << std::hex << c.value;
  }
}

TEST_F(DeviceImageTest, OtherTypesAndOutOfRangeValues) {
  const std::vector<MacroRecord> macros = {Macro(7), Macro(2), Macro(9)};
  struct Case {
    KeyAction action;
    E3 want;
  };
  const E3 def{2, 2, 0x04};
  const Case cases[] = {
      {{kActionDefault}, def},
      {{kActionDisabled, 0, 0x1234}, {0, 0, 0}},
      {{kActionLaunchProgram, 0, 4}, def},
      {{kActionPlayMacro, 0, 9}, {5, 1, 2}},  // third macro of the array
      {{kActionPlayMacro, 0, 50}, {5, 1, 0}},  // no such macro: position 0
      {{kActionStopMacro, 0, 3}, {5, 2, 0}},
      {{kActionPlayText, 0, 8}, {0, 0, 0}},
      {{kActionMedia, 0, 1}, {3, 0xCD, 0x00}},
      {{kActionMedia, 0, 18}, def},        // past the media table: left as the default
      {{kActionMedia, 0, 0xFFFFFFFF}, def},
      {{kActionFunction, 0, 0x306}, {5, 5, 0x06}},
      {{9, 0, 1}, def},                    // a type the keyboard has no form for
      {{0xFFFF, 0, 1}, def},
  };
  for (const Case& c : cases) {
    Entry(2, 0x01E) = c.action;
    const KeyBlock block = Encode(2, macros);
    EXPECT_EQ(At(block, pos_a_), c.want) << "type " << c.action.type << " value " << c.action.value;
    // Nothing else moves.
    KeyBlock rest = block;
    Put(rest, pos_a_, def);
    EXPECT_EQ(rest, CompiledDefaultKeyBlock());
  }
  // Every media index reaches the table's usage, little-endian.
  for (uint32_t k = 0; k < uint32_t(kMediaFunctionCount); ++k) {
    Entry(2, 0x01E) = {kActionMedia, 0, k};
    const uint16_t usage = MediaFunctions()[k].consumerUsage;
    EXPECT_EQ(At(Encode(2), pos_a_), (E3{3, uint8_t(usage), uint8_t(usage >> 8)}));
  }
}

TEST_F(DeviceImageTest, UnconfigurablePositionsNeverChange) {
  // Every entry of the layer disabled, G keys included: only positions naming a key change.
  for (int i = 0; i < kLayerEntries; ++i) *image_->EntryAt(0, i) = {kActionDisabled};
  const KeyBlock block = Encode(0);
  for (int p = 0; p < kKeyBlockEntryCount; ++p) {
    const E3 def = At(CompiledDefaultKeyBlock(), p);
    if (p < 6 || p == 53) {
      EXPECT_EQ(At(block, p), def) << p;  // G keys (05 00 00) and the stop position (05 02 02)
    } else {
      EXPECT_EQ(At(block, p), (E3{0, 0, 0})) << p;
    }
  }
  EXPECT_EQ(At(CompiledDefaultKeyBlock(), 53), (E3{5, 2, 2}));
}

TEST_F(DeviceImageTest, PositionsSharingAKeyFollowOneEntry) {
  // Positions 54 and 105 both default to usage 0x2E.
  Entry(3, KeyCodeOfDeviceUsage(kUsageKeyboard, 0x2E)) = {kActionStopMacro};
  const KeyBlock block = Encode(3);
  EXPECT_EQ(At(block, 54), (E3{5, 2, 0}));
  EXPECT_EQ(At(block, 105), (E3{5, 2, 0}));
}

TEST_F(DeviceImageTest, DecodeForms) {
  ASSERT_GE(pos_a_, 0);
  struct Case {
    E3 entry;
    uint16_t type;
    uint32_t value;
  };
  const Case cases[] = {
      {{5, 1, 2}, kActionPlayMacro, 3},
      {{5, 2, 0x77}, kActionStopMacro, 0},
      {{5, 5, 9}, kActionFunction, 9},
      {{5, 0, 0}, kActionDisabled, 0},
      {{5, 9, 9}, kActionDisabled, 0},
      {{3, 0xCD, 0x00}, kActionMedia, 1},
      {{3, 0x34, 0x12}, kActionDisabled, 0},  // not a media function
      {{1, 1, 2}, kActionSingleKey, 0x172},
      {{1, 5, 0xFF}, kActionSingleKey, 0x162},
      {{1, 1, 8}, kActionSingleKey, 0},       // a mouse form the keyboard does not define
      {{1, 9, 9}, kActionSingleKey, 0},
      {{2, 2, 0x05}, kActionSingleKey, 0x030},  // B
      {{2, 2, 0x00}, kActionDisabled, 0},     // usage 0 names no key
      {{2, 1, 0x02}, kActionSingleKey, 0x02A},
      {{2, 7, 0x06}, kActionSingleKey, 0x02A},  // any b1 but 2 is read as modifiers: lowest bit
      {{2, 1, 0x00}, kActionDisabled, 0},     // no modifier bit at all
      {{0, 0, 0}, kActionDisabled, 0},
      {{4, 0x81, 0}, kActionDisabled, 0},
      {{6, 0xA2, 3}, kActionDisabled, 0},
      {{0xFF, 0xFF, 0xFF}, kActionDisabled, 0},
  };
  for (const Case& c : cases) {
    KeyBlock block = CompiledDefaultKeyBlock();
    Put(block, pos_a_, c.entry);
    DecodeKeyBlock(block, *image_, 1, CompiledDefaultKeyBlock());
    const KeyAction& a = Entry(1, 0x01E);
    EXPECT_EQ(a.type, c.type) << c.entry;
    EXPECT_EQ(a.value, c.value) << c.entry;
  }
}

TEST_F(DeviceImageTest, DecodeClearsTheLayerAndTouchesNothingElse) {
  for (int layer = 0; layer < kLayerCount; ++layer)
    for (int i = 0; i < kLayerEntries; ++i) *image_->EntryAt(layer, i) = {kActionMedia, 1, 2, 3, 4};
  const ProfileImage before = *image_;
  DecodeKeyBlock(CompiledDefaultKeyBlock(), *image_, 2, CompiledDefaultKeyBlock());
  ProfileImage cleared = before;
  ClearLayer(cleared, 2);
  EXPECT_EQ(*image_, cleared);
  // Out of range: left alone.
  DecodeKeyBlock(CompiledDefaultKeyBlock(), *image_, 4, CompiledDefaultKeyBlock());
  DecodeKeyBlock(CompiledDefaultKeyBlock(), *image_, -1, CompiledDefaultKeyBlock());
  EXPECT_EQ(*image_, cleared);
  // Changes at positions that name no key are skipped (G keys, empty positions).
  KeyBlock block = CompiledDefaultKeyBlock();
  Put(block, 0, {5, 1, 4});
  Put(block, 120, {2, 2, 0x04});
  DecodeKeyBlock(block, *image_, 2, CompiledDefaultKeyBlock());
  EXPECT_EQ(*image_, cleared);
}

TEST_F(DeviceImageTest, EveryRepresentableAssignmentSurvivesEncodeThenDecode) {
  // Twelve macros so PlayMacro can point at any of them; ids are position + 1 as the keyboard
  // numbers them.
  std::vector<MacroRecord> macros;
  for (uint16_t id = 1; id <= 12; ++id) macros.push_back(Macro(id));
  std::mt19937 rng(1234);
  std::vector<uint16_t> keys = {0x01E, 0x030, 0x02A, 0x11D, 0x15C, 0x171, 0x173, 0x161, 0x162, 0x039, 0x14B};
  for (const MediaFunction& f : MediaFunctions()) keys.push_back(f.code);  // media keys as keys
  for (int layer = 0; layer < 3; ++layer) {
    for (int round = 0; round < 20; ++round) {
      for (int p = 0; p < kKeyBlockEntryCount; ++p) {
        const uint16_t code = KeyCodeOfBlockEntry(CompiledDefaultKeyBlock(), p);
        if (!code) continue;
        KeyAction a{};
        switch (rng() % 7) {
          case 0: a = {kActionDefault}; break;
          case 1: a = {kActionDisabled}; break;
          case 2: a = {kActionSingleKey, 0, keys[rng() % keys.size()]}; break;
          case 3: a = {kActionPlayMacro, 0, uint32_t(1 + rng() % 12)}; break;
          case 4: a = {kActionStopMacro}; break;
          case 5: a = {kActionMedia, 0, uint32_t(rng() % kMediaFunctionCount)}; break;
          default: a = {kActionFunction, 0, uint32_t(rng() % 256)}; break;
        }
        *image_->EntryAt(layer, KeyIndexOf(code)) = a;
      }
      const ProfileImage sent = *image_;
      DecodeKeyBlock(Encode(layer, macros), *image_, layer, CompiledDefaultKeyBlock());
      for (int i = 0; i < kLayerEntries; ++i) {
        KeyAction want = *sent.EntryAt(layer, i);
        // A key given its own code is sent as its default entry and so reads back as Default.
        if (want.type == kActionSingleKey && want.value == KeyCodeOf(i)) want = {kActionDefault};
        const KeyAction& got = *image_->EntryAt(layer, i);
        ASSERT_EQ(got.type, want.type) << "layer " << layer << " entry " << i;
        ASSERT_EQ(got.value, want.value) << "layer " << layer << " entry " << i;
      }
    }
  }
}

TEST(KeyboardFacts, DefaultBlockAndCapacity) {
  KeyboardFacts facts;
  EXPECT_EQ(facts.DefaultKeyBlock(), CompiledDefaultKeyBlock());
  EXPECT_EQ(facts.MacroCapacity(), 0u);
  KeyBlock keyboard = CompiledDefaultKeyBlock();
  Put(keyboard, 110, {2, 2, 0x3A});
  facts.SetDefaultKeyBlock(keyboard);
  EXPECT_EQ(facts.DefaultKeyBlock(), keyboard);
  EXPECT_EQ(KeyboardFacts().DefaultKeyBlock(), CompiledDefaultKeyBlock());  // each holder its own

  facts.SetMacroCapacity(255 * 128);
  EXPECT_EQ(facts.MacroCapacity(), 255u * 128);

  // Readers never see half of one block and half of another.
  KeyboardFacts shared;
  KeyBlock ones;
  ones.fill(1);
  std::atomic<bool> torn{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) shared.SetDefaultKeyBlock(i % 2 ? ones : CompiledDefaultKeyBlock());
  });
  for (int i = 0; i < 2000; ++i) {
    const KeyBlock b = shared.DefaultKeyBlock();
    if (b != ones && b != CompiledDefaultKeyBlock()) torn = true;
  }
  writer.join();
  EXPECT_FALSE(torn.load());
}

}  // namespace
}  // namespace orvane
