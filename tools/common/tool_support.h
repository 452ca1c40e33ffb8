// What the command-line tools share: their arguments and file names as UTF-8
// on Windows (as given elsewhere), whole-file reading and writing, where the
// running program lies, and UTF-8 output on the terminal.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tools {

// The program's arguments after its name: on Windows read from the wide
// command line and turned into UTF-8, elsewhere the bytes as given.
std::vector<std::string> arguments(int argc, char** argv);

// The file an argument names, and a file name to show in a message.
std::filesystem::path pathFromArgument(const std::string& argument);
std::string displayPath(const std::filesystem::path& path);

// The whole file into `bytes`; false with `error` saying why.
bool readFile(const std::filesystem::path& path, std::string& bytes, std::string& error);
bool writeFile(const std::filesystem::path& path, const std::string& bytes, std::string& error);

// The running program's own file, or empty when the system cannot tell.
std::filesystem::path ownExecutable();

// Makes a Windows console show the UTF-8 that the tools print; nothing elsewhere.
void useUtf8Output();

// The columns that `utf8` takes in a terminal: two for a wide East Asian character.
size_t displayWidth(const std::string& utf8);

} // namespace tools
