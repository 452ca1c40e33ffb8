// A dictionary kept as a legacy .xls workbook loads exactly as the same
// dictionary saved as .xlsx: the same markers, the same pairs, the same
// number texts.
#include "workbook_loader.h"

#include "sim_test.h"
#include "temp_file.h"
#include "text.h"
#include "xls_fixture.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

namespace {

using namespace xls_fixture;

// The dictionary, cell by cell: a title row, the markers, pairs of text,
// numbers, an empty cell and a near-miss marker.
struct Cell {
    uint16_t row;
    uint16_t col;
    const char* text;   // null for a number
    double number;
};
const Cell kCells[] = {
    {0, 0, "Pelmora dictionary", 0},
    {1, 0, "KQ_FILE_START", 0},
    {2, 0, "Extrude", 0},         {2, 1, "\xE6\x8B\x89\xE4\xBC\xB8", 0},
    {3, 0, "Sketch", 0},          {3, 1, "\xE8\x8D\x89\xE5\x9B\xBE", 0},
    {4, 0, "Gear", 0},            {4, 1, nullptr, 12.5},
    {5, 0, nullptr, 0.0000001},   {5, 1, "tiny", 0},
    {6, 0, "Lonely", 0},
    {7, 0, "kq_file_end", 0},     {7, 1, "Near", 0},
    {8, 0, "KQ_FILE_END", 0},
    {9, 0, "After", 0},           {9, 1, "End", 0},
};

std::string asXlsx()
{
    std::vector<std::vector<fixture::FixtureCell>> rows(10);
    for (const Cell& cell : kCells) {
        auto& row = rows[cell.row];
        row.resize(std::max<size_t>(row.size(), cell.col + 1u));
        row[cell.col] = cell.text ? fixture::FixtureCell(cell.text) : fixture::FixtureCell(cell.number);
    }
    return fixture::makeXlsx(rows);
}

// The same cells as Excel 97-2003 writes them: texts in the shared-string
// table, numbers as NUMBER records.
std::string asXls()
{
    Bytes strings;
    uint32_t count = 0;
    Bytes cells;
    for (const Cell& cell : kCells) {
        if (cell.text) {
            strings = strings + unicodeString(utf8ToUtf16(cell.text), true);
            cells = cells + labelSstCell(cell.row, cell.col, count++);
        } else {
            cells = cells + numberCell(cell.row, cell.col, cell.number);
        }
    }
    Bytes stream = WorkbookStream().global(sst(count, strings)).sheet(cells).build();
    Bytes file = xlsFile(stream).bytes;
    return std::string(file.begin(), file.end());
}

class BinaryWorkbook : public SimTest {};

TEST_F(BinaryWorkbook, LoadsTheSamePairsAsTheXmlWorkbook)
{
    fixture::TempFile xls(asXls(), "PelmoraConfig.xls");
    fixture::TempFile xlsx(asXlsx(), "PelmoraConfig.xlsx");
    TermDictionary fromXls;
    TermDictionary fromXlsx;
    EXPECT_EQ(loadDictionaryInto(fromXls, xls.path(), u"KQ_FILE_START", u"KQ_FILE_END"), 1);
    EXPECT_EQ(loadDictionaryInto(fromXlsx, xlsx.path(), u"KQ_FILE_START", u"KQ_FILE_END"), 1);
    EXPECT_TRUE(ostrelsim::messages().empty());

    EXPECT_EQ(fromXls.size(), 10u);
    EXPECT_EQ(fromXls.size(), fromXlsx.size());
    const std::u16string terms[] = {u"Extrude", u"\u62C9\u4F38", u"Sketch", u"\u8349\u56FE", u"Gear", u"12.5",
                                    u"0", u"tiny", u"kq_file_end", u"Near", u"Lonely", u"After", u"KQ_FILE_END"};
    for (const std::u16string& term : terms)
        EXPECT_EQ(fromXls.lookup(term), fromXlsx.lookup(term)) << utf16ToUtf8(term);
    EXPECT_EQ(fromXls.lookup(u"Gear"), u"12.5");
    EXPECT_EQ(fromXls.lookup(u"0"), u"tiny");
}

} // namespace
