// Whole-file reads: _wfopen on Windows, the UTF-8 path elsewhere.
#include "common/file_reader.h"

#include "common/load_error.h"
#include "common/quote.h"
#include "common/utf8.h"

#include <cerrno>
#include <cstdio>

namespace xl {
namespace {

std::FILE* openForReading(const char16_t* path)
{
#ifdef _WIN32
    return _wfopen(reinterpret_cast<const wchar_t*>(path), L"rb");
#else
    return std::fopen(utf16ToUtf8(path).c_str(), "rb");
#endif
}

// The system's own text for errno follows the locale's language and codeset.
std::string describeOpenError(int code)
{
    switch (code) {
    case ENOENT: return "no such file";
    case EACCES: return "permission denied";
    case EISDIR: return "it is a folder";
    case EMFILE:
    case ENFILE: return "too many files are open";
    default: return "the system refused it (error " + std::to_string(code) + ")";
    }
}

} // namespace

std::string readWholeFile(const char16_t* path, size_t maxSize)
{
    if (!path || !*path)
        throw LoadError{"no workbook path given"};
    const std::string quoted = "'" + quoteForMessage(utf16ToUtf8(path), 400) + "'";
    std::FILE* file = openForReading(path);
    if (!file)
        throw LoadError{"cannot open " + quoted + ": " + describeOpenError(errno)};
    std::string bytes;
    char buffer[64 * 1024];
    bool tooLarge = false;
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (bytes.size() + got > maxSize) {
            tooLarge = true;
            break;
        }
        bytes.append(buffer, got);
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge)
        throw LoadError{quoted + " is larger than " + std::to_string(maxSize >> 20) +
                        " MiB, more than a workbook may be"};
    if (readError)
        throw LoadError{"cannot read " + quoted};
    return bytes;
}

} // namespace xl
