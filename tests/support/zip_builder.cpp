// Zip archives (through the spreadsheet layer's zip writer) and minimal
// workbooks for test fixtures.
#include "zip_builder.h"

#include "xlsx/escapes.h"
#include "xlsx/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <stdexcept>

namespace fixture {
namespace {

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelationshipNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

// Text as Excel writes it in XML, through the writer's own escaping.
std::string excelText(std::string_view text)
{
    std::string out;
    xl::appendXmlText(text, out);
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
    xl::Deflater deflater(Z_BEST_COMPRESSION);
    deflater.write(data);
    deflater.finish();
    return std::move(deflater.deflated());
}

std::string buildZip(const std::vector<ZipEntry>& entries, const ZipOptions& options)
{
    xl::ZipWriter writer;
    for (const ZipEntry& entry : entries) {
        const std::string stored = entry.deflate ? deflateRaw(entry.data) : entry.data;
        writer.addStored({.name = entry.name,
                          .data = stored,
                          .method = entry.declaredMethod.value_or(entry.deflate ? 8 : 0),
                          .crc = entry.declaredCrc.value_or(static_cast<uint32_t>(crc32(
                              0, reinterpret_cast<const Bytef*>(entry.data.data()),
                              static_cast<uInt>(entry.data.size())))),
                          .size = entry.declaredSize.value_or(entry.data.size()),
                          .compressedSize = entry.declaredCompressedSize,
                          .flags = entry.extraFlags,
                          .dataDescriptor = entry.dataDescriptor,
                          .zip64 = entry.zip64});
    }
    return writer.finish({.zip64EndRecord = options.zip64EndRecord, .comment = options.comment});
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
