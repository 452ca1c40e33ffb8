// What one run of a command keeps from one history pass to the next.
//
// A host lets many occurrences use one part, and renaming a feature through
// any of them renames it in that one part. The host API names no part,
// though: what a pass does know is the ids and names it left in the history
// it renamed. A later pass that finds exactly those ids and names has reached
// the same part again through another occurrence, and must leave it alone, or
// a part used twice would be swapped back. The run keeps a digest of each
// history it left behind, not the histories themselves, and nothing outlives
// the run.
//
// Where it can misfire: in a host whose entity ids restart in every part, a
// different part whose ids and names are exactly what an earlier part of the
// run was turned into is taken for that part and left as it is. Nothing the
// host API gives tells the two apart; in a host with ids unique across the
// document, as the simulated one has, it cannot happen.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>

// A 128-bit digest of a history: its ids and names, in order. A name that
// could not be read counts as such, apart from every name that could.
struct HistoryDigest {
    uint64_t high = 0;
    uint64_t low = 0;
    bool operator==(const HistoryDigest&) const = default;
};

HistoryDigest digestHistory(std::span<const int32_t> ids, std::span<const std::optional<std::string>> names);

class RunMemory {
public:
    // Whether a pass of this run left a history with this digest behind.
    bool leftBehind(const HistoryDigest& digest) const { return leftBehind_.contains(digest); }
    void rememberLeftBehind(const HistoryDigest& digest) { leftBehind_.insert(digest); }

    // Names left as they were because the system's code page cannot hold
    // their counterparts, over the whole run.
    size_t namesNotWritable() const { return namesNotWritable_; }
    void countNameNotWritable() { ++namesNotWritable_; }

    // Names left as they were because another entry of the part ends the
    // run with the new one, over the whole run.
    size_t namesTaken() const { return namesTaken_; }
    void countNamesTaken(size_t count) { namesTaken_ += count; }

private:
    struct DigestHash {
        size_t operator()(const HistoryDigest& digest) const { return static_cast<size_t>(digest.low); }
    };
    std::unordered_set<HistoryDigest, DigestHash> leftBehind_;
    size_t namesNotWritable_ = 0;
    size_t namesTaken_ = 0;
};
