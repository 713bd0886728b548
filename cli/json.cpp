// Strict JSON parser and writer.
#include "cli/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace orvane {

JsonValue& JsonValue::Push(JsonValue v) {
  items_.push_back(std::move(v));
  return items_.back();
}

JsonValue& JsonValue::Set(const std::string& key, JsonValue v) {
  for (Member& m : members_) {
    if (m.first == key) {
      m.second = std::move(v);
      return m.second;
    }
  }
  members_.emplace_back(key, std::move(v));
  return members_.back().second;
}

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (const Member& m : members_) {
    if (m.first == key) return &m.second;
  }
  return nullptr;
}

bool JsonValue::operator==(const JsonValue& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case Type::Null: return true;
    case Type::Bool: return bool_ == o.bool_;
    case Type::Number:
      if (is_int_ && o.is_int_) return int_ == o.int_;
      return double_ == o.double_;
    case Type::String: return string_ == o.string_;
    case Type::Array: return items_ == o.items_;
    case Type::Object: return members_ == o.members_;
  }
  return false;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  bool Run(JsonValue* out, std::string* error) {
    SkipSpace();
    if (!ParseValue(out, 0)) return Fail(error);
    SkipSpace();
    if (pos_ != s_.size()) {
      why_ = "unexpected text after the JSON value";
      return Fail(error);
    }
    return true;
  }

 private:
  bool Fail(std::string* error) {
    if (error) {
      // Line and column (in characters, counted as bytes) of the fault.
      size_t line = 1, col = 1;
      for (size_t i = 0; i < pos_ && i < s_.size(); ++i) {
        if (s_[i] == '\n') {
          ++line;
          col = 1;
        } else {
          ++col;
        }
      }
      *error = "line " + std::to_string(line) + ", column " + std::to_string(col) + ": " + why_;
    }
    return false;
  }
  bool Error(const char* why) {
    why_ = why;
    return false;
  }

  void SkipSpace() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') ++pos_;
      else break;
    }
  }

  bool Literal(const char* word) {
    const size_t n = std::strlen(word);
    if (s_.substr(pos_, n) != word) return Error("invalid literal");
    pos_ += n;
    return true;
  }

  bool ParseValue(JsonValue* out, int depth) {
    if (depth > kJsonMaxDepth) return Error("nesting too deep");
    if (pos_ >= s_.size()) return Error("unexpected end of input, expected a value");
    const char c = s_[pos_];
    switch (c) {
      case '{': return ParseObject(out, depth);
      case '[': return ParseArray(out, depth);
      case '"': {
        std::string str;
        if (!ParseString(&str)) return false;
        *out = JsonValue(std::move(str));
        return true;
      }
      case 't':
        if (!Literal("true")) return false;
        *out = JsonValue(true);
        return true;
      case 'f':
        if (!Literal("false")) return false;
        *out = JsonValue(false);
        return true;
      case 'n':
        if (!Literal("null")) return false;
        *out = JsonValue();
        return true;
      default:
        if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber(out);
        return Error("expected a value");
    }
  }

  bool ParseObject(JsonValue* out, int depth) {
    ++pos_;  // '{'
    JsonValue obj = JsonValue::Object();
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      *out = std::move(obj);
      return true;
    }
    for (;;) {
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '"') return Error("expected a member name in quotes");
      const size_t key_pos = pos_;
      std::string key;
      if (!ParseString(&key)) return false;
      if (obj.Find(key)) {
        pos_ = key_pos;
        return Error("duplicate member name");
      }
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') return Error("expected ':'");
      ++pos_;
      SkipSpace();
      JsonValue v;
      if (!ParseValue(&v, depth + 1)) return false;
      obj.Set(key, std::move(v));
      SkipSpace();
      if (pos_ >= s_.size()) return Error("unexpected end of input, expected ',' or '}'");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == '}') {
        ++pos_;
        *out = std::move(obj);
        return true;
      }
      return Error("expected ',' or '}'");
    }
  }

  bool ParseArray(JsonValue* out, int depth) {
    ++pos_;  // '['
    JsonValue arr = JsonValue::Array();
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      *out = std::move(arr);
      return true;
    }
    for (;;) {
      SkipSpace();
      JsonValue v;
      if (!ParseValue(&v, depth + 1)) return false;
      arr.Push(std::move(v));
      SkipSpace();
      if (pos_ >= s_.size()) return Error("unexpected end of input, expected ',' or ']'");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == ']') {
        ++pos_;
        *out = std::move(arr);
        return true;
      }
      return Error("expected ',' or ']'");
    }
  }

  bool ParseNumber(JsonValue* out) {
    const size_t start = pos_;
    bool integral = true;
    if (s_[pos_] == '-') ++pos_;
    if (pos_ >= s_.size()) return Error("invalid number");
    if (s_[pos_] == '0') {
      ++pos_;
      if (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')
        return Error("invalid number (leading zero)");
    } else if (s_[pos_] >= '1' && s_[pos_] <= '9') {
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    } else {
      return Error("invalid number");
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      integral = false;
      ++pos_;
      if (pos_ >= s_.size() || s_[pos_] < '0' || s_[pos_] > '9')
        return Error("invalid number (digit expected after '.')");
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      integral = false;
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (pos_ >= s_.size() || s_[pos_] < '0' || s_[pos_] > '9')
        return Error("invalid number (digit expected in exponent)");
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    }
    const char* first = s_.data() + start;
    const char* last = s_.data() + pos_;
    if (integral) {
      int64_t v = 0;
      auto r = std::from_chars(first, last, v);
      if (r.ec == std::errc() && r.ptr == last) {
        *out = JsonValue(v);
        return true;
      }
    }
    // strtod needs a terminated copy; numbers are short.
    std::string copy(first, last);
    char* end = nullptr;
    const double d = std::strtod(copy.c_str(), &end);
    if (!std::isfinite(d)) {
      pos_ = start;
      return Error("number out of range");
    }
    *out = JsonValue(d);
    return true;
  }

  bool Hex4(uint32_t* out) {
    if (pos_ + 4 > s_.size()) return Error("incomplete \\u escape");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[pos_ + i];
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return Error("invalid \\u escape");
      v = v * 16 + static_cast<uint32_t>(d);
    }
    pos_ += 4;
    *out = v;
    return true;
  }

  static void AppendUtf8(std::string* s, uint32_t cp) {
    if (cp < 0x80) {
      s->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      s->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      s->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      s->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  // One UTF-8 sequence starting at pos_, checked (no overlong forms, no surrogates, <= U+10FFFF).
  bool Utf8Char(std::string* s) {
    const auto b0 = static_cast<uint8_t>(s_[pos_]);
    int n;
    uint32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      n = 1;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      n = 2;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      n = 3;
      cp = b0 & 0x07;
    } else {
      return Error("invalid UTF-8 in string");
    }
    if (pos_ + static_cast<size_t>(n) >= s_.size()) return Error("invalid UTF-8 in string");
    for (int i = 1; i <= n; ++i) {
      const auto b = static_cast<uint8_t>(s_[pos_ + i]);
      if ((b & 0xC0) != 0x80) return Error("invalid UTF-8 in string");
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return Error("invalid UTF-8 in string");
    s->append(s_.substr(pos_, static_cast<size_t>(n) + 1));
    pos_ += static_cast<size_t>(n) + 1;
    return true;
  }

  bool ParseString(std::string* out) {
    ++pos_;  // opening quote
    std::string s;
    for (;;) {
      if (pos_ >= s_.size()) return Error("unterminated string");
      const auto c = static_cast<uint8_t>(s_[pos_]);
      if (c == '"') {
        ++pos_;
        *out = std::move(s);
        return true;
      }
      if (c < 0x20) return Error("control character in string");
      if (c >= 0x80) {
        if (!Utf8Char(&s)) return false;
        continue;
      }
      if (c != '\\') {
        s.push_back(static_cast<char>(c));
        ++pos_;
        continue;
      }
      ++pos_;
      if (pos_ >= s_.size()) return Error("unterminated string");
      const char e = s_[pos_++];
      switch (e) {
        case '"': s.push_back('"'); break;
        case '\\': s.push_back('\\'); break;
        case '/': s.push_back('/'); break;
        case 'b': s.push_back('\b'); break;
        case 'f': s.push_back('\f'); break;
        case 'n': s.push_back('\n'); break;
        case 'r': s.push_back('\r'); break;
        case 't': s.push_back('\t'); break;
        case 'u': {
          uint32_t cp;
          if (!Hex4(&cp)) return false;
          if (cp >= 0xDC00 && cp <= 0xDFFF) return Error("lone low surrogate in \\u escape");
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t lo;
            if (pos_ + 2 > s_.size() || s_[pos_] != '\\' || s_[pos_ + 1] != 'u')
              return Error("lone high surrogate in \\u escape");
            pos_ += 2;
            if (!Hex4(&lo)) return false;
            if (lo < 0xDC00 || lo > 0xDFFF) return Error("lone high surrogate in \\u escape");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          AppendUtf8(&s, cp);
          break;
        }
        default:
          --pos_;
          return Error("invalid escape in string");
      }
    }
  }

  std::string_view s_;
  size_t pos_ = 0;
  const char* why_ = "invalid JSON";
};

void WriteString(std::string* out, std::string_view text) {
  out->push_back('"');
  for (char ch : text) {
    const auto c = static_cast<uint8_t>(ch);
    switch (c) {
      case '"': out->append("\\\""); break;
      case '\\': out->append("\\\\"); break;
      case '\n': out->append("\\n"); break;
      case '\r': out->append("\\r"); break;
      case '\t': out->append("\\t"); break;
      case '\b': out->append("\\b"); break;
      case '\f': out->append("\\f"); break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out->append(buf);
        } else {
          out->push_back(ch);
        }
    }
  }
  out->push_back('"');
}

void WriteNumber(std::string* out, const JsonValue& v) {
  if (v.IsInteger()) {
    out->append(std::to_string(v.AsInt()));
    return;
  }
  const double d = v.AsDouble();
  if (!std::isfinite(d)) {
    out->append("null");
    return;
  }
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  out->append(buf, r.ptr);
}

bool IsScalar(const JsonValue& v) { return !v.IsArray() && !v.IsObject(); }

void WriteCompact(std::string* out, const JsonValue& v);

void WriteCompact(std::string* out, const JsonValue& v) {
  switch (v.GetType()) {
    case JsonValue::Type::Null: out->append("null"); break;
    case JsonValue::Type::Bool: out->append(v.AsBool() ? "true" : "false"); break;
    case JsonValue::Type::Number: WriteNumber(out, v); break;
    case JsonValue::Type::String: WriteString(out, v.AsString()); break;
    case JsonValue::Type::Array: {
      out->push_back('[');
      bool first = true;
      for (const JsonValue& item : v.Items()) {
        if (!first) out->append(", ");
        first = false;
        WriteCompact(out, item);
      }
      out->push_back(']');
      break;
    }
    case JsonValue::Type::Object: {
      out->push_back('{');
      bool first = true;
      for (const auto& [key, item] : v.Members()) {
        if (!first) out->append(", ");
        first = false;
        WriteString(out, key);
        out->append(": ");
        WriteCompact(out, item);
      }
      out->push_back('}');
      break;
    }
  }
}

constexpr size_t kOneLineLimit = 100;

void WritePretty(std::string* out, const JsonValue& v, int indent, int level) {
  if (IsScalar(v)) {
    WriteCompact(out, v);
    return;
  }
  const bool is_array = v.IsArray();
  const size_t count = is_array ? v.Items().size() : v.Members().size();
  if (count == 0) {
    out->append(is_array ? "[]" : "{}");
    return;
  }
  // Containers of scalars stay on one line while short: actions, byte lists, small records.
  bool all_scalar = true;
  if (is_array) {
    for (const JsonValue& item : v.Items()) all_scalar = all_scalar && IsScalar(item);
  } else {
    for (const auto& m : v.Members()) all_scalar = all_scalar && IsScalar(m.second);
  }
  if (all_scalar) {
    std::string line;
    WriteCompact(&line, v);
    if (line.size() + static_cast<size_t>(indent * level) <= kOneLineLimit) {
      out->append(line);
      return;
    }
  }
  const std::string pad(static_cast<size_t>(indent * (level + 1)), ' ');
  out->push_back(is_array ? '[' : '{');
  out->push_back('\n');
  for (size_t i = 0; i < count; ++i) {
    out->append(pad);
    if (is_array) {
      WritePretty(out, v.Items()[i], indent, level + 1);
    } else {
      WriteString(out, v.Members()[i].first);
      out->append(": ");
      WritePretty(out, v.Members()[i].second, indent, level + 1);
    }
    if (i + 1 < count) out->push_back(',');
    out->push_back('\n');
  }
  out->append(static_cast<size_t>(indent * level), ' ');
  out->push_back(is_array ? ']' : '}');
}

}  // namespace

bool ParseJson(std::string_view text, JsonValue* out, std::string* error) {
  if (text.size() > kJsonMaxInputBytes) {
    if (error) *error = "input too large";
    return false;
  }
  JsonValue v;
  Parser p(text);
  if (!p.Run(&v, error)) return false;
  *out = std::move(v);
  return true;
}

std::string WriteJson(const JsonValue& value, int indent) {
  std::string out;
  if (indent < 0) WriteCompact(&out, value);
  else WritePretty(&out, value, indent, 0);
  return out;
}

std::string JsonQuote(std::string_view text) {
  std::string out;
  WriteString(&out, text);
  return out;
}

}  // namespace orvane
