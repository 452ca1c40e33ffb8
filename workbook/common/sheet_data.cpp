// The per-sheet cell store: cells sorted by row and column, texts in a pool
// of the sheet's own or the book's, found where the last read left off or
// else by binary search.
#include "common/sheet_data.h"

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

TextPool::Id TextPool::add(std::u16string_view text)
{
    // A length past 32 bits is kept as the largest one, which any cell that
    // shows the text takes past the bound on shown text all the same.
    const auto length = static_cast<uint32_t>(std::min<uint64_t>(text.size(), UINT32_MAX));
    const size_t start = units_.size();
    units_.resize(start + kLengthUnits + text.size() + 1);
    char16_t* out = units_.data() + start;
    out[0] = static_cast<char16_t>(length & 0xFFFF);
    out[1] = static_cast<char16_t>(length >> 16);
    text.copy(out + kLengthUnits, text.size());
    out[kLengthUnits + text.size()] = u'\0';
    return start + kLengthUnits;
}

void SheetData::add(int row, int col, CellType type, uint64_t value, bool shared)
{
    if (row < 0 || row == INT32_MAX || col < 0 || col > UINT16_MAX)
        return;
    const Cell cell{row, static_cast<uint16_t>(col), static_cast<uint8_t>(type), shared, value};
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

bool SheetData::addString(int row, int col, std::u16string_view text)
{
    return addText(row, col, texts_, texts_.add(text), false);
}

bool SheetData::addSharedString(int row, int col, TextPool::Id text)
{
    return !sharedTexts_ || addText(row, col, *sharedTexts_, text, true);
}

bool SheetData::addText(int row, int col, const TextPool& pool, TextPool::Id text, bool shared)
{
    if (!pool.holds(text))
        return true;
    const uint64_t shown = shownText_ + pool.length(text);
    if (shown > kMaxShownText)
        return false;
    shownText_ = shown;
    add(row, col, CELLTYPE_STRING, text, shared);
    return true;
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

std::string SheetData::shownTextExceeded()
{
    return "the text that the sheet's cells show passes " + std::to_string(kMaxShownText) +
           " UTF-16 code units (a shared string counts once for each cell that shows it)";
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
    // Capacity past the cells is never touched, so it takes no memory; a copy
    // to fit would only add one at the peak.
}

// The first place in cells_ whose cell is not before `key`.
size_t SheetData::lowerBound(const Cell& key) const
{
    // Readers go along a row and down the rows, so the place wanted is most
    // often where the last read ended or the one after it.
    const size_t count = cells_.size();
    const size_t last = lastPlace_.load(std::memory_order_relaxed);
    for (size_t place = last; place <= last + 1 && place <= count; ++place)
        if ((place == 0 || before(cells_[place - 1], key)) && (place == count || !before(cells_[place], key)))
            return place;
    return static_cast<size_t>(std::lower_bound(cells_.begin(), cells_.end(), key, before<Cell>) - cells_.begin());
}

const SheetData::Cell* SheetData::find(int row, int col) const
{
    if (row < 0 || col < 0 || col > UINT16_MAX)
        return nullptr;
    const Cell key{row, static_cast<uint16_t>(col), 0, false, 0};
    const size_t place = lowerBound(key);
    lastPlace_.store(place, std::memory_order_relaxed);
    return place < cells_.size() && samePlace(cells_[place], key) ? &cells_[place] : nullptr;
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
    if (!cell || cell->type != CELLTYPE_STRING)
        return nullptr;
    return (cell->shared ? *sharedTexts_ : texts_).text(cell->value);
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
