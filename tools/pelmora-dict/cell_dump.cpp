// The dump of a workbook's first two columns, through the loader's own choice
// of book and its own reading of numbers.
#include "cell_dump.h"

#include "workbook_loader.h"

const char* cellTypeName(int type)
{
    switch (type) {
    case xl::CELLTYPE_EMPTY: return "empty";
    case xl::CELLTYPE_NUMBER: return "number";
    case xl::CELLTYPE_STRING: return "string";
    case xl::CELLTYPE_BOOLEAN: return "boolean";
    case xl::CELLTYPE_BLANK: return "blank";
    case xl::CELLTYPE_ERROR: return "error";
    }
    return "unknown";
}

std::optional<SheetDump> dumpSheet(xl::Book& book, std::optional<int> rows)
{
    xl::Sheet* sheet = book.getSheet(0);
    if (sheet == nullptr)
        return std::nullopt;
    SheetDump dump;
    dump.lastRow = sheet->lastRow();
    for (int row = 0; row < rows.value_or(dump.lastRow); ++row) {
        std::array<DumpedCell, 2>& cells = dump.rows.emplace_back();
        for (int col = 0; col < 2; ++col) {
            DumpedCell& cell = cells[static_cast<size_t>(col)];
            cell.type = sheet->cellType(row, col);
            if (cell.type == xl::CELLTYPE_NUMBER) {
                cell.value = sheet->readNum(row, col, nullptr);
                readCellText(sheet, row, col, cell.text.emplace());
            } else if (const char16_t* text = sheet->readStr(row, col, nullptr)) {
                cell.text = text;
            }
        }
    }
    return dump;
}
