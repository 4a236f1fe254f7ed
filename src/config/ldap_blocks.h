#pragma once
// LDAP server blocks of the main configuration file:
//
//   LDAPInfo corp {
//         Host                     ldap.corp.example
//         ServerDN                 "cn=root, o=corp"
//         IdleConnTimeout          300 seconds
//   }
//
// Usage:
//   std::optional<LDAPRule> rule = HTTPDGetLDAPRule(cfg, "corp");
//   LDAPRule fresh;  fresh.name = "backup";  fresh.host = "ldap2.corp.example";
//   HTTPDPutLDAPRule(cfg, fresh, "corp", 2);            // after the corp block
//   HTTPDDeleteLDAPRule(cfg, "backup");
//
// Only the main file is read and changed; blocks in included files are
// neither found nor touched. A block whose closing line is missing is
// reported (BlockStatus::kBroken) and never read or changed.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/block_lines.h"
#include "config/config_file.h"

namespace cfgout {

// One LDAP server; an unset field is nullopt.
struct LDAPRule {
  std::optional<std::string> name;
  std::optional<std::string> host;
  std::optional<std::string> port;
  std::optional<std::string> transport;
  std::optional<std::string> keyFileName;
  std::optional<std::string> keyLabel;
  std::optional<std::string> clientAuthType;
  std::optional<std::string> serverAuthType;
  std::optional<std::string> serverDN;
  std::optional<std::string> serverPasswordStashFile;
  std::optional<std::string> userSearchBase;
  std::optional<std::string> userNameFilter;
  std::optional<std::string> userNameFieldSep;
  std::optional<std::string> userCertFilter;
  std::optional<std::string> groupSearchBase;
  std::optional<std::string> groupNameFilter;
  std::optional<std::string> groupMemberAttrs;
  // The four timeouts read back with their unit word and line end
  // ("300 seconds\n"); writing appends " seconds", so a value taken from a
  // read record must be reduced to the number before it is written again.
  std::optional<std::string> idleConnTimeout;
  std::optional<std::string> waitToRetryConnTime;
  std::optional<std::string> searchTimeout;
  std::optional<std::string> cacheTimeout;

  bool operator==(const LDAPRule&) const = default;
};

// How a subdirective's value is taken from its line.
enum class LDAPValueKind {
  kCut,        // the rest of the line, cut at the line feed
  kQuoted,     // the same, then double quotes stripped
  kWholeRest,  // the whole rest of the line, unit word and line end included
};

// One subdirective of a block: its keyword as written, the record field, how
// it is read and the format it is written with (one %s: the value).
struct LDAPField {
  const char* keyword;
  std::optional<std::string> LDAPRule::*member;
  LDAPValueKind kind;
  const char* format;
};

inline constexpr std::size_t kLDAPFieldCount = 20;
// The subdirectives in record (and writing) order, Host to CacheTimeout.
extern const std::array<LDAPField, kLDAPFieldCount> kLDAPFields;

// The block named `name` (header "LDAPInfo <name> {", both words compared
// ignoring case), or nullopt when there is none or it is broken; `status`
// (optional) tells which.
std::optional<LDAPRule> HTTPDGetLDAPRule(const ConfigHandle& handle, std::string_view name,
                                         BlockStatus* status = nullptr);

// Writes `rule` as a block: mode 1 before the block named `name`, mode 2
// after it, mode 3 in its place; when no line has that name, after the last
// LDAPInfo block (or at the end of the main file). Fields that are unset or
// empty are not written. 0 when the record has no name (nothing changed),
// -1 when the block at the chosen place is broken (nothing changed), else 1.
int HTTPDPutLDAPRule(ConfigHandle& handle, const LDAPRule& rule, std::string_view name, int mode);

// Removes the first line of the main file whose second token is `name` and,
// when it opens a block, the block. Returns the line that followed the
// removed lines, or null (nothing removed, removed lines ended the file, or
// the block is broken: `status` tells which).
LineNode* HTTPDDeleteLDAPRule(ConfigHandle& handle, std::string_view name, BlockStatus* status = nullptr);

// Moves the LDAPInfo block `name`, lines unchanged, before the LDAPInfo
// block `anchor` (mode 1) or after it (other modes). 1 when moved; 0 when
// either is missing or broken, or both are the same block.
int HTTPDMoveLDAPRule(ConfigHandle& handle, std::string_view name, std::string_view anchor, int mode);

// The header lines of every LDAPInfo block of the main file, in order.
std::vector<const LineNode*> HTTPDListLDAPRules(const ConfigHandle& handle);

// The first line of the main file whose second token is `name` (any
// keyword), the line that Put and Delete act on; null when there is none.
const LineNode* HTTPDFindLDAPTarget(const ConfigHandle& handle, std::string_view name);

}  // namespace cfgout
