// The bidirectional term table: every term, English or Chinese, is a key whose
// value is its counterpart. Keys compare by UTF-16 code unit, nothing folded.
//
// The table is only ever asked for one term's counterpart (it is never
// listed): twice for every history name of a command run, and once for every
// workbook cell while it is filled. So it is a hash table laid out for that:
// open addressing over small slots, entries in the order they came, and each
// term stored right before its counterpart. Entries and texts live in blocks
// that never move, so that what is entered is written once: a table of a
// hundred thousand pairs is filled in the time it takes to read them.
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

    // Enters `term` with `counterpart`, replacing any counterpart it had.
    void set(std::u16string_view term, std::u16string_view counterpart);
    // The counterpart of `term`, or the empty text when none is known.
    std::u16string lookup(std::u16string_view term) const;
    // The same without a copy: empty when no counterpart is known. Valid
    // until the table is next changed.
    std::u16string_view find(std::u16string_view term) const;
    // The number of terms entered, counting both directions of a pair.
    size_t size() const { return size_; }

private:
    struct Entry {
        uint64_t hash;
        char16_t* text;           // the term, and its counterpart right after it
        uint32_t termLength;
        uint32_t counterpartLength;
    };
    static constexpr size_t kEntriesPerBlock = 4096;
    struct Slot {
        uint32_t tag = 0;         // the hash's high half, to pass over most other terms unread
        uint32_t entry = 0;       // 1 + the entry's index; 0 for a free slot
    };

    // The index of the slot that holds `term`, or of the free slot where it belongs.
    size_t slotFor(std::u16string_view term, uint64_t hash) const;
    void swap(TermDictionary& other) noexcept;
    void grow();
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

