#include "config/line_list.h"

#include <functional>
#include <memory>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using namespace testing;


LineNode* Nth(const LineList& list, int n) { LineNode* node = list.first(); while (n-- > 0) node = node->next; return node; }

// One operation on a list ("+1", "+2" continue "b"): the list left and the one handed back.
TEST(LineList, OperationsOnAList) {
  using Op = std::function<LineList(LineList&)>;
  struct Row { const char* what; Op op; Lines left, back; };
  const Row rows[] = {
      {"add a chain after a node", [](LineList& l) { return LinesAdd(Nth(l, 0), LineList::FromTexts({"x", "y"})); },
       {"a", "x", "y", "b", "+1", "+2", "z"}, {}},
      {"add after a line goes after its pieces", [](LineList& l) { return LinesAdd(Nth(l, 1), LineList::FromTexts({"x"})); },
       {"a", "b", "+1", "+2", "x", "z"}, {}},
      {"add after the last node", [](LineList& l) { return LinesAdd(l.last(), LineList::FromTexts({"x"})); },
       {"a", "b", "+1", "+2", "z", "x"}, {}},
      {"an empty chain cuts the rest off", [](LineList& l) { return LinesAdd(Nth(l, 0), LineList()); },
       {"a"}, {"b", "+1", "+2", "z"}},
      {"a null anchor hands the chain back", [](LineList&) { return LinesAdd(nullptr, LineList::FromTexts({"x"})); },
       {"a", "b", "+1", "+2", "z"}, {"x"}},
      {"free from a node", [](LineList& l) { LinesFree(l, Nth(l, 2)); return LineList(); }, {"a", "b"}, {}},
      {"free from null", [](LineList& l) { LinesFree(l, nullptr); return LineList(); }, {"a", "b", "+1", "+2", "z"}, {}},
      {"free from the first", [](LineList& l) { LinesFree(l, l.first()); return LineList(); }, {}, {}},
      {"remove one node", [](LineList& l) { return LineRemove(l, Nth(l, 1)); }, {"a", "+1", "+2", "z"}, {"b"}},
      {"remove the first node", [](LineList& l) { return LineRemove(l, l.first()); }, {"b", "+1", "+2", "z"}, {"a"}},
      {"remove null", [](LineList& l) { return LineRemove(l, nullptr); }, {"a", "b", "+1", "+2", "z"}, {}},
      {"remove a line with its pieces", [](LineList& l) { return LineRemoveWhole(l, Nth(l, 1)); }, {"a", "z"},
       {"b", "+1", "+2"}},
      {"remove a line before the pieces", [](LineList& l) { return LineRemoveWhole(l, l.first()); },
       {"b", "+1", "+2", "z"}, {"a"}},
      {"remove the last line", [](LineList& l) { return LineRemoveWhole(l, l.last()); }, {"a", "b", "+1", "+2"}, {"z"}},
      {"copy from a node", [](LineList& l) { return LinesCopy(Nth(l, 3)); }, {"a", "b", "+1", "+2", "z"}, {"+2", "z"}},
      {"copy from null", [](LineList&) { return LinesCopy(nullptr); }, {"a", "b", "+1", "+2", "z"}, {}},
      {"a copy is deep", [](LineList& l) { LineList c = LinesCopy(l.first()); c.first()->text = "c"; return c; },
       {"a", "b", "+1", "+2", "z"}, {"c", "b", "+1", "+2", "z"}},
      {"copy one node's data, not its links", [](LineList& l) {
         auto n = std::make_unique<LineNode>();
         n->next = l.first(), n->prev = l.last();
         LineCopyData(*n, *Nth(l, 1));
         return LineList(n.release()); }, {"a", "b", "+1", "+2", "z"}, {"b"}},
      {"new lines", [](LineList&) { return LinesNew(3); }, {"a", "b", "+1", "+2", "z"}, {"", "", ""}},
      {"no new lines", [](LineList&) { return LinesNew(-4); }, {"a", "b", "+1", "+2", "z"}, {}},
      {"free a whole list", [](LineList& l) { LinesFree(std::move(l)); return LinesNew(0); }, {}, {}},
      {"replace the chain", [](LineList& l) { l = LineList::FromTexts({"x"}); return LineList(); }, {"x"}, {}},
      {"reset", [](LineList& l) { l.reset(); return LineList(); }, {}, {}},
      {"release and adopt", [](LineList& l) { return LineList(l.release()); }, {}, {"a", "b", "+1", "+2", "z"}},
      {"move out", [](LineList& l) { return std::move(l); }, {}, {"a", "b", "+1", "+2", "z"}},
  };
  for (const Row& r : rows) {
    LineList list;
    for (const char* t : {"a", "b", "+1", "+2", "z"}) list.Append(t);
    Nth(list, 2)->set_continuation(true);
    Nth(list, 3)->set_continuation(true);
    LineList back = r.op(list);
    EXPECT_EQ(Texts(list), r.left) << r.what;
    EXPECT_EQ(Texts(back), r.back) << r.what;
    list.Append("end");
    EXPECT_EQ(list.last()->text, "end") << r.what;
    Lines walked;
    for (LineNode& l : list) walked.push_back(l.text);
    EXPECT_EQ(walked, Texts(list)) << r.what;
    EXPECT_EQ(list.size(), r.left.size() + 1) << r.what;
  }
}

TEST(LineList, AddTopAndAddStr) {
  auto cfg = MakeConfig({"a\nb\n"});
  LinesAddTop(*cfg->first(), LineList::FromTexts({"x\n", "y\n"}));
  LinesAddTop(*cfg->first(), LineList());
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("x\n", "y\n", "a\n", "b\n"));
  auto empty = MakeConfig({""});
  LinesAddTop(*empty->first(), LineList::FromTexts({"only\n"}));
  EXPECT_THAT(Texts(empty->first()->lines), ElementsAre("only\n"));

  // Before (1) or after (2) the match; else after the last line before an empty file.
  struct Row { Lines in; const char* match; int where; Lines out; bool added; };
  const Row rows[] = {
      {{"Port 80\nGc On\n", "Map /a /b\n"}, "port 80\n", 1, {"Top\nPort 80\nGc On\n", "Map /a /b\n"}, true},
      {{"Port 80\nGc On\n", "Map /a /b\n"}, "MAP /A /B\n", 2, {"Port 80\nGc On\n", "Map /a /b\nTop\n"}, true},
      {{"Port 80\nGc On\n", "Map /a /b\n"}, "Gc On\n", 1, {"Port 80\nTop\nGc On\n", "Map /a /b\n"}, true},
      {{"Port 80\nGc On\n", "Map /a /b\n"}, "Port 80", 1, {"Port 80\nGc On\n", "Map /a /b\nTop\n"}, true},
      {{"Port 80\n", "Map /a /b\n"}, nullptr, 2, {"Port 80\n", "Map /a /b\nTop\n"}, true},
      {{"Port 80\n"}, "Port 80\n", 3, {"Port 80\n"}, false}, {{"", "a\n"}, nullptr, 2, {"Top\n", "a\n"}, true},
      {{"a\n", "", "target\n"}, "target\n", 1, {"a\nTop\n", "", "target\n"}, true},
  };
  for (const Row& r : rows) {
    auto c = MakeConfig(r.in);
    LineNode* added = LinesAddStr(r.match, *c, "Top\n", r.where);
    EXPECT_EQ(testing::FileImages(*c), r.out) << (r.match ? r.match : "null") << r.where;
    EXPECT_EQ(added != nullptr && added->text == "Top\n", r.added);
  }
}

}  // namespace
}  // namespace cfgout
