#include "html/form_controls.h"

#include <gtest/gtest.h>

#include <string>

#include "html/config_fixture.h"

namespace cfgout {
namespace {

using testing::Captured;

class FormControlsTest : public testing::ConfigFixture {};

constexpr const char* kInput = "<INPUT NAME=\"x\" VALUE=\"%s\">\n";

// A value that would break out of an attribute, and printf conversions.
constexpr const char* kHostileConfig =
    "HostName \"><script>%s%n\n"
    "UserID a\"b'c&d\n";

TEST_F(FormControlsTest, TextFieldDefaultsAndPlainLines) {
  const ConfigHandle& cfg = Open("Port 80\n");
  EXPECT_EQ(Captured([&] { GenTextField(kInput, "PidFile", 2, 0, nullptr, cfg); }),
            "<INPUT NAME=\"x\" VALUE=\"\">\n");
  EXPECT_EQ(Captured([&] { GenTextField(kInput, "UserID", 2, 0, "nobody", cfg); }),
            "<INPUT NAME=\"x\" VALUE=\"nobody\">\n");
  // The default is trimmed like a configured value.
  EXPECT_EQ(Captured([&] { GenTextField(kInput, "UserID", 2, 0, " \"dflt\"\t", cfg); }),
            "<INPUT NAME=\"x\" VALUE=\"dflt\">\n");
  // No marker: the line as it stands, "%%" as "%".
  EXPECT_EQ(Captured([&] { GenTextField("<P>100%% done</P>\n", "Port", 2, 0, nullptr, cfg); }),
            "<P>100% done</P>\n");
  EXPECT_EQ(Captured([&] { GenTextField("%s of 100%%", "Port", 2, 0, nullptr, cfg); }), "80 of 100%");
  EXPECT_EQ(Captured([&] { GenTextField(nullptr, "Port", 2, 0, nullptr, cfg); }), "");
  // An unknown keyword is a missing directive.
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "NoSuchDirective", 2, 0, "d", cfg); }), "[d]");
}

TEST_F(FormControlsTest, TextFieldTakesTheLastOccurrenceAcrossFiles) {
  std::string included = dir_.Write("more.conf", "Port 8080\nServerRoot  \"/opt/proxy\"  \r\n");
  const ConfigHandle& cfg = Open("Port 80\nconfigfile " + included + "\nPort 81\n");
  // Files are read main first, then the included ones: 8080 is the last.
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "port", 2, 0, nullptr, cfg); }), "[8080]");
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "ServerRoot", 2, 1, nullptr, cfg); }), "[/opt/proxy]");
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "ServerRoot", 2, 0, nullptr, cfg); }), "[/opt/proxy]");
}

TEST_F(FormControlsTest, TextFieldRestOfLine) {
  const ConfigHandle& cfg = Open("InheritEnv  PATH\tHOME  LANG \n");
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "InheritEnv", 2, 1, nullptr, cfg); }),
            "[PATH\tHOME  LANG]");
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "InheritEnv", 3, 1, nullptr, cfg); }), "[HOME  LANG]");
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "InheritEnv", 3, 0, nullptr, cfg); }), "[HOME]");
  EXPECT_EQ(Captured([&] { GenTextField("[%s]", "InheritEnv", 9, 0, "x", cfg); }), "[]");
}

TEST_F(FormControlsTest, TextFieldEscapesConfigurationValues) {
  const ConfigHandle& cfg = Open(kHostileConfig);
  EXPECT_EQ(Captured([&] { GenTextField(kInput, "HostName", 2, 0, nullptr, cfg); }),
            "<INPUT NAME=\"x\" VALUE=\"&gt;&lt;script&gt;%s%n\">\n");
  EXPECT_EQ(Captured([&] { GenTextField(kInput, "UserID", 2, 0, nullptr, cfg); }),
            "<INPUT NAME=\"x\" VALUE=\"a&quot;b&#39;c&amp;d\">\n");
  EXPECT_EQ(Captured([&] { GenTextField(kInput, "GroupID", 2, 0, "<g>", cfg); }),
            "<INPUT NAME=\"x\" VALUE=\"&lt;g&gt;\">\n");
}

TEST_F(FormControlsTest, TextFieldWithTwoFieldsOnly) {
  const ConfigHandle& cfg = Open(
      "http_proxy  \"http://a/\"  \n"
      "http_proxy http://b/ extra\n"
      "ftp_proxy ftp://x/ y\n"
      "gopher_proxy <\"g\">\n");
  // The three-field line is not counted; the value is not trimmed.
  EXPECT_EQ(Captured([&] { GenTextFieldDirectiveWithNFields("[%s]", "http_proxy", 2, 2, 1, nullptr, cfg); }),
            "[&quot;http://a/&quot;   ]");
  EXPECT_EQ(Captured([&] { GenTextFieldDirectiveWithNFields("[%s]", "http_proxy", 2, 2, 0, nullptr, cfg); }),
            "[&quot;http://a/&quot;]");
  EXPECT_EQ(Captured([&] { GenTextFieldDirectiveWithNFields("[%s]", "ftp_proxy", 2, 2, 1, " d ", cfg); }),
            "[ d ]");
  EXPECT_EQ(Captured([&] { GenTextFieldDirectiveWithNFields("[%s]", "wais_proxy", 2, 2, 1, nullptr, cfg); }),
            "[]");
  EXPECT_EQ(Captured([&] { GenTextFieldDirectiveWithNFields("[%s]", "gopher_proxy", 2, 2, 0, nullptr, cfg); }),
            "[&lt;&quot;g&quot;&gt;]");
}

TEST_F(FormControlsTest, CheckedSettingOnOff) {
  const ConfigHandle& cfg = Open(
      "BindSpecific Off\nBindSpecific Yes\n"
      "DNS-Lookup maybe\n"
      "Caching disable\n");
  auto onoff = [&](const char* directive, int onSense, int defaultSet) {
    return Captured([&] { GenCheckedSettingOnOff("<INPUT %s>", directive, onSense, defaultSet, cfg); });
  };
  // The last occurrence decides.
  EXPECT_EQ(onoff("BindSpecific", 1, 0), "<INPUT CHECKED>");
  EXPECT_EQ(onoff("BindSpecific", 0, 1), "<INPUT >");
  EXPECT_EQ(onoff("DNS-Lookup", 1, 1), "<INPUT >");
  EXPECT_EQ(onoff("DNS-Lookup", 0, 1), "<INPUT >");
  EXPECT_EQ(onoff("Caching", 0, 0), "<INPUT CHECKED>");
  EXPECT_EQ(onoff("Caching", 1, 1), "<INPUT >");
  // Absent: the default flag, any non-zero value.
  EXPECT_EQ(onoff("SuffixCaseSense", 1, 0), "<INPUT >");
  EXPECT_EQ(onoff("SuffixCaseSense", 0, 2), "<INPUT CHECKED>");

  for (const char* word : {"ON", "yes", "Ok", "enable"}) {
    const ConfigHandle& one = Open(std::string("Caching ") + word + "\n");
    EXPECT_EQ(Captured([&] { GenCheckedSettingOnOff("%s", "caching", 1, 0, one); }), "CHECKED") << word;
    EXPECT_EQ(Captured([&] { GenCheckedSettingOnOff("%s", "caching", 0, 0, one); }), "") << word;
  }
  for (const char* word : {"off", "No", "NONE", "Disable"}) {
    const ConfigHandle& one = Open(std::string("Caching ") + word + "\n");
    EXPECT_EQ(Captured([&] { GenCheckedSettingOnOff("%s", "caching", 0, 0, one); }), "CHECKED") << word;
    EXPECT_EQ(Captured([&] { GenCheckedSettingOnOff("%s", "caching", 1, 0, one); }), "") << word;
  }
}

TEST_F(FormControlsTest, CheckedSettingMatchesAnyOccurrence) {
  const ConfigHandle& cfg = Open(
      "Imbeds Files SSIonly\n"
      "Imbeds CGI html\n"
      "Enable GET /cgi-bin/get\n"
      "Enable POST /cgi-bin/post\n");
  auto checked = [&](const char* directiveAndValue, const char* match, int defaultSet, int field) {
    return Captured([&] { GenCheckedSetting("<OPTION %s>", directiveAndValue, match, defaultSet, field, "SELECTED", cfg); });
  };
  EXPECT_EQ(checked("imbeds", "files", 0, 2), "<OPTION SELECTED>");
  EXPECT_EQ(checked("imbeds", "CGI", 0, 2), "<OPTION SELECTED>");
  EXPECT_EQ(checked("imbeds", "Fil", 0, 2), "<OPTION SELECTED>");  // a prefix match
  EXPECT_EQ(checked("imbeds", "On", 1, 2), "<OPTION >");         // occurrences exist: no default
  EXPECT_EQ(checked("imbeds", "ssionly", 0, 3), "<OPTION SELECTED>");
  // The second word of the directive-and-value argument must equal field 2.
  EXPECT_EQ(checked("Enable POST", "/cgi-bin/p", 0, 3), "<OPTION SELECTED>");
  EXPECT_EQ(checked("Enable GET", "/cgi-bin/p", 0, 3), "<OPTION >");
  EXPECT_EQ(checked("Enable PO", "/cgi-bin/p", 0, 3), "<OPTION >");
  // No occurrence: only a default flag of exactly 1 sets it.
  EXPECT_EQ(checked("Disable", "x", 1, 2), "<OPTION SELECTED>");
  EXPECT_EQ(checked("Disable", "x", 2, 2), "<OPTION >");
  EXPECT_EQ(checked("Disable", "x", 0, 2), "<OPTION >");
}

TEST_F(FormControlsTest, SingleCheckedSettingTestsTheLastOccurrence) {
  const ConfigHandle& cfg = Open("Imbeds Files SSIonly\nImbeds Only html\n");
  auto single = [&](const char* match, int defaultSet, int field) {
    return Captured([&] { GenSingleCheckedSetting("[%s]", "imbeds", match, defaultSet, field, "CHECKED", cfg); });
  };
  EXPECT_EQ(single("On", 0, 2), "[CHECKED]");  // "Only" starts with "On"
  EXPECT_EQ(single("Files", 1, 2), "[]");       // only the last occurrence counts
  EXPECT_EQ(single("html", 0, 3), "[CHECKED]");
  EXPECT_EQ(single("SSIonly", 0, 3), "[]");
  EXPECT_EQ(Captured([&] { GenSingleCheckedSetting("[%s]", "pidfile", "x", 1, 2, "CHECKED", cfg); }),
            "[CHECKED]");
  EXPECT_EQ(Captured([&] { GenSingleCheckedSetting("[%s]", "pidfile", "x", 3, 2, "CHECKED", cfg); }), "[]");
}

TEST_F(FormControlsTest, OptionString) {
  std::string expected;
  for (int n = 0; n <= 23; ++n) {
    expected += n == 5 ? "<OPTION SELECTED>5" : "<OPTION>" + std::to_string(n);
  }
  EXPECT_EQ(Captured([] { GenOptionString("<SELECT>%s</SELECT>", 0, 23, 5); }),
            "<SELECT>" + expected + "</SELECT>");
  EXPECT_EQ(Captured([] { GenOptionString("%s", 0, 0, 0); }), "<OPTION>0");
  EXPECT_EQ(Captured([] { GenOptionString("%s", 5, 3, 4); }), "<OPTION>0");
  EXPECT_EQ(Captured([] { GenOptionString("%s", -2, -1, -1); }), "<OPTION>0");
  EXPECT_EQ(Captured([] { GenOptionString("%s", -1, 1, 9); }), "<OPTION>-1<OPTION>0<OPTION>1");
  EXPECT_EQ(Captured([] { GenOptionString("%s", 7, 7, 7); }), "<OPTION SELECTED>7");
}

TEST_F(FormControlsTest, OptionList) {
  const ConfigHandle& cfg = Open("CacheAlgorithm ResponseTime\nCacheAlgorithm bandwidth\n");
  // The first occurrence is the current value, compared ignoring case.
  EXPECT_EQ(Captured([&] {
              GenOptionList("<SELECT>%s</SELECT> 100%%\n", "cachealgorithm", "bandwidth,responsetime", nullptr, cfg);
            }),
            "<SELECT><OPTION>bandwidth<OPTION SELECTED>responsetime</SELECT> 100%\n");
  EXPECT_EQ(Captured([&] { GenOptionList("50%% %s", "CacheMemory", "0.1,0.14,,0.2", "0.14", cfg); }),
            "50% <OPTION>0.1<OPTION SELECTED>0.14<OPTION>0.2");
  EXPECT_EQ(Captured([&] { GenOptionList("%s", "CacheMemory", "a,b", nullptr, cfg); }), "<OPTION>a<OPTION>b");
  EXPECT_EQ(Captured([&] { GenOptionList("[%s]", "CacheMemory", nullptr, "a", cfg); }), "[<OPTION>0]");
  EXPECT_EQ(Captured([&] { GenOptionList("no marker 10%%", "CacheMemory", "a", "a", cfg); }), "no marker 10%");
  EXPECT_EQ(Captured([&] { GenOptionList(nullptr, "CacheMemory", "a", "a", cfg); }), "");
}

TEST_F(FormControlsTest, SelectListItems) {
  const ConfigHandle& cfg = Open("Welcome index.html\nWelcome <b>\"x\".html\nWelcome home.htm\n");
  EXPECT_EQ(Captured([&] { GenSelectListItems("<SELECT>%s</SELECT>", "Welcome", 0, cfg); }),
            "<SELECT><OPTION SELECTED>index.html<OPTION>&lt;b&gt;&quot;x&quot;.html<OPTION>home.htm</SELECT>");
  EXPECT_EQ(Captured([&] { GenSelectListItems("%s", "welcome", 1, cfg); }),
            "<OPTION SELECTED>home.htm<OPTION>&lt;b&gt;&quot;x&quot;.html<OPTION>index.html");
  EXPECT_EQ(Captured([&] { GenSelectListItems("[%s]", "AddIcon", 0, cfg); }), "[]");
}

TEST_F(FormControlsTest, CacheTimeoutSetting) {
  const ConfigHandle& cfg = Open(
      "CacheMaxExpiry http://* 1 month\n"
      "CacheMaxExpiry HTTP://a/* 2 weeks\n"
      "CacheMaxExpiry ftp://* <5>\n"
      "CacheMaxExpiry http://* 3 days\n");
  EXPECT_EQ(Captured([&] { GenCacheTimeoutSetting("[%s]", "CacheMaxExpiry", "http://", cfg); }), "[3]");
  EXPECT_EQ(Captured([&] { GenCacheTimeoutSetting("[%s]", "CacheMaxExpiry", "http://a", cfg); }), "[2]");
  EXPECT_EQ(Captured([&] { GenCacheTimeoutSetting("[%s]", "CacheMaxExpiry", "ftp", cfg); }), "[&lt;5&gt;]");
  EXPECT_EQ(Captured([&] { GenCacheTimeoutSetting("[%s]", "CacheMaxExpiry", "gopher", cfg); }), "[]");
  EXPECT_EQ(Captured([&] { GenCacheTimeoutSetting("[%s]", nullptr, "http", cfg); }), "[]");
  EXPECT_EQ(Captured([&] { GenCacheTimeoutSetting("[%s]", "CacheMaxExpiry", nullptr, cfg); }), "[]");
}

TEST_F(FormControlsTest, MultiDirectiveText) {
  const ConfigHandle& cfg = Open(
      "AddIcon /icons/old.gif OLD\nAddIcon text.gif TXT\n"
      "AddDirIcon c:\\icons\\dir.gif DIR\n"
      "AddBlankIcon \"><x.gif BLANK\n");
  EXPECT_EQ(Captured([&] { GenMultiDirectiveText("[%s]", "AddIcon", 2, cfg); }), "[/cpicons/text.gif]");
  EXPECT_EQ(Captured([&] { GenMultiDirectiveText("[%s]", "AddIcon", 3, cfg); }), "[/cpicons/TXT]");
  EXPECT_EQ(Captured([&] { GenMultiDirectiveText("[%s]", "AddDirIcon", 2, cfg); }), "[c:\\icons\\dir.gif]");
  EXPECT_EQ(Captured([&] { GenMultiDirectiveText("[%s]", "AddBlankIcon", 2, cfg); }),
            "[/cpicons/&quot;&gt;&lt;x.gif]");
  EXPECT_EQ(Captured([&] { GenMultiDirectiveText("[%s]", "AddParentIcon", 2, cfg); }), "[]");
}

TEST_F(FormControlsTest, SearchForDirectiveAndHandler) {
  const ConfigHandle& cfg = Open(
      "Enable GET /cgi-bin/get\n"
      "Enable POST /cgi-bin/post\n"
      "Enable post /cgi-bin/second\n"
      "Disable PUTX\n");
  EXPECT_EQ(SearchForDirective("Enable", "post", 2, cfg), 1);
  EXPECT_EQ(SearchForDirective("enable", "POS", 2, cfg), 0);  // whole-field comparison
  EXPECT_EQ(SearchForDirective("Disable", "PUT", 2, cfg), 0);
  EXPECT_EQ(SearchForDirective("Welcome", "x", 2, cfg), 0);
  EXPECT_EQ(SearchForHandler("Enable", "POST", 2, cfg), std::optional<std::string>("/cgi-bin/post"));
  EXPECT_EQ(SearchForHandler("Disable", "putx", 2, cfg), std::optional<std::string>(""));
  EXPECT_EQ(SearchForHandler("Enable", "DELETE", 2, cfg), std::nullopt);
}

TEST_F(FormControlsTest, EveryValueFromTheConfigurationIsEscaped) {
  const ConfigHandle& cfg = Open(
      "HostName x\"><script>%s%n\n"
      "http_proxy x\"><script>%s%n\n"
      "Welcome x\"><script>%s%n\n"
      "CacheMaxExpiry http://* x\"><script>%s%n\n"
      "AddIcon x\"><script>%s%n TXT\n");
  const std::string escaped = "x&quot;&gt;&lt;script&gt;%s%n";
  EXPECT_EQ(Captured([&] { GenTextField("V=\"%s\"", "HostName", 2, 0, nullptr, cfg); }),
            "V=\"" + escaped + "\"");
  EXPECT_EQ(Captured([&] { GenTextField("V=\"%s\"", "HostName", 2, 1, nullptr, cfg); }),
            "V=\"" + escaped + "\"");
  EXPECT_EQ(Captured([&] { GenTextFieldDirectiveWithNFields("V=\"%s\"", "http_proxy", 2, 2, 0, nullptr, cfg); }),
            "V=\"" + escaped + "\"");
  EXPECT_EQ(Captured([&] { GenSelectListItems("%s", "Welcome", 0, cfg); }), "<OPTION SELECTED>" + escaped);
  EXPECT_EQ(Captured([&] { GenCacheTimeoutSetting("%s", "CacheMaxExpiry", "http", cfg); }), escaped);
  EXPECT_EQ(Captured([&] { GenMultiDirectiveText("%s", "AddIcon", 2, cfg); }), "/cpicons/" + escaped);
  // The value is compared raw and handed back raw: the caller escapes.
  EXPECT_EQ(SearchForHandler("AddIcon", "x\"><script>%s%n", 2, cfg), std::optional<std::string>("TXT"));
}

TEST(ParseTimeSpecTest, ReadsUnitsByTheirFirstLetter) {
  int h = -1, m = -1, s = -1;
  EXPECT_EQ(ParseTimeSpec("1 hour 30 minutes", h, m, s), 0);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(m, 30);
  EXPECT_EQ(s, -1);

  h = m = s = -1;
  ParseTimeSpec("Proxy 2 hours 5 minutes", h, m, s);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(m, 5);
  EXPECT_EQ(s, -1);

  h = m = s = 7;
  ParseTimeSpec("InputTimeout 90 seconds\n", h, m, s);
  EXPECT_EQ(h, 7);
  EXPECT_EQ(m, 7);
  EXPECT_EQ(s, 90);

  h = m = s = 7;
  ParseTimeSpec("2 days", h, m, s);
  EXPECT_EQ(h, 7);
  EXPECT_EQ(m, 7);
  EXPECT_EQ(s, 7);

  // A later number for the same unit wins; units are lower-case letters only;
  // blanks may stand between a number and its unit.
  h = m = s = 0;
  ParseTimeSpec("1h 2  m 3s 4 hours 5 Minutes", h, m, s);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(s, 3);

  h = m = s = 9;
  ParseTimeSpec("Timeout", h, m, s);
  ParseTimeSpec("", h, m, s);
  ParseTimeSpec(nullptr, h, m, s);
  EXPECT_EQ(h, 9);
  EXPECT_EQ(m, 9);
  EXPECT_EQ(s, 9);

  // Only a unit letter right after a number (and blanks) counts.
  h = m = 9;
  ParseTimeSpec("x -h 3 m", h, m, s);
  EXPECT_EQ(h, 9);
  EXPECT_EQ(m, 3);
}

TEST(FindDelimeterTest, FirstCandidateNotInTheText) {
  EXPECT_EQ(FindDelimeter("abc"), '"');
  EXPECT_EQ(FindDelimeter("a\"b"), '\'');
  EXPECT_EQ(FindDelimeter("\"'\\/+-"), '*');
  EXPECT_EQ(FindDelimeter("\"'\\/+-*@#$%&~"), '^');
  EXPECT_EQ(FindDelimeter("\"'\\/+-*@#$%&~^"), '|');
  EXPECT_EQ(FindDelimeter(nullptr), '|');
}

TEST(AddToBufferTest, GroupNotation) {
  std::string buffer = "a";
  AddToBuffer(&buffer, "G:", "x,y z");
  EXPECT_EQ(buffer, "a,G:(x,\"y z\")");

  std::string single;
  AddToBuffer(&single, nullptr, "admin");
  EXPECT_EQ(single, "admin");
  AddToBuffer(&single, "U:", "bob\tsue\n");  // no comma: no parentheses
  EXPECT_EQ(single, "admin,U:bob,sue");

  std::string cleaned = "";
  AddToBuffer(&cleaned, "", "(a),\"b\",,c\r\nd");
  EXPECT_EQ(cleaned, "(\" a \",\" b \",c,d)");

  std::string untouched = "keep";
  AddToBuffer(&untouched, "P:", "");
  AddToBuffer(&untouched, "P:", nullptr);
  AddToBuffer(nullptr, "P:", "x");
  EXPECT_EQ(untouched, "keep");
}

}  // namespace
}  // namespace cfgout
