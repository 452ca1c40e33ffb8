// Text conversions of the spreadsheet layer: workbook files carry UTF-8 (or
// UTF-16) text and escape some characters as _xHHHH_, while the layer hands
// out UTF-16 and reports errors in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xl {

// Puts the UTF-8 of a code point below 0x110000 into `out`, which has room
// for four bytes, and says how many it took. A surrogate takes three, as a
// character reference to one does in XML text; on the way to UTF-16 it
// becomes U+FFFD, as any ill-formed UTF-8 does.
size_t encodeUtf8(uint32_t codePoint, char* out);

// Appends the UTF-16 form of `utf8` to `out`. Each ill-formed sequence
// (stray continuation byte, overlong form, encoded surrogate, value beyond
// U+10FFFF, sequence cut short) becomes one U+FFFD, as Unicode recommends.
void appendUtf16(std::string_view utf8, std::u16string& out);
std::u16string utf8ToUtf16(std::string_view utf8);

// Appends the UTF-8 form of `utf16` to `out`; an unpaired surrogate becomes
// U+FFFD.
void appendUtf8(std::u16string_view utf16, std::string& out);
std::string utf16ToUtf8(std::u16string_view utf16);

// Replaces each escape _xHHHH_ (four hex digits in either case) with the
// code unit it names, left to right, so that _x005F_ before a sequence that
// looks like an escape keeps that sequence as text.
void decodeEscapes(std::u16string& text);

// `text` made safe to quote in an error message: well-formed UTF-8 (U+FFFD
// for what was not), control characters as \xHH, cut after about
// `maxLength` bytes.
std::string quoteForMessage(std::string_view text, size_t maxLength = 40);

} // namespace xl
