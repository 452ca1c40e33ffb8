// Fuzz target for the binary book: any bytes must load or fail cleanly, and
// every cell of columns A and B of a loaded first sheet must be readable.
#include "xls/xls_book.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    xl::Book* book = xl::createXlsBook();
    if (book->loadRaw(reinterpret_cast<const char*>(data), static_cast<unsigned>(size))) {
        if (xl::Sheet* sheet = book->getSheet(0)) {
            for (int row = 0; row < sheet->lastRow(); ++row) {
                for (int col = 0; col < 2; ++col) {
                    sheet->cellType(row, col);
                    sheet->readStr(row, col);
                    sheet->readNum(row, col);
                }
            }
        }
    }
    book->release();
    return 0;
}
