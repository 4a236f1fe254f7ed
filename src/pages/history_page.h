#pragma once
// The change history page: the latest changes of the configuration with
// their diffs, page by page, and an Undo button for each.

#include <optional>
#include <string>

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Changes shown per page.
inline constexpr int kHistoryPageSize = 50;

// Prints the "HISTORY" template: marker 0 the list of changes (page
// "page=N" of the query string, newest first), marker 1 the links to newer
// and older changes, marker 2 the status block. Returns 0.
int HistoryDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg,
                          const std::optional<std::string>& queryString);

// Undoes the change named by the field UNDO: the files that change modified
// get back the bytes they had before it, only when they still hold exactly
// what the change left. Writes and records the undo itself (its dispatch
// row has no write-back of its own). Returns 0.
int HistoryOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
