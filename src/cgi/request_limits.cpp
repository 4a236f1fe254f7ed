#include "cgi/request_limits.h"

#include "runtime/ascii.h"

namespace cfgout {

std::optional<long> ParseContentLength(std::string_view text, long limit) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t pos = 0;
  while (pos < text.size() && blank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t digitsStart = pos;
  long value = 0;
  bool tooLarge = false;
  for (; pos < text.size() && IsAsciiDigit(text[pos]); ++pos) {
    // Saturate once past the limit: the exact size of an oversized body does
    // not matter, and the sum never overflows.
    if (!tooLarge) {
      value = value * 10 + (text[pos] - '0');
      if (value > limit) tooLarge = true;
    }
  }
  if (pos == digitsStart) return std::nullopt;
  while (pos < text.size() && blank(text[pos])) ++pos;
  if (pos != text.size()) return std::nullopt;
  if (negative) return tooLarge ? std::nullopt : std::optional<long>(-value);
  if (tooLarge) return std::nullopt;
  return value;
}

}  // namespace cfgout
