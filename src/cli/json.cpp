#include "cli/json.h"

#include <unicode/utf8.h>

#include <cstdint>

namespace cfgout::cli {

namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document(std::string* error) {
    std::optional<JsonValue> value = Value(0);
    SkipSpace();
    if (value && pos_ != text_.size()) value = Fail("unexpected text after the value");
    if (!value && error != nullptr) *error = error_ + " at offset " + std::to_string(pos_);
    return value;
  }

 private:
  std::nullopt_t Fail(const char* why) {
    if (error_.empty()) error_ = why;
    return std::nullopt;
  }

  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) ++pos_;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<JsonValue> Value(int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    SkipSpace();
    if (pos_ >= text_.size()) return Fail("unexpected end of input");
    JsonValue value;
    const char c = text_[pos_];
    if (c == '{') return Object(depth);
    if (c == '[') return Array(depth);
    if (c == '"') {
      std::optional<std::string> s = String();
      if (!s) return std::nullopt;
      value.kind = JsonValue::Kind::kString;
      value.text = std::move(*s);
      return value;
    }
    const bool isTrue = Literal("true");
    if (isTrue || Literal("false")) {
      value.kind = JsonValue::Kind::kBool;
      value.boolean = isTrue;
      return value;
    }
    if (Literal("null")) return value;
    if (c == '-' || (c >= '0' && c <= '9')) return Number();
    return Fail("unexpected character");
  }

  std::optional<JsonValue> Number() {
    const std::size_t start = pos_;
    auto digits = [&] {
      const std::size_t from = pos_;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
      return pos_ > from;
    };
    if (text_[pos_] == '-') ++pos_;
    if (!digits()) return Fail("bad number");
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (!digits()) return Fail("bad number");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!digits()) return Fail("bad number");
    }
    JsonValue value;
    value.kind = JsonValue::Kind::kNumber;
    value.text = std::string(text_.substr(start, pos_ - start));
    return value;
  }

  std::optional<unsigned> Hex4() {
    if (pos_ + 4 > text_.size()) return std::nullopt;
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') v |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') v |= static_cast<unsigned>(h - 'A' + 10);
      else return std::nullopt;
    }
    return v;
  }

  static void AppendUtf8(std::string& out, std::uint32_t cp) {
    std::uint8_t bytes[U8_MAX_LENGTH];
    std::size_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, cp);
    out.append(reinterpret_cast<const char*>(bytes), length);
  }

  std::optional<std::string> String() {
    ++pos_;  // opening quote
    std::string out;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) break;
      const char e = text_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::optional<unsigned> cp = Hex4();
          if (!cp) return Fail("bad \\u escape");
          std::uint32_t code = *cp;
          if (code >= 0xD800 && code <= 0xDBFF) {
            if (!Literal("\\u")) return Fail("lone surrogate");
            std::optional<unsigned> low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return Fail("lone surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
          } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return Fail("lone surrogate");
          }
          AppendUtf8(out, code);
          break;
        }
        default: return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  std::optional<JsonValue> Array(int depth) {
    ++pos_;
    JsonValue value;
    value.kind = JsonValue::Kind::kArray;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') { ++pos_; return value; }
    for (;;) {
      std::optional<JsonValue> item = Value(depth + 1);
      if (!item) return std::nullopt;
      value.items.push_back(std::move(*item));
      SkipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') { ++pos_; continue; }
      if (pos_ < text_.size() && text_[pos_] == ']') { ++pos_; return value; }
      return Fail("expected , or ]");
    }
  }

  std::optional<JsonValue> Object(int depth) {
    ++pos_;
    JsonValue value;
    value.kind = JsonValue::Kind::kObject;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') { ++pos_; return value; }
    for (;;) {
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != '"') return Fail("expected a member name");
      std::optional<std::string> name = String();
      if (!name) return std::nullopt;
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != ':') return Fail("expected :");
      ++pos_;
      std::optional<JsonValue> member = Value(depth + 1);
      if (!member) return std::nullopt;
      value.members.push_back(JsonMember{std::move(*name), std::move(*member)});
      SkipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') { ++pos_; continue; }
      if (pos_ < text_.size() && text_[pos_] == '}') { ++pos_; return value; }
      return Fail("expected , or }");
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace

std::optional<JsonValue> ParseJson(std::string_view text, std::string* error) {
  return Parser(text).Document(error);
}

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // A byte that starts no well-formed sequence becomes U+FFFD on its own.
      std::size_t end = i;
      UChar32 cp = 0;
      U8_NEXT(reinterpret_cast<const std::uint8_t*>(text.data()), end, text.size(), cp);
      if (cp < 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(text.substr(i, end - i));
        i = end;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
}

}  // namespace cfgout::cli
