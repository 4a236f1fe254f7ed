#pragma once
// Decoding of a posted application/x-www-form-urlencoded body.

#include <cstdio>

#include "validate/form_variables.h"

namespace cfgout {

// Reads exactly `length` bytes from `in` and splits them into fields at '&'
// (empty fields are dropped), each field into name and value at its first
// '='. Values are decoded ('+' and %xx); names are kept as sent. A body
// shorter than `length` is padded with 0xFF bytes; when `complete` is given
// it tells whether all `length` bytes arrived (the front end refuses a short
// body instead of applying the padding). Empty list when `length` < 1 or the
// body holds no field.
FormArgList ReadArguments(long length, std::FILE* in = stdin, bool* complete = nullptr);

// Checks the CGI environment for a posted body. Sets *length_out to 0 first.
// Returns 1 when `method` is not null and REQUEST_METHOD is unset or differs
// from it ignoring case; 2 when CONTENT_LENGTH is unset or below 1 (its
// value is still stored); 0 with the length stored otherwise.
int CheckEnvironment(long* length_out, const char* method);

}  // namespace cfgout
