#pragma once
// Directive keywords, directive identifiers and the token helpers used to
// take configuration lines apart and compare them.
//
// Usage:
//   int id = HTTPDRuleToID("Port");                 // 178; -1 for unknown names
//   if (HTTPDRuleMatch(line.text, id)) ...           // is this line a Port directive?
//   std::string value = GetField(line.text, 2);      // "80" of "Port 80\n"
//   if (RuleSame(line.text, "port 80")) ...          // same tokens, case and comments ignored
//
// Identifiers are indexes into RULESTR and are only ever obtained at run
// time through HTTPDRuleToID. Keywords and tokens compare ignoring ASCII
// case. The helpers treat their input as a C string: a NUL byte inside a
// line ends it for matching purposes. Pointer results point into the string
// passed in and stay valid while that string is unchanged; the overloads
// taking std::string or LineText refuse temporaries for that reason.

#include <cstddef>
#include <string>
#include <string_view>

#include "config/line_list.h"

namespace cfgout {

// Number of keywords; RULESTR[kRuleCount] is the null entry ending the table.
inline constexpr int kRuleCount = 246;

// The keyword table, lower case, in identifier order, ended by a null entry.
// "definepicsrule" and "defineserviceinfo" stand twice; "gc advisor" and
// "proxy advisor" hold a space.
extern const char* const RULESTR[kRuleCount + 1];

// The keyword of identifier `id` (a pointer into RULESTR), or null when `id`
// is negative or not below kRuleCount.
const char* HTTPDIDToRule(int id);

// The first identifier whose keyword equals `name` ignoring case, or -1
// (also for null or empty names).
int HTTPDRuleToID(const char* name);
int HTTPDRuleToID(std::string_view name);

// 1 when `line` is an instance of directive `id`, else 0. The first word
// after leading blanks (space, tab, CR, LF) must equal the keyword; "#" does
// not end that word, so a commented-out directive never matches. The two
// two-word keywords take exactly one separating character between their
// words, and an instance of "gc advisor"/"proxy advisor" is never an
// instance of "gc"/"proxy".
int HTTPDRuleMatch(const char* line, int id);
int HTTPDRuleMatch(const std::string& line, int id);
inline int HTTPDRuleMatch(const LineText& line, int id) { return HTTPDRuleMatch(line.c_str(), id); }

// 1 when the first tokens of `a` and `b` (after blanks, up to a blank, "#" or
// the end) are non-empty and equal ignoring case; else 0 (also for null).
int TokenMatch(const char* a, const char* b);

// The start of the token after the first token of `s`; null when there is
// none, when a "#" starts a comment before it, or for null.
const char* TokenNext(const char* s);
const char* TokenNext(const std::string& s);
const char* TokenNext(const std::string&&) = delete;
inline const char* TokenNext(const LineText& s) { return TokenNext(s.c_str()); }
const char* TokenNext(const LineText&&) = delete;

// 1 when the two strings hold the same sequence of tokens (case, runs of
// blanks and a trailing comment ignored); 0 otherwise, and for null or
// token-less strings.
int RuleSame(const char* line, const char* text);
int RuleSame(const std::string& line, const std::string& text);
inline int RuleSame(const LineText& line, const char* text) { return RuleSame(line.c_str(), text); }
inline int RuleSame(const LineText& line, const std::string& text) { return RuleSame(line.c_str(), text.c_str()); }
inline int RuleSame(const LineText& line, const LineText& text) { return RuleSame(line.c_str(), text.c_str()); }

// The first line of the chain starting at `list` for which
// RuleSame(line, text) holds, or null.
LineNode* RuleFound(const char* text, LineNode* list);
LineNode* RuleFound(const std::string& text, const LineList& list);

// Field `n` (from 1; below 2 means the first) of `s`, fields separated by
// runs of space, CR, LF and tab; the empty string when there are fewer
// fields or `s` is null. Quotes and "#" have no special meaning.
std::string GetField(const char* s, int n);
std::string GetField(const std::string& s, int n);
inline std::string GetField(const LineText& s, int n) { return GetField(s.c_str(), n); }

// The second field of `s` (fields separated by spaces and tabs only), or
// the end of the string when there is none; null for null.
const char* PointToNextField(const char* s);
const char* PointToNextField(const std::string& s);
const char* PointToNextField(const std::string&&) = delete;
inline const char* PointToNextField(const LineText& s) { return PointToNextField(s.c_str()); }
const char* PointToNextField(const LineText&&) = delete;

// Replaces in place every character of `s` that occurs in `set` by `ch`;
// with `ch` 0 the string is cut at the first such character. Returns 0.
int ConvertChars(std::string& s, std::string_view set, char ch);
int ConvertChars(char* s, const char* set, char ch);

}  // namespace cfgout
