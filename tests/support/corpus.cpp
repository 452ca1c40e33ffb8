// The corpus's place and listing, and the main() of the programs that read
// it: without the corpus they say where it was looked for and exit with the
// code ctest counts as skipped, instead of failing a plain clone's tests.
#include "corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <system_error>

namespace fixture {

namespace fs = std::filesystem;

namespace {

// The variable as the system gives it: UTF-16 on Windows, bytes elsewhere.
bool corpusVariable(fs::path& value)
{
#ifdef _WIN32
    const wchar_t* text = _wgetenv(L"PELMORA_CORPUS");
#else
    const char* text = std::getenv(kCorpusVariable);
#endif
    if (text == nullptr || *text == 0)
        return false;
    value = fs::path(text);
    return true;
}

} // namespace

fs::path corpusFolder()
{
    fs::path folder;
    if (corpusVariable(folder))
        return folder;
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(PELMORA_SOURCE_DIR))) / ".." / "shared" / "corpus";
}

std::vector<fs::path> corpusEntries(const char* subfolder)
{
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(corpusFolder() / subfolder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

} // namespace fixture

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    testing::InitGoogleTest(&argc, argv);
    const fs::path folder = fixture::corpusFolder();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        fs::path chosen;
        if (fixture::corpusVariable(chosen)) {
            const std::u8string where = folder.u8string();
            std::cerr << fixture::kCorpusVariable << " names no folder: " << std::string(where.begin(), where.end())
                      << "\n";
            return 1;
        }
        const std::u8string where = folder.lexically_normal().u8string();
        std::cout << "skipped: no workbook corpus at " << std::string(where.begin(), where.end()) << " (set " << fixture::kCorpusVariable << " to the folder that holds its xlsx/ and xls/)\n";
        return fixture::kSkippedExitCode;
    }
    return RUN_ALL_TESTS();
}
