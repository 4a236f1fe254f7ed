#include "pages/api_pages.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/form_fields.h"
#include "pages/list_page_rows.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// The values a step line is built from, in the order of their form codes.
enum Field : std::size_t {
  kApiFile,        // F: application file
  kFunction,       // Fn
  kUrlTemplate,    // U
  kAuthType,       // A
  kIpTemplate,     // IP, optional
  kInitString,     // I, optional
  kOpenFunction,   // O
  kWriteFunction,  // W
  kCloseFunction,  // C
  kErrorFunction,  // E
  kFieldCount
};

constexpr std::array<int, kFieldCount> kFieldCodes = {4480, 4520, 4040, 700, 4510, 4670, 4530, 4540, 4550, 4560};
constexpr int kFieldAction = 170;
constexpr int kFieldList = 2280;
constexpr int kFieldApiRequest = 4470;

// How a step's line is laid out.
enum class Layout {
  kServerInit,      // step F:Fn [I]
  kPlain,           // step F:Fn
  kAuthentication,  // step A   F:Fn
  kTemplate,        // step U   F:Fn
  kTemplateIp,      // step U   F:Fn   [IP]
  kTransmogrifier,  // step F:O:W:C:E
  kDataFilter,      // step F:O:W:C
};

struct Step {
  const char* name;
  Layout layout;
  std::vector<Field> fields;  // asked for, in the order shown
};

// The steps in the order of their numbers on the request page (1-18).
const std::array<Step, 18>& Steps() {
  static const std::array<Step, 18> steps = {{
      {"ServerInit", Layout::kServerInit, {kApiFile, kFunction, kInitString}},
      {"PreExit", Layout::kPlain, {kApiFile, kFunction}},
      {"Authentication", Layout::kAuthentication, {kAuthType, kApiFile, kFunction}},
      {"NameTrans", Layout::kTemplateIp, {kUrlTemplate, kApiFile, kFunction, kIpTemplate}},
      {"Authorization", Layout::kTemplate, {kUrlTemplate, kApiFile, kFunction}},
      {"ObjectType", Layout::kTemplate, {kUrlTemplate, kApiFile, kFunction}},
      {"Service", Layout::kTemplateIp, {kUrlTemplate, kApiFile, kFunction, kIpTemplate}},
      {"Transmogrifier", Layout::kTransmogrifier, {kApiFile, kOpenFunction, kWriteFunction, kCloseFunction, kErrorFunction}},
      {"DataFilter", Layout::kDataFilter, {kApiFile, kOpenFunction, kWriteFunction, kCloseFunction}},
      {"Log", Layout::kTemplate, {kUrlTemplate, kApiFile, kFunction}},
      {"Error", Layout::kTemplate, {kUrlTemplate, kApiFile, kFunction}},
      {"PostExit", Layout::kPlain, {kApiFile, kFunction}},
      {"ServerTerm", Layout::kPlain, {kApiFile, kFunction}},
      {"Midnight", Layout::kPlain, {kApiFile, kFunction}},
      {"PICSDBLookup", Layout::kPlain, {kApiFile, kFunction}},
      {"GC Advisor", Layout::kPlain, {kApiFile, kFunction}},
      {"Proxy Advisor", Layout::kPlain, {kApiFile, kFunction}},
      {"PostAuth", Layout::kPlain, {kApiFile, kFunction}},
  }};
  return steps;
}

bool IsOptional(Field field) { return field == kIpTemplate || field == kInitString; }

// The directives the mapping page numbers (every step but DataFilter, which
// is no directive keyword), and the list its table is drawn from.
constexpr std::array<const char*, 17> kSelectableSteps = {
    "ServerInit", "PreExit",        "Authentication", "NameTrans", "Authorization", "ObjectType",
    "Service",    "Transmogrifier", "Log",            "Error",     "PostExit",      "ServerTerm",
    "Midnight",   "PICSDBLookup",   "GC Advisor",     "Proxy Advisor", "PostAuth"};
constexpr const char* kTableSteps =
    "ServerInit&PreExit&Authentication&NameTrans&Authorization&ObjectType&PostAuth&Service&Transmogrifier&"
    "DataFilter&Log&Error&ServerTerm&PostExit&Midnight&PICSDBLookup&GC Advisor&Proxy Advisor&0";

std::string Label(Field field) {
  switch (field) {
    case kApiFile: return ConfigMessage(kMsgApiFileLabel);
    case kFunction: return ConfigMessage(kMsgApiFunctionLabel);
    case kInitString: return ConfigMessage(kMsgApiInitStringLabel);
    case kAuthType: return ConfigMessage(kMsgApiAuthenticationLabel);
    case kUrlTemplate: return ConfigMessage(kMsgApiUrlTemplateLabel);
    case kIpTemplate: return ConfigMessage(kMsgApiIpTemplateLabel);
    case kOpenFunction: return ConfigMessage(kMsgApiOpenFunctionLabel);
    case kWriteFunction: return ConfigMessage(kMsgApiWriteFunctionLabel);
    case kCloseFunction: return ConfigMessage(kMsgApiCloseFunctionLabel);
    case kErrorFunction: return ConfigMessage(kMsgApiErrorFunctionLabel);
    case kFieldCount: break;
  }
  return {};
}

std::string Input(Field field) {
  switch (field) {
    case kApiFile: return R"(<td><input type="text" name="APIFile" value="" size=20 maxlength=256></td>)";
    case kFunction: return R"(<td><input type="text" name="Function" value="" size=20 maxlength=256></td>)";
    case kInitString: return R"(<td><input type="text" name="InitString" value="" size= 20 maxlength=256></td>)";
    case kAuthType:
      return FormatText(R"(<td><select name="AuthType" size=1><option selected value="Basic">%s<option value="*">*</select></td>)",
                        {HtmlEscape(ConfigMessage(kMsgWordBasic))});
    case kUrlTemplate: return R"(<td><input type="text" name="URLTemplate" value="" size=20 maxlength=256></td>)";
    case kIpTemplate: return R"(<td><input type="text" name="IPTemplate" value="" size=20 maxlength=256></td>)";
    case kOpenFunction: return R"(<td><input type="text" name="OpenFunction" value="" size=20 maxlength=256></td>)";
    case kWriteFunction: return R"(<td><input type="text" name="WriteFunction" value="" size=20 maxlength=256></td>)";
    case kCloseFunction: return R"(<td><input type="text" name="CloseFunction" value="" size=20 maxlength=256></td>)";
    case kErrorFunction: return R"(<td><input type="text" name="ErrorFunction" value="" size=20 maxlength=256></td>)";
    case kFieldCount: break;
  }
  return {};
}

// The pieces of a step's block on the request page, each printed with the
// marker line.
std::vector<std::string> StepBlock(const Step& step) {
  std::vector<std::string> pieces;
  pieces.push_back(FormatText(ConfigMessage(kMsgApiStepField), {step.name}));
  pieces.push_back(FormatText(ConfigMessage(kMsgApiStepHeading), {step.name}));
  pieces.emplace_back("<table><tr>");
  for (std::size_t i = 0; i < step.fields.size(); ++i) {
    if (i > 0) pieces.emplace_back("</tr><tr>");
    pieces.push_back(Label(step.fields[i]));
    pieces.push_back(Input(step.fields[i]));
    if (step.fields[i] == kIpTemplate) pieces.push_back(ConfigMessage(kMsgApiOptionalLabel));
  }
  pieces.emplace_back("</tr></table>");
  return pieces;
}

const Step* FindStep(std::string_view name) {
  for (const Step& step : Steps()) {
    if (EqualsIgnoringCase(step.name, name)) return &step;
  }
  return nullptr;
}

// The line of `step`, its name written as posted.
std::string StepLine(const Step& step, std::string_view name, const std::array<std::string, kFieldCount>& v) {
  switch (step.layout) {
    case Layout::kServerInit:
      return v[kInitString].empty()
                 ? FormatText("%s     %s:%s\n", {name, v[kApiFile], v[kFunction]})
                 : FormatText("%s     %s:%s %s\n", {name, v[kApiFile], v[kFunction], v[kInitString]});
    case Layout::kPlain: return FormatText("%s     %s:%s\n", {name, v[kApiFile], v[kFunction]});
    case Layout::kAuthentication:
      return FormatText("%s     %s   %s:%s\n", {name, v[kAuthType], v[kApiFile], v[kFunction]});
    case Layout::kTemplate:
      return FormatText("%s     %s   %s:%s\n", {name, v[kUrlTemplate], v[kApiFile], v[kFunction]});
    case Layout::kTemplateIp:
      return v[kIpTemplate].empty()
                 ? FormatText("%s     %s   %s:%s\n", {name, v[kUrlTemplate], v[kApiFile], v[kFunction]})
                 : FormatText("%s     %s   %s:%s   %s\n",
                              {name, v[kUrlTemplate], v[kApiFile], v[kFunction], v[kIpTemplate]});
    case Layout::kTransmogrifier:
      return FormatText("%s     %s:%s:%s:%s:%s\n", {name, v[kApiFile], v[kOpenFunction], v[kWriteFunction],
                                                      v[kCloseFunction], v[kErrorFunction]});
    case Layout::kDataFilter:
      return FormatText("%s     %s:%s:%s:%s\n",
                        {name, v[kApiFile], v[kOpenFunction], v[kWriteFunction], v[kCloseFunction]});
  }
  return {};
}

std::vector<int> SelectableIds() {
  std::vector<int> ids;
  for (const char* keyword : kSelectableSteps) ids.push_back(HTTPDRuleToID(keyword));
  return ids;
}

}  // namespace

int ApireqDisplayHandler(const TemplatePage& page, PageStatus& /*status*/, const std::optional<std::string>& queryString) {
  const int number = queryString ? AtoiSaturated(*queryString) : 0;
  const Step* step = number >= 1 && number <= static_cast<int>(Steps().size())
                         ? &Steps()[static_cast<std::size_t>(number - 1)]
                         : nullptr;
  WalkTemplate(page, [&](int marker, const char* line) {
    if (marker != 0) return false;
    // One piece per printing of the marker line; no step, no line at all.
    if (step != nullptr) {
      for (const std::string& piece : StepBlock(*step)) GenHtmlLine(line, piece);
    }
    return true;
  });
  return 0;
}

int ApimapDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: rows = GenAPITableItems(line, kTableSteps, cfg); break;
      case 1: GenOptionString(line, 1, rows, 1); break;
      case 2: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ApimapOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  int action = 0;
  int row = 0;
  std::string stepName;
  std::array<std::string, kFieldCount> values;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    if (value.empty()) return;
    if (code == kFieldAction) action = AtoiSaturated(value);
    if (code == kFieldList) row = AtoiSaturated(value);
    if (code == kFieldApiRequest) stepName = DirectiveValue(value);
    for (std::size_t f = 0; f < kFieldCount; ++f) {
      if (code == kFieldCodes[f]) values[f] = DirectiveValue(value);
    }
  });
  if (!walked) return 0;

  const Step* step = FindStep(stepName);
  if (action != kDeleteLine) {
    bool missing = stepName.empty();
    if (step != nullptr) {
      for (Field f : step->fields) missing = missing || (!IsOptional(f) && values[f].empty());
    }
    if (missing) {
      FailStatus(status, ConfigMessage(kMsgRequiredFieldsMissing));
      return 1;
    }
  }

  // The selected API line: line `row` of all of them in configuration order,
  // the last one when there are fewer.
  const std::vector<int> selectable = SelectableIds();
  const LineList apiLines = HTTPDGetMultiRules(cfg, selectable);
  LineNode* selected = apiLines.first();
  for (int k = 2; selected != nullptr && selected->next != nullptr && k <= row; ++k) selected = selected->next;

  switch (action) {
    case kInsertBefore:
    case kInsertAfter:
      if (step != nullptr) InsertLines(cfg, selected, action, {StepLine(*step, stepName, values)});
      return 0;
    case kReplaceLine:
    case kDeleteLine: break;
    default: return 0;
  }
  if (selected == nullptr || (action == kReplaceLine && step == nullptr)) return 0;

  // The selected line's own directive, and its place among that
  // directive's lines: the first line of the same text.
  int id = -1;
  for (int candidate : selectable) {
    if (HTTPDRuleMatch(selected->text, candidate)) {
      id = candidate;
      break;
    }
  }
  LineList lines = HTTPDGetRules(cfg, id);
  LineNode* own = nullptr;
  for (LineNode& line : lines) {
    if (EqualsIgnoringCase(line.text, selected->text)) {
      own = &line;
      break;
    }
  }
  if (own == nullptr) return 0;
  if (action == kReplaceLine) {
    own->text = StepLine(*step, stepName, values);
    HTTPDReplaceRules(cfg, id, std::move(lines), 1);
    return 0;
  }
  DropLine(lines, own);
  if (!lines.empty()) {
    HTTPDReplaceRules(cfg, id, std::move(lines), 1);
  } else {
    HTTPDRemoveRules(cfg, id, LineList::FromTexts({selected->text}));
  }
  return 0;
}

}  // namespace cfgout
