// A dictionary kept as a legacy .xls workbook loads exactly as the same
// dictionary saved as .xlsx: the same markers, the same pairs, the same
// number texts.
#include "workbook_loader.h"

#include "dictionary_workbooks.h"
#include "sim_test.h"
#include "temp_file.h"
#include "text.h"

#include <gtest/gtest.h>

namespace {

class BinaryWorkbook : public SimTest {};

TEST_F(BinaryWorkbook, LoadsTheSamePairsAsTheXmlWorkbook)
{
    fixture::TempFile xls(dictionaryAsXls(), "PelmoraConfig.xls");
    fixture::TempFile xlsx(dictionaryAsXlsx(), "PelmoraConfig.xlsx");
    TermDictionary fromXls;
    TermDictionary fromXlsx;
    EXPECT_EQ(loadDictionaryInto(fromXls, xls.path(), u"KQ_FILE_START", u"KQ_FILE_END"), 1);
    EXPECT_EQ(loadDictionaryInto(fromXlsx, xlsx.path(), u"KQ_FILE_START", u"KQ_FILE_END"), 1);
    EXPECT_TRUE(ostrelsim::messages().empty());

    EXPECT_EQ(fromXls.size(), 10u);
    EXPECT_EQ(fromXls.size(), fromXlsx.size());
    const std::u16string terms[] = {u"Extrude", u"\u62C9\u4F38", u"Sketch", u"\u8349\u56FE", u"Gear", u"12.5",
                                    u"0", u"tiny", u"kq_file_end", u"Near", u"Lonely", u"After", u"KQ_FILE_END"};
    for (const std::u16string& term : terms)
        EXPECT_EQ(fromXls.lookup(term), fromXlsx.lookup(term)) << utf16ToUtf8(term);
    EXPECT_EQ(fromXls.lookup(u"Gear"), u"12.5");
    EXPECT_EQ(fromXls.lookup(u"0"), u"tiny");
}

} // namespace
