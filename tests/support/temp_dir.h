#pragma once
// Scratch directories for tests: a fresh directory under TMPDIR (or /tmp),
// whole files written into it and read back byte for byte, and everything
// in it removed when the TempDir goes.
//
//   TempDir dir("cfgout-pages");
//   std::string main = dir.Write("main.conf", "Port 80\n");   // its path
//   ... EXPECT_EQ(dir.Read("main.conf"), "Port 8080\n");

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cfgout::testing {

// Replaces the file at `path` by `bytes`.
inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// Every byte of the file at `path`.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempDir {
 public:
  // The directory is named `prefix` followed by six random characters.
  explicit TempDir(std::string_view prefix = "cfgout") {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp");
    pattern += '/';
    pattern += prefix;
    pattern += "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    // A test may have taken permissions away: give them back so that
    // everything can be removed.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

  // The path of `name` (which may hold slashes) inside the directory.
  std::string operator/(std::string_view name) const {
    std::string joined = path_;
    joined += '/';
    joined += name;
    return joined;
  }

  // Writes `text` as the file `name`, making the folders that `name` names on
  // the way, and returns its path.
  std::string Write(std::string_view name, std::string_view text) const {
    std::string file = *this / name;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    WriteFile(file, text);
    return file;
  }

  std::string Read(std::string_view name) const { return ReadFile(*this / name); }

 private:
  std::string path_;
};

}  // namespace cfgout::testing
