// The shipped page templates (messages/HTMLForm), as the build compiles them:
// marker order of every page, field names the handlers expect, labels for
// every control, the navigation, and no stray conversions.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "html/templates.h"
#include "nls/message_lookup.h"
#include "validate/form_variables.h"

namespace cfgout {
namespace {

class ShippedTemplatesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR); }

  static std::vector<std::string> Lines(std::string_view name) {
    std::unique_ptr<TemplatePage> page = GetHtmlPage(name);
    EXPECT_NE(page, nullptr) << name;
    std::vector<std::string> lines;
    if (page) {
      for (const char* line : page->lines) lines.emplace_back(line);
    }
    return lines;
  }

  static std::vector<std::string> Markers(const std::vector<std::string>& lines) {
    std::vector<std::string> markers;
    for (const std::string& line : lines) {
      if (line.find("%s") != std::string::npos) markers.push_back(line);
    }
    return markers;
  }

  // The page as printed: every line carries its own line end.
  static std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line;
    return all;
  }
};

// Every shipped page, for the checks that hold for all of them.
constexpr const char* kShippedPages[] = {"BASIC", "CFG_INTRO", "HAPARMS", "TIMEOUT", "PERFORMA",
                                         "PROXBEHA", "PROXCACH", "PROXEXP", "PROXGC",
                                         "ADDUSER", "CHKUSER", "CHPASSWD", "DELUSER", "RESTART"};

TEST_F(ShippedTemplatesTest, EveryPercentSignIsAMarkerOrDoubled) {
  for (const char* name : kShippedPages) {
    for (const std::string& line : Lines(name)) {
      int markers = 0;
      for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '%') continue;
        ASSERT_LT(i + 1, line.size()) << name << ": " << line;
        ASSERT_TRUE(line[i + 1] == '%' || line[i + 1] == 's') << name << ": " << line;
        if (line[i + 1] == 's') ++markers;
        ++i;
      }
      EXPECT_LE(markers, 1) << name << ": " << line;
    }
  }
}

TEST_F(ShippedTemplatesTest, EveryLineEndsInItsOwnLineFeed) {
  for (const char* name : kShippedPages) {
    const std::vector<std::string> lines = Lines(name);
    ASSERT_FALSE(lines.empty()) << name;
    for (const std::string& line : lines) {
      ASSERT_FALSE(line.empty()) << name;
      EXPECT_EQ(line.find('\n'), line.size() - 1) << name << ": " << line;
      EXPECT_EQ(line.find('\r'), std::string::npos) << name << ": " << line;
    }
  }
}

TEST_F(ShippedTemplatesTest, StatusBlockMarkersComeInTheirOrder) {
  const std::vector<std::string> markers = Markers(Lines("HAPARMS"));
  ASSERT_EQ(markers.size(), 6u);
  EXPECT_NE(markers[0].find("status-message"), std::string::npos);
  EXPECT_NE(markers[1].find("status-kind status-%s"), std::string::npos);
  EXPECT_NE(markers[2].find("help-page"), std::string::npos);
  EXPECT_NE(markers[3].find("help-topic"), std::string::npos);
  EXPECT_NE(markers[4].find("extra"), std::string::npos);
  EXPECT_NE(markers[5].find("flag"), std::string::npos);
}

TEST_F(ShippedTemplatesTest, IntroductionPageHasOnlyTheStatusMarker) {
  const std::vector<std::string> lines = Lines("CFG_INTRO");
  const std::vector<std::string> markers = Markers(lines);
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_EQ(markers[0], "%s\n");
  EXPECT_EQ(lines.front(), "<!DOCTYPE html>\n");
  EXPECT_EQ(lines.back(), "</html>\n");
}

TEST_F(ShippedTemplatesTest, BasicMarkersAreTheControlsInTheHandlersOrder) {
  const std::vector<std::string> lines = Lines("BASIC");
  const std::vector<std::string> markers = Markers(lines);
  ASSERT_EQ(markers.size(), 20u);
  const std::vector<std::string> expected = {
      R"(name="HostName" value="%s")",
      R"(name="BindSpecific" value="on" %s>)",
      R"(name="BindSpecific" value="off" %s>)",
      R"(name="PORT" value="%s")",
      R"(name="ADMINPORT" value="%s")",
      R"(name="ServerRoot" value="%s")",
      R"(type="checkbox" id="DNSLOOKUP" name="DNSLOOKUP" value="on" %s>)",
      R"(name="UserID" value="%s")",
      R"(name="GroupID" value="%s")",
      R"(name="PidFile" value="%s")",
      R"(name="IMBED" value="Off" %s>)",
      R"(name="IMBED" value="CGI" %s>)",
      R"(name="IMBED" value="Files" %s>)",
      R"(name="IMBED" value="On" %s>)",
      R"(name="IMBED" value="Noexec" %s>)",
      R"(name="IMBEDOPT" value="SSIonly" %s>)",
      R"(name="IMBEDOPT" value="html" %s>)",
      R"(name="InheritEnv" value="%s")",
      R"(name="DisInheritEnv" value="%s")",
  };
  for (std::size_t k = 0; k < expected.size(); ++k) {
    EXPECT_NE(markers[k].find(expected[k]), std::string::npos) << "marker " << k << ": " << markers[k];
  }
  EXPECT_EQ(markers[19], "%s\n");
  EXPECT_EQ(lines.back(), "</html>\n");
}

TEST_F(ShippedTemplatesTest, BasicFormPostsToItselfWithKnownFieldsAndLabels) {
  const std::string page = Joined(Lines("BASIC"));
  EXPECT_NE(page.find(R"(<form method="post" action="BASIC")"), std::string::npos);

  // Every control name is a field the form-variable table knows.
  const std::regex nameAttr(R"re(<(input|button|select|textarea)\b[^>]*\bname="([^"]+)")re");
  std::vector<std::string> names;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), nameAttr); it != std::sregex_iterator(); ++it) {
    names.push_back((*it)[2]);
    EXPECT_NE(HashValue((*it)[2].str()), -1) << (*it)[2];
  }
  // Inside the form (the navigation has a restart button without a name).
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
            (std::set<std::string>{"HostName", "BindSpecific", "PORT", "ADMINPORT", "ServerRoot", "DNSLOOKUP",
                                   "UserID", "GroupID", "PidFile", "IMBED", "IMBEDOPT", "InheritEnv",
                                   "DisInheritEnv", "PUSHBUTTON"}));

  // Every visible control has an id and a label for it.
  const std::regex input(R"re(<input\b[^>]*>)re");
  int visible = 0;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), input); it != std::sregex_iterator(); ++it) {
    const std::string tag = (*it)[0];
    if (tag.find(R"(type="hidden")") != std::string::npos) continue;
    std::smatch id;
    ASSERT_TRUE(std::regex_search(tag, id, std::regex(R"re(\bid="([^"]+)")re"))) << tag;
    EXPECT_NE(page.find("<label for=\"" + id[1].str() + "\">"), std::string::npos) << tag;
    ++visible;
  }
  EXPECT_EQ(visible, 19);

  // The hidden default of the check box stands right before it.
  const std::size_t hidden = page.find(R"(<input type="hidden" name="DNSLOOKUP" value="off">)");
  const std::size_t box = page.find(R"(name="DNSLOOKUP" value="on")");
  ASSERT_NE(hidden, std::string::npos);
  ASSERT_NE(box, std::string::npos);
  EXPECT_EQ(page.substr(hidden + 1, box - hidden).find("name=", 30), std::string::npos);
}

// The server and cache pages: each marker holds the control its handler
// fills there (a substring of the marker line, in marker order; the last
// marker is the status block), and every control name is a known field.
TEST_F(ShippedTemplatesTest, ServerAndCacheMarkersAreTheControlsInTheHandlersOrder) {
  const auto span = [](const std::string& field) {
    return std::vector<std::string>{"name=\"" + field + "HRS\">%s", "name=\"" + field + "MINS\">%s",
                                    "name=\"" + field + "SECS\">%s"};
  };
  const auto number = [](const std::string& field) {
    std::vector<std::string> m{"name=\"" + field + "\" value=\"%s\""};
    for (const char* u : {"months", "days", "hours", "minutes", "seconds"}) {
      m.push_back("<option value=\"" + std::string(u) + "\" %s>");
    }
    return m;
  };
  const auto sizeUnits = [](const std::string& field) {
    return std::vector<std::string>{"name=\"" + field + "\" value=\"%s\"", "<option value=\"B\" %s>",
                                    "<option value=\"K\" %s>", "<option value=\"M\" %s>",
                                    "<option value=\"G\" %s>"};
  };
  const auto join = [](std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const std::map<std::string, std::vector<std::string>> pages = {
      {"TIMEOUT", join({span("INPUTTIMEOUT"), span("READTIMEOUT"), span("OUTPUTTIMEOUT"), span("SCRIPTTIMEOUT"),
                        span("PERSISTTIMEOUT")})},
      {"PERFORMA", join({{R"(name="ListenBacklog" value="%s")", R"(name="MaxActiveThreads" value="%s")"},
                         span("PERSISTTIMEOUT"), {R"(name="MaxPersistRequest" value="%s")"}})},
      {"PROXBEHA", {"%s\n", R"(name="ContinueCaching" value="%s")", R"(name="CacheByIncomingUrl" value="on" %s>)",
                    "%s\n", R"(<select id="LIST" name="LIST">%s</select>)"}},
      {"PROXCACH", join({{R"(name="Caching" value="on" %s>)"}, sizeUnits("CACHEMEMORY"),
                         {R"(name="BLOCKSIZE" value="%s")"}, sizeUnits("CACHELIMIT"),
                         {R"(name="CacheAccessLog" value="%s")", "%s\n", R"(<select id="LIST" name="LIST">%s</select>)"}})},
      {"PROXEXP", join({number("CACHEUNUSEDHTTP"), number("CACHEUNUSEDFTP"),
                        number("CACHEUNUSEDGOPHER"), number("CACHEDEFAULTEXPIRYFTP"),
                        number("CACHEDEFAULTEXPIRYGOPHER"),
                        {R"(name="CacheExpiryCheck" value="on" %s>)", R"(name="CacheNoConnect" value="on" %s>)",
                         R"(name="CacheTimeMargin" value="%s")"}})},
      {"PROXGC", {R"(name="Gc" value="on" %s>)", R"(name="GcLowWater" value="%s")",
                  R"(name="GcHighWater" value="%s")", "%s\n"}},
  };
  const std::regex nameAttr(R"re(<(input|button|select|textarea)\b[^>]*\bname="([^"]+)")re");
  for (const auto& [name, expected] : pages) {
    const std::vector<std::string> lines = Lines(name);
    const std::vector<std::string> markers = Markers(lines);
    ASSERT_EQ(markers.size(), expected.size() + 1) << name;
    for (std::size_t k = 0; k < expected.size(); ++k) {
      EXPECT_NE(markers[k].find(expected[k]), std::string::npos) << name << " marker " << k << ": " << markers[k];
    }
    EXPECT_EQ(markers.back(), "%s\n") << name;
    const std::string page = Joined(lines);
    EXPECT_NE(page.find("<form method=\"post\" action=\"" + name + "\""), std::string::npos) << name;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), nameAttr); it != std::sregex_iterator(); ++it) {
      EXPECT_NE(HashValue((*it)[2].str()), -1) << name << ": " << (*it)[2];
    }
  }
}

TEST_F(ShippedTemplatesTest, NavigationReachesEveryConfigurationPage) {
  const std::vector<std::string> pages = {
      "ACCCONF", "ADDENCOD", "ADDTYPE", "ADDUSER", "APIMAP", "APIREQ", "ARCHIVE", "BASIC", "CHKUSER",
      "CHPASSWD", "DELUSER", "DIRICONS", "DOCAUTOS", "ERRCUST", "INITPAGE", "LISTCNTS", "LMF", "LOGFILES",
      "METHENAB", "MPFRULE", "PERFORMA", "PROXBEHA", "PROXCACH", "PROXEXP", "PROXGC", "PROXMAP",
      "PROXPROX", "PROXSERV", "PROXTIME", "RESTART", "SNMPMIB", "TIMEOUT", "USERMETH"};
  for (const char* name : {"BASIC", "CFG_INTRO"}) {
    const std::string page = Joined(Lines(name));
    for (const std::string& target : pages) {
      const bool linked = page.find("<a href=\"" + target + "\">") != std::string::npos;
      const bool posted = page.find("<form method=\"post\" action=\"" + target + "\">") != std::string::npos;
      EXPECT_TRUE(linked || posted) << name << " does not reach " << target;
      EXPECT_NE(IndexFromHtmlName(target), -1) << target;
    }
  }
  // The protection form is the answer to the protection list's request; the
  // navigation has no link to it (a GET of it would only show the list).
  EXPECT_EQ(Joined(Lines("BASIC")).find(R"(href="PROTECT")"), std::string::npos);
  // Restarting is a POST: a link, prefetched or crawled, must not restart the server.
  EXPECT_EQ(Joined(Lines("BASIC")).find(R"(href="RESTART")"), std::string::npos);
}

}  // namespace
}  // namespace cfgout
