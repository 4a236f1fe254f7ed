#pragma once
// The proxy mapping page: which URLs the cache may keep (CacheOnly) or must
// not keep (NoCaching), shown together as one numbered list; the
// CacheQueries rules (a mode word and a URL pattern each) as a second list;
// and, where the product offers it, caching of local-domain files.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "pages/server_package.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the "PROXMAP" template: marker 0 the local-domain check box (or a
// comment where the product lacks it), 1 the CacheOnly/NoCaching rows, 2 the
// row chooser of that list, 3 the CacheQueries rows, 4 their row chooser,
// 5 the status block, later markers "". Returns 0.
int ProxmapDisplayHandler(const TemplatePage& page, PageStatus& status, const ServerPackage& package,
                          ConfigHandle& cfg);

// Applies a posted form: CacheLocalDomain, then the action on the
// CacheOnly/NoCaching list (ACTIONA: 1 or 2 add, 4 delete row LIST), then the
// action on the CacheQueries list (ACTIONC: 1 insert before, 2 insert after,
// 3 change, 4 delete row LISTC). Returns 0.
int ProxmapOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
