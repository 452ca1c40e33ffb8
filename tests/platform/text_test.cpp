// Code-page conversions in both ANSI code pages.
#include "text.h"

#include "code_page.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

TEST(Text, GbkRoundTripsInCodePage936)
{
    IN_CODE_PAGE(936);
    EXPECT_EQ(narrowToWide("\xC4\xAC\xC8\xCF" "CSYS"), u"\u9ED8\u8BA4CSYS");
    EXPECT_EQ(wideToNarrow(u"\u9ED8\u8BA4CSYS"), "\xC4\xAC\xC8\xCF" "CSYS");
    EXPECT_EQ(wideToNarrow(u"\u62C9\u4F38"), "\xC0\xAD\xC9\xEC");
}

TEST(Text, Cp1252RoundTripsInCodePage1252)
{
    IN_CODE_PAGE(1252);
    EXPECT_EQ(narrowToWide("R\xFC" "cken\x80"), u"R\u00FCcken\u20AC");
    EXPECT_EQ(wideToNarrow(u"R\u00FCcken\u20AC"), "R\xFC" "cken\x80");
}

TEST(Text, WhatTheCodePageCannotHoldBecomesTheDefaultCharacter)
{
    IN_CODE_PAGE(1252);
    EXPECT_EQ(wideToNarrow(u"a\u62C9b"), "a?b");
}

TEST(Text, BytesThatBeginNoCharacterAreReplacedNotDropped)
{
    IN_CODE_PAGE(936);
    std::u16string wide = narrowToWide("a\xFF" "b\x81");
    ASSERT_GE(wide.size(), 3u);
    EXPECT_EQ(wide.front(), u'a');
    EXPECT_NE(wide.find(u'b'), std::u16string::npos);
}

// The Windows suite runs once per code page; this says which one a run is in.
TEST(Text, TheProcessRunsInTheCodePageItWasStartedFor)
{
    const char* expected = std::getenv("PELMORA_EXPECT_ACP");
    if (expected == nullptr)
        GTEST_SKIP() << "no code page was asked for";
    std::printf("ANSI code page of this run: %d\n", currentCodePage());
    EXPECT_EQ(currentCodePage(), std::atoi(expected));
}

TEST(Text, EmptyGivesEmpty)
{
    EXPECT_EQ(narrowToWide(""), u"");
    EXPECT_EQ(wideToNarrow(u""), "");
}

TEST(Text, Utf8AndUtf16)
{
    EXPECT_EQ(utf8ToUtf16("\xE6\x8B\x89 \xF0\x9F\x98\x80"), u"\u62C9 \U0001F600");
    EXPECT_EQ(utf16ToUtf8(u"\u62C9 \U0001F600"), "\xE6\x8B\x89 \xF0\x9F\x98\x80");
}

// Room too small for the text sends it to the spill string, whole.
TEST(Text, AConverterGivesTheSameTextInItsRoomOrBeyondIt)
{
    const std::pair<int, std::string> cases[] = {
        {936, "\xC0\xAD\xC9\xEC" "12_" "\xB2\xDD\xCD\xBC" "\x81"},
        {1252, "R\xFC" "cken\x80" "7"},
    };
    for (const auto& [codePage, narrow] : cases) {
        CodePageScope scope(codePage);
        if (!scope.active())
            continue;
        const CodePageConverter converter;
        for (size_t size : {size_t(0), size_t(3), narrow.size() - 1, narrow.size(), size_t(64)}) {
            std::vector<char16_t> room(size);
            std::u16string spill = u"stale";
            EXPECT_EQ(converter.toWide(narrow, room, spill), narrowToWide(narrow)) << codePage << ", room " << size;
        }
    }
}

TEST(Text, ConversionsWorkOnOtherThreads)
{
    IN_CODE_PAGE(936);
    std::u16string wide;
    std::thread([&] { wide = narrowToWide("\xC0\xAD\xC9\xEC"); }).join();
    EXPECT_EQ(wide, u"\u62C9\u4F38");
}

} // namespace
