// ValidateField over test catalogues: full (set 2 message 13 "[invalid] %s"; set 1
// messages 25, 116, 153), partial (set 1 messages 25 and 116 only) and missing.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "nls/message_lookup.h"
#include "validate/form_variables.h"
#include "validate/validators.h"

namespace cfgout {
namespace {

using Text = std::optional<std::string>;
const std::string kPort = "The administration port must be a number from 0 to 65535.";
const std::string kBadPort = "[invalid] " + kPort;
const std::string kNul("80\0x", 4);

struct Row {
  const char* dir;
  std::string name;
  Text value;  // nullopt: a field without "="
  Text want;   // nullopt: accepted
};

const Row kRows[] = {
    {VALIDATE_TEST_MSG_DIR, "ADMINPORT", "8080", {}},
    {VALIDATE_TEST_MSG_DIR, "adminport", "  8080  ", {}},
    {VALIDATE_TEST_MSG_DIR, "AdminPort", "", {}},
    {VALIDATE_TEST_MSG_DIR, "ADMINPORT", "65535", {}},
    {VALIDATE_TEST_MSG_DIR, "HOSTNAME", "www.example.com", {}},
    {VALIDATE_TEST_MSG_DIR, "ADMINPORT", "65536", kBadPort},
    {VALIDATE_TEST_MSG_DIR, "adminport", "-1", kBadPort},
    {VALIDATE_TEST_MSG_DIR, "ADMINPORT", "80 80", kBadPort},
    {VALIDATE_TEST_MSG_DIR, "ADMINPORT", {}, kBadPort},
    {VALIDATE_TEST_MSG_DIR, "ADMINPORT", kNul, kBadPort},  // a NUL byte is never cut off
    {VALIDATE_TEST_MSG_DIR, "CONROOT1", "http://host/a b", "[invalid] The value is not valid."},
    {VALIDATE_TEST_MSG_DIR, "HOSTNAME", "host:80", "The value of field HOSTNAME is not valid."},  // 110: a gap
    {VALIDATE_TEST_MSG_DIR, "hostName", "a,b", "The value of field hostName is not valid."},
    {VALIDATE_TEST_MSG_DIR, "ACTION", "<script>%s%n</script>", {}},
    {VALIDATE_TEST_MSG_DIR, "ACTION", {}, {}},
    {VALIDATE_TEST_MSG_DIR, "action", std::string("a\0b", 3), {}},
    {VALIDATE_TEST_MSG_DIR, "NoSuchField", "1", "[invalid] NoSuchField is not a known field."},
    {VALIDATE_TEST_MSG_DIR, "", "1", "[invalid]  is not a known field."},
    {VALIDATE_TEST_MSG_DIR, "NOPE", {}, "[invalid] NOPE is not a known field."},
    // Plain text, never a format: the status block escapes it when printed.
    {VALIDATE_TEST_MSG_DIR, "<b onmouseover=\"x\">&", "1", "[invalid] <b onmouseover=\"x\">& is not a known field."},
    {VALIDATE_TEST_MSG_DIR, "%s%d%%n", "1", "[invalid] %s%d%%n is not a known field."},
    {VALIDATE_TEST_PARTIAL_MSG_DIR, "ADMINPORT", "70000", kPort},
    {VALIDATE_TEST_PARTIAL_MSG_DIR, "ADMINPORT", "7000", {}},
    {VALIDATE_TEST_PARTIAL_MSG_DIR, "Bad<Name>", "1", "Bad<Name> is not a known field."},
    {VALIDATE_TEST_PARTIAL_MSG_DIR, "GCHIGHWATER", "101", "The value of field GCHIGHWATER is not valid."},
    {VALIDATE_TEST_MISSING_MSG_DIR, "adminport", "65536", "The value of field adminport is not valid."},
    {VALIDATE_TEST_MISSING_MSG_DIR, "ADMINPORT", "443", {}},
    {VALIDATE_TEST_MISSING_MSG_DIR, "Un&known", "1", "The form field Un&known is not known."},
};

void UseCatalogue(const char* dir) {
  nlsSetMessageDirectory(dir);
  nlsResetForTesting();
}

TEST(FieldValidation, Table) {
  for (const Row& row : kRows) {
    UseCatalogue(row.dir);
    EXPECT_EQ(ValidateField(FormArg{row.name, row.value}), row.want) << row.name;
    if (!row.value) continue;
    EXPECT_EQ(ValidateField(row.name, *row.value), row.want) << row.name;
  }
  nlsResetForTesting();
}

TEST(FieldValidation, WrapperMessages) {
  UseCatalogue(VALIDATE_TEST_MSG_DIR);
  EXPECT_EQ(get_validation_msg(25), kBadPort);
  EXPECT_EQ(get_validation_msg(153), "[invalid] The value is not valid.");
  EXPECT_EQ(get_validation_msg(116), "[invalid] %s is not a known field.");  // the text is an argument
  EXPECT_EQ(get_validation_msg(26), std::nullopt);                             // a gap in the set
  EXPECT_EQ(get_validation_msg(500), std::nullopt);
  // Every validating row reports its own message: from the catalogue, or the built-in text.
  int checked = 0;
  for (const FormVar& var : varList) {
    if (var.validator == &NoValidation) continue;
    ++checked;
    const std::string want = var.messageId == 25    ? kBadPort
                             : var.messageId == 153 ? "[invalid] The value is not valid."
                                                    : std::string("The value of field ") + var.name + " is not valid.";
    EXPECT_EQ(ValidateField(FormArg{var.name, std::nullopt}), want) << var.name;
  }
  EXPECT_EQ(checked, 91);
  UseCatalogue(VALIDATE_TEST_PARTIAL_MSG_DIR);
  EXPECT_EQ(get_validation_msg(25), std::nullopt);  // no wrapper
  nlsResetForTesting();
}

}  // namespace
}  // namespace cfgout
