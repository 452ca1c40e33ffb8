// Differential fuzz target for the two readers of sheets and shared strings:
// the input describes a package (package_description.h), which is read once
// through the XML reader alone and once with the scanner, in whole pieces and
// in small ones. It aborts when the readings differ in whether or how the
// load fails, or in any cell of any sheet.
#include "book_comparison.h"
#include "package_description.h"
#include "xlsx/xlsx_book.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string archive =
        fixture::buildZip(parsePackageDescription(std::string_view(reinterpret_cast<const char*>(data), size)));
    // Small pieces make rows and items meet the edge of the scanner's window.
    for (const size_t pieceSize : {xl::XmlReader::kPieceSize, 1 + size % 61}) {
        const xl::BookHandle general(xl::createXlsxBook(pieceSize, false));
        const xl::BookHandle scanned(xl::createXlsxBook(pieceSize, true));
        const std::string difference = fixture::readingDifference(archive, *general, *scanned);
        if (!difference.empty()) {
            std::fprintf(stderr, "the scanner reads otherwise (pieces of %zu bytes): %s\n", pieceSize,
                         difference.c_str());
            std::abort();
        }
    }
    return 0;
}
