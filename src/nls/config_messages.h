#pragma once
// Names of the messages of set 2 of the "config" catalogue (bundle slot 1).
// The table itself is config_messages.inc: one row per message with its
// name, its number in the catalogue and its built-in text.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace cfgout {

enum class ConfigMsg : std::uint16_t {
#define CFGOUT_CONFIG_MESSAGE(name, number, text) name,
#include "nls/config_messages.inc"
#undef CFGOUT_CONFIG_MESSAGE
};
// The names are written bare (kMsgConfigBusy); being scoped, they never pass
// for a message number.
using enum ConfigMsg;

struct ConfigMessageRow {
  const char* name;  // as written in the table, for reports
  int number;        // message number within set 2
  const char* text;  // built-in text
};

inline constexpr ConfigMessageRow kConfigMessages[] = {
#define CFGOUT_CONFIG_MESSAGE(name, number, text) {#name, number, text},
#include "nls/config_messages.inc"
#undef CFGOUT_CONFIG_MESSAGE
};
inline constexpr std::size_t kConfigMessageCount = std::size(kConfigMessages);

constexpr const ConfigMessageRow& MessageRow(ConfigMsg message) {
  return kConfigMessages[static_cast<std::size_t>(message)];
}

// Rows ascend by number, so no number has two names (or two built-in texts).
static_assert([] {
  for (std::size_t i = 1; i < kConfigMessageCount; ++i) {
    if (kConfigMessages[i - 1].number >= kConfigMessages[i].number) return false;
  }
  return true;
}());

// The catalogue's text of `message`, or its built-in text when no catalogue
// has it. Never null; the text lives until the process ends.
const char* ConfigMessageText(ConfigMsg message);
std::string ConfigMessage(ConfigMsg message);

// The catalogue's text alone: null when no catalogue has the message.
const char* CatalogueMessage(ConfigMsg message);

}  // namespace cfgout
