// Reading a whole workbook file named by a UTF-16 path, for both kinds of
// book. Messages are plain English whatever the process's locale, since they
// end up in UTF-8 text.
#pragma once

#include <cstddef>
#include <string>

namespace xl {

// Reads the file at `path` into `bytes`. False, with `error` saying what and
// which file, when it cannot be opened or read or holds more than `maxSize`
// bytes.
bool readWholeFile(const char16_t* path, size_t maxSize, std::string& bytes, std::string& error);

} // namespace xl
