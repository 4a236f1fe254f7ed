#include "config/directive_access.h"

#include <array>
#include <cstring>
#include <utility>

namespace cfgout {

namespace {

bool HasLines(const ConfigHandle& handle) {
  const ConfigFile* mainFile = handle.first();
  return mainFile != nullptr && !mainFile->lines.empty();
}

// Appends a copy of `text` to the result list, keeping a tail pointer so
// that collecting stays linear in the number of lines.
class Collector {
 public:
  void Add(const std::string& text) {
    auto* node = new LineNode{text, nullptr, tail_};
    if (tail_ == nullptr) list_.reset(node); else tail_->next = node;
    tail_ = node;
  }
  LineList Take() { tail_ = nullptr; return std::move(list_); }

 private:
  LineList list_;
  LineNode* tail_ = nullptr;
};

template <typename Test>
LineList CollectAllFiles(const ConfigHandle& handle, Test test) {
  Collector result;
  if (!HasLines(handle)) return LineList();
  for (const ConfigFile& file : handle) {
    for (const LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (test(*line)) result.Add(line->text);
    }
  }
  return result.Take();
}

template <typename Test>
LineList CollectMainFile(const ConfigHandle& handle, Test test) {
  Collector result;
  if (!HasLines(handle)) return LineList();
  for (const LineNode* line = handle.first()->lines.first(); line != nullptr; line = line->next) {
    if (test(*line)) result.Add(line->text);
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

// Drops `node` from the input list `list` (it is freed).
void DropFromList(LineList& list, LineNode* node) { LineRemove(list, node); }

// The common backwards walk of the Replace operations; `isInstance` decides
// which lines take part.
template <typename IsInstance>
void ReplaceInstances(ConfigHandle& handle, int id, LineList list, int allFiles, IsInstance isInstance) {
  if (!HasLines(handle)) return;
  LineNode* insertAfter = nullptr;
  bool found = false;
  bool stop = false;
  for (ConfigFile* file = handle.last(); file != nullptr && !stop; file = file->prev) {
    LineNode* line = file->lines.last();
    while (line != nullptr) {
      LineNode* previous = line->prev;
      if (isInstance(*line)) {
        found = true;
        if (LineNode* same = RuleFound(line->text.c_str(), list.first())) {
          DropFromList(list, same);  // the existing line stays as it is
        } else if (previous != nullptr) {
          insertAfter = previous;
          LineRemove(file->lines, line);
        } else {
          LineRemove(file->lines, line);  // the file now starts at the next line
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
  return CollectAllFiles(handle, [id](const LineNode& l) { return HTTPDRuleMatch(l.text, id) != 0; });
}

LineList HTTPDGetMultiRules(const ConfigHandle& handle, const std::vector<int>& ids) {
  std::vector<int> wanted;
  for (int id : ids) {
    if (id == 0) break;
    wanted.push_back(id);
  }
  // A line can only be an instance of a keyword it starts with: one look at
  // its first character (keywords are lower case) rejects most lines before
  // any keyword is compared, however many are wanted.
  std::array<bool, 256> firstChars{};
  for (int id : wanted) {
    if (const char* keyword = HTTPDIDToRule(id)) firstChars[static_cast<unsigned char>(keyword[0])] = true;
  }
  return CollectAllFiles(handle, [&wanted, &firstChars](const LineNode& l) {
    const char* start = l.text.c_str();
    while (*start == ' ' || *start == '\t' || *start == '\n' || *start == '\r') ++start;
    char first = *start;
    if (first >= 'A' && first <= 'Z') first = static_cast<char>(first - 'A' + 'a');
    if (!firstChars[static_cast<unsigned char>(first)]) return false;
    for (int id : wanted) {
      if (HTTPDRuleMatch(l.text, id) != 0) return true;
    }
    return false;
  });
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
  std::vector<std::string> wanted;
  for (const LineNode* l = list; l != nullptr; l = l->next) wanted.push_back(l->text);
  for (ConfigFile& file : handle) {
    LineNode* line = file.lines.first();
    while (line != nullptr) {
      LineNode* next = line->next;
      if (HTTPDRuleMatch(line->text, id) != 0) {
        for (const std::string& text : wanted) {
          if (RuleSame(line->text.c_str(), text.c_str()) != 0) {
            LineRemove(file.lines, line);  // freed when the returned list is dropped
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
  for (ConfigFile& file : handle) {
    for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (HTTPDRuleMatch(line->text, id) == 0) continue;
      lastInstance = line;
      if (LineNode* same = RuleFound(line->text.c_str(), list.first())) DropFromList(list, same);
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
