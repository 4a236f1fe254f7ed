#pragma once
// The restart page ("RESTART"): the server reads its configuration again.
// The program answers with the introduction page showing message 42, then
// replaces itself by the server executable started with "-restart".

#include "html/page_status.h"

namespace cfgout {

// Prints "CFG_INTRO" with the status block (type "1", message 42, success
// 0) at its first marker and " " at the others, sends the page, and restarts
// the server as Restart() does. Does not return.
[[noreturn]] void RestartOutputHandler(PageStatus& status);

// The restart without a page: fork; the child ends at once; the original
// process closes its standard output and becomes the server executable with
// the single argument "-restart". When that exec fails, a line on standard
// error says so. Either way the process ends with status 0.
[[noreturn]] void Restart();

}  // namespace cfgout
