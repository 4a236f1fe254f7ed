#pragma once
// The front end's status messages (bundle slot 1, message set 2).

#include <string>
#include <string_view>

namespace cfgout {

// Message 9 ("HTML form information not found") formatted with the page
// name. The name goes in raw: the status block is HTML-escaped where it is
// printed.
std::string PageNotFoundMessage(std::string_view pageName);

}  // namespace cfgout
