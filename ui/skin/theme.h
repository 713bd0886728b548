// The skin's colours for the native controls that sit on skinned dialogs. The skin generator
// writes the theme into "Theme.ini" (section "THEME", values "#rrggbb") of the skin folder;
// ApplySkinTheme turns it into one application style, palette and style sheet, so combo boxes,
// edits, lists, radios, check boxes, scroll bars, tooltips, menus, message boxes and file dialogs
// follow the dark skin and its accent instead of the desktop's theme. File dialogs are Qt's own:
// the desktop's would draw in its own theme.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <string>

class QApplication;

namespace orvane {

inline constexpr const char* kThemeFileName = "Theme.ini";
inline constexpr const char* kThemeSection = "THEME";

struct SkinTheme {
  QColor window;      // dialog background
  QColor card;        // raised panels
  QColor field;       // sunken boxes behind edits and lists
  QColor border;      // outlines and dividers
  QColor cap;         // button faces
  QColor capTop;      // the lit edge of a face
  QColor text;        // text
  QColor dim;         // secondary text
  QColor faint;       // disabled text, placeholders
  QColor accent;      // focus, checked marks, links
  QColor accentFill;  // selections, pressed accent
  QColor paper;       // light sheets that carry dark text (the About dialog's)
};

// The theme the program's skin ships with; what is used where Theme.ini says nothing.
SkinTheme DefaultSkinTheme();
// Reads skin_folder/Theme.ini; a missing file or key, or a value that is not a colour, keeps the
// default's colour. `complete` (optional) tells whether every colour came from the file.
SkinTheme LoadSkinTheme(const std::string& skin_folder, bool* complete = nullptr);

QPalette ThemePalette(const SkinTheme& theme);
QString ThemeStyleSheet(const SkinTheme& theme);

// Style, palette, style sheet and Qt's own dialogs for the whole application (GUI thread, once
// the application object exists).
void ApplySkinTheme(QApplication& app, const SkinTheme& theme);
// The same with the theme of the skin folder.
void ApplySkinTheme(QApplication& app, const std::string& skin_folder);

}  // namespace orvane
