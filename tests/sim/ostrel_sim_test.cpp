// The simulated host itself: how paths name objects, that every occurrence of
// a definition is one object, what a failed activation leaves, the arrays it
// tracks and the faults it can be told to make.
#include "ostrel_sim.h"

#include "model_file.h"

#include "sim_test.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>

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

// What the host lists inside the object at `path`, made active for it.
std::vector<EntityPath> componentPathsIn(const EntityPath& path)
{
    EXPECT_EQ(hostActivateEntity(&path, 0, 0, nullptr), 0);
    int32_t count = 0;
    EntityPath* paths = nullptr;
    EXPECT_EQ(hostListComponentPaths(0, 1, 1, &count, &paths), 0);
    std::vector<EntityPath> listed(paths, paths + count);
    hostFreeMemory(&paths);
    return listed;
}

// The history of the object at `path` as the host lists it, by name.
std::vector<std::string> historyThrough(const EntityPath& path, std::vector<int32_t>& ids)
{
    EXPECT_EQ(hostActivateEntity(&path, 0, 0, nullptr), 0);
    int32_t count = 0;
    int32_t* listed = nullptr;
    EXPECT_EQ(hostListHistory(0, &count, &listed), 0);
    ids.assign(listed, listed + count);
    hostFreeMemory(&listed);
    std::vector<std::string> names;
    for (int32_t id : ids) {
        char name[64];
        EXPECT_EQ(hostGetEntityName(id, name, sizeof name), 0);
        names.push_back(name);
    }
    return names;
}

TEST_F(Sim, EveryOccurrenceOfADefinitionIsTheOneObject)
{
    ASSERT_TRUE(sim::readModel(R"({"name": "R",
        "components": [{"use": "Bolt"}, {"name": "A", "components": [{"use": "Bolt"}]}, {"use": "Bolt"}],
        "definitions": {"Bolt": {"history": ["Cut1", "Chamfer1"]}}})").ok);
    std::vector<EntityPath> top = componentPathsIn(pathOf({sim::root()}));
    ASSERT_EQ(top.size(), 3u);
    std::vector<EntityPath> inA = componentPathsIn(top[1]);
    ASSERT_EQ(inA.size(), 1u);
    const EntityPath occurrences[] = {top[0], inA[0], top[2]};
    const int32_t bolt = sim::resolve(top[0]);
    for (const EntityPath& occurrence : occurrences)
        EXPECT_EQ(sim::resolve(occurrence), bolt) << sim::describe(occurrence);
    EXPECT_EQ(sim::describe(inA[0]), "/R/A/Bolt");

    std::vector<int32_t> ids;
    historyThrough(top[2], ids);
    ASSERT_EQ(hostSetEntityName(ids[0], "Trim1"), 0);
    for (const EntityPath& occurrence : occurrences) {
        std::vector<int32_t> seen;
        EXPECT_EQ(historyThrough(occurrence, seen), (std::vector<std::string>{"Trim1", "Chamfer1"}));
        EXPECT_EQ(seen, ids);
    }
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

// A host that keeps names distinct refuses a name another entry of the same
// object holds, with its own status and text; other objects, and an entry's
// own name, are no hindrance. A host that does not accepts anything.
TEST_F(Sim, DistinctNamesRefuseANameAnotherEntryOfTheObjectHolds)
{
    int32_t r = addPart("R", {"Sketch1", "Extrude1"});
    int32_t other = addPart("Other", {"Rib1"});
    const std::vector<int32_t> ids = sim::history(r);
    const int32_t rib = sim::history(other)[0];
    EXPECT_FALSE(sim::distinctNames());
    sim::setDistinctNames(true);
    EXPECT_EQ(hostSetEntityName(ids[0], "Extrude1"), sim::STATUS_NAME_TAKEN);
    EXPECT_STREQ(hostGetErrorText(sim::STATUS_NAME_TAKEN), "another entry of the object holds the name");
    EXPECT_EQ(hostSetEntityName(ids[0], "Sketch1"), 0);
    EXPECT_EQ(hostSetEntityName(rib, "Extrude1"), 0);
    EXPECT_EQ(historyNames(r), (std::vector<std::string>{"Sketch1", "Extrude1"}));
    sim::setDistinctNames(false);
    EXPECT_EQ(hostSetEntityName(ids[0], "Extrude1"), 0);
    EXPECT_EQ(historyNames(r), (std::vector<std::string>{"Extrude1", "Extrude1"}));
    sim::reset();
    EXPECT_FALSE(sim::distinctNames());
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

TEST_F(Sim, AnActivationIsRecordedWithThePathAsPassed)
{
    int32_t r = addPart("R");
    int32_t occA = sim::addComponent(r, addPart("A"));
    EntityPath everyId{};
    everyId.count = ENTITY_PATH_MAX_IDS;
    for (int i = 0; i < ENTITY_PATH_MAX_IDS; ++i)
        everyId.ids[i] = i + 1;
    EntityPath zeroAtTheEnd = everyId;
    zeroAtTheEnd.ids[ENTITY_PATH_MAX_IDS - 1] = 0;
    EntityPath negativeCount = pathOf({r, occA});
    negativeCount.count = -3;
    const EntityPath paths[] = {
        pathOf({r, occA}),
        pathOf({r, occA, 0, 55}, 4),       // ids after a 0 are kept
        pathOf({r, 0, 0, -9}, 2),          // and those past the count
        pathOf({r}, 2),
        pathOf({}, 0),
        negativeCount,
        everyId,
        zeroAtTheEnd,
    };
    for (const EntityPath& path : paths)
        hostActivateEntity(&path, 0, 0, nullptr);
    hostActivateEntity(nullptr, 0, 0, nullptr);

    auto activations = callsTo("hostActivateEntity");
    ASSERT_EQ(activations.size(), std::size(paths) + 1);
    for (size_t i = 0; i < std::size(paths); ++i) {
        ASSERT_TRUE(activations[i].path) << i;
        EXPECT_EQ(std::memcmp(activations[i].path.get(), &paths[i], sizeof(EntityPath)), 0) << i;
    }
    EXPECT_FALSE(activations.back().path);
    EXPECT_EQ(activations.back().subject, "?");
}

TEST_F(Sim, RecordsAfterClearCallsAreTheNewCallsAlone)
{
    int32_t r = addPart("R", {"Sketch1"});
    EntityPath root = pathOf({r});
    hostSendCommand("before");
    hostActivateEntity(&root, 0, 0, nullptr);
    sim::clearCalls();
    EXPECT_TRUE(sim::calls().empty());
    hostSetEntityName(sim::history(r)[0], "Profile1");
    hostActivateEntity(&root, 1, 2, nullptr);
    EXPECT_EQ(callTrace(), (std::vector<std::string>{"hostSetEntityName Profile1", "hostActivateEntity /R"}));
    auto activation = callsTo("hostActivateEntity").at(0);
    EXPECT_EQ(activation.values, (std::vector<int64_t>{1, 2, 0}));
    ASSERT_TRUE(activation.path);
    EXPECT_EQ(activation.path->count, 1);
}

TEST_F(Sim, IdsThatNameNoHistoryEntryHaveNoName)
{
    int32_t r = addPart("R", {"Sketch1"});
    int32_t occurrence = sim::addComponent(r, addPart("A"));
    char buffer[16];
    for (int32_t id : {-1, 0, r, occurrence, occurrence + 1, INT32_MAX}) {
        EXPECT_EQ(hostGetEntityName(id, buffer, sizeof buffer), sim::STATUS_NO_SUCH_ENTITY) << id;
        EXPECT_EQ(hostSetEntityName(id, "x"), sim::STATUS_NO_SUCH_ENTITY) << id;
        EXPECT_THROW(sim::entityName(id), std::out_of_range) << id;
    }
    EXPECT_EQ(historyNames(r), std::vector<std::string>{"Sketch1"});
}

TEST_F(Sim, OperationsAreNamedAsInTheHostApi)
{
    EXPECT_THROW(sim::failCall("hostSendCommands", 1, -1), std::invalid_argument);
    EXPECT_THROW(sim::setListing("ListHistory", sim::Listing::NullArray), std::invalid_argument);
    EXPECT_NO_THROW(sim::setListing("hostListHistory", sim::Listing::NullArray));
}

constexpr int32_t kFault = -77;

int32_t doNothing() { return 0; }

// An operation made while every call of it fails with kFault, and what it
// must have left alone.
struct FaultedOperation {
    const char* op;
    void (*callAndCheck)();
};

void PrintTo(const FaultedOperation& operation, std::ostream* out) { *out << operation.op; }

class FaultedCall : public SimTest, public ::testing::WithParamInterface<FaultedOperation> {};

TEST_P(FaultedCall, AnswersTheFaultRecordsItAndChangesNothing)
{
    int32_t r = addPart("R", {"Sketch1"});
    sim::addComponent(r, addPart("A"));
    ASSERT_EQ(hostRegisterCommand("Go", doNothing, 0.0), 0);
    char form[] = "Form";
    ASSERT_EQ(hostCreateForm(form, 0), 0);
    sim::setFormEntities(7, {r});
    sim::setUserActionStatus(3);
    sim::clearCalls();
    sim::failCall(GetParam().op, 0, kFault);

    GetParam().callAndCheck();
    std::vector<sim::Call> recorded = sim::calls();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].op, GetParam().op);
    EXPECT_EQ(recorded[0].status, kFault);
    EXPECT_EQ(sim::outstandingArrays(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryOperationButTheRelease, FaultedCall, ::testing::Values(
    FaultedOperation{"hostRegisterCommand", [] {
        EXPECT_EQ(hostRegisterCommand("New", doNothing, 0.0), kFault);
        EXPECT_FALSE(sim::isRegistered("New"));
    }},
    FaultedOperation{"hostUnregisterCommand", [] {
        EXPECT_EQ(hostUnregisterCommand("Go"), kFault);
        EXPECT_TRUE(sim::isRegistered("Go"));
    }},
    FaultedOperation{"hostSendCommand", [] {
        EXPECT_EQ(hostSendCommand("Go"), kFault);
        EXPECT_TRUE(sim::sentCommands().empty());
    }},
    FaultedOperation{"hostPathToRoot", [] {
        EntityPath path{};
        EXPECT_EQ(hostPathToRoot(&path), kFault);
        EXPECT_EQ(path.count, 0);
    }},
    FaultedOperation{"hostActivateEntity", [] {
        EntityPath child{};
        child.count = 2;
        child.ids[0] = sim::root();
        child.ids[1] = sim::objects()[1] + 1;   // ids are drawn in turn: A's occurrence came right after A
        EntityPath previous{};
        EXPECT_EQ(hostActivateEntity(&child, 0, 0, &previous), kFault);
        EXPECT_EQ(previous.count, 0);
        EXPECT_EQ(sim::activeObject(), sim::root());
    }},
    FaultedOperation{"hostListComponentPaths", [] {
        int32_t count = 5;
        EntityPath* paths = nullptr;
        EXPECT_EQ(hostListComponentPaths(0, 1, 1, &count, &paths), kFault);
        EXPECT_EQ(count, 5);
        EXPECT_EQ(paths, nullptr);
    }},
    FaultedOperation{"hostListHistory", [] {
        int32_t count = 5;
        int32_t* ids = nullptr;
        EXPECT_EQ(hostListHistory(0, &count, &ids), kFault);
        EXPECT_EQ(count, 5);
        EXPECT_EQ(ids, nullptr);
    }},
    FaultedOperation{"hostGetEntityName", [] {
        char buffer[16] = "untouched";
        EXPECT_EQ(hostGetEntityName(sim::history(sim::root())[0], buffer, sizeof buffer), kFault);
        EXPECT_STREQ(buffer, "untouched");
    }},
    FaultedOperation{"hostSetEntityName", [] {
        EXPECT_EQ(hostSetEntityName(sim::history(sim::root())[0], "Profile1"), kFault);
        EXPECT_EQ(historyNames(sim::root()), std::vector<std::string>{"Sketch1"});
    }},
    FaultedOperation{"hostGetUserActionStatus", [] {
        int32_t status = -1;
        EXPECT_EQ(hostGetUserActionStatus(&status), kFault);
        EXPECT_EQ(status, -1);
    }},
    FaultedOperation{"hostSetUserActionStatus", [] {
        EXPECT_EQ(hostSetUserActionStatus(9), kFault);
        EXPECT_EQ(sim::userActionStatus(), 3);
    }},
    FaultedOperation{"hostDataGetEntities", [] {
        int32_t count = 5;
        int32_t* ids = nullptr;
        EXPECT_EQ(hostDataGetEntities(7, 1, &count, &ids), kFault);
        EXPECT_EQ(count, 5);
        EXPECT_EQ(ids, nullptr);
    }},
    FaultedOperation{"hostCreateForm", [] {
        char form[] = "Other";
        EXPECT_EQ(hostCreateForm(form, 0), kFault);
        EXPECT_EQ(sim::createdForms(), std::vector<std::string>{"Form"});
    }},
    FaultedOperation{"hostShowForm", [] {
        char form[] = "Form";
        EXPECT_EQ(hostShowForm(form), kFault);
        EXPECT_TRUE(sim::shownForms().empty());
    }},
    FaultedOperation{"hostGetErrorText", [] { EXPECT_EQ(hostGetErrorText(-5), nullptr); }},
    FaultedOperation{"hostDisplayMessage", [] {
        EXPECT_EQ(hostDisplayMessage("Hello", 1), kFault);
        EXPECT_TRUE(sim::messages().empty());
    }}));

TEST_F(Sim, ARefusedReleaseStillReleases)
{
    addPart("R", {"Sketch1"});
    int32_t count = 0;
    int32_t* ids = nullptr;
    ASSERT_EQ(hostListHistory(0, &count, &ids), 0);
    sim::failCall("hostFreeMemory", 0, kFault);
    EXPECT_EQ(hostFreeMemory(&ids), kFault);
    EXPECT_EQ(ids, nullptr);
    EXPECT_EQ(sim::outstandingArrays(), 0u);
    EXPECT_EQ(hostFreeMemory(nullptr), kFault);
    auto releases = callsTo("hostFreeMemory");
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[0].status, kFault);
    EXPECT_EQ(releases[0].values, std::vector<int64_t>{0});
    EXPECT_EQ(releases[1].values, std::vector<int64_t>{1});
}

TEST_F(Sim, AMessageListenerMayCallTheHost)
{
    sim::onMessage([](const sim::Message& message, void*) { hostSendCommand(message.text.c_str()); }, nullptr);
    EXPECT_EQ(hostDisplayMessage("Echo", 2), 0);
    EXPECT_EQ(sim::sentCommands(), std::vector<std::string>{"Echo"});
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
