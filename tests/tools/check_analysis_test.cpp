// The analyses behind pelmora-dict, without the program around them: what
// check finds in a workbook, and what preview says of each name, in words and
// in codes.
#include "check_analysis.h"
#include "name_preview.h"

#include "code_page.h"
#include "utf8.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using fixture::FixtureCell;
using Rows = std::vector<std::vector<FixtureCell>>;

CheckReport check(const Rows& rows)
{
    std::string error;
    xl::BookHandle book = openWorkbookBytes(fixture::makeXlsx(rows), u"dictionary.xlsx", error);
    EXPECT_TRUE(book) << error;
    return book ? checkWorkbook(*book) : CheckReport{};
}

std::string utf8(const std::u16string& text) { return xl::utf16ToUtf8(text); }

bool warns(const CheckReport& report, const std::string& part)
{
    return std::any_of(report.warnings.begin(), report.warnings.end(),
                       [&](const Warning& warning) { return warning.text.find(part) != std::string::npos; });
}

TEST(CheckAnalysis, BytesOpenAsTheBookThatTheNameAsksForOrSayWhyNot)
{
    const std::string xlsx = fixture::makeXlsx({{"KQ_FILE_START"}, {"Cut", "Trim"}, {"KQ_FILE_END"}});
    std::string error;
    EXPECT_TRUE(openWorkbookBytes(xlsx, u"dictionary.xlsx", error)) << error;
    EXPECT_TRUE(openWorkbookBytes(xlsx, u"-", error)) << "without an extension, the XML book";
    EXPECT_FALSE(openWorkbookBytes(xlsx, u"dictionary.XLS", error)) << "the binary book reads no zip";
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(openWorkbookBytes("not a workbook", u"dictionary.xlsx", error));
    EXPECT_FALSE(error.empty());
}

TEST(CheckAnalysis, StartMarkersThatNearlyMatchAreNamedWithWhy)
{
    Rows rows = {{" KQ_FILE_START "}, {"Kq_File_Start"}, {"kq_file_start\t"}, {"KQ_FILE_STAR"}};
    rows.resize(120);
    rows.push_back({"KQ_FILE_START"});
    const CheckReport report = check(rows);
    EXPECT_FALSE(report.loads());
    std::vector<std::string> misses;
    for (const NearMiss& miss : report.nearMisses)
        misses.push_back(std::to_string(miss.row) + " " + miss.code + ": " + miss.why);
    EXPECT_EQ(misses, (std::vector<std::string>{
                          "0 blanks-around: has blanks around it", "1 other-case: is in another case",
                          "2 other-case-and-blanks: is in another case and has blanks around it",
                          "120 past-last-row: is past row 101, the last row the plug-in looks in"}));
    EXPECT_TRUE(warns(report, "no start marker KQ_FILE_START in A1:A101"));
    EXPECT_EQ(report.warnings[0].code, "no-start-marker");
}

// The plug-in finds no marker and says so; check says where it stands instead.
TEST(CheckAnalysis, AStartMarkerInAnotherColumnIsNamedWithItsCell)
{
    const CheckReport report = check({{"Dictionary"}, {"", "", "KQ_FILE_START"}, {"Cut", "Trim"}, {"KQ_FILE_END"}});
    EXPECT_FALSE(report.loads());
    EXPECT_TRUE(warns(report, "no start marker KQ_FILE_START in A1:A101"));
    EXPECT_TRUE(warns(report, "KQ_FILE_START stands in C2 of the first sheet, but the plug-in looks in column A only"));
    EXPECT_FALSE(warns(check({{"KQ_FILE_START"}, {"Cut", "Trim"}, {"KQ_FILE_END"}}), "stands in"));
    EXPECT_FALSE(warns(check({{"Dictionary"}, {"Cut", "Trim"}}), "stands in"));
}

// The wrong sheet first: the plug-in reads the first sheet only.
TEST(CheckAnalysis, AStartMarkerOnAnotherSheetIsNamedWithItsSheet)
{
    const auto rowXml = [](int row, std::string_view text) {
        return "<row r=\"" + std::to_string(row) + "\"><c r=\"A" + std::to_string(row) +
               "\" t=\"inlineStr\"><is><t>" + std::string(text) + "</t></is></c></row>";
    };
    std::vector<fixture::ZipEntry> parts = fixture::xlsxParts(fixture::worksheetXml(rowXml(1, "Notes")));
    const auto add = [&](std::string_view part, std::string_view before, std::string_view text) {
        std::string& xml = fixture::entryNamed(parts, part).data;
        xml.insert(xml.find(before), text);
    };
    add("xl/workbook.xml", "</sheets>", "<sheet name=\"Terms\" sheetId=\"2\" r:id=\"rId9\"/>");
    add("xl/_rels/workbook.xml.rels", "</Relationships>",
        "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "worksheet\" Target=\"worksheets/sheet2.xml\"/>");
    add("[Content_Types].xml", "</Types>",
        "<Override PartName=\"/xl/worksheets/sheet2.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>");
    parts.push_back({"xl/worksheets/sheet2.xml",
                     fixture::worksheetXml(rowXml(1, "Terms") + rowXml(2, "KQ_FILE_START") + rowXml(3, "KQ_FILE_END"))});
    std::string error;
    xl::BookHandle book = openWorkbookBytes(fixture::buildZip(parts), u"dictionary.xlsx", error);
    ASSERT_TRUE(book) << error;
    const CheckReport report = checkWorkbook(*book);
    EXPECT_FALSE(report.loads());
    EXPECT_TRUE(warns(report, "KQ_FILE_START stands in A2 of sheet 2, but the plug-in reads the first sheet only"));
}

TEST(CheckAnalysis, AnEndMarkerThatNearlyMatchesCountsOnlyWhenThereIsNone)
{
    const CheckReport without = check({{"KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_END "}, {"C", "D"}});
    EXPECT_TRUE(without.loads());
    ASSERT_EQ(without.nearMisses.size(), 1u);
    EXPECT_EQ(without.nearMisses[0].row, 2);
    EXPECT_TRUE(warns(without, "no end marker KQ_FILE_END"));

    const CheckReport with = check({{"KQ_FILE_START"}, {"kq_file_end"}, {"KQ_FILE_END"}});
    EXPECT_TRUE(with.nearMisses.empty());
}

TEST(CheckAnalysis, SkippedRowsConflictsAndChains)
{
    const CheckReport report = check({{"KQ_FILE_START"},
                                      {"Cut", "Slice"},
                                      {"Hole"},
                                      {},
                                      {"", "Lonely"},
                                      {"Cut", "Trim"},
                                      {"Pocket", "Groove"},
                                      {"Groove", "Channel"},
                                      {"KQ_FILE_END"}});
    EXPECT_EQ(report.load.read.pairsEntered, 4);
    EXPECT_EQ(report.blankRows, 1);
    ASSERT_EQ(report.skipped.size(), 2u);
    EXPECT_EQ(report.skipped[0].row, 2);
    EXPECT_EQ(report.skipped[0].emptyCol, 1);
    EXPECT_EQ(report.skipped[1].emptyCol, 0);

    // Groove is entered twice too: once as Pocket's counterpart, once with its own.
    ASSERT_EQ(report.conflicts.size(), 2u);
    EXPECT_EQ(report.conflicts[1].term, u"Groove");
    EXPECT_EQ(report.conflicts[0].term, u"Cut");
    EXPECT_EQ(report.conflicts[0].wins, u"Trim");
    EXPECT_EQ(report.conflicts[0].counterparts.size(), 2u);

    std::vector<std::string> chains;
    for (const Chain& chain : report.chains)
        chains.push_back(utf8(chain.term) + ">" + utf8(chain.counterpart) + ">" + utf8(chain.then));
    EXPECT_EQ(chains, (std::vector<std::string>{"Slice>Cut>Trim", "Pocket>Groove>Channel"}));
    EXPECT_TRUE(warns(report, "row 3 is skipped: B3 is empty"));
    EXPECT_TRUE(warns(report, "\"Trim\" wins, the last one entered"));
}

TEST(CheckAnalysis, TermsThatNoNameCanHoldSayWhy)
{
    IN_CODE_PAGE(1252);
    const CheckReport report = check({{"KQ_FILE_START"},
                                      {"Hole2", "Bore"},
                                      {" Boss", "Lug"},
                                      {"\xE2\x80\x8B", "Ghost"},
                                      {"Cut", "\xE5\x88\x87\xE9\x99\xA4"},
                                      {"KQ_FILE_END"}});
    std::vector<std::string> found;
    for (const Unmatchable& term : report.unmatchable)
        found.push_back(std::to_string(term.row) + "," + std::to_string(term.col) + " " + term.code + " " +
                        term.why.substr(0, 20));
    EXPECT_EQ(found, (std::vector<std::string>{"1,0 holds-digit holds a digit, so it", "2,0 blank-at-edge begins or ends with ",
                                               "3,0 looks-empty looks empty: it hold",
                                               "4,1 unwritable cannot be written in"}));
    // Terms of another script are summed up in one warning, not one each.
    EXPECT_TRUE(warns(report, "1 term cannot be written in code page 1252: no name holds them here, and names that "
                              "would take them as counterparts stay as they are: B5 \"\xE5\x88\x87\xE9\x99\xA4\""));
}

TEST(CheckAnalysis, TermsInBothColumnsAndColumnsTheWrongWayRound)
{
    struct Case {
        const char* what;
        Rows rows;
        std::vector<std::string> inBoth;   // term cellA cellB
        bool reversed;
    };
    const Case cases[] = {
        {"a clean dictionary", {{"KQ_FILE_START"}, {"Cut", "\xE5\x88\x87"}, {"KQ_FILE_END"}}, {}, false},
        {"a chain and a row with one term twice",
         {{"KQ_FILE_START"}, {"Pocket", "Groove"}, {"Groove", "\xE6\xA7\xBD"}, {"CSYS", "CSYS"}, {"KQ_FILE_END"}},
         {"Groove A3 B2", "CSYS A4 B4"},
         false},
        {"Chinese in column A", {{"KQ_FILE_START"}, {"\xE5\x88\x87", "Cut"}, {"KQ_FILE_END"}}, {}, true},
        {"Chinese in both", {{"KQ_FILE_START"}, {"\xE5\x88\x87", "\xE6\xA7\xBD"}, {"KQ_FILE_END"}}, {}, false},
    };
    for (const Case& c : cases) {
        const CheckReport report = check(c.rows);
        std::vector<std::string> inBoth;
        for (const InBothColumns& term : report.inBothColumns)
            inBoth.push_back(utf8(term.term) + " A" + std::to_string(term.rowA + 1) + " B" + std::to_string(term.rowB + 1));
        EXPECT_EQ(inBoth, c.inBoth) << c.what;
        EXPECT_EQ(report.columnsReversed, c.reversed) << c.what;
        EXPECT_EQ(warns(report, "would run backwards"), c.reversed) << c.what;
        EXPECT_EQ(warns(report, "PelmoraToChinese and PelmoraToEnglish keep it as it is"), !c.inBoth.empty()) << c.what;
    }
}

// The previews of the lines of `names`, read as the program reads a file:
// twice, each reading from the start.
std::vector<NamePreview> previewNames(const std::string& names, const NamingRule& rule)
{
    int readings = 0;
    const OpenLines open = [&](std::string&) {
        ++readings;
        return std::make_unique<tools::TextLines>([&names, given = false](std::string& chunk, std::string&) mutable {
            chunk = given ? "" : names;
            given = true;
            return true;
        });
    };
    std::vector<NamePreview> previews;
    std::string error;
    EXPECT_TRUE(previewLines(open, rule, [&](const NamePreview& name) { previews.push_back(name); }, error)) << error;
    EXPECT_EQ(readings, 2);
    return previews;
}

TEST(NamePreview, EachNameWithItsNewNameOrWhyItStays)
{
    IN_CODE_PAGE(936);
    TermDictionary dictionary;
    dictionary.set(u"Extrude", u"\u62C9\u4F38");
    dictionary.set(u"\u62C9\u4F38", u"Extrude");
    dictionary.set(u"Sketch", u"\u8349\u56FE");
    const std::vector<NamePreview> previews = previewNames(
        "Extrude12_Sketch\r\n\n\xE6\x8B\x89\xE4\xBC\xB8" "3\nBracket\nFoo3\n3D\nExtrude_Sketch3\nExtrude1_\n"
        "Gear \xF0\x9F\x98\x80" "1\nbad \xFF" "1\nDefault CSYS",
        dictionary);
    std::vector<std::string> lines;
    for (const NamePreview& name : previews)
        lines.push_back(std::to_string(name.line) + " " + name.newName.value_or("-") + (name.changed ? " *" : "") +
                        (name.why.empty() ? "" : " / " + name.code + ": " + name.why));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "1 \xE6\x8B\x89\xE4\xBC\xB8" "12_\xE8\x8D\x89\xE5\x9B\xBE *",
                         "3 Extrude3 *",
                         "4 Bracket / no-digit: it holds no digit, so there is no number to split it at",
                         "5 Foo3 / no-counterpart: \"Foo\" has no counterpart",
                         "6 3D / no-leading-term: it starts with its number, so there is no leading term",
                         "7 Extrude_Sketch3 / no-underscore-after-digit: it has a '_' before its first digit but "
                         "none after it",
                         "8 Extrude1_ / no-second-term: nothing follows the '_', so there is no second term",
                         "9 - / name-not-writable: the name cannot be written in code page 936",
                         "10 - / invalid-text: it is not valid UTF-8: byte 0xFF at byte 5 of the line",
                         "11 \xE9\xBB\x98\xE8\xAE\xA4" "CSYS *",
                     }));
    EXPECT_EQ(previews[0].pattern, "term, number, '_', term");
    EXPECT_EQ(previews[1].pattern, "term and number");
    EXPECT_EQ(previews.back().pattern, "coordinate system");
    EXPECT_EQ(previews[8].name, "bad \xEF\xBF\xBD" "1");
}

TEST(NamePreview, SaysWhenTheCodePageCannotHoldTheCounterpart)
{
    IN_CODE_PAGE(1252);
    TermDictionary dictionary;
    dictionary.set(u"Extrude", u"\u62C9\u4F38");
    dictionary.set(u"Sketch", u"Profile");
    const std::vector<NamePreview> previews = previewNames("Extrude3_Sketch\nSketch4\n", dictionary);
    ASSERT_EQ(previews.size(), 2u);
    EXPECT_EQ(previews[0].newName, "Extrude3_Sketch");
    EXPECT_FALSE(previews[0].changed);
    EXPECT_EQ(previews[0].why, "the counterpart \"\xE6\x8B\x89\xE4\xBC\xB8\" cannot be written in code page 1252, so "
                               "the plug-in leaves the name as it is");
    EXPECT_EQ(previews[1].newName, "Profile4");
}

// The lines are one part's names: a new name that another line ends with is
// not given, and the reason names that line; "Default CSYS" stays in 1252.
TEST(NamePreview, NamesAnotherLineEndsWithAreTaken)
{
    IN_CODE_PAGE(1252);
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    dictionary.set(u"Sketch", u"Caotu");
    dictionary.set(u"Caotu", u"Sketch");
    columns.enterRow(u"Sketch", u"Caotu");
    // A line that is no name keeps its place among them.
    const std::vector<NamePreview> previews =
        previewNames("Sketch1\n\xFF\nCaotu1\nDefault CSYS\n", NamingRule(columns, Direction::ToColumnB));
    ASSERT_EQ(previews.size(), 4u);
    EXPECT_EQ(previews[0].newName, "Sketch1");
    EXPECT_FALSE(previews[0].changed);
    EXPECT_EQ(previews[0].code, "name-taken");
    EXPECT_EQ(previews[0].why, "line 3 (\"Caotu1\") ends with the new name \"Caotu1\", so the plug-in leaves the name "
                               "as it is");
    EXPECT_EQ(previews[1].line, 2u);
    EXPECT_EQ(previews[1].code, "invalid-text");
    EXPECT_EQ(previews[2].code, "already-in-target");
    EXPECT_EQ(previews[3].newName, "Default CSYS");
    EXPECT_EQ(previews[3].code, "counterpart-not-writable");
    // Swapped, the two trade names: nothing is taken.
    const std::vector<NamePreview> swapped = previewNames("Sketch1\nCaotu1\n", dictionary);
    EXPECT_EQ(swapped[0].newName, "Caotu1");
    EXPECT_EQ(swapped[1].newName, "Sketch1");
}

} // namespace
