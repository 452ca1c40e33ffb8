// The look before a rename (the report of PelmoraReport): for each part of a
// model, once however many occurrences use it, what each command would make
// of each history name and why a name would stay; and the terms that the
// names look up and the dictionary lacks. It needs no host: the walk hands
// it each part's history as the host holds it, and it gives back the
// workbook:
//   "Missing terms"  in the dictionary's own layout (a header row, the start
//                    marker, a row a term, the end marker), so that the rows
//                    can be copied into PelmoraConfig.xlsx as they are, or
//                    filled in and merged with `pelmora-dict merge`: the term
//                    in column A when it holds no Chinese character, in B
//                    otherwise; C how many names hold it, D in how many
//                    parts, E up to three of those names. Most used first.
//   "Names"          a row a history entry: the part, the entry's id, its
//                    name, and for each command the name it would give and
//                    why it would leave the name (the codes and words of
//                    `pelmora-dict preview`). Rows that a sheet cannot hold go
//                    on in "Names 2", "Names 3", ...
#pragma once

#include "term_columns.h"
#include "translate_name.h"
#include "xlsx/xlsx_writer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class ModelReport {
public:
    static constexpr size_t kCommands = 3;
    // The commands, in the order of the counts and of the sheet's columns.
    static constexpr std::array<const char*, kCommands> kCommandNames = {"PelmoraSwap", "PelmoraToChinese",
                                                                         "PelmoraToEnglish"};

    // The dictionary that the commands would use; it must outlive the report.
    // `rowsPerSheet`: the rows a "Names" sheet holds, its header's included
    // (fewer than a sheet's limit only to see the next sheet begin).
    explicit ModelReport(const TermColumns& columns, size_t rowsPerSheet = xl::XlsxWriter::kMaxRows);
    ~ModelReport();
    ModelReport(const ModelReport&) = delete;
    ModelReport& operator=(const ModelReport&) = delete;

    // One part's history: its ids and names as the host holds them (narrow
    // text; nullopt for a name that the host would not give whole). `part`
    // names the part for people (UTF-8). The whole part comes at once, so
    // that a decision that looks at all of a part's names (a new name that
    // another entry of the part holds) can be made here as in the commands.
    void addPart(std::string_view part, std::span<const int32_t> ids, std::span<const std::optional<std::string>> names);

    struct Counts {
        size_t parts = 0;
        size_t entries = 0;
        std::array<size_t, kCommands> changes{};   // names each command would change
        size_t missingTerms = 0;
    };
    Counts counts() const;

    // The workbook's bytes. The report is spent afterwards.
    std::string finish();

private:
    struct MissingTerm {
        size_t names = 0;
        size_t parts = 0;
        size_t lastPart = SIZE_MAX;
        std::vector<std::string> examples;   // UTF-8
    };
    struct TermHash {
        size_t operator()(const std::u16string& term) const { return std::hash<std::u16string>{}(term); }
    };
    void noteMissingTerms(const NameTranslation& swap, const std::string& nameUtf8);
    void noteMissingTerm(std::string_view narrow, const std::string& nameUtf8);
    void startNamesSheet();

    const NamingRule swap_;
    const NamingRule toChinese_;
    const NamingRule toEnglish_;
    std::array<NameTranslator, kCommands> translators_;
    xl::XlsxWriter writer_;
    size_t rowsPerSheet_;
    size_t namesSheets_ = 0;
    Counts counts_;
    std::unordered_map<std::u16string, MissingTerm, TermHash> missing_;
};
