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

std::optional<std::string> WriteRefusalMessage(const ConfigWriteReport& report) {
  switch (report.problem) {
    case ConfigWriteProblem::kLineTooLong:
      // The reader would have cut the line and taken its end for a line of
      // its own.
      return ConfigMessage(189, "A value is too long for one configuration line (at most 1023 "
                                "characters with its directive); nothing was changed.");
    case ConfigWriteProblem::kFileChanged:
      return FormatText(ConfigMessage(191, "The configuration file %s was replaced or changed since it was "
                                           "read; nothing was changed."),
                        {std::string_view(report.path)});
    case ConfigWriteProblem::kRefusedFile:
      return RefusedFileMessage(ConfigRefusedFile{report.path, ConfigRefusal::kNotRegularFile});
    default:
      return std::nullopt;
  }
}

}  // namespace cfgout
