// Directive matching and the token and field helpers on arbitrary lines:
// no crash, no read past the line, and the relations between them hold.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // First byte picks a keyword; the rest is split into two lines at the first NUL.
  const int id = data[0] % (cfgout::kRuleCount + 2) - 1;  // -1 .. 246, out-of-range ids included
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = rest.find('\0');
  const std::string line = rest.substr(0, cut);
  const std::string other = cut == std::string::npos ? std::string() : rest.substr(cut + 1).c_str();

  const int match = cfgout::HTTPDRuleMatch(line, id);
  if (match != 0 && match != 1) std::abort();
  if (match == 1) {
    // The keyword of an instance is its first field (blanks are the same set).
    const std::string keyword = cfgout::HTTPDIDToRule(id);
    if (keyword.find(' ') == std::string::npos &&
        cfgout::stricmp(cfgout::GetField(line, 1), keyword) != 0) {
      std::abort();
    }
  }

  const int same = cfgout::RuleSame(line, other);
  if (same != cfgout::RuleSame(other, line)) std::abort();  // symmetric
  if (same == 1 && cfgout::TokenMatch(line.c_str(), other.c_str()) != 1) std::abort();
  if (cfgout::RuleSame(line, line) == 1 && cfgout::TokenMatch(line.c_str(), line.c_str()) != 1) std::abort();

  for (int n = 0; n < 6; ++n) {
    const std::string field = cfgout::GetField(line, n);
    if (field.find_first_of(" \r\n\t") != std::string::npos) std::abort();
    if (!field.empty() && line.find(field) == std::string::npos) std::abort();
  }
  const char* next = cfgout::PointToNextField(line);
  if (next < line.c_str() || next > line.c_str() + std::strlen(line.c_str())) std::abort();
  const char* token = cfgout::TokenNext(line);
  if (token != nullptr && (token < line.c_str() || token >= line.c_str() + std::strlen(line.c_str()))) {
    std::abort();
  }
  (void)cfgout::getToken(token);
  (void)cfgout::IsWriteLine(line);
  (void)cfgout::HTTPDRuleToID(line);
  (void)cfgout::StripQuotes(line);

  // Matching against a one-line configuration agrees with HTTPDRuleMatch.
  cfgout::ConfigHandle cfg;
  cfg.AddFile("fuzz").lines.Append(line);
  if (cfgout::HTTPDGetRules(cfg, id).empty() == (match == 1)) std::abort();
  cfgout::HTTPDReplaceRules(cfg, id, cfgout::LineList::FromTexts({other}), 1);
  return 0;
}
