// The plug-in's one term table, and its filling from the workbook at start-up.
#pragma once

#include "term_columns.h"
#include "term_dictionary.h"

#include <string>

// The one table of the process: filled from the workbook at start-up, read by
// every run of the command, and destroyed when the module is unloaded.
TermDictionary& sharedTermDictionary();
// The columns of the same terms, filled with it.
TermColumns& sharedTermColumns();

// Reads the workbook at `path` into the process-wide table; shows a message
// at level 5 when it cannot be opened. 1 when the region was read through its
// end marker, 0 otherwise.
int loadDictionary(std::u16string path, std::u16string startMarker, std::u16string endMarker);
