// The record layer of a BIFF8 workbook stream: walking its records, reading
// data that a record continues in the CONTINUE records after it (long
// strings, the shared-string table), and the compact RK number encoding.
// Every read is bounds-checked; running out of data raises a LoadError with
// the record and the stream offset.
#pragma once

#include "common/cell_reference.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace xl::xls {

namespace record {
constexpr uint16_t kFormula = 0x0006;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kFilePass = 0x002F;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kMulRk = 0x00BD;
constexpr uint16_t kMulBlank = 0x00BE;
constexpr uint16_t kRichLabel = 0x00D6;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kBlank = 0x0201;
constexpr uint16_t kNumber = 0x0203;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kBoolErr = 0x0205;
constexpr uint16_t kString = 0x0207;
constexpr uint16_t kArray = 0x0221;
constexpr uint16_t kTable = 0x0236;
constexpr uint16_t kRk = 0x027E;
constexpr uint16_t kSharedFormula = 0x04BC;
// Every BIFF version has its own BOF type; BIFF5 and BIFF8 share this one
// and tell themselves apart by the version field.
constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kBofBiff2 = 0x0009;
constexpr uint16_t kBofBiff3 = 0x0209;
constexpr uint16_t kBofBiff4 = 0x0409;
} // namespace record

// The name of a record type in messages, e.g. "SST (0x00FC)".
std::string recordName(uint16_t type);
// A record as messages name it: "SST (0x00FC) at offset 1234".
std::string describeRecord(uint16_t type, size_t offset);

// Throws the LoadError of a fault in the workbook stream: `what` failed, in
// `record` (as describeRecord names it) when one is at fault, at `offset` in
// the stream and in the cell `cell` when those are known.
[[noreturn]] void failStream(std::string what, std::string record = {}, std::optional<uint64_t> offset = {},
                             std::optional<CellPosition> cell = {});

// Whether `type` is the BOF record of any BIFF version.
bool isBof(uint16_t type);

struct Record {
    uint16_t type = 0;
    size_t offset = 0; // of the record header in the stream
    std::span<const uint8_t> data;
};

class RecordCursor {
public:
    // An offset past the end is taken as the end.
    RecordCursor(std::span<const uint8_t> stream, size_t offset)
        : stream_(stream), offset_(std::min(offset, stream.size()))
    {
    }

    // Moves to the next record; false at the end of the stream. Throws when
    // a record's header or data runs past the end.
    bool next(Record& record);
    // Whether the record after the current one is of type `type`.
    bool nextIs(uint16_t type) const;
    size_t offset() const { return offset_; }

private:
    std::span<const uint8_t> stream_;
    size_t offset_;
};

// A record's data followed by that of the CONTINUE records after it, read as
// one sequence. Fields and skipped blocks cross record boundaries freely;
// character data does too, but each continuation of it starts with a fresh
// flag byte that says whether the characters go on in 8 or 16 bits.
class ContinuedReader {
public:
    // Starts `start` bytes into `first`, taking the CONTINUE records that
    // follow it from `cursor`.
    ContinuedReader(const Record& first, RecordCursor& cursor, size_t start);

    bool atEnd() const;
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    void skip(uint64_t count);
    // The bytes of the data from here to its end, in all its records.
    uint64_t remaining() const;
    // A string with a 16-bit character count and a flag byte, put into
    // `text` (whose room is reused). With `richAndPhonetic`, the flags may
    // announce formatting runs and a phonetic block after the characters,
    // which are skipped.
    void readString(bool richAndPhonetic, std::u16string& text);

private:
    struct Segment {
        std::span<const uint8_t> data;
        size_t offset; // of the data in the stream
    };
    [[noreturn]] void failAt(const std::string& what) const;
    void take(uint8_t* out, size_t count);
    void readCharacters(size_t count, bool wide, std::u16string& text);

    uint16_t type_;
    size_t recordOffset_;
    std::vector<Segment> segments_;
    size_t segment_ = 0;
    size_t position_ = 0; // within the current segment
};

// The value of a number in RK form: 30 bits of either a signed integer or the
// top of an IEEE double, optionally to be divided by 100.
double decodeRk(uint32_t rk);

} // namespace xl::xls
