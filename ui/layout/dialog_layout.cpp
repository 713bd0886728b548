// Control tables of the skinned dialogs.
#include "ui/layout/dialog_layout.h"

#include <cstdio>

namespace orvane::layout {
namespace {

constexpr std::string_view kButtons = kSectionButtons;

SkinControl Button(int id, std::string key, Faces faces) {
  return {id, kButtons, std::move(key), Placement::Button, faces};
}
SkinControl Control(int id, std::string key) {
  return {id, kButtons, std::move(key), Placement::Control, Faces::None};
}
SkinControl Move(int id, std::string key) { return {id, kButtons, std::move(key), Placement::Move, Faces::None}; }

std::vector<SkinControl> BuildMain() {
  std::vector<SkinControl> c;
  // Links and the version label.
  c.push_back(Button(1121, "KALVEN_LINK", Faces::MainLink));
  c.push_back(Button(1209, "FACEBOOK_LINK", Faces::MainLink));
  c.push_back(Button(1210, "TWITTER_LINK", Faces::MainLink));
  c.push_back(Button(0, "KALVEN_VER", Faces::MainVersion));
  // Commands.
  c.push_back(Button(1005, "FUNC_PROFILES", Faces::MainStandard));
  c.push_back(Button(1007, "FUNC_MACRO", Faces::MainStandard));
  c.push_back(Button(1, "CONTROL_OK", Faces::MainStandard));
  c.push_back(Button(2, "CONTROL_CANCEL", Faces::MainStandard));
  c.push_back(Button(1122, "CONTROL_HELP", Faces::MainStandard));
  c.push_back(Button(1124, "CONTROL_CLOSE", Faces::MainStandard));
  c.push_back(Button(1123, "CONTROL_MINIMIZE", Faces::MainStandard));
  c.push_back(Button(1139, "CONTROL_MENU", Faces::MainStandard));
  c.push_back(Button(1006, "CONTROL2_APPLY", Faces::MainApply));
  // Buttons that can be marked current.
  c.push_back(Button(1129, "FLIP_0", Faces::MainFlipBase));
  c.push_back(Button(1130, "FLIP_1", Faces::MainSelectable));
  c.push_back(Button(1131, "FLIP_2", Faces::MainSelectable));
  c.push_back(Button(1135, "FUNC_PROFILE1", Faces::MainSelectable));
  c.push_back(Button(1136, "FUNC_PROFILE2", Faces::MainSelectable));
  c.push_back(Button(1137, "FUNC_PROFILE3", Faces::MainSelectable));
  c.push_back(Button(1138, "FUNC_DEFAULT", Faces::MainSelectable));
  c.push_back(Button(0, "FUNC_SWITCH", Faces::MainSelectable));
  c.push_back(Button(1147, "FUNC_REPORT1", Faces::MainSelectable));
  c.push_back(Button(1168, "FUNC_REPORT2", Faces::MainSelectable));
  c.push_back(Button(1169, "FUNC_REPORT3", Faces::MainSelectable));
  c.push_back(Button(1170, "FUNC_REPORT4", Faces::MainSelectable));
  c.push_back(Button(1174, "KEY_FN", Faces::MainSelectable));
  for (int n = 1; n <= 9; ++n) c.push_back(Button(GKeyButtons()[size_t(n - 1)], GKeyKey(n), Faces::MainSelectable));
  for (const KeyButton& k : KeyButtons()) c.push_back(Button(k.controlId, KeyButtonKey(k.code), Faces::MainSelectable));
  // Lock indicators.
  c.push_back(Button(1125, "LOCK_CAPS", Faces::MainLock));
  c.push_back(Button(1126, "LOCK_NUM", Faces::MainLock));
  c.push_back(Button(1127, "LOCK_SCROLL", Faces::MainLock));
  c.push_back(Button(1128, "LOCK_AB", Faces::MainLock));
  // Arrows: placed from BUTTONINFO, their picture offset from BUTTONINFO2.
  c.push_back({1132, kButtons, "LEFT_ARROW", Placement::ButtonFrom, Faces::MainArrow});
  c.push_back({1133, kButtons, "RIGHT_ARROW", Placement::ButtonFrom, Faces::MainArrow});
  for (std::string_view key : kArrowPictureKeys)
    c.push_back({0, kSectionPictures, std::string(key), Placement::Picture, Faces::MainArrow});
  // Lighting panel and the other plain controls.
  c.push_back(Control(1204, "CONTROL_UsbStatic"));
  c.push_back(Control(1171, "CONTROL_DengStatic"));
  c.push_back(Control(1167, "CONTROL_DengStaPic"));
  c.push_back(Control(1146, "CONTROL_XGcombox"));
  c.push_back(Control(1177, "CONTROL_JDTStatic"));
  c.push_back(Control(1172, "CONTROL_LightStatic"));
  c.push_back(Control(1178, "CONTROL_LightSlider"));
  c.push_back(Control(1166, "CONTROL_SpeedStatic"));
  c.push_back(Control(1179, "CONTROL_SpeedSlider"));
  c.push_back(Control(1148, "CONTROL_BLFXStatic"));
  c.push_back(Control(1149, "CONTROL_BLFXLStaPic"));
  c.push_back(Control(1150, "CONTROL_BLFXRStaPic"));
  // Layout keys the main window reads for which no control of this program has a role; the
  // layout parks them at (1, 1) with size 1 x 1.
  for (const char* key : {"CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_FYSJSStaPic", "CONTROL_FYSJSStatic",
                          "CONTROL_FYCFStatic", "CONTROL_FYdjcfStatic", "CONTROL_FYggcfStatc", "CONTROL_FYdjcfStaPic",
                          "CONTROL_FYggcfStaPic", "CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC",
                          "CONTROL_LANPIC", "CONTROL_HXysStatic", "CONTROL_HXysButton"})
    c.push_back(Control(0, key));
  c.push_back(Control(1173, "CONTROL_HXsjsStatic"));
  c.push_back(Control(1156, "CONTROL_HXsjsStaPic"));
  c.push_back(Control(1208, "CONTROL_LEDsjsStatic"));
  c.push_back(Control(1207, "CONTROL_LEDsjsStaPic"));
  for (const char* key : {"CONTROL_JTysStatic", "CONTROL_JTysButton", "CONTROL_USERysStatic", "CONTROL_USERysButton",
                          "CONTROL_USERjsStatic", "CONTROL_USERjsButton"})
    c.push_back(Control(0, key));
  c.push_back(Control(1163, "CONTROL_USERgjStatic"));
  c.push_back(Control(1199, "CONTROL_USERgjStatic2"));
  c.push_back(Control(1164, "CONTROL_USERgjStaPic1"));
  c.push_back(Control(1165, "CONTROL_USERgjStaPic2"));
  for (const char* key : {"CONTROL_TSysStatic", "CONTROL_TSysButton", "CONTROL_TSsjsStatic", "CONTROL_TSsjsStaPic",
                          "CONTROL_CDysStatic", "CONTROL_CDysButton", "CONTROL_CDsjsStatic", "CONTROL_CDsjsStaPic"})
    c.push_back(Control(0, key));
  c.push_back(Control(1198, "CONTROL_umCombo"));
  c.push_back(Control(1211, "CONTROL_Network"));
  // The direction label and pictures move to one of three places depending on the lighting mode.
  c.push_back(Move(1148, "CONTROL_BLFXStatic2"));
  c.push_back(Move(1149, "CONTROL_BLFXLStaPic2"));
  c.push_back(Move(1150, "CONTROL_BLFXRStaPic2"));
  c.push_back(Move(1148, "CONTROL_BLFXStatic3"));
  c.push_back(Move(1149, "CONTROL_BLFXLStaPic3"));
  c.push_back(Move(1150, "CONTROL_BLFXRStaPic3"));
  return c;
}

std::vector<SkinControl> BuildProfile() {
  return {
      Button(1, "CONTROL_OK", Faces::Profile),          Button(2, "CONTROL_CANCEL", Faces::Profile),
      Button(1010, "FUNC_ADD", Faces::Profile),         Button(1008, "FUNC_LOAD", Faces::Profile),
      Button(1011, "FUNC_DELETE", Faces::Profile),      Button(1012, "CONTROL2_APPLY", Faces::Profile),
      Control(1007, "PROGRAM_LIST"),
  };
}

std::vector<SkinControl> BuildUpdate() {
  return {
      Control(1179, "CONTROL_UPStatic"),
      Control(1178, "CONTROL_UPCombox"),
      Button(1180, "CONTROL_CUPButton", Faces::Update),
      Button(1147, "CONTROL_UPButton", Faces::Update),
      Button(1181, "CONTROL_OPENButton", Faces::Update),
      Button(1182, "CONTROL_BACKUPButton", Faces::Update),
  };
}

std::vector<SkinControl> BuildComposite() {
  return {
      // Panel background first, so the controls of the panel lie above it.
      Button(1033, "CONTROL_MASK", Faces::CompositeKey),
      Button(1131, "CONTROL_TITLE", Faces::CompositeKey),
      Button(1132, "CONTROL_OSK", Faces::CompositeKey),
      Button(1032, "CONTROL_CLEAR", Faces::CompositeKey),
      Button(1030, "CONTROL_MEDIA", Faces::CompositeKey),
      Button(1029, "CONTROL_MACRO", Faces::CompositeKey),
      Button(1028, "CONTROL_KEY", Faces::CompositeKey),
      Button(1031, "CONTROL_FUNCTION", Faces::CompositeKey),
      Button(1, "CONTROL_OK", Faces::CompositeKey),
      Button(2, "CONTROL_CANCEL", Faces::CompositeKey),
      // The Apply button has no layout key of its own in older skins; ours gives it one.
      Control(1015, "CONTROL2_APPLY"),
      Button(1018, "FUNC_MACRO_DELETE", Faces::CompositeMacro),
      Button(1017, "FUNC_MACRO_ADD", Faces::CompositeMacro),
      Button(1023, "FUNC_MACRO_UP_TOP", Faces::CompositeMacro),
      Button(1024, "FUNC_MACRO_UP", Faces::CompositeMacro),
      Button(1025, "FUNC_MACRO_DOWN", Faces::CompositeMacro),
      Button(1026, "FUNC_MACRO_DOWN_BOTTOM", Faces::CompositeMacro),
      Button(1021, "FUNC_MACRO_DELETE2", Faces::CompositeMacro),
      Button(1022, "FUNC_MACRO_CLEAR", Faces::CompositeMacro),
      Button(1020, "FUNC_MACRO_RECORD", Faces::CompositeMacro),
      Control(1027, "FUNC_MACRO_RECORD_DELAY"),
      Control(1019, "FUNC_MACRO_LIST2"),
      Control(1125, "FUNC_MACRO_CYCLES"),
      Control(1130, "FUNC_MACRO_CYCLES_PROMPT"),
      Control(1201, "TISHI_SINGLE_STATIC"),
      Control(1200, "MARCO_NAME_SETTING"),
      Control(1199, "KEY_SETTING"),
      Control(1202, "MEDIA_SETTING_TISHI"),
      Control(1203, "FUNCTION_KEY_SETTING_TISHI"),
      Control(1133, "FUNC_MACRO_RECORD_DELAY2"),
      Control(1127, "FUNC_KEY_INPUT"),
      Control(1128, "FUNC_MEDIA_SELECT"),
      Control(1126, "FUNC_MACRO_LIST"),
      Control(1129, "FUNC_FUNCTION_SELECT"),
      Control(1185, "FUNC_KEY_RADIO_KB"),
      Control(1134, "FUNC_KEY_RADIO_KB_STATIC"),
      Control(1186, "FUNC_KEY_RADIO_MOU"),
      Control(1135, "FUNC_KEY_RADIO_MOU_STATIC"),
      Control(1187, "FUNC_KEY_COMBO_MOU"),
  };
}

}  // namespace

std::string_view DialogName(SkinDialog dialog) {
  switch (dialog) {
    case SkinDialog::Main: return "Main";
    case SkinDialog::Profile: return "Profile";
    case SkinDialog::Update: return "UpdateDlg";
    case SkinDialog::Composite: return "Composite";
  }
  return "Main";
}

std::string LayoutFileName(SkinDialog dialog) { return std::string(DialogName(dialog)) + ".ini"; }

FaceFiles FaceFilesOf(Faces faces) {
  switch (faces) {
    case Faces::None: return {"", "", "", "", ""};
    case Faces::MainStandard:
      return {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_normal.jpg", "main_normal.jpg"};
    case Faces::MainApply:
      return {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg", "main_normal.jpg"};
    case Faces::MainLink:
      return {"main_normal.jpg", "main_over.jpg", "main_disable.jpg", "main_normal.jpg", "main_normal.jpg"};
    case Faces::MainSelectable:
      return {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_normal.jpg", "main_disable.jpg"};
    case Faces::MainFlipBase:
      return {"main_normal.jpg", "main_normal.jpg", "main_normal.jpg", "main_normal.jpg", "main_disable.jpg"};
    case Faces::MainLock:
      return {"main_normal.jpg", "main_normal.jpg", "main_normal.jpg", "main_normal.jpg", "main_over.jpg"};
    case Faces::MainVersion:
      return {"main_normal.jpg", "main_normal.jpg", "main_normal.jpg", "main_normal.jpg", "main_normal.jpg"};
    case Faces::MainArrow: return {"Arrow.jpg", "Arrow.jpg", "Arrow.jpg", "Arrow.jpg", "Arrow.jpg"};
    case Faces::Profile:
      return {"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg", "Profile_down.jpg", "Profile_normal.jpg"};
    case Faces::Update:
      return {"update_normal.jpg", "update_over.jpg", "update_over.jpg", "update_over.jpg", "update_over.jpg"};
    case Faces::CompositeKey:
      return {"key_normal.jpg", "key_over.jpg", "key_down.jpg", "key_normal.jpg", "key_down.jpg"};
    case Faces::CompositeMacro:
      return {"macro_normal.jpg", "macro_over.jpg", "macro_down.jpg", "macro_disable.jpg", "macro_down.jpg"};
    case Faces::CompositeMacro2:
      return {"macro2_normal.jpg", "macro2_over.jpg", "macro2_down.jpg", "macro2_disable.jpg", "macro2_down.jpg"};
    case Faces::CompositeMedia:
      return {"media_normal.jpg", "media_over.jpg", "media_down.jpg", "media_normal.jpg", "media_down.jpg"};
    case Faces::CompositeFunction:
      return {"function_normal.jpg", "function_over.jpg", "function_down.jpg", "function_normal.jpg",
              "function_down.jpg"};
  }
  return {"", "", "", "", ""};
}

const std::vector<SkinControl>& Controls(SkinDialog dialog) {
  static const std::vector<SkinControl> main = BuildMain();
  static const std::vector<SkinControl> profile = BuildProfile();
  static const std::vector<SkinControl> update = BuildUpdate();
  static const std::vector<SkinControl> composite = BuildComposite();
  switch (dialog) {
    case SkinDialog::Main: return main;
    case SkinDialog::Profile: return profile;
    case SkinDialog::Update: return update;
    case SkinDialog::Composite: return composite;
  }
  return main;
}

const SkinControl* FindControl(SkinDialog dialog, std::string_view key) {
  const SkinControl* found = nullptr;
  for (const SkinControl& c : Controls(dialog)) {
    if (c.key != key) continue;
    if (c.section == kSectionButtons) return &c;
    if (found == nullptr) found = &c;
  }
  return found;
}

std::vector<Faces> AlternateFaces(SkinDialog dialog, std::string_view key) {
  if (dialog != SkinDialog::Composite) return {};
  if (key == "CONTROL_MASK")
    return {Faces::CompositeMacro, Faces::CompositeMedia, Faces::CompositeFunction};
  if (key == "CONTROL_KEY" || key == "CONTROL_MEDIA" || key == "CONTROL_FUNCTION" || key == "CONTROL_CLEAR" ||
      key == "CONTROL_TITLE")
    return {Faces::CompositeMacro2};
  return {};
}

const std::array<KeyButton, kKeyButtonCount>& KeyButtons() { return orvane::KeyButtons(); }
const std::array<int, orvane::kGKeyCount>& GKeyButtons() { return orvane::GKeyButtons(); }

std::string KeyButtonKey(uint16_t code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "KEY_%03X", unsigned(orvane::KeyIndexOf(code)));
  return buffer;
}

std::string GKeyKey(int n) { return "FUNC_G" + std::to_string(n); }

std::vector<std::string> StatePictureFiles(SkinDialog dialog) {
  std::vector<std::string> names;
  auto add = [&](std::string_view name) {
    if (name.empty()) return;
    for (const std::string& n : names)
      if (n == name) return;
    names.emplace_back(name);
  };
  for (const SkinControl& c : Controls(dialog)) {
    for (std::string_view f : FaceFilesOf(c.faces)) add(f);
    for (Faces alt : AlternateFaces(dialog, c.key))
      for (std::string_view f : FaceFilesOf(alt)) add(f);
  }
  // The main window also prepares its two colour pictures, which no button face is cut from.
  if (dialog == SkinDialog::Main) {
    add("main_color0.jpg");
    add("main_color1.jpg");
  }
  return names;
}

std::string BrightnessBitmap(int level) { return std::to_string(level) + ".bmp"; }
std::string SpeedBitmap(int position) { return std::to_string(25 + position) + ".bmp"; }
std::string BusyFrameBitmap(int frame) { return "jdt" + std::to_string(frame) + ".bmp"; }

std::vector<std::string> LightingBitmapFiles() {
  std::vector<std::string> names;
  for (int level = 0; level <= 24; ++level) names.push_back(BrightnessBitmap(level));
  for (int position = 0; position <= 4; ++position) names.push_back(SpeedBitmap(position));
  for (const char* n : {"dengup", "dengdown", "sjsup", "sjsdown", "user1up", "user1down", "user2up", "user2down",
                        "leftup", "leftdown", "rightup", "rightdown", "upup", "updown", "downup", "downdown",
                        "kuosan", "kuosandown", "julong", "julongdown"})
    names.push_back(std::string(n) + ".bmp");
  for (int frame = 1; frame <= 10; ++frame) names.push_back(BusyFrameBitmap(frame));
  return names;
}

std::string IconFileName(int resource, int size) {
  return "icons/orvane-" + std::to_string(resource) + "-" + std::to_string(size) + ".png";
}

}  // namespace orvane::layout
