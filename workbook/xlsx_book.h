// The XML book: workbooks in the .xlsx format (and .xlsm, which differs only
// in the parts that this layer does not read).
#pragma once

#include "xlbook.h"

namespace xl {

Book* createXlsxBook();

} // namespace xl
