#include "pages/directory_pages.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "html/table_generators.h"
#include "nls/message_format.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "pages/list_editor.h"

namespace cfgout {

namespace {

constexpr int kFieldDirShowIcons = 1390;
constexpr int kFieldAddIconUrl = 270;
constexpr int kFieldAddIconText = 290;
constexpr int kFieldAddIconType = 280;
constexpr int kFieldWelcome = 4150;
constexpr int kFieldIpAddress = 2100;

// One special icon: its directive, the codes of its URL and text fields,
// the line it is written as, and what the page shows when it is not set.
struct SpecialIcon {
  const char* directive;
  int urlCode;
  int textCode;
  const char* format;
  const char* defaultUrl;
  const char* defaultText;
  bool emptyTextAllowed;  // written with an empty text when the text field was posted
};

constexpr std::array<SpecialIcon, 4> kSpecialIcons = {{
    {"AddDirIcon", 240, 230, "AddDirIcon       %s %s\n", "dir.gif", "DIR", false},
    {"AddParentIcon", 320, 310, "AddParentIcon       %s %s\n", "dir-up.gif", "UP", false},
    {"AddUnknownIcon", 400, 390, "AddUnknownIcon       %s %s\n", "unknown.gif", "???", false},
    {"AddBlankIcon", 220, 210, "AddBlankIcon       %s %s\n", "blank.gif", "", true},
}};

// Posted URL and text of one special icon (absent: not posted).
struct IconFields {
  std::optional<std::string> url;
  std::optional<std::string> text;
};

}  // namespace

int DiriconsDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(
      config, {"DirShowIcons", "AddDirIcon", "AddParentIcon", "AddUnknownIcon", "AddBlankIcon", "AddIcon"});
  const ConfigHandle& cfg = *shown;
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    if (marker == 0) {
      GenCheckedSettingOnOff(line, "DirShowIcons", 1, 1, cfg);
    } else if (marker <= 12) {
      const SpecialIcon& icon = kSpecialIcons[(marker - 1) / 3];
      switch ((marker - 1) % 3) {
        case 0: GenTextField(line, icon.directive, 2, 0, icon.defaultUrl, cfg); break;
        case 1: GenTextField(line, icon.directive, 3, 0, icon.defaultText, cfg); break;
        default: GenMultiDirectiveText(line, icon.directive, 2, cfg); break;
      }
    } else if (marker == 13) {
      rows = GenTableItems(line, "AddIcon", 3, 1, cfg);
    } else if (marker == 14) {
      GenOptionString(line, 1, rows, 1);
    } else if (marker == 15) {
      GenHeraldAppletParms(line, status);
    } else {
      return false;
    }
    return true;
  });
  return 0;
}

int DiriconsOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ListChoice choice;
  std::array<IconFields, kSpecialIcons.size()> icons;
  std::string url;
  std::string text;
  std::string type;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& arg, int code) {
    const std::string_view value = FieldValue(arg);
    if (choice.Take(code, value)) return;
    switch (code) {
      case kFieldDirShowIcons: {
        LineList line;
        line.Append(FormatText("%s       %s\n", {std::string_view(arg.name), DirectiveValue(value)}));
        HTTPDReplaceRules(cfg, HTTPDRuleToID(arg.name), std::move(line), 0);
        return;
      }
      case kFieldAddIconUrl: url = DirectiveValue(value); return;
      case kFieldAddIconText: text = DirectiveValue(value); return;
      case kFieldAddIconType: type = DirectiveValue(value); return;
      default: break;
    }
    for (std::size_t i = 0; i < kSpecialIcons.size(); ++i) {
      if (code == kSpecialIcons[i].urlCode) icons[i].url = DirectiveValue(value);
      if (code == kSpecialIcons[i].textCode) icons[i].text = DirectiveValue(value);
    }
  });
  if (!walked) return 0;

  for (std::size_t i = 0; i < kSpecialIcons.size(); ++i) {
    const SpecialIcon& icon = kSpecialIcons[i];
    const IconFields& posted = icons[i];
    if (!posted.url || posted.url->empty() || !posted.text) continue;
    if (posted.text->empty() && !icon.emptyTextAllowed) continue;
    LineList line;
    line.Append(FormatText(icon.format, {*posted.url, *posted.text}));
    HTTPDReplaceRules(cfg, HTTPDRuleToID(icon.directive), std::move(line), 0);
  }

  // How many of the three AddIcon fields were given: all three make an
  // entry, one or two an incomplete one.
  const int given = int(!url.empty()) + int(!text.empty()) + int(!type.empty());
  if ((choice.IsInsert() || choice.action == kReplaceLine) && given == 0) return 0;  // no entry: nothing to do
  if ((choice.IsInsert() || choice.action == kReplaceLine) && given < 3) return RequiredFieldsMissing(status);
  ApplyListChoice(cfg, SelectRule(cfg, "AddIcon", choice.list), choice,
                  FormatText("AddIcon       %s %s %s\n", {url, text, type}));
  return 0;
}

int InitpageDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker + 1) {
      case 1: rows = GenTableItems(line, "Welcome", 2, 1, cfg); break;
      case 2: GenOptionString(line, 1, rows, 1); break;
      case 3: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int InitpageOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  ListChoice choice;
  std::string welcome;
  std::string address;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& arg, int code) {
    const std::string_view value = FieldValue(arg);
    if (choice.Take(code, value)) return;
    if (code == kFieldWelcome) welcome = DirectiveValue(value);
    if (code == kFieldIpAddress) address = DirectiveValue(value);
  });
  if (!walked) return 0;
  // An empty file name is ignored, without a message.
  if ((choice.IsInsert() || choice.action == kReplaceLine) && welcome.empty()) return 0;
  ApplyListChoice(cfg, SelectRule(cfg, "Welcome", choice.list), choice,
                  address.empty() ? FormatText("Welcome    %s\n", {welcome})
                                  : FormatText("Welcome    %s %s\n", {welcome, address}));
  return 0;
}

}  // namespace cfgout
