// ValidateField and the validation messages, over small test catalogues:
//   full     set 2 message 13 "[invalid] %s"; set 1 messages 25, 116, 153
//   partial  set 1 messages 25 and 116 only
//   missing  no catalogue at all

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "nls/message_lookup.h"
#include "validate/form_variables.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

constexpr const char* kAdminPortText = "The administration port must be a number from 0 to 65535.";

class CatalogueTest : public ::testing::Test {
 protected:
  void UseCatalogue(const char* directory) {
    nlsSetMessageDirectory(directory);
    nlsResetForTesting();
  }
  void TearDown() override { nlsResetForTesting(); }
};

class FullCatalogueTest : public CatalogueTest {
 protected:
  void SetUp() override { UseCatalogue(VALIDATE_TEST_MSG_DIR); }
};

TEST_F(FullCatalogueTest, ValidationMessageWrapsTheSetOneText) {
  EXPECT_EQ(get_validation_msg(25), std::string("[invalid] ") + kAdminPortText);
  EXPECT_EQ(get_validation_msg(153), "[invalid] The value is not valid.");
  // The set-1 text is an argument: its own %s is not substituted.
  EXPECT_EQ(get_validation_msg(116), "[invalid] %s is not a known field.");
  // A number inside the set but not given is missing, like one beyond the
  // set's end.
  EXPECT_EQ(get_validation_msg(26), std::nullopt);
  EXPECT_EQ(get_validation_msg(500), std::nullopt);
}

TEST_F(FullCatalogueTest, KnownFieldAcceptsValidValues) {
  EXPECT_EQ(ValidateField("ADMINPORT", "8080"), std::nullopt);
  EXPECT_EQ(ValidateField("adminport", "  8080  "), std::nullopt);
  EXPECT_EQ(ValidateField("AdminPort", ""), std::nullopt);
  EXPECT_EQ(ValidateField("ADMINPORT", "65535"), std::nullopt);
  EXPECT_EQ(ValidateField("HOSTNAME", "www.example.com"), std::nullopt);
}

TEST_F(FullCatalogueTest, KnownFieldRejectsWithItsMessage) {
  const std::string expected = std::string("[invalid] ") + kAdminPortText;
  EXPECT_EQ(ValidateField("ADMINPORT", "65536"), expected);
  EXPECT_EQ(ValidateField("adminport", "-1"), expected);
  EXPECT_EQ(ValidateField("ADMINPORT", "80 80"), expected);
  EXPECT_EQ(ValidateField("CONROOT1", "http://host/a b"), "[invalid] The value is not valid.");
}

TEST_F(FullCatalogueTest, RejectedValueWithoutCatalogueTextStillFails) {
  // Message 110 of HOSTNAME is a gap in this catalogue (an empty text).
  EXPECT_EQ(ValidateField("HOSTNAME", "host:80"), "The value of field HOSTNAME is not valid.");
  EXPECT_EQ(ValidateField("hostName", "a,b"), "The value of field hostName is not valid.");
}

TEST_F(FullCatalogueTest, UnvalidatedFieldsAcceptAnything) {
  EXPECT_EQ(ValidateField("ACTION", "<script>%s%n</script>"), std::nullopt);
  EXPECT_EQ(ValidateField(FormArg{"ACTION", std::nullopt}), std::nullopt);
  EXPECT_EQ(ValidateField("action", std::string_view("a\0b", 3)), std::nullopt);
}

TEST_F(FullCatalogueTest, UnknownFieldNamesTheField) {
  EXPECT_EQ(ValidateField("NoSuchField", "1"), "[invalid] NoSuchField is not a known field.");
  EXPECT_EQ(ValidateField("", "1"), "[invalid]  is not a known field.");
  EXPECT_EQ(ValidateField(FormArg{"NOPE", std::nullopt}), "[invalid] NOPE is not a known field.");
}

TEST_F(FullCatalogueTest, UnknownFieldNameIsPlainTextAndNeverAFormat) {
  // Plain text here: the status block escapes the whole message when it is printed.
  EXPECT_EQ(ValidateField("<b onmouseover=\"x\">&", "1"),
            "[invalid] <b onmouseover=\"x\">& is not a known field.");
  EXPECT_EQ(ValidateField("%s%d%%n", "1"), "[invalid] %s%d%%n is not a known field.");
}

TEST_F(FullCatalogueTest, FieldWithoutValue) {
  const std::string expected = std::string("[invalid] ") + kAdminPortText;
  EXPECT_EQ(ValidateField(FormArg{"ADMINPORT", std::nullopt}), expected);
  EXPECT_EQ(ValidateField(FormArg{"ADMINPORT", std::string("8080")}), std::nullopt);
  EXPECT_EQ(ValidateField(FormArg{"ADMINPORT", std::string("")}), std::nullopt);
}

TEST_F(FullCatalogueTest, ValueWithNulByteIsRejected) {
  const std::string expected = std::string("[invalid] ") + kAdminPortText;
  EXPECT_EQ(ValidateField("ADMINPORT", std::string_view("80\0x", 4)), expected);
  EXPECT_EQ(ValidateField(FormArg{"ADMINPORT", std::string("80\0x", 4)}), expected);
}

TEST_F(FullCatalogueTest, EveryValidatingRowRejectsWithItsOwnMessage) {
  // Each validating row gets a value its validator refuses; the message
  // number reported is that row's (present in the catalogue, or the
  // built-in text naming the field otherwise).
  int checked = 0;
  for (const FormVar& var : varList) {
    if (var.validator == &NoValidation) continue;
    ++checked;
    const std::optional<std::string> message = ValidateField(FormArg{var.name, std::nullopt});
    ASSERT_TRUE(message.has_value()) << var.name;
    if (var.messageId == 25) {
      EXPECT_EQ(*message, std::string("[invalid] ") + kAdminPortText) << var.name;
    } else if (var.messageId == 153) {
      EXPECT_EQ(*message, "[invalid] The value is not valid.") << var.name;
    } else {
      EXPECT_EQ(*message, std::string("The value of field ") + var.name + " is not valid.");
    }
  }
  EXPECT_EQ(checked, 91);
}

class PartialCatalogueTest : public CatalogueTest {
 protected:
  void SetUp() override { UseCatalogue(VALIDATE_TEST_PARTIAL_MSG_DIR); }
};

TEST_F(PartialCatalogueTest, WithoutWrapperTheSetOneTextStandsAlone) {
  EXPECT_EQ(get_validation_msg(25), std::nullopt);
  EXPECT_EQ(ValidateField("ADMINPORT", "70000"), kAdminPortText);
  EXPECT_EQ(ValidateField("ADMINPORT", "7000"), std::nullopt);
  EXPECT_EQ(ValidateField("Bad<Name>", "1"), "Bad<Name> is not a known field.");
}

TEST_F(PartialCatalogueTest, WithoutAnyTextTheBuiltInMessageIsUsed) {
  EXPECT_EQ(ValidateField("GCHIGHWATER", "101"), "The value of field GCHIGHWATER is not valid.");
}

class MissingCatalogueTest : public CatalogueTest {
 protected:
  void SetUp() override { UseCatalogue(VALIDATE_TEST_MISSING_MSG_DIR); }
};

TEST_F(MissingCatalogueTest, RejectedValuesStillFail) {
  EXPECT_EQ(get_validation_msg(25), std::nullopt);
  EXPECT_EQ(ValidateField("adminport", "65536"), "The value of field adminport is not valid.");
  EXPECT_EQ(ValidateField("ADMINPORT", "443"), std::nullopt);
  EXPECT_EQ(ValidateField("Un&known", "1"), "The form field Un&known is not known.");
}

}  // namespace
}  // namespace cfgout
