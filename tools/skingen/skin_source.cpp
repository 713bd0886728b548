// Parser of the skin's layout source.
#include "tools/skingen/skin_source.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "ui/layout/dialog_layout.h"

namespace orvane::skingen {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  std::string token;
  while (in >> token) out.push_back(token);
  return out;
}

bool ToInt(const std::string& s, int& v) {
  const char* end = s.data() + s.size();
  auto r = std::from_chars(s.data(), end, v);
  return r.ec == std::errc() && r.ptr == end;
}

bool ToDouble(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() && std::isfinite(v);
}

bool ReadRect(const std::vector<std::string>& t, size_t at, Rect& r) {
  return t.size() >= at + 4 && ToInt(t[at], r.x) && ToInt(t[at + 1], r.y) && ToInt(t[at + 2], r.w) &&
         ToInt(t[at + 3], r.h) && r.w > 0 && r.h > 0;
}

std::string Join(const std::vector<std::string>& t, size_t from) {
  std::string s;
  for (size_t i = from; i < t.size(); ++i) {
    if (!s.empty()) s += ' ';
    s += t[i];
  }
  return s;
}

}  // namespace

bool ParseLegend(const std::string& text, std::string& upper, std::string& lower, std::string& error) {
  upper.clear();
  lower.clear();
  std::string part;
  bool split = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      if (i + 1 == text.size()) {
        error = "legend '" + text + "' ends in a lone backslash";
        return false;
      }
      part += text[++i];
    } else if (c == '|') {
      if (split) {
        error = "legend '" + text + "' has two '|' (write \\| for a bar)";
        return false;
      }
      split = true;
      upper = part;
      part.clear();
    } else {
      part += c == '_' ? ' ' : c;
    }
  }
  lower = part;
  return true;
}

namespace {

struct Keyboard {
  double x = 0, y = 0, unit = 0, gap = 0;
  bool set = false;
};

// One key row: cells are keys (CODE[/W[*H]]:LEGEND) or gaps (+UNITS).
bool ParseRow(const std::vector<std::string>& t, const Keyboard& kb, int line, DialogSource& dialog,
              std::string& error) {
  double row = 0;
  if (!kb.set || t.size() < 2 || !ToDouble(t[1], row)) {
    error = "row needs a keyboard line before it and a row position";
    return false;
  }
  double column = 0;
  for (size_t i = 2; i < t.size(); ++i) {
    const std::string& cell = t[i];
    if (cell[0] == '+') {
      double gap = 0;
      if (!ToDouble(cell.substr(1), gap) || gap < 0) {
        error = "bad gap '" + cell + "'";
        return false;
      }
      column += gap;
      continue;
    }
    size_t colon = cell.find(':');
    if (colon == std::string::npos || colon == 0) {
      error = "bad key cell '" + cell + "'";
      return false;
    }
    std::string head = cell.substr(0, colon);
    std::string legend = cell.substr(colon + 1);
    double width = 1, height = 1;
    size_t slash = head.find('/');
    std::string code_text = head.substr(0, slash);
    if (slash != std::string::npos) {
      std::string size = head.substr(slash + 1);
      size_t star = size.find('*');
      if (!ToDouble(size.substr(0, star), width) ||
          (star != std::string::npos && !ToDouble(size.substr(star + 1), height)) || width <= 0 || height <= 0) {
        error = "bad key size '" + cell + "'";
        return false;
      }
    }
    unsigned code = 0;
    auto r = std::from_chars(code_text.data(), code_text.data() + code_text.size(), code, 16);
    if (r.ec != std::errc() || r.ptr != code_text.data() + code_text.size() || code == 0 || code > 0xFFFF) {
      error = "bad key code '" + cell + "'";
      return false;
    }
    Item item;
    item.kind = "btn";
    item.key = layout::KeyButtonKey(uint16_t(code));
    item.rect.x = int(std::lround(kb.x + column * kb.unit));
    item.rect.y = int(std::lround(kb.y + row * kb.unit));
    item.rect.w = int(std::lround(width * kb.unit - kb.gap));
    item.rect.h = int(std::lround(height * kb.unit - kb.gap));
    item.style = "key";
    std::string upper, lower, why;
    if (!ParseLegend(legend, upper, lower, why)) {
      error = why;
      return false;
    }
    item.args = {lower, upper};
    item.line = line;
    dialog.items.push_back(item);
    column += width;
  }
  return true;
}

}  // namespace

bool ParseSkinSource(const std::string& text, SkinSource& out, std::string& error) {
  std::istringstream in(text);
  std::string raw;
  int line = 0;
  Keyboard kb;
  DialogSource* dialog = nullptr;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(line) + ": " + why;
    return false;
  };
  while (std::getline(in, raw)) {
    ++line;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::vector<std::string> t = Split(raw);
    if (t.empty() || t[0][0] == '#') continue;
    const std::string& kind = t[0];
    if (kind == "theme") {
      if (t.size() != 3 || t[2].size() != 7 || t[2][0] != '#') return fail("theme NAME #rrggbb");
      out.theme[t[1]] = t[2];
      continue;
    }
    if (kind == "dialog") {
      DialogSource d;
      if (t.size() != 4 || !ToInt(t[2], d.width) || !ToInt(t[3], d.height) || d.width <= 0 || d.height <= 0 ||
          d.width > 4000 || d.height > 4000)
        return fail("dialog NAME WIDTH HEIGHT");
      d.name = t[1];
      out.dialogs.push_back(d);
      dialog = &out.dialogs.back();
      kb = Keyboard{};
      continue;
    }
    if (dialog == nullptr) return fail("'" + kind + "' before the first dialog");
    if (kind == "screen") {
      if (t.size() != 3) return fail("screen KEY VALUE");
      dialog->screen.emplace_back(t[1], t[2]);
      continue;
    }
    if (kind == "keyboard") {
      if (t.size() != 5 || !ToDouble(t[1], kb.x) || !ToDouble(t[2], kb.y) || !ToDouble(t[3], kb.unit) ||
          !ToDouble(t[4], kb.gap) || kb.unit <= kb.gap)
        return fail("keyboard X Y UNIT GAP");
      kb.set = true;
      continue;
    }
    if (kind == "row") {
      std::string why;
      if (!ParseRow(t, kb, line, *dialog, why)) return fail(why);
      continue;
    }
    Item item;
    item.kind = kind;
    item.line = line;
    if (kind == "card" || kind == "rule" || kind == "field" || kind == "sheet") {
      if (!ReadRect(t, 1, item.rect)) return fail(kind + " X Y W H");
      if (t.size() > 5) item.style = t[5];
    } else if (kind == "glyph") {
      if ((t.size() != 6 && t.size() != 7) || !ReadRect(t, 2, item.rect)) return fail("glyph NAME X Y W H [accent]");
      item.key = t[1];
      if (t.size() == 7) item.style = t[6];
    } else if (kind == "title") {
      int size = 0;
      if (t.size() < 5 || !ToInt(t[1], item.rect.x) || !ToInt(t[2], item.rect.y) || !ToInt(t[3], size) || size <= 0)
        return fail("title X Y SIZE TEXT");
      item.rect.h = size;
      item.args.push_back(Join(t, 4));
    } else if (kind == "btn" || kind == "ctl" || kind == "move" || kind == "pic") {
      if (t.size() < 6 || !ReadRect(t, 2, item.rect)) return fail(kind + " KEY X Y W H ...");
      item.key = t[1];
      if (kind == "btn" || kind == "pic") {
        if (t.size() < 7) return fail(kind + " needs a style");
        item.style = t[6];
        item.args.assign(t.begin() + 7, t.end());
      }
    } else {
      return fail("unknown line kind '" + kind + "'");
    }
    dialog->items.push_back(item);
  }
  if (out.dialogs.empty()) {
    error = "no dialog in the source";
    return false;
  }
  return true;
}

}  // namespace orvane::skingen
