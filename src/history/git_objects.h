#pragma once
// The history's object store read and written without libgit2.
//
// Recording a change takes a few objects: a blob per changed file, a tree per
// directory, a commit, and the branch moved to it. Loading libgit2 and its
// dependencies costs more than writing these, so the write path of a change
// stores them itself: each object is "<type> <size>\0<content>", named by its
// SHA-1 and kept zlib-compressed in objects/<2 hex digits>/<38 hex digits>.
// Only a history as this program keeps it is written here (see
// LooseObjects::Writable); libgit2 still reads the history for its page and
// for undo, creates it, and records a change wherever this code declines.
//
//   LooseObjects store(historyPath);
//   std::optional<ObjectId> head = store.Writable() ? store.ReadBranch("refs/heads/main") : std::nullopt;
//   ObjectId blob = ObjectIdOf("blob", bytes);
//   store.Write(blob, "blob", bytes);

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cfgout {

struct ObjectId {
  std::array<unsigned char, 20> bytes{};
  bool operator==(const ObjectId&) const = default;
  std::string Hex() const;
  // Exactly 40 lower-case hexadecimal digits.
  static std::optional<ObjectId> FromHex(std::string_view hex);
};

// SHA-1 of the concatenated parts, with the processor's SHA instructions
// where it has them.
ObjectId Sha1(std::initializer_list<std::string_view> parts);
// The same in plain C++, whatever the processor (to check the other against).
ObjectId Sha1Portable(std::initializer_list<std::string_view> parts);

// True when `text` holds only printable ASCII, tabs, carriage returns and
// line feeds. Known SHA-1 collision attacks need blocks of unconstrained
// binary bytes in both colliding contents; the history hashes such contents
// with libgit2's collision-detecting SHA-1 instead (docs/decisions.md).
bool IsPlainText(std::string_view text);

// The id of an object of `type` ("blob", "tree", "commit") holding `content`.
ObjectId ObjectIdOf(std::string_view type, std::string_view content);

struct TreeItem {
  std::string name;
  bool isTree = false;  // else a regular file (mode 100644)
  ObjectId id;
};

// A tree object's content: the items in the order git requires (by name,
// a subtree's name compared as if it ended in "/").
std::string TreeContent(std::vector<TreeItem> items);
// The items of a tree object's content; false when it is malformed.
bool ParseTree(std::string_view content, std::vector<TreeItem>& items);

class LooseObjects {
 public:
  explicit LooseObjects(std::string historyPath) : path_(std::move(historyPath)) {}

  // True when the history is kept as this program keeps it, so that what
  // Write and MoveBranch do is all libgit2 would do: HEAD names
  // refs/heads/main, no reflog is kept, and the configuration asks for
  // nothing else (no extensions, shared permissions or fsync settings).
  bool Writable() const;

  // The commit a branch ref ("refs/heads/main") names, when it is stored as a
  // loose ref file.
  std::optional<ObjectId> ReadBranch(std::string_view ref) const;

  // The content of object `id` when it is stored loose, has type `type` and
  // its bytes hash to `id`.
  bool Read(const ObjectId& id, std::string_view type, std::string& content) const;

  // Stores the object (its id computed by the caller) unless a loose object
  // of that id is there already: compressed into a temporary file beside it,
  // then linked to its name, as git does.
  bool Write(const ObjectId& id, std::string_view type, std::string_view content) const;

  // Moves the branch from `from` to `to` under git's lock file; false (and
  // nothing changed) when the branch no longer names `from` or the lock is
  // held.
  bool MoveBranch(std::string_view ref, const ObjectId& from, const ObjectId& to) const;

 private:
  std::string ObjectPath(const ObjectId& id) const;
  std::string path_;
};

}  // namespace cfgout
