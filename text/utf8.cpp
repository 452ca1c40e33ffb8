// UTF-8 to UTF-16 and back, checked one sequence at a time by the rule that
// also tells valid UTF-8 from ill-formed.
#include "utf8.h"

namespace xl {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Reads the sequence at `p`, whose lead byte is 0x80 or more. True with its
// code point in `cp` when it is well-formed; false otherwise, with `p` past
// the bytes that began it, so that the offending byte starts the next
// sequence. The bounds of the first continuation byte exclude overlong
// forms, surrogates and values past U+10FFFF in one check.
inline bool decodeSequence(const unsigned char*& p, const unsigned char* end, uint32_t& cp)
{
    const unsigned lead = *p++;
    int length;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return false;
    }
    for (int i = 1; i < length; ++i) {
        if (p == end || *p < low || *p > high)
            return false;
        cp = (cp << 6) | (*p & 0x3F);
        ++p;
        low = 0x80;
        high = 0xBF;
    }
    return true;
}

char16_t* putCodePoint(uint32_t cp, char16_t* out)
{
    if (cp < 0x10000) {
        *out++ = static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
    return out;
}

void appendCodePoint(uint32_t cp, std::string& out)
{
    char bytes[4];
    out.append(bytes, encodeUtf8(cp, bytes));
}

} // namespace

size_t encodeUtf8(uint32_t codePoint, char* out)
{
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

void appendUtf16(std::string_view utf8, std::u16string& out)
{
    // No sequence gives more code units than it has bytes: room for them
    // all is made at once, and what is left over cut off at the end.
    const size_t start = out.size();
    out.resize(start + utf8.size());
    char16_t* units = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        if (*p < 0x80) {
            *units++ = static_cast<char16_t>(*p++);
            continue;
        }
        uint32_t cp;
        if (decodeSequence(p, end, cp))
            units = putCodePoint(cp, units);
        else
            *units++ = kReplacement;
    }
    out.resize(static_cast<size_t>(units - out.data()));
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    appendUtf16(utf8, out);
    return out;
}

void appendUtf8(std::u16string_view utf16, std::string& out)
{
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit < 0xD800 || unit > 0xDFFF) {
            appendCodePoint(unit, out);
        } else if (unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
                   utf16[i + 1] <= 0xDFFF) {
            appendCodePoint(0x10000 + ((uint32_t(unit) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00), out);
            ++i;
        } else {
            appendCodePoint(kReplacement, out);
        }
    }
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    appendUtf8(utf16, out);
    return out;
}

size_t validUtf8Prefix(std::string_view text)
{
    const auto* start = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = start;
    const auto* end = p + text.size();
    while (p < end) {
        const auto* sequence = p;
        uint32_t cp;
        if (*p < 0x80)
            ++p;
        else if (!decodeSequence(p, end, cp))
            return static_cast<size_t>(sequence - start);
    }
    return text.size();
}

bool isValidUtf8(std::string_view text) { return validUtf8Prefix(text) == text.size(); }

} // namespace xl
