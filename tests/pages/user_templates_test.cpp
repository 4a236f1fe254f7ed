// The shipped templates of the user pages and the restart page: markers in
// the display handler's order, known field names, a label for every control,
// password inputs that browsers neither show nor fill with the wrong thing.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "html/templates.h"
#include "nls/message_lookup.h"
#include "validate/form_variables.h"

namespace cfgout {
namespace {

struct PageCase {
  const char* name;
  std::vector<std::string> markers;  // the text each marker line starts with, in order
  std::set<std::string> fields;
  std::set<std::string> passwords;  // "<name> <autocomplete>"
};

TEST(UserTemplatesTest, MarkersFieldsLabelsAndPasswordInputs) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
  const std::string pw = R"(<input type="text" id="PASSWDFILE")";
  const std::string gr = R"(<input type="text" id="GROUPFILE")";
  const std::vector<PageCase> cases = {
      {"ADDUSER", {pw, gr, "%s"},
       {"USERNAME", "CURPASS", "VERPASS", "DESC", "GROUP", "PASSWDFILE", "GROUPFILE", "PUSHBUTTON"},
       {"CURPASS new-password", "VERPASS new-password"}},
      {"CHKUSER", {pw, "%s"}, {"USERNAME", "CURPASS", "PASSWDFILE", "PUSHBUTTON"}, {"CURPASS off"}},
      {"CHPASSWD", {pw, "%s"}, {"USERNAME", "NEWPASS", "VERPASS", "PASSWDFILE", "PUSHBUTTON"},
       {"NEWPASS new-password", "VERPASS new-password"}},
      {"DELUSER", {pw, gr, "%s"}, {"USERNAME", "PASSWDFILE", "GROUPFILE", "PUSHBUTTON"}, {}},
      {"RESTART", {"%s"}, {}, {}},
  };
  for (const PageCase& c : cases) {
    std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view(c.name));
    ASSERT_NE(page, nullptr) << c.name;
    std::string text;
    std::vector<std::string> markers;
    for (const char* line : page->lines) {
      text += line;
      if (std::string(line).find("%s") != std::string::npos) markers.emplace_back(line);
    }
    ASSERT_EQ(markers.size(), c.markers.size()) << c.name;
    for (std::size_t k = 0; k < markers.size(); ++k) EXPECT_EQ(markers[k].rfind(c.markers[k], 0), 0u) << c.name << k;
    EXPECT_NE(text.find("<form method=\"post\" action=\"" + std::string(c.name) + "\""), std::string::npos) << c.name;

    const std::regex control(R"re(<(input|button)\b[^>]*>)re");
    std::set<std::string> fields, passwords;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), control); it != std::sregex_iterator(); ++it) {
      const std::string tag = (*it)[0];
      std::smatch m;
      if (!std::regex_search(tag, m, std::regex(R"re(\bname="([^"]+)")re"))) continue;  // navigation buttons
      const std::string name = m[1];
      // Navigation forms post to other pages; only this page's form counts.
      if (text.rfind("<form", it->position()) != text.find("<form method=\"post\" action=\"" + std::string(c.name))) continue;
      fields.insert(name);
      EXPECT_NE(HashValue(name), -1) << c.name << " " << name;
      if ((*it)[1] == "input") {
        std::smatch id;
        ASSERT_TRUE(std::regex_search(tag, id, std::regex(R"re(\bid="([^"]+)")re"))) << tag;
        EXPECT_NE(text.find("<label for=\"" + id[1].str() + "\">"), std::string::npos) << tag;
        EXPECT_NE(tag.find("autocomplete=\""), std::string::npos) << tag;
      }
      if (tag.find(R"(type="password")") != std::string::npos) {
        std::smatch ac;
        ASSERT_TRUE(std::regex_search(tag, ac, std::regex(R"re(\bautocomplete="([^"]+)")re"))) << tag;
        passwords.insert(name + " " + ac[1].str());
      }
    }
    EXPECT_EQ(fields, c.fields) << c.name;
    EXPECT_EQ(passwords, c.passwords) << c.name;
  }
}

}  // namespace
}  // namespace cfgout
