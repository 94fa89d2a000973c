#include <gtest/gtest.h>

#include <string>

#include "common/json_reader.h"
#include "common/json_writer.h"

namespace sarn {
namespace {

struct Refused {
  const char* text;
  std::size_t line, column;
  const char* message;  // part of the message
};

TEST(JsonReader, RefusesWhatIsNotStrictJsonAndSaysWhere) {
  const Refused cases[] = {
      {"{\"a\": 1,}", 1, 9, "member name"},
      {"[1, 2,]", 1, 7, "expected a value"},
      {"{\"a\": 1} // note", 1, 10, "after the end"},
      {"{\"a\": 1, \"a\": 2}", 1, 10, "appears twice"},
      {"[01]", 1, 3, "may not start with 0"},
      {"[1.]", 1, 4, "after '.'"},
      {"[.5]", 1, 2, "expected a value"},
      {"[+1]", 1, 2, "expected a value"},
      {"[1e]", 1, 4, "exponent"},
      {"[NaN]", 1, 2, "expected a value"},
      {"[tru]", 1, 2, "unknown word"},
      {"\"a\tb\"", 1, 3, "control character"},
      {"\"\\x41\"", 1, 2, "unknown escape"},
      {"\"\\uD800\"", 1, 8, "low half"},
      {"\"\\uDC00\"", 1, 8, "lone low surrogate"},
      {"\"\\u12G4\"", 1, 6, "hexadecimal"},
      {"\"\xC0\xAF\"", 1, 2, "UTF-8"},        // overlong "/"
      {"\"\xED\xA0\x80\"", 1, 2, "UTF-8"},    // an encoded surrogate
      {"\"\xE2\x82\"", 1, 2, "UTF-8"},        // cut short by the closing quote
      {"\"abc", 1, 5, "ends inside a string"},
      {"\xFF\xFE{", 1, 1, "UTF-16"},
      {"{\n  \"a\": [1,\n  2 3]\n}", 3, 5, "',' or ']'"},
      {"", 1, 1, "ends where a value"},
      {"{} {}", 1, 4, "after the end"},
  };
  for (const Refused& c : cases) {
    JsonValue value;
    JsonError error;
    const std::string text(c.text);
    EXPECT_FALSE(ParseJson(text, value, error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_EQ(error.column, c.column) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos) << c.text << ": " << error.message;
  }
}

TEST(JsonReader, NestingIsBounded) {
  JsonValue value;
  JsonError error;
  const std::string deep = std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']');
  EXPECT_TRUE(ParseJson(deep, value, error)) << error.message;
  const std::string deeper = std::string(kJsonMaxDepth + 1, '[') + std::string(kJsonMaxDepth + 1, ']');
  EXPECT_FALSE(ParseJson(deeper, value, error));
  EXPECT_NE(error.message.find("deeply"), std::string::npos);
  // Far beyond the bound: refused without exhausting the stack.
  EXPECT_FALSE(ParseJson(std::string(100000, '['), value, error));
}

TEST(JsonReader, ReadsValuesWithTheirKindsAndOrder) {
  JsonValue v;
  JsonError error;
  ASSERT_TRUE(ParseJson("\xEF\xBB\xBF { \"z\": -0, \"a\": [true, false, null], \"n\": 12345678901, \"f\": 1.0,"
                        " \"e\": 1e2, \"big\": 99999999999999999999, \"s\": \"\\u00e9\\uD83D\\uDE00\\n\\/\" }\r\n",
                        v, error))
      << error.message;
  ASSERT_TRUE(v.IsObject());
  ASSERT_EQ(v.members().size(), 7u);
  EXPECT_EQ(v.members()[0].first, "z");  // document order, not sorted
  EXPECT_TRUE(v.Find("z")->IsInteger());
  EXPECT_EQ(v.Find("z")->integer(), 0);
  EXPECT_EQ(v.Find("a")->items().size(), 3u);
  EXPECT_TRUE(v.Find("a")->items()[0].boolean());
  EXPECT_TRUE(v.Find("a")->items()[2].IsNull());
  EXPECT_EQ(v.Find("n")->integer(), 12345678901);
  // Written with a fraction or exponent, or beyond 64 bits: a number but no integer.
  EXPECT_FALSE(v.Find("f")->IsInteger());
  EXPECT_FALSE(v.Find("e")->IsInteger());
  EXPECT_DOUBLE_EQ(v.Find("e")->number(), 100.0);
  EXPECT_TRUE(v.Find("big")->IsNumber());
  EXPECT_FALSE(v.Find("big")->IsInteger());
  EXPECT_EQ(v.Find("s")->string(), "\xC3\xA9\xF0\x9F\x98\x80\n/");
  EXPECT_EQ(v.Find("missing"), nullptr);
}

TEST(JsonReader, ReadsBackWhatTheWriterWrites) {
  const std::string nasty = std::string("q\"b\\s/\x01\x1F\n\r\t") + "\xE4\xB8\xAD" + std::string(1, '\0') + "end";
  JsonWriter w(true);
  w.BeginObject().Member("text", nasty).Key("rows").BeginArray();
  w.BeginInlineArray().Int(-2147483648LL).Int(255).EndArray().BeginInlineArray().EndArray();
  w.EndArray().Key("none").Null().EndObject();
  JsonValue v;
  JsonError error;
  ASSERT_TRUE(ParseJson(w.str(), v, error)) << error.message << "\n" << w.str();
  EXPECT_EQ(v.Find("text")->string(), nasty);
  ASSERT_EQ(v.Find("rows")->items().size(), 2u);
  EXPECT_EQ(v.Find("rows")->items()[0].items()[0].integer(), -2147483648LL);
  EXPECT_TRUE(v.Find("rows")->items()[1].items().empty());
  EXPECT_TRUE(v.Find("none")->IsNull());
}

}  // namespace
}  // namespace sarn
