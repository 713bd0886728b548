#include "model/lighting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "model/key_table.h"
#include "model/lighting_run.h"
#include "tests/model/sim_keyboard_link.h"
#include "ui/layout/control_ids.h"

namespace orvane {
namespace {

using K = LightingStepKind;

const LightingStep kBegin{K::BeginAccess, 0, 0, {}};
const LightingStep kEnd{K::EndAccess, 0, 0, {}};

std::array<uint8_t, kSettingsBytes> SettingsOffering(std::initializer_list<uint8_t> modes) {
  std::array<uint8_t, kSettingsBytes> s{};
  std::copy(modes.begin(), modes.end(), s.begin() + 16);
  return s;
}

LightingState StateOffering(std::initializer_list<uint8_t> modes, int profile) {
  LightingState state;
  const auto settings = SettingsOffering(modes);
  state.TakeSettings(std::span<const uint8_t, kSettingsBytes>(settings));
  state.SetProfile(profile);
  return state;
}

int Button(uint16_t key_code) { return ButtonOfKeyCode(key_code); }
constexpr uint16_t kKeyW = 0x011, kKeyA = 0x01E, kKeyS = 0x01F, kKeyD = 0x020, kKeyF6 = 0x040;

TEST(LightingRecord, DecodingClampsReportRateToolAndUserMode) {
  LightingRecord r;
  r.bytes[0] = 27; r.bytes[1] = 12; r.bytes[2] = 3; r.bytes[3] = 2; r.bytes[4] = 255;
  r.bytes[15] = 3; r.bytes[16] = 1;
  LightingValues v = DecodeLighting(r);
  EXPECT_EQ(v, (LightingValues{27, 12, 3, 2, 255, 3, 1}));
  r.bytes[15] = 4; r.bytes[16] = 2; r.bytes[3] = 3;
  v = DecodeLighting(r);
  EXPECT_EQ(v.report_rate, 3);
  EXPECT_EQ(v.paint_tool, 0);
  EXPECT_EQ(v.user_mode, 0);  // a fourth mask would run past the page
  r.bytes[15] = 0xFF; r.bytes[16] = 0xFF;
  v = DecodeLighting(r);
  EXPECT_EQ(v.report_rate, 3);
  EXPECT_EQ(v.paint_tool, 0);
}

TEST(LightingModes, OfferedModesSkipZeroAndSixteenAndTell254) {
  LightingState state = StateOffering({1, 16, 0, 5, 254}, 0);
  EXPECT_EQ(state.Modes(), (std::vector<uint8_t>{1, 5, 254}));
  EXPECT_TRUE(state.HasColourPages());
  // The last slot counts too; without 254 there are no pages.
  auto settings = SettingsOffering({3});
  settings[47] = 9;
  state.TakeSettings(std::span<const uint8_t, kSettingsBytes>(settings));
  EXPECT_EQ(state.Modes(), (std::vector<uint8_t>{3, 9}));
  EXPECT_FALSE(state.HasColourPages());
  // A failed read empties the list.
  state.TakeSettings(std::nullopt);
  EXPECT_TRUE(state.Modes().empty());
  EXPECT_FALSE(state.HasColourPages());
}

TEST(LightingModes, VisibilityByMode) {
  const LightingVisibility m7 = VisibilityOfMode(7), m27 = VisibilityOfMode(27);
  EXPECT_FALSE(m7.speed);
  EXPECT_FALSE(m7.direction);
  EXPECT_TRUE(m27.speed);
  EXPECT_TRUE(m27.direction);
  const LightingVisibility per_key = VisibilityOfMode(kModePerKey);
  EXPECT_TRUE(per_key.user_mode && per_key.brightness && !per_key.speed && !per_key.direction);
  EXPECT_FALSE(m27.user_mode);
  EXPECT_TRUE(VisibilityOfMode(15).direction && VisibilityOfMode(16).direction);
  EXPECT_FALSE(VisibilityOfMode(14).direction);
  EXPECT_FALSE(VisibilityOfMode(25).speed || VisibilityOfMode(5).speed);
  EXPECT_FALSE(VisibilityOfMode(0).mode_combo);
  EXPECT_FALSE(VisibilityOfMode(29).mode_combo);
  EXPECT_TRUE(VisibilityOfMode(28).mode_combo);
}

TEST(LightingPage, DefaultPageLightsWasdInUserModeZeroAndMatchesItsBytes) {
  const auto& page = DefaultColourPage();
  std::set<int> lit;
  for (int n = 0; n < int(kKeyMaskBytes * 8); ++n)
    if (MaskBit(page, 0, n)) lit.insert(n);
  std::set<int> wasd;
  for (uint16_t k : {kKeyW, kKeyA, kKeyS, kKeyD}) wasd.insert(LightOfButton(Button(k)));
  EXPECT_EQ(lit, wasd);
  // Every byte that is not zero, by offset.
  const std::vector<std::pair<int, uint8_t>> golden = {
      {1, 0x08},   {2, 0x0C},   {3, 0x08},   {63, 0x25},  {64, 0x0A},  {65, 0x1E},
      {66, 0x3A},  {67, 0x1A},  {68, 0x12},  {69, 0x02},  {72, 0x08},  {81, 0x19},
      {82, 0x0C},  {83, 0x1C},  {84, 0x0C},  {85, 0x10},  {89, 0x20},  {90, 0x20},
      {91, 0x20},  {94, 0x10},  {105, 0x02}, {124, 0x02}, {143, 0x02}, {162, 0x02},
      {181, 0x02}};
  std::vector<std::pair<int, uint8_t>> nonzero;
  for (int i = 0; i < int(kColourPageBytes); ++i)
    if (page[size_t(i)] != 0) nonzero.emplace_back(i, page[size_t(i)]);
  EXPECT_EQ(nonzero, golden);
}

TEST(LightingPage, LightsOfButtonsAndMaskBits) {
  EXPECT_EQ(LightOfButton(Button(kKeyA)), 11);
  EXPECT_EQ(LightOfButton(Button(kKeyF6)), kNoLight);
  EXPECT_FALSE(PaintableLight(Button(kKeyF6)));
  EXPECT_EQ(PaintableLight(GKeyButtons()[0]), 48);
  EXPECT_EQ(PaintableLight(GKeyButtons()[3]), 12);
  EXPECT_EQ(LightOfButton(GKeyButtons()[4]), 0);
  EXPECT_FALSE(PaintableLight(GKeyButtons()[4]));
  EXPECT_FALSE(PaintableLight(ids::main::kFlipKeys[0]));
  EXPECT_EQ(PaintableLight(ids::main::kFn), 13);
  EXPECT_EQ(PaintableLight(Button(0x001)), 0);  // Esc owns light 0
  // Every key button has a light entry; the lit ones are distinct and fit a 21-byte mask.
  std::set<int> seen;
  int without = 0;
  for (const KeyButton& b : KeyButtons()) {
    const uint8_t n = LightOfButton(b.controlId);
    if (n == kNoLight) { ++without; continue; }
    EXPECT_LT(n, kKeyMaskBytes * 8) << b.controlId;
    EXPECT_TRUE(seen.insert(n).second) << "light " << int(n) << " twice";
  }
  EXPECT_EQ(without, 4);
  std::array<uint8_t, kColourPageBytes> page{};
  SetMaskBit(page, 2, 165, true);
  EXPECT_EQ(page[42 + 20], 0x20);
  EXPECT_TRUE(MaskBit(page, 2, 165));
  SetMaskBit(page, 2, 165, false);
  EXPECT_EQ(page[62], 0);
  SetMaskBit(page, 3, 0, true);  // no fourth mask: nothing changes
  EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 0; }));
}

TEST(LightingPlans, LoadAndRereadRequests) {
  LightingState with_pages = StateOffering({1, 254}, 1);
  EXPECT_EQ(LightingState::SettingsPlan(), (LightingPlan{{K::ReadSettings, 0, 48, {}}}));
  EXPECT_EQ(with_pages.LoadPlan(),
            (LightingPlan{kBegin,
                          {K::ReadColourPage, 256, 54, {}},
                          {K::ReadColourPage, 310, 54, {}},
                          {K::ReadColourPage, 364, 54, {}},
                          {K::ReadColourPage, 418, 54, {}},
                          {K::ReadLighting, 0, 56, {}},
                          {K::ReadLighting, 42, 56, {}},
                          {K::ReadLighting, 84, 56, {}},
                          kEnd}));
  const LightingPlan records{kBegin, {K::ReadLighting, 0, 56, {}}, {K::ReadLighting, 42, 56, {}},
                             {K::ReadLighting, 84, 56, {}}, kEnd};
  EXPECT_EQ(with_pages.RereadPlan(), records);
  EXPECT_EQ(StateOffering({1, 5}, 1).LoadPlan(), records);
}

TEST(LightingPlans, RereadKeepsReportRateAndToolButLoadTakesThem) {
  LightingState state = StateOffering({1, 254}, 2);
  std::array<uint8_t, kReportDataBytes> reply{};
  reply[0] = 9; reply[15] = 2; reply[16] = 1;
  state.Take({K::ReadLighting, 84, 56, {}}, reply);
  state.Decode();
  EXPECT_EQ(state.Values().report_rate, 2);
  reply[0] = 12; reply[15] = 0; reply[16] = 0;
  state.Take({K::ReadLighting, 84, 56, {}}, reply);
  state.Redecode();
  EXPECT_EQ(state.Values().mode, 12);
  EXPECT_EQ(state.Values().report_rate, 2);
  EXPECT_EQ(state.Values().paint_tool, 1);
  // A chunk of page 2 lands at its offset; one of another page is not mixed into it.
  std::array<uint8_t, kReportDataBytes> chunk{};
  chunk.fill(0xAB);
  state.Take({K::ReadColourPage, 512 + 162, 54, {}}, chunk);
  EXPECT_EQ(state.Page()[162], 0xAB);
  EXPECT_EQ(state.Page()[215], 0xAB);
  EXPECT_EQ(state.Page()[216], 0);
  EXPECT_EQ(state.Page()[161], 0);
}

TEST(LightingPlans, FieldWritesAndSliders) {
  LightingState state = StateOffering({1, 27, 254}, 1);
  EXPECT_EQ(state.SetSpeedPosition(0), (LightingPlan{kBegin, {K::WriteLighting, 44, 1, {4}}, kEnd}));
  EXPECT_EQ(state.SetSpeedPosition(4), (LightingPlan{kBegin, {K::WriteLighting, 44, 1, {0}}, kEnd}));
  EXPECT_EQ(state.SetBrightness(24), (LightingPlan{kBegin, {K::WriteLighting, 43, 1, {24}}, kEnd}));
  EXPECT_EQ(state.SetMode(27), (LightingPlan{kBegin, {K::WriteLighting, 42, 1, {27}}, kEnd}));
  EXPECT_EQ(state.SetDirection(255), (LightingPlan{kBegin, {K::WriteLighting, 46, 1, {255}}, kEnd}));
  EXPECT_EQ(state.SetReportRate(3), (LightingPlan{kBegin, {K::WriteLighting, 57, 1, {3}}, kEnd}));
  EXPECT_EQ(state.SetPaintTool(1), (LightingPlan{kBegin, {K::WriteLighting, 58, 1, {1}}, kEnd}));
  EXPECT_TRUE(state.SetMode(29).empty());
  EXPECT_EQ(state.Record(1).bytes[0], 27);
  EXPECT_EQ(BrightnessPicture(24), 24);
  EXPECT_EQ(SpeedPicture(0), 25);
  EXPECT_EQ(SpeedPicture(4), 29);
  EXPECT_EQ(SpeedPositionOfByte(4), 0);
  EXPECT_EQ(SpeedPositionOfByte(9), 0);
  EXPECT_EQ(SpeedPositionOfByte(1), 3);
}

TEST(LightingPlans, UserModeAllKeysAndPainting) {
  LightingState state = StateOffering({1, 254}, 1);
  // Not in the user mode: painting does nothing.
  EXPECT_TRUE(state.PaintKey(Button(kKeyA)).plan.empty());
  state.SetMode(254);
  const auto paint = state.PaintKey(Button(kKeyA));
  EXPECT_TRUE(paint.lit);
  EXPECT_EQ(paint.plan, (LightingPlan{kBegin, {K::WriteColourPage, 257, 1, {0x08}}, kEnd}));
  EXPECT_TRUE(state.PaintKey(Button(kKeyF6)).plan.empty());
  EXPECT_TRUE(state.PaintKey(GKeyButtons()[6]).plan.empty());

  const LightingPlan select = state.SelectUserMode(2, true);
  EXPECT_EQ(select, (LightingPlan{kBegin, {K::WriteLighting, 45, 1, {2}}, kEnd, kBegin,
                                  {K::ReadColourPage, 256, 54, {}}, {K::ReadColourPage, 310, 54, {}},
                                  {K::ReadColourPage, 364, 54, {}}, {K::ReadColourPage, 418, 54, {}},
                                  kEnd}));
  EXPECT_EQ(state.SelectUserMode(2, false).size(), 6u);  // page read only, byte 3 left alone
  EXPECT_EQ(state.PageRereadPlan(), LightingPlan(select.begin() + 3, select.end()));
  EXPECT_TRUE(StateOffering({1, 5}, 1).PageRereadPlan().empty());  // no pages, nothing to read
  EXPECT_EQ(state.SetAllKeys(true),
            (LightingPlan{kBegin, {K::WriteColourPage, 256 + 42, 21, std::vector<uint8_t>(21, 0xFF)},
                          kEnd}));
  state.SetPaintTool(1);
  const auto dark = state.PaintKey(ids::main::kFn);
  EXPECT_FALSE(dark.lit);
  EXPECT_EQ(dark.plan, (LightingPlan{kBegin, {K::WriteColourPage, 256 + 43, 1, {0xDF}}, kEnd}));
}

TEST(LightingPlans, DefaultsWithAndWithoutColourPages) {
  std::vector<uint8_t> record(35, 0);
  record[0] = 1; record[1] = 0x18; record[2] = 2;
  LightingState plain = StateOffering({1, 5}, 2);
  plain.SetReportRate(2);
  EXPECT_EQ(plain.Reset(), (LightingPlan{kBegin, {K::WriteLighting, 84, 1, {1}}, kEnd, kBegin,
                                         {K::WriteLighting, 84, 35, record}, kEnd}));
  EXPECT_EQ(plain.Values().report_rate, 0);  // bytes 3 to 34 written as zero

  LightingState pages = StateOffering({1, 254}, 1);
  const LightingPlan plan = pages.Reset();
  ASSERT_EQ(plan.size(), 12u);
  const auto& page = DefaultColourPage();
  for (int i = 0; i < 4; ++i) {
    const LightingStep& s = plan[size_t(4 + i)];
    EXPECT_EQ(s.kind, K::WriteColourPage);
    EXPECT_EQ(s.address, 256 + 45 * i);
    EXPECT_EQ(s.length, 45);
    EXPECT_EQ(s.bytes, std::vector<uint8_t>(page.begin() + 45 * i, page.begin() + 45 * (i + 1)));
  }
  EXPECT_EQ(plan[10], (LightingStep{K::WriteLighting, 42, 35, record}));
  EXPECT_TRUE(std::equal(page.begin(), page.end(), pages.Page().begin()));
}

// Against the simulated keyboard: load profile 1, switch to the user mode, paint A, then reset
// profile 2, and compare the keyboard's memory byte for byte.
TEST(LightingRun, PlansChangeTheSimulatedKeyboardsMemory) {
  testing_support::ConfigState config;
  SimMemory memory = SimMemory::Factory();
  memory.colour_pages[1].fill(0);
  memory.colour_pages[1][100] = 0x5A;
  memory.lighting[2][15] = 3;
  testing_support::SimKeyboardLink link(config.keyboard, memory);
  ASSERT_TRUE(link.Connect());
  CDeviceProtocol& proto = link.Proto();

  LightingState state;
  state.SetProfile(1);
  auto take_settings = [&](const LightingStep&, std::span<const uint8_t> data) {
    state.TakeSettings(std::span<const uint8_t, kSettingsBytes>(data.data(), kSettingsBytes));
  };
  ASSERT_EQ(RunLightingPlan(proto, LightingState::SettingsPlan(), take_settings), kResultOk);
  ASSERT_TRUE(state.HasColourPages());
  auto take = [&](const LightingStep& s, std::span<const uint8_t> d) { state.Take(s, d); };
  ASSERT_EQ(RunLightingPlan(proto, state.LoadPlan(), take), kResultOk);
  state.Decode();
  EXPECT_EQ(state.Page()[100], 0x5A);
  EXPECT_EQ(state.Values(), DecodeLighting(LightingRecord{memory.lighting[1]}));

  RunLightingPlan(proto, state.SetMode(254));
  const size_t before = link.Requests();
  EXPECT_EQ(RunLightingPlan(proto, state.PaintKey(Button(kKeyA)).plan), kResultOk);
  EXPECT_EQ(link.CommandsSince(before),
            (std::vector<uint8_t>{kCmdBeginAccess, kCmdWriteColourPage, kCmdEndAccess}));

  SimMemory expected = memory;
  expected.lighting[1][0] = 254;
  expected.colour_pages[1][1] = 0x08;

  state.SetProfile(2);
  EXPECT_EQ(RunLightingPlan(proto, state.Reset()), kResultOk);
  expected.colour_pages[2] = memory.colour_pages[2];
  std::copy_n(DefaultColourPage().begin(), 180, expected.colour_pages[2].begin());
  std::fill_n(expected.lighting[2].begin(), 35, 0);
  expected.lighting[2][0] = 1; expected.lighting[2][1] = 24; expected.lighting[2][2] = 2;

  const SimMemory now = link.Keyboard().Memory();
  EXPECT_EQ(now.lighting, expected.lighting);
  EXPECT_EQ(now.colour_pages, expected.colour_pages);
  EXPECT_EQ(now.settings, expected.settings);
}

}  // namespace
}  // namespace orvane
