// A dictionary kept as a legacy .xls workbook loads exactly as the same
// dictionary saved as .xlsx: the same markers, the same pairs, the same
// number texts.
#include "workbook_loader.h"

#include "dictionary_workbooks.h"
#include "temp_file.h"
#include "utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(BinaryWorkbook, LoadsTheSamePairsAsTheXmlWorkbook)
{
    fixture::TempFile xls(dictionaryAsXls(), "PelmoraConfig.xls");
    fixture::TempFile xlsx(dictionaryAsXlsx(), "PelmoraConfig.xlsx");
    TermDictionary fromXls;
    TermDictionary fromXlsx;
    const WorkbookRead xlsRead = readDictionaryWorkbook(fromXls, xls.path(), kStartMarker, kEndMarker);
    const WorkbookRead xlsxRead = readDictionaryWorkbook(fromXlsx, xlsx.path(), kStartMarker, kEndMarker);
    EXPECT_EQ(xlsRead.status, WorkbookStatus::Loaded) << xlsRead.openError;
    EXPECT_EQ(xlsxRead.status, WorkbookStatus::Loaded) << xlsxRead.openError;
    EXPECT_EQ(xlsRead.pairsEntered, xlsxRead.pairsEntered);

    EXPECT_EQ(fromXls.size(), 10u);
    EXPECT_EQ(fromXls.size(), fromXlsx.size());
    const std::u16string terms[] = {u"Extrude", u"\u62C9\u4F38", u"Sketch", u"\u8349\u56FE", u"Gear", u"12.5",
                                    u"0", u"tiny", u"kq_file_end", u"Near", u"Lonely", u"After", u"KQ_FILE_END"};
    for (const std::u16string& term : terms)
        EXPECT_EQ(fromXls.lookup(term), fromXlsx.lookup(term)) << xl::utf16ToUtf8(term);
    EXPECT_EQ(fromXls.lookup(u"Gear"), u"12.5");
    EXPECT_EQ(fromXls.lookup(u"0"), u"tiny");
}

} // namespace
