// The message front ends: levels, cuts at the buffer sizes, the error report.
#include "messages.h"

#include "sim_test.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

namespace sim = ostrelsim;

class Messages : public SimTest {};

TEST_F(Messages, PrintMessageCutsAt1023Bytes)
{
    const std::pair<size_t, size_t> cases[] = {{2000, 1023}, {1024, 1023}, {1023, 1023}, {1022, 1022}, {0, 0}};
    for (const auto& [length, shown] : cases) {
        sim::reset();
        printMessage("%s", std::string(length, 'm').c_str());
        ASSERT_EQ(sim::messages().size(), 1u);
        EXPECT_EQ(sim::messages()[0].text, std::string(shown, 'm')) << length;
        EXPECT_EQ(sim::messages()[0].level, 4);
    }
}

TEST_F(Messages, TheCutCountsBytesNotCharacters)
{
    // A double-byte character whose first byte is the 1023rd loses its second.
    std::string text = std::string(1022, 'a') + "\xC0\xAD" + "tail";
    printMessage("%s", text.c_str());
    EXPECT_EQ(sim::messages().at(0).text, std::string(1022, 'a') + "\xC0");
}

TEST_F(Messages, DisplayFormattedShowsAtTheGivenLevelAndCutsAt127Bytes)
{
    const std::pair<size_t, size_t> cases[] = {{127, 127}, {128, 127}, {500, 127}, {5, 5}};
    for (int level : {3, 4, 5}) {
        for (const auto& [length, shown] : cases) {
            sim::reset();
            displayFormatted(level, "%s", std::string(length, 'd').c_str());
            ASSERT_EQ(sim::messages().size(), 1u);
            EXPECT_EQ(sim::messages()[0].text.size(), shown);
            EXPECT_EQ(sim::messages()[0].level, level);
        }
    }
}

TEST_F(Messages, TheEditorShowsAtLevelsThreeAndFour)
{
    Ostrel_Editor::instance().printAtLevel3("show gui");
    Ostrel_Editor::instance().printAtLevel4("count = %d", 5);
    Ostrel_Editor::instance().printAtLevel4("%s", std::string(3000, 'e').c_str());
    auto shown = sim::messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "show gui");
    EXPECT_EQ(shown[0].level, 3);
    EXPECT_EQ(shown[1].text, "count = 5");
    EXPECT_EQ(shown[1].level, 4);
    EXPECT_EQ(shown[2].text, std::string(1023, 'e'));
}

TEST_F(Messages, TheEditorIsOneInstanceForEveryCallerAndThread)
{
    std::set<Ostrel_Editor*> seen;
    std::mutex mutex;
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            Ostrel_Editor* editor = &Ostrel_Editor::instance();
            std::lock_guard<std::mutex> lock(mutex);
            seen.insert(editor);
        });
    for (std::thread& thread : threads)
        thread.join();
    seen.insert(&Ostrel_Editor::instance());
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(Messages, ReportErrorShowsThreeLinesAndHandsTheCodeBack)
{
    sim::setErrorText(-7, "entity not found");
    EXPECT_EQ(report_error("src/x.cpp", 42, "hostDoSomething(a, b)", -7), -7);
    auto shown = sim::messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "*** ERROR code -7 at line 42 in src/x.cpp:\n");
    EXPECT_EQ(shown[1].text, "+++ entity not found\n");
    EXPECT_EQ(shown[2].text, "hostDoSomething(a, b);\n");
    for (const sim::Message& message : shown)
        EXPECT_EQ(message.level, 4);
    EXPECT_EQ(callTrace({"hostGetErrorText"}).size(), 1u);
}

TEST_F(Messages, ReportErrorWithCodeZeroShowsAndAsksNothing)
{
    EXPECT_EQ(report_error("f", 1, "call()", 0), 0);
    EXPECT_TRUE(sim::messages().empty());
    EXPECT_TRUE(callsTo("hostGetErrorText").empty());
}

TEST_F(Messages, AHostWithoutAnErrorTextStillGetsAReport)
{
    sim::failCall("hostGetErrorText", 0, -1);
    EXPECT_EQ(report_error("f", 1, "call()", 9), 9);
    auto shown = sim::messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].text, "+++ \n");
}

} // namespace
