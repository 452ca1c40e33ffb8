// The bidirectional term table.
#include "term_dictionary.h"

#include <algorithm>
#include <bit>
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
            if (this->term(slot.entry - 1) == term)
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

void TermDictionary::reserve(size_t terms)
{
    if (terms >= std::numeric_limits<uint32_t>::max() / 2)
        throw std::length_error("the term table is full");
    const size_t count = std::bit_ceil(std::max<size_t>(16, 2 * terms));
    if (count > slots_.size())
        rehash(count);
    entryBlocks_.reserve((terms + kEntriesPerBlock - 1) / kEntriesPerBlock);
}

void TermDictionary::rehash(size_t count)
{
    std::vector<Slot> slots(count);
    const size_t mask = count - 1;
    // The slots are written in no order: hashing each term a few entries
    // ahead, and asking for its slot, keeps the misses from coming one after
    // the other.
    constexpr size_t kAhead = 16;
    uint64_t hashes[kAhead];
    for (size_t i = 0; i < std::min(kAhead, size_); ++i)
        hashes[i] = hashOf(term(i));
    for (size_t i = 0; i < size_; ++i) {
        const uint64_t hash = hashes[i % kAhead];
        if (i + kAhead < size_) {
            hashes[i % kAhead] = hashOf(term(i + kAhead));
            __builtin_prefetch(&slots[hashes[i % kAhead] & mask], 1);
        }
        size_t index = hash & mask;
        while (slots[index].entry != 0)
            index = (index + 1) & mask;
        slots[index] = {tagOf(hash), static_cast<uint32_t>(i + 1)};
    }
    slots_ = std::move(slots);
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

void TermDictionary::checkLengths(std::u16string_view term, std::u16string_view counterpart)
{
    if (term.size() > kLongestTerm || counterpart.size() > kLongestCounterpart)
        throw std::length_error("a term of 2^30 code units or more, or a counterpart of 2^31");
}

void TermDictionary::set(std::u16string_view term, std::u16string_view counterpart, uint8_t marks)
{
    checkLengths(term, counterpart);
    if (2 * (size_ + 1) > slots_.size())
        reserve(size_ + 1);
    enter(term, hashOf(term), counterpart, marks);
}

void TermDictionary::setPair(std::u16string_view first, std::u16string_view second, uint8_t firstMarks,
                             uint8_t secondMarks)
{
    checkLengths(first, second);
    checkLengths(second, first);
    if (2 * (size_ + 2) > slots_.size())
        reserve(size_ + 2);
    // Both slots are asked for before either is used, so that the two cache
    // misses of a large table overlap rather than come one after the other.
    const uint64_t firstHash = hashOf(first);
    const uint64_t secondHash = hashOf(second);
    const size_t mask = slots_.size() - 1;
    __builtin_prefetch(&slots_[firstHash & mask], 1);
    __builtin_prefetch(&slots_[secondHash & mask], 1);
    Slot& firstSlot = slots_[slotFor(first, firstHash)];
    if (firstSlot.entry != 0 || first == second) {
        enter(first, firstHash, second, firstMarks);
        enter(second, secondHash, first, secondMarks);
        return;
    }
    // A new pair, as nearly every one is: its texts are stored once, for both.
    char16_t* const text = store(first, second);
    const auto firstLength = static_cast<uint32_t>(first.size());
    const auto secondLength = static_cast<uint32_t>(second.size());
    add(firstSlot, firstHash, {text, firstLength, firstMarks & 3u, secondLength, 0});
    Slot& secondSlot = slots_[slotFor(second, secondHash)];
    if (secondSlot.entry == 0)
        add(secondSlot, secondHash, {text + firstLength, secondLength, secondMarks & 3u, firstLength, 1});
    else
        enter(second, secondHash, first, secondMarks);
}

void TermDictionary::add(Slot& slot, uint64_t hash, const Entry& entered)
{
    if (size_ % kEntriesPerBlock == 0)
        entryBlocks_.push_back(std::make_unique_for_overwrite<Entry[]>(kEntriesPerBlock));
    entry(size_) = entered;
    slot = {tagOf(hash), static_cast<uint32_t>(++size_)};
}

void TermDictionary::enter(std::u16string_view term, uint64_t hash, std::u16string_view counterpart, uint8_t marks)
{
    Slot& slot = slots_[slotFor(term, hash)];
    const auto counterpartLength = static_cast<uint32_t>(counterpart.size());
    if (slot.entry == 0) {
        add(slot, hash, {store(term, counterpart), static_cast<uint32_t>(term.size()), marks & 3u, counterpartLength, 0});
        return;
    }
    // A counterpart set again is stored anew with a copy of its term: the
    // old one may be the term of another entry.
    Entry& entered = entry(slot.entry - 1);
    entered.marks |= marks & 3u;
    entered.text = store(term, counterpart);
    entered.counterpartLength = counterpartLength;
    entered.counterpartBefore = 0;
}

uint32_t TermDictionary::entryOf(std::u16string_view term) const
{
    return slots_.empty() ? 0 : slots_[slotFor(term, hashOf(term))].entry;
}

TermDictionary::Found TermDictionary::findWithMarks(std::u16string_view term) const
{
    const uint32_t found = entryOf(term);
    if (found == 0)
        return {};
    const Entry& entered = entry(found - 1);
    return {entered.counterpart(), static_cast<uint8_t>(entered.marks)};
}

std::u16string_view TermDictionary::find(std::u16string_view term) const
{
    return findWithMarks(term).counterpart;
}

uint8_t TermDictionary::marks(std::u16string_view term) const
{
    return findWithMarks(term).marks;
}

void TermDictionary::addMarks(std::u16string_view term, uint8_t marks)
{
    if (const uint32_t found = entryOf(term))
        entry(found - 1).marks |= marks & 3u;
}

std::u16string TermDictionary::lookup(std::u16string_view term) const
{
    return std::u16string(find(term));
}
