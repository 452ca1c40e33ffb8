// The bidirectional term table.
#include "term_dictionary.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {
uint64_t hashOf(std::u16string_view term)
{
    return std::hash<std::u16string_view>{}(term);
}

// Blocks grow to this many code units; a longer text gets a block of its own.
constexpr size_t kLargestBlockSize = size_t(64) << 10;

uint32_t tagOf(uint64_t hash)
{
    return static_cast<uint32_t>(hash >> 32);
}
} // namespace

size_t TermDictionary::slotFor(std::u16string_view term, uint64_t hash) const
{
    const size_t mask = slots_.size() - 1;
    const uint32_t tag = tagOf(hash);
    for (size_t index = hash & mask;; index = (index + 1) & mask) {
        const Slot& slot = slots_[index];
        if (slot.entry == 0)
            return index;
        if (slot.tag == tag) {
            const Entry& candidate = entry(slot.entry - 1);
            if (std::u16string_view(candidate.text, candidate.termLength) == term)
                return index;
        }
    }
}

void TermDictionary::swap(TermDictionary& other) noexcept
{
    slots_.swap(other.slots_);
    entryBlocks_.swap(other.entryBlocks_);
    std::swap(size_, other.size_);
    blocks_.swap(other.blocks_);
    std::swap(free_, other.free_);
    std::swap(room_, other.room_);
    std::swap(nextBlockSize_, other.nextBlockSize_);
}

void TermDictionary::grow()
{
    if (size_ >= std::numeric_limits<uint32_t>::max() / 2)
        throw std::length_error("the term table is full");
    slots_.assign(slots_.empty() ? 16 : 2 * slots_.size(), Slot{});
    const size_t mask = slots_.size() - 1;
    // The slots are written in no order: asking for each one a few entries
    // ahead keeps the misses from coming one after the other.
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < size_; ++i) {
        if (i + kAhead < size_)
            __builtin_prefetch(&slots_[entry(i + kAhead).hash & mask], 1);
        const uint64_t hash = entry(i).hash;
        size_t index = hash & mask;
        while (slots_[index].entry != 0)
            index = (index + 1) & mask;
        slots_[index] = {tagOf(hash), static_cast<uint32_t>(i + 1)};
    }
}

char16_t* TermDictionary::store(std::u16string_view term, std::u16string_view counterpart)
{
    const size_t length = term.size() + counterpart.size();
    if (length > room_) {
        const size_t size = std::max(length, nextBlockSize_);
        blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(size));
        free_ = blocks_.back().get();
        room_ = size;
        nextBlockSize_ = std::min(2 * nextBlockSize_, kLargestBlockSize);
    }
    char16_t* text = free_;
    term.copy(text, term.size());
    counterpart.copy(text + term.size(), counterpart.size());
    free_ += length;
    room_ -= length;
    return text;
}

void TermDictionary::set(std::u16string_view term, std::u16string_view counterpart)
{
    constexpr size_t kLongest = std::numeric_limits<uint32_t>::max();
    if (term.size() > kLongest || counterpart.size() > kLongest)
        throw std::length_error("a term of more than 2^32 code units");
    if (2 * (size_ + 1) > slots_.size())
        grow();
    const uint64_t hash = hashOf(term);
    Slot& slot = slots_[slotFor(term, hash)];
    const auto counterpartLength = static_cast<uint32_t>(counterpart.size());
    if (slot.entry == 0) {
        if (size_ % kEntriesPerBlock == 0)
            entryBlocks_.push_back(std::make_unique_for_overwrite<Entry[]>(kEntriesPerBlock));
        entry(size_) = {hash, store(term, counterpart), static_cast<uint32_t>(term.size()), counterpartLength};
        slot = {tagOf(hash), static_cast<uint32_t>(++size_)};
        return;
    }
    // A counterpart that fits where the old one was takes its place; a longer
    // one is stored anew with a copy of its term.
    Entry& entered = entry(slot.entry - 1);
    if (counterpartLength > entered.counterpartLength)
        entered.text = store(term, counterpart);
    else
        counterpart.copy(entered.text + entered.termLength, counterpartLength);
    entered.counterpartLength = counterpartLength;
}

std::u16string_view TermDictionary::find(std::u16string_view term) const
{
    if (slots_.empty())
        return {};
    const Slot& slot = slots_[slotFor(term, hashOf(term))];
    if (slot.entry == 0)
        return {};
    const Entry& found = entry(slot.entry - 1);
    return {found.text + found.termLength, found.counterpartLength};
}

std::u16string TermDictionary::lookup(std::u16string_view term) const
{
    return std::u16string(find(term));
}
