#pragma once
// PICS filter rules of the main configuration file: named blocks that wrap
// a PICSRules 1.0 rule with the server's extension element for the days and
// hours when the rule is active.
//
//   DefinePicsRule "Kids" {
//        (PicsRule-1.0
//             (
//             name     (
//                      rulename "Kids"
//                      description "Daytime filter"
//                      )
//             ...
//   }
//
// Usage:
//   std::optional<PicsRule> rule = HTTPDGetPicsFilterRule(cfg, "Kids");
//   PicsRule fresh;  fresh.name = "Teens";  fresh.activeDays = "mon tue";
//   HTTPDPutPicsFilterRule(cfg, fresh, "Kids", 2);        // after the Kids rule
//   HTTPDPutPicsFilterSubdirective(cfg, "passurl", {"http://ok.example/"}, "Teens");
//   HTTPDDeletePicsFilterRule(cfg, "Teens");
//
// Rule names are compared exactly (case matters). Only the main file is read
// and changed. A rule whose closing line is missing is reported
// (BlockStatus::kBroken) and never read or changed.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/block_lines.h"
#include "config/config_file.h"

namespace cfgout {

struct PicsRule {
  std::optional<std::string> name;
  std::optional<std::string> description;
  std::optional<std::string> activeDays;
  std::optional<std::string> startTime;
  std::optional<std::string> endTime;

  bool operator==(const PicsRule&) const = default;
};

// Placeholders for a rating service's bureau and rating file when they are
// left out.
inline constexpr std::string_view kPicsNoBureau = "OPT1";
inline constexpr std::string_view kPicsNoRatFile = "OPT2";
// Capacity of a sub-element list read when none is given.
inline constexpr int kPicsDefaultListCapacity = 22;

// The rule named `name`; nullopt when there is none or it is broken.
std::optional<PicsRule> HTTPDGetPicsFilterRule(const ConfigHandle& handle, std::string_view name,
                                               BlockStatus* status = nullptr);

// Writes a new rule before the rule named `anchor` (mode 1) or after its
// block (other modes); at the end of the main file when there is no such
// rule. An existing rule of the same name stays. 0 when the record has no
// name, -1 when the anchor rule is broken (nothing changed), else 1.
int HTTPDPutPicsFilterRule(ConfigHandle& handle, const PicsRule& rule, std::string_view anchor, int mode);

// Copies rule `source` (the last of that name) under `newName`, before the
// last rule named `anchor` (mode 1) or after its block; at the end of the
// main file when there is no such rule. Nothing happens without `source` or
// when either block is broken. Returns 0.
int HTTPDCopyPicsFilterRule(ConfigHandle& handle, std::string_view source, std::string_view anchor,
                            std::string_view newName, int mode);

// Rewrites rule `name`: its header takes the record's name, its name and
// extension elements are written from the record. 1 when the rule was
// found, else 0 (also when it is broken).
int HTTPDReplacePicsFilterRule(ConfigHandle& handle, const PicsRule& rule, std::string_view name);

// Moves rule `name`, lines unchanged, before rule `anchor` (mode 1) or
// after its block (other modes). 1 when moved; 0 when either is missing or
// broken, or both are the same rule.
int HTTPDMovePicsFilterRule(ConfigHandle& handle, std::string_view name, std::string_view anchor, int mode);

// Removes the rule; returns the text of its removed closing line, or
// nullopt (no such rule, or a broken one: `status` tells which).
std::optional<std::string> HTTPDDeletePicsFilterRule(ConfigHandle& handle, std::string_view name,
                                                     BlockStatus* status = nullptr);

// The sub-elements "passurl", "failurl", "applies-to", "serviceinfo" (one
// string per rating service: shortname, name, bureau, ratfile and
// available-with-content separated by single spaces) and "filter" (the
// filter element's text) of rule `name`, at most `capacity` strings (22
// when 0 or less).
std::vector<std::string> HTTPDGetPicsFilterSubdirective(const ConfigHandle& handle, std::string_view element,
                                                        std::string_view name, int capacity = 0);

// Replaces every `element` sub-element of rule `name` by the strings of
// `list` (for "serviceinfo" one element per string). Nothing happens for an
// empty list. Returns 0.
int HTTPDPutPicsFilterSubdirective(ConfigHandle& handle, std::string_view element,
                                   const std::vector<std::string>& list, std::string_view name);

// Sets the rule's filter element to `text` (leading white space skipped).
// 1 when written, 0 when the rule is not found or broken.
int HTTPDPutFilterSubdirective(ConfigHandle& handle, std::string_view name, std::string_view text);

// Removes the rule's filter element; returns the line after it, or null.
LineNode* HTTPDDeleteFilterSubdirective(ConfigHandle& handle, std::string_view name);

// Proxy auto-configuration files are not made by this program: returns 0.
int HTTPDCreatePACFile(const ConfigHandle& handle);

// The names of the rules of the main file, in order.
std::vector<std::string> HTTPDListPicsFilterRules(const ConfigHandle& handle);

}  // namespace cfgout
