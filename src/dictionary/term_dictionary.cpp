// The bidirectional term table and the module's one instance of it.
#include "term_dictionary.h"

namespace {
// Constructed when the module is loaded, before the host calls it.
TermDictionary theTermDictionary;
} // namespace

TermDictionary& sharedTermDictionary() { return theTermDictionary; }

void TermDictionary::set(std::u16string_view term, std::u16string_view counterpart)
{
    auto entry = entries_.find(term);
    if (entry != entries_.end())
        entry->second.assign(counterpart);
    else
        entries_.emplace(term, counterpart);
}

std::u16string TermDictionary::lookup(std::u16string_view term) const
{
    auto entry = entries_.find(term);
    return entry == entries_.end() ? std::u16string() : entry->second;
}
