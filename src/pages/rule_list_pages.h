#pragma once
// Three pages that each edit one ordered list of rule lines: the error pages
// page ("ERRCUST", ErrorPage lines), the last-modified factors page ("LMF",
// CacheLastModifiedFactor lines) and the mapping rules page ("MPFRULE", the
// Map, Pass, Fail, Exec, Redirect, Proxy, Service and NameTrans rules kept as
// one list in configuration order).

#include <string>

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Markers from 1: 1 the ErrorPage table, 2 its row numbers, 3 the status
// block. Returns 0.
int ErrcustDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
// ERRORPAGEA and ERRORPAGEB for the line selected by LIST and ACTION.
int ErrcustOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers from 1: 1 the CacheLastModifiedFactor table, 2 its row numbers,
// 3 the fraction choices (0.14 preselected), 4 the status block.
int LmfDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
// CACHELASTMODIFIEDPATTERN and CACHELASTMODIFIEDFRACTION for the line
// selected by LIST and ACTION; a fraction posted with a decimal comma is
// written with a point.
int LmfOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers from 1: 1 the table of mapping rules, 2 its row numbers, 3 the
// status block.
int MpfruleDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
// ACTIONA (the rule keyword), URLTEMPLATE, FILEPATH and IPADDRESS for the
// rule selected by LIST and ACTION.
int MpfruleOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// The fraction choices as the last-modified factors page lists them, for a
// locale whose decimal separator is `separator`: with ',' each value is
// written with character references for its comma and the digits after it
// ("0&#44&#49&#52" for 0,14); with anything else as in the configuration
// ("0.14"). "off" stays as it is.
std::string FractionChoices(char separator);

}  // namespace cfgout
