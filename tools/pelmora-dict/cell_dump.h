// The analysis behind `pelmora-dict dump`: columns A and B of the first sheet
// as the spreadsheet layer reads them, with the text a number cell reads as
// in the loader.
#pragma once

#include "xlbook.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

struct DumpedCell {
    int type = 0;                         // the layer's cell type
    std::optional<double> value;          // number cells
    std::optional<std::u16string> text;   // string cells, and what a number cell reads as
};

struct SheetDump {
    int lastRow = 0;                      // one past the last row that holds a cell
    std::vector<std::array<DumpedCell, 2>> rows;
};

// The first `rows` rows of the open workbook `book`, or its rows through the
// last used one; nullopt when it has no sheet.
std::optional<SheetDump> dumpSheet(xl::Book& book, std::optional<int> rows);

// "number", "string" ... for a cell type.
const char* cellTypeName(int type);
