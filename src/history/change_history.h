#pragma once
// The change history of a configuration: a bare git repository beside the
// main file ("<main file>.history"), one commit per write-back.
//
// Usage (a request that writes the configuration back):
//   HistorySnapshot before = SnapshotBeforeWrite(cfg);   // cheap unless the history is new
//   if (HTTPDConfigWrite(cfg) == 0) {
//     std::string why = RecordChange(cfg, note, before);  // "" when recorded
//   }
//
// The first recorded change is preceded by a commit of the files as they
// were before it, so that every change has a diff. A commit holds every file
// of the configuration; a file inside the main file's directory is stored
// under its path relative to that directory, any other under "_/" and its
// absolute path without the leading "/".

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "config/config_file.h"

namespace cfgout {

// What a change was: who made it, from where, with which page and fields.
struct ChangeNote {
  std::string source;               // the page name ("BASIC") or the command ("cfgctl set")
  // The names of the fields (or keywords) sent with the change. The commit
  // names those that match a changed directive, or else the changed
  // directives' keywords.
  std::vector<std::string> fields;
  std::string author;               // REMOTE_USER, the Unix user, or "unknown"
  std::string address;              // REMOTE_ADDR; empty when there is none
  std::string summary;              // optional first line; by default "<source>: <fields>"
};

// The files as they are on disk before a write-back, taken only while the
// history has no commit yet (then `needed` is true).
struct HistorySnapshot {
  bool needed = false;
  std::vector<std::pair<std::string, std::string>> files;  // tree path, bytes
};

// "<mainFile>.history".
std::string HistoryPathFor(std::string_view mainFile);

HistorySnapshot SnapshotBeforeWrite(const ConfigHandle& cfg);

// The files of a change stored in the history on another thread while the
// write-back puts them on disk (which mostly waits for fsync). Made from the
// lines in memory just before HTTPDConfigWrite; RecordChange then uses what
// was stored for every file whose bytes on disk are exactly the staged ones,
// and does the work itself otherwise. Only loads libgit2 when the history
// has no commit yet. The destructor waits for the thread.
//
//   const HistorySnapshot before = SnapshotBeforeWrite(cfg);
//   StagedChange staged(cfg, before);
//   if (HTTPDConfigWrite(cfg) == 0) RecordChange(cfg, note, before, &staged);
class StagedChange {
 public:
  StagedChange(const ConfigHandle& cfg, const HistorySnapshot& before);
  ~StagedChange();
  StagedChange(const StagedChange&) = delete;
  StagedChange& operator=(const StagedChange&) = delete;

  struct Work;  // private to the history

  // Waits for the thread; the staged work, or null when there is none.
  const Work* Finished() const;

  // True once RecordChange has recorded the change (or found that it
  // changed no byte) from what the thread stored without loading libgit2: a
  // history kept as this program keeps it, its objects loose, the files on
  // disk exactly the staged bytes.
  bool RecordedWithoutLibrary() const;

 private:
  std::unique_ptr<Work> work_;
};

// Commits every file of `cfg` as it is on disk now (after the write-back),
// preceded by `before` when the history is new. "" on success, else a
// one-line reason; the configuration files are never touched. `staged`, when
// given, spares storing the files that it already stored.
std::string RecordChange(const ConfigHandle& cfg, const ChangeNote& note, const HistorySnapshot& before,
                         const StagedChange* staged = nullptr);

// One line of a file's unified diff.
struct DiffLine {
  enum Kind { kHunk, kContext, kAdded, kRemoved, kNote } kind;
  std::string text;  // without the line end
};

struct FileDiff {
  std::string path;  // tree path
  std::vector<DiffLine> lines;
  std::size_t omitted = 0;  // lines left out beyond the shown limit
};

struct ChangeEntry {
  std::string id;  // full hexadecimal commit id
  std::int64_t time = 0;
  std::string author;
  std::string source;
  std::string address;
  std::string summary;
  std::vector<std::string> fields;
  bool isStart = false;  // the files as first recorded: nothing to undo
  std::vector<FileDiff> files;
};

struct ChangeList {
  std::vector<ChangeEntry> entries;  // newest first
  bool more = false;                 // older changes exist beyond these
};

// The changes of the history of `mainFile`, newest first, after skipping
// `skip`, at most `count`. An absent history is an empty list. nullopt with
// `error` set when the history cannot be read.
std::optional<ChangeList> ListChanges(const std::string& mainFile, int skip, int count, std::string& error);

// Undoing a change: the files it changed, with the bytes they had before it.
struct UndoPlan {
  std::vector<std::pair<ConfigFile*, std::string>> restore;
};

// Why a change cannot be undone; `detail` names the file, or gives the
// history's own error.
struct UndoRefusal {
  enum Kind { kNoSuchChange, kStartingPoint, kChangedSince, kNotInConfiguration, kHistoryUnreadable } kind;
  std::string detail;
};

// Prepares the undo of change `id` (40 hexadecimal digits) on the open
// configuration: every file the change modified must still hold exactly the
// bytes the change left in it.
std::variant<UndoPlan, UndoRefusal> PlanUndo(ConfigHandle& cfg, std::string_view id);

// Replaces the lines of each planned file by its old bytes (in memory).
void ApplyUndo(const UndoPlan& plan);

}  // namespace cfgout
