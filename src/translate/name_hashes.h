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
    // Folds the 128-bit product of its arguments into 64 bits: every bit of
    // both reaches every bit of the result.
    static uint64_t fold(uint64_t a, uint64_t b)
    {
        const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
        return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
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

// 0 marks an empty slot; a hash of 0 is kept as 1.
inline uint64_t NameHashes::hashOf(std::string_view name)
{
    constexpr uint64_t kSeed = 0x9E3779B97F4A7C15ULL;
    constexpr uint64_t kMultiplier = 0xBF58476D1CE4E5B9ULL;
    uint64_t hash = fold(kSeed ^ name.size(), kMultiplier);
    size_t at = 0;
    for (; at + 8 <= name.size(); at += 8) {
        uint64_t word;
        std::memcpy(&word, name.data() + at, 8);
        hash = fold(hash ^ word, kMultiplier);
    }
    // The last bytes in loads of a fixed size (a copy of a length not
    // known here would be a call), overlapping where they must: the
    // length, mixed in first, tells such tails apart.
    const char* rest = name.data() + at;
    const size_t left = name.size() - at;
    uint64_t tail = 0;
    if (left >= 4) {
        uint32_t low;
        uint32_t high;
        std::memcpy(&low, rest, 4);
        std::memcpy(&high, rest + left - 4, 4);
        tail = low | uint64_t{high} << 32;
    } else if (left > 0) {
        const auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(rest[i])}; };
        tail = byte(0) | byte(left / 2) << 8 | byte(left - 1) << 16;
    }
    hash = fold(hash ^ tail, kMultiplier);
    return hash + (hash == 0);
}
