#include "config/pics_rules.h"

#include <algorithm>
#include <array>

#include "config/directive_access.h"
#include "nls/message_format.h"
#include "runtime/ascii.h"

namespace cfgout {

using blocklines::BlockEnd;
using blocklines::Contains;
using blocklines::FirstTokenIs;
using blocklines::InsertLinesAfter;
using blocklines::RemoveLineRange;

namespace {

constexpr std::string_view kNameSeparators = "\r\n\t{\"";
constexpr std::size_t kNameElementLimit = 5120;  // room for the joined name element
constexpr int kNameElementFollowers = 4;         // lines joined after the element's first
constexpr std::size_t kServiceStringLimit = 1024;
constexpr const char* kExtensions = "kzo-halberd-extensions";

ConfigFile* MainFile(const ConfigHandle& handle) {
  ConfigFile* file = handle.first();
  return (file != nullptr && !file->lines.empty()) ? file : nullptr;
}

// The rule name of a header line: its second field with the separators
// around it left out (`DefinePicsRule "Kids" {` names Kids); nullopt for
// other lines.
std::optional<std::string> RuleNameOf(const LineText& line) {
  if (!FirstTokenIs(line, "DefinePicsRule")) return std::nullopt;
  std::string_view field = PointToNextField(line);
  const std::size_t start = field.find_first_not_of(kNameSeparators);
  if (start == std::string_view::npos) return std::string();
  field.remove_prefix(start);
  return std::string(field.substr(0, field.find_first_of(kNameSeparators)));
}

LineNode* FindRule(const ConfigFile& file, std::string_view name, bool last) {
  LineNode* found = nullptr;
  for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
    if (line->continuation()) continue;  // a piece of a cut line is no line of its own
    std::optional<std::string> ruleName = RuleNameOf(line->text);
    if (ruleName && *ruleName == name) {
      found = line;
      if (!last) break;
    }
  }
  return found;
}

// A rule found with its closing line.
struct RuleBlock {
  ConfigFile* file = nullptr;
  LineNode* header = nullptr;
  LineNode* end = nullptr;
  BlockStatus status = BlockStatus::kMissing;
};

RuleBlock LocateRule(const ConfigHandle& handle, std::string_view name, bool last = false) {
  RuleBlock block;
  block.file = MainFile(handle);
  if (block.file == nullptr) return block;
  block.header = FindRule(*block.file, name, last);
  if (block.header == nullptr) return block;
  block.end = BlockEnd(block.header);
  block.status = block.end != nullptr ? BlockStatus::kFound : BlockStatus::kBroken;
  return block;
}

// The last line of the element that starts at `first`: the line at which
// its parentheses balance again (a first line without any is the element),
// never reaching the rule's closing line.
LineNode* ElementEnd(LineNode* first, const LineNode* blockEnd) {
  int depth = 0;
  LineNode* line = first;
  for (;;) {
    depth += static_cast<int>(std::count(line->text.begin(), line->text.end(), '('));
    depth -= static_cast<int>(std::count(line->text.begin(), line->text.end(), ')'));
    if (depth <= 0 || line->next == nullptr || line->next == blockEnd) return line;
    line = line->next;
  }
}

// Where an element that the rule lacks goes: after the third line before
// the closing line (after the extension element of a rule written here),
// or after the header in a shorter rule.
LineNode* DefaultElementSpot(const RuleBlock& block) {
  LineNode* spot = block.end;
  for (int i = 0; i < 3; ++i) {
    if (spot->prev == nullptr || spot->prev == block.header) return block.header;
    spot = spot->prev;
  }
  return spot;
}

bool IsNameElement(const LineText& line) {
  return FirstTokenIs(line, "name") && line.find(" name ") != std::string::npos && Contains(line, '(');
}

// Words of the joined name element; a word that starts with a double quote
// runs to the next one, so quoted names keep their blanks.
std::vector<std::string> ElementWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') { ++i; continue; }
    std::size_t end;
    if (text[i] == '"') {
      end = text.find('"', i + 1);
      end = (end == std::string_view::npos) ? text.size() : end + 1;
    } else {
      end = text.find(' ', i);
      if (end == std::string_view::npos) end = text.size();
    }
    words.emplace_back(text.substr(i, end - i));
    i = end;
  }
  return words;
}

std::string NameElementDescription(LineNode* first, const LineNode* blockEnd) {
  std::string joined = first->text.substr(first->text.find('('));
  LineNode* line = first;
  for (int n = 0; n < kNameElementFollowers && !Contains(line->text, ')'); ++n) {
    if (line->next == nullptr || line->next == blockEnd) break;
    line = line->next;
    joined += line->text;
  }
  if (joined.size() > kNameElementLimit) joined.resize(kNameElementLimit);
  ConvertChars(joined, "\t\r\n()", ' ');
  const std::vector<std::string> words = ElementWords(joined);
  std::size_t at = 0;
  if (!words.empty() && words[0] == "rulename") {
    at = 2;
    if (words.size() > at && words[at] == "description") ++at; else return "";
  } else if (!words.empty() && words[0] == "description") {
    at = 1;
  } else {
    return "";
  }
  return words.size() > at ? StripQuotes(words[at]) : "";
}

std::optional<std::string> NextWordUnquoted(const LineText& line) {
  std::optional<std::string> word = getToken(TokenNext(line));
  if (!word) return std::nullopt;
  return StripQuotes(*word);
}

std::vector<std::string> NameElementLines(const std::string& name, const std::optional<std::string>& description) {
  return {"          name      (\n",
          FormatText("                    rulename \"%s\"\n", {std::string_view(name)}),
          FormatText("                    description \"%s\"\n", {std::string_view(description.value_or(""))}),
          "                    )\n"};
}

std::vector<std::string> ExtensionLines(const PicsRule& rule) {
  std::vector<std::string> lines = {
      "          kzo-halberd-extensions (\n",
      FormatText("                    active-days \"%s\"\n", {std::string_view(rule.activeDays.value_or(""))})};
  if (rule.startTime) lines.push_back(FormatText("                    start-time \"%s\"\n", {std::string_view(*rule.startTime)}));
  if (rule.endTime) lines.push_back(FormatText("                    end-time \"%s\"\n", {std::string_view(*rule.endTime)}));
  lines.push_back("                    )\n");
  return lines;
}

// Replaces the element that starts with a line passing `isStart` by
// `lines`; a rule without such an element gets it at the default spot.
template <typename IsStart>
void ReplaceElement(const RuleBlock& block, IsStart isStart, const std::vector<std::string>& lines) {
  for (LineNode* line = block.header->next; line != nullptr && line != block.end; line = line->next) {
    if (!isStart(line->text)) continue;
    LineNode* last = ElementEnd(line, block.end);
    LineNode* before = line->prev;
    RemoveLineRange(*block.file, line, last);
    InsertLinesAfter(*block.file, before, lines);
    return;
  }
  InsertLinesAfter(*block.file, DefaultElementSpot(block), lines);
}

// The first line of the rule's filter element, or null.
LineNode* FilterElement(const RuleBlock& block) {
  for (LineNode* line = block.header->next; line != nullptr && line != block.end; line = line->next) {
    if (FirstTokenIs(line->text, "Filter")) return line;
  }
  return nullptr;
}

std::string TrimmedLine(std::string_view text) { return std::string(TrimAsciiSpace(text)); }

// The text of an element from after its first "(" to before its last ")".
std::string ElementInside(LineNode* first, LineNode* last) {
  std::string joined;
  for (LineNode* line = first;; line = line->next) {
    joined += line->text;
    if (line == last) break;
  }
  const std::size_t open = joined.find('(');
  const std::size_t close = joined.rfind(')');
  if (open == std::string::npos) return "";
  return joined.substr(open + 1, (close == std::string::npos || close < open) ? std::string::npos : close - open - 1);
}

std::vector<std::string> QuotedStrings(std::string_view text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while ((at = text.find('"', at)) != std::string_view::npos) {
    const std::size_t close = text.find('"', at + 1);
    if (close == std::string_view::npos) break;
    out.emplace_back(text.substr(at + 1, close - at - 1));
    at = close + 1;
  }
  return out;
}

std::string ServiceString(LineNode* first, LineNode* last) {
  static constexpr std::array<const char*, 5> kKeys = {"shortname", "name", "bureau", "ratfile",
                                                       "available-with-content"};
  std::array<std::string, 5> values = {"", "", std::string(kPicsNoBureau), std::string(kPicsNoRatFile), ""};
  for (LineNode* line = first->next; line != nullptr; line = line->next) {
    if (line == last && FirstTokenIs(line->text, ")")) break;
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
      if (!FirstTokenIs(line->text, kKeys[k])) continue;
      const char* rest = TokenNext(line->text);
      std::string value = rest != nullptr ? std::string(rest) : std::string();
      StripCRLF(value);
      values[k] = StripQuotes(TrimAsciiSpace(value));
      break;
    }
    if (line == last) break;
  }
  std::size_t total = 5;
  for (const std::string& value : values) total += value.size();
  if (total <= kServiceStringLimit) {
    return FormatText("%s %s %s %s %s", {values[0], values[1], values[2], values[3], values[4]});
  }
  return FormatText("%s %s OPT1 OPT2 %s", {values[0], values[1], values[4]});
}

std::vector<std::string> SubElementLines(std::string_view element, const std::vector<std::string>& list) {
  std::vector<std::string> lines;
  if (element == "passurl" || element == "failurl") {
    if (list.size() == 1) {
      lines.push_back(FormatText("          %s ( \"%s\" )\n", {element, std::string_view(list[0])}));
    } else {
      lines.push_back(FormatText("          %s (\n", {element}));
      for (const std::string& url : list) lines.push_back(FormatText("             \"%s\"\n", {std::string_view(url)}));
      lines.push_back("             )\n");
    }
  } else if (element == "applies-to") {
    lines.push_back("          applies-to (\n");
    for (const std::string& pattern : list) lines.push_back(FormatText("                     %s\n", {std::string_view(pattern)}));
    lines.push_back("                     )\n");
  } else if (element == "serviceinfo") {
    for (const std::string& service : list) {
      std::array<std::string, 5> values;
      std::size_t at = 0;
      for (std::size_t k = 0; k < values.size() && at <= service.size(); ++k) {
        std::size_t space = (k + 1 < values.size()) ? service.find(' ', at) : std::string::npos;
        if (space == std::string::npos) space = service.size();
        values[k] = service.substr(at, space - at);
        at = space + 1;
      }
      lines.push_back("          serviceinfo (\n");
      lines.push_back(FormatText("                      shortname \"%s\"\n", {values[0]}));
      lines.push_back(FormatText("                      name \"%s\"\n", {values[1]}));
      if (values[2] != kPicsNoBureau) lines.push_back(FormatText("                      bureau \"%s\"\n", {values[2]}));
      if (values[3] != kPicsNoRatFile) lines.push_back(FormatText("                      ratfile \"%s\"\n", {values[3]}));
      lines.push_back(FormatText("                      available-with-content \"%s\"\n", {values[4]}));
      lines.push_back("                      )\n");
    }
  }
  return lines;
}

}  // namespace

std::optional<PicsRule> HTTPDGetPicsFilterRule(const ConfigHandle& handle, std::string_view name, BlockStatus* status) {
  const RuleBlock block = LocateRule(handle, name);
  if (status != nullptr) *status = block.status;
  if (block.status != BlockStatus::kFound) return std::nullopt;
  PicsRule rule;
  rule.name = std::string(name);
  for (LineNode* line = block.header->next; line != nullptr && line != block.end && block.end != block.header;
       line = line->next) {
    const LineText& text = line->text;
    if (IsNameElement(text)) {
      rule.description = NameElementDescription(line, block.end);
    } else if (FirstTokenIs(text, "active-days")) {
      rule.activeDays = NextWordUnquoted(text);
    } else if (FirstTokenIs(text, "start-time")) {
      rule.startTime = NextWordUnquoted(text);
    } else if (FirstTokenIs(text, "end-time")) {
      rule.endTime = NextWordUnquoted(text);
    }
  }
  return rule;
}

int HTTPDPutPicsFilterRule(ConfigHandle& handle, const PicsRule& rule, std::string_view anchor, int mode) {
  if (!rule.name || rule.name->empty()) return 0;
  ConfigFile* file = handle.first();
  if (file == nullptr) return 0;
  const RuleBlock block = LocateRule(handle, anchor);
  if (block.status == BlockStatus::kBroken && mode != 1) return -1;
  LineNode* position = file->lines.last();
  if (block.header != nullptr) position = (mode == 1) ? block.header->prev : block.end;
  const std::string_view name = *rule.name;
  std::vector<std::string> lines = {
      FormatText("DefinePicsRule \"%s\" {\n", {name}),
      "     (PicsRule-1.0\n",
      "          (\n",
      "          name     (\n",
      FormatText("                   rulename \"%s\"\n", {name}),
      FormatText("                   description \"%s\"\n", {std::string_view(rule.description.value_or(""))}),
      "                   )\n",
      "          kzo-halberd-extensions (\n",
      FormatText("               active-days \"%s\"\n", {std::string_view(rule.activeDays.value_or(""))})};
  if (rule.startTime) lines.push_back(FormatText("               start-time \"%s\"\n", {std::string_view(*rule.startTime)}));
  if (rule.endTime) lines.push_back(FormatText("               end-time \"%s\"\n", {std::string_view(*rule.endTime)}));
  for (const char* text : {"                                )\n", "         )\n", "    )\n", "}\n"}) lines.push_back(text);
  InsertLinesAfter(*file, position, lines);
  return 1;
}

int HTTPDCopyPicsFilterRule(ConfigHandle& handle, std::string_view source, std::string_view anchor,
                            std::string_view newName, int mode) {
  const RuleBlock from = LocateRule(handle, source, true);
  if (from.status != BlockStatus::kFound) return 0;
  const RuleBlock to = LocateRule(handle, anchor, true);
  if (to.status == BlockStatus::kBroken && mode != 1) return 0;
  LineNode* position = from.file->lines.last();
  if (to.header != nullptr) position = (mode == 1) ? to.header->prev : to.end;
  std::vector<std::string> lines = {FormatText("DefinePicsRule \"%s\" {\n", {newName})};
  if (from.end != from.header) {
    for (LineNode* line = from.header->next; line != from.end; line = line->next) {
      if (line->text.find("rulename") != std::string::npos) {
        lines.push_back(FormatText("          name     (rulename \"%s\"\n", {newName}));
      } else {
        lines.emplace_back(line->text.view());
      }
    }
  }
  lines.push_back("}\n");
  InsertLinesAfter(*from.file, position, lines);
  return 0;
}

int HTTPDReplacePicsFilterRule(ConfigHandle& handle, const PicsRule& rule, std::string_view name) {
  const RuleBlock block = LocateRule(handle, name);
  if (block.status != BlockStatus::kFound || block.end == block.header || !rule.name) return 0;
  block.header->text = FormatText("DefinePicsRule \"%s\" {\n", {std::string_view(*rule.name)});
  ReplaceElement(block, IsNameElement, NameElementLines(*rule.name, rule.description));
  ReplaceElement(block, [](const LineText& text) { return FirstTokenIs(text, kExtensions); }, ExtensionLines(rule));
  return 1;
}

int HTTPDMovePicsFilterRule(ConfigHandle& handle, std::string_view name, std::string_view anchor, int mode) {
  const RuleBlock block = LocateRule(handle, name);
  const RuleBlock to = LocateRule(handle, anchor);
  if (block.status != BlockStatus::kFound || to.status != BlockStatus::kFound || block.header == to.header) return 0;
  return blocklines::MoveLineRange(*block.file, block.header, block.end, to.header, to.end, mode == 1) ? 1 : 0;
}

std::optional<std::string> HTTPDDeletePicsFilterRule(ConfigHandle& handle, std::string_view name, BlockStatus* status) {
  const RuleBlock block = LocateRule(handle, name);
  if (status != nullptr) *status = block.status;
  if (block.status != BlockStatus::kFound) return std::nullopt;
  std::string closing(block.end->text);
  RemoveLineRange(*block.file, block.header, block.end);
  return closing;
}

std::vector<std::string> HTTPDGetPicsFilterSubdirective(const ConfigHandle& handle, std::string_view element,
                                                        std::string_view name, int capacity) {
  std::vector<std::string> out;
  const std::size_t limit = static_cast<std::size_t>(capacity > 0 ? capacity : kPicsDefaultListCapacity);
  const RuleBlock block = LocateRule(handle, name);
  if (block.status != BlockStatus::kFound || block.end == block.header) return out;
  const bool filter = EqualsIgnoringCase(element, "filter");
  const std::string keyword(filter ? "Filter" : element);
  for (LineNode* line = block.header->next; line != nullptr && line != block.end && out.size() < limit;) {
    if (!FirstTokenIs(line->text, keyword.c_str())) {
      line = line->next;
      continue;
    }
    LineNode* last = ElementEnd(line, block.end);
    if (filter) {
      std::string text;
      for (LineNode* l = line;; l = l->next) {
        const std::string piece = TrimmedLine(l->text);
        if (!piece.empty()) text += (text.empty() ? "" : " ") + piece;
        if (l == last) break;
      }
      out.push_back(text);
    } else if (element == "serviceinfo") {
      out.push_back(ServiceString(line, last));
    } else if (element == "applies-to") {
      const std::string inside = ElementInside(line, last);
      std::size_t at = 0;
      while (at <= inside.size() && out.size() < limit) {
        std::size_t nl = inside.find('\n', at);
        if (nl == std::string::npos) nl = inside.size();
        const std::string pattern = TrimmedLine(std::string_view(inside).substr(at, nl - at));
        if (!pattern.empty()) out.push_back(pattern);
        at = nl + 1;
      }
    } else {
      for (std::string& url : QuotedStrings(ElementInside(line, last))) {
        if (out.size() < limit) out.push_back(std::move(url));
      }
    }
    line = last->next;
    if (filter) break;
  }
  return out;
}

int HTTPDPutPicsFilterSubdirective(ConfigHandle& handle, std::string_view element,
                                   const std::vector<std::string>& list, std::string_view name) {
  if (list.empty()) return 0;
  const std::vector<std::string> lines = SubElementLines(element, list);
  const RuleBlock block = LocateRule(handle, name);
  if (lines.empty() || block.status != BlockStatus::kFound || block.end == block.header) return 0;
  const std::string keyword(element);
  LineNode* spot = nullptr;
  bool removed = false;
  for (LineNode* line = block.header->next; line != nullptr && line != block.end;) {
    if (!FirstTokenIs(line->text, keyword.c_str())) {
      line = line->next;
      continue;
    }
    LineNode* last = ElementEnd(line, block.end);
    LineNode* next = last->next;
    spot = line->prev;
    removed = true;
    RemoveLineRange(*block.file, line, last);
    line = next;
  }
  InsertLinesAfter(*block.file, removed ? spot : DefaultElementSpot(block), lines);
  return 0;
}

int HTTPDPutFilterSubdirective(ConfigHandle& handle, std::string_view name, std::string_view text) {
  const RuleBlock block = LocateRule(handle, name);
  if (block.status != BlockStatus::kFound || block.end == block.header) return 0;
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  const std::string line = FormatText("           %s\n", {text});
  LineNode* spot = DefaultElementSpot(block);
  if (LineNode* first = FilterElement(block)) {
    LineNode* last = ElementEnd(first, block.end);
    spot = first->prev;
    RemoveLineRange(*block.file, first, last);
  }
  InsertLinesAfter(*block.file, spot, {line});
  return 1;
}

LineNode* HTTPDDeleteFilterSubdirective(ConfigHandle& handle, std::string_view name) {
  const RuleBlock block = LocateRule(handle, name);
  if (block.status != BlockStatus::kFound || block.end == block.header) return nullptr;
  LineNode* first = FilterElement(block);
  if (first == nullptr) return nullptr;
  LineNode* last = ElementEnd(first, block.end);
  LineNode* after = last->next;
  RemoveLineRange(*block.file, first, last);
  return after;
}

int HTTPDCreatePACFile(const ConfigHandle&) { return 0; }

std::vector<std::string> HTTPDListPicsFilterRules(const ConfigHandle& handle) {
  std::vector<std::string> names;
  if (ConfigFile* file = MainFile(handle)) {
    for (const LineNode* line = file->lines.first(); line != nullptr; line = line->next) {
      if (line->continuation()) continue;
      if (std::optional<std::string> name = RuleNameOf(line->text)) names.push_back(std::move(*name));
    }
  }
  return names;
}

}  // namespace cfgout
