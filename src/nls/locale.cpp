#include "nls/locale.h"

#include <langinfo.h>
#include <strings.h>
#include <unicode/uloc.h>
#include <unicode/utypes.h>

#include <clocale>
#include <cstring>
#include <mutex>
#include <new>

namespace cfgout {

namespace {

struct CharsetRow {
  const char* charset;
  const char* locale;
};

constexpr CharsetRow aszCharsets[] = {
    {"iso8859-1", "en_US"}, {"iso-8859-1", "en_US"}, {"euc-kr", "ko_KR"},
    {"shift_jis", "ja_JP"}, {"gb2312", "zh_CN"},     {"big5", "zh_TW"},
};

struct CodePageRow {
  const char* locale;
  const char* systemName;
  const char* converter;
};

constexpr CodePageRow codePageTable[] = {
    {"en_US", "en_US", kConverterCodePage850},
    {"es_ES", "es", kConverterCodePage850},
    {"fr_FR", "fr", kConverterCodePage850},
    {"de_DE", "de", kConverterCodePage850},
    {"it_IT", "it", kConverterCodePage850},
    {"pt_BR", "pt_BR", kConverterCodePage850},
    {"ja_JP", "ja_JP.PCK", kConverterCodePage932},
    {"ko_KR", "ko", kConverterKorean},
    {"zh_CN", "zh", kConverterSimplifiedChinese},
    {"zh_TW", "zh_TW.BIG5", kConverterTraditionalChinese},
};

bool SameIgnoringCase(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

struct ProcessLocales {
  std::mutex lock;
  bool initialized = false;
  Locale* systemLocale = nullptr;
  Locale* defaultLocale = nullptr;
};

ProcessLocales& State() {
  static ProcessLocales* state = new ProcessLocales;  // lives until the process ends
  return *state;
}

Locale* CreateNormalised(const char* name) {
  auto* locale = new (std::nothrow) Locale;
  if (locale == nullptr) return nullptr;
  const char* given = name != nullptr ? name : "en_US";
  for (const CharsetRow& row : aszCharsets) {
    if (SameIgnoringCase(given, row.charset)) {
      locale->name = row.locale;
      return locale;
    }
  }
  for (const CodePageRow& row : codePageTable) {
    if (SameIgnoringCase(given, row.systemName) || SameIgnoringCase(given, row.converter)) {
      locale->name = row.locale;
      return locale;
    }
  }
  locale->name = given;
  return locale;
}

// With the state lock held.
void InitLocked(ProcessLocales& state) {
  if (state.initialized) return;
  std::string name;
  if (std::setlocale(LC_ALL, "") == nullptr) {
    name = "en_US";
    std::setlocale(LC_ALL, "en_US");
  } else {
    const char* icuDefault = uloc_getDefault();
    name = icuDefault != nullptr ? icuDefault : "en_US";
  }
  const char* current = std::setlocale(LC_ALL, nullptr);
  if (current == nullptr || std::strstr(current, name.c_str()) == nullptr) {
    std::setlocale(LC_ALL, name.c_str());
  }
  state.initialized = true;
  state.systemLocale = CreateNormalised(name.c_str());
  state.defaultLocale = state.systemLocale;
}

}  // namespace

void Locale_Init() {
  ProcessLocales& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  InitLocked(state);
}

Locale* Locale_Create(const char* name) {
  Locale_Init();
  return CreateNormalised(name);
}

Locale* Locale_GetFromSystem() {
  ProcessLocales& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  InitLocked(state);
  return state.systemLocale;
}

Locale* Locale_GetDefault() {
  ProcessLocales& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  InitLocked(state);
  return state.defaultLocale;
}

const char* Locale_SetDefault(Locale* locale) {
  ProcessLocales& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  InitLocked(state);
  state.defaultLocale = locale != nullptr ? locale : state.systemLocale;
  const char* name = state.defaultLocale != nullptr ? state.defaultLocale->name.c_str() : "";
  return std::setlocale(LC_ALL, name);
}

Locale* Locale_Copy(const Locale* locale) {
  if (locale == nullptr) return nullptr;
  {
    ProcessLocales& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (locale == state.systemLocale) return state.systemLocale;
  }
  return Locale_Create(locale->name.c_str());
}

void Locale_Destroy(Locale* locale) {
  if (locale == nullptr) return;
  ProcessLocales& state = State();
  {
    std::lock_guard<std::mutex> guard(state.lock);
    if (locale == state.systemLocale) return;
    if (locale == state.defaultLocale) state.defaultLocale = state.systemLocale;
  }
  delete locale;
}

std::string& Locale_ToString(const Locale* locale, std::string& out) {
  out = locale != nullptr ? locale->name : std::string();
  return out;
}

std::string& Locale_GetDefaultCodeset(const char* locale, std::string& out) {
  const char* name = locale;
  if (name == nullptr) {
    name = uloc_getDefault();
    if (name == nullptr) name = "en_US";
  }
  for (const CodePageRow& row : codePageTable) {
    if (SameIgnoringCase(name, row.systemName) || SameIgnoringCase(name, row.locale)) {
      if (row.converter != nullptr) {
        out = row.converter;
        return out;
      }
      break;
    }
  }
  const char* codeset = nl_langinfo(CODESET);
  out = codeset != nullptr && *codeset != '\0' ? codeset : kConverterCodePage850;
  return out;
}

int Locale_GetCodepage(const char* locale) {
  char language[128] = {};
  char country[128] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLanguage(locale, language, sizeof language - 1, &status);
  if (U_FAILURE(status)) language[0] = '\0';
  status = U_ZERO_ERROR;
  uloc_getCountry(locale, country, sizeof country - 1, &status);
  if (U_FAILURE(status)) country[0] = '\0';
  for (const char* latin : {"de", "en", "es", "fr", "it", "pt"}) {
    if (std::strcmp(language, latin) == 0) return 1252;
  }
  if (std::strcmp(language, "ja") == 0) return 932;
  if (std::strcmp(language, "ko") == 0) return 949;
  if (std::strcmp(language, "zh") == 0) {
    if (std::strcmp(country, "CN") == 0) return 936;
    if (std::strcmp(country, "TW") == 0) return 950;
  }
  return 0;
}

void Locale_ResetForTesting() {
  ProcessLocales& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  delete state.systemLocale;
  state.systemLocale = nullptr;
  state.defaultLocale = nullptr;
  state.initialized = false;
}

}  // namespace cfgout
