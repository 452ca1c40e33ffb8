// The scanner of rows and shared strings: it takes what the writers of
// workbooks write, and whatever it takes or leaves, a book read with it reads
// (and fails) exactly as one read through the XML reader alone, in pieces of
// any size.
#include "book_comparison.h"
#include "xlsx/content_scanner.h"
#include "xlsx/xlsx_book.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr size_t kPieceSizes[] = {1, 2, 3, 5, 16, 100, xl::XmlReader::kPieceSize};

const std::string kStrings = "<sst><si><t>Extrude</t></si><si><t>拉伸</t></si><si><t/></si></sst>";

struct Case {
    const char* name;
    std::string rows; // the content of <sheetData>
    std::string strings = kStrings;
};

// Every kind of content, those the scanner takes and those it leaves, sound
// and faulty.
const Case kCases[] = {
    {"shared strings as Excel writes them",
     R"(<row r="1" spans="1:2"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)"},
    {"inline strings", R"(<row r="2"><c r="A2" t="inlineStr"><is><t>Sketch</t></is></c></row>)"},
    {"numbers, booleans, errors, dates, formulas",
     R"(<row><c><v>12</v></c><c t="n"><v> 0.25 </v></c><c t="b"><v>1</v></c><c t="b"><v>false</v></c>)"
     R"(<c t="e"><v>#N/A</v></c><c t="d"><v>2024-01-02</v></c><c t="str"><f>A1&amp;B1</f><v>ab</v></c>)"
     R"(<c t="str"><f>A1</f><v></v></c><c s="3"/><c t="s"><v>  </v></c></row>)"},
    {"rows and cells without numbers", R"(<row><c/><c t="s"><v>1</v></c></row><row/><row><c><v>3</v></c></row>)"},
    {"references and escapes in text",
     R"(<row><c t="inlineStr"><is><t>a&lt;b&#x41;&#66;&amp;&foo;_x0041__x005F_x0041_</t></is></c>)"
     R"(<c t="inlineStr"><is><t xml:space="preserve">  </t></is></c><c><v>&#49;2</v></c></row>)",
     "<sst><si><t>&amp;amp;&#x4E2D;</t></si><si><t>_x000D_</t></si></sst>"},
    {"rich text and phonetic runs",
     R"(<row><c t="inlineStr"><is><r><rPr><b/><sz val="11"/></rPr><t>Ex</t></r><r><t>trude</t></r>)"
     R"(<rPh sb="0" eb="1"><t>x</t></rPh><phoneticPr fontId="1"/></is></c></row>)",
     "<sst><si><r><t>Fil</t></r><r><rPr/><t>let</t></r><rPh><t>no</t></rPh></si><si/><si><t/></si></sst>"},
    {"inline text in a cell of another type, and a second value",
     R"(<row><c t="s"><is><t>x</t></is><v>1</v><v>0</v></c><c t="inlineStr"><v>plain</v></c>)"
     R"(<c t="inlineStr"/><c t="inlineStr"><is><t>a</t></is><is><t>b</t></is></c></row>)"},
    {"blanks, text and other elements between",
     "\n  <row r=\"1\">\n <c r=\"A1\"><v>1</v></c> stray <extLst><ext uri=\"x\"><y/></ext></extLst></row>\n"
     "stray\n<row r=\"3\"><c r=\"B3\" t=\"s\" ><v >1</v ></c ></row >",
     "<sst>\n<si>\n<t>a</t>\n</si> x <extLst/><si><t>b</t></si></sst>"},
    {"single quotes and blanks around =", R"(<row r = '4'><c r='A4' t = 's'><v>0</v></c></row>)"},
    {"prefixed names", R"(<x:row r="1"><x:c r="A1" x:t="s"><x:v>1</x:v></x:c></x:row><row x:r="2"><c x:r="B2"><v>2</v></c></row>)",
     "<x:sst xmlns:x=\"m\"><x:si><x:t>p</x:t></x:si><x:si><x:t>q</x:t></x:si></x:sst>"},
    {"comments, CDATA and processing instructions",
     R"(<row><!-- c --><c><v>1</v></c><c t="inlineStr"><is><t><![CDATA[<b>]]></t></is></c><?pi x?></row>)",
     "<sst><si><!--x--><t>a</t></si><si><t><![CDATA[c]]></t></si></sst>"},
    {"references in attributes", R"(<row r="&#49;"><c r="A1" t="&#115;"><v>1</v></c></row>)"},
    {"cells later in the row replacing earlier ones", R"(<row r="1"><c r="B1"><v>1</v></c><c r="B1"><v>2</v></c><c r="A1"><v>3</v></c></row>)"},
    {"a value with markup inside", R"(<row><c><v>1<b/>2</v></c></row>)"},
    {"a shared string that does not exist", R"(<row><c r="A1" t="s"><v>1</v></c><c r="B1" t="s"><v>3</v></c></row>)"},
    {"a number that is not one", R"(<row><c r="A1"><v>1</v></c><c r="B1"><v>1e999</v></c></row>)"},
    {"a boolean that is not one", R"(<row><c t="b"><v>yes</v></c></row>)"},
    {"an unknown type, with and without a value", R"(<row><c t="zz"/><c t="zz"><v>1</v></c></row>)"},
    {"a bad cell reference", R"(<row><c r="A0"><v>1</v></c></row>)"},
    {"a bad row number", R"(<row r="0"><c><v>1</v></c></row>)"},
    {"a row past the last", R"(<row r="1048576"/><row/>)"},
    {"cells past column XFD", R"(<row><c r="XFD1"/><c/></row>)"},
    {"an invalid reference in text", R"(<row><c t="inlineStr"><is><t>a&#;b</t></is></c></row>)"},
    {"an invalid reference in passed text", R"(<row><c>&#xZZ;<v>1</v></c></row>)"},
    {"a mismatched end tag", R"(<row><c><v>1</v></d></row>)"},
    {"an end tag with a prefix", R"(<row><c><v>1</v></x:c></row>)"},
    {"a stray end tag", R"(<row><c><v>1</v></c></row></row>)"},
    {"malformed tags", R"(<row><c r="A1"x="1"/><c r="B1" / ><c r=A1/></row>)"},
    {"a tag that starts nothing", R"(<row>< c/></row>)"},
    {"a question mark after a name", R"(<row?><c/></row>)"},
    {"deep elements in a cell", R"(<row><c><f><a><b><c><d><e><f><g><h><i><j><k><l><m><n><o><p><q/></p></o></n></m></l></k></j></i></h></g></f></e></d></c></b></a></f><v>1</v></c></row>)"},
    {"a truncated row", R"(<row><c><v>1</v></c><c t="s"><v>1)"},
    {"a truncated attribute", R"(<row r="1)"},
    {"the part ends after <", R"(<row><c/><)"},
    // In small pieces the XML reader meets the mismatched end tag before it
    // reads the piece with the NUL, in one piece the NUL first; a reading
    // with the scanner must read the part in the same pieces.
    {"a NUL past a fault", R"(<row><c t="s"><v>0</v></c></row>)",
     "<sst><si><t>a</t></si><si><r><rPr><b/></rPr><x>no end</y><t>" + std::string(40, 'p') +
         std::string("\0", 1) + "</t></r></si></sst>"},
};

std::string sheetPart(const std::string& rows)
{
    return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" + rows +
           "</sheetData></worksheet>";
}

TEST(ContentScanner, ReadsAndFailsAsTheXmlReader)
{
    for (const Case& c : kCases) {
        const std::string file = fixture::makeXlsxFromSheetXml(sheetPart(c.rows), c.strings);
        for (const size_t pieceSize : kPieceSizes) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(pieceSize));
            const xl::BookHandle general(xl::createXlsxBook(pieceSize, false));
            const xl::BookHandle scanned(xl::createXlsxBook(pieceSize));
            EXPECT_EQ(fixture::readingDifference(file, *general, *scanned), "");
        }
    }
}

TEST(ContentScanner, ReadsALongRowAndAPartOfManyPiecesAsTheXmlReader)
{
    // A row longer than any piece is left to the XML reader, and so is each
    // row that the edge of a piece cuts; the others are scanned.
    std::string rows;
    for (int row = 1; row <= 3000; ++row)
        rows += "<row r=\"" + std::to_string(row) + "\"><c t=\"s\"><v>" + std::to_string(row % 2) + "</v></c></row>";
    rows += "<row>";
    for (int col = 0; col < 16000; ++col)
        rows += "<c t=\"inlineStr\"><is><t>long row text</t></is></c>";
    rows += "</row><row><c><v>7</v></c></row>";
    const std::string file = fixture::makeXlsxFromSheetXml(sheetPart(rows), kStrings);
    for (const size_t pieceSize : {size_t(1000), xl::XmlReader::kPieceSize}) {
        SCOPED_TRACE(pieceSize);
        const xl::BookHandle general(xl::createXlsxBook(xl::XmlReader::kPieceSize, false));
        const xl::BookHandle scanned(xl::createXlsxBook(pieceSize));
        EXPECT_EQ(fixture::readingDifference(file, *general, *scanned), "");
    }
}

// The scanner itself, over a part in memory: what it takes.
struct PartReader {
    explicit PartReader(std::string text, size_t pieceSize = xl::XmlReader::kPieceSize)
        : bytes(std::move(text)),
          xml("part.xml",
              [this](char* out, size_t room) {
                  const size_t produced = std::min(room, bytes.size() - at);
                  std::memcpy(out, bytes.data() + at, produced);
                  at += produced;
                  return produced;
              },
              pieceSize)
    {
    }
    std::string bytes;
    size_t at = 0;
    xl::XmlReader xml;
};

TEST(ContentScanner, TakesWhatWritersWrite)
{
    // libxlsxwriter and Excel, then an inline-strings writer.
    PartReader part(sheetPart(R"(<row r="1" spans="1:2"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)"
                              "\n<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>Sketch &amp; 草图</t></is></c>"
                              "<c r=\"B2\" s=\"1\"><f>1+1</f><v>2</v></c></row>"));
    ASSERT_TRUE(part.xml.find("sheetData"));
    xl::ContentScanner scanner(part.xml, 2);
    std::vector<xl::ContentScanner::Cell> cells;
    int nextRow = 0;
    ASSERT_TRUE(scanner.row(nextRow, cells));
    EXPECT_EQ(nextRow, 1);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[1].position.col, 1);
    EXPECT_EQ(cells[1].value.what, xl::CellValue::What::SharedString);
    EXPECT_EQ(cells[1].value.index, 1u);
    ASSERT_TRUE(scanner.row(nextRow, cells));
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].value.text, "Sketch & 草图");
    EXPECT_EQ(cells[1].value.what, xl::CellValue::What::Number);
    EXPECT_EQ(cells[1].value.number, 2.0);
    EXPECT_FALSE(scanner.row(nextRow, cells)); // </sheetData>
    part.xml.next();
    EXPECT_EQ(part.xml.localName(), "sheetData");

    PartReader strings("<sst count=\"2\"><si><t>Extrude</t></si><si><r><t>Fil</t></r><r><t>let</t></r></si></sst>");
    ASSERT_TRUE(strings.xml.find("sst"));
    xl::ContentScanner stringScanner(strings.xml);
    std::string text;
    ASSERT_TRUE(stringScanner.sharedString(text));
    EXPECT_EQ(text, "Extrude");
    ASSERT_TRUE(stringScanner.sharedString(text));
    EXPECT_EQ(text, "Fillet");
    EXPECT_FALSE(stringScanner.sharedString(text));
}

TEST(ContentScanner, LeavesWhatItCannotReadExactlyHavingPassedNothing)
{
    // Rows of what it leaves, and a row that the end of the reader's window
    // cuts, which the XML reader reads on from the part.
    for (const auto& [row, pieceSize] :
         std::initializer_list<std::pair<const char*, size_t>>{{"<x:row/>", xl::XmlReader::kPieceSize},
                                                               {"<row><!--x--></row>", xl::XmlReader::kPieceSize},
                                                               {"<row r=\"&#49;\"/>", xl::XmlReader::kPieceSize},
                                                               {"<row><c><v>&#;</v></c></row>", xl::XmlReader::kPieceSize},
                                                               {"<row><c t=\"s\"><v>9</v></c></row>", xl::XmlReader::kPieceSize},
                                                               {"<row><c r=\"A0\"/></row>", xl::XmlReader::kPieceSize},
                                                               {"stray<row/>", xl::XmlReader::kPieceSize},
                                                               {"<row><c><v>1</v></c></row>", 100}}) {
        SCOPED_TRACE(row);
        PartReader part(sheetPart(row), pieceSize);
        ASSERT_TRUE(part.xml.find("sheetData"));
        xl::ContentScanner scanner(part.xml, 1);
        std::vector<xl::ContentScanner::Cell> cells;
        int nextRow = 5;
        const std::string before(part.xml.window());
        EXPECT_FALSE(scanner.row(nextRow, cells));
        EXPECT_EQ(nextRow, 5);
        EXPECT_EQ(std::string(part.xml.window()), before);
    }
}

} // namespace
