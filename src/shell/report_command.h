// PelmoraReport: the look before a rename. It walks the assembly as the
// renaming commands do (the same activations, each part once however many
// occurrences use it, the active object given back), sets no name, sends no
// replay and leaves the user-action status alone. It writes the report
// workbook (model_report.h) as a new file beside the dictionary workbook,
// or in the user's temporary folder when that folder cannot be written,
// and shows one message at level 4: what each command would change, how
// many terms the dictionary lacks, and the report's path. When it cannot
// write the report anywhere, one message at level 5 says why.
#pragma once

#include "term_columns.h"

#include <string_view>

inline constexpr char kReportCommandName[] = "PelmoraReport";

// One run, with the dictionary the commands use and the path of its
// workbook. Returns 0.
int runReportCommand(const TermColumns& columns, std::u16string_view dictionaryPath);
