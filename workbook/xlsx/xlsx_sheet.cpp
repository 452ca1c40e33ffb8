// Reading shared strings and worksheet cells in one pass over their parts:
// numbers parsed straight from the text, texts gathered in reused buffers.
#include "xlsx/xlsx_sheet.h"

#include "common/cell_reference.h"
#include "common/quote.h"
#include "common/utf8.h"
#include "xlsx/escapes.h"

#include <charconv>
#include <cmath>

namespace xl {
namespace {

// Room reserved from the size of a part, so that what it fills grows without
// copies: what Excel writes for a dictionary of short terms takes about 50
// bytes a cell, 25 a shared string and 3 a code unit of shared text, and
// what inline-strings writers write 4 to 9 bytes a code unit of a cell's own
// text. Past that, the stores grow as they must; capacity that stays unused
// is never touched, so it holds no pages.
constexpr uint64_t kSheetBytesPerCell = 32;
constexpr uint64_t kSheetBytesPerUnit = 4;
constexpr uint64_t kStringsBytesPerItem = 16;
constexpr uint64_t kStringsBytesPerUnit = 2;

// Appends the text of the <si> or <is> whose start tag is current, and moves
// to its end tag: its <t> and the <t> of its runs (<r>); phonetic runs
// (<rPh>) and properties are left out.
void appendRichText(XmlReader& xml, std::string& out)
{
    const int level = xml.level();
    while (xml.nextChild(level)) {
        // The name is a view into the reader's buffer, good only until it
        // reads on: it is looked at once.
        const std::string_view name = xml.localName();
        if (name == "t")
            xml.readText(out);
        else if (name == "r")
            appendRichText(xml, out);
    }
}

// UTF-16 of gathered UTF-8 text, with the _xHHHH_ escapes decoded. They are
// rare, and looked for in the UTF-8, where the search is quick: its ASCII
// comes through to the UTF-16 unchanged, and nothing else becomes ASCII.
void decodeText(std::string_view utf8, std::u16string& out)
{
    out.clear();
    appendUtf16(utf8, out);
    if (utf8.find("_x") != std::string_view::npos)
        decodeEscapes(out);
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool parseNumber(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// Up to 19 digits, which no 64-bit value can overflow: more, or a sign, is no
// index of a table that fits in memory.
bool parseIndex(std::string_view text, size_t& value)
{
    if (text.empty() || text.size() > 19)
        return false;
    uint64_t index = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        index = index * 10 + static_cast<uint64_t>(c - '0');
    }
    value = static_cast<size_t>(index);
    return value == index;
}

// The cell types of the t attribute.
enum class CellKind { Number, SharedString, InlineString, FormulaString, Boolean, Error, Date, Unknown };

CellKind cellKind(std::optional<std::string_view> type)
{
    if (!type || *type == "n")
        return CellKind::Number;
    static constexpr std::pair<std::string_view, CellKind> kKinds[] = {
        {"s", CellKind::SharedString}, {"inlineStr", CellKind::InlineString}, {"str", CellKind::FormulaString},
        {"b", CellKind::Boolean},      {"e", CellKind::Error},                {"d", CellKind::Date}};
    for (const auto& [name, kind] : kKinds)
        if (*type == name)
            return kind;
    return CellKind::Unknown;
}

class WorksheetReader {
public:
    WorksheetReader(XmlReader& xml, const SharedStrings& strings, SheetData& sheet)
        : xml_(xml), strings_(strings), sheet_(sheet)
    {
    }

    // Reads the rows of the <sheetData> whose start tag is current.
    void read()
    {
        const int level = xml_.level();
        while (xml_.nextChild(level)) {
            xml_.startItemCount();
            if (xml_.localName() == "row")
                readRow();
        }
    }

private:
    void readRow()
    {
        int rowIndex = nextRow_;
        if (const std::optional<std::string_view> number = xml_.attribute("r")) {
            const std::optional<int> parsed = parseRowNumber(*number);
            if (!parsed)
                xml_.reject("row number '" + quoteForMessage(*number) + "' is invalid", std::nullopt, xml_.offset());
            rowIndex = *parsed;
        } else if (rowIndex >= kMaxRows) {
            xml_.reject("more than " + std::to_string(kMaxRows) + " rows");
        }
        nextRow_ = rowIndex + 1;
        int column = -1;
        const int level = xml_.level();
        while (xml_.nextChild(level))
            if (xml_.localName() == "c")
                readCell(rowIndex, column);
    }

    void readCell(int rowIndex, int& column)
    {
        int row = rowIndex;
        if (const std::optional<std::string_view> reference = xml_.attribute("r")) {
            const std::optional<CellPosition> position = parseCellReference(*reference);
            if (!position)
                xml_.reject("cell reference '" + quoteForMessage(*reference) + "' at row " +
                            std::to_string(rowIndex + 1) + " is invalid");
            row = position->row;
            column = position->col;
        } else if (++column >= kMaxColumns) {
            xml_.reject("row " + std::to_string(rowIndex + 1) + " has cells beyond column XFD");
        }
        const std::optional<std::string_view> type = xml_.attribute("t");
        const CellKind kind = cellKind(type);
        if (kind == CellKind::Unknown)
            unknownType_.assign(*type);

        // The first <v>, and for an inline string the first <is>.
        bool hasValue = false;
        bool hasInlineText = false;
        value_.clear();
        inlineText_.clear();
        const int level = xml_.level();
        while (xml_.nextChild(level)) {
            const std::string_view name = xml_.localName();
            if (name == "v" && !hasValue) {
                hasValue = true;
                xml_.readText(value_);
            } else if (name == "is" && kind == CellKind::InlineString && !hasInlineText) {
                hasInlineText = true;
                appendRichText(xml_, inlineText_);
            }
        }

        const CellPosition cell{row, column};
        if (kind == CellKind::InlineString) {
            if (hasInlineText)
                addText(cell, inlineText_);
            else if (hasValue)
                addText(cell, value_);
            else
                sheet_.addBlank(row, column);
            return;
        }
        if (!hasValue) {
            sheet_.addBlank(row, column);
            return;
        }
        if (kind == CellKind::FormulaString || kind == CellKind::Date) {
            addText(cell, value_); // a formula's text result even when empty; an ISO 8601 date
            return;
        }

        const std::string_view text = trimmed(value_);
        if (text.empty()) {
            sheet_.addBlank(row, column);
            return;
        }
        switch (kind) {
        case CellKind::Number: {
            double number;
            if (!parseNumber(text, number))
                badValue(cell, "is not a number");
            sheet_.addNumber(row, column, number);
            return;
        }
        case CellKind::SharedString: {
            size_t index;
            if (!parseIndex(text, index) || index >= strings_.size())
                xml_.reject("shared string '" + quoteForMessage(text) + "' does not exist; the table holds " +
                                std::to_string(strings_.size()),
                            cell);
            shown(sheet_.addSharedString(row, column, strings_.id(index)), cell);
            return;
        }
        case CellKind::Boolean:
            if (text == "1" || text == "true")
                sheet_.addBoolean(row, column, true);
            else if (text == "0" || text == "false")
                sheet_.addBoolean(row, column, false);
            else
                badValue(cell, "is not a boolean");
            return;
        case CellKind::Error:
            sheet_.addError(row, column);
            return;
        default:
            xml_.reject("the type '" + quoteForMessage(unknownType_) + "' is unknown", cell);
        }
    }

    void addText(CellPosition cell, std::string_view utf8)
    {
        decodeText(utf8, text_);
        shown(sheet_.addString(cell.row, cell.col, text_), cell);
    }

    void shown(bool added, CellPosition cell)
    {
        if (!added)
            xml_.reject(SheetData::shownTextExceeded(), cell);
    }

    [[noreturn]] void badValue(CellPosition cell, const char* what)
    {
        xml_.reject("the value '" + quoteForMessage(value_) + "' " + what, cell);
    }

    XmlReader& xml_;
    const SharedStrings& strings_;
    SheetData& sheet_;
    int nextRow_ = 0;
    std::string value_;
    std::string inlineText_;
    std::string unknownType_;
    std::u16string text_;
};

} // namespace

void SharedStrings::read(XmlReader& xml)
{
    texts_ = TextPool();
    ids_.clear();
    if (!xml.find("sst"))
        return;
    std::string gathered;
    std::u16string text;
    texts_.reserve(static_cast<size_t>(xml.declaredSize() / kStringsBytesPerUnit));
    ids_.reserve(static_cast<size_t>(xml.declaredSize() / kStringsBytesPerItem));
    const int level = xml.level();
    while (xml.nextChild(level)) {
        xml.startItemCount();
        if (xml.localName() != "si")
            continue;
        gathered.clear();
        appendRichText(xml, gathered);
        decodeText(gathered, text);
        ids_.push_back(texts_.add(text));
    }
}

void readWorksheet(XmlReader& xml, const SharedStrings& strings, SheetData& sheet)
{
    WorksheetReader reader(xml, strings, sheet);
    sheet.reserve(static_cast<size_t>(xml.declaredSize() / kSheetBytesPerCell),
                  static_cast<size_t>(xml.declaredSize() / kSheetBytesPerUnit));
    if (xml.find("sheetData"))
        reader.read();
    sheet.finish();
}

} // namespace xl
