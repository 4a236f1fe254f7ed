// The cfgout program as a black box: its environment checks, page names, the
// Basic page, the request lock and hostile input, compared byte for byte.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "cgi/page_table.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

std::string IntroPage(std::string_view text, std::string_view type = "3") {
  return std::string(kHeader) + "<intro 100%>\n[" + Status(text, type) + "]\nmore \n</intro>\n";
}

constexpr std::string_view kSample = "# sample\nHostName proxy.example.com\nPort 80\nAdminPort 8008\nUserID www\n";
const std::vector<std::string> kSampleValues = {"proxy.example.com", "", "CHECKED", "80", "8008", "", "", "www", "nobody",
                                                "", "CHECKED", "", "", "", "", "", "", "", ""};

// The fixture's Basic page: the 19 control values, then the status block.
std::string BasicPage(const std::vector<std::string>& values, std::string_view text, std::string_view type,
                      std::vector<std::pair<int, std::string>> changed = {}) {
  std::vector<std::string> v = values;
  for (auto& [k, value] : changed) v[static_cast<std::size_t>(k)] = value;
  std::string out = std::string(kHeader) + "<basic>\n";
  for (std::size_t k = 0; k < v.size(); ++k) out.append("m").append(std::to_string(k)).append("=").append(v[k]).append("\n");
  return out + "status[" + Status(text, type, "HLPBASIC") + "]\nextra=\n</basic>\n";
}

// A request that must change nothing: the environment beyond the usual
// (a value "-" unsets), the methods tried, the whole output expected.
struct EnvRow {
  CgiEnvironment set;
  std::vector<const char*> methods;
  std::string out;
  int exitStatus = 0;
  std::string config = std::string(kSample);
};

TEST(CgiRequestTest, EnvironmentAndPageNames) {
  const std::string basic = BasicPage(kSampleValues, "T11 ready", "0");
  std::vector<EnvRow> rows = {
      {{{"PACKAGE_TYPE", "-"}}, {"GET", "POST"}, IntroPage("T4 no package type")},
      {{{"PACKAGE_TYPE", "-"}, {"SERVER_ROOT", "-"}, {"PATH_INFO", "-"}, {"RULE_FILE", "-"}}, {"GET", "POST"},
       IntroPage("T4 no package type")},
      {{{"SERVER_ROOT", "-"}}, {"GET", "POST"}, IntroPage("T3 no server root")},
      {{{"SERVER_ROOT", "-"}, {"PATH_INFO", "-"}, {"RULE_FILE", "-"}}, {"GET", "POST"}, IntroPage("T3 no server root")},
      {{{"PATH_INFO", "-"}}, {"GET", "POST"}, IntroPage("T6 no path info")},
      {{{"PATH_INFO", "-"}, {"RULE_FILE", "-"}}, {"GET", "POST"}, IntroPage("T6 no path info")},
      {{{"PATH_INFO", ""}}, {"GET"}, IntroPage("T6 no path info")},
      {{{"RULE_FILE", "-"}}, {"GET", "POST"}, IntroPage("T7 no rule file")},
      {{{"RULE_FILE", "@D/no-such-dir/proxy.conf"}}, {"GET"}, IntroPage("T8 cannot open")},
      {{{"RULE_FILE", ""}}, {"GET"}, IntroPage("T8 cannot open")},
      {{{"CONTENT_LENGTH", "-"}}, {"post"}, IntroPage("T5 no content length"), 1},
      // Without REQUEST_METHOD the request is no POST: CONTENT_LENGTH is not needed.
      {{{"CONTENT_LENGTH", "-"}, {"REQUEST_METHOD", "-"}}, {"GET"}, basic},
      {{{"PATH_INFO", "/\"><script>%s%n&"}}, {"GET"}, IntroPage("T9 no page [&quot;&gt;&lt;SCRIPT&gt;%S%N&amp;]")},
      // Without a HostName line the environment's host name shows.
      {{}, {"GET"}, BasicPage(kSampleValues, "T11 ready", "0", {{0, "env-host"}, {4, ""}, {7, "nobody"}}), 0, "# empty\n"},
  };
  for (const char* length : {"1048577", "99999999999999999999999", "12abc", "abc", "", "0x10", "1e3"}) {
    rows.push_back({{{"CONTENT_LENGTH", length}}, {"POST"}, IntroPage("T187 form refused")});
  }
  for (const char* path : {"/BASIC", "/basic", "/BaSiC", "/x/y/Basic", "\\basic", "c:\\dir\\BASIC", "\\a/BASIC"}) {
    rows.push_back({{{"PATH_INFO", path}}, {"GET"}, basic});
  }
  for (const auto& [path, name] : {std::pair{"/nope", "NOPE"}, {"/BASIC/", ""}, {"/cfg_intro", "CFG_INTRO"},
                                   {"/HlpBasic", "HLPBASIC"}, {"/HAPARMS", "HAPARMS"}, {"BASIC", "QTX_INTRO"},
                                   {"/qtx_intro", "QTX_INTRO"}, {"/a\\BASIC", "A\\BASIC"}, {"/KRTDS", "KRTDS"}}) {
    rows.push_back({{{"PATH_INFO", path}}, {"GET", "POST"}, IntroPage("T9 no page [" + std::string(name) + "]")});
  }
  for (const EnvRow& row : rows) {
    for (const char* method : row.methods) {
      const TempDir dir("cfgout-cgi");
      const std::string config = dir.Write("proxy.conf", row.config);
      CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()}, {"REQUEST_METHOD", method},
                         {"PATH_INFO", "/BASIC"}, {"RULE_FILE", config}, {"HOSTNAME", "env-host"}, {"CONTENT_LENGTH", "9"}};
      for (const auto& [name, value] : row.set) env[name] = Replace(value, "@D", dir.path());
      SCOPED_TRACE(std::string(method) + " " + env["PATH_INFO"] + " " + env["CONTENT_LENGTH"]);
      std::erase_if(env, [](const auto& entry) { return entry.second == "-"; });
      const ino_t before = Inode(config);
      const CgiResult r = RunCgi(CFGOUT_FIXTURE_BINARY, env, "UserID=zz");
      EXPECT_EQ(r.exitStatus, row.exitStatus);
      EXPECT_EQ(r.out, row.out);
      EXPECT_EQ(ReadFile(config), row.config);
      EXPECT_EQ(Inode(config), before);
      if (std::string_view(method) == "GET") {
        EXPECT_FALSE(std::filesystem::exists(config + ".lock")) << "a lock was taken";
      }
    }
  }
}

TEST(CgiRequestTest, BasicPage) {
  const std::string sample(kSample);
  RunPageRows("BASIC", {
      {"a form applied, written and shown", sample, "",
       "HostName=www.example.org&BindSpecific=off&BindSpecific=on&PORT=80%2C8080&ADMINPORT=+9090+"
       "&ServerRoot=%2Fsrv%2Fproxy&DNSLOOKUP=off&DNSLOOKUP=on&UserID=www&GroupID=staff&PidFile="
       "&IMBED=Files&IMBEDOPT=html&InheritEnv=PATH+LANG&DisInheritEnv=&PUSHBUTTON=Apply",
       "# sample\nHostName       www.example.org\nPort 80\nPort     8080\nAdminPort       9090\nUserID www\n"
       "BindSpecific       on\nServerRoot       /srv/proxy\nDNS-Lookup       on\nGroupID       staff\n"
       "InheritEnv       PATH LANG\nImbeds   Files   html\n", {},
       {BasicPage({"www.example.org", "CHECKED", "", "80,8080", "9090", "/srv/proxy", "CHECKED", "www", "staff", "", "", "",
                   "CHECKED", "", "", "", "CHECKED", "PATH LANG", ""}, "T12 done", "1")}},
      {"an empty form: no administration port, the directive goes", sample, "", "",
       "# sample\nHostName proxy.example.com\nPort 80\nUserID www\n", {}, {BasicPage(kSampleValues, "T12 done", "1", {{4, ""}})}},
      // The page shows the in-memory state: the field before the rejected one is applied there.
      {"a rejected field writes nothing", sample, "", "UserID=first&ADMINPORT=70000&GroupID=never", {}, {},
       {BasicPage(kSampleValues, "T13 invalid: T25 admin port range", "3", {{7, "first"}})}},
      // The text field drops leading and trailing double quotes and blanks.
      {"a hostile value stored raw, shown escaped", sample, "",
       "UserID=%22%3E%3Cscript%3Ealert(1)%3C%2Fscript%3E%25s%25n&ADMINPORT=8008",
       "# sample\nHostName proxy.example.com\nPort 80\nAdminPort 8008\nUserID       \"><script>alert(1)</script>%s%n\n", {},
       {BasicPage(kSampleValues, "T12 done", "1", {{7, "&gt;&lt;script&gt;alert(1)&lt;/script&gt;%s%n"}})}},
      {"a hostile field name is unknown, escaped in the message", sample, "", "%s%n%22%3E=1&ADMINPORT=8008", {}, {},
       {"text=T13 invalid: T116 unknown field %S%N%22%3E\n"}},
      {"a double quote in a value is shown as a reference", "# q\nInheritEnv A=\"1 2\" B\n", "", {}, {}, {},
       {"m17=A=&quot;1 2&quot; B\n"}},
      {"and survives being sent back", "# q\nInheritEnv A=\"1 2\" B\n", "", "InheritEnv=A%3D%221+2%22+B"},
      {"every control shown", "# basic settings\nHostName   proxy.example.com\nBindSpecific on\nPort 80\nPort\t8080  \r\n"
       "AdminPort 8008\nServerRoot \"/opt/proxy\"  \nDNS-Lookup on\nGroupID staff\nPidFile /var/run/proxy.pid\n"
       "Imbeds CGI html\nInheritEnv PATH LANG   \nDisInheritEnv SECRET TOKEN\n", "", {}, {}, {},
       {BasicPage({"proxy.example.com", "CHECKED", "", "80,8080", "8008", "/opt/proxy", "CHECKED", "nobody", "staff",
                   "/var/run/proxy.pid", "", "CHECKED", "", "", "", "", "CHECKED", "PATH LANG", "SECRET TOKEN"}, "T11 ready", "0")}},
      // The last Imbeds counts; every spelling of the HTML scope is one; "On" is a prefix of the mode word.
      {"Imbeds", "Imbeds On SSIonly\nImbeds Noexec SSIonly\n", "", {}, {}, {}, {"m10=\nm11=\nm12=\nm13=\nm14=CHECKED\nm15=CHECKED\nm16=\n"}},
      {"Imbeds", "Imbeds Files .htm\n", "", {}, {}, {}, {"m12=CHECKED\nm13=\nm14=\nm15=\nm16=CHECKED\n"}},
      {"Imbeds", "Imbeds Files .HTML\n", "", {}, {}, {}, {"m16=CHECKED\n"}},
      {"Imbeds", "Imbeds Only SSIonly\n", "", {}, {}, {}, {"m13=CHECKED\n"}},
      {"ports of every file in order", "Port 80\nconfigfile @INC@\nPort 8080\n", "Port 9000\n", {}, {}, {}, {"m3=80,8080,9000\n"}},
      {"values escaped", "HostName \"><script>alert(1)</script>\nPort 80<b>\nUserID %s%n&amp;\nInheritEnv A='1'\n", "", {}, {},
       {}, {"m0=&gt;&lt;script&gt;alert(1)&lt;/script&gt;\n", "m3=80&lt;b&gt;\n", "m7=%s%n&amp;amp;\n", "m17=A=&#39;1&#39;\n"}},
  });
}

TEST(CgiRequestTest, ConcurrentPostsChangingDifferentDirectivesBothLand) {
  const TempDir dir("cfgout-cgi");
  const std::string config = dir / "proxy.conf";
  const CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()}, {"RULE_FILE", config}};
  for (int round = 0; round < 25; ++round) {
    WriteFile(config, "# c\nUserID u\nGroupID g\nAdminPort 8008\n");
    const std::string user = "user" + std::to_string(round), group = "group" + std::to_string(round);
    std::atomic<int> ready{0};
    CgiResult a, b;
    const auto post = [&](CgiResult& r, std::string body) {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      r = RunFixture(env, "BASIC", body + "&ADMINPORT=8008");
    };
    std::thread ta(post, std::ref(a), "UserID=" + user), tb(post, std::ref(b), "GroupID=" + group);
    ta.join();
    tb.join();
    ASSERT_NE(a.out.find("text=T12 done"), std::string::npos) << a.out;
    ASSERT_NE(b.out.find("text=T12 done"), std::string::npos) << b.out;
    const std::string text = ReadFile(config);
    ASSERT_NE(text.find("UserID       " + user + "\n"), std::string::npos) << "round " << round << "\n" << text;
    ASSERT_NE(text.find("GroupID       " + group + "\n"), std::string::npos) << "round " << round << "\n" << text;
  }
}

// ---- Hostile input: one row per weakness. "@D" stands for the scratch folder.

struct HostileRow {
  const char* name;
  std::string config;
  std::string body;                  // empty: a GET
  std::string status;                // the "text=..." line of the status block
  std::optional<std::string> after = {};  // the main file afterwards (none: unchanged; "*": see verify)
  std::function<void(const std::string& dir)> prepare = nullptr;
  std::function<void(const std::string& dir)> verify = nullptr;
  std::string contentLength = "";  // overrides the body's length
  std::string writeHook = "";      // CFGOUT_FIXTURE_WRITE_HOOK
};

std::string LargeConfig() {
  std::string text = "# large\nUserID u\n";
  for (int i = 0; i < 20000; ++i) {
    text += i % 50 == 0 ? "Port " + std::to_string(8000 + i % 1000) + "\n"
                        : "Pass /p" + std::to_string(i) + "/* /data/p" + std::to_string(i) + "/*\n";
  }
  return text;
}

std::string MiBBody(std::string_view prefix, std::string_view unit) {
  std::string body(prefix);
  while (body.size() + unit.size() <= 1024 * 1024) body += unit;
  return body;
}

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

TEST(CgiRequestTest, HostileInputIsRefusedAndChangesNothing) {
  const std::string portsBody = MiBBody("PORT=1", ",1");
  ASSERT_EQ(portsBody.size(), 1024u * 1024);  // the limit itself is still read
  const auto noInclude = [](const std::string& d) { EXPECT_FALSE(std::filesystem::exists(d + "/inc.conf")); };
  const auto aUnchanged = [](const std::string& d) { EXPECT_EQ(ReadFile(d + "/a.conf"), "GroupID g\n"); };
  const auto writeA = [](const std::string& d) { WriteFile(d + "/a.conf", "GroupID g\n"); };
  int heldLock = -1;  // the other process's lock
  const std::vector<HostileRow> rows = {
      {"a value long enough to push an include onto a line of its own", "# h\nUserID u\n",
       "UserID=" + std::string(1010, 'v') + "configfile+@D/inc.conf&ADMINPORT=", "text=T189 value too long", {}, nullptr,
       noInclude},
      {"an include hidden in the piece that continues a cut line",
       "# h\nUserID " + std::string(1016, 'u') + "configfile @D/inc.conf\nGroupID g\n", "", "text=T11 ready", {}, nullptr,
       noInclude},
      // Only regular files are read: no hang on a FIFO, no endless device.
      {"a FIFO as include", "# h\nUserID u\nconfigfile @D/fifo\n", "UserID=new", "text=T190 not a regular file [@D/fifo]", {},
       [](const std::string& d) { ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0); }},
      {"/dev/zero as include", "# h\nUserID u\nconfigfile /dev/zero\n", "UserID=new",
       "text=T190 not a regular file [/dev/zero]"},
      {"a directory as include, on a GET", "# h\nUserID u\nconfigfile @D\n", "", "text=T190 not a regular file [@D]"},
      // The write-back writes the files it read, each once, and only there.
      {"an include reached by two spellings is read and written once", "# h\nconfigfile @D/a.conf\nconfigfile @D//./a.conf\n",
       "GroupID=new", "text=T12 done", {}, writeA,
       [](const std::string& d) { EXPECT_EQ(ReadFile(d + "/a.conf"), "GroupID       new\n"); }},
      {"a symbolic link retargeted between reading and writing", "# h\nconfigfile @D/link.conf\n", "GroupID=new",
       "text=T191 file changed [@D/link.conf]", {},
       [](const std::string& d) {
         WriteFile(d + "/a.conf", "GroupID g\n");
         WriteFile(d + "/b.conf", "# other\n");
         std::filesystem::create_symlink(d + "/a.conf", d + "/link.conf");
       },
       [&](const std::string& d) {
         aUnchanged(d);
         EXPECT_EQ(ReadFile(d + "/b.conf"), "# other\n");
       },
       "", "relink:@D/link.conf:@D/b.conf"},
      {"a failing write of the second file changes no file", "# h\nUserID u\nconfigfile @D/a.conf\n",
       "UserID=new&GroupID=new", "text=T10 write failed", {}, writeA, aUnchanged, "", "fail:a.conf"},
      {"a body shorter than its CONTENT_LENGTH", "# h\nUserID u\n", "UserID=new", "text=T193 form cut short", {}, nullptr,
       nullptr, "20"},
      {"a lock held by another process: bounded wait, nothing written", "# h\nUserID u\n", "UserID=new", "text=T188 busy", {},
       [&heldLock](const std::string& d) {
         const std::string lockPath = std::filesystem::canonical(d + "/proxy.conf").string() + ".lock";
         heldLock = ::open(lockPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
         ASSERT_GE(heldLock, 0);
         ASSERT_EQ(::flock(heldLock, LOCK_EX), 0);
       },
       [&heldLock](const std::string&) { ::close(heldLock); }},
      {"a missing include is created private under umask 000", "# h\nconfigfile @D/new.conf\n", "GroupID=g", "text=T12 done",
       "# h\nconfigfile @D/new.conf\nGroupID       g\n", [](const std::string&) { ::umask(0); },
       [](const std::string& d) {
         ::umask(022);
         struct stat st {};
         ASSERT_EQ(::stat((d + "/new.conf").c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0640u);
         EXPECT_EQ(ReadFile(d + "/new.conf"), "");
       }},
      // Linear in the size of the form and of the configuration: a hang fails the row.
      {"a body of exactly 1 MiB, ports, on a 20,000-line configuration", LargeConfig(), portsBody, "text=T12 done", "*", nullptr,
       [&portsBody](const std::string& d) {
         const std::string text = ReadFile(d + "/proxy.conf");
         EXPECT_EQ(Count(text, "Port     1\n"), Count(portsBody, "1"));
         EXPECT_EQ(Count(text, "\nPort 8"), 0u);
       }},
      {"a 1 MiB body of alternating fields on a 20,000-line configuration", LargeConfig(),
       MiBBody("", "UserID=a&GroupID=b&CURPASS=c&HostName=h.example&"), "text=T12 done", "*", nullptr,
       [](const std::string& d) {
         const std::string text = ReadFile(d + "/proxy.conf");
         for (const char* line : {"UserID       a\n", "GroupID       b\n", "HostName       h.example\n"}) {
           EXPECT_EQ(Count(text, line), 1u) << line;
         }
         EXPECT_EQ(Count(text, "CURPASS"), 0u);
         EXPECT_EQ(text.rfind("# large\nUserID       a\nPort 8000\n", 0), 0u);
       }},
  };
  for (const HostileRow& row : rows) {
    SCOPED_TRACE(row.name);
    const TempDir scratch("cfgout-hostile");
    const std::string dir = scratch.path(), config = scratch / "proxy.conf";
    const std::string before = Replace(row.config, "@D", dir);
    WriteFile(config, before);
    if (row.prepare) row.prepare(dir);
    CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir}, {"RULE_FILE", config}, {"CFGOUT_FIXTURE_LOCK_WAIT_MS", "300"}};
    const std::string body = Replace(row.body, "@D", dir);
    if (!row.contentLength.empty()) env["CONTENT_LENGTH"] = row.contentLength;
    if (!row.writeHook.empty()) env["CFGOUT_FIXTURE_WRITE_HOOK"] = Replace(row.writeHook, "@D", dir);
    CgiResult r;
    if (row.contentLength.empty()) {
      r = RunFixture(env, "BASIC", body.empty() ? std::nullopt : std::optional<std::string>(body));
    } else {
      env["PATH_INFO"] = "/BASIC";
      env["REQUEST_METHOD"] = "POST";
      r = RunCgi(CFGOUT_FIXTURE_BINARY, env, body);
    }
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find(Replace(row.status, "@D", dir) + "\n"), std::string::npos) << r.out.substr(0, 2000);
    if (row.after != "*") {
      EXPECT_EQ(ReadFile(config), row.after ? Replace(*row.after, "@D", dir) : before);
    }
    if (row.verify) row.verify(dir);
  }
}

// The shipped templates (cfgout itself): title, configured values in their
// controls, the status, no marker left, every label tied to a control.
TEST(CgiRequestTest, ShippedTemplates) {
  const TempDir dir("cfgout-real");
  const std::string text =
      "# real\nHostName a\"b.example\nPort 80\nPort 81\nAdminPort 8008\nInputTimeout 2 minutes\nListenBacklog 64\n"
      "CacheUnused http:* 3 days\nGcLowWater 55\nCacheDev /dev/sdb1\nAggressiveCaching http://a/*\nNoCaching http://ads/*\n"
      "http_proxy http://up:8080/\nProxy http:*\nCacheMaxExpiry http://news/* 2 days\nDirShowMaxLength 40\n"
      "ErrorLog /logs/error\nLogArchive purge\nSNMPCommunity <secret>\n";
  const std::string config = dir.Write("proxy.conf", text);
  struct Shown {
    const char *page, *title;
    std::vector<const char*> controls;
  };
  for (const Shown& p : {
           Shown{"BASIC", "Basic settings", {R"(name="HostName" value="a&quot;b.example")", R"(name="PORT" value="80,81")",
                                             R"(name="ADMINPORT" value="8008")", R"(data-name="help-page" value="HLPBASIC")"}},
           Shown{"TIMEOUT", "Timeouts", {R"(<select id="INPUTTIMEOUTMINS" name="INPUTTIMEOUTMINS"><OPTION>0<OPTION>1<OPTION SELECTED>2<)"}},
           Shown{"PERFORMA", "Performance", {R"(name="ListenBacklog" value="64")"}},
           Shown{"PROXBEHA", "Proxy behaviour", {"<tr><td>1</td><td>http://a/*</td></tr>"}},
           Shown{"PROXCACH", "Proxy caching", {"<tr><td>1</td><td>/dev/sdb1</td></tr>"}},
           Shown{"PROXEXP", "Cache expiry", {R"(<option value="days" SELECTED>Days</option>)"}},
           Shown{"PROXGC", "Garbage collection", {R"(name="GcLowWater" value="55")"}},
           Shown{"PROXMAP", "Proxy mapping", {"<tr><td>1</td><td>Do not cache</td><td>http://ads/*</td></tr>"}},
           Shown{"PROXPROX", "Upstream proxies", {R"(name="HTTPPROXY" value="http://up:8080/ ")"}},
           Shown{"PROXSERV", "Proxied protocols", {R"(name="HTTPPROTOCOL" value="http:*" CHECKED>)"}},
           Shown{"PROXTIME", "Cache cleaning and maximum expiry", {"<td>http://news/*</td><td>2 days</td>"}},
           Shown{"LISTCNTS", "Directory listings", {R"(name="DirShowMaxLength" value="40")"}},
           Shown{"LOGFILES", "Log files", {R"(name="ErrorLog" value="/logs/error")"}},
           Shown{"ARCHIVE", "Log archiving", {R"(<option value="Purge" SELECTED>)"}},
           Shown{"SNMPMIB", "SNMP", {R"(name="SNMPCOMMUNITY" value="&lt;secret&gt;")"}}}) {
    SCOPED_TRACE(p.page);
    const CgiResult r = RunCgi(CFGOUT_BINARY, {{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()}, {"REQUEST_METHOD", "GET"},
                                               {"PATH_INFO", std::string("/") + p.page}, {"RULE_FILE", config}});
    EXPECT_EQ(r.exitStatus, 0);
    // Printed line by line, as the template files are written.
    EXPECT_EQ(r.out.rfind(std::string(kHeader) + "<!DOCTYPE html>\n", 0), 0u);
    EXPECT_TRUE(r.out.ends_with("</html>\n"));
    EXPECT_NE(r.out.find("<title>" + std::string(p.title) + " - Proxy configuration</title>"), std::string::npos);
    for (const char* piece : p.controls) EXPECT_NE(r.out.find(piece), std::string::npos) << piece;
    EXPECT_NE(r.out.find(R"(<p class="status-message">Ready</p>)"), std::string::npos);
    EXPECT_NE(r.out.find(R"(<p class="status-kind status-0"></p>)"), std::string::npos);
    EXPECT_EQ(r.out.find("%s"), std::string::npos);
    for (std::size_t at = r.out.find(" for=\""); at != std::string::npos; at = r.out.find(" for=\"", at + 1)) {
      const std::string id = r.out.substr(at + 6, r.out.find('"', at + 6) - at - 6);
      EXPECT_NE(r.out.find(" id=\"" + id + "\""), std::string::npos) << "label for " << id;
    }
  }
  CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()}, {"PATH_INFO", "/BASIC"}, {"RULE_FILE", config}};
  env["REQUEST_METHOD"] = "POST";
  const std::string body = "HostName=www.example.org&PORT=80&ADMINPORT=9090&PUSHBUTTON=Apply";
  env["CONTENT_LENGTH"] = std::to_string(body.size());
  const CgiResult post = RunCgi(CFGOUT_BINARY, env, body);
  EXPECT_NE(post.out.find("<p class=\"status-message\">The requested configuration changes have been completed "
                          "successfully.</p>"), std::string::npos);
  EXPECT_NE(post.out.find(R"(<p class="status-kind status-1"></p>)"), std::string::npos);
  EXPECT_EQ(ReadFile(config), Replace(Replace(Replace(text, "HostName a\"b.example", "HostName       www.example.org"),
                                            "Port 81\n", ""), "AdminPort 8008", "AdminPort       9090"));

  env["PATH_INFO"] = "/KRTDS";
  env["REQUEST_METHOD"] = "GET";
  const CgiResult intro = RunCgi(CFGOUT_BINARY, env);
  EXPECT_NE(intro.out.find("<title>Proxy configuration</title>"), std::string::npos);
  EXPECT_NE(intro.out.find(R"(<p class="status-message">HTML form information not found</p>)"), std::string::npos);
  EXPECT_NE(intro.out.find(R"(<p class="status-kind status-3"></p>)"), std::string::npos);
  EXPECT_EQ(intro.out.find("help-page"), std::string::npos);
}

}  // namespace
}  // namespace cfgout::testing
