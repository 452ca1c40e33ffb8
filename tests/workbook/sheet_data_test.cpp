// The cell store: cells in any order, replacement at one place, texts shared
// between cells, and what each read gives for each cell type.
#include "sheet_data.h"

#include <gtest/gtest.h>

namespace {

TEST(SheetData, FindsCellsAddedInAnyOrderAndKeepsTheLastAtOnePlace)
{
    xl::SheetData sheet;
    sheet.addNumber(5, 1, 51);
    sheet.addString(0, 0, u"first");
    sheet.addNumber(5, 0, 50);
    sheet.addString(0, 0, u"replaced");
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
    sheet.addString(0, 1, u"text");
    sheet.addBoolean(0, 2, true);
    sheet.addError(0, 3);
    sheet.addBlank(0, 4);
    sheet.addString(0, 5, u"");
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

TEST(SheetData, SharesOneTextBetweenCells)
{
    xl::SheetData sheet;
    const xl::SheetData::TextId shared = sheet.addText(u"shared");
    sheet.addTextCell(0, 0, shared);
    sheet.addString(0, 1, u"own");
    sheet.addTextCell(3, 0, shared);
    sheet.finish();
    EXPECT_EQ(sheet.readStr(0, 0), sheet.readStr(3, 0));
    EXPECT_EQ(std::u16string(sheet.readStr(3, 0)), u"shared");
    // A text stays readable while other cells are read.
    const char16_t* own = sheet.readStr(0, 1);
    sheet.readStr(0, 0);
    EXPECT_EQ(std::u16string(own), u"own");
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

TEST(SheetData, AnEmptySheetHasNoRows)
{
    xl::SheetData sheet;
    sheet.finish();
    EXPECT_EQ(sheet.lastRow(), 0);
    EXPECT_EQ(sheet.cellType(0, 0), xl::CELLTYPE_EMPTY);
}

} // namespace
