#include "config/ldap_blocks.h"

#include <vector>

#include "config/directive_access.h"
#include "nls/message_format.h"
#include "runtime/ascii.h"

namespace cfgout {

using blocklines::BlockEnd;
using blocklines::Contains;
using blocklines::FirstTokenIs;
using blocklines::InsertLinesAfter;
using blocklines::RemoveLineRange;
using blocklines::SecondToken;

// The column widths differ between keywords exactly as the server's own
// tools write them; the formats are kept byte for byte.
const std::array<LDAPField, kLDAPFieldCount> kLDAPFields = {{
    {"Host", &LDAPRule::host, LDAPValueKind::kCut, "      Host                     %s\n"},
    {"Port", &LDAPRule::port, LDAPValueKind::kCut, "      Port                     %s\n"},
    {"Transport", &LDAPRule::transport, LDAPValueKind::kCut, "      Transport                %s\n"},
    {"KeyFileName", &LDAPRule::keyFileName, LDAPValueKind::kCut, "      KeyFileName              %s\n"},
    {"KeyLabel", &LDAPRule::keyLabel, LDAPValueKind::kQuoted, "      KeyLabel              \"%s\"\n"},
    {"ClientAuthType", &LDAPRule::clientAuthType, LDAPValueKind::kCut, "      ClientAuthType           %s\n"},
    {"ServerAuthType", &LDAPRule::serverAuthType, LDAPValueKind::kCut, "      ServerAuthType           %s\n"},
    {"ServerDN", &LDAPRule::serverDN, LDAPValueKind::kQuoted, "      ServerDN                 \"%s\"\n"},
    {"ServerPasswordStashFile", &LDAPRule::serverPasswordStashFile, LDAPValueKind::kCut,
     "      ServerPasswordStashFile  %s\n"},
    {"UserSearchBase", &LDAPRule::userSearchBase, LDAPValueKind::kQuoted, "      UserSearchBase           \"%s\"\n"},
    {"UserNameFilter", &LDAPRule::userNameFilter, LDAPValueKind::kQuoted, "      UserNameFilter           \"%s\"\n"},
    {"UserNameFieldSep", &LDAPRule::userNameFieldSep, LDAPValueKind::kQuoted,
     "      UserNameFieldSep           \"%s\"\n"},
    {"UserCertFilter", &LDAPRule::userCertFilter, LDAPValueKind::kQuoted, "      UserCertFilter           \"%s\"\n"},
    {"GroupSearchBase", &LDAPRule::groupSearchBase, LDAPValueKind::kQuoted, "      GroupSearchBase          \"%s\"\n"},
    {"GroupNameFilter", &LDAPRule::groupNameFilter, LDAPValueKind::kQuoted, "      GroupNameFilter          \"%s\"\n"},
    {"GroupMemberAttrs", &LDAPRule::groupMemberAttrs, LDAPValueKind::kQuoted,
     "      GroupMemberAttrs          \"%s\"\n"},
    {"IdleConnTimeout", &LDAPRule::idleConnTimeout, LDAPValueKind::kWholeRest,
     "      IdleConnTimeout          %s seconds\n"},
    {"WaitToRetryConnTime", &LDAPRule::waitToRetryConnTime, LDAPValueKind::kWholeRest,
     "      WaitToRetryConnTime      %s seconds\n"},
    {"SearchTimeout", &LDAPRule::searchTimeout, LDAPValueKind::kWholeRest,
     "      SearchTimeout            %s seconds\n"},
    {"CacheTimeout", &LDAPRule::cacheTimeout, LDAPValueKind::kWholeRest,
     "      CacheTimeout             %s seconds\n"},
}};

namespace {

ConfigFile* MainFile(const ConfigHandle& handle) {
  ConfigFile* file = handle.first();
  return (file != nullptr && !file->lines.empty()) ? file : nullptr;
}

bool IsLDAPHeader(const LineText& text) { return FirstTokenIs(text, "LDAPInfo"); }

bool HasSecondToken(const LineText& text, std::string_view name) {
  const std::string_view token = SecondToken(text);
  return !token.empty() && EqualsIgnoringCase(token, name);
}

LineNode* FindHeader(const ConfigFile& file, std::string_view name) {
  for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
    if (!line->continuation() && IsLDAPHeader(line->text) && HasSecondToken(line->text, name)) return line;
  }
  return nullptr;
}

LineNode* FindTarget(const ConfigFile& file, std::string_view name) {
  for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
    if (!line->continuation() && HasSecondToken(line->text, name)) return line;
  }
  return nullptr;
}

// The value of one subdirective line, or nullopt when nothing follows the
// keyword.
std::optional<std::string> ReadValue(const LineText& line, LDAPValueKind kind) {
  const char* rest = TokenNext(line);
  if (rest == nullptr || *rest == '\0') return std::nullopt;
  std::string value(rest);
  if (kind == LDAPValueKind::kWholeRest) return value;
  removeChar(value, '\n');
  if (kind == LDAPValueKind::kQuoted) return StripQuotes(value);
  return value;
}

void FillField(LDAPRule& rule, const LineText& line) {
  for (const LDAPField& field : kLDAPFields) {
    if (FirstTokenIs(line, field.keyword)) {
      if (std::optional<std::string> value = ReadValue(line, field.kind)) rule.*field.member = std::move(value);
      return;
    }
  }
}

std::vector<std::string> BlockTexts(const LDAPRule& rule) {
  std::vector<std::string> texts;
  texts.push_back(FormatText("LDAPInfo %s {\n", {std::string_view(*rule.name)}));
  for (const LDAPField& field : kLDAPFields) {
    const std::optional<std::string>& value = rule.*field.member;
    if (value && !value->empty()) texts.push_back(FormatText(field.format, {std::string_view(*value)}));
  }
  texts.push_back("}\n");
  return texts;
}

void SetStatus(BlockStatus* status, BlockStatus value) {
  if (status != nullptr) *status = value;
}

}  // namespace

std::optional<LDAPRule> HTTPDGetLDAPRule(const ConfigHandle& handle, std::string_view name, BlockStatus* status) {
  SetStatus(status, BlockStatus::kMissing);
  ConfigFile* file = MainFile(handle);
  if (file == nullptr || name.empty()) return std::nullopt;
  LineNode* header = FindHeader(*file, name);
  if (header == nullptr) return std::nullopt;
  LineNode* end = BlockEnd(header);
  if (end == nullptr) {
    SetStatus(status, BlockStatus::kBroken);
    return std::nullopt;
  }
  LDAPRule rule;
  rule.name = std::string(SecondToken(header->text));
  for (LineNode* line = header->next; line != nullptr && line != end && end != header; line = line->next) {
    FillField(rule, line->text);
  }
  SetStatus(status, BlockStatus::kFound);
  return rule;
}

int HTTPDPutLDAPRule(ConfigHandle& handle, const LDAPRule& rule, std::string_view name, int mode) {
  if (!rule.name || rule.name->empty()) return 0;
  ConfigFile* file = handle.first();
  if (file == nullptr) return 0;
  LineNode* position = nullptr;
  LineNode* target = (mode == 3) ? FindTarget(*file, name) : nullptr;
  if (target != nullptr) {
    LineNode* end = Contains(target->text, '{') ? BlockEnd(target) : target;
    if (end == nullptr) return -1;
    position = target->prev;
    RemoveLineRange(*file, target, end);
  } else {
    LineNode* lastHeader = nullptr;
    LineNode* found = nullptr;
    for (LineNode* line = file->lines.first(); line != nullptr; line = line->next) {
      if (line->continuation()) continue;  // a piece of a cut line is no line of its own
      if (IsLDAPHeader(line->text)) lastHeader = line;
      if (HasSecondToken(line->text, name)) {
        found = line;
        break;
      }
    }
    if (found != nullptr) {
      if (mode == 2) {
        position = Contains(found->text, '}') ? found : BlockEnd(found);
        if (position == nullptr) return -1;
      } else {
        position = found->prev;
      }
    } else if (lastHeader != nullptr) {
      position = BlockEnd(lastHeader);
      if (position == nullptr) return -1;
    } else {
      position = file->lines.last();
    }
  }
  InsertLinesAfter(*file, position, BlockTexts(rule));
  return 1;
}

LineNode* HTTPDDeleteLDAPRule(ConfigHandle& handle, std::string_view name, BlockStatus* status) {
  SetStatus(status, BlockStatus::kMissing);
  ConfigFile* file = MainFile(handle);
  if (file == nullptr || name.empty()) return nullptr;
  LineNode* target = FindTarget(*file, name);
  if (target == nullptr) return nullptr;
  LineNode* end = Contains(target->text, '{') ? BlockEnd(target) : target;
  if (end == nullptr) {
    SetStatus(status, BlockStatus::kBroken);
    return nullptr;
  }
  LineNode* after = end->next;
  RemoveLineRange(*file, target, end);
  SetStatus(status, BlockStatus::kFound);
  return after;
}

int HTTPDMoveLDAPRule(ConfigHandle& handle, std::string_view name, std::string_view anchor, int mode) {
  ConfigFile* file = MainFile(handle);
  if (file == nullptr || name.empty() || anchor.empty()) return 0;
  LineNode* header = FindHeader(*file, name);
  LineNode* anchorHeader = FindHeader(*file, anchor);
  if (header == nullptr || anchorHeader == nullptr || header == anchorHeader) return 0;
  LineNode* end = BlockEnd(header);
  LineNode* anchorEnd = BlockEnd(anchorHeader);
  if (end == nullptr || anchorEnd == nullptr) return 0;
  return blocklines::MoveLineRange(*file, header, end, anchorHeader, anchorEnd, mode == 1) ? 1 : 0;
}

std::vector<const LineNode*> HTTPDListLDAPRules(const ConfigHandle& handle) {
  std::vector<const LineNode*> headers;
  if (ConfigFile* file = MainFile(handle)) {
    for (const LineNode* line = file->lines.first(); line != nullptr; line = line->next) {
      if (!line->continuation() && IsLDAPHeader(line->text) && !SecondToken(line->text).empty()) headers.push_back(line);
    }
  }
  return headers;
}

const LineNode* HTTPDFindLDAPTarget(const ConfigHandle& handle, std::string_view name) {
  ConfigFile* file = MainFile(handle);
  return (file == nullptr || name.empty()) ? nullptr : FindTarget(*file, name);
}

}  // namespace cfgout
