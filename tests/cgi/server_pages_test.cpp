// The server, cache, proxy, log and SNMP pages as a black box, one row per
// request (see page_table.h); the fixture's pages are "m<k>=%s" lines.

#include <gtest/gtest.h>

#include "cgi/page_table.h"

namespace cfgout::testing {
namespace {

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

std::string St(std::string_view text, std::string_view type, std::string_view help) {
  return "status[" + Status(text, type, help) + "]\n";
}

constexpr std::string_view kDone = "T12 done", kReady = "T11 ready";
const std::string kBad = "T13 invalid: ";

TEST(ServerPagesTest, Timeout) {
  RunPageRows("TIMEOUT", {
      {"display: last of each, by its unit letters; 90 seconds selects nothing",
       "InputTimeout 1 hour\nInputTimeout 2 minutes\nReadTimeout 90 seconds\nconfigfile @INC@\n",
       "ScriptTimeout 1 hour 30 minutes 5 sec\nPersistTimeout 2 days\n", {}, {}, {},
       {Span(0, 0, 2, 0) + Span(3, 0, 0, 90) + Span(6, 0, 0, 0) + Span(9, 1, 30, 5) + Span(12, 0, 0, 0) +
        St(kReady, "0", "HLPTIMEO")}},
      {"each posted span replaces, removes (all zero) or is left alone (not posted)",
       "# t\nInputTimeout 2 minutes\nOutputTimeout 20 minutes\nReadTimeout 1 minute\nconfigfile @INC@\n",
       "OutputTimeout 5 minutes\nScriptTimeout 1 hour\n",
       "INPUTTIMEOUTHRS=1&INPUTTIMEOUTMINS=0&INPUTTIMEOUTSECS=00&OUTPUTTIMEOUTHRS=0&OUTPUTTIMEOUTMINS=0"
       "&OUTPUTTIMEOUTSECS=0&SCRIPTTIMEOUTHRS=0&SCRIPTTIMEOUTMINS=5&SCRIPTTIMEOUTSECS=30"
       "&PERSISTTIMEOUTSECS=7&PUSHBUTTON=Apply",
       "# t\nInputTimeout         1 hours \nReadTimeout 1 minute\nconfigfile @INC@\nPersistTimeout       7 seconds \n",
       "ScriptTimeout        5 minutes 30 seconds \n",
       {Span(0, 1, 0, 0) + Span(3, 0, 1, 0) + Span(6, 0, 0, 0) + Span(9, 0, 5, 30) + Span(12, 0, 0, 7) +
        St(kDone, "1", "HLPTIMEO")}},
      {"unknown field refused", "InputTimeout 2 minutes\n", "", "INPUTTIMEOUTHRS=3&BOGUS=1", {}, {},
       {St(kBad + "T116 unknown field BOGUS", "3", "HLPTIMEO")}},
      {"hostile value written on one line, selects nothing", "# t\n", "", "READTIMEOUTHRS=%25s%22%3E%3Cscript%3E%0APort+1",
       "# t\nReadTimeout          %s\"><script> Port 1 hours \n", {}, {Span(3, 1, 0, 0)}},
  });
}

TEST(ServerPagesTest, Performance) {
  const std::string inc = "configfile @INC@\n", threads20 = "MaxActiveThreads 20\n";
  const std::string capped40 = "MaxActiveThreads       40\n";
  RunPageRows("PERFORMA", {
      {"defaults", "# none\n", "", {}, {}, {}, {"m0=128\nm1=100\n" + Span(2, 0, 0, 0) + "m5=5\n" + St(kReady, "0", "HLPPERFO")}},
      {"display from both files, escaped", "ListenBacklog \"><script>%s\nconfigfile @INC@\n",
       "MaxActiveThreads 80\nPersistTimeout 1 minute 5 seconds\nMaxPersistRequest 9\n", {}, {}, {},
       {"m0=&gt;&lt;script&gt;%s\nm1=80\n" + Span(2, 0, 1, 5) + "m5=9\n"}},
      {"package row 0 caps the threads at 40 with a warning", inc, threads20, "MaxActiveThreads=80", {}, capped40,
       {"m1=40\n", St("T186 capped at 40", "2", "HLPPERFO")}, "0"},
      {"package row 0 takes 40 itself", inc, threads20, "MaxActiveThreads=40", {}, capped40,
       {St(kDone, "1", "HLPPERFO")}, "0"},
      {"package row 2 caps 101 at 100", "# p\n", "", "MaxActiveThreads=101", "# p\nMaxActiveThreads       100\n", {},
       {St("T186 capped at 100", "2", "HLPPERFO")}, "2"},
      {"package row 3 has no cap; a new backlog follows", "# p\n", "", "MaxActiveThreads=5000&ListenBacklog=256",
       "# p\nMaxActiveThreads       5000\nListenBacklog       256\n", {}, {"m0=256\nm1=5000\n", St(kDone, "1", "HLPPERFO")}},
      {"empty backlog removes, empty threads keeps, requests replace, zero span removes",
       "ListenBacklog 64\nMaxActiveThreads 50\nconfigfile @INC@\n",
       "ListenBacklog 32\nMaxPersistRequest 9\nPersistTimeout 4 seconds\n",
       "ListenBacklog=&MaxActiveThreads=&MaxPersistRequest=7&PERSISTTIMEOUTHRS=0&PERSISTTIMEOUTMINS=0"
       "&PERSISTTIMEOUTSECS=0&PUSHBUTTON=Apply",
       "MaxActiveThreads 50\nconfigfile @INC@\n", "MaxPersistRequest       7\n",
       {"m0=128\nm1=50\n" + Span(2, 0, 0, 0) + "m5=7\n"}},
      {"a backlog over 999 is refused", "ListenBacklog 64\n", "", "MaxPersistRequest=3&ListenBacklog=1000", {}, {},
       {St(kBad + "T133 backlog range", "3", "HLPPERFO")}},
  });
}

TEST(ServerPagesTest, ProxyBehaviour) {
  const std::string main = "ContinueCaching 50\nAggressiveCaching http://a/*\nconfigfile @INC@\n";
  const std::string inc = "AggressiveCaching http://b/* # note\nProxyIgnoreNoCache on\nCacheByIncomingUrl yes\n";
  RunPageRows("PROXBEHA", {
      {"display with reload control and a list over both files", main, inc, {}, {}, {},
       {"m0=T180 row\nT181 box CHECKEDm1=50\nm2=CHECKED\nm3=<tr><td>1</td><td>http://a/*</td></tr>\n"
        "m3=<tr><td>2</td><td>http://b/*</td></tr>\nm4=<OPTION SELECTED>1<OPTION>2\n" + St(kReady, "0", "HLPPROXB")}},
      {"package without the reload control, empty list", "# none\n", "", {}, {}, {},
       {"m0=<!-- ProxyIgnoreNoCache not supported in this version of the product -->\nm1=75\nm2=\nm4=<OPTION>0\n"}, "0"},
      {"add: a listed pattern is dropped, new ones follow the last instance; fields written", main, inc,
       "ProxyIgnoreNoCache=off&ContinueCaching=&CacheByIncomingUrl=off&CacheByIncomingUrl=on&ACTIONA=1"
       "&LIST=1&AggressiveCaching=http%3A%2F%2Fc%2F*%2C+http%3A%2F%2Fa%2F*%0D%0Ahttp%3A%2F%2Fd%2F*",
       "AggressiveCaching http://a/*\nconfigfile @INC@\n",
       "AggressiveCaching http://b/* # note\nAggressiveCaching            http://c/*\n"
       "AggressiveCaching            http://d/*\nProxyIgnoreNoCache       off\nCacheByIncomingUrl       on\n",
       {"m0=T180 row\nT181 box m1=75\n", "m3=<tr><td>4</td><td>http://d/*</td></tr>\n", St(kDone, "1", "HLPPROXB")}},
      // A replaced first line of a file is followed by the file's new first line.
      {"delete row 2, in the included file", main, inc, "ContinueCaching=60&ACTIONA=4&LIST=2&AggressiveCaching=",
       "AggressiveCaching http://a/*\nContinueCaching       60\nconfigfile @INC@\n",
       "ProxyIgnoreNoCache on\nCacheByIncomingUrl yes\n",
       {"T181 box CHECKEDm1=60\n", "m3=<tr><td>1</td><td>http://a/*</td></tr>\nm4=<OPTION SELECTED>1\n"}},
      {"delete beyond the last row removes nothing", main, inc, "ACTIONA=4&LIST=3", {}, {}, {St(kDone, "1", "HLPPROXB")}},
      {"a percentage over 100 is refused: the earlier add is not written", main, inc,
       "ACTIONA=1&AggressiveCaching=http%3A%2F%2Fz%2F*&ContinueCaching=101", {}, {},
       {St(kBad + "T57 continue caching range", "3", "HLPPROXB")}},
      {"hostile pattern stored as sent, shown escaped", "# b\n", "", "ACTIONA=2&AggressiveCaching=%22%3E%3Cscript%3E%25s",
       "# b\nAggressiveCaching            \"><script>%s\n", {}, {"m3=<tr><td>1</td><td>&quot;&gt;&lt;script&gt;%s</td></tr>\n"}},
  });
}

TEST(ServerPagesTest, ProxyCaching) {
  const std::string main = "Caching on\nCacheMemory 64 M\nconfigfile @INC@\n";
  const std::string inc = "BlockSize 8192\nCacheAccessLog /var/log/cache\nCacheDev /dev/sdb1\nCacheDev /dev/sdc1\n";
  RunPageRows("PROXCACH", {
      {"display from both files", main, inc, {}, {}, {},
       {"m0=CHECKED\nm1=64\nm2=\nm3=\nm4=SELECTED\nm5=\nm6=8192\nm7=4000\nm8=\nm9=SELECTED\nm10=\nm11=\n"
        "m12=/var/log/cache\nm13=<tr><td>1</td><td>/dev/sdb1</td></tr>\n"
        "m13=<tr><td>2</td><td>/dev/sdc1</td></tr>\nm14=<OPTION SELECTED>1<OPTION>2\n" + St(kReady, "0", "HLPPROXC")}},
      {"display defaults", "# none\n", "", {}, {}, {},
       {"m0=\nm1=\nm2=\nm3=SELECTED\nm4=\nm5=\nm6=\nm7=4000\nm8=\nm9=SELECTED\n", "m12=\nm14=<OPTION>0\n"}, "0"},
      {"sizes with units, empty block size kept, empty log removed, caching line kept", main, inc,
       "Caching=off&Caching=on&CACHEMEMORY=200&CACHEMEMORYUNIT=M&BLOCKSIZE=&CACHELIMIT=10"
       "&CACHELIMITUNIT=G&CacheAccessLog=&ACTIONA=2&CacheDev=",
       "Caching on\nCacheMemory       200 M\nconfigfile @INC@\nCacheFileSizeLimit       10 G\n",
       "BlockSize 8192\nCacheDev /dev/sdb1\nCacheDev /dev/sdc1\n",
       {"m1=200\nm2=\nm3=\nm4=SELECTED\n", "m7=10\nm8=\nm9=\nm10=\nm11=SELECTED\nm12=\n", St(kDone, "1", "HLPPROXC")}},
      // Each replaced first line of a file goes after the file's new first line.
      {"a unit before its size is not applied; block size replaced", main, inc,
       "CACHEMEMORYUNIT=K&CACHEMEMORY=1&BLOCKSIZE=4096&CacheAccessLog=%2Fvar%2Flog%2Fc2", {},
       "BlockSize         4096\nCacheAccessLog       /var/log/c2\nCacheDev /dev/sdb1\nCacheDev /dev/sdc1\n"},
      {"add two devices after the last one", main, inc, "ACTIONA=2&CacheDev=%2Fdev%2Fsdd1+%2Fdev%2Fsdb1+%2Fdev%2Fsde1", {},
       inc + "CacheDev                     /dev/sdd1\nCacheDev                     /dev/sde1\n",
       {"m13=<tr><td>4</td><td>/dev/sde1</td></tr>\nm14=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4\n"}},
      {"row numbers are read as far as they are digits", main, inc, "ACTIONA=4x&LIST=+2nd", {},
       "BlockSize 8192\nCacheAccessLog /var/log/cache\nCacheDev /dev/sdb1\n"},
      {"a row number beyond the int range removes nothing", main, inc, "ACTIONA=4&LIST=99999999999999999999999", {}, {},
       {St(kDone, "1", "HLPPROXC")}},
      {"a non-numeric size is refused", main, inc, "BLOCKSIZE=1&CACHEMEMORY=lots&CACHEMEMORYUNIT=M", {}, {},
       {St(kBad + "T40 cache memory range", "3", "HLPPROXC")}},
  });
}

TEST(ServerPagesTest, CacheExpiry) {
  const std::string main = "CacheUnused http:* 2 months\nconfigfile @INC@\n";
  const std::string inc = "CacheUnused ftp:* 1 day\nCacheUnused ftp:* 4 hours\nCacheDefaultExpiry gopher:* 30 MINUTES\n"
                          "CacheNoConnect on\nCacheTimeMargin 5\n";
  RunPageRows("PROXEXP", {
      {"display: number and unit per pattern, later lines win", main, inc, {}, {}, {},
       {"m0=2\nm1=SELECTED\nm2=\nm3=\nm4=\nm5=\nm6=4\nm7=\nm8=\nm9=SELECTED\nm10=\nm11=\n"
        "m12=\nm13=\nm14=\nm15=\nm16=\nm17=\nm18=\nm19=\nm20=\nm21=\nm22=\nm23=\n"
        "m24=30\nm25=\nm26=\nm27=\nm28=SELECTED\nm29=\nm30=CHECKED\nm31=CHECKED\nm32=5\n" + St(kReady, "0", "HLPPROXE")}},
      {"defaults, a pattern in capitals and an escaped number", "CacheUnused GOPHER:* <b>%s sec\nCacheExpiryCheck off\n",
       "", {}, {}, {}, {"m12=&lt;b&gt;%s\nm13=\nm14=\nm15=\nm16=\nm17=SELECTED\n", "m30=\nm31=\nm32=2\n"}},
      {"HTTP rewritten in place, FTP cleared, Gopher appended to the main file, expiry rewritten", main, inc,
       "CACHEUNUSEDHTTP=3&TIMEUNITA=days&CACHEUNUSEDFTP=&TIMEUNITB=days&CACHEUNUSEDGOPHER=7&TIMEUNITC=days"
       "&CACHEDEFAULTEXPIRYFTP=&TIMEUNITD=months&CACHEDEFAULTEXPIRYGOPHER=45&TIMEUNITE=minutes&CacheExpiryCheck=off"
       "&CacheNoConnect=off&CacheNoConnect=on&CacheTimeMargin=",
       "CacheUnused   http:*  3  days\nconfigfile @INC@\nCacheExpiryCheck       off\nCacheUnused   gopher:*  7  days\n",
       "CacheDefaultExpiry   gopher:*  45  minutes\nCacheNoConnect on\n",
       {"m0=3\nm1=\nm2=SELECTED\n", "m30=\nm31=CHECKED\nm32=2\n", St(kDone, "1", "HLPPROXE")}},
      {"only the last line of a pattern is rewritten, in place",
       "CacheUnused ftp:* 1 day\nCacheUnused http:* 1 day\nCacheUnused ftp:* 2 days\n", "",
       "CACHEUNUSEDHTTP=1&TIMEUNITA=day&CACHEUNUSEDFTP=9&TIMEUNITB=hours",
       "CacheUnused ftp:* 1 day\nCacheUnused   http:*  1  day\nCacheUnused   ftp:*  9  hours\n"},
      {"a time margin over 1000 is refused", main, inc, "CACHEUNUSEDHTTP=1&TIMEUNITA=days&CACHETIMEMARGIN=2000", {}, {},
       {St(kBad + "T43 time margin range", "3", "HLPPROXE")}},
      {"hostile unit written as sent, on one line", "# e\n", "", "CACHEUNUSEDHTTP=1&TIMEUNITA=%22%3E%3Cscript%3E%0A%25s",
       "# e\nCacheUnused   http:*  1  \"><script> %s\n", {}, {"m0=1\nm1=\nm2=\nm3=\nm4=\nm5=\n"}},
  });
}

TEST(ServerPagesTest, GarbageCollection) {
  const std::string main = "Gc on\nGcHighWater 80\nconfigfile @INC@\n", inc = "GcLowWater 50\ncacheAlgorithm bandwidth\n";
  RunPageRows("PROXGC", {
      {"display with the algorithm choice (package row 3)", "Gc off\nconfigfile @INC@\n",
       "GcLowWater 50\ncacheAlgorithm Blend\n", {}, {}, {},
       {"m0=\nm1=50\nm2=90\nm3=T162 chooser\nm3=T163 bandwidth \nm3=T164 responsetime \n"
        "m3=T165 blend SELECTED\nm3=T166 end\n" + St(kReady, "0", "HLPPROXG")}},
      {"no algorithm configured: the package default (bandwidth for row 4)", "cacheAlgorithm fastest\n", "", {}, {}, {},
       {"m0=CHECKED\nm1=60\nm2=90\nm3=T162 chooser\nm3=T163 bandwidth SELECTED\nm3=T164 responsetime \n"}, "4"},
      {"no choice offered (package row 1): one hidden field", "cacheAlgorithm blend\n", "", {}, {}, {},
       {"m3=<input type=\"hidden\" name=\"cacheAlgorithm\" value=\"responsetime\">\nstatus["}, "1"},
      {"marks written unconditionally, pairs applied, algorithm replaced", main, inc,
       "Gc=off&Gc=on&GcLowWater=95&GcHighWater=90&cacheAlgorithm=responsetime&PUSHBUTTON=Apply",
       "Gc on\nGcHighWater    90\nconfigfile @INC@\n", "cacheAlgorithm       responsetime\nGcLowWater    95\n",
       {"m1=95\nm2=90\n", "m3=T164 responsetime SELECTED\n", St(kDone, "1", "HLPPROXG")}},
      {"empty marks keep their lines, empty algorithm and Gc remove theirs", main, inc,
       "Gc=&GcLowWater=&GcHighWater=&cacheAlgorithm=", "GcHighWater 80\nconfigfile @INC@\n", "GcLowWater 50\n"},
      {"a low water mark over 100 is refused", "GcLowWater 50\n", "", "Gc=off&GcLowWater=101", {}, {},
       {St(kBad + "T96 low water range", "3", "HLPPROXG")}},
  });
}

const std::string kMapMain =
    "# main\nCacheOnly http://a/*\nNoCaching http://b/* # keep\nCacheQueries always http://q/*\nconfigfile @INC@\n";
const std::string kMapInc = "CacheQueries public http://r/*\nNoCaching http://c/*\n";
const std::string kMapRows =
    "m1=<tr><td>1</td><td>T104 cache only</td><td>http://a/*</td></tr>\n"
    "m1=<tr><td>2</td><td>T105 no caching</td><td>http://b/*</td></tr>\n"
    "m1=<tr><td>3</td><td>T105 no caching</td><td>http://c/*</td></tr>\n"
    "m2=<OPTION SELECTED>1<OPTION>2<OPTION>3\n"
    "m3=<tr><td>1</td><td>T107 always</td><td>http://q/*</td></tr>\n"
    "m3=<tr><td>2</td><td>T106 public</td><td>http://r/*</td></tr>\n"
    "m4=<OPTION SELECTED>1<OPTION>2\n";

TEST(ServerPagesTest, ProxyMapping) {
  const std::string done = St(kDone, "1", "HLPPROXM");
  const std::string m = kMapMain, i = kMapInc;
  RunPageRows("PROXMAP", {
      {"display", m, i, {}, {}, {},
       {std::string(kHeader) + "<proxmap>\nm0=<T176 hidden>\n<T177 box CHECKED>" + kMapRows + St(kReady, "0", "HLPPROXM") +
        "extra=\n</proxmap>\n"}},
      {"display without local domain", m, i, {}, {}, {},
       {"m0=<!-- CacheLocalDomain not supported in this version of the product -->\n" + kMapRows}, "1"},
      {"local domain off is shown clear", "# m\nCacheLocalDomain off\n", "", {}, {}, {}, {"<T177 box >m2=<OPTION>0\n"}},
      {"local domain written", m, i, "CacheLocalDomain=off&CacheLocalDomain=on&PUSHBUTTON=Apply",
       m + "CacheLocalDomain       on\n", {}, {"<T177 box CHECKED>m1=<tr><td>1</td>"}},
      {"local domain emptied is removed", "# m\nCacheLocalDomain on\n", "", "CacheLocalDomain=", "# m\n", {},
       {"<T177 box CHECKED>m2=<OPTION>0\n"}},
      {"add patterns after the last of their keyword, known ones dropped", m, i,
       "CACHEONLY=http%3A%2F%2Fd%2F*%2C+http%3A%2F%2Fb%2F*&ACTIONB=NoCaching&ACTIONA=1", {},
       i + "NoCaching                    http://d/*\n",
       {"m1=<tr><td>4</td><td>T105 no caching</td><td>http://d/*</td></tr>\nm2=<OPTION SELECTED>1<OPTION>2<OPTION>3<OPTION>4\n"}},
      {"add with action 2 and CacheOnly", m, i, "ACTIONA=2&ACTIONB=CacheOnly&CACHEONLY=e+f",
       Replace(m, "a/*\n", "a/*\nCacheOnly                    e\nCacheOnly                    f\n"), {}, {done}},
      {"add with another keyword, insert without a mode word: nothing", m, i,
       "ACTIONA=1&ACTIONB=Port&CACHEONLY=80&ACTIONC=1&CACHEQUERIES=a", {}, {}, {done}},
      {"delete row 3, counted over both keywords and files", m, i, "ACTIONA=4&LIST=3", {},
       "CacheQueries public http://r/*\n", {"m2=<OPTION SELECTED>1<OPTION>2\n"}},
      {"delete row 2", m, i, "LIST=2&ACTIONA=4", Replace(m, "NoCaching http://b/* # keep\n", ""), {}, {done}},
      {"query rules inserted before row 2, in text order", m, i,
       "ACTIONC=1&LISTC=2&ACTION=always&CACHEQUERIES=http%3A%2F%2Fx%2F*%2Chttp%3A%2F%2Fy%2F*", {},
       "CacheQueries     always  http://x/*\nCacheQueries     always  http://y/*\n" + i,
       {"m3=<tr><td>2</td><td>T107 always</td><td>http://x/*</td></tr>\n"}},
      {"query rule inserted after the first row when none is chosen", m, i,
       "ACTIONC=2&ACTION=public&CACHEQUERIES=http%3A%2F%2Fz%2F*", Replace(m, "q/*\n", "q/*\nCacheQueries     public  http://z/*\n"),
       {}, {done}},
      {"query rules go to the end when there is none", "# main\nconfigfile @INC@\n", "# inc\n",
       "ACTIONC=2&LISTC=1&ACTION=always&CACHEQUERIES=a", {}, "# inc\nCacheQueries     always  a\n", {"m4=<OPTION SELECTED>1\n"}},
      {"change row 2 in place, further patterns after it", m, i,
       "ACTIONC=3&LISTC=2&ACTION=always&CACHEQUERIES=http%3A%2F%2Fc2%2F*+http%3A%2F%2Fc3%2F*", {},
       "CacheQueries     always  http://c2/*\nCacheQueries     always  http://c3/*\nNoCaching http://c/*\n", {done}},
      {"change of a missing row, deletes without a row: nothing", m, i,
       "ACTIONC=3&LISTC=9&ACTION=always&CACHEQUERIES=a&ACTIONA=4", {}, {}, {done}},
      {"delete query rule needs a row", m, i, "ACTIONC=4", {}, {}, {done}},
      {"delete query row 1", m, i, "ACTIONC=4&LISTC=1", Replace(m, "CacheQueries always http://q/*\n", ""), {},
       {"m3=<tr><td>1</td><td>T106 public</td><td>http://r/*</td></tr>\nm4=<OPTION SELECTED>1\n"}},
      {"unknown field: message, nothing written", m, i, "CacheLocalDomain=off&BOGUS=1&ACTIONA=4&LIST=1", {}, {},
       {"text=" + kBad + "T116 unknown field BOGUS\ntype=3\n"}},
      {"hostile pattern stored raw, shown escaped", "# m\n", "", "ACTIONA=1&ACTIONB=NoCaching&CACHEONLY=%22%3E%3Cscript%3E%25s",
       "# m\nNoCaching                    \"><script>%s\n", {},
       {"<T177 box CHECKED>m1=<tr><td>1</td><td>T105 no caching</td><td>&quot;&gt;&lt;script&gt;%s</td></tr>\n"}},
  });
}

TEST(ServerPagesTest, UpstreamProxies) {
  const std::string m = "# main\nhttp_proxy http://old:8080/\nhttp_proxy http://up:8080/ /a/*\nconfigfile @INC@\n";
  const std::string i = "ftp_proxy http://f:21/\nno_proxy .example.com, intranet\n";
  RunPageRows("PROXPROX", {
      // One-value lines show their rest of line untrimmed; the three-field line is not shown.
      {"display", m, i, {}, {}, {},
       {"<proxprox>\nm0=\nm1=http://f:21/ \nm2=http://old:8080/ \nm3=.example.com, intranet\n" + St(kReady, "0", "HLPPROXP")}},
      {"every field", m, i,
       "HTTPPROXY=http%3A%2F%2Fnew%3A3128%2F&FTPPROXY=&GOPHERPROXY=http%3A%2F%2Fg%3A70%2F&NOPROXY=localhost&PUSHBUTTON=Apply",
       Replace(m, "http_proxy http://old:8080/", "http_proxy     http://new:3128/") + "gopher_proxy     http://g:70/\n",
       "no_proxy     localhost\n",
       {"m0=http://g:70/ \nm1=\nm2=http://new:3128/ \nm3=localhost\n"}},
      {"empty no_proxy removes it, an empty proxy keeps longer rules", m, i, "NOPROXY=+&HTTPPROXY=",
       Replace(m, "http_proxy http://old:8080/\n", ""), "ftp_proxy http://f:21/\n", {"m2=\nm3=\n"}},
      {"bad URL: message, nothing written", m, i, "NOPROXY=x&HTTPPROXY=http%3A%2F%2Fa+b%2F", {}, {},
       {"text=" + kBad + "T112 bad http proxy\ntype=3\n"}},
      {"hostile value stored raw (trimmed), shown escaped", m, i, "NOPROXY=+%22%3E%3Cscript%3E%25s+", {},
       "ftp_proxy http://f:21/\nno_proxy     \"><script>%s\n", {"m3=&gt;&lt;script&gt;%s\n"}},
  });
}

TEST(ServerPagesTest, ProxiedProtocols) {
  const std::string m = "# main\nPass /icons/* /srv/icons/*\nDisable CONNECT\nconfigfile @INC@\n";
  const std::string i = "MaxContentLengthBuffer 100 K\nProxyAccessLog /logs/proxy.log\n";
  RunPageRows("PROXSERV", {
      {"display", m, i, {}, {}, {},
       {"<proxserv>\nm0=\nm1=\nm2=\nm3=\nm4=100\nm5=SELECTED\nm6=\nm7=/logs/proxy.log\n" + St(kReady, "0", "HLPPROXS")}},
      {"display of rules and units", "# m\nProxy http:* 10.0.0.1\nProxy GOPHER:*\nconfigfile @INC@\n",
       "MaxContentLengthBuffer 5 M\nSSLTunneling on\n", {}, {}, {}, {"m0=CHECKED\nm1=\nm2=CHECKED\nm3=CHECKED\nm4=5\nm5=\nm6=SELECTED\n"}},
      {"every field: first Proxy rule before Pass, CONNECT enabled in place", m, i,
       "HTTPPROTOCOL=&HTTPPROTOCOL=http%3A*&FTPPROTOCOL=&GOPHERPROTOCOL=&SSLTunneling=off&SSLTunneling=on"
       "&MAXCONTENTLENGTHBUFFER=200&BUFFERSIZEUNIT=M&ProxyAccessLog=&PUSHBUTTON=Apply",
       "# main\nProxy    http:*\nPass /icons/* /srv/icons/*\nEnable     CONNECT\nconfigfile @INC@\nSSLTunneling       on\n",
       "MaxContentLengthBuffer       200 M\n", {"m0=CHECKED\nm1=\nm2=\nm3=CHECKED\nm4=200\nm5=\nm6=SELECTED\nm7=\n"}},
      {"unticked removes the plain rule only; a new rule follows the last",
       "# m\nProxy http:*\nProxy http:* 10.0.0.1\nPass /x/*\nProxy GOPHER:*\n", "",
       "HTTPPROTOCOL=&FTPPROTOCOL=ftp%3A*&GOPHERPROTOCOL=gopher%3A*",
       "# m\nProxy http:* 10.0.0.1\nPass /x/*\nProxy GOPHER:*\nProxy   ftp:*\n", {}, {"m0=CHECKED\nm1=CHECKED\nm2=CHECKED\n"}},
      {"tunnelling on adds Enable CONNECT after the last Disable", "# m\nDisable PUT\nDisable DELETE\nPort 80\n", "",
       "SSLTUNNELING=ON", "# m\nDisable PUT\nDisable DELETE\nEnable     CONNECT\nPort 80\nSSLTUNNELING       ON\n", {},
       {"m3=CHECKED\n"}},
      {"tunnelling on turns the first Disable CONNECT into Enable", "# m\nDisable CONNECT\nPort 80\nDisable connect\n", "",
       "SSLTunneling=on", "# m\nEnable     CONNECT\nPort 80\nDisable connect\nSSLTunneling       on\n"},
      {"tunnelling on with CONNECT enabled adds nothing", "# m\nEnable connect\n", "", "SSLTunneling=on",
       "# m\nEnable connect\nSSLTunneling       on\n", {}, {"m3=CHECKED\n"}},
      {"a buffer size without unit changes nothing", m, i, "MAXCONTENTLENGTHBUFFER=7&BUFFERSIZEUNIT=", {}, {}, {"m4=100\n"}},
      {"buffer size out of range: message, nothing written", m, i,
       "ProxyAccessLog=%2Fnew.log&MAXCONTENTLENGTHBUFFER=0&BUFFERSIZEUNIT=K", {}, {},
       {"text=" + kBad + "T141 bad buffer size\ntype=3\n"}},
      {"a refused form does not even set the buffer size it had", m, i, "MAXCONTENTLENGTHBUFFER=7&BUFFERSIZEUNIT=K&BOGUS=1",
       {}, {}, {"m4=100\n", "text=" + kBad + "T116 unknown field BOGUS\ntype=3\n"}},
  });
}

TEST(ServerPagesTest, CacheCleaning) {
  const std::string m = "# main\nCacheClean 2 days\nCacheMaxExpiry http://a/* 3 days\nconfigfile @INC@\n";
  const std::string i = "CacheMaxExpiry http://b/* 1 weeks\n";
  const std::string row = "&CACHEMAXEXPIRYURL=http%3A%2F%2Fc%2F*&CACHEMAXEXPIRYTIME=4&TIMEUNITB=hours";
  const std::string keep = "CACHECLEANTIME=2&TIMEUNITA=days&", added = "CacheMaxExpiry   http://c/*  4  hours\n";
  const std::string done = "text=T12 done\ntype=1\n";
  RunPageRows("PROXTIME", {
      {"display", m, i, {}, {}, {},
       {"<proxtime>\nm0=2\nm1=\nm2=\nm3=SELECTED\nm4=\nm5=\nm6=\n"
        "m7=<tr><td>1</td><td>http://a/*</td><td>3 T72 days</td></tr>\n"
        "m7=<tr><td>2</td><td>http://b/*</td><td>1 T73 weeks</td></tr>\nm8=<OPTION SELECTED>1<OPTION>2\n" +
        St(kReady, "0", "HLPPROXT")}},
      {"display without directives: weeks, no rows", "# m\n", "", {}, {}, {},
       {"<proxtime>\nm0=\nm1=\nm2=SELECTED\nm3=\nm4=\nm5=\nm6=\nm8=<OPTION>0\n"}},
      {"interval rewritten in place", m, i, "CACHECLEANTIME=+5&TIMEUNITA=hours&PUSHBUTTON=Apply",
       Replace(m, "2 days", "5 hours"), {}, {"m0=5\nm1=\nm2=\nm3=\nm4=SELECTED\n"}},
      {"interval appended at the end when absent", "# m\nconfigfile @INC@\n", "# i\n", "CACHECLEANTIME=1&TIMEUNITA=weeks",
       {}, "# i\nCacheClean 1 weeks\n", {"m0=1\n"}},
      {"empty interval removes it", m, i, "CACHECLEANTIME=&TIMEUNITA=weeks", Replace(m, "CacheClean 2 days\n", ""), {}, {"m0=\n"}},
      {"insert after row 1", m, i, keep + "ACTIONB=2&LISTB=1" + row, Replace(m, "3 days\n", "3 days\n" + added), {},
       {"m7=<tr><td>2</td><td>http://c/*</td><td>4 T71 hours</td></tr>\n"}},
      {"insert before row 2, in the included file", m, i, keep + "ACTIONB=1&LISTB=2" + row, {}, added + i,
       {"m8=<OPTION SELECTED>1"}},
      {"change row 2 only", m, i, keep + "ACTIONB=3&LISTB=2" + row, {}, added,
       {"m7=<tr><td>1</td><td>http://a/*</td><td>3 T72 days</td></tr>\n"}},
      {"delete row 2", m, i, keep + "ACTIONB=4&LISTB=2", {}, "", {"m8=<OPTION SELECTED>1\n"}},
      {"delete without a row takes the first", m, i, keep + "ACTIONB=4", Replace(m, "CacheMaxExpiry http://a/* 3 days\n", ""),
       {}, {"m7=<tr><td>1</td><td>http://b/*</td>"}},
      {"insert without a time does nothing", m, i, keep + "ACTIONB=1&CACHEMAXEXPIRYURL=x&CACHEMAXEXPIRYTIME=", {}, {},
       {done}},
      {"bad interval: message, nothing written nor shown", m, i, "ACTIONB=4&CACHECLEANTIME=soon&TIMEUNITA=days", {}, {},
       {"m7=<tr><td>1</td><td>http://a/*</td>", "text=" + kBad + "T87 bad clean time\ntype=3\n"}},
      {"hostile configuration value shown escaped", "# m\nCacheMaxExpiry \"><script>%s 1 days\n", "", {}, {}, {},
       {"m7=<tr><td>1</td><td>&quot;&gt;&lt;script&gt;%s</td><td>1 T72 days</td></tr>\n"}},
  });
}

TEST(ServerPagesTest, DirectoryListings) {
  const std::string m = "# main\nDirShowBytes on\nDirShowHidden off\nconfigfile @INC@\n", i = "DirShowMaxLength 40\n";
  RunPageRows("LISTCNTS", {
      {"display", m, i, {}, {}, {},
       {"<listcnts>\nm0=CHECKED\nm1=CHECKED\nm2=CHECKED\nm3=CHECKED\nm4=\nm5=CHECKED\nm6=25\nm7=15\nm8=40\n" +
        St(kReady, "0", "HLPLISTC")}},
      {"defaults: every box but bytes set", "# m\n", "", {}, {}, {},
       {"m0=CHECKED\nm1=CHECKED\nm2=CHECKED\nm3=\nm4=CHECKED\nm5=CHECKED\nm6=25\nm7=15\nm8=25\n"}},
      {"every field is its directive", m, i,
       "DirShowDate=off&DirShowBytes=off&DirShowBytes=on&DirShowHidden=off&DirShowHidden=on&DirShowMaxLength="
       "&DirShowMinLength=10&PUSHBUTTON=Apply",
       Replace(m, "DirShowHidden off", "DirShowHidden       on") + "DirShowDate       off\nDirShowMinLength       10\n",
       "", {"m0=\nm1=CHECKED\nm2=CHECKED\nm3=CHECKED\nm4=CHECKED\nm5=CHECKED\nm6=25\nm7=10\nm8=25\n"}},
      {"length out of range: message, nothing written", m, i, "DirShowDate=off&DirShowMaxLength=2", {}, {},
       {"text=" + kBad + "T70 bad name length\ntype=3\n"}},
  });
}

TEST(ServerPagesTest, LogFilesAndArchive) {
  const std::string m = "# main\nLogToSysLog on\nconfigfile @INC@\n", i = "AccessLog /logs/access\nErrorLog /logs/error\n";
  RunPageRows("LOGFILES", {
      {"display", m, i, {}, {}, {},
       {"<logfiles>\nm0=CHECKED\nm1=\nm2=\nm3=/logs/access\nm4=/logs/error\nm5=\n" + St(kReady, "0", "HLPLOGFI")}},
      {"the log fields are written, others ignored", m, i,
       "LogToSysLog=off&ErrorLog=&EventLog=%2Flogs%2Fevent&LogToGUI=on&ProxyAccessLog=%2Fp&CacheAccessLog=%2Fc"
       "&AccessLog=%2Flogs%2Fa2&HostName=other&PUSHBUTTON=Apply",
       Replace(m, "LogToSysLog on", "LogToSysLog       off") +
           "EventLog       /logs/event\nLogToGUI       on\nProxyAccessLog       /p\nCacheAccessLog       /c\n",
       "AccessLog       /logs/a2\n", {"m0=\nm1=/p\nm2=/c\nm3=/logs/a2\nm4=\nm5=/logs/event\n"}},
      {"bad file name: message, nothing written", m, i, "ErrorLog=&AccessLog=c%3A%2Flog", {}, {},
       {"text=" + kBad + "T1 bad access log\ntype=3\n"}},
  });
  const std::string am = "# main\nLogArchive purge\nconfigfile @INC@\n", ai = "PurgeAge 7\nCompressCommand gzip -9 %s\n";
  RunPageRows("ARCHIVE", {
      {"display", am, ai, {}, {}, {},
       {"<archive>\nm0=\nm1=SELECTED\nm2=\nm3=7\nm4=0\nm5=0\nm6=0\nm7=gzip -9 %s\n" + St(kReady, "0", "HLPARCHI")}},
      {"the last LogArchive decides", "# m\nLogArchive purge\nLogArchive COMPRESS\n", "", {}, {}, {},
       {"m0=SELECTED\nm1=\nm2=\n"}},
      {"none and unknown words select NONE", "# m\nLogArchive none\nLogArchive sometimes\n", "", {}, {}, {},
       {"m0=\nm1=\nm2=SELECTED\n"}},
      {"no directive selects NONE", "# m\n", "", {}, {}, {}, {"m0=\nm1=\nm2=SELECTED\nm3=0\n"}},
      {"the archive fields are written, others ignored", am, ai,
       "LogArchive=Compress&PurgeAge=&PurgeSize=50&CompressAge=3&CompressDeleteAge=9&CompressCommand=bzip2+-9"
       "&HostName=other&PUSHBUTTON=Apply",
       Replace(am, "LogArchive purge", "LogArchive       Compress") + "PurgeSize       50\nCompressAge       3\nCompressDeleteAge       9\n",
       "CompressCommand       bzip2 -9\n", {"m0=SELECTED\nm1=\nm2=\nm3=0\nm4=50\nm5=3\nm6=9\nm7=bzip2 -9\n"}},
      {"age out of range: message, nothing written", am, ai, "LogArchive=None&PurgeAge=-1", {}, {},
       {"text=" + kBad + "T185 bad purge age\ntype=3\n"}},
      {"hostile command stored raw, shown escaped", am, ai, "CompressCommand=%3Cb%3E+%22%25s%22", {},
       "PurgeAge 7\nCompressCommand       <b> \"%s\"\n", {"m7=&lt;b&gt; &quot;%s\n"}},
  });
}

TEST(ServerPagesTest, Snmp) {
  const std::string m = "# main\nSNMP on\nconfigfile @INC@\n", i = "SNMPCommunity secret\n";
  RunPageRows("SNMPMIB", {
      {"display", m, i, {}, {}, {}, {"<snmpmib>\nm0=CHECKED\nm1=secret\nm2=webmaster\n" + St(kReady, "0", "HLPSNMPM")}},
      {"defaults", "# m\n", "", {}, {}, {}, {"m0=\nm1=public\nm2=webmaster\n"}},
      {"switch written with fixed keywords, empty fields removed", m, i,
       "SNMPENABLED=off&SNMPCOMMUNITY=&WEBMASTEREMAIL=root%40example.com&PUSHBUTTON=Apply",
       Replace(m, "SNMP on", "SNMP       off") + "WebMasterEMail       root@example.com\n", "",
       {"m0=\nm1=public\nm2=root@example.com\n"}},
      {"an empty switch is still written", m, i, "SNMPENABLED=", Replace(m, "SNMP on", "SNMP       "), {}, {"m0=\n"}},
      {"unknown field: message, nothing written", m, i, "SNMPENABLED=off&NOSUCH=1", {}, {},
       {"text=" + kBad + "T116 unknown field NOSUCH\ntype=3\n"}},
  });
}

}  // namespace
}  // namespace cfgout::testing
