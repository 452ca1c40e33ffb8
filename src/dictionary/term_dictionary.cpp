// The bidirectional term table and the module's one instance of it.
#include "term_dictionary.h"

#include <functional>

namespace {
// Constructed when the module is loaded, before the host calls it.
TermDictionary theTermDictionary;

uint64_t hashOf(std::u16string_view term)
{
    return std::hash<std::u16string_view>{}(term);
}
} // namespace

TermDictionary& sharedTermDictionary() { return theTermDictionary; }

size_t TermDictionary::slotFor(std::u16string_view term, uint64_t hash) const
{
    const size_t mask = slots_.size() - 1;
    for (size_t index = hash & mask;; index = (index + 1) & mask) {
        const Slot& slot = slots_[index];
        if (slot.term == kFree ||
            (slot.hash == hash && std::u16string_view(texts_.data() + slot.term, slot.termLength) == term))
            return index;
    }
}

void TermDictionary::grow()
{
    std::vector<Slot> old(slots_.empty() ? 16 : 2 * slots_.size());
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.term == kFree)
            continue;
        size_t index = slot.hash & mask;
        while (slots_[index].term != kFree)
            index = (index + 1) & mask;
        slots_[index] = slot;
    }
}

void TermDictionary::set(std::u16string_view term, std::u16string_view counterpart)
{
    if (2 * (size_ + 1) > slots_.size())
        grow();
    const uint64_t hash = hashOf(term);
    Slot& slot = slots_[slotFor(term, hash)];
    if (slot.term == kFree) {
        const size_t start = texts_.size();
        texts_.append(term).append(counterpart);
        slot = {hash, start, term.size(), start + term.size(), counterpart.size()};
        ++size_;
        return;
    }
    // A counterpart that fits where the old one was takes its place; a longer
    // one goes to the end of the texts.
    if (counterpart.size() > slot.counterpartLength) {
        slot.counterpart = texts_.size();
        texts_.append(counterpart);
    } else {
        counterpart.copy(texts_.data() + slot.counterpart, counterpart.size());
    }
    slot.counterpartLength = counterpart.size();
}

std::u16string_view TermDictionary::find(std::u16string_view term) const
{
    if (slots_.empty())
        return {};
    const Slot& slot = slots_[slotFor(term, hashOf(term))];
    return slot.term == kFree ? std::u16string_view() : std::u16string_view(texts_.data() + slot.counterpart,
                                                                             slot.counterpartLength);
}

std::u16string TermDictionary::lookup(std::u16string_view term) const
{
    return std::u16string(find(term));
}
