// The bidirectional term table: every term, English or Chinese, is a key whose
// value is its counterpart. Keys compare by UTF-16 code unit, nothing folded.
//
// The table is only ever asked for one term's counterpart (it is never
// listed): twice for every history name of a command run, and once for every
// workbook cell while it is filled. So it is a hash table laid out for that:
// open addressing over small slots, entries in the order they came, and each
// term stored right before its counterpart in one text buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TermDictionary {
public:
    // Enters `term` with `counterpart`, replacing any counterpart it had.
    void set(std::u16string_view term, std::u16string_view counterpart);
    // The counterpart of `term`, or the empty text when none is known.
    std::u16string lookup(std::u16string_view term) const;
    // The same without a copy: empty when no counterpart is known. Valid
    // until the table is next changed.
    std::u16string_view find(std::u16string_view term) const;
    // The number of terms entered, counting both directions of a pair.
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        uint64_t hash;
        size_t text;              // where the term starts in texts_; its counterpart follows it
        size_t termLength;
        size_t counterpartLength;
    };
    struct Slot {
        uint32_t tag = 0;         // the hash's high half, to pass over most other terms unread
        uint32_t entry = 0;       // 1 + the index in entries_; 0 for a free slot
    };

    // The index of the slot that holds `term`, or of the free slot where it belongs.
    size_t slotFor(std::u16string_view term, uint64_t hash) const;
    std::u16string_view termOf(const Entry& entry) const { return {texts_.data() + entry.text, entry.termLength}; }
    void grow();

    std::vector<Slot> slots_; // a power of two of them, at most half in use
    std::vector<Entry> entries_;
    std::u16string texts_;
};

// The one table of the process: filled from the workbook at start-up, read by
// every run of the command, and destroyed when the module is unloaded.
TermDictionary& sharedTermDictionary();
