#pragma once
// Message bundle sources and their translation into ICU resource bundle text
// (the input of genrb).
//
// A bundle's source folder holds:
//   <set>.msg   a catalogue: message set <set>, one "<number> <text>" per line
//   pages.list  templates: "<set> <PAGE_NAME> <file.html>" per line; each HTML
//               file is message set <set>, one message per line holding the
//               line's text and a line feed, ended by an empty message
// Every bundle also gets the string resource "force_encoding".

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cfgout::bundles {

// Highest message number a catalogue may use (keeps a typo from making a
// huge array of empty messages).
inline constexpr int kMaxMessageNumber = 100000;
// What a catalogue number that no line defines holds: U+FFFF, a
// noncharacter no text uses. The program's bundle reader takes it for a
// missing message, so the built-in text applies (an empty text would hide it).
inline constexpr std::string_view kGapMark = "\xEF\xBF\xBF";
// A template holds at most this many lines before its end mark.
inline constexpr std::size_t kMaxTemplateLines = 499;

struct MessageSet {
  std::vector<std::string> messages;  // message n is element n - 1 (UTF-8)
  std::string origin;                 // the file it came from, for messages
};

struct Bundle {
  std::map<int, MessageSet> sets;
  std::string forceEncoding = "UTF-8";  // empty: no force_encoding resource
};

// Every function returns true on success; on failure `error` says where and
// why ("file:line: what").

// Parses a catalogue's text into `out`. `origin` names it in errors.
bool ParseCatalogue(std::string_view text, const std::string& origin, MessageSet& out,
                    std::string& error);

// Reads a template file into lines, expanding include lines (relative to the
// including file's folder) and appending the empty end mark. Each line is its
// text followed by "\n" (a CRLF or a missing final line end gives "\n" too),
// so no line but the end mark is empty.
bool ReadTemplate(const std::filesystem::path& file, std::vector<std::string>& lines,
                  std::string& error);

// Collects every catalogue and template of `sourceDir` into `bundle`. A
// folder that does not exist gives an empty bundle.
bool CollectBundle(const std::filesystem::path& sourceDir, Bundle& bundle, std::string& error);

// The ICU resource bundle text for `bundle` under the table name `table`
// ("root" or a locale name). Pure ASCII: everything else is escaped. Fails on
// text that is not valid UTF-8.
bool WriteIcuText(const Bundle& bundle, std::string_view table, std::string& out,
                  std::string& error);

}  // namespace cfgout::bundles
