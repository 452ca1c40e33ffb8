// The reading of a dictionary workbook, over workbooks built in the test:
// where the markers count, which rows are entered, how numbers read, and what
// the read says it found.
#include "workbook_loader.h"

#include "native_path.h"
#include "temp_file.h"
#include "utf8.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

namespace {

using fixture::FixtureCell;
using Rows = std::vector<std::vector<FixtureCell>>;

class Loader : public testing::Test {
protected:
    // 1 when the region was read through its end marker, 0 otherwise; the
    // whole answer is in `read`.
    int load(const Rows& rows, const char* fileName = "dictionary.xlsx")
    {
        fixture::TempFile file(fixture::makeXlsx(rows), fileName);
        read = readDictionaryWorkbook(dictionary, file.path(), kStartMarker, kEndMarker);
        return read.loaded() ? 1 : 0;
    }
    std::u16string lookup(const char* utf8) { return dictionary.lookup(xl::utf8ToUtf16(utf8)); }

    TermDictionary dictionary;
    WorkbookRead read;
};

Rows withStartAt(int row, Rows region)
{
    Rows rows(static_cast<size_t>(row));
    rows.push_back({"KQ_FILE_START"});
    rows.insert(rows.end(), region.begin(), region.end());
    return rows;
}

TEST_F(Loader, PairsBetweenTheMarkersAreEnteredBothWays)
{
    EXPECT_EQ(load({{"title"}, {"KQ_FILE_START"}, {"Extrude", "拉伸"}, {"Sketch", "草图"}, {"KQ_FILE_END"},
                    {"After", "Ignored"}}),
              1);
    EXPECT_EQ(lookup("Extrude"), u"\u62C9\u4F38");
    EXPECT_EQ(lookup("拉伸"), u"Extrude");
    EXPECT_EQ(lookup("草图"), u"Sketch");
    EXPECT_EQ(lookup("After"), u"");
    EXPECT_EQ(lookup("title"), u"");
    EXPECT_EQ(dictionary.size(), 4u);
    EXPECT_EQ(read.status, WorkbookStatus::Loaded);
    EXPECT_EQ(read.startRow, 1);
    EXPECT_EQ(read.endRow, 4);
    EXPECT_EQ(read.pairsEntered, 2);
}

TEST_F(Loader, TheStartMarkerIsLookedForInTheFirst101Rows)
{
    const std::pair<int, int> cases[] = {{0, 1}, {1, 1}, {99, 1}, {100, 1}, {101, 0}, {150, 0}};
    for (const auto& [row, result] : cases) {
        dictionary = TermDictionary();
        EXPECT_EQ(load(withStartAt(row, {{"A", "B"}, {"KQ_FILE_END"}})), result) << "start marker in row " << row;
        EXPECT_EQ(lookup("A"), result ? u"B" : u"") << row;
        EXPECT_EQ(read.status, result ? WorkbookStatus::Loaded : WorkbookStatus::NoStartMarker) << row;
        EXPECT_EQ(read.startRow, result ? row : -1) << row;
    }
}

TEST_F(Loader, OnlyTheExactTextIsAStartMarker)
{
    for (const char* nearMiss : {"kq_file_start", "KQ_FILE_START ", " KQ_FILE_START", "KQ_FILE_STAR"}) {
        EXPECT_EQ(load({{nearMiss}, {"A", "B"}, {"KQ_FILE_END"}}), 0) << nearMiss;
        EXPECT_EQ(dictionary.size(), 0u) << nearMiss;
    }
    // Column B cannot carry it, nor can a number.
    EXPECT_EQ(load({{"", "KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_END"}}), 0);
}

TEST_F(Loader, TheFirstOfTwoStartMarkersCountsAndTheOtherIsAPairRow)
{
    EXPECT_EQ(load({{"KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_START", "Begin"}, {"KQ_FILE_END"}}), 1);
    EXPECT_EQ(lookup("A"), u"B");
    EXPECT_EQ(lookup("KQ_FILE_START"), u"Begin");
    EXPECT_EQ(lookup("Begin"), u"KQ_FILE_START");
}

TEST_F(Loader, TheEndMarkerCountsInColumnAOnly)
{
    EXPECT_EQ(load({{"KQ_FILE_START"}, {"KQ_FILE_END"}, {"A", "B"}}), 1);
    EXPECT_EQ(dictionary.size(), 0u);

    EXPECT_EQ(load({{"KQ_FILE_START"}, {"X", "KQ_FILE_END"}, {"KQ_FILE_END", "Filled"}, {"A", "B"}}), 1);
    EXPECT_EQ(lookup("X"), u"KQ_FILE_END");
    EXPECT_EQ(lookup("Filled"), u"");
    EXPECT_EQ(lookup("A"), u"");
}

TEST_F(Loader, RowsWithAnEmptyCellAreSkippedAndDoNotEndTheRegion)
{
    EXPECT_EQ(load({{"KQ_FILE_START"}, {"A", ""}, {"", "B"}, {}, {"C", "D"}, {"KQ_FILE_END"}}), 1);
    EXPECT_EQ(dictionary.size(), 2u);
    EXPECT_EQ(lookup("C"), u"D");
}

TEST_F(Loader, ChainsAndSelfPairsAreEnteredAsWritten)
{
    EXPECT_EQ(load({{"KQ_FILE_START"}, {"X", "Y"}, {"Y", "Z"}, {"Same", "Same"}, {"KQ_FILE_END"}}), 1);
    EXPECT_EQ(lookup("X"), u"Y");
    EXPECT_EQ(lookup("Y"), u"Z");
    EXPECT_EQ(lookup("Z"), u"Y");
    EXPECT_EQ(lookup("Same"), u"Same");
}

TEST_F(Loader, LaterRowsWinAndEarlierEntriesStay)
{
    dictionary.set(u"Kept", u"Before");
    EXPECT_EQ(load({{"KQ_FILE_START"}, {"A", "B"}, {"A", "C"}, {"KQ_FILE_END"}}), 1);
    EXPECT_EQ(lookup("A"), u"C");
    EXPECT_EQ(lookup("B"), u"A");
    EXPECT_EQ(lookup("Kept"), u"Before");
}

TEST_F(Loader, NumberCellsReadAsTheirTidiedRendering)
{
    EXPECT_EQ(load({{"KQ_FILE_START"},
                    {12, "twelve"},
                    {"quarter", 0.25},
                    {12.5, 100},
                    {0.0000001, "tiny"},
                    {-0.0000001, "negative tiny"},
                    {3.14159265, "pi"},
                    {"KQ_FILE_END"}}),
              1);
    EXPECT_EQ(lookup("12"), u"twelve");
    EXPECT_EQ(lookup("quarter"), u"0.25");
    EXPECT_EQ(lookup("12.5"), u"100");
    EXPECT_EQ(lookup("0"), u"tiny");
    EXPECT_EQ(lookup("-0"), u"negative tiny");
    EXPECT_EQ(lookup("3.141593"), u"pi");
}

TEST_F(Loader, BooleansAndErrorsReadAsEmptyCells)
{
    EXPECT_EQ(load({{"KQ_FILE_START"}, {"A", FixtureCell::boolean(true)}, {FixtureCell::error(), "B"}, {"KQ_FILE_END"}}),
              1);
    EXPECT_EQ(dictionary.size(), 0u);
}

TEST_F(Loader, WithoutAnEndMarkerTheLoadStopsAtTheLastRowAndKeepsThePairs)
{
    EXPECT_EQ(load({{"KQ_FILE_START"}, {"A", "B"}, {"C", "D"}}), 0);
    EXPECT_EQ(lookup("C"), u"D");
    EXPECT_EQ(read.status, WorkbookStatus::NoEndMarker);
    EXPECT_EQ(read.pairsEntered, 2);
    EXPECT_EQ(read.endRow, -1);
}

TEST_F(Loader, AWorkbookThatCannotBeOpenedSaysWhy)
{
    fixture::TempFile notAWorkbook("this is not a zip", "PelmoraConfig.xlsx");
    const std::u16string paths[] = {u"/no/such/folder/PelmoraConfig.xlsx", notAWorkbook.path()};
    for (const std::u16string& path : paths) {
        read = readDictionaryWorkbook(dictionary, path, kStartMarker, kEndMarker);
        EXPECT_EQ(read.status, WorkbookStatus::NotOpened);
        EXPECT_FALSE(read.openError.empty());
        EXPECT_EQ(read.startRow, -1);
    }
    EXPECT_EQ(dictionary.size(), 0u);
}

TEST_F(Loader, TheExtensionChoosesTheKindOfBook)
{
    // A valid XML workbook under each name: only the binary book refuses it.
    const std::pair<const char*, int> cases[] = {
        {"dictionary.xlsx", 1}, {"dictionary", 1}, {"dictionary.xlsm", 1}, {"dictionary.xls.xlsx", 1},
        {"dictionary.xls", 0},  {"dictionary.XLS", 0}, {"dictionary.xLs", 0},
    };
    for (const auto& [name, result] : cases) {
        EXPECT_EQ(load({{"KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_END"}}, name), result) << name;
        EXPECT_EQ(read.status, result ? WorkbookStatus::Loaded : WorkbookStatus::NotOpened) << name;
    }
}

TEST(TrimNumberText, TidiesFixedRenderings)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"12.000000", u"12"},   {u"12.500000", u"12.5"}, {u"0.250000", u"0.25"}, {u"100.000000", u"100"},
        {u"0.000000", u"0"},     {u"-0.000000", u"-0"},   {u"-2.500000", u"-2.5"}, {u"3.141593", u"3.141593"},
        {u"100", u"100"},        {u"1000", u"1000"},      {u"inf", u"inf"},
    };
    for (const auto& [rendering, expected] : cases)
        EXPECT_EQ(trimNumberText(rendering), expected);
}

TEST(BookKind, TheExtensionIsTakenFromTheLastComponentOnlyAndXlsInAnyCaseIsTheBinaryBook)
{
    const struct {
        std::u16string path;
        std::u16string extension;
        bool binary;
    } cases[] = {
        {u"PelmoraConfig.xlsx", u".xlsx", false},
        {u"dir\\PelmoraConfig.XLS", u".XLS", true},
        {u"dir\\book.tar.xls", u".xls", true},
        {u"dir\\book.Xls", u".Xls", true},
        {u"dir.xls\\book", u"", false},
        {u"dir\\book.", u".", false},
        {u"book", u"", false},
        {u"", u"", false},
        {u"\u914D\u7F6E\\\u8BCD\u5178.xls", u".xls", true},
    };
    for (const auto& c : cases) {
        const std::u16string path = fixture::nativePath(c.path);
        EXPECT_EQ(findExtension(path), c.extension);
        EXPECT_EQ(isBinaryBookName(path), c.binary);
    }
}

} // namespace
