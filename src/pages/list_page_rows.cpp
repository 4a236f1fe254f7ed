#include "pages/list_page_rows.h"

#include "runtime/ascii.h"

namespace cfgout {

LineNode* NthLine(const LineList& list, int number) {
  LineNode* line = list.first();
  for (int k = 1; line != nullptr && k < number; ++k) line = line->next;
  return line;
}

LineNode* InsertLinesAfter(LineNode* after, const std::vector<std::string>& texts) {
  if (after == nullptr) return nullptr;
  for (const std::string& text : texts) {
    LineList one;
    LineNode* added = &one.Append(text);
    LinesAdd(after, std::move(one));
    after = added;
  }
  return after;
}

LineNode* InsertLines(ConfigHandle& cfg, const LineNode* selected, int where, const std::vector<std::string>& texts) {
  if (texts.empty()) return nullptr;
  LineNode* first = LinesAddStr(selected != nullptr ? selected->text.c_str() : nullptr, cfg, texts.front(), where);
  if (texts.size() == 1 || first == nullptr) return first;
  return InsertLinesAfter(first, std::vector<std::string>(texts.begin() + 1, texts.end()));
}

void DropLine(LineList& list, LineNode* node) { LineRemove(list, node); }

}  // namespace cfgout
