// Strict JSON parser and writer.
#include "cli/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace orvane {

namespace {

const std::vector<JsonValue>& NoItems() {
  static const std::vector<JsonValue> none;
  return none;
}
const std::vector<JsonValue::Member>& NoMembers() {
  static const std::vector<JsonValue::Member> none;
  return none;
}
const std::string& NoString() {
  static const std::string none;
  return none;
}

}  // namespace

JsonValue::Type JsonValue::GetType() const {
  switch (v_.index()) {
    case kBool: return Type::Bool;
    case kInt:
    case kDouble: return Type::Number;
    case kString: return Type::String;
    case kArray: return Type::Array;
    case kObject: return Type::Object;
    default: return Type::Null;
  }
}

double JsonValue::AsDouble() const {
  if (v_.index() == kInt) return double(std::get<kInt>(v_));
  if (v_.index() == kDouble) return std::get<kDouble>(v_);
  return 0;
}

const std::string& JsonValue::AsString() const {
  return IsString() ? std::get<kString>(v_) : NoString();
}

const std::vector<JsonValue>& JsonValue::Items() const {
  return IsArray() ? std::get<kArray>(v_) : NoItems();
}

std::vector<JsonValue>& JsonValue::Items() {
  if (!IsArray()) v_.emplace<kArray>();
  return std::get<kArray>(v_);
}

JsonValue& JsonValue::Push(JsonValue v) {
  std::vector<JsonValue>& items = Items();
  items.push_back(std::move(v));
  return items.back();
}

const std::vector<JsonValue::Member>& JsonValue::Members() const {
  return IsObject() ? std::get<kObject>(v_) : NoMembers();
}

JsonValue& JsonValue::Set(const std::string& key, JsonValue v) {
  if (!IsObject()) v_.emplace<kObject>();
  std::vector<Member>& members = std::get<kObject>(v_);
  for (Member& m : members) {
    if (m.first == key) {
      m.second = std::move(v);
      return m.second;
    }
  }
  members.emplace_back(key, std::move(v));
  return members.back().second;
}

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (const Member& m : Members()) {
    if (m.first == key) return &m.second;
  }
  return nullptr;
}

bool JsonValue::operator==(const JsonValue& o) const {
  if (IsNumber() && o.IsNumber()) {
    if (IsInteger() && o.IsInteger()) return AsInt() == o.AsInt();
    return AsDouble() == o.AsDouble();
  }
  return v_ == o.v_;
}

// The parser. Besides the text it keeps the path to the value being read (member names and item
// numbers), which names the place of a value that outgrows its shape.
class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : s_(text) {}

  bool Run(JsonValue* out, std::string* error, const JsonShape* shape) {
    SkipSpace();
    if (!ParseValue(out, 0, shape)) return Fail(error);
    SkipSpace();
    if (pos_ != s_.size()) {
      why_ = "unexpected text after the JSON value";
      return Fail(error);
    }
    return true;
  }

 private:
  struct Step {
    const std::string* key;  // the member's name, or nullptr for an array item
    size_t index;
  };

  std::string Place() const {
    std::string place;
    for (const Step& step : path_) {
      if (step.key) place += (place.empty() ? "" : ".") + *step.key;
      else place += "[" + std::to_string(step.index) + "]";
    }
    return place.empty() ? "(top level)" : place;
  }

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
      const std::string where = "line " + std::to_string(line) + ", column " + std::to_string(col);
      *error = place_.empty() ? where + ": " + why_ : place_ + ": " + why_ + " (" + where + ")";
    }
    return false;
  }
  bool Error(const char* why) {
    why_ = why;
    place_.clear();
    return false;
  }
  // A fault of the value at the current path against its shape.
  bool ShapeError(std::string why) {
    place_ = Place();
    why_ = std::move(why);
    return false;
  }
  bool TooMany(const JsonShape& shape) {
    if (shape.max_items == 0) return ShapeError("expected a single value, not a list");
    return ShapeError("more than " + std::to_string(shape.max_items) + " " + shape.noun);
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

  bool ParseValue(JsonValue* out, int depth, const JsonShape* shape) {
    if (depth > kJsonMaxDepth) return Error("nesting too deep");
    if (pos_ >= s_.size()) return Error("unexpected end of input, expected a value");
    const char c = s_[pos_];
    switch (c) {
      case '{': return ParseObject(out, depth, shape);
      case '[': return ParseArray(out, depth, shape);
      case '"': {
        std::string str;
        if (!ParseString(&str, shape ? shape->max_string_chars : SIZE_MAX)) return false;
        out->v_.emplace<JsonValue::kString>(std::move(str));
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

  // Member names seen in one object, for the duplicate check: small objects compare with each
  // earlier name, larger ones look their names up in an open-addressing table of member
  // numbers, so an object of n members costs O(n) on average, not O(n^2).
  class NameSet {
   public:
    explicit NameSet(const std::vector<JsonValue::Member>& members) : members_(members) {}
    // Whether name is already among the members (before it is appended).
    bool Contains(const std::string& name) {
      const size_t n = members_.size();
      if (n < kLinearLimit) {
        for (const JsonValue::Member& m : members_)
          if (m.first == name) return true;
        return false;
      }
      if (table_.size() < 2 * (n + 1)) Rebuild(4 * (n + 1));
      for (size_t i = Hash(name) & (table_.size() - 1);; i = (i + 1) & (table_.size() - 1)) {
        if (table_[i] == kEmpty) return false;
        if (members_[table_[i]].first == name) return true;
      }
    }
    // Records member number n (just appended).
    void Added(size_t n) {
      if (table_.empty()) return;
      Insert(uint32_t(n));
    }

   private:
    static constexpr size_t kLinearLimit = 8;
    static constexpr uint32_t kEmpty = UINT32_MAX;
    static size_t Hash(const std::string& s) { return std::hash<std::string_view>{}(s); }
    void Insert(uint32_t n) {
      size_t i = Hash(members_[n].first) & (table_.size() - 1);
      while (table_[i] != kEmpty) i = (i + 1) & (table_.size() - 1);
      table_[i] = n;
    }
    void Rebuild(size_t at_least) {
      size_t size = 16;
      while (size < at_least) size *= 2;
      table_.assign(size, kEmpty);
      for (size_t n = 0; n < members_.size(); ++n) Insert(uint32_t(n));
    }
    const std::vector<JsonValue::Member>& members_;
    std::vector<uint32_t> table_;
  };

  // The shape a member of an object of this shape has; false when a closed shape does not
  // allow it.
  static bool MemberShape(const JsonShape* shape, const std::string& key, const JsonShape** out) {
    *out = nullptr;
    if (!shape) return true;
    for (const auto& [name, child] : shape->members) {
      if (name == key) {
        *out = child;
        return true;
      }
    }
    return !shape->closed;
  }

  bool ParseObject(JsonValue* out, int depth, const JsonShape* shape) {
    ++pos_;  // '{'
    JsonValue obj = JsonValue::Object();
    std::vector<JsonValue::Member>& members = std::get<JsonValue::kObject>(obj.v_);
    NameSet names(members);
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
      if (!ParseString(&key, SIZE_MAX)) return false;
      if (names.Contains(key)) {
        pos_ = key_pos;
        return Error("duplicate member name");
      }
      path_.push_back({&key, 0});
      const JsonShape* child = nullptr;
      if (!MemberShape(shape, key, &child)) {
        pos_ = key_pos;
        return ShapeError("unknown member");
      }
      if (shape && members.size() >= shape->max_items) {
        path_.pop_back();
        pos_ = key_pos;
        return TooMany(*shape);
      }
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') return Error("expected ':'");
      ++pos_;
      SkipSpace();
      JsonValue v;
      if (!ParseValue(&v, depth + 1, child)) return false;
      path_.pop_back();
      members.emplace_back(std::move(key), std::move(v));
      names.Added(members.size() - 1);
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

  bool ParseArray(JsonValue* out, int depth, const JsonShape* shape) {
    ++pos_;  // '['
    JsonValue arr = JsonValue::Array();
    std::vector<JsonValue>& items = std::get<JsonValue::kArray>(arr.v_);
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      *out = std::move(arr);
      return true;
    }
    const JsonShape* child = shape ? shape->items : nullptr;
    for (;;) {
      SkipSpace();
      if (shape && items.size() >= shape->max_items) return TooMany(*shape);
      path_.push_back({nullptr, items.size()});
      JsonValue v;
      if (!ParseValue(&v, depth + 1, child)) return false;
      path_.pop_back();
      items.push_back(std::move(v));
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

  // A string of at most max_chars UTF-16 code units.
  bool ParseString(std::string* out, size_t max_chars) {
    ++pos_;  // opening quote
    std::string s;
    size_t chars = 0;
    size_t char_start = pos_;
    for (;;) {
      if (chars > max_chars) {
        pos_ = char_start;  // the first character too many
        return ShapeError("longer than " + std::to_string(max_chars) + " UTF-16 characters");
      }
      char_start = pos_;
      if (pos_ >= s_.size()) return Error("unterminated string");
      const auto c = static_cast<uint8_t>(s_[pos_]);
      if (c == '"') {
        ++pos_;
        *out = std::move(s);
        return true;
      }
      if (c < 0x20) return Error("control character in string");
      if (c >= 0x80) {
        // A four-byte sequence is a character outside the BMP: two UTF-16 units.
        chars += c >= 0xF0 ? 2 : 1;
        if (!Utf8Char(&s)) return false;
        continue;
      }
      ++chars;
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
            ++chars;
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
  std::string why_ = "invalid JSON";
  std::string place_;         // where a shape fault lies ("" for faults of the text itself)
  std::vector<Step> path_;    // to the value being read
};

namespace {

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

bool ParseJson(std::string_view text, JsonValue* out, std::string* error, const JsonShape* shape) {
  if (text.size() > kJsonMaxInputBytes) {
    if (error) *error = "input too large";
    return false;
  }
  JsonValue v;
  JsonParser p(text);
  if (!p.Run(&v, error, shape)) return false;
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
