// Control tables of the skinned dialogs.
#include "ui/layout/dialog_layout.h"

#include <cstdio>

#include "ui/layout/control_ids.h"

namespace orvane::layout {
namespace {

constexpr std::string_view kButtons = kSectionButtons;
namespace M = ids::main;
namespace P = ids::profile;
namespace U = ids::update;
namespace C = ids::composite;
namespace A = ids::about;

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
  c.push_back(Button(M::kLogoLink, "KALVEN_LINK", Faces::MainLink));
  c.push_back(Button(M::kFacebookLink, "FACEBOOK_LINK", Faces::MainLink));
  c.push_back(Button(M::kTwitterLink, "TWITTER_LINK", Faces::MainLink));
  c.push_back(Button(ids::kNoControl, "KALVEN_VER", Faces::MainVersion));
  // Commands.
  c.push_back(Button(M::kProfiles, "FUNC_PROFILES", Faces::MainStandard));
  c.push_back(Button(M::kMacro, "FUNC_MACRO", Faces::MainStandard));
  c.push_back(Button(M::kOk, "CONTROL_OK", Faces::MainStandard));
  c.push_back(Button(M::kCancel, "CONTROL_CANCEL", Faces::MainStandard));
  c.push_back(Button(M::kHelp, "CONTROL_HELP", Faces::MainStandard));
  c.push_back(Button(M::kClose, "CONTROL_CLOSE", Faces::MainStandard));
  c.push_back(Button(M::kMinimize, "CONTROL_MINIMIZE", Faces::MainStandard));
  c.push_back(Button(M::kMenu, "CONTROL_MENU", Faces::MainStandard));
  c.push_back(Button(M::kApply, "CONTROL2_APPLY", Faces::MainApply));
  // Buttons that can be marked current.
  c.push_back(Button(M::kFlip0, "FLIP_0", Faces::MainFlipBase));
  c.push_back(Button(M::kFlip1, "FLIP_1", Faces::MainSelectable));
  c.push_back(Button(M::kFlip2, "FLIP_2", Faces::MainSelectable));
  c.push_back(Button(M::kProfile1, "FUNC_PROFILE1", Faces::MainSelectable));
  c.push_back(Button(M::kProfile2, "FUNC_PROFILE2", Faces::MainSelectable));
  c.push_back(Button(M::kProfile3, "FUNC_PROFILE3", Faces::MainSelectable));
  c.push_back(Button(M::kDefault, "FUNC_DEFAULT", Faces::MainSelectable));
  c.push_back(Button(ids::kNoControl, "FUNC_SWITCH", Faces::MainSelectable));
  c.push_back(Button(M::kReportRate1, "FUNC_REPORT1", Faces::MainSelectable));
  c.push_back(Button(M::kReportRate2, "FUNC_REPORT2", Faces::MainSelectable));
  c.push_back(Button(M::kReportRate3, "FUNC_REPORT3", Faces::MainSelectable));
  c.push_back(Button(M::kReportRate4, "FUNC_REPORT4", Faces::MainSelectable));
  c.push_back(Button(M::kFn, "KEY_FN", Faces::MainSelectable));
  for (int n = 1; n <= 9; ++n) c.push_back(Button(GKeyButtons()[size_t(n - 1)], GKeyKey(n), Faces::MainSelectable));
  for (const KeyButton& k : KeyButtons()) c.push_back(Button(k.controlId, KeyButtonKey(k.code), Faces::MainSelectable));
  // The flip keys, where F1 to F4 are; only one of the two blocks is shown at a time.
  for (int n = 1; n <= int(M::kFlipKeys.size()); ++n) {
    c.push_back({M::kFlipKeys[size_t(n - 1)], kButtons, FlipKeyKey(n), Placement::ButtonFrom, Faces::MainSelectable,
                 FlipKeyFaceKey(n)});
    c.push_back({ids::kNoControl, kSectionPictures, FlipKeyFaceKey(n), Placement::Picture, Faces::MainSelectable});
  }
  // Lock indicators.
  c.push_back(Button(M::kCapsLock, "LOCK_CAPS", Faces::MainLock));
  c.push_back(Button(M::kNumLock, "LOCK_NUM", Faces::MainLock));
  c.push_back(Button(M::kScrollLock, "LOCK_SCROLL", Faces::MainLock));
  c.push_back(Button(M::kAbLock, "LOCK_AB", Faces::MainLock));
  // Arrows: placed from BUTTONINFO, their picture offset from BUTTONINFO2.
  c.push_back({M::kLeftArrow, kButtons, "LEFT_ARROW", Placement::ButtonFrom, Faces::MainArrow});
  c.push_back({M::kRightArrow, kButtons, "RIGHT_ARROW", Placement::ButtonFrom, Faces::MainArrow});
  for (std::string_view key : kArrowPictureKeys)
    c.push_back({ids::kNoControl, kSectionPictures, std::string(key), Placement::Picture, Faces::MainArrow});
  // Lighting panel and the other plain controls.
  c.push_back(Control(M::kUsbStatic, "CONTROL_UsbStatic"));
  c.push_back(Control(M::kLightingTitle, "CONTROL_DengStatic"));
  c.push_back(Control(M::kPerKeySwitch, "CONTROL_DengStaPic"));
  c.push_back(Control(M::kModeCombo, "CONTROL_XGcombox"));
  c.push_back(Control(M::kBusy, "CONTROL_JDTStatic"));
  c.push_back(Control(M::kBrightnessStatic, "CONTROL_LightStatic"));
  c.push_back(Control(M::kBrightnessSlider, "CONTROL_LightSlider"));
  c.push_back(Control(M::kSpeedStatic, "CONTROL_SpeedStatic"));
  c.push_back(Control(M::kSpeedSlider, "CONTROL_SpeedSlider"));
  c.push_back(Control(M::kDirectionStatic, "CONTROL_BLFXStatic"));
  c.push_back(Control(M::kDirectionLeft, "CONTROL_BLFXLStaPic"));
  c.push_back(Control(M::kDirectionRight, "CONTROL_BLFXRStaPic"));
  // Layout keys the main window reads for which no control of this program has a role; the
  // layout parks them at (1, 1) with size 1 x 1.
  for (const char* key : {"CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_FYSJSStaPic", "CONTROL_FYSJSStatic",
                          "CONTROL_FYCFStatic", "CONTROL_FYdjcfStatic", "CONTROL_FYggcfStatc", "CONTROL_FYdjcfStaPic",
                          "CONTROL_FYggcfStaPic", "CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC",
                          "CONTROL_LANPIC", "CONTROL_HXysStatic", "CONTROL_HXysButton"})
    c.push_back(Control(ids::kNoControl, key));
  c.push_back(Control(M::kUserModeStatic, "CONTROL_HXsjsStatic"));
  c.push_back(Control(M::kDarkenAll, "CONTROL_HXsjsStaPic"));
  c.push_back(Control(M::kLightAllStatic, "CONTROL_LEDsjsStatic"));
  c.push_back(Control(M::kLightAll, "CONTROL_LEDsjsStaPic"));
  c.push_back(Control(M::kDarkenAllStatic, "CONTROL_HXsjsOffStatic"));
  for (const char* key : {"CONTROL_JTysStatic", "CONTROL_JTysButton", "CONTROL_USERysStatic", "CONTROL_USERysButton",
                          "CONTROL_USERjsStatic", "CONTROL_USERjsButton"})
    c.push_back(Control(ids::kNoControl, key));
  c.push_back(Control(M::kToolStatic, "CONTROL_USERgjStatic"));
  c.push_back(Control(M::kToolStatic2, "CONTROL_USERgjStatic2"));
  c.push_back(Control(M::kTool1, "CONTROL_USERgjStaPic1"));
  c.push_back(Control(M::kTool2, "CONTROL_USERgjStaPic2"));
  for (const char* key : {"CONTROL_TSysStatic", "CONTROL_TSysButton", "CONTROL_TSsjsStatic", "CONTROL_TSsjsStaPic",
                          "CONTROL_CDysStatic", "CONTROL_CDysButton", "CONTROL_CDsjsStatic", "CONTROL_CDsjsStaPic"})
    c.push_back(Control(ids::kNoControl, key));
  c.push_back(Control(M::kUserModeCombo, "CONTROL_umCombo"));
  c.push_back(Control(M::kNetwork, "CONTROL_Network"));
  // The direction label and pictures move to one of three places depending on the lighting mode.
  c.push_back(Move(M::kDirectionStatic, "CONTROL_BLFXStatic2"));
  c.push_back(Move(M::kDirectionLeft, "CONTROL_BLFXLStaPic2"));
  c.push_back(Move(M::kDirectionRight, "CONTROL_BLFXRStaPic2"));
  c.push_back(Move(M::kDirectionStatic, "CONTROL_BLFXStatic3"));
  c.push_back(Move(M::kDirectionLeft, "CONTROL_BLFXLStaPic3"));
  c.push_back(Move(M::kDirectionRight, "CONTROL_BLFXRStaPic3"));
  return c;
}

std::vector<SkinControl> BuildProfile() {
  return {
      Button(P::kOk, "CONTROL_OK", Faces::Profile),          Button(P::kCancel, "CONTROL_CANCEL", Faces::Profile),
      Button(P::kAdd, "FUNC_ADD", Faces::Profile),         Button(P::kLoad, "FUNC_LOAD", Faces::Profile),
      Button(P::kDelete, "FUNC_DELETE", Faces::Profile),      Button(P::kApply, "CONTROL2_APPLY", Faces::Profile),
      Control(P::kList, "PROGRAM_LIST"),
      Control(P::kHeading, "CONTROL_HEADING"),
  };
}

std::vector<SkinControl> BuildUpdate() {
  return {
      Control(U::kPath, "CONTROL_UPStatic"),
      Control(U::kSpareCombo, "CONTROL_UPCombox"),
      Button(U::kCancelUpdate, "CONTROL_CUPButton", Faces::Update),
      Button(U::kUpdate, "CONTROL_UPButton", Faces::Update),
      Button(U::kOpen, "CONTROL_OPENButton", Faces::Update),
      Button(U::kBackup, "CONTROL_BACKUPButton", Faces::Update),
      Control(U::kHeading, "CONTROL_HEADING"),
  };
}

std::vector<SkinControl> BuildComposite() {
  return {
      // Panel background first, so the controls of the panel lie above it.
      Button(C::kMask, "CONTROL_MASK", Faces::CompositeKey),
      Button(C::kTitle, "CONTROL_TITLE", Faces::CompositeKey),
      Button(C::kOnScreenKeyboard, "CONTROL_OSK", Faces::CompositeKey),
      Button(C::kClear, "CONTROL_CLEAR", Faces::CompositeKey),
      Button(C::kMediaPanel, "CONTROL_MEDIA", Faces::CompositeKey),
      Button(C::kMacroPanel, "CONTROL_MACRO", Faces::CompositeKey),
      Button(C::kKeyPanel, "CONTROL_KEY", Faces::CompositeKey),
      Button(C::kFunctionPanel, "CONTROL_FUNCTION", Faces::CompositeKey),
      Button(C::kOk, "CONTROL_OK", Faces::CompositeKey),
      Button(C::kCancel, "CONTROL_CANCEL", Faces::CompositeKey),
      // The Apply button has no layout key of its own in older skins; ours gives it one, and a face
      // like OK and Cancel.
      Button(C::kApply, "CONTROL2_APPLY", Faces::CompositeKey),
      Button(C::kMacroDelete, "FUNC_MACRO_DELETE", Faces::CompositeMacro),
      Button(C::kMacroAdd, "FUNC_MACRO_ADD", Faces::CompositeMacro),
      Button(C::kActionTop, "FUNC_MACRO_UP_TOP", Faces::CompositeMacro),
      Button(C::kActionUp, "FUNC_MACRO_UP", Faces::CompositeMacro),
      Button(C::kActionDown, "FUNC_MACRO_DOWN", Faces::CompositeMacro),
      Button(C::kActionBottom, "FUNC_MACRO_DOWN_BOTTOM", Faces::CompositeMacro),
      Button(C::kActionDelete, "FUNC_MACRO_DELETE2", Faces::CompositeMacro),
      Button(C::kActionClear, "FUNC_MACRO_CLEAR", Faces::CompositeMacro),
      Button(C::kRecord, "FUNC_MACRO_RECORD", Faces::CompositeMacro),
      Control(C::kRecordDelay, "FUNC_MACRO_RECORD_DELAY"),
      Control(C::kActionList, "FUNC_MACRO_LIST2"),
      Control(C::kMacroCycles, "FUNC_MACRO_CYCLES"),
      Control(C::kMacroCyclesPrompt, "FUNC_MACRO_CYCLES_PROMPT"),
      Control(C::kSinglePrompt, "TISHI_SINGLE_STATIC"),
      Control(C::kMacroName, "MARCO_NAME_SETTING"),
      Control(C::kKeySetting, "KEY_SETTING"),
      Control(C::kMediaPrompt, "MEDIA_SETTING_TISHI"),
      Control(C::kFunctionPrompt, "FUNCTION_KEY_SETTING_TISHI"),
      Control(C::kRecordDelayCaption, "FUNC_MACRO_RECORD_DELAY2"),
      Control(C::kMacroMemory, "FUNC_MACRO_MEMORY"),
      Control(C::kKeyInput, "FUNC_KEY_INPUT"),
      Control(C::kMediaSelect, "FUNC_MEDIA_SELECT"),
      Control(C::kMacroList, "FUNC_MACRO_LIST"),
      Control(C::kFunctionSelect, "FUNC_FUNCTION_SELECT"),
      Control(C::kKeyboardRadio, "FUNC_KEY_RADIO_KB"),
      Control(C::kKeyboardRadioStatic, "FUNC_KEY_RADIO_KB_STATIC"),
      Control(C::kMouseRadio, "FUNC_KEY_RADIO_MOU"),
      Control(C::kMouseRadioStatic, "FUNC_KEY_RADIO_MOU_STATIC"),
      Control(C::kMouseCombo, "FUNC_KEY_COMBO_MOU"),
  };
}

// The About dialog's controls are plain ones: its OK is a themed push button, not an image button.
std::vector<SkinControl> BuildAbout() {
  return {
      Control(ids::kNoControl, "ABOUT_ICON"),     Control(A::kDescription, "ABOUT_TEXT"),
      Control(A::kCopyright, "ABOUT_COPYRIGHT"), Control(A::kLink, "ABOUT_LINK"),
      Control(A::kOk, "CONTROL_OK"),
  };
}

}  // namespace

std::string_view DialogName(SkinDialog dialog) {
  switch (dialog) {
    case SkinDialog::Main: return "Main";
    case SkinDialog::Profile: return "Profile";
    case SkinDialog::Update: return "UpdateDlg";
    case SkinDialog::Composite: return "Composite";
    case SkinDialog::About: return "About";
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
  static const std::vector<SkinControl> about = BuildAbout();
  switch (dialog) {
    case SkinDialog::Main: return main;
    case SkinDialog::Profile: return profile;
    case SkinDialog::Update: return update;
    case SkinDialog::Composite: return composite;
    case SkinDialog::About: return about;
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

std::string_view PictogramTooltipKey(SkinDialog dialog, std::string_view key) {
  struct Tip {
    SkinDialog dialog;
    std::string_view key, text;
  };
  static constexpr Tip kTips[] = {
      {SkinDialog::Profile, "FUNC_ADD", "PROFILE_ADD_PROMPT"},
      {SkinDialog::Profile, "FUNC_LOAD", "PROFILE_LOAD_PROMPT"},
      {SkinDialog::Profile, "FUNC_DELETE", "PROFILE_DELETE_PROMPT"},
      {SkinDialog::Profile, "CONTROL_OK", "PROFILE_OK"},
      {SkinDialog::Profile, "CONTROL_CANCEL", "PROFILE_CANCLE"},
      {SkinDialog::Profile, "CONTROL2_APPLY", "PROFILE_APPLY"},
      {SkinDialog::Update, "CONTROL_OPENButton", "UPDATE_OPEN_PROMPT"},
      {SkinDialog::Update, "CONTROL_BACKUPButton", "UPDATE_BACKUP_PROMPT"},
      {SkinDialog::Update, "CONTROL_CUPButton", "UPDATE_CANCEL_PROMPT"},
      {SkinDialog::Update, "CONTROL_UPButton", "UPDATE_START_PROMPT"},
  };
  for (const Tip& t : kTips)
    if (t.dialog == dialog && t.key == key) return t.text;
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
std::string FlipKeyKey(int n) { return "KEY_D" + std::to_string(n); }
std::string FlipKeyFaceKey(int n) { return "FACE_D" + std::to_string(n); }

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
  for (const char* n : {"dengup", "dengdown", "sjsup", "sjsdown", "ledsjsup", "ledsjsdown", "user1up", "user1down", "user2up", "user2down",
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
