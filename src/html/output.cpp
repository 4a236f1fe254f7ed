#include "html/output.h"

#include <cstring>

#include "nls/message_format.h"
#include "runtime/page_output.h"

namespace cfgout {

namespace {

// "%%" -> "%"; every other character, "%s" included, as it stands.
void AppendPercentsCollapsed(std::string& out, std::string_view line) {
  std::size_t i = 0;
  while (i < line.size()) {
    std::size_t percent = line.find("%%", i);
    if (percent == std::string_view::npos) {
      out.append(line.substr(i));
      return;
    }
    out.append(line.substr(i, percent + 1 - i));
    i = percent + 2;
  }
}

void WriteLine(std::string_view line, const std::string_view* value) {
  // One buffer for all lines: a page writes thousands of them.
  thread_local std::string out;
  out.clear();
  AppendHtmlLine(out, line, value);
  PageWrite(out);
}

}  // namespace

void AppendHtmlLine(std::string& out, std::string_view line, const std::string_view* value) {
  if (value != nullptr && line.find("%s") != std::string_view::npos) {
    AppendFormatted(out, line, {*value});
  } else {
    AppendPercentsCollapsed(out, line);
  }
}

int GenHtmlLine(const char* line, const char* value) {
  if (line == nullptr) return 0;
  if (value == nullptr) {
    WriteLine(line, nullptr);
  } else {
    std::string_view text(value);
    WriteLine(line, &text);
  }
  return 0;
}

int GenHtmlLine(const char* line, std::string_view value) {
  if (line == nullptr) return 0;
  // A long value (a whole list of options) is written where it stands
  // instead of being copied into the line first.
  constexpr std::size_t kLongValue = 4096;
  if (value.size() >= kLongValue) {
    HtmlLineTemplate(line).Write(value);
    return 0;
  }
  WriteLine(line, &value);
  return 0;
}

int GenHtmlLine(const char* line, const std::string& value) {
  return GenHtmlLine(line, std::string_view(value));
}

HtmlLineTemplate::HtmlLineTemplate(const char* line) : present_(line != nullptr), line_(line) {
  if (line == nullptr) return;
  const std::string_view text(line);
  if (text.find("%s") == std::string_view::npos) {
    AppendPercentsCollapsed(before_, text);
    return;
  }
  // The formatter's first conversion takes the value; "%%" pairs before it
  // are skipped the way the formatter reads them.
  std::size_t i = 0;
  while (i + 1 < text.size()) {
    if (text[i] != '%') {
      ++i;
      continue;
    }
    const char conversion = text[i + 1];
    if (conversion == 'd') {
      general_ = true;  // the value would be read as a number
      return;
    }
    if (conversion == 's') {
      AppendFormatted(before_, text.substr(0, i), {});
      AppendFormatted(after_, text.substr(i + 2), {});
      slot_ = true;
      inPlace_ = true;
      return;
    }
    i += 2;
  }
  AppendFormatted(before_, text, {});  // no conversion: the value is not shown
}

void HtmlLineTemplate::Write(std::string_view value) const {
  if (!present_) return;
  if (general_) {
    WriteLine(line_, &value);
    return;
  }
  PageWrite(before_);
  if (!slot_) return;
  PageWrite(value);
  PageWrite(after_);
}

void HtmlLineTemplate::Start(std::string& text) const {
  if (inPlace_) {
    text.assign(before_);
  } else {
    text.clear();
  }
}

void HtmlLineTemplate::End(std::string& text) const {
  if (!inPlace_) {
    Write(text);
    return;
  }
  text += after_;
  PageWrite(text);
}

bool IsMarkerLine(const char* line) { return line != nullptr && std::strstr(line, "%s") != nullptr; }

}  // namespace cfgout
