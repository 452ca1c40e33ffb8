// The columns of each term, as marks of the term table.
#include "term_columns.h"

void TermColumns::enterRow(std::u16string_view first, std::u16string_view second)
{
    terms_->addMarks(first, kColumnA);
    terms_->addMarks(second, kColumnB);
}
