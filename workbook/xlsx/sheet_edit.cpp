// Inserting rows into the first sheet of a package. The sheet's XML is
// edited as written (not read and written again), so that everything the
// edit does not touch keeps its bytes: a small scanner walks its tags, the
// row numbers at and below the insertion point are rewritten, and what
// refers to rows in other ways is checked. The package is read through the
// readers' own package and XML classes, so that the sheet edited is the one
// the loader reads.
#include "xlsx/sheet_edit.h"

#include "common/cell_reference.h"
#include "common/quote.h"
#include "xlsx/escapes.h"
#include "xlsx/opc_package.h"
#include "xlsx/xml_reader.h"
#include "xlsx/zip_archive.h"
#include "xlsx/zip_writer.h"

#include <algorithm>
#include <optional>

namespace xl {
namespace {

constexpr uint16_t kFlagDataDescriptor = 0x0008;

// A tag of the sheet as written: where it is and what it says.
struct Tag {
    size_t begin = 0;         // '<'
    size_t end = 0;           // past '>'
    std::string_view name;    // as written, "x:row"
    std::string_view local;   // "row"
    std::string_view body;    // between the name and '>' (or "/>")
    bool closing = false;     // </row>
    bool empty = false;       // <row/>
};

std::string_view localPart(std::string_view name)
{
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The next tag from `at`, past comments, CDATA, processing instructions and
// declarations. False at the end.
bool nextTag(std::string_view xml, size_t& at, Tag& tag)
{
    for (;;) {
        const size_t open = xml.find('<', at);
        if (open == std::string_view::npos)
            return false;
        const std::string_view rest = xml.substr(open);
        const auto skipPast = [&](std::string_view ending) {
            const size_t close = xml.find(ending, open);
            at = close == std::string_view::npos ? xml.size() : close + ending.size();
        };
        if (rest.starts_with("<!--")) {
            skipPast("-->");
            continue;
        }
        if (rest.starts_with("<![CDATA[")) {
            skipPast("]]>");
            continue;
        }
        if (rest.starts_with("<?") || rest.starts_with("<!")) {
            skipPast(">");
            continue;
        }
        // The end of the tag: the first '>' outside quoted attribute values.
        size_t close = open + 1;
        char quote = 0;
        for (; close < xml.size(); ++close) {
            const char c = xml[close];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (close >= xml.size())
            return false;
        tag.begin = open;
        tag.end = close + 1;
        tag.closing = xml[open + 1] == '/';
        tag.empty = xml[close - 1] == '/';
        const size_t nameStart = open + (tag.closing ? 2 : 1);
        size_t nameEnd = nameStart;
        while (nameEnd < close && std::string_view(" \t\r\n/").find(xml[nameEnd]) == std::string_view::npos)
            ++nameEnd;
        tag.name = xml.substr(nameStart, nameEnd - nameStart);
        tag.local = localPart(tag.name);
        tag.body = xml.substr(nameEnd, close - nameEnd - (tag.empty ? 1 : 0));
        at = tag.end;
        return true;
    }
}

// Where the value of the attribute with the local name `local` lies in
// `xml` (offset and length), or nothing.
std::optional<std::pair<size_t, size_t>> attributeSpan(std::string_view xml, const Tag& tag, std::string_view local)
{
    const std::string_view body = tag.body;
    const size_t bodyStart = static_cast<size_t>(body.data() - xml.data());
    size_t at = 0;
    while (at < body.size()) {
        while (at < body.size() && std::string_view(" \t\r\n").find(body[at]) != std::string_view::npos)
            ++at;
        const size_t nameStart = at;
        while (at < body.size() && body[at] != '=' && std::string_view(" \t\r\n").find(body[at]) == std::string_view::npos)
            ++at;
        const std::string_view name = body.substr(nameStart, at - nameStart);
        while (at < body.size() && body[at] != '"' && body[at] != '\'')
            ++at;
        if (at >= body.size())
            return std::nullopt;
        const char quote = body[at++];
        const size_t valueStart = at;
        while (at < body.size() && body[at] != quote)
            ++at;
        if (localPart(name) == local && !name.starts_with("xmlns"))
            return std::make_pair(bodyStart + valueStart, at - valueStart);
        ++at;
    }
    return std::nullopt;
}

std::optional<std::string_view> attribute(std::string_view xml, const Tag& tag, std::string_view local)
{
    const auto span = attributeSpan(xml, tag, local);
    if (!span)
        return std::nullopt;
    return xml.substr(span->first, span->second);
}

// Whether a list of ranges ("A1:B3 D5", "$A:$A", "3:5") reaches row `row`
// (from 0) or below; a whole column does.
bool reachesRow(std::string_view ranges, int row)
{
    size_t at = 0;
    while (at < ranges.size()) {
        size_t end = ranges.find(' ', at);
        if (end == std::string_view::npos)
            end = ranges.size();
        std::string_view range = ranges.substr(at, end - at);
        at = end + 1;
        if (range.empty())
            continue;
        if (const size_t bang = range.rfind('!'); bang != std::string_view::npos)
            range.remove_prefix(bang + 1);
        const size_t colon = range.find(':');
        const std::string_view last = colon == std::string_view::npos ? range : range.substr(colon + 1);
        std::string digits;
        for (const char c : last)
            if (c >= '0' && c <= '9')
                digits.push_back(c);
        if (digits.empty())
            return true;
        const std::optional<int> lastRow = parseRowNumber(digits);
        if (!lastRow || *lastRow >= row)
            return true;
    }
    return false;
}

// What the first sheet is: its part, its name and place in the workbook,
// and the workbook part that lists it.
struct FirstSheet {
    std::string part;
    std::string name;
    std::string workbookPart;
};

bool hasType(const Relationship& relationship, std::string_view kind)
{
    const std::string_view type = relationship.type;
    return type.size() > kind.size() && type.ends_with(kind) && type[type.size() - kind.size() - 1] == '/';
}

FirstSheet findFirstSheet(const Package& package)
{
    FirstSheet sheet;
    for (const Relationship& relationship : package.readRelationships(""))
        if (hasType(relationship, "officeDocument") && !relationship.part.empty()) {
            sheet.workbookPart = relationship.part;
            break;
        }
    if (sheet.workbookPart.empty())
        throw LoadError{.what = "no workbook part", .source = relationshipsPartName("")};
    std::optional<std::string> id;
    package.readXml(sheet.workbookPart, [&](XmlReader& xml) {
        if (xml.find("sheet")) {
            sheet.name = std::string(xml.attribute("name").value_or(""));
            if (const auto found = xml.attribute("id"))
                id.emplace(*found);
        }
    });
    if (!id)
        throw LoadError{.what = "the first sheet has no relationship", .source = sheet.workbookPart};
    for (const Relationship& relationship : package.readRelationships(sheet.workbookPart))
        if (relationship.id == *id) {
            sheet.part = relationship.part;
            break;
        }
    if (sheet.part.empty())
        throw LoadError{.what = "the first sheet's part is missing", .source = sheet.workbookPart};
    return sheet;
}

[[noreturn]] void refuse(const std::string& part, std::string what, std::optional<CellPosition> cell = std::nullopt)
{
    throw LoadError{.what = std::move(what), .source = part, .cell = cell};
}

// Names of the workbook that point into the sheet would not follow its rows.
void checkDefinedNames(std::string_view workbookXml, const FirstSheet& sheet)
{
    size_t at = 0;
    Tag tag;
    while (nextTag(workbookXml, at, tag)) {
        if (tag.closing || tag.local != "definedName" || tag.empty)
            continue;
        const std::string_view name = attribute(workbookXml, tag, "name").value_or("");
        const size_t close = workbookXml.find('<', tag.end);
        const std::string_view formula = workbookXml.substr(tag.end, close == std::string_view::npos ? 0 : close - tag.end);
        const bool local = attribute(workbookXml, tag, "localSheetId") == std::optional<std::string_view>("0");
        const bool pointsIn = formula.find(sheet.name + "!") != std::string_view::npos ||
                              formula.find(sheet.name + "'!") != std::string_view::npos;
        if (local || pointsIn)
            refuse(sheet.workbookPart, "the name '" + quoteForMessage(name) + "' refers to the sheet '" +
                                           quoteForMessage(sheet.name) + "', and would not follow its rows");
    }
}

std::string textCell(const std::string& prefix, int row, int col, std::string_view text)
{
    std::string xml = "<" + prefix + "c r=\"" + formatCellReference(row, col) + "\" t=\"inlineStr\"><" + prefix + "is><" +
                      prefix + "t";
    const bool padded = text.front() == ' ' || text.back() == ' ' || text.front() == '\t' || text.back() == '\t' ||
                        text.front() == '\n' || text.back() == '\n';
    xml += padded ? " xml:space=\"preserve\">" : ">";
    appendXmlText(text, xml);
    return xml + "</" + prefix + "t></" + prefix + "is></" + prefix + "c>";
}

// The sheet's XML with the rows inserted.
std::string insertRows(std::string_view xml, const std::string& part, int beforeRow, const std::vector<TextRow>& rows)
{
    const int added = static_cast<int>(rows.size());
    struct Edit {
        size_t at;
        size_t length;
        std::string text;
    };
    std::vector<Edit> edits;
    std::optional<size_t> insertAt;
    std::string prefix;
    bool inSheetData = false;
    int row = -1;
    std::optional<CellPosition> cellAt;
    const auto shift = [&](const Tag& tag, std::string_view local, auto format) {
        if (const auto span = attributeSpan(xml, tag, local))
            edits.push_back({span->first, span->second, format(xml.substr(span->first, span->second))});
    };
    const auto refuseIfReaches = [&](const Tag& tag, std::string_view local, const std::string& what) {
        const std::optional<std::string_view> ranges = attribute(xml, tag, local);
        if (!ranges || reachesRow(*ranges, beforeRow))
            refuse(part, what + (ranges ? " ('" + quoteForMessage(*ranges) + "')" : std::string()) +
                             " reaches the rows that would move");
    };

    size_t at = 0;
    Tag tag;
    while (nextTag(xml, at, tag)) {
        const std::string_view local = tag.local;
        if (tag.closing) {
            if (local == "sheetData")
                inSheetData = false;
            continue;
        }
        if (local == "sheetData") {
            inSheetData = !tag.empty;
        } else if (inSheetData && local == "row") {
            const std::optional<std::string_view> number = attribute(xml, tag, "r");
            const std::optional<int> parsed = number ? parseRowNumber(*number) : std::nullopt;
            row = parsed ? *parsed : row + 1;
            if (row >= beforeRow) {
                if (!insertAt) {
                    insertAt = tag.begin;
                    prefix = std::string(tag.name.substr(0, tag.name.size() - local.size()));
                }
                if (parsed)
                    shift(tag, "r", [&](std::string_view) { return std::to_string(row + added + 1); });
            }
        } else if (inSheetData && local == "c") {
            const std::optional<std::string_view> reference = attribute(xml, tag, "r");
            cellAt = reference ? parseCellReference(*reference) : std::nullopt;
            if (cellAt)
                cellAt->row = row;
            if (row >= beforeRow && cellAt)
                shift(tag, "r", [&](std::string_view) { return formatCellReference(row + added, cellAt->col); });
        } else if (inSheetData && local == "f") {
            refuse(part, "a formula, which would not follow the rows it refers to", cellAt);
        } else if (local == "dimension") {
            shift(tag, "ref", [&](std::string_view ref) {
                const size_t colon = ref.find(':');
                if (colon == std::string_view::npos)
                    return std::string(ref);
                const std::optional<CellPosition> last = parseCellReference(ref.substr(colon + 1));
                if (!last || last->row < beforeRow)
                    return std::string(ref);
                return std::string(ref.substr(0, colon + 1)) + formatCellReference(last->row + added, last->col);
            });
        } else if (local == "mergeCell") {
            refuseIfReaches(tag, "ref", "merged cells");
        } else if (local == "hyperlink") {
            refuseIfReaches(tag, "ref", "a hyperlink");
        } else if (local == "conditionalFormatting") {
            refuseIfReaches(tag, "sqref", "a conditional format");
        } else if (local == "dataValidation") {
            refuseIfReaches(tag, "sqref", "a data validation");
        } else if (local == "autoFilter") {
            refuseIfReaches(tag, "ref", "a filter");
        } else if (local == "tablePart") {
            refuse(part, "a table, which would not follow its rows");
        } else if (local == "drawing" || local == "legacyDrawing") {
            refuse(part, "drawings or comments anchored to cells, which would not follow their rows");
        }
    }
    if (!insertAt)
        refuse(part, "no row " + std::to_string(beforeRow + 1) + " before which to insert");

    std::string inserted;
    for (int i = 0; i < added; ++i) {
        const int number = beforeRow + i;
        inserted += "<" + prefix + "row r=\"" + std::to_string(number + 1) + "\">";
        for (size_t col = 0; col < rows[i].size(); ++col)
            if (!rows[i][col].empty())
                inserted += textCell(prefix, number, static_cast<int>(col), rows[i][col]);
        inserted += "</" + prefix + "row>";
    }
    edits.push_back({*insertAt, 0, std::move(inserted)});
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });

    std::string out;
    out.reserve(xml.size() + edits.back().text.size() + edits.size() * 4);
    size_t copied = 0;
    for (const Edit& edit : edits) {
        out.append(xml.substr(copied, edit.at - copied));
        out += edit.text;
        copied = edit.at + edit.length;
    }
    out.append(xml.substr(copied));
    return out;
}

} // namespace

std::string insertRowsIntoFirstSheet(std::string_view packageBytes, int beforeRow, const std::vector<TextRow>& rows)
{
    Package package(XmlReader::kPieceSize);
    package.open(std::string(packageBytes));
    const FirstSheet sheet = findFirstSheet(package);

    ZipArchive archive;
    archive.open(packageBytes);
    const auto readPart = [&](const std::string& name) {
        const ZipArchive::Entry* entry = archive.find(name);
        std::string bytes, error;
        if (entry == nullptr || !archive.read(*entry, bytes, error))
            throw LoadError{.what = entry ? error : "the part is missing", .source = name};
        return bytes;
    };
    checkDefinedNames(readPart(sheet.workbookPart), sheet);
    const std::string sheetXml = readPart(sheet.part);
    if (sheetXml.starts_with("\xFF\xFE") || sheetXml.starts_with("\xFE\xFF"))
        refuse(sheet.part, "the sheet is written in UTF-16, which this edit does not write");
    const std::string edited = insertRows(sheetXml, sheet.part, beforeRow, rows);

    const ZipArchive::Entry* edit = archive.find(sheet.part);
    ZipWriter writer;
    for (const ZipArchive::Entry& entry : archive.entries()) {
        if (&entry == edit) {
            writer.addDeflated(entry.name, edited);
            continue;
        }
        writer.addStored({.name = entry.name,
                          .data = archive.storedData(entry),
                          .method = entry.method,
                          .crc = entry.crc,
                          .size = entry.size,
                          .flags = static_cast<uint16_t>(entry.flags & ~kFlagDataDescriptor)});
    }
    return writer.finish();
}

} // namespace xl
