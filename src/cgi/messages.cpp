#include "cgi/messages.h"

#include "nls/message_format.h"
#include "nls/message_lookup.h"

namespace cfgout {

std::string ConfigMessage(int id, const char* defaultText) {
  const char* text = nlsGetString(kSlotConfigMessages, 2, id, defaultText);
  return text != nullptr ? std::string(text) : std::string(defaultText);
}

std::string PageNotFoundMessage(std::string_view pageName) {
  // The catalogue text is the format; the name is an argument, never part
  // of a format.
  return FormatText(ConfigMessage(9, "HTML form information not found"), {pageName});
}

}  // namespace cfgout
