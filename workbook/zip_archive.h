// A reader for zip archives held in memory, the container of .xlsx
// workbooks: the central directory (with zip64 records and extra fields),
// stored and deflated entries, data descriptors and CRC checks. Entries are
// only inflated on request, and never beyond the limits below, so that a
// small hostile file cannot make the reader allocate or work without bound.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

class ZipArchive {
public:
    // No entry may inflate to more than 256 MiB. The largest sheet the XML
    // format allows that still makes sense as a dictionary (a million rows
    // of two short texts) is well under 100 MiB of XML, and the book holds
    // at most a sheet and its shared strings in memory at once.
    static constexpr uint64_t kMaxEntrySize = uint64_t(256) << 20;
    // An entry bigger than 1 MiB may not inflate to more than 200 times its
    // compressed size. Deflate reaches about 1000:1 on contrived input; real
    // workbook parts, even runs of empty styled cells, stay far below 100:1.
    static constexpr uint64_t kRatioFloor = uint64_t(1) << 20;
    static constexpr uint64_t kMaxRatio = 200;

    struct Entry {
        std::string name;            // as stored, with '\' turned into '/'
        uint64_t compressedSize = 0; // from the central directory
        uint64_t size = 0;
        uint64_t localHeaderOffset = 0;
        uint32_t crc = 0;
        uint16_t method = 0;
        uint16_t flags = 0;
    };

    // Reads the central directory of the archive in `data`, which must stay
    // valid while the archive is used. False with `error` set when `data` is
    // no zip archive or its directory is damaged.
    bool open(std::string_view data, std::string& error);

    const std::vector<Entry>& entries() const { return entries_; }

    // The first entry whose name equals `name` without regard to ASCII case
    // ('\' and '/' alike); null when there is none.
    const Entry* find(std::string_view name) const;

    // Inflates `entry` into `out` and checks its size and CRC. False with
    // `error` naming the entry when the entry is refused or damaged.
    bool read(const Entry& entry, std::string& out, std::string& error) const;

private:
    bool readDirectory(uint64_t offset, uint64_t size, std::string& error);

    std::string_view data_;
    std::vector<Entry> entries_;
};

} // namespace xl
