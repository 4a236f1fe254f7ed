#include "cli/cfgctl.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "cli/json.h"
#include "cli/unified_diff.h"
#include "config/app_offload.h"
#include "config/config.h"
#include "config/config_lock.h"
#include "config/ldap_blocks.h"
#include "config/pics_rules.h"
#include "history/change_history.h"
#include "nls/message_format.h"
#include "runtime/ascii.h"
#include "validate/form_variables.h"
#include "validate/validators.h"

namespace cfgout::cli {

namespace {

// ---------------------------------------------------------------- help texts

struct HelpEntry {
  const char* command;
  const char* text;
};

constexpr const char* kOptionsHelp =
    "Options (anywhere on the line):\n"
    "  -f, --file FILE   the main configuration file (default: $RULE_FILE)\n"
    "  --json            machine-readable output\n"
    "  --dry-run         print a unified diff of what would be written; write nothing\n"
    "  -h, --help        this text, or the text of the command named before it\n"
    "  --                the words after it are never options\n"
    "Exit status: 0 done, 1 the named thing does not exist, 2 usage error or\n"
    "rejected value, 3 a file cannot be read or written, or holds a broken block.\n";

const HelpEntry kHelp[] = {
    {"",
     "Usage: cfgctl [options] COMMAND ...\n"
     "Reads and changes the proxy configuration (the main file and the files it\n"
     "includes) with the same lock, checks and atomic write-back as the forms.\n"
     "Commands:\n"
     "  get KEYWORD            every occurrence of a directive, with file and line\n"
     "  set KEYWORD VALUE...   replace every occurrence by one line (or append it)\n"
     "  remove KEYWORD         remove every occurrence\n"
     "  list                   every directive, with file and line\n"
     "  ldap list|show|put|delete   LDAP server blocks of the main file\n"
     "  pics list|show|put|delete   PICS filter rules of the main file\n"
     "  app list|show|put|delete|settings   application offload section\n"
     "Run 'cfgctl COMMAND --help' for one command.\n"},
    {"get",
     "Usage: cfgctl [options] get KEYWORD\n"
     "Prints every line of directive KEYWORD (any case) as FILE:LINE: TEXT, in\n"
     "configuration order. Exit 1 when there is none.\n"},
    {"set",
     "Usage: cfgctl [options] set KEYWORD VALUE...\n"
     "Makes directive KEYWORD one line 'KEYWORD       VALUE' (the values joined by\n"
     "single spaces): it takes the place of the existing lines in every file, or\n"
     "is appended to the main file. A line already equal is left as it is. The\n"
     "value is checked like the form field of the same name, where there is one.\n"
     "Directives that open blocks are changed with the block commands instead.\n"},
    {"remove",
     "Usage: cfgctl [options] remove KEYWORD\n"
     "Removes every line of directive KEYWORD from every file. Exit 1 when there\n"
     "is none.\n"},
    {"list",
     "Usage: cfgctl [options] list\n"
     "Prints every directive line of every file as FILE:LINE: TEXT.\n"},
    {"ldap",
     "Usage: cfgctl [options] ldap list | show NAME | put NAME [...] | delete NAME\n"
     "LDAP server blocks ('LDAPInfo NAME {' ... '}') of the main file.\n"
     "Run 'cfgctl ldap put --help' for the fields.\n"},
    {"ldap list", "Usage: cfgctl [options] ldap list\nPrints the name and line of every LDAP server block.\n"},
    {"ldap show",
     "Usage: cfgctl [options] ldap show NAME\n"
     "Prints the fields of block NAME (name compared ignoring case), one\n"
     "'Field value' per line. Exit 1 when there is no such block.\n"},
    {"ldap put",
     "Usage: cfgctl [options] ldap put NAME [--before OTHER | --after OTHER] [--field FIELD=VALUE]...\n"
     "Creates block NAME or changes the given fields of it; without --field the\n"
     "fields come as a JSON object on standard input. An empty value (or JSON\n"
     "null) removes a field. A new block goes after the last LDAP block, or\n"
     "before/after block OTHER; an existing one stays in place unless\n"
     "--before/--after moves it. Fields: Host Port Transport KeyFileName KeyLabel\n"
     "ClientAuthType ServerAuthType ServerDN ServerPasswordStashFile\n"
     "UserSearchBase UserNameFilter UserNameFieldSep UserCertFilter\n"
     "GroupSearchBase GroupNameFilter GroupMemberAttrs and, in seconds,\n"
     "IdleConnTimeout WaitToRetryConnTime SearchTimeout CacheTimeout.\n"},
    {"ldap delete",
     "Usage: cfgctl [options] ldap delete NAME\nRemoves block NAME. Exit 1 when there is no such block.\n"},
    {"pics",
     "Usage: cfgctl [options] pics list | show NAME | put NAME [...] | delete NAME\n"
     "PICS filter rules ('DefinePicsRule \"NAME\" {' ... '}') of the main file;\n"
     "names are compared exactly. Run 'cfgctl pics put --help' for the fields.\n"},
    {"pics list", "Usage: cfgctl [options] pics list\nPrints the name and line of every PICS filter rule.\n"},
    {"pics show",
     "Usage: cfgctl [options] pics show NAME\n"
     "Prints the rule's fields and sub-elements. Exit 1 when there is no such rule.\n"},
    {"pics put",
     "Usage: cfgctl [options] pics put NAME [--before OTHER | --after OTHER] [--field FIELD=VALUE]...\n"
     "Creates rule NAME or changes the given fields of it; without --field the\n"
     "fields come as a JSON object on standard input. Fields: description,\n"
     "active-days, start-time, end-time (one word each; an empty value removes\n"
     "it), filter (a 'Filter (...)' element; empty removes it), and the lists\n"
     "passurl, failurl, applies-to and serviceinfo ('SHORTNAME NAME BUREAU\n"
     "RATFILE AVAILABLE', OPT1/OPT2 for no bureau/rating file): repeat --field\n"
     "or give a JSON array; a given list replaces the rule's one.\n"},
    {"pics delete",
     "Usage: cfgctl [options] pics delete NAME\nRemoves rule NAME. Exit 1 when there is no such rule.\n"},
    {"app",
     "Usage: cfgctl [options] app list | show APP | put APP [...] | delete APP | settings [...]\n"
     "Applications of the ApplicationProxy module section of the main file. APP\n"
     "is an application's number (from 0) or its EarName.\n"},
    {"app list", "Usage: cfgctl [options] app list\nPrints the number, EarName and line of every application.\n"},
    {"app show", "Usage: cfgctl [options] app show APP\nPrints the fields of one application. Exit 1 when there is none.\n"},
    {"app put",
     "Usage: cfgctl [options] app put APP [--field FIELD=VALUE]...\n"
     "Changes the given fields of application APP, or adds it at the end of the\n"
     "section (made when missing) when APP is a new EarName or the next number.\n"
     "Without --field the fields come as a JSON object on standard input.\n"
     "Fields: EarName, DistributionType (PreLoaded or CDSManaged), Enable (yes or\n"
     "no), HTTPFailoverStatusCodes, and the lists Context-root (3 at most) and\n"
     "NonEdgableURI (4 at most).\n"},
    {"app delete", "Usage: cfgctl [options] app delete APP\nRemoves one application. Exit 1 when there is none.\n"},
    {"app settings",
     "Usage: cfgctl [options] app settings [--field FIELD=VALUE]...\n"
     "Without fields prints the four application server settings; with fields\n"
     "sets them (the section is made when missing). Fields: ZAP_CONF_FILE,\n"
     "AppRouterAdminPort, AppRouterLocalZAPPort, ApprouterRetryInterval.\n"},
};

const char* HelpFor(const std::string& command) {
  for (const HelpEntry& entry : kHelp) {
    if (command == entry.command) return entry.text;
  }
  return nullptr;
}

// ------------------------------------------------------------------ helpers

// A value as shown in a one-line message: quoted, control characters escaped.
std::string Shown(std::string_view value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "'";
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (u < 0x20 || u == 0x7F) { out += "\\x"; out += kHex[u >> 4]; out += kHex[u & 0xF]; }
    else out += c;
  }
  return out + "'";
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

struct Options {
  std::optional<std::string> file;
  bool json = false;
  bool dryRun = false;
  bool help = false;
  std::vector<std::string> words;
  std::vector<std::pair<std::string, std::string>> fields;
  std::optional<std::string> before;
  std::optional<std::string> after;
};

struct Outcome {
  int code = kExitOk;
  std::string message;  // without the program name and line end
};

Outcome Fail(int code, std::string message) { return Outcome{code, std::move(message)}; }

Outcome ParseOptions(const std::vector<std::string>& args, Options& o) {
  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      o.words.push_back(arg);
      continue;
    }
    auto value = [&](std::string_view name, std::string& into) -> bool {
      const std::string prefix = std::string(name) + "=";
      if (arg.rfind(prefix, 0) == 0) {
        into = arg.substr(prefix.size());
        return true;
      }
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    auto is = [&](std::string_view name) { return arg == name || arg.rfind(std::string(name) + "=", 0) == 0; };
    std::string v;
    if (arg == "--") {
      optionsDone = true;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--dry-run") {
      o.dryRun = true;
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "-f" || is("--file")) {
      if (!value(arg == "-f" ? "-f" : "--file", v)) return Fail(kExitUsage, "option " + arg + " needs a file name");
      o.file = v;
    } else if (is("--field")) {
      if (!value("--field", v)) return Fail(kExitUsage, "option --field needs FIELD=VALUE");
      const std::size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) return Fail(kExitUsage, "--field " + Shown(v) + " is not FIELD=VALUE");
      o.fields.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (is("--before") || is("--after")) {
      const bool before = is("--before");
      if (!value(before ? "--before" : "--after", v)) return Fail(kExitUsage, "option " + arg + " needs a name");
      (before ? o.before : o.after) = v;
    } else {
      return Fail(kExitUsage, "unknown option " + Shown(arg) + " (see cfgctl --help)");
    }
  }
  if (o.before && o.after) return Fail(kExitUsage, "give --before or --after, not both");
  return {};
}

// The bytes of every file of the configuration, in chain order.
std::vector<std::string> FileImages(const ConfigHandle& cfg) {
  std::vector<std::string> images;
  for (const ConfigFile& file : cfg) {
    std::string bytes;
    for (const LineNode& line : file.lines) bytes += line.text;
    images.push_back(std::move(bytes));
  }
  return images;
}

// Physical line numbers (from 1) of a file's nodes: a line longer than the
// store's line length is held in several nodes that share one number.
template <typename Visit>
void ForEachNumbered(const ConfigFile& file, Visit visit) {
  int number = 1;
  for (const LineNode& line : file.lines) {
    visit(line, number);
    if (!line.text.empty() && line.text.back() == '\n') ++number;
  }
}

std::unordered_map<const LineNode*, int> LineNumbers(const ConfigFile& file) {
  std::unordered_map<const LineNode*, int> numbers;
  ForEachNumbered(file, [&](const LineNode& line, int number) { numbers[&line] = number; });
  return numbers;
}

std::string WithoutLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return std::string(text);
}

void AppendJsonField(std::string& out, bool& first, std::string_view name) {
  out += first ? "{" : ", ";
  first = false;
  AppendJsonString(out, name);
  out += ": ";
}

// One record of a show command: "key value" lines, or one JSON object whose
// members come in the order they are put.
class RecordWriter {
 public:
  RecordWriter(std::string& out, bool json) : out_(out), json_(json) {}
  void Text(std::string_view key, std::string_view value) {
    if (Key(key)) {
      AppendJsonString(out_, value);
    } else {
      out_.append(value).push_back('\n');
    }
  }
  void Number(std::string_view key, long long value) {
    Key(key);
    out_ += std::to_string(value);
    if (!json_) out_.push_back('\n');
  }
  // Text lines repeat the key per value; JSON gets one array. Nothing for no values.
  void List(std::string_view key, const std::vector<std::string>& values) {
    if (values.empty()) return;
    if (!json_) {
      for (const std::string& v : values) Text(key, v);
      return;
    }
    Key(key);
    out_ += "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i > 0) out_ += ", ";
      AppendJsonString(out_, values[i]);
    }
    out_ += "]";
  }
  void End() {
    if (json_) out_ += first_ ? "{}\n" : "}\n";
  }

 private:
  bool Key(std::string_view key) {
    if (!json_) {
      out_.append(key).push_back(' ');
      return false;
    }
    AppendJsonField(out_, first_, key);
    return true;
  }
  std::string& out_;
  bool json_;
  bool first_ = true;
};

// One entry of a block list: "name line" or {"name": ..., "line": N}.
void AppendNamedEntry(std::string& out, bool json, bool& first, const std::string& name, int line) {
  if (json) {
    out += first ? "[" : ", ";
    out += "{\"name\": ";
    AppendJsonString(out, name);
    out += ", \"line\": " + std::to_string(line) + "}";
  } else {
    out += name + " " + std::to_string(line) + "\n";
  }
  first = false;
}

// ------------------------------------------------------------ value checks

// Why `value` cannot be written into a line of the configuration, or empty.
// Every value must stay on its line and must neither open nor close a block.
std::string LineProblem(std::string_view value) {
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n' || c == '\r') return "must not hold a line break";
    if ((u < 0x20 && c != '\t') || u == 0x7F) return "must not hold control characters";
    if (c == '{' || c == '}') return "must not hold { or }";
  }
  if (!value.empty() && value.front() == '#') return "must not begin with #";
  return "";
}

enum class Check {
  kLine,          // one line
  kQuoted,        // one line, no double quote (written between quotes)
  kWord,          // one word: no blanks, '@' or double quotes
  kNumber,        // decimal digits
  kRuleText,      // inside a PICS rule: no double quotes or parentheses
  kRuleWord,      // a word inside a PICS rule
  kService,       // five rule words separated by single spaces
  kFilter,        // a "Filter" element with balanced parentheses
  kPattern,       // an applies-to pattern: no parentheses
  kDistribution,  // PreLoaded or CDSManaged
  kYesNo,         // yes or no
  kCodes,         // status codes: digits and commas
};

std::string CheckProblem(Check check, std::string_view value) {
  if (std::string problem = LineProblem(value); !problem.empty()) return problem;
  auto has = [&](std::string_view set) { return value.find_first_of(set) != std::string_view::npos; };
  switch (check) {
    case Check::kLine:
      return "";
    case Check::kQuoted:
      return has("\"") ? "must not hold a double quote" : "";
    case Check::kWord:
      return has(" \t@\"") ? "must be one word (no blanks, @ or double quotes)" : "";
    case Check::kNumber:
      return (value.size() > 9 || value.find_first_not_of("0123456789") != std::string_view::npos)
                 ? "must be a whole number"
                 : "";
    case Check::kRuleText:
      return has("\"()") ? "must not hold double quotes or parentheses" : "";
    case Check::kRuleWord:
      return has(" \t@\"()") ? "must be one word (no blanks, @, double quotes or parentheses)" : "";
    case Check::kService: {
      int words = 1;
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == ' ') {
          if (i == 0 || i + 1 == value.size() || value[i + 1] == ' ') return "must be five words separated by single spaces";
          ++words;
        }
      }
      if (words != 5 || has("\t@\"()")) return "must be five words separated by single spaces";
      return "";
    }
    case Check::kFilter: {
      if (!StartsWithIgnoringCase(value, "Filter") || (value.size() > 6 && value[6] != ' ' && value[6] != '(')) {
        return "must be a Filter element ('Filter (...)')";
      }
      int depth = 0;
      for (const char c : value) {
        depth += (c == '(') - (c == ')');
        if (depth < 0) break;
      }
      return depth != 0 ? "must have balanced parentheses" : "";
    }
    case Check::kPattern:
      return has("()") ? "must not hold parentheses" : "";
    case Check::kDistribution:
      return (EqualsIgnoringCase(value, "PreLoaded") || EqualsIgnoringCase(value, "CDSManaged"))
                 ? ""
                 : "must be PreLoaded or CDSManaged";
    case Check::kYesNo:
      return (EqualsIgnoringCase(value, "yes") || EqualsIgnoringCase(value, "no")) ? "" : "must be yes or no";
    case Check::kCodes:
      return value.find_first_not_of("0123456789,") != std::string_view::npos ? "must be status codes separated by commas"
                                                                             : "";
  }
  return "";
}

// The message of the form field `row` for a rejected value, or nullopt when
// the value passes (or there is no such field).
std::optional<std::string> RowProblem(const char* row, std::string_view value) {
  if (row == nullptr || GetVarIndex(row) < 0) return std::nullopt;
  return ValidateField(row, value);
}

// ------------------------------------------------------------ field input

struct FieldInput {
  std::string name;
  std::vector<std::string> values;
  bool clear = false;  // JSON null, an empty array or an empty value
};

Outcome CollectFields(const Options& o, std::FILE* in, std::vector<FieldInput>& fields) {
  auto slot = [&](const std::string& name) -> FieldInput& {
    for (FieldInput& f : fields) {
      if (EqualsIgnoringCase(f.name, name)) return f;
    }
    fields.push_back(FieldInput{name, {}, false});
    return fields.back();
  };
  if (!o.fields.empty()) {
    for (const auto& [name, value] : o.fields) {
      FieldInput& f = slot(name);
      if (value.empty()) f.clear = true; else f.values.push_back(value);
    }
    return {};
  }
  if (in == nullptr || ::isatty(::fileno(in))) {
    return Fail(kExitUsage, "no fields given: use --field FIELD=VALUE or a JSON object on standard input");
  }
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
  std::string error;
  std::optional<JsonValue> doc = ParseJson(text, &error);
  if (!doc) return Fail(kExitUsage, "standard input is not JSON: " + error);
  if (doc->kind != JsonValue::Kind::kObject) return Fail(kExitUsage, "standard input must hold a JSON object");
  for (const auto& [name, value] : doc->members) {
    FieldInput& f = slot(name);
    auto scalar = [&](const JsonValue& v) -> bool {
      switch (v.kind) {
        case JsonValue::Kind::kString: if (v.text.empty()) f.clear = true; else f.values.push_back(v.text); return true;
        case JsonValue::Kind::kNumber: f.values.push_back(v.text); return true;
        case JsonValue::Kind::kBool: f.values.push_back(v.boolean ? "yes" : "no"); return true;
        default: return false;
      }
    };
    if (value.kind == JsonValue::Kind::kNull) {
      f.clear = true;
    } else if (value.kind == JsonValue::Kind::kArray) {
      if (value.items.empty()) f.clear = true;
      for (const JsonValue& item : value.items) {
        if (!scalar(item)) return Fail(kExitUsage, "field " + Shown(name) + ": array items must be strings or numbers");
      }
    } else if (!scalar(value)) {
      return Fail(kExitUsage, "field " + Shown(name) + " must be a string, number, true/false, null or an array");
    }
  }
  if (fields.empty()) return Fail(kExitUsage, "the JSON object names no field");
  return {};
}

// One field a block command accepts.
struct FieldSpec {
  const char* name;     // as shown; matched ignoring case
  std::size_t maxItems; // 1 for a single value
  Check check;
  const char* row;      // the form field whose validator applies, or null
};

// Checks one field's given values: count, structure, then the form field's
// own validator.
Outcome CheckField(const std::string& command, const FieldSpec& def, const FieldInput& f) {
  if (f.clear && !f.values.empty()) {
    return Fail(kExitUsage, command + ": field " + def.name + " is given both empty and with a value");
  }
  if (f.values.size() > def.maxItems) {
    return Fail(kExitUsage, command + ": field " + def.name +
                                (def.maxItems == 1 ? " takes one value" : " takes at most " + std::to_string(def.maxItems) + " values"));
  }
  for (const std::string& value : f.values) {
    if (std::string problem = CheckProblem(def.check, value); !problem.empty()) {
      return Fail(kExitUsage, command + ": " + def.name + ": value " + Shown(value) + " " + problem);
    }
    if (std::optional<std::string> message = RowProblem(def.row, value)) {
      return Fail(kExitUsage, command + ": " + def.name + ": value " + Shown(value) + " rejected: " + OneLine(*message));
    }
  }
  return {};
}

template <std::size_t N>
const FieldSpec* FindSpec(const FieldSpec (&specs)[N], const std::string& name) {
  for (const FieldSpec& def : specs) {
    if (EqualsIgnoringCase(def.name, name)) return &def;
  }
  return nullptr;
}

template <std::size_t N>
Outcome UnknownField(const std::string& command, const std::string& name, const FieldSpec (&specs)[N]) {
  std::string known;
  for (const FieldSpec& def : specs) known += std::string(known.empty() ? "" : " ") + def.name;
  return Fail(kExitUsage, command + ": unknown field " + Shown(name) + " (fields: " + known + ")");
}

// A name that stands as one word on a header line.
Outcome CheckName(const std::string& command, std::string_view name, Check check, const char* row) {
  if (name.empty()) return Fail(kExitUsage, command + ": the name must not be empty");
  std::string problem = CheckProblem(check, name);
  if (problem.empty() && name.find_first_of(" \t#") != std::string_view::npos) problem = "must be one word";
  if (!problem.empty()) return Fail(kExitUsage, command + ": name " + Shown(name) + " " + problem);
  if (std::optional<std::string> message = RowProblem(row, name)) {
    return Fail(kExitUsage, command + ": name " + Shown(name) + " rejected: " + OneLine(*message));
  }
  return {};
}

// ------------------------------------------------------------ the session

class Session {
 public:
  Session(Options& o, std::FILE* in, std::string& out, std::string& warning, std::string command)
      : o_(o), in_(in), out_(out), warning_(warning), command_(std::move(command)) {}

  // Reads the configuration; `change` commands hold the writer lock first.
  Outcome Open(bool change) {
    std::string path;
    if (o_.file) {
      path = *o_.file;
    } else if (const char* env = std::getenv("RULE_FILE"); env != nullptr && *env != '\0') {
      path = env;
    } else {
      return Fail(kExitUsage, "no configuration file: give -f FILE or set RULE_FILE");
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Fail(kExitFile, "cannot read " + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return Fail(kExitFile, "cannot read " + path + ": not a regular file");
    if (::access(path.c_str(), R_OK) != 0) return Fail(kExitFile, "cannot read " + path + ": " + std::strerror(errno));
    if (change && !o_.dryRun) {
      lock_ = ConfigLock::AcquireExclusive(path);
      if (lock_.busy()) {
        return Fail(kExitFile, "the configuration is busy with another change (" + ConfigLock::LockPathFor(path) +
                                   " is held); nothing was changed");
      }
    }
    cfg_ = HTTPDConfigOpen(path);
    if (!cfg_) return Fail(kExitFile, "cannot read " + path);
    // A file the configuration names but the store refused to read: the
    // configuration is not known in full, so nothing is shown or changed.
    if (!cfg_->refused().empty()) {
      const ConfigRefusedFile& refused = cfg_->refused().front();
      return Fail(kExitFile, "cannot read " + refused.path + ": " +
                                 (refused.reason == ConfigRefusal::kTooLarge ? "the configuration is too large"
                                                                             : "not a regular file"));
    }
    path_ = path;
    before_ = FileImages(*cfg_);
    return {};
  }

  ConfigHandle& cfg() { return *cfg_; }
  const std::string& mainPath() const { return path_; }
  std::string& out() { return out_; }
  const Options& options() const { return o_; }
  std::FILE* in() const { return in_; }

  // Writes what changed (or, with --dry-run, prints the diff) and records
  // the change in the change history; `what` names the directive or block
  // kind that the command changed.
  Outcome Commit(std::string what) {
    const std::vector<std::string> after = FileImages(*cfg_);
    std::vector<const ConfigFile*> changed;
    std::size_t i = 0;
    for (const ConfigFile& file : *cfg_) {
      if (i >= before_.size() || after[i] != before_[i]) changed.push_back(&file);
      ++i;
    }
    if (o_.dryRun) {
      i = 0;
      for (const ConfigFile& file : *cfg_) {
        AppendUnifiedDiff(out_, i < before_.size() ? before_[i] : "", after[i], file.path);
        ++i;
      }
      return {};
    }
    if (changed.empty()) return {};
    // Refuse before anything is written when a changed file or its folder
    // cannot be written, so that a refusal leaves every file as it was.
    for (const ConfigFile* file : changed) {
      const std::string& p = file->path;
      const std::size_t slash = p.rfind('/');
      const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
      if (::access(dir.c_str(), W_OK) != 0) return Fail(kExitFile, "cannot write " + p + ": " + std::strerror(errno));
      if (::access(p.c_str(), F_OK) == 0 && ::access(p.c_str(), W_OK) != 0) {
        return Fail(kExitFile, "cannot write " + p + ": " + std::strerror(errno));
      }
    }
    const HistorySnapshot snapshot = SnapshotBeforeWrite(*cfg_);
    ConfigWriteReport report;
    if (HTTPDConfigWrite(*cfg_, &report) != 0) {
      switch (report.problem) {
        case ConfigWriteProblem::kLineTooLong:
          return Fail(kExitUsage, "a value is too long for one configuration line (at most 1023 characters with "
                                  "its directive); nothing was changed");
        case ConfigWriteProblem::kFileChanged:
          return Fail(kExitFile, report.path + " was replaced or changed since it was read; nothing was changed");
        default:
          return Fail(kExitFile, "cannot write the configuration of " + path_);
      }
    }
    ChangeNote note;
    note.source = "cfgctl " + command_;
    note.fields.push_back(std::move(what));
    const passwd* user = ::getpwuid(::getuid());
    note.author = (user != nullptr && user->pw_name != nullptr && *user->pw_name != '\0') ? user->pw_name : "unknown";
    // The change stands even when it cannot be recorded; the caller is told.
    if (const std::string why = RecordChange(*cfg_, note, snapshot); !why.empty()) {
      warning_ = "warning: the change was written but not recorded in the change history: " + why;
    }
    return {};
  }

 private:
  Options& o_;
  std::FILE* in_;
  std::string& out_;
  std::string& warning_;
  std::string command_;
  ConfigLock lock_;
  std::unique_ptr<ConfigHandle> cfg_;
  std::string path_;
  std::vector<std::string> before_;
};

// ------------------------------------------------------- directive commands

void AppendLocated(std::string& out, bool json, bool& first, const std::string& file, int line, std::string_view text) {
  if (json) {
    out += first ? "[" : ", ";
    out += "{\"file\": ";
    AppendJsonString(out, file);
    out += ", \"line\": " + std::to_string(line) + ", \"text\": ";
    AppendJsonString(out, WithoutLineEnd(text));
    out += "}";
  } else {
    out += file + ":" + std::to_string(line) + ": " + WithoutLineEnd(text) + "\n";
  }
  first = false;
}

void CloseList(std::string& out, bool json, bool first) {
  if (json) out += first ? "[]\n" : "]\n";
}

Outcome DirectiveId(const std::string& command, const std::string& keyword, int& id) {
  id = HTTPDRuleToID(keyword);
  if (id < 0) return Fail(kExitUsage, command + ": unknown directive keyword " + Shown(keyword));
  return {};
}

Outcome CmdGet(Session& s) {
  int id = -1;
  if (Outcome r = DirectiveId("get", s.options().words[1], id); r.code) return r;
  bool first = true;
  for (const ConfigFile& file : s.cfg()) {
    ForEachNumbered(file, [&](const LineNode& line, int number) {
      if (HTTPDRuleMatch(line.text, id)) AppendLocated(s.out(), s.options().json, first, file.path, number, line.text);
    });
  }
  if (first) {
    s.out().clear();
    return Fail(kExitMissing, "get: no " + s.options().words[1] + " directive in the configuration");
  }
  CloseList(s.out(), s.options().json, first);
  return {};
}

Outcome CmdList(Session& s) {
  bool first = true;
  for (const ConfigFile& file : s.cfg()) {
    ForEachNumbered(file, [&](const LineNode& line, int number) {
      std::string_view text = line.text;
      const std::size_t start = text.find_first_not_of(" \t\r\n");
      if (start == std::string_view::npos) return;
      const std::size_t end = text.find_first_of(" \t\r\n", start);
      std::string word(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
      const int id = HTTPDRuleToID(word);
      if (id >= 0 && HTTPDRuleMatch(line.text, id)) {
        AppendLocated(s.out(), s.options().json, first, file.path, number, line.text);
      } else if (EqualsIgnoringCase(word, "gc") || EqualsIgnoringCase(word, "proxy")) {
        const int two = HTTPDRuleToID(LowerCaseInPlace(word) + " advisor");
        if (HTTPDRuleMatch(line.text, two)) AppendLocated(s.out(), s.options().json, first, file.path, number, line.text);
      }
    });
  }
  CloseList(s.out(), s.options().json, first);
  return {};
}

// Directives whose lines open blocks are changed with the block commands:
// replacing or removing their header lines alone would leave the blocks'
// bodies behind.
Outcome RefuseBlockDirective(const std::string& command, Session& s, int id, const std::string& keyword) {
  const std::string lower = [&] { std::string k = keyword; return LowerCaseInPlace(k); }();
  bool opens = lower == "<application>" || lower == "<modulebegin>" || lower == "<moduleend>";
  LineList instances = HTTPDGetRules(s.cfg(), id);
  for (const LineNode& line : instances) {
    if (line.text.find_first_of("{}") != std::string::npos) opens = true;
  }
  if (opens) return Fail(kExitUsage, command + ": " + keyword + " lines open blocks; use the block commands or edit the file");
  return {};
}

Outcome CmdSet(Session& s) {
  const std::vector<std::string>& w = s.options().words;
  const std::string& keyword = w[1];
  int id = -1;
  if (Outcome r = DirectiveId("set", keyword, id); r.code) return r;
  std::string value;
  for (std::size_t i = 2; i < w.size(); ++i) value += (i > 2 ? " " : "") + w[i];
  value = std::string(TrimAsciiSpace(value));
  if (value.empty()) return Fail(kExitUsage, "set: no value for " + keyword + " (use remove to drop it)");
  if (std::string problem = LineProblem(value); !problem.empty()) {
    return Fail(kExitUsage, "set: " + keyword + ": value " + Shown(value) + " " + problem);
  }
  if (std::optional<std::string> message = RowProblem(UpperCaseCopy(keyword).c_str(), value)) {
    return Fail(kExitUsage, "set: " + keyword + ": value " + Shown(value) + " rejected: " + OneLine(*message));
  }
  if (Outcome r = RefuseBlockDirective("set", s, id, keyword); r.code) return r;
  const std::string line = FormatText("%s       %s\n", {keyword, value});
  HTTPDReplaceRules(s.cfg(), id, LineList::FromTexts({line}), 1);
  return s.Commit(keyword);
}

Outcome CmdRemove(Session& s) {
  const std::string& keyword = s.options().words[1];
  int id = -1;
  if (Outcome r = DirectiveId("remove", keyword, id); r.code) return r;
  LineList instances = HTTPDGetRules(s.cfg(), id);
  if (instances.empty()) return Fail(kExitMissing, "remove: no " + keyword + " directive in the configuration");
  if (Outcome r = RefuseBlockDirective("remove", s, id, keyword); r.code) return r;
  HTTPDRemoveRules(s.cfg(), id, instances);
  return s.Commit(keyword);
}

// ----------------------------------------------------------- LDAP commands

Outcome BrokenBlock(const Session& s, const std::string& what) {
  return Fail(kExitFile, s.mainPath() + ": " + what + " has no closing line; fix the file first");
}

// The number only, of a timeout read back with its unit ("300 seconds\n").
std::string TimeoutNumber(const std::string& value) {
  const std::size_t end = value.find_first_of(" \t\r\n");
  return value.substr(0, end);
}

// A read value as shown and merged: without a carriage return left by a
// CRLF file, and without the one blank that stands for an empty quoted value.
std::optional<std::string> Clean(const std::optional<std::string>& value, bool timeout) {
  if (!value) return std::nullopt;
  std::string v = timeout ? TimeoutNumber(*value) : *value;
  while (!v.empty() && v.back() == '\r') v.pop_back();
  if (v == " " || v.empty()) return std::nullopt;
  return v;
}

bool IsTimeout(const LDAPField& field) { return field.kind == LDAPValueKind::kWholeRest; }

LDAPRule CleanLDAP(const LDAPRule& rule) {
  LDAPRule clean = rule;
  for (const LDAPField& field : kLDAPFields) clean.*field.member = Clean(rule.*field.member, IsTimeout(field));
  return clean;
}

// In the order of kLDAPFields.
const FieldSpec kLDAPSpecs[kLDAPFieldCount] = {
    {"Host", 1, Check::kWord, nullptr},
    {"Port", 1, Check::kNumber, nullptr},
    {"Transport", 1, Check::kWord, "TRANSPORT"},
    {"KeyFileName", 1, Check::kWord, nullptr},
    {"KeyLabel", 1, Check::kQuoted, nullptr},
    {"ClientAuthType", 1, Check::kWord, "CLIENTAUTHTYPE"},
    {"ServerAuthType", 1, Check::kWord, nullptr},
    {"ServerDN", 1, Check::kQuoted, "SERVERDN"},
    {"ServerPasswordStashFile", 1, Check::kWord, nullptr},
    {"UserSearchBase", 1, Check::kQuoted, "USERSEARCHBASE"},
    {"UserNameFilter", 1, Check::kQuoted, "USERNAMEFILTER"},
    {"UserNameFieldSep", 1, Check::kQuoted, "USERNAMEFIELDSEP"},
    {"UserCertFilter", 1, Check::kQuoted, "USERCERTFILTER"},
    {"GroupSearchBase", 1, Check::kQuoted, "GROUPSEARCHBASE"},
    {"GroupNameFilter", 1, Check::kQuoted, "GROUPNAMEFILTER"},
    {"GroupMemberAttrs", 1, Check::kQuoted, "GROUPMEMBERATTRS"},
    {"IdleConnTimeout", 1, Check::kNumber, "IDLECONNTIMEOUT"},
    {"WaitToRetryConnTime", 1, Check::kNumber, "RETRYCONNTIME"},
    {"SearchTimeout", 1, Check::kNumber, "SEARCHTIMEOUT"},
    {"CacheTimeout", 1, Check::kNumber, "CACHETIMEOUT"},
};

// The LDAPInfo block `name` must be the line that the block operations act
// on (the first line whose second word is the name).
Outcome CheckLDAPTarget(Session& s, const std::string& command, const std::string& name) {
  const LineNode* target = HTTPDFindLDAPTarget(s.cfg(), name);
  if (target != nullptr && !TokenMatch(target->text.c_str(), "LDAPInfo")) {
    const int line = LineNumbers(*s.cfg().first())[target];
    return Fail(kExitUsage, command + ": the name " + Shown(name) + " is also used by " + s.mainPath() + ":" +
                                std::to_string(line) + " (" + WithoutLineEnd(target->text) +
                                "), which stands first; rename one of them");
  }
  return {};
}

Outcome FindLDAP(Session& s, const std::string& command, const std::string& name, std::optional<LDAPRule>& rule) {
  BlockStatus status{};
  rule = HTTPDGetLDAPRule(s.cfg(), name, &status);
  if (status == BlockStatus::kBroken) return BrokenBlock(s, "LDAPInfo block " + Shown(name));
  if (!rule) return Fail(kExitMissing, command + ": no LDAP server block named " + Shown(name));
  return {};
}

Outcome CmdLDAP(Session& s) {
  const Options& o = s.options();
  const std::string& sub = o.words[1];
  std::string& out = s.out();
  if (sub == "list") {
    const std::unordered_map<const LineNode*, int> numbers = LineNumbers(*s.cfg().first());
    bool first = true;
    for (const LineNode* header : HTTPDListLDAPRules(s.cfg())) {
      const std::string name(blocklines::SecondToken(header->text));
      AppendNamedEntry(out, o.json, first, name, numbers.at(header));
    }
    CloseList(out, o.json, first);
    return {};
  }
  const std::string command = "ldap " + sub;
  const std::string& name = o.words[2];
  if (sub == "show") {
    std::optional<LDAPRule> rule;
    if (Outcome r = FindLDAP(s, command, name, rule); r.code) return r;
    const LDAPRule clean = CleanLDAP(*rule);
    RecordWriter record(out, o.json);
    record.Text("name", *clean.name);
    for (const LDAPField& field : kLDAPFields) {
      if (const std::optional<std::string>& value = clean.*field.member) record.Text(field.keyword, *value);
    }
    record.End();
    return {};
  }
  if (sub == "delete") {
    std::optional<LDAPRule> rule;
    if (Outcome r = FindLDAP(s, command, name, rule); r.code) return r;
    if (Outcome r = CheckLDAPTarget(s, command, name); r.code) return r;
    HTTPDDeleteLDAPRule(s.cfg(), name);
    return s.Commit("LDAPInfo");
  }
  // put
  if (Outcome r = CheckName(command, name, Check::kWord, nullptr); r.code) return r;
  std::vector<FieldInput> inputs;
  if (Outcome r = CollectFields(o, s.in(), inputs); r.code) return r;
  BlockStatus status{};
  std::optional<LDAPRule> existing = HTTPDGetLDAPRule(s.cfg(), name, &status);
  if (status == BlockStatus::kBroken) return BrokenBlock(s, "LDAPInfo block " + Shown(name));
  LDAPRule rule = existing ? CleanLDAP(*existing) : LDAPRule{};
  if (!existing) rule.name = name;
  const auto& specs = kLDAPSpecs;
  for (const FieldInput& f : inputs) {
    const FieldSpec* def = FindSpec(specs, f.name);
    if (def == nullptr) return UnknownField(command, f.name, specs);
    if (Outcome r = CheckField(command, *def, f); r.code) return r;
    const LDAPField& field = kLDAPFields[static_cast<std::size_t>(def - specs)];
    rule.*field.member = f.values.empty() ? std::nullopt : std::optional<std::string>(f.values[0]);
  }
  const std::optional<std::string>& anchor = o.before ? o.before : o.after;
  if (anchor) {
    std::optional<LDAPRule> other;
    if (Outcome r = FindLDAP(s, command, *anchor, other); r.code) return r;
    if (Outcome r = CheckLDAPTarget(s, command, *anchor); r.code) return r;
    if (EqualsIgnoringCase(*anchor, name)) return Fail(kExitUsage, command + ": a block cannot go before or after itself");
  }
  if (existing) {
    if (Outcome r = CheckLDAPTarget(s, command, name); r.code) return r;
    // A block that moves keeps its lines (comments included) and is then
    // rewritten in its new place.
    if (anchor) {
      HTTPDMoveLDAPRule(s.cfg(), name, *anchor, o.before ? 1 : 2);
      if (Outcome r = CheckLDAPTarget(s, command, name); r.code) return r;  // another line may now stand first
    }
    if (HTTPDPutLDAPRule(s.cfg(), rule, name, 3) != 1) return BrokenBlock(s, "LDAPInfo block " + Shown(name));
    return s.Commit("LDAPInfo");
  }
  // An anchor name that no line carries puts a new block after the last one.
  if (HTTPDPutLDAPRule(s.cfg(), rule, anchor ? *anchor : std::string(), o.before ? 1 : 2) != 1) {
    return BrokenBlock(s, "an LDAPInfo block");
  }
  return s.Commit("LDAPInfo");
}

// ----------------------------------------------------------- PICS commands

const FieldSpec kPicsSpecs[] = {
    {"description", 1, Check::kRuleText, "FILTERDESC"},
    {"active-days", 1, Check::kRuleWord, nullptr},
    {"start-time", 1, Check::kRuleWord, "STARTTIME"},
    {"end-time", 1, Check::kRuleWord, "ENDTIME"},
    {"filter", 1, Check::kFilter, "FILTERTEXT"},
    {"passurl", kPicsDefaultListCapacity, Check::kRuleWord, "PASSURL"},
    {"failurl", kPicsDefaultListCapacity, Check::kRuleWord, "FAILURL"},
    {"applies-to", kPicsDefaultListCapacity, Check::kPattern, "APPLIESTO"},
    {"serviceinfo", kPicsDefaultListCapacity, Check::kService, "SERVICEINFO"},
};
constexpr const char* kPicsLists[] = {"passurl", "failurl", "applies-to", "serviceinfo"};

Outcome FindPics(Session& s, const std::string& command, const std::string& name, std::optional<PicsRule>& rule) {
  BlockStatus status{};
  rule = HTTPDGetPicsFilterRule(s.cfg(), name, &status);
  if (status == BlockStatus::kBroken) return BrokenBlock(s, "PICS rule " + Shown(name));
  if (!rule) return Fail(kExitMissing, command + ": no PICS filter rule named " + Shown(name));
  return {};
}

PicsRule CleanPics(const PicsRule& rule) {
  return PicsRule{rule.name, Clean(rule.description, false), Clean(rule.activeDays, false),
                  Clean(rule.startTime, false), Clean(rule.endTime, false)};
}

void ShowPics(Session& s, const std::string& name, const PicsRule& rule) {
  RecordWriter record(s.out(), s.options().json);
  for (const auto& [key, value] : {std::pair{"name", &rule.name}, {"description", &rule.description},
                                   {"active-days", &rule.activeDays}, {"start-time", &rule.startTime},
                                   {"end-time", &rule.endTime}}) {
    if (*value) record.Text(key, **value);
  }
  for (const char* list : kPicsLists) record.List(list, HTTPDGetPicsFilterSubdirective(s.cfg(), list, name));
  const std::vector<std::string> filter = HTTPDGetPicsFilterSubdirective(s.cfg(), "filter", name);
  if (!filter.empty()) record.Text("filter", filter[0]);
  record.End();
}

Outcome CmdPics(Session& s) {
  const Options& o = s.options();
  const std::string& sub = o.words[1];
  std::string& out = s.out();
  if (sub == "list") {
    const std::unordered_map<const LineNode*, int> numbers = LineNumbers(*s.cfg().first());
    bool first = true;
    // The rule names come in main-file order: pair them with the header lines.
    const std::vector<std::string> names = HTTPDListPicsFilterRules(s.cfg());
    std::size_t k = 0;
    for (const LineNode& line : s.cfg().first()->lines) {
      if (k >= names.size()) break;
      if (!TokenMatch(line.text.c_str(), "DefinePicsRule")) continue;
      AppendNamedEntry(out, o.json, first, names[k], numbers.at(&line));
      ++k;
    }
    CloseList(out, o.json, first);
    return {};
  }
  const std::string command = "pics " + sub;
  const std::string& name = o.words[2];
  if (sub == "show") {
    std::optional<PicsRule> rule;
    if (Outcome r = FindPics(s, command, name, rule); r.code) return r;
    ShowPics(s, name, CleanPics(*rule));
    return {};
  }
  if (sub == "delete") {
    std::optional<PicsRule> rule;
    if (Outcome r = FindPics(s, command, name, rule); r.code) return r;
    HTTPDDeletePicsFilterRule(s.cfg(), name);
    return s.Commit("DefinePicsRule");
  }
  // put
  if (name.empty() || name.find_first_of("\"{}\t\r\n()") != std::string::npos ||
      !LineProblem(name).empty() || name.front() == ' ' || name.back() == ' ') {
    return Fail(kExitUsage, command + ": name " + Shown(name) + " must not be empty or hold quotes, braces, parentheses or line breaks");
  }
  if (std::optional<std::string> message = RowProblem("FILTERNAME", name)) {
    return Fail(kExitUsage, command + ": name " + Shown(name) + " rejected: " + OneLine(*message));
  }
  std::vector<FieldInput> inputs;
  if (Outcome r = CollectFields(o, s.in(), inputs); r.code) return r;
  BlockStatus status{};
  std::optional<PicsRule> existing = HTTPDGetPicsFilterRule(s.cfg(), name, &status);
  if (status == BlockStatus::kBroken) return BrokenBlock(s, "PICS rule " + Shown(name));
  PicsRule rule = existing ? CleanPics(*existing) : PicsRule{name, {}, {}, {}, {}};
  std::vector<std::pair<std::string, std::vector<std::string>>> lists;
  std::optional<std::optional<std::string>> filter;  // set: change the filter (nullopt inside: remove it)
  for (const FieldInput& f : inputs) {
    const FieldSpec* def = FindSpec(kPicsSpecs, f.name);
    if (def == nullptr) return UnknownField(command, f.name, kPicsSpecs);
    if (Outcome r = CheckField(command, *def, f); r.code) return r;
    const std::optional<std::string> value = f.values.empty() ? std::nullopt : std::optional<std::string>(f.values[0]);
    const std::string key = def->name;
    if (key == "description") rule.description = value;
    else if (key == "active-days") rule.activeDays = value;
    else if (key == "start-time") rule.startTime = value;
    else if (key == "end-time") rule.endTime = value;
    else if (key == "filter") filter = value;
    else if (f.values.empty()) return Fail(kExitUsage, command + ": the list " + key + " cannot be emptied; give its new values");
    else lists.emplace_back(key, f.values);
  }
  const std::optional<std::string>& anchor = o.before ? o.before : o.after;
  if (anchor) {
    std::optional<PicsRule> other;
    if (Outcome r = FindPics(s, command, *anchor, other); r.code) return r;
    if (*anchor == name) return Fail(kExitUsage, command + ": a rule cannot go before or after itself");
  }
  if (existing) {
    if (anchor) HTTPDMovePicsFilterRule(s.cfg(), name, *anchor, o.before ? 1 : 2);
    if (HTTPDReplacePicsFilterRule(s.cfg(), rule, name) != 1) {
      return Fail(kExitFile, s.mainPath() + ": PICS rule " + Shown(name) + " has no body to rewrite; fix the file first");
    }
  } else {
    // A new rule goes after the last one (or where --before/--after says).
    const std::vector<std::string> names = HTTPDListPicsFilterRules(s.cfg());
    const std::string after = anchor ? *anchor : (names.empty() ? std::string() : names.back());
    if (HTTPDPutPicsFilterRule(s.cfg(), rule, after, o.before ? 1 : 2) != 1) {
      return BrokenBlock(s, "PICS rule " + Shown(after));
    }
  }
  for (const auto& [key, values] : lists) HTTPDPutPicsFilterSubdirective(s.cfg(), key, values, name);
  if (filter) {
    if (*filter) HTTPDPutFilterSubdirective(s.cfg(), name, **filter);
    else HTTPDDeleteFilterSubdirective(s.cfg(), name);
  }
  return s.Commit("DefinePicsRule");
}

// ------------------------------------------------------------ app commands

const FieldSpec kAppSpecs[] = {
    {"EarName", 1, Check::kWord, "APPEAR"},
    {"DistributionType", 1, Check::kDistribution, "APPDIST"},
    {"Enable", 1, Check::kYesNo, nullptr},
    {"Context-root", 3, Check::kWord, nullptr},  // each checked as CONROOT1..3
    {"NonEdgableURI", 4, Check::kWord, nullptr},
    {"HTTPFailoverStatusCodes", 1, Check::kCodes, nullptr},
};

const FieldSpec kSettingSpecs[] = {
    {"ZAP_CONF_FILE", 1, Check::kWord, nullptr},
    {"AppRouterAdminPort", 1, Check::kNumber, "ADMINPORT"},
    {"AppRouterLocalZAPPort", 1, Check::kNumber, "ZAPPORT"},
    {"ApprouterRetryInterval", 1, Check::kNumber, "RETRYINTV"},
};

Outcome AppStructure(Session& s, int& count) {
  count = HTTPDGetNumAppOffloadEntries(s.cfg());
  if (count < 0) {
    return Fail(kExitFile, s.mainPath() +
                               ": the ApplicationProxy section is broken (a second section, a missing <ModuleEnd> or an "
                               "application without its closing brace); fix the file first");
  }
  return {};
}

// The index of application `ref` (a number, or an EarName); -1 when none.
int FindApp(Session& s, int count, const std::string& ref, bool& numeric) {
  numeric = !ref.empty() && ref.size() < 10 && ref.find_first_not_of("0123456789") == std::string::npos;
  if (numeric) {
    const int index = std::stoi(ref);
    return index < count ? index : -1;
  }
  for (int i = 0; i < count; ++i) {
    std::optional<AppOffloadRuleset> app = HTTPDGetAppOffloadRuleset(s.cfg(), i, nullptr);
    if (app && app->earName == ref) return i;
  }
  return -1;
}

void ShowApp(std::string& out, bool json, int index, const AppOffloadRuleset& app, bool brief, int line) {
  if (brief) {
    if (json) {
      bool first = true;
      AppendJsonField(out, first, "index");
      out += std::to_string(index);
      AppendJsonField(out, first, "EarName");
      AppendJsonString(out, app.earName.value_or(""));
      AppendJsonField(out, first, "line");
      out += std::to_string(line) + "}";
    } else {
      out += std::to_string(index) + " " + app.earName.value_or("-") + " " + std::to_string(line) + "\n";
    }
    return;
  }
  auto present = [](const auto& values) {
    std::vector<std::string> set;
    for (const auto& v : values) {
      if (v && !v->empty()) set.push_back(*v);
    }
    return set;
  };
  RecordWriter record(out, json);
  record.Number("index", index);
  if (app.earName) record.Text("EarName", *app.earName);
  record.Text("DistributionType", app.preloaded ? "PreLoaded" : "CDSManaged");
  record.Text("Enable", app.enabled ? "yes" : "no");
  record.List("Context-root", present(app.contextRoot));
  record.List("NonEdgableURI", present(app.nonEdgableUri));
  if (app.httpFailoverStatusCodes) record.Text("HTTPFailoverStatusCodes", *app.httpFailoverStatusCodes);
  record.End();
}

Outcome CmdAppSettings(Session& s) {
  const Options& o = s.options();
  int count = 0;
  if (Outcome r = AppStructure(s, count); r.code) return r;
  if (o.fields.empty()) {
    std::string conf;
    int admin = -1, zap = -1, retry = -1;
    HTTPDGetAppServerConfFile(s.cfg(), &conf);
    HTTPDGetAppServerAdminPort(s.cfg(), &admin);
    HTTPDGetAppServerZAPPort(s.cfg(), &zap);
    HTTPDGetAppServerRetryInterval(s.cfg(), &retry);
    RecordWriter record(s.out(), o.json);
    if (!conf.empty()) record.Text("ZAP_CONF_FILE", conf);
    for (const auto& [key, value] : {std::pair{"AppRouterAdminPort", admin}, {"AppRouterLocalZAPPort", zap},
                                     {"ApprouterRetryInterval", retry}}) {
      if (value != -1) record.Number(key, value);
    }
    record.End();
    return {};
  }
  std::vector<FieldInput> inputs;
  if (Outcome r = CollectFields(o, s.in(), inputs); r.code) return r;
  for (const FieldInput& f : inputs) {
    const FieldSpec* def = FindSpec(kSettingSpecs, f.name);
    if (def == nullptr) return UnknownField("app settings", f.name, kSettingSpecs);
    if (Outcome r = CheckField("app settings", *def, f); r.code) return r;
    if (f.values.empty()) return Fail(kExitUsage, "app settings: " + std::string(def->name) + " needs a value");
  }
  if (!HTTPDDoesAppOffloadModuleExist(s.cfg())) HTTPDAddAppOffloadModule(s.cfg());
  for (const FieldInput& f : inputs) {
    const std::string key = FindSpec(kSettingSpecs, f.name)->name;
    const std::string& v = f.values[0];
    if (key == "ZAP_CONF_FILE") HTTPDSetAppServerConfFile(s.cfg(), v);
    else if (key == "AppRouterAdminPort") HTTPDSetAppServerAdminPort(s.cfg(), std::stoi(v));
    else if (key == "AppRouterLocalZAPPort") HTTPDSetAppServerZAPPort(s.cfg(), std::stoi(v));
    else HTTPDSetAppServerRetryInterval(s.cfg(), std::stoi(v));
  }
  return s.Commit("ApplicationProxy");
}

Outcome CmdApp(Session& s) {
  const Options& o = s.options();
  const std::string& sub = o.words[1];
  if (sub == "settings") return CmdAppSettings(s);
  int count = 0;
  if (Outcome r = AppStructure(s, count); r.code) return r;
  if (sub == "list") {
    const std::unordered_map<const LineNode*, int> numbers = LineNumbers(*s.cfg().first());
    const LineNode* header = nullptr;
    for (int i = 0; i < count; ++i) {
      header = HTTPDGetNextAppOffloadBlock(s.cfg(), header, nullptr);
      std::optional<AppOffloadRuleset> app = HTTPDGetAppOffloadRuleset(s.cfg(), i, nullptr);
      if (o.json) s.out() += i == 0 ? "[" : ", ";
      ShowApp(s.out(), o.json, i, app.value_or(AppOffloadRuleset{}), true, numbers.at(header));
    }
    CloseList(s.out(), o.json, count == 0);
    return {};
  }
  const std::string command = "app " + sub;
  const std::string& ref = o.words[2];
  bool numeric = false;
  const int index = FindApp(s, count, ref, numeric);
  if (sub == "show" || sub == "delete") {
    if (index < 0) return Fail(kExitMissing, command + ": no application " + Shown(ref));
    if (sub == "show") {
      ShowApp(s.out(), o.json, index, *HTTPDGetAppOffloadRuleset(s.cfg(), index, nullptr), false, 0);
      return {};
    }
    HTTPDDeleteAppOffloadRuleset(s.cfg(), index);
    return s.Commit("<Application>");
  }
  // put
  if (index < 0 && numeric && std::stoi(ref) != count) {
    return Fail(kExitMissing, command + ": no application " + ref + " (there are " + std::to_string(count) + ")");
  }
  if (index < 0 && !numeric) {
    if (Outcome r = CheckName(command, ref, Check::kWord, "APPEAR"); r.code) return r;
  }
  std::vector<FieldInput> inputs;
  if (Outcome r = CollectFields(o, s.in(), inputs); r.code) return r;
  AppOffloadRuleset app;
  if (index >= 0) app = *HTTPDGetAppOffloadRuleset(s.cfg(), index, nullptr);
  else if (!numeric) app.earName = ref;
  for (const FieldInput& f : inputs) {
    const FieldSpec* def = FindSpec(kAppSpecs, f.name);
    if (def == nullptr) return UnknownField(command, f.name, kAppSpecs);
    if (Outcome r = CheckField(command, *def, f); r.code) return r;
    const std::string key = def->name;
    const std::optional<std::string> value = f.values.empty() ? std::nullopt : std::optional<std::string>(f.values[0]);
    if (key == "EarName") {
      app.earName = value;
    } else if (key == "DistributionType") {
      app.preloaded = value && EqualsIgnoringCase(*value, "PreLoaded") ? 1 : 0;
      app.cdsManaged = app.preloaded ? 0 : 1;
    } else if (key == "Enable") {
      app.enabled = value && EqualsIgnoringCase(*value, "yes") ? 1 : 0;
    } else if (key == "HTTPFailoverStatusCodes") {
      app.httpFailoverStatusCodes = value;
    } else if (key == "Context-root") {
      for (std::size_t i = 0; i < app.contextRoot.size(); ++i) {
        app.contextRoot[i] = i < f.values.size() ? std::optional<std::string>(f.values[i]) : std::nullopt;
        const std::string row = "CONROOT" + std::to_string(i + 1);
        if (app.contextRoot[i]) {
          if (std::optional<std::string> message = RowProblem(row.c_str(), *app.contextRoot[i])) {
            return Fail(kExitUsage, command + ": Context-root: value " + Shown(*app.contextRoot[i]) +
                                        " rejected: " + OneLine(*message));
          }
        }
      }
    } else {
      for (std::size_t i = 0; i < app.nonEdgableUri.size(); ++i) {
        app.nonEdgableUri[i] = i < f.values.size() ? std::optional<std::string>(f.values[i]) : std::nullopt;
      }
    }
  }
  int target = index;
  if (target < 0) {
    if (!HTTPDDoesAppOffloadModuleExist(s.cfg())) HTTPDAddAppOffloadModule(s.cfg());
    HTTPDAddAppOffloadRuleset(s.cfg(), count == 0 ? 0 : count - 1, 0);
    target = count;
  }
  if (HTTPDReplaceAppOffloadRuleset(s.cfg(), target, app) != 1) {
    return Fail(kExitFile, s.mainPath() + ": the application could not be written");
  }
  return s.Commit("<Application>");
}

// --------------------------------------------------------------- dispatch

struct CommandRow {
  const char* group;
  const char* sub;        // null: no sub-command
  std::size_t words;      // positional words including group and sub; 0: at least 2 (set)
  bool change;
  Outcome (*run)(Session&);
  const char* shape;      // for the usage message
};

const CommandRow kCommands[] = {
    {"get", nullptr, 2, false, CmdGet, "a KEYWORD"},
    {"set", nullptr, 0, true, CmdSet, "KEYWORD VALUE..."},
    {"remove", nullptr, 2, true, CmdRemove, "a KEYWORD"},
    {"list", nullptr, 1, false, CmdList, "no arguments"},
    {"ldap", "list", 2, false, CmdLDAP, "no arguments"},
    {"ldap", "show", 3, false, CmdLDAP, "a NAME"},
    {"ldap", "put", 3, true, CmdLDAP, "a NAME"},
    {"ldap", "delete", 3, true, CmdLDAP, "a NAME"},
    {"pics", "list", 2, false, CmdPics, "no arguments"},
    {"pics", "show", 3, false, CmdPics, "a NAME"},
    {"pics", "put", 3, true, CmdPics, "a NAME"},
    {"pics", "delete", 3, true, CmdPics, "a NAME"},
    {"app", "list", 2, false, CmdApp, "no arguments"},
    {"app", "show", 3, false, CmdApp, "an APP"},
    {"app", "put", 3, true, CmdApp, "an APP"},
    {"app", "delete", 3, true, CmdApp, "an APP"},
    {"app", "settings", 2, true, CmdApp, "no arguments"},
};

Outcome Dispatch(Options& o, std::FILE* in, std::string& out, std::string& warning) {
  const std::vector<std::string>& w = o.words;
  if (o.help || w.empty() || w[0] == "help") {
    std::string topic;
    const std::size_t from = (!w.empty() && w[0] == "help") ? 1 : 0;
    for (std::size_t i = from; i < w.size() && i < from + 2; ++i) topic += (topic.empty() ? "" : " ") + w[i];
    const char* text = HelpFor(topic);
    if (text == nullptr && topic.find(' ') != std::string::npos) text = HelpFor(topic.substr(0, topic.find(' ')));
    if (text == nullptr) return Fail(kExitUsage, "no command " + Shown(topic) + " (see cfgctl --help)");
    if (w.empty() && !o.help) return Fail(kExitUsage, "no command given (see cfgctl --help)");
    out += text;
    out += kOptionsHelp;
    return {};
  }
  for (const CommandRow& row : kCommands) {
    if (w[0] != row.group) continue;
    if (row.sub != nullptr && (w.size() < 2 || w[1] != row.sub)) continue;
    const std::string command = row.sub ? std::string(row.group) + " " + row.sub : row.group;
    if (row.words == 0 ? w.size() < 3 : w.size() != row.words) {
      return Fail(kExitUsage, command + ": expected " + row.shape + " (see cfgctl " + command + " --help)");
    }
    const bool takesFields = row.sub != nullptr && (std::string(row.sub) == "put" || std::string(row.sub) == "settings");
    if (!takesFields && !o.fields.empty()) return Fail(kExitUsage, command + ": --field is only for put and settings");
    const bool takesPlace = row.sub != nullptr && std::string(row.sub) == "put" && std::string(row.group) != "app";
    if (!takesPlace && (o.before || o.after)) return Fail(kExitUsage, command + ": --before/--after are only for ldap and pics put");
    if (!row.change && o.dryRun) return Fail(kExitUsage, command + ": --dry-run is only for commands that change the configuration");
    Session session(o, in, out, warning, command);
    if (Outcome r = session.Open(row.change); r.code) return r;
    return row.run(session);
  }
  if (w[0] == "ldap" || w[0] == "pics" || w[0] == "app") {
    return Fail(kExitUsage, w[0] + ": unknown or missing sub-command (see cfgctl " + w[0] + " --help)");
  }
  return Fail(kExitUsage, "unknown command " + Shown(w[0]) + " (see cfgctl --help)");
}

}  // namespace

int RunCfgctl(const std::vector<std::string>& args, std::FILE* in, std::string& out, std::string& err) {
  Options options;
  std::string warning;
  Outcome outcome = ParseOptions(args, options);
  if (outcome.code == kExitOk) outcome = Dispatch(options, in, out, warning);
  if (outcome.code != kExitOk) {
    out.clear();  // a failed command prints nothing but its error line
    err = "cfgctl: " + OneLine(outcome.message) + "\n";
  } else if (!warning.empty()) {
    err = "cfgctl: " + OneLine(warning) + "\n";
  }
  return outcome.code;
}

}  // namespace cfgout::cli
