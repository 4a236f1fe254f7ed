#include "cgi/dispatch.h"

#include <algorithm>
#include <array>

#include "cgi/messages.h"
#include "nls/message_lookup.h"
#include "nls/message_format.h"
#include "pages/basic_page.h"
#include "pages/listing_logging_pages.h"
#include "pages/proxy_mapping_page.h"
#include "pages/proxy_server_pages.h"

namespace cfgout {

namespace {

// Adapters from the common calling shape to each handler's own arguments.
int BasicOutput(PageRequest& r) { return BasicOutputHandler(r.args, r.status, r.cfg); }
int BasicDisplay(PageRequest& r) { return BasicDisplayHandler(r.page, r.status, r.cfg); }
int ArchiveOutput(PageRequest& r) { return ArchiveOutputHandler(r.args, r.status, r.cfg); }
int ArchiveDisplay(PageRequest& r) { return ArchiveDisplayHandler(r.page, r.status, r.cfg); }
int ListcntsOutput(PageRequest& r) { return ListcntsOutputHandler(r.args, r.status, r.cfg); }
int ListcntsDisplay(PageRequest& r) { return ListcntsDisplayHandler(r.page, r.status, r.cfg); }
int LogfilesOutput(PageRequest& r) { return LogfilesOutputHandler(r.args, r.status, r.cfg); }
int LogfilesDisplay(PageRequest& r) { return LogfilesDisplayHandler(r.page, r.status, r.cfg); }
int ProxmapOutput(PageRequest& r) { return ProxmapOutputHandler(r.args, r.status, r.cfg); }
int ProxmapDisplay(PageRequest& r) { return ProxmapDisplayHandler(r.page, r.status, r.package, r.cfg); }
int ProxproxOutput(PageRequest& r) { return ProxproxOutputHandler(r.args, r.status, r.cfg); }
int ProxproxDisplay(PageRequest& r) { return ProxproxDisplayHandler(r.page, r.status, r.cfg); }
int ProxservOutput(PageRequest& r) { return ProxservOutputHandler(r.args, r.status, r.cfg); }
int ProxservDisplay(PageRequest& r) { return ProxservDisplayHandler(r.page, r.status, r.cfg); }
int ProxtimeOutput(PageRequest& r) { return ProxtimeOutputHandler(r.args, r.status, r.cfg); }
int ProxtimeDisplay(PageRequest& r) { return ProxtimeDisplayHandler(r.page, r.status, r.cfg); }
int SnmpmibOutput(PageRequest& r) { return SnmpmibOutputHandler(r.args, r.status, r.cfg); }
int SnmpmibDisplay(PageRequest& r) { return SnmpmibDisplayHandler(r.page, r.status, r.cfg); }

// Rows in index order. Pages without a row take the default branch (message
// 9 on the introduction page) until their handlers exist. The two pages with
// a sequence of their own - the protection list (15), which may show the
// protection form in the same response, and the protection form (75), whose
// output handler runs on GET too - get that sequence with their handlers;
// until then they take the default branch like every page without a row.
constexpr std::array kDispatchTable = {
    DispatchRow{7, "HLPARCHI", &ArchiveOutput, true, &ArchiveDisplay},
    DispatchRow{8, "HLPBASIC", &BasicOutput, true, &BasicDisplay},
    DispatchRow{66, "HLPLISTC", &ListcntsOutput, true, &ListcntsDisplay},
    DispatchRow{69, "HLPLOGFI", &LogfilesOutput, true, &LogfilesDisplay},
    DispatchRow{80, "HLPPROXM", &ProxmapOutput, true, &ProxmapDisplay},
    DispatchRow{81, "HLPPROXP", &ProxproxOutput, true, &ProxproxDisplay},
    DispatchRow{82, "HLPPROXS", &ProxservOutput, true, &ProxservDisplay},
    DispatchRow{83, "HLPPROXT", &ProxtimeOutput, true, &ProxtimeDisplay},
    DispatchRow{85, "HLPSNMPM", &SnmpmibOutput, true, &SnmpmibDisplay},
};

static_assert(std::is_sorted(kDispatchTable.begin(), kDispatchTable.end(),
                             [](const DispatchRow& a, const DispatchRow& b) { return a.index < b.index; }));

void WriteBack(PageRequest& request) {
  if (request.status.success == 1 && HTTPDConfigWrite(request.cfg) != 0) {
    SetStatusMessage(request.status, kStatusError,
                     ConfigMessage(10, "Error writing to configuration file"));
  }
}

}  // namespace

const DispatchRow* FindDispatchRow(int index) {
  auto it = std::lower_bound(kDispatchTable.begin(), kDispatchTable.end(), index,
                             [](const DispatchRow& row, int i) { return row.index < i; });
  return it != kDispatchTable.end() && it->index == index ? &*it : nullptr;
}

void ShowPageNotFound(PageStatus& status, const std::string& pageName) {
  status.helpPage.reset();
  FailStatus(status, PageNotFoundMessage(pageName));
  Cfg_IntroDisplayHandler(status);
}

void DispatchPage(int index, const std::string& pageName, PageRequest& request) {
  PageStatus& status = request.status;
  const DispatchRow* row = FindDispatchRow(index);
  if (row == nullptr) {
    ShowPageNotFound(status, pageName);
    return;
  }

  // The ordinary sequence: the output handler on a POST, the write-back
  // when it succeeded, then the page for GET and POST alike.
  if (row->helpPage != nullptr) {
    status.helpPage = row->helpPage;
  } else {
    status.helpPage.reset();
  }
  if (request.isPost && row->output != nullptr) {
    row->output(request);
    if (row->writeBack) WriteBack(request);
  }
  if (request.lock != nullptr) request.lock->Release();
  row->display(request);
}

}  // namespace cfgout
