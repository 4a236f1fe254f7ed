#pragma once
// Application offload: the "ApplicationProxy" module section of the main
// configuration file, its four application-server settings and its
// application blocks (rulesets).
//
//   <ModuleBegin> ApplicationProxy
//           AppRouterAdminPort 9090
//           <Application> {
//           EarName shop.ear
//           DistributionType PreLoaded
//           Enable yes
//           Context-root /shop
//           }
//   <ModuleEnd>
//
// Usage:
//   int count = HTTPDGetNumAppOffloadEntries(cfg);        // -1: broken structure
//   int error = 0;
//   std::optional<AppOffloadRuleset> app = HTTPDGetAppOffloadRuleset(cfg, 0, &error);
//   HTTPDAddAppOffloadRuleset(cfg, 0, 0);                  // empty block after application 0
//   app->enabled = 1;  HTTPDReplaceAppOffloadRuleset(cfg, 1, *app);
//
// Applications are numbered from 0 in file order. Everything works on the
// main file only; keywords are recognised with HTTPDRuleMatch, so case and
// leading blanks do not matter. A broken section or block (a second
// ApplicationProxy section, a missing end line or closing brace) is reported
// and nothing is read past it or changed.

#include <array>
#include <optional>
#include <string>

#include "config/config_file.h"

namespace cfgout {

struct AppOffloadRuleset {
  std::optional<std::string> earName;
  int preloaded = 0;
  int cdsManaged = 1;  // the opposite of preloaded
  int enabled = 0;
  std::array<std::optional<std::string>, 3> contextRoot;
  std::array<std::optional<std::string>, 4> nonEdgableUri;
  std::optional<std::string> httpFailoverStatusCodes;

  bool operator==(const AppOffloadRuleset&) const = default;
};

// The header line of the next application block after `after` (from the
// start of the section when `after` is null), or null when there is none.
// `error` (optional) is set to 1 when the section or block structure is
// broken, else 0.
const LineNode* HTTPDGetNextAppOffloadBlock(const ConfigHandle& handle, const LineNode* after, int* error);

// The number of application blocks; 0 when none, -1 when the structure is
// broken.
int HTTPDGetNumAppOffloadEntries(const ConfigHandle& handle);

// The record of application `index`, or nullopt; `error` is 1 when the
// structure is broken (an index beyond the last application is not).
std::optional<AppOffloadRuleset> HTTPDGetAppOffloadRuleset(const ConfigHandle& handle, int index, int* error);

// Removes application `index`; 1 when removed, else 0.
int HTTPDDeleteAppOffloadRuleset(ConfigHandle& handle, int index);

// Rewrites the body of application `index` from the record; 1 when written,
// else 0.
int HTTPDReplaceAppOffloadRuleset(ConfigHandle& handle, int index, const AppOffloadRuleset& ruleset);

// Inserts an empty application block before application `index` (when
// `before` is non-zero) or after it; with no application yet, index 0 puts
// it at the end of the module section. 1 when inserted, else 0.
int HTTPDAddAppOffloadRuleset(ConfigHandle& handle, int index, int before);

// 1 when the main file has the module section: an ApplicationProxy begin
// line followed by an end line, no second ApplicationProxy begin line before
// it.
int HTTPDDoesAppOffloadModuleExist(const ConfigHandle& handle);

// Appends an empty module section at the end of the main file; 1 on success.
int HTTPDAddAppOffloadModule(ConfigHandle& handle);

// The section's begin line, or null; `error` (optional) is 0 when an end
// line follows it, else 1.
const LineNode* HTTPDGetTopAppOffloadModule(const ConfigHandle& handle, int* error);

// The four settings. Get: 1 (0 for a null result pointer); a missing section
// or setting leaves the value untouched (the file name is cleared first).
// Set: 1 when written, 0 when there is no module section; the setting's
// first line in the section is removed and the new line goes right after
// the begin line.
int HTTPDGetAppServerConfFile(const ConfigHandle& handle, std::string* dst);
int HTTPDGetAppServerAdminPort(const ConfigHandle& handle, int* value);
int HTTPDGetAppServerZAPPort(const ConfigHandle& handle, int* value);
int HTTPDGetAppServerRetryInterval(const ConfigHandle& handle, int* value);
int HTTPDSetAppServerConfFile(ConfigHandle& handle, const std::string& value);
int HTTPDSetAppServerAdminPort(ConfigHandle& handle, int value);
int HTTPDSetAppServerZAPPort(ConfigHandle& handle, int value);
int HTTPDSetAppServerRetryInterval(ConfigHandle& handle, int value);

}  // namespace cfgout
