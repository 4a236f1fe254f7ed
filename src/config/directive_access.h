#pragma once
// Listing, adding, replacing and removing directive lines of the open
// configuration, and the small string helpers of the rule-block code.
//
// Usage:
//   int id = HTTPDRuleToID("Port");
//   LineList ports = HTTPDGetRules(cfg, id);              // copies; yours
//   LineList fresh = LineList::FromTexts({"Port       8080\n"});
//   HTTPDReplaceRules(cfg, id, std::move(fresh), 0);     // lines taken over
//   HTTPDRemoveRules(cfg, id, HTTPDGetRules(cfg, id));   // remove every instance
//
// Get operations return copies in chain order (main file first, each file
// from its first line); editing them changes nothing. Add and Replace take
// their input list over: lines that are inserted become configuration
// lines, lines that duplicate an existing instance (same tokens, see
// RuleSame) are dropped. Removed configuration lines are freed at once, so a
// pointer to a removed line must not be used afterwards. Every operation
// does nothing (and returns an empty list) when the main file has no lines.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/directive_names.h"
#include "config/line_list.h"

namespace cfgout {

// Copies of every instance of directive `id`, all files.
LineList HTTPDGetRules(const ConfigHandle& handle, int id);

// Copies of every line that is an instance of any listed directive, in file
// order. A 0 entry ends the list early (identifier 0 cannot be listed).
LineList HTTPDGetMultiRules(const ConfigHandle& handle, const std::vector<int>& ids);

// Calls `visit` with every line HTTPDGetMultiRules would copy, in the same
// order, without copying: for readers that only look at the lines. `visit`
// must not change the configuration.
void HTTPDVisitMultiRules(const ConfigHandle& handle, const std::vector<int>& ids,
                          const std::function<void(const LineNode&)>& visit);

// Copies of the instances whose field count (HTTPDFieldCount) is exactly n.
LineList HTTPDGetRulesWithNFields(const ConfigHandle& handle, int id, int n);

// Main file only: copies of the instances whose second token is not one of
// the standard methods get, head, post, put, delete, options, trace,
// connect (ignoring case). An instance without a second token is skipped.
LineList HTTPDGetUserMethodRules(const ConfigHandle& handle, int id);

// Main file only: copies of the instances that contain `text` anywhere
// (case-sensitive).
LineList HTTPDGetKRTRules(const ConfigHandle& handle, int id, std::string_view text);

// Removes, in every file, each instance of `id` that has the same tokens as
// some line of the chain starting at `list`. The list is left unchanged and
// returned (when its lines are themselves configuration lines, the returned
// pointer may have been freed by the removal and must not be used).
const LineNode* HTTPDRemoveRules(ConfigHandle& handle, int id, const LineNode* list);
void HTTPDRemoveRules(ConfigHandle& handle, int id, const LineList& list);

// Adds the lines of `list` that no existing instance equals (each instance
// drops at most one equal list line), in list order, right after the last
// instance of `id` in any file, or after the last line of the main file when
// there is none.
void HTTPDAddRules(ConfigHandle& handle, int id, LineList list);

// Makes the instances of `id` equal to the lines of `list`: instances equal
// to a list line stay untouched (spelling and comment kept), the others are
// removed, and the remaining list lines take the place of the earliest
// removed instance (or go where HTTPDAddRules puts them). With allFiles 0
// only the last file of the chain holding an instance is edited; with 1
// every file is. An empty list removes the instances.
void HTTPDReplaceRules(ConfigHandle& handle, int id, LineList list, int allFiles);

// Exactly HTTPDReplaceRules(handle, id, {line}, 0): every instance of `id`
// in the last file holding one is replaced by the single line `line`. The
// handle remembers where the line went, so that writing the same directive
// again, or removing it with HTTPDRemoveAllRules, needs no walk over the
// configuration while no line list has changed in any other way since: a
// form of thousands of fields stays linear in its size.
void HTTPDReplaceRuleLine(ConfigHandle& handle, int id, std::string line);

// Exactly HTTPDRemoveRules(handle, id, HTTPDGetRules(handle, id)): removes
// every instance of `id` from every file; remembered like
// HTTPDReplaceRuleLine.
void HTTPDRemoveAllRules(ConfigHandle& handle, int id);

// As HTTPDReplaceRules, counting as instances only the lines whose field
// count is exactly n.
void HTTPDReplaceRulesWithNFields(ConfigHandle& handle, int id, int n, LineList list, int allFiles);

// The field count of a line: 0 for an empty line or one starting with LF or
// "#"; otherwise the number of space/tab separated fields before the first
// field that starts with LF or "#" (trailing comment and terminator do not
// count).
int HTTPDFieldCount(const char* line);
int HTTPDFieldCount(const std::string& line);
inline int HTTPDFieldCount(const LineText& line) { return HTTPDFieldCount(line.c_str()); }

// The word at the start of `s` after any blanks (space, tab, LF, CR) and "@",
// up to the next blank, "@" or the end; nullopt for a null or empty `s`.
std::optional<std::string> getToken(const char* s);

// A copy of `s`; nullopt for a null or empty `s`.
std::optional<std::string> getLine(const char* s);

// Cuts `s` at the first occurrence of `ch`, if any.
void removeChar(std::string& s, char ch);

// Drops every leading double quote when `s` begins with one, then every
// trailing double quote; an empty result becomes " " (one space).
std::string StripQuotes(std::string_view s);

// Cuts `s` at its first CR or LF. Returns 0; a null char* is allowed.
int StripCRLF(std::string& s);
int StripCRLF(char* s);

}  // namespace cfgout
