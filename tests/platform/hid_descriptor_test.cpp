#include "platform/hid_descriptor.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/platform/hid_fake_backend.h"

namespace orvane {
namespace {

using test::descriptors::Concat;
using test::descriptors::kBootKeyboard;
using test::descriptors::kConsumer;
using test::descriptors::kMouse;
using test::descriptors::kVendor;

constexpr auto In = HidReportType::Input;
constexpr auto Out = HidReportType::Output;

HidDescriptor Parse(const std::vector<uint8_t>& d) {
  HidDescriptor out;
  std::string error;
  EXPECT_TRUE(ParseHidDescriptor(d.data(), d.size(), &out, &error)) << error;
  return out;
}

std::string Reject(const std::vector<uint8_t>& d) {
  HidDescriptor out;
  std::string error;
  EXPECT_FALSE(ParseHidDescriptor(d.data(), d.size(), &out, &error));
  EXPECT_TRUE(out.collections.empty());
  EXPECT_FALSE(error.empty());
  return error;
}

TEST(HidDescriptor, BootKeyboardCapsAndLengths) {
  const HidDescriptor d = Parse(kBootKeyboard);
  ASSERT_EQ(d.collections.size(), 1u);
  const HidCollectionInfo& c = d.collections[0];
  EXPECT_FALSE(d.uses_report_ids);
  EXPECT_EQ(c.usage_page, 0x01);
  EXPECT_EQ(c.usage, 0x06);
  // 8 data bytes in, 1 out, plus the (zero) report ID byte each.
  EXPECT_EQ(c.input_report_byte_length, 9);
  EXPECT_EQ(c.output_report_byte_length, 2);
  EXPECT_EQ(c.feature_report_byte_length, 0);

  ASSERT_EQ(c.Buttons(In).size(), 2u);
  const HidCap& mods = c.Buttons(In)[0];
  EXPECT_FALSE(mods.is_array);
  EXPECT_TRUE(mods.is_range);
  EXPECT_EQ(mods.usage_page, 0x07);
  EXPECT_EQ(mods.usage_min, 0xE0);
  EXPECT_EQ(mods.usage_max, 0xE7);
  EXPECT_EQ(mods.bit_offset, 0u);
  EXPECT_EQ(mods.bit_size, 1);
  EXPECT_EQ(mods.report_count, 8);
  const HidCap& keys = c.Buttons(In)[1];
  EXPECT_TRUE(keys.is_array);
  EXPECT_EQ(keys.usage_min, 0x00);
  EXPECT_EQ(keys.usage_max, 0x65);
  EXPECT_EQ(keys.bit_offset, 16u);  // after the modifiers and the constant byte
  EXPECT_EQ(keys.bit_size, 8);
  EXPECT_EQ(keys.report_count, 6);
  EXPECT_EQ(keys.logical_max, 0x65);
  EXPECT_TRUE(c.Values(In).empty());

  ASSERT_EQ(c.Buttons(Out).size(), 1u);
  EXPECT_EQ(c.Buttons(Out)[0].usage_page, 0x08);
  EXPECT_EQ(c.Buttons(Out)[0].usage_max, 0x05);
  EXPECT_EQ(HidMaxUsageListLength(c, In, 0x07), 14u);
  EXPECT_EQ(HidMaxUsageListLength(c, In, 0x09), 0u);
}

TEST(HidDescriptor, BootKeyboardPressedUsages) {
  const HidCollectionInfo c = Parse(kBootKeyboard).collections[0];
  // Left Shift + Right GUI, keys A and B; zero slots mean "no key".
  const uint8_t report[9] = {0, 0x82, 0, 0x04, 0x05, 0, 0, 0, 0};
  std::vector<uint16_t> usages;
  ASSERT_EQ(HidGetUsages(c, In, 0x07, report, sizeof report, 14, &usages), kHidStatusSuccess);
  EXPECT_EQ(usages, (std::vector<uint16_t>{0xE1, 0xE7, 0x04, 0x05}));

  // A list too short is filled as far as it goes.
  EXPECT_EQ(HidGetUsages(c, In, 0x07, report, sizeof report, 3, &usages), kHidStatusBufferTooSmall);
  EXPECT_EQ(usages.size(), 3u);
  // A report cut short of its fields is refused rather than read past.
  EXPECT_EQ(HidGetUsages(c, In, 0x07, report, 5, 14, &usages), kHidStatusInvalidReportLength);
  EXPECT_EQ(HidGetUsages(c, In, 0x0C, report, sizeof report, 14, &usages), kHidStatusUsageNotFound);
}

TEST(HidDescriptor, ConsumerSixteenBitArray) {
  const HidDescriptor d = Parse(kConsumer);
  const HidCollectionInfo& c = d.collections[0];
  EXPECT_TRUE(d.uses_report_ids);
  EXPECT_EQ(c.usage_page, 0x0C);
  EXPECT_EQ(c.usage, 0x01);
  EXPECT_EQ(c.input_report_byte_length, 3);
  ASSERT_EQ(c.Buttons(In).size(), 1u);
  EXPECT_EQ(c.Buttons(In)[0].report_id, 2);
  EXPECT_EQ(c.Buttons(In)[0].usage_max, 0x3FFF);
  EXPECT_EQ(c.Buttons(In)[0].logical_max, 0x3FFF);
  EXPECT_TRUE(c.HasReport(In, 2));
  EXPECT_FALSE(c.HasReport(In, 4));

  std::vector<uint16_t> usages;
  const uint8_t lighting[3] = {2, 0x01, 0x04};
  ASSERT_EQ(HidGetUsages(c, In, 0x0C, lighting, 3, 1, &usages), kHidStatusSuccess);
  EXPECT_EQ(usages, std::vector<uint16_t>{0x0401});
  const uint8_t release[3] = {2, 0, 0};
  ASSERT_EQ(HidGetUsages(c, In, 0x0C, release, 3, 1, &usages), kHidStatusSuccess);
  EXPECT_TRUE(usages.empty());
  // Index beyond the logical maximum: no control, not a usage.
  const uint8_t wild[3] = {2, 0xFF, 0xFF};
  ASSERT_EQ(HidGetUsages(c, In, 0x0C, wild, 3, 1, &usages), kHidStatusSuccess);
  EXPECT_TRUE(usages.empty());
  const uint8_t other_id[3] = {3, 0x01, 0x04};
  EXPECT_EQ(HidGetUsages(c, In, 0x0C, other_id, 3, 1, &usages), kHidStatusIncompatibleReportId);
}

TEST(HidDescriptor, MouseSignedValuesAndButtons) {
  const HidCollectionInfo c = Parse(kMouse).collections[0];
  EXPECT_EQ(c.usage, 0x02);
  EXPECT_EQ(c.input_report_byte_length, 5);
  ASSERT_EQ(c.Buttons(In).size(), 1u);
  ASSERT_EQ(c.Values(In).size(), 3u);  // X, Y and the wheel each their own capability
  EXPECT_EQ(c.Values(In)[2].usage_min, 0x38);
  EXPECT_EQ(c.Values(In)[2].bit_offset, 24u);
  EXPECT_EQ(c.Values(In)[0].logical_min, -127);
  EXPECT_FALSE(c.Values(In)[0].is_absolute);

  const uint8_t report[5] = {0, 0x05, 0xFF, 0x10, 0x81};
  std::vector<uint16_t> buttons;
  ASSERT_EQ(HidGetUsages(c, In, 0x09, report, 5, 3, &buttons), kHidStatusSuccess);
  EXPECT_EQ(buttons, (std::vector<uint16_t>{1, 3}));

  uint32_t raw = 0;
  int32_t scaled = 0;
  ASSERT_EQ(HidGetUsageValue(c, In, 0x01, 0x30, report, 5, &raw), kHidStatusSuccess);
  EXPECT_EQ(raw, 0xFFu);  // the raw bits, not sign-extended
  ASSERT_EQ(HidGetScaledUsageValue(c, In, 0x01, 0x30, report, 5, &scaled), kHidStatusSuccess);
  EXPECT_EQ(scaled, -1);
  ASSERT_EQ(HidGetScaledUsageValue(c, In, 0x01, 0x31, report, 5, &scaled), kHidStatusSuccess);
  EXPECT_EQ(scaled, 16);
  ASSERT_EQ(HidGetScaledUsageValue(c, In, 0x01, 0x38, report, 5, &scaled), kHidStatusSuccess);
  EXPECT_EQ(scaled, -127);
  // -128 lies outside -127..127.
  const uint8_t out_of_range[5] = {0, 0, 0x80, 0, 0};
  EXPECT_EQ(HidGetScaledUsageValue(c, In, 0x01, 0x30, out_of_range, 5, &scaled),
            kHidStatusValueOutOfRange);
  EXPECT_EQ(HidGetUsageValue(c, In, 0x01, 0x32, report, 5, &raw), kHidStatusUsageNotFound);
}

TEST(HidDescriptor, VendorCollectionWithReportId) {
  const HidCollectionInfo c = Parse(kVendor).collections[0];
  EXPECT_EQ(c.usage_page, 0xFF1C);
  EXPECT_EQ(c.usage, 0x92);
  EXPECT_EQ(c.input_report_byte_length, 64);
  EXPECT_EQ(c.output_report_byte_length, 64);
  ASSERT_EQ(c.Values(In).size(), 1u);
  EXPECT_EQ(c.Values(In)[0].report_count, 63);
  EXPECT_EQ(c.Values(In)[0].report_id, 4);
  EXPECT_TRUE(c.Buttons(In).empty());
}

TEST(HidDescriptor, MultiCollectionSplitsReportsById) {
  // Consumer (ID 2) and vendor (ID 4) in one descriptor, as the keyboard's second interface has.
  const HidDescriptor d = Parse(Concat({kConsumer, kVendor}));
  ASSERT_EQ(d.collections.size(), 2u);
  EXPECT_EQ(d.collections[0].usage_page, 0x0C);
  EXPECT_EQ(d.collections[0].input_report_byte_length, 3);
  EXPECT_EQ(d.collections[0].output_report_byte_length, 0);
  EXPECT_EQ(d.collections[1].usage_page, 0xFF1C);
  EXPECT_EQ(d.collections[1].input_report_byte_length, 64);
  EXPECT_EQ(d.collections[0].report_ids[0], std::vector<uint8_t>{2});
  EXPECT_EQ(d.collections[1].report_ids[0], std::vector<uint8_t>{4});
}

TEST(HidDescriptor, LengthIsLongestReportOfTheCollection) {
  // Two input reports in one collection: ID 1 with 2 bytes, ID 2 with 5 bytes.
  const std::vector<uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
                                  0x85, 0x01, 0x75, 0x08, 0x95, 0x02, 0x09, 0x01, 0x81, 0x02,
                                  0x85, 0x02, 0x95, 0x05, 0x09, 0x02, 0x81, 0x02, 0xC0};
  const HidCollectionInfo c = Parse(d).collections[0];
  EXPECT_EQ(c.input_report_byte_length, 6);
  EXPECT_EQ(c.Values(In)[1].bit_offset, 0u);  // offsets count per report ID
}

TEST(HidDescriptor, ScalingExtendedUsagesPushPopAndLongItems) {
  const std::vector<uint8_t> d = {
      0x0B, 0x01, 0x00, 0x01, 0x00,  // Usage (extended): Generic Desktop / Pointer
      0xA1, 0x01,
      0xFE, 0x02, 0x10, 0xAA, 0xBB,  // long item, skipped
      0x05, 0x09,                    // usage page Buttons, then overridden by extended usages
      0x15, 0x00, 0x26, 0xFF, 0x00, 0x35, 0x00, 0x46, 0xE8, 0x03,  // 0..255 -> 0..1000
      0x65, 0x11, 0x55, 0x0E,        // unit cm, exponent -2
      0xA4,                          // push
      0x75, 0x0C, 0x95, 0x02,        // 2 x 12 bit
      0x0B, 0x30, 0x00, 0x01, 0x00, 0x0B, 0x31, 0x00, 0x01, 0x00, 0x81, 0x02,
      0x15, 0x80,                    // changed inside the push...
      0xB4,                          // ...and restored by pop
      0x75, 0x08, 0x95, 0x01, 0x0B, 0x32, 0x00, 0x01, 0x00, 0x81, 0x02,  // Z, 8 bit
      0xC0};
  const HidCollectionInfo c = Parse(d).collections[0];
  EXPECT_EQ(c.usage_page, 0x01);
  EXPECT_EQ(c.usage, 0x01);
  ASSERT_EQ(c.Values(In).size(), 3u);
  const HidCap& x = c.Values(In)[0];
  EXPECT_EQ(x.usage_page, 0x01);
  EXPECT_EQ(x.physical_max, 1000);
  EXPECT_EQ(x.units, 0x11u);
  EXPECT_EQ(x.unit_exponent, -2);
  EXPECT_EQ(c.Values(In)[2].logical_min, 0);  // pop restored it
  EXPECT_EQ(c.Values(In)[2].bit_offset, 24u);
  EXPECT_EQ(c.input_report_byte_length, 5);

  // X = 0xABC is out of 0..255; Y = 0x080 crosses a byte boundary; Z = 255.
  const uint8_t report[5] = {0, 0xBC, 0x0A, 0x08, 0xFF};
  uint32_t raw = 0;
  int32_t scaled = 0;
  ASSERT_EQ(HidGetUsageValue(c, In, 0x01, 0x30, report, 5, &raw), kHidStatusSuccess);
  EXPECT_EQ(raw, 0xABCu);
  EXPECT_EQ(HidGetScaledUsageValue(c, In, 0x01, 0x30, report, 5, &scaled),
            kHidStatusValueOutOfRange);
  ASSERT_EQ(HidGetUsageValue(c, In, 0x01, 0x31, report, 5, &raw), kHidStatusSuccess);
  EXPECT_EQ(raw, 0x080u);
  ASSERT_EQ(HidGetScaledUsageValue(c, In, 0x01, 0x31, report, 5, &scaled), kHidStatusSuccess);
  EXPECT_EQ(scaled, 128 * 1000 / 255);
  ASSERT_EQ(HidGetScaledUsageValue(c, In, 0x01, 0x32, report, 5, &scaled), kHidStatusSuccess);
  EXPECT_EQ(scaled, 1000);
}

TEST(HidDescriptor, RejectsMalformedDescriptors) {
  Reject({});
  Reject({0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x26, 0xFF});   // truncated item
  Reject({0x05, 0x01, 0x09, 0x06, 0xA1, 0x01});               // missing End Collection
  Reject({0x05, 0x01, 0xC0});                                 // End Collection without one
  Reject({0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02});   // main item outside a collection
  Reject({0xA1, 0x01, 0x97, 0x01, 0x00, 0x01, 0x00, 0xC0});   // report count 65537
  Reject({0xA1, 0x01, 0x76, 0x01, 0x01, 0xC0});               // report size 257
  Reject({0xA1, 0x01, 0x85, 0x00, 0xC0});                     // report ID 0
  Reject({0xA1, 0x01, 0xB4, 0xC0});                           // pop without push
  Reject({0x0C, 0xA1, 0x01, 0xC0});                           // reserved item type
  Reject({0xA1, 0x01, 0xFE, 0x05, 0x00, 0x01, 0xC0});         // long item past the end
  Reject({0xA1, 0x01, 0x19, 0x10, 0x29, 0x01, 0xC0});         // usage maximum below minimum
  // Fields before the first report ID in a descriptor that uses IDs.
  Reject({0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x01, 0x85, 0x01, 0x81, 0x01, 0xC0});
  // 8,192 fields of 256 bits: far beyond any report length.
  Reject({0xA1, 0x01, 0x76, 0x00, 0x01, 0x96, 0x00, 0x20, 0x81, 0x01, 0xC0});

  std::vector<uint8_t> deep_push = {0xA1, 0x01};
  deep_push.insert(deep_push.end(), kHidMaxPushDepth + 1, 0xA4);
  deep_push.push_back(0xC0);
  Reject(deep_push);
  std::vector<uint8_t> deep_nest;
  for (size_t i = 0; i <= kHidMaxCollectionDepth; ++i) deep_nest.insert(deep_nest.end(), {0xA1, 0x00});
  deep_nest.insert(deep_nest.end(), kHidMaxCollectionDepth + 1, 0xC0);
  Reject(deep_nest);
  // Few bytes that would describe 40,960 value fields across five reports.
  std::vector<uint8_t> many_fields = {0xA1, 0x01, 0x75, 0x02, 0x96, 0x00, 0x20};
  for (uint8_t id = 1; id <= 5; ++id)
    many_fields.insert(many_fields.end(), {0x85, id, 0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x81, 0x02});
  many_fields.push_back(0xC0);
  EXPECT_EQ(Reject(many_fields), "too many fields");
  std::vector<uint8_t> huge(kHidMaxDescriptorBytes + 1, 0x00);  // zero bytes are size-0 items
  Reject(huge);
}

TEST(HidDescriptor, PaddingAndUsagelessFieldsGiveNoCaps) {
  const std::vector<uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
                                  0x75, 0x08, 0x95, 0x04, 0x81, 0x02,  // data, but no usage
                                  0x09, 0x01, 0x81, 0x03,              // constant with a usage
                                  0xC0};
  const HidCollectionInfo c = Parse(d).collections[0];
  EXPECT_TRUE(c.Values(In).empty());
  EXPECT_TRUE(c.Buttons(In).empty());
  EXPECT_EQ(c.input_report_byte_length, 9);  // but they still take their room
}

// Random bytes and random mutations of real descriptors must be parsed or refused, never read
// out of bounds (the sanitizer build checks that), and whatever parses must extract safely.
TEST(HidDescriptor, SurvivesRandomInput) {
  std::mt19937 rng(1234);
  const std::vector<uint8_t> seeds[] = {kBootKeyboard, kMouse, Concat({kConsumer, kVendor})};
  size_t parsed = 0;
  for (int i = 0; i < 20000; ++i) {
    std::vector<uint8_t> d;
    if (i % 2) {
      d.resize(rng() % 64);
      for (auto& b : d) b = static_cast<uint8_t>(rng());
    } else {
      d = seeds[i % 3];
      for (int m = 0; m < 3; ++m) d[rng() % d.size()] = static_cast<uint8_t>(rng());
      if (rng() % 4 == 0) d.resize(rng() % d.size());
    }
    HidDescriptor out;
    std::string error;
    if (!ParseHidDescriptor(d.data(), d.size(), &out, &error)) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    ++parsed;
    std::vector<uint8_t> report(1 + rng() % 80);
    for (auto& b : report) b = static_cast<uint8_t>(rng());
    for (const HidCollectionInfo& c : out.collections) {
      for (const HidCap& cap : c.Buttons(In)) {
        std::vector<uint16_t> usages;
        report[0] = cap.report_id;
        HidGetUsages(c, In, cap.usage_page, report.data(), report.size(), 64, &usages);
        EXPECT_LE(usages.size(), 64u);
      }
      for (const HidCap& cap : c.Values(In)) {
        uint32_t v;
        int32_t s;
        report[0] = cap.report_id;
        HidGetUsageValue(c, In, cap.usage_page, cap.usage_max, report.data(), report.size(), &v);
        HidGetScaledUsageValue(c, In, cap.usage_page, cap.usage_min, report.data(), report.size(), &s);
      }
    }
  }
  EXPECT_GT(parsed, 100u);  // the mutations must exercise the extraction paths too
}

}  // namespace
}  // namespace orvane
