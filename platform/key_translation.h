// Native key events in the form the key table and the macro recorder take: a Windows virtual-key
// code and the 32-bit keystroke flags of a key message (repeat count in bits 0-15, scan code set 1
// in bits 16-23, extended key in bit 24, previous state in bit 30, transition in bit 31).
//
// On X11 and XWayland (and Qt's Wayland client) a key event's native scan code is the X key code,
// which is the Linux evdev code plus 8. A table maps every evdev code a PC keyboard sends - the
// 104 keys, the keypad, Print Screen, Pause, the Windows and Menu keys, the media and browser keys,
// F13, power and sleep, and the international keys - to its set-1 scan code (0x100 added for keys sent with the
// E0 prefix, so the value is the key table's key code) and its virtual key on a US layout.
//
// The virtual key depends on the key's position alone: the keypad digits are VK_NUMPAD0-9 whatever
// Num Lock says (the scan code, which decides the key code, is the same either way).
#pragma once

#include <cstdint>
#include <optional>

namespace orvane {

// X key codes are evdev codes shifted by 8.
inline constexpr uint32_t kXKeyCodeOffset = 8;

struct EvdevKey {
  uint16_t scanCode = 0;    // set-1 make code, + 0x100 for E0 keys; 0 = no key
  uint8_t virtualKey = 0;   // Windows virtual key; 0 = none
};

// The set-1 scan code and virtual key of an evdev code; nullopt for codes no PC keyboard key has.
std::optional<EvdevKey> EvdevKeyOf(uint32_t evdev_code);

// One key message in the Windows form.
struct WindowsKeyMessage {
  uint32_t virtualKey = 0;
  uint32_t flags = 0;
  bool release() const { return (flags >> 31) & 1u; }
  bool autoRepeat() const { return !release() && ((flags >> 30) & 1u); }
  // The scan code with the extended bit as 0x100 (bits 16-24 of the flags).
  uint16_t scanCode() const { return uint16_t((flags >> 16) & 0x1FF); }
};

// The message of a native key event: key-down (release false; auto_repeat for the repeats the
// system generates while the key is held) or key-up. nullopt for a key code the table does not
// know and for the auto-repeat releases X11 sends between repeated key-downs (a held key gives one
// release, when it is let go).
std::optional<WindowsKeyMessage> TranslateNativeKey(uint32_t x_key_code, bool release, bool auto_repeat);

// The key codes of the left and right Windows keys and the Menu (Application) key. They come
// through the same translation but are handled apart from the other keys, as a low-level keyboard
// hook would see them.
inline constexpr uint16_t kLeftWindowsKeyCode = 0x15B;
inline constexpr uint16_t kRightWindowsKeyCode = 0x15C;
inline constexpr uint16_t kMenuKeyCode = 0x15D;
inline constexpr bool IsWindowsKeyCode(uint16_t scan_code) {
  return scan_code == kLeftWindowsKeyCode || scan_code == kRightWindowsKeyCode || scan_code == kMenuKeyCode;
}

}  // namespace orvane
