#pragma once
// Protection rules, named protection setups and member blocks.
//
// Three forms of directive configure document protection:
//   Protect    <template> <setup> [FOR <address>]      a rule naming a setup
//   Protect    <template> [<address>] {  ...  }         a rule with its setup inline
//   Protection <setup> {  ...  }                        a named setup
// A block holds subdirective lines (UserID, GetMask, PasswdFile, the client
// certificate fields ...) up to the first line holding "}".
//
// Usage:
//   std::optional<ProtectionRecord> r = HTTPDGetProtectRule(cfg, "/admin/*");
//   ProtectionRecord fresh;
//   fresh.keyword = "Protect"; fresh.urlTemplate = "/docs/*"; fresh.Mask = "All";
//   HTTPDPutProtectRule(cfg, &fresh, "/admin/*", 2);   // a new block after /admin/*
//   HTTPDDeleteProtectRule(cfg, "/docs/*", nullptr);   // and gone again
//
// Rules and setups are found by name: the first Protect or Protection line,
// all files in chain order, whose second word equals the name ignoring
// case. So a setup is found by its name and a rule by its template; other
// directives with the same second word (Fail /private/*) are never taken.
//
// A block whose closing line is missing ends at the end of its file: it is
// never read or removed past that. FindProtectBlock tells callers about such
// a block so that they can refuse to rewrite it.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "config/line_list.h"

namespace cfgout {

// One protection rule or setup. Unset fields are nullopt.
//
// As read by HTTPDGetProtectRule, the subdirective values (UserID to
// DeleteMask) hold the rest of their line after the keyword and its blanks,
// line terminator and any trailing comment included; the certificate values
// are cut at the line end and stripped of their double quotes (an empty one
// is " "). HTTPDPutProtectRule writes every value up to its first CR or LF,
// so a record read can be written back as it is.
struct ProtectionRecord {
  std::optional<std::string> keyword = std::nullopt;      // "Protect" or "Protection", as written
  std::optional<std::string> urlTemplate = std::nullopt;  // URL request template of a Protect rule
  std::optional<std::string> setupName = std::nullopt;
  std::optional<std::string> UserID = std::nullopt;
  std::optional<std::string> forAddress = std::nullopt;   // "" for a one-line rule without an address
  std::optional<std::string> GroupID = std::nullopt;
  std::optional<std::string> ServerID = std::nullopt;
  std::optional<std::string> AuthType = std::nullopt;
  std::optional<std::string> GetMask = std::nullopt;
  std::optional<std::string> PutMask = std::nullopt;
  std::optional<std::string> PostMask = std::nullopt;
  std::optional<std::string> Mask = std::nullopt;
  std::optional<std::string> ACLOverride = std::nullopt;
  std::optional<std::string> PasswdFile = std::nullopt;
  std::optional<std::string> GroupFile = std::nullopt;
  std::optional<std::string> DeleteMask = std::nullopt;
  std::optional<std::string> sslClientAuth = std::nullopt;  // "1" when the block has an SSL_ClientAuth line
  std::optional<std::string> CommonName = std::nullopt;
  std::optional<std::string> IssuerCommonName = std::nullopt;
  std::optional<std::string> Country = std::nullopt;
  std::optional<std::string> IssuerCountry = std::nullopt;
  std::optional<std::string> Locality = std::nullopt;
  std::optional<std::string> IssuerLocality = std::nullopt;
  std::optional<std::string> StateOrProvince = std::nullopt;
  std::optional<std::string> IssuerStateOrProvince = std::nullopt;
  std::optional<std::string> Organization = std::nullopt;
  std::optional<std::string> IssuerOrganization = std::nullopt;
  std::optional<std::string> OrgUnit = std::nullopt;
  std::optional<std::string> IssuerOrgUnit = std::nullopt;

  // Set by HTTPDGetProtectRule: the block has no closing line and ran to
  // the end of its file. Not one of the record's fields; never written.
  bool unclosedBlock = false;

  bool operator==(const ProtectionRecord&) const = default;
};

// The 29 fields in record order, for code that treats them alike.
inline constexpr std::size_t kProtectionFieldCount = 29;
using ProtectionField = std::optional<std::string> ProtectionRecord::*;
extern const std::array<ProtectionField, kProtectionFieldCount> kProtectionFields;

// A member block's values. `reserved` stands between RCAPort and Timeout and
// is never written.
struct MemberRecord {
  std::optional<std::string> name = std::nullopt;
  std::optional<std::string> RCAAddr = std::nullopt;
  std::optional<std::string> RCAPort = std::nullopt;
  std::optional<std::string> reserved = std::nullopt;
  std::optional<std::string> Timeout = std::nullopt;
  std::optional<std::string> BindSpecific = std::nullopt;
  std::optional<std::string> ReuseAddr = std::nullopt;
};

// Where a rule or block named `name` stands: its file, its first and last
// line (the same line for a one-line rule or a block on one line), and
// whether a block found its closing line. `first` is null when nothing has
// that name.
struct ProtectBlock {
  ConfigFile* file = nullptr;
  LineNode* first = nullptr;
  LineNode* last = nullptr;
  bool closed = true;
  explicit operator bool() const { return first != nullptr; }
};
ProtectBlock FindProtectBlock(const ConfigHandle& handle, const char* name);

// The rule or setup named `name` as a record; nullopt when `name` is null or
// nothing has that name.
std::optional<ProtectionRecord> HTTPDGetProtectRule(const ConfigHandle& handle, const char* name);

// Writes `record` as directive lines. Modes: 1 before the rule named `name`,
// 2 after it (after its block), 3 in its place. A "Protection" setup
// replaces any existing one of the name it is given in every mode. A record
// with both template and setup name is written as one Protect line (no
// subdirectives); otherwise as a block. Returns 1 (also for a null record,
// with nothing written), 2 when the record has no keyword, 3 when it has
// neither template nor setup name (nothing written in these cases).
int HTTPDPutProtectRule(ConfigHandle& handle, const ProtectionRecord* record, const char* name, int mode);

// Removes the rule or the whole block named `name` (to the end of its file
// when its closing line is missing). Returns the line that preceded it (null
// when it stood first in its file or nothing was removed); `where`, when not
// null, receives the file that held it when something was removed.
LineNode* HTTPDDeleteProtectRule(ConfigHandle& handle, const char* name, ConfigFile** where);

// Writes the member block "Member <name> {", RCAAddr, RCAPort, Timeout (in
// milliseconds), BindSpecific, ReuseAddr, "}". Mode 3 puts it in place of
// the block named `name` (at the end of the main file when there is none);
// mode 2 after the block named, mode 1 before it; without a block of that
// name, after the last member block, or at the end of the configuration.
// Returns 0 when the record or its name is missing, else 1.
int HTTPDPutMemberRule(ConfigHandle& handle, const MemberRecord* member, const char* name, int mode);

// Removes the member block named `name` (the first Member line whose second
// word is `name`); returns the line that followed it in its file, or null.
LineNode* HTTPDDeleteMemberRule(ConfigHandle& handle, const char* name);

}  // namespace cfgout
