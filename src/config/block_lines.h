#pragma once
// Small line helpers shared by the named-block libraries (LDAP server blocks,
// PICS filter rules, application offload). They work on the main file of an
// open configuration through the public line-list operations only.
//
// Usage:
//   ConfigFile& main = *cfg.first();
//   LineNode* after = InsertLinesAfter(main, anchor, {"LDAPInfo corp {\n", "}\n"});
//   std::vector<std::string> gone = RemoveLineRange(main, first, last);   // their texts

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/directive_names.h"
#include "config/line_list.h"

namespace cfgout {

// How a named block was found. kBroken: its header is there, but its closing
// line is missing (the file ends, or another block opens, first); the block
// is then neither read nor changed.
enum class BlockStatus { kFound, kMissing, kBroken };

namespace blocklines {

inline bool Contains(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

// A line that opens a block and does not close it on the same line.
inline bool OpensBlock(std::string_view text) { return Contains(text, '{') && !Contains(text, '}'); }

// The second token of `line` (after the first token and its blanks, up to a
// blank, "#" or the end); empty when there is none.
inline std::string_view SecondToken(const LineText& line) {
  const char* start = TokenNext(line);
  if (start == nullptr) return {};
  const char* end = start;
  while (*end != '\0' && *end != ' ' && *end != '\t' && *end != '\n' && *end != '\r' && *end != '#') ++end;
  return std::string_view(start, static_cast<std::size_t>(end - start));
}

// 1 when the first token of `line` is `keyword`, ignoring case.
inline bool FirstTokenIs(const LineText& line, const char* keyword) {
  return TokenMatch(line.c_str(), keyword) == 1;
}
inline bool FirstTokenIs(const std::string& line, const char* keyword) {
  return TokenMatch(line.c_str(), keyword) == 1;
}

// The closing line of the block whose header is `header`: the header itself
// when it holds "}" or holds no "{" at all (a one-line directive), else the
// first following line holding "}". Null when the file ends, or another
// block opens, before that line.
inline LineNode* BlockEnd(LineNode* header) {
  if (Contains(header->text, '}') || !Contains(header->text, '{')) return header;
  for (LineNode* line = header->next; line != nullptr; line = line->next) {
    if (Contains(line->text, '}')) return line;
    if (OpensBlock(line->text)) return nullptr;
  }
  return nullptr;
}

// Inserts `texts` as new lines after `after` (at the top of `file` when
// `after` is null) and returns the last inserted line. A final line without
// its line feed gets one first, so that the new lines never join it.
inline LineNode* InsertLinesAfter(ConfigFile& file, LineNode* after, const std::vector<std::string>& texts) {
  if (texts.empty()) return after;
  LineList chain;
  for (const std::string& text : texts) chain.Append(text);
  LineNode* last = chain.last();
  if (after == nullptr) {
    LinesAddTop(file, std::move(chain));
  } else {
    if (after->next == nullptr && !after->text.empty() && after->text.back() != '\n') after->text += '\n';
    LinesAdd(after, std::move(chain));
  }
  return last;
}

inline LineNode* InsertLinesAfter(ConfigFile& file, LineNode* after, std::initializer_list<std::string> texts) {
  return InsertLinesAfter(file, after, std::vector<std::string>(texts));
}

// Unlinks and frees the lines from `first` through `last` (same file, in
// order) and returns their texts. The file starts at the next remaining line
// when `first` was its first line.
inline std::vector<std::string> RemoveLineRange(ConfigFile& file, LineNode* first, LineNode* last) {
  std::vector<std::string> texts;
  LineNode* line = first;
  while (line != nullptr) {
    LineNode* next = line->next;
    const bool done = (line == last);
    LineList removed = LineRemove(file.lines, line);
    texts.emplace_back(removed.first()->text.view());
    if (done) break;
    line = next;
  }
  return texts;
}

// Moves the lines from `first` through `last` to stand right before
// `anchor` (`before` true) or right after `anchorEnd`. False, with nothing
// changed, when either anchor line lies inside the moved range (a one-line
// header written inside the block being moved).
inline bool MoveLineRange(ConfigFile& file, LineNode* first, LineNode* last, LineNode* anchor, LineNode* anchorEnd,
                          bool before) {
  for (const LineNode* line = first; line != nullptr; line = line->next) {
    if (line == anchor || line == anchorEnd) return false;
    if (line == last) break;
  }
  const std::vector<std::string> texts = RemoveLineRange(file, first, last);
  InsertLinesAfter(file, before ? anchor->prev : anchorEnd, texts);
  return true;
}

}  // namespace blocklines
}  // namespace cfgout
