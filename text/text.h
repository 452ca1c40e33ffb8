// Conversions between the host's narrow text (bytes in an ANSI code page) and
// the module's wide text (UTF-16).
//
// narrowToWide reads with the calling thread's ANSI code page, wideToNarrow
// writes with the system's. On Windows these are CP_THREAD_ACP and CP_ACP; on
// other systems the thread's code page is the codeset of the thread's locale
// (uselocale) and the system's that of the process's global locale. Bytes that
// begin no character become U+FFFD; characters that the code page cannot hold
// become '?', as Windows' default character.
//
// The exact conversion is for text that must not be altered on its way into
// the code page: it fails where the lossy one would put '?' or, on Windows, a
// look-alike ("best fit") in place of a character.
//
// UTF-8 is not a code page here: the one UTF-8 codec of the project is the
// spreadsheet layer's (common/utf8.h).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

std::u16string narrowToWide(std::string_view narrow);
std::string wideToNarrow(std::u16string_view wide);
// wideToNarrow when the system's code page holds `wide` exactly: the narrow
// text reads back, in that code page, as `wide` itself. nullopt otherwise.
std::optional<std::string> wideToNarrowExact(std::u16string_view wide);

// The system's ANSI code page as Windows numbers it (1252, 936, 65001 for
// UTF-8 ...); natively the number of the global locale's codeset, 0 when it
// has none.
int systemCodePage();
// The same for people, in ASCII: "code page 1252", or natively "codeset X"
// for a codeset without a number.
std::string systemCodePageName();

#if !defined(_WIN32)
class CodesetCodec;
#endif

// narrowToWide and wideToNarrow for a caller that converts many short texts
// in a row, as the naming rule does: the code pages are found once, when the
// converter is made, and the results are appended to buffers the caller reuses.
class CodePageConverter {
public:
    CodePageConverter();
    ~CodePageConverter();
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;
    void appendWide(std::string_view narrow, std::u16string& out) const;
    void appendNarrow(std::u16string_view wide, std::string& out) const;
    // appendNarrow when the result reads back as `wide`; false, with `out`
    // as it was, when the system's code page cannot hold `wide` exactly.
    bool appendNarrowExact(std::u16string_view wide, std::string& out) const;
    // narrowToWide into `room` when it fits there, else into `spill`; the
    // text is valid as long as the one it went into.
    std::u16string_view toWide(std::string_view narrow, std::span<char16_t> room, std::u16string& spill) const;

private:
    // narrowToWide into `room`; false when the text does not fit there or
    // needs more than the quick way.
    bool toWideInRoom(std::string_view narrow, std::span<char16_t> room, size_t& written) const;

#if !defined(_WIN32)
    // Taken from the process's pool, and given back, by the converter.
    CodesetCodec* threadCodec_;
    CodesetCodec* systemCodec_;
    // What an exact conversion reads back, kept from call to call.
    mutable std::u16string readBack_;
#endif
};
