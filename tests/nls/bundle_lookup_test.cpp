#include <unicode/uloc.h>

#include <unicode/ures.h>
#include <unicode/ustring.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "nls/locale.h"
#include "nls/message_lookup.h"

namespace cfgout {
namespace {

constexpr const char* kDir = CFGOUT_TEST_MESSAGE_DIR;

class BundleLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("en_US", &status);
    nlsSetMessageDirectory(kDir);
    nlsResetForTesting();
  }
  void TearDown() override { nlsResetForTesting(); }
};

TEST_F(BundleLookup, FirstLookupLoadsTheSlotWithItsCatalogueText) {
  const char* text = nlsGetString(1, 2, 11, "Ready");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "Ready from the catalogue");
  EXPECT_EQ(nlsGetString(1, 2, 11, "Ready"), text);
  NlsSlotInfo info = nlsGetSlotInfo(1);
  EXPECT_TRUE(info.loaded);
  EXPECT_EQ(info.refCount, 1);
  EXPECT_EQ(info.loadCount, 1);
  EXPECT_EQ(info.openCount, 1);
  EXPECT_FALSE(info.primed);
  ASSERT_NE(info.converterName, nullptr);
  EXPECT_STREQ(info.converterName, "UTF-8");

  EXPECT_STREQ(nlsGetString(1, 1, 52, nullptr), "Set one, message 52");
  EXPECT_EQ(CatalogueMessage(kMsgStatusReady), text);
  EXPECT_EQ(ConfigMessageText(kMsgStatusReady), text);
  EXPECT_EQ(nlsGetString(1, 2, 99, nullptr), nullptr);
  const char* fallback = "default text";
  EXPECT_EQ(nlsGetString(1, 2, 99, fallback), fallback);
}

TEST_F(BundleLookup, LoadsCountReferencesAndTheLastFreeUnloadsForGood) {
  EXPECT_EQ(nlsLoadResources(1, "en_US"), 1);
  Locale* locale = Locale_Create("fr");
  EXPECT_EQ(nlsLoadResources(1, locale), 1);
  Locale_Destroy(locale);
  EXPECT_EQ(nlsGetSlotInfo(1).refCount, 2);
  EXPECT_EQ(nlsGetSlotInfo(1).loadCount, 1);

  nlsFreeResources(1);
  EXPECT_TRUE(nlsGetSlotInfo(1).loaded);
  nlsFreeResources(1);
  EXPECT_FALSE(nlsGetSlotInfo(1).loaded);
  EXPECT_EQ(nlsGetSlotInfo(1).refCount, 0);

  // A slot is opened at most once per process.
  EXPECT_EQ(nlsLoadResources(1, "en_US"), 0);
  EXPECT_STREQ(nlsGetString(1, 2, 11, "Ready"), "Ready");
  EXPECT_EQ(nlsGetSlotInfo(1).openCount, 1);
}

TEST_F(BundleLookup, TemplatesComeFromTheirSlot) {
  EXPECT_EQ(nlsLoadResources(2, "en_US"), 1);
  EXPECT_STREQ(nlsGetString(2, 8, 4, nullptr), "<form>%s</form>\n");
  EXPECT_STREQ(nlsGetString(2, 8, 5, nullptr), "\n");
  EXPECT_STREQ(nlsGetString(2, 8, 7, nullptr), "");
  EXPECT_EQ(nlsGetString(2, 8, 8, nullptr), nullptr);
  // The other slots are untouched.
  EXPECT_EQ(nlsGetSlotInfo(1).loadCount, 0);
  EXPECT_EQ(nlsGetSlotInfo(3).loadCount, 0);
}

TEST_F(BundleLookup, PrimeSlotsAreReadWholeOnLoad) {
  EXPECT_EQ(nlsLoadResources(5, "en_US"), 1);
  NlsSlotInfo info = nlsGetSlotInfo(5);
  EXPECT_TRUE(info.loaded);
  EXPECT_TRUE(info.primed);
  EXPECT_STREQ(nlsGetString(5, 5, 1, nullptr), "primed set five");
  EXPECT_EQ(nlsGetString(5, 2, 3, nullptr), nullptr);
}

TEST_F(BundleLookup, AFailedLoadIsNotRetriedEvenWhenItWouldNowSucceed) {
  nlsSetMessageDirectory("/nonexistent/cfgout-message-dir");
  EXPECT_STREQ(nlsGetString(1, 2, 11, "Ready"), "Ready");
  // The bundle is now within reach, but the slot stays empty.
  nlsSetMessageDirectory(kDir);
  EXPECT_STREQ(nlsGetString(1, 2, 11, "Ready"), "Ready");
  EXPECT_EQ(nlsLoadResources(1, "en_US"), 0);
  EXPECT_EQ(nlsGetSlotInfo(1).openCount, 1);
  EXPECT_FALSE(nlsGetSlotInfo(1).loaded);
  // Other slots load as usual.
  EXPECT_EQ(nlsLoadResources(2, "en_US"), 1);
}

TEST_F(BundleLookup, ARelativeDirectoryIsTakenFromTheCurrentFolder) {
  const std::filesystem::path saved = std::filesystem::current_path();
  const std::filesystem::path dir(kDir);
  std::filesystem::current_path(dir.parent_path());
  nlsSetMessageDirectory(dir.filename().string());
  std::filesystem::current_path(saved);
  EXPECT_STREQ(nlsGetString(1, 2, 11, "Ready"), "Ready from the catalogue");
}

TEST(ProgramBundles, EachIsBuiltWithItsForcedEncoding) {
  for (const char* name : {"config", "HTMLForm", "htmlprox"}) {
    const std::string path = std::string(CFGOUT_BUILD_MESSAGE_DIR) + "/" + name;
    UErrorCode status = U_ZERO_ERROR;
    UResourceBundle* bundle = ures_open(path.c_str(), "en_US", &status);
    ASSERT_TRUE(U_SUCCESS(status)) << name << ": " << u_errorName(status);
    int32_t length = 0;
    const UChar* encoding = ures_getStringByKey(bundle, "force_encoding", &length, &status);
    ASSERT_TRUE(U_SUCCESS(status)) << name;
    char text[16] = {};
    u_austrncpy(text, encoding, sizeof text - 1);
    EXPECT_STREQ(text, "UTF-8") << name;
    ures_close(bundle);
  }
}

}  // namespace
}  // namespace cfgout
