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

// Reads the workbook at `path` into the process-wide table. When it cannot
// be opened, shows a message at level 5 (in Chinese where the host's code
// page holds it, in ASCII English elsewhere) and, when the file is there, a
// second one with the reason. When it opens but gives no pair (no sheet, no
// start marker, nothing after it), one level-4 message in ASCII says what to
// check. 1 when the region was read through its end marker, 0 otherwise.
int loadDictionary(std::u16string path, std::u16string startMarker, std::u16string endMarker);
