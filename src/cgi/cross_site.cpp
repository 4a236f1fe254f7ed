#include "cgi/cross_site.h"

#include <optional>
#include <string>

#include "runtime/ascii.h"

namespace cfgout {

namespace {

struct HostPort {
  std::string host;  // lower case; an IPv6 address keeps its brackets
  long port = -1;    // -1 = none given
};

// "host", "host:port", "[v6]" or "[v6]:port"; nullopt when malformed.
std::optional<HostPort> ParseAuthority(std::string_view authority) {
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  HostPort result;
  std::string_view rest;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    result.host = std::string(authority.substr(0, close + 1));
    rest = authority.substr(close + 1);
  } else {
    const std::size_t colon = authority.find(':');
    result.host = std::string(authority.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
  }
  if (result.host.empty()) return std::nullopt;
  for (char& c : result.host) c = AsciiLower(c);
  if (!rest.empty()) {
    if (rest.front() != ':' || rest.size() == 1 || rest.size() > 6) return std::nullopt;
    long port = 0;
    for (char c : rest.substr(1)) {
      if (!IsAsciiDigit(c)) return std::nullopt;
      port = port * 10 + (c - '0');
    }
    result.port = port;
  }
  return result;
}

// The host and effective port a URL names; nullopt for anything without
// "scheme://host".
std::optional<HostPort> ParseUrl(std::string_view url) {
  const std::size_t sep = url.find("://");
  if (sep == std::string_view::npos || sep == 0) return std::nullopt;
  std::string scheme(url.substr(0, sep));
  for (char& c : scheme) c = AsciiLower(c);
  std::string_view rest = url.substr(sep + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  std::optional<HostPort> hp = ParseAuthority(rest);
  if (hp && hp->port < 0) {
    if (scheme == "http") hp->port = 80;
    else if (scheme == "https") hp->port = 443;
  }
  return hp;
}

}  // namespace

bool IsCrossSiteRequest(const RequestSite& site) {
  const std::string_view from = !site.origin.empty() ? site.origin : site.referer;
  if (from.empty()) return false;
  const std::optional<HostPort> source = ParseUrl(from);
  std::optional<HostPort> own = ParseAuthority(site.host);
  if (!source || !own || source->port < 0) return true;
  if (own->port < 0) own->port = site.https ? 443 : 80;
  return source->host != own->host || source->port != own->port;
}

}  // namespace cfgout
