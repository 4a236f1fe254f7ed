#include "cgi/request.h"

#include <cstdlib>
#include <memory>
#include <optional>

#include "cgi/cross_site.h"
#include "cgi/dispatch.h"
#include "cgi/form_decoding.h"
#include "cgi/messages.h"
#include "nls/message_lookup.h"
#include "cgi/request_lock.h"
#include "cgi/request_limits.h"
#include "config/config_file.h"
#include "html/output.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "pages/server_package.h"
#include "pages/write_back.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// The configuration of a request whose process ends with it: reachable
// until then. Volatile: the store must stay, so that leak checkers see it.
ConfigHandle* volatile g_keptForExit = nullptr;

constexpr const char* kCgiHeader = "Content-type: text/html\nPragma: no-cache\n\n";

// The page that restarts the server on any method.
constexpr int kRestartPageIndex = 84;

std::string_view EnvView(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string_view(value) : std::string_view();
}

// A POST, and a restart on any method, acts with the administrator's login;
// one that a page of another site made the browser send is refused.
bool IsRefusedCrossSite(bool isPost) {
  if (!isPost) {
    const char* pathInfo = std::getenv("PATH_INFO");
    if (pathInfo == nullptr || IndexFromHtmlName(PageNameFromPathInfo(pathInfo)) != kRestartPageIndex) {
      return false;
    }
  }
  RequestSite site;
  site.host = EnvView("HTTP_HOST");
  site.origin = EnvView("HTTP_ORIGIN");
  site.referer = EnvView("HTTP_REFERER");
  site.https = EqualsIgnoringCase(EnvView("HTTPS"), "on") || EqualsIgnoringCase(EnvView("REQUEST_SCHEME"), "https");
  return IsCrossSiteRequest(site);
}

// An environment failure: the introduction page with the message, and the
// end of the request.
void ShowEnvironmentError(PageStatus& status, ConfigMsg message, bool clearSuccess) {
  SetStatusMessage(status, kStatusError, ConfigMessage(message));
  status.helpPage.reset();
  if (clearSuccess) status.success = 0;
  Cfg_IntroDisplayHandler(status);
}

}  // namespace

std::string PageNameFromPathInfo(std::string_view pathInfo) {
  std::size_t cut = pathInfo.rfind('/');
  if (cut == std::string_view::npos) cut = pathInfo.rfind('\\');
  if (cut == std::string_view::npos) return "QTX_INTRO";
  return std::string(pathInfo.substr(cut + 1));
}

int RunCgiRequest(std::FILE* body, AfterRequest after) {
  PageStatus status = MakeInitialPageStatus();
  GenHtmlLine(kCgiHeader, nullptr);

  const char* packageType = std::getenv("PACKAGE_TYPE");
  if (packageType == nullptr) {
    ShowEnvironmentError(status, kMsgNoPackageType, false);
    return 0;
  }
  const ServerPackage& package = SelectServerPackage(packageType);

  const char* serverRootEnv = std::getenv("SERVER_ROOT");
  if (serverRootEnv == nullptr) {
    ShowEnvironmentError(status, kMsgNoServerRoot, false);
    return 0;
  }
  const std::string serverRoot = serverRootEnv;

  const char* method = std::getenv("REQUEST_METHOD");
  const bool isPost = method != nullptr && EqualsIgnoringCase(method, "POST");
  FormArgList args;
  std::optional<std::string> queryString;
  // Before a byte of the body is read, the lock is taken or anything is run.
  if (IsRefusedCrossSite(isPost)) {
    ShowEnvironmentError(status, kMsgForeignOrigin, true);
    return 0;
  }
  if (isPost) {
    const char* contentLength = std::getenv("CONTENT_LENGTH");
    if (contentLength == nullptr) {
      ShowEnvironmentError(status, kMsgNoContentLength, false);
      return 1;
    }
    // A body above the limit, or a length that is no number, is refused
    // before a byte of it is read; nothing is opened or written.
    const std::optional<long> length = ParseContentLength(contentLength);
    if (!length) {
      ShowEnvironmentError(status, kMsgFormTooLarge, true);
      return 0;
    }
    if (*length > 0) {
      bool complete = true;
      args = ReadArguments(*length, body, &complete);
      if (!complete) {
        // The missing bytes would be taken for 0xFF and written into the
        // configuration; a form cut short is refused like an oversized one.
        args.clear();
        ShowEnvironmentError(status, kMsgFormCutShort, true);
        return 0;
      }
    }
  } else if (method != nullptr) {
    if (const char* query = std::getenv("QUERY_STRING")) queryString = query;
  }

  const char* pathInfo = std::getenv("PATH_INFO");
  if (pathInfo == nullptr || *pathInfo == '\0') {
    ShowEnvironmentError(status, kMsgNoPathInfo, false);
    return 0;
  }
  std::string pageName = PageNameFromPathInfo(pathInfo);
  const int pageIndex = IndexFromHtmlName(pageName);

  const char* ruleFile = std::getenv("RULE_FILE");
  if (ruleFile == nullptr) {
    ShowEnvironmentError(status, kMsgNoRuleFile, true);
    return 0;
  }

  // A POST changes the configuration: it holds the exclusive lock from
  // before the files are read until they have been written back.
  ConfigLock lock;
  if (isPost && *ruleFile != '\0') lock = ConfigLock::AcquireExclusive(ruleFile);

  std::unique_ptr<ConfigHandle> cfg = HTTPDConfigOpen(ruleFile);
  if (!cfg) {
    ShowEnvironmentError(status, kMsgCannotOpenConfig, true);
    return 0;
  }

  // A configuration that names a file which was refused (no regular file,
  // or too large) is shown as it could be read, but no form is applied to
  // it and nothing is written. So is one whose lock another request held
  // for the whole wait.
  bool applyForm = isPost;
  if (lock.busy()) {
    FailStatus(status, ConfigMessage(kMsgConfigBusy));
    applyForm = false;
  } else if (!cfg->refused().empty()) {
    FailStatus(status, RefusedFileMessage(cfg->refused().front()));
    applyForm = false;
  }

  // GetHtmlPage upper-cases the name, so the messages below name the page in
  // upper case.
  std::unique_ptr<TemplatePage> page = GetHtmlPage(pageName);
  if (!page) {
    ShowPageNotFound(status, pageName);
  } else {
    PageRequest request{args, status, *cfg, *page, package, serverRoot, queryString, applyForm, &lock};
    DispatchPage(pageIndex, pageName, request);
  }

  if (after == AfterRequest::kProcessEnds) {
    g_keptForExit = cfg.release();
    return 0;
  }
  HTTPDConfigClose(std::move(cfg), false);
  return 0;
}

}  // namespace cfgout
