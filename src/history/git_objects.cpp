#include "history/git_objects.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define CFGOUT_SHA_INSTRUCTIONS 1
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/ascii.h"
#include "runtime/file_bytes.h"

namespace cfgout {

namespace {

// ---- SHA-1 ----------------------------------------------------------------

using Compress = void (*)(std::uint32_t state[5], const unsigned char* data, std::size_t blocks);

std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void CompressPortable(std::uint32_t state[5], const unsigned char* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
      w[i] = std::uint32_t{data[4 * i]} << 24 | std::uint32_t{data[4 * i + 1]} << 16 |
             std::uint32_t{data[4 * i + 2]} << 8 | std::uint32_t{data[4 * i + 3]};
    }
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
      std::uint32_t f, k;
      if (i < 20) {
        f = (b & c) | (~b & d), k = 0x5A827999;
      } else if (i < 40) {
        f = b ^ c ^ d, k = 0x6ED9EBA1;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d, k = 0xCA62C1D6;
      }
      const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
      e = d, d = c, c = Rotl(b, 30), b = a, a = t;
    }
    state[0] += a, state[1] += b, state[2] += c, state[3] += d, state[4] += e;
  }
}

#ifdef CFGOUT_SHA_INSTRUCTIONS
// Four rounds with the SHA extensions; the round function is an immediate.
__attribute__((target("sha,ssse3,sse4.1"))) inline __m128i Rounds(__m128i abcd, __m128i wk, int group) {
  switch (group / 5) {
    case 0: return _mm_sha1rnds4_epu32(abcd, wk, 0);
    case 1: return _mm_sha1rnds4_epu32(abcd, wk, 1);
    case 2: return _mm_sha1rnds4_epu32(abcd, wk, 2);
    default: return _mm_sha1rnds4_epu32(abcd, wk, 3);
  }
}

// 80 rounds as 20 groups of four: group k's message words are
// msg2(msg1(W[k-4], W[k-3]) ^ W[k-2], W[k-1]), kept in a ring of four.
__attribute__((target("sha,ssse3,sse4.1"))) void CompressWithShaInstructions(std::uint32_t state[5],
                                                                              const unsigned char* data,
                                                                              std::size_t blocks) {
  const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abcdBefore = abcd;
    const __m128i eBefore = e;
    __m128i w[4];
    for (int i = 0; i < 4; ++i) {
      w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteOrder);
    }
    __m128i previous = abcd;
#pragma GCC unroll 20
    for (int k = 0; k < 20; ++k) {
      if (k >= 4) {
        w[k & 3] = _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w[k & 3], w[(k + 1) & 3]), w[(k + 2) & 3]),
                                      w[(k + 3) & 3]);
      }
      const __m128i wk = k == 0 ? _mm_add_epi32(e, w[0]) : _mm_sha1nexte_epu32(previous, w[k & 3]);
      previous = abcd;
      abcd = Rounds(abcd, wk, k);
    }
    e = _mm_sha1nexte_epu32(previous, eBefore);
    abcd = _mm_add_epi32(abcd, abcdBefore);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e, 3));
}

bool HasShaInstructions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  const bool ssse3 = (c & (1u << 9)) != 0;
  const bool sse41 = (c & (1u << 19)) != 0;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  return ssse3 && sse41 && (b & (1u << 29)) != 0;
}
#endif

Compress FastestCompress() {
#ifdef CFGOUT_SHA_INSTRUCTIONS
  static const Compress chosen = HasShaInstructions() ? &CompressWithShaInstructions : &CompressPortable;
  return chosen;
#else
  return &CompressPortable;
#endif
}

ObjectId Sha1With(Compress compress, std::initializer_list<std::string_view> parts) {
  std::uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  unsigned char block[64];
  std::size_t filled = 0;
  std::uint64_t total = 0;
  for (std::string_view part : parts) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(part.data());
    std::size_t size = part.size();
    total += size;
    if (filled > 0) {
      const std::size_t take = std::min(size, sizeof block - filled);
      std::memcpy(block + filled, bytes, take);
      filled += take, bytes += take, size -= take;
      if (filled < sizeof block) continue;
      compress(state, block, 1);
      filled = 0;
    }
    compress(state, bytes, size / 64);
    std::memcpy(block, bytes + size / 64 * 64, size % 64);
    filled = size % 64;
  }
  // Padding: 0x80, zeros, the length in bits (big-endian) in the last 8 bytes.
  block[filled++] = 0x80;
  if (filled > 56) {
    std::memset(block + filled, 0, sizeof block - filled);
    compress(state, block, 1);
    filled = 0;
  }
  std::memset(block + filled, 0, 56 - filled);
  const std::uint64_t bits = total * 8;
  for (int i = 0; i < 8; ++i) block[56 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  compress(state, block, 1);
  ObjectId id;
  for (int i = 0; i < 20; ++i) id.bytes[i] = static_cast<unsigned char>(state[i / 4] >> (24 - 8 * (i % 4)));
  return id;
}

// ---- files ------------------------------------------------------------------

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The header of an object: "<type> <size>\0".
std::string Header(std::string_view type, std::size_t size) {
  std::string header(type);
  header += ' ';
  header += std::to_string(size);
  header += '\0';
  return header;
}

// Objects larger than this are never read back here (the configuration
// store refuses far smaller files).
constexpr std::size_t kMaxObjectSize = std::size_t{1} << 30;

bool Inflate(std::string_view compressed, std::string_view type, std::string& content) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  struct End {
    z_stream* s;
    ~End() { inflateEnd(s); }
  } end{&stream};
  // The header first (at most 32 bytes for any size), then exactly the size
  // it gives.
  std::string out(32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(compressed.size(), UINT_MAX));
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int status = inflate(&stream, Z_NO_FLUSH);
  if (status != Z_OK && status != Z_STREAM_END) return false;
  const std::size_t produced = out.size() - stream.avail_out;
  const std::size_t nul = std::string_view(out.data(), produced).find('\0');
  if (nul == std::string_view::npos || nul <= type.size() + 1 || out.compare(0, type.size(), type) != 0 ||
      out[type.size()] != ' ') {
    return false;
  }
  std::size_t size = 0;
  const char* digits = out.data() + type.size() + 1;
  const auto [stop, error] = std::from_chars(digits, out.data() + nul, size);
  if (error != std::errc() || stop != out.data() + nul || size > kMaxObjectSize) return false;
  const std::size_t total = nul + 1 + size;
  if (produced > total) return false;
  if (status != Z_STREAM_END) {
    if (total > UINT_MAX) return false;
    out.resize(total);
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    stream.avail_out = static_cast<uInt>(total - produced);
    status = inflate(&stream, Z_FINISH);
    if (status != Z_STREAM_END || stream.avail_out != 0) return false;
  } else if (produced != total) {
    return false;
  }
  content.assign(out, nul + 1, size);
  return true;
}

bool Deflate(std::string_view header, std::string_view content, std::string& compressed) {
  z_stream stream{};
  // zlib's fastest level, as libgit2 keeps loose objects.
  if (deflateInit(&stream, Z_BEST_SPEED) != Z_OK) return false;
  struct End {
    z_stream* s;
    ~End() { deflateEnd(s); }
  } end{&stream};
  if (header.size() + content.size() > UINT_MAX / 2) return false;
  compressed.resize(deflateBound(&stream, static_cast<uLong>(header.size() + content.size())) + 64);
  stream.next_out = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_out = static_cast<uInt>(compressed.size());
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(header.data()));
  stream.avail_in = static_cast<uInt>(header.size());
  if (deflate(&stream, Z_NO_FLUSH) != Z_OK || stream.avail_in != 0) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) return false;
  compressed.resize(compressed.size() - stream.avail_out);
  return true;
}

// A temporary file beside `target`, created exclusively with `mode`.
std::string TemporaryName(const std::string& directory, int attempt) {
  return directory + "/tmp_obj_cfgout_" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
}

int CreateTemporary(const std::string& directory, mode_t mode, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName(directory, attempt);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::string ObjectId::Hex() const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * bytes.size());
  for (const unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

std::optional<ObjectId> ObjectId::FromHex(std::string_view hex) {
  if (hex.size() != 40) return std::nullopt;
  ObjectId id;
  for (std::size_t i = 0; i < 40; ++i) {
    const char c = hex[i];
    int value;
    if (c >= '0' && c <= '9') {
      value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      value = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    id.bytes[i / 2] = static_cast<unsigned char>(id.bytes[i / 2] << 4 | value);
  }
  return id;
}

bool IsPlainText(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time, one flag over all of them (plain text is the
  // common case): a byte is outside when it is below 0x20 (compared signed,
  // so 0x80 and above count as below too) and no tab, LF or CR, or is 0x7F.
  __m128i outside = _mm_setzero_si128();
  const __m128i space = _mm_set1_epi8(0x20);
  for (; at + 16 <= text.size(); at += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
    const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
    outside = _mm_or_si128(outside, _mm_andnot_si128(allowed, _mm_cmplt_epi8(v, space)));
    outside = _mm_or_si128(outside, _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
  }
  if (_mm_movemask_epi8(outside) != 0) return false;
#endif
  for (; at < text.size(); ++at) {
    const unsigned char b = bytes[at];
    if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b > 0x7E) return false;
  }
  return true;
}

ObjectId Sha1(std::initializer_list<std::string_view> parts) { return Sha1With(FastestCompress(), parts); }

ObjectId Sha1Portable(std::initializer_list<std::string_view> parts) { return Sha1With(&CompressPortable, parts); }

ObjectId ObjectIdOf(std::string_view type, std::string_view content) {
  const std::string header = Header(type, content.size());
  return Sha1({header, content});
}

std::string TreeContent(std::vector<TreeItem> items) {
  // git orders a subtree as if its name ended in '/'.
  const auto key = [](const TreeItem& item) { return item.isTree ? item.name + "/" : item.name; };
  std::sort(items.begin(), items.end(), [&](const TreeItem& a, const TreeItem& b) { return key(a) < key(b); });
  std::string content;
  for (const TreeItem& item : items) {
    content += item.isTree ? "40000 " : "100644 ";
    content += item.name;
    content += '\0';
    content.append(reinterpret_cast<const char*>(item.id.bytes.data()), item.id.bytes.size());
  }
  return content;
}

bool ParseTree(std::string_view content, std::vector<TreeItem>& items) {
  items.clear();
  while (!content.empty()) {
    const std::size_t space = content.find(' ');
    if (space == std::string_view::npos) return false;
    const std::string_view mode = content.substr(0, space);
    const std::size_t nul = content.find('\0', space);
    if (nul == std::string_view::npos || content.size() - nul - 1 < 20) return false;
    TreeItem item;
    item.name = std::string(content.substr(space + 1, nul - space - 1));
    item.isTree = mode == "40000";
    std::memcpy(item.id.bytes.data(), content.data() + nul + 1, 20);
    items.push_back(std::move(item));
    content.remove_prefix(nul + 21);
  }
  return true;
}

std::string LooseObjects::ObjectPath(const ObjectId& id) const {
  const std::string hex = id.Hex();
  return path_ + "/objects/" + hex.substr(0, 2) + "/" + hex.substr(2);
}

bool LooseObjects::Writable() const {
  std::string head;
  if (!ReadRegularFile(path_ + "/HEAD", head) || head != "ref: refs/heads/main\n") return false;
  // A reflog that exists is appended to by git and libgit2 alike.
  if (Exists(path_ + "/logs")) return false;
  std::string config;
  if (!ReadRegularFile(path_ + "/config", config)) return false;
  for (char& c : config) c = AsciiLower(c);
  for (std::string_view setting : {"extensions", "logallrefupdates", "sharedrepository", "fsync", "worktree"}) {
    if (config.find(setting) != std::string::npos) return false;
  }
  // Objects stored elsewhere would be found by the readers but not here.
  return !Exists(path_ + "/objects/info/alternates");
}

std::optional<ObjectId> LooseObjects::ReadBranch(std::string_view ref) const {
  std::string bytes;
  if (!ReadRegularFile(path_ + "/" + std::string(ref), bytes) || bytes.size() != 41 || bytes.back() != '\n') {
    return std::nullopt;
  }
  return ObjectId::FromHex(std::string_view(bytes).substr(0, 40));
}

bool LooseObjects::Read(const ObjectId& id, std::string_view type, std::string& content) const {
  std::string compressed;
  return ReadRegularFile(ObjectPath(id), compressed) && Inflate(compressed, type, content) &&
         ObjectIdOf(type, content) == id;
}

bool LooseObjects::Write(const ObjectId& id, std::string_view type, std::string_view content) const {
  const std::string target = ObjectPath(id);
  if (Exists(target)) return true;
  std::string compressed;
  if (!Deflate(Header(type, content.size()), content, compressed)) return false;
  const std::string directory = target.substr(0, target.rfind('/'));
  if (::mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) return false;
  std::string temporary;
  FileDescriptor fd(CreateTemporary(directory, 0444, temporary));
  if (fd.get() < 0) return false;
  const bool written = WriteAllBytes(fd.get(), compressed) && fd.Close();
  // A link never replaces an object that appeared meanwhile.
  const bool stored = written && (::link(temporary.c_str(), target.c_str()) == 0 || errno == EEXIST);
  ::unlink(temporary.c_str());
  return stored;
}

bool LooseObjects::MoveBranch(std::string_view ref, const ObjectId& from, const ObjectId& to) const {
  const std::string target = path_ + "/" + std::string(ref);
  const std::string lock = target + ".lock";
  FileDescriptor fd(::open(lock.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (fd.get() < 0) return false;
  const std::optional<ObjectId> now = ReadBranch(ref);
  const bool moved = now.has_value() && *now == from && WriteAllBytes(fd.get(), to.Hex() + "\n") && fd.Close() &&
                     ::rename(lock.c_str(), target.c_str()) == 0;
  if (!moved) ::unlink(lock.c_str());
  return moved;
}

}  // namespace cfgout
