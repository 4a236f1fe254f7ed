// cfgout_fixture: cfgout with the front-end tests' marker-line bundles and
// the build's own password tool and server stand-in.
// CFGOUT_FIXTURE_WRITE_HOOK reaches steps between reading and writing:
//   "relink:<link>:<target>"  <link> becomes a link to <target> before the first write;
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
  cfgout::SetPasswordToolPath(CFGOUT_FIXTURE_PASSWORD_TOOL);
  cfgout::SetServerExecutablePath(CFGOUT_FIXTURE_SERVER);
  const int status = cfgout::RunCgiRequest(stdin);
  cfgout::PageFlush();
  return status;
}
