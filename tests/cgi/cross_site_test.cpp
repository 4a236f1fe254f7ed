// The cross-site check on its own: which Origin / Referer values name the
// request's own host and port.

#include "cgi/cross_site.h"

#include <gtest/gtest.h>

namespace cfgout {
namespace {

TEST(CrossSiteTest, OriginElseRefererAgainstHost) {
  struct Case {
    RequestSite site;
    bool crossSite;
  };
  const Case cases[] = {
      {{"h:8080", "", "", false}, false},
      {{"h:8080", "http://h:8080", "", false}, false},
      {{"H:8080", "http://h:8080", "", false}, false},
      {{"h:8080", "http://h:8081", "", false}, true},
      {{"h:8080", "http://g:8080", "", false}, true},
      {{"h", "http://h", "", false}, false},
      {{"h", "http://h:80", "", false}, false},
      {{"h", "https://h", "", false}, true},
      {{"h", "https://h", "", true}, false},
      {{"h:443", "https://h", "", false}, false},
      {{"[::1]:8080", "http://[::1]:8080", "", false}, false},
      {{"[::1]:8080", "http://[::2]:8080", "", false}, true},
      {{"h:8080", "null", "", false}, true},
      {{"h:8080", "ftp://h:8080", "", false}, false},
      {{"h:8080", "ftp://h", "", false}, true},
      {{"", "http://h:8080", "", false}, true},
      {{"h:8080", "", "http://h:8080/cgi-bin/cfgout/BASIC?x=http://g/", false}, false},
      {{"h:8080", "", "http://u:p@h:8080/x", false}, false},
      {{"h:8080", "", "http://g:8080/?http://h:8080/", false}, true},
      {{"h:8080", "", "/relative", false}, true},
      {{"h:8080", "http://g", "http://h:8080/", false}, true},
      {{"h:x", "http://h", "", false}, true},
      {{"h:8080", "http://h:99999999", "", false}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsCrossSiteRequest(c.site), c.crossSite) << c.site.host << " / " << c.site.origin << " / " << c.site.referer;
  }
}

}  // namespace
}  // namespace cfgout
