// Conversions between the host's narrow text (bytes in an ANSI code page) and
// the module's wide text (UTF-16).
//
// narrowToWide reads with the calling thread's ANSI code page, wideToNarrow
// writes with the system's. On Windows these are CP_THREAD_ACP and CP_ACP; on
// other systems the thread's code page is the codeset of the thread's locale
// (uselocale) and the system's that of the process's global locale. Bytes that
// begin no character become U+FFFD; characters that the code page cannot hold
// become '?', as Windows' default character.
#pragma once

#include <span>
#include <string>
#include <string_view>

std::u16string narrowToWide(std::string_view narrow);
std::string wideToNarrow(std::u16string_view wide);

#if !defined(_WIN32)
class CodesetCodec;
#endif

// narrowToWide and wideToNarrow for a caller that converts many short texts
// in a row, as the naming rule does: the code pages are found once, when the
// converter is made, and the results are appended to buffers the caller reuses.
class CodePageConverter {
public:
    CodePageConverter();
    void appendWide(std::string_view narrow, std::u16string& out) const;
    void appendNarrow(std::u16string_view wide, std::string& out) const;
    // narrowToWide into `room` when it fits there, else into `spill`; the
    // text is valid as long as the one it went into.
    std::u16string_view toWide(std::string_view narrow, std::span<char16_t> room, std::u16string& spill) const;

private:
    // narrowToWide into `room`; false when the text does not fit there or
    // needs more than the quick way.
    bool toWideInRoom(std::string_view narrow, std::span<char16_t> room, size_t& written) const;

#if !defined(_WIN32)
    CodesetCodec* threadCodec_;
    CodesetCodec* systemCodec_;
#endif
};

// UTF-8 and UTF-16, for file names and the tools; invalid input becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
