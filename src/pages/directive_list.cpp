#include "pages/directive_list.h"

#include <string>

#include "config/directive_access.h"
#include "config/directive_names.h"

namespace cfgout {

namespace {

// Keyword column width of the written list lines.
constexpr std::size_t kKeywordWidth = 28;

}  // namespace

LineList DirectiveListLines(std::string_view keyword, std::string_view text) {
  constexpr std::string_view kSeparators = ", \n\r\t";
  std::string head(keyword);
  if (head.size() < kKeywordWidth) head.append(kKeywordWidth - head.size(), ' ');
  head += ' ';
  LineList lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = text.find_first_not_of(kSeparators, pos);
    if (start == std::string_view::npos) break;
    std::size_t end = text.find_first_of(kSeparators, start);
    if (end == std::string_view::npos) end = text.size();
    std::string line = head;
    line += text.substr(start, end - start);
    line += '\n';
    lines.Append(std::move(line));
    pos = end;
  }
  return lines;
}

bool RemoveDirectiveRow(ConfigHandle& cfg, std::string_view keyword, int row) {
  if (row < 1) return false;
  const int id = HTTPDRuleToID(keyword);
  int seen = 0;
  for (ConfigFile& file : cfg) {
    for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (!line->continuation() && HTTPDRuleMatch(line->text, id) && ++seen == row) {
        // Unlinked and freed with the pieces that continue it; the file
        // starts at the next line when it was the first.
        LineRemoveWhole(file.lines, line);
        return true;
      }
    }
  }
  return false;
}

void ApplyDirectiveListAction(ConfigHandle& cfg, std::string_view keyword, int action, int row,
                              std::string_view text) {
  switch (action) {
    case kListActionInsertBefore:
    case kListActionInsertAfter:
      if (LineList lines = DirectiveListLines(keyword, text)) HTTPDAddRules(cfg, HTTPDRuleToID(keyword), std::move(lines));
      break;
    case kListActionDelete: RemoveDirectiveRow(cfg, keyword, row); break;
    default: break;
  }
}

}  // namespace cfgout
