// Loads workbooks one after the other and says, for each, what came of it, how
// long its first load and its later loads took, how much memory the process
// held at its peak and how many pages the first load touched: for
// bench/compare.py and for measuring hostile workbooks.
//
// usage: workbook_load [--layer] [--repeat N] WORKBOOK...
//   default   the dictionary loader as the module's start-up calls it
//             (readDictionaryWorkbook with its markers, filling the term
//             table and the columns of the terms); prints the pairs entered
//   --layer   the spreadsheet layer alone: load the book, then read every cell
//             of columns A and B up to the last row as the loader does (its
//             number or its text); prints the cells that held either
// The times are processor time (the machine may be busy with other work): the
// first load, which is what the module's start-up meets when this is a fresh
// process, and the best of N loads after it (default 0: the first again). The
// dictionary a load fills is freed after the clock stops, as the module keeps
// it. The memory and the page faults are the first load's.
// Output: one line per workbook,
//   <file> <result> <count> <first s> <warm best s> <peak RSS KiB> <RSS KiB before the load> <page faults>
#include "utf8.h"
#include "workbook_loader.h"
#include "xlbook.h"

#include "process_stats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Outcome {
    bool ok = false;
    long count = 0;
    std::string error;
    double seconds = 0;
};

Outcome loadThroughLoader(const std::string& file)
{
    const std::u16string path = xl::utf8ToUtf16(file);
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    Outcome outcome;
    const double start = processorSeconds();
    outcome.ok = readDictionaryWorkbook(dictionary, path, kStartMarker, kEndMarker, nullptr, &columns).loaded();
    outcome.seconds = processorSeconds() - start;
    outcome.count = static_cast<long>(dictionary.size() / 2);
    return outcome;
}

bool isXls(const std::string& file)
{
    return file.size() >= 4 && (file.compare(file.size() - 4, 4, ".xls") == 0 || file.compare(file.size() - 4, 4, ".XLS") == 0);
}

Outcome loadThroughLayer(const std::string& file)
{
    const std::u16string path = xl::utf8ToUtf16(file);
    Outcome outcome;
    const double start = processorSeconds();
    xl::Book* book = isXls(file) ? xl::xlCreateBookW() : xl::xlCreateXMLBookW();
    outcome.ok = book->load(path.c_str());
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
    outcome.seconds = processorSeconds() - start;
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    bool layer = false;
    int repeat = 0;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--layer") == 0)
            layer = true;
        else if (std::strcmp(argv[first], "--repeat") == 0 && first + 1 < argc)
            repeat = std::max(0, std::atoi(argv[++first]));
        else {
            std::fprintf(stderr, "usage: workbook_load [--layer] [--repeat N] WORKBOOK...\n");
            return 2;
        }
    }
    for (int i = first; i < argc; ++i) {
        const std::string file = argv[i];
        const auto load = [&] { return layer ? loadThroughLayer(file) : loadThroughLoader(file); };
        resetPeak();
        const long before = statusKib("VmRSS");
        const long faultsBefore = minorFaults();
        const Outcome outcome = load();
        const long faults = minorFaults() - faultsBefore;
        const long peak = statusKib("VmHWM");
        double best = outcome.seconds;
        for (int run = 0; run < repeat; ++run) {
            const double seconds = load().seconds;
            best = run == 0 ? seconds : std::min(best, seconds);
        }
        std::printf("%s\t%s\t%ld\t%.6f\t%.6f\t%ld\t%ld\t%ld", file.c_str(), outcome.ok ? "ok" : "failed",
                    outcome.count, outcome.seconds, best, peak, before, faults);
        if (!outcome.error.empty())
            std::printf("\t%s", outcome.error.c_str());
        std::printf("\n");
    }
    return 0;
}
