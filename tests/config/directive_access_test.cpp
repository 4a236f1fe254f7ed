#include "config/directive_access.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::CheckLinks;
using testing::FileImages;
using testing::MakeConfig;
using testing::Texts;

int Id(const char* name) { return HTTPDRuleToID(name); }

TEST(GetRules, CopiesInChainOrder) {
  auto cfg = MakeConfig({"Port 80\n#Port 1\nGc On\nport 81 # c\n", "Gc Off\nPORT 82\n"});
  LineList ports = HTTPDGetRules(*cfg, Id("port"));
  EXPECT_THAT(Texts(ports), ElementsAre("Port 80\n", "port 81 # c\n", "PORT 82\n"));
  EXPECT_EQ(CheckLinks(ports.first()), 3u);
  ports.first()->text = "edited\n";  // copies: the configuration is unchanged
  EXPECT_EQ(cfg->first()->lines.first()->text, "Port 80\n");
  EXPECT_TRUE(HTTPDGetRules(*cfg, Id("map")).empty());
  EXPECT_TRUE(HTTPDGetRules(*cfg, -1).empty());

  LineList multi = HTTPDGetMultiRules(*cfg, {Id("gc"), Id("port")});
  EXPECT_THAT(Texts(multi), ElementsAre("Port 80\n", "Gc On\n", "port 81 # c\n", "Gc Off\n", "PORT 82\n"));
  LineList stopped = HTTPDGetMultiRules(*cfg, {Id("gc"), 0, Id("port")});
  EXPECT_THAT(Texts(stopped), ElementsAre("Gc On\n", "Gc Off\n"));

  auto empty = MakeConfig({"", "Port 80\n"});  // main file without lines: nothing at all
  EXPECT_TRUE(HTTPDGetRules(*empty, Id("port")).empty());
}

// The collected (or visited) lines are exactly those HTTPDRuleMatch accepts, whatever the
// keyword set: first words that begin a two-word keyword, blanks, case,
// comments and words that only start like a keyword.
TEST(GetRules, CollectExactlyTheLinesRuleMatchAccepts) {
  const std::vector<std::string> lines = {
      "gc On\n",          "GC advisor /p.so:i\n", "gc\tadvisor x\n", "gc  advisor x\n", "gcx 1\n",
      "  Proxy http://a/*\n", "proxy advisor /q\n", "PROXY ADVISOR\n", "proxyfrom x\n", "Pass#x\n",
      "Pass /a /b\n",      "pass\n",              "#Pass /a\n",      "\tMap /x /y # c\n", "\r\n",
      "",                  "map",                  "Mapx /x\n",       "Gc\r\n",           " \t\n"};
  std::string image;
  for (const std::string& l : lines) image += l + (l.empty() || l.back() != '\n' ? "\n" : "");
  auto cfg = MakeConfig({image});
  const std::vector<std::vector<const char*>> sets = {
      {"gc"}, {"gc advisor"}, {"proxy"}, {"proxy advisor"}, {"pass", "map"}, {"gc", "gc advisor", "proxy", "map"}};
  for (const auto& set : sets) {
    std::vector<int> ids;
    for (const char* name : set) ids.push_back(Id(name));
    std::vector<std::string> expected;
    for (const LineNode& l : cfg->first()->lines) {
      for (int id : ids) {
        if (HTTPDRuleMatch(l.text, id) != 0) {
          expected.push_back(l.text);
          break;
        }
      }
    }
    SCOPED_TRACE(set.front());
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(Texts(HTTPDGetMultiRules(*cfg, ids)), expected);
    std::vector<std::string> visited;
    HTTPDVisitMultiRules(*cfg, ids, [&visited](const LineNode& l) { visited.push_back(l.text); });
    EXPECT_EQ(visited, expected);
    if (ids.size() == 1) {
      EXPECT_EQ(Texts(HTTPDGetRules(*cfg, ids[0])), expected);
    }
  }
}

TEST(GetRules, FieldCounts) {
  EXPECT_EQ(HTTPDFieldCount("http_proxy http://up:8080/\n"), 2);
  EXPECT_EQ(HTTPDFieldCount("http_proxy http://up:8080/ extra\n"), 3);
  EXPECT_EQ(HTTPDFieldCount("http_proxy http://up:8080/   # comment\n"), 2);
  EXPECT_EQ(HTTPDFieldCount("http_proxy http://up:8080/ \t \n"), 2);
  EXPECT_EQ(HTTPDFieldCount("   http_proxy http://up:8080/\n"), 2);
  EXPECT_EQ(HTTPDFieldCount("http_proxy\thttp://up:8080/\r\n"), 2);
  EXPECT_EQ(HTTPDFieldCount("Caching\n"), 1);
  EXPECT_EQ(HTTPDFieldCount("\n"), 0);
  EXPECT_EQ(HTTPDFieldCount(""), 0);
  EXPECT_EQ(HTTPDFieldCount("#http_proxy a b\n"), 0);

  auto cfg = MakeConfig({"http_proxy http://a/\nhttp_proxy http://b/ x\n", "http_proxy   http://c/  # c\n"});
  EXPECT_THAT(Texts(HTTPDGetRulesWithNFields(*cfg, Id("http_proxy"), 2)),
              ElementsAre("http_proxy http://a/\n", "http_proxy   http://c/  # c\n"));
  EXPECT_THAT(Texts(HTTPDGetRulesWithNFields(*cfg, Id("http_proxy"), 3)), ElementsAre("http_proxy http://b/ x\n"));
}

TEST(GetRules, UserMethodAndKrtRulesLookAtTheMainFileOnly) {
  auto cfg = MakeConfig({"Enable GET\nEnable PROPFIND\nenable  @mkcol\nEnable\nDisable Trace\nDisable SEARCH\n",
                         "Enable LOCK\n"});
  EXPECT_THAT(Texts(HTTPDGetUserMethodRules(*cfg, Id("enable"))),
              ElementsAre("Enable PROPFIND\n", "enable  @mkcol\n"));
  EXPECT_THAT(Texts(HTTPDGetUserMethodRules(*cfg, Id("disable"))), ElementsAre("Disable SEARCH\n"));

  auto krt = MakeConfig({"Service /a* /lib/x.so:KRT_one\nService /b* /lib/y.so:other\nService /c* krt_lower\n",
                         "Service /d* /lib/x.so:KRT_two\n"});
  EXPECT_THAT(Texts(HTTPDGetKRTRules(*krt, Id("service"), "KRT_")), ElementsAre("Service /a* /lib/x.so:KRT_one\n"));
}

TEST(RemoveRules, OnlyInstancesWithTheSameTokens) {
  auto cfg = MakeConfig({"Port 80\n#Port 80\nport   80   # old\nGc On\n", "Port 80\nPort 81\n"});
  LineList what = LineList::FromTexts({"PORT 80\n", "Gc On\n"});  // Gc On is no Port instance
  HTTPDRemoveRules(*cfg, Id("port"), what);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("#Port 80\nGc On\n", "Port 81\n"));
  EXPECT_EQ(what.size(), 2u);  // the list is left alone
  EXPECT_EQ(CheckLinks(cfg->first()->lines.first()), 2u);

  HTTPDRemoveRules(*cfg, Id("port"), LineList::FromTexts({"Port 99\n"}));
  EXPECT_THAT(FileImages(*cfg), ElementsAre("#Port 80\nGc On\n", "Port 81\n"));
  HTTPDRemoveRules(*cfg, Id("port"), LineList());
  EXPECT_THAT(FileImages(*cfg), ElementsAre("#Port 80\nGc On\n", "Port 81\n"));

  // The list may even be lines of the configuration itself.
  auto self = MakeConfig({"Port 80\nGc On\nPort 80 # again\n"});
  HTTPDRemoveRules(*self, Id("port"), self->first()->lines.first());
  EXPECT_THAT(FileImages(*self), ElementsAre("Gc On\n"));

  // Removing every instance, including a file's only line.
  HTTPDRemoveRules(*cfg, Id("port"), HTTPDGetRules(*cfg, Id("port")));
  EXPECT_THAT(FileImages(*cfg), ElementsAre("#Port 80\nGc On\n", ""));
  EXPECT_TRUE(cfg->last()->lines.empty());
}

TEST(AddRules, DropsDuplicatesAndGoesAfterTheLastInstance) {
  auto cfg = MakeConfig({"AddType .a a/a\nPort 80\nAddType .b b/b # note\n", "Gc On\n"});
  HTTPDAddRules(*cfg, Id("addtype"),
                LineList::FromTexts({"addtype .b   b/b\n", "AddType .c c/c\n", "AddType .d d/d\n"}));
  EXPECT_THAT(FileImages(*cfg),
              ElementsAre("AddType .a a/a\nPort 80\nAddType .b b/b # note\nAddType .c c/c\nAddType .d d/d\n",
                          "Gc On\n"));

  // Each instance drops at most one equal list line.
  HTTPDAddRules(*cfg, Id("addtype"), LineList::FromTexts({"AddType .a a/a\n", "AddType .a a/a\n"}));
  EXPECT_THAT(Texts(HTTPDGetRules(*cfg, Id("addtype"))),
              ElementsAre("AddType .a a/a\n", "AddType .b b/b # note\n", "AddType .c c/c\n", "AddType .d d/d\n",
                          "AddType .a a/a\n"));

  // No instance anywhere: after the last line of the main file, even with includes.
  HTTPDAddRules(*cfg, Id("map"), LineList::FromTexts({"Map /x /y\n"}));
  EXPECT_EQ(cfg->first()->lines.last()->text, "Map /x /y\n");
  EXPECT_THAT(FileImages(*cfg)[1], "Gc On\n");

  // The last instance may stand in an included file.
  HTTPDAddRules(*cfg, Id("gc"), LineList::FromTexts({"Gc Off\n"}));
  EXPECT_THAT(FileImages(*cfg)[1], "Gc On\nGc Off\n");

  // All lines dropped: nothing changes.
  const auto before = FileImages(*cfg);
  HTTPDAddRules(*cfg, Id("gc"), LineList::FromTexts({"gc on\n"}));
  EXPECT_EQ(FileImages(*cfg), before);
}

// A long input list is matched through an index of its lines' tokens; the
// result is the same as line-by-line matching: blanks, case and comments
// ignored, the first equal list line dropped, each instance dropping one.
TEST(AddRules, LongListsMatchLikeShortOnes) {
  const std::vector<std::string> config = {"Port 80 # web\n", "port   81\n", "PORT 82#c\n", "Port 83 x\n"};
  std::vector<std::string> list = {"port 80\n", "Port 81 # other\n", "port 82#zzz\n", "Port 83\n", "port 80\n",
                                   "Port\t81\r\n", "Port 83 x y\n", "#Port 80\n", "\n"};
  for (int i = 0; i < 20; ++i) list.push_back("Port " + std::to_string(9000 + i % 3) + "\n");
  // The lines of `list` that no instance drops, in order.
  const std::vector<std::string> kept = {"Port 83\n", "port 80\n", "Port\t81\r\n", "Port 83 x y\n",
                                         "#Port 80\n", "\n"};
  for (bool longList : {false, true}) {
    std::string image;
    for (const std::string& l : config) image += l;
    auto cfg = MakeConfig({image});
    LineList input;
    for (std::size_t i = 0; i < (longList ? list.size() : 9); ++i) input.Append(list[i]);
    HTTPDAddRules(*cfg, Id("port"), std::move(input));
    std::string expected = image;
    for (const std::string& l : kept) expected += l;
    if (longList) {
      for (int i = 0; i < 20; ++i) expected += "Port " + std::to_string(9000 + i % 3) + "\n";
    }
    EXPECT_EQ(FileImages(*cfg)[0], expected) << longList;
  }
}

TEST(ReplaceRules, EqualLineKeepsItsSpellingAndComment) {
  auto cfg = MakeConfig({"Port    80   # the web port\nGc On\n"});
  HTTPDReplaceRules(*cfg, Id("port"), LineList::FromTexts({"Port       80\n"}), 0);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("Port    80   # the web port\nGc On\n"));
}

TEST(ReplaceRules, NewLinesTakeThePlaceOfTheEarliestRemoved) {
  auto cfg = MakeConfig({"A x\nPort 80\nB x\nPort 81\nC x\n"});
  HTTPDReplaceRules(*cfg, Id("port"), LineList::FromTexts({"Port 1\n", "Port 2\n"}), 0);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("A x\nPort 1\nPort 2\nB x\nC x\n"));
  EXPECT_EQ(CheckLinks(cfg->first()->lines.first()), 5u);

  // Keeping one instance and adding one.
  HTTPDReplaceRules(*cfg, Id("port"), LineList::FromTexts({"port 2\n", "Port 3\n"}), 0);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("A x\nPort 3\nPort 2\nB x\nC x\n"));

  // An empty list removes every instance.
  HTTPDReplaceRules(*cfg, Id("port"), LineList(), 0);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("A x\nB x\nC x\n"));

  // Absent everywhere: after the last line of the main file.
  auto two = MakeConfig({"A x\n", "B x\n"});
  HTTPDReplaceRules(*two, Id("port"), LineList::FromTexts({"Port 80\n"}), 1);
  EXPECT_THAT(FileImages(*two), ElementsAre("A x\nPort 80\n", "B x\n"));
}

TEST(ReplaceRules, FirstLineOfAFile) {
  // The removed instance opened its file: the new line goes after the new first line.
  auto cfg = MakeConfig({"Port 80\nA x\nB x\n"});
  HTTPDReplaceRules(*cfg, Id("port"), LineList::FromTexts({"Port 81\n"}), 0);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("A x\nPort 81\nB x\n"));

  // The only line of a file: the lines go after the last instance, or at the end of the main file.
  auto only = MakeConfig({"A x\n", "Port 80\n"});
  HTTPDReplaceRules(*only, Id("port"), LineList::FromTexts({"Port 81\n"}), 0);
  EXPECT_THAT(FileImages(*only), ElementsAre("A x\nPort 81\n", ""));

  // A main file made only of instances (a file without a final line feed
  // has no empty last line) keeps the new lines.
  auto whole = MakeConfig({"Port 80\nPort 81", "X y\n"});
  HTTPDReplaceRules(*whole, Id("port"), LineList::FromTexts({"Port 82\n"}), 1);
  EXPECT_THAT(FileImages(*whole), ElementsAre("Port 82\n", "X y\n"));
}

TEST(ReplaceRules, AllFilesFlag) {
  const std::vector<std::string> images = {"Port 80\nA x\n", "B x\nPort 81\n"};
  auto lastOnly = MakeConfig(images);
  HTTPDReplaceRules(*lastOnly, Id("port"), LineList::FromTexts({"Port 90\n"}), 0);
  EXPECT_THAT(FileImages(*lastOnly), ElementsAre("Port 80\nA x\n", "B x\nPort 90\n"));

  auto every = MakeConfig(images);
  HTTPDReplaceRules(*every, Id("port"), LineList::FromTexts({"Port 90\n"}), 1);
  EXPECT_THAT(FileImages(*every), ElementsAre("A x\nPort 90\n", "B x\n"));

  // Only the later file holds it, the main file has none: allFiles 0 edits the later file.
  auto later = MakeConfig({"Port 80\n", "X y\n", "Port 81\n"});
  HTTPDReplaceRules(*later, Id("port"), LineList::FromTexts({"Port 81\n", "Port 82\n"}), 0);
  EXPECT_THAT(FileImages(*later), ElementsAre("Port 80\n", "X y\n", "Port 81\nPort 82\n"));
}

TEST(ReplaceRules, CommentedOutDirectivesAreNeverTouched) {
  auto cfg = MakeConfig({"#Port 80\nPort 81\n# Port 82\n"});
  HTTPDReplaceRules(*cfg, Id("port"), LineList::FromTexts({"Port 80\n"}), 1);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("#Port 80\nPort 80\n# Port 82\n"));
  HTTPDRemoveRules(*cfg, Id("port"), LineList::FromTexts({"Port 80\n"}));
  EXPECT_THAT(FileImages(*cfg), ElementsAre("#Port 80\n# Port 82\n"));
  EXPECT_THAT(Texts(HTTPDGetRules(*cfg, Id("port"))), IsEmpty());
}

TEST(ReplaceRules, WithNFieldsLeavesOtherFormsAlone) {
  auto cfg = MakeConfig({"X\nhttp_proxy http://a/\nhttp_proxy http://* http://b/\n"});
  HTTPDReplaceRulesWithNFields(*cfg, Id("http_proxy"), 2, LineList::FromTexts({"http_proxy http://c/\n"}), 0);
  EXPECT_THAT(FileImages(*cfg), ElementsAre("X\nhttp_proxy http://c/\nhttp_proxy http://* http://b/\n"));

  // No two-field instance: the fallback places the line after the last instance of any form.
  auto three = MakeConfig({"http_proxy http://* http://b/\nX\n"});
  HTTPDReplaceRulesWithNFields(*three, Id("http_proxy"), 2, LineList::FromTexts({"http_proxy http://c/\n"}), 0);
  EXPECT_THAT(FileImages(*three), ElementsAre("http_proxy http://* http://b/\nhttp_proxy http://c/\nX\n"));
}

TEST(StringHelpers, TokensLinesQuotesAndTerminators) {
  EXPECT_EQ(getToken(nullptr), std::nullopt);
  EXPECT_EQ(getToken(""), std::nullopt);
  EXPECT_EQ(getToken("abc def"), "abc");
  EXPECT_EQ(getToken(" \t@@name@host rest"), "name");
  EXPECT_EQ(getToken("value\r\n"), "value");
  EXPECT_EQ(getToken("  \n"), "");
  EXPECT_EQ(getToken(TokenNext("Enable  PROPFIND # x\n")), "PROPFIND");

  EXPECT_EQ(getLine(nullptr), std::nullopt);
  EXPECT_EQ(getLine(""), std::nullopt);
  EXPECT_EQ(getLine("x\n"), "x\n");

  std::string s = "a:b:c";
  removeChar(s, ':');
  EXPECT_EQ(s, "a");
  removeChar(s, ':');
  EXPECT_EQ(s, "a");

  EXPECT_EQ(StripQuotes("\"\"quoted value\"\""), "quoted value");
  EXPECT_EQ(StripQuotes("plain\""), "plain");
  EXPECT_EQ(StripQuotes("in\"side"), "in\"side");
  EXPECT_EQ(StripQuotes("\"\""), " ");
  EXPECT_EQ(StripQuotes(""), " ");

  std::string line = "value\r\nmore";
  EXPECT_EQ(StripCRLF(line), 0);
  EXPECT_EQ(line, "value");
  char buf[] = "abc\ndef";
  StripCRLF(buf);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(StripCRLF(static_cast<char*>(nullptr)), 0);
}

}  // namespace
}  // namespace cfgout
