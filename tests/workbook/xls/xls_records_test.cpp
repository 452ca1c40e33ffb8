// The binary book on small workbooks built in the test: how numbers in RK
// form decode, how strings continue across CONTINUE records, what the cached
// results of formulas become, which sheet comes first, and the container
// layouts a writer may choose.
#include "xls/biff_records.h"
#include "utf8.h"
#include "xls_fixture.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

using namespace xls_fixture;

// A workbook whose first sheet holds `cells`, with `globals` (e.g. an SST)
// in its globals.
Bytes workbookWith(const Bytes& cells, const Bytes& globals = {})
{
    return xlsFile(WorkbookStream().global(globals).sheet(cells).build()).bytes;
}

xl::Sheet& firstSheet(const xl::BookHandle& book)
{
    xl::Sheet* sheet = book->getSheet(0);
    if (!sheet)
        throw std::runtime_error(std::string("no first sheet: ") + book->errorMessage());
    return *sheet;
}

std::string textAt(xl::Sheet& sheet, int row, int col)
{
    const char16_t* text = sheet.readStr(row, col);
    return text ? xl::utf16ToUtf8(text) : "(not text)";
}

struct RkCase {
    uint32_t rk;
    double value;
};

TEST(XlsRk, DecodesEveryForm)
{
    const RkCase cases[] = {
        {0x00000002, 0.0},                 // integer 0
        {0x00000006, 1.0},                 // integer 1
        {0xFFFFFFFE, -1.0},                // the integer is signed
        {0x7FFFFFFE, 536870911.0},         // largest 30-bit integer
        {0x80000002, -536870912.0},        // smallest
        {0x00000007, 0.01},                // integer 1, in hundredths
        {(12345u << 2) | 3, 123.45},       // integer 12345, in hundredths
        {0x3FF00000, 1.0},                 // top of the double 1.0
        {0xC0000000, -2.0},                // top of the double -2.0
        {0x3FF00001, 0.01},                // the double 1.0, in hundredths
        // Only the top 30 bits of the double are kept: 3.14 loses its tail.
        {0x40091EB8, std::bit_cast<double>(uint64_t{0x40091EB800000000})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xl::xls::decodeRk(c.rk), c.value) << std::hex << "rk 0x" << c.rk;
}

// RK and MULRK cells land at their own columns with their own values.
TEST(XlsRk, CellsOfRkAndMulRkRecords)
{
    const auto book =
        loadXls(workbookWith(rkCell(0, 0, 0x00000006) + mulRk(1, 1, {0x0000000A, 0x3FF00001, 0xFFFFFFFE})));
    xl::Sheet& sheet = firstSheet(book);
    EXPECT_EQ(sheet.readNum(0, 0), 1.0);
    EXPECT_EQ(sheet.cellType(1, 0), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.readNum(1, 1), 2.0);
    EXPECT_EQ(sheet.readNum(1, 2), 0.01);
    EXPECT_EQ(sheet.readNum(1, 3), -1.0);
    EXPECT_EQ(sheet.cellType(1, 4), xl::CELLTYPE_EMPTY);
}

struct SplitCase {
    const char* name;
    Bytes first;                  // the SST record's strings
    std::vector<Bytes> continued; // one CONTINUE record each
    std::vector<std::u16string> strings;
};

// Strings of the shared-string table broken across CONTINUE records in each
// place a writer may break them.
TEST(XlsSharedStrings, ReadAcrossContinueRecords)
{
    const uint8_t kWide = 0x01;
    const uint8_t kNarrow = 0x00;
    const SplitCase cases[] = {
        {"8-bit characters go on in 8 bits",
         stringHeader(5, kNarrow) + chars8("Hel"), {Bytes{kNarrow} + chars8("lo")}, {u"Hello"}},
        {"8-bit characters go on in 16 bits",
         stringHeader(5, kNarrow) + chars8("abc"), {Bytes{kWide} + chars16(u"\u0434\u00e9")}, {u"abc\u0434\u00e9"}},
        {"16-bit characters go on in 8 bits",
         stringHeader(4, kWide) + chars16(u"\u4e2d\u6587"), {Bytes{kNarrow} + chars8("ok")}, {u"\u4e2d\u6587ok"}},
        {"the characters start in the continuation",
         stringHeader(3, kNarrow), {Bytes{kWide} + chars16(u"xyz")}, {u"xyz"}},
        {"a string spans three records",
         stringHeader(6, kWide) + chars16(u"ab"), {Bytes{kNarrow} + chars8("cd"), Bytes{kWide} + chars16(u"ef")},
         {u"abcdef"}},
        {"the break falls between strings (no flag byte)",
         unicodeString(u"one", false), {unicodeString(u"two", true)}, {u"one", u"two"}},
        {"formatting runs go on in the continuation",
         stringHeader(2, 0x08) + Bytes{2, 0} + chars8("ri") + Bytes{0, 0, 1},
         {Bytes{0, 1, 0, 2, 0} + unicodeString(u"next", false)}, {u"ri", u"next"}},
        {"a phonetic block goes on in the continuation",
         stringHeader(2, 0x04 | kWide) + Bytes{10, 0, 0, 0} + chars16(u"\u6f22\u5b57") + Bytes{1, 2, 3, 4},
         {Bytes{5, 6, 7, 8, 9, 10} + unicodeString(u"after", false)}, {u"\u6f22\u5b57", u"after"}},
        {"runs and phonetic block with characters split",
         stringHeader(4, 0x0C) + Bytes{1, 0} + Bytes{3, 0, 0, 0} + chars8("ab"),
         {Bytes{kNarrow} + chars8("cd") + Bytes{0, 0, 0, 0} + Bytes{7, 7, 7}, unicodeString(u"z", false)},
         {u"abcd", u"z"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes cells;
        for (size_t i = 0; i < c.strings.size(); ++i)
            cells = cells + labelSstCell(static_cast<uint16_t>(i), 0, static_cast<uint32_t>(i));
        const auto book =
            loadXls(workbookWith(cells, sst(static_cast<uint32_t>(c.strings.size()), c.first, c.continued)));
        ASSERT_STREQ(book->errorMessage(), "");
        xl::Sheet& sheet = firstSheet(book);
        for (size_t i = 0; i < c.strings.size(); ++i)
            EXPECT_EQ(textAt(sheet, static_cast<int>(i), 0), xl::utf16ToUtf8(c.strings[i])) << "string " << i;
    }
}

// A formula's text result too long for one STRING record goes on in a
// CONTINUE record with its own flag byte.
TEST(XlsSharedStrings, FormulaTextAcrossAContinueRecord)
{
    const Bytes stringParts =
        record(0x0207, stringHeader(4, 0x00) + chars8("fo")) + record(0x003C, Bytes{0x01} + chars16(u"\u00f6!"));
    const auto book = loadXls(workbookWith(formulaSpecial(0, 1, 0) + stringParts));
    EXPECT_EQ(textAt(firstSheet(book), 0, 1), "fo\xC3\xB6!");
}

struct ResultCase {
    const char* name;
    Bytes records;
    xl::CellType type;
    double number;
    const char* text;
};

TEST(XlsCells, FormulaResultsAndOtherCellRecords)
{
    const Bytes sharedFormula = record(0x04BC, Bytes(10, 0));
    const ResultCase cases[] = {
        {"formula number", formulaNumber(0, 0, 2.5), xl::CELLTYPE_NUMBER, 2.5, nullptr},
        {"formula text", formulaSpecial(0, 0, 0) + stringRecord(u"text", false), xl::CELLTYPE_STRING, 0, "text"},
        {"formula text after a shared formula",
         formulaSpecial(0, 0, 0) + sharedFormula + stringRecord(u"\u041c\u0438\u0440", true), xl::CELLTYPE_STRING, 0,
         "\xD0\x9C\xD0\xB8\xD1\x80"},
        {"formula text whose STRING record is missing", formulaSpecial(0, 0, 0) + numberCell(5, 5, 1),
         xl::CELLTYPE_EMPTY, 0, nullptr},
        {"a STRING record that no formula asked for", stringRecord(u"stray", false), xl::CELLTYPE_EMPTY, 0, nullptr},
        {"formula TRUE", formulaSpecial(0, 0, 1, 1), xl::CELLTYPE_BOOLEAN, 0, nullptr},
        {"formula FALSE", formulaSpecial(0, 0, 1, 0), xl::CELLTYPE_BOOLEAN, 0, nullptr},
        {"formula error", formulaSpecial(0, 0, 2, 0x07), xl::CELLTYPE_ERROR, 0, nullptr},
        {"formula empty text", formulaSpecial(0, 0, 3), xl::CELLTYPE_STRING, 0, ""},
        {"formula of an unknown result kind", formulaSpecial(0, 0, 9), xl::CELLTYPE_EMPTY, 0, nullptr},
        {"boolean", boolErrCell(0, 0, 1, false), xl::CELLTYPE_BOOLEAN, 0, nullptr},
        {"error #N/A, not a boolean", boolErrCell(0, 0, 0x2A, true), xl::CELLTYPE_ERROR, 0, nullptr},
        {"number", numberCell(0, 0, -1e300), xl::CELLTYPE_NUMBER, -1e300, nullptr},
        {"8-bit label", labelCell(0, 0, u"caf\u00e9", false), xl::CELLTYPE_STRING, 0, "caf\xC3\xA9"},
        {"16-bit label", labelCell(0, 0, u"\u8868", true), xl::CELLTYPE_STRING, 0, "\xE8\xA1\xA8"},
        {"blank", blankCell(0, 0), xl::CELLTYPE_BLANK, 0, nullptr},
        {"multiple blanks", mulBlank(0, 0, 3), xl::CELLTYPE_BLANK, 0, nullptr},
        {"a later cell replaces an earlier one", numberCell(0, 0, 1) + labelCell(0, 0, u"now", false),
         xl::CELLTYPE_STRING, 0, "now"},
        {"a chart's data inside the sheet is no cell", bof(0x0020) + numberCell(0, 0, 99) + eof(),
         xl::CELLTYPE_EMPTY, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto book = loadXls(workbookWith(c.records));
        ASSERT_STREQ(book->errorMessage(), "");
        xl::Sheet& sheet = firstSheet(book);
        EXPECT_EQ(sheet.cellType(0, 0), c.type);
        EXPECT_EQ(sheet.readNum(0, 0), c.number);
        if (c.text)
            EXPECT_EQ(textAt(sheet, 0, 0), c.text);
        else
            EXPECT_EQ(sheet.readStr(0, 0), nullptr);
    }
}

// 8-bit characters are the low halves of UTF-16 code units: a CODEPAGE
// record (here 1251, Cyrillic) does not change what they mean.
TEST(XlsCells, EightBitTextIsLatin1WhateverTheCodePage)
{
    const Bytes codePage1251 = record(0x0042, Bytes{0xE3, 0x04});
    const auto book = loadXls(workbookWith(labelCell(0, 0, u"caf\u00e9", false) + labelSstCell(1, 0, 0),
                                           codePage1251 + sst(1, unicodeString(u"\u00e0 la", false))));
    EXPECT_EQ(textAt(firstSheet(book), 0, 0), "caf\xC3\xA9");
    EXPECT_EQ(textAt(firstSheet(book), 1, 0), "\xC3\xA0 la");
}

TEST(XlsCells, TheLastRowAndColumnOfASheetAndNothingBeyond)
{
    const auto book = loadXls(workbookWith(numberCell(65535, 255, 1) + numberCell(3, 256, 2) + mulBlank(4, 254, 4) +
                                           mulRk(5, 255, {0x00000006, 0x00000006})));
    xl::Sheet& sheet = firstSheet(book);
    EXPECT_EQ(sheet.readNum(65535, 255), 1.0);
    EXPECT_EQ(sheet.cellType(3, 256), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.cellType(4, 255), xl::CELLTYPE_BLANK);
    EXPECT_EQ(sheet.cellType(4, 256), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.readNum(5, 255), 1.0);
    EXPECT_EQ(sheet.cellType(5, 256), xl::CELLTYPE_EMPTY);
    EXPECT_EQ(sheet.lastRow(), 65536);
}

// Sheets in workbook order are the worksheets; a chart sheet before them
// is not the first sheet.
TEST(XlsSheets, WorksheetsInWorkbookOrder)
{
    const Bytes stream = WorkbookStream()
                             .sheet(Bytes(), 2)
                             .sheet(numberCell(0, 0, 1))
                             .sheet(numberCell(0, 0, 2))
                             .build();
    const auto book = loadXls(xlsFile(stream).bytes);
    ASSERT_STREQ(book->errorMessage(), "");
    ASSERT_NE(book->getSheet(1), nullptr);
    EXPECT_EQ(firstSheet(book).readNum(0, 0), 1.0);
    EXPECT_EQ(book->getSheet(1)->readNum(0, 0), 2.0);
    EXPECT_EQ(book->getSheet(2), nullptr);
    EXPECT_EQ(book->getSheet(-1), nullptr);
}

TEST(XlsSheets, ALaterUnsoundWorksheetIsMissingWhileTheFirstLoads)
{
    const Bytes stream = WorkbookStream().sheet(numberCell(0, 0, 1)).sheet(labelSstCell(0, 0, 3)).build();
    const auto book = loadXls(xlsFile(stream).bytes);
    ASSERT_STREQ(book->errorMessage(), "");
    EXPECT_EQ(firstSheet(book).readNum(0, 0), 1.0);
    EXPECT_EQ(book->getSheet(1), nullptr);
}

TEST(XlsSheets, AWorkbookWithoutWorksheetsLoadsEmpty)
{
    const auto book = loadXls(xlsFile(WorkbookStream().sheet(Bytes(), 2).build()).bytes);
    EXPECT_STREQ(book->errorMessage(), "");
    EXPECT_EQ(book->getSheet(0), nullptr);
}

// Enough cells that the stream fills whole sectors rather than the mini
// stream.
Bytes largeSheet()
{
    Bytes cells;
    for (uint16_t row = 0; row < 400; ++row)
        cells = cells + numberCell(row, 0, row);
    return cells;
}

struct ContainerCase {
    const char* name;
    CompoundImage (*build)();
};

TEST(XlsContainer, LayoutsThatWritersChoose)
{
    const ContainerCase cases[] = {
        {"512-byte sectors, stream in the mini stream",
         [] { return xlsFile(WorkbookStream().sheet(numberCell(399, 0, 399) + numberCell(0, 0, 0)).build()); }},
        {"512-byte sectors, stream in whole sectors",
         [] { return xlsFile(WorkbookStream().sheet(largeSheet()).build()); }},
        {"4096-byte sectors, stream in whole sectors",
         [] { return xlsFile(WorkbookStream().sheet(largeSheet()).build(), 12); }},
        {"4096-byte sectors, stream in the mini stream",
         [] { return xlsFile(WorkbookStream().sheet(numberCell(399, 0, 399) + numberCell(0, 0, 0)).build(), 12); }},
        {"allocation table listed through extension sectors",
         [] {
             CompoundBuilder builder;
             builder.addStream("Workbook", WorkbookStream().sheet(largeSheet()).build());
             builder.padAllocationTable(300);
             return builder.build();
         }},
        {"other streams beside it, the name in another case",
         [] {
             CompoundBuilder builder;
             builder.addStream("\x05SummaryInformation", Bytes(200, 7));
             builder.addStream("WORKBOOK", WorkbookStream().sheet(largeSheet()).build());
             builder.addStream("CompObj", Bytes(5000, 1));
             return builder.build();
         }},
        {"the older stream name, holding BIFF8",
         [] {
             CompoundBuilder builder;
             builder.addStream("Book", WorkbookStream().sheet(largeSheet()).build());
             return builder.build();
         }},
        {"an embedded workbook in a storage is not the workbook",
         [] {
             CompoundBuilder builder;
             const uint32_t embedded = builder.addStorage("MBD0001A2B3");
             builder.addStream("Workbook", WorkbookStream().sheet(numberCell(0, 0, 42)).build(), embedded);
             builder.addStream("Workbook", WorkbookStream().sheet(largeSheet()).build());
             return builder.build();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto book = loadXls(c.build().bytes);
        ASSERT_STREQ(book->errorMessage(), "");
        xl::Sheet& sheet = firstSheet(book);
        EXPECT_EQ(sheet.readNum(0, 0), 0.0);
        EXPECT_EQ(sheet.cellType(0, 0), xl::CELLTYPE_NUMBER);
        EXPECT_EQ(sheet.readNum(399, 0), 399.0);
        EXPECT_EQ(sheet.lastRow(), 400);
    }
}

} // namespace
