#include "config/ldap_blocks.h"
#include "config/pics_rules.h"

#include <gtest/gtest.h>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using testing::CheckLinks;
using testing::FileImages;
using testing::MakeConfig;

// Blocks among other directives, comments, odd case and blanks in keywords.
const std::string kMain =
    "# proxy settings\n"
    "Port 80\n"
    "configfile inc.conf\n"
    "  ldapinfo   corp {\n"
    "      Host                     ldap.corp.example\n"
    "\tserverdn                 \"cn=root, o=x\"\n"
    "      KEYLABEL \"\"\n"
    "      Port\n"
    "      IdleConnTimeout          300 seconds\n"
    "   usersearchbase  \"o=corp\"   \n"
    "      host ldap2.corp.example\n"
    "}\n"
    "Protection prot {\n"
    "   AuthType Basic\n"
    "}\n"
    "LDAPInfo backup {\n"
    "      Port 636\n"
    "}\n"
    "Gc On\n";
const std::string kIncluded = "LDAPInfo hidden {\n      Host h\n}\n";

TEST(LDAPBlocks, GetReadsTheNamedBlockOfTheMainFileOnly) {
  auto cfg = MakeConfig({kMain, kIncluded});
  BlockStatus status{};
  std::optional<LDAPRule> corp = HTTPDGetLDAPRule(*cfg, "CORP", &status);
  ASSERT_TRUE(corp);
  EXPECT_EQ(status, BlockStatus::kFound);
  EXPECT_EQ(corp->name, "corp");
  EXPECT_EQ(corp->host, "ldap2.corp.example");  // the later line wins
  EXPECT_EQ(corp->serverDN, "cn=root, o=x");
  EXPECT_EQ(corp->keyLabel, " ");                // quotes stripped to nothing
  EXPECT_EQ(corp->port, std::nullopt);           // nothing after the keyword
  EXPECT_EQ(corp->idleConnTimeout, "300 seconds\n");
  EXPECT_EQ(corp->userSearchBase, "o=corp\"   ");  // trailing quotes go only at the very end
  EXPECT_EQ(HTTPDGetLDAPRule(*cfg, "backup")->port, "636");
  for (const char* absent : {"hidden", "prot", "nope", ""}) {
    EXPECT_FALSE(HTTPDGetLDAPRule(*cfg, absent, &status)) << absent;
    EXPECT_EQ(status, BlockStatus::kMissing) << absent;
  }
}

LDAPRule Small(const char* name) {
  LDAPRule r;
  r.name = name;
  r.host = "hx";
  r.keyLabel = "";  // empty: not written
  r.serverDN = "d";
  r.idleConnTimeout = "5";
  return r;
}

const std::string kSmallBlock =
    "LDAPInfo x {\n"
    "      Host                     hx\n"
    "      ServerDN                 \"d\"\n"
    "      IdleConnTimeout          5 seconds\n"
    "}\n";

TEST(LDAPBlocks, PutInEachMode) {
  const std::string base = "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\nGc On\n";
  struct Row {
    const char* image;
    const char* anchor;
    int mode;
    std::string expected;
  } rows[] = {
      {base.c_str(), "a", 1, "Port 80\n" + kSmallBlock + "LDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\nGc On\n"},
      {base.c_str(), "A", 2, "Port 80\nLDAPInfo a {\n  Host h\n}\n" + kSmallBlock + "# c\nLDAPInfo b {\n}\nGc On\n"},
      {base.c_str(), "a", 3, "Port 80\n" + kSmallBlock + "# c\nLDAPInfo b {\n}\nGc On\n"},
      {base.c_str(), "none", 1, "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\n" + kSmallBlock + "Gc On\n"},
      {base.c_str(), "none", 3, "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\n" + kSmallBlock + "Gc On\n"},
      {"LDAPInfo a {\n}\n", "a", 3, kSmallBlock},          // no line before: the top
      {"Port 80\nGc On", "a", 2, "Port 80\nGc On\n" + kSmallBlock},  // no block: the end
      {"", "a", 2, kSmallBlock},
      // In place means in place of the first line whose second word is the
      // name, whatever its keyword.
      {"Protection a {\n  AuthType Basic\n}\nLDAPInfo a {\n}\n", "a", 3, kSmallBlock + "LDAPInfo a {\n}\n"},
  };
  for (const Row& row : rows) {
    auto cfg = MakeConfig({row.image, kIncluded});
    EXPECT_EQ(HTTPDPutLDAPRule(*cfg, Small("x"), row.anchor, row.mode), 1);
    EXPECT_EQ(FileImages(*cfg)[0], row.expected) << row.image << " " << row.anchor << " " << row.mode;
    EXPECT_EQ(FileImages(*cfg)[1], kIncluded);
    CheckLinks(cfg->first()->lines.first());
  }
  auto cfg = MakeConfig({base});
  EXPECT_EQ(HTTPDPutLDAPRule(*cfg, LDAPRule{}, "a", 2), 0);
  LDAPRule onlyName;
  onlyName.name = "n";
  EXPECT_EQ(HTTPDPutLDAPRule(*cfg, onlyName, "b", 2), 1);
  EXPECT_EQ(FileImages(*cfg)[0], "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\nLDAPInfo n {\n}\nGc On\n");
}

TEST(LDAPBlocks, MoveKeepsTheLines) {
  const std::string base = "LDAPInfo a {\n  Host h # main\n}\n# c\nLDAPInfo b {\n}\nGc On\n";
  struct Row {
    const char* name;
    const char* anchor;
    int mode;
    int result;
    std::string expected;
  } rows[] = {
      {"b", "a", 1, 1, "LDAPInfo b {\n}\nLDAPInfo a {\n  Host h # main\n}\n# c\nGc On\n"},
      {"a", "B", 2, 1, "# c\nLDAPInfo b {\n}\nLDAPInfo a {\n  Host h # main\n}\nGc On\n"},
      {"a", "a", 2, 0, base},
      {"a", "nope", 1, 0, base},
  };
  for (const Row& row : rows) {
    auto cfg = MakeConfig({base});
    EXPECT_EQ(HTTPDMoveLDAPRule(*cfg, row.name, row.anchor, row.mode), row.result);
    EXPECT_EQ(FileImages(*cfg)[0], row.expected) << row.name << row.anchor;
    CheckLinks(cfg->first()->lines.first());
  }
  // The anchor, a one-line header, stands inside the block to be moved.
  auto inside = MakeConfig({"LDAPInfo b {\n ldapinfo A\n}\n"});
  EXPECT_EQ(HTTPDMoveLDAPRule(*inside, "b", "a", 1), 0);
  EXPECT_EQ(FileImages(*inside)[0], "LDAPInfo b {\n ldapinfo A\n}\n");
}

TEST(LDAPBlocks, WrittenBlockReadsBackTheSame) {
  LDAPRule full;
  full.name = "full";
  int n = 0;
  for (const LDAPField& field : kLDAPFields) {
    full.*field.member = "v" + std::to_string(n) + (field.kind == LDAPValueKind::kQuoted ? ", o=x" : "");
    ++n;
  }
  auto cfg = MakeConfig({kMain, kIncluded});
  ASSERT_EQ(HTTPDPutLDAPRule(*cfg, full, "corp", 3), 1);
  std::optional<LDAPRule> back = HTTPDGetLDAPRule(*cfg, "full");
  ASSERT_TRUE(back);
  LDAPRule expected = full;
  for (auto member : {&LDAPRule::idleConnTimeout, &LDAPRule::waitToRetryConnTime, &LDAPRule::searchTimeout,
                      &LDAPRule::cacheTimeout}) {
    expected.*member = *(full.*member) + " seconds\n";  // the unit comes back with the value
  }
  EXPECT_EQ(*back, expected);
  EXPECT_FALSE(HTTPDGetLDAPRule(*cfg, "corp"));
  EXPECT_EQ(FileImages(*cfg)[1], kIncluded);
}

TEST(LDAPBlocks, DeleteAndBrokenBlocks) {
  auto cfg = MakeConfig({kMain, kIncluded});
  BlockStatus status{};
  LineNode* after = HTTPDDeleteLDAPRule(*cfg, "backup", &status);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->text, "Gc On\n");
  EXPECT_EQ(status, BlockStatus::kFound);
  EXPECT_EQ(HTTPDDeleteLDAPRule(*cfg, "hidden", &status), nullptr);
  EXPECT_EQ(status, BlockStatus::kMissing);
  EXPECT_EQ(FileImages(*cfg)[1], kIncluded);

  auto first = MakeConfig({"LDAPInfo a {\n}\nPort 80\n"});
  EXPECT_EQ(HTTPDDeleteLDAPRule(*first, "a")->text, "Port 80\n");
  EXPECT_EQ(FileImages(*first)[0], "Port 80\n");

  // "a" lacks its closing line: another block opens first, or the file ends.
  for (const char* image : {"LDAPInfo a {\n  Host h\nLDAPInfo b {\n  Host y\n}\n", "Port 80\nLDAPInfo a {\n  Host h\n"}) {
    auto broken = MakeConfig({image});
    EXPECT_FALSE(HTTPDGetLDAPRule(*broken, "a", &status));
    EXPECT_EQ(status, BlockStatus::kBroken);
    EXPECT_EQ(HTTPDDeleteLDAPRule(*broken, "a", &status), nullptr);
    EXPECT_EQ(status, BlockStatus::kBroken);
    EXPECT_EQ(HTTPDPutLDAPRule(*broken, Small("x"), "a", 3), -1);
    EXPECT_EQ(HTTPDPutLDAPRule(*broken, Small("x"), "a", 2), -1);
    EXPECT_EQ(FileImages(*broken)[0], image);
  }
  auto brokenFirst = MakeConfig({"LDAPInfo a {\n  Host h\nLDAPInfo b {\n  Host y\n}\n"});
  EXPECT_EQ(HTTPDGetLDAPRule(*brokenFirst, "b")->host, "y");
}

}  // namespace
}  // namespace cfgout

namespace cfgout {
namespace {

// A block header hidden in the piece that continues a cut line (longer than
// the reader takes at once) is no block.
TEST(BlocksAndCutLines, HeadersInContinuationPiecesAreNoBlocks) {
  testing::TempDir dir;
  const std::string cut = "# " + std::string(1021, 'c');  // 1023 bytes: the next bytes are a piece
  testing::WriteFile(dir / "m.conf", cut + "LDAPInfo hidden {\n}\nLDAPInfo corp {\n  Host h\n}\n" + cut +
                                         "DefinePicsRule \"Hidden\" {\n}\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  std::vector<std::string> ldap;
  for (const LineNode* header : HTTPDListLDAPRules(*cfg)) ldap.push_back(header->text);
  EXPECT_EQ(ldap, std::vector<std::string>{"LDAPInfo corp {\n"});
  EXPECT_FALSE(HTTPDGetLDAPRule(*cfg, "hidden").has_value());
  EXPECT_TRUE(HTTPDListPicsFilterRules(*cfg).empty());
}

}  // namespace
}  // namespace cfgout
