#include "platform/key_translation.h"

#include <array>

namespace orvane {

namespace {

// Windows virtual keys the table uses.
enum : uint8_t {
  VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12,
  VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_KANA = 0x15, VK_HANJA = 0x19, VK_CONVERT = 0x1C, VK_NONCONVERT = 0x1D,
  VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
  VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D,
  VK_DELETE = 0x2E, VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_SLEEP = 0x5F, VK_NUMPAD0 = 0x60,
  VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70,
  VK_F13 = 0x7C, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91, VK_BROWSER_BACK = 0xA6,
  VK_BROWSER_FORWARD = 0xA7, VK_BROWSER_REFRESH = 0xA8, VK_BROWSER_STOP = 0xA9, VK_BROWSER_SEARCH = 0xAA,
  VK_BROWSER_FAVORITES = 0xAB, VK_BROWSER_HOME = 0xAC, VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE,
  VK_VOLUME_UP = 0xAF, VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1, VK_MEDIA_STOP = 0xB2,
  VK_MEDIA_PLAY_PAUSE = 0xB3, VK_LAUNCH_MAIL = 0xB4, VK_LAUNCH_MEDIA_SELECT = 0xB5, VK_LAUNCH_APP1 = 0xB6,
  VK_LAUNCH_APP2 = 0xB7, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
  VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_ABNT_C1 = 0xC1, VK_ABNT_C2 = 0xC2,
  VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_OEM_102 = 0xE2,
};

struct Row {
  uint16_t evdev;
  uint16_t scan;
  uint8_t vk;
};

// evdev code -> set-1 scan code (+0x100 for E0) and virtual key. The media and browser keys are
// listed under every evdev code Linux gives them: the PS/2 keyboard driver's and the one USB
// consumer-control usages map to (0x183 -> KEY_CONFIG, 0x194 -> KEY_FILE). Keys the key table has
// no entry for (keypad =, F14-F24) are left out: they could be neither assigned nor recorded.
constexpr Row kRows[] = {
    {1, 0x01, VK_ESCAPE},
    {2, 0x02, '1'}, {3, 0x03, '2'}, {4, 0x04, '3'}, {5, 0x05, '4'}, {6, 0x06, '5'},
    {7, 0x07, '6'}, {8, 0x08, '7'}, {9, 0x09, '8'}, {10, 0x0A, '9'}, {11, 0x0B, '0'},
    {12, 0x0C, VK_OEM_MINUS}, {13, 0x0D, VK_OEM_PLUS}, {14, 0x0E, VK_BACK}, {15, 0x0F, VK_TAB},
    {16, 0x10, 'Q'}, {17, 0x11, 'W'}, {18, 0x12, 'E'}, {19, 0x13, 'R'}, {20, 0x14, 'T'},
    {21, 0x15, 'Y'}, {22, 0x16, 'U'}, {23, 0x17, 'I'}, {24, 0x18, 'O'}, {25, 0x19, 'P'},
    {26, 0x1A, VK_OEM_4}, {27, 0x1B, VK_OEM_6}, {28, 0x1C, VK_RETURN}, {29, 0x1D, VK_CONTROL},
    {30, 0x1E, 'A'}, {31, 0x1F, 'S'}, {32, 0x20, 'D'}, {33, 0x21, 'F'}, {34, 0x22, 'G'},
    {35, 0x23, 'H'}, {36, 0x24, 'J'}, {37, 0x25, 'K'}, {38, 0x26, 'L'},
    {39, 0x27, VK_OEM_1}, {40, 0x28, VK_OEM_7}, {41, 0x29, VK_OEM_3}, {42, 0x2A, VK_SHIFT},
    {43, 0x2B, VK_OEM_5},
    {44, 0x2C, 'Z'}, {45, 0x2D, 'X'}, {46, 0x2E, 'C'}, {47, 0x2F, 'V'}, {48, 0x30, 'B'},
    {49, 0x31, 'N'}, {50, 0x32, 'M'},
    {51, 0x33, VK_OEM_COMMA}, {52, 0x34, VK_OEM_PERIOD}, {53, 0x35, VK_OEM_2}, {54, 0x36, VK_SHIFT},
    {55, 0x37, VK_MULTIPLY}, {56, 0x38, VK_MENU}, {57, 0x39, VK_SPACE}, {58, 0x3A, VK_CAPITAL},
    {59, 0x3B, VK_F1}, {60, 0x3C, VK_F1 + 1}, {61, 0x3D, VK_F1 + 2}, {62, 0x3E, VK_F1 + 3},
    {63, 0x3F, VK_F1 + 4}, {64, 0x40, VK_F1 + 5}, {65, 0x41, VK_F1 + 6}, {66, 0x42, VK_F1 + 7},
    {67, 0x43, VK_F1 + 8}, {68, 0x44, VK_F1 + 9},
    // Num Lock is sent as an extended key, Pause (below) as 0x45.
    {69, 0x145, VK_NUMLOCK}, {70, 0x46, VK_SCROLL},
    {71, 0x47, VK_NUMPAD0 + 7}, {72, 0x48, VK_NUMPAD0 + 8}, {73, 0x49, VK_NUMPAD0 + 9},
    {74, 0x4A, VK_SUBTRACT}, {75, 0x4B, VK_NUMPAD0 + 4}, {76, 0x4C, VK_NUMPAD0 + 5},
    {77, 0x4D, VK_NUMPAD0 + 6}, {78, 0x4E, VK_ADD}, {79, 0x4F, VK_NUMPAD0 + 1},
    {80, 0x50, VK_NUMPAD0 + 2}, {81, 0x51, VK_NUMPAD0 + 3}, {82, 0x52, VK_NUMPAD0}, {83, 0x53, VK_DECIMAL},
    {86, 0x56, VK_OEM_102}, {87, 0x57, VK_F1 + 10}, {88, 0x58, VK_F1 + 11},
    {89, 0x73, VK_ABNT_C1}, {92, 0x79, VK_CONVERT}, {93, 0x70, VK_KANA}, {94, 0x7B, VK_NONCONVERT},
    {96, 0x11C, VK_RETURN}, {97, 0x11D, VK_CONTROL}, {98, 0x135, VK_DIVIDE}, {99, 0x137, VK_SNAPSHOT},
    {100, 0x138, VK_MENU},
    {102, 0x147, VK_HOME}, {103, 0x148, VK_UP}, {104, 0x149, VK_PRIOR}, {105, 0x14B, VK_LEFT},
    {106, 0x14D, VK_RIGHT}, {107, 0x14F, VK_END}, {108, 0x150, VK_DOWN}, {109, 0x151, VK_NEXT},
    {110, 0x152, VK_INSERT}, {111, 0x153, VK_DELETE},
    {113, 0x120, VK_VOLUME_MUTE}, {114, 0x12E, VK_VOLUME_DOWN}, {115, 0x130, VK_VOLUME_UP},
    {116, 0x15E, 0}, {119, 0x45, VK_PAUSE}, {121, 0x7E, VK_ABNT_C2},
    {122, 0x72, VK_KANA}, {123, 0x71, VK_HANJA}, {124, 0x7D, VK_OEM_5},
    {125, 0x15B, VK_LWIN}, {126, 0x15C, VK_RWIN}, {127, 0x15D, VK_APPS},
    {128, 0x168, VK_BROWSER_STOP}, {139, 0x15D, VK_APPS}, {140, 0x121, VK_LAUNCH_APP2},
    {142, 0x15F, VK_SLEEP}, {143, 0x163, 0}, {144, 0x16B, VK_LAUNCH_APP1},
    {155, 0x16C, VK_LAUNCH_MAIL}, {156, 0x166, VK_BROWSER_FAVORITES}, {157, 0x16B, VK_LAUNCH_APP1},
    {158, 0x16A, VK_BROWSER_BACK}, {159, 0x169, VK_BROWSER_FORWARD},
    {163, 0x119, VK_MEDIA_NEXT_TRACK}, {164, 0x122, VK_MEDIA_PLAY_PAUSE}, {165, 0x110, VK_MEDIA_PREV_TRACK},
    {166, 0x124, VK_MEDIA_STOP}, {171, 0x16D, VK_LAUNCH_MEDIA_SELECT}, {172, 0x132, VK_BROWSER_HOME},
    {173, 0x167, VK_BROWSER_REFRESH},
    {183, 0x64, VK_F13},
    {217, 0x165, VK_BROWSER_SEARCH}, {226, 0x16D, VK_LAUNCH_MEDIA_SELECT},
};

constexpr uint32_t kTableSize = 256;

constexpr std::array<EvdevKey, kTableSize> BuildTable() {
  std::array<EvdevKey, kTableSize> table{};
  for (const Row& row : kRows) table[row.evdev] = EvdevKey{row.scan, row.vk};
  return table;
}

constexpr std::array<EvdevKey, kTableSize> kTable = BuildTable();

constexpr uint32_t kRepeatCountOne = 1;
constexpr uint32_t kPreviousState = 1u << 30;
constexpr uint32_t kTransition = 1u << 31;
constexpr uint32_t kExtended = 1u << 24;

}  // namespace

std::optional<EvdevKey> EvdevKeyOf(uint32_t evdev_code) {
  if (evdev_code >= kTableSize || kTable[evdev_code].scanCode == 0) return std::nullopt;
  return kTable[evdev_code];
}

std::optional<WindowsKeyMessage> TranslateNativeKey(uint32_t x_key_code, bool release, bool auto_repeat) {
  // X11 reports a held key as release/press pairs; only the presses are the repeats a key message
  // stream has.
  if (release && auto_repeat) return std::nullopt;
  if (x_key_code < kXKeyCodeOffset) return std::nullopt;
  const std::optional<EvdevKey> key = EvdevKeyOf(x_key_code - kXKeyCodeOffset);
  if (!key) return std::nullopt;
  WindowsKeyMessage message;
  message.virtualKey = key->virtualKey;
  message.flags = kRepeatCountOne | (uint32_t(key->scanCode & 0xFF) << 16) | ((key->scanCode & 0x100) ? kExtended : 0);
  if (release)
    message.flags |= kPreviousState | kTransition;
  else if (auto_repeat)
    message.flags |= kPreviousState;
  return message;
}

}  // namespace orvane
