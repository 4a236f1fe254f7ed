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

namespace cfgout {
namespace {

// Random form-like edits through the remembering operations give exactly
// the configuration the plain Replace and Remove operations give, whatever
// else changes the lines in between.
TEST(ConfigProperty, RememberingOperationsEqualThePlainOnes) {
  std::mt19937 rng(7);
  const char* keywords[] = {"port", "userid", "groupid", "hostname", "pidfile"};
  const char* lines[] = {"Port 80\n", "UserID www\n", "GroupID g\n", "# c\n", "HostName h\n", "\n",
                         "Pass /a /b\n", "port    81\n", "userid   WWW # old\n"};
  auto randomImage = [&] {
    std::string image;
    const int n = std::uniform_int_distribution<int>(0, 6)(rng);
    for (int i = 0; i < n; ++i) image += lines[rng() % std::size(lines)];
    if (rng() % 5 == 0) image += "UserID " + std::string(1030, 'u') + "\n";  // a cut line
    return image;
  };
  testing::TempDir dir;
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> images;
    const int files = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int f = 0; f < files; ++f) images.push_back(randomImage());
    if (images[0].empty()) images[0] = "# main\n";
    // Read through the reader so that cut lines carry their continuation mark.
    std::string chain;
    for (int f = files - 1; f >= 1; --f) WriteFile(dir / ("f" + std::to_string(f)), images[f]);
    for (int f = 1; f < files; ++f) chain += "configfile " + dir / ("f" + std::to_string(f)) + "\n";
    WriteFile(dir / "main", images[0] + chain);
    // One sequence of edits, applied to two copies: through the remembering
    // operations and through the plain ones (one copy after the other, so
    // that the plain copy's edits cannot spoil the other's memory).
    struct Edit {
      int id;
      int what;
      std::string line;
      int file;
    };
    std::vector<Edit> edits;
    for (int step = 0; step < 25; ++step) {
      Edit e{HTTPDRuleToID(keywords[rng() % std::size(keywords)]), std::uniform_int_distribution<int>(0, 9)(rng), "",
             static_cast<int>(rng() % files)};
      e.line = e.what < 5 ? std::string(HTTPDIDToRule(e.id)) + "       v" + std::to_string(rng() % 3) + "\n"
                          : "port " + std::to_string(rng() % 3) + "\n";
      edits.push_back(e);
    }
    auto run = [&](bool remembering) {
      std::vector<std::vector<std::string>> images;
      auto cfg = HTTPDConfigOpen(dir / "main");
      for (const Edit& e : edits) {
        if (e.what < 5) {
          if (remembering) {
            HTTPDReplaceRuleLine(*cfg, e.id, e.line);
          } else {
            HTTPDReplaceRules(*cfg, e.id, LineList::FromTexts({e.line}), 0);
          }
        } else if (e.what < 8) {
          if (remembering) {
            HTTPDRemoveAllRules(*cfg, e.id);
          } else {
            HTTPDRemoveRules(*cfg, e.id, HTTPDGetRules(*cfg, e.id));
          }
        } else {
          // Some other change to the lines, as another page might make.
          ConfigFile* f = cfg->first();
          for (int i = 0; i < e.file && f->next != nullptr; ++i) f = f->next;
          if (e.what == 8) {
            f->lines.Append(e.line);
          } else if (f->lines.first() != nullptr) {
            LineRemove(f->lines, f->lines.first());
          }
        }
        // Reading in between (as display code does) changes nothing.
        HTTPDGetRules(*cfg, e.id);
        images.push_back(FileImages(*cfg));
        for (const ConfigFile& f : *cfg) CheckLinks(f.lines.first());
      }
      return images;
    };
    ASSERT_EQ(run(true), run(false)) << "round " << round;
  }
}

}  // namespace
}  // namespace cfgout
