#pragma once
// The access log filters page ("ACCCONF"): the URL, user agent and host
// patterns whose requests are not logged, kept one directive line per
// pattern, and the methods, media types and return codes left out of the
// access log, shown as check boxes.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Markers from 0: for the URL, user agent and host lists in turn, the
// numbered table and the row choice (0-5); the method, media type and
// return code check boxes (6-23); the status block (24); later markers "".
// Returns 0.
int AccconfDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Applies each check box at once, then each list's action (insert before or
// after, replace, delete) with the patterns typed for it. Returns 0.
int AccconfOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
