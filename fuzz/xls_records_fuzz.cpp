// Fuzz target for the binary book behind a sound compound file: the input is
// a BIFF8 workbook stream (the globals with their shared-string table, then
// the sheets' records), which the target puts as the "Workbook" stream into a
// compound file with whole sector chains, loads and reads the term columns.
// Unlike xls_book_fuzz, mutations go to the records, not to the container.
#include "book_reading.h"
#include "xls_fixture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const xls_fixture::Bytes file = xls_fixture::xlsFile(xls_fixture::Bytes(data, data + size)).bytes;
    xl::BookHandle book(xl::xlCreateBookW());
    loadAndReadTermColumns(*book, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
    return 0;
}
