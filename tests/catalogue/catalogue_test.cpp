// The message table and the form field table against the compiled "config"
// catalogue: every message the code names exists, built-in texts equal the
// catalogue's, and every text is safe to use as a format.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unicode/ures.h>

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nls/config_messages.h"
#include "nls/res_bundle.h"
#include "validate/form_variables.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Message number -> UTF-8 text; numbers the catalogue skips are left out.
using Texts = std::map<int, std::string>;
using Problems = std::vector<std::string>;

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

Problems TableProblems(std::span<const ConfigMessageRow> rows, const Texts& set2) {
  Problems problems;
  for (const ConfigMessageRow& row : rows) {
    const std::string where = std::string(row.name) + " (" + std::to_string(row.number) + ")";
    const auto text = set2.find(row.number);
    if (text == set2.end()) {
      problems.push_back(where + ": no text in set 2");
    } else if (text->second != row.text) {
      problems.push_back(where + ": built-in text " + Quoted(row.text) + " differs from the catalogue's " +
                         Quoted(text->second));
    }
  }
  return problems;
}

Problems FieldProblems(std::span<const FormVar> vars, const Texts& set1) {
  Problems problems;
  for (const FormVar& var : vars) {
    if (var.messageId < 1) {
      if (var.validator != &NoValidation) problems.push_back(std::string(var.name) + ": checked, but names no message");
    } else if (set1.count(var.messageId) == 0) {
      problems.push_back(std::string(var.name) + ": set 1 message " + std::to_string(var.messageId) + " has no text");
    }
  }
  return problems;
}

// Counts the %s and %d of `text`; every other '%' sequence but %% is a problem.
Problems Conversions(std::string_view text, int* strings = nullptr, int* numbers = nullptr) {
  Problems bad;
  for (std::size_t i = text.find('%'); i != std::string_view::npos; i = text.find('%', i + 2)) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (next == 's' && strings != nullptr) ++*strings;
    if (next == 'd' && numbers != nullptr) ++*numbers;
    if (next != 's' && next != 'd' && next != '%') bad.emplace_back(text.substr(i, 2));
  }
  return bad;
}

Problems FormatProblems(int set, const Texts& texts) {
  Problems problems;
  for (const auto& [number, text] : texts) {
    for (const std::string& sequence : Conversions(text)) {
      problems.push_back("set " + std::to_string(set) + " message " + std::to_string(number) + " holds " +
                         Quoted(sequence) + "; only %s, %d and %% are substituted");
    }
  }
  return problems;
}

bool HoldsOneString(std::string_view text) {
  int strings = 0;
  int numbers = 0;
  return Conversions(text, &strings, &numbers).empty() && strings == 1 && numbers == 0;
}

// Set `set` of the compiled "config" bundle in `directory`, read through the
// program's own bundle reader.
Texts ReadSet(const char* directory, int set) {
  UErrorCode status = U_ZERO_ERROR;
  UResourceBundle* resource = ResBundle_LoadCatalog("root", directory, "config", &status);
  UResourceBundle* array = ures_getByKey(resource, std::to_string(set).c_str(), nullptr, &status);
  const int size = U_SUCCESS(status) ? ures_getSize(array) : 0;
  ures_close(array);
  ures_close(resource);
  Texts texts;
  ResBundle* bundle = ResBundle_LoadSpecific("root", directory, "config");
  for (int id = 1; bundle != nullptr && id <= size; ++id) {
    if (const char* text = ResBundle_Extract(bundle, set, id)) texts.emplace(id, text);
  }
  ResBundle_Destroy(bundle);
  return texts;
}

TEST(CatalogueCheck, ShippedCatalogueMatchesTheTables) {
  Texts set1 = ReadSet(CFGOUT_BUILD_MESSAGE_DIR, 1);
  Texts set2 = ReadSet(CFGOUT_BUILD_MESSAGE_DIR, 2);
  ASSERT_GE(set2.size(), kConfigMessageCount);
  ASSERT_FALSE(set1.empty());
  EXPECT_THAT(TableProblems(kConfigMessages, set2), IsEmpty());
  EXPECT_THAT(FieldProblems(varList, set1), IsEmpty());
  EXPECT_THAT(FormatProblems(1, set1), IsEmpty());
  EXPECT_THAT(FormatProblems(2, set2), IsEmpty());
  // The validation wrapper and the unknown-field message each fill in one text.
  EXPECT_TRUE(HoldsOneString(set2[MessageRow(kMsgValidationWrapper).number])) << set2[13];
  EXPECT_TRUE(HoldsOneString(set1[116])) << set1[116];
}

int AcceptAll(const char*, int, int) { return 1; }

TEST(CatalogueCheck, ReportsEveryBrokenRule) {
  const ConfigMessageRow rows[] = {{"kOne", 1, "One"}, {"kTwo", 2, "Two"}, {"kThree", 3, "Three"}};
  EXPECT_THAT(TableProblems(rows, {{1, "One"}, {2, "Two!"}}),
              ElementsAre("kTwo (2): built-in text \"Two\" differs from the catalogue's \"Two!\"",
                          "kThree (3): no text in set 2"));
  const FormVar vars[] = {{"A", 1, &NoValidation, -1, -1, 0}, {"B", 2, &AcceptAll, -1, -1, 0},
                          {"C", 3, &NoValidation, -1, -1, 7}, {"D", 4, &AcceptAll, -1, -1, 5}};
  EXPECT_THAT(FieldProblems(vars, {{5, "five"}}),
              ElementsAre("B: checked, but names no message", "C: set 1 message 7 has no text"));
  EXPECT_THAT(FormatProblems(2, {{1, "50%% of %s in %d"}, {2, "100% sure"}, {3, "%x and %"}}),
              ElementsAre("set 2 message 2 holds \"% \"; only %s, %d and %% are substituted",
                          "set 2 message 3 holds \"%x\"; only %s, %d and %% are substituted",
                          "set 2 message 3 holds \"%\"; only %s, %d and %% are substituted"));
  for (const char* one : {"%s", "[invalid] %s", "%s is 100%%"}) EXPECT_TRUE(HoldsOneString(one)) << one;
  for (const char* other : {"", "%%s", "%s%s", "%s %d", "%s %u"}) EXPECT_FALSE(HoldsOneString(other)) << other;
}

}  // namespace
}  // namespace cfgout
