// Setting a part's names in order. Almost always no entry is to take a name
// that another holds; one pass over a table of hashes finds that, and the
// names are set in history order. Otherwise the order is worked out with the
// names themselves, round by round.
#include "rename_order.h"

#include "name_hashes.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr size_t kNobody = static_cast<size_t>(-1);

// Whether an entry is to take a name that another entry holds now.
bool anyWaits(std::span<const std::optional<std::string>> names, std::span<const std::optional<std::string>> targets)
{
    auto moves = [&](size_t i) { return names[i] && targets[i] && *targets[i] != *names[i]; };
    size_t i = 0;
    while (i < names.size() && !moves(i))
        ++i;
    if (i == names.size())
        return false;
    NameHashes held(names.size());
    for (const std::optional<std::string>& name : names)
        if (name)
            held.insert(*name);
    for (; i < names.size(); ++i)
        if (moves(i) && held.mayContain(*targets[i]))
            return true;
    return false;
}

class Ordering {
public:
    Ordering(std::span<std::optional<std::string>> names, std::span<const std::optional<std::string>> targets,
             const SetEntryName& setName)
        : names_(names), targets_(targets), setName_(setName), old_(names.size()), waiting_(names.size(), false),
          passing_(names.size(), false)
    {
        // Only the names that an entry is to take can hold anything up: the
        // holders of those are followed, and the entries that move.
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] && targets[i] && *targets[i] != *names[i])
                targetNames_.insert(*targets[i]);
        for (size_t i = 0; i < names.size(); ++i) {
            if (!names[i])
                continue;
            const bool moves = targets[i] && *targets[i] != *names[i];
            if (moves)
                old_[i] = names[i];
            if (moves || targetNames_.contains(*names[i]))
                holders_[*names[i]].push_back(i);
            if (targets[i]) {
                pending_.push_back(i);
                waiting_[i] = true;
            }
        }
    }

    void run()
    {
        while (!pending_.empty()) {
            if (setWhatIsFree() || giveUpOnTheStuck())
                continue;
            breakRing();
        }
        for (size_t i = 0; i < passing_.size(); ++i)
            if (passing_[i])
                bringBack(i);
    }

private:
    // One round in history order: every entry whose new name nobody else
    // holds takes it. Whether any was set or refused.
    bool setWhatIsFree()
    {
        bool moved = false;
        std::vector<size_t> still;
        for (size_t entry : pending_) {
            const std::string& target = *targets_[entry];
            if (target != *names_[entry] && holderBesides(target, entry) != kNobody) {
                still.push_back(entry);
                continue;
            }
            if (set(entry, target))
                passing_[entry] = false;
            waiting_[entry] = false;
            moved = true;
        }
        pending_ = std::move(still);
        return moved;
    }

    // Entries that wait on one that will not move (it keeps its name, or the
    // host refused it) keep what they hold. Whether there were any.
    bool giveUpOnTheStuck()
    {
        const size_t before = pending_.size();
        std::erase_if(pending_, [&](size_t entry) {
            const size_t holder = holderBesides(*targets_[entry], entry);
            const bool stuck = holder != kNobody && !waiting_[holder];
            if (stuck)
                waiting_[entry] = false;
            return stuck;
        });
        return pending_.size() != before;
    }

    // Every entry left waits on another that waits: the first one's chain of
    // waiting leads into a ring, which one of its entries leaves for a
    // passing name.
    void breakRing()
    {
        std::vector<bool> seen(names_.size(), false);
        size_t entry = pending_.front();
        while (!seen[entry]) {
            seen[entry] = true;
            entry = holderBesides(*targets_[entry], entry);
        }
        if (set(entry, passingName()))
            passing_[entry] = true;
        else {
            waiting_[entry] = false;
            std::erase(pending_, entry);
        }
    }

    // An entry left on a passing name goes back to its old name. Whoever took
    // that name goes back to its own first, and so on down the chain, to the
    // first whose old name is free; then each steps back, last first.
    void bringBack(size_t entry)
    {
        std::vector<size_t> chain{entry};
        std::vector<bool> inChain(names_.size(), false);
        inChain[entry] = true;
        for (;;) {
            const size_t taker = holderBesides(*old_[chain.back()], chain.back());
            // One that held the name from the start did not take it.
            if (taker == kNobody || inChain[taker] || !old_[taker])
                break;
            chain.push_back(taker);
            inChain[taker] = true;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            if (*names_[*it] != *old_[*it] && holderBesides(*old_[*it], *it) == kNobody)
                set(*it, *old_[*it]);
        passing_[entry] = false;
    }

    bool set(size_t entry, const std::string& name)
    {
        if (!setName_(entry, name))
            return false;
        if (name == *names_[entry])
            return true;
        if (auto from = holders_.find(*names_[entry]); from != holders_.end())
            std::erase(from->second, entry);
        holders_[name].push_back(entry);
        names_[entry] = name;
        return true;
    }

    // An entry other than `entry` that holds `name` now, or kNobody.
    size_t holderBesides(const std::string& name, size_t entry) const
    {
        auto found = holders_.find(name);
        if (found == holders_.end())
            return kNobody;
        for (size_t holder : found->second)
            if (holder != entry)
                return holder;
        return kNobody;
    }

    // A name that no entry holds or is to take.
    std::string passingName()
    {
        for (;;) {
            std::string name = kPassingNamePrefix + std::to_string(nextPassing_++);
            const bool held = std::any_of(names_.begin(), names_.end(),
                                          [&](const std::optional<std::string>& held) { return held == name; });
            if (!held && !targetNames_.contains(name))
                return name;
        }
    }

    std::span<std::optional<std::string>> names_;
    std::span<const std::optional<std::string>> targets_;
    const SetEntryName& setName_;
    std::vector<std::optional<std::string>> old_;   // what the entries that move held before
    std::unordered_map<std::string, std::vector<size_t>> holders_;
    std::vector<size_t> pending_;
    std::vector<bool> waiting_;   // pending: still to take its new name
    std::vector<bool> passing_;   // holds a passing name
    std::unordered_set<std::string_view> targetNames_;   // the names entries are to take
    unsigned long nextPassing_ = 1;
};

} // namespace

void setNamesInOrder(std::span<std::optional<std::string>> names, std::span<std::optional<std::string>> targets,
                     const SetEntryName& setName, bool mayWait)
{
    if (!mayWait || !anyWaits(names, targets)) {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] && targets[i] && setName(i, *targets[i]))
                names[i] = std::move(targets[i]);
        return;
    }
    Ordering(names, targets, setName).run();
}
