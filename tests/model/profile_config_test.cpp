#include "model/profile_config.h"
#include "model/profile_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

namespace orvane {
namespace {

std::unique_ptr<ProfileImage> NewImage() { return std::make_unique<ProfileImage>(); }

TEST(ProfileImage, HeaderBytes) {
  auto image = NewImage();
  image->header.reserved1 = 0xDEADBEEF;  // rewritten as 0
  WriteProfileHeader(*image, 2, 28, 0);
  auto b = HeaderToBytes(image->header);
  const uint32_t total = 2 * 16512 + 28 + 32832;
  const std::array<uint8_t, 31> expected = {
      0x46, 0x44, 32, 0, 3, 0, 1, 0, uint8_t(total), uint8_t(total >> 8), uint8_t(total >> 16),
      uint8_t(total >> 24), 0x00, 0x08, 2, 0, 28, 0, 0, 0};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), b.begin()));
  EXPECT_EQ(b[31], uint8_t(std::accumulate(b.begin(), b.begin() + 31, 0u)));
  EXPECT_EQ(HeaderFromBytes(b), image->header);
}

TEST(ProfileImage, ByteLayoutIsLittleEndianAtTheDocumentedOffsets) {
  auto image = NewImage();
  WriteProfileHeader(*image, 0, 0, 0);
  WriteDeviceIdentity(*image);
  *image->EntryAt(1, 5) = KeyAction{kActionPlayText, 0x1234, 0x89ABCDEF, 0, 0};
  *image->EntryAt(3, 511) = KeyAction{kActionMedia, 0, 17, 0, 0};
  std::vector<uint8_t> bytes = ImageToBytes(*image);
  ASSERT_EQ(bytes.size(), 32832u);
  const size_t at = 64 + 8192 + 5 * 16;
  EXPECT_EQ(bytes[at], 6);
  EXPECT_EQ(bytes[at + 2], 0x34);
  EXPECT_EQ(bytes[at + 3], 0x12);
  EXPECT_EQ(bytes[at + 4], 0xEF);
  EXPECT_EQ(bytes[at + 7], 0x89);
  EXPECT_EQ(bytes[64 + 3 * 8192 + 511 * 16], 7);
  EXPECT_EQ(bytes[32 + 16], 0x45);  // vendor id 0x0C45
  EXPECT_EQ(bytes[32 + 19], 0x76);  // product id 0x7650
  EXPECT_EQ(bytes[32 + 20], 0x4F);

  ProfileImage back;
  ASSERT_TRUE(ImageFromBytes(bytes, back));
  EXPECT_EQ(back, *image);
  EXPECT_FALSE(ImageFromBytes(std::span(bytes).first(32831), back));
}

TEST(ProfileFile, PartsMissingFromAShortFileAreNamed) {
  ProfileImage image;
  WriteProfileHeader(image, 5, 28, 0);
  const ProfileHeader& h = image.header;
  const uint64_t full = DeclaredProfileFileSize(h);
  EXPECT_EQ(MissingProfileParts(h, full), "");
  EXPECT_EQ(MissingProfileParts(h, full + 100), "");
  EXPECT_EQ(MissingProfileParts(h, full - 6), "the last 6 of the text pool's 28 bytes");
  EXPECT_EQ(MissingProfileParts(h, kProfileImageSize + 5 * kMacroRecordSize), "the text pool (28 bytes)");
  // A record cut short counts as missing.
  EXPECT_EQ(MissingProfileParts(h, kProfileImageSize + 4 * kMacroRecordSize + 100),
            "macro 5 of 5 and the text pool (28 bytes)");
  EXPECT_EQ(MissingProfileParts(h, kProfileImageSize + 3 * kMacroRecordSize),
            "macros 4 to 5 of 5 and the text pool (28 bytes)");
  EXPECT_EQ(MissingProfileParts(h, kProfileImageSize), "macros 1 to 5 of 5 and the text pool (28 bytes)");
  WriteProfileHeader(image, 0, 0, 0);
  EXPECT_EQ(MissingProfileParts(image.header, kProfileImageSize), "");
}

TEST(ProfileImage, EntryAtBounds) {
  auto image = NewImage();
  EXPECT_EQ(image->EntryAt(0, 0), &image->entries[0]);
  EXPECT_EQ(image->EntryAt(3, 511), &image->entries[2047]);
  EXPECT_EQ(image->EntryAt(4, 0), nullptr);
  EXPECT_EQ(image->EntryAt(-1, 0), nullptr);
  EXPECT_EQ(image->EntryAt(0, 512), nullptr);
}

TEST(ProfileImage, ClearLayerLeavesOnlyTheGKeyCodes) {
  auto image = NewImage();
  for (KeyAction& e : image->entries) e = KeyAction{2, 9, 9, 9, 9};
  ClearLayer(*image, 2);
  for (int i = 0; i < kLayerEntries; ++i) {
    KeyAction expected{};
    if (i >= 256 && i <= 264) expected.code = uint16_t(0x301 + i - 256);
    if (i >= 265 && i <= 273) expected.code = uint16_t(0x1301 + i - 265);
    EXPECT_EQ(*image->EntryAt(2, i), expected) << i;
  }
  EXPECT_EQ(image->EntryAt(1, 0)->type, 2);  // other layers untouched
  EXPECT_EQ(image->EntryAt(3, 511)->type, 2);
  ClearLayer(*image, 4);  // ignored
}

TEST(TextPool, TotalFollowsSlots) {
  TextPool pool;
  EXPECT_TRUE(pool.Set(0, u"abcde"));
  EXPECT_TRUE(pool.Set(2047, u""));
  EXPECT_EQ(pool.Total(), 12u + 2u);
  EXPECT_TRUE(pool.Set(0, std::u16string(u"ab\0cd", 5)));  // cut at the zero
  EXPECT_EQ(*pool.Text(0), u"ab");
  EXPECT_EQ(pool.Total(), 6u + 2u);
  pool.Clear(2047);
  EXPECT_EQ(pool.Total(), 6u);
  EXPECT_FALSE(pool.Set(2048, u"x"));
  EXPECT_EQ(pool.Text(-1), nullptr);
  pool.ClearAll();
  EXPECT_EQ(pool.Total(), 0u);
  EXPECT_EQ(pool.Text(0), nullptr);
}

TEST(TextPool, PackingOffsetsAndSkips) {
  auto image = NewImage();
  TextPool pool;
  image->entries[3] = KeyAction{kActionPlayText, 0, 999, 0, 0};
  image->entries[600] = KeyAction{kActionPlayText, 0, 999, 0, 0};
  image->entries[700] = KeyAction{kActionSingleKey, 0, 0x1E, 0, 0};  // text but wrong type
  pool.Set(3, u"hello");       // 12 bytes
  pool.Set(600, u"goodbye");   // 16 bytes
  pool.Set(700, u"ignored");
  pool.Set(800, u"no entry type");  // entry type 0
  WriteProfileHeader(*image, 0, 28, 0);
  std::vector<uint8_t> packed = PackTexts(*image, pool);
  ASSERT_EQ(packed.size(), 28u);
  EXPECT_EQ(image->entries[3].value, 0u);
  EXPECT_EQ(image->entries[600].value, 12u);
  EXPECT_EQ(image->entries[700].value, 0x1Eu);
  EXPECT_EQ(packed[0], 'h');
  EXPECT_EQ(packed[1], 0);
  EXPECT_EQ(packed[10], 0);  // terminator
  EXPECT_EQ(packed[12], 'g');
  EXPECT_EQ(packed[26], 0);

  // A text that would pass the pool's size is skipped; the ones after it are still packed.
  auto image2 = NewImage();
  TextPool pool2;
  image2->entries[0] = KeyAction{kActionLaunchProgram, 0, 77, 0, 0};
  image2->entries[1] = KeyAction{kActionPlayText, 0, 77, 0, 0};
  image2->entries[2] = KeyAction{kActionPlayText, 0, 77, 0, 0};
  pool2.Set(0, u"abc");        // 8
  pool2.Set(1, u"too long!");  // 20
  pool2.Set(2, u"xy");         // 6
  WriteProfileHeader(*image2, 0, 16, 0);
  std::vector<uint8_t> packed2 = PackTexts(*image2, pool2);
  EXPECT_EQ(image2->entries[0].value, 0u);
  EXPECT_EQ(image2->entries[1].value, 77u);
  EXPECT_EQ(image2->entries[2].value, 8u);
  EXPECT_EQ(packed2[8], 'x');

  // A buffer smaller than the header claims is never overrun.
  std::vector<uint8_t> small(10);
  EXPECT_EQ(PackTexts(*image2, pool2, small), 8u);
}

TEST(TextPool, UnpackRoundTripAndDamagedValues) {
  auto image = NewImage();
  TextPool pool;
  image->entries[10] = KeyAction{kActionLaunchProgram, 0, 0, 0, 0};
  image->entries[1500] = KeyAction{kActionPlayText, 0, 0, 0, 0};
  pool.Set(10, u"/usr/bin/prog");
  pool.Set(1500, u"Привет");
  WriteProfileHeader(*image, 0, pool.Total(), 0);
  std::vector<uint8_t> packed = PackTexts(*image, pool);
  TextPool back;
  back.Set(5, u"stale");
  ASSERT_TRUE(UnpackTexts(*image, packed, back));
  EXPECT_EQ(back, pool);

  // value outside the buffer: no text; odd value: rounded down; missing terminator: cut at the end.
  auto damaged = NewImage();
  damaged->entries[0] = KeyAction{kActionPlayText, 0, 1000, 0, 0};
  damaged->entries[1] = KeyAction{kActionPlayText, 0, 3, 0, 0};
  damaged->entries[2] = KeyAction{kActionLaunchProgram, 0, 0xFFFFFFFF, 0, 0};
  damaged->entries[3] = KeyAction{kActionSingleKey, 0, 0, 0, 0};
  const std::vector<uint8_t> bytes = {'a', 0, 'b', 0, 'c', 0, 0, 0, 'd', 0, 'e'};
  TextPool out;
  ASSERT_TRUE(UnpackTexts(*damaged, bytes, out));
  EXPECT_EQ(out.Text(0), nullptr);
  ASSERT_NE(out.Text(1), nullptr);
  EXPECT_EQ(*out.Text(1), u"bc");
  EXPECT_EQ(out.Text(2), nullptr);
  EXPECT_EQ(out.Text(3), nullptr);
  damaged->entries[0].value = 8;
  ASSERT_TRUE(UnpackTexts(*damaged, bytes, out));
  EXPECT_EQ(*out.Text(0), u"d");
  EXPECT_EQ(out.Total(), 4u + 6u);
}

TEST(ProfileConfig, MacroPositionOfAMissingIdIsZero) {
  std::vector<MacroRecord> macros(3);
  macros[0].id = 7;
  macros[1].id = 2;
  macros[2].id = 9;
  EXPECT_EQ(MacroPosition(macros, 9), 2);
  EXPECT_EQ(MacroPosition(macros, 7), 0);
  EXPECT_EQ(MacroPosition(macros, 5), 0);
  EXPECT_EQ(MacroPosition(std::span<const MacroRecord>(), 1), 0);
}

TEST(ProfileInstance, ReplaceDiscardAndCopy) {
  ProfileInstance instance;
  ProfileConfig config;
  config.image = NewImage();
  config.image->entries[4].type = kActionDisabled;
  config.macros.resize(2);
  config.macros[1].id = 42;
  config.texts.Set(4, u"t");
  instance.Replace(config.Copy());
  EXPECT_EQ(MacroPosition(instance, 42), 1);

  // The copy is deep: changing the original leaves the instance alone.
  config.image->entries[4].type = kActionMedia;
  {
    auto lock = instance.Acquire();
    EXPECT_EQ(instance.Config().image->entries[4].type, kActionDisabled);
    EXPECT_EQ(instance.Config().texts.Total(), 4u);
  }
  instance.Discard();
  auto lock = instance.Acquire();
  EXPECT_EQ(instance.Config().image, nullptr);
  EXPECT_TRUE(instance.Config().macros.empty());
  EXPECT_EQ(instance.Config().texts.Total(), 0u);
}

TEST(ProfileInstance, LockIsReentrantAndExcludesOtherThreads) {
  ProfileInstance editing;
  auto outer = editing.Acquire();
  auto inner = editing.Acquire();  // re-entered by the same thread
  std::atomic<bool> other_got_it{true};
  std::thread([&] {
    other_got_it = editing.Mutex().try_lock();
    if (other_got_it) editing.Mutex().unlock();
  }).join();
  EXPECT_FALSE(other_got_it);
}

}  // namespace
}  // namespace orvane
