// Code-page conversions: Win32's on Windows, iconv elsewhere.
#include "text.h"

#include <cstdint>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <cerrno>
#  include <clocale>
#  include <iconv.h>
#  include <langinfo.h>
#  include <locale.h>
#  include <map>
#  include <memory>
#endif

#if defined(_WIN32)

namespace {

std::u16string toWide(UINT codePage, std::string_view narrow)
{
    if (narrow.empty())
        return {};
    int length = static_cast<int>(narrow.size());
    int needed = MultiByteToWideChar(codePage, 0, narrow.data(), length, nullptr, 0);
    std::u16string wide(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(codePage, 0, narrow.data(), length, reinterpret_cast<wchar_t*>(wide.data()), needed);
    return wide;
}

std::string toNarrow(UINT codePage, std::u16string_view wide)
{
    if (wide.empty())
        return {};
    int length = static_cast<int>(wide.size());
    const wchar_t* data = reinterpret_cast<const wchar_t*>(wide.data());
    int needed = WideCharToMultiByte(codePage, 0, data, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, data, length, narrow.data(), needed, nullptr, nullptr);
    return narrow;
}

} // namespace

std::u16string narrowToWide(std::string_view narrow) { return toWide(CP_THREAD_ACP, narrow); }
std::string wideToNarrow(std::u16string_view wide) { return toNarrow(CP_ACP, wide); }
std::u16string utf8ToUtf16(std::string_view utf8) { return toWide(CP_UTF8, utf8); }
std::string utf16ToUtf8(std::u16string_view utf16) { return toNarrow(CP_UTF8, utf16); }

#else

namespace {

constexpr char kUtf16[] = "UTF-16LE";

// One iconv descriptor per codeset and direction, opened on first use and kept
// for the life of the thread (a descriptor must not be shared between threads).
class Converters {
public:
    ~Converters()
    {
        for (auto& entry : descriptors_)
            iconv_close(entry.second);
    }
    iconv_t get(const std::string& from, const std::string& to)
    {
        std::string key = from + '>' + to;
        auto it = descriptors_.find(key);
        if (it == descriptors_.end())
            it = descriptors_.emplace(key, iconv_open(to.c_str(), from.c_str())).first;
        return it->second;
    }

private:
    std::map<std::string, iconv_t> descriptors_;
};

Converters& converters()
{
    thread_local Converters instance;
    return instance;
}

// The codeset of the process's global locale; looked up again only when the
// global locale changes.
std::string systemCodeset()
{
    thread_local std::string lastName;
    thread_local std::string codeset;
    const char* name = std::setlocale(LC_CTYPE, nullptr);
    std::string current = name ? name : "C";
    if (current != lastName || codeset.empty()) {
        locale_t locale = newlocale(LC_CTYPE_MASK, current.c_str(), locale_t(0));
        codeset = locale ? nl_langinfo_l(CODESET, locale) : "ANSI_X3.4-1968";
        if (locale)
            freelocale(locale);
        lastName = current;
    }
    return codeset;
}

std::string threadCodeset()
{
    locale_t locale = uselocale(locale_t(0));
    if (locale == LC_GLOBAL_LOCALE)
        return systemCodeset();
    return nl_langinfo_l(CODESET, locale);
}

// Converts `size` bytes with `descriptor`; where the input holds something
// that cannot be converted, `skip` input bytes are passed over and
// `replacement` is written instead.
std::string convert(iconv_t descriptor, const char* input, size_t size, size_t skip, std::string_view replacement)
{
    std::string output;
    if (descriptor == iconv_t(-1)) {
        for (size_t i = 0; i < size; i += skip)
            output += replacement;
        return output;
    }
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    size_t inLeft = size;
    char buffer[512];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(descriptor, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<size_t>(out - buffer));
        if (result != size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: an invalid or cut-off sequence at `in`.
        size_t step = skip < inLeft ? skip : inLeft;
        in += step;
        inLeft -= step;
        output += replacement;
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    }
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(descriptor, nullptr, nullptr, &out, &outLeft);
    output.append(buffer, static_cast<size_t>(out - buffer));
    return output;
}

std::u16string toWide(const std::string& codeset, std::string_view narrow)
{
    if (narrow.empty())
        return {};
    static constexpr char kReplacement[] = {char(0xFD), char(0xFF)};   // U+FFFD, little-endian
    std::string bytes = convert(converters().get(codeset, kUtf16), narrow.data(), narrow.size(), 1,
                                std::string_view(kReplacement, 2));
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return wide;
}

std::string toNarrow(const std::string& codeset, std::u16string_view wide)
{
    if (wide.empty())
        return {};
    std::string bytes(wide.size() * 2, '\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
    }
    return convert(converters().get(kUtf16, codeset), bytes.data(), bytes.size(), 2, "?");
}

} // namespace

std::u16string narrowToWide(std::string_view narrow) { return toWide(threadCodeset(), narrow); }
std::string wideToNarrow(std::u16string_view wide) { return toNarrow(systemCodeset(), wide); }
std::u16string utf8ToUtf16(std::string_view utf8) { return toWide("UTF-8", utf8); }
std::string utf16ToUtf8(std::u16string_view utf16) { return toNarrow("UTF-8", utf16); }

#endif
