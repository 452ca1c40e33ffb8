// One small dictionary saved both ways: as an .xlsx workbook the way Excel
// writes it, and as a legacy .xls (BIFF8) workbook. A title row, the markers,
// pairs of text, number cells, a row with an empty cell, a near-miss marker
// and a row after the end marker. It holds five pairs.
#pragma once

#include <string>

std::string dictionaryAsXlsx();
std::string dictionaryAsXls();
