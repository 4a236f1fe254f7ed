// The protection list ("DOCAUTOS") and the protection form ("PROTECT") as a
// black box: one table row per request - configuration in, method, page and
// body, the configuration file and the whole page expected.
//
// cfgout_fixture reads the marker templates under tests/cgi/bundles: the
// list prints "row <row>" per table row, the form "name=<value>" per marker,
// the insert pages "p<k>=" and "s<k>=".

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

constexpr std::string_view kHeader = "Content-type: text/html\nPragma: no-cache\n\n";

// The fixture's status block; lines of absent fields are left out.
std::string Status(std::string_view text, std::string_view type, std::string_view help, std::string_view topic) {
  std::string out = "{\ntext=" + std::string(text) + "\ntype=" + std::string(type) + "\n";
  if (!help.empty()) out += "help=" + std::string(help) + "\n";
  if (!topic.empty()) out += "topic=" + std::string(topic) + "\n";
  return out + "flag=false\n}\n";
}

struct Shown {
  std::string text;
  std::string type;
  std::string help = "HLPDOCAU";
  std::string topic = "";
};

// The list page: its table rows, the row choice, the status block.
std::string ListPage(const std::vector<std::string>& rows, const Shown& s) {
  std::string out = "<list>\n";
  std::string options;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    out += "row " + rows[k] + "\n";
    options += (k == 0 ? "<OPTION SELECTED>" : "<OPTION>") + std::to_string(k + 1);
  }
  if (rows.empty()) options = "<OPTION>0";
  out += "options=[" + options + "]\nstatus[" + Status(s.text, s.type, s.help, s.topic) + "]\nextra=\n</list>\n";
  return out;
}

// The protection form: markers 0-9, the password group (p0-p6, or none),
// the certificate group (s0-s11 and the check box, or none).
struct FormMarkers {
  std::vector<std::string> values;  // action ... named
  std::vector<std::string> pass;    // empty: the group is not shown
  std::vector<std::string> ssl;     // empty: the group is not shown
};

std::string FormPage(const FormMarkers& m, const Shown& s) {
  static const char* const kNames[] = {"action", "form",    "cert",  "pass",  "list",
                                       "template", "setup", "address", "posted", "named"};
  std::string out = "<protect>\n";
  for (std::size_t k = 0; k < 10; ++k) out += std::string(kNames[k]) + "=" + m.values[k] + "\n";
  out += "passpro[";
  if (!m.pass.empty()) {
    out += "<pass>\n";
    for (std::size_t k = 0; k < 8; ++k) out += "p" + std::to_string(k) + "=" + (k < m.pass.size() ? m.pass[k] : "") + "\n";
    out += "</pass>\n";
  }
  out += "]\nnone=\nsslpro[";
  if (!m.ssl.empty()) {
    out += "<ssl>\n";
    for (std::size_t k = 0; k < 14; ++k) out += "s" + std::to_string(k) + "=" + (k < m.ssl.size() ? m.ssl[k] : "") + "\n";
    out += "</ssl>\n";
  }
  out += "]\nstatus[" + Status(s.text, s.type, "HLPPROTE", "hltprote") + "]\nextra=\n</protect>\n";
  return out;
}

constexpr std::string_view kConfig =
    "# protections\n"
    "Protect /abc/* A FOR 10.*\n"
    "Protection A {\n"
    "  Mask All\n"
    "  PasswdFile \"/etc/a b.pw\"\n"
    "}\n"
    "Protect /b/* {\n"
    "  GetMask g\n"
    "}\n"
    "Pass /*\n";

const std::vector<std::string> kRows = {"<tr><td>1</td><td>/abc/*</td><td>A</td><td>10.*</td></tr>",
                                        "<tr><td>2</td><td>/b/*</td></tr>"};

const Shown kListReady{"T11 ready", "0"};
const Shown kFormDone{"T12 done", "1", "HLPDOCAU", "hltdocau"};

struct Case {
  const char* what;
  const char* method;
  const char* page;
  std::string body;
  std::string configAfter;  // empty: unchanged (and not rewritten)
  std::string page_out;
};

std::vector<Case> Cases() {
  const std::string unchanged;
  const std::vector<std::string> none(12, "");
  std::vector<std::string> sslEmpty(none);
  sslEmpty.push_back("T17 box  ");
  return {
      {"list display", "GET", "/DOCAUTOS", "", unchanged, ListPage(kRows, kListReady)},
      {"delete from the list", "POST", "/DOCAUTOS", "ACTION=4&LIST=2&PROTECTA=&PUSHBUTTON=Continue",
       "# protections\nProtect /abc/* A FOR 10.*\nProtection A {\n  Mask All\n  PasswdFile \"/etc/a b.pw\"\n}\nPass /*\n",
       ListPage({kRows[0]}, {"T12 done", "1"})},
      {"insert without a template", "POST", "/DOCAUTOS", "ACTION=1&LIST=1&PROTECTA=", unchanged,
       ListPage(kRows, {"T2 ports missing", "3"})},
      {"insert of a template that begins an existing one", "POST", "/DOCAUTOS", "ACTION=2&LIST=1&PROTECTA=%2Fa",
       unchanged, ListPage(kRows, {"T21 duplicate", "3"})},
      {"rejected address on the list", "POST", "/DOCAUTOS", "ACTION=1&LIST=1&PROTECTA=%2Fn%2F*&IPADDRESS=a%3Ab",
       unchanged, ListPage(kRows, {"The value of field IPADDRESS is not valid.", "3"})},
      {"rejected template on the list", "POST", "/DOCAUTOS", "ACTION=1&LIST=1&PROTECTA=%2Fa+b", unchanged,
       ListPage(kRows, {"The value of field PROTECTA is not valid.", "3"})},
      {"insert request shows the empty form", "POST", "/DOCAUTOS",
       "ACTION=1&LIST=1&PROTECTA=%2Fnew%2F*&IPADDRESS=&ACTIONA=1&PROTFILE=%3Cb%3E&ACTIONC=1&ACTIONB=1", unchanged,
       FormPage({{"1", "1", "1", "1", "1", "/new/*", "&lt;b&gt;", "", "/new/*", ""}, {"", ""}, sslEmpty},
                {"T11 ready", "0"})},
      {"edit request shows the setup the row names", "POST", "/DOCAUTOS",
       "ACTION=3&LIST=1&PROTECTA=%2Fabc%2F*&ACTIONA=1&ACTIONC=1", unchanged,
       FormPage({{"3", "1", "", "1", "1", "/abc/*", "", "", "/abc/*", ""}, {"", "&#34;/etc/a b.pw&#34;", "", "", "", "",
                                                                          "All"}, {}},
                {"T11 ready", "0"})},
      {"named setup request shows its name and record", "POST", "/DOCAUTOS",
       "ACTION=2&LIST=2&PROTECTA=%2Fs%2F*&ACTIONA=2&PROTFILE=A&ACTIONB=1", unchanged,
       FormPage({{"2", "2", "1", "", "2", "/s/*", "A", "", "/s/*", "T16 setup <td>A"}, {}, sslEmpty},
                {"T11 ready", "0"})},
      {"named setup without its name", "POST", "/DOCAUTOS", "ACTION=1&LIST=1&PROTECTA=%2Fs%2F*&ACTIONA=2&PROTFILE=",
       unchanged, ListPage(kRows, {"T41 no setup name", "3", "HLPPROTE", "hltprote"})},
      {"form insert before, inline with password", "POST", "/PROTECT",
       "ACTION=1&ACTIONA=1&ACTIONB=&ACTIONC=1&LIST=1&PROTECTA=%2Fnew%2F*&PROTFILE=&IPADDRESS=&SERVERID=Realm"
       "&PASSWDFILE=%2Fetc%2Fp.pw&GROUPFILE=&GETMASK=All&PUTMASK=&DELETEMASK=&MASK=&PUSHBUTTON=Apply",
       "# protections\nProtect  /new/*  {\n      PasswdFile   /etc/p.pw\n      PostMask     All\n"
       "      GetMask      All\n      AuthType     Basic\n      ServerID     Realm\n}\n" +
           std::string(kConfig.substr(14)),
       ListPage({"<tr><td>1</td><td>/new/*</td></tr>", "<tr><td>2</td><td>/abc/*</td><td>A</td><td>10.*</td></tr>",
                 "<tr><td>3</td><td>/b/*</td></tr>"},
                kFormDone)},
      {"form insert after, named setup with address", "POST", "/PROTECT",
       "ACTION=2&ACTIONA=2&ACTIONC=1&LIST=2&PROTECTA=%2Fs%2F*&PROTFILE=S&IPADDRESS=10.1.*&GETMASK=G&MASK=M",
       "# protections\nProtection  S  {\n      Mask         M\n      PostMask     G\n      GetMask      G\n"
       "      AuthType     Basic\n}\nProtect /abc/* A FOR 10.*\nProtection A {\n  Mask All\n"
       "  PasswdFile \"/etc/a b.pw\"\n}\nProtect /b/* {\n  GetMask g\n}\nProtect  /s/*  S  FOR 10.1.*\nPass /*\n",
       ListPage({kRows[0], kRows[1], "<tr><td>3</td><td>/s/*</td><td>S</td><td>10.1.*</td></tr>"}, kFormDone)},
      {"form edit in place", "POST", "/PROTECT", "ACTION=3&ACTIONA=1&ACTIONC=&LIST=1&PROTECTA=%2Fabc%2F*&MASK=All%40(*)",
       "# protections\nProtect  /abc/*  {\n      Mask         All@(*)\n      AuthType     None\n}\n" +
           std::string(kConfig.substr(40)),
       ListPage({"<tr><td>1</td><td>/abc/*</td></tr>", kRows[1]}, kFormDone)},
      {"form delete", "POST", "/PROTECT", "ACTION=4&ACTIONA=1&LIST=2&PROTECTA=",
       "# protections\nProtect /abc/* A FOR 10.*\nProtection A {\n  Mask All\n  PasswdFile \"/etc/a b.pw\"\n}\nPass /*\n",
       ListPage({kRows[0]}, kFormDone)},
      {"form with client certificate", "POST", "/PROTECT",
       "ACTION=2&ACTIONA=1&ACTIONB=1&LIST=2&PROTECTA=%2Fc%2F*&sslclientauth=Off&sslclientauth=On&COMMONNAME=A+B"
       "&ISSUERORGUNIT=IT&COUNTRY=",
       std::string(kConfig.substr(0, kConfig.size() - 8)) +
           "Protect  /c/*  {\n      IssuerOrgUnit   IT\n      CommonName   \"A B\"\n      SSL_ClientAuth  client\n"
           "      Mask         Anybody@(*)\n      AuthType     None\n}\nPass /*\n",
       ListPage({kRows[0], kRows[1], "<tr><td>3</td><td>/c/*</td></tr>"}, kFormDone)},
      {"form rejects a password file without a path", "POST", "/PROTECT",
       "ACTION=1&ACTIONA=1&ACTIONC=1&LIST=1&PROTECTA=%2Fz%2F*&PASSWDFILE=rel.pw", unchanged,
       ListPage(kRows, {"T13 invalid: T169 bad password file", "3", "HLPDOCAU", "hltdocau"})},
      {"form without fields changes nothing", "GET", "/PROTECT", "", unchanged, ListPage(kRows, kFormDone)},
  };
}

class ProtectionPagesTest : public ::testing::Test {
 protected:
  CgiResult Request(std::string_view method, std::string_view page, std::string_view body) const {
    CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir_.path()}, {"REQUEST_METHOD", std::string(method)},
                       {"PATH_INFO", std::string(page)}, {"RULE_FILE", config_}};
    if (method == "POST") env["CONTENT_LENGTH"] = std::to_string(body.size());
    return RunCgi(CFGOUT_FIXTURE_BINARY, env, body);
  }

  static ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  }

  TempDir dir_{"cfgout-protect"};
  std::string config_ = dir_ / "proxy.conf";
};

TEST_F(ProtectionPagesTest, RequestSequences) {
  for (const Case& c : Cases()) {
    WriteFile(config_, kConfig);
    const ino_t before = Inode(config_);
    const CgiResult r = Request(c.method, c.page, c.body);
    EXPECT_EQ(r.exitStatus, 0) << c.what;
    EXPECT_EQ(r.out, std::string(kHeader) + c.page_out) << c.what;
    if (c.configAfter.empty()) {
      EXPECT_EQ(ReadFile(config_), kConfig) << c.what;
      EXPECT_EQ(Inode(config_), before) << c.what << ": rewritten";
    } else {
      EXPECT_EQ(ReadFile(config_), c.configAfter) << c.what;
    }
  }
}

TEST_F(ProtectionPagesTest, ConfigurationValuesAreEscaped) {
  WriteFile(config_, "Protect /a&b/* \"<i>\" FOR x<y\nProtection \"<i>\" {\n Mask <All>\n CommonName a\"b\n}\n");
  const CgiResult list = Request("GET", "/DOCAUTOS", "");
  EXPECT_EQ(list.out, std::string(kHeader) +
                          ListPage({"<tr><td>1</td><td>/a&amp;b/*</td><td>&quot;&lt;i&gt;&quot;</td>"
                                    "<td>x&lt;y</td></tr>"},
                                   kListReady));
  const CgiResult form = Request("POST", "/DOCAUTOS", "ACTION=3&LIST=1&PROTECTA=%2Fa%26b%2F*&ACTIONA=1&ACTIONC=1&ACTIONB=1");
  std::vector<std::string> ssl = {"a&quot;b"};
  ssl.resize(12);
  ssl.push_back("T17 box  ");
  EXPECT_EQ(form.out, std::string(kHeader) +
                          FormPage({{"3", "1", "1", "1", "1", "/a&amp;b/*", "", "", "/a&amp;b/*", ""},
                                    {"", "", "", "", "", "", "&lt;All&gt;"}, ssl},
                                   {"T11 ready", "0"}));
}

TEST_F(ProtectionPagesTest, BlocksWithoutClosingLineAreNotRewritten) {
  // The test catalogue ends before message 230: its built-in text shows.
  const std::string kUnclosed =
      "The protection /u/* has no closing line in its configuration file; correct the file by hand before changing it.";
  const std::string open = "Protect /a/* A\nProtect /u/* {\n Mask x\nPass /*\n";
  for (const auto& [page, body] : {std::pair{"/DOCAUTOS", "ACTION=4&LIST=2"},
                                   std::pair{"/PROTECT", "ACTION=3&ACTIONA=1&LIST=2&PROTECTA=%2Fu%2F*&MASK=y"}}) {
    WriteFile(config_, open);
    const CgiResult r = Request("POST", page, body);
    EXPECT_NE(r.out.find("text=" + kUnclosed + "\ntype=3\n"), std::string::npos) << page << r.out;
    EXPECT_EQ(ReadFile(config_), open) << page;
  }
  // Shown for editing, it carries a warning.
  WriteFile(config_, open);
  const CgiResult shown = Request("POST", "/DOCAUTOS", "ACTION=3&LIST=2&PROTECTA=%2Fu%2F*&ACTIONA=1&ACTIONC=1");
  EXPECT_NE(shown.out.find("p6=x\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("text=" + kUnclosed + "\ntype=2\n"), std::string::npos) << shown.out;
}

TEST_F(ProtectionPagesTest, InsertPagesAreNoPagesOfTheirOwn) {
  WriteFile(config_, kConfig);
  for (const char* page : {"/PASSPRO", "/SSLPRO"}) {
    const CgiResult r = Request("GET", page, "");
    EXPECT_NE(r.out.find("text=T9 no page [" + std::string(page + 1) + "]\ntype=3\n"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace cfgout::testing
