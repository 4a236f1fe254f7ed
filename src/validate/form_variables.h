#pragma once
// Decoded form fields and the table of form field names the program knows.
//
// Every posted field is looked up by name (ignoring case) in `varList`: the
// row gives the numeric code that output handlers dispatch on, and the
// validator, parameters and message number that ValidateField applies.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cfgout {

// One decoded field of a posted form, in body order.
struct FormArg {
  std::string name;                  // exactly as sent, never decoded
  std::optional<std::string> value;  // decoded; nullopt when the field had no "="
};
using FormArgList = std::vector<FormArg>;

// Validator signature: returns non-zero when `value` is acceptable. A
// parameter that a validator does not use is ignored (the table passes -1).
using FieldValidator = int (*)(const char* value, int param1, int param2);

struct FormVar {
  const char* name;       // upper case; the table is in strcmp order
  int code;               // unique; what output handlers switch on
  int (*validator)(const char* value, int param1, int param2);
  int param1;             // -1 = not used
  int param2;             // -1 = not used
  int messageId;          // message of set 1 reported when the value is rejected
};

inline constexpr int kFormVarCount = 490;

// The known form fields, sorted by name in byte order (strcmp).
extern const FormVar varList[kFormVarCount];

// The code of the row whose name equals `name` ignoring ASCII case, or -1.
int HashValue(std::string_view name);

// The row number (0..489) of that row, or -1.
int GetVarIndex(std::string_view name);

}  // namespace cfgout
