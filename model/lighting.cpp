#include "model/lighting.h"

#include <algorithm>

#include "model/key_table.h"
#include "ui/layout/control_ids.h"

namespace orvane {
namespace {

// The shown page is read in four chunks of 54 bytes; the defaults write its first 180 bytes in
// four chunks of 45.
constexpr uint8_t kPageReadChunk = 54;
constexpr int kPageReadChunks = 4;
constexpr uint8_t kPageWriteChunk = 45;
constexpr int kPageWriteChunks = 4;
// The defaults write bytes 0 to 34 of the record: mode 1, brightness 24, speed byte 2, the rest 0.
constexpr size_t kDefaultRecordBytes = 35;
constexpr uint8_t kDefaultMode = 1;
constexpr uint8_t kDefaultBrightness = 24;
constexpr int kDefaultSpeedPosition = 2;

struct ButtonLight {
  int control_id;
  uint8_t light;
};

// The key buttons' lights (the key table binds these IDs to keys).
constexpr ButtonLight kKeyLights[] = {
    {1010, 8}, {1011, 16}, {1012, 24}, {1013, 32}, {1014, 40}, {1015, 255}, {1022, 0}, {1023, 56},
    {1024, 64}, {1025, 72}, {1026, 80}, {1027, 88}, {1028, 96}, {1029, 1}, {1030, 9}, {1031, 17},
    {1032, 25}, {1033, 33}, {1034, 41}, {1035, 49}, {1036, 57}, {1037, 65}, {1038, 73},
    {1039, 81}, {1040, 89}, {1041, 97}, {1042, 106}, {1043, 105}, {1044, 10}, {1045, 18},
    {1046, 26}, {1047, 34}, {1048, 42}, {1049, 255}, {1050, 58}, {1051, 66}, {1052, 74},
    {1053, 82}, {1054, 90}, {1055, 98}, {1056, 2}, {1058, 11}, {1059, 19}, {1060, 27},
    {1061, 35}, {1062, 43}, {1063, 255}, {1064, 59}, {1065, 67}, {1066, 75}, {1067, 83},
    {1068, 91}, {1069, 3}, {1070, 107}, {1071, 20}, {1072, 28}, {1073, 36}, {1074, 44},
    {1075, 52}, {1076, 60}, {1077, 68}, {1078, 76}, {1079, 84}, {1080, 92}, {1081, 108},
    {1082, 4}, {1083, 5}, {1084, 61}, {1085, 21}, {1086, 53}, {1087, 255}, {1088, 69},
    {1089, 77}, {1090, 37}, {1091, 112}, {1092, 120}, {1093, 128}, {1094, 113}, {1095, 121},
    {1096, 129}, {1097, 114}, {1098, 122}, {1099, 130}, {1100, 133}, {1101, 141}, {1102, 149},
    {1103, 132}, {1104, 137}, {1105, 145}, {1106, 153}, {1107, 161}, {1108, 138}, {1109, 146},
    {1110, 154}, {1111, 162}, {1112, 139}, {1113, 147}, {1114, 155}, {1115, 140}, {1116, 148},
    {1117, 156}, {1118, 164}, {1119, 165}, {1120, 157}};
static_assert(std::size(kKeyLights) == kKeyButtonCount);

// G1 to G9; G5 to G9 have no light of their own and share light 0.
constexpr std::array<uint8_t, kGKeyCount> kGKeyLights = {48, 50, 51, 12, 0, 0, 0, 0, 0};
constexpr int kLitGKeys = 4;
constexpr uint8_t kFnLight = 13;

constexpr std::array<uint8_t, kColourPageBytes> kDefaultPage = [] {
  std::array<uint8_t, kColourPageBytes> p{};
  constexpr uint8_t rows[][16] = {
      {0x00, 0x08, 0x0C, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0},
      {0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x25},
      {0x0A, 0x1E, 0x3A, 0x1A, 0x12, 0x02, 0x00, 0x00, 0x08, 0, 0, 0, 0, 0, 0, 0},
      {0x00, 0x19, 0x0C, 0x1C, 0x0C, 0x10, 0x00, 0x00, 0x00, 0x20, 0x20, 0x20, 0x00, 0x00, 0x10,
       0x00},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02},
      {0},
      {0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (size_t r = 0; r < std::size(rows); ++r)
    for (size_t c = 0; c < 16; ++c) p[r * 16 + c] = rows[r][c];
  return p;
}();

uint16_t RecordAddress(int profile, size_t offset) {
  return uint16_t(size_t(profile) * kLightingRecordBytes + offset);
}
uint16_t PageAddress(int page, size_t offset) {
  return uint16_t(size_t(page) * kColourPageBytes + offset);
}

LightingPlan Framed(std::vector<LightingStep> inner) {
  LightingPlan plan;
  plan.push_back({LightingStepKind::BeginAccess, 0, 0, {}});
  for (auto& s : inner) plan.push_back(std::move(s));
  plan.push_back({LightingStepKind::EndAccess, 0, 0, {}});
  return plan;
}

void Append(LightingPlan& plan, LightingPlan more) {
  for (auto& s : more) plan.push_back(std::move(s));
}

}  // namespace

LightingValues DecodeLighting(const LightingRecord& record) {
  const auto& b = record.bytes;
  LightingValues v;
  v.mode = b[LightingRecord::kModeByte];
  v.brightness = b[LightingRecord::kBrightnessByte];
  v.speed = b[LightingRecord::kSpeedByte];
  v.user_mode = b[LightingRecord::kUserModeByte] < kUserModes ? b[LightingRecord::kUserModeByte] : 0;
  v.direction = b[LightingRecord::kDirectionByte];
  v.report_rate = std::min<uint8_t>(b[LightingRecord::kReportRateByte], 3);
  v.paint_tool = b[LightingRecord::kPaintToolByte] > 1 ? 0 : b[LightingRecord::kPaintToolByte];
  return v;
}

std::vector<uint8_t> OfferedModes(std::span<const uint8_t, kSettingsBytes> settings) {
  constexpr size_t kModesOffset = 16;
  std::vector<uint8_t> modes;
  for (size_t i = kModesOffset; i < kSettingsBytes; ++i) {
    if (settings[i] == 0 || settings[i] == kModeSkipped) continue;
    modes.push_back(settings[i]);
  }
  return modes;
}

LightingVisibility VisibilityOfMode(int code) {
  LightingVisibility v;
  if (!IsKnownMode(code)) {
    v.mode_combo = false;
    return v;
  }
  v.speed = !(code == 5 || code == 7 || code == 25 || code == kModePerKey);
  v.direction = (code >= 1 && code <= 4) || code == 15 || code == 16 || code == 27 || code == 28;
  v.user_mode = code == kModePerKey;
  return v;
}

const std::array<uint8_t, kColourPageBytes>& DefaultColourPage() { return kDefaultPage; }

uint8_t LightOfButton(int control_id) {
  for (const ButtonLight& k : kKeyLights)
    if (k.control_id == control_id) return k.light;
  if (const int g = GKeyOfButton(control_id); g > 0) return kGKeyLights[size_t(g - 1)];
  if (control_id == ids::main::kFn) return kFnLight;
  return 0;
}

std::optional<uint8_t> PaintableLight(int control_id) {
  for (const ButtonLight& k : kKeyLights) {
    if (k.control_id != control_id) continue;
    if (k.light == kNoLight) return std::nullopt;
    return k.light;
  }
  if (const int g = GKeyOfButton(control_id); g > 0) {
    if (g > kLitGKeys) return std::nullopt;
    return kGKeyLights[size_t(g - 1)];
  }
  if (control_id == ids::main::kFn) return kFnLight;
  return std::nullopt;
}

bool MaskBit(std::span<const uint8_t, kColourPageBytes> page, int user_mode, int light) {
  if (user_mode < 0 || user_mode >= kUserModes || light < 0 || light >= int(kKeyMaskBytes * 8))
    return false;
  return (page[MaskByteOffset(user_mode, light)] >> (light % 8)) & 1;
}

void SetMaskBit(std::span<uint8_t, kColourPageBytes> page, int user_mode, int light, bool lit) {
  if (user_mode < 0 || user_mode >= kUserModes || light < 0 || light >= int(kKeyMaskBytes * 8))
    return;
  uint8_t& b = page[MaskByteOffset(user_mode, light)];
  const uint8_t bit = uint8_t(1u << (light % 8));
  b = lit ? uint8_t(b | bit) : uint8_t(b & ~bit);
}

// ---- LightingState ----

void LightingState::SetProfile(int profile) {
  if (profile >= 0 && profile < kLightingProfiles) profile_ = profile;
}

LightingPlan LightingState::SettingsPlan() {
  return {{LightingStepKind::ReadSettings, 0, uint8_t(kSettingsBytes), {}}};
}

void LightingState::TakeSettings(std::optional<std::span<const uint8_t, kSettingsBytes>> settings) {
  modes_.clear();
  has_pages_ = false;
  if (!settings) return;
  modes_ = OfferedModes(*settings);
  has_pages_ = std::find(modes_.begin(), modes_.end(), kModePerKey) != modes_.end();
}

LightingPlan LightingState::PageReadPlan() const {
  std::vector<LightingStep> reads;
  for (int i = 0; i < kPageReadChunks; ++i)
    reads.push_back({LightingStepKind::ReadColourPage,
                     PageAddress(profile_, size_t(i) * kPageReadChunk), kPageReadChunk, {}});
  return reads;
}

LightingPlan LightingState::LoadPlan() const {
  std::vector<LightingStep> inner;
  if (has_pages_) inner = PageReadPlan();
  for (int p = 0; p < kLightingProfiles; ++p)
    inner.push_back({LightingStepKind::ReadLighting, RecordAddress(p, 0),
                     uint8_t(kReportDataBytes), {}});
  return Framed(std::move(inner));
}

LightingPlan LightingState::RereadPlan() const {
  std::vector<LightingStep> inner;
  for (int p = 0; p < kLightingProfiles; ++p)
    inner.push_back({LightingStepKind::ReadLighting, RecordAddress(p, 0),
                     uint8_t(kReportDataBytes), {}});
  return Framed(std::move(inner));
}

void LightingState::Take(const LightingStep& step, std::span<const uint8_t> data) {
  if (step.kind == LightingStepKind::ReadLighting) {
    if (step.address % kLightingRecordBytes != 0) return;
    const size_t p = step.address / kLightingRecordBytes;
    if (p >= records_.size()) return;
    const size_t n = std::min(data.size(), kLightingRecordBytes);
    std::copy_n(data.begin(), n, records_[p].bytes.begin());
  } else if (step.kind == LightingStepKind::ReadColourPage) {
    const size_t page = step.address / kColourPageBytes;
    const size_t offset = step.address % kColourPageBytes;
    if (page >= pages_.size()) return;
    const size_t n = std::min({data.size(), size_t(step.length), kColourPageBytes - offset});
    std::copy_n(data.begin(), n, pages_[page].begin() + long(offset));
  }
}

void LightingState::Decode() { values_ = DecodeLighting(records_[size_t(profile_)]); }

void LightingState::Redecode() {
  const uint8_t rate = values_.report_rate;
  const uint8_t tool = values_.paint_tool;
  values_ = DecodeLighting(records_[size_t(profile_)]);
  values_.report_rate = rate;
  values_.paint_tool = tool;
}

LightingPlan LightingState::WriteField(size_t offset, uint8_t value) {
  records_[size_t(profile_)].bytes[offset] = value;
  return Framed({{LightingStepKind::WriteLighting, RecordAddress(profile_, offset), 1, {value}}});
}

LightingPlan LightingState::SetMode(int code) {
  if (!IsKnownMode(code)) return {};
  values_.mode = uint8_t(code);
  return WriteField(LightingRecord::kModeByte, uint8_t(code));
}

LightingPlan LightingState::SetBrightness(int position) {
  values_.brightness = uint8_t(std::clamp(position, 0, kBrightnessLevels - 1));
  return WriteField(LightingRecord::kBrightnessByte, values_.brightness);
}

LightingPlan LightingState::SetSpeedPosition(int position) {
  values_.speed = SpeedByteOfPosition(std::clamp(position, 0, kSpeedPositions - 1));
  return WriteField(LightingRecord::kSpeedByte, values_.speed);
}

LightingPlan LightingState::SetDirection(uint8_t direction) {
  values_.direction = direction == kDirectionForward ? kDirectionForward : kDirectionBackward;
  return WriteField(LightingRecord::kDirectionByte, values_.direction);
}

LightingPlan LightingState::SetReportRate(int rate) {
  values_.report_rate = uint8_t(std::clamp(rate, 0, 3));
  return WriteField(LightingRecord::kReportRateByte, values_.report_rate);
}

LightingPlan LightingState::SetPaintTool(int tool) {
  values_.paint_tool = tool == 1 ? 1 : 0;
  return WriteField(LightingRecord::kPaintToolByte, values_.paint_tool);
}

LightingPlan LightingState::SelectUserMode(int position, bool editing_on) {
  values_.user_mode = uint8_t(std::clamp(position, 0, kUserModes - 1));
  LightingPlan plan;
  if (editing_on) plan = WriteField(LightingRecord::kUserModeByte, values_.user_mode);
  Append(plan, PageRereadPlan());
  return plan;
}

LightingPlan LightingState::PageRereadPlan() const {
  if (!has_pages_) return {};
  return Framed(PageReadPlan());
}

LightingPlan LightingState::SetAllKeys(bool lit) {
  if (!has_pages_) return {};
  const size_t offset = size_t(values_.user_mode) * kKeyMaskBytes;
  auto& page = pages_[size_t(profile_)];
  std::fill_n(page.begin() + long(offset), kKeyMaskBytes, lit ? 0xFF : 0x00);
  return Framed({{LightingStepKind::WriteColourPage, PageAddress(profile_, offset),
                  uint8_t(kKeyMaskBytes),
                  std::vector<uint8_t>(kKeyMaskBytes, lit ? 0xFF : 0x00)}});
}

LightingState::Paint LightingState::PaintKey(int control_id) {
  Paint result;
  if (values_.mode != kModePerKey || !has_pages_) return result;
  const std::optional<uint8_t> light = PaintableLight(control_id);
  if (!light) return result;
  result.lit = values_.paint_tool == 0;
  auto& page = pages_[size_t(profile_)];
  SetMaskBit(page, values_.user_mode, *light, result.lit);
  const size_t offset = MaskByteOffset(values_.user_mode, *light);
  result.plan = Framed(
      {{LightingStepKind::WriteColourPage, PageAddress(profile_, offset), 1, {page[offset]}}});
  return result;
}

LightingPlan LightingState::Reset() {
  // The mode change to mode 1, with the direction at 0.
  values_.direction = kDirectionBackward;
  LightingPlan plan = SetMode(kDefaultMode);
  values_.brightness = kDefaultBrightness;
  values_.speed = SpeedByteOfPosition(kDefaultSpeedPosition);
  if (has_pages_) {
    values_.user_mode = 0;
    auto& page = pages_[size_t(profile_)];
    page = kDefaultPage;
    std::vector<LightingStep> writes;
    for (int i = 0; i < kPageWriteChunks; ++i) {
      const size_t offset = size_t(i) * kPageWriteChunk;
      writes.push_back({LightingStepKind::WriteColourPage, PageAddress(profile_, offset),
                        kPageWriteChunk,
                        std::vector<uint8_t>(page.begin() + long(offset),
                                             page.begin() + long(offset + kPageWriteChunk))});
    }
    Append(plan, Framed(std::move(writes)));
  }
  std::vector<uint8_t> record(kDefaultRecordBytes, 0);
  record[LightingRecord::kModeByte] = kDefaultMode;
  record[LightingRecord::kBrightnessByte] = kDefaultBrightness;
  record[LightingRecord::kSpeedByte] = SpeedByteOfPosition(kDefaultSpeedPosition);
  std::copy(record.begin(), record.end(), records_[size_t(profile_)].bytes.begin());
  values_ = DecodeLighting(records_[size_t(profile_)]);
  Append(plan, Framed({{LightingStepKind::WriteLighting, RecordAddress(profile_, 0),
                        uint8_t(kDefaultRecordBytes), std::move(record)}}));
  return plan;
}

}  // namespace orvane
