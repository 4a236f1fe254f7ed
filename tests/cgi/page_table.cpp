#include "cgi/page_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace cfgout::testing {

std::string Status(std::string_view text, std::string_view type, std::string_view help, std::string_view topic) {
  std::string out = "{\ntext=" + std::string(text) + "\ntype=" + std::string(type) + "\n";
  if (!help.empty()) out += "help=" + std::string(help) + "\n";
  if (!topic.empty()) out += "topic=" + std::string(topic) + "\n";
  return out + "flag=false\n}\n";
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

CgiResult RunFixture(const CgiEnvironment& base, std::string_view page, const std::optional<std::string>& body) {
  CgiEnvironment env = base;
  env["PATH_INFO"] = "/" + std::string(page);
  env["REQUEST_METHOD"] = body ? "POST" : "GET";
  if (body) env["CONTENT_LENGTH"] = std::to_string(body->size());
  return RunCgi(CFGOUT_FIXTURE_BINARY, env, body.value_or(""));
}

std::string Line(const std::string& page, std::string_view key) {
  const std::size_t at = page.find("\n" + std::string(key) + "=");
  if (at == std::string::npos) return "<no " + std::string(key) + ">";
  const std::size_t start = at + key.size() + 2;
  return page.substr(start, page.find('\n', start) - start);
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

void RunPageRows(std::string_view page, const std::vector<PageRow>& rows) {
  for (const PageRow& row : rows) {
    SCOPED_TRACE(std::string(page) + ": " + row.what);
    const TempDir dir("cfgout-page");
    const std::string inc = dir / "inc.conf";
    const std::string main = dir.Write("proxy.conf", Replace(row.main, "@INC@", inc));
    WriteFile(inc, row.inc);
    const ino_t mainNode = Inode(main), incNode = Inode(inc);
    const CgiResult r = RunFixture(
        {{"PACKAGE_TYPE", row.package}, {"SERVER_ROOT", dir.path()}, {"RULE_FILE", main}}, page, row.body);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(main), Replace(row.mainAfter.value_or(row.main), "@INC@", inc));
    EXPECT_EQ(ReadFile(inc), row.incAfter.value_or(row.inc));
    if (!row.body || r.out.find("\ntype=3\n") != std::string::npos || r.out.find("\ntype=0\n") != std::string::npos) {
      EXPECT_EQ(Inode(main), mainNode) << "rewritten";
      EXPECT_EQ(Inode(inc), incNode) << "rewritten";
    }
    for (const std::string& piece : row.shown) {
      if (piece.starts_with(kHeader)) {
        EXPECT_EQ(r.out, piece);
      } else {
        EXPECT_NE(("\n" + r.out).find("\n" + piece), std::string::npos) << "missing:\n" << piece << "\nin:\n" << r.out;
      }
    }
    EXPECT_EQ(r.out.find("<script>"), std::string::npos);
  }
}

}  // namespace cfgout::testing
