// Fuzz target for the commands over whole assemblies in the simulated host,
// in code page 936. Each input builds a dictionary and an assembly whose
// parts may be used by several occurrences, at any depth; the run aborts when
// a command breaks one of its promises:
//   - a swap sets each history entry at most once, however many occurrences
//     use its part (not counting a passing name on the way round a ring);
//   - with a dictionary whose terms each stand in one pair and hold no digit
//     and no '_', a swap run twice gives back every name byte for byte, where
//     no name was left because another entry of its part held the new one;
//   - a command toward one language, run twice, sets no name the second time;
//   - no command writes a counterpart that the code page cannot hold: such a
//     name is left as it was, never written with '?' in place of letters;
//   - no run adds a pair of equal names within a part, or leaves a passing
//     name behind;
//   - a host that refuses a name another entry of the part holds ends with
//     exactly the names that a host accepting anything ends with.
#include "chinese_setting.h"
#include "command.h"
#include "ostrel_sim.h"
#include "rename_order.h"
#include "text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

namespace sim = ostrelsim;

// English and Chinese terms that hold no digit and no '_' in GBK, and one
// counterpart that GBK cannot hold.
const std::vector<std::u16string> kEnglish = {u"Extrude", u"Sketch", u"Fillet", u"Hole", u"Boss", u"Rib", u"Cut"};
const std::vector<std::u16string> kChinese = {u"拉伸", u"草图", u"圆角", u"孔", u"凸台", u"筋", u"Größe"};

[[noreturn]] void fail(const char* what, const std::string& name)
{
    std::fprintf(stderr, "assembly_fuzz: %s, name of %zu bytes:", what, name.size());
    for (unsigned char byte : name)
        std::fprintf(stderr, " %02X", byte);
    std::fprintf(stderr, "\n");
    std::abort();
}

// A history name: mostly what the naming rule looks for, sometimes anything.
std::string historyName(FuzzedDataProvider& input)
{
    auto term = [&] {
        const bool chinese = input.ConsumeBool();
        const size_t index = input.ConsumeIntegralInRange<size_t>(0, kEnglish.size());
        if (index == kEnglish.size())
            return std::string("Knurl");
        return wideToNarrow(chinese ? kChinese[index] : kEnglish[index]);
    };
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: return term() + std::to_string(input.ConsumeIntegralInRange(0, 99));
    case 1:
        return term() + std::to_string(input.ConsumeIntegralInRange(0, 99)) + "_" + term();
    case 2: return input.ConsumeBool() ? "Default CSYS" : "\xC4\xAC\xC8\xCF" "CSYS";
    default: {
        // A host name is a C string: it holds no NUL.
        std::string bytes = input.ConsumeRandomLengthString(24);
        std::erase(bytes, '\0');
        return bytes;
    }
    }
}

struct Assembly {
    std::vector<int32_t> objects;
};

// Objects use only objects made after them, so that the assembly ends; any
// object may be used many times and from several parents.
Assembly buildAssembly(FuzzedDataProvider& input)
{
    Assembly assembly;
    const int count = input.ConsumeIntegralInRange(1, 10);
    for (int i = 0; i < count; ++i) {
        const int32_t object = sim::addObject("P" + std::to_string(i));
        const int entries = input.ConsumeIntegralInRange(0, 6);
        for (int e = 0; e < entries; ++e)
            sim::addHistoryEntry(object, historyName(input));
        assembly.objects.push_back(object);
    }
    for (int i = 0; i < count; ++i) {
        const int uses = input.ConsumeIntegralInRange(0, 4);
        for (int u = 0; u < uses && i + 1 < count; ++u)
            sim::addComponent(assembly.objects[i],
                              assembly.objects[input.ConsumeIntegralInRange(i + 1, count - 1)]);
    }
    return assembly;
}

// Each name of each object and how many of its entries hold it.
std::map<std::pair<int32_t, std::string>, int> nameCounts(const Assembly& assembly)
{
    std::map<std::pair<int32_t, std::string>, int> counts;
    for (int32_t object : assembly.objects)
        for (int32_t entry : sim::history(object))
            ++counts[{object, sim::entityName(entry)}];
    return counts;
}

void checkNoNewPair(const std::map<std::pair<int32_t, std::string>, int>& before, const Assembly& assembly)
{
    for (const auto& [key, count] : nameCounts(assembly)) {
        const auto held = before.find(key);
        if (count > 1 && (held == before.end() || held->second < count))
            fail("a run added a pair of equal names within a part", key.second);
        if (key.second.starts_with(kPassingNamePrefix) && held == before.end())
            fail("a run left a passing name behind", key.second);
    }
}

bool namesWereTaken()
{
    for (const sim::Message& message : sim::messages())
        if (message.text.ends_with("another entry of the part holds the new name."))
            return true;
    return false;
}

std::map<int32_t, std::string> allNames(const Assembly& assembly)
{
    std::map<int32_t, std::string> names;
    for (int32_t object : assembly.objects)
        for (int32_t entry : sim::history(object))
            names[entry] = sim::entityName(entry);
    return names;
}

// What a run set, entity by entity, checked against what the host held before.
std::map<int32_t, int> checkSets(const std::map<int32_t, std::string>& before)
{
    std::map<int32_t, int> sets;
    for (const sim::Call& call : sim::calls()) {
        if (call.op != "hostSetEntityName" || call.values.empty())
            continue;
        const int32_t entity = static_cast<int32_t>(call.values[0]);
        if (!call.subject.starts_with(kPassingNamePrefix))
            ++sets[entity];
        // The one counterpart that GBK cannot hold would come out with '?'
        // in place of its letters; no term holds a '?' of its own.
        const auto old = before.find(entity);
        const auto questionMarks = [](const std::string& name) { return std::count(name.begin(), name.end(), '?'); };
        if (old == before.end() || questionMarks(call.subject) > questionMarks(old->second))
            fail("a name the code page cannot hold was written", call.subject);
    }
    return sets;
}

// Builds the input's dictionary and assembly and runs its command twice, in
// a host that accepts any name or in one that keeps them distinct; the names
// after the first run.
std::map<int32_t, std::string> runTwice(const uint8_t* data, size_t size, bool distinct)
{
    FuzzedDataProvider input(data, size);
    sim::reset();
    sim::setDistinctNames(distinct);
    // A dictionary of some of the pairs, each term in one pair, with the
    // columns that the commands toward one language need.
    TermDictionary terms;
    TermColumns columns(terms);
    for (size_t i = 0; i < kEnglish.size(); ++i) {
        if (!input.ConsumeBool())
            continue;
        terms.set(kEnglish[i], kChinese[i]);
        terms.set(kChinese[i], kEnglish[i]);
        columns.enterRow(kEnglish[i], kChinese[i]);
    }
    const Assembly assembly = buildAssembly(input);
    const Direction direction = input.PickValueInArray({Direction::Swap, Direction::ToColumnA, Direction::ToColumnB});
    const NamingRule rule(columns, direction);

    const std::map<int32_t, std::string> first = allNames(assembly);
    const auto firstCounts = nameCounts(assembly);
    runTranslateCommand(rule);
    checkNoNewPair(firstCounts, assembly);
    const bool taken = namesWereTaken();
    for (const auto& [entity, count] : checkSets(first))
        if (count > 1)
            fail("an entry was set twice in one run", first.at(entity));

    const std::map<int32_t, std::string> once = allNames(assembly);
    const auto onceCounts = nameCounts(assembly);
    sim::clearRecords();
    runTranslateCommand(rule);
    checkNoNewPair(onceCounts, assembly);
    const std::map<int32_t, int> secondSets = checkSets(once);
    const std::map<int32_t, std::string> twice = allNames(assembly);
    if (direction == Direction::Swap) {
        if (!taken && !namesWereTaken())
            for (const auto& [entity, name] : first)
                if (twice.at(entity) != name)
                    fail("a name swapped twice did not come back", name);
    } else if (!secondSets.empty()) {
        fail("a command toward one language set names on its own result", once.at(secondSets.begin()->first));
    }
    return once;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enterChineseSetting("assembly_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::map<int32_t, std::string> anyName = runTwice(data, size, false);
    const std::map<int32_t, std::string> distinct = runTwice(data, size, true);
    for (const auto& [entity, name] : anyName)
        if (distinct.at(entity) != name)
            fail("a host keeping names distinct ended with another name", name);
    return 0;
}
