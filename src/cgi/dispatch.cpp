#include "cgi/dispatch.h"

#include <algorithm>
#include <array>

#include "cgi/messages.h"
#include "nls/message_lookup.h"
#include "nls/message_format.h"
#include "pages/basic_page.h"
#include "pages/directory_pages.h"
#include "pages/rule_list_pages.h"
#include "pages/type_encoding_pages.h"

namespace cfgout {

namespace {

// Adapters from the common calling shape to each handler's own arguments.
int BasicOutput(PageRequest& r) { return BasicOutputHandler(r.args, r.status, r.cfg); }
int BasicDisplay(PageRequest& r) { return BasicDisplayHandler(r.page, r.status, r.cfg); }
int AddencodOutput(PageRequest& r) { return AddencodOutputHandler(r.args, r.status, r.cfg); }
int AddencodDisplay(PageRequest& r) { return AddencodDisplayHandler(r.page, r.status, r.cfg); }
int AddtypeOutput(PageRequest& r) { return AddtypeOutputHandler(r.args, r.status, r.cfg); }
int AddtypeDisplay(PageRequest& r) { return AddtypeDisplayHandler(r.page, r.status, r.cfg); }
int DiriconsOutput(PageRequest& r) { return DiriconsOutputHandler(r.args, r.status, r.cfg); }
int DiriconsDisplay(PageRequest& r) { return DiriconsDisplayHandler(r.page, r.status, r.cfg); }
int ErrcustOutput(PageRequest& r) { return ErrcustOutputHandler(r.args, r.status, r.cfg); }
int ErrcustDisplay(PageRequest& r) { return ErrcustDisplayHandler(r.page, r.status, r.cfg); }
int InitpageOutput(PageRequest& r) { return InitpageOutputHandler(r.args, r.status, r.cfg); }
int InitpageDisplay(PageRequest& r) { return InitpageDisplayHandler(r.page, r.status, r.cfg); }
int LmfOutput(PageRequest& r) { return LmfOutputHandler(r.args, r.status, r.cfg); }
int LmfDisplay(PageRequest& r) { return LmfDisplayHandler(r.page, r.status, r.cfg); }
int MpfruleOutput(PageRequest& r) { return MpfruleOutputHandler(r.args, r.status, r.cfg); }
int MpfruleDisplay(PageRequest& r) { return MpfruleDisplayHandler(r.page, r.status, r.cfg); }

// Rows in index order. Pages without a row take the default branch (message
// 9 on the introduction page) until their handlers exist. The two pages with
// a sequence of their own - the protection list (15), which may show the
// protection form in the same response, and the protection form (75), whose
// output handler runs on GET too - get that sequence with their handlers;
// until then they take the default branch like every page without a row.
constexpr std::array kDispatchTable = {
    DispatchRow{2, "HLPADDEN", &AddencodOutput, true, &AddencodDisplay},
    DispatchRow{3, "HLPADDTY", &AddtypeOutput, true, &AddtypeDisplay},
    DispatchRow{8, "HLPBASIC", &BasicOutput, true, &BasicDisplay},
    DispatchRow{14, "HLPDIRIC", &DiriconsOutput, true, &DiriconsDisplay},
    DispatchRow{16, "HLPERRCU", &ErrcustOutput, true, &ErrcustDisplay},
    DispatchRow{65, "HLPINITP", &InitpageOutput, true, &InitpageDisplay},
    DispatchRow{67, "HLPLMF", &LmfOutput, true, &LmfDisplay},
    DispatchRow{71, "HLPMPFRU", &MpfruleOutput, true, &MpfruleDisplay},
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
