#pragma once
// The plug-in pages: the API request form for one processing step
// ("APIREQ", chosen by its number in the query string), whose entries are
// posted to the API mapping page ("APIMAP"), which lists every API step
// line and inserts, replaces or deletes one.

#include <optional>
#include <string>

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the API request page for the step whose number (1-18, read as atoi
// reads it; no query string counts as 0) the query string holds: the first
// marker line is printed once per piece of the step's block (hidden step
// field, heading, the table of the step's fields); for any other number the
// first marker line is left out. Later markers are "". Returns 0.
int ApireqDisplayHandler(const TemplatePage& page, PageStatus& status, const std::optional<std::string>& queryString);

// Markers from 0: the table of API step lines, the row choice (1..rows), the
// status block; later markers "". Returns 0.
int ApimapDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Builds the posted step's line and inserts it before or after the selected
// API line, replaces that line with it, or deletes the selected line.
// Returns 1 when a required field of the step is missing, else 0.
int ApimapOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
