// Reading shared strings and worksheet cells: one <si> or <row> at a time,
// numbers parsed straight from the text, texts gathered in reused buffers.
#include "xlsx_sheet.h"

#include "cell_reference.h"
#include "text_codec.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace xl {
namespace {

constexpr SheetData::TextId kNotCopied = std::numeric_limits<SheetData::TextId>::max();

// Text of an <si> or <is>: its <t> and the <t> of its runs (<r>); phonetic
// runs (<rPh>) and properties are left out.
void appendRichText(const XmlPart& part, const XmlNode& node, std::string& out)
{
    for (const XmlNode* child = node.first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        const std::string_view name = localName(*child);
        if (name == "t")
            part.appendText(*child, out);
        else if (name == "r")
            appendRichText(part, *child, out);
    }
}

// UTF-16 of gathered UTF-8 text, with the _xHHHH_ escapes decoded.
void decodeText(std::string_view utf8, std::u16string& out)
{
    out.clear();
    appendUtf16(utf8, out);
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

bool parseIndex(std::string_view text, size_t& value)
{
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size() && !text.empty();
}

class WorksheetReader {
public:
    WorksheetReader(XmlPart& part, const SharedStrings& strings, SheetData& sheet, std::string& error)
        : part_(part), strings_(strings), sheet_(sheet), error_(error), copiedStrings_(strings.size(), kNotCopied)
    {
    }

    bool readRow(const XmlNode& row)
    {
        if (localName(row) != "row")
            return true;
        int rowIndex = nextRow_;
        if (const XmlAttribute* number = findAttribute(row, "r")) {
            const std::optional<int> parsed = parseRowNumber(attributeValue(*number));
            if (!parsed)
                return fail("row number '" + quoteForMessage(attributeValue(*number)) + "' at byte " +
                            std::to_string(part_.offsetOf(number->value())) + " is invalid");
            rowIndex = *parsed;
        } else if (rowIndex >= kMaxRows) {
            return fail("more than " + std::to_string(kMaxRows) + " rows");
        }
        nextRow_ = rowIndex + 1;
        int column = -1;
        for (const XmlNode* cell = row.first_node(); cell; cell = cell->next_sibling())
            if (cell->type() == rapidxml::node_element && localName(*cell) == "c" && !readCell(*cell, rowIndex, column))
                return false;
        return true;
    }

private:
    bool fail(const std::string& what)
    {
        error_ = part_.name() + ": " + what;
        return false;
    }

    bool readCell(const XmlNode& cell, int rowIndex, int& column)
    {
        int row = rowIndex;
        if (const XmlAttribute* reference = findAttribute(cell, "r")) {
            const std::optional<CellPosition> position = parseCellReference(attributeValue(*reference));
            if (!position)
                return fail("cell reference '" + quoteForMessage(attributeValue(*reference)) + "' at row " +
                            std::to_string(rowIndex + 1) + " is invalid");
            row = position->row;
            column = position->col;
        } else if (++column >= kMaxColumns) {
            return fail("row " + std::to_string(rowIndex + 1) + " has cells beyond column XFD");
        }
        const XmlAttribute* typeAttribute = findAttribute(cell, "t");
        const std::string_view type = typeAttribute ? attributeValue(*typeAttribute) : "n";
        const XmlNode* value = firstChild(cell, "v");

        if (type == "inlineStr") {
            gathered_.clear();
            if (const XmlNode* inlineText = firstChild(cell, "is"))
                appendRichText(part_, *inlineText, gathered_);
            else if (value)
                part_.appendText(*value, gathered_);
            else
                return blank(row, column);
            return addText(row, column);
        }
        if (!value)
            return blank(row, column);
        gathered_.clear();
        part_.appendText(*value, gathered_);
        if (type == "str")
            return addText(row, column); // a formula's text result, even when empty

        const std::string_view text = trimmed(gathered_);
        if (text.empty())
            return blank(row, column);
        if (type == "n") {
            double number;
            if (!parseNumber(text, number))
                return badValue(row, column, "is not a number");
            sheet_.addNumber(row, column, number);
        } else if (type == "s") {
            size_t index;
            if (!parseIndex(text, index) || index >= strings_.size())
                return fail("cell " + formatCellReference(row, column) + " refers to shared string '" +
                            quoteForMessage(text) + "', but the table holds " + std::to_string(strings_.size()));
            if (copiedStrings_[index] == kNotCopied)
                copiedStrings_[index] = sheet_.addText(strings_.at(index));
            return showText(row, column, copiedStrings_[index]);
        } else if (type == "b") {
            if (text == "1" || text == "true")
                sheet_.addBoolean(row, column, true);
            else if (text == "0" || text == "false")
                sheet_.addBoolean(row, column, false);
            else
                return badValue(row, column, "is not a boolean");
        } else if (type == "e") {
            sheet_.addError(row, column);
        } else if (type == "d") {
            return addText(row, column); // an ISO 8601 date, kept as its text
        } else {
            return fail("cell " + formatCellReference(row, column) + " has the unknown type '" +
                        quoteForMessage(type) + "'");
        }
        return true;
    }

    bool blank(int row, int column)
    {
        sheet_.addBlank(row, column);
        return true;
    }

    bool addText(int row, int column)
    {
        decodeText(gathered_, text_);
        return showText(row, column, sheet_.addText(text_));
    }

    bool showText(int row, int column, SheetData::TextId text)
    {
        return sheet_.addTextCell(row, column, text) || fail(SheetData::shownTextExceeded(row, column));
    }

    bool badValue(int row, int column, const char* what)
    {
        return fail("cell " + formatCellReference(row, column) + ": the value '" + quoteForMessage(gathered_) +
                    "' " + what);
    }

    XmlPart& part_;
    const SharedStrings& strings_;
    SheetData& sheet_;
    std::string& error_;
    // Where each shared string landed in the sheet, once a cell showed it.
    std::vector<SheetData::TextId> copiedStrings_;
    int nextRow_ = 0;
    std::string gathered_;
    std::u16string text_;
};

} // namespace

bool SharedStrings::read(XmlPart& part, std::string& error)
{
    texts_.clear();
    ends_.clear();
    std::string gathered;
    std::u16string text;
    return part.forEachChild(
        "sst",
        [&](const XmlNode& item) {
            if (localName(item) == "si") {
                gathered.clear();
                appendRichText(part, item, gathered);
                decodeText(gathered, text);
                texts_ += text;
                ends_.push_back(texts_.size());
            }
            return true;
        },
        error);
}

std::u16string_view SharedStrings::at(size_t index) const
{
    const size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::u16string_view(texts_).substr(begin, ends_[index] - begin);
}

bool readWorksheet(XmlPart& part, const SharedStrings& strings, SheetData& sheet, std::string& error)
{
    WorksheetReader reader(part, strings, sheet, error);
    const bool read = part.forEachChild(
        "sheetData", [&](const XmlNode& row) { return reader.readRow(row); }, error);
    sheet.finish();
    return read;
}

} // namespace xl
