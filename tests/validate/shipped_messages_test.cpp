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

// The number of "%s" in `text`, or -1 when it holds "%d".
int TextConversions(std::string_view text) {
  int count = 0;
  for (std::size_t pos = 0; (pos = text.find('%', pos)) != std::string_view::npos; pos += 2) {
    if (text.substr(pos, 2) == "%d") return -1;
    count += text.substr(pos, 2) == "%s";
  }
  return count;
}

TEST(ShippedCatalogue, EveryFieldMessageExists) {
  nlsSetMessageDirectory(CFGOUT_BUILD_MESSAGE_DIR);
  nlsResetForTesting();
  for (auto [set, id] : {std::pair{2, 13}, std::pair{1, 116}}) {
    const char* format = nlsGetString(kSlotConfigMessages, set, id, nullptr);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(TextConversions(format), 1) << format;
  }
  for (const FormVar& var : varList) {
    if (var.validator == &NoValidation) continue;
    const char* text = nlsGetString(kSlotConfigMessages, 1, var.messageId, nullptr);
    ASSERT_NE(text, nullptr) << var.name << " " << var.messageId;
    EXPECT_STRNE(text, "") << var.name << " " << var.messageId;
    const std::optional<std::string> message = ValidateField(FormArg{var.name, std::nullopt});
    ASSERT_TRUE(message.has_value()) << var.name;
    EXPECT_NE(message->find(text), std::string::npos) << var.name;
  }
  const std::optional<std::string> unknown = ValidateField("NoSuch<Field>", "1");
  ASSERT_TRUE(unknown.has_value());
  EXPECT_NE(unknown->find("NoSuch<Field> is not a field"), std::string::npos) << *unknown;
  EXPECT_EQ(unknown->find("%s"), std::string::npos) << *unknown;
  nlsResetForTesting();
}

}  // namespace
}  // namespace cfgout
