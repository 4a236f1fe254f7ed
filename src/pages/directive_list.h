#pragma once
// A directive list edited by row number: pages that show every instance of
// one directive as a numbered table (rows counted from 1 in configuration
// order over all files) add new instances from a text field and delete the
// instance a row number names.

#include <string_view>

#include "config/config_file.h"
#include "config/line_list.h"

namespace cfgout {

// What the page's ACTIONA field asks for.
inline constexpr int kListActionInsertBefore = 1;
inline constexpr int kListActionInsertAfter = 2;
inline constexpr int kListActionDelete = 4;

// One line "<keyword padded to 28> <piece>\n" per piece of `text`, split at
// commas, blanks, LF, CR and tabs (empty pieces skipped), in text order.
LineList DirectiveListLines(std::string_view keyword, std::string_view text);

// Removes the `row`-th instance of `keyword` (from 1, in configuration
// order over all files). A row below 1 or beyond the last instance removes
// nothing. Returns true when a line was removed.
bool RemoveDirectiveRow(ConfigHandle& cfg, std::string_view keyword, int row);

// The list step of an output handler after its field walk: actions 1 and 2
// add the pieces of `text` after the last instance (pieces equal to an
// existing instance are dropped); action 4 removes row `row`; any other
// action does nothing.
void ApplyDirectiveListAction(ConfigHandle& cfg, std::string_view keyword, int action, int row,
                              std::string_view text);

}  // namespace cfgout
