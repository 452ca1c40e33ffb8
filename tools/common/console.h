// What the tools print, and how. Text for people is shown in the encoding of
// where it goes: on a Windows console as UTF-16 through WriteConsoleW, which
// leaves the console's code page as the user set it; to a pipe or file on
// Windows as UTF-8; elsewhere in the codeset of the user's locale (UTF-8 in a
// UTF-8 locale). JSON and other text for programs is UTF-8 wherever it goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tools {

enum class Stream { Out, Err };

// `utf8` for people, converted for where `stream` goes; what that encoding
// cannot hold becomes '?'.
void writeText(Stream stream, std::string_view utf8);
// `utf8` for programs: UTF-8 to a pipe or file whatever the locale; on a
// Windows console, which takes no bytes, as writeText shows it.
void writeUtf8(Stream stream, std::string_view utf8);

// A file's name for a message, in UTF-8: what the system's encoding cannot
// decode is U+FFFD.
std::string displayName(const std::filesystem::path& path);

// The columns that `utf8` takes in a terminal: two for a wide East Asian character.
size_t displayWidth(std::string_view utf8);
// `utf8` followed by the blanks that make it `width` columns wide.
std::string padded(std::string_view utf8, size_t width);

} // namespace tools
