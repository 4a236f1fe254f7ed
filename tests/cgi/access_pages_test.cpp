// The method, user method, API request, API mapping and access log filter
// pages as a black box: each row of a table is one request against a main
// configuration file that includes a second one, with the bytes both files
// hold afterwards and lines the page must show.
//
// cfgout_fixture reads the marker templates under tests/cgi/bundles ("m<k>=%s",
// "row=%s" once per table row, ...) and the test catalogue ("T<n> ...").

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

// One request. `body` is the posted form, or for a GET (`post` false) the
// query string ("-" for none). An empty expected file means "unchanged".
struct Case {
  const char* what;
  bool post;
  std::string_view body;
  std::string_view main;
  std::string_view include;
  std::string_view wantMain;
  std::string_view wantInclude;
  std::vector<std::string_view> wantLines;  // each must stand in the page as a whole line
};

constexpr bool kGet = false;
constexpr bool kPost = true;

class AccessPagesTest : public ::testing::Test {
 protected:
  // "@INC@" in a configuration text stands for the included file's path.
  std::string WithInclude(std::string_view text) const {
    std::string out(text);
    for (std::size_t at; (at = out.find("@INC@")) != std::string::npos;) out.replace(at, 5, include_);
    return out;
  }

  void Check(std::string_view page, const std::vector<Case>& cases) const {
    for (const Case& c : cases) {
      WriteFile(main_, WithInclude(c.main));
      WriteFile(include_, c.include);
      CgiEnvironment env{{"PACKAGE_TYPE", "3"},
                         {"SERVER_ROOT", dir_.path()},
                         {"REQUEST_METHOD", c.post ? "POST" : "GET"},
                         {"PATH_INFO", "/cgi-bin/cfgout/" + std::string(page)},
                         {"RULE_FILE", main_}};
      if (c.post) env["CONTENT_LENGTH"] = std::to_string(c.body.size());
      if (!c.post && c.body != "-") env["QUERY_STRING"] = std::string(c.body);
      const CgiResult r = RunCgi(CFGOUT_FIXTURE_BINARY, env, c.post ? c.body : std::string_view());
      EXPECT_EQ(r.exitStatus, 0) << c.what;
      EXPECT_EQ(ReadFile(main_), WithInclude(c.wantMain.empty() ? c.main : c.wantMain)) << page << ": " << c.what;
      EXPECT_EQ(ReadFile(include_), c.wantInclude.empty() ? c.include : c.wantInclude) << page << ": " << c.what;
      for (std::string_view line : c.wantLines) {
        EXPECT_NE(r.out.find("\n" + std::string(line) + "\n"), std::string::npos)
            << page << ": " << c.what << "\nmissing: " << line << "\n" << r.out;
      }
      EXPECT_EQ(r.out.find("<script>"), std::string::npos) << page << ": " << c.what;
    }
  }

  TempDir dir_{"cfgout-access"};
  std::string main_ = dir_ / "proxy.conf";
  std::string include_ = dir_ / "more.conf";
};

constexpr std::string_view kIncluded = "# included\nPort 8080\n";

// ---- Methods ----------------------------------------------------------------------

constexpr std::string_view kMethods =
    "# methods\n"
    "Enable GET\n"
    "Disable PUT /cgi/put.cgi # no uploads\n"
    "enable head\n"
    "configfile @INC@\n";

TEST_F(AccessPagesTest, MethodEnabling) {
  Check("METHENAB", {
      {"a method without a line shows as enabled; a Disable line clears its box and gives the handler",
       kGet, "-", kMethods, kIncluded, "", "",
       {"m0=CHECKED", "m1=", "m2=CHECKED", "m4=CHECKED", "m6=", "m7=/cgi/put.cgi", "m14=CHECKED", "m15=",
        "text=T11 ready", "help=HLPMETHE"}},
      {"each method rewritten, converted in place or added before the first line of the other kind",
       kPost, "GET=1&GETHANDLER=%2Fh%2Fget&HEAD=1&PUT=1&DELETE=0&CONNECT=1&CONNECTHANDLER=%2Fc", kMethods, kIncluded,
       "# methods\n"
       "Enable       CONNECT       /c\n"
       "Disable      POST\n"
       "Disable      DELETE\n"
       "Disable      OPTIONS\n"
       "Disable      TRACE\n"
       "Enable       GET       /h/get\n"
       "Enable       PUT\n"
       "Enable       HEAD\n"
       "configfile @INC@\n",
       "", {"m0=CHECKED", "m1=/h/get", "m4=", "m14=CHECKED", "m15=/c", "text=T12 done", "type=1"}},
      {"a form without fields disables every method; new lines go to the end of the last file",
       kPost, "", "# none\nconfigfile @INC@\n", kIncluded, "",
       "# included\nPort 8080\nDisable      GET\nDisable      HEAD\nDisable      POST\nDisable      PUT\n"
       "Disable      DELETE\nDisable      OPTIONS\nDisable      TRACE\nDisable      CONNECT\n",
       {"m0=", "m1=", "m14="}},
      {"an enabled method's new line is appended; the disabled ones go before it",
       kPost, "GET=1", "# none\nconfigfile @INC@\n", kIncluded, "",
       "# included\nPort 8080\nDisable      HEAD\nDisable      POST\nDisable      PUT\nDisable      DELETE\n"
       "Disable      OPTIONS\nDisable      TRACE\nDisable      CONNECT\nEnable       GET\n",
       {"m0=CHECKED", "m2="}},
      {"lines in another spelling are rewritten in place; a converted line drops its handler",
       kPost, "PUT=1&GET=1&HEAD=1&POST=1&DELETE=1&OPTIONS=1&TRACE=1&CONNECT=1", kMethods, kIncluded,
       "# methods\nEnable       GET\nEnable       POST\nEnable       PUT\nEnable       HEAD\nconfigfile @INC@\n",
       "# included\nPort 8080\nEnable       DELETE\nEnable       OPTIONS\nEnable       TRACE\nEnable       CONNECT\n",
       {"m6=CHECKED", "m7="}},
      {"a line with the same words and a comment stays as written", kPost,
       "GET=1&HEAD=1&POST=1&PUT=1&PUTHANDLER=%2Fcgi%2Fput.cgi&DELETE=1&OPTIONS=1&TRACE=1&CONNECT=1",
       "Enable GET # read\nenable put /cgi/put.cgi # uploads\n", "",
       "Enable GET # read\nenable put /cgi/put.cgi # uploads\nEnable       HEAD\nEnable       POST\n"
       "Enable       DELETE\nEnable       OPTIONS\nEnable       TRACE\nEnable       CONNECT\n",
       "", {"m0=CHECKED", "m1=#", "m7=/cgi/put.cgi"}},
      {"a hostile handler is written as sent and shown escaped",
       kPost, "GET=1&GETHANDLER=%22%3E%3Cscript%3E%25s", "Enable GET\n", "",
       "Disable      HEAD\nDisable      POST\nDisable      PUT\nDisable      DELETE\nDisable      OPTIONS\n"
       "Disable      TRACE\nDisable      CONNECT\nEnable       GET       \"><script>%s\n",
       "", {"m1=&quot;&gt;&lt;script&gt;%s"}},
      {"an unknown field is refused and nothing is written",
       kPost, "GET=1&BOGUS=1", kMethods, kIncluded, "", "",
       {"text=T13 invalid: T116 unknown field BOGUS", "type=3"}},
  });
}

constexpr std::string_view kUserMethods =
    "# user methods\n"
    "Enable GET\n"
    "Enable PROPFIND /cgi/dav.cgi # webdav\n"
    "Enable MKCOL\n"
    "configfile @INC@\n";
constexpr std::string_view kIncludedMethod = "# included\nEnable LOCK /x\n";

TEST_F(AccessPagesTest, UserMethods) {
  Check("USERMETH", {
      {"the main file's user methods as numbered rows",
       kGet, "-", kUserMethods, kIncludedMethod, "", "",
       {"row=<tr><td>1</td><td>PROPFIND</td><td>/cgi/dav.cgi</td></tr>",
        "row=<tr><td>2</td><td>MKCOL</td><td></td><td></td></tr>", "list=<OPTION SELECTED>1<OPTION>2",
        "help=HLPUSERM"}},
      {"insert after row 1, method upper-cased",
       kPost, "ACTION=2&LIST=1&NEWMETHOD=report&NEWMETHODHANDLER=%2Fr", kUserMethods, kIncludedMethod,
       "# user methods\nEnable GET\nEnable PROPFIND /cgi/dav.cgi # webdav\nEnable       REPORT       /r\n"
       "Enable MKCOL\nconfigfile @INC@\n",
       "", {"row=<tr><td>2</td><td>REPORT</td><td>/r</td></tr>", "text=T12 done"}},
      {"insert before a row no line has: appended to the last file",
       kPost, "ACTION=1&LIST=7&NEWMETHOD=SEARCH", kUserMethods, kIncludedMethod, "",
       "# included\nEnable LOCK /x\nEnable       SEARCH\n", {"text=T12 done"}},
      {"replace row 2; the standard and included Enable lines stay",
       kPost, "ACTION=3&LIST=2&NEWMETHOD=MOVE", kUserMethods, kIncludedMethod,
       "# user methods\nEnable GET\nEnable PROPFIND /cgi/dav.cgi # webdav\nEnable       MOVE\nconfigfile @INC@\n",
       "", {"row=<tr><td>2</td><td>MOVE</td><td></td><td></td></tr>"}},
      {"replace a row no line has: nothing", kPost, "ACTION=3&LIST=3&NEWMETHOD=MOVE", kUserMethods,
       kIncludedMethod, "", "", {"text=T12 done"}},
      {"delete row 1", kPost, "ACTION=4&LIST=1", kUserMethods, kIncludedMethod,
       "# user methods\nEnable GET\nEnable MKCOL\nconfigfile @INC@\n", "", {"list=<OPTION SELECTED>1"}},
      {"delete without a row number: nothing", kPost, "ACTION=4", kUserMethods, kIncludedMethod, "", "", {}},
      {"deleting the only user method keeps the standard lines", kPost, "ACTION=4&LIST=1",
       "Enable GET\nEnable FOO\n", "", "Enable GET\n", "", {"list=<OPTION>0"}},
      {"deleting the only Enable line removes the directive", kPost, "ACTION=4&LIST=1", "# x\nEnable FOO\n", "",
       "# x\n", "", {}},
      {"insert without a method writes nothing and says nothing more",
       kPost, "ACTION=2&LIST=1&NEWMETHODHANDLER=%2Fr", kUserMethods, kIncludedMethod, "", "", {"text=T12 done"}},
      {"a hostile method is shown escaped", kPost, "ACTION=2&LIST=1&NEWMETHOD=%3Cscript%3E", "Enable X\n", "",
       "Enable X\nEnable       <SCRIPT>\n", "", {"row=<tr><td>2</td><td>&lt;SCRIPT&gt;</td><td></td><td></td></tr>"}},
      {"an unknown field is refused", kPost, "ACTION=4&LIST=1&X=1", kUserMethods, kIncludedMethod, "", "",
       {"text=T13 invalid: T116 unknown field X", "type=3"}},
  });
}

// ---- API request and API mapping ------------------------------------------------------

// The input elements of the request page, by the letter of their field.
std::string_view Piece(char field) {
  switch (field) {
    case 'F': return "<td>Application File</td>\n<td><input type=\"text\" name=\"APIFile\" value=\"\" size=20 maxlength=256></td>";
    case 'N': return "<td>Function Name</td>\n<td><input type=\"text\" name=\"Function\" value=\"\" size=20 maxlength=256></td>";
    case 'I': return "<td>Init String</td>\n<td><input type=\"text\" name=\"InitString\" value=\"\" size= 20 maxlength=256></td>";
    case 'A': return "<td>Authentication</td>\n<td><select name=\"AuthType\" size=1><option selected value=\"Basic\">Basic<option value=\"*\">*</select></td>";
    case 'U': return "<td>URL Template</td>\n<td><input type=\"text\" name=\"URLTemplate\" value=\"\" size=20 maxlength=256></td>";
    case 'P': return "<td>IP Address Template</td>\n<td><input type=\"text\" name=\"IPTemplate\" value=\"\" size=20 maxlength=256></td>\n<td>(Optional)</td>";
    case 'O': return "<td>Open Function</td>\n<td><input type=\"text\" name=\"OpenFunction\" value=\"\" size=20 maxlength=256></td>";
    case 'W': return "<td>Write Function</td>\n<td><input type=\"text\" name=\"WriteFunction\" value=\"\" size=20 maxlength=256></td>";
    case 'C': return "<td>Close Function</td>\n<td><input type=\"text\" name=\"CloseFunction\" value=\"\" size=20 maxlength=256></td>";
    case 'E': return "<td>Error Function</td>\n<td><input type=\"text\" name=\"ErrorFunction\" value=\"\" size=20 maxlength=256></td>";
    default: return "?";
  }
}

TEST_F(AccessPagesTest, ApiRequestShowsTheFieldsOfEveryStep) {
  struct Step {
    const char* query;
    const char* name;  // null: no block
    const char* fields;
  };
  const std::vector<Step> steps = {
      {"1", "ServerInit", "FNI"}, {"2", "PreExit", "FN"}, {"3", "Authentication", "AFN"},
      {"4", "NameTrans", "UFNP"}, {"5", "Authorization", "UFN"}, {"6", "ObjectType", "UFN"},
      {"7", "Service", "UFNP"}, {"8", "Transmogrifier", "FOWCE"}, {"9", "DataFilter", "FOWC"},
      {"10", "Log", "UFN"}, {"11", "Error", "UFN"}, {"12", "PostExit", "FN"},
      {"13", "ServerTerm", "FN"}, {"14", "Midnight", "FN"}, {"15", "PICSDBLookup", "FN"},
      {"16", "GC Advisor", "FN"}, {"17", "Proxy Advisor", "FN"}, {"018&LIST=2", "PostAuth", "FN"},
      {"0", nullptr, ""}, {"19", nullptr, ""}, {"4294967300", nullptr, ""}, {"%3Cscript%3E", nullptr, ""}, {"-3", nullptr, ""}, {"abc", nullptr, ""}, {"-", nullptr, ""},
  };
  WriteFile(main_, "# none\n");
  for (const Step& s : steps) {
    CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir_.path()}, {"REQUEST_METHOD", "GET"},
                       {"PATH_INFO", "/APIREQ"}, {"RULE_FILE", main_}};
    if (std::string_view(s.query) != "-") env["QUERY_STRING"] = s.query;
    std::string block;
    if (s.name != nullptr) {
      block = "<input type=\"hidden\" name=\"APIRequest\"   value=\"" + std::string(s.name) +
              "\">\n<p>Enter the required <strong>" + s.name + "</strong> API request fields.\n<table><tr>\n";
      for (const char* f = s.fields; *f != '\0'; ++f) {
        if (f != s.fields) block += "</tr><tr>\n";
        block += Piece(*f);
        block += "\n";
      }
      block += "</tr></table>\n";
    }
    EXPECT_EQ(RunCgi(CFGOUT_FIXTURE_BINARY, env).out,
              "Content-type: text/html\nPragma: no-cache\n\n<apireq>\n" + block + "after=\n</apireq>\n")
        << s.query;
  }
}

constexpr std::string_view kApi =
    "# plug-ins\n"
    "ServerInit /lib/init.so:start some arg\n"
    "NameTrans /cgi/* /lib/a.so:go # scripts\n"
    "Service /svc/* /lib/s.so:run\n"
    "configfile @INC@\n";
constexpr std::string_view kIncludedApi = "# included\nNameTrans /x/* /lib/x.so:xx\nPostExit /lib/p.so:done\n";

TEST_F(AccessPagesTest, ApiMapping) {
  Check("APIMAP", {
      {"every API step line of both files as numbered rows", kGet, "-", kApi, kIncludedApi, "", "",
       {"row=<tr><td>1</td><td>ServerInit</td><td></td><td>/lib/init.so:start some arg</td></tr>",
        "row=<tr><td>4</td><td>NameTrans</td><td>/x/*</td><td>/lib/x.so:xx</td></tr>",
        "row=<tr><td>5</td><td>PostExit</td><td></td><td>/lib/p.so:done</td></tr>",
        "list=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4<OPTION>5", "help=HLPAPIMA"}},
      {"insert a NameTrans step after row 2",
       kPost, "APIRequest=NameTrans&URLTemplate=%2Fcgi%2F*&APIFile=%2Flib%2Fa.so&Function=go2&ACTION=2&LIST=2",
       kApi, kIncludedApi,
       "# plug-ins\nServerInit /lib/init.so:start some arg\nNameTrans /cgi/* /lib/a.so:go # scripts\n"
       "NameTrans     /cgi/*   /lib/a.so:go2\nService /svc/* /lib/s.so:run\nconfigfile @INC@\n",
       "", {"text=T12 done", "row=<tr><td>3</td><td>NameTrans</td><td>/cgi/*</td><td>/lib/a.so:go2</td></tr>"}},
      {"insert a ServerInit step with its init string before row 1",
       kPost, "APIRequest=ServerInit&APIFile=%2Flib%2Fi.so&Function=init&InitString=a+b&ACTION=1&LIST=1", kApi,
       kIncludedApi,
       "# plug-ins\nServerInit     /lib/i.so:init a b\nServerInit /lib/init.so:start some arg\n"
       "NameTrans /cgi/* /lib/a.so:go # scripts\nService /svc/* /lib/s.so:run\nconfigfile @INC@\n",
       "", {}},
      {"replace row 4 (in the included file) by a Service step with an address template",
       kPost,
       "APIRequest=Service&URLTemplate=%2Fy%2F*&APIFile=%2Flib%2Fy.so&Function=yy&IPTemplate=10.1.2.3&ACTION=3&LIST=4",
       kApi, kIncludedApi, "", "# included\nService     /y/*   /lib/y.so:yy   10.1.2.3\nPostExit /lib/p.so:done\n",
       {}},
      {"delete row 3, the only Service line", kPost, "ACTION=4&LIST=3", kApi, kIncludedApi,
       "# plug-ins\nServerInit /lib/init.so:start some arg\nNameTrans /cgi/* /lib/a.so:go # scripts\n"
       "configfile @INC@\n",
       "", {}},
      {"delete a row past the end: the last line", kPost, "ACTION=4&LIST=99", kApi, kIncludedApi, "",
       "# included\nNameTrans /x/* /lib/x.so:xx\n", {}},
      {"a row number beyond the int range is the last line too", kPost, "ACTION=4&LIST=99999999999999999999", kApi,
       kIncludedApi, "", "# included\nNameTrans /x/* /lib/x.so:xx\n", {}},
      {"delete without a row number: the first line", kPost, "ACTION=4", kApi, kIncludedApi,
       "# plug-ins\nNameTrans /cgi/* /lib/a.so:go # scripts\nService /svc/* /lib/s.so:run\nconfigfile @INC@\n", "",
       {}},
      {"every function of a Transmogrifier, appended when there is no API line",
       kPost,
       "APIRequest=Transmogrifier&APIFile=%2Fl&OpenFunction=o&WriteFunction=w&CloseFunction=c&ErrorFunction=e"
       "&ACTION=2",
       "# none\nconfigfile @INC@\n", kIncluded, "", "# included\nPort 8080\nTransmogrifier     /l:o:w:c:e\n",
       {"list=<OPTION SELECTED>1"}},
      {"an Authentication step", kPost,
       "APIRequest=Authentication&AuthType=Basic&APIFile=%2Fa.so&Function=auth&ACTION=2&LIST=5", kApi, kIncludedApi,
       "", "# included\nNameTrans /x/* /lib/x.so:xx\nPostExit /lib/p.so:done\nAuthentication     Basic   /a.so:auth\n",
       {"row=<tr><td>6</td><td>Authentication</td><td>Basic</td><td>/a.so:auth</td></tr>"}},
      {"a required field missing", kPost, "APIRequest=NameTrans&URLTemplate=%2Fa&APIFile=%2Fl&ACTION=1", kApi,
       kIncludedApi, "", "", {"text=T2 ports missing", "type=3"}},
      {"no step at all", kPost, "ACTION=2&LIST=1", kApi, kIncludedApi, "", "", {"text=T2 ports missing"}},
      {"an unknown step passes and writes nothing", kPost, "APIRequest=Bogus&ACTION=2", kApi, kIncludedApi, "", "",
       {"text=T12 done"}},
      {"an address template that is no host is refused", kPost,
       "APIRequest=Service&URLTemplate=%2Fy&APIFile=%2Fl&Function=f&IPTemplate=a%3Ab&ACTION=2", kApi, kIncludedApi,
       "", "", {"text=The value of field IPTemplate is not valid.", "type=3"}},
      {"a hostile template is written as sent and shown escaped", kPost,
       "APIRequest=Log&URLTemplate=%3Cscript%3E&APIFile=%2Fl&Function=f&ACTION=2&LIST=9", "# x\n", "",
       "# x\nLog     <script>   /l:f\n", "", {"row=<tr><td>1</td><td>Log</td><td>&lt;script&gt;</td><td>/l:f</td></tr>"}},
  });
}

// ---- Access log filters ---------------------------------------------------------------

constexpr std::string_view kFilters =
    "# access log filters\n"
    "AccessLogExcludeUrl /icons/*   # images\n"
    "AccessLogExcludeUrl *.gif\n"
    "NoLog 10.0.0.*\n"
    "AccessLogExcludeMethod GET\n"
    "configfile @INC@\n";
constexpr std::string_view kIncludedFilters =
    "# included\n"
    "NoLog *.internal\n"
    "AccessLogExcludeUserAgent *bot*\n"
    "AccessLogExcludeMimeType image/gif\n"
    "AccessLogExcludeReturnCode 300\n";

TEST_F(AccessPagesTest, AccessLogFilters) {
  Check("ACCCONF", {
      {"the three lists and the check boxes", kGet, "-", kFilters, kIncludedFilters, "", "",
       {"url=<tr><td>1</td><td>/icons/*</td></tr>", "url=<tr><td>2</td><td>*.gif</td></tr>",
        "urllist=<OPTION SELECTED>1<OPTION>2", "agent=<tr><td>1</td><td>*bot*</td></tr>",
        "agentlist=<OPTION SELECTED>1", "host=<tr><td>2</td><td>*.internal</td></tr>", "b6=CHECKED", "b7=",
        "b10=CHECKED", "b11=", "b21=CHECKED", "b23=", "help=HLPACCCO"}},
      {"two URL patterns inserted after line 1, in the order typed",
       kPost, "ACTIONA=2&LISTA=1&ACCESSLOGEXCLUDEURL=%2Fa%2F*%2C+%2Fb%2F*", kFilters, kIncludedFilters,
       "# access log filters\nAccessLogExcludeUrl /icons/*   # images\nAccessLogExcludeUrl       /a/*\n"
       "AccessLogExcludeUrl       /b/*\nAccessLogExcludeUrl *.gif\nNoLog 10.0.0.*\nAccessLogExcludeMethod GET\n"
       "configfile @INC@\n",
       "", {"urllist=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4"}},
      {"host line 2 replaced by three patterns",
       kPost, "ACTIONB=3&LISTB=2&NOLOG=h1+h2%0D%0Ah3", kFilters, kIncludedFilters, "",
       "# included\nNoLog       h1\nNoLog       h2\nNoLog       h3\nAccessLogExcludeUserAgent *bot*\n"
       "AccessLogExcludeMimeType image/gif\nAccessLogExcludeReturnCode 300\n",
       {}},
      {"user agents: inserted, replaced and further lines have their own spacing",
       kPost, "ACTIONC=3&LISTC=1&ACCESSLOGEXCLUDEUSERAGENT=a%09b&ACTIONA=1&LISTA=0&ACCESSLOGEXCLUDEURL=u", kFilters,
       kIncludedFilters,
       "# access log filters\nAccessLogExcludeUrl       u\nAccessLogExcludeUrl /icons/*   # images\n"
       "AccessLogExcludeUrl *.gif\nNoLog 10.0.0.*\nAccessLogExcludeMethod GET\nconfigfile @INC@\n",
       "# included\nNoLog *.internal\nAccessLogExcludeUserAgent      a\nAccessLogExcludeUserAgent       b\n"
       "AccessLogExcludeMimeType image/gif\nAccessLogExcludeReturnCode 300\n",
       {}},
      {"insert before a line no row has: appended to the last file",
       kPost, "ACTIONC=1&LISTC=5&ACCESSLOGEXCLUDEUSERAGENT=crawler", kFilters, kIncludedFilters, "",
       "# included\nNoLog *.internal\nAccessLogExcludeUserAgent *bot*\nAccessLogExcludeMimeType image/gif\n"
       "AccessLogExcludeReturnCode 300\nAccessLogExcludeUserAgent        crawler\n",
       {}},
      {"deleting the only user agent line removes the directive", kPost, "ACTIONC=4&LISTC=1", kFilters,
       kIncludedFilters, "",
       "# included\nNoLog *.internal\nAccessLogExcludeMimeType image/gif\nAccessLogExcludeReturnCode 300\n",
       {"agentlist=<OPTION>0"}},
      {"delete line 2 of the URLs", kPost, "ACTIONA=4&LISTA=2", kFilters, kIncludedFilters,
       "# access log filters\nAccessLogExcludeUrl /icons/*   # images\nNoLog 10.0.0.*\n"
       "AccessLogExcludeMethod GET\nconfigfile @INC@\n",
       "", {}},
      {"delete with selection 0 or past the end, replace past the end: nothing", kPost,
       "ACTIONA=4&LISTA=0&ACTIONB=4&LISTB=3&ACTIONC=3&LISTC=2&ACCESSLOGEXCLUDEUSERAGENT=x", kFilters,
       kIncludedFilters, "", "", {"text=T12 done"}},
      {"check boxes: an empty field removes its line, a value adds it (a method upper-cased)", kPost,
       "AREMGET=&AREMPOST=post&ALEMTIG=&ALEMTTH=text%2Fhtml&ARERCFIVE=&ARERCFIVE=500&ARERCTHREE=300",
       kFilters, kIncludedFilters,
       "# access log filters\nAccessLogExcludeUrl /icons/*   # images\nAccessLogExcludeUrl *.gif\n"
       "NoLog 10.0.0.*\nconfigfile @INC@\nAccessLogExcludeMethod       POST\nAccessLogExcludeMimeType       text/html\n",
       "# included\nNoLog *.internal\nAccessLogExcludeUserAgent *bot*\nAccessLogExcludeReturnCode 300\n"
       "AccessLogExcludeReturnCode       500\n",
       {"b6=", "b8=CHECKED", "b10=", "b13=CHECKED", "b21=CHECKED", "b23=CHECKED"}},
      {"a hostile pattern is written as sent and shown escaped", kPost,
       "ACTIONA=2&LISTA=2&ACCESSLOGEXCLUDEURL=%3Cscript%3E%25s", kFilters, kIncludedFilters,
       "# access log filters\nAccessLogExcludeUrl /icons/*   # images\nAccessLogExcludeUrl *.gif\n"
       "AccessLogExcludeUrl       <script>%s\nNoLog 10.0.0.*\nAccessLogExcludeMethod GET\nconfigfile @INC@\n",
       "", {"url=<tr><td>3</td><td>&lt;script&gt;%s</td></tr>"}},
      {"an unknown field stops the form; the boxes before it are not written back", kPost,
       "AREMGET=&NOPE=1&ACTIONA=4&LISTA=1", kFilters, kIncludedFilters, "", "",
       {"text=T13 invalid: T116 unknown field NOPE", "type=3", "b6="}},
  });
}

}  // namespace
}  // namespace cfgout::testing
