#pragma once
// The page table, template pages and the display-handler walk.
//
// Every page is a template: a numbered list of lines held in a message
// bundle. A line that holds "%s" is a marker; a display handler prints the
// page line by line and fills the k-th marker with its k-th generated item.

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "html/page_status.h"

namespace cfgout {

// One row of the page table.
struct FormPage {
  const char* name;  // page name, upper case
  int bundleSet;     // bundle slot holding the page: 2 (configuration pages) or 3
  int index;         // the page's message set in that slot; for slot 2 also its dispatch number
};

inline constexpr std::size_t kFormListSize = 138;

// Sorted by name in byte order: the lookups below binary-search it.
extern const std::array<FormPage, kFormListSize> formList;

// A page's template lines, in order. The end mark (the first empty line) is
// not held here. Line texts belong to the bundle cache and live until the
// process ends.
struct TemplatePage {
  std::vector<const char*> lines;
};

inline constexpr int kMaxTemplateLines = 499;

// The `index` of the row named `name` (ignoring case), or -1.
int IndexFromHtmlName(std::string_view name);

// The row number (0-136) of the row named `name` (ignoring case), or -1.
int FindHtmlIndex(std::string_view name);

// The page's template in the default locale, or null when the name is not in
// the table, its bundle cannot be loaded, or its line list has no end mark
// (a missing line before the empty one). The lines are read as ids 1-499 of
// the page's message set; a page with 499 non-empty lines is returned with
// those lines. The first overload upper-cases the caller's string in place.
std::unique_ptr<TemplatePage> GetHtmlPage(std::string& name);
std::unique_ptr<TemplatePage> GetHtmlPage(std::string_view name);

// The display-handler walk. Lines without "%s" are written with
// GenHtmlLine(line, null). Marker lines are numbered from 0 in line order;
// `fill(k, line)` must write marker k and return true, or return false when
// the page has no k-th item, in which case the line is written with
// `beyond` ("" for every page but the restart page) in place of "%s".
using MarkerFiller = std::function<bool(int marker, const char* line)>;
void WalkTemplate(const TemplatePage& page, const MarkerFiller& fill, const char* beyond = "");

// The same walk with a fixed item list: items[k] writes marker k.
using MarkerItem = std::function<void(const char* line)>;
void WalkTemplate(const TemplatePage& page, std::span<const MarkerItem> items,
                  const char* beyond = "");

// Prints the marker line `line` with the status block in place of its "%s":
// the text before "%s", then the "HAPARMS" template filled with the block
// (marker 1 messageText, 2 messageType, 3 helpPage, 4 helpTopic,
// 5 appletExtra, 6 "true"/"false" for appletFlag, later markers ""), then the
// text after "%s". The lines of markers 3-5 are left out when their field is
// absent. Every field is HTML-escaped where it is printed (so catalogue
// messages must not carry markup). When "HAPARMS" cannot be loaded the line
// is written with "" instead. A line without "%s" is treated as having it at
// its end. Returns 0.
int GenHeraldAppletParms(const char* line, const PageStatus& status);

// Prints "CFG_INTRO" with the status block at its first marker and "" at the
// others; nothing when the template cannot be loaded. Returns 1.
int Cfg_IntroDisplayHandler(const PageStatus& status);

// Prints `page` with the status block at its first marker and "" at the
// others. Returns 0.
int TextOnlyDisplayHandler(const TemplatePage& page, const PageStatus& status);

}  // namespace cfgout
