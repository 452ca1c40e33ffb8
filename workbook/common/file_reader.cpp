// Whole-file reads: _wfopen on Windows, the UTF-8 path elsewhere.
#include "common/file_reader.h"

#include "common/load_error.h"
#include "common/quote.h"
#include "utf8.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

// The size of the open file, or 0 when it cannot be told: only a hint, as
// the file may change while it is read.
uint64_t sizeHint(std::FILE* file)
{
#ifdef _WIN32
    struct _stat64 status;
    return _fstat64(_fileno(file), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
#else
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
#endif
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
    // Read straight into room for the whole file, and a byte more to see it
    // end: a string grown as it fills would copy it and touch twice its pages.
    const uint64_t hint = sizeHint(file);
    std::string bytes(hint > maxSize ? 0 : static_cast<size_t>(hint) + 1, '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
        const size_t got = std::fread(bytes.data() + filled, 1, bytes.size() - filled, file);
        if (got == 0)
            break;
        filled += got;
        if (filled == bytes.size() && filled <= maxSize)
            bytes.resize(std::min(std::max<size_t>(2 * filled, 64 << 10), maxSize + 1));
    }
    const bool tooLarge = hint > maxSize || filled > maxSize;
    bytes.resize(filled);
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
