#include "nls/locale.h"

#include <langinfo.h>
#include <unicode/ucnv.h>
#include <unicode/uloc.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

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

TEST(LocaleCreate, NormalisesCharsetSystemAndConverterNames) {
  EXPECT_EQ(Normalised("Shift_JIS"), "ja_JP");
  EXPECT_EQ(Normalised("ja_JP.PCK"), "ja_JP");
  EXPECT_EQ(Normalised("fr"), "fr_FR");
  EXPECT_EQ(Normalised("es_ES"), "es_ES");
  EXPECT_EQ(Normalised("ISO-8859-1"), "en_US");
  EXPECT_EQ(Normalised("iso8859-1"), "en_US");
  EXPECT_EQ(Normalised("EUC-KR"), "ko_KR");
  EXPECT_EQ(Normalised("gb2312"), "zh_CN");
  EXPECT_EQ(Normalised("Big5"), "zh_TW");  // a charset before a converter name
  EXPECT_EQ(Normalised("zh_TW.BIG5"), "zh_TW");
  EXPECT_EQ(Normalised("ko"), "ko_KR");
  EXPECT_EQ(Normalised("KSC_5601"), "ko_KR");
  EXPECT_EQ(Normalised("zh"), "zh_CN");
  // A converter shared by several rows gives the first of them.
  EXPECT_EQ(Normalised(kConverterCodePage850), "en_US");
  EXPECT_EQ(Normalised(nullptr), "en_US");
  EXPECT_EQ(Normalised("de_CH"), "de_CH");
  EXPECT_EQ(Normalised("a_rather_long_locale_name_beyond_thirty_two_bytes"),
            "a_rather_long_locale_name_beyond_thirty_two_bytes");
}

TEST(LocaleCodeset, TableRowsByLocaleOrSystemNameElseTheSystemCodeset) {
  EXPECT_EQ(Codeset("ja_JP"), kConverterCodePage932);
  EXPECT_EQ(Codeset("JA_jp.pck"), kConverterCodePage932);
  EXPECT_EQ(Codeset("en_US"), kConverterCodePage850);
  EXPECT_EQ(Codeset("fr"), kConverterCodePage850);
  EXPECT_EQ(Codeset("ko_KR"), kConverterKorean);
  EXPECT_EQ(Codeset("zh_CN"), kConverterSimplifiedChinese);
  EXPECT_EQ(Codeset("zh_TW.BIG5"), kConverterTraditionalChinese);
  const std::string system = nl_langinfo(CODESET);
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(Codeset("xx_YY"), system);
  EXPECT_EQ(Codeset("root"), system);
  // Null stands for ICU's default locale.
  EXPECT_EQ(Codeset(nullptr), Codeset(uloc_getDefault()));
}

TEST(LocaleCodeset, EveryTableConverterOpens) {
  for (const char* locale : {"en_US", "es_ES", "fr_FR", "de_DE", "it_IT", "pt_BR", "ja_JP", "ko_KR",
                             "zh_CN", "zh_TW"}) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(Codeset(locale).c_str(), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << locale << ": " << u_errorName(status);
    if (converter != nullptr) ucnv_close(converter);
  }
}

TEST(LocaleCodepage, WindowsCodePageOfTheLanguage) {
  EXPECT_EQ(Locale_GetCodepage("ja_JP"), 932);
  EXPECT_EQ(Locale_GetCodepage("ko_KR"), 949);
  EXPECT_EQ(Locale_GetCodepage("zh_CN"), 936);
  EXPECT_EQ(Locale_GetCodepage("zh_TW"), 950);
  EXPECT_EQ(Locale_GetCodepage("zh_HK"), 0);
  EXPECT_EQ(Locale_GetCodepage("zh"), 0);
  for (const char* latin : {"en_US", "de_DE", "es_ES", "fr_FR", "it_IT", "pt_BR", "en"}) {
    EXPECT_EQ(Locale_GetCodepage(latin), 1252) << latin;
  }
  EXPECT_EQ(Locale_GetCodepage("ru_RU"), 0);
  EXPECT_EQ(Locale_GetCodepage(""), 0);
}

class ProcessLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("LC_ALL");
    hadLcAll_ = old != nullptr;
    if (hadLcAll_) oldLcAll_ = old;
  }
  void TearDown() override {
    if (hadLcAll_) {
      setenv("LC_ALL", oldLcAll_.c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
    Locale_ResetForTesting();
    std::setlocale(LC_ALL, "C");
  }

 private:
  bool hadLcAll_ = false;
  std::string oldLcAll_;
};

TEST_F(ProcessLocale, AnUnusableEnvironmentLocaleGivesEnUs) {
  setenv("LC_ALL", "xx_XX.no-such-codeset", 1);
  Locale_ResetForTesting();
  Locale* system = Locale_GetFromSystem();
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->name, "en_US");
  EXPECT_EQ(Locale_GetDefault(), system);
}

TEST_F(ProcessLocale, AUsableEnvironmentLocaleGivesIcusDefault) {
  setenv("LC_ALL", "C", 1);
  Locale_ResetForTesting();
  EXPECT_EQ(Locale_GetFromSystem()->name, Normalised(uloc_getDefault()));
}

TEST_F(ProcessLocale, DefaultCopyAndDestroy) {
  setenv("LC_ALL", "C", 1);
  Locale_ResetForTesting();
  Locale* system = Locale_GetFromSystem();
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
}

}  // namespace
}  // namespace cfgout
