#pragma once
// Generators for single form controls, filled from the current directives.
//
// Each Gen... function writes one template line (see GenHtmlLine) with its
// generated text in place of the line's "%s", and returns 0. They read the
// configuration through copies of the directive's occurrences and never
// change it.
//
// Escaping: every text taken from the configuration (or a default value
// handed in by the caller) is HTML-escaped (& < > " ') where it enters the
// page, so a value holding a double quote survives being shown in an
// attribute and submitted again. Markup the generators build themselves
// ("<OPTION>", "CHECKED", the caller's set word) is written as it is. For
// values without those five characters the output is the same as unescaped.

#include <optional>
#include <string>

#include "config/config_file.h"
#include "nls/message_lookup.h"  // ConfigMessage: messages of set 2 by name

namespace cfgout {

// The value of a text field: field `field` of the last occurrence of
// `directive`, or the rest of that line from field `field` when
// `restOfLine` is 1; CR and LF become spaces; leading and trailing blanks,
// tabs and double quotes are dropped. With no occurrence: `defaultValue`
// (null = empty), trimmed the same way.
int GenTextField(const char* line, const char* directive, int field, int restOfLine,
                 const char* defaultValue, const ConfigHandle& cfg);

// Like GenTextField over the occurrences with exactly two fields, and
// without trimming. `fieldCount` is accepted for its callers, who all pass
// 2: the count looked for is always two.
int GenTextFieldDirectiveWithNFields(const char* line, const char* directive, int fieldCount,
                                     int field, int restOfLine, const char* defaultValue,
                                     const ConfigHandle& cfg);

// "CHECKED" or "". Field 2 of the last occurrence is tested against the on
// words (ON YES OK ENABLE) when `onSense` is non-zero, else against the off
// words (OFF NO NONE DISABLE), ignoring case. With no occurrence the result
// is "CHECKED" exactly when `defaultSet` is non-zero.
int GenCheckedSettingOnOff(const char* line, const char* directive, int onSense, int defaultSet,
                           const ConfigHandle& cfg);

// `directiveAndValue` is "<keyword> [<second value>]". An occurrence matches when
// its field `field` starts with `match` (ignoring case, over the length of
// `match`) and, when a second value is given, its field 2 equals it ignoring
// case. `setWord` ("CHECKED", "SELECTED") when some occurrence matches, or
// when there is none and `defaultSet` is 1; else "".
int GenCheckedSetting(const char* line, const char* directiveAndValue, const char* match, int defaultSet,
                      int field, const char* setWord, const ConfigHandle& cfg);

// As GenCheckedSetting, testing only the last occurrence.
int GenSingleCheckedSetting(const char* line, const char* directiveAndValue, const char* match,
                            int defaultSet, int field, const char* setWord, const ConfigHandle& cfg);

// "<OPTION>low" ... "<OPTION>high" with "<OPTION SELECTED>n" for n ==
// `selected`, no separators; "<OPTION>0" when high is 0 or below low.
int GenOptionString(const char* line, int low, int high, int selected);

// The entries of the comma-separated `optionList` (empty entries skipped) as
// "<OPTION>entry", the one equal (ignoring case) to field 2 of the first
// occurrence, or to `defaultValue` when there is none, as
// "<OPTION SELECTED>entry". With both absent nothing is selected. A null
// list writes the line with "<OPTION>0".
int GenOptionList(const char* line, const char* directive, const char* optionList,
                  const char* defaultValue, const ConfigHandle& cfg);

// One option per occurrence, its field 2 as the text, the first one written
// selected; in reverse configuration order when `reverse` is 1. "" with no
// occurrence.
int GenSelectListItems(const char* line, const char* directive, int reverse, const ConfigHandle& cfg);

// Field 3 of the last occurrence whose rest of line from field 2 starts with
// `pattern` (ignoring case); "" when none does or either argument is null.
int GenCacheTimeoutSetting(const char* line, const char* directive, const char* pattern,
                           const ConfigHandle& cfg);

// Field `field` of the last occurrence, prefixed with "/cpicons/" when it
// holds neither '/' nor '\'; "" with no occurrence.
int GenMultiDirectiveText(const char* line, const char* directive, int field, const ConfigHandle& cfg);

// 1 when some occurrence has `value` as its field `field` (whole text,
// ignoring case); else 0.
int SearchForDirective(const char* directive, const char* value, int field, const ConfigHandle& cfg);

// Field `field` + 1 of the first occurrence whose field `field` is `value`
// (ignoring case); nullopt when there is none.
std::optional<std::string> SearchForHandler(const char* directive, const char* value, int field,
                                            const ConfigHandle& cfg);

// Reads a time span such as "1 hour 30 minutes" or "Proxy 2 hours": each
// number followed (after blanks) by 'h', 'm' or 's' is stored in hours,
// minutes or seconds. Outputs whose unit does not occur keep the value the
// caller gave them; a unit that occurs twice keeps the later number; other
// units store nothing. Returns 0.
int ParseTimeSpec(const char* text, int& hours, int& minutes, int& seconds);

// The first of " ' \ / + - * @ # $ % & ~ ^ that does not occur in `text`;
// '|' when the text is null or holds all of them.
char FindDelimeter(const char* text);

// Appends `list` to `buffer` in group notation: "," first when the buffer is
// not empty, then `prefix` (may be null), then the entries of the list
// (split at commas, CR, tabs and LF), separated by "," and enclosed in
// "(" ")" when the list holds a comma. In each entry ( ) " become spaces; an
// entry holding a space is put in double quotes. Nothing happens when the
// buffer is null or the list null or empty.
void AddToBuffer(std::string* buffer, const char* prefix, const char* list);

}  // namespace cfgout
