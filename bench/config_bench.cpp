// Configuration store benchmark: prints ratios, never asserts timings.
//
//   config_bench [work-directory]
//
// A generated configuration of 20,000 lines (a main file and three
// included files) is
//   1. opened and written back, against reading and writing the same bytes
//      with plain buffered stdio (with and without the same fsync+rename);
//   2. searched with HTTPDGetRules over all files, at 10,000 and 20,000
//      lines, to show the cost is linear in the number of lines;
//   3. measured for peak heap use while open, against the file bytes.

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "config/config.h"
#include "config_generator.h"

// ---- heap accounting (live and peak bytes as the allocator hands them out) ----

// The replaced global operators pair new with malloc and delete with free,
// which the compiler's new/delete pairing check cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void Account(void* p, bool add) {
  if (p == nullptr) return;
  const long long size = static_cast<long long>(::malloc_usable_size(p));
  if (add) {
    const long long now = g_live += size;
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
  } else {
    g_live -= size;
  }
}
}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  Account(p, true);
  return p;
}
void operator delete(void* p) noexcept {
  Account(p, false);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Account(p, false);
  std::free(p);
}

namespace {

using Clock = std::chrono::steady_clock;

// ---- a realistic configuration ----

using Files = cfgout::bench::ConfigFiles;

// A main file (40 % of the lines, its include lines last) and three included
// files (20 % each), `total` lines in all.
Files WriteConfiguration(const std::string& dir, int total, unsigned seed) {
  cfgout::bench::RuleGenerator rules(seed, true);
  Files files;
  files.paths = {dir + "/main.conf", dir + "/inc1.conf", dir + "/inc2.conf", dir + "/inc3.conf"};
  std::vector<std::string> images(4);
  images[0] = rules.Lines(total * 4 / 10 - 3);
  for (int i = 1; i < 4; ++i) {
    images[0] += "ConfigFile " + files.paths[i] + "\n";
    images[i] = rules.Lines(total * 2 / 10);
  }
  if (!cfgout::bench::WriteConfigFiles(files, images)) {
    std::fprintf(stderr, "config_bench: cannot write the configuration in %s\n", dir.c_str());
    std::exit(1);
  }
  return files;
}

// ---- measurements ----

template <typename F>
double MedianSeconds(int runs, F f) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    f();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The whole file, read with buffered stdio.
std::string ReadWithStdio(const std::string& path) {
  std::string bytes;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) bytes.append(buf, n);
  std::fclose(in);
  return bytes;
}

// The floor: every file read with buffered stdio into memory and written
// back; `durable` adds the same protocol HTTPDConfigWrite follows (write a
// temporary, fsync it, rename it over the file, fsync the directory once).
void PlainCopy(const Files& files, bool durable) {
  for (const std::string& path : files.paths) {
    const std::string bytes = ReadWithStdio(path);
    const std::string target = durable ? path + ".tmp" : path;
    std::FILE* out = std::fopen(target.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
    if (durable) ::fsync(::fileno(out));
    std::fclose(out);
    if (durable) std::rename(target.c_str(), path.c_str());
  }
  if (durable) {
    const std::string& main = files.paths[0];
    const int dirFd = ::open(main.substr(0, main.rfind('/')).c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

std::size_t PlainRead(const Files& files) {
  std::size_t total = 0;
  for (const std::string& path : files.paths) total += ReadWithStdio(path).size();
  return total;
}

void OpenAndWrite(const Files& files) {
  auto cfg = cfgout::HTTPDConfigOpen(files.paths[0]);
  if (!cfg || cfgout::HTTPDConfigWrite(*cfg) != 0) {
    std::fprintf(stderr, "open/write failed\n");
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  if (argc > 1) {
    dir = argv[1];
  } else {
    char pattern[] = "/tmp/cfgout-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    dir = pattern;
  }
  const std::string small = dir + "/small";
  const std::string large = dir + "/large";
  std::system(("mkdir -p '" + small + "' '" + large + "'").c_str());
  const Files big = WriteConfiguration(large, 20000, 1);
  const Files half = WriteConfiguration(small, 10000, 1);
  std::printf("configuration: %d lines, %zu bytes in 4 files\n", big.lines, big.bytes);

  // 1. Open + write against plain buffered I/O.
  const int runs = 15;
  OpenAndWrite(big);  // warm the page cache
  // Interleaved, so that disk noise (fsync) hits all three alike.
  std::vector<double> oursTimes, plainTimes, durableTimes;
  for (int i = 0; i < 31; ++i) {
    oursTimes.push_back(MedianSeconds(1, [&] { OpenAndWrite(big); }));
    plainTimes.push_back(MedianSeconds(1, [&] { PlainCopy(big, false); }));
    durableTimes.push_back(MedianSeconds(1, [&] { PlainCopy(big, true); }));
  }
  auto median = [](std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double ours = median(oursTimes);
  const double plain = median(plainTimes);
  const double plainDurable = median(durableTimes);
  std::printf("open+write: %.2f ms; plain stdio read+write: %.2f ms; plain with temporary+fsync+rename: %.2f ms\n",
              ours * 1e3, plain * 1e3, plainDurable * 1e3);
  std::printf("RATIO open+write / plain stdio (same durability): %.2f (goal <= 2)\n", ours / plainDurable);
  std::printf("RATIO open+write / plain stdio (no fsync): %.2f\n", ours / plain);
  const double openOnly = MedianSeconds(runs, [&] { cfgout::HTTPDConfigOpen(big.paths[0]); });
  const double readOnly = MedianSeconds(runs, [&] { PlainRead(big); });
  std::printf("open (read and split into lines, then release): %.2f ms; plain stdio read: %.2f ms\n",
              openOnly * 1e3, readOnly * 1e3);
  std::printf("RATIO open / plain stdio read: %.2f\n", openOnly / readOnly);

  // 2. HTTPDGetRules over all files, 10k against 20k lines.
  auto cfgBig = cfgout::HTTPDConfigOpen(big.paths[0]);
  auto cfgHalf = cfgout::HTTPDConfigOpen(half.paths[0]);
  const int pass = cfgout::HTTPDRuleToID("pass");
  const int port = cfgout::HTTPDRuleToID("port");
  std::size_t found = 0;
  auto scan = [&](const cfgout::ConfigHandle& cfg) {
    for (int i = 0; i < 20; ++i) {
      found += cfgout::HTTPDGetRules(cfg, pass).size();
      found += cfgout::HTTPDGetRules(cfg, port).size();
    }
  };
  const double scanBig = MedianSeconds(runs, [&] { scan(*cfgBig); });
  const double scanHalf = MedianSeconds(runs, [&] { scan(*cfgHalf); });
  std::printf("HTTPDGetRules (pass+port, x20): %.2f ms at %d lines, %.2f ms at %d lines (%zu copies)\n",
              scanHalf * 1e3, half.lines, scanBig * 1e3, big.lines, found);
  std::printf("RATIO GetRules 20k / 10k lines: %.2f (linear = 2.0)\n", scanBig / scanHalf);
  cfgBig.reset();
  cfgHalf.reset();

  // 3. Peak heap while opening and holding the configuration.
  const long long base = g_live.load();
  g_peak = base;
  {
    auto cfg = cfgout::HTTPDConfigOpen(big.paths[0]);
    const long long held = g_live.load() - base;
    const long long peak = g_peak.load() - base;
    std::printf("heap: %lld bytes held, %lld bytes peak for %zu file bytes\n", held, peak, big.bytes);
    std::printf("RATIO peak heap / file bytes: %.2f (goal < 4 plus a small constant)\n",
                static_cast<double>(peak) / static_cast<double>(big.bytes));
  }
  if (argc <= 1) std::system(("rm -rf '" + dir + "'").c_str());
  return 0;
}
