// Books that release themselves when a test is done with them.
#pragma once

#include "xlbook.h"

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

} // namespace fixture
