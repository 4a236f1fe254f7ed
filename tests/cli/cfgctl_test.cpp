// cfgctl as a black box: each row runs the program on a fresh configuration
// (a main file including a second file) and checks its exit status, its
// output and the bytes of both files afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout {
namespace {

using testing::RunCommand, testing::TempDir;

// "@D" in every text below stands for the scratch directory.
const std::string kHead = "# proxy\nPort 80\nconfigfile @D/inc.conf\n";
const std::string kCorp = "LDAPInfo corp {\n      Host                     ldap.corp.example\n"
                          "      IdleConnTimeout          300 seconds\n}\n";
const std::string kAfterCorp = kHead + kCorp;
const std::string kMain = kAfterCorp + "Gc On\n";
const std::string kInc = "Port 81\n";
const char* const kSame = "=";  // the file is unchanged

// Arguments after "-f @D/main.conf", standard input, exit status, standard output and error (exact, or "*" and
// a text they hold), and both files afterwards.
struct Row {
  std::vector<std::string> args;
  std::string input;
  int status;
  std::string out, err, main = kSame, inc = kSame;
};

std::string Fill(std::string text, const std::string& dir) {
  for (std::size_t at = 0; (at = text.find("@D", at)) != std::string::npos; at += dir.size()) text.replace(at, 2, dir);
  return text;
}

const std::string kNewBlock = "LDAPInfo new {\n      Host                     h\n      ServerDN                 "
                              "\"cn=a, o=b\"\n      IdleConnTimeout          30 seconds\n}\n";

const Row kRows[] = {
    {{"get", "port"}, "", 0, "@D/main.conf:2: Port 80\n@D/inc.conf:1: Port 81\n", ""},
    {{"--json", "get", "PORT"}, "", 0,
     "[{\"file\": \"@D/main.conf\", \"line\": 2, \"text\": \"Port 80\"}, "
     "{\"file\": \"@D/inc.conf\", \"line\": 1, \"text\": \"Port 81\"}]\n", ""},
    {{"get", "map"}, "", 1, "", "cfgctl: get: no map directive in the configuration\n"},
    {{"get", "bogus"}, "", 2, "", "cfgctl: get: unknown directive keyword 'bogus'\n"},
    {{"list"}, "", 0,
     "@D/main.conf:2: Port 80\n@D/main.conf:4: LDAPInfo corp {\n@D/main.conf:8: Gc On\n@D/inc.conf:1: Port 81\n", ""},
    {{"set", "Port", "8080"}, "", 0, "", "", "# proxy\nPort       8080\nconfigfile @D/inc.conf\n" + kCorp + "Gc On\n", ""},
    {{"set", "Port", "8080", "--dry-run"}, "", 0,
     "--- @D/main.conf\n+++ @D/main.conf\n@@ -1,5 +1,5 @@\n # proxy\n-Port 80\n+Port       8080\n"
     " configfile @D/inc.conf\n LDAPInfo corp {\n       Host                     ldap.corp.example\n"
     "--- @D/inc.conf\n+++ @D/inc.conf\n@@ -1 +0,0 @@\n-Port 81\n", ""},
    {{"set", "Port", "80x"}, "", 2, "", "*value '80x' rejected"}, {{"set", "LDAPInfo", "x"}, "", 2, "", "*LDAPInfo lines open blocks"},
    {{"set", "Gc", "On\n}"}, "", 2, "", "cfgctl: set: Gc: value 'On\\n}' must not hold a line break\n"},
    {{"set", "Gc", "{"}, "", 2, "", "cfgctl: set: Gc: value '{' must not hold { or }\n"},
    {{"set", "UserID", std::string(1100, 'u')}, "", 2, "", "cfgctl: a value is too long for one configuration line (at "
     "most 1023 characters with its directive); nothing was changed\n"},
    {{"remove", "gc"}, "", 0, "", "", kAfterCorp, kSame},
    {{"remove", "map"}, "", 1, "", "cfgctl: remove: no map directive in the configuration\n"},
    {{"ldap", "list"}, "", 0, "corp 4\n", ""},
    {{"ldap", "show", "CORP", "--json"}, "", 0,
     "{\"name\": \"corp\", \"Host\": \"ldap.corp.example\", \"IdleConnTimeout\": \"300\"}\n", ""},
    {{"ldap", "show", "nope"}, "", 1, "", "cfgctl: ldap show: no LDAP server block named 'nope'\n"},
    {{"ldap", "put", "new", "--field", "host=h", "--field", "ServerDN=cn=a, o=b", "--field", "IdleConnTimeout=30"}, "", 0,
     "", "", kAfterCorp + kNewBlock + "Gc On\n"},
    {{"ldap", "put", "new", "--before", "corp"}, R"({"Host": "h", "ServerDN": "cn=a, o=b", "IdleConnTimeout": 30})", 0,
     "", "", kHead + kNewBlock + kCorp + "Gc On\n"},
    {{"ldap", "put", "corp", "--field", "Host=", "--field", "Port=636"}, "", 0, "", "",
     kHead + "LDAPInfo corp {\n      Port                     636\n      IdleConnTimeout          300 seconds\n}\nGc On\n"},
    {{"ldap", "put", "corp", "--field", "ServerDN=a}b"}, "", 2, "", "cfgctl: ldap put: ServerDN: value 'a}b' must not hold { or }\n"},
    {{"ldap", "put", "corp"}, R"({"Host": "x\n}"})", 2, "", "cfgctl: ldap put: Host: value 'x\\n}' must not hold a line break\n"},
    {{"ldap", "put", "x{"}, "{}", 2, "", "cfgctl: ldap put: name 'x{' must not hold { or }\n"},
    {{"ldap", "put", "corp", "--field", "IdleConnTimeout=99999"}, "", 2, "", "*IdleConnTimeout: value '99999' rejected"},
    {{"ldap", "put", "corp", "--field", "Colour=red"}, "", 2, "", "*unknown field 'Colour'"},
    {{"ldap", "put", "corp"}, "[1]", 2, "", "cfgctl: standard input must hold a JSON object\n"},
    {{"ldap", "delete", "corp"}, "", 0, "", "", kHead + "Gc On\n"},
    {{"ldap", "delete", "corp", "--dry-run"}, "", 0, "*-LDAPInfo corp {\n", ""},
    {{"pics", "put", "Kids", "--field", "description=Daytime", "--field", "passurl=http://ok/",
      "--field", "passurl=http://fine/", "--field", "start-time=08:00"}, "", 0, "", "",
     kMain +
         "DefinePicsRule \"Kids\" {\n     (PicsRule-1.0\n          (\n          name     (\n"
         "                   rulename \"Kids\"\n                   description \"Daytime\"\n"
         "                   )\n          kzo-halberd-extensions (\n               active-days \"\"\n"
         "               start-time \"08:00\"\n                                )\n"
         "          passurl (\n             \"http://ok/\"\n             \"http://fine/\"\n             )\n"
         "         )\n    )\n}\n"},
    {{"pics", "put", "Kids", "--field", "description=a \"quoted\" word"}, "", 2, "",
     "cfgctl: pics put: description: value 'a \"quoted\" word' must not hold double quotes or parentheses\n"},
    {{"pics", "put", "Kids", "--field", "serviceinfo=s 1 http://b/ r a", "--dry-run"}, "", 0,
     "*+                      bureau \"http://b/\"\n", ""},
    {{"pics", "show", "Kids"}, "", 1, "", "cfgctl: pics show: no PICS filter rule named 'Kids'\n"},
    {{"app", "put", "shop.ear", "--field", "Enable=yes", "--field", "Context-root=/shop"}, "", 0, "", "",
     kMain + "<ModuleBegin> ApplicationProxy\n\t\t<Application> {\n\t\tEarName shop.ear\n"
                         "\t\tDistributionType CDSManaged\n\t\tEnable yes\n\t\tContext-root /shop\n\t\t}\n<ModuleEnd>\n"},
    {{"app", "settings", "--field", "AppRouterAdminPort=9090"}, "", 0, "", "",
     kMain + "<ModuleBegin> ApplicationProxy\n\t\tAppRouterAdminPort 9090\n<ModuleEnd>\n"},
    {{"app", "settings", "--field", "AppRouterAdminPort=70000"}, "", 2, "", "*AppRouterAdminPort: value '70000' rejected"},
    {{"app", "show", "0"}, "", 1, "", "cfgctl: app show: no application '0'\n"}, {{"app", "list", "--json"}, "", 0, "[]\n", ""},
    {{"app", "delete", "shop.ear"}, "", 1, "", "cfgctl: app delete: no application 'shop.ear'\n"},
    {{"pics", "delete", "Kids"}, "", 1, "", "cfgctl: pics delete: no PICS filter rule named 'Kids'\n"},
    {{}, "", 2, "", "cfgctl: no command given (see cfgctl --help)\n"},
    {{"frobnicate"}, "", 2, "", "cfgctl: unknown command 'frobnicate' (see cfgctl --help)\n"},
    {{"get", "port", "--verbose"}, "", 2, "", "cfgctl: unknown option '--verbose' (see cfgctl --help)\n"},
    {{"get", "port", "--dry-run"}, "", 2, "", "*--dry-run is only for commands that change"},
    {{"ldap", "show"}, "", 2, "", "cfgctl: ldap show: expected a NAME (see cfgctl ldap show --help)\n"},
    {{"-f", "@D/missing.conf", "list"}, "", 3, "", "cfgctl: cannot read @D/missing.conf: No such file or directory\n"},
    {{"-f", "@D", "list"}, "", 3, "", "cfgctl: cannot read @D: not a regular file\n"},
};

class Cfgctl : public ::testing::Test {
 protected:
  testing::CgiResult Run(const TempDir& dir, std::vector<std::string> args, const std::string& input = "") {
    std::vector<std::string> command = {CFGCTL_BINARY, "-f", dir / "main.conf"};
    for (std::string& a : args) command.push_back(Fill(a, dir.path()));
    return RunCommand(command, {{"PATH", "/usr/bin:/bin"}}, input);
  }
};

// `want` exactly, or, after a "*", a text the output holds (standard error: on one line).
void ExpectOutput(const std::string& got, const std::string& want, const std::string& label, bool oneLine) {
  if (want.empty() || want[0] != '*') {
    EXPECT_EQ(got, want) << label;
    return;
  }
  EXPECT_NE(got.find(want.substr(1)), std::string::npos) << label << "\n" << got;
  EXPECT_TRUE(!oneLine || got.find('\n') == got.size() - 1) << label << ": one line";
}

TEST_F(Cfgctl, CommandTable) {
  for (const Row& row : kRows) {
    TempDir dir("cfgctl");
    const std::string main = Fill(kMain, dir.path());
    dir.Write("main.conf", main);
    dir.Write("inc.conf", kInc);
    std::string label;
    for (const std::string& a : row.args) label += a + " ";
    const testing::CgiResult r = Run(dir, row.args, row.input);
    EXPECT_EQ(r.exitStatus, row.status) << label << "\n" << r.err;
    ExpectOutput(r.out, Fill(row.out, dir.path()), label, false);
    ExpectOutput(r.err, Fill(row.err, dir.path()), label, true);
    EXPECT_EQ(dir.Read("main.conf"), row.main == kSame ? main : Fill(row.main, dir.path())) << label;
    EXPECT_EQ(dir.Read("inc.conf"), row.inc == kSame ? kInc : Fill(row.inc, dir.path())) << label;
    // Nothing else is left behind: no temporary file, no lock file from a
    // command that only reads or shows a diff, and a change history beside
    // the main file only after a written change.
    const std::string c0 = row.args.empty() ? "" : row.args[0], c1 = row.args.size() > 1 ? row.args[1] : "";
    const bool reads = std::find(row.args.begin(), row.args.end(), "--dry-run") != row.args.end() ||
                       !(c0 == "set" || c0 == "remove" || c1 == "put" || c1 == "delete" || c1 == "settings");
    const bool wrote = row.status == 0 && (row.main != kSame || row.inc != kSame);
    EXPECT_EQ(std::filesystem::is_directory(dir / "main.conf.history"), wrote) << label;
    EXPECT_TRUE(!wrote || std::filesystem::exists(dir / "main.conf.lock")) << label << ": a change holds the lock";
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename();
      EXPECT_TRUE(name == "main.conf" || name == "inc.conf" || (name == "main.conf.lock" && !reads) ||
                  (name == "main.conf.history" && wrote))
          << label << name;
    }
  }
}

TEST_F(Cfgctl, EveryCommandHasHelpAndBrokenBlocksAreRefused) {
  TempDir dir("cfgctl");
  dir.Write("main.conf",
            "LDAPInfo a {\n  Host h\nLDAPInfo b {\n}\n<ModuleBegin> ApplicationProxy\nDefinePicsRule \"P\" {\n (x)\n");
  const std::vector<std::string> commands[] = {
      {"get"}, {"set"}, {"remove"}, {"list"}, {"ldap"}, {"ldap", "list"}, {"ldap", "show"}, {"ldap", "put"},
      {"ldap", "delete"}, {"pics"}, {"pics", "list"}, {"pics", "show"}, {"pics", "put"}, {"pics", "delete"},
      {"app"}, {"app", "list"}, {"app", "show"}, {"app", "put"}, {"app", "delete"}, {"app", "settings"}, {}};
  for (std::vector<std::string> args : commands) {
    const std::string command = args.empty() ? "" : args.size() == 1 ? args[0] : args[0] + " " + args[1];
    args.push_back("--help");
    const testing::CgiResult r = Run(dir, args);
    EXPECT_EQ(r.exitStatus, 0) << command;
    EXPECT_EQ(r.out.rfind("Usage: cfgctl [options] " + command, 0), 0u) << command << "\n" << r.out;
  }
  // Broken blocks, and names both a protection and an LDAP block have: refused, nothing written.
  const std::string broken = dir.Read("main.conf"), shared = "Protection corp {\n   AuthType Basic\n}\nLDAPInfo corp {\n}\n";
  const std::tuple<const std::string*, std::vector<std::string>, int> refused[] = {
      {&broken, {"ldap", "show", "a"}, 3}, {&broken, {"ldap", "delete", "a"}, 3},
      {&broken, {"ldap", "put", "a", "--field", "Host=x"}, 3}, {&broken, {"ldap", "show", "b"}, 0},
      {&broken, {"app", "list"}, 3}, {&broken, {"app", "put", "x.ear", "--field", "Enable=no"}, 3},
      {&broken, {"pics", "show", "P"}, 3}, {&broken, {"pics", "put", "New", "--field", "description=d"}, 3},
      {&shared, {"ldap", "delete", "corp"}, 2}, {&shared, {"ldap", "put", "corp", "--field", "Host=h"}, 2},
      {&shared, {"ldap", "show", "corp"}, 0}};
  for (const auto& [text, args, status] : refused) {
    dir.Write("main.conf", *text);
    const testing::CgiResult r = Run(dir, args);
    EXPECT_EQ(r.exitStatus, status) << ::testing::PrintToString(args) << "\n" << r.err;
    EXPECT_EQ(dir.Read("main.conf"), *text);
  }
}

TEST_F(Cfgctl, BlocksMoveAndGo) {
  TempDir dir("cfgctl");
  dir.Write("main.conf", "Port 80\n");
  for (std::string rule : {"A", "B"}) ASSERT_EQ(Run(dir, {"pics", "put", rule, "--field", "passurl=http://" + rule + "/"}).exitStatus, 0);
  ASSERT_EQ(Run(dir, {"pics", "put", "B", "--before", "A", "--field", "description=moved"}).exitStatus, 0);
  EXPECT_EQ(Run(dir, {"pics", "list"}).out, "B 2\nA 16\n");
  EXPECT_EQ(Run(dir, {"--json", "pics", "list"}).out, "[{\"name\": \"B\", \"line\": 2}, {\"name\": \"A\", \"line\": 16}]\n");
  EXPECT_EQ(Run(dir, {"--json", "pics", "show", "B"}).out,
            "{\"name\": \"B\", \"description\": \"moved\", \"passurl\": [\"http://B/\"]}\n");
  EXPECT_EQ(Run(dir, {"pics", "delete", "A"}).exitStatus, 0);
  EXPECT_EQ(Run(dir, {"pics", "list"}).out, "B 2\n");

  ASSERT_EQ(Run(dir, {"app", "put", "a.ear"}, R"({"Enable": true, "NonEdgableURI": ["/x", "/y"]})").exitStatus, 0);
  ASSERT_EQ(Run(dir, {"app", "put", "1", "--field", "EarName=b.ear"}).exitStatus, 0);
  EXPECT_EQ(Run(dir, {"app", "show", "a.ear"}).out,
            "index 0\nEarName a.ear\nDistributionType CDSManaged\nEnable yes\nNonEdgableURI /x\nNonEdgableURI /y\n");
  EXPECT_EQ(Run(dir, {"app", "delete", "0"}).exitStatus, 0);
  EXPECT_EQ(Run(dir, {"--json", "app", "list"}).out, "[{\"index\": 0, \"EarName\": \"b.ear\", \"line\": 17}]\n");
}

}  // namespace
}  // namespace cfgout
