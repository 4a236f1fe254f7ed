#pragma once
// ASCII character helpers. Page names, form field names, directive keywords
// and request methods are compared ignoring case in ASCII only, and values
// are classified and trimmed as in the POSIX locale: bytes above 127 are
// neither letters, digits nor white space, and no case conversion touches
// them, whatever the process locale says. Every byte of a view counts, NUL
// bytes included.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace cfgout {

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// isspace in the POSIX locale: blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// `text` without leading and trailing white space (IsAsciiSpace).
constexpr std::string_view TrimAsciiSpace(std::string_view text) {
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsAsciiSpace(text.back())) text.remove_suffix(1);
  return text;
}

constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string& UpperCaseInPlace(std::string& text) {
  for (char& c : text) c = AsciiUpper(c);
  return text;
}

inline std::string& LowerCaseInPlace(std::string& text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

inline std::string UpperCaseCopy(std::string_view text) {
  std::string copy(text);
  return UpperCaseInPlace(copy);
}

// Eight bytes with every ASCII capital made small, all other bytes as they
// are: a capital's byte is below 0x80 and its low seven bits lie in 'A'..'Z',
// which the two additions tell by their top bits without a carry between
// bytes.
constexpr std::uint64_t LowerCaseWord(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  const std::uint64_t low = word & (0x7f * kOnes);
  const std::uint64_t atLeastA = low + (0x80 - 'A') * kOnes;
  const std::uint64_t aboveZ = low + (0x80 - 'Z' - 1) * kOnes;
  const std::uint64_t capital = atLeastA & ~aboveZ & ~word & (0x80 * kOnes);
  return word | (capital >> 2);
}

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  if (!std::is_constant_evaluated()) {
    // Keywords and words are compared eight bytes at a time.
    for (; i + 8 <= a.size(); i += 8) {
      std::uint64_t x = 0;
      std::uint64_t y = 0;
      std::memcpy(&x, a.data() + i, 8);
      std::memcpy(&y, b.data() + i, 8);
      if (x != y && LowerCaseWord(x) != LowerCaseWord(y)) return false;
    }
  }
  for (; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// `text` begins with `prefix`, ignoring case, over the length of `prefix`.
constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The number a text spells as atoi reads it (leading white space, an
// optional sign, the digits up to the first other character; 0 when there
// are none), but saturating at the int range instead of overflowing, so that
// an overlong number can never wrap into a valid one.
inline int AtoiSaturated(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsAsciiSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long number = 0;
  for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
    number = number * 10 + (text[i] - '0');
    if (number > 2147483648LL) break;  // beyond every int: saturated below
  }
  if (negative) number = -number;
  if (number > 2147483647LL) return 2147483647;
  if (number < -2147483648LL) return -2147483647 - 1;
  return static_cast<int>(number);
}

}  // namespace cfgout
