// The values of worksheet cells: numbers parsed straight from the text,
// shared-string indexes checked against the table.
#include "xlsx/cell_value.h"

#include "utf8.h"
#include "xlsx/escapes.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace xl {
namespace {

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

} // namespace

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

CellFault interpretCell(CellKind kind, std::optional<std::string_view> value,
                        std::optional<std::string_view> inlineText, size_t sharedStrings, CellValue& out)
{
    out = CellValue();
    const auto text = [&out](std::string_view utf8) {
        out.what = CellValue::What::Text;
        out.text = utf8;
        return CellFault::None;
    };
    if (kind == CellKind::InlineString) {
        if (inlineText)
            return text(*inlineText);
        return value ? text(*value) : CellFault::None;
    }
    if (!value)
        return CellFault::None;
    if (kind == CellKind::FormulaString || kind == CellKind::Date)
        return text(*value); // a formula's text result even when empty; an ISO 8601 date

    const std::string_view content = trimmed(*value);
    if (content.empty())
        return CellFault::None;
    out.text = content;
    switch (kind) {
    case CellKind::Number:
        if (!parseNumber(content, out.number))
            return CellFault::NotANumber;
        out.what = CellValue::What::Number;
        return CellFault::None;
    case CellKind::SharedString:
        if (!parseIndex(content, out.index) || out.index >= sharedStrings)
            return CellFault::NoSuchString;
        out.what = CellValue::What::SharedString;
        return CellFault::None;
    case CellKind::Boolean:
        if (content == "1" || content == "true")
            out.flag = true;
        else if (content != "0" && content != "false")
            return CellFault::NotABoolean;
        out.what = CellValue::What::Boolean;
        return CellFault::None;
    case CellKind::Error:
        out.what = CellValue::What::Error;
        return CellFault::None;
    default:
        return CellFault::UnknownType;
    }
}

// The escapes are rare, and looked for in the UTF-8, where the search is
// quick: its ASCII comes through to the UTF-16 unchanged, and nothing else
// becomes ASCII.
void decodeText(std::string_view utf8, std::u16string& out)
{
    out.clear();
    appendUtf16(utf8, out);
    if (utf8.find("_x") != std::string_view::npos)
        decodeEscapes(out);
}

} // namespace xl
