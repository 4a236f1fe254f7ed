#include <map>
#include <random>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using namespace testing;

std::size_t Pick(std::mt19937& rng, std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }

TEST(ConfigProperty, AnyFilesRoundTripByteForByte) {
  std::mt19937 rng(20240611);
  testing::TempDir dir;
  const std::vector<std::string> names = {dir / "main.conf", dir / "a.conf", dir / "b.conf", dir / "c.conf"};
  const std::string pieces[] = {"\n", "\r\n", "\r", std::string(1, '\0'), "\xff\xc3(\x80", "# comment Port 80\n"};
  auto randomBytes = [&] {
    std::string out;
    for (std::size_t i = Pick(rng, 41); i > 0; --i) {
      const std::size_t k = Pick(rng, 10);
      if (k < 6) out += pieces[k];
      if (k == 6) out.append(1000 + Pick(rng, 2101), 'L');
      if (k == 7) out += (rng() % 2 ? "configfile " : "RcaConfigFile\t") + names[Pick(rng, 4)] + (rng() % 2 ? "  # c\n" : "\n");
      for (std::size_t n = k > 7 ? 1 + Pick(rng, 30) : 0; n > 0; --n) out.push_back(static_cast<char>(rng()));
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
      Edit& e = edits.emplace_back(Edit{HTTPDRuleToID(keywords[Pick(rng, 5)]), static_cast<int>(Pick(rng, 10)), "",
                                        static_cast<int>(rng() % files)});
      e.line = (e.what < 5 ? std::string(HTTPDIDToRule(e.id)) + "       v" : "port ") + std::to_string(rng() % 3) + "\n";
    }
    // Two copies in turn, so that one cannot spoil the other's memory.
    auto run = [&](bool remembering) {
      std::vector<std::vector<std::string>> images;
      auto cfg = HTTPDConfigOpen(dir / "main");
      for (const Edit& e : edits) {
        if (e.what < 5 && remembering) HTTPDReplaceRuleLine(*cfg, e.id, e.line);
        else if (e.what < 5) HTTPDReplaceRules(*cfg, e.id, LineList::FromTexts({e.line}), 0);
        else if (e.what < 8 && remembering) HTTPDRemoveAllRules(*cfg, e.id);
        else if (e.what < 8) HTTPDRemoveRules(*cfg, e.id, HTTPDGetRules(*cfg, e.id));
        else {  // some other change to the lines, as another page might make
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
