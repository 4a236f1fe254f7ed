#include "html/templates.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "html/output.h"
#include "html/page_status.h"
#include "nls/message_lookup.h"
#include "support/page_capture.h"

namespace cfgout {
namespace {

using testing::Captured;

// Bundles of this folder: BASIC, CFG_INTRO, PERFORMA (499 lines) as template
// files; HAPARMS, DOCAUTOS (first line empty) and ADDENCOD (no end mark) as
// catalogues of slot 2; QTX_INTRO in slot 3; status texts 11 and 12.
class TemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nlsSetMessageDirectory(CFGOUT_HTML_TEST_MSG_DIR);
    nlsResetForTesting();
  }
  void TearDown() override { nlsResetForTesting(); }

  static void UseMissingBundles() {
    nlsSetMessageDirectory("/nonexistent/cfgout-html-test");
    nlsResetForTesting();
  }
};

std::vector<std::string> Lines(const TemplatePage& page) {
  return std::vector<std::string>(page.lines.begin(), page.lines.end());
}

// The HAPARMS catalogue filled in, lines of absent fields left out.
std::string StatusParameters(const std::string& message, const std::string& type, const char* help,
                             const char* topic, const char* extra, const char* flag) {
  std::string out = "<!-- status 100% -->\n";
  out += "<PARAM NAME=\"message\" VALUE=\"" + message + "\">\n";
  out += "<PARAM NAME=\"type\" VALUE=\"" + type + "\">\n";
  if (help) out += std::string("<PARAM NAME=\"help\" VALUE=\"") + help + "\">\n";
  if (topic) out += std::string("<PARAM NAME=\"topic\" VALUE=\"") + topic + "\">\n";
  if (extra) out += std::string("<PARAM NAME=\"extra\" VALUE=\"") + extra + "\">\n";
  out += std::string("<PARAM NAME=\"flag\" VALUE=\"") + flag + "\">\n";
  out += "<PARAM NAME=\"seventh\" VALUE=\"\">\n";
  out += "<!-- end -->\n";
  return out;
}

TEST_F(TemplatesTest, GetHtmlPageReadsLinesUpToTheEndMarkAndUpperCasesTheName) {
  std::string name = "Basic";
  std::unique_ptr<TemplatePage> page = GetHtmlPage(name);
  EXPECT_EQ(name, "BASIC");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Lines(*page), (std::vector<std::string>{"<HTML>\n", "<INPUT NAME=\"HostName\" VALUE=\"%s\">\n",
                                                    "<P>100%% sure</P>\n", "<DIV>%s</DIV>\n", "</HTML>\n"}));

  // The view overload works on a copy.
  std::string kept = "cfg_intro";
  ASSERT_NE(GetHtmlPage(std::string_view(kept)), nullptr);
  EXPECT_EQ(kept, "cfg_intro");

  // A page of slot 3.
  std::unique_ptr<TemplatePage> proxy = GetHtmlPage(std::string_view("qtx_intro"));
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(Lines(*proxy), (std::vector<std::string>{"<P>proxy intro %s</P>\n"}));
}

TEST_F(TemplatesTest, GetHtmlPageRefusesMissingAndUnterminatedPages) {
  std::string unknown = "NoSuchPage";
  EXPECT_EQ(GetHtmlPage(unknown), nullptr);
  EXPECT_EQ(unknown, "NOSUCHPAGE");
  EXPECT_EQ(GetHtmlPage(std::string_view("ACCCONF")), nullptr);   // no message set at all
  EXPECT_EQ(GetHtmlPage(std::string_view("ADDENCOD")), nullptr);  // line 3 missing, no end mark
  EXPECT_EQ(GetHtmlPage(std::string_view("ADVANCED")), nullptr);  // slot 3 has no such set
  EXPECT_EQ(GetHtmlPage(std::string_view("")), nullptr);
}

TEST_F(TemplatesTest, FirstLineEmptyGivesAPageWithoutLines) {
  std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view("docautos"));
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->lines.empty());
  EXPECT_EQ(Captured([&] { TextOnlyDisplayHandler(*page, MakeInitialPageStatus()); }), "");
}

TEST_F(TemplatesTest, APageHoldsAtMost499Lines) {
  // 499 lines, its end mark at line 500, which is never read.
  std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view("PERFORMA"));
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(page->lines.size(), 499u);
  EXPECT_STREQ(page->lines.front(), "line 1\n");
  EXPECT_STREQ(page->lines.back(), "line 499\n");
}

TEST_F(TemplatesTest, NothingLoadsWithoutBundles) {
  UseMissingBundles();
  EXPECT_EQ(GetHtmlPage(std::string_view("BASIC")), nullptr);
  EXPECT_EQ(Captured([] { EXPECT_EQ(Cfg_IntroDisplayHandler(MakeInitialPageStatus()), 1); }), "");
  // The status block's own template is missing: the marker line gets "".
  EXPECT_EQ(Captured([] { GenHeraldAppletParms("<DIV>%s</DIV> 5%%", MakeInitialPageStatus()); }),
            "<DIV></DIV> 5%");
}

TEST_F(TemplatesTest, HeraldAppletParmsPrintsEveryFieldEscaped) {
  PageStatus status = MakeInitialPageStatus();
  status.messageText = "Saved \"x\" <ok> & 'y' %s%n";
  status.messageType = "1";
  status.helpPage = "HLPBASIC";
  status.helpTopic = "hltdocau";
  status.appletExtra = "a<b";
  status.appletFlag = 2;
  EXPECT_EQ(Captured([&] { EXPECT_EQ(GenHeraldAppletParms("50%% <DIV>%s</DIV> 10%%", status), 0); }),
            "50% <DIV>" +
                StatusParameters("Saved &quot;x&quot; &lt;ok&gt; &amp; &#39;y&#39; %s%n", "1", "HLPBASIC",
                                 "hltdocau", "a&lt;b", "true") +
                "</DIV> 10%");
}

TEST_F(TemplatesTest, HeraldAppletParmsLeavesOutAbsentFields) {
  PageStatus status = MakeInitialPageStatus();
  status.helpPage = "HLPBASIC";
  EXPECT_EQ(Captured([&] { GenHeraldAppletParms("%s", status); }),
            StatusParameters("Ready (test catalogue)", "0", "HLPBASIC", nullptr, nullptr, "false"));
  status.helpPage.reset();
  status.appletExtra = "";
  EXPECT_EQ(Captured([&] { GenHeraldAppletParms("[%s]", status); }),
            "[" + StatusParameters("Ready (test catalogue)", "0", nullptr, nullptr, "", "false") + "]");
  // No "%s" in the line: the whole line comes first.
  EXPECT_EQ(Captured([&] { GenHeraldAppletParms("<HR>", status); }),
            "<HR>" + StatusParameters("Ready (test catalogue)", "0", nullptr, nullptr, "", "false"));
}

TEST_F(TemplatesTest, IntroPageShowsTheStatusAtItsFirstMarkerOnly) {
  PageStatus status = MakeInitialPageStatus();
  FailStatus(status, "HTML form information not found");
  int result = 0;
  std::string page = Captured([&] { result = Cfg_IntroDisplayHandler(status); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(page, "<HTML><BODY>\n<DIV class=\"status\">" +
                      StatusParameters("HTML form information not found", "3", nullptr, nullptr, nullptr,
                                       "false") +
                      "</DIV>\n<P>Second  marker</P>\n<P>Third: </P>\n</BODY></HTML>\n");
}

TEST_F(TemplatesTest, TextOnlyDisplayHandler) {
  std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view("BASIC"));
  ASSERT_NE(page, nullptr);
  PageStatus status = MakeInitialPageStatus();
  status.appletFlag = 1;
  int result = -1;
  std::string out = Captured([&] { result = TextOnlyDisplayHandler(*page, status); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(out, "<HTML>\n<INPUT NAME=\"HostName\" VALUE=\"" +
                     StatusParameters("Ready (test catalogue)", "0", nullptr, nullptr, nullptr, "true") +
                     "\">\n<P>100% sure</P>\n<DIV></DIV>\n</HTML>\n");
}

TEST_F(TemplatesTest, StatusConventionsUseTheCatalogue) {
  PageStatus status = MakeInitialPageStatus();
  EXPECT_EQ(status.success, 1);
  EXPECT_FALSE(status.fieldError.has_value());
  EXPECT_EQ(status.messageText, "Ready (test catalogue)");
  EXPECT_EQ(status.messageType, "0");
  EXPECT_FALSE(status.helpPage || status.helpTopic || status.appletExtra);
  EXPECT_EQ(status.appletFlag, 0);

  status.helpPage = "HLPBASIC";
  RejectField(status, "old");
  BeginOutputHandler(status);
  EXPECT_EQ(status.success, 1);
  EXPECT_FALSE(HasFieldError(status));
  EXPECT_EQ(status.messageText, "Changes done (test catalogue)");
  EXPECT_EQ(status.messageType, "1");
  EXPECT_EQ(status.helpPage, std::optional<std::string>("HLPBASIC"));
}

TEST_F(TemplatesTest, StatusConventionsWithoutCatalogue) {
  UseMissingBundles();
  PageStatus status;
  status.success = 0;
  status.appletFlag = 5;
  status.helpTopic = "x";
  InitPageStatus(status);
  EXPECT_EQ(status.success, 1);
  EXPECT_EQ(status.messageText, "Ready");
  EXPECT_EQ(status.messageType, "0");
  EXPECT_FALSE(status.helpTopic.has_value());
  EXPECT_EQ(status.appletFlag, 0);

  BeginOutputHandler(status);
  EXPECT_EQ(status.messageText, "The requested configuration changes have been completed successfully.");
  EXPECT_EQ(status.messageType, "1");

  RejectField(status, "Invalid port");
  EXPECT_EQ(status.success, 0);
  EXPECT_EQ(status.fieldError, std::optional<std::string>("Invalid port"));
  EXPECT_EQ(status.messageText, "Invalid port");
  EXPECT_EQ(status.messageType, "3");

  PageStatus warned = MakeInitialPageStatus();
  SetStatusMessage(warned, kStatusWarning, "capped");
  EXPECT_EQ(warned.messageType, "2");
  EXPECT_EQ(warned.messageText, "capped");
  EXPECT_EQ(warned.success, 1);
  FailStatus(warned, "Error writing to configuration file");
  EXPECT_EQ(warned.messageType, "3");
  EXPECT_EQ(warned.success, 0);
  EXPECT_FALSE(HasFieldError(warned));
}

}  // namespace
}  // namespace cfgout
