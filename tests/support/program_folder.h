// Where the build puts what a test loads or runs: beside the test program.
#pragma once

#include <filesystem>

// The folder of the running test program, where the build puts the module.
std::filesystem::path testProgramFolder();
