#include "nls/message_format.h"

#include <gtest/gtest.h>

namespace cfgout {
namespace {

TEST(FormatText, SubstitutesTextNumbersAndPercent) {
  EXPECT_EQ(FormatText("HTML form information not found: %s", {"BASIC"}),
            "HTML form information not found: BASIC");
  EXPECT_EQ(FormatText("%d of %s", {std::int64_t{3}, "7"}), "3 of 7");
  EXPECT_EQ(FormatText("100%% done"), "100% done");
  EXPECT_EQ(FormatText("<td>%s</td>", {""}), "<td></td>");
}

TEST(FormatText, LeavesEveryOtherConversionAsItStands) {
  EXPECT_EQ(FormatText("%n%x%p %5s %", {"unused"}), "%n%x%p %5s %");
  EXPECT_EQ(FormatText("width: 50%;"), "width: 50%;");
}

TEST(FormatText, ArgumentsAreNeverReinterpreted) {
  // A value that itself holds conversions comes out literally.
  EXPECT_EQ(FormatText("[%s]", {"%s%n%%"}), "[%s%n%%]");
}

TEST(FormatText, MissingArgumentsPrintNothing) {
  EXPECT_EQ(FormatText("a%sb%dc"), "abc");
  EXPECT_EQ(FormatText("%s-%s", {"x"}), "x-");
}

TEST(HtmlEscape, EscapesTheFiveSpecialCharacters) {
  EXPECT_EQ(HtmlEscape("\"><script>alert('x')&"),
            "&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&amp;");
  EXPECT_EQ(HtmlEscape("/opt/proxy 80,8080"), "/opt/proxy 80,8080");
}

}  // namespace
}  // namespace cfgout
