// Seeded random tests: arbitrary files survive a read and write unchanged,
// random edits never disturb the lines they do not touch, and the
// remembering operations equal the plain ones.
#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using testing::FileImages;
using testing::ReadFile;
using testing::WriteFile;

std::size_t Pick(std::mt19937& rng, std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }

TEST(ConfigProperty, AnyFilesRoundTripByteForByte) {
  std::mt19937 rng(20240611);
  testing::TempDir dir;
  const std::vector<std::string> names = {dir / "main.conf", dir / "a.conf", dir / "b.conf", dir / "c.conf"};
  // Pieces with the bytes that matter most: terminators, NULs, high bytes,
  // comments, includes and long lines.
  auto randomBytes = [&] {
    std::string out;
    for (std::size_t i = Pick(rng, 41); i > 0; --i) {
      switch (Pick(rng, 10)) {
        case 0: out += "\n"; break;
        case 1: out += "\r\n"; break;
        case 2: out += "\r"; break;
        case 3: out.push_back('\0'); break;
        case 4: out += "\xff\xc3(\x80"; break;
        case 5: out.append(1000 + Pick(rng, 2101), 'L'); break;
        case 6: out += (rng() % 2 ? "configfile " : "RcaConfigFile\t") + names[Pick(rng, 4)] + (rng() % 2 ? "  # c\n" : "\n"); break;
        case 7: out += "# comment Port 80\n"; break;
        default:
          for (std::size_t k = 1 + Pick(rng, 30); k > 0; --k) out.push_back(static_cast<char>(rng()));
      }
    }
    return out;
  };
  for (int round = 0; round < 150; ++round) {
    std::map<std::string, std::string> images;
    for (const std::string& name : names) WriteFile(name, images[name] = randomBytes());
    auto cfg = HTTPDConfigOpen(names[0]);
    ASSERT_TRUE(cfg);
    ASSERT_EQ(cfg->first()->path, names[0]);
    const std::vector<std::string> read = FileImages(*cfg);
    std::size_t f = 0;
    for (const ConfigFile& file : *cfg) {
      ASSERT_TRUE(images.count(file.path)) << file.path;
      ASSERT_EQ(read[f++], images[file.path]) << "round " << round;
      for (const LineNode& l : file.lines) {
        ASSERT_LE(l.text.size(), kMaxReadLineLength);
        ASSERT_TRUE(l.text.find('\n') == std::string::npos || l.text.find('\n') + 1 == l.text.size());
      }
    }
    for (const std::string& name : names) WriteFile(name, "garbage");
    ASSERT_EQ(HTTPDConfigWrite(*cfg), 0);
    for (const ConfigFile& file : *cfg) ASSERT_EQ(ReadFile(file.path), images[file.path]) << "round " << round;
  }
}

// The tokens of a directive line, lower case, for comparing as RuleSame does.
std::string Tokens(std::string_view line) {
  std::string out;
  for (std::size_t at = 0; (at = line.find_first_not_of(" \t\r\n", at)) != std::string::npos && line[at] != '#';) {
    const std::size_t end = std::min(line.find_first_of(" \t\r\n#", at), line.size());
    for (char c : line.substr(at, end - at)) out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    out += "|";
    at = end;
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
  const char* keywords[] = {"Port", "Gc", "AddType", "Map", "gc advisor"};
  const char* values[] = {"80", "On", ".a a/a", "/x /y", "/lib/p.so:i", "1 2 3"};
  for (int round = 0; round < 300; ++round) {
    // Files of decorated directives mixed with unique filler lines that no edit may touch.
    std::vector<std::string> images(1 + rng() % 3);
    std::vector<std::vector<std::string>> fillers(images.size());
    for (std::size_t f = 0, filler = 0; f < images.size(); ++f) {
      for (int i = static_cast<int>(rng() % 12); i > 0; --i) {
        if (rng() % 2 == 0) {
          fillers[f].push_back((rng() % 2 ? "# filler " : "Filler ") + std::to_string(filler++) + "\n");
          images[f] += fillers[f].back();
          continue;
        }
        std::string kw = keywords[rng() % 5];
        if (rng() % 2) std::transform(kw.begin(), kw.end(), kw.begin(), ::toupper);
        images[f] += (rng() % 3 == 0 ? "  " : "") + kw + (rng() % 2 ? "\t  " : " ") + values[rng() % 6] +
                     (rng() % 3 == 0 ? "   # note" : "") + (rng() % 4 == 0 ? "\r\n" : "\n");
      }
    }
    if (images[0].empty()) fillers[0].push_back(images[0] = "Filler main\n");
    auto cfg = testing::MakeConfig(images);
    for (int step = 0; step < 15; ++step) {
      const int id = HTTPDRuleToID(keywords[rng() % 5]);
      LineList list;  // lines with distinct tokens
      std::set<std::string> seen;
      for (int i = static_cast<int>(rng() % 3); i > 0; --i) {
        const std::string line = std::string(HTTPDIDToRule(id)) + " " + values[rng() % 6] + "\n";
        if (seen.insert(Tokens(line)).second) list.Append(line);
      }
      const std::multiset<std::string> wanted(seen.begin(), seen.end());
      if (cfg->first()->lines.empty()) {  // nothing is done while the main file has no lines
        const auto images = FileImages(*cfg);
        HTTPDReplaceRules(*cfg, id, std::move(list), 1);
        ASSERT_EQ(FileImages(*cfg), images);
        continue;
      }
      const auto before = InstanceTokens(*cfg, id);
      const unsigned op = rng() % 4;
      if (op == 0) {
        HTTPDReplaceRules(*cfg, id, std::move(list), 1);
        ASSERT_EQ(InstanceTokens(*cfg, id), wanted) << "round " << round;
      } else if (op == 1) {
        HTTPDAddRules(*cfg, id, std::move(list));
        const auto after = InstanceTokens(*cfg, id);
        for (const std::string& w : wanted) ASSERT_TRUE(after.count(w)) << w;
        ASSERT_GE(after.size(), before.size());
      } else if (op == 2) {
        HTTPDRemoveRules(*cfg, id, list);
        for (const std::string& w : wanted) ASSERT_FALSE(InstanceTokens(*cfg, id).count(w)) << w;
      } else {
        HTTPDReplaceRules(*cfg, id, std::move(list), 0);
      }
      std::size_t f = 0;  // filler lines: byte-identical, same file, same order
      for (const ConfigFile& file : *cfg) {
        std::vector<std::string> kept;
        for (const std::string& t : testing::Texts(file.lines)) {
          if (t.starts_with("Filler ") || t.starts_with("# filler ")) kept.push_back(t);
        }
        ASSERT_EQ(kept, fillers[f++]) << "round " << round << " step " << step;
      }
    }
  }
}

// Random form-like edits through the remembering operations give exactly
// the configuration the plain Replace and Remove operations give, whatever
// else changes the lines in between.
TEST(ConfigProperty, RememberingOperationsEqualThePlainOnes) {
  std::mt19937 rng(7);
  const char* keywords[] = {"port", "userid", "groupid", "hostname", "pidfile"};
  const char* lines[] = {"Port 80\n", "UserID www\n", "GroupID g\n", "# c\n", "HostName h\n", "\n",
                         "Pass /a /b\n", "port    81\n", "userid   WWW # old\n"};
  testing::TempDir dir;
  for (int round = 0; round < 200; ++round) {
    // Read through the reader, so that cut lines carry their continuation mark.
    const int files = 1 + static_cast<int>(Pick(rng, 3));
    std::string chain;
    for (int f = 0; f < files; ++f) {
      std::string image;
      for (std::size_t i = Pick(rng, 7); i > 0; --i) image += lines[Pick(rng, 9)];
      if (rng() % 5 == 0) image += "UserID " + std::string(1030, 'u') + "\n";  // a cut line
      if (f > 0) chain += "configfile " + dir.Write("f" + std::to_string(f), image) + "\n";
      if (f == 0) chain = image.empty() ? "# main\n" : image;
    }
    WriteFile(dir / "main", chain);
    struct Edit { int id, what; std::string line; int file; };
    std::vector<Edit> edits;
    for (int step = 0; step < 25; ++step) {
      Edit e{HTTPDRuleToID(keywords[Pick(rng, 5)]), static_cast<int>(Pick(rng, 10)), "", static_cast<int>(rng() % files)};
      e.line = e.what < 5 ? std::string(HTTPDIDToRule(e.id)) + "       v" + std::to_string(rng() % 3) + "\n"
                          : "port " + std::to_string(rng() % 3) + "\n";
      edits.push_back(e);
    }
    // The same edits on two copies, one after the other (so that the plain
    // copy's edits cannot spoil the other's memory).
    auto run = [&](bool remembering) {
      std::vector<std::vector<std::string>> images;
      auto cfg = HTTPDConfigOpen(dir / "main");
      for (const Edit& e : edits) {
        if (e.what < 5 && remembering) {
          HTTPDReplaceRuleLine(*cfg, e.id, e.line);
        } else if (e.what < 5) {
          HTTPDReplaceRules(*cfg, e.id, LineList::FromTexts({e.line}), 0);
        } else if (e.what < 8 && remembering) {
          HTTPDRemoveAllRules(*cfg, e.id);
        } else if (e.what < 8) {
          HTTPDRemoveRules(*cfg, e.id, HTTPDGetRules(*cfg, e.id));
        } else {  // some other change to the lines, as another page might make
          ConfigFile* f = cfg->first();
          for (int i = 0; i < e.file && f->next != nullptr; ++i) f = f->next;
          if (e.what == 8) f->lines.Append(e.line);
          if (e.what == 9 && f->lines.first() != nullptr) LineRemove(f->lines, f->lines.first());
        }
        HTTPDGetRules(*cfg, e.id);  // reading in between (as display code does) changes nothing
        images.push_back(FileImages(*cfg));
      }
      return images;
    };
    ASSERT_EQ(run(true), run(false)) << "round " << round;
  }
}

}  // namespace
}  // namespace cfgout
