#pragma once
// The Cache expiry page: how long unused documents are kept for HTTP, FTP
// and Gopher URLs, the default expiry of FTP and Gopher documents, whether
// expiry is checked, whether the cache answers without connecting, and the
// time margin. The per-protocol settings are directives with a URL pattern;
// each pattern's line is edited without touching the others.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the "PROXEXP" template. Markers 0-29 are five settings of six
// markers each - the number, then "SELECTED" or "" for the units month,
// day, hour, minute and second: unused HTTP, FTP and Gopher documents,
// default expiry of FTP and Gopher documents. Marker 30 is the expiry check,
// 31 the no-connect check box, 32 the time margin, 33 the status block,
// later markers "". Returns 0.
int ProxexpDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Applies a posted Cache expiry form. Returns 0.
int ProxexpOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
