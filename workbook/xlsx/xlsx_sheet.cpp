// Reading shared strings and worksheet cells in one pass over their parts,
// texts gathered in reused buffers: the scanner reads the rows and items it
// can read whole, the XML reader each one it leaves.
#include "xlsx/xlsx_sheet.h"

#include "common/cell_reference.h"
#include "common/quote.h"
#include "xlsx/cell_value.h"
#include "xlsx/content_scanner.h"

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

class WorksheetReader {
public:
    WorksheetReader(XmlReader& xml, const SharedStrings& strings, SheetData& sheet, bool scanned)
        : xml_(xml), strings_(strings), sheet_(sheet), scanned_(scanned)
    {
    }

    // Reads the rows of the <sheetData> whose start tag is current.
    void read()
    {
        const int level = xml_.level();
        ContentScanner scanner(xml_, strings_.size());
        for (;;) {
            while (scanned_ && scanner.row(nextRow_, cells_)) {
                for (const ContentScanner::Cell& cell : cells_)
                    store(cell.position, cell.value);
                xml_.startItemCount();
            }
            if (!xml_.nextChild(level))
                return;
            xml_.startItemCount();
            if (xml_.localName() == "row")
                readRow();
            else
                xml_.skipElement();
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
        CellValue value;
        switch (interpretCell(kind, hasValue ? std::optional<std::string_view>(value_) : std::nullopt,
                              hasInlineText ? std::optional<std::string_view>(inlineText_) : std::nullopt,
                              strings_.size(), value)) {
        case CellFault::None: break;
        case CellFault::NotANumber: badValue(cell, "is not a number");
        case CellFault::NotABoolean: badValue(cell, "is not a boolean");
        case CellFault::NoSuchString:
            xml_.reject("shared string '" + quoteForMessage(value.text) + "' does not exist; the table holds " +
                            std::to_string(strings_.size()),
                        cell);
        case CellFault::UnknownType: xml_.reject("the type '" + quoteForMessage(unknownType_) + "' is unknown", cell);
        }
        store(cell, value);
    }

    void store(CellPosition cell, const CellValue& value)
    {
        switch (value.what) {
        case CellValue::What::Blank: sheet_.addBlank(cell.row, cell.col); return;
        case CellValue::What::Text:
            decodeText(value.text, text_);
            shown(sheet_.addString(cell.row, cell.col, text_), cell);
            return;
        case CellValue::What::SharedString:
            shown(sheet_.addSharedString(cell.row, cell.col, strings_.id(value.index)), cell);
            return;
        case CellValue::What::Number: sheet_.addNumber(cell.row, cell.col, value.number); return;
        case CellValue::What::Boolean: sheet_.addBoolean(cell.row, cell.col, value.flag); return;
        case CellValue::What::Error: sheet_.addError(cell.row, cell.col); return;
        }
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
    bool scanned_;
    std::vector<ContentScanner::Cell> cells_;
};

} // namespace

void SharedStrings::read(XmlReader& xml, bool scanned)
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
    ContentScanner scanner(xml);
    const auto add = [&] {
        decodeText(gathered, text);
        ids_.push_back(texts_.add(text));
    };
    for (;;) {
        while (scanned && scanner.sharedString(gathered)) {
            add();
            xml.startItemCount();
        }
        if (!xml.nextChild(level))
            return;
        xml.startItemCount();
        if (xml.localName() != "si") {
            xml.skipElement();
            continue;
        }
        gathered.clear();
        appendRichText(xml, gathered);
        add();
    }
}

void readWorksheet(XmlReader& xml, const SharedStrings& strings, SheetData& sheet, bool scanned)
{
    WorksheetReader reader(xml, strings, sheet, scanned);
    sheet.reserve(static_cast<size_t>(xml.declaredSize() / kSheetBytesPerCell),
                  static_cast<size_t>(xml.declaredSize() / kSheetBytesPerUnit));
    if (xml.find("sheetData"))
        reader.read();
    sheet.finish();
}

} // namespace xl
