// The cell store: cells in any order, replacement at one place, texts of a
// shared pool, what each read gives for each cell type, reads in any order,
// and the bound on the text that the cells show.
#include "common/sheet_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <utility>

namespace {

TEST(SheetData, FindsCellsAddedInAnyOrderAndKeepsTheLastAtOnePlace)
{
    xl::SheetData sheet;
    sheet.addNumber(5, 1, 51);
    EXPECT_TRUE(sheet.addString(0, 0, u"first"));
    sheet.addNumber(5, 0, 50);
    EXPECT_TRUE(sheet.addString(0, 0, u"replaced"));
    sheet.addNumber(2, 3, 23);
    sheet.addNumber(2, 3, 32); // replaces at once, while in order
    sheet.addBlank(7, 0);
    sheet.finish();

    EXPECT_EQ(std::u16string(sheet.readStr(0, 0)), u"replaced");
    EXPECT_EQ(sheet.readNum(2, 3), 32);
    EXPECT_EQ(sheet.readNum(5, 0), 50);
    EXPECT_EQ(sheet.readNum(5, 1), 51);
    EXPECT_EQ(sheet.cellType(7, 0), xl::CELLTYPE_BLANK);
    EXPECT_EQ(sheet.cellType(6, 0), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.cellType(5, 2), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.lastRow(), 8);
}

TEST(SheetData, ReadsEachTypeOnlyAsWhatItIs)
{
    xl::SheetData sheet;
    sheet.addNumber(0, 0, -0.25);
    EXPECT_TRUE(sheet.addString(0, 1, u"text"));
    sheet.addBoolean(0, 2, true);
    sheet.addError(0, 3);
    sheet.addBlank(0, 4);
    EXPECT_TRUE(sheet.addString(0, 5, u""));
    sheet.finish();

    const int types[] = {xl::CELLTYPE_NUMBER, xl::CELLTYPE_STRING, xl::CELLTYPE_BOOLEAN,
                         xl::CELLTYPE_ERROR, xl::CELLTYPE_BLANK, xl::CELLTYPE_STRING, xl::CELLTYPE_EMPTY};
    for (int col = 0; col < 7; ++col) {
        SCOPED_TRACE(col);
        EXPECT_EQ(sheet.cellType(0, col), types[col]);
        EXPECT_EQ(sheet.readStr(0, col) != nullptr, types[col] == xl::CELLTYPE_STRING);
        if (types[col] != xl::CELLTYPE_NUMBER) {
            EXPECT_EQ(sheet.readNum(0, col), 0.0);
        }
    }
    EXPECT_EQ(sheet.readNum(0, 0), -0.25);
    EXPECT_EQ(std::u16string(sheet.readStr(0, 5)), u"");
}

TEST(SheetData, ShowsTextsOfASharedPoolWithoutCopies)
{
    xl::TextPool shared;
    shared.add(u"other");
    const xl::TextPool::Id text = shared.add(u"shared");
    xl::SheetData sheet(&shared);
    EXPECT_TRUE(sheet.addSharedString(0, 0, text));
    EXPECT_TRUE(sheet.addString(0, 1, u"own"));
    EXPECT_TRUE(sheet.addSharedString(3, 0, text));
    // A text that is not in the pool shows nowhere.
    EXPECT_TRUE(sheet.addSharedString(4, 0, 1));
    sheet.finish();
    EXPECT_EQ(sheet.readStr(0, 0), shared.text(text));
    EXPECT_EQ(sheet.readStr(0, 0), sheet.readStr(3, 0));
    EXPECT_EQ(std::u16string(sheet.readStr(3, 0)), u"shared");
    EXPECT_EQ(sheet.cellType(4, 0), xl::CELLTYPE_EMPTY);
    // A text stays readable while other cells are read.
    const char16_t* own = sheet.readStr(0, 1);
    sheet.readStr(0, 0);
    EXPECT_EQ(std::u16string(own), u"own");
    // A sheet without a pool shows no shared text.
    xl::SheetData alone;
    EXPECT_TRUE(alone.addSharedString(0, 0, text));
    alone.finish();
    EXPECT_EQ(alone.cellType(0, 0), xl::CELLTYPE_EMPTY);
}

TEST(SheetData, IgnoresPositionsOutsideBothFormats)
{
    xl::SheetData sheet;
    sheet.addNumber(-1, 0, 1);
    sheet.addNumber(0, -1, 1);
    sheet.addNumber(0, 65536, 1);
    sheet.addNumber(2147483647, 0, 1);
    sheet.addNumber(2147483646, 65535, 7);
    sheet.finish();
    EXPECT_EQ(sheet.cellType(0, 0), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.cellType(0, 65536), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.cellType(-1, 0), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.readStr(-5, -5), nullptr);
    EXPECT_EQ(sheet.cellType(2147483647, 0), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.readNum(2147483646, 65535), 7);
    EXPECT_EQ(sheet.lastRow(), 2147483647);
}

// Every read in `order` gives what `cells` says, or an empty cell where it
// says nothing.
void expectReadsInOrder(xl::SheetData& sheet, const std::map<std::pair<int, int>, double>& cells,
                        const std::vector<std::pair<int, int>>& order)
{
    for (const auto& [row, col] : order) {
        SCOPED_TRACE(testing::Message() << "row " << row << ", column " << col);
        const auto found = cells.find({row, col});
        if (found == cells.end()) {
            EXPECT_EQ(sheet.cellType(row, col), xl::CELLTYPE_EMPTY);
            EXPECT_EQ(sheet.readNum(row, col), 0.0);
        } else {
            EXPECT_EQ(sheet.cellType(row, col), xl::CELLTYPE_NUMBER);
            EXPECT_EQ(sheet.readNum(row, col), found->second);
        }
    }
}

TEST(SheetData, FindsCellsWhateverTheOrderOfReads)
{
    // Rows with both columns, with A only, with B only, and rows left out.
    std::map<std::pair<int, int>, double> cells;
    for (int row = 0; row < 60; ++row) {
        if (row % 7 == 3)
            continue;
        if (row % 5 != 4)
            cells[{row, 0}] = row * 10.0;
        if (row % 3 != 2)
            cells[{row, 1}] = row * 10.0 + 1;
    }
    xl::SheetData sheet;
    for (const auto& [place, value] : cells)
        sheet.addNumber(place.first, place.second, value);
    sheet.finish();

    std::vector<std::pair<int, int>> everyPlace; // rows -1 to 61, columns -1 to 2, row by row
    for (int row = -1; row <= 61; ++row)
        for (int col = -1; col <= 2; ++col)
            everyPlace.emplace_back(row, col);
    std::vector<std::pair<int, int>> backwards(everyPlace.rbegin(), everyPlace.rend());
    std::vector<std::pair<int, int>> columnByColumn = everyPlace;
    std::stable_sort(columnByColumn.begin(), columnByColumn.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    std::vector<std::pair<int, int>> shuffled = everyPlace;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    std::vector<std::pair<int, int>> repeatedAndSkipping;
    for (int row = 0; row < 60; row += 2)
        for (const auto& place : {std::pair{row, 1}, std::pair{row, 1}, std::pair{row + 5, 0}, std::pair{row, 0}})
            repeatedAndSkipping.push_back(place);

    const std::pair<const char*, const std::vector<std::pair<int, int>>*> orders[] = {
        {"row by row", &everyPlace},
        {"backwards", &backwards},
        {"column by column", &columnByColumn},
        {"shuffled", &shuffled},
        {"repeated and skipping", &repeatedAndSkipping},
    };
    for (const auto& [name, order] : orders) {
        SCOPED_TRACE(name);
        expectReadsInOrder(sheet, cells, *order);
    }
}

TEST(SheetData, BoundsTheTextThatTheCellsShow)
{
    // 256 cells showing a text of 2^20 units reach the bound exactly.
    const std::u16string mebi(size_t(1) << 20, u'a');
    xl::TextPool pool;
    const xl::TextPool::Id shared = pool.add(mebi);
    xl::SheetData sheet(&pool);
    for (int row = 0; row < 255; ++row)
        ASSERT_TRUE(sheet.addSharedString(row, 0, shared)) << row;
    EXPECT_TRUE(sheet.addString(255, 0, mebi));
    // One more unit, in a text of the cell's own or in a shared one, is one
    // too many; the cell is left out.
    EXPECT_FALSE(sheet.addString(256, 0, u"x"));
    EXPECT_FALSE(sheet.addSharedString(257, 0, shared));
    // Texts not shown by any cell, and cells without text, do not count.
    pool.add(mebi);
    sheet.addNumber(258, 0, 1);
    EXPECT_TRUE(sheet.addString(259, 0, u""));
    sheet.finish();
    EXPECT_EQ(std::u16string(sheet.readStr(255, 0)), mebi);
    EXPECT_EQ(sheet.cellType(256, 0), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.cellType(257, 0), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.readNum(258, 0), 1);
    EXPECT_EQ(xl::SheetData::shownTextExceeded(),
              "the text that the sheet's cells show passes 268435456 UTF-16 code units "
              "(a shared string counts once for each cell that shows it)");
}

TEST(SheetData, AnEmptySheetHasNoRows)
{
    xl::SheetData sheet;
    sheet.finish();
    EXPECT_EQ(sheet.lastRow(), 0);
    EXPECT_EQ(sheet.cellType(0, 0), xl::CELLTYPE_EMPTY);
}

} // namespace
