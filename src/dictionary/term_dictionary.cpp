// The bidirectional term table and the module's one instance of it.
#include "term_dictionary.h"

#include <functional>
#include <limits>
#include <stdexcept>

namespace {
// Constructed when the module is loaded, before the host calls it.
TermDictionary theTermDictionary;

uint64_t hashOf(std::u16string_view term)
{
    return std::hash<std::u16string_view>{}(term);
}

uint32_t tagOf(uint64_t hash)
{
    return static_cast<uint32_t>(hash >> 32);
}
} // namespace

TermDictionary& sharedTermDictionary() { return theTermDictionary; }

size_t TermDictionary::slotFor(std::u16string_view term, uint64_t hash) const
{
    const size_t mask = slots_.size() - 1;
    const uint32_t tag = tagOf(hash);
    for (size_t index = hash & mask;; index = (index + 1) & mask) {
        const Slot& slot = slots_[index];
        if (slot.entry == 0 || (slot.tag == tag && termOf(entries_[slot.entry - 1]) == term))
            return index;
    }
}

void TermDictionary::grow()
{
    if (entries_.size() >= std::numeric_limits<uint32_t>::max() / 2)
        throw std::length_error("the term table is full");
    slots_.assign(slots_.empty() ? 16 : 2 * slots_.size(), Slot{});
    const size_t mask = slots_.size() - 1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        size_t index = entries_[i].hash & mask;
        while (slots_[index].entry != 0)
            index = (index + 1) & mask;
        slots_[index] = {tagOf(entries_[i].hash), static_cast<uint32_t>(i + 1)};
    }
}

void TermDictionary::set(std::u16string_view term, std::u16string_view counterpart)
{
    if (2 * (entries_.size() + 1) > slots_.size())
        grow();
    const uint64_t hash = hashOf(term);
    Slot& slot = slots_[slotFor(term, hash)];
    if (slot.entry == 0) {
        entries_.push_back({hash, texts_.size(), term.size(), counterpart.size()});
        texts_.append(term).append(counterpart);
        slot = {tagOf(hash), static_cast<uint32_t>(entries_.size())};
        return;
    }
    // A counterpart that fits where the old one was takes its place; a longer
    // one goes, with a copy of its term, to the end of the texts.
    Entry& entry = entries_[slot.entry - 1];
    if (counterpart.size() > entry.counterpartLength) {
        const size_t text = texts_.size();
        texts_.append(term).append(counterpart);
        entry.text = text;
    } else {
        counterpart.copy(texts_.data() + entry.text + entry.termLength, counterpart.size());
    }
    entry.counterpartLength = counterpart.size();
}

std::u16string_view TermDictionary::find(std::u16string_view term) const
{
    if (slots_.empty())
        return {};
    const Slot& slot = slots_[slotFor(term, hashOf(term))];
    if (slot.entry == 0)
        return {};
    const Entry& entry = entries_[slot.entry - 1];
    return {texts_.data() + entry.text + entry.termLength, entry.counterpartLength};
}

std::u16string TermDictionary::lookup(std::u16string_view term) const
{
    return std::u16string(find(term));
}
