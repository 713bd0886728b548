// The macro record: one named sequence of key and mouse actions with pauses, in the fixed
// 16,512-byte form that the configuration's macro array and profile files hold. The in-memory
// struct mirrors the byte layout field for field (checked below); the byte form is produced and
// read only through MacroRecordToBytes / MacroRecordFromBytes, which are little-endian on any host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvane {

inline constexpr int kMaxMacros = 100;
inline constexpr int kMaxMacroActions = 2000;
inline constexpr uint32_t kMaxMacroDelay = 40000;  // ms
inline constexpr int kMacroNameChars = 249;        // characters before the terminator
inline constexpr size_t kMacroRecordSize = 16512;
inline constexpr size_t kMacroActionSize = 8;

inline constexpr uint16_t kPress = 0;
inline constexpr uint16_t kRelease = 1;

struct MacroAction {
  uint32_t delay = 0;      // pause after this action, ms
  uint16_t keyCode = 0;    // key code (key table)
  uint16_t direction = 0;  // kPress or kRelease; anything other than 1 counts as a press
  bool operator==(const MacroAction&) const = default;
};
static_assert(sizeof(MacroAction) == kMacroActionSize);
static_assert(offsetof(MacroAction, keyCode) == 4 && offsetof(MacroAction, direction) == 6);

struct MacroRecord {
  std::array<char16_t, kMacroNameChars + 1> name{};  // UTF-16, zero-terminated
  uint8_t cycles = 0;
  uint8_t reserved1 = 0;
  uint16_t isNew = 0;     // 1 while only an open editor has it
  uint16_t playMode = 0;  // carried unchanged, never sent
  uint16_t id = 0;        // 1 to 100, unique in an array
  uint16_t actionCount = 0;
  uint16_t reserved2 = 0;
  std::array<MacroAction, kMaxMacroActions> actions{};
  bool operator==(const MacroRecord&) const = default;
};
static_assert(sizeof(MacroRecord) == kMacroRecordSize);
static_assert(offsetof(MacroRecord, cycles) == 500 && offsetof(MacroRecord, isNew) == 502 &&
              offsetof(MacroRecord, playMode) == 504 && offsetof(MacroRecord, id) == 506 &&
              offsetof(MacroRecord, actionCount) == 508 && offsetof(MacroRecord, actions) == 512);

// The record's name up to its terminator (at most 249 characters even if the field has none).
std::u16string MacroName(const MacroRecord& record);
std::string MacroNameUtf8(const MacroRecord& record);
// Stores a name, cut to 249 characters (and at an embedded zero); the rest of the field is zeroed.
void SetMacroName(MacroRecord& record, std::u16string_view name);
void SetMacroName(MacroRecord& record, std::string_view utf8_name);

// How a direction is shown in action lists: "↓" for a press (any value but 1), "  ↑" (two spaces
// first) for a release.
inline const char* DirectionText(uint16_t direction) { return direction == kRelease ? "  ↑" : "↓"; }

// actionCount limited to what the record can hold; every reader of actions goes through this.
inline int ValidActionCount(const MacroRecord& record) {
  return record.actionCount > kMaxMacroActions ? kMaxMacroActions : record.actionCount;
}

// Byte form of a record. FromBytes keeps every field as stored (a file reader checks them) but
// always leaves the name terminated; it returns false when fewer than 16,512 bytes are given.
void MacroRecordToBytes(const MacroRecord& record, std::span<uint8_t, kMacroRecordSize> out);
bool MacroRecordFromBytes(std::span<const uint8_t> bytes, MacroRecord& record);

// UTF-8 <-> UTF-16 for names and texts; malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace orvane
