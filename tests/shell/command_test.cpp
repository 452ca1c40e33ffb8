// The command's walk over an assembly: the exact host calls, their order, the
// status around the replay, and runs that survive whatever the host does.
#include "command.h"

#include "exports.h"
#include "sim_test.h"
#include "translate_name.h"

#include <gtest/gtest.h>

#include <functional>

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
    ASSERT_EQ(activations.size() % 2, 0u);
    for (size_t i = 0; i < activations.size(); i += 2) {
        EXPECT_EQ(activations[i].values[2], 1) << "activation " << i << " keeps a record";
        EXPECT_EQ(activations[i + 1].values[2], 0) << "activation " << i + 1 << " restores";
        EXPECT_EQ(activations[i + 1].subject, "/R") << "activation " << i + 1;
    }
}

TEST_F(Command, AComponentListedTwiceIsTranslatedTwice)
{
    int32_t r = addPart("R");
    int32_t bolt = addPart("Bolt", {"Sketch1"});
    int32_t nut = addPart("Nut");
    sim::addComponent(bolt, nut);
    sim::addComponent(r, bolt);
    sim::addComponent(r, bolt);
    dictionary.set(u"Sketch", u"Profile");
    dictionary.set(u"Profile", u"Sketch");
    runTranslateCommand(dictionary);
    EXPECT_EQ(callTrace({"hostListHistory"}),
              (std::vector<std::string>{"hostListHistory /R", "hostListHistory /R/Bolt", "hostListHistory /R/Bolt/Nut",
                                        "hostListHistory /R/Bolt", "hostListHistory /R/Bolt/Nut"}));
    // Swapped twice: back to the original.
    EXPECT_EQ(historyNames(bolt), std::vector<std::string>{"Sketch1"});
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
    EXPECT_EQ(historyNames(part), std::vector<std::string>{std::string(kDefaultCsysChinese)});
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

} // namespace
