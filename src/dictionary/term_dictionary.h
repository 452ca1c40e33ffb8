// The bidirectional term table: every term, English or Chinese, is a key whose
// value is its counterpart. Keys compare by UTF-16 code unit, nothing folded.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

class TermDictionary {
public:
    // Enters `term` with `counterpart`, replacing any counterpart it had.
    void set(std::u16string_view term, std::u16string_view counterpart);
    // The counterpart of `term`, or the empty text when none is known.
    std::u16string lookup(std::u16string_view term) const;
    // The number of terms entered, counting both directions of a pair.
    size_t size() const { return entries_.size(); }

private:
    std::map<std::u16string, std::u16string, std::less<>> entries_;
};

// The one table of the process: filled from the workbook at start-up, read by
// every run of the command, and destroyed when the module is unloaded.
TermDictionary& sharedTermDictionary();
