// Text from a workbook file, made fit to quote in an error message: the
// file may hold anything, and the message is UTF-8 that a person reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xl {

// `text` made safe to quote in an error message: well-formed UTF-8 (U+FFFD
// for what was not), control characters as \xHH, cut after about
// `maxLength` bytes.
std::string quoteForMessage(std::string_view text, size_t maxLength = 40);

} // namespace xl
