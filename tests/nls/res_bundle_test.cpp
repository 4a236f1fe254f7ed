#include "nls/res_bundle.h"

#include <langinfo.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nls/locale.h"

namespace cfgout {
namespace {

constexpr const char* kDir = CFGOUT_TEST_MESSAGE_DIR;

struct BundleDeleter {
  void operator()(ResBundle* bundle) const { ResBundle_Destroy(bundle); }
};
using BundlePtr = std::unique_ptr<ResBundle, BundleDeleter>;

BundlePtr Load(const char* locale, const char* name) {
  return BundlePtr(ResBundle_LoadSpecific(locale, kDir, name));
}

std::string Text(ResBundle* bundle, int set, int id) {
  const char* text = ResBundle_Extract(bundle, set, id);
  return text != nullptr ? text : "<none>";
}

// Runs `lookup` on another thread and tells whether it finished within
// `limit`; the thread is always joined before returning.
template <typename Lookup>
bool FinishesWithin(Lookup lookup, std::chrono::milliseconds limit, pmutex* heldLock) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    lookup();
    done = true;
  });
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  bool finished = done;
  pmutex_release(heldLock);
  worker.join();
  return finished;
}

// ICU's default locale decides which file a bundle falls back to; keep it
// fixed for every test.
class ResBundleTest : public ::testing::Test {
 protected:
  void SetUp() override { SetIcuDefault("en_US"); }
  void TearDown() override { SetIcuDefault("en_US"); }
  static void SetIcuDefault(const char* locale) {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault(locale, &status);
    ASSERT_TRUE(U_SUCCESS(status));
  }
};

TEST_F(ResBundleTest, TheSameMessageTwiceIsTheSamePointer) {
  BundlePtr bundle = Load("en_US", "config");
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(bundle->converterName, "UTF-8");
  const char* first = ResBundle_Extract(bundle.get(), 2, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "Memory allocation error");
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 2, 1), first);
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 2, 1, "x"), first);

  ResBundleElement* element = ResBundle_ExtractHashElement(bundle.get(), 2, 1);
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->set, 2);
  EXPECT_EQ(element->id, 1);
  EXPECT_EQ(element->text, first);
  EXPECT_EQ(ResBundle_ExtractUnicode(bundle.get(), 2, 1), element->unicodeText);
  EXPECT_EQ(StrongHash_GetStats(bundle->cache).objectCount, 1u);
}

TEST_F(ResBundleTest, AnElementHoldsBothCopiesRightAfterItsFields) {
  BundlePtr bundle = Load("en_US", "config");
  ResBundleElement* element = ResBundle_ExtractHashElement(bundle.get(), 2, 11);
  ASSERT_NE(element, nullptr);
  const auto* base = reinterpret_cast<const char*>(element);
  const auto* unicode = reinterpret_cast<const char*>(element->unicodeText);
  const std::string expected = "Ready from the catalogue";
  EXPECT_EQ(unicode, base + sizeof(ResBundleElement));
  EXPECT_EQ(element->text, unicode + 2 * (expected.size() + 1));
  EXPECT_EQ(std::string(element->text), expected);
  EXPECT_EQ(u_strlen(element->unicodeText), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(element->unicodeText[0], u'R');
}

TEST_F(ResBundleTest, SetsThatShareABucketAreToldApart) {
  ResBundleElement twoOne{2, 1, nullptr, nullptr};
  ResBundleElement oneFiftyTwo{1, 52, nullptr, nullptr};
  EXPECT_EQ(ResBundle_Hash(256, &twoOne), 103u);
  EXPECT_EQ(ResBundle_Hash(256, &oneFiftyTwo), 103u);
  EXPECT_NE(ResBundle_Compare(&twoOne, &oneFiftyTwo), 0);
  EXPECT_EQ(ResBundle_Compare(&twoOne, &twoOne), 0);

  BundlePtr bundle = Load("en_US", "config");
  EXPECT_EQ(Text(bundle.get(), 1, 52), "Set one, message 52");
  EXPECT_EQ(Text(bundle.get(), 2, 1), "Memory allocation error");
  EXPECT_EQ(Text(bundle.get(), 1, 52), "Set one, message 52");
}

TEST_F(ResBundleTest, MissingMessagesGiveNullOrTheDefault) {
  BundlePtr bundle = Load("en_US", "config");
  const char* fallback = "built-in";
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 2, 14), nullptr);  // past the end
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 2, 14, fallback), fallback);
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 3, 1, fallback), fallback);  // no set 3
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 2, 0, fallback), fallback);
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 2, -1, fallback), fallback);
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 2, 14, nullptr), nullptr);
  const UChar fallbackUnicode[] = u"u";
  EXPECT_EQ(ResBundle_ExtractUnicodeWithDefault(bundle.get(), 9, 9, fallbackUnicode), fallbackUnicode);
  // A gap in a catalogue is a missing message; a number given without text is empty.
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 2, 5, fallback), fallback);
  EXPECT_EQ(Text(bundle.get(), 2, 13), "");
}

TEST_F(ResBundleTest, CatalogueTextSurvivesByteForByte) {
  BundlePtr bundle = Load("en_US", "config");
  EXPECT_EQ(Text(bundle.get(), 2, 3),
            "Quote \" backslash \\ and \xC3\xBCn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 "
            "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 end");
  EXPECT_EQ(Text(bundle.get(), 2, 2), "Separated by spaces");
  EXPECT_EQ(Text(bundle.get(), 2, 10), "line one\nline two\tTabbed \\d kept");
  EXPECT_EQ(Text(bundle.get(), 2, 12), "Trailing blanks kept   ");
}

TEST_F(ResBundleTest, TemplateLinesEndWithAnEmptyMessageAndIncludesAreExpanded) {
  BundlePtr bundle = Load("en_US", "HTMLForm");
  ASSERT_NE(bundle, nullptr);
  const std::vector<std::string> expected = {
      "<html><head><title>Basic 100%%</title></head>\n",
      "<h1>Header \"quoted\" \\ back</h1>\n",
      "<h2>Sub</h2>\n",
      "<form>%s</form>\n",
      "\n",  // a blank source line
      "</html>\n",
      "",
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Text(bundle.get(), 8, static_cast<int>(i + 1)), expected[i]) << "line " << i + 1;
  }
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 8, static_cast<int>(expected.size() + 1)), nullptr);
  EXPECT_EQ(Text(bundle.get(), 17, 1), "<param name=\"message\" value=\"%s\">\n");
  EXPECT_EQ(Text(bundle.get(), 17, 2), "");
}

TEST_F(ResBundleTest, ForceEncodingWinsOverTheLocale) {
  BundlePtr latin1 = Load("ja_JP", "latin1");
  ASSERT_NE(latin1, nullptr);
  EXPECT_EQ(latin1->converterName, "ISO-8859-1");
  EXPECT_EQ(Text(latin1.get(), 2, 1), "caf\xE9");
  EXPECT_EQ(Text(latin1.get(), 2, 2), "\x1A\x1A");  // not in Latin-1: substitutes

  BundlePtr cp850 = Load("ja_JP", "cp850");
  ASSERT_NE(cp850, nullptr);
  EXPECT_EQ(cp850->converterName, "ibm-850");
  EXPECT_EQ(Text(cp850.get(), 2, 1), "caf\x82");
}

TEST_F(ResBundleTest, WithoutForceEncodingTheRequestedLocaleChoosesTheConverter) {
  BundlePtr japanese = Load("ja_JP", "plain");
  ASSERT_NE(japanese, nullptr);
  EXPECT_EQ(japanese->converterName, kConverterCodePage932);
  EXPECT_EQ(Text(japanese.get(), 2, 1), "\x93\xFA\x96\x7B\x8C\xEA");  // Shift-JIS

  // A fallback within the locale's own chain still uses the requested name,
  // which the code page table does not know.
  const std::string system = nl_langinfo(CODESET);
  BundlePtr variant = Load("ja_JP_TRADITIONAL", "plain");
  ASSERT_NE(variant, nullptr);
  EXPECT_EQ(variant->converterName, system);

  // Falling back to root (ICU's default locale has no file either): the
  // converter of the locale the bundle really has.
  BundlePtr korean = Load("ko_KR", "plain");
  ASSERT_NE(korean, nullptr);
  EXPECT_EQ(korean->converterName, system);
  EXPECT_EQ(Text(korean.get(), 2, 1), "root text");
}

TEST_F(ResBundleTest, AFallbackToIcusDefaultLocaleUsesThatLocalesConverter) {
  SetIcuDefault("ja_JP");
  BundlePtr korean = Load("ko_KR", "plain");
  ASSERT_NE(korean, nullptr);
  EXPECT_EQ(korean->converterName, kConverterCodePage932);
  EXPECT_EQ(Text(korean.get(), 2, 1), "\x93\xFA\x96\x7B\x8C\xEA");

  // A null locale means ICU's default locale.
  BundlePtr byDefault(ResBundle_Load(kDir, "plain"));
  ASSERT_NE(byDefault, nullptr);
  EXPECT_EQ(byDefault->converterName, kConverterCodePage932);
}

TEST_F(ResBundleTest, LoadingFailsWithoutADirectoryOrBundle) {
  EXPECT_EQ(ResBundle_LoadSpecific("en_US", "", "config"), nullptr);
  EXPECT_EQ(ResBundle_LoadSpecific("en_US", nullptr, "config"), nullptr);
  EXPECT_EQ(ResBundle_LoadSpecific("en_US", kDir, "no_such_bundle"), nullptr);
  EXPECT_EQ(ResBundle_LoadSpecific("en_US", "/nonexistent/dir", "config"), nullptr);

  UErrorCode status = U_ZERO_ERROR;
  EXPECT_EQ(ResBundle_LoadCatalog("en_US", kDir, "no_such_bundle", &status), nullptr);
  EXPECT_TRUE(U_FAILURE(status));

  // A directory that already ends in a slash gets no second one.
  const std::string withSlash = std::string(kDir) + "/";
  status = U_ZERO_ERROR;
  UResourceBundle* resource = ResBundle_LoadCatalog("en_US", withSlash.c_str(), "config", &status);
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(status, U_USING_DEFAULT_WARNING);
  ures_close(resource);
}

TEST_F(ResBundleTest, InsertAddsAConvertedMessage) {
  BundlePtr bundle = Load("en_US", "latin1");
  EXPECT_EQ(ResBundle_Insert(bundle.get(), 40, 2, u"na\u00EFve"), 1);
  EXPECT_EQ(Text(bundle.get(), 40, 2), "na\xEFve");
  EXPECT_EQ(ResBundle_Insert(bundle.get(), 40, 3, nullptr), 0);
}

TEST_F(ResBundleTest, UnprimedLookupsWaitForTheLock) {
  BundlePtr bundle = Load("en_US", "config");
  pmutex_request(bundle->lock);
  EXPECT_FALSE(FinishesWithin([&] { ResBundle_Extract(bundle.get(), 2, 1); },
                              std::chrono::milliseconds(100), bundle->lock));
  EXPECT_EQ(Text(bundle.get(), 2, 1), "Memory allocation error");
}

TEST_F(ResBundleTest, PrimingReadsEverythingAndLookupsNoLongerLock) {
  BundlePtr bundle = Load("en_US", "kzohtc");
  ASSERT_NE(bundle, nullptr);
  const char* before = ResBundle_Extract(bundle.get(), 2, 1);
  ASSERT_NE(before, nullptr);
  ResBundle_Prime(bundle.get());
  EXPECT_EQ(bundle->primed.load(), 1);
  // Sets 2 (two messages) and 5 (one), and the force_encoding string.
  EXPECT_EQ(StrongHash_GetStats(bundle->cache).objectCount, 4u);
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 2, 1), before);
  EXPECT_EQ(Text(bundle.get(), 5, 1), "primed set five");
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 2, 3), nullptr);

  pmutex_request(bundle->lock);
  std::string seen;
  EXPECT_TRUE(FinishesWithin([&] { seen = Text(bundle.get(), 2, 2); },
                             std::chrono::seconds(5), bundle->lock));
  EXPECT_EQ(seen, "primed two");

  ResBundle_Prime(bundle.get());  // a second prime changes nothing
  EXPECT_EQ(StrongHash_GetStats(bundle->cache).objectCount, 4u);
}

TEST_F(ResBundleTest, ConcurrentFirstLookupsAgreeOnOnePointer) {
  BundlePtr bundle = Load("en_US", "config");
  constexpr int kThreads = 4;
  std::vector<std::vector<const char*>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int id = 1; id <= 13; ++id) seen[t].push_back(ResBundle_Extract(bundle.get(), 2, id));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
  // Thirteen numbers, six of them (4 to 9) gaps that hold no message.
  EXPECT_EQ(StrongHash_GetStats(bundle->cache).objectCount, 7u);
}

}  // namespace
}  // namespace cfgout
