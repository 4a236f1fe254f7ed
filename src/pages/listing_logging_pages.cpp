#include "pages/listing_logging_pages.h"

#include <algorithm>
#include <initializer_list>
#include <string>

#include "config/directive_access.h"
#include "html/form_controls.h"
#include "html/output.h"
#include "nls/message_format.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

constexpr int kFieldPushButton = 3060;

// Log files page.
constexpr int kFieldAccessLog = 10;
constexpr int kFieldCacheAccessLog = 770;
constexpr int kFieldErrorLog = 1610;
constexpr int kFieldEventLog = 1675;
constexpr int kFieldLogToGui = 2440;
constexpr int kFieldLogToSysLog = 2450;
constexpr int kFieldProxyAccessLog = 2990;

// Archive page.
constexpr int kFieldLogArchive = 4390;
constexpr int kFieldPurgeAge = 4400;
constexpr int kFieldPurgeSize = 4410;
constexpr int kFieldCompressAge = 4420;
constexpr int kFieldCompressDeleteAge = 4430;
constexpr int kFieldCompressCommand = 4440;

// SNMP page.
constexpr int kFieldSnmpCommunity = 3660;
constexpr int kFieldSnmpEnabled = 3670;
constexpr int kFieldWebMasterEMail = 4130;

bool IsOneOf(int code, std::initializer_list<int> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// The archive option the configuration selects: the second word of the last
// LogArchive directive, COMPRESS or PURGE; anything else is NONE.
enum class ArchiveMode { kCompress, kPurge, kNone };

ArchiveMode CurrentArchiveMode(const ConfigHandle& cfg) {
  const LineList found = HTTPDGetRules(cfg, HTTPDRuleToID("logarchive"));
  if (found.empty()) return ArchiveMode::kNone;
  const std::string mode = GetField(found.last()->text, 2);
  if (EqualsIgnoringCase(mode, "COMPRESS")) return ArchiveMode::kCompress;
  if (EqualsIgnoringCase(mode, "PURGE")) return ArchiveMode::kPurge;
  return ArchiveMode::kNone;
}

// A fixed-keyword line, or removal of the directive for an empty value.
void ReplaceOrRemove(ConfigHandle& cfg, std::string_view keyword, std::string_view value) {
  if (value.empty()) {
    RemoveDirective(cfg, keyword);
  } else {
    ReplaceDirective(cfg, keyword, FormatText("%s       %s\n", {keyword, DirectiveValue(value)}));
  }
}

}  // namespace

int ListcntsDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"dirshowdate", "dirshowcase", "dirshowsize", "dirshowbytes", "dirshowhidden",
                                "dirshowdescription", "dirshowmaxdescrlength", "dirshowminlength",
                                "dirshowmaxlength"});
  const ConfigHandle& cfg = *shown;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenCheckedSettingOnOff(line, "DirShowDate", 1, 1, cfg); break;
      case 1: GenCheckedSettingOnOff(line, "DirShowCase", 1, 1, cfg); break;
      case 2: GenCheckedSettingOnOff(line, "DirShowSize", 1, 1, cfg); break;
      case 3: GenCheckedSettingOnOff(line, "DirShowBytes", 1, 0, cfg); break;
      case 4: GenCheckedSettingOnOff(line, "DirShowHidden", 1, 1, cfg); break;
      case 5: GenCheckedSettingOnOff(line, "DirShowDescription", 1, 1, cfg); break;
      case 6: GenTextField(line, "DirShowMaxDescrLength", 2, 0, "25", cfg); break;
      case 7: GenTextField(line, "DirShowMinLength", 2, 0, "15", cfg); break;
      case 8: GenTextField(line, "DirShowMaxLength", 2, 0, "25", cfg); break;
      case 9: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ListcntsOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  WalkFormFields(args, status, [&](const FormArg& field, int code) {
    if (code != kFieldPushButton) ApplyDirectiveField(cfg, field);
  });
  return 0;
}

int LogfilesDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(
      config, {"logtosyslog", "proxyaccesslog", "cacheaccesslog", "accesslog", "errorlog", "eventlog"});
  const ConfigHandle& cfg = *shown;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenCheckedSettingOnOff(line, "LogToSysLog", 1, 0, cfg); break;
      case 1: GenTextField(line, "ProxyAccessLog", 2, 0, "", cfg); break;
      case 2: GenTextField(line, "CacheAccessLog", 2, 0, "", cfg); break;
      case 3: GenTextField(line, "AccessLog", 2, 0, "", cfg); break;
      case 4: GenTextField(line, "ErrorLog", 2, 0, "", cfg); break;
      case 5: GenTextField(line, "EventLog", 2, 0, "", cfg); break;
      case 6: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int LogfilesOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  WalkFormFields(args, status, [&](const FormArg& field, int code) {
    if (IsOneOf(code, {kFieldLogToSysLog, kFieldLogToGui, kFieldProxyAccessLog, kFieldCacheAccessLog,
                       kFieldAccessLog, kFieldErrorLog, kFieldEventLog})) {
      ApplyDirectiveField(cfg, field);
    }
  });
  return 0;
}

int ArchiveDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(
      config, {"logarchive", "purgeage", "purgesize", "compressage", "compressdeleteage", "compresscommand"});
  const ConfigHandle& cfg = *shown;
  const ArchiveMode mode = CurrentArchiveMode(cfg);
  auto selected = [mode](ArchiveMode option) { return mode == option ? "SELECTED" : ""; };
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenHtmlLine(line, selected(ArchiveMode::kCompress)); break;
      case 1: GenHtmlLine(line, selected(ArchiveMode::kPurge)); break;
      case 2: GenHtmlLine(line, selected(ArchiveMode::kNone)); break;
      case 3: GenTextField(line, "PurgeAge", 2, 0, "0", cfg); break;
      case 4: GenTextField(line, "PurgeSize", 2, 0, "0", cfg); break;
      case 5: GenTextField(line, "CompressAge", 2, 0, "0", cfg); break;
      case 6: GenTextField(line, "CompressDeleteAge", 2, 0, "0", cfg); break;
      case 7: GenTextField(line, "CompressCommand", 2, 1, "", cfg); break;
      case 8: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int ArchiveOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  WalkFormFields(args, status, [&](const FormArg& field, int code) {
    if (IsOneOf(code, {kFieldLogArchive, kFieldPurgeAge, kFieldPurgeSize, kFieldCompressAge,
                       kFieldCompressDeleteAge, kFieldCompressCommand})) {
      ApplyDirectiveField(cfg, field);
    }
  });
  return 0;
}

int SnmpmibDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(config, {"snmp", "snmpcommunity", "webmasteremail"});
  const ConfigHandle& cfg = *shown;
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenCheckedSettingOnOff(line, "SNMP", 1, 0, cfg); break;
      case 1: GenTextField(line, "SNMPCommunity", 2, 0, "public", cfg); break;
      case 2: GenTextField(line, "WebMasterEMail", 2, 0, "webmaster", cfg); break;
      case 3: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int SnmpmibOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldSnmpEnabled:
        // The switch is always written, even with an empty value.
        ReplaceDirective(cfg, "SNMP", FormatText("SNMP       %s\n", {DirectiveValue(value)}));
        break;
      case kFieldSnmpCommunity: ReplaceOrRemove(cfg, "SNMPCommunity", value); break;
      case kFieldWebMasterEMail: ReplaceOrRemove(cfg, "WebMasterEMail", value); break;
      default: break;  // the submit button and fields of other pages
    }
  });
  return 0;
}

}  // namespace cfgout
