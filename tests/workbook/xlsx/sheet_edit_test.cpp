// Rows inserted into a workbook's first sheet: the rows below move with
// their cells, however the sheet writes its positions; every other part
// keeps its stored bytes; and what would not follow the rows is refused.
#include "utf8.h"
#include "xlbook.h"
#include "xlsx/sheet_edit.h"
#include "xlsx/zip_archive.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

namespace {

using fixture::FixtureCell;

const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string cellText(xl::Sheet& sheet, int row, int col)
{
    if (sheet.cellType(row, col) == xl::CELLTYPE_NUMBER)
        return std::to_string(static_cast<int>(sheet.readNum(row, col)));
    const char16_t* text = sheet.readStr(row, col);
    return text ? xl::utf16ToUtf8(text) : std::string();
}

// Columns A and B of the first sheet, row by row through the last used row.
std::vector<std::pair<std::string, std::string>> firstSheet(const std::string& bytes)
{
    xl::BookHandle book(xl::xlCreateXMLBookW());
    EXPECT_TRUE(book->loadRaw(bytes.data(), static_cast<unsigned>(bytes.size()))) << book->errorMessage();
    std::vector<std::pair<std::string, std::string>> rows;
    xl::Sheet* sheet = book->getSheet(0);
    for (int row = 0; sheet && row < sheet->lastRow(); ++row)
        rows.emplace_back(cellText(*sheet, row, 0), cellText(*sheet, row, 1));
    return rows;
}

const std::vector<xl::TextRow> kNewRows = {{"Boss", "凸台"}, {" padded ", "a<b&c"}};

TEST(SheetEdit, RowsBelowMoveWithTheirCellsAndOtherPartsKeepTheirBytes)
{
    const std::string original = fixture::makeXlsx({
        {"Terms"}, {"KQ_FILE_START"}, {"Sketch", "草图"}, {"KQ_FILE_END"}, {"note", 42}, {}, {"last", "row"}});
    const std::string edited = xl::insertRowsIntoFirstSheet(original, 3, kNewRows);
    EXPECT_EQ(firstSheet(edited), (std::vector<std::pair<std::string, std::string>>{
                                      {"Terms", ""}, {"KQ_FILE_START", ""}, {"Sketch", "草图"}, {"Boss", "凸台"},
                                      {" padded ", "a<b&c"}, {"KQ_FILE_END", ""}, {"note", "42"}, {"", ""},
                                      {"last", "row"}}));

    xl::ZipArchive before, after;
    before.open(original);
    after.open(edited);
    ASSERT_EQ(before.entries().size(), after.entries().size());
    for (size_t i = 0; i < before.entries().size(); ++i) {
        const auto& entry = before.entries()[i];
        EXPECT_EQ(after.entries()[i].name, entry.name);
        if (entry.name != "xl/worksheets/sheet1.xml") {
            EXPECT_EQ(after.storedData(after.entries()[i]), before.storedData(entry)) << entry.name;
        }
    }
}

// Sheets that write positions in every way the reader accepts.
TEST(SheetEdit, ImplicitPositionsPrefixesAndTheDimensionFollow)
{
    const std::string sheet =
        "<x:worksheet xmlns:x=\"" + kMain + "\"><x:dimension ref=\"A1:B5\"/><x:sheetData>"
        "<x:row><x:c t=\"inlineStr\"><x:is><x:t>KQ_FILE_START</x:t></x:is></x:c></x:row>"
        "<x:row r=\"2\"><x:c t=\"inlineStr\"><x:is><x:t>Cut</x:t></x:is></x:c><x:c t=\"inlineStr\"><x:is><x:t>Trim</x:t></x:is></x:c></x:row>"
        "<!-- <x:row r=\"99\"/> --><x:row><x:c r=\"A3\" t=\"inlineStr\"><x:is><x:t>KQ_FILE_END</x:t></x:is></x:c></x:row>"
        "<x:row><x:c r=\"B4\" t=\"inlineStr\"><x:is><x:t>below</x:t></x:is></x:c></x:row>"
        "<x:row r=\"5\"><x:c><x:v>7</x:v></x:c></x:row></x:sheetData></x:worksheet>";
    const std::string edited = xl::insertRowsIntoFirstSheet(fixture::makeXlsxFromSheetXml(sheet), 2, {{"Hole", "孔"}});
    EXPECT_EQ(firstSheet(edited), (std::vector<std::pair<std::string, std::string>>{
                                      {"KQ_FILE_START", ""}, {"Cut", "Trim"}, {"Hole", "孔"}, {"KQ_FILE_END", ""},
                                      {"", "below"}, {"7", ""}}));
    xl::ZipArchive archive;
    archive.open(edited);
    std::string xml, error;
    ASSERT_TRUE(archive.read(*archive.find("xl/worksheets/sheet1.xml"), xml, error)) << error;
    EXPECT_NE(xml.find("<x:dimension ref=\"A1:B6\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<x:row r=\"3\"><x:c r=\"A3\" t=\"inlineStr\">"), std::string::npos) << xml;
}

struct Refusal {
    const char* label;
    std::string afterSheetData;  // what follows <sheetData> in the sheet
    std::string inRow;           // put into the cell C3
    std::string workbookNames;   // <definedNames> of the workbook
    const char* says;            // "" when the edit must go through
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.label; }

class SheetEditRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(SheetEditRefusals, WhatWouldNotFollowItsRowsIsRefusedWithWhatAndWhere)
{
    const Refusal& refusal = GetParam();
    const std::string sheet = fixture::worksheetXml(
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>KQ_FILE_START</t></is></c></row>"
        "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>KQ_FILE_END</t></is></c></row>"
        "<row r=\"3\"><c r=\"C3\">" + refusal.inRow + "<v>1</v></c></row>");
    const std::string withExtras = sheet.substr(0, sheet.find("</worksheet>")) + refusal.afterSheetData + "</worksheet>";
    std::vector<fixture::ZipEntry> parts = fixture::xlsxParts(withExtras);
    std::string& workbook = fixture::entryNamed(parts, "xl/workbook.xml").data;
    workbook.insert(workbook.find("</workbook>"), refusal.workbookNames);
    const std::string bytes = fixture::buildZip(parts);
    if (std::string_view(refusal.says).empty()) {
        EXPECT_NO_THROW(xl::insertRowsIntoFirstSheet(bytes, 1, kNewRows));
        return;
    }
    try {
        xl::insertRowsIntoFirstSheet(bytes, 1, kNewRows);
        ADD_FAILURE() << "the edit went through";
    } catch (const xl::LoadError& error) {
        EXPECT_NE(error.message().find(refusal.says), std::string::npos) << error.message();
    }
}

INSTANTIATE_TEST_SUITE_P(Sheet, SheetEditRefusals, ::testing::Values(
    Refusal{"formula", "", "<f>A1</f>", "", "xl/worksheets/sheet1.xml: cell C3: a formula"},
    Refusal{"merged cells below", "<mergeCells><mergeCell ref=\"A3:B4\"/></mergeCells>", "", "", "merged cells ('A3:B4')"},
    Refusal{"merged cells above", "<mergeCells><mergeCell ref=\"B1:C1\"/></mergeCells>", "", "", ""},
    Refusal{"a whole column merged", "<mergeCells><mergeCell ref=\"D:D\"/></mergeCells>", "", "", "merged cells"},
    Refusal{"conditional format", "<conditionalFormatting sqref=\"A1 C2:C9\"><cfRule type=\"expression\" priority=\"1\"/>"
                                  "</conditionalFormatting>", "", "", "a conditional format ('A1 C2:C9')"},
    Refusal{"data validation", "<dataValidations><dataValidation sqref=\"$B$2\"/></dataValidations>", "", "", "a data validation"},
    Refusal{"hyperlink", "<hyperlinks><hyperlink ref=\"C3\" r:id=\"rId9\"/></hyperlinks>", "", "", "a hyperlink"},
    Refusal{"filter", "<autoFilter ref=\"A1:C3\"/>", "", "", "a filter"},
    Refusal{"table", "<tableParts count=\"1\"><tablePart r:id=\"rId5\"/></tableParts>", "", "", "a table"},
    Refusal{"comments", "<legacyDrawing r:id=\"rId3\"/>", "", "", "drawings or comments"},
    Refusal{"a name local to the sheet", "", "", "<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">"
                                                  "Sheet1!$A$1:$B$9</definedName></definedNames>", "xl/workbook.xml: the name '_xlnm.Print_Area'"},
    Refusal{"a name pointing into the sheet", "", "", "<definedNames><definedName name=\"Terms\">'Sheet1'!$A:$B"
                                                       "</definedName></definedNames>", "the name 'Terms'"},
    Refusal{"a name elsewhere", "", "", "<definedNames><definedName name=\"Rate\">0.5</definedName></definedNames>", ""}));

} // namespace
