// Decoding the _xHHHH_ escapes of XML workbook text in place.
#include "xlsx/escapes.h"

#include "xlsx/hex_digit.h"

namespace xl {

void decodeEscapes(std::u16string& text)
{
    size_t in = text.find(u"_x");
    if (in == std::u16string::npos)
        return;
    size_t out = in;
    while (in < text.size()) {
        if (text[in] == u'_' && in + 6 < text.size() && text[in + 1] == u'x' && text[in + 6] == u'_') {
            const int d0 = hexDigitValue(text[in + 2]), d1 = hexDigitValue(text[in + 3]);
            const int d2 = hexDigitValue(text[in + 4]), d3 = hexDigitValue(text[in + 5]);
            if ((d0 | d1 | d2 | d3) >= 0) {
                text[out++] = static_cast<char16_t>((d0 << 12) | (d1 << 8) | (d2 << 4) | d3);
                in += 7;
                continue;
            }
        }
        text[out++] = text[in++];
    }
    text.resize(out);
}

} // namespace xl
