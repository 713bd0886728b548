// Tables and conversions of the key table.
#include "model/key_table.h"

#include <algorithm>

#include "platform/format.h"

namespace orvane {
namespace {

struct DefinedKey {
  uint16_t code;
  uint16_t listPosition;
  uint8_t usage;
  const char* languageKey;
  const char* name;
};

// Every key and key-like function the program knows, by key code. Right Shift appears twice:
// 0x036 and the fake shift 0x136 that some keyboards send with E0.
constexpr DefinedKey kDefinedKeys[] = {
    {0x001, 37, 0x29, "IDS_KEYBOARD_ESC", "Esc"},
    {0x002, 26, 0x1E, "IDS_KEYBOARD_1", "1"},
    {0x003, 27, 0x1F, "IDS_KEYBOARD_2", "2"},
    {0x004, 28, 0x20, "IDS_KEYBOARD_3", "3"},
    {0x005, 29, 0x21, "IDS_KEYBOARD_4", "4"},
    {0x006, 30, 0x22, "IDS_KEYBOARD_5", "5"},
    {0x007, 31, 0x23, "IDS_KEYBOARD_6", "6"},
    {0x008, 32, 0x24, "IDS_KEYBOARD_7", "7"},
    {0x009, 33, 0x25, "IDS_KEYBOARD_8", "8"},
    {0x00A, 34, 0x26, "IDS_KEYBOARD_9", "9"},
    {0x00B, 35, 0x27, "IDS_KEYBOARD_0", "0"},
    {0x00C, 41, 0x2D, "IDS_KEYBOARD_MINUS", "-"},
    {0x00D, 42, 0x2E, "IDS_KEYBOARD_EQU", "="},
    {0x00E, 38, 0x2A, "IDS_KEYBOARD_BS", "Backspace"},
    {0x00F, 39, 0x2B, "IDS_KEYBOARD_TAB", "Tab"},
    {0x010, 16, 0x14, "IDS_KEYBOARD_Q", "Q"},
    {0x011, 22, 0x1A, "IDS_KEYBOARD_W", "W"},
    {0x012, 4, 0x08, "IDS_KEYBOARD_E", "E"},
    {0x013, 17, 0x15, "IDS_KEYBOARD_R", "R"},
    {0x014, 19, 0x17, "IDS_KEYBOARD_T", "T"},
    {0x015, 24, 0x1C, "IDS_KEYBOARD_Y", "Y"},
    {0x016, 20, 0x18, "IDS_KEYBOARD_U", "U"},
    {0x017, 8, 0x0C, "IDS_KEYBOARD_I", "I"},
    {0x018, 14, 0x12, "IDS_KEYBOARD_O", "O"},
    {0x019, 15, 0x13, "IDS_KEYBOARD_P", "P"},
    {0x01A, 43, 0x2F, "IDS_KEYBOARD_SB1", "["},
    {0x01B, 44, 0x30, "IDS_KEYBOARD_SB2", "]"},
    {0x01C, 36, 0x28, "IDS_KEYBOARD_ENTER", "Enter"},
    {0x01D, 98, 0xE0, "IDS_KEYBOARD_LCTRL", "Ctrl"},
    {0x01E, 0, 0x04, "IDS_KEYBOARD_A", "A"},
    {0x01F, 18, 0x16, "IDS_KEYBOARD_S", "S"},
    {0x020, 3, 0x07, "IDS_KEYBOARD_D", "D"},
    {0x021, 5, 0x09, "IDS_KEYBOARD_F", "F"},
    {0x022, 6, 0x0A, "IDS_KEYBOARD_G", "G"},
    {0x023, 7, 0x0B, "IDS_KEYBOARD_H", "H"},
    {0x024, 9, 0x0D, "IDS_KEYBOARD_J", "J"},
    {0x025, 10, 0x0E, "IDS_KEYBOARD_K", "K"},
    {0x026, 11, 0x0F, "IDS_KEYBOARD_L", "L"},
    {0x027, 46, 0x33, "IDS_KEYBOARD_SEM", ";"},
    {0x028, 47, 0x34, "IDS_KEYBOARD_QUOT", "'"},
    {0x029, 48, 0x35, "IDS_KEYBOARD_AID1", "`"},
    {0x02A, 99, 0xE1, "IDS_KEYBOARD_LSHIFT", "Shift"},
    {0x02B, 45, 0x31, "IDS_KEYBOARD_AV", "\\"},
    {0x02C, 25, 0x1D, "IDS_KEYBOARD_Z", "Z"},
    {0x02D, 23, 0x1B, "IDS_KEYBOARD_X", "X"},
    {0x02E, 2, 0x06, "IDS_KEYBOARD_C", "C"},
    {0x02F, 21, 0x19, "IDS_KEYBOARD_V", "V"},
    {0x030, 1, 0x05, "IDS_KEYBOARD_B", "B"},
    {0x031, 13, 0x11, "IDS_KEYBOARD_N", "N"},
    {0x032, 12, 0x10, "IDS_KEYBOARD_M", "M"},
    {0x033, 49, 0x36, "IDS_KEYBOARD_COMMA", ","},
    {0x034, 50, 0x37, "IDS_KEYBOARD_PER", "."},
    {0x035, 51, 0x38, "IDS_KEYBOARD_VIR", "/"},
    {0x036, 103, 0xE5, "IDS_KEYBOARD_RSHIFT", "Right Shift"},
    {0x037, 81, 0x55, "IDS_KEYBOARD_S_AST", "Num *"},
    {0x038, 100, 0xE2, "IDS_KEYBOARD_LALT", "Alt"},
    {0x039, 40, 0x2C, "IDS_KEYBOARD_SPACE", "Space"},
    {0x03A, 78, 0x39, "IDS_KEYBOARD_CAPS", "Caps Lock"},
    {0x03B, 52, 0x3A, "IDS_KEYBOARD_F1", "F1"},
    {0x03C, 53, 0x3B, "IDS_KEYBOARD_F2", "F2"},
    {0x03D, 54, 0x3C, "IDS_KEYBOARD_F3", "F3"},
    {0x03E, 55, 0x3D, "IDS_KEYBOARD_F4", "F4"},
    {0x03F, 56, 0x3E, "IDS_KEYBOARD_F5", "F5"},
    {0x040, 57, 0x3F, "IDS_KEYBOARD_F6", "F6"},
    {0x041, 58, 0x40, "IDS_KEYBOARD_F7", "F7"},
    {0x042, 59, 0x41, "IDS_KEYBOARD_F8", "F8"},
    {0x043, 60, 0x42, "IDS_KEYBOARD_F9", "F9"},
    {0x044, 61, 0x43, "IDS_KEYBOARD_F10", "F10"},
    {0x045, 65, 0x48, "IDS_KEYBOARD_PAUSE", "Pause"},
    {0x046, 77, 0x47, "IDS_KEYBOARD_SCROLL", "Scroll Lock"},
    {0x047, 91, 0x5F, "IDS_KEYBOARD_S_7", "Num 7"},
    {0x048, 92, 0x60, "IDS_KEYBOARD_S_8", "Num 8"},
    {0x049, 93, 0x61, "IDS_KEYBOARD_S_9", "Num 9"},
    {0x04A, 82, 0x56, "IDS_KEYBOARD_S_MINUS", "Num -"},
    {0x04B, 88, 0x5C, "IDS_KEYBOARD_S_4", "Num 4"},
    {0x04C, 89, 0x5D, "IDS_KEYBOARD_S_5", "Num 5"},
    {0x04D, 90, 0x5E, "IDS_KEYBOARD_S_6", "Num 6"},
    {0x04E, 83, 0x57, "IDS_KEYBOARD_S_PLUS", "Num +"},
    {0x04F, 85, 0x59, "IDS_KEYBOARD_S_1", "Num 1"},
    {0x050, 86, 0x5A, "IDS_KEYBOARD_S_2", "Num 2"},
    {0x051, 87, 0x5B, "IDS_KEYBOARD_S_3", "Num 3"},
    {0x052, 94, 0x62, "IDS_KEYBOARD_S_0", "Num 0"},
    {0x053, 95, 0x63, "IDS_KEYBOARD_S_DEL", "Num ."},
    {0x054, kNotInLists, 0x00, "IDS_KEYBOARD_SYSREQ", "Sys Req"},
    {0x056, 96, 0x64, "IDS_KEYBOARD_K45", "K45"},
    {0x057, 62, 0x44, "IDS_KEYBOARD_F11", "F11"},
    {0x058, 63, 0x45, "IDS_KEYBOARD_F12", "F12"},
    {0x064, kNotInLists, 0x00, "", "F13"},
    {0x070, kNotInLists, 0x88, "IDS_KEYBOARD_ROMA", "ROMA (133)"},
    {0x071, kNotInLists, 0x91, "IDS_KEYBOARD_KL", "KL"},
    {0x072, kNotInLists, 0x90, "IDS_KEYBOARD_KR", "KR"},
    {0x073, kNotInLists, 0x87, "IDS_KEYBOARD_K56", "K56"},
    {0x079, kNotInLists, 0x8A, "IDS_KEYBOARD_CHG", "CHG (132)"},
    {0x07B, kNotInLists, 0x8B, "IDS_KEYBOARD_N_CHG", "N-CHG (131)"},
    {0x07D, kNotInLists, 0x89, "IDS_KEYBOARD_K14", "K14"},
    {0x07E, kNotInLists, 0x85, "IDS_KEYBOARD_K107", "K107"},
    {0x110, kNotInLists, 0xD0, "MEDIA_PREV_TRACK_4", "Prev Track"},
    {0x119, kNotInLists, 0xD1, "MEDIA_Next_TRACK_5", "Next Track"},
    {0x11C, 84, 0x58, "IDS_KEYBOARD_S_ENTER", "Num Enter"},
    {0x11D, 102, 0xE4, "IDS_KEYBOARD_RCTRL", "Right Ctrl"},
    {0x120, kNotInLists, 0xCD, "MEDIA_MUTE_8", "Mute"},
    {0x121, kNotInLists, 0xC4, "MEDIA_CALC_17", "Calc"},
    {0x122, kNotInLists, 0xCE, "MEDIA_PALY_PAUSE_2", "Play/Pause"},
    {0x124, kNotInLists, 0xCF, "MEDIA_STOP_PALY_3", "Stop Play"},
    {0x12E, kNotInLists, 0xC1, "MEDIA_V_LOW_6", "V-"},
    {0x130, kNotInLists, 0xC0, "MEDIA_V_ADD_7", "V+"},
    {0x132, kNotInLists, 0xC7, "MEDIA_WWW_HOME_9", "WWW Home"},
    {0x135, 80, 0x54, "IDS_KEYBOARD_S_VIR", "Num /"},
    {0x136, 103, 0xE5, "IDS_KEYBOARD_RSHIFT", "Right Shift"},
    {0x137, 64, 0x46, "IDS_KEYBOARD_PRINT", "Print Screen"},
    {0x138, 104, 0xE6, "IDS_KEYBOARD_RALT", "Right Alt"},
    {0x145, 79, 0x53, "IDS_KEYBOARD_NUM", "Num Lock"},
    {0x146, 66, 0x48, "IDS_KEYBOARD_BREAK", "Break"},
    {0x147, 69, 0x4A, "IDS_KEYBOARD_HOME", "Home"},
    {0x148, 73, 0x52, "IDS_KEYBOARD_UP", "↑"},
    {0x149, 71, 0x4B, "IDS_KEYBOARD_PAGE_UP", "Page Up"},
    {0x14B, 75, 0x50, "IDS_KEYBOARD_LEFT", "←"},
    {0x14D, 76, 0x4F, "IDS_KEYBOARD_RIGHT", "→"},
    {0x14F, 70, 0x4D, "IDS_KEYBOARD_END", "End"},
    {0x150, 74, 0x51, "IDS_KEYBOARD_DOWN", "↓"},
    {0x151, 72, 0x4E, "IDS_KEYBOARD_PAGE_DOWN", "Page Down"},
    {0x152, 67, 0x49, "IDS_KEYBOARD_INSERT", "Insert"},
    {0x153, 68, 0x4C, "IDS_KEYBOARD_DELETE", "Delete"},
    {0x15B, 101, 0xE3, "IDS_KEYBOARD_LWIN", "Win"},
    {0x15C, 105, 0xE7, "IDS_KEYBOARD_RWIN", "Right Win"},
    {0x15D, 97, 0x65, "IDS_KEYBOARD_APP", "App"},
    {0x15E, kNotInLists, 0x81, "IDS_KEYBOARD_POWER", "Power"},
    {0x15F, kNotInLists, 0x82, "IDS_KEYBOARD_SLEEP", "Sleep"},
    {0x161, 109, 0xF4, "IDS_KEYBOARD_ROLL_UP", "Roll Up"},
    {0x162, 110, 0xF5, "IDS_KEYBOARD_ROLL_DOWN", "Roll Down"},
    {0x163, kNotInLists, 0x83, "IDS_KEYBOARD_WAKE", "Wake"},
    {0x165, kNotInLists, 0xC6, "MEDIA_WWW_SEARCH_15", "WWW Search"},
    {0x166, kNotInLists, 0xCC, "MEDIA_WWW_FAVORITE_14", "WWW Favorite"},
    {0x167, kNotInLists, 0xCB, "MEDIA_WWW_REFRESH_10", "WWW Refresh"},
    {0x168, kNotInLists, 0xCA, "MEDIA_WWW_STOP_11", "WWW Stop"},
    {0x169, kNotInLists, 0xC9, "MEDIA_WWW_FORWARD_13", "WWW Forward"},
    {0x16A, kNotInLists, 0xC8, "MEDIA_WWW_BACK_12", "WWW Back"},
    {0x16B, kNotInLists, 0xC5, "MEDIA_MY_PC_16", "My PC"},
    {0x16C, kNotInLists, 0xC3, "MEDIA_MAIL_18", "Mail"},
    {0x16D, kNotInLists, 0xC2, "MEDIA_PALYER_1", "Media Player"},
    {0x16E, kNotInLists, 0x00, "IDS_KEYBOARD_MOU_PANLEFT", "Pan Left"},
    {0x16F, kNotInLists, 0x00, "IDS_KEYBOARD_MOU_PANRIGHT", "Pan Right"},
    {0x170, kNotInLists, 0x00, "IDS_KEYBOARD_MOU_DBCLICK", "Double Click"},
    {0x171, 106, 0xF1, "IDS_KEYBOARD_MOU_LEFT", "Left Button"},
    {0x172, 107, 0xF2, "IDS_KEYBOARD_MOU_RIGHT", "Right Button"},
    {0x173, 108, 0xF3, "IDS_KEYBOARD_MOU_MIDDLE", "Middle Button"},
    {0x174, kNotInLists, 0xD2, "IDS_KEYBOARD_FUNC_ZOOMOUT", "Zoom-"},
    {0x175, kNotInLists, 0xD3, "IDS_KEYBOARD_FUNC_ZOOMIN", "Zoom+"},
    {0x176, kNotInLists, 0x00, "IDS_KEYBOARD_FUNC_COPY", "Copy"},
    {0x177, kNotInLists, 0x00, "IDS_KEYBOARD_FUNC_CUT", "Cut"},
    {0x178, kNotInLists, 0x00, "IDS_KEYBOARD_FUNC_PASTE", "Paste"},
    {0x179, kNotInLists, 0x00, "IDS_KEYBOARD_FUNC_MINI", "Minimize"},
    {0x17A, kNotInLists, 0x00, "IDS_KEYBOARD_FUNC_MAXI", "Maximize"},
    {0x17B, kNotInLists, 0xD4, "IDS_KEYBOARD_FUNC_WORD", "Word"},
    {0x17C, kNotInLists, 0xD5, "IDS_KEYBOARD_FUNC_EXCEL", "Excel"},
    {0x17D, kNotInLists, 0x00, "IDS_KEYBOARD_FUNC_POWERPOINT", "PowerPoint"},
    {0x17E, kNotInLists, 0x00, "IDS_KEYBOARD_FUNC_CALENDAR", "Calendar"},
};

constexpr std::array<KeyEntry, kKeyTableSize> BuildKeyEntries() {
  std::array<KeyEntry, kKeyTableSize> table{};
  for (int i = 0; i < kKeyTableSize; ++i) table[i].code = i < 0x80 ? uint16_t(i) : uint16_t(i + 0x80);
  for (const DefinedKey& k : kDefinedKeys) {
    int index = k.code < 0x100 ? k.code : (k.code - 0x80) % 256;
    table[index] = KeyEntry{k.code, k.listPosition, k.usage, k.languageKey, k.name};
  }
  return table;
}

constexpr std::array<KeyEntry, kKeyTableSize> kKeyEntries = BuildKeyEntries();

// Code of the first (lowest-index) entry with each usage byte; 0 where none has it.
constexpr std::array<uint16_t, 256> BuildCodeOfUsage() {
  std::array<uint16_t, 256> table{};
  for (const KeyEntry& e : kKeyEntries)
    if (e.usage != 0 && table[e.usage] == 0) table[e.usage] = e.code;
  return table;
}

constexpr std::array<uint16_t, 256> kCodeOfUsage = BuildCodeOfUsage();

constexpr std::array<uint16_t, 32> kConsumerUsages = {
    0x0E9, 0x0EA, 0x183, 0x18A, 0x192, 0x194, 0x221, 0x223, 0x224, 0x225, 0x226,
    0x227, 0x22A, 0x0E2, 0x0CD, 0x0B7, 0x0B6, 0x0B5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

constexpr std::array<MediaFunction, kMediaFunctionCount> kMediaFunctions = {{
    {0x183, 0x16D}, {0x0CD, 0x122}, {0x0B7, 0x124}, {0x0B6, 0x110}, {0x0B5, 0x119}, {0x0EA, 0x12E},
    {0x0E9, 0x130}, {0x0E2, 0x120}, {0x223, 0x132}, {0x227, 0x167}, {0x226, 0x168}, {0x224, 0x16A},
    {0x225, 0x169}, {0x22A, 0x166}, {0x221, 0x165}, {0x194, 0x16B}, {0x192, 0x121}, {0x18A, 0x16C},
}};

constexpr std::array<KeyButton, kKeyButtonCount> kKeyButtons = {{
    {0x01E, 1058}, {0x030, 1075}, {0x02E, 1073}, {0x020, 1060},
    {0x012, 1046}, {0x021, 1061}, {0x022, 1062}, {0x023, 1063},
    {0x017, 1051}, {0x024, 1064}, {0x025, 1065}, {0x026, 1066},
    {0x032, 1077}, {0x031, 1076}, {0x018, 1052}, {0x019, 1053},
    {0x010, 1044}, {0x013, 1047}, {0x01F, 1059}, {0x014, 1048},
    {0x016, 1050}, {0x02F, 1074}, {0x011, 1045}, {0x02D, 1072},
    {0x015, 1049}, {0x02C, 1071}, {0x002, 1030}, {0x003, 1031},
    {0x004, 1032}, {0x005, 1033}, {0x006, 1034}, {0x007, 1035},
    {0x008, 1036}, {0x009, 1037}, {0x00A, 1038}, {0x00B, 1039},
    {0x01C, 1070}, {0x001, 1022}, {0x00E, 1043}, {0x00F, 1056},
    {0x039, 1090}, {0x00C, 1040}, {0x00D, 1041}, {0x01A, 1054},
    {0x01B, 1055}, {0x02B, 1042}, {0x027, 1067}, {0x028, 1068},
    {0x029, 1029}, {0x033, 1078}, {0x034, 1079}, {0x035, 1080},
    {0x03B, 1010}, {0x03C, 1011}, {0x03D, 1012}, {0x03E, 1013},
    {0x03F, 1014}, {0x040, 1015}, {0x041, 1023}, {0x042, 1024},
    {0x043, 1025}, {0x044, 1026}, {0x057, 1027}, {0x058, 1028},
    {0x137, 1091}, {0x045, 1093}, {0x152, 1094}, {0x153, 1097},
    {0x147, 1095}, {0x14F, 1098}, {0x149, 1096}, {0x151, 1099},
    {0x148, 1103}, {0x150, 1101}, {0x14B, 1100}, {0x14D, 1102},
    {0x046, 1092}, {0x03A, 1069}, {0x15D, 1088}, {0x01D, 1083},
    {0x11D, 1089}, {0x02A, 1082}, {0x036, 1081}, {0x038, 1085},
    {0x138, 1086}, {0x15B, 1084}, {0x15C, 1087}, {0x04F, 1115},
    {0x050, 1116}, {0x051, 1117}, {0x04B, 1112}, {0x04C, 1113},
    {0x04D, 1114}, {0x047, 1108}, {0x048, 1109}, {0x049, 1110},
    {0x052, 1120}, {0x145, 1104}, {0x11C, 1118}, {0x053, 1119},
    {0x135, 1105}, {0x037, 1106}, {0x04A, 1107}, {0x04E, 1111},
}};

constexpr std::array<int, kGKeyCount> kGKeyButtons = {1000, 1001, 1002, 1003, 1004,
                                                      1140, 1141, 1142, 1143};

// Modifier key codes by bit of the HID modifier byte.
constexpr uint16_t kModifierCodes[8] = {0x01D, 0x02A, 0x038, 0x15B, 0x11D, 0x036, 0x138, 0x15C};

struct VirtualKeyCode {
  uint8_t vk;
  uint16_t code;
};

// What each virtual key means on a US layout. The generic modifiers give the left key.
constexpr VirtualKeyCode kVirtualKeys[] = {
    {0x03, 0x146},  // VK_CANCEL (Ctrl+Break)
    {0x08, 0x00E},  // VK_BACK
    {0x09, 0x00F},  // VK_TAB
    {0x0C, 0x04C},  // VK_CLEAR (keypad 5 without Num Lock)
    {0x0D, 0x01C},  // VK_RETURN
    {0x10, 0x02A},  // VK_SHIFT
    {0x11, 0x01D},  // VK_CONTROL
    {0x12, 0x038},  // VK_MENU
    {0x13, 0x045},  // VK_PAUSE
    {0x14, 0x03A},  // VK_CAPITAL
    {0x1B, 0x001},  // VK_ESCAPE
    {0x20, 0x039},  // VK_SPACE
    {0x21, 0x149},  // VK_PRIOR
    {0x22, 0x151},  // VK_NEXT
    {0x23, 0x14F},  // VK_END
    {0x24, 0x147},  // VK_HOME
    {0x25, 0x14B},  // VK_LEFT
    {0x26, 0x148},  // VK_UP
    {0x27, 0x14D},  // VK_RIGHT
    {0x28, 0x150},  // VK_DOWN
    {0x2C, 0x137},  // VK_SNAPSHOT
    {0x2D, 0x152},  // VK_INSERT
    {0x2E, 0x153},  // VK_DELETE
    {'0', 0x00B}, {'1', 0x002}, {'2', 0x003}, {'3', 0x004}, {'4', 0x005},
    {'5', 0x006}, {'6', 0x007}, {'7', 0x008}, {'8', 0x009}, {'9', 0x00A},
    {'A', 0x01E}, {'B', 0x030}, {'C', 0x02E}, {'D', 0x020}, {'E', 0x012}, {'F', 0x021},
    {'G', 0x022}, {'H', 0x023}, {'I', 0x017}, {'J', 0x024}, {'K', 0x025}, {'L', 0x026},
    {'M', 0x032}, {'N', 0x031}, {'O', 0x018}, {'P', 0x019}, {'Q', 0x010}, {'R', 0x013},
    {'S', 0x01F}, {'T', 0x014}, {'U', 0x016}, {'V', 0x02F}, {'W', 0x011}, {'X', 0x02D},
    {'Y', 0x015}, {'Z', 0x02C},
    {0x5B, 0x15B},  // VK_LWIN
    {0x5C, 0x15C},  // VK_RWIN
    {0x5D, 0x15D},  // VK_APPS
    {0x5F, 0x15F},  // VK_SLEEP
    {0x60, 0x052}, {0x61, 0x04F}, {0x62, 0x050}, {0x63, 0x051}, {0x64, 0x04B},  // VK_NUMPAD0-4
    {0x65, 0x04C}, {0x66, 0x04D}, {0x67, 0x047}, {0x68, 0x048}, {0x69, 0x049},  // VK_NUMPAD5-9
    {0x6A, 0x037},  // VK_MULTIPLY
    {0x6B, 0x04E},  // VK_ADD
    {0x6D, 0x04A},  // VK_SUBTRACT
    {0x6E, 0x053},  // VK_DECIMAL
    {0x6F, 0x135},  // VK_DIVIDE
    {0x70, 0x03B}, {0x71, 0x03C}, {0x72, 0x03D}, {0x73, 0x03E}, {0x74, 0x03F},  // VK_F1-F5
    {0x75, 0x040}, {0x76, 0x041}, {0x77, 0x042}, {0x78, 0x043}, {0x79, 0x044},  // VK_F6-F10
    {0x7A, 0x057}, {0x7B, 0x058},                                               // VK_F11, VK_F12
    {0x7C, 0x064},                                                              // VK_F13
    {0x90, 0x145},  // VK_NUMLOCK
    {0x91, 0x046},  // VK_SCROLL
    {0xA0, 0x02A},  // VK_LSHIFT
    {0xA1, 0x036},  // VK_RSHIFT
    {0xA2, 0x01D},  // VK_LCONTROL
    {0xA3, 0x11D},  // VK_RCONTROL
    {0xA4, 0x038},  // VK_LMENU
    {0xA5, 0x138},  // VK_RMENU
    {0xA6, 0x16A},  // VK_BROWSER_BACK
    {0xA7, 0x169},  // VK_BROWSER_FORWARD
    {0xA8, 0x167},  // VK_BROWSER_REFRESH
    {0xA9, 0x168},  // VK_BROWSER_STOP
    {0xAA, 0x165},  // VK_BROWSER_SEARCH
    {0xAB, 0x166},  // VK_BROWSER_FAVORITES
    {0xAC, 0x132},  // VK_BROWSER_HOME
    {0xAD, 0x120},  // VK_VOLUME_MUTE
    {0xAE, 0x12E},  // VK_VOLUME_DOWN
    {0xAF, 0x130},  // VK_VOLUME_UP
    {0xB0, 0x119},  // VK_MEDIA_NEXT_TRACK
    {0xB1, 0x110},  // VK_MEDIA_PREV_TRACK
    {0xB2, 0x124},  // VK_MEDIA_STOP
    {0xB3, 0x122},  // VK_MEDIA_PLAY_PAUSE
    {0xB4, 0x16C},  // VK_LAUNCH_MAIL
    {0xB5, 0x16D},  // VK_LAUNCH_MEDIA_SELECT
    {0xB6, 0x16B},  // VK_LAUNCH_APP1 (My Computer)
    {0xB7, 0x121},  // VK_LAUNCH_APP2 (Calculator)
    {0xBA, 0x027},  // VK_OEM_1  ;
    {0xBB, 0x00D},  // VK_OEM_PLUS  =
    {0xBC, 0x033},  // VK_OEM_COMMA
    {0xBD, 0x00C},  // VK_OEM_MINUS
    {0xBE, 0x034},  // VK_OEM_PERIOD
    {0xBF, 0x035},  // VK_OEM_2  /
    {0xC0, 0x029},  // VK_OEM_3  `
    {0xDB, 0x01A},  // VK_OEM_4  [
    {0xDC, 0x02B},  // VK_OEM_5  backslash
    {0xDD, 0x01B},  // VK_OEM_6  ]
    {0xDE, 0x028},  // VK_OEM_7  '
    {0xE2, 0x056},  // VK_OEM_102 (the extra key beside Left Shift)
};

constexpr std::array<uint16_t, 256> BuildVirtualKeyTable() {
  std::array<uint16_t, 256> table{};
  for (const VirtualKeyCode& v : kVirtualKeys) table[v.vk] = v.code;
  return table;
}

constexpr std::array<uint16_t, 256> kVirtualKeyTable = BuildVirtualKeyTable();

// Cuts a UTF-8 string to at most max_chars characters, never inside a character.
std::string CutToCharacters(const std::string& text, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((uint8_t(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == max_chars) return text.substr(0, i);
    ++chars;
  }
  return text;
}

}  // namespace

const std::array<KeyEntry, kKeyTableSize>& KeyEntries() { return kKeyEntries; }

int KeyIndexOf(uint16_t code) {
  if (code < 0x100) return code;
  if (code < 0x200) return (code - 0x80) % 256;
  return code - 0x100;
}

uint16_t KeyCodeOf(int index) {
  if (index < 0) return 0;
  if (index < 0x80) return uint16_t(index);
  if (index < 0x100) return uint16_t(index + 0x80);
  if (index <= 0xFFFF - 0x100) return uint16_t(index + 0x100);
  return 0;
}

const KeyEntry* KeyEntryOf(uint16_t code) {
  int index = KeyIndexOf(code);
  return index < kKeyTableSize ? &kKeyEntries[index] : nullptr;
}

bool IsKeyCode(uint32_t code) {
  if (code > 0xFFFF) return false;
  const KeyEntry* e = KeyEntryOf(uint16_t(code));
  return e && e->code == code && (*e->name != '\0' || *e->languageKey != '\0');
}

uint16_t ListPositionOf(uint16_t code) {
  const KeyEntry* e = KeyEntryOf(code);
  return e ? e->listPosition : kNotInLists;
}

uint16_t KeyCodeAtListPosition(uint16_t position) {
  for (const KeyEntry& e : kKeyEntries)
    if (e.listPosition == position) return e.code;
  return 0;
}

DeviceUsage DeviceUsageOf(uint16_t code) {
  const KeyEntry* e = KeyEntryOf(code);
  if (!e) return {};
  uint8_t u = e->usage;
  if (u == 0 || u == 0xFF) return {};
  if (u >= 0x81 && u <= 0x83) return {kUsageSystem, u};
  if (u >= 0xF1 && u <= 0xF8) return {kUsageMouse, u};
  if (u >= 0xC0 && u <= 0xDF) {
    // Consumer keys are sent as their 16-bit consumer usage; an empty table entry means the key
    // has nothing the keyboard can send.
    uint16_t consumer = kConsumerUsages[u - 0xC0];
    if (consumer == 0) return {};
    return {kUsageConsumer, consumer};
  }
  return {kUsageKeyboard, u};
}

uint16_t KeyCodeOfDeviceUsage(int kind, uint16_t value) {
  uint8_t usage = 0;
  switch (kind) {
    case kUsageKeyboard:
      if (value <= 0xFF) usage = uint8_t(value);
      break;
    case kUsageSystem:
      if (value >= 0x81 && value <= 0x83) usage = uint8_t(value);
      break;
    case kUsageConsumer:
      // Usage 0 is no usage: the table's empty entries must not match it.
      if (value == 0) break;
      for (size_t n = 0; n < kConsumerUsages.size(); ++n)
        if (kConsumerUsages[n] == value) {
          usage = uint8_t(0xC0 + n);
          break;
        }
      break;
    default:
      break;
  }
  return kCodeOfUsage[usage];
}

uint16_t ModifierCodeOfBits(uint8_t bits) {
  for (int bit = 0; bit < 8; ++bit)
    if (bits & (1u << bit)) return kModifierCodes[bit];
  return 0;
}

uint8_t ModifierBitOfCode(uint16_t code) {
  for (int bit = 0; bit < 8; ++bit)
    if (kModifierCodes[bit] == code) return uint8_t(1u << bit);
  return 0;
}

uint16_t KeyCodeOfDefaultEntry(uint8_t kind, uint8_t b1, uint8_t b2) {
  switch (kind) {
    case 1:
      if (b1 == 1) {
        if (b2 == 1) return 0x171;
        if (b2 == 2) return 0x172;
        if (b2 == 4) return 0x173;
      } else if (b1 == 5) {
        if (b2 == 0x01) return 0x161;
        if (b2 == 0xFF) return 0x162;
      }
      return 0;
    case 2:
      return b1 == 2 ? KeyCodeOfDeviceUsage(kUsageKeyboard, b2) : ModifierCodeOfBits(b2);
    case 3:
      return KeyCodeOfDeviceUsage(kUsageConsumer, uint16_t(b1 | (b2 << 8)));
    case 4:
      return KeyCodeOfDeviceUsage(kUsageSystem, uint16_t(b1 | (b2 << 8)));
    case 6:
      if (b1 == 0xA2 && b2 >= 1 && b2 <= 18) return uint16_t(0x1FF + b2);
      return 0;
    default:
      return 0;
  }
}

uint16_t KeyCodeOfMessage(uint32_t virtual_key, uint32_t flags) {
  uint16_t d = uint16_t((flags >> 16) & 0x1FF);
  if (virtual_key != 0xFF && ((flags >> 16) & 0xFF) == 0)
    d = virtual_key < kVirtualKeyTable.size() ? kVirtualKeyTable[virtual_key] : 0;
  switch (d) {
    case 0x054: return 0x137;  // Alt+Print Screen
    case 0x136: return 0x036;  // fake shift sent with E0
    case 0x146: return 0x045;  // Ctrl+Pause
    default: return d;
  }
}

const std::array<uint16_t, 256>& VirtualKeyTable() { return kVirtualKeyTable; }
const std::array<uint16_t, 32>& ConsumerUsageTable() { return kConsumerUsages; }
const std::array<MediaFunction, kMediaFunctionCount>& MediaFunctions() { return kMediaFunctions; }

int MediaIndexOfUsage(uint16_t consumer_usage) {
  for (int i = 0; i < kMediaFunctionCount; ++i)
    if (kMediaFunctions[i].consumerUsage == consumer_usage) return i;
  return -1;
}

bool IsMediaKeyCode(uint16_t code) {
  return std::any_of(kMediaFunctions.begin(), kMediaFunctions.end(),
                     [code](const MediaFunction& m) { return m.code == code; });
}

const std::array<KeyButton, kKeyButtonCount>& KeyButtons() { return kKeyButtons; }
const std::array<int, kGKeyCount>& GKeyButtons() { return kGKeyButtons; }

uint16_t KeyCodeOfButton(int control_id) {
  for (const KeyButton& b : kKeyButtons)
    if (b.controlId == control_id) return b.code;
  return 0;
}

int ButtonOfKeyCode(uint16_t code) {
  for (const KeyButton& b : kKeyButtons)
    if (b.code == code) return b.controlId;
  return 0;
}

int GKeyOfButton(int control_id) {
  for (int i = 0; i < kGKeyCount; ++i)
    if (kGKeyButtons[i] == control_id) return i + 1;
  return 0;
}

std::string KeyDisplayName(const ITextSource& texts, uint16_t code, size_t capacity) {
  if (capacity == 0) return {};
  const KeyEntry* e = KeyEntryOf(code);
  std::string name;
  if (e && e->languageKey[0] != '\0') name = texts.Text(e->languageKey);
  if (name.empty()) name = FormatChecked(texts.Text("UNKNOWN_KEY"), {int64_t(code)});
  return CutToCharacters(name, capacity - 1);
}

std::string ListDisplayName(const ITextSource& texts, uint16_t position) {
  for (const KeyEntry& e : kKeyEntries) {
    if (e.listPosition != position) continue;
    if (e.languageKey[0] == '\0') return {};
    return texts.Text(e.languageKey);
  }
  return {};
}

std::vector<std::string> KeyTableLanguageKeys() {
  std::vector<std::string> keys;
  for (const KeyEntry& e : kKeyEntries) {
    if (e.languageKey[0] == '\0') continue;
    if (std::find(keys.begin(), keys.end(), e.languageKey) == keys.end())
      keys.emplace_back(e.languageKey);
  }
  return keys;
}

}  // namespace orvane
