// The cells of one sheet as a reader collected them, and the Sheet that serves
// them: random access by row and column in O(log n), so that reading a sheet
// row by row stays linear. Both book kinds fill one of these per sheet.
#pragma once

#include "xlbook.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

class SheetData final : public Sheet {
public:
    // A text stored in the sheet, which any number of cells can show.
    using TextId = uint64_t;

    // Cells may be added in any order; a later cell at the same position
    // replaces an earlier one. Negative positions, columns past 65535 (beyond
    // both file formats) and row INT_MAX (lastRow could not count it) are
    // ignored.
    void addNumber(int row, int col, double value);
    void addString(int row, int col, std::u16string text);
    void addBoolean(int row, int col, bool value);
    void addError(int row, int col);
    void addBlank(int row, int col);
    // Stores a text once, for cells that share it (shared strings), and the
    // cells that show it.
    TextId addText(std::u16string_view text);
    void addTextCell(int row, int col, TextId text);
    // Call once all cells are in, before the first read.
    void finish();

    int cellType(int row, int col) const override;
    const char16_t* readStr(int row, int col, Format** format = nullptr) override;
    double readNum(int row, int col, Format** format = nullptr) const override;
    int lastRow() const override;

private:
    // 16 bytes a cell: no cell owns memory of its own.
    struct Cell {
        int32_t row;
        uint16_t col;
        uint8_t type;     // a CellType
        uint64_t value;   // the bits of a number, 1 or 0 for a boolean, or
                          // for a string where its text starts in texts_
    };
    void add(int row, int col, CellType type, uint64_t value);
    const Cell* find(int row, int col) const;

    std::vector<Cell> cells_;
    std::u16string texts_; // every text, each followed by a NUL
    bool sorted_ = true;
};

} // namespace xl
