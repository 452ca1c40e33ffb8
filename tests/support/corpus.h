// Where the workbook corpus is: real .xlsx and .xls files written by other
// programs (xlsx/, xls/, and expected/ with what an established reader saw in
// each), kept outside the repository because it is large and not ours to
// ship. The test programs that read it use corpus_main.cpp as their main().
#pragma once

#include <filesystem>
#include <vector>

namespace fixture {

// The environment variable that points at the corpus.
inline constexpr const char* kCorpusVariable = "PELMORA_CORPUS";

// The exit code of a corpus test program that found no corpus, which ctest
// reports as a skipped test.
inline constexpr int kSkippedExitCode = 77;

// The corpus folder: PELMORA_CORPUS when it is set, or else the folder
// `shared/corpus` beside the repository, where the project's CI keeps it.
std::filesystem::path corpusFolder();

// The entries of one of the corpus's subfolders, sorted by name; none when
// the folder cannot be listed (so that a test program's static
// initialisation never throws).
std::vector<std::filesystem::path> corpusEntries(const char* subfolder);

} // namespace fixture
