// A reader for zip archives held in memory, the container of .xlsx
// workbooks: the central directory (with zip64 records and extra fields),
// stored and deflated entries, data descriptors and CRC checks. Entries are
// only inflated on request, whole or piece by piece, and never beyond the
// limits below, so that a small hostile file cannot make the reader allocate
// or work without bound. Faults are thrown as LoadError, an entry's named
// after it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct z_stream_s; // zlib's inflation state

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
    // valid while the archive is used. Throws when `data` is no zip archive
    // or its directory is damaged.
    void open(std::string_view data);

    const std::vector<Entry>& entries() const { return entries_; }

    // The first entry whose name equals `name` without regard to ASCII case
    // ('\' and '/' alike); null when there is none.
    const Entry* find(std::string_view name) const;

    // For callers outside a book, such as the packaging test: open(), and
    // all of an entry inflated into `out` with its size and CRC checked.
    // False with `error` saying why, `out` then empty.
    bool open(std::string_view data, std::string& error);
    bool read(const Entry& entry, std::string& out, std::string& error) const;

    // The entry's bytes as the archive stores them (deflated or not), for a
    // writer that copies the entry as it is. Throws when its local header
    // is missing or the bytes run past the end of the file.
    std::string_view storedData(const Entry& entry) const;

    // One entry's bytes, inflated piece by piece as they are asked for, so
    // that a large part need never be held whole. The size and CRC are
    // checked before the end is told.
    class EntryReader {
    public:
        // Gets ready to read `entry` of `archive`, which must outlive the
        // reading. Throws when the entry is refused.
        EntryReader(const ZipArchive& archive, const Entry& entry);
        // Puts the next bytes of the entry into `out`, at most `room` (> 0)
        // of them, and says how many: 0 only once the entry has ended with
        // its declared size and CRC, or after a fault. Throws when its data
        // is damaged, ends early or would pass its declared size; no byte
        // past that size is ever put out.
        size_t read(char* out, size_t room);
        // Reads the rest of the entry, for its checks alone.
        void readToEnd();

    private:
        struct EndInflation {
            void operator()(z_stream_s* stream) const;
        };
        [[noreturn]] void fail(std::string what);
        size_t inflateSome(char* out, size_t room, bool& dataEnded);

        Entry entry_;
        std::string_view input_; // the entry's compressed (or stored) bytes
        std::unique_ptr<z_stream_s, EndInflation> inflation_; // null for stored entries
        bool ended_ = false;
        uint64_t total_ = 0; // bytes put out so far
        uint32_t crc_ = 0;
    };

private:
    void readDirectory(uint64_t offset, uint64_t size);

    std::string_view data_;
    std::vector<Entry> entries_;
};

} // namespace xl
