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

}  // namespace
}  // namespace orvane
