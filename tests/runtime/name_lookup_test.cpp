#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "runtime/ascii_case.h"
#include "runtime/sorted_name_table.h"

namespace cfgout {
namespace {

struct Row {
  const char* name;
  int value;
};

// Byte order: "AB" < "ABC" < "B_C" < "Z" < "\xC9T\xC9" (a byte above 127).
constexpr std::array<Row, 5> kRows = {{{"AB", 1}, {"ABC", 2}, {"B_C", 3}, {"Z", 4}, {"\xC9T\xC9", 5}}};

int Find(std::string_view name) { return FindRowByUpperCaseName(std::span<const Row>(kRows), name); }

TEST(SortedNameTable, FindsEveryRowWhateverTheAsciiCase) {
  EXPECT_EQ(Find("AB"), 0);
  EXPECT_EQ(Find("abc"), 1);
  EXPECT_EQ(Find("b_C"), 2);
  EXPECT_EQ(Find("z"), 3);
  EXPECT_EQ(Find("\xC9t\xC9"), 4);
}

TEST(SortedNameTable, MissesPrefixesExtensionsGapsAndTheEnds) {
  EXPECT_EQ(Find(""), -1);
  EXPECT_EQ(Find("A"), -1);      // before the first row, and a prefix of it
  EXPECT_EQ(Find("ABCD"), -1);   // a row followed by more
  EXPECT_EQ(Find("B"), -1);      // between rows
  EXPECT_EQ(Find("ZZ"), -1);
  EXPECT_EQ(Find("\xFF"), -1);   // after the last row
}

TEST(SortedNameTable, LeavesBytesAboveAsciiAlone) {
  // 0xE9 is not upper-cased to 0xC9: only ASCII letters change case.
  EXPECT_EQ(Find("\xE9T\xE9"), -1);
}

TEST(SortedNameTable, ANameHoldingANulMatchesNoRow) {
  EXPECT_EQ(Find(std::string_view("AB\0", 3)), -1);
  EXPECT_EQ(Find(std::string_view("ABC\0X", 5)), -1);
  EXPECT_EQ(Find(std::string_view("\0", 1)), -1);
}

TEST(SortedNameTable, AnEmptyTableHasNoRows) {
  EXPECT_EQ(FindRowByUpperCaseName(std::span<const Row>(), "AB"), -1);
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
