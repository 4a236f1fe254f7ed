// The proxy mapping, upstream proxy, proxied protocol, cache cleaning,
// directory listing, log file, log archive and SNMP pages as a black box:
// each row runs cfgout_fixture over a main file and one included file, with
// a GET or a posted form, and compares both files byte for byte and a piece
// of the page exactly.
//
// The fixture's page templates are marker lines ("m<k>=%s", "status[%s]");
// its catalogue texts start with "T<n>" (tests/cgi/bundles).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

struct PageCase {
  const char* what;
  const char* main;      // main file; "@INC@" stands for the included file's path
  const char* inc;       // the included file
  const char* body;      // posted form; null = GET
  const char* wantMain;  // main file afterwards; null = unchanged (not rewritten)
  const char* wantInc;   // included file afterwards; null = unchanged
  const char* wantPage;  // exact piece of the page
  const char* package = "3";
};

// The status block of a page whose help page is `help`.
std::string Status(std::string_view text, std::string_view type, std::string_view help) {
  return "status[{\ntext=" + std::string(text) + "\ntype=" + std::string(type) + "\nhelp=" + std::string(help) +
         "\nflag=false\n}\n]\n";
}

void Replace(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// Runs every row of `cases` against the page `page`.
void RunPageCases(const char* page, const std::vector<PageCase>& cases) {
  for (const PageCase& c : cases) {
    SCOPED_TRACE(std::string(page) + ": " + c.what);
    const TempDir dir("cfgout-pages");
    const std::string incPath = dir / "inc.conf";
    std::string main = c.main;
    Replace(main, "@INC@", incPath);
    const std::string mainPath = dir.Write("proxy.conf", main);
    dir.Write("inc.conf", c.inc);
    CgiEnvironment env{{"PACKAGE_TYPE", c.package}, {"SERVER_ROOT", dir.path()},
                       {"REQUEST_METHOD", c.body ? "POST" : "GET"}, {"PATH_INFO", std::string("/") + page},
                       {"RULE_FILE", mainPath}};
    if (c.body) env["CONTENT_LENGTH"] = std::to_string(std::string_view(c.body).size());
    const CgiResult r = RunCgi(CFGOUT_FIXTURE_BINARY, env, c.body ? c.body : "");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    std::string wantMain = c.wantMain ? c.wantMain : c.main;
    Replace(wantMain, "@INC@", incPath);
    EXPECT_EQ(dir.Read("proxy.conf"), wantMain);
    EXPECT_EQ(dir.Read("inc.conf"), c.wantInc ? c.wantInc : c.inc);
    EXPECT_NE(r.out.find(c.wantPage), std::string::npos) << "want:\n" << c.wantPage << "\npage:\n" << r.out;
  }
}

const std::string kReadyMap = Status("T11 ready", "0", "HLPPROXM");
const std::string kDoneMap = Status("T12 done", "1", "HLPPROXM");

constexpr const char* kMapMain =
    "# main\nCacheOnly http://a/*\nNoCaching http://b/* # keep\nCacheQueries always http://q/*\nconfigfile @INC@\n";
constexpr const char* kMapInc = "CacheQueries public http://r/*\nNoCaching http://c/*\n";
constexpr const char* kMapRows =
    "m1=<tr><td>1</td><td>T104 cache only</td><td>http://a/*</td></tr>\n"
    "m1=<tr><td>2</td><td>T105 no caching</td><td>http://b/*</td></tr>\n"
    "m1=<tr><td>3</td><td>T105 no caching</td><td>http://c/*</td></tr>\n"
    "m2=<OPTION SELECTED>1<OPTION>2<OPTION>3\n"
    "m3=<tr><td>1</td><td>T107 always</td><td>http://q/*</td></tr>\n"
    "m3=<tr><td>2</td><td>T106 public</td><td>http://r/*</td></tr>\n"
    "m4=<OPTION SELECTED>1<OPTION>2\n";

TEST(ProxyMappingPageTest, DisplayAndEveryAction) {
  const std::string full = "<proxmap>\nm0=<T176 hidden>\n<T177 box CHECKED>" + std::string(kMapRows) + kReadyMap +
                           "extra=\n</proxmap>\n";
  const std::string noLocal =
      "m0=<!-- CacheLocalDomain not supported in this version of the product -->\n" + std::string(kMapRows);
  RunPageCases("PROXMAP", {
      {"display", kMapMain, kMapInc, nullptr, nullptr, nullptr, full.c_str()},
      {"display without local domain", kMapMain, kMapInc, nullptr, nullptr, nullptr, noLocal.c_str(), "1"},
      {"local domain off is shown clear", "# m\nCacheLocalDomain off\n", "", nullptr, nullptr, nullptr,
       "<T177 box >m2=<OPTION>0\n"},
      {"local domain written", kMapMain, kMapInc, "CacheLocalDomain=off&CacheLocalDomain=on&PUSHBUTTON=Apply",
       "# main\nCacheOnly http://a/*\nNoCaching http://b/* # keep\nCacheQueries always http://q/*\n"
       "configfile @INC@\nCacheLocalDomain       on\n",
       nullptr, "<T177 box CHECKED>m1=<tr><td>1</td>"},
      {"local domain emptied is removed", "# m\nCacheLocalDomain on\n", "", "CacheLocalDomain=", "# m\n", nullptr,
       "<T177 box CHECKED>m2=<OPTION>0\n"},
      {"add patterns after the last of their keyword, known ones dropped", kMapMain, kMapInc,
       "CACHEONLY=http%3A%2F%2Fd%2F*%2C+http%3A%2F%2Fb%2F*&ACTIONB=NoCaching&ACTIONA=1", nullptr,
       "CacheQueries public http://r/*\nNoCaching http://c/*\nNoCaching                    http://d/*\n",
       "m1=<tr><td>4</td><td>T105 no caching</td><td>http://d/*</td></tr>\nm2=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4\n"},
      {"add with action 2 and CacheOnly", kMapMain, kMapInc, "ACTIONA=2&ACTIONB=CacheOnly&CACHEONLY=e+f",
       "# main\nCacheOnly http://a/*\nCacheOnly                    e\nCacheOnly                    f\n"
       "NoCaching http://b/* # keep\nCacheQueries always http://q/*\nconfigfile @INC@\n",
       nullptr, kDoneMap.c_str()},
      {"add with another keyword writes nothing", kMapMain, kMapInc, "ACTIONA=1&ACTIONB=Port&CACHEONLY=80", nullptr,
       nullptr, kDoneMap.c_str()},
      {"delete row 3, counted over both keywords and files", kMapMain, kMapInc, "ACTIONA=4&LIST=3", nullptr,
       "CacheQueries public http://r/*\n", "m2=<OPTION SELECTED>1<OPTION>2\n"},
      {"delete row 2", kMapMain, kMapInc, "LIST=2&ACTIONA=4",
       "# main\nCacheOnly http://a/*\nCacheQueries always http://q/*\nconfigfile @INC@\n", nullptr, kDoneMap.c_str()},
      {"delete without a row", kMapMain, kMapInc, "ACTIONA=4", nullptr, nullptr, kDoneMap.c_str()},
      {"query rules inserted before row 2, in text order", kMapMain, kMapInc,
       "ACTIONC=1&LISTC=2&ACTION=always&CACHEQUERIES=http%3A%2F%2Fx%2F*%2Chttp%3A%2F%2Fy%2F*", nullptr,
       "CacheQueries     always  http://x/*\nCacheQueries     always  http://y/*\nCacheQueries public http://r/*\n"
       "NoCaching http://c/*\n",
       "m3=<tr><td>2</td><td>T107 always</td><td>http://x/*</td></tr>\n"},
      {"query rule inserted after the first row when none is chosen", kMapMain, kMapInc,
       "ACTIONC=2&ACTION=public&CACHEQUERIES=http%3A%2F%2Fz%2F*",
       "# main\nCacheOnly http://a/*\nNoCaching http://b/* # keep\nCacheQueries always http://q/*\n"
       "CacheQueries     public  http://z/*\nconfigfile @INC@\n",
       nullptr, kDoneMap.c_str()},
      {"query rules go to the end when there is none", "# main\nconfigfile @INC@\n", "# inc\n",
       "ACTIONC=2&LISTC=1&ACTION=always&CACHEQUERIES=a", nullptr, "# inc\nCacheQueries     always  a\n",
       "m4=<OPTION SELECTED>1\n"},
      {"insert needs a mode word", kMapMain, kMapInc, "ACTIONC=1&CACHEQUERIES=a", nullptr, nullptr, kDoneMap.c_str()},
      {"change row 2 in place, further patterns after it", kMapMain, kMapInc,
       "ACTIONC=3&LISTC=2&ACTION=always&CACHEQUERIES=http%3A%2F%2Fc2%2F*+http%3A%2F%2Fc3%2F*", nullptr,
       "CacheQueries     always  http://c2/*\nCacheQueries     always  http://c3/*\nNoCaching http://c/*\n",
       kDoneMap.c_str()},
      {"change of a missing row does nothing", kMapMain, kMapInc, "ACTIONC=3&LISTC=9&ACTION=always&CACHEQUERIES=a",
       nullptr, nullptr, kDoneMap.c_str()},
      {"delete query row 1", kMapMain, kMapInc, "ACTIONC=4&LISTC=1",
       "# main\nCacheOnly http://a/*\nNoCaching http://b/* # keep\nconfigfile @INC@\n", nullptr,
       "m3=<tr><td>1</td><td>T106 public</td><td>http://r/*</td></tr>\nm4=<OPTION SELECTED>1\n"},
      {"delete query rule needs a row", kMapMain, kMapInc, "ACTIONC=4", nullptr, nullptr, kDoneMap.c_str()},
      {"unknown field: message, nothing written", kMapMain, kMapInc, "CacheLocalDomain=off&BOGUS=1&ACTIONA=4&LIST=1",
       nullptr, nullptr, "text=T13 invalid: T116 unknown field BOGUS\ntype=3\n"},
      {"hostile pattern stored raw, shown escaped", "# m\n", "", "ACTIONA=1&ACTIONB=NoCaching&CACHEONLY=%22%3E%3Cscript%3E%25s",
       "# m\nNoCaching                    \"><script>%s\n", nullptr,
       "m1=<tr><td>1</td><td>T105 no caching</td><td>&quot;&gt;&lt;script&gt;%s</td></tr>\n"},
  });
}

TEST(UpstreamProxyPageTest, DisplayAndWrites) {
  constexpr const char* kMain = "# main\nhttp_proxy http://old:8080/\nhttp_proxy http://up:8080/ /a/*\nconfigfile @INC@\n";
  constexpr const char* kInc = "ftp_proxy http://f:21/\nno_proxy .example.com, intranet\n";
  // One-value occurrences show their rest of line untrimmed (the line end
  // as a blank); the three-field http_proxy line is not shown.
  const std::string shown = "<proxprox>\nm0=\nm1=http://f:21/ \nm2=http://old:8080/ \nm3=.example.com, intranet\n" +
                            Status("T11 ready", "0", "HLPPROXP");
  RunPageCases("PROXPROX", {
      {"display", kMain, kInc, nullptr, nullptr, nullptr, shown.c_str()},
      {"every field", kMain, kInc,
       "HTTPPROXY=http%3A%2F%2Fnew%3A3128%2F&FTPPROXY=&GOPHERPROXY=http%3A%2F%2Fg%3A70%2F&NOPROXY=localhost&PUSHBUTTON=Apply",
       "# main\nhttp_proxy     http://new:3128/\nhttp_proxy http://up:8080/ /a/*\nconfigfile @INC@\n"
       "gopher_proxy     http://g:70/\n",
       "no_proxy     localhost\n", "m0=http://g:70/ \nm1=\nm2=http://new:3128/ \nm3=localhost\n"},
      {"empty no_proxy removes it, an empty proxy keeps longer rules", kMain, kInc, "NOPROXY=+&HTTPPROXY=",
       "# main\nhttp_proxy http://up:8080/ /a/*\nconfigfile @INC@\n", "ftp_proxy http://f:21/\n",
       "m2=\nm3=\n"},
      {"bad URL: message, nothing written", kMain, kInc, "NOPROXY=x&HTTPPROXY=http%3A%2F%2Fa+b%2F", nullptr, nullptr,
       "text=T13 invalid: T112 bad http proxy\ntype=3\n"},
      {"hostile value stored raw (trimmed), shown escaped", kMain, kInc, "NOPROXY=+%22%3E%3Cscript%3E%25s+", nullptr,
       "ftp_proxy http://f:21/\nno_proxy     \"><script>%s\n", "m3=&gt;&lt;script&gt;%s\n"},
  });
}

TEST(ProxiedProtocolsPageTest, DisplayAndWrites) {
  constexpr const char* kMain = "# main\nPass /icons/* /srv/icons/*\nDisable CONNECT\nconfigfile @INC@\n";
  constexpr const char* kInc = "MaxContentLengthBuffer 100 K\nProxyAccessLog /logs/proxy.log\n";
  const std::string shown = "<proxserv>\nm0=\nm1=\nm2=\nm3=\nm4=100\nm5=SELECTED\nm6=\nm7=/logs/proxy.log\n" +
                            Status("T11 ready", "0", "HLPPROXS");
  constexpr const char* kTwoRules = "# m\nProxy http:*\nProxy http:* 10.0.0.1\nPass /x/*\nProxy GOPHER:*\n";
  RunPageCases("PROXSERV", {
      {"display", kMain, kInc, nullptr, nullptr, nullptr, shown.c_str()},
      {"display of rules and units", "# m\nProxy http:* 10.0.0.1\nProxy GOPHER:*\nconfigfile @INC@\n",
       "MaxContentLengthBuffer 5 M\nSSLTunneling on\n", nullptr, nullptr,
       nullptr, "m0=CHECKED\nm1=\nm2=CHECKED\nm3=CHECKED\nm4=5\nm5=\nm6=SELECTED\n"},
      {"every field: first Proxy rule before Pass, CONNECT enabled in place", kMain, kInc,
       "HTTPPROTOCOL=&HTTPPROTOCOL=http%3A*&FTPPROTOCOL=&GOPHERPROTOCOL=&SSLTunneling=off&SSLTunneling=on"
       "&MAXCONTENTLENGTHBUFFER=200&BUFFERSIZEUNIT=M&ProxyAccessLog=&PUSHBUTTON=Apply",
       "# main\nProxy    http:*\nPass /icons/* /srv/icons/*\nEnable     CONNECT\nconfigfile @INC@\n"
       "SSLTunneling       on\n",
       "MaxContentLengthBuffer       200 M\n", "m0=CHECKED\nm1=\nm2=\nm3=CHECKED\nm4=200\nm5=\nm6=SELECTED\nm7=\n"},
      {"unticked removes the plain rule only; a new rule follows the last", kTwoRules, "",
       "HTTPPROTOCOL=&FTPPROTOCOL=ftp%3A*&GOPHERPROTOCOL=gopher%3A*",
       "# m\nProxy http:* 10.0.0.1\nPass /x/*\nProxy GOPHER:*\nProxy   ftp:*\n", nullptr,
       "m0=CHECKED\nm1=CHECKED\nm2=CHECKED\n"},
      {"tunnelling on adds Enable CONNECT after the last Disable", "# m\nDisable PUT\nDisable DELETE\nPort 80\n", "",
       "SSLTUNNELING=ON", "# m\nDisable PUT\nDisable DELETE\nEnable     CONNECT\nPort 80\nSSLTUNNELING       ON\n",
       nullptr, "m3=CHECKED\n"},
      {"tunnelling on with CONNECT enabled adds nothing", "# m\nEnable connect\n", "", "SSLTunneling=on",
       "# m\nEnable connect\nSSLTunneling       on\n", nullptr, "m3=CHECKED\n"},
      {"a buffer size without unit changes nothing", kMain, kInc, "MAXCONTENTLENGTHBUFFER=7&BUFFERSIZEUNIT=", nullptr,
       nullptr, "m4=100\n"},
      {"buffer size out of range: message, nothing written", kMain, kInc,
       "ProxyAccessLog=%2Fnew.log&MAXCONTENTLENGTHBUFFER=0&BUFFERSIZEUNIT=K", nullptr, nullptr,
       "text=T13 invalid: T141 bad buffer size\ntype=3\n"},
      {"hostile configuration value shown escaped", "# m\nProxyAccessLog <b>%s&amp;\n", "", nullptr, nullptr, nullptr,
       "m7=&lt;b&gt;%s&amp;amp;\n"},
  });
}

TEST(CacheCleaningPageTest, DisplayAndEveryAction) {
  constexpr const char* kMain = "# main\nCacheClean 2 days\nCacheMaxExpiry http://a/* 3 days\nconfigfile @INC@\n";
  constexpr const char* kInc = "CacheMaxExpiry http://b/* 1 weeks\n";
  const std::string shown =
      "<proxtime>\nm0=2\nm1=\nm2=\nm3=SELECTED\nm4=\nm5=\nm6=\n"
      "m7=<tr><td>1</td><td>http://a/*</td><td>3 T72 days</td></tr>\n"
      "m7=<tr><td>2</td><td>http://b/*</td><td>1 T73 weeks</td></tr>\n"
      "m8=<OPTION SELECTED>1<OPTION>2\n" +
      Status("T11 ready", "0", "HLPPROXT");
  const std::string empty = "<proxtime>\nm0=\nm1=\nm2=SELECTED\nm3=\nm4=\nm5=\nm6=\nm8=<OPTION>0\n";
  constexpr const char* kRow = "&CACHEMAXEXPIRYURL=http%3A%2F%2Fc%2F*&CACHEMAXEXPIRYTIME=4&TIMEUNITB=hours";
  const std::string insertAfter = std::string("CACHECLEANTIME=2&TIMEUNITA=days&ACTIONB=2&LISTB=1") + kRow;
  const std::string insertBefore = std::string("CACHECLEANTIME=2&TIMEUNITA=days&ACTIONB=1&LISTB=2") + kRow;
  const std::string change = std::string("CACHECLEANTIME=2&TIMEUNITA=days&ACTIONB=3&LISTB=2") + kRow;
  const std::string noTime = "CACHECLEANTIME=2&TIMEUNITA=days&ACTIONB=1&CACHEMAXEXPIRYURL=x&CACHEMAXEXPIRYTIME=";
  RunPageCases("PROXTIME", {
      {"display", kMain, kInc, nullptr, nullptr, nullptr, shown.c_str()},
      {"display without directives: weeks, no rows", "# m\n", "", nullptr, nullptr, nullptr, empty.c_str()},
      {"interval rewritten in place", kMain, kInc, "CACHECLEANTIME=+5&TIMEUNITA=hours&PUSHBUTTON=Apply",
       "# main\nCacheClean 5 hours\nCacheMaxExpiry http://a/* 3 days\nconfigfile @INC@\n", nullptr,
       "m0=5\nm1=\nm2=\nm3=\nm4=SELECTED\n"},
      {"interval appended at the end when absent", "# m\nconfigfile @INC@\n", "# i\n", "CACHECLEANTIME=1&TIMEUNITA=weeks", nullptr,
       "# i\nCacheClean 1 weeks\n", "m0=1\n"},
      {"empty interval removes it", kMain, kInc, "CACHECLEANTIME=&TIMEUNITA=weeks",
       "# main\nCacheMaxExpiry http://a/* 3 days\nconfigfile @INC@\n", nullptr, "m0=\n"},
      {"insert after row 1", kMain, kInc, insertAfter.c_str(),
       "# main\nCacheClean 2 days\nCacheMaxExpiry http://a/* 3 days\nCacheMaxExpiry   http://c/*  4  hours\n"
       "configfile @INC@\n",
       nullptr, "m7=<tr><td>2</td><td>http://c/*</td><td>4 T71 hours</td></tr>\n"},
      {"insert before row 2, in the included file", kMain, kInc, insertBefore.c_str(), nullptr,
       "CacheMaxExpiry   http://c/*  4  hours\nCacheMaxExpiry http://b/* 1 weeks\n", "m8=<OPTION SELECTED>1"},
      {"change row 2 only", kMain, kInc, change.c_str(), nullptr, "CacheMaxExpiry   http://c/*  4  hours\n",
       "m7=<tr><td>1</td><td>http://a/*</td><td>3 T72 days</td></tr>\n"},
      {"delete row 2", kMain, kInc, "CACHECLEANTIME=2&TIMEUNITA=days&ACTIONB=4&LISTB=2", nullptr, "",
       "m8=<OPTION SELECTED>1\n"},
      {"delete without a row takes the first", kMain, kInc, "CACHECLEANTIME=2&TIMEUNITA=days&ACTIONB=4",
       "# main\nCacheClean 2 days\nconfigfile @INC@\n", nullptr, "m7=<tr><td>1</td><td>http://b/*</td>"},
      {"insert without a time does nothing", kMain, kInc, noTime.c_str(), nullptr, nullptr,
       "text=T12 done\ntype=1\n"},
      {"bad interval: message, nothing written", kMain, kInc, "CACHECLEANTIME=soon&TIMEUNITA=days&ACTIONB=4",
       nullptr, nullptr, "text=T13 invalid: T87 bad clean time\ntype=3\n"},
      {"hostile configuration value shown escaped", "# m\nCacheMaxExpiry \"><script>%s 1 days\n", "", nullptr,
       nullptr, nullptr, "m7=<tr><td>1</td><td>&quot;&gt;&lt;script&gt;%s</td><td>1 T72 days</td></tr>\n"},
  });
}

TEST(DirectoryListingPageTest, DisplayAndWrites) {
  constexpr const char* kMain = "# main\nDirShowBytes on\nDirShowHidden off\nconfigfile @INC@\n";
  constexpr const char* kInc = "DirShowMaxLength 40\n";
  const std::string shown =
      "<listcnts>\nm0=CHECKED\nm1=CHECKED\nm2=CHECKED\nm3=CHECKED\nm4=\nm5=CHECKED\nm6=25\nm7=15\nm8=40\n" +
      Status("T11 ready", "0", "HLPLISTC");
  RunPageCases("LISTCNTS", {
      {"display", kMain, kInc, nullptr, nullptr, nullptr, shown.c_str()},
      {"defaults: every box but bytes set", "# m\n", "", nullptr, nullptr, nullptr,
       "m0=CHECKED\nm1=CHECKED\nm2=CHECKED\nm3=\nm4=CHECKED\nm5=CHECKED\nm6=25\nm7=15\nm8=25\n"},
      {"every field is its directive", kMain, kInc,
       "DirShowDate=off&DirShowBytes=off&DirShowBytes=on&DirShowHidden=off&DirShowHidden=on&DirShowMaxLength="
       "&DirShowMinLength=10&PUSHBUTTON=Apply",
       "# main\nDirShowBytes on\nDirShowHidden       on\nconfigfile @INC@\nDirShowDate       off\n"
       "DirShowMinLength       10\n",
       "", "m0=\nm1=CHECKED\nm2=CHECKED\nm3=CHECKED\nm4=CHECKED\nm5=CHECKED\nm6=25\nm7=10\nm8=25\n"},
      {"length out of range: message, nothing written", kMain, kInc, "DirShowDate=off&DirShowMaxLength=2", nullptr,
       nullptr, "text=T13 invalid: T70 bad name length\ntype=3\n"},
      {"hostile configuration value shown escaped", "# m\nDirShowMaxDescrLength \"><script>%s\n", "", nullptr,
       nullptr, nullptr, "m6=&gt;&lt;script&gt;%s\n"},
  });
}

TEST(LogFilesPageTest, DisplayAndWrites) {
  constexpr const char* kMain = "# main\nLogToSysLog on\nconfigfile @INC@\n";
  constexpr const char* kInc = "AccessLog /logs/access\nErrorLog /logs/error\n";
  const std::string shown =
      "<logfiles>\nm0=CHECKED\nm1=\nm2=\nm3=/logs/access\nm4=/logs/error\nm5=\n" + Status("T11 ready", "0", "HLPLOGFI");
  RunPageCases("LOGFILES", {
      {"display", kMain, kInc, nullptr, nullptr, nullptr, shown.c_str()},
      {"the log fields are written, others ignored", kMain, kInc,
       "LogToSysLog=off&ErrorLog=&EventLog=%2Flogs%2Fevent&LogToGUI=on&ProxyAccessLog=%2Fp&CacheAccessLog=%2Fc"
       "&AccessLog=%2Flogs%2Fa2&HostName=other&PUSHBUTTON=Apply",
       "# main\nLogToSysLog       off\nconfigfile @INC@\nEventLog       /logs/event\nLogToGUI       on\n"
       "ProxyAccessLog       /p\nCacheAccessLog       /c\n",
       "AccessLog       /logs/a2\n", "m0=\nm1=/p\nm2=/c\nm3=/logs/a2\nm4=\nm5=/logs/event\n"},
      {"bad file name: message, nothing written", kMain, kInc, "ErrorLog=&AccessLog=c%3A%2Flog", nullptr, nullptr,
       "text=T13 invalid: T1 bad access log\ntype=3\n"},
      {"hostile configuration value shown escaped", "# m\nEventLog /x/\"><script>%s\n", "", nullptr, nullptr,
       nullptr, "m5=/x/&quot;&gt;&lt;script&gt;%s\n"},
  });
}

TEST(LogArchivePageTest, DisplayAndWrites) {
  constexpr const char* kMain = "# main\nLogArchive purge\nconfigfile @INC@\n";
  constexpr const char* kInc = "PurgeAge 7\nCompressCommand gzip -9 %s\n";
  const std::string shown = "<archive>\nm0=\nm1=SELECTED\nm2=\nm3=7\nm4=0\nm5=0\nm6=0\nm7=gzip -9 %s\n" +
                            Status("T11 ready", "0", "HLPARCHI");
  RunPageCases("ARCHIVE", {
      {"display", kMain, kInc, nullptr, nullptr, nullptr, shown.c_str()},
      {"the last LogArchive decides", "# m\nLogArchive purge\nLogArchive COMPRESS\n", "", nullptr, nullptr, nullptr,
       "m0=SELECTED\nm1=\nm2=\n"},
      {"none and unknown words select NONE", "# m\nLogArchive none\nLogArchive sometimes\n", "", nullptr, nullptr,
       nullptr, "m0=\nm1=\nm2=SELECTED\n"},
      {"no directive selects NONE", "# m\n", "", nullptr, nullptr, nullptr, "m0=\nm1=\nm2=SELECTED\nm3=0\n"},
      {"the archive fields are written, others ignored", kMain, kInc,
       "LogArchive=Compress&PurgeAge=&PurgeSize=50&CompressAge=3&CompressDeleteAge=9&CompressCommand=bzip2+-9"
       "&HostName=other&PUSHBUTTON=Apply",
       "# main\nLogArchive       Compress\nconfigfile @INC@\nPurgeSize       50\nCompressAge       3\n"
       "CompressDeleteAge       9\n",
       "CompressCommand       bzip2 -9\n", "m0=SELECTED\nm1=\nm2=\nm3=0\nm4=50\nm5=3\nm6=9\nm7=bzip2 -9\n"},
      {"age out of range: message, nothing written", kMain, kInc, "LogArchive=None&PurgeAge=-1", nullptr, nullptr,
       "text=T13 invalid: T185 bad purge age\ntype=3\n"},
      {"hostile command stored raw, shown escaped", kMain, kInc, "CompressCommand=%3Cb%3E+%22%25s%22", nullptr,
       "PurgeAge 7\nCompressCommand       <b> \"%s\"\n", "m7=&lt;b&gt; &quot;%s\n"},
  });
}

TEST(SnmpPageTest, DisplayAndWrites) {
  constexpr const char* kMain = "# main\nSNMP on\nconfigfile @INC@\n";
  constexpr const char* kInc = "SNMPCommunity secret\n";
  const std::string shown = "<snmpmib>\nm0=CHECKED\nm1=secret\nm2=webmaster\n" + Status("T11 ready", "0", "HLPSNMPM");
  RunPageCases("SNMPMIB", {
      {"display", kMain, kInc, nullptr, nullptr, nullptr, shown.c_str()},
      {"defaults", "# m\n", "", nullptr, nullptr, nullptr, "m0=\nm1=public\nm2=webmaster\n"},
      {"switch written with fixed keywords, empty fields removed", kMain, kInc,
       "SNMPENABLED=off&SNMPCOMMUNITY=&WEBMASTEREMAIL=root%40example.com&PUSHBUTTON=Apply",
       "# main\nSNMP       off\nconfigfile @INC@\nWebMasterEMail       root@example.com\n", "",
       "m0=\nm1=public\nm2=root@example.com\n"},
      {"an empty switch is still written", kMain, kInc, "SNMPENABLED=",
       "# main\nSNMP       \nconfigfile @INC@\n", nullptr, "m0=\n"},
      {"unknown field: message, nothing written", kMain, kInc, "SNMPENABLED=off&NOSUCH=1", nullptr, nullptr,
       "text=T13 invalid: T116 unknown field NOSUCH\ntype=3\n"},
      {"hostile value stored raw, shown escaped", kMain, kInc, "SNMPCOMMUNITY=%22%3E%3Cscript%3E%25s", nullptr,
       "SNMPCommunity       \"><script>%s\n", "m1=&gt;&lt;script&gt;%s\n"},
  });
}

// The shipped templates: every marker filled, every label tied to a control
// of the page, the configuration's values in their controls.
TEST(ShippedTemplatesTest, EveryPageShowsItsValuesWithLabelledControls) {
  struct Shown {
    const char* page;
    const char* title;
    const char* control;  // a piece of the page showing a configured value
  };
  const std::vector<Shown> pages = {
      {"PROXMAP", "Proxy mapping", "<tr><td>1</td><td>Do not cache</td><td>http://ads/*</td></tr>"},
      {"PROXPROX", "Upstream proxies", R"(name="HTTPPROXY" value="http://up:8080/ ")"},
      {"PROXSERV", "Proxied protocols", R"(name="HTTPPROTOCOL" value="http:*" CHECKED>)"},
      {"PROXTIME", "Cache cleaning and maximum expiry", "<td>http://news/*</td><td>2 days</td>"},
      {"LISTCNTS", "Directory listings", R"(name="DirShowMaxLength" value="40")"},
      {"LOGFILES", "Log files", R"(name="ErrorLog" value="/logs/error")"},
      {"ARCHIVE", "Log archiving", R"(<option value="Purge" SELECTED>)"},
      {"SNMPMIB", "SNMP", R"(name="SNMPCOMMUNITY" value="&lt;secret&gt;")"},
  };
  const TempDir dir("cfgout-shipped");
  const std::string config = dir.Write(
      "proxy.conf",
      "NoCaching http://ads/*\nhttp_proxy http://up:8080/\nProxy http:*\nCacheMaxExpiry http://news/* 2 days\n"
      "DirShowMaxLength 40\nErrorLog /logs/error\nLogArchive purge\nSNMPCommunity <secret>\n");
  for (const Shown& p : pages) {
    SCOPED_TRACE(p.page);
    const CgiResult r = RunCgi(CFGOUT_BINARY, {{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()},
                                               {"REQUEST_METHOD", "GET"}, {"PATH_INFO", std::string("/") + p.page},
                                               {"RULE_FILE", config}});
    EXPECT_NE(r.out.find("<title>" + std::string(p.title) + " - Proxy configuration</title>"), std::string::npos);
    EXPECT_NE(r.out.find(p.control), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"(<p class="status-message">Ready</p>)"), std::string::npos);
    EXPECT_EQ(r.out.find("%s"), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("</html>\n"));
    for (std::size_t at = r.out.find(" for=\""); at != std::string::npos; at = r.out.find(" for=\"", at + 1)) {
      const std::size_t end = r.out.find('"', at + 6);
      const std::string id = r.out.substr(at + 6, end - at - 6);
      EXPECT_NE(r.out.find(" id=\"" + id + "\""), std::string::npos) << "label for " << id;
    }
  }
}

}  // namespace
}  // namespace cfgout::testing
