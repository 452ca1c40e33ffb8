// PelmoraSwap over an assembly of 2,000 parts with 200 history entries each,
// in the simulated host, in code page 936.
//
// The simulated host records every call, so much of a run's time is the
// host's. To tell the module's share from it, HostCallsAlone makes the calls
// that a run makes, in the same order and with the same arguments, without
// the module (names are set back as they were read); the module's share is
// the difference between the two. EmptyDictionary is a run whose lookups
// find nothing, so that every name stays as it is.
#include "bench_data.h"
#include "command.h"
#include "host_array.h"
#include "ostrel_sim.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kParts = 2000;
constexpr int kEntriesPerPart = 200;
constexpr int kPairs = 2000;

void buildAssembly()
{
    ostrelsim::reset();
    std::vector<std::string> names = makeNames(kParts * kEntriesPerPart, kPairs, Setting::Chinese);
    int32_t assembly = ostrelsim::addObject("Assembly");
    ostrelsim::addHistoryEntry(assembly, "Default CSYS");
    for (int part = 0; part < kParts; ++part) {
        int32_t object = ostrelsim::addObject("Part" + std::to_string(part));
        for (int entry = 0; entry < kEntriesPerPart; ++entry)
            ostrelsim::addHistoryEntry(object, names[static_cast<size_t>(part * kEntriesPerPart + entry)]);
        ostrelsim::addComponent(assembly, object);
    }
}

// What one translation pass asks of the host, with each name set back unchanged.
void renameActiveHistoryInPlace()
{
    HostArray<int32_t> history;
    hostListHistory(0, history.countOut(), history.arrayOut());
    for (int32_t id : history.items()) {
        char buffer[128] = {};
        if (hostGetEntityName(id, buffer, sizeof buffer) == 0)
            hostSetEntityName(id, buffer);
    }
}

std::vector<EntityPath> listActiveComponents()
{
    HostArray<EntityPath> listed;
    hostListComponentPaths(0, 1, 1, listed.countOut(), listed.arrayOut());
    return {listed.items().begin(), listed.items().end()};
}

// The host calls of runTranslateCommand for a one-level assembly.
void hostCallsOfARun()
{
    auto root = std::make_unique<EntityPath>();
    root->count = 1;
    root->ids[0] = -1;
    hostPathToRoot(root.get());
    root->count = 2;
    auto previous = std::make_unique<EntityPath>();
    hostActivateEntity(root.get(), 0, 0, previous.get());
    renameActiveHistoryInPlace();
    hostActivateEntity(previous.get(), 0, 0, nullptr);
    hostActivateEntity(root.get(), 0, 0, previous.get());
    std::vector<EntityPath> components = listActiveComponents();
    hostActivateEntity(previous.get(), 0, 0, nullptr);
    for (const EntityPath& component : components) {
        hostActivateEntity(&component, 0, 0, previous.get());
        renameActiveHistoryInPlace();
        hostActivateEntity(previous.get(), 0, 0, nullptr);
        hostActivateEntity(&component, 0, 0, previous.get());
        listActiveComponents();
        hostActivateEntity(previous.get(), 0, 0, nullptr);
    }
    int32_t saved = 0;
    hostGetUserActionStatus(&saved);
    hostSetUserActionStatus(3);
    hostSendCommand("$CdPlayAutoHist");
    hostSetUserActionStatus(saved);
}

template <typename Run>
void measure(benchmark::State& state, Run&& run)
{
    switchLocale(Setting::Chinese);
    buildAssembly();
    for (auto _ : state) {
        run();
        state.PauseTiming();
        ostrelsim::clearCalls();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kParts * kEntriesPerPart);
    ostrelsim::reset();
}

void FullRun(benchmark::State& state)
{
    switchLocale(Setting::Chinese);
    TermDictionary dictionary = makeDictionary(kPairs, Setting::Chinese);
    measure(state, [&] { runTranslateCommand(dictionary); });
}

void EmptyDictionary(benchmark::State& state)
{
    TermDictionary dictionary;
    measure(state, [&] { runTranslateCommand(dictionary); });
}

void HostCallsAlone(benchmark::State& state)
{
    measure(state, hostCallsOfARun);
}

BENCHMARK(FullRun)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(EmptyDictionary)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(HostCallsAlone)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace

BENCHMARK_MAIN();
