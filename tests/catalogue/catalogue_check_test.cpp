#include "nls/catalogue_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace cfgout::catalogue {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// ---------------------------------------------------------------------------
// Catalogue source files

TEST(ParseCatalogue, ReadsNumberedTextsAndSkipsCommentsAndBlankLines) {
  const auto cat = ParseCatalogue(
      "# a comment\n"
      "\n"
      "1\tReady\n"
      "   \n"
      "2\tTwo\\nlines\\tand a tab\\\\ and a backslash\r\n"
      "10    spaces also separate\n"
      "#12\tnot a message\n",
      "2.msg");
  EXPECT_THAT(cat.problems, IsEmpty());
  ASSERT_EQ(cat.messages.size(), 3u);
  EXPECT_EQ(cat.messages.at(1), "Ready");
  EXPECT_EQ(cat.messages.at(2), "Two\nlines\tand a tab\\ and a backslash");
  EXPECT_EQ(cat.messages.at(10), "spaces also separate");
}

TEST(ParseCatalogue, KeepsQuotesMarkupAndPercentSequencesAsWritten) {
  const auto cat = ParseCatalogue(
      "177\t<input type=\"checkbox\" value=\"on\" %%s>Cache local domain files</td></tr>\n", "2.msg");
  EXPECT_THAT(cat.problems, IsEmpty());
  EXPECT_EQ(cat.messages.at(177),
            "<input type=\"checkbox\" value=\"on\" %%s>Cache local domain files</td></tr>");
}

TEST(ParseCatalogue, ReportsEveryMalformedLineWithItsLineNumber) {
  const auto cat = ParseCatalogue(
      "3\tthree\n"        // 1
      "no number\n"       // 2
      "4\n"               // 3: number without text
      "5\t\n"             // 4: separator but empty text
      "6\tbad \\q\n"      // 5: unknown escape
      "3\tagain\n"        // 6: duplicate
      "2\tbackwards\n"    // 7: out of order
      "0\tzero\n",        // 8
      "x.msg");
  EXPECT_THAT(cat.problems,
              ElementsAre("x.msg:2: expected <number><TAB><text>", "x.msg:3: expected <number><TAB><text>",
                          "x.msg:4: message 5 has no text",
                          "x.msg:5: message 6: only \\n, \\t and \\\\ are escapes (write \\\\ for a backslash)",
                          "x.msg:6: message 3 appears twice",
                          "x.msg:7: message 2 stands after message 5 (keep the file sorted by number)",
                          "x.msg:8: message numbers start at 1"));
  EXPECT_EQ(cat.messages.at(3), "three");
}

TEST(ParseCatalogue, RejectsTextThatIsNotUtf8) {
  EXPECT_THAT(ParseCatalogue("1\tcaf\xc3\xa9\n", "a.msg").problems, IsEmpty());
  EXPECT_THAT(ParseCatalogue("1\tcaf\xe9\n", "a.msg").problems,
              ElementsAre("a.msg: the file is not valid UTF-8"));
  EXPECT_THAT(ParseCatalogue("1\t\xed\xa0\x80\n", "a.msg").problems,  // a lone surrogate
              ElementsAre("a.msg: the file is not valid UTF-8"));
}

// ---------------------------------------------------------------------------
// Percent sequences

TEST(Conversions, CountsOnlyRealConversions) {
  EXPECT_EQ(CountConversions("%s", 's'), 1);
  EXPECT_EQ(CountConversions("User %s already exists in password file %s", 's'), 2);
  EXPECT_EQ(CountConversions("%%s", 's'), 0);  // a percent sign, then "s"
  EXPECT_EQ(CountConversions("%%%s", 's'), 1);
  EXPECT_EQ(CountConversions("(RC %d)", 'd'), 1);
  EXPECT_EQ(CountConversions("(RC %d)", 's'), 0);
}

TEST(Conversions, ListsSequencesTheFormatterDoesNotSubstitute) {
  EXPECT_THAT(UnsupportedConversions("%s %d %% %%s plain"), IsEmpty());
  EXPECT_THAT(UnsupportedConversions("50% off, %5s, %n and a final %"),
              ElementsAre("% ", "%5", "%n", "%"));
}

// ---------------------------------------------------------------------------
// Comment stripping

TEST(StripComments, BlanksCommentsButKeepsLiteralsAndLineBreaks) {
  const std::string src =
      "a(); // get_message(1)\n"
      "/* nlsGetString(1, 2, 3, \"x\")\n   still comment */ b();\n"
      "const char* url = \"http://host/*x*/\";\n"
      "char q = '\"'; int n = 1'000; // after\n"
      "auto r = R\"(raw // not a comment)\";\n";
  const std::string out = StripComments(src);
  EXPECT_EQ(out.size(), src.size());
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 6);
  EXPECT_EQ(out.find("get_message"), std::string::npos);
  EXPECT_EQ(out.find("nlsGetString"), std::string::npos);
  EXPECT_NE(out.find("b();"), std::string::npos);
  EXPECT_NE(out.find("\"http://host/*x*/\""), std::string::npos);
  EXPECT_NE(out.find("int n = 1'000;"), std::string::npos);
  EXPECT_EQ(out.find("after"), std::string::npos);
  EXPECT_NE(out.find("R\"(raw // not a comment)\""), std::string::npos);
}

// ---------------------------------------------------------------------------
// Finding lookups in the code

std::vector<MessageUse> Uses(const std::string& src, const std::map<std::string, int>& constants = {}) {
  const std::string stripped = StripComments(src);
  auto all = constants;
  for (const auto& [k, v] : FindIntConstants(stripped)) all.emplace(k, v);
  return FindMessageUses(stripped, "f.cpp", all);
}

TEST(FindMessageUses, FindsEveryLookupFormWithSetNumberAndLine) {
  const auto uses = Uses(
      "x = nlsGetString(1, 2, 12, \"The requested configuration changes have been completed "
      "successfully.\");\n"
      "y = nlsGetString(kSlotConfigMessages, 2, 187,\n"
      "                 nullptr);\n"
      "z = cfgout::nlsGetString(cfgout::kSlotConfigMessages, 1, 116, nullptr);\n"
      "w = get_message(60); v = get_config_message( 104 ); u = get_validation_msg(25);\n",
      {{"kSlotConfigMessages", 1}});
  ASSERT_EQ(uses.size(), 6u);
  EXPECT_EQ(uses[0].set, 2);
  EXPECT_EQ(uses[0].number, 12);
  EXPECT_EQ(uses[0].builtinText,
            "The requested configuration changes have been completed successfully.");
  EXPECT_EQ(uses[0].where, "f.cpp:1");
  EXPECT_EQ(uses[1].number, 187);
  EXPECT_EQ(uses[1].builtinText, std::nullopt);
  EXPECT_EQ(uses[1].where, "f.cpp:2");
  EXPECT_EQ(uses[2].set, 1);
  EXPECT_EQ(uses[2].number, 116);
  EXPECT_EQ(uses[3].set, 2);
  EXPECT_EQ(uses[3].number, 60);
  EXPECT_EQ(uses[4].set, 2);
  EXPECT_EQ(uses[4].number, 104);
  EXPECT_EQ(uses[5].set, 1);
  EXPECT_EQ(uses[5].number, 25);
  EXPECT_EQ(uses[5].where, "f.cpp:5");
}

TEST(FindMessageUses, DecodesBuiltinTextsWithEscapesAndConcatenation) {
  const auto uses = Uses(
      "nlsGetString(1, 2, 17, \"<input type=\\\"checkbox\\\" \"\n"
      "                       \"name=\\\"sslclientauth\\\" %s>\");\n"
      "nlsGetString(1, 2, 181, \"value=\\\"on\\\" %%s>\\tx\\\\y\");\n");
  ASSERT_EQ(uses.size(), 2u);
  EXPECT_EQ(uses[0].builtinText, "<input type=\"checkbox\" name=\"sslclientauth\" %s>");
  EXPECT_EQ(uses[1].builtinText, "value=\"on\" %%s>\tx\\y");
}

TEST(FindMessageUses, ResolvesNamedNumbersAndSkipsVariables) {
  const auto uses = Uses(
      "inline constexpr int kMsgReady = 11;\n"
      "const int kMsgDone{12};\n"
      "a = nlsGetString(1, 2, kMsgReady, \"Ready\");\n"
      "b = get_message(msg::kMsgDone);\n"
      "c = nlsGetString(1, 2, id, nullptr);\n"
      "d = get_message(row.messageId);\n"
      "e = nlsGetString(1, 2, 9, name);\n");
  ASSERT_EQ(uses.size(), 3u);
  EXPECT_EQ(uses[0].number, 11);
  EXPECT_EQ(uses[0].builtinText, "Ready");
  EXPECT_EQ(uses[1].number, 12);
  EXPECT_EQ(uses[2].number, 9);
  EXPECT_EQ(uses[2].builtinText, std::nullopt);  // not a literal: nothing to compare
}

TEST(FindMessageUses, IgnoresDeclarationsOtherSlotsCommentsAndLongerNames) {
  const auto uses = Uses(
      "const char* nlsGetString(int slot, int set, int id, const char* defaultText);\n"
      "const char* get_message(int id);\n"
      "nlsGetString(2, 8, 1, nullptr);      // a template line, not a message\n"
      "nlsGetString(1, 3, 1, nullptr);      // no such message set\n"
      "my_get_message(5); get_messages(6); s = \"get_message(7)\";\n"
      "// nlsGetString(1, 2, 99, nullptr)\n");
  EXPECT_THAT(uses, IsEmpty());
}

TEST(FindIntConstants, DropsNamesDefinedWithTwoValues) {
  const auto constants = FindIntConstants(
      "constexpr int kA = 1;\nconst int kB = 2;\nconstexpr int kA = 3;\nconstexpr int kC{ 4 };\n"
      "constexpr int kD = kB + 1;\nconst int* p = nullptr;\n");
  EXPECT_EQ(constants, (std::map<std::string, int>{{"kB", 2}, {"kC", 4}}));
}

TEST(FindWrapperForms, TreatsHelpersThatPassANumberOnAsLookups) {
  const std::string src = StripComments(
      "namespace {\n"
      "std::string StatusMessage(int id, const char* defaultText) {\n"
      "  const char* text = nlsGetString(kSlotConfigMessages, 2, id, defaultText);\n"
      "  return text ? text : defaultText;\n"
      "}\n"
      "std::string Rejected(std::string_view field, int messageId) {\n"
      "  return get_validation_msg(messageId).value_or(std::string(field));\n"
      "}\n"
      "const char* Template(int slot, int set, int line) { return nlsGetString(slot, set, line, nullptr); }\n"
      "}  // namespace\n"
      "void Use() {\n"
      "  a = StatusMessage(kMsgStatusReady, \"Ready\");\n"
      "  b = Rejected(name, 116);\n"
      "  c = Template(2, 8, 1);\n"
      "  d = [&](int id) { return get_message(id); };\n"
      "  if (get_message(n)) {}\n"
      "}\n");
  const std::map<std::string, int> constants = {{"kSlotConfigMessages", 1}, {"kMsgStatusReady", 11}};
  auto forms = BaseLookupForms();
  const auto wrappers = FindWrapperForms(src, constants, forms);
  ASSERT_EQ(wrappers.size(), 2u);  // not Template: its slot is not known to be 1
  EXPECT_EQ(wrappers[0].name, "StatusMessage");
  EXPECT_EQ(wrappers[0].idArg, 0);
  EXPECT_EQ(wrappers[0].set, 2);
  EXPECT_EQ(wrappers[0].defaultArg, 1);
  EXPECT_EQ(wrappers[1].name, "Rejected");
  EXPECT_EQ(wrappers[1].idArg, 1);
  EXPECT_EQ(wrappers[1].set, 1);
  EXPECT_EQ(wrappers[1].defaultArg, -1);

  forms.insert(forms.end(), wrappers.begin(), wrappers.end());
  const auto uses = FindMessageUses(src, "w.cpp", constants, forms);
  ASSERT_EQ(uses.size(), 2u);
  EXPECT_EQ(uses[0].where, "w.cpp:12");
  EXPECT_EQ(uses[0].set, 2);
  EXPECT_EQ(uses[0].number, 11);
  EXPECT_EQ(uses[0].builtinText, "Ready");
  EXPECT_EQ(uses[1].where, "w.cpp:13");
  EXPECT_EQ(uses[1].set, 1);
  EXPECT_EQ(uses[1].number, 116);
}

// ---------------------------------------------------------------------------
// Rows of the form variable table

TEST(FindFieldRows, ReadsRowsWhateverTheirLayout) {
  const auto rows = FindFieldRows(StripComments(
      "const FormVar varList[kFormVarCount] = {\n"
      "    {\"ACCESSLOG\", 10, IsValidFilename, 0, 1, 1},\n"
      "    {\"ADMINPORT\", 5000,\n"
      "     &IsValidNumeric, 0, 65535, 25},  // port\n"
      "    { \"PORT\" , 2850 , validate::IsValidPort , 1 , -1 , 171 , },\n"
      "    {\"PUSHBUTTON\", 3060, NoValidation, -1, -1, 0},\n"
      "};\n"
      "const Other other[] = {{\"x\", 1}, {\"a\", 1, 2, 3, 4, 5, 6}};\n"));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].name, "ACCESSLOG");
  EXPECT_EQ(rows[0].validator, "IsValidFilename");
  EXPECT_EQ(rows[0].messageId, 1);
  EXPECT_EQ(rows[0].line, 2);
  EXPECT_EQ(rows[1].name, "ADMINPORT");
  EXPECT_EQ(rows[1].validator, "IsValidNumeric");
  EXPECT_EQ(rows[1].messageId, 25);
  EXPECT_EQ(rows[1].line, 3);
  EXPECT_EQ(rows[2].validator, "IsValidPort");
  EXPECT_EQ(rows[2].messageId, 171);
  EXPECT_EQ(rows[3].validator, "NoValidation");
  EXPECT_EQ(rows[3].messageId, 0);
}

TEST(CheckFieldRows, ReportsMissingMessagesUncheckedRowsAndAWrongRowCount) {
  const auto set1 = ParseCatalogue("25\tThe administration port must be a number.\n", "1.msg");
  const std::vector<FieldRow> rows = {
      {"ADMINPORT", "IsValidNumeric", 25, 3},
      {"PORT", "IsValidPort", 171, 4},
      {"PUSHBUTTON", "NoValidation", -1, 5},
      {"HOSTNAME", "IsValidHost", 0, 6},
  };
  EXPECT_THAT(CheckFieldRows(set1, rows, 4, "form_variables.cpp"),
              ElementsAre("form_variables.cpp:4: PORT names set 1 message 171, which has no text in 1.msg",
                          "form_variables.cpp:6: HOSTNAME is checked by IsValidHost but names no message (0)"));
  EXPECT_THAT(CheckFieldRows(set1, {rows[0]}, 490, "t.cpp"),
              ElementsAre(HasSubstr("t.cpp: found 1 form variable rows, expected 490")));
}

// ---------------------------------------------------------------------------
// Checks against the catalogue

TEST(CheckCatalogueRules, WantsOnePercentSInTheWrapperAndTheUnknownFieldMessage) {
  const auto good1 = ParseCatalogue("116\t%s is not a field of this page.\n", "1.msg");
  const auto good2 = ParseCatalogue("13\t%s\n", "2.msg");
  EXPECT_THAT(CheckCatalogueRules(good1, good2), IsEmpty());

  const auto empty = ParseCatalogue("", "x.msg");
  EXPECT_THAT(CheckCatalogueRules(empty, empty),
              ElementsAre("set 2 message 13 is missing (it wraps every validation message)",
                          "set 1 message 116 is missing (its %s is the unknown field name)"));

  const auto two = ParseCatalogue("13\t%s: %s\n", "2.msg");
  const auto withNumber = ParseCatalogue("116\tField %s (%d)\n", "1.msg");
  EXPECT_THAT(CheckCatalogueRules(withNumber, two),
              ElementsAre(HasSubstr("set 2 message 13 must hold exactly one %s and no %d"),
                          HasSubstr("set 1 message 116 must hold exactly one %s and no %d")));
}

TEST(CheckCatalogueRules, RejectsPercentSequencesTheFormatterLeavesAlone) {
  const auto set1 = ParseCatalogue("116\t%s unknown\n153\tValue is 100% wrong\n", "1.msg");
  const auto set2 = ParseCatalogue("13\t%s\n57\t<td>50%%</td>\n186\tmax %ld\n", "2.msg");
  EXPECT_THAT(CheckCatalogueRules(set1, set2),
              ElementsAre("set 1 message 153 holds \"% \"; only %s, %d and %% are substituted (write %% "
                          "for a percent sign)",
                          "set 2 message 186 holds \"%l\"; only %s, %d and %% are substituted (write %% "
                          "for a percent sign)"));
}

TEST(CheckUses, ReportsMissingMessagesOnceAndBuiltinTextsThatDiffer) {
  const auto set1 = ParseCatalogue("25\tPort text\n", "1.msg");
  const auto set2 = ParseCatalogue(
      "1\tMemory allocation error\n"
      "11\tReady\n"
      "12\tDone.\n",
      "2.msg");
  const std::vector<MessageUse> uses = {
      {2, 11, "Ready", "a.cpp:1"},
      {2, 12, "Done", "a.cpp:2"},                      // differs by the full stop
      {2, 187, std::nullopt, "b.cpp:3"},                // missing
      {2, 187, "Too large", "b.cpp:9"},                 // missing: reported once
      {1, 25, std::nullopt, "c.cpp:4"},
      {1, 116, std::nullopt, "c.cpp:5"},                // missing in set 1
      {2, 1, "Memory allocation error", "d.cpp:1"},     // two built-in texts for one
      {2, 1, "Out of memory", "d.cpp:2"},               // number: one of them matches
  };
  EXPECT_THAT(CheckUses(set1, set2, uses),
              ElementsAre("b.cpp:3: set 2 message 187 is used here but has no text in 2.msg",
                          "c.cpp:5: set 1 message 116 is used here but has no text in 1.msg",
                          "a.cpp:2: the built-in text of set 2 message 12, \"Done\", differs from the "
                          "catalogue text \"Done.\""));
}

// ---------------------------------------------------------------------------
// Scanning a source tree

class ScanSourceTreeTest : public ::testing::Test {
 protected:
  void Write(const std::string& relative, const std::string& text) { temp_.Write(relative, text); }
  cfgout::testing::TempDir temp_{"cfgout-catalogue"};
  const std::filesystem::path root_{temp_.path()};
};

TEST_F(ScanSourceTreeTest, UsesConstantsFromOtherFilesAndLabelsRelativePaths) {
  Write("src/nls/message_lookup.h", "inline constexpr int kSlotConfigMessages = 1;\n");
  Write("src/cgi/main.cpp",
        "#include \"nls/message_lookup.h\"\n"
        "void f() {\n"
        "  nlsGetString(kSlotConfigMessages, 2, 11, \"Ready\");\n"
        "}\n");
  Write("src/cgi/notes.txt", "nlsGetString(1, 2, 99, nullptr)\n");  // not a source file
  const auto scan = ScanSourceTree(root_ / "src", root_);
  EXPECT_EQ(scan.filesScanned, 2u);
  ASSERT_EQ(scan.uses.size(), 1u);
  EXPECT_EQ(scan.uses[0].number, 11);
  EXPECT_EQ(scan.uses[0].where, "src/cgi/main.cpp:3");
}

TEST_F(ScanSourceTreeTest, FollowsHelpersDefinedInOtherFiles) {
  Write("src/nls/message_lookup.h", "inline constexpr int kSlotConfigMessages = 1;\n");
  Write("src/html/status.cpp",
        "std::string StatusMessage(int id, const char* text) {\n"
        "  return nlsGetString(kSlotConfigMessages, 2, id, text);\n"
        "}\n");
  Write("src/cgi/errors.cpp",
        "void ShowError(Status& s, int id, const char* text) { s.text = StatusMessage(id, text); }\n");
  Write("src/cgi/main.cpp", "int main() { ShowError(status, 8, \"Unable to open configuration file\"); }\n");
  const auto scan = ScanSourceTree(root_ / "src", root_);
  EXPECT_THAT(scan.wrappers, ElementsAre("StatusMessage", "ShowError"));
  ASSERT_EQ(scan.uses.size(), 1u);
  EXPECT_EQ(scan.uses[0].where, "src/cgi/main.cpp:1");
  EXPECT_EQ(scan.uses[0].number, 8);
  EXPECT_EQ(scan.uses[0].builtinText, "Unable to open configuration file");
}

TEST_F(ScanSourceTreeTest, FindsAMessageThatTheCatalogueLacks) {
  Write("src/cgi/main.cpp",
        "void f() { nlsGetString(1, 2, 11, \"Ready\"); nlsGetString(1, 2, 187, \"Too big\"); }\n");
  const auto set1 = ParseCatalogue("116\t%s\n", "1.msg");
  const auto set2 = ParseCatalogue("11\tReady\n13\t%s\n", "2.msg");
  const auto scan = ScanSourceTree(root_ / "src", root_);
  EXPECT_THAT(CheckUses(set1, set2, scan.uses),
              ElementsAre("src/cgi/main.cpp:1: set 2 message 187 is used here but has no text in 2.msg"));
}

}  // namespace
}  // namespace cfgout::catalogue
