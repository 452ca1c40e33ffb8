// File reading and writing through the C library with the system's own kind
// of name (_wfopen on Windows), so that errno says why an open failed.
#include "files.h"

#include "console.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#  include <windows.h>
#else
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace tools {
namespace {

namespace fs = std::filesystem;

// The system's own text for an error is in the locale's codeset and language;
// these are the ones a user meets, the same on every system.
std::string reasonFor(int error)
{
    switch (error) {
    case ENOENT: return "no such file or folder";
    case EACCES: return "permission denied";
    case EISDIR: return "it is a folder";
    case ENOTDIR: return "a part of the path is not a folder";
    case ENAMETOOLONG: return "the name is too long";
    case EINVAL: return "the system refuses the name";
    case EMFILE:
    case ENFILE: return "too many files are open";
    case ENOSPC: return "the disk is full";
    case EROFS: return "the file system is read-only";
    case 0: return "unknown reason";
    default: return "system error " + std::to_string(error);
    }
}

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

File openFile(const fs::path& path, const char* mode)
{
    errno = 0;
#if defined(_WIN32)
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return File(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return File(std::fopen(path.c_str(), mode));
#endif
}

// Whether the file can be read again from its start: a file on a disk, not
// a pipe, a console or a device (where Windows may say a seek succeeded).
bool seekable(std::FILE* file)
{
#if defined(_WIN32)
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK;
#else
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
#endif
}

// A file for reading and writing that the system deletes when it is closed.
std::FILE* openScratchFile()
{
#if defined(_WIN32)
    // The C library's tmpfile writes to the drive's root, which users may not write to.
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"pel", 0, name) == 0)
        return nullptr;
    std::FILE* file = _wfopen(name, L"w+bD");
    if (!file)
        DeleteFileW(name);
    return file;
#else
    return std::tmpfile();
#endif
}

} // namespace

bool readInput(const Argument& argument, std::string& bytes, std::string& error)
{
    InputStream input;
    if (!input.open(argument, error))
        return false;
    std::string chunk;
    std::string why;
    bytes.clear();
    while (input.read(chunk, why) && !chunk.empty()) {
        if (bytes.size() + chunk.size() > kMaxInputSize) {
            why = "it holds more than " + std::to_string(kMaxInputSize >> 20) + " MiB";
            break;
        }
        bytes += chunk;
    }
    if (why.empty())
        return true;
    error = (argument.isStandardStream() ? "standard input cannot be read: "
                                         : displayName(argument.path()) + ": cannot be read (") +
            why + (argument.isStandardStream() ? "" : ")");
    return false;
}

InputStream::~InputStream()
{
    if (owned_)
        std::fclose(file_);
    if (scratch_)
        std::fclose(scratch_);
}

bool InputStream::open(const Argument& argument, std::string& error)
{
    if (argument.isStandardStream()) {
#if defined(_WIN32)
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        file_ = stdin;
        return true;
    }
    const fs::path path = argument.path();
    std::string why;
    std::error_code status;
    if (path.empty()) {
        why = "the name is empty";
    } else if (fs::is_directory(path, status)) {
        why = reasonFor(EISDIR);
    } else {
        file_ = openFile(path, "rb").release();
        owned_ = file_ != nullptr;
        if (file_)
            return true;
        why = reasonFor(errno);
    }
    error = displayName(path) + ": cannot be read (" + why + ")";
    return false;
}

bool InputStream::read(std::string& chunk, std::string& why)
{
    chunk.resize(65536);
    const size_t got = std::fread(chunk.data(), 1, chunk.size(), file_);
    chunk.resize(got);
    if (got == 0 && std::ferror(file_)) {
        why = reasonFor(errno);
        return false;
    }
    if (scratch_ && got > 0 && std::fwrite(chunk.data(), 1, got, scratch_) != got) {
        why = "the copy kept for a second reading cannot be written: " + reasonFor(errno);
        return false;
    }
    return true;
}

bool InputStream::keepForRereading(std::string& why)
{
    if (seekable(file_))
        return true;
    errno = 0;
    scratch_ = openScratchFile();
    if (scratch_)
        return true;
    why = "no scratch file for a second reading can be made: " + reasonFor(errno);
    return false;
}

bool InputStream::rewind(std::string& why)
{
    if (scratch_) {
        if (owned_)
            std::fclose(file_);
        file_ = scratch_;
        owned_ = true;
        scratch_ = nullptr;
    }
    errno = 0;
    if (std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0) {
        std::clearerr(file_);
        return true;
    }
    why = "it cannot be read a second time: " + reasonFor(errno);
    return false;
}

OutputFile::~OutputFile()
{
    if (file_) {
        std::fclose(file_);
        std::error_code ignored;
        fs::remove(temporary_, ignored);
    }
}

bool OutputFile::open(const fs::path& path, std::string& error)
{
    path_ = path;
    std::error_code status;
    std::string why;
    if (path.empty() || !path.has_filename()) {
        why = "the name is empty";
    } else if (fs::is_directory(path, status)) {
        why = reasonFor(EISDIR);
    } else {
#if defined(_WIN32)
        const unsigned long process = GetCurrentProcessId();
#else
        const unsigned long process = static_cast<unsigned long>(getpid());
#endif
        temporary_ = path;
        temporary_ += "." + std::to_string(process) + ".tmp";
        file_ = openFile(temporary_, "wb").release();
        if (file_)
            return true;
        why = reasonFor(errno);
    }
    error = displayName(path) + ": cannot be written (" + why + ")";
    return false;
}

bool OutputFile::commit(const std::string& bytes, std::string& error)
{
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    int reason = errno;
    // Closing flushes: only then is a full disk known.
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    if (!written)
        reason = errno;
#if defined(_WIN32)
    if (written && !MoveFileExW(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        written = false;
        reason = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : 0;
    }
#else
    if (written && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        written = false;
        reason = errno;
    }
#endif
    if (written)
        return true;
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    error = displayName(path_) + ": cannot be written (" + reasonFor(reason) + ")";
    return false;
}

#if defined(_WIN32)

fs::path ownExecutable()
{
    for (DWORD capacity = 256; capacity <= 32768; capacity *= 2) {
        std::wstring buffer(capacity, L'\0');
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
        if (length == 0)
            return {};
        if (length < capacity)
            return fs::path(buffer.substr(0, length));
    }
    return {};
}

#else

fs::path ownExecutable()
{
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

#endif

} // namespace tools
