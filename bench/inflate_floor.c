/* The least work that reading an .xlsx workbook's parts can take: inflating
 * them with zlib and nothing else, no CRC, no parsing. bench/compare.py gives
 * it where the raw deflate data of each part the loader reads lies in the
 * file, and runs it in a fresh process, as it runs the loader.
 *
 * usage: inflate_floor [--repeat N] FILE OFFSET:COMPRESSED:SIZE:METHOD...
 * Prints, tab-separated:
 *   <fresh first s> <fresh best s> <reused best s> <inflated bytes> <page faults of the first>
 *   fresh   into memory the process never touched before, mapped anew for
 *           each part and each repetition, as a first read meets it
 *   reused  into one buffer that an inflation before touched already
 * Times are processor seconds; the best is over N repetitions (default 5). */
#include "process_stats.h"

#include <sys/mman.h>
#include <zlib.h>

#include <inttypes.h>
#include <stdint.h>

struct Part {
    const unsigned char* data;
    size_t compressed;
    size_t size;
    int method; /* 0 stored, 8 deflated */
};

static void fail(const char* what, const char* where)
{
    fprintf(stderr, "inflate_floor: %s: %s\n", what, where);
    exit(1);
}

static void inflatePart(const struct Part* part, unsigned char* out)
{
    if (part->method == 0) {
        memcpy(out, part->data, part->size);
        return;
    }
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        fail("cannot start inflating", "zlib");
    stream.next_in = (Bytef*)part->data;
    stream.avail_in = (uInt)part->compressed;
    stream.next_out = out;
    stream.avail_out = (uInt)part->size;
    const int status = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    if (status != Z_STREAM_END || stream.total_out != part->size)
        fail("a part does not inflate to its size", "deflate data");
}

/* Every part into memory of its own, mapped for it and never touched before. */
static double inflateFresh(const struct Part* parts, int count)
{
    unsigned char* buffers[64];
    const double start = processorSeconds();
    for (int i = 0; i < count; ++i) {
        buffers[i] = mmap(NULL, parts[i].size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (buffers[i] == MAP_FAILED)
            fail("out of memory", "mmap");
        inflatePart(&parts[i], buffers[i]);
    }
    const double seconds = processorSeconds() - start;
    for (int i = 0; i < count; ++i)
        munmap(buffers[i], parts[i].size);
    return seconds;
}

static double inflateReused(const struct Part* parts, int count, unsigned char* buffer)
{
    const double start = processorSeconds();
    for (int i = 0; i < count; ++i)
        inflatePart(&parts[i], buffer);
    return processorSeconds() - start;
}

int main(int argc, char** argv)
{
    int repeat = 5;
    const int first = repeatOption(argc, argv, &repeat);
    if (argc - first < 2 || argc - first - 1 > 64) {
        fprintf(stderr, "usage: inflate_floor [--repeat N] FILE OFFSET:COMPRESSED:SIZE:METHOD...\n");
        return 2;
    }
    FILE* file = fopen(argv[first], "rb");
    if (!file)
        fail("cannot open", argv[first]);
    fseek(file, 0, SEEK_END);
    const long fileSize = ftell(file);
    fseek(file, 0, SEEK_SET);
    unsigned char* bytes = malloc((size_t)fileSize);
    if (!bytes || fread(bytes, 1, (size_t)fileSize, file) != (size_t)fileSize)
        fail("cannot read", argv[first]);
    fclose(file);

    struct Part parts[64];
    const int count = argc - first - 1;
    size_t largest = 0;
    uint64_t inflated = 0;
    for (int i = 0; i < count; ++i) {
        uint64_t offset, compressed, size;
        int method;
        if (sscanf(argv[first + 1 + i], "%" SCNu64 ":%" SCNu64 ":%" SCNu64 ":%d", &offset, &compressed, &size,
                   &method) != 4 ||
            offset > (uint64_t)fileSize || compressed > (uint64_t)fileSize - offset || size == 0)
            fail("not a part of the file", argv[first + 1 + i]);
        parts[i] = (struct Part){bytes + offset, (size_t)compressed, (size_t)size, method};
        largest = size > largest ? size : largest;
        inflated += size;
    }

    const long faultsBefore = minorFaults();
    const double freshFirst = inflateFresh(parts, count);
    const long faults = minorFaults() - faultsBefore;
    double freshBest = freshFirst;
    for (int run = 1; run < repeat; ++run) {
        const double seconds = inflateFresh(parts, count);
        freshBest = seconds < freshBest ? seconds : freshBest;
    }
    unsigned char* buffer = malloc(largest);
    if (!buffer)
        fail("out of memory", "malloc");
    inflateReused(parts, count, buffer);
    double reusedBest = 0;
    for (int run = 0; run < repeat; ++run) {
        const double seconds = inflateReused(parts, count, buffer);
        reusedBest = run == 0 || seconds < reusedBest ? seconds : reusedBest;
    }
    printf("%.6f\t%.6f\t%.6f\t%" PRIu64 "\t%ld\n", freshFirst, freshBest, reusedBest, inflated, faults);
    free(buffer);
    free(bytes);
    return 0;
}
