// Edits an .xlsx package in one place and keeps the rest as it is: new rows
// inserted into the first sheet, the rows below moving down with their
// cells, and every other part of the package copied byte for byte (its
// stored, deflated bytes included). What would not move with its rows
// (formulas, merged cells, tables, conditional formats, data validations,
// hyperlinks, drawings and comments, names that point into the sheet) makes
// the edit refuse, with a LoadError that says what and where, rather than
// leave the workbook wrong.
#pragma once

#include "common/load_error.h"

#include <string>
#include <string_view>
#include <vector>

namespace xl {

// A row to insert: column A, column B, ... as UTF-8 texts (empty: no cell).
using TextRow = std::vector<std::string>;

// Returns the package `packageBytes` with `rows` inserted into its first
// sheet before the row `beforeRow` (counted from 0), which must hold a cell
// of that sheet. Throws a LoadError when the package cannot be read or the
// sheet holds what cannot move with its rows.
std::string insertRowsIntoFirstSheet(std::string_view packageBytes, int beforeRow, const std::vector<TextRow>& rows);

} // namespace xl
