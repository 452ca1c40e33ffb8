// Cell positions as workbook files write them ("B12", row "12"), parsed into
// the 0-based row and column of this layer within the limits of a sheet.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace xl {

// The largest sheet that the XML format allows: rows 1 to 1048576, columns
// A to XFD.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

struct CellPosition {
    int row;
    int col;
};

// "B12" -> row 11, column 1. Column letters in either case, then a row
// number without sign or leading blanks; null for anything else or a
// position outside the sheet (A0, XFE1, A1048577).
std::optional<CellPosition> parseCellReference(std::string_view text);

// "12" -> row 11; null unless the text is a row number 1 to 1048576.
std::optional<int> parseRowNumber(std::string_view text);

// Row 11, column 1 -> "B12", for messages.
std::string formatCellReference(int row, int col);

} // namespace xl
