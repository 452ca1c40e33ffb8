// The files the tools read and write, named as the system gives their names,
// and where the running program lies. Errors are said in UTF-8, in English,
// with the file's name, the same way for every file.
#pragma once

#include "command_line.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace tools {

// The most an input file may hold: more than any workbook or model that the
// tools take, and less than what would exhaust memory.
inline constexpr size_t kMaxInputSize = size_t{1} << 30;

// The whole file that `argument` names, or standard input for "-", into
// `bytes`. False, with `error` naming the file and saying why, when it
// cannot be read or holds more than kMaxInputSize bytes.
bool readInput(const Argument& argument, std::string& bytes, std::string& error);

// A file read piece by piece, so that its size does not count against memory:
// the one an argument names, or standard input for "-".
class InputStream {
public:
    InputStream() = default;
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // False, with `error` naming the file and saying why, as readInput says it.
    bool open(const Argument& argument, std::string& error);
    // The next piece into `chunk`, empty at the end; false with `why` when reading fails.
    bool read(std::string& chunk, std::string& why);

    // For a pass that reads the input twice; called before the first read.
    // What cannot be read again (standard input from a pipe, a device) is
    // copied as it is read into a scratch file, deleted when it is closed.
    // False with `why` when no scratch file can be made.
    bool keepForRereading(std::string& why);
    // Back to the first byte, for the second reading; false with `why`.
    bool rewind(std::string& why);

private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
    std::FILE* scratch_ = nullptr;   // the copy of what cannot be read again
};

// A file written whole through a temporary name beside it and renamed over
// its own name when complete, so that a file that was there is never harmed
// by a failed write, and so that a place that cannot take the file is known
// before any work is done.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Makes the temporary file; false with `error` naming the file and saying why.
    bool open(const std::filesystem::path& path, std::string& error);
    // Writes `bytes` as the whole file and puts it in place; false with `error`.
    bool commit(const std::string& bytes, std::string& error);

private:
    std::filesystem::path path_;
    std::filesystem::path temporary_;
    std::FILE* file_ = nullptr;
};

// The running program's own file, or empty when the system cannot tell.
std::filesystem::path ownExecutable();

} // namespace tools
