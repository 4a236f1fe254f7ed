// The shipped "config" catalogue against the field table: every message a
// field can report exists, and the two formats carry exactly one %s.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "nls/message_lookup.h"
#include "validate/form_variables.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

int CountConversions(std::string_view text, std::string_view conversion) {
  int count = 0;
  for (std::size_t pos = 0; (pos = text.find('%', pos)) != std::string_view::npos; pos += 2) {
    if (text.substr(pos, 2) == conversion) ++count;
  }
  return count;
}

class ShippedCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
    nlsResetForTesting();
  }
  void TearDown() override { nlsResetForTesting(); }
};

TEST_F(ShippedCatalogueTest, FormatsHaveOneTextConversion) {
  const char* wrapper = nlsGetString(kSlotConfigMessages, 2, 13, nullptr);
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(CountConversions(wrapper, "%s"), 1) << wrapper;
  EXPECT_EQ(CountConversions(wrapper, "%d"), 0) << wrapper;
  const char* unknown = nlsGetString(kSlotConfigMessages, 1, 116, nullptr);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(CountConversions(unknown, "%s"), 1) << unknown;
  EXPECT_EQ(CountConversions(unknown, "%d"), 0) << unknown;
}

TEST_F(ShippedCatalogueTest, EveryValidatingRowHasItsText) {
  for (const FormVar& var : varList) {
    if (var.validator == &NoValidation) continue;
    const char* text = nlsGetString(kSlotConfigMessages, 1, var.messageId, nullptr);
    ASSERT_NE(text, nullptr) << var.name << " " << var.messageId;
    EXPECT_STRNE(text, "") << var.name << " " << var.messageId;
    const std::optional<std::string> message = ValidateField(FormArg{var.name, std::nullopt});
    ASSERT_TRUE(message.has_value()) << var.name;
    EXPECT_NE(message->find(text), std::string::npos) << var.name;
  }
}

TEST_F(ShippedCatalogueTest, UnknownFieldMessageNamesTheField) {
  const std::optional<std::string> message = ValidateField("NoSuch<Field>", "1");
  ASSERT_TRUE(message.has_value());
  EXPECT_NE(message->find("NoSuch<Field> is not a field"), std::string::npos) << *message;
  EXPECT_EQ(message->find("%s"), std::string::npos) << *message;
}

}  // namespace
}  // namespace cfgout
