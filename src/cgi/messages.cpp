#include "cgi/messages.h"

#include "nls/message_format.h"
#include "nls/message_lookup.h"

namespace cfgout {

std::string PageNotFoundMessage(std::string_view pageName) {
  // The catalogue text is the format; the name is an argument, never part
  // of a format.
  return FormatText(ConfigMessage(kMsgPageFormNotFound), {pageName});
}

}  // namespace cfgout
