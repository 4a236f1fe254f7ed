#include "history/change_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "history/git_library.h"
#include "history/git_objects.h"
#include "runtime/ascii.h"
#include "runtime/file_bytes.h"

namespace cfgout {

namespace {

constexpr const char* kBranch = "refs/heads/main";
// Diff lines shown per change at most; a change that rewrote thousands of
// lines is summarised by the count of the rest.
constexpr std::size_t kMaxDiffLines = 1000;
// Field names written into one commit message at most.
constexpr std::size_t kMaxNamedFields = 40;

// Owner of one libgit2 object, freed through the loaded library.
template <typename T, auto Free>
class Owned {
 public:
  explicit Owned(const GitLibrary& git) : git_(&git) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (object_ != nullptr) (git_->*Free)(object_);
  }
  T** out() { return &object_; }
  T* get() const { return object_; }

 private:
  const GitLibrary* git_;
  T* object_ = nullptr;
};

using Repository = Owned<git_repository, &GitLibrary::git_repository_free>;
using Commit = Owned<git_commit, &GitLibrary::git_commit_free>;
using Tree = Owned<git_tree, &GitLibrary::git_tree_free>;
using TreeBuilder = Owned<git_treebuilder, &GitLibrary::git_treebuilder_free>;
using Blob = Owned<git_blob, &GitLibrary::git_blob_free>;
using Signature = Owned<git_signature, &GitLibrary::git_signature_free>;
using Diff = Owned<git_diff, &GitLibrary::git_diff_free>;
using RevWalk = Owned<git_revwalk, &GitLibrary::git_revwalk_free>;
using TreeEntry = Owned<git_tree_entry, &GitLibrary::git_tree_entry_free>;
using ObjectDatabase = Owned<git_odb, &GitLibrary::git_odb_free>;

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  return ReadRegularFile(path, bytes);
}

// True when the regular file `path` holds exactly `bytes`. Read in pieces
// and compared, never kept: after a write-back the files are in the page
// cache, and a megabyte of fresh heap for a copy costs more than the reading.
bool FileHolds(const std::string& path, std::string_view bytes) {
  return ReadRegularFileInPieces(path,
                                 [&bytes](std::string_view piece) {
                                   if (piece.size() > bytes.size() || !bytes.starts_with(piece)) return false;
                                   bytes.remove_prefix(piece.size());
                                   return true;
                                 }) &&
         bytes.empty();
}

std::string Canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string DirectoryOf(const std::string& canonical) {
  const std::size_t slash = canonical.rfind('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : canonical.substr(0, slash);
}

// The configuration's files: tree path and disk path (canonical), each once.
struct FileLocation {
  std::string treePath;
  std::string diskPath;
  ConfigFile* file;
};

class Locations {
 public:
  explicit Locations(const ConfigHandle& cfg) {
    if (cfg.first() == nullptr) return;
    mainDir_ = DirectoryOf(Canonical(cfg.first()->path));
    for (ConfigFile& file : cfg) {
      std::string disk = Canonical(file.path);
      if (disk.empty()) continue;
      bool seen = false;
      for (const FileLocation& known : files_) seen = seen || known.diskPath == disk;
      if (!seen) files_.push_back({TreePathFor(disk), std::move(disk), &file});
    }
  }

  const std::vector<FileLocation>& files() const { return files_; }

  std::string TreePathFor(const std::string& disk) const {
    const std::string prefix = mainDir_ == "/" ? "/" : mainDir_ + "/";
    if (disk.compare(0, prefix.size(), prefix) == 0) return disk.substr(prefix.size());
    return "_" + disk;
  }
  std::string DiskPathFor(const std::string& treePath) const {
    if (treePath.compare(0, 2, "_/") == 0) return treePath.substr(1);
    return (mainDir_ == "/" ? "" : mainDir_) + "/" + treePath;
  }
  ConfigFile* FileAt(const std::string& disk) const {
    for (const FileLocation& known : files_) {
      if (known.diskPath == disk) return known.file;
    }
    return nullptr;
  }

 private:
  std::string mainDir_;
  std::vector<FileLocation> files_;
};

// Nested trees built from "dir/dir/name" paths.
template <typename Id>
struct TreeNodeOf {
  std::map<std::string, Id> blobs;
  std::map<std::string, TreeNodeOf> dirs;
};
using TreeNode = TreeNodeOf<git_oid>;

template <typename Id>
void Insert(TreeNodeOf<Id>& root, const std::string& path, const Id& blob) {
  TreeNodeOf<Id>* node = &root;
  std::size_t start = 0;
  for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1) {
    node = &node->dirs[path.substr(start, slash - start)];
  }
  node->blobs[path.substr(start)] = blob;
}

bool WriteTree(const GitLibrary& git, git_repository* repo, const TreeNode& node, git_oid& out) {
  TreeBuilder builder(git);
  if (git.git_treebuilder_new(builder.out(), repo, nullptr) != 0) return false;
  for (const auto& [name, id] : node.blobs) {
    if (git.git_treebuilder_insert(nullptr, builder.get(), name.c_str(), &id, GIT_FILEMODE_BLOB) != 0) return false;
  }
  for (const auto& [name, child] : node.dirs) {
    git_oid childId;
    if (!WriteTree(git, repo, child, childId)) return false;
    if (git.git_treebuilder_insert(nullptr, builder.get(), name.c_str(), &childId, GIT_FILEMODE_TREE) != 0) return false;
  }
  return git.git_treebuilder_write(&out, builder.get()) == 0;
}

// Stores the files' contents; `blobs` receives each file's blob id, in the
// files' order.
bool WriteBlobs(const GitLibrary& git, git_repository* repo,
                const std::vector<std::pair<std::string, std::string>>& files, std::vector<git_oid>& blobs) {
  ObjectDatabase odb(git);
  if (git.git_repository_odb(odb.out(), repo) != 0) return false;
  for (const auto& [path, bytes] : files) {
    // Hashed first and written only when the history does not hold these
    // bytes yet: most files of a change are unchanged, and compressing them
    // again only to find the object already there was most of the cost.
    git_oid blob;
    if (git.git_odb_write(&blob, odb.get(), bytes.data(), bytes.size(), GIT_OBJECT_BLOB) != 0) return false;
    blobs.push_back(blob);
  }
  return true;
}

bool WriteFilesTree(const GitLibrary& git, git_repository* repo,
                    const std::vector<std::pair<std::string, std::string>>& files,
                    const std::vector<git_oid>& blobs, git_oid& out) {
  TreeNode root;
  for (std::size_t i = 0; i < files.size() && i < blobs.size(); ++i) Insert(root, files[i].first, blobs[i]);
  return WriteTree(git, repo, root, out);
}

// Stores the files' contents and their tree; `blobs` (when given) receives
// each file's blob id, in the files' order.
bool WriteFilesTree(const GitLibrary& git, git_repository* repo,
                    const std::vector<std::pair<std::string, std::string>>& files, git_oid& out,
                    std::vector<git_oid>* blobs = nullptr) {
  std::vector<git_oid> ids;
  if (!WriteBlobs(git, repo, files, ids)) return false;
  if (blobs != nullptr) *blobs = ids;
  return WriteFilesTree(git, repo, files, ids, out);
}

// Characters git drops from both ends of a signature's name.
bool IsSignatureTrim(char c) {
  return static_cast<unsigned char>(c) <= ' ' || std::string_view(".,:;<>\"\\'").find(c) != std::string_view::npos;
}

// A signature's name may not hold angle brackets or line ends; it is trimmed
// as libgit2 trims it, so that a commit written without libgit2 names its
// author byte for byte alike.
std::string SignatureName(std::string_view name) {
  std::string clean;
  for (char c : name) {
    if (c != '<' && c != '>' && c != '\n' && c != '\r') clean += c;
  }
  while (!clean.empty() && IsSignatureTrim(clean.back())) clean.pop_back();
  std::size_t start = 0;
  while (start < clean.size() && IsSignatureTrim(clean[start])) ++start;
  clean.erase(0, start);
  return clean.empty() ? std::string("unknown") : clean;
}

// Authors are web server users, not mail addresses: the address names the
// user under a domain reserved for names that resolve nowhere.
std::string SignatureEmail(const std::string& name) {
  std::string email;
  for (char c : name) email += (IsAsciiLetter(c) || IsAsciiDigit(c) || c == '.' || c == '-' || c == '_') ? c : '_';
  return email + "@cfgout.invalid";
}

// One line of a commit message: line ends become blanks.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

std::string FieldList(const std::vector<std::string>& fields) {
  std::string list;
  for (std::size_t i = 0; i < fields.size() && i < kMaxNamedFields; ++i) {
    if (i > 0) list += ", ";
    list += OneLine(fields[i]);
  }
  if (fields.size() > kMaxNamedFields) list += " and " + std::to_string(fields.size() - kMaxNamedFields) + " more";
  return list;
}

// Upper case letters and digits only: "DNS-Lookup" and "DNSLOOKUP" compare equal.
std::string NameKey(std::string_view name) {
  std::string key;
  for (char c : name) {
    if (IsAsciiLetter(c) || IsAsciiDigit(c)) key += AsciiUpper(c);
  }
  return key;
}

void AddOnce(std::vector<std::string>& names, std::string_view name) {
  for (const std::string& known : names) {
    if (EqualsIgnoringCase(known, name)) return;
  }
  names.emplace_back(name);
}

// The keywords of the directive lines that one side has more often than the
// other (comments and blank lines left out), in order of appearance.
void AddChangedKeywords(std::string_view before, std::string_view after, std::vector<std::string>& keywords) {
  const std::vector<std::string_view> oldLines = SplitLinesKeepingEnds(before);
  const std::vector<std::string_view> newLines = SplitLinesKeepingEnds(after);
  // Lines the two sides share at their start and end count once on each
  // side and so never change a balance: only the lines between are counted.
  std::size_t head = 0;
  while (head < oldLines.size() && head < newLines.size() && oldLines[head] == newLines[head]) ++head;
  std::size_t tail = 0;
  while (tail < oldLines.size() - head && tail < newLines.size() - head &&
         oldLines[oldLines.size() - 1 - tail] == newLines[newLines.size() - 1 - tail]) {
    ++tail;
  }
  std::unordered_map<std::string_view, int> balance;
  balance.reserve(oldLines.size() + newLines.size() - 2 * (head + tail));
  for (std::size_t i = head; i < oldLines.size() - tail; ++i) --balance[oldLines[i]];
  for (std::size_t i = head; i < newLines.size() - tail; ++i) ++balance[newLines[i]];
  for (const std::vector<std::string_view>* side : {&newLines, &oldLines}) {
    for (std::string_view line : *side) {
      const auto counted = balance.find(line);
      if (counted == balance.end() || counted->second == 0) continue;
      const std::size_t start = line.find_first_not_of(" \t\r\n");
      if (start == std::string_view::npos || line[start] == '#') continue;
      const std::size_t end = line.find_first_of(" \t\r\n", start);
      AddOnce(keywords, line.substr(start, end == std::string_view::npos ? line.size() - start : end - start));
    }
  }
}

// The fields of the note that name a changed directive (a field may name
// it without its punctuation, or by its start: IMBED for Imbeds); when no
// field does, the changed directives' own keywords.
std::vector<std::string> ChangedFields(const std::vector<std::string>& posted,
                                       const std::vector<std::string>& keywords) {
  std::vector<std::string> fields;
  for (const std::string& field : posted) {
    const std::string key = NameKey(field);
    if (key.empty()) continue;
    for (const std::string& keyword : keywords) {
      const std::string changed = NameKey(keyword);
      if (changed == key || (key.size() >= 4 && changed.compare(0, key.size(), key) == 0)) {
        AddOnce(fields, field);
        break;
      }
    }
  }
  return fields.empty() ? keywords : fields;
}

std::string CommitMessage(const ChangeNote& note, const std::vector<std::string>& fields) {
  std::string message = note.summary.empty() ? OneLine(note.source) + ": " + FieldList(fields) : OneLine(note.summary);
  message += "\n\nPage: " + OneLine(note.source) + "\n";
  message += "Fields: " + FieldList(fields) + "\n";
  if (!note.address.empty()) message += "Address: " + OneLine(note.address) + "\n";
  return message;
}

bool CommitTree(const GitLibrary& git, git_repository* repo, const git_oid& treeId, const git_oid* parentId,
                const std::string& author, const std::string& message, git_oid& out) {
  Tree tree(git);
  if (git.git_tree_lookup(tree.out(), repo, &treeId) != 0) return false;
  Commit parent(git);
  if (parentId != nullptr && git.git_commit_lookup(parent.out(), repo, parentId) != 0) return false;
  Signature signature(git);
  const std::string name = SignatureName(author);
  const std::string email = SignatureEmail(name);
  if (git.git_signature_new(signature.out(), name.c_str(), email.c_str(), std::time(nullptr), 0) != 0) return false;
  const git_commit* parents[1] = {parent.get()};
  return git.git_commit_create(&out, repo, "HEAD", signature.get(), signature.get(), "UTF-8", message.c_str(),
                               tree.get(), parentId != nullptr ? 1 : 0, parents) == 0;
}

// Opens the history, creating it (owner-only) when `create` is set.
bool OpenHistory(const GitLibrary& git, const std::string& path, bool create, Repository& repo) {
  if (git.git_repository_open_bare(repo.out(), path.c_str()) == 0) return true;
  if (!create) return false;
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  git_repository_init_options options;
  git.git_repository_init_options_init(&options, GIT_REPOSITORY_INIT_OPTIONS_VERSION);
  options.flags = GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_NO_REINIT;
  options.initial_head = "main";
  options.description = "Change history of the proxy configuration";
  return git.git_repository_init_ext(repo.out(), path.c_str(), &options) == 0;
}

bool HeadId(const GitLibrary& git, git_repository* repo, git_oid& out) {
  return git.git_reference_name_to_id(&out, repo, "HEAD") == 0;
}

std::string TrailerValue(std::string_view message, std::string_view name) {
  std::size_t at = 0;
  while (at < message.size()) {
    std::size_t end = message.find('\n', at);
    if (end == std::string_view::npos) end = message.size();
    const std::string_view line = message.substr(at, end - at);
    if (line.size() > name.size() + 1 && line.substr(0, name.size()) == name && line[name.size()] == ':') {
      std::string_view value = line.substr(name.size() + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
    at = end + 1;
  }
  return {};
}

std::vector<std::string> SplitFields(const std::string& list) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t comma = list.find(", ", start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) fields.push_back(list.substr(start, comma - start));
    start = comma + 2;
  }
  return fields;
}

struct DiffCollector {
  std::vector<FileDiff>* files;
  std::size_t shown = 0;
};

int CollectDiffLine(const git_diff_delta* delta, const git_diff_hunk*, const git_diff_line* line, void* payload) {
  auto& collector = *static_cast<DiffCollector*>(payload);
  std::vector<FileDiff>& files = *collector.files;
  const char* path = delta->new_file.path != nullptr ? delta->new_file.path : delta->old_file.path;
  if (line->origin == GIT_DIFF_LINE_FILE_HDR || files.empty() || files.back().path != path) {
    if (files.empty() || files.back().path != path) files.push_back(FileDiff{path, {}, 0});
    if (line->origin == GIT_DIFF_LINE_FILE_HDR) return 0;
  }
  FileDiff& file = files.back();
  std::string text(line->content, line->content_len);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  DiffLine::Kind kind;
  switch (line->origin) {
    case GIT_DIFF_LINE_HUNK_HDR: kind = DiffLine::kHunk; break;
    case GIT_DIFF_LINE_ADDITION: kind = DiffLine::kAdded; break;
    case GIT_DIFF_LINE_DELETION: kind = DiffLine::kRemoved; break;
    case GIT_DIFF_LINE_CONTEXT: kind = DiffLine::kContext; break;
    case GIT_DIFF_LINE_BINARY: kind = DiffLine::kNote; text = "Binary contents differ"; break;
    default: kind = DiffLine::kNote; text = "No line end at the end of the file"; break;
  }
  if (collector.shown >= kMaxDiffLines) {
    ++file.omitted;
    return 0;
  }
  ++collector.shown;
  file.lines.push_back(DiffLine{kind, std::move(text)});
  return 0;
}

bool TreesOf(const GitLibrary& git, git_repository* repo, git_commit* commit, Tree& parentTree, Tree& tree) {
  if (git.git_commit_tree(tree.out(), commit) != 0) return false;
  if (git.git_commit_parentcount(commit) == 0) return true;
  Commit parent(git);
  return git.git_commit_lookup(parent.out(), repo, git.git_commit_parent_id(commit, 0)) == 0 &&
         git.git_commit_tree(parentTree.out(), parent.get()) == 0;
}

bool BlobBytes(const GitLibrary& git, git_repository* repo, const git_oid& id, std::string& bytes) {
  Blob blob(git);
  if (git.git_blob_lookup(blob.out(), repo, &id) != 0) return false;
  const auto* data = static_cast<const char*>(git.git_blob_rawcontent(blob.get()));
  bytes.assign(data, static_cast<std::size_t>(git.git_blob_rawsize(blob.get())));
  return true;
}

// Lines as the store holds them: each with its line end, the last one
// without when the bytes do not end in a line feed.
LineList LinesOf(const std::string& bytes) {
  LineNode* head = nullptr;
  LineNode* tail = nullptr;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    end = end == std::string::npos ? bytes.size() : end + 1;
    // Cut as the reader cuts: a longer line is kept as pieces that continue it.
    for (std::size_t piece = start; piece < end; piece += kMaxReadLineLength) {
      const std::size_t length = std::min(kMaxReadLineLength, end - piece);
      auto* node = new LineNode{bytes.substr(piece, length), nullptr, tail, piece != start};
      (tail != nullptr ? tail->next : head) = node;
      tail = node;
    }
    start = end;
  }
  return LineList(head);
}

// The keywords of the directives that the files' new contents (with blob
// ids `blobs`) changed against the tree of commit `parent`; only files whose
// blob differs are read back. False when the parent cannot be read.
bool ChangedKeywords(const GitLibrary& git, git_repository* repo, const git_oid& parent,
                     const std::vector<std::pair<std::string, std::string>>& files,
                     const std::vector<git_oid>& blobs, git_oid& parentTree, std::vector<std::string>& keywords) {
  Commit last(git);
  Tree lastTree(git);
  if (git.git_commit_lookup(last.out(), repo, &parent) != 0 || git.git_commit_tree(lastTree.out(), last.get()) != 0) {
    return false;
  }
  parentTree = *git.git_commit_tree_id(last.get());
  for (std::size_t i = 0; i < files.size() && i < blobs.size(); ++i) {
    TreeEntry entry(git);
    std::string old;
    if (git.git_tree_entry_bypath(entry.out(), lastTree.get(), files[i].first.c_str()) == 0) {
      // Same blob, same bytes: only changed files are read back.
      if (git.git_oid_cmp(git.git_tree_entry_id(entry.get()), &blobs[i]) == 0) continue;
      if (!BlobBytes(git, repo, *git.git_tree_entry_id(entry.get()), old)) continue;
    }
    AddChangedKeywords(old, files[i].second, keywords);
  }
  return true;
}

// The bytes the write-back is about to put into each file: its lines, with
// a line end put between a line that lacks one and a line after it that is
// no piece of it, as the writer does. (RecordChange compares them with the
// file on disk in any case.)
std::string BytesOf(const ConfigFile& file) {
  std::size_t size = 0;
  for (const LineNode* line = file.lines.first(); line != nullptr; line = line->next) size += line->text.size();
  std::string bytes;
  bytes.reserve(size);
  bool lineEnded = true;
  for (const LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
    if (line->text.empty()) continue;
    if (!lineEnded && !line->continuation()) bytes += '\n';
    lineEnded = line->text.back() == '\n';
    bytes += line->text;
  }
  return bytes;
}

// ---- Changes stored without libgit2 (history/git_objects.h) ----

// The names of a tree path; false when one is a name libgit2 refuses or
// treats specially (then libgit2 records the change, as it always did).
bool PlainTreeNames(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string name = path.substr(start, slash - start);
    std::string lower = name;
    LowerCaseInPlace(lower);
    if (name.empty() || name == "." || name == ".." || lower.compare(0, 4, ".git") == 0 || !IsPlainText(name) ||
        name.find_first_of("\\:~") != std::string::npos || name.back() == '.' || name.back() == ' ') {
      return false;
    }
    names.push_back(std::move(name));
    start = slash + 1;
  }
  return true;
}

// Folder paths ("" for the top, "sub", "sub/deeper") and their new trees.
using TreeIds = std::map<std::string, ObjectId>;

// The trees of the files in `node` (the folder `prefix`), their ids in
// `ids`; stored only when `store` is given.
bool DirectTree(const LooseObjects* store, const TreeNodeOf<ObjectId>& node, const std::string& prefix, TreeIds& ids,
                ObjectId& out) {
  std::vector<TreeItem> items;
  for (const auto& [name, id] : node.blobs) items.push_back(TreeItem{name, false, id});
  for (const auto& [name, child] : node.dirs) {
    ObjectId childId;
    if (!DirectTree(store, child, prefix.empty() ? name : prefix + "/" + name, ids, childId)) return false;
    items.push_back(TreeItem{name, true, childId});
  }
  const std::string content = TreeContent(std::move(items));
  out = ObjectIdOf("tree", content);
  ids[prefix] = out;
  return store == nullptr || store->Write(out, "tree", content);
}

// What the last commit (its top tree `tree`) holds at the path `names`:
// `unchanged` when a folder on the way holds exactly the new tree (nothing
// below it changed), else the item, or nothing when there is none. Only
// trees that changed are read. False when one of them is not loose.
bool FindInTree(const LooseObjects& store, ObjectId tree, const std::vector<std::string>& names,
                const TreeIds& newTrees, bool& unchanged, std::optional<TreeItem>& found) {
  unchanged = false;
  found.reset();
  std::string prefix;
  std::string content;
  std::vector<TreeItem> items;
  for (std::size_t depth = 0; depth < names.size(); ++depth) {
    const auto now = newTrees.find(prefix);
    if (now != newTrees.end() && now->second == tree) {
      unchanged = true;
      return true;
    }
    if (!store.Read(tree, "tree", content) || !ParseTree(content, items)) return false;
    const auto item = std::find_if(items.begin(), items.end(), [&](const TreeItem& i) { return i.name == names[depth]; });
    if (item == items.end()) return true;
    if (depth + 1 == names.size()) {
      found = *item;
      return true;
    }
    if (!item->isTree) return true;
    tree = item->id;
    prefix += (prefix.empty() ? "" : "/") + names[depth];
  }
  return true;
}

// What StagedChange stores without libgit2: every file's blob (hashed, and
// written when new), the keywords of the changed directives, the trees.
struct DirectStaging {
  ObjectId parent;
  ObjectId parentTree;
  ObjectId tree;
  std::vector<std::string> keywords;
};

// False when the history is not one this program writes alone, or an
// object it needs is not loose (packed by git gc, say): libgit2 then does
// the work, and leaves the objects it writes loose.
bool StageDirectly(const std::string& historyPath, const std::vector<std::pair<std::string, std::string>>& files,
                   DirectStaging& staged) {
  const LooseObjects store(historyPath);
  if (!store.Writable()) return false;
  const std::optional<ObjectId> head = store.ReadBranch(kBranch);
  std::string commit;
  if (!head.has_value() || !store.Read(*head, "commit", commit) || commit.compare(0, 5, "tree ") != 0 ||
      commit.size() < 46 || commit[45] != '\n') {
    return false;
  }
  const std::optional<ObjectId> parentTree = ObjectId::FromHex(std::string_view(commit).substr(5, 40));
  if (!parentTree.has_value()) return false;
  staged.parent = *head;
  staged.parentTree = *parentTree;
  TreeNodeOf<ObjectId> root;
  std::vector<std::vector<std::string>> names(files.size());
  std::vector<ObjectId> blobs;
  for (std::size_t i = 0; i < files.size(); ++i) {
    // Contents that could hide a crafted SHA-1 collision go to libgit2.
    if (!PlainTreeNames(files[i].first, names[i]) || !IsPlainText(files[i].second)) return false;
    // Every file is hashed, also those that did not change.
    blobs.push_back(ObjectIdOf("blob", files[i].second));
    Insert(root, files[i].first, blobs.back());
  }
  // The new trees first, so that unchanged folders are not read; they are
  // stored after the blobs they name.
  TreeIds newTrees;
  if (!DirectTree(nullptr, root, "", newTrees, staged.tree)) return false;
  for (std::size_t i = 0; i < files.size() && staged.tree != staged.parentTree; ++i) {
    bool unchanged = false;
    std::optional<TreeItem> before;
    if (!FindInTree(store, *parentTree, names[i], newTrees, unchanged, before)) return false;
    if (unchanged || (before.has_value() && !before->isTree && before->id == blobs[i])) continue;
    std::string old;
    if (before.has_value() && (before->isTree || !store.Read(before->id, "blob", old))) return false;
    if (!store.Write(blobs[i], "blob", files[i].second)) return false;
    AddChangedKeywords(old, files[i].second, staged.keywords);
  }
  return DirectTree(&store, root, "", newTrees, staged.tree);
}

// The commit object libgit2's git_commit_create writes for the same change.
std::string CommitContent(const ObjectId& tree, const ObjectId& parent, const std::string& author,
                          const std::string& message) {
  const std::string name = SignatureName(author);
  const std::string signature =
      name + " <" + SignatureEmail(name) + "> " + std::to_string(static_cast<long long>(std::time(nullptr))) + " +0000\n";
  return "tree " + tree.Hex() + "\nparent " + parent.Hex() + "\nauthor " + signature + "committer " + signature +
         "encoding UTF-8\n\n" + message;
}

}  // namespace

struct StagedChange::Work {
  std::string historyPath;
  std::vector<std::pair<std::string, std::string>> files;  // tree path, bytes
  bool stage = false;                                      // store the files (the history has commits)
  bool stored = false;                                     // and they were stored
  git_oid parent{};                                        // the commit they were compared with
  git_oid parentTree{};
  std::vector<git_oid> blobs;
  std::vector<std::string> keywords;
  bool direct = false;  // stored without libgit2, in `staged`
  DirectStaging staged;
  mutable bool recordedDirectly = false;  // by RecordChange, from `staged`
  std::thread thread;

  void Run() {
    // Most changes are stored without loading libgit2 at all.
    if (stage && StageDirectly(historyPath, files, staged)) {
      direct = true;
      return;
    }
    std::string error;
    const GitLibrary* loaded = LoadGitLibrary(error);
    if (loaded == nullptr || !stage) return;
    const GitLibrary& git = *loaded;
    Repository repo(git);
    if (!OpenHistory(git, historyPath, false, repo) || !HeadId(git, repo.get(), parent)) return;
    stored = WriteBlobs(git, repo.get(), files, blobs) &&
             ChangedKeywords(git, repo.get(), parent, files, blobs, parentTree, keywords);
  }
};

StagedChange::StagedChange(const ConfigHandle& cfg, const HistorySnapshot& before) : work_(new Work) {
  if (cfg.first() == nullptr) return;
  work_->historyPath = HistoryPathFor(cfg.first()->path);
  // A new history first records the files as they were; that and the rest
  // are left to RecordChange, and only the library is loaded ahead.
  work_->stage = !before.needed;
  if (work_->stage) {
    const Locations locations(cfg);
    for (const FileLocation& file : locations.files()) work_->files.emplace_back(file.treePath, BytesOf(*file.file));
  }
  if (!work_->stage && GitLibraryTried()) return;
  try {
    work_->thread = std::thread([work = work_.get()] { work->Run(); });
  } catch (const std::system_error&) {
    // No thread: RecordChange does all of the work.
  }
}

StagedChange::~StagedChange() {
  if (work_->thread.joinable()) work_->thread.join();
}

const StagedChange::Work* StagedChange::Finished() const {
  if (work_->thread.joinable()) work_->thread.join();
  return work_.get();
}

bool StagedChange::RecordedWithoutLibrary() const { return Finished()->recordedDirectly; }

std::string HistoryPathFor(std::string_view mainFile) { return std::string(mainFile) + ".history"; }

HistorySnapshot SnapshotBeforeWrite(const ConfigHandle& cfg) {
  HistorySnapshot snapshot;
  if (cfg.first() == nullptr) return snapshot;
  struct stat st {};
  if (::stat((HistoryPathFor(cfg.first()->path) + "/" + kBranch).c_str(), &st) == 0) return snapshot;
  snapshot.needed = true;
  const Locations locations(cfg);
  for (const FileLocation& file : locations.files()) {
    std::string bytes;
    if (ReadWholeFile(file.diskPath, bytes)) snapshot.files.emplace_back(file.treePath, std::move(bytes));
  }
  return snapshot;
}

std::string RecordChange(const ConfigHandle& cfg, const ChangeNote& note, const HistorySnapshot& before,
                         const StagedChange* staged) {
  if (cfg.first() == nullptr) return "the configuration has no main file";
  const StagedChange::Work* work = staged != nullptr ? staged->Finished() : nullptr;
  const std::string path = HistoryPathFor(cfg.first()->path);
  const Locations locations(cfg);
  // Stored without libgit2: committed the same way when the files on disk
  // are exactly the staged bytes and the branch still names the commit they
  // were compared with; otherwise libgit2 does all of the work below.
  bool asStaged = work != nullptr && work->direct && work->files.size() == locations.files().size();
  for (std::size_t i = 0; asStaged && i < work->files.size(); ++i) {
    asStaged = work->files[i].first == locations.files()[i].treePath &&
               FileHolds(locations.files()[i].diskPath, work->files[i].second);
  }
  if (asStaged) {
    const LooseObjects store(path);
    const std::optional<ObjectId> head = store.ReadBranch(kBranch);
    if (head.has_value() && *head == work->staged.parent) {
      // A write-back that changed no byte records nothing.
      bool recorded = work->staged.tree == work->staged.parentTree;
      if (!recorded) {
        const std::string commit = CommitContent(work->staged.tree, *head, note.author,
                                                 CommitMessage(note, ChangedFields(note.fields, work->staged.keywords)));
        const ObjectId id = ObjectIdOf("commit", commit);
        recorded = IsPlainText(commit) && store.Write(id, "commit", commit) && store.MoveBranch(kBranch, *head, id);
      }
      work->recordedDirectly = recorded;
      if (recorded) return {};
    }
  }
  std::vector<std::pair<std::string, std::string>> files;
  for (const FileLocation& file : locations.files()) {
    std::string bytes;
    if (!ReadWholeFile(file.diskPath, bytes)) return "cannot read " + file.diskPath;
    files.emplace_back(file.treePath, std::move(bytes));
  }
  std::string error;
  const GitLibrary* loaded = LoadGitLibrary(error);
  if (loaded == nullptr) return error;
  const GitLibrary& git = *loaded;

  Repository repo(git);
  if (!OpenHistory(git, path, true, repo)) return GitErrorText(git, ("cannot create " + path).c_str());

  git_oid parent;
  bool hasParent = HeadId(git, repo.get(), parent);
  if (!hasParent && before.needed) {
    git_oid startTree;
    git_oid start;
    if (!WriteFilesTree(git, repo.get(), before.files, startTree) ||
        !CommitTree(git, repo.get(), startTree, nullptr, note.author,
                    "Configuration as first recorded\n", start)) {
      return GitErrorText(git, "cannot record the configuration as it was");
    }
    parent = start;
    hasParent = true;
  }

  // What was staged is used only when it is exactly what is on disk now,
  // compared with the same commit.
  const bool useStaged = work != nullptr && work->stored && hasParent && work->files == files &&
                         git.git_oid_cmp(&work->parent, &parent) == 0;
  git_oid tree;
  std::vector<git_oid> blobs;
  std::vector<std::string> keywords;
  if (useStaged) {
    if (!WriteFilesTree(git, repo.get(), files, work->blobs, tree)) return GitErrorText(git, "cannot store the files");
    // A write-back that changed no byte is no change.
    if (git.git_oid_cmp(&tree, &work->parentTree) == 0) return {};
    keywords = work->keywords;
  } else {
    if (!WriteFilesTree(git, repo.get(), files, tree, &blobs)) return GitErrorText(git, "cannot store the files");
    git_oid parentTree;
    if (hasParent && ChangedKeywords(git, repo.get(), parent, files, blobs, parentTree, keywords) &&
        git.git_oid_cmp(&tree, &parentTree) == 0) {
      return {};  // a write-back that changed no byte is no change
    }
  }
  git_oid commit;
  if (!CommitTree(git, repo.get(), tree, hasParent ? &parent : nullptr, note.author,
                  CommitMessage(note, ChangedFields(note.fields, keywords)), commit)) {
    return GitErrorText(git, "cannot record the change");
  }
  return {};
}

std::optional<ChangeList> ListChanges(const std::string& mainFile, int skip, int count, std::string& error) {
  ChangeList list;
  const std::string path = HistoryPathFor(mainFile);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return list;  // nothing recorded yet
  const GitLibrary* loaded = LoadGitLibrary(error);
  if (loaded == nullptr) return std::nullopt;
  const GitLibrary& git = *loaded;
  Repository repo(git);
  if (!OpenHistory(git, path, false, repo)) {
    error = GitErrorText(git, ("cannot open " + path).c_str());
    return std::nullopt;
  }
  git_oid head;
  if (!HeadId(git, repo.get(), head)) return list;

  RevWalk walk(git);
  if (git.git_revwalk_new(walk.out(), repo.get()) != 0 || git.git_revwalk_push_head(walk.get()) != 0) {
    error = GitErrorText(git, "cannot walk the history");
    return std::nullopt;
  }
  git_oid id;
  int position = 0;
  while (git.git_revwalk_next(&id, walk.get()) == 0) {
    if (position++ < skip) continue;
    if (static_cast<int>(list.entries.size()) == count) {
      list.more = true;
      break;
    }
    Commit commit(git);
    if (git.git_commit_lookup(commit.out(), repo.get(), &id) != 0) continue;
    ChangeEntry entry;
    entry.id = git.git_oid_tostr_s(&id);
    entry.time = git.git_commit_time(commit.get());
    const git_signature* author = git.git_commit_author(commit.get());
    entry.author = author != nullptr && author->name != nullptr ? author->name : "unknown";
    const std::string_view message = git.git_commit_message(commit.get());
    entry.summary = std::string(message.substr(0, message.find('\n')));
    entry.source = TrailerValue(message, "Page");
    entry.address = TrailerValue(message, "Address");
    entry.fields = SplitFields(TrailerValue(message, "Fields"));
    entry.isStart = git.git_commit_parentcount(commit.get()) == 0;
    if (!entry.isStart) {
      Tree parentTree(git);
      Tree tree(git);
      Diff diff(git);
      git_diff_options options;
      git.git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
      options.context_lines = 3;
      if (TreesOf(git, repo.get(), commit.get(), parentTree, tree) &&
          git.git_diff_tree_to_tree(diff.out(), repo.get(), parentTree.get(), tree.get(), &options) == 0) {
        DiffCollector collector{&entry.files};
        git.git_diff_print(diff.get(), GIT_DIFF_FORMAT_PATCH, &CollectDiffLine, &collector);
      }
    }
    list.entries.push_back(std::move(entry));
  }
  return list;
}

std::variant<UndoPlan, UndoRefusal> PlanUndo(ConfigHandle& cfg, std::string_view id) {
  using Refusal = UndoRefusal;
  if (cfg.first() == nullptr) return Refusal{Refusal::kNoSuchChange, {}};
  if (id.size() != 40 || id.find_first_not_of("0123456789abcdef") != std::string_view::npos) {
    return Refusal{Refusal::kNoSuchChange, {}};
  }
  const std::string path = HistoryPathFor(cfg.first()->path);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Refusal{Refusal::kNoSuchChange, {}};
  std::string error;
  const GitLibrary* loaded = LoadGitLibrary(error);
  if (loaded == nullptr) return Refusal{Refusal::kHistoryUnreadable, error};
  const GitLibrary& git = *loaded;
  Repository repo(git);
  if (!OpenHistory(git, path, false, repo)) return Refusal{Refusal::kHistoryUnreadable, GitErrorText(git, "cannot open the history")};

  git_oid oid;
  Commit commit(git);
  if (git.git_oid_fromstrn(&oid, id.data(), id.size()) != 0 ||
      git.git_commit_lookup(commit.out(), repo.get(), &oid) != 0) {
    return Refusal{Refusal::kNoSuchChange, {}};
  }
  if (git.git_commit_parentcount(commit.get()) == 0) return Refusal{Refusal::kStartingPoint, {}};

  Tree parentTree(git);
  Tree tree(git);
  Diff diff(git);
  if (!TreesOf(git, repo.get(), commit.get(), parentTree, tree) ||
      git.git_diff_tree_to_tree(diff.out(), repo.get(), parentTree.get(), tree.get(), nullptr) != 0) {
    return Refusal{Refusal::kHistoryUnreadable, GitErrorText(git, "cannot compare the change")};
  }
  const Locations locations(cfg);
  UndoPlan plan;
  const std::size_t deltas = git.git_diff_num_deltas(diff.get());
  for (std::size_t i = 0; i < deltas; ++i) {
    const git_diff_delta* delta = git.git_diff_get_delta(diff.get(), i);
    // Files that came or went with a change are left as they are: only
    // changed contents are taken back.
    if (delta == nullptr || delta->status != GIT_DELTA_MODIFIED) continue;
    const std::string disk = locations.DiskPathFor(delta->new_file.path);
    std::string now;
    std::string after;
    if (!ReadWholeFile(disk, now) || !BlobBytes(git, repo.get(), delta->new_file.id, after) || now != after) {
      return Refusal{Refusal::kChangedSince, disk};
    }
    ConfigFile* file = locations.FileAt(Canonical(disk));
    if (file == nullptr) return Refusal{Refusal::kNotInConfiguration, disk};
    std::string before;
    if (!BlobBytes(git, repo.get(), delta->old_file.id, before)) {
      return Refusal{Refusal::kHistoryUnreadable, GitErrorText(git, "cannot read the old contents")};
    }
    plan.restore.emplace_back(file, std::move(before));
  }
  return plan;
}

void ApplyUndo(const UndoPlan& plan) {
  for (const auto& [file, bytes] : plan.restore) file->lines = LinesOf(bytes);
}

}  // namespace cfgout
