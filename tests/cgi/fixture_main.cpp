// cfgout_fixture: the cfgout program with its message directory fixed at
// build time to the front-end tests' own small bundles (and its programs to
// the build's own password tool and server stand-in), whose templates are
// marker lines that make every generated item easy to compare exactly.
//
// CFGOUT_FIXTURE_WRITE_HOOK orders steps that a black-box test cannot
// otherwise reach between reading and writing the configuration:
//   "relink:<link>:<target>"  before the first file is written, <link> is
//                             made a symbolic link to <target>;
//   "fail:<suffix>"           writing a file whose name ends in <suffix> fails (EIO).
// CFGOUT_FIXTURE_LOCK_WAIT_MS shortens the wait for the configuration lock.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cgi/request.h"
#include "cgi/request_lock.h"
#include "config/config_write_hooks.h"
#include "nls/message_lookup.h"
#include "pages/external_programs.h"
#include "runtime/page_output.h"

namespace {

std::string g_hook;

int FixtureHook(cfgout::ConfigWriteStep step, const char* target) {
  if (g_hook.rfind("relink:", 0) == 0) {
    const std::string rest = g_hook.substr(7);
    const std::size_t colon = rest.find(':');
    const std::string link = rest.substr(0, colon);
    ::unlink(link.c_str());
    if (::symlink(rest.substr(colon + 1).c_str(), link.c_str()) != 0) std::abort();
    g_hook.clear();
    return 0;
  }
  if (g_hook.rfind("fail:", 0) == 0 && step == cfgout::ConfigWriteStep::kWriteData &&
      std::string(target).ends_with(g_hook.substr(5))) {
    return EIO;
  }
  return 0;
}

}  // namespace

int main() {
  cfgout::nlsSetMessageDirectory(CFGOUT_FIXTURE_MESSAGE_DIR);
  if (const char* hook = std::getenv("CFGOUT_FIXTURE_WRITE_HOOK")) {
    g_hook = hook;
    cfgout::SetConfigWriteHook(&FixtureHook);
  }
  if (const char* wait = std::getenv("CFGOUT_FIXTURE_LOCK_WAIT_MS")) {
    cfgout::ConfigLock::SetWaitLimit(std::chrono::milliseconds(std::atol(wait)));
  }
  // The build's own password tool and server stand-in, wherever the
  // installed paths point.
  cfgout::SetPasswordToolPath(CFGOUT_FIXTURE_PASSWORD_TOOL);
  cfgout::SetServerExecutablePath(CFGOUT_FIXTURE_SERVER);
  const int status = cfgout::RunCgiRequest(stdin);
  cfgout::PageFlush();
  return status;
}
