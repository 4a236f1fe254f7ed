#include "cgi/dispatch.h"

#include <algorithm>
#include <array>

#include "cgi/messages.h"
#include "nls/message_lookup.h"
#include "nls/message_format.h"
#include "pages/access_log_page.h"
#include "pages/api_pages.h"
#include "pages/basic_page.h"
#include "pages/performa_page.h"
#include "pages/proxexp_page.h"
#include "pages/proxgc_page.h"
#include "pages/proxy_cache_pages.h"
#include "pages/timeout_page.h"
#include "pages/history_page.h"
#include "pages/write_back.h"
#include "pages/method_pages.h"

namespace cfgout {

namespace {

// Adapters from the common calling shape to each handler's own arguments.
int BasicOutput(PageRequest& r) { return BasicOutputHandler(r.args, r.status, r.cfg); }
int BasicDisplay(PageRequest& r) { return BasicDisplayHandler(r.page, r.status, r.cfg); }
int PerformaOutput(PageRequest& r) {
  return PerformaOutputHandler(r.args, r.status, r.package.limitActiveThreads, r.package.maxActiveThreadsLimit, r.cfg);
}
int PerformaDisplay(PageRequest& r) { return PerformaDisplayHandler(r.page, r.status, r.cfg); }
int ProxbehaOutput(PageRequest& r) { return ProxbehaOutputHandler(r.status, r.args, r.package, r.cfg); }
int ProxbehaDisplay(PageRequest& r) { return ProxbehaDisplayHandler(r.page, r.status, r.package, r.cfg); }
int ProxcachOutput(PageRequest& r) { return ProxcachOutputHandler(r.status, r.args, r.package, r.cfg); }
int ProxcachDisplay(PageRequest& r) { return ProxcachDisplayHandler(r.page, r.status, r.package, r.cfg); }
int ProxexpOutput(PageRequest& r) { return ProxexpOutputHandler(r.args, r.status, r.cfg); }
int ProxexpDisplay(PageRequest& r) { return ProxexpDisplayHandler(r.page, r.status, r.cfg); }
int ProxgcOutput(PageRequest& r) { return ProxgcOutputHandler(r.args, r.status, r.cfg); }
int ProxgcDisplay(PageRequest& r) { return ProxgcDisplayHandler(r.page, r.status, r.package, r.cfg); }
int TimeoutOutput(PageRequest& r) { return TimeoutOutputHandler(r.status, r.args, r.cfg); }
int TimeoutDisplay(PageRequest& r) { return TimeoutDisplayHandler(r.page, r.status, r.cfg); }
int HistoryOutput(PageRequest& r) { return HistoryOutputHandler(r.args, r.status, r.cfg); }
int HistoryDisplay(PageRequest& r) { return HistoryDisplayHandler(r.page, r.status, r.cfg, r.queryString); }
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
    DispatchRow{74, "HLPPERFO", &PerformaOutput, true, &PerformaDisplay},
    DispatchRow{76, "HLPPROXB", &ProxbehaOutput, true, &ProxbehaDisplay},
    DispatchRow{77, "HLPPROXC", &ProxcachOutput, true, &ProxcachDisplay},
    DispatchRow{78, "HLPPROXE", &ProxexpOutput, true, &ProxexpDisplay},
    DispatchRow{79, "HLPPROXG", &ProxgcOutput, true, &ProxgcDisplay},
    DispatchRow{87, "HLPTIMEO", &TimeoutOutput, true, &TimeoutDisplay},
    DispatchRow{88, "HLPUSERM", &UsermethOutput, true, &UsermethDisplay},
    // The change history writes and records an undo itself.
    DispatchRow{89, nullptr, &HistoryOutput, false, &HistoryDisplay},
};

static_assert(std::is_sorted(kDispatchTable.begin(), kDispatchTable.end(),
                             [](const DispatchRow& a, const DispatchRow& b) { return a.index < b.index; }));

// Writes the configuration back after a successful output handler, and
// records the change in the configuration's history.
void WriteBack(PageRequest& request, std::string_view pageName) {
  if (request.status.success != 1) return;
  WriteBackAndRecord(request.cfg, request.status, PageChangeNote(pageName, request.args));
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
    if (row->writeBack) WriteBack(request, pageName);
  }
  if (request.lock != nullptr) request.lock->Release();
  row->display(request);
}

}  // namespace cfgout
