// Text input read line by line: the same lines whatever pieces the input
// arrives in, lines too long to keep, and a failing read.
#include "text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The lines of `bytes` read in pieces of `piece` bytes: "N text" or "N text / fault".
std::vector<std::string> linesOf(const std::string& bytes, size_t piece)
{
    size_t at = 0;
    tools::TextLines lines([&](std::string& chunk, std::string&) {
        chunk = bytes.substr(at, piece);
        at += chunk.size();
        return true;
    });
    std::vector<std::string> seen;
    tools::TextLine line;
    while (lines.next(line))
        seen.push_back(std::to_string(line.number) + " " + line.text + (line.fault.empty() ? "" : " / " + line.fault));
    EXPECT_EQ(lines.error(), "");
    return seen;
}

TEST(TextLines, GivesTheSameLinesWhateverPiecesTheInputComesIn)
{
    const std::string utf8 = "\xEF\xBB\xBF" "Extrude1\r\n\xE6\x8B\x89\xE4\xBC\xB8" "2\n\nlast";
    std::string utf16be = "\xFE\xFF";
    for (const char16_t unit : std::u16string(u"Extrude1\r\n\u62C9\u4F38" "2\n\nlast")) {
        utf16be += static_cast<char>(unit >> 8);
        utf16be += static_cast<char>(unit & 0xFF);
    }
    const std::vector<std::string> expected = {"1 Extrude1", "2 \xE6\x8B\x89\xE4\xBC\xB8" "2", "3 ", "4 last"};
    for (const size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{65536}}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(linesOf(utf8, piece), expected);
        EXPECT_EQ(linesOf(utf16be, piece), expected);
    }
}

TEST(TextLines, CutsALineTooLongToKeepAndGoesOnAfterIt)
{
    const std::string longLine(tools::kMaxLineBytes + 10, 'x');
    const std::string cut = "2 " + std::string(tools::kMaxLineBytes, 'x') + " / it is longer than " +
                            std::to_string(tools::kMaxLineBytes) + " bytes, and was cut there";
    for (const size_t piece : {size_t{1000}, size_t{65536}, size_t{1} << 20}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(linesOf("a\n" + longLine + "\nb\n", piece), (std::vector<std::string>{"1 a", cut, "3 b"}));
        EXPECT_EQ(linesOf("a\n" + longLine, piece), (std::vector<std::string>{"1 a", cut}));
    }
}

TEST(TextLines, StopsWithTheReasonWhenTheInputCannotBeRead)
{
    int calls = 0;
    tools::TextLines lines([&](std::string& chunk, std::string& why) {
        if (calls++ == 0) {
            chunk = "one\ntw";
            return true;
        }
        why = "the disk is gone";
        return false;
    });
    tools::TextLine line;
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line.text, "one");
    EXPECT_FALSE(lines.next(line));
    EXPECT_EQ(lines.error(), "the disk is gone");
}

TEST(DecodeText, GivesUtf8WithLfOrSaysWhichLineIsNotText)
{
    std::string utf8;
    std::string error;
    EXPECT_TRUE(tools::decodeText(std::string("\xFF\xFE{\0\r\0\n\0}\0", 10), utf8, error));
    EXPECT_EQ(utf8, "{\n}\n");
    EXPECT_FALSE(tools::decodeText("{\n\"a\": \"\xC0\xAF\"}", utf8, error));
    EXPECT_EQ(error, "line 2: it is not valid UTF-8: byte 0xC0 at byte 7 of the line");
}

} // namespace
