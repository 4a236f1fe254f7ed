#include "config/protection_blocks.h"

#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "config/directive_access.h"
#include "config/directive_names.h"
#include "nls/message_format.h"

namespace cfgout {

const std::array<ProtectionField, kProtectionFieldCount> kProtectionFields = {
    &ProtectionRecord::keyword,          &ProtectionRecord::urlTemplate,
    &ProtectionRecord::setupName,        &ProtectionRecord::UserID,
    &ProtectionRecord::forAddress,       &ProtectionRecord::GroupID,
    &ProtectionRecord::ServerID,         &ProtectionRecord::AuthType,
    &ProtectionRecord::GetMask,          &ProtectionRecord::PutMask,
    &ProtectionRecord::PostMask,         &ProtectionRecord::Mask,
    &ProtectionRecord::ACLOverride,      &ProtectionRecord::PasswdFile,
    &ProtectionRecord::GroupFile,        &ProtectionRecord::DeleteMask,
    &ProtectionRecord::sslClientAuth,    &ProtectionRecord::CommonName,
    &ProtectionRecord::IssuerCommonName, &ProtectionRecord::Country,
    &ProtectionRecord::IssuerCountry,    &ProtectionRecord::Locality,
    &ProtectionRecord::IssuerLocality,   &ProtectionRecord::StateOrProvince,
    &ProtectionRecord::IssuerStateOrProvince, &ProtectionRecord::Organization,
    &ProtectionRecord::IssuerOrganization,    &ProtectionRecord::OrgUnit,
    &ProtectionRecord::IssuerOrgUnit,
};

namespace {

// A subdirective of a protection block: its keyword, the record field it
// fills and the line format it is written with.
struct Subdirective {
  const char* keyword;
  ProtectionField field;
  const char* format;
};

// In the order the lines are added right after the header; since each goes
// right after the header, a written block holds them in the reverse order.
constexpr Subdirective kPlainSubdirectives[] = {
    {"UserID", &ProtectionRecord::UserID, "      UserID       %s\n"},
    {"GroupID", &ProtectionRecord::GroupID, "      GroupID      %s\n"},
    {"ServerID", &ProtectionRecord::ServerID, "      ServerID     %s\n"},
    {"AuthType", &ProtectionRecord::AuthType, "      AuthType     %s\n"},
    {"GetMask", &ProtectionRecord::GetMask, "      GetMask      %s\n"},
    {"PutMask", &ProtectionRecord::PutMask, "      PutMask      %s\n"},
    {"PostMask", &ProtectionRecord::PostMask, "      PostMask     %s\n"},
    {"DeleteMask", &ProtectionRecord::DeleteMask, "      DeleteMask   %s\n"},
    {"Mask", &ProtectionRecord::Mask, "      Mask         %s\n"},
    {"ACLOverride", &ProtectionRecord::ACLOverride, "      ACLOverride  %s\n"},
    {"PasswdFile", &ProtectionRecord::PasswdFile, "      PasswdFile   %s\n"},
    {"GroupFile", &ProtectionRecord::GroupFile, "      GroupFile    %s\n"},
};

// Client-certificate fields: written with three blanks after the keyword,
// the value in double quotes when it holds a space.
constexpr Subdirective kCertificateSubdirectives[] = {
    {"CommonName", &ProtectionRecord::CommonName, "      CommonName   "},
    {"IssuerCommonName", &ProtectionRecord::IssuerCommonName, "      IssuerCommonName   "},
    {"Country", &ProtectionRecord::Country, "      Country   "},
    {"IssuerCountry", &ProtectionRecord::IssuerCountry, "      IssuerCountry   "},
    {"Locality", &ProtectionRecord::Locality, "      Locality   "},
    {"IssuerLocality", &ProtectionRecord::IssuerLocality, "      IssuerLocality   "},
    {"StateOrProvince", &ProtectionRecord::StateOrProvince, "      StateOrProvince   "},
    {"IssuerStateOrProvince", &ProtectionRecord::IssuerStateOrProvince, "      IssuerStateOrProvince   "},
    {"Organization", &ProtectionRecord::Organization, "      Organization   "},
    {"IssuerOrganization", &ProtectionRecord::IssuerOrganization, "      IssuerOrganization   "},
    {"OrgUnit", &ProtectionRecord::OrgUnit, "      OrgUnit   "},
    {"IssuerOrgUnit", &ProtectionRecord::IssuerOrgUnit, "      IssuerOrgUnit   "},
};

constexpr const char* kSslClientAuth = "SSL_ClientAuth";

bool Contains(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The n-th word (from 1) of a line, words ending where TokenMatch ends
// them (a blank, "#" or the end), so that a name read is the name found by;
// a comment ends the line. nullopt when the line has fewer words.
std::optional<std::string> NthToken(const LineText& line, int n) {
  const char* at = line.c_str();
  for (int k = 1; k < n && at != nullptr; ++k) at = TokenNext(at);
  if (at == nullptr) return std::nullopt;
  while (IsBlankChar(*at)) ++at;
  const char* end = at;
  while (*end != '\0' && *end != '#' && !IsBlankChar(*end)) ++end;
  return std::string(at, end);
}

// True when the line's first word is one of `keywords` (ignoring case).
bool HasKeyword(const LineNode& line, std::initializer_list<const char*> keywords) {
  if (line.continuation()) return false;  // a piece of a cut line is no line of its own
  for (const char* keyword : keywords) {
    if (TokenMatch(line.text.c_str(), keyword) == 1) return true;
  }
  return false;
}

// Protection operations look at protection directives only: a mapping rule
// such as "Fail /private/*" has the same second word as the protection of
// /private/*, and must never be shown, replaced or removed in its place.
constexpr std::initializer_list<const char*> kProtectionKeywords = {"Protect", "Protection"};

// True when the line's second word is `name` (ignoring case).
bool NamedBy(const LineNode& line, const char* name) {
  return name != nullptr && !line.continuation() && TokenMatch(TokenNext(line.text), name) == 1;
}

// A value as it may stand in a written line: up to its first CR or LF, so
// that no value ends its line early and adds lines of its own, and a value
// read with its line terminator is written back without a second one.
std::string LineValue(const std::optional<std::string>& value) {
  std::string v = value.value_or(std::string());
  StripCRLF(v);
  return v;
}

// The text after a subdirective's keyword and the blanks after it; empty
// when nothing follows.
std::string_view AfterKeyword(const LineText& line) {
  std::size_t at = 0;
  while (at < line.size() && IsBlankChar(line[at])) ++at;
  while (at < line.size() && !IsBlankChar(line[at]) && line[at] != '#' && line[at] != '\0') ++at;
  while (at < line.size() && IsBlankChar(line[at])) ++at;
  return std::string_view(line).substr(at);
}

// Fills the record field that a block line sets, if it is a subdirective.
void ReadSubdirective(const LineText& line, ProtectionRecord& record) {
  const char* text = line.c_str();
  for (const Subdirective& sub : kPlainSubdirectives) {
    if (TokenMatch(text, sub.keyword) == 0) continue;
    const std::string_view rest = AfterKeyword(line);
    // The value keeps the rest of the line, terminator and any comment
    // included; a line with nothing after the keyword leaves it unset.
    if (rest.empty()) {
      record.*sub.field = std::nullopt;
    } else {
      record.*sub.field = std::string(rest);
    }
    return;
  }
  if (TokenMatch(text, kSslClientAuth) == 1) {
    record.sslClientAuth = "1";
    return;
  }
  for (const Subdirective& sub : kCertificateSubdirectives) {
    if (TokenMatch(text, sub.keyword) == 0) continue;
    std::string value(AfterKeyword(line));
    StripCRLF(value);
    record.*sub.field = StripQuotes(value);
    return;
  }
}

// Where new lines go: right after `after`, or at the top of `file` when
// `after` is null.
struct InsertPoint {
  ConfigFile* file = nullptr;
  LineNode* after = nullptr;
};

void InsertAt(const InsertPoint& point, LineList chain) {
  if (point.after != nullptr) {
    LinesAdd(point.after, std::move(chain));
  } else if (point.file != nullptr) {
    LinesAddTop(*point.file, std::move(chain));
  }
}

// The first line from `from` on, in its file, that holds "}"; null when
// none does.
LineNode* ClosingLine(LineNode* from) {
  for (LineNode* l = from; l != nullptr; l = l->next) {
    if (Contains(l->text, '}')) return l;
  }
  return nullptr;
}

// The extent of the rule or block starting at `first`.
ProtectBlock ExtentFrom(ConfigFile* file, LineNode* first) {
  ProtectBlock block;
  block.file = file;
  block.first = first;
  block.last = first;
  if (!Contains(first->text, '{') || Contains(first->text, '}')) return block;
  if (LineNode* close = ClosingLine(first->next)) {
    block.last = close;
  } else {
    block.last = file->lines.last();
    block.closed = false;
  }
  return block;
}

// Unlinks the lines of `block` from its file and frees them.
void Unlink(const ProtectBlock& block) {
  LineList& owner = block.file->lines;
  LineNode* stop = block.last->next;
  for (LineNode* l = block.first; l != stop;) {
    LineNode* next = l->next;
    LineRemove(owner, l);  // freed when the returned list goes
    l = next;
  }
}

bool IsKeyword(const std::optional<std::string>& keyword, const char* expected) {
  return keyword && stricmp(keyword->c_str(), expected) == 0;
}

// The position a new rule or setup takes when nothing decides otherwise: in
// front of the first rule of its own kind in `searchIn`, or in front of the
// first mapping rule and the comment lines directly above it; at the top of
// `topOf` when there is neither (or the place found is the top).
InsertPoint DefaultPosition(ConfigFile* searchIn, ConfigFile* topOf, const std::optional<std::string>& keyword) {
  const int own = keyword ? HTTPDRuleToID(*keyword) : -1;
  std::vector<int> anchors = {own, HTTPDRuleToID("exec"), HTTPDRuleToID("pass"), HTTPDRuleToID("map"),
                              HTTPDRuleToID("fail"), HTTPDRuleToID("redirect")};
  if (IsKeyword(keyword, "Protection")) anchors.push_back(HTTPDRuleToID("protect"));
  const InsertPoint top{topOf, nullptr};
  if (searchIn == nullptr) return top;

  for (LineNode* line = searchIn->lines.first(); line != nullptr; line = line->next) {
    if (line->continuation()) continue;
    int matched = -1;
    for (std::size_t a = 0; a < anchors.size(); ++a) {
      if (HTTPDRuleMatch(line->text, anchors[a]) == 1) {
        matched = static_cast<int>(a);
        break;
      }
    }
    if (matched < 0) continue;
    if (matched == 0) return line->prev != nullptr ? InsertPoint{searchIn, line->prev} : top;
    LineNode* above = line->prev;
    if (above == nullptr) return top;
    while (above->prev != nullptr && Contains(above->text, '#')) above = above->prev;
    return InsertPoint{searchIn, above};
  }
  return top;
}

std::string HeaderLine(const ProtectionRecord& r) {
  const std::string name = LineValue(r.urlTemplate ? r.urlTemplate : r.setupName);
  if (r.forAddress) {
    return FormatText("%s  %s  %s  {\n", {LineValue(r.keyword), name, LineValue(r.forAddress)});
  }
  return FormatText("%s  %s  {\n", {LineValue(r.keyword), name});
}

// The lines of a block after its header, in the order they stand in the
// file: the subdirectives in reverse order of adding, then "}".
LineList BlockBody(const ProtectionRecord& r) {
  std::vector<std::string> added;  // in the order of adding
  added.emplace_back("}\n");
  for (const Subdirective& sub : kPlainSubdirectives) {
    if (r.*sub.field) added.push_back(FormatText(sub.format, {LineValue(r.*sub.field)}));
  }
  if (r.sslClientAuth && Contains(*r.sslClientAuth, '1')) added.emplace_back("      SSL_ClientAuth  client\n");
  for (const Subdirective& sub : kCertificateSubdirectives) {
    if (!(r.*sub.field)) continue;
    const std::string value = LineValue(r.*sub.field);
    added.push_back(FormatText(Contains(value, ' ') ? "%s\"%s\"\n" : "%s%s\n", {sub.format, value}));
  }
  LineList body;
  for (auto it = added.rbegin(); it != added.rend(); ++it) body.Append(std::move(*it));
  return body;
}

// The line of the configuration after which the lines of a new block go:
// the first line, walking the files as LinesAddStr does, whose text equals
// the header ignoring case (normally the header just written).
LineNode* BlockAnchor(ConfigHandle& handle, const std::string& header, LineNode* written) {
  for (ConfigFile* file = handle.first(); file != nullptr && !file->lines.empty(); file = file->next) {
    for (LineNode* line = file->lines.first(); line != nullptr; line = line->next) {
      if (stricmp(line->text.c_str(), header.c_str()) == 0) return line;
    }
  }
  return written;
}

// The first line, in chain order, whose second word is `name` and whose
// keyword is one of `keywords`.
LineNode* FirstNamed(const ConfigHandle& handle, const char* name, std::initializer_list<const char*> keywords,
                     ConfigFile** fileOut) {
  for (ConfigFile& file : handle) {
    for (LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      if (!NamedBy(*line, name) || !HasKeyword(*line, keywords)) continue;
      *fileOut = &file;
      return line;
    }
  }
  return nullptr;
}

}  // namespace

ProtectBlock FindProtectBlock(const ConfigHandle& handle, const char* name) {
  ConfigFile* file = nullptr;
  LineNode* line = FirstNamed(handle, name, kProtectionKeywords, &file);
  if (line == nullptr) return ProtectBlock();
  return ExtentFrom(file, line);
}

std::optional<ProtectionRecord> HTTPDGetProtectRule(const ConfigHandle& handle, const char* name) {
  const ProtectBlock block = FindProtectBlock(handle, name);
  if (!block) return std::nullopt;
  const LineText& header = block.first->text;

  ProtectionRecord record;
  record.keyword = getToken(header.c_str());
  const char* second = TokenNext(header);
  if (second == nullptr || std::strchr(second, '{') == nullptr) {
    record.urlTemplate = NthToken(header, 2);
    record.setupName = NthToken(header, 3);
    record.forAddress = NthToken(header, 5).value_or(std::string());
    return record;
  }

  if (IsKeyword(record.keyword, "Protection")) {
    record.setupName = NthToken(header, 2);
  } else {
    record.urlTemplate = NthToken(header, 2);
  }
  // The address of a block header: written as the third word ("Protect
  // /a/* 10.* {"), or after a FOR word ("Protect /a/* FOR 10.* {").
  if (std::optional<std::string> third = NthToken(header, 3); third && third->find('{') == std::string::npos) {
    if (stricmp(third->c_str(), "FOR") == 0) {
      if (std::optional<std::string> fourth = NthToken(header, 4)) {
        removeChar(*fourth, '{');
        if (!fourth->empty()) record.forAddress = std::move(*fourth);
      }
    } else {
      record.forAddress = std::move(*third);
    }
  }

  // The subdirectives: from the header up to the closing line (not
  // included), or to the end of the file for a block that never closes.
  record.unclosedBlock = !block.closed;
  LineNode* stop = block.closed && block.last != block.first ? block.last : block.last->next;
  for (LineNode* line = block.first; line != stop; line = line->next) ReadSubdirective(line->text, record);
  return record;
}

LineNode* HTTPDDeleteProtectRule(ConfigHandle& handle, const char* name, ConfigFile** where) {
  const ProtectBlock block = FindProtectBlock(handle, name);
  if (!block) return nullptr;
  LineNode* before = block.first->prev;
  Unlink(block);
  if (where != nullptr) *where = block.file;
  return before;
}

int HTTPDPutProtectRule(ConfigHandle& handle, const ProtectionRecord* record, const char* name, int mode) {
  if (record == nullptr) return 1;
  const ProtectionRecord& r = *record;
  if (!r.keyword) return 2;
  if (!r.urlTemplate && !r.setupName) return 3;
  ConfigFile* mainFile = handle.first();
  if (mainFile == nullptr) return 1;

  InsertPoint point{mainFile, nullptr};
  if (mode == 3) {
    ConfigFile* held = nullptr;
    LineNode* before = HTTPDDeleteProtectRule(handle, name, &held);
    point = before != nullptr ? InsertPoint{held, before} : InsertPoint{held != nullptr ? held : mainFile, nullptr};
  } else if (IsKeyword(r.keyword, "Protection")) {
    // A named setup exists once: the new one takes the old one's place.
    ConfigFile* held = nullptr;
    LineNode* before = HTTPDDeleteProtectRule(handle, name, &held);
    point = before != nullptr ? InsertPoint{held, before}
                              : DefaultPosition(mainFile, held != nullptr ? held : mainFile, r.keyword);
  } else if (IsKeyword(r.keyword, "Protect")) {
    ConfigFile* file = nullptr;
    LineNode* found = FirstNamed(handle, name, {"Protect"}, &file);
    if (found == nullptr) {
      point = DefaultPosition(handle.last(), handle.last(), r.keyword);
    } else if (mode == 2) {
      LineNode* end = found;
      if (Contains(found->text, '{') && !Contains(found->text, '}')) {
        end = ClosingLine(found->next);
        if (end == nullptr) end = file->lines.last();
      }
      point = InsertPoint{file, end};
    } else {
      point = InsertPoint{file, found->prev};
    }
  } else {
    point = DefaultPosition(mainFile, mainFile, r.keyword);
  }

  if (r.urlTemplate && r.setupName) {
    const std::string line =
        r.forAddress ? FormatText("%s  %s  %s  FOR %s\n", {LineValue(r.keyword), LineValue(r.urlTemplate),
                                                           LineValue(r.setupName), LineValue(r.forAddress)})
                     : FormatText("%s  %s  %s\n", {LineValue(r.keyword), LineValue(r.urlTemplate),
                                                   LineValue(r.setupName)});
    InsertAt(point, LineList::FromTexts({line}));
    return 1;
  }

  const std::string header = HeaderLine(r);
  LineList headerList = LineList::FromTexts({header});
  LineNode* written = headerList.first();
  InsertAt(point, std::move(headerList));
  LineNode* anchor = BlockAnchor(handle, header, written);
  LinesAdd(anchor, BlockBody(r));
  return 1;
}

LineNode* HTTPDDeleteMemberRule(ConfigHandle& handle, const char* name) {
  ConfigFile* file = nullptr;
  LineNode* first = FirstNamed(handle, name, {"Member"}, &file);
  if (first == nullptr) return nullptr;
  const ProtectBlock block = ExtentFrom(file, first);
  LineNode* after = block.last->next;
  Unlink(block);
  return after;
}

int HTTPDPutMemberRule(ConfigHandle& handle, const MemberRecord* member, const char* name, int mode) {
  if (member == nullptr || !member->name) return 0;
  ConfigFile* mainFile = handle.first();
  if (mainFile == nullptr) return 1;

  // The last line of the configuration (of the last file that has lines).
  auto lastLine = [&handle]() -> InsertPoint {
    InsertPoint at{handle.first(), nullptr};
    for (ConfigFile& file : handle) {
      if (!file.lines.empty()) at = InsertPoint{&file, file.lines.last()};
    }
    return at;
  };
  auto blockEnd = [](ConfigFile* file, LineNode* from) -> InsertPoint {
    LineNode* close = ClosingLine(from);
    return InsertPoint{file, close != nullptr ? close : file->lines.last()};
  };

  InsertPoint point;
  if (mode == 3) {
    LineNode* followed = HTTPDDeleteMemberRule(handle, name);
    if (followed == nullptr) {
      point = InsertPoint{mainFile, mainFile->lines.last()};
    } else if (followed->prev != nullptr) {
      point = InsertPoint{nullptr, followed->prev};
    } else {
      point = InsertPoint{mainFile, mainFile->lines.first()};
    }
  } else {
    ConfigFile* foundFile = nullptr;
    LineNode* found = nullptr;
    ConfigFile* memberFile = nullptr;
    LineNode* lastMember = nullptr;
    for (ConfigFile& file : handle) {
      for (LineNode* line = file.lines.first(); line != nullptr && found == nullptr; line = line->next) {
        if (NamedBy(*line, name) && HasKeyword(*line, {"Member"})) {
          found = line;
          foundFile = &file;
        } else if (TokenMatch(line->text.c_str(), "Member") == 1) {
          lastMember = line;
          memberFile = &file;
        }
      }
      if (found != nullptr) break;
    }
    if (found != nullptr && mode == 2) {
      point = blockEnd(foundFile, found);
    } else if (found != nullptr) {
      point = InsertPoint{foundFile, found->prev != nullptr ? found->prev : foundFile->lines.first()};
    } else if (lastMember != nullptr) {
      point = blockEnd(memberFile, lastMember);
    } else {
      point = lastLine();
    }
  }

  LineList lines;
  lines.Append(FormatText("Member %s {\n", {LineValue(member->name)}));
  lines.Append(FormatText("     RCAAddr %s\n", {LineValue(member->RCAAddr)}));
  lines.Append(FormatText("     RCAPort %s\n", {LineValue(member->RCAPort)}));
  lines.Append(FormatText("     Timeout %s milliseconds\n", {LineValue(member->Timeout)}));
  lines.Append(FormatText("     BindSpecific %s\n", {LineValue(member->BindSpecific)}));
  lines.Append(FormatText("     ReuseAddr %s\n", {LineValue(member->ReuseAddr)}));
  lines.Append("}\n");
  if (point.after == nullptr && point.file == nullptr) point.file = mainFile;
  InsertAt(point, std::move(lines));
  return 1;
}

}  // namespace cfgout
