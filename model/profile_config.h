// The configuration of all on-board profiles: what every key does in each of four layers, the
// macros keys can play, and the texts of program-launch and text-block keys.
//
// A ProfileConfig has three parts:
//  - the image: 32,832 bytes - a 32-byte header, a 32-byte device identity block and four layers
//    of 512 KeyAction entries. It is byte for byte the start of a profile file. The struct
//    mirrors that layout (checked below); ImageToBytes / ImageFromBytes give the little-endian
//    byte form on any host;
//  - the macro array (macro_record.h);
//  - the text pool: 2,048 slots, one per layer entry (slot = layer * 512 + entry), each an optional
//    UTF-16 string, with the total of their sizes in bytes (terminators included). In a packed
//    image (profile file, applied instance) the texts live instead in one buffer and the entries'
//    `value` holds their offsets.
//
// Two instances live while the program runs, each behind its own recursive lock (the program's
// entry owns them and hands them on, see model/config_context.h):
//  - the editing instance, guarded by the editing lock: the dialogs change it, profile files load
//    into and save from it;
//  - the applied instance, guarded by the device lock: the snapshot written to the keyboard.
// LOCK ORDER: a thread that needs both takes the editing lock first, then the device lock (and
// only after those the device I/O lock). Never the other way round.
// An instance is replaced or discarded only as a whole, under its lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/macro_record.h"

namespace orvane {

inline constexpr size_t kProfileImageSize = 32832;
inline constexpr int kLayerCount = 4;
inline constexpr int kLayerEntries = 512;
inline constexpr int kTextSlotCount = kLayerCount * kLayerEntries;  // 2,048
inline constexpr int kGKeySetA = 256;  // entries 256-264: G1-G9 of set A
inline constexpr int kGKeySetB = 265;  // entries 265-273: G1-G9 of set B
inline constexpr int kGKeyEntriesEnd = 274;

enum KeyActionType : uint16_t {
  kActionDefault = 0,
  kActionDisabled = 1,
  kActionSingleKey = 2,
  kActionLaunchProgram = 3,
  kActionPlayMacro = 4,
  kActionStopMacro = 5,
  kActionPlayText = 6,
  kActionMedia = 7,
  kActionFunction = 8,
};

// One key assignment.
struct KeyAction {
  uint16_t type = 0;   // KeyActionType
  uint16_t code = 0;   // G-key entries: the G key's code; PlayMacro from the dialog: repeat count
  uint32_t value = 0;  // argument of the type
  uint32_t reserved1 = 0;
  uint32_t reserved2 = 0;
  bool operator==(const KeyAction&) const = default;
};
static_assert(sizeof(KeyAction) == 16);
static_assert(offsetof(KeyAction, code) == 2 && offsetof(KeyAction, value) == 4 &&
              offsetof(KeyAction, reserved1) == 8 && offsetof(KeyAction, reserved2) == 12);

// The type's name ("Default", "Disabled", "SingleKey", "LaunchProgram", "PlayMacro", "StopMacro",
// "PlayText", "Media", "Function"), or nullptr for a type above 8.
const char* KeyActionTypeName(uint16_t type);
// Number of keyboard functions a Function assignment can name (described by the language keys
// "FUNC_KEY_DESC1" to "FUNC_KEY_DESC11").
inline constexpr int kKeyboardFunctionCount = 11;

inline constexpr bool HasText(uint16_t type) {
  return type == kActionLaunchProgram || type == kActionPlayText;
}

struct ProfileHeader {
  uint16_t magic = 0;          // 0x4446 "FD"
  uint16_t headerSize = 0;     // 32
  uint16_t version = 0;        // 3
  uint16_t constant = 0;       // 1
  uint32_t fileSize = 0;       // macro count * 16,512 + text size + 32,832
  uint16_t textSlotCount = 0;  // 2,048
  uint16_t macroCount = 0;
  uint32_t textSize = 0;  // bytes of the packed text pool
  uint32_t reserved1 = 0;
  uint32_t reserved2 = 0;
  uint16_t reserved3 = 0;
  uint8_t flag = 0;
  uint8_t checksum = 0;  // sum of bytes 0-30 modulo 256
  bool operator==(const ProfileHeader&) const = default;
};
static_assert(sizeof(ProfileHeader) == 32);
static_assert(offsetof(ProfileHeader, fileSize) == 8 && offsetof(ProfileHeader, textSlotCount) == 12 &&
              offsetof(ProfileHeader, macroCount) == 14 && offsetof(ProfileHeader, textSize) == 16 &&
              offsetof(ProfileHeader, reserved3) == 28 && offsetof(ProfileHeader, flag) == 30 &&
              offsetof(ProfileHeader, checksum) == 31);

inline constexpr uint16_t kProfileMagic = 0x4446;
inline constexpr uint16_t kProfileVersion = 3;

// The device identity block every image built by the program carries.
inline constexpr std::array<uint8_t, 32> kDeviceIdentity = {
    0x4B, 0x48, 0x20, 0x00, 0x20, 0x80, 0x00, 0x00, 0x04, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
    0x45, 0x0C, 0x50, 0x76, 0x4F, 0x1C, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

struct ProfileImage {
  ProfileHeader header;
  std::array<uint8_t, 32> identity{};
  std::array<KeyAction, kTextSlotCount> entries{};  // entry i of layer L at L * 512 + i

  // The entry of a layer, or nullptr when layer or index is out of range.
  KeyAction* EntryAt(int layer, int index);
  const KeyAction* EntryAt(int layer, int index) const;
  bool operator==(const ProfileImage&) const = default;
};
static_assert(sizeof(ProfileImage) == kProfileImageSize);
static_assert(offsetof(ProfileImage, identity) == 32 && offsetof(ProfileImage, entries) == 64);

// Byte form of the header and of the whole image.
std::array<uint8_t, 32> HeaderToBytes(const ProfileHeader& header);
ProfileHeader HeaderFromBytes(std::span<const uint8_t, 32> bytes);
void ImageToBytes(const ProfileImage& image, std::span<uint8_t, kProfileImageSize> out);
std::vector<uint8_t> ImageToBytes(const ProfileImage& image);
// False when fewer than 32,832 bytes are given; nothing is checked beyond that.
bool ImageFromBytes(std::span<const uint8_t> bytes, ProfileImage& image);

// Fills the header (magic, sizes, counts, flag) and computes its checksum last.
void WriteProfileHeader(ProfileImage& image, uint16_t macro_count, uint32_t text_size, uint8_t flag);
// Sum of header bytes 0-30 modulo 256.
uint8_t HeaderChecksum(const ProfileHeader& header);
void WriteDeviceIdentity(ProfileImage& image);
// Zeroes all 512 entries of a layer, then gives the 18 G-key entries their codes (set A
// 0x301-0x309, set B 0x1301-0x1309). Out-of-range layers are ignored.
void ClearLayer(ProfileImage& image, int layer);
// Code of G key n (1-9) of set A (0) or B (1).
inline constexpr uint16_t GKeyCode(int set, int n) {
  return uint16_t((set ? 0x1300 : 0x300) + n);
}

// The 2,048 text slots and their total.
class TextPool {
 public:
  TextPool();
  // The slot's text, or nullptr when the slot is empty.
  const std::u16string* Text(int slot) const;
  // Size in bytes with terminator, 0 for an empty slot.
  uint32_t SizeOf(int slot) const;
  // Stores a text (cut at an embedded zero); false for a slot out of range.
  bool Set(int slot, std::u16string text);
  void Clear(int slot);
  void ClearAll();
  uint32_t Total() const { return total_; }
  bool operator==(const TextPool&) const = default;

 private:
  std::vector<std::optional<std::u16string>> slots_;
  uint32_t total_ = 0;
};

// Packs the texts of type-3 and type-6 entries into buffer (walking slots 0 to 2,047, skipping
// any that would pass the header's text size or the buffer's end) and writes each packed text's
// offset into its entry's value. Returns the bytes used.
size_t PackTexts(ProfileImage& image, const TextPool& texts, std::span<uint8_t> buffer);
// The same into a new buffer of the header's text size.
std::vector<uint8_t> PackTexts(ProfileImage& image, const TextPool& texts);
// Rebuilds the slots from a packed buffer: every type-3 or type-6 entry gets the string at its
// value (rounded down to even). A value at or past the buffer's end gives the entry no text; a
// string without terminator inside the buffer is cut at the buffer's end. False only if memory
// ran out (that slot and the rest stay empty).
bool UnpackTexts(const ProfileImage& image, std::span<const uint8_t> packed, TextPool& texts);

// One instance's data. `image` is null once freed.
struct ProfileConfig {
  std::unique_ptr<ProfileImage> image;
  std::vector<MacroRecord> macros;   // the macro array; its size is the macro count
  TextPool texts;                    // editing instance: the text slots
  std::vector<uint8_t> packedTexts;  // applied instance: the packed text pool

  // Frees text slots, macro array, packed texts and image.
  void Free();
  // A deep copy.
  ProfileConfig Copy() const;
};

// Position of the macro with this id in an array, 0 when none has it.
int MacroPosition(std::span<const MacroRecord> macros, uint16_t id);

// An instance of ProfileConfig behind its own recursive lock.
class ProfileInstance {
 public:
  using Lock = std::unique_lock<std::recursive_mutex>;

  Lock Acquire() const { return Lock(mutex_); }
  std::recursive_mutex& Mutex() const { return mutex_; }
  // The data; the caller holds the lock while it uses it.
  ProfileConfig& Config() { return config_; }
  const ProfileConfig& Config() const { return config_; }
  // Replaces the data as a whole: the old parts are freed under the lock.
  void Replace(ProfileConfig next);
  // Frees everything under the lock.
  void Discard();

 private:
  mutable std::recursive_mutex mutex_;
  ProfileConfig config_;
};

// MacroPosition over an instance's array, under that instance's lock.
int MacroPosition(const ProfileInstance& instance, uint16_t id);

}  // namespace orvane
