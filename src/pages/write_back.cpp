#include "pages/write_back.h"

#include <cstdlib>
#include <string>

#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "runtime/ascii.h"

namespace cfgout {

ChangeNote PageChangeNote(std::string_view page, const FormArgList& args) {
  ChangeNote note;
  note.source = std::string(page);
  UpperCaseInPlace(note.source);
  for (const FormArg& field : args) {
    bool seen = false;
    for (const std::string& known : note.fields) seen = seen || EqualsIgnoringCase(known, field.name);
    if (!seen) note.fields.push_back(field.name);
  }
  const char* user = std::getenv("REMOTE_USER");
  note.author = user != nullptr && *user != '\0' ? user : "unknown";
  if (const char* address = std::getenv("REMOTE_ADDR")) note.address = address;
  return note;
}

bool WriteBackAndRecord(ConfigHandle& cfg, PageStatus& status, const ChangeNote& note) {
  const HistorySnapshot before = SnapshotBeforeWrite(cfg);
  if (HTTPDConfigWrite(cfg) != 0) {
    SetStatusMessage(status, kStatusError, ConfigMessage(10, "Error writing to configuration file"));
    return false;
  }
  const std::string why = RecordChange(cfg, note, before);
  if (!why.empty()) {
    SetStatusMessage(status, kStatusWarning,
                     FormatText(ConfigMessage(200, "The changes have been made, but they could not be recorded "
                                                   "in the change history: %s"),
                                {why}));
  }
  return true;
}

}  // namespace cfgout
