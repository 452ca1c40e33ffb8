// The XML book: workbooks in the .xlsx format (and .xlsm, which differs only
// in the parts that this layer does not read).
#pragma once

#include "xlbook.h"
#include "xlsx/xml_reader.h"

#include <cstddef>

namespace xl {

// A book that reads its parts `pieceSize` bytes at a time; tests make that a
// byte or two, so that every token meets the edge of a piece. `scanned`
// false reads the sheets and shared strings through the XML reader alone,
// for the checks that the scanner reads them alike.
Book* createXlsxBook(size_t pieceSize = XmlReader::kPieceSize, bool scanned = true);

} // namespace xl
