// File text quoted in messages: well-formed, control characters made
// visible, long text cut between characters.
#include "common/quote.h"

#include <gtest/gtest.h>

namespace {

TEST(Quote, QuotesFileTextSafelyInMessages)
{
    EXPECT_EQ(xl::quoteForMessage("A0"), "A0");
    EXPECT_EQ(xl::quoteForMessage("a\nb\xC3\xA9"), "a\\x0Ab\xC3\xA9");
    EXPECT_EQ(xl::quoteForMessage("bad \xFF"), "bad \xEF\xBF\xBD");
    EXPECT_EQ(xl::quoteForMessage(std::string(100, 'z'), 5), "zzzzz...");
    EXPECT_EQ(xl::quoteForMessage("ab\xC3\xA9\xC3\xA9", 3), "ab\xC3\xA9...");
}

} // namespace
