// The module's own file: what start-up needs from the system to find the
// dictionary beside it.
#include "module_file.h"

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

} // namespace
