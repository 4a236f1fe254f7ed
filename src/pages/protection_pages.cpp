#include "pages/protection_pages.h"

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "config/directive_access.h"
#include "config/directive_names.h"
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

// Form-variable codes of the fields of both pages.
constexpr int kFieldAction = 170;
constexpr int kFieldActionA = 180;
constexpr int kFieldActionB = 190;
constexpr int kFieldActionC = 200;
constexpr int kFieldList = 2280;
constexpr int kFieldProtectA = 2920;
constexpr int kFieldProtectB = 2930;
constexpr int kFieldProtFile = 2970;
constexpr int kFieldIpAddress = 2100;
constexpr int kFieldServerId = 3470;
constexpr int kFieldPasswdFile = 2800;
constexpr int kFieldGroupFile = 1940;
constexpr int kFieldGetMask = 1880;
constexpr int kFieldPutMask = 3090;
constexpr int kFieldDeleteMask = 1240;
constexpr int kFieldMask = 2460;
constexpr int kFieldSslClientAuth = 3710;

// The certificate fields of the form and the record fields they fill.
struct CertificateField {
  int code;
  ProtectionField field;
};
constexpr CertificateField kCertificateFields[] = {
    {1110, &ProtectionRecord::CommonName},     {2120, &ProtectionRecord::IssuerCommonName},
    {1140, &ProtectionRecord::Country},        {2130, &ProtectionRecord::IssuerCountry},
    {1080, &ProtectionRecord::Locality},       {2110, &ProtectionRecord::IssuerLocality},
    {3840, &ProtectionRecord::StateOrProvince}, {2160, &ProtectionRecord::IssuerStateOrProvince},
    {2750, &ProtectionRecord::Organization},   {2140, &ProtectionRecord::IssuerOrganization},
    {2760, &ProtectionRecord::OrgUnit},        {2150, &ProtectionRecord::IssuerOrgUnit},
};

// The forms of a protection.
constexpr int kInline = 1;
constexpr int kNamedSetup = 2;

// The request template of a Protect directive: its second field up to the
// first blank, line end or "{".
std::string TemplateOf(const LineNode& directive) {
  const char* rest = PointToNextField(directive.text);
  std::string text(rest != nullptr ? rest : "");
  ConvertChars(text, " \r\n{", '\0');
  return text;
}

// One walk over the Protect directives: the template of the `list`-th (from
// 1), and whether any directive's text from its second field begins with
// `newTemplate` (when it is not empty).
struct ProtectScan {
  std::optional<std::string> selected;
  bool duplicate = false;
};

ProtectScan ScanProtectDirectives(const ConfigHandle& cfg, int list, std::string_view newTemplate) {
  ProtectScan scan;
  int number = 0;
  for (const LineNode& directive : HTTPDGetRules(cfg, HTTPDRuleToID("protect"))) {
    ++number;
    if (number == list) scan.selected = TemplateOf(directive);
    if (!newTemplate.empty()) {
      const char* rest = PointToNextField(directive.text);
      if (rest != nullptr && std::strncmp(rest, newTemplate.data(), newTemplate.size()) == 0) {
        scan.duplicate = true;
      }
    }
  }
  return scan;
}

// The values of the posted fields this page reads, by code; a later field
// of the same code replaces an earlier one. Empty values count as not given.
using PostedFields = std::map<int, std::string>;

std::string_view Posted(const PostedFields& fields, int code) {
  auto it = fields.find(code);
  return it != fields.end() ? std::string_view(it->second) : std::string_view();
}

int PostedNumber(const PostedFields& fields, int code) { return AtoiSaturated(Posted(fields, code)); }

// The message for a block whose closing line is missing: it would run to
// the end of its file, so it is not rewritten or removed from the pages.
std::string UnclosedBlockMessage(std::string_view name) {
  return FormatText(ConfigMessage(kMsgProtectionUnclosed), {name});
}

bool IsUnclosed(const ConfigHandle& cfg, const std::optional<std::string>& name) {
  if (!name) return false;
  const ProtectBlock block = FindProtectBlock(cfg, name->c_str());
  return block && !block.closed;
}

// A record value as shown on a page: without its line end, escaped.
std::string Shown(const std::optional<std::string>& value) {
  if (!value) return std::string();
  std::string text = *value;
  StripCRLF(text);
  return HtmlEscape(text);
}

// A file name as shown in an attribute value: a name in double quotes keeps
// them as "&#34;" around the text between the opening and the last quote.
std::string ShownFileName(const std::optional<std::string>& value) {
  if (!value) return std::string();
  std::string text = *value;
  StripCRLF(text);
  if (text.empty() || text.front() != '"') return HtmlEscape(text);
  std::string_view inner = std::string_view(text).substr(1);
  const std::size_t close = inner.rfind('"');
  if (close != std::string_view::npos) inner = inner.substr(0, close);
  return "&#34;" + HtmlEscape(inner) + "&#34;";
}

// Prints an insert page in place of the "%s" of `line`: the text before it
// as a line of its own, the insert page with its markers filled, then the
// text after it. Without the insert page the line is printed with "".
void PrintInsert(const char* line, std::string_view pageName, const MarkerFiller& fill) {
  if (line == nullptr) return;
  std::unique_ptr<TemplatePage> insert = GetHtmlPage(pageName);
  if (!insert) {
    GenHtmlLine(line, "");
    return;
  }
  const std::string_view text(line);
  std::size_t marker = text.find("%s");
  if (marker == std::string_view::npos) marker = text.size();
  if (marker > 0) GenHtmlLine(std::string(text.substr(0, marker)).c_str(), nullptr);
  WalkTemplate(*insert, fill);
  if (marker + 2 < text.size()) GenHtmlLine(std::string(text.substr(marker + 2)).c_str(), nullptr);
}

}  // namespace

int PassproInsertHandler(const char* line, const ProtectionRecord* record) {
  PrintInsert(line, "PASSPRO", [record](int marker, const char* insertLine) {
    if (record == nullptr) return false;
    switch (marker) {
      case 0: GenHtmlLine(insertLine, Shown(record->ServerID)); break;
      case 1: GenHtmlLine(insertLine, ShownFileName(record->PasswdFile)); break;
      case 2: GenHtmlLine(insertLine, ShownFileName(record->GroupFile)); break;
      case 3: GenHtmlLine(insertLine, Shown(record->GetMask)); break;
      case 4: GenHtmlLine(insertLine, Shown(record->PutMask)); break;
      case 5: GenHtmlLine(insertLine, Shown(record->DeleteMask)); break;
      case 6: GenHtmlLine(insertLine, Shown(record->Mask)); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int SslproInsertHandler(const char* line, const ProtectionRecord* record, int clientAuthFlag) {
  PrintInsert(line, "SSLPRO", [record, clientAuthFlag](int marker, const char* insertLine) {
    if (marker >= 0 && marker < 12) {
      if (record == nullptr) return false;
      GenHtmlLine(insertLine, Shown((*record).*kCertificateFields[marker].field));
      return true;
    }
    if (marker != 12 || clientAuthFlag != 1) return false;
    const bool checked = record != nullptr && record->sslClientAuth.has_value();
    const std::string box = FormatText(ConfigMessage(kMsgSslClientAuthBox), {checked ? "CHECKED" : " "});
    GenHtmlLine(insertLine, box);
    return true;
  });
  return 0;
}

int DocautosDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg) {
  int rows = 0;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: rows = GenProtectTableItems(line, cfg); break;
      case 1: GenOptionString(line, 1, rows, 1); break;
      case 2: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int DocautosOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  status.fieldError.reset();
  SetStatusMessage(status, kStatusReady, ConfigMessage(kMsgStatusReady));
  status.success = 0;

  PostedFields posted;
  const bool walked = WalkFormFields(args, status, [&posted](const FormArg& field, int code) {
    if (code == kFieldList || code == kFieldAction || code == kFieldProtectA) {
      posted[code] = std::string(FieldValue(field));
    }
  });
  if (!walked) return 0;

  const int action = PostedNumber(posted, kFieldAction);
  const std::string_view newTemplate = Posted(posted, kFieldProtectA);
  if (action != kDeleteLine && newTemplate.empty()) {
    FailStatus(status, ConfigMessage(kMsgRequiredFieldsMissing));
    return 0;
  }

  const int list = PostedNumber(posted, kFieldList);
  const bool inserting = action == kInsertBefore || action == kInsertAfter;
  const ProtectScan scan = ScanProtectDirectives(cfg, list, inserting ? newTemplate : std::string_view());
  if (scan.duplicate) FailStatus(status, ConfigMessage(kMsgDuplicateTemplate));

  if (action == kDeleteLine && list >= 1) {
    if (IsUnclosed(cfg, scan.selected)) {
      FailStatus(status, UnclosedBlockMessage(*scan.selected));
      return 0;
    }
    HTTPDDeleteProtectRule(cfg, scan.selected ? scan.selected->c_str() : nullptr, nullptr);
    SetStatusMessage(status, kStatusDone,
                     ConfigMessage(kMsgStatusChangesDone));
    status.success = 1;
    return 1;
  }
  return status.success;
}

int ProtectDisplayHandler(const TemplatePage& page, PageStatus& status, const FormArgList& args,
                          ConfigHandle& cfg) {
  PostedFields posted;
  WalkFormFields(args, status, [&posted](const FormArg& field, int code) {
    switch (code) {
      case kFieldAction: case kFieldActionA: case kFieldActionB: case kFieldActionC:
      case kFieldList: case kFieldProtectA: case kFieldProtFile: case kFieldIpAddress:
        posted[code] = std::string(FieldValue(field));
        break;
      default: break;
    }
  });

  const int action = PostedNumber(posted, kFieldAction);
  const int form = PostedNumber(posted, kFieldActionA);
  const std::string_view newTemplate = Posted(posted, kFieldProtectA);
  const std::string_view setupName = Posted(posted, kFieldProtFile);
  const std::string_view address = Posted(posted, kFieldIpAddress);
  const bool inserting = action == kInsertBefore || action == kInsertAfter;
  if (newTemplate.empty() && inserting) {
    FailStatus(status, ConfigMessage(kMsgNoTemplate));
    return 0;
  }
  const bool named = form == kNamedSetup && !setupName.empty();
  if (form == kNamedSetup && setupName.empty()) {
    FailStatus(status, ConfigMessage(kMsgNoSetupName));
    return 0;
  }

  const ProtectScan scan =
      ScanProtectDirectives(cfg, PostedNumber(posted, kFieldList), inserting ? newTemplate : std::string_view());
  if (scan.duplicate) FailStatus(status, ConfigMessage(kMsgDuplicateTemplate));

  std::optional<ProtectionRecord> record;
  const std::string setup(setupName);
  if (action != kReplaceLine) {
    if (named) record = HTTPDGetProtectRule(cfg, setup.c_str());
  } else {
    record = HTTPDGetProtectRule(cfg, scan.selected ? scan.selected->c_str() : nullptr);
    if (record && named) record->setupName = setup;
    if (record && record->setupName) record = HTTPDGetProtectRule(cfg, record->setupName->c_str());
    if (record && !address.empty()) record->forAddress = std::string(address);
    if (record && !newTemplate.empty()) record->urlTemplate = std::string(newTemplate);
  }
  if (record && record->unclosedBlock && status.messageType != kStatusError) {
    SetStatusMessage(status, kStatusWarning,
                     UnclosedBlockMessage(record->setupName ? *record->setupName : record->urlTemplate.value_or("")));
  }

  const ProtectionRecord* shown = record ? &*record : nullptr;
  auto postedValue = [&posted](int code) {
    auto it = posted.find(code);
    return it != posted.end() ? HtmlEscape(it->second) : std::string();
  };
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenHtmlLine(line, postedValue(kFieldAction)); break;
      case 1: GenHtmlLine(line, postedValue(kFieldActionA)); break;
      case 2: GenHtmlLine(line, postedValue(kFieldActionB)); break;
      case 3: GenHtmlLine(line, postedValue(kFieldActionC)); break;
      case 4: GenHtmlLine(line, postedValue(kFieldList)); break;
      case 5:
        if (!newTemplate.empty()) {
          GenHtmlLine(line, HtmlEscape(newTemplate));
        } else if (action == kReplaceLine && scan.selected) {
          GenHtmlLine(line, HtmlEscape(*scan.selected));
        } else {
          GenHtmlLine(line, "");
        }
        break;
      case 6: GenHtmlLine(line, postedValue(kFieldProtFile)); break;
      case 7: GenHtmlLine(line, postedValue(kFieldIpAddress)); break;
      case 8: GenHtmlLine(line, postedValue(kFieldProtectA)); break;
      case 9:
        GenHtmlLine(line, named ? FormatText(ConfigMessage(kMsgProtectionSetupRow),
                                             {HtmlEscape(setupName)})
                                : std::string());
        break;
      case 10:
        if (PostedNumber(posted, kFieldActionC) == 1) {
          PassproInsertHandler(line, shown);
        } else {
          GenHtmlLine(line, "");
        }
        break;
      case 12:
        if (PostedNumber(posted, kFieldActionB) == 1) {
          SslproInsertHandler(line, shown, 1);
        } else {
          GenHtmlLine(line, "");
        }
        break;
      case 13: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ProtectOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  if (args.empty()) return 0;

  ProtectionRecord record;
  int action = 0;
  int form = 0;
  int list = 0;
  bool basic = false;
  bool certificate = false;
  auto set = [](std::optional<std::string>& field, std::string_view value) {
    if (!value.empty()) field = DirectiveValue(value);
  };
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldAction: if (!value.empty()) action = AtoiSaturated(value); break;
      case kFieldActionA: if (!value.empty()) form = AtoiSaturated(value); break;
      case kFieldActionC: basic = !value.empty() && AtoiSaturated(value) == 1; break;
      case kFieldList: if (!value.empty()) list = AtoiSaturated(value); break;
      case kFieldProtectA: set(record.urlTemplate, value); break;
      case kFieldProtFile: case kFieldProtectB: set(record.setupName, value); break;
      case kFieldIpAddress: set(record.forAddress, value); break;
      case kFieldServerId: set(record.ServerID, value); break;
      case kFieldPasswdFile: set(record.PasswdFile, value); break;
      case kFieldGroupFile: set(record.GroupFile, value); break;
      case kFieldGetMask:
        set(record.GetMask, value);
        set(record.PostMask, value);
        break;
      case kFieldPutMask: set(record.PutMask, value); break;
      case kFieldDeleteMask: set(record.DeleteMask, value); break;
      case kFieldMask: set(record.Mask, value); break;
      case kFieldSslClientAuth:
        if (!value.empty()) {
          certificate = true;
          // The check box posts "On", its hidden companion "Off"; the
          // block records client authentication as "1".
          if (EqualsIgnoringCase(TrimAsciiSpace(value), "On")) {
            record.sslClientAuth = "1";
          } else {
            record.sslClientAuth.reset();
          }
        }
        break;
      default:
        for (const CertificateField& cert : kCertificateFields) {
          if (cert.code != code) continue;
          set(record.*cert.field, value);
          if (!value.empty()) certificate = true;
        }
        break;
    }
  });
  if (!walked) return 0;

  record.AuthType = basic ? "Basic" : "None";
  if (certificate && !record.Mask) record.Mask = "Anybody@(*)";

  const ProtectScan scan = ScanProtectDirectives(cfg, list, std::string_view());
  const char* selected = scan.selected ? scan.selected->c_str() : nullptr;
  const bool writes = action >= kInsertBefore && action <= kReplaceLine && (form == kInline || form == kNamedSetup);

  // A block without its closing line would be rewritten or removed up to
  // the end of its file: refuse before anything changes.
  if ((action == kInsertAfter || action == kReplaceLine || action == kDeleteLine) && IsUnclosed(cfg, scan.selected)) {
    FailStatus(status, UnclosedBlockMessage(*scan.selected));
    return 0;
  }
  if (writes && form == kNamedSetup && IsUnclosed(cfg, record.setupName)) {
    FailStatus(status, UnclosedBlockMessage(*record.setupName));
    return 0;
  }

  if (action == kDeleteLine) {
    HTTPDDeleteProtectRule(cfg, selected, nullptr);
    return 0;
  }
  if (!writes) return 0;
  if (form == kNamedSetup) {
    ProtectionRecord setup = record;
    setup.keyword = "Protection";
    setup.urlTemplate.reset();
    setup.forAddress.reset();
    HTTPDPutProtectRule(cfg, &setup, setup.setupName ? setup.setupName->c_str() : nullptr, action);
  }
  record.keyword = "Protect";
  HTTPDPutProtectRule(cfg, &record, selected, action);
  return 0;
}

}  // namespace cfgout
