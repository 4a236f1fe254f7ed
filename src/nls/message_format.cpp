#include "nls/message_format.h"

#include <cstring>

#include <array>
#include <charconv>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cfgout {

namespace {

void AppendArg(std::string& out, const FormatArg& arg, char conversion) {
  if (conversion == 'd') {
    std::int64_t value = 0;
    if (const auto* number = std::get_if<std::int64_t>(&arg)) {
      value = *number;
    } else {
      // A text given for %d: print the leading integer it spells, as atoi would.
      std::string_view text = std::get<std::string_view>(arg);
      std::from_chars(text.data(), text.data() + text.size(), value);
    }
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
    return;
  }
  if (const auto* text = std::get_if<std::string_view>(&arg)) {
    out.append(*text);
  } else {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, std::get<std::int64_t>(arg));
    out.append(digits, result.ptr);
  }
}

}  // namespace

void AppendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<FormatArg> args) {
  const FormatArg* next = args.begin();
  std::size_t i = 0;
  while (i < format.size()) {
    std::size_t percent = format.find('%', i);
    if (percent == std::string_view::npos || percent + 1 >= format.size()) {
      out.append(format.substr(i));
      return;
    }
    out.append(format.substr(i, percent - i));
    char conversion = format[percent + 1];
    if (conversion == '%') {
      out.push_back('%');
    } else if (conversion == 's' || conversion == 'd') {
      if (next != args.end()) AppendArg(out, *next++, conversion);
    } else {
      out.append(format.substr(percent, 2));
    }
    i = percent + 2;
  }
}

std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 32);
  AppendFormatted(out, format, args);
  return out;
}

namespace {

// The entity of each character that needs one; none for the others.
constexpr auto kEntity = [] {
  std::array<std::string_view, 256> entity{};
  entity[static_cast<unsigned char>('&')] = "&amp;";
  entity[static_cast<unsigned char>('<')] = "&lt;";
  entity[static_cast<unsigned char>('>')] = "&gt;";
  entity[static_cast<unsigned char>('"')] = "&quot;";
  entity[static_cast<unsigned char>('\'')] = "&#39;";
  return entity;
}();

// The position of the first character of text[from, size) that needs an
// entity, or size. Most cells of a page need none: sixteen bytes are
// tested at a time where the processor allows.
std::size_t NextEntity(std::string_view text, std::size_t from) {
  const char* data = text.data();
  const std::size_t size = text.size();
  std::size_t i = from;
#if defined(__SSE2__)
  for (; i + 16 <= size; i += 16) {
    const unsigned mask = EntityMask(data + i);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
#endif
  while (i < size && kEntity[static_cast<unsigned char>(data[i])].empty()) ++i;
  return i;
}

// Hands `put` the escaped text in pieces: each run of characters that
// needs no entity whole, then the entity that ends it.
template <typename Put>
void EscapeInPieces(std::string_view text, Put&& put) {
  std::size_t start = 0;
  for (std::size_t i = NextEntity(text, 0); i < text.size(); i = NextEntity(text, start)) {
    put(text.substr(start, i - start));
    put(kEntity[static_cast<unsigned char>(text[i])]);
    start = i + 1;
  }
  put(text.substr(start));
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text) {
  EscapeInPieces(text, [&out](std::string_view piece) { out.append(piece); });
}

char* WriteHtmlEscaped(char* out, std::string_view text) {
  EscapeInPieces(text, [&out](std::string_view piece) {
    std::memcpy(out, piece.data(), piece.size());
    out += piece.size();
  });
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendHtmlEscaped(out, text);
  return out;
}

}  // namespace cfgout
