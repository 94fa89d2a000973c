#include <gtest/gtest.h>

#include "common/json_writer.h"

namespace sarn {
namespace {

TEST(JsonWriter, NestsSeparatesAndEscapes) {
  JsonWriter w;
  w.BeginObject().Member("name", "a\"b\\c\n\x01").Key("list").BeginArray().Int(1).Int(-2).BeginArray().EndArray()
      .EndArray().Key("empty").BeginObject().EndObject().Key("ok").Bool(true).EndObject();
  EXPECT_EQ(w.str(), R"({"name":"a\"b\\c\n\u0001","list":[1,-2,[]],"empty":{},"ok":true})");
}

TEST(JsonWriter, PrettyOutputIndents) {
  JsonWriter w(true);
  w.BeginObject().Member("a", 1).Key("b").BeginArray().Int(2).EndArray().EndObject();
  EXPECT_EQ(w.str(), "{\n  \"a\": 1,\n  \"b\": [\n    2\n  ]\n}");
}

}  // namespace
}  // namespace sarn
