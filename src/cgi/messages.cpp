#include "cgi/messages.h"

#include "nls/message_format.h"
#include "nls/message_lookup.h"

namespace cfgout {

std::string PageNotFoundMessage(std::string_view pageName) {
  // The catalogue text is the format; the name is an argument, never part
  // of a format.
  return FormatText(ConfigMessage(9, "HTML form information not found"), {pageName});
}

std::string RefusedFileMessage(const ConfigRefusedFile& file) {
  if (file.reason == ConfigRefusal::kTooLarge) {
    return FormatText(ConfigMessage(192, "The configuration is too large to be read (over 64 MiB or 1000 files, "
                                         "reached at %s); nothing was changed."),
                      {std::string_view(file.path)});
  }
  return FormatText(ConfigMessage(190, "The configuration file %s is not a regular file: it was not read, "
                                       "and nothing was changed."),
                    {std::string_view(file.path)});
}

}  // namespace cfgout
