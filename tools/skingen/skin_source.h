// The skin's layout source: a line-based description of every dialog (size, background
// decoration, the rectangle and look of each control, the key rows of the keyboard picture) and
// the theme colours. The generator turns it into the layout INI files and the pictures.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace orvane::skingen {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// One line of a dialog: a control, a picture offset or a piece of background decoration.
struct Item {
  std::string kind;               // btn ctl move pic card rule glyph title field sheet
  std::string key;                // layout key (controls), glyph name, or empty
  Rect rect;
  std::string style;              // btn: face style; pic: glyph; card: "raised" or empty
  std::vector<std::string> args;  // the rest of the line
  int line = 0;
};

struct DialogSource {
  std::string name;
  int width = 0, height = 0;
  std::vector<std::pair<std::string, std::string>> screen;  // extra SCREEN values in order
  std::vector<Item> items;
};

struct SkinSource {
  std::map<std::string, std::string> theme;  // name -> "#rrggbb"
  std::vector<DialogSource> dialogs;
};

// A key's legend as the key rows write it: "|" separates the upper from the lower legend, "_"
// stands for a blank, and a backslash takes the next character as it is ("\_" an underscore,
// "\|" a bar, "\\" a backslash). A legend without "|" has only the lower part. False (with the
// reason) for a second separator or a backslash at the end.
bool ParseLegend(const std::string& text, std::string& upper, std::string& lower, std::string& error);

// Parses the source text; on a malformed line returns false with "line N: reason" in error.
bool ParseSkinSource(const std::string& text, SkinSource& out, std::string& error);

}  // namespace orvane::skingen
