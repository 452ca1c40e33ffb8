// Loading a workbook file and reading its term columns; see book_reading.h.
#include "book_reading.h"

#include "workbook_loader.h"

#include <string>

void loadAndReadTermColumns(xl::Book& book, std::string_view file)
{
    if (!book.loadRaw(file.data(), static_cast<unsigned>(file.size())))
        return;
    xl::Sheet* sheet = book.getSheet(0);
    if (sheet == nullptr)
        return;
    std::u16string text;
    for (int row = 0; row < sheet->lastRow(); ++row) {
        for (int col = 0; col < 2; ++col) {
            readCellText(sheet, row, col, text);
            // The accessor that the loader leaves out for the cell's type
            // must be as safe to call as the one it uses.
            sheet->readStr(row, col);
            sheet->readNum(row, col);
        }
    }
}
