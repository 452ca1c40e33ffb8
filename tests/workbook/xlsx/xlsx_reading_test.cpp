// The XML book on small workbooks built in the test, one for each thing that
// real writers do differently: text forms, cell types, positions left out,
// namespace prefixes, Strict files, encodings, sheet order and part names.
#include "temp_file.h"
#include "utf8.h"
#include "xlbook.h"
#include "xlsx/xlsx_book.h"
#include "zip_builder.h"

#include "common/cell_reference.h"

#include <gtest/gtest.h>

namespace {

using fixture::FixtureCell;
using fixture::ZipEntry;

const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string kRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string kPackageRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";

std::string sharedStrings(const std::string& items)
{
    return "<sst xmlns=\"" + kMain + "\">" + items + "</sst>";
}

std::string relationships(const std::string& items)
{
    return "<Relationships xmlns=\"" + kPackageRelationships + "\">" + items + "</Relationships>";
}

std::string relationship(const std::string& id, const std::string& type, const std::string& target)
{
    return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
}

std::string workbook(const std::string& sheets)
{
    return "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRelationships + "\"><sheets>" + sheets +
           "</sheets></workbook>";
}

// `utf8` as UTF-16 bytes, with or without a byte order mark.
std::string utf16Bytes(const std::string& utf8, bool bigEndian, bool byteOrderMark)
{
    std::u16string units = xl::utf8ToUtf16(utf8);
    if (byteOrderMark)
        units.insert(units.begin(), u'\uFEFF');
    std::string bytes;
    for (const char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

struct Expected {
    const char* reference;
    int type;
    std::string text; // for strings
    double number = 0;
};

Expected text(const char* reference, std::string value) { return {reference, xl::CELLTYPE_STRING, std::move(value)}; }
Expected number(const char* reference, double value) { return {reference, xl::CELLTYPE_NUMBER, "", value}; }
Expected ofType(const char* reference, int type) { return {reference, type, ""}; }

void expectCells(xl::Sheet& sheet, const std::vector<Expected>& cells)
{
    for (const Expected& cell : cells) {
        SCOPED_TRACE(cell.reference);
        const std::optional<xl::CellPosition> at = xl::parseCellReference(cell.reference);
        ASSERT_TRUE(at);
        ASSERT_EQ(sheet.cellType(at->row, at->col), cell.type);
        const char16_t* shown = sheet.readStr(at->row, at->col);
        if (cell.type == xl::CELLTYPE_STRING) {
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(xl::utf16ToUtf8(shown), cell.text);
        } else {
            EXPECT_EQ(shown, nullptr);
        }
        if (cell.type == xl::CELLTYPE_NUMBER) {
            EXPECT_EQ(sheet.readNum(at->row, at->col), cell.number);
        }
    }
}

struct Workbook {
    const char* name;
    std::string bytes;
    std::vector<Expected> cells;
};

std::vector<Workbook> workbooks()
{
    std::vector<Workbook> books;

    books.push_back({"a grid written the way Excel writes it",
                     fixture::makeXlsx({{"KQ_FILE_START", "起点"},
                                        {"  padded  ", "tab\tand\nnewline"},
                                        {12, 0.25},
                                        {-2.5, 1e-300},
                                        {FixtureCell::boolean(true), FixtureCell::error("#DIV/0!")},
                                        {"_x0041_ as typed", "carriage\rreturn"},
                                        {"\xF0\x9F\x8D\xA3 sushi", ""},
                                        {{}, "起点"}}),
                     {text("A1", "KQ_FILE_START"), text("B1", "起点"), text("A2", "  padded  "),
                      text("B2", "tab\tand\nnewline"), number("A3", 12), number("B3", 0.25), number("A4", -2.5),
                      number("B4", 1e-300), ofType("A5", xl::CELLTYPE_BOOLEAN), ofType("B5", xl::CELLTYPE_ERROR),
                      text("A6", "_x0041_ as typed"), text("B6", "carriage\rreturn"),
                      text("A7", "\xF0\x9F\x8D\xA3 sushi"), text("B7", ""), ofType("A8", xl::CELLTYPE_EMPTY),
                      text("B8", "起点"), ofType("C1", xl::CELLTYPE_EMPTY)}});

    books.push_back({"rich, phonetic, empty and inline texts",
                     fixture::makeXlsxFromSheetXml(
                         fixture::worksheetXml(
                             "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                             "<c r=\"B1\" t=\"inlineStr\"><is><t>inline</t></is></c></row>"
                             "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c>"
                             "<c r=\"B2\" t=\"inlineStr\"><is><r><t>in</t></r><r><rPr><i/></rPr><t>line</t></r></is></c></row>"
                             "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>2</v></c>"
                             "<c r=\"B3\" t=\"inlineStr\"><is><t><![CDATA[<b>&amp;</b>]]></t></is></c></row>"
                             "<row r=\"4\"><c r=\"A4\" t=\"s\"><v> 3 </v></c><c r=\"B4\" t=\"inlineStr\"/></row>"),
                         sharedStrings("<si><r><rPr><b/></rPr><t>Bold</t></r><r><t xml:space=\"preserve\"> and plain</t></r></si>"
                                       "<si/>"
                                       "<si><t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>かんじ</t></rPh><phoneticPr fontId=\"1\"/></si>"
                                       "<si>\n  <t>pretty</t>\n  <t>printed</t>\n</si>")),
                     {text("A1", "Bold and plain"), text("B1", "inline"), text("A2", ""), text("B2", "inline"),
                      text("A3", "漢字"), text("B3", "<b>&amp;</b>"), text("A4", "prettyprinted"),
                      ofType("B4", xl::CELLTYPE_BLANK)}});

    books.push_back({"formula results, types and missing values",
                     fixture::makeXlsxFromSheetXml(fixture::worksheetXml(
                         "<row r=\"1\"><c r=\"A1\"><f>1+1</f><v>2</v></c><c r=\"B1\" t=\"n\"><v> 1.5E3 </v></c></row>"
                         "<row r=\"2\"><c r=\"A2\" t=\"str\"><f>\"a\"</f><v>text result</v></c>"
                         "<c r=\"B2\" t=\"str\"><f>\"\"</f><v></v></c></row>"
                         "<row r=\"3\"><c r=\"A3\"><f>NOW()</f><v /></c><c r=\"B3\" s=\"1\"/></row>"
                         "<row r=\"4\"><c r=\"A4\" t=\"b\"><v>0</v></c><c r=\"B4\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c></row>"
                         "<row r=\"5\"><c r=\"A5\" t=\"d\"><v>2021-12-31T23:44:51</v></c>"
                         "<c r=\"B5\" t=\"n\"><v>-3.1415926535897931E+300</v></c></row>"
                         "<row r=\"6\"><c r=\"A6\" t=\"s\"/><c r=\"B6\" t=\"b\"><v>true</v></c></row>")),
                     {number("A1", 2), number("B1", 1500), text("A2", "text result"), text("B2", ""),
                      ofType("A3", xl::CELLTYPE_BLANK), ofType("B3", xl::CELLTYPE_BLANK),
                      ofType("A4", xl::CELLTYPE_BOOLEAN), ofType("B4", xl::CELLTYPE_ERROR),
                      text("A5", "2021-12-31T23:44:51"), number("B5", -3.1415926535897931E+300),
                      ofType("A6", xl::CELLTYPE_BLANK), ofType("B6", xl::CELLTYPE_BOOLEAN)}});

    books.push_back({"escapes, entities, blanks and line ends kept as meant",
                     fixture::makeXlsxFromSheetXml(
                         fixture::worksheetXml(
                             "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>"
                             "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>2</v></c><c r=\"B2\" t=\"s\"><v>3</v></c></row>"
                             "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>_x0009_tab _x000d_</t></is></c>"
                             "<c r=\"B3\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> </t></is></c></row>"
                             "<row r=\"4\"><c r=\"A4\" t=\"str\"><v>formula_x000A_text</v></c>"
                             "<c r=\"B4\" t=\"inlineStr\"><is><t>\xE3\x80\x80" "full-width\xE3\x80\x80</t></is></c></row>"),
                         sharedStrings("<si><t>line_x000D_\nnext</t></si>"
                                       "<si><t xml:space=\"preserve\">   </t></si>"
                                       "<si><t>a\r\nb\rc\r\r\nd\r</t></si>"
                                       "<si><t>_x005F_x0041_ &amp;&lt;&#xA;&#x1F363;&#65;</t></si>")),
                     {text("A1", "line\r\nnext"), text("B1", "   "), text("A2", "a\nb\nc\n\nd\n"),
                      text("B2", "_x0041_ &<\n\xF0\x9F\x8D\xA3" "A"), text("A3", "\ttab \r"), text("B3", " "),
                      text("A4", "formula\ntext"), text("B4", "\xE3\x80\x80" "full-width\xE3\x80\x80")}});

    books.push_back({"rows and cells without references follow the one before",
                     fixture::makeXlsxFromSheetXml(fixture::worksheetXml(
                         "<row><c><v>1</v></c><c><v>2</v></c></row>"
                         "<row r=\"5\"><c><v>3</v></c><c r=\"D5\"><v>4</v></c><c><v>5</v></c></row>"
                         "<row><c><v>6</v></c></row>")),
                     {number("A1", 1), number("B1", 2), ofType("A2", xl::CELLTYPE_EMPTY), number("A5", 3),
                      ofType("B5", xl::CELLTYPE_EMPTY), number("D5", 4), number("E5", 5), number("A6", 6)}});

    {
        // Hancell and OpenXML-SDK writers prefix every element; some bind the
        // relationship namespace to a prefix other than r.
        std::vector<ZipEntry> parts = fixture::xlsxParts(
            "<x:worksheet xmlns:x=\"" + kMain + "\"><x:sheetData><x:row r=\"1\">"
            "<x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"B1\" t=\"inlineStr\"><x:is><x:t>inline</x:t></x:is></x:c>"
            "</x:row></x:sheetData></x:worksheet>",
            "<x:sst xmlns:x=\"" + kMain + "\"><x:si><x:r><x:t>pre</x:t></x:r><x:r><x:t>fixed</x:t></x:r></x:si></x:sst>");
        fixture::entryNamed(parts, "xl/workbook.xml").data =
            "<x:workbook xmlns:x=\"" + kMain + "\" xmlns:ns=\"" + kRelationships +
            "\"><x:sheets><x:sheet name=\"S\" sheetId=\"1\" ns:id=\"rId1\"/></x:sheets></x:workbook>";
        books.push_back({"namespace prefixes", fixture::buildZip(parts), {text("A1", "prefixed"), text("B1", "inline")}});
    }
    {
        const std::string strictMain = "http://purl.oclc.org/ooxml/spreadsheetml/main";
        const std::string strictRelationships = "http://purl.oclc.org/ooxml/officeDocument/relationships";
        std::vector<ZipEntry> parts = fixture::xlsxParts(
            "<worksheet xmlns=\"" + strictMain + "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
            "<c r=\"B1\"><v>0.5</v></c></row></sheetData></worksheet>",
            "<sst xmlns=\"" + strictMain + "\"><si><t>strict</t></si></sst>");
        fixture::entryNamed(parts, "_rels/.rels").data =
            relationships(relationship("rId1", strictRelationships + "/officeDocument", "xl/workbook.xml"));
        fixture::entryNamed(parts, "xl/_rels/workbook.xml.rels").data =
            relationships(relationship("rId1", strictRelationships + "/worksheet", "worksheets/sheet1.xml") +
                          relationship("rId2", strictRelationships + "/sharedStrings", "sharedStrings.xml"));
        fixture::entryNamed(parts, "xl/workbook.xml").data =
            "<workbook xmlns=\"" + strictMain + "\" xmlns:r=\"" + strictRelationships +
            "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
        books.push_back({"Strict namespaces", fixture::buildZip(parts), {text("A1", "strict"), number("B1", 0.5)}});
    }
    {
        std::vector<ZipEntry> parts = fixture::xlsxParts(
            fixture::worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\">"
                                  "<is><t>大端</t></is></c></row>"),
            "\xEF\xBB\xBF" + sharedStrings("<si><t>BOM</t></si>"));
        ZipEntry& book = fixture::entryNamed(parts, "xl/workbook.xml");
        book.data = utf16Bytes(book.data, false, true);
        ZipEntry& sheet = fixture::entryNamed(parts, "xl/worksheets/sheet1.xml");
        sheet.data = utf16Bytes(sheet.data.substr(sheet.data.find('<', 1)), true, false);
        books.push_back({"UTF-16 in either byte order, and byte order marks", fixture::buildZip(parts),
                         {text("A1", "BOM"), text("B1", "大端")}});
    }
    {
        // The first sheet is the first <sheet> of the workbook, whatever its
        // sheetId or the name of its part.
        std::vector<ZipEntry> parts =
            fixture::xlsxParts(fixture::worksheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
        parts.emplace_back("xl/worksheets/sheet2.xml",
                           fixture::worksheetXml("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>"));
        fixture::entryNamed(parts, "xl/workbook.xml").data =
            workbook("<sheet name=\"Second\" sheetId=\"1\" r:id=\"rId7\"/><sheet name=\"First\" sheetId=\"2\" r:id=\"rId1\"/>");
        fixture::entryNamed(parts, "xl/_rels/workbook.xml.rels").data =
            relationships(relationship("rId1", kRelationships + "/worksheet", "worksheets/sheet1.xml") +
                          relationship("rId7", kRelationships + "/worksheet", "worksheets/sheet2.xml"));
        books.push_back({"the first sheet in workbook order", fixture::buildZip(parts), {number("A1", 2)}});
    }
    {
        // Parts outside xl/, package-absolute and relative targets with "."
        // and "..", and names that differ in case from the zip entries.
        std::vector<ZipEntry> parts;
        parts.emplace_back("_rels/.rels",
                           relationships(relationship("rId1", kRelationships + "/officeDocument", "/wtf/Book.xml")));
        parts.emplace_back("wtf/book.xml", workbook("<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>"));
        parts.emplace_back("WTF/_RELS/BOOK.XML.RELS",
                           relationships(relationship("rId1", kRelationships + "/worksheet", "../data/./s%20heet.xml") +
                                         relationship("rId2", kRelationships + "/sharedStrings", "/wtf/Strings.xml")));
        parts.emplace_back("data/s heet.xml",
                           fixture::worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"));
        parts.emplace_back("wtf/strings.xml", sharedStrings("<si><t>found</t></si>"));
        books.push_back({"part names resolved through the relationships", fixture::buildZip(parts), {text("A1", "found")}});
    }
    return books;
}

TEST(XlsxReading, ReadsWhatWritersWrite)
{
    for (const Workbook& book : workbooks()) {
        // Parts read whole, and a byte or a few at a time.
        for (const size_t pieceSize : {xl::XmlReader::kPieceSize, size_t(1), size_t(2), size_t(5)}) {
            SCOPED_TRACE(std::string(book.name) + ", pieces of " + std::to_string(pieceSize));
            const xl::BookHandle loaded(xl::createXlsxBook(pieceSize));
            ASSERT_TRUE(loaded->loadRaw(book.bytes.data(), static_cast<unsigned>(book.bytes.size())))
                << loaded->errorMessage();
            EXPECT_STREQ(loaded->errorMessage(), "");
            xl::Sheet* sheet = loaded->getSheet(0);
            ASSERT_NE(sheet, nullptr);
            expectCells(*sheet, book.cells);
        }
    }
}

TEST(XlsxReading, ReadsLaterSheetsWhenAskedAndNoneBeyond)
{
    std::vector<ZipEntry> parts = fixture::xlsxParts(fixture::worksheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    parts.emplace_back("xl/worksheets/sheet2.xml", fixture::worksheetXml("<row r=\"3\"><c r=\"C3\"><v>2</v></c></row>"));
    fixture::entryNamed(parts, "xl/workbook.xml").data =
        workbook("<sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"B\" sheetId=\"2\" r:id=\"rId2\"/>"
                 "<sheet name=\"C\" sheetId=\"3\" r:id=\"rId9\"/>");
    fixture::entryNamed(parts, "xl/_rels/workbook.xml.rels").data =
        relationships(relationship("rId1", kRelationships + "/worksheet", "worksheets/sheet1.xml") +
                      relationship("rId2", kRelationships + "/worksheet", "worksheets/sheet2.xml"));
    const std::string bytes = fixture::buildZip(parts);
    const xl::BookHandle book(xl::xlCreateXMLBookW());
    ASSERT_TRUE(book->loadRaw(bytes.data(), static_cast<unsigned>(bytes.size()))) << book->errorMessage();

    xl::Sheet* second = book->getSheet(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->readNum(2, 2), 2);
    EXPECT_EQ(second->lastRow(), 3);
    EXPECT_EQ(book->getSheet(1), second);
    EXPECT_EQ(book->getSheet(0)->readNum(0, 0), 1);
    // The third sheet's relationship is missing: no sheet, and a message.
    EXPECT_EQ(book->getSheet(2), nullptr);
    EXPECT_NE(std::string(book->errorMessage()).find("xl/workbook.xml: sheet 3: no relationship 'rId9'"),
              std::string::npos)
        << book->errorMessage();
    EXPECT_EQ(book->getSheet(3), nullptr);
    EXPECT_EQ(book->getSheet(-1), nullptr);
}

TEST(XlsxReading, LoadsAFileWhosePathHasCharactersOfNoAnsiCodePage)
{
    const fixture::TempFile file(fixture::makeXlsx({{"词典", "Wörterbuch"}}), "词典 Wörterbuch ✓ λ.xlsx");
    const xl::BookHandle book(xl::xlCreateXMLBookW());
    ASSERT_TRUE(book->load(file.path().c_str())) << book->errorMessage();
    expectCells(*book->getSheet(0), {text("A1", "词典"), text("B1", "Wörterbuch")});
}

TEST(XlsxReading, NamesTheFileThatCannotBeOpened)
{
    const xl::BookHandle book(xl::xlCreateXMLBookW());
    EXPECT_FALSE(book->load(u"no such folder/Пропавший.xlsx"));
    EXPECT_NE(std::string(book->errorMessage()).find("cannot open 'no such folder/Пропавший.xlsx': "), std::string::npos)
        << book->errorMessage();
    EXPECT_FALSE(book->load(nullptr));
    EXPECT_FALSE(book->load(u""));
    EXPECT_EQ(book->getSheet(0), nullptr);
}

TEST(XlsxReading, ALoadReplacesWhatTheBookHeld)
{
    const std::string first = fixture::makeXlsx({{"first"}});
    const std::string second = fixture::makeXlsx({{}, {"second"}});
    const xl::BookHandle book(xl::xlCreateXMLBookW());
    ASSERT_TRUE(book->loadRaw(first.data(), static_cast<unsigned>(first.size())));
    ASSERT_TRUE(book->loadRaw(second.data(), static_cast<unsigned>(second.size())));
    expectCells(*book->getSheet(0), {ofType("A1", xl::CELLTYPE_EMPTY), text("A2", "second")});
    EXPECT_FALSE(book->loadRaw("junk", 4));
    EXPECT_EQ(book->getSheet(0), nullptr);
    EXPECT_NE(std::string(book->errorMessage()), "");
}

TEST(XlsxReading, ReadsATallSheet)
{
    std::vector<std::vector<FixtureCell>> rows;
    for (int row = 0; row < 100000; ++row)
        rows.push_back({"term " + std::to_string(row % 5000), row * 0.5});
    const std::string bytes = fixture::makeXlsx(rows);
    const xl::BookHandle book(xl::xlCreateXMLBookW());
    ASSERT_TRUE(book->loadRaw(bytes.data(), static_cast<unsigned>(bytes.size()))) << book->errorMessage();
    xl::Sheet* sheet = book->getSheet(0);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->lastRow(), 100000);
    for (int row : {0, 1, 4999, 5000, 77777, 99999}) {
        EXPECT_EQ(xl::utf16ToUtf8(sheet->readStr(row, 0)), "term " + std::to_string(row % 5000));
        EXPECT_EQ(sheet->readNum(row, 1), row * 0.5);
    }
}

} // namespace
