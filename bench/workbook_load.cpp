// Loads workbooks one after the other and says, for each, what came of it, how
// long it took and how much memory the process held at its peak: for
// bench/compare.py and for measuring hostile workbooks.
//
// usage: workbook_load [--layer] [--repeat N] WORKBOOK...
//   default   the dictionary loader (readDictionaryWorkbook with the module's
//             markers); prints the pairs entered
//   --layer   the spreadsheet layer alone: load the book, then read every cell
//             of columns A and B up to the last row as the loader does (its
//             number or its text); prints the cells that held either
// The time is processor time (the machine may be busy with other work), the
// best of N loads (default 1); the memory is the first load's.
// Output: one line per workbook,
//   <file> <result> <count> <seconds> <peak RSS KiB> <RSS KiB before the load>
#include "common/utf8.h"
#include "workbook_loader.h"
#include "xlbook.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <time.h>

namespace {

// A field of /proc/self/status in KiB, e.g. "VmHWM".
long statusKib(std::string_view field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size(), field) == 0 && line.size() > field.size() && line[field.size()] == ':')
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Starts the peak RSS afresh from the current RSS.
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Outcome {
    bool ok = false;
    long count = 0;
    std::string error;
};

Outcome loadThroughLoader(const std::string& file)
{
    TermDictionary dictionary;
    Outcome outcome;
    outcome.ok = readDictionaryWorkbook(dictionary, xl::utf8ToUtf16(file), kStartMarker, kEndMarker).loaded();
    outcome.count = static_cast<long>(dictionary.size() / 2);
    return outcome;
}

bool isXls(const std::string& file)
{
    return file.size() >= 4 && (file.compare(file.size() - 4, 4, ".xls") == 0 || file.compare(file.size() - 4, 4, ".XLS") == 0);
}

Outcome loadThroughLayer(const std::string& file)
{
    xl::Book* book = isXls(file) ? xl::xlCreateBookW() : xl::xlCreateXMLBookW();
    Outcome outcome;
    outcome.ok = book->load(xl::utf8ToUtf16(file).c_str());
    if (!outcome.ok)
        outcome.error = book->errorMessage();
    else if (xl::Sheet* sheet = book->getSheet(0)) {
        for (int row = 0; row < sheet->lastRow(); ++row) {
            for (int col = 0; col < 2; ++col) {
                if (sheet->cellType(row, col) == xl::CELLTYPE_NUMBER)
                    sheet->readNum(row, col);
                else if (sheet->readStr(row, col) == nullptr)
                    continue;
                ++outcome.count;
            }
        }
    }
    book->release();
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    bool layer = false;
    int repeat = 1;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--layer") == 0)
            layer = true;
        else if (std::strcmp(argv[first], "--repeat") == 0 && first + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++first]));
        else {
            std::fprintf(stderr, "usage: workbook_load [--layer] [--repeat N] WORKBOOK...\n");
            return 2;
        }
    }
    for (int i = first; i < argc; ++i) {
        const std::string file = argv[i];
        double best = 0;
        Outcome outcome;
        long before = 0;
        long peak = 0;
        for (int run = 0; run < repeat; ++run) {
            // Memory freed by one load may stay resident; only the first load's peak tells.
            if (run == 0) {
                resetPeak();
                before = statusKib("VmRSS");
            }
            double start = processorSeconds();
            outcome = layer ? loadThroughLayer(file) : loadThroughLoader(file);
            double seconds = processorSeconds() - start;
            if (run == 0)
                peak = statusKib("VmHWM");
            best = run == 0 ? seconds : std::min(best, seconds);
        }
        std::printf("%s\t%s\t%ld\t%.6f\t%ld\t%ld", file.c_str(), outcome.ok ? "ok" : "failed", outcome.count, best,
                    peak, before);
        if (!outcome.error.empty())
            std::printf("\t%s", outcome.error.c_str());
        std::printf("\n");
    }
    return 0;
}
