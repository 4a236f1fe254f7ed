#pragma once
// The types page ("ADDTYPE", AddType lines) and the encodings page
// ("ADDENCOD", AddEncoding lines): file-name suffixes and what the server
// reports for them, kept as numbered lists, plus whether suffixes compare
// with regard to case (SuffixCaseSense).

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Markers from 1: 1 and 2 the SuffixCaseSense off/on buttons, 3 the table
// of AddType lines (5 columns), 4 the row numbers, 5 the status block;
// later markers "". Returns 0.
int AddtypeDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// SUFFIXCASESENSE, and ADDTYPEA-E inserted, replacing or deleting the AddType
// line selected by LIST and ACTION. Returns 0.
int AddtypeOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// As the types page, over the AddEncoding lines (3 columns).
int AddencodDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// SUFFIXCASESENSE (when not empty), and ADDEXTENSION, ADDENCODING, QUALITY
// for the AddEncoding line selected by LIST and ACTION. Returns 0.
int AddencodOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
