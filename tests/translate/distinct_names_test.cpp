// Which entries of a part take their new names, and the order they are set
// in, without a host: a table of parts, a host that keeps names distinct or
// accepts anything, and a fault at every set of a part with a ring.
#include "distinct_names.h"
#include "rename_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using Names = std::vector<std::optional<std::string>>;
using F = NameFate;

struct SettleCase {
    const char* what;
    Names names;
    std::vector<std::string> proposed;
    std::vector<NameFate> fates;
    std::vector<size_t> holders;   // per entry, looked at for NameTaken only
};

TEST(SettleNames, EveryKindOfCollision)
{
    const SettleCase cases[] = {
        {"no collision", {"Sketch1", "Extrude1"}, {"S1", "E1"}, {F::Renamed, F::Renamed}, {0, 0}},
        {"a kept name wins", {"Sketch1", "S1"}, {"S1", "S1"}, {F::NameTaken, F::Unchanged}, {1, 0}},
        {"two renamed to one name: the first wins", {"Sketch1", "Profile1", "Rib"}, {"X1", "X1", "Rib"},
         {F::Renamed, F::NameTaken, F::Unchanged}, {0, 0, 0}},
        {"a chain that frees a name", {"A1", "B1"}, {"B1", "C1"}, {F::Renamed, F::Renamed}, {0, 0}},
        {"a chain that ends on a kept name", {"A1", "B1", "C1"}, {"B1", "C1", "C1"},
         {F::NameTaken, F::NameTaken, F::Unchanged}, {1, 2, 0}},
        {"a ring of two", {"A1", "B1"}, {"B1", "A1"}, {F::Renamed, F::Renamed}, {0, 0}},
        {"a ring of three", {"A1", "B1", "C1"}, {"B1", "C1", "A1"}, {F::Renamed, F::Renamed, F::Renamed}, {0, 0, 0}},
        {"two equal names held before", {"X", "X"}, {"X", "X"}, {F::Unchanged, F::Unchanged}, {0, 0}},
        {"two equal names both to be renamed", {"S1", "S1"}, {"T1", "T1"}, {F::Renamed, F::NameTaken}, {0, 0}},
        {"an unreadable name takes no part", {std::nullopt, "S1"}, {"", "T1"}, {F::Unreadable, F::Renamed}, {0, 0}},
        {"a loser's old name that another was to take", {"T1", "S1", "U1"}, {"S1", "U1", "U1"},
         {F::NameTaken, F::NameTaken, F::Unchanged}, {1, 2, 0}},
    };
    for (const SettleCase& c : cases) {
        const std::vector<SettledName> settled = settleNames(c.names, c.proposed);
        ASSERT_EQ(settled.size(), c.fates.size()) << c.what;
        size_t taken = 0;
        for (size_t i = 0; i < settled.size(); ++i) {
            EXPECT_EQ(settled[i].fate, c.fates[i]) << c.what << ", entry " << i;
            if (c.fates[i] == F::NameTaken) {
                EXPECT_EQ(settled[i].holder, c.holders[i]) << c.what << ", entry " << i;
                ++taken;
            }
        }
        EXPECT_EQ(countNamesTaken(settled), taken) << c.what;
    }
}

// A part in a host of its own: names by entry, a host that keeps them
// distinct or not, a fault at the nth set.
struct FakePart {
    std::vector<std::string> names;
    bool distinct = false;
    int failAt = 0;   // 1-based; 0 fails none
    int sets = 0;
    bool set(size_t entry, const std::string& name)
    {
        if (++sets == failAt)
            return false;
        if (distinct)
            for (size_t other = 0; other < names.size(); ++other)
                if (other != entry && names[other] == name)
                    return false;
        names[entry] = name;
        return true;
    }
};

struct OrderCase {
    const char* what;
    std::vector<std::string> names;
    std::vector<std::string> proposed;
};

const OrderCase kOrderCases[] = {
    {"nothing waits", {"Sketch1", "Extrude1"}, {"S1", "E1"}},
    {"a name given up before it is taken", {"A1", "B1"}, {"B1", "C1"}},
    {"a chain of three the wrong way round", {"A1", "B1", "C1"}, {"B1", "C1", "D1"}},
    {"a ring of two", {"A1", "B1"}, {"B1", "A1"}},
    {"a ring of three", {"A1", "B1", "C1"}, {"B1", "C1", "A1"}},
    {"two rings and a bystander", {"A1", "B1", "Rib", "C1", "D1"}, {"B1", "A1", "Rib", "D1", "C1"}},
    {"a ring whose passing name is taken", {"A1", "Pelmora~1", "B1"}, {"B1", "Pelmora~1", "A1"}},
    {"a kept name and two equal names held before", {"X", "X", "S1"}, {"X", "X", "X"}},
};

// Runs a case as the history pass does: settle, then set every name.
std::vector<std::string> run(const OrderCase& c, FakePart& part, bool writeUnchanged)
{
    Names names(c.names.begin(), c.names.end());
    const std::vector<SettledName> settled = settleNames(names, c.proposed);
    std::vector<std::optional<std::string>> targets(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        if (settled[i].fate == F::Renamed)
            targets[i] = c.proposed[i];
        else if (writeUnchanged)
            targets[i] = c.names[i];
    }
    setNamesInOrder(names, targets, [&](size_t entry, const std::string& name) { return part.set(entry, name); });
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(*names[i], part.names[i]) << c.what << ": what the pass believes the entry holds";
    std::vector<std::string> expected;
    for (size_t i = 0; i < names.size(); ++i)
        expected.push_back(settled[i].fate == F::Renamed ? c.proposed[i] : c.names[i]);
    return expected;
}

TEST(SetNamesInOrder, BothHostsEndWithTheSameNames)
{
    for (const OrderCase& c : kOrderCases) {
        for (bool distinct : {false, true}) {
            for (bool writeUnchanged : {false, true}) {
                FakePart part{c.names, distinct};
                const std::vector<std::string> expected = run(c, part, writeUnchanged);
                EXPECT_EQ(part.names, expected) << c.what << (distinct ? ", distinct host" : "");
            }
        }
    }
}

// Whatever set fails, every entry ends with its new name or its old one,
// never a passing name, and no two entries share a name they did not share.
TEST(SetNamesInOrder, AFaultAtEverySetLeavesNoPassingNameAndNoNewPair)
{
    for (const OrderCase& c : kOrderCases) {
        for (bool distinct : {false, true}) {
            for (int failAt = 1; failAt <= 12; ++failAt) {
                FakePart part{c.names, distinct, failAt};
                const std::vector<std::string> expected = run(c, part, true);
                const std::string where = std::string(c.what) + ", fault at set " + std::to_string(failAt) +
                                          (distinct ? ", distinct host" : "");
                std::set<std::string> before(c.names.begin(), c.names.end());
                for (size_t i = 0; i < part.names.size(); ++i)
                    EXPECT_TRUE(part.names[i] == c.names[i] || part.names[i] == expected[i])
                        << where << ": entry " << i << " holds " << part.names[i];
                std::vector<std::string> sorted = part.names;
                std::sort(sorted.begin(), sorted.end());
                const bool pairs = std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
                EXPECT_EQ(pairs, before.size() < c.names.size()) << where;
            }
        }
    }
}

} // namespace
