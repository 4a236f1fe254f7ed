#pragma once
// The front end's status messages (bundle slot 1, message set 2).

#include <optional>
#include <string>
#include <string_view>

#include "config/config_file.h"

namespace cfgout {

// Message 9 ("HTML form information not found") formatted with the page
// name. The name goes in raw: the status block is HTML-escaped where it is
// printed.
std::string PageNotFoundMessage(std::string_view pageName);

// Why the configuration is shown but will not be changed: a file it names
// was refused (messages 190 and 192, with the file's name).
std::string RefusedFileMessage(const ConfigRefusedFile& file);

// The message for a write-back that the store refused before changing any
// file (messages 189 and 191), or nullopt for an ordinary failure (message
// 10).
std::optional<std::string> WriteRefusalMessage(const ConfigWriteReport& report);

}  // namespace cfgout
