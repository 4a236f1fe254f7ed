#include "nls/config_messages.h"

#include "nls/message_lookup.h"

namespace cfgout {

namespace {
constexpr int kConfigMessageSet = 2;
}  // namespace

const char* ConfigMessageText(ConfigMsg message) {
  const ConfigMessageRow& row = MessageRow(message);
  return nlsGetString(kSlotConfigMessages, kConfigMessageSet, row.number, row.text);
}

std::string ConfigMessage(ConfigMsg message) { return ConfigMessageText(message); }

const char* CatalogueMessage(ConfigMsg message) {
  return nlsGetString(kSlotConfigMessages, kConfigMessageSet, MessageRow(message).number, nullptr);
}

}  // namespace cfgout
