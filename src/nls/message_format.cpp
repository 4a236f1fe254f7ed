#include "nls/message_format.h"

#include <array>
#include <charconv>

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

void AppendHtmlEscaped(std::string& out, std::string_view text) {
  // Runs of characters that need no entity are appended whole; a table
  // finds the end of a run.
  static constexpr auto kEntity = [] {
    std::array<const char*, 256> entity{};
    entity[static_cast<unsigned char>('&')] = "&amp;";
    entity[static_cast<unsigned char>('<')] = "&lt;";
    entity[static_cast<unsigned char>('>')] = "&gt;";
    entity[static_cast<unsigned char>('"')] = "&quot;";
    entity[static_cast<unsigned char>('\'')] = "&#39;";
    return entity;
  }();
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* entity = kEntity[static_cast<unsigned char>(text[i])];
    if (entity == nullptr) continue;
    out.append(text.data() + start, i - start);
    out.append(entity);
    start = i + 1;
  }
  out.append(text.data() + start, text.size() - start);
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendHtmlEscaped(out, text);
  return out;
}

}  // namespace cfgout
