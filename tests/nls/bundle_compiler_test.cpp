#include "bundle_sources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace cfgout::bundles {
namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

MessageSet Catalogue(std::string_view text) {
  MessageSet set;
  std::string error;
  EXPECT_TRUE(ParseCatalogue(text, "t.msg", set, error)) << error;
  return set;
}

std::string CatalogueError(std::string_view text) {
  MessageSet set;
  std::string error;
  EXPECT_FALSE(ParseCatalogue(text, "t.msg", set, error));
  return error;
}

// A scratch folder for source files, removed at the end of each test.
class SourceFolder : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& content) { temp_.Write(name, content); }
  bool Template(const std::string& name, Lines& lines, std::string& error) {
    return ReadTemplate(dir_ / name, lines, error);
  }

  cfgout::testing::TempDir temp_{"cfgout-bundle"};
  const fs::path dir_{temp_.path()};
};

TEST(ParseCatalogue, NumbersTextsGapsAndEscapes) {
  MessageSet set = Catalogue(
      "# comment\n"
      "\n"
      "   \t\n"
      "2\tTab separated\n"
      "4    spaces \\n\\t\\\\ \\x kept\r\n"
      "  5\t# not a comment\n"
      "6\n"
      "7\ttrailing  \n"
      "3\tout of order");
  // Number 1 is a gap (no message: the program's built-in text applies); 6 is defined empty.
  EXPECT_EQ(set.messages, (Lines{"\xEF\xBF\xBF", "Tab separated", "out of order", "spaces \n\t\\ \\x kept",
                                 "# not a comment", "", "trailing  "}));
  EXPECT_EQ(set.origin, "t.msg");
  EXPECT_TRUE(Catalogue("# only comments\n").messages.empty());
  EXPECT_EQ(Catalogue("1\tends in backslash \\").messages, Lines{"ends in backslash \\"});
}

TEST(ParseCatalogue, RejectsDuplicatesAndMalformedNumbers) {
  EXPECT_EQ(CatalogueError("1\ta\n# x\n1\tb\n"), "t.msg:3: message 1 is already defined on line 1");
  EXPECT_EQ(CatalogueError("12abc\n"), "t.msg:1: expected \"<number><TAB><text>\"");
  EXPECT_EQ(CatalogueError("text without number\n"), "t.msg:1: expected \"<number><TAB><text>\"");
  EXPECT_EQ(CatalogueError("0\tzero\n"), "t.msg:1: message number must be 1 to 100000");
  EXPECT_EQ(CatalogueError("100001\thuge\n"), "t.msg:1: message number must be 1 to 100000");
}

TEST_F(SourceFolder, TemplateLinesKeepTheirTextAndALineFeedThenTheEndMark) {
  Write("page.html", "<p>100%% \"done\"</p>  \r\n\t<b>x</b>\n");
  Lines lines;
  std::string error;
  ASSERT_TRUE(Template("page.html", lines, error)) << error;
  EXPECT_EQ(lines, (Lines{"<p>100%% \"done\"</p>  \n", "\t<b>x</b>\n", ""}));

  // The last line gets its line feed with or without one in the file; a
  // carriage return at the end of the file is a line end too.
  Write("noeol.html", "a\nb");
  ASSERT_TRUE(Template("noeol.html", lines, error));
  EXPECT_EQ(lines, (Lines{"a\n", "b\n", ""}));
  Write("cr.html", "a\r\nb\r");
  ASSERT_TRUE(Template("cr.html", lines, error));
  EXPECT_EQ(lines, (Lines{"a\n", "b\n", ""}));

  // Whitespace inside a line stays, including a carriage return that does not
  // end the line.
  Write("pre.html", "<pre>\n  two  spaces\ta\rb\n</pre>\n");
  ASSERT_TRUE(Template("pre.html", lines, error));
  EXPECT_EQ(lines, (Lines{"<pre>\n", "  two  spaces\ta\rb\n", "</pre>\n", ""}));

  Write("empty.html", "");
  ASSERT_TRUE(Template("empty.html", lines, error));
  EXPECT_EQ(lines, Lines{""});
}

TEST_F(SourceFolder, IncludeLinesAreReplacedRecursively) {
  Write("page.html", "top\n  <!--#include file=\"head.html\"-->\t\nbottom\n");
  Write("head.html", "head 1\n<!--#include file=\"inner.html\"-->\nhead 2\n");
  Write("inner.html", "inner\n");
  // Not an include: other text on the line, or another directive.
  Write("other.html", "x <!--#include file=\"head.html\"-->\n<!--#include virtual=\"head.html\"-->\n");
  Lines lines;
  std::string error;
  ASSERT_TRUE(Template("page.html", lines, error)) << error;
  EXPECT_EQ(lines, (Lines{"top\n", "head 1\n", "inner\n", "head 2\n", "bottom\n", ""}));
  ASSERT_TRUE(Template("other.html", lines, error)) << error;
  EXPECT_EQ(lines, (Lines{"x <!--#include file=\"head.html\"-->\n",
                          "<!--#include virtual=\"head.html\"-->\n", ""}));

  // The same file may be included twice, one after the other.
  Write("twice.html", "<!--#include file=\"inner.html\"-->\n<!--#include file=\"inner.html\"-->\n");
  ASSERT_TRUE(Template("twice.html", lines, error)) << error;
  EXPECT_EQ(lines, (Lines{"inner\n", "inner\n", ""}));

  // An included file's last line gets its line feed even when the file
  // lacks one, and its blank lines stay.
  Write("bare.html", "one\n\ntwo");
  Write("outer.html", "<!--#include file=\"bare.html\"-->\r\nafter");
  ASSERT_TRUE(Template("outer.html", lines, error)) << error;
  EXPECT_EQ(lines, (Lines{"one\n", "\n", "two\n", "after\n", ""}));
}

TEST_F(SourceFolder, IncludeCyclesMissingFilesAndEscapesAreErrors) {
  Write("a.html", "<!--#include file=\"b.html\"-->\n");
  Write("b.html", "b\n<!--#include file=\"a.html\"-->\n");
  Write("self.html", "<!--#include file=\"self.html\"-->\n");
  Write("missing.html", "<!--#include file=\"nowhere.html\"-->\n");
  Write("up.html", "<!--#include file=\"../secret.html\"-->\n");
  Lines lines;
  std::string error;
  EXPECT_FALSE(Template("a.html", lines, error));
  EXPECT_NE(error.find("include cycle: a.html -> b.html -> a.html"), std::string::npos) << error;
  EXPECT_FALSE(Template("self.html", lines, error));
  EXPECT_NE(error.find("include cycle"), std::string::npos) << error;
  EXPECT_FALSE(Template("missing.html", lines, error));
  EXPECT_NE(error.find("nowhere.html: cannot be read"), std::string::npos) << error;
  EXPECT_FALSE(Template("up.html", lines, error));
  EXPECT_NE(error.find("must name a file beside the template"), std::string::npos) << error;
}

TEST_F(SourceFolder, BlankLinesAreLineFeedsAndOverlongPagesAreErrors) {
  // A blank line is a line feed, not the end of the page.
  Write("gap.html", "a\n\n\r\nb\n\n");
  Lines lines;
  std::string error;
  ASSERT_TRUE(Template("gap.html", lines, error)) << error;
  EXPECT_EQ(lines, (Lines{"a\n", "\n", "\n", "b\n", "\n", ""}));

  std::string longest, tooLong;
  for (int i = 0; i < 499; ++i) longest += "x\n";
  tooLong = longest + "y\n";
  Write("longest.html", longest);
  Write("toolong.html", tooLong);
  EXPECT_TRUE(Template("longest.html", lines, error)) << error;
  ASSERT_EQ(lines.size(), 500u);
  EXPECT_EQ(lines[498], "x\n");
  EXPECT_EQ(lines[499], "");
  EXPECT_FALSE(Template("toolong.html", lines, error));
  EXPECT_NE(error.find("500 lines"), std::string::npos) << error;
}

TEST_F(SourceFolder, ABundleCollectsCataloguesAndPages) {
  Write("2.msg", "1\ttwo-one\n");
  Write("10.msg", "1\tten-one\n");
  Write("pages.list", "# set page file\n\n75  PROTECT  protect.html\n");
  Write("protect.html", "<p>%s</p>\n");
  Bundle bundle;
  std::string error;
  ASSERT_TRUE(CollectBundle(dir_, bundle, error)) << error;
  ASSERT_EQ(bundle.sets.size(), 3u);
  EXPECT_EQ(bundle.sets.at(2).messages, Lines{"two-one"});
  EXPECT_EQ(bundle.sets.at(10).messages, Lines{"ten-one"});
  EXPECT_EQ(bundle.sets.at(75).messages, (Lines{"<p>%s</p>\n", ""}));

  std::string text;
  ASSERT_TRUE(WriteIcuText(bundle, "root", text, error)) << error;
  EXPECT_EQ(text,
            "// Generated by the cfgout bundle compiler. Do not edit.\n"
            "root:table {\n"
            "    force_encoding:string { \"UTF-8\" }\n"
            "    \"2\":array {\n"
            "        \"two-one\",\n"
            "    }\n"
            "    \"10\":array {\n"
            "        \"ten-one\",\n"
            "    }\n"
            "    \"75\":array {\n"
            "        \"<p>%s</p>\\u000A\",\n"
            "        \"\",\n"
            "    }\n"
            "}\n");
}

TEST_F(SourceFolder, SetConflictsAndBadNamesAreErrors) {
  Write("75.msg", "1\tx\n");
  Write("pages.list", "75 PROTECT protect.html\n");
  Write("protect.html", "p\n");
  Bundle bundle;
  std::string error;
  EXPECT_FALSE(CollectBundle(dir_, bundle, error));
  EXPECT_NE(error.find("message set 75 is already defined by"), std::string::npos) << error;

  fs::remove(dir_ / "75.msg");
  Write("pages.list", "75 PROTECT protect.html\n76 PROTECT protect.html\n");
  bundle = Bundle{};
  EXPECT_FALSE(CollectBundle(dir_, bundle, error));
  EXPECT_NE(error.find("pages.list:2: page PROTECT is already listed on line 1"), std::string::npos)
      << error;

  Write("pages.list", "75 PROTECT\n");
  bundle = Bundle{};
  EXPECT_FALSE(CollectBundle(dir_, bundle, error));
  EXPECT_NE(error.find("pages.list:1: expected"), std::string::npos) << error;

  fs::remove(dir_ / "pages.list");
  Write("notes.msg", "1\tx\n");
  bundle = Bundle{};
  EXPECT_FALSE(CollectBundle(dir_, bundle, error));
  EXPECT_NE(error.find("notes.msg: a catalogue's file name is its message set number"),
            std::string::npos)
      << error;
}

TEST(CollectBundle, AnAbsentFolderGivesAnEmptyBundle) {
  Bundle bundle;
  std::string error;
  EXPECT_TRUE(CollectBundle("/nonexistent/cfgout/messages", bundle, error));
  EXPECT_TRUE(bundle.sets.empty());
  std::string text;
  ASSERT_TRUE(WriteIcuText(bundle, "root", text, error));
  EXPECT_EQ(text,
            "// Generated by the cfgout bundle compiler. Do not edit.\n"
            "root:table {\n"
            "    force_encoding:string { \"UTF-8\" }\n"
            "}\n");
}

TEST(WriteIcuText, EscapesQuotesBackslashesAndEverythingBeyondAscii) {
  Bundle bundle;
  bundle.forceEncoding.clear();
  bundle.sets[3].messages = {"q\"b\\ caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\ttab\x7F"};
  std::string text, error;
  ASSERT_TRUE(WriteIcuText(bundle, "ja_JP", text, error)) << error;
  EXPECT_EQ(text,
            "// Generated by the cfgout bundle compiler. Do not edit.\n"
            "ja_JP:table {\n"
            "    \"3\":array {\n"
            "        \"q\\\"b\\\\ caf\\u00E9 \\u65E5 \\U0001F600\\u0009tab\\u007F\",\n"
            "    }\n"
            "}\n");
}

TEST(WriteIcuText, RejectsInvalidUtf8) {
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "a\x80"}) {
    Bundle bundle;
    bundle.sets[2].origin = "2.msg";
    bundle.sets[2].messages = {"ok", bad};
    std::string text, error;
    EXPECT_FALSE(WriteIcuText(bundle, "root", text, error)) << bad;
    EXPECT_EQ(error, "2.msg: message 2 is not valid UTF-8");
  }
}

}  // namespace
}  // namespace cfgout::bundles
