#include "pages/basic_page.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// Form-variable codes of the fields this page treats specially.
constexpr int kFieldDnsLookup = 1440;
constexpr int kFieldImbed = 2070;
constexpr int kFieldImbedOpt = 2080;
constexpr int kFieldPort = 2850;
constexpr int kFieldPushButton = 3060;
constexpr int kFieldAdminPort = 5000;

// "CHECKED" when an imbeds directive scans all HTML files: its scope word
// (field 3) is "html", ".htm" or ".html".
const char* HtmlScopeChecked(const ConfigHandle& cfg) {
  for (const char* scope : {"html", ".htm", ".html"}) {
    if (SearchForDirective("imbeds", scope, 3, cfg) == 1) return "CHECKED";
  }
  return "";
}

}  // namespace

std::string BasicPortList(const ConfigHandle& cfg) {
  std::string list;
  const LineList ports = HTTPDGetRules(cfg, HTTPDRuleToID("port"));
  bool first = true;
  for (const LineNode& line : ports) {
    // The keyword and the blanks after it, then the value up to the
    // trailing white space (the line end included).
    std::string_view value = line.text;
    while (!value.empty() && (IsAsciiLetter(value.front()) || IsAsciiSpace(value.front()))) value.remove_prefix(1);
    while (!value.empty() && IsAsciiSpace(value.back())) value.remove_suffix(1);
    if (!first) list += ',';
    list += value;
    first = false;
  }
  return first ? std::string("80") : list;
}

int BasicDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const char* envHost = std::getenv("HOSTNAME");
  const std::string hostDefault = envHost != nullptr ? envHost : "";
  // One walk over the configuration instead of one per control. The ports
  // are listed by one walk of their own: a configuration may hold very many
  // Port lines, which the other controls need not walk again and again.
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"hostname", "bindspecific", "adminport", "serverroot", "dns-lookup", "userid",
                                "groupid", "pidfile", "imbeds", "inheritenv", "disinheritenv"});
  const ConfigHandle& cfg = *shown;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenTextField(line, "HostName", 2, 0, hostDefault.c_str(), cfg); break;
      case 1: GenCheckedSettingOnOff(line, "BindSpecific", 1, 0, cfg); break;
      case 2: GenCheckedSettingOnOff(line, "BindSpecific", 0, 1, cfg); break;
      case 3: GenHtmlLine(line, HtmlEscape(BasicPortList(config))); break;
      case 4: GenTextField(line, "AdminPort", 2, 0, "", cfg); break;
      case 5: GenTextField(line, "ServerRoot", 2, 0, "", cfg); break;
      case 6: GenCheckedSettingOnOff(line, "DNS-Lookup", 1, 0, cfg); break;
      case 7: GenTextField(line, "UserID", 2, 0, "nobody", cfg); break;
      case 8: GenTextField(line, "GroupID", 2, 0, "nobody", cfg); break;
      case 9: GenTextField(line, "PidFile", 2, 0, "", cfg); break;
      case 10: GenSingleCheckedSetting(line, "imbeds", "Off", 1, 2, "CHECKED", cfg); break;
      case 11: GenSingleCheckedSetting(line, "imbeds", "CGI", 0, 2, "CHECKED", cfg); break;
      case 12: GenSingleCheckedSetting(line, "imbeds", "Files", 0, 2, "CHECKED", cfg); break;
      case 13: GenSingleCheckedSetting(line, "imbeds", "On", 0, 2, "CHECKED", cfg); break;
      case 14: GenSingleCheckedSetting(line, "imbeds", "Noexec", 0, 2, "CHECKED", cfg); break;
      case 15: GenSingleCheckedSetting(line, "imbeds", "SSIonly", 0, 3, "CHECKED", cfg); break;
      case 16: GenHtmlLine(line, HtmlScopeChecked(cfg)); break;
      case 17: GenTextField(line, "InheritEnv", 2, 1, "", cfg); break;
      case 18: GenTextField(line, "DisInheritEnv", 2, 1, "", cfg); break;
      case 19: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int BasicOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);

  std::string imbedMode;
  std::string imbedScope;
  std::optional<std::string> ports;
  std::string adminPort;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldDnsLookup:
        ReplaceDirective(cfg, "DNS-Lookup", FormatText("DNS-Lookup       %s\n", {DirectiveValue(value)}));
        break;
      case kFieldImbed: imbedMode = DirectiveValue(value); break;
      case kFieldImbedOpt: imbedScope = DirectiveValue(value); break;
      case kFieldPort: ports = std::string(value); break;
      case kFieldAdminPort: adminPort = std::string(value); break;
      case kFieldPushButton: break;
      default: ApplyDirectiveField(cfg, field); break;
    }
  });
  if (!walked) return 0;

  if (!imbedMode.empty() && !imbedScope.empty()) {
    ReplaceDirective(cfg, "imbeds", FormatText("Imbeds   %s   %s\n", {imbedMode, imbedScope}));
  }

  const std::string admin(TrimAsciiSpace(adminPort));
  bool conflict = false;
  if (ports && !ports->empty()) {
    const std::string_view list = TrimAsciiSpace(*ports);
    if (list.empty()) {
      FailStatus(status, ConfigMessage(kMsgRequiredFieldsMissing));
      return 1;
    }
    // A port is the run of digits at the current position; the one
    // character after it, whatever it is, ends it and is skipped.
    LineList lines;
    std::size_t pos = 0;
    while (pos < list.size()) {
      const std::size_t start = pos;
      while (pos < list.size() && IsAsciiDigit(list[pos])) ++pos;
      const std::string_view port = list.substr(start, pos - start);
      lines.Append(FormatText("Port     %s\n", {port}));
      if (!admin.empty() && port == admin) conflict = true;
      ++pos;
    }
    HTTPDReplaceRules(cfg, HTTPDRuleToID("port"), std::move(lines), 0);
  }

  if (conflict) {
    // The port lines are already replaced in memory; success 0 keeps them
    // from being written.
    FailStatus(status, ConfigMessage(kMsgAdminPortIsPort));
    return 1;
  }
  if (!admin.empty()) {
    ReplaceDirective(cfg, "AdminPort", FormatText("AdminPort       %s\n", {admin}));
  } else {
    RemoveDirective(cfg, "AdminPort");
  }
  return 0;
}

}  // namespace cfgout
