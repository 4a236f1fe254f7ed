#include "pages/form_fields.h"


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

// Both go through the operations that remember where they wrote, so that a
// form setting many directives (or one directive many times) does not walk
// the configuration once per field.
void ReplaceDirective(ConfigHandle& cfg, std::string_view keyword, std::string line) {
  HTTPDReplaceRuleLine(cfg, HTTPDRuleToID(keyword), std::move(line));
}

void RemoveDirective(ConfigHandle& cfg, std::string_view keyword) {
  HTTPDRemoveAllRules(cfg, HTTPDRuleToID(keyword));
}

void ApplyDirectiveField(ConfigHandle& cfg, const FormArg& field) {
  // A field that names no directive (CURPASS, CURROW, RETRYINTV ...) has
  // been validated, but is never written: a line of an unknown keyword
  // could neither be found nor removed by any later request.
  if (HTTPDRuleToID(field.name) < 0) return;
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
