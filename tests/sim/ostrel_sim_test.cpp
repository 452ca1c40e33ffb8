// The simulated host itself: how paths name objects, what a failed activation
// leaves, the arrays it tracks and the faults it can be told to make.
#include "ostrel_sim.h"

#include "sim_test.h"

#include <gtest/gtest.h>

namespace {

namespace sim = ostrelsim;

class Sim : public SimTest {};

EntityPath pathOf(std::initializer_list<int32_t> ids, int32_t count = -1)
{
    EntityPath path{};
    int i = 0;
    for (int32_t id : ids)
        path.ids[i++] = id;
    path.count = count < 0 ? i : count;
    return path;
}

TEST_F(Sim, PathsNameObjectsFromTheRootThroughOccurrences)
{
    int32_t r = addPart("R");
    int32_t a = addPart("A");
    int32_t a1 = addPart("A1");
    int32_t occA = sim::addComponent(r, a);
    int32_t occA1 = sim::addComponent(a, a1);

    EntityPath root{};
    ASSERT_EQ(hostPathToRoot(&root), 0);
    root.count = 2;
    const std::pair<EntityPath, int32_t> cases[] = {
        {root, r},
        {pathOf({r}), r},
        {pathOf({r, occA}), a},
        {pathOf({r, occA, occA1}), a1},
        {pathOf({r, occA, 0, 55}, 4), a},     // 0 ends the path
        {pathOf({r, occA1}), 0},              // not an occurrence inside R
        {pathOf({a}), 0},                     // does not start at the root
        {pathOf({r}, 0), 0},
        {pathOf({r}, 401), 0},
    };
    for (const auto& [path, object] : cases)
        EXPECT_EQ(sim::resolve(path), object) << sim::describe(path);
    EXPECT_EQ(sim::describe(pathOf({r, occA, occA1})), "/R/A/A1");
}

TEST_F(Sim, AFailedActivationKeepsTheActiveObjectAndStillFillsThePrevious)
{
    int32_t r = addPart("R");
    EntityPath nothing = pathOf({r, 999});
    EntityPath previous{};
    EXPECT_EQ(hostActivateEntity(&nothing, 0, 0, &previous), sim::STATUS_NO_SUCH_OBJECT);
    EXPECT_EQ(sim::resolve(previous), r);
    EXPECT_EQ(sim::activeObject(), r);
}

TEST_F(Sim, ListingsAreTrackedUntilReleased)
{
    int32_t r = addPart("R", {"Sketch1", "Sketch2"});
    sim::addComponent(r, addPart("A"));
    int32_t count = 0;
    int32_t* ids = nullptr;
    EntityPath* paths = nullptr;
    ASSERT_EQ(hostListHistory(0, &count, &ids), 0);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(hostListComponentPaths(0, 1, 1, &count, &paths), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(sim::outstandingArrays(), 2u);
    EXPECT_EQ(hostFreeMemory(&ids), 0);
    EXPECT_EQ(ids, nullptr);
    EXPECT_EQ(hostFreeMemory(&ids), 0) << "a null pointer is accepted";
    EXPECT_EQ(hostFreeMemory(&paths), 0);
    EXPECT_EQ(sim::outstandingArrays(), 0u);
}

TEST_F(Sim, NamesAreCutToTheBufferLikeAHost)
{
    int32_t r = addPart("R", {std::string(127, 'a'), std::string(200, 'b')});
    char buffer[128];
    auto ids = sim::history(r);
    ASSERT_EQ(hostGetEntityName(ids[0], buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), std::string(127, 'a'));
    ASSERT_EQ(hostGetEntityName(ids[1], buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), std::string(127, 'b'));
    sim::setNamesWithoutNul(true);
    ASSERT_EQ(hostGetEntityName(ids[1], buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(128, 'b'));
}

TEST_F(Sim, FaultsHitTheCallTheyNameAndNoOther)
{
    addPart("R");
    sim::failCall("hostSendCommand", 2, -8);
    EXPECT_EQ(hostSendCommand("one"), 0);
    EXPECT_EQ(hostSendCommand("two"), -8);
    EXPECT_EQ(hostSendCommand("three"), 0);
    EXPECT_EQ(sim::sentCommands(), (std::vector<std::string>{"one", "three"}));
    auto sent = callsTo("hostSendCommand");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].status, -8);
}

TEST_F(Sim, CommandsRunByName)
{
    static int runs = 0;
    runs = 0;
    ASSERT_EQ(hostRegisterCommand("Go", [] { return int32_t(++runs); }, 0.0), 0);
    int32_t result = 0;
    EXPECT_TRUE(sim::runCommand("Go", &result));
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(sim::runCommand("Stop"));
    EXPECT_EQ(hostUnregisterCommand("Go"), 0);
    EXPECT_FALSE(sim::isRegistered("Go"));
    EXPECT_EQ(hostUnregisterCommand("Go"), sim::STATUS_NO_SUCH_COMMAND);
}

} // namespace
