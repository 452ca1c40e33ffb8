// The cell content of XML workbooks: the shared strings table and the cells
// of a worksheet part. A cell that cannot mean anything (a reference outside
// the sheet, a shared string that does not exist, a number that is not one)
// fails the whole read with a message naming the part and the cell, rather
// than a dictionary silently missing an entry.
#pragma once

#include "sheet_data.h"
#include "xml_reader.h"

#include <string>
#include <string_view>
#include <vector>

namespace xl {

// The texts of a book's shared strings part, indexed as cells refer to them.
class SharedStrings {
public:
    // Reads the <si> items of the part: rich-text runs joined, phonetic runs
    // (<rPh>) left out, empty items kept in their place. Nothing is reserved
    // from the count that the part declares. False when `xml` failed.
    bool read(XmlReader& xml);

    size_t size() const { return ends_.size(); }
    std::u16string_view at(size_t index) const;

private:
    std::u16string texts_; // all items, one after the other
    std::vector<size_t> ends_;
};

// Reads the cells of a worksheet part into `sheet` and finishes it. Rows and
// cells without a reference follow the one before them. False when `xml`
// failed.
bool readWorksheet(XmlReader& xml, const SharedStrings& strings, SheetData& sheet);

} // namespace xl
