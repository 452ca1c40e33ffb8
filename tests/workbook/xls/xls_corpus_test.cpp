// The binary book against real .xls files: for each corpus file, the first
// sheet's columns A and B must read as xlrd (an established reader) saw them,
// recorded by scripts/record-xls-expected.py into expected/. Files that
// this book refuses on purpose are listed with the reason.
#include "corpus.h"
#include "temp_file.h"
#include "utf8.h"
#include "xlbook.h"
#include "xls_fixture.h"

#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A corpus .xls file's path as Book::load takes it.
std::u16string corpusFile(const std::string& file)
{
    return (fixture::corpusFolder() / "xls" / file).u16string();
}
const std::string kExpected = PELMORA_SOURCE_DIR "/tests/workbook/xls/expected/";

// The corpus files that fail to load, with a part of the message and why.
struct Refusal {
    const char* file;
    const char* messagePart;
    const char* reason;
};
const Refusal kRefusals[] = {
    {"calamine__too_small.xls", "not an .xls workbook", "a text file; xlrd fails too"},
    {"exceldatareader__Test_git_issue_242_std_rc4_pwd_password.xls", "encrypted", "RC4-encrypted; xlrd fails too"},
    // A BIFF5 workbook, XOR-obfuscated as well: the older format is what stops it here.
    {"exceldatareader__Test_git_issue_242_xor_pwd_password.xls", "BIFF5", "xlrd fails too (encrypted)"},
    {"phpspreadsheet__oleloop.xls", "loops", "a sector chain that loops; xlrd fails too"},
    {"phpspreadsheet__pr.4687.excel.badendian.xls", "byte-order mark", "big-endian mark; xlrd fails too"},
    {"exceldatareader__as3xls_BIFF2.xls", "BIFF2", "xlrd reads Excel 2.x files; only BIFF8 is read here"},
    {"exceldatareader__as3xls_BIFF5.xls", "BIFF5", "xlrd reads Excel 5.0/95 files; only BIFF8 is read here"},
    {"exceldatareader__Test_git_issue_231_NoCodePage.xls", "BIFF5", "as above (a BIFF5 file without code page)"},
    {"phpspreadsheet__maccentraleurope.biff5.xls", "BIFF5", "as above (a BIFF5 file in Mac code page 10029)"},
};

const Refusal* refusalOf(const std::string& file)
{
    for (const auto& refusal : kRefusals) {
        if (file == refusal.file)
            return &refusal;
    }
    return nullptr;
}

nlohmann::json readExpected(const std::string& file)
{
    std::ifstream in(kExpected + file + ".json", std::ios::binary);
    if (!in)
        throw std::runtime_error("no expectation recorded for " + file + ": run scripts/record-xls-expected.py");
    std::stringstream text;
    text << in.rdbuf();
    try {
        return nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::exception& error) {
        throw std::runtime_error(file + ".json: " + error.what());
    }
}

std::vector<std::string> corpusFiles()
{
    std::vector<std::string> files;
    for (const fs::path& entry : fixture::corpusEntries("xls")) {
        if (entry.extension() == ".xls")
            files.push_back(entry.filename().string());
    }
    return files;
}

xl::CellType typeNamed(const std::string& name)
{
    if (name == "number")
        return xl::CELLTYPE_NUMBER;
    if (name == "string")
        return xl::CELLTYPE_STRING;
    if (name == "boolean")
        return xl::CELLTYPE_BOOLEAN;
    if (name == "error")
        return xl::CELLTYPE_ERROR;
    if (name == "blank")
        return xl::CELLTYPE_BLANK;
    throw std::runtime_error("unknown cell type " + name);
}

class XlsCorpusTest : public testing::TestWithParam<std::string> {};

TEST_P(XlsCorpusTest, FirstSheetReadsAsTheReferenceSawIt)
{
    const std::string& file = GetParam();
    const nlohmann::json expected = readExpected(file);
    xl::BookHandle book(xl::xlCreateBookW());
    ASSERT_TRUE(book);
    const bool loaded = book->load(corpusFile(file).c_str());

    if (const Refusal* refusal = refusalOf(file)) {
        EXPECT_FALSE(loaded) << refusal->reason;
        EXPECT_NE(std::string(book->errorMessage()).find(refusal->messagePart), std::string::npos)
            << "message: " << book->errorMessage();
        EXPECT_EQ(book->getSheet(0), nullptr);
        return;
    }
    ASSERT_FALSE(expected.contains("error"))
        << "xlrd could not read this file but it loads here; list it in kRefusals or explain";
    ASSERT_TRUE(loaded) << book->errorMessage();
    EXPECT_STREQ(book->errorMessage(), "");
    xl::Sheet* sheet = book->getSheet(0);
    ASSERT_NE(sheet, nullptr);

    const int rows = expected.at("nrows").get<int>();
    EXPECT_EQ(sheet->lastRow(), rows);
    std::map<std::pair<int, int>, const nlohmann::json*> cells;
    for (const nlohmann::json& cell : expected.at("cells"))
        cells[{cell.at("row").get<int>(), cell.at("col").get<int>()}] = &cell;

    // The recording covers rows 0 to 150 and the last row.
    std::vector<int> checkedRows;
    for (int row = 0; row < std::min(rows, 151); ++row)
        checkedRows.push_back(row);
    if (rows > 151)
        checkedRows.push_back(rows - 1);
    for (int row : checkedRows) {
        for (int col = 0; col < 2; ++col) {
            SCOPED_TRACE("row " + std::to_string(row) + ", column " + std::to_string(col));
            const auto it = cells.find({row, col});
            if (it == cells.end()) {
                EXPECT_EQ(sheet->cellType(row, col), xl::CELLTYPE_EMPTY);
                continue;
            }
            const nlohmann::json& cell = *it->second;
            const xl::CellType type = typeNamed(cell.at("type").get<std::string>());
            ASSERT_EQ(sheet->cellType(row, col), type);
            if (type == xl::CELLTYPE_NUMBER) {
                EXPECT_EQ(sheet->readNum(row, col), cell.at("value").get<double>());
            } else if (type == xl::CELLTYPE_STRING) {
                const char16_t* text = sheet->readStr(row, col);
                ASSERT_NE(text, nullptr);
                EXPECT_EQ(xl::utf16ToUtf8(text), cell.at("value").get<std::string>());
            } else {
                EXPECT_EQ(sheet->readStr(row, col), nullptr);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, XlsCorpusTest, testing::ValuesIn(corpusFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : info.param)
                                 name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
                             return name;
                         });

TEST(XlsCorpus, EveryFileHasAnExpectation)
{
    const auto files = corpusFiles();
    EXPECT_EQ(files.size(), 22u);
    for (const auto& file : files)
        EXPECT_TRUE(fs::exists(kExpected + file + ".json")) << file << ": run scripts/record-xls-expected.py";
}

// The path reaches the file system intact: UTF-16 turned into UTF-8 on
// Linux, handed to the wide open call on Windows.
TEST(XlsCorpus, LoadsFromAPathOutsideTheAnsiCodePage)
{
    std::ifstream in(fs::path(corpusFile("xlrd__formula_test_sjmachin.xls")), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const fixture::TempFile file(bytes.str(), "\xE3\x83\x96\xE3\x83\x83\xE3\x82\xAF \xD0\xA4\xD0\xBE\xD1\x80\xD0\xBC "
                                              "\xC3\xA9\xE8\xA1\xA8.xls");
    xl::BookHandle book(xl::xlCreateBookW());
    ASSERT_TRUE(book->load(file.path().c_str())) << book->errorMessage();
    EXPECT_EQ(xl::utf16ToUtf8(book->getSheet(0)->readStr(1, 1)),
              "\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0");
}

TEST(XlsCorpus, AMissingFileFailsNamingIt)
{
    xl::BookHandle book(xl::xlCreateBookW());
    EXPECT_FALSE(book->load(corpusFile("no-such-file.xls").c_str()));
    EXPECT_NE(std::string(book->errorMessage()).find("no-such-file.xls"), std::string::npos) << book->errorMessage();
}

} // namespace
