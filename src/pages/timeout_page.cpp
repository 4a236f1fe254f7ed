#include "pages/timeout_page.h"

#include <array>
#include <memory>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "nls/message_format.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"

namespace cfgout {

namespace {

// One time directive of the page: its keyword, the line it is written as,
// and the form-variable codes of its hours, minutes and seconds fields.
struct TimeDirective {
  const char* keyword;
  const char* lineFormat;
  std::array<int, 3> codes;
};

constexpr std::array<TimeDirective, 5> kTimeDirectives = {{
    {"InputTimeout", "InputTimeout         %s\n", {4700, 4710, 4720}},
    {"ReadTimeout", "ReadTimeout          %s\n", {4730, 4740, 4750}},
    {"OutputTimeout", "OutputTimeout        %s\n", {4760, 4770, 4780}},
    {"ScriptTimeout", "ScriptTimeout        %s\n", {4790, 4800, 4810}},
    {"PersistTimeout", "PersistTimeout       %s\n", {4850, 4860, 4870}},
}};

constexpr int kStatusMarker = 15;

void AppendPart(std::string& span, const std::optional<std::string>& value, std::string_view unit) {
  // A part whose number begins with 0 (0, 00, 05 ...) is left out.
  if (!value || value->empty() || (*value)[0] == '0') return;
  span += DirectiveValue(*value);
  span += unit;
}

}  // namespace

std::string TimeSpanText(const TimeSpanFields& fields) {
  std::string span;
  AppendPart(span, fields.hours, " hours ");
  AppendPart(span, fields.minutes, " minutes ");
  AppendPart(span, fields.seconds, " seconds ");
  return span;
}

void ApplyTimeSpan(ConfigHandle& cfg, std::string_view keyword, std::string_view lineFormat,
                   const TimeSpanFields& fields) {
  if (!fields.Any()) return;
  const std::string span = TimeSpanText(fields);
  if (span.empty()) {
    RemoveDirective(cfg, keyword);
  } else {
    ReplaceDirective(cfg, keyword, FormatText(lineFormat, {span}));
  }
}

TimeSpanShown ReadTimeSpan(const ConfigHandle& cfg, std::string_view keyword) {
  TimeSpanShown shown;
  const LineList found = HTTPDGetRules(cfg, HTTPDRuleToID(keyword));
  // The keyword is skipped as the leading letters of the line.
  if (const LineNode* last = found.last()) ParseTimeSpec(last->text.c_str(), shown.hours, shown.minutes, shown.seconds);
  return shown;
}

void GenTimeSpanOptions(const char* line, int part, const TimeSpanShown& shown) {
  switch (part) {
    case 0: GenOptionString(line, 0, 23, shown.hours); break;
    case 1: GenOptionString(line, 0, 59, shown.minutes); break;
    default: GenOptionString(line, 0, 59, shown.seconds); break;
  }
}

int TimeoutDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(
      config, {"InputTimeout", "ReadTimeout", "OutputTimeout", "ScriptTimeout", "PersistTimeout"});
  TimeSpanShown span;
  WalkTemplate(page, [&](int marker, const char* line) {
    if (marker < kStatusMarker) {
      const int part = marker % 3;
      if (part == 0) span = ReadTimeSpan(*shown, kTimeDirectives[static_cast<std::size_t>(marker / 3)].keyword);
      GenTimeSpanOptions(line, part, span);
      return true;
    }
    if (marker == kStatusMarker) {
      GenHeraldAppletParms(line, status);
      return true;
    }
    return false;
  });
  return 0;
}

int TimeoutOutputHandler(PageStatus& status, const FormArgList& args, ConfigHandle& cfg) {
  BeginOutputHandler(status);

  std::array<TimeSpanFields, kTimeDirectives.size()> posted;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    if (value.empty()) return;
    for (std::size_t d = 0; d < kTimeDirectives.size(); ++d) {
      const std::array<int, 3>& codes = kTimeDirectives[d].codes;
      if (code == codes[0]) posted[d].hours = std::string(value);
      if (code == codes[1]) posted[d].minutes = std::string(value);
      if (code == codes[2]) posted[d].seconds = std::string(value);
    }
  });
  if (!walked) return 0;

  for (std::size_t d = 0; d < kTimeDirectives.size(); ++d) {
    ApplyTimeSpan(cfg, kTimeDirectives[d].keyword, kTimeDirectives[d].lineFormat, posted[d]);
  }
  return 0;
}

}  // namespace cfgout
