// Comparing two readings of a workbook; see book_comparison.h.
#include "book_comparison.h"

#include "common/cell_reference.h"
#include "common/sheet_data.h"
#include "utf8.h"

#include <algorithm>
#include <vector>

namespace fixture {
namespace {

std::vector<xl::CellPosition> positions(const xl::SheetData& sheet)
{
    std::vector<xl::CellPosition> found;
    sheet.forEachCell([&found](int row, int col) { found.push_back({row, col}); });
    return found;
}

std::string text(const char16_t* units)
{
    return units ? "\"" + xl::utf16ToUtf8(units) + "\"" : "no text";
}

std::string sheetDifference(xl::SheetData& expected, xl::SheetData& actual)
{
    const std::vector<xl::CellPosition> cells = positions(expected);
    const std::vector<xl::CellPosition> others = positions(actual);
    for (size_t i = 0; i < std::max(cells.size(), others.size()); ++i) {
        if (i == cells.size() || i == others.size() || cells[i].row != others[i].row || cells[i].col != others[i].col)
            return "cell " + std::to_string(i + 1) + " is at " +
                   (i < cells.size() ? xl::formatCellReference(cells[i].row, cells[i].col) : "none") +
                   " against " + (i < others.size() ? xl::formatCellReference(others[i].row, others[i].col) : "none");
        const auto [row, col] = cells[i];
        const std::string where = "cell " + xl::formatCellReference(row, col) + ": ";
        if (expected.cellType(row, col) != actual.cellType(row, col))
            return where + "type " + std::to_string(expected.cellType(row, col)) + " against " +
                   std::to_string(actual.cellType(row, col));
        if (expected.readNum(row, col) != actual.readNum(row, col))
            return where + "number " + std::to_string(expected.readNum(row, col)) + " against " +
                   std::to_string(actual.readNum(row, col));
        const std::string expectedText = text(expected.readStr(row, col));
        const std::string actualText = text(actual.readStr(row, col));
        if (expectedText != actualText)
            return where + expectedText + " against " + actualText;
    }
    if (expected.lastRow() != actual.lastRow())
        return "last row " + std::to_string(expected.lastRow()) + " against " + std::to_string(actual.lastRow());
    return {};
}

} // namespace

std::string readingDifference(std::string_view file, xl::Book& expected, xl::Book& actual)
{
    const auto size = static_cast<unsigned>(file.size());
    const bool loaded = expected.loadRaw(file.data(), size);
    if (actual.loadRaw(file.data(), size) != loaded || std::string_view(expected.errorMessage()) != actual.errorMessage())
        return std::string("loading: \"") + expected.errorMessage() + "\" against \"" + actual.errorMessage() + "\"";
    if (!loaded)
        return {};
    for (int index = 0;; ++index) {
        xl::Sheet* const sheet = expected.getSheet(index);
        xl::Sheet* const other = actual.getSheet(index);
        const std::string which = "sheet " + std::to_string(index + 1) + ": ";
        if ((sheet == nullptr) != (other == nullptr) ||
            std::string_view(expected.errorMessage()) != actual.errorMessage())
            return which + "\"" + expected.errorMessage() + "\" against \"" + actual.errorMessage() + "\"";
        if (sheet == nullptr)
            return {};
        if (std::string difference =
                sheetDifference(static_cast<xl::SheetData&>(*sheet), static_cast<xl::SheetData&>(*other));
            !difference.empty())
            return which + difference;
    }
}

} // namespace fixture
