// Placement of controls from the layout file.
#include "ui/skin/skin_placement.h"

#include <QWidget>

#include "ui/skin/png_button.h"

namespace orvane {

SkinRect PlaceSkinButton(CPngButton* button, const std::string& ini_path, const std::string& section,
                         const std::string& key, const SkinPictures& pictures) {
  const SkinRect r = ReadSkinRect(ini_path, section, key);
  if (button == nullptr) return r;
  button->setGeometry(r.x, r.y, r.w, r.h);
  button->SetSkinImages(r.x, r.y, pictures);
  if (r.IsDisableSentinel()) button->setEnabled(false);
  return r;
}

SkinRect PlaceSkinControl(QWidget* control, const std::string& ini_path, const std::string& section,
                          const std::string& key) {
  const SkinRect r = ReadSkinRect(ini_path, section, key);
  if (control != nullptr) control->setGeometry(r.x, r.y, r.w, r.h);
  return r;
}

SkinRect PlaceSkinButtonFrom(CPngButton* button, const std::string& ini_path, const std::string& section,
                             const std::string& key, const std::string& picture_section,
                             const std::string& picture_key, const QPixmap* picture) {
  return PlaceSkinButtonFrom(button, ini_path, section, key, picture_section, picture_key,
                             SkinPictures::All(picture));
}

SkinRect PlaceSkinButtonFrom(CPngButton* button, const std::string& ini_path, const std::string& section,
                             const std::string& key, const std::string& picture_section,
                             const std::string& picture_key, const SkinPictures& pictures) {
  const SkinRect r = ReadSkinRect(ini_path, section, key);
  const SkinRect p = ReadSkinRect(ini_path, picture_section, picture_key);
  if (button == nullptr) return r;
  button->setGeometry(r.x, r.y, r.w, r.h);
  button->SetSkinImages(p.x, p.y, pictures);
  return r;
}

SkinRect MoveSkinControl(QWidget* control, const std::string& ini_path, const std::string& section,
                         const std::string& key) {
  const SkinRect r = ReadSkinRect(ini_path, section, key);
  if (control != nullptr) {
    control->move(r.x, r.y);
    control->update();
  }
  return r;
}

}  // namespace orvane
