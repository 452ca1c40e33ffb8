// Reads every .xlsx file of the shared corpus through the XML book and
// compares columns A and B of rows 0 to 150 of the first sheet with what an
// established reader recorded in expected/<file>.json. Where that reader is
// not the truth, the table below says what is expected instead, and why.
#include "corpus.h"
#include "utf8.h"
#include "book_comparison.h"
#include "xlbook.h"
#include "xlsx/xlsx_book.h"

#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

fs::path pathFromUtf8(std::string_view utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Name(const fs::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

constexpr int kLastComparedRow = 150;

enum class Handling {
    Record,        // the record as it is
    EscapesMeant,  // the record, but its texts with _xHHHH_ escapes as meant (meantText)
    OtherRecord,   // the record of another file (`detail`)
    DateAsText,    // t="d" cells read as their ISO text, not serial numbers
    SpotCells,     // no record; the cells listed in kSpotCells
    MustFail,      // load fails, with a message containing `detail`
};

struct Difference {
    const char* file;
    Handling handling;
    const char* detail;
    const char* reason;
};

const Difference kDifferences[] = {
    {"xlsxwriter__optimize06.xlsx", Handling::EscapesMeant, "",
     "the reference reader keeps _xHHHH_ escapes of control characters; Excel shows the characters"},
    {"calamine__has_x000D_.xlsx", Handling::EscapesMeant, "", "_x000D_ before a newline is a CR"},
    {"calamine__has_x000D_inline.xlsx", Handling::EscapesMeant, "", "the same escape in an inline string"},
    {"poi__60289.xlsx", Handling::EscapesMeant, "", "a lower-case _x000d_ escape"},
    {"poi__SampleSS.strict.xlsx", Handling::OtherRecord, "poi__SampleSS.xlsx",
     "the reference reader sees no sheets in Strict files; this one has the transitional file's first sheet"},
    {"phpspreadsheet__explicitdate.xlsx", Handling::DateAsText, "",
     "t=\"d\" cells hold ISO 8601 text, which this layer hands out as text"},
    {"calamine__minimal_package.xlsx", Handling::SpotCells, "", "parts at the package root"},
    {"sheetjs__wtf_path.xlsx", Handling::SpotCells, "", "parts under wtf/, found through the relationships"},
    {"exceldatareader__Test_git_issue_301_IgnoreCase.xlsx", Handling::SpotCells, "",
     "part names differ in case from the relationship targets"},
    {"phpspreadsheet__Zip-Windows-Directory-Separator.xlsx", Handling::SpotCells, "",
     "zip entry names with backslashes"},
    {"sheetjs__xlsx-stream-d-date-cell.xlsx", Handling::SpotCells, "", "t=\"d\" cells, which the reference reader fails on"},
    {"poi__style-alternate-content.xlsx", Handling::SpotCells, "", "x:-prefixed parts, which the reference reader fails on"},
    {"calamine__issue252.xlsx", Handling::MustFail, "zip entry 'xl/_rels/workbook.xml.rels'",
     "damaged deflate data in a relationship part"},
    {"exceldatareader__EmptyZipFile.xlsx", Handling::MustFail, "_rels/.rels: part is missing",
     "a zip without workbook parts"},
    {"exceldatareader__agile_AES256_SHA512_CBC_pwd_password.xlsx", Handling::MustFail, "OLE compound document",
     "a password-protected workbook"},
    {"poi__poc-xmlbomb.xlsx", Handling::MustFail, "document type declaration", "an entity bomb in the shared strings"},
    {"poi__54764-2.xlsx", Handling::MustFail, "document type declaration", "entity bombs in several parts"},
};

// Cells of the files without a usable record, read off their sheet XML.
struct SpotCell {
    const char* file;
    int row;
    int col;
    int type;
    const char* text; // for strings
    double number;    // for numbers
};

const SpotCell kSpotCells[] = {
    {"calamine__minimal_package.xlsx", 0, 0, xl::CELLTYPE_STRING, "ARREST BOOKINGS for 01/30/17", 0},
    {"calamine__minimal_package.xlsx", 1, 0, xl::CELLTYPE_STRING, "  ", 0},
    {"calamine__minimal_package.xlsx", 2, 1, xl::CELLTYPE_STRING, "BKG_DT", 0},
    {"sheetjs__wtf_path.xlsx", 0, 1, xl::CELLTYPE_NUMBER, "", 2},
    {"sheetjs__wtf_path.xlsx", 1, 0, xl::CELLTYPE_BOOLEAN, "", 0},
    {"sheetjs__wtf_path.xlsx", 2, 0, xl::CELLTYPE_STRING, "foo    bar", 0},
    {"exceldatareader__Test_git_issue_301_IgnoreCase.xlsx", 0, 0, xl::CELLTYPE_STRING, "col1", 0},
    {"exceldatareader__Test_git_issue_301_IgnoreCase.xlsx", 0, 1, xl::CELLTYPE_EMPTY, "", 0},
    {"exceldatareader__Test_git_issue_301_IgnoreCase.xlsx", 2, 1, xl::CELLTYPE_STRING, "10x12", 0},
    {"phpspreadsheet__Zip-Windows-Directory-Separator.xlsx", 0, 0, xl::CELLTYPE_STRING, "Key ID", 0},
    {"phpspreadsheet__Zip-Windows-Directory-Separator.xlsx", 1, 1, xl::CELLTYPE_STRING,
     "mail_SPDR35Removal_title_032023", 0},
    {"sheetjs__xlsx-stream-d-date-cell.xlsx", 0, 1, xl::CELLTYPE_STRING, "てすと", 0},
    {"sheetjs__xlsx-stream-d-date-cell.xlsx", 2, 1, xl::CELLTYPE_NUMBER, "", 1.5},
    {"sheetjs__xlsx-stream-d-date-cell.xlsx", 3, 1, xl::CELLTYPE_BOOLEAN, "", 0},
    {"sheetjs__xlsx-stream-d-date-cell.xlsx", 4, 1, xl::CELLTYPE_STRING, "2014-02-14T08:27:48.765Z", 0},
    {"poi__style-alternate-content.xlsx", 0, 0, xl::CELLTYPE_BLANK, "", 0},
    {"poi__style-alternate-content.xlsx", 1, 0, xl::CELLTYPE_STRING, "사이버서당 무상 콘텐츠 이용 신청서", 0},
    {"poi__style-alternate-content.xlsx", 6, 1, xl::CELLTYPE_STRING, "성명", 0},
    {"poi__style-alternate-content.xlsx", 10, 0, xl::CELLTYPE_NUMBER, "", 1},
};

struct EscapedText {
    const char* file;
    int row;
    int col;
    const char* meant;
};

const EscapedText kEscapedTexts[] = {
    {"calamine__has_x000D_.xlsx", 0, 0, "ABC\r\nDEF"},
    {"calamine__has_x000D_inline.xlsx", 0, 0, "ABC\r\nDEF"},
    {"poi__60289.xlsx", 1, 1, "Rich Text\r\nTest"},
};

// The text that Excel shows for a recorded text with escapes, written out
// here rather than decoded by the code under test.
std::optional<std::string> meantText(const std::string& file, int row, int col)
{
    if (file == "xlsxwriter__optimize06.xlsx" && col == 0) {
        // Row r holds the character r; readStr ends at the NUL of row 0.
        return row == 0 ? std::string() : std::string(1, static_cast<char>(row));
    }
    for (const EscapedText& text : kEscapedTexts)
        if (file == text.file && row == text.row && col == text.col)
            return text.meant;
    return std::nullopt;
}

const Difference* differenceFor(const std::string& file)
{
    for (const Difference& difference : kDifferences)
        if (file == difference.file)
            return &difference;
    return nullptr;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string describe(xl::Sheet& sheet, int row, int col)
{
    switch (sheet.cellType(row, col)) {
    case xl::CELLTYPE_NUMBER: return "number " + std::to_string(sheet.readNum(row, col));
    case xl::CELLTYPE_STRING: return "string '" + xl::utf16ToUtf8(sheet.readStr(row, col)) + "'";
    default: return "type " + std::to_string(sheet.cellType(row, col));
    }
}

void compareWithRecord(xl::Sheet& sheet, const std::string& file, const Json& record, Handling handling)
{
    const auto cells = record.find("cells");
    ASSERT_TRUE(cells != record.end() && cells->is_array());
    std::vector<bool> recorded((kLastComparedRow + 1) * 2, false);
    for (const Json& cell : *cells) {
        const int row = cell.at("row").get<int>();
        const int col = cell.at("col").get<int>();
        const std::string type = cell.at("type").get<std::string>();
        const Json& value = cell.at("value");
        recorded[row * 2 + col] = true;
        SCOPED_TRACE("row " + std::to_string(row) + ", column " + std::to_string(col) + ": we read " +
                     describe(sheet, row, col));
        if (handling == Handling::DateAsText && cell.contains("iso")) {
            // The recorded ISO text is Python's; the file's own text starts
            // with the same date.
            ASSERT_EQ(sheet.cellType(row, col), xl::CELLTYPE_STRING);
            const std::string text = xl::utf16ToUtf8(sheet.readStr(row, col));
            EXPECT_EQ(text.substr(0, 10), cell.at("iso").get<std::string>().substr(0, 10));
        } else if (type == "number") {
            EXPECT_EQ(sheet.cellType(row, col), xl::CELLTYPE_NUMBER);
            EXPECT_EQ(sheet.readNum(row, col), value.get<double>());
        } else if (type == "string") {
            ASSERT_EQ(sheet.cellType(row, col), xl::CELLTYPE_STRING);
            const char16_t* text = sheet.readStr(row, col);
            ASSERT_NE(text, nullptr);
            std::string expected = value.get<std::string>();
            if (handling == Handling::EscapesMeant && expected.find("_x") != std::string::npos) {
                const std::optional<std::string> meant = meantText(file, row, col);
                ASSERT_TRUE(meant) << "the meaning of '" << expected << "' is not listed";
                expected = *meant;
            }
            EXPECT_EQ(xl::utf16ToUtf8(text), expected);
        } else if (type == "boolean") {
            EXPECT_EQ(sheet.cellType(row, col), xl::CELLTYPE_BOOLEAN);
            EXPECT_EQ(sheet.readStr(row, col), nullptr);
        } else {
            ASSERT_EQ(type, "error");
            EXPECT_EQ(sheet.cellType(row, col), xl::CELLTYPE_ERROR);
            EXPECT_EQ(sheet.readStr(row, col), nullptr);
        }
    }
    // What the record leaves out is empty: no cell, a blank cell, or a
    // formula whose text result is empty.
    for (int row = 0; row <= kLastComparedRow; ++row) {
        for (int col = 0; col < 2; ++col) {
            if (recorded[row * 2 + col])
                continue;
            SCOPED_TRACE("row " + std::to_string(row) + ", column " + std::to_string(col) + ": we read " +
                         describe(sheet, row, col));
            const int type = sheet.cellType(row, col);
            const char16_t* text = sheet.readStr(row, col);
            EXPECT_TRUE(type == xl::CELLTYPE_EMPTY || type == xl::CELLTYPE_BLANK ||
                        (type == xl::CELLTYPE_STRING && text && !*text));
        }
    }
}

void checkSpotCells(xl::Sheet& sheet, const std::string& file)
{
    int checked = 0;
    for (const SpotCell& spot : kSpotCells) {
        if (file != spot.file)
            continue;
        ++checked;
        SCOPED_TRACE("row " + std::to_string(spot.row) + ", column " + std::to_string(spot.col) + ": we read " +
                     describe(sheet, spot.row, spot.col));
        EXPECT_EQ(sheet.cellType(spot.row, spot.col), spot.type);
        if (spot.type == xl::CELLTYPE_STRING && sheet.cellType(spot.row, spot.col) == xl::CELLTYPE_STRING) {
            EXPECT_EQ(std::u16string(sheet.readStr(spot.row, spot.col)), xl::utf8ToUtf16(spot.text));
        }
        if (spot.type == xl::CELLTYPE_NUMBER) {
            EXPECT_EQ(sheet.readNum(spot.row, spot.col), spot.number);
        }
    }
    EXPECT_GT(checked, 0) << "no spot cells listed";
}

class CorpusFile : public testing::TestWithParam<std::string> {};

TEST_P(CorpusFile, FirstSheetMatchesTheRecordOrTheListedDifference)
{
    const std::string file = GetParam();
    const Difference* difference = differenceFor(file);
    SCOPED_TRACE(difference ? std::string("differs on purpose: ") + difference->reason : "no listed difference");

    const xl::BookHandle book(xl::xlCreateXMLBookW());
    ASSERT_NE(book, nullptr);
    const std::u16string path = (fixture::corpusFolder() / "xlsx" / pathFromUtf8(file)).u16string();
    const bool loaded = book->load(path.c_str());

    const Handling handling = difference ? difference->handling : Handling::Record;
    if (handling == Handling::MustFail) {
        EXPECT_FALSE(loaded);
        EXPECT_NE(std::string(book->errorMessage()).find(difference->detail), std::string::npos)
            << book->errorMessage();
        EXPECT_EQ(book->getSheet(0), nullptr);
        return;
    }
    ASSERT_TRUE(loaded) << book->errorMessage();
    EXPECT_STREQ(book->errorMessage(), "");
    xl::Sheet* sheet = book->getSheet(0);
    ASSERT_NE(sheet, nullptr);
    if (handling == Handling::SpotCells) {
        checkSpotCells(*sheet, file);
        return;
    }

    const std::string recordFile = handling == Handling::OtherRecord ? difference->detail : file;
    const Json record =
        Json::parse(readFile(fixture::corpusFolder() / "expected" / pathFromUtf8(recordFile + ".json")), nullptr,
                    false);
    ASSERT_FALSE(record.is_discarded()) << recordFile << ".json is not JSON";
    ASSERT_FALSE(record.contains("error")) << "the record has no cells, but the file is not in the table";
    compareWithRecord(*sheet, file, record, handling);
}

// The cells of the first sheet (its first 1000 rows and its last, in the
// first 64 columns) the same whether the parts are read whole or a byte at a
// time; or the same failure.
TEST_P(CorpusFile, ReadsTheSameWhenReadAByteAtATime)
{
    const std::u16string path = (fixture::corpusFolder() / "xlsx" / pathFromUtf8(GetParam())).u16string();
    const xl::BookHandle whole(xl::xlCreateXMLBookW());
    const xl::BookHandle inPieces(xl::createXlsxBook(1));
    const bool loaded = whole->load(path.c_str());
    ASSERT_EQ(inPieces->load(path.c_str()), loaded);
    EXPECT_STREQ(inPieces->errorMessage(), whole->errorMessage());
    if (!loaded)
        return;
    xl::Sheet& expected = *whole->getSheet(0);
    xl::Sheet& sheet = *inPieces->getSheet(0);
    ASSERT_EQ(sheet.lastRow(), expected.lastRow());
    std::vector<int> rows;
    for (int row = 0; row < std::min(expected.lastRow(), 1000); ++row)
        rows.push_back(row);
    rows.push_back(expected.lastRow() - 1);
    for (const int row : rows) {
        for (int col = 0; col < 64; ++col) {
            SCOPED_TRACE("row " + std::to_string(row) + ", column " + std::to_string(col));
            ASSERT_EQ(sheet.cellType(row, col), expected.cellType(row, col));
            ASSERT_EQ(sheet.readNum(row, col), expected.readNum(row, col));
            const char16_t* text = sheet.readStr(row, col);
            const char16_t* expectedText = expected.readStr(row, col);
            ASSERT_EQ(text == nullptr, expectedText == nullptr);
            if (text) {
                ASSERT_EQ(std::u16string_view(text), std::u16string_view(expectedText));
            }
        }
    }
}

// Every sheet read with the scanner of rows and shared strings as through
// the XML reader alone, whole and in pieces of 3 bytes: the same cells, or
// the same failure.
TEST_P(CorpusFile, ReadsTheSameWithTheScannerAsThroughTheXmlReaderAlone)
{
    const std::string file = readFile(fixture::corpusFolder() / "xlsx" / pathFromUtf8(GetParam()));
    for (const size_t pieceSize : {size_t(3), xl::XmlReader::kPieceSize}) {
        SCOPED_TRACE(pieceSize);
        const xl::BookHandle general(xl::createXlsxBook(xl::XmlReader::kPieceSize, false));
        const xl::BookHandle scanned(xl::createXlsxBook(pieceSize));
        EXPECT_EQ(fixture::readingDifference(file, *general, *scanned), "");
    }
}

std::vector<std::string> corpusFiles()
{
    std::vector<std::string> files;
    for (const fs::path& entry : fixture::corpusEntries("xlsx"))
        files.push_back(utf8Name(entry));
    return files;
}

std::string testName(const testing::TestParamInfo<std::string>& info)
{
    std::string name;
    for (const char c : info.param)
        name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Xlsx, CorpusFile, testing::ValuesIn(corpusFiles()), testName);

TEST(Corpus, HasTheFilesItDescribes)
{
    const std::vector<std::string> files = corpusFiles();
    EXPECT_EQ(files.size(), 67u);
    for (const Difference& difference : kDifferences)
        EXPECT_NE(std::find(files.begin(), files.end(), difference.file), files.end()) << difference.file;
}

} // namespace
