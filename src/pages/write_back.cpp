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
    return FormatText(ConfigMessage(kMsgConfigTooLarge), {std::string_view(file.path)});
  }
  return FormatText(ConfigMessage(kMsgNotRegularFile), {std::string_view(file.path)});
}

std::optional<std::string> WriteRefusalMessage(const ConfigWriteReport& report) {
  switch (report.problem) {
    case ConfigWriteProblem::kLineTooLong:
      // The reader would have cut the line and taken its end for a line of
      // its own.
      return ConfigMessage(kMsgValueTooLong);
    case ConfigWriteProblem::kFileChanged:
      return FormatText(ConfigMessage(kMsgFileChanged), {std::string_view(report.path)});
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
      SetStatusMessage(status, kStatusError, ConfigMessage(kMsgWriteFailed));
    }
    return false;
  }
  const std::string why = RecordChange(cfg, note, before, &staged);
  if (!why.empty()) {
    SetStatusMessage(status, kStatusWarning,
                     FormatText(ConfigMessage(kMsgHistoryNotRecorded),
                                {why}));
  }
  return true;
}

}  // namespace cfgout
