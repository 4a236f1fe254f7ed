#pragma once
// Generated proxy configurations for the benchmarks: directive lines of the
// common shapes with comments and blank lines between them, as a hand-kept
// configuration looks, written as a main file and the files it includes.
// Each benchmark lays out its own files from these pieces.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace cfgout::bench {

class RuleGenerator {
 public:
  // The same seed gives the same lines. With `portLines`, about one line in
  // fifty is a Port directive.
  RuleGenerator(unsigned seed, bool portLines) : rng_(seed), portLines_(portLines) {}

  // One directive of a common shape, numbered so that no two lines are alike.
  std::string DirectiveLine() {
    static const char* const kShapes[] = {
        "Pass      /docs%d/*     /var/www/docs%d/*\n",
        "Map       /old%d/*      /new%d/*\n",
        "AddType   .ext%d        application/x-type%d   binary  1.0\n",
        "Proxy     http://site%d.example.com/*   http://backend%d.example.com/*\n",
        "Protect   /private%d/*  Setup%d\n",
        "Enable    METHOD%d\n",
        "CacheQueries  PUBLIC http://query%d.example.com/*\n",
        "Exec      /cgi-bin%d/*  /opt/server/cgi-bin%d/*\n",
        "AddIcon   /icons/type%d.gif  TYP  .t%d\n",
        "CacheLastModifiedFactor http://host%d.example.com/* 0.%d\n",
    };
    char line[256];
    const char* shape = kShapes[rng_() % std::size(kShapes)];
    const int n = counter_++;
    std::snprintf(line, sizeof line, shape, n, n);
    return line;
  }

  // `count` lines: a quarter comments, a tenth blank, the rest directives.
  std::string Lines(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
      const unsigned kind = rng_() % 100;
      if (kind < 25) {
        out += "# " + std::string(20 + rng_() % 50, 'c') + " comment about the next directives\n";
      } else if (kind < 35) {
        out += "\n";
      } else if (kind < 37 && portLines_) {
        out += "Port      " + std::to_string(8000 + counter_++ % 1000) + "\n";
      } else {
        out += DirectiveLine();
      }
    }
    return out;
  }

 private:
  std::mt19937 rng_;
  bool portLines_;
  int counter_ = 0;
};

struct ConfigFiles {
  std::vector<std::string> paths;  // main file first
  std::size_t bytes = 0;
  int lines = 0;
};

// Writes images[i] as the file paths[i] and counts what was written.
// Returns false when a file cannot be written.
inline bool WriteConfigFiles(ConfigFiles& files, const std::vector<std::string>& images) {
  files.bytes = 0;
  files.lines = 0;
  for (std::size_t i = 0; i < files.paths.size() && i < images.size(); ++i) {
    std::ofstream out(files.paths[i], std::ios::binary | std::ios::trunc);
    out.write(images[i].data(), static_cast<std::streamsize>(images[i].size()));
    if (!out) return false;
    files.bytes += images[i].size();
    files.lines += static_cast<int>(std::count(images[i].begin(), images[i].end(), '\n'));
  }
  return true;
}

}  // namespace cfgout::bench
