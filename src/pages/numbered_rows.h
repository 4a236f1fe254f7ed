#pragma once
// Numbered directive rows: the list pages show the instances of one or more
// directives as a table numbered from 1 in configuration order (main file
// first, each file from its first line), and their forms refer to a row by
// that number. These helpers find a row, put new lines next to it and take
// it out, working on the line itself so that two rows with the same text are
// still two different rows.

#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"

namespace cfgout {

// A line of the configuration and the file that holds it; both null when
// there is no such line.
struct RowPosition {
  ConfigFile* file = nullptr;
  LineNode* line = nullptr;
  explicit operator bool() const { return line != nullptr; }
};

// The row-th instance (from 1) of any of the directives `ids`, counted
// together in configuration order; none for a row below 1 or beyond the
// last instance.
RowPosition FindNumberedRow(const ConfigHandle& cfg, const std::vector<int>& ids, int row);

// The first and the last instance of directive `id`.
RowPosition FindFirstInstance(const ConfigHandle& cfg, int id);
RowPosition FindLastInstance(const ConfigHandle& cfg, int id);

// Links a new line holding `text` right before `at` (a line of `at.file`)
// and returns it. Before a file's first line, the new line becomes the
// file's first line.
LineNode* InsertLineBefore(const RowPosition& at, std::string text);

// Links a new line holding `text` right after the configuration line `at`
// and returns it.
LineNode* InsertLineAfter(LineNode* at, std::string text);

// Appends a line at the end of the configuration, where a line goes that
// has nothing to stand next to (after the last line of the chain of files
// walked from the main file, see LinesAddStr).
LineNode* AppendToConfiguration(ConfigHandle& cfg, std::string_view text);

// Unlinks and frees the line of `at`.
void RemoveRow(const RowPosition& at);

// The patterns of a list field: the text split at commas, blanks, tabs, CR
// and LF, empty pieces skipped.
std::vector<std::string> SplitPatterns(std::string_view text);

}  // namespace cfgout
