#include "html/templates.h"

#include "html/output.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "nls/locale.h"
#include "runtime/sorted_name_table.h"

namespace cfgout {

namespace {

// Slot 2 holds the configuration pages, slot 3 the "htmlprox" pages.
constexpr std::array<FormPage, kFormListSize> kFormRows = {{
    {"ACCCONF", 2, 1},
    {"ADDENCOD", 2, 2},
    {"ADDTYPE", 2, 3},
    {"ADDUSER", 2, 4},
    {"ADVANCED", 3, 1},
    {"APIMAP", 2, 5},
    {"APIREQ", 2, 6},
    {"APPOFFLOAD", 3, 2},
    {"APPOFFLOADDET", 3, 3},
    {"ARCHIVE", 2, 7},
    {"BASIC", 2, 8},
    {"CACHE", 3, 4},
    {"CFG_INTRO", 2, 9},
    {"CHKUSER", 2, 10},
    {"CHPASSWD", 2, 11},
    {"CODEPAGE", 2, 12},
    {"CYBERPATROL", 3, 48},
    {"DELUSER", 2, 13},
    {"DIRECT", 3, 5},
    {"DIRICONS", 2, 14},
    {"DOCAUTOS", 2, 15},
    {"ERRCUST", 2, 16},
    {"HAPARMS", 2, 17},
    {"HEADER", 3, 6},
    {"HISTORY", 2, 89},
    {"HLPABTWT", 3, 9},
    {"HLPACCCO", 2, 18},
    {"HLPADDEN", 2, 19},
    {"HLPADDTY", 2, 20},
    {"HLPADDUS", 2, 21},
    {"HLPADVAN", 3, 10},
    {"HLPAPIMA", 2, 22},
    {"HLPAPPOFFLOAD", 3, 7},
    {"HLPAPPOFFLOADDET", 3, 8},
    {"HLPARCHI", 2, 23},
    {"HLPBASIC", 2, 24},
    {"HLPCACHE", 3, 11},
    {"HLPCHKUS", 2, 25},
    {"HLPCHPAS", 2, 26},
    {"HLPCODEP", 2, 27},
    {"HLPCYBERPATROL", 3, 49},
    {"HLPDELUS", 2, 28},
    {"HLPDIREC", 3, 12},
    {"HLPDIRIC", 2, 29},
    {"HLPDOCAU", 2, 30},
    {"HLPERRCU", 2, 31},
    {"HLPFRAME", 2, 32},
    {"HLPHEADE", 3, 13},
    {"HLPINITP", 2, 33},
    {"HLPJPERF", 3, 14},
    {"HLPKRTDS", 2, 40},
    {"HLPLISTC", 2, 34},
    {"HLPLMF", 2, 35},
    {"HLPLOADM", 2, 36},
    {"HLPLOGFI", 2, 37},
    {"HLPMETHE", 2, 38},
    {"HLPMPFRU", 2, 39},
    {"HLPPACFO", 3, 15},
    {"HLPPACPR", 3, 16},
    {"HLPPERFO", 2, 41},
    {"HLPPFACO", 3, 17},
    {"HLPPFDEF", 3, 18},
    {"HLPPFFAI", 3, 19},
    {"HLPPFHEA", 3, 20},
    {"HLPPFMAN", 3, 21},
    {"HLPPFPAS", 3, 22},
    {"HLPPFSIN", 3, 23},
    {"HLPPFUSE", 3, 24},
    {"HLPPRELO", 3, 25},
    {"HLPPROTE", 2, 42},
    {"HLPPROXB", 2, 43},
    {"HLPPROXC", 2, 44},
    {"HLPPROXE", 2, 45},
    {"HLPPROXG", 2, 46},
    {"HLPPROXM", 2, 47},
    {"HLPPROXP", 2, 48},
    {"HLPPROXS", 2, 49},
    {"HLPPROXT", 2, 50},
    {"HLPRCA", 3, 26},
    {"HLPSNMPM", 2, 51},
    {"HLPSOCKS", 3, 27},
    {"HLPSSL", 3, 28},
    {"HLPSTAT1", 2, 52},
    {"HLPSTAT10", 2, 53},
    {"HLPSTAT2", 2, 54},
    {"HLPSTAT3", 2, 55},
    {"HLPSTAT4", 2, 56},
    {"HLPSTAT5", 2, 57},
    {"HLPSTAT6", 2, 58},
    {"HLPSTAT7", 2, 59},
    {"HLPSTAT8", 2, 60},
    {"HLPSTAT9", 2, 61},
    {"HLPTIMEO", 2, 62},
    {"HLPURLEX", 3, 29},
    {"HLPUSERM", 2, 63},
    {"HLTFRAME", 2, 64},
    {"INITPAGE", 2, 65},
    {"JHAPARMS", 3, 30},
    {"JPERFORM", 3, 31},
    {"KRTDS", 2, 72},
    {"LISTCNTS", 2, 66},
    {"LMF", 2, 67},
    {"LOADMGR", 2, 68},
    {"LOGFILES", 2, 69},
    {"METHENAB", 2, 70},
    {"MPFRULE", 2, 71},
    {"PACFORM", 3, 32},
    {"PACPROXY", 3, 33},
    {"PASSPRO", 2, 73},
    {"PERFORMA", 2, 74},
    {"PFACOND", 3, 34},
    {"PFDEF", 3, 35},
    {"PFFAIL", 3, 36},
    {"PFHEAD", 3, 37},
    {"PFMAN", 3, 38},
    {"PFPASS", 3, 39},
    {"PFSINFO", 3, 40},
    {"PFUSER", 3, 41},
    {"PRELOAD", 3, 42},
    {"PROTECT", 2, 75},
    {"PROXBEHA", 2, 76},
    {"PROXCACH", 2, 77},
    {"PROXEXP", 2, 78},
    {"PROXGC", 2, 79},
    {"PROXMAP", 2, 80},
    {"PROXPROX", 2, 81},
    {"PROXSERV", 2, 82},
    {"PROXTIME", 2, 83},
    {"QTX_INTRO", 3, 47},
    {"RCA", 3, 43},
    {"RESTART", 2, 84},
    {"SNMPMIB", 2, 85},
    {"SOCKS", 3, 44},
    {"SSL", 3, 45},
    {"SSLPRO", 2, 86},
    {"TIMEOUT", 2, 87},
    {"URLEXP", 3, 46},
    {"USERMETH", 2, 88},
}};

constexpr bool FormListIsSorted() {
  for (std::size_t i = 1; i < kFormListSize; ++i) {
    if (std::string_view(kFormRows[i - 1].name) >= std::string_view(kFormRows[i].name)) return false;
  }
  return true;
}

int FindRow(std::string_view name) { return FindRowByUpperCaseName(std::span<const FormPage>(formList), name); }

// The status applet's parameter lines, written through the "HAPARMS" walk.
void WriteStatusParameters(const TemplatePage& parms, const PageStatus& status) {
  WalkTemplate(parms, [&status](int marker, const char* line) {
    auto write_optional = [line](const std::optional<std::string>& field) {
      if (field) GenHtmlLine(line, HtmlEscape(*field));
    };
    switch (marker) {
      case 0: GenHtmlLine(line, HtmlEscape(status.messageText)); return true;
      case 1: GenHtmlLine(line, HtmlEscape(status.messageType)); return true;
      case 2: write_optional(status.helpPage); return true;
      case 3: write_optional(status.helpTopic); return true;
      case 4: write_optional(status.appletExtra); return true;
      case 5: GenHtmlLine(line, status.appletFlag != 0 ? "true" : "false"); return true;
      default: return false;
    }
  });
}

}  // namespace

static_assert(FormListIsSorted(), "the page table must stay in strcmp order");

const std::array<FormPage, kFormListSize> formList = kFormRows;

int IndexFromHtmlName(std::string_view name) {
  int row = FindRow(name);
  return row < 0 ? -1 : formList[static_cast<std::size_t>(row)].index;
}

int FindHtmlIndex(std::string_view name) { return FindRow(name); }

std::unique_ptr<TemplatePage> GetHtmlPage(std::string& name) {
  UpperCaseInPlace(name);
  int row_number = FindRow(name);
  if (row_number < 0) return nullptr;
  const FormPage& row = formList[static_cast<std::size_t>(row_number)];
  if (nlsLoadResources(row.bundleSet, Locale_GetDefault()) == 0) return nullptr;

  auto page = std::make_unique<TemplatePage>();
  for (int line = 1; line <= kMaxTemplateLines; ++line) {
    const char* text = nlsGetString(row.bundleSet, row.index, line, nullptr);
    if (text == nullptr) return nullptr;  // no end mark: not a template
    if (*text == '\0') return page;
    page->lines.push_back(text);
  }
  return page;
}

std::unique_ptr<TemplatePage> GetHtmlPage(std::string_view name) {
  std::string copy(name);
  return GetHtmlPage(copy);
}

void WalkTemplate(const TemplatePage& page, const MarkerFiller& fill, const char* beyond) {
  int marker = 0;
  for (const char* line : page.lines) {
    if (!IsMarkerLine(line)) {
      GenHtmlLine(line, nullptr);
      continue;
    }
    if (!fill || !fill(marker, line)) GenHtmlLine(line, beyond);
    ++marker;
  }
}

void WalkTemplate(const TemplatePage& page, std::span<const MarkerItem> items, const char* beyond) {
  WalkTemplate(
      page,
      [items](int marker, const char* line) {
        if (static_cast<std::size_t>(marker) >= items.size() || !items[static_cast<std::size_t>(marker)]) {
          return false;
        }
        items[static_cast<std::size_t>(marker)](line);
        return true;
      },
      beyond);
}

int GenHeraldAppletParms(const char* line, const PageStatus& status) {
  if (line == nullptr) return 0;
  std::string_view text(line);
  std::size_t marker = text.find("%s");
  if (marker == std::string_view::npos) marker = text.size();

  std::unique_ptr<TemplatePage> parms = GetHtmlPage(std::string_view("HAPARMS"));
  if (!parms) {
    GenHtmlLine(line, "");
    return 0;
  }
  if (marker > 0) GenHtmlLine(std::string(text.substr(0, marker)).c_str(), nullptr);
  WriteStatusParameters(*parms, status);
  if (marker + 2 < text.size()) GenHtmlLine(std::string(text.substr(marker + 2)).c_str(), nullptr);
  return 0;
}

namespace {

void WriteStatusPage(const TemplatePage& page, const PageStatus& status) {
  WalkTemplate(page, [&status](int marker, const char* line) {
    if (marker != 0) return false;
    GenHeraldAppletParms(line, status);
    return true;
  });
}

}  // namespace

int Cfg_IntroDisplayHandler(const PageStatus& status) {
  std::unique_ptr<TemplatePage> page = GetHtmlPage(std::string_view("CFG_INTRO"));
  if (page) WriteStatusPage(*page, status);
  return 1;
}

int TextOnlyDisplayHandler(const TemplatePage& page, const PageStatus& status) {
  WriteStatusPage(page, status);
  return 0;
}

}  // namespace cfgout
