// How a tool's main runs: in the user's locale, with the arguments as the
// system gives them, and so that nothing thrown ends the program with an
// abort: out of memory and any other failure become kInternalError and a
// message.
#pragma once

#include "command_line.h"
#include "exit_code.h"

#include <exception>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace tools {

// Runs `step`; when it throws, returns what `fail` makes of the exit code
// and a message in UTF-8.
template <typename Step, typename Fail>
int exitCodeOf(Step step, Fail fail)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return fail(kInternalError, "out of memory");
    } catch (const std::exception& failure) {
        return fail(kInternalError, std::string("unexpected failure: ") + failure.what());
    } catch (...) {
        return fail(kInternalError, "unexpected failure");
    }
}

// main() for the tool `program`: sets the locale, takes the arguments and
// runs `body` through exitCodeOf, with a failure said on standard error.
int runTool(int argc, char** argv, const char* program, const std::function<int(const std::vector<Argument>&)>& body);

// What --version prints: the program's name and the project's version.
std::string versionText(const char* program);

// The message for a failure in the arguments, with the hint where to look.
int badArguments(const char* program, const std::string& message);

} // namespace tools
