#include "nls/message_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace cfgout {
namespace {

class MessageLookupWithoutBundles : public ::testing::Test {
 protected:
  void SetUp() override {
    nlsSetMessageDirectory("/nonexistent/cfgout-message-dir");
    nlsResetForTesting();
  }
  void TearDown() override { nlsResetForTesting(); }
};

TEST_F(MessageLookupWithoutBundles, TheSlotTableHasSevenNamedRows) {
  const char* names[] = {"cacheagt", "config", "HTMLForm", "htmlprox", "kzoproxy", "kzohtc", "kzocp"};
  const int primes[] = {0, 0, 0, 0, 0, 1, 1};
  for (int slot = 0; slot < kNlsSlotCount; ++slot) {
    NlsSlotInfo info = nlsGetSlotInfo(slot);
    ASSERT_NE(info.name, nullptr);
    EXPECT_STREQ(info.name, names[slot]);
    EXPECT_EQ(info.prime, primes[slot]);
    EXPECT_FALSE(info.loaded);
    EXPECT_EQ(info.refCount, 0);
    EXPECT_EQ(info.loadCount, 0);
    EXPECT_EQ(info.openCount, 0);
  }
  EXPECT_EQ(nlsGetSlotInfo(7).name, nullptr);
  EXPECT_EQ(nlsGetSlotInfo(-1).name, nullptr);
}

TEST_F(MessageLookupWithoutBundles, DefaultsComeBackAndTheBundleIsOpenedOnce) {
  const char* ready = "Ready";
  EXPECT_EQ(nlsGetString(1, 2, 11, ready), ready);
  EXPECT_EQ(nlsGetString(1, 2, 11, ready), ready);
  NlsSlotInfo info = nlsGetSlotInfo(1);
  EXPECT_EQ(info.loadCount, 2);  // every attempt on an empty slot counts
  EXPECT_EQ(info.openCount, 1);  // only the first one opens
  EXPECT_FALSE(info.loaded);
  EXPECT_EQ(info.refCount, 0);

  // A failed load is never retried, whatever the locale.
  EXPECT_EQ(nlsLoadResources(1, "en_US"), 0);
  EXPECT_EQ(nlsGetString(1, 2, 12, nullptr), nullptr);
  EXPECT_EQ(CatalogueMessage(kMsgStatusChangesDone), nullptr);
  EXPECT_STREQ(ConfigMessageText(kMsgStatusChangesDone),
               "The requested configuration changes have been completed successfully.");
  EXPECT_EQ(nlsGetSlotInfo(1).loadCount, 6);
  EXPECT_EQ(nlsGetSlotInfo(1).openCount, 1);

  nlsFreeResources(1);  // nothing loaded: nothing changes
  EXPECT_EQ(nlsGetSlotInfo(1).loadCount, 6);
}

TEST_F(MessageLookupWithoutBundles, SlotsOutsideTheTableGiveTheDefaultWithoutALoad) {
  const char* text = "default";
  EXPECT_EQ(nlsGetString(7, 2, 1, text), text);
  EXPECT_EQ(nlsGetString(42, 1, 1, text), text);
  EXPECT_EQ(nlsGetString(-1, 1, 1, text), text);
  EXPECT_EQ(nlsGetString(7, 2, 1, nullptr), nullptr);
  EXPECT_EQ(nlsLoadResources(7, "en_US"), 0);
  nlsFreeResources(7);
  for (int slot = 0; slot < kNlsSlotCount; ++slot) {
    EXPECT_EQ(nlsGetSlotInfo(slot).loadCount, 0);
    EXPECT_EQ(nlsGetSlotInfo(slot).openCount, 0);
  }
}

TEST_F(MessageLookupWithoutBundles, TheDirectoryCanBeSetAndRead) {
  nlsSetMessageDirectory("/some/where");
  EXPECT_EQ(nlsGetMessageDirectory(), "/some/where");
  nlsSetMessageDirectory("relative/msg");
  EXPECT_EQ(nlsGetMessageDirectory(), (std::filesystem::current_path() / "relative/msg").string());
}

}  // namespace
}  // namespace cfgout
