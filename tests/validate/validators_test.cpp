// The field validators and character predicates.

#include <gtest/gtest.h>

#include <string>

#include "runtime/page_output.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

TEST(NoValidationTest, AcceptsEverything) {
  EXPECT_EQ(NoValidation("anything <at> all", -1, -1), 1);
  EXPECT_EQ(NoValidation(nullptr, -1, -1), 1);
  EXPECT_EQ(NoValidation(), 1);
}

TEST(IsValidNumericTest, SignsDigitsAndRange) {
  EXPECT_EQ(IsValidNumeric("8080", 0, 65535), 1);
  EXPECT_EQ(IsValidNumeric("0", 0, 65535), 1);
  EXPECT_EQ(IsValidNumeric("65535", 0, 65535), 1);
  EXPECT_EQ(IsValidNumeric("65536", 0, 65535), 0);
  EXPECT_EQ(IsValidNumeric("-1", 0, 65535), 0);
  EXPECT_EQ(IsValidNumeric("+5", 0, 10), 1);
  EXPECT_EQ(IsValidNumeric("-0", 0, 10), 1);
  EXPECT_EQ(IsValidNumeric("+", 0, 10), 1);  // a lone sign is 0
  EXPECT_EQ(IsValidNumeric("-", 1, 10), 0);  // ... which may be out of range
  EXPECT_EQ(IsValidNumeric("5a", 0, 10), 0);
  EXPECT_EQ(IsValidNumeric("5 5", 0, 100), 0);
  EXPECT_EQ(IsValidNumeric("0x10", 0, 100), 0);
  EXPECT_EQ(IsValidNumeric("+-5", -10, 10), 0);
  EXPECT_EQ(IsValidNumeric("5-", 0, 10), 0);
  EXPECT_EQ(IsValidNumeric("1.5", 0, 10), 0);
}

TEST(IsValidNumericTest, RangeBoundaries) {
  EXPECT_EQ(IsValidNumeric("60", 60, 65535), 1);
  EXPECT_EQ(IsValidNumeric("59", 60, 65535), 0);
  EXPECT_EQ(IsValidNumeric("86400", 1, 86400), 1);
  EXPECT_EQ(IsValidNumeric("86401", 1, 86400), 0);
  EXPECT_EQ(IsValidNumeric("0", 1, 32767), 0);
  EXPECT_EQ(IsValidNumeric("-5", -5, 5), 1);
  EXPECT_EQ(IsValidNumeric("-6", -5, 5), 0);
}

TEST(IsValidNumericTest, ZeroZeroMeansAnyInteger) {
  EXPECT_EQ(IsValidNumeric("123456789", 0, 0), 1);
  EXPECT_EQ(IsValidNumeric("-42", 0, 0), 1);
  EXPECT_EQ(IsValidNumeric("99999999999999999999", 0, 0), 1);
  EXPECT_EQ(IsValidNumeric("4x", 0, 0), 0);
}

TEST(IsValidNumericTest, OverlongNumbersDoNotWrapIntoRange) {
  // 2^32 + 80 would wrap to 80 in a 32-bit conversion.
  EXPECT_EQ(IsValidNumeric("4294967376", 0, 65535), 0);
  EXPECT_EQ(IsValidNumeric("-4294967216", 0, 65535), 0);
  EXPECT_EQ(IsValidNumeric("99999999999999999999999", 0, 65535), 0);
}

TEST(IsValidNumericTest, WhitespaceAndEmpty) {
  EXPECT_EQ(IsValidNumeric("  8080  ", 0, 65535), 1);
  EXPECT_EQ(IsValidNumeric("\t\r\n8080\v\f", 0, 65535), 1);
  EXPECT_EQ(IsValidNumeric("", 1, 10), 1);
  EXPECT_EQ(IsValidNumeric("   ", 1, 10), 1);
  EXPECT_EQ(IsValidNumeric(nullptr, 0, 0), 0);
}

TEST(IsValidPortTest, DigitsAndCommaLists) {
  EXPECT_EQ(IsValidPort("80", 0), 1);
  EXPECT_EQ(IsValidPort("99999", 0), 1);  // no range check
  EXPECT_EQ(IsValidPort("80,8080", 0), 0);
  EXPECT_EQ(IsValidPort("80,8080", 1), 1);
  EXPECT_EQ(IsValidPort(",80", 1), 1);
  EXPECT_EQ(IsValidPort("99999,1", 1), 1);
  EXPECT_EQ(IsValidPort("80, 8080", 1), 0);
  EXPECT_EQ(IsValidPort("+80", 0), 0);
  EXPECT_EQ(IsValidPort("http", 1), 0);
  EXPECT_EQ(IsValidPort("  443 ", 0), 1);
  EXPECT_EQ(IsValidPort("", 0), 1);
  EXPECT_EQ(IsValidPort(nullptr, 1), 0);
}

TEST(IsValidFloatTest, PointRequiredAndRange) {
  EXPECT_EQ(IsValidFloat("1.5", 0, 0), 1);
  EXPECT_EQ(IsValidFloat("-1.5", 0, 0), 1);
  EXPECT_EQ(IsValidFloat("+0.25", 0, 0), 1);
  EXPECT_EQ(IsValidFloat("15", 0, 0), 0);
  EXPECT_EQ(IsValidFloat("1.5.2", 0, 0), 0);
  EXPECT_EQ(IsValidFloat("1,5", 0, 0), 0);
  EXPECT_EQ(IsValidFloat("1.5e3", 0, 0), 0);
  EXPECT_EQ(IsValidFloat("0.5", 0, 1), 1);
  EXPECT_EQ(IsValidFloat("1.0", 0, 1), 1);
  EXPECT_EQ(IsValidFloat("1.01", 0, 1), 0);
  EXPECT_EQ(IsValidFloat("-0.01", 0, 1), 0);
  EXPECT_EQ(IsValidFloat(" 0.5 ", 0, 1), 1);
  EXPECT_EQ(IsValidFloat("", 1, 2), 1);
  EXPECT_EQ(IsValidFloat(nullptr, 0, 0), 0);
}

TEST(IsValidDirTest, CharactersSeparatorsAndWildcard) {
  EXPECT_EQ(IsValidDir("/a/b", 0), 1);
  EXPECT_EQ(IsValidDir("C:\\proxy\\cache", 0), 1);
  EXPECT_EQ(IsValidDir("/a/b*", 1), 1);
  EXPECT_EQ(IsValidDir("/a/*b", 1), 0);
  EXPECT_EQ(IsValidDir("/a/b**", 1), 0);
  EXPECT_EQ(IsValidDir("/a/b*", 0), 0);
  EXPECT_EQ(IsValidDir("/a/b?", 0), 0);
  EXPECT_EQ(IsValidDir("/a/b?", 1), 1);
  EXPECT_EQ(IsValidDir("/a\\b", 0), 0);
  EXPECT_EQ(IsValidDir("/a/<b>", 1), 0);
  EXPECT_EQ(IsValidDir("/a|b", 1), 0);
  EXPECT_EQ(IsValidDir("/a&b", 1), 0);
  EXPECT_EQ(IsValidDir("/a\"b", 1), 0);
  EXPECT_EQ(IsValidDir("/a b", 0), 1);
  EXPECT_EQ(IsValidDir("/a\x01" "b", 0), 0);
  EXPECT_EQ(IsValidDir("/caf\xC3\xA9", 0), 0);
  EXPECT_EQ(IsValidDir("  /a/b  ", 0), 1);
  EXPECT_EQ(IsValidDir("", 0), 1);
  EXPECT_EQ(IsValidDir(nullptr, 0), 0);
}

TEST(IsValidFilenameTest, PathRequired) {
  EXPECT_EQ(IsValidFilename("access.log", 0, 1), 0);
  EXPECT_EQ(IsValidFilename("/var/log/", 0, 1), 0);
  EXPECT_EQ(IsValidFilename("/var/log/access.log", 0, 1), 1);
  EXPECT_EQ(IsValidFilename("\"/var/log/access.log\"", 0, 1), 1);
  EXPECT_EQ(IsValidFilename("  /var/log/access.log ", 0, 1), 1);
  EXPECT_EQ(IsValidFilename("C\\logs\\access.log", 0, 1), 1);
  EXPECT_EQ(IsValidFilename("C:\\logs\\access.log", 0, 1), 0);  // colon
  EXPECT_EQ(IsValidFilename("/var\\log/access.log", 0, 1), 0);
  EXPECT_EQ(IsValidFilename("", 0, 1), 1);
  EXPECT_EQ(IsValidFilename("\"\"", 0, 1), 1);
  EXPECT_EQ(IsValidFilename("\"", 0, 0), 0);
  EXPECT_EQ(IsValidFilename(nullptr, 0, 1), 0);
}

TEST(IsValidFilenameTest, FileNameCharactersAndWildcards) {
  EXPECT_EQ(IsValidFilename("access.log", 0, 0), 1);
  EXPECT_EQ(IsValidFilename("a?b", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("a^b", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("a&b", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("a|b", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("a<b", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("a\"b", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("a\tb", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("/www/*.html", 1, 0), 1);
  EXPECT_EQ(IsValidFilename("/www/*.html", 0, 0), 0);
  EXPECT_EQ(IsValidFilename("*", 1, 0), 1);
  EXPECT_EQ(IsValidFilename("/w*/index.html", 1, 0), 0);  // '*' not last in the directory
  EXPECT_EQ(IsValidFilename("/a<b/index.html", 0, 0), 0);   // directory character
}

TEST(IsValidFilenameTest, DirectoryPartLength) {
  const std::string dir254 = "/" + std::string(252, 'd') + "/";
  const std::string dir255 = "/" + std::string(253, 'd') + "/";
  EXPECT_EQ(IsValidFilename((dir254 + "f").c_str(), 0, 1), 1);
  EXPECT_EQ(IsValidFilename((dir255 + "f").c_str(), 0, 1), 0);
}

TEST(IsValidURLTest, SchemesAndSeparators) {
  EXPECT_EQ(IsValidURL("http://host/path", 0, 0), 1);
  EXPECT_EQ(IsValidURL("HTTP://host/path", 0, 0), 1);
  EXPECT_EQ(IsValidURL("gopher://host", 0, 0), 1);
  EXPECT_EQ(IsValidURL("ftp://host/pub", 0, 0), 1);
  EXPECT_EQ(IsValidURL("file:/tmp/x", 0, 0), 1);
  EXPECT_EQ(IsValidURL("file://tmp/x", 0, 0), 1);  // ":/" then "/tmp/x"
  EXPECT_EQ(IsValidURL("file:tmp", 0, 0), 0);
  EXPECT_EQ(IsValidURL("news:comp.lang", 0, 0), 1);
  EXPECT_EQ(IsValidURL("ht://host", 0, 0), 1);     // a short run counts as its scheme
  EXPECT_EQ(IsValidURL("ht:/host", 0, 0), 0);
  EXPECT_EQ(IsValidURL("fi:/x", 0, 0), 1);
  EXPECT_EQ(IsValidURL("https:x", 0, 0), 1);       // not a known scheme: ":" only
  EXPECT_EQ(IsValidURL("http:/host", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http//host", 0, 0), 0);
  EXPECT_EQ(IsValidURL("://host", 0, 0), 1);       // no letters: "://"
  EXPECT_EQ(IsValidURL("/path", 0, 0), 0);
}

TEST(IsValidURLTest, SchemeFree) {
  EXPECT_EQ(IsValidURL("/path/to/x", 0, 1), 1);
  EXPECT_EQ(IsValidURL("host/path", 0, 1), 1);
  EXPECT_EQ(IsValidURL("http://host/path", 0, 1), 1);
  EXPECT_EQ(IsValidURL("/a b", 0, 1), 0);
}

TEST(IsValidURLTest, RemainderCharacters) {
  EXPECT_EQ(IsValidURL("http://host/a?b", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host/a b", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host/a+b", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host/<b>", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host/a\\b", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host/a\x7F", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host/a\x01", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host/caf\xC3\xA9", 0, 0), 0);
  EXPECT_EQ(IsValidURL("http://host:8080/~u/a%20b;x=1&y#z", 0, 0), 1);
  EXPECT_EQ(IsValidURL("http://*.host/*", 1, 0), 1);
  EXPECT_EQ(IsValidURL("http://*.host/*", 0, 0), 0);
  EXPECT_EQ(IsValidURL("  http://host/  ", 0, 0), 1);
  EXPECT_EQ(IsValidURL("", 0, 0), 1);
  EXPECT_EQ(IsValidURL(nullptr, 1, 1), 0);
}

TEST(IsValidDirURLTest, EitherDirectoryOrURL) {
  EXPECT_EQ(IsValidDirURL("/a/b*", 1, 1), 1);
  EXPECT_EQ(IsValidDirURL("http://host/a*", 1, 1), 1);
  EXPECT_EQ(IsValidDirURL("/a/*b", 1, 1), 1);     // not a directory, but a scheme-free URL
  EXPECT_EQ(IsValidDirURL("/a/*b", 1, 0), 0);     // neither: no scheme
  EXPECT_EQ(IsValidDirURL("/a/<b", 1, 1), 0);
  EXPECT_EQ(IsValidDirURL("", 1, 1), 1);
}

TEST(IsValidHostTest, NamesAndWildcards) {
  EXPECT_EQ(IsValidHost("*.a.b", 1), 1);
  EXPECT_EQ(IsValidHost("*", 1), 1);
  EXPECT_EQ(IsValidHost("*.*.a.b", 1), 1);
  EXPECT_EQ(IsValidHost("*.", 1), 1);
  EXPECT_EQ(IsValidHost("*a", 1), 0);
  EXPECT_EQ(IsValidHost("www.a.b", 0), 1);
  EXPECT_EQ(IsValidHost("www-1.a_b.c", 0), 1);
  EXPECT_EQ(IsValidHost("a*", 1), 1);  // '*' is punctuation after a letter
  EXPECT_EQ(IsValidHost("*.a.b", 0), 0);
  EXPECT_EQ(IsValidHost("a*", 0), 0);
  EXPECT_EQ(IsValidHost("host:80", 1), 0);
  EXPECT_EQ(IsValidHost("user@host", 1), 0);
  EXPECT_EQ(IsValidHost("a,b", 1), 0);
  EXPECT_EQ(IsValidHost("a b", 1), 0);
  EXPECT_EQ(IsValidHost("a\tb", 0), 0);
  EXPECT_EQ(IsValidHost("-x", 0), 0);
  EXPECT_EQ(IsValidHost(".a", 0), 0);
  EXPECT_EQ(IsValidHost("caf\xE9", 0), 0);
  EXPECT_EQ(IsValidHost("  www.a.b  ", 0), 1);
  EXPECT_EQ(IsValidHost("", 0), 1);
  EXPECT_EQ(IsValidHost(nullptr, 1), 0);
}

TEST(IsValidHostTest, DottedNumbers) {
  EXPECT_EQ(IsValidHost("10.0.0.1", 0), 1);
  EXPECT_EQ(IsValidHost("10", 0), 1);
  EXPECT_EQ(IsValidHost("10.", 0), 1);
  EXPECT_EQ(IsValidHost("10.*", 1), 1);
  EXPECT_EQ(IsValidHost("10.1.*", 1), 1);
  EXPECT_EQ(IsValidHost("10.*.*", 1), 1);
  EXPECT_EQ(IsValidHost("10.*.*.", 1), 1);
  EXPECT_EQ(IsValidHost("*.10.1", 1), 1);
  EXPECT_EQ(IsValidHost("10.*.5", 1), 0);
  EXPECT_EQ(IsValidHost("10.**", 1), 0);
  EXPECT_EQ(IsValidHost("10.*x", 1), 0);
  EXPECT_EQ(IsValidHost("10.1x", 0), 0);
  EXPECT_EQ(IsValidHost("10..1", 0), 0);
  EXPECT_EQ(IsValidHost("10.*", 0), 0);
  EXPECT_EQ(IsValidHost("1a", 0), 0);
}

TEST(IsValidEngTimeTest, ForeverAndNumberUnitPairs) {
  EXPECT_EQ(IsValidEngTime("forever"), 1);
  EXPECT_EQ(IsValidEngTime("FOREVER"), 1);
  EXPECT_EQ(IsValidEngTime("forevermore"), 1);
  EXPECT_EQ(IsValidEngTime("forever 2 days"), 0);
  EXPECT_EQ(IsValidEngTime("1 day"), 1);
  EXPECT_EQ(IsValidEngTime("2 hours 30 minutes"), 1);
  EXPECT_EQ(IsValidEngTime("10 SEC"), 1);
  EXPECT_EQ(IsValidEngTime("1 week 1 month 1 year"), 1);
  EXPECT_EQ(IsValidEngTime("5 mins  3 secs"), 1);
  EXPECT_EQ(IsValidEngTime("5"), 0);
  EXPECT_EQ(IsValidEngTime("5 min 3"), 0);
  EXPECT_EQ(IsValidEngTime("5 m"), 0);
  EXPECT_EQ(IsValidEngTime("5 fortnights"), 0);
  EXPECT_EQ(IsValidEngTime("-5 days"), 0);
  EXPECT_EQ(IsValidEngTime("5days"), 0);
  EXPECT_EQ(IsValidEngTime("day 5"), 0);
  EXPECT_EQ(IsValidEngTime("  "), 1);
  EXPECT_EQ(IsValidEngTime(nullptr), 0);
}

TEST(IsValidMilTimeTest, HoursAndMinutes) {
  EXPECT_EQ(IsValidMilTime("00:00"), 1);
  EXPECT_EQ(IsValidMilTime("23:59"), 1);
  EXPECT_EQ(IsValidMilTime("24:00"), 1);
  EXPECT_EQ(IsValidMilTime("24:01"), 0);
  EXPECT_EQ(IsValidMilTime("25:00"), 0);
  EXPECT_EQ(IsValidMilTime("12:60"), 0);
  EXPECT_EQ(IsValidMilTime("2400"), 0);
  EXPECT_EQ(IsValidMilTime("9:30"), 0);
  EXPECT_EQ(IsValidMilTime("09:3a"), 0);
  EXPECT_EQ(IsValidMilTime("09-30"), 0);
  EXPECT_EQ(IsValidMilTime(" 09:30 "), 1);
  EXPECT_EQ(IsValidMilTime(""), 1);
  EXPECT_EQ(IsValidMilTime(nullptr), 0);
}

TEST(IsValidSuffixTest, LeadingDot) {
  EXPECT_EQ(IsValidSuffix(".html"), 1);
  EXPECT_EQ(IsValidSuffix("  .gif"), 1);
  EXPECT_EQ(IsValidSuffix("."), 1);
  EXPECT_EQ(IsValidSuffix("html"), 0);
  EXPECT_EQ(IsValidSuffix("a.html"), 0);
  EXPECT_EQ(IsValidSuffix(""), 1);
  EXPECT_EQ(IsValidSuffix(nullptr), 0);
}

TEST(IsValidAlphaTest, LettersSpacesDotsAndMinimum) {
  EXPECT_EQ(IsValidAlpha("New York", 0), 1);
  EXPECT_EQ(IsValidAlpha("St. Louis", 0), 1);
  EXPECT_EQ(IsValidAlpha("Route 66", 0), 0);
  EXPECT_EQ(IsValidAlpha("a-b", 0), 0);
  EXPECT_EQ(IsValidAlpha("abc", 3), 1);
  EXPECT_EQ(IsValidAlpha("ab", 3), 0);
  EXPECT_EQ(IsValidAlpha("  ab  ", 3), 0);
  EXPECT_EQ(IsValidAlpha("", 3), 1);
  EXPECT_EQ(IsValidAlpha(nullptr, 0), 0);
}

TEST(IsValidAlphaNumTest, PlainAndMail) {
  EXPECT_EQ(IsValidAlphaNum("abc123", 0, 0), 1);
  EXPECT_EQ(IsValidAlphaNum("abc 123", 0, 0), 0);
  EXPECT_EQ(IsValidAlphaNum("a.b", 0, 0), 0);
  EXPECT_EQ(IsValidAlphaNum("john.doe@example.com", 1, 0), 1);
  EXPECT_EQ(IsValidAlphaNum("j_d~x^y@host", 1, 0), 1);
  EXPECT_EQ(IsValidAlphaNum("john.doe", 1, 0), 0);          // no '@'
  EXPECT_EQ(IsValidAlphaNum("a@b@c", 1, 0), 0);             // two
  EXPECT_EQ(IsValidAlphaNum("a@b", 0, 0), 0);
  EXPECT_EQ(IsValidAlphaNum("a-b@c", 1, 0), 0);
  EXPECT_EQ(IsValidAlphaNum("  ab  ", 0, 0), 1);
  EXPECT_EQ(IsValidAlphaNum("", 1, 0), 1);
  EXPECT_EQ(IsValidAlphaNum(nullptr, 0, 1), 0);
}

TEST(IsValidAlphaNumTest, PunctuationSet) {
  EXPECT_EQ(IsValidAlphaNum("O'Brien (Sales), Dept. 5/6: x=y? \"a\"+b-c_d", 0, 1), 1);
  for (const char* bad : {"a;b", "a!b", "a@b", "a~b", "a^b", "a#b", "a%b", "a&b", "a*b", "a<b",
                          "a[b", "a\\b", "a|b", "a\tb", "a`b"}) {
    EXPECT_EQ(IsValidAlphaNum(bad, 0, 1), 0) << bad;
  }
  EXPECT_EQ(IsValidAlphaNum("a b", 1, 0), 0);
  EXPECT_EQ(IsValidAlphaNum("a b@c", 1, 1), 1);
}

TEST(IsValidAlphaNumTest, CodePage850Letters) {
  const std::string accepted =
      "\x80\x81\x8F\x90\x9A\x9B\x9D\xA0\xA5\xB5\xB6\xB7\xC6\xC7\xD2\xD3\xD4\xD6\xD7\xD8\xDE"
      "\xE0\xE5\xE9\xEF\xF9";
  for (char c : accepted) {
    const std::string value = std::string("M") + c + "ller";
    EXPECT_EQ(IsValidAlphaNum(value.c_str(), 0, 1), 1) << std::hex << (int)(unsigned char)c;
    EXPECT_EQ(IsValidAlphaNum(value.c_str(), 0, 0), 0) << std::hex << (int)(unsigned char)c;
  }
  const std::string rejected = "\x9C\x9E\x9F\xA6\xB4\xB8\xC5\xC8\xD1\xD5\xD9\xDD\xDF\xE6\xE8\xF0\xF8\xFA\xFF";
  for (char c : rejected) {
    const std::string value = std::string("M") + c + "ller";
    EXPECT_EQ(IsValidAlphaNum(value.c_str(), 0, 1), 0) << std::hex << (int)(unsigned char)c;
  }
  int count = 0;
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char text[] = {static_cast<char>(b), '\0'};
    count += IsValidAlphaNum(text, 0, 1);
  }
  EXPECT_EQ(count, 61);
}

TEST(IsValidPhoneTest, DigitsDashesParensSpaces) {
  EXPECT_EQ(IsValidPhone("(555) 123-4567"), 1);
  EXPECT_EQ(IsValidPhone("+1 555 1234"), 0);
  EXPECT_EQ(IsValidPhone("555.1234"), 0);
  EXPECT_EQ(IsValidPhone("555 1234 ext"), 0);
  EXPECT_EQ(IsValidPhone(""), 1);
  EXPECT_EQ(IsValidPhone(nullptr), 0);
}

TEST(IsValidNameTest, ShortNamesAndPlaceholders) {
  EXPECT_EQ(IsValidName("%%SERVER%%"), 1);
  EXPECT_EQ(IsValidName("%%CLIENT%%"), 1);
  EXPECT_EQ(IsValidName("%%client%%"), 0);
  EXPECT_EQ(IsValidName("%%OTHER%%"), 0);
  EXPECT_EQ(IsValidName("abcdefgh"), 1);
  EXPECT_EQ(IsValidName("abcdefghi"), 0);
  EXPECT_EQ(IsValidName("a1b2"), 1);
  EXPECT_EQ(IsValidName("1abc"), 0);
  EXPECT_EQ(IsValidName("ab_c"), 0);
  EXPECT_EQ(IsValidName(" user1 "), 1);
  EXPECT_EQ(IsValidName(""), 1);
  EXPECT_EQ(IsValidName(nullptr), 0);
}

TEST(IsValidMemSizeTest, NumberUnitPairs) {
  EXPECT_EQ(IsValidMemSize("64 M"), 1);
  EXPECT_EQ(IsValidMemSize("1 M 512 K"), 1);
  EXPECT_EQ(IsValidMemSize("512 K"), 1);
  EXPECT_EQ(IsValidMemSize("64M"), 0);
  EXPECT_EQ(IsValidMemSize("64 m"), 0);
  EXPECT_EQ(IsValidMemSize("64 MB"), 0);
  EXPECT_EQ(IsValidMemSize("64"), 0);
  EXPECT_EQ(IsValidMemSize("M 64"), 0);
  EXPECT_EQ(IsValidMemSize("1 M 512"), 0);
  EXPECT_EQ(IsValidMemSize("-1 M"), 0);
  EXPECT_EQ(IsValidMemSize(""), 1);
  EXPECT_EQ(IsValidMemSize(nullptr), 0);
}

TEST(IsValidExceptionCodesTest, NoTrimmingNullInvalid) {
  EXPECT_EQ(IsValidExceptionCodes("404, 500 503"), 1);
  EXPECT_EQ(IsValidExceptionCodes("\t404,\t500"), 1);
  EXPECT_EQ(IsValidExceptionCodes("404;500"), 0);
  EXPECT_EQ(IsValidExceptionCodes("404\n"), 0);  // not trimmed
  EXPECT_EQ(IsValidExceptionCodes("-1"), 0);
  EXPECT_EQ(IsValidExceptionCodes(""), 1);
  EXPECT_EQ(IsValidExceptionCodes(nullptr), 0);
}

TEST(CharacterPredicates, BadDirChar) {
  for (char c : std::string("\"<>|&")) {
    EXPECT_EQ(IsBadDirChar(c, 0), 1) << c;
    EXPECT_EQ(IsBadDirChar(c, 1), 1) << c;
  }
  EXPECT_EQ(IsBadDirChar('?', 0), 1);
  EXPECT_EQ(IsBadDirChar('*', 0), 1);
  EXPECT_EQ(IsBadDirChar('?', 1), 0);
  EXPECT_EQ(IsBadDirChar('*', 1), 0);
  EXPECT_EQ(IsBadDirChar('\x1F', 1), 1);
  EXPECT_EQ(IsBadDirChar('\0', 1), 1);
  EXPECT_EQ(IsBadDirChar(' ', 0), 0);
  EXPECT_EQ(IsBadDirChar('/', 0), 0);
  EXPECT_EQ(IsBadDirChar('\\', 0), 0);
  EXPECT_EQ(IsBadDirChar(':', 0), 0);
  EXPECT_EQ(IsBadDirChar('\x7F', 0), 0);
  EXPECT_EQ(IsBadDirChar('\x80', 1), 1);
  EXPECT_EQ(IsBadDirChar('\xFF', 1), 1);
}

TEST(CharacterPredicates, BadFileChar) {
  for (char c : std::string("\\\"&/<>?^|")) EXPECT_EQ(IsBadFileChar(c), 1) << c;
  for (char c : std::string("aZ09._- *:~")) EXPECT_EQ(IsBadFileChar(c), 0) << c;
  EXPECT_EQ(IsBadFileChar('\x1F'), 1);
  EXPECT_EQ(IsBadFileChar('\xE9'), 1);
}

TEST(CharacterPredicates, BadHostChar) {
  for (char c : std::string(" :@,")) EXPECT_EQ(IsBadHostChar(c), 1) << c;
  for (char c : std::string("a.-_*9")) EXPECT_EQ(IsBadHostChar(c), 0) << c;
}

TEST(CharacterPredicates, WildcardPresent) {
  EXPECT_EQ(IsWildcardPresent("/a/*"), 1);
  EXPECT_EQ(IsWildcardPresent("*"), 1);
  EXPECT_EQ(IsWildcardPresent("/a/b"), 0);
  EXPECT_EQ(IsWildcardPresent(""), 0);
}

TEST(GenQuestionMarksTest, WritesThreeQuestionMarks) {
  PageCapture capture;
  EXPECT_EQ(GenQuestionMarks(), 1);
  EXPECT_EQ(capture.Take(), "???");
}

}  // namespace
}  // namespace cfgout
