// Writes the dictionary workbooks of the given sizes as libxlsxwriter writes
// them (bench_data.h's dictionaryWorkbook: shared strings, as Excel writes
// them), unless they are there already, and prints their paths, one a line:
// for bench/compare.py, which derives the other writers' files from them.
// With --unique, the books of longer terms, all unique and half of them
// Chinese (uniqueTermsWorkbook).
//
// usage: dictionary_workbooks [--unique] PAIRS...
#include "bench_data.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const bool unique = argc > 1 && std::strcmp(argv[1], "--unique") == 0;
    if (argc < 2 + unique) {
        std::fprintf(stderr, "usage: dictionary_workbooks [--unique] PAIRS...\n");
        return 2;
    }
    for (int i = 1 + unique; i < argc; ++i) {
        const int pairs = std::atoi(argv[i]);
        if (pairs <= 0) {
            std::fprintf(stderr, "dictionary_workbooks: '%s' is no number of pairs\n", argv[i]);
            return 2;
        }
        std::printf("%s\n", (unique ? uniqueTermsWorkbook(pairs) : dictionaryWorkbook(pairs)).c_str());
    }
    return 0;
}
