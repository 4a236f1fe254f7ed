#pragma once
// The dispatch table: what the front end does for each configuration page.
//
// One row per page index of the configuration page bundle: the help page,
// the output handler that applies a posted form, whether the configuration
// is written back after it, and the display handler. Every handler family
// has its own argument list; the rows adapt them to one calling shape,
// PageRequest, so adding a page is adding a row.

#include <memory>
#include <optional>
#include <string>

#include "cgi/request_lock.h"
#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "pages/server_package.h"
#include "validate/form_variables.h"

namespace cfgout {

// Everything a page's handlers may need, for one request.
struct PageRequest {
  const FormArgList& args;
  PageStatus& status;
  ConfigHandle& cfg;
  const TemplatePage& page;
  const ServerPackage& package;
  const std::string& serverRoot;
  const std::optional<std::string>& queryString;  // non-POST requests only
  bool isPost;
  // The exclusive lock a POST holds; released once the configuration has
  // been written back (or was not to be written), before the page is shown.
  ConfigLock* lock = nullptr;
};

using PageHandlerFn = int (*)(PageRequest& request);

struct DispatchRow {
  int index;             // the page's number in the configuration page bundle
  const char* helpPage;  // null = none
  PageHandlerFn output;  // called for a POST; null = nothing to apply
  bool writeBack;        // write the configuration back when output succeeded
  PageHandlerFn display;
  // A page whose requests run a sequence of their own instead of the
  // ordinary one (output on POST, write-back, display); null for most.
  PageHandlerFn sequence = nullptr;
};

// The row for a page index, or null (the default branch).
const DispatchRow* FindDispatchRow(int index);

// The answer for a page that cannot be shown: message 9 with `pageName` on
// the introduction page, without a help page.
void ShowPageNotFound(PageStatus& status, const std::string& pageName);

// Runs a page: the default branch (message 9 with `pageName` on the
// introduction page) when no row exists, else the row's sequence. Returns
// nothing; every outcome is in the status block and on the page.
void DispatchPage(int index, const std::string& pageName, PageRequest& request);

}  // namespace cfgout
