#include "core/JsonWriter.h"

#include <gtest/gtest.h>

namespace wavfreq {
namespace {

TEST(JsonWriterTest, MembersAndElementsOneALineWithTheirCommas) {
  JsonWriter json;
  json.BeginObject().Key("a").Integer(-3).Key("b").BeginArray().Number("0.5").Null().EndArray();
  json.Key("c").BeginObject().EndObject().Key("d").BeginArray().EndArray();
  json.Key("e").Bool(false).EndObject();
  EXPECT_EQ(json.Text(),
            "{\n  \"a\": -3,\n  \"b\": [\n    0.5,\n    null\n  ],\n  \"c\": {},\n  \"d\": [],\n"
            "  \"e\": false\n}");
  // A value made apart, at the depth it goes in.
  JsonWriter inner(1);
  inner.BeginObject().Key("x").Integer(1).EndObject();
  JsonWriter outer;
  outer.BeginArray().Raw(inner.Text()).EndArray();
  EXPECT_EQ(outer.Text(), "[\n  {\n    \"x\": 1\n  }\n]");
}

TEST(JsonWriterTest, StringsAreEscapedAndKeptValid) {
  EXPECT_EQ(JsonWriter::Quote("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(JsonWriter::Quote("tab\there\nnew\x01"), "\"tab\\u0009here\\u000anew\\u0001\"");
  // UTF-8 passes; a Latin-1 byte or a lone continuation byte becomes U+FFFD.
  EXPECT_EQ(JsonWriter::Quote("\xc3\xa9t\xc3\xa9"), "\"\xc3\xa9t\xc3\xa9\"");
  EXPECT_EQ(JsonWriter::Quote("caf\xe9\x80"), "\"caf\xef\xbf\xbd\xef\xbf\xbd\"");
}

}  // namespace
}  // namespace wavfreq
