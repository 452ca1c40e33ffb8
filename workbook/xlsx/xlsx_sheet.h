// The cell content of XML workbooks: the shared strings table and the cells
// of a worksheet part. A cell that cannot mean anything (a reference outside
// the sheet, a shared string that does not exist, a number that is not one)
// fails the whole read with a message naming the part and the cell, rather
// than a dictionary silently missing an entry.
#pragma once

#include "common/sheet_data.h"
#include "xlsx/xml_reader.h"

#include <string>
#include <string_view>
#include <vector>

namespace xl {

// The texts of a book's shared strings part, indexed as cells refer to them.
class SharedStrings {
public:
    // Reads the <si> items of the part: rich-text runs joined, phonetic runs
    // (<rPh>) left out, empty items kept in their place. Nothing is reserved
    // from the count that the part declares. Throws what `xml` throws.
    // `scanned`: the items that ContentScanner takes are read by it, the
    // others by `xml`; otherwise `xml` reads them all, which must give the
    // same (a check of the scanner compares them).
    void read(XmlReader& xml, bool scanned = true);

    size_t size() const { return ids_.size(); }
    // Where the item `index` is in texts(), which the book's sheets show.
    TextPool::Id id(size_t index) const { return ids_[index]; }
    const TextPool& texts() const { return texts_; }

private:
    TextPool texts_;
    std::vector<TextPool::Id> ids_;
};

// Reads the cells of a worksheet part into `sheet`, made with the texts of
// `strings`, and finishes it. Rows and cells without a reference follow the
// one before them. Throws what `xml` throws, and a LoadError naming the cell
// for a cell that cannot mean anything. `scanned` as for SharedStrings::read.
void readWorksheet(XmlReader& xml, const SharedStrings& strings, SheetData& sheet, bool scanned = true);

} // namespace xl
