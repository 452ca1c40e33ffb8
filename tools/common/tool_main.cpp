// The frame of every tool's main().
#include "tool_main.h"

#include "console.h"
#include "pelmora_version.h"

#include <clocale>
#include <cstdio>

namespace tools {

int badArguments(const char* program, const std::string& message)
{
    writeText(Stream::Err, std::string(program) + ": " + message + "\nTry '" + program + " --help'.\n");
    return kBadArguments;
}

std::string versionText(const char* program) { return std::string(program) + " " + kPelmoraVersion + "\n"; }

int runTool(int argc, char** argv, const char* program, const std::function<int(const std::vector<Argument>&)>& body)
{
    // Names are taken, and text shown, in the codeset of the user's locale.
    std::setlocale(LC_ALL, "");
    auto say = [&](int code, const std::string& message) {
        try {
            writeText(Stream::Err, std::string(program) + ": " + message + "\n");
        } catch (...) {
            // Even the conversion failed: the words that need none.
            std::fputs("internal error\n", stderr);
        }
        return code;
    };
    return exitCodeOf([&] { return body(arguments(argc, argv)); }, say);
}

} // namespace tools
