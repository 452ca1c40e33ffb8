// Books that release themselves when a test is done with them.
#pragma once

#include "xlbook.h"
#include "xlsx/xlsx_book.h"

#include <memory>

namespace fixture {

struct BookRelease {
    void operator()(xl::Book* book) const
    {
        if (book)
            book->release();
    }
};
using BookPtr = std::unique_ptr<xl::Book, BookRelease>;

inline BookPtr xmlBook() { return BookPtr(xl::xlCreateXMLBookW()); }

// An XML book that reads its parts `bytes` at a time, so that every token
// meets the edge of a piece.
inline BookPtr xmlBookReadingPiecesOf(size_t bytes) { return BookPtr(xl::createXlsxBook(bytes)); }

} // namespace fixture
