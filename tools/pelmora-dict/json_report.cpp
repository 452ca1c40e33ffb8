// pelmora-dict's reports as JSON documents. Rows are numbered from 1, as in
// the spreadsheet; cells are named as there ("B12").
#include "reports.h"

#include "common/cell_reference.h"
#include "utf8.h"
#include "pelmora_version.h"

namespace {

using Json = nlohmann::ordered_json;

std::string utf8(const std::u16string& text) { return xl::utf16ToUtf8(text); }

Json cellAt(int row, int col)
{
    return {{"row", row + 1}, {"cell", xl::formatCellReference(row, col)}};
}

Json markerAt(int row) { return row >= 0 ? cellAt(row, 0) : Json(nullptr); }

template <typename T, typename Convert>
Json arrayOf(const std::vector<T>& items, Convert convert)
{
    Json array = Json::array();
    for (const T& item : items)
        array.push_back(convert(item));
    return array;
}

Json withCode(Json object, const std::string& code, const std::string& why)
{
    object["code"] = code.empty() ? Json(nullptr) : Json(code);
    object["why"] = why.empty() ? Json(nullptr) : Json(why);
    return object;
}

Json cellJson(const DumpedCell& cell)
{
    Json json = {{"type", cellTypeName(cell.type)}};
    if (cell.value)
        json["value"] = *cell.value;
    if (cell.text)
        json["text"] = utf8(*cell.text);
    return json;
}

Json nullIfEmpty(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

} // namespace

Json jsonDocument(const DocumentHead& head, const Json& error, const Json& body)
{
    Json document = {
        {"command", nullIfEmpty(head.command)},
        {"version", kPelmoraVersion},
        {"schema", kJsonSchema},
        {"workbook", nullIfEmpty(head.workbook)},
        {"error", error},
    };
    for (const auto& [key, value] : body.items())
        document[key] = value;
    return document;
}

Json jsonError(const std::string& code, const std::string& message) { return {{"code", code}, {"message", message}}; }

Json checkJson(const CheckReport& report)
{
    const LoadRecord& load = report.load;
    Json pairs = Json::array();
    for (const LoadRecord::Pair& pair : load.pairs)
        if (pair.entered)
            pairs.push_back({{"row", pair.row + 1}, {"A", utf8(pair.first)}, {"B", utf8(pair.second)}});
    return {
        {"loads", report.loads()},
        {"startMarker", markerAt(load.read.startRow)},
        {"endMarker", markerAt(load.read.endRow)},
        {"pairsEntered", load.read.pairsEntered},
        {"pairs", pairs},
        {"blankRows", report.blankRows},
        {"skippedRows", arrayOf(report.skipped, [](const SkippedRow& skipped) {
             return Json{{"row", skipped.row + 1},
                         {"emptyCell", xl::formatCellReference(skipped.row, skipped.emptyCol)}};
         })},
        {"markerNearMisses", arrayOf(report.nearMisses, [](const NearMiss& miss) {
             return withCode({{"marker", utf8(miss.marker)},
                              {"row", miss.row + 1},
                              {"cell", xl::formatCellReference(miss.row, 0)},
                              {"text", utf8(miss.text)}},
                             miss.code, miss.why);
         })},
        {"conflicts", arrayOf(report.conflicts, [](const Conflict& conflict) {
             return Json{{"term", utf8(conflict.term)},
                         {"counterparts", arrayOf(conflict.counterparts,
                                                  [](const std::pair<int, std::u16string>& entry) {
                                                      return Json{{"row", entry.first + 1},
                                                                  {"counterpart", utf8(entry.second)}};
                                                  })},
                         {"wins", utf8(conflict.wins)}};
         })},
        {"chains", arrayOf(report.chains, [](const Chain& chain) {
             return Json{{"term", utf8(chain.term)}, {"counterpart", utf8(chain.counterpart)},
                         {"then", utf8(chain.then)}};
         })},
        {"unmatchable", arrayOf(report.unmatchable, [](const Unmatchable& term) {
             return withCode({{"row", term.row + 1},
                              {"cell", xl::formatCellReference(term.row, term.col)},
                              {"term", utf8(term.term)}},
                             term.code, term.why);
         })},
        {"inBothColumns", arrayOf(report.inBothColumns, [](const InBothColumns& term) {
             return Json{{"term", utf8(term.term)},
                         {"cellA", xl::formatCellReference(term.rowA, 0)},
                         {"cellB", xl::formatCellReference(term.rowB, 1)}};
         })},
        {"columnsReversed", report.columnsReversed},
        {"numberCells", arrayOf(load.numbers, [](const LoadRecord::Number& number) {
             return Json{{"row", number.row + 1},
                         {"cell", xl::formatCellReference(number.row, number.col)},
                         {"value", number.value},
                         {"text", utf8(number.text)}};
         })},
        {"warnings", arrayOf(report.warnings, [](const Warning& warning) {
             return Json{{"code", warning.code}, {"text", warning.text}};
         })},
    };
}

std::string documentText(const Json& document)
{
    // Every text in it is UTF-8 already; a slip must not cost the whole document.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string previewJsonHead(const DocumentHead& head, const PreviewContext& context)
{
    const Json body = {
        {"loads", context.load.read.hasRegion()},
        {"codePage", context.codePage},
        {"direction", context.direction},
        {"names", Json::array()},
    };
    std::string text = documentText(jsonDocument(head, nullptr, body));
    // The document ends with the empty array: `"names": []\n}\n`.
    text.resize(text.rfind(']'));
    return text;
}

// `value` as documentText writes it at `depth` levels inside the document.
std::string nestedText(const Json& value, int depth)
{
    std::string text;
    for (const char c : value.dump(2, ' ', false, Json::error_handler_t::replace)) {
        text += c;
        if (c == '\n')
            text.append(2 * depth, ' ');
    }
    return text;
}

std::string previewJsonName(const NamePreview& name, bool first)
{
    const Json element = withCode({{"line", name.line},
                                   {"name", name.name},
                                   {"newName", name.newName ? Json(*name.newName) : Json(nullptr)},
                                   {"pattern", name.pattern},
                                   {"changed", name.changed}},
                                  name.code, name.why);
    return (first ? "\n    " : ",\n    ") + nestedText(element, 2);
}

std::string previewJsonEnd(bool anyNames, const Json& interruption)
{
    std::string text = anyNames ? "\n  ]" : "]";
    if (!interruption.is_null())
        text += ",\n  \"interrupted\": " + nestedText(interruption, 1);
    return text + "\n}\n";
}

Json dumpJson(const SheetDump& dump)
{
    Json rows = Json::array();
    int row = 0;
    for (const auto& cells : dump.rows)
        rows.push_back({{"row", ++row}, {"A", cellJson(cells[0])}, {"B", cellJson(cells[1])}});
    return {{"lastRow", dump.lastRow}, {"rows", rows}};
}

Json mergeJson(const MergeContext& context, const MergePlan& plan)
{
    const auto pairJson = [](const MergePair& pair) {
        return Json{{"row", pair.row + 1}, {"A", utf8(pair.first)}, {"B", utf8(pair.second)}};
    };
    const auto outcomeJson = [&](const MergeOutcome& outcome) {
        return withCode(pairJson(outcome.pair), outcome.code, outcome.why);
    };
    return {{"filled", context.filled},
            {"out", context.written ? Json(context.out) : Json(nullptr)},
            {"written", context.written},
            {"added", arrayOf(plan.added, pairJson)},
            {"skipped", arrayOf(plan.skipped, outcomeJson)},
            {"refused", arrayOf(plan.refused, outcomeJson)}};
}
