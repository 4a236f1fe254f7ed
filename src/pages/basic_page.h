#pragma once
// The Basic settings page: host name, address binding, ports, administration
// port, server root, client name look-up, the account the server runs as,
// its process-id file, server-side includes and the environment of the
// programs it starts.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the "BASIC" template with the current settings: markers 0-18 are
// the form controls, marker 19 the status block, later markers "". Returns 0.
int BasicDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Applies a posted Basic form to the configuration in memory and reports in
// `status`. Returns 0, or 1 after a port error (blank port list, or a port
// equal to the administration port).
int BasicOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// The value shown in the port field: the values of every Port directive in
// configuration order, joined with ","; "80" when there is none. Raw text
// (the caller escapes it for the page).
std::string BasicPortList(const ConfigHandle& cfg);

}  // namespace cfgout
