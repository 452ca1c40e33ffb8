// The dictionary fixture in both workbook formats.
#include "dictionary_workbooks.h"

#include "utf8.h"
#include "xls_fixture.h"
#include "zip_builder.h"

#include <algorithm>
#include <vector>

using namespace xls_fixture;

namespace {

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

}  // namespace

std::string dictionaryAsXlsx()
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
std::string dictionaryAsXls()
{
    Bytes strings;
    uint32_t count = 0;
    Bytes cells;
    for (const Cell& cell : kCells) {
        if (cell.text) {
            strings = strings + unicodeString(xl::utf8ToUtf16(cell.text), true);
            cells = cells + labelSstCell(cell.row, cell.col, count++);
        } else {
            cells = cells + numberCell(cell.row, cell.col, cell.number);
        }
    }
    Bytes stream = WorkbookStream().global(sst(count, strings)).sheet(cells).build();
    Bytes file = xlsFile(stream).bytes;
    return std::string(file.begin(), file.end());
}
