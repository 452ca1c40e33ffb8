// The binary book: workbooks in the legacy .xls format.
#pragma once

#include "xlbook.h"

namespace xl {

Book* createXlsBook();

} // namespace xl
