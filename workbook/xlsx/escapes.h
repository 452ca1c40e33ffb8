// The _xHHHH_ escapes with which XML workbooks write characters that XML
// text cannot hold (control characters) or that would otherwise be lost
// (a CR before a line end): decoded when a workbook is read, made when one
// is written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xl {

// Replaces each escape _xHHHH_ (four hex digits in either case) with the
// code unit it names, left to right, so that _x005F_ before a sequence that
// looks like an escape keeps that sequence as text.
void decodeEscapes(std::u16string& text);

// Appends UTF-8 `text` to `out` as XML text (or, with `attribute`, as an
// attribute value in double quotes) that reads back as the same characters:
// & < > (and ") as entities; what XML cannot hold or would change (control
// characters other than tab and line feed, CR, U+FFFE, U+FFFF) as _xHHHH_;
// an underscore that would start such an escape as _x005F_. Ill-formed UTF-8
// is written as U+FFFD. Returns the text's length in UTF-16 code units, as
// a sheet's limits count it.
size_t appendXmlText(std::string_view text, std::string& out, bool attribute = false);

} // namespace xl
