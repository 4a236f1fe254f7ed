// The shipped templates of the list pages (types, encodings, directory icons,
// welcome pages, error pages, last-modified factors, mapping rules) as the
// build compiles them: markers in the order the handlers fill them, a form
// posting to its own page with fields the form-variable table knows, a label
// for every control, and a table with a header row.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "html/templates.h"
#include "nls/message_lookup.h"
#include "validate/form_variables.h"

namespace cfgout {
namespace {

struct PageCase {
  std::string_view name;
  std::vector<std::string_view> markers;  // a piece of each marker line, in order ("" = the line is "%s\n")
};

const std::vector<PageCase>& Pages() {
  static const std::vector<PageCase> pages = {
      {"ADDTYPE",
       {R"(name="SUFFIXCASESENSE" value="off" %s>)", R"(name="SUFFIXCASESENSE" value="on" %s>)", "", R"(name="LIST")",
        ""}},
      {"ADDENCOD",
       {R"(name="SUFFIXCASESENSE" value="off" %s>)", R"(name="SUFFIXCASESENSE" value="on" %s>)", "", R"(name="LIST")",
        ""}},
      {"DIRICONS",
       {R"(name="DirShowIcons" value="on" %s>)", R"(name="ADDDIRICONA" value="%s")", R"(name="ADDDIRICON" value="%s")",
        "<code>%s</code>", R"(name="ADDPARENTICONA" value="%s")", R"(name="ADDPARENTICON" value="%s")",
        "<code>%s</code>", R"(name="ADDUNKNOWNICONA" value="%s")", R"(name="ADDUNKNOWNICON" value="%s")",
        "<code>%s</code>", R"(name="ADDBLANKICONA" value="%s")", R"(name="ADDBLANKICON" value="%s")",
        "<code>%s</code>", "", R"(name="LIST")", ""}},
      {"INITPAGE", {"", R"(name="LIST")", ""}},
      {"ERRCUST", {"", R"(name="LIST")", ""}},
      {"LMF", {"", R"(name="LIST")", R"(name="CACHELASTMODIFIEDFRACTION")", ""}},
      {"MPFRULE", {"", R"(name="LIST")", ""}},
  };
  return pages;
}

std::string Page(std::string_view name, std::vector<std::string>* markers) {
  std::unique_ptr<TemplatePage> page = GetHtmlPage(name);
  EXPECT_NE(page, nullptr) << name;
  std::string all;
  if (!page) return all;
  for (const char* line : page->lines) {
    const std::string text(line);
    if (text.find("%s") != std::string::npos) markers->push_back(text);
    all += text;
  }
  return all;
}

TEST(ListPageTemplatesTest, MarkersFieldsLabelsAndTables) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
  const std::regex control(R"re(<(input|select|button)\b[^>]*>)re");
  const std::regex nameAttr(R"re(\bname="([^"]+)")re");
  const std::regex idAttr(R"re(\bid="([^"]+)")re");
  for (const PageCase& c : Pages()) {
    std::vector<std::string> markers;
    const std::string page = Page(c.name, &markers);
    ASSERT_EQ(markers.size(), c.markers.size()) << c.name;
    for (std::size_t k = 0; k < markers.size(); ++k) {
      if (c.markers[k].empty()) {
        EXPECT_EQ(markers[k], "%s\n") << c.name << " marker " << k;
      } else {
        EXPECT_NE(markers[k].find(c.markers[k]), std::string::npos) << c.name << " marker " << k << ": " << markers[k];
      }
    }
    EXPECT_NE(page.find("<form method=\"post\" action=\"" + std::string(c.name) + "\""), std::string::npos) << c.name;
    EXPECT_NE(page.find("<thead><tr><th scope=\"col\">Row</th>"), std::string::npos) << c.name;
    EXPECT_NE(page.find("<tbody>\n%s\n</tbody>"), std::string::npos) << c.name;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), control); it != std::sregex_iterator(); ++it) {
      const std::string tag = (*it)[0];
      std::smatch m;
      if (std::regex_search(tag, m, nameAttr)) {
        EXPECT_NE(HashValue(m[1].str()), -1) << c.name << ": " << tag;
      }
      if (tag.find(R"(type="hidden")") != std::string::npos || (*it)[1] == "button") continue;
      ASSERT_TRUE(std::regex_search(tag, m, idAttr)) << c.name << ": " << tag;
      EXPECT_NE(page.find("<label for=\"" + m[1].str() + "\">"), std::string::npos) << c.name << ": " << tag;
    }
    // No conversion but the markers and doubled percent signs.
    for (std::size_t at = page.find('%'); at != std::string::npos; at = page.find('%', at + 2)) {
      EXPECT_TRUE(at + 1 < page.size() && (page[at + 1] == 's' || page[at + 1] == '%')) << c.name << " at " << at;
    }
  }
}

}  // namespace
}  // namespace cfgout
