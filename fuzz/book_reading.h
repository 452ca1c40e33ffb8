// What every book target does with its bytes once it has them as a workbook
// file: load them and read the first sheet's term columns as the dictionary
// loader does, so that a fault the loader would meet is met here too.
#pragma once

#include "xlbook.h"

#include <string_view>

// Loads `file` into `book`; when it loads, reads every cell of columns A and B
// of the first sheet through the loader's readCellText.
void loadAndReadTermColumns(xl::Book& book, std::string_view file);
