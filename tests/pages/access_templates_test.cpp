// The shipped templates of the method, API and access log filter pages: the
// marker order the handlers fill, known field names, a label for every
// control and no stray conversions.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "html/templates.h"
#include "nls/message_lookup.h"
#include "validate/form_variables.h"

namespace cfgout {
namespace {

struct PageMarkers {
  const char* page;
  std::vector<std::string> markers;  // each marker line holds this text, in this order
};

std::vector<PageMarkers> Pages() {
  std::vector<std::string> methods;
  for (const char* m : {"GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "TRACE", "CONNECT"}) {
    methods.push_back(std::string("name=\"") + m + "\" value=\"1\" %s>");
    methods.push_back(std::string("name=\"") + m + "HANDLER\" value=\"%s\"");
  }
  methods.push_back("%s\n");
  std::vector<std::string> filters = {"%s\n", "name=\"LISTA\">%s</select>", "%s\n", "name=\"LISTC\">%s</select>",
                                           "%s\n", "name=\"LISTB\">%s</select>"};
  for (const char* v : {"GET", "PUT", "POST", "DELETE", "image/gif", "image/jpeg", "image/(other)", "text/html",
                        "text/plain", "text/(other)", "application/*", "audio/*", "video/*", "(other)/(other)",
                        "200", "300", "400", "500"}) {
    filters.push_back(std::string("value=\"") + v + "\" %s>");
  }
  filters.push_back("%s\n");
  return {
      {"METHENAB", methods},
      {"USERMETH", {"%s\n", "name=\"LIST\">%s</select>", "%s\n"}},
      {"APIMAP", {"%s\n", "name=\"LIST\">%s</select>", "%s\n"}},
      {"APIREQ", {"%s\n"}},
      {"ACCCONF", filters},
  };
}

TEST(AccessTemplatesTest, MarkersFieldsAndLabels) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
  const std::regex nameAttr(R"re(<(input|button|select)\b[^>]*\bname="([^"]+)")re");
  const std::regex control(R"re(<(input|select)\b[^>]*>)re");
  const std::regex idAttr(R"re(\bid="([^"]+)")re");
  for (const PageMarkers& p : Pages()) {
    const std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view(p.page));
    ASSERT_NE(page, nullptr) << p.page;
    std::string all;
    std::vector<std::string> markers;
    for (const std::string line : page->lines) {
      all += line;
      EXPECT_EQ(line.find('\n'), line.size() - 1) << p.page << ": " << line;
      for (std::size_t i = line.find('%'); i != std::string::npos; i = line.find('%', i + 2)) {
        ASSERT_TRUE(line[i + 1] == '%' || line[i + 1] == 's') << p.page << ": " << line;
      }
      if (line.find("%s") != std::string::npos) markers.push_back(line);
    }
    ASSERT_EQ(markers.size(), p.markers.size()) << p.page;
    for (std::size_t k = 0; k < markers.size(); ++k) {
      EXPECT_NE(markers[k].find(p.markers[k]), std::string::npos) << p.page << " marker " << k << ": " << markers[k];
    }
    for (auto it = std::sregex_iterator(all.begin(), all.end(), nameAttr); it != std::sregex_iterator(); ++it) {
      EXPECT_NE(HashValue((*it)[2].str()), -1) << p.page << ": " << (*it)[2];
    }
    for (auto it = std::sregex_iterator(all.begin(), all.end(), control); it != std::sregex_iterator(); ++it) {
      const std::string tag = (*it)[0];
      if (tag.find(R"(type="hidden")") != std::string::npos) continue;
      std::smatch id;
      ASSERT_TRUE(std::regex_search(tag, id, idAttr)) << p.page << ": " << tag;
      EXPECT_NE(all.find("for=\"" + id[1].str() + "\">"), std::string::npos) << p.page << ": " << tag;
    }
    const std::string_view target = std::string_view(p.page) == "APIREQ" ? "APIMAP" : p.page;
    EXPECT_NE(all.find("<form method=\"post\" action=\"" + std::string(target) + "\""), std::string::npos) << p.page;
  }
}

}  // namespace
}  // namespace cfgout
