// Skin layout: where the skin folder is, the rectangle every control reads from its dialog's
// layout INI file, and the state pictures of image buttons (loaded once per dialog and kept for the whole process, so painting a button is one
// block copy). A skin picture that cannot be loaded ends the process. The placement of controls
// from these rectangles is ui/skin/skin_placement.h.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <array>
#include <map>
#include <string>

#include "ui/layout/skin_role.h"

namespace orvane {

// "<program folder>/Skins".
std::string SkinFolder();
// A skin-relative name as the layout files and the dialogs give it ("Skins\Main.ini") turned into
// a path under the program folder.
std::string SkinPath(const std::string& relative_name);

// What a key missing from the layout reads as.
inline constexpr const char* kSkinRectDefault = "1,1,1,1,x";

struct SkinRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  // An image button placed at (1, 1) is disabled; a missing key lands there.
  bool IsDisableSentinel() const { return x == 1 && y == 1; }
  bool operator==(const SkinRect&) const = default;
};

// Reads up to four integers separated by commas; scanning stops at the first character that does
// not fit, so trailing text is ignored. Fields the scan does not reach are 0.
SkinRect ParseSkinRect(const std::string& value);
// Reads the key (260-character value, default "1,1,1,1,x") and parses it.
SkinRect ReadSkinRect(const std::string& ini_path, const std::string& section, const std::string& key);

// Pictures are not owned by the buttons that show them.
struct SkinPictures {
  const QPixmap* normal = nullptr;
  const QPixmap* over = nullptr;
  const QPixmap* down = nullptr;
  const QPixmap* disabled = nullptr;
  const QPixmap* selected = nullptr;
  const QPixmap* Get(SkinRole role) const;
  // The same picture in all five roles.
  static SkinPictures All(const QPixmap* picture) { return {picture, picture, picture, picture, picture}; }
};

// Loads "<program folder>/<relative name>" (JPEG, PNG, BMP, ...); a null image on failure.
QImage LoadSkinImage(const std::string& relative_name);
// Loads a picture from a full path; a null image on failure.
QImage LoadImageFile(const std::string& path);

// The exit code of a process that could not load a skin picture.
inline constexpr int kExitMissingSkinPicture = 3;
// Writes one line naming the file to standard error and ends the process at once.
[[noreturn]] void ExitForMissingSkinPicture(const std::string& path);

// Prepares one state picture: a pixmap as large as the dialog's client area plus 100 pixels each
// way, the picture drawn into it at (0, 0) pixel for pixel, black where the picture ends.
QPixmap RenderSkinImage(const QImage& image, const QSize& dialog_client);

// The names of a dialog's state pictures, skin-relative ("Skins\main_normal.jpg"); roles may
// share a name, which then shares the prepared picture.
struct SkinStateSet {
  std::string normal, over, down, disabled, selected;
};

// A dialog's prepared state pictures. Prepared once (later calls do nothing), kept as long as the
// owner keeps the object; dialogs keep theirs for the process.
class SkinStateImages {
 public:
  // Loads and renders every picture of the set; a picture that cannot be loaded ends the process.
  void Prepare(const SkinStateSet& names, const QSize& dialog_client);
  bool prepared() const { return prepared_; }
  const QPixmap* Picture(SkinRole role) const;
  SkinPictures Pictures() const;

 private:
  bool prepared_ = false;
  std::map<std::string, QPixmap> by_name_;
  std::array<const QPixmap*, kSkinRoleCount> roles_{};
};

// Loads and renders a single skin picture (a picture a dialog prepares without a state set);
// a picture that cannot be loaded ends the process.
QPixmap PrepareSkinPicture(const std::string& relative_name, const QSize& dialog_client);

}  // namespace orvane
