#pragma once
// Generators for the numbered tables of the list pages.
//
// Each takes a template line holding one "%s" and writes that line once per
// directive occurrence, with one HTML table row in place of the "%s". The
// row number is the occurrence's position, counted from 1 in configuration
// order over all files: the list pages' output handlers refer to rows by
// that number. With no occurrence nothing is written, not even the line.
//
// Every cell value taken from the configuration is HTML-escaped; the row
// markup and the localised words (message set 2) are the program's own and
// are written as they are. Rows are built in owning strings, so an
// occurrence with very many tokens gives a long row rather than a cut one.
//
// Usage (a display handler, marker k):
//   GenTableItems(line, "AddType", 4, 1, cfg);
//   GenMultiTableItems(line, "Map Pass Fail Exec Redirect Proxy Service NameTrans 0", 4, 0, cfg);

#include "config/config_file.h"

namespace cfgout {

// One row per occurrence of `directive`: "<tr><td>N", then one cell
// ("</td><td>" token) per token up to a comment token ("#..."), tokens
// beyond `columns` appended to the last cell after one blank, then
// "</td></tr>". With `skipKeyword` 1 the tokens start at field 2. Some
// directives show localised words for some tokens (conditions of Direct,
// time units of CacheClean / CacheMaxExpiry / CacheMinHold, encodings and
// quality factors of AddType / AddEncoding). Returns the number of rows.
int GenTableItems(const char* line, const char* directive, int columns, int skipKeyword,
                  const ConfigHandle& cfg);

// As GenTableItems over the occurrences of several directives, interleaved in
// configuration order. `keywordList` is "<kw> <kw> ... <end>": each keyword
// followed by one blank, the word after the last blank being no keyword.
// The mapping, caching and query lists localise their first column; a row
// whose first token is FAIL gets an empty third cell so that its address
// lines up with the other rows' replacement column.
int GenMultiTableItems(const char* line, const char* keywordList, int columns, int skipKeyword,
                       const ConfigHandle& cfg);

// One row "<tr><td>N</td><td>method</td><td>path</td></tr>" per Enable
// directive of a method that is not a standard one (main file only).
int GenMethTableItems(const char* line, const ConfigHandle& cfg);

// One row per Protect directive: the request template, the setup name (after
// an empty cell when the line opens an inline block) and the FOR address.
int GenProtectTableItems(const char* line, const ConfigHandle& cfg);

// One row per API step directive named in `keywordList` ("<kw>&<kw>&...&"):
// the step, an empty cell after the steps that take no request template,
// then every further token as a cell ("Basic" localised); the argument of
// ServerInit is the rest of its line in one cell.
int GenAPITableItems(const char* line, const char* keywordList, const ConfigHandle& cfg);

}  // namespace cfgout
