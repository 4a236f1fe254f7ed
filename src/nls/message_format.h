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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// One bit per byte of the sixteen at `p` that needs an entity.
inline unsigned EntityMask(const char* p) {
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hits = _mm_or_si128(
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('&')), _mm_cmpeq_epi8(chunk, _mm_set1_epi8('<'))),
                   _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('>')), _mm_cmpeq_epi8(chunk, _mm_set1_epi8('"')))),
      _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\'')));
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#endif

// True when no character of `text` needs an entity. Inline: table rows
// test their whole line with it.
inline bool NeedsNoEntity(std::string_view text) {
#if defined(__SSE2__)
  // The last sixteen bytes overlap the chunks before instead of being
  // tested one by one.
  if (text.size() >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= text.size(); i += 16) {
      if (EntityMask(text.data() + i) != 0) return false;
    }
    return i == text.size() || EntityMask(text.data() + text.size() - 16) == 0;
  }
#endif
  for (char c : text) {
    if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return false;
  }
  return true;
}

}  // namespace cfgout
