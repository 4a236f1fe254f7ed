// Seeded random tests: arbitrary files survive a read and write unchanged,
// and random edits never disturb the lines they do not touch.

#include <algorithm>
#include <cctype>
#include <map>
#include <random>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/config.h"
#include "config/temp_files.h"

namespace cfgout {
namespace {

using testing::CheckLinks;
using testing::FileImages;
using testing::MakeConfig;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Random file contents with the bytes that matter most: terminators, NULs,
// high bytes, comment and include keywords, and long lines.
std::string RandomBytes(std::mt19937& rng, const std::vector<std::string>& includeTargets) {
  std::string out;
  const int pieces = std::uniform_int_distribution<int>(0, 40)(rng);
  for (int i = 0; i < pieces; ++i) {
    switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
      case 0: out += "\n"; break;
      case 1: out += "\r\n"; break;
      case 2: out += "\r"; break;
      case 3: out.push_back('\0'); break;
      case 4: out += "\xff\xc3(\x80"; break;
      case 5: out.append(std::uniform_int_distribution<std::size_t>(1000, 3100)(rng), 'L'); break;
      case 6:
        if (!includeTargets.empty()) {
          const auto& target = includeTargets[std::uniform_int_distribution<std::size_t>(0, includeTargets.size() - 1)(rng)];
          out += (rng() % 2 ? "configfile " : "RcaConfigFile\t") + target + (rng() % 2 ? "  # c\n" : "\n");
        }
        break;
      case 7: out += "# comment Port 80\n"; break;
      default: {
        const int n = std::uniform_int_distribution<int>(1, 30)(rng);
        for (int k = 0; k < n; ++k) out.push_back(static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng)));
      }
    }
  }
  return out;
}

TEST(ConfigProperty, AnyFilesRoundTripByteForByte) {
  std::mt19937 rng(20240611);
  TempDir dir;
  const std::vector<std::string> names = {dir / "main.conf", dir / "a.conf", dir / "b.conf", dir / "c.conf"};
  for (int round = 0; round < 150; ++round) {
    std::map<std::string, std::string> images;
    for (const std::string& name : names) {
      images[name] = RandomBytes(rng, names);
      WriteFile(name, images[name]);
    }
    auto cfg = HTTPDConfigOpen(names[0]);
    ASSERT_TRUE(cfg);
    ASSERT_EQ(cfg->first()->path, names[0]);
    for (const ConfigFile& f : *cfg) {
      ASSERT_TRUE(images.count(f.path)) << f.path;
      ASSERT_GE(CheckLinks(f.lines.first()), 1u);
      std::string joined;
      for (const LineNode& l : f.lines) {
        ASSERT_LE(l.text.size(), kMaxReadLineLength);
        const std::size_t nl = l.text.find('\n');
        ASSERT_TRUE(nl == std::string::npos || nl + 1 == l.text.size());
        joined += l.text;
      }
      ASSERT_EQ(joined, images[f.path]) << "round " << round;
    }
    for (const std::string& name : names) WriteFile(name, "garbage");
    ASSERT_EQ(HTTPDConfigWrite(*cfg), 0);
    for (const ConfigFile& f : *cfg) ASSERT_EQ(ReadFile(f.path), images[f.path]) << "round " << round;
  }
}

// Normalised tokens of a directive line, for comparing as RuleSame does.
std::string Tokens(const std::string& line) {
  std::string out;
  for (const char* t = line.c_str(); t != nullptr; t = TokenNext(t)) {
    std::string token;
    while (std::isspace(static_cast<unsigned char>(*t))) ++t;
    for (const char* p = t; *p != '\0' && *p != '#' && !std::isspace(static_cast<unsigned char>(*p)); ++p) {
      token.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
    }
    out += token + "|";
  }
  return out;
}

std::multiset<std::string> InstanceTokens(const ConfigHandle& cfg, int id) {
  std::multiset<std::string> out;
  for (const LineNode& l : HTTPDGetRules(cfg, id)) out.insert(Tokens(l.text));
  return out;
}

TEST(ConfigProperty, RandomEditsKeepUntouchedLinesInOrder) {
  std::mt19937 rng(77);
  const std::vector<std::string> keywords = {"Port", "Gc", "AddType", "Map", "gc advisor"};
  const std::vector<std::string> values = {"80", "On", ".a a/a", "/x /y", "/lib/p.so:i", "1 2 3"};
  auto directive = [&](bool decorate) {
    std::string kw = keywords[rng() % keywords.size()];
    if (decorate && rng() % 2) std::transform(kw.begin(), kw.end(), kw.begin(), ::toupper);
    std::string line = (decorate && rng() % 3 == 0 ? "  " : "") + kw + (decorate && rng() % 2 ? "\t  " : " ") +
                       values[rng() % values.size()];
    if (decorate && rng() % 3 == 0) line += "   # note";
    return line + (decorate && rng() % 4 == 0 ? "\r\n" : "\n");
  };
  for (int round = 0; round < 300; ++round) {
    // Files of directives mixed with unique filler lines that no edit may touch.
    std::vector<std::string> images(1 + rng() % 3);
    std::vector<std::vector<std::string>> fillers(images.size());
    int fillerNo = 0;
    for (std::size_t f = 0; f < images.size(); ++f) {
      const int lines = static_cast<int>(rng() % 12);
      for (int i = 0; i < lines; ++i) {
        if (rng() % 2) {
          images[f] += directive(true);
        } else {
          std::string filler = (rng() % 2 ? "# filler " : "Filler ") + std::to_string(fillerNo++) + "\n";
          fillers[f].push_back(filler);
          images[f] += filler;
        }
      }
    }
    if (images[0].empty()) {
      images[0] = "Filler main\n";
      fillers[0].push_back(images[0]);
    }
    auto cfg = MakeConfig(images);
    for (int step = 0; step < 15; ++step) {
      const int id = HTTPDRuleToID(keywords[rng() % keywords.size()]);
      // Input lines with distinct tokens.
      LineList list;
      std::set<std::string> seen;
      const int count = static_cast<int>(rng() % 3);
      for (int i = 0; i < count; ++i) {
        std::string line = std::string(HTTPDIDToRule(id)) + " " + values[rng() % values.size()] + "\n";
        if (seen.insert(Tokens(line)).second) list.Append(line);
      }
      std::multiset<std::string> wanted;
      for (const LineNode& l : list) wanted.insert(Tokens(l.text));
      if (cfg->first()->lines.empty()) {
        // Nothing is done on a configuration whose main file has no lines.
        const auto before = FileImages(*cfg);
        HTTPDReplaceRules(*cfg, id, std::move(list), 1);
        ASSERT_EQ(FileImages(*cfg), before);
        continue;
      }
      switch (rng() % 4) {
        case 0:
          HTTPDReplaceRules(*cfg, id, std::move(list), 1);
          ASSERT_EQ(InstanceTokens(*cfg, id), wanted) << "round " << round;
          break;
        case 1: {
          const auto before = InstanceTokens(*cfg, id);
          HTTPDAddRules(*cfg, id, std::move(list));
          for (const std::string& w : wanted) ASSERT_TRUE(InstanceTokens(*cfg, id).count(w)) << w;
          ASSERT_GE(InstanceTokens(*cfg, id).size(), before.size());
          break;
        }
        case 2:
          HTTPDRemoveRules(*cfg, id, list);
          for (const std::string& w : wanted) ASSERT_FALSE(InstanceTokens(*cfg, id).count(w)) << w;
          break;
        default:
          HTTPDReplaceRules(*cfg, id, std::move(list), 0);
          break;
      }
      // Filler lines: byte-identical, same file, same order.
      std::size_t f = 0;
      for (const ConfigFile& file : *cfg) {
        CheckLinks(file.lines.first());
        std::vector<std::string> kept;
        for (const LineNode& l : file.lines) {
          if (l.text.rfind("Filler ", 0) == 0 || l.text.rfind("# filler ", 0) == 0) kept.push_back(l.text);
        }
        ASSERT_EQ(kept, fillers[f]) << "round " << round << " step " << step;
        ++f;
      }
    }
  }
}

}  // namespace
}  // namespace cfgout
