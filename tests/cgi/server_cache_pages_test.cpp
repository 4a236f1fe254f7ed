// The timeout, performance, proxy behaviour, proxy caching, cache expiry and
// garbage collection pages as a black box, one table row per request: the
// configuration in (a main file and the file it includes), the fields
// posted (none for a GET), the files expected afterwards and the marker
// lines expected on the page.
//
// cfgout_fixture reads the small bundles under tests/cgi/bundles: each page
// is "m<k>=%s" per marker, "status[%s]" and "extra=%s"; the test catalogue's
// texts start with "T<n>".

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

// "<OPTION>lo" ... "<OPTION>hi", the `selected` one as "<OPTION SELECTED>n".
std::string Options(int lo, int hi, int selected) {
  std::string out;
  for (int n = lo; n <= hi; ++n) out += (n == selected ? "<OPTION SELECTED>" : "<OPTION>") + std::to_string(n);
  return out;
}

// The hours, minutes and seconds lists of a time-out starting at marker k.
std::string Span(int k, int h, int m, int s) {
  return "m" + std::to_string(k) + "=" + Options(0, 23, h) + "\nm" + std::to_string(k + 1) + "=" + Options(0, 59, m) +
         "\nm" + std::to_string(k + 2) + "=" + Options(0, 59, s) + "\n";
}

// The status block of the fixture's HAPARMS template.
std::string Status(std::string_view text, std::string_view type, std::string_view help) {
  return "status[{\ntext=" + std::string(text) + "\ntype=" + std::string(type) + "\nhelp=" + std::string(help) +
         "\nflag=false\n}\n]\n";
}

constexpr const char* kUnchanged = "\x01unchanged";
constexpr std::string_view kDone = "T12 done";
constexpr std::string_view kReady = "T11 ready";

struct PageCase {
  const char* what;
  const char* page;
  const char* package;       // PACKAGE_TYPE
  std::string main;          // "@INC@" stands for the included file's path
  std::string include;
  std::string body;          // empty: a GET
  std::string mainAfter = kUnchanged;
  std::string includeAfter = kUnchanged;
  std::vector<std::string> shown = {};  // each must occur in the page
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.page << ": " << c.what; }

class ServerCachePagesTest : public ::testing::TestWithParam<PageCase> {};

std::string Replace(std::string text, std::string_view from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST_P(ServerCachePagesTest, Request) {
  const PageCase& c = GetParam();
  const TempDir dir("cfgout-server-pages");
  const std::string inc = dir / "included.conf";
  const std::string main = dir.Write("proxy.conf", Replace(c.main, "@INC@", inc));
  WriteFile(inc, c.include);
  CgiEnvironment env{{"PACKAGE_TYPE", c.package}, {"SERVER_ROOT", dir.path()},
                     {"PATH_INFO", std::string("/") + c.page}, {"RULE_FILE", main},
                     {"REQUEST_METHOD", c.body.empty() ? "GET" : "POST"}};
  if (!c.body.empty()) env["CONTENT_LENGTH"] = std::to_string(c.body.size());
  const CgiResult r = RunCgi(CFGOUT_FIXTURE_BINARY, env, c.body);

  EXPECT_EQ(r.exitStatus, 0) << c.what;
  EXPECT_EQ(ReadFile(main), Replace(c.mainAfter == kUnchanged ? c.main : c.mainAfter, "@INC@", inc)) << c.what;
  EXPECT_EQ(ReadFile(inc), c.includeAfter == kUnchanged ? c.include : c.includeAfter) << c.what;
  for (const std::string& expected : c.shown) EXPECT_NE(r.out.find(expected), std::string::npos) << c.what << "\nmissing: " << expected << "\nin:\n" << r.out;
  EXPECT_EQ(r.out.find("<script>"), std::string::npos) << c.what;
}

std::string Name(const ::testing::TestParamInfo<PageCase>& info) {
  std::string name = std::string(info.param.page) + "_" + std::to_string(info.index);
  return name;
}

// ---- Timeouts ---------------------------------------------------------------------

const PageCase kTimeoutCases[] = {
    {.what = "display: last occurrence of each, parsed by its unit letters; 90 seconds selects nothing",
     .page = "TIMEOUT", .package = "3",
     .main = "InputTimeout 1 hour\nInputTimeout 2 minutes\nReadTimeout 90 seconds\nconfigfile @INC@\n",
     .include = "ScriptTimeout 1 hour 30 minutes 5 sec\nPersistTimeout 2 days\n",
     .body = "",
     .shown = {Span(0, 0, 2, 0) + Span(3, 0, 0, 90) + Span(6, 0, 0, 0) + Span(9, 1, 30, 5) + Span(12, 0, 0, 0) +
               Status(kReady, "0", "HLPTIMEO")}},
    {.what = "each posted span replaces, removes (all zero) or is left alone (not posted)",
     .page = "TIMEOUT", .package = "3",
     .main = "# t\nInputTimeout 2 minutes\nOutputTimeout 20 minutes\nReadTimeout 1 minute\nconfigfile @INC@\n",
     .include = "OutputTimeout 5 minutes\nScriptTimeout 1 hour\n",
     .body = "INPUTTIMEOUTHRS=1&INPUTTIMEOUTMINS=0&INPUTTIMEOUTSECS=00&OUTPUTTIMEOUTHRS=0&OUTPUTTIMEOUTMINS=0"
             "&OUTPUTTIMEOUTSECS=0&SCRIPTTIMEOUTHRS=0&SCRIPTTIMEOUTMINS=5&SCRIPTTIMEOUTSECS=30"
             "&PERSISTTIMEOUTSECS=7&PUSHBUTTON=Apply",
     .mainAfter = "# t\nInputTimeout         1 hours \nReadTimeout 1 minute\nconfigfile @INC@\n"
                  "PersistTimeout       7 seconds \n",
     .includeAfter = "ScriptTimeout        5 minutes 30 seconds \n",
     .shown = {Span(0, 1, 0, 0) + Span(3, 0, 1, 0) + Span(6, 0, 0, 0) + Span(9, 0, 5, 30) + Span(12, 0, 0, 7) +
               Status(kDone, "1", "HLPTIMEO")}},
    {.what = "an unknown field is refused: nothing written",
     .page = "TIMEOUT", .package = "3",
     .main = "InputTimeout 2 minutes\n", .include = "",
     .body = "INPUTTIMEOUTHRS=3&BOGUS=1",
     .shown = {Status("T13 invalid: T116 unknown field BOGUS", "3", "HLPTIMEO")}},
    {.what = "a hostile value is written as one line and shows as nothing selected",
     .page = "TIMEOUT", .package = "3",
     .main = "# t\n", .include = "",
     .body = "READTIMEOUTHRS=%25s%22%3E%3Cscript%3E%0APort+1",
     .mainAfter = "# t\nReadTimeout          %s\"><script> Port 1 hours \n",
     .shown = {Span(3, 1, 0, 0)}},
};
INSTANTIATE_TEST_SUITE_P(Timeout, ServerCachePagesTest, ::testing::ValuesIn(kTimeoutCases), Name);

// ---- Performance ------------------------------------------------------------------

const PageCase kPerformaCases[] = {
    {.what = "display defaults", .page = "PERFORMA", .package = "3", .main = "# none\n", .include = "", .body = "",
     .shown = {"m0=128\nm1=100\n" + Span(2, 0, 0, 0) + "m5=5\n" + Status(kReady, "0", "HLPPERFO")}},
    {.what = "display from both files, escaped",
     .page = "PERFORMA", .package = "3",
     .main = "ListenBacklog \"><script>%s\nconfigfile @INC@\n",
     .include = "MaxActiveThreads 80\nPersistTimeout 1 minute 5 seconds\nMaxPersistRequest 9\n", .body = "",
     .shown = {"m0=&gt;&lt;script&gt;%s\nm1=80\n" + Span(2, 0, 1, 5) + "m5=9\n"}},
    {.what = "package row 0 caps the threads at 40: the cap is written with a warning",
     .page = "PERFORMA", .package = "0",
     .main = "configfile @INC@\n", .include = "MaxActiveThreads 20\n", .body = "MaxActiveThreads=80",
     .includeAfter = "MaxActiveThreads       40\n",
     .shown = {"m1=40\n", Status("T186 capped at 40", "2", "HLPPERFO")}},
    {.what = "package row 0 takes 40 itself", .page = "PERFORMA", .package = "0",
     .main = "configfile @INC@\n", .include = "MaxActiveThreads 20\n", .body = "MaxActiveThreads=40",
     .includeAfter = "MaxActiveThreads       40\n", .shown = {Status(kDone, "1", "HLPPERFO")}},
    {.what = "package row 2 caps at 100: 80 is written", .page = "PERFORMA", .package = "2",
     .main = "configfile @INC@\n", .include = "MaxActiveThreads 20\n", .body = "MaxActiveThreads=80",
     .includeAfter = "MaxActiveThreads       80\n", .shown = {Status(kDone, "1", "HLPPERFO")}},
    {.what = "package row 2 caps 101 at 100", .page = "PERFORMA", .package = "2",
     .main = "# p\n", .include = "", .body = "MaxActiveThreads=101",
     .mainAfter = "# p\nMaxActiveThreads       100\n", .shown = {Status("T186 capped at 100", "2", "HLPPERFO")}},
    {.what = "package row 3 has no cap; a new backlog follows", .page = "PERFORMA", .package = "3",
     .main = "# p\n", .include = "", .body = "MaxActiveThreads=5000&ListenBacklog=256",
     .mainAfter = "# p\nMaxActiveThreads       5000\nListenBacklog       256\n",
     .shown = {"m0=256\nm1=5000\n", Status(kDone, "1", "HLPPERFO")}},
    {.what = "empty backlog removes, empty threads keeps, requests replace, zero span removes",
     .page = "PERFORMA", .package = "3",
     .main = "ListenBacklog 64\nMaxActiveThreads 50\nconfigfile @INC@\n",
     .include = "ListenBacklog 32\nMaxPersistRequest 9\nPersistTimeout 4 seconds\n",
     .body = "ListenBacklog=&MaxActiveThreads=&MaxPersistRequest=7&PERSISTTIMEOUTHRS=0&PERSISTTIMEOUTMINS=0"
             "&PERSISTTIMEOUTSECS=0&PUSHBUTTON=Apply",
     .mainAfter = "MaxActiveThreads 50\nconfigfile @INC@\n", .includeAfter = "MaxPersistRequest       7\n",
     .shown = {"m0=128\nm1=50\n" + Span(2, 0, 0, 0) + "m5=7\n"}},
    {.what = "a backlog over 999 is refused", .page = "PERFORMA", .package = "3",
     .main = "ListenBacklog 64\n", .include = "", .body = "MaxPersistRequest=3&ListenBacklog=1000",
     .shown = {Status("T13 invalid: T133 backlog range", "3", "HLPPERFO")}},
};
INSTANTIATE_TEST_SUITE_P(Performa, ServerCachePagesTest, ::testing::ValuesIn(kPerformaCases), Name);

// ---- Proxy behaviour --------------------------------------------------------------

const std::string kBehaMain = "ContinueCaching 50\nAggressiveCaching http://a/*\nconfigfile @INC@\n";
const std::string kBehaInclude =
    "AggressiveCaching http://b/* # note\nProxyIgnoreNoCache on\nCacheByIncomingUrl yes\n";

const PageCase kProxbehaCases[] = {
    {.what = "display with reload control and a list over both files",
     .page = "PROXBEHA", .package = "3", .main = kBehaMain, .include = kBehaInclude, .body = "",
     .shown = {"m0=T180 row\nT181 box CHECKEDm1=50\nm2=CHECKED\nm3=<tr><td>1</td><td>http://a/*</td></tr>\n"
               "m3=<tr><td>2</td><td>http://b/*</td></tr>\nm4=<OPTION SELECTED>1<OPTION>2\n" +
               Status(kReady, "0", "HLPPROXB")}},
    {.what = "display for a package without the reload control, empty list",
     .page = "PROXBEHA", .package = "0", .main = "# none\n", .include = "", .body = "",
     .shown = {"m0=<!-- ProxyIgnoreNoCache not supported in this version of the product -->\nm1=75\nm2=\n"
               "m4=<OPTION>0\n"}},
    {.what = "add: a listed pattern is dropped, the new one follows the last instance; fields written",
     .page = "PROXBEHA", .package = "3", .main = kBehaMain, .include = kBehaInclude,
     .body = "ProxyIgnoreNoCache=off&ContinueCaching=&CacheByIncomingUrl=off&CacheByIncomingUrl=on&ACTIONA=1"
             "&LIST=1&AggressiveCaching=http%3A%2F%2Fc%2F*%2C+http%3A%2F%2Fa%2F*%0D%0Ahttp%3A%2F%2Fd%2F*",
     .mainAfter = "AggressiveCaching http://a/*\nconfigfile @INC@\n",
     .includeAfter = "AggressiveCaching http://b/* # note\nAggressiveCaching            http://c/*\n"
                     "AggressiveCaching            http://d/*\nProxyIgnoreNoCache       off\n"
                     "CacheByIncomingUrl       on\n",
     .shown = {"m0=T180 row\nT181 box m1=75\n", "m3=<tr><td>4</td><td>http://d/*</td></tr>\n",
               Status(kDone, "1", "HLPPROXB")}},
    {.what = "delete row 2, which stands in the included file",
     .page = "PROXBEHA", .package = "3", .main = kBehaMain, .include = kBehaInclude,
     .body = "ContinueCaching=60&ACTIONA=4&LIST=2&AggressiveCaching=",
     // The replaced first line of the file is followed by the new first line.
     .mainAfter = "AggressiveCaching http://a/*\nContinueCaching       60\nconfigfile @INC@\n",
     .includeAfter = "ProxyIgnoreNoCache on\nCacheByIncomingUrl yes\n",
     .shown = {"m1=60\n", "m3=<tr><td>1</td><td>http://a/*</td></tr>\nm4=<OPTION SELECTED>1\n"}},
    {.what = "delete beyond the last row removes nothing", .page = "PROXBEHA", .package = "3",
     .main = kBehaMain, .include = kBehaInclude, .body = "ACTIONA=4&LIST=3",
     .shown = {Status(kDone, "1", "HLPPROXB")}},
    {.what = "a percentage over 100 is refused: the earlier add is not written",
     .page = "PROXBEHA", .package = "3", .main = kBehaMain, .include = kBehaInclude,
     .body = "ACTIONA=1&AggressiveCaching=http%3A%2F%2Fz%2F*&ContinueCaching=101",
     .shown = {Status("T13 invalid: T57 continue caching range", "3", "HLPPROXB")}},
    {.what = "a hostile pattern is stored as sent and shown escaped", .page = "PROXBEHA", .package = "3",
     .main = "# b\n", .include = "", .body = "ACTIONA=2&AggressiveCaching=%22%3E%3Cscript%3E%25s",
     .mainAfter = "# b\nAggressiveCaching            \"><script>%s\n",
     .shown = {"m3=<tr><td>1</td><td>&quot;&gt;&lt;script&gt;%s</td></tr>\n"}},
};
INSTANTIATE_TEST_SUITE_P(Proxbeha, ServerCachePagesTest, ::testing::ValuesIn(kProxbehaCases), Name);

// ---- Proxy caching ----------------------------------------------------------------

const std::string kCachMain = "Caching on\nCacheMemory 64 M\nconfigfile @INC@\n";
const std::string kCachInclude =
    "BlockSize 8192\nCacheAccessLog /var/log/cache\nCacheDev /dev/sdb1\nCacheDev /dev/sdc1\n";

const PageCase kProxcachCases[] = {
    {.what = "display from both files", .page = "PROXCACH", .package = "3", .main = kCachMain,
     .include = kCachInclude, .body = "",
     .shown = {"m0=CHECKED\nm1=64\nm2=\nm3=\nm4=SELECTED\nm5=\nm6=8192\nm7=4000\nm8=\nm9=SELECTED\nm10=\nm11=\n"
               "m12=/var/log/cache\nm13=<tr><td>1</td><td>/dev/sdb1</td></tr>\n"
               "m13=<tr><td>2</td><td>/dev/sdc1</td></tr>\nm14=<OPTION SELECTED>1<OPTION>2\n" +
               Status(kReady, "0", "HLPPROXC")}},
    {.what = "display defaults", .page = "PROXCACH", .package = "0", .main = "# none\n", .include = "",
     .body = "", .shown = {"m0=\nm1=\nm2=\nm3=SELECTED\nm4=\nm5=\nm6=\nm7=4000\nm8=\nm9=SELECTED\n", "m12=\nm14=<OPTION>0\n"}},
    {.what = "sizes with units, empty block size kept, empty log removed, existing caching line kept",
     .page = "PROXCACH", .package = "3", .main = kCachMain, .include = kCachInclude,
     .body = "Caching=off&Caching=on&CACHEMEMORY=200&CACHEMEMORYUNIT=M&BLOCKSIZE=&CACHELIMIT=10"
             "&CACHELIMITUNIT=G&CacheAccessLog=&ACTIONA=2&CacheDev=",
     .mainAfter = "Caching on\nCacheMemory       200 M\nconfigfile @INC@\nCacheFileSizeLimit       10 G\n",
     .includeAfter = "BlockSize 8192\nCacheDev /dev/sdb1\nCacheDev /dev/sdc1\n",
     .shown = {"m1=200\nm2=\nm3=\nm4=SELECTED\n", "m7=10\nm8=\nm9=\nm10=\nm11=SELECTED\nm12=\n",
               Status(kDone, "1", "HLPPROXC")}},
    {.what = "a unit before its size is not applied; block size replaced",
     .page = "PROXCACH", .package = "3", .main = kCachMain, .include = kCachInclude,
     .body = "CACHEMEMORYUNIT=K&CACHEMEMORY=1&BLOCKSIZE=4096&CacheAccessLog=%2Fvar%2Flog%2Fc2",
     // A replaced first line of a file goes after the file's new first line:
     // each of the two swaps places with the other in turn.
     .includeAfter = "BlockSize         4096\nCacheAccessLog       /var/log/c2\nCacheDev /dev/sdb1\nCacheDev /dev/sdc1\n"},
    {.what = "add two devices after the last one", .page = "PROXCACH", .package = "3", .main = kCachMain,
     .include = kCachInclude, .body = "ACTIONA=2&CacheDev=%2Fdev%2Fsdd1+%2Fdev%2Fsdb1+%2Fdev%2Fsde1",
     .includeAfter = kCachInclude + "CacheDev                     /dev/sdd1\nCacheDev                     /dev/sde1\n",
     .shown = {"m13=<tr><td>4</td><td>/dev/sde1</td></tr>\nm14=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4\n"}},
    {.what = "delete row 1", .page = "PROXCACH", .package = "3", .main = kCachMain, .include = kCachInclude,
     .body = "ACTIONA=4&LIST=1",
     .includeAfter = "BlockSize 8192\nCacheAccessLog /var/log/cache\nCacheDev /dev/sdc1\n"},
    {.what = "row numbers are read as far as they are digits", .page = "PROXCACH", .package = "3",
     .main = kCachMain, .include = kCachInclude, .body = "ACTIONA=4x&LIST=+2nd",
     .includeAfter = "BlockSize 8192\nCacheAccessLog /var/log/cache\nCacheDev /dev/sdb1\n"},
    {.what = "a row number beyond the int range removes nothing", .page = "PROXCACH", .package = "3",
     .main = kCachMain, .include = kCachInclude, .body = "ACTIONA=4&LIST=99999999999999999999999",
     .shown = {Status(kDone, "1", "HLPPROXC")}},
    {.what = "a non-numeric size is refused", .page = "PROXCACH", .package = "3", .main = kCachMain,
     .include = kCachInclude, .body = "BLOCKSIZE=1&CACHEMEMORY=lots&CACHEMEMORYUNIT=M",
     .shown = {Status("T13 invalid: T40 cache memory range", "3", "HLPPROXC")}},
    {.what = "a hostile device is stored as sent and shown escaped", .page = "PROXCACH", .package = "3",
     .main = "# c\n", .include = "", .body = "ACTIONA=1&CacheDev=%3Cb%3E%25s",
     .mainAfter = "# c\nCacheDev                     <b>%s\n",
     .shown = {"m13=<tr><td>1</td><td>&lt;b&gt;%s</td></tr>\n"}},
};
INSTANTIATE_TEST_SUITE_P(Proxcach, ServerCachePagesTest, ::testing::ValuesIn(kProxcachCases), Name);

// ---- Cache expiry -----------------------------------------------------------------

const std::string kExpMain = "CacheUnused http:* 2 months\nconfigfile @INC@\n";
const std::string kExpInclude =
    "CacheUnused ftp:* 1 day\nCacheUnused ftp:* 4 hours\nCacheDefaultExpiry gopher:* 30 MINUTES\n"
    "CacheNoConnect on\nCacheTimeMargin 5\n";

// Every field of the page with the given values, in template order.
std::string ExpiryForm(const char* http, const char* ftp, const char* gopher, const char* ftpExpiry,
                       const char* gopherExpiry) {
  return std::string("CACHEUNUSEDHTTP=") + http + "&TIMEUNITA=days&CACHEUNUSEDFTP=" + ftp +
         "&TIMEUNITB=days&CACHEUNUSEDGOPHER=" + gopher + "&TIMEUNITC=days&CACHEDEFAULTEXPIRYFTP=" + ftpExpiry +
         "&TIMEUNITD=months&CACHEDEFAULTEXPIRYGOPHER=" + gopherExpiry +
         "&TIMEUNITE=minutes&CacheExpiryCheck=off&CacheNoConnect=off&CacheNoConnect=on&CacheTimeMargin=";
}

const PageCase kProxexpCases[] = {
    {.what = "display: number and unit per pattern, later lines win",
     .page = "PROXEXP", .package = "3", .main = kExpMain, .include = kExpInclude, .body = "",
     .shown = {"m0=2\nm1=SELECTED\nm2=\nm3=\nm4=\nm5=\nm6=4\nm7=\nm8=\nm9=SELECTED\nm10=\nm11=\n"
               "m12=\nm13=\nm14=\nm15=\nm16=\nm17=\nm18=\nm19=\nm20=\nm21=\nm22=\nm23=\n"
               "m24=30\nm25=\nm26=\nm27=\nm28=SELECTED\nm29=\nm30=CHECKED\nm31=CHECKED\nm32=5\n" +
               Status(kReady, "0", "HLPPROXE")}},
    {.what = "display defaults, a pattern in capitals and an escaped number", .page = "PROXEXP", .package = "3",
     .main = "CacheUnused GOPHER:* <b>%s sec\nCacheExpiryCheck off\n", .include = "", .body = "",
     .shown = {"m12=&lt;b&gt;%s\nm13=\nm14=\nm15=\nm16=\nm17=SELECTED\n", "m30=\nm31=\nm32=2\n"}},
    {.what = "HTTP rewritten in place, FTP cleared, Gopher appended to the main file, expiry rewritten",
     .page = "PROXEXP", .package = "3", .main = kExpMain, .include = kExpInclude,
     .body = ExpiryForm("3", "", "7", "", "45"),
     .mainAfter = "CacheUnused   http:*  3  days\nconfigfile @INC@\nCacheExpiryCheck       off\n"
                  "CacheUnused   gopher:*  7  days\n",
     .includeAfter = "CacheDefaultExpiry   gopher:*  45  minutes\nCacheNoConnect on\n",
     .shown = {"m0=3\nm1=\nm2=SELECTED\n", "m30=\nm31=CHECKED\nm32=2\n", Status(kDone, "1", "HLPPROXE")}},
    {.what = "only the last line of a pattern is rewritten, in place; other patterns stay",
     .page = "PROXEXP", .package = "3", .main = "CacheUnused ftp:* 1 day\nCacheUnused http:* 1 day\n"
                                               "CacheUnused ftp:* 2 days\n", .include = "",
     .body = "CACHEUNUSEDHTTP=1&TIMEUNITA=day&CACHEUNUSEDFTP=9&TIMEUNITB=hours",
     .mainAfter = "CacheUnused ftp:* 1 day\nCacheUnused   http:*  1  day\nCacheUnused   ftp:*  9  hours\n"},
    {.what = "a time margin over 1000 is refused", .page = "PROXEXP", .package = "3", .main = kExpMain,
     .include = kExpInclude, .body = "CACHEUNUSEDHTTP=1&TIMEUNITA=days&CACHETIMEMARGIN=2000",
     .shown = {Status("T13 invalid: T43 time margin range", "3", "HLPPROXE")}},
    {.what = "a hostile unit is written as sent, on one line", .page = "PROXEXP", .package = "3",
     .main = "# e\n", .include = "", .body = "CACHEUNUSEDHTTP=1&TIMEUNITA=%22%3E%3Cscript%3E%0A%25s",
     .mainAfter = "# e\nCacheUnused   http:*  1  \"><script> %s\n", .shown = {"m0=1\nm1=\nm2=\nm3=\nm4=\nm5=\n"}},
};
INSTANTIATE_TEST_SUITE_P(Proxexp, ServerCachePagesTest, ::testing::ValuesIn(kProxexpCases), Name);

// ---- Garbage collection -----------------------------------------------------------

const PageCase kProxgcCases[] = {
    {.what = "display with the algorithm choice (package row 3)", .page = "PROXGC", .package = "3",
     .main = "Gc off\nconfigfile @INC@\n", .include = "GcLowWater 50\ncacheAlgorithm Blend\n", .body = "",
     .shown = {"m0=\nm1=50\nm2=90\nm3=T162 chooser\nm3=T163 bandwidth \nm3=T164 responsetime \n"
               "m3=T165 blend SELECTED\nm3=T166 end\n" + Status(kReady, "0", "HLPPROXG")}},
    {.what = "no algorithm configured: the package default (bandwidth for row 4)", .page = "PROXGC",
     .package = "4", .main = "cacheAlgorithm fastest\n", .include = "", .body = "",
     .shown = {"m0=CHECKED\nm1=60\nm2=90\nm3=T162 chooser\nm3=T163 bandwidth SELECTED\nm3=T164 responsetime \n"}},
    {.what = "no choice offered (package row 1): one hidden field", .page = "PROXGC", .package = "1",
     .main = "cacheAlgorithm blend\n", .include = "", .body = "",
     .shown = {"m3=<input type=\"hidden\" name=\"cacheAlgorithm\" value=\"responsetime\">\nstatus["}},
    {.what = "marks written unconditionally, pairs applied, algorithm replaced",
     .page = "PROXGC", .package = "3", .main = "Gc on\nGcHighWater 80\nconfigfile @INC@\n",
     .include = "GcLowWater 50\ncacheAlgorithm bandwidth\n",
     .body = "Gc=off&Gc=on&GcLowWater=95&GcHighWater=90&cacheAlgorithm=responsetime&PUSHBUTTON=Apply",
     .mainAfter = "Gc on\nGcHighWater    90\nconfigfile @INC@\n",
     .includeAfter = "cacheAlgorithm       responsetime\nGcLowWater    95\n",
     .shown = {"m1=95\nm2=90\n", "m3=T164 responsetime SELECTED\n", Status(kDone, "1", "HLPPROXG")}},
    {.what = "empty marks keep their lines, empty algorithm and Gc remove theirs",
     .page = "PROXGC", .package = "3", .main = "Gc on\nGcHighWater 80\nconfigfile @INC@\n",
     .include = "GcLowWater 50\ncacheAlgorithm bandwidth\n", .body = "Gc=&GcLowWater=&GcHighWater=&cacheAlgorithm=",
     .mainAfter = "GcHighWater 80\nconfigfile @INC@\n", .includeAfter = "GcLowWater 50\n"},
    {.what = "a low water mark over 100 is refused", .page = "PROXGC", .package = "3",
     .main = "GcLowWater 50\n", .include = "", .body = "Gc=off&GcLowWater=101",
     .shown = {Status("T13 invalid: T96 low water range", "3", "HLPPROXG")}},
    {.what = "a hostile mark from the configuration is shown escaped", .page = "PROXGC", .package = "1",
     .main = "GcHighWater \"><script>%s\n", .include = "", .body = "",
     .shown = {"m2=&gt;&lt;script&gt;%s\n"}},
};
INSTANTIATE_TEST_SUITE_P(Proxgc, ServerCachePagesTest, ::testing::ValuesIn(kProxgcCases), Name);

// ---- The shipped templates ------------------------------------------------------------

TEST(ServerCachePagesRealTemplatesTest, EveryPageFillsItsShippedTemplate) {
  struct Page {
    const char* name;
    const char* title;
    const char* shown;  // one filled control
  };
  const TempDir dir("cfgout-server-real");
  const std::string config = dir.Write(
      "proxy.conf", "InputTimeout 2 minutes\nListenBacklog 64\nContinueCaching 60\nCacheMemory 64 M\n"
                    "CacheUnused http:* 3 days\nGcLowWater 55\nCacheDev /dev/sdb1\nAggressiveCaching http://a/*\n");
  for (const Page& p : {Page{"TIMEOUT", "Timeouts", R"(<select id="INPUTTIMEOUTMINS" name="INPUTTIMEOUTMINS"><OPTION>0<OPTION>1<OPTION SELECTED>2<)"},
                        Page{"PERFORMA", "Performance", R"(name="ListenBacklog" value="64")"},
                        Page{"PROXBEHA", "Proxy behaviour", "<tr><td>1</td><td>http://a/*</td></tr>"},
                        Page{"PROXCACH", "Proxy caching", "<tr><td>1</td><td>/dev/sdb1</td></tr>"},
                        Page{"PROXEXP", "Cache expiry", R"(<option value="days" SELECTED>Days</option>)"},
                        Page{"PROXGC", "Garbage collection", R"(name="GcLowWater" value="55")"}}) {
    const CgiResult r = RunCgi(CFGOUT_BINARY, {{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()},
                                               {"REQUEST_METHOD", "GET"}, {"PATH_INFO", std::string("/") + p.name},
                                               {"RULE_FILE", config}});
    EXPECT_NE(r.out.find(std::string("<title>") + p.title + " - Proxy configuration</title>"), std::string::npos)
        << p.name;
    EXPECT_NE(r.out.find(p.shown), std::string::npos) << p.name;
    EXPECT_NE(r.out.find(R"(<p class="status-message">Ready</p>)"), std::string::npos) << p.name;
    EXPECT_EQ(r.out.find("%s"), std::string::npos) << p.name;
    EXPECT_TRUE(r.out.ends_with("</html>\n")) << p.name;
  }
}

}  // namespace
}  // namespace cfgout::testing
