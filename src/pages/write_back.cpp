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

std::string RefusedFileMessage(const ConfigRefusedFile& file) {
  if (file.reason == ConfigRefusal::kTooLarge) {
    return FormatText(ConfigMessage(192, "The configuration is too large to be read (over 64 MiB or 1000 files, "
                                         "reached at %s); nothing was changed."),
                      {std::string_view(file.path)});
  }
  return FormatText(ConfigMessage(190, "The configuration file %s is not a regular file: it was not read, "
                                       "and nothing was changed."),
                    {std::string_view(file.path)});
}

std::optional<std::string> WriteRefusalMessage(const ConfigWriteReport& report) {
  switch (report.problem) {
    case ConfigWriteProblem::kLineTooLong:
      // The reader would have cut the line and taken its end for a line of
      // its own.
      return ConfigMessage(189, "A value is too long for one configuration line (at most 1023 "
                                "characters with its directive); nothing was changed.");
    case ConfigWriteProblem::kFileChanged:
      return FormatText(ConfigMessage(191, "The configuration file %s was replaced or changed since it was "
                                           "read; nothing was changed."),
                        {std::string_view(report.path)});
    case ConfigWriteProblem::kRefusedFile:
      return RefusedFileMessage(ConfigRefusedFile{report.path, ConfigRefusal::kNotRegularFile});
    default:
      return std::nullopt;
  }
}

bool WriteBackAndRecord(ConfigHandle& cfg, PageStatus& status, const ChangeNote& note) {
  const HistorySnapshot before = SnapshotBeforeWrite(cfg);
  // The history stores the files on another thread while they are written
  // and synced.
  const StagedChange staged(cfg, before);
  ConfigWriteReport report;
  if (HTTPDConfigWrite(cfg, &report) != 0) {
    if (std::optional<std::string> refusal = WriteRefusalMessage(report)) {
      FailStatus(status, std::move(*refusal));  // refused before any file was changed
    } else {
      SetStatusMessage(status, kStatusError, ConfigMessage(10, "Error writing to configuration file"));
    }
    return false;
  }
  const std::string why = RecordChange(cfg, note, before, &staged);
  if (!why.empty()) {
    SetStatusMessage(status, kStatusWarning,
                     FormatText(ConfigMessage(200, "The changes have been made, but they could not be recorded "
                                                   "in the change history: %s"),
                                {why}));
  }
  return true;
}

}  // namespace cfgout
