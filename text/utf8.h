// UTF-8 and UTF-16, the one conversion between them for the whole project:
// workbook files carry UTF-8 (or UTF-16) text, the layer hands out UTF-16,
// and messages are UTF-8. The conversions never fail: what is ill-formed
// becomes U+FFFD, so that a damaged file still reads and its messages stay
// printable. A library of its own (xl_utf8), for the parts of the project
// that need the conversions but no workbooks.
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

// Whether `text` is well-formed UTF-8 throughout: none of the sequences that
// appendUtf16 would replace.
bool isValidUtf8(std::string_view text);
// How many bytes from the start are well-formed UTF-8: the offset of the
// first ill-formed sequence, or the whole size.
size_t validUtf8Prefix(std::string_view text);

} // namespace xl
