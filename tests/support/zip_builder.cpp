// Writes zip archives and minimal workbooks for test fixtures.
#include "zip_builder.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <stdexcept>

namespace fixture {
namespace {

void put16(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void put64(std::string& out, uint64_t value)
{
    put32(out, static_cast<uint32_t>(value));
    put32(out, static_cast<uint32_t>(value >> 32));
}

uint32_t low32(uint64_t value, bool zip64)
{
    return zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(value);
}

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelationshipNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

// Text as Excel writes it in XML: markup characters as entities, control
// characters as _xHHHH_, and an underscore that would start an escape as
// _x005F_.
std::string excelText(std::string_view text)
{
    auto hex = [](unsigned value) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out = "_x";
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(digits[(value >> shift) & 0xF]);
        return out + "_";
    };
    auto startsEscape = [&](size_t at) {
        if (at + 6 >= text.size() || text[at + 1] != 'x' || text[at + 6] != '_')
            return false;
        return std::all_of(text.begin() + at + 2, text.begin() + at + 6,
                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c < 0x20 && c != '\t' && c != '\n')
            out += hex(c);
        else if (c == '_' && startsEscape(i))
            out += hex('_');
        else
            out.push_back(text[i]);
    }
    return out;
}

std::string textElement(std::string_view text)
{
    const bool padded = !text.empty() && (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' ||
                                          text.back() == '\t' || text.front() == '\n' || text.back() == '\n');
    return std::string(padded ? "<t xml:space=\"preserve\">" : "<t>") + excelText(text) + "</t>";
}

std::string columnLetters(size_t column)
{
    std::string letters;
    for (size_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

std::string shortest(double number)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string deflateRaw(std::string_view data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    return out;
}

std::string buildZip(const std::vector<ZipEntry>& entries, const ZipOptions& options)
{
    std::string archive;
    std::string directory;
    for (const ZipEntry& entry : entries) {
        const std::string stored = entry.deflate ? deflateRaw(entry.data) : entry.data;
        const uint32_t crc = entry.declaredCrc.value_or(static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size()))));
        const uint64_t size = entry.declaredSize.value_or(entry.data.size());
        const uint64_t compressedSize = entry.declaredCompressedSize.value_or(stored.size());
        const bool zip64 = entry.zip64 || size > 0xFFFFFFFF || compressedSize > 0xFFFFFFFF;
        const uint64_t offset = archive.size();
        const uint16_t flags = static_cast<uint16_t>((entry.dataDescriptor ? 0x0008 : 0) | entry.extraFlags);
        const uint16_t method = entry.declaredMethod.value_or(entry.deflate ? 8 : 0);
        const uint16_t version = zip64 ? 45 : 20;

        std::string localExtra;
        if (zip64) {
            put16(localExtra, 0x0001);
            put16(localExtra, 16);
            put64(localExtra, entry.dataDescriptor ? 0 : size);
            put64(localExtra, entry.dataDescriptor ? 0 : compressedSize);
        }
        put32(archive, 0x04034b50);
        put16(archive, version);
        put16(archive, flags);
        put16(archive, method);
        put16(archive, 0);      // time
        put16(archive, 0x21);   // date: 1980-01-01
        put32(archive, entry.dataDescriptor ? 0 : crc);
        put32(archive, entry.dataDescriptor ? 0 : low32(compressedSize, zip64));
        put32(archive, entry.dataDescriptor ? 0 : low32(size, zip64));
        put16(archive, static_cast<uint32_t>(entry.name.size()));
        put16(archive, static_cast<uint32_t>(localExtra.size()));
        archive += entry.name;
        archive += localExtra;
        archive += stored;
        if (entry.dataDescriptor) {
            put32(archive, 0x08074b50);
            put32(archive, crc);
            if (zip64) {
                put64(archive, compressedSize);
                put64(archive, size);
            } else {
                put32(archive, static_cast<uint32_t>(compressedSize));
                put32(archive, static_cast<uint32_t>(size));
            }
        }

        std::string centralExtra;
        if (zip64) {
            put16(centralExtra, 0x0001);
            put16(centralExtra, 24);
            put64(centralExtra, size);
            put64(centralExtra, compressedSize);
            put64(centralExtra, offset);
        }
        put32(directory, 0x02014b50);
        put16(directory, version);
        put16(directory, version);
        put16(directory, flags);
        put16(directory, method);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, low32(compressedSize, zip64));
        put32(directory, low32(size, zip64));
        put16(directory, static_cast<uint32_t>(entry.name.size()));
        put16(directory, static_cast<uint32_t>(centralExtra.size()));
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, low32(offset, zip64));
        directory += entry.name;
        directory += centralExtra;
    }
    const uint64_t directoryOffset = archive.size();
    archive += directory;
    const bool zip64 = options.zip64EndRecord;
    if (zip64) {
        const uint64_t record = archive.size();
        put32(archive, 0x06064b50);
        put64(archive, 44); // size of the rest of the record
        put16(archive, 45);
        put16(archive, 45);
        put32(archive, 0);
        put32(archive, 0);
        put64(archive, entries.size());
        put64(archive, entries.size());
        put64(archive, directory.size());
        put64(archive, directoryOffset);
        put32(archive, 0x07064b50);
        put32(archive, 0);
        put64(archive, record);
        put32(archive, 1);
    }
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, zip64 ? 0xFFFF : static_cast<uint32_t>(entries.size()));
    put16(archive, zip64 ? 0xFFFF : static_cast<uint32_t>(entries.size()));
    put32(archive, low32(directory.size(), zip64));
    put32(archive, low32(directoryOffset, zip64));
    put16(archive, static_cast<uint32_t>(options.comment.size()));
    archive += options.comment;
    return archive;
}

FixtureCell FixtureCell::boolean(bool value)
{
    FixtureCell cell;
    cell.kind = Kind::Boolean;
    cell.number = value ? 1 : 0;
    return cell;
}

FixtureCell FixtureCell::error(std::string code)
{
    FixtureCell cell;
    cell.kind = Kind::Error;
    cell.text = std::move(code);
    return cell;
}

std::string worksheetXml(std::string_view rowsXml)
{
    return std::string(kXmlDeclaration) + "<worksheet xmlns=\"" + kMainNamespace + "\" xmlns:r=\"" +
           kRelationshipNamespace + "\"><sheetData>" + std::string(rowsXml) + "</sheetData></worksheet>";
}

std::string makeXlsx(const std::vector<std::vector<FixtureCell>>& rows)
{
    std::map<std::string, size_t> stringIndex;
    std::vector<const std::string*> strings;
    size_t stringCount = 0;
    std::string rowsXml;
    for (size_t r = 0; r < rows.size(); ++r) {
        const std::string rowNumber = std::to_string(r + 1);
        std::string cells;
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const FixtureCell& cell = rows[r][c];
            const std::string reference = columnLetters(c) + rowNumber;
            switch (cell.kind) {
            case FixtureCell::Kind::None:
                break;
            case FixtureCell::Kind::Text: {
                const auto [it, added] = stringIndex.emplace(cell.text, strings.size());
                if (added)
                    strings.push_back(&it->first);
                ++stringCount;
                cells += "<c r=\"" + reference + "\" t=\"s\"><v>" + std::to_string(it->second) + "</v></c>";
                break;
            }
            case FixtureCell::Kind::Number:
                cells += "<c r=\"" + reference + "\"><v>" + shortest(cell.number) + "</v></c>";
                break;
            case FixtureCell::Kind::Boolean:
                cells += "<c r=\"" + reference + "\" t=\"b\"><v>" + shortest(cell.number) + "</v></c>";
                break;
            case FixtureCell::Kind::Error:
                cells += "<c r=\"" + reference + "\" t=\"e\"><v>" + excelText(cell.text) + "</v></c>";
                break;
            }
        }
        if (!cells.empty())
            rowsXml += "<row r=\"" + rowNumber + "\">" + cells + "</row>";
    }
    std::optional<std::string> sharedStrings;
    if (!strings.empty()) {
        sharedStrings = std::string(kXmlDeclaration) + "<sst xmlns=\"" + kMainNamespace + "\" count=\"" +
                        std::to_string(stringCount) + "\" uniqueCount=\"" + std::to_string(strings.size()) + "\">";
        for (const std::string* text : strings)
            *sharedStrings += "<si>" + textElement(*text) + "</si>";
        *sharedStrings += "</sst>";
    }
    return makeXlsxFromSheetXml(worksheetXml(rowsXml), sharedStrings);
}

std::vector<ZipEntry> xlsxParts(std::string sheetXml, std::optional<std::string> sharedStringsXml)
{
    const std::string packageRelationships = std::string(kXmlDeclaration) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    std::string contentTypes = std::string(kXmlDeclaration) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    const std::string workbook = std::string(kXmlDeclaration) + "<workbook xmlns=\"" + kMainNamespace +
                                 "\" xmlns:r=\"" + kRelationshipNamespace +
                                 "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    std::string workbookRelationships = std::string(kXmlDeclaration) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" + kRelationshipNamespace + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (sharedStringsXml) {
        contentTypes += "<Override PartName=\"/xl/sharedStrings.xml\" "
                        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
        workbookRelationships += "<Relationship Id=\"rId2\" Type=\"" + std::string(kRelationshipNamespace) +
                                 "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    }
    contentTypes += "</Types>";
    workbookRelationships += "</Relationships>";

    std::vector<ZipEntry> parts;
    parts.push_back({"[Content_Types].xml", contentTypes});
    parts.push_back({"_rels/.rels", packageRelationships});
    parts.push_back({"xl/workbook.xml", workbook});
    parts.push_back({"xl/_rels/workbook.xml.rels", workbookRelationships});
    parts.push_back({"xl/worksheets/sheet1.xml", std::move(sheetXml)});
    if (sharedStringsXml)
        parts.push_back({"xl/sharedStrings.xml", std::move(*sharedStringsXml)});
    return parts;
}

std::string makeXlsxFromSheetXml(std::string sheetXml, std::optional<std::string> sharedStringsXml)
{
    return buildZip(xlsxParts(std::move(sheetXml), std::move(sharedStringsXml)));
}

ZipEntry& entryNamed(std::vector<ZipEntry>& entries, std::string_view name)
{
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const ZipEntry& e) { return e.name == name; });
    if (found == entries.end())
        throw std::invalid_argument("fixture has no entry " + std::string(name));
    return *found;
}

} // namespace fixture
