#include "pages/proxexp_page.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "nls/message_format.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// One per-pattern setting: the directive, its URL pattern, the line it is
// written as (number, unit), and the form-variable codes of its number and
// unit fields.
struct PatternSetting {
  const char* keyword;
  const char* pattern;
  const char* lineFormat;
  int numberCode;
  int unitCode;
};

constexpr std::array<PatternSetting, 5> kSettings = {{
    {"CacheUnused", "http:*", "CacheUnused   http:*  %s  %s\n", 1030, 3940},
    {"CacheUnused", "ftp:*", "CacheUnused   ftp:*  %s  %s\n", 1010, 3950},
    {"CacheUnused", "gopher:*", "CacheUnused   gopher:*  %s  %s\n", 1020, 3960},
    {"CacheDefaultExpiry", "ftp:*", "CacheDefaultExpiry   ftp:*  %s  %s\n", 810, 3970},
    {"CacheDefaultExpiry", "gopher:*", "CacheDefaultExpiry   gopher:*  %s  %s\n", 820, 3980},
}};

// The unit markers after each number: the prefix a unit word must start
// with (ignoring case) for its option to be selected.
constexpr std::array<std::string_view, 5> kUnitPrefixes = {"Month", "Day", "Hour", "Min", "sec"};

constexpr int kMarkersPerSetting = 6;
constexpr int kFirstSingleMarker = static_cast<int>(kSettings.size()) * kMarkersPerSetting;  // 30

// The words of a line, split at blanks, tabs, CR and LF.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = text.find_first_not_of(" \r\n\t", pos);
    if (start == std::string_view::npos) break;
    std::size_t end = text.find_first_of(" \r\n\t", start);
    if (end == std::string_view::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    pos = end;
  }
  return words;
}

struct ShownSetting {
  std::string number;
  std::string unit;
};

// The number and unit of each setting from the last line of its directive
// whose second word is its pattern (ignoring case).
std::array<ShownSetting, kSettings.size()> ReadSettings(const ConfigHandle& cfg) {
  std::array<ShownSetting, kSettings.size()> shown;
  for (const char* keyword : {"CacheUnused", "CacheDefaultExpiry"}) {
    const LineList found = HTTPDGetRules(cfg, HTTPDRuleToID(keyword));
    for (const LineNode& line : found) {
      const std::vector<std::string_view> words = Words(line.text);
      if (words.size() < 2) continue;
      for (std::size_t s = 0; s < kSettings.size(); ++s) {
        if (std::string_view(kSettings[s].keyword) != keyword || !EqualsIgnoringCase(words[1], kSettings[s].pattern)) {
          continue;
        }
        shown[s].number = words.size() > 2 ? std::string(words[2]) : std::string();
        shown[s].unit = words.size() > 3 ? std::string(words[3]) : std::string();
      }
    }
  }
  return shown;
}

// The last line of the configuration (last file first, each file from its
// end) that is an instance of `id` and holds `pattern`; null when none is.
LineNode* LastPatternLine(const ConfigHandle& cfg, int id, std::string_view pattern) {
  for (ConfigFile* file = cfg.last(); file != nullptr; file = file->prev) {
    for (LineNode* line = file->lines.last(); line != nullptr; line = line->prev) {
      if (!line->continuation() && HTTPDRuleMatch(line->text, id) && line->text.find(pattern) != std::string::npos) {
        return line;
      }
    }
  }
  return nullptr;
}

// Writes one setting: its last line in place, or a new line at the end of
// the main file when it has none.
void WriteSetting(ConfigHandle& cfg, const PatternSetting& setting, std::string line) {
  if (LineNode* existing = LastPatternLine(cfg, HTTPDRuleToID(setting.keyword), setting.pattern)) {
    existing->text = std::move(line);
    return;
  }
  ConfigFile* main = cfg.first();
  if (main == nullptr) return;
  LineList added;
  added.Append(std::move(line));
  if (LineNode* last = main->lines.last()) {
    LinesAdd(last, std::move(added));
  } else {
    main->lines = std::move(added);
  }
}

// Clears one setting: every line of its directive that holds its pattern
// goes, the lines of the other patterns stay.
void ClearSetting(ConfigHandle& cfg, const PatternSetting& setting) {
  const int id = HTTPDRuleToID(setting.keyword);
  LineList doomed;
  for (const LineNode& line : HTTPDGetRules(cfg, id)) {
    if (line.text.find(setting.pattern) != std::string::npos) doomed.Append(line.text);
  }
  if (!doomed.empty()) HTTPDRemoveRules(cfg, id, doomed);
}

}  // namespace

int ProxexpDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(
      config, {"CacheUnused", "CacheDefaultExpiry", "CacheExpiryCheck", "CacheNoConnect", "CacheTimeMargin"});
  const ConfigHandle& cfg = *shown;
  const std::array<ShownSetting, kSettings.size()> settings = ReadSettings(cfg);
  WalkTemplate(page, [&](int marker, const char* line) {
    if (marker < kFirstSingleMarker) {
      const ShownSetting& setting = settings[static_cast<std::size_t>(marker / kMarkersPerSetting)];
      const int item = marker % kMarkersPerSetting;
      if (item == 0) {
        GenHtmlLine(line, HtmlEscape(setting.number));
      } else {
        const std::string_view prefix = kUnitPrefixes[static_cast<std::size_t>(item - 1)];
        GenHtmlLine(line, StartsWithIgnoringCase(setting.unit, prefix) ? "SELECTED" : "");
      }
      return true;
    }
    switch (marker) {
      case 30: GenCheckedSettingOnOff(line, "CacheExpiryCheck", 1, 1, cfg); break;
      case 31: GenCheckedSettingOnOff(line, "CacheNoConnect", 1, 0, cfg); break;
      case 32: GenTextField(line, "CacheTimeMargin", 2, 0, "2", cfg); break;
      case 33: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProxexpOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);

  // Form-variable codes of the generic fields, written under their own name.
  constexpr int kFieldExpiryCheck = 830;
  constexpr int kFieldNoConnect = 950;
  constexpr int kFieldTimeMargin = 1000;

  std::array<std::optional<std::string>, kSettings.size()> numbers;
  std::array<std::optional<std::string>, kSettings.size()> units;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    if (code == kFieldExpiryCheck || code == kFieldNoConnect || code == kFieldTimeMargin) {
      ApplyDirectiveField(cfg, field);
      return;
    }
    const std::string_view value = FieldValue(field);
    if (value.empty()) return;
    for (std::size_t s = 0; s < kSettings.size(); ++s) {
      if (code == kSettings[s].numberCode) numbers[s] = DirectiveValue(value);
      if (code == kSettings[s].unitCode) units[s] = DirectiveValue(value);
    }
  });
  if (!walked) return 0;

  for (std::size_t s = 0; s < kSettings.size(); ++s) {
    if (numbers[s] && units[s]) {
      WriteSetting(cfg, kSettings[s], FormatText(kSettings[s].lineFormat, {*numbers[s], *units[s]}));
    } else {
      ClearSetting(cfg, kSettings[s]);
    }
  }
  return 0;
}

}  // namespace cfgout
