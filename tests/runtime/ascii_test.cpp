#include "runtime/ascii.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace cfgout {
namespace {

// The test process runs in the "C" locale, whose <cctype> classes are the
// contract; AsciiUpper/AsciiLower likewise agree with toupper/tolower there.
TEST(AsciiClasses, AgreeWithTheCLocaleOnEveryByte) {
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(IsAsciiDigit(ch), std::isdigit(c) != 0) << c;
    EXPECT_EQ(IsAsciiLetter(ch), std::isalpha(c) != 0) << c;
    EXPECT_EQ(IsAsciiSpace(ch), std::isspace(c) != 0) << c;
    EXPECT_EQ(static_cast<unsigned char>(AsciiUpper(ch)), std::toupper(c)) << c;
    EXPECT_EQ(static_cast<unsigned char>(AsciiLower(ch)), std::tolower(c)) << c;
  }
}

TEST(AsciiClasses, TrimTakesWhiteSpaceFromBothEndsOnly) {
  EXPECT_EQ(TrimAsciiSpace(" \t\r\n\v\f a b \n"), "a b");
  EXPECT_EQ(TrimAsciiSpace("\xA0x\x85"), "\xA0x\x85");
  EXPECT_EQ(TrimAsciiSpace(" \t "), "");
  EXPECT_EQ(TrimAsciiSpace(""), "");
  EXPECT_EQ(TrimAsciiSpace(std::string_view("\0 x \0", 5)), std::string_view("\0 x \0", 5));
}

TEST(AsciiCase, ConvertsAsciiLettersOnly) {
  EXPECT_EQ(UpperCaseCopy(std::string("a-z{`@[\xE9\0q", 10)), std::string("A-Z{`@[\xE9\0Q", 10));
  std::string text = "MiXeD \xC9";
  EXPECT_EQ(LowerCaseInPlace(text), "mixed \xC9");
  EXPECT_EQ(UpperCaseInPlace(text), "MIXED \xC9");
}

TEST(AsciiCase, ComparesEveryByteIgnoringAsciiCase) {
  EXPECT_TRUE(EqualsIgnoringCase("Post", "POST"));
  EXPECT_TRUE(EqualsIgnoringCase("", ""));
  EXPECT_FALSE(EqualsIgnoringCase("POST", "POSTS"));
  EXPECT_FALSE(EqualsIgnoringCase("\xE9", "\xC9"));
  EXPECT_FALSE(EqualsIgnoringCase("@", "`"));  // 0x40 and 0x60 differ by the case bit but are no letters
  EXPECT_TRUE(EqualsIgnoringCase(std::string_view("a\0b", 3), std::string_view("A\0B", 3)));
  EXPECT_FALSE(EqualsIgnoringCase(std::string_view("a\0b", 3), std::string_view("a\0c", 3)));

  EXPECT_TRUE(StartsWithIgnoringCase("Forever", "FOR"));
  EXPECT_TRUE(StartsWithIgnoringCase("x", ""));
  EXPECT_FALSE(StartsWithIgnoringCase("fo", "for"));
  EXPECT_FALSE(StartsWithIgnoringCase("fur", "for"));
}

}  // namespace
}  // namespace cfgout
