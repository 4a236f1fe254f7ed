#include "cgi/dispatch.h"

#include <algorithm>
#include <array>

#include "cgi/messages.h"
#include "nls/message_lookup.h"
#include "nls/message_format.h"
#include "pages/access_log_page.h"
#include "pages/api_pages.h"
#include "pages/basic_page.h"
#include "pages/method_pages.h"

namespace cfgout {

namespace {

// Adapters from the common calling shape to each handler's own arguments.
int BasicOutput(PageRequest& r) { return BasicOutputHandler(r.args, r.status, r.cfg); }
int BasicDisplay(PageRequest& r) { return BasicDisplayHandler(r.page, r.status, r.cfg); }
int AccconfOutput(PageRequest& r) { return AccconfOutputHandler(r.args, r.status, r.cfg); }
int AccconfDisplay(PageRequest& r) { return AccconfDisplayHandler(r.page, r.status, r.cfg); }
int ApimapOutput(PageRequest& r) { return ApimapOutputHandler(r.args, r.status, r.cfg); }
int ApimapDisplay(PageRequest& r) { return ApimapDisplayHandler(r.page, r.status, r.cfg); }
int ApireqDisplay(PageRequest& r) { return ApireqDisplayHandler(r.page, r.status, r.queryString); }
int MethenabOutput(PageRequest& r) { return MethenabOutputHandler(r.args, r.status, r.cfg); }
int MethenabDisplay(PageRequest& r) { return MethenabDisplayHandler(r.page, r.status, r.cfg); }
int UsermethOutput(PageRequest& r) { return UsermethOutputHandler(r.args, r.status, r.cfg); }
int UsermethDisplay(PageRequest& r) { return UsermethDisplayHandler(r.page, r.status, r.cfg); }

// Rows in index order. Pages without a row take the default branch (message
// 9 on the introduction page) until their handlers exist. The two pages with
// a sequence of their own - the protection list (15), which may show the
// protection form in the same response, and the protection form (75), whose
// output handler runs on GET too - get that sequence with their handlers;
// until then they take the default branch like every page without a row.
constexpr std::array kDispatchTable = {
    DispatchRow{1, "HLPACCCO", &AccconfOutput, true, &AccconfDisplay},
    DispatchRow{5, "HLPAPIMA", &ApimapOutput, true, &ApimapDisplay},
    DispatchRow{6, nullptr, nullptr, false, &ApireqDisplay},
    DispatchRow{8, "HLPBASIC", &BasicOutput, true, &BasicDisplay},
    DispatchRow{70, "HLPMETHE", &MethenabOutput, true, &MethenabDisplay},
    DispatchRow{88, "HLPUSERM", &UsermethOutput, true, &UsermethDisplay},
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
