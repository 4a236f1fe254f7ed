#include "config/app_offload.h"

#include <cstdlib>
#include <vector>

#include "config/block_lines.h"
#include "config/directive_access.h"
#include "config/directive_names.h"
#include "nls/message_format.h"
#include "runtime/ascii.h"

namespace cfgout {

using blocklines::Contains;
using blocklines::InsertLinesAfter;
using blocklines::RemoveLineRange;

namespace {

constexpr const char* kModuleName = "ApplicationProxy";

// Identifiers of the keywords used here, looked up once.
struct Keywords {
  int application = HTTPDRuleToID("<application>");
  int moduleBegin = HTTPDRuleToID("<modulebegin>");
  int moduleEnd = HTTPDRuleToID("<moduleend>");
  int earName = HTTPDRuleToID("earname");
  int distributionType = HTTPDRuleToID("distributiontype");
  int enable = HTTPDRuleToID("enable");
  int contextRoot = HTTPDRuleToID("context-root");
  int nonEdgableUri = HTTPDRuleToID("nonedgableuri");
  int failover = HTTPDRuleToID("httpfailoverstatuscodes");
  int zapConfFile = HTTPDRuleToID("zap_conf_file");
  int adminPort = HTTPDRuleToID("approuteradminport");
  int zapPort = HTTPDRuleToID("approuterlocalzapport");
  int retryInterval = HTTPDRuleToID("approuterretryinterval");
};
const Keywords& K() {
  static const Keywords ids;
  return ids;
}

bool Is(const LineText& line, int id) { return HTTPDRuleMatch(line, id) == 1; }

bool IsSectionBegin(const LineText& line) {
  return Is(line, K().moduleBegin) && line.find(kModuleName) != LineText::npos;
}

ConfigFile* MainFile(const ConfigHandle& handle) {
  ConfigFile* file = handle.first();
  return (file != nullptr && !file->lines.empty()) ? file : nullptr;
}

// The module section of the main file. Broken: its end line is missing, or
// a second ApplicationProxy section stands anywhere in the main file.
struct Section {
  ConfigFile* file = nullptr;
  LineNode* begin = nullptr;
  LineNode* end = nullptr;
  bool broken = false;
  bool usable() const { return begin != nullptr && !broken; }
};

Section FindSection(const ConfigHandle& handle) {
  Section section;
  section.file = MainFile(handle);
  if (section.file == nullptr) return section;
  for (LineNode* line = section.file->lines.first(); line != nullptr; line = line->next) {
    if (line->continuation()) continue;  // a piece of a cut line is no line of its own
    if (IsSectionBegin(line->text)) {
      if (section.begin != nullptr) {
        section.broken = true;
        return section;
      }
      section.begin = line;
    } else if (section.begin != nullptr && section.end == nullptr && Is(line->text, K().moduleEnd)) {
      section.end = line;
    }
  }
  if (section.begin != nullptr && section.end == nullptr) section.broken = true;
  return section;
}

// One application block: its header and closing line.
struct AppBlock {
  LineNode* header = nullptr;
  LineNode* end = nullptr;
};

// The next block after `after` (null: from the section's start). `error` is
// set for a broken section or block.
AppBlock NextBlock(const Section& section, const LineNode* after, bool& error) {
  error = false;
  if (section.begin == nullptr) return {};
  if (section.broken) {
    error = true;
    return {};
  }
  LineNode* start = nullptr;
  if (after == nullptr) {
    start = section.begin->next;
  } else {
    const LineNode* walk = after;
    while (walk != nullptr && walk != section.begin) walk = walk->prev;
    if (walk == nullptr) {
      error = true;
      return {};
    }
    start = after->next;
  }
  LineNode* header = nullptr;
  for (LineNode* line = start; line != nullptr; line = line->next) {
    if (Is(line->text, K().moduleBegin) || Is(line->text, K().moduleEnd)) return {};
    if (Is(line->text, K().application)) {
      header = line;
      break;
    }
  }
  if (header == nullptr) return {};
  bool opened = false;
  for (LineNode* line = header; line != nullptr; line = line->next) {
    if (line != header && (Is(line->text, K().moduleEnd) || Is(line->text, K().application))) break;
    if (Contains(line->text, '{')) {
      opened = true;
    } else if (Contains(line->text, '}')) {
      if (!opened) break;
      return {header, line};
    }
  }
  error = true;
  return {};
}

// Application `index` (from 0); `error` as for NextBlock. An index beyond
// the last application gives no block and no error.
AppBlock BlockAt(const Section& section, int index, bool& error) {
  error = false;
  if (index < 0) return {};
  AppBlock block = NextBlock(section, nullptr, error);
  for (int i = 0; block.header != nullptr && i < index; ++i) block = NextBlock(section, block.end, error);
  return block;
}

std::optional<std::string> NextWord(const LineText& line) { return getToken(TokenNext(line)); }

void ReadLine(AppOffloadRuleset& r, const LineText& line, std::size_t& roots, std::size_t& uris) {
  if (Is(line, K().earName)) {
    r.earName = NextWord(line);
  } else if (Is(line, K().distributionType)) {
    const char* value = TokenNext(line);
    r.preloaded = (value != nullptr && StartsWithIgnoringCase(value, "preloaded")) ? 1 : 0;
    r.cdsManaged = r.preloaded ? 0 : 1;
  } else if (Is(line, K().enable)) {
    const char* value = TokenNext(line);
    r.enabled = (value != nullptr && StartsWithIgnoringCase(value, "yes")) ? 1 : 0;
  } else if (Is(line, K().contextRoot)) {
    if (roots < r.contextRoot.size()) r.contextRoot[roots++] = NextWord(line);
  } else if (Is(line, K().nonEdgableUri)) {
    if (uris < r.nonEdgableUri.size()) r.nonEdgableUri[uris++] = NextWord(line);
  } else if (Is(line, K().failover)) {
    r.httpFailoverStatusCodes = NextWord(line);
  }
}

std::vector<std::string> BodyLines(const AppOffloadRuleset& r) {
  auto set = [](const std::optional<std::string>& v) { return v && !v->empty(); };
  std::vector<std::string> lines;
  if (set(r.earName)) lines.push_back(FormatText("\t\tEarName %s\n", {std::string_view(*r.earName)}));
  lines.push_back(FormatText("\t\tDistributionType %s\n", {r.preloaded ? "PreLoaded" : "CDSManaged"}));
  lines.push_back(FormatText("\t\tEnable %s\n", {r.enabled ? "yes" : "no"}));
  for (const auto& root : r.contextRoot) {
    if (set(root)) lines.push_back(FormatText("\t\tContext-root %s\n", {std::string_view(*root)}));
  }
  for (const auto& uri : r.nonEdgableUri) {
    if (set(uri)) lines.push_back(FormatText("\t\tNonEdgableURI %s\n", {std::string_view(*uri)}));
  }
  if (set(r.httpFailoverStatusCodes)) {
    lines.push_back(FormatText("\t\tHTTPFailoverStatusCodes %s\n", {std::string_view(*r.httpFailoverStatusCodes)}));
  }
  return lines;
}

// The first line of setting `keyword` inside the section, or null.
LineNode* FindSetting(const Section& section, int keyword) {
  for (LineNode* line = section.begin->next; line != nullptr && line != section.end; line = line->next) {
    if (Is(line->text, keyword)) return line;
  }
  return nullptr;
}

int GetNumberSetting(const ConfigHandle& handle, int keyword, int* value) {
  if (value == nullptr) return 0;
  const Section section = FindSection(handle);
  if (!section.usable()) return 1;
  if (LineNode* line = FindSetting(section, keyword)) {
    if (std::optional<std::string> word = NextWord(line->text)) *value = static_cast<int>(std::atol(word->c_str()));
  }
  return 1;
}

int SetSetting(ConfigHandle& handle, int keyword, const std::string& line) {
  const Section section = FindSection(handle);
  if (!section.usable()) return 0;
  if (LineNode* old = FindSetting(section, keyword)) RemoveLineRange(*section.file, old, old);
  InsertLinesAfter(*section.file, section.begin, {line});
  return 1;
}

}  // namespace

const LineNode* HTTPDGetNextAppOffloadBlock(const ConfigHandle& handle, const LineNode* after, int* error) {
  bool broken = false;
  const AppBlock block = NextBlock(FindSection(handle), after, broken);
  if (error != nullptr) *error = broken ? 1 : 0;
  return block.header;
}

int HTTPDGetNumAppOffloadEntries(const ConfigHandle& handle) {
  const Section section = FindSection(handle);
  int count = 0;
  bool broken = false;
  for (AppBlock block = NextBlock(section, nullptr, broken); block.header != nullptr;
       block = NextBlock(section, block.end, broken)) {
    ++count;
  }
  return broken ? -1 : count;
}

std::optional<AppOffloadRuleset> HTTPDGetAppOffloadRuleset(const ConfigHandle& handle, int index, int* error) {
  bool broken = false;
  const AppBlock block = BlockAt(FindSection(handle), index, broken);
  if (error != nullptr) *error = broken ? 1 : 0;
  if (block.header == nullptr) return std::nullopt;
  AppOffloadRuleset ruleset;
  std::size_t roots = 0;
  std::size_t uris = 0;
  const LineText& head = block.header->text;
  const LineText rest(head.view().substr(head.find('{') + 1));
  ReadLine(ruleset, rest, roots, uris);
  for (LineNode* line = block.header->next; line != block.end; line = line->next) ReadLine(ruleset, line->text, roots, uris);
  return ruleset;
}

int HTTPDDeleteAppOffloadRuleset(ConfigHandle& handle, int index) {
  const Section section = FindSection(handle);
  bool broken = false;
  const AppBlock block = BlockAt(section, index, broken);
  if (block.header == nullptr) return 0;
  RemoveLineRange(*section.file, block.header, block.end);
  return 1;
}

int HTTPDReplaceAppOffloadRuleset(ConfigHandle& handle, int index, const AppOffloadRuleset& ruleset) {
  const Section section = FindSection(handle);
  bool broken = false;
  const AppBlock block = BlockAt(section, index, broken);
  if (block.header == nullptr) return 0;
  if (block.header->next != block.end) RemoveLineRange(*section.file, block.header->next, block.end->prev);
  InsertLinesAfter(*section.file, block.header, BodyLines(ruleset));
  return 1;
}

int HTTPDAddAppOffloadRuleset(ConfigHandle& handle, int index, int before) {
  const Section section = FindSection(handle);
  const int count = HTTPDGetNumAppOffloadEntries(handle);
  if (!section.usable() || count < 0) return 0;
  LineNode* position = nullptr;
  if (count == 0) {
    if (index != 0) return 0;
    position = section.end->prev;
  } else {
    bool broken = false;
    const AppBlock block = BlockAt(section, index, broken);
    if (block.header == nullptr) return 0;
    position = before ? block.header->prev : block.end;
  }
  InsertLinesAfter(*section.file, position, {"\t\t<Application> {\n", "\t\t}\n"});
  return 1;
}

int HTTPDDoesAppOffloadModuleExist(const ConfigHandle& handle) { return FindSection(handle).usable() ? 1 : 0; }

int HTTPDAddAppOffloadModule(ConfigHandle& handle) {
  ConfigFile* file = handle.first();
  if (file == nullptr) return 0;
  InsertLinesAfter(*file, file->lines.last(),
                   {FormatText("<ModuleBegin> %s\n", {std::string_view(kModuleName)}), "<ModuleEnd>\n"});
  return 1;
}

const LineNode* HTTPDGetTopAppOffloadModule(const ConfigHandle& handle, int* error) {
  const Section section = FindSection(handle);
  if (error != nullptr) *error = (section.begin != nullptr && !section.broken) ? 0 : 1;
  return section.begin;
}

int HTTPDGetAppServerConfFile(const ConfigHandle& handle, std::string* dst) {
  if (dst == nullptr) return 0;
  dst->clear();
  const Section section = FindSection(handle);
  if (!section.usable()) return 1;
  if (LineNode* line = FindSetting(section, K().zapConfFile)) *dst = NextWord(line->text).value_or("");
  return 1;
}

int HTTPDGetAppServerAdminPort(const ConfigHandle& handle, int* value) {
  return GetNumberSetting(handle, K().adminPort, value);
}
int HTTPDGetAppServerZAPPort(const ConfigHandle& handle, int* value) {
  return GetNumberSetting(handle, K().zapPort, value);
}
int HTTPDGetAppServerRetryInterval(const ConfigHandle& handle, int* value) {
  return GetNumberSetting(handle, K().retryInterval, value);
}

int HTTPDSetAppServerConfFile(ConfigHandle& handle, const std::string& value) {
  return SetSetting(handle, K().zapConfFile, FormatText("\t\tZAP_CONF_FILE %s\n", {std::string_view(value)}));
}
int HTTPDSetAppServerAdminPort(ConfigHandle& handle, int value) {
  return SetSetting(handle, K().adminPort, FormatText("\t\tAppRouterAdminPort %d\n", {std::int64_t{value}}));
}
int HTTPDSetAppServerZAPPort(ConfigHandle& handle, int value) {
  return SetSetting(handle, K().zapPort, FormatText("\t\tAppRouterLocalZAPPort %d\n", {std::int64_t{value}}));
}
int HTTPDSetAppServerRetryInterval(ConfigHandle& handle, int value) {
  return SetSetting(handle, K().retryInterval,
                    FormatText("\t\tApprouterRetryInterval %d\n", {std::int64_t{value}}));
}

}  // namespace cfgout
