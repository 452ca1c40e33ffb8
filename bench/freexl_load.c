/* FreeXL (Debian's libfreexl) reading an .xls workbook as the dictionary
 * loader does: the first worksheet, columns A and B of every row, each cell's
 * value fetched. A baseline for bench/compare.py, which runs it in a fresh
 * process, as it runs the loader.
 *
 * usage: freexl_load [--repeat N] FILE
 * Prints, tab-separated:
 *   <file> <ok|failed> <cells read> <first s> <warm best s> <peak RSS KiB> <RSS KiB before> <page faults of the first>
 * Times are processor seconds: the first read in the process, and the best
 * of N more (default 3). The handle is closed after the clock stops. */
#include "process_stats.h"

#include <freexl.h>

static int readFirstSheet(const char* path, long* cells, const void** handle)
{
    unsigned int rows = 0;
    unsigned short columns = 0;
    *cells = 0;
    if (freexl_open(path, handle) != FREEXL_OK || freexl_select_active_worksheet(*handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(*handle, &rows, &columns) != FREEXL_OK)
        return 0;
    for (unsigned int row = 0; row < rows; ++row)
        for (unsigned short col = 0; col < 2 && col < columns; ++col) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(*handle, row, col, &value) != FREEXL_OK)
                return 0;
            *cells += value.type != FREEXL_CELL_NULL;
        }
    return 1;
}

static double timedRead(const char* path, long* cells, int* ok)
{
    const void* handle = NULL;
    const double start = processorSeconds();
    *ok = readFirstSheet(path, cells, &handle);
    const double seconds = processorSeconds() - start;
    if (handle)
        freexl_close(handle);
    return seconds;
}

int main(int argc, char** argv)
{
    int repeat = 3;
    const int first = repeatOption(argc, argv, &repeat);
    if (argc - first != 1) {
        fprintf(stderr, "usage: freexl_load [--repeat N] FILE\n");
        return 2;
    }
    const char* path = argv[first];
    long cells = 0;
    int ok = 0;
    resetPeak();
    const long before = statusKib("VmRSS");
    const long faultsBefore = minorFaults();
    const double firstSeconds = timedRead(path, &cells, &ok);
    const long faults = minorFaults() - faultsBefore;
    const long peak = statusKib("VmHWM");
    double best = 0;
    for (int run = 0; run < repeat; ++run) {
        const double seconds = timedRead(path, &cells, &ok);
        best = run == 0 || seconds < best ? seconds : best;
    }
    printf("%s\t%s\t%ld\t%.6f\t%.6f\t%ld\t%ld\t%ld\n", path, ok ? "ok" : "failed", cells, firstSeconds, best, peak,
           before, faults);
    return ok ? 0 : 1;
}
