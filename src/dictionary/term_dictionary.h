// The bidirectional term table: every term, English or Chinese, is a key whose
// value is its counterpart. Keys compare by UTF-16 code unit, nothing folded.
//
// The table is only ever asked for one term's counterpart (it is never
// listed), twice for every history name of a command run, so it is a hash
// table laid out for that: open addressing over one array of slots that say
// where their texts are, and each term stored right before its counterpart in
// one text buffer, so that a lookup touches a slot and one run of text.
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
    size_t size() const { return size_; }

private:
    static constexpr size_t kFree = SIZE_MAX;
    struct Slot {
        uint64_t hash = 0;
        size_t term = kFree;       // where the term starts in texts_; kFree for a free slot
        size_t termLength = 0;
        size_t counterpart = 0;    // where its counterpart starts in texts_
        size_t counterpartLength = 0;
    };

    // The index of the slot that holds `term`, or of the free slot where it belongs.
    size_t slotFor(std::u16string_view term, uint64_t hash) const;
    void grow();

    std::vector<Slot> slots_; // a power of two of them, at most half in use
    size_t size_ = 0;
    std::u16string texts_;
};

// The one table of the process: filled from the workbook at start-up, read by
// every run of the command, and destroyed when the module is unloaded.
TermDictionary& sharedTermDictionary();
