// The method, API, access log filter, list and protection pages as a black
// box, one row per request (see page_table.h).

#include <gtest/gtest.h>

#include "cgi/page_table.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

std::vector<std::string> L(std::initializer_list<std::string_view> lines) {
  std::vector<std::string> out;
  for (std::string_view line : lines) out.push_back(std::string(line) + "\n");
  return out;
}

const std::string kDone = "text=T12 done\ntype=1\n", kMissing = "text=T2 ports missing\ntype=3\n";
const std::string kReady = "text=T11 ready\ntype=0\n";
const std::string kIncluded = "# included\nPort 8080\n";

TEST(RulePagesTest, MethodEnabling) {
  const std::string m = "# methods\nEnable GET\nDisable PUT /cgi/put.cgi # no uploads\nenable head\nconfigfile @INC@\n";
  RunPageRows("METHENAB", {
      {"no line shows enabled; a Disable line clears its box and gives the handler", m, kIncluded, {}, {}, {},
       L({"m0=CHECKED", "m1=", "m2=CHECKED", "m4=CHECKED", "m6=", "m7=/cgi/put.cgi", "m14=CHECKED", "m15=",
          "text=T11 ready", "help=HLPMETHE"})},
      {"each method rewritten, converted in place or added before the first line of the other kind", m, kIncluded,
       "GET=1&GETHANDLER=%2Fh%2Fget&HEAD=1&PUT=1&DELETE=0&CONNECT=1&CONNECTHANDLER=%2Fc",
       "# methods\nEnable       CONNECT       /c\nDisable      POST\nDisable      DELETE\nDisable      OPTIONS\n"
       "Disable      TRACE\nEnable       GET       /h/get\nEnable       PUT\nEnable       HEAD\nconfigfile @INC@\n",
       {}, L({"m0=CHECKED", "m1=/h/get", "m4=", "m14=CHECKED", "m15=/c", "text=T12 done", "type=1"})},
      {"a form without fields disables every method; new lines go to the end of the last file",
       "# none\nconfigfile @INC@\n", kIncluded, "", {},
       kIncluded + "Disable      GET\nDisable      HEAD\nDisable      POST\nDisable      PUT\n"
                   "Disable      DELETE\nDisable      OPTIONS\nDisable      TRACE\nDisable      CONNECT\n",
       L({"m0=", "m1=", "m14="})},
      {"an enabled method's new line is appended; the disabled ones go before it", "# none\nconfigfile @INC@\n",
       kIncluded, "GET=1", {},
       kIncluded + "Disable      HEAD\nDisable      POST\nDisable      PUT\nDisable      DELETE\n"
                   "Disable      OPTIONS\nDisable      TRACE\nDisable      CONNECT\nEnable       GET\n",
       L({"m0=CHECKED", "m2="})},
      {"lines in another spelling are rewritten in place; a converted line drops its handler", m, kIncluded,
       "PUT=1&GET=1&HEAD=1&POST=1&DELETE=1&OPTIONS=1&TRACE=1&CONNECT=1",
       "# methods\nEnable       GET\nEnable       POST\nEnable       PUT\nEnable       HEAD\nconfigfile @INC@\n",
       kIncluded + "Enable       DELETE\nEnable       OPTIONS\nEnable       TRACE\nEnable       CONNECT\n",
       L({"m6=CHECKED", "m7="})},
      {"a line with the same words and a comment stays as written", "Enable GET # read\nenable put /cgi/put.cgi # uploads\n",
       "", "GET=1&HEAD=1&POST=1&PUT=1&PUTHANDLER=%2Fcgi%2Fput.cgi&DELETE=1&OPTIONS=1&TRACE=1&CONNECT=1",
       "Enable GET # read\nenable put /cgi/put.cgi # uploads\nEnable       HEAD\nEnable       POST\n"
       "Enable       DELETE\nEnable       OPTIONS\nEnable       TRACE\nEnable       CONNECT\n",
       {}, L({"m0=CHECKED", "m1=#", "m7=/cgi/put.cgi"})},
      {"a hostile handler is written as sent and shown escaped", "Enable GET\n", "", "GET=1&GETHANDLER=%22%3E%3Cscript%3E%25s",
       "Disable      HEAD\nDisable      POST\nDisable      PUT\nDisable      DELETE\nDisable      OPTIONS\n"
       "Disable      TRACE\nDisable      CONNECT\nEnable       GET       \"><script>%s\n",
       {}, L({"m1=&quot;&gt;&lt;script&gt;%s"})},
      {"an unknown field is refused", m, kIncluded, "GET=1&BOGUS=1", {}, {},
       L({"text=T13 invalid: T116 unknown field BOGUS", "type=3"})},
  });
}

TEST(RulePagesTest, UserMethods) {
  const std::string m = "# user methods\nEnable GET\nEnable PROPFIND /cgi/dav.cgi # webdav\nEnable MKCOL\nconfigfile @INC@\n";
  const std::string i = "# included\nEnable LOCK /x\n";
  RunPageRows("USERMETH", {
      {"the main file's user methods as numbered rows", m, i, {}, {}, {},
       L({"row=<tr><td>1</td><td>PROPFIND</td><td>/cgi/dav.cgi</td></tr>",
          "row=<tr><td>2</td><td>MKCOL</td><td></td><td></td></tr>", "list=<OPTION SELECTED>1<OPTION>2", "help=HLPUSERM"})},
      {"insert after row 1, method upper-cased", m, i, "ACTION=2&LIST=1&NEWMETHOD=report&NEWMETHODHANDLER=%2Fr",
       Replace(m, "# webdav\n", "# webdav\nEnable       REPORT       /r\n"), {}, L({"row=<tr><td>2</td><td>REPORT</td><td>/r</td></tr>", "text=T12 done"})},
      {"insert before a row no line has: appended to the last file", m, i, "ACTION=1&LIST=7&NEWMETHOD=SEARCH", {},
       i + "Enable       SEARCH\n", {kDone}},
      {"replace row 2; the standard and included Enable lines stay", m, i, "ACTION=3&LIST=2&NEWMETHOD=MOVE",
       Replace(m, "Enable MKCOL", "Enable       MOVE"), {},
       L({"row=<tr><td>2</td><td>MOVE</td><td></td><td></td></tr>"})},
      {"replace a row no line has: nothing", m, i, "ACTION=3&LIST=3&NEWMETHOD=MOVE", {}, {}, {kDone}},
      {"delete row 1", m, i, "ACTION=4&LIST=1", Replace(m, "Enable PROPFIND /cgi/dav.cgi # webdav\n", ""), {},
       L({"list=<OPTION SELECTED>1"})},
      {"delete without a row number: nothing", m, i, "ACTION=4", {}, {}, {kDone}},
      {"deleting the only user method keeps the standard lines", "Enable GET\nEnable FOO\n", "", "ACTION=4&LIST=1",
       "Enable GET\n", {}, L({"list=<OPTION>0"})},
      {"deleting the only Enable line removes the directive", "# x\nEnable FOO\n", "", "ACTION=4&LIST=1", "# x\n"},
      {"insert without a method writes nothing", m, i, "ACTION=2&LIST=1&NEWMETHODHANDLER=%2Fr", {}, {}, {kDone}},
      {"a hostile method is shown escaped", "Enable X\n", "", "ACTION=2&LIST=1&NEWMETHOD=%3Cscript%3E",
       "Enable X\nEnable       <SCRIPT>\n", {}, L({"row=<tr><td>2</td><td>&lt;SCRIPT&gt;</td><td></td><td></td></tr>"})},
      {"an unknown field is refused", m, i, "ACTION=4&LIST=1&X=1", {}, {},
       L({"text=T13 invalid: T116 unknown field X", "type=3"})},
  });
}

// The input elements of the API request page, by the letter of their field.
std::string Piece(char field) {
  const auto text = [](const char* label, const char* name, const char* size = "size=20") {
    return std::string("<td>") + label + "</td>\n<td><input type=\"text\" name=\"" + name + "\" value=\"\" " + size +
           " maxlength=256></td>";
  };
  switch (field) {
    case 'F': return text("Application File", "APIFile");
    case 'N': return text("Function Name", "Function");
    case 'I': return text("Init String", "InitString", "size= 20");
    case 'A': return "<td>Authentication</td>\n<td><select name=\"AuthType\" size=1><option selected value=\"Basic\">Basic<option value=\"*\">*</select></td>";
    case 'U': return text("URL Template", "URLTemplate");
    case 'P': return text("IP Address Template", "IPTemplate") + "\n<td>(Optional)</td>";
    case 'O': return text("Open Function", "OpenFunction");
    case 'W': return text("Write Function", "WriteFunction");
    case 'C': return text("Close Function", "CloseFunction");
    default: return text("Error Function", "ErrorFunction");
  }
}

TEST(RulePagesTest, ApiRequestShowsTheFieldsOfEveryStep) {
  struct Step {
    const char *query, *name, *fields;  // name null: no block
  };
  const TempDir dir("cfgout-apireq");
  const std::string main = dir.Write("proxy.conf", "# none\n");
  for (const Step& s : {Step{"1", "ServerInit", "FNI"}, Step{"2", "PreExit", "FN"}, Step{"3", "Authentication", "AFN"},
                        Step{"4", "NameTrans", "UFNP"}, Step{"5", "Authorization", "UFN"}, Step{"6", "ObjectType", "UFN"},
                        Step{"7", "Service", "UFNP"}, Step{"8", "Transmogrifier", "FOWCE"}, Step{"9", "DataFilter", "FOWC"},
                        Step{"10", "Log", "UFN"}, Step{"11", "Error", "UFN"}, Step{"12", "PostExit", "FN"},
                        Step{"13", "ServerTerm", "FN"}, Step{"14", "Midnight", "FN"}, Step{"15", "PICSDBLookup", "FN"},
                        Step{"16", "GC Advisor", "FN"}, Step{"17", "Proxy Advisor", "FN"}, Step{"018&LIST=2", "PostAuth", "FN"},
                        Step{"0", nullptr, ""}, Step{"19", nullptr, ""}, Step{"4294967300", nullptr, ""},
                        Step{"%3Cscript%3E", nullptr, ""}, Step{"-3", nullptr, ""}, Step{"abc", nullptr, ""},
                        Step{nullptr, nullptr, ""}}) {
    CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()}, {"RULE_FILE", main}};
    if (s.query != nullptr) env["QUERY_STRING"] = s.query;
    std::string block;
    if (s.name != nullptr) {
      block = "<input type=\"hidden\" name=\"APIRequest\"   value=\"" + std::string(s.name) +
              "\">\n<p>Enter the required <strong>" + s.name + "</strong> API request fields.\n<table><tr>\n";
      for (const char* f = s.fields; *f != '\0'; ++f) block += (f != s.fields ? "</tr><tr>\n" : "") + Piece(*f) + "\n";
      block += "</tr></table>\n";
    }
    EXPECT_EQ(RunFixture(env, "APIREQ", {}).out, std::string(kHeader) + "<apireq>\n" + block + "after=\n</apireq>\n")
        << (s.query ? s.query : "none");
  }
}

TEST(RulePagesTest, ApiMapping) {
  const std::string m = "# plug-ins\nServerInit /lib/init.so:start some arg\nNameTrans /cgi/* /lib/a.so:go # scripts\n"
                        "Service /svc/* /lib/s.so:run\nconfigfile @INC@\n";
  const std::string i = "# included\nNameTrans /x/* /lib/x.so:xx\nPostExit /lib/p.so:done\n";
  const std::string lastGone = "# included\nNameTrans /x/* /lib/x.so:xx\n";
  RunPageRows("APIMAP", {
      {"every API step line of both files as numbered rows", m, i, {}, {}, {},
       L({"row=<tr><td>1</td><td>ServerInit</td><td></td><td>/lib/init.so:start some arg</td></tr>",
          "row=<tr><td>4</td><td>NameTrans</td><td>/x/*</td><td>/lib/x.so:xx</td></tr>",
          "row=<tr><td>5</td><td>PostExit</td><td></td><td>/lib/p.so:done</td></tr>",
          "list=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4<OPTION>5", "help=HLPAPIMA"})},
      {"insert a NameTrans step after row 2", m, i,
       "APIRequest=NameTrans&URLTemplate=%2Fcgi%2F*&APIFile=%2Flib%2Fa.so&Function=go2&ACTION=2&LIST=2",
       Replace(m, "# scripts\n", "# scripts\nNameTrans     /cgi/*   /lib/a.so:go2\n"), {}, L({"text=T12 done", "row=<tr><td>3</td><td>NameTrans</td><td>/cgi/*</td><td>/lib/a.so:go2</td></tr>"})},
      {"insert a ServerInit step with its init string before row 1", m, i,
       "APIRequest=ServerInit&APIFile=%2Flib%2Fi.so&Function=init&InitString=a+b&ACTION=1&LIST=1",
       Replace(m, "ServerInit /lib/", "ServerInit     /lib/i.so:init a b\nServerInit /lib/")},
      {"replace row 4 (included) by a Service step with an address template", m, i,
       "APIRequest=Service&URLTemplate=%2Fy%2F*&APIFile=%2Flib%2Fy.so&Function=yy&IPTemplate=10.1.2.3&ACTION=3&LIST=4",
       {}, "# included\nService     /y/*   /lib/y.so:yy   10.1.2.3\nPostExit /lib/p.so:done\n"},
      {"delete row 3, the only Service line", m, i, "ACTION=4&LIST=3", Replace(m, "Service /svc/* /lib/s.so:run\n", "")},
      {"delete a row past the end: the last line", m, i, "ACTION=4&LIST=99", {}, lastGone},
      {"a row number beyond the int range is the last line too", m, i, "ACTION=4&LIST=99999999999999999999", {}, lastGone},
      {"delete without a row number: the first line", m, i, "ACTION=4", Replace(m, "ServerInit /lib/init.so:start some arg\n", "")},
      {"every function of a Transmogrifier, appended when there is no API line", "# none\nconfigfile @INC@\n", kIncluded,
       "APIRequest=Transmogrifier&APIFile=%2Fl&OpenFunction=o&WriteFunction=w&CloseFunction=c&ErrorFunction=e&ACTION=2",
       {}, kIncluded + "Transmogrifier     /l:o:w:c:e\n", L({"list=<OPTION SELECTED>1"})},
      {"an Authentication step", m, i, "APIRequest=Authentication&AuthType=Basic&APIFile=%2Fa.so&Function=auth&ACTION=2&LIST=5",
       {}, i + "Authentication     Basic   /a.so:auth\n",
       L({"row=<tr><td>6</td><td>Authentication</td><td>Basic</td><td>/a.so:auth</td></tr>"})},
      {"a required field missing", m, i, "APIRequest=NameTrans&URLTemplate=%2Fa&APIFile=%2Fl&ACTION=1", {}, {}, {kMissing}},
      {"no step at all", m, i, "ACTION=2&LIST=1", {}, {}, {kMissing}},
      {"an unknown step passes and writes nothing", m, i, "APIRequest=Bogus&ACTION=2", {}, {}, {kDone}},
      {"an address template that is no host is refused", m, i,
       "APIRequest=Service&URLTemplate=%2Fy&APIFile=%2Fl&Function=f&IPTemplate=a%3Ab&ACTION=2", {}, {},
       {"text=The value of field IPTEMPLATE is not valid.\ntype=3\n"}},
      {"a hostile template is written as sent and shown escaped", "# x\n", "",
       "APIRequest=Log&URLTemplate=%3Cscript%3E&APIFile=%2Fl&Function=f&ACTION=2&LIST=9", "# x\nLog     <script>   /l:f\n",
       {}, L({"row=<tr><td>1</td><td>Log</td><td>&lt;script&gt;</td><td>/l:f</td></tr>"})},
  });
}

TEST(RulePagesTest, AccessLogFilters) {
  const std::string m = "# access log filters\nAccessLogExcludeUrl /icons/*   # images\nAccessLogExcludeUrl *.gif\n"
                        "NoLog 10.0.0.*\nAccessLogExcludeMethod GET\nconfigfile @INC@\n";
  const std::string i = "# included\nNoLog *.internal\nAccessLogExcludeUserAgent *bot*\n"
                        "AccessLogExcludeMimeType image/gif\nAccessLogExcludeReturnCode 300\n";
  RunPageRows("ACCCONF", {
      {"the three lists and the check boxes", m, i, {}, {}, {},
       L({"url=<tr><td>1</td><td>/icons/*</td></tr>", "url=<tr><td>2</td><td>*.gif</td></tr>",
          "urllist=<OPTION SELECTED>1<OPTION>2", "agent=<tr><td>1</td><td>*bot*</td></tr>",
          "agentlist=<OPTION SELECTED>1", "host=<tr><td>2</td><td>*.internal</td></tr>", "b6=CHECKED", "b7=",
          "b10=CHECKED", "b11=", "b21=CHECKED", "b23=", "help=HLPACCCO"})},
      {"two URL patterns inserted after line 1, in the order typed", m, i,
       "ACTIONA=2&LISTA=1&ACCESSLOGEXCLUDEURL=%2Fa%2F*%2C+%2Fb%2F*",
       Replace(m, "# images\n", "# images\nAccessLogExcludeUrl       /a/*\nAccessLogExcludeUrl       /b/*\n"), {}, L({"urllist=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4"})},
      {"host line 2 replaced by three patterns", m, i, "ACTIONB=3&LISTB=2&NOLOG=h1+h2%0D%0Ah3", {},
       Replace(i, "NoLog *.internal\n", "NoLog       h1\nNoLog       h2\nNoLog       h3\n")},
      {"user agents: inserted, replaced and further lines have their own spacing", m, i,
       "ACTIONC=3&LISTC=1&ACCESSLOGEXCLUDEUSERAGENT=a%09b&ACTIONA=1&LISTA=0&ACCESSLOGEXCLUDEURL=u",
       Replace(m, "AccessLogExcludeUrl /icons", "AccessLogExcludeUrl       u\nAccessLogExcludeUrl /icons"),
       Replace(i, "AccessLogExcludeUserAgent *bot*\n", "AccessLogExcludeUserAgent      a\nAccessLogExcludeUserAgent       b\n")},
      {"insert before a line no row has: appended to the last file", m, i,
       "ACTIONC=1&LISTC=5&ACCESSLOGEXCLUDEUSERAGENT=crawler", {}, i + "AccessLogExcludeUserAgent        crawler\n"},
      {"deleting the only user agent line removes the directive", m, i, "ACTIONC=4&LISTC=1", {},
       Replace(i, "AccessLogExcludeUserAgent *bot*\n", ""), L({"agentlist=<OPTION>0"})},
      {"delete line 2 of the URLs", m, i, "ACTIONA=4&LISTA=2", Replace(m, "AccessLogExcludeUrl *.gif\n", "")},
      {"delete with selection 0 or past the end, replace past the end: nothing", m, i,
       "ACTIONA=4&LISTA=0&ACTIONB=4&LISTB=3&ACTIONC=3&LISTC=2&ACCESSLOGEXCLUDEUSERAGENT=x", {}, {}, {kDone}},
      {"check boxes: an empty field removes its line, a value adds it (a method upper-cased)", m, i,
       "AREMGET=&AREMPOST=post&ALEMTIG=&ALEMTTH=text%2Fhtml&ARERCFIVE=&ARERCFIVE=500&ARERCTHREE=300",
       Replace(m, "AccessLogExcludeMethod GET\n", "") + "AccessLogExcludeMethod       POST\nAccessLogExcludeMimeType       text/html\n",
       Replace(i, "AccessLogExcludeMimeType image/gif\n", "") + "AccessLogExcludeReturnCode       500\n",
       L({"b6=", "b8=CHECKED", "b10=", "b13=CHECKED", "b21=CHECKED", "b23=CHECKED"})},
      {"a hostile pattern is written as sent and shown escaped", m, i, "ACTIONA=2&LISTA=2&ACCESSLOGEXCLUDEURL=%3Cscript%3E%25s",
       Replace(m, "*.gif\n", "*.gif\nAccessLogExcludeUrl       <script>%s\n"), {}, L({"url=<tr><td>3</td><td>&lt;script&gt;%s</td></tr>"})},
      {"an unknown field stops the form; what came before it is not written back, lists not even edited", m, i,
       "AREMGET=&ACTIONA=4&LISTA=1&NOPE=1", {}, {},
       L({"text=T13 invalid: T116 unknown field NOPE", "type=3", "b6=", "url=<tr><td>1</td><td>/icons/*</td></tr>"})},
  });
}

// ---- The list pages: a main file and an include with comments in the rule lines.

const std::string kMain =
    "# proxy main file\nSuffixCaseSense off\nAddType .html text/html 8bit 1.0   # web pages\n"
    "AddType .gif image/gif binary 1.0\nAddEncoding .gz x-gzip 1.0\nDirShowIcons on\nAddDirIcon folder.gif DIR\n"
    "AddIcon image.gif IMG image/*\nWelcome index.html\nErrorPage notfound /err/404.html\n"
    "CacheLastModifiedFactor http://*/*.gif 0.50\nMap /old/* /new/*\nFail /secret/* 10.0.0.1   # blocked\n"
    "configfile @INC@\n";
const std::string kInclude =
    "# included rules\nAddType .txt text/plain 7bit 0.5 # plain\nAddEncoding .Z x-compress 1.0\n"
    "AddIcon text.gif TXT text/*\nWelcome Welcome.html 10.1.2.3\nErrorPage badrequest /err/400.html\n"
    "CacheLastModifiedFactor ftp://* 0.14\nPass /docs/* /export/docs/*  # exported\nProxy http://*\n";

// A row over kMain and kInclude: 'm' or 'i' names the file in which the
// first `from` becomes `to`; no edit: neither file changes.
PageRow Edit(std::string what, std::string body, std::string status, char file = 0, std::string_view from = {},
             std::string_view to = {}) {
  std::string text = file == 'm' ? kMain : kInclude;
  const std::size_t at = text.find(from);
  if (file != 0 && at != std::string::npos) text.replace(at, from.size(), to);
  std::optional<std::string> after = file == 0 ? std::nullopt : std::optional<std::string>(text);
  return {std::move(what), kMain, kInclude, std::move(body), file == 'm' ? after : std::nullopt,
          file == 'i' ? after : std::nullopt, {std::move(status)}};
}

PageRow Shown(std::string what, std::string main, std::vector<std::string> lines) {
  return {std::move(what), std::move(main), "", {}, {}, {}, std::move(lines)};
}

TEST(RulePagesTest, Types) {
  RunPageRows("ADDTYPE", {
      {"display", kMain, kInclude, {}, {}, {},
       L({"off=CHECKED", "on=", "row=<tr><td>1</td><td>.html</td><td>text/html</td><td>T78 8-bit</td><td>T91 1.0</td></tr>",
          "row=<tr><td>2</td><td>.gif</td><td>image/gif</td><td>T80 binary</td><td>T91 1.0</td></tr>",
          "row=<tr><td>3</td><td>.txt</td><td>text/plain</td><td>T79 7-bit</td><td>T96 0.5</td></tr>",
          "list=<OPTION SELECTED>1<OPTION>2<OPTION>3", "text=T11 ready", "help=HLPADDTY", "x="})},
      Edit("insert after row 1, four fields",
           "SUFFIXCASESENSE=off&ACTION=2&LIST=1&ADDTYPEA=.css&ADDTYPEB=text/css&ADDTYPEC=8bit&ADDTYPED=1.0&ADDTYPEE=", kDone,
           'm', "# web pages\n", "# web pages\nAddType        .css  text/css  8bit  1.0\n"),
      Edit("insert before row 3 (in the include), five fields",
           "ACTION=1&LIST=3&ADDTYPEA=.md&ADDTYPEB=text/markdown&ADDTYPEC=8bit&ADDTYPED=0.9&ADDTYPEE=utf-8", kDone, 'i',
           "AddType .txt", "AddType        .md  text/markdown  8bit  0.9  utf-8\nAddType .txt"),
      Edit("replace row 3 in place", "ACTION=3&LIST=3&ADDTYPEA=.txt&ADDTYPEB=text/plain&ADDTYPEC=8bit&ADDTYPED=1.0", kDone,
           'i', "AddType .txt text/plain 7bit 0.5 # plain\n", "AddType        .txt  text/plain  8bit  1.0\n"),
      Edit("replace a row no row has", "ACTION=3&LIST=7&ADDTYPEA=.a&ADDTYPEB=b/c&ADDTYPEC=8bit&ADDTYPED=1.0", kDone),
      Edit("delete row 2", "ACTION=4&LIST=2", kDone, 'm', "AddType .gif image/gif binary 1.0\n", ""),
      Edit("delete a row no row has", "ACTION=4&LIST=4", kDone),
      Edit("case sense on", "SUFFIXCASESENSE=on", kDone, 'm', "SuffixCaseSense off\n", "SuffixCaseSense       on\n"),
      Edit("case sense written for an empty value", "SUFFIXCASESENSE=", kDone, 'm', "SuffixCaseSense off\n",
           "SuffixCaseSense       \n"),
      Edit("insert without an encoding", "ACTION=2&LIST=1&ADDTYPEA=.css&ADDTYPEB=text/css&ADDTYPEC=&ADDTYPED=1.0", kMissing),
      Edit("replace without a type", "ACTION=3&LIST=1&ADDTYPEA=.css&ADDTYPEC=8bit&ADDTYPED=1.0", kMissing),
      Edit("suffix without its dot", "SUFFIXCASESENSE=on&ADDTYPEA=css&ADDTYPEB=text/css&ADDTYPEC=8bit&ADDTYPED=1.0&ACTION=2",
           "text=T13 invalid: T17 bad suffix\ntype=3\n"),
      Shown("hostile values", "AddType .x\"> <b>x</b> 8bit 1.0\n",
            L({"row=<tr><td>1</td><td>.x&quot;&gt;</td><td>&lt;b&gt;x&lt;/b&gt;</td><td>T78 8-bit</td><td>T91 1.0</td></tr>"})),
  });
}

TEST(RulePagesTest, Encodings) {
  RunPageRows("ADDENCOD", {
      {"display", kMain, kInclude, {}, {}, {},
       L({"off=CHECKED", "row=<tr><td>1</td><td>.gz</td><td>x-gzip</td><td>T91 1.0</td></tr>",
          "row=<tr><td>2</td><td>.Z</td><td>x-compress</td><td>T91 1.0</td></tr>", "list=<OPTION SELECTED>1<OPTION>2",
          "help=HLPADDEN", "text=T11 ready"})},
      Edit("insert after row 2", "ACTION=2&LIST=2&ADDEXTENSION=.br&ADDENCODING=br&QUALITY=0.9", kDone, 'i',
           "x-compress 1.0\n", "x-compress 1.0\nAddEncoding       .br  br  0.9\n"),
      Edit("insert before row 1", "ACTION=1&ADDEXTENSION=.bz2&ADDENCODING=x-bzip2&QUALITY=1.0", kDone, 'm',
           "AddEncoding .gz", "AddEncoding       .bz2  x-bzip2  1.0\nAddEncoding .gz"),
      Edit("insert without an extension is ignored", "ACTION=2&LIST=1&ADDEXTENSION=&ADDENCODING=br&QUALITY=1", kDone),
      Edit("insert without a quality", "ACTION=2&LIST=1&ADDEXTENSION=.br&ADDENCODING=br&QUALITY=", kMissing),
      Edit("replace row 1", "ACTION=3&LIST=1&ADDEXTENSION=.gz&ADDENCODING=gzip&QUALITY=1.0", kDone, 'm',
           "AddEncoding .gz x-gzip 1.0\n", "AddEncoding       .gz  gzip  1.0\n"),
      Edit("replace needs a row number", "ACTION=3&LIST=0&ADDEXTENSION=.gz&ADDENCODING=gzip&QUALITY=1.0", kMissing),
      Edit("replace a row no row has", "ACTION=3&LIST=3&ADDEXTENSION=.gz&ADDENCODING=gzip&QUALITY=1.0", kMissing),
      Edit("delete row 2", "ACTION=4&LIST=2", kDone, 'i', "AddEncoding .Z x-compress 1.0\n", ""),
      Edit("empty case sense is not written", "SUFFIXCASESENSE=", kDone),
      Edit("case sense", "SUFFIXCASESENSE=on", kDone, 'm', "SuffixCaseSense off\n", "SuffixCaseSense       on\n"),
      Edit("extension without its dot", "ACTION=2&ADDEXTENSION=gz&ADDENCODING=gzip&QUALITY=1",
           "text=T13 invalid: T10 bad extension\ntype=3\n"),
      {"deleting the only line removes the directive", kMain, "# nothing\n", "ACTION=4&LIST=1",
       Replace(kMain, "AddEncoding .gz x-gzip 1.0\n", ""), {}, {kDone}},
  });
}

TEST(RulePagesTest, DirectoryIcons) {
  RunPageRows("DIRICONS", {
      {"display", kMain, kInclude, {}, {}, {},
       L({"show=CHECKED", "dir=folder.gif", "dir-text=DIR", "dir-path=/cpicons/folder.gif", "parent=dir-up.gif",
          "parent-text=UP", "parent-path=", "unknown=unknown.gif", "unknown-text=???", "blank=blank.gif", "blank-text=",
          "blank-path=", "row=<tr><td>1</td><td>image.gif</td><td>IMG</td><td>image/*</td></tr>",
          "row=<tr><td>2</td><td>text.gif</td><td>TXT</td><td>text/*</td></tr>", "list=<OPTION SELECTED>1<OPTION>2",
          "help=HLPDIRIC", "text=T11 ready"})},
      {"show flag and special icons", kMain, kInclude,
       "DirShowIcons=off&ADDDIRICONA=/icons/dir.png&ADDDIRICON=Folder&ADDPARENTICONA=up.gif&ADDPARENTICON=&"
       "ADDBLANKICONA=blank.gif&ADDBLANKICON=&ACTION=2&LIST=1&ADDICONURL=&ADDICONTEXT=&ADDICONTYPE=",
       Replace(Replace(kMain, "DirShowIcons on\nAddDirIcon folder.gif DIR\n",
                       "DirShowIcons       off\nAddDirIcon       /icons/dir.png Folder\n"),
               "configfile @INC@\n", "configfile @INC@\nAddBlankIcon       blank.gif \n"),
       {}, {kDone}},
      Edit("unchanged special icon keeps its line", "ADDDIRICONA=folder.gif&ADDDIRICON=DIR", kDone),
      Edit("insert before row 2", "ACTION=1&LIST=2&ADDICONURL=doc.gif&ADDICONTEXT=DOC&ADDICONTYPE=application/*", kDone,
           'i', "AddIcon text.gif", "AddIcon       doc.gif DOC application/*\nAddIcon text.gif"),
      Edit("replace row 1", "ACTION=3&LIST=1&ADDICONURL=pic.gif&ADDICONTEXT=PIC&ADDICONTYPE=image/*", kDone, 'm',
           "AddIcon image.gif IMG image/*\n", "AddIcon       pic.gif PIC image/*\n"),
      Edit("incomplete entry", "ACTION=2&LIST=1&ADDICONURL=x.gif&ADDICONTEXT=X", kMissing),
      Edit("delete row 2", "ACTION=4&LIST=2", kDone, 'i', "AddIcon text.gif TXT text/*\n", ""),
      Edit("markup in an icon URL", "ADDDIRICONA=%3Cb%3E.gif&ADDDIRICON=DIR", "text=T13 invalid: T8 bad dir icon url\ntype=3\n"),
      Shown("hostile values", "AddDirIcon \"><b>.gif DIR\nAddIcon <i>.gif & x/*\n",
            L({"dir=&gt;&lt;b&gt;.gif", "dir-path=/cpicons/&quot;&gt;&lt;b&gt;.gif",
               "row=<tr><td>1</td><td>&lt;i&gt;.gif</td><td>&amp;</td><td>x/*</td></tr>"})),
  });
}

TEST(RulePagesTest, WelcomeAndErrorPages) {
  RunPageRows("INITPAGE", {
      {"display", kMain, kInclude, {}, {}, {},
       L({"row=<tr><td>1</td><td>index.html</td></tr>", "row=<tr><td>2</td><td>Welcome.html</td><td>10.1.2.3</td></tr>",
          "list=<OPTION SELECTED>1<OPTION>2", "help=HLPINITP", "text=T11 ready"})},
      Edit("insert after row 2 with an address", "ACTION=2&LIST=2&WELCOME=home.html&IPADDRESS=10.1.2.4", kDone, 'i',
           "10.1.2.3\n", "10.1.2.3\nWelcome    home.html 10.1.2.4\n"),
      Edit("insert before row 1", "ACTION=1&LIST=1&WELCOME=default.htm", kDone, 'm', "Welcome index.html\n",
           "Welcome    default.htm\nWelcome index.html\n"),
      Edit("replace row 2", "ACTION=3&LIST=2&WELCOME=start.html&IPADDRESS=10.9.9.9", kDone, 'i',
           "Welcome Welcome.html 10.1.2.3\n", "Welcome    start.html 10.9.9.9\n"),
      Edit("delete row 1", "ACTION=4&LIST=1", kDone, 'm', "Welcome index.html\n", ""),
      Edit("delete without a row number", "ACTION=4", kDone),
      Edit("empty file name is ignored", "ACTION=2&LIST=1&WELCOME=&IPADDRESS=10.1.1.1", kDone),
      Edit("file name with a colon", "ACTION=2&WELCOME=c:index.html", "text=The value of field WELCOME is not valid.\ntype=3\n"),
      Edit("bad address", "ACTION=2&WELCOME=a.html&IPADDRESS=-x", "text=The value of field IPADDRESS is not valid.\ntype=3\n"),
  });
  RunPageRows("ERRCUST", {
      {"display", kMain, kInclude, {}, {}, {},
       L({"row=<tr><td>1</td><td>notfound</td><td>/err/404.html</td></tr>",
          "row=<tr><td>2</td><td>badrequest</td><td>/err/400.html</td></tr>", "list=<OPTION SELECTED>1<OPTION>2",
          "help=HLPERRCU", "text=T11 ready"})},
      Edit("insert after row 1", "ACTION=2&LIST=1&ERRORPAGEA=forbidden&ERRORPAGEB=/err/403.html", kDone, 'm',
           "/err/404.html\n", "/err/404.html\nErrorPage        forbidden /err/403.html\n"),
      Edit("replace row 2", "ACTION=3&LIST=2&ERRORPAGEA=badrequest&ERRORPAGEB=/e/400.html", kDone, 'i',
           "ErrorPage badrequest /err/400.html\n", "ErrorPage        badrequest /e/400.html\n"),
      Edit("delete row 1", "ACTION=4&LIST=1", kDone, 'm', "ErrorPage notfound /err/404.html\n", ""),
      Edit("insert without a page", "ACTION=1&LIST=1&ERRORPAGEA=forbidden", kMissing),
      Edit("replace without a condition", "ACTION=3&LIST=1&ERRORPAGEB=/x.html", kMissing),
      Edit("line breaks in a value stay in the line", "ACTION=2&LIST=2&ERRORPAGEA=a&ERRORPAGEB=b%0APort+99", kDone, 'i',
           "/err/400.html\n", "/err/400.html\nErrorPage        a b Port 99\n"),
      Shown("hostile values", "ErrorPage '><x /e&.html\n",
            L({"row=<tr><td>1</td><td>&#39;&gt;&lt;x</td><td>/e&amp;.html</td></tr>"})),
  });
}

TEST(RulePagesTest, LastModifiedFactors) {
  RunPageRows("LMF", {
      {"display", kMain, kInclude, {}, {}, {},
       L({"row=<tr><td>1</td><td>http://*/*.gif</td><td>0.50</td></tr>", "row=<tr><td>2</td><td>ftp://*</td><td>0.14</td></tr>",
          "list=<OPTION SELECTED>1<OPTION>2",
          "fraction=<OPTION>off<OPTION>0.00<OPTION>0.02<OPTION>0.04<OPTION>0.06<OPTION>0.08<OPTION>0.10<OPTION>0.12"
          "<OPTION SELECTED>0.14<OPTION>0.16<OPTION>0.18<OPTION>0.20<OPTION>0.25<OPTION>0.30<OPTION>0.35<OPTION>0.40"
          "<OPTION>0.45<OPTION>0.50<OPTION>0.55<OPTION>0.60<OPTION>0.65<OPTION>0.70<OPTION>0.75<OPTION>0.80<OPTION>0.85"
          "<OPTION>0.90<OPTION>0.95<OPTION>1.00<OPTION>1.10<OPTION>1.20<OPTION>1.25<OPTION>1.30<OPTION>1.40<OPTION>1.50"
          "<OPTION>1.60<OPTION>1.70<OPTION>1.75<OPTION>1.80<OPTION>1.90<OPTION>2.00<OPTION>2.25<OPTION>2.50<OPTION>2.75"
          "<OPTION>3.00<OPTION>3.50<OPTION>4.00<OPTION>4.50<OPTION>5.00\nstatus[{",  // printed once
          "help=HLPLMF", "text=T11 ready"})},
      Edit("insert before row 2", "ACTION=1&LIST=2&CACHELASTMODIFIEDPATTERN=http://*/*.png&CACHELASTMODIFIEDFRACTION=0.20",
           kDone, 'i', "CacheLastModifiedFactor ftp", "CacheLastModifiedFactor   http://*/*.png   0.20\nCacheLastModifiedFactor ftp"),
      Edit("insert without a fraction is ignored", "ACTION=2&LIST=1&CACHELASTMODIFIEDPATTERN=http://*", kDone),
      Edit("replace without a fraction", "ACTION=3&LIST=1&CACHELASTMODIFIEDPATTERN=http://*", kMissing),
      Edit("replace row 1 with a decimal comma",
           "ACTION=3&LIST=1&CACHELASTMODIFIEDPATTERN=http://*/*.gif&CACHELASTMODIFIEDFRACTION=0%2C25", kDone, 'm',
           "CacheLastModifiedFactor http://*/*.gif 0.50\n", "CacheLastModifiedFactor   http://*/*.gif   0.25\n"),
      Edit("delete row 2", "ACTION=4&LIST=2", kDone, 'i', "CacheLastModifiedFactor ftp://* 0.14\n", ""),
  });
  // Under a locale with a decimal comma the fractions are character references.
  const TempDir dir("cfgout-lmf");
  const CgiResult r = RunFixture({{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()}, {"LANG", "de_DE.UTF-8"},
                                  {"RULE_FILE", dir.Write("proxy.conf", "# none\n")}}, "LMF", {});
  EXPECT_NE(r.out.find("\nfraction=<OPTION>off<OPTION>0&#44&#48&#48<OPTION>0&#44&#48&#50"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("<OPTION>0&#44&#49&#50<OPTION SELECTED>0&#44&#49&#52<OPTION>"), std::string::npos);
  EXPECT_NE(r.out.find("<OPTION>5&#44&#48&#48\nstatus[{\n"), std::string::npos);  // the line once
}

TEST(RulePagesTest, MappingRules) {
  RunPageRows("MPFRULE", {
      {"display", kMain, kInclude, {}, {}, {},
       L({"row=<tr><td>1</td><td>T82 map</td><td>/old/*</td><td>/new/*</td></tr>",
          "row=<tr><td>2</td><td>T84 fail</td><td>/secret/*</td><td></td><td>10.0.0.1</td></tr>",
          "row=<tr><td>3</td><td>T83 pass</td><td>/docs/*</td><td>/export/docs/*</td></tr>",
          "row=<tr><td>4</td><td>T87 proxy</td><td>http://*</td></tr>",
          "list=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4", "help=HLPMPFRU", "text=T11 ready"})},
      Edit("insert after row 1, keyword offered with an asterisk",
           "ACTION=2&LIST=1&ACTIONA=*+Pass&URLTEMPLATE=/pub/*&FILEPATH=/export/pub/*&IPADDRESS=", kDone, 'm', "/new/*\n",
           "/new/*\nPass       /pub/*  /export/pub/*\n"),
      Edit("fail rule with an address before row 3",
           "ACTION=1&LIST=3&ACTIONA=Fail&URLTEMPLATE=/private/*&FILEPATH=&IPADDRESS=10.0.0.2", kDone, 'i', "Pass /docs/*",
           "Fail       /private/*     10.0.0.2\nPass /docs/*"),
      Edit("replace row 3 by another keyword, in place", "ACTION=3&LIST=3&ACTIONA=Map&URLTEMPLATE=/docs/*&FILEPATH=/srv/docs/*",
           kDone, 'i', "Pass /docs/* /export/docs/*  # exported\n", "Map       /docs/*  /srv/docs/*\n"),
      Edit("proxy rule needs no replacement", "ACTION=2&LIST=4&ACTIONA=Proxy&URLTEMPLATE=ftp://*&FILEPATH=", kDone, 'i',
           "Proxy http://*\n", "Proxy http://*\nProxy       ftp://*  \n"),
      Edit("delete row 2", "ACTION=4&LIST=2", kDone, 'm', "Fail /secret/* 10.0.0.1   # blocked\n", ""),
      Edit("a row number past the list selects the last rule", "ACTION=4&LIST=9", kDone, 'i', "Proxy http://*\n", ""),
      Edit("delete without a row number", "ACTION=4&LIST=0", kDone),
      Edit("no template", "ACTION=2&LIST=1&ACTIONA=Map&FILEPATH=/x", "text=T40 no template\ntype=3\n"),
      {"no fields at all", kMain, kInclude, "", {}, {}, {"text=T40 no template\ntype=3\n"}},
      Edit("no replacement", "ACTION=2&LIST=1&ACTIONA=Map&URLTEMPLATE=/a/*", "text=T59 no replacement\ntype=3\n"),
      Edit("keyword that is no mapping rule, shown escaped", "ACTION=2&LIST=1&ACTIONA=%3Cb%3EPort&URLTEMPLATE=/a&FILEPATH=/b",
           "text=The rule keyword &lt;b&gt;Port is not a mapping rule keyword\ntype=3\n"),
      Edit("bad replacement", "ACTION=2&ACTIONA=Map&URLTEMPLATE=/a/*&FILEPATH=/a/%3Cb%3E",
           "text=T13 invalid: T90 bad replacement\ntype=3\n"),
      Shown("hostile rule shown escaped", "Map /<script>/* /x&y\n",
            L({"row=<tr><td>1</td><td>T82 map</td><td>/&lt;script&gt;/*</td><td>/x&amp;y</td></tr>"})),
  });
}

// ---- The protection list (DOCAUTOS) and form (PROTECT): whole pages.

std::string ProtStatus(std::string_view text, std::string_view type, std::string_view help = "HLPDOCAU",
                       std::string_view topic = {}) {
  return "status[" + Status(text, type, help, topic) + "]\nextra=\n";
}

std::string ListPage(const std::vector<std::string>& rows, const std::string& status) {
  std::string out = std::string(kHeader) + "<list>\n", options = rows.empty() ? "<OPTION>0" : "";
  for (std::size_t k = 0; k < rows.size(); ++k) {
    out += "row " + rows[k] + "\n";
    options += (k == 0 ? "<OPTION SELECTED>" : "<OPTION>") + std::to_string(k + 1);
  }
  return out + "options=[" + options + "]\n" + status + "</list>\n";
}

// The protection form: markers 0-9, the password group (p0-p7) and the
// certificate group (s0-s11, its check box s12, s13), each left out when empty.
std::string FormPage(const std::vector<std::string>& values, std::vector<std::string> pass, std::vector<std::string> ssl) {
  static const char* const kNames[] = {"action", "form", "cert", "pass", "list", "template", "setup", "address", "posted", "named"};
  std::string out = std::string(kHeader) + "<protect>\n";
  for (std::size_t k = 0; k < 10; ++k) out += std::string(kNames[k]) + "=" + values[k] + "\n";
  const auto group = [](const char* tag, char prefix, std::vector<std::string> items, std::size_t n) {
    if (items.empty()) return std::string();
    items.resize(n);
    std::string g = std::string("<") + tag + ">\n";
    for (std::size_t k = 0; k < n; ++k) g += prefix + std::to_string(k) + "=" + items[k] + "\n";
    return g + "</" + tag + ">\n";
  };
  if (!ssl.empty()) ssl.resize(12), ssl.push_back("T17 box  ");
  return out + "passpro[" + group("pass", 'p', std::move(pass), 8) + "]\nnone=\nsslpro[" + group("ssl", 's', std::move(ssl), 14) +
         "]\n" + ProtStatus("T11 ready", "0", "HLPPROTE", "hltprote") + "</protect>\n";
}

TEST(RulePagesTest, Protection) {
  const std::string config = "# protections\nProtect /abc/* A FOR 10.*\nProtection A {\n  Mask All\n"
                             "  PasswdFile \"/etc/a b.pw\"\n}\nProtect /b/* {\n  GetMask g\n}\nPass /*\n";
  const std::string r1 = "<tr><td>1</td><td>/abc/*</td><td>A</td><td>10.*</td></tr>", r2 = "<tr><td>2</td><td>/b/*</td></tr>";
  const std::string ready = ProtStatus("T11 ready", "0"), done = ProtStatus("T12 done", "1", "HLPDOCAU", "hltdocau");
  const std::string noB = "# protections\nProtect /abc/* A FOR 10.*\nProtection A {\n  Mask All\n  PasswdFile \"/etc/a b.pw\"\n}\nPass /*\n";
  const auto list = [&](std::string what, std::string body, std::string status) {
    return PageRow{std::move(what), config, "", std::move(body), {}, {}, {ListPage({r1, r2}, status)}};
  };
  const auto form = [&](std::string what, std::string body, std::optional<std::string> after, std::vector<std::string> rows) {
    return PageRow{std::move(what), config, "", std::move(body), std::move(after), {}, {ListPage(rows, done)}};
  };
  RunPageRows("DOCAUTOS", {
      {"list display", config, "", {}, {}, {}, {ListPage({r1, r2}, ready)}},
      {"delete from the list", config, "", "ACTION=4&LIST=2&PROTECTA=&PUSHBUTTON=Continue", noB, {},
       {ListPage({r1}, ProtStatus("T12 done", "1"))}},
      list("insert without a template", "ACTION=1&LIST=1&PROTECTA=", ProtStatus("T2 ports missing", "3")),
      list("insert of a template that begins an existing one", "ACTION=2&LIST=1&PROTECTA=%2Fa", ProtStatus("T21 duplicate", "3")),
      list("rejected address", "ACTION=1&LIST=1&PROTECTA=%2Fn%2F*&IPADDRESS=a%3Ab",
           ProtStatus("The value of field IPADDRESS is not valid.", "3")),
      list("rejected template", "ACTION=1&LIST=1&PROTECTA=%2Fa+b", ProtStatus("The value of field PROTECTA is not valid.", "3")),
      list("named setup without its name", "ACTION=1&LIST=1&PROTECTA=%2Fs%2F*&ACTIONA=2&PROTFILE=",
           ProtStatus("T41 no setup name", "3", "HLPPROTE", "hltprote")),
      {"insert request shows the empty form", config, "",
       "ACTION=1&LIST=1&PROTECTA=%2Fnew%2F*&IPADDRESS=&ACTIONA=1&PROTFILE=%3Cb%3E&ACTIONC=1&ACTIONB=1", {}, {},
       {FormPage({"1", "1", "1", "1", "1", "/new/*", "&lt;b&gt;", "", "/new/*", ""}, {"", ""}, {""})}},
      {"edit request shows the setup the row names", config, "", "ACTION=3&LIST=1&PROTECTA=%2Fabc%2F*&ACTIONA=1&ACTIONC=1", {},
       {}, {FormPage({"3", "1", "", "1", "1", "/abc/*", "", "", "/abc/*", ""}, {"", "&#34;/etc/a b.pw&#34;", "", "", "", "", "All"}, {})}},
      {"named setup request shows its name and record", config, "",
       "ACTION=2&LIST=2&PROTECTA=%2Fs%2F*&ACTIONA=2&PROTFILE=A&ACTIONB=1", {}, {},
       {FormPage({"2", "2", "1", "", "2", "/s/*", "A", "", "/s/*", "T16 setup <td>A"}, {}, {""})}},
      {"values from the configuration are escaped", "Protect /a&b/* \"<i>\" FOR x<y\nProtection \"<i>\" {\n Mask <All>\n CommonName a\"b\n}\n",
       "", {}, {}, {}, {ListPage({"<tr><td>1</td><td>/a&amp;b/*</td><td>&quot;&lt;i&gt;&quot;</td><td>x&lt;y</td></tr>"}, ready)}},
      {"and in the form", "Protect /a&b/* \"<i>\" FOR x<y\nProtection \"<i>\" {\n Mask <All>\n CommonName a\"b\n}\n", "",
       "ACTION=3&LIST=1&PROTECTA=%2Fa%26b%2F*&ACTIONA=1&ACTIONC=1&ACTIONB=1", {}, {},
       {FormPage({"3", "1", "1", "1", "1", "/a&amp;b/*", "", "", "/a&amp;b/*", ""}, {"", "", "", "", "", "", "&lt;All&gt;"},
                 {"a&quot;b"})}},
  });
  RunPageRows("PROTECT", {
      form("insert before, inline with password",
           "ACTION=1&ACTIONA=1&ACTIONB=&ACTIONC=1&LIST=1&PROTECTA=%2Fnew%2F*&PROTFILE=&IPADDRESS=&SERVERID=Realm"
           "&PASSWDFILE=%2Fetc%2Fp.pw&GROUPFILE=&GETMASK=All&PUTMASK=&DELETEMASK=&MASK=&PUSHBUTTON=Apply",
           "# protections\nProtect  /new/*  {\n      PasswdFile   /etc/p.pw\n      PostMask     All\n"
           "      GetMask      All\n      AuthType     Basic\n      ServerID     Realm\n}\n" + config.substr(14),
           {"<tr><td>1</td><td>/new/*</td></tr>", "<tr><td>2</td><td>/abc/*</td><td>A</td><td>10.*</td></tr>",
            "<tr><td>3</td><td>/b/*</td></tr>"}),
      form("insert after, named setup with address",
           "ACTION=2&ACTIONA=2&ACTIONC=1&LIST=2&PROTECTA=%2Fs%2F*&PROTFILE=S&IPADDRESS=10.1.*&GETMASK=G&MASK=M",
           "# protections\nProtection  S  {\n      Mask         M\n      PostMask     G\n      GetMask      G\n"
           "      AuthType     Basic\n}\n" + config.substr(14, config.size() - 22) + "Protect  /s/*  S  FOR 10.1.*\nPass /*\n",
           {r1, r2, "<tr><td>3</td><td>/s/*</td><td>S</td><td>10.1.*</td></tr>"}),
      form("edit in place", "ACTION=3&ACTIONA=1&ACTIONC=&LIST=1&PROTECTA=%2Fabc%2F*&MASK=All%40(*)",
           "# protections\nProtect  /abc/*  {\n      Mask         All@(*)\n      AuthType     None\n}\n" + config.substr(40),
           {"<tr><td>1</td><td>/abc/*</td></tr>", r2}),
      form("delete", "ACTION=4&ACTIONA=1&LIST=2&PROTECTA=", noB, {r1}),
      form("client certificate",
           "ACTION=2&ACTIONA=1&ACTIONB=1&LIST=2&PROTECTA=%2Fc%2F*&sslclientauth=Off&sslclientauth=On&COMMONNAME=A+B"
           "&ISSUERORGUNIT=IT&COUNTRY=",
           config.substr(0, config.size() - 8) +
               "Protect  /c/*  {\n      IssuerOrgUnit   IT\n      CommonName   \"A B\"\n      SSL_ClientAuth  client\n"
               "      Mask         Anybody@(*)\n      AuthType     None\n}\nPass /*\n",
           {r1, r2, "<tr><td>3</td><td>/c/*</td></tr>"}),
      {"a password file without a path is refused", config, "",
       "ACTION=1&ACTIONA=1&ACTIONC=1&LIST=1&PROTECTA=%2Fz%2F*&PASSWDFILE=rel.pw", {}, {},
       {ListPage({r1, r2}, ProtStatus("T13 invalid: T169 bad password file", "3", "HLPDOCAU", "hltdocau"))}},
      {"a GET changes nothing", config, "", {}, {}, {}, {ListPage({r1, r2}, done)}},
  });
  // A block without its closing line is never rewritten; shown for editing it carries a warning.
  const std::string open = "Protect /a/* A\nProtect /u/* {\n Mask x\nPass /*\n";
  const std::string unclosed = "The protection /u/* has no closing line in its configuration file; correct the file by "
                               "hand before changing it.";
  RunPageRows("DOCAUTOS", {{"delete", open, "", "ACTION=4&LIST=2", {}, {}, {"text=" + unclosed + "\ntype=3\n"}},
                           {"edit", open, "", "ACTION=3&LIST=2&PROTECTA=%2Fu%2F*&ACTIONA=1&ACTIONC=1", {}, {},
                            {"p6=x\n", "text=" + unclosed + "\ntype=2\n"}}});
  RunPageRows("PROTECT", {{"change", open, "", "ACTION=3&ACTIONA=1&LIST=2&PROTECTA=%2Fu%2F*&MASK=y", {}, {},
                           {"text=" + unclosed + "\ntype=3\n"}}});
  // The inserts are no pages of their own.
  RunPageRows("PASSPRO", {{"GET", config, "", {}, {}, {}, {"text=T9 no page [PASSPRO]\ntype=3\n"}}});
  RunPageRows("SSLPRO", {{"GET", config, "", {}, {}, {}, {"text=T9 no page [SSLPRO]\ntype=3\n"}}});
}

}  // namespace
}  // namespace cfgout::testing
