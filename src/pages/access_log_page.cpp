#include "pages/access_log_page.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "pages/list_page_rows.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// A pattern list: one directive line per pattern. Each list writes its
// inserted lines, the first line of a replace and the further lines of a
// replace with keyword and pattern a fixed number of blanks apart.
struct PatternList {
  const char* keyword;
  int valueCode;
  int actionCode;
  int selectionCode;
  const char* insertFormat;
  const char* replaceFirstFormat;
  const char* replaceFurtherFormat;
};

constexpr std::array<PatternList, 3> kLists = {{
    {"AccessLogExcludeUrl", 30, 180, 2290, "AccessLogExcludeUrl       %s\n", "AccessLogExcludeUrl       %s\n",
     "AccessLogExcludeUrl       %s\n"},
    {"AccessLogExcludeUserAgent", 35, 200, 2310, "AccessLogExcludeUserAgent        %s\n",
     "AccessLogExcludeUserAgent      %s\n", "AccessLogExcludeUserAgent       %s\n"},
    {"NoLog", 2660, 190, 2300, "NoLog        %s\n", "NoLog       %s\n", "NoLog       %s\n"},
}};

// A check box: its directive line is the keyword and the box's value.
enum class BoxKind { kMethod, kMimeType, kReturnCode };

struct CheckBox {
  int code;
  BoxKind kind;
  const char* value;
};

const char* Keyword(BoxKind kind) {
  switch (kind) {
    case BoxKind::kMethod: return "AccessLogExcludeMethod";
    case BoxKind::kMimeType: return "AccessLogExcludeMimeType";
    case BoxKind::kReturnCode: return "AccessLogExcludeReturnCode";
  }
  return "";
}

const char* LineFormat(BoxKind kind) {
  switch (kind) {
    case BoxKind::kMethod: return "AccessLogExcludeMethod       %s\n";
    case BoxKind::kMimeType: return "AccessLogExcludeMimeType       %s\n";
    case BoxKind::kReturnCode: return "AccessLogExcludeReturnCode       %s\n";
  }
  return "";
}

// In the order of their display markers (6-23).
constexpr std::array<CheckBox, 18> kBoxes = {{
    {600, BoxKind::kMethod, "GET"},
    {620, BoxKind::kMethod, "PUT"},
    {610, BoxKind::kMethod, "POST"},
    {590, BoxKind::kMethod, "DELETE"},
    {460, BoxKind::kMimeType, "image/gif"},
    {470, BoxKind::kMimeType, "image/jpeg"},
    {480, BoxKind::kMimeType, "image/(other)"},
    {500, BoxKind::kMimeType, "text/html"},
    {520, BoxKind::kMimeType, "text/plain"},
    {510, BoxKind::kMimeType, "text/(other)"},
    {440, BoxKind::kMimeType, "application/*"},
    {450, BoxKind::kMimeType, "audio/*"},
    {530, BoxKind::kMimeType, "video/*"},
    {490, BoxKind::kMimeType, "(other)/(other)"},
    {630, BoxKind::kReturnCode, "200"},
    {640, BoxKind::kReturnCode, "300"},
    {650, BoxKind::kReturnCode, "400"},
    {660, BoxKind::kReturnCode, "500"},
}};

// The action, selection and patterns posted for one list.
struct ListRequest {
  int action = 0;
  int selection = 0;
  std::string patterns;
};

std::vector<std::string> SplitPatterns(std::string_view text) {
  std::vector<std::string> patterns;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of(" \r\n\t,", pos);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    if (stop > pos) patterns.emplace_back(text.substr(pos, stop - pos));
    pos = stop + 1;
  }
  return patterns;
}

// A value adds the box's line (unless one with the same words is there); an
// empty value removes every line with the box's own words.
void ApplyCheckBox(ConfigHandle& cfg, const CheckBox& box, std::string_view value) {
  const char* keyword = Keyword(box.kind);
  const int id = HTTPDRuleToID(keyword);
  if (value.empty()) {
    HTTPDRemoveRules(cfg, id, LineList::FromTexts({std::string(keyword) + " " + box.value}));
    return;
  }
  std::string posted = DirectiveValue(value);
  if (box.kind == BoxKind::kMethod) UpperCaseInPlace(posted);
  LineList line;
  line.Append(FormatText(LineFormat(box.kind), {posted}));
  HTTPDAddRules(cfg, id, std::move(line));
}

void ApplyList(ConfigHandle& cfg, const PatternList& list, const ListRequest& request) {
  const int id = HTTPDRuleToID(list.keyword);
  LineList lines = HTTPDGetRules(cfg, id);
  // The first line for a selection below 2; none past the last line.
  LineNode* selected = NthLine(lines, request.selection);
  const std::vector<std::string> patterns = SplitPatterns(request.patterns);

  switch (request.action) {
    case kInsertBefore:
    case kInsertAfter: {
      std::vector<std::string> texts;
      for (const std::string& p : patterns) texts.push_back(FormatText(list.insertFormat, {p}));
      InsertLines(cfg, selected, request.action, texts);
      break;
    }
    case kReplaceLine: {
      if (selected == nullptr || patterns.empty()) break;
      const std::string first = FormatText(list.replaceFirstFormat, {patterns.front()});
      selected->text = first;
      HTTPDReplaceRules(cfg, id, std::move(lines), 1);
      if (patterns.size() < 2) break;
      // The further patterns follow the replaced line, in the order typed.
      std::vector<std::string> texts;
      for (std::size_t i = 1; i < patterns.size(); ++i) texts.push_back(FormatText(list.replaceFurtherFormat, {patterns[i]}));
      // The replaced line is the instance with the first pattern's words.
      LineNode* replaced = nullptr;
      for (ConfigFile& file : cfg) {
        for (LineNode& line : file.lines) {
          if (replaced == nullptr && !line.continuation() && HTTPDRuleMatch(line.text, id) && RuleSame(line.text, first)) {
            replaced = &line;
          }
        }
      }
      InsertLinesAfter(replaced, texts);
      break;
    }
    case kDeleteLine: {
      if (request.selection == 0 || selected == nullptr) break;
      const std::string removed = selected->text;
      DropLine(lines, selected);
      if (!lines.empty()) {
        HTTPDReplaceRules(cfg, id, std::move(lines), 1);
      } else {
        HTTPDRemoveRules(cfg, id, LineList::FromTexts({removed}));
      }
      break;
    }
    default: break;
  }
}

}  // namespace

int AccconfDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  // One walk over the configuration for the whole page.
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"AccessLogExcludeUrl", "AccessLogExcludeUserAgent", "NoLog", "AccessLogExcludeMethod",
                                "AccessLogExcludeMimeType", "AccessLogExcludeReturnCode"});
  const ConfigHandle& cfg = *shown;
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    if (marker < 6) {
      const PatternList& list = kLists[static_cast<std::size_t>(marker / 2)];
      if (marker % 2 == 0) {
        rows = GenTableItems(line, list.keyword, 1, 1, cfg);
      } else {
        GenOptionString(line, 1, rows, 1);
      }
      return true;
    }
    if (marker < 24) {
      const CheckBox& box = kBoxes[static_cast<std::size_t>(marker - 6)];
      GenCheckedSetting(line, Keyword(box.kind), box.value, 0, 2, "CHECKED", cfg);
      return true;
    }
    if (marker == 24) {
      GenHeraldAppletParms(line, status);
      return true;
    }
    return false;
  });
  return 0;
}

int AccconfOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  std::array<ListRequest, kLists.size()> requests;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    for (const CheckBox& box : kBoxes) {
      if (code == box.code) {
        ApplyCheckBox(cfg, box, value);
        return;
      }
    }
    for (std::size_t i = 0; i < kLists.size(); ++i) {
      if (code == kLists[i].valueCode) requests[i].patterns = std::string(value);
      if (value.empty()) continue;
      if (code == kLists[i].actionCode) requests[i].action = AtoiSaturated(value);
      if (code == kLists[i].selectionCode) requests[i].selection = AtoiSaturated(value);
    }
  });
  if (!walked) return 0;
  for (std::size_t i = 0; i < kLists.size(); ++i) ApplyList(cfg, kLists[i], requests[i]);
  return 0;
}

}  // namespace cfgout
