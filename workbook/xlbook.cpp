// The entry points that create books of either format.
#include "xls/xls_book.h"
#include "xlsx/xlsx_book.h"

namespace xl {

Book* xlCreateBookW() { return createXlsBook(); }

Book* xlCreateXMLBookW() { return createXlsxBook(); }

} // namespace xl
