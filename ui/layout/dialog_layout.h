// Control tables of the five skinned dialogs (main window, profile manager, update dialog,
// composite key dialog, About): for every control a dialog places from its layout file, its control ID,
// the INI section and key it reads, how it is placed, and which state pictures its faces are cut
// from. Also the names of every picture the dialogs load from the skin folder and of the program's
// icons. Plain data without Qt: the dialogs, the skin generator and the tests share these tables,
// so a layout file can never miss a key that a dialog reads.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/key_table.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/skin_role.h"

namespace orvane::layout {

enum class SkinDialog { Main, Profile, Update, Composite, About };
inline constexpr std::array<SkinDialog, 5> kSkinDialogs = {SkinDialog::Main, SkinDialog::Profile, SkinDialog::Update,
                                                           SkinDialog::Composite, SkinDialog::About};

// "Main", "Profile", "UpdateDlg", "Composite": the layout file is "<name>.ini" in the skin folder.
std::string_view DialogName(SkinDialog dialog);
std::string LayoutFileName(SkinDialog dialog);

inline constexpr std::string_view kSectionScreen = "SCREEN";
inline constexpr std::string_view kSectionButtons = "BUTTONINFO";
inline constexpr std::string_view kSectionPictures = "BUTTONINFO2";

// How a dialog puts a control where its layout key says.
enum class Placement {
  Button,      // image button, placed with its state pictures; disabled when it lands on (1, 1)
  Control,     // plain control placed and sized
  Move,        // moved to (x, y), keeping its size
  ButtonFrom,  // image button whose single picture offset comes from a second key
  Picture,     // not a control: a picture offset in section BUTTONINFO2
};

// The state pictures of an image button: which picture file each of the five roles uses.
enum class Faces {
  None,               // plain controls
  MainStandard,       // main: normal, over, down; disabled = normal; selected = normal
  MainApply,          // main: like MainStandard, disabled = main_disable
  MainLink,           // main: normal, over, down = main_disable, disabled = normal, selected = normal
  MainSelectable,     // main: normal, over, down, disabled = normal, selected = main_disable
  MainFlipBase,       // main: normal in every role but selected = main_disable
  MainLock,           // main: normal in every role but selected = main_over
  MainVersion,        // main: normal in every role
  MainArrow,          // Arrow.jpg in every role
  Profile,            // Profile_normal/over/down, disabled = down, selected = normal
  Update,             // update_normal, then update_over for every other role
  CompositeKey,       // key_normal/over/down, disabled = normal, selected = down
  CompositeMacro,     // macro_normal/over/down/disable, selected = down
  CompositeMacro2,    // macro2_normal/over/down/disable, selected = down
  CompositeMedia,     // media_normal/over/down, disabled = normal, selected = down
  CompositeFunction,  // function_normal/over/down, disabled = normal, selected = down
};

// Picture file names (inside the skin folder) of the five roles, in SkinRole order.
using FaceFiles = std::array<std::string_view, kSkinRoleCount>;
FaceFiles FaceFilesOf(Faces faces);

struct SkinControl {
  int id;                   // control ID (ui/layout/control_ids.h); ids::kNoControl for layout keys no
                            // control of ours uses
  std::string_view section; // BUTTONINFO or BUTTONINFO2
  std::string key;          // layout key
  Placement placement;
  Faces faces;              // Faces::None for plain controls and picture offsets
  // ButtonFrom whose faces are cut at a fixed place of its state pictures: the key of that place
  // in BUTTONINFO2 (empty for the arrows, whose place follows the flip setting).
  std::string picture_key = {};
};

// Every control a dialog places, in the order the dialog places them.
const std::vector<SkinControl>& Controls(SkinDialog dialog);
// The control of a dialog with this key (section BUTTONINFO first), or nullptr.
const SkinControl* FindControl(SkinDialog dialog, std::string_view key);

// Alternative picture sets some buttons switch to at run time (the composite dialog's panel
// background follows the panel; in macro-only mode the single-key buttons take the macro2 set).
std::vector<Faces> AlternateFaces(SkinDialog dialog, std::string_view key);

// The main window's key buttons (key code and control ID, in the order the window walks them) and
// the G-key buttons come from the key table.
using KeyButton = orvane::KeyButton;
inline constexpr int kKeyButtonCount = orvane::kKeyButtonCount;
const std::array<KeyButton, kKeyButtonCount>& KeyButtons();
const std::array<int, orvane::kGKeyCount>& GKeyButtons();

// "KEY_%03X" with the key index of the code.
std::string KeyButtonKey(uint16_t code);
// "FUNC_G%d", n = 1 to 9.
std::string GKeyKey(int n);
// The flip keys D1 to D6 (n = 1 to 6) share their place in the picture with F1 to F4, so their
// faces are drawn elsewhere in the state pictures: "KEY_D%d" places the button, "FACE_D%d" (in
// BUTTONINFO2) is where its faces are cut.
std::string FlipKeyKey(int n);
std::string FlipKeyFaceKey(int n);

// Section SCREEN of the main window also names the three link addresses.
inline constexpr std::array<std::string_view, 3> kMainLinkKeys = {"Link", "Facebook_Link", "Twitter_Link"};
// The arrow buttons' picture keys in BUTTONINFO2 ("%s%d" with 1).
inline constexpr std::array<std::string_view, 4> kArrowPictureKeys = {"UP_ARROW_LEFT1", "DOWN_ARROW_LEFT1",
                                                                      "UP_ARROW_RIGHT1", "DOWN_ARROW_RIGHT1"};

// The language key of the tooltip of a button whose face is a pictogram instead of words (the
// profile manager's and the update dialog's buttons), or "" for a button with no pictogram.
std::string_view PictogramTooltipKey(SkinDialog dialog, std::string_view key);

// Every state picture a dialog prepares (JPEG), each name once.
std::vector<std::string> StatePictureFiles(SkinDialog dialog);
// Every bitmap of the main window's lighting panel and busy indicator (BMP): 0.bmp to 29.bmp,
// the two-state pictures and jdt1.bmp to jdt10.bmp.
std::vector<std::string> LightingBitmapFiles();
// Slider picture of a brightness level 0-24 ("0.bmp"...) and of a speed slider position 0-4
// ("25.bmp"...).
std::string BrightnessBitmap(int level);
std::string SpeedBitmap(int position);
// Busy indicator frame 1-10: "jdt1.bmp" ...
std::string BusyFrameBitmap(int frame);

// Program icons: resource 128 (program, keyboard absent), 141 (keyboard present), 142 (special
// state), as PNG files "icons/orvane-<id>-<size>.png" beside the program, in these sizes.
inline constexpr std::array<int, 3> kIconResources = {128, 141, 142};
inline constexpr std::array<int, 8> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};
std::string IconFileName(int resource, int size);

}  // namespace orvane::layout
