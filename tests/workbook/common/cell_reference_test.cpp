// A1 references and row numbers, at and beyond the limits of a sheet.
#include "common/cell_reference.h"

#include <gtest/gtest.h>

namespace {

struct Reference {
    const char* text;
    int row; // -1: invalid
    int col;
};

TEST(CellReference, ParsesReferencesWithinTheSheet)
{
    const Reference cases[] = {
        {"A1", 0, 0},
        {"B12", 11, 1},
        {"Z1", 0, 25},
        {"AA1", 0, 26},
        {"AZ3", 2, 51},
        {"XFD1048576", 1048575, 16383},
        {"xfd1", 0, 16383},
        {"A0", -1, 0},
        {"A1048577", -1, 0},
        {"XFE1", -1, 0},
        {"A1000000000000", -1, 0},
        {"AAAAAAAAAAAAAAAAAAAA1", -1, 0},
        {"A99999999999999999999999", -1, 0},
        {"", -1, 0},
        {"A", -1, 0},
        {"12", -1, 0},
        {"A-1", -1, 0},
        {"A1 ", -1, 0},
        {" A1", -1, 0},
        {"$A$1", -1, 0},
        {"A1B", -1, 0},
    };
    for (const Reference& c : cases) {
        const std::optional<xl::CellPosition> position = xl::parseCellReference(c.text);
        if (c.row < 0) {
            EXPECT_FALSE(position) << c.text;
            continue;
        }
        ASSERT_TRUE(position) << c.text;
        EXPECT_EQ(position->row, c.row) << c.text;
        EXPECT_EQ(position->col, c.col) << c.text;
    }
}

TEST(CellReference, ParsesRowNumbersWithinTheSheet)
{
    EXPECT_EQ(xl::parseRowNumber("1"), 0);
    EXPECT_EQ(xl::parseRowNumber("1048576"), 1048575);
    for (const char* bad : {"0", "1048577", "1000000000000", "-1", "", "1.0", "+1"})
        EXPECT_FALSE(xl::parseRowNumber(bad)) << bad;
}

TEST(CellReference, FormatsWhatItParses)
{
    for (const char* text : {"A1", "Z9", "AA10", "AZ1", "BA1", "ZZ1", "AAA1", "XFD1048576"}) {
        const std::optional<xl::CellPosition> position = xl::parseCellReference(text);
        ASSERT_TRUE(position) << text;
        EXPECT_EQ(xl::formatCellReference(position->row, position->col), text);
    }
}

} // namespace
