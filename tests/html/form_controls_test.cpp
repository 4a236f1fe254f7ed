// Each group of controls opens a configuration and lists calls with the exact HTML written.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "html/form_controls.h"
#include "html/table_generators.h"
#include "nls/message_lookup.h"
#include "support/page_capture.h"
#include "support/temp_dir.h"

namespace cfgout {
namespace {

using testing::Captured;

class Generators : public ::testing::Test {
 protected:
  const ConfigHandle& Open(std::string_view text) {
    cfg_ = HTTPDConfigOpen(dir_.Write("main.conf", text));
    EXPECT_NE(cfg_, nullptr);
    return *cfg_;
  }
  testing::TempDir dir_{"cfgout-html"};
  std::unique_ptr<ConfigHandle> cfg_;
};

// A call: template line, two texts and two numbers (as the group's `run` uses them), output.
struct Call {
  const char *line, *a, *b;
  int i, j;
  const char* want;
};

struct Group {
  std::string config;  // "@D" stands for the scratch folder
  std::function<void(const Call&, const ConfigHandle&)> run;
  std::vector<Call> calls;
};

constexpr const char* kInput = "<INPUT NAME=\"x\" VALUE=\"%s\">\n";
const auto kTextField = [](const Call& k, auto& c) { GenTextField(k.line, k.a, k.i, k.j, k.b, c); };

const Group kGroups[] = {
    {"Port 80\nconfigfile @D/more.conf\nPort 81\n", kTextField,  // more.conf: Port 8080, ServerRoot "/opt/proxy"
     {{kInput, "PidFile", nullptr, 2, 0, "<INPUT NAME=\"x\" VALUE=\"\">\n"},
      {"[%s]", "UserID", " \"dflt\"\t", 2, 0, "[dflt]"},  // trimmed like a configured value
      {"<P>100%% done</P>\n", "Port", nullptr, 2, 0, "<P>100% done</P>\n"},
      {"%s of 100%%", "port", nullptr, 2, 0, "8080 of 100%"}, {nullptr, "Port", nullptr, 2, 0, ""},
      {"[%s]", "NoSuchDirective", "d", 2, 0, "[d]"}, {"[%s]", "ServerRoot", nullptr, 2, 1, "[/opt/proxy]"},
      {"[%s]", "ServerRoot", nullptr, 2, 0, "[/opt/proxy]"}}},
    {"InheritEnv  PATH\tHOME  LANG \nHostName \"><script>%s%n\nUserID a\"b'c&d\n", kTextField,
     {{"[%s]", "InheritEnv", nullptr, 2, 1, "[PATH\tHOME  LANG]"}, {"[%s]", "InheritEnv", nullptr, 3, 1, "[HOME  LANG]"},
      {"[%s]", "InheritEnv", nullptr, 3, 0, "[HOME]"}, {"[%s]", "InheritEnv", "x", 9, 0, "[]"},
      {"[%s]", "HostName", nullptr, 2, 0, "[&gt;&lt;script&gt;%s%n]"},
      {"[%s]", "HostName", nullptr, 2, 1, "[&gt;&lt;script&gt;%s%n]"},
      {"[%s]", "UserID", nullptr, 2, 0, "[a&quot;b&#39;c&amp;d]"}, {"[%s]", "GroupID", "<g>", 2, 0, "[&lt;g&gt;]"}}},
    {"http_proxy  \"http://a/\"  \nhttp_proxy http://b/ extra\nftp_proxy ftp://x/ y\ngopher_proxy <\"g\">\n",
     [](const Call& k, auto& c) { GenTextFieldDirectiveWithNFields(k.line, k.a, 2, k.i, k.j, k.b, c); },
     {{"[%s]", "http_proxy", nullptr, 2, 1, "[&quot;http://a/&quot;   ]"},
      {"[%s]", "http_proxy", nullptr, 2, 0, "[&quot;http://a/&quot;]"}, {"[%s]", "ftp_proxy", " d ", 2, 1, "[ d ]"},
      {"[%s]", "wais_proxy", nullptr, 2, 1, "[]"}, {"[%s]", "gopher_proxy", nullptr, 2, 0, "[&lt;&quot;g&quot;&gt;]"}}},
    {"BindSpecific Off\nBindSpecific Yes\nDNS-Lookup maybe\nCaching disable\n",  // the last occurrence decides
     [](const Call& k, auto& c) { GenCheckedSettingOnOff(k.line, k.a, k.i, k.j, c); },
     {{"<%s>", "BindSpecific", nullptr, 1, 0, "<CHECKED>"}, {"<%s>", "BindSpecific", nullptr, 0, 1, "<>"},
      {"<%s>", "DNS-Lookup", nullptr, 1, 1, "<>"}, {"<%s>", "DNS-Lookup", nullptr, 0, 1, "<>"},
      {"<%s>", "Caching", nullptr, 0, 0, "<CHECKED>"}, {"<%s>", "Caching", nullptr, 1, 1, "<>"},
      {"<%s>", "SuffixCaseSense", nullptr, 1, 0, "<>"}, {"<%s>", "SuffixCaseSense", nullptr, 0, 2, "<CHECKED>"}}},
    // The second word of the directive-and-value argument must equal field 2;
    // with no occurrence only a default flag of exactly 1 sets it.
    {"Imbeds Files SSIonly\nImbeds CGI html\nEnable GET /cgi-bin/get\nEnable POST /cgi-bin/post\n",
     [](const Call& k, auto& c) { GenCheckedSetting(k.line, k.a, k.b, k.i, k.j, "SELECTED", c); },
     {{"<%s>", "imbeds", "files", 0, 2, "<SELECTED>"}, {"<%s>", "imbeds", "CGI", 0, 2, "<SELECTED>"},
      {"<%s>", "imbeds", "Fil", 0, 2, "<SELECTED>"}, {"<%s>", "imbeds", "On", 1, 2, "<>"},
      {"<%s>", "imbeds", "ssionly", 0, 3, "<SELECTED>"}, {"<%s>", "Enable POST", "/cgi-bin/p", 0, 3, "<SELECTED>"},
      {"<%s>", "Enable GET", "/cgi-bin/p", 0, 3, "<>"}, {"<%s>", "Enable PO", "/cgi-bin/p", 0, 3, "<>"},
      {"<%s>", "Disable", "x", 1, 2, "<SELECTED>"}, {"<%s>", "Disable", "x", 2, 2, "<>"},
      {"<%s>", "Disable", "x", 0, 2, "<>"}}},
    {"Imbeds Files SSIonly\nImbeds Only html\n",  // only the last occurrence counts
     [](const Call& k, auto& c) { GenSingleCheckedSetting(k.line, k.a, k.b, k.i, k.j, "CHECKED", c); },
     {{"[%s]", "imbeds", "On", 0, 2, "[CHECKED]"}, {"[%s]", "imbeds", "Files", 1, 2, "[]"},
      {"[%s]", "imbeds", "html", 0, 3, "[CHECKED]"}, {"[%s]", "imbeds", "SSIonly", 0, 3, "[]"},
      {"[%s]", "pidfile", "x", 1, 2, "[CHECKED]"}, {"[%s]", "pidfile", "x", 3, 2, "[]"}}},
    {"Welcome index.html\nWelcome <b>\"x\".html\nWelcome home.htm\n",
     [](const Call& k, auto& c) { GenSelectListItems(k.line, k.a, k.i, c); },
     {{"<S>%s</S>", "Welcome", nullptr, 0, 0,
       "<S><OPTION SELECTED>index.html<OPTION>&lt;b&gt;&quot;x&quot;.html<OPTION>home.htm</S>"},
      {"%s", "welcome", nullptr, 1, 0, "<OPTION SELECTED>home.htm<OPTION>&lt;b&gt;&quot;x&quot;.html<OPTION>index.html"},
      {"[%s]", "AddIcon", nullptr, 0, 0, "[]"}}},
    {"CacheMaxExpiry http://* 1 month\nCacheMaxExpiry HTTP://a/* 2 weeks\nCacheMaxExpiry ftp://* <5>\n"
     "CacheMaxExpiry http://* 3 days\n",
     [](const Call& k, auto& c) { GenCacheTimeoutSetting(k.line, k.a, k.b, c); },
     {{"[%s]", "CacheMaxExpiry", "http://", 0, 0, "[3]"}, {"[%s]", "CacheMaxExpiry", "http://a", 0, 0, "[2]"},
      {"[%s]", "CacheMaxExpiry", "ftp", 0, 0, "[&lt;5&gt;]"}, {"[%s]", "CacheMaxExpiry", "gopher", 0, 0, "[]"},
      {"[%s]", nullptr, "http", 0, 0, "[]"}, {"[%s]", "CacheMaxExpiry", nullptr, 0, 0, "[]"}}},
    {"AddIcon /icons/old.gif OLD\nAddIcon text.gif TXT\nAddDirIcon c:\\icons\\dir.gif DIR\nAddBlankIcon \"><x.gif BLANK\n",
     [](const Call& k, auto& c) { GenMultiDirectiveText(k.line, k.a, k.i, c); },
     {{"[%s]", "AddIcon", nullptr, 2, 0, "[/cpicons/text.gif]"}, {"[%s]", "AddIcon", nullptr, 3, 0, "[/cpicons/TXT]"},
      {"[%s]", "AddDirIcon", nullptr, 2, 0, "[c:\\icons\\dir.gif]"},
      {"[%s]", "AddBlankIcon", nullptr, 2, 0, "[/cpicons/&quot;&gt;&lt;x.gif]"},
      {"[%s]", "AddParentIcon", nullptr, 2, 0, "[]"}}},
    {"CacheAlgorithm ResponseTime\nCacheAlgorithm bandwidth\n",  // the first occurrence, ignoring case
     [](const Call& k, auto& c) { GenOptionList(k.line, k.i ? "cachealgorithm" : "CacheMemory", k.a, k.b, c); },
     {{"<S>%s</S> 100%%\n", "bandwidth,responsetime", nullptr, 1, 0,
       "<S><OPTION>bandwidth<OPTION SELECTED>responsetime</S> 100%\n"},
      {"50%% %s", "0.1,0.14,,0.2", "0.14", 0, 0, "50% <OPTION>0.1<OPTION SELECTED>0.14<OPTION>0.2"},
      {"%s", "a,b", nullptr, 0, 0, "<OPTION>a<OPTION>b"}, {"[%s]", nullptr, "a", 0, 0, "[<OPTION>0]"},
      {"no marker 10%%", "a", "a", 0, 0, "no marker 10%"}, {nullptr, "a", "a", 0, 0, ""}}},
};

TEST_F(Generators, Controls) {
  dir_.Write("more.conf", "Port 8080\nServerRoot  \"/opt/proxy\"  \r\n");
  for (const Group& group : kGroups) {
    std::string config = group.config;
    if (const std::size_t at = config.find("@D"); at != std::string::npos) config.replace(at, 2, dir_.path());
    const ConfigHandle& cfg = Open(config);
    for (const Call& k : group.calls) {
      EXPECT_EQ(Captured([&] { group.run(k, cfg); }), k.want) << config << (k.line ? k.line : "") << k.a;
    }
  }
  const struct { int low, high, selected; const char* want; } options2[] = {
      {0, 0, 0, "<OPTION>0"}, {0, 3, 2, "<OPTION>0<OPTION>1<OPTION SELECTED>2<OPTION>3"}, {5, 3, 4, "<OPTION>0"},
      {-2, -1, -1, "<OPTION>0"}, {-1, 1, 9, "<OPTION>-1<OPTION>0<OPTION>1"}, {7, 7, 7, "<OPTION SELECTED>7"}};
  for (const auto& o : options2) {
    EXPECT_EQ(Captured([&] { GenOptionString("[%s]", o.low, o.high, o.selected); }), "[" + std::string(o.want) + "]");
  }
  std::string many = "[";  // written in pieces
  for (int n = 1; n <= 5000; ++n) many += (n == 4321 ? "<OPTION SELECTED>" : "<OPTION>") + std::to_string(n);
  EXPECT_EQ(Captured([&] { GenOptionString("[%s]", 1, 5000, 4321); }), many + "]");
  const char* words[] = {"ON", "yes", "Ok", "enable", "off", "No", "NONE", "Disable"};  // on, then off
  for (int i = 0; i < 8; ++i) {
    const ConfigHandle& cfg = Open(std::string("Caching ") + words[i] + "\n");
    EXPECT_EQ(Captured([&] { GenCheckedSettingOnOff("%s", "caching", 1, 0, cfg); }), i < 4 ? "CHECKED" : "") << i;
    EXPECT_EQ(Captured([&] { GenCheckedSettingOnOff("%s", "caching", 0, 0, cfg); }), i < 4 ? "" : "CHECKED") << i;
  }
}

TEST_F(Generators, SearchForDirectiveAndHandler) {
  const ConfigHandle& cfg = Open("Enable GET /cgi-bin/get\nEnable POST /cgi-bin/post\nEnable post /cgi-bin/second\n"
                                 "Disable PUTX\nAddIcon x\"><script>%s%n TXT\n");
  EXPECT_EQ(SearchForDirective("Enable", "post", 2, cfg), 1);
  EXPECT_EQ(SearchForDirective("enable", "POS", 2, cfg), 0);  // whole-field comparison
  EXPECT_EQ(SearchForDirective("Disable", "PUT", 2, cfg), 0);
  EXPECT_EQ(SearchForDirective("Welcome", "x", 2, cfg), 0);
  EXPECT_EQ(SearchForHandler("Enable", "POST", 2, cfg), std::optional<std::string>("/cgi-bin/post"));
  EXPECT_EQ(SearchForHandler("Disable", "putx", 2, cfg), std::optional<std::string>(""));
  EXPECT_EQ(SearchForHandler("Enable", "DELETE", 2, cfg), std::nullopt);
  // The value is compared raw and handed back raw: the caller escapes.
  EXPECT_EQ(SearchForHandler("AddIcon", "x\"><script>%s%n", 2, cfg), std::optional<std::string>("TXT"));
}

// Table rows as the generators write them around "[%s]\n", from "cell|cell|...".
std::string Rows(const std::vector<std::string>& rows) {
  std::string out;
  for (std::string row : rows) {
    for (std::size_t at; (at = row.find('|')) != std::string::npos;) row.replace(at, 1, "</td><td>");
    out += "[<tr><td>" + row + "</td></tr>]\n";
  }
  return out;
}

using Table = std::function<int(const char* line, const ConfigHandle&)>;
Table Items(const char* keyword, int columns, int skipKeyword) {
  return [=](auto l, auto& c) { return GenTableItems(l, keyword, columns, skipKeyword, c); };
}
Table Multi(const char* keywords, int columns, int skipKeyword) {
  return [=](auto l, auto& c) { return GenMultiTableItems(l, keywords, columns, skipKeyword, c); };
}
Table Both(Table first, Table second) {
  return [=](auto l, auto& c) { return first(l, c) + second(l, c); };
}

const struct {
  const char* config;
  Table generate;
  std::vector<std::string> rows;
} kTables[] = {
    {"Port 80\n", Items("AddType", 4, 1), {}}, {"Port 80\n", Items("NoSuchThing", 4, 1), {}},
    {"InheritEnv a b   c\n", Items("InheritEnv", 2, 1), {"1|a|b c"}},  // the overflow joined with one blank
    {"InheritEnv \"><script>%s\n", Items("InheritEnv", 2, 1), {"1|&quot;&gt;&lt;script&gt;%s"}},
    // The keyword as the first cell; a comment ends the row.
    {"AddType .txt text/plain 7bit 1.0 # plain\n", Items("AddType", 9, 0), {"1|AddType|.txt|text/plain|7bit|1.0"}},
    {"AddType .txt text/plain 7bit 1.0 # plain\nAddType .bin BINARY 0.5\n", Items("addtype", 4, 1),
     {"1|.txt|text/plain|7-bit|1.0", "2|.bin||binary|0.5"}},
    {"AddEncoding .gz x-gzip 0.8\n", Items("AddEncoding", 3, 1), {"1|.gz|x-gzip|0.8"}},
    {"Direct a.com eq 1\nDirect b.com\nDirect c.com # no\n", Items("Direct", 4, 0),
     {"1|Direct|a.com|equal to|1", "2|Direct|b.com|(no condition)", "3|Direct|c.com|(no condition)"}},
    // A leading number gets an empty first cell.
    {"CacheClean 2 Days\nCacheMaxExpiry http://* 1 weeks\n", Both(Items("CacheMaxExpiry", 4, 1), Items("CacheClean", 4, 1)),
     {"1|http://*|1|weeks", "1||2|days"}},
    {"CacheMinHold http://* 1 day 2 Hours 3 minutes x\n", Items("CacheMinHold", 3, 1),
     {"1|http://*|1 days 2 hours 3 minutes|x"}},
    // A server certificate is split at its own first character.
    {"SSLServerCert \"My label\" \"b\"\n", Items("SSLServerCert", 4, 1), {"1|My label| |b|\n"}},
    {"Map /a/* /b/*\nPort 80\nFail /c/* 10.0.0.1\nfail /c/*\nProxy /p/* http://x/*\n",
     Multi("Map Pass Fail Exec Redirect Proxy Service NameTrans 0", 4, 0),
     {"1|Map|/a/*|/b/*", "2|Fail|/c/*||10.0.0.1", "3|Fail|/c/*", "4|Proxy|/p/*|http://x/*"}},
    // A last line without a line end: its last token ends with the text.
    {"Map /a /b", Multi("Map Pass Fail Exec Redirect Proxy Service NameTrans 0", 4, 0), {"1|Map|/a|/b"}},
    {"NoCaching http://a/*\nCacheOnly http://b/*\nCacheQueries always x\n",
     Both(Multi("CacheOnly NoCaching 0", 2, 0), Multi("CacheQueries 0", 2, 1)),
     {"1|Do not cache|http://a/*", "2|Cache only|http://b/*", "1|Always|x"}},
    // User methods: the main file only, standard methods skipped.
    {"Enable GET /x\nEnable PROPFIND /dav/*\nEnable MKCOL # no handler\n", GenMethTableItems,
     {"1|PROPFIND|/dav/*", "2|MKCOL||"}},
    {"Protect /a/* Admins FOR 10.0.0.*\nProtect /b/* Users\nProtect /c/* {\n  GetMask all\n}\nProtect /d/* Setup {\n}\n",
     GenProtectTableItems, {"1|/a/*|Admins|10.0.0.*", "2|/b/*|Users", "3|/c/*", "4|/d/*||Setup"}},
    {"ServerInit /lib/x.so:init a b  c\nAuthentication basic /lib/a.so:auth # users\nPostExit /lib/p.so:f\n",
     [](auto l, auto& c) { return GenAPITableItems(l, "ServerInit&Authentication&PostExit&", c); },
     {"1|ServerInit||/lib/x.so:init a b  c", "2|Authentication|Basic|/lib/a.so:auth", "3|PostExit||/lib/p.so:f"}},
    // Tabs separate as blanks do, also where sixteen bytes are tested at once.
    {"Authentication\tbasic\t/lib/authentication.so:check\t# users\n",
     [](auto l, auto& c) { return GenAPITableItems(l, "Authentication&", c); },
     {"1|Authentication|Basic|/lib/authentication.so:check"}},
};

TEST_F(Generators, Tables) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);  // the shipped catalogue's localised words
  for (const auto& table : kTables) {
    const ConfigHandle& cfg = Open(table.config);
    int rows = -1;
    EXPECT_EQ(Captured([&] { rows = table.generate("[%s]\n", cfg); }), Rows(table.rows)) << table.config;
    EXPECT_EQ(rows, static_cast<int>(table.rows.size())) << table.config;
  }
  // Long tables go to the page in pieces: every row whole and in order, a
  // row with an entity anywhere in its line escaped, a line without a value
  // slot written once per row.
  std::string config, want;
  std::vector<std::string> rows;
  for (int i = 1; i <= 3000; ++i) {
    const std::string n = std::to_string(i);
    const std::string to = "/b" + n + (i % 5 == 0 ? "/a/path/longer/than/sixteen/*" : "/*");
    config += i % 7 == 0 ? "Map /a&" + n + "/* " + to + "\n" : "Map /a" + n + "/*  " + to + "   # <" + n + ">\n";
    rows.push_back(n + "|Map|/a" + (i % 7 == 0 ? "&amp;" : "") + n + "/*|" + to);
    want += "row\n";
  }
  const ConfigHandle& cfg = Open(config);
  const Table map = Multi("Map Pass Fail Exec Redirect Proxy Service NameTrans 0", 4, 0);
  EXPECT_EQ(Captured([&] { map("[%s]\n", cfg); }), Rows(rows));
  EXPECT_EQ(Captured([&] { map("row\n", cfg); }), want);
}

TEST(ParseTimeSpecTest, ReadsUnitsByTheirFirstLetter) {
  // A later number for a unit wins; units are lower-case letters right after a number.
  const struct { const char* text; int before, hours, minutes, seconds; } rows[] = {{"1 hour 30 minutes", -1, 1, 30, -1}, {"Proxy 2 hours 5 minutes", -1, 2, 5, -1},
              {"InputTimeout 90 seconds\n", 7, 7, 7, 90}, {"2 days", 7, 7, 7, 7},
              {"1h 2  m 3s 4 hours 5 Minutes", 0, 4, 2, 3}, {"Timeout", 9, 9, 9, 9}, {"", 9, 9, 9, 9},
              {nullptr, 9, 9, 9, 9}, {"x -h 3 m", 9, 9, 3, 9}};
  for (const auto& row : rows) {
    int h = row.before, m = row.before, s = row.before;
    EXPECT_EQ(ParseTimeSpec(row.text, h, m, s), 0);
    EXPECT_EQ(std::vector<int>({h, m, s}), std::vector<int>({row.hours, row.minutes, row.seconds})) << row.before;
  }
}

TEST(FormControlHelpers, DelimiterAndGroupNotation) {
  const std::pair<const char*, char> delimiters[] = {{"abc", '"'}, {"a\"b", '\''}, {"\"'\\/+-", '*'},
                                                     {"\"'\\/+-*@#$%&~", '^'}, {"\"'\\/+-*@#$%&~^", '|'}, {nullptr, '|'}};
  for (auto [text, want] : delimiters) EXPECT_EQ(FindDelimeter(text), want) << (text ? text : "null");
  std::string buffer = "a", single, cleaned, untouched = "keep";
  AddToBuffer(&buffer, "G:", "x,y z");
  EXPECT_EQ(buffer, "a,G:(x,\"y z\")");
  AddToBuffer(&single, nullptr, "admin");
  EXPECT_EQ(single, "admin");
  AddToBuffer(&single, "U:", "bob\tsue\n");  // no comma: no parentheses
  EXPECT_EQ(single, "admin,U:bob,sue");
  AddToBuffer(&cleaned, "", "(a),\"b\",,c\r\nd");
  EXPECT_EQ(cleaned, "(\" a \",\" b \",c,d)");
  AddToBuffer(&untouched, "P:", "");
  AddToBuffer(&untouched, "P:", nullptr);
  AddToBuffer(nullptr, "P:", "x");
  EXPECT_EQ(untouched, "keep");
}

}  // namespace
}  // namespace cfgout
