/* What the programs that bench/compare.py runs report about themselves:
 * processor time, minor page faults and resident memory. Plain C, so that
 * the C baselines (inflate_floor, freexl_load) and the C++ workbook_load
 * measure alike. */
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

/* Takes a leading "--repeat N" (N >= 1) into `repeat`, and says where the
 * arguments after it start. */
static inline int repeatOption(int argc, char** argv, int* repeat)
{
    if (argc > 2 && strcmp(argv[1], "--repeat") == 0) {
        *repeat = atoi(argv[2]) > 0 ? atoi(argv[2]) : 1;
        return 3;
    }
    return 1;
}

/* Processor time of the process: the machine may be busy with other work. */
static inline double processorSeconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

/* Page faults served without I/O so far: each a first touch of a page. */
static inline long minorFaults(void)
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

/* A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when missing. */
static inline long statusKib(const char* field)
{
    FILE* status = fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kib = -1;
    const size_t length = strlen(field);
    while (fgets(line, sizeof line, status))
        if (strncmp(line, field, length) == 0 && line[length] == ':') {
            kib = strtol(line + length + 1, NULL, 10);
            break;
        }
    fclose(status);
    return kib;
}

/* Starts the peak resident memory (VmHWM) afresh from the current one. */
static inline void resetPeak(void)
{
    FILE* refs = fopen("/proc/self/clear_refs", "w");
    if (refs) {
        fputs("5", refs);
        fclose(refs);
    }
}
