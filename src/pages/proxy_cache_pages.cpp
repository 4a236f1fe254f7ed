#include "pages/proxy_cache_pages.h"

#include <memory>
#include <string>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/directive_excerpt.h"
#include "pages/directive_list.h"
#include "pages/form_fields.h"

namespace cfgout {

namespace {

// Form-variable codes shared by both pages: the list action, the row it
// names, and the submit button.
constexpr int kFieldAction = 180;
constexpr int kFieldList = 2280;

// Proxy behaviour fields.
constexpr int kFieldIgnoreNoCache = 3010;
constexpr int kFieldCacheByIncomingUrl = 4620;
constexpr int kFieldContinueCaching = 4630;
constexpr int kFieldAggressiveCaching = 430;

// Proxy caching fields.
constexpr int kFieldCaching = 1040;
constexpr int kFieldCacheAccessLog = 770;
constexpr int kFieldBlockSize = 725;
constexpr int kFieldCacheMemory = 930;
constexpr int kFieldCacheMemoryUnit = 5020;
constexpr int kFieldCacheLimit = 880;
constexpr int kFieldCacheLimitUnit = 890;
constexpr int kFieldCacheDev = 825;

// The list part of a posted form: the action, the row and the new entries.
struct ListRequest {
  int action = 0;
  int row = 0;
  std::string text;

  // True when `code` was one of the list fields (and is now remembered).
  bool Take(int code, int textCode, std::string_view value) {
    if (code == kFieldAction) {
      if (!value.empty()) action = AtoiSaturated(value);
    } else if (code == kFieldList) {
      if (!value.empty()) row = AtoiSaturated(value);
    } else if (code == textCode) {
      text = std::string(value);
    } else {
      return false;
    }
    return true;
  }
};

// The numbered rows of a list and, at the next marker, the row chooser
// offering 1 to the number of rows.
struct ListTable {
  int rows = 0;
  void Rows(const char* line, const char* keywordList, const ConfigHandle& cfg) {
    rows = GenMultiTableItems(line, keywordList, 1, 1, cfg);
  }
  void Chooser(const char* line) const { GenOptionString(line, 1, rows, 1); }
};

// The reload-request control: a hidden "off" and a check box of the same
// name, so the later check box wins when ticked.
void GenIgnoreNoCacheControl(const char* line, const ServerPackage& package, const ConfigHandle& cfg) {
  if (package.ignoreNoCacheSupported != 1) {
    GenHtmlLine(line, "<!-- ProxyIgnoreNoCache not supported in this version of the product -->");
    return;
  }
  GenHtmlLine(line, ConfigMessage(kMsgIgnoreNoCacheHidden));
  // The message's "%%s" becomes the marker the check box generator fills.
  const std::string checkBox = FormatText(ConfigMessage(kMsgIgnoreNoCacheBox));
  GenCheckedSettingOnOff(checkBox.c_str(), "ProxyIgnoreNoCache", 1, 0, cfg);
}

}  // namespace

int ProxbehaDisplayHandler(const TemplatePage& page, PageStatus& status, const ServerPackage& package,
                           ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(
      config, {"ProxyIgnoreNoCache", "ContinueCaching", "CacheByIncomingUrl", "AggressiveCaching"});
  const ConfigHandle& cfg = *shown;
  ListTable table;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenIgnoreNoCacheControl(line, package, cfg); break;
      case 1: GenTextField(line, "ContinueCaching", 2, 0, "75", cfg); break;
      case 2: GenCheckedSettingOnOff(line, "CacheByIncomingUrl", 1, 0, cfg); break;
      case 3: table.Rows(line, "AggressiveCaching 0", cfg); break;
      case 4: table.Chooser(line); break;
      case 5: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxbehaOutputHandler(PageStatus& status, const FormArgList& args, [[maybe_unused]] ServerPackage package,
                          ConfigHandle& cfg) {
  BeginOutputHandler(status);

  ListRequest list;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    switch (code) {
      case kFieldIgnoreNoCache:
      case kFieldCacheByIncomingUrl:
      case kFieldContinueCaching: ApplyDirectiveField(cfg, field); break;
      default: list.Take(code, kFieldAggressiveCaching, FieldValue(field)); break;
    }
  });
  if (!walked) return 0;

  ApplyDirectiveListAction(cfg, "AggressiveCaching", list.action, list.row, list.text);
  return 0;
}

int ProxcachDisplayHandler(const TemplatePage& page, PageStatus& status, [[maybe_unused]] const ServerPackage& package,
                           ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(
      config, {"Caching", "CacheMemory", "BlockSize", "CacheFileSizeLimit", "CacheAccessLog", "CacheDev"});
  const ConfigHandle& cfg = *shown;
  ListTable table;
  static constexpr const char* kUnits[] = {"B", "K", "M", "G"};
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenCheckedSettingOnOff(line, "Caching", 1, 0, cfg); break;
      case 1: GenTextField(line, "CacheMemory", 2, 0, "", cfg); break;
      case 2:
      case 3:
      case 4:
      case 5: {
        const char* unit = kUnits[marker - 2];
        GenSingleCheckedSetting(line, "CacheMemory", unit, unit[0] == 'K' ? 1 : 0, 3, "SELECTED", cfg);
        break;
      }
      case 6: GenTextField(line, "BlockSize", 2, 0, "", cfg); break;
      case 7: GenTextField(line, "CacheFileSizeLimit", 2, 0, "4000", cfg); break;
      case 8:
      case 9:
      case 10:
      case 11: {
        const char* unit = kUnits[marker - 8];
        GenSingleCheckedSetting(line, "CacheFileSizeLimit", unit, unit[0] == 'K' ? 1 : 0, 3, "SELECTED", cfg);
        break;
      }
      case 12: GenTextField(line, "CacheAccessLog", 2, 0, "", cfg); break;
      case 13: table.Rows(line, "CacheDev 0", cfg); break;
      case 14: table.Chooser(line); break;
      case 15: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxcachOutputHandler(PageStatus& status, const FormArgList& args, [[maybe_unused]] ServerPackage package,
                          ConfigHandle& cfg) {
  BeginOutputHandler(status);

  std::string memorySize;
  std::string sizeLimit;
  ListRequest list;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string value = DirectiveValue(FieldValue(field));
    switch (code) {
      case kFieldCaching:
      case kFieldCacheAccessLog: ApplyDirectiveField(cfg, field); break;
      case kFieldBlockSize:
        if (!value.empty()) ReplaceDirective(cfg, "BlockSize", FormatText("BlockSize         %s\n", {value}));
        break;
      case kFieldCacheMemory:
        if (!value.empty()) memorySize = value;
        break;
      case kFieldCacheLimit:
        if (!value.empty()) sizeLimit = value;
        break;
      // A unit applies only when its size came earlier in the form.
      case kFieldCacheMemoryUnit:
        if (!value.empty() && !memorySize.empty()) {
          ReplaceDirective(cfg, "CacheMemory", FormatText("CacheMemory       %s %s\n", {memorySize, value}));
        }
        break;
      case kFieldCacheLimitUnit:
        if (!value.empty() && !sizeLimit.empty()) {
          ReplaceDirective(cfg, "CacheFileSizeLimit", FormatText("CacheFileSizeLimit       %s %s\n", {sizeLimit, value}));
        }
        break;
      default: list.Take(code, kFieldCacheDev, FieldValue(field)); break;
    }
  });
  if (!walked) return 0;

  ApplyDirectiveListAction(cfg, "CacheDev", list.action, list.row, list.text);
  return 0;
}

}  // namespace cfgout
