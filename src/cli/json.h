#pragma once
// The little JSON that cfgctl reads (a block's fields on standard input) and
// writes (--json output).
//
// Usage:
//   std::string error;
//   std::optional<JsonValue> v = ParseJson(R"({"Host": "ldap.example", "Port": 389})", &error);
//   std::string out;
//   AppendJsonString(out, "tab\tand \"quote\"");   // "tab\tand \"quote\""

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cfgout::cli {

struct JsonMember;

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::string text;  // a string's value (UTF-8), or a number as written
  std::vector<JsonValue> items;                              // array
  std::vector<JsonMember> members;                           // object, in input order
};

// One member of an object. A struct of its own rather than a std::pair: a
// pair may not hold the still incomplete JsonValue inside JsonValue.
struct JsonMember {
  std::string name;
  JsonValue value;
};

// Parses one JSON value (surrounding white space allowed, nothing else after
// it). Strings are decoded to UTF-8, \u escapes and surrogate pairs included.
// On failure nullopt, with a short reason in `error`. Nesting deeper than 64
// levels is refused.
std::optional<JsonValue> ParseJson(std::string_view text, std::string* error);

// Appends `text` as a JSON string literal. Control characters are escaped;
// bytes that are not valid UTF-8 become U+FFFD, so the output is always
// valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace cfgout::cli
