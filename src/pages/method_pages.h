#pragma once
// The method pages: which of the eight standard HTTP methods the server
// accepts, with an optional handler each ("METHENAB"), and the list of
// Enable lines for any other method ("USERMETH").

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Markers from 0: for each method i in the order GET, HEAD, POST, PUT,
// DELETE, OPTIONS, TRACE, CONNECT, marker 2i is "CHECKED" unless a Disable
// line names the method, marker 2i+1 its handler (escaped); marker 16 the
// status block; later markers "". Returns 0.
int MethenabDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Enables each method whose check box field is 1 and disables every other,
// rewriting, converting or adding exactly one Enable or Disable line per
// method. Returns 0.
int MethenabOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers from 0: the table of user-defined methods, the row choice
// (1..rows), the status block; later markers "". Returns 0.
int UsermethDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Inserts, replaces or deletes one Enable line of the user-defined methods
// (NEWMETHOD, NEWMETHODHANDLER, LIST, ACTION). Returns 0.
int UsermethOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
