#include "platform/format.h"

#include <cstdio>
#include <vector>

namespace orvane {
namespace {

constexpr int kMaxWidth = 64;

struct Conversion {
  size_t begin = 0;     // index of '%'
  size_t end = 0;       // one past the conversion character
  std::string flags;
  int width = -1;
  int precision = -1;
  char conv = 0;        // 'd','i','u','x','X','c','s' or '%'
};

// Splits a format into its conversions; false when any is not one we accept.
bool Scan(std::string_view f, std::vector<Conversion>* out) {
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%') continue;
    Conversion c;
    c.begin = i++;
    while (i < f.size() && std::string_view("-+ 0#").find(f[i]) != std::string_view::npos) {
      if (c.flags.size() > 5) return false;
      c.flags += f[i++];
    }
    auto number = [&](int* value) {
      int v = 0;
      bool any = false;
      while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
        v = v * 10 + (f[i++] - '0');
        if (v > kMaxWidth) return false;
        any = true;
      }
      if (any) *value = v;
      return true;
    };
    if (!number(&c.width)) return false;
    if (i < f.size() && f[i] == '.') {
      ++i;
      c.precision = 0;
      if (!number(&c.precision)) return false;
    }
    // Length modifiers are accepted and ignored: we pick the width of the argument ourselves.
    while (i < f.size() && (f[i] == 'h' || f[i] == 'l')) ++i;
    if (i >= f.size()) return false;
    c.conv = f[i];
    if (std::string_view("diuxXcs%").find(c.conv) == std::string_view::npos) return false;
    if (c.conv == '%' && (i != c.begin + 1)) return false;  // "%5%" is not a plain percent
    c.end = i + 1;
    out->push_back(c);
  }
  return true;
}

char KindOf(char conv) { return conv == 's' ? 's' : 'd'; }

std::string Fallback(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    out += format[i];
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') ++i;
  }
  for (const FormatArg& a : args) {
    out += ' ';
    if (const auto* n = std::get_if<int64_t>(&a)) out += std::to_string(*n);
    else out += std::get<std::string>(a);
  }
  return out;
}

}  // namespace

bool FormatAccepts(std::string_view format, std::string_view kinds) {
  std::vector<Conversion> convs;
  if (!Scan(format, &convs)) return false;
  size_t k = 0;
  for (const Conversion& c : convs) {
    if (c.conv == '%') continue;
    if (k >= kinds.size() || kinds[k] != KindOf(c.conv)) return false;
    ++k;
  }
  return k == kinds.size();
}

std::string FormatChecked(std::string_view format, std::initializer_list<FormatArg> args) {
  std::vector<Conversion> convs;
  std::string kinds;
  for (const FormatArg& a : args) kinds += std::holds_alternative<int64_t>(a) ? 'd' : 's';
  if (!Scan(format, &convs) || !FormatAccepts(format, kinds)) return Fallback(format, args);

  std::string out;
  size_t pos = 0;
  auto arg = args.begin();
  char buf[512];
  for (const Conversion& c : convs) {
    out.append(format.substr(pos, c.begin - pos));
    pos = c.end;
    if (c.conv == '%') {
      out += '%';
      continue;
    }
    std::string spec = "%" + c.flags;
    if (c.width >= 0) spec += std::to_string(c.width);
    if (c.precision >= 0) spec += "." + std::to_string(c.precision);
    int n = 0;
    if (c.conv == 's') {
      const std::string& s = std::get<std::string>(*arg);
      std::string piece = c.precision >= 0 ? s.substr(0, size_t(c.precision)) : s;
      std::string pad(c.width > int(piece.size()) ? size_t(c.width) - piece.size() : 0, ' ');
      bool left = c.flags.find('-') != std::string::npos;
      out += left ? piece + pad : pad + piece;
      ++arg;
      continue;
    }
    int64_t v = std::get<int64_t>(*arg);
    if (c.conv == 'c') {
      if (v != 0) out += char(v);
      ++arg;
      continue;
    }
    if (c.conv == 'd' || c.conv == 'i') {
      spec += "lld";
      n = std::snprintf(buf, sizeof(buf), spec.c_str(), static_cast<long long>(v));
    } else {
      spec += "ll";
      spec += c.conv;
      n = std::snprintf(buf, sizeof(buf), spec.c_str(), static_cast<unsigned long long>(v));
    }
    if (n > 0) out.append(buf, std::min(size_t(n), sizeof(buf) - 1));
    ++arg;
  }
  out.append(format.substr(pos));
  return out;
}

std::string HexText(uint32_t value, int min_digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", min_digits < 1 ? 1 : min_digits > 8 ? 8 : min_digits, unsigned(value));
  return buf;
}

namespace {

// Length of the well-formed UTF-8 sequence at text[i] (2 to 4), or 0.
size_t Utf8SequenceAt(std::string_view text, size_t i) {
  const auto b0 = uint8_t(text[i]);
  size_t n = 0;
  uint32_t cp = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = uint8_t(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

}  // namespace

std::string OneLineText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char buf[8];
  for (size_t i = 0; i < text.size();) {
    const auto c = uint8_t(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(char(c));
      ++i;
      continue;
    }
    switch (c) {
      case '\n': out += "\\n"; ++i; continue;
      case '\r': out += "\\r"; ++i; continue;
      case '\t': out += "\\t"; ++i; continue;
      default: break;
    }
    if (c < 0x80) {  // the other C0 controls and DEL
      std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(c));
      out += buf;
      ++i;
      continue;
    }
    const size_t n = Utf8SequenceAt(text, i);
    if (n == 0) {
      std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(c));
      out += buf;
      ++i;
      continue;
    }
    if (n == 2 && c == 0xC2 && uint8_t(text[i + 1]) < 0xA0) {  // C1 controls U+0080-U+009F
      std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(uint8_t(text[i + 1])));
      out += buf;
      i += 2;
      continue;
    }
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace orvane
