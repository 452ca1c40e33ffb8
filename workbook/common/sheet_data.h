// The cells of one sheet as a reader collected them, and the Sheet that serves
// them: random access by row and column, O(1) for the reads that follow one
// another along a row or down the rows, O(log n) otherwise. Both book kinds
// fill one of these per sheet.
#pragma once

#include "xlbook.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

// Texts one after the other, each after its length (two code units, low half
// first) and followed by a NUL: a text is known by where it starts, and has
// its length and its end at hand. A book keeps its shared strings in one, for
// its sheets' cells to show without copies.
class TextPool {
public:
    using Id = uint64_t;

    Id add(std::u16string_view text);
    void reserve(size_t units) { units_.reserve(units); }
    bool holds(Id id) const { return id >= kLengthUnits && id < units_.size(); }
    const char16_t* text(Id id) const { return units_.data() + id; }
    uint64_t length(Id id) const { return units_[id - 2] | (uint64_t(units_[id - 1]) << 16); }

private:
    static constexpr Id kLengthUnits = 2;
    std::u16string units_;
};

class SheetData final : public Sheet {
public:
    // The cells of a sheet may show at most 2^28 UTF-16 code units of text in
    // all, a text counted once for every cell that shows it. A reader hands
    // each cell's text to its caller as a string of its own, so a few bytes
    // of shared string references could otherwise make the caller copy
    // gigabytes. A dictionary of a million rows of two 100-character terms
    // shows 2 * 10^8.
    static constexpr uint64_t kMaxShownText = uint64_t(1) << 28;

    // `sharedTexts`, when given, holds texts that cells may show without a
    // copy (the book's shared strings), and must outlive the sheet.
    explicit SheetData(const TextPool* sharedTexts = nullptr) : sharedTexts_(sharedTexts) {}

    // Room for `cells` cells and `textUnits` code units of text of their own
    // (with the length and NUL of each), to be filled without copies as the
    // sheet grows.
    void reserve(size_t cells, size_t textUnits = 0)
    {
        cells_.reserve(cells);
        texts_.reserve(textUnits);
    }

    // Cells may be added in any order; a later cell at the same position
    // replaces an earlier one. Negative positions, columns past 65535 (beyond
    // both file formats) and row INT_MAX (lastRow could not count it) are
    // ignored.
    void addNumber(int row, int col, double value);
    void addBoolean(int row, int col, bool value);
    void addError(int row, int col);
    void addBlank(int row, int col);
    // A cell that shows a text of its own, or the text `text` of the shared
    // texts. False, and the cell left out, when it would take the text shown
    // past kMaxShownText: the reader then fails with shownTextExceeded().
    [[nodiscard]] bool addString(int row, int col, std::u16string_view text);
    [[nodiscard]] bool addSharedString(int row, int col, TextPool::Id text);
    // Call once all cells are in, before the first read.
    void finish();

    // What went wrong when addString or addSharedString refused a cell, for
    // a message that says first where (part or stream, and the cell).
    static std::string shownTextExceeded();

    // Calls `visit(row, col)` for every cell, once finished, row by row: for
    // checks that two readings of a sheet agree.
    template <typename Visit>
    void forEachCell(Visit visit) const
    {
        for (const Cell& cell : cells_)
            visit(static_cast<int>(cell.row), static_cast<int>(cell.col));
    }

    int cellType(int row, int col) const override;
    const char16_t* readStr(int row, int col, Format** format = nullptr) override;
    double readNum(int row, int col, Format** format = nullptr) const override;
    int lastRow() const override;
    size_t cellCount() const override { return cells_.size(); }

private:
    // 16 bytes a cell: no cell owns memory of its own.
    struct Cell {
        int32_t row;
        uint16_t col;
        uint8_t type;   // a CellType
        bool shared;    // a string in sharedTexts_, not in texts_
        uint64_t value; // the bits of a number, 1 or 0 for a boolean, or a
                        // string's text
    };
    void add(int row, int col, CellType type, uint64_t value, bool shared = false);
    bool addText(int row, int col, const TextPool& pool, TextPool::Id text, bool shared);
    const Cell* find(int row, int col) const;
    size_t lowerBound(const Cell& key) const;

    const TextPool* sharedTexts_;
    std::vector<Cell> cells_;
    TextPool texts_;
    uint64_t shownText_ = 0;
    bool sorted_ = true;
    // Where the last read found its place in cells_, for the next read to
    // look first; atomic so that reads stay safe from several threads.
    mutable std::atomic<size_t> lastPlace_{0};
};

} // namespace xl
