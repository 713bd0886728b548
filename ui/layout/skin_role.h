// The five roles of an image button's state pictures. Plain data without Qt: the control tables
// say which picture file each role uses (ui/layout/dialog_layout.h), the image button shows the
// face of the role it is in (ui/skin/png_button.h).
#pragma once

namespace orvane {

enum class SkinRole { Normal = 0, Over, Down, Disabled, Selected };
inline constexpr int kSkinRoleCount = 5;

}  // namespace orvane
