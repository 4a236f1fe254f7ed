#pragma once
// The list editor shared by the pages that keep an ordered list of directive
// lines (types, encodings, icons, welcome pages, error pages, last-modified
// factors, mapping rules).
//
// Such a page shows the lines as a numbered table; the form selects one by
// number (LIST, counted from 1 in configuration order over all files) and an
// action (ACTION: 1 insert before, 2 insert after, 3 replace, 4 delete).
//
//   ListChoice choice;                                  // in the field walk:
//   if (choice.Take(code, FieldValue(field))) return;   //   ACTION and LIST
//   ...                                                 // the page's own checks
//   ApplyListChoice(cfg, SelectRule(cfg, "AddType", choice.list), choice, line);
//
// A selection never reads past the list: a number beyond the last line
// selects nothing (or, for the mapping rules, the last line).

#include <span>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "config/line_list.h"
#include "html/page_status.h"
#include "pages/list_page_rows.h"  // the ACTION values and NthLine

namespace cfgout {

// The ACTION and LIST fields of a posted form; 0 when not given.
struct ListChoice {
  int action = 0;
  int list = 0;
  // Takes the field when `code` is ACTION or LIST (a non-empty value is read
  // with FieldNumber) and says whether it was one of them.
  bool Take(int code, std::string_view value);
  bool IsInsert() const { return action == kInsertBefore || action == kInsertAfter; }
};

// An entry the form left incomplete: message 2 "Required fields are missing
// - please reenter" as the page's error (type "3", success 0). Returns 0, the
// output handler's result.
int RequiredFieldsMissing(PageStatus& status);

// The lines of one directive (copies, in configuration order) and the one
// the form selected among them.
struct RuleList {
  int id = -1;                  // the directive's identifier
  LineList lines;               // copies of its instances
  LineNode* selected = nullptr; // a node of `lines`, or null
};

// The instances of `keyword`, and the first of them for `list` below 2, else
// the list-th; nothing is selected when there are fewer lines.
RuleList SelectRule(const ConfigHandle& cfg, std::string_view keyword, int list);

// The selected line of a list that mixes several directives (`keywords`, in
// configuration order): the first for `list` below 2, else the list-th,
// stopping at the last line when there are fewer. The result holds the
// instances of the selected line's own directive (its first word) and, as
// selected, the one whose text equals the selected line's ignoring case.
// Nothing is selected when no line of the keywords exists.
RuleList SelectMixedRule(const ConfigHandle& cfg, std::span<const std::string_view> keywords, int list);

// Inserts `text` before (action 1) or after (action 2) the configuration line
// whose text equals the selected line's, or at the end of the last
// configuration file when nothing is selected.
void InsertRule(ConfigHandle& cfg, const RuleList& rules, std::string_view text, int action);

// Rewrites the selected line with `text` and stores the directive's lines
// back over every file. Does nothing (returns false) when nothing is
// selected.
bool ReplaceRule(ConfigHandle& cfg, RuleList rules, std::string text);

// Takes the selected line out and stores the remaining lines back over every
// file, or removes the directive when no line of it remains. Does nothing
// (returns false) when nothing is selected.
bool DeleteRule(ConfigHandle& cfg, RuleList rules);

// The chosen action with the page's new line `line`: insert it (1, 2),
// replace the selected line by it (3), or delete the selected line (4, only
// with a LIST other than 0); any other action does nothing.
void ApplyListChoice(ConfigHandle& cfg, RuleList rules, const ListChoice& choice, std::string line);

}  // namespace cfgout
