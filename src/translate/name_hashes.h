// A set of names by their 64-bit hashes, for telling quickly that a part's
// names are all different: the usual answer, found without keeping a single
// name. Two hashes that meet say only "maybe the same name"; the caller then
// compares the names themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

class NameHashes {
public:
    // Room for `count` names, laid out once.
    explicit NameHashes(size_t count)
    {
        size_t size = 16;
        while (size < 2 * count)
            size *= 2;
        slots_.assign(size, 0);
    }
    // Adds the name; false when a name with the same hash is there already.
    bool insert(std::string_view name)
    {
        const uint64_t hash = hashOf(name);
        uint64_t& slot = slots_[slotFor(hash)];
        if (slot == hash)
            return false;
        slot = hash;
        return true;
    }
    // Whether a name with the same hash is there.
    bool mayContain(std::string_view name) const
    {
        const uint64_t hash = hashOf(name);
        return slots_[slotFor(hash)] == hash;
    }

private:
    // 0 marks an empty slot; a hash of 0 is kept as 1.
    static uint64_t hashOf(std::string_view name)
    {
        const uint64_t hash = std::hash<std::string_view>{}(name);
        return hash + (hash == 0);
    }
    // The slot that holds `hash`, or the empty one where it would go.
    size_t slotFor(uint64_t hash) const
    {
        const size_t mask = slots_.size() - 1;
        size_t at = static_cast<size_t>(hash) & mask;
        while (slots_[at] != hash && slots_[at] != 0)
            at = (at + 1) & mask;
        return at;
    }

    std::vector<uint64_t> slots_;
};
