// ValidateField and its messages: the part of validation that needs the
// message catalogue.

#include <optional>
#include <string>
#include <string_view>

#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "validate/form_variables.h"
#include "validate/validators.h"

namespace cfgout {

namespace {

constexpr int kMessageSetValidation = 1;  // the texts of rejected values
constexpr int kUnknownFieldId = 116;      // one %s: the field name

// Used only when the catalogue has neither the wrapper nor the message
// itself: a rejected value must never pass for a valid one.
constexpr std::string_view kFallbackRejected = "The value of field %s is not valid.";
constexpr std::string_view kFallbackUnknown = "The form field %s is not known.";

// The message for a rejected value or an unknown field. The field name is
// only ever an argument, never part of a format; the message is plain text,
// escaped once where the status block prints it into the page. An empty catalogue text (a gap in the set) counts as
// missing, so that a rejection is never shown without words.
std::string RejectionMessage(int messageId, std::string_view fieldName, bool unknownField) {
  const char* text = nlsGetString(kSlotConfigMessages, kMessageSetValidation, messageId, nullptr);
  if (text == nullptr || *text == '\0') {
    return FormatText(unknownField ? kFallbackUnknown : kFallbackRejected,
                      {fieldName});
  }
  std::optional<std::string> message = get_validation_msg(messageId);
  if (!message || message->empty()) message = text;  // no wrapper: the text alone
  if (!unknownField) return *std::move(message);
  return FormatText(*message, {fieldName});
}

std::optional<std::string> Validate(std::string_view name, const char* value, bool hasNul) {
  const int row = GetVarIndex(name);
  if (row < 0) return RejectionMessage(kUnknownFieldId, name, true);
  const FormVar& var = varList[row];
  if (var.validator == &NoValidation) return std::nullopt;
  // The validators see a C string; a value holding a NUL byte would be
  // judged by its first part only, so it is rejected outright.
  if (!hasNul && var.validator(value, var.param1, var.param2) != 0) return std::nullopt;
  return RejectionMessage(var.messageId, name, false);
}

}  // namespace

std::optional<std::string> get_validation_msg(int number) {
  // A catalogue without the wrapper shows the set-1 text alone.
  const char* format = CatalogueMessage(kMsgValidationWrapper);
  const char* text = nlsGetString(kSlotConfigMessages, kMessageSetValidation, number, nullptr);
  if (format == nullptr || text == nullptr) return std::nullopt;
  return FormatText(format, {std::string_view(text)});
}

std::optional<std::string> ValidateField(std::string_view name, std::string_view value) {
  const std::string copy(value);
  return Validate(name, copy.c_str(), copy.find('\0') != std::string::npos);
}

std::optional<std::string> ValidateField(const FormArg& arg) {
  if (!arg.value) return Validate(arg.name, nullptr, false);
  return ValidateField(arg.name, *arg.value);
}

}  // namespace cfgout
