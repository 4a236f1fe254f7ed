
#include "config/app_offload.h"
#include "config/ldap_blocks.h"
#include "config/pics_rules.h"
#include "config/temp_files.h"

// Records name only the fields a row sets; the rest stay unset.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace cfgout {
namespace {

using namespace testing;


// Blocks among other directives, comments, odd case and blanks in keywords.
const std::string kLdapMain =
    "# proxy settings\nPort 80\nconfigfile inc.conf\n  ldapinfo   corp {\n"
    "      Host                     ldap.corp.example\n\tserverdn                 \"cn=root, o=x\"\n"
    "      KEYLABEL \"\"\n      Port\n      IdleConnTimeout          300 seconds\n"
    "   usersearchbase  \"o=corp\"   \n      host ldap2.corp.example\n}\nProtection prot {\n"
    "   AuthType Basic\n}\nLDAPInfo backup {\n      Port 636\n}\nGc On\n";
const std::string kLdapIncluded = "LDAPInfo hidden {\n      Host h\n}\n";

TEST(LDAPBlocks, GetReadsTheNamedBlockOfTheMainFileOnly) {
  auto cfg = MakeConfig({kLdapMain, kLdapIncluded});
  BlockStatus status{};
  std::optional<LDAPRule> corp = HTTPDGetLDAPRule(*cfg, "CORP", &status);
  EXPECT_EQ(status, BlockStatus::kFound);
  // The later line wins; "" reads as " ", a keyword alone as nothing.
  EXPECT_EQ(corp, (LDAPRule{.name = "corp", .host = "ldap2.corp.example", .keyLabel = " ", .serverDN = "cn=root, o=x",
                            .userSearchBase = "o=corp\"   ", .idleConnTimeout = "300 seconds\n"}));
  EXPECT_EQ(HTTPDGetLDAPRule(*cfg, "backup")->port, "636");
  for (const char* absent : {"hidden", "prot", "nope", ""}) {
    EXPECT_FALSE(HTTPDGetLDAPRule(*cfg, absent, &status) || status != BlockStatus::kMissing) << absent;
  }
}

// An empty value is not written.
const LDAPRule kSmall{.name = "x", .host = "hx", .keyLabel = "", .serverDN = "d", .idleConnTimeout = "5"};

const std::string kSmallBlock =
    "LDAPInfo x {\n      Host                     hx\n      ServerDN                 \"d\"\n"
    "      IdleConnTimeout          5 seconds\n}\n";

TEST(LDAPBlocks, PutInEachMode) {
  const std::string base = "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\nGc On\n";
  struct Row { const char* image; const char* anchor; int mode; std::string expected; } rows[] = {
      {base.c_str(), "a", 1, "Port 80\n" + kSmallBlock + "LDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\nGc On\n"},
      {base.c_str(), "A", 2, "Port 80\nLDAPInfo a {\n  Host h\n}\n" + kSmallBlock + "# c\nLDAPInfo b {\n}\nGc On\n"},
      {base.c_str(), "a", 3, "Port 80\n" + kSmallBlock + "# c\nLDAPInfo b {\n}\nGc On\n"},
      {base.c_str(), "none", 1, "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\n" + kSmallBlock + "Gc On\n"},
      {base.c_str(), "none", 3, "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\n" + kSmallBlock + "Gc On\n"},
      {"LDAPInfo a {\n}\n", "a", 3, kSmallBlock},          // no line before: the top
      {"Port 80\nGc On", "a", 2, "Port 80\nGc On\n" + kSmallBlock},  // no block: the end
      {"", "a", 2, kSmallBlock},
      // In place of the first line whose second word is the name, whatever its keyword.
      {"Protection a {\n  AuthType Basic\n}\nLDAPInfo a {\n}\n", "a", 3, kSmallBlock + "LDAPInfo a {\n}\n"},
  };
  for (const Row& row : rows) {
    auto cfg = MakeConfig({row.image, kLdapIncluded});
    EXPECT_EQ(HTTPDPutLDAPRule(*cfg, kSmall, row.anchor, row.mode), 1);
    EXPECT_EQ(FileImages(*cfg)[0], row.expected) << row.image << " " << row.anchor << " " << row.mode;
    EXPECT_EQ(FileImages(*cfg)[1], kLdapIncluded);
  }
  auto cfg = MakeConfig({base});
  EXPECT_EQ(HTTPDPutLDAPRule(*cfg, LDAPRule{}, "a", 2), 0);
  EXPECT_EQ(HTTPDPutLDAPRule(*cfg, LDAPRule{.name = "n"}, "b", 2), 1);
  EXPECT_EQ(FileImages(*cfg)[0], "Port 80\nLDAPInfo a {\n  Host h\n}\n# c\nLDAPInfo b {\n}\nLDAPInfo n {\n}\nGc On\n");
}

TEST(LDAPBlocks, WrittenBlockReadsBackTheSame) {
  LDAPRule full{.name = "full"};
  int n = 0;
  for (const LDAPField& f : kLDAPFields) full.*f.member = "v" + std::to_string(n++) + (f.kind == LDAPValueKind::kQuoted ? ", o=x" : "");
  auto cfg = MakeConfig({kLdapMain, kLdapIncluded});
  ASSERT_EQ(HTTPDPutLDAPRule(*cfg, full, "corp", 3), 1);
  LDAPRule expected = full;
  for (auto member : {&LDAPRule::idleConnTimeout, &LDAPRule::waitToRetryConnTime, &LDAPRule::searchTimeout, &LDAPRule::cacheTimeout}) {
    expected.*member = *(full.*member) + " seconds\n";  // the unit comes back with the value
  }
  EXPECT_EQ(HTTPDGetLDAPRule(*cfg, "full"), expected);
  EXPECT_FALSE(HTTPDGetLDAPRule(*cfg, "corp"));
  EXPECT_EQ(FileImages(*cfg)[1], kLdapIncluded);
}

TEST(LDAPBlocks, DeleteAndBrokenBlocks) {
  auto cfg = MakeConfig({kLdapMain, kLdapIncluded});
  BlockStatus status{};
  EXPECT_EQ(HTTPDDeleteLDAPRule(*cfg, "backup", &status)->text, "Gc On\n");
  EXPECT_EQ(status, BlockStatus::kFound);
  EXPECT_FALSE(HTTPDDeleteLDAPRule(*cfg, "hidden", &status) || status != BlockStatus::kMissing);
  EXPECT_EQ(FileImages(*cfg)[1], kLdapIncluded);

  auto first = MakeConfig({"LDAPInfo a {\n}\nPort 80\n"});
  EXPECT_EQ(HTTPDDeleteLDAPRule(*first, "a")->text, "Port 80\n");
  EXPECT_EQ(FileImages(*first)[0], "Port 80\n");

  // "a" lacks its closing line: another block opens first, or the file ends.
  for (const char* image : {"LDAPInfo a {\n  Host h\nLDAPInfo b {\n  Host y\n}\n", "Port 80\nLDAPInfo a {\n  Host h\n"}) {
    auto broken = MakeConfig({image});
    EXPECT_FALSE(HTTPDGetLDAPRule(*broken, "a", &status) || status != BlockStatus::kBroken);
    EXPECT_FALSE(HTTPDDeleteLDAPRule(*broken, "a", &status) || status != BlockStatus::kBroken);
    EXPECT_EQ(HTTPDPutLDAPRule(*broken, kSmall, "a", 3) + HTTPDPutLDAPRule(*broken, kSmall, "a", 2), -2);
    EXPECT_EQ(FileImages(*broken)[0], image);
  }
  EXPECT_EQ(HTTPDGetLDAPRule(*MakeConfig({"LDAPInfo a {\n  Host h\nLDAPInfo b {\n  Host y\n}\n"}), "b")->host, "y");
}

TEST(BlocksAndCutLines, HeadersInContinuationPiecesAreNoBlocks) {
  testing::TempDir dir;
  const std::string cut = "# " + std::string(1021, 'c');  // 1023 bytes: the next bytes are a piece
  testing::WriteFile(dir / "m.conf", cut + "LDAPInfo hidden {\n}\nLDAPInfo corp {\n  Host h\n}\n" + cut +
                                         "DefinePicsRule \"Hidden\" {\n}\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  ASSERT_EQ(HTTPDListLDAPRules(*cfg).size(), 1u);
  EXPECT_EQ(HTTPDListLDAPRules(*cfg)[0]->text, "LDAPInfo corp {\n");
  EXPECT_FALSE(HTTPDGetLDAPRule(*cfg, "hidden").has_value());
  EXPECT_EQ(HTTPDFindLDAPTarget(*cfg, "hidden"), nullptr);
  EXPECT_TRUE(HTTPDListPicsFilterRules(*cfg).empty());
}

const std::string kKidsBody =
    "     (PicsRule-1.0\n          (\n          name     (\n                   rulename \"Kids\"\n"
    "                   description \"No adult sites\"\n                   )\n"
    "          kzo-halberd-extensions (\n               active-days \"mon\"\n"
    "               start-time \"08:00\"\n               end-time \"17:00\"\n"
    "                                )\n          passurl ( \"http://ok.example/\" )\n          applies-to (\n"
    "                     \"http://*.example/*\"\n                     )\n          serviceinfo (\n"
    "                      shortname \"RS\"\n                      name \"http://rating.example/\"\n"
    "                      available-with-content \"yes\"\n                      )\n"
    "          Filter ( fail (label \"x\") )\n         )\n    )\n";
const std::string kKids = "  definepicsrule   \"Kids\" {\n" + kKidsBody + "}\n";
const std::string kPicsMain = "# filters\nPort 80\n" + kKids + "Gc On\n";
const std::string kPicsIncluded = "DefinePicsRule \"Inc\" {\n}\n";


TEST(PicsRules, GetRecordAndSubElements) {
  auto cfg = MakeConfig({kPicsMain, kPicsIncluded});
  BlockStatus status{};
  std::optional<PicsRule> kids = HTTPDGetPicsFilterRule(*cfg, "Kids", &status);
  EXPECT_EQ(kids, (PicsRule{"Kids", "No adult sites", "mon", "08:00", "17:00"}));
  for (const char* absent : {"kids", "Inc", "Kid"}) {
    EXPECT_FALSE(HTTPDGetPicsFilterRule(*cfg, absent, &status) || status != BlockStatus::kMissing) << absent;
  }
  for (auto [element, values] : std::initializer_list<std::pair<const char*, Lines>>{
           {"passurl", {"http://ok.example/"}}, {"applies-to", {"\"http://*.example/*\""}}, {"failurl", {}},
           {"serviceinfo", {"RS http://rating.example/ OPT1 OPT2 yes"}}, {"filter", {"Filter ( fail (label \"x\") )"}}}) {
    EXPECT_EQ(HTTPDGetPicsFilterSubdirective(*cfg, element, "Kids"), values) << element;
  }
  EXPECT_EQ(HTTPDListPicsFilterRules(*cfg), std::vector<std::string>{"Kids"});
  EXPECT_EQ(HTTPDCreatePACFile(*cfg), 0);
}

TEST(PicsRules, PutCopyReplaceDelete) {
  PicsRule teens{"Teens", "Evenings", "sat", "18:00", std::nullopt};
  const std::string teensText = "DefinePicsRule \"Teens\" {\n     (PicsRule-1.0\n          (\n          name     (\n"
      "                   rulename \"Teens\"\n                   description \"Evenings\"\n                   )\n"
      "          kzo-halberd-extensions (\n               active-days \"sat\"\n               start-time \"18:00\"\n"
      "                                )\n         )\n    )\n}\n";
  struct Row { const char* anchor; int mode; std::string expected; };
  for (const Row& row : {Row{"Kids", 1, "# filters\nPort 80\n" + teensText + kKids + "Gc On\n"},
                         Row{"Kids", 2, "# filters\nPort 80\n" + kKids + teensText + "Gc On\n"}, Row{"none", 1, kPicsMain + teensText}}) {
    auto cfg = MakeConfig({kPicsMain, kPicsIncluded});
    EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, teens, row.anchor, row.mode), 1);
    EXPECT_EQ(FileImages(*cfg)[0], row.expected) << row.anchor << row.mode;
    EXPECT_EQ(HTTPDGetPicsFilterRule(*cfg, "Teens"), teens);  // reads back the same
    EXPECT_EQ(FileImages(*cfg)[1], kPicsIncluded);
  }
  auto cfg = MakeConfig({kPicsMain, kPicsIncluded});
  EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, PicsRule{}, "Kids", 2), 0);
  EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, PicsRule{"Bare", {}, {}, {}, {}}, "Kids", 1), 1);
  EXPECT_EQ(HTTPDGetPicsFilterRule(*cfg, "Bare"), (PicsRule{"Bare", " ", " ", {}, {}}));

  HTTPDCopyPicsFilterRule(*cfg, "Kids", "Kids", "Copy", 2);
  std::string copyBody = kKidsBody;
  const std::string ruleName = "                   rulename \"Kids\"\n";
  copyBody.replace(copyBody.find(ruleName), ruleName.size(), "          name     (rulename \"Copy\"\n");
  EXPECT_NE(FileImages(*cfg)[0].find(kKids + "DefinePicsRule \"Copy\" {\n" + copyBody + "}\nGc On\n"), std::string::npos);

  BlockStatus status{};
  EXPECT_FALSE(HTTPDDeletePicsFilterRule(*cfg, "Inc", &status) || status != BlockStatus::kMissing);

  auto edited = MakeConfig({kPicsMain});
  EXPECT_EQ(HTTPDReplacePicsFilterRule(*edited, PicsRule{}, "Kids"), 0);
  EXPECT_EQ(HTTPDReplacePicsFilterRule(*edited, PicsRule{"Kids2", "d2", "tue", {}, {}}, "Kids"), 1);
  EXPECT_EQ(FileImages(*edited)[0], "# filters\nPort 80\nDefinePicsRule \"Kids2\" {\n     (PicsRule-1.0\n          (\n"
            "          name      (\n                    rulename \"Kids2\"\n                    description \"d2\"\n"
            "                    )\n          kzo-halberd-extensions (\n                    active-days \"tue\"\n"
            "                    )\n" + kKidsBody.substr(kKidsBody.find("          passurl")) + "}\nGc On\n");
  EXPECT_EQ(HTTPDReplacePicsFilterRule(*edited, PicsRule{"x", {}, {}, {}, {}}, "Kids"), 0);
  EXPECT_EQ(HTTPDDeletePicsFilterRule(*edited, "Kids2", &status), "}\n");
  EXPECT_EQ(FileImages(*edited)[0], "# filters\nPort 80\nGc On\n");
  EXPECT_EQ(FileImages(*cfg)[1], kPicsIncluded);
}

TEST(PicsRules, SubElementsAndFilter) {
  auto cfg = MakeConfig({kPicsMain, kPicsIncluded});
  HTTPDPutPicsFilterSubdirective(*cfg, "passurl", {"http://a/", "http://b/"}, "Kids");
  HTTPDPutPicsFilterSubdirective(*cfg, "serviceinfo", {"S1 http://r1/ OPT1 OPT2 no", "S2 http://r2/ bu rf yes"}, "Kids");
  HTTPDPutPicsFilterSubdirective(*cfg, "failurl", {"http://no/"}, "Kids");
  HTTPDPutPicsFilterSubdirective(*cfg, "applies-to", {}, "Kids");  // empty list: nothing
  EXPECT_EQ(HTTPDPutFilterSubdirective(*cfg, "Kids", "  Filter ( pass )"), 1);
  const std::string expected =
      "          kzo-halberd-extensions (\n               active-days \"mon\"\n"
      "               start-time \"08:00\"\n               end-time \"17:00\"\n"
      "                                )\n          passurl (\n             \"http://a/\"\n"
      "             \"http://b/\"\n             )\n          applies-to (\n"
      "                     \"http://*.example/*\"\n                     )\n          serviceinfo (\n"
      "                      shortname \"S1\"\n                      name \"http://r1/\"\n"
      "                      available-with-content \"no\"\n                      )\n          serviceinfo (\n"
      "                      shortname \"S2\"\n                      name \"http://r2/\"\n"
      "                      bureau \"bu\"\n                      ratfile \"rf\"\n"
      "                      available-with-content \"yes\"\n                      )\n"
      "           Filter ( pass )\n          failurl ( \"http://no/\" )\n         )\n    )\n}\n";
  EXPECT_NE(FileImages(*cfg)[0].find(expected), std::string::npos) << FileImages(*cfg)[0];
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "serviceinfo", "Kids"),
              ElementsAre("S1 http://r1/ OPT1 OPT2 no", "S2 http://r2/ bu rf yes"));
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "passurl", "Kids", 1), ElementsAre("http://a/"));
  EXPECT_EQ(HTTPDDeleteFilterSubdirective(*cfg, "Kids")->text, "          failurl ( \"http://no/\" )\n");
  EXPECT_TRUE(HTTPDGetPicsFilterSubdirective(*cfg, "filter", "Kids").empty());
  EXPECT_EQ(HTTPDPutFilterSubdirective(*cfg, "Nope", "x"), 0);
  EXPECT_EQ(FileImages(*cfg)[1], kPicsIncluded);
}

TEST(NamedBlocks, MoveKeepsTheLines) {
  using Move = int (*)(ConfigHandle&, std::string_view, std::string_view, int);
  const std::string ldap = "LDAPInfo a {\n  Host h # main\n}\n# c\nLDAPInfo b {\n}\nGc On\n";
  const std::string pics = kPicsMain + "DefinePicsRule \"Z\" {\n  (x)\n}\n";
  // The image after a move; "" for a refused move that leaves it alone.
  struct Row { Move move; std::string image; const char* name; const char* anchor; int mode; std::string moved; } rows[] = {
      {HTTPDMoveLDAPRule, ldap, "b", "a", 1, "LDAPInfo b {\n}\nLDAPInfo a {\n  Host h # main\n}\n# c\nGc On\n"},
      {HTTPDMoveLDAPRule, ldap, "a", "B", 2, "# c\nLDAPInfo b {\n}\nLDAPInfo a {\n  Host h # main\n}\nGc On\n"},
      {HTTPDMoveLDAPRule, ldap, "a", "a", 2, ""}, {HTTPDMoveLDAPRule, ldap, "a", "nope", 1, ""},
      {HTTPDMoveLDAPRule, "LDAPInfo b {\n ldapinfo A\n}\n", "b", "a", 1, ""},  // the anchor stands inside the block
      {HTTPDMovePicsFilterRule, pics, "Z", "Kids", 1, "# filters\nPort 80\nDefinePicsRule \"Z\" {\n  (x)\n}\n" + kKids + "Gc On\n"},
      {HTTPDMovePicsFilterRule, pics, "Z", "Z", 1, ""}, {HTTPDMovePicsFilterRule, pics, "Z", "kids", 2, ""},
  };
  for (const Row& r : rows) {
    auto cfg = MakeConfig({r.image});
    EXPECT_EQ(r.move(*cfg, r.name, r.anchor, r.mode), r.moved.empty() ? 0 : 1) << r.name << r.anchor;
    EXPECT_EQ(FileImages(*cfg)[0], r.moved.empty() ? r.image : r.moved) << r.name << r.anchor;
  }
}

TEST(PicsRules, BrokenRuleIsNeitherReadNorChanged) {
  for (const char* image : {"DefinePicsRule \"A\" {\n  (PicsRule-1.0\nDefinePicsRule \"B\" {\n}\n",
                            "Port 80\nDefinePicsRule \"A\" {\n  (PicsRule-1.0\n"}) {
    auto cfg = MakeConfig({image});
    BlockStatus status{};
    EXPECT_FALSE(HTTPDGetPicsFilterRule(*cfg, "A", &status) || status != BlockStatus::kBroken);
    EXPECT_FALSE(HTTPDDeletePicsFilterRule(*cfg, "A", &status));
    EXPECT_EQ(HTTPDReplacePicsFilterRule(*cfg, PicsRule{"A", {}, {}, {}, {}}, "A"), 0);
    EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, PicsRule{"C", {}, {}, {}, {}}, "A", 2), -1);
    EXPECT_EQ(HTTPDPutFilterSubdirective(*cfg, "A", "Filter x"), 0);
    HTTPDCopyPicsFilterRule(*cfg, "A", "A", "D", 2);
    EXPECT_EQ(FileImages(*cfg)[0], image);
  }
}

const std::string kShop =
    "\t\t<Application> {\n\t\tEarName shop.ear\n\t\t  distributiontype preloadedFromCache\n\t\tENABLE Yes\n"
    "\t\tContext-root /shop\n\t\tcontext-ROOT /shop2\n\t\tNonEdgableURI /shop/cart\n"
    "\t\tHTTPFailoverStatusCodes 503,504\n\t\t}\n";
const std::string kAppMain =
    "# offload\nPort 80\n<modulebegin> Other\n<ModuleEnd>\n  <ModuleBegin>   ApplicationProxy\n"
    "\t\tAppRouterAdminPort 9090\n"
    "\t\tzap_conf_file /etc/zap.conf\n" + kShop + "\t\t<application> {\n\t\t}\n<ModuleEnd>\nGc On\n";
const std::string kAppIncluded = "<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n";

TEST(AppOffload, CountAndRead) {
  auto cfg = MakeConfig({kAppMain, kAppIncluded});
  EXPECT_EQ(std::tuple(HTTPDGetNumAppOffloadEntries(*cfg), HTTPDDoesAppOffloadModuleExist(*cfg)), std::tuple(2, 1));
  int error = -1;
  EXPECT_EQ(HTTPDGetAppOffloadRuleset(*cfg, 0, &error),
            (AppOffloadRuleset{"shop.ear", 1, 0, 1, {"/shop", "/shop2", std::nullopt}, {"/shop/cart", {}, {}, {}}, "503,504"}));
  EXPECT_EQ(*HTTPDGetAppOffloadRuleset(*cfg, 1, &error), AppOffloadRuleset{});
  EXPECT_FALSE(HTTPDGetAppOffloadRuleset(*cfg, 2, &error) || error != 0);

  int port = -1, zap = -1;
  std::string conf = "old";
  EXPECT_EQ(std::tuple(HTTPDGetAppServerAdminPort(*cfg, &port), HTTPDGetAppServerZAPPort(*cfg, &zap),
                       HTTPDGetAppServerConfFile(*cfg, &conf)), std::tuple(1, 1, 1));
  EXPECT_EQ(HTTPDGetAppServerRetryInterval(*cfg, nullptr), 0);
  EXPECT_EQ(std::tuple(port, zap, conf), std::tuple(9090, -1, std::string("/etc/zap.conf")));  // no ZAP line: untouched
}

TEST(AppOffload, BrokenStructures) {
  struct Row { std::string image; int count; int exists; } rows[] = {
      {"Port 80\n", 0, 0}, {"<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n", 0, 1},
      {"<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n", -1, 0},
      {"<ModuleBegin> ApplicationProxy\n  <Application> {\n  EarName a\n<ModuleEnd>\n", -1, 1},
      {"<ModuleBegin> ApplicationProxy\n  <Application> {\n  <Application> {\n }\n<ModuleEnd>\n", -1, 1},
      {"<ModuleBegin> ApplicationProxy\n  <Application>\n }\n<ModuleEnd>\n", -1, 1},
      {"<ModuleBegin> ApplicationProxy\n  <Application> {\n }\n", -1, 0},
  };
  for (const Row& row : rows) {
    auto cfg = MakeConfig({row.image});
    int error = 0;
    HTTPDGetNextAppOffloadBlock(*cfg, nullptr, &error);
    EXPECT_EQ(std::tuple(HTTPDGetNumAppOffloadEntries(*cfg), HTTPDDoesAppOffloadModuleExist(*cfg), error),
              std::tuple(row.count, row.exists, row.count < 0 ? 1 : 0)) << row.image;
    if (row.count < 0) {  // nothing changes on a broken structure
      EXPECT_EQ(HTTPDDeleteAppOffloadRuleset(*cfg, 0), 0);
      EXPECT_EQ(HTTPDReplaceAppOffloadRuleset(*cfg, 0, AppOffloadRuleset{}), 0);
      EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 0, 1), 0);
      EXPECT_EQ(HTTPDSetAppServerZAPPort(*cfg, 1), row.exists);
      if (!row.exists) { EXPECT_EQ(FileImages(*cfg)[0], row.image); }
    }
  }
}

TEST(AppOffload, AddReplaceDeleteAndSettings) {
  auto cfg = MakeConfig({"Port 80\n", kAppIncluded});
  EXPECT_EQ(HTTPDSetAppServerAdminPort(*cfg, 1), 0);  // no section yet
  EXPECT_EQ(HTTPDAddAppOffloadModule(*cfg), 1);
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 1, 0), 0);
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 0, 0), 1);
  EXPECT_EQ(FileImages(*cfg)[0], "Port 80\n<ModuleBegin> ApplicationProxy\n\t\t<Application> {\n\t\t}\n<ModuleEnd>\n");
  const AppOffloadRuleset app{"a.ear", 0, 1, 1, {"/a", std::nullopt, "/c"}, {std::nullopt, "/a/x", {}, {}}, {}};
  ASSERT_EQ(HTTPDReplaceAppOffloadRuleset(*cfg, 0, app), 1);
  EXPECT_EQ(*HTTPDGetAppOffloadRuleset(*cfg, 0, nullptr),
            (AppOffloadRuleset{"a.ear", 0, 1, 1, {"/a", "/c", std::nullopt}, {"/a/x", {}, {}, {}}, {}}));
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 0, 1), 1);  // before application 0
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 1, 0), 1);  // after the one that was 0
  EXPECT_EQ(HTTPDSetAppServerZAPPort(*cfg, 7000), 1);
  EXPECT_EQ(HTTPDSetAppServerZAPPort(*cfg, 7001), 1);  // twice: one line, right after the begin line
  EXPECT_EQ(HTTPDSetAppServerConfFile(*cfg, "/z.conf"), 1);
  EXPECT_EQ(FileImages(*cfg)[0], "Port 80\n<ModuleBegin> ApplicationProxy\n\t\tZAP_CONF_FILE /z.conf\n"
            "\t\tAppRouterLocalZAPPort 7001\n\t\t<Application> {\n\t\t}\n\t\t<Application> {\n"
            "\t\tEarName a.ear\n\t\tDistributionType CDSManaged\n\t\tEnable yes\n"
            "\t\tContext-root /a\n\t\tContext-root /c\n\t\tNonEdgableURI /a/x\n\t\t}\n"
            "\t\t<Application> {\n\t\t}\n<ModuleEnd>\n");
  EXPECT_EQ(HTTPDGetNumAppOffloadEntries(*cfg), 3);
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 3, 0), 0);  // there is no application 3 to go after
  EXPECT_EQ(HTTPDGetNumAppOffloadEntries(*cfg), 3);
  EXPECT_EQ(HTTPDDeleteAppOffloadRuleset(*cfg, 1), 1);
  EXPECT_EQ(HTTPDDeleteAppOffloadRuleset(*cfg, 5), 0);
  EXPECT_EQ(HTTPDGetNumAppOffloadEntries(*cfg), 2);
  int error = 1;
  EXPECT_EQ(HTTPDGetTopAppOffloadModule(*cfg, &error)->text, "<ModuleBegin> ApplicationProxy\n");
  EXPECT_EQ(error, 0);
  EXPECT_EQ(FileImages(*cfg)[1], kAppIncluded);
}

}  // namespace
}  // namespace cfgout
