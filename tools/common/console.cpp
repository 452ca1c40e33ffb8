// The tools' output: WriteConsoleW or UTF-8 bytes on Windows, the locale's
// codeset elsewhere.
#include "console.h"

#include "text.h"
#include "utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace tools {
namespace {

std::FILE* fileOf(Stream stream) { return stream == Stream::Out ? stdout : stderr; }

void writeBytes(Stream stream, std::string_view bytes)
{
    std::FILE* file = fileOf(stream);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
}

#if defined(_WIN32)

// Writes to the console that `stream` shows on, if it shows on one.
bool writeToConsole(Stream stream, std::string_view utf8)
{
    HANDLE handle = GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode))
        return false;
    std::fflush(fileOf(stream));
    const std::u16string wide = xl::utf8ToUtf16(utf8);
    // A console takes a write of limited size at a time; a piece never ends
    // between the two halves of a surrogate pair.
    constexpr size_t kPiece = 8192;
    for (size_t start = 0; start < wide.size();) {
        size_t size = std::min(kPiece, wide.size() - start);
        if (start + size < wide.size() && wide[start + size - 1] >= 0xD800 && wide[start + size - 1] <= 0xDBFF)
            --size;
        DWORD written = 0;
        if (!WriteConsoleW(handle, wide.data() + start, static_cast<DWORD>(size), &written, nullptr))
            return false;
        start += size;
    }
    return true;
}

#endif

} // namespace

void writeText(Stream stream, std::string_view utf8)
{
#if defined(_WIN32)
    if (!writeToConsole(stream, utf8))
        writeBytes(stream, utf8);
#else
    writeBytes(stream, systemCodePage() == 65001 ? std::string(utf8) : wideToNarrow(xl::utf8ToUtf16(utf8)));
#endif
}

void writeUtf8(Stream stream, std::string_view utf8)
{
#if defined(_WIN32)
    if (writeToConsole(stream, utf8))
        return;
#endif
    writeBytes(stream, utf8);
}

std::string displayName(const std::filesystem::path& path)
{
    const auto& native = path.native();
#if defined(_WIN32)
    return xl::utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size()));
#else
    return xl::utf16ToUtf8(narrowToWide(native));
#endif
}

size_t displayWidth(std::string_view utf8)
{
    const std::u16string text = xl::utf8ToUtf16(utf8);
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        // Hangul Jamo, CJK, Hangul syllables, compatibility forms, full-width forms, emoji and beyond.
        const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                          (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                          (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                          (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x1F300;
        width += wide ? 2 : 1;
    }
    return width;
}

std::string padded(std::string_view utf8, size_t width)
{
    const size_t taken = displayWidth(utf8);
    return std::string(utf8) + std::string(width > taken ? width - taken : 0, ' ');
}

} // namespace tools
