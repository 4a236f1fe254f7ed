#pragma once
// Safe substitution of catalogue formats and template lines.
//
// Catalogue texts and template lines are data, never printf formats. This
// formatter knows exactly three conversions:
//   %s  the next argument as text (nothing when the arguments are used up)
//   %d  the next argument as a decimal integer (nothing when used up)
//   %%  one percent sign
// Every other '%' sequence, including a lone '%' at the end, is copied as it
// stands. Arguments are taken in order, whatever their conversion.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace cfgout {

using FormatArg = std::variant<std::string_view, std::int64_t>;

// Appends the substituted `format` to `out`.
void AppendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<FormatArg> args = {});

// Returns the substituted `format`.
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args = {});

// Escapes & < > " ' for HTML text and attribute values. Text without these
// characters comes back unchanged.
std::string HtmlEscape(std::string_view text);
void AppendHtmlEscaped(std::string& out, std::string_view text);

// The longest entity: escaping n characters writes at most this many times n
// bytes.
inline constexpr std::size_t kLongestEntity = 6;
// Writes `text` escaped to `out`, which has room for kLongestEntity times
// text.size() bytes; returns the end of what was written.
char* WriteHtmlEscaped(char* out, std::string_view text);
// True when no character of `text` needs an entity.
bool NeedsNoEntity(std::string_view text);

}  // namespace cfgout
