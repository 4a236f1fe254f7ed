#pragma once
// The Performance page: the listen backlog, the number of active threads
// (capped by the server package on some products), the persistent-connection
// time-out and the number of requests per persistent connection.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the "PERFORMA" template: marker 0 the listen backlog, 1 the active
// threads, 2-4 the persistent time-out's hours, minutes and seconds, 5 the
// requests per persistent connection, 6 the status block, later markers "".
// Returns 0.
int PerformaDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Applies a posted Performance form. With `limitActiveThreads` 1 a thread
// count above `maxActiveThreadsLimit` is written as the limit and reported
// as a warning (type "2"), the change still being written. Returns 0.
int PerformaOutputHandler(const FormArgList& args, PageStatus& status, int limitActiveThreads,
                          int maxActiveThreadsLimit, ConfigHandle& cfg);

}  // namespace cfgout
