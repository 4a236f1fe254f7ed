#pragma once
// Pieces shared by the pages that edit a numbered list of directive lines:
// reading the number fields of a form, picking the selected line of a list,
// and inserting new lines next to it.
//
//   const int row = AtoiSaturated(FieldValue(field));       // LIST, ACTION, check boxes
//   LineList lines = HTTPDGetRules(cfg, id);
//   LineNode* selected = NthLine(lines, row);             // null past the end
//   InsertLines(cfg, selected, kInsertAfter, {"NoLog        a\n", "NoLog        b\n"});

#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/line_list.h"

namespace cfgout {

// Values of the ACTION fields of the list pages.
inline constexpr int kInsertBefore = 1;
inline constexpr int kInsertAfter = 2;
inline constexpr int kReplaceLine = 3;
inline constexpr int kDeleteLine = 4;


// Line `number` of `list`, counted from 1; the first line for a number below
// 2; null when the list has fewer lines (never a line past its end).
LineNode* NthLine(const LineList& list, int number);

// Inserts `texts` as configuration lines: the first before (`where` 1) or
// after (2) the first configuration line whose text equals `selected`'s
// (ignoring case), or after the last line of the last file when `selected`
// is null; each further text right after the line inserted before it.
// Returns the last line inserted, or null when nothing was.
LineNode* InsertLines(ConfigHandle& cfg, const LineNode* selected, int where, const std::vector<std::string>& texts);

// Inserts `texts` right after `after`, in order; nothing when `after` is
// null. Returns the last line inserted, or null.
LineNode* InsertLinesAfter(LineNode* after, const std::vector<std::string>& texts);

// `list` without `node` (one of its lines), which is freed.
void DropLine(LineList& list, LineNode* node);

}  // namespace cfgout
