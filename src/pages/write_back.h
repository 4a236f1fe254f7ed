#pragma once
// Writing a changed configuration back, and recording the change in the
// configuration's history.

#include <optional>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "history/change_history.h"
#include "html/page_status.h"
#include "validate/form_variables.h"

namespace cfgout {

// The note of a page's change: the page name, the names of the posted fields
// (each once, in form order), REMOTE_USER (or "unknown") and REMOTE_ADDR.
ChangeNote PageChangeNote(std::string_view page, const FormArgList& args);

// Why the configuration is shown but will not be changed: a file it names
// was refused (messages 190 and 192, with the file's name).
std::string RefusedFileMessage(const ConfigRefusedFile& file);

// The message for a write-back that the store refused before changing any
// file (messages 189, 190 and 191), or nullopt for an ordinary failure.
std::optional<std::string> WriteRefusalMessage(const ConfigWriteReport& report);

// Writes every file back; on failure the status shows message 10 (an error)
// - or, when the store refused before changing any file, the reason (an
// error that also clears success) - and false is returned. After a successful write the change is recorded;
// when that fails the change stands and the status shows message 200 (a
// warning) with the reason.
bool WriteBackAndRecord(ConfigHandle& cfg, PageStatus& status, const ChangeNote& note);

}  // namespace cfgout
