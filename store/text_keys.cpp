#include "store/text_keys.h"

#include <algorithm>

namespace orvane {
namespace {

// std::to_array sizes the lists from their contents, so a key added or dropped here without the
// count in the header fails to compile instead of leaving an empty slot.
constexpr auto kProgramTextKeyList = std::to_array<std::string_view>({
    "A_BOTTOM",
    "A_CLEAR",
    "A_DELETE",
    "A_DOWN",
    "A_RECORD",
    "A_TOP",
    "A_UP",
    "COMPOSITE_APPLY",
    "COMPOSITE_OSK_MISSING",
    "COMPOSITE_PROMPT_CLEAR",
    "COMPOSITE_PROMPT_OSK",
    "COMPOSITE_PROMPT_TEXT_CLEAR",
    "DEFAULT_PROFILE_NAME",
    "EXTRA_MACRO_TOO_LONG",
    "EXTRA_PROFILE_SPACE_TIGHT",
    "FUNCTION_KEY",
    "FUNCTION_TISHI",
    "FUNC_KEY_DESC1",
    "FUNC_KEY_DESC2",
    "FUNC_KEY_DESC3",
    "FUNC_KEY_DESC4",
    "FUNC_KEY_DESC5",
    "FUNC_KEY_DESC6",
    "FUNC_KEY_DESC7",
    "FUNC_KEY_DESC8",
    "FUNC_KEY_DESC9",
    "FUNC_KEY_DESC10",
    "FUNC_KEY_DESC11",
    "GUANYU_BANQUAN",
    "GUANYU_JIESHAO",
    "IDS_MACRO_KB_KEY",
    "IDS_MACRO_MOU_KEY",
    "IDS_TrayTip_Keyboard",
    "KEYBOARD_TRAY_DESC",
    "KEY_PROMPT_FUNCTION",
    "KEY_PROMPT_MACRO",
    "KEY_PROMPT_MEDIA",
    "KEY_PROMPT_SET",
    "KEY_PROMPT_SINGLE",
    "KEY_SETTING_TISHI",
    "LANG_ABOUT_OK",
    "LANG_ABOUT_TITLE",
    "MACRO_ACTION_CLEAR_CONFIRM",
    "MACRO_ACTION_ERR_DELAY_MAX",
    "MACRO_ACTION_ERR_MODIFY",
    "MACRO_ACTION_RECORD",
    "MACRO_ACTION_RECORD_DELAY",
    "MACRO_ACTION_STOP_RECORD",
    "MACRO_ACTION_TISHI",
    "MACRO_CANCLE",
    "MACRO_CYCLES",
    "MACRO_DELAY_MS",
    "MACRO_DELETE_CONFIRM_OF_KEYS",
    "MACRO_EDIT_TISHI",
    "MACRO_ERR_MAX",
    "MACRO_KEYS_TISHI",
    "MACRO_MEMORY_FULL",
    "MACRO_MEMORY_FULL_TIP",
    "MACRO_MEMORY_TIGHT",
    "MACRO_MEMORY_TIGHT_TIP",
    "MACRO_MEMORY_TIP",
    "MACRO_MEMORY_USE",
    "MACRO_NAME_SETTING",
    "MACRO_NEW_PREFIX",
    "MACRO_OK",
    "MACRO_SETTING",
    "MAIN_APPLY_PROMPT",
    "MAIN_CAPTION",
    "MAIN_CLOSE_PROMPT",
    "MAIN_DEFAULT_MATRIX_PROMPT",
    "MAIN_DEVICE_BUSY_PROMPT",
    "MAIN_HELP_PROMPT",
    "MAIN_MENU_PROMPT",
    "MAIN_MINIMIZE_PROMPT",
    "MAIN_NO_DEVICE_PROMPT",
    "MAIN_NO_PERMISSION_PROMPT",
    "MAIN_NO_TRAY_PROMPT",
    "MAIN_PROMPT_DEFAULT",
    "MAIN_PROMPT_INPORT",
    "MAIN_SWITCH_COLOR_TEXT",
    "MAIN_SYSMENU_ABOUT",
    "MEDIA_EDIT_TISHI",
    "MENU_1",
    "MENU_2",
    "MENU_3",
    "MENU_4",
    "MENU_11",
    "MENU_22",
    "MENU_33",
    "MENU_SIM",
    "MENU_SIM_LIGHTING",
    "MENU_SIM_PLUG",
    "MENU_SIM_SPECIAL_OFF",
    "MENU_SIM_SPECIAL_ON",
    "MENU_SIM_UNPLUG",
    "MULTI_MEDIA",
    "PROFILE_1",
    "PROFILE_2",
    "PROFILE_3",
    "PROFILE_APPLY",
    "PROFILE_CANCLE",
    "PROFILE_DEFAULT",
    "PROFILE_FORMAT_ERROR",
    "PROFILE_LOAD_PROMPT",
    "PROFILE_MACRO",
    "PROFILE_NEW",
    "PROFILE_OK",
    "PROFILE_SEELCT_PROMPT2",
    "PROFILE_SELECT_PROMPT",
    "PROFILE_TIP",
    "RECORD_DELAY",
    "SINGLE_KEY",
    "SINGLE_STATIC",
    "UNKNOWN_KEY",
    "USER_MODE1",
    "USER_MODE2",
    "USER_MODE3",
    "PROFILE_ADD_PROMPT",
    "PROFILE_DELETE_PROMPT",
    "PROFILE_COLUMN_ACTIVE",
    "PROFILE_COLUMN_NAME",
    "PROFILE_COLUMN_PATH",
    "PROFILE_ROW_NOT_ONBOARD",
    "PROFILE_MANAGER_CAPTION",
    "MAIN_OPEN_FAILED",
    "UPDATE_OPEN_PROMPT",
    "UPDATE_BACKUP_PROMPT",
    "UPDATE_START_PROMPT",
    "UPDATE_CANCEL_PROMPT",
    "UPDATE_ERR_NO_FILE",
    "UPDATE_ERR_BOOT_MODE",
    "UPDATE_ERR_START",
    "UPDATE_BACKUP_DONE",
    "UPDATE_BACKUP_FAILED",
});

constexpr auto kLightTextKeyList = std::to_array<std::string_view>({
    "Usb", "Deng", "Light", "FX", "Speed", "Color", "JColor", "DC", "Tool", "Tool2", "LEDOFF",
});

constexpr auto kModeCodeList = std::to_array<int>({
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 254,
});

// The arguments are fixed by the callers: the macro limit (100), the longest pause (40000 ms),
// the macro memory used and available (bytes), the path of the rejected profile file, and the
// code of a key that has no name.
constexpr auto kFormatTextKeyList = std::to_array<FormatTextKey>({
    {"MACRO_ERR_MAX", "d"},
    {"MACRO_ACTION_ERR_DELAY_MAX", "d"},
    {"MACRO_MEMORY_USE", "dd"},
    {"PROFILE_FORMAT_ERROR", "s"},
    {"UNKNOWN_KEY", "d"},
});

}  // namespace

const std::array<std::string_view, kProgramTextKeyCount> kProgramTextKeys = kProgramTextKeyList;
const std::array<std::string_view, kLightTextKeyCount> kLightTextKeys = kLightTextKeyList;
const std::array<int, kModeCodeCount> kModeCodes = kModeCodeList;
const std::array<FormatTextKey, kFormatTextKeyCount> kFormatTextKeys = kFormatTextKeyList;

std::optional<std::string_view> FormatKindsOf(std::string_view key) {
  const auto it = std::find_if(kFormatTextKeyList.begin(), kFormatTextKeyList.end(),
                               [key](const FormatTextKey& entry) { return entry.key == key; });
  if (it == kFormatTextKeyList.end()) return std::nullopt;
  return it->kinds;
}

}  // namespace orvane
