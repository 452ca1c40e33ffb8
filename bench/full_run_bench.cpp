// PelmoraSwap over an assembly of 2,000 parts with 200 history entries each,
// in the simulated host, in code page 936; and PelmoraReport over the same
// assembly with a dictionary that lacks half its terms, its workbook written
// to a file (Report, with the process's peak resident memory as a counter).
//
// Part of a run's time is the simulated host's. To tell the module's share
// from it, HostCallsAlone records the host calls of one full run and makes
// them again, in the same order and with the same arguments, without the
// module: the module's share is FullRun - HostCallsAlone, and stays honest
// however the module's walk changes. EmptyDictionary is a run whose lookups
// find nothing, so that every name but the default coordinate systems' stays
// as it is.
//
// Each runs over two assemblies: one whose parts hold names as parts usually
// do, none the same as another or as another's counterpart (Distinct), and
// one drawn at random from few numbers, where a part often holds a name and
// its counterpart or the same name twice (Colliding), so that the names a
// run leaves to keep a part's names distinct are worked out the long way.
#include "bench_data.h"
#include "command.h"
#include "ostrel_sim.h"
#include "process_stats.h"
#include "report_command.h"
#include "text.h"
#include "utf8.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int kParts = 2000;
constexpr int kEntriesPerPart = 200;
constexpr int kPairs = 2000;

enum class Names { Distinct, Colliding };

// A part's names as parts usually hold them: one coordinate system, and each
// entry numbered apart from the others, so that no name is the same as
// another or as another's counterpart.
std::vector<std::string> distinctPartNames(int part)
{
    std::vector<std::string> names{part % 2 == 0 ? "Default CSYS" : "\xC4\xAC\xC8\xCF" "CSYS"};
    for (int entry = 1; entry < kEntriesPerPart; ++entry) {
        const int index = (part * 7 + entry * 13) % kPairs;
        const std::string number = std::to_string(entry);
        auto term = [&](int which) {
            return wideToNarrow(which % 2 == 0 ? englishTerm(which / 2) : counterpartTerm(which / 2, Setting::Chinese));
        };
        const int kind = (part + entry) % 20;
        if (kind < 9)
            names.push_back(term(index) + number);
        else if (kind < 16)
            names.push_back(term(index) + number + "_" + term(index + 2 * kind));
        else
            names.push_back("Imported" + number + "_Body");
    }
    return names;
}

void buildAssembly(Names kind)
{
    ostrelsim::reset();
    const std::vector<std::string> drawn =
        kind == Names::Colliding ? makeNames(kParts * kEntriesPerPart, kPairs, Setting::Chinese) : std::vector<std::string>{};
    int32_t assembly = ostrelsim::addObject("Assembly");
    ostrelsim::addHistoryEntry(assembly, "Default CSYS");
    for (int part = 0; part < kParts; ++part) {
        int32_t object = ostrelsim::addObject("Part" + std::to_string(part));
        if (kind == Names::Distinct)
            for (const std::string& name : distinctPartNames(part))
                ostrelsim::addHistoryEntry(object, name);
        else
            for (int entry = 0; entry < kEntriesPerPart; ++entry)
                ostrelsim::addHistoryEntry(object, drawn[static_cast<size_t>(part * kEntriesPerPart + entry)]);
        ostrelsim::addComponent(assembly, object);
    }
}

// Makes recorded host calls again, with the arguments they were recorded
// with and nothing else: what the host spends on a run, without the module.
// The calls are kept compact because reading them competes for the cache
// with the host's own records; what is left of that, a few milliseconds
// over a caller with its arguments at hand, counts as the host's.
class Replay {
public:
    explicit Replay(const std::vector<ostrelsim::Call>& calls);

    void run()
    {
        nextPath_ = paths_.begin();
        for (const Step& step : steps_)
            step.make(*this, step);
    }

private:
    struct Step;
    using Maker = void (*)(Replay&, const Step&);
    struct Step {
        Maker make;
        std::array<int32_t, 3> values;
        uint32_t text;   // where texts_ holds the subject
    };

    static Maker makerOf(std::string_view op);

    const char* text(const Step& step) const { return texts_.data() + step.text; }
    void keep(void* array) { handedOut_.push_back(array); }

    std::string texts_;
    // The paths of the activations, in the order they were made.
    std::vector<std::shared_ptr<const EntityPath>> paths_;
    std::vector<std::shared_ptr<const EntityPath>>::const_iterator nextPath_;
    std::vector<Step> steps_;
    // What the listings handed out and no hostFreeMemory has given back yet,
    // the latest last: the module gives its arrays back in reverse order.
    std::vector<void*> handedOut_;
    EntityPath filled_{};
    std::vector<char> nameBuffer_;
};

Replay::Replay(const std::vector<ostrelsim::Call>& calls)
{
    steps_.reserve(calls.size());
    for (const ostrelsim::Call& call : calls) {
        Step& step = steps_.emplace_back(Step{makerOf(call.op), {}, static_cast<uint32_t>(texts_.size())});
        std::copy_n(call.values.begin(), std::min(call.values.size(), step.values.size()), step.values.begin());
        texts_.append(call.subject).push_back('\0');
        if (call.op == "hostActivateEntity")
            paths_.push_back(call.path);
    }
}

Replay::Maker Replay::makerOf(std::string_view op)
{
    static const std::pair<std::string_view, Maker> makers[] = {
        {"hostPathToRoot", [](Replay& replay, const Step&) { hostPathToRoot(&replay.filled_); }},
        {"hostActivateEntity",
         [](Replay& replay, const Step& step) {
             const EntityPath* path = (replay.nextPath_++)->get();
             hostActivateEntity(path, step.values[0], step.values[1], step.values[2] != 0 ? &replay.filled_ : nullptr);
         }},
        {"hostListComponentPaths",
         [](Replay& replay, const Step& step) {
             int32_t count = 0;
             EntityPath* paths = nullptr;
             hostListComponentPaths(step.values[0], step.values[1], step.values[2], &count, &paths);
             replay.keep(paths);
         }},
        {"hostListHistory",
         [](Replay& replay, const Step& step) {
             int32_t count = 0;
             int32_t* ids = nullptr;
             hostListHistory(step.values[0], &count, &ids);
             replay.keep(ids);
         }},
        {"hostGetEntityName",
         [](Replay& replay, const Step& step) {
             auto size = static_cast<size_t>(std::max(step.values[1], 0));
             if (replay.nameBuffer_.size() < size)
                 replay.nameBuffer_.resize(size);
             hostGetEntityName(step.values[0], replay.nameBuffer_.data(), step.values[1]);
         }},
        {"hostSetEntityName",
         [](Replay& replay, const Step& step) { hostSetEntityName(step.values[0], replay.text(step)); }},
        {"hostFreeMemory",
         [](Replay& replay, const Step&) {
             void* array = nullptr;
             if (!replay.handedOut_.empty()) {
                 array = replay.handedOut_.back();
                 replay.handedOut_.pop_back();
             }
             hostFreeMemory(&array);
         }},
        {"hostGetUserActionStatus",
         [](Replay&, const Step&) {
             int32_t status = 0;
             hostGetUserActionStatus(&status);
         }},
        {"hostSetUserActionStatus", [](Replay&, const Step& step) { hostSetUserActionStatus(step.values[0]); }},
        {"hostSendCommand", [](Replay& replay, const Step& step) { hostSendCommand(replay.text(step)); }},
        {"hostDisplayMessage",
         [](Replay& replay, const Step& step) { hostDisplayMessage(replay.text(step), step.values[0]); }},
    };
    for (const auto& [name, maker] : makers)
        if (name == op)
            return maker;
    // Left out, the call would make the host's share look smaller than it is.
    std::fprintf(stderr, "full_run_bench: a run calls %.*s, which the replay does not make yet\n",
                 static_cast<int>(op.size()), op.data());
    std::abort();
}

template <typename Run>
void measure(benchmark::State& state, Names names, Run&& run)
{
    switchLocale(Setting::Chinese);
    buildAssembly(names);
    for (auto _ : state) {
        run();
        state.PauseTiming();
        ostrelsim::clearCalls();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kParts * kEntriesPerPart);
    ostrelsim::reset();
}

void FullRun(benchmark::State& state, Names names)
{
    switchLocale(Setting::Chinese);
    TermDictionary dictionary = makeDictionary(kPairs, Setting::Chinese);
    measure(state, names, [&] { runTranslateCommand(dictionary); });
}

void EmptyDictionary(benchmark::State& state, Names names)
{
    TermDictionary dictionary;
    measure(state, names, [&] { runTranslateCommand(dictionary); });
}

void HostCallsAlone(benchmark::State& state, Names names)
{
    switchLocale(Setting::Chinese);
    buildAssembly(names);
    runTranslateCommand(makeDictionary(kPairs, Setting::Chinese));
    Replay replay(ostrelsim::calls());
    measure(state, names, [&] { replay.run(); });
}

void Report(benchmark::State& state, Names names)
{
    switchLocale(Setting::Chinese);
    // Half the terms that the names use are known, each in its column.
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    for (int i = 0; i < kPairs / 2; ++i) {
        dictionary.set(englishTerm(i), counterpartTerm(i, Setting::Chinese), kColumnA);
        dictionary.set(counterpartTerm(i, Setting::Chinese), englishTerm(i), kColumnB);
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "pelmora-report-bench";
    std::filesystem::create_directories(folder);
    const std::u16string dictionaryPath = xl::utf8ToUtf16((folder / "PelmoraConfig.xlsx").string());
    const long before = statusKib("VmRSS");
    uintmax_t reportSize = 0;
    measure(state, names, [&] {
        runReportCommand(columns, dictionaryPath);
        state.PauseTiming();
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            reportSize = entry.file_size();
            std::filesystem::remove(entry.path());
        }
        state.ResumeTiming();
    });
    state.counters["peak_RSS_MiB"] = static_cast<double>(statusKib("VmHWM")) / 1024;
    state.counters["RSS_before_MiB"] = static_cast<double>(before) / 1024;
    state.counters["report_MiB"] = static_cast<double>(reportSize) / (1 << 20);
    std::filesystem::remove_all(folder);
}

#define OVER_BOTH_ASSEMBLIES(run)                                                                          \
    BENCHMARK_CAPTURE(run, distinct, Names::Distinct)->Unit(benchmark::kMillisecond)->Iterations(4);          \
    BENCHMARK_CAPTURE(run, colliding, Names::Colliding)->Unit(benchmark::kMillisecond)->Iterations(4)

OVER_BOTH_ASSEMBLIES(FullRun);
OVER_BOTH_ASSEMBLIES(Report);
OVER_BOTH_ASSEMBLIES(EmptyDictionary);
OVER_BOTH_ASSEMBLIES(HostCallsAlone);

} // namespace

BENCHMARK_MAIN();
