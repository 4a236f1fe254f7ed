
#include <functional>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using namespace testing;


int Id(const char* name) { return HTTPDRuleToID(name); }

TEST(Keywords, TableAndLookups) {
  EXPECT_EQ(kRuleCount, 246);
  EXPECT_EQ(RULESTR[kRuleCount], nullptr);  // and none before: every keyword is read below
  for (auto [id, keyword] : std::initializer_list<std::pair<int, const char*>>{
           {0, "<application>"}, {62, "definepicsrule"}, {63, "definepicsrule"}, {65, "defineserviceinfo"},
           {66, "defineserviceinfo"}, {111, "ftpurlpath"}, {112, "ftp_proxy"}, {114, "gc advisor"}, {123, "hostname"},
           {124, "headerservername"}, {178, "port"}, {185, "proxy advisor"}, {195, "rcaconfigfile"},
           {234, "transparentproxy"}, {235, "transmogrifier"}, {245, "welcome"}}) {
    EXPECT_STREQ(RULESTR[id], keyword);
    EXPECT_EQ(HTTPDIDToRule(id), RULESTR[id]);
  }
  for (int id = 0; id < kRuleCount; ++id) {
    const std::string k = RULESTR[id];
    EXPECT_EQ(k.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << k;
    EXPECT_EQ(HTTPDRuleToID(k.c_str()), id == 63 || id == 66 ? id - 1 : id) << k;
  }
  for (auto [name, id] : std::initializer_list<std::pair<const char*, int>>{
           {"PORT", 178}, {"pOrT", 178}, {"por", -1}, {"portx", -1}, {"", -1}, {nullptr, -1}, {"DefinePicsRule", 62},
           {"DefineServiceInfo", 65}, {"GC ADVISOR", 114}}) {
    EXPECT_EQ(HTTPDRuleToID(name), id) << (name ? name : "null");
  }
  EXPECT_EQ(HTTPDRuleToID(std::string("Welcome")), 245);
  EXPECT_EQ(HTTPDIDToRule(-1), nullptr);
  EXPECT_EQ(HTTPDIDToRule(246), nullptr);
}

TEST(RuleMatch, FirstWordEqualsTheKeyword) {
  struct Row { const char* line; const char* keyword; int match; };
  const Row rows[] = {
      {"   port   80\n", "port", 1}, {"PORT 80\r\n", "port", 1}, {"\t\r\nPort\n", "port", 1}, {"Port", "port", 1},
      {"#Port 80\n", "port", 0}, {"Port80\n", "port", 0}, {"Portx 80\n", "port", 0}, {"Port#80\n", "port", 0},
      {"Por 80\n", "port", 0}, {"\n", "port", 0}, {nullptr, "port", 0},
      {"GC Advisor /lib/p.so:init\n", "gc advisor", 1}, {"GC Advisor /lib/p.so:init\n", "gc", 0},
      {"Gc On\n", "gc", 1}, {"Gc On\n", "gc advisor", 0}, {"GC  Advisor x\n", "gc", 1},
      {"GC  Advisor x\n", "gc advisor", 0}, {"GC\tAdvisor x\n", "gc advisor", 0}, {"gc advisor\n", "gc advisor", 1},
      {"gc advisorx\n", "gc advisor", 0}, {"gc advisorx\n", "gc", 1}, {"gc", "gc advisor", 0},
      {"Proxy Advisor /x.so\n", "proxy advisor", 1}, {"Proxy Advisor /x.so\n", "proxy", 0},
      {"Proxy http://* \n", "proxy", 1}, {"Proxy http://* \n", "proxy advisor", 0}};
  for (const Row& r : rows) EXPECT_EQ(HTTPDRuleMatch(r.line, Id(r.keyword)), r.match) << (r.line ? r.line : "null") << "|" << r.keyword;
  EXPECT_EQ(HTTPDRuleMatch("Port 80\n", -1), 0);
  EXPECT_EQ(HTTPDRuleMatch("Port 80\n", 246), 0);
  EXPECT_EQ(HTTPDRuleMatch(std::string("port 1"), Id("port")), 1);
}

TEST(Tokens, MatchNextSameAndFound) {
  struct Row { const char* a; const char* b; int tokenMatch, ruleSame; };
  for (const Row& r : {Row{"  Port 80", "port", 1, 0}, Row{"Port#x", "PORT 1", 1, 0}, Row{"Port", "Ports", 0, 0},
                       Row{"   ", "   ", 0, 0}, Row{"#a", "#a", 0, 0}, Row{nullptr, "a", 0, 0},
                       Row{"Port   80   # old\n", "port 80", 1, 1}, Row{"  Port 80\r\n", "PORT\t80\n", 1, 1},
                       Row{"Port 80\n", "Port 80 81\n", 1, 0}, Row{"Port 80 81\n", "Port 80\n", 1, 0},
                       Row{"\n", "\n", 0, 0}, Row{"Port 80#c\n", "port 80", 1, 1}}) {
    EXPECT_EQ(TokenMatch(r.a, r.b), r.tokenMatch) << (r.a ? r.a : "null") << "|" << r.b;
    EXPECT_EQ(RuleSame(r.a, r.b), r.ruleSame) << (r.a ? r.a : "null") << "|" << r.b;
  }
  EXPECT_EQ(RuleSame(std::string("a b"), std::string("A B")), 1);
  for (auto [s, offset] : std::initializer_list<std::pair<const char*, int>>{
           {"  abc   def", 8}, {"Port\t80\n", 5}, {"abc#def ghi", -1}, {"abc", -1}, {"abc   ", -1},
           {"abc  # c", -1}, {"  # abc def", -1}, {nullptr, -1}}) {
    const char* next = TokenNext(s);
    EXPECT_EQ(next == nullptr ? -1 : next - s, offset) << (s ? s : "null");
  }
  const std::string line = "Map /a /b\n";
  EXPECT_EQ(TokenNext(line), line.c_str() + 4);
  LineList list = LineList::FromTexts({"Gc On\n", "Port 8080\n", "port 80 # second\n", "port 80\n"});
  EXPECT_EQ(RuleFound("Port 80\n", list.first()), list.first()->next->next);
  EXPECT_EQ(RuleFound(std::string("gc on"), list), list.first());
  EXPECT_EQ(RuleFound("Port 81\n", list.first()), nullptr);
  EXPECT_EQ(RuleFound(nullptr, list.first()), nullptr);
  EXPECT_EQ(RuleFound("Port 80", nullptr), nullptr);
}

TEST(Fields, GetFieldPointToNextFieldAndCounts) {
  struct Row { const char* s; int n; const char* field; };
  for (const Row& r : {Row{"Map /a/* /b/*", 3, "/b/*"}, Row{"Map", 2, ""}, Row{nullptr, 1, ""},
                       Row{"  Port\t80 # web\r\n", 0, "Port"}, Row{"  Port\t80 # web\r\n", 1, "Port"},
                       Row{"  Port\t80 # web\r\n", 2, "80"}, Row{"Port 80 # web\n", 3, "#"},
                       Row{"Port 80 # web\n", 4, "web"}, Row{"Port 80 # web\n", 5, ""}, Row{"", 1, ""},
                       Row{"\"quoted value\"", 2, "value\""}}) {
    EXPECT_EQ(GetField(r.s, r.n), r.field) << (r.s ? r.s : "null") << " " << r.n;
  }
  EXPECT_EQ(GetField(std::string("a b c"), 1) + GetField(std::string("a b c"), 3), "ac");
  for (auto [s, offset] : std::initializer_list<std::pair<const char*, int>>{
           {"  Map   /a/*  /b/*", 8}, {"Port 80\n", 5}, {"Port\n", 5}, {"Port  \t", 7}, {"\tA\tB", 3}, {"  a  b", 5}, {"abc", 3}}) {
    EXPECT_EQ(PointToNextField(s) - s, offset) << s;
  }
  EXPECT_EQ(PointToNextField(static_cast<const char*>(nullptr)), nullptr);
  for (auto [line, count] : std::initializer_list<std::pair<const char*, int>>{
           {"http_proxy http://up:8080/\n", 2}, {"http_proxy http://up:8080/ extra\n", 3}, {"h http://u/   # c\n", 2},
           {"h http://u/ \t \n", 2}, {"   h http://u/\n", 2}, {"h\thttp://u/\r\n", 2}, {"Caching\n", 1}, {"\n", 0},
           {"", 0}, {"#h a b\n", 0}}) EXPECT_EQ(HTTPDFieldCount(line), count) << line;
}

TEST(StringHelpers, TokensLinesQuotesCharsAndTerminators) {
  using Opt = std::optional<std::string>;
  for (auto [s, token] : std::initializer_list<std::pair<const char*, Opt>>{
           {nullptr, {}}, {"", {}}, {"abc def", "abc"}, {" \t@@name@host rest", "name"}, {"value\r\n", "value"}, {"  \n", ""}}) {
    EXPECT_EQ(getToken(s), token) << (s ? s : "null");
  }
  EXPECT_EQ(getToken(TokenNext("Enable  PROPFIND # x\n")), "PROPFIND");
  EXPECT_EQ(std::tuple(getLine(nullptr), getLine(""), getLine("x\n")), std::tuple(Opt(), Opt(), Opt("x\n")));
  for (auto [in, out] : std::initializer_list<std::pair<const char*, const char*>>{
           {"\"\"quoted value\"\"", "quoted value"}, {"plain\"", "plain"}, {"in\"side", "in\"side"}, {"\"\"", " "}, {"", " "}}) {
    EXPECT_EQ(StripQuotes(in), out) << in;
  }
  std::string s = "a:b:c", line = "value\r\nmore";
  char buf[] = "abc\ndef";
  removeChar(s, ':');
  EXPECT_EQ(StripCRLF(line) + StripCRLF(buf) + StripCRLF(static_cast<char*>(nullptr)), 0);
  EXPECT_EQ(s + line + buf, "avalueabc");
  // A replacement that is itself in the set is made once; 0 cuts at the first.
  struct Row { std::string s; const char* set; char ch; std::string out; };
  for (Row r : {Row{"a\r\nb\nc", "\r\n", ' ', "a  b c"}, Row{"/a/* {\r\n", " \r\n{", '\0', "/a/*"}, Row{"a b", " ", ' ', "a b"},
                Row{"x,y{cd", ",{", '\0', "x"}}) {
    std::string chars = r.s;
    EXPECT_EQ(ConvertChars(chars.data(), r.set, r.ch) + ConvertChars(r.s, r.set, r.ch), 0);
    EXPECT_EQ(r.s, r.out);
    EXPECT_STREQ(chars.c_str(), r.out.c_str());
  }
  EXPECT_EQ(ConvertChars(static_cast<char*>(nullptr), "x", 'y'), 0);
}

TEST(GetRules, CopiesInChainOrder) {
  auto mixed = MakeConfig({"Port 80\n#Port 1\ngc On\nGC advisor /p.so:i\ngc\tadvisor x\ngc  advisor x\ngcx 1\n  Proxy http://a/*\n"
                           "proxy advisor /q\nPROXY ADVISOR\nproxyfrom x\nPass#x\nPass /a /b\npass\n#Pass /a\n"
                           "\tMap /x /y # c\n\r\n\nmap\nMapx /x\nGc\r\n \t\n", "Gc Off\nPORT 82\n"});
  LineList ports = HTTPDGetRules(*mixed, Id("port"));
  ports.first()->text = "edited\n";  // copies: the configuration is unchanged
  EXPECT_EQ(FileImages(*mixed)[0].substr(0, 16), "Port 80\n#Port 1\n");
  EXPECT_TRUE(HTTPDGetRules(*mixed, -1).empty());
  EXPECT_THAT(Texts(HTTPDGetMultiRules(*mixed, {Id("port"), 0, Id("gc")})), ElementsAre("Port 80\n", "PORT 82\n"));
  EXPECT_TRUE(HTTPDGetRules(*MakeConfig({"", "Port 80\n"}), Id("port")).empty());  // main file without lines
  const std::vector<std::pair<std::vector<const char*>, Lines>> sets = {
      {{"gc"}, {"gc On\n", "gc\tadvisor x\n", "gc  advisor x\n", "Gc\r\n", "Gc Off\n"}},
      {{"port", "gc"}, {"Port 80\n", "gc On\n", "gc\tadvisor x\n", "gc  advisor x\n", "Gc\r\n", "Gc Off\n", "PORT 82\n"}},
      {{"map"}, {"\tMap /x /y # c\n", "map\n"}}, {{"gc advisor"}, {"GC advisor /p.so:i\n"}}, {{"proxy"}, {"  Proxy http://a/*\n"}},
      {{"proxy advisor"}, {"proxy advisor /q\n", "PROXY ADVISOR\n"}},
      {{"pass", "map"}, {"Pass /a /b\n", "pass\n", "\tMap /x /y # c\n", "map\n"}},
      {{"map", "gc advisor", "proxy"}, {"GC advisor /p.so:i\n", "  Proxy http://a/*\n", "\tMap /x /y # c\n", "map\n"}}};
  for (const auto& [names, expected] : sets) {
    std::vector<int> ids;
    for (const char* name : names) ids.push_back(Id(name));
    EXPECT_EQ(Texts(HTTPDGetMultiRules(*mixed, ids)), expected) << names[0];
    Lines visited;
    HTTPDVisitMultiRules(*mixed, ids, [&visited](const LineNode& l) { visited.emplace_back(l.text); });
    EXPECT_EQ(visited, expected) << names[0];
    EXPECT_EQ(ids.size() == 1 ? Texts(HTTPDGetRules(*mixed, ids[0])) : expected, expected) << names[0];
  }
}

TEST(GetRules, ByFieldCountUserMethodAndText) {
  auto cfg = MakeConfig({"http_proxy http://a/\nhttp_proxy http://b/ x\n", "http_proxy   http://c/  # c\n"});
  EXPECT_THAT(Texts(HTTPDGetRulesWithNFields(*cfg, Id("http_proxy"), 2)),
              ElementsAre("http_proxy http://a/\n", "http_proxy   http://c/  # c\n"));
  EXPECT_THAT(Texts(HTTPDGetRulesWithNFields(*cfg, Id("http_proxy"), 3)), ElementsAre("http_proxy http://b/ x\n"));
  // User methods and text searches look at the main file only.
  auto methods = MakeConfig({"Enable GET\nEnable PROPFIND\nenable  @mkcol\nEnable\nDisable Trace\nDisable SEARCH\n", "Enable LOCK\n"});
  EXPECT_THAT(Texts(HTTPDGetUserMethodRules(*methods, Id("enable"))), ElementsAre("Enable PROPFIND\n", "enable  @mkcol\n"));
  EXPECT_THAT(Texts(HTTPDGetUserMethodRules(*methods, Id("disable"))), ElementsAre("Disable SEARCH\n"));
  auto krt = MakeConfig({"Service /a* /lib/x.so:KRT_one\nService /b* /lib/y.so:other\nService /c* krt_lower\n",
                         "Service /d* /lib/x.so:KRT_two\n"});
  EXPECT_THAT(Texts(HTTPDGetKRTRules(*krt, Id("service"), "KRT_")), ElementsAre("Service /a* /lib/x.so:KRT_one\n"));
}

LineList L(std::initializer_list<std::string_view> texts) { return LineList::FromTexts(texts); }

TEST(EditRules, FilesAfterEachOperation) {
  using Edit = std::function<void(ConfigHandle&)>;
  const int port = Id("port");
  // The edit keeps its own copy: an initializer_list's array ends with the row's expression.
  auto replace = [port](std::initializer_list<std::string_view> lines, int all) {
    return [port, all, texts = std::vector<std::string>(lines.begin(), lines.end())](ConfigHandle& c) {
      LineList list;
      for (const std::string& text : texts) list.Append(text);
      HTTPDReplaceRules(c, port, std::move(list), all);
    };
  };
  struct Row { const char* what; Lines in; Edit edit; Lines out; };
  const Row rows[] = {
      {"remove: only instances with the same tokens", {"Port 80\n#Port 80\nport   80   # old\nGc On\n", "Port 80\nPort 81\n"},
       [port](ConfigHandle& c) { HTTPDRemoveRules(c, port, L({"PORT 80\n", "Gc On\n"})); }, {"#Port 80\nGc On\n", "Port 81\n"}},
      {"remove: nothing equal", {"Port 81\n"}, [port](ConfigHandle& c) { HTTPDRemoveRules(c, port, L({"Port 99\n"})); }, {"Port 81\n"}},
      {"remove: empty list", {"Port 81\n"}, [port](ConfigHandle& c) { HTTPDRemoveRules(c, port, LineList()); }, {"Port 81\n"}},
      {"remove: the list may be configuration lines", {"Port 80\nGc On\nPort 80 # again\n"},
       [port](ConfigHandle& c) { HTTPDRemoveRules(c, port, c.first()->lines.first()); }, {"Gc On\n"}},
      {"remove: a file's only line", {"#Port 80\nGc On\n", "Port 81\n"},
       [port](ConfigHandle& c) { HTTPDRemoveRules(c, port, HTTPDGetRules(c, port)); }, {"#Port 80\nGc On\n", ""}},
      {"remove all", {"Port 80\nA x\n", "B x\nport 81\n"}, [port](ConfigHandle& c) { HTTPDRemoveAllRules(c, port); },
       {"A x\n", "B x\n"}},
      {"add: duplicates dropped, after the last instance", {"AddType .a a/a\nPort 80\nAddType .b b/b # note\n", "Gc On\n"},
       [](ConfigHandle& c) { HTTPDAddRules(c, Id("addtype"), L({"addtype .b   b/b\n", "AddType .c c/c\n", "AddType .d d/d\n"})); },
       {"AddType .a a/a\nPort 80\nAddType .b b/b # note\nAddType .c c/c\nAddType .d d/d\n", "Gc On\n"}},
      {"add: each instance drops one equal line", {"AddType .a a/a\nX\n"},
       [](ConfigHandle& c) { HTTPDAddRules(c, Id("addtype"), L({"AddType .a a/a\n", "AddType .a a/a\n"})); },
       {"AddType .a a/a\nAddType .a a/a\nX\n"}},
      {"add: no instance, end of the main file", {"A x\n", "Gc On\n"},
       [](ConfigHandle& c) { HTTPDAddRules(c, Id("map"), L({"Map /x /y\n"})); }, {"A x\nMap /x /y\n", "Gc On\n"}},
      {"add: last instance in an included file", {"Gc Off\nA x\n", "Gc On\nB\n"},
       [](ConfigHandle& c) { HTTPDAddRules(c, Id("gc"), L({"Gc Auto\n", "gc on\n"})); }, {"Gc Off\nA x\n", "Gc On\nGc Auto\nB\n"}},
      {"add: nothing left", {"Gc On\n"}, [](ConfigHandle& c) { HTTPDAddRules(c, Id("gc"), L({"gc on\n"})); }, {"Gc On\n"}},
      {"replace: an equal line keeps its spelling", {"Port    80   # the web port\nGc On\n"}, replace({"Port       80\n"}, 0),
       {"Port    80   # the web port\nGc On\n"}},
      {"replace: in place of the earliest removed", {"A x\nPort 80\nB x\nPort 81\nC x\n"}, replace({"Port 1\n", "Port 2\n"}, 0),
       {"A x\nPort 1\nPort 2\nB x\nC x\n"}},
      {"replace: one kept, one new", {"A x\nPort 1\nPort 2\nB x\n"}, replace({"port 2\n", "Port 3\n"}, 0),
       {"A x\nPort 3\nPort 2\nB x\n"}},
      {"replace: an empty list removes", {"A x\nPort 1\nB x\nPort 2\n"}, replace({}, 0), {"A x\nB x\n"}},
      {"replace: absent everywhere", {"A x\n", "B x\n"}, replace({"Port 80\n"}, 1), {"A x\nPort 80\n", "B x\n"}},
      {"replace: first line of a file", {"Port 80\nA x\nB x\n"}, replace({"Port 81\n"}, 0), {"A x\nPort 81\nB x\n"}},
      {"replace: a file's only line", {"A x\n", "Port 80\n"}, replace({"Port 81\n"}, 0), {"A x\nPort 81\n", ""}},
      {"replace: a main file of instances only", {"Port 80\nPort 81", "X y\n"}, replace({"Port 82\n"}, 1), {"Port 82\n", "X y\n"}},
      {"replace: last file only", {"Port 80\nA x\n", "B x\nPort 81\n"}, replace({"Port 90\n"}, 0),
       {"Port 80\nA x\n", "B x\nPort 90\n"}},
      {"replace: every file", {"Port 80\nA x\n", "B x\nPort 81\n"}, replace({"Port 90\n"}, 1), {"A x\nPort 90\n", "B x\n"}},
      {"replace: a later file only", {"Port 80\n", "X y\n", "Port 81\n"}, replace({"Port 81\n", "Port 82\n"}, 0),
       {"Port 80\n", "X y\n", "Port 81\nPort 82\n"}},
      {"replace: commented out lines stay", {"#Port 80\nPort 81\n# Port 82\n"}, replace({"Port 80\n"}, 1),
       {"#Port 80\nPort 80\n# Port 82\n"}},
      {"replace line", {"Port 80\nA x\n", "B x\nPort 81\nport 82\n"},
       [port](ConfigHandle& c) { HTTPDReplaceRuleLine(c, port, "Port 90\n"); }, {"Port 80\nA x\n", "B x\nPort 90\n"}},
      {"replace: n fields", {"X\nhttp_proxy http://a/\nhttp_proxy http://* http://b/\n"},
       [](ConfigHandle& c) { HTTPDReplaceRulesWithNFields(c, Id("http_proxy"), 2, L({"http_proxy http://c/\n"}), 0); },
       {"X\nhttp_proxy http://c/\nhttp_proxy http://* http://b/\n"}},
      {"replace: n fields, none of them", {"http_proxy http://* http://b/\nX\n"},
       [](ConfigHandle& c) { HTTPDReplaceRulesWithNFields(c, Id("http_proxy"), 2, L({"http_proxy http://c/\n"}), 0); },
       {"http_proxy http://* http://b/\nhttp_proxy http://c/\nX\n"}},
      {"nothing on an empty main file", {"", "Port 80\n"}, replace({"Port 81\n"}, 1), {"", "Port 80\n"}},
  };
  for (const Row& r : rows) {
    auto cfg = MakeConfig(r.in);
    r.edit(*cfg);
    EXPECT_EQ(FileImages(*cfg), r.out) << r.what;
  }
  LineList what = L({"Port 80\n"});
  HTTPDRemoveRules(*MakeConfig({"Port 80\n"}), port, what);
  EXPECT_EQ(what.size(), 1u);  // the list is left alone
}

// A long input list (matched through an index) gives what a short one gives.
TEST(EditRules, LongListsMatchLikeShortOnes) {
  const std::string image = "Port 80 # web\nport   81\nPORT 82#c\nPort 83 x\n";
  const Lines list = {"port 80\n", "Port 81 # other\n", "port 82#zzz\n", "Port 83\n", "port 80\n", "Port\t81\r\n",
                       "Port 83 x y\n", "#Port 80\n", "\n", " \tport 83 X\n"};
  const std::string kept = "Port 83\nport 80\nPort\t81\r\nPort 83 x y\n#Port 80\n\n";  // the lines no instance drops
  std::string many;
  for (int i = 0; i < 20; ++i) many += "Port " + std::to_string(9000 + i % 3) + "\n";
  for (bool longList : {false, true}) {
    auto cfg = MakeConfig({image});
    LineList input;
    for (const std::string& l : list) input.Append(l);
    for (std::size_t at = 0; longList && at < many.size(); at = many.find('\n', at) + 1) {
      input.Append(many.substr(at, many.find('\n', at) + 1 - at));
    }
    HTTPDAddRules(*cfg, Id("port"), std::move(input));
    EXPECT_EQ(FileImages(*cfg)[0], image + kept + (longList ? many : "")) << longList;
  }
}

}  // namespace
}  // namespace cfgout
