// Small .xls files built in memory for the tests: BIFF8 records, workbook
// streams made of them, and the compound-file container around a stream,
// with the positions of its structures so that a test can break one.
#pragma once

#include "xlbook.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xls_fixture {

using Bytes = std::vector<uint8_t>;

void appendU16(Bytes& bytes, uint16_t value);
void appendU32(Bytes& bytes, uint32_t value);
void appendF64(Bytes& bytes, double value);
void putU32(Bytes& bytes, size_t offset, uint32_t value);
Bytes operator+(Bytes a, const Bytes& b);

// One record: type, length, data.
Bytes record(uint16_t type, const Bytes& data);
// Pieces of strings as the records hold them: a character count with its
// flag byte, and characters in 8 or 16 bits.
Bytes stringHeader(uint16_t count, uint8_t flags);
Bytes chars8(std::string_view text);
Bytes chars16(std::u16string_view text);
// A whole string with a 16-bit count, in 16 bits when `wide`.
Bytes unicodeString(std::u16string_view text, bool wide);

// The cell records, with format index 0.
Bytes numberCell(uint16_t row, uint16_t col, double value);
Bytes rkCell(uint16_t row, uint16_t col, uint32_t rk);
Bytes mulRk(uint16_t row, uint16_t firstCol, const std::vector<uint32_t>& rks);
Bytes blankCell(uint16_t row, uint16_t col);
Bytes mulBlank(uint16_t row, uint16_t firstCol, uint16_t count);
Bytes labelCell(uint16_t row, uint16_t col, std::u16string_view text, bool wide);
Bytes labelSstCell(uint16_t row, uint16_t col, uint32_t index);
Bytes boolErrCell(uint16_t row, uint16_t col, uint8_t value, bool isError);
Bytes formulaNumber(uint16_t row, uint16_t col, double value);
// A formula whose result is not a number: kind 0 text (in a STRING record
// after it), 1 boolean, 2 error, 3 empty text.
Bytes formulaSpecial(uint16_t row, uint16_t col, uint8_t kind, uint8_t value = 0);
Bytes stringRecord(std::u16string_view text, bool wide);
Bytes bof(uint16_t kind, uint16_t version = 0x0600);
Bytes eof();
// An SST record claiming `unique` strings and holding `first`, followed by
// one CONTINUE record for each of `continuations`.
Bytes sst(uint32_t unique, const Bytes& first, const std::vector<Bytes>& continuations = {});

// A BIFF8 workbook stream: globals, then the sheets in order, with each
// BOUNDSHEET pointing at its sheet's BOF.
class WorkbookStream {
public:
    // Records placed in the globals before the BOUNDSHEET records.
    WorkbookStream& global(const Bytes& records);
    // A sheet whose records (between its BOF and EOF) are `records`.
    // `kind` is the BOUNDSHEET sheet type: 0 worksheet, 2 chart.
    WorkbookStream& sheet(const Bytes& records, uint8_t kind = 0);
    // Where the BOUNDSHEET of sheet `index` points, in place of its BOF.
    WorkbookStream& pointSheetAt(size_t index, uint32_t offset);
    Bytes build() const;

private:
    struct Sheet {
        Bytes records;
        uint8_t kind;
        bool moved;
        uint32_t offset;
    };
    Bytes globals_;
    std::vector<Sheet> sheets_;
};

// A compound file as built, with where its structures went.
struct CompoundImage {
    Bytes bytes;
    size_t sectorSize = 0;
    std::vector<uint32_t> fatSectors;
    std::vector<uint32_t> extensionSectors;
    std::vector<uint32_t> directorySectors;
    std::vector<uint32_t> miniFatSectors;
    std::vector<uint32_t> miniStreamSectors;
    // Per directory entry: the sectors of its data, in the mini stream for
    // streams shorter than 4096 bytes.
    std::vector<std::vector<uint32_t>> dataSectors;

    size_t sectorOffset(uint32_t sector) const { return (sector + 1) * sectorSize; }
    // The table entry that names the sector after `sector` in its chain.
    size_t fatEntryOffset(uint32_t sector) const;
    size_t miniFatEntryOffset(uint32_t miniSector) const;
    size_t entryOffset(uint32_t entry) const;
};

class CompoundBuilder {
public:
    explicit CompoundBuilder(unsigned sectorShift = 9) : sectorShift_(sectorShift) {}
    // Entry 0 is the root storage; members are added to `parent`. Both
    // return the new entry's number.
    uint32_t addStream(std::string name, Bytes data, uint32_t parent = 0);
    uint32_t addStorage(std::string name, uint32_t parent = 0);
    // Lengthens the allocation table by unused sectors, so that a small
    // file needs extension sectors to list the table's sectors.
    void padAllocationTable(size_t sectors) { tablePadding_ = sectors; }
    CompoundImage build() const;

private:
    struct Entry {
        std::string name;
        bool storage;
        Bytes data;
        uint32_t parent;
    };
    unsigned sectorShift_;
    size_t tablePadding_ = 0;
    std::vector<Entry> entries_{{"Root Entry", true, {}, 0}};
};

// The usual case: a compound file with one "Workbook" stream.
CompoundImage xlsFile(const Bytes& workbookStream, unsigned sectorShift = 9);

// A binary book after loadRaw of `file`; errorMessage() tells how it went.
xl::BookHandle loadXls(const Bytes& file);

} // namespace xls_fixture
