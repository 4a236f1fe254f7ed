#include "pages/numbered_rows.h"

#include <algorithm>

#include "config/directive_names.h"
#include "config/line_list.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

bool IsInstanceOfAny(const LineNode& line, const std::vector<int>& ids) {
  return std::any_of(ids.begin(), ids.end(), [&](int id) { return HTTPDRuleMatch(line.text, id) == 1; });
}

}  // namespace

RowPosition FindNumberedRow(const ConfigHandle& cfg, const std::vector<int>& ids, int row) {
  if (row < 1) return {};
  int count = 0;
  for (ConfigFile& file : cfg) {
    for (LineNode& line : file.lines) {
      if (IsInstanceOfAny(line, ids) && ++count == row) return {&file, &line};
    }
  }
  return {};
}

RowPosition FindFirstInstance(const ConfigHandle& cfg, int id) { return FindNumberedRow(cfg, {id}, 1); }

RowPosition FindLastInstance(const ConfigHandle& cfg, int id) {
  RowPosition last;
  for (ConfigFile& file : cfg) {
    for (LineNode& line : file.lines) {
      if (HTTPDRuleMatch(line.text, id) == 1) last = {&file, &line};
    }
  }
  return last;
}

LineNode* InsertLineBefore(const RowPosition& at, std::string text) {
  LineList chain;
  LineNode& fresh = chain.Append(std::move(text));
  if (at.line->prev != nullptr) {
    LinesAdd(at.line->prev, std::move(chain));
  } else {
    LinesAddTop(*at.file, std::move(chain));
  }
  return &fresh;
}

LineNode* InsertLineAfter(LineNode* at, std::string text) {
  LineList chain;
  LineNode& fresh = chain.Append(std::move(text));
  LinesAdd(at, std::move(chain));
  return &fresh;
}

LineNode* AppendToConfiguration(ConfigHandle& cfg, std::string_view text) {
  return LinesAddStr(nullptr, cfg, text, 2);
}

void RemoveRow(const RowPosition& at) { LineRemove(at.file->lines, at.line); }

std::vector<std::string> SplitPatterns(std::string_view text) {
  std::vector<std::string> patterns;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = text.find_first_not_of(", \n\r\t", pos);
    if (start == std::string_view::npos) break;
    std::size_t end = text.find_first_of(", \n\r\t", start);
    if (end == std::string_view::npos) end = text.size();
    patterns.emplace_back(text.substr(start, end - start));
    pos = end;
  }
  return patterns;
}

}  // namespace cfgout
