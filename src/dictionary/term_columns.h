// Which column of the dictionary each term stands in. The swap needs only a
// term's counterpart; the commands that bring a model into one language also
// need to know whether a term is already in that language, that is, whether
// it stands in the column they turn terms into.
//
// The columns are kept in a TermDictionary of their own, whose "counterpart"
// of a term is one code unit of column bits: that table is already laid out
// for many short texts entered once and looked up often.
#pragma once

#include "term_dictionary.h"

#include <cstdint>
#include <string_view>

enum TermColumn : uint8_t {
    kColumnA = 1,   // English in the shipped workbook
    kColumnB = 2,   // Chinese in the shipped workbook
};

class TermColumns {
public:
    // Notes a complete pair row: `first` stands in column A, `second` in B.
    void enterRow(std::u16string_view first, std::u16string_view second);
    // The columns that `term` stands in, as TermColumn bits; 0 for none.
    uint8_t of(std::u16string_view term) const;

private:
    void add(std::u16string_view term, uint8_t column);
    TermDictionary bits_;
};
