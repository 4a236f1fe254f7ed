#pragma once
// ASCII case helpers. Page names, form field names, directive keywords and
// request methods are compared ignoring case in ASCII only: bytes outside
// 'a'-'z' and 'A'-'Z' stay as they are whatever the process locale says.
// Every byte of a view counts, NUL bytes included.

#include <cstddef>
#include <string>
#include <string_view>

namespace cfgout {

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

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// `text` begins with `prefix`, ignoring case, over the length of `prefix`.
constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace cfgout
