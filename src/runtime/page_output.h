#pragma once
// The response stream. Everything the program prints (CGI header, page lines,
// generated controls) goes through PageWrite, which buffers and writes to
// standard output; tests redirect it into a string with PageCapture.

#include <cstddef>
#include <string>
#include <string_view>

namespace cfgout {

// The size of the page output's buffer: a piece of at least this size is
// written where it stands instead of being copied into the buffer first.
inline constexpr std::size_t kPageBufferBytes = 64 * 1024;

void PageWrite(std::string_view text);

// Writes what is buffered to standard output and flushes it. Called before the
// process ends or replaces itself.
void PageFlush();

// While alive, page output is collected here instead of going to stdout.
// Captures nest: the innermost one receives the output.
class PageCapture {
 public:
  PageCapture();
  ~PageCapture();
  PageCapture(const PageCapture&) = delete;
  PageCapture& operator=(const PageCapture&) = delete;

  // The text collected so far; the capture is emptied.
  std::string Take();
  const std::string& Text() const { return text_; }

 private:
  friend void PageWrite(std::string_view text);
  void Append(std::string_view text) { text_.append(text); }

  std::string text_;
  PageCapture* outer_;
};

}  // namespace cfgout
