// Code-page conversions in both ANSI code pages.
#include "text.h"

#include "code_page.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
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

// The exact conversion gives what the code page holds as it is, and nothing
// for text that it would write with a '?' or a look-alike letter.
TEST(Text, TheExactConversionRefusesWhatTheCodePageCannotHold)
{
    struct Case {
        int codePage;
        std::u16string wide;
        std::optional<std::string> narrow;
    };
    const Case cases[] = {
        {1252, u"Sketch3", "Sketch3"},
        {1252, u"Gr\u00F6\u00DFe", "Gr\xF6\xDF" "e"},
        {1252, u"\u8349\u56FE", std::nullopt},          // 草图
        {1252, u"\u0100rm", std::nullopt},               // Ā, which Windows would write as A
        {1252, u"\U0001F600", std::nullopt},             // beyond the Basic Multilingual Plane
        {1252, u"What?", "What?"},
        {1252, u"", ""},
        {936, u"\u8349\u56FE", "\xB2\xDD\xCD\xBC"},
        {936, u"Gr\u00F6\u00DFe", std::nullopt},
        {936, u"\u00C5ngstr\u00F6m", std::nullopt},     // Å, a look-alike candidate
        {936, u"\U0001F600", std::nullopt},
        {936, u"\u62C9\u4F38" u"12_", "\xC0\xAD\xC9\xEC" "12_"},
    };
    for (const Case& c : cases) {
        CodePageScope scope(c.codePage);
        if (!scope.active())
            continue;
        EXPECT_EQ(wideToNarrowExact(c.wide), c.narrow) << c.codePage << " " << c.narrow.value_or("(none)");
        std::string out = "kept";
        EXPECT_EQ(CodePageConverter().appendNarrowExact(c.wide, out), c.narrow.has_value());
        EXPECT_EQ(out, "kept" + c.narrow.value_or(""));
    }
}

TEST(Text, TheCodePageHasANumberAndAName)
{
    for (int codePage : {936, 1252}) {
        CodePageScope scope(codePage);
        if (!scope.active())
            continue;
        EXPECT_EQ(systemCodePage(), codePage);
        EXPECT_EQ(systemCodePageName(), "code page " + std::to_string(codePage));
    }
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
