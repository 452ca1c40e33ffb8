// Fuzz target for the binary book: any bytes must load or fail cleanly, and
// every cell of columns A and B of a loaded first sheet must be readable.
#include "book_reading.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    xl::BookHandle book(xl::xlCreateBookW());
    loadAndReadTermColumns(*book, std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
