// Broken and hostile files, built in the test: each load either fails with a
// message that says what is wrong and where, or reads what is valid. None
// may crash, hang, read out of bounds or take memory out of proportion
// (the suite also runs under AddressSanitizer).
#include "temp_file.h"
#include "utf8.h"
#include "xlbook.h"
#include "xlsx/xlsx_book.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using fixture::ZipEntry;

std::string rows(const std::string& rowsXml)
{
    return fixture::worksheetXml(rowsXml);
}

// A workbook from the standard parts, after `change` broke one of them.
std::string brokenParts(const std::function<void(std::vector<ZipEntry>&)>& change,
                        std::optional<std::string> sharedStrings = "<sst><si><t>only</t></si></sst>")
{
    std::vector<ZipEntry> parts =
        fixture::xlsxParts(rows("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"), std::move(sharedStrings));
    change(parts);
    return fixture::buildZip(parts);
}

void removePart(std::vector<ZipEntry>& parts, const std::string& name)
{
    std::erase_if(parts, [&](const ZipEntry& e) { return e.name == name; });
}

std::string nested(const std::string& name, int levels, const std::string& inner = "")
{
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
        open += "<" + name + ">";
        close += "</" + name + ">";
    }
    return open + inner + close;
}

const std::string kBillionLaughs =
    "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
    "<sst><si><t>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</t></si></sst>";

struct HostileFile {
    const char* name;
    std::function<std::string()> bytes;
    // Each must appear in the message; empty: the file loads.
    std::vector<std::string> message;
    // For files that load: what the first sheet must hold.
    std::function<void(xl::Sheet&)> check = nullptr;
};

std::vector<HostileFile> hostileFiles()
{
    const std::string good = fixture::makeXlsx({{"valid"}});
    return {
        {"not a zip", [] { return std::string("This is plain text, not a workbook at all."); },
         {"not a zip archive: no end of central directory record"}},
        {"an empty file", [] { return std::string(); }, {"not a zip archive: 0 bytes is too short"}},
        {"a file cut short", [=] { return good.substr(0, good.size() - 30); }, {"not a zip archive"}},
        {"a file cut inside the central directory",
         [=] { return good.substr(0, good.size() - 60) + good.substr(good.size() - 22); }, {"central directory"}},
        {"a size that lies",
         [] { return brokenParts([](auto& parts) { fixture::entryNamed(parts, "xl/workbook.xml").declaredSize = 90; }); },
         {"zip entry 'xl/workbook.xml': inflates to more than its declared size of 90 bytes"}},
        {"a compressed size beyond the file",
         [] {
             return brokenParts(
                 [](auto& parts) { fixture::entryNamed(parts, "xl/worksheets/sheet1.xml").declaredCompressedSize = 1u << 30; });
         },
         {"zip entry 'xl/worksheets/sheet1.xml'", "run past the end of the file"}},
        {"a declared size of 8 GB, refused before inflating: the data is no deflate stream",
         [] {
             return brokenParts([](auto& parts) {
                 ZipEntry& sheet = fixture::entryNamed(parts, "xl/worksheets/sheet1.xml");
                 sheet.deflate = false;
                 sheet.declaredMethod = 8;
                 sheet.data = std::string(64, '\xFF');
                 sheet.declaredSize = 8ull << 30;
             });
         },
         {"zip entry 'xl/worksheets/sheet1.xml': declared size of 8589934592 bytes exceeds the limit"}},
        {"a high-ratio bomb: 64 MiB of blanks in a shared string",
         [] {
             return brokenParts([](auto&) {}, "<sst><si><t>" + std::string(64 << 20, ' ') + "</t></si></sst>");
         },
         {"zip entry 'xl/sharedStrings.xml'", "more than 200 times its compressed size"}},
        {"a bad CRC",
         [] { return brokenParts([](auto& parts) { fixture::entryNamed(parts, "xl/workbook.xml").declaredCrc = 1; }); },
         {"zip entry 'xl/workbook.xml': CRC-32 mismatch"}},
        {"an encrypted package: an OLE compound file",
         [] { return std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(4096, '\0'); },
         {"OLE compound document", "password-protected"}},
        {"no workbook part",
         [] { return brokenParts([](auto& parts) { removePart(parts, "xl/workbook.xml"); }); },
         {"xl/workbook.xml: part is missing from the package"}},
        {"no package relationships",
         [] { return brokenParts([](auto& parts) { removePart(parts, "_rels/.rels"); }); },
         {"_rels/.rels: part is missing from the package"}},
        {"no workbook relationships",
         [] { return brokenParts([](auto& parts) { removePart(parts, "xl/_rels/workbook.xml.rels"); }); },
         {"xl/_rels/workbook.xml.rels: part is missing"}},
        {"no officeDocument relationship",
         [] {
             return brokenParts([](auto& parts) {
                 fixture::entryNamed(parts, "_rels/.rels").data = "<Relationships><Relationship Id=\"rId1\" "
                                                                 "Type=\"x/styles\" Target=\"xl/workbook.xml\"/></Relationships>";
             });
         },
         {"_rels/.rels: no officeDocument relationship"}},
        {"a sheet target outside the package",
         [] {
             return brokenParts([](auto& parts) {
                 std::string& rels = fixture::entryNamed(parts, "xl/_rels/workbook.xml.rels").data;
                 rels.replace(rels.find("worksheets/sheet1.xml"), 21, "../../../etc/passwd");
             });
         },
         {"xl/workbook.xml: sheet 1: the target '../../../etc/passwd' lies outside the package"}},
        {"a sheet target on another machine",
         [] {
             return brokenParts([](auto& parts) {
                 std::string& rels = fixture::entryNamed(parts, "xl/_rels/workbook.xml.rels").data;
                 rels.replace(rels.find("worksheets/sheet1.xml"), 21, "file:///C:/Windows/win.ini");
             });
         },
         {"lies outside the package"}},
        {"a sheet missing from the package",
         [] { return brokenParts([](auto& parts) { removePart(parts, "xl/worksheets/sheet1.xml"); }); },
         {"xl/worksheets/sheet1.xml: part is missing"}},
        {"no sheets",
         [] {
             return brokenParts([](auto& parts) {
                 fixture::entryNamed(parts, "xl/workbook.xml").data = "<workbook><sheets/></workbook>";
             });
         },
         {"xl/workbook.xml: the workbook lists no sheets"}},
        {"a shared string index out of range",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"3\"><c r=\"B3\" t=\"s\"><v>5</v></c></row>"), "<sst><si/></sst>"); },
         {"xl/worksheets/sheet1.xml: cell B3: shared string '5' does not exist; the table holds 1"}},
        {"a shared string reference without a table",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")); },
         {"cell A1: shared string '0' does not exist; the table holds 0"}},
        {"reference A0",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"3\"><c r=\"A0\"><v>1</v></c></row>")); },
         {"xl/worksheets/sheet1.xml: cell reference 'A0' at row 3 is invalid"}},
        {"reference XFD1048577",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row><c r=\"XFD1048577\"><v>1</v></c></row>")); },
         {"cell reference 'XFD1048577' at row 1 is invalid"}},
        {"a column past XFD",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row><c r=\"XFE1\"><v>1</v></c></row>")); },
         {"cell reference 'XFE1' at row 1 is invalid"}},
        {"row 10^12",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1000000000000\"><c><v>1</v></c></row>")); },
         {"xl/worksheets/sheet1.xml: row number '1000000000000' is invalid at byte"}},
        {"more cells in a row than columns",
         [] {
             std::string cells;
             for (int i = 0; i <= 16384; ++i)
                 cells += "<c/>";
             return fixture::makeXlsxFromSheetXml(rows("<row r=\"2\">" + cells + "</row>"));
         },
         {"row 2 has cells beyond column XFD"}},
        {"rows past the last row",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1048576\"/><row><c/></row>")); },
         {"more than 1048576 rows"}},
        {"a number that is none",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1\"><c r=\"C1\"><v>12abc</v></c></row>")); },
         {"cell C1: the value '12abc' is not a number"}},
        {"a number too large for a double",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1\"><c r=\"C1\"><v>1e999</v></c></row>")); },
         {"cell C1: the value '1e999' is not a number"}},
        {"an unknown cell type",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1\"><c r=\"A1\" t=\"zz\"><v>1</v></c></row>")); },
         {"xl/worksheets/sheet1.xml: cell A1: the type 'zz' is unknown"}},
        {"a huge uniqueCount, not allocated",
         [] {
             return fixture::makeXlsxFromSheetXml(rows("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"),
                                                  "<sst count=\"4294967295\" uniqueCount=\"4294967295\"><si><t>a</t></si></sst>");
         },
         {},
         [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "a"); }},
        {"a huge dimension, not allocated",
         [] {
             return fixture::makeXlsxFromSheetXml(
                 "<worksheet><dimension ref=\"A1:XFD1048576\"/><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                 "</sheetData></worksheet>");
         },
         {},
         [](xl::Sheet& sheet) { EXPECT_EQ(sheet.lastRow(), 1); }},
        {"malformed XML in a row",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1\"><c r=\"A1\"><v>1</v></row>")); },
         {"xl/worksheets/sheet1.xml: malformed XML (invalid closing tag name) at byte"}},
        {"malformed XML in the workbook",
         [] {
             return brokenParts(
                 [](auto& parts) { fixture::entryNamed(parts, "xl/workbook.xml").data = "<workbook><sheets></workbook>"; });
         },
         {"xl/workbook.xml: malformed XML"}},
        {"an unterminated attribute",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1><c/></row>")); },
         {"xl/worksheets/sheet1.xml: unterminated attribute value at byte"}},
        {"a sheet that ends inside its data",
         [] { return fixture::makeXlsxFromSheetXml("<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"); },
         {"xl/worksheets/sheet1.xml: the part ends inside its <sheetData> element"}},
        {"a NUL byte in a part",
         [] { return fixture::makeXlsxFromSheetXml(rows(std::string("<row r=\"1\">") + '\0' + "</row>")); },
         {"xl/worksheets/sheet1.xml: NUL byte", "at byte"}},
        {"100000 levels of nesting in a cell",
         [] { return fixture::makeXlsxFromSheetXml(rows("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>" +
                                                        nested("r", 100000) + "</is></c></row>")); },
         {"xl/worksheets/sheet1.xml: elements nested more than 256 levels deep at byte"}},
        {"nesting right at the limit, read",
         [] {
             // worksheet, sheetData, row, c and is, then runs, then <t> at level 256
             return fixture::makeXlsxFromSheetXml(
                 rows("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>" + nested("r", 250, "<t>deep</t>") +
                      "</is></c></row>"));
         },
         {},
         [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "deep"); }},
        {"100000 levels of nesting in the workbook",
         [] {
             return brokenParts([](auto& parts) {
                 fixture::entryNamed(parts, "xl/workbook.xml").data = "<workbook>" + nested("a", 100000) + "</workbook>";
             });
         },
         {"xl/workbook.xml: elements nested more than 256 levels deep"}},
        // Stored, not deflated: these compress beyond the zip limits, which
        // would refuse them before the XML is looked at.
        {"100000 unclosed elements in the relationships",
         [] {
             return brokenParts([](auto& parts) {
                 std::string open;
                 for (int i = 0; i < 100000; ++i)
                     open += "<Relationship>";
                 ZipEntry& relationships = fixture::entryNamed(parts, "_rels/.rels");
                 relationships.data = "<Relationships>" + open;
                 relationships.deflate = false;
             });
         },
         {"_rels/.rels: elements nested more than 256 levels deep"}},
        {"a row of two million elements",
         [] {
             return brokenParts([](auto& parts) {
                 std::string junk;
                 for (int i = 0; i < 2000000; ++i)
                     junk += "<x/>";
                 ZipEntry& sheet = fixture::entryNamed(parts, "xl/worksheets/sheet1.xml");
                 sheet.data = rows("<row r=\"1\">" + junk + "</row>");
                 sheet.deflate = false;
             });
         },
         {"xl/worksheets/sheet1.xml: more than 1000000 elements, attributes and texts in one element"}},
        {"a shared string of half a million runs: elements and texts past a million",
         [] {
             std::string runs;
             for (int i = 0; i < 500000; ++i)
                 runs += "<r><t>a</t></r>";
             return brokenParts([&](auto& parts) {
                 fixture::entryNamed(parts, "xl/sharedStrings.xml").deflate = false;
             }, "<sst><si>" + runs + "</si></sst>");
         },
         {"xl/sharedStrings.xml: more than 1000000 elements, attributes and texts in one element"}},
        {"an entity bomb in the shared strings",
         [] { return brokenParts([](auto&) {}, kBillionLaughs); },
         {"xl/sharedStrings.xml: document type declaration (not accepted) at byte 21"}},
        {"a DOCTYPE in the workbook",
         [] {
             return brokenParts([](auto& parts) {
                 fixture::entryNamed(parts, "xl/workbook.xml").data =
                     "<!DOCTYPE workbook SYSTEM \"http://example.invalid/x.dtd\"><workbook/>";
             });
         },
         {"xl/workbook.xml: document type declaration"}},
        {"an entity declaration without a DOCTYPE",
         [] { return brokenParts([](auto&) {}, "<sst><!ENTITY a \"b\"><si><t>x</t></si></sst>"); },
         {"xl/sharedStrings.xml: markup declaration (not accepted)"}},
        {"an unknown entity, kept as text",
         [] { return brokenParts([](auto&) {}, "<sst><si><t>&unknown; &amp;</t></si></sst>"); },
         {},
         [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "&unknown; &"); }},
        {"a character reference beyond Unicode",
         [] { return brokenParts([](auto&) {}, "<sst><si><t>&#x110000;</t></si></sst>"); },
         {"xl/sharedStrings.xml: malformed XML"}},
        {"invalid UTF-8, replaced",
         [] { return brokenParts([](auto&) {}, "<sst><si><t>ok\xC0\xAF\xFF</t></si></sst>"); },
         {},
         [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "ok\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"); }},
        {"a shared string of 2^20 units shown by 257 cells: one past the bound on the text shown",
         [] {
             std::string cells;
             for (int row = 1; row <= 129; ++row)
                 cells += "<row r=\"" + std::to_string(row) + "\"><c t=\"s\"><v>0</v></c><c t=\"s\"><v>0</v></c></row>";
             std::vector<ZipEntry> parts = fixture::xlsxParts(
                 rows(cells), "<sst><si><t>" + std::string(size_t(1) << 20, 'a') + "</t></si></sst>");
             // Stored: deflated, the string would pass the zip ratio limit.
             fixture::entryNamed(parts, "xl/sharedStrings.xml").deflate = false;
             return fixture::buildZip(parts);
         },
         {"xl/worksheets/sheet1.xml: cell A129: the text that the sheet's cells show passes 268435456 UTF-16 code "
          "units (a shared string counts once for each cell that shows it)"}},
        {"100000 sheets and as many relationships",
         [] {
             return brokenParts([](auto& parts) {
                 std::string sheets, relationships;
                 for (int i = 0; i < 100000; ++i) {
                     const std::string id = "rId" + std::to_string(i == 0 ? 1 : 100000 + i);
                     sheets += "<sheet r:id=\"" + id + "\"/>";
                     relationships += "<Relationship Id=\"" + id + "\" Type=\"x/worksheet\" Target=\"" +
                                      (i == 0 ? std::string("worksheets/sheet1.xml") : "s" + std::to_string(i)) + "\"/>";
                 }
                 fixture::entryNamed(parts, "xl/workbook.xml").data =
                     "<workbook xmlns:r=\"r\"><sheets>" + sheets + "</sheets></workbook>";
                 std::string& workbookRelationships = fixture::entryNamed(parts, "xl/_rels/workbook.xml.rels").data;
                 workbookRelationships.insert(workbookRelationships.find("</Relationships>"), relationships);
             });
         },
         {},
         [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "only"); }},
        {"a second sheet that is broken does not stop the first",
         [] {
             return brokenParts([](auto& parts) {
                 fixture::entryNamed(parts, "xl/workbook.xml").data =
                     "<workbook xmlns:r=\"r\"><sheets><sheet r:id=\"rId1\"/><sheet r:id=\"rId1\"/><sheet r:id=\"none\"/>"
                     "<sheet/></sheets></workbook>";
             });
         },
         {},
         [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "only"); }},
    };
}

TEST(XlsxHostileInput, FailsCleanlyNamingThePlaceOrReadsWhatIsValid)
{
    for (const HostileFile& file : hostileFiles()) {
        SCOPED_TRACE(file.name);
        const std::string bytes = file.bytes();
        const xl::BookHandle book(xl::xlCreateXMLBookW());
        const bool loaded = book->loadRaw(bytes.data(), static_cast<unsigned>(bytes.size()));
        const std::string message = book->errorMessage();
        // Read a few bytes at a time, parts give the same message, offsets
        // and all.
        const xl::BookHandle inPieces(xl::createXlsxBook(3));
        EXPECT_EQ(inPieces->loadRaw(bytes.data(), static_cast<unsigned>(bytes.size())), loaded);
        EXPECT_EQ(inPieces->errorMessage(), message);
        if (file.message.empty()) {
            ASSERT_TRUE(loaded) << message;
            EXPECT_EQ(message, "");
            ASSERT_NE(book->getSheet(0), nullptr);
            file.check(*book->getSheet(0));
            file.check(*inPieces->getSheet(0));
            continue;
        }
        EXPECT_FALSE(loaded);
        for (const std::string& part : file.message)
            EXPECT_NE(message.find(part), std::string::npos) << "message: " << message << "\nlacks: " << part;
        EXPECT_EQ(book->getSheet(0), nullptr);
    }
}

TEST(XlsxHostileInput, RefusesAnEncryptedWorkbookByItsPath)
{
    const std::string compound = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(512, '\0');
    const fixture::TempFile file(compound, "PelmoraConfig.xlsx");
    const xl::BookHandle book(xl::xlCreateXMLBookW());
    EXPECT_FALSE(book->load(file.path().c_str()));
    EXPECT_NE(std::string(book->errorMessage()).find("OLE compound document"), std::string::npos)
        << book->errorMessage();
}

} // namespace
