#include "cgi/dispatch.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include "cgi/messages.h"
#include "nls/message_lookup.h"
#include "nls/message_format.h"
#include "pages/basic_page.h"
#include "pages/protection_pages.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// Adapters from the common calling shape to each handler's own arguments.
int BasicOutput(PageRequest& r) { return BasicOutputHandler(r.args, r.status, r.cfg); }
int BasicDisplay(PageRequest& r) { return BasicDisplayHandler(r.page, r.status, r.cfg); }

int DocautosOutput(PageRequest& r) { return DocautosOutputHandler(r.args, r.status, r.cfg); }
int DocautosDisplay(PageRequest& r) { return DocautosDisplayHandler(r.page, r.status, r.cfg); }
int ProtectOutput(PageRequest& r) { return ProtectOutputHandler(r.args, r.status, r.cfg); }
int DocautosSequence(PageRequest& r);
int ProtectSequence(PageRequest& r);

// Rows in index order. Pages without a row take the default branch (message
// 9 on the introduction page) until their handlers exist. The protection
// list (15), which may show the protection form in the same response, and
// the protection form (75), whose output handler runs on GET too, run
// sequences of their own.
constexpr std::array kDispatchTable = {
    DispatchRow{8, "HLPBASIC", &BasicOutput, true, &BasicDisplay},
    DispatchRow{15, "HLPDOCAU", &DocautosOutput, true, &DocautosDisplay, &DocautosSequence},
    DispatchRow{75, "HLPDOCAU", &ProtectOutput, true, &DocautosDisplay, &ProtectSequence},
};

static_assert(std::is_sorted(kDispatchTable.begin(), kDispatchTable.end(),
                             [](const DispatchRow& a, const DispatchRow& b) { return a.index < b.index; }));

void WriteBack(PageRequest& request) {
  if (request.status.success == 1 && HTTPDConfigWrite(request.cfg) != 0) {
    SetStatusMessage(request.status, kStatusError,
                     ConfigMessage(10, "Error writing to configuration file"));
  }
}

void ReleaseLock(PageRequest& request) {
  if (request.lock != nullptr) request.lock->Release();
}

// The protection list. A GET shows it. A POST runs its output handler: a
// rejected request shows the list with the message, a delete is written
// back and shows the list, and an insert or edit request shows the
// protection form - followed by the list, in the same response, when the
// form reports an error.
int DocautosSequence(PageRequest& r) {
  PageStatus& status = r.status;
  if (!r.isPost) {
    ReleaseLock(r);
    return DocautosDisplay(r);
  }
  DocautosOutputHandler(r.args, status, r.cfg);
  if (EqualsIgnoringCase(status.messageType, kStatusError)) {
    ReleaseLock(r);
    return DocautosDisplay(r);
  }
  if (status.success == 1) {
    WriteBack(r);
    ReleaseLock(r);
    return DocautosDisplay(r);
  }
  ReleaseLock(r);
  status.helpPage = "HLPPROTE";
  status.helpTopic = "hltprote";
  std::unique_ptr<TemplatePage> form = GetHtmlPage(std::string_view("PROTECT"));
  if (!form) {
    ShowPageNotFound(status, "PROTECT");
    return 0;
  }
  ProtectDisplayHandler(*form, status, r.args, r.cfg);
  if (EqualsIgnoringCase(status.messageType, kStatusError)) DocautosDisplay(r);
  return 0;
}

// The protection form's POST: its output handler (which changes nothing
// for a request without fields), the write-back, then the list page. A GET
// runs the handler too but writes nothing back: it holds no lock, and an
// unlocked write of an unchanged configuration could undo a change that a
// concurrent POST has just written.
int ProtectSequence(PageRequest& r) {
  PageStatus& status = r.status;
  status.helpPage = "HLPDOCAU";
  status.helpTopic = "hltdocau";
  ProtectOutputHandler(r.args, status, r.cfg);
  if (r.isPost) WriteBack(r);
  ReleaseLock(r);
  std::unique_ptr<TemplatePage> list = GetHtmlPage(std::string_view("DOCAUTOS"));
  if (!list) {
    ShowPageNotFound(status, "DOCAUTOS");
    return 0;
  }
  DocautosDisplayHandler(*list, status, r.cfg);
  return 0;
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

  if (row->helpPage != nullptr) {
    status.helpPage = row->helpPage;
  } else {
    status.helpPage.reset();
  }
  if (row->sequence != nullptr) {
    row->sequence(request);
    return;
  }

  // The ordinary sequence: the output handler on a POST, the write-back
  // when it succeeded, then the page for GET and POST alike.
  if (request.isPost && row->output != nullptr) {
    row->output(request);
    if (row->writeBack) WriteBack(request);
  }
  if (request.lock != nullptr) request.lock->Release();
  row->display(request);
}

}  // namespace cfgout
