#pragma once
// Writing one template line to the page.
//
// A template line carries at most one kind of conversion, "%s", where a
// generated value goes; a literal percent sign is written "%%". Lines are
// never used as printf formats: the substitution is done by our own
// formatter and the result goes through PageWrite.
//
// The value is inserted exactly as given. Anything that comes from the
// configuration, the form or the environment must be HTML-escaped by the
// caller before it is handed in here; markup the program builds itself
// (option lists, "CHECKED") is passed as it is.

#include <string>
#include <string_view>

namespace cfgout {

// line null: nothing is written. value non-null and the line holds "%s": the
// line with the value in place of its "%s" (and each "%%" as "%").
// Otherwise: the line with each "%%" as "%" and nothing else changed.
// Returns 0.
int GenHtmlLine(const char* line, const char* value);
int GenHtmlLine(const char* line, std::string_view value);
int GenHtmlLine(const char* line, const std::string& value);

// The same rule, appending to `out` instead of writing to the page.
void AppendHtmlLine(std::string& out, std::string_view line, const std::string_view* value);

// One template line written many times with different values (a table's
// rows): the line is read once, each write gives the same bytes as
// GenHtmlLine(line, value).
class HtmlLineTemplate {
 public:
  explicit HtmlLineTemplate(const char* line);
  void Write(std::string_view value) const;
  // A value built in `text` in place: Start, append the value, then End
  // writes the line (the text around the value may already stand in it).
  void Start(std::string& text) const;
  void End(std::string& text) const;
  // True when the value may be written in pieces between the line's text
  // before and after it (Before, After): the line puts it in place.
  bool Streams() const { return inPlace_; }
  // Where Streams(): the line's text before and after the value.
  std::string_view Before() const { return before_; }
  std::string_view After() const { return after_; }

 private:
  bool present_ = false;
  bool slot_ = false;    // the value goes between before_ and after_
  bool general_ = false; // an unusual line: each write formats it again
  bool inPlace_ = false;  // Start and End put the text around the value
  const char* line_ = nullptr;
  std::string before_;
  std::string after_;
};

// True when the line is a marker line (holds "%s" anywhere).
bool IsMarkerLine(const char* line);

}  // namespace cfgout
