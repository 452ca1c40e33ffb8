// The per-sheet cell store: cells sorted by row and column, texts in one
// buffer, found by binary search.
#include "sheet_data.h"

#include <algorithm>
#include <bit>

namespace xl {
namespace {

template <typename C>
bool before(const C& a, const C& b)
{
    return a.row != b.row ? a.row < b.row : a.col < b.col;
}

template <typename C>
bool samePlace(const C& a, const C& b)
{
    return a.row == b.row && a.col == b.col;
}

} // namespace

void SheetData::add(int row, int col, CellType type, uint64_t value)
{
    if (row < 0 || row == INT32_MAX || col < 0 || col > UINT16_MAX)
        return;
    const Cell cell{row, static_cast<uint16_t>(col), static_cast<uint8_t>(type), value};
    if (!cells_.empty()) {
        Cell& last = cells_.back();
        if (samePlace(cell, last)) {
            last = cell;
            return;
        }
        if (before(cell, last))
            sorted_ = false;
    }
    cells_.push_back(cell);
}

void SheetData::addNumber(int row, int col, double value)
{
    add(row, col, CELLTYPE_NUMBER, std::bit_cast<uint64_t>(value));
}

void SheetData::addString(int row, int col, std::u16string text)
{
    addTextCell(row, col, addText(text));
}

void SheetData::addBoolean(int row, int col, bool value)
{
    add(row, col, CELLTYPE_BOOLEAN, value ? 1 : 0);
}

void SheetData::addError(int row, int col)
{
    add(row, col, CELLTYPE_ERROR, 0);
}

void SheetData::addBlank(int row, int col)
{
    add(row, col, CELLTYPE_BLANK, 0);
}

SheetData::TextId SheetData::addText(std::u16string_view text)
{
    const TextId id = texts_.size();
    texts_.append(text);
    texts_.push_back(u'\0');
    return id;
}

void SheetData::addTextCell(int row, int col, TextId text)
{
    if (text < texts_.size())
        add(row, col, CELLTYPE_STRING, text);
}

void SheetData::finish()
{
    if (!sorted_) {
        // Stable, so that of cells at one place the one added last is last.
        std::stable_sort(cells_.begin(), cells_.end(), before<Cell>);
        size_t kept = 0;
        for (const Cell& cell : cells_) {
            if (kept > 0 && samePlace(cells_[kept - 1], cell))
                cells_[kept - 1] = cell;
            else
                cells_[kept++] = cell;
        }
        cells_.resize(kept);
        sorted_ = true;
    }
    cells_.shrink_to_fit();
    texts_.shrink_to_fit();
}

const SheetData::Cell* SheetData::find(int row, int col) const
{
    if (row < 0 || col < 0 || col > UINT16_MAX)
        return nullptr;
    const Cell key{row, static_cast<uint16_t>(col), 0, 0};
    const auto it = std::lower_bound(cells_.begin(), cells_.end(), key, before<Cell>);
    return it != cells_.end() && samePlace(*it, key) ? &*it : nullptr;
}

int SheetData::cellType(int row, int col) const
{
    const Cell* cell = find(row, col);
    return cell ? static_cast<int>(cell->type) : static_cast<int>(CELLTYPE_EMPTY);
}

const char16_t* SheetData::readStr(int row, int col, Format** format)
{
    if (format)
        *format = nullptr;
    const Cell* cell = find(row, col);
    return cell && cell->type == CELLTYPE_STRING ? texts_.data() + cell->value : nullptr;
}

double SheetData::readNum(int row, int col, Format** format) const
{
    if (format)
        *format = nullptr;
    const Cell* cell = find(row, col);
    return cell && cell->type == CELLTYPE_NUMBER ? std::bit_cast<double>(cell->value) : 0.0;
}

int SheetData::lastRow() const
{
    return cells_.empty() ? 0 : cells_.back().row + 1;
}

} // namespace xl
