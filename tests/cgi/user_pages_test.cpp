// The user pages, the restart page and the cross-site check as a black box:
// cfgout_fixture runs the build's real password tool and server stand-in.
// Each row posts a form and names the status the page shows and the password
// and group files afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cgi/page_table.h"
#include "runtime/child_process.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

constexpr std::string_view kConfig = "# c\nPort 80\nUserID www\nGroupID www\nAdminPort 8008\n";

// "NAME=value&..." from name/value pairs, every byte of each value %-encoded.
std::string Form(std::initializer_list<std::pair<std::string_view, std::string_view>> fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    body += (body.empty() ? "" : "&") + std::string(name) + "=";
    for (unsigned char c : value) body += {'%', "0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
  }
  return body;
}

class UserPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(config_, kConfig);
    std::filesystem::create_directories(dir_ / "protect");
  }

  CgiResult Request(std::string_view page, std::optional<std::string> body, CgiEnvironment extra = {}) const {
    CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir_.path()}, {"RULE_FILE", config_},
                       {"HTTP_HOST", "admin.example:8080"}};
    for (auto& [k, v] : extra) env[k] = v;
    return RunFixture(env, page, body);
  }
  CgiResult Post(std::string_view page, const std::string& body, CgiEnvironment extra = {}) const {
    return Request(page, body, std::move(extra));
  }
  CgiResult Get(std::string_view page, CgiEnvironment extra = {}) const { return Request(page, {}, std::move(extra)); }

  std::vector<std::string> Users() const {
    if (!std::filesystem::exists(passwd_)) return {"<no file>"};
    std::vector<std::string> users;
    std::istringstream text(ReadFile(passwd_));
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line[0] != '#') users.push_back(line.substr(0, line.find(':')));
    }
    return users;
  }

  std::string Group() const { return std::filesystem::exists(group_) ? ReadFile(group_) : "<no file>"; }

  TempDir dir_{"cfgout-users"};
  std::string config_ = dir_ / "proxy.conf";
  std::string passwd_ = dir_ / "protect/webadmin.passwd";
  std::string group_ = dir_ / "protect/webadmin.group";
};

// One posted form: the status it shows, then the users of the password file
// (blank-separated) and the group file afterwards. In bodies and texts, $P
// stands for the password file, $G for the group file, $D for the test folder.
struct Row {
  const char* page;
  const char* body;
  const char* text;
  const char* type;
  const char* users;
  const char* group;
};

TEST_F(UserPagesTest, EveryCheckAndToolOutcomeInOrder) {
  ASSERT_EQ(Line(Post("ADDUSER", Form({{"USERNAME", "ann"}, {"CURPASS", "pw"}, {"VERPASS", "pw"}, {"PASSWDFILE", passwd_},
                                            {"GROUPFILE", group_}, {"GROUP", "admins"}})).out, "type"), "1");
  const char* const ab = "admins: ann, bob\n";
  const Row rows[] = {
      // Adding: each missing field in order, the mismatch, a rejected field; nothing runs.
      {"ADDUSER", "", "User name was not entered", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=bob&VERPASS=x", "Password was not entered", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=bob&CURPASS=x", "Verification password was not entered", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=bob&CURPASS=x&VERPASS=x&GROUPFILE=$G", "No password file specified", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=bob&CURPASS=x&VERPASS=x&PASSWDFILE=$P&GROUPFILE=%22%22", "No group file specified", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=bob&CURPASS=x&VERPASS=y&PASSWDFILE=$P&GROUPFILE=$G", "Password and Verification did NOT match", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAMEOE=bob1x&USERNAME=x&PASSWDFILE=a:b", "T13 invalid: T169 bad password file", "3", "ann", "admins: ann\n"},
      // The tool's outcomes: exit 4, a refused name, a failing create, then no group.
      {"ADDUSER", "USERNAME=ann&CURPASS=x&VERPASS=x&PASSWDFILE=$P&GROUPFILE=$G&GROUP=g", "User ann already exists in password file $P", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=a%3Ab&CURPASS=x&VERPASS=x&PASSWDFILE=$P&GROUPFILE=$G&GROUP=g", "User a:b could NOT be added. (adduser failed)", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=bob&CURPASS=x&VERPASS=x&PASSWDFILE=$D/none/p&GROUPFILE=$G&GROUP=g", "Create password file failed (RC 5)", "3", "ann", "admins: ann\n"},
      {"ADDUSER", "USERNAME=cy&CURPASS=x&VERPASS=x&PASSWDFILE=$P&GROUPFILE=$G", "Error updating group file $G", "3", "ann cy", "admins: ann\n"},
      {"ADDUSER", "USERNAME=bob&CURPASS=b-pw&VERPASS=b-pw&PASSWDFILE=$P&GROUPFILE=%22$G%22&GROUP=admins&PUSHBUTTON=Apply",
       "New user bob has been successfully added", "1", "ann cy bob", ab},
      {"CHKUSER", "CURPASS=x", "User name was not entered", "3", "ann cy bob", ab},
      {"CHKUSER", "USERNAME=bob&PASSWDFILE=$P", "Password was not entered", "3", "ann cy bob", ab},
      {"CHKUSER", "USERNAME=bob&CURPASS=b-pw", "No password file specified", "3", "ann cy bob", ab},
      {"CHKUSER", "USERNAME=bob&CURPASS=b-pw&PASSWDFILE=$P", "User bob exists in password file", "1", "ann cy bob", ab},
      {"CHKUSER", "USERNAME=bob&CURPASS=wrong&PASSWDFILE=$P", "User/password bob does not exist in password file $P", "3", "ann cy bob", ab},
      // Changing (the catalogue holds one text for 19, shared with adding).
      {"CHPASSWD", "NEWPASS=n", "User name was not entered", "3", "ann cy bob", ab},
      {"CHPASSWD", "USERNAME=bob&CURPASS=n&VERPASS=n", "Password was not entered", "3", "ann cy bob", ab},
      {"CHPASSWD", "USERNAME=bob&NEWPASS=n", "Verification password was not entered", "3", "ann cy bob", ab},
      {"CHPASSWD", "USERNAME=bob&NEWPASS=n&VERPASS=n", "No password file specified", "3", "ann cy bob", ab},
      {"CHPASSWD", "USERNAME=bob&NEWPASS=n&VERPASS=m&PASSWDFILE=$P", "Password and Verification did NOT match", "3", "ann cy bob", ab},
      {"CHPASSWD", "USERNAME=nobody&NEWPASS=n&VERPASS=n&PASSWDFILE=$P", "Unable to change password for user nobody", "3", "ann cy bob", ab},
      {"CHPASSWD", "USERNAME=bob&NEWPASS=b-new&VERPASS=b-new&PASSWDFILE=$P",
       "Password for user bob has been successfully changed in password file $P", "1", "ann cy bob", ab},
      {"CHKUSER", "USERNAME=bob&CURPASS=b-new&PASSWDFILE=$P", "User bob exists in password file", "1", "ann cy bob", ab},
      {"DELUSER", "PASSWDFILE=$P", "User name was not entered", "3", "ann cy bob", ab},
      {"DELUSER", "USERNAME=bob&GROUPFILE=$G", "No password file specified", "3", "ann cy bob", ab},
      {"DELUSER", "USERNAME=bob&PASSWDFILE=$P", "No group file specified", "3", "ann cy bob", ab},
      {"DELUSER", "USERNAME=nobody&PASSWDFILE=$P&GROUPFILE=$G", "Unable to delete user nobody", "3", "ann cy bob", ab},
      {"DELUSER", "USERNAME=bob&PASSWDFILE=$P&GROUPFILE=$G",
       "User bob has been successfully deleted from group $G and password $P files", "1", "ann cy", "admins: ann\n"},
      {"DELUSER", "USERNAME=cy&PASSWDFILE=$P&GROUPFILE=$D/none.group", "Unable to read group file $D/none.group", "3", "ann", "admins: ann\n"},
      {"DELUSER", "USERNAME=ann&PASSWDFILE=$P&GROUPFILE=/proc/version", "Unable to write to group file /proc/version", "3", "", "admins: ann\n"},
  };
  const auto fill = [&](std::string text) {
    return Replace(Replace(Replace(text, "$P", passwd_), "$G", group_), "$D", dir_.path());
  };
  for (const Row& row : rows) {
    const std::string what = std::string(row.page) + " " + row.body;
    const CgiResult r = Post(row.page, fill(row.body));
    EXPECT_EQ(r.exitStatus, 0) << what;
    EXPECT_EQ(Line(r.out, "text"), fill(row.text)) << what;
    EXPECT_EQ(Line(r.out, "type"), row.type) << what;
    std::string users;
    for (const std::string& u : Users()) users += (users.empty() ? "" : " ") + u;
    EXPECT_EQ(users, row.users) << what;
    EXPECT_EQ(Group(), row.group) << what;
    EXPECT_EQ(ReadFile(config_), kConfig) << what;
  }
}

TEST_F(UserPagesTest, PagesShowTheDefaultFilesAndTheStatusAtTheirMarkers) {
  const std::string root = dir_.path();
  const std::string ready = "{\ntext=T11 ready\ntype=0\nhelp=";
  const std::string add = Get("ADDUSER").out;
  EXPECT_EQ(add.find(std::string(kHeader) + "<adduser>\n"), 0u);
  EXPECT_NE(add.find("passwd=" + root + "/protect/webadmin.passwd\ngroup=" + root + "/protect/webadmin.group\nstatus[" +
                     ready + "HLPADDUS\nflag=false\n}\n]\nextra=\n</adduser>\n"),
            std::string::npos)
      << add;
  EXPECT_NE(Get("CHKUSER").out.find("passwd=" + root + "/protect/webadmin.passwd\nstatus[" + ready + "HLPCHKUS\n"),
            std::string::npos);
  EXPECT_NE(Get("CHPASSWD").out.find("status[" + ready + "HLPCHPAS\nflag=false\n}\n]\nextra=\n"), std::string::npos);
  EXPECT_NE(Get("DELUSER").out.find("group=" + root + "/protect/webadmin.group\nstatus[" + ready + "HLPDELUS\n"),
            std::string::npos);
  // A server root ending in "/" gives no doubled "/"; paths are escaped.
  const std::string odd = Get("CHKUSER", {{"SERVER_ROOT", "/srv/a&b\"/"}}).out;
  EXPECT_NE(odd.find("passwd=/srv/a&amp;b&quot;/protect/webadmin.passwd\n"), std::string::npos) << odd;
}

TEST_F(UserPagesTest, HostileValuesReachTheToolAsSingleArgumentsAndRunNothing) {
  const std::string marker = dir_ / "ran";
  const std::vector<std::string> users = {"q\"u;o te", "$(touch " + marker + ")", "`touch " + marker + "`",
                                          "a b\"; touch " + marker + "; \"", "x&y|z>w"};
  const std::vector<std::string> passwords = {"p\"; touch " + marker + "; echo \"", "$(touch " + marker + ")",
                                              "`touch " + marker + "` p w"};
  std::vector<std::string> added;
  for (std::size_t i = 0; i < users.size(); ++i) {
    const std::string& user = users[i];
    const std::string& password = passwords[i % passwords.size()];
    const CgiResult r = Post("ADDUSER", Form({{"USERNAME", user}, {"CURPASS", password}, {"VERPASS", password},
                                             {"DESC", "d\"; touch " + marker + " $(id)"}, {"PASSWDFILE", passwd_},
                                             {"GROUPFILE", group_}, {"GROUP", "web"}}));
    EXPECT_EQ(Line(r.out, "type"), "1") << user << "\n" << r.out;
    added.push_back(user);
    EXPECT_EQ(RunProgram({CFGOUT_HTADM, "Q-check", passwd_, user, password}), 0) << user;
    EXPECT_EQ(RunProgram({CFGOUT_HTADM, "Q-check", passwd_, user, "p"}), 7) << user;
  }
  EXPECT_EQ(Users(), added);
  // Line breaks in a name or a description are refused by the tool.
  for (const auto& [user, desc] : {std::pair<std::string, std::string>{"two\nlines", "d"}, {"ok", "two\nlines"}}) {
    const CgiResult r = Post("ADDUSER", Form({{"USERNAME", user}, {"CURPASS", "p"}, {"VERPASS", "p"}, {"DESC", desc},
                                             {"PASSWDFILE", passwd_}, {"GROUPFILE", group_}, {"GROUP", "web"}}));
    EXPECT_NE(r.out.find("text=User " + user + " could NOT be added. (adduser failed)\ntype=3\n"), std::string::npos)
        << r.out;
  }
  EXPECT_EQ(Users(), added);
  EXPECT_FALSE(std::filesystem::exists(marker));
  // The page shows the hostile name escaped, once.
  const CgiResult del = Post("DELUSER", Form({{"USERNAME", users[4]}, {"PASSWDFILE", passwd_}, {"GROUPFILE", group_}}));
  EXPECT_NE(del.out.find("text=User x&amp;y|z&gt;w has been successfully deleted"), std::string::npos) << del.out;
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(UserPagesTest, CrossSiteRequestsAreRefusedBeforeAnythingHappens) {
  const std::string body = Form({{"UserID", "changed"}, {"ADMINPORT", "8008"}});
  const std::string refused = "The request came from a page of another site (its Origin or Referer names another "
                              "host or port than this server) and was refused; nothing was changed.";
  struct Case {
    CgiEnvironment headers;
    bool refused;
  };
  const std::vector<Case> cases = {
      {{{"HTTP_ORIGIN", "http://evil.example"}}, true},
      {{{"HTTP_REFERER", "http://evil.example/x?http://admin.example:8080/"}}, true},
      {{{"HTTP_REFERER", "http://admin.example:8080/cgi-bin/cfgout/BASIC"}}, false},
      {{}, false},
  };
  for (const Case& c : cases) {
    const std::string what = c.headers.empty() ? "none" : c.headers.begin()->second;
    WriteFile(config_, kConfig);
    const CgiResult r = Post("BASIC", body, c.headers);
    EXPECT_EQ(r.exitStatus, 0) << what;
    EXPECT_EQ(Line(r.out, "text"), c.refused ? refused : "T12 done") << what;
    EXPECT_EQ(ReadFile(config_).find("changed") == std::string::npos, c.refused) << what;
    // A GET of an ordinary page is served whatever the headers say.
    EXPECT_EQ(Line(Get("BASIC", c.headers).out, "text"), "T11 ready") << what;
  }
  // A refused post reads nothing: the user is not added, no lock was taken.
  std::filesystem::remove(config_ + ".lock");
  const CgiResult add = Post("ADDUSER", Form({{"USERNAME", "bob"}, {"CURPASS", "x"}, {"VERPASS", "x"}, {"PASSWDFILE", passwd_},
                                              {"GROUPFILE", group_}, {"GROUP", "g"}}),
                             {{"HTTP_ORIGIN", "https://admin.example"}});
  EXPECT_EQ(Line(add.out, "text"), refused);
  EXPECT_FALSE(std::filesystem::exists(passwd_));
  EXPECT_FALSE(std::filesystem::exists(config_ + ".lock"));
  // A restart from another site runs nothing, on GET too.
  EXPECT_EQ(Line(Get("RESTART", {{"HTTP_REFERER", "http://evil.example/"}}).out, "text"), refused);
  EXPECT_FALSE(std::filesystem::exists(config_ + ".restart.log"));
}

TEST_F(UserPagesTest, RestartShowsMessage42AndRunsTheServerCommand) {
  const std::string log = config_ + ".restart.log";
  for (int round = 1; round <= 2; ++round) {
    const CgiResult r = round == 1 ? Get("restart") : Post("RESTART", "", {{"HTTP_ORIGIN", "http://admin.example:8080"}});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, std::string(kHeader) + "<intro 100%>\n[{\ntext=The server restart has completed successfully.\n"
                     "type=1\nflag=false\n}\n]\nmore  \n</intro>\n");
    const std::string text = ReadFile(log);
    const std::regex line("(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ restart " + config_ + ": 5 lines\n){" +
                          std::to_string(round) + "}");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
  }
  EXPECT_EQ(ReadFile(config_), kConfig);
}

}  // namespace
}  // namespace cfgout::testing
