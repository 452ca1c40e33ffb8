// The hexadecimal digits that the XML format writes in three kinds of escape:
// _xHHHH_ in cell text, %XX in part names and &#xH; in XML text.
#pragma once

namespace xl {

// The value of a hexadecimal digit in either case; -1 for anything else.
constexpr int hexDigitValue(char32_t c)
{
    if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
    if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
    if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
    return -1;
}

} // namespace xl
