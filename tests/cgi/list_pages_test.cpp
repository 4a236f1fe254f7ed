// The list pages (types, encodings, directory icons, welcome pages, error
// pages, last-modified factors, mapping rules) as a black box: a main file
// and an included file with comments in the rule lines, a request, and the
// page text and the two files compared.
//
// cfgout_fixture reads the small bundles under tests/cgi/bundles: each page
// is a marker-line template ("row=%s", "list=%s", ...) and the test
// catalogue's texts start with "T<n>".

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

constexpr std::string_view kMain =
    "# proxy main file\n"
    "SuffixCaseSense off\n"
    "AddType .html text/html 8bit 1.0   # web pages\n"
    "AddType .gif image/gif binary 1.0\n"
    "AddEncoding .gz x-gzip 1.0\n"
    "DirShowIcons on\n"
    "AddDirIcon folder.gif DIR\n"
    "AddIcon image.gif IMG image/*\n"
    "Welcome index.html\n"
    "ErrorPage notfound /err/404.html\n"
    "CacheLastModifiedFactor http://*/*.gif 0.50\n"
    "Map /old/* /new/*\n"
    "Fail /secret/* 10.0.0.1   # blocked\n"
    "configfile @INC@\n";

constexpr std::string_view kInclude =
    "# included rules\n"
    "AddType .txt text/plain 7bit 0.5 # plain\n"
    "AddEncoding .Z x-compress 1.0\n"
    "AddIcon text.gif TXT text/*\n"
    "Welcome Welcome.html 10.1.2.3\n"
    "ErrorPage badrequest /err/400.html\n"
    "CacheLastModifiedFactor ftp://* 0.14\n"
    "Pass /docs/* /export/docs/*  # exported\n"
    "Proxy http://*\n";

// One change to the expected files: in the main file ('m') or the include
// ('i'), the first `from` becomes `to`.
struct Edit {
  char file;
  std::string_view from;
  std::string_view to;
};

struct Case {
  std::string_view what;
  std::string_view page;
  std::string_view body;  // "" = GET; a POST otherwise ("-" = POST without fields)
  std::string_view status;
  std::vector<Edit> edits = {};       // the files afterwards, from kMain / kInclude
  std::vector<std::string_view> shown = {};  // lines the page must hold
};

// The status block's text and type as the fixture's HAPARMS prints them.
constexpr std::string_view kDone = "text=T12 done\ntype=1\n";
constexpr std::string_view kMissing = "text=T2 ports missing\ntype=3\n";
constexpr std::string_view kReady = "text=T11 ready\ntype=0\n";

class ListPagesTest : public ::testing::Test {
 protected:
  std::string Main(std::string_view text) const {
    std::string out(text);
    const std::size_t at = out.find("@INC@");
    if (at != std::string::npos) out.replace(at, 5, include_);
    return out;
  }

  // Runs `c` over `main` and `include` and checks the page and both files.
  void Check(const Case& c, std::string_view main = kMain, std::string_view include = kInclude) {
    WriteFile(main_, Main(main));
    WriteFile(include_, include);
    CgiEnvironment env = {{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir_.path()}, {"PATH_INFO", "/" + std::string(c.page)},
                          {"RULE_FILE", main_}, {"REQUEST_METHOD", c.body.empty() ? "GET" : "POST"}};
    const std::string body = c.body == "-" ? "" : std::string(c.body);
    if (!c.body.empty()) env["CONTENT_LENGTH"] = std::to_string(body.size());
    const CgiResult r = RunCgi(CFGOUT_FIXTURE_BINARY, env, body);
    EXPECT_EQ(r.exitStatus, 0) << c.what;
    EXPECT_NE(r.out.find(c.status), std::string::npos) << c.what << "\n" << r.out;
    for (std::string_view line : c.shown) {
      EXPECT_NE(r.out.find("\n" + std::string(line) + "\n"), std::string::npos) << c.what << ": " << line << "\n" << r.out;
    }
    std::string wantMain(main);
    std::string wantInclude(include);
    for (const Edit& e : c.edits) {
      std::string& text = e.file == 'm' ? wantMain : wantInclude;
      const std::size_t at = text.find(e.from);
      ASSERT_NE(at, std::string::npos) << c.what << ": " << e.from;
      text.replace(at, e.from.size(), e.to);
    }
    EXPECT_EQ(ReadFile(main_), Main(wantMain)) << c.what;
    EXPECT_EQ(ReadFile(include_), wantInclude) << c.what;
  }

  void CheckAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) Check(c);
  }

  TempDir dir_{"cfgout-lists"};
  std::string main_ = dir_ / "proxy.conf";
  std::string include_ = dir_ / "rules.conf";
};

TEST_F(ListPagesTest, TypesPage) {
  CheckAll({
      {"display", "ADDTYPE", "", kReady, {},
       {"off=CHECKED", "on=",
        "row=<tr><td>1</td><td>.html</td><td>text/html</td><td>T78 8-bit</td><td>T91 1.0</td></tr>",
        "row=<tr><td>2</td><td>.gif</td><td>image/gif</td><td>T80 binary</td><td>T91 1.0</td></tr>",
        "row=<tr><td>3</td><td>.txt</td><td>text/plain</td><td>T79 7-bit</td><td>T96 0.5</td></tr>",
        "list=<OPTION SELECTED>1<OPTION>2<OPTION>3", "help=HLPADDTY", "x="}},
      {"insert after row 1, four fields", "ADDTYPE",
       "SUFFIXCASESENSE=off&ACTION=2&LIST=1&ADDTYPEA=.css&ADDTYPEB=text/css&ADDTYPEC=8bit&ADDTYPED=1.0&ADDTYPEE=", kDone,
       {{'m', "# web pages\n", "# web pages\nAddType        .css  text/css  8bit  1.0\n"}}},
      {"insert before row 3 (in the include), five fields", "ADDTYPE",
       "ACTION=1&LIST=3&ADDTYPEA=.md&ADDTYPEB=text/markdown&ADDTYPEC=8bit&ADDTYPED=0.9&ADDTYPEE=utf-8", kDone,
       {{'i', "AddType .txt", "AddType        .md  text/markdown  8bit  0.9  utf-8\nAddType .txt"}}},
      {"replace row 3 in place", "ADDTYPE",
       "ACTION=3&LIST=3&ADDTYPEA=.txt&ADDTYPEB=text/plain&ADDTYPEC=8bit&ADDTYPED=1.0", kDone,
       {{'i', "AddType .txt text/plain 7bit 0.5 # plain\n", "AddType        .txt  text/plain  8bit  1.0\n"}}},
      {"replace a row no row has", "ADDTYPE", "ACTION=3&LIST=7&ADDTYPEA=.a&ADDTYPEB=b/c&ADDTYPEC=8bit&ADDTYPED=1.0",
       kDone, {}},
      {"delete row 2", "ADDTYPE", "ACTION=4&LIST=2", kDone, {{'m', "AddType .gif image/gif binary 1.0\n", ""}}},
      {"delete a row no row has", "ADDTYPE", "ACTION=4&LIST=4", kDone, {}},
      {"case sense on", "ADDTYPE", "SUFFIXCASESENSE=on", kDone,
       {{'m', "SuffixCaseSense off\n", "SuffixCaseSense       on\n"}}},
      {"case sense written for an empty value", "ADDTYPE", "SUFFIXCASESENSE=", kDone,
       {{'m', "SuffixCaseSense off\n", "SuffixCaseSense       \n"}}},
      {"insert without an encoding", "ADDTYPE",
       "ACTION=2&LIST=1&ADDTYPEA=.css&ADDTYPEB=text/css&ADDTYPEC=&ADDTYPED=1.0", kMissing, {}},
      {"replace without a type", "ADDTYPE", "ACTION=3&LIST=1&ADDTYPEA=.css&ADDTYPEC=8bit&ADDTYPED=1.0", kMissing, {}},
      {"suffix without its dot", "ADDTYPE",
       "SUFFIXCASESENSE=on&ADDTYPEA=css&ADDTYPEB=text/css&ADDTYPEC=8bit&ADDTYPED=1.0&ACTION=2",
       "text=T13 invalid: T17 bad suffix\ntype=3\n", {}},
  });
}

TEST_F(ListPagesTest, EncodingsPage) {
  CheckAll({
      {"display", "ADDENCOD", "", kReady, {},
       {"off=CHECKED", "row=<tr><td>1</td><td>.gz</td><td>x-gzip</td><td>T91 1.0</td></tr>",
        "row=<tr><td>2</td><td>.Z</td><td>x-compress</td><td>T91 1.0</td></tr>", "list=<OPTION SELECTED>1<OPTION>2",
        "help=HLPADDEN"}},
      {"insert after row 2", "ADDENCOD", "ACTION=2&LIST=2&ADDEXTENSION=.br&ADDENCODING=br&QUALITY=0.9", kDone,
       {{'i', "x-compress 1.0\n", "x-compress 1.0\nAddEncoding       .br  br  0.9\n"}}},
      {"insert before row 1", "ADDENCOD", "ACTION=1&ADDEXTENSION=.bz2&ADDENCODING=x-bzip2&QUALITY=1.0", kDone,
       {{'m', "AddEncoding .gz", "AddEncoding       .bz2  x-bzip2  1.0\nAddEncoding .gz"}}},
      {"insert without an extension is ignored", "ADDENCOD", "ACTION=2&LIST=1&ADDEXTENSION=&ADDENCODING=br&QUALITY=1",
       kDone, {}},
      {"insert without a quality", "ADDENCOD", "ACTION=2&LIST=1&ADDEXTENSION=.br&ADDENCODING=br&QUALITY=", kMissing, {}},
      {"replace row 1", "ADDENCOD", "ACTION=3&LIST=1&ADDEXTENSION=.gz&ADDENCODING=gzip&QUALITY=1.0", kDone,
       {{'m', "AddEncoding .gz x-gzip 1.0\n", "AddEncoding       .gz  gzip  1.0\n"}}},
      {"replace needs a row number", "ADDENCOD", "ACTION=3&LIST=0&ADDEXTENSION=.gz&ADDENCODING=gzip&QUALITY=1.0",
       kMissing, {}},
      {"replace a row no row has", "ADDENCOD", "ACTION=3&LIST=3&ADDEXTENSION=.gz&ADDENCODING=gzip&QUALITY=1.0",
       kMissing, {}},
      {"delete row 2", "ADDENCOD", "ACTION=4&LIST=2", kDone, {{'i', "AddEncoding .Z x-compress 1.0\n", ""}}},
      {"empty case sense is not written", "ADDENCOD", "SUFFIXCASESENSE=", kDone, {}},
      {"case sense", "ADDENCOD", "SUFFIXCASESENSE=on", kDone,
       {{'m', "SuffixCaseSense off\n", "SuffixCaseSense       on\n"}}},
      {"extension without its dot", "ADDENCOD", "ACTION=2&ADDEXTENSION=gz&ADDENCODING=gzip&QUALITY=1",
       "text=T13 invalid: T10 bad extension\ntype=3\n", {}},
  });
  // Deleting the only line removes the directive.
  Check({"delete the only line", "ADDENCOD", "ACTION=4&LIST=1", kDone, {{'m', "AddEncoding .gz x-gzip 1.0\n", ""}}},
        kMain, "# nothing\n");
}

TEST_F(ListPagesTest, DirectoryIconsPage) {
  CheckAll({
      {"display", "DIRICONS", "", kReady, {},
       {"show=CHECKED", "dir=folder.gif", "dir-text=DIR", "dir-path=/cpicons/folder.gif", "parent=dir-up.gif",
        "parent-text=UP", "parent-path=", "unknown=unknown.gif", "unknown-text=???", "blank=blank.gif", "blank-text=",
        "blank-path=", "row=<tr><td>1</td><td>image.gif</td><td>IMG</td><td>image/*</td></tr>",
        "row=<tr><td>2</td><td>text.gif</td><td>TXT</td><td>text/*</td></tr>", "list=<OPTION SELECTED>1<OPTION>2",
        "help=HLPDIRIC"}},
      {"show flag and special icons", "DIRICONS",
       "DirShowIcons=off&ADDDIRICONA=/icons/dir.png&ADDDIRICON=Folder&ADDPARENTICONA=up.gif&ADDPARENTICON=&"
       "ADDBLANKICONA=blank.gif&ADDBLANKICON=&ACTION=2&LIST=1&ADDICONURL=&ADDICONTEXT=&ADDICONTYPE=",
       kDone,
       {{'m', "DirShowIcons on\nAddDirIcon folder.gif DIR\n",
         "DirShowIcons       off\nAddDirIcon       /icons/dir.png Folder\n"},
        {'m', "configfile @INC@\n", "configfile @INC@\nAddBlankIcon       blank.gif \n"}}},
      {"unchanged special icon keeps its line", "DIRICONS", "ADDDIRICONA=folder.gif&ADDDIRICON=DIR", kDone, {}},
      {"insert before row 2", "DIRICONS", "ACTION=1&LIST=2&ADDICONURL=doc.gif&ADDICONTEXT=DOC&ADDICONTYPE=application/*",
       kDone, {{'i', "AddIcon text.gif", "AddIcon       doc.gif DOC application/*\nAddIcon text.gif"}}},
      {"replace row 1", "DIRICONS", "ACTION=3&LIST=1&ADDICONURL=pic.gif&ADDICONTEXT=PIC&ADDICONTYPE=image/*", kDone,
       {{'m', "AddIcon image.gif IMG image/*\n", "AddIcon       pic.gif PIC image/*\n"}}},
      {"replace a row no row has", "DIRICONS", "ACTION=3&LIST=5&ADDICONURL=p.gif&ADDICONTEXT=P&ADDICONTYPE=x/*", kDone,
       {}},
      {"incomplete entry", "DIRICONS", "ACTION=2&LIST=1&ADDICONURL=x.gif&ADDICONTEXT=X", kMissing, {}},
      {"delete row 2", "DIRICONS", "ACTION=4&LIST=2", kDone, {{'i', "AddIcon text.gif TXT text/*\n", ""}}},
      {"markup in an icon URL", "DIRICONS", "ADDDIRICONA=%3Cb%3E.gif&ADDDIRICON=DIR",
       "text=T13 invalid: T8 bad dir icon url\ntype=3\n", {}},
  });
  // Configuration values are escaped where they enter the page.
  Check({"hostile values", "DIRICONS", "", kReady, {},
         {"dir=&gt;&lt;b&gt;.gif", "dir-path=/cpicons/&quot;&gt;&lt;b&gt;.gif",
          "row=<tr><td>1</td><td>&lt;i&gt;.gif</td><td>&amp;</td><td>x/*</td></tr>"}},
        "AddDirIcon \"><b>.gif DIR\nAddIcon <i>.gif & x/*\n", "");
}

TEST_F(ListPagesTest, WelcomePagesPage) {
  CheckAll({
      {"display", "INITPAGE", "", kReady, {},
       {"row=<tr><td>1</td><td>index.html</td></tr>", "row=<tr><td>2</td><td>Welcome.html</td><td>10.1.2.3</td></tr>",
        "list=<OPTION SELECTED>1<OPTION>2", "help=HLPINITP"}},
      {"insert after row 2 with an address", "INITPAGE", "ACTION=2&LIST=2&WELCOME=home.html&IPADDRESS=10.1.2.4", kDone,
       {{'i', "10.1.2.3\n", "10.1.2.3\nWelcome    home.html 10.1.2.4\n"}}},
      {"insert before row 1", "INITPAGE", "ACTION=1&LIST=1&WELCOME=default.htm", kDone,
       {{'m', "Welcome index.html\n", "Welcome    default.htm\nWelcome index.html\n"}}},
      {"replace row 2", "INITPAGE", "ACTION=3&LIST=2&WELCOME=start.html&IPADDRESS=10.9.9.9", kDone,
       {{'i', "Welcome Welcome.html 10.1.2.3\n", "Welcome    start.html 10.9.9.9\n"}}},
      {"delete row 1", "INITPAGE", "ACTION=4&LIST=1", kDone, {{'m', "Welcome index.html\n", ""}}},
      {"delete without a row number", "INITPAGE", "ACTION=4", kDone, {}},
      {"empty file name is ignored", "INITPAGE", "ACTION=2&LIST=1&WELCOME=&IPADDRESS=10.1.1.1", kDone, {}},
      {"file name with a colon", "INITPAGE", "ACTION=2&WELCOME=c:index.html",
       "text=The value of field WELCOME is not valid.\ntype=3\n", {}},
      {"bad address", "INITPAGE", "ACTION=2&WELCOME=a.html&IPADDRESS=-x", "text=The value of field IPADDRESS is not valid.\ntype=3\n",
       {}},
  });
}

TEST_F(ListPagesTest, ErrorPagesPage) {
  CheckAll({
      {"display", "ERRCUST", "", kReady, {},
       {"row=<tr><td>1</td><td>notfound</td><td>/err/404.html</td></tr>",
        "row=<tr><td>2</td><td>badrequest</td><td>/err/400.html</td></tr>", "list=<OPTION SELECTED>1<OPTION>2",
        "help=HLPERRCU"}},
      {"insert after row 1", "ERRCUST", "ACTION=2&LIST=1&ERRORPAGEA=forbidden&ERRORPAGEB=/err/403.html", kDone,
       {{'m', "/err/404.html\n", "/err/404.html\nErrorPage        forbidden /err/403.html\n"}}},
      {"replace row 2", "ERRCUST", "ACTION=3&LIST=2&ERRORPAGEA=badrequest&ERRORPAGEB=/e/400.html", kDone,
       {{'i', "ErrorPage badrequest /err/400.html\n", "ErrorPage        badrequest /e/400.html\n"}}},
      {"replace a row no row has", "ERRCUST", "ACTION=3&LIST=3&ERRORPAGEA=a&ERRORPAGEB=b", kDone, {}},
      {"delete row 1", "ERRCUST", "ACTION=4&LIST=1", kDone, {{'m', "ErrorPage notfound /err/404.html\n", ""}}},
      {"insert without a page", "ERRCUST", "ACTION=1&LIST=1&ERRORPAGEA=forbidden", kMissing, {}},
      {"replace without a condition", "ERRCUST", "ACTION=3&LIST=1&ERRORPAGEB=/x.html", kMissing, {}},
      {"line breaks in a value stay in the line", "ERRCUST", "ACTION=2&LIST=2&ERRORPAGEA=a&ERRORPAGEB=b%0APort+99",
       kDone, {{'i', "/err/400.html\n", "/err/400.html\nErrorPage        a b Port 99\n"}}},
  });
}

TEST_F(ListPagesTest, LastModifiedFactorsPage) {
  CheckAll({
      {"display", "LMF", "", kReady, {},
       {"row=<tr><td>1</td><td>http://*/*.gif</td><td>0.50</td></tr>", "row=<tr><td>2</td><td>ftp://*</td><td>0.14</td></tr>",
        "list=<OPTION SELECTED>1<OPTION>2",
        "fraction=<OPTION>off<OPTION>0.00<OPTION>0.02<OPTION>0.04<OPTION>0.06<OPTION>0.08<OPTION>0.10<OPTION>0.12"
        "<OPTION SELECTED>0.14<OPTION>0.16<OPTION>0.18<OPTION>0.20<OPTION>0.25<OPTION>0.30<OPTION>0.35<OPTION>0.40"
        "<OPTION>0.45<OPTION>0.50<OPTION>0.55<OPTION>0.60<OPTION>0.65<OPTION>0.70<OPTION>0.75<OPTION>0.80<OPTION>0.85"
        "<OPTION>0.90<OPTION>0.95<OPTION>1.00<OPTION>1.10<OPTION>1.20<OPTION>1.25<OPTION>1.30<OPTION>1.40<OPTION>1.50"
        "<OPTION>1.60<OPTION>1.70<OPTION>1.75<OPTION>1.80<OPTION>1.90<OPTION>2.00<OPTION>2.25<OPTION>2.50<OPTION>2.75"
        "<OPTION>3.00<OPTION>3.50<OPTION>4.00<OPTION>4.50<OPTION>5.00",
        "help=HLPLMF"}},
      {"insert before row 2", "LMF", "ACTION=1&LIST=2&CACHELASTMODIFIEDPATTERN=http://*/*.png&CACHELASTMODIFIEDFRACTION=0.20",
       kDone, {{'i', "CacheLastModifiedFactor ftp", "CacheLastModifiedFactor   http://*/*.png   0.20\nCacheLastModifiedFactor ftp"}}},
      {"insert without a fraction is ignored", "LMF", "ACTION=2&LIST=1&CACHELASTMODIFIEDPATTERN=http://*", kDone, {}},
      {"replace without a fraction", "LMF", "ACTION=3&LIST=1&CACHELASTMODIFIEDPATTERN=http://*", kMissing, {}},
      {"replace row 1 with a decimal comma", "LMF",
       "ACTION=3&LIST=1&CACHELASTMODIFIEDPATTERN=http://*/*.gif&CACHELASTMODIFIEDFRACTION=0%2C25", kDone,
       {{'m', "CacheLastModifiedFactor http://*/*.gif 0.50\n", "CacheLastModifiedFactor   http://*/*.gif   0.25\n"}}},
      {"delete row 2", "LMF", "ACTION=4&LIST=2", kDone, {{'i', "CacheLastModifiedFactor ftp://* 0.14\n", ""}}},
  });
}

TEST_F(ListPagesTest, ConfigurationValuesAreEscapedOnEveryPage) {
  constexpr std::string_view kHostile =
      "AddType .x\"> <b>x</b> 8bit 1.0\n"
      "AddEncoding .y <i>&amp; 1.0\n"
      "Welcome <script>.html\n"
      "ErrorPage '><x /e&.html\n"
      "CacheLastModifiedFactor http://<h>/* 0.5\n";
  const std::vector<Case> cases = {
      {"types", "ADDTYPE", "", kReady, {},
       {"row=<tr><td>1</td><td>.x&quot;&gt;</td><td>&lt;b&gt;x&lt;/b&gt;</td><td>T78 8-bit</td><td>T91 1.0</td></tr>"}},
      {"encodings", "ADDENCOD", "", kReady, {}, {"row=<tr><td>1</td><td>.y</td><td>&lt;i&gt;&amp;amp;</td><td>T91 1.0</td></tr>"}},
      {"welcome pages", "INITPAGE", "", kReady, {}, {"row=<tr><td>1</td><td>&lt;script&gt;.html</td></tr>"}},
      {"error pages", "ERRCUST", "", kReady, {}, {"row=<tr><td>1</td><td>&#39;&gt;&lt;x</td><td>/e&amp;.html</td></tr>"}},
      {"factors", "LMF", "", kReady, {}, {"row=<tr><td>1</td><td>http://&lt;h&gt;/*</td><td>0.5</td></tr>"}},
  };
  for (const Case& c : cases) Check(c, kHostile, "");
}

TEST_F(ListPagesTest, FractionsWithADecimalCommaAreCharacterReferences) {
  WriteFile(main_, "# none\n");
  const CgiResult r = RunCgi(CFGOUT_FIXTURE_BINARY, {{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir_.path()},
                                                     {"PATH_INFO", "/LMF"}, {"RULE_FILE", main_},
                                                     {"REQUEST_METHOD", "GET"}, {"LANG", "de_DE.UTF-8"}});
  EXPECT_NE(r.out.find("\nfraction=<OPTION>off<OPTION>0&#44&#48&#48<OPTION>0&#44&#48&#50"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("<OPTION>0&#44&#49&#50<OPTION SELECTED>0&#44&#49&#52<OPTION>"), std::string::npos);
  EXPECT_NE(r.out.find("<OPTION>5&#44&#48&#48\n"), std::string::npos);
}

TEST_F(ListPagesTest, MappingRulesPage) {
  CheckAll({
      {"display", "MPFRULE", "", kReady, {},
       {"row=<tr><td>1</td><td>T82 map</td><td>/old/*</td><td>/new/*</td></tr>",
        "row=<tr><td>2</td><td>T84 fail</td><td>/secret/*</td><td></td><td>10.0.0.1</td></tr>",
        "row=<tr><td>3</td><td>T83 pass</td><td>/docs/*</td><td>/export/docs/*</td></tr>",
        "row=<tr><td>4</td><td>T87 proxy</td><td>http://*</td></tr>",
        "list=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4", "help=HLPMPFRU"}},
      {"insert after row 1, keyword offered with an asterisk", "MPFRULE",
       "ACTION=2&LIST=1&ACTIONA=*+Pass&URLTEMPLATE=/pub/*&FILEPATH=/export/pub/*&IPADDRESS=", kDone,
       {{'m', "/new/*\n", "/new/*\nPass       /pub/*  /export/pub/*\n"}}},
      {"fail rule with an address before row 3", "MPFRULE",
       "ACTION=1&LIST=3&ACTIONA=Fail&URLTEMPLATE=/private/*&FILEPATH=&IPADDRESS=10.0.0.2", kDone,
       {{'i', "Pass /docs/*", "Fail       /private/*     10.0.0.2\nPass /docs/*"}}},
      {"replace row 3 by another keyword, in place", "MPFRULE",
       "ACTION=3&LIST=3&ACTIONA=Map&URLTEMPLATE=/docs/*&FILEPATH=/srv/docs/*", kDone,
       {{'i', "Pass /docs/* /export/docs/*  # exported\n", "Map       /docs/*  /srv/docs/*\n"}}},
      {"proxy rule needs no replacement", "MPFRULE", "ACTION=2&LIST=4&ACTIONA=Proxy&URLTEMPLATE=ftp://*&FILEPATH=", kDone,
       {{'i', "Proxy http://*\n", "Proxy http://*\nProxy       ftp://*  \n"}}},
      {"delete row 2", "MPFRULE", "ACTION=4&LIST=2", kDone, {{'m', "Fail /secret/* 10.0.0.1   # blocked\n", ""}}},
      {"a row number past the list selects the last rule", "MPFRULE", "ACTION=4&LIST=9", kDone,
       {{'i', "Proxy http://*\n", ""}}},
      {"delete without a row number", "MPFRULE", "ACTION=4&LIST=0", kDone, {}},
      {"no template", "MPFRULE", "ACTION=2&LIST=1&ACTIONA=Map&FILEPATH=/x", "text=T40 no template\ntype=3\n", {}},
      {"no fields at all", "MPFRULE", "-", "text=T40 no template\ntype=3\n", {}},
      {"no replacement", "MPFRULE", "ACTION=2&LIST=1&ACTIONA=Map&URLTEMPLATE=/a/*", "text=T59 no replacement\ntype=3\n",
       {}},
      {"keyword that is no mapping rule, shown escaped", "MPFRULE",
       "ACTION=2&LIST=1&ACTIONA=%3Cb%3EPort&URLTEMPLATE=/a&FILEPATH=/b",
       "text=The rule keyword &lt;b&gt;Port is not a mapping rule keyword\ntype=3\n", {}},
      {"bad replacement", "MPFRULE", "ACTION=2&ACTIONA=Map&URLTEMPLATE=/a/*&FILEPATH=/a/%3Cb%3E",
       "text=T13 invalid: T90 bad replacement\ntype=3\n", {}},
  });
  Check({"hostile rule shown escaped", "MPFRULE", "", kReady, {},
         {"row=<tr><td>1</td><td>T82 map</td><td>/&lt;script&gt;/*</td><td>/x&amp;y</td></tr>"}},
        "Map /<script>/* /x&y\n", "");
}

}  // namespace
}  // namespace cfgout::testing
