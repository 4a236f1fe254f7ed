#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "html/output.h"
#include "html/templates.h"
#include "support/page_capture.h"

namespace cfgout {
namespace {

using testing::Captured;

TEST(GenHtmlLineTest, SubstitutionRule) {
  EXPECT_EQ(Captured([] { GenHtmlLine("<TD>%s</TD>\n", "x"); }), "<TD>x</TD>\n");
  EXPECT_EQ(Captured([] { GenHtmlLine("<TD>%s</TD>\n", ""); }), "<TD></TD>\n");
  EXPECT_EQ(Captured([] { GenHtmlLine("100%% of %s", "it"); }), "100% of it");
  EXPECT_EQ(Captured([] { GenHtmlLine("%%s is %s", "v"); }), "%s is v");
  // No value, or no marker: only "%%" changes.
  EXPECT_EQ(Captured([] { GenHtmlLine("a %s b 50%%", nullptr); }), "a %s b 50%");
  EXPECT_EQ(Captured([] { GenHtmlLine("plain 10%%\n", "ignored"); }), "plain 10%\n");
  EXPECT_EQ(Captured([] { GenHtmlLine("%%%%", nullptr); }), "%%");
  // Other % sequences are text.
  EXPECT_EQ(Captured([] { GenHtmlLine("%n %x %5s % %", nullptr); }), "%n %x %5s % %");
  EXPECT_EQ(Captured([] { GenHtmlLine("%n %x [%s] %", "v"); }), "%n %x [v] %");
  // The value is not interpreted and not escaped.
  EXPECT_EQ(Captured([] { GenHtmlLine("[%s]", "%s%n%%<b>"); }), "[%s%n%%<b>]");
  EXPECT_EQ(Captured([] { GenHtmlLine(nullptr, "x"); }), "");
  EXPECT_EQ(Captured([] { GenHtmlLine(nullptr, nullptr); }), "");
  EXPECT_EQ(GenHtmlLine("", nullptr), 0);
  // The header line of a response.
  EXPECT_EQ(Captured([] { GenHtmlLine("Content-type: text/html\nPragma: no-cache\n\n", nullptr); }),
            "Content-type: text/html\nPragma: no-cache\n\n");
  std::string value = "str";
  EXPECT_EQ(Captured([&] { GenHtmlLine("<%s>", value); }), "<str>");
  EXPECT_EQ(Captured([&] { GenHtmlLine("<%s>", std::string_view("sv")); }), "<sv>");
}

TEST(GenHtmlLineTest, MarkerLines) {
  EXPECT_TRUE(IsMarkerLine("a%sb"));
  EXPECT_TRUE(IsMarkerLine("%%s"));
  EXPECT_FALSE(IsMarkerLine("a % s"));
  EXPECT_FALSE(IsMarkerLine(nullptr));
}

struct Row {
  const char* name;
  int bundleSet;
  int index;
};

// The page table as it is defined, slot by slot in index order.
const std::vector<Row> kPages = {
    {"ACCCONF", 2, 1},
    {"ADDENCOD", 2, 2},
    {"ADDTYPE", 2, 3},
    {"ADDUSER", 2, 4},
    {"APIMAP", 2, 5},
    {"APIREQ", 2, 6},
    {"ARCHIVE", 2, 7},
    {"BASIC", 2, 8},
    {"CFG_INTRO", 2, 9},
    {"CHKUSER", 2, 10},
    {"CHPASSWD", 2, 11},
    {"CODEPAGE", 2, 12},
    {"DELUSER", 2, 13},
    {"DIRICONS", 2, 14},
    {"DOCAUTOS", 2, 15},
    {"ERRCUST", 2, 16},
    {"HAPARMS", 2, 17},
    {"HLPACCCO", 2, 18},
    {"HLPADDEN", 2, 19},
    {"HLPADDTY", 2, 20},
    {"HLPADDUS", 2, 21},
    {"HLPAPIMA", 2, 22},
    {"HLPARCHI", 2, 23},
    {"HLPBASIC", 2, 24},
    {"HLPCHKUS", 2, 25},
    {"HLPCHPAS", 2, 26},
    {"HLPCODEP", 2, 27},
    {"HLPDELUS", 2, 28},
    {"HLPDIRIC", 2, 29},
    {"HLPDOCAU", 2, 30},
    {"HLPERRCU", 2, 31},
    {"HLPFRAME", 2, 32},
    {"HLPINITP", 2, 33},
    {"HLPLISTC", 2, 34},
    {"HLPLMF", 2, 35},
    {"HLPLOADM", 2, 36},
    {"HLPLOGFI", 2, 37},
    {"HLPMETHE", 2, 38},
    {"HLPMPFRU", 2, 39},
    {"HLPKRTDS", 2, 40},
    {"HLPPERFO", 2, 41},
    {"HLPPROTE", 2, 42},
    {"HLPPROXB", 2, 43},
    {"HLPPROXC", 2, 44},
    {"HLPPROXE", 2, 45},
    {"HLPPROXG", 2, 46},
    {"HLPPROXM", 2, 47},
    {"HLPPROXP", 2, 48},
    {"HLPPROXS", 2, 49},
    {"HLPPROXT", 2, 50},
    {"HLPSNMPM", 2, 51},
    {"HLPSTAT1", 2, 52},
    {"HLPSTAT10", 2, 53},
    {"HLPSTAT2", 2, 54},
    {"HLPSTAT3", 2, 55},
    {"HLPSTAT4", 2, 56},
    {"HLPSTAT5", 2, 57},
    {"HLPSTAT6", 2, 58},
    {"HLPSTAT7", 2, 59},
    {"HLPSTAT8", 2, 60},
    {"HLPSTAT9", 2, 61},
    {"HLPTIMEO", 2, 62},
    {"HLPUSERM", 2, 63},
    {"HLTFRAME", 2, 64},
    {"INITPAGE", 2, 65},
    {"LISTCNTS", 2, 66},
    {"LMF", 2, 67},
    {"LOADMGR", 2, 68},
    {"LOGFILES", 2, 69},
    {"METHENAB", 2, 70},
    {"MPFRULE", 2, 71},
    {"KRTDS", 2, 72},
    {"PASSPRO", 2, 73},
    {"PERFORMA", 2, 74},
    {"PROTECT", 2, 75},
    {"PROXBEHA", 2, 76},
    {"PROXCACH", 2, 77},
    {"PROXEXP", 2, 78},
    {"PROXGC", 2, 79},
    {"PROXMAP", 2, 80},
    {"PROXPROX", 2, 81},
    {"PROXSERV", 2, 82},
    {"PROXTIME", 2, 83},
    {"RESTART", 2, 84},
    {"SNMPMIB", 2, 85},
    {"SSLPRO", 2, 86},
    {"TIMEOUT", 2, 87},
    {"USERMETH", 2, 88},
    {"HISTORY", 2, 89},
    {"ADVANCED", 3, 1},
    {"APPOFFLOAD", 3, 2},
    {"APPOFFLOADDET", 3, 3},
    {"CACHE", 3, 4},
    {"DIRECT", 3, 5},
    {"HEADER", 3, 6},
    {"HLPAPPOFFLOAD", 3, 7},
    {"HLPAPPOFFLOADDET", 3, 8},
    {"HLPABTWT", 3, 9},
    {"HLPADVAN", 3, 10},
    {"HLPCACHE", 3, 11},
    {"HLPDIREC", 3, 12},
    {"HLPHEADE", 3, 13},
    {"HLPJPERF", 3, 14},
    {"HLPPACFO", 3, 15},
    {"HLPPACPR", 3, 16},
    {"HLPPFACO", 3, 17},
    {"HLPPFDEF", 3, 18},
    {"HLPPFFAI", 3, 19},
    {"HLPPFHEA", 3, 20},
    {"HLPPFMAN", 3, 21},
    {"HLPPFPAS", 3, 22},
    {"HLPPFSIN", 3, 23},
    {"HLPPFUSE", 3, 24},
    {"HLPPRELO", 3, 25},
    {"HLPRCA", 3, 26},
    {"HLPSOCKS", 3, 27},
    {"HLPSSL", 3, 28},
    {"HLPURLEX", 3, 29},
    {"JHAPARMS", 3, 30},
    {"JPERFORM", 3, 31},
    {"PACFORM", 3, 32},
    {"PACPROXY", 3, 33},
    {"PFACOND", 3, 34},
    {"PFDEF", 3, 35},
    {"PFFAIL", 3, 36},
    {"PFHEAD", 3, 37},
    {"PFMAN", 3, 38},
    {"PFPASS", 3, 39},
    {"PFSINFO", 3, 40},
    {"PFUSER", 3, 41},
    {"PRELOAD", 3, 42},
    {"RCA", 3, 43},
    {"SOCKS", 3, 44},
    {"SSL", 3, 45},
    {"URLEXP", 3, 46},
    {"QTX_INTRO", 3, 47},
    {"CYBERPATROL", 3, 48},
    {"HLPCYBERPATROL", 3, 49},
};

TEST(PageTableTest, HoldsEveryPageOnceInByteOrder) {
  ASSERT_EQ(kPages.size(), 138u);
  ASSERT_EQ(formList.size(), 138u);
  EXPECT_STREQ(formList.front().name, "ACCCONF");
  EXPECT_STREQ(formList.back().name, "USERMETH");
  for (std::size_t i = 1; i < formList.size(); ++i) {
    EXPECT_LT(std::strcmp(formList[i - 1].name, formList[i].name), 0) << formList[i].name;
  }
  std::set<std::string> names;
  for (const FormPage& row : formList) names.insert(row.name);
  EXPECT_EQ(names.size(), 138u);
}

TEST(PageTableTest, EveryPageIsFoundWithItsSlotAndIndex) {
  for (const Row& page : kPages) {
    int row = FindHtmlIndex(page.name);
    ASSERT_GE(row, 0) << page.name;
    ASSERT_LT(row, 138) << page.name;
    EXPECT_STREQ(formList[static_cast<std::size_t>(row)].name, page.name);
    EXPECT_EQ(formList[static_cast<std::size_t>(row)].bundleSet, page.bundleSet) << page.name;
    EXPECT_EQ(formList[static_cast<std::size_t>(row)].index, page.index) << page.name;
    EXPECT_EQ(IndexFromHtmlName(page.name), page.index) << page.name;

    std::string lower = page.name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(FindHtmlIndex(lower), row) << lower;
  }
}

TEST(PageTableTest, LookupIgnoresCaseOnly) {
  EXPECT_EQ(IndexFromHtmlName("basic"), 8);
  EXPECT_EQ(IndexFromHtmlName("Basic"), 8);
  EXPECT_EQ(IndexFromHtmlName("BASIC"), 8);
  EXPECT_EQ(IndexFromHtmlName("BASIC "), -1);
  EXPECT_EQ(IndexFromHtmlName("BASI"), -1);
  EXPECT_EQ(IndexFromHtmlName("BASICS"), -1);
  EXPECT_EQ(IndexFromHtmlName(""), -1);
  EXPECT_EQ(IndexFromHtmlName("qtx_intro"), 47);
  EXPECT_EQ(IndexFromHtmlName("advanced"), 1);
  EXPECT_EQ(FindHtmlIndex("accconf"), 0);
  EXPECT_EQ(FindHtmlIndex("UserMeth"), 137);
  EXPECT_EQ(FindHtmlIndex("AAAA"), -1);
  EXPECT_EQ(FindHtmlIndex("ZZZZ"), -1);
  std::string name = "basic";
  IndexFromHtmlName(name);
  EXPECT_EQ(name, "basic");  // the lookups leave the name alone
}

TEST(WalkTemplateTest, MarkersAreCountedFromZeroAndExtraOnesGetTheBeyondValue) {
  TemplatePage page{{"<HTML>\n", "A=%s\n", "100%%\n", "B=%s;%s\n", "C=%s\n", "D=%s\n", "</HTML>\n"}};
  std::vector<int> seen;
  std::string out = Captured([&] {
    WalkTemplate(page, [&](int marker, const char* line) {
      seen.push_back(marker);
      if (marker > 1) return false;
      GenHtmlLine(line, marker == 0 ? "a" : "b");
      return true;
    });
  });
  EXPECT_EQ(out, "<HTML>\nA=a\n100%\nB=b;\nC=\nD=\n</HTML>\n");
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));

  std::vector<MarkerItem> items = {[](const char* line) { GenHtmlLine(line, "1"); }, nullptr,
                                   [](const char* line) { GenHtmlLine(line, "3"); }};
  EXPECT_EQ(Captured([&] { WalkTemplate(page, items); }), "<HTML>\nA=1\n100%\nB=;\nC=3\nD=\n</HTML>\n");
  EXPECT_EQ(Captured([&] { WalkTemplate(page, std::span<const MarkerItem>(), " "); }),
            "<HTML>\nA= \n100%\nB= ;\nC= \nD= \n</HTML>\n");
  EXPECT_EQ(Captured([&] { WalkTemplate(TemplatePage{}, items); }), "");
}

}  // namespace
}  // namespace cfgout
