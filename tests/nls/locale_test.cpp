// Locales and code pages, and the safe message formatter.

#include "nls/locale.h"

#include <langinfo.h>
#include <unicode/ucnv.h>
#include <unicode/uloc.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "nls/message_format.h"

namespace cfgout {
namespace {

std::string Normalised(const char* name) {
  Locale* locale = Locale_Create(name);
  std::string result;
  Locale_ToString(locale, result);
  Locale_Destroy(locale);
  return result;
}

std::string Codeset(const char* locale) {
  std::string out;
  return Locale_GetDefaultCodeset(locale, out);
}

TEST(FormatText, OnlyTextNumbersAndPercentAreConverted) {
  const std::pair<std::string, std::string> rows[] = {
      {FormatText("HTML form information not found: %s", {"BASIC"}), "HTML form information not found: BASIC"},
      {FormatText("%d of %s", {std::int64_t{3}, "7"}), "3 of 7"}, {FormatText("100%% done"), "100% done"},
      {FormatText("<td>%s</td>", {""}), "<td></td>"}, {FormatText("%n%x%p %5s %", {"unused"}), "%n%x%p %5s %"},
      {FormatText("width: 50%;"), "width: 50%;"}, {FormatText("[%s]", {"%s%n%%"}), "[%s%n%%]"},  // never reinterpreted
      {FormatText(std::string_view("50%s", 3), {"x"}), "50%"}, {FormatText("a%sb%dc"), "abc"}, {FormatText("%s-%s", {"x"}), "x-"},  // missing arguments print nothing
      {HtmlEscape("\"><script>alert('x')&"), "&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&amp;"},
      {HtmlEscape("/opt/proxy 80,8080"), "/opt/proxy 80,8080"}};
  for (const auto& [got, want] : rows) EXPECT_EQ(got, want);
}

TEST(Locale, NamesCodesetsAndCodePages) {
  // A charset wins over a converter name; a shared converter gives its first row.
  const std::pair<const char*, const char*> names[] = {
      {"Shift_JIS", "ja_JP"}, {"ja_JP.PCK", "ja_JP"}, {"fr", "fr_FR"}, {"es_ES", "es_ES"}, {"ISO-8859-1", "en_US"},
      {"iso8859-1", "en_US"}, {"EUC-KR", "ko_KR"}, {"gb2312", "zh_CN"}, {"Big5", "zh_TW"}, {"zh_TW.BIG5", "zh_TW"},
      {"ko", "ko_KR"}, {"KSC_5601", "ko_KR"}, {"zh", "zh_CN"}, {kConverterCodePage850, "en_US"}, {nullptr, "en_US"},
      {"de_CH", "de_CH"}, {"a_rather_long_locale_name_beyond_thirty_two_bytes", "a_rather_long_locale_name_beyond_thirty_two_bytes"}};
  for (auto [name, want] : names) EXPECT_EQ(Normalised(name), want) << (name ? name : "null");
  const std::string system = nl_langinfo(CODESET);
  ASSERT_FALSE(system.empty());
  const std::pair<const char*, std::string> codesets[] = {
      {"ja_JP", kConverterCodePage932}, {"JA_jp.pck", kConverterCodePage932}, {"en_US", kConverterCodePage850},
      {"fr", kConverterCodePage850}, {"ko_KR", kConverterKorean}, {"zh_CN", kConverterSimplifiedChinese},
      {"zh_TW.BIG5", kConverterTraditionalChinese}, {"xx_YY", system}, {"root", system}};
  for (const auto& [locale, want] : codesets) EXPECT_EQ(Codeset(locale), want) << locale;
  EXPECT_EQ(Codeset(nullptr), Codeset(uloc_getDefault()));  // ICU's default locale
  for (const char* locale : {"en_US", "es_ES", "fr_FR", "de_DE", "it_IT", "pt_BR", "ja_JP", "ko_KR", "zh_CN", "zh_TW"}) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(Codeset(locale).c_str(), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << locale << ": " << u_errorName(status);
    if (converter != nullptr) ucnv_close(converter);
  }
  const std::pair<const char*, int> pages[] = {
      {"ja_JP", 932}, {"ko_KR", 949}, {"zh_CN", 936}, {"zh_TW", 950}, {"zh_HK", 0}, {"zh", 0}, {"en_US", 1252},
      {"de_DE", 1252}, {"es_ES", 1252}, {"fr_FR", 1252}, {"it_IT", 1252}, {"pt_BR", 1252}, {"en", 1252},
      {"ru_RU", 0}, {"", 0}};
  for (auto [locale, want] : pages) EXPECT_EQ(Locale_GetCodepage(locale), want) << locale;
}

// The process locale: LC_ALL is put back at the end (the last test here).
TEST(ProcessLocale, SystemDefaultCopyAndDestroy) {
  const char* old = std::getenv("LC_ALL");
  const std::string saved = old ? old : "";
  setenv("LC_ALL", "xx_XX.no-such-codeset", 1);
  Locale_ResetForTesting();
  ASSERT_NE(Locale_GetFromSystem(), nullptr);
  EXPECT_EQ(Locale_GetFromSystem()->name, "en_US");  // unusable: en_US
  EXPECT_EQ(Locale_GetDefault(), Locale_GetFromSystem());
  setenv("LC_ALL", "C", 1);
  Locale_ResetForTesting();
  Locale* system = Locale_GetFromSystem();
  EXPECT_EQ(system->name, Normalised(uloc_getDefault()));
  EXPECT_EQ(Locale_Copy(system), system);
  Locale* c = Locale_Create("C");
  const char* applied = Locale_SetDefault(c);
  ASSERT_NE(applied, nullptr);
  EXPECT_STREQ(applied, "C");
  EXPECT_EQ(Locale_GetDefault(), c);
  Locale* copy = Locale_Copy(c);
  ASSERT_NE(copy, c);
  EXPECT_EQ(copy->name, "C");
  Locale_Destroy(copy);
  EXPECT_EQ(Locale_GetDefault(), c);
  Locale_Destroy(c);  // the default goes back to the system locale
  EXPECT_EQ(Locale_GetDefault(), system);
  Locale_Destroy(system);  // never released
  EXPECT_EQ(Locale_GetFromSystem(), system);
  Locale* other = Locale_Create("ja_JP");
  Locale_SetDefault(other);
  Locale_SetDefault(nullptr);
  EXPECT_EQ(Locale_GetDefault(), system);
  Locale_Destroy(other);
  std::string text = "old";
  EXPECT_EQ(Locale_ToString(nullptr, text), "");
  old ? setenv("LC_ALL", saved.c_str(), 1) : unsetenv("LC_ALL");
  Locale_ResetForTesting();
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace cfgout
