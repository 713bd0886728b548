// The keyboard's lighting as the lighting panel and the CLI see it: the 42-byte lighting record of
// each on-board profile, the lighting modes the keyboard offers, the per-key colour pages with
// their key masks, the light index of every button, and every change as a plan of requests.
//
// No I/O here. LightingState keeps a copy of the three records and the three colour pages and
// turns each action into a LightingPlan - the exact requests, in order, with their brackets -
// updating its copy as the plan will leave the keyboard (write results are not waited for).
// RunLightingPlan (model/lighting_run.h) sends a plan through the command protocol and hands the
// read data back to LightingState::Take.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/keyboard_format.h"

namespace orvane {

// One profile's lighting record, byte for byte as the keyboard keeps it.
struct LightingRecord {
  std::array<uint8_t, kLightingRecordBytes> bytes{};

  static constexpr size_t kModeByte = 0;
  static constexpr size_t kBrightnessByte = 1;
  static constexpr size_t kSpeedByte = 2;
  static constexpr size_t kUserModeByte = 3;
  static constexpr size_t kDirectionByte = 4;
  static constexpr size_t kReportRateByte = 15;
  static constexpr size_t kPaintToolByte = 16;
};
static_assert(sizeof(LightingRecord) == 42);
static_assert(LightingRecord::kPaintToolByte < kLightingRecordBytes);

inline constexpr int kLightingProfiles = 3;
inline constexpr uint8_t kModePerKey = 254;     // per-key user mode; offered = colour pages exist
inline constexpr uint8_t kModeSkipped = 16;     // listed by the keyboard but never offered
inline constexpr uint8_t kLastEffectMode = 28;  // effect modes are 1 to 28
inline constexpr int kBrightnessLevels = 25;    // brightness 0 to 24
inline constexpr int kSpeedPositions = 5;       // speed slider 0 to 4
inline constexpr int kUserModes = 3;
inline constexpr size_t kKeyMaskBytes = 21;     // one user mode's mask: 168 lights
inline constexpr uint8_t kDirectionForward = 255;
inline constexpr uint8_t kDirectionBackward = 0;
inline constexpr uint8_t kNoLight = 255;        // light index of a key without a light

// The record's fields as the panel decodes them.
struct LightingValues {
  uint8_t mode = 0;
  uint8_t brightness = 0;
  uint8_t speed = 0;       // the byte; the slider shows 4 - speed
  uint8_t user_mode = 0;   // 0 to 2 (a byte above 2 counts as 0)
  uint8_t direction = 0;
  uint8_t report_rate = 0; // 0 to 3 (above 3 counts as 3)
  uint8_t paint_tool = 0;  // 0 lights keys, 1 darkens them (above 1 counts as 0)
  bool operator==(const LightingValues&) const = default;
};
LightingValues DecodeLighting(const LightingRecord& record);

// The modes offered by a settings record (bytes 16-47 in order, 0 and 16 left out).
std::vector<uint8_t> OfferedModes(std::span<const uint8_t, kSettingsBytes> settings);
// True for a code the mode combo box can stand for: 1 to 28 and 254.
inline constexpr bool IsKnownMode(int code) {
  return (code >= 1 && code <= kLastEffectMode) || code == kModePerKey;
}

// Which of the panel's controls a mode shows.
struct LightingVisibility {
  bool mode_combo = true;
  bool brightness = true;
  bool speed = true;
  bool direction = false;
  bool user_mode = false;  // user-mode title, all off / all on, paint tool, user-mode combo box
};
LightingVisibility VisibilityOfMode(int code);

// Slider positions and pictures.
inline constexpr int BrightnessPicture(int position) { return position; }       // "v.bmp"
inline constexpr int SpeedPicture(int position) { return 25 + position; }       // "(25+s).bmp"
inline constexpr uint8_t SpeedByteOfPosition(int position) { return uint8_t(4 - position); }
// The speed slider's position for a speed byte; a byte above 4 shows as position 0.
inline constexpr int SpeedPositionOfByte(uint8_t speed) { return speed > 4 ? 0 : 4 - speed; }

// The colour page a keyboard starts from: user mode 0 lights W, A, S and D.
const std::array<uint8_t, kColourPageBytes>& DefaultColourPage();

// Light index of a button by its control ID (key buttons, G buttons, Fn); 0 for any other ID and
// kNoLight for a key without a light.
uint8_t LightOfButton(int control_id);
// The light a button can be painted with: none for keys without a light (index 255) and for
// buttons that only share light 0 with Esc (G5-G9, the flip keys, any other ID).
std::optional<uint8_t> PaintableLight(int control_id);

// Key-mask bits: mask u starts at u * 21 of a page; light n is bit n % 8 of byte n / 8.
inline constexpr size_t MaskByteOffset(int user_mode, int light) {
  return size_t(user_mode) * kKeyMaskBytes + size_t(light) / 8;
}
bool MaskBit(std::span<const uint8_t, kColourPageBytes> page, int user_mode, int light);
void SetMaskBit(std::span<uint8_t, kColourPageBytes> page, int user_mode, int light, bool lit);

// One request of a plan. address is the keyboard address the request carries: lighting space
// profile * 42 + offset, colour space page * 256 + offset. bytes: the data of a write.
enum class LightingStepKind : uint8_t {
  BeginAccess,
  EndAccess,
  ReadSettings,
  ReadLighting,
  WriteLighting,
  ReadColourPage,
  WriteColourPage,
};
struct LightingStep {
  LightingStepKind kind;
  uint16_t address = 0;
  uint8_t length = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const LightingStep&) const = default;
};
using LightingPlan = std::vector<LightingStep>;

// The panel's cache of the keyboard's lighting, for the profile it shows.
class LightingState {
 public:
  int Profile() const { return profile_; }
  void SetProfile(int profile);  // 0-2; others ignored

  // Loading. First SettingsPlan(); the settings read's 48 bytes (or nullopt when it failed) go to
  // TakeSettings, which rebuilds the mode list (empty on failure; then nothing more is read).
  // Then LoadPlan() (colour page p when pages exist, the three records) or RereadPlan() (the
  // records only); their reads go to Take, and Decode() / Redecode() decode record p.
  static LightingPlan SettingsPlan();
  void TakeSettings(std::optional<std::span<const uint8_t, kSettingsBytes>> settings);
  LightingPlan LoadPlan() const;
  LightingPlan RereadPlan() const;
  // Stores the data of one read step (lighting records, colour page chunks of the shown page).
  void Take(const LightingStep& step, std::span<const uint8_t> data);
  void Decode();    // every field of record p
  void Redecode();  // the same but the report rate and the paint tool keep their values

  const std::vector<uint8_t>& Modes() const { return modes_; }
  bool HasColourPages() const { return has_pages_; }
  const LightingValues& Values() const { return values_; }
  const LightingRecord& Record(int profile) const { return records_[size_t(profile)]; }
  std::span<const uint8_t, kColourPageBytes> Page() const { return pages_[size_t(profile_)]; }

  // Field writes of record p, each one framed write of one byte. Values out of range are
  // brought into it (brightness 0-24, speed position 0-4, report rate 0-3, tool 0-1).
  LightingPlan SetMode(int code);  // a code outside 1-28 and 254 writes nothing
  LightingPlan SetBrightness(int position);
  LightingPlan SetSpeedPosition(int position);
  LightingPlan SetDirection(uint8_t direction);  // 255 or 0; anything else counts as 0
  LightingPlan SetReportRate(int rate);
  LightingPlan SetPaintTool(int tool);
  // User mode u := position; byte 3 is written only while per-key editing is on; then page p is
  // read again.
  LightingPlan SelectUserMode(int position, bool editing_on);
  // Page p read again (four chunks of 54 bytes, framed); nothing on a keyboard without pages.
  LightingPlan PageRereadPlan() const;
  // Mask u of page p all lit or all dark, written as one 21-byte page write.
  LightingPlan SetAllKeys(bool lit);
  // Paints one button in the user mode with the paint tool. Nothing (empty plan, no change)
  // unless the mode is 254 on a keyboard with colour pages and the button has a light of its own.
  struct Paint {
    LightingPlan plan;
    bool lit = false;  // the button's frame: white when lit
  };
  Paint PaintKey(int control_id);
  // The default lighting of profile p.
  LightingPlan Reset();

 private:
  LightingPlan WriteField(size_t offset, uint8_t value);
  LightingPlan PageReadPlan() const;

  int profile_ = 0;
  std::vector<uint8_t> modes_;
  bool has_pages_ = false;
  LightingValues values_;
  std::array<LightingRecord, kLightingProfiles> records_{};
  std::array<std::array<uint8_t, kColourPageBytes>, kLightingProfiles> pages_{};
};

}  // namespace orvane
