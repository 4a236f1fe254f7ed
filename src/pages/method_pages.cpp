#include "pages/method_pages.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "pages/list_page_rows.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// The standard methods in the order both method page handlers treat them,
// with the form codes of their check box and handler fields.
struct StandardMethod {
  const char* name;
  int checkBoxCode;
  int handlerCode;
};

constexpr std::array<StandardMethod, 8> kMethods = {{
    {"GET", 1860, 1870},
    {"HEAD", 1970, 1980},
    {"POST", 2860, 2890},
    {"PUT", 3070, 3080},
    {"DELETE", 1220, 1230},
    {"OPTIONS", 2730, 2740},
    {"TRACE", 3990, 4000},
    {"CONNECT", 1120, 1130},
}};

constexpr int kFieldAction = 170;
constexpr int kFieldList = 2280;
constexpr int kFieldNewMethod = 2610;
constexpr int kFieldNewMethodHandler = 2620;

// "Enable" and "Disable" lines put their method in the same column.
std::string EnableLine(std::string_view method, std::string_view handler) {
  return handler.empty() ? FormatText("Enable       %s\n", {method})
                         : FormatText("Enable       %s       %s\n", {method, handler});
}

std::string DisableLine(std::string_view method, std::string_view handler) {
  return handler.empty() ? FormatText("Disable      %s\n", {method})
                         : FormatText("Disable      %s       %s\n", {method, handler});
}

// The method's line in `lines`: the first whose second word (split at blanks,
// CR, LF and tabs) is the method, ignoring case.
LineNode* MethodLine(const LineList& lines, std::string_view method) {
  for (LineNode& line : lines) {
    if (EqualsIgnoringCase(GetField(line.text, 2), method)) return &line;
  }
  return nullptr;
}

// True when a word after the first starts a comment.
bool HasComment(std::string_view text) {
  std::size_t pos = text.find_first_of(" \t");
  while (pos != std::string_view::npos) {
    pos = text.find_first_not_of(" \t\r\n", pos);
    if (pos == std::string_view::npos) return false;
    if (text[pos] == '#') return true;
    pos = text.find_first_of(" \t", pos);
  }
  return false;
}

// Gives the method an Enable (`enable`) or Disable line: rewrites its
// own line, else turns its line of the other kind into one in place, else
// inserts a new line before the first line of the other kind (or at the end
// of the last file when there is none).
void SetMethodLine(ConfigHandle& cfg, std::string_view method, bool enable, std::string_view handler) {
  const int own = HTTPDRuleToID(enable ? "ENABLE" : "DISABLE");
  const int other = HTTPDRuleToID(enable ? "DISABLE" : "ENABLE");
  const std::string text = enable ? EnableLine(method, handler) : DisableLine(method, handler);

  for (const int id : {own, other}) {
    LineList lines = HTTPDGetRules(cfg, id);
    LineNode* line = MethodLine(lines, method);
    if (line == nullptr) continue;
    if (RuleSame(line->text, text)) {
      // The same words: replacing would keep the old line as it is. Another
      // spelling ("enable get") is rewritten where it stands; a line with a
      // comment is kept as written, comment included.
      if (HasComment(line->text)) return;
      for (ConfigFile& file : cfg) {
        for (LineNode& stored : file.lines) {
          if (!stored.continuation() && HTTPDRuleMatch(stored.text, id) &&
              EqualsIgnoringCase(GetField(stored.text, 2), method)) {
            stored.text = text;
            return;
          }
        }
      }
      return;
    }
    line->text = text;
    HTTPDReplaceRules(cfg, id, std::move(lines), 0);
    return;
  }
  const LineList others = HTTPDGetRules(cfg, other);
  LinesAddStr(others.empty() ? nullptr : others.first()->text.c_str(), cfg, text, 1);
}

// True for an Enable line of a method other than the eight standard ones; a
// line without a method is none.
bool IsUserMethodLine(const LineText& text) {
  const std::optional<std::string> method = getToken(TokenNext(text));
  if (!method) return false;
  for (const StandardMethod& m : kMethods) {
    if (EqualsIgnoringCase(*method, m.name)) return false;
  }
  return true;
}

// Every Enable line of the configuration (copies, all files), and the copy of
// user-method line `row` of the main file (counted from 1, the first for a
// row below 2), null when the main file has fewer.
struct EnableLines {
  LineList all;
  LineNode* selected = nullptr;
};

EnableLines SelectUserMethod(const ConfigHandle& cfg, int row) {
  EnableLines result;
  const int id = HTTPDRuleToID("ENABLE");
  const ConfigFile* mainFile = cfg.first();
  int count = 0;
  for (const ConfigFile& file : cfg) {
    for (const LineNode& line : file.lines) {
      if (line.continuation() || !HTTPDRuleMatch(line.text, id)) continue;
      LineNode& copy = result.all.Append(line.text);
      if (&file == mainFile && IsUserMethodLine(line.text)) {
        ++count;
        if (result.selected == nullptr && count >= row) result.selected = &copy;
      }
    }
  }
  return result;
}

}  // namespace

int MethenabDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(config, {"enable", "disable"});
  const ConfigHandle& cfg = *shown;
  std::string handler;
  WalkTemplate(page, [&](int marker, const char* line) {
    if (marker < 16) {
      const char* method = kMethods[static_cast<std::size_t>(marker / 2)].name;
      if (marker % 2 == 0) {
        const bool disabled = SearchForDirective("Disable", method, 2, cfg) == 1;
        handler = SearchForHandler(disabled ? "Disable" : "Enable", method, 2, cfg).value_or("");
        GenHtmlLine(line, disabled ? "" : "CHECKED");
      } else {
        GenHtmlLine(line, HtmlEscape(handler));
      }
      return true;
    }
    if (marker == 16) {
      GenHeraldAppletParms(line, status);
      return true;
    }
    return false;
  });
  return 0;
}

int MethenabOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  std::array<int, kMethods.size()> enabled{};
  std::array<std::string, kMethods.size()> handlers;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    if (value.empty()) return;
    for (std::size_t i = 0; i < kMethods.size(); ++i) {
      if (code == kMethods[i].checkBoxCode) enabled[i] = AtoiSaturated(value);
      if (code == kMethods[i].handlerCode) handlers[i] = DirectiveValue(value);
    }
  });
  if (!walked) return 0;
  // One method at a time, each seeing the lines the previous ones wrote.
  for (std::size_t i = 0; i < kMethods.size(); ++i) {
    SetMethodLine(cfg, kMethods[i].name, enabled[i] == 1, handlers[i]);
  }
  return 0;
}

int UsermethDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      // The table walks the main file once; the user methods are its lines only.
      case 0: rows = GenMethTableItems(line, cfg); break;
      case 1: GenOptionString(line, 1, rows, 1); break;
      case 2: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int UsermethOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  int action = 0;
  int row = 0;
  std::string method;
  std::string handler;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    if (value.empty()) return;
    switch (code) {
      case kFieldAction: action = AtoiSaturated(value); break;
      case kFieldList: row = AtoiSaturated(value); break;
      case kFieldNewMethod: method = UpperCaseCopy(DirectiveValue(value)); break;
      case kFieldNewMethodHandler: handler = DirectiveValue(value); break;
      default: break;
    }
  });
  if (!walked) return 0;
  // Inserting or replacing without a method writes nothing, and says nothing.
  if (action != kDeleteLine && method.empty()) return 0;

  const int id = HTTPDRuleToID("ENABLE");
  EnableLines lines = SelectUserMethod(cfg, row);
  switch (action) {
    case kInsertBefore:
    case kInsertAfter: InsertLines(cfg, lines.selected, action, {EnableLine(method, handler)}); break;
    case kReplaceLine:
      if (lines.selected == nullptr) break;
      // The list handed back holds every Enable line, so the standard
      // methods' lines (and those of the included files) stay as they are.
      lines.selected->text = EnableLine(method, handler);
      HTTPDReplaceRules(cfg, id, std::move(lines.all), 1);
      break;
    case kDeleteLine: {
      if (row == 0 || lines.selected == nullptr) break;
      const std::string removed = lines.selected->text;
      DropLine(lines.all, lines.selected);
      if (!lines.all.empty()) {
        HTTPDReplaceRules(cfg, id, std::move(lines.all), 1);
      } else {
        HTTPDRemoveRules(cfg, id, LineList::FromTexts({removed}));
      }
      break;
    }
    default: break;
  }
  return 0;
}

}  // namespace cfgout
