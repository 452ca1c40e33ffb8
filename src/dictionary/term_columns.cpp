// The columns of each term, as bits entered beside it.
#include "term_columns.h"

void TermColumns::add(std::u16string_view term, uint8_t column)
{
    const uint8_t had = of(term);
    if ((had & column) == 0) {
        const char16_t bits = static_cast<char16_t>(had | column);
        bits_.set(term, std::u16string_view(&bits, 1));
    }
}

void TermColumns::enterRow(std::u16string_view first, std::u16string_view second)
{
    add(first, kColumnA);
    add(second, kColumnB);
}

uint8_t TermColumns::of(std::u16string_view term) const
{
    const std::u16string_view bits = bits_.find(term);
    return bits.empty() ? 0 : static_cast<uint8_t>(bits[0]);
}
