#include "validate/validators.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ascii.h"
#include "runtime/page_output.h"

namespace cfgout {

namespace {

// Character classes of the POSIX locale; bytes above 127 belong to none.
bool IsAlnum(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); }
bool IsPunct(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x7F && !IsAlnum(c);
}
bool IsPrintableAscii(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u < 0x7F;
}

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (!IsAsciiDigit(c)) return false;
  }
  return true;
}

// Words separated by runs of blanks.
std::vector<std::string_view> SplitBlanks(std::string_view s) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < s.size()) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
    const std::size_t start = pos;
    while (pos < s.size() && s[pos] != ' ') ++pos;
    if (pos > start) words.push_back(s.substr(start, pos - start));
  }
  return words;
}

// Accented letters of the code page 850 upper half that the punctuation
// flag of IsValidAlphaNum admits.
bool IsCodePage850Letter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 0x80 && u <= 0x9B) || u == 0x9D || (u >= 0xA0 && u <= 0xA5) ||
         (u >= 0xB5 && u <= 0xB7) || u == 0xC6 || u == 0xC7 || (u >= 0xD2 && u <= 0xD4) ||
         (u >= 0xD6 && u <= 0xD8) || u == 0xDE || (u >= 0xE0 && u <= 0xE5) ||
         (u >= 0xE9 && u <= 0xEF) || u == 0xF9;
}

bool ValidDirText(std::string_view v, int wildcards) {
  bool backslash = false;
  bool slash = false;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (IsBadDirChar(c, wildcards)) return false;
    if (c == '\\') backslash = true;
    if (c == '/') slash = true;
    if (c == '*' && i + 1 != v.size()) return false;
  }
  return !(backslash && slash);
}

bool ValidUrlText(std::string_view v, int wildcards, int schemeFree) {
  std::size_t letters = 0;
  while (letters < v.size() && IsAsciiLetter(v[letters])) ++letters;
  const std::string_view scheme = v.substr(0, letters);
  // Only the letters actually present are compared, so a short run such as
  // "ht" counts as the scheme it begins.
  const auto names = [&](std::string_view known) {
    return scheme.size() <= known.size() && StartsWithIgnoringCase(known, scheme);
  };
  std::string_view separator;
  if (names("HTTP") || names("GOPHER") || names("FTP")) {
    separator = "://";
  } else if (names("FILE")) {
    separator = ":/";
  } else {
    separator = ":";
  }
  std::string_view rest = v;
  if (schemeFree == 0) {
    rest.remove_prefix(letters);
    if (rest.substr(0, separator.size()) != separator) return false;
    rest.remove_prefix(separator.size());
  }
  for (char c : rest) {
    if (!IsPrintableAscii(c)) return false;
    switch (c) {
      case ' ':
      case '+':
      case '<':
      case '>':
      case '?':
      case '\\':
        return false;
      case '*':
        if (wildcards == 0) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

// A dotted number: digits, then repeatedly '.' and digits. After a '.' that
// no digit follows, the value may end there, or go on with wildcard groups
// "*", ".*", ... and an optional final '.'.
bool ValidDottedNumber(std::string_view v) {
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t start = i;
    while (i < v.size() && IsAsciiDigit(v[i])) ++i;
    return i > start;
  };
  if (!digits()) return false;
  while (i < v.size()) {
    if (v[i] != '.') return false;
    ++i;
    if (digits()) continue;
    if (i == v.size()) return true;  // trailing dot
    if (v[i] != '*') return false;
    ++i;
    while (i < v.size()) {
      if (v[i] != '.') return false;
      ++i;
      if (i == v.size()) return true;  // final dot after the wildcards
      if (v[i] != '*') return false;
      ++i;
    }
    return true;
  }
  return true;
}

}  // namespace

int NoValidation(const char*, int, int) { return 1; }

int IsValidNumeric(const char* value, int min, int max) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  std::string_view digits = v;
  if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
  if (!AllDigits(digits)) return 0;
  if (min == 0 && max == 0) return 1;
  const long long n = AtoiSaturated(v);  // saturated, so an overlong number never wraps into range; a lone sign is 0
  return n >= min && n <= max ? 1 : 0;
}

int IsValidPort(const char* value, int list, int) {
  if (value == nullptr) return 0;
  for (char c : TrimAsciiSpace(value)) {
    if (IsAsciiDigit(c)) continue;
    if (list != 0 && c == ',') continue;
    return 0;
  }
  return 1;
}

int IsValidFloat(const char* value, int min, int max) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  std::size_t i = 0;
  if (v[i] == '+' || v[i] == '-') ++i;
  while (i < v.size() && IsAsciiDigit(v[i])) ++i;
  if (i == v.size() || v[i] != '.') return 0;
  ++i;
  while (i < v.size() && IsAsciiDigit(v[i])) ++i;
  if (i != v.size()) return 0;
  if (min == 0 && max == 0) return 1;
  const std::string text(v);
  const float f = std::strtof(text.c_str(), nullptr);
  return static_cast<float>(min) <= f && f <= static_cast<float>(max) ? 1 : 0;
}

int IsValidDir(const char* value, int wildcards, int) {
  if (value == nullptr) return 0;
  return ValidDirText(TrimAsciiSpace(value), wildcards) ? 1 : 0;
}

int IsValidFilename(const char* value, int wildcards, int pathRequired) {
  if (value == nullptr) return 0;
  std::string_view v = TrimAsciiSpace(value);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  if (v.empty()) return 1;
  if (v.find(':') != std::string_view::npos) return 0;
  const std::size_t slash = v.rfind('/');
  const std::size_t backslash = v.rfind('\\');
  if (slash != std::string_view::npos && backslash != std::string_view::npos) return 0;
  const std::size_t separator = slash != std::string_view::npos ? slash : backslash;
  std::string_view file = v;
  if (separator != std::string_view::npos) {
    // The directory part, separator included, must fit the 254 characters a
    // directory is allowed; a longer one is rejected rather than cut.
    const std::string_view dir = v.substr(0, separator + 1);
    if (dir.size() > 254) return 0;
    if (!ValidDirText(dir, wildcards)) return 0;
    file = v.substr(separator + 1);
    if (file.empty()) return 0;
  } else if (pathRequired != 0) {
    return 0;
  }
  for (char c : file) {
    if (IsBadFileChar(c)) return 0;
    if (c == '*' && wildcards == 0) return 0;
  }
  return 1;
}

int IsValidURL(const char* value, int wildcards, int schemeFree) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  return ValidUrlText(v, wildcards, schemeFree) ? 1 : 0;
}

int IsValidDirURL(const char* value, int param1, int param2) {
  return IsValidDir(value, param1) != 0 || IsValidURL(value, param1, param2) != 0 ? 1 : 0;
}

int IsValidHost(const char* value, int wildcards, int) {
  if (value == nullptr) return 0;
  if (wildcards == 0 && IsWildcardPresent(value)) return 0;
  std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  for (char c : v) {
    if (IsBadHostChar(c)) return 0;
  }
  while (!v.empty() && v.front() == '*') {
    if (v.size() == 1) return 1;
    if (v[1] != '.') return 0;
    v.remove_prefix(2);
  }
  if (v.empty()) return 1;
  if (IsAsciiLetter(v.front())) {
    for (char c : v.substr(1)) {
      if (!IsAlnum(c) && !IsPunct(c)) return 0;
    }
    return 1;
  }
  if (IsAsciiDigit(v.front())) return ValidDottedNumber(v) ? 1 : 0;
  return 0;
}

int IsValidEngTime(const char* value, int, int) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  const std::vector<std::string_view> words = SplitBlanks(v);
  if (StartsWithIgnoringCase(words.front(), "forever")) return words.size() == 1 ? 1 : 0;
  if (words.size() % 2 != 0) return 0;  // a number without its unit
  static constexpr std::string_view kUnits[] = {"sec", "min", "hour", "day", "week", "month", "year"};
  for (std::size_t i = 0; i < words.size(); i += 2) {
    if (!AllDigits(words[i])) return 0;
    bool known = false;
    for (std::string_view unit : kUnits) known = known || StartsWithIgnoringCase(words[i + 1], unit);
    if (!known) return 0;
  }
  return 1;
}

int IsValidMilTime(const char* value, int, int) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  if (v.size() != 5 || v[2] != ':') return 0;
  if (!IsAsciiDigit(v[0]) || !IsAsciiDigit(v[1]) || !IsAsciiDigit(v[3]) || !IsAsciiDigit(v[4])) return 0;
  const int minutes = (v[3] - '0') * 10 + (v[4] - '0');
  const int hhmm = (v[0] - '0') * 1000 + (v[1] - '0') * 100 + minutes;
  return minutes <= 59 && hhmm <= 2400 ? 1 : 0;
}

int IsValidSuffix(const char* value, int, int) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  return v.empty() || v.front() == '.' ? 1 : 0;
}

int IsValidAlpha(const char* value, int minLength, int) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  for (char c : v) {
    if (!IsAsciiLetter(c) && c != ' ' && c != '.') return 0;
  }
  if (minLength != 0 && v.size() < static_cast<std::size_t>(minLength < 0 ? 0 : minLength)) return 0;
  return 1;
}

int IsValidAlphaNum(const char* value, int mail, int punctuation) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  static constexpr std::string_view kMailChars = "@.^_~";
  static constexpr std::string_view kPunctuationChars = " '()+,-./:=?\"_";
  int ats = 0;
  for (char c : v) {
    if (c == '@') ++ats;
    if (IsAlnum(c)) continue;
    if (mail != 0 && kMailChars.find(c) != std::string_view::npos) continue;
    if (punctuation != 0 &&
        (kPunctuationChars.find(c) != std::string_view::npos || IsCodePage850Letter(c))) {
      continue;
    }
    return 0;
  }
  if (mail != 0 && ats != 1) return 0;
  return 1;
}

int IsValidPhone(const char* value, int, int) {
  if (value == nullptr) return 0;
  for (char c : TrimAsciiSpace(value)) {
    if (!IsAsciiDigit(c) && c != '-' && c != '(' && c != ')' && c != ' ') return 0;
  }
  return 1;
}

int IsValidName(const char* value, int, int) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  if (v == "%%CLIENT%%" || v == "%%SERVER%%") return 1;
  if (v.size() > 8 || !IsAsciiLetter(v.front())) return 0;
  for (char c : v) {
    if (!IsAlnum(c)) return 0;
  }
  return 1;
}

int IsValidMemSize(const char* value, int, int) {
  if (value == nullptr) return 0;
  const std::string_view v = TrimAsciiSpace(value);
  if (v.empty()) return 1;
  const std::vector<std::string_view> words = SplitBlanks(v);
  if (words.size() % 2 != 0) return 0;
  for (std::size_t i = 0; i < words.size(); i += 2) {
    if (words[i].empty() || !AllDigits(words[i])) return 0;
    if (words[i + 1] != "M" && words[i + 1] != "K") return 0;
  }
  return 1;
}

int IsValidExceptionCodes(const char* value, int, int) {
  if (value == nullptr) return 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (!IsAsciiDigit(*p) && *p != ' ' && *p != '\t' && *p != ',') return 0;
  }
  return 1;
}

int IsBadDirChar(char c, int wildcards) {
  // Characters are signed here: bytes above 127 are below 32 as well.
  if (static_cast<signed char>(c) < 32) return 1;
  switch (c) {
    case '"':
    case '<':
    case '>':
    case '|':
    case '&':
      return 1;
    case '?':
    case '*':
      return wildcards == 0 ? 1 : 0;
    default:
      return 0;
  }
}

int IsBadFileChar(char c) {
  if (static_cast<signed char>(c) < 32) return 1;
  switch (c) {
    case '\\':
    case '"':
    case '&':
    case '/':
    case '<':
    case '>':
    case '?':
    case '^':
    case '|':
      return 1;
    default:
      return 0;
  }
}

int IsBadHostChar(char c) { return c == ' ' || c == ':' || c == '@' || c == ',' ? 1 : 0; }

int IsWildcardPresent(std::string_view s) { return s.find('*') != std::string_view::npos ? 1 : 0; }

int GenQuestionMarks() {
  PageWrite("???");
  return 1;
}

}  // namespace cfgout
