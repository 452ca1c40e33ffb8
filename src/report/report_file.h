// Where the report goes and how it is written: a new file, never one that
// exists, and never half written. The bytes go to a temporary file in the
// same folder first, which is then given its final name by a call that
// fails rather than replace a file; a name that is taken gets "-2", "-3", ...
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// "PelmoraReport-YYYYMMDD-HHMMSS" for the local time `when`.
std::u16string reportFileStem(const std::tm& when);

struct NewFile {
    std::optional<std::u16string> path;  // the file written
    std::string error;                   // why not, in ASCII words, when it was not
};

// Writes `bytes` as a new file `stem` + `extension` in `folder` (a path
// without a separator at its end), or under the first free name "stem-2",
// "stem-3", ... beside it.
NewFile writeNewFile(std::u16string_view folder, std::u16string_view stem, std::u16string_view extension,
                     std::string_view bytes);

// The user's folder for temporary files, without a separator at its end;
// empty when the system names none.
std::u16string temporaryFolder();
