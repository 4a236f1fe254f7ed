#include "pages/type_encoding_pages.h"

#include <memory>
#include <string>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "pages/list_editor.h"

namespace cfgout {

namespace {

constexpr int kFieldSuffixCaseSense = 3850;
constexpr int kFieldAddTypeA = 340;
constexpr int kFieldAddTypeB = 350;
constexpr int kFieldAddTypeC = 360;
constexpr int kFieldAddTypeD = 370;
constexpr int kFieldAddTypeE = 380;
constexpr int kFieldAddExtension = 260;
constexpr int kFieldAddEncoding = 250;
constexpr int kFieldQuality = 3125;

void WriteSuffixCaseSense(ConfigHandle& cfg, std::string_view value) {
  LineList line;
  line.Append(FormatText("SuffixCaseSense       %s\n", {DirectiveValue(value)}));
  HTTPDReplaceRules(cfg, HTTPDRuleToID("SuffixCaseSense"), std::move(line), 0);
}

// Both pages: the case buttons, the table, its row numbers and the status.
void DisplaySuffixList(const TemplatePage& page, PageStatus& status, const ConfigHandle& config,
                       const char* directive, int columns) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(config, {"SuffixCaseSense", directive});
  const ConfigHandle& cfg = *shown;
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker + 1) {
      case 1: GenCheckedSettingOnOff(line, "SuffixCaseSense", 0, 0, cfg); break;
      case 2: GenCheckedSettingOnOff(line, "SuffixCaseSense", 1, 0, cfg); break;
      case 3: rows = GenTableItems(line, directive, columns, 1, cfg); break;
      case 4: GenOptionString(line, 1, rows, 1); break;
      case 5: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
}

}  // namespace

int AddtypeDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  DisplaySuffixList(page, status, cfg, "AddType", 5);
  return 0;
}

int AddencodDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  DisplaySuffixList(page, status, cfg, "AddEncoding", 3);
  return 0;
}

int AddtypeOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ListChoice choice;
  std::string field[5];  // A to E
  const bool walked = WalkFormFields(args, status, [&](const FormArg& arg, int code) {
    const std::string_view value = FieldValue(arg);
    if (choice.Take(code, value)) return;
    switch (code) {
      case kFieldSuffixCaseSense: WriteSuffixCaseSense(cfg, value); break;
      case kFieldAddTypeA: field[0] = DirectiveValue(value); break;
      case kFieldAddTypeB: field[1] = DirectiveValue(value); break;
      case kFieldAddTypeC: field[2] = DirectiveValue(value); break;
      case kFieldAddTypeD: field[3] = DirectiveValue(value); break;
      case kFieldAddTypeE: field[4] = DirectiveValue(value); break;
      default: break;
    }
  });
  if (!walked) return 0;

  const bool complete = !field[0].empty() && !field[1].empty() && !field[2].empty() && !field[3].empty();
  if ((choice.IsInsert() || choice.action == kReplaceLine) && !complete) return RequiredFieldsMissing(status);
  std::string line = field[4].empty()
                         ? FormatText("AddType        %s  %s  %s  %s\n", {field[0], field[1], field[2], field[3]})
                         : FormatText("AddType        %s  %s  %s  %s  %s\n",
                                      {field[0], field[1], field[2], field[3], field[4]});
  ApplyListChoice(cfg, SelectRule(cfg, "AddType", choice.list), choice, std::move(line));
  return 0;
}

int AddencodOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ListChoice choice;
  std::string extension;
  std::string encoding;
  std::string quality;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& arg, int code) {
    const std::string_view value = FieldValue(arg);
    if (choice.Take(code, value)) return;
    switch (code) {
      case kFieldSuffixCaseSense: if (!value.empty()) WriteSuffixCaseSense(cfg, value); break;
      case kFieldAddExtension: extension = DirectiveValue(value); break;
      case kFieldAddEncoding: encoding = DirectiveValue(value); break;
      case kFieldQuality: quality = DirectiveValue(value); break;
      default: break;
    }
  });
  if (!walked) return 0;

  RuleList rules = SelectRule(cfg, "AddEncoding", choice.list);
  if (choice.IsInsert() && extension.empty()) return 0;  // nothing to insert, and no complaint
  if (choice.action == kReplaceLine && (extension.empty() || choice.list == 0 || rules.selected == nullptr)) {
    return RequiredFieldsMissing(status);
  }
  // An extension without its encoding or quality would write a line the
  // server cannot read; it is refused like any incomplete entry.
  if ((choice.IsInsert() || choice.action == kReplaceLine) && (encoding.empty() || quality.empty())) {
    return RequiredFieldsMissing(status);
  }
  ApplyListChoice(cfg, std::move(rules), choice,
                  FormatText("AddEncoding       %s  %s  %s\n", {extension, encoding, quality}));
  return 0;
}

}  // namespace cfgout
