#include "cgi/dispatch.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include "cgi/messages.h"
#include "nls/message_lookup.h"
#include "nls/message_format.h"
#include "pages/access_log_page.h"
#include "pages/api_pages.h"
#include "pages/basic_page.h"
#include "pages/listing_logging_pages.h"
#include "pages/proxy_mapping_page.h"
#include "pages/proxy_server_pages.h"
#include "pages/restart_page.h"
#include "pages/user_pages.h"
#include "pages/directory_pages.h"
#include "pages/rule_list_pages.h"
#include "pages/type_encoding_pages.h"
#include "pages/performa_page.h"
#include "pages/proxexp_page.h"
#include "pages/proxgc_page.h"
#include "pages/proxy_cache_pages.h"
#include "pages/timeout_page.h"
#include "pages/history_page.h"
#include "pages/write_back.h"
#include "pages/method_pages.h"
#include "pages/protection_pages.h"
#include "runtime/ascii.h"

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
int AdduserOutput(PageRequest& r) { return AdduserOutputHandler(r.args, r.status, r.cfg); }
int ChkuserOutput(PageRequest& r) { return ChkuserOutputHandler(r.args, r.status); }
int ChpasswdOutput(PageRequest& r) { return ChpasswdOutputHandler(r.args, r.status); }
int DeluserOutput(PageRequest& r) { return DeluserOutputHandler(r.args, r.status); }
template <int PageIndex>
int UserDisplay(PageRequest& r) { return UserDisplayHandler(r.page, r.status, PageIndex, r.serverRoot); }
// The restart runs on GET and POST alike and never returns; as the display
// step it runs after the request lock is given up.
int RestartPage(PageRequest& r) { RestartOutputHandler(r.status); }
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
    DispatchRow{1, "HLPACCCO", &AccconfOutput, true, &AccconfDisplay},
    DispatchRow{2, "HLPADDEN", &AddencodOutput, true, &AddencodDisplay},
    DispatchRow{3, "HLPADDTY", &AddtypeOutput, true, &AddtypeDisplay},
    DispatchRow{kPageAddUser, "HLPADDUS", &AdduserOutput, false, &UserDisplay<kPageAddUser>},
    DispatchRow{5, "HLPAPIMA", &ApimapOutput, true, &ApimapDisplay},
    DispatchRow{6, nullptr, nullptr, false, &ApireqDisplay},
    DispatchRow{7, "HLPARCHI", &ArchiveOutput, true, &ArchiveDisplay},
    DispatchRow{8, "HLPBASIC", &BasicOutput, true, &BasicDisplay},
    DispatchRow{kPageCheckUser, "HLPCHKUS", &ChkuserOutput, false, &UserDisplay<kPageCheckUser>},
    DispatchRow{kPageChangePassword, "HLPCHPAS", &ChpasswdOutput, false, &UserDisplay<kPageChangePassword>},
    DispatchRow{kPageDeleteUser, "HLPDELUS", &DeluserOutput, false, &UserDisplay<kPageDeleteUser>},
    DispatchRow{14, "HLPDIRIC", &DiriconsOutput, true, &DiriconsDisplay},
    DispatchRow{15, "HLPDOCAU", &DocautosOutput, true, &DocautosDisplay, &DocautosSequence},
    DispatchRow{16, "HLPERRCU", &ErrcustOutput, true, &ErrcustDisplay},
    DispatchRow{65, "HLPINITP", &InitpageOutput, true, &InitpageDisplay},
    DispatchRow{66, "HLPLISTC", &ListcntsOutput, true, &ListcntsDisplay},
    DispatchRow{67, "HLPLMF", &LmfOutput, true, &LmfDisplay},
    DispatchRow{69, "HLPLOGFI", &LogfilesOutput, true, &LogfilesDisplay},
    DispatchRow{70, "HLPMETHE", &MethenabOutput, true, &MethenabDisplay},
    DispatchRow{71, "HLPMPFRU", &MpfruleOutput, true, &MpfruleDisplay},
    DispatchRow{74, "HLPPERFO", &PerformaOutput, true, &PerformaDisplay},
    DispatchRow{75, "HLPDOCAU", &ProtectOutput, true, &DocautosDisplay, &ProtectSequence},
    DispatchRow{76, "HLPPROXB", &ProxbehaOutput, true, &ProxbehaDisplay},
    DispatchRow{77, "HLPPROXC", &ProxcachOutput, true, &ProxcachDisplay},
    DispatchRow{78, "HLPPROXE", &ProxexpOutput, true, &ProxexpDisplay},
    DispatchRow{79, "HLPPROXG", &ProxgcOutput, true, &ProxgcDisplay},
    DispatchRow{80, "HLPPROXM", &ProxmapOutput, true, &ProxmapDisplay},
    DispatchRow{81, "HLPPROXP", &ProxproxOutput, true, &ProxproxDisplay},
    DispatchRow{82, "HLPPROXS", &ProxservOutput, true, &ProxservDisplay},
    DispatchRow{83, "HLPPROXT", &ProxtimeOutput, true, &ProxtimeDisplay},
    DispatchRow{84, nullptr, nullptr, false, &RestartPage},
    DispatchRow{85, "HLPSNMPM", &SnmpmibOutput, true, &SnmpmibDisplay},
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
    WriteBack(r, "DOCAUTOS");
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
  if (r.isPost) WriteBack(r, "PROTECT");
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
    if (row->writeBack) WriteBack(request, pageName);
  }
  if (request.lock != nullptr) request.lock->Release();
  row->display(request);
}

}  // namespace cfgout
