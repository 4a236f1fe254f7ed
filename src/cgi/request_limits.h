#pragma once
// Limits on what a request may hand the program.

#include <optional>
#include <string_view>

namespace cfgout {

// The largest posted form body read, in bytes. The biggest configuration
// form is a few kilobytes; a larger body is refused before anything is read.
inline constexpr long kMaxPostedBody = 1024L * 1024L;

// The body length a CONTENT_LENGTH value announces, or nullopt when the
// request is to be refused: the value is not a decimal number (optional
// blanks around an optionally signed run of digits, nothing else) or it is
// above `limit`. Zero and negative numbers are returned as they are: such a
// POST goes on with an empty form.
std::optional<long> ParseContentLength(std::string_view text, long limit = kMaxPostedBody);

}  // namespace cfgout
