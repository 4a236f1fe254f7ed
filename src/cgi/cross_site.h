#pragma once
// The cross-site request check: a form posted from another site's page (or a
// restart triggered from one) must not act with the administrator's login.

#include <string_view>

namespace cfgout {

// The request's own site, from its Host header, and where the browser says
// the request comes from: the Origin header, or when there is none the
// Referer. Empty views stand for absent headers.
struct RequestSite {
  std::string_view host;     // HTTP_HOST
  std::string_view origin;   // HTTP_ORIGIN
  std::string_view referer;  // HTTP_REFERER
  bool https = false;        // the request came over TLS (default port 443)
};

// True when the Origin (else the Referer) names another host or another port
// than the Host header, or cannot be read as a URL with a host ("null"), or
// there is no Host header to compare with. False when neither header is
// there: scripts and command-line clients send none.
bool IsCrossSiteRequest(const RequestSite& site);

}  // namespace cfgout
