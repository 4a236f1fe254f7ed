#pragma once
// Writing a changed configuration back, and recording the change in the
// configuration's history.

#include <string_view>

#include "config/config_file.h"
#include "history/change_history.h"
#include "html/page_status.h"
#include "validate/form_variables.h"

namespace cfgout {

// The note of a page's change: the page name, the names of the posted fields
// (each once, in form order), REMOTE_USER (or "unknown") and REMOTE_ADDR.
ChangeNote PageChangeNote(std::string_view page, const FormArgList& args);

// Writes every file back; on failure the status shows message 10 (an error)
// and false is returned. After a successful write the change is recorded;
// when that fails the change stands and the status shows message 200 (a
// warning) with the reason.
bool WriteBackAndRecord(ConfigHandle& cfg, PageStatus& status, const ChangeNote& note);

}  // namespace cfgout
