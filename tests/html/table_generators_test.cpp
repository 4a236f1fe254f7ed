// The table generators on small configurations, with the shipped catalogue's
// localised words: one row per case, the whole output compared byte for byte.

#include "html/table_generators.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "html/config_fixture.h"
#include "nls/message_lookup.h"

namespace cfgout {
namespace {

using testing::Captured;

struct TableCase {
  const char* name;
  const char* config;
  std::function<int(const ConfigHandle&)> generate;
  int rows;
  const char* page;
};

const char* kLine = "[%s]\n";
constexpr const char* kMapping = "Map Pass Fail Exec Redirect Proxy Service NameTrans 0";

const TableCase kCases[] = {
    {"no occurrence writes nothing", "Port 80\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "AddType", 4, 1, c); }, 0, ""},
    {"unknown keyword", "Port 80\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "NoSuchThing", 4, 1, c); }, 0, ""},
    {"column cap joins the overflow with one blank", "InheritEnv a b   c\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "InheritEnv", 2, 1, c); }, 1,
     "[<tr><td>1</td><td>a</td><td>b c</td></tr>]\n"},
    {"keyword as the first cell, comment ends the row", "AddType .txt text/plain 7bit 1.0 # plain\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "AddType", 9, 0, c); }, 1,
     "[<tr><td>1</td><td>AddType</td><td>.txt</td><td>text/plain</td><td>7bit</td><td>1.0</td></tr>]\n"},
    {"types: encodings, factors, a missing type, file order", "AddType .txt text/plain 7bit 1.0 # plain\nAddType .bin BINARY 0.5\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "addtype", 4, 1, c); }, 2,
     "[<tr><td>1</td><td>.txt</td><td>text/plain</td><td>7-bit</td><td>1.0</td></tr>]\n"
     "[<tr><td>2</td><td>.bin</td><td></td><td>binary</td><td>0.5</td></tr>]\n"},
    {"encodings: the factor is localised", "AddEncoding .gz x-gzip 0.8\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "AddEncoding", 3, 1, c); }, 1,
     "[<tr><td>1</td><td>.gz</td><td>x-gzip</td><td>0.8</td></tr>]\n"},
    {"direct: condition words and the missing condition", "Direct a.com eq 1\nDirect b.com\nDirect c.com # no\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "Direct", 4, 0, c); }, 3,
     "[<tr><td>1</td><td>Direct</td><td>a.com</td><td>equal to</td><td>1</td></tr>]\n"
     "[<tr><td>2</td><td>Direct</td><td>b.com</td><td>(no condition)</td></tr>]\n"
     "[<tr><td>3</td><td>Direct</td><td>c.com</td><td>(no condition)</td></tr>]\n"},
    {"cache times: a leading number gets an empty first cell", "CacheClean 2 Days\nCacheMaxExpiry http://* 1 weeks\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "CacheMaxExpiry", 4, 1, c) + GenTableItems(kLine, "CacheClean", 4, 1, c); }, 2,
     "[<tr><td>1</td><td>http://*</td><td>1</td><td>weeks</td></tr>]\n"
     "[<tr><td>1</td><td></td><td>2</td><td>days</td></tr>]\n"},
    {"minimum holding time: the pairs in one cell", "CacheMinHold http://* 1 day 2 Hours 3 minutes x\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "CacheMinHold", 3, 1, c); }, 1,
     "[<tr><td>1</td><td>http://*</td><td>1 days 2 hours 3 minutes</td><td>x</td></tr>]\n"},
    {"server certificate: split at its own first character", "SSLServerCert \"My label\" \"b\"\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "SSLServerCert", 4, 1, c); }, 1,
     "[<tr><td>1</td><td>My label</td><td> </td><td>b</td><td>\n</td></tr>]\n"},
    {"values are escaped", "InheritEnv \"><script>%s\n",
     [](const ConfigHandle& c) { return GenTableItems(kLine, "InheritEnv", 2, 1, c); }, 1,
     "[<tr><td>1</td><td>&quot;&gt;&lt;script&gt;%s</td></tr>]\n"},
    {"mapping rules: words, the Fail column, no padding",
     "Map /a/* /b/*\nPort 80\nFail /c/* 10.0.0.1\nfail /c/*\nProxy /p/* http://x/*\n",
     [](const ConfigHandle& c) { return GenMultiTableItems(kLine, kMapping, 4, 0, c); }, 4,
     "[<tr><td>1</td><td>Map</td><td>/a/*</td><td>/b/*</td></tr>]\n"
     "[<tr><td>2</td><td>Fail</td><td>/c/*</td><td></td><td>10.0.0.1</td></tr>]\n"
     "[<tr><td>3</td><td>Fail</td><td>/c/*</td></tr>]\n"
     "[<tr><td>4</td><td>Proxy</td><td>/p/*</td><td>http://x/*</td></tr>]\n"},
    {"caching lists: the first column localised", "NoCaching http://a/*\nCacheOnly http://b/*\nCacheQueries always x\n",
     [](const ConfigHandle& c) {
       return GenMultiTableItems(kLine, "CacheOnly NoCaching 0", 2, 0, c) + GenMultiTableItems(kLine, "CacheQueries 0", 2, 1, c);
     }, 3,
     "[<tr><td>1</td><td>Do not cache</td><td>http://a/*</td></tr>]\n"
     "[<tr><td>2</td><td>Cache only</td><td>http://b/*</td></tr>]\n"
     "[<tr><td>1</td><td>Always</td><td>x</td></tr>]\n"},
    {"user methods: main file, standard methods skipped", "Enable GET /x\nEnable PROPFIND /dav/*\nEnable MKCOL # no handler\n",
     [](const ConfigHandle& c) { return GenMethTableItems(kLine, c); }, 2,
     "[<tr><td>1</td><td>PROPFIND</td><td>/dav/*</td></tr>]\n"
     "[<tr><td>2</td><td>MKCOL</td><td></td><td></td></tr>]\n"},
    {"protections: named, FOR address, inline block",
     "Protect /a/* Admins FOR 10.0.0.*\nProtect /b/* Users\nProtect /c/* {\n  GetMask all\n}\nProtect /d/* Setup {\n}\n",
     [](const ConfigHandle& c) { return GenProtectTableItems(kLine, c); }, 4,
     "[<tr><td>1</td><td>/a/*</td><td>Admins</td><td>10.0.0.*</td></tr>]\n"
     "[<tr><td>2</td><td>/b/*</td><td>Users</td></tr>]\n"
     "[<tr><td>3</td><td>/c/*</td></tr>]\n"
     "[<tr><td>4</td><td>/d/*</td><td></td><td>Setup</td></tr>]\n"},
    {"API steps: empty cells, two-word steps, the init argument, Basic",
     "ServerInit /lib/x.so:init a b  c\nAuthentication basic /lib/a.so:auth # users\nPostExit /lib/p.so:f\n",
     [](const ConfigHandle& c) { return GenAPITableItems(kLine, "ServerInit&Authentication&PostExit&", c); }, 3,
     "[<tr><td>1</td><td>ServerInit</td><td></td><td>/lib/x.so:init a b  c</td></tr>]\n"
     "[<tr><td>2</td><td>Authentication</td><td>Basic</td><td>/lib/a.so:auth</td></tr>]\n"
     "[<tr><td>3</td><td>PostExit</td><td></td><td>/lib/p.so:f</td></tr>]\n"},
};

class TableGeneratorsTest : public testing::ConfigFixture, public ::testing::WithParamInterface<TableCase> {
 protected:
  static void SetUpTestSuite() { nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR); }
};

TEST_P(TableGeneratorsTest, WritesRows) {
  const TableCase& c = GetParam();
  SCOPED_TRACE(c.name);
  const ConfigHandle& cfg = Open(c.config);
  int rows = -1;
  EXPECT_EQ(Captured([&] { rows = c.generate(cfg); }), c.page);
  EXPECT_EQ(rows, c.rows);
}

INSTANTIATE_TEST_SUITE_P(Cases, TableGeneratorsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
}  // namespace cfgout
