// The compound-file container of .xls workbooks; see compound_file.h.
#include "xls/compound_file.h"

#include "common/little_endian.h"
#include "common/load_error.h"

#include <algorithm>
#include <cstring>

namespace xl::xls {
namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kHeaderFieldsSize = 512;
constexpr size_t kHeaderFatSectors = 109;
constexpr uint32_t kExtensionMark = 0xFFFFFFFC;
constexpr uint32_t kTableSectorMark = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr size_t kDirectoryEntrySize = 128;
constexpr size_t kNameUnits = 32;
constexpr uint8_t kStreamEntry = 2;
constexpr uint8_t kRootEntry = 5;
constexpr unsigned kMiniSectorShift = 6;
constexpr uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
// Streams shorter than this live in the mini stream, in 64-byte sectors.
constexpr uint64_t kMiniStreamCutoff = 4096;

// A fault of the container, in `structure` when one of its structures is
// at fault.
[[noreturn]] void fail(std::string what, std::string structure = {})
{
    throw LoadError{.what = std::move(what), .source = "compound file", .item = std::move(structure)};
}

std::string describeSector(uint32_t sector)
{
    switch (sector) {
    case kEndOfChain: return "the end-of-chain mark";
    case kFreeSector: return "the free-sector mark";
    case kTableSectorMark: return "the allocation-table-sector mark";
    case kExtensionMark: return "the extension-sector mark";
    default: return "sector " + std::to_string(sector);
    }
}

uint64_t sectorsFor(uint64_t size, unsigned shift)
{
    return (size >> shift) + ((size & ((uint64_t{1} << shift) - 1)) != 0);
}

} // namespace

bool CompoundFile::hasSignature(std::span<const uint8_t> bytes)
{
    return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

CompoundFile::CompoundFile(std::span<const uint8_t> bytes) : file_(bytes)
{
    if (file_.size() < kHeaderFieldsSize)
        fail("the file holds " + std::to_string(file_.size()) + " bytes, too few for the 512-byte header");
    if (!hasSignature(file_))
        fail("the signature at offset 0 is missing");
    const uint8_t* header = file_.data();
    if (loadU16(header + 28) != 0xFFFE)
        fail("the byte-order mark at offset 28 is not the little-endian one (FE FF)");
    sectorShift_ = loadU16(header + 30);
    if (sectorShift_ != 9 && sectorShift_ != 12)
        fail("the sector size at offset 30 is 2^" + std::to_string(sectorShift_) + "; only 512 and 4096 bytes exist");
    if (loadU16(header + 32) != kMiniSectorShift)
        fail("the mini-sector size at offset 32 is 2^" + std::to_string(loadU16(header + 32)) +
             "; only 64 bytes exists");
    // Files with 512-byte sectors keep garbage in the upper half of stream sizes.
    wideSizes_ = sectorShift_ == 12;
    // The header takes up the whole first sector.
    const size_t afterHeader = file_.size() > sectorSize() ? file_.size() - sectorSize() : 0;
    sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>(sectorsFor(afterHeader, sectorShift_), kExtensionMark));
    readAllocationTable(file_.first(kHeaderFieldsSize));
    readDirectory(loadU32(header + 48));
    firstMiniFatSector_ = loadU32(header + 60);
}

size_t CompoundFile::sectorOffset(uint32_t sector) const { return (size_t{sector} + 1) << sectorShift_; }

std::span<const uint8_t> CompoundFile::sectorBytes(uint32_t sector, size_t count, const std::string& structure) const
{
    if (sector >= sectorCount_)
        fail(describeSector(sector) + " lies beyond the " + std::to_string(sectorCount_) + " sectors of the file",
             structure);
    const size_t offset = sectorOffset(sector);
    if (count > file_.size() - offset)
        fail("sector " + std::to_string(sector) + " at offset " + std::to_string(offset) +
                 " runs past the end of the file (" + std::to_string(file_.size()) + " bytes)",
             structure);
    return file_.subspan(offset, count);
}

void CompoundFile::readAllocationTable(std::span<const uint8_t> header)
{
    const uint32_t tableSectorCount = loadU32(header.data() + 44);
    if (tableSectorCount == 0 || tableSectorCount > sectorCount_)
        fail("the header lists " + std::to_string(tableSectorCount) +
             " allocation-table sectors at offset 44, but the file holds " + std::to_string(sectorCount_) +
             " sectors");
    std::vector<uint32_t> tableSectors;
    tableSectors.reserve(tableSectorCount);
    for (size_t i = 0; i < kHeaderFatSectors && tableSectors.size() < tableSectorCount; ++i)
        tableSectors.push_back(loadU32(header.data() + 76 + 4 * i));

    // Tables of more than 109 sectors list the rest in a chain of extension
    // sectors, each ending with the number of the next.
    const size_t numbersPerExtension = sectorSize() / 4 - 1;
    std::vector<bool> seen(sectorCount_);
    uint32_t extension = loadU32(header.data() + 68);
    while (tableSectors.size() < tableSectorCount) {
        const std::string structure = "allocation-table extension after " + std::to_string(tableSectors.size()) +
                                      " of " + std::to_string(tableSectorCount) + " sector numbers";
        if (extension == kEndOfChain || extension == kFreeSector)
            fail("the chain of extension sectors ends early", structure);
        if (extension < sectorCount_ && seen[extension])
            fail("the chain loops back to sector " + std::to_string(extension), structure);
        const uint8_t* numbers = sectorBytes(extension, sectorSize(), structure).data();
        seen[extension] = true;
        for (size_t i = 0; i < numbersPerExtension && tableSectors.size() < tableSectorCount; ++i)
            tableSectors.push_back(loadU32(numbers + 4 * i));
        extension = loadU32(numbers + 4 * numbersPerExtension);
    }

    fat_.reserve(size_t{tableSectorCount} * (sectorSize() / 4));
    for (size_t i = 0; i < tableSectors.size(); ++i) {
        const auto entries = sectorBytes(tableSectors[i], sectorSize(), "allocation-table sector " + std::to_string(i));
        for (size_t at = 0; at < entries.size(); at += 4)
            fat_.push_back(loadU32(entries.data() + at));
    }
}

std::vector<uint32_t> CompoundFile::followChain(const std::vector<uint32_t>& table, uint32_t first,
                                                size_t sectorsNeeded, bool untilEnd,
                                                const std::string& structure) const
{
    std::vector<uint32_t> chain;
    std::vector<bool> seen(table.size());
    uint32_t sector = first;
    while (untilEnd || chain.size() < sectorsNeeded) {
        if (untilEnd && sector == kEndOfChain)
            break;
        if (sector == kEndOfChain)
            fail("the chain ends after " + std::to_string(chain.size()) + " sectors, but " +
                     std::to_string(sectorsNeeded) + " are needed",
                 structure);
        if (sector >= table.size())
            fail("link " + std::to_string(chain.size()) + " of the chain is " + describeSector(sector) +
                     ", outside the table of " + std::to_string(table.size()) + " sectors",
                 structure);
        if (seen[sector])
            fail("the chain loops back to sector " + std::to_string(sector) + " at link " +
                     std::to_string(chain.size()),
                 structure);
        seen[sector] = true;
        chain.push_back(sector);
        sector = table[sector];
    }
    return chain;
}

// The sectors of a stream of `size` bytes in regular sectors, or of all the
// chain when `untilEnd`, whose size is then put into `size`.
std::vector<uint32_t> CompoundFile::regularChain(uint32_t first, uint64_t& size, bool untilEnd,
                                                 const std::string& structure) const
{
    const uint64_t sectorsNeeded = untilEnd ? 0 : sectorsFor(size, sectorShift_);
    if (sectorsNeeded > sectorCount_)
        fail("its size of " + std::to_string(size) + " bytes is more than the file holds", structure);
    auto chain = followChain(fat_, first, static_cast<size_t>(sectorsNeeded), untilEnd, structure);
    if (untilEnd)
        size = uint64_t{chain.size()} << sectorShift_;
    return chain;
}

std::vector<uint8_t> CompoundFile::readRegular(uint32_t first, uint64_t size, bool untilEnd,
                                               const std::string& structure) const
{
    const auto chain = regularChain(first, size, untilEnd, structure);
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(size));
    for (uint32_t sector : chain) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(sectorSize(), size - bytes.size()));
        const auto part = sectorBytes(sector, count, structure);
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

void CompoundFile::loadMiniStream()
{
    if (miniStreamLoaded_)
        return;
    const auto table = readRegular(firstMiniFatSector_, 0, true, "the mini-stream allocation table");
    miniFat_.reserve(table.size() / 4);
    for (size_t at = 0; at + 4 <= table.size(); at += 4)
        miniFat_.push_back(loadU32(table.data() + at));
    miniStream_ = readRegular(miniStreamFirstSector_, miniStreamSize_, false, "the mini stream");
    miniStreamLoaded_ = true;
}

std::vector<uint8_t> CompoundFile::readMini(uint32_t first, uint64_t size, const std::string& structure)
{
    loadMiniStream();
    const auto chain = followChain(miniFat_, first, static_cast<size_t>(sectorsFor(size, kMiniSectorShift)), false,
                                   structure + " in the mini stream");
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(size));
    for (uint32_t sector : chain) {
        const size_t offset = size_t{sector} << kMiniSectorShift;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(kMiniSectorSize, size - bytes.size()));
        if (offset > miniStream_.size() || count > miniStream_.size() - offset)
            fail("mini sector " + std::to_string(sector) + " lies beyond the end of the mini stream (" +
                     std::to_string(miniStream_.size()) + " bytes)",
                 structure);
        bytes.insert(bytes.end(), miniStream_.begin() + offset, miniStream_.begin() + offset + count);
    }
    return bytes;
}

void CompoundFile::readDirectory(uint32_t firstSector)
{
    const auto directory = readRegular(firstSector, 0, true, "the directory");
    const size_t entryCount = directory.size() / kDirectoryEntrySize;
    const auto entry = [&](size_t id) { return directory.data() + id * kDirectoryEntrySize; };
    if (entryCount == 0 || entry(0)[66] != kRootEntry)
        fail("the directory does not start with the root storage");
    miniStreamFirstSector_ = loadU32(entry(0) + 116);
    miniStreamSize_ = wideSizes_ ? loadU64(entry(0) + 120) : loadU32(entry(0) + 120);

    // The root's members form a tree through the left and right links of
    // each entry, starting at the root's child.
    std::vector<bool> seen(entryCount);
    std::vector<uint32_t> pending{loadU32(entry(0) + 76)};
    while (!pending.empty()) {
        const uint32_t id = pending.back();
        pending.pop_back();
        if (id == kNoEntry)
            continue;
        if (id >= entryCount)
            fail("the directory tree refers to entry " + std::to_string(id) + ", but the directory holds " +
                 std::to_string(entryCount) + " entries");
        if (seen[id])
            fail("the directory tree reaches entry " + std::to_string(id) + " twice");
        seen[id] = true;
        const uint8_t* member = entry(id);
        pending.push_back(loadU32(member + 68));
        pending.push_back(loadU32(member + 72));
        if (member[66] != kStreamEntry)
            continue;
        std::u16string name;
        for (size_t i = 0; i < kNameUnits && loadU16(member + 2 * i) != 0; ++i)
            name.push_back(static_cast<char16_t>(loadU16(member + 2 * i)));
        streams_.push_back({std::move(name), loadU32(member + 116),
                            wideSizes_ ? loadU64(member + 120) : loadU32(member + 120)});
    }
}

const CompoundFile::StreamEntry* CompoundFile::findStream(std::string_view name) const
{
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
    for (const auto& stream : streams_) {
        if (stream.name.size() == name.size() &&
            std::equal(name.begin(), name.end(), stream.name.begin(),
                       [&](char a, char16_t b) { return fold(static_cast<unsigned char>(a)) == fold(b); }))
            return &stream;
    }
    return nullptr;
}

bool CompoundFile::hasStream(std::string_view name) const { return findStream(name) != nullptr; }

std::vector<uint8_t> CompoundFile::readStream(std::string_view name)
{
    const StreamEntry* stream = findStream(name);
    const std::string structure = "stream '" + std::string(name) + "'";
    if (!stream)
        fail("the root storage holds no " + structure);
    if (stream->size == 0)
        return {};
    if (stream->size < kMiniStreamCutoff)
        return readMini(stream->firstSector, stream->size, structure);
    return readRegular(stream->firstSector, stream->size, false, structure);
}

std::span<const uint8_t> CompoundFile::viewStream(std::string_view name, std::vector<uint8_t>& copy)
{
    const StreamEntry* stream = findStream(name);
    if (stream && stream->size >= kMiniStreamCutoff) {
        uint64_t size = stream->size;
        const auto chain = regularChain(stream->firstSector, size, false, "stream '" + std::string(name) + "'");
        const bool inOrder =
            std::adjacent_find(chain.begin(), chain.end(), [](uint32_t a, uint32_t b) { return b != a + 1; }) ==
            chain.end();
        const size_t offset = sectorOffset(chain.front());
        // A stream that runs past the end of the file is read as any other,
        // for the reading to say where.
        if (inOrder && offset <= file_.size() && size <= file_.size() - offset)
            return file_.subspan(offset, static_cast<size_t>(size));
    }
    copy = readStream(name);
    return copy;
}

} // namespace xl::xls
