// The cfgout program as a black box: run as the web server runs it, with an
// environment and a body, and compared byte for byte - the page it prints,
// its exit status and the configuration files it leaves.
//
// cfgout_fixture reads the small bundles under tests/cgi/bundles: marker-line
// templates ("m<k>=%s") and a test catalogue whose texts start with "T<n>".

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

constexpr std::string_view kHeader = "Content-type: text/html\nPragma: no-cache\n\n";

// Template lines are printed as they stand in the bundle, one after the
// other; each carries the line feed that ends it in its source file.
constexpr std::string_view kEol = "\n";

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (std::string_view l : lines) {
    out += l;
    out += kEol;
  }
  return out;
}

// The status block of the fixture's HAPARMS template.
std::string Status(std::string_view text, std::string_view type, std::string_view help = {}) {
  std::string out = Lines({"{"});
  out += Lines({"text=" + std::string(text), "type=" + std::string(type)});
  if (!help.empty()) out += Lines({"help=" + std::string(help)});
  out += Lines({"flag=false", "}"});
  return out;
}

// The fixture's introduction page around a status block.
std::string IntroPage(std::string_view text, std::string_view type = "3") {
  std::string out(kHeader);
  out += Lines({"<intro 100%>"});
  out += "[";
  out += Status(text, type);
  out += "]";
  out += kEol;
  out += Lines({"more ", "</intro>"});
  return out;
}

// The fixture's Basic page: the 19 control values, then the status block.
std::string BasicPage(const std::vector<std::string>& values, std::string_view statusText,
                      std::string_view statusType) {
  std::string out(kHeader);
  out += Lines({"<basic>"});
  for (std::size_t k = 0; k < values.size(); ++k) {
    // Appended piece by piece: "m" + std::to_string(k) trips GCC 12's
    // -Wrestrict false positive at -O3.
    std::string item("m");
    item += std::to_string(k);
    item += '=';
    item += values[k];
    out += Lines({item});
  }
  out += "status[";
  out += Status(statusText, statusType, "HLPBASIC");
  out += "]";
  out += kEol;
  out += Lines({"extra=", "</basic>"});
  return out;
}

ino_t Inode(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

constexpr std::string_view kReady = "T11 ready";
constexpr std::string_view kDone = "T12 done";

constexpr std::string_view kSampleConfig =
    "# sample\n"
    "HostName proxy.example.com\n"
    "Port 80\n"
    "AdminPort 8008\n"
    "UserID www\n";

// The Basic values of kSampleConfig.
std::vector<std::string> SampleValues() {
  return {"proxy.example.com", "", "CHECKED", "80", "8008", "", "", "www", "nobody", "",
          "CHECKED", "", "", "", "", "", "", "", ""};
}

class CgiRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { Write(config_, kSampleConfig); }

  static void Write(const std::string& path, std::string_view text) { WriteFile(path, text); }

  CgiEnvironment Env(std::string_view method, std::string_view pathInfo) const {
    return {{"PACKAGE_TYPE", "3"},
            {"SERVER_ROOT", dir_.path()},
            {"REQUEST_METHOD", std::string(method)},
            {"PATH_INFO", std::string(pathInfo)},
            {"RULE_FILE", config_},
            {"HOSTNAME", "env-host"}};
  }

  static CgiResult Run(const CgiEnvironment& env, std::string_view body = {}) {
    return RunCgi(CFGOUT_FIXTURE_BINARY, env, body);
  }

  CgiResult Get(std::string_view pathInfo = "/BASIC") const { return Run(Env("GET", pathInfo)); }

  CgiResult Post(std::string_view body, std::string_view pathInfo = "/BASIC") const {
    CgiEnvironment env = Env("POST", pathInfo);
    env["CONTENT_LENGTH"] = std::to_string(body.size());
    return Run(env, body);
  }

  std::string Config() const { return ReadFile(config_); }

  TempDir dir_{"cfgout-cgi"};
  std::string config_ = dir_ / "proxy.conf";
};

// ---- Environment checks ------------------------------------------------------

TEST_F(CgiRequestTest, EachMissingVariableShowsItsMessageInOrder) {
  struct Case {
    std::vector<std::string> unset;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"PACKAGE_TYPE"}, "T4 no package type"},
      {{"PACKAGE_TYPE", "SERVER_ROOT", "PATH_INFO", "RULE_FILE"}, "T4 no package type"},
      {{"SERVER_ROOT"}, "T3 no server root"},
      {{"SERVER_ROOT", "PATH_INFO", "RULE_FILE"}, "T3 no server root"},
      {{"PATH_INFO"}, "T6 no path info"},
      {{"PATH_INFO", "RULE_FILE"}, "T6 no path info"},
      {{"RULE_FILE"}, "T7 no rule file"},
  };
  const ino_t before = Inode(config_);
  for (const Case& c : cases) {
    for (std::string_view method : {"GET", "POST"}) {
      CgiEnvironment env = Env(method, "/BASIC");
      env["CONTENT_LENGTH"] = "9";
      for (const std::string& name : c.unset) env.erase(name);
      const CgiResult r = Run(env, "UserID=zz");
      EXPECT_EQ(r.exitStatus, 0) << c.message;
      EXPECT_EQ(r.out, IntroPage(c.message)) << c.message;
    }
  }
  EXPECT_EQ(Config(), kSampleConfig);
  EXPECT_EQ(Inode(config_), before);
}

TEST_F(CgiRequestTest, EmptyPathInfoCountsAsMissing) {
  EXPECT_EQ(Get("").out, IntroPage("T6 no path info"));
}

TEST_F(CgiRequestTest, PostWithoutContentLengthExitsWithStatusOne) {
  CgiEnvironment env = Env("post", "/BASIC");
  const CgiResult r = Run(env, "UserID=zz");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, IntroPage("T5 no content length"));
  EXPECT_EQ(Config(), kSampleConfig);

  // Without REQUEST_METHOD the request is no POST: CONTENT_LENGTH is not needed.
  env.erase("REQUEST_METHOD");
  const CgiResult get = Run(env);
  EXPECT_EQ(get.exitStatus, 0);
  EXPECT_EQ(get.out, BasicPage(SampleValues(), kReady, "0"));
}

TEST_F(CgiRequestTest, UnreadableConfigurationIsMessageEight) {
  CgiEnvironment env = Env("GET", "/BASIC");
  env["RULE_FILE"] = dir_ / "no-such-dir/proxy.conf";
  EXPECT_EQ(Run(env).out, IntroPage("T8 cannot open"));
  env["RULE_FILE"] = "";
  EXPECT_EQ(Run(env).out, IntroPage("T8 cannot open"));
}

TEST_F(CgiRequestTest, OversizedOrNonNumericContentLengthIsRefusedUnread) {
  const ino_t before = Inode(config_);
  for (const char* length : {"1048577", "99999999999999999999999", "12abc", "abc", "", "0x10", "1e3"}) {
    CgiEnvironment env = Env("POST", "/BASIC");
    env["CONTENT_LENGTH"] = length;
    const CgiResult r = Run(env, "UserID=changed");
    EXPECT_EQ(r.exitStatus, 0) << length;
    EXPECT_EQ(r.out, IntroPage("T187 form refused")) << length;
  }
  EXPECT_EQ(Config(), kSampleConfig);
  EXPECT_EQ(Inode(config_), before);

  // At the limit the body is read: 1 MiB of a single field.
  std::string body = "ADMINPORT=8008&UserID=new&PUSHBUTTON=";
  body.append(1024 * 1024 - body.size(), 'u');
  const CgiResult atLimit = Post(body);
  EXPECT_EQ(atLimit.exitStatus, 0);
  EXPECT_NE(atLimit.out.find("text=T12 done"), std::string::npos);
  EXPECT_NE(Config().find("UserID       new\n"), std::string::npos);
}

// ---- Page names --------------------------------------------------------------

TEST_F(CgiRequestTest, PageNameIsTheLastPathComponentInAnyCase) {
  const std::string expected = BasicPage(SampleValues(), kReady, "0");
  for (const char* path : {"/BASIC", "/basic", "/BaSiC", "/x/y/Basic", "\\basic", "c:\\dir\\BASIC",
                           "\\a/BASIC"}) {
    EXPECT_EQ(Get(path).out, expected) << path;
  }
}

TEST_F(CgiRequestTest, UnknownOrUnservedPagesAreMessageNineWithTheUpperCaseName) {
  struct Case {
    const char* path;
    const char* name;
  };
  for (const Case& c : {Case{"/nope", "NOPE"}, Case{"/BASIC/", ""}, Case{"/cfg_intro", "CFG_INTRO"},
                        Case{"/HlpBasic", "HLPBASIC"}, Case{"/HAPARMS", "HAPARMS"},
                        Case{"BASIC", "QTX_INTRO"}, Case{"/qtx_intro", "QTX_INTRO"},
                        Case{"/a\\BASIC", "A\\BASIC"}, Case{"/KRTDS", "KRTDS"}}) {
    for (bool post : {false, true}) {
      const ino_t before = Inode(config_);
      const CgiResult r = post ? Post("UserID=zz", c.path) : Get(c.path);
      EXPECT_EQ(r.exitStatus, 0) << c.path;
      EXPECT_EQ(r.out, IntroPage("T9 no page [" + std::string(c.name) + "]")) << c.path;
      EXPECT_EQ(Config(), kSampleConfig) << c.path;
      EXPECT_EQ(Inode(config_), before) << c.path;
    }
  }
}

TEST_F(CgiRequestTest, PageNameIsEscapedInTheMessage) {
  const CgiResult r = Get("/\"><script>%s%n&");
  EXPECT_EQ(r.out, IntroPage("T9 no page [&quot;&gt;&lt;SCRIPT&gt;%S%N&amp;]"));
}

// ---- The Basic page ------------------------------------------------------------

TEST_F(CgiRequestTest, GetShowsThePageAndWritesNothing) {
  const ino_t before = Inode(config_);
  const CgiResult r = Get();
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out, BasicPage(SampleValues(), kReady, "0"));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Config(), kSampleConfig);
  EXPECT_EQ(Inode(config_), before);
  // A GET takes no lock.
  EXPECT_FALSE(std::filesystem::exists(dir_ / "proxy.conf.lock"));
}

TEST_F(CgiRequestTest, DisplayDefaultsComeFromTheEnvironmentAndTheTable) {
  Write(config_, "# empty\n");
  EXPECT_EQ(Get().out, BasicPage({"env-host", "", "CHECKED", "80", "", "", "", "nobody", "nobody", "", "CHECKED",
                                  "", "", "", "", "", "", "", ""},
                                 kReady, "0"));
}

TEST_F(CgiRequestTest, PostAppliesTheFormWritesAndShowsTheNewState) {
  const std::string body =
      "HostName=www.example.org&BindSpecific=off&BindSpecific=on&PORT=80%2C8080&ADMINPORT=+9090+"
      "&ServerRoot=%2Fsrv%2Fproxy&DNSLOOKUP=off&DNSLOOKUP=on&UserID=www&GroupID=staff&PidFile="
      "&IMBED=Files&IMBEDOPT=html&InheritEnv=PATH+LANG&DisInheritEnv=&PUSHBUTTON=Apply";
  const CgiResult r = Post(body);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(Config(),
            "# sample\n"
            "HostName       www.example.org\n"
            "Port 80\n"
            "Port     8080\n"
            "AdminPort       9090\n"
            "UserID www\n"
            "BindSpecific       on\n"
            "ServerRoot       /srv/proxy\n"
            "DNS-Lookup       on\n"
            "GroupID       staff\n"
            "InheritEnv       PATH LANG\n"
            "Imbeds   Files   html\n");
  EXPECT_EQ(r.out, BasicPage({"www.example.org", "CHECKED", "", "80,8080", "9090", "/srv/proxy", "CHECKED", "www",
                              "staff", "", "", "", "CHECKED", "", "", "", "CHECKED", "PATH LANG", ""},
                             kDone, "1"));
}

TEST_F(CgiRequestTest, EmptyPostRunsTheHandlerWithNoFields) {
  CgiEnvironment env = Env("POST", "/BASIC");
  env["CONTENT_LENGTH"] = "0";
  const CgiResult r = Run(env);
  EXPECT_EQ(r.exitStatus, 0);
  // No administration port in the form: the directive is removed.
  EXPECT_EQ(Config(), "# sample\nHostName proxy.example.com\nPort 80\nUserID www\n");
  std::vector<std::string> values = SampleValues();
  values[4] = "";
  EXPECT_EQ(r.out, BasicPage(values, kDone, "1"));
}

TEST_F(CgiRequestTest, RejectedFieldWritesNothingAndShowsTheMessage) {
  const ino_t before = Inode(config_);
  const CgiResult r = Post("UserID=first&ADMINPORT=70000&GroupID=never");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(Config(), kSampleConfig);
  EXPECT_EQ(Inode(config_), before);
  // The page shows the in-memory state: the field before the rejected one
  // is applied there.
  std::vector<std::string> values = SampleValues();
  values[7] = "first";
  EXPECT_EQ(r.out, BasicPage(values, "T13 invalid: T25 admin port range", "3"));
}

TEST_F(CgiRequestTest, PortErrorsWriteNothing) {
  const ino_t before = Inode(config_);
  CgiResult r = Post("PORT=+++&ADMINPORT=8008");
  EXPECT_EQ(r.out, BasicPage(SampleValues(), "T2 ports missing", "3"));
  r = Post("PORT=8008%2C80&ADMINPORT=8008");
  std::vector<std::string> values = SampleValues();
  // In memory the existing "Port 80" stays and the new port follows it.
  values[3] = "80,8008";
  EXPECT_EQ(r.out, BasicPage(values, "T56 admin port equals a port", "3"));
  EXPECT_EQ(Config(), kSampleConfig);
  EXPECT_EQ(Inode(config_), before);
}

TEST_F(CgiRequestTest, HostileValuesAreStoredRawAndShownEscaped) {
  const CgiResult r = Post("UserID=%22%3E%3Cscript%3Ealert(1)%3C%2Fscript%3E%25s%25n&ADMINPORT=8008");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(Config().find("\nUserID       \"><script>alert(1)</script>%s%n\n"), std::string::npos) << Config();
  std::vector<std::string> values = SampleValues();
  // The text field drops leading and trailing double quotes and blanks.
  values[7] = "&gt;&lt;script&gt;alert(1)&lt;/script&gt;%s%n";
  EXPECT_EQ(r.out, BasicPage(values, kDone, "1"));
  EXPECT_EQ(Get().out, BasicPage(values, kReady, "0"));

  // A hostile field name is unknown: refused, escaped in the message.
  const CgiResult bad = Post("%s%n%22%3E=1&ADMINPORT=8008");
  EXPECT_EQ(bad.out.find("<script>"), std::string::npos);
  EXPECT_NE(bad.out.find("text=T13 invalid: T116 unknown field %S%N%22%3E" + std::string(kEol)), std::string::npos)
      << bad.out;
}

TEST_F(CgiRequestTest, DoubleQuoteInAValueSurvivesDisplayAndResubmit) {
  Write(config_, "# q\nInheritEnv A=\"1 2\" B\n");
  const CgiResult shown = Get();
  EXPECT_NE(shown.out.find("m17=A=&quot;1 2&quot; B" + std::string(kEol)), std::string::npos) << shown.out;
  // The browser decodes &quot; and sends the value back URL-encoded.
  Post("InheritEnv=A%3D%221+2%22+B");
  EXPECT_EQ(Config(), "# q\nInheritEnv A=\"1 2\" B\n");
}

// ---- Concurrency ---------------------------------------------------------------

TEST_F(CgiRequestTest, ConcurrentPostsChangingDifferentDirectivesBothLand) {
  for (int round = 0; round < 25; ++round) {
    Write(config_, "# c\nUserID u\nGroupID g\nAdminPort 8008\n");
    const std::string user = "user" + std::to_string(round);
    const std::string group = "group" + std::to_string(round);
    std::atomic<int> ready{0};
    CgiResult a, b;
    std::thread ta([&] {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      a = Post("UserID=" + user + "&ADMINPORT=8008");
    });
    std::thread tb([&] {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      b = Post("GroupID=" + group + "&ADMINPORT=8008");
    });
    ta.join();
    tb.join();
    ASSERT_NE(a.out.find("text=T12 done"), std::string::npos) << a.out;
    ASSERT_NE(b.out.find("text=T12 done"), std::string::npos) << b.out;
    const std::string text = Config();
    ASSERT_NE(text.find("UserID       " + user + "\n"), std::string::npos) << "round " << round << "\n" << text;
    ASSERT_NE(text.find("GroupID       " + group + "\n"), std::string::npos) << "round " << round << "\n" << text;
  }
}

// ---- Hostile input ----------------------------------------------------------
//
// One row per weakness: the configuration before (with "@D" standing for the
// scratch directory), an optional preparation, the body posted (a GET when
// there is none), the status the page shows, and the main file afterwards.

struct HostileRow {
  const char* name;
  std::string config;
  std::string body;           // empty: a GET
  std::string status;         // "text=..." line of the status block
  std::optional<std::string> after;  // the main file afterwards (none: unchanged; "*": see verify)
  std::function<void(const std::string& dir)> prepare = nullptr;
  std::function<void(const std::string& dir)> verify = nullptr;
  std::string contentLength;  // overrides the body's length
  std::string writeHook;      // CFGOUT_FIXTURE_WRITE_HOOK
};

std::string InDir(std::string text, const std::string& dir) {
  for (std::size_t at; (at = text.find("@D")) != std::string::npos;) text.replace(at, 2, dir);
  return text;
}

// A large configuration: 20,000 lines, one in fifty a Port directive.
std::string LargeConfig() {
  std::string text = "# large\nUserID u\n";
  for (int i = 0; i < 20000; ++i) {
    text += i % 50 == 0 ? "Port " + std::to_string(8000 + i % 1000) + "\n"
                        : "Pass /p" + std::to_string(i) + "/* /data/p" + std::to_string(i) + "/*\n";
  }
  return text;
}

// A body of `unit` repeated up to 1 MiB.
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

TEST_F(CgiRequestTest, HostileInputIsRefusedAndChangesNothing) {
  const std::string longValue(1010, 'v');
  const std::string portsBody = MiBBody("PORT=1", ",1");
  int heldLock = -1;  // the other process's lock, for the row that needs one
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // rows name only what they need
  const std::vector<HostileRow> rows = {
      {.name = "a value long enough to push an include onto a line of its own",
       .config = "# h\nUserID u\n",
       .body = "UserID=" + longValue + "configfile+@D/inc.conf&ADMINPORT=",
       .status = "text=T189 value too long",
       .verify = [](const std::string& d) { EXPECT_FALSE(std::filesystem::exists(d + "/inc.conf")); }},
      {.name = "an include hidden in the piece that continues a cut line",
       .config = "# h\nUserID " + std::string(1016, 'u') + "configfile @D/inc.conf\nGroupID g\n",
       .status = "text=T11 ready",
       .verify = [](const std::string& d) { EXPECT_FALSE(std::filesystem::exists(d + "/inc.conf")); }},
      // Only regular files are read: the request neither hangs on a FIFO
      // without writer nor reads a device without end, and writes nothing.
      {.name = "a FIFO as include",
       .config = "# h\nUserID u\nconfigfile @D/fifo\n",
       .body = "UserID=new",
       .status = "text=T190 not a regular file [@D/fifo]",
       .prepare = [](const std::string& d) { ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0); }},
      {.name = "/dev/zero as include",
       .config = "# h\nUserID u\nconfigfile /dev/zero\n",
       .body = "UserID=new",
       .status = "text=T190 not a regular file [/dev/zero]"},
      // The write-back writes the files it read, each once, and only there.
      {.name = "an include reached by two spellings is read and written once",
       .config = "# h\nconfigfile @D/a.conf\nconfigfile @D//./a.conf\n",
       .body = "GroupID=new",
       .status = "text=T12 done",
       .prepare = [](const std::string& d) { WriteFile(d + "/a.conf", "GroupID g\n"); },
       .verify = [](const std::string& d) { EXPECT_EQ(ReadFile(d + "/a.conf"), "GroupID       new\n"); }},
      {.name = "a symbolic link retargeted between reading and writing",
       .config = "# h\nconfigfile @D/link.conf\n",
       .body = "GroupID=new",
       .status = "text=T191 file changed [@D/link.conf]",
       .prepare = [](const std::string& d) {
         WriteFile(d + "/a.conf", "GroupID g\n");
         WriteFile(d + "/b.conf", "# other\n");
         std::filesystem::create_symlink(d + "/a.conf", d + "/link.conf");
       },
       .verify = [](const std::string& d) {
         EXPECT_EQ(ReadFile(d + "/a.conf"), "GroupID g\n");
         EXPECT_EQ(ReadFile(d + "/b.conf"), "# other\n");
       },
       .writeHook = "relink:@D/link.conf:@D/b.conf"},
      {.name = "a failing write of the second file changes no file",
       .config = "# h\nUserID u\nconfigfile @D/a.conf\n",
       .body = "UserID=new&GroupID=new",
       .status = "text=T10 write failed",
       .prepare = [](const std::string& d) { WriteFile(d + "/a.conf", "GroupID g\n"); },
       .verify = [](const std::string& d) { EXPECT_EQ(ReadFile(d + "/a.conf"), "GroupID g\n"); },
       .writeHook = "fail:a.conf"},
      {.name = "a body shorter than its CONTENT_LENGTH",
       .config = "# h\nUserID u\n",
       .body = "UserID=new",
       .status = "text=T193 form cut short",
       .contentLength = "20"},
      {.name = "a field that names no directive is never written",
       .config = "# h\nUserID u\n",
       .body = "CURPASS=hunter2&UserID=new&CURROW=1",
       .status = "text=T12 done",
       .after = "# h\nUserID       new\n"},
      {.name = "a lock held by another process: bounded wait, nothing written",
       .config = "# h\nUserID u\n",
       .body = "UserID=new",
       .status = "text=T188 busy",
       .prepare = [&heldLock](const std::string& d) {
         const std::string lockPath = std::filesystem::canonical(d + "/proxy.conf").string() + ".lock";
         heldLock = ::open(lockPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
         ASSERT_GE(heldLock, 0);
         ASSERT_EQ(::flock(heldLock, LOCK_EX), 0);
       },
       .verify = [&heldLock](const std::string&) { ::close(heldLock); }},
      {.name = "a missing include is created private under umask 000",
       .config = "# h\nconfigfile @D/new.conf\n",
       .body = "GroupID=g",
       .status = "text=T12 done",
       .after = "# h\nconfigfile @D/new.conf\nGroupID       g\n",
       .prepare = [](const std::string&) { ::umask(0); },
       .verify = [](const std::string& d) {
         ::umask(022);
         struct stat st {};
         ASSERT_EQ(::stat((d + "/new.conf").c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0640u);
         EXPECT_EQ(ReadFile(d + "/new.conf"), "");
       }},
      // Linear in the size of the form and of the configuration: these run
      // within the runner's time limit (a hang fails the row).
      {.name = "a 1 MiB body of ports on a 20,000-line configuration",
       .config = LargeConfig(),
       .body = portsBody,
       .status = "text=T12 done",
       .after = "*",
       .verify = [&portsBody](const std::string& d) {
         const std::string text = ReadFile(d + "/proxy.conf");
         EXPECT_EQ(Count(text, "Port     1\n"), Count(portsBody, "1"));
         EXPECT_EQ(Count(text, "\nPort 8"), 0u);
       }},
      {.name = "a 1 MiB body of alternating fields on a 20,000-line configuration",
       .config = LargeConfig(),
       .body = MiBBody("", "UserID=a&GroupID=b&CURPASS=c&HostName=h.example&"),
       .status = "text=T12 done",
       .after = "*",
       .verify = [](const std::string& d) {
         const std::string text = ReadFile(d + "/proxy.conf");
         EXPECT_EQ(Count(text, "UserID       a\n"), 1u);
         EXPECT_EQ(Count(text, "GroupID       b\n"), 1u);
         EXPECT_EQ(Count(text, "HostName       h.example\n"), 1u);
         EXPECT_EQ(Count(text, "CURPASS"), 0u);
         EXPECT_EQ(text.rfind("# large\nUserID       a\nPort 8000\n", 0), 0u);
       }},
      {.name = "a directory as include, on a GET",
       .config = "# h\nUserID u\nconfigfile @D\n",
       .status = "text=T190 not a regular file [@D]"},
  };
#pragma GCC diagnostic pop
  for (const HostileRow& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string dir = dir_.path();
    const std::string before = InDir(row.config, dir);
    Write(config_, before);
    if (row.prepare) row.prepare(dir);
    CgiResult r;
    if (row.body.empty()) {
      r = Get();
    } else {
      CgiEnvironment env = Env("POST", "/BASIC");
      env["CFGOUT_FIXTURE_LOCK_WAIT_MS"] = "300";
      const std::string body = InDir(row.body, dir);
      env["CONTENT_LENGTH"] = row.contentLength.empty() ? std::to_string(body.size()) : row.contentLength;
      if (!row.writeHook.empty()) env["CFGOUT_FIXTURE_WRITE_HOOK"] = InDir(row.writeHook, dir);
      r = Run(env, body);
    }
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find(InDir(row.status, dir) + std::string(kEol)), std::string::npos) << r.out.substr(0, 2000);
    if (row.after != "*") {
      EXPECT_EQ(Config(), row.after ? InDir(*row.after, dir) : before);
    }
    if (row.verify) row.verify(dir);
  }
}

// ---- The real templates ----------------------------------------------------------

TEST(CgiRealTemplatesTest, BasicPageWithTheShippedTemplates) {
  const TempDir dir("cfgout-real");
  const std::string config =
      dir.Write("proxy.conf", "# real\nHostName a\"b.example\nPort 80\nPort 81\nAdminPort 8008\n");
  CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir.path()}, {"REQUEST_METHOD", "GET"},
                     {"PATH_INFO", "/BASIC"}, {"RULE_FILE", config}};
  const CgiResult get = RunCgi(CFGOUT_BINARY, env);
  EXPECT_EQ(get.exitStatus, 0);
  EXPECT_EQ(get.out.rfind(kHeader, 0), 0u);
  EXPECT_NE(get.out.find("<title>Basic settings - Proxy configuration</title>"), std::string::npos);
  EXPECT_NE(get.out.find(R"(name="HostName" value="a&quot;b.example")"), std::string::npos);
  EXPECT_NE(get.out.find(R"(name="PORT" value="80,81")"), std::string::npos);
  EXPECT_NE(get.out.find(R"(name="ADMINPORT" value="8008")"), std::string::npos);
  EXPECT_NE(get.out.find(R"(<p class="status-message">Ready</p>)"), std::string::npos);
  EXPECT_NE(get.out.find(R"(<p class="status-kind status-0"></p>)"), std::string::npos);
  EXPECT_NE(get.out.find(R"(data-name="help-page" value="HLPBASIC")"), std::string::npos);
  EXPECT_EQ(get.out.find("%s"), std::string::npos);
  // Printed line by line, as the template files are written.
  EXPECT_EQ(get.out.substr(kHeader.size(), 16), "<!DOCTYPE html>\n");
  EXPECT_TRUE(get.out.ends_with("</html>\n"));

  env["REQUEST_METHOD"] = "POST";
  const std::string body = "HostName=www.example.org&PORT=80&ADMINPORT=9090&PUSHBUTTON=Apply";
  env["CONTENT_LENGTH"] = std::to_string(body.size());
  const CgiResult post = RunCgi(CFGOUT_BINARY, env, body);
  EXPECT_NE(post.out.find("<p class=\"status-message\">The requested configuration changes have been completed "
                          "successfully.</p>"),
            std::string::npos);
  EXPECT_NE(post.out.find(R"(<p class="status-kind status-1"></p>)"), std::string::npos);
  EXPECT_EQ(ReadFile(config), "# real\nHostName       www.example.org\nPort 80\nAdminPort       9090\n");

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
