#include "pages/form_fields.h"

#include <algorithm>
#include <climits>

#include "config/directive_access.h"
#include "nls/message_format.h"

namespace cfgout {

std::string DirectiveValue(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

int FieldNumber(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && IsAsciiSpace(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  long long number = 0;
  for (; i < value.size() && IsAsciiDigit(value[i]); ++i) {
    number = number * 10 + (value[i] - '0');
    if (number > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) number = -number;
  return static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX));
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
