// The tools' shared pieces: Win32 calls on Windows, POSIX elsewhere.
#include "tool_support.h"

#include "common/utf8.h"

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <system_error>

#if defined(_WIN32)
#  include <windows.h>
#  include <shellapi.h>
#endif

namespace tools {
namespace {

// The system's own text for an error is in the locale's codeset, which the
// tools' UTF-8 output cannot carry; these are the ones a user meets.
std::string reasonFor(int error)
{
    switch (error) {
    case ENOENT: return " (no such file or folder)";
    case EACCES: return " (permission denied)";
    case EISDIR: return " (it is a folder)";
    case 0: return {};
    default: return " (system error " + std::to_string(error) + ")";
    }
}

} // namespace

#if defined(_WIN32)

std::vector<std::string> arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> result;
    for (int i = 1; wide != nullptr && i < count; ++i)
        result.push_back(xl::utf16ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
    LocalFree(wide);
    return result;
}

std::filesystem::path pathFromArgument(const std::string& argument)
{
    return std::filesystem::path(std::u8string(argument.begin(), argument.end()));
}

std::string displayPath(const std::filesystem::path& path)
{
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path ownExecutable()
{
    for (DWORD capacity = 256; capacity <= 32768; capacity *= 2) {
        std::wstring buffer(capacity, L'\0');
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
        if (length == 0)
            return {};
        if (length < capacity)
            return std::filesystem::path(buffer.substr(0, length));
    }
    return {};
}

void useUtf8Output() { SetConsoleOutputCP(CP_UTF8); }

#else

std::vector<std::string> arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

std::filesystem::path pathFromArgument(const std::string& argument) { return std::filesystem::path(argument); }

std::string displayPath(const std::filesystem::path& path) { return path.string(); }

std::filesystem::path ownExecutable()
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

void useUtf8Output() {}

#endif

bool readFile(const std::filesystem::path& path, std::string& bytes, std::string& error)
{
    std::error_code status;
    if (std::filesystem::is_directory(path, status)) {
        error = "is a folder, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot be opened" + reasonFor(errno);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = "cannot be read";
        return false;
    }
    bytes = content.str();
    return true;
}

bool writeFile(const std::filesystem::path& path, const std::string& bytes, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot be created" + reasonFor(errno);
        return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot be written";
        return false;
    }
    return true;
}

size_t displayWidth(const std::string& utf8)
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

} // namespace tools
