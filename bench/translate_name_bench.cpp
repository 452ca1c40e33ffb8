// Time per history name of the naming rule, over a realistic mix of 10,000
// names against a dictionary of 2,000 pairs, in code pages 1252 and 936: name
// by name through translateName, and as a pass over a history applies it, one
// NameTranslator for all the names.
#include "bench_data.h"
#include "translate_name.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kNames = 10000;
constexpr int kPairs = 2000;

template <typename Translate>
void measure(benchmark::State& state, Setting setting, Translate&& translate)
{
    switchLocale(setting);
    TermDictionary dictionary = makeDictionary(kPairs, setting);
    std::vector<std::string> names = makeNames(kNames, kPairs, setting);
    size_t changed = 0;
    for (const std::string& name : names)
        changed += translateName(name, dictionary) != name;
    for (auto _ : state)
        translate(dictionary, names);
    state.SetItemsProcessed(state.iterations() * kNames);
    state.counters["ns_per_name"] = benchmark::Counter(
        static_cast<double>(kNames) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["changed_share"] = static_cast<double>(changed) / kNames;
}

void translateNames(benchmark::State& state, Setting setting)
{
    measure(state, setting, [](const TermDictionary& dictionary, const std::vector<std::string>& names) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(translateName(name, dictionary));
    });
}

void translateHistory(benchmark::State& state, Setting setting)
{
    measure(state, setting, [](const TermDictionary& dictionary, const std::vector<std::string>& names) {
        NameTranslator translator(dictionary);
        for (const std::string& name : names)
            benchmark::DoNotOptimize(translator.translate(name));
    });
}

BENCHMARK_CAPTURE(translateNames, cp1252, Setting::Western)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateNames, cp936, Setting::Chinese)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateHistory, cp1252, Setting::Western)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateHistory, cp936, Setting::Chinese)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
