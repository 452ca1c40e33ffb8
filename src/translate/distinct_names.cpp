// Settling a part's new names. In almost every part no new name meets
// another name the part ends with; that is found with tables of hashes, and
// only a part where a new name's hash meets another goes the long way, with
// the names themselves.
#include "distinct_names.h"

#include "name_hashes.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

std::string_view finalName(size_t entry, std::span<const std::optional<std::string>> names,
                           std::span<const std::string> proposed, std::span<const SettledName> settled)
{
    return settled[entry].fate == NameFate::Renamed ? std::string_view(proposed[entry]) : std::string_view(*names[entry]);
}

// The long way: the entries grouped by the name they end with, and each group
// that holds a renamed entry beside another settled, until none is left.
void settleCollisions(std::span<const std::optional<std::string>> names, std::span<const std::string> proposed,
                      std::vector<SettledName>& settled)
{
    std::unordered_map<std::string_view, std::vector<size_t>> groups;
    std::vector<std::string_view> toSettle;
    for (size_t i = 0; i < settled.size(); ++i) {
        if (settled[i].fate == NameFate::Unreadable)
            continue;
        std::vector<size_t>& group = groups[finalName(i, names, proposed, settled)];
        group.push_back(i);
        if (group.size() == 2)
            toSettle.push_back(finalName(i, names, proposed, settled));
    }
    while (!toSettle.empty()) {
        const std::string_view name = toSettle.back();
        toSettle.pop_back();
        std::vector<size_t>& group = groups[name];
        if (group.size() < 2)
            continue;
        auto kept = std::find_if(group.begin(), group.end(), [&](size_t i) { return settled[i].fate != NameFate::Renamed; });
        const size_t winner = kept != group.end() ? *kept : group.front();
        std::vector<size_t> losers;
        std::erase_if(group, [&](size_t i) {
            const bool loses = i != winner && settled[i].fate == NameFate::Renamed;
            if (loses)
                losers.push_back(i);
            return loses;
        });
        // Back to their old names, which may now be other entries' new ones.
        // Each group that grew is put back in history order and weighed
        // once, however many entries went back to its name: thousands may
        // lose one name to the first.
        std::vector<std::string_view> grown;
        for (size_t loser : losers) {
            settled[loser].fate = NameFate::NameTaken;
            groups[*names[loser]].push_back(loser);
            grown.push_back(*names[loser]);
        }
        std::sort(grown.begin(), grown.end());
        grown.erase(std::unique(grown.begin(), grown.end()), grown.end());
        for (std::string_view oldName : grown) {
            std::vector<size_t>& holders = groups[oldName];
            std::sort(holders.begin(), holders.end());
            if (holders.size() >= 2)
                toSettle.push_back(oldName);
        }
    }
    // Who ends the run with each name that was taken: the first holder.
    for (size_t i = 0; i < settled.size(); ++i)
        if (settled[i].fate == NameFate::NameTaken)
            settled[i].holder = groups[proposed[i]].front();
}

} // namespace

PartSettlement settlePart(std::span<const std::optional<std::string>> names, std::span<const std::string> proposed)
{
    PartSettlement part;
    std::vector<SettledName>& settled = part.names;
    settled.resize(names.size());
    size_t renamedCount = 0;
    size_t readableCount = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!names[i]) {
            settled[i].fate = NameFate::Unreadable;
            continue;
        }
        ++readableCount;
        if (proposed[i] != *names[i]) {
            settled[i].fate = NameFate::Renamed;
            ++renamedCount;
        }
    }
    if (renamedCount == 0)
        return part;
    // Only a new name can collide: with another new one, or with a name kept.
    // Names kept twice (a part may hold such a pair) are no collision. A new
    // name that an entry to be renamed holds now is no collision either, but
    // it must wait for that entry to move: both are found with the names
    // held now, and the long way tells them apart.
    NameHashes held(readableCount);
    NameHashes renamed(renamedCount);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i])
            held.insert(*names[i]);
    for (size_t i = 0; i < names.size(); ++i) {
        if (settled[i].fate == NameFate::Renamed &&
            (!renamed.insert(proposed[i]) || held.mayContain(proposed[i]))) {
            settleCollisions(names, proposed, settled);
            part.newNamesMayBeHeld = true;
            break;
        }
    }
    return part;
}

std::vector<SettledName> settleNames(std::span<const std::optional<std::string>> names,
                                     std::span<const std::string> proposed)
{
    return settlePart(names, proposed).names;
}

size_t countNamesTaken(std::span<const SettledName> settled)
{
    return static_cast<size_t>(
        std::count_if(settled.begin(), settled.end(), [](const SettledName& s) { return s.fate == NameFate::NameTaken; }));
}
