#include "config/line_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using ::testing::ElementsAre;
using testing::CheckLinks;
using testing::MakeConfig;
using testing::Texts;

TEST(LinesNew, CountsAndLinks) {
  EXPECT_TRUE(LinesNew(0).empty());
  EXPECT_TRUE(LinesNew(-4).empty());
  LineList three = LinesNew(3);
  EXPECT_EQ(CheckLinks(three.first()), 3u);
  EXPECT_THAT(Texts(three), ElementsAre("", "", ""));
  EXPECT_EQ(three.first()->prev, nullptr);
  EXPECT_EQ(three.last(), three.first()->next->next);
}

TEST(LinesAdd, ChainGoesBetweenNeighboursAndEmptyChainCutsTheRest) {
  LineList list = LineList::FromTexts({"a\n", "b\n"});
  LineNode* a = list.first();
  LineList rest = LinesAdd(a, LineList::FromTexts({"c1\n", "c2\n"}));
  EXPECT_TRUE(rest.empty());
  EXPECT_THAT(Texts(list), ElementsAre("a\n", "c1\n", "c2\n", "b\n"));
  EXPECT_EQ(CheckLinks(list.first()), 4u);

  // Adding after the last node appends.
  EXPECT_TRUE(LinesAdd(list.last(), LineList::FromTexts({"z\n"})).empty());
  EXPECT_THAT(Texts(list), ElementsAre("a\n", "c1\n", "c2\n", "b\n", "z\n"));

  // An empty chain cuts the list after `a`; the cut nodes come back.
  LineList cut = LinesAdd(a, LineList());
  EXPECT_THAT(Texts(list), ElementsAre("a\n"));
  EXPECT_THAT(Texts(cut), ElementsAre("c1\n", "c2\n", "b\n", "z\n"));
  EXPECT_EQ(cut.first()->prev, nullptr);

  // A null anchor links nothing and hands the chain back.
  LineList back = LinesAdd(nullptr, LineList::FromTexts({"x\n"}));
  EXPECT_THAT(Texts(back), ElementsAre("x\n"));
}

TEST(LinesFree, InTheMiddleLeavesACompleteHead) {
  LineList list = LineList::FromTexts({"1", "2", "3", "4"});
  LinesFree(list, list.first()->next->next);
  EXPECT_THAT(Texts(list), ElementsAre("1", "2"));
  EXPECT_EQ(list.last()->next, nullptr);
  EXPECT_EQ(CheckLinks(list.first()), 2u);

  LinesFree(list, nullptr);
  EXPECT_EQ(list.size(), 2u);
  LinesFree(list, list.first());  // the whole list
  EXPECT_TRUE(list.empty());
  LinesFree(LineList::FromTexts({"gone"}));
}

TEST(LineRemove, UnlinksAndMovesTheFirstPointer) {
  LineList list = LineList::FromTexts({"1", "2", "3"});
  LineList middle = LineRemove(list, list.first()->next);
  EXPECT_THAT(Texts(middle), ElementsAre("2"));
  EXPECT_EQ(middle.first()->next, nullptr);
  EXPECT_EQ(middle.first()->prev, nullptr);
  EXPECT_THAT(Texts(list), ElementsAre("1", "3"));
  EXPECT_EQ(CheckLinks(list.first()), 2u);

  LineList head = LineRemove(list, list.first());
  EXPECT_THAT(Texts(head), ElementsAre("1"));
  EXPECT_THAT(Texts(list), ElementsAre("3"));
  EXPECT_EQ(list.first()->prev, nullptr);
  EXPECT_TRUE(LineRemove(list, nullptr).empty());
}

TEST(LinesCopy, CopiesFromANodeToTheEnd) {
  LineList list = LineList::FromTexts({"a", "b", "c"});
  LineList copy = LinesCopy(list.first()->next);
  EXPECT_THAT(Texts(copy), ElementsAre("b", "c"));
  EXPECT_NE(copy.first(), list.first()->next);
  copy.first()->text = "changed";
  EXPECT_EQ(list.first()->next->text, "b");
  EXPECT_TRUE(LinesCopy(nullptr).empty());

  LineNode single;
  single.next = list.first();  // stale links are cleared by the copy
  LineCopyData(single, *list.last());
  EXPECT_EQ(single.text, "c");
  EXPECT_EQ(single.next, nullptr);
  EXPECT_EQ(single.prev, nullptr);
}

TEST(LinesAddTop, NewFirstLineOfTheFile) {
  auto cfg = MakeConfig({"a\nb\n"});
  LinesAddTop(*cfg->first(), LineList::FromTexts({"x\n", "y\n"}));
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("x\n", "y\n", "a\n", "b\n"));
  EXPECT_EQ(CheckLinks(cfg->first()->lines.first()), 4u);
  LinesAddTop(*cfg->first(), LineList());
  EXPECT_EQ(cfg->first()->lines.size(), 4u);

  auto empty = MakeConfig({""});
  LinesAddTop(*empty->first(), LineList::FromTexts({"only\n"}));
  EXPECT_THAT(Texts(empty->first()->lines), ElementsAre("only\n"));
}

TEST(LinesAddStr, PositionsAcrossFiles) {
  auto cfg = MakeConfig({"Port 80\nGc On\n", "Map /a /b\n"});
  // where 1 on the first line of the main file: the new line becomes its first line.
  LineNode* added = LinesAddStr("port 80\n", *cfg, "Top\n", 1);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(cfg->first()->lines.first(), added);
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("Top\n", "Port 80\n", "Gc On\n"));

  // where 2 in an included file, matching ignoring case.
  LinesAddStr("MAP /A /B\n", *cfg, "After\n", 2);
  EXPECT_THAT(Texts(cfg->last()->lines), ElementsAre("Map /a /b\n", "After\n"));

  // where 1 in the middle.
  LinesAddStr("Gc On\n", *cfg, "Before gc\n", 1);
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("Top\n", "Port 80\n", "Before gc\n", "Gc On\n"));
  EXPECT_EQ(CheckLinks(cfg->first()->lines.first()), 4u);

  // A match without its line feed matches nothing: appended after the last line walked.
  LinesAddStr("Port 80", *cfg, "End1\n", 1);
  LinesAddStr(nullptr, *cfg, "End2\n", 2);
  EXPECT_THAT(Texts(cfg->last()->lines), ElementsAre("Map /a /b\n", "After\n", "End1\n", "End2\n"));

  // Another `where` at a matching line links nothing.
  EXPECT_EQ(LinesAddStr("Top\n", *cfg, "Nowhere\n", 3), nullptr);
  EXPECT_EQ(cfg->first()->lines.size(), 4u);
}

TEST(LinesAddStr, EmptyFilesEndTheWalk) {
  auto onlyEmptyMain = MakeConfig({"", "a\n"});
  LinesAddStr(nullptr, *onlyEmptyMain, "first\n", 2);
  EXPECT_THAT(Texts(onlyEmptyMain->first()->lines), ElementsAre("first\n"));

  // The walk stops at the empty second file: the third is never reached.
  auto cfg = MakeConfig({"a\n", "", "target\n"});
  LinesAddStr("target\n", *cfg, "new\n", 1);
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("a\n", "new\n"));
  EXPECT_THAT(Texts(cfg->last()->lines), ElementsAre("target\n"));
}

TEST(LineList, MoveAndRelease) {
  LineList a = LineList::FromTexts({"1", "2"});
  LineList b = std::move(a);
  EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): moved-from state is specified
  EXPECT_EQ(b.size(), 2u);
  b = LineList::FromTexts({"3"});
  EXPECT_THAT(Texts(b), ElementsAre("3"));
  LineNode* raw = b.release();
  EXPECT_TRUE(b.empty());
  LineList again(raw);
  EXPECT_THAT(Texts(again), ElementsAre("3"));
  LineNode& appended = again.Append("4");
  EXPECT_EQ(appended.prev, again.first());
  int n = 0;
  for (LineNode& l : again) n += static_cast<int>(l.text.size());
  EXPECT_EQ(n, 2);
}

}  // namespace
}  // namespace cfgout

namespace cfgout {
namespace {

// Appending remembers the last line; whatever changed the list in between
// (lines linked in after it, the last line removed or cut off, the chain
// replaced), the next line still goes at the very end.
TEST(Append, GoesAtTheEndAfterAnyChange) {
  struct Case {
    const char* name;
    void (*change)(LineList& list);
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"nothing", [](LineList&) {}, {"a", "b", "c", "z"}},
      {"linked in after the last", [](LineList& l) { LinesAdd(l.last(), LineList::FromTexts({"d"})); },
       {"a", "b", "c", "d", "z"}},
      {"last removed", [](LineList& l) { LineRemove(l, l.last()); }, {"a", "b", "z"}},
      {"rest cut off", [](LineList& l) { LinesAdd(l.first(), LineList()); }, {"a", "z"}},
      {"freed from the second", [](LineList& l) { LinesFree(l, l.first()->next); }, {"a", "z"}},
      {"first removed", [](LineList& l) { LineRemove(l, l.first()); }, {"b", "c", "z"}},
      {"chain replaced", [](LineList& l) { l = LineList::FromTexts({"x"}); }, {"x", "z"}},
      {"emptied", [](LineList& l) { l.reset(); }, {"z"}},
  };
  for (const Case& c : cases) {
    LineList list;
    for (const char* t : {"a", "b", "c"}) list.Append(t);
    c.change(list);
    list.Append("z");
    EXPECT_EQ(Texts(list), c.expected) << c.name;
    EXPECT_EQ(CheckLinks(list.first()), c.expected.size()) << c.name;
    EXPECT_EQ(list.last()->text, "z") << c.name;
  }
}

}  // namespace
}  // namespace cfgout

namespace cfgout {
namespace {

// A line leaves its list with the pieces that continue it; removing any
// other line leaves those pieces with their line. LineRemove alone takes one
// node.
TEST(LineRemoveWhole, TakesTheContinuationPiecesAlong) {
  struct Case {
    int remove;  // index of the node removed
    bool whole;
    std::vector<std::string> left;
    std::vector<std::string> removed;
  };
  for (const Case& c : {Case{1, true, {"a", "z"}, {"long", "+1", "+2"}}, Case{0, true, {"long", "+1", "+2", "z"}, {"a"}},
                        Case{4, true, {"a", "long", "+1", "+2"}, {"z"}}, Case{1, false, {"a", "+1", "+2", "z"}, {"long"}}}) {
    LineList list = LineList::FromTexts({"a", "long", "+1", "+2", "z"});
    list.first()->next->next->continuation = true;
    list.first()->next->next->next->continuation = true;
    LineNode* node = list.first();
    for (int i = 0; i < c.remove; ++i) node = node->next;
    const LineList removed = c.whole ? LineRemoveWhole(list, node) : LineRemove(list, node);
    EXPECT_EQ(Texts(list), c.left) << c.remove;
    EXPECT_EQ(Texts(removed), c.removed) << c.remove;
    EXPECT_EQ(CheckLinks(list.first()), c.left.size());
    EXPECT_EQ(CheckLinks(removed.first()), c.removed.size());
    list.Append("end");
    EXPECT_EQ(list.last()->text, "end");
  }
}

}  // namespace
}  // namespace cfgout
