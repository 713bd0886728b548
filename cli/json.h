// A small, strict JSON value with a parser and a writer, for the command-line tool's
// machine-readable output and its profile files in JSON form. No dependencies.
//
// The parser accepts exactly RFC 8259 JSON in UTF-8 (no comments, no trailing commas, no
// duplicate object keys, no lone surrogates, no control characters in strings) and reports the
// first fault with its line and column. Its work is linear in the input (duplicate member names
// are found through a hash of the names read so far). Input size and nesting depth are limited so
// no input can exhaust memory or the stack, and a caller that knows what the text must hold gives
// its shape (JsonShape), so the parser stops as soon as an array, an object or a string outgrows it
// and never builds more than such a document. Objects keep their members in the order written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace orvane {

class JsonValue {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };
  using Member = std::pair<std::string, JsonValue>;

  JsonValue() = default;
  JsonValue(std::nullptr_t) {}
  JsonValue(bool b) : v_(b) {}
  JsonValue(int v) : JsonValue(static_cast<int64_t>(v)) {}
  JsonValue(unsigned v) : JsonValue(static_cast<int64_t>(v)) {}
  JsonValue(int64_t v) : v_(v) {}
  JsonValue(uint64_t v) = delete;  // would not fit every value; convert explicitly
  JsonValue(double v) : v_(v) {}
  JsonValue(std::string s) : v_(std::move(s)) {}
  JsonValue(const char* s) : v_(std::string(s)) {}

  static JsonValue Array() {
    JsonValue v;
    v.v_.emplace<kArray>();
    return v;
  }
  static JsonValue Object() {
    JsonValue v;
    v.v_.emplace<kObject>();
    return v;
  }

  Type GetType() const;
  bool IsNull() const { return v_.index() == kNull; }
  bool IsBool() const { return v_.index() == kBool; }
  bool IsNumber() const { return v_.index() == kInt || v_.index() == kDouble; }
  // A number written without fraction or exponent that fits in 64 bits.
  bool IsInteger() const { return v_.index() == kInt; }
  bool IsString() const { return v_.index() == kString; }
  bool IsArray() const { return v_.index() == kArray; }
  bool IsObject() const { return v_.index() == kObject; }

  bool AsBool() const { return IsBool() && std::get<kBool>(v_); }
  int64_t AsInt() const { return IsInteger() ? std::get<kInt>(v_) : 0; }
  double AsDouble() const;
  const std::string& AsString() const;

  // Arrays (empty for any other value). The non-const form and Push make the value an array
  // when it is not one.
  const std::vector<JsonValue>& Items() const;
  std::vector<JsonValue>& Items();
  JsonValue& Push(JsonValue v);

  // Objects (empty for any other value). Set makes the value an object when it is not one, and
  // replaces a member of the same key or appends a new one.
  const std::vector<Member>& Members() const;
  JsonValue& Set(const std::string& key, JsonValue v);
  const JsonValue* Find(std::string_view key) const;

  bool operator==(const JsonValue& other) const;

 private:
  friend class JsonParser;
  enum Index : size_t { kNull, kBool, kInt, kDouble, kString, kArray, kObject };
  // One alternative at a time keeps a value at 40 bytes, so a document of many small values
  // stays within a small multiple of its text.
  std::variant<std::monostate, bool, int64_t, double, std::string, std::vector<JsonValue>,
               std::vector<Member>>
      v_;
};

// What a JSON text is expected to hold, as far as the parser can check while it reads. A shape
// bounds the value at its place: an array's items or an object's members (max_items), a string's
// length in UTF-16 code units; a closed object accepts only the members listed. max_items 0
// means a single value (no array or object with anything in it). Child shapes are given for the
// items of an array (items) and per member of an object (members); a child without a shape is
// unbounded. Shapes are static data of the caller and must outlive the parse.
struct JsonShape {
  size_t max_items = SIZE_MAX;
  size_t max_string_chars = SIZE_MAX;
  const char* noun = "items";  // for messages: "more than 100 macros"
  const JsonShape* items = nullptr;
  std::vector<std::pair<std::string, const JsonShape*>> members = {};
  bool closed = false;
};

// The most bytes and the deepest nesting the parser takes.
constexpr size_t kJsonMaxInputBytes = 64u << 20;
constexpr int kJsonMaxDepth = 200;

// Parses one JSON text (surrounding white space allowed). On failure returns false and says
// where and why in *error, e.g. "line 3, column 7: expected ',' or '}'"; a value that outgrows
// the shape is named by its place, e.g. "macros[3].actions: more than 2000 actions (line 9,
// column 2)".
bool ParseJson(std::string_view text, JsonValue* out, std::string* error,
               const JsonShape* shape = nullptr);

// Writes the value as JSON. indent < 0: on one line; otherwise pretty, indent spaces per level,
// with arrays and objects that hold only scalars kept on one line when that line stays short.
// Non-ASCII text is written as UTF-8. Numbers that are not finite are written as null.
std::string WriteJson(const JsonValue& value, int indent = 2);

// A JSON string literal (with quotes) of UTF-8 text.
std::string JsonQuote(std::string_view text);

}  // namespace orvane
