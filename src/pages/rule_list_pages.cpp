#include "pages/rule_list_pages.h"

#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/form_fields.h"
#include "pages/list_editor.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

constexpr int kFieldErrorPageA = 1660;
constexpr int kFieldErrorPageB = 1670;
constexpr int kFieldLmfPattern = 870;
constexpr int kFieldLmfFraction = 860;
constexpr int kFieldRuleKeyword = 180;
constexpr int kFieldUrlTemplate = 4040;
constexpr int kFieldFilePath = 1740;
constexpr int kFieldIpAddress = 2100;

constexpr const char* kFractions =
    "off,0.00,0.02,0.04,0.06,0.08,0.10,0.12,0.14,0.16,0.18,0.20,0.25,0.30,0.35,0.40,0.45,0.50,0.55,0.60,"
    "0.65,0.70,0.75,0.80,0.85,0.90,0.95,1.00,1.10,1.20,1.25,1.30,1.40,1.50,1.60,1.70,1.75,1.80,1.90,2.00,"
    "2.25,2.50,2.75,3.00,3.50,4.00,4.50,5.00";

// The mapping rule keywords, in the order the page lists them.
constexpr std::array<std::string_view, 8> kMappingKeywords = {
    "Map", "Pass", "Fail", "Exec", "Redirect", "Proxy", "Service", "NameTrans"};

// The page's table, its row numbers and the status block at `statusMarker`;
// `extra` fills any other marker and says whether it did.
template <typename Table, typename Extra>
void DisplayRuleList(const TemplatePage& page, PageStatus& status, Table&& table, int statusMarker,
                     Extra&& extra) {
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    const int k = marker + 1;
    if (k == 1) {
      rows = table(line);
    } else if (k == 2) {
      GenOptionString(line, 1, rows, 1);
    } else if (k == statusMarker) {
      GenHeraldAppletParms(line, status);
    } else {
      return extra(k, line);
    }
    return true;
  });
}

// The decimal separator of the default locale, or 0 when it cannot be
// looked up.
char LocaleDecimalSeparator() {
  UErrorCode error = U_ZERO_ERROR;
  UNumberFormat* format = unum_open(UNUM_DECIMAL, nullptr, 0, nullptr, nullptr, &error);
  if (U_FAILURE(error) || format == nullptr) return 0;
  UChar symbol[64];
  const int32_t length = unum_getSymbol(format, UNUM_DECIMAL_SEPARATOR_SYMBOL, symbol, 64, &error);
  unum_close(format);
  if (U_FAILURE(error) || length < 1) return 0;
  char first[2] = {0, 0};
  u_austrncpy(first, symbol, 1);
  return first[0];
}

}  // namespace

std::string FractionChoices(char separator) {
  if (separator != ',') return kFractions;
  std::string out;
  for (const char* c = kFractions; *c != '\0'; ++c) {
    if (*c == '.') {
      // The comma and every digit after it as character references.
      out += "&#44";
      for (++c; IsAsciiDigit(*c); ++c) out += FormatText("&#%d", {static_cast<std::int64_t>(*c)});
      --c;
    } else {
      out += *c;
    }
  }
  return out;
}

// ---- Error pages ------------------------------------------------------------

int ErrcustDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  DisplayRuleList(
      page, status, [&](const char* line) { return GenTableItems(line, "ErrorPage", 2, 1, cfg); }, 3,
      [](int, const char*) { return false; });
  return 0;
}

int ErrcustOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ListChoice form;
  std::string condition;
  std::string target;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& arg, int code) {
    const std::string_view value = FieldValue(arg);
    if (form.Take(code, value)) return;
    if (code == kFieldErrorPageA) condition = DirectiveValue(value);
    if (code == kFieldErrorPageB) target = DirectiveValue(value);
  });
  if (!walked) return 0;
  if ((form.IsInsert() || form.action == kReplaceLine) && (condition.empty() || target.empty())) {
    return RequiredFieldsMissing(status);
  }
  ApplyListChoice(cfg, SelectRule(cfg, "ErrorPage", form.list), form,
                  FormatText("ErrorPage        %s %s\n", {condition, target}));
  return 0;
}

// ---- Last-modified factors --------------------------------------------------

int LmfDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  const char separator = LocaleDecimalSeparator();
  DisplayRuleList(
      page, status, [&](const char* line) { return GenTableItems(line, "CacheLastModifiedFactor", 3, 1, cfg); }, 4,
      [&](int k, const char* line) {
        if (k != 3) return false;
        if (separator != ',') {
          GenOptionList(line, "CacheLastModifiedFraction", kFractions, "0.14", cfg);
          return true;
        }
        // The comma list holds character references: markup of the page's
        // own, written as it stands. No directive of that name exists, so
        // 0,14 is the value preselected.
        const std::string_view text(line);
        const std::size_t at = text.find("%s");
        std::string options;
        const std::string choices = FractionChoices(',');
        std::string_view rest = choices;
        while (!rest.empty()) {
          const std::size_t comma = rest.find(',');
          const std::string_view entry = rest.substr(0, comma);
          options += entry == "0&#44&#49&#52" ? "<OPTION SELECTED>" : "<OPTION>";
          options += entry;
          rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
        if (at == std::string_view::npos) {
          GenHtmlLine(line, nullptr);
        } else {
          GenHtmlLine(line, options);
        }
        return true;
      });
  return 0;
}

int LmfOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ListChoice form;
  std::string pattern;
  std::string fraction;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& arg, int code) {
    const std::string_view value = FieldValue(arg);
    if (form.Take(code, value)) return;
    if (code == kFieldLmfPattern) pattern = DirectiveValue(value);
    if (code == kFieldLmfFraction) fraction = DirectiveValue(value);
  });
  if (!walked) return 0;
  const bool complete = !pattern.empty() && !fraction.empty();
  if (form.IsInsert() && !complete) return 0;  // nothing to insert, and no complaint
  if (form.action == kReplaceLine && !complete) return RequiredFieldsMissing(status);
  // The server reads the fraction with a decimal point, whatever the
  // browser's locale showed.
  for (char& c : fraction) {
    if (c == ',') c = '.';
  }
  ApplyListChoice(cfg, SelectRule(cfg, "CacheLastModifiedFactor", form.list), form,
                  FormatText("CacheLastModifiedFactor   %s   %s\n", {pattern, fraction}));
  return 0;
}

// ---- Mapping rules ----------------------------------------------------------

int MpfruleDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  DisplayRuleList(
      page, status,
      [&](const char* line) {
        return GenMultiTableItems(line, "Map Pass Fail Exec Redirect Proxy Service NameTrans 0", 4, 0, cfg);
      },
      3, [](int, const char*) { return false; });
  return 0;
}

int MpfruleOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ListChoice form;
  std::string keyword;
  std::string pattern;
  std::string replacement;
  std::string address;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& arg, int code) {
    const std::string_view value = FieldValue(arg);
    if (form.Take(code, value)) return;
    switch (code) {
      case kFieldRuleKeyword: keyword = DirectiveValue(value); break;
      case kFieldUrlTemplate: pattern = DirectiveValue(value); break;
      case kFieldFilePath: replacement = DirectiveValue(value); break;
      case kFieldIpAddress: address = DirectiveValue(value); break;
      default: break;
    }
  });
  if (!walked) return 0;

  // A keyword offered as "* Pass" is the keyword Pass; a Fail rule carries
  // only its template, with a blank for the replacement.
  if (keyword.starts_with("* ")) keyword.erase(0, 2);
  if (StartsWithIgnoringCase(keyword, "FAIL")) replacement = " ";

  if (args.empty() || (form.action != kDeleteLine && pattern.empty())) {
    FailStatus(status, ConfigMessage(kMsgNoTemplate));
    return 0;
  }
  if (replacement.empty() && form.action != kDeleteLine && !StartsWithIgnoringCase(keyword, "PROX")) {
    FailStatus(status, ConfigMessage(kMsgNoReplacement));
    return 0;
  }
  // Only the mapping keywords make a mapping rule: any other word would
  // write a directive of another kind (or none) through this page.
  bool known = false;
  for (std::string_view name : kMappingKeywords) known = known || EqualsIgnoringCase(keyword, name);
  if (!known && (form.IsInsert() || form.action == kReplaceLine)) {
    FailStatus(status, FormatText(ConfigMessage(kMsgNotMappingKeyword), {keyword}));
    return 0;
  }
  const std::string line =
      address.empty() ? FormatText("%s       %s  %s\n", {keyword, pattern, replacement})
                      : FormatText("%s       %s  %s  %s\n", {keyword, pattern, replacement, address});
  ApplyListChoice(cfg, SelectMixedRule(cfg, kMappingKeywords, form.list), form, line);
  return 0;
}

}  // namespace cfgout
