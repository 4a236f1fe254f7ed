#pragma once
// The field walk and directive writing that the output handlers share.
//
// Usage in an output handler:
//   BeginOutputHandler(status);
//   bool ok = WalkFormFields(args, status, [&](const FormArg& field, int code) {
//     switch (code) {
//       case kFieldFoo: ...; break;
//       default: ApplyDirectiveField(cfg, field); break;
//     }
//   });
//   if (!ok) return 0;   // a field was rejected; status says which

#include <string>
#include <string_view>

#include "config/config_file.h"
#include "html/page_status.h"
#include "runtime/ascii.h"
#include "validate/form_variables.h"
#include "validate/validators.h"

namespace cfgout {

// The field's value, or "" for a field sent without "=".
inline std::string_view FieldValue(const FormArg& field) {
  return field.value ? std::string_view(*field.value) : std::string_view();
}

// A value as it may stand in a directive line: every CR and LF becomes a
// blank, so no form value can end its line early and add lines of its own.
// Values without line breaks come back unchanged.
std::string DirectiveValue(std::string_view value);

// Walks the fields in form order. A field followed by a field of the same
// name (ignoring case) is skipped, so a hidden default followed by a check
// box of that name yields the check box's value. Each other field is
// validated (ValidateField, with an upper-case copy of its name, so that a
// message naming the field names it in upper case); the first rejected one
// is recorded with
// RejectField and ends the walk. Accepted fields go to
// apply(field, HashValue(name)). The walk also ends as soon as `apply`
// records a field error. Returns false when the walk ended on an error.
// Fields named `keepRepeats` (ignoring case; none when empty) are exempt
// from the pairing: each of a run of them is walked.
template <typename Apply>
bool WalkFormFields(const FormArgList& args, PageStatus& status, Apply&& apply, std::string_view keepRepeats = {}) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (HasFieldError(status)) return false;
    if (i + 1 < args.size() && EqualsIgnoringCase(args[i].name, args[i + 1].name) &&
        (keepRepeats.empty() || !EqualsIgnoringCase(args[i].name, keepRepeats))) {
      continue;
    }
    const FormArg& field = args[i];
    std::string upperName = field.name;
    UpperCaseInPlace(upperName);
    std::optional<std::string> message = field.value ? ValidateField(upperName, *field.value)
                                                     : ValidateField(FormArg{std::move(upperName), std::nullopt});
    if (message) {
      RejectField(status, std::move(*message));
      return false;
    }
    apply(field, HashValue(field.name));
  }
  return !HasFieldError(status);
}

// A field whose name is itself a directive keyword: an empty value removes
// every instance of the directive; any other value replaces all instances by
// the one line "<name>       <value>\n", the name spelled as the form sends
// it. Only the last file holding the directive is edited. A field whose name
// is no keyword of the directive table changes nothing.
void ApplyDirectiveField(ConfigHandle& cfg, const FormArg& field);

// Replaces every instance of `keyword` by the single line `line` (which ends
// in "\n"); only the last file holding the directive is edited.
void ReplaceDirective(ConfigHandle& cfg, std::string_view keyword, std::string line);

// Removes every instance of `keyword` from every file.
void RemoveDirective(ConfigHandle& cfg, std::string_view keyword);


}  // namespace cfgout
