// The .xlsx writer: each sheet's XML is made row by row and deflated in
// pieces as it grows; the package's small parts are made at the end, when
// the sheets and their filters are known.
#include "xlsx/xlsx_writer.h"

#include "common/ascii.h"
#include "common/cell_reference.h"
#include "utf8.h"
#include "xlsx/escapes.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace xl {
namespace {

constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kDocumentRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kPackageRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";
// Rows are deflated once this much XML has gathered.
constexpr size_t kDeflatePiece = size_t(1) << 16;
// The style of header cells: the second cell format of the styles part.
constexpr const char* kHeaderStyle = "1";

std::string numberText(double number)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

std::string attributeText(std::string_view text)
{
    std::string out;
    appendXmlText(text, out, true);
    return out;
}

// A sheet name as a formula writes it: in apostrophes, each one doubled.
std::string quotedSheetName(std::string_view name)
{
    std::string out = "'";
    for (const char c : name) {
        out.push_back(c);
        if (c == '\'')
            out.push_back('\'');
    }
    return out + "'";
}

} // namespace

struct XlsxWriter::Sheet {
    std::string name;
    bool headerRow = true;
    size_t rows = 0;
    size_t headerColumns = 0; // the columns the header names, for the filter
    Deflater xml{1}; // the fastest level: a sheet of a report is large, and deflating it is most of the work
};

namespace {

// The last cell of a sheet's filter: the header's last column, the last row.
std::string filterEnd(size_t rows, size_t columns)
{
    return formatCellReference(static_cast<int>(std::max<size_t>(rows, 1) - 1), static_cast<int>(columns - 1));
}

// "E12" as "$E$12".
std::string absolute(const std::string& reference)
{
    const size_t digits = reference.find_first_of("0123456789");
    return "$" + reference.substr(0, digits) + "$" + reference.substr(digits);
}

} // namespace

XlsxWriter::XlsxWriter() = default;
XlsxWriter::~XlsxWriter() = default;

void XlsxWriter::addSheet(std::string_view name, const std::vector<ColumnFormat>& columns,
                          const SheetOptions& options)
{
    std::string problem;
    const std::u16string units = utf8ToUtf16(name);
    if (!isValidUtf8(name))
        problem = "is not well-formed UTF-8";
    else if (units.empty() || units.size() > 31)
        problem = "must have 1 to 31 characters";
    else if (name.find_first_of("\\/?*[]:") != std::string_view::npos)
        problem = "holds one of \\ / ? * [ ] :";
    else if (name.front() == '\'' || name.back() == '\'')
        problem = "starts or ends with an apostrophe";
    for (const Sheet& sheet : sheets_)
        if (problem.empty() && equalIgnoringAsciiCase(std::string_view(sheet.name), std::string_view(name)))
            problem = "is the name of another sheet";
    if (!problem.empty())
        throw std::invalid_argument("sheet name \"" + std::string(name) + "\" " + problem);
    if (columns.size() > kMaxColumns)
        throw std::length_error("a sheet has at most 16384 columns");
    if (!sheets_.empty())
        finishSheet();

    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(std::min(options.position, order_.size())),
                  sheets_.size());
    Sheet& sheet = sheets_.emplace_back();
    sheet.name = std::string(name);
    sheet.headerRow = options.headerRow;
    xml_ = kXmlDeclaration;
    xml_ += "<worksheet xmlns=\"";
    xml_ += kMainNamespace;
    xml_ += "\" xmlns:r=\"";
    xml_ += kDocumentRelationships;
    xml_ += "\"><sheetViews><sheetView workbookViewId=\"0\"";
    if (options.headerRow)
        xml_ += "><pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
                "<selection pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/></sheetView>";
    else
        xml_ += "/>";
    xml_ += "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    std::string cols;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (!(columns[c].width > 0))
            continue;
        const std::string index = std::to_string(c + 1);
        cols += "<col min=\"" + index + "\" max=\"" + index + "\" width=\"" +
                numberText(std::min(columns[c].width, 255.0)) + "\" customWidth=\"1\"/>";
    }
    if (!cols.empty())
        xml_ += "<cols>" + cols + "</cols>";
    xml_ += "<sheetData>";
}

void XlsxWriter::addRow(const CellValue* cells, size_t count)
{
    if (sheets_.empty())
        throw std::logic_error("a row was added before any sheet");
    Sheet& sheet = sheets_.back();
    if (sheet.rows == kMaxRows)
        throw std::length_error("sheet \"" + sheet.name + "\" is full: a sheet has at most 1048576 rows");
    if (count > kMaxColumns)
        throw std::length_error("a row has at most 16384 cells");
    const bool header = sheet.headerRow && sheet.rows == 0;
    const std::string rowNumber = std::to_string(sheet.rows + 1);
    const size_t rowStart = xml_.size();
    xml_ += "<row r=\"";
    xml_ += rowNumber;
    xml_ += "\">";
    try {
        for (size_t c = 0; c < count; ++c) {
            const CellValue& cell = cells[c];
            if (cell.kind() == CellValue::Kind::Empty)
                continue;
            if (header)
                sheet.headerColumns = c + 1;
            xml_ += "<c r=\"";
            xml_ += formatCellReference(static_cast<int>(sheet.rows), static_cast<int>(c));
            xml_ += header ? "\" s=\"" + std::string(kHeaderStyle) + "\"" : "\"";
            if (cell.kind() == CellValue::Kind::Number) {
                if (!std::isfinite(cell.number()))
                    throw std::invalid_argument("cell " + formatCellReference(static_cast<int>(sheet.rows),
                                                                              static_cast<int>(c)) +
                                                " of sheet \"" + sheet.name + "\": a number must be finite");
                xml_ += "><v>";
                xml_ += numberText(cell.number());
                xml_ += "</v></c>";
                continue;
            }
            const std::string_view text = cell.text();
            const bool padded = !text.empty() && (std::string_view(" \t\n\r").find(text.front()) != std::string_view::npos ||
                                                  std::string_view(" \t\n\r").find(text.back()) != std::string_view::npos);
            xml_ += padded ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">" : " t=\"inlineStr\"><is><t>";
            if (appendXmlText(text, xml_) > kMaxCellText)
                throw std::length_error("cell " + formatCellReference(static_cast<int>(sheet.rows), static_cast<int>(c)) +
                                        " of sheet \"" + sheet.name + "\": a cell holds at most 32767 characters");
            xml_ += "</t></is></c>";
        }
    } catch (...) {
        xml_.resize(rowStart);
        throw;
    }
    xml_ += "</row>";
    ++sheet.rows;
    if (xml_.size() >= kDeflatePiece)
        flushRows();
}

size_t XlsxWriter::rowsInSheet() const
{
    return sheets_.empty() ? 0 : sheets_.back().rows;
}

size_t XlsxWriter::sheetCount() const
{
    return sheets_.size();
}

void XlsxWriter::flushRows()
{
    sheets_.back().xml.write(xml_);
    xml_.clear();
}

void XlsxWriter::finishSheet()
{
    Sheet& sheet = sheets_.back();
    xml_ += "</sheetData>";
    if (sheet.headerRow && sheet.headerColumns > 0)
        xml_ += "<autoFilter ref=\"A1:" + filterEnd(sheet.rows, sheet.headerColumns) + "\"/>";
    xml_ += "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
            "</worksheet>";
    flushRows();
    sheet.xml.finish();
}

std::string XlsxWriter::finish()
{
    if (sheets_.empty())
        addSheet("Sheet1", {}, {.headerRow = false});
    finishSheet();

    std::string contentTypes = std::string(kXmlDeclaration) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    std::string workbook = std::string(kXmlDeclaration) + "<workbook xmlns=\"" + kMainNamespace + "\" xmlns:r=\"" +
                           kDocumentRelationships + "\"><bookViews><workbookView/></bookViews><sheets>";
    std::string workbookRelationships =
        std::string(kXmlDeclaration) + "<Relationships xmlns=\"" + kPackageRelationships + "\">";
    std::string filters;
    for (size_t i = 0; i < order_.size(); ++i) {
        const Sheet& sheet = sheets_[order_[i]];
        const std::string number = std::to_string(i + 1);
        contentTypes += "<Override PartName=\"/xl/worksheets/sheet" + number +
                        ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml."
                        "worksheet+xml\"/>";
        workbook += "<sheet name=\"" + attributeText(sheet.name) + "\" sheetId=\"" + number + "\" r:id=\"rId" +
                    number + "\"/>";
        workbookRelationships += "<Relationship Id=\"rId" + number + "\" Type=\"" + kDocumentRelationships +
                                 "/worksheet\" Target=\"worksheets/sheet" + number + ".xml\"/>";
        if (sheet.headerRow && sheet.headerColumns > 0)
            filters += "<definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"" + std::to_string(i) +
                       "\" hidden=\"1\">" +
                       attributeText(quotedSheetName(sheet.name) + "!$A$1:" + absolute(filterEnd(sheet.rows, sheet.headerColumns))) +
                       "</definedName>";
    }
    contentTypes += "</Types>";
    workbook += "</sheets>";
    if (!filters.empty())
        workbook += "<definedNames>" + filters + "</definedNames>";
    workbook += "</workbook>";
    workbookRelationships += "<Relationship Id=\"rId" + std::to_string(sheets_.size() + 1) + "\" Type=\"" +
                             kDocumentRelationships + "/styles\" Target=\"styles.xml\"/></Relationships>";
    const std::string packageRelationships = std::string(kXmlDeclaration) + "<Relationships xmlns=\"" +
                                             kPackageRelationships + "\"><Relationship Id=\"rId1\" Type=\"" +
                                             kDocumentRelationships +
                                             "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const std::string styles = std::string(kXmlDeclaration) + "<styleSheet xmlns=\"" + kMainNamespace +
        "\"><fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
        "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
        "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
        "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
        "</styleSheet>";

    ZipWriter zip;
    zip.addDeflated("[Content_Types].xml", contentTypes);
    zip.addDeflated("_rels/.rels", packageRelationships);
    zip.addDeflated("xl/workbook.xml", workbook);
    zip.addDeflated("xl/_rels/workbook.xml.rels", workbookRelationships);
    zip.addDeflated("xl/styles.xml", styles);
    for (size_t i = 0; i < order_.size(); ++i)
        zip.addDeflated("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", sheets_[order_[i]].xml);
    sheets_.clear();
    order_.clear();
    return zip.finish();
}

} // namespace xl
