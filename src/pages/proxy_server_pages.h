#pragma once
// Three proxy pages of one kind:
// - PROXPROX: the upstream proxies requests are forwarded to (http_proxy,
//   ftp_proxy, gopher_proxy in their one-value form) and the hosts reached
//   directly (no_proxy);
// - PROXSERV: which protocols the server proxies (its Proxy rules for
//   http:*, ftp:*, gopher:*), SSL tunnelling, the content-length buffer and
//   the proxy access log;
// - PROXTIME: how often the cache is cleaned (CacheClean) and the numbered
//   list of maximum expiry times by URL (CacheMaxExpiry).

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Markers: 0-2 gopher, ftp and http upstream proxy, 3 no_proxy, 4 status.
int ProxproxDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
int ProxproxOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers: 0-2 the http, ftp, gopher check boxes, 3 SSL tunnelling, 4 the
// buffer size, 5-6 its unit options K and M, 7 the proxy access log,
// 8 status.
int ProxservDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
int ProxservOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Markers: 0 the cleaning interval, 1-6 its unit options (months, weeks,
// days, hours, minutes, seconds), 7 the CacheMaxExpiry rows, 8 their row
// chooser, 9 status.
int ProxtimeDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);
int ProxtimeOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

}  // namespace cfgout
