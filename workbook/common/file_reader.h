// Reading a whole workbook file named by a UTF-16 path, for both kinds of
// book. Messages are plain English whatever the process's locale, since they
// end up in UTF-8 text.
#pragma once

#include <cstddef>
#include <string>

namespace xl {

// The bytes of the file at `path`. Throws a LoadError saying what and which
// file when it cannot be opened or read or holds more than `maxSize` bytes.
std::string readWholeFile(const char16_t* path, size_t maxSize);

} // namespace xl
