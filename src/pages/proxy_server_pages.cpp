#include "pages/proxy_server_pages.h"

#include <optional>
#include <string>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "pages/numbered_rows.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// ---- Upstream proxies ----------------------------------------------------------

constexpr int kFieldFtpProxy = 1810;
constexpr int kFieldGopherProxy = 1920;
constexpr int kFieldHttpProxy = 2050;
constexpr int kFieldNoProxy = 2690;

// The upstream proxy directives exist in a one-value form (keyword and URL)
// and in longer forms that route only some requests; this page owns the
// one-value form and leaves the others alone.
void ApplyUpstreamProxy(ConfigHandle& cfg, const char* keyword, std::string_view value) {
  // The page shows a one-value line's rest untrimmed (its line end as a
  // blank); blanks around a posted URL are not part of it.
  value = TrimAsciiSpace(value);
  const int id = HTTPDRuleToID(keyword);
  if (value.empty()) {
    HTTPDRemoveRules(cfg, id, HTTPDGetRulesWithNFields(cfg, id, 2));
    return;
  }
  LineList lines;
  lines.Append(FormatText("%s     %s\n", {keyword, DirectiveValue(value)}));
  HTTPDReplaceRulesWithNFields(cfg, id, 2, std::move(lines), 0);
}

// ---- Proxied protocols ---------------------------------------------------------

constexpr int kFieldBufferSizeUnit = 730;
constexpr int kFieldFtpProtocol = 1800;
constexpr int kFieldGopherProtocol = 1910;
constexpr int kFieldHttpProtocol = 2040;
constexpr int kFieldMaxContentLengthBuffer = 2480;
constexpr int kFieldPushButton = 3060;
constexpr int kFieldSslTunneling = 3740;

const char* ProtocolPattern(int code) {
  switch (code) {
    case kFieldHttpProtocol: return "http:*";
    case kFieldFtpProtocol: return "ftp:*";
    default: return "gopher:*";
  }
}

// True when some Proxy rule has `pattern` as its second field.
bool HasProxyRule(const ConfigHandle& cfg, std::string_view pattern) {
  const int id = HTTPDRuleToID("proxy");
  for (const ConfigFile& file : cfg) {
    for (const LineNode& line : file.lines) {
      if (HTTPDRuleMatch(line.text, id) == 1 && EqualsIgnoringCase(GetField(line.text, 2), pattern)) return true;
    }
  }
  return false;
}

// A ticked protocol adds its Proxy rule after the last one; the first Proxy
// rule goes before the first Pass rule (Pass rules would otherwise take the
// requests first), or to the end when there is none.
void AddProtocol(ConfigHandle& cfg, std::string_view pattern) {
  if (HasProxyRule(cfg, pattern)) return;
  const std::string value = DirectiveValue(pattern);
  if (const RowPosition last = FindLastInstance(cfg, HTTPDRuleToID("proxy"))) {
    InsertLineAfter(last.line, FormatText("Proxy   %s\n", {value}));
  } else if (const RowPosition pass = FindFirstInstance(cfg, HTTPDRuleToID("pass"))) {
    InsertLineBefore(pass, FormatText("Proxy    %s\n", {value}));
  } else {
    AppendToConfiguration(cfg, FormatText("Proxy    %s\n", {value}));
  }
}

// An unticked protocol removes the plain rules for its pattern; rules that
// say more (a target after the pattern) stay.
void RemoveProtocol(ConfigHandle& cfg, std::string_view pattern) {
  if (!HasProxyRule(cfg, pattern)) return;
  HTTPDRemoveRules(cfg, HTTPDRuleToID("proxy"), LineList::FromTexts({FormatText("Proxy   %s\n", {pattern})}));
}

// True when the second field of the line is CONNECT.
bool NamesConnect(const LineNode& line) { return EqualsIgnoringCase(GetField(line.text, 2), "CONNECT"); }

// Switching tunnelling on also enables the CONNECT method: a rule disabling
// it becomes the rule enabling it, in its place; without one, the Enable
// rule follows the last Disable rule (or goes to the end).
void EnableConnect(ConfigHandle& cfg) {
  const int enable = HTTPDRuleToID("enable");
  const int disable = HTTPDRuleToID("disable");
  RowPosition firstDisable, lastDisable;
  for (ConfigFile& file : cfg) {
    for (LineNode& line : file.lines) {
      if (HTTPDRuleMatch(line.text, enable) == 1 && NamesConnect(line)) return;
      if (HTTPDRuleMatch(line.text, disable) == 1) {
        if (!firstDisable && NamesConnect(line)) firstDisable = {&file, &line};
        lastDisable = {&file, &line};
      }
    }
  }
  constexpr std::string_view kEnableConnect = "Enable     CONNECT\n";
  if (firstDisable) {
    firstDisable.line->text = kEnableConnect;
  } else if (lastDisable) {
    InsertLineAfter(lastDisable.line, std::string(kEnableConnect));
  } else {
    AppendToConfiguration(cfg, kEnableConnect);
  }
}

// ---- Cache cleaning and maximum expiry ------------------------------------------

constexpr int kFieldActionB = 190;
constexpr int kFieldListB = 2300;
constexpr int kFieldCacheCleanTime = 790;
constexpr int kFieldTimeUnitA = 3940;
constexpr int kFieldCacheMaxExpiryUrl = 4640;
constexpr int kFieldCacheMaxExpiryTime = 4650;
constexpr int kFieldTimeUnitB = 3950;

constexpr int kInsertBefore = 1;
constexpr int kInsertAfter = 2;
constexpr int kChange = 3;
constexpr int kDelete = 4;

struct ExpiryForm {
  std::optional<std::string> cleanTime;
  std::string cleanUnit;
  std::string url, time, unit;
  std::optional<int> action, row;
};

void ApplyCacheClean(ConfigHandle& cfg, const ExpiryForm& form) {
  const RowPosition first = FindFirstInstance(cfg, HTTPDRuleToID("cacheclean"));
  if (!form.cleanTime || form.cleanTime->empty()) {
    if (first) RemoveRow(first);
    return;
  }
  std::string line = FormatText("CacheClean %s %s\n", {DirectiveValue(*form.cleanTime), DirectiveValue(form.cleanUnit)});
  if (first) {
    first.line->text = std::move(line);
  } else {
    AppendToConfiguration(cfg, line);
  }
}

void ApplyMaxExpiry(ConfigHandle& cfg, const ExpiryForm& form) {
  if (!form.action) return;
  // No row, or a row of 1 or less, chooses the first.
  const int rowNumber = form.row && *form.row > 1 ? *form.row : 1;
  const RowPosition chosen = FindNumberedRow(cfg, {HTTPDRuleToID("cachemaxexpiry")}, rowNumber);
  std::string line = FormatText("CacheMaxExpiry   %s  %s  %s\n",
                                {DirectiveValue(form.url), DirectiveValue(form.time), DirectiveValue(form.unit)});
  switch (*form.action) {
    case kInsertBefore:
    case kInsertAfter:
      if (form.time.empty()) return;
      if (!chosen) {
        AppendToConfiguration(cfg, line);
      } else if (*form.action == kInsertBefore) {
        InsertLineBefore(chosen, std::move(line));
      } else {
        InsertLineAfter(chosen.line, std::move(line));
      }
      break;
    case kChange:
      if (!form.time.empty() && chosen) chosen.line->text = std::move(line);
      break;
    case kDelete:
      if (chosen) RemoveRow(chosen);
      break;
    default: break;
  }
}

}  // namespace

int ProxproxDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"gopher_proxy", "ftp_proxy", "http_proxy", "no_proxy"});
  const ConfigHandle& cfg = *shown;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenTextFieldDirectiveWithNFields(line, "gopher_proxy", 2, 2, 1, "", cfg); break;
      case 1: GenTextFieldDirectiveWithNFields(line, "ftp_proxy", 2, 2, 1, "", cfg); break;
      case 2: GenTextFieldDirectiveWithNFields(line, "http_proxy", 2, 2, 1, "", cfg); break;
      case 3: GenTextField(line, "no_proxy", 2, 1, "", cfg); break;
      case 4: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxproxOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldHttpProxy: ApplyUpstreamProxy(cfg, "http_proxy", value); break;
      case kFieldFtpProxy: ApplyUpstreamProxy(cfg, "ftp_proxy", value); break;
      case kFieldGopherProxy: ApplyUpstreamProxy(cfg, "gopher_proxy", value); break;
      case kFieldNoProxy:
        if (TrimAsciiSpace(value).empty()) {
          RemoveDirective(cfg, "no_proxy");
        } else {
          ReplaceDirective(cfg, "no_proxy", FormatText("no_proxy     %s\n", {DirectiveValue(TrimAsciiSpace(value))}));
        }
        break;
      default: break;  // the submit button and fields of other pages
    }
  });
  return 0;
}

int ProxservDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"proxy", "ssltunneling", "maxcontentlengthbuffer", "proxyaccesslog"});
  const ConfigHandle& cfg = *shown;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenCheckedSetting(line, "Proxy", "http:*", 0, 2, "CHECKED", cfg); break;
      case 1: GenCheckedSetting(line, "Proxy", "ftp:*", 0, 2, "CHECKED", cfg); break;
      case 2: GenCheckedSetting(line, "Proxy", "Gopher:*", 0, 2, "CHECKED", cfg); break;
      case 3: GenCheckedSettingOnOff(line, "SSLTunneling", 1, 0, cfg); break;
      case 4: GenTextField(line, "MaxContentLengthBuffer", 2, 0, "", cfg); break;
      case 5: GenSingleCheckedSetting(line, "MaxContentLengthBuffer", "K", 1, 3, "SELECTED", cfg); break;
      case 6: GenSingleCheckedSetting(line, "MaxContentLengthBuffer", "M", 0, 3, "SELECTED", cfg); break;
      case 7: GenTextField(line, "ProxyAccessLog", 2, 0, "", cfg); break;
      case 8: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxservOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  std::string bufferSize;
  std::string bufferUnit;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldHttpProtocol:
      case kFieldFtpProtocol:
      case kFieldGopherProtocol:
        // A ticked box sends its pattern; the hidden field before it sends
        // nothing when it is not ticked (blanks count as nothing).
        if (!TrimAsciiSpace(value).empty()) {
          AddProtocol(cfg, TrimAsciiSpace(value));
        } else {
          RemoveProtocol(cfg, ProtocolPattern(code));
        }
        break;
      case kFieldSslTunneling:
        if (value.empty()) break;
        ReplaceDirective(cfg, field.name,
                         FormatText("%s       %s\n", {std::string_view(field.name), DirectiveValue(value)}));
        if (EqualsIgnoringCase(value, "ON")) EnableConnect(cfg);
        break;
      case kFieldMaxContentLengthBuffer: bufferSize = std::string(TrimAsciiSpace(value)); break;
      case kFieldBufferSizeUnit: bufferUnit = std::string(TrimAsciiSpace(value)); break;
      case kFieldPushButton: break;
      default: ApplyDirectiveField(cfg, field); break;
    }
  });
  if (!walked) return 0;
  if (!bufferSize.empty() && !bufferUnit.empty()) {
    ReplaceDirective(cfg, "MaxContentLengthBuffer",
                     FormatText("MaxContentLengthBuffer       %s %s\n",
                                {DirectiveValue(bufferSize), DirectiveValue(bufferUnit)}));
  }
  return 0;
}

int ProxtimeDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(config, {"cacheclean", "cachemaxexpiry"});
  const ConfigHandle& cfg = *shown;
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    static constexpr const char* kUnits[] = {"MON", "WEEK", "DAY", "HOUR", "MIN", "SEC"};
    switch (marker) {
      case 0: GenTextField(line, "CacheClean", 2, 0, "", cfg); break;
      case 1: case 2: case 3: case 4: case 5: case 6:
        // Weeks is the unit shown when no interval is set.
        GenSingleCheckedSetting(line, "CacheClean", kUnits[marker - 1], marker == 2 ? 1 : 0, 3, "SELECTED", cfg);
        break;
      case 7: rows = GenTableItems(line, "CacheMaxExpiry", 2, 1, cfg); break;
      case 8: GenOptionString(line, 1, rows, 1); break;
      case 9: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxtimeOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ExpiryForm form;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldCacheCleanTime: {
        std::string_view time = value;
        while (!time.empty() && IsAsciiSpace(time.front())) time.remove_prefix(1);
        form.cleanTime = std::string(time);
        break;
      }
      case kFieldTimeUnitA: form.cleanUnit = std::string(value); break;
      case kFieldCacheMaxExpiryUrl: form.url = std::string(value); break;
      case kFieldCacheMaxExpiryTime: form.time = std::string(value); break;
      case kFieldTimeUnitB: form.unit = std::string(value); break;
      case kFieldActionB:
        if (!value.empty()) form.action = AtoiSaturated(value);
        break;
      case kFieldListB:
        if (!value.empty()) form.row = AtoiSaturated(value);
        break;
      default: break;  // the submit button and fields of other pages
    }
  });
  if (!walked) return 0;
  ApplyCacheClean(cfg, form);
  ApplyMaxExpiry(cfg, form);
  return 0;
}

}  // namespace cfgout
