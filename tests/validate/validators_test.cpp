// The field validators: one row per validator and parameters, with the values
// it accepts and those it refuses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/page_output.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

struct Row {
  FieldValidator validate;
  int param1, param2;
  std::vector<const char*> accepted, refused;
};

const Row kRows[] = {
    {NoValidation, -1, -1, {"anything <at> all", nullptr}, {}},
    {IsValidNumeric, 0, 65535, {"8080", "0", "65535", "  8080  ", "\t\r\n8080\v\f"},
     {"65536", "-1", "4294967376", "-4294967216", "99999999999999999999999"}},
    {IsValidNumeric, 0, 10, {"+5", "-0", "+"}, {"5a", "5-", "1.5"}},
    {IsValidNumeric, 1, 10, {"", "   "}, {"-"}},
    {IsValidNumeric, 1, 32767, {}, {"0"}}, {IsValidNumeric, 0, 100, {}, {"5 5", "0x10"}},
    {IsValidNumeric, -10, 10, {}, {"+-5"}}, {IsValidNumeric, 60, 65535, {"60"}, {"59"}},
    {IsValidNumeric, 1, 86400, {"86400"}, {"86401"}}, {IsValidNumeric, -5, 5, {"-5"}, {"-6"}},
    {IsValidNumeric, 0, 0, {"123456789", "-42", "99999999999999999999"}, {"4x", nullptr}},
    {IsValidPort, 0, -1, {"80", "99999", "  443 ", ""}, {"80,8080", "+80"}},
    {IsValidPort, 1, -1, {"80,8080", ",80", "99999,1"}, {"80, 8080", "http", nullptr}},
    {IsValidFloat, 0, 0, {"1.5", "-1.5", "+0.25"}, {"15", "1.5.2", "1,5", "1.5e3", nullptr}},
    {IsValidFloat, 0, 1, {"0.5", "1.0", " 0.5 "}, {"1.01", "-0.01"}}, {IsValidFloat, 1, 2, {""}, {}},
    {IsValidDir, 0, -1, {"/a/b", "C:\\proxy\\cache", "/a b", "  /a/b  ", ""},
     {"/a/b*", "/a/b?", "/a\\b", "/a\x01" "b", "/caf\xC3\xA9", nullptr}},
    {IsValidDir, 1, -1, {"/a/b*", "/a/b?"}, {"/a/*b", "/a/b**", "/a/<b>", "/a|b", "/a&b", "/a\"b"}},
    {IsValidFilename, 0, 1,
     {"/var/log/access.log", "\"/var/log/access.log\"", "  /var/log/access.log ", "C\\logs\\access.log", "",
      "\"\""},
     {"access.log", "/var/log/", "C:\\logs\\access.log", "/var\\log/access.log", nullptr}},
    {IsValidFilename, 0, 0, {"access.log"},
     {"\"", "a?b", "a^b", "a&b", "a|b", "a<b", "a\"b", "a\tb", "/www/*.html", "/a<b/index.html"}},
    {IsValidFilename, 1, 0, {"/www/*.html", "*"}, {"/w*/index.html"}},
    {IsValidURL, 0, 0,
     {"http://host/path", "HTTP://host/path", "gopher://host", "ftp://host/pub", "file:/tmp/x", "file://tmp/x",
      "news:comp.lang", "ht://host", "fi:/x", "https:x", "://host", "http://host:8080/~u/a%20b;x=1&y#z",
      "  http://host/  ", ""},
     {"file:tmp", "ht:/host", "http:/host", "http//host", "/path", "http://host/a?b", "http://host/a b",
      "http://host/a+b", "http://host/<b>", "http://host/a\\b", "http://host/a\x7F", "http://host/a\x01",
      "http://host/caf\xC3\xA9", "http://*.host/*"}},
    {IsValidURL, 0, 1, {"/path/to/x", "host/path", "http://host/path"}, {"/a b"}},
    {IsValidURL, 1, 0, {"http://*.host/*"}, {}}, {IsValidURL, 1, 1, {}, {nullptr}},
    {IsValidDirURL, 1, 1, {"/a/b*", "http://host/a*", "/a/*b", ""}, {"/a/<b"}}, {IsValidDirURL, 1, 0, {}, {"/a/*b"}},
    {IsValidHost, 1, -1,
     {"*.a.b", "*", "*.*.a.b", "*.", "a*", "10.*", "10.1.*", "10.*.*", "10.*.*.", "*.10.1"},
     {"*a", "host:80", "user@host", "a,b", "a b", "10.*.5", "10.**", "10.*x", nullptr}},
    {IsValidHost, 0, -1, {"www.a.b", "www-1.a_b.c", "  www.a.b  ", "", "10.0.0.1", "10", "10."},
     {"*.a.b", "a*", "a\tb", "a\x7F", "-x", ".a", "caf\xE9", "10.1x", "10..1", "10.*", "1a"}},
    {IsValidEngTime, -1, -1,
     {"forever", "FOREVER", "forevermore", "1 day", "2 hours 30 minutes", "10 SEC", "1 week 1 month 1 year",
      "5 mins  3 secs", "  "},
     {"forever 2 days", "5", "5 min 3", "5 m", "5 fortnights", "-5 days", "5days", "day 5", nullptr}},
    {IsValidMilTime, -1, -1, {"00:00", "23:59", "24:00", " 09:30 ", ""},
     {"24:01", "25:00", "12:60", "2400", "9:30", "09:3a", "09-30", nullptr}},
    {IsValidSuffix, -1, -1, {".html", "  .gif", ".", ""}, {"html", "a.html", nullptr}},
    {IsValidAlpha, 0, -1, {"New York", "St. Louis"}, {"Route 66", "a-b", nullptr}},
    {IsValidAlpha, 3, -1, {"abc", ""}, {"ab", "  ab  "}},
    {IsValidAlphaNum, 0, 0, {"abc123", "  ab  "}, {"abc 123", "a.b", "a@b"}},
    {IsValidAlphaNum, 1, 0, {"john.doe@example.com", "j_d~x^y@host", ""}, {"john.doe", "a@b@c", "a-b@c", "a b"}},
    {IsValidAlphaNum, 0, 1, {"O'Brien (Sales), Dept. 5/6: x=y? \"a\"+b-c_d"},
     {"a;b", "a!b", "a@b", "a~b", "a^b", "a#b", "a%b", "a&b", "a*b", "a<b", "a[b", "a\\b", "a|b", "a\tb", "a`b",
      nullptr}}, {IsValidAlphaNum, 1, 1, {"a b@c"}, {}},
    {IsValidPhone, -1, -1, {"(555) 123-4567", ""}, {"+1 555 1234", "555.1234", "555 1234 ext", nullptr}},
    {IsValidName, -1, -1, {"%%SERVER%%", "%%CLIENT%%", "abcdefgh", "a1b2", " user1 ", ""},
     {"%%client%%", "%%OTHER%%", "abcdefghi", "1abc", "ab_c", nullptr}},
    {IsValidMemSize, -1, -1, {"64 M", "1 M 512 K", "512 K", ""},
     {"64M", "64 m", "64 MB", "64", "M 64", "1 M 512", "-1 M", nullptr}},
    {IsValidExceptionCodes, -1, -1, {"404, 500 503", "\t404,\t500", ""}, {"404;500", "404\n", "-1", nullptr}},
};

TEST(Validators, Table) {
  for (const Row& r : kRows) {
    for (const char* v : r.accepted) EXPECT_EQ(r.validate(v, r.param1, r.param2), 1) << &r - kRows << ": " << v;
    for (const char* v : r.refused) EXPECT_EQ(r.validate(v, r.param1, r.param2), 0) << &r - kRows << ": " << v;
  }
  EXPECT_EQ(NoValidation(), 1);
  const std::string dir254 = "/" + std::string(252, 'd') + "/", dir255 = "/" + std::string(253, 'd') + "/";
  EXPECT_EQ(IsValidFilename((dir254 + "f").c_str(), 0, 1), 1);
  EXPECT_EQ(IsValidFilename((dir255 + "f").c_str(), 0, 1), 0);
}

TEST(Validators, CodePage850LettersInNames) {
  for (char c : std::string("\x80\x81\x8F\x90\x9A\x9B\x9D\xA0\xA5\xB5\xB6\xB7\xC6\xC7\xD2\xD3\xD4\xD6\xD7\xD8"
                            "\xDE\xE0\xE5\xE9\xEF\xF9")) {
    const std::string value = std::string("M") + c + "ller";
    EXPECT_EQ(IsValidAlphaNum(value.c_str(), 0, 1), 1) << +static_cast<unsigned char>(c);
    EXPECT_EQ(IsValidAlphaNum(value.c_str(), 0, 0), 0) << +static_cast<unsigned char>(c);
  }
  for (char c : std::string("\x9C\x9E\x9F\xA6\xB4\xB8\xC5\xC8\xD1\xD5\xD9\xDD\xDF\xE6\xE8\xF0\xF8\xFA\xFF")) {
    EXPECT_EQ(IsValidAlphaNum((std::string("M") + c + "ller").c_str(), 0, 1), 0) << +static_cast<unsigned char>(c);
  }
  int count = 0;
  for (int b = 0x80; b <= 0xFF; ++b) count += IsValidAlphaNum(std::string(1, static_cast<char>(b)).c_str(), 0, 1);
  EXPECT_EQ(count, 61);
}

TEST(Validators, CharacterPredicatesAndQuestionMarks) {
  for (char c : std::string("\"<>|&\x1F\x80\xFF\0", 9)) EXPECT_EQ(IsBadDirChar(c, 1), 1) << c;
  for (char c : std::string("\"<>|&?*")) EXPECT_EQ(IsBadDirChar(c, 0), 1) << c;
  for (char c : std::string(" /\\:\x7F")) EXPECT_EQ(IsBadDirChar(c, 0), 0) << c;
  EXPECT_EQ(IsBadDirChar('?', 1) + IsBadDirChar('*', 1), 0);
  for (char c : std::string("\\\"&/<>?^|\x1F\xE9")) EXPECT_EQ(IsBadFileChar(c), 1) << c;
  for (char c : std::string("aZ09._- *:~")) EXPECT_EQ(IsBadFileChar(c), 0) << c;
  for (char c : std::string(" :@,")) EXPECT_EQ(IsBadHostChar(c), 1) << c;
  for (char c : std::string("a.-_*9")) EXPECT_EQ(IsBadHostChar(c), 0) << c;
  for (const char* s : {"/a/*", "*"}) EXPECT_EQ(IsWildcardPresent(s), 1);
  for (const char* s : {"/a/b", ""}) EXPECT_EQ(IsWildcardPresent(s), 0);
  PageCapture capture;
  EXPECT_EQ(GenQuestionMarks(), 1);
  EXPECT_EQ(capture.Take(), "???");
}

}  // namespace
}  // namespace cfgout
