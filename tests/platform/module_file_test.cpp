// The module's own file and the extension of a path: the two things start-up
// needs from the system to find the dictionary and choose its kind of book.
#include "module_file.h"
#include "native_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ModuleFile, ThePathNamesTheFileThatHoldsThisCode)
{
    const std::u16string path = ownModulePath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find(u"platform_test"), std::u16string::npos);
    EXPECT_NE(path.find(kPathSeparator), std::u16string::npos) << "a full path, not a bare name";
}

TEST(ModuleFile, TheExtensionIsTakenFromTheLastComponentOnly)
{
    const struct {
        std::u16string path;
        std::u16string extension;
    } cases[] = {
        {u"PelmoraConfig.xlsx", u".xlsx"},
        {u"dir\\PelmoraConfig.XLS", u".XLS"},
        {u"dir\\book.tar.xls", u".xls"},
        {u"dir.d\\book", u""},
        {u"dir\\book.", u"."},
        {u"book", u""},
        {u"", u""},
        {u"\u914D\u7F6E\\\u8BCD\u5178.xls", u".xls"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(findExtension(fixture::nativePath(c.path)), c.extension);
}

} // namespace
