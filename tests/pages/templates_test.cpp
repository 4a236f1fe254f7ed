// The shipped page templates as the build compiles them, one row per page:
// the marker lines in the order the handlers fill them, no stray conversion,
// a form posting to its page with fields the form-variable table knows, a
// label for every visible control; then what only some pages have.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "html/templates.h"
#include "nls/message_lookup.h"
#include "validate/form_variables.h"

namespace cfgout {
namespace {

using Pieces = std::vector<std::string>;

// A piece of each marker line, in order: "" the whole line is "%s\n", "^..."
// its start, anything else a part of it.
struct Row {
  const char* page;
  const char* form;  // the page its form posts to; null: no form of its own
  Pieces markers;
  std::optional<std::set<std::string>> fields = {};  // every name in its form
  std::set<std::string> passwords = {};              // "<name> <autocomplete>"
};

Pieces Join(std::initializer_list<Pieces> parts) {
  Pieces all;
  for (const Pieces& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Pieces Span(const std::string& f) { return {"name=\"" + f + "HRS\">%s", "name=\"" + f + "MINS\">%s", "name=\"" + f + "SECS\">%s"}; }
Pieces Number(const std::string& f) {
  Pieces m{"name=\"" + f + "\" value=\"%s\""};
  for (const char* u : {"months", "days", "hours", "minutes", "seconds"}) m.push_back("<option value=\"" + std::string(u) + "\" %s>");
  return m;
}
Pieces Size(const std::string& f) {
  return {"name=\"" + f + "\" value=\"%s\"", "<option value=\"B\" %s>", "<option value=\"K\" %s>", "<option value=\"M\" %s>",
          "<option value=\"G\" %s>"};
}
Pieces Values(const char* format, std::initializer_list<const char*> names) {
  Pieces m;
  for (const char* n : names) m.push_back(std::regex_replace(format, std::regex("@"), n));
  return m;
}

std::vector<Row> Rows() {
  Pieces methods;
  for (const char* m : {"GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "TRACE", "CONNECT"}) {
    methods.push_back(std::string("name=\"") + m + "\" value=\"1\" %s>");
    methods.push_back(std::string("name=\"") + m + "HANDLER\" value=\"%s\"");
  }
  const Pieces list = {"", R"(name="LIST")", ""}, suffix = {R"(name="SUFFIXCASESENSE" value="off" %s>)",
                                                            R"(name="SUFFIXCASESENSE" value="on" %s>)", "", R"(name="LIST")", ""};
  const std::string pw = R"(^<input type="text" id="PASSWDFILE")", gr = R"(^<input type="text" id="GROUPFILE")";
  const std::set<std::string> user = {"USERNAME", "PASSWDFILE", "PUSHBUTTON"};
  const auto with = [&](std::initializer_list<std::string> more) {
    std::set<std::string> s = user;
    s.insert(more);
    return s;
  };
  return {
      {"HAPARMS", nullptr, {"status-message", "status-kind status-%s", "help-page", "help-topic", "extra", "flag"}},
      {"CFG_INTRO", nullptr, {""}},
      {"BASIC", "BASIC",
       Join({Values(R"(name="@" value="%s")", {"HostName"}), {R"(name="BindSpecific" value="on" %s>)",
             R"(name="BindSpecific" value="off" %s>)"}, Values(R"(name="@" value="%s")", {"PORT", "ADMINPORT", "ServerRoot"}),
             {R"(type="checkbox" id="DNSLOOKUP" name="DNSLOOKUP" value="on" %s>)"},
             Values(R"(name="@" value="%s")", {"UserID", "GroupID", "PidFile"}),
             Values(R"(name="IMBED" value="@" %s>)", {"Off", "CGI", "Files", "On", "Noexec"}),
             Values(R"(name="IMBEDOPT" value="@" %s>)", {"SSIonly", "html"}),
             Values(R"(name="@" value="%s")", {"InheritEnv", "DisInheritEnv"}), {""}}),
       std::set<std::string>{"HostName", "BindSpecific", "PORT", "ADMINPORT", "ServerRoot", "DNSLOOKUP", "UserID", "GroupID",
                             "PidFile", "IMBED", "IMBEDOPT", "InheritEnv", "DisInheritEnv", "PUSHBUTTON"}},
      {"TIMEOUT", "TIMEOUT",
       Join({Span("INPUTTIMEOUT"), Span("READTIMEOUT"), Span("OUTPUTTIMEOUT"), Span("SCRIPTTIMEOUT"), Span("PERSISTTIMEOUT"), {""}})},
      {"PERFORMA", "PERFORMA",
       Join({Values(R"(name="@" value="%s")", {"ListenBacklog", "MaxActiveThreads"}), Span("PERSISTTIMEOUT"),
             {R"(name="MaxPersistRequest" value="%s")", ""}})},
      {"PROXBEHA", "PROXBEHA", {"%s\n", R"(name="ContinueCaching" value="%s")", R"(name="CacheByIncomingUrl" value="on" %s>)",
                                "%s\n", R"(<select id="LIST" name="LIST">%s</select>)", ""}},
      {"PROXCACH", "PROXCACH",
       Join({{R"(name="Caching" value="on" %s>)"}, Size("CACHEMEMORY"), {R"(name="BLOCKSIZE" value="%s")"}, Size("CACHELIMIT"),
             {R"(name="CacheAccessLog" value="%s")", "%s\n", R"(<select id="LIST" name="LIST">%s</select>)", ""}})},
      {"PROXEXP", "PROXEXP",
       Join({Number("CACHEUNUSEDHTTP"), Number("CACHEUNUSEDFTP"), Number("CACHEUNUSEDGOPHER"), Number("CACHEDEFAULTEXPIRYFTP"),
             Number("CACHEDEFAULTEXPIRYGOPHER"), {R"(name="CacheExpiryCheck" value="on" %s>)",
             R"(name="CacheNoConnect" value="on" %s>)", R"(name="CacheTimeMargin" value="%s")", ""}})},
      {"PROXGC", "PROXGC", {R"(name="Gc" value="on" %s>)", R"(name="GcLowWater" value="%s")", R"(name="GcHighWater" value="%s")", "%s\n", ""}},
      {"METHENAB", "METHENAB", Join({methods, {"%s\n"}})},
      {"USERMETH", "USERMETH", {"%s\n", "name=\"LIST\">%s</select>", "%s\n"}},
      {"APIMAP", "APIMAP", {"%s\n", "name=\"LIST\">%s</select>", "%s\n"}},
      {"APIREQ", "APIMAP", {"%s\n"}},
      {"ACCCONF", "ACCCONF",
       Join({{"%s\n", "name=\"LISTA\">%s</select>", "%s\n", "name=\"LISTC\">%s</select>", "%s\n", "name=\"LISTB\">%s</select>"},
             Values("value=\"@\" %s>", {"GET", "PUT", "POST", "DELETE", "image/gif", "image/jpeg", "image/(other)", "text/html",
                                        "text/plain", "text/(other)", "application/*", "audio/*", "video/*", "(other)/(other)",
                                        "200", "300", "400", "500"}),
             {"%s\n"}})},
      {"ADDTYPE", "ADDTYPE", suffix},
      {"ADDENCOD", "ADDENCOD", suffix},
      {"DIRICONS", "DIRICONS",
       Join({{R"(name="DirShowIcons" value="on" %s>)"},
             Pieces{R"(name="ADDDIRICONA" value="%s")", R"(name="ADDDIRICON" value="%s")", "<code>%s</code>",
                             R"(name="ADDPARENTICONA" value="%s")", R"(name="ADDPARENTICON" value="%s")", "<code>%s</code>",
                             R"(name="ADDUNKNOWNICONA" value="%s")", R"(name="ADDUNKNOWNICON" value="%s")", "<code>%s</code>",
                             R"(name="ADDBLANKICONA" value="%s")", R"(name="ADDBLANKICON" value="%s")", "<code>%s</code>"},
             list})},
      {"INITPAGE", "INITPAGE", list},
      {"ERRCUST", "ERRCUST", list},
      {"LMF", "LMF", {"", R"(name="LIST")", R"(name="CACHELASTMODIFIEDFRACTION")", ""}},
      {"MPFRULE", "MPFRULE", list},
      {"DOCAUTOS", nullptr, {"%s\n", R"(<select id="LIST" name="LIST" aria-describedby="LIST-hint">%s</select>)", "%s\n"}},
      {"PROTECT", nullptr,
       Join({Values(R"(name="@" value="%s")", {"ACTION", "ACTIONA", "ACTIONB", "ACTIONC", "LIST", "PROTECTA", "PROTFILE", "IPADDRESS"}),
             {"<code>%s</code>", R"(<p class="setup-name">%s</p>)", "%s\n", "<!-- %s -->", "%s\n", "%s\n"}})},
      {"PASSPRO", nullptr,
       Values(R"(name="@" value="%s")", {"SERVERID", "PASSWDFILE", "GROUPFILE", "GETMASK", "PUTMASK", "DELETEMASK", "MASK"})},
      {"SSLPRO", nullptr,
       Join({Values(R"(name="@" value="%s")", {"COMMONNAME", "ISSUERCOMMONNAME", "COUNTRY", "ISSUERCOUNTRY", "CITY", "ISSUERCITY",
                                               "STATE", "ISSUERSTATE", "ORGANIZATION", "ISSUERORGANIZATION", "ORGUNIT", "ISSUERORGUNIT"}),
             {R"(<label class="check-line">%s</label>)"}})},
      {"ADDUSER", "ADDUSER", {pw, gr, "^%s"}, with({"CURPASS", "VERPASS", "DESC", "GROUP", "GROUPFILE"}),
       {"CURPASS new-password", "VERPASS new-password"}},
      {"CHKUSER", "CHKUSER", {pw, "^%s"}, with({"CURPASS"}), {"CURPASS off"}},
      {"CHPASSWD", "CHPASSWD", {pw, "^%s"}, with({"NEWPASS", "VERPASS"}), {"NEWPASS new-password", "VERPASS new-password"}},
      {"DELUSER", "DELUSER", {pw, gr, "^%s"}, with({"GROUPFILE"})},
      {"RESTART", "RESTART", {"^%s"}, std::set<std::string>{}},
  };
}

std::string Attr(const std::string& tag, const char* name) {
  std::smatch m;
  return std::regex_search(tag, m, std::regex(std::string("\\b") + name + "=\"([^\"]+)\"")) ? m[1].str() : "";
}

TEST(ShippedTemplatesTest, EveryPage) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
  const std::regex controlRe(R"re(<(input|button|select|textarea)\b[^>]*>)re"), labelRe(R"re(<label\b[^>]*>)re");
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.page);
    const std::unique_ptr<TemplatePage> tpl = GetHtmlPage(std::string_view(row.page));
    ASSERT_NE(tpl, nullptr);
    std::string page;
    std::vector<std::string> lines, markers;
    for (const char* l : tpl->lines) {
      const std::string line(l);
      page += line;
      lines.push_back(line);
      EXPECT_EQ(line.find('\n'), line.size() - 1) << line;  // every line ends in its own line feed
      EXPECT_EQ(line.find('\r'), std::string::npos) << line;
      int conversions = 0;
      for (std::size_t i = line.find('%'); i != std::string::npos; i = line.find('%', i + 2)) {
        EXPECT_TRUE(line[i + 1] == '%' || line[i + 1] == 's') << line;
        conversions += line[i + 1] == 's';
      }
      EXPECT_LE(conversions, 1) << line;
      if (conversions == 1) markers.push_back(line);
    }
    ASSERT_EQ(markers.size(), row.markers.size());
    for (std::size_t k = 0; k < markers.size(); ++k) {
      const std::string& want = row.markers[k];
      if (want.empty()) {
        EXPECT_EQ(markers[k], "%s\n") << "marker " << k;
      } else if (want[0] == '^') {
        EXPECT_EQ(markers[k].rfind(want.substr(1), 0), 0u) << "marker " << k << ": " << markers[k];
      } else {
        EXPECT_NE(markers[k].find(want), std::string::npos) << "marker " << k << ": " << markers[k];
      }
    }
    const std::string formTag = row.form ? "<form method=\"post\" action=\"" + std::string(row.form) + "\"" : "";
    if (row.form) {
      EXPECT_NE(page.find(formTag), std::string::npos);
    }
    std::set<std::string> labelled, fields, passwords;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), labelRe); it != std::sregex_iterator(); ++it) {
      labelled.insert(Attr((*it)[0], "for"));
    }
    for (auto it = std::sregex_iterator(page.begin(), page.end(), controlRe); it != std::sregex_iterator(); ++it) {
      const std::string tag = (*it)[0], name = Attr(tag, "name");
      if (tag.find(R"(type="hidden")") == std::string::npos && (*it)[1] != "button") {
        EXPECT_EQ(labelled.count(Attr(tag, "id")), 1u) << "no label: " << tag;
      }
      // Navigation forms post to other pages; only the page's own form counts.
      if (name.empty() || (row.form && page.rfind("<form", it->position()) != page.find(formTag))) continue;
      EXPECT_NE(HashValue(name), -1) << tag;
      // The user pages' inputs say what browsers may fill in.
      if (!row.passwords.empty() || row.page == std::string_view("DELUSER")) {
        EXPECT_TRUE((*it)[1] != "input" || !Attr(tag, "autocomplete").empty()) << tag;
      }
      fields.insert(name);
      if (tag.find(R"(type="password")") != std::string::npos) passwords.insert(name + " " + Attr(tag, "autocomplete"));
    }
    if (row.fields) {
      EXPECT_EQ(fields, *row.fields);
      EXPECT_EQ(passwords, row.passwords);
    }
  }
}

TEST(ShippedTemplatesTest, PageSpecifics) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
  const auto text = [](const char* name) {
    const std::unique_ptr<TemplatePage> tpl = GetHtmlPage(std::string_view(name));
    std::string all;
    for (const char* line : tpl->lines) all += line;
    return all;
  };
  const std::string intro = text("CFG_INTRO"), basic = text("BASIC");
  EXPECT_TRUE(intro.starts_with("<!DOCTYPE html>\n") && intro.ends_with("</html>\n"));
  EXPECT_TRUE(basic.ends_with("</html>\n"));
  // The hidden default of the check box stands right before it.
  const std::size_t hidden = basic.find(R"(<input type="hidden" name="DNSLOOKUP" value="off">)");
  const std::size_t box = basic.find(R"(name="DNSLOOKUP" value="on")");
  ASSERT_NE(hidden, std::string::npos);
  ASSERT_NE(box, std::string::npos);
  EXPECT_EQ(basic.substr(hidden + 1, box - hidden).find("name=", 30), std::string::npos);
  // The list pages have a table with a header row.
  for (const char* name : {"ADDTYPE", "ADDENCOD", "DIRICONS", "INITPAGE", "ERRCUST", "LMF", "MPFRULE"}) {
    EXPECT_NE(text(name).find("<thead><tr><th scope=\"col\">Row</th>"), std::string::npos) << name;
    EXPECT_NE(text(name).find("<tbody>\n%s\n</tbody>"), std::string::npos) << name;
  }
  // The navigation reaches every configuration page.
  for (const char* target : {"ACCCONF", "ADDENCOD", "ADDTYPE", "ADDUSER", "APIMAP", "APIREQ", "ARCHIVE", "BASIC", "CHKUSER",
                             "CHPASSWD", "DELUSER", "DIRICONS", "DOCAUTOS", "ERRCUST", "INITPAGE", "LISTCNTS", "LMF",
                             "LOGFILES", "METHENAB", "MPFRULE", "PERFORMA", "PROXBEHA", "PROXCACH", "PROXEXP", "PROXGC",
                             "PROXMAP", "PROXPROX", "PROXSERV", "PROXTIME", "RESTART", "SNMPMIB", "TIMEOUT", "USERMETH"}) {
    for (const std::string& page : {intro, basic}) {
      EXPECT_TRUE(page.find("<a href=\"" + std::string(target) + "\">") != std::string::npos ||
                  page.find("<form method=\"post\" action=\"" + std::string(target) + "\">") != std::string::npos)
          << target;
    }
    EXPECT_NE(IndexFromHtmlName(target), -1) << target;
  }
  // The protection form answers the list's request; restarting is a POST
  // (a link, prefetched or crawled, must not restart the server).
  EXPECT_EQ(basic.find(R"(href="PROTECT")"), std::string::npos);
  EXPECT_EQ(basic.find(R"(href="RESTART")"), std::string::npos);
}

}  // namespace
}  // namespace cfgout
