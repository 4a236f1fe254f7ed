#pragma once
// Locales and code pages: which locale the process shows its pages in, the
// mapping of the many spellings of a locale (HTTP charset names, system
// locale names, converter names) to the ICU locale names the message bundles
// are stored under, and the code page (ICU converter) that goes with a
// locale.

#include <string>

namespace cfgout {

// A locale value: a normalised locale name such as "en_US".
struct Locale {
  std::string name;
};

// Runs the process initialisation once: takes the locale from the
// environment (setlocale(LC_ALL, "")), or "en_US" when that locale is not
// usable, and makes it both the system and the default locale.
void Locale_Init();

// A new value for `name` (null: "en_US"), normalised: a charset name of the
// charset table gives its locale; otherwise a system or converter name of the
// code page table gives the row's locale (first matching row); otherwise the
// name stays as it is. Names are compared ignoring case. Null when out of
// memory. Runs the initialisation first.
Locale* Locale_Create(const char* name);

Locale* Locale_GetFromSystem();  // the system locale (initialises first)
Locale* Locale_GetDefault();     // the default locale (initialises first)

// Makes `locale` (null: the system locale) the default locale and calls
// setlocale(LC_ALL, its name); returns what setlocale returns. The caller
// keeps ownership of `locale`. Initialises first.
const char* Locale_SetDefault(Locale* locale);

// `locale` itself when it is the system locale, otherwise a new value made
// from its name.
Locale* Locale_Copy(const Locale* locale);

// Releases a value. The system locale is never released; releasing the
// default locale makes the system locale the default again.
void Locale_Destroy(Locale* locale);

// Copies the name into `out` (empty for null) and returns `out`.
std::string& Locale_ToString(const Locale* locale, std::string& out);

// The converter name for a locale name (null: the ICU default locale, or
// "en_US" when there is none): the converter of the first code page table row
// whose system name or locale equals it ignoring case; otherwise the system's
// nl_langinfo(CODESET); when that is empty, the converter for code page 850.
std::string& Locale_GetDefaultCodeset(const char* locale, std::string& out);

// The Windows code page of the locale's language: 1252 for de, en, es, fr,
// it, pt; 932 for ja; 949 for ko; 936 for zh_CN; 950 for zh_TW; else 0.
int Locale_GetCodepage(const char* locale);

// Converter names of the code page table.
inline constexpr const char* kConverterCodePage850 = "ibm-850";
inline constexpr const char* kConverterCodePage932 = "ibm-932";
inline constexpr const char* kConverterKorean = "ksc_5601";
inline constexpr const char* kConverterSimplifiedChinese = "ibm-1386";
inline constexpr const char* kConverterTraditionalChinese = "BIG5";

// Forgets the process initialisation (tests only): the next call that
// initialises reads the environment again. Values handed out before, other
// than the system locale, stay valid.
void Locale_ResetForTesting();

}  // namespace cfgout
