#pragma once
// Localized message lookup: bundle slots and (slot, set, id) lookups.
// Messages of set 2 of the configuration messages are looked up by name
// (nls/config_messages.h); templates and set 1 by number.

#include <string>
#include <string_view>

#include "nls/config_messages.h"

namespace cfgout {

struct Locale;

// Slot numbers of the bundle slot table.
inline constexpr int kSlotConfigMessages = 1;  // "config": message sets 1 and 2
inline constexpr int kSlotHtmlForms = 2;       // "HTMLForm": configuration page templates
inline constexpr int kSlotHtmlProxy = 3;       // "htmlprox"

// 1 = the slot's bundle is loaded (reference count raised), 0 = failure.
int nlsLoadResources(int slot, const char* locale);

// The message text in the output code page, or `defaultText` (may be null)
// when the slot, bundle or message does not exist. The text lives until the
// process ends.
const char* nlsGetString(int slot, int set, int id, const char* defaultText);

void nlsFreeResources(int slot);

// nlsLoadResources with the name of a locale value (null: ICU's default).
int nlsLoadResources(int slot, const Locale* locale);

// Number of rows of the slot table (slots 0 to 6).
inline constexpr int kNlsSlotCount = 7;

// The directory the bundles are opened from. It defaults to the installed
// message directory fixed at build time; tests and test builds of the
// program point it elsewhere before the first lookup. A relative folder is
// taken relative to the current directory at the time of the call.
void nlsSetMessageDirectory(std::string_view directory);
std::string nlsGetMessageDirectory();

// A read-only view of one slot of the table.
struct NlsSlotInfo {
  const char* name;  // bundle name; null for a slot number out of range
  int prime;         // 1 = the whole bundle is cached when it is loaded
  bool loaded;       // the slot holds a bundle
  int refCount;      // loads not yet matched by a free
  int loadCount;     // load attempts made while the slot had no bundle
  int openCount;     // times the bundle was actually opened (at most 1)
  bool primed;                // the loaded bundle is wholly in its cache
  const char* converterName;  // the loaded bundle's converter, else null
};
NlsSlotInfo nlsGetSlotInfo(int slot);

// Tests only: destroys every loaded bundle and clears every slot's counts, as
// at process start. Texts handed out before become invalid.
void nlsResetForTesting();

}  // namespace cfgout
