// The workbook writer, read back by this layer's own reader and, where the
// machine has it, by openpyxl: texts that need escaping, characters beyond
// the BMP, the longest cell, a large sheet, several sheets, and the parts
// and views a spreadsheet program expects; the zip writer's archives read
// back by the zip reader.
#include "temp_file.h"
#include "utf8.h"
#include "xlbook.h"
#include "xlsx/zip_archive.h"
#include "xlsx/zip_writer.h"
#include "xlsx/xlsx_writer.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <variant>

namespace {

using xl::CellValue;
using xl::XlsxWriter;

// A cell as read back: text, number, or nothing.
using ReadCell = std::variant<std::monostate, std::string, double>;

ReadCell readCell(xl::Sheet& sheet, int row, int col)
{
    switch (sheet.cellType(row, col)) {
    case xl::CELLTYPE_NUMBER:
        return sheet.readNum(row, col);
    case xl::CELLTYPE_STRING:
        return xl::utf16ToUtf8(sheet.readStr(row, col));
    default:
        return std::monostate{};
    }
}

xl::BookHandle loadBook(const std::string& bytes)
{
    xl::BookHandle book(xl::xlCreateXMLBookW());
    EXPECT_TRUE(book->loadRaw(bytes.data(), static_cast<unsigned>(bytes.size()))) << book->errorMessage();
    return book;
}

std::string part(const std::string& archiveBytes, const std::string& name)
{
    xl::ZipArchive archive;
    std::string error, out;
    EXPECT_TRUE(archive.open(archiveBytes, error)) << error;
    const auto* entry = archive.find(name);
    if (entry == nullptr) {
        ADD_FAILURE() << "no part " << name;
        return {};
    }
    EXPECT_TRUE(archive.read(*entry, out, error)) << error;
    return out;
}

// Texts that a writer can get wrong, each with what must read back.
struct TextCase {
    const char* label;
    std::string written;
    std::string read;
};

const std::vector<TextCase>& textCases()
{
    static const std::vector<TextCase> cases = {
        {"markup", "<a href=\"x\">&amp; 'y'</a>", "<a href=\"x\">&amp; 'y'</a>"},
        {"looks like an escape", "Extrude_x0041_1", "Extrude_x0041_1"},
        {"escape at the end", "_x005F_", "_x005F_"},
        {"control characters", std::string("a\x01" "b\x1f" "c", 5), std::string("a\x01" "b\x1f" "c", 5)},
        {"carriage return and line feed", "one\r\ntwo", "one\r\ntwo"},
        {"tab inside", "a\tb", "a\tb"},
        {"blanks around", "  padded\t", "  padded\t"},
        {"line feed at the end", "end\n", "end\n"},
        {"Chinese", "拉伸12_草图", "拉伸12_草图"},
        {"beyond the BMP", "😀𠀀Sketch𝔸", "😀𠀀Sketch𝔸"},
        {"noncharacters", "a\xEF\xBF\xBE" "b\xEF\xBF\xBF", "a\xEF\xBF\xBE" "b\xEF\xBF\xBF"},
        {"ill-formed UTF-8", "bad\xC3(\xFF", "bad\xEF\xBF\xBD(\xEF\xBF\xBD"},
        {"only a blank", " ", " "},
    };
    return cases;
}

std::string textCaseWorkbook()
{
    XlsxWriter writer;
    writer.addSheet("Texts", {{.width = 20}, {.width = 40}});
    writer.addRow({"case", "text"});
    for (const TextCase& c : textCases())
        writer.addRow({c.label, c.written});
    return writer.finish();
}

TEST(XlsxWriter, TextsReadBackAsTheyWereWritten)
{
    const xl::BookHandle book = loadBook(textCaseWorkbook());
    xl::Sheet* sheet = book->getSheet(0);
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->lastRow(), static_cast<int>(textCases().size()) + 1);
    for (size_t i = 0; i < textCases().size(); ++i)
        EXPECT_EQ(readCell(*sheet, static_cast<int>(i) + 1, 1), ReadCell(textCases()[i].read)) << textCases()[i].label;
}

TEST(XlsxWriter, NumbersAndEmptyCellsReadBack)
{
    XlsxWriter writer;
    writer.addSheet("Numbers", {}, {.headerRow = false});
    writer.addRow({12, CellValue(), 0.25, -3.5e300, size_t{4000000000}});
    const std::string bytes = writer.finish();
    const xl::BookHandle book = loadBook(bytes);
    xl::Sheet* sheet = book->getSheet(0);
    EXPECT_EQ(readCell(*sheet, 0, 0), ReadCell(12.0));
    EXPECT_EQ(readCell(*sheet, 0, 1), ReadCell());
    EXPECT_EQ(readCell(*sheet, 0, 2), ReadCell(0.25));
    EXPECT_EQ(readCell(*sheet, 0, 3), ReadCell(-3.5e300));
    EXPECT_EQ(readCell(*sheet, 0, 4), ReadCell(4e9));
    // No header: no frozen pane, no filter.
    const std::string sheetXml = part(bytes, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(sheetXml.find("<pane"), std::string::npos);
    EXPECT_EQ(sheetXml.find("<autoFilter"), std::string::npos);
}

TEST(XlsxWriter, TheLongestCellIsWrittenAndALongerOneRefusedWithoutHarm)
{
    // 32,767 UTF-16 code units, with characters beyond the BMP counting two.
    std::string longest;
    for (int i = 0; i < 32767 / 2; ++i)
        longest += "😀";
    longest += "x";
    const std::string tooLong = longest + "y";

    XlsxWriter writer;
    writer.addSheet("Long", {}, {.headerRow = false});
    writer.addRow({"before"});
    try {
        writer.addRow({"kept out", tooLong});
        ADD_FAILURE() << "a cell of 32,768 code units was written";
    } catch (const std::length_error& error) {
        EXPECT_NE(std::string(error.what()).find("cell B2 of sheet \"Long\""), std::string::npos) << error.what();
    }
    EXPECT_THROW(writer.addRow({std::numeric_limits<double>::infinity()}), std::invalid_argument);
    writer.addRow({longest});
    EXPECT_EQ(writer.rowsInSheet(), 2u);
    const xl::BookHandle book = loadBook(writer.finish());
    xl::Sheet* sheet = book->getSheet(0);
    ASSERT_EQ(sheet->lastRow(), 2);
    EXPECT_EQ(readCell(*sheet, 0, 0), ReadCell(std::string("before")));
    EXPECT_EQ(readCell(*sheet, 1, 0), ReadCell(longest));
}

std::string largeWorkbook(size_t rows)
{
    XlsxWriter writer;
    writer.addSheet("Large", {{.width = 12}, {.width = 12}, {.width = 8}});
    writer.addRow({"English", "中文", "n"});
    for (size_t i = 1; i < rows; ++i) {
        const std::string number = std::to_string(i);
        writer.addRow({"Term" + number, "术语" + number, i});
    }
    return writer.finish();
}

TEST(XlsxWriter, AHundredThousandRowsReadBack)
{
    constexpr size_t kRows = 100000;
    const xl::BookHandle book = loadBook(largeWorkbook(kRows));
    xl::Sheet* sheet = book->getSheet(0);
    ASSERT_EQ(sheet->lastRow(), static_cast<int>(kRows));
    for (const size_t row : {size_t{1}, size_t{4097}, kRows / 2, kRows - 1}) {
        const std::string number = std::to_string(row);
        const int r = static_cast<int>(row);
        EXPECT_EQ(readCell(*sheet, r, 0), ReadCell("Term" + number));
        EXPECT_EQ(readCell(*sheet, r, 1), ReadCell("术语" + number));
        EXPECT_EQ(readCell(*sheet, r, 2), ReadCell(static_cast<double>(row)));
    }
}

TEST(XlsxWriter, ThePackageHasWhatASpreadsheetProgramExpects)
{
    XlsxWriter writer;
    writer.addSheet("Missing terms", {{.width = 24}, {}, {.width = 9.5}});
    writer.addRow({"English", "Chinese", "Names"});
    writer.addRow({"Boss", CellValue(), 3});
    writer.addSheet("O'Brien & co", {{.width = 10}});
    writer.addRow({"a"});
    writer.addRow({"b"});
    writer.addSheet("Summary", {}, {.headerRow = false, .position = 0});
    writer.addRow({"first in the workbook"});
    EXPECT_EQ(writer.sheetCount(), 3u);
    const std::string bytes = writer.finish();

    const std::string types = part(bytes, "[Content_Types].xml");
    for (const char* override : {"/xl/workbook.xml", "/xl/styles.xml", "/xl/worksheets/sheet1.xml",
                                 "/xl/worksheets/sheet2.xml", "/xl/worksheets/sheet3.xml"})
        EXPECT_NE(types.find(std::string("PartName=\"") + override + "\""), std::string::npos) << override;
    EXPECT_NE(part(bytes, "_rels/.rels").find("Target=\"xl/workbook.xml\""), std::string::npos);
    EXPECT_NE(part(bytes, "xl/_rels/workbook.xml.rels").find("Target=\"styles.xml\""), std::string::npos);
    EXPECT_NE(part(bytes, "xl/styles.xml").find("<b/>"), std::string::npos);
    const std::string workbook = part(bytes, "xl/workbook.xml");
    EXPECT_NE(workbook.find("name=\"O'Brien &amp; co\""), std::string::npos) << workbook;
    EXPECT_NE(workbook.find("'Missing terms'!$A$1:$C$2"), std::string::npos) << workbook;
    EXPECT_NE(workbook.find("'O''Brien &amp; co'!$A$1:$A$2"), std::string::npos) << workbook;

    EXPECT_LT(workbook.find("name=\"Summary\""), workbook.find("name=\"Missing terms\""));
    const std::string first = part(bytes, "xl/worksheets/sheet2.xml");
    EXPECT_NE(first.find("state=\"frozen\""), std::string::npos);
    EXPECT_NE(first.find("<autoFilter ref=\"A1:C2\"/>"), std::string::npos);
    EXPECT_NE(first.find("<col min=\"1\" max=\"1\" width=\"24\" customWidth=\"1\"/>"
                         "<col min=\"3\" max=\"3\" width=\"9.5\" customWidth=\"1\"/>"),
              std::string::npos);
    EXPECT_NE(first.find("<c r=\"A1\" s=\"1\" t=\"inlineStr\">"), std::string::npos);

    const xl::BookHandle book = loadBook(bytes);
    ASSERT_NE(book->getSheet(2), nullptr);
    EXPECT_EQ(readCell(*book->getSheet(0), 0, 0), ReadCell(std::string("first in the workbook")));
    EXPECT_EQ(readCell(*book->getSheet(2), 1, 0), ReadCell(std::string("b")));
}

TEST(XlsxWriter, SheetNamesThatSpreadsheetProgramsRefuseAreRefused)
{
    const std::vector<std::string> refused = {"",  "a/b", "a\\b", "a?", "a*", "[a]", "a:b", "'quoted'",
                                              std::string(32, 'x'), "SHEET", "bad\xFF"};
    for (const std::string& name : refused) {
        XlsxWriter writer;
        writer.addSheet("Sheet");
        EXPECT_THROW(writer.addSheet(name), std::invalid_argument) << name;
    }
    XlsxWriter writer;
    writer.addSheet(std::string(31, 'x'));
    writer.addSheet("名称表");
    EXPECT_EQ(writer.sheetCount(), 2u);
    EXPECT_THROW(writer.addRow(std::vector<CellValue>(XlsxWriter::kMaxColumns + 1, CellValue("x"))), std::length_error);
}

TEST(XlsxWriter, AWorkbookWithoutSheetsStillHoldsOne)
{
    XlsxWriter writer;
    const xl::BookHandle book = loadBook(writer.finish());
    ASSERT_NE(book->getSheet(0), nullptr);
    EXPECT_EQ(book->getSheet(0)->lastRow(), 0);
}

TEST(ZipWriter, EntriesReadBackStoredDeflatedUnicodeNamedAndInZip64Form)
{
    xl::ZipWriter writer;
    writer.addDeflated("deflated.xml", std::string(100000, 'a'));
    writer.addStored({.name = "stored.bin", .data = "plain", .crc = 0x192062CF, .size = 5});
    writer.addStored({.name = "zip64.bin", .data = "plain", .crc = 0x192062CF, .size = 5, .zip64 = true});
    writer.addDeflated("名前.xml", "名前");
    const std::string bytes = writer.finish({.zip64EndRecord = true, .comment = "note"});

    xl::ZipArchive archive;
    std::string error;
    ASSERT_TRUE(archive.open(bytes, error)) << error;
    ASSERT_EQ(archive.entries().size(), 4u);
    EXPECT_LT(archive.entries()[0].compressedSize, 1000u);
    for (const auto& [name, expected] : std::vector<std::pair<std::string, std::string>>{
             {"deflated.xml", std::string(100000, 'a')}, {"stored.bin", "plain"}, {"zip64.bin", "plain"},
             {"名前.xml", "名前"}}) {
        std::string out;
        ASSERT_NE(archive.find(name), nullptr) << name;
        EXPECT_TRUE(archive.read(*archive.find(name), out, error)) << name << ": " << error;
        EXPECT_EQ(out, expected) << name;
    }
}

#ifndef _WIN32
// openpyxl, where the machine has it: the cells, the frozen header, the
// filter and the widths as a spreadsheet program's reader sees them.
std::string openpyxlPython()
{
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        const std::string probe = std::string(python) + " -c 'import openpyxl' 2>/dev/null";
        if (std::system(probe.c_str()) == 0)
            return python;
    }
    return {};
}

nlohmann::json readWithOpenpyxl(const std::string& bytes)
{
    const std::string python = openpyxlPython();
    if (python.empty())
        return nullptr;
    const fixture::TempFile file(bytes, "written.xlsx");
    const std::string command = python + " " PELMORA_SOURCE_DIR "/tests/workbook/xlsx/openpyxl_dump.py '" +
                                std::filesystem::path(file.path()).string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return nullptr;
    std::string out;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << "openpyxl could not read the workbook";
    return nlohmann::json::parse(out);
}
#endif

TEST(XlsxWriter, OpenpyxlReadsWhatWasWritten)
{
#ifdef _WIN32
    GTEST_SKIP() << "openpyxl runs on the build machine only";
#else
    if (openpyxlPython().empty())
        GTEST_SKIP() << "python3 with openpyxl is not installed";
    const nlohmann::json sheets = readWithOpenpyxl(textCaseWorkbook());
    ASSERT_EQ(sheets.size(), 1u);
    const nlohmann::json& sheet = sheets[0];
    EXPECT_EQ(sheet["name"], "Texts");
    EXPECT_EQ(sheet["freeze"], "A2");
    EXPECT_EQ(sheet["filter"], "A1:B" + std::to_string(textCases().size() + 1));
    EXPECT_EQ(sheet["widths"]["A"], 20);
    EXPECT_EQ(sheet["widths"]["B"], 40);
    EXPECT_TRUE(sheet["boldHeader"].get<bool>());
    ASSERT_EQ(sheet["rows"].size(), textCases().size() + 1);
    for (size_t i = 0; i < textCases().size(); ++i) {
        const TextCase& c = textCases()[i];
        // openpyxl leaves every _xHHHH_ escape as it stands (Excel and this
        // layer decode them); every other text must come back whole.
        if (c.written.find('_') != std::string::npos || c.written.find('\r') != std::string::npos ||
            c.written.find('\x01') != std::string::npos || c.written.find("\xEF\xBF\xBE") != std::string::npos)
            continue;
        EXPECT_EQ(sheet["rows"][i + 1][1], c.read) << c.label;
    }

    const nlohmann::json large = readWithOpenpyxl(largeWorkbook(100000));
    ASSERT_EQ(large[0]["rows"].size(), 100000u);
    EXPECT_EQ(large[0]["rows"][99999][0], "Term99999");
    EXPECT_EQ(large[0]["rows"][99999][1], "术语99999");
    EXPECT_EQ(large[0]["rows"][99999][2], 99999);
#endif
}

} // namespace
