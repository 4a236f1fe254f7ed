#include "runtime/page_output.h"

#include <gtest/gtest.h>

namespace cfgout {
namespace {

TEST(PageCapture, CollectsOutputAndNests) {
  PageCapture outer;
  PageWrite("a");
  {
    PageCapture inner;
    PageWrite("b");
    EXPECT_EQ(inner.Take(), "b");
    PageWrite("c");
    EXPECT_EQ(inner.Text(), "c");
  }
  PageWrite("d");
  EXPECT_EQ(outer.Take(), "ad");
  EXPECT_EQ(outer.Text(), "");
}

}  // namespace
}  // namespace cfgout
