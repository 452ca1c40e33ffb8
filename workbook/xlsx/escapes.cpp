// The _xHHHH_ escapes of XML workbook text: decoded in place, and made
// with the entities when text is written.
#include "xlsx/escapes.h"

#include "xlsx/hex_digit.h"

#include "utf8.h"

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

namespace {

bool startsEscape(std::string_view text, size_t at)
{
    if (at + 6 >= text.size() || text[at + 1] != 'x' || text[at + 6] != '_')
        return false;
    for (size_t i = at + 2; i < at + 6; ++i)
        if (hexDigitValue(static_cast<unsigned char>(text[i])) < 0)
            return false;
    return true;
}

void appendEscape(unsigned value, std::string& out)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kDigits[(value >> shift) & 0xF]);
    out.push_back('_');
}

} // namespace

size_t appendXmlText(std::string_view text, std::string& out, bool attribute)
{
    std::string wellFormed;
    if (!isValidUtf8(text)) {
        wellFormed = utf16ToUtf8(utf8ToUtf16(text));
        text = wellFormed;
    }
    size_t units = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"' && attribute)
            out += "&quot;";
        else if (c < 0x20 && c != '\t' && c != '\n')
            appendEscape(c, out);
        else if (c == '_' && startsEscape(text, i))
            appendEscape('_', out);
        else if (c == 0xEF && i + 2 < text.size() && text[i + 1] == '\xBF' &&
                 (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            appendEscape(text[i + 2] == '\xBE' ? 0xFFFE : 0xFFFF, out);
            i += 2;
        } else
            out.push_back(text[i]);
    }
    return units;
}

} // namespace xl
