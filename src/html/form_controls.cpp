#include "html/form_controls.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#include "config/directive_access.h"
#include "config/directive_names.h"
#include "config/line_list.h"
#include "html/output.h"
#include "nls/message_format.h"
#include "runtime/ascii.h"
#include "runtime/page_output.h"

namespace cfgout {

namespace {

// Copies of every occurrence of the directive named `keyword`; none for an
// unknown or null keyword.
LineList Occurrences(const ConfigHandle& cfg, const char* keyword) {
  if (keyword == nullptr) return LineList();
  int id = HTTPDRuleToID(keyword);
  if (id < 0) return LineList();
  return HTTPDGetRules(cfg, id);
}

std::string_view Text(const char* s) { return s != nullptr ? std::string_view(s) : std::string_view(); }

// The text of `line` from the start of field `field`: PointToNextField
// applied field - 1 times.
std::string RestFromField(const LineText& line, int field) {
  const char* p = line.c_str();
  for (int i = 1; i < field && p != nullptr; ++i) p = PointToNextField(p);
  return p != nullptr ? std::string(p) : std::string();
}

// Field `field` of the line, or its rest from that field.
std::string FieldOrRest(const LineText& line, int field, int restOfLine) {
  return restOfLine == 1 ? RestFromField(line, field) : GetField(line, field);
}

// A text field's value: field `field` of the last occurrence (the rest of its
// line from there when `restOfLine` is 1), CR and LF turned into blanks; the
// default (null = empty) when there is no occurrence.
std::string LastValueOrDefault(const LineList& found, int field, int restOfLine, const char* defaultValue) {
  if (found.empty()) return std::string(Text(defaultValue));
  std::string value = FieldOrRest(found.last()->text, field, restOfLine);
  ConvertChars(value, "\r\n", ' ');
  return value;
}

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '"'; }

std::string TrimBlanksAndQuotes(std::string_view value) {
  while (!value.empty() && IsTrimmed(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsTrimmed(value.back())) value.remove_suffix(1);
  return std::string(value);
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words) {
    if (EqualsIgnoringCase(value, word)) return true;
  }
  return false;
}

struct CheckedDirective {
  std::string keyword;
  std::string second;
};

CheckedDirective ParseCheckedDirective(const char* directiveAndValue) {
  return CheckedDirective{GetField(directiveAndValue, 1), GetField(directiveAndValue, 2)};
}

bool CheckMatches(const LineNode& occurrence, const CheckedDirective& wanted, std::string_view match, int field) {
  if (!StartsWithIgnoringCase(GetField(occurrence.text, field), match)) return false;
  return wanted.second.empty() || EqualsIgnoringCase(GetField(occurrence.text, 2), wanted.second);
}

// Hands `put` the options low..high ("<OPTION>n", "<OPTION SELECTED>n" for
// `selected`) in pieces of a few kilobytes. Row-number lists hold thousands
// of options: no format string per option, and no page-sized string.
template <typename Put>
void NumberOptions(long long low, long long high, long long selected, Put&& put) {
  constexpr std::string_view kOption = "<OPTION>";
  constexpr std::string_view kSelected = "<OPTION SELECTED>";
  // The numbers count up: from 0 on, their digits are kept and incremented
  // in place instead of being converted anew, and copied as one word pair.
  char digits[16] = {};
  std::size_t count = 0;  // digits in use; 0 until the first number from 0 on
  constexpr std::size_t kLongest = kSelected.size() + sizeof digits;
  char piece[8192];
  char* at = piece;
  for (long long n = low; n <= high; ++n) {
    if (at + kLongest > piece + sizeof piece) {
      put(std::string_view(piece, static_cast<std::size_t>(at - piece)));
      at = piece;
    }
    if (n == selected) {
      std::memcpy(at, kSelected.data(), kSelected.size());
      at += kSelected.size();
    } else {
      std::memcpy(at, kOption.data(), kOption.size());
      at += kOption.size();
    }
    if (n < 0) {
      at = std::to_chars(at, piece + sizeof piece, n).ptr;
      continue;
    }
    if (count == 0) {
      count = static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
    } else {
      std::size_t i = count;
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i == 0) {
        std::memmove(digits + 1, digits, count++);
        digits[0] = '1';
      } else {
        ++digits[i - 1];
      }
    }
    std::memcpy(at, digits, sizeof digits);
    at += count;
  }
  put(std::string_view(piece, static_cast<std::size_t>(at - piece)));
}

// Splits at any of `separators`, leaving out empty pieces.
std::vector<std::string_view> SplitSkippingEmpty(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

}  // namespace

int GenTextField(const char* line, const char* directive, int field, int restOfLine,
                 const char* defaultValue, const ConfigHandle& cfg) {
  std::string value = LastValueOrDefault(Occurrences(cfg, directive), field, restOfLine, defaultValue);
  return GenHtmlLine(line, HtmlEscape(TrimBlanksAndQuotes(value)));
}

int GenTextFieldDirectiveWithNFields(const char* line, const char* directive, int /*fieldCount*/,
                                     int field, int restOfLine, const char* defaultValue,
                                     const ConfigHandle& cfg) {
  LineList found;
  if (directive != nullptr) {
    int id = HTTPDRuleToID(directive);
    if (id >= 0) found = HTTPDGetRulesWithNFields(cfg, id, 2);
  }
  return GenHtmlLine(line, HtmlEscape(LastValueOrDefault(found, field, restOfLine, defaultValue)));
}

int GenCheckedSettingOnOff(const char* line, const char* directive, int onSense, int defaultSet,
                           const ConfigHandle& cfg) {
  LineList found = Occurrences(cfg, directive);
  bool set;
  if (found.empty()) {
    set = defaultSet != 0;
  } else {
    std::string value = GetField(found.last()->text, 2);
    set = onSense != 0 ? IsOneOf(value, {"ON", "YES", "OK", "ENABLE"})
                       : IsOneOf(value, {"OFF", "NO", "NONE", "DISABLE"});
  }
  return GenHtmlLine(line, set ? "CHECKED" : "");
}

int GenCheckedSetting(const char* line, const char* directiveAndValue, const char* match, int defaultSet,
                      int field, const char* setWord, const ConfigHandle& cfg) {
  CheckedDirective wanted = ParseCheckedDirective(directiveAndValue);
  LineList found = Occurrences(cfg, wanted.keyword.c_str());
  bool set = found.empty() && defaultSet == 1;
  for (const LineNode& occurrence : found) {
    if (CheckMatches(occurrence, wanted, Text(match), field)) {
      set = true;
      break;
    }
  }
  return GenHtmlLine(line, set ? Text(setWord) : std::string_view());
}

int GenSingleCheckedSetting(const char* line, const char* directiveAndValue, const char* match,
                            int defaultSet, int field, const char* setWord, const ConfigHandle& cfg) {
  CheckedDirective wanted = ParseCheckedDirective(directiveAndValue);
  LineList found = Occurrences(cfg, wanted.keyword.c_str());
  bool set = found.empty() ? defaultSet == 1 : CheckMatches(*found.last(), wanted, Text(match), field);
  return GenHtmlLine(line, set ? Text(setWord) : std::string_view());
}

int GenOptionString(const char* line, int low, int high, int selected) {
  if (high <= 0 || high < low) return GenHtmlLine(line, "<OPTION>0");
  if (line == nullptr) return 0;
  const HtmlLineTemplate shape(line);
  if (!shape.Streams()) {
    std::string options;
    NumberOptions(low, high, selected, [&options](std::string_view piece) { options.append(piece); });
    shape.Write(options);
    return 0;
  }
  PageWrite(shape.Before());
  NumberOptions(low, high, selected, [](std::string_view piece) { PageWrite(piece); });
  PageWrite(shape.After());
  return 0;
}

int GenOptionList(const char* line, const char* directive, const char* optionList,
                  const char* defaultValue, const ConfigHandle& cfg) {
  if (line == nullptr) return 0;
  if (optionList == nullptr) return GenHtmlLine(line, "<OPTION>0");

  std::string_view text(line);
  std::size_t marker = text.find("%s");
  if (marker == std::string_view::npos) return GenHtmlLine(line, nullptr);

  LineList found = Occurrences(cfg, directive);
  std::optional<std::string> current;
  if (!found.empty()) {
    current = GetField(found.first()->text, 2);
  } else if (defaultValue != nullptr) {
    current = std::string(defaultValue);
  }

  std::string out;
  AppendHtmlLine(out, text.substr(0, marker), nullptr);
  for (std::string_view entry : SplitSkippingEmpty(optionList, ",")) {
    bool selected = current && EqualsIgnoringCase(entry, *current);
    out += selected ? "<OPTION SELECTED>" : "<OPTION>";
    AppendHtmlEscaped(out, entry);
  }
  AppendHtmlLine(out, text.substr(marker + 2), nullptr);
  PageWrite(out);
  return 0;
}

int GenSelectListItems(const char* line, const char* directive, int reverse, const ConfigHandle& cfg) {
  LineList found = Occurrences(cfg, directive);
  if (found.empty()) return GenHtmlLine(line, "");
  std::vector<const LineNode*> order;
  for (const LineNode& occurrence : found) order.push_back(&occurrence);
  if (reverse == 1) std::reverse(order.begin(), order.end());

  std::string options;
  bool first = true;
  for (const LineNode* occurrence : order) {
    std::string value = GetField(occurrence->text, 2);
    ConvertChars(value, "\r\n", ' ');
    options += first ? "<OPTION SELECTED>" : "<OPTION>";
    AppendHtmlEscaped(options, value);
    first = false;
  }
  return GenHtmlLine(line, options);
}

int GenCacheTimeoutSetting(const char* line, const char* directive, const char* pattern,
                           const ConfigHandle& cfg) {
  if (directive == nullptr || pattern == nullptr) return GenHtmlLine(line, "");
  std::string value;
  for (const LineNode& occurrence : Occurrences(cfg, directive)) {
    if (StartsWithIgnoringCase(RestFromField(occurrence.text, 2), pattern)) {
      value = GetField(occurrence.text, 3);
    }
  }
  return GenHtmlLine(line, HtmlEscape(value));
}

int GenMultiDirectiveText(const char* line, const char* directive, int field, const ConfigHandle& cfg) {
  LineList found = Occurrences(cfg, directive);
  std::string value;
  if (!found.empty()) {
    std::string path = GetField(found.last()->text, field);
    if (path.find_first_of("/\\") == std::string::npos) value = "/cpicons/";
    value += path;
  }
  return GenHtmlLine(line, HtmlEscape(value));
}

int SearchForDirective(const char* directive, const char* value, int field, const ConfigHandle& cfg) {
  for (const LineNode& occurrence : Occurrences(cfg, directive)) {
    if (EqualsIgnoringCase(GetField(occurrence.text, field), Text(value))) return 1;
  }
  return 0;
}

std::optional<std::string> SearchForHandler(const char* directive, const char* value, int field,
                                            const ConfigHandle& cfg) {
  for (const LineNode& occurrence : Occurrences(cfg, directive)) {
    if (EqualsIgnoringCase(GetField(occurrence.text, field), Text(value))) {
      return GetField(occurrence.text, field + 1);
    }
  }
  return std::nullopt;
}

int ParseTimeSpec(const char* text, int& hours, int& minutes, int& seconds) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p != '\0' && (IsAsciiLetter(*p) || IsAsciiSpace(*p))) ++p;
  while (*p != '\0') {
    // A number (0 when no digit stands here), saturated rather than overflowing.
    long long number = 0;
    while (IsAsciiDigit(*p)) {
      number = number * 10 + (*p - '0');
      if (number > INT_MAX) number = INT_MAX;
      ++p;
    }
    while (IsAsciiSpace(*p)) ++p;
    if (*p == 'h') hours = static_cast<int>(number);
    if (*p == 'm') minutes = static_cast<int>(number);
    if (*p == 's') seconds = static_cast<int>(number);
    if (*p == '\0' || IsAsciiDigit(*p)) continue;
    while (*p != '\0' && !IsAsciiDigit(*p)) ++p;
  }
  return 0;
}

char FindDelimeter(const char* text) {
  if (text == nullptr) return '|';
  static constexpr std::array<char, 14> kCandidates = {'"', '\'', '\\', '/', '+', '-', '*',
                                                       '@', '#', '$', '%', '&', '~', '^'};
  for (char candidate : kCandidates) {
    if (std::strchr(text, candidate) == nullptr) return candidate;
  }
  return '|';
}

void AddToBuffer(std::string* buffer, const char* prefix, const char* list) {
  if (buffer == nullptr || list == nullptr || *list == '\0') return;
  if (!buffer->empty()) *buffer += ',';
  if (prefix != nullptr) *buffer += prefix;

  std::string_view text(list);
  bool grouped = text.find(',') != std::string_view::npos;
  if (grouped) *buffer += '(';
  bool first = true;
  for (std::string_view piece : SplitSkippingEmpty(text, ",\r\t\n")) {
    std::string entry(piece);
    ConvertChars(entry, "()\"", ' ');
    if (!first) *buffer += ',';
    if (entry.find(' ') != std::string::npos) {
      *buffer += '"';
      *buffer += entry;
      *buffer += '"';
    } else {
      *buffer += entry;
    }
    first = false;
  }
  if (grouped) *buffer += ')';
}

}  // namespace cfgout
