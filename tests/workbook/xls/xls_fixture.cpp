// Small .xls files built in memory for the tests; see xls_fixture.h.
#include "xls_fixture.h"

#include <algorithm>
#include <bit>

namespace xls_fixture {
namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kTableSector = 0xFFFFFFFD;
constexpr uint32_t kExtensionSector = 0xFFFFFFFC;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr size_t kEntrySize = 128;
constexpr size_t kMiniSector = 64;
constexpr size_t kMiniCutoff = 4096;
constexpr size_t kHeaderTableSectors = 109;

size_t divideUp(size_t a, size_t b) { return (a + b - 1) / b; }

// Chains a run of consecutive sectors [first, first + count) in `table`.
void chainRun(std::vector<uint32_t>& table, uint32_t first, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        table[first + i] = i + 1 == count ? kEndOfChain : static_cast<uint32_t>(first + i + 1);
}

std::vector<uint32_t> run(uint32_t first, size_t count)
{
    std::vector<uint32_t> sectors(count);
    for (size_t i = 0; i < count; ++i)
        sectors[i] = static_cast<uint32_t>(first + i);
    return sectors;
}

void putU16(Bytes& bytes, size_t offset, uint16_t value)
{
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

} // namespace

void appendU16(Bytes& bytes, uint16_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void appendU32(Bytes& bytes, uint32_t value)
{
    appendU16(bytes, static_cast<uint16_t>(value));
    appendU16(bytes, static_cast<uint16_t>(value >> 16));
}

void appendF64(Bytes& bytes, double value)
{
    const auto bits = std::bit_cast<uint64_t>(value);
    appendU32(bytes, static_cast<uint32_t>(bits));
    appendU32(bytes, static_cast<uint32_t>(bits >> 32));
}

void putU32(Bytes& bytes, size_t offset, uint32_t value)
{
    putU16(bytes, offset, static_cast<uint16_t>(value));
    putU16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes record(uint16_t type, const Bytes& data)
{
    Bytes bytes;
    appendU16(bytes, type);
    appendU16(bytes, static_cast<uint16_t>(data.size()));
    return bytes + data;
}

Bytes stringHeader(uint16_t count, uint8_t flags)
{
    Bytes bytes;
    appendU16(bytes, count);
    bytes.push_back(flags);
    return bytes;
}

Bytes chars8(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes chars16(std::u16string_view text)
{
    Bytes bytes;
    for (char16_t c : text)
        appendU16(bytes, c);
    return bytes;
}

Bytes unicodeString(std::u16string_view text, bool wide)
{
    Bytes chars;
    if (wide) {
        chars = chars16(text);
    } else {
        for (char16_t c : text)
            chars.push_back(static_cast<uint8_t>(c));
    }
    return stringHeader(static_cast<uint16_t>(text.size()), wide ? 1 : 0) + chars;
}

namespace {
Bytes cellStart(uint16_t row, uint16_t col)
{
    Bytes bytes;
    appendU16(bytes, row);
    appendU16(bytes, col);
    appendU16(bytes, 0); // format
    return bytes;
}
} // namespace

Bytes numberCell(uint16_t row, uint16_t col, double value)
{
    Bytes data = cellStart(row, col);
    appendF64(data, value);
    return record(0x0203, data);
}

Bytes rkCell(uint16_t row, uint16_t col, uint32_t rk)
{
    Bytes data = cellStart(row, col);
    appendU32(data, rk);
    return record(0x027E, data);
}

Bytes mulRk(uint16_t row, uint16_t firstCol, const std::vector<uint32_t>& rks)
{
    Bytes data;
    appendU16(data, row);
    appendU16(data, firstCol);
    for (uint32_t rk : rks) {
        appendU16(data, 0);
        appendU32(data, rk);
    }
    appendU16(data, static_cast<uint16_t>(firstCol + rks.size() - 1));
    return record(0x00BD, data);
}

Bytes blankCell(uint16_t row, uint16_t col) { return record(0x0201, cellStart(row, col)); }

Bytes mulBlank(uint16_t row, uint16_t firstCol, uint16_t count)
{
    Bytes data;
    appendU16(data, row);
    appendU16(data, firstCol);
    for (uint16_t i = 0; i < count; ++i)
        appendU16(data, 0);
    appendU16(data, static_cast<uint16_t>(firstCol + count - 1));
    return record(0x00BE, data);
}

Bytes labelCell(uint16_t row, uint16_t col, std::u16string_view text, bool wide)
{
    return record(0x0204, cellStart(row, col) + unicodeString(text, wide));
}

Bytes labelSstCell(uint16_t row, uint16_t col, uint32_t index)
{
    Bytes data = cellStart(row, col);
    appendU32(data, index);
    return record(0x00FD, data);
}

Bytes boolErrCell(uint16_t row, uint16_t col, uint8_t value, bool isError)
{
    Bytes data = cellStart(row, col);
    data.push_back(value);
    data.push_back(isError ? 1 : 0);
    return record(0x0205, data);
}

namespace {
// FORMULA: the cell, 8 bytes of result, flags, a cache field, and a
// one-token formula (=1) that no test reads.
Bytes formula(uint16_t row, uint16_t col, const Bytes& result)
{
    Bytes data = cellStart(row, col) + result;
    appendU16(data, 0);
    appendU32(data, 0);
    appendU16(data, 2);
    data.push_back(0x1E); // integer token
    appendU16(data, 1);
    return record(0x0006, data);
}
} // namespace

Bytes formulaNumber(uint16_t row, uint16_t col, double value)
{
    Bytes result;
    appendF64(result, value);
    return formula(row, col, result);
}

Bytes formulaSpecial(uint16_t row, uint16_t col, uint8_t kind, uint8_t value)
{
    return formula(row, col, Bytes{kind, 0, value, 0, 0, 0, 0xFF, 0xFF});
}

Bytes stringRecord(std::u16string_view text, bool wide) { return record(0x0207, unicodeString(text, wide)); }

Bytes bof(uint16_t kind, uint16_t version)
{
    Bytes data;
    appendU16(data, version);
    appendU16(data, kind);
    appendU16(data, 0x0DBB); // build
    appendU16(data, 0x07CC); // year
    appendU32(data, 0);      // history flags
    appendU32(data, 0x0006); // lowest version
    return record(0x0809, data);
}

Bytes eof() { return record(0x000A, {}); }

Bytes sst(uint32_t unique, const Bytes& first, const std::vector<Bytes>& continuations)
{
    Bytes data;
    appendU32(data, unique);
    appendU32(data, unique);
    Bytes bytes = record(0x00FC, data + first);
    for (const auto& part : continuations)
        bytes = bytes + record(0x003C, part);
    return bytes;
}

WorkbookStream& WorkbookStream::global(const Bytes& records)
{
    globals_ = globals_ + records;
    return *this;
}

WorkbookStream& WorkbookStream::sheet(const Bytes& records, uint8_t kind)
{
    sheets_.push_back({records, kind, false, 0});
    return *this;
}

WorkbookStream& WorkbookStream::pointSheetAt(size_t index, uint32_t offset)
{
    sheets_.at(index).moved = true;
    sheets_.at(index).offset = offset;
    return *this;
}

Bytes WorkbookStream::build() const
{
    Bytes globals = bof(0x0005) + globals_;
    std::vector<size_t> pointers;
    for (size_t i = 0; i < sheets_.size(); ++i) {
        const std::string name = "Sheet" + std::to_string(i + 1);
        Bytes data;
        appendU32(data, 0);
        data.push_back(0); // visible
        data.push_back(sheets_[i].kind);
        data.push_back(static_cast<uint8_t>(name.size()));
        data.push_back(0);
        data.insert(data.end(), name.begin(), name.end());
        pointers.push_back(globals.size() + 4);
        globals = globals + record(0x0085, data);
    }
    Bytes stream = globals + eof();
    for (size_t i = 0; i < sheets_.size(); ++i) {
        const uint16_t kind = sheets_[i].kind == 2 ? 0x0020 : 0x0010;
        putU32(stream, pointers[i], sheets_[i].moved ? sheets_[i].offset : static_cast<uint32_t>(stream.size()));
        stream = stream + bof(kind) + sheets_[i].records + eof();
    }
    return stream;
}

size_t CompoundImage::fatEntryOffset(uint32_t sector) const
{
    const size_t perSector = sectorSize / 4;
    return sectorOffset(fatSectors.at(sector / perSector)) + (sector % perSector) * 4;
}

size_t CompoundImage::miniFatEntryOffset(uint32_t miniSector) const
{
    const size_t perSector = sectorSize / 4;
    return sectorOffset(miniFatSectors.at(miniSector / perSector)) + (miniSector % perSector) * 4;
}

size_t CompoundImage::entryOffset(uint32_t entry) const
{
    const size_t at = entry * kEntrySize;
    return sectorOffset(directorySectors.at(at / sectorSize)) + at % sectorSize;
}

uint32_t CompoundBuilder::addStream(std::string name, Bytes data, uint32_t parent)
{
    entries_.push_back({std::move(name), false, std::move(data), parent});
    return static_cast<uint32_t>(entries_.size() - 1);
}

uint32_t CompoundBuilder::addStorage(std::string name, uint32_t parent)
{
    entries_.push_back({std::move(name), true, {}, parent});
    return static_cast<uint32_t>(entries_.size() - 1);
}

CompoundImage CompoundBuilder::build() const
{
    CompoundImage image;
    const size_t sectorSize = size_t{1} << sectorShift_;
    const size_t perSector = sectorSize / 4;
    image.sectorSize = sectorSize;
    image.dataSectors.resize(entries_.size());

    // Sectors in file order: regular streams, the mini stream, the mini
    // table, the directory, then the allocation table and its extension.
    uint32_t next = 0;
    std::vector<uint32_t> miniTable;
    Bytes miniStream;
    for (size_t i = 1; i < entries_.size(); ++i) {
        const auto& entry = entries_[i];
        if (entry.storage || entry.data.empty())
            continue;
        if (entry.data.size() >= kMiniCutoff) {
            const size_t count = divideUp(entry.data.size(), sectorSize);
            image.dataSectors[i] = run(next, count);
            next += static_cast<uint32_t>(count);
        } else {
            const size_t count = divideUp(entry.data.size(), kMiniSector);
            const auto first = static_cast<uint32_t>(miniTable.size());
            image.dataSectors[i] = run(first, count);
            miniTable.resize(miniTable.size() + count);
            chainRun(miniTable, first, count);
            miniStream.insert(miniStream.end(), entry.data.begin(), entry.data.end());
            miniStream.resize(miniTable.size() * kMiniSector);
        }
    }
    image.miniStreamSectors = run(next, divideUp(miniStream.size(), sectorSize));
    next += static_cast<uint32_t>(image.miniStreamSectors.size());
    image.miniFatSectors = run(next, divideUp(miniTable.size() * 4, sectorSize));
    next += static_cast<uint32_t>(image.miniFatSectors.size());
    image.directorySectors = run(next, divideUp(entries_.size() * kEntrySize, sectorSize));
    next += static_cast<uint32_t>(image.directorySectors.size());

    size_t tableCount = 0;
    size_t extensionCount = 0;
    for (;;) {
        const size_t neededTable = divideUp(next + tableCount + extensionCount, perSector) + tablePadding_;
        const size_t neededExtension =
            neededTable > kHeaderTableSectors ? divideUp(neededTable - kHeaderTableSectors, perSector - 1) : 0;
        if (neededTable == tableCount && neededExtension == extensionCount)
            break;
        tableCount = neededTable;
        extensionCount = neededExtension;
    }
    image.fatSectors = run(next, tableCount);
    next += static_cast<uint32_t>(tableCount);
    image.extensionSectors = run(next, extensionCount);
    next += static_cast<uint32_t>(extensionCount);

    std::vector<uint32_t> table(tableCount * perSector, kFree);
    for (size_t i = 1; i < entries_.size(); ++i) {
        if (entries_[i].data.size() >= kMiniCutoff)
            chainRun(table, image.dataSectors[i].front(), image.dataSectors[i].size());
    }
    for (const auto* sectors : {&image.miniStreamSectors, &image.miniFatSectors, &image.directorySectors}) {
        if (!sectors->empty())
            chainRun(table, sectors->front(), sectors->size());
    }
    for (uint32_t sector : image.fatSectors)
        table[sector] = kTableSector;
    for (uint32_t sector : image.extensionSectors)
        table[sector] = kExtensionSector;

    Bytes& bytes = image.bytes;
    bytes.assign((size_t{next} + 1) * sectorSize, 0);
    const auto firstOr = [](const std::vector<uint32_t>& sectors) {
        return sectors.empty() ? kEndOfChain : sectors.front();
    };
    const uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), bytes.begin());
    putU16(bytes, 24, 0x003E);
    putU16(bytes, 26, sectorShift_ == 12 ? 4 : 3);
    putU16(bytes, 28, 0xFFFE);
    putU16(bytes, 30, static_cast<uint16_t>(sectorShift_));
    putU16(bytes, 32, 6);
    putU32(bytes, 40, sectorShift_ == 12 ? static_cast<uint32_t>(image.directorySectors.size()) : 0);
    putU32(bytes, 44, static_cast<uint32_t>(tableCount));
    putU32(bytes, 48, image.directorySectors.front());
    putU32(bytes, 56, kMiniCutoff);
    putU32(bytes, 60, firstOr(image.miniFatSectors));
    putU32(bytes, 64, static_cast<uint32_t>(image.miniFatSectors.size()));
    putU32(bytes, 68, firstOr(image.extensionSectors));
    putU32(bytes, 72, static_cast<uint32_t>(extensionCount));
    for (size_t i = 0; i < kHeaderTableSectors; ++i)
        putU32(bytes, 76 + 4 * i, i < tableCount ? image.fatSectors[i] : kFree);

    for (size_t e = 0; e < extensionCount; ++e) {
        const size_t at = image.sectorOffset(image.extensionSectors[e]);
        for (size_t i = 0; i < perSector - 1; ++i) {
            const size_t listed = kHeaderTableSectors + e * (perSector - 1) + i;
            putU32(bytes, at + 4 * i, listed < tableCount ? image.fatSectors[listed] : kFree);
        }
        putU32(bytes, at + 4 * (perSector - 1),
               e + 1 < extensionCount ? image.extensionSectors[e + 1] : kEndOfChain);
    }
    for (size_t i = 0; i < table.size(); ++i)
        putU32(bytes, image.sectorOffset(image.fatSectors[i / perSector]) + (i % perSector) * 4, table[i]);
    for (size_t i = 0; i < miniTable.size(); ++i)
        putU32(bytes, image.miniFatEntryOffset(static_cast<uint32_t>(i)), miniTable[i]);
    for (size_t i = 0; i < miniStream.size(); ++i)
        bytes[image.sectorOffset(image.miniStreamSectors[i / sectorSize]) + i % sectorSize] = miniStream[i];
    for (size_t i = 1; i < entries_.size(); ++i) {
        const auto& data = entries_[i].data;
        if (data.size() < kMiniCutoff)
            continue;
        for (size_t at = 0; at < data.size(); ++at)
            bytes[image.sectorOffset(image.dataSectors[i][at / sectorSize]) + at % sectorSize] = data[at];
    }

    // Each storage's members hang off its child link as a chain of right
    // siblings: not balanced, but a tree all the same.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const auto& entry = entries_[i];
        const size_t at = image.entryOffset(static_cast<uint32_t>(i));
        for (size_t c = 0; c < entry.name.size(); ++c)
            putU16(bytes, at + 2 * c, static_cast<uint8_t>(entry.name[c]));
        putU16(bytes, at + 64, static_cast<uint16_t>((entry.name.size() + 1) * 2));
        bytes[at + 66] = i == 0 ? 5 : entry.storage ? 1 : 2;
        bytes[at + 67] = 1;
        uint32_t right = kNoEntry;
        uint32_t child = kNoEntry;
        for (size_t j = 1; j < entries_.size(); ++j) {
            if (entries_[j].parent == i) {
                child = static_cast<uint32_t>(j);
                break;
            }
        }
        if (i > 0) {
            for (size_t j = i + 1; j < entries_.size(); ++j) {
                if (entries_[j].parent == entry.parent) {
                    right = static_cast<uint32_t>(j);
                    break;
                }
            }
        }
        putU32(bytes, at + 68, kNoEntry);
        putU32(bytes, at + 72, right);
        putU32(bytes, at + 76, entry.storage ? child : kNoEntry);
        const bool root = i == 0;
        const uint64_t size = root ? miniStream.size() : entry.data.size();
        const uint32_t start = root ? firstOr(image.miniStreamSectors)
                                    : entry.data.empty() ? kEndOfChain : image.dataSectors[i].front();
        putU32(bytes, at + 116, start);
        putU32(bytes, at + 120, static_cast<uint32_t>(size));
        putU32(bytes, at + 124, static_cast<uint32_t>(size >> 32));
    }
    return image;
}

xl::BookHandle loadXls(const Bytes& file)
{
    xl::BookHandle book(xl::xlCreateBookW());
    book->loadRaw(reinterpret_cast<const char*>(file.data()), static_cast<unsigned>(file.size()));
    return book;
}

CompoundImage xlsFile(const Bytes& workbookStream, unsigned sectorShift)
{
    CompoundBuilder builder(sectorShift);
    builder.addStream("Workbook", workbookStream);
    return builder.build();
}

} // namespace xls_fixture
