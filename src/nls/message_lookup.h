#pragma once
// Localized message lookup: bundle slots and (slot, set, id) lookups.
// Every text the program shows is looked up here by number, with a built-in
// default for when no catalogue has it.

namespace cfgout {

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

// Both are nlsGetString(1, 2, id, nullptr).
const char* get_message(int id);
const char* get_config_message(int id);

}  // namespace cfgout
