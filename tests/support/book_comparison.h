// Whether two books read one workbook file alike: both load it or both fail
// with the same message, and every sheet has the same cells with the same
// types, numbers and texts. For the checks that the spreadsheet layer's two
// readers of sheets and shared strings agree.
#pragma once

#include "xlbook.h"

#include <string>
#include <string_view>

namespace fixture {

// Loads `file` into both books (which must make their sheets as the layer's
// own SheetData) and says where they first differ; empty when they agree.
std::string readingDifference(std::string_view file, xl::Book& expected, xl::Book& actual);

} // namespace fixture
