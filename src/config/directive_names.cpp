#include "config/directive_names.h"

#include <cstring>

#include "config/config_file.h"
#include "runtime/ascii.h"

namespace cfgout {

const char* const RULESTR[kRuleCount + 1] = {
    /*   0 */ "<application>", "<modulebegin>", "<moduleend>", "accesslog", "accesslogexcludemethod",
    /*   5 */ "accesslogexcludemimetype", "accesslogexcludereturncode", "accesslogexcludeurl", "accesslogexcludeuseragent", "addblankicon",
    /*  10 */ "adddiricon", "addencoding", "addicon", "addparenticon", "addtype",
    /*  15 */ "addunknownicon", "adminport", "aggressivecaching", "appdef", "appendcrlftopost",
    /*  20 */ "applenv", "appname", "approuteradminport", "approuterlocalzapport", "approuterretryinterval",
    /*  25 */ "arrayname", "authentication", "authorization", "autocacherefresh", "bindspecific",
    /*  30 */ "blocksize", "cacheaccesslog", "cachealgorithm", "cachebyincomingurl", "cacheclean",
    /*  35 */ "cachedefaultexpiry", "cachedev", "cacheexpirycheck", "cachefilesizelimit", "cachelastmodifiedfactor",
    /*  40 */ "cachelocaldomain", "cachemaxexpiry", "cacheminhold", "cachememory", "cachenoconnect",
    /*  45 */ "cacheonly", "cachequeries", "cacherefreshtime", "cachetimemargin", "cacheunused",
    /*  50 */ "caching", "clientbrowserintelligence", "clientlinkspeed", "compressage", "compresscommand",
    /*  55 */ "compressdeleteage", "connectionpool", "context-root", "continuecaching", "defaultfscp",
    /*  60 */ "defaultnetcp", "definelbservice", "definepicsrule", "definepicsrule", "defineservice",
    /*  65 */ "defineserviceinfo", "defineserviceinfo", "defprot", "delayperiod", "delveacrosshosts",
    /*  70 */ "delvedepth", "delveinto", "deny", "direct", "dirshowbytes",
    /*  75 */ "dirshowcase", "dirshowdate", "dirshowdescription", "dirshowgroup", "dirshowhidden",
    /*  80 */ "dirshowicons", "dirshowmaxdescrlength", "dirshowmaxlength", "dirshowminlength", "dirshowmode",
    /*  85 */ "dirshowowner", "dirshowsize", "disable", "disinheritenv", "distributiontype",
    /*  90 */ "dns-lookup", "earname", "enable", "enablejavaservletsupport", "error",
    /*  95 */ "errorlog", "errorpage", "eventlog", "exec", "fail",
    /* 100 */ "filteractiveperiodonefrom", "filteractiveperiodoneuntil", "filteractiveperiodtwofrom", "filteractiveperiodtwountil", "filteractiveweekdays",
    /* 105 */ "filteradditionalurl", "filtercyberpatrollist", "filtercyberpatrolonoff", "filtercyberpatrolrulemask", "filterexceptionurl",
    /* 110 */ "flexiblesocks", "ftpurlpath", "ftp_proxy", "gc", "gc advisor",
    /* 115 */ "gchighwater", "gclowwater", "globalbrowserintelligence", "globallinkspeed", "gopher_proxy",
    /* 120 */ "groupid", "hardthrottling", "historyfilepath", "hostname", "headerservername",
    /* 125 */ "http_proxy", "https_proxy", "httpfailoverstatuscodes", "identitycheck", "idlethreadtimeout",
    /* 130 */ "ignoreurl", "imbeds", "inheritenv", "inputtimeout", "installpath",
    /* 135 */ "javainstallationroot", "keyfile", "keyring", "keyringstash", "labelsfor",
    /* 140 */ "ldapinfo", "listenbacklog", "load", "loadinlineimages", "loadtopcached",
    /* 145 */ "loadurl", "log", "logarchive", "logtogui", "logtosyslog",
    /* 150 */ "map", "maxactivejavathreads", "maxactivethreads", "maxcontentlengthbuffer", "maxpersistrequest",
    /* 155 */ "maxqueuedepth", "maxruntime", "maxurls", "member", "midnight",
    /* 160 */ "monitorwatchlist", "nametrans", "no_proxy", "nocaching", "nolog",
    /* 165 */ "nonedgableuri", "noproxyheader", "normalmode", "nothrottlehost", "numclients",
    /* 170 */ "objecttype", "outboundproxypersistence", "outputtimeout", "pacfilepath", "pass",
    /* 175 */ "persisttimeout", "picsdblookup", "pidfile", "port", "postauth",
    /* 180 */ "postexit", "preexit", "protect", "protection", "proxy",
    /* 185 */ "proxy advisor", "proxyaccesslog", "proxyfrom", "proxyignorenocache", "proxypersistence",
    /* 190 */ "proxysendclientaddress", "proxyuseragent", "pureproxy", "purgeage", "purgesize",
    /* 195 */ "rcaconfigfile", "readtimeout", "redirect", "scripttimeout", "sendhttp10outbound",
    /* 200 */ "serverinit", "serverroot", "serverterm", "service", "servlet",
    /* 205 */ "servletdir", "servletlog", "servlettrusteddir", "shttp_proxy", "significanturlterminator",
    /* 210 */ "smf", "smfrecordinginterval", "snmp", "snmpcommunity", "sockd",
    /* 215 */ "sslcaching", "sslcipherspec", "sslclientauth", "sslenable", "sslmode",
    /* 220 */ "sslport", "sslservercert", "ssltunneling", "sslv2timeout", "sslv3timeout",
    /* 225 */ "ssl_x500_ca_roots", "ssl_x500_host", "ssl_x500_password", "ssl_x500_port", "ssl_x500_userid",
    /* 230 */ "suffixcasesense", "throttlereceive", "throttlerexmit", "throttlesend", "transparentproxy",
    /* 235 */ "transmogrifier", "transmogrifiedwarning", "updateproxy", "userid", "username",
    /* 240 */ "usernameoe", "version", "wais_proxy", "zap_conf_file", "webmasteremail",
    /* 245 */ "welcome",
    /* 246 */ nullptr,
};

namespace {

// Blank for tokens and keywords: space, tab, line feed, carriage return.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsTokenEnd(char c) { return c == '\0' || c == '#' || IsBlank(c); }
// Field separators of PointToNextField: space and tab only.
bool IsFieldSpace(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* s) {
  while (IsBlank(*s)) ++s;
  return s;
}

// The keyword's first word also begins a two-word keyword ("gc" of
// "gc advisor"); returns the identifier of that two-word keyword, or -1.
int TwoWordExtension(const char* keyword) {
  static const int gc = HTTPDRuleToID("gc");
  static const int gcAdvisor = HTTPDRuleToID("gc advisor");
  static const int proxy = HTTPDRuleToID("proxy");
  static const int proxyAdvisor = HTTPDRuleToID("proxy advisor");
  if (keyword == RULESTR[gc]) return gcAdvisor;
  if (keyword == RULESTR[proxy]) return proxyAdvisor;
  return -1;
}

bool IsTwoWordKeyword(const char* keyword) { return std::strchr(keyword, ' ') != nullptr; }

}  // namespace

const char* HTTPDIDToRule(int id) {
  if (id < 0 || id >= kRuleCount) return nullptr;
  return RULESTR[id];
}

int HTTPDRuleToID(std::string_view name) {
  for (int id = 0; RULESTR[id] != nullptr; ++id) {
    std::string_view keyword(RULESTR[id]);
    if (EqualsIgnoringCase(keyword, name)) return id;
  }
  return -1;
}

int HTTPDRuleToID(const char* name) {
  if (name == nullptr) return -1;
  return HTTPDRuleToID(std::string_view(name));
}

int HTTPDRuleMatch(const char* line, int id) {
  const char* keyword = HTTPDIDToRule(id);
  if (keyword == nullptr || line == nullptr) return 0;
  const char* start = SkipBlanks(line);
  // Keywords are lower case: a line whose first character differs cannot
  // match, and most lines of a large configuration stop here.
  const char first = AsciiLower(*start);
  if (first != keyword[0]) return 0;
  const std::size_t len = std::strlen(keyword);
  const char* end = start;
  while (*end != '\0' && !IsBlank(*end)) ++end;
  if (IsTwoWordKeyword(keyword) && *end != '\0') {
    // The character that ended the first word joins the token, which then
    // runs on to the next blank: exactly one separator is accepted.
    ++end;
    while (*end != '\0' && !IsBlank(*end)) ++end;
  }
  if (static_cast<std::size_t>(end - start) != len) return 0;
  if (strnicmp(start, keyword, len) != 0) return 0;
  const int extension = TwoWordExtension(keyword);
  if (extension >= 0 && HTTPDRuleMatch(line, extension) != 0) return 0;
  return 1;
}

int HTTPDRuleMatch(const std::string& line, int id) { return HTTPDRuleMatch(line.c_str(), id); }

int TokenMatch(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return 0;
  a = SkipBlanks(a);
  b = SkipBlanks(b);
  std::size_t la = 0;
  while (!IsTokenEnd(a[la])) ++la;
  std::size_t lb = 0;
  while (!IsTokenEnd(b[lb])) ++lb;
  if (la == 0 || lb == 0 || la != lb) return 0;
  return strnicmp(a, b, la) == 0 ? 1 : 0;
}

const char* TokenNext(const char* s) {
  if (s == nullptr) return nullptr;
  s = SkipBlanks(s);
  if (*s == '\0' || *s == '#') return nullptr;
  while (!IsBlank(*s)) {
    if (*s == '\0' || *s == '#') return nullptr;  // no blank before the end, or a comment
    ++s;
  }
  s = SkipBlanks(s);
  if (*s == '\0' || *s == '#') return nullptr;
  return s;
}

const char* TokenNext(const std::string& s) { return TokenNext(s.c_str()); }

int RuleSame(const char* line, const char* text) {
  if (line == nullptr || text == nullptr) return 0;
  line = SkipBlanks(line);
  text = SkipBlanks(text);
  for (;;) {
    if (TokenMatch(line, text) == 0) return 0;
    line = TokenNext(line);
    text = TokenNext(text);
    if (line == nullptr) return text == nullptr ? 1 : 0;
    if (text == nullptr) return 0;
  }
}

int RuleSame(const std::string& line, const std::string& text) {
  return RuleSame(line.c_str(), text.c_str());
}

LineNode* RuleFound(const char* text, LineNode* list) {
  if (text == nullptr) return nullptr;
  for (LineNode* l = list; l != nullptr; l = l->next) {
    if (RuleSame(l->text.c_str(), text) != 0) return l;
  }
  return nullptr;
}

LineNode* RuleFound(const std::string& text, const LineList& list) {
  return RuleFound(text.c_str(), list.first());
}

std::string GetField(const char* s, int n) {
  if (s == nullptr) return std::string();
  static constexpr char kSeparators[] = " \r\n\t";
  const int wanted = n < 2 ? 1 : n;
  int field = 0;
  const char* p = s;
  for (;;) {
    p += std::strspn(p, kSeparators);
    if (*p == '\0') return std::string();
    const std::size_t len = std::strcspn(p, kSeparators);
    if (++field == wanted) return std::string(p, len);
    p += len;
  }
}

std::string GetField(const std::string& s, int n) { return GetField(s.c_str(), n); }

const char* PointToNextField(const char* s) {
  if (s == nullptr) return nullptr;
  while (IsFieldSpace(*s)) ++s;
  while (*s != '\0' && !IsFieldSpace(*s)) ++s;
  while (IsFieldSpace(*s)) ++s;
  return s;
}

const char* PointToNextField(const std::string& s) { return PointToNextField(s.c_str()); }

int ConvertChars(std::string& s, std::string_view set, char ch) {
  if (ch == '\0') {
    const std::size_t at = s.find_first_of(set);
    if (at != std::string::npos) s.resize(at);
    return 0;
  }
  for (char& c : s) {
    if (set.find(c) != std::string_view::npos) c = ch;
  }
  return 0;
}

int ConvertChars(char* s, const char* set, char ch) {
  if (s == nullptr || set == nullptr) return 0;
  for (char* p = std::strpbrk(s, set); p != nullptr; p = std::strpbrk(p + 1, set)) {
    *p = ch;
    if (ch == '\0') break;
  }
  return 0;
}

}  // namespace cfgout
