#include <gtest/gtest.h>

#include "cli/json.h"
#include "cli/unified_diff.h"

namespace cfgout::cli {
namespace {

TEST(CliJson, ParsesWhatPutReadsAndRefusesTheRest) {
  std::string error;
  std::optional<JsonValue> v = ParseJson(
      R"( {"Host": "h\u00e9\ud83d\ude00\n", "Port": 389, "on": true, "gone": null, "list": ["a", 2]} )", &error);
  ASSERT_TRUE(v) << error;
  ASSERT_EQ(v->members.size(), 5u);
  EXPECT_EQ(v->members[0].value.text, "h\xc3\xa9\xf0\x9f\x98\x80\n");
  EXPECT_EQ(v->members[1].value.text, "389");
  EXPECT_TRUE(v->members[2].value.boolean);
  EXPECT_EQ(v->members[3].value.kind, JsonValue::Kind::kNull);
  EXPECT_EQ(v->members[4].value.items.size(), 2u);
  for (const char* bad : {"", "{", "{\"a\" 1}", "[1,]", "\"\\ud800\"", "\"a\nb\"", "01x", "{} {}", "tru", "{\"a\": 1]", "1."}) EXPECT_FALSE(ParseJson(bad, &error)) << bad;
  EXPECT_FALSE(ParseJson(std::string(100, '[') + std::string(100, ']'), &error));
}

TEST(CliJson, WritesValidStrings) {
  struct { std::string in, out; } rows[] = {
      {"plain", "\"plain\""}, {"q\"b\\\n\t\r\x01", "\"q\\\"b\\\\\\n\\t\\r\\u0001\""},
      {"\xc3\xa9", "\"\xc3\xa9\""}, {"\xff\xc3", "\"\\ufffd\\ufffd\""}};
  for (const auto& row : rows) {
    std::string out;
    EXPECT_EQ((AppendJsonString(out, row.in), out), row.out);
  }
}

TEST(CliDiff, UnifiedHunks) {
  std::string lines, changed;
  for (int i = 1; i <= 20; ++i) lines += "l" + std::to_string(i) + "\n";
  for (int i = 1; i <= 20; ++i) changed += i == 18 ? "" : (i == 2 ? "L" : "l") + std::to_string(i) + "\n";
  struct { std::string before, after, diff; } rows[] = {
      {"a\n", "a\n", ""}, {"", "x\n", "--- f\n+++ f\n@@ -0,0 +1 @@\n+x\n"},
      {"a\nb\nc\n", "a\nB\nc\n", "--- f\n+++ f\n@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n"},
      {"a\nb", "a\nb\n", "--- f\n+++ f\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
      {lines, changed,
       "--- f\n+++ f\n@@ -1,5 +1,5 @@\n l1\n-l2\n+L2\n l3\n l4\n l5\n"
       "@@ -15,6 +15,5 @@\n l15\n l16\n l17\n-l18\n l19\n l20\n"},
  };
  for (const auto& row : rows) {
    std::string out;
    EXPECT_EQ((AppendUnifiedDiff(out, row.before, row.after, "f"), out), row.diff) << row.before;
  }
}

}  // namespace
}  // namespace cfgout::cli
