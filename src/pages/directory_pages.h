#pragma once
// What the server shows for a directory request: the directory icons page
// ("DIRICONS": whether listings show icons, the four special icons and the
// AddIcon list) and the welcome pages page ("INITPAGE": the Welcome list of
// file names tried in order).

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Markers from 0: 0 DirShowIcons; 1-3, 4-6, 7-9, 10-12 URL, text and shown
// path of AddDirIcon, AddParentIcon, AddUnknownIcon, AddBlankIcon; 13 the
// AddIcon table; 14 its row numbers; 15 the status block. Returns 0.
int DiriconsDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// DirShowIcons, the special icons given with URL and text, and the AddIcon
// line selected by LIST and ACTION. Returns 0.
int DiriconsOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers from 1: 1 the Welcome table, 2 its row numbers, 3 the status block.
int InitpageDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// WELCOME and IPADDRESS for the Welcome line selected by LIST and ACTION.
int InitpageOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
