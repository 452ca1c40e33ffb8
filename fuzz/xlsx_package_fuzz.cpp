// Fuzz target for the XML book behind a sound zip: the input describes the
// package's entries (package_description.h), the target writes the archive
// with the right sizes and CRCs, loads it and reads the term columns. Unlike
// xlsx_book_fuzz, nearly every mutation reaches the package, shared-string,
// sheet and cell-reference code instead of a failed zip check.
#include "book_reading.h"
#include "package_description.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string archive =
        fixture::buildZip(parsePackageDescription(std::string_view(reinterpret_cast<const char*>(data), size)));
    xl::BookHandle book(xl::xlCreateXMLBookW());
    loadAndReadTermColumns(*book, archive);
    return 0;
}
