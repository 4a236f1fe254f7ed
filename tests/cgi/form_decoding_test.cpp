// Decoding of posted form bodies and the posted-body environment check.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "cgi/form_decoding.h"

namespace cfgout {
namespace {

// A readable stream holding exactly `bytes`.
class BodyStream {
 public:
  explicit BodyStream(std::string_view bytes) : file_(std::tmpfile()) {
    if (file_ != nullptr) {
      std::fwrite(bytes.data(), 1, bytes.size(), file_);
      std::rewind(file_);
    }
  }
  ~BodyStream() {
    if (file_ != nullptr) std::fclose(file_);
  }
  BodyStream(const BodyStream&) = delete;
  BodyStream& operator=(const BodyStream&) = delete;
  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

FormArgList Decode(std::string_view body, long length) {
  BodyStream stream(body);
  EXPECT_NE(stream.get(), nullptr);
  return ReadArguments(length, stream.get());
}

FormArgList Decode(std::string_view body) { return Decode(body, static_cast<long>(body.size())); }

TEST(ReadArgumentsTest, FieldsInBodyOrder) {
  const FormArgList args = Decode("ADMINPORT=8080&HOSTNAME=proxy.example.com&X=");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0].name, "ADMINPORT");
  EXPECT_EQ(args[0].value, "8080");
  EXPECT_EQ(args[1].name, "HOSTNAME");
  EXPECT_EQ(args[1].value, "proxy.example.com");
  EXPECT_EQ(args[2].name, "X");
  EXPECT_EQ(args[2].value, "");
}

TEST(ReadArgumentsTest, EmptyFieldsMakeNoEntries) {
  const FormArgList args = Decode("&&A=1&&B=2&");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].name, "A");
  EXPECT_EQ(args[0].value, "1");
  EXPECT_EQ(args[1].name, "B");
  EXPECT_EQ(args[1].value, "2");
  EXPECT_TRUE(Decode("&&&").empty());
  EXPECT_TRUE(Decode("&").empty());
}

TEST(ReadArgumentsTest, NoLengthNoFields) {
  EXPECT_TRUE(Decode("A=1", 0).empty());
  EXPECT_TRUE(Decode("A=1", -5).empty());
  EXPECT_TRUE(ReadArguments(0, nullptr).empty());
}

TEST(ReadArgumentsTest, FieldWithoutEqualsHasNoValue) {
  const FormArgList args = Decode("FLAG&A=x=y&=v");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0].name, "FLAG");
  EXPECT_EQ(args[0].value, std::nullopt);
  EXPECT_EQ(args[1].name, "A");
  EXPECT_EQ(args[1].value, "x=y");  // split at the first '=' only
  EXPECT_EQ(args[2].name, "");
  EXPECT_EQ(args[2].value, "v");
}

TEST(ReadArgumentsTest, FieldWithoutEqualsIsNotDecoded) {
  const FormArgList args = Decode("A+B%41");
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(args[0].name, "A+B%41");
  EXPECT_EQ(args[0].value, std::nullopt);
}

TEST(ReadArgumentsTest, NamesAreNeverDecoded) {
  const FormArgList args = Decode("A+B%41=C+D%41");
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(args[0].name, "A+B%41");
  EXPECT_EQ(args[0].value, "C DA");
}

TEST(ReadArgumentsTest, PlusAndEscapes) {
  const FormArgList args = Decode("A=a+b%2Bc&B=%41%42&C=%7e%7E&D=%2F%3A%3d");
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0].value, "a b+c");
  EXPECT_EQ(args[1].value, "AB");
  EXPECT_EQ(args[2].value, "~~");
  EXPECT_EQ(args[3].value, "/:=");
}

TEST(ReadArgumentsTest, EncodedSeparatorsStayInTheValue) {
  const FormArgList args = Decode("A=x%26B%3Dy&C=1");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].name, "A");
  EXPECT_EQ(args[0].value, "x&B=y");
  EXPECT_EQ(args[1].name, "C");
}

TEST(ReadArgumentsTest, ProducedBytesAreNotDecodedAgain) {
  const FormArgList args = Decode("A=%2541&B=%252B&C=%25%41");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0].value, "%41");
  EXPECT_EQ(args[1].value, "%2B");
  EXPECT_EQ(args[2].value, "%A");
}

TEST(ReadArgumentsTest, NonHexDigitsCountZero) {
  const FormArgList args = Decode("A=%G1x&B=%4Gx&C=%4%x&D=%1z");
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0].value, "\x01x");  // G counts 0: 0*16+1
  EXPECT_EQ(args[1].value, "@x");     // 4*16+0
  EXPECT_EQ(args[2].value, "@x");     // '%' counts 0 as well
  EXPECT_EQ(args[3].value, "\x10");   // 1*16+0
  const FormArgList high = Decode("A=%ff%80%C3%A9");
  ASSERT_EQ(high.size(), 1u);
  EXPECT_EQ(high[0].value, "\xFF\x80\xC3\xA9");
}

TEST(ReadArgumentsTest, ProducedNulEndsTheValue) {
  const FormArgList args = Decode("A=ab%zzcd&B=%00x&C=x%0G");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0].value, "ab");
  EXPECT_EQ(args[1].value, "");
  EXPECT_EQ(args[2].value, "x");
}

TEST(ReadArgumentsTest, PercentWithFewerThanTwoCharactersIsKept) {
  const FormArgList args = Decode("A=50%&B=x%4&C=%");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0].value, "50%");
  EXPECT_EQ(args[1].value, "x%4");
  EXPECT_EQ(args[2].value, "%");
  const FormArgList atEnd = Decode("A=%4");
  ASSERT_EQ(atEnd.size(), 1u);
  EXPECT_EQ(atEnd[0].value, "%4");
}

TEST(ReadArgumentsTest, SameNameTwiceKeepsBoth) {
  const FormArgList args = Decode("CACHING=off&caching=on");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].name, "CACHING");
  EXPECT_EQ(args[0].value, "off");
  EXPECT_EQ(args[1].name, "caching");
  EXPECT_EQ(args[1].value, "on");
}

TEST(ReadArgumentsTest, ReadsExactlyLengthBytes) {
  BodyStream stream("A=1&B=2&C=3");
  const FormArgList args = ReadArguments(7, stream.get());
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1].name, "B");
  EXPECT_EQ(args[1].value, "2");
  char rest[8] = {};
  EXPECT_EQ(std::fread(rest, 1, sizeof rest, stream.get()), 4u);
  EXPECT_EQ(std::string(rest, 4), "&C=3");
}

TEST(ReadArgumentsTest, ShortBodyIsPaddedWithFF) {
  const FormArgList args = Decode("A=1&B=x", 10);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].value, "1");
  EXPECT_EQ(args[1].name, "B");
  EXPECT_EQ(args[1].value, "x\xFF\xFF\xFF");
  const FormArgList noEquals = Decode("AB", 4);
  ASSERT_EQ(noEquals.size(), 1u);
  EXPECT_EQ(noEquals[0].name, "AB\xFF\xFF");
  EXPECT_EQ(noEquals[0].value, std::nullopt);
  const FormArgList nothing = Decode("", 3);
  ASSERT_EQ(nothing.size(), 1u);
  EXPECT_EQ(nothing[0].name, "\xFF\xFF\xFF");
}

TEST(ReadArgumentsTest, CompleteTellsWhetherEveryAnnouncedByteArrived) {
  struct Case {
    std::string_view body;
    long length;
    bool complete;
  };
  for (const Case& c : {Case{"A=1&B=x", 10, false}, Case{"", 1, false}, Case{"A=1", 3, true},
                        Case{"A=1&B=2", 3, true}, Case{"", 0, true}}) {
    BodyStream stream(c.body);
    bool complete = !c.complete;
    ReadArguments(c.length, stream.get(), &complete);
    EXPECT_EQ(complete, c.complete) << c.body << " " << c.length;
  }
}

TEST(ReadArgumentsTest, LargeBodyIsReadCompletely) {
  std::string body = "A=";
  body.append(200000, 'x');
  body += "&B=%41";
  const FormArgList args = Decode(body);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].value->size(), 200000u);
  EXPECT_EQ(args[1].value, "A");
}

TEST(ReadArgumentsTest, RawNulByteEndsTheBody) {
  const FormArgList args = Decode(std::string_view("A=1&B=2\0&C=3", 12));
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1].value, "2");
}

// Sets or clears environment variables for one test and restores them.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(CheckEnvironmentTest, MethodMismatch) {
  long length = 99;
  {
    ScopedEnv method("REQUEST_METHOD", nullptr);
    ScopedEnv content("CONTENT_LENGTH", "10");
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 1);
    EXPECT_EQ(length, 0);
  }
  {
    ScopedEnv method("REQUEST_METHOD", "GET");
    ScopedEnv content("CONTENT_LENGTH", "10");
    length = 99;
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 1);
    EXPECT_EQ(length, 0);
  }
}

TEST(CheckEnvironmentTest, LengthChecks) {
  ScopedEnv method("REQUEST_METHOD", "post");
  long length = 99;
  {
    ScopedEnv content("CONTENT_LENGTH", "42");
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 0);
    EXPECT_EQ(length, 42);
  }
  {
    ScopedEnv content("CONTENT_LENGTH", nullptr);
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 2);
    EXPECT_EQ(length, 0);
  }
  {
    ScopedEnv content("CONTENT_LENGTH", "0");
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 2);
    EXPECT_EQ(length, 0);
  }
  {
    ScopedEnv content("CONTENT_LENGTH", "-7");
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 2);
    EXPECT_EQ(length, -7);
  }
  {
    ScopedEnv content("CONTENT_LENGTH", " 12abc");
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 0);
    EXPECT_EQ(length, 12);
  }
  {
    ScopedEnv content("CONTENT_LENGTH", "abc");
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 2);
    EXPECT_EQ(length, 0);
  }
  {
    ScopedEnv content("CONTENT_LENGTH", "99999999999999");
    EXPECT_EQ(CheckEnvironment(&length, "POST"), 0);
    EXPECT_EQ(length, 2147483647);
  }
}

TEST(CheckEnvironmentTest, NullMethodSkipsTheMethodCheck) {
  ScopedEnv method("REQUEST_METHOD", nullptr);
  ScopedEnv content("CONTENT_LENGTH", "5");
  long length = 0;
  EXPECT_EQ(CheckEnvironment(&length, nullptr), 0);
  EXPECT_EQ(length, 5);
}

}  // namespace
}  // namespace cfgout
