// The _xHHHH_ escapes with which XML workbooks write characters that XML
// text cannot hold (control characters) or that would otherwise be lost
// (a CR before a line end).
#pragma once

#include <string>

namespace xl {

// Replaces each escape _xHHHH_ (four hex digits in either case) with the
// code unit it names, left to right, so that _x005F_ before a sequence that
// looks like an escape keeps that sequence as text.
void decodeEscapes(std::u16string& text);

} // namespace xl
