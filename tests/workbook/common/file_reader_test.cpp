// Opening workbook files: what a book says when the file is not there, in
// plain English whatever the locale, for both kinds of book.
#include "code_page.h"
#include "xlbook.h"

#include <gtest/gtest.h>

namespace {

TEST(FileReader, AMissingFileIsNamedInPlainEnglishInTheChineseSetting)
{
    IN_CODE_PAGE(936);
    for (xl::Book* (*create)() : {&xl::xlCreateXMLBookW, &xl::xlCreateBookW}) {
        xl::BookHandle book(create());
        ASSERT_FALSE(book->load(u"/no/such/folder/PelmoraConfig.xlsx", nullptr));
        std::string message = book->errorMessage();
        EXPECT_NE(message.find("cannot open '/no/such/folder/PelmoraConfig.xlsx': no such file"), std::string::npos)
            << message;
        for (unsigned char c : message)
            EXPECT_LT(c, 0x80) << message;
    }
}

TEST(FileReader, AnEmptyPathIsRefused)
{
    for (xl::Book* (*create)() : {&xl::xlCreateXMLBookW, &xl::xlCreateBookW}) {
        xl::BookHandle book(create());
        EXPECT_FALSE(book->load(u"", nullptr));
        EXPECT_EQ(std::string(book->errorMessage()), "no workbook path given");
    }
}

} // namespace
