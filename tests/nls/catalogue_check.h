#pragma once
// Consistency check between the program's sources and the "config" message
// catalogue (messages/config/1.msg and 2.msg).
//
// The program looks messages up by number, and most lookups pass a built-in
// text that is shown when the catalogue has no entry. A number that the code
// uses but the catalogue lacks shows up as a missing or untranslated text
// only at run time, on the one page that needs it; this check finds it at
// build time instead. It also keeps the catalogue safe to use as formats:
// the program substitutes only %s, %d and %%.

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cfgout::catalogue {

// One catalogue source file: message number -> decoded text. Problems found
// while reading (syntax, order, escapes, encoding) are listed, each with its
// file label and line number.
struct Catalogue {
  std::map<int, std::string> messages;
  std::vector<std::string> problems;
};

// Reads the text of a catalogue source: one message per line as
// "<number><TAB><text>", '#' lines and blank lines ignored, the escapes
// \n, \t and \\ in text, numbers ascending.
Catalogue ParseCatalogue(std::string_view content, const std::string& label);

// The source with every comment replaced by blanks (line feeds kept, so
// line numbers stay valid). String and character literals are left intact.
std::string StripComments(std::string_view source);

// Integer constants defined as "constexpr int NAME = N" or "const int NAME =
// N" (or with braces). A name defined with two different values is dropped.
std::map<std::string, int> FindIntConstants(std::string_view strippedSource);

// One lookup of a catalogue message in the code.
struct MessageUse {
  int set = 0;     // 1 or 2
  int number = 0;  // message number within the set
  std::optional<std::string> builtinText;  // the default text, when a literal
  std::string where;                       // "file:line"
};

// A function that looks a message of the "config" bundle up by number.
// Arguments are counted from 0.
struct LookupForm {
  std::string name;
  int idArg = 0;        // the message number
  int set = 0;          // 1 or 2; 0 = the set is argument `setArg`
  int setArg = -1;
  int slotArg = -1;     // -1 = always bundle slot 1; else must be 1
  int defaultArg = -1;  // the built-in text; -1 = none
};

// The lookup functions themselves:
//   nlsGetString(<slot 1>, <set 1 or 2>, <N>, <default>)
//   get_message(<N>), get_config_message(<N>)       (set 2)
//   get_validation_msg(<N>)                          (set 1)
std::vector<LookupForm> BaseLookupForms();

// Functions defined in one (comment-stripped) source that pass their own
// parameter on as the number of a `known` lookup, e.g.
//   std::string StatusMessage(int id, const char* text) {
//     return nlsGetString(kSlotConfigMessages, 2, id, text); }
// Each becomes a lookup form of its own, with its built-in text argument
// when it passes one on.
std::vector<LookupForm> FindWrapperForms(std::string_view strippedSource,
                                         const std::map<std::string, int>& constants,
                                         const std::vector<LookupForm>& known);

// The lookups in one (comment-stripped) source: calls of `forms` whose slot,
// set and number are integer literals or constants from `constants`. Calls
// whose number is a variable are not listed; names inside string literals
// are not calls.
std::vector<MessageUse> FindMessageUses(std::string_view strippedSource, const std::string& label,
                                        const std::map<std::string, int>& constants,
                                        const std::vector<LookupForm>& forms = BaseLookupForms());

// One row of the form-variable table: {"NAME", code, validator, p1, p2, id}.
struct FieldRow {
  std::string name;
  std::string validator;
  int messageId = 0;
  int line = 0;
};

// The rows of the table in a (comment-stripped) source. Any brace group whose
// first element is a string literal and that has six elements counts as a
// row; layout and white space do not matter.
std::vector<FieldRow> FindFieldRows(std::string_view strippedSource);

// The '%' sequences of `text` that the program's formatter would not
// substitute (anything but %s, %d and %%), in order of appearance.
std::vector<std::string> UnsupportedConversions(std::string_view text);

// The number of %<conversion> sequences (%% is not a conversion).
int CountConversions(std::string_view text, char conversion);

// Rules on the catalogues themselves: message 13 of set 2 and message 116 of
// set 1 each hold exactly one %s and nothing else to substitute; no text
// holds a '%' sequence other than %s, %d, %%.
std::vector<std::string> CheckCatalogueRules(const Catalogue& set1, const Catalogue& set2);

// Every use has a non-empty text in its set; where the code gives a built-in
// text, the catalogue text equals it (or one of them, when the code gives
// several for the same number).
std::vector<std::string> CheckUses(const Catalogue& set1, const Catalogue& set2,
                                   const std::vector<MessageUse>& uses);

// Every row names a set-1 message that exists (rows with a validator other
// than NoValidation must name one), and the table has `expectedRows` rows.
std::vector<std::string> CheckFieldRows(const Catalogue& set1, const std::vector<FieldRow>& rows,
                                        std::size_t expectedRows, const std::string& label);

// Reads every C++ source under `root` (sorted paths, so the report is
// stable), follows wrapper functions across files, and returns all message
// uses; labels are paths relative to `labelBase`.
struct SourceScan {
  std::vector<MessageUse> uses;
  std::vector<std::string> wrappers;  // lookup functions found besides the base forms
  std::size_t filesScanned = 0;
};
SourceScan ScanSourceTree(const std::filesystem::path& root, const std::filesystem::path& labelBase);

// Reads a whole file; nullopt when it cannot be read.
std::optional<std::string> ReadFile(const std::filesystem::path& path);

}  // namespace cfgout::catalogue
