// The strict JSON parser and writer.
#include "cli/json.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace orvane {
namespace {

JsonValue Parse(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(ParseJson(text, &v, &error)) << text << ": " << error;
  return v;
}

std::string ParseError(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_FALSE(ParseJson(text, &v, &error)) << "accepted: " << text;
  return error;
}

TEST(Json, ParsesEveryKindAndKeepsMemberOrder) {
  const JsonValue v = Parse(R"( {"b": [1, -2, 3.5, 1e3, true, false, null], "a": "x\ty\u00e9\ud83d\ude00", "c": {}} )");
  ASSERT_TRUE(v.IsObject());
  ASSERT_EQ(v.Members().size(), 3u);
  EXPECT_EQ(v.Members()[0].first, "b");
  EXPECT_EQ(v.Members()[1].first, "a");
  const auto& items = v.Find("b")->Items();
  ASSERT_EQ(items.size(), 7u);
  EXPECT_TRUE(items[0].IsInteger());
  EXPECT_EQ(items[1].AsInt(), -2);
  EXPECT_FALSE(items[2].IsInteger());
  EXPECT_DOUBLE_EQ(items[2].AsDouble(), 3.5);
  EXPECT_FALSE(items[3].IsInteger());  // an exponent makes it a non-integer number
  EXPECT_DOUBLE_EQ(items[3].AsDouble(), 1000);
  EXPECT_TRUE(items[4].AsBool());
  EXPECT_FALSE(items[5].AsBool());
  EXPECT_TRUE(items[6].IsNull());
  EXPECT_EQ(v.Find("a")->AsString(), "x\ty\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_TRUE(v.Find("c")->IsObject());
  EXPECT_EQ(v.Find("missing"), nullptr);
}

TEST(Json, IntegersKeepAll64Bits) {
  EXPECT_EQ(Parse("9223372036854775807").AsInt(), INT64_MAX);
  EXPECT_EQ(Parse("-9223372036854775808").AsInt(), INT64_MIN);
  // One past the range is still a number, but no longer an exact integer.
  EXPECT_FALSE(Parse("9223372036854775808").IsInteger());
}

TEST(Json, RejectsWhatStrictJsonForbids) {
  const char* bad[] = {
      "",  "   ", "{", "[1,]", "{\"a\":1,}", "[01]", "[1.]", "[.5]", "[1e]", "[-]", "[+1]",
      "{'a':1}", "{\"a\" 1}", "{a:1}", "[1 2]", "tru", "nul", "[true false]", "\"abc",
      "\"a\\x\"", "\"\\u12\"", "\"\\ud800\"", "\"\\udc00\"", "\"\\ud800\\u0041\"", "[1] 2",
      "// comment\n1", "[NaN]", "[Infinity]", "[1e400]", "\"tab\there\"", "{\"a\":1,\"a\":2}",
      "\"\xC3\"", "\"\xC0\x80\"", "\"\xED\xA0\x80\"", "\"\xF5\x80\x80\x80\"", "\xEF\xBB\xBF{}",
  };
  for (const char* text : bad) ParseError(text);
}

TEST(Json, ErrorsSayWhere) {
  EXPECT_EQ(ParseError("{\n  \"a\": 1,\n  \"b\" 2\n}"), "line 3, column 7: expected ':'");
  EXPECT_NE(ParseError("{\"a\": 1, \"a\": 2}").find("duplicate member name"), std::string::npos);
}

TEST(Json, DeepNestingIsRefusedNotACrash) {
  std::string deep(100000, '[');
  EXPECT_NE(ParseError(deep).find("nesting too deep"), std::string::npos);
  std::string ok(std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']'));
  Parse(ok);
}

TEST(Json, WriterRoundTripsAndEscapes) {
  JsonValue root = JsonValue::Object();
  root.Set("text", "quote\" backslash\\ newline\n ctl\x01 del\x7F \xC3\xA9");
  root.Set("n", int64_t{-42});
  root.Set("d", 0.25);
  JsonValue list = JsonValue::Array();
  for (int i = 0; i < 40; ++i) list.Push(i);  // too long for one line
  root.Set("list", list);
  JsonValue small = JsonValue::Array();
  small.Push(1);
  small.Push("a");
  root.Set("small", small);
  for (int indent : {-1, 0, 2, 4}) {
    const std::string text = WriteJson(root, indent);
    JsonValue back;
    std::string error;
    ASSERT_TRUE(ParseJson(text, &back, &error)) << error << "\n" << text;
    EXPECT_EQ(back, root) << text;
  }
  const std::string pretty = WriteJson(root);
  EXPECT_NE(pretty.find("\"small\": [1, \"a\"]"), std::string::npos) << pretty;
  EXPECT_NE(pretty.find("\\u0001"), std::string::npos);
  EXPECT_NE(pretty.find("\\u007f"), std::string::npos);
  EXPECT_NE(pretty.find("\xC3\xA9"), std::string::npos);  // non-ASCII stays UTF-8
  EXPECT_EQ(WriteJson(JsonValue(std::numeric_limits<double>::infinity())), "null");
}

TEST(Json, DuplicateNamesAreFoundInLargeObjectsToo) {
  std::string text = "{";
  for (int i = 0; i < 5000; ++i) text += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i);
  const JsonValue big = Parse(text + "}");
  ASSERT_EQ(big.Members().size(), 5000u);
  EXPECT_EQ(big.Members()[4321].first, "k4321");
  EXPECT_EQ(big.Find("k4999")->AsInt(), 4999);
  const std::string dup = text + ",\"k17\":0}";
  EXPECT_EQ(ParseError(dup), "line 1, column " + std::to_string(text.size() + 2) + ": duplicate member name");
  // The same name written with an escape is the same name, in small and large objects.
  EXPECT_EQ(ParseError(R"({"a":1,"\u0061":2})"), "line 1, column 8: duplicate member name");
  EXPECT_NE(ParseError(text + ",\"\\u006b42\":0}").find("duplicate member name"), std::string::npos);
}

// A shape with a closed object, a list of at most three records and a short name.
const JsonShape& TestShape() {
  static const JsonShape value{.max_items = 0};
  static const JsonShape record{.max_items = 2, .noun = "members",
                                .members = {{"n", &value}, {"m", &value}}, .closed = true};
  static const JsonShape list{.max_items = 3, .noun = "records", .items = &record};
  static const JsonShape name{.max_items = 0, .max_string_chars = 4};
  static const JsonShape top{.max_items = 3, .noun = "members",
                             .members = {{"list", &list}, {"name", &name}, {"free", nullptr}},
                             .closed = true};
  return top;
}

std::string ShapeError(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_FALSE(ParseJson(text, &v, &error, &TestShape())) << "accepted: " << text;
  return error;
}

TEST(Json, ParsingStopsWhereTheShapeIsPassed) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(ParseJson(R"({"list": [{"n": 1}, {}, {"m": []}], "name": "ab😀", "free": [[[1]]]})", &v,
                        &error, &TestShape()))
      << error;
  // The fault is reported where the excess begins: nothing after it was read.
  EXPECT_EQ(ShapeError(R"({"list": [{}, {}, {}, {}, {}]})"),
            "list: more than 3 records (line 1, column 23)");
  EXPECT_EQ(ShapeError(R"({"list": [{"n": 1, "x": 2}]})"),
            "list[0].x: unknown member (line 1, column 20)");
  EXPECT_EQ(ShapeError(R"({"other": [1, 2, 3]})"), "other: unknown member (line 1, column 2)");
  EXPECT_EQ(ShapeError(R"({"list": [{"n": [1]}]})"),
            "list[0].n: expected a single value, not a list (line 1, column 18)");
  EXPECT_EQ(ShapeError(R"({"name": "abcde"})"), "name: longer than 4 UTF-16 characters (line 1, column 15)");
  EXPECT_EQ(ShapeError(R"({"name": "ab😀c"})"),
            "name: longer than 4 UTF-16 characters (line 1, column 17)");  // a pair counts two
  EXPECT_EQ(ShapeError(R"({"name": "a\ud83d\ude00\u0041b"})").substr(0, 37),
            "name: longer than 4 UTF-16 characters");
  // Faults of the text itself keep their plain form.
  EXPECT_EQ(ShapeError(R"({"list": [1,]})"), "line 1, column 13: expected a value");
  // A huge array where a short one belongs is refused after its fourth item.
  std::string huge = R"({"list": [)";
  for (int i = 0; i < 200000; ++i) huge += i ? ",{}" : "{}";
  EXPECT_EQ(ShapeError(huge + "]}"), "list: more than 3 records (line 1, column 20)");
}

}  // namespace
}  // namespace orvane
