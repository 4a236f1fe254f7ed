// The cfgout program as a black box: run as the web server runs it, with an
// environment and a body, and compared byte for byte - the page it prints,
// its exit status and the configuration files it leaves.
//
// cfgout_fixture reads the small bundles under tests/cgi/bundles: marker-line
// templates ("m<k>=%s") and a test catalogue whose texts start with "T<n>".

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
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
  std::string body = "UserID=";
  body.append(1024 * 1024 - body.size(), 'u');
  const CgiResult atLimit = Post(body);
  EXPECT_EQ(atLimit.exitStatus, 0);
  EXPECT_NE(atLimit.out.find("text=T12 done"), std::string::npos);
  EXPECT_NE(Config().find("UserID       uuuu"), std::string::npos);
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
  EXPECT_NE(bad.out.find("text=T13 invalid: T116 unknown field %s%n%22%3E" + std::string(kEol)), std::string::npos)
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

TEST_F(CgiRequestTest, FailedWriteShowsMessageTenAndTheInMemoryState) {
  // The included "file" is a directory: it reads as empty, and replacing it
  // on write-back fails even for root. The main file comes first and is
  // written; the failure is reported with message 10.
  const std::filesystem::path sub = dir_ / "subdir";
  std::filesystem::create_directory(sub);
  Write(config_, "# main\nUserID old\nconfigfile " + sub.string() + "\n");
  const CgiResult r = Post("UserID=new&ADMINPORT=");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.out.find("text=T10 write failed" + std::string(kEol) + "type=3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("m7=new" + std::string(kEol)), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::is_directory(sub));
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
