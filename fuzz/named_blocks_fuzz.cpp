// Any bytes, read as a main file in memory, then edited by a sequence of
// LDAP, PICS and application offload block operations chosen by the first
// bytes: no operation reads or writes out of bounds, every line list stays
// doubly linked, and blocks written here read back the same.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/app_offload.h"
#include "config/ldap_blocks.h"
#include "config/pics_rules.h"
#include "runtime/file_bytes.h"

namespace {

using namespace cfgout;

void CheckLinks(const ConfigFile& file) {
  const LineNode* previous = nullptr;
  for (const LineNode* line = file.lines.first(); line != nullptr; previous = line, line = line->next) {
    if (line->prev != previous) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const std::string_view ops(reinterpret_cast<const char*>(data), 8);
  const std::string_view text(reinterpret_cast<const char*>(data) + 8, size - 8);
  ConfigHandle cfg;
  ConfigFile& file = cfg.AddFile("main");
  for (std::string_view line : SplitLinesKeepingEnds(text)) file.lines.Append(std::string(line));
  static const char* const kNames[] = {"a", "corp", "Kids", "K", ""};
  LDAPRule ldap{.name = "fz", .host = "h", .serverDN = "cn=a, o=b"};
  const PicsRule pics{"Fz", "d", "mon", "08:00", std::nullopt};
  const AppOffloadRuleset app{"fz.ear", 0, 1, 0, {"/fz", {}, {}}, {}, {}};
  bool ldapWritten = false;
  bool mentionsFz = false;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    mentionsFz = mentionsFz || ((text[i] | 0x20) == 'f' && (text[i + 1] | 0x20) == 'z');
  }
  for (const char op : ops) {
    const auto u = static_cast<unsigned char>(op);
    const std::string name = kNames[(u >> 5) % 5];
    const int mode = 1 + (u >> 3) % 3;
    switch (u % 16) {
      case 0: HTTPDGetLDAPRule(cfg, name); HTTPDMoveLDAPRule(cfg, name, kNames[u % 5], mode); break;
      case 1:
        // The first block of that name, freshly written, reads back as written.
        if (HTTPDPutLDAPRule(cfg, ldap, name, mode) == 1 && !ldapWritten && !mentionsFz) {
          ldapWritten = true;
          std::optional<LDAPRule> back = HTTPDGetLDAPRule(cfg, "fz");
          if (!back || back->host != ldap.host || back->serverDN != ldap.serverDN) std::abort();
        }
        break;
      case 2: HTTPDDeleteLDAPRule(cfg, name); break;
      case 3: HTTPDGetPicsFilterRule(cfg, name); HTTPDMovePicsFilterRule(cfg, name, kNames[u % 5], mode); break;
      case 4: HTTPDPutPicsFilterRule(cfg, pics, name, mode); break;
      case 5: HTTPDCopyPicsFilterRule(cfg, name, kNames[u % 5], "Cp", mode); break;
      case 6: HTTPDReplacePicsFilterRule(cfg, pics, name); break;
      case 7: HTTPDDeletePicsFilterRule(cfg, name); break;
      case 8: HTTPDPutPicsFilterSubdirective(cfg, mode == 1 ? "passurl" : mode == 2 ? "applies-to" : "serviceinfo",
                                             {"s n b r y", "u"}, name); break;
      case 9: HTTPDGetPicsFilterSubdirective(cfg, mode == 1 ? "passurl" : mode == 2 ? "applies-to" : "serviceinfo", name); break;
      case 10: HTTPDPutFilterSubdirective(cfg, name, "Filter ( x )"); HTTPDGetPicsFilterSubdirective(cfg, "filter", name); break;
      case 11: HTTPDDeleteFilterSubdirective(cfg, name); break;
      case 12: HTTPDAddAppOffloadRuleset(cfg, mode - 1, mode & 1); break;
      case 13: {
        // A replaced application reads back as written where its header opens it itself. A "{"
        // further down (another block's, put there by an LDAP put anchored on any line whose
        // second token matches) also opens it, and goes with the lines the replace removes.
        const LineNode* header = nullptr;
        for (int k = 0; k < mode && (k == 0 || header != nullptr); ++k) header = HTTPDGetNextAppOffloadBlock(cfg, header, nullptr);
        const bool ownBrace = header != nullptr && header->text.find('{') != LineText::npos;
        if (HTTPDReplaceAppOffloadRuleset(cfg, mode - 1, app) == 1 && ownBrace) {
          std::optional<AppOffloadRuleset> back = HTTPDGetAppOffloadRuleset(cfg, mode - 1, nullptr);
          if (!back || back->earName != app.earName || back->contextRoot[0] != app.contextRoot[0]) std::abort();
        }
        break;
      }
      case 14: HTTPDDeleteAppOffloadRuleset(cfg, mode - 1); HTTPDGetNumAppOffloadEntries(cfg); break;
      case 15: HTTPDSetAppServerZAPPort(cfg, mode); { int v = 0; HTTPDGetAppServerZAPPort(cfg, &v); } break;
    }
    CheckLinks(file);
  }
  return 0;
}
