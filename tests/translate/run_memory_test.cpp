// What a run remembers of the histories it left behind: digests that tell two
// histories apart whenever their ids or names differ, however the bytes are
// spread over the names, and that set an unreadable name apart from every
// name that could be read.
#include "run_memory.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct History {
    std::vector<int32_t> ids;
    std::vector<std::optional<std::string>> names;
};

HistoryDigest digestOf(const History& history) { return digestHistory(history.ids, history.names); }

TEST(HistoryDigest, DiffersWheneverTheHistoriesDiffer)
{
    const History base{{1, 2}, {"Extrude1", "Sketch1"}};
    const struct {
        const char* what;
        History other;
    } cases[] = {
        {"a name changed", {{1, 2}, {"Extrude1", "Sketch2"}}},
        {"an id changed", {{1, 3}, {"Extrude1", "Sketch1"}}},
        {"the entries in another order", {{2, 1}, {"Sketch1", "Extrude1"}}},
        {"the bytes spread over the names otherwise", {{1, 2}, {"Extrude1S", "ketch1"}}},
        {"one entry fewer", {{1}, {"Extrude1"}}},
        {"an empty name in place of an unreadable one", {{1, 2}, {"Extrude1", ""}}},
        {"an unreadable name", {{1, 2}, {"Extrude1", std::nullopt}}},
        {"a negative id with the same low bytes", {{1, -65534}, {"Extrude1", "Sketch1"}}},
    };
    for (const auto& c : cases)
        EXPECT_NE(digestOf(c.other), digestOf(base)) << c.what;
    EXPECT_EQ(digestOf(History{{1, 2}, {"Extrude1", "Sketch1"}}), digestOf(base));
}

TEST(HistoryDigest, AnEmptyHistoryAndAnEmptyNameAreNotTheSame)
{
    EXPECT_NE(digestOf(History{{}, {}}), digestOf(History{{0}, {""}}));
    EXPECT_NE(digestOf(History{{0}, {""}}), digestOf(History{{0}, {std::nullopt}}));
}

TEST(HistoryDigest, IdsWithoutNamesCountAsUnreadable)
{
    EXPECT_EQ(digestHistory(std::vector<int32_t>{7, 8}, std::vector<std::optional<std::string>>{"a"}),
              digestOf(History{{7, 8}, {"a", std::nullopt}}));
}

TEST(RunMemory, RemembersWhatItWasToldAndCountsTheNamesLeft)
{
    RunMemory run;
    const HistoryDigest renamed = digestOf(History{{1}, {"拉伸1"}});
    const HistoryDigest other = digestOf(History{{1}, {"Extrude1"}});
    EXPECT_FALSE(run.leftBehind(renamed));
    run.rememberLeftBehind(renamed);
    EXPECT_TRUE(run.leftBehind(renamed));
    EXPECT_FALSE(run.leftBehind(other));
    // Digests whose low halves meet are still told apart.
    const HistoryDigest sameLow{renamed.high + 1, renamed.low};
    EXPECT_FALSE(run.leftBehind(sameLow));

    EXPECT_EQ(run.namesNotWritable(), 0u);
    run.countNameNotWritable();
    run.countNameNotWritable();
    EXPECT_EQ(run.namesNotWritable(), 2u);
}

} // namespace
