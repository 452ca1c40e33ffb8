// Which column of the dictionary each term stands in. The swap needs only a
// term's counterpart; the commands that bring a model into one language also
// need to know whether a term is already in that language, that is, whether
// it stands in the column they turn terms into.
//
// The columns are two bits kept with each term in the term table itself
// (TermDictionary::marks): a table of their own would hold every term again,
// and cost a start-up as much memory and time as the terms' counterparts.
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
    // The columns of the terms of `terms`, which must outlive this.
    explicit TermColumns(TermDictionary& terms) : terms_(&terms) {}

    // Notes a complete pair row, whose terms the term table holds already:
    // `first` stands in column A, `second` in B. (A reader that enters the
    // row's terms itself may rather give the columns to TermDictionary::set
    // as their marks.)
    void enterRow(std::u16string_view first, std::u16string_view second);
    // The columns that `term` stands in, as TermColumn bits; 0 for none.
    uint8_t of(std::u16string_view term) const { return terms_->marks(term); }
    // The term table whose marks these are.
    const TermDictionary& terms() const { return *terms_; }

private:
    TermDictionary* terms_;
};

// Whether `text` holds a Chinese character (a CJK ideograph): what tells the
// shipped workbook's column B terms from its column A ones, for a term that
// stands in neither column yet.
bool holdsHan(std::u16string_view text);
