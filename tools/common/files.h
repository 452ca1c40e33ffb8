// The files the tools read and write, named as the system gives their names,
// and where the running program lies. Errors are said in UTF-8, in English,
// with the file's name, the same way for every file.
#pragma once

#include "command_line.h"

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

// Writes `bytes` as the whole file; false with `error` naming the file and saying why.
bool writeFile(const std::filesystem::path& path, const std::string& bytes, std::string& error);

// Writes `bytes` as the file `path` through a temporary file beside it,
// renamed over `path` once whole, so that `path` is never left half
// written, and an earlier file of that name stays as it was when writing
// fails. False with `error` naming the file and saying why.
bool writeFileThroughTemporary(const std::filesystem::path& path, const std::string& bytes, std::string& error);

// The running program's own file, or empty when the system cannot tell.
std::filesystem::path ownExecutable();

} // namespace tools
