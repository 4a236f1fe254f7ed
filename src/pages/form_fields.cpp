#include "pages/form_fields.h"

#include "config/directive_access.h"
#include "nls/message_format.h"

namespace cfgout {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

std::string UpperCaseName(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = Upper(c);
  return upper;
}

bool SameFieldName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

std::string DirectiveValue(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

void ReplaceDirective(ConfigHandle& cfg, std::string_view keyword, std::string line) {
  LineList lines;
  lines.Append(std::move(line));
  HTTPDReplaceRules(cfg, HTTPDRuleToID(keyword), std::move(lines), 0);
}

void RemoveDirective(ConfigHandle& cfg, std::string_view keyword) {
  const int id = HTTPDRuleToID(keyword);
  HTTPDRemoveRules(cfg, id, HTTPDGetRules(cfg, id));
}

void ApplyDirectiveField(ConfigHandle& cfg, const FormArg& field) {
  const std::string_view value = FieldValue(field);
  if (value.empty()) {
    RemoveDirective(cfg, field.name);
    return;
  }
  // The name is written as sent: it names a directive only because it
  // passed the field table, whose names hold letters and digits only.
  ReplaceDirective(cfg, field.name,
                   FormatText("%s       %s\n", {std::string_view(field.name), DirectiveValue(value)}));
}

}  // namespace cfgout
