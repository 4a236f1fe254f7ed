#include "html/table_generators.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "config/directive_access.h"
#include "config/directive_names.h"
#include "html/output.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "runtime/ascii.h"
#include "runtime/page_output.h"

namespace cfgout {

namespace {

constexpr std::string_view kTokenSeparators = " \r\n\t{";

// A set of separator characters, looked up by table.
class Separators {
 public:
  constexpr explicit Separators(std::string_view chars) {
    for (char c : chars) {
      if (!member_[static_cast<unsigned char>(c)] && count_ < chars_.size()) chars_[count_++] = c;
      member_[static_cast<unsigned char>(c)] = true;
    }
    listed_ = count_ == CountMembers();
  }
  constexpr bool Has(char c) const { return member_[static_cast<unsigned char>(c)]; }
  // Every member, when there are at most kListed of them (else none).
  constexpr std::string_view Listed() const {
    return listed_ ? std::string_view(chars_.data(), count_) : std::string_view();
  }

 private:
  static constexpr std::size_t kListed = 6;

  constexpr std::size_t CountMembers() const {
    std::size_t n = 0;
    for (bool member : member_) n += member ? 1 : 0;
    return n;
  }

  std::array<bool, 256> member_{};
  std::array<char, kListed> chars_{};
  std::size_t count_ = 0;
  bool listed_ = false;  // chars_ holds every member
};

constexpr Separators kTokenSet(kTokenSeparators);
constexpr Separators kLineEnds("\r\n");

// A separator set made ready for scanning text sixteen bytes at a time:
// made once (per table, or once for the program's fixed sets) instead of
// once per token. Every token search goes through it.
class SeparatorScan {
 public:
  explicit SeparatorScan(const Separators& set) : set_(set) {
#if defined(__SSE2__)
    const std::string_view listed = set.Listed();
    listed_ = !listed.empty() && listed.size() <= kListed;
    for (std::size_t k = 0; k < kListed; ++k) wanted_[k] = _mm_set1_epi8(listed_ ? listed[k < listed.size() ? k : 0] : 0);
#endif
  }

  // The position of the first separator in text[from, size), or size.
  std::size_t FindFirst(std::string_view text, std::size_t from) const { return Find<false>(text, from); }
  // The position of the first character in text[from, size) that is no
  // separator, or size.
  std::size_t FindFirstNot(std::string_view text, std::size_t from) const { return Find<true>(text, from); }

 private:
  template <bool kSkipping>
  std::size_t Find(std::string_view text, std::size_t from) const {
    std::size_t i = from;
#if defined(__SSE2__)
    if (listed_ && text.size() >= 16) {
      for (; i + 16 <= text.size(); i += 16) {
        const unsigned mask = Wanted<kSkipping>(text.data() + i);
        if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
      }
      if (i >= text.size()) return text.size();
      // The last bytes: the sixteen that end the text, those before `i`
      // left out.
      const std::size_t last = text.size() - 16;
      const unsigned mask = Wanted<kSkipping>(text.data() + last) >> (i - last);
      return mask != 0 ? i + static_cast<std::size_t>(__builtin_ctz(mask)) : text.size();
    }
#endif
    while (i < text.size() && set_.Has(text[i]) == kSkipping) ++i;
    return i;
  }

#if defined(__SSE2__)
  // One bit per byte of the sixteen at `p` that is a separator (skipping:
  // that is none).
  template <bool kSkipping>
  unsigned Wanted(const char* p) const {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hits = _mm_cmpeq_epi8(chunk, wanted_[0]);
    for (std::size_t k = 1; k < kListed; ++k) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, wanted_[k]));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    return kSkipping ? ~mask & 0xffffu : mask;
  }

  static constexpr std::size_t kListed = 6;
  // Every member, the first repeated in the unused places: a fixed number
  // of comparisons.
  __m128i wanted_[kListed];
  bool listed_ = false;
#endif
  const Separators& set_;
};

// Cuts tokens off the front of a text the way the rows read their lines: a
// token is a run of characters outside the separator set; the separators
// before it are skipped, and the one separator that ends it is consumed, so
// that a later "rest of the line" starts right after that one character.
class Tokens {
 public:
  explicit Tokens(std::string_view text) : rest_(text) {}

  bool Next(const SeparatorScan& scan, std::string_view& token) {
    const std::size_t start = scan.FindFirstNot(rest_, 0);
    if (start == rest_.size()) {
      rest_ = {};
      return false;
    }
    const std::size_t end = scan.FindFirst(rest_, start + 1);
    token = rest_.substr(start, end - start);
    rest_.remove_prefix(end == rest_.size() ? end : end + 1);
    return true;
  }

 private:
  std::string_view rest_;
};

std::vector<std::string_view> Split(std::string_view text, const SeparatorScan& scan) {
  std::vector<std::string_view> tokens;
  Tokens cursor(text);
  for (std::string_view token; cursor.Next(scan, token);) tokens.push_back(token);
  return tokens;
}

const SeparatorScan& TokenScan() {
  static const SeparatorScan scan(kTokenSet);
  return scan;
}

const SeparatorScan& LineEndScan() {
  static const SeparatorScan scan(kLineEnds);
  return scan;
}

// A localised word of message set 2.
std::string_view Word(ConfigMsg message) { return ConfigMessageText(message); }

// The localised words of one table, each looked up in the catalogue once
// however many rows show it.
class WordCache {
 public:
  std::string_view Get(ConfigMsg message) {
    const auto index = static_cast<std::size_t>(message);
    if (!known_[index]) {
      words_[index] = Word(message);
      known_[index] = true;
    }
    return words_[index];
  }

 private:
  static constexpr std::size_t kCached = kConfigMessageCount;
  std::array<std::string_view, kCached> words_{};
  std::array<bool, kCached> known_{};
};

// A table word to show instead of a token; none: the token itself.
using WordChoice = std::optional<ConfigMsg>;

// The message for `token` when it is one of `words` (ignoring case): the
// i-th word gives message ids[i].
template <std::size_t N>
WordChoice WordMessage(std::string_view token, const std::array<std::string_view, N>& words,
                       const std::array<ConfigMsg, N>& ids) {
  for (std::size_t i = 0; i < N; ++i) {
    if (EqualsIgnoringCase(token, words[i])) return ids[i];
  }
  return std::nullopt;
}

constexpr std::array<std::string_view, 4> kEncodings = {"7bit", "8bit", "binary", "ebcdic"};
constexpr std::array<ConfigMsg, 4> kEncodingMessages = {kMsgWord7Bit, kMsgWord8Bit, kMsgWordBinary, kMsgWordEbcdic};

constexpr std::array<std::string_view, 11> kFactors = {"1.0", "0.9", "0.8", "0.7", "0.6", "0.5",
                                                       "0.4", "0.3", "0.2", "0.1", "0.0"};
constexpr std::array<ConfigMsg, 11> kFactorMessages = {
    kMsgWordQuality10, kMsgWordQuality09, kMsgWordQuality08, kMsgWordQuality07, kMsgWordQuality06, kMsgWordQuality05,
    kMsgWordQuality04, kMsgWordQuality03, kMsgWordQuality02, kMsgWordQuality01, kMsgWordQuality00};

constexpr std::array<std::string_view, 6> kConditions = {"eq", "neq", "lt", "gt", "le", "ge"};
constexpr std::array<ConfigMsg, 6> kConditionMessages = {kMsgWordEqual,   kMsgWordNotEqual,    kMsgWordLess,
                                                          kMsgWordGreater, kMsgWordLessOrEqual, kMsgWordGreaterOrEqual};

// Time units: a token starting with the unit's name (ignoring case).
WordChoice TimeUnitMessage(std::string_view token) {
  static constexpr std::array<std::string_view, 6> units = {"second", "minute", "hour", "day", "week", "month"};
  static constexpr std::array<ConfigMsg, 6> words = {kMsgWordSeconds, kMsgWordMinutes, kMsgWordHours,
                                                     kMsgWordDays,    kMsgWordWeeks,   kMsgWordMonths};
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (StartsWithIgnoringCase(token, units[i])) return words[i];
  }
  return std::nullopt;
}

// The units of a minimum holding time: days, hours and minutes.
WordChoice HoldUnitMessage(std::string_view token) {
  if (StartsWithIgnoringCase(token, "day")) return kMsgWordDays;
  if (StartsWithIgnoringCase(token, "hour")) return kMsgWordHours;
  if (StartsWithIgnoringCase(token, "minute")) return kMsgWordMinutes;
  return std::nullopt;
}

// Copies n bytes. Cells are mostly a few to a few dozen bytes: those are
// copied with two overlapping loads and stores of a word or two each,
// without a call.
inline void CopyShort(char* to, const char* from, std::size_t n) {
  if (n >= 8 && n <= 16) {
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
  } else if (n >= 4 && n < 8) {
    std::uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + n - 4, &tail, 4);
  } else if (n < 4) {
    for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
  } else {
    std::memcpy(to, from, n);
  }
}

// The rows of one table, written into one buffer that goes to the page in
// pieces of about kFlushAt bytes: no page-sized text is ever built.
class RowBuffer {
 public:
  RowBuffer() = default;
  RowBuffer(const RowBuffer&) = delete;
  RowBuffer& operator=(const RowBuffer&) = delete;

  std::size_t size() const { return size_; }
  // Room for at least `n` more bytes from End() on.
  void Reserve(std::size_t n) {
    if (capacity_ - size_ < n || data_ == nullptr) Grow(n);
  }
  char* End() { return data_.get() + size_; }
  char* Limit() { return data_.get() + capacity_; }
  // The bytes up to `end` (within the room) are written.
  void Commit(char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
  // The text from `mark` on, taken out of the buffer.
  std::string TakeFrom(std::size_t mark) {
    std::string text(data_.get() + mark, size_ - mark);
    size_ = mark;
    return text;
  }
  // After each row: the buffer goes to the page once it is large enough.
  void RowDone() {
    if (size_ >= kFlushAt) Flush();
  }
  void Flush() {
    if (size_ > 0) PageWrite(std::string_view(data_.get(), size_));
    size_ = 0;
  }

 private:
  // A piece this large goes to the page without a copy.
  static constexpr std::size_t kFlushAt = kPageBufferBytes;

  void Grow(std::size_t n) {
    const std::size_t capacity = std::max(size_ + n, std::max(capacity_ * 2, kFlushAt + 4096));
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// One table row being built: "<tr><td>N", then cells. Cells beyond the
// column count are appended to the last cell after one blank. `text` is the
// line the cells come from: when none of it needs an entity, its tokens are
// copied as they stand. The row is written through a cursor of its own into
// the buffer's room, committed when the row is finished; its steps are
// inlined, as they run for every cell of thousands of rows.
class Row {
 public:
  Row(RowBuffer& out, const HtmlLineTemplate& line, WordCache& words, int number, int columns, std::string_view text)
      : columns_(columns), out_(out), line_(line), words_(words), plain_(NeedsNoEntity(text)), start_(out.size()) {
    out_.Reserve(kUsualRow);
    at_ = out_.End();
    limit_ = out_.Limit();
    if (line_.Streams()) Put(line_.Before());
    Need(8 + 16);
    std::memcpy(at_, "<tr><td>", 8);
    at_ = std::to_chars(at_ + 8, at_ + 8 + 16, number).ptr;
  }

  int column() const { return column_; }

  // A cell from the configuration (escaped).
  [[gnu::always_inline]] void Value(std::string_view value) {
    Open();
    if (plain_) {
      Put(value);
    } else {
      Need(value.size() * kLongestEntity);
      at_ = WriteHtmlEscaped(at_, value);
    }
  }
  // A localised word, or the token when there is none.
  [[gnu::always_inline]] void ValueOrWord(std::string_view token, WordChoice message) {
    if (message) {
      Markup(words_.Get(*message));
    } else {
      Value(token);
    }
  }
  // A cell whose text is already markup (escaped values, localised words).
  [[gnu::always_inline]] void Markup(std::string_view markup) {
    Open();
    Put(markup);
  }
  void Empty() { Open(); }

  // Writes the row's template line with the row in it.
  [[gnu::always_inline]] void Finish() {
    Need(10);
    std::memcpy(at_, "</td></tr>", 10);
    at_ += 10;
    if (line_.Streams()) {
      Put(line_.After());
      out_.Commit(at_);
    } else {
      // An unusual line formats the whole row as its value: the rows
      // before it go first.
      out_.Commit(at_);
      const std::string row = out_.TakeFrom(start_);
      out_.Flush();
      line_.Write(row);
    }
    out_.RowDone();
  }

 private:
  // Room for most rows at once; a longer one makes more as it goes.
  static constexpr std::size_t kUsualRow = 1024;

  [[gnu::always_inline]] void Need(std::size_t n) {
    if (static_cast<std::size_t>(limit_ - at_) < n) MakeRoom(n);
  }
  [[gnu::noinline]] void MakeRoom(std::size_t n) {
    out_.Commit(at_);
    out_.Reserve(n);
    at_ = out_.End();
    limit_ = out_.Limit();
  }
  [[gnu::always_inline]] void Put(std::string_view text) {
    Need(text.size());
    CopyShort(at_, text.data(), text.size());
    at_ += text.size();
  }
  [[gnu::always_inline]] void Open() {
    ++column_;
    if (column_ <= columns_) {
      Need(9);
      std::memcpy(at_, "</td><td>", 9);
      at_ += 9;
    } else {
      Need(1);
      *at_++ = ' ';
    }
  }

  int columns_;
  int column_ = 0;
  RowBuffer& out_;
  const HtmlLineTemplate& line_;
  WordCache& words_;
  bool plain_;
  std::size_t start_;
  char* at_ = nullptr;
  char* limit_ = nullptr;
};

bool IsComment(std::string_view token) { return !token.empty() && token.front() == '#'; }

// The occurrence's text, or its rest from field 2.
std::string_view RowText(const LineNode& occurrence, int skipKeyword) {
  if (skipKeyword != 1) return occurrence.text;
  const char* rest = PointToNextField(occurrence.text);
  return rest != nullptr ? std::string_view(rest) : std::string_view();
}

enum class Directive { kOther, kDirect, kCacheTime, kAddType, kAddEncoding, kCacheMinHold, kSslServerCert };

Directive DirectiveKind(std::string_view keyword) {
  if (EqualsIgnoringCase(keyword, "direct")) return Directive::kDirect;
  if (EqualsIgnoringCase(keyword, "cacheclean") || EqualsIgnoringCase(keyword, "cachemaxexpiry")) {
    return Directive::kCacheTime;
  }
  if (EqualsIgnoringCase(keyword, "addtype")) return Directive::kAddType;
  if (EqualsIgnoringCase(keyword, "addencoding")) return Directive::kAddEncoding;
  if (EqualsIgnoringCase(keyword, "cacheminhold")) return Directive::kCacheMinHold;
  if (EqualsIgnoringCase(keyword, "sslservercert")) return Directive::kSslServerCert;
  return Directive::kOther;
}

// Writes the row of one occurrence of GenTableItems' directive: its tokens,
// with the cells that go before them.
void SingleDirectiveRow(RowBuffer& buffer, const HtmlLineTemplate& line, WordCache& words, int number,
                        std::string_view text, int columns, Directive kind) {
  Row row(buffer, line, words, number, columns, text);
  std::vector<std::string_view> tokens;
  if (kind == Directive::kSslServerCert && !text.empty()) {
    // A quoted label keeps its blanks: split at the text's own first character.
    const Separators quote(text.substr(0, 1));
    tokens = Split(text.substr(1), SeparatorScan(quote));
  } else {
    tokens = Split(text, TokenScan());
    if (kind == Directive::kCacheTime && !text.empty() && IsAsciiDigit(text.front())) row.Empty();
  }

  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    if (IsComment(token)) break;
    const int column = row.column() + 1;
    switch (kind) {
      case Directive::kDirect:
        row.ValueOrWord(token, column == 3 ? WordMessage(token, kConditions, kConditionMessages) : std::nullopt);
        break;
      case Directive::kCacheTime:
        row.ValueOrWord(token, column == 3 ? TimeUnitMessage(token) : std::nullopt);
        break;
      case Directive::kAddType: {
        const WordChoice encoding = WordMessage(token, kEncodings, kEncodingMessages);
        if (column == 2 && encoding) {
          row.Empty();  // the type is missing: the encoding goes to its own column
          row.ValueOrWord(token, encoding);
        } else if (column == 3) {
          row.ValueOrWord(token, encoding);
        } else {
          row.ValueOrWord(token, column == 4 ? WordMessage(token, kFactors, kFactorMessages) : std::nullopt);
        }
        break;
      }
      case Directive::kAddEncoding:
        row.ValueOrWord(token, column == 3 ? WordMessage(token, kFactors, kFactorMessages) : std::nullopt);
        break;
      case Directive::kCacheMinHold:
        if (column == 2) {
          // Up to three pairs of number and unit, all in one cell.
          std::string pairs;
          std::size_t taken = 0;
          while (i < tokens.size() && taken < 6 && !IsComment(tokens[i])) {
            if (!pairs.empty()) pairs += ' ';
            const WordChoice unit = taken % 2 == 1 ? HoldUnitMessage(tokens[i]) : std::nullopt;
            if (unit) {
              pairs += words.Get(*unit);
            } else {
              AppendHtmlEscaped(pairs, tokens[i]);
            }
            ++i;
            ++taken;
          }
          --i;
          row.Markup(pairs);
        } else {
          row.Value(token);
        }
        break;
      default: row.Value(token); break;
    }
  }
  if (kind == Directive::kDirect && row.column() == 2) row.ValueOrWord({}, kMsgWordNoCondition);
  row.Finish();
}

}  // namespace

int GenTableItems(const char* line, const char* directive, int columns, int skipKeyword,
                  const ConfigHandle& cfg) {
  if (directive == nullptr) return 0;
  const int id = HTTPDRuleToID(directive);
  if (id < 0) return 0;
  const Directive kind = DirectiveKind(directive);
  int rows = 0;
  RowBuffer buffer;
  WordCache words;
  const HtmlLineTemplate rowLine(line);
  for (const LineNode& occurrence : HTTPDGetRules(cfg, id)) {
    SingleDirectiveRow(buffer, rowLine, words, ++rows, RowText(occurrence, skipKeyword), columns, kind);
  }
  buffer.Flush();
  return rows;
}

int GenMultiTableItems(const char* line, const char* keywordList, int columns, int skipKeyword,
                       const ConfigHandle& cfg) {
  if (keywordList == nullptr) return 0;
  const std::string_view list(keywordList);
  // Each keyword is followed by one blank; the word after the last blank ends the list.
  std::vector<int> ids;
  for (std::size_t start = 0, blank; (blank = list.find(' ', start)) != std::string_view::npos; start = blank + 1) {
    const int id = HTTPDRuleToID(list.substr(start, blank - start));
    if (id >= 0) ids.push_back(id);
  }
  if (ids.empty()) return 0;

  // The lists whose first column shows localised words.
  static constexpr std::array<std::string_view, 6> mapWords = {"map", "pass", "fail", "exec", "redirect", "proxy"};
  static constexpr std::array<ConfigMsg, 6> mapMessages = {kMsgWordMap,  kMsgWordPass,     kMsgWordFail,
                                                           kMsgWordExec, kMsgWordRedirect, kMsgWordProxy};
  static constexpr std::array<std::string_view, 2> cacheWords = {"CacheOnly", "NoCaching"};
  static constexpr std::array<ConfigMsg, 2> cacheMessages = {kMsgWordCacheOnly, kMsgWordNoCaching};
  static constexpr std::array<std::string_view, 2> queryWords = {"public", "always"};
  static constexpr std::array<ConfigMsg, 2> queryMessages = {kMsgWordPublic, kMsgWordAlways};
  const bool mapping = list == "Map Pass Fail Exec Redirect Proxy Service NameTrans 0";
  const bool caching = list == "CacheOnly NoCaching 0";
  const bool queries = list == "CacheQueries 0";
  auto firstColumnWord = [&](std::string_view token) -> WordChoice {
    if (mapping) return WordMessage(token, mapWords, mapMessages);
    if (caching) return WordMessage(token, cacheWords, cacheMessages);
    if (queries) return WordMessage(token, queryWords, queryMessages);
    return std::nullopt;
  };

  int rows = 0;
  RowBuffer buffer;
  WordCache words;
  const HtmlLineTemplate rowLine(line);
  const SeparatorScan& scan = TokenScan();
  // The rows are read where they stand: no copy of the lines is needed.
  HTTPDVisitMultiRules(cfg, ids, [&](const LineNode& occurrence) {
    const std::string_view text = RowText(occurrence, skipKeyword);
    Row row(buffer, rowLine, words, ++rows, columns, text);
    bool failRow = false;
    Tokens tokens(text);
    for (std::string_view token; tokens.Next(scan, token);) {
      if (IsComment(token)) break;
      const int column = row.column() + 1;
      if (column == 1) {
        failRow = EqualsIgnoringCase(token, "FAIL");
        row.ValueOrWord(token, firstColumnWord(token));
        continue;
      }
      // A Fail rule has no replacement: its address moves to the column
      // where the other rules show theirs.
      if (column == 3 && failRow && columns >= 3) row.Empty();
      row.Value(token);
    }
    row.Finish();
  });
  buffer.Flush();
  return rows;
}

int GenMethTableItems(const char* line, const ConfigHandle& cfg) {
  const int id = HTTPDRuleToID("Enable");
  if (id < 0) return 0;
  int rows = 0;
  for (const LineNode& occurrence : HTTPDGetUserMethodRules(cfg, id)) {
    const std::string method = HtmlEscape(GetField(occurrence.text, 2));
    std::string path = GetField(occurrence.text, 3);
    if (IsComment(path)) path.clear();  // a trailing comment is no handler path
    const std::int64_t number = ++rows;
    const std::string row =
        path.empty() ? FormatText("<tr><td>%d</td><td>%s</td><td>%s</td><td></td></tr>", {number, method, std::string()})
                     : FormatText("<tr><td>%d</td><td>%s</td><td>%s</td></tr>", {number, method, HtmlEscape(path)});
    GenHtmlLine(line, row);
  }
  return rows;
}

int GenProtectTableItems(const char* line, const ConfigHandle& cfg) {
  const int id = HTTPDRuleToID("Protect");
  if (id < 0) return 0;
  int rows = 0;
  for (const LineNode& occurrence : HTTPDGetRules(cfg, id)) {
    std::string row;
    AppendFormatted(row, "<tr><td>%d</td>", {std::int64_t{++rows}});
    const std::vector<std::string_view> tokens = Split(RowText(occurrence, 1), TokenScan());
    auto cell = [&row](std::string_view value) {
      row += "<td>";
      AppendHtmlEscaped(row, value);
      row += "</td>";
    };
    if (!tokens.empty()) cell(tokens[0]);
    if (tokens.size() > 1) {
      if (occurrence.text.find('{') != std::string::npos) row += "<td></td>";
      cell(tokens[1]);
    }
    if (tokens.size() > 3 && EqualsIgnoringCase(tokens[2], "FOR")) cell(tokens[3]);
    row += "</tr>";
    GenHtmlLine(line, row);
  }
  return rows;
}

int GenAPITableItems(const char* line, const char* keywordList, const ConfigHandle& cfg) {
  if (keywordList == nullptr) return 0;
  const std::string_view list(keywordList);
  // Each keyword is followed by "&"; the text after the last "&" is none.
  std::vector<int> ids;
  for (std::size_t start = 0, amp; (amp = list.find('&', start)) != std::string_view::npos; start = amp + 1) {
    const int id = HTTPDRuleToID(list.substr(start, amp - start));
    if (id >= 0) ids.push_back(id);
  }
  if (ids.empty()) return 0;

  // Steps that apply to every request rather than to a request template.
  static constexpr std::array<std::string_view, 9> untemplatedSteps = {
      "ServerInit", "PreExit", "PostAuth", "Transmogrifier", "DataFilter",
      "PostExit", "ServerTerm", "Midnight", "PICSDBLookup"};
  auto cell = [](std::string& row, std::string_view token) {
    row += "<td>";
    if (EqualsIgnoringCase(token, "Basic")) {
      row += Word(kMsgWordBasic);
    } else {
      AppendHtmlEscaped(row, token);
    }
    row += "</td>";
  };

  int rows = 0;
  for (const LineNode& occurrence : HTTPDGetMultiRules(cfg, ids)) {
    std::string row;
    AppendFormatted(row, "<tr><td>%d</td>", {std::int64_t{++rows}});
    Tokens tokens(occurrence.text);
    std::string_view step;
    if (tokens.Next(TokenScan(), step)) {
      std::string stepCell(step);
      bool untemplated = false;
      for (std::string_view name : untemplatedSteps) untemplated = untemplated || EqualsIgnoringCase(step, name);
      if (EqualsIgnoringCase(step, "GC") || EqualsIgnoringCase(step, "PROXY")) {
        // Two-word steps: the second word belongs to the step's name.
        std::string_view second;
        if (tokens.Next(TokenScan(), second)) stepCell += second;
        untemplated = true;
      }
      cell(row, stepCell);
      if (untemplated) row += "<td></td>";
      const bool serverInit = EqualsIgnoringCase(step, "ServerInit");
      // The initialisation argument may hold blanks: it is the rest of the line.
      std::string_view token;
      if (serverInit && tokens.Next(LineEndScan(), token)) cell(row, token);
      while (tokens.Next(TokenScan(), token) && !IsComment(token)) cell(row, token);
    }
    row += "</tr>";
    GenHtmlLine(line, row);
  }
  return rows;
}

}  // namespace cfgout
