// The Basic settings page's output handler on small configurations: every
// rule, compared byte for byte (its display is shown by the black-box rows).

#include "pages/basic_page.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/config.h"
#include "html/page_status.h"
#include "nls/message_lookup.h"
#include "support/temp_dir.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

class BasicPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { nlsSetMessageDirectory(CFGOUT_PAGES_TEST_MSG_DIR); }

  void Open(const std::string& text) {
    status_ = MakeInitialPageStatus();
    status_.helpPage = "HLPBASIC";
    cfg_ = HTTPDConfigOpen(dir_.Write("main.conf", text));
    ASSERT_NE(cfg_, nullptr);
  }

  std::string Text() const {
    std::string all;
    for (const LineNode& line : cfg_->first()->lines) all += line.text;
    return all;
  }

  testing::TempDir dir_{"cfgout-pages"};
  std::unique_ptr<ConfigHandle> cfg_;
  PageStatus status_;
};

TEST_F(BasicPageTest, Output) {
  struct Row {
    std::string config;
    FormArgList fields;
    int rc;
    std::string after;
    int success = -1;         // -1: not checked; 1: "done"; 0: an error with `message`
    std::string message = {};
  };
  const auto f = [](std::string name, std::string value) { return FormArg{std::move(name), std::move(value)}; };
  const std::string badHost = *ValidateField("HOSTNAME", "bad host name!");
  const std::vector<Row> rows = {
      {"Port 80\n", {f("PUSHBUTTON", "Apply")}, 0, "Port 80\n", 1},
      // Ports replace every Port directive; every non-digit ends one port.
      {"HostName a\nPort 80\n# x\nPort 81\n", {f("PORT", "80,8080"), f("ADMINPORT", "")}, 0, "HostName a\nPort 80\n# x\nPort     8080\n"},
      {"Port 80\n", {f("PORT", " 80,,8080 ")}, 0, "Port 80\nPort     \nPort     8080\n"},
      {"Port 80\n", {f("PORT", "")}, 0, "Port 80\n", 1},
      // A blank port field returns before the administration port is touched.
      {"Port 80\nAdminPort 8008\n", {f("PORT", "  "), f("ADMINPORT", "")}, 1, "Port 80\nAdminPort 8008\n", 0, "T2 ports missing"},
      // The ports were replaced in memory (after what became the first line
      // once the old first line was removed); the administration port was not.
      {"Port 80\nAdminPort 8008\n", {f("PORT", "8080,9090"), f("ADMINPORT", " 9090 ")}, 1,
       "AdminPort 8008\nPort     8080\nPort     9090\n", 0, "T56 admin port equals a port"},
      {"AdminPort 1\nPort 80\nAdminPort 2\n", {f("ADMINPORT", " 9090\t")}, 0, "Port 80\nAdminPort       9090\n"},
      {"AdminPort 1\nPort 80\nAdminPort 2\n", {f("ADMINPORT", "  ")}, 0, "Port 80\n"},
      {"hostname old.example\nuserid nobody\nPidFile /a.pid\nPidFile /b.pid\nServerRoot /srv\n",
       {f("HostName", "new.example"), f("UserID", "www"), f("PidFile", ""), f("GroupID", "staff"), f("InheritEnv", "PATH LANG")}, 0,
       "HostName       new.example\nUserID       www\nServerRoot /srv\nGroupID       staff\nInheritEnv       PATH LANG\n"},
      // The later of two same-named fields wins; a line equal in its words stays.
      {"BindSpecific on\nDNS-Lookup on\n",
       {f("BindSpecific", "on"), f("bindspecific", "off"), f("DNSLOOKUP", "off"), f("DNSLOOKUP", "on")}, 0,
       "DNS-Lookup on\nbindspecific       off\n"},
      {"# c\nDNS-Lookup on\n", {f("DNSLOOKUP", "off")}, 0, "# c\nDNS-Lookup       off\n"},  // the box's hidden default
      // Imbeds need both mode and scope.
      {"# i\nImbeds Off SSIonly\n", {f("IMBED", "On"), f("IMBEDOPT", "html")}, 0, "# i\nImbeds   On   html\n"},
      {"Imbeds Off SSIonly\n", {f("IMBED", "On")}, 0, "Imbeds Off SSIonly\n"},
      {"Imbeds Off SSIonly\n", {f("IMBED", "On"), f("IMBEDOPT", "")}, 0, "Imbeds Off SSIonly\n"},
      {"Imbeds Off SSIonly\n", {f("IMBEDOPT", "html")}, 0, "Imbeds Off SSIonly\n"},
      // A rejected field stops the walk: earlier fields are applied in memory,
      // later ones and the port steps not.
      {"UserID a\nGroupID b\nHostName h\n", {f("UserID", "first"), f("HostName", "bad host name!"), f("GroupID", "never")}, 0,
       "GroupID b\nUserID       first\nHostName h\n", 0, badHost},
      // Fields that name no directive are validated, never written: no later
      // request could find or remove such a line.
      {"# n\nUserID a\n", {f("CURPASS", "hunter2"), f("ADMINPORT", "")}, 0, "# n\nUserID a\n", 1},
      {"# n\nUserID a\n", {f("CurRow", "3"), f("ADMINPORT", "")}, 0, "# n\nUserID a\n", 1},
      {"# n\nUserID a\n", {f("RETRYINTV", "120"), f("ADMINPORT", "")}, 0, "# n\nUserID a\n", 1},
      {"# n\nUserID a\n", {f("RETRYINTV", "5"), f("ADMINPORT", "")}, 0, "# n\nUserID a\n", 0, *ValidateField("RETRYINTV", "5")},
      {"# n\nUserID a\n", {f("CURPASS", ""), f("ADMINPORT", "")}, 0, "# n\nUserID a\n", 1},
      // Validation sees the field name upper-cased, whatever case the form used.
      {"Port 80\n", {f("curPassX", "70000")}, 0, "Port 80\n", 0, *ValidateField("CURPASSX", "70000")},
      {"Port 80\n", {f("adminport", "70000")}, 0, "Port 80\n", 0, *ValidateField("ADMINPORT", "70000")},
      // Values can add no lines of their own.
      {"# u\nUserID a\n", {f("UserID", "x\nPort 1\r\nAdminPort 2")}, 0, "# u\nUserID       x Port 1  AdminPort 2\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.config + (row.fields.empty() ? "" : row.fields[0].name));
    Open(row.config);
    EXPECT_EQ(BasicOutputHandler(row.fields, status_, *cfg_), row.rc);
    EXPECT_EQ(Text(), row.after);
    if (row.success == 1) {
      EXPECT_EQ(status_.success, 1);
      EXPECT_EQ(status_.messageType, "1");
      EXPECT_EQ(status_.messageText, "T12 done");
      EXPECT_FALSE(status_.fieldError.has_value());
    } else if (row.success == 0) {
      EXPECT_EQ(status_.success, 0);
      EXPECT_EQ(status_.messageType, "3");
      EXPECT_EQ(status_.messageText, row.message);
    }
  }
  Open("UserID a\nHostName h\n");
  BasicOutputHandler({f("HostName", "bad host name!")}, status_, *cfg_);
  EXPECT_EQ(status_.fieldError, badHost);
  // The unknown-field message shows the upper-case name.
  Open("Port 80\n");
  BasicOutputHandler({f("noSuchField", "x")}, status_, *cfg_);
  EXPECT_NE(status_.messageText.find("NOSUCHFIELD"), std::string::npos) << status_.messageText;
  EXPECT_EQ(status_.messageText.find("noSuchField"), std::string::npos) << status_.messageText;
}

}  // namespace
}  // namespace cfgout
