// Line output, the page table, templates and the status block.

#include "html/templates.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "html/output.h"
#include "html/page_status.h"
#include "nls/message_lookup.h"
#include "support/page_capture.h"

namespace cfgout {
namespace {

using testing::Captured;
using Lines = std::vector<std::string>;

struct LineRow {
  const char* line, *value, *want;
} const kLines[] = {
    {"<TD>%s</TD>\n", "x", "<TD>x</TD>\n"}, {"<TD>%s</TD>\n", "", "<TD></TD>\n"},
    {"100%% of %s", "it", "100% of it"}, {"%%s is %s", "v", "%s is v"},
    // No value, or no marker: only "%%" changes; other % sequences are text.
    {"a %s b 50%%", nullptr, "a %s b 50%"}, {"plain 10%%\n", "ignored", "plain 10%\n"}, {"%%%%", nullptr, "%%"},
    {"%n %x %5s % %", nullptr, "%n %x %5s % %"}, {"%n %x [%s] %", "v", "%n %x [v] %"},
    {"[%s]", "%s%n%%<b>", "[%s%n%%<b>]"},  // the value is neither interpreted nor escaped
    {nullptr, "x", ""}, {nullptr, nullptr, ""},
};

TEST(GenHtmlLineTest, SubstitutionRule) {
  for (const LineRow& row : kLines) {
    int result = -1;
    EXPECT_EQ(Captured([&] { result = GenHtmlLine(row.line, row.value); }), row.want) << (row.line ? row.line : "null");
    EXPECT_EQ(result, 0);
  }
  EXPECT_EQ(Captured([&] { GenHtmlLine("<%s>", std::string("str")); }), "<str>");
  EXPECT_EQ(Captured([&] { GenHtmlLine("<%s>", std::string_view("sv")); }), "<sv>");
  EXPECT_TRUE(IsMarkerLine("a%sb") && IsMarkerLine("%%s"));
  EXPECT_FALSE(IsMarkerLine("a % s") || IsMarkerLine(nullptr));
}

TEST(PageTableTest, EveryPageOnceInByteOrder) {
  ASSERT_EQ(formList.size(), 138u);
  for (std::size_t i = 1; i < formList.size(); ++i) EXPECT_LT(std::strcmp(formList[i - 1].name, formList[i].name), 0);
  for (const FormPage& page : formList) EXPECT_EQ(&formList[static_cast<std::size_t>(FindHtmlIndex(page.name))], &page);
  const std::tuple<const char*, int, int> spots[] = {{"ACCCONF", 2, 1}, {"BASIC", 2, 8}, {"HISTORY", 2, 89},
                                                     {"ADVANCED", 3, 1}, {"HLPCYBERPATROL", 3, 49}};
  for (auto [name, set, index] : spots) {
    const FormPage& page = formList[static_cast<std::size_t>(FindHtmlIndex(name))];
    EXPECT_EQ(std::pair(page.bundleSet, page.index), std::pair(set, index)) << name;
  }
}

TEST(PageTableTest, LookupIgnoresCaseOnly) {
  for (const char* name : {"basic", "Basic", "BASIC"}) EXPECT_EQ(IndexFromHtmlName(name), 8);
  for (const char* name : {"BASIC ", "BASI", "BASICS", ""}) EXPECT_EQ(IndexFromHtmlName(name), -1);
  EXPECT_EQ(FindHtmlIndex("qtx_intro"), FindHtmlIndex("QTX_INTRO"));
  for (const char* name : {"AAAA", "ZZZZ", "BASI"}) EXPECT_EQ(FindHtmlIndex(name), -1);
}

TEST(WalkTemplateTest, MarkersAreCountedFromZeroAndExtraOnesGetTheBeyondValue) {
  TemplatePage page{{"<HTML>\n", "A=%s\n", "100%%\n", "B=%s;%s\n", "C=%s\n", "D=%s\n", "</HTML>\n"}};
  std::vector<int> seen;
  EXPECT_EQ(Captured([&] {
    WalkTemplate(page, [&](int marker, const char* line) {
      seen.push_back(marker);
      if (marker > 1) return false;
      GenHtmlLine(line, marker == 0 ? "a" : "b");
      return true;
    });
  }), "<HTML>\nA=a\n100%\nB=b;\nC=\nD=\n</HTML>\n");
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
  std::vector<MarkerItem> items = {[](const char* line) { GenHtmlLine(line, "1"); }, nullptr,
                                   [](const char* line) { GenHtmlLine(line, "3"); }};
  EXPECT_EQ(Captured([&] { WalkTemplate(page, items); }), "<HTML>\nA=1\n100%\nB=;\nC=3\nD=\n</HTML>\n");
  EXPECT_EQ(Captured([&] { WalkTemplate(page, std::span<const MarkerItem>(), " "); }),
            "<HTML>\nA= \n100%\nB= ;\nC= \nD= \n</HTML>\n");
  EXPECT_EQ(Captured([&] { WalkTemplate(TemplatePage{}, items); }), "");
}

// Bundles here: templates BASIC, CFG_INTRO, PERFORMA; HAPARMS, DOCAUTOS, ADDENCOD as slot 2
// catalogues; QTX_INTRO in slot 3; status texts 11 and 12.
const std::string ready = "Ready (test catalogue)";

class TemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override { Use(CFGOUT_HTML_TEST_MSG_DIR); }
  void TearDown() override { nlsResetForTesting(); }
  static void Use(const char* dir) {
    nlsSetMessageDirectory(dir);
    nlsResetForTesting();
  }
};

// The HAPARMS catalogue filled in, lines of absent fields left out.
std::string Parameters(const std::string& message, const std::string& type, const char* help, const char* topic,
                       const char* extra, const char* flag) {
  std::string out = "<!-- status 100% -->\n<PARAM NAME=\"message\" VALUE=\"" + message + "\">\n";
  out += "<PARAM NAME=\"type\" VALUE=\"" + type + "\">\n";
  const std::pair<const char*, const char*> fields[] = {{"help", help}, {"topic", topic}, {"extra", extra}, {"flag", flag}};
  for (auto [name, value] : fields) {
    if (value) out += std::string("<PARAM NAME=\"") + name + "\" VALUE=\"" + value + "\">\n";
  }
  return out + "<PARAM NAME=\"seventh\" VALUE=\"\">\n<!-- end -->\n";
}

TEST_F(TemplatesTest, GetHtmlPageReadsLinesUpToTheEndMark) {
  const struct {
    const char* name;
    std::optional<Lines> lines;  // nullopt: no page
  } rows[] = {
      {"Basic", Lines{"<HTML>\n", "<INPUT NAME=\"HostName\" VALUE=\"%s\">\n", "<P>100%% sure</P>\n",
                      "<DIV>%s</DIV>\n", "</HTML>\n"}},
      {"qtx_intro", Lines{"<P>proxy intro %s</P>\n"}},  // slot 3
      {"docautos", Lines{}},                             // the first line is empty
      {"NoSuchPage", {}}, {"ACCCONF", {}},               // no message set at all
      {"ADDENCOD", {}},                                  // no end mark
      {"ADVANCED", {}}, {"", {}},
  };
  for (const auto& row : rows) {
    std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view(row.name));
    EXPECT_EQ(page ? std::optional<Lines>(Lines(page->lines.begin(), page->lines.end())) : std::nullopt, row.lines)
        << row.name;
  }
  std::string basic = "Basic", missing = "NoSuchPage";  // upper-cased in place, even when the page is missing
  EXPECT_TRUE(GetHtmlPage(basic) != nullptr && GetHtmlPage(missing) == nullptr);
  EXPECT_EQ(basic + " " + missing, "BASIC NOSUCHPAGE");
  // 499 lines, the end mark at line 500, which is never read.
  std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view("PERFORMA"));
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(page->lines.size(), 499u);
  EXPECT_STREQ(page->lines.front(), "line 1\n");
  EXPECT_STREQ(page->lines.back(), "line 499\n");
  EXPECT_EQ(Captured([] { TextOnlyDisplayHandler(TemplatePage{}, MakeInitialPageStatus()); }), "");
}

TEST_F(TemplatesTest, NothingLoadsWithoutBundles) {
  Use("/nonexistent/cfgout-html-test");
  EXPECT_EQ(GetHtmlPage(std::string_view("BASIC")), nullptr);
  EXPECT_EQ(Captured([] { EXPECT_EQ(Cfg_IntroDisplayHandler(MakeInitialPageStatus()), 1); }), "");
  // The status block's own template is missing: the marker line gets "".
  EXPECT_EQ(Captured([] { GenHeraldAppletParms("<DIV>%s</DIV> 5%%", MakeInitialPageStatus()); }), "<DIV></DIV> 5%");
}

TEST_F(TemplatesTest, HeraldAppletParmsPrintsEveryFieldEscaped) {
  PageStatus status{1, {}, "Saved \"x\" <ok> & 'y' %s%n", "1", "HLPBASIC", "hltdocau", 2, "a<b"};
  EXPECT_EQ(Captured([&] { EXPECT_EQ(GenHeraldAppletParms("50%% <DIV>%s</DIV> 10%%", status), 0); }),
            "50% <DIV>" +
                Parameters("Saved &quot;x&quot; &lt;ok&gt; &amp; &#39;y&#39; %s%n", "1", "HLPBASIC", "hltdocau",
                           "a&lt;b", "true") +
                "</DIV> 10%");
  status = MakeInitialPageStatus();
  status.helpPage = "HLPBASIC";
  EXPECT_EQ(Captured([&] { GenHeraldAppletParms("%s", status); }),
            Parameters(ready, "0", "HLPBASIC", nullptr, nullptr, "false"));
  status.helpPage.reset();
  status.appletExtra = "";
  EXPECT_EQ(Captured([&] { GenHeraldAppletParms("[%s]", status); }),
            "[" + Parameters(ready, "0", nullptr, nullptr, "", "false") + "]");
  // No "%s" in the line: the whole line comes first.
  EXPECT_EQ(Captured([&] { GenHeraldAppletParms("<HR>", status); }),
            "<HR>" + Parameters(ready, "0", nullptr, nullptr, "", "false"));
}

TEST_F(TemplatesTest, IntroAndTextOnlyPagesShowTheStatus) {
  PageStatus status = MakeInitialPageStatus();
  FailStatus(status, "HTML form information not found");
  int result = 0;
  EXPECT_EQ(Captured([&] { result = Cfg_IntroDisplayHandler(status); }),
            "<HTML><BODY>\n<DIV class=\"status\">" +
                Parameters("HTML form information not found", "3", nullptr, nullptr, nullptr, "false") +
                "</DIV>\n<P>Second  marker</P>\n<P>Third: </P>\n</BODY></HTML>\n");  // the first marker only
  EXPECT_EQ(result, 1);
  std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view("BASIC"));
  ASSERT_NE(page, nullptr);
  status = MakeInitialPageStatus();
  status.appletFlag = 1;
  EXPECT_EQ(Captured([&] { result = TextOnlyDisplayHandler(*page, status); }),
            "<HTML>\n<INPUT NAME=\"HostName\" VALUE=\"" +
                Parameters(ready, "0", nullptr, nullptr, nullptr, "true") +
                "\">\n<P>100% sure</P>\n<DIV></DIV>\n</HTML>\n");
  EXPECT_EQ(result, 0);
}

// success|fieldError|messageText|messageType|helpPage|helpTopic|appletFlag|appletExtra, "-" for none.
std::string Show(const PageStatus& s) {
  auto opt = [](const std::optional<std::string>& v) { return v ? *v : "-"; };
  return std::to_string(s.success) + "|" + opt(s.fieldError) + "|" + s.messageText + "|" + s.messageType + "|" +
         opt(s.helpPage) + "|" + opt(s.helpTopic) + "|" + std::to_string(s.appletFlag) + "|" + opt(s.appletExtra);
}

TEST_F(TemplatesTest, StatusConventions) {
  PageStatus status = MakeInitialPageStatus();
  EXPECT_EQ(Show(status), "1|-|" + ready + "|0|-|-|0|-");
  status.helpPage = "HLPBASIC";
  RejectField(status, "old");
  BeginOutputHandler(status);
  EXPECT_EQ(Show(status), "1|-|Changes done (test catalogue)|1|HLPBASIC|-|0|-");
  Use("/nonexistent/cfgout-html-test");
  status = PageStatus{0, "e", "", "3", "p", "x", 5, "a"};
  InitPageStatus(status);
  EXPECT_EQ(Show(status), "1|-|Ready|0|-|-|0|-");
  BeginOutputHandler(status);
  EXPECT_EQ(Show(status), "1|-|The requested configuration changes have been completed successfully.|1|-|-|0|-");
  RejectField(status, "Invalid port");
  EXPECT_EQ(Show(status), "0|Invalid port|Invalid port|3|-|-|0|-");
  status = MakeInitialPageStatus();
  SetStatusMessage(status, kStatusWarning, "capped");
  EXPECT_EQ(Show(status), "1|-|capped|2|-|-|0|-");
  FailStatus(status, "Error writing to configuration file");
  EXPECT_EQ(Show(status), "0|-|Error writing to configuration file|3|-|-|0|-");
}

}  // namespace
}  // namespace cfgout
