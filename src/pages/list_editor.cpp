#include "pages/list_editor.h"

#include <vector>

#include "config/directive_access.h"
#include "config/directive_names.h"
#include "nls/message_lookup.h"
#include "pages/form_fields.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// Form-variable codes of the two list-editor fields.
constexpr int kFieldAction = 170;
constexpr int kFieldList = 2280;

}  // namespace

bool ListChoice::Take(int code, std::string_view value) {
  if (code != kFieldAction && code != kFieldList) return false;
  if (!value.empty()) (code == kFieldAction ? action : list) = AtoiSaturated(value);
  return true;
}

int RequiredFieldsMissing(PageStatus& status) {
  FailStatus(status, ConfigMessage(kMsgRequiredFieldsMissing));
  return 0;
}

namespace {

// The list-th node (the first for list < 2), or the last one when the list
// has fewer.
LineNode* NthLineOrLast(const LineList& lines, int list) {
  LineNode* node = lines.first();
  for (int i = 1; node != nullptr && node->next != nullptr && i < list; ++i) node = node->next;
  return node;
}

}  // namespace

RuleList SelectRule(const ConfigHandle& cfg, std::string_view keyword, int list) {
  RuleList rules;
  rules.id = HTTPDRuleToID(keyword);
  rules.lines = HTTPDGetRules(cfg, rules.id);
  rules.selected = NthLine(rules.lines, list);
  return rules;
}

RuleList SelectMixedRule(const ConfigHandle& cfg, std::span<const std::string_view> keywords, int list) {
  std::vector<int> ids;
  for (std::string_view keyword : keywords) ids.push_back(HTTPDRuleToID(keyword));
  const LineList mixed = HTTPDGetMultiRules(cfg, ids);
  const LineNode* chosen = NthLineOrLast(mixed, list);
  RuleList rules;
  if (chosen == nullptr) return rules;

  // The selected line's own directive: the one its first word names.
  std::string_view text = chosen->text;
  std::size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t' || text[start] == '\r' ||
                                 text[start] == '\n')) {
    ++start;
  }
  std::size_t end = start;
  while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' && text[end] != '\n') ++end;
  rules.id = HTTPDRuleToID(text.substr(start, end - start));
  rules.lines = HTTPDGetRules(cfg, rules.id);
  for (LineNode& line : rules.lines) {
    if (EqualsIgnoringCase(line.text, chosen->text)) {
      rules.selected = &line;
      break;
    }
  }
  return rules;
}

void InsertRule(ConfigHandle& cfg, const RuleList& rules, std::string_view text, int action) {
  LinesAddStr(rules.selected != nullptr ? rules.selected->text.c_str() : nullptr, cfg, text, action);
}

bool ReplaceRule(ConfigHandle& cfg, RuleList rules, std::string text) {
  if (rules.selected == nullptr) return false;
  rules.selected->text = std::move(text);
  HTTPDReplaceRules(cfg, rules.id, std::move(rules.lines), 1);
  return true;
}

bool DeleteRule(ConfigHandle& cfg, RuleList rules) {
  if (rules.selected == nullptr) return false;
  const LineList removed = LineRemove(rules.lines, rules.selected);
  if (!rules.lines.empty()) {
    HTTPDReplaceRules(cfg, rules.id, std::move(rules.lines), 1);
  } else {
    HTTPDRemoveRules(cfg, rules.id, removed);
  }
  return true;
}

void ApplyListChoice(ConfigHandle& cfg, RuleList rules, const ListChoice& choice, std::string line) {
  switch (choice.action) {
    case kInsertBefore:
    case kInsertAfter: InsertRule(cfg, rules, line, choice.action); break;
    case kReplaceLine: ReplaceRule(cfg, std::move(rules), std::move(line)); break;
    case kDeleteLine:
      if (choice.list != 0) DeleteRule(cfg, std::move(rules));
      break;
    default: break;
  }
}

}  // namespace cfgout
