// A small, strict JSON value with a parser and a writer, for the command-line tool's
// machine-readable output and its profile files in JSON form. No dependencies.
//
// The parser accepts exactly RFC 8259 JSON in UTF-8 (no comments, no trailing commas, no
// duplicate object keys, no lone surrogates, no control characters in strings) and reports the
// first fault with its line and column. Input size and nesting depth are limited so no input can
// exhaust memory or the stack. Objects keep their members in the order written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

class JsonValue {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };
  using Member = std::pair<std::string, JsonValue>;

  JsonValue() = default;
  JsonValue(std::nullptr_t) {}
  JsonValue(bool b) : type_(Type::Bool), bool_(b) {}
  JsonValue(int v) : JsonValue(static_cast<int64_t>(v)) {}
  JsonValue(unsigned v) : JsonValue(static_cast<int64_t>(v)) {}
  JsonValue(int64_t v) : type_(Type::Number), is_int_(true), int_(v), double_(double(v)) {}
  JsonValue(uint64_t v) = delete;  // would not fit every value; convert explicitly
  JsonValue(double v) : type_(Type::Number), double_(v) {}
  JsonValue(std::string s) : type_(Type::String), string_(std::move(s)) {}
  JsonValue(const char* s) : type_(Type::String), string_(s) {}

  static JsonValue Array() {
    JsonValue v;
    v.type_ = Type::Array;
    return v;
  }
  static JsonValue Object() {
    JsonValue v;
    v.type_ = Type::Object;
    return v;
  }

  Type GetType() const { return type_; }
  bool IsNull() const { return type_ == Type::Null; }
  bool IsBool() const { return type_ == Type::Bool; }
  bool IsNumber() const { return type_ == Type::Number; }
  // A number written without fraction or exponent that fits in 64 bits.
  bool IsInteger() const { return type_ == Type::Number && is_int_; }
  bool IsString() const { return type_ == Type::String; }
  bool IsArray() const { return type_ == Type::Array; }
  bool IsObject() const { return type_ == Type::Object; }

  bool AsBool() const { return bool_; }
  int64_t AsInt() const { return int_; }
  double AsDouble() const { return double_; }
  const std::string& AsString() const { return string_; }

  // Arrays.
  const std::vector<JsonValue>& Items() const { return items_; }
  std::vector<JsonValue>& Items() { return items_; }
  JsonValue& Push(JsonValue v);

  // Objects. Set replaces a member of the same key or appends a new one.
  const std::vector<Member>& Members() const { return members_; }
  JsonValue& Set(const std::string& key, JsonValue v);
  const JsonValue* Find(std::string_view key) const;

  bool operator==(const JsonValue& other) const;

 private:
  Type type_ = Type::Null;
  bool bool_ = false;
  bool is_int_ = false;
  int64_t int_ = 0;
  double double_ = 0;
  std::string string_;
  std::vector<JsonValue> items_;
  std::vector<Member> members_;
};

// The most bytes and the deepest nesting the parser takes.
constexpr size_t kJsonMaxInputBytes = 64u << 20;
constexpr int kJsonMaxDepth = 200;

// Parses one JSON text (surrounding white space allowed). On failure returns false and says
// where and why in *error, e.g. "line 3, column 7: expected ',' or '}'".
bool ParseJson(std::string_view text, JsonValue* out, std::string* error);

// Writes the value as JSON. indent < 0: on one line; otherwise pretty, indent spaces per level,
// with arrays and objects that hold only scalars kept on one line when that line stays short.
// Non-ASCII text is written as UTF-8. Numbers that are not finite are written as null.
std::string WriteJson(const JsonValue& value, int indent = 2);

// A JSON string literal (with quotes) of UTF-8 text.
std::string JsonQuote(std::string_view text);

}  // namespace orvane
