#include "pages/proxgc_page.h"

#include <memory>
#include <optional>
#include <string>

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

// Form-variable codes of the page's fields.
constexpr int kFieldGc = 1820;
constexpr int kFieldCacheAlgorithm = 780;
constexpr int kFieldLowWater = 1845;
constexpr int kFieldHighWater = 1840;

// The one field name whose repeated fields are each walked instead of only
// the last of a run.
constexpr std::string_view kRepeatedField = "GcDiskSyncDays";

constexpr std::array<const char*, 3> kAlgorithms = {"bandwidth", "responsetime", "blend"};

const char* KnownAlgorithm(std::string_view word) {
  for (const char* algorithm : kAlgorithms) {
    if (EqualsIgnoringCase(word, algorithm)) return algorithm;
  }
  return nullptr;
}

const char* SelectedIf(bool selected) { return selected ? "SELECTED" : ""; }

void GenAlgorithmChooser(const char* line, const ServerPackage& package, const ConfigHandle& cfg) {
  if (package.cacheAlgorithmSelectable != 1) {
    GenHtmlLine(line, "<input type=\"hidden\" name=\"cacheAlgorithm\" value=\"responsetime\">");
    return;
  }
  const std::string_view current = CurrentCacheAlgorithm(cfg, package);
  GenHtmlLine(line, ConfigMessage(kMsgGcChooserStart));
  GenHtmlLine(line, FormatText(ConfigMessage(kMsgGcBandwidthOption), {SelectedIf(current == "bandwidth")}));
  GenHtmlLine(line, FormatText(ConfigMessage(kMsgGcResponseTimeOption), {SelectedIf(current == "responsetime")}));
  GenHtmlLine(line, FormatText(ConfigMessage(kMsgGcBlendOption), {SelectedIf(current == "blend")}));
  GenHtmlLine(line, ConfigMessage(kMsgGcChooserEnd));
}

}  // namespace

const char* CurrentCacheAlgorithm(const ConfigHandle& cfg, const ServerPackage& package) {
  const LineList found = HTTPDGetRules(cfg, HTTPDRuleToID("cacheAlgorithm"));
  if (const LineNode* last = found.last()) {
    if (const std::optional<std::string> word = getToken(TokenNext(last->text))) {
      if (const char* known = KnownAlgorithm(*word)) return known;
    }
  }
  const std::string_view fallback = package.defaultCacheAlgorithm != nullptr ? package.defaultCacheAlgorithm : "";
  if (EqualsIgnoringCase(fallback, "bandwidth")) return "bandwidth";
  if (EqualsIgnoringCase(fallback, "responsetime")) return "responsetime";
  return "blend";
}

int ProxgcDisplayHandler(const TemplatePage& page, PageStatus& status, const ServerPackage& package,
                         ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"Gc", "GcLowWater", "GcHighWater", "cacheAlgorithm"});
  const ConfigHandle& cfg = *shown;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenCheckedSettingOnOff(line, "Gc", 1, 1, cfg); break;
      case 1: GenTextField(line, "GcLowWater", 2, 0, "60", cfg); break;
      case 2: GenTextField(line, "GcHighWater", 2, 0, "90", cfg); break;
      case 3: GenAlgorithmChooser(line, package, cfg); break;
      case 4: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxgcOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);

  std::string lowWater;
  std::string highWater;
  const bool walked = WalkFormFields(
      args, status,
      [&](const FormArg& field, int code) {
        switch (code) {
          case kFieldGc:
          case kFieldCacheAlgorithm: ApplyDirectiveField(cfg, field); break;
          case kFieldLowWater: lowWater = DirectiveValue(FieldValue(field)); break;
          case kFieldHighWater: highWater = DirectiveValue(FieldValue(field)); break;
          default: break;
        }
      },
      kRepeatedField);
  if (!walked) return 0;

  // The two marks are not compared with each other.
  if (!lowWater.empty()) ReplaceDirective(cfg, "GcLowWater", FormatText("GcLowWater    %s\n", {lowWater}));
  if (!highWater.empty()) ReplaceDirective(cfg, "GcHighWater", FormatText("GcHighWater    %s\n", {highWater}));
  return 0;
}

}  // namespace cfgout
