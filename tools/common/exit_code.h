// The exit codes of the command-line tools. A number means the same in every
// program, so that a script can tell, for instance, an input file that cannot
// be read from one that was read but is of no use, whichever file it is.
#pragma once

namespace tools {

enum ExitCode : int {
    kOk = 0,
    // An input was read but is of no use: a workbook that the plug-in would
    // not load, a model file that is no model.
    kUnusableInput = 1,
    kBadArguments = 2,
    // An input file cannot be read: it is missing, a folder, not permitted,
    // its name is one the system refuses, or standard input fails.
    kCannotRead = 3,
    kModuleNotLoaded = 4,
    kUnknownCommand = 5,
    kCannotWrite = 6,
    // The input is usable, and `check --strict` found warnings in it.
    kWarnings = 7,
    // Memory ran out, or something failed that the program does not foresee.
    kInternalError = 8,
};

} // namespace tools
