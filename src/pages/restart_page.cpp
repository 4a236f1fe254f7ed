#include "pages/restart_page.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "html/output.h"
#include "html/templates.h"
#include "nls/message_lookup.h"
#include "pages/external_programs.h"
#include "runtime/child_process.h"
#include "runtime/page_output.h"

namespace cfgout {

void RestartOutputHandler(PageStatus& status) {
  std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view("CFG_INTRO"));
  status.messageType = std::string(kStatusDone);
  status.messageText = ConfigMessage(kMsgRestartDone);
  status.success = 0;
  if (page) {
    WalkTemplate(
        *page,
        [&](int marker, const char* line) {
          if (marker != 0) return false;
          GenHeraldAppletParms(line, status);
          return true;
        },
        " ");
  }
  std::fflush(stderr);
  PageFlush();
  Restart();
}

void Restart() {
  // The server's restart command takes over this process, so the web server
  // sees the answer end when standard output is closed and the process id
  // it started stays the one that runs the command.
  const std::string server = ServerExecutablePath();
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  // A web server ends the CGI process (SIGTERM, or SIGHUP for a lost
  // client) once its output is closed, which here is the moment the restart
  // command starts. The command inherits these as ignored; a program that
  // wants them installs its own handlers.
  ::signal(SIGTERM, SIG_IGN);
  ::signal(SIGHUP, SIG_IGN);
  ::close(STDOUT_FILENO);
  ExecProgram({server, "-restart"});
  const std::string message = "Error....execlp of " + server + " failed \n";
  std::fputs(message.c_str(), stderr);
  std::exit(0);
}

}  // namespace cfgout
