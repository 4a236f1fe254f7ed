#pragma once
// The Proxy behaviour page (client reload requests, caching by incoming URL,
// how much of a response is still cached after the client has gone, and the
// list of AggressiveCaching URL patterns) and the Proxy caching page
// (caching on or off, memory cache size, block size, largest cached file,
// cache access log, and the list of cache devices). Both lists are shown as
// numbered tables and edited by row number.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "pages/server_package.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the "PROXBEHA" template: marker 0 the reload-request control (a
// table row with a hidden default and a check box when the package supports
// it, else a comment), 1 how much is still cached (percent), 2 caching by
// incoming URL, 3 one table row per AggressiveCaching directive, 4 the row
// chooser, 5 the status block, later markers "". Returns 0.
int ProxbehaDisplayHandler(const TemplatePage& page, PageStatus& status, const ServerPackage& package,
                           ConfigHandle& cfg);

// Applies a posted Proxy behaviour form; the package is not used. Note the
// argument order: status block first. Returns 0.
int ProxbehaOutputHandler(PageStatus& status, const FormArgList& args, ServerPackage package, ConfigHandle& cfg);

// Prints the "PROXCACH" template: marker 0 caching on, 1 memory cache size,
// 2-5 its unit B, K, M, G, 6 block size, 7 largest cached file, 8-11 its
// unit, 12 cache access log, 13 one table row per CacheDev directive, 14 the
// row chooser, 15 the status block, later markers "". The package is not
// used. Returns 0.
int ProxcachDisplayHandler(const TemplatePage& page, PageStatus& status, const ServerPackage& package,
                           ConfigHandle& cfg);

// Applies a posted Proxy caching form; the package is not used. Returns 0.
int ProxcachOutputHandler(PageStatus& status, const FormArgList& args, ServerPackage package, ConfigHandle& cfg);

}  // namespace cfgout
