// The key table: the static description of every key and key-like function the program can assign,
// show or record. A key is always named by its 16-bit key code (scan code set 1 make code, +0x100
// for keys sent with the E0 prefix; 0x110-0x17E for media, system, mouse and application
// functions). Everything that turns a key code into something else - a table index, a place in
// the key choice lists, the usage the keyboard understands, a display name - goes through here.
// Also here: the consumer usage and media function tables, the virtual-key table used when
// recording, and the key buttons of the main window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/text_source.h"

namespace orvane {

// List position with this bit set: the key is not offered in the key choice lists.
inline constexpr uint16_t kNotInLists = 0x8000;
inline constexpr int kKeyTableSize = 256;
inline constexpr int kListPositionCount = 111;  // positions 0 to 110

struct KeyEntry {
  uint16_t code = 0;                    // key code of the entry (KeyCodeOf of its index)
  uint16_t listPosition = kNotInLists;  // 0 to 110, or kNotInLists set
  uint8_t usage = 0;                    // usage byte the keyboard knows; 0 or 0xFF: nothing
  const char* languageKey = "";         // key of the display name in the language file, or ""
  const char* name = "";                // English name (never displayed), or ""
};

// All 256 entries, indexed by key index. Empty entries have list position kNotInLists, usage 0
// and empty names.
const std::array<KeyEntry, kKeyTableSize>& KeyEntries();

// Key code <-> key index. Codes below 0x100 are their own index; 0x100-0x1FF map to
// (code - 0x80) mod 256; 0x200 and above to code - 0x100 (so G key n, code 0x1FF + n, lands on
// layer entry 255 + n). KeyCodeOf inverts the first two ranges and maps indices of 0x100 and
// above back through the third.
int KeyIndexOf(uint16_t code);
uint16_t KeyCodeOf(int index);

// The entry of a key code, or nullptr when the code's index lies outside the table.
const KeyEntry* KeyEntryOf(uint16_t code);

// True for the code of a key the table has (an entry of that very code with a name), such as a
// single-key assignment names; false for unused codes, G-key codes and values above 16 bits.
bool IsKeyCode(uint32_t code);

// The entry's list position, kNotInLists bit included; kNotInLists for codes outside the table.
uint16_t ListPositionOf(uint16_t code);
// Code of the first (lowest-index) entry with this list position; 0 when none has it.
uint16_t KeyCodeAtListPosition(uint16_t position);

// What the keyboard is told for a key: kind 0 nothing, 1 system control (value 0x81-0x83),
// 2 mouse (value 0xF1-0xF8), 7 keyboard usage (value = usage byte), 12 consumer control
// (value = 16-bit consumer usage, for usage bytes 0xC0-0xDF).
enum DeviceUsageKind : int {
  kUsageNone = 0,
  kUsageSystem = 1,
  kUsageMouse = 2,
  kUsageKeyboard = 7,
  kUsageConsumer = 12,
};
struct DeviceUsage {
  int kind = kUsageNone;
  uint16_t value = 0;
  bool operator==(const DeviceUsage&) const = default;
};
DeviceUsage DeviceUsageOf(uint16_t code);
// The inverse: the code of the first entry whose usage byte matches; 0 when none does.
uint16_t KeyCodeOfDeviceUsage(int kind, uint16_t value);

// Key code of the lowest set bit of a HID modifier byte (bit 0 Left Ctrl ... bit 7 Right Win);
// 0 for 0.
uint16_t ModifierCodeOfBits(uint8_t bits);
// The modifier bit of a modifier key code (0x01D, 0x02A, 0x038, 0x15B, 0x11D, 0x036, 0x138,
// 0x15C), or 0 for any other code.
uint8_t ModifierBitOfCode(uint16_t code);

// The key code a three-byte key block entry (kind, b1, b2) stands for, as the keyboard's key
// blocks and encoded macro actions use them; 0 for forms that name no key. Kind 6 (G key n)
// gives 0x1FF + n for n = 1 to 18 and 0 otherwise, so a damaged entry can never land on another
// key's layer entry.
uint16_t KeyCodeOfDefaultEntry(uint8_t kind, uint8_t b1, uint8_t b2);

// Windows keystroke flags of a key message, as the platform layer delivers them.
inline constexpr uint32_t kKeyFlagExtended = 1u << 24;
inline constexpr uint32_t kKeyFlagPreviousState = 1u << 30;  // key was already down (auto-repeat)
inline constexpr uint32_t kKeyFlagTransition = 1u << 31;     // set on key release
inline constexpr uint32_t KeyFlagsOfScanCode(uint16_t code) {
  return (uint32_t(code & 0xFF) << 16) | ((code & 0x100) ? kKeyFlagExtended : 0);
}

// Key code of a key-down or key-up message: the scan code (with the extended bit as 0x100) from
// the flags, or - when the flags carry no scan code - the virtual-key table's code; then the
// fix-ups 0x054 -> 0x137, 0x136 -> 0x036, 0x146 -> 0x045. 0 means no key.
uint16_t KeyCodeOfMessage(uint32_t virtual_key, uint32_t flags);

// The virtual-key table (US layout): key code per Windows virtual-key code, 0 where none.
const std::array<uint16_t, 256>& VirtualKeyTable();

// The consumer usage table: 16-bit consumer usage per usage byte 0xC0 + index; 0 = none.
const std::array<uint16_t, 32>& ConsumerUsageTable();

// The media function table: what a Media key assignment with index 0-17 sends, and the key code
// that gives its display name.
struct MediaFunction {
  uint16_t consumerUsage;
  uint16_t code;
};
inline constexpr int kMediaFunctionCount = 18;
const std::array<MediaFunction, kMediaFunctionCount>& MediaFunctions();
// Index of a consumer usage in the media function table, or -1.
int MediaIndexOfUsage(uint16_t consumer_usage);
// True for the 18 key codes of the media function table.
bool IsMediaKeyCode(uint16_t code);

// The main window's key buttons, in the order the main window walks them.
struct KeyButton {
  uint16_t code;
  int controlId;
};
inline constexpr int kKeyButtonCount = 104;
const std::array<KeyButton, kKeyButtonCount>& KeyButtons();
// Control IDs of the G1 to G9 buttons.
inline constexpr int kGKeyCount = 9;
const std::array<int, kGKeyCount>& GKeyButtons();
// Key code bound to a key button's control ID, or 0.
uint16_t KeyCodeOfButton(int control_id);
// Control ID of the key button of a key code, or 0.
int ButtonOfKeyCode(uint16_t code);
// G-key number 1-9 of a G-key button's control ID, or 0.
int GKeyOfButton(int control_id);

// Display name of a key in the current language: the text of the entry's language key; when the
// entry has none (or it is empty) the "UNKNOWN_KEY" text used as a format string with the code.
// The result holds at most capacity - 1 characters (never a cut character); capacity 0 gives "".
std::string KeyDisplayName(const ITextSource& texts, uint16_t code, size_t capacity = 260);
// Text of the language key of the first entry at a list position; "" when none or no key.
std::string ListDisplayName(const ITextSource& texts, uint16_t position);

// Every distinct language key the key table looks up, in table order.
std::vector<std::string> KeyTableLanguageKeys();

}  // namespace orvane
