// The zip reader on archives built in the test: the layouts that real
// writers produce, name lookup, and each way an entry can be refused, read
// whole and piece by piece.
#include "common/load_error.h"
#include "xlsx/zip_archive.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using fixture::ZipEntry;
using fixture::ZipOptions;

const std::string kXml = "<?xml version=\"1.0\"?><root>" + std::string(3000, 'x') + "</root>";

// Piece sizes for EntryReader: one byte, a few, and more than any entry.
constexpr size_t kPieceSizes[] = {1, 7, 1 << 16};

// Reads `entry` through an EntryReader in pieces of at most `pieceSize`.
bool readInPieces(const xl::ZipArchive& zip, const xl::ZipArchive::Entry& entry, size_t pieceSize,
                  std::string& data, std::string& error)
{
    data.clear();
    return xl::ranThrough("the entry", error, [&] {
        xl::ZipArchive::EntryReader reader(zip, entry);
        std::string piece(pieceSize, '\0');
        while (const size_t produced = reader.read(piece.data(), piece.size()))
            data.append(piece, 0, produced);
    });
}

struct Layout {
    const char* name;
    std::function<void(ZipEntry&)> shape;
    ZipOptions options;
};

TEST(ZipArchive, ReadsTheLayoutsThatWritersProduce)
{
    const Layout layouts[] = {
        {"stored", [](ZipEntry& e) { e.deflate = false; }, {}},
        {"deflated", [](ZipEntry&) {}, {}},
        {"data descriptor after the data", [](ZipEntry& e) { e.dataDescriptor = true; }, {}},
        {"stored with a data descriptor", [](ZipEntry& e) { e.deflate = false; e.dataDescriptor = true; }, {}},
        {"zip64 extra fields, no zip64 end record", [](ZipEntry& e) { e.zip64 = true; }, {}},
        {"zip64 extra fields and end record", [](ZipEntry& e) { e.zip64 = true; }, {true, ""}},
        {"zip64 with data descriptors", [](ZipEntry& e) { e.zip64 = true; e.dataDescriptor = true; }, {true, ""}},
        {"an archive comment", [](ZipEntry&) {}, {false, "written by a test\x50\x4b\x05\x06"}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        std::vector<ZipEntry> entries{{"a.xml", kXml}, {"dir/b.xml", "short"}, {"empty", ""}};
        for (ZipEntry& entry : entries)
            layout.shape(entry);
        const std::string bytes = fixture::buildZip(entries, layout.options);

        xl::ZipArchive zip;
        std::string error;
        ASSERT_TRUE(zip.open(bytes, error)) << error;
        ASSERT_EQ(zip.entries().size(), 3u);
        for (const ZipEntry& expected : entries) {
            const xl::ZipArchive::Entry* entry = zip.find(expected.name);
            ASSERT_NE(entry, nullptr) << expected.name;
            std::string data;
            ASSERT_TRUE(zip.read(*entry, data, error)) << error;
            EXPECT_EQ(data, expected.data);
            for (const size_t pieceSize : kPieceSizes) {
                ASSERT_TRUE(readInPieces(zip, *entry, pieceSize, data, error)) << pieceSize << ": " << error;
                EXPECT_EQ(data, expected.data) << pieceSize;
            }
        }
    }
}

TEST(ZipArchive, FindsNamesWithoutRegardToCaseOrSeparator)
{
    const std::string bytes = fixture::buildZip({{"xl\\WorkSheets\\Sheet1.XML", "data"}, {"xl/other.xml", "x"}});
    xl::ZipArchive zip;
    std::string error;
    ASSERT_TRUE(zip.open(bytes, error)) << error;
    for (const char* name : {"xl/worksheets/sheet1.xml", "XL/WORKSHEETS/SHEET1.XML", "xl\\worksheets/sheet1.xml"}) {
        const xl::ZipArchive::Entry* entry = zip.find(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry->name, "xl/WorkSheets/Sheet1.XML");
    }
    EXPECT_EQ(zip.find("xl/worksheets/sheet1.xm"), nullptr);
    EXPECT_EQ(zip.find("xl/worksheets/sheet1.xml2"), nullptr);
}

struct Refusal {
    const char* name;
    std::function<void(ZipEntry&)> shape;
    std::string message;
};

TEST(ZipArchive, RefusesEntriesThatLieOrExceedTheLimits)
{
    const std::string zeros(4 << 20, '\0');
    const Refusal refusals[] = {
        {"a wrong CRC", [](ZipEntry& e) { e.declaredCrc = 0x12345678; }, "CRC-32 mismatch"},
        {"a declared size above the real one",
         [](ZipEntry& e) { e.declaredSize = e.data.size() + 10; },
         "inflates to " + std::to_string(kXml.size()) + " bytes, not its declared " + std::to_string(kXml.size() + 10)},
        {"a declared size below the real one", [](ZipEntry& e) { e.declaredSize = 100; },
         "inflates to more than its declared size of 100 bytes"},
        {"a stored entry whose sizes differ",
         [](ZipEntry& e) { e.deflate = false; e.declaredSize = 10; },
         "stored with " + std::to_string(kXml.size()) + " bytes but a size of 10"},
        {"compressed data running past the end of the file",
         [](ZipEntry& e) { e.declaredCompressedSize = 1 << 20; }, "run past the end of the file"},
        {"a declared size of 5 GB",
         [](ZipEntry& e) { e.declaredSize = 5'000'000'000ull; }, "declared size of 5000000000 bytes exceeds the limit"},
        {"a declared size just above the limit",
         [](ZipEntry& e) { e.declaredSize = xl::ZipArchive::kMaxEntrySize + 1; }, "exceeds the limit of 268435456"},
        {"an inflation ratio above 200",
         [&](ZipEntry& e) { e.data = zeros; }, "more than 200 times its compressed size"},
        {"encryption", [](ZipEntry& e) { e.extraFlags = 1; }, "is encrypted"},
        {"an unknown compression method", [](ZipEntry& e) { e.declaredMethod = 12; },
         "compression method 12 is not supported"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        ZipEntry entry{"xl/sheet.xml", kXml};
        refusal.shape(entry);
        const std::string bytes = fixture::buildZip({entry});
        xl::ZipArchive zip;
        std::string error;
        ASSERT_TRUE(zip.open(bytes, error)) << error;
        std::string data = "left over";
        EXPECT_FALSE(zip.read(zip.entries().at(0), data, error));
        EXPECT_NE(error.find("zip entry 'xl/sheet.xml': "), std::string::npos) << error;
        EXPECT_NE(error.find(refusal.message), std::string::npos) << error;
        EXPECT_TRUE(data.empty());
        for (const size_t pieceSize : kPieceSizes) {
            SCOPED_TRACE(pieceSize);
            error.clear();
            EXPECT_FALSE(readInPieces(zip, zip.entries().at(0), pieceSize, data, error));
            EXPECT_NE(error.find("zip entry 'xl/sheet.xml': "), std::string::npos) << error;
            EXPECT_NE(error.find(refusal.message), std::string::npos) << error;
            // Whatever came out before the fault is no more than was declared.
            EXPECT_LE(data.size(), zip.entries().at(0).size);
        }
    }
}

TEST(ZipArchive, StopsInflatingOneBytePastTheDeclaredSize)
{
    // 4 MiB of text that declares 1 KiB, read in pieces of 1000 bytes: the
    // first piece comes out, the second asks for the 24 bytes left and one
    // more, and that byte fails the read.
    ZipEntry entry{"xl/sheet.xml", std::string(4 << 20, 'x')};
    entry.declaredSize = 1024;
    const std::string bytes = fixture::buildZip({entry});
    xl::ZipArchive zip;
    std::string error;
    ASSERT_TRUE(zip.open(bytes, error)) << error;
    xl::ZipArchive::EntryReader reader(zip, zip.entries().at(0));
    std::string piece(1000, '\0');
    size_t produced = 0;
    ASSERT_TRUE(xl::ranThrough("the entry", error, [&] { produced = reader.read(piece.data(), piece.size()); }))
        << error;
    EXPECT_EQ(produced, 1000u);
    EXPECT_FALSE(xl::ranThrough("the entry", error, [&] { produced = reader.read(piece.data(), piece.size()); }));
    EXPECT_EQ(error, "zip entry 'xl/sheet.xml': inflates to more than its declared size of 1024 bytes");
    // A reader that has failed stays at its end.
    EXPECT_EQ(reader.read(piece.data(), piece.size()), 0u);
}

TEST(ZipArchive, ReadsAnEntryRightAtTheRatioLimit)
{
    // 1 MiB of text at up to 200:1 passes: the ratio applies only above it.
    const std::string text(1 << 20, 'a');
    const std::string bytes = fixture::buildZip({{"big.xml", text}});
    xl::ZipArchive zip;
    std::string error;
    ASSERT_TRUE(zip.open(bytes, error)) << error;
    std::string data;
    EXPECT_TRUE(zip.read(zip.entries().at(0), data, error)) << error;
    EXPECT_EQ(data.size(), text.size());
}

struct BrokenArchive {
    const char* name;
    std::function<std::string(std::string)> damage;
    std::string message;
};

TEST(ZipArchive, RefusesDamagedArchivesWithTheOffsetAtFault)
{
    const std::string good = fixture::buildZip({{"a.xml", kXml}, {"b.xml", kXml}});
    const size_t eocd = good.size() - 22;
    auto patch32 = [](std::string bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(value >> (8 * i));
        return bytes;
    };
    const BrokenArchive broken[] = {
        {"no end record", [&](std::string b) { return b.substr(0, eocd); }, "no end of central directory record"},
        {"cut in the middle", [](std::string b) { return b.substr(0, b.size() / 2); },
         "no end of central directory record"},
        {"directory beyond the end", [&](std::string b) { return patch32(b, eocd + 16, 0x7FFFFFF0); },
         "central directory (offset 2147483632"},
        {"directory size too large", [&](std::string b) { return patch32(b, eocd + 12, 1000000); },
         "lies beyond the end of the"},
        {"a directory entry with a bad signature",
         [&](std::string b) { return patch32(b, eocd - 51, 0); },
         "central directory entry at offset " + std::to_string(eocd - 51) + " is damaged"},
        {"too short to be a zip", [](std::string) { return std::string("PK\x05\x06"); }, "is too short"},
        {"a zip64 locator pointing nowhere",
         [&](std::string b) {
             std::string locator = "PK\x06\x07" + std::string(16, '\0');
             locator[8] = '\x7F';
             return b.substr(0, eocd) + locator + b.substr(eocd);
         },
         "zip64 end of central directory record at offset 127 is missing or damaged"},
    };
    for (const BrokenArchive& archive : broken) {
        SCOPED_TRACE(archive.name);
        xl::ZipArchive zip;
        std::string error;
        const std::string bytes = archive.damage(good);
        EXPECT_FALSE(zip.open(bytes, error));
        EXPECT_NE(error.find(archive.message), std::string::npos) << error;
    }
}

TEST(ZipArchive, RefusesALocalHeaderOffsetBeyondTheFile)
{
    std::string bytes = fixture::buildZip({{"a.xml", kXml}});
    const size_t offsetField = bytes.size() - 22 - (46 + 5) + 42;
    bytes[offsetField + 3] = '\x40';
    xl::ZipArchive zip;
    std::string error;
    ASSERT_TRUE(zip.open(bytes, error)) << error;
    std::string data;
    EXPECT_FALSE(zip.read(zip.entries().at(0), data, error));
    EXPECT_NE(error.find("zip entry 'a.xml': no local header at offset 1073741824"), std::string::npos) << error;
}

} // namespace
