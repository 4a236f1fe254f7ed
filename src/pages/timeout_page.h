#pragma once
// The Timeout page: the server's five time limits (input, read, output,
// script and persistent connection), each shown as three option lists for
// hours, minutes and seconds. The time-span reading and writing here serve
// the Performance page's persistent-connection time-out as well.

#include <optional>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints the "TIMEOUT" template: markers 0-14 are the hours, minutes and
// seconds lists of InputTimeout, ReadTimeout, OutputTimeout, ScriptTimeout
// and PersistTimeout, marker 15 the status block, later markers "".
// Returns 0.
int TimeoutDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Applies a posted Timeout form. Note the argument order: status block
// first. Returns 0.
int TimeoutOutputHandler(PageStatus& status, const FormArgList& args, ConfigHandle& cfg);

// The three posted parts of one time directive; a part is remembered only
// when its field was sent non-empty.
struct TimeSpanFields {
  std::optional<std::string> hours;
  std::optional<std::string> minutes;
  std::optional<std::string> seconds;

  bool Any() const { return hours || minutes || seconds; }
};

// The span as written after the keyword: "<h> hours <m> minutes <s> seconds ",
// leaving out each part that is absent or begins with the digit 0. Empty
// when every part is left out.
std::string TimeSpanText(const TimeSpanFields& fields);

// Writes the posted span of `keyword` with `lineFormat` (one %s for the
// span): nothing happens when no part was posted; an empty span removes
// every occurrence; any other span replaces all occurrences by one line.
void ApplyTimeSpan(ConfigHandle& cfg, std::string_view keyword, std::string_view lineFormat,
                   const TimeSpanFields& fields);

// The hours, minutes and seconds of a time directive's last occurrence, as
// ParseTimeSpec reads its whole line; 0 for a part (or a directive) that
// does not occur.
struct TimeSpanShown {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
};
TimeSpanShown ReadTimeSpan(const ConfigHandle& cfg, std::string_view keyword);

// Marker `part` (0 hours, 1 minutes, 2 seconds) of a span's three option
// lists: hours 0-23, minutes and seconds 0-59, the shown number selected.
void GenTimeSpanOptions(const char* line, int part, const TimeSpanShown& shown);

}  // namespace cfgout
