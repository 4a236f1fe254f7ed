#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>
#include <string_view>

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

}  // namespace
}  // namespace cfgout
