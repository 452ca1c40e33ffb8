// The report's analysis and its workbook: the "Names" rows are written as
// each part comes, and the "Missing terms" sheet, which needs every part,
// is made last and put first.
#include "model_report.h"

#include "distinct_names.h"
#include "name_reason.h"
#include "text.h"
#include "workbook_loader.h"
#include "utf8.h"

#include <algorithm>

namespace {

// What a name is for people: UTF-8 from the host's code page.
std::string fromHost(std::string_view narrow)
{
    return xl::utf16ToUtf8(narrowToWide(narrow));
}

std::string reasonText(const NameReason& reason)
{
    return reason.code.empty() ? std::string() : reason.code + ": " + reason.why;
}

constexpr size_t kExamples = 3;

} // namespace

ModelReport::ModelReport(const TermColumns& columns, size_t rowsPerSheet)
    : swap_(columns.terms()),
      toChinese_(columns, Direction::ToColumnB),
      toEnglish_(columns, Direction::ToColumnA),
      translators_{NameTranslator(swap_), NameTranslator(toChinese_), NameTranslator(toEnglish_)},
      rowsPerSheet_(std::clamp<size_t>(rowsPerSheet, 2, xl::XlsxWriter::kMaxRows))
{
    startNamesSheet();
}

ModelReport::~ModelReport() = default;

void ModelReport::startNamesSheet()
{
    ++namesSheets_;
    const std::string name = namesSheets_ == 1 ? "Names" : "Names " + std::to_string(namesSheets_);
    writer_.addSheet(name, {{.width = 30}, {.width = 9}, {.width = 30}, {.width = 30}, {.width = 48}, {.width = 30},
                            {.width = 48}, {.width = 30}, {.width = 48}});
    writer_.addRow({"Part", "Id", "Name", "PelmoraSwap", "Why PelmoraSwap leaves it", "PelmoraToChinese",
                    "Why PelmoraToChinese leaves it", "PelmoraToEnglish", "Why PelmoraToEnglish leaves it"});
}

void ModelReport::addPart(std::string_view part, std::span<const int32_t> ids,
                          std::span<const std::optional<std::string>> names)
{
    ++counts_.parts;
    const size_t entries = std::min(ids.size(), names.size());
    names = names.first(entries);
    std::vector<std::string> namesUtf8(entries);
    for (size_t i = 0; i < entries; ++i)
        if (names[i])
            namesUtf8[i] = fromHost(*names[i]);

    // What each command gives each entry, once the part's names are settled
    // as the command settles them: an entry whose new name another entry
    // ends with keeps its own.
    std::array<std::vector<std::string>, kCommands> newNames;
    std::array<std::vector<std::string>, kCommands> whys;
    for (size_t c = 0; c < kCommands; ++c) {
        std::vector<std::string> proposed(entries);
        whys[c].resize(entries);
        for (size_t i = 0; i < entries; ++i) {
            if (!names[i]) {
                whys[c][i] = reasonText(nameUnreadable());
                continue;
            }
            NameTranslation analysis = translators_[c].analyse(*names[i]);
            whys[c][i] = reasonText(whyUnchanged(analysis));
            if (c == 0)
                noteMissingTerms(analysis, namesUtf8[i]);
            proposed[i] = std::move(analysis.name);
        }
        const std::vector<SettledName> settled = settleNames(names, proposed);
        newNames[c].resize(entries);
        for (size_t i = 0; i < entries; ++i) {
            if (settled[i].fate == NameFate::Renamed) {
                ++counts_.changes[c];
                newNames[c][i] = fromHost(proposed[i]);
            } else if (names[i]) {
                newNames[c][i] = namesUtf8[i];
            }
            if (settled[i].fate == NameFate::NameTaken) {
                const size_t holder = settled[i].holder;
                whys[c][i] = reasonText(nameTaken("entry " + std::to_string(ids[holder]) + " (\"" +
                                                      namesUtf8[holder] + "\")",
                                                  fromHost(proposed[i])));
            }
        }
    }
    for (size_t i = 0; i < entries; ++i) {
        ++counts_.entries;
        if (writer_.rowsInSheet() == rowsPerSheet_)
            startNamesSheet();
        writer_.addRow({part, ids[i], namesUtf8[i], newNames[0][i], whys[0][i], newNames[1][i], whys[1][i],
                        newNames[2][i], whys[2][i]});
    }
}

// The terms the naming rule looks up in a name (the leading one, and the
// second of the two-term form) that stand in neither column. A name outside
// the rule's forms looks nothing up.
void ModelReport::noteMissingTerms(const NameTranslation& swap, const std::string& nameUtf8)
{
    const bool looked = swap.outcome == NameOutcome::NoCounterpart || swap.outcome == NameOutcome::EmptySegment;
    if (!looked || swap.pattern == NamePattern::CoordinateSystem)
        return;
    if (!swap.prefixKnown && !swap.prefix.empty())
        noteMissingTerm(swap.prefix, nameUtf8);
    if (swap.pattern == NamePattern::TwoTerm && !swap.restKnown && !swap.rest.empty() && swap.rest != swap.prefix)
        noteMissingTerm(swap.rest, nameUtf8);
}

void ModelReport::noteMissingTerm(std::string_view narrow, const std::string& nameUtf8)
{
    MissingTerm& term = missing_[narrowToWide(narrow)];
    ++term.names;
    if (term.lastPart != counts_.parts) {
        term.lastPart = counts_.parts;
        ++term.parts;
    }
    if (term.examples.size() < kExamples && std::find(term.examples.begin(), term.examples.end(), nameUtf8) ==
                                                term.examples.end())
        term.examples.push_back(nameUtf8);
}

ModelReport::Counts ModelReport::counts() const
{
    Counts counts = counts_;
    counts.missingTerms = missing_.size();
    return counts;
}

std::string ModelReport::finish()
{
    std::vector<std::pair<const std::u16string*, const MissingTerm*>> terms;
    terms.reserve(missing_.size());
    for (const auto& [term, seen] : missing_)
        terms.emplace_back(&term, &seen);
    std::sort(terms.begin(), terms.end(), [](const auto& a, const auto& b) {
        return a.second->names != b.second->names ? a.second->names > b.second->names : *a.first < *b.first;
    });

    writer_.addSheet("Missing terms", {{.width = 24}, {.width = 24}, {.width = 10}, {.width = 10}, {.width = 60}},
                     {.headerRow = true, .position = 0});
    writer_.addRow({"English (A)", "Chinese (B)", "Names", "Parts", "Example names"});
    writer_.addRow({xl::utf16ToUtf8(kStartMarker)});
    for (const auto& [term, seen] : terms) {
        std::string examples;
        for (const std::string& example : seen->examples)
            examples += (examples.empty() ? "" : "; ") + example;
        const std::string text = xl::utf16ToUtf8(*term);
        if (holdsHan(*term))
            writer_.addRow({xl::CellValue(), text, seen->names, seen->parts, examples});
        else
            writer_.addRow({text, xl::CellValue(), seen->names, seen->parts, examples});
    }
    writer_.addRow({xl::utf16ToUtf8(kEndMarker)});
    missing_.clear();
    return writer_.finish();
}
