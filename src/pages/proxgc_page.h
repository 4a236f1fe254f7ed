#pragma once
// The Garbage collection page: whether cache garbage collection runs, its
// low and high water marks and, where the server package offers the
// choice, the cache algorithm.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "pages/server_package.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the "PROXGC" template: marker 0 the collection check box, 1 and 2
// the low and high water marks, 3 the algorithm chooser (written five times
// - table start, three options, table end - when the package offers the
// choice, else once with a hidden field), 4 the status block, later markers
// "". Returns 0.
int ProxgcDisplayHandler(const TemplatePage& page, PageStatus& status, const ServerPackage& package,
                         ConfigHandle& cfg);

// Applies a posted Garbage collection form. Returns 0.
int ProxgcOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// The algorithm the chooser preselects: the second word of the last
// cacheAlgorithm directive when it is bandwidth, responsetime or blend
// (ignoring case); else the package default when that is bandwidth or
// responsetime; else blend. Always one of the three, in lower case.
const char* CurrentCacheAlgorithm(const ConfigHandle& cfg, const ServerPackage& package);

}  // namespace cfgout
