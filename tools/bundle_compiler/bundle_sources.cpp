#include "bundle_sources.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <system_error>

namespace cfgout::bundles {

namespace fs = std::filesystem;

namespace {

std::string Where(const std::string& origin, std::size_t line) {
  return origin + ":" + std::to_string(line) + ": ";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits text into lines: '\n' ends a line, a '\r' before it is dropped, and
// text after the last '\n' is one more line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

bool ReadFile(const fs::path& file, std::string& out, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = file.string() + ": cannot be read";
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  out = buffer.str();
  return true;
}

// Parses a positive decimal number of at most `max`; false otherwise.
bool ParseNumber(std::string_view digits, int max, int& value) {
  if (digits.empty() || digits.size() > 9) return false;
  long result = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return false;
    result = result * 10 + (c - '0');
  }
  if (result < 1 || result > max) return false;
  value = static_cast<int>(result);
  return true;
}

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[i + 1];
      if (next == 'n' || next == 't' || next == '\\') {
        out += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
        ++i;
        continue;
      }
    }
    out += text[i];  // any other backslash stays as written
  }
  return out;
}

// The file name of an include line, or empty when the line is not one.
std::string IncludedName(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  constexpr std::string_view kOpen = "<!--#include file=\"";
  constexpr std::string_view kClose = "\"-->";
  if (line.size() <= kOpen.size() + kClose.size()) return {};
  if (line.substr(0, kOpen.size()) != kOpen) return {};
  if (line.substr(line.size() - kClose.size()) != kClose) return {};
  std::string_view name = line.substr(kOpen.size(), line.size() - kOpen.size() - kClose.size());
  if (name.find('"') != std::string_view::npos) return {};
  return std::string(name);
}

bool ExpandTemplate(const fs::path& file, std::vector<fs::path>& open, std::vector<std::string>& lines,
                    std::string& error) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(file, ec);
  if (ec) canonical = file;
  if (std::find(open.begin(), open.end(), canonical) != open.end()) {
    std::string chain;
    for (const fs::path& p : open) chain += p.filename().string() + " -> ";
    error = file.string() + ": include cycle: " + chain + file.filename().string();
    return false;
  }
  std::string text;
  if (!ReadFile(file, text, error)) return false;
  open.push_back(canonical);
  std::size_t number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    std::string included = IncludedName(line);
    if (included.empty()) {
      // The line keeps its end, as a line feed whatever the source used, so
      // the page prints line by line and whitespace-sensitive content (<pre>,
      // <textarea>, a // comment in a script) survives.
      std::string& kept = lines.emplace_back(line);
      kept += '\n';
      continue;
    }
    fs::path name(included);
    bool outside = name.is_absolute();
    for (const fs::path& part : name) outside = outside || part == "..";
    if (outside) {
      error = Where(file.string(), number) + "include \"" + included +
              "\" must name a file beside the template";
      return false;
    }
    if (!ExpandTemplate(file.parent_path() / name, open, lines, error)) {
      error = Where(file.string(), number) + "in include \"" + included + "\": " + error;
      return false;
    }
  }
  open.pop_back();
  return true;
}

bool AddSet(Bundle& bundle, int number, MessageSet set, std::string& error) {
  auto existing = bundle.sets.find(number);
  if (existing != bundle.sets.end()) {
    error = set.origin + ": message set " + std::to_string(number) + " is already defined by " +
            existing->second.origin;
    return false;
  }
  bundle.sets.emplace(number, std::move(set));
  return true;
}

bool CollectTemplates(const fs::path& sourceDir, Bundle& bundle, std::string& error) {
  const fs::path listFile = sourceDir / "pages.list";
  std::error_code ec;
  if (!fs::exists(listFile, ec)) return true;
  std::string text;
  if (!ReadFile(listFile, text, error)) return false;
  const std::string origin = listFile.string();
  std::map<std::string, std::size_t> pageLines;
  std::size_t number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    std::istringstream fields{std::string(line)};
    std::string first;
    if (!(fields >> first) || first[0] == '#') continue;
    std::string page, file, extra;
    fields >> page >> file;
    if (file.empty() || (fields >> extra)) {
      error = Where(origin, number) + "expected \"<set> <PAGE_NAME> <file.html>\"";
      return false;
    }
    int set = 0;
    if (!ParseNumber(first, kMaxMessageNumber, set)) {
      error = Where(origin, number) + "\"" + first + "\" is not a message set number";
      return false;
    }
    auto [seen, fresh] = pageLines.emplace(page, number);
    if (!fresh) {
      error = Where(origin, number) + "page " + page + " is already listed on line " +
              std::to_string(seen->second);
      return false;
    }
    MessageSet pageSet;
    pageSet.origin = (sourceDir / file).string();
    if (!ReadTemplate(sourceDir / file, pageSet.messages, error)) {
      error = Where(origin, number) + "page " + page + ": " + error;
      return false;
    }
    if (!AddSet(bundle, set, std::move(pageSet), error)) {
      error = Where(origin, number) + error;
      return false;
    }
  }
  return true;
}

// Appends the code point at text[i] (advancing i) to `out` as ICU text;
// false when the text there is not well-formed UTF-8 (overlong forms,
// surrogates and values beyond Unicode included).
bool AppendCodePoint(std::string_view text, std::size_t& i, std::string& out) {
  UChar32 cp = 0;
  U8_NEXT(reinterpret_cast<const std::uint8_t*>(text.data()), i, text.size(), cp);
  if (cp < 0) return false;

  static constexpr char kHex[] = "0123456789ABCDEF";
  if (cp == '"' || cp == '\\') {
    out += '\\';
    out += static_cast<char>(cp);
  } else if (cp >= 0x20 && cp < 0x7F) {
    out += static_cast<char>(cp);
  } else if (cp <= 0xFFFF) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 0xFu];
  } else {
    out += "\\U";
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 0xFu];
  }
  return true;
}

bool AppendQuoted(std::string_view text, std::string& out) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    if (!AppendCodePoint(text, i, out)) return false;
  }
  out += '"';
  return true;
}

}  // namespace

bool ParseCatalogue(std::string_view text, const std::string& origin, MessageSet& out,
                    std::string& error) {
  out.origin = origin;
  out.messages.clear();
  std::map<int, std::size_t> firstLine;
  std::size_t number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    std::string_view rest = line;
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    if (rest.empty() || rest.front() == '#') continue;
    std::size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits])) ++digits;
    int id = 0;
    if (digits == 0 || (digits < rest.size() && !IsBlank(rest[digits]))) {
      error = Where(origin, number) + "expected \"<number><TAB><text>\"";
      return false;
    }
    if (!ParseNumber(rest.substr(0, digits), kMaxMessageNumber, id)) {
      error = Where(origin, number) + "message number must be 1 to " + std::to_string(kMaxMessageNumber);
      return false;
    }
    rest.remove_prefix(digits);
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    auto [seen, fresh] = firstLine.emplace(id, number);
    if (!fresh) {
      error = Where(origin, number) + "message " + std::to_string(id) + " is already defined on line " +
              std::to_string(seen->second);
      return false;
    }
    if (out.messages.size() < static_cast<std::size_t>(id)) {
      out.messages.resize(static_cast<std::size_t>(id), std::string(kGapMark));
    }
    out.messages[static_cast<std::size_t>(id) - 1] = Unescape(rest);
  }
  return true;
}

bool ReadTemplate(const fs::path& file, std::vector<std::string>& lines, std::string& error) {
  lines.clear();
  std::vector<fs::path> open;
  if (!ExpandTemplate(file, open, lines, error)) return false;
  // Every line ends in a line feed, so a blank source line ("\n") cannot be
  // taken for the end mark.
  if (lines.size() > kMaxTemplateLines) {
    error = file.string() + ": " + std::to_string(lines.size()) + " lines (after includes); a page holds at most " +
            std::to_string(kMaxTemplateLines);
    return false;
  }
  lines.emplace_back();  // the end mark
  return true;
}

bool CollectBundle(const fs::path& sourceDir, Bundle& bundle, std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(sourceDir, ec)) return true;
  std::vector<fs::path> catalogues;
  for (const fs::directory_entry& entry : fs::directory_iterator(sourceDir, ec)) {
    if (entry.is_regular_file() && entry.path().extension() == ".msg") catalogues.push_back(entry.path());
  }
  if (ec) {
    error = sourceDir.string() + ": cannot be listed: " + ec.message();
    return false;
  }
  std::sort(catalogues.begin(), catalogues.end());
  for (const fs::path& file : catalogues) {
    int set = 0;
    if (!ParseNumber(file.stem().string(), kMaxMessageNumber, set)) {
      error = file.string() + ": a catalogue's file name is its message set number, e.g. 2.msg";
      return false;
    }
    std::string text;
    if (!ReadFile(file, text, error)) return false;
    MessageSet messages;
    if (!ParseCatalogue(text, file.string(), messages, error)) return false;
    if (!AddSet(bundle, set, std::move(messages), error)) return false;
  }
  return CollectTemplates(sourceDir, bundle, error);
}

bool WriteIcuText(const Bundle& bundle, std::string_view table, std::string& out, std::string& error) {
  out = "// Generated by the cfgout bundle compiler. Do not edit.\n";
  out += table;
  out += ":table {\n";
  if (!bundle.forceEncoding.empty()) {
    out += "    force_encoding:string { ";
    if (!AppendQuoted(bundle.forceEncoding, out)) {
      error = "the forced encoding name is not valid UTF-8";
      return false;
    }
    out += " }\n";
  }
  for (const auto& [number, set] : bundle.sets) {
    out += "    \"" + std::to_string(number) + "\":array {\n";
    for (std::size_t i = 0; i < set.messages.size(); ++i) {
      out += "        ";
      if (!AppendQuoted(set.messages[i], out)) {
        error = set.origin + ": message " + std::to_string(i + 1) + " is not valid UTF-8";
        return false;
      }
      out += ",\n";
    }
    out += "    }\n";
  }
  out += "}\n";
  return true;
}

}  // namespace cfgout::bundles
