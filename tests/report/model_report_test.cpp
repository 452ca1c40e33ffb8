// The report's workbook without a host: a model with more history entries
// than a sheet has rows goes on in "Names 2", "Names 3", ..., each under a
// header of its own, with no entry lost or written twice. A sheet's real
// limit is a million rows; the report is made with a few, which takes the
// same turn.
#include "model_report.h"

#include "workbook_loader.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string cellText(xl::Sheet& sheet, int row, int col)
{
    const char16_t* text = sheet.readStr(row, col);
    return text ? xl::utf16ToUtf8(text) : std::string();
}

TEST(ModelReport, EntriesPastASheetsLastRowGoOnInTheNextNamesSheet)
{
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    constexpr size_t kRowsPerSheet = 4;   // the header and three entries
    ModelReport report(columns, kRowsPerSheet);
    int32_t id = 0;
    for (const char* part : {"Housing", "Cover"}) {
        std::vector<int32_t> ids;
        std::vector<std::optional<std::string>> names;
        for (int i = 0; i < 4; ++i) {
            ids.push_back(++id);
            names.push_back("Step" + std::to_string(id));
        }
        report.addPart(part, ids, names);
    }
    EXPECT_EQ(report.counts().entries, 8u);

    std::string error;
    xl::BookHandle book = openWorkbookBytes(report.finish(), u"PelmoraReport.xlsx", error);
    ASSERT_TRUE(book) << error;
    ASSERT_NE(book->getSheet(0), nullptr) << "Missing terms";
    std::vector<std::string> rows;
    for (int index = 1; xl::Sheet* sheet = book->getSheet(index); ++index) {
        EXPECT_EQ(cellText(*sheet, 0, 0), "Part") << "sheet " << index + 1 << " has a header";
        EXPECT_LE(sheet->lastRow(), static_cast<int>(kRowsPerSheet));
        for (int row = 1; row < sheet->lastRow(); ++row)
            rows.push_back(std::to_string(index) + " " + cellText(*sheet, row, 0) + " " +
                           std::to_string(static_cast<int>(sheet->readNum(row, 1))) + " " + cellText(*sheet, row, 2));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"1 Housing 1 Step1", "1 Housing 2 Step2", "1 Housing 3 Step3",
                                              "2 Housing 4 Step4", "2 Cover 5 Step5", "2 Cover 6 Step6",
                                              "3 Cover 7 Step7", "3 Cover 8 Step8"}));
}

} // namespace
