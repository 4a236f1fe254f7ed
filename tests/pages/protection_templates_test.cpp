// The shipped protection templates (DOCAUTOS, PROTECT, PASSPRO, SSLPRO) as
// the build compiles them: the marker order the handlers fill, form field
// names the handlers know, a label for every visible control.

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

struct TemplateCase {
  const char* page;
  std::vector<std::string> markers;  // a piece of each marker line, in order
};

const TemplateCase kCases[] = {
    {"DOCAUTOS", {"%s\n", R"(<select id="LIST" name="LIST" aria-describedby="LIST-hint">%s</select>)", "%s\n"}},
    {"PROTECT",
     {R"(name="ACTION" value="%s")", R"(name="ACTIONA" value="%s")", R"(name="ACTIONB" value="%s")",
      R"(name="ACTIONC" value="%s")", R"(name="LIST" value="%s")", R"(name="PROTECTA" value="%s")",
      R"(name="PROTFILE" value="%s")", R"(name="IPADDRESS" value="%s")", "<code>%s</code>",
      R"(<p class="setup-name">%s</p>)", "%s\n", "<!-- %s -->", "%s\n", "%s\n"}},
    {"PASSPRO",
     {R"(name="SERVERID" value="%s")", R"(name="PASSWDFILE" value="%s")", R"(name="GROUPFILE" value="%s")",
      R"(name="GETMASK" value="%s")", R"(name="PUTMASK" value="%s")", R"(name="DELETEMASK" value="%s")",
      R"(name="MASK" value="%s")"}},
    {"SSLPRO",
     {R"(name="COMMONNAME" value="%s")", R"(name="ISSUERCOMMONNAME" value="%s")", R"(name="COUNTRY" value="%s")",
      R"(name="ISSUERCOUNTRY" value="%s")", R"(name="CITY" value="%s")", R"(name="ISSUERCITY" value="%s")",
      R"(name="STATE" value="%s")", R"(name="ISSUERSTATE" value="%s")", R"(name="ORGANIZATION" value="%s")",
      R"(name="ISSUERORGANIZATION" value="%s")", R"(name="ORGUNIT" value="%s")",
      R"(name="ISSUERORGUNIT" value="%s")", R"(<label class="check-line">%s</label>)"}},
};

TEST(ProtectionTemplatesTest, MarkersFieldsAndLabels) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
  for (const TemplateCase& c : kCases) {
    std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view(c.page));
    ASSERT_NE(page, nullptr) << c.page;
    std::string all;
    std::vector<std::string> markers;
    for (const char* l : page->lines) {
      const std::string line(l);
      all += line;
      EXPECT_EQ(line.find('\n'), line.size() - 1) << c.page << ": " << line;
      int conversions = 0;
      for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] != '%') continue;
        EXPECT_TRUE(line[i + 1] == '%' || line[i + 1] == 's') << c.page << ": " << line;
        conversions += line[i + 1] == 's';
        ++i;
      }
      EXPECT_LE(conversions, 1) << c.page << ": " << line;
      if (conversions == 1) markers.push_back(line);
    }
    ASSERT_EQ(markers.size(), c.markers.size()) << c.page;
    for (std::size_t k = 0; k < markers.size(); ++k) {
      EXPECT_NE(markers[k].find(c.markers[k]), std::string::npos) << c.page << " marker " << k << ": " << markers[k];
    }

    // Every field name is one the handlers know; every visible control has a label.
    const std::regex control(R"re(<(input|select)\b[^>]*>)re");
    for (auto it = std::sregex_iterator(all.begin(), all.end(), control); it != std::sregex_iterator(); ++it) {
      const std::string tag = (*it)[0];
      std::smatch name;
      if (std::regex_search(tag, name, std::regex(R"re(\bname="([^"]+)")re"))) {
        EXPECT_NE(HashValue(name[1].str()), -1) << c.page << ": " << tag;
      }
      if (tag.find(R"(type="hidden")") != std::string::npos) continue;
      std::smatch id;
      ASSERT_TRUE(std::regex_search(tag, id, std::regex(R"re(\bid="([^"]+)")re"))) << c.page << ": " << tag;
      EXPECT_NE(all.find("<label for=\"" + id[1].str() + "\">"), std::string::npos) << c.page << ": " << tag;
    }
  }
}

}  // namespace
}  // namespace cfgout
