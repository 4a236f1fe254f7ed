#include "config/pics_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using ::testing::ElementsAre;
using testing::CheckLinks;
using testing::FileImages;
using testing::MakeConfig;

const std::string kKidsBody =
    "     (PicsRule-1.0\n"
    "          (\n"
    "          name     (\n"
    "                   rulename \"Kids\"\n"
    "                   description \"No adult sites\"\n"
    "                   )\n"
    "          kzo-halberd-extensions (\n"
    "               active-days \"mon\"\n"
    "               start-time \"08:00\"\n"
    "               end-time \"17:00\"\n"
    "                                )\n"
    "          passurl ( \"http://ok.example/\" )\n"
    "          applies-to (\n"
    "                     \"http://*.example/*\"\n"
    "                     )\n"
    "          serviceinfo (\n"
    "                      shortname \"RS\"\n"
    "                      name \"http://rating.example/\"\n"
    "                      available-with-content \"yes\"\n"
    "                      )\n"
    "          Filter ( fail (label \"x\") )\n"
    "         )\n"
    "    )\n";
const std::string kKids = "  definepicsrule   \"Kids\" {\n" + kKidsBody + "}\n";
const std::string kMain = "# filters\nPort 80\n" + kKids + "Gc On\n";
const std::string kIncluded = "DefinePicsRule \"Inc\" {\n}\n";

std::string Written(const std::string& name, const std::string& description, const std::string& extensions) {
  return "DefinePicsRule \"" + name + "\" {\n" +
         "     (PicsRule-1.0\n"
         "          (\n"
         "          name     (\n"
         "                   rulename \"" + name + "\"\n" +
         "                   description \"" + description + "\"\n" +
         "                   )\n"
         "          kzo-halberd-extensions (\n" + extensions +
         "                                )\n"
         "         )\n"
         "    )\n"
         "}\n";
}

TEST(PicsRules, GetRecordAndSubElements) {
  auto cfg = MakeConfig({kMain, kIncluded});
  BlockStatus status{};
  std::optional<PicsRule> kids = HTTPDGetPicsFilterRule(*cfg, "Kids", &status);
  ASSERT_TRUE(kids);
  EXPECT_EQ(kids->name, "Kids");
  EXPECT_EQ(kids->description, "No adult sites");
  EXPECT_EQ(kids->activeDays, "mon");
  EXPECT_EQ(kids->startTime, "08:00");
  EXPECT_EQ(kids->endTime, "17:00");
  for (const char* absent : {"kids", "Inc", "Kid"}) {
    EXPECT_FALSE(HTTPDGetPicsFilterRule(*cfg, absent, &status)) << absent;
    EXPECT_EQ(status, BlockStatus::kMissing);
  }
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "passurl", "Kids"), ElementsAre("http://ok.example/"));
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "applies-to", "Kids"), ElementsAre("\"http://*.example/*\""));
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "serviceinfo", "Kids"),
              ElementsAre("RS http://rating.example/ OPT1 OPT2 yes"));
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "filter", "Kids"), ElementsAre("Filter ( fail (label \"x\") )"));
  EXPECT_TRUE(HTTPDGetPicsFilterSubdirective(*cfg, "failurl", "Kids").empty());
  EXPECT_EQ(HTTPDListPicsFilterRules(*cfg), std::vector<std::string>{"Kids"});
  EXPECT_EQ(HTTPDCreatePACFile(*cfg), 0);
}

TEST(PicsRules, PutCopyReplaceDelete) {
  PicsRule teens{"Teens", "Evenings", "sat", "18:00", std::nullopt};
  const std::string teensText = Written("Teens", "Evenings",
                                        "               active-days \"sat\"\n"
                                        "               start-time \"18:00\"\n");
  struct Row {
    const char* anchor;
    int mode;
    std::string expected;
  } rows[] = {
      {"Kids", 1, "# filters\nPort 80\n" + teensText + kKids + "Gc On\n"},
      {"Kids", 2, "# filters\nPort 80\n" + kKids + teensText + "Gc On\n"},
      {"none", 1, kMain + teensText},
  };
  for (const Row& row : rows) {
    auto cfg = MakeConfig({kMain, kIncluded});
    EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, teens, row.anchor, row.mode), 1);
    EXPECT_EQ(FileImages(*cfg)[0], row.expected) << row.anchor << row.mode;
    EXPECT_EQ(HTTPDGetPicsFilterRule(*cfg, "Teens"), teens);  // reads back the same
    EXPECT_EQ(FileImages(*cfg)[1], kIncluded);
  }
  auto cfg = MakeConfig({kMain, kIncluded});
  EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, PicsRule{}, "Kids", 2), 0);
  EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, PicsRule{"Bare", {}, {}, {}, {}}, "Kids", 1), 1);
  EXPECT_EQ(HTTPDGetPicsFilterRule(*cfg, "Bare"), (PicsRule{"Bare", " ", " ", {}, {}}));

  HTTPDCopyPicsFilterRule(*cfg, "Kids", "Kids", "Copy", 2);
  std::string copyBody = kKidsBody;
  const std::string ruleName = "                   rulename \"Kids\"\n";
  copyBody.replace(copyBody.find(ruleName), ruleName.size(), "          name     (rulename \"Copy\"\n");
  EXPECT_NE(FileImages(*cfg)[0].find(kKids + "DefinePicsRule \"Copy\" {\n" + copyBody + "}\nGc On\n"), std::string::npos);

  EXPECT_EQ(HTTPDReplacePicsFilterRule(*cfg, PicsRule{"Kids2", "d2", "tue", {}, {}}, "Kids"), 1);
  std::string replaced = kKids;
  replaced.replace(0, replaced.find('\n') + 1, "DefinePicsRule \"Kids2\" {\n");
  const std::string oldName = "          name     (\n                   rulename \"Kids\"\n"
                              "                   description \"No adult sites\"\n                   )\n";
  replaced.replace(replaced.find(oldName), oldName.size(),
                   "          name      (\n                    rulename \"Kids2\"\n"
                   "                    description \"d2\"\n                    )\n");
  const std::string oldExt = "          kzo-halberd-extensions (\n               active-days \"mon\"\n"
                             "               start-time \"08:00\"\n               end-time \"17:00\"\n"
                             "                                )\n";
  replaced.replace(replaced.find(oldExt), oldExt.size(),
                   "          kzo-halberd-extensions (\n                    active-days \"tue\"\n"
                   "                    )\n");
  EXPECT_NE(FileImages(*cfg)[0].find(replaced), std::string::npos);
  EXPECT_EQ(HTTPDReplacePicsFilterRule(*cfg, PicsRule{"x", {}, {}, {}, {}}, "Kids"), 0);

  BlockStatus status{};
  EXPECT_EQ(HTTPDDeletePicsFilterRule(*cfg, "Kids2", &status), "}\n");
  EXPECT_EQ(FileImages(*cfg)[0].find("Kids2"), std::string::npos);
  EXPECT_FALSE(HTTPDDeletePicsFilterRule(*cfg, "Inc", &status));
  EXPECT_EQ(status, BlockStatus::kMissing);
  EXPECT_EQ(FileImages(*cfg)[1], kIncluded);
  CheckLinks(cfg->first()->lines.first());
}

TEST(PicsRules, SubElementsAndFilter) {
  auto cfg = MakeConfig({kMain, kIncluded});
  HTTPDPutPicsFilterSubdirective(*cfg, "passurl", {"http://a/", "http://b/"}, "Kids");
  HTTPDPutPicsFilterSubdirective(*cfg, "serviceinfo", {"S1 http://r1/ OPT1 OPT2 no", "S2 http://r2/ bu rf yes"}, "Kids");
  HTTPDPutPicsFilterSubdirective(*cfg, "failurl", {"http://no/"}, "Kids");
  HTTPDPutPicsFilterSubdirective(*cfg, "applies-to", {}, "Kids");  // empty list: nothing
  EXPECT_EQ(HTTPDPutFilterSubdirective(*cfg, "Kids", "  Filter ( pass )"), 1);
  const std::string expected =
      "          kzo-halberd-extensions (\n"
      "               active-days \"mon\"\n"
      "               start-time \"08:00\"\n"
      "               end-time \"17:00\"\n"
      "                                )\n"
      "          passurl (\n"
      "             \"http://a/\"\n"
      "             \"http://b/\"\n"
      "             )\n"
      "          applies-to (\n"
      "                     \"http://*.example/*\"\n"
      "                     )\n"
      "          serviceinfo (\n"
      "                      shortname \"S1\"\n"
      "                      name \"http://r1/\"\n"
      "                      available-with-content \"no\"\n"
      "                      )\n"
      "          serviceinfo (\n"
      "                      shortname \"S2\"\n"
      "                      name \"http://r2/\"\n"
      "                      bureau \"bu\"\n"
      "                      ratfile \"rf\"\n"
      "                      available-with-content \"yes\"\n"
      "                      )\n"
      "           Filter ( pass )\n"
      "          failurl ( \"http://no/\" )\n"
      "         )\n"
      "    )\n"
      "}\n";
  EXPECT_NE(FileImages(*cfg)[0].find(expected), std::string::npos) << FileImages(*cfg)[0];
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "serviceinfo", "Kids"),
              ElementsAre("S1 http://r1/ OPT1 OPT2 no", "S2 http://r2/ bu rf yes"));
  EXPECT_THAT(HTTPDGetPicsFilterSubdirective(*cfg, "passurl", "Kids", 1), ElementsAre("http://a/"));
  EXPECT_EQ(HTTPDDeleteFilterSubdirective(*cfg, "Kids")->text, "          failurl ( \"http://no/\" )\n");
  EXPECT_TRUE(HTTPDGetPicsFilterSubdirective(*cfg, "filter", "Kids").empty());
  EXPECT_EQ(HTTPDPutFilterSubdirective(*cfg, "Nope", "x"), 0);
  EXPECT_EQ(FileImages(*cfg)[1], kIncluded);
}

TEST(PicsRules, MoveKeepsTheLines) {
  auto cfg = MakeConfig({kMain + "DefinePicsRule \"Z\" {\n  (x)\n}\n"});
  EXPECT_EQ(HTTPDMovePicsFilterRule(*cfg, "Z", "Kids", 1), 1);
  EXPECT_EQ(FileImages(*cfg)[0], "# filters\nPort 80\nDefinePicsRule \"Z\" {\n  (x)\n}\n" + kKids + "Gc On\n");
  EXPECT_EQ(HTTPDMovePicsFilterRule(*cfg, "Z", "Z", 1), 0);
  EXPECT_EQ(HTTPDMovePicsFilterRule(*cfg, "Z", "kids", 2), 0);
}

TEST(PicsRules, BrokenRuleIsNeitherReadNorChanged) {
  for (const char* image : {"DefinePicsRule \"A\" {\n  (PicsRule-1.0\nDefinePicsRule \"B\" {\n}\n",
                            "Port 80\nDefinePicsRule \"A\" {\n  (PicsRule-1.0\n"}) {
    auto cfg = MakeConfig({image});
    BlockStatus status{};
    EXPECT_FALSE(HTTPDGetPicsFilterRule(*cfg, "A", &status));
    EXPECT_EQ(status, BlockStatus::kBroken);
    EXPECT_FALSE(HTTPDDeletePicsFilterRule(*cfg, "A", &status));
    EXPECT_EQ(HTTPDReplacePicsFilterRule(*cfg, PicsRule{"A", {}, {}, {}, {}}, "A"), 0);
    EXPECT_EQ(HTTPDPutPicsFilterRule(*cfg, PicsRule{"C", {}, {}, {}, {}}, "A", 2), -1);
    EXPECT_EQ(HTTPDPutFilterSubdirective(*cfg, "A", "Filter x"), 0);
    HTTPDCopyPicsFilterRule(*cfg, "A", "A", "D", 2);
    EXPECT_EQ(FileImages(*cfg)[0], image);
  }
}

}  // namespace
}  // namespace cfgout
