// The command's walk over an assembly: the exact host calls, their order, the
// status around the replay, and runs that survive whatever the host does.
#include "command.h"

#include "exports.h"
#include "sim_test.h"
#include "translate_name.h"

#include "code_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <pthread.h>
#endif

namespace {

namespace sim = ostrelsim;

const std::vector<std::string> kWalkOps = {"hostPathToRoot", "hostActivateEntity", "hostListHistory",
                                           "hostListComponentPaths", "hostGetUserActionStatus",
                                           "hostSetUserActionStatus", "hostSendCommand"};

class Command : public SimTest {
protected:
    TermDictionary dictionary;
};

// What "Default CSYS" turns into in this run's code page: the Chinese name in
// 936, itself where the code page cannot hold that (1252, the C locale).
std::string chineseCsys()
{
    return currentCodePage() == 936 ? std::string(kDefaultCsysChinese936) : "Default CSYS";
}

TEST_F(Command, ASinglePart)
{
    int32_t part = addPart("P", {"Sketch1"});
    dictionary.set(u"Sketch", u"Profile");
    sim::setUserActionStatus(7);
    EXPECT_EQ(runTranslateCommand(dictionary), 0);
    EXPECT_EQ(callTrace(kWalkOps), (std::vector<std::string>{
                                       "hostPathToRoot",
                                       "hostActivateEntity /P",
                                       "hostListHistory /P",
                                       "hostActivateEntity /P",
                                       "hostActivateEntity /P",
                                       "hostListComponentPaths /P",
                                       "hostActivateEntity /P",
                                       "hostGetUserActionStatus",
                                       "hostSetUserActionStatus",
                                       "hostSendCommand $CdPlayAutoHist",
                                       "hostSetUserActionStatus",
                                   }));
    auto statuses = callsTo("hostSetUserActionStatus");
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0].values[0], 3);
    EXPECT_EQ(statuses[1].values[0], 7);
    EXPECT_EQ(sim::userActionStatus(), 7);
    EXPECT_EQ(historyNames(part), std::vector<std::string>{"Profile1"});
    EXPECT_TRUE(sim::messages().empty());
    EXPECT_EQ(sim::outstandingArrays(), 0u);
}

TEST_F(Command, AnAssemblyIsWalkedDepthFirstInListOrder)
{
    int32_t r = addPart("R", {"Sketch1"});
    int32_t a = addPart("A", {"Sketch2"});
    int32_t a1 = addPart("A1", {"Sketch3"});
    int32_t a2 = addPart("A2", {"Sketch4"});
    int32_t b = addPart("B", {"Sketch5"});
    sim::addComponent(r, a);
    sim::addComponent(r, b);
    sim::addComponent(a, a1);
    sim::addComponent(a, a2);
    dictionary.set(u"Sketch", u"Profile");

    runTranslateCommand(dictionary);

    EXPECT_EQ(callTrace({"hostListHistory", "hostListComponentPaths"}),
              (std::vector<std::string>{
                  "hostListHistory /R", "hostListComponentPaths /R",
                  "hostListHistory /R/A", "hostListComponentPaths /R/A",
                  "hostListHistory /R/A/A1", "hostListComponentPaths /R/A/A1",
                  "hostListHistory /R/A/A2", "hostListComponentPaths /R/A/A2",
                  "hostListHistory /R/B", "hostListComponentPaths /R/B",
              }));
    EXPECT_EQ(callsTo("hostActivateEntity").size(), 20u);
    EXPECT_EQ(callsTo("hostSendCommand").size(), 1u);
    for (int32_t object : {r, a, a1, a2, b})
        EXPECT_EQ(historyNames(object)[0].substr(0, 7), "Profile");
    // The user's activation is back after the run.
    EXPECT_EQ(sim::activeObject(), r);
    EXPECT_EQ(sim::activePath().count, 1);
}

TEST_F(Command, EveryActivationIsUndoneBeforeTheNext)
{
    int32_t r = addPart("R");
    int32_t a = addPart("A");
    sim::addComponent(r, a);
    sim::addComponent(a, addPart("A1"));
    runTranslateCommand(dictionary);
    auto activations = callsTo("hostActivateEntity");
    // Four for each object: one to rename it, one to list its components, each undone.
    ASSERT_EQ(activations.size(), 12u);
    for (size_t i = 0; i < activations.size(); i += 2) {
        EXPECT_EQ(activations[i].values[2], 1) << "activation " << i << " keeps a record";
        EXPECT_EQ(activations[i + 1].values[2], 0) << "activation " << i + 1 << " restores";
        EXPECT_EQ(activations[i + 1].subject, "/R") << "activation " << i + 1;
    }
}

// A part that several occurrences use is one part: renaming through any of
// them renames it, so the run translates it once, through the first.
TEST_F(Command, APartUsedByManyOccurrencesIsTranslatedOnce)
{
    for (int uses : {1, 2, 3, 4}) {
        SCOPED_TRACE(std::to_string(uses) + " occurrences");
        sim::reset();
        int32_t r = addPart("R", {"Sketch9"});
        int32_t bolt = addPart("Bolt", {"Sketch1", "Extrude1_Sketch"});
        int32_t nut = addPart("Nut", {"Sketch2"});
        sim::addComponent(bolt, nut);
        for (int i = 0; i < uses; ++i)
            sim::addComponent(r, bolt);
        dictionary.set(u"Sketch", u"Profile");
        dictionary.set(u"Profile", u"Sketch");
        dictionary.set(u"Extrude", u"Boss");
        dictionary.set(u"Boss", u"Extrude");
        runTranslateCommand(dictionary);
        // The walk itself is unchanged: every occurrence is listed and read.
        EXPECT_EQ(callsTo("hostListHistory").size(), 1u + 2u * uses);
        EXPECT_EQ(historyNames(bolt), (std::vector<std::string>{"Profile1", "Boss1_Profile"}));
        EXPECT_EQ(historyNames(nut), std::vector<std::string>{"Profile2"});
        EXPECT_EQ(callsTo("hostSetEntityName").size(), 4u) << "R, Bolt and Nut, once each";
        EXPECT_EQ(sim::sentCommands().size(), 1u);
        EXPECT_EQ(sim::outstandingArrays(), 0u);
    }
}

using Expected = std::vector<std::pair<int32_t, std::vector<std::string>>>;

struct SharingCase {
    const char* what;
    // Builds the document; returns the objects with the names they must end with.
    std::function<Expected()> build;
};

// Two different parts under the root, the first used twice, around the second.
Expected twoParts(const std::vector<std::string>& left, const std::vector<std::string>& right,
                  std::vector<std::string> leftAfter, std::vector<std::string> rightAfter)
{
    int32_t r = addPart("R");
    int32_t leftPart = addPart("Left", left);
    int32_t rightPart = addPart("Right", right);
    sim::addComponent(r, leftPart);
    sim::addComponent(r, rightPart);
    sim::addComponent(r, leftPart);
    return {{leftPart, std::move(leftAfter)}, {rightPart, std::move(rightAfter)}};
}

class Sharing : public Command, public ::testing::WithParamInterface<SharingCase> {};

TEST_P(Sharing, EveryPartEndsTranslatedOnce)
{
    dictionary.set(u"Sketch", u"Profile");
    dictionary.set(u"Profile", u"Sketch");
    const auto expected = GetParam().build();
    runTranslateCommand(dictionary);
    for (const auto& [object, names] : expected)
        EXPECT_EQ(historyNames(object), names) << sim::objectName(object);
    EXPECT_EQ(sim::sentCommands().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Assemblies, Sharing,
    ::testing::Values(
        SharingCase{"a shared sub-assembly whose own parts are shared",
                    [] {
                        int32_t r = addPart("R");
                        int32_t sub = addPart("Sub", {"Sketch1"});
                        int32_t bolt = addPart("Bolt", {"Sketch2"});
                        int32_t washer = addPart("Washer", {"Sketch3"});
                        for (int i = 0; i < 2; ++i) {
                            sim::addComponent(sub, bolt);
                            sim::addComponent(sub, washer);
                        }
                        sim::addComponent(r, sub);
                        sim::addComponent(r, sub);
                        return Expected{
                            {sub, {"Profile1"}}, {bolt, {"Profile2"}}, {washer, {"Profile3"}}};
                    }},
        SharingCase{"a part used at different depths",
                    [] {
                        int32_t r = addPart("R");
                        int32_t a = addPart("A");
                        int32_t b = addPart("B");
                        int32_t key = addPart("Key", {"Sketch4", "Profile5"});
                        sim::addComponent(r, key);
                        sim::addComponent(r, a);
                        sim::addComponent(a, b);
                        sim::addComponent(b, key);
                        sim::addComponent(a, key);
                        return Expected{
                            {key, {"Profile4", "Sketch5"}}};
                    }},
        SharingCase{"two parts with the same history in the same language",
                    [] {
                        return twoParts({"Sketch1", "Sketch2"}, {"Sketch1", "Sketch2"}, {"Profile1", "Profile2"},
                                        {"Profile1", "Profile2"});
                    }},
        SharingCase{"two parts whose histories are each other's translation",
                    [] {
                        return twoParts({"Sketch1", "Sketch2"}, {"Profile1", "Profile2"}, {"Profile1", "Profile2"},
                                        {"Sketch1", "Sketch2"});
                    }},
        SharingCase{"a part that holds the root's own history",
                    [] {
                        int32_t r = addPart("R", {"Sketch1"});
                        int32_t copy = addPart("Copy", {"Sketch1"});
                        sim::addComponent(r, copy);
                        return Expected{
                            {r, {"Profile1"}}, {copy, {"Profile1"}}};
                    }}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(Command, ASharedPartThatTheHostWillNotRenameIsTriedOnce)
{
    int32_t r = addPart("R");
    int32_t bolt = addPart("Bolt", {"Sketch1", "Sketch2"});
    sim::addComponent(r, bolt);
    sim::addComponent(r, bolt);
    sim::addComponent(r, bolt);
    dictionary.set(u"Sketch", u"Profile");
    dictionary.set(u"Profile", u"Sketch");
    sim::failCall("hostSetEntityName", 0, -13);
    runTranslateCommand(dictionary);
    EXPECT_EQ(callsTo("hostSetEntityName").size(), 2u);
    EXPECT_EQ(historyNames(bolt), (std::vector<std::string>{"Sketch1", "Sketch2"}));
}

// A model that mixes both languages, with a part used twice, comes out in one
// language; run again, either command sets no name at all.
TEST_F(Command, EachCommandTowardOneLanguageBringsAMixedModelIntoItOnce)
{
    TermColumns columns(dictionary);
    for (const auto& [english, chinese] : {std::pair<std::u16string, std::u16string>{u"Sketch", u"Caotu"},
                                           {u"Extrude", u"Lashen"}}) {
        dictionary.set(english, chinese);
        dictionary.set(chinese, english);
        columns.enterRow(english, chinese);
    }
    struct Case {
        Direction direction;
        std::vector<std::string> root, bolt;
    };
    const Case cases[] = {
        {Direction::ToColumnB, {"Caotu1", "Lashen1_Caotu", "Fillet1", chineseCsys()}, {"Lashen2_Caotu"}},
        {Direction::ToColumnA, {"Sketch1", "Extrude1_Sketch", "Fillet1", "Default CSYS"}, {"Extrude2_Sketch"}},
    };
    for (const Case& c : cases) {
        sim::reset();
        int32_t r = addPart("R", {"Sketch1", "Lashen1_Sketch", "Fillet1", "Default CSYS"});
        int32_t bolt = addPart("Bolt", {"Extrude2_Caotu"});
        sim::addComponent(r, bolt);
        sim::addComponent(r, bolt);
        const NamingRule rule(columns, c.direction);
        runTranslateCommand(rule);
        EXPECT_EQ(historyNames(r), c.root);
        EXPECT_EQ(historyNames(bolt), c.bolt);
        // Only the names that change are set: Fillet1 never is.
        for (const sim::Call& call : callsTo("hostSetEntityName"))
            EXPECT_NE(call.subject, "Fillet1");
        EXPECT_EQ(sim::sentCommands().size(), 1u);

        sim::clearCalls();
        runTranslateCommand(rule);
        EXPECT_TRUE(callsTo("hostSetEntityName").empty());
        EXPECT_EQ(historyNames(r), c.root);
        EXPECT_EQ(historyNames(bolt), c.bolt);
        EXPECT_EQ(sim::sentCommands().size(), 2u) << "the replay is still sent";
    }
}

// Names whose counterparts the code page cannot hold stay as they are; one
// message, in ASCII, says how many were left over the whole run.
TEST_F(Command, NamesLeftForTheCodePageAreReportedOnceAfterTheRun)
{
    struct Case {
        std::vector<std::string> root;
        std::vector<std::string> bolt;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {{"Sketch1"}, {"Sketch2"}, {}},
        {{"Hole1"}, {"Sketch2"},
         {"Pelmora: 1 name left unchanged: its counterpart cannot be written in code page 1252."}},
        {{"Hole1", "Hole2_Sketch"}, {"Hole3", "Sketch4"},
         {"Pelmora: 3 names left unchanged: their counterparts cannot be written in code page 1252."}},
    };
    IN_CODE_PAGE(1252);
    for (const Case& c : cases) {
        sim::reset();
        int32_t r = addPart("R", c.root);
        int32_t bolt = addPart("Bolt", c.bolt);
        sim::addComponent(r, bolt);
        sim::addComponent(r, bolt);
        dictionary.set(u"Sketch", u"Profile");
        dictionary.set(u"Hole", u"\u5B54");
        runTranslateCommand(dictionary);
        std::vector<std::string> shown;
        for (const sim::Message& message : sim::messages()) {
            EXPECT_EQ(message.level, 4);
            shown.push_back(message.text);
        }
        EXPECT_EQ(shown, c.messages);
        EXPECT_EQ(callTrace().back().substr(0, 17), c.messages.empty() ? "hostSetUserAction" : "hostDisplayMessag")
            << "the message comes after the replay";
        if (!c.messages.empty()) {
            EXPECT_EQ(historyNames(r), c.root);
        }
    }
}

TEST_F(Command, TheRootPathHasCountTwoWhateverTheHostLeft)
{
    addPart("R");
    runTranslateCommand(dictionary);
    auto activations = callsTo("hostActivateEntity");
    ASSERT_GE(activations.size(), 3u);
    for (size_t i : {0u, 2u}) {
        ASSERT_TRUE(activations[i].path);
        EXPECT_EQ(activations[i].path->count, 2);
        EXPECT_EQ(activations[i].path->ids[0], sim::root());
        EXPECT_EQ(activations[i].path->ids[1], 0);
    }
}

TEST_F(Command, TheRootPathIsUsedEvenWhenTheHostCannotFillIt)
{
    addPart("R", {"Sketch1"});
    sim::failCall("hostPathToRoot", 0, -1);
    EXPECT_EQ(runTranslateCommand(dictionary), 0);
    auto first = callsTo("hostActivateEntity").at(0);
    ASSERT_TRUE(first.path);
    EXPECT_EQ(first.path->count, 2);
    EXPECT_EQ(first.path->ids[0], -1);
    EXPECT_EQ(sim::sentCommands(), std::vector<std::string>{"$CdPlayAutoHist"});
}

TEST_F(Command, TheReplayIsSentOnceAfterTheLastComponentWithTheStatusAroundIt)
{
    for (int32_t before : {0, 3, -4}) {
        sim::reset();
        int32_t r = addPart("R");
        sim::addComponent(r, addPart("A"));
        sim::setUserActionStatus(before);
        runTranslateCommand(dictionary);
        auto trace = callTrace();
        std::vector<std::string> tail(trace.end() - 4, trace.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"hostGetUserActionStatus", "hostSetUserActionStatus",
                                                  "hostSendCommand $CdPlayAutoHist", "hostSetUserActionStatus"}));
        auto statuses = callsTo("hostSetUserActionStatus");
        EXPECT_EQ(statuses.at(0).values[0], 3);
        EXPECT_EQ(statuses.at(1).values[0], before);
        EXPECT_EQ(sim::userActionStatus(), before);
    }
}

TEST_F(Command, TheExportedHandlerUsesTheSharedDictionaryAndReturnsZero)
{
    int32_t part = addPart("P", {"Default CSYS"});
    EXPECT_EQ(do_it(), 0);
    EXPECT_EQ(historyNames(part), std::vector<std::string>{chineseCsys()});
}

// Runs `work` on a thread with the 1 MiB stack of a host built with MSVC.
void onHostSizedStack(std::function<void()> work)
{
    constexpr size_t kStack = 1024 * 1024;
#if defined(_WIN32)
    HANDLE thread = CreateThread(
        nullptr, kStack,
        [](void* argument) -> DWORD {
            (*static_cast<std::function<void()>*>(argument))();
            return 0;
        },
        &work, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStack);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* argument) -> void* {
                      (*static_cast<std::function<void()>*>(argument))();
                      return nullptr;
                  },
                  &work),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
#endif
}

TEST_F(Command, AnAssemblyAsDeepAsAPathCanNameCompletesOnAHostSizedStack)
{
    std::vector<int32_t> chain = {addPart("L1", {"Sketch1"})};
    for (int level = 2; level <= kDeepestLevel; ++level) {
        chain.push_back(addPart("L" + std::to_string(level), {"Sketch1"}));
        sim::addComponent(chain[chain.size() - 2], chain.back());
    }
    dictionary.set(u"Sketch", u"Profile");
    int32_t result = -1;
    onHostSizedStack([&] { result = runTranslateCommand(dictionary); });
    EXPECT_EQ(result, 0);
    for (int32_t object : chain)
        ASSERT_EQ(historyNames(object), std::vector<std::string>{"Profile1"}) << sim::objectName(object);
    EXPECT_EQ(sim::sentCommands().size(), 1u);
}

TEST_F(Command, AComponentThatContainsItselfEndsAtTheDeepestLevel)
{
    int32_t r = addPart("R");
    int32_t loop = addPart("Loop", {"Sketch1"});
    sim::addComponent(r, loop);
    sim::addComponent(loop, loop);
    dictionary.set(u"Sketch", u"Profile");
    dictionary.set(u"Profile", u"Sketch");
    int32_t result = -1;
    onHostSizedStack([&] { result = runTranslateCommand(dictionary); });
    EXPECT_EQ(result, 0);
    // The root, then Loop once for every level from 2 to the deepest.
    EXPECT_EQ(callsTo("hostListHistory").size(), static_cast<size_t>(kDeepestLevel));
    EXPECT_EQ(sim::sentCommands().size(), 1u);
    EXPECT_EQ(sim::outstandingArrays(), 0u);
}

TEST_F(Command, OddComponentListingsEndTheBranch)
{
    for (sim::Listing listing : {sim::Listing::NegativeCount, sim::Listing::NullArray}) {
        sim::reset();
        int32_t r = addPart("R", {"Sketch1"});
        sim::addComponent(r, addPart("A", {"Sketch1"}));
        sim::setListing("hostListComponentPaths", listing);
        EXPECT_EQ(runTranslateCommand(dictionary), 0);
        EXPECT_EQ(callTrace({"hostListHistory"}), std::vector<std::string>{"hostListHistory /R"});
        EXPECT_EQ(sim::outstandingArrays(), 0u);
        EXPECT_EQ(sim::sentCommands().size(), 1u);
    }
}

// Every host operation that a run calls, failed on every call position in
// turn, on a three-level assembly: the run completes, returns 0, sends the
// replay once and leaves no host array outstanding.
TEST_F(Command, ARunSurvivesAnyHostCallFailing)
{
    auto build = [] {
        int32_t r = addPart("R", {"Sketch1", "Extrude1_Sketch"});
        int32_t a = addPart("A", {"Sketch1"});
        int32_t a1 = addPart("A1", {"Default CSYS", "Sketch7"});
        sim::addComponent(r, a);
        sim::addComponent(a, a1);
        sim::addComponent(r, addPart("B", {"Sketch2"}));
    };
    build();
    dictionary.set(u"Sketch", u"Profile");
    runTranslateCommand(dictionary);
    std::map<std::string, int> callsPerOp;
    for (const sim::Call& call : sim::calls())
        ++callsPerOp[std::string(call.op)];

    for (const auto& [op, count] : callsPerOp) {
        for (int nth = 0; nth <= count; ++nth) {
            SCOPED_TRACE(op + " failing on call " + (nth == 0 ? std::string("every") : std::to_string(nth)));
            sim::reset();
            build();
            sim::failCall(op, nth, -13);
            EXPECT_EQ(runTranslateCommand(dictionary), 0);
            EXPECT_EQ(sim::sentCommands().size(), op == "hostSendCommand" ? 0u : 1u);
            EXPECT_EQ(sim::outstandingArrays(), 0u);
        }
    }

    // And odd data instead of failures, on every listing.
    struct Oddity {
        const char* op;
        sim::Listing listing;
        bool namesWithoutNul;
    };
    const Oddity oddities[] = {
        {"hostListHistory", sim::Listing::NegativeCount, false},
        {"hostListHistory", sim::Listing::NullArray, false},
        {"hostListComponentPaths", sim::Listing::NegativeCount, false},
        {"hostListComponentPaths", sim::Listing::NullArray, false},
        {"hostListHistory", sim::Listing::True, true},
    };
    for (const Oddity& oddity : oddities) {
        SCOPED_TRACE(std::string(oddity.op) + " handing out odd data");
        sim::reset();
        build();
        sim::setListing(oddity.op, oddity.listing);
        sim::setNamesWithoutNul(oddity.namesWithoutNul);
        EXPECT_EQ(runTranslateCommand(dictionary), 0);
        EXPECT_EQ(sim::sentCommands().size(), 1u);
        EXPECT_EQ(sim::outstandingArrays(), 0u);
    }
}

// Parts whose new names meet, in ASCII so that every code page runs them:
// column A holds Sketch, Extrude, Hole, Kong; column B Caotu, Lashen, Kong,
// Rib (Kong in both); the swap alone also turns Ping, Pong, Pang into one
// another in a ring, as only a table written by hand can. Each
// part, by each command, in a host that accepts any name and in one that
// refuses a name another entry holds: both end with the same names, no run
// adds a pair of equal names, and one message counts the names left.
struct CollisionCase {
    const char* what;
    std::vector<std::string> history;
    std::vector<std::string> swap, toB, toA;   // the names each command ends with
    int leftBySwap, leftByToB, leftByToA;
};

const CollisionCase kCollisionCases[] = {
    {"a kept name wins", {"Sketch1", "Caotu1"},
     {"Caotu1", "Sketch1"}, {"Sketch1", "Caotu1"}, {"Sketch1", "Caotu1"}, 0, 1, 1},
    {"two renamed to one name", {"Sketch1", "Caotu1_Sketch", "Sketch1_Caotu"},
     {"Caotu1", "Sketch1_Caotu", "Caotu1_Sketch"}, {"Caotu1", "Caotu1_Caotu", "Sketch1_Caotu"},
     {"Sketch1", "Sketch1_Sketch", "Sketch1_Caotu"}, 0, 1, 1},
    {"a chain that frees a name", {"Hole2", "Kong2"},
     {"Kong2", "Rib2"}, {"Hole2", "Kong2"}, {"Hole2", "Kong2"}, 0, 1, 0},
    {"a ring of two", {"Extrude1", "Lashen1", "Fillet1"},
     {"Lashen1", "Extrude1", "Fillet1"}, {"Extrude1", "Lashen1", "Fillet1"}, {"Extrude1", "Lashen1", "Fillet1"}, 0, 1, 1},
    {"two rings of two", {"Sketch1_Extrude", "Caotu1_Lashen", "Sketch1_Lashen", "Caotu1_Extrude"},
     {"Caotu1_Lashen", "Sketch1_Extrude", "Caotu1_Extrude", "Sketch1_Lashen"},
     {"Sketch1_Extrude", "Caotu1_Lashen", "Sketch1_Lashen", "Caotu1_Extrude"},
     {"Sketch1_Extrude", "Caotu1_Lashen", "Sketch1_Lashen", "Caotu1_Extrude"}, 0, 3, 3},
    {"a ring of three", {"Ping1", "Pong1", "Pang1"},
     {"Pong1", "Pang1", "Ping1"}, {"Ping1", "Pong1", "Pang1"}, {"Ping1", "Pong1", "Pang1"}, 0, 0, 0},
    {"two equal names held before, to be renamed", {"Sketch1", "Sketch1", "Fillet1"},
     {"Caotu1", "Sketch1", "Fillet1"}, {"Caotu1", "Sketch1", "Fillet1"}, {"Sketch1", "Sketch1", "Fillet1"}, 1, 1, 0},
    {"two equal names held before, kept", {"Fillet1", "Fillet1", "Sketch2"},
     {"Fillet1", "Fillet1", "Caotu2"}, {"Fillet1", "Fillet1", "Caotu2"}, {"Fillet1", "Fillet1", "Sketch2"}, 0, 0, 0},
};

class Collisions : public SimTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        for (const auto& [english, chinese] : {std::pair<std::u16string, std::u16string>{u"Sketch", u"Caotu"},
                                               {u"Extrude", u"Lashen"}, {u"Hole", u"Kong"}, {u"Kong", u"Rib"}}) {
            terms.set(english, chinese);
            terms.set(chinese, english);
            columns.enterRow(english, chinese);
        }
        terms.set(u"Ping", u"Pong");
        terms.set(u"Pong", u"Pang");
        terms.set(u"Pang", u"Ping");
    }
    // Runs `rule` on a part holding `history`, used by two occurrences; the
    // names it ends with, checked against the message and the host's records.
    std::vector<std::string> run(const CollisionCase& c, const NamingRule& rule, int left)
    {
        sim::reset();
        sim::setDistinctNames(GetParam());
        int32_t root = addPart("Root");
        int32_t part = addPart("Part", c.history);
        sim::addComponent(root, part);
        sim::addComponent(root, part);
        runTranslateCommand(rule);
        std::vector<std::string> messages;
        for (const sim::Message& message : sim::messages())
            messages.push_back(message.text);
        std::vector<std::string> expected;
        if (left == 1)
            expected.push_back("Pelmora: 1 name left unchanged: another entry of the part holds the new name.");
        else if (left > 1)
            expected.push_back("Pelmora: " + std::to_string(left) +
                               " names left unchanged: another entry of the part holds the new name.");
        EXPECT_EQ(messages, expected) << c.what;
        for (const sim::Call& call : callsTo("hostSetEntityName"))
            EXPECT_EQ(call.status, 0) << c.what << ": a set the host refused, " << call.subject;
        return historyNames(part);
    }
    TermDictionary terms;
    TermColumns columns{terms};
};

TEST_P(Collisions, EveryCommandEndsWithTheSameNamesInEitherHost)
{
    for (const CollisionCase& c : kCollisionCases) {
        EXPECT_EQ(run(c, NamingRule(terms), c.leftBySwap), c.swap) << c.what << ", swap";
        EXPECT_EQ(run(c, NamingRule(columns, Direction::ToColumnB), c.leftByToB), c.toB) << c.what << ", to B";
        EXPECT_EQ(run(c, NamingRule(columns, Direction::ToColumnA), c.leftByToA), c.toA) << c.what << ", to A";
    }
}

// A fault at every set of a part with a ring: each entry ends with a name it
// held before or its new one, never a passing name, and no pair is added.
TEST_P(Collisions, AFaultAtAnySetLeavesNoPassingName)
{
    for (const CollisionCase* ring : {&kCollisionCases[3], &kCollisionCases[4], &kCollisionCases[5]})
    for (int nth = 1; nth <= 10; ++nth) {
        sim::reset();
        sim::setDistinctNames(GetParam());
        int32_t part = addPart("Part", ring->history);
        sim::failCall("hostSetEntityName", nth, -9);
        runTranslateCommand(NamingRule(terms));
        const std::vector<std::string> names = historyNames(part);
        std::set<std::string> distinct(names.begin(), names.end());
        EXPECT_EQ(distinct.size(), names.size()) << ring->what << ", fault at set " << nth;
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_TRUE(names[i] == ring->history[i] || names[i] == ring->swap[i])
                << ring->what << ", fault at set " << nth << ": entry " << i << " holds " << names[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, Collisions, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DistinctNames" : "AnyName"; });

} // namespace
