// Placing a dialog's controls where its layout file says (the rectangles of ui/skin/skin_layout.h):
// image buttons with their state pictures, plain controls, and controls that only move.
#pragma once

#include <QPixmap>
#include <string>

#include "ui/skin/skin_layout.h"

class QWidget;

namespace orvane {

class CPngButton;

// Reads the rectangle, moves and sizes the button, hands it the pictures with the rectangle's
// (x, y) as offset, then disables it when it sits at (1, 1).
SkinRect PlaceSkinButton(CPngButton* button, const std::string& ini_path, const std::string& section,
                         const std::string& key, const SkinPictures& pictures);
// Reads the rectangle and moves and sizes the control. Plain controls are never disabled by it.
SkinRect PlaceSkinControl(QWidget* control, const std::string& ini_path, const std::string& section,
                          const std::string& key);
// Moves and sizes the button from (section, key); the picture offset is the (x, y) of
// (picture section, picture key); the one picture serves all five roles.
SkinRect PlaceSkinButtonFrom(CPngButton* button, const std::string& ini_path, const std::string& section,
                             const std::string& key, const std::string& picture_section,
                             const std::string& picture_key, const QPixmap* picture);
// The same with a face per role: the five pictures are cut at the picture key's (x, y).
SkinRect PlaceSkinButtonFrom(CPngButton* button, const std::string& ini_path, const std::string& section,
                             const std::string& key, const std::string& picture_section,
                             const std::string& picture_key, const SkinPictures& pictures);
// Moves the control to the rectangle's (x, y), keeping its current size, and repaints it.
SkinRect MoveSkinControl(QWidget* control, const std::string& ini_path, const std::string& section,
                         const std::string& key);

}  // namespace orvane
