// Writes the dictionary workbooks of the given sizes as libxlsxwriter writes
// them (bench_data.h's dictionaryWorkbook: shared strings, as Excel writes
// them), unless they are there already, and prints their paths, one a line:
// for bench/compare.py, which derives the other writers' files from them.
//
// usage: dictionary_workbooks PAIRS...
#include "bench_data.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: dictionary_workbooks PAIRS...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const int pairs = std::atoi(argv[i]);
        if (pairs <= 0) {
            std::fprintf(stderr, "dictionary_workbooks: '%s' is no number of pairs\n", argv[i]);
            return 2;
        }
        std::printf("%s\n", dictionaryWorkbook(pairs).c_str());
    }
    return 0;
}
