// Time per history name of the naming rule, over a realistic mix of 10,000
// names against a dictionary of 2,000 pairs, in code pages 1252 and 936.
#include "bench_data.h"
#include "translate_name.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kNames = 10000;
constexpr int kPairs = 2000;

void translateNames(benchmark::State& state, Setting setting)
{
    switchLocale(setting);
    TermDictionary dictionary = makeDictionary(kPairs, setting);
    std::vector<std::string> names = makeNames(kNames, kPairs, setting);
    size_t changed = 0;
    for (const std::string& name : names)
        changed += translateName(name, dictionary) != name;
    for (auto _ : state) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(translateName(name, dictionary));
    }
    state.SetItemsProcessed(state.iterations() * kNames);
    state.counters["ns_per_name"] = benchmark::Counter(
        static_cast<double>(kNames) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["changed_share"] = static_cast<double>(changed) / kNames;
}

BENCHMARK_CAPTURE(translateNames, cp1252, Setting::Western)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateNames, cp936, Setting::Chinese)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
