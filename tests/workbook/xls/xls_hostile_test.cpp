// The binary book on broken and hostile files built in the test: every one
// either fails to load with a message that says what is wrong, or loads
// what is sound in it. Run under AddressSanitizer (preset native-asan), a
// read outside the bytes shows up here too.
#include "utf8.h"
#include "xls_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace xls_fixture;

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kWorkbookEntry = 1;

Bytes manyNumbers()
{
    Bytes cells = numberCell(0, 0, 1);
    for (uint16_t row = 1; row < 400; ++row)
        cells = cells + numberCell(row, 0, row);
    return cells;
}

// A workbook stream in whole sectors, and one small enough for the mini stream.
CompoundImage largeFile() { return xlsFile(WorkbookStream().sheet(manyNumbers()).build()); }
CompoundImage smallFile()
{
    return xlsFile(WorkbookStream().sheet(numberCell(0, 0, 1) + numberCell(60, 0, 2)).build());
}

Bytes withSheet(const Bytes& cells, const Bytes& globals = {})
{
    return xlsFile(WorkbookStream().global(globals).sheet(cells).build()).bytes;
}

Bytes withStream(const Bytes& stream) { return xlsFile(stream).bytes; }

Bytes withoutTail(Bytes bytes, size_t count)
{
    bytes.resize(bytes.size() - count);
    return bytes;
}

Bytes patched(CompoundImage image, const std::function<size_t(const CompoundImage&)>& offset, uint32_t value)
{
    putU32(image.bytes, offset(image), value);
    return image.bytes;
}

// A link of the workbook stream's chain in the allocation table.
Bytes relinked(CompoundImage image, size_t link, uint32_t next)
{
    putU32(image.bytes, image.fatEntryOffset(image.dataSectors[kWorkbookEntry].at(link)), next);
    return image.bytes;
}

Bytes relinkedMini(CompoundImage image, size_t link, uint32_t next)
{
    putU32(image.bytes, image.miniFatEntryOffset(image.dataSectors[kWorkbookEntry].at(link)), next);
    return image.bytes;
}

Bytes twoStrings() { return unicodeString(u"a", false) + unicodeString(u"b", false); }

// One shared string of 65535 characters (the most a BIFF8 string holds), in an
// SST and CONTINUE records, shown by columns A and B of `rows` rows.
Bytes sharedStringFanout(uint16_t rows)
{
    constexpr uint16_t kLength = 0xFFFF;
    constexpr size_t kPiece = 8000;
    const std::string text(kLength, 'a');
    std::vector<Bytes> continuations;
    for (size_t at = kPiece; at < kLength; at += kPiece)
        continuations.push_back(Bytes{0x00} + chars8(std::string_view(text).substr(at, kPiece)));
    Bytes cells;
    for (uint16_t row = 0; row < rows; ++row)
        cells = cells + labelSstCell(row, 0, 0) + labelSstCell(row, 1, 0);
    return withSheet(cells, sst(1, stringHeader(kLength, 0) + chars8(text.substr(0, kPiece)), continuations));
}

CompoundImage withExtensionSectors()
{
    CompoundBuilder builder;
    builder.addStream("Workbook", WorkbookStream().sheet(manyNumbers()).build());
    builder.padAllocationTable(300);
    return builder.build();
}

struct HostileCase {
    const char* name;
    std::function<Bytes()> build;
    // A part of the message when the load must fail; null when it loads.
    const char* failure;
    // What must hold in the first sheet of a file that loads.
    std::function<void(xl::Sheet&)> check = nullptr;
};

void expectA1(xl::Sheet& sheet, double value) { EXPECT_EQ(sheet.readNum(0, 0), value); }

std::vector<HostileCase> hostileCases()
{
    return {
        // The file as a whole.
        {"an empty file", [] { return Bytes(); }, "neither a compound file nor a BIFF record stream"},
        {"text named .xls", [] { return chars8("Attachment not found, sorry!"); },
         "neither a compound file nor a BIFF record stream"},
        {"a zip package named .xls", [] { return chars8("PK\x03\x04\x14\x00\x06\x00"); }, "a zip package"},
        {"a header cut short", [] { return withoutTail(largeFile().bytes, largeFile().bytes.size() - 300); },
         "too few for the 512-byte header"},
        {"the last sector cut in half", [] { return withoutTail(largeFile().bytes, 256); },
         "runs past the end of the file"},
        {"the file cut in half", [] { return withoutTail(largeFile().bytes, largeFile().bytes.size() / 2); },
         "lies beyond"},
        {"a big-endian byte-order mark", [] { auto b = largeFile().bytes; b[28] = 0xFF; b[29] = 0xFE; return b; },
         "byte-order mark at offset 28"},
        {"a sector size of 1024 bytes", [] { auto b = largeFile().bytes; b[30] = 10; return b; },
         "sector size at offset 30"},
        {"a mini-sector size of 128 bytes", [] { auto b = largeFile().bytes; b[32] = 7; return b; },
         "mini-sector size at offset 32"},

        // The allocation table and its extension.
        {"more table sectors than the file has",
         [] { return patched(largeFile(), [](auto&) { return 44; }, 0x10000000); },
         "allocation-table sectors at offset 44"},
        {"a table sector past the end of the file",
         [] { return patched(largeFile(), [](auto&) { return 76; }, 0x00FFFFFF); }, "allocation-table sector 0"},
        {"an extension chain that loops",
         [] {
             return patched(withExtensionSectors(),
                            [](const CompoundImage& f) {
                                return f.sectorOffset(f.extensionSectors.at(0)) + f.sectorSize - 4;
                            },
                            withExtensionSectors().extensionSectors.at(0));
         },
         "loops back to sector"},
        {"an extension chain that ends early",
         [] { return patched(withExtensionSectors(), [](auto&) { return 68; }, kEndOfChain); }, "ends early"},
        {"an extension sector past the end of the file",
         [] { return patched(withExtensionSectors(), [](auto&) { return 68; }, 0x00FFFFFF); }, "lies beyond"},
        {"extension sectors done right", [] { return withExtensionSectors().bytes; }, nullptr,
         [](xl::Sheet& sheet) { expectA1(sheet, 1); }},

        // The workbook stream's chain.
        {"a chain that loops", [] { return relinked(largeFile(), 2, largeFile().dataSectors[kWorkbookEntry][1]); },
         "stream 'Workbook': the chain loops back to sector"},
        {"a chain that points outside the table", [] { return relinked(largeFile(), 1, 0x00100000); },
         "outside the table"},
        {"a chain to a sector past the end of the file",
         [] { return relinked(largeFile(), largeFile().dataSectors[kWorkbookEntry].size() - 2, 100); },
         "sector 100 lies beyond"},
        {"a chain that ends early", [] { return relinked(largeFile(), 1, kEndOfChain); },
         "the chain ends after 2 sectors"},
        {"a chain that runs into a free sector", [] { return relinked(largeFile(), 1, kFree); },
         "the free-sector mark"},
        {"a stream size beyond the file",
         [] { return patched(largeFile(), [](const CompoundImage& f) { return f.entryOffset(1) + 120; }, 0x7FFFFFF0); },
         "more than the file holds"},
        {"a stream size beyond its chain",
         [] {
             auto f = largeFile();
             const uint32_t size = static_cast<uint32_t>(f.dataSectors[kWorkbookEntry].size() * f.sectorSize + 1);
             return patched(f, [](const CompoundImage& g) { return g.entryOffset(1) + 120; }, size);
         },
         "the chain ends after"},

        // The directory.
        {"a directory chain that loops",
         [] {
             auto f = largeFile();
             return patched(f, [](const CompoundImage& g) { return g.fatEntryOffset(g.directorySectors[0]); },
                            f.directorySectors[0]);
         },
         "the directory: the chain loops"},
        {"a directory that starts past the end",
         [] { return patched(largeFile(), [](auto&) { return 48; }, 0x7FFFFFFF); },
         "the directory"},
        {"a directory tree that loops",
         [] { return patched(largeFile(), [](const CompoundImage& f) { return f.entryOffset(1) + 72; }, 1); },
         "reaches entry 1 twice"},
        {"a directory tree that refers past its end",
         [] { return patched(largeFile(), [](const CompoundImage& f) { return f.entryOffset(0) + 76; }, 999); },
         "refers to entry 999"},
        {"no root storage first",
         [] { auto f = largeFile(); f.bytes[f.entryOffset(0) + 66] = 2; return f.bytes; },
         "does not start with the root storage"},
        {"no workbook stream",
         [] {
             CompoundBuilder builder;
             builder.addStream("WordDocument", Bytes(100, 0));
             return builder.build().bytes;
         },
         "no 'Workbook' stream"},

        // The mini stream.
        {"a mini chain that loops", [] { return relinkedMini(smallFile(), 0, smallFile().dataSectors[1][0]); },
         "in the mini stream: the chain loops back"},
        {"a mini sector past the end of the mini stream", [] { return relinkedMini(smallFile(), 0, 100); },
         "lies beyond the end of the mini stream"},
        {"a mini table that starts past the end",
         [] { return patched(smallFile(), [](auto&) { return 60; }, 0x7FFFFFFF); }, "mini-stream allocation table"},
        {"a mini stream larger than the file",
         [] { return patched(smallFile(), [](const CompoundImage& f) { return f.entryOffset(0) + 120; }, 0x7FFFFFFF); },
         "the mini stream: its size"},

        // Records and their lengths.
        {"a stream that does not start with a BOF", [] { return withStream(numberCell(0, 0, 1)); },
         "does not start with a BOF record"},
        {"an empty workbook stream", [] { return withStream({}); }, "does not start with a BOF record"},
        {"a record that claims more than the stream holds",
         [] { return withSheet(numberCell(0, 0, 1) + Bytes{0x03, 0x02, 0xE8, 0x03}); },
         "claims 1000 bytes, but the stream ends after 4"},
        {"a record header cut off", [] { return withStream(withoutTail(WorkbookStream().sheet({}).build(), 2)); },
         "cut off by the end of the stream"},
        {"a worksheet without EOF", [] { return withStream(withoutTail(WorkbookStream().sheet({}).build(), 4)); },
         "worksheet 1 (BOF at offset"},
        {"an embedded chart that is never closed", [] { return withSheet(bof(0x0020) + numberCell(0, 0, 1)); },
         "ends without an EOF record"},
        {"globals without EOF", [] { return withStream(withoutTail(WorkbookStream().build(), 4)); },
         "the workbook globals end at offset"},
        {"a NUMBER record too short", [] { return withSheet(record(0x0203, Bytes{0, 0, 0, 0})); },
         "NUMBER (0x0203) at offset 62: holds 4 bytes, fewer than the 14 it needs"},
        {"a BOUNDSHEET record too short", [] { return withSheet({}, record(0x0085, Bytes{1, 2})); },
         "fewer than the 6"},
        {"a BOUNDSHEET that points past the stream",
         [] { return withStream(WorkbookStream().sheet({}).pointSheetAt(0, 0x7FFFFFFF).build()); },
         "no BOF record at offset 2147483647"},
        {"a BOUNDSHEET that points into a record",
         [] { return withStream(WorkbookStream().sheet({}).pointSheetAt(0, 3).build()); }, "no BOF record at offset 3"},
        {"a label whose text runs past the record",
         [] { return withSheet(record(0x0204, Bytes{0, 0, 0, 0, 0, 0} + stringHeader(50, 0) + chars8("abc"))); },
         "LABEL (0x0204) at offset 62: the string's characters run past the end of the data at byte 78"},
        {"a MULRK with a ragged length",
         [] { return withSheet(record(0x00BD, Bytes{0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 9, 9, 9})); }, nullptr,
         [](xl::Sheet& sheet) {
             expectA1(sheet, 1);
             EXPECT_EQ(sheet.cellType(0, 1), xl::CELLTYPE_EMPTY);
         }},

        // The shared-string table.
        {"an SST that claims more strings than it holds",
         [] {
             return withSheet(labelSstCell(0, 0, 1), sst(1000, twoStrings()));
         },
         nullptr, [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "b"); }},
        {"an SST that claims four billion strings",
         [] { return withSheet(labelSstCell(0, 0, 0), sst(0xFFFFFFFF, unicodeString(u"only", false))); }, nullptr,
         [](xl::Sheet& sheet) { EXPECT_EQ(xl::utf16ToUtf8(sheet.readStr(0, 0)), "only"); }},
        {"a cell that refers past the SST",
         [] { return withSheet(labelSstCell(0, 0, 5), sst(2, twoStrings())); },
         "LABELSST (0x00FD) at offset 82: cell A1: shared string 5 does not exist; the SST holds 2"},
        {"a shared string longer than the data",
         [] { return withSheet({}, sst(1, stringHeader(100, 0) + chars8("abc"))); }, "characters run past the end"},
        {"a phonetic block that claims 4 GiB",
         [] { return withSheet({}, sst(1, stringHeader(1, 0x04) + Bytes{0xFF, 0xFF, 0xFF, 0xFF} + chars8("a"))); },
         "ends in the middle of a field"},
        {"a 16-bit character split across records",
         [] { return withSheet({}, sst(1, stringHeader(2, 0x01) + Bytes{0x41, 0x00, 0x42}, {Bytes{0x00, 0x01}})); },
         "split across records"},
        {"an empty CONTINUE inside a string",
         [] { return withSheet({}, sst(1, stringHeader(4, 0) + chars8("ab"), {Bytes{}})); }, "empty CONTINUE"},

        // Formats that are refused.
        {"an encrypted workbook", [] { return withSheet({}, record(0x002F, Bytes(54, 0))); }, "encrypted"},
        {"a BIFF5 workbook", [] { return withStream(bof(0x0005, 0x0500) + eof()); }, "Excel 5.0/95 (BIFF5)"},
        {"an unknown BIFF version", [] { return withStream(bof(0x0005, 0x0700) + eof()); },
         "unknown BIFF version 0x0700"},
        {"a bare BIFF2 record stream", [] { return record(0x0009, Bytes{0, 0, 0x10, 0}) + eof(); }, "BIFF2"},
        {"a bare BIFF4 record stream", [] { return record(0x0409, Bytes{0, 0, 0x10, 0, 0, 0}) + eof(); }, "BIFF4"},
    };
}

TEST(XlsHostile, FailsCleanlyOrLoadsWhatIsSound)
{
    for (const auto& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = c.build();
        const auto book = loadXls(file);
        const std::string message = book->errorMessage();
        if (c.failure) {
            EXPECT_NE(message.find(c.failure), std::string::npos) << "message: " << message;
            EXPECT_EQ(book->getSheet(0), nullptr);
        } else {
            ASSERT_EQ(message, "");
            xl::Sheet* sheet = book->getSheet(0);
            ASSERT_NE(sheet, nullptr);
            c.check(*sheet);
        }
    }
}

// 4096 cells show 65535 * 4096 = 2^28 - 4096 code units of text: the most
// there may be. One cell more fails the load, naming the record and the cell.
TEST(XlsHostile, BoundsTheTextThatTheCellsShowCountingSharedStringsForEachCell)
{
    const auto atTheBound = loadXls(sharedStringFanout(2048));
    ASSERT_STREQ(atTheBound->errorMessage(), "");
    EXPECT_EQ(std::u16string(atTheBound->getSheet(0)->readStr(2047, 1)).size(), 0xFFFFu);

    const auto past = loadXls(sharedStringFanout(3000));
    const std::string message = past->errorMessage();
    EXPECT_EQ(message.rfind("workbook stream: LABELSST (0x00FD) at offset ", 0), 0u) << message;
    EXPECT_NE(message.find(": cell A2049: the text that the sheet's cells show passes 268435456 UTF-16 code units"),
              std::string::npos)
        << message;
    EXPECT_EQ(past->getSheet(0), nullptr);
}

// A failed load leaves nothing of an earlier good one behind.
TEST(XlsHostile, AFailedLoadEmptiesTheBook)
{
    auto book = loadXls(largeFile().bytes);
    ASSERT_NE(book->getSheet(0), nullptr);
    EXPECT_FALSE(book->loadRaw("\xD0\xCF", 2));
    EXPECT_EQ(book->getSheet(0), nullptr);
    EXPECT_NE(std::string(book->errorMessage()), "");
}

} // namespace
