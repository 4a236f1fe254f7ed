#pragma once
// Four small pages whose fields are nearly all directives of the same name:
// - LISTCNTS: how directory listings look (the DirShow settings);
// - LOGFILES: the log files and where log messages go;
// - ARCHIVE: what happens to old logs (LogArchive) with its ages, sizes and
//   compression command;
// - SNMPMIB: the SNMP agent switch, its community and the webmaster's
//   address.

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Markers: 0-5 the DirShow check boxes (Date, Case, Size, Bytes, Hidden,
// Description), 6-8 the lengths (MaxDescrLength, MinLength, MaxLength),
// 9 status.
int ListcntsDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
int ListcntsOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers: 0 LogToSysLog, 1-5 the proxy access, cache access, access,
// error and event logs, 6 status.
int LogfilesDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
int LogfilesOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers: 0-2 the archive options COMPRESS, PURGE, NONE, 3-6 PurgeAge,
// PurgeSize, CompressAge, CompressDeleteAge, 7 CompressCommand, 8 status.
int ArchiveDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
int ArchiveOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers: 0 the SNMP switch, 1 the community, 2 the webmaster's address,
// 3 status.
int SnmpmibDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
int SnmpmibOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
