// The bidirectional term table: every term, English or Chinese, is a key whose
// value is its counterpart. Keys compare by UTF-16 code unit, nothing folded.
//
// The table is only ever asked for one term's counterpart (it is never
// listed): twice for every history name of a command run, and once for every
// workbook cell while it is filled. So it is a hash table laid out for that:
// open addressing over small slots, entries in the order they came, and the
// two texts of a pair stored once, one after the other, so that each of its
// two entries finds its counterpart right after or right before its term
// (a counterpart set again is stored anew with a copy of its term, so that
// no text is ever written over). Entries and texts live in blocks
// that never move, so that what is entered is written once: a table of a
// hundred thousand pairs is filled in the time it takes to read them, and
// when its reader reserves room for them first, its slots are laid out once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TermDictionary {
public:
    TermDictionary() = default;
    // A table moved from is empty.
    TermDictionary(TermDictionary&& other) noexcept { swap(other); }
    TermDictionary& operator=(TermDictionary&& other) noexcept
    {
        TermDictionary taken(std::move(other));
        swap(taken);
        return *this;
    }

    // Room for `terms` terms in all, entered without the table growing.
    void reserve(size_t terms);
    // Enters `term` with `counterpart`, replacing any counterpart it had, and
    // adds `marks` to its marks (see marks()).
    void set(std::u16string_view term, std::u16string_view counterpart, uint8_t marks = 0);
    // set(first, second, firstMarks), then set(second, first, secondMarks),
    // quicker in a large table.
    void setPair(std::u16string_view first, std::u16string_view second, uint8_t firstMarks = 0,
                 uint8_t secondMarks = 0);
    // The counterpart of `term`, or the empty text when none is known.
    std::u16string lookup(std::u16string_view term) const;
    // The same without a copy: empty when no counterpart is known. Valid
    // until the table is next changed.
    std::u16string_view find(std::u16string_view term) const;
    // Two bits that the table keeps with each term for its callers, such as
    // the columns of the workbook that the term stands in (TermColumns): 0
    // for a term never marked or never entered.
    uint8_t marks(std::u16string_view term) const;
    // find() and marks() in one look-up, for a caller that needs both.
    struct Found {
        std::u16string_view counterpart;
        uint8_t marks = 0;
    };
    Found findWithMarks(std::u16string_view term) const;
    // Adds the two low bits of `marks` to those of `term`, which set() must
    // have entered; a term not entered takes none.
    void addMarks(std::u16string_view term, uint8_t marks);
    // The number of terms entered, counting both directions of a pair.
    size_t size() const { return size_; }

private:
    // 16 bytes: a term's hash is made again from its text on the rare
    // occasions the slots are laid anew, rather than kept for each term.
    struct Entry {
        char16_t* text; // the term, its counterpart right after it or right before
        uint32_t termLength : 30;
        uint32_t marks : 2;
        uint32_t counterpartLength : 31;
        uint32_t counterpartBefore : 1;
        std::u16string_view counterpart() const
        {
            return {counterpartBefore ? text - counterpartLength : text + termLength, counterpartLength};
        }
    };
    static constexpr size_t kLongestTerm = (size_t(1) << 30) - 1;
    static constexpr size_t kLongestCounterpart = (size_t(1) << 31) - 1;
    static constexpr size_t kEntriesPerBlock = 4096;
    struct Slot {
        uint32_t tag = 0;         // the hash's high half, to pass over most other terms unread
        uint32_t entry = 0;       // 1 + the entry's index; 0 for a free slot
    };

    static void checkLengths(std::u16string_view term, std::u16string_view counterpart);
    // set() once the slots have room for one more term.
    void enter(std::u16string_view term, uint64_t hash, std::u16string_view counterpart, uint8_t marks);
    // Makes `slot`, a free one, hold a new entry.
    void add(Slot& slot, uint64_t hash, const Entry& entered);
    // The index of the slot that holds `term`, or of the free slot where it belongs.
    size_t slotFor(std::u16string_view term, uint64_t hash) const;
    void swap(TermDictionary& other) noexcept;
    // Lays the entries anew into `count` (a power of two) slots.
    void rehash(size_t count);
    // 1 + the index of the entry of `term`, or 0 when it has none.
    uint32_t entryOf(std::u16string_view term) const;
    std::u16string_view term(size_t index) const
    {
        const Entry& found = entry(index);
        return {found.text, found.termLength};
    }
    Entry& entry(size_t index) { return entryBlocks_[index / kEntriesPerBlock][index % kEntriesPerBlock]; }
    const Entry& entry(size_t index) const
    {
        return entryBlocks_[index / kEntriesPerBlock][index % kEntriesPerBlock];
    }
    // A copy of `term` followed by `counterpart`.
    char16_t* store(std::u16string_view term, std::u16string_view counterpart);

    std::vector<Slot> slots_; // a power of two of them, at most half in use
    std::vector<std::unique_ptr<Entry[]>> entryBlocks_;
    size_t size_ = 0;
    std::vector<std::unique_ptr<char16_t[]>> blocks_;
    char16_t* free_ = nullptr; // where the last block's unused room begins
    size_t room_ = 0;
    size_t nextBlockSize_ = 1024;
};

