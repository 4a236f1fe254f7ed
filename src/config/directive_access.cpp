#include "config/directive_access.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "runtime/ascii.h"

namespace cfgout {

namespace {

bool HasLines(const ConfigHandle& handle) {
  const ConfigFile* mainFile = handle.first();
  return mainFile != nullptr && !mainFile->lines.empty();
}

// A line that may be a directive: a piece continuing a cut line never is.
bool IsLineStart(const LineNode& line) { return !line.continuation(); }

// Unlinks `line` from `owner` together with the pieces that continue it
// (all freed); returns the node that followed them.
LineNode* RemoveWholeLine(LineList& owner, LineNode* line) {
  LineNode* after = LineEnd(line)->next;
  LineRemoveWhole(owner, line);
  return after;
}

// Drops `node` from the input list `list` (it is freed).
void DropFromList(LineList& list, LineNode* node) { LineRemove(list, node); }

// The tokens of a line as RuleSame compares them: lower-cased, each
// followed by one blank. Two lines have the same tokens exactly when their
// keys are equal. Nullopt for a line without a first token (blank, comment),
// which is never the same as anything.
std::optional<std::string> TokenKey(const char* p) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  auto tokenEnd = [&blank](char c) { return c == '\0' || c == '#' || blank(c); };
  while (blank(*p)) ++p;
  if (tokenEnd(*p)) return std::nullopt;
  std::string key;
  for (;;) {
    for (std::size_t i = 0; !tokenEnd(p[i]); ++i) key += AsciiLower(p[i]);
    key += ' ';
    // The next token, as TokenNext finds it: a '#' inside the word or after
    // the blanks ends the line's tokens.
    const char* q = p;
    while (!blank(*q)) {
      if (*q == '\0' || *q == '#') return key;
      ++q;
    }
    while (blank(*q)) ++q;
    if (*q == '\0' || *q == '#') return key;
    p = q;
  }
}

// Finds and drops lines of an input list that have the same tokens as a
// configuration line, first in list order, as RuleFound does. A long list
// is indexed by its lines' token keys once, so that matching it against the
// configuration stays linear (a form may post hundreds of thousands of
// ports).
class SameLineDropper {
 public:
  explicit SameLineDropper(LineList& list) : list_(list) {
    std::size_t n = 0;
    for (const LineNode* l = list.first(); l != nullptr && n <= kIndexFrom; l = l->next) ++n;
    if (n <= kIndexFrom) return;
    indexed_ = true;
    for (LineNode* l = list.first(); l != nullptr; l = l->next) {
      if (std::optional<std::string> key = TokenKey(l->text.c_str())) index_[*key].push_back(l);
    }
  }

  // Drops the first list line with the same tokens as `text`; true when there was one.
  bool DropSame(const LineText& text) {
    LineNode* same = nullptr;
    if (!indexed_) {
      same = RuleFound(text.c_str(), list_.first());
    } else if (std::optional<std::string> key = TokenKey(text.c_str())) {
      auto it = index_.find(*key);
      if (it != index_.end() && !it->second.empty()) {
        same = it->second.front();
        it->second.pop_front();
      }
    }
    if (same == nullptr) return false;
    DropFromList(list_, same);
    return true;
  }

 private:
  static constexpr std::size_t kIndexFrom = 16;
  LineList& list_;
  bool indexed_ = false;
  std::unordered_map<std::string, std::deque<LineNode*>> index_;
};

// Appends a copy of `text` to the result list, keeping a tail pointer so
// that collecting stays linear in the number of lines.
class Collector {
 public:
  void Add(const LineText& text) {
    auto* node = new LineNode{text, nullptr, tail_};
    if (tail_ == nullptr) list_.reset(node); else tail_->next = node;
    tail_ = node;
  }
  LineList Take() { tail_ = nullptr; return std::move(list_); }

 private:
  LineList list_;
  LineNode* tail_ = nullptr;
};

// Matches lines against a set of keywords as HTTPDRuleMatch does, in one
// pass over each line's first word however many keywords there are.
//
// A line can only be an instance of a keyword whose first word is the
// line's first word (a two-word keyword's first word ends at its blank,
// where the line's must end too). The keywords are grouped by their first
// letter (keywords are lower case), so one look at a line's first character
// rejects most lines and leaves the few keywords that begin with it; each
// of those is compared letter by letter, up to the first difference, and
// must end where the line's first word ends. For a one-word keyword that
// begins no two-word keyword ("gc" begins "gc advisor") that comparison is
// the whole match; the others are matched exactly once their first word
// agrees.
class KeywordSet {
 public:
  explicit KeywordSet(const std::vector<int>& ids) {
    static const std::array<bool, kRuleCount> beginsTwoWords = [] {
      std::array<bool, kRuleCount> begins{};
      for (int two = 0; two < kRuleCount; ++two) {
        const char* blank = std::strchr(RULESTR[two], ' ');
        if (blank == nullptr) continue;
        const std::string_view first(RULESTR[two], static_cast<std::size_t>(blank - RULESTR[two]));
        for (int one = 0; one < kRuleCount; ++one) {
          if (first == RULESTR[one]) begins[one] = true;
        }
      }
      return begins;
    }();
    // Each keyword once (a repeated one matches the same lines), so at most
    // kRuleCount of them.
    std::array<bool, kRuleCount> listed{};
    for (int id : ids) {
      const char* keyword = HTTPDIDToRule(id);
      if (keyword == nullptr || listed[static_cast<std::size_t>(id)]) continue;
      listed[static_cast<std::size_t>(id)] = true;
      const std::size_t firstWord = std::strcspn(keyword, " ");
      Wanted wanted{id, keyword, firstWord, keyword[firstWord] == '\0' && !beginsTwoWords[id]};
      wanted.PrepareLetters();
      keywords_.push_back(wanted);
    }
    // Grouped by first letter, in the given order within a group.
    std::stable_sort(keywords_.begin(), keywords_.end(),
                     [](const Wanted& a, const Wanted& b) { return Byte(a.keyword[0]) < Byte(b.keyword[0]); });
    for (std::size_t i = keywords_.size(); i-- > 0;) {
      const unsigned char c = Byte(keywords_[i].keyword[0]);
      first_[c] = static_cast<std::uint16_t>(i + 1);
      ++count_[c];
    }
    // A line's first letter in either case; blanks are skipped.
    for (unsigned char c = 'a'; c <= 'z'; ++c) {
      first_[c - 'a' + 'A'] = first_[c];
      count_[c - 'a' + 'A'] = count_[c];
    }
    for (const unsigned char blank : {' ', '\t', '\n', '\r'}) first_[blank] = kBlank;
  }

  bool Matches(const LineNode& l) const {
    const char* start = l.text.c_str();
    unsigned char c = Byte(*start);
    while (first_[c] == kBlank) c = Byte(*++start);
    if (first_[c] == 0) return false;
    // Bytes readable from `start` on: the rest of the text and its NUL.
    const std::size_t readable = l.text.size() - static_cast<std::size_t>(start - l.text.c_str()) + 1;
    const Wanted* w = &keywords_[first_[c] - 1];
    for (const Wanted* end = w + count_[c]; w != end; ++w) {
      // The line ends in a NUL byte, which no keyword letter equals: the
      // comparison stops there at the latest.
      if (!w->SameStart(start, readable) || !EndsWord(start[w->firstWord])) continue;
      if (w->exact || HTTPDRuleMatch(l.text, w->id) != 0) return true;
    }
    return false;
  }

 private:
  struct Wanted {
    int id;
    const char* keyword;
    std::size_t firstWord;
    bool exact;  // the first word decides
#ifdef __SSE2__
    // The first word's letters, and the case bit of each letter position
    // (0x20), for sixteen bytes at a time: a line whose first letters differ
    // from every keyword's is the common case of a walk.
    __m128i letters = _mm_setzero_si128();
    __m128i fold = _mm_setzero_si128();
    unsigned need = 0;  // one bit per letter of the first word
#endif

    void PrepareLetters() {
#ifdef __SSE2__
      if (firstWord > 16) return;  // compared letter by letter
      alignas(16) char bytes[16] = {};
      alignas(16) char folds[16] = {};
      for (std::size_t i = 0; i < firstWord; ++i) {
        bytes[i] = keyword[i];
        folds[i] = keyword[i] >= 'a' && keyword[i] <= 'z' ? 0x20 : 0;
      }
      letters = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
      fold = _mm_load_si128(reinterpret_cast<const __m128i*>(folds));
      need = firstWord == 16 ? 0xffffu : (1u << firstWord) - 1;
#endif
    }

    // The line's first `firstWord` bytes are the keyword's first word,
    // ignoring case. `readable`: how many bytes may be read from `line`.
    bool SameStart(const char* line, std::size_t readable) const {
#ifdef __SSE2__
      if (need != 0 && readable >= 16) {
        // A letter and its other case differ in the case bit only, and no
        // other byte ORed with it gives the lower-case letter.
        const __m128i bytes = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line)), fold);
        const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, letters)));
        return (same & need) == need;
      }
#else
      (void)readable;
#endif
      return SameLetters(line, keyword, firstWord);
    }
  };

  static constexpr std::uint16_t kBlank = 0xffff;  // in first_: a blank, skipped

  static unsigned char Byte(char c) { return static_cast<unsigned char>(c); }
  static bool EndsWord(char c) { return c == '\0' || c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  // Keywords are lower case.
  static bool SameLetters(const char* line, const char* keyword, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
      if (AsciiLower(line[i]) != keyword[i]) return false;
    }
    return true;
  }

  std::vector<Wanted> keywords_;
  // Per first character of a line (letters in both cases): 1 + the index
  // of the first keyword that begins with it (0: none; kBlank: a blank),
  // and how many keywords begin with it.
  std::array<std::uint16_t, 256> first_{};
  std::array<std::uint16_t, 256> count_{};
};

template <typename Test>
LineList CollectAllFiles(const ConfigHandle& handle, Test test) {
  Collector result;
  if (!HasLines(handle)) return LineList();
  for (const ConfigFile& file : handle) {
    for (const LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (IsLineStart(*line) && test(*line)) result.Add(line->text);
    }
  }
  return result.Take();
}

template <typename Test>
LineList CollectMainFile(const ConfigHandle& handle, Test test) {
  Collector result;
  if (!HasLines(handle)) return LineList();
  for (const LineNode* line = handle.first()->lines.first(); line != nullptr; line = line->next) {
    if (IsLineStart(*line) && test(*line)) result.Add(line->text);
  }
  return result.Take();
}

bool IsStandardMethod(const std::string& token) {
  static constexpr std::array<const char*, 8> kMethods = {"get",     "head",  "post",   "put",
                                                          "delete", "options", "trace", "connect"};
  for (const char* method : kMethods) {
    if (stricmp(token.c_str(), method) == 0) return true;
  }
  return false;
}

// The common backwards walk of the Replace operations; `isInstance` decides
// which lines take part.
template <typename IsInstance>
void ReplaceInstances(ConfigHandle& handle, int id, LineList list, int allFiles, IsInstance isInstance) {
  if (!HasLines(handle)) return;
  LineNode* insertAfter = nullptr;
  bool found = false;
  bool stop = false;
  SameLineDropper dropper(list);
  for (ConfigFile* file = handle.last(); file != nullptr && !stop; file = file->prev) {
    LineNode* line = file->lines.last();
    while (line != nullptr) {
      LineNode* previous = line->prev;
      if (IsLineStart(*line) && isInstance(*line)) {
        found = true;
        if (dropper.DropSame(line->text)) {
          // the existing line stays as it is
        } else if (previous != nullptr) {
          insertAfter = previous;
          RemoveWholeLine(file->lines, line);
        } else {
          RemoveWholeLine(file->lines, line);  // the file now starts at the next line
          insertAfter = file->lines.first();
          if (allFiles == 0) {
            stop = true;
            break;
          }
        }
      }
      line = previous;
    }
    if (found && allFiles == 0) stop = true;
  }
  if (list.empty()) return;
  if (insertAfter != nullptr) {
    LinesAdd(insertAfter, std::move(list));
  } else if (handle.first()->lines.empty()) {
    // Every line of the main file was an instance and is gone; adding would
    // find no main file line to go after and silently drop the new lines.
    handle.first()->lines = std::move(list);
  } else {
    HTTPDAddRules(handle, id, std::move(list));
  }
}

}  // namespace

LineList HTTPDGetRules(const ConfigHandle& handle, int id) {
  const KeywordSet keywords({id});
  return CollectAllFiles(handle, [&keywords](const LineNode& l) { return keywords.Matches(l); });
}

namespace {

// The listed identifiers up to a 0 entry.
std::vector<int> WantedIds(const std::vector<int>& ids) {
  std::vector<int> wanted;
  for (int id : ids) {
    if (id == 0) break;
    wanted.push_back(id);
  }
  return wanted;
}

}  // namespace

LineList HTTPDGetMultiRules(const ConfigHandle& handle, const std::vector<int>& ids) {
  const KeywordSet keywords(WantedIds(ids));
  return CollectAllFiles(handle, [&keywords](const LineNode& l) { return keywords.Matches(l); });
}

void HTTPDVisitMultiRules(const ConfigHandle& handle, const std::vector<int>& ids,
                          const std::function<void(const LineNode&)>& visit) {
  if (!HasLines(handle)) return;
  const KeywordSet keywords(WantedIds(ids));
  for (const ConfigFile& file : handle) {
    for (const LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (IsLineStart(*line) && keywords.Matches(*line)) visit(*line);
    }
  }
}

LineList HTTPDGetRulesWithNFields(const ConfigHandle& handle, int id, int n) {
  return CollectAllFiles(handle, [id, n](const LineNode& l) {
    return HTTPDRuleMatch(l.text, id) != 0 && HTTPDFieldCount(l.text) == n;
  });
}

LineList HTTPDGetUserMethodRules(const ConfigHandle& handle, int id) {
  return CollectMainFile(handle, [id](const LineNode& l) {
    if (HTTPDRuleMatch(l.text, id) == 0) return false;
    const std::optional<std::string> method = getToken(TokenNext(l.text));
    return method.has_value() && !IsStandardMethod(*method);
  });
}

LineList HTTPDGetKRTRules(const ConfigHandle& handle, int id, std::string_view text) {
  return CollectMainFile(handle, [id, text](const LineNode& l) {
    return HTTPDRuleMatch(l.text, id) != 0 && l.text.find(text) != std::string::npos;
  });
}

const LineNode* HTTPDRemoveRules(ConfigHandle& handle, int id, const LineNode* list) {
  if (list == nullptr || !HasLines(handle)) return list;
  // Work on copies of the texts, so that a caller who passes lines of the
  // configuration itself cannot make the walk read a freed line.
  std::vector<LineText> wanted;
  for (const LineNode* l = list; l != nullptr; l = l->next) wanted.push_back(l->text);
  for (ConfigFile& file : handle) {
    LineNode* line = file.lines.first();
    while (line != nullptr) {
      LineNode* next = line->next;
      if (IsLineStart(*line) && HTTPDRuleMatch(line->text, id) != 0) {
        for (const LineText& text : wanted) {
          if (RuleSame(line->text.c_str(), text.c_str()) != 0) {
            next = RemoveWholeLine(file.lines, line);
            break;
          }
        }
      }
      line = next;
    }
  }
  return list;
}

void HTTPDRemoveRules(ConfigHandle& handle, int id, const LineList& list) {
  HTTPDRemoveRules(handle, id, list.first());
}

void HTTPDAddRules(ConfigHandle& handle, int id, LineList list) {
  if (!HasLines(handle)) return;
  LineNode* lastInstance = nullptr;
  SameLineDropper dropper(list);
  for (ConfigFile& file : handle) {
    for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (!IsLineStart(*line) || HTTPDRuleMatch(line->text, id) == 0) continue;
      lastInstance = line;
      if (!list.empty()) dropper.DropSame(line->text);
    }
  }
  if (list.empty()) return;
  LineNode* after = lastInstance != nullptr ? lastInstance : handle.first()->lines.last();
  LinesAdd(after, std::move(list));
}

void HTTPDReplaceRules(ConfigHandle& handle, int id, LineList list, int allFiles) {
  ReplaceInstances(handle, id, std::move(list), allFiles,
                   [id](const LineNode& l) { return HTTPDRuleMatch(l.text, id) != 0; });
}

namespace {

// The memo of `id` when it can be trusted: no line list changed since the
// last remembered change except through the remembering operations, and the
// remembered line is still an instance.
DirectiveLineMemo* TrustedMemo(ConfigHandle& handle, int id) {
  DirectiveMemoTable& table = handle.directive_memos();
  if (table.edits != LineListEditCount()) {
    ++table.stamp;  // something else changed lines: forget everything
    table.edits = LineListEditCount();
  }
  auto it = table.lines.find(id);
  if (it == table.lines.end() || it->second.stamp != table.stamp) return nullptr;
  DirectiveLineMemo& memo = it->second;
  if (memo.line != nullptr && (memo.line->continuation() || HTTPDRuleMatch(memo.line->text, id) == 0)) return nullptr;
  return &memo;
}

void Remember(ConfigHandle& handle, int id, ConfigFile* file, LineNode* line, bool earlier) {
  DirectiveMemoTable& table = handle.directive_memos();
  table.lines[id] = DirectiveLineMemo{file, line, earlier, table.stamp};
  table.edits = LineListEditCount();
}

// After a full operation: where the instances of `id` stand now. Remembered
// when the last file holding one holds exactly one, or when none does.
void Survey(ConfigHandle& handle, int id) {
  ConfigFile* lastFile = nullptr;
  LineNode* only = nullptr;
  int inLast = 0;
  bool earlier = false;
  for (ConfigFile& file : handle) {
    int count = 0;
    LineNode* instance = nullptr;
    for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (IsLineStart(*line) && HTTPDRuleMatch(line->text, id) != 0) {
        ++count;
        instance = line;
      }
    }
    if (count == 0) continue;
    if (lastFile != nullptr) earlier = true;
    lastFile = &file;
    only = instance;
    inLast = count;
  }
  if (lastFile == nullptr) {
    Remember(handle, id, nullptr, nullptr, false);
  } else if (inLast == 1) {
    Remember(handle, id, lastFile, only, earlier);
  } else {
    handle.directive_memos().lines.erase(id);
  }
}

}  // namespace

void HTTPDReplaceRuleLine(ConfigHandle& handle, int id, std::string line) {
  if (!HasLines(handle)) return;
  if (DirectiveLineMemo* memo = TrustedMemo(handle, id)) {
    if (memo->line == nullptr) {
      // No instance anywhere: the line goes after the main file's last line.
      ConfigFile* mainFile = handle.first();
      LineList fresh;
      LineNode* added = &fresh.Append(std::move(line));
      LinesAdd(mainFile->lines.last(), std::move(fresh));
      Remember(handle, id, mainFile, added, false);
      return;
    }
    if (memo->line->prev != nullptr) {
      // The only instance of the last file holding one, and not its first
      // line: an equal line stays, any other takes its place.
      LineNode* existing = memo->line;
      if (RuleSame(existing->text.c_str(), line.c_str()) == 0) {
        while (existing->next != nullptr && existing->next->continuation()) {
          LineRemoveWhole(memo->file->lines, existing->next);
        }
        existing->text = std::move(line);
      }
      Remember(handle, id, memo->file, existing, memo->earlierInstances);
      return;
    }
  }
  LineList lines;
  lines.Append(std::move(line));
  HTTPDReplaceRules(handle, id, std::move(lines), 0);
  Survey(handle, id);
}

void HTTPDRemoveAllRules(ConfigHandle& handle, int id) {
  if (!HasLines(handle)) return;
  if (DirectiveLineMemo* memo = TrustedMemo(handle, id)) {
    if (memo->line == nullptr) {
      Remember(handle, id, nullptr, nullptr, false);
      return;
    }
    if (!memo->earlierInstances) {
      RemoveWholeLine(memo->file->lines, memo->line);
      Remember(handle, id, nullptr, nullptr, false);
      return;
    }
  }
  HTTPDRemoveRules(handle, id, HTTPDGetRules(handle, id));
  Survey(handle, id);
}

void HTTPDReplaceRulesWithNFields(ConfigHandle& handle, int id, int n, LineList list, int allFiles) {
  ReplaceInstances(handle, id, std::move(list), allFiles, [id, n](const LineNode& l) {
    return HTTPDRuleMatch(l.text, id) != 0 && HTTPDFieldCount(l.text) == n;
  });
}

int HTTPDFieldCount(const char* line) {
  if (line == nullptr || *line == '\0' || *line == '\n' || *line == '#') return 0;
  int count = 1;
  for (const char* p = PointToNextField(line); *p != '\0' && *p != '\n' && *p != '#';
       p = PointToNextField(p)) {
    ++count;
  }
  return count;
}

int HTTPDFieldCount(const std::string& line) { return HTTPDFieldCount(line.c_str()); }

std::optional<std::string> getToken(const char* s) {
  if (s == nullptr || *s == '\0') return std::nullopt;
  auto isBreak = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '@'; };
  while (*s != '\0' && isBreak(*s)) ++s;
  const char* end = s;
  while (*end != '\0' && !isBreak(*end)) ++end;
  return std::string(s, end);
}

std::optional<std::string> getLine(const char* s) {
  if (s == nullptr || *s == '\0') return std::nullopt;
  return std::string(s);
}

void removeChar(std::string& s, char ch) {
  const std::size_t at = s.find(ch);
  if (at != std::string::npos) s.resize(at);
}

std::string StripQuotes(std::string_view s) {
  if (!s.empty() && s.front() == '"') {
    const std::size_t first = s.find_first_not_of('"');
    s = first == std::string_view::npos ? std::string_view() : s.substr(first);
  }
  while (!s.empty() && s.back() == '"') s.remove_suffix(1);
  if (s.empty()) return " ";
  return std::string(s);
}

int StripCRLF(std::string& s) {
  const std::size_t at = s.find_first_of("\r\n");
  if (at != std::string::npos) s.resize(at);
  return 0;
}

int StripCRLF(char* s) {
  if (s != nullptr) s[std::strcspn(s, "\r\n")] = '\0';
  return 0;
}

}  // namespace cfgout
