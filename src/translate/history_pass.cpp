// The translation pass: list the active part's history, rename each entry.
#include "history_pass.h"

#include "host_api.h"
#include "distinct_names.h"
#include "host_array.h"
#include "rename_order.h"

#include <cstring>
#include <vector>

namespace {

constexpr int32_t kNameBufferSize = 128;
constexpr int32_t kLongestNameBuffer = 64 * 1024;

// The name in a buffer that the host filled, or nullopt when it may have been
// cut: it reaches the buffer's last byte, or has no NUL at all.
std::optional<std::string> wholeName(const char* buffer, int32_t size)
{
    size_t length = strnlen(buffer, static_cast<size_t>(size));
    if (length + 1 >= static_cast<size_t>(size))
        return std::nullopt;
    return std::string(buffer, length);
}

} // namespace

std::optional<std::string> readEntityName(int32_t id)
{
    char buffer[kNameBufferSize] = {};
    if (hostGetEntityName(id, buffer, kNameBufferSize) != 0)
        return std::nullopt;
    if (auto name = wholeName(buffer, kNameBufferSize))
        return name;
    for (int32_t size = 2 * kNameBufferSize; size <= kLongestNameBuffer; size *= 2) {
        std::vector<char> larger(static_cast<size_t>(size), '\0');
        if (hostGetEntityName(id, larger.data(), size) != 0)
            return std::nullopt;
        if (auto name = wholeName(larger.data(), size))
            return name;
    }
    return std::nullopt;
}

ActiveHistory readActiveHistory()
{
    HostArray<int32_t> listed;
    hostListHistory(0, listed.countOut(), listed.arrayOut());
    ActiveHistory history;
    history.ids.assign(listed.items().begin(), listed.items().end());
    history.names.reserve(history.ids.size());
    for (int32_t id : history.ids)
        history.names.push_back(readEntityName(id));
    return history;
}

int translateActivePart(const NamingRule& rule, RunMemory& run)
{
    ActiveHistory history = readActiveHistory();
    const std::vector<int32_t>& ids = history.ids;
    std::vector<std::optional<std::string>>& names = history.names;
    if (run.leftBehind(history.digest()))
        return 0;

    NameTranslator translator(rule);
    std::vector<std::string> proposed(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        if (!names[i])
            continue;
        NameTranslation translation = translator.analyse(*names[i]);
        if (translation.outcome == NameOutcome::CounterpartNotWritable)
            run.countNameNotWritable();
        proposed[i] = std::move(translation.name);
    }
    const PartSettlement part = settlePart(names, proposed);
    const std::vector<SettledName>& settled = part.names;
    run.countNamesTaken(countNamesTaken(settled));

    // The swap sets every name it read, changed or not; a rule toward one
    // column only those it changes.
    const bool writeUnchanged = rule.direction() == Direction::Swap;
    std::vector<std::optional<std::string>> targets(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        const NameFate fate = settled[i].fate;
        // An unchanged entry's proposed name is its own.
        if (fate == NameFate::Renamed || (fate == NameFate::Unchanged && writeUnchanged))
            targets[i] = std::move(proposed[i]);
        else if (fate == NameFate::NameTaken && writeUnchanged)
            targets[i] = *names[i];
    }
    // What the history holds afterwards: a name the host refused keeps its old one.
    setNamesInOrder(
        names, targets, [&](size_t entry, const std::string& name) { return hostSetEntityName(ids[entry], name.c_str()) == 0; },
        part.newNamesMayBeHeld);
    run.rememberLeftBehind(digestHistory(ids, names));
    return 0;
}
