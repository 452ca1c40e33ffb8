// The compound-file container read directly, with no workbook in it: streams
// come back byte for byte in each layout that writers choose, names are found
// as the container compares them, and a broken chain fails naming the stream,
// the sector and the link.
#include "common/load_error.h"
#include "xls/compound_file.h"
#include "xls_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

namespace {

using namespace xls_fixture;
using xl::xls::CompoundFile;

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

// Bytes that differ from one 64-byte mini sector to the next and from one
// sector to the next, so that a sector read from the wrong place shows.
Bytes pattern(size_t count, uint8_t seed)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i + i / 61);
    return bytes;
}

struct Layout {
    const char* name;
    unsigned sectorShift;
    size_t tablePadding;
};

TEST(CompoundFile, GivesBackEachStreamByteForByteInEveryLayout)
{
    // Sizes on both sides of a mini sector, of the mini-stream cutoff (4096)
    // and of a sector of either size.
    const std::pair<const char*, size_t> streams[] = {
        {"Empty", 0},    {"One", 1},       {"MiniSector", 64}, {"MiniSectorAndOne", 65}, {"Sector", 512},
        {"Mini", 4095},  {"Cutoff", 4096}, {"Regular", 4097},  {"Long", 20000},
    };
    const Layout layouts[] = {
        {"512-byte sectors", 9, 0},
        {"4096-byte sectors", 12, 0},
        {"an allocation table listed through extension sectors", 9, 300},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        CompoundBuilder builder(layout.sectorShift);
        builder.padAllocationTable(layout.tablePadding);
        uint8_t seed = 0;
        for (const auto& [name, size] : streams)
            builder.addStream(name, pattern(size, seed += 17));
        const CompoundImage image = builder.build();

        std::string message;
        ASSERT_TRUE(xl::ranThrough("the container", message, [&] {
            CompoundFile file(image.bytes);
            seed = 0;
            for (const auto& [name, size] : streams) {
                SCOPED_TRACE(name);
                EXPECT_TRUE(file.hasStream(name));
                const auto expected = pattern(size, seed += 17);
                EXPECT_EQ(file.readStream(name), expected);
                std::vector<uint8_t> copy;
                const std::span<const uint8_t> view = file.viewStream(name, copy);
                EXPECT_EQ(std::vector<uint8_t>(view.begin(), view.end()), expected);
            }
        })) << message;
    }
}

TEST(CompoundFile, FindsStreamsOfTheRootStorageWithoutRegardToCase)
{
    CompoundBuilder builder;
    builder.addStream("Workbook", Bytes(100, 1));
    builder.addStream("\x05SummaryInformation", Bytes(100, 2));
    const uint32_t storage = builder.addStorage("MBD0001");
    builder.addStream("Inner", Bytes(100, 3), storage);
    const CompoundImage image = builder.build();
    const std::pair<const char*, bool> names[] = {
        {"Workbook", true},  {"WORKBOOK", true},  {"wOrKbOoK", true},  {"\x05SummaryInformation", true},
        {"Workboo", false},  {"Workbook2", false}, {"", false},
        {"MBD0001", false}, // a storage, not a stream
        {"Inner", false},   // in a storage below the root
    };
    std::string message;
    ASSERT_TRUE(xl::ranThrough("the container", message, [&] {
        const CompoundFile file(image.bytes);
        for (const auto& [name, found] : names)
            EXPECT_EQ(file.hasStream(name), found) << name;
    })) << message;
}

TEST(CompoundFile, KnowsItsSignature)
{
    const Bytes signature{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    const std::pair<Bytes, bool> cases[] = {
        {signature, true},
        {signature + Bytes(504, 0), true},
        {Bytes(signature.begin(), signature.end() - 1), false},
        {{}, false},
        {Bytes{'P', 'K', 3, 4, 0, 0, 0, 0}, false},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(CompoundFile::hasSignature(bytes), expected) << bytes.size() << " bytes";
}

struct Fault {
    const char* name;
    // Breaks the image, and says what the message must be.
    std::string (*breakIt)(CompoundImage& image);
    const char* stream;
};

constexpr uint32_t kLongEntry = 1;
constexpr uint32_t kMiniEntry = 2;

// Link `link` of a stream's chain pointed at `next` in its table.
void relink(CompoundImage& image, uint32_t entry, size_t link, uint32_t next)
{
    const uint32_t sector = image.dataSectors[entry].at(link);
    putU32(image.bytes, entry == kMiniEntry ? image.miniFatEntryOffset(sector) : image.fatEntryOffset(sector), next);
}

TEST(CompoundFile, FailsNamingTheStructureAndWhereItIsBroken)
{
    const Fault faults[] = {
        {"a header cut short",
         [](CompoundImage& image) {
             image.bytes.resize(100);
             return std::string("compound file: the file holds 100 bytes, too few for the 512-byte header");
         },
         nullptr},
        {"a big-endian byte-order mark",
         [](CompoundImage& image) {
             image.bytes[28] = 0xFF;
             image.bytes[29] = 0xFE;
             return std::string("compound file: the byte-order mark at offset 28 is not the little-endian one (FE FF)");
         },
         nullptr},
        {"no such stream",
         [](CompoundImage&) { return std::string("compound file: the root storage holds no stream 'Nothing'"); },
         "Nothing"},
        {"a chain that loops",
         [](CompoundImage& image) {
             const uint32_t first = image.dataSectors[kLongEntry][0];
             relink(image, kLongEntry, 1, first);
             return "compound file: stream 'Long': the chain loops back to sector " + std::to_string(first) +
                    " at link 2";
         },
         "Long"},
        {"a chain that ends early",
         [](CompoundImage& image) {
             relink(image, kLongEntry, 1, kEndOfChain);
             return std::string("compound file: stream 'Long': the chain ends after 2 sectors, but 40 are needed");
         },
         "Long"},
        {"a mini chain that loops",
         [](CompoundImage& image) {
             const uint32_t first = image.dataSectors[kMiniEntry][0];
             relink(image, kMiniEntry, 1, first);
             return "compound file: stream 'Mini' in the mini stream: the chain loops back to sector " +
                    std::to_string(first) + " at link 2";
         },
         "Mini"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        CompoundBuilder builder;
        ASSERT_EQ(builder.addStream("Long", pattern(20000, 1)), kLongEntry);
        ASSERT_EQ(builder.addStream("Mini", pattern(1000, 2)), kMiniEntry);
        CompoundImage image = builder.build();
        const std::string expected = fault.breakIt(image);
        std::string message;
        EXPECT_FALSE(xl::ranThrough("the container", message, [&] {
            CompoundFile file(image.bytes);
            if (fault.stream)
                file.readStream(fault.stream);
        }));
        EXPECT_EQ(message, expected);
        // A view of the stream fails as a copy of it does.
        std::string viewMessage;
        EXPECT_FALSE(xl::ranThrough("the container", viewMessage, [&] {
            CompoundFile file(image.bytes);
            std::vector<uint8_t> copy;
            if (fault.stream)
                file.viewStream(fault.stream, copy);
        }));
        EXPECT_EQ(viewMessage, expected);
    }
}

TEST(CompoundFile, ViewsAStreamWhereItLiesAndCopiesOneWhoseSectorsAreOutOfOrder)
{
    CompoundBuilder builder;
    ASSERT_EQ(builder.addStream("Long", pattern(20000, 1)), kLongEntry);
    CompoundImage image = builder.build();
    {
        CompoundFile file(image.bytes);
        std::vector<uint8_t> copy;
        const std::span<const uint8_t> view = file.viewStream("Long", copy);
        EXPECT_TRUE(copy.empty());
        EXPECT_EQ(Bytes(view.begin(), view.end()), pattern(20000, 1));
    }
    // The first two sectors swapped, in the file and in the chain.
    const std::vector<uint32_t> sectors = image.dataSectors[kLongEntry];
    const auto sectorStart = [&](uint32_t sector) {
        return image.bytes.begin() + static_cast<std::ptrdiff_t>(image.sectorOffset(sector));
    };
    std::swap_ranges(sectorStart(sectors[0]), sectorStart(sectors[0]) + static_cast<std::ptrdiff_t>(image.sectorSize),
                     sectorStart(sectors[1]));
    putU32(image.bytes, image.entryOffset(kLongEntry) + 116, sectors[1]);
    putU32(image.bytes, image.fatEntryOffset(sectors[1]), sectors[0]);
    putU32(image.bytes, image.fatEntryOffset(sectors[0]), sectors[2]);
    CompoundFile file(image.bytes);
    std::vector<uint8_t> copy;
    const std::span<const uint8_t> view = file.viewStream("Long", copy);
    EXPECT_EQ(view.data(), copy.data());
    EXPECT_EQ(copy, pattern(20000, 1));
}

} // namespace
