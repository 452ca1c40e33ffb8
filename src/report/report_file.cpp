// New files through the system's own calls: a temporary file created only
// if no file has its name (CreateFileW with CREATE_NEW, open with O_EXCL),
// then MoveFileExW without MOVEFILE_REPLACE_EXISTING or link(), which fail
// when the final name is taken. Paths are UTF-16, and UTF-8 off Windows.
#include "report_file.h"

#include "module_file.h"
#include "utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <random>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <unistd.h>
#endif

namespace {

std::u16string ascii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

#if defined(_WIN32)

const wchar_t* wide(const std::u16string& path)
{
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

std::string systemError(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED: return "access is denied";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND: return "the folder does not exist";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "the disk is full";
    case ERROR_WRITE_PROTECT: return "the disk is write-protected";
    default: return "system error " + std::to_string(error);
    }
}

// Creates `path` if no file has that name and writes `bytes` into it.
bool writeFresh(const std::u16string& path, std::string_view bytes, std::string& error, bool& taken)
{
    HANDLE file = CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = systemError(code);
        return false;
    }
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        DWORD wrote = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        written = WriteFile(file, bytes.data() + done, piece, &wrote, nullptr) && wrote == piece;
        done += wrote;
    }
    if (!written)
        error = systemError(GetLastError());
    if (!CloseHandle(file) && written) {
        written = false;
        error = systemError(GetLastError());
    }
    if (!written)
        DeleteFileW(wide(path));
    return written;
}

// Gives `from` the name `to` unless a file has it.
bool renameFresh(const std::u16string& from, const std::u16string& to, std::string& error, bool& taken)
{
    if (MoveFileExW(wide(from), wide(to), MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD code = GetLastError();
    taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    error = systemError(code);
    return false;
}

void removeFile(const std::u16string& path) { DeleteFileW(wide(path)); }

#else

std::string systemError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return "access is denied";
    case ENOENT:
    case ENOTDIR: return "the folder does not exist";
    case ENOSPC: return "the disk is full";
    case EROFS: return "the file system is read-only";
    default: return "system error " + std::to_string(error);
    }
}

bool writeFresh(const std::u16string& path, std::string_view bytes, std::string& error, bool& taken)
{
    const int file = ::open(xl::utf16ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file < 0) {
        taken = errno == EEXIST;
        error = systemError(errno);
        return false;
    }
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        const ssize_t wrote = ::write(file, bytes.data() + done, bytes.size() - done);
        written = wrote > 0;
        if (written)
            done += static_cast<size_t>(wrote);
        else
            error = systemError(errno);
    }
    if (::close(file) != 0 && written) {
        written = false;
        error = systemError(errno);
    }
    if (!written)
        ::unlink(xl::utf16ToUtf8(path).c_str());
    return written;
}

bool renameFresh(const std::u16string& from, const std::u16string& to, std::string& error, bool& taken)
{
    if (::link(xl::utf16ToUtf8(from).c_str(), xl::utf16ToUtf8(to).c_str()) == 0) {
        ::unlink(xl::utf16ToUtf8(from).c_str());
        return true;
    }
    taken = errno == EEXIST;
    error = systemError(errno);
    return false;
}

void removeFile(const std::u16string& path) { ::unlink(xl::utf16ToUtf8(path).c_str()); }

#endif

} // namespace

std::u16string reportFileStem(const std::tm& when)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", when.tm_year + 1900, when.tm_mon + 1,
                  when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return u"PelmoraReport-" + ascii(stamp);
}

NewFile writeNewFile(std::u16string_view folder, std::u16string_view stem, std::u16string_view extension,
                     std::string_view bytes)
{
    NewFile result;
    const std::u16string base = std::u16string(folder) + kPathSeparator;
    std::u16string temporary;
    for (int attempt = 0;; ++attempt) {
        temporary = base + u"~" + std::u16string(stem) + u"-" + ascii(std::to_string(std::random_device{}() % 100000)) +
                    u".tmp";
        bool taken = false;
        if (writeFresh(temporary, bytes, result.error, taken))
            break;
        if (!taken || attempt == 20)
            return result;
    }
    for (int number = 1; number <= 1000; ++number) {
        const std::u16string path =
            base + std::u16string(stem) + (number == 1 ? u"" : u"-" + ascii(std::to_string(number))) +
            std::u16string(extension);
        bool taken = false;
        if (renameFresh(temporary, path, result.error, taken)) {
            result.path = path;
            result.error.clear();
            return result;
        }
        if (!taken)
            break;
    }
    removeFile(temporary);
    if (result.error.empty())
        result.error = "every name is taken";
    return result;
}

std::u16string temporaryFolder()
{
#if defined(_WIN32)
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
    if (length == 0 || length > MAX_PATH + 1)
        return {};
    std::u16string folder(reinterpret_cast<const char16_t*>(buffer), length);
#else
    // As temp_directory_path() finds it, without asking whether it exists:
    // a folder that cannot be written is said so when the file is written.
    const char* named = std::getenv("TMPDIR");
    std::u16string folder = xl::utf8ToUtf16(named && *named ? named : "/tmp");
#endif
    while (folder.size() > 1 && folder.back() == kPathSeparator)
        folder.pop_back();
    return folder;
}
