#pragma once
// The text of one configuration line.
//
// Usage:
//   line.text = "Port 80\n";                 // set as a whole, from any string
//   if (line.text.find('#') != LineText::npos) ...
//   std::string_view v = line.text;          // a view while the text is unchanged
//   TokenMatch(line.text.c_str(), "Port");   // always NUL-terminated
//   std::string copy = line.text;            // a copy of the bytes
//
// A configuration of tens of thousands of lines is read into a few large
// blocks, one or more per file, and the text of each line is a view into
// its block: reading a line makes no allocation of its own, and the lines of
// a file stay next to each other in memory. A text the program sets gets a
// block of its own. Blocks are shared by count: copying a text shares its
// block (no bytes are copied), and the last text of a block frees it, so a
// text stays valid wherever its node goes (into another list, out of the
// configuration, past the close of the configuration).
//
// Every text is followed by a NUL byte, so c_str() and data() are the same
// bytes; a NUL byte inside a line stays part of the text.
//
// The counts are plain integers: the lines of one configuration, and the
// copies made of them, are copied and dropped on one thread at a time
// (another thread may read them meanwhile, as the change history does).
//
// The type offers the read-only operations of std::string that the callers
// of the line list use; it is set as a whole (assignment, assign, append,
// clear), never edited in place.

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace cfgout {

class LineTextBuilder;

class LineText {
 public:
  using value_type = char;
  using size_type = std::size_t;
  using const_iterator = const char*;
  using iterator = const char*;
  static constexpr size_type npos = std::string_view::npos;

  LineText() noexcept = default;
  LineText(std::string_view text) { Set(text); }  // NOLINT: as a std::string is made from one
  LineText(const std::string& text) { Set(text); }  // NOLINT
  LineText(const char* text) { Set(text); }         // NOLINT
  LineText(const LineText& other) noexcept : data_(other.data_), size_(other.size_), offset_(other.offset()) {
    Retain();
  }
  LineText(LineText&& other) noexcept : data_(other.data_), size_(other.size_), offset_(other.offset()) {
    other.data_ = kEmpty;
    other.size_ = 0;
    other.offset_ &= kMark;
  }
  ~LineText() { Release(); }

  LineText& operator=(const LineText& other) noexcept {
    other.Retain();  // first: `other` may share this text's block
    Release();
    data_ = other.data_;
    size_ = other.size_;
    offset_ = other.offset() | (offset_ & kMark);
    return *this;
  }
  LineText& operator=(LineText&& other) noexcept {
    if (this != &other) {
      Release();
      data_ = other.data_;
      size_ = other.size_;
      offset_ = other.offset() | (offset_ & kMark);
      other.data_ = kEmpty;
      other.size_ = 0;
      other.offset_ &= kMark;
    }
    return *this;
  }
  LineText& operator=(std::string_view text) { return assign(text); }
  LineText& operator=(const std::string& text) { return assign(text); }
  LineText& operator=(const char* text) { return assign(text); }

  // `text` may be a view of this text itself.
  LineText& assign(std::string_view text);
  LineText& assign(const char* text, size_type n) { return assign(std::string_view(text, n)); }
  // A new text of this one followed by `more` (never written in place:
  // the block may be shared).
  LineText& append(std::string_view more);
  LineText& operator+=(std::string_view more) { return append(more); }
  LineText& operator+=(char c) { return append(std::string_view(&c, 1)); }
  void clear() noexcept {
    Release();
    data_ = kEmpty;
    size_ = 0;
    offset_ &= kMark;
  }
  // The texts change places; each keeps its mark (see below).
  void swap(LineText& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    const std::uint32_t mine = offset();
    offset_ = other.offset() | (offset_ & kMark);
    other.offset_ = mine | (other.offset_ & kMark);
  }

  const char* data() const noexcept { return data_; }
  const char* c_str() const noexcept { return data_; }
  size_type size() const noexcept { return size_; }
  size_type length() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  const char& operator[](size_type i) const noexcept { return data_[i]; }
  const char& front() const noexcept { return data_[0]; }
  const char& back() const noexcept { return data_[size_ - 1]; }
  const char* begin() const noexcept { return data_; }
  const char* end() const noexcept { return data_ + size_; }
  const char* cbegin() const noexcept { return data_; }
  const char* cend() const noexcept { return data_ + size_; }

  std::string_view view() const noexcept { return std::string_view(data_, size_); }
  operator std::string_view() const noexcept { return view(); }  // NOLINT: used wherever a view is taken
  // A copy, made wherever a std::string is wanted (as when a std::string is
  // copied): keep to the view where a copy is not needed.
  operator std::string() const { return std::string(data_, size_); }  // NOLINT
  std::string str() const { return std::string(data_, size_); }
  // As std::string::substr: a copy; throws std::out_of_range when pos > size().
  std::string substr(size_type pos = 0, size_type n = npos) const { return std::string(view().substr(pos, n)); }

  size_type find(char c, size_type pos = 0) const noexcept { return view().find(c, pos); }
  size_type find(std::string_view s, size_type pos = 0) const noexcept { return view().find(s, pos); }
  size_type rfind(char c, size_type pos = npos) const noexcept { return view().rfind(c, pos); }
  size_type rfind(std::string_view s, size_type pos = npos) const noexcept { return view().rfind(s, pos); }
  size_type find_first_of(char c, size_type pos = 0) const noexcept { return view().find_first_of(c, pos); }
  size_type find_first_of(std::string_view s, size_type pos = 0) const noexcept {
    return view().find_first_of(s, pos);
  }
  size_type find_first_not_of(char c, size_type pos = 0) const noexcept {
    return view().find_first_not_of(c, pos);
  }
  size_type find_first_not_of(std::string_view s, size_type pos = 0) const noexcept {
    return view().find_first_not_of(s, pos);
  }
  size_type find_last_of(std::string_view s, size_type pos = npos) const noexcept {
    return view().find_last_of(s, pos);
  }
  size_type find_last_not_of(std::string_view s, size_type pos = npos) const noexcept {
    return view().find_last_not_of(s, pos);
  }
  bool starts_with(std::string_view s) const noexcept { return view().starts_with(s); }
  bool starts_with(char c) const noexcept { return view().starts_with(c); }
  bool ends_with(std::string_view s) const noexcept { return view().ends_with(s); }
  bool ends_with(char c) const noexcept { return view().ends_with(c); }
  int compare(std::string_view s) const noexcept { return view().compare(s); }

  friend bool operator==(const LineText& a, std::string_view b) noexcept { return a.view() == b; }
  friend auto operator<=>(const LineText& a, std::string_view b) noexcept { return a.view() <=> b; }

 private:
  friend class LineTextBuilder;

  // The start of every block: how many texts share it. The bytes follow.
  struct Block {
    std::size_t texts;
  };
  static constexpr std::size_t kBlockHeader = sizeof(Block);
  static constexpr char kEmpty[1] = {'\0'};

  // One bit of the offset word is not the text's but its holder's: a line
  // node keeps there whether it continues the line before (the node stays
  // four words long). Copies start without it; assigning a text, swapping
  // or clearing keeps each object's own. Blocks are far smaller than the
  // bit's value.
  static constexpr std::uint32_t kMark = std::uint32_t{1} << 31;
  friend struct LineNode;
  bool mark() const noexcept { return (offset_ & kMark) != 0; }
  void set_mark(bool on) noexcept { offset_ = on ? (offset_ | kMark) : (offset_ & ~kMark); }
  std::uint32_t offset() const noexcept { return offset_ & ~kMark; }

  // By address: the empty text's data_ is no block's, and a compiler that
  // cannot see that its offset is then 0 would warn about the subtraction.
  Block* block() const noexcept {
    return reinterpret_cast<Block*>(reinterpret_cast<std::uintptr_t>(data_) - offset());
  }
  void Retain() const noexcept {
    if (offset() != 0) ++block()->texts;
  }
  void Release() noexcept {
    if (offset() != 0 && --block()->texts == 0) FreeBlock(block());
  }
  static void FreeBlock(Block* block) noexcept;
  void Set(std::string_view text);
  // A text in a block whose count already includes it.
  LineText(const char* data, std::uint32_t size, std::uint32_t offset) noexcept
      : data_(data), size_(size), offset_(offset) {}

  const char* data_ = kEmpty;
  std::uint32_t size_ = 0;
  // How far data_ lies behind the start of its block; 0: no block (the
  // empty text). The top bit is the holder's mark.
  std::uint32_t offset_ = 0;
};

// A copy of both, as for std::string.
std::string operator+(const LineText& a, const LineText& b);
std::string operator+(const LineText& a, std::string_view b);
std::string operator+(std::string_view a, const LineText& b);
inline std::string operator+(const LineText& a, const std::string& b) { return a + std::string_view(b); }
inline std::string operator+(const std::string& a, const LineText& b) { return std::string_view(a) + b; }
inline std::string operator+(const LineText& a, const char* b) { return a + std::string_view(b); }
inline std::string operator+(const char* a, const LineText& b) { return std::string_view(a) + b; }
inline std::string operator+(const LineText& a, char b) { return a + std::string_view(&b, 1); }
inline std::string operator+(char a, const LineText& b) { return std::string_view(&a, 1) + b; }
std::ostream& operator<<(std::ostream& out, const LineText& text);

// Makes the texts of consecutive lines in shared blocks: the reader's way
// of giving every line of a file its text without an allocation per line.
// The bytes of one text at a time are appended (the open text), then the
// text is closed and handed out. A new block is started when the open text
// would not fit; texts already handed out keep theirs.
class LineTextBuilder {
 public:
  // `expected`: about how many bytes of text will be appended in all.
  explicit LineTextBuilder(std::size_t expected);
  LineTextBuilder(const LineTextBuilder&) = delete;
  LineTextBuilder& operator=(const LineTextBuilder&) = delete;
  ~LineTextBuilder();

  std::size_t open_size() const noexcept { return static_cast<std::size_t>(cursor_ - open_); }
  void Append(const char* bytes, std::size_t n) {
    if (static_cast<std::size_t>(end_ - cursor_) <= n) Grow(n);  // one byte stays for the NUL
    std::char_traits<char>::copy(cursor_, bytes, n);
    cursor_ += n;
  }
  // The open text as a line text (the empty text when nothing was
  // appended); the next text starts after it.
  LineText Close() {
    const std::size_t size = open_size();
    if (size == 0) return LineText();
    *cursor_ = '\0';
#ifdef CFGOUT_PLAIN_LINE_NODES
    // Address-checking builds: a block per text, so that reading past a
    // line's end is caught instead of landing in the next line.
    LineText text(std::string_view(open_, size));
    cursor_ = open_;
    return text;
#else
    ++block_->texts;
    const char* data = open_;
    open_ = cursor_ + 1;
    cursor_ = open_;
    return LineText(data, static_cast<std::uint32_t>(size),
                    static_cast<std::uint32_t>(data - reinterpret_cast<char*>(block_)));
#endif
  }

  // While no text is open: cuts the lines that lie wholly in [pos, end)
  // (each up to and including its "\n", at most `longest` bytes long) off
  // the front of the range, a text each, handed on to `take` in order.
  // Returns where the first line that does not lie there wholly, or is
  // longer, or needs a new block, begins. The reader's common case: a
  // line at a time through Append and Close gives the same texts.
  template <typename Take>
  const char* TakeLines(const char* pos, const char* end, std::size_t longest, Take&& take) {
#ifdef CFGOUT_PLAIN_LINE_NODES
    (void)end;
    (void)longest;
    (void)take;
    return pos;  // every text through Append and Close, a block each
#else
    if (block_ == nullptr || cursor_ != open_) return pos;
    char* const base = reinterpret_cast<char*>(block_);
    for (;;) {
      const std::size_t avail = static_cast<std::size_t>(end - pos);
      const std::size_t window = std::min(avail, longest);
      char* const out = cursor_;
      // Room for the longest line, its NUL and a 16-byte store beyond.
      if (static_cast<std::size_t>(end_ - out) <= window + 16) return pos;
      const std::size_t n = CopyLine(out, pos, window, avail);
      if (n == 0) return pos;
      out[n] = '\0';
      open_ = cursor_ = out + n + 1;
      ++block_->texts;  // before the text exists: dropping it gives the count back
      take(LineText(out, static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(out - base)));
      pos += n;
    }
#endif
  }

 private:
  void Grow(std::size_t n);
  void NewBlock(std::size_t capacity);

  // Copies `from` up to and including its first "\n" among the first
  // `window` bytes to `to`, and returns how many bytes that is; 0 when no
  // "\n" is there. Reads no further than `avail` bytes (avail >= window);
  // may write up to 128 bytes from `to`, never beyond `window` + 16.
  static std::size_t CopyLine(char* to, const char* from, std::size_t window, std::size_t avail) {
#ifdef __SSE2__
    const __m128i newline = _mm_set1_epi8('\n');
    std::size_t i = 0;
    if (window >= 128 && avail >= 128) {
      // The first 128 bytes at once, copied and searched whatever the
      // line's length: a line of a configuration is nearly always shorter,
      // and where it ends is then picked without a branch that depends on
      // it (a loop that stops at the line's end guesses that end wrong on
      // most lines of differing lengths, which costs more than the copy).
      std::uint64_t low = 0;
      std::uint64_t high = 0;
      for (std::size_t k = 0; k < 4; ++k) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16 * k), bytes);
        low |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline))) << (16 * k);
      }
      for (std::size_t k = 0; k < 4; ++k) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 64 + 16 * k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 64 + 16 * k), bytes);
        high |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline))) << (16 * k);
      }
      if ((low | high) != 0) {
        const std::uint64_t found = low != 0 ? low : high;
        const std::size_t offset = low != 0 ? 0 : 64;
        return offset + static_cast<std::size_t>(__builtin_ctzll(found)) + 1;
      }
      i = 128;
    }
    // Sixteen bytes at a time: copied, then searched. Whole chunks while
    // sixteen bytes are there to read; the rest of the window, if any, goes
    // through the tail.
    const std::size_t chunks = std::min(window, avail >= 16 ? avail - 15 : std::size_t{0});
    for (; i < chunks; i += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), bytes);
      const unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
      if (found != 0) {
        const std::size_t n = i + static_cast<std::size_t>(__builtin_ctz(found)) + 1;
        return n <= window ? n : 0;
      }
    }
    return i < window ? CopyLineTail(to, from, i, window) : 0;
#else
    (void)avail;
    return CopyLineTail(to, from, 0, window);
#endif
  }
  // The same from byte `done` on, which is copied already before it.
  static std::size_t CopyLineTail(char* to, const char* from, std::size_t done, std::size_t window) {
    const auto* newline = static_cast<const char*>(std::memchr(from + done, '\n', window - done));
    if (newline == nullptr) return 0;
    const auto n = static_cast<std::size_t>(newline - from) + 1;
    std::memcpy(to + done, from + done, n - done);
    return n;
  }

  LineText::Block* block_ = nullptr;  // the builder holds one count of it
  char* open_ = nullptr;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  std::size_t remaining_ = 0;  // of the expected bytes, not yet in a block
};

}  // namespace cfgout
