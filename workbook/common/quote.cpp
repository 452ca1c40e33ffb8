// Quoting file text in messages.
#include "common/quote.h"

#include "utf8.h"

namespace xl {

std::string quoteForMessage(std::string_view text, size_t maxLength)
{
    static const char digits[] = "0123456789ABCDEF";
    // A round trip through UTF-16 leaves only well-formed UTF-8.
    const std::string wellFormed = utf16ToUtf8(utf8ToUtf16(text));
    std::string out;
    for (const char ch : wellFormed) {
        const auto byte = static_cast<unsigned char>(ch);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (out.size() >= maxLength && !continuation) {
            out += "...";
            break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 0xF]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

} // namespace xl
