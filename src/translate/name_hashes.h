// A set of names by their 64-bit hashes, for telling quickly that a part's
// names are all different: the usual answer, found without keeping a single
// name. Two hashes that meet say only "maybe the same name"; the caller then
// compares the names themselves.
//
// The hash is this file's own rather than std::hash: a run hashes each name
// of a part two or three times, and std::hash costs a call and some eighty
// instructions on a name of twenty bytes, where eight bytes at a time take a
// quarter of that. Its quality only needs to spread names well: a meeting by
// chance costs time, never a wrong answer.
#pragma once

#include "fold_multiply.h"

#include <cstdint>
#include <cstring>
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

    // The hash that the set keeps of `name` (never 0), for a caller that
    // keeps hashes of its own.
    static uint64_t hashOf(std::string_view name);

private:
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

// 0 marks an empty slot; a hash of 0 is kept as 1. Sixteen bytes take one
// multiply; the length, mixed in first, tells apart the tails whose loads
// overlap.
inline uint64_t NameHashes::hashOf(std::string_view name)
{
    constexpr uint64_t kSeed = 0x9E3779B97F4A7C15ULL;
    constexpr uint64_t kFirst = 0xBF58476D1CE4E5B9ULL;
    constexpr uint64_t kSecond = 0x94D049BB133111EBULL;
    const auto word = [&](size_t at) {
        uint64_t value;
        std::memcpy(&value, name.data() + at, 8);
        return value;
    };
    uint64_t hash = foldMultiply(kSeed ^ name.size(), kFirst);
    size_t at = 0;
    for (; at + 16 <= name.size(); at += 16)
        hash = foldMultiply(word(at) ^ hash, word(at + 8) ^ kSecond);
    // The last bytes in loads of a fixed size (a copy of a length not known
    // here would be a call), overlapping where they must.
    const size_t left = name.size() - at;
    if (left == 0)
        return hash + (hash == 0);
    const char* rest = name.data() + at;
    uint64_t low = 0;
    uint64_t high = 0;
    if (left > 8) {
        low = word(at);
        high = word(name.size() - 8);
    } else if (left >= 4) {
        uint32_t first;
        uint32_t last;
        std::memcpy(&first, rest, 4);
        std::memcpy(&last, rest + left - 4, 4);
        low = first | uint64_t{last} << 32;
    } else {
        const auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(rest[i])}; };
        low = byte(0) | byte(left / 2) << 8 | byte(left - 1) << 16;
    }
    hash = foldMultiply(low ^ hash, high ^ kSecond);
    return hash + (hash == 0);
}
