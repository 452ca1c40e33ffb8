// The container that .xls workbooks live in: a small file system of
// fixed-size sectors with an allocation table, a directory of named streams,
// and a second table for streams too small to fill a sector. Only what a
// workbook reader needs is read: the streams directly in the root storage.
//
// Every sector number, chain and size is checked against the file before it
// is used, so a broken file raises a LoadError saying which structure is
// broken and where, never a read outside the bytes it was given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xl::xls {

class CompoundFile {
public:
    // True when `bytes` start with the compound-file signature.
    static bool hasSignature(std::span<const uint8_t> bytes);

    // Reads the header, the allocation table and the directory. `bytes` must
    // outlive this object. Throws LoadError.
    explicit CompoundFile(std::span<const uint8_t> bytes);

    // Whether the root storage holds a stream called `name` (ASCII, compared
    // without regard to case, as the container's names are).
    bool hasStream(std::string_view name) const;
    // The bytes of that stream. Throws LoadError when there is none or its
    // chain is broken.
    std::vector<uint8_t> readStream(std::string_view name);
    // The same bytes where they lie in the file, when the stream's sectors
    // follow one another there, as writers lay out a workbook; otherwise
    // read into `copy`, which the view is then of.
    std::span<const uint8_t> viewStream(std::string_view name, std::vector<uint8_t>& copy);

private:
    struct StreamEntry {
        std::u16string name;
        uint32_t firstSector;
        uint64_t size;
    };

    uint32_t sectorSize() const { return 1u << sectorShift_; }
    size_t sectorOffset(uint32_t sector) const;
    std::span<const uint8_t> sectorBytes(uint32_t sector, size_t count, const std::string& structure) const;
    std::vector<uint32_t> followChain(const std::vector<uint32_t>& table, uint32_t first, size_t sectorsNeeded,
                                      bool untilEnd, const std::string& structure) const;
    std::vector<uint32_t> regularChain(uint32_t first, uint64_t& size, bool untilEnd,
                                       const std::string& structure) const;
    std::vector<uint8_t> readRegular(uint32_t first, uint64_t size, bool untilEnd, const std::string& structure) const;
    std::vector<uint8_t> readMini(uint32_t first, uint64_t size, const std::string& structure);
    void readAllocationTable(std::span<const uint8_t> header);
    void readDirectory(uint32_t firstSector);
    void loadMiniStream();
    const StreamEntry* findStream(std::string_view name) const;

    std::span<const uint8_t> file_;
    unsigned sectorShift_ = 9;
    uint32_t sectorCount_ = 0;      // sectors that start inside the file
    bool wideSizes_ = false;        // stream sizes are 64-bit (4096-byte sectors)
    std::vector<uint32_t> fat_;
    std::vector<StreamEntry> streams_;
    uint32_t firstMiniFatSector_ = 0;
    uint32_t miniStreamFirstSector_ = 0;
    uint64_t miniStreamSize_ = 0;
    bool miniStreamLoaded_ = false;
    std::vector<uint32_t> miniFat_;
    std::vector<uint8_t> miniStream_;
};

} // namespace xl::xls
