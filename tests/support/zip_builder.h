// Fixtures built in memory: zip archives with any mix of stored, deflated,
// data-descriptor and zip64 entries (and sizes or CRCs that lie), and small
// .xlsx workbooks, either from a sheet's XML or from a grid of cells written
// the way Excel writes them (texts as shared strings, numbers as <v>).
//
//   std::string bytes = fixture::makeXlsx({{"KQ_FILE_START"}, {"apple", "苹果"}, {12, 0.25}});
//   book->loadRaw(bytes.data(), bytes.size());
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fixture {

struct ZipEntry {
    ZipEntry(std::string name, std::string data, bool deflate = true)
        : name(std::move(name)), data(std::move(data)), deflate(deflate)
    {
    }

    std::string name;
    std::string data;
    bool deflate = true;
    // Sizes and CRC follow the data (flag bit 3); the local header has zeros.
    bool dataDescriptor = false;
    // 0xFFFFFFFF in the 32-bit size fields, the sizes in zip64 extra fields
    // of both headers. Implied by a declared size past 32 bits.
    bool zip64 = false;
    // What the headers claim instead of the truth.
    std::optional<uint64_t> declaredSize;
    std::optional<uint64_t> declaredCompressedSize;
    std::optional<uint32_t> declaredCrc;
    std::optional<uint16_t> declaredMethod;
    uint16_t extraFlags = 0; // e.g. 1, "encrypted"
};

struct ZipOptions {
    // Ends the archive with zip64 end of central directory record and locator.
    bool zip64EndRecord = false;
    std::string comment;
};

std::string buildZip(const std::vector<ZipEntry>& entries, const ZipOptions& options = {});

// Raw deflate (no zlib header), as zip entries hold it.
std::string deflateRaw(std::string_view data);

// One cell of a fixture grid: nothing, a text (UTF-8), a number, a boolean
// or an error value.
struct FixtureCell {
    enum class Kind { None, Text, Number, Boolean, Error };

    FixtureCell() = default;
    FixtureCell(const char* text) : kind(Kind::Text), text(text) {}
    FixtureCell(std::string text) : kind(Kind::Text), text(std::move(text)) {}
    FixtureCell(double number) : kind(Kind::Number), number(number) {}
    FixtureCell(int number) : kind(Kind::Number), number(number) {}
    static FixtureCell boolean(bool value);
    static FixtureCell error(std::string code = "#N/A");

    Kind kind = Kind::None;
    std::string text; // the text, or the error code
    double number = 0;
};

// A workbook whose only sheet holds `rows` from A1 on.
std::string makeXlsx(const std::vector<std::vector<FixtureCell>>& rows);

// The <worksheet> part around `rowsXml`, the content of <sheetData>.
std::string worksheetXml(std::string_view rowsXml);

// The parts of a one-sheet workbook: [Content_Types].xml, _rels/.rels,
// xl/workbook.xml, xl/_rels/workbook.xml.rels, xl/worksheets/sheet1.xml and,
// when given, xl/sharedStrings.xml. Tests change them to make broken files.
std::vector<ZipEntry> xlsxParts(std::string sheetXml, std::optional<std::string> sharedStringsXml = std::nullopt);

std::string makeXlsxFromSheetXml(std::string sheetXml, std::optional<std::string> sharedStringsXml = std::nullopt);

// The entry of `entries` called `name`; throws std::invalid_argument (which
// fails the calling test) when there is none.
ZipEntry& entryNamed(std::vector<ZipEntry>& entries, std::string_view name);

} // namespace fixture
