#include "config/app_offload.h"

#include <gtest/gtest.h>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using testing::CheckLinks;
using testing::FileImages;
using testing::MakeConfig;

const std::string kShop =
    "\t\t<Application> {\n"
    "\t\tEarName shop.ear\n"
    "\t\t  distributiontype preloadedFromCache\n"
    "\t\tENABLE Yes\n"
    "\t\tContext-root /shop\n"
    "\t\tcontext-ROOT /shop2\n"
    "\t\tNonEdgableURI /shop/cart\n"
    "\t\tHTTPFailoverStatusCodes 503,504\n"
    "\t\t}\n";
const std::string kMain =
    "# offload\n"
    "Port 80\n"
    "<modulebegin> Other\n<ModuleEnd>\n"
    "  <ModuleBegin>   ApplicationProxy\n"
    "\t\tAppRouterAdminPort 9090\n"
    "\t\tzap_conf_file /etc/zap.conf\n" +
    kShop +
    "\t\t<application> {\n\t\t}\n"
    "<ModuleEnd>\n"
    "Gc On\n";
const std::string kIncluded = "<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n";

TEST(AppOffload, CountAndRead) {
  auto cfg = MakeConfig({kMain, kIncluded});
  EXPECT_EQ(HTTPDGetNumAppOffloadEntries(*cfg), 2);
  EXPECT_EQ(HTTPDDoesAppOffloadModuleExist(*cfg), 1);
  int error = -1;
  std::optional<AppOffloadRuleset> shop = HTTPDGetAppOffloadRuleset(*cfg, 0, &error);
  ASSERT_TRUE(shop);
  EXPECT_EQ(error, 0);
  AppOffloadRuleset expected;
  expected.earName = "shop.ear";
  expected.preloaded = 1;
  expected.cdsManaged = 0;
  expected.enabled = 1;
  expected.contextRoot = {"/shop", "/shop2", std::nullopt};
  expected.nonEdgableUri[0] = "/shop/cart";
  expected.httpFailoverStatusCodes = "503,504";
  EXPECT_EQ(*shop, expected);
  EXPECT_EQ(*HTTPDGetAppOffloadRuleset(*cfg, 1, &error), AppOffloadRuleset{});
  EXPECT_FALSE(HTTPDGetAppOffloadRuleset(*cfg, 2, &error));
  EXPECT_EQ(error, 0);

  int port = -1, zap = -1, retry = -1;
  std::string conf = "old";
  EXPECT_EQ(HTTPDGetAppServerAdminPort(*cfg, &port), 1);
  EXPECT_EQ(HTTPDGetAppServerZAPPort(*cfg, &zap), 1);
  EXPECT_EQ(HTTPDGetAppServerRetryInterval(*cfg, nullptr), 0);
  EXPECT_EQ(HTTPDGetAppServerConfFile(*cfg, &conf), 1);
  EXPECT_EQ(port, 9090);
  EXPECT_EQ(zap, -1);  // no such line: untouched
  EXPECT_EQ(conf, "/etc/zap.conf");
  EXPECT_EQ(retry, -1);
}

TEST(AppOffload, BrokenStructures) {
  struct Row {
    std::string image;
    int count;
    int exists;
  } rows[] = {
      {"Port 80\n", 0, 0},
      {"<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n", 0, 1},
      {"<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n<ModuleBegin> ApplicationProxy\n<ModuleEnd>\n", -1, 0},
      {"<ModuleBegin> ApplicationProxy\n  <Application> {\n  EarName a\n<ModuleEnd>\n", -1, 1},
      {"<ModuleBegin> ApplicationProxy\n  <Application> {\n  <Application> {\n }\n<ModuleEnd>\n", -1, 1},
      {"<ModuleBegin> ApplicationProxy\n  <Application>\n }\n<ModuleEnd>\n", -1, 1},
      {"<ModuleBegin> ApplicationProxy\n  <Application> {\n }\n", -1, 0},
  };
  for (const Row& row : rows) {
    auto cfg = MakeConfig({row.image});
    EXPECT_EQ(HTTPDGetNumAppOffloadEntries(*cfg), row.count) << row.image;
    EXPECT_EQ(HTTPDDoesAppOffloadModuleExist(*cfg), row.exists) << row.image;
    int error = 0;
    HTTPDGetNextAppOffloadBlock(*cfg, nullptr, &error);
    EXPECT_EQ(error, row.count < 0 ? 1 : 0) << row.image;
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
  auto cfg = MakeConfig({"Port 80\n", kIncluded});
  EXPECT_EQ(HTTPDSetAppServerAdminPort(*cfg, 1), 0);  // no section yet
  EXPECT_EQ(HTTPDAddAppOffloadModule(*cfg), 1);
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 1, 0), 0);
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 0, 0), 1);
  EXPECT_EQ(FileImages(*cfg)[0], "Port 80\n<ModuleBegin> ApplicationProxy\n\t\t<Application> {\n\t\t}\n<ModuleEnd>\n");
  AppOffloadRuleset app;
  app.earName = "a.ear";
  app.enabled = 1;
  app.contextRoot[0] = "/a";
  app.contextRoot[2] = "/c";
  app.nonEdgableUri[1] = "/a/x";
  ASSERT_EQ(HTTPDReplaceAppOffloadRuleset(*cfg, 0, app), 1);
  EXPECT_EQ(*HTTPDGetAppOffloadRuleset(*cfg, 0, nullptr),
            (AppOffloadRuleset{"a.ear", 0, 1, 1, {"/a", "/c", std::nullopt}, {"/a/x", {}, {}, {}}, {}}));
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 0, 1), 1);  // before application 0
  EXPECT_EQ(HTTPDAddAppOffloadRuleset(*cfg, 1, 0), 1);  // after the one that was 0
  EXPECT_EQ(HTTPDSetAppServerZAPPort(*cfg, 7000), 1);
  EXPECT_EQ(HTTPDSetAppServerZAPPort(*cfg, 7001), 1);  // twice: one line, right after the begin line
  EXPECT_EQ(HTTPDSetAppServerConfFile(*cfg, "/z.conf"), 1);
  EXPECT_EQ(FileImages(*cfg)[0],
            "Port 80\n<ModuleBegin> ApplicationProxy\n"
            "\t\tZAP_CONF_FILE /z.conf\n"
            "\t\tAppRouterLocalZAPPort 7001\n"
            "\t\t<Application> {\n\t\t}\n"
            "\t\t<Application> {\n"
            "\t\tEarName a.ear\n\t\tDistributionType CDSManaged\n\t\tEnable yes\n"
            "\t\tContext-root /a\n\t\tContext-root /c\n\t\tNonEdgableURI /a/x\n"
            "\t\t}\n"
            "\t\t<Application> {\n\t\t}\n"
            "<ModuleEnd>\n");
  EXPECT_EQ(HTTPDGetNumAppOffloadEntries(*cfg), 3);
  EXPECT_EQ(HTTPDDeleteAppOffloadRuleset(*cfg, 1), 1);
  EXPECT_EQ(HTTPDDeleteAppOffloadRuleset(*cfg, 5), 0);
  EXPECT_EQ(HTTPDGetNumAppOffloadEntries(*cfg), 2);
  int error = 1;
  EXPECT_EQ(HTTPDGetTopAppOffloadModule(*cfg, &error)->text, "<ModuleBegin> ApplicationProxy\n");
  EXPECT_EQ(error, 0);
  EXPECT_EQ(FileImages(*cfg)[1], kIncluded);
  CheckLinks(cfg->first()->lines.first());
}

}  // namespace
}  // namespace cfgout
