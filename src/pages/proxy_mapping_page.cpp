#include "pages/proxy_mapping_page.h"

#include <optional>
#include <string>
#include <vector>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/directive_excerpt.h"
#include "pages/directive_list.h"
#include "pages/form_fields.h"
#include "pages/numbered_rows.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// Form-variable codes of this page's fields.
constexpr int kFieldAction = 170;       // CacheQueries mode word
constexpr int kFieldActionA = 180;      // action on the CacheOnly/NoCaching list
constexpr int kFieldActionB = 190;      // keyword of the lines to add to it
constexpr int kFieldActionC = 200;      // action on the CacheQueries list
constexpr int kFieldLocalDomain = 900;  // CACHELOCALDOMAIN
constexpr int kFieldCacheOnly = 960;    // patterns for the first list
constexpr int kFieldCacheQueries = 965; // patterns for the CacheQueries list
constexpr int kFieldList = 2280;        // row of the first list
constexpr int kFieldListC = 2310;       // row of the CacheQueries list

constexpr int kInsertBefore = 1;
constexpr int kInsertAfter = 2;
constexpr int kChange = 3;
constexpr int kDelete = 4;

// What the walk collects for the two list actions.
struct MappingForm {
  std::optional<int> actionA, actionC, list, listC;
  std::string keyword;  // ACTIONB
  std::string cacheOnly;
  std::string cacheQueries;
  std::string mode;  // ACTION
};

void SetNumber(std::optional<int>& slot, std::string_view value) {
  if (!value.empty()) slot = AtoiSaturated(value);
}

void ApplyFirstList(ConfigHandle& cfg, const MappingForm& form) {
  if (!form.actionA) return;
  if (*form.actionA == kInsertBefore || *form.actionA == kInsertAfter) {
    // Only the two directives the list shows can be added through it: the
    // keyword comes from the form, and any other keyword would let the form
    // write arbitrary directives.
    if (!EqualsIgnoringCase(form.keyword, "CacheOnly") && !EqualsIgnoringCase(form.keyword, "NoCaching")) return;
    LineList lines = DirectiveListLines(form.keyword, form.cacheOnly);
    if (!lines.empty()) HTTPDAddRules(cfg, HTTPDRuleToID(form.keyword), std::move(lines));
  } else if (*form.actionA == kDelete && form.list) {
    const RowPosition row =
        FindNumberedRow(cfg, {HTTPDRuleToID("cacheonly"), HTTPDRuleToID("nocaching")}, *form.list);
    if (row) RemoveRow(row);
  }
}

std::string CacheQueriesLine(std::string_view mode, std::string_view pattern) {
  return FormatText("CacheQueries     %s  %s\n", {mode, pattern});
}

void ApplyCacheQueries(ConfigHandle& cfg, const MappingForm& form) {
  if (!form.actionC) return;
  const int id = HTTPDRuleToID("cachequeries");
  const int action = *form.actionC;
  // LISTC 1, below 1 or absent all choose the first row.
  const int rowNumber = form.listC && *form.listC > 1 ? *form.listC : 1;
  const std::vector<std::string> patterns = SplitPatterns(form.cacheQueries);
  const std::string mode = DirectiveValue(TrimAsciiSpace(form.mode));

  if (action == kInsertBefore || action == kInsertAfter) {
    if (patterns.empty() || mode.empty()) return;
    const RowPosition chosen = FindNumberedRow(cfg, {id}, rowNumber);
    // The first line goes next to the chosen row, every further one after
    // the line placed before it, so the lines keep the order of the text.
    LineNode* placed = nullptr;
    for (const std::string& pattern : patterns) {
      std::string line = CacheQueriesLine(mode, pattern);
      if (placed != nullptr) {
        placed = InsertLineAfter(placed, std::move(line));
      } else if (!chosen) {
        // No such row (or no CacheQueries rule at all): to the end.
        placed = AppendToConfiguration(cfg, line);
      } else if (action == kInsertBefore) {
        placed = InsertLineBefore(chosen, std::move(line));
      } else {
        placed = InsertLineAfter(chosen.line, std::move(line));
      }
      if (placed == nullptr) return;
    }
  } else if (action == kChange) {
    if (patterns.empty() || mode.empty()) return;
    const RowPosition chosen = FindNumberedRow(cfg, {id}, rowNumber);
    if (!chosen) return;
    std::string line = CacheQueriesLine(mode, patterns[0]);
    // A row that already says the same (same words, ignoring case and
    // blanks) keeps its own spelling and comment.
    if (RuleSame(chosen.line->text, line) != 1) chosen.line->text = std::move(line);
    LineNode* placed = chosen.line;
    for (std::size_t i = 1; i < patterns.size(); ++i) {
      placed = InsertLineAfter(placed, CacheQueriesLine(mode, patterns[i]));
    }
  } else if (action == kDelete) {
    if (!form.listC) return;
    const RowPosition chosen = FindNumberedRow(cfg, {id}, rowNumber);
    if (chosen) RemoveRow(chosen);
  }
}

}  // namespace

int ProxmapDisplayHandler(const TemplatePage& page, PageStatus& status, const ServerPackage& package,
                          ConfigHandle& config) {
  // One walk over the configuration for every control and both lists.
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"cachelocaldomain", "cacheonly", "nocaching", "cachequeries"});
  const ConfigHandle& cfg = *shown;
  int firstRows = 0;
  int queryRows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0:
        if (package.ignoreNoCacheSupported == 1) {
          GenHtmlLine(line, ConfigMessage(kMsgLocalDomainHidden));
          // Formatting turns the message's "%%s" into the "%s" the check box
          // generator fills.
          const std::string checkBox = FormatText(ConfigMessage(kMsgLocalDomainBox));
          GenCheckedSettingOnOff(checkBox.c_str(), "CacheLocalDomain", 1, 1, cfg);
        } else {
          GenHtmlLine(line, "<!-- CacheLocalDomain not supported in this version of the product -->");
        }
        break;
      case 1: firstRows = GenMultiTableItems(line, "CacheOnly NoCaching 0", 2, 0, cfg); break;
      case 2: GenOptionString(line, 1, firstRows, 1); break;
      case 3: queryRows = GenMultiTableItems(line, "CacheQueries 0", 2, 1, cfg); break;
      case 4: GenOptionString(line, 1, queryRows, 1); break;
      case 5: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxmapOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  MappingForm form;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldLocalDomain: ApplyDirectiveField(cfg, field); break;
      case kFieldAction: form.mode = std::string(value); break;
      case kFieldActionA: SetNumber(form.actionA, value); break;
      case kFieldActionB: form.keyword = std::string(TrimAsciiSpace(value)); break;
      case kFieldActionC: SetNumber(form.actionC, value); break;
      case kFieldCacheOnly: form.cacheOnly = std::string(value); break;
      case kFieldCacheQueries: form.cacheQueries = std::string(value); break;
      case kFieldList: SetNumber(form.list, value); break;
      case kFieldListC: SetNumber(form.listC, value); break;
      default: break;  // the submit button and fields of other pages
    }
  });
  if (!walked) return 0;
  ApplyFirstList(cfg, form);
  ApplyCacheQueries(cfg, form);
  return 0;
}

}  // namespace cfgout
