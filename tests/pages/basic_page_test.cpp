// The Basic settings page handlers on small configurations: every marker of
// the display and every rule of the output handler, compared byte for byte.

#include "pages/basic_page.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/config.h"
#include "html/page_status.h"
#include "nls/message_lookup.h"
#include "support/page_capture.h"
#include "support/temp_dir.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

// A marker-line template: "<k>=%s" for markers 0-20, with a plain line first
// and last, so that every item and every line without a marker shows.
const TemplatePage& MarkerTemplate() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t{"<basic 100%%>\n"};
    for (int k = 0; k <= 20; ++k) t.push_back(std::to_string(k) + "=%s\n");
    t.push_back("</basic>\n");
    return t;
  }();
  static const TemplatePage page = [] {
    TemplatePage p;
    for (const std::string& s : texts) p.lines.push_back(s.c_str());
    return p;
  }();
  return page;
}

// The page the marker template gives for the 19 control values (status
// block and marker 20 fixed by the test's HAPARMS bundle).
std::string ExpectedPage(const std::vector<std::string>& values, std::string_view statusBlock) {
  std::string out = "<basic 100%>\n";
  for (std::size_t k = 0; k < values.size(); ++k) out += std::to_string(k) + "=" + values[k] + "\n";
  out += "19=";
  out += statusBlock;
  out += "\n20=\n</basic>\n";
  return out;
}

// The front-end tests' HAPARMS template: each line ends in a line feed, the
// lines of absent fields (topic, extra) are left out.
constexpr std::string_view kReadyBlock = "{\ntext=T11 ready\ntype=0\nhelp=HLPBASIC\nflag=false\n}\n";

class BasicPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { nlsSetMessageDirectory(CFGOUT_PAGES_TEST_MSG_DIR); }

  void SetUp() override {
    ::unsetenv("HOSTNAME");
    status_ = MakeInitialPageStatus();
    status_.helpPage = "HLPBASIC";
  }
  void TearDown() override { cfg_.reset(); }

  ConfigHandle& Open(std::string_view text) {
    cfg_ = HTTPDConfigOpen(dir_.Write("main.conf", text));
    EXPECT_NE(cfg_, nullptr);
    return *cfg_;
  }

  // Every line of every file, in chain order.
  std::string Text() const {
    std::string all;
    for (const ConfigFile& file : *cfg_) {
      for (const LineNode& line : file.lines) all += line.text;
    }
    return all;
  }

  std::string Display() {
    return testing::Captured([&] { EXPECT_EQ(BasicDisplayHandler(MarkerTemplate(), status_, *cfg_), 0); });
  }

  int Apply(const FormArgList& args) { return BasicOutputHandler(args, status_, *cfg_); }

  static FormArg Field(std::string name, std::string value) { return FormArg{std::move(name), std::move(value)}; }

  testing::TempDir dir_{"cfgout-pages"};
  std::unique_ptr<ConfigHandle> cfg_;
  PageStatus status_;
};

// Texts of the test catalogue.
constexpr const char* kDone = "T12 done";

// ---- Display ----------------------------------------------------------------

TEST_F(BasicPageTest, DisplayFillsEveryMarkerFromTheConfiguration) {
  Open("# basic settings\n"
       "HostName   proxy.example.com\n"
       "BindSpecific on\n"
       "Port 80\n"
       "Port\t8080  \r\n"
       "AdminPort 8008\n"
       "ServerRoot \"/opt/proxy\"  \n"
       "DNS-Lookup on\n"
       "GroupID staff\n"
       "PidFile /var/run/proxy.pid\n"
       "Imbeds CGI html\n"
       "InheritEnv PATH LANG   \n"
       "DisInheritEnv SECRET TOKEN\n");
  EXPECT_EQ(Display(), ExpectedPage({"proxy.example.com", "CHECKED", "", "80,8080", "8008", "/opt/proxy", "CHECKED",
                                     "nobody", "staff", "/var/run/proxy.pid", "", "CHECKED", "", "", "", "", "CHECKED",
                                     "PATH LANG", "SECRET TOKEN"},
                                    kReadyBlock));
}

TEST_F(BasicPageTest, DisplayDefaultsForAnEmptyConfiguration) {
  ::setenv("HOSTNAME", "box.local", 1);
  Open("# nothing set\n");
  EXPECT_EQ(Display(), ExpectedPage({"box.local", "", "CHECKED", "80", "", "", "", "nobody", "nobody", "", "CHECKED", "",
                                     "", "", "", "", "", "", ""},
                                    kReadyBlock));
}

TEST_F(BasicPageTest, DisplayUsesTheLastImbedsAndRecognisesEveryHtmlScope) {
  Open("Imbeds On SSIonly\nImbeds Noexec SSIonly\n");
  std::string page = Display();
  EXPECT_NE(page.find("\n14=CHECKED\n15=CHECKED\n16=\n"), std::string::npos) << page;
  EXPECT_NE(page.find("\n10=\n11=\n12=\n13=\n"), std::string::npos) << page;

  Open("Imbeds Files .htm\n");
  page = Display();
  EXPECT_NE(page.find("\n12=CHECKED\n13=\n14=\n15=\n16=CHECKED\n"), std::string::npos) << page;

  Open("Imbeds Files .HTML\n");
  EXPECT_NE(Display().find("\n16=CHECKED\n"), std::string::npos);

  // "On" is matched as a prefix of the mode word: "Only" sets it too.
  Open("Imbeds Only SSIonly\n");
  EXPECT_NE(Display().find("\n13=CHECKED\n"), std::string::npos);
}

TEST_F(BasicPageTest, DisplayEscapesConfigurationValues) {
  Open("HostName \"><script>alert(1)</script>\n"
       "Port 80<b>\n"
       "UserID %s%n&amp;\n"
       "InheritEnv A='1'\n");
  const std::string page = Display();
  EXPECT_NE(page.find("\n0=&gt;&lt;script&gt;alert(1)&lt;/script&gt;\n"), std::string::npos) << page;
  EXPECT_NE(page.find("\n3=80&lt;b&gt;\n"), std::string::npos) << page;
  EXPECT_NE(page.find("\n7=%s%n&amp;amp;\n"), std::string::npos) << page;
  EXPECT_NE(page.find("\n17=A=&#39;1&#39;\n"), std::string::npos) << page;
  EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST_F(BasicPageTest, PortListJoinsEveryPortInConfigurationOrder) {
  EXPECT_EQ((Open("Port 80\n"), BasicPortList(*cfg_)), "80");
  const std::string more = dir_.Write("more.conf", "Port 9000\n");
  Open("Port 80\nconfigfile " + more + "\nPort 8080\n");
  EXPECT_EQ(BasicPortList(*cfg_), "80,8080,9000");
  EXPECT_EQ((Open("#Port 81\n"), BasicPortList(*cfg_)), "80");
}

// ---- Output -----------------------------------------------------------------

TEST_F(BasicPageTest, SuccessfulFormSetsTheDoneStatus) {
  Open("Port 80\n");
  EXPECT_EQ(Apply({Field("PUSHBUTTON", "Apply")}), 0);
  EXPECT_EQ(status_.success, 1);
  EXPECT_EQ(status_.messageType, "1");
  EXPECT_EQ(status_.messageText, kDone);
  EXPECT_FALSE(status_.fieldError.has_value());
  EXPECT_EQ(Text(), "Port 80\n");
}

TEST_F(BasicPageTest, PortsReplaceEveryPortDirective) {
  Open("HostName a\nPort 80\n# x\nPort 81\n");
  EXPECT_EQ(Apply({Field("PORT", "80,8080"), Field("ADMINPORT", "")}), 0);
  EXPECT_EQ(Text(), "HostName a\nPort 80\n# x\nPort     8080\n");

  // Every non-digit ends one port: an empty port between two commas.
  Open("Port 80\n");
  EXPECT_EQ(Apply({Field("PORT", " 80,,8080 ")}), 0);
  EXPECT_EQ(Text(), "Port 80\nPort     \nPort     8080\n");

  // An empty port field changes nothing and is no error.
  Open("Port 80\n");
  EXPECT_EQ(Apply({Field("PORT", "")}), 0);
  EXPECT_EQ(status_.success, 1);
  EXPECT_EQ(Text(), "Port 80\n");
}

TEST_F(BasicPageTest, BlankPortFieldIsRequiredFieldsMissing) {
  Open("Port 80\nAdminPort 8008\n");
  EXPECT_EQ(Apply({Field("PORT", "  "), Field("ADMINPORT", "")}), 1);
  EXPECT_EQ(status_.success, 0);
  EXPECT_EQ(status_.messageType, "3");
  EXPECT_EQ(status_.messageText, "T2 ports missing");
  // Returned before the administration port was touched.
  EXPECT_EQ(Text(), "Port 80\nAdminPort 8008\n");
}

TEST_F(BasicPageTest, PortEqualToTheAdministrationPortIsRefused) {
  Open("Port 80\nAdminPort 8008\n");
  EXPECT_EQ(Apply({Field("PORT", "8080,9090"), Field("ADMINPORT", " 9090 ")}), 1);
  EXPECT_EQ(status_.success, 0);
  EXPECT_EQ(status_.messageType, "3");
  EXPECT_EQ(status_.messageText, "T56 admin port equals a port");
  // The ports were replaced in memory (after what became the first line once
  // the old first line was removed); the administration port was not.
  EXPECT_EQ(Text(), "AdminPort 8008\nPort     8080\nPort     9090\n");
}

TEST_F(BasicPageTest, AdministrationPortIsTrimmedReplacedOrRemoved) {
  Open("AdminPort 1\nPort 80\nAdminPort 2\n");
  EXPECT_EQ(Apply({Field("ADMINPORT", " 9090\t")}), 0);
  EXPECT_EQ(Text(), "Port 80\nAdminPort       9090\n");

  Open("AdminPort 1\nPort 80\nAdminPort 2\n");
  EXPECT_EQ(Apply({Field("ADMINPORT", "  ")}), 0);
  EXPECT_EQ(Text(), "Port 80\n");

  // A form without the field removes it too: the port is absent.
  Open("AdminPort 1\nPort 80\n");
  EXPECT_EQ(Apply({}), 0);
  EXPECT_EQ(Text(), "Port 80\n");
}

TEST_F(BasicPageTest, GenericFieldsAreWrittenUnderTheirFormSpelling) {
  Open("hostname old.example\nuserid nobody\nPidFile /a.pid\nPidFile /b.pid\nServerRoot /srv\n");
  EXPECT_EQ(Apply({Field("HostName", "new.example"), Field("UserID", "www"), Field("PidFile", ""),
                   Field("GroupID", "staff"), Field("InheritEnv", "PATH LANG")}),
            0);
  EXPECT_EQ(Text(),
            "HostName       new.example\nUserID       www\nServerRoot /srv\nGroupID       staff\n"
            "InheritEnv       PATH LANG\n");
}

TEST_F(BasicPageTest, LaterOfTwoSameNamedFieldsWins) {
  Open("BindSpecific on\nDNS-Lookup on\n");
  EXPECT_EQ(Apply({Field("BindSpecific", "on"), Field("bindspecific", "off"), Field("DNSLOOKUP", "off"),
                   Field("DNSLOOKUP", "on")}),
            0);
  // The existing DNS-Lookup line equals the new one in its words and stays.
  EXPECT_EQ(Text(), "DNS-Lookup on\nbindspecific       off\n");

  // The hidden default alone (check box not ticked) writes "off".
  Open("# c\nDNS-Lookup on\n");
  EXPECT_EQ(Apply({Field("DNSLOOKUP", "off")}), 0);
  EXPECT_EQ(Text(), "# c\nDNS-Lookup       off\n");
}

TEST_F(BasicPageTest, ImbedsNeedBothModeAndScope) {
  Open("# i\nImbeds Off SSIonly\n");
  EXPECT_EQ(Apply({Field("IMBED", "On"), Field("IMBEDOPT", "html")}), 0);
  EXPECT_EQ(Text(), "# i\nImbeds   On   html\n");

  Open("Imbeds Off SSIonly\n");
  EXPECT_EQ(Apply({Field("IMBED", "On")}), 0);
  EXPECT_EQ(Apply({Field("IMBED", "On"), Field("IMBEDOPT", "")}), 0);
  EXPECT_EQ(Apply({Field("IMBEDOPT", "html")}), 0);
  EXPECT_EQ(Text(), "Imbeds Off SSIonly\n");
}

TEST_F(BasicPageTest, RejectedFieldStopsTheWalk) {
  Open("UserID a\nGroupID b\nHostName h\n");
  EXPECT_EQ(Apply({Field("UserID", "first"), Field("HostName", "bad host name!"), Field("GroupID", "never")}), 0);
  EXPECT_EQ(status_.success, 0);
  EXPECT_EQ(status_.messageType, "3");
  const std::optional<std::string> expected = ValidateField("HOSTNAME", "bad host name!");
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(status_.messageText, *expected);
  EXPECT_EQ(status_.fieldError, expected);
  // Fields before the rejected one are applied in memory, later ones not,
  // and the port and administration port steps do not run.
  EXPECT_EQ(Text(), "GroupID b\nUserID       first\nHostName h\n");
}

// Fields of the form table that name no directive are validated but never
// written: no later request could find or remove such a line.
TEST_F(BasicPageTest, FieldsNamingNoDirectiveAreNeverWritten) {
  struct Case {
    const char* name;
    const char* value;
    int success;
  };
  for (const Case& c : {Case{"CURPASS", "hunter2", 1}, Case{"CurRow", "3", 1}, Case{"RETRYINTV", "120", 1},
                        Case{"RETRYINTV", "5", 0}, Case{"CURPASS", "", 1}}) {
    Open("# n\nUserID a\n");
    EXPECT_EQ(Apply({Field(c.name, c.value), Field("ADMINPORT", "")}), 0) << c.name;
    EXPECT_EQ(status_.success, c.success) << c.name << "=" << c.value;
    if (c.success == 0) {
      EXPECT_EQ(status_.messageText, *ValidateField("RETRYINTV", c.value));
    }
    EXPECT_EQ(Text(), "# n\nUserID a\n") << c.name << "=" << c.value;
  }
}

// Validation sees the field name upper-cased: a message that names the
// field names it in upper case, whatever case the form used.
TEST_F(BasicPageTest, RejectedFieldIsNamedInUpperCase) {
  struct Case {
    const char* sent;
    const char* named;
  };
  for (const Case& c : {Case{"%s%n\"><b>", "%S%N\"><B>"}, Case{"curPassX", "CURPASSX"}, Case{"adminport", "ADMINPORT"}}) {
    Open("Port 80\n");
    EXPECT_EQ(Apply({Field(c.sent, "70000")}), 0) << c.sent;
    EXPECT_EQ(status_.success, 0);
    EXPECT_EQ(status_.messageType, "3");
    EXPECT_EQ(status_.messageText, *ValidateField(c.named, "70000")) << c.sent;
    EXPECT_EQ(Text(), "Port 80\n");
  }
  // The unknown-field message itself shows the upper-case name.
  EXPECT_NE(status_.messageText.find("T25"), std::string::npos) << status_.messageText;
  Open("Port 80\n");
  Apply({Field("noSuchField", "x")});
  EXPECT_NE(status_.messageText.find("NOSUCHFIELD"), std::string::npos) << status_.messageText;
  EXPECT_EQ(status_.messageText.find("noSuchField"), std::string::npos) << status_.messageText;
}

TEST_F(BasicPageTest, ValuesCannotAddLinesOfTheirOwn) {
  Open("# u\nUserID a\n");
  EXPECT_EQ(Apply({Field("UserID", "x\nPort 1\r\nAdminPort 2")}), 0);
  EXPECT_EQ(Text(), "# u\nUserID       x Port 1  AdminPort 2\n");
}

TEST_F(BasicPageTest, HostileValuesAreStoredAsSent) {
  Open("# u\nUserID a\n");
  EXPECT_EQ(Apply({Field("UserID", "\"><script>%s%n")}), 0);
  EXPECT_EQ(Text(), "# u\nUserID       \"><script>%s%n\n");
}

}  // namespace
}  // namespace cfgout
