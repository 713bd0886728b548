// Control, command, menu and template IDs of the program's dialogs, one namespace per dialog. The
// dialogs find their controls by these IDs, dispatch commands by them, and the tests drive the
// dialogs through them; the control tables (ui/layout/dialog_layout.h) bind them to layout keys.
// Plain constants without Qt, so the skin generator and the core-side tests can use them too.
//
// The main window's 104 key buttons and its nine G-key buttons are not listed here: the key table
// binds them to key codes (KeyButtons, GKeyButtons, ButtonOfKeyCode in model/key_table.h).
#pragma once

#include <array>

namespace orvane {

// Command IDs with a fixed meaning in every dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

namespace ids {

// Layout keys that a dialog reads for no control of its own.
inline constexpr int kNoControl = 0;

// Dialog templates.
namespace templates {
inline constexpr int kAbout = 100;
inline constexpr int kMain = 102;
inline constexpr int kProfile = 131;
inline constexpr int kComposite = 134;
inline constexpr int kUpdate = 149;
}  // namespace templates

// Menu resources and their commands.
namespace menu {
inline constexpr int kTray = 140;          // the notification-area popup
inline constexpr int kTrayOpen = 32771;
inline constexpr int kTrayAbout = 32773;
inline constexpr int kTrayExit = 32774;
inline constexpr int kBackup = 144;        // the main window's backup menu
inline constexpr int kBackupRestore = 32776;  // import a profile file
inline constexpr int kBackupSave = 32777;     // export a profile file
// The main window's firmware update command; no menu or button of the program issues it.
inline constexpr int kUpdateCommand = 32780;
}  // namespace menu

// The main window (template 102, "Skins\Main.ini").
namespace main {
inline constexpr int kOk = IDOK;
inline constexpr int kCancel = IDCANCEL;
// Commands.
inline constexpr int kProfiles = 1005;  // opens the profile manager
inline constexpr int kApply = 1006;
inline constexpr int kMacro = 1007;     // opens the macro editor
inline constexpr int kLogoLink = 1121;
inline constexpr int kHelp = 1122;
inline constexpr int kMinimize = 1123;
inline constexpr int kClose = 1124;
inline constexpr int kProfile1 = 1135;
inline constexpr int kProfile2 = 1136;
inline constexpr int kProfile3 = 1137;
inline constexpr std::array<int, 3> kProfileButtons = {kProfile1, kProfile2, kProfile3};
inline constexpr int kDefault = 1138;
inline constexpr int kMenu = 1139;      // shows the backup menu
inline constexpr int kFacebookLink = 1209;
inline constexpr int kTwitterLink = 1210;
inline constexpr int kNetwork = 1211;   // invisible area over the logo
// Key matrix: the Fn key, the flip keys D1 to D6, flip buttons, arrows, lock indicators.
inline constexpr int kFn = 1174;
inline constexpr std::array<int, 6> kFlipKeys = {1016, 1017, 1018, 1019, 1020, 1021};
inline constexpr int kFlip0 = 1129;
inline constexpr int kFlip1 = 1130;
inline constexpr int kFlip2 = 1131;
inline constexpr int kLeftArrow = 1132;
inline constexpr int kRightArrow = 1133;
inline constexpr int kCapsLock = 1125;
inline constexpr int kNumLock = 1126;
inline constexpr int kScrollLock = 1127;
inline constexpr int kAbLock = 1128;
// Lighting panel.
inline constexpr int kModeCombo = 1146;
inline constexpr int kReportRate1 = 1147;
inline constexpr int kReportRate2 = 1168;
inline constexpr int kReportRate3 = 1169;
inline constexpr int kReportRate4 = 1170;
inline constexpr std::array<int, 4> kReportRateButtons = {kReportRate1, kReportRate2, kReportRate3, kReportRate4};
inline constexpr int kUsbStatic = 1204;
inline constexpr int kDirectionStatic = 1148;
inline constexpr int kDirectionLeft = 1149;
inline constexpr int kDirectionRight = 1150;
inline constexpr int kDarkenAll = 1156;
inline constexpr int kDarkenAllStatic = 1157;  // the label of "all keys off"
inline constexpr int kToolStatic = 1163;
inline constexpr int kTool1 = 1164;
inline constexpr int kTool2 = 1165;
inline constexpr int kSpeedStatic = 1166;
inline constexpr int kPerKeySwitch = 1167;
inline constexpr int kLightingTitle = 1171;
inline constexpr int kBrightnessStatic = 1172;
inline constexpr int kUserModeStatic = 1173;
inline constexpr int kBusy = 1177;
inline constexpr int kBrightnessSlider = 1178;
inline constexpr int kSpeedSlider = 1179;
inline constexpr int kUserModeCombo = 1198;
inline constexpr int kToolStatic2 = 1199;
inline constexpr int kLightAll = 1207;
inline constexpr int kLightAllStatic = 1208;
// System menu: the About item's command; commands 16 to 31 all open the About dialog.
inline constexpr int kSysMenuAbout = 16;
inline constexpr int kSysMenuAboutLast = 31;
// The notification-area icon's callback message.
inline constexpr unsigned kTrayCallbackMessage = 0x6BD;
// Timers: the busy indicator's frames and the lighting reread after a keyboard event.
inline constexpr int kTimerBusy = 1050;
inline constexpr int kTimerLightingReread = 1051;
}  // namespace main

// The About dialog (template 100).
namespace about {
inline constexpr int kOk = IDOK;
inline constexpr int kCopyright = 1205;
inline constexpr int kDescription = 1206;
inline constexpr int kLink = 1124;
}  // namespace about

// The composite key dialog (template 134, "Skins\Composite.ini"), its macro panel included.
namespace composite {
inline constexpr int kOk = IDOK;
inline constexpr int kCancel = IDCANCEL;
inline constexpr int kApply = 1015;
// Panel buttons and the panel background.
inline constexpr int kKeyPanel = 1028;
inline constexpr int kMacroPanel = 1029;
inline constexpr int kMediaPanel = 1030;
inline constexpr int kFunctionPanel = 1031;
inline constexpr int kClear = 1032;
inline constexpr int kMask = 1033;
inline constexpr int kTitle = 1131;
inline constexpr int kOnScreenKeyboard = 1132;
// Single-key, media and function panels.
inline constexpr int kKeySetting = 1199;
inline constexpr int kKeyInput = 1127;
inline constexpr int kKeyboardRadio = 1185;
inline constexpr int kMouseRadio = 1186;
inline constexpr int kKeyboardRadioStatic = 1134;
inline constexpr int kMouseRadioStatic = 1135;
inline constexpr int kMouseCombo = 1187;
inline constexpr int kSinglePrompt = 1201;
inline constexpr int kMediaSelect = 1128;
inline constexpr int kMediaPrompt = 1202;
inline constexpr int kFunctionSelect = 1129;
inline constexpr int kFunctionPrompt = 1203;
// Macro panel.
inline constexpr int kMacroList = 1126;
inline constexpr int kMacroName = 1200;
inline constexpr int kMacroAdd = 1017;
inline constexpr int kMacroDelete = 1018;
inline constexpr int kMacroCycles = 1125;
inline constexpr int kMacroCyclesPrompt = 1130;
inline constexpr int kActionList = 1019;
inline constexpr int kRecord = 1020;
inline constexpr int kActionDelete = 1021;
inline constexpr int kActionClear = 1022;
inline constexpr int kActionTop = 1023;
inline constexpr int kActionUp = 1024;
inline constexpr int kActionDown = 1025;
inline constexpr int kActionBottom = 1026;
inline constexpr int kRecordDelay = 1027;
inline constexpr int kRecordDelayCaption = 1133;
// The macro memory meter: how much of the keyboard's macro memory the macros take.
inline constexpr int kMacroMemory = 1212;
}  // namespace composite

// The profile manager (template 131, "Skins\Profile.ini").
namespace profile {
inline constexpr int kOk = IDOK;
inline constexpr int kCancel = IDCANCEL;
inline constexpr int kList = 1007;
inline constexpr int kLoad = 1008;
inline constexpr int kAdd = 1010;
inline constexpr int kDelete = 1011;
inline constexpr int kApply = 1012;
inline constexpr int kHeading = 1013;  // the window title shown in the dialog's heading
}  // namespace profile

// The update dialog (template 149, "Skins\UpdateDlg.ini").
namespace update {
inline constexpr int kOk = IDOK;
inline constexpr int kCancel = IDCANCEL;
inline constexpr int kUpdate = 1147;
inline constexpr int kSpareCombo = 1178;  // placed, never shown
inline constexpr int kPath = 1179;
inline constexpr int kCancelUpdate = 1180;
inline constexpr int kOpen = 1181;
inline constexpr int kBackup = 1182;
inline constexpr int kHeading = 1183;  // the window title shown in the dialog's heading
}  // namespace update

}  // namespace ids
}  // namespace orvane
