// Fuzz target for the XML book: any bytes must load or fail cleanly, and every
// cell of columns A and B of a loaded first sheet must be readable as the
// dictionary loader reads it.
#include "book_reading.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    xl::BookHandle book(xl::xlCreateXMLBookW());
    loadAndReadTermColumns(*book, std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
