// The columns of each term, as marks of the term table.
#include "term_columns.h"

#include <algorithm>

void TermColumns::enterRow(std::u16string_view first, std::u16string_view second)
{
    terms_->addMarks(first, kColumnA);
    terms_->addMarks(second, kColumnB);
}

bool holdsHan(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char16_t unit) {
        // The unified ideographs and their extension A, the compatibility
        // ideographs, and the high surrogates of the planes beyond.
        return (unit >= 0x3400 && unit <= 0x9FFF) || (unit >= 0xF900 && unit <= 0xFAFF) ||
               (unit >= 0xD840 && unit <= 0xD8BF);
    });
}
