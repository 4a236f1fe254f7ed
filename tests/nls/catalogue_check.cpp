#include "nls/catalogue_check.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace cfgout::catalogue {
namespace {

bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string Located(const std::string& label, int line, const std::string& what) {
  return label + ":" + std::to_string(line) + ": " + what;
}

// Shows a text in a report: quoted, with control characters escaped.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default: out += c;
    }
  }
  return out + "\"";
}

// Length of a valid UTF-8 sequence starting at s[i], or 0.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t len = 0;
  unsigned min = 0;
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) { len = 2; min = 0x80; }
  else if ((b & 0xF0) == 0xE0) { len = 3; min = 0x800; }
  else if ((b & 0xF8) == 0xF0) { len = 4; min = 0x10000; }
  else return 0;
  if (i + len > s.size()) return 0;
  unsigned cp = b & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = Utf8SequenceLength(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

// Position just after the literal that starts at `pos` (a '"' or '\''),
// honouring backslash escapes; the end of the text when it is unterminated.
std::size_t SkipQuoted(std::string_view s, std::size_t pos) {
  const char quote = s[pos];
  std::size_t i = pos + 1;
  while (i < s.size()) {
    if (s[i] == '\\') {
      i += 2;
      continue;
    }
    if (s[i] == quote) return i + 1;
    if (s[i] == '\n') return i;  // unterminated on this line: stop here
    ++i;
  }
  return s.size();
}

// A raw string R"delim( ... )delim" whose R is at `pos`: position after it.
std::size_t SkipRawString(std::string_view s, std::size_t pos) {
  const std::size_t open = s.find('(', pos + 2);
  if (open == std::string_view::npos) return s.size();
  const std::string close =
      ")" + std::string(s.substr(pos + 2, open - pos - 2)) + "\"";
  const std::size_t end = s.find(close, open + 1);
  return end == std::string_view::npos ? s.size() : end + close.size();
}

// The identifier that ends just before `pos` (empty when none).
std::string_view IdentifierBefore(std::string_view s, std::size_t pos) {
  std::size_t b = pos;
  while (b > 0 && IsIdentChar(s[b - 1])) --b;
  return s.substr(b, pos - b);
}

bool IsStringPrefix(std::string_view ident) {
  return ident.empty() || ident == "u8" || ident == "u" || ident == "U" || ident == "L";
}

// When a string or character literal starts at `i`, the position just after
// it; npos otherwise. A quote right after a digit or letter is a digit
// separator (1'000), unless the letters are a literal prefix (u8'a', L'a').
std::size_t LiteralEnd(std::string_view s, std::size_t i) {
  const char c = s[i];
  if (c != '"' && c != '\'') return std::string_view::npos;
  const std::string_view before = IdentifierBefore(s, i);
  if (c == '"') {
    if (!before.empty() && before.back() == 'R' && IsStringPrefix(before.substr(0, before.size() - 1))) {
      return SkipRawString(s, i - 1);
    }
    return SkipQuoted(s, i);
  }
  if (!before.empty() && !IsStringPrefix(before)) return std::string_view::npos;
  return SkipQuoted(s, i);
}

// The source with the contents of every literal replaced by blanks, so that
// a search for a name finds code only.
std::string BlankLiterals(std::string_view source) {
  std::string out(source);
  std::size_t i = 0;
  while (i < out.size()) {
    const std::size_t end = LiteralEnd(out, i);
    if (end == std::string_view::npos) {
      ++i;
      continue;
    }
    for (std::size_t k = i + 1; k + 1 < end; ++k) {
      if (out[k] != '\n') out[k] = ' ';
    }
    i = end;
  }
  return out;
}

// Decodes a C++ string literal body (between the quotes).
std::string DecodeCppEscapes(std::string_view body) {
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c != '\\' || i + 1 >= body.size()) {
      out += c;
      continue;
    }
    const char e = body[++i];
    switch (e) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'a': out += '\a'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'v': out += '\v'; break;
      case 'x': {
        unsigned value = 0;
        while (i + 1 < body.size() && std::isxdigit(static_cast<unsigned char>(body[i + 1]))) {
          const char h = body[++i];
          value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h))
                                                         ? h - '0'
                                                         : std::tolower(h) - 'a' + 10);
        }
        out += static_cast<char>(value & 0xFF);
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned value = static_cast<unsigned>(e - '0');
          for (int k = 0; k < 2 && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7';
               ++k) {
            value = value * 8 + static_cast<unsigned>(body[++i] - '0');
          }
          out += static_cast<char>(value & 0xFF);
        } else {
          out += e;  // \" \' \\ \?
        }
    }
  }
  return out;
}

// When `expr` is nothing but one or more adjacent string literals (optionally
// u8-prefixed), their concatenated decoded text.
std::optional<std::string> StringLiteralValue(std::string_view expr) {
  expr = Trim(expr);
  if (expr.empty()) return std::nullopt;
  std::string out;
  std::size_t i = 0;
  while (i < expr.size()) {
    while (i < expr.size() && IsSpace(expr[i])) ++i;
    if (i >= expr.size()) break;
    if (expr.compare(i, 3, "u8\"") == 0) i += 2;
    if (expr[i] == 'R' && i + 1 < expr.size() && expr[i + 1] == '"') {
      const std::size_t open = expr.find('(', i + 2);
      if (open == std::string_view::npos) return std::nullopt;
      const std::string close = ")" + std::string(expr.substr(i + 2, open - i - 2)) + "\"";
      const std::size_t end = expr.find(close, open + 1);
      if (end == std::string_view::npos) return std::nullopt;
      out += expr.substr(open + 1, end - open - 1);
      i = end + close.size();
      continue;
    }
    if (expr[i] != '"') return std::nullopt;
    const std::size_t end = SkipQuoted(expr, i);
    if (end > expr.size() || expr[end - 1] != '"' || end - i < 2) return std::nullopt;
    out += DecodeCppEscapes(expr.substr(i + 1, end - i - 2));
    i = end;
  }
  return out;
}

// Splits the bracketed group whose opening bracket stands at `open` at its
// top-level commas (string and character literals and nested brackets are
// skipped); `close` receives the position of the bracket that ends it, which
// must be `closer`. Every part is kept, the last one too when it is empty.
std::optional<std::vector<std::string_view>> SplitGroup(std::string_view s, std::size_t open, char closer,
                                                        std::size_t* close) {
  std::vector<std::string_view> parts;
  int depth = 0;
  std::size_t start = open + 1;
  for (std::size_t i = open + 1; i < s.size();) {
    const char c = s[i];
    if (const std::size_t end = LiteralEnd(s, i); end != std::string_view::npos) {
      i = end;
      continue;
    }
    if (c == '(' || c == '[' || c == '{') {
      ++depth;
    } else if (c == ')' || c == ']' || c == '}') {
      if (depth == 0) {
        if (c != closer) return std::nullopt;
        parts.push_back(s.substr(start, i - start));
        *close = i;
        return parts;
      }
      --depth;
    } else if (c == ',' && depth == 0) {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
    ++i;
  }
  return std::nullopt;
}

// Splits the argument list that starts after the '(' at `open` into its
// top-level arguments; `close` receives the position of the matching ')'.
// "()" has no arguments.
std::optional<std::vector<std::string_view>> SplitArguments(std::string_view s, std::size_t open,
                                                            std::size_t* close) {
  std::optional<std::vector<std::string_view>> args = SplitGroup(s, open, ')', close);
  if (args && args->size() == 1 && Trim(args->front()).empty()) args->clear();
  return args;
}

// The last component of a possibly qualified name ("cfgout::kX" -> "kX").
std::string_view Unqualified(std::string_view name) {
  const std::size_t colon = name.rfind("::");
  return colon == std::string_view::npos ? name : name.substr(colon + 2);
}

std::optional<int> ParseInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
    text = Trim(text);
  }
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c == '\'') continue;  // digit separator
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 1000000000L) return std::nullopt;
  }
  return static_cast<int>(negative ? -value : value);
}

std::optional<int> ResolveInteger(std::string_view expr, const std::map<std::string, int>& constants) {
  expr = Trim(expr);
  if (auto literal = ParseInteger(expr)) return literal;
  const std::string_view name = Unqualified(expr);
  if (name.empty() || !std::all_of(name.begin(), name.end(), IsIdentChar)) return std::nullopt;
  const auto it = constants.find(std::string(name));
  if (it == constants.end()) return std::nullopt;
  return it->second;
}

int LineAt(std::string_view s, std::size_t pos) {
  return 1 + static_cast<int>(std::count(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
}

}  // namespace

Catalogue ParseCatalogue(std::string_view content, const std::string& label) {
  Catalogue cat;
  if (!IsValidUtf8(content)) cat.problems.push_back(label + ": the file is not valid UTF-8");
  int lineNo = 0;
  int previous = 0;
  std::size_t pos = 0;
  while (pos <= content.size()) {
    const std::size_t nl = content.find('\n', pos);
    std::string_view line =
        content.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? content.size() + 1 : nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (Trim(line).empty() || line.front() == '#') continue;

    std::size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || i > 6 || i >= line.size() || (line[i] != '\t' && line[i] != ' ')) {
      cat.problems.push_back(Located(label, lineNo, "expected <number><TAB><text>"));
      continue;
    }
    const int number = std::stoi(std::string(line.substr(0, i)));
    while (i < line.size() && (line[i] == '\t' || line[i] == ' ')) ++i;
    const std::string_view raw = line.substr(i);

    std::string text;
    bool badEscape = false;
    for (std::size_t k = 0; k < raw.size(); ++k) {
      if (raw[k] != '\\') {
        text += raw[k];
        continue;
      }
      const char e = k + 1 < raw.size() ? raw[k + 1] : '\0';
      if (e == 'n') text += '\n';
      else if (e == 't') text += '\t';
      else if (e == '\\') text += '\\';
      else {
        badEscape = true;
        break;
      }
      ++k;
    }
    if (badEscape) {
      cat.problems.push_back(Located(label, lineNo,
                                     "message " + std::to_string(number) +
                                         ": only \\n, \\t and \\\\ are escapes (write \\\\ for a backslash)"));
      continue;
    }
    if (number < 1) {
      cat.problems.push_back(Located(label, lineNo, "message numbers start at 1"));
      continue;
    }
    if (text.empty()) {
      cat.problems.push_back(Located(label, lineNo, "message " + std::to_string(number) + " has no text"));
    }
    if (cat.messages.count(number) != 0) {
      cat.problems.push_back(Located(label, lineNo, "message " + std::to_string(number) + " appears twice"));
      continue;
    }
    if (number < previous) {
      cat.problems.push_back(Located(label, lineNo,
                                     "message " + std::to_string(number) + " stands after message " +
                                         std::to_string(previous) + " (keep the file sorted by number)"));
    }
    previous = std::max(previous, number);
    cat.messages.emplace(number, std::move(text));
  }
  return cat;
}

std::string StripComments(std::string_view source) {
  std::string out(source);
  std::size_t i = 0;
  while (i < out.size()) {
    const char c = out[i];
    if (c == '/' && i + 1 < out.size() && out[i + 1] == '/') {
      while (i < out.size() && out[i] != '\n') out[i++] = ' ';
    } else if (c == '/' && i + 1 < out.size() && out[i + 1] == '*') {
      const std::size_t end = out.find("*/", i + 2);
      const std::size_t stop = end == std::string::npos ? out.size() : end + 2;
      for (; i < stop; ++i) {
        if (out[i] != '\n') out[i] = ' ';
      }
    } else if (const std::size_t end = LiteralEnd(out, i); end != std::string_view::npos) {
      i = end;
    } else {
      ++i;
    }
  }
  return out;
}

std::map<std::string, int> FindIntConstants(std::string_view s) {
  std::map<std::string, int> found;
  std::set<std::string> ambiguous;
  for (const std::string_view keyword : {std::string_view("constexpr"), std::string_view("const")}) {
    std::size_t pos = 0;
    while ((pos = s.find(keyword, pos)) != std::string_view::npos) {
      const std::size_t after = pos + keyword.size();
      const bool wordStart = pos == 0 || !IsIdentChar(s[pos - 1]);
      pos = after;
      if (!wordStart || after >= s.size() || IsIdentChar(s[after])) continue;
      std::size_t i = after;
      while (i < s.size() && IsSpace(s[i])) ++i;
      if (s.compare(i, 3, "int") != 0 || i + 3 >= s.size() || IsIdentChar(s[i + 3])) continue;
      i += 3;
      while (i < s.size() && IsSpace(s[i])) ++i;
      const std::size_t nameStart = i;
      while (i < s.size() && IsIdentChar(s[i])) ++i;
      const std::string name(s.substr(nameStart, i - nameStart));
      while (i < s.size() && IsSpace(s[i])) ++i;
      if (name.empty() || i >= s.size() || (s[i] != '=' && s[i] != '{')) continue;
      const char closer = s[i] == '=' ? ';' : '}';
      const std::size_t end = s.find(closer, i + 1);
      if (end == std::string_view::npos) continue;
      const auto value = ParseInteger(s.substr(i + 1, end - i - 1));
      if (!value) continue;
      const auto [it, inserted] = found.emplace(name, *value);
      if (!inserted && it->second != *value) ambiguous.insert(name);
    }
  }
  for (const auto& name : ambiguous) found.erase(name);
  return found;
}

std::vector<LookupForm> BaseLookupForms() {
  return {
      {"nlsGetString", 2, 0, 1, 0, 3},
      {"get_message", 0, 2, -1, -1, -1},
      {"get_config_message", 0, 2, -1, -1, -1},
      {"get_validation_msg", 0, 1, -1, -1, -1},
  };
}

namespace {

struct Call {
  std::size_t pos = 0;
  const LookupForm* form = nullptr;
  std::vector<std::string_view> args;
};

// Calls of the known forms. `code` is `s` with literal contents blanked, so
// that names inside strings are not taken for calls; arguments come from `s`.
std::vector<Call> FindCalls(std::string_view s, const std::string& code,
                            const std::vector<LookupForm>& forms) {
  std::vector<Call> calls;
  for (const LookupForm& form : forms) {
    std::size_t pos = 0;
    while ((pos = code.find(form.name, pos)) != std::string::npos) {
      const std::size_t start = pos;
      pos += form.name.size();
      if (start > 0 && IsIdentChar(s[start - 1])) continue;
      if (pos < s.size() && IsIdentChar(s[pos])) continue;
      std::size_t open = pos;
      while (open < s.size() && IsSpace(s[open])) ++open;
      if (open >= s.size() || s[open] != '(') continue;
      std::size_t close = 0;
      auto args = SplitArguments(s, open, &close);
      if (!args) continue;
      calls.push_back(Call{start, &form, std::move(*args)});
    }
  }
  std::stable_sort(calls.begin(), calls.end(),
                   [](const Call& a, const Call& b) { return a.pos < b.pos; });
  return calls;
}

// A function definition: its name, parameter names and body range.
struct FunctionScope {
  std::string name;
  std::vector<std::string> params;
  std::size_t bodyBegin = 0;
  std::size_t bodyEnd = 0;
};

bool IsBareIdentifier(std::string_view text) {
  return !text.empty() && !std::isdigit(static_cast<unsigned char>(text.front())) &&
         std::all_of(text.begin(), text.end(), IsIdentChar);
}

std::vector<FunctionScope> FindFunctions(const std::string& code) {
  static const std::set<std::string_view> kQualifiers = {"const", "noexcept", "override", "final",
                                                         "mutable"};
  static const std::set<std::string_view> kNotFunctions = {
      "if", "for", "while", "switch", "catch", "return", "sizeof", "decltype", "alignof",
      "noexcept", "static_assert", "requires"};
  std::vector<FunctionScope> functions;
  for (std::size_t brace = 0; brace < code.size(); ++brace) {
    if (code[brace] != '{') continue;
    // Back over qualifiers to the ')' that closes the parameter list.
    std::size_t i = brace;
    for (;;) {
      while (i > 0 && IsSpace(code[i - 1])) --i;
      const std::string_view word = IdentifierBefore(code, i);
      if (word.empty() || kQualifiers.count(word) == 0) break;
      i -= word.size();
    }
    if (i == 0 || code[i - 1] != ')') continue;
    const std::size_t closeParen = i - 1;
    int depth = 0;
    std::size_t openParen = std::string::npos;
    for (std::size_t k = closeParen + 1; k-- > 0;) {
      if (code[k] == ')') ++depth;
      else if (code[k] == '(' && --depth == 0) {
        openParen = k;
        break;
      }
    }
    if (openParen == std::string::npos) continue;
    std::size_t nameEnd = openParen;
    while (nameEnd > 0 && IsSpace(code[nameEnd - 1])) --nameEnd;
    const std::string_view name = IdentifierBefore(code, nameEnd);
    if (!IsBareIdentifier(name) || kNotFunctions.count(name) != 0) continue;

    FunctionScope fn;
    fn.name = std::string(name);
    std::size_t unused = 0;
    if (const auto params = SplitArguments(code, openParen, &unused)) {
      for (std::string_view p : *params) {
        const std::size_t eq = p.find('=');
        if (eq != std::string_view::npos) p = p.substr(0, eq);
        p = Trim(p);
        std::size_t e = p.size();
        while (e > 0 && !IsIdentChar(p[e - 1])) --e;  // e.g. "char buf[]"
        fn.params.emplace_back(IdentifierBefore(p, e));
      }
    }
    int bodyDepth = 0;
    fn.bodyBegin = brace;
    fn.bodyEnd = code.size();
    for (std::size_t k = brace; k < code.size(); ++k) {
      if (code[k] == '{') ++bodyDepth;
      else if (code[k] == '}' && --bodyDepth == 0) {
        fn.bodyEnd = k;
        break;
      }
    }
    functions.push_back(std::move(fn));
  }
  return functions;
}

const FunctionScope* Enclosing(const std::vector<FunctionScope>& functions, std::size_t pos) {
  const FunctionScope* best = nullptr;
  for (const auto& fn : functions) {
    if (fn.bodyBegin < pos && pos < fn.bodyEnd && (best == nullptr || fn.bodyBegin > best->bodyBegin)) {
      best = &fn;
    }
  }
  return best;
}

// Slot and set of a call, when they are known and name a message set of the
// "config" bundle.
std::optional<int> MessageSetOf(const Call& call, const std::map<std::string, int>& constants) {
  const LookupForm& form = *call.form;
  if (form.slotArg >= 0) {
    if (call.args.size() <= static_cast<std::size_t>(form.slotArg)) return std::nullopt;
    const auto slot = ResolveInteger(call.args[static_cast<std::size_t>(form.slotArg)], constants);
    if (!slot || *slot != 1) return std::nullopt;
  }
  if (form.set != 0) return form.set;
  if (form.setArg < 0 || call.args.size() <= static_cast<std::size_t>(form.setArg)) return std::nullopt;
  const auto set = ResolveInteger(call.args[static_cast<std::size_t>(form.setArg)], constants);
  if (!set || (*set != 1 && *set != 2)) return std::nullopt;
  return set;
}

}  // namespace

std::vector<LookupForm> FindWrapperForms(std::string_view s, const std::map<std::string, int>& constants,
                                         const std::vector<LookupForm>& known) {
  const std::string code = BlankLiterals(s);
  const auto functions = FindFunctions(code);
  std::vector<LookupForm> wrappers;
  const auto isKnown = [&](const std::string& name) {
    const auto same = [&](const LookupForm& f) { return f.name == name; };
    return std::any_of(known.begin(), known.end(), same) ||
           std::any_of(wrappers.begin(), wrappers.end(), same);
  };
  for (const Call& call : FindCalls(s, code, known)) {
    const LookupForm& form = *call.form;
    if (call.args.size() <= static_cast<std::size_t>(form.idArg)) continue;
    const auto set = MessageSetOf(call, constants);
    const std::string_view idExpr = Trim(call.args[static_cast<std::size_t>(form.idArg)]);
    if (!set || ResolveInteger(idExpr, constants) || !IsBareIdentifier(idExpr)) continue;
    const FunctionScope* fn = Enclosing(functions, call.pos);
    if (fn == nullptr || isKnown(fn->name)) continue;
    const auto idParam = std::find(fn->params.begin(), fn->params.end(), idExpr);
    if (idParam == fn->params.end()) continue;
    LookupForm wrapper;
    wrapper.name = fn->name;
    wrapper.idArg = static_cast<int>(idParam - fn->params.begin());
    wrapper.set = *set;
    if (form.defaultArg >= 0 && call.args.size() > static_cast<std::size_t>(form.defaultArg)) {
      const std::string_view defaultExpr = Trim(call.args[static_cast<std::size_t>(form.defaultArg)]);
      const auto defaultParam = std::find(fn->params.begin(), fn->params.end(), defaultExpr);
      if (IsBareIdentifier(defaultExpr) && defaultParam != fn->params.end()) {
        wrapper.defaultArg = static_cast<int>(defaultParam - fn->params.begin());
      }
    }
    wrappers.push_back(std::move(wrapper));
  }
  return wrappers;
}

std::vector<MessageUse> FindMessageUses(std::string_view s, const std::string& label,
                                        const std::map<std::string, int>& constants,
                                        const std::vector<LookupForm>& forms) {
  const std::string code = BlankLiterals(s);
  std::vector<MessageUse> uses;
  for (const Call& call : FindCalls(s, code, forms)) {
    const LookupForm& form = *call.form;
    if (call.args.size() <= static_cast<std::size_t>(form.idArg)) continue;
    const auto set = MessageSetOf(call, constants);
    const auto number = ResolveInteger(call.args[static_cast<std::size_t>(form.idArg)], constants);
    if (!set || !number) continue;
    MessageUse use;
    use.set = *set;
    use.number = *number;
    use.where = label + ":" + std::to_string(LineAt(s, call.pos));
    if (form.defaultArg >= 0 && call.args.size() > static_cast<std::size_t>(form.defaultArg)) {
      use.builtinText = StringLiteralValue(call.args[static_cast<std::size_t>(form.defaultArg)]);
    }
    uses.push_back(std::move(use));
  }
  return uses;
}

std::vector<FieldRow> FindFieldRows(std::string_view s) {
  std::vector<FieldRow> rows;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (const std::size_t end = LiteralEnd(s, i); end != std::string_view::npos) {
      i = end - 1;
      continue;
    }
    if (s[i] != '{') continue;
    std::size_t first = i + 1;
    while (first < s.size() && IsSpace(s[first])) ++first;
    if (first >= s.size() || s[first] != '"') continue;

    // Split the brace group at its top-level commas.
    std::size_t k = i;
    std::optional<std::vector<std::string_view>> group = SplitGroup(s, i, '}', &k);
    if (!group) continue;
    std::vector<std::string_view>& parts = *group;
    if (!parts.empty() && Trim(parts.back()).empty()) parts.pop_back();  // trailing comma
    if (parts.size() != 6) continue;
    const auto name = StringLiteralValue(parts[0]);
    const auto id = ParseInteger(parts[5]);
    if (!name || !id) continue;
    std::string_view validator = Trim(parts[2]);
    if (!validator.empty() && validator.front() == '&') validator = Trim(validator.substr(1));
    rows.push_back(FieldRow{*name, std::string(Unqualified(validator)), *id, LineAt(s, i)});
    i = k;
  }
  return rows;
}

std::vector<std::string> UnsupportedConversions(std::string_view text) {
  std::vector<std::string> bad;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd' || text[i + 1] == '%')) {
      ++i;
      continue;
    }
    bad.push_back(std::string(text.substr(i, 2)));
  }
  return bad;
}

int CountConversions(std::string_view text, char conversion) {
  int count = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (text[i + 1] == conversion && conversion != '%') ++count;
    ++i;  // "%%" and every other pair are consumed together
  }
  return count;
}

std::vector<std::string> CheckCatalogueRules(const Catalogue& set1, const Catalogue& set2) {
  std::vector<std::string> problems;
  const auto requireOneText = [&](const Catalogue& cat, int set, int number, const char* why) {
    const auto it = cat.messages.find(number);
    const std::string name = "set " + std::to_string(set) + " message " + std::to_string(number);
    if (it == cat.messages.end()) {
      problems.push_back(name + " is missing (" + why + ")");
      return;
    }
    if (CountConversions(it->second, 's') != 1 || CountConversions(it->second, 'd') != 0) {
      problems.push_back(name + " must hold exactly one %s and no %d (" + why + "), but is " +
                         Quoted(it->second));
    }
  };
  requireOneText(set2, 2, 13, "it wraps every validation message");
  requireOneText(set1, 1, 116, "its %s is the unknown field name");

  for (const auto* cat : {&set1, &set2}) {
    const int set = cat == &set1 ? 1 : 2;
    for (const auto& [number, text] : cat->messages) {
      for (const auto& seq : UnsupportedConversions(text)) {
        problems.push_back("set " + std::to_string(set) + " message " + std::to_string(number) +
                           " holds " + Quoted(seq) +
                           "; only %s, %d and %% are substituted (write %% for a percent sign)");
      }
    }
  }
  return problems;
}

std::vector<std::string> CheckUses(const Catalogue& set1, const Catalogue& set2,
                                   const std::vector<MessageUse>& uses) {
  std::vector<std::string> problems;
  // Built-in texts per message, with the first place each one is given.
  std::map<std::pair<int, int>, std::vector<std::pair<std::string, std::string>>> builtins;
  std::set<std::pair<int, int>> reportedMissing;
  for (const auto& use : uses) {
    const Catalogue& cat = use.set == 1 ? set1 : set2;
    const auto key = std::make_pair(use.set, use.number);
    const auto it = cat.messages.find(use.number);
    if (it == cat.messages.end() || it->second.empty()) {
      if (reportedMissing.insert(key).second) {
        problems.push_back(use.where + ": set " + std::to_string(use.set) + " message " +
                           std::to_string(use.number) + " is used here but has no text in " +
                           std::to_string(use.set) + ".msg");
      }
      continue;
    }
    if (use.builtinText) {
      auto& texts = builtins[key];
      const bool known = std::any_of(texts.begin(), texts.end(),
                                     [&](const auto& t) { return t.first == *use.builtinText; });
      if (!known) texts.emplace_back(*use.builtinText, use.where);
    }
  }
  for (const auto& [key, texts] : builtins) {
    const std::string& catalogueText = (key.first == 1 ? set1 : set2).messages.at(key.second);
    const bool matches = std::any_of(texts.begin(), texts.end(),
                                     [&](const auto& t) { return t.first == catalogueText; });
    if (matches) continue;
    for (const auto& [text, where] : texts) {
      problems.push_back(where + ": the built-in text of set " + std::to_string(key.first) +
                         " message " + std::to_string(key.second) + ", " + Quoted(text) +
                         ", differs from the catalogue text " + Quoted(catalogueText));
    }
  }
  return problems;
}

std::vector<std::string> CheckFieldRows(const Catalogue& set1, const std::vector<FieldRow>& rows,
                                        std::size_t expectedRows, const std::string& label) {
  std::vector<std::string> problems;
  if (rows.size() != expectedRows) {
    problems.push_back(label + ": found " + std::to_string(rows.size()) + " form variable rows, expected " +
                       std::to_string(expectedRows) +
                       " (rows are read as {\"NAME\", code, validator, param1, param2, messageId})");
  }
  for (const auto& row : rows) {
    if (row.messageId < 1) {
      if (row.validator != "NoValidation") {
        problems.push_back(Located(label, row.line,
                                   row.name + " is checked by " + row.validator +
                                       " but names no message (" + std::to_string(row.messageId) + ")"));
      }
      continue;
    }
    const auto it = set1.messages.find(row.messageId);
    if (it == set1.messages.end() || it->second.empty()) {
      problems.push_back(Located(label, row.line,
                                 row.name + " names set 1 message " + std::to_string(row.messageId) +
                                     ", which has no text in 1.msg"));
    }
  }
  return problems;
}

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

SourceScan ScanSourceTree(const std::filesystem::path& root, const std::filesystem::path& labelBase) {
  static const std::set<std::string> kExtensions = {".h", ".hh", ".hpp", ".c", ".cc", ".cpp", ".cxx", ".inc", ".ipp"};
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && kExtensions.count(it->path().extension().string()) != 0) {
      files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());

  std::vector<std::pair<std::string, std::string>> stripped;  // label, text
  std::map<std::string, int> constants;
  std::set<std::string> ambiguous;
  for (const auto& file : files) {
    const auto content = ReadFile(file);
    if (!content) continue;
    std::string text = StripComments(*content);
    for (const auto& [name, value] : FindIntConstants(text)) {
      const auto [it, inserted] = constants.emplace(name, value);
      if (!inserted && it->second != value) ambiguous.insert(name);
    }
    stripped.emplace_back(
        std::filesystem::relative(std::filesystem::absolute(file), std::filesystem::absolute(labelBase))
            .generic_string(),
        std::move(text));
  }
  for (const auto& name : ambiguous) constants.erase(name);

  // Functions that pass their arguments on to a lookup are lookups too
  // (a status helper taking a number and a built-in text, say); follow
  // such chains until no new one turns up.
  std::vector<LookupForm> forms = BaseLookupForms();
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [label, text] : stripped) {
      for (auto& wrapper : FindWrapperForms(text, constants, forms)) {
        forms.push_back(std::move(wrapper));
        grew = true;
      }
    }
  }

  SourceScan scan;
  scan.filesScanned = stripped.size();
  for (std::size_t k = BaseLookupForms().size(); k < forms.size(); ++k) {
    scan.wrappers.push_back(forms[k].name);
  }
  for (const auto& [label, text] : stripped) {
    auto uses = FindMessageUses(text, label, constants, forms);
    std::move(uses.begin(), uses.end(), std::back_inserter(scan.uses));
  }
  return scan;
}

}  // namespace cfgout::catalogue
