#pragma once
// Field validation: the validators applied to submitted form values and the
// message that is reported when a value is rejected.
//
// Every validator returns 1 for an acceptable value and 0 otherwise. All of
// them except IsValidExceptionCodes trim leading and trailing white space
// first and accept an empty value. A null `value` is rejected by every
// validator except NoValidation.

#include <optional>
#include <string>
#include <string_view>

#include "validate/form_variables.h"

namespace cfgout {

// nullopt when `value` is valid for the field `name` (looked up ignoring
// case); otherwise the message to show. An unknown field name is rejected
// with message 116, which names the field (HTML-escaped).
std::optional<std::string> ValidateField(std::string_view name, std::string_view value);

// The same for a decoded form field; a field without "=" hands its
// validator a null value.
std::optional<std::string> ValidateField(const FormArg& arg);

// Message 13 of set 2 (a format with one %s) with message `number` of set 1
// in its %s; nullopt when either is missing from the catalogue.
std::optional<std::string> get_validation_msg(int number);

int NoValidation(const char* value = nullptr, int param1 = -1, int param2 = -1);

// Optional sign, decimal digits; within min..max unless both are 0.
int IsValidNumeric(const char* value, int min, int max);
// Digits only; with `list` non-zero digits and commas.
int IsValidPort(const char* value, int list, int unused = -1);
// Optional sign, digits, a required '.', digits; within min..max unless both are 0.
int IsValidFloat(const char* value, int min, int max);
int IsValidDir(const char* value, int wildcards, int unused = -1);
int IsValidFilename(const char* value, int wildcards, int pathRequired);
int IsValidURL(const char* value, int wildcards, int schemeFree);
// IsValidDir(value, p1) or else IsValidURL(value, p1, p2).
int IsValidDirURL(const char* value, int param1, int param2);
int IsValidHost(const char* value, int wildcards, int unused = -1);
// "forever", or pairs of a number and a unit word ("2 hours 30 min").
int IsValidEngTime(const char* value, int unused1 = -1, int unused2 = -1);
// HH:MM from 00:00 to 24:00.
int IsValidMilTime(const char* value, int unused1 = -1, int unused2 = -1);
// Begins with '.'.
int IsValidSuffix(const char* value, int unused1 = -1, int unused2 = -1);
// Letters, spaces and '.'; at least `minLength` characters when non-zero.
int IsValidAlpha(const char* value, int minLength, int unused = -1);
int IsValidAlphaNum(const char* value, int mail, int punctuation);
// Digits, '-', '(', ')' and spaces.
int IsValidPhone(const char* value, int unused1 = -1, int unused2 = -1);
// "%%CLIENT%%", "%%SERVER%%", or a letter then letters/digits, 8 at most.
int IsValidName(const char* value, int unused1 = -1, int unused2 = -1);
// Pairs of a number and the unit "M" or "K" ("1 M 512 K").
int IsValidMemSize(const char* value, int unused1 = -1, int unused2 = -1);
// Not trimmed: digits, spaces, tabs and commas.
int IsValidExceptionCodes(const char* value, int unused1 = -1, int unused2 = -1);

// Character predicates: 1 when `c` is not allowed. Bytes above 127 count as
// control characters.
int IsBadDirChar(char c, int wildcards);
int IsBadFileChar(char c);
int IsBadHostChar(char c);

// 1 when `s` contains '*'.
int IsWildcardPresent(std::string_view s);

// Writes "???" to the page; returns 1.
int GenQuestionMarks();

}  // namespace cfgout
