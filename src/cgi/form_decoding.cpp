#include "cgi/form_decoding.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/ascii.h"

namespace cfgout {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// Value of one character of a %xx escape. Any character that is not a hex
// digit counts 0, just as "0" does.
int EscapeDigit(char c) {
  if (c >= '1' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

// Decodes a field value: every '+' becomes a blank, then each %xx becomes
// its byte. Scanning resumes after the produced byte, so neither a '%' nor a
// '+' produced by an escape is decoded again. A produced NUL ends the value.
//
// A '%' with fewer than two characters left in the value is kept as it
// stands, together with the character after it: there is no escape to
// decode, and nothing beyond the value is ever read.
std::string DecodeValue(std::string_view raw) {
  std::string value(raw);
  for (char& c : value) {
    if (c == '+') c = ' ';
  }
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && value.size() - i > 2) {
      const char byte = static_cast<char>(EscapeDigit(value[i + 1]) * 16 + EscapeDigit(value[i + 2]));
      if (byte == '\0') break;
      out.push_back(byte);
      i += 2;
    } else {
      out.push_back(value[i]);
    }
  }
  return out;
}

// atoi without its undefined overflow: leading white space, an optional
// sign, digits; the value saturates at the int range.
long ParseLength(const char* text) { return AtoiSaturated(text); }

}  // namespace

FormArgList ReadArguments(long length, std::FILE* in, bool* complete) {
  FormArgList args;
  if (complete != nullptr) *complete = true;
  if (length < 1) return args;

  // Bytes the body does not deliver read as end-of-file, stored as 0xFF.
  std::string body;
  try {
    body.assign(static_cast<std::size_t>(length), '\xFF');
  } catch (const std::bad_alloc&) {
    return args;
  } catch (const std::length_error&) {
    return args;
  }
  std::size_t got = 0;
  while (got < body.size() && in != nullptr) {
    const std::size_t want = std::min(kReadChunk, body.size() - got);
    const std::size_t n = std::fread(body.data() + got, 1, want, in);
    got += n;
    if (n < want) break;  // end of input or a read error
  }
  if (complete != nullptr) *complete = got == body.size();

  // The body is text: a NUL byte in it ends it.
  const std::size_t nul = body.find('\0');
  if (nul != std::string::npos) body.resize(nul);

  const std::string_view text(body);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find('&', pos), text.size());
    const std::string_view field = text.substr(pos, end - pos);
    pos = end + 1;
    if (field.empty()) continue;  // runs of '&' and leading/trailing '&'
    const std::size_t eq = field.find('=');
    if (eq == std::string_view::npos) {
      args.push_back(FormArg{std::string(field), std::nullopt});
    } else {
      args.push_back(FormArg{std::string(field.substr(0, eq)), DecodeValue(field.substr(eq + 1))});
    }
  }
  return args;
}

int CheckEnvironment(long* length_out, const char* method) {
  if (length_out != nullptr) *length_out = 0;
  if (method != nullptr) {
    const char* requestMethod = std::getenv("REQUEST_METHOD");
    if (requestMethod == nullptr || !EqualsIgnoringCase(requestMethod, method)) return 1;
  }
  const char* contentLength = std::getenv("CONTENT_LENGTH");
  if (contentLength == nullptr) return 2;
  const long length = ParseLength(contentLength);
  if (length_out != nullptr) *length_out = length;
  return length < 1 ? 2 : 0;
}

}  // namespace cfgout
