// The bundle cache and the message lookup over it.

#include <langinfo.h>
#include <unicode/uloc.h>
#include <unicode/ures.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "nls/locale.h"
#include "nls/message_lookup.h"
#include "nls/res_bundle.h"

namespace cfgout {
namespace {

constexpr const char* kDir = CFGOUT_TEST_MESSAGE_DIR;

using BundlePtr = std::unique_ptr<ResBundle, decltype([](ResBundle* bundle) { ResBundle_Destroy(bundle); })>;

BundlePtr Load(const char* locale, const char* name) {
  return BundlePtr(ResBundle_LoadSpecific(locale, kDir, name));
}

std::string Text(ResBundle* bundle, int set, int id) {
  const char* text = ResBundle_Extract(bundle, set, id);
  return text != nullptr ? text : "<none>";
}

// True when `lookup`, run while `lock` is held, blocks on it (glibc marks a waited-on mutex 2).
template <typename Lookup>
bool WaitsForLock(Lookup lookup, pmutex* lock) {
  pmutex_request(lock);
  std::atomic<bool> done{false};
  std::thread worker([&] { lookup(), done = true; });
  while (!done && lock->__data.__lock != 2) std::this_thread::yield();
  const bool waited = !done;
  pmutex_release(lock);
  worker.join();
  return waited;
}

// ICU's default locale decides which file a bundle falls back to.
class ResBundleTest : public ::testing::Test {
 protected:
  void SetUp() override { SetIcuDefault("en_US"); }
  void TearDown() override { SetUp(); }
  static void SetIcuDefault(const char* locale) {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault(locale, &status);
    ASSERT_TRUE(U_SUCCESS(status));
  }
};

// A forced encoding wins over the locale; without one the requested locale chooses the
// converter, also within its own chain; a fallback to root uses the locale the bundle has.
struct BundleRow {
  const char* locale;
  const char* name;
  std::string converter;
  std::vector<std::tuple<int, int, std::string>> texts;
};

TEST_F(ResBundleTest, ConvertersAndTexts) {
  const std::string system = nl_langinfo(CODESET);
  const BundleRow rows[] = {
      {"en_US", "config", "UTF-8",
       {{2, 1, "Memory allocation error"}, {1, 52, "Set one, message 52"}, {2, 14, "<none>"}, {2, 13, ""},
        {2, 3, "Quote \" backslash \\ and \xC3\xBCn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 end"},
        {2, 2, "Separated by spaces"}, {2, 10, "line one\nline two\tTabbed \\d kept"}, {2, 12, "Trailing blanks kept   "}}},
      // Template lines end with an empty message; includes are expanded.
      {"en_US", "HTMLForm", "UTF-8",
       {{8, 1, "<html><head><title>Basic 100%%</title></head>\n"}, {8, 2, "<h1>Header \"quoted\" \\ back</h1>\n"},
        {8, 3, "<h2>Sub</h2>\n"}, {8, 4, "<form>%s</form>\n"}, {8, 5, "\n"}, {8, 6, "</html>\n"}, {8, 7, ""},
        {8, 8, "<none>"}, {17, 1, "<param name=\"message\" value=\"%s\">\n"}, {17, 2, ""}}},
      {"ja_JP", "latin1", "ISO-8859-1", {{2, 1, "caf\xE9"}, {2, 2, "\x1A\x1A"}}},  // not in Latin-1: substitutes
      {"ja_JP", "cp850", "ibm-850", {{2, 1, "caf\x82"}}},
      {"ja_JP", "plain", kConverterCodePage932, {{2, 1, "\x93\xFA\x96\x7B\x8C\xEA"}}},  // Shift-JIS
      {"ja_JP_TRADITIONAL", "plain", system, {}},
      {"ko_KR", "plain", system, {{2, 1, "root text"}}},
  };
  for (const BundleRow& row : rows) {
    BundlePtr bundle = Load(row.locale, row.name);
    ASSERT_NE(bundle, nullptr) << row.name;
    EXPECT_EQ(bundle->converterName, row.converter) << row.locale << " " << row.name;
    for (const auto& [set, id, text] : row.texts) EXPECT_EQ(Text(bundle.get(), set, id), text) << set << "," << id;
  }
  // A fallback to (or a null locale meaning) ICU's default locale uses its converter.
  SetIcuDefault("ja_JP");
  BundlePtr korean = Load("ko_KR", "plain");
  EXPECT_EQ(korean->converterName, kConverterCodePage932);
  EXPECT_EQ(Text(korean.get(), 2, 1), "\x93\xFA\x96\x7B\x8C\xEA");
  EXPECT_EQ(BundlePtr(ResBundle_Load(kDir, "plain"))->converterName, kConverterCodePage932);
  for (const char* name : {"config", "HTMLForm", "htmlprox"}) {  // the program's own force UTF-8
    BundlePtr bundle(ResBundle_LoadSpecific("ja_JP", CFGOUT_BUILD_MESSAGE_DIR, name));
    EXPECT_EQ(bundle ? bundle->converterName : "<none>", "UTF-8") << name;
  }
}

TEST_F(ResBundleTest, TheSameMessageIsOneCachedElementAndMissingOnesTheDefault) {
  BundlePtr bundle = Load("en_US", "config");
  const char* first = ResBundle_Extract(bundle.get(), 2, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 2, 1), first);
  EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), 2, 1, "x"), first);
  ResBundleElement* element = ResBundle_ExtractHashElement(bundle.get(), 2, 1);
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(std::tuple(element->set, element->id, element->text), std::tuple(2, 1, first));
  EXPECT_EQ(ResBundle_ExtractUnicode(bundle.get(), 2, 1), element->unicodeText);
  EXPECT_EQ(StrongHash_GetStats(bundle->cache).objectCount, 1u);
  element = ResBundle_ExtractHashElement(bundle.get(), 2, 11);  // both copies, converted and UTF-16
  ASSERT_NE(element, nullptr);
  EXPECT_STREQ(element->text, "Ready from the catalogue");
  EXPECT_EQ(std::u16string(element->unicodeText), u"Ready from the catalogue");
  ResBundleElement twoOne{2, 1, nullptr, nullptr}, oneFiftyTwo{1, 52, nullptr, nullptr};
  EXPECT_EQ(ResBundle_Hash(256, &twoOne), 103u);
  EXPECT_EQ(ResBundle_Hash(256, &oneFiftyTwo), 103u);
  EXPECT_NE(ResBundle_Compare(&twoOne, &oneFiftyTwo), 0);
  EXPECT_EQ(ResBundle_Compare(&twoOne, &twoOne), 0);
  EXPECT_EQ(Text(bundle.get(), 1, 52), "Set one, message 52");
  // Past the end, no such set, numbers below 1, and a gap in the catalogue.
  const char* fallback = "built-in";
  for (auto [set, id] : {std::pair{2, 14}, std::pair{3, 1}, std::pair{2, 0}, std::pair{2, -1}, std::pair{2, 5}}) {
    EXPECT_EQ(ResBundle_ExtractWithDefault(bundle.get(), set, id, fallback), fallback) << set << "," << id;
  }
  const UChar fallbackUnicode[] = u"u";
  EXPECT_EQ(ResBundle_ExtractUnicodeWithDefault(bundle.get(), 9, 9, fallbackUnicode), fallbackUnicode);
}

TEST_F(ResBundleTest, LoadingFailsWithoutADirectoryOrBundleAndInsertConverts) {
  for (const char* dir : {"", static_cast<const char*>(nullptr), "/nonexistent/dir"}) {
    EXPECT_EQ(ResBundle_LoadSpecific("en_US", dir, "config"), nullptr);
  }
  EXPECT_EQ(ResBundle_LoadSpecific("en_US", kDir, "no_such_bundle"), nullptr);
  UErrorCode status = U_ZERO_ERROR;  // a directory that ends in a slash gets no second one
  UResourceBundle* resource = ResBundle_LoadCatalog("en_US", (std::string(kDir) + "/").c_str(), "config", &status);
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(status, U_USING_DEFAULT_WARNING);
  ures_close(resource);
  BundlePtr bundle = Load("en_US", "latin1");
  EXPECT_EQ(ResBundle_Insert(bundle.get(), 40, 2, u"na\u00EFve"), 1);
  EXPECT_EQ(Text(bundle.get(), 40, 2), "na\xEFve");
  EXPECT_EQ(ResBundle_Insert(bundle.get(), 40, 3, nullptr), 0);
}

TEST_F(ResBundleTest, UnprimedLookupsWaitForTheLockPrimedOnesDoNot) {
  BundlePtr config = Load("en_US", "config"), bundle = Load("en_US", "kzohtc");
  ASSERT_NE(bundle, nullptr);
  EXPECT_TRUE(WaitsForLock([&] { ResBundle_Extract(config.get(), 2, 1); }, config->lock));
  const char* before = ResBundle_Extract(bundle.get(), 2, 1);
  ResBundle_Prime(bundle.get());
  ResBundle_Prime(bundle.get());  // a second prime changes nothing
  EXPECT_EQ(bundle->primed.load(), 1);
  // Sets 2 (two messages) and 5 (one), and the force_encoding string.
  EXPECT_EQ(StrongHash_GetStats(bundle->cache).objectCount, 4u);
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 2, 1), before);
  EXPECT_STREQ(before, "primed one");
  EXPECT_EQ(Text(bundle.get(), 5, 1), "primed set five");
  EXPECT_EQ(ResBundle_Extract(bundle.get(), 2, 3), nullptr);
  std::string seen;
  EXPECT_FALSE(WaitsForLock([&] { seen = Text(bundle.get(), 2, 2); }, bundle->lock));
  EXPECT_EQ(seen, "primed two");
}

TEST_F(ResBundleTest, ConcurrentFirstLookupsAgreeOnOnePointer) {
  BundlePtr bundle = Load("en_US", "config");
  constexpr int kThreads = 4;
  std::vector<std::vector<const char*>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] { for (int id = 1; id <= 13; ++id) seen[t].push_back(ResBundle_Extract(bundle.get(), 2, id)); });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
  // Thirteen numbers, six of them (4 to 9) gaps that hold no message.
  EXPECT_EQ(StrongHash_GetStats(bundle->cache).objectCount, 7u);
}

constexpr const char* kNowhere = "/nonexistent/cfgout-message-dir";

// A slot's state: loaded, references, load attempts, opens, primed.
std::string Slot(int slot) {
  const NlsSlotInfo info = nlsGetSlotInfo(slot);
  return std::to_string(info.loaded) + " ref " + std::to_string(info.refCount) + " loads " +
         std::to_string(info.loadCount) + " opens " + std::to_string(info.openCount) + " primed " +
         std::to_string(info.primed);
}

class BundleLookup : public ResBundleTest {
 protected:
  void SetUp() override { ResBundleTest::SetUp(), Use(kDir); }
  void TearDown() override { nlsResetForTesting(); }
  static void Use(const char* dir) {
    nlsSetMessageDirectory(dir);
    nlsResetForTesting();
  }
};

TEST_F(BundleLookup, TheSlotTableHasSevenNamedRowsAndNothingOutside) {
  const char* names[] = {nullptr, "cacheagt", "config", "HTMLForm", "htmlprox", "kzoproxy", "kzohtc", "kzocp", nullptr};
  for (int slot = -1; slot <= kNlsSlotCount; ++slot) {
    EXPECT_STREQ(nlsGetSlotInfo(slot).name, names[slot + 1]) << slot;
    EXPECT_EQ(nlsGetSlotInfo(slot).prime, slot == 5 || slot == 6 ? 1 : 0) << slot;
    EXPECT_EQ(nlsGetSlotInfo(slot).converterName, nullptr) << slot;
    EXPECT_EQ(Slot(slot), "0 ref 0 loads 0 opens 0 primed 0") << slot;
  }
}

TEST_F(BundleLookup, FirstLookupLoadsTheSlotWithItsCatalogueText) {
  const char* text = nlsGetString(1, 2, 11, "Ready");
  EXPECT_STREQ(text, "Ready from the catalogue");
  EXPECT_EQ(nlsGetString(1, 2, 11, "Ready"), text);
  EXPECT_EQ(Slot(1), "1 ref 1 loads 1 opens 1 primed 0");
  EXPECT_STREQ(nlsGetSlotInfo(1).converterName, "UTF-8");
  EXPECT_EQ(CatalogueMessage(kMsgStatusReady), text);
  EXPECT_EQ(ConfigMessageText(kMsgStatusReady), text);
  const char* fallback = "default text";
  EXPECT_EQ(nlsGetString(1, 2, 99, fallback), fallback);
  EXPECT_EQ(nlsLoadResources(2, "en_US"), 1);
  EXPECT_STREQ(nlsGetString(2, 8, 4, nullptr), "<form>%s</form>\n");
  EXPECT_EQ(nlsGetSlotInfo(3).loadCount, 0);
  EXPECT_EQ(nlsLoadResources(5, "en_US"), 1);
  EXPECT_EQ(Slot(5), "1 ref 1 loads 1 opens 1 primed 1");
  EXPECT_STREQ(nlsGetString(5, 5, 1, nullptr), "primed set five");
  EXPECT_EQ(nlsGetString(5, 2, 3, nullptr), nullptr);
}

TEST_F(BundleLookup, LoadsCountReferencesAndTheLastFreeUnloadsForGood) {
  EXPECT_EQ(nlsLoadResources(1, "en_US"), 1);
  std::unique_ptr<Locale, void (*)(Locale*)> french(Locale_Create("fr"), Locale_Destroy);
  EXPECT_EQ(nlsLoadResources(1, french.get()), 1);
  EXPECT_EQ(Slot(1), "1 ref 2 loads 1 opens 1 primed 0");
  nlsFreeResources(1);
  EXPECT_EQ(Slot(1), "1 ref 1 loads 1 opens 1 primed 0");
  nlsFreeResources(1);
  EXPECT_EQ(Slot(1), "0 ref 0 loads 1 opens 1 primed 0");
  // A slot is opened at most once per process.
  EXPECT_EQ(nlsLoadResources(1, "en_US"), 0);
  EXPECT_STREQ(nlsGetString(1, 2, 11, "Ready"), "Ready");
  EXPECT_EQ(nlsGetSlotInfo(1).openCount, 1);
}

TEST_F(BundleLookup, WithoutBundlesDefaultsComeBackAndAFailedLoadIsNeverRetried) {
  Use(kNowhere);
  const char* ready = "Ready";
  for (int i = 0; i < 2; ++i) EXPECT_EQ(nlsGetString(1, 2, 11, ready), ready);
  EXPECT_EQ(Slot(1), "0 ref 0 loads 2 opens 1 primed 0");  // every attempt counts, one opens
  nlsSetMessageDirectory(kDir);  // within reach now, whatever the locale: the slot stays empty
  EXPECT_EQ(nlsLoadResources(1, "en_US"), 0);
  EXPECT_EQ(nlsGetString(1, 2, 12, nullptr), nullptr);
  EXPECT_EQ(CatalogueMessage(kMsgStatusChangesDone), nullptr);
  EXPECT_STREQ(ConfigMessageText(kMsgStatusChangesDone),
               "The requested configuration changes have been completed successfully.");
  nlsFreeResources(1);  // nothing loaded: nothing changes
  EXPECT_EQ(Slot(1), "0 ref 0 loads 6 opens 1 primed 0");
  EXPECT_EQ(nlsLoadResources(2, "en_US"), 1);  // other slots load as usual
  Use(kNowhere);
  for (int slot : {7, 42, -1}) EXPECT_EQ(nlsGetString(slot, 2, 1, ready), ready);
  EXPECT_EQ(nlsLoadResources(7, "en_US"), 0);
  nlsFreeResources(7);
  for (int slot = 0; slot < kNlsSlotCount; ++slot) EXPECT_EQ(Slot(slot), "0 ref 0 loads 0 opens 0 primed 0");
}

TEST_F(BundleLookup, TheDirectoryIsMadeAbsolute) {
  nlsSetMessageDirectory("relative/msg");
  EXPECT_EQ(nlsGetMessageDirectory(), (std::filesystem::current_path() / "relative/msg").string());
  const std::filesystem::path saved = std::filesystem::current_path(), dir(kDir);
  std::filesystem::current_path(dir.parent_path());
  nlsSetMessageDirectory(dir.filename().string());
  std::filesystem::current_path(saved);
  EXPECT_STREQ(nlsGetString(1, 2, 11, "Ready"), "Ready from the catalogue");
}

}  // namespace
}  // namespace cfgout
